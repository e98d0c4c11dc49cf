// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "chromium.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <csignal>
#include <functional>
#include <sys/prctl.h>

namespace {

// Replies and events kept for a later wait; beyond this the oldest are dropped, so
// a chatty page cannot grow the list without end.
constexpr qsizetype kKeptMessages = 1000;

QString quoted(const QString& text) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact))
        .chopped(1)
        .mid(1);
}

} // namespace

Chromium::Chromium(QObject* parent)
    : QObject(parent), m_profile(QDir::tempPath() + QStringLiteral("/azivex-chromium-XXXXXX")) {
    connect(&m_socket, &QWebSocket::textMessageReceived, this, &Chromium::received);
    connect(&m_socket, &QWebSocket::connected, this, &Chromium::activity);
    connect(&m_socket, &QWebSocket::disconnected, this, &Chromium::activity);
    connect(&m_process, &QProcess::readyReadStandardError, this, &Chromium::activity);
    connect(&m_process, &QProcess::finished, this, &Chromium::activity);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setStandardOutputFile(QProcess::nullDevice());
}

Chromium::~Chromium() {
    if (m_socket.state() == QAbstractSocket::ConnectedState) {
        m_socket.sendTextMessage(QStringLiteral(R"({"id":0,"method":"Browser.close"})"));
        m_socket.flush();
    }
    m_socket.abort();
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString Chromium::executable() {
    const QString named = qEnvironmentVariable("CHROMIUM", QStringLiteral("/usr/bin/chromium"));
    return QFileInfo(named).isExecutable() ? named : QString();
}

bool Chromium::fail(const QString& message) {
    m_error = message;
    return false;
}

bool Chromium::start(const Options& options, int timeoutMs) {
    m_options = options;
    const QString program = executable();
    if (program.isEmpty())
        return fail(QStringLiteral("no chromium: install it or name it in CHROMIUM"));
    if (!m_profile.isValid())
        return fail(QStringLiteral("no temporary folder for the browser's profile"));
    QStringList arguments{
        QStringLiteral("--headless=new"), QStringLiteral("--no-sandbox"),
        QStringLiteral("--disable-gpu"), QStringLiteral("--remote-debugging-port=0"),
        QStringLiteral("--user-data-dir=") + m_profile.path(),
        QStringLiteral("--window-size=%1,%2").arg(options.viewport.width()).arg(options.viewport.height()),
        // Nothing of its own goes out: the page is all it loads.
        QStringLiteral("--no-first-run"), QStringLiteral("--no-default-browser-check"),
        QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-sync"), QStringLiteral("--disable-extensions"),
        QStringLiteral("--hide-scrollbars")};
    if (!options.language.isEmpty())
        arguments << QStringLiteral("--lang=") + options.language
                  << QStringLiteral("--accept-lang=") + options.language;
    arguments << QStringLiteral("about:blank");
    // A test that crashes takes its browser with it rather than leaving it running.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(timeoutMs))
        return fail(QStringLiteral("%1: %2").arg(program, m_process.errorString()));
    const QDeadlineTimer deadline(timeoutMs);
    if (!waitForPort(timeoutMs))
        return false;
    const auto target = call(QStringLiteral("Target.createTarget"),
                             {{QStringLiteral("url"), QStringLiteral("about:blank")}},
                             int(deadline.remainingTime()));
    if (!target)
        return false;
    const auto attached = call(QStringLiteral("Target.attachToTarget"),
                               {{QStringLiteral("targetId"), target->value(QStringLiteral("targetId"))},
                                {QStringLiteral("flatten"), true}});
    if (!attached)
        return false;
    m_session = attached->value(QStringLiteral("sessionId")).toString();
    if (!call(QStringLiteral("Page.enable")) || !setScreen(options.viewport, options.scale, options.mobile))
        return false;
    if (options.language.isEmpty())
        return true;
    // The headless browser may keep its own languages whatever it was started
    // with: the page is told them as a browser set to them tells it.
    const auto version = call(QStringLiteral("Browser.getVersion"));
    return version &&
           call(QStringLiteral("Emulation.setUserAgentOverride"),
                {{QStringLiteral("userAgent"), version->value(QStringLiteral("userAgent"))},
                 {QStringLiteral("acceptLanguage"), options.language}}) &&
           call(QStringLiteral("Emulation.setLocaleOverride"),
                {{QStringLiteral("locale"), options.language}});
}

bool Chromium::setScreen(QSize viewport, double scale, bool mobile) {
    const QJsonObject metrics{{QStringLiteral("width"), viewport.width()},
                              {QStringLiteral("height"), viewport.height()},
                              {QStringLiteral("deviceScaleFactor"), scale},
                              {QStringLiteral("mobile"), mobile}};
    if (!call(QStringLiteral("Emulation.setDeviceMetricsOverride"), metrics) ||
        !call(QStringLiteral("Emulation.setTouchEmulationEnabled"),
              {{QStringLiteral("enabled"), mobile}, {QStringLiteral("maxTouchPoints"), 5}}))
        return false;
    m_options.viewport = viewport;
    m_options.scale = scale;
    m_options.mobile = mobile;
    return true;
}

// The browser writes the port it chose, and its own path, into DevToolsActivePort in
// the profile once it listens.
bool Chromium::waitForPort(int timeoutMs) {
    QFileSystemWatcher watcher({m_profile.path()});
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, &Chromium::activity);
    connect(&watcher, &QFileSystemWatcher::fileChanged, this, &Chromium::activity);
    const QString portFile = QDir(m_profile.path()).filePath(QStringLiteral("DevToolsActivePort"));
    QString output;
    QStringList lines;
    const bool found = runUntil([&] {
        output += QString::fromLocal8Bit(m_process.readAllStandardError());
        if (m_process.state() == QProcess::NotRunning)
            return true;
        if (QFile::exists(portFile) && !watcher.files().contains(portFile))
            watcher.addPath(portFile); // it may be written in more than one step
        QFile file(portFile);
        if (file.open(QIODevice::ReadOnly))
            lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        return lines.size() >= 2;
    }, timeoutMs);
    if (lines.size() < 2)
        return fail(QStringLiteral("the browser did not open its DevTools port%1: %2")
                        .arg(found ? QStringLiteral(" (it ended)") : QString(), output.right(2000)));
    m_socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1%2").arg(lines[0].trimmed(), lines[1].trimmed())));
    runUntil([this] {
        return m_socket.state() == QAbstractSocket::ConnectedState ||
               m_socket.state() == QAbstractSocket::UnconnectedState;
    }, timeoutMs);
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        return fail(QStringLiteral("cannot reach the browser's DevTools: ") + m_socket.errorString());
    return true;
}

bool Chromium::runUntil(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &Chromium::activity, &loop, &QEventLoop::quit);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        timer.start(int(deadline.remainingTime()));
        loop.exec();
    }
    return true;
}

void Chromium::received(const QString& message) {
    const QJsonObject object = QJsonDocument::fromJson(message.toUtf8()).object();
    if (object.isEmpty())
        return;
    m_messages.append(object);
    if (m_messages.size() > kKeptMessages)
        m_messages.removeFirst();
    emit activity();
}

std::optional<QJsonObject> Chromium::call(const QString& method, const QJsonObject& params,
                                          int timeoutMs) {
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        fail(QStringLiteral("%1: the browser is not connected").arg(method));
        return std::nullopt;
    }
    const int id = m_nextId++;
    QJsonObject message{{QStringLiteral("id"), id}, {QStringLiteral("method"), method},
                        {QStringLiteral("params"), params}};
    // The browser's own domains answer on the connection itself, the rest in the page.
    if (!m_session.isEmpty() && !method.startsWith(QLatin1String("Target.")) &&
        !method.startsWith(QLatin1String("Browser.")))
        message.insert(QStringLiteral("sessionId"), m_session);
    m_socket.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    std::optional<QJsonObject> reply;
    const auto take = [&] {
        for (qsizetype i = 0; i < m_messages.size(); ++i)
            if (m_messages[i].value(QStringLiteral("id")).toInt(-1) == id) {
                reply = m_messages.takeAt(i);
                return true;
            }
        return m_socket.state() != QAbstractSocket::ConnectedState;
    };
    runUntil(take, timeoutMs);
    if (!reply) {
        fail(QStringLiteral("%1: no answer from the browser").arg(method));
        return std::nullopt;
    }
    if (reply->contains(QStringLiteral("error"))) {
        fail(QStringLiteral("%1: %2").arg(
            method, reply->value(QStringLiteral("error")).toObject().value(QStringLiteral("message")).toString()));
        return std::nullopt;
    }
    return reply->value(QStringLiteral("result")).toObject();
}

std::optional<QJsonObject> Chromium::waitForEvent(const QString& method, int timeoutMs) {
    std::optional<QJsonObject> event;
    runUntil([&] {
        for (qsizetype i = 0; i < m_messages.size(); ++i)
            if (m_messages[i].value(QStringLiteral("method")).toString() == method) {
                event = m_messages.takeAt(i).value(QStringLiteral("params")).toObject();
                return true;
            }
        return m_socket.state() != QAbstractSocket::ConnectedState;
    }, timeoutMs);
    if (!event)
        fail(QStringLiteral("no %1 from the browser").arg(method));
    return event;
}

bool Chromium::navigate(const QString& url, int timeoutMs) {
    // Only the coming load counts.
    m_messages.removeIf([](const QJsonObject& m) { return m.contains(QStringLiteral("method")); });
    const auto result = call(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), url}}, timeoutMs);
    if (!result)
        return false;
    if (const QString error = result->value(QStringLiteral("errorText")).toString(); !error.isEmpty())
        return fail(QStringLiteral("%1: %2").arg(url, error));
    return waitForEvent(QStringLiteral("Page.loadEventFired"), timeoutMs).has_value();
}

std::optional<QJsonValue> Chromium::evaluate(const QString& expression, int timeoutMs) {
    const auto result = call(QStringLiteral("Runtime.evaluate"),
                             {{QStringLiteral("expression"), expression},
                              {QStringLiteral("returnByValue"), true},
                              {QStringLiteral("awaitPromise"), true}},
                             timeoutMs);
    if (!result)
        return std::nullopt;
    if (result->contains(QStringLiteral("exceptionDetails"))) {
        const QJsonObject details = result->value(QStringLiteral("exceptionDetails")).toObject();
        const QString text = details.value(QStringLiteral("exception")).toObject()
                                 .value(QStringLiteral("description")).toString();
        fail(QStringLiteral("%1: %2").arg(
            expression, text.isEmpty() ? details.value(QStringLiteral("text")).toString() : text));
        return std::nullopt;
    }
    return result->value(QStringLiteral("result")).toObject().value(QStringLiteral("value"));
}

bool Chromium::waitFor(const QString& expression, int timeoutMs) {
    // The page checks at every frame and answers once it holds; a page thrown away
    // meanwhile answers nothing, and the wait runs out.
    const QString wait = QStringLiteral(
        "new Promise((resolve) => { const check = () => { let ok = false;"
        " try { ok = !!(%1); } catch (e) {} if (ok) resolve(true); else requestAnimationFrame(check); };"
        " check(); })").arg(expression);
    const auto value = evaluate(wait, timeoutMs);
    if (!value)
        return fail(QStringLiteral("never true: %1 (%2)").arg(expression, m_error));
    return value->toBool();
}

bool Chromium::tap(const QString& selector) {
    // The middle of the element, if the element is what is there on the screen.
    const auto point = evaluate(QStringLiteral(
        "(() => { const e = document.querySelector(%1); if (!e) return 'none';"
        " const r = e.getBoundingClientRect(); const x = r.left + r.width / 2, y = r.top + r.height / 2;"
        " if (r.width === 0 || x < 0 || y < 0 || x >= innerWidth || y >= innerHeight) return 'out of view';"
        " const there = document.elementFromPoint(x, y);"
        " if (!there || !e.contains(there)) return 'covered'; return [x, y]; })()").arg(quoted(selector)));
    if (!point)
        return false;
    if (!point->isArray())
        return fail(QStringLiteral("%1: %2").arg(selector, point->toString()));
    const double x = point->toArray().at(0).toDouble();
    const double y = point->toArray().at(1).toDouble();
    if (m_options.mobile) {
        const QJsonArray finger{QJsonObject{{QStringLiteral("x"), x}, {QStringLiteral("y"), y}}};
        return call(QStringLiteral("Input.dispatchTouchEvent"),
                    {{QStringLiteral("type"), QStringLiteral("touchStart")}, {QStringLiteral("touchPoints"), finger}}) &&
               call(QStringLiteral("Input.dispatchTouchEvent"),
                    {{QStringLiteral("type"), QStringLiteral("touchEnd")}, {QStringLiteral("touchPoints"), QJsonArray()}});
    }
    QJsonObject press{{QStringLiteral("type"), QStringLiteral("mousePressed")}, {QStringLiteral("x"), x},
                      {QStringLiteral("y"), y}, {QStringLiteral("button"), QStringLiteral("left")},
                      {QStringLiteral("clickCount"), 1}};
    if (!call(QStringLiteral("Input.dispatchMouseEvent"), press))
        return false;
    press.insert(QStringLiteral("type"), QStringLiteral("mouseReleased"));
    return call(QStringLiteral("Input.dispatchMouseEvent"), press).has_value();
}

bool Chromium::type(const QString& text) {
    return call(QStringLiteral("Input.insertText"), {{QStringLiteral("text"), text}}).has_value();
}

std::optional<QByteArray> Chromium::screenshot() {
    const auto shot = call(QStringLiteral("Page.captureScreenshot"),
                           {{QStringLiteral("format"), QStringLiteral("png")}}, 30000);
    if (!shot)
        return std::nullopt;
    return QByteArray::fromBase64(shot->value(QStringLiteral("data")).toString().toLatin1());
}
