#include "gui/appstyle.h"
#include "gui/mainwindow.h"

#include <QApplication>

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
    AppStyle::install();
    MainWindow window;
    if (!window.start())
        return 0;
    window.show();
    return app.exec();
}
