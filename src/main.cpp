#include "core/rotatorsession.h"
#include "core/rotctlserver.h"
#include "gui/appstyle.h"
#include "gui/mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#ifdef AZIVEX_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#include <thread>
#endif

int main(int argc, char* argv[]) {
#ifdef AZIVEX_HAVE_FONTCONFIG
    // Reading the font configuration is the largest part of showing any text; it
    // goes on beside the application's own start instead of after it.
    std::thread fonts([] { FcInit(); });
#endif
    QApplication app(argc, argv);
#ifdef AZIVEX_HAVE_FONTCONFIG
    fonts.join();
#endif
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
        "AZIVEX: turns an antenna rotator through its controller on a serial port. The "
        "settings are read from AZIVEX.DAT in the working directory."));
    options.addHelpOption();
    const QCommandLineOption rotctld(
        QStringLiteral("rotctld"),
        QStringLiteral("Serve Hamlib's rotctld protocol (gpredict, QLog, CQRLOG, rotctl -m 2) "
                       "on PORT, of 127.0.0.1 unless ADDRESS is given. Anyone who can reach "
                       "that address can turn the antenna."),
        QStringLiteral("[ADDRESS:]PORT"));
    options.addOption(rotctld);
    options.process(app);
    std::optional<std::pair<QHostAddress, quint16>> endpoint;
    if (options.isSet(rotctld)) {
        endpoint = RotctlServer::parseEndpoint(options.value(rotctld));
        if (!endpoint) {
            std::fprintf(stderr, "azivex: --rotctld takes [ADDRESS:]PORT, not \"%s\"\n",
                         qPrintable(options.value(rotctld)));
            return 2;
        }
    }

    AppStyle::install();
    MainWindow window;
    if (!window.start())
        return 0;
    RotctlServer server(&window.session());
    if (endpoint && !server.listen(endpoint->first, endpoint->second)) {
        const QString where = options.value(rotctld);
        std::fprintf(stderr, "azivex: rotctld server not started on %s: %s\n", qPrintable(where),
                     qPrintable(server.errorString()));
        window.showStatus(QStringLiteral("rotctld %1 を開けませんでした").arg(where));
    }
    window.show();
    return app.exec();
}
