#include "app/look.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionGroupBox>
#include <qdrawutil.h>

namespace pelmora::app {

namespace {

bool keyboardCues = false;

// The platform's style with two traits of the classic desktop look: a group
// box caption interrupts the frame's top line (8 pixels from the left, the
// line through the middle of the text), and accelerator letters are
// underlined only while keyboard cues are shown.
class TLookStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_UnderlineShortcut) return keyboardCues ? 1 : 0;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override {
        const QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || box == nullptr || box->text.isEmpty()) return rect;
        const QSize label = QProxyStyle::subControlRect(control, option, SC_GroupBoxLabel, widget).size();
        if (part == SC_GroupBoxLabel) return QRect(QPoint(kCaptionLeft, 0), label);
        if (part == SC_GroupBoxFrame) return option->rect.adjusted(0, label.height() / 2, 0, 0);
        return rect;
    }

    // The classic etched frame: a sunken line with a raised one inside.
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_FrameGroupBox)
            qDrawShadeRect(painter, option->rect, option->palette, true, 1, 0);
        else
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    // The frame is drawn with the caption's place (and a pixel either side)
    // left out, then the caption.
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || box == nullptr || box->text.isEmpty()) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const QRect label = subControlRect(control, option, SC_GroupBoxLabel, widget);
        QStyleOptionGroupBox part(*box);
        part.subControls = box->subControls & ~SC_GroupBoxLabel;
        painter->save();
        painter->setClipRegion(QRegion(option->rect).subtracted(label.adjusted(-1, 0, 1, 0)));
        QProxyStyle::drawComplexControl(control, &part, painter, widget);
        painter->restore();
        part.subControls = box->subControls & SC_GroupBoxLabel;
        QProxyStyle::drawComplexControl(control, &part, painter, widget);
    }

private:
    static constexpr int kCaptionLeft = 8;
};

}  // namespace

void UseLook() {
    if (dynamic_cast<TLookStyle*>(QApplication::style()) != nullptr) return;
    QApplication::setStyle(new TLookStyle(QApplication::style()->name()));
    for (const char* kind : {"QMenu", "QMessageBox", "QTipLabel", "QFileDialog"})
        QApplication::setFont(DefaultFont(), kind);
}

void SetKeyboardCues(bool shown) { keyboardCues = shown; }

bool KeyboardCues() { return keyboardCues; }

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
