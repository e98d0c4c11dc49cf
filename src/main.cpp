// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/application/commandline.h"
#include "core/settings/inifile.h"
#include "core/application/operatingcore.h"
#include "core/settings/settingsfile.h"
#include "core/services/servicemodel.h"
#include "net/endpoint.h"
#include "net/networkservices.h"
#include "core/application/uilanguage.h"
#include "core/settings/userfolder.h"
#include "gui/appstyle.h"
#include "gui/mainwindow.h"
#include "gui/messagebox.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>

#ifdef AZIVEX_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#include <thread>
#endif

namespace {

// The command line's choice, else AZIVEX.INI's in the working folder, else the
// environment's.
UiLanguage::Language chooseLanguage(const QString& commandLine) {
    if (const auto chosen = UiLanguage::fromSetting(commandLine))
        return *chosen;
    IniFile ini(WorkingDir::resolve(OperatingCore::iniFileName));
    ini.load();
    if (const auto chosen = UiLanguage::fromSetting(ini.value(OperatingCore::Keys::uiLanguage, {})))
        return *chosen;
    return UiLanguage::fromEnvironment();
}

// The program's English, or Qt's own Japanese for its dialogs' buttons (its English
// needs no file).
class Translators {
  public:
    void install(UiLanguage::Language language) {
        QCoreApplication::removeTranslator(&m_texts);
        const bool loaded =
            language == UiLanguage::Language::English
                ? m_texts.load(QStringLiteral(":/i18n/azivex_en.qm"))
                : m_texts.load(QStringLiteral("qtbase_ja"),
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath));
        if (loaded)
            QCoreApplication::installTranslator(&m_texts);
    }

  private:
    QTranslator m_texts;
};

} // namespace

int main(int argc, char* argv[]) {
    // What the parts log reads as the program's other messages do.
    qSetMessagePattern(QStringLiteral("azivex: %{message}"));
    // Options are read before the window system is reached, so --help, --version and
    // a mistyped option work without a display and never open a window.
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral(
        "AZIVEX: turns an antenna rotator through its controller on a serial port. The "
        "settings (AZIVEX.DAT), the map pictures and any COMn links are kept in the "
        "working directory."));
    const QCommandLineOption rotctld(
        QStringLiteral("rotctld"),
        QStringLiteral("Serve Hamlib's rotctld protocol (gpredict, QLog, CQRLOG, rotctl -m 2) "
                       "on PORT, of 127.0.0.1 unless ADDRESS (an address, an IPv6 one in brackets, "
                       "or a host name such as localhost) is given. Anyone who can reach "
                       "that address can turn the antenna."),
        QStringLiteral("[ADDRESS:]PORT"));
    const QCommandLineOption userFolder(
        QStringLiteral("user-folder"),
        QStringLiteral("Work in %1 instead of the current directory; it is created with the "
                       "standard map pictures when missing. The desktop menu starts AZIVEX so.")
            .arg(QStringLiteral("$XDG_DATA_HOME/azivex (~/.local/share/azivex)")));
    const QCommandLineOption language(
        QStringLiteral("language"),
        QStringLiteral("Show the window in LANGUAGE: ja (Japanese) or en (English). Without it, "
                       "[ui] language= in AZIVEX.INI decides, else the environment (LANGUAGE, "
                       "LC_ALL, LC_MESSAGES, LANG): Japanese for C, POSIX and ja, English for "
                       "any other language."),
        QStringLiteral("LANGUAGE"));
    options.addOptions({rotctld, userFolder, language});
    const QString program = QStringLiteral("azivex");
    if (const auto status =
            CommandLine::parse(options, program, CommandLine::arguments(argc, argv)))
        return *status;
    if (options.isSet(rotctld) && !Endpoint::parse(options.value(rotctld)))
        return CommandLine::usageError(
            program, QStringLiteral("--rotctld takes [ADDRESS:]PORT: a PORT of 1 to 65535, an "
                                    "ADDRESS such as 127.0.0.1, [::1] or localhost; not \"%1\"")
                         .arg(options.value(rotctld)));

    if (options.isSet(language) && !UiLanguage::fromSetting(options.value(language)))
        return CommandLine::usageError(
            program, QStringLiteral("--language takes ja or en, not \"%1\"").arg(options.value(language)));

#ifdef AZIVEX_HAVE_FONTCONFIG
    // Reading the font configuration is the largest part of showing any text; it
    // goes on beside the application's own start instead of after it.
    std::thread fonts([] { FcInit(); });
#endif
    QApplication app(argc, argv);
#ifdef AZIVEX_HAVE_FONTCONFIG
    fonts.join();
#endif
    QApplication::setApplicationVersion(CommandLine::version());
    // Lets the desktop match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(AZIVEX_APP_ID));

    AppStyle::install();
    // Before any window is built, so every text is made in the chosen language; again
    // in the user folder, whose AZIVEX.INI may choose otherwise.
    Translators translators;
    translators.install(chooseLanguage(options.value(language)));
    const QString pictures = UserFolder::standardPicturesFolder();
    if (options.isSet(userFolder)) {
        if (pictures.isEmpty())
            std::fprintf(stderr, "azivex: the standard map pictures are not installed\n");
        const QString folder = UserFolder::path();
        const QString error = UserFolder::prepare(folder, pictures);
        if (!error.isEmpty() || !QDir::setCurrent(folder)) {
            std::fprintf(stderr, "azivex: working folder %s: %s\n", qPrintable(folder),
                         qPrintable(error.isEmpty() ? QStringLiteral("cannot enter it") : error));
            AppMessageBox::show(
                nullptr, QStringLiteral("AZIVEX"),
                QCoreApplication::translate("main", "作業フォルダ %1 を用意できませんでした").arg(folder));
            return 1;
        }
        translators.install(chooseLanguage(options.value(language)));
    }
    OperatingCore core;
    core.setStandardPicturesFolder(pictures);
    ServiceModel services(core.store());
    QObject::connect(&services, &ServiceModel::statusWanted, &core, &OperatingCore::statusChanged);
    if (options.isSet(rotctld))
        services.overrideAddress(Service::Kind::Rotctld, options.value(rotctld));
    MainWindow window(core, services);
    if (!core.start())
        return 0;
    NetworkServices servers(core, services);
    window.show();
    return app.exec();
}
