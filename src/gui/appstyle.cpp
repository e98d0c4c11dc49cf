// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/appstyle.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace {

// Fusion, but a push button's face is its palette colour, flat: the window's
// buttons carry colours that mean something (green to turn, pink for a switch
// that is on), and a gradient would show none of them exactly.
class FlatButtonStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_PanelButtonCommand) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const QColor face = option->palette.button().color();
        const QRect r = option->rect.adjusted(0, 0, -1, -1);
        const bool down = option->state & (State_Sunken | State_On);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->fillRect(r, face);
        painter->setPen(face.darker(down ? 170 : 150));
        painter->drawRect(r);
        if (down) {
            // Pressed: a shadow along the top and left inner edges.
            painter->setPen(face.darker(125));
            painter->drawLine(r.left() + 1, r.top() + 1, r.right() - 1, r.top() + 1);
            painter->drawLine(r.left() + 1, r.top() + 1, r.left() + 1, r.bottom() - 1);
        }
        painter->restore();
    }
};

} // namespace

namespace AppStyle {

QFont font(const QString& family, double points, bool bold) {
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

void install() {
    QFont::insertSubstitutions(proportionalGothic,
                               {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                                QStringLiteral("Noto Sans CJK JP")});
    QFont::insertSubstitutions(fixedGothic,
                               {QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"),
                                QStringLiteral("Noto Sans Mono CJK JP")});
    QApplication::setStyle(new FlatButtonStyle(QStyleFactory::create(QStringLiteral("Fusion"))));
}

} // namespace AppStyle
