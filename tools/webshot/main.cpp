// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// azivex-webshot: the web page as a browser of a given size and language shows it.

#include "chromium.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>

namespace {

int failWith(const QString& message) {
    std::fprintf(stderr, "azivex-webshot: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Saves a screenshot of the page at URL (http://HOST:PORT/?token=TOKEN) as a PNG file,\n"
        "taken by a headless Chromium once the page shows the program's state."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("url"), QStringLiteral("The page's address."));
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The PNG file to write."));
    const QCommandLineOption size(QStringLiteral("size"),
                                  QStringLiteral("The viewport in CSS pixels (default 360x740). "
                                                 "Narrower than 600: a phone, by touch."),
                                  QStringLiteral("WxH"), QStringLiteral("360x740"));
    const QCommandLineOption language(QStringLiteral("language"),
                                      QStringLiteral("The browser's language: ja, en (default en)."),
                                      QStringLiteral("code"), QStringLiteral("en"));
    const QCommandLineOption scale(QStringLiteral("scale"),
                                   QStringLiteral("Device pixels a CSS pixel (default 1)."),
                                   QStringLiteral("factor"), QStringLiteral("1"));
    const QCommandLineOption ready(
        QStringLiteral("ready"),
        QStringLiteral("A JavaScript expression the page must make true before the shot "
                       "(default: the state shown, and the map or its absence)."),
        QStringLiteral("expression"),
        QStringLiteral("document.body.dataset.link === 'live' && document.body.dataset.map !== undefined"));
    parser.addOptions({size, language, scale, ready});
    parser.process(app);
    if (parser.positionalArguments().size() != 2)
        return failWith(QStringLiteral("give the page's address and the file to write"));

    const QRegularExpressionMatch wxh =
        QRegularExpression(QStringLiteral("^(\\d{2,4})x(\\d{2,4})$")).match(parser.value(size));
    bool scaleOk = false;
    Chromium::Options options;
    options.scale = parser.value(scale).toDouble(&scaleOk);
    if (!wxh.hasMatch() || !scaleOk || options.scale < 0.5 || options.scale > 4)
        return failWith(QStringLiteral("--size takes WxH (360x740), --scale 0.5 to 4"));
    options.viewport = QSize(wxh.captured(1).toInt(), wxh.captured(2).toInt());
    options.mobile = options.viewport.width() < 600;
    options.language = parser.value(language);

    Chromium browser;
    const QString url = parser.positionalArguments().at(0);
    if (!browser.start(options) || !browser.navigate(url) ||
        !browser.waitFor(parser.value(ready), 15000))
        return failWith(browser.errorString());
    const std::optional<QByteArray> png = browser.screenshot();
    if (!png)
        return failWith(browser.errorString());
    QFile out(parser.positionalArguments().at(1));
    if (!out.open(QIODevice::WriteOnly) || out.write(*png) != png->size() || !out.flush())
        return failWith(QStringLiteral("%1: %2").arg(out.fileName(), out.errorString()));
    return 0;
}
