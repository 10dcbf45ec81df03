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

QIcon ProgramIcon() {
    // The installed application icon (data/org.pelmora.Pelmora.svg),
    // rendered at build time at each size and built into the program.
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/pelmora/icons/%1.png").arg(size), QSize(size, size));
    return icon;
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
