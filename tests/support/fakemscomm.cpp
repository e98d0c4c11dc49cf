#include "fakemscomm.h"

#include "platform/comports.h"
#include "platform/serialmscomm.h"

#include <QTimer>

FakeMSComm::FakeMSComm(QObject* parent) : MSComm(parent) {}

void FakeMSComm::setPortExists(int n, bool exists) {
    if (exists)
        m_present.insert(n);
    else
        m_present.remove(n);
}

QByteArray FakeMSComm::allOutput() const {
    QByteArray all;
    for (const QByteArray& bytes : m_outputs)
        all += bytes;
    return all;
}

bool FakeMSComm::setCommPort(int n) {
    if (n < 1 || n > kHighestComNumber || m_open)
        return false;
    m_commPort = n;
    return true;
}

bool FakeMSComm::setSettings(const QString& text) {
    if (!parseLineSettings(text))
        return false;
    m_settings = text;
    return true;
}

bool FakeMSComm::setPortOpen(bool open) {
    if (!open) {
        m_open = false;
        m_rx.clear();
        return true;
    }
    if (m_open || !m_present.contains(m_commPort))
        return false;
    m_open = true;
    ++m_openCount;
    m_rx.clear();
    return true;
}

bool FakeMSComm::Output(const QByteArray& bytes) {
    if (!m_open || m_writeRefused)
        return false;
    m_outputs.append(bytes);
    return true;
}

void FakeMSComm::setInputLen(int n) {
    if (n >= 0)
        m_inputLen = n;
}

void FakeMSComm::setRThreshold(int n) {
    if (n >= 0)
        m_rThreshold = n;
}

QByteArray FakeMSComm::Input() {
    const qsizetype n =
        (m_inputLen == 0 || m_inputLen >= m_rx.size()) ? m_rx.size() : qsizetype(m_inputLen);
    const QByteArray out = m_rx.left(n);
    m_rx.remove(0, n);
    return out;
}

void FakeMSComm::inject(const QByteArray& bytes) {
    if (!m_open || bytes.isEmpty())
        return;
    m_rx.append(bytes);
    queueNotify();
}

void FakeMSComm::queueNotify() {
    if (m_notifyQueued)
        return;
    m_notifyQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_notifyQueued = false;
        notifyReceive();
    });
}

void FakeMSComm::notifyReceive() {
    if (!m_open || m_rThreshold <= 0 || m_rx.size() < m_rThreshold)
        return;
    const qsizetype before = m_rx.size();
    m_commEvent = comEvReceive;
    emit OnComm();
    // Like the real service: told again while the handler keeps taking bytes.
    if (m_open && m_rx.size() >= m_rThreshold && m_rx.size() < before)
        queueNotify();
}

void FakeMSComm::loseDevice() {
    m_present.remove(m_commPort);
    if (!m_open)
        return;
    m_open = false;
    m_rx.clear();
    QTimer::singleShot(0, this, [this] { emit portLost(); });
}
