#pragma once
// The manual window: a three-step usage guide on the background gradient.

#include <QDialog>
#include <QLabel>

#include "app/controls.h"

// The product's home page, opened by Help, "Homepage".
inline constexpr const char* kHomePage = "https://pelmora.org/";

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    pelmora::app::TImage* Image1;
    QLabel* StaticText1;
    QLabel* StaticText2;
    QLabel* StaticText3;
    QLabel* StaticText4;
    QLabel* StaticText5;
    QLabel* StaticText6;
    QLabel* StaticText7;

    void FormCanResize(QObject* Sender, int& NewWidth, int& NewHeight, bool& Resize);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

// The manual window, once created.
extern TForm2* Form2;
