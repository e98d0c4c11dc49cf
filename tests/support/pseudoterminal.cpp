#include "pseudoterminal.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal(QObject* parent) : QObject(parent) {
    reopen();
}

PseudoTerminal::~PseudoTerminal() {
    hangUp();
}

bool PseudoTerminal::isOpen() const {
    return m_master >= 0;
}

QString PseudoTerminal::slavePath() const {
    return m_slavePath;
}

bool PseudoTerminal::linkAs(const QString& dir, int comNumber) const {
    const QString link = QDir(dir).filePath(QStringLiteral("COM%1").arg(comNumber));
    QFile::remove(link);
    return QFile::link(m_slavePath, link);
}

bool PseudoTerminal::reopen() {
    hangUp();
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    if (grantpt(fd) != 0 || unlockpt(fd) != 0) {
        ::close(fd);
        return false;
    }
    char name[128] = {};
    if (ptsname_r(fd, name, sizeof name) != 0) {
        ::close(fd);
        return false;
    }
    // Raw on the slave side, so bytes pass unchanged in both directions (no echo, no
    // CR/LF translation) even before the program under test sets the line up.
    // The slave is kept open here as well, so the master never reads as hung up
    // while the program under test has its end closed.
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave >= 0) {
        termios t{};
        if (tcgetattr(slave, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(slave, TCSANOW, &t);
        }
    }
    m_slave = slave;
    m_master = fd;
    m_slavePath = QString::fromLocal8Bit(name);
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PseudoTerminal::readAvailable);
    return true;
}

void PseudoTerminal::readAvailable() {
    char buf[4096];
    bool got = false;
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            m_received.append(buf, static_cast<qsizetype>(n));
            got = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: drained. Anything else (EIO) would make the notifier fire without
        // end, so stop watching until the next write.
        if (n == 0 || errno != EAGAIN)
            m_notifier->setEnabled(false);
        break;
    }
    if (got)
        emit bytesReceived();
}

bool PseudoTerminal::write(const QByteArray& bytes) {
    if (m_master < 0)
        return false;
    if (m_notifier)
        m_notifier->setEnabled(true);
    m_pending.append(bytes);
    return flushPending();
}

// Writes what the terminal takes now; the rest goes out from the event loop as the
// other end reads, so a large write never fails or blocks a single-threaded test.
bool PseudoTerminal::flushPending() {
    while (!m_pending.isEmpty()) {
        const ssize_t n =
            ::write(m_master, m_pending.constData(), static_cast<size_t>(m_pending.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN)
                break;
            m_pending.clear();
            return false;
        }
        m_pending.remove(0, n);
    }
    if (m_pending.isEmpty()) {
        if (m_writeNotifier)
            m_writeNotifier->setEnabled(false);
        return true;
    }
    if (!m_writeNotifier) {
        m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
        connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] { flushPending(); });
    }
    m_writeNotifier->setEnabled(true);
    return true;
}

void PseudoTerminal::hangUp() {
    delete m_notifier;
    m_notifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    m_pending.clear();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = -1;
    m_slave = -1;
}
