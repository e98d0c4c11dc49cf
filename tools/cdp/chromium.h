// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <QWebSocket>
#include <functional>
#include <optional>

// A headless Chromium of its own (a fresh profile in a temporary folder), with one
// page driven over the DevTools protocol. Every wait runs the event loop until the
// browser's answer or event arrives, or the time given has passed: nothing sleeps.
// The browser started here, and only that one, is ended with the object.
class Chromium : public QObject {
    Q_OBJECT
  public:
    struct Options {
        QSize viewport{1280, 800};
        double scale = 1;      // device pixels a CSS pixel
        bool mobile = false;   // a phone: touch, its viewport rules, no scroll bars
        QString language;      // "ja", "en": the languages the browser asks pages for
    };

    explicit Chromium(QObject* parent = nullptr);
    ~Chromium() override;

    // /usr/bin/chromium, or the CHROMIUM environment variable; empty when neither is there.
    static QString executable();

    // Starts the browser and opens a page; false with errorString() on failure.
    bool start(const Options& options, int timeoutMs = 30000);
    QString errorString() const { return m_error; }

    // The page's screen from now on, as start() sets it from its options.
    bool setScreen(QSize viewport, double scale, bool mobile);
    // Sends a command to the page and waits for its result; nothing (and
    // errorString()) on an error reply, a closed connection or a time-out.
    std::optional<QJsonObject> call(const QString& method, const QJsonObject& params = {},
                                    int timeoutMs = 10000);
    // Loads url and waits for its load event; false when it could not be loaded.
    bool navigate(const QString& url, int timeoutMs = 15000);
    // The value of a JavaScript expression, promises awaited; nothing on an exception.
    std::optional<QJsonValue> evaluate(const QString& expression, int timeoutMs = 10000);
    // Waits until the expression is true in the page, checked at every frame.
    bool waitFor(const QString& expression, int timeoutMs = 10000);
    // A finger's tap (on a mobile page) or a mouse click at the middle of the first
    // element the CSS selector finds, as the user would: it must be in view.
    bool tap(const QString& selector);
    // Types text into the focused element as keyboard input.
    bool type(const QString& text);
    // The page as it is on the screen, as PNG.
    std::optional<QByteArray> screenshot();

  signals:
    // Something a wait may be waiting for: a message, the connection, the browser's
    // output or its end.
    void activity();

  private:
    // Runs the event loop until done() holds or the time has passed; done() is asked
    // again at every activity.
    bool runUntil(const std::function<bool()>& done, int timeoutMs);
    bool fail(const QString& message);
    bool waitForPort(int timeoutMs);
    std::optional<QJsonObject> waitForEvent(const QString& method, int timeoutMs);
    void received(const QString& message);

    Options m_options;
    QTemporaryDir m_profile;
    QProcess m_process;
    QWebSocket m_socket;
    QString m_session; // the page's session id on the browser's connection
    QString m_error;
    int m_nextId = 1;
    QList<QJsonObject> m_messages; // replies and events not yet taken
};
