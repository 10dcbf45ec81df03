#pragma once
// The main window: the list of distributions, the setting panel, the
// Generate button, the output pane, the tool bars and the menus.

#include <QAction>
#include <QDialog>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <string>

#include "app/controls.h"
#include "app/menubar.h"

class TForm2;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls, under their component names (also their object names).
    pelmora::app::TCoolBar* CoolBar1;
    pelmora::app::TMenuToolBar* ToolBar1;
    QToolButton* File1Button;
    QToolButton* Help1Button;
    QWidget* ToolBar2;
    QToolButton* ToolButton1;
    QToolButton* ToolButton2;
    QWidget* ToolButton6;
    QToolButton* ToolButton3;
    QWidget* ToolButton4;
    QToolButton* ToolButton5;
    pelmora::app::TImage* Image1;
    QGroupBox* GroupBox1;
    pelmora::app::TListBox* ListBox1;
    pelmora::app::TImage* Image2;
    QGroupBox* GroupBox2;
    pelmora::app::TLabeledEdit* LabeledEdit2;
    pelmora::app::TLabeledEdit* LabeledEdit5;
    pelmora::app::TLabeledEdit* LabeledEdit6;
    pelmora::app::TLabeledEdit* LabeledEdit7;
    QPushButton* Button1;
    QPlainTextEdit* RichEdit1;

    // MainMenu1: the File and Help menus that ToolBar1 drops down.
    QMenu* File1;
    QAction* Save1;
    QAction* Clear1;  // captioned "Copy"
    QAction* N1;
    QAction* Clear2;  // captioned "Clear"
    QAction* Exit1;
    QMenu* Help1;
    QAction* Manual1;
    QAction* N2;
    QAction* Register1;  // captioned "Homepage"
    // PopupMenu1: the context menu of RichEdit1.
    QMenu* PopupMenu1;
    QAction* Save2;
    QAction* Copy1;
    QAction* N3;
    QAction* Clear3;
    pelmora::app::TImageList ImageList1;

    // The folder of the executable, with its trailing separator; the
    // pictures are looked for from there (PictureFolder).
    QString ExeFolder;
    // The decimal separator of the user's regional settings, "." when there is none.
    std::string DecimalSeparator;
    // SaveDialog1: asks for the file name, offering `lastName`; an empty
    // result means the user cancelled. Tests replace it.
    std::function<QString(QWidget* owner, const QString& lastName)> SaveDialog1;
    // The last file name saved to, offered again by the next Save.
    QString SaveFileName;
    // Hands an address to the desktop's browser without waiting; tests replace it.
    std::function<void(const QUrl&)> OpenUrl;
    // Runs a window modally (exec); tests replace it to stay out of the modal loop.
    std::function<void(QDialog*)> ShowModal;

    // Handlers.
    void FormCreate(QObject* Sender);
    void FormCanResize(QObject* Sender, int& NewWidth, int& NewHeight, bool& Resize);
    void ListBox1Click(QObject* Sender);
    void Button1Click(QObject* Sender);
    void ToolButton1Click(QObject* Sender);
    void ToolButton2Click(QObject* Sender);
    void ToolButton3Click(QObject* Sender);
    void Exit1Click(QObject* Sender);
    void Manual1Click(QObject* Sender);
    void Register1Click(QObject* Sender);

    // The picture folder: ExeFolder followed by "/pic" (so the path holds a
    // doubled separator, which the file system accepts), as in the build
    // folder; where that folder does not exist but InstalledPictureFolder()
    // does, as after an install, that one.
    QString PictureFolder() const;
    // The installed pictures: share/pelmora/pic of the installation, found
    // from the executable's folder (bin/), so an unpacked or moved
    // installation finds them too.
    QString InstalledPictureFolder() const;
    // The pane's lines, each ended by "\n".
    std::string PaneText() const;
    // Reads the decimal separator again from the regional settings.
    void ReadDecimalSeparator();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateCoolBar();
    void CreateMenus();
    void CreateControls();
    void CreateDistributionList();
    void CreateSettingPanel();
    void CreateOutputPane();
    void ConnectHandlers();
    void SetTabOrder();

    bool contextMenuByKeyboard_ = false;  // the last context menu request came from the keyboard
};

// The main window, once created.
extern TForm1* Form1;

// The decimal separator as the regional settings give it; tests replace the
// source (an empty function puts the system's back).
void SetDecimalSeparatorSource(std::function<QString()> source);
