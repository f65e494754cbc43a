#include "app/shell/controls/SystemColors.h"

#include <QGuiApplication>
#include <QPalette>

namespace SystemColors {

namespace {

QPalette palette() {
    // QGuiApplication::palette() builds its default lazily and needs the application object.
    return qGuiApp ? QGuiApplication::palette() : QPalette(Qt::black, Qt::white);
}

}  // namespace

QColor labelColor() { return palette().color(QPalette::Active, QPalette::WindowText); }

QColor disabledControlTextColor() {
    const QPalette p = palette();
    QColor color = p.color(QPalette::Disabled, QPalette::Text);
    // A theme that does not grey disabled text still has to show the difference.
    if (color == p.color(QPalette::Active, QPalette::Text)) {
        color = labelColor();
        color.setAlphaF(0.25f);
    }
    return color;
}

QColor textColor() { return palette().color(QPalette::Active, QPalette::Text); }

QColor linkColor() { return palette().color(QPalette::Active, QPalette::Link); }

bool isDarkAppearance() { return palette().color(QPalette::Active, QPalette::Window).lightnessF() < 0.5; }

QColor systemRedColor() { return isDarkAppearance() ? QColor(0xff, 0x45, 0x3a) : QColor(0xff, 0x3b, 0x30); }

}  // namespace SystemColors
