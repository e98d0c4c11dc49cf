#include "ui/form1.h"

Form1::Form1(QWidget* parent) : QWidget(parent) { setWindowTitle(QStringLiteral("AZIVEX")); }

void Form1::installFontSubstitutes() {}

bool Form1::load() { return true; }
