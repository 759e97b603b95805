#include "mainwindow.h"

#include "datafolder.h"

#include "about.h"
#include "choice.h"
#include "dialog.h"
#include "filedialogs.h"
#include "formfont.h"
#include "imagefile.h"
#include "imageview.h"
#include "info.h"
#include "keys.h"
#include "messages.h"
#include "names.h"
#include "zoom.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>
#include <new>

namespace {

// The window's outer size (frame, caption and menu included) at first showing, and its least.
constexpr QSize initialOuterSize{525, 460};
constexpr QSize smallestOuterSize{188, 460};
constexpr QPoint initialPosition{128, 114};

// The command buttons: two columns, six rows, overlapping their neighbours by one pixel.
constexpr int commandButtonWidth = 41;
constexpr int commandButtonHeight = 25;
QPoint commandButtonPosition(int number) {
    return {8 + 40 * ((number - 1) % 2), 16 + 24 * ((number - 1) / 2)};
}

// The window was laid out for an 8 pt bitmap sans serif (11 pixels) and a bold 10 pt one (13
// pixels), the command buttons for an 8 pt serif. Where those faces are missing, narrow faces
// of the same pixel sizes stand in, so that the texts keep fitting the narrow column.
QFont windowFont(int pixelSize, FontWeight weight = FontWeight::Normal) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Tahoma"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans Condensed")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(weight == FontWeight::Bold);
    return font;
}

QFont commandButtonFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Serif"), QStringLiteral("Times New Roman"),
                      QStringLiteral("Liberation Serif"),
                      QStringLiteral("DejaVu Serif Condensed")});
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(11);
    return font;
}

// Entries of a list drawn as usual but with a height of their own.
class FixedHeightDelegate : public QStyledItemDelegate {
public:
    FixedHeightDelegate(int height, QObject* parent)
        : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }

private:
    int height_;
};

constexpr int stackItemHeight = 13;

// A label at its layout size, widened when the stand-in face needs a few pixels more.
void fitLabel(QLabel* label, const QRect& designed) {
    const int needed = label->fontMetrics().horizontalAdvance(label->text());
    label->setGeometry(designed.adjusted(0, 0, std::max(0, needed - designed.width()), 0));
}

} // namespace

MainWindow::MainWindow(const QString& folder, QWidget* parent)
    : QMainWindow(parent), folder_(folder.isEmpty() ? QDir::current() : QDir(folder)),
      folderGiven_(!folder.isEmpty()) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Ornamo"));
    setWindowIcon(programIcon());
    setFont(windowFont(11));
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    // Tiles and hierarchies dropped on the window are opened as the menu opens them.
    setAcceptDrops(true);

    createControls();
    createMenus();
    createActions();
    setTabOrderOfControls();
    move(initialPosition);
    resize(initialOuterSize);

    FormCreate();
    if (!startedUp_)
        return;

    // The other windows, in the order of the program's start-up; the crop dialog already
    // exists when FormCreate needed it.
    cropDialog();
    TForm3 = new ChoiceDialog(this);
    TForm5 = new HelpWindow(this);
    TForm4 = new AboutDialog(this);
}

MainWindow::~MainWindow() = default;

// ---- Building the window ----

void MainWindow::createControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    createZoomButtons(client);
    createBusyLabel(client);
    createStackList(client);
    createCommandButtons(client);
    createView(client);
    createScrollBars(client);
    // Made after the focusable controls: it comes last in the tab order.
    createProgressBar(client);
    installKeyFilters();
}

void MainWindow::createZoomButtons(QWidget* client) {
    Button1 = new QPushButton(QStringLiteral("Zmenši"), client);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(8, 8, 97, 57);

    Button2 = new QPushButton(QStringLiteral("Zväčši"), client);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(8, 72, 97, 57);
}

void MainWindow::createBusyLabel(QWidget* client) {
    Label2 = new QLabel(ornamo::fromUtf8(ornamo::messages::busyRendering), client);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(windowFont(13, FontWeight::Bold));
    Label2->setGeometry(8, 144, 95, 16);
    Label2->hide();
}

void MainWindow::createStackList(QWidget* client) {
    Label1 = new QLabel(QStringLiteral("Príkazový zásobník:"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    fitLabel(Label1, QRect(8, 192, 96, 13));

    ComboBox1 = new QComboBox(client);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    // Typed text is only ever matched against the entries, never completed or added.
    ComboBox1->setCompleter(nullptr);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setGeometry(8, 208, 97, 21);
    ComboBox1->setEditText(ornamo::fromUtf8(ornamo::messages::emptyStackLower));
    // The entries of the drop-down list are 13 pixels high.
    ComboBox1->setItemDelegate(new FixedHeightDelegate(stackItemHeight, ComboBox1));
    ComboBox1->setEnabled(false);
}

void MainWindow::createCommandButtons(QWidget* client) {
    Panel1 = new QFrame(client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setGeometry(8, 240, 97, 169);

    const QFont commandFont = commandButtonFont();
    for (int number = 1; number <= 12; ++number) {
        auto* button = new QPushButton(ornamo::fromUtf8(ornamo::messages::emptySlotName), Panel1);
        button->setObjectName(QStringLiteral("com%1").arg(number));
        button->setFont(commandFont);
        button->setGeometry(
            QRect(commandButtonPosition(number), QSize(commandButtonWidth, commandButtonHeight)));
        button->setEnabled(false);
        com[static_cast<std::size_t>(number - 1)] = button;
    }
}

void MainWindow::createView(QWidget* client) {
    Image1 = new ImageView(client);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(112, 8, ImageView::surfaceWidth, ImageView::surfaceHeight);
    Image1->installEventFilter(this); // the wheel and dragging move the view
}

void MainWindow::createScrollBars(QWidget* client) {
    ScrollBar1 = new QScrollBar(Qt::Horizontal, client);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setGeometry(112, 393, 371, 17);
    ScrollBar2 = new QScrollBar(Qt::Vertical, client);
    ScrollBar2->setObjectName(QStringLiteral("ScrollBar2"));
    ScrollBar2->setGeometry(497, 8, 16, 371);
    // Qt's scroll bars invert their keys for the wheel's sake, which turns the horizontal
    // arrows round; Right must move the view right.
    ScrollBar1->setInvertedControls(false);
    for (QScrollBar* bar : {ScrollBar1, ScrollBar2}) {
        bar->setRange(0, 0);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->setFocusPolicy(Qt::StrongFocus);
        bar->hide();
    }
}

void MainWindow::createProgressBar(QWidget* client) {
    ProgressBar1 = new QProgressBar(client);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setGeometry(8, 160, 97, 17);
    ProgressBar1->hide();
}

// The keyboard commands work whichever control has the focus.
void MainWindow::installKeyFilters() {
    for (QWidget* control : {static_cast<QWidget*>(Button1), static_cast<QWidget*>(Button2),
                             static_cast<QWidget*>(ComboBox1), static_cast<QWidget*>(ScrollBar1),
                             static_cast<QWidget*>(ScrollBar2)})
        control->installEventFilter(this);
    for (QPushButton* button : com)
        button->installEventFilter(this);
}

void MainWindow::createMenus() {
    auto item = [this](QMenu* menu, const char* name, const QString& caption) {
        auto* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    auto separator = [](QMenu* menu, const char* name) {
        auto* action = menu->addSeparator();
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };

    // The titles' underlined letters open them with Alt.
    Files1 = menuBar()->addMenu(QStringLiteral("&Súbor"));
    Files1->setObjectName(QStringLiteral("Files1"));
    OpenImage1 = item(Files1, "OpenImage1", QStringLiteral("Otvor Bitmapu"));
    UloBitmapu1 = item(Files1, "UloBitmapu1", QStringLiteral("Ulož Bitmapu"));
    Exportujobrazok1 = item(Files1, "Exportujobrazok1", QStringLiteral("Exportuj obrázok…"));
    Natajhierarchiu1 = item(Files1, "Natajhierarchiu1", QStringLiteral("Načítaj hierarchiu"));
    N1 = separator(Files1, "N1");
    Close1 = item(Files1, "Close1", QStringLiteral("Koniec"));
    // The work as a document, after the items above. Ctrl+O and Ctrl+S belong to the bitmap
    // items (with or without Shift), so the work's keys are the function keys.
    N3 = separator(Files1, "N3");
    OtvorPracu1 = item(Files1, "OtvorPracu1", QStringLiteral("Otvor prácu…"));
    UlozPracu1 = item(Files1, "UlozPracu1", QStringLiteral("Ulož prácu"));
    UlozPracuAko1 = item(Files1, "UlozPracuAko1", QStringLiteral("Ulož prácu ako…"));

    Mosaic1 = menuBar()->addMenu(QStringLiteral("&Mozaika"));
    Mosaic1->setObjectName(QStringLiteral("Mosaic1"));
    Reset1 = item(Mosaic1, "Reset1", QStringLiteral("Reset"));
    Zruposlednoperciu1 =
        item(Mosaic1, "Zruposlednoperciu1", QStringLiteral("Zruš posledný príkaz"));
    Zrusvybrany1 = item(Mosaic1, "Zrusvybrany1", QStringLiteral("Zruš vybraný príkaz"));
    Zrupovybranprkaz1 =
        item(Mosaic1, "Zrupovybranprkaz1", QStringLiteral("Zruš po vybraný príkaz"));
    Zameprkaz1 = item(Mosaic1, "Zameprkaz1", QStringLiteral("Zameň vybraný príkaz"));
    Vloprkaz1 = item(Mosaic1, "Vloprkaz1", QStringLiteral("Vlož pred vybraný príkaz"));
    Farbamedzery1 = item(Mosaic1, "Farbamedzery1", QStringLiteral("Farba medzery"));
    N2 = separator(Mosaic1, "N2");
    Nekluj1 = item(Mosaic1, "Nekluj1", QStringLiteral("Neškáluj"));
    // A group that may be left without a checked item draws its items with a round mark.
    auto* radioStyle = new QActionGroup(this);
    radioStyle->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    Nekluj1->setCheckable(true);
    Nekluj1->setChecked(false);
    radioStyle->addAction(Nekluj1);
    N4 = separator(Mosaic1, "N4");
    Spat1 = item(Mosaic1, "Spat1", QStringLiteral("Späť"));
    Znova1 = item(Mosaic1, "Znova1", QStringLiteral("Znova"));
    Prisposob1 = item(Mosaic1, "Prisposob1", QStringLiteral("Prispôsob oknu"));

    Pomoc1 = menuBar()->addMenu(QStringLiteral("&Pomoc"));
    Pomoc1->setObjectName(QStringLiteral("Pomoc1"));
    Ovldanie1 = item(Pomoc1, "Ovldanie1", QStringLiteral("Ovládanie"));
    Oprograme1 = item(Pomoc1, "Oprograme1", QStringLiteral("O programe"));

    // Each item shows its key. The window's key handler takes the keys, so that they act as
    // they always have (Ctrl and Shift as the window saw them, repeats, the keypad only); a
    // shortcut of the item's own would take them first. Bound to the menu alone, it acts only
    // while that menu has the focus.
    for (const MenuKey& key : menuKeys)
        if (auto* shown = findChild<QAction*>(QString::fromLatin1(key.item))) {
            shown->setShortcut(QKeySequence(QString::fromLatin1(key.keys)));
            shown->setShortcutContext(Qt::WidgetShortcut);
        }
}

void MainWindow::createActions() {
    connect(Button1, &QPushButton::clicked, this, &MainWindow::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &MainWindow::Button2Click);
    for (int number = 1; number <= 12; ++number)
        connect(com[static_cast<std::size_t>(number - 1)], &QPushButton::clicked, this,
                [this, number] { commandClick(number); });
    connect(ComboBox1, &QComboBox::editTextChanged, this, &MainWindow::ComboBox1Change);
    connect(ComboBox1, &QComboBox::activated, this, &MainWindow::ComboBox1Change);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &MainWindow::ScrollBar1Change);
    connect(ScrollBar2, &QScrollBar::valueChanged, this, &MainWindow::ScrollBar2Change);

    connect(OpenImage1, &QAction::triggered, this, &MainWindow::OpenImage1Click);
    connect(UloBitmapu1, &QAction::triggered, this, &MainWindow::UloBitmapu1Click);
    connect(Exportujobrazok1, &QAction::triggered, this, &MainWindow::Exportujobrazok1Click);
    connect(Natajhierarchiu1, &QAction::triggered, this, &MainWindow::Natajhierarchiu1Click);
    connect(Close1, &QAction::triggered, this, &MainWindow::Close1Click);
    connect(Reset1, &QAction::triggered, this, &MainWindow::Reset1Click);
    connect(Zruposlednoperciu1, &QAction::triggered, this, &MainWindow::Zruposlednoperciu1Click);
    connect(Zrusvybrany1, &QAction::triggered, this, &MainWindow::Zrusvybrany1Click);
    connect(Zrupovybranprkaz1, &QAction::triggered, this, &MainWindow::Zrupovybranprkaz1Click);
    connect(Zameprkaz1, &QAction::triggered, this, &MainWindow::Zameprkaz1Click);
    connect(Vloprkaz1, &QAction::triggered, this, &MainWindow::Vloprkaz1Click);
    connect(Farbamedzery1, &QAction::triggered, this, &MainWindow::Farbamedzery1Click);
    connect(Nekluj1, &QAction::triggered, this, &MainWindow::Nekluj1Click);
    connect(Ovldanie1, &QAction::triggered, this, &MainWindow::Ovldanie1Click);
    connect(Oprograme1, &QAction::triggered, this, &MainWindow::Oprograme1Click);
    connect(OtvorPracu1, &QAction::triggered, this, &MainWindow::OtvorPracu1Click);
    connect(UlozPracu1, &QAction::triggered, this, &MainWindow::UlozPracu1Click);
    connect(UlozPracuAko1, &QAction::triggered, this, &MainWindow::UlozPracuAko1Click);
    connect(Spat1, &QAction::triggered, this, &MainWindow::Spat1Click);
    connect(Prisposob1, &QAction::triggered, this, &MainWindow::Prisposob1Click);
    connect(Znova1, &QAction::triggered, this, &MainWindow::Znova1Click);
}

void MainWindow::setTabOrderOfControls() {
    QList<QWidget*> order{Button1, Button2, Panel1};
    for (QPushButton* button : com)
        order << button;
    order << ComboBox1 << ScrollBar1 << ScrollBar2 << ProgressBar1;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void MainWindow::updateActions() {
    // While a render runs, the menu items that would change the mosaic, the images or the
    // factor are greyed out; the buttons, the list and the keys stay as they are (so that the
    // focus does not jump) and their handlers ignore the input instead.
    const bool idle = !busy_;
    for (QAction* action :
         {OpenImage1, UloBitmapu1, Exportujobrazok1, Natajhierarchiu1, Reset1, Zruposlednoperciu1,
          Zrusvybrany1, Zrupovybranprkaz1, Zameprkaz1, Vloprkaz1, Farbamedzery1, Nekluj1,
          OtvorPracu1, UlozPracu1, UlozPracuAko1, Prisposob1})
        action->setEnabled(idle);
    Spat1->setEnabled(idle && work_.canUndo());
    Znova1->setEnabled(idle && work_.canRedo());
}

void MainWindow::fitOuterSize() {
    // Qt sizes a window without its frame; the frame is known once the window is shown. The
    // window's sizes are outer sizes, frame included, so the client size follows from the frame.
    const QSize frame = frameGeometry().size() - size();
    setMinimumSize(smallestOuterSize - frame);
    if (!outerSizeFitted_) {
        outerSizeFitted_ = true;
        resize(initialOuterSize - frame);
        move(initialPosition);
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    fitOuterSize();
    // Some window systems add the frame only after the window appears.
    QTimer::singleShot(0, this, [this] {
        const QSize frame = frameGeometry().size() - size();
        if (minimumSize() != smallestOuterSize - frame) {
            outerSizeFitted_ = false;
            fitOuterSize();
        }
    });
}

// ---- Start-up and the window's own items ----

void MainWindow::FormCreate() {
    // The surface of Image1 was made at the control's first size, 1600 x 1200.
    ctrlDown_ = false;
    shiftDown_ = false;

    std::optional<ornamo::Bitmap> tile =
        ornamo::loadBitmapFile(startFile(QStringLiteral("dlazdice/default.bmp")));
    if (!tile) {
        showMessage(ornamo::messages::defaultTileMissing);
        return;
    }
    try {
        if (tile->width() != tile->height())
            cropWithDialog(*tile);
        defaultTile_ = *tile;
    } catch (const std::bad_alloc&) {
        showMessage(ornamo::messages::notEnoughMemory);
        return;
    }
    // The tile size is the squared default tile's width, so that any default tile lays out
    // without gaps or overlaps. The view starts as the tile itself, at its own size.
    if (const ornamo::Outcome built = work_.start(*tile); built.refusal != ornamo::Refusal::None) {
        showMessage(ornamo::messages::text(built.refusal));
        return;
    }
    startedUp_ = true;

    if (auto rules =
            LoadCommands(startFile(QStringLiteral("default.hrh")), QStringLiteral("default.hrh")))
        work_.useRules(std::move(rules));
    labelCommandButtons();
    showStackList();
    updateActions();
    updatePictureTip();
    DrawTile(DrawMode::Show);
}

QString MainWindow::startFile(const QString& name) const {
    return folderGiven_ ? folder_.filePath(name) : ornamo::startFile(folder_, name);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A render in progress finishes first; the window then closes by itself.
    if (busy_) {
        closePending_ = true;
        event->ignore();
        return;
    }
    if (startedUp_ && !maySaveWork()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void MainWindow::FormClose() {
    // The program ends with the main window, help window open or not.
    if (TForm5)
        TForm5->close();
    work_.clearView();
}

void MainWindow::Close1Click() {
    close();
}

void MainWindow::Farbamedzery1Click() {
    if (heldOff())
        return;
    if (!ColorDialog1) {
        ColorDialog1 = new QColorDialog(this);
        ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
        ColorDialog1->setOption(QColorDialog::DontUseNativeDialog);
    }
    // The colour last confirmed, unless an undo has given the gaps another since.
    const ornamo::Color shown = work_.model().mosaic().gapColor;
    const QColor shownColor(ornamo::redOf(shown), ornamo::greenOf(shown), ornamo::blueOf(shown));
    if (gapColorChoice_.rgb() != shownColor.rgb())
        gapColorChoice_ = shownColor;
    ColorDialog1->setCurrentColor(gapColorChoice_);
    if (ColorDialog1->exec() == QDialog::Accepted)
        gapColorChoice_ = ColorDialog1->selectedColor();
    // After Cancel the dialog still holds the colour last confirmed: the gaps keep theirs, and
    // the mosaic is drawn again all the same.
    const QColor c = gapColorChoice_;
    const ornamo::Color gap =
        ornamo::makeColor(static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                          static_cast<std::uint8_t>(c.blue()));
    runOnWork([this, gap](ornamo::Progress* progress) { return work_.setGapColor(gap, progress); });
}

void MainWindow::Nekluj1Click() {
    if (!heldOff())
        runOnWork([this](ornamo::Progress* progress) { return work_.toggleNoScale(progress); });
    // The mark follows the switch; a full-size view that did not fit leaves it as it was.
    Nekluj1->setChecked(work_.noScale());
}

void MainWindow::Oprograme1Click() {
    if (TForm4)
        TForm4->exec();
}

void MainWindow::Ovldanie1Click() {
    if (!TForm5)
        return;
    TForm5->show();
    TForm5->raise();
    TForm5->activateWindow();
}

CropDialog& MainWindow::cropDialog() {
    if (!TForm2)
        TForm2 = new CropDialog(this);
    return *TForm2;
}

void MainWindow::cropWithDialog(ornamo::Bitmap& tile) {
    CropDialog& dialog = cropDialog();
    dialog.setTileShape(tile);
    dialog.exec();
    ornamo::cropToSquare(tile, dialog.choice());
}

void MainWindow::showMessage(std::string_view message, QWidget* over) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Ornamo"), ornamo::fromUtf8(message),
                    QMessageBox::Ok, over ? over : this);
    box.setObjectName(QStringLiteral("message"));
    box.exec();
}

void MainWindow::changeEvent(QEvent* event) {
    // A dialog opened by Ctrl+O or Ctrl+S takes the release of Ctrl; once the window is active
    // again the flags follow the keys really held, so that a later Backspace undoes rather
    // than resets.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
        ctrlDown_ = ctrlDown_ && held.testFlag(Qt::ControlModifier);
        shiftDown_ = shiftDown_ && held.testFlag(Qt::ShiftModifier);
    }
    QMainWindow::changeEvent(event);
}
