#include "app/look.h"

namespace pelmora::app {

QFont ArialFont(bool bold, bool italic) {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPixelSize(13);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

QFont DefaultFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setPixelSize(11);
    return font;
}

void SetColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Active, role, colour);
    palette.setColor(QPalette::Inactive, role, colour);
    widget->setPalette(palette);
}

void MakeFixedWindow(QWidget* window, QSize size, QPoint position) {
    Qt::WindowFlags flags = window->windowFlags() & Qt::WindowType_Mask;
    window->setWindowFlags(flags | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    window->setFixedSize(size);
    window->move(position);
}

}  // namespace pelmora::app
