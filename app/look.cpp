#include "app/look.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "app/gradient.h"

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
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(1, 1, 30, 30), GradientBitmap());
    p.setPen(QPen(kMaroon, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 1.5, 29, 29));
    QPainterPath curve;
    for (int x = 0; x <= 26; ++x) {
        double z = (x - 13) / 4.5;
        QPointF point(3 + x, 27 - 21 * std::exp(-z * z / 2));
        if (x == 0)
            curve.moveTo(point);
        else
            curve.lineTo(point);
    }
    p.setPen(QPen(kPurple, 2.2));
    p.drawPath(curve);
    return QIcon(pixmap);
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
