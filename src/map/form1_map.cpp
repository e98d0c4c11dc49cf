// Drawing the marks on the map and aiming by a click on it.
#include "ui/form1.h"

#include "link/gotocommand.h"
#include "map/mapgeometry.h"
#include "map/overlaypainter.h"
#include "platform/mscomm.h"
#include "ui/controls_widgets.h"

#include <QLabel>
#include <QLineEdit>

void Form1::Label4_Change() { fullRedraw(); }

void Form1::fullRedraw() {
    m_headingDrawn = true;
    refreshOverlay();
}

void Form1::drawCommandLine() { refreshOverlay(); }

void Form1::setLastCommandedAzimuth(const QString& text) {
    Label5->setText(text);
    // The map follows the target at once, not only at the next reply.
    refreshOverlay();
}

void Form1::refreshOverlay() {
    // The map is always composed from the current state, so a repaint or a new
    // command line never loses a mark.
    OverlayState state;
    state.currentAzimuth = Label4->text();
    state.lastCommandedAzimuth = Label5->text();
    state.offset = Text5->text();
    state.headingLineWidth = headingLineWidth;
    state.showHeading = m_headingDrawn;
    Picture1->setOverlay(state);
}

void Form1::Picture1_Click(int x, int y) {
    Label1->setText(QString());
    // The click position is already relative to the picture's outer rectangle.
    const std::optional<qint16> target =
        clickTarget(x, y, 0, 0, Picture1->width(), Picture1->height(), Text5->text());
    if (!target)
        return; // a target that cannot be formed is not shown and not sent
    Label5->setText(QString::number(*target));
    drawCommandLine();
    inputLine.clear();
    if (!MSComm1->PortOpen()) {
        showPortClosed();
        return;
    }
    if (const std::optional<QString> command = formatGoTo(Label5->text()))
        sendCommand(*command);
}
