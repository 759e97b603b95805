// The main window: start-up, its controls and menus, the view controls (zoom, keys, resizing,
// scrolling), "Neškáluj", "Farba medzery", the other windows, and the view it paints.

#include "windowfixture.h"

#include "about.h"
#include "dialog.h"
#include "imageview.h"
#include "info.h"
#include "messages.h"
#include "render.h"

#include <QActionGroup>
#include <QColorDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>
#include <fstream>
#include <functional>
#include <optional>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace windowtest;
namespace messages = ornamo::messages;

namespace {

// Compares what a control shows with the view image seen from (hpos, vpos).
void expectShows(QWidget* control, const ornamo::Bitmap& view, int hpos, int vpos) {
    const QImage shown = control->grab().toImage().convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(shown.width(), std::min(control->width(), view.width() - hpos));
    ASSERT_EQ(shown.height(), std::min(control->height(), view.height() - vpos));
    int differing = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb p = shown.pixel(x, y);
            const ornamo::Color c = view.pixel(x + hpos, y + vpos);
            differing += qRed(p) != ornamo::redOf(c) || qGreen(p) != ornamo::greenOf(c) ||
                         qBlue(p) != ornamo::blueOf(c);
        }
    EXPECT_EQ(differing, 0) << "pixels differ from the view seen from " << hpos << ", " << vpos;
}

// Shows what the scroll bars point at, or the top-left corner where they are hidden.
void expectShowsScrolled(MainWindow& window) {
    auto* across = child<QScrollBar>(window, "ScrollBar1");
    auto* down = child<QScrollBar>(window, "ScrollBar2");
    expectShows(child<QWidget>(window, "Image1"), window.view().toBitmap(),
                across->isVisible() ? across->value() : 0, down->isVisible() ? down->value() : 0);
}

// A started window whose 640-pixel view (four times "Stvorec", "Neškáluj" on) needs scrolling.
std::unique_ptr<MainWindow> largeViewWindow(const StartFolder& folder) {
    auto window = startWindow(folder);
    trigger(*window, "Nekluj1");
    for (int i = 0; i < 4; ++i)
        click(*window, "com1");
    EXPECT_EQ(window->view().toBitmap().width(), 640);
    return window;
}

// Keys go to the focused control, as the keyboard would send them.
QWidget* keyTarget(QWidget* focused) {
    return QApplication::focusWidget() ? QApplication::focusWidget() : focused;
}
void key(QWidget* focused, Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(keyTarget(focused), k, modifiers);
}

// Holds Shift or Ctrl down around `k`, as the keyboard sends it; the window follows the
// modifier's own presses and releases.
void chord(MainWindow& window, QWidget* focused, Qt::Key k, Qt::KeyboardModifier modifier) {
    const bool shift = modifier == Qt::ShiftModifier;
    const Qt::Key held = shift ? Qt::Key_Shift : Qt::Key_Control;
    QTest::keyPress(keyTarget(focused), held);
    EXPECT_TRUE(shift ? window.shiftDown() : window.ctrlDown());
    key(focused, k, modifier);
    QTest::keyRelease(keyTarget(&window), held);
    EXPECT_FALSE(window.shiftDown() || window.ctrlDown());
}

} // namespace

// ---- Start-up ----

TEST(StartUp, ANonSquareDefaultTileIsCroppedBeforeTheWindowShows) {
    struct Row {
        const char* name;
        int width, height;
        const char* radio;
        int keptLeft, keptTop;
    };
    const Row rows[] = {
        {"wide, middle", 60, 40, "RadioButton3", 10, 0},
        {"wide, cut the left", 60, 40, "RadioButton1", 20, 0},
        {"tall, cut the top", 30, 50, "RadioButton1", 0, 20},
        {"tall, cut the bottom", 30, 50, "RadioButton2", 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartFolder folder;
        folder.writeTile(numberedTile(row.width, row.height));
        folder.writeHierarchy(standardHierarchy);
        bool windowShownMeanwhile = true;
        ModalScript script;
        script.then<CropDialog>([&](CropDialog& dialog) {
            const QWidgetList windows = QApplication::topLevelWidgets();
            windowShownMeanwhile = std::any_of(windows.begin(), windows.end(), [](QWidget* w) {
                return qobject_cast<MainWindow*>(w) && w->isVisible();
            });
            child<QRadioButton>(dialog, row.radio)->click();
            child<QPushButton>(dialog, "Button1")->click();
        });
        auto window = startWindow(folder);
        EXPECT_FALSE(windowShownMeanwhile);
        const int side = std::min(row.width, row.height);
        ornamo::Bitmap expected(side, side);
        expected.draw(numberedTile(row.width, row.height), -row.keptLeft, -row.keptTop);
        EXPECT_EQ(window->view().toBitmap(), expected);
        EXPECT_EQ(window->model().mosaic().tileSize, side);
        EXPECT_EQ(child<QWidget>(*window, "Image1")->size(), QSize(side, side));
    }
}

TEST(StartUp, AMissingDefaultTileOrHierarchyIsReported) {
    struct Row {
        const char* name;
        std::optional<std::string> tile; // its bytes, or goodTile for a 40 x 40 one; none: no file
        std::optional<std::string> hierarchy;
        std::string message;
        QStringList captions; // of the enabled buttons, in order
    };
    const std::string goodTile = "numbered";
    const std::string noTile(messages::defaultTileMissing);
    const Row rows[] = {
        {"no default tile", std::nullopt, standardHierarchy, noTile, {}},
        {"a default tile that is not a bitmap", "BMnot really", standardHierarchy, noTile, {}},
        {"an empty default tile", "", standardHierarchy, noTile, {}},
        {"no default hierarchy", goodTile, std::nullopt, messages::openFailed("default.hrh"), {}},
        {"a fault in the second record", goodTile,
         "A&B\nscale: 2\nitem: 1\n0 0 2 2 R0\nB\nscale: 2\nitem: 1\n0 0 1 1 r0\n",
         std::string(messages::badFormat), QStringList("A&B")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartFolder folder;
        if (row.tile == goodTile)
            folder.writeTile(numberedTile(40, 40));
        else if (row.tile)
            folder.writeFile("dlazdice/default.bmp", *row.tile);
        if (row.hierarchy)
            folder.writeHierarchy(*row.hierarchy);
        QStringList texts;
        ModalScript script;
        script.message(&texts);
        MainWindow window(folder.path());
        EXPECT_EQ(window.startedUp(), row.tile == goodTile);
        EXPECT_EQ(texts, QStringList{text(row.message)});
        // Without a tile nothing more is read: the command buttons stay as designed.
        for (int n = 1; n <= 12; ++n) {
            auto* button = child<QPushButton>(window, QStringLiteral("com%1").arg(n).toLatin1());
            const bool loaded = n <= row.captions.size();
            EXPECT_EQ(button->isEnabled(), loaded) << "com" << n;
            // '&' is shown as itself, not taken as a mnemonic.
            EXPECT_EQ(button->text().replace(QStringLiteral("&&"), QStringLiteral("&")),
                      loaded ? row.captions[n - 1] : QStringLiteral("--"))
                << "com" << n;
        }
    }
}

// The square default tile at its own size, the standard commands on the buttons, and every
// control and menu item as it first stands.
TEST(StartUp, InitialStateOfEveryControlAndMenuItem) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ornamo"));
    EXPECT_EQ(window->frameGeometry(), QRect(128, 114, 525, 460));
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_EQ(window->view().toBitmap(), numberedTile(40, 40));
    expectShows(child<ImageView>(*window, "Image1"), window->view().toBitmap(), 0, 0);

    struct Row {
        const char* name;
        QString text; // menu items: empty for a separator
        bool enabled;
        bool visible;
        QRect geometry; // controls only
    };
    const Row rows[] = {
        {"Button1", "Zmenši", true, true, {8, 8, 97, 57}},
        {"Button2", "Zväčši", true, true, {8, 72, 97, 57}},
        {"Label2", text(messages::busyRendering), true, false, {8, 144, 95, 16}},
        {"ProgressBar1", "0%", true, false, {8, 160, 97, 17}},
        {"Label1", "Príkazový zásobník:", true, true, {8, 192, 96, 13}},
        {"ComboBox1", text(messages::emptyStackLower), false, true, {8, 208, 97, 21}},
        {"Panel1", {}, true, true, {8, 240, 97, 169}},
        {"com1", "Stvorec", true, true, {8, 16, 41, 25}},
        {"com2", "Pruh", true, true, {48, 16, 41, 25}},
        {"com3", "Trojka", true, true, {8, 40, 41, 25}},
        {"com4", "Posun", true, true, {48, 40, 41, 25}},
        {"com5", "Štvorec", true, true, {8, 64, 41, 25}},
        {"com6", "--", false, true, {48, 64, 41, 25}},
        {"com11", "--", false, true, {8, 136, 41, 25}},
        {"com12", "--", false, true, {48, 136, 41, 25}},
        {"Image1", {}, true, true, {112, 8, 40, 40}},
        {"ScrollBar1", {}, true, false, {112, 393, 371, 17}},
        {"ScrollBar2", {}, true, false, {497, 8, 16, 371}},
        {"OpenImage1", "Otvor Bitmapu", true, true, {}},
        {"UloBitmapu1", "Ulož Bitmapu", true, true, {}},
        {"Natajhierarchiu1", "Načítaj hierarchiu", true, true, {}},
        {"N1", {}, true, true, {}},
        {"Close1", "Koniec", true, true, {}},
        {"Reset1", "Reset", true, true, {}},
        {"Zruposlednoperciu1", "Zruš posledný príkaz", true, true, {}},
        {"Zrusvybrany1", "Zruš vybraný príkaz", true, true, {}},
        {"Zrupovybranprkaz1", "Zruš po vybraný príkaz", true, true, {}},
        {"Zameprkaz1", "Zameň vybraný príkaz", true, true, {}},
        {"Vloprkaz1", "Vlož pred vybraný príkaz", true, true, {}},
        {"Farbamedzery1", "Farba medzery", true, true, {}},
        {"N2", {}, true, true, {}},
        {"Nekluj1", "Neškáluj", true, true, {}},
        {"Ovldanie1", "Ovládanie", true, true, {}},
        {"Oprograme1", "O programe", true, true, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (auto* item = window->findChild<QAction*>(QString::fromLatin1(row.name))) {
            EXPECT_EQ(item->text(), row.text);
            EXPECT_EQ(item->isSeparator(), row.text.isEmpty());
            EXPECT_EQ(item->isEnabled(), row.enabled);
            EXPECT_TRUE(item->shortcut().isEmpty());
            continue;
        }
        auto* control = child<QWidget>(*window, row.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->isEnabled(), row.enabled);
        EXPECT_EQ(control->isVisible(), row.visible);
        QRect geometry = control->geometry();
        // A label may be a few pixels wider than designed where the stand-in face needs it.
        if (qobject_cast<QLabel*>(control))
            geometry.setWidth(std::min(geometry.width(), row.geometry.width()));
        EXPECT_EQ(geometry, row.geometry);
        EXPECT_EQ(control->property(qobject_cast<QComboBox*>(control) ? "currentText" : "text")
                      .toString(),
                  row.text);
    }
    EXPECT_EQ(child<QComboBox>(*window, "ComboBox1")->count(), 0);
    EXPECT_EQ(child<QProgressBar>(*window, "ProgressBar1")->maximum(), 100);
    EXPECT_EQ(child<QWidget>(*window, "com7")->parentWidget(), child<QWidget>(*window, "Panel1"));
    QAction* noScale = action(*window, "Nekluj1");
    EXPECT_TRUE(noScale->isCheckable());
    EXPECT_FALSE(noScale->isChecked());
    // A radio-style item: an exclusive group draws the round mark.
    ASSERT_NE(noScale->actionGroup(), nullptr);
    EXPECT_TRUE(noScale->actionGroup()->isExclusive());

    QString menus;
    for (QAction* entry : window->menuBar()->actions()) {
        menus += entry->menu()->objectName() + '(' + entry->text() + "):";
        for (QAction* item : entry->menu()->actions())
            menus += ' ' + item->objectName();
        menus += '\n';
    }
    EXPECT_EQ(
        menus,
        text("Files1(Súbor): OpenImage1 UloBitmapu1 Exportujobrazok1 Natajhierarchiu1 N1 Close1\n"
             "Mosaic1(Mozaika): Reset1 Zruposlednoperciu1 Zrusvybrany1 "
             "Zrupovybranprkaz1 Zameprkaz1 Vloprkaz1 Farbamedzery1 N2 Nekluj1\n"
             "Pomoc1(Pomoc): Ovldanie1 Oprograme1\n"));

    QStringList tabOrder{"Button1", "Button2", "Panel1"};
    for (int n = 1; n <= 12; ++n)
        tabOrder << QStringLiteral("com%1").arg(n);
    tabOrder += QStringList{"ComboBox1", "ScrollBar1", "ScrollBar2", "ProgressBar1"};
    QStringList chain;
    QWidget* focus = child<QWidget>(*window, "Button1");
    do {
        if (tabOrder.contains(focus->objectName()) && !chain.contains(focus->objectName()))
            chain << focus->objectName();
        focus = focus->nextInFocusChain();
    } while (focus && focus != child<QWidget>(*window, "Button1"));
    EXPECT_EQ(chain, tabOrder);
}

// ---- Zoom ----

TEST(Zoom, SequencesOfPressesAndTheirMessage) {
    struct Row {
        const char* name;
        int command;              // applied first, 0 = none
        const char* setup;        // presses after that, not checked
        const char* presses;      // keypad keys: '-' zooms out, '+' in, '*' to full size
        std::vector<int> factors; // after each press
        int messages;
    };
    const Row rows[] = {
        // The view of the 40-pixel mosaic is empty from factor 64 on.
        {"out from 1", 0, "", "--------", {2, 4, 8, 16, 32, 64, 128, 128}, 1},
        {"out from 3", 3, "", "-------", {6, 12, 24, 48, 96, 192, 192}, 1},
        {"in from 3", 3, "", "+++", {1, 1, 1}, 0},
        {"in from 128 and back out", 0, "-------", "+--", {64, 128, 128}, 1},
        {"full size from 12", 2, "--", "*-", {1, 2}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto folder = standardFolder();
        auto window = startWindow(*folder);
        if (row.command)
            click(*window, QStringLiteral("com%1").arg(row.command).toLatin1());
        // The buttons for out and in, the key for full size.
        const auto press = [&](char key) {
            if (key == '*')
                QTest::keyClick(child<QWidget>(*window, "Button1"), Qt::Key_Asterisk,
                                Qt::KeypadModifier);
            else
                click(*window, key == '-' ? "Button1" : "Button2");
        };
        for (const char* key = row.setup; *key; ++key)
            press(*key);
        QStringList texts;
        ModalScript script;
        for (int i = 0; i < row.messages; ++i)
            script.message(&texts);
        const int side = static_cast<int>(window->model().mosaic().extent());
        for (std::size_t i = 0; i < row.factors.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "press " << i);
            press(row.presses[i]);
            const int f = row.factors[i];
            EXPECT_EQ(window->model().shrinkFactor(), f);
            const int viewSide = side <= f ? 0 : f <= 1 ? side : side / f;
            EXPECT_EQ(window->view().toBitmap().width(), viewSide);
            EXPECT_EQ(window->view().toBitmap().height(), viewSide);
            EXPECT_EQ(child<QWidget>(*window, "Image1")->size(), QSize(viewSide, viewSide));
        }
        EXPECT_FALSE(child<QWidget>(*window, "ScrollBar1")->isVisible());
        EXPECT_EQ(texts, QStringList(row.messages, text(messages::zoomPointless)));
    }
}

#if defined(__GLIBC__)
// A view that cannot be allocated (the address space is capped just above what the process
// holds) ends the zoom with the memory message and leaves factor, switch and picture as shown.
TEST(Zoom, AViewThatDoesNotFitChangesNothing) {
    struct Row {
        const char* name;
        std::function<void(MainWindow&)> act;
    };
    const auto fullSizeKey = [](MainWindow& w) {
        key(child<QWidget>(w, "Button1"), Qt::Key_Asterisk, Qt::KeypadModifier);
    };
    const Row rows[] = {
        {"Zväčši", [](MainWindow& w) { click(w, "Button2"); }},
        {"keypad *", fullSizeKey},
        {"Neškáluj on", [](MainWindow& w) { trigger(w, "Nekluj1"); }},
    };
    // Large blocks are mapped and given back on release, and every thread allocates from the
    // one heap (no other arena holds reserved address space to fall back on), so a full-size
    // view of 48 MB, which is small enough to be kept whole, must take new address space.
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    malloc_trim(0);
    const int tileSide = 1000;
    auto folder = std::make_unique<StartFolder>();
    folder->writeTile(numberedTile(tileSide, tileSide));
    folder->writeHierarchy(standardHierarchy);
    auto window = startWindow(*folder);
    click(*window, "com1"); // grid 2 twice: a mosaic four tiles across, factor 4
    click(*window, "com1");
    click(*window, "Button2");
    const ornamo::Bitmap shown = window->view().toBitmap(); // at factor 2
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QStringList texts;
        ModalScript script;
        script.message(&texts);
        rlimit before{};
        ASSERT_EQ(getrlimit(RLIMIT_AS, &before), 0);
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        ASSERT_GT(pages, 0);
        rlimit capped = before;
        capped.rlim_cur =
            static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (2u << 20);
        ASSERT_EQ(setrlimit(RLIMIT_AS, &capped), 0);
        row.act(*window);
        setrlimit(RLIMIT_AS, &before);
        EXPECT_EQ(texts, QStringList{text(messages::notEnoughMemory)});
        EXPECT_EQ(window->model().shrinkFactor(), 2);
        EXPECT_FALSE(window->model().noScale());
        EXPECT_FALSE(action(*window, "Nekluj1")->isChecked());
        EXPECT_EQ(window->view().toBitmap(), shown);
        EXPECT_FALSE(child<QLabel>(*window, "Label2")->isVisible());
    }
    // Uncapped, the same key works.
    fullSizeKey(*window);
    EXPECT_EQ(window->view().toBitmap(), fullImage(*window));
}
#endif

// ---- Keys ----

TEST(Keys, ShortcutsActWhicheverControlHasTheFocus) {
    for (const char* focusName :
         {"Button1", "Button2", "com1", "com4", "ComboBox1", "ScrollBar1", "ScrollBar2"}) {
        SCOPED_TRACE(focusName);
        auto folder = standardFolder();
        auto window = largeViewWindow(*folder); // the scroll bars show and can take the focus
        QWidget* focused = child<QWidget>(*window, focusName);
        focused->setFocus();
        ASSERT_TRUE(focused->hasFocus() || focused->isAncestorOf(QApplication::focusWidget()));

        key(focused, Qt::Key_Minus, Qt::KeypadModifier);
        EXPECT_EQ(window->model().shrinkFactor(), 2);
        key(focused, Qt::Key_Minus); // the main keyboard's minus and plus do nothing here
        key(focused, Qt::Key_Plus);
        EXPECT_EQ(window->model().shrinkFactor(), 2);
        key(focused, Qt::Key_Plus, Qt::KeypadModifier);
        EXPECT_EQ(window->model().shrinkFactor(), 1);
        key(focused, Qt::Key_Minus, Qt::KeypadModifier);
        key(focused, Qt::Key_Asterisk, Qt::KeypadModifier);
        EXPECT_EQ(window->model().shrinkFactor(), 1);

        // Ctrl with O, S, U and Insert brings up its dialog (cancelled here); alone, they do
        // nothing. Ctrl comes up while the dialog has the keyboard, so the window never sees its
        // release: once it is active again, Backspace must still undo rather than reset.
        const std::pair<Qt::Key, const char*> dialogs[] = {{Qt::Key_O, "OpenDialog1"},
                                                           {Qt::Key_S, "SavePictureDialog1"},
                                                           {Qt::Key_U, "TForm3"},
                                                           {Qt::Key_Insert, "TForm3"}};
        for (const auto& [pressed, dialogName] : dialogs) {
            QString seen;
            ModalScript script;
            script.then<QDialog>([&](QDialog& dialog) {
                seen = dialog.objectName();
                QTest::keyRelease(&dialog, Qt::Key_Control);
                dialog.reject();
            });
            QTest::keyPress(keyTarget(focused), pressed, Qt::ControlModifier);
            EXPECT_EQ(seen, QString::fromLatin1(dialogName));
            QApplication::setActiveWindow(window.get());
            QApplication::processEvents();
            ASSERT_FALSE(window->ctrlDown()) << "or the plain key below would act as a shortcut";
            key(focused, pressed);
        }
        EXPECT_EQ(stackNumbers(*window), (std::vector<int>{1, 1, 1, 1}));

        // Backspace undoes the newest command; typed into the list it is also put back.
        key(focused, Qt::Key_Backspace);
        EXPECT_EQ(stackNumbers(*window), (std::vector<int>{1, 1, 1}));
        EXPECT_EQ(child<QComboBox>(*window, "ComboBox1")->currentText(), QStringLiteral("Stvorec"));
        // Delete removes the chosen (newest) command, Shift+Delete the ones above the chosen.
        key(focused, Qt::Key_Delete);
        EXPECT_EQ(stackNumbers(*window), (std::vector<int>{1, 1}));
        chord(*window, focused, Qt::Key_Delete, Qt::ShiftModifier);
        EXPECT_EQ(stackNumbers(*window), (std::vector<int>{1, 1})); // position 0: nothing above
        chord(*window, focused, Qt::Key_Backspace, Qt::ControlModifier);
        EXPECT_TRUE(window->model().stack().empty()) << "Ctrl+Backspace resets";
    }
}

// ---- Resizing and scrolling ----

TEST(View, ResizeLimitsTheImageAndBringsUpTheScrollBars) {
    auto folder = standardFolder();
    auto window = largeViewWindow(*folder);
    auto* image = child<QWidget>(*window, "Image1");
    auto* across = child<QScrollBar>(*window, "ScrollBar1");
    auto* down = child<QScrollBar>(*window, "ScrollBar2");
    struct Row {
        QSize asked;
        QSize outer; // what the window keeps of it
        QSize image;
        int acrossMaximum; // -1: hidden
        int downMaximum;
    };
    const Row rows[] = {
        {{525, 460}, {525, 460}, {385, 385}, 255, 255},
        {{700, 800}, {700, 800}, {560, 640}, 80, -1},
        {{1000, 900}, {1000, 900}, {640, 640}, -1, -1},
        {{300, 500}, {300, 500}, {160, 425}, 480, 215},
        {{100, 100}, {188, 460}, {48, 385}, 592, 255}, // the smallest size
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.asked.width() << " x " << row.asked.height());
        window->resize(row.asked - (window->frameGeometry().size() - window->size()));
        QApplication::processEvents();
        ASSERT_EQ(window->frameGeometry().size(), row.outer);
        EXPECT_EQ(image->geometry(), QRect(QPoint(112, 8), row.image));
        EXPECT_EQ(across->isVisible(), row.acrossMaximum >= 0);
        EXPECT_EQ(down->isVisible(), row.downMaximum >= 0);
        if (row.acrossMaximum >= 0) {
            EXPECT_EQ(across->maximum(), row.acrossMaximum);
            EXPECT_EQ(across->geometry(),
                      QRect(112, 8 + row.image.height(), row.outer.width() - 154, 17));
        }
        if (row.downMaximum >= 0) {
            EXPECT_EQ(down->maximum(), row.downMaximum);
            EXPECT_EQ(down->geometry(),
                      QRect(112 + row.image.width(), 8, 16, row.outer.height() - 89));
        }
        expectShowsScrolled(*window);
    }

    // Scrolling moves the painted view by one pixel per step, and a page is one pixel too.
    across->setFocus();
    for (Qt::Key k : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Left})
        QTest::keyClick(across, k);
    down->setFocus();
    for (Qt::Key k : {Qt::Key_Down, Qt::Key_Down, Qt::Key_PageDown, Qt::Key_Up})
        QTest::keyClick(down, k);
    EXPECT_EQ(across->value(), 1);
    EXPECT_EQ(down->value(), 2);
    expectShowsScrolled(*window);
    across->setValue(across->maximum());
    down->setValue(down->maximum());
    expectShows(image, window->view().toBitmap(), across->maximum(), down->maximum());
    // A smaller view pulls the positions back to the new maxima.
    click(*window, "Button1");
    EXPECT_EQ(across->value(), across->maximum());
    expectShowsScrolled(*window);
    // Enlarging the window until the view fits shows it from its top-left corner.
    window->resize(1600, 1200);
    QApplication::processEvents();
    EXPECT_FALSE(across->isVisible());
    expectShows(image, window->view().toBitmap(), 0, 0);
}

TEST(View, WheelScrollsZoomsAndDraggingPans) {
    auto folder = standardFolder();
    auto window = largeViewWindow(*folder);
    auto* image = child<QWidget>(*window, "Image1");
    auto* across = child<QScrollBar>(*window, "ScrollBar1");
    auto* down = child<QScrollBar>(*window, "ScrollBar2");
    const int step = image->height() / 8;
    const auto wheel = [](QWidget* over, int delta, Qt::KeyboardModifiers modifiers) {
        QWheelEvent event(QPointF(5, 5), over->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &event);
    };
    struct Row {
        const char* name;
        QWidget* over;
        int delta;
        Qt::KeyboardModifiers modifiers;
        QPoint position; // of the scroll bars afterwards
    };
    const Row rows[] = {
        {"two notches down over the picture", image, -240, Qt::NoModifier, {0, 2 * step}},
        {"a notch up", image, 120, Qt::NoModifier, {0, step}},
        {"half a notch does nothing yet", image, -60, Qt::NoModifier, {0, step}},
        {"the other half makes it one", image, -60, Qt::NoModifier, {0, 2 * step}},
        {"Shift scrolls across", image, -120, Qt::ShiftModifier, {step, 2 * step}},
        {"over the horizontal bar", across, -120, Qt::NoModifier, {2 * step, 2 * step}},
        {"over the vertical bar", down, 120, Qt::NoModifier, {2 * step, step}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        wheel(row.over, row.delta, row.modifiers);
        EXPECT_EQ(QPoint(across->value(), down->value()), row.position);
        expectShowsScrolled(*window);
    }
    // Dragging the picture right and up moves the view left and down.
    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(50, 50));
    QMouseEvent move(QEvent::MouseMove, QPointF(70, 40), image->mapToGlobal(QPointF(70, 40)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(image, &move);
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(70, 40));
    EXPECT_EQ(QPoint(across->value(), down->value()), QPoint(2 * step - 20, step + 10));
    expectShowsScrolled(*window);
    // Ctrl zooms: out a notch, then in.
    wheel(image, -120, Qt::ControlModifier);
    EXPECT_EQ(window->model().shrinkFactor(), 2);
    EXPECT_EQ(window->view().side(), 320);
    wheel(image, 120, Qt::ControlModifier);
    EXPECT_EQ(window->model().shrinkFactor(), 1);
}

TEST(View, AViewTooLargeToKeepIsComputedWhereScrollingShowsIt) {
    // A 2500-pixel tile after "Stvorec" is a 5000-pixel mosaic: its full-size view (75 MB) is
    // not kept, only the part on screen is computed.
    auto folder = std::make_unique<StartFolder>();
    folder->writeTile(numberedTile(2500, 2500));
    folder->writeHierarchy(standardHierarchy);
    auto window = startWindow(*folder);
    click(*window, "com1");
    key(child<QWidget>(*window, "Button1"), Qt::Key_Asterisk, Qt::KeypadModifier);
    ASSERT_EQ(window->view().side(), 5000);
    EXPECT_FALSE(window->view().isHeld());
    const ornamo::Bitmap full = fullImage(*window);
    auto* image = child<QWidget>(*window, "Image1");
    auto* across = child<QScrollBar>(*window, "ScrollBar1");
    auto* down = child<QScrollBar>(*window, "ScrollBar2");
    for (const QPoint at : {QPoint(0, 0), QPoint(2480, 17), QPoint(1, 2600), QPoint(2480, 17),
                            QPoint(across->maximum(), down->maximum())}) {
        across->setValue(at.x());
        down->setValue(at.y());
        expectShows(image, full, at.x(), at.y());
    }
}

TEST(View, ImagePaintsTheEngineViewPixelForPixel) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    for (const char* name : {"com2", "com4", "com1", "Button2"}) // factor 24, zoomed in to 12
        click(*window, name);
    // The engine's own view of the same mosaic.
    ornamo::Bitmap mosaicImage;
    ornamo::Bitmap view;
    ornamo::renderMosaic(window->model().mosaic(), mosaicImage);
    ornamo::ShrinkBitmap(12, 12, mosaicImage, view);
    ASSERT_EQ(view.width(), 960 / 12);
    EXPECT_EQ(window->view().toBitmap(), view);
    expectShows(child<QWidget>(*window, "Image1"), view, 0, 0);
}

// ---- The window's own items ----

TEST(Items, NoScaleShowsTheFullImageAndTheNextCommandMultipliesFromOne) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com1");
    click(*window, "com1");
    ASSERT_EQ(window->view().toBitmap().width(), 40);

    QAction* noScale = action(*window, "Nekluj1");
    noScale->trigger();
    EXPECT_TRUE(noScale->isChecked());
    EXPECT_TRUE(window->model().noScale());
    EXPECT_EQ(window->model().shrinkFactor(), 1);
    EXPECT_EQ(window->view().toBitmap(), fullImage(*window));
    EXPECT_EQ(window->view().toBitmap().width(), 160);

    // While it is on, commands leave the factor at 1 and the zoom still works.
    click(*window, "com1");
    EXPECT_EQ(window->model().shrinkFactor(), 1);
    EXPECT_EQ(window->view().toBitmap().width(), 320);
    click(*window, "Button1");
    EXPECT_EQ(window->view().toBitmap().width(), 160);
    click(*window, "Button2");

    BusyCounter busy(child<QLabel>(*window, "Label2"));
    noScale->trigger();
    EXPECT_FALSE(noScale->isChecked());
    EXPECT_FALSE(window->model().noScale());
    EXPECT_EQ(window->model().shrinkFactor(), 1);
    EXPECT_TRUE(busy.captions().isEmpty()); // switched off, nothing is drawn again
    EXPECT_EQ(window->view().toBitmap().width(), 320);
    click(*window, "com3");
    EXPECT_EQ(window->model().shrinkFactor(), 3);
}

TEST(Items, GapColourAfterOkAndAfterCancel) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com2"); // the middle row of three is a gap
    struct Row {
        const char* name;
        QColor offered; // the colour last confirmed, white at first
        QColor chosen;
        bool ok;
        ornamo::Color expected;
    };
    const Row rows[] = {
        {"red, OK", Qt::white, Qt::red, true, ornamo::makeColor(255, 0, 0)},
        {"blue, Cancel", Qt::red, Qt::blue, false, ornamo::makeColor(255, 0, 0)},
        {"green-ish, OK", Qt::red, QColor(10, 200, 30), true, ornamo::makeColor(10, 200, 30)},
        {"untouched, Cancel", QColor(10, 200, 30), {}, false, ornamo::makeColor(10, 200, 30)},
    };
    EXPECT_EQ(fullImage(*window).pixel(60, 60), ornamo::makeColor(255, 255, 255));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        BusyCounter busy(child<QLabel>(*window, "Label2"));
        ModalScript script;
        script.then<QColorDialog>([&](QColorDialog& dialog) {
            EXPECT_EQ(dialog.currentColor(), row.offered);
            if (row.chosen.isValid())
                dialog.setCurrentColor(row.chosen);
            row.ok ? dialog.accept() : dialog.reject();
        });
        trigger(*window, "Farbamedzery1");
        EXPECT_EQ(window->model().mosaic().gapColor, row.expected);
        EXPECT_EQ(fullImage(*window).pixel(60, 60), row.expected);
        EXPECT_EQ(busy.shown(messages::busyRendering), 1); // rendered once, after Cancel too
    }
}

TEST(Items, AboutIsModalAndHelpIsOneModelessWindow) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    bool modal = false;
    ModalScript script;
    script.then<AboutDialog>([&](AboutDialog& about) {
        modal = about.isModal() && QApplication::activeModalWidget() == &about &&
                !window->isActiveWindow();
        child<QPushButton>(about, "Button1")->click();
    });
    trigger(*window, "Oprograme1");
    EXPECT_TRUE(modal);

    const auto visibleHelpWindows = [] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        return std::count_if(windows.begin(), windows.end(), [](QWidget* w) {
            return qobject_cast<HelpWindow*>(w) && w->isVisible();
        });
    };
    trigger(*window, "Ovldanie1");
    trigger(*window, "Ovldanie1");
    EXPECT_EQ(visibleHelpWindows(), 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    click(*window, "com1"); // the main window goes on working beside it
    EXPECT_EQ(stackNumbers(*window), std::vector<int>{1});
    // Closing the main window ends the program, help window and all.
    trigger(*window, "Close1");
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(visibleHelpWindows(), 0);
}

// ---- Holding input off during a render ----

TEST(Busy, InputThatWouldChangeTheMosaicWaitsForTheRender) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    bool sawBusy = false;
    bool labelShown = false;
    bool resetEnabled = true;
    QSize imageDuring;
    QTimer::singleShot(0, window.get(), [&] {
        // This runs while the render lets pending events through.
        sawBusy = window->isBusy();
        labelShown = child<QLabel>(*window, "Label2")->isVisible();
        resetEnabled = action(*window, "Reset1")->isEnabled();
        click(*window, "com2");
        click(*window, "Button1");
        QTest::keyClick(child<QWidget>(*window, "Button1"), Qt::Key_Minus, Qt::KeypadModifier);
        QTest::keyClick(child<QWidget>(*window, "Button1"), Qt::Key_Backspace);
        trigger(*window, "Reset1");
        // Resizing still works, on the view shown before.
        window->resize(300, 460);
        QApplication::processEvents();
        imageDuring = child<QWidget>(*window, "Image1")->size();
        window->close();
    });
    child<QPushButton>(*window, "com1")->click();
    EXPECT_TRUE(sawBusy);
    EXPECT_TRUE(labelShown);
    EXPECT_FALSE(resetEnabled);
    EXPECT_EQ(imageDuring, QSize(40, 40));
    EXPECT_EQ(stackNumbers(*window), std::vector<int>{1});
    EXPECT_EQ(window->model().shrinkFactor(), 2);
    EXPECT_FALSE(child<QLabel>(*window, "Label2")->isVisible());
    EXPECT_TRUE(action(*window, "Reset1")->isEnabled());
    // The close asked for during the render happens once it has ended.
    for (int i = 0; i < 100 && window->isVisible(); ++i)
        QTest::qWait(10);
    EXPECT_FALSE(window->isVisible());
}

TEST(Busy, TheStackListTakesNoChoiceDuringARender) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com1");
    click(*window, "com2");
    bool sawBusy = false;
    QTimer::singleShot(0, window.get(), [&] {
        sawBusy = window->isBusy();
        child<QComboBox>(*window, "ComboBox1")->setCurrentIndex(1); // another name
    });
    child<QPushButton>(*window, "com1")->click();
    EXPECT_TRUE(sawBusy);
    EXPECT_EQ(window->model().selectedIndex(), 0);
    EXPECT_EQ(child<QComboBox>(*window, "ComboBox1")->currentIndex(), 0);
}
