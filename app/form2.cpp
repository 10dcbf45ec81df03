#include "app/form2.h"

#include <QKeyEvent>
#include <QResizeEvent>

#include "app/gradient.h"
#include "app/look.h"

using namespace pelmora::app;

TForm2* Form2 = nullptr;

namespace {

const QSize kClientSize(513, 332);
const QPoint kPosition(440, 207);

struct StaticText {
    const char* name;
    QRect bounds;
    bool green;
    const char* text;
};

const StaticText kTexts[] = {
    {"StaticText1", {48, 32, 184, 20}, false, "There are only 3 steps to do:"},
    {"StaticText2", {88, 72, 48, 20}, false, "Step 1:"},
    {"StaticText3", {112, 112, 322, 20}, true, "Select(Click) one of the distributions in the left list;"},
    {"StaticText4", {88, 144, 48, 20}, false, "Step 2:"},
    {"StaticText5", {112, 176, 266, 20}, true, "Input the parameters in the setting panel;"},
    {"StaticText6", {88, 208, 48, 20}, false, "Step 3:"},
    {"StaticText7", {112, 240, 311, 20}, true, "Click the 'Genetate' button to generate numbers."},
};

}  // namespace

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    Form2 = this;
    UseLook();
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Manual"));
    setWindowIcon(ProgramIcon());
    setFont(DefaultFont());
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_QuitOnClose, false);
    MakeFixedWindow(this, kClientSize, kPosition);

    Image1 = new TImage(TImage::Stretch, this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, kClientSize.width(), kClientSize.height());
    Image1->setPicture(GradientBitmap());

    QLabel** labels[] = {&StaticText1, &StaticText2, &StaticText3, &StaticText4,
                         &StaticText5, &StaticText6, &StaticText7};
    for (std::size_t i = 0; i < std::size(kTexts); ++i) {
        const StaticText& t = kTexts[i];
        auto* label = new QLabel(QString::fromUtf8(t.text), this);
        label->setObjectName(QString::fromUtf8(t.name));
        label->setGeometry(t.bounds);
        label->setFont(ArialFont(true));
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::NoTextInteraction);
        label->setFocusPolicy(Qt::NoFocus);
        SetColour(label, QPalette::WindowText, t.green ? kGreen : kMaroon);
        *labels[i] = label;
    }
}

TForm2::~TForm2() {
    if (Form2 == this) Form2 = nullptr;
}

void TForm2::FormCanResize(QObject*, int&, int&, bool& Resize) { Resize = false; }

void TForm2::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    AskBeforeResize(this, event, kClientSize);
}

// The window has no buttons: Escape does not close it, the title bar does.
void TForm2::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}
