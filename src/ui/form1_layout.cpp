// Map pictures, window sizing, the switch panel's place and the tabs.
#include "ui/form1.h"

#include "platform/messagebox_widgets.h"
#include "ui/controls_widgets.h"
#include "ui/twips.h"
#include "ui/windowlayout.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <cstdlib>

namespace {

// Larger pictures are refused unread, so a damaged header cannot exhaust memory.
constexpr int maxPictureSide = 8192;

QString pictureFile(int index) { return QStringLiteral("world%1.bmp").arg(index + 1); }

// Present means an ordinary, not hidden, file of that name in the working directory.
bool isPresent(const QString& name) {
    const QFileInfo info(name);
    return info.exists() && info.isFile() && !info.isHidden();
}

} // namespace

int Form1::pictureInnerHeightTwips() const {
    return Twips::fromPixels(Picture1->height() - 2 * MapPicture::frameWidth);
}

int Form1::pictureOuterWidthTwips() const { return Twips::fromPixels(Picture1->width()); }

int Form1::pictureOuterHeightTwips() const { return Twips::fromPixels(Picture1->height()); }

namespace {

// A bitmap shorter than its headers say is damaged; the reader would show the
// missing part as garbage. The file size field is often 0 or wrong, so the pixel
// data the info header describes is checked as well.
bool isTruncatedBitmap(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray head = file.read(38);
    if (head.size() < 6 || !head.startsWith("BM"))
        return false;
    const auto u16 = [&head](int at) -> quint32 {
        return static_cast<quint8>(head[at]) |
               static_cast<quint32>(static_cast<quint8>(head[at + 1])) << 8;
    };
    const auto u32 = [&head, &u16](int at) -> quint32 { return u16(at) | u16(at + 2) << 16; };
    const quint64 size = static_cast<quint64>(file.size());
    const quint32 declared = u32(2);
    if (declared != 0 && size < declared)
        return true;
    if (head.size() < 26)
        return true; // no room for the info header
    const quint64 offset = u32(10);
    const quint32 infoSize = u32(14);
    quint64 width = 0;
    quint64 height = 0;
    quint64 bits = 0;
    quint32 compression = 0;
    quint64 imageSize = 0;
    if (infoSize == 12) { // OS/2 core header
        width = u16(18);
        height = u16(20);
        bits = u16(24);
    } else {
        if (head.size() < 38)
            return true;
        const auto i32 = [&u32](int at) { return static_cast<qint32>(u32(at)); };
        width = static_cast<quint64>(std::abs(static_cast<qint64>(i32(18))));
        height = static_cast<quint64>(std::abs(static_cast<qint64>(i32(22)))); // top-down: < 0
        bits = u16(28);
        compression = u32(30);
        imageSize = u32(34);
    }
    // Uncompressed rows are padded to four bytes; compressed data is as long as the
    // header says.
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    if (!uncompressed)
        return size < offset + imageSize;
    const quint64 rowBytes = (width * bits + 31) / 32 * 4;
    if (height != 0 && rowBytes > (size - std::min(size, offset)) / height)
        return true;
    return size < offset + rowBytes * height;
}

} // namespace

bool Form1::loadPicture(const QString& fileName) {
    if (!isPresent(fileName) || isTruncatedBitmap(fileName))
        return false;
    QImageReader reader(fileName);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > maxPictureSide || size.height() > maxPictureSide)
        return false;
    const QImage image = reader.read();
    if (image.isNull() || !Picture1->setBitmap(image))
        return false;
    refreshOverlay();
    return true;
}

void Form1::Option1_Click(int index) { selectMapPicture(index); }

void Form1::selectMapPicture(int index) {
    setWindowHeightTwips(WindowLayout::baseWindowHeight);
    setWindowWidthTwips(WindowLayout::baseWindowWidth);
    setTabHeightTwips(WindowLayout::baseTabHeight);
    setTabWidthTwips(WindowLayout::baseTabWidth);
    pictureNo = QString::number(index);

    const QString name = pictureFile(index);
    if (isPresent(name)) {
        loadPicture(name);
    } else {
        const bool standard = index <= 2;
        AppMessageBox::show(
            this, QStringLiteral("AZIVEX"),
            QStringLiteral("「") + name +
                QStringLiteral("」画像ファイルが有りませんので変更できませんでした。\r\n\r\n") +
                (standard ? QStringLiteral("バージョンアップで取り込むことができます。")
                          : QStringLiteral("ユーザ作成ファイルに変更する場合はファイルを作成して"
                                           "ください。")));
        if (!standard) {
            Option1[0]->setChecked(true); // runs the whole selection of picture 1
            loadPicture(pictureFile(0));
            return;
        }
        if (index != 0)
            loadPicture(pictureFile(0));
    }

    const WindowLayout layout =
        WindowLayout::forPicture(pictureInnerHeightTwips(), pictureOuterWidthTwips());
    setWindowHeightTwips(layout.windowHeight);
    setWindowWidthTwips(layout.windowWidth);
    setTabHeightTwips(layout.tabHeight);
    setTabWidthTwips(layout.tabWidth);
    m_command6LeftTwips = layout.command6Left;
    Command6->move(Twips::toPixels(layout.command6Left), Command6->y());
    headingLineWidth = static_cast<qint16>(layout.headingLineWidth);

    if (startingUp != QStringLiteral("1"))
        registerSettings();
    layoutSwitchPanel();
    if (!Label5->text().isEmpty())
        drawCommandLine();
}

void Form1::layoutSwitchPanel() {
    if (!Check1->isChecked()) {
        Frame4->hide();
        return;
    }
    const WindowLayout panel = WindowLayout().withPanel(pictureOuterHeightTwips());
    setWindowHeightTwips(panel.windowHeight);
    setTabHeightTwips(panel.tabHeight);
    Frame4->show();
    m_frame4TopTwips = panel.panelTop;
    Frame4->move(Frame4->x(), Twips::toPixels(panel.panelTop));
}

void Form1::Check1_Click() {
    if (Check1->isChecked()) {
        layoutSwitchPanel();
        controlPosition = QStringLiteral("1");
    } else {
        Frame4->hide();
        for (int i = 0; i < static_cast<int>(Option1.size()); ++i) {
            if (Option1[static_cast<std::size_t>(i)]->isChecked()) {
                selectMapPicture(i);
                break;
            }
        }
        controlPosition = QStringLiteral("0");
    }
    registerSettings();
}

void Form1::SSTab1_Click() { showPortState(); }
