#include "ptyport.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// More unread bytes than this on the slave means nobody is reading: a reader takes
// each report as it comes, so its queue stays a few bytes long.
constexpr int kStaleBacklog = 512;

QString systemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PtyPort::~PtyPort() {
    removeLink();
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyPort::open(QString* error) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    char name[128] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        *error = systemError("cannot set up the pseudo-terminal");
        ::close(master);
        return false;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        *error = systemError(name);
        ::close(master);
        return false;
    }
    // Raw, so that bytes pass unchanged both ways: no echo, no CR/LF translation.
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
    return true;
}

bool PtyPort::createLink(const QString& linkPath, QString* error) {
    const QByteArray path = QFile::encodeName(linkPath);
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            *error = QStringLiteral("%1 exists and is not a symbolic link; not replacing it")
                         .arg(linkPath);
            return false;
        }
        if (::unlink(path.constData()) != 0 && errno != ENOENT) {
            *error = systemError(path.constData());
            return false;
        }
    } else if (errno != ENOENT) {
        *error = systemError(path.constData());
        return false;
    }
    if (::symlink(QFile::encodeName(m_slavePath).constData(), path.constData()) != 0) {
        *error = systemError(path.constData());
        return false;
    }
    m_linkPath = linkPath;
    return true;
}

bool PtyPort::removeLink() {
    if (m_linkPath.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(m_linkPath);
    m_linkPath.clear();
    // Someone may have pointed the path elsewhere meanwhile; that link is theirs.
    char target[256] = {};
    const ssize_t n = ::readlink(path.constData(), target, sizeof target - 1);
    return n > 0 && QFile::decodeName(QByteArray(target, n)) == m_slavePath &&
           ::unlink(path.constData()) == 0;
}

bool PtyPort::write(const QByteArray& bytes) {
    if (m_master < 0)
        return false;
    int unread = 0;
    if (::ioctl(m_slave, FIONREAD, &unread) == 0 && unread > kStaleBacklog)
        tcflush(m_slave, TCIFLUSH);
    // A report is a few bytes and the queue is kept short, so a partial write does
    // not happen in practice; if the queue is full the report is simply lost.
    for (;;) {
        const ssize_t n = ::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size()));
        if (n < 0 && errno == EINTR)
            continue;
        return n == bytes.size();
    }
}
