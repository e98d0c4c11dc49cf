// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pseudoterminal.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// One read turn takes at most this much, so a program that sends without pause
// cannot keep the event loop from everything else.
constexpr qsizetype kReadTurnBytes = 64 * 1024;

} // namespace

PseudoTerminal::PseudoTerminal(QObject* parent) : QObject(parent) {
    reopen();
}

PseudoTerminal::~PseudoTerminal() {
    removeLink();
    hangUp();
}

// Keeps the system's reason (errno) for what failed; returns false for the caller.
bool PseudoTerminal::fail(const QString& what) {
    m_error = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

bool PseudoTerminal::reopen() {
    hangUp();
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0)
        return fail(QStringLiteral("posix_openpt"));
    char name[128] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        fail(QStringLiteral("cannot set up the pseudo-terminal"));
        ::close(master);
        return false;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        fail(QString::fromLocal8Bit(name));
        ::close(master);
        return false;
    }
    // Raw, so that bytes pass unchanged both ways (no echo, no CR/LF translation)
    // even before the program sets the line up.
    termios t{};
    if (tcgetattr(slave, &t) == 0) {
        cfmakeraw(&t);
        cfsetspeed(&t, B9600);
        tcsetattr(slave, TCSANOW, &t);
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    m_master = master;
    m_slave = slave;
    m_slavePath = QString::fromLocal8Bit(name);
    m_reader = new QSocketNotifier(master, QSocketNotifier::Read, this);
    m_reader->setEnabled(m_reading);
    connect(m_reader, &QSocketNotifier::activated, this, &PseudoTerminal::readAvailable);
    m_writer = new QSocketNotifier(master, QSocketNotifier::Write, this);
    m_writer->setEnabled(false);
    connect(m_writer, &QSocketNotifier::activated, this, [this] {
        if (flushPending() && m_pending.isEmpty())
            emit drained();
    });
    return true;
}

void PseudoTerminal::hangUp() {
    // Later, not now: this may run in a slot that one of the notifiers set off.
    for (QSocketNotifier* notifier : {m_reader, m_writer}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_reader = nullptr;
    m_writer = nullptr;
    m_pending.clear();
    for (int* fd : {&m_master, &m_slave}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool PseudoTerminal::createLink(const QString& linkPath) {
    if (!isOpen()) {
        m_error = QStringLiteral("%1: the pseudo-terminal is not open").arg(linkPath);
        return false;
    }
    const QByteArray path = QFile::encodeName(linkPath);
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            m_error = QStringLiteral("%1 exists and is not a symbolic link; not replacing it")
                          .arg(linkPath);
            return false;
        }
        if (::unlink(path.constData()) != 0 && errno != ENOENT)
            return fail(linkPath);
    } else if (errno != ENOENT) {
        return fail(linkPath);
    }
    if (::symlink(QFile::encodeName(m_slavePath).constData(), path.constData()) != 0)
        return fail(linkPath);
    if (m_linkPath != linkPath)
        removeLink();
    m_linkPath = linkPath;
    return true;
}

bool PseudoTerminal::linkAs(const QString& dir, int comNumber) {
    return createLink(QDir(dir).filePath(QStringLiteral("COM%1").arg(comNumber)));
}

bool PseudoTerminal::removeLink() {
    if (m_linkPath.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(m_linkPath);
    m_linkPath.clear();
    // Someone may have pointed the path elsewhere meanwhile; that link is theirs.
    char target[PATH_MAX] = {};
    const ssize_t n = ::readlink(path.constData(), target, sizeof target - 1);
    return n > 0 && QFile::decodeName(QByteArray(target, n)) == m_slavePath &&
           ::unlink(path.constData()) == 0;
}

bool PseudoTerminal::write(const QByteArray& bytes) {
    if (!isOpen()) {
        m_error = QStringLiteral("write: the pseudo-terminal is not open");
        return false;
    }
    int unread = 0;
    if (m_backlogLimit > 0 && ::ioctl(m_slave, FIONREAD, &unread) == 0 && unread > m_backlogLimit) {
        tcflush(m_slave, TCIFLUSH);
        m_pending.clear();
    }
    // Reading may have rested after an error; the program may be back.
    m_reader->setEnabled(m_reading);
    m_pending.append(bytes);
    return flushPending();
}

// Hands the terminal what it takes now; the write notifier brings the rest as the
// program reads, so a large write neither fails nor blocks.
bool PseudoTerminal::flushPending() {
    while (!m_pending.isEmpty()) {
        const ssize_t n =
            ::write(m_master, m_pending.constData(), static_cast<size_t>(m_pending.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        if (n < 0) {
            m_pending.clear();
            m_writer->setEnabled(false);
            return fail(QStringLiteral("write to %1").arg(m_slavePath));
        }
        m_pending.remove(0, n);
    }
    m_writer->setEnabled(!m_pending.isEmpty());
    return true;
}

void PseudoTerminal::setReading(bool reading) {
    m_reading = reading;
    if (m_reader)
        m_reader->setEnabled(reading);
}

void PseudoTerminal::readAvailable() {
    QByteArray got;
    char buf[4096];
    while (got.size() < kReadTurnBytes) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            got.append(buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: drained. Anything else (EIO) would make the notifier fire without
        // end, so reading rests until the next write.
        if (n == 0 || errno != EAGAIN)
            m_reader->setEnabled(false);
        break;
    }
    if (got.isEmpty())
        return;
    m_received.append(got);
    emit dataReceived(got);
}
