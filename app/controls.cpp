#include "app/controls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

#include "app/gradient.h"

namespace pelmora::app {

// ---- TImage

TImage::TImage(Mode mode, QWidget* parent) : QWidget(parent), mode_(mode) {
    if (mode_ == AutoSize) resize(0, 0);
}

void TImage::setPicture(const QImage& picture) {
    picture_ = picture;
    if (mode_ == AutoSize) resize(picture_.deviceIndependentSize().toSize());
    update();
}

void TImage::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter painter(this);
    if (mode_ == Stretch) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), picture_);
    } else {
        // On a screen of another density than the picture's (1.5, or a
        // double-size picture moved to a plain screen) its pixels are
        // resampled smoothly; where they match, they are copied one to one.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, picture_.devicePixelRatio() != devicePixelRatioF());
        painter.drawImage(0, 0, picture_);
    }
}

// ---- TLabeledEdit

namespace {
constexpr int kLabelSpacing = 3;
}

TLabeledEdit::TLabeledEdit(const QString& label, QWidget* parent)
    : QLineEdit(parent), EditLabel(new QLabel(label, parent)) {
    EditLabel->setBuddy(this);
    EditLabel->adjustSize();
}

void TLabeledEdit::setVisible(bool visible) {
    QLineEdit::setVisible(visible);
    EditLabel->setVisible(visible);
}

void TLabeledEdit::setLabelText(const QString& text) {
    EditLabel->setText(text);
    EditLabel->adjustSize();
    PlaceLabel();
}

void TLabeledEdit::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) EditLabel->setEnabled(isEnabledTo(parentWidget()));
    if (event->type() == QEvent::ParentChange) EditLabel->setParent(parentWidget());
    QLineEdit::changeEvent(event);
}

void TLabeledEdit::moveEvent(QMoveEvent* event) {
    QLineEdit::moveEvent(event);
    PlaceLabel();
}

// Qt lays out and shapes a line edit's whole text on every paint, the
// cursor's blinks included: about a second a paint for a 4 MB text, and a
// busy core for as long as the field shows it. A text above this many
// characters is painted by PaintLongText instead.
constexpr qsizetype kLongText = 10000;

void TLabeledEdit::paintEvent(QPaintEvent* event) {
    if (text().size() > kLongText) {
        PaintLongText();
    } else {
        QLineEdit::paintEvent(event);
    }
}

// The frame and the characters around the cursor, the cursor kept in view
// as the line edit keeps it; a selection is not shown, and the cursor does
// not blink. In a field a few dozen characters wide this looks the same.
void TLabeledEdit::PaintLongText() {
    constexpr qsizetype kAround = 64;  // characters each side of the cursor, more than the field shows
    QPainter painter(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    const QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).adjusted(2, 1, -2, -1);
    painter.setClipRect(area);
    const QString all = text();
    const qsizetype cursor = cursorPosition();
    const qsizetype from = std::max<qsizetype>(0, cursor - kAround);
    const QString before = all.mid(from, cursor - from);
    const QFontMetrics metrics = fontMetrics();
    const int beforeWidth = metrics.horizontalAdvance(before);
    const int left = area.left() + std::min(0, area.width() - 1 - beforeWidth);
    const int top = area.top() + (area.height() - metrics.height()) / 2;
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    painter.drawText(left, top + metrics.ascent(), before + all.mid(cursor, kAround));
    if (hasFocus()) painter.fillRect(left + beforeWidth, top, 1, metrics.height(), painter.pen().color());
}

void TLabeledEdit::PlaceLabel() { EditLabel->move(x(), y() - EditLabel->height() - kLabelSpacing); }

// ---- TListBox

TListBox::TListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(SingleSelection);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &TListBox::SelectionChanged);
}

int TListBox::ItemIndex() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void TListBox::SetItemIndex(int row) {
    const QScopedValueRollback quiet(quiet_, true);
    if (row < 0)
        clearSelection();
    else
        setCurrentRow(row);
}

void TListBox::EmitClick() {
    ++clicks_;
    Q_EMIT Click();
}

void TListBox::SelectionChanged() {
    const int row = ItemIndex();
    if (row < 0) return;
    if (currentRow() != row) selectionModel()->setCurrentIndex(model()->index(row, 0), QItemSelectionModel::NoUpdate);
    if (!quiet_) EmitClick();
}

// A press on a row selects it (SelectionChanged reports that); a press on
// the row already selected changes nothing and is reported here.
void TListBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    const int before = clicks_;
    QListWidget::mousePressEvent(event);
    if (clicks_ == before && indexAt(event->position().toPoint()).isValid()) EmitClick();
}

// The second press of a double click is one more click.
void TListBox::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

// A row, once selected, stays selected until another is: Ctrl with a click
// or the space bar selects instead of deselecting.
QItemSelectionModel::SelectionFlags TListBox::selectionCommand(const QModelIndex& index,
                                                               const QEvent* event) const {
    QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
        command = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    return command;
}

// ---- TButton

void TButton::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!event->isAutoRepeat()) click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

// ---- TCoolBar

TCoolBar::TCoolBar(QWidget* parent) : QWidget(parent) {}

void TCoolBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), GradientBitmap());
    const QColor light(255, 255, 255), shadow(128, 128, 128);
    const int w = width(), h = height();
    // Raised outer edge, lowered inner edge.
    p.setPen(light);
    p.drawLine(0, 0, w - 1, 0);
    p.drawLine(0, 0, 0, h - 1);
    p.setPen(shadow);
    p.drawLine(0, h - 1, w - 1, h - 1);
    p.drawLine(w - 1, 0, w - 1, h - 1);
    p.drawLine(1, 1, w - 2, 1);
    p.drawLine(1, 1, 1, h - 2);
    p.setPen(light);
    p.drawLine(1, h - 2, w - 2, h - 2);
    p.drawLine(w - 2, 1, w - 2, h - 2);
    // The border between the bands, and each band's gripper.
    const int border = kBandHeight - 1;
    p.setPen(shadow);
    p.drawLine(2, border - 1, w - 3, border - 1);
    p.setPen(light);
    p.drawLine(2, border, w - 3, border);
    for (int band = 0; band < 2; ++band) {
        int top = band == 0 ? 3 : kBandHeight + 2;
        int bottom = band == 0 ? border - 3 : h - 4;
        p.setPen(light);
        p.drawLine(4, top, 4, bottom);
        p.drawLine(4, top, 5, top);
        p.setPen(shadow);
        p.drawLine(6, top, 6, bottom);
        p.drawLine(4, bottom, 6, bottom);
    }
}

// ---- TImageList

namespace {

QIcon Glyph(void (*draw)(QPainter&)) {
    QIcon icon;
    for (int ratio = 1; ratio <= 3; ++ratio) {
        QPixmap pixmap(TImageList::kSize * ratio, TImageList::kSize * ratio);
        pixmap.setDevicePixelRatio(ratio);  // the painter draws in the glyph's 16 x 16
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        draw(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// A floppy disk.
void DrawSave(QPainter& p) {
    p.setPen(QColor(0, 0, 96));
    p.setBrush(QColor(40, 70, 170));
    p.drawRect(1, 1, 13, 13);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(4, 2, 8, 5);
    p.setBrush(QColor(190, 190, 200));
    p.drawRect(4, 10, 7, 4);
    p.setBrush(QColor(40, 70, 170));
    p.drawRect(8, 11, 2, 2);
}

// Two sheets, the front one over the back one.
void DrawCopy(QPainter& p) {
    for (int sheet = 0; sheet < 2; ++sheet) {
        int x = sheet == 0 ? 1 : 6, y = sheet == 0 ? 1 : 5;
        p.setPen(QColor(60, 60, 60));
        p.setBrush(Qt::white);
        p.drawRect(x, y, 8, 10);
        p.setPen(QColor(40, 70, 170));
        for (int line = y + 3; line < y + 9; line += 2) p.drawLine(x + 2, line, x + 6, line);
    }
}

// A sheet struck out with a red cross.
void DrawClear(QPainter& p) {
    p.setPen(QColor(60, 60, 60));
    p.setBrush(Qt::white);
    p.drawRect(2, 1, 10, 13);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 0, 0), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 4.5), QPointF(13.5, 13.5));
    p.drawLine(QPointF(13.5, 4.5), QPointF(4.5, 13.5));
}

// A question mark in a blue disc.
void DrawHelp(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0, 0, 110));
    p.setBrush(QColor(40, 90, 200));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QPainterPath mark;
    mark.moveTo(5.5, 6);
    mark.cubicTo(5.5, 2.5, 10.5, 2.5, 10.5, 5.5);
    mark.cubicTo(10.5, 7.5, 8, 7.5, 8, 10);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(mark);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(6.8, 11.3, 2.4, 2.4));
}

}  // namespace

TImageList::TImageList()
    : glyphs_{Glyph(DrawSave), Glyph(DrawCopy), Glyph(DrawClear), Glyph(DrawHelp)} {}

}  // namespace pelmora::app
