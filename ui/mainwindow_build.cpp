// The main window's top floor: building the window and its menu from one table of items,
// start-up, the window's own items, and the keys and events, which it hands to the handlers
// (mainwindow_editing.cpp) and to the floor below them (mainwindow.cpp).

#include "mainwindow.h"
#include "names.h"

#include "datafolder.h"

#include "about.h"
#include "choice.h"
#include "dialog.h"
#include "filedialogs.h"
#include "formfont.h"
#include "imagefile.h"
#include "info.h"
#include "messages.h"
#include "outersize.h"
#include "viewpane.h"
#include "workshop.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

// The window's outer size (frame, caption and menu included) at first showing, and its least.
constexpr QSize initialOuterSize = viewPaneLayout.windowOuterSize;
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
      folderGiven_(!folder.isEmpty()), outerSize_(initialOuterSize, smallestOuterSize) {
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
    // The title follows the work's file and whether the work differs from it.
    connect(&session_, &ornamo::WorkSession::fileNameChanged, this, &MainWindow::updateTitle);
    connect(&session_, &ornamo::WorkSession::modifiedChanged, this, &MainWindow::updateTitle);
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
    TForm5 = new HelpWindow(menuKeys(), this);
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
    createViewPane(client);
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
    for (int number = 1; number <= ornamo::commandSlotCount; ++number) {
        auto* button = new QPushButton(ornamo::fromUtf8(ornamo::emptySlotName), Panel1);
        button->setObjectName(QStringLiteral("com%1").arg(number));
        button->setFont(commandFont);
        button->setGeometry(
            QRect(commandButtonPosition(number), QSize(commandButtonWidth, commandButtonHeight)));
        button->setEnabled(false);
        com[static_cast<std::size_t>(number - 1)] = button;
    }
}

void MainWindow::createViewPane(QWidget* client) {
    viewPane_ = new ViewPane(work_.view(), client);
    connect(viewPane_, &ViewPane::zoomAsked, this, [this](QPoint anchor, int notches) {
        for (int i = 0; i < std::abs(notches) && !heldOff(); ++i)
            if (notches > 0)
                zoomCloser(anchor);
            else
                zoomFarther(anchor);
    });
    connect(viewPane_, &ViewPane::outOfMemory, this,
            [this] { showMessage(ornamo::messages::notEnoughMemory); });
    connect(viewPane_, &ViewPane::originAsked, this,
            [this](QPoint point, QPoint globalPosition, ViewPane::Pointing pointing) {
                explainPoint(point, globalPosition, pointing == ViewPane::Pointing::Click);
            });
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
    for (QWidget* control :
         {static_cast<QWidget*>(Button1), static_cast<QWidget*>(Button2),
          static_cast<QWidget*>(ComboBox1), static_cast<QWidget*>(viewPane_->horizontalBar()),
          static_cast<QWidget*>(viewPane_->verticalBar())})
        control->installEventFilter(this);
    for (QPushButton* button : com)
        button->installEventFilter(this);
}

// The menu, each item declared once. The keys are the window's own (FormKeyDown); the items
// show them, and the help window lists them in this order.
std::span<const MainWindow::MenuRow> MainWindow::menuTable() {
    using enum Row;
    using enum Enabling;
    static constexpr MenuRow rows[] = {
        // The titles' underlined letters open them with Alt.
        {Menu, "Files1", "&Súbor"},
        {Item, "OpenImage1", "Otvor Bitmapu", "Ctrl+O", &MainWindow::OpenImage1Click, WhenIdle},
        {Item, "UloBitmapu1", "Ulož Bitmapu", "Ctrl+S", &MainWindow::UloBitmapu1Click, WhenIdle},
        {Item, "Exportujobrazok1", "Exportuj obrázok…", nullptr, &MainWindow::Exportujobrazok1Click,
         WhenIdle},
        {Item, "Natajhierarchiu1", "Načítaj hierarchiu", nullptr,
         &MainWindow::Natajhierarchiu1Click, WhenIdle},
        {Separator, "N1", nullptr},
        {Item, "Close1", "Koniec", "Ctrl+Q", &MainWindow::Close1Click},
        // The work as a document, after the items above. Ctrl+O and Ctrl+S belong to the
        // bitmap items (with or without Shift), so the work's keys are the function keys.
        {Separator, "N3", nullptr},
        {Item, "OtvorPracu1", "Otvor prácu…", "F3", &MainWindow::OtvorPracu1Click, WhenIdle},
        {Item, "UlozPracu1", "Ulož prácu", "F2", &MainWindow::UlozPracu1Click, WhenIdle},
        {Item, "UlozPracuAko1", "Ulož prácu ako…", "Shift+F2", &MainWindow::UlozPracuAko1Click,
         WhenIdle},
        {Separator, "N5", nullptr},
        {Item, "DielnaPravidiel1", "Dielňa pravidiel…", "F4", &MainWindow::DielnaPravidiel1Click},

        {Menu, "Mosaic1", "&Mozaika"},
        {Item, "Reset1", "Reset", "Ctrl+Backspace", &MainWindow::Reset1Click, WhenIdle},
        {Item, "Zruposlednoperciu1", "Zruš posledný príkaz", "Backspace",
         &MainWindow::Zruposlednoperciu1Click, WhenIdle},
        {Item, "Zrusvybrany1", "Zruš vybraný príkaz", "Del", &MainWindow::Zrusvybrany1Click,
         WhenIdle},
        {Item, "Zrupovybranprkaz1", "Zruš po vybraný príkaz", "Shift+Del",
         &MainWindow::Zrupovybranprkaz1Click, WhenIdle},
        {Item, "Zameprkaz1", "Zameň vybraný príkaz", "Ctrl+U", &MainWindow::Zameprkaz1Click,
         WhenIdle},
        {Item, "Vloprkaz1", "Vlož pred vybraný príkaz", "Ctrl+Ins", &MainWindow::Vloprkaz1Click,
         WhenIdle},
        {Item, "Farbamedzery1", "Farba medzery", nullptr, &MainWindow::Farbamedzery1Click,
         WhenIdle},
        {Separator, "N2", nullptr},
        {Switch, "Nekluj1", "Neškáluj", nullptr, &MainWindow::Nekluj1Click, WhenIdle},
        {Separator, "N4", nullptr},
        {Item, "Spat1", "Späť", "Ctrl+Z", &MainWindow::Spat1Click, WhenUndoable},
        {Item, "Znova1", "Znova", "Ctrl+Y", &MainWindow::Znova1Click, WhenRedoable},
        {Item, "Prisposob1", "Prispôsob oknu", "Ctrl+F", &MainWindow::Prisposob1Click, WhenIdle},

        {Menu, "Pomoc1", "&Pomoc"},
        {Item, "Ovldanie1", "Ovládanie", "F1", &MainWindow::Ovldanie1Click},
        {Item, "Oprograme1", "O programe", nullptr, &MainWindow::Oprograme1Click},
    };
    return rows;
}

void MainWindow::createMenus() {
    QMenu* menu = nullptr;
    for (const MenuRow& row : menuTable()) {
        const QString name = QString::fromLatin1(row.name);
        if (row.row == Row::Menu) {
            menu = menuBar()->addMenu(QString::fromUtf8(row.caption));
            menu->setObjectName(name);
            continue;
        }
        QAction* action = row.row == Row::Separator
                              ? menu->addSeparator()
                              : menu->addAction(QString::fromUtf8(row.caption));
        action->setObjectName(name);
        if (row.row == Row::Separator)
            continue;
        if (row.row == Row::Switch) {
            // A group that may be left without a checked item draws its items with a round
            // mark.
            auto* radioStyle = new QActionGroup(this);
            radioStyle->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
            action->setCheckable(true);
            action->setChecked(false);
            radioStyle->addAction(action);
            noScaleSwitch_ = action;
        }
        // Each item shows its key. The window's key handler takes the keys, so that they act
        // as they always have (Ctrl and Shift as the window saw them, repeats, the keypad
        // only); a shortcut of the item's own would take them first. Bound to the menu alone,
        // it acts only while that menu has the focus.
        if (row.keys) {
            action->setShortcut(QKeySequence(QString::fromLatin1(row.keys)));
            action->setShortcutContext(Qt::WidgetShortcut);
        }
        connect(action, &QAction::triggered, this, row.handler);
        actions_.emplace_back(action, row.enabling);
    }
}

void MainWindow::createActions() {
    connect(Button1, &QPushButton::clicked, this, &MainWindow::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &MainWindow::Button2Click);
    for (int number = 1; number <= ornamo::commandSlotCount; ++number)
        connect(com[static_cast<std::size_t>(number - 1)], &QPushButton::clicked, this,
                [this, number] { commandClick(number); });
    connect(ComboBox1, &QComboBox::editTextChanged, this, &MainWindow::ComboBox1Change);
    connect(ComboBox1, &QComboBox::activated, this, &MainWindow::ComboBox1Change);
    // The menu's items were connected as the table made them.
}

/// The keys the menu's items show, for the help window: the key as this platform writes it,
/// and the item as "menu/item".
QList<HelpKey> MainWindow::menuKeys() const {
    QList<HelpKey> keys;
    for (const QAction* title : menuBar()->actions())
        for (const QAction* action : title->menu()->actions())
            if (!action->shortcut().isEmpty()) {
                QString item = action->text();
                if (item.endsWith(QChar(0x2026)))
                    item.chop(1);
                keys.append({action->shortcut().toString(QKeySequence::NativeText),
                             title->text().remove(QLatin1Char('&')) + QLatin1Char('/') + item});
            }
    return keys;
}

void MainWindow::setTabOrderOfControls() {
    QList<QWidget*> order{Button1, Button2, Panel1};
    for (QPushButton* button : com)
        order << button;
    order << ComboBox1 << viewPane_->horizontalBar() << viewPane_->verticalBar() << ProgressBar1;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void MainWindow::fitOuterSize() {
    // The frame is measured again on every showing, move and resize: the window manager may add
    // it (or change it) long after the window appeared.
    if (!isVisible() || isMaximized() || isFullScreen())
        return;
    const bool first = !outerSizeFitted_;
    outerSizeFitted_ = true;
    const OuterSizeFit::ClientSizes sizes =
        outerSize_.frameSeen(frameGeometry().size() - size(), size());
    if (minimumSize() != sizes.minimum)
        setMinimumSize(sizes.minimum);
    if (sizes.resize && size() != *sizes.resize)
        resize(*sizes.resize);
    if (first)
        move(initialPosition);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    fitOuterSize();
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    fitOuterSize();
}

// ---- Start-up and the window's own items ----

void MainWindow::FormCreate() {
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
    // The workshop asks about its own edits first.
    if (workshop_ && workshop_->isVisible() && !workshop_->close()) {
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

void MainWindow::changeEvent(QEvent* event) {
    // A dialog opened by Ctrl+O or Ctrl+S takes the release of Ctrl; once the window is active
    // again the flags follow the keys really held, so that a later Backspace undoes rather
    // than resets.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        fitOuterSize(); // by now the window manager has framed the window
        const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
        ctrlDown_ = ctrlDown_ && held.testFlag(Qt::ControlModifier);
        shiftDown_ = shiftDown_ && held.testFlag(Qt::ShiftModifier);
    }
    QMainWindow::changeEvent(event);
}

// ---- Resizing and the keyboard commands ----

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    fitOuterSize();
    FormResize();
}

void MainWindow::FormResize() {
    viewPane_->fitWindow(frameGeometry().size());
}
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The controls hand their keys to the window first and still handle them themselves.
    if (event->type() == QEvent::KeyPress)
        FormKeyDown(static_cast<const QKeyEvent&>(*event));
    else if (event->type() == QEvent::KeyRelease)
        FormKeyUp(static_cast<const QKeyEvent&>(*event));
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Keys that a control let through already went to FormKeyDown by its filter.
    if (!focusWidget() || focusWidget() == this)
        FormKeyDown(*event);
    QMainWindow::keyPressEvent(event);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
    if (!focusWidget() || focusWidget() == this)
        FormKeyUp(*event);
    QMainWindow::keyReleaseEvent(event);
}

void MainWindow::FormKeyDown(const QKeyEvent& event) {
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    switch (event.key()) {
    case Qt::Key_Backspace:
        if (ctrlDown_)
            Reset1Click();
        else
            Zruposlednoperciu1Click();
        break;
    case Qt::Key_Shift:
        shiftDown_ = true;
        break;
    case Qt::Key_Control:
        ctrlDown_ = true;
        break;
    case Qt::Key_Insert:
        if (ctrlDown_)
            Vloprkaz1Click();
        break;
    case Qt::Key_Delete:
        if (shiftDown_)
            Zrupovybranprkaz1Click();
        else
            Zrusvybrany1Click();
        break;
    case Qt::Key_O:
        if (ctrlDown_)
            OpenImage1Click();
        break;
    case Qt::Key_S:
        if (ctrlDown_)
            UloBitmapu1Click();
        break;
    case Qt::Key_U:
        if (ctrlDown_)
            Zameprkaz1Click();
        break;
    case Qt::Key_Asterisk:
        if (keypad)
            fullSize();
        break;
    case Qt::Key_Plus:
        if (keypad)
            Button2Click();
        else if (ctrlDown_)
            zoomCloser(viewPane_->centre());
        break;
    case Qt::Key_Minus:
        if (keypad)
            Button1Click();
        else if (ctrlDown_)
            zoomFarther(viewPane_->centre());
        break;
    default:
        ownKeyDown(event.key(), keypad);
        break;
    }
}

void MainWindow::ownKeyDown(int key, bool keypad) {
    switch (key) {
    case Qt::Key_Q:
        if (ctrlDown_)
            Close1Click();
        break;
    case Qt::Key_F:
        if (ctrlDown_)
            Prisposob1Click();
        break;
    case Qt::Key_F1:
        Ovldanie1Click();
        break;
    case Qt::Key_F10:
        menuBar()->setActiveAction(menuBar()->actions().constFirst());
        break;
    case Qt::Key_Equal:
        if (ctrlDown_)
            zoomCloser(viewPane_->centre());
        break;
    case Qt::Key_0:
        if (ctrlDown_ && !keypad)
            zoomFullSize(viewPane_->centre());
        break;
    case Qt::Key_Z:
        if (ctrlDown_ && shiftDown_)
            Znova1Click();
        else if (ctrlDown_)
            Spat1Click();
        break;
    case Qt::Key_Y:
        if (ctrlDown_)
            Znova1Click();
        break;
    case Qt::Key_F2:
        if (shiftDown_)
            UlozPracuAko1Click();
        else
            UlozPracu1Click();
        break;
    case Qt::Key_F3:
        OtvorPracu1Click();
        break;
    case Qt::Key_F4:
        DielnaPravidiel1Click();
        break;
    case Qt::Key_Escape:
        viewPane_->clearOutline();
        break;
    default:
        break;
    }
}

void MainWindow::FormKeyUp(const QKeyEvent& event) {
    // A held key repeats its presses only; a release that belongs to a repeat is no key-up.
    if (event.isAutoRepeat())
        return;
    if (event.key() == Qt::Key_Shift)
        shiftDown_ = false;
    else if (event.key() == Qt::Key_Control)
        ctrlDown_ = false;
}
