// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The web page in a real headless Chromium, held as a phone, against the real web
// server on the loopback, with a real pseudo-terminal as the controller: what a tap
// sends on the controller's line, and what the page shows of the controller's reply.
#include "chromium.h"
#include "core/application/aiming.h"
#include "core/application/operatingcore.h"
#include "core/links/nativelink.h"
#include "net/web/webserver.h"
#include "pseudoterminal.h"
#include "sessionrig.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestWebPage : public QObject {
    Q_OBJECT
    const QString m_token = QStringLiteral("0123456789abcdef0123456789abcdef");
    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<OperatingCore> m_core;
    std::unique_ptr<WebServer> m_server;
    std::unique_ptr<Chromium> m_browser;

    QString address(const QString& token) const {
        return QStringLiteral("http://127.0.0.1:%1/?token=%2").arg(m_server->port()).arg(token);
    }
    QByteArray line() { return controllerLine(m_core->session(), m_folder->pty); }
    QString failure() const { return m_browser->errorString(); }

  private slots:
    void initTestCase() {
        if (Chromium::executable().isEmpty())
            QSKIP("Debian's chromium is not installed: the page cannot be tried in a browser");
        m_folder = std::make_unique<WorkingFolder>();
        QVERIFY(m_folder->enter());
        QVERIFY(writeFile("AZIVEX.DAT", "3,9600,N,8,1:0-0/0\r\n"));
        QVERIFY(writeFile("AZIVEX.INI", "[station]\nlocator=PM95vq\n[aim]\npark=200\npreset1=Home|JN58\n"));
        m_core = std::make_unique<OperatingCore>();
        QVERIFY(m_core->start());
        m_folder->pty.write(QByteArray("AZ=100\r\n").repeated(4)); // the settings line waits in front
        QTRY_VERIFY(m_core->session().headingKnown());
        line();
        m_server = std::make_unique<WebServer>(m_core->session(), m_core->aiming());
        m_server->setToken(m_token);
        m_server->setMapSource([] { return QImage(QStringLiteral(AZIVEX_MAPS_DIR "/world1.bmp")); });
        m_server->setMapVersion(1);
        QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
        m_browser = std::make_unique<Chromium>();
        Chromium::Options phone;
        phone.viewport = QSize(360, 740);
        phone.mobile = true;
        QVERIFY2(m_browser->start(phone), qPrintable(failure()));
        QVERIFY2(m_browser->navigate(address(m_token)), qPrintable(failure()));
        QVERIFY2(m_browser->waitFor(QStringLiteral(
                     "document.body.dataset.link === 'live' && document.body.dataset.map === 'shown'")),
                 qPrintable(failure()));
        // Out of the address bar once the cookie holds it.
        QCOMPARE(m_browser->evaluate(QStringLiteral("location.search"))->toString(), QString());
    }

    // Each tap sends what the window's button sends, once, however far the page is
    // scrolled: the turning buttons stay in view.
    void taps_data() {
        QTest::addColumn<QString>("typed"); // into the target field first; empty: nothing
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("scrolled");
        QTest::addColumn<QByteArray>("sent"); // empty: what the target dialog sends for "window"
        QTest::addColumn<QString>("window");
        // clang-format off
        QTest::addRow("stop") << QString() << "#stopButton" << false << QByteArray("A\r\n") << QString();
        QTest::addRow("cw") << QString() << "#cwButton" << false << QByteArray("R\r\n") << QString();
        QTest::addRow("stop, scrolled down") << QString() << "#stopButton" << true << QByteArray("A\r\n") << QString();
        QTest::addRow("ccw, scrolled down") << QString() << "#ccwButton" << true << QByteArray("L\r\n") << QString();
        QTest::addRow("+10") << QString() << "#stepCwButton" << true << QByteArray("M110\r\n") << QString();
        QTest::addRow("-10") << QString() << "#stepCcwButton" << false << QByteArray("M090\r\n") << QString();
        QTest::addRow("degrees") << "90" << "#shortPathButton" << true << QByteArray("M090\r\n") << QString();
        QTest::addRow("degrees, long path") << "90" << "#longPathButton" << true << QByteArray("M270\r\n") << QString();
        QTest::addRow("park") << QString() << "#parkButton" << true << QByteArray("M200\r\n") << QString();
        QTest::addRow("locator") << "JN58td" << "#shortPathButton" << true << QByteArray() << "JN58td";
        QTest::addRow("preset") << QString() << ".preset" << true << QByteArray() << "JN58";
        // clang-format on
    }
    void taps() {
        QFETCH(QString, typed);
        QFETCH(QString, button);
        QFETCH(bool, scrolled);
        QFETCH(QByteArray, sent);
        QFETCH(QString, window);
        m_folder->pty.clearReceived(); // whatever a failed row left
        if (!window.isEmpty()) {
            QCOMPARE(m_core->aiming().aimAtTarget(window, false), RotatorSession::AimResult::Sent);
            sent = line();
        }
        m_core->session().setCommanded(QStringLiteral("100"));
        QVERIFY(m_browser->evaluate(QStringLiteral("scrollTo(0, %1)").arg(scrolled ? 10000 : 0)));
        if (!typed.isEmpty()) {
            QVERIFY(m_browser->evaluate(QStringLiteral("document.getElementById('targetEdit').value = ''")));
            QVERIFY2(m_browser->tap(QStringLiteral("#targetEdit")), qPrintable(failure()));
            QVERIFY(m_browser->type(typed));
        }
        QVERIFY2(m_browser->tap(button), qPrintable(failure()));
        QTRY_COMPARE(m_folder->pty.received(), sent);
        m_folder->pty.clearReceived();
        QCOMPARE(line(), QByteArray()); // and nothing more
    }

    // A desktop browser's mouse, the map beside the buttons.
    void mouse() {
        QVERIFY2(m_browser->setScreen(QSize(1280, 800), 1, false), qPrintable(failure()));
        QVERIFY2(m_browser->tap(QStringLiteral("#cwButton")), qPrintable(failure()));
        QTRY_COMPARE(m_folder->pty.received(), QByteArray("R\r\n"));
        QVERIFY2(m_browser->tap(QStringLiteral("#stopButton")), qPrintable(failure()));
        QTRY_COMPARE(m_folder->pty.received(), QByteArray("R\r\nA\r\n"));
        m_folder->pty.clearReceived();
    }

    // The controller's reply, in the page's large digits; unknown while it is silent.
    void heading() {
        m_folder->pty.write("AZ=045\r\n");
        QVERIFY2(m_browser->waitFor(QStringLiteral("document.getElementById('heading').textContent === '045'")),
                 qPrintable(failure()));
        // and as the blue line on the map, half way out at 45 degrees
        const auto pixel = m_browser->evaluate(QStringLiteral(
            "(() => { const c = document.getElementById('map'), h = c.width / 2, r = h / 2 / Math.SQRT2;"
            " return [...c.getContext('2d').getImageData(Math.round(h + r), Math.round(c.height / 2 - r), 1, 1)"
            ".data.slice(0, 3)].join(','); })()"));
        QCOMPARE(pixel ? pixel->toString() : failure(), QStringLiteral("0,0,255"));
    }

    // With the server gone the page says it is offline; once it is back the page takes
    // it up again by itself, with the state as it is now, unless its token was replaced:
    // then it stops asking.
    void reconnect_data() {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("shown");
        QTest::addRow("same token") << m_token << "live' && document.getElementById('heading').textContent === '046";
        QTest::addRow("token replaced") << QString(m_token).replace(u'0', u'f') << "refused";
    }
    void reconnect() {
        QFETCH(QString, token);
        QFETCH(QString, shown);
        const quint16 port = m_server->port();
        // The old one goes with its clients.
        m_server = std::make_unique<WebServer>(m_core->session(), m_core->aiming());
        m_server->setToken(token);
        QVERIFY2(m_browser->waitFor(QStringLiteral("document.body.dataset.link === 'offline'")), qPrintable(failure()));
        m_folder->pty.write("AZ=046\r\n");
        QVERIFY(m_server->listen(QHostAddress::LocalHost, port));
        QVERIFY2(m_browser->waitFor(QStringLiteral("document.body.dataset.link === '%1'").arg(shown)), qPrintable(failure()));
    }

    // Without the token there is no page, whatever the address says.
    void wrongToken_data() {
        QTest::addColumn<QString>("token");
        QTest::addRow("wrong") << QStringLiteral("0123456789abcdef0123456789abcdeF");
        QTest::addRow("none") << QString();
    }
    void wrongToken() {
        QFETCH(QString, token);
        QVERIFY(m_browser->call(QStringLiteral("Network.clearBrowserCookies")));
        m_browser->navigate(token.isEmpty() ? address(token).section(u'?', 0, 0) : address(token));
        const auto status = m_browser->evaluate(
            QStringLiteral("performance.getEntriesByType('navigation')[0].responseStatus"));
        QVERIFY2(status, qPrintable(failure()));
        QCOMPARE(status->toInt(), 401);
        QCOMPARE(m_browser->evaluate(QStringLiteral("document.getElementById('stopButton')"))->isNull(), true);
    }
};

QTEST_GUILESS_MAIN(TestWebPage)
#include "tst_webpage.moc"
