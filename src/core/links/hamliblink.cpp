// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/links/hamliblink.h"

#include "core/links/commandchannel.h"

#include <hamlib/rotator.h>

#include <QFile>
#include <QMetaObject>
#include <algorithm>
#include <cmath>
#include <future>
#include <memory>
#include <mutex>

namespace {

const char* parityName(QSerialPort::Parity parity) {
    switch (parity) {
    case QSerialPort::EvenParity:
        return "Even";
    case QSerialPort::OddParity:
        return "Odd";
    case QSerialPort::MarkParity:
        return "Mark";
    case QSerialPort::SpaceParity:
        return "Space";
    case QSerialPort::NoParity:
        break;
    }
    return "None";
}

} // namespace

// Owns the Hamlib handle; lives on the link's thread and is only ever called there.
class HamlibWorker : public QObject {
  public:
    struct Opening {
        int model = 0;
        QByteArray path;
        LineSettings line;
        std::optional<RotationRange> range;
    };
    struct Opened {
        int status = RIG_OK;
        double minAz = 0, maxAz = 360, minEl = 0, maxEl = 90;
    };

    ~HamlibWorker() override { close(); }

    Opened open(const Opening& o) {
        close();
        m_rot = rot_init(o.model);
        if (!m_rot)
            return {-RIG_ENAVAIL};
        const auto set = [this](const char* name, const QByteArray& value) {
            return rot_set_conf(m_rot, rot_token_lookup(m_rot, name), value.constData());
        };
        int status = o.path.isEmpty() ? RIG_OK : set("rot_pathname", o.path);
        if (status == RIG_OK && m_rot->caps->port_type == RIG_PORT_SERIAL) {
            const LineSettings& l = o.line;
            set("serial_speed", QByteArray::number(l.baudRate));
            set("data_bits", QByteArray::number(int(l.dataBits)));
            set("stop_bits", QByteArray::number(l.stopBits == QSerialPort::TwoStop ? 2 : 1));
            set("serial_parity", parityName(l.parity));
        }
        if (status == RIG_OK)
            status = rot_open(m_rot);
        if (status != RIG_OK) {
            rot_cleanup(m_rot);
            m_rot = nullptr;
            return {status};
        }
        // Hamlib turns away positions beyond the limits it knows: tell it the
        // operator's (a remote rotctld has told its own by now).
        if (o.range) {
            set("min_az", QByteArray::number(o.range->min()));
            set("max_az", QByteArray::number(o.range->max()));
        }
        const rot_state& s = m_rot->state;
        return {RIG_OK, s.min_az, s.max_az, s.min_el, s.max_el};
    }

    void close() {
        m_reopen = false;
        if (!m_rot)
            return;
        rot_close(m_rot);
        rot_cleanup(m_rot);
        m_rot = nullptr;
    }

    // Carries out one job; the position read for a position job.
    int run(int job, double azimuth, double elevation, int direction, double* az, double* el) {
        if (!m_rot)
            return -RIG_EIO;
        // A line that failed may be out of step (a late answer still to come) or dead
        // (a remote rotctld restarted): opened again, it is taken up where it can be.
        if (m_reopen) {
            rot_close(m_rot);
            if (const int status = rot_open(m_rot); status != RIG_OK)
                return status;
            m_reopen = false;
        }
        const int status = call(job, azimuth, elevation, direction, az, el);
        m_reopen = status == -RIG_EIO || status == -RIG_ETIMEOUT || status == -RIG_EPROTO;
        return status;
    }

  private:
    int call(int job, double azimuth, double elevation, int direction, double* az, double* el) {
        switch (job) {
        case 0: {
            azimuth_t a = 0;
            elevation_t e = 0;
            const int status = rot_get_position(m_rot, &a, &e);
            *az = a;
            *el = e;
            return status;
        }
        case 1:
            return rot_set_position(m_rot, azimuth_t(azimuth), elevation_t(elevation));
        case 2:
            return rot_move(m_rot, direction, ROT_SPEED_NOCHANGE);
        default:
            return rot_stop(m_rot);
        }
    }

    ROT* m_rot = nullptr;
    bool m_reopen = false;
};

HamlibLink::HamlibLink(int model, QObject* parent)
    : ControllerLink(parent), m_model(model), m_worker(new HamlibWorker) {
    loadBackends();
    if (const rot_caps* caps = rot_get_caps(model))
        m_range = RotationRange(caps->min_az, caps->max_az);
    setPolled(true);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("hamlib"));
    m_thread.start();
    connect(&m_poll, &QTimer::timeout, this, &HamlibLink::poll);
}

HamlibLink::~HamlibLink() {
    shutDown();
    // What the thread is doing ends within Hamlib's own time-out; the handle is
    // closed on the thread as the worker goes.
    m_thread.quit();
    m_thread.wait();
}

void HamlibLink::loadBackends() {
    // Loading registers every backend in Hamlib's tables; once done, both threads
    // only read them.
    static std::once_flag once;
    std::call_once(once, [] {
        rig_set_debug(RIG_DEBUG_NONE);
        rot_load_all_backends();
    });
}

QString HamlibLink::errorText(int status) {
    switch (-std::abs(status)) {
    case -RIG_ETIMEOUT:
        return QStringLiteral("the controller did not answer in time");
    case -RIG_EIO:
        return QStringLiteral("input/output error on the line");
    case -RIG_EPROTO:
        return QStringLiteral("the controller's answer was not understood");
    case -RIG_ERJCTED:
        return QStringLiteral("the controller rejected the command");
    case -RIG_EINVAL:
        return QStringLiteral("a value the controller does not take");
    case -RIG_ENAVAIL:
        return QStringLiteral("Hamlib has no such model or function");
    default:
        break;
    }
    // Hamlib's own words, the first line only (it may add its last debug message).
    return QString::fromUtf8(rigerror(-std::abs(status))).section(u'\n', 0, 0).trimmed();
}

bool HamlibLink::open() {
    if (isOpen())
        return false;
    const rot_caps* caps = rot_get_caps(m_model);
    if (!caps)
        return refuseOpen(QStringLiteral("Hamlib has no rotator model %1").arg(m_model));
    const QString path = devicePath();
    if (path.isEmpty() && caps->port_type != RIG_PORT_NONE)
        return refuseOpen(QStringLiteral("COM%1 names no device").arg(portNumber()));
    HamlibWorker::Opening opening{m_model, QFile::encodeName(path), line(), m_configuredRange};
    if (caps->port_type == RIG_PORT_NONE)
        opening.path.clear();
    auto promise = std::make_shared<std::promise<HamlibWorker::Opened>>();
    std::future<HamlibWorker::Opened> opened = promise->get_future();
    HamlibWorker* worker = m_worker;
    QMetaObject::invokeMethod(m_worker, [worker, opening, promise] {
        promise->set_value(worker->open(opening));
    });
    const QString what = QStringLiteral("Hamlib model %1 (%2 %3) on %4")
                             .arg(m_model)
                             .arg(QString::fromUtf8(caps->mfg_name), QString::fromUtf8(caps->model_name),
                                  path.isEmpty() ? QStringLiteral("no port") : path);
    if (opened.wait_for(std::chrono::milliseconds(timeout())) != std::future_status::ready) {
        // Given up: whatever the thread opens in the end is closed behind it.
        QMetaObject::invokeMethod(m_worker, [worker] { worker->close(); });
        return refuseOpen(QStringLiteral("%1: no answer within %2 ms").arg(what).arg(timeout()));
    }
    const HamlibWorker::Opened result = opened.get();
    if (result.status != RIG_OK)
        return refuseOpen(QStringLiteral("%1: %2").arg(what, errorText(result.status)));
    m_range = RotationRange(result.minAz, result.maxAz);
    m_minElevation = result.minEl;
    m_maxElevation = result.maxEl;
    m_elevation = qBound(m_minElevation, 0.0, m_maxElevation);
    ++m_generation;
    m_open = true;
    m_pollFailing = false;
    clearOpenError();
    startWatching();
    m_poll.start(pollInterval());
    poll();
    emit openChanged(true);
    return true;
}

void HamlibLink::shutDown() {
    ++m_generation;
    m_poll.stop();
    m_running.reset();
    m_stopWaiting = m_pollWaiting = false;
    m_movementWaiting.reset();
    HamlibWorker* worker = m_worker;
    QMetaObject::invokeMethod(m_worker, [worker] { worker->close(); });
    stopWatching();
    m_open = false;
}

void HamlibLink::close() {
    if (!m_open)
        return;
    shutDown();
    emit openChanged(false);
}

ControllerLink::GoTo HamlibLink::goTo(const QString& position) {
    bool ok = false;
    const double azimuth = position.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(azimuth))
        return GoTo::NoCommand;
    if (!m_open)
        return GoTo::Refused;
    m_movementWaiting = Command{Job::GoTo, azimuth};
    dispatch();
    return GoTo::Sent;
}

bool HamlibLink::turn(Direction direction) {
    if (!m_open)
        return false;
    m_movementWaiting = Command{Job::Turn, 0, direction};
    dispatch();
    return true;
}

bool HamlibLink::stop() {
    if (!m_open)
        return false;
    m_movementWaiting.reset();
    m_stopWaiting = true;
    dispatch();
    return true;
}

qsizetype HamlibLink::queuedCommands() const {
    const bool commandRunning = m_running && m_running->job != Job::Position;
    return qsizetype(m_stopWaiting) + qsizetype(m_movementWaiting.has_value()) +
           qsizetype(commandRunning);
}

void HamlibLink::poll() {
    // One position request at a time: a slow controller is not asked again until it
    // has answered the last.
    if ((m_running && m_running->job == Job::Position) || m_pollWaiting)
        return;
    m_pollWaiting = true;
    dispatch();
}

void HamlibLink::dispatch() {
    if (!m_open || m_running)
        return;
    Command command;
    if (m_stopWaiting) {
        m_stopWaiting = false;
        command = {Job::Stop};
    } else if (m_movementWaiting) {
        command = *m_movementWaiting;
        m_movementWaiting.reset();
    } else if (m_pollWaiting) {
        m_pollWaiting = false;
    } else {
        return;
    }
    m_running = command;
    const double elevation = m_elevation;
    const quint64 generation = m_generation;
    HamlibWorker* worker = m_worker;
    const int direction = command.direction == Direction::Ccw ? ROT_MOVE_CCW : ROT_MOVE_CW;
    QMetaObject::invokeMethod(m_worker, [this, worker, command, elevation, direction, generation] {
        Outcome outcome;
        outcome.status = worker->run(int(command.job), command.azimuth, elevation, direction,
                                     &outcome.azimuth, &outcome.elevation);
        // Posted to the link: dropped if it has gone meanwhile (it waits for this
        // thread before it goes, so it is there while this runs).
        QMetaObject::invokeMethod(this, [this, generation, command, outcome] {
            finished(generation, command, outcome);
        });
    });
}

QString HamlibLink::failure(const Command& command, int status) const {
    const QString reason = errorText(status);
    switch (command.job) {
    case Job::Position:
        return tr("Hamlib: 方位を読めません: %1").arg(reason);
    case Job::GoTo:
        return tr("Hamlib: %1 へ回せません: %2").arg(command.azimuth).arg(reason);
    case Job::Turn:
        return tr("Hamlib: 回転できません: %1").arg(reason);
    case Job::Stop:
        break;
    }
    return tr("Hamlib: 停止できません: %1").arg(reason);
}

void HamlibLink::finished(quint64 generation, const Command& command, const Outcome& outcome) {
    if (generation != m_generation)
        return;
    m_running.reset();
    if (outcome.status == RIG_OK) {
        if (command.job == Job::Position) {
            m_pollFailing = false;
            m_elevation = qBound(m_minElevation, outcome.elevation, m_maxElevation);
            // Hamlib's floats carry noise past the hundredths its own tools show.
            const double position = std::round(outcome.azimuth * 100) / 100;
            const int shown = int(std::lround(RotationRange::bearingOf(position))) % 360;
            noteAnswer();
            emit headingReceived(QString::number(shown), position);
        }
    } else if (outcome.status == -RIG_EIO && !CommandChannel::isNetworkAddress(devicePath()) &&
               !devicePresent() && !devicePath().isEmpty()) {
        // The serial adapter was pulled out: the port is gone, as for any other link.
        shutDown();
        emit openChanged(false);
        emit lost();
        return;
    } else if (command.job != Job::Position || !m_pollFailing) {
        // Polls failing are told once, not at every poll: the silence watch tells
        // the rest.
        m_pollFailing = m_pollFailing || command.job == Job::Position;
        emit commandFailed(failure(command, outcome.status));
    }
    dispatch();
}
