#include "app/form1.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFrame>
#include <QHeaderView>
#include <QLocale>
#include <QMimeData>
#include <QResizeEvent>
#include <QSettings>
#include <QTreeView>
#include <array>
#include <limits>
#include <utility>

#include "app/access.h"
#include "app/errorbox.h"
#include "app/form2.h"
#include "app/gradient.h"
#include "app/jpeg.h"
#include "app/look.h"
#include "app/pane.h"
#include "core/generate.h"
#include "core/rtf.h"
#include "core/savefile.h"
#include "core/speech.h"

using namespace pelmora;
using namespace pelmora::app;

TForm1* Form1 = nullptr;

namespace {

const QSize kClientSize(599, 469);
const QPoint kPosition(359, 164);

std::function<QString()>& DecimalSeparatorSource() {
    static std::function<QString()> source;
    return source;
}

// Qt's file dialog keeps a history of folders in the user's QtProject.conf:
// it reads the file when a dialog is made and writes it when one goes, and
// offers no switch to stop either. The program keeps no state between runs,
// so the settings paths point below /dev/null, where no settings file can
// ever be found or created. The desktop's own (native) dialogs keep lists
// of recent files of their own, so Qt's is used on every desktop.
void KeepNoSettings() {
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope}) {
            QSettings::setPath(format, scope, QStringLiteral("/dev/null"));
        }
    }
}

// Qt sizes the save dialog's columns for a few sample texts ("128.88 GB"),
// which cuts real ones such as "154 bytes": once a folder has been read,
// every column takes the width of what it shows, and the names what room is
// left beside the others.
void FitColumnsOnceRead(QFileDialog& dialog) {
    auto* files = dialog.findChild<QFileSystemModel*>();
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (files == nullptr || view == nullptr) return;
    QObject::connect(files, &QFileSystemModel::directoryLoaded, view, [view] {
        QHeaderView* header = view->header();
        int others = 0;
        for (int column = 0; column < header->count(); ++column) {
            view->resizeColumnToContents(column);
            if (column > 0 && !header->isSectionHidden(column)) others += header->sectionSize(column);
        }
        const int room = view->viewport()->width() - others;
        if (room > header->sectionSize(0)) header->resizeSection(0, room);
    });
}

// SaveDialog1: filter "TXT File(*.txt)" with the pattern "*.TXT" (the
// lower-case form too, since the pattern is meant without regard to case),
// no question before replacing a file, the last name offered again (within
// the run only).
QString RunSaveDialog(QWidget* owner, const QString& lastName) {
    KeepNoSettings();
    QFileDialog dialog(owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("TXT File(*.txt) (*.TXT *.txt)"));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    FitColumnsOnceRead(dialog);
    if (!lastName.isEmpty()) dialog.selectFile(lastName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

// The name the save dialog offers: the last one, except in a file system
// of the kernel's (a failed save to /proc/x.txt), where the dialog would
// list files that block when looked at: there, the same name in the home
// folder.
QString NameToOffer(const QString& lastName) {
    if (lastName.isEmpty()) return lastName;
    const QFileInfo last(lastName);
    if (!OnPseudoFileSystem(last.absolutePath().toStdString())) return lastName;
    return QDir::home().filePath(last.fileName());
}

// A tool button is named by its hint for a screen reader too, and described
// by what it does.
QToolButton* GlyphButton(const QString& name, const QIcon& glyph, const QString& hint, const QString& does,
                         QWidget* parent, int left) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(glyph);
    button->setIconSize(QSize(TImageList::kSize, TImageList::kSize));
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setAccessibleDescription(does);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(left, 1, 23, 22);
    return button;
}

QWidget* Separator(const QString& name, QWidget* parent, int left) {
    auto* line = new QFrame(parent);
    SetAccessibleRole(line, QAccessible::Separator);
    line->setObjectName(name);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(left, 1, 8, 22);
    return line;
}

QAction* MenuItem(QMenu* menu, const QString& name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

QAction* MenuSeparator(QMenu* menu, const QString& name) {
    QAction* action = menu->addSeparator();
    action->setObjectName(name);
    return action;
}

// For a screen reader: each parameter field described by what the parameter is.
void DescribeFields(const std::array<TLabeledEdit*, 3>& fields, const Distribution& row) {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (const char* meaning = row.params[i].meaning)
            fields[i]->setAccessibleDescription(QString::fromUtf8(meaning));
}

// For a screen reader: the formula picture named by its formula in words.
void DescribePicture(TImage* image, const Distribution& row) {
    image->setAccessibleName(QString::fromStdString(SpokenPicture(row)));
    const std::string_view name = RowName(row.row);
    image->setAccessibleDescription(
        QStringLiteral("The formula of %1").arg(QString::fromUtf8(name.data(), qsizetype(name.size()))));
}

}  // namespace

void SetDecimalSeparatorSource(std::function<QString()> source) { DecimalSeparatorSource() = std::move(source); }

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
    Form1 = this;
    UseLook();
    UseAccessibility();
    SetAccessibleRole(this, QAccessible::Window);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Pelmora 8.5"));
    setFont(DefaultFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    setPalette(palette);
    setAutoFillBackground(true);
    MakeFixedWindow(this, kClientSize, kPosition);

    ExeFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    SaveDialog1 = RunSaveDialog;
    OpenUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    ShowModal = [](QDialog* dialog) { dialog->exec(); };
    ReadDecimalSeparator();

    CreateMenus();
    CreateCoolBar();
    CreateControls();
    ConnectHandlers();
    SetTabOrder();
    RichEdit1->setFocus();  // the first control in the tab order
    setWindowIcon(ProgramIcon());
    FormCreate(this);
}

TForm1::~TForm1() {
    if (Form1 == this) Form1 = nullptr;
}

void TForm1::CreateMenus() {
    File1 = new QMenu(QStringLiteral("File"), this);
    File1->setObjectName(QStringLiteral("File1"));
    Save1 = MenuItem(File1, QStringLiteral("Save1"), QStringLiteral("Save"));
    Clear1 = MenuItem(File1, QStringLiteral("Clear1"), QStringLiteral("Copy"));
    N1 = MenuSeparator(File1, QStringLiteral("N1"));
    Clear2 = MenuItem(File1, QStringLiteral("Clear2"), QStringLiteral("Clear"));
    Exit1 = MenuItem(File1, QStringLiteral("Exit1"), QStringLiteral("Exit"));

    Help1 = new QMenu(QStringLiteral("Help"), this);
    Help1->setObjectName(QStringLiteral("Help1"));
    Manual1 = MenuItem(Help1, QStringLiteral("Manual1"), QStringLiteral("Manual"));
    N2 = MenuSeparator(Help1, QStringLiteral("N2"));
    Register1 = MenuItem(Help1, QStringLiteral("Register1"), QStringLiteral("Homepage"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Save2 = MenuItem(PopupMenu1, QStringLiteral("Save2"), QStringLiteral("Save"));
    Copy1 = MenuItem(PopupMenu1, QStringLiteral("Copy1"), QStringLiteral("Copy"));
    N3 = MenuSeparator(PopupMenu1, QStringLiteral("N3"));
    Clear3 = MenuItem(PopupMenu1, QStringLiteral("Clear3"), QStringLiteral("Clear"));

    for (QMenu* menu : {File1, Help1, PopupMenu1}) AssignAccelerators(menu);
}

void TForm1::CreateCoolBar() {
    CoolBar1 = new TCoolBar(this);
    CoolBar1->setObjectName(QStringLiteral("CoolBar1"));
    CoolBar1->setGeometry(0, 0, 599, 57);

    ToolBar1 = new TMenuToolBar(CoolBar1);
    SetAccessibleRole(ToolBar1, QAccessible::ToolBar);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setAccessibleName(QStringLiteral("Menu"));
    ToolBar1->setGeometry(9, 0, 582, 25);
    File1Button = ToolBar1->AddMenu(File1, QStringLiteral("File1Button"));
    Help1Button = ToolBar1->AddMenu(Help1, QStringLiteral("Help1Button"));

    ToolBar2 = new QWidget(CoolBar1);
    SetAccessibleRole(ToolBar2, QAccessible::ToolBar);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setAccessibleName(QStringLiteral("Tools"));
    ToolBar2->setGeometry(9, 27, 582, 25);
    ToolButton1 = GlyphButton(QStringLiteral("ToolButton1"), ImageList1[0], QStringLiteral("Save datas"),
                              QStringLiteral("Saves the values of the pane to a file"), ToolBar2, 0);
    ToolButton2 = GlyphButton(QStringLiteral("ToolButton2"), ImageList1[1], QStringLiteral("Copy Datas"),
                              QStringLiteral("Copies the selected values"), ToolBar2, 23);
    ToolButton6 = Separator(QStringLiteral("ToolButton6"), ToolBar2, 46);
    ToolButton3 = GlyphButton(QStringLiteral("ToolButton3"), ImageList1[2], QStringLiteral("Clear Datas"),
                              QStringLiteral("Empties the pane"), ToolBar2, 54);
    ToolButton4 = Separator(QStringLiteral("ToolButton4"), ToolBar2, 77);
    ToolButton5 = GlyphButton(QStringLiteral("ToolButton5"), ImageList1[3], QStringLiteral("Help"),
                              QStringLiteral("Shows the manual"), ToolBar2, 85);
}

void TForm1::CreateControls() {
    Image1 = new TImage(TImage::Stretch, this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 57, 599, 412);
    Image1->setPicture(GradientBitmap());
    Image1->lower();

    CreateDistributionList();

    Image2 = new TImage(TImage::AutoSize, this);
    SetAccessibleRole(Image2, QAccessible::Graphic);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->move(192, 72);

    CreateSettingPanel();

    Button1 = new TButton(QStringLiteral("Generate"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAccessibleDescription(QStringLiteral("Draws the values into the pane"));
    Button1->setGeometry(216, 408, 129, 25);
    Button1->setFont(ArialFont(true, true));
    SetColour(Button1, QPalette::ButtonText, kMaroon);

    CreateOutputPane();
}

void TForm1::CreateDistributionList() {
    GroupBox1 = new QGroupBox(QStringLiteral("Distribution"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 64, 169, 401);

    ListBox1 = new TListBox(GroupBox1);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setAccessibleName(GroupBox1->title());  // and labelled by the frame
    ListBox1->setAccessibleDescription(QStringLiteral("The distribution to draw from"));
    ListBox1->setGeometry(2, 15, 165, 384);
    ListBox1->setFont(ArialFont(true));
    SetColour(ListBox1, QPalette::Base, kSkyBlue);
    SetColour(ListBox1, QPalette::Text, kMaroon);
    ListBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setUniformItemSizes(true);
    for (const Distribution& row : kRows) {
        auto* item = new QListWidgetItem(QString::fromUtf8(row.caption), ListBox1);
        item->setSizeHint(QSize(ListBox1->viewport()->width(), 16));
    }
}

void TForm1::CreateSettingPanel() {
    GroupBox2 = new QGroupBox(QStringLiteral("Setting"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(208, 144, 145, 249);
    GroupBox2->setFont(ArialFont(true));
    SetColour(GroupBox2, QPalette::WindowText, kPurple);
    SetColour(GroupBox2, QPalette::Text, kPurple);

    auto field = [&](const QString& name, const QString& label, int top) {
        auto* edit = new TLabeledEdit(label, GroupBox2);
        edit->setObjectName(name);
        edit->EditLabel->setObjectName(name + QStringLiteral("Label"));
        edit->setGeometry(32, top, 73, 24);
        edit->setMaxLength(std::numeric_limits<int>::max());  // no limit of our own on what may be typed
        return edit;
    };
    LabeledEdit2 = field(QStringLiteral("LabeledEdit2"), QStringLiteral("Quantity"), 56);
    LabeledEdit2->setAccessibleDescription(QStringLiteral("How many values to draw"));
    SetColour(LabeledEdit2, QPalette::Text, kMaroon);
    LabeledEdit5 = field(QStringLiteral("LabeledEdit5"), QStringLiteral("min"), 104);
    LabeledEdit6 = field(QStringLiteral("LabeledEdit6"), QStringLiteral("max"), 152);
    LabeledEdit7 = field(QStringLiteral("LabeledEdit7"), QStringLiteral("m (min<m<max)"), 200);
}

void TForm1::CreateOutputPane() {
    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setAccessibleName(QStringLiteral("Generated values"));
    RichEdit1->setAccessibleDescription(QStringLiteral("The values drawn, one a line"));
    RichEdit1->setGeometry(392, 64, 201, 401);
    RichEdit1->setReadOnly(true);
    RichEdit1->setUndoRedoEnabled(false);
    RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    RichEdit1->setFocusPolicy(Qt::StrongFocus);
    RichEdit1->setFont(ArialFont());
    RichEdit1->document()->setDefaultFont(ArialFont());
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    // The selection is hidden while the pane has no focus.
    QPalette pane = RichEdit1->palette();
    pane.setColor(QPalette::Inactive, QPalette::Highlight, pane.color(QPalette::Inactive, QPalette::Base));
    pane.setColor(QPalette::Inactive, QPalette::HighlightedText, pane.color(QPalette::Inactive, QPalette::Text));
    RichEdit1->setPalette(pane);
}

void TForm1::ConnectHandlers() {
    connect(ListBox1, &TListBox::Click, this, [this] { ListBox1Click(ListBox1); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(Button1); });
    auto bind = [this](QObject* sender, void (TForm1::*handler)(QObject*)) {
        if (auto* action = qobject_cast<QAction*>(sender))
            connect(action, &QAction::triggered, this, [=, this] { (this->*handler)(sender); });
        else if (auto* button = qobject_cast<QToolButton*>(sender))
            connect(button, &QToolButton::clicked, this, [=, this] { (this->*handler)(sender); });
    };
    bind(Save1, &TForm1::ToolButton1Click);
    bind(ToolButton1, &TForm1::ToolButton1Click);
    bind(Save2, &TForm1::ToolButton1Click);
    bind(Clear1, &TForm1::ToolButton2Click);
    bind(ToolButton2, &TForm1::ToolButton2Click);
    bind(Copy1, &TForm1::ToolButton2Click);
    bind(Clear2, &TForm1::ToolButton3Click);
    bind(ToolButton3, &TForm1::ToolButton3Click);
    bind(Clear3, &TForm1::ToolButton3Click);
    bind(Exit1, &TForm1::Exit1Click);
    bind(Manual1, &TForm1::Manual1Click);
    bind(ToolButton5, &TForm1::Manual1Click);
    bind(Register1, &TForm1::Register1Click);
    connect(RichEdit1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const bool byKeyboard = std::exchange(contextMenuByKeyboard_, false);
        PopUpContextMenu(PopupMenu1, RichEdit1->viewport()->mapToGlobal(at), byKeyboard);
    });
    // Whether the pane's context menu is asked for from the keyboard.
    for (QObject* pane : {static_cast<QObject*>(RichEdit1), static_cast<QObject*>(RichEdit1->viewport())})
        pane->installEventFilter(this);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ContextMenu)
        contextMenuByKeyboard_ = static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
    return QWidget::eventFilter(watched, event);
}

void TForm1::SetTabOrder() {
    QWidget* order[] = {RichEdit1, LabeledEdit2, LabeledEdit5, LabeledEdit6, LabeledEdit7, Button1, ListBox1};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TForm1::FormCreate(QObject*) {
    Button1->setEnabled(false);
    LabeledEdit2->setText(QStringLiteral("10"));
    LabeledEdit5->setText(QStringLiteral("1"));
    LabeledEdit6->setText(QStringLiteral("1"));
    LabeledEdit7->setText(QStringLiteral("3"));
    LabeledEdit2->setEnabled(true);
    LabeledEdit5->setEnabled(false);
    LabeledEdit6->setEnabled(false);
    LabeledEdit7->hide();
}

void TForm1::FormCanResize(QObject*, int&, int&, bool& Resize) { Resize = false; }

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    AskBeforeResize(this, event, kClientSize);
}

void TForm1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) ReadDecimalSeparator();
    QWidget::changeEvent(event);
}

void TForm1::ReadDecimalSeparator() {
    const std::function<QString()>& source = DecimalSeparatorSource();
    QString separator = source ? source() : QLocale::system().decimalPoint();
    DecimalSeparator = separator.isEmpty() ? std::string(".") : separator.toStdString();
}

QString TForm1::PictureFolder() const {
    const QString beside = ExeFolder + QStringLiteral("/pic");
    if (QFileInfo(beside).isDir()) return beside;
    const QString installed = InstalledPictureFolder();
    return QFileInfo(installed).isDir() ? installed : beside;
}

QString TForm1::InstalledPictureFolder() const {
    return QDir::cleanPath(ExeFolder + QStringLiteral(PELMORA_PICTURES_FROM_BINDIR));
}

std::string TForm1::PaneText() const { return RichEdit1->toPlainText().toStdString(); }

void TForm1::ListBox1Click(QObject*) {
    RunHandler([this] {
        Button1->setEnabled(true);
        const QString folder = PictureFolder();
        RichEdit1->clear();
        LabeledEdit7->hide();
        LabeledEdit7->setEnabled(true);
        LabeledEdit2->setEnabled(true);
        LabeledEdit5->setEnabled(true);
        LabeledEdit5->show();
        LabeledEdit6->show();
        LabeledEdit6->setEnabled(true);
        const int row = ListBox1->ItemIndex();
        if (row < 0 || row >= kRowCount) return;
        const Distribution& info = kRows[std::size_t(row)];
        if (const char* label = info.params[0].label)
            LabeledEdit5->setLabelText(QString::fromUtf8(label));
        else
            LabeledEdit5->hide();
        if (const char* label = info.params[1].label)
            LabeledEdit6->setLabelText(QString::fromUtf8(label));
        else
            LabeledEdit6->hide();
        if (const char* label = info.params[2].label) {
            LabeledEdit7->show();
            LabeledEdit7->setLabelText(QString::fromUtf8(label));
        }
        DescribeFields({LabeledEdit5, LabeledEdit6, LabeledEdit7}, info);
        const QString picture = folder + QString::fromUtf8(info.picture);
        Image2->setPicture(LoadFormulaPicture(picture, Image2->devicePixelRatioF()));
        DescribePicture(Image2, info);
    });
}

void TForm1::Button1Click(QObject*) {
    RunHandler([this] {
        RichEdit1->clear();
        const FieldTexts texts{LabeledEdit2->text().toStdString(), LabeledEdit5->text().toStdString(),
                               LabeledEdit6->text().toStdString(), LabeledEdit7->text().toStdString()};
        const Request request = ParseFields(texts, DecimalSeparator);
        const int row = ListBox1->ItemIndex();
        // The lines go into the pane in one update, also when the command
        // fails part way: the window does not repaint before then anyway.
        PaneLines lines;
        // As after appending line by line, the caret ends after the last line.
        auto show = [&] {
            if (lines.text().empty()) return;
            RichEdit1->setPlainText(QString::fromStdString(lines.text()));
            RichEdit1->moveCursor(QTextCursor::End);
        };
        try {
            GenerateValues(row, request, DecimalSeparator, [&](std::string_view text) { lines.Append(text); });
        } catch (...) {
            show();
            throw;
        }
        show();
    });
}

void TForm1::ToolButton1Click(QObject*) {
    RunHandler([this] {
        const QString chosen = SaveDialog1(this, NameToOffer(SaveFileName));
        if (chosen.isEmpty()) return;
        const std::string name = AddDefaultExtension(QFileInfo(chosen).absoluteFilePath().toStdString(), "TXT");
        SaveFileName = QString::fromStdString(name);
        SaveFile(name, RtfDocument(PaneText()));
    });
}

void TForm1::ToolButton2Click(QObject*) {
    RunHandler([this] {
        const QTextCursor cursor = RichEdit1->textCursor();
        if (!cursor.hasSelection()) return;
        QString text = cursor.selectedText();
        text.replace(QChar::ParagraphSeparator, QLatin1Char('\n')).replace(QChar::LineSeparator, QLatin1Char('\n'));
        auto* data = new QMimeData;
        data->setText(text);
        const std::string rtf = RtfDocument(text.toStdString());
        data->setData(QStringLiteral("text/rtf"), QByteArray(rtf.data(), qsizetype(rtf.size())));
        QGuiApplication::clipboard()->setMimeData(data);
    });
}

void TForm1::ToolButton3Click(QObject*) { RichEdit1->clear(); }

void TForm1::Exit1Click(QObject*) { close(); }

void TForm1::Manual1Click(QObject*) {
    if (Form2 != nullptr) ShowModal(Form2);
}

void TForm1::Register1Click(QObject*) { OpenUrl(QUrl(QString::fromUtf8(kHomePage))); }
