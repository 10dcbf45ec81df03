#pragma once
// The few controls that Qt Widgets does not have in the form the windows
// need: a picture, a labelled edit field, a list box that reports only the
// user's selections, and a band container for the two tool bars.

#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QWidget>
#include <array>

namespace pelmora::app {

// A picture: stretched over the whole control, or shown at its natural
// size with the control taking the picture's size (top-left corner fixed).
// The natural size is in screen-independent pixels: a picture of device
// pixel ratio 2 takes half its pixel size and shows all its pixels.
class TImage : public QWidget {
    Q_OBJECT
public:
    enum Mode { Stretch, AutoSize };
    TImage(Mode mode, QWidget* parent);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Mode mode_;
    QImage picture_;
};

// An edit box with its caption label (EditLabel) above its left edge, 3
// pixels apart. The label is shown, hidden, enabled and disabled together
// with the field.
class TLabeledEdit : public QLineEdit {
    Q_OBJECT
public:
    TLabeledEdit(const QString& label, QWidget* parent);
    QLabel* EditLabel;
    void setVisible(bool visible) override;
    void setLabelText(const QString& text);

protected:
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void PlaceLabel();
    void PaintLongText();
};

// A single-selection list that emits Click() once for every selection the
// user makes, however it is made: whenever the selected row changes (a
// press of the left button, dragging, the keyboard with arrows, Home, End,
// pages or a letter, a screen reader's action on a row), and for a press of
// the left button on the row already selected. A row selected by the
// program with SetItemIndex emits nothing. Other buttons neither select nor
// emit. The current row follows the selected one.
class TListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TListBox(QWidget* parent);
    // The selected row, -1 when none.
    int ItemIndex() const;
    // Selects `row` (-1: none) as the program does: Click() is not emitted.
    void SetItemIndex(int row);

Q_SIGNALS:
    void Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

private:
    void SelectionChanged();
    void EmitClick();

    bool quiet_ = false;  // SetItemIndex is selecting
    int clicks_ = 0;      // Click() emitted so far
};

// A push button that Return and the keypad's Enter press while it has the
// focus, as Space does, the way buttons answer on the desktop this window
// follows. It is no default button: Return typed into another control of the
// window does not press it.
class TButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The band container at the top of the main window: the background gradient
// behind two bands, each with its gripper, a raised outer and a lowered inner
// edge around all.
class TCoolBar : public QWidget {
    Q_OBJECT
public:
    explicit TCoolBar(QWidget* parent);
    static constexpr int kBandHeight = 27;

protected:
    void paintEvent(QPaintEvent*) override;
};

// The four 16 x 16 glyphs of the tool buttons: 0 save, 1 copy, 2 clear, 3
// help. Each is drawn for screens of device pixel ratio 1, 2 and 3 from the
// same drawing, so that a dense screen shows a sharp glyph, not an enlarged one.
class TImageList {
public:
    TImageList();
    static constexpr int kCount = 4;
    static constexpr int kSize = 16;
    const QIcon& operator[](int index) const { return glyphs_[std::size_t(index)]; }

private:
    std::array<QIcon, kCount> glyphs_;
};

}  // namespace pelmora::app
