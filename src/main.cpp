#include "ui/form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Form1::prepareApplication();
    Form1 form;
    if (!form.load())
        return 0;
    form.show();
    return app.exec();
}
