#include "gui/appstyle.h"
#include "gui/mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    AppStyle::install();
    MainWindow window;
    if (!window.start())
        return 0;
    window.show();
    return app.exec();
}
