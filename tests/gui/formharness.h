#pragma once

// Runs the window in a temporary working directory with message boxes recorded.

#include "app/settingscodec.h"
#include "platform/messagebox_widgets.h"
#include "ui/form1.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <malloc.h>
#include <memory>

// This process's resident memory in KiB as the kernel reports it, or -1 where
// /proc is not there: now (VmRSS) and at its peak (VmHWM).
inline qint64 procStatusKiB(const QByteArray& field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}
inline qint64 residentKiB() {
    return procStatusKiB("VmRSS");
}
inline qint64 peakResidentKiB() {
    return procStatusKiB("VmHWM");
}
// Bytes the allocator has handed out and not had back, in KiB: unlike the resident
// size it does not count memory kept for reuse, so it shows what is really held.
inline qint64 heapInUseKiB() {
    const struct mallinfo2 heap = mallinfo2();
    return static_cast<qint64>((heap.uordblks + heap.hblkhd) / 1024);
}
// Lets the peak start again from the present size, so a test can see what one
// step cost. False where the kernel does not offer it.
inline bool resetPeakResident() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1 && refs.flush();
}

// An operator's choice of an entry of the port list.
inline void chooseComboEntry(QComboBox* combo, int row) {
    combo->setCurrentIndex(row);
    emit combo->activated(row);
}

struct Message {
    QString title;
    QString text;
};

class FormHarness {
  public:
    FormHarness() : m_previousDir(QDir::currentPath()) {
        QDir::setCurrent(m_dir.path());
        AppMessageBox::setRecorder([this](const QString& title, const QString& text) {
            messages.append({title, text});
        });
    }
    ~FormHarness() {
        form.reset();
        AppMessageBox::setRecorder({});
        QDir::setCurrent(m_previousDir);
    }
    FormHarness(const FormHarness&) = delete;
    FormHarness& operator=(const FormHarness&) = delete;

    QString dir() const { return m_dir.path(); }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    void writeFile(const QString& name, const QByteArray& bytes) const {
        QFile f(path(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
    void writeSettings(const QString& dataLine) const {
        writeFile(SettingsCodec::fileName, SettingsCodec::fileText(dataLine));
    }
    QByteArray settingsBytes() const {
        QFile f(path(SettingsCodec::fileName));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString dataLine() const {
        const QByteArray b = settingsBytes();
        return QString::fromUtf8(b.left(b.indexOf('\r')));
    }
    // A plain map picture of the given size, in a colour the tests can tell apart.
    void writePicture(int index, int width, int height,
                      const QColor& colour = QColor(40, 90, 160)) const {
        QImage img(width, height, QImage::Format_RGB32);
        img.fill(colour);
        img.save(path(QStringLiteral("world%1.bmp").arg(index + 1)), "BMP");
    }
    void writeStandardPictures() const {
        writePicture(0, 200, 200);
        writePicture(1, 300, 300);
        writePicture(2, 450, 450);
    }

    Form1& create(std::unique_ptr<MSComm> port = nullptr) {
        form = std::make_unique<Form1>(std::move(port));
        return *form;
    }
    // Creates the window and runs its start-up; shows it when start-up went on.
    Form1& start(std::unique_ptr<MSComm> port = nullptr) {
        create(std::move(port));
        if (form->load())
            form->show();
        return *form;
    }

    std::unique_ptr<Form1> form;
    QList<Message> messages;

  private:
    QTemporaryDir m_dir;
    QString m_previousDir;
};
