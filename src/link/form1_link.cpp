// The serial link, the receive path, the rotation and raw commands and the port list.
#include "ui/form1.h"

#include "app/numeric.h"
#include "link/gotocommand.h"
#include "link/replyparser.h"
#include "platform/comports.h"
#include "platform/mscomm.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString connectCaption = QStringLiteral("接続");
const QString disconnectCaption = QStringLiteral("切断");
} // namespace

void Form1::showPortState() {
    Label1->setText(QStringLiteral("ﾎﾟｰﾄ = ") +
                    (MSComm1->PortOpen() ? QStringLiteral("True") : QStringLiteral("False")));
}

void Form1::showPortClosed() {
    showPortState();
    Command6->setText(connectCaption);
}

void Form1::openLink(const QString& portText, const QString& settingsText) {
    if (const std::optional<qint16> n = wholeNumberOf(portText))
        MSComm1->setCommPort(*n);
    MSComm1->setSettings(settingsText);
    if (!MSComm1->PortOpen())
        MSComm1->setPortOpen(true);
    showPortState();
    Command6->setText(MSComm1->PortOpen() ? disconnectCaption : connectCaption);
    // Replies must show whenever the port is open, however it was opened.
    if (MSComm1->PortOpen())
        armReceive();
}

void Form1::closeLink() {
    if (MSComm1->PortOpen())
        MSComm1->setPortOpen(false);
}

void Form1::armReceive() {
    MSComm1->setInputLen(1);
    MSComm1->setRThreshold(1);
}

bool Form1::sendCommand(const QString& text) {
    if (!MSComm1->PortOpen()) {
        showPortClosed();
        return false;
    }
    MSComm1->Output(text.toUtf8() + "\r\n");
    return true;
}

void Form1::Command6_Click() {
    if (Command6->text() == connectCaption) {
        if (!MSComm1->PortOpen())
            MSComm1->setPortOpen(true);
        // A failed open keeps "接続", so the next click tries again.
        if (MSComm1->PortOpen()) {
            armReceive();
            Command6->setText(disconnectCaption);
        }
        showPortState();
    } else if (MSComm1->PortOpen()) {
        MSComm1->setPortOpen(false);
        Command6->setText(connectCaption);
        showPortState();
    } else {
        showPortClosed();
    }
}

void Form1::portLost() {
    // The service has closed the port already; show it, so the operator knows to
    // connect again once the device is back.
    showPortClosed();
}

void Form1::MSComm1_OnComm() {
    if (MSComm1->CommEvent() != MSComm::comEvReceive)
        return;
    while (MSComm1->InBufferCount() != 0) {
        inputLine += QString::fromLatin1(MSComm1->Input());
        QString shown;
        if (parseStep(inputLine, &shown))
            setLabel4(shown);
    }
}

void Form1::setLabel4(const QString& text) {
    const bool changed = Label4->text() != text;
    Label4->setText(text);
    if (changed)
        Label4_Change();
}

void Form1::Command1_Click() {
    setLastCommandedAzimuth(QStringLiteral("184"));
    inputLine.clear();
    sendCommand(QStringLiteral("L"));
}

void Form1::Command3_Click() {
    setLastCommandedAzimuth(QStringLiteral("179"));
    inputLine.clear();
    sendCommand(QStringLiteral("R"));
}

void Form1::Command2_Click() {
    inputLine.clear();
    if (sendCommand(QStringLiteral("A")))
        setLastCommandedAzimuth(Label4->text());
}

namespace {
void step(Form1& form, int by) {
    if (!form.MSComm1->PortOpen()) {
        form.showPortClosed();
        return;
    }
    form.setLastCommandedAzimuth(stepAzimuth(form.Label5->text(), by));
    if (const std::optional<QString> command = formatGoTo(form.Label5->text()))
        form.sendCommand(*command);
}
} // namespace

void Form1::Command4_Click() { step(*this, +10); }

void Form1::Command5_Click() { step(*this, -10); }

void Form1::Command9_Click() {
    if (!MSComm1->PortOpen()) {
        showPortClosed();
        return;
    }
    sendCommand(Text3->text());
}

void Form1::listSerialPorts() {
    // The box keeps showing its caption until the operator chooses an entry.
    const QString caption = Combo1->currentText();
    Combo1->addItems(listPresentPorts());
    Combo1->setCurrentIndex(-1);
    Combo1->setEditText(caption);
}

void Form1::Combo1_Click(int row) {
    // The number comes from the entry's trailing "(COMn)", so a device whose own
    // name holds "COM" cannot put a non-number into the port box.
    const std::optional<int> number = comNumberFromEntry(Combo1->itemText(row));
    if (!number)
        return;
    Text1->setText(QString::number(*number));
    registerSettings();
}
