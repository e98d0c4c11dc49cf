// The eight remote switches: primary buttons on the settings tab, twins on the panel.
#include "ui/form1.h"

#include <QPushButton>

namespace {
const QColor switchOnColour(255, 192, 255);
}

void Form1::setSwitchButtonColour(QPushButton* button, bool on) {
    if (on) {
        QPalette pal = button->palette();
        pal.setColor(QPalette::Button, switchOnColour);
        button->setPalette(pal);
    } else {
        button->setPalette(QPalette()); // back to the button face
    }
}

void Form1::toggleSwitch(int n) {
    QPushButton* primary = primarySwitchButton(n);
    QPushButton* twin = panelSwitchButton(n);
    const QString command = m_switches.toggle(n);
    const bool on = m_switches.isOn(n);
    primary->setText(m_switches.caption(n));
    setSwitchButtonColour(primary, on);
    setSwitchButtonColour(twin, on);
    sendCommand(command);
    twin->setText(primary->text());
}

void Form1::panelSwitchClick(int n) {
    toggleSwitch(n);
    QPushButton* primary = primarySwitchButton(n);
    QPushButton* twin = panelSwitchButton(n);
    twin->setText(primary->text());
    setSwitchButtonColour(twin, primary->text() == QStringLiteral("ON"));
}
