// The main window: start-up, its controls and menus, the view controls (zoom, keys, resizing,
// scrolling), "Neškáluj", "Farba medzery", the other windows, and the view it paints.

#include "windowfixture.h"

#include "about.h"
#include "dialog.h"
#include "info.h"
#include "outersize.h"

#include <QColorDialog>
#include <QMouseEvent>
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

namespace {

// Compares what a control shows with the view image seen from (hpos, vpos).
void expectShows(QWidget* control, const ornamo::Bitmap& view, int hpos, int vpos) {
    const QImage shown = control->grab().toImage();
    ASSERT_EQ(shown.size(), QSize(std::min(control->width(), view.width() - hpos),
                                  std::min(control->height(), view.height() - vpos)));
    expectPixels(shown, view, hpos, vpos);
}

// Shows what the scroll bars point at, or the top-left corner where they are hidden.
void expectShowsScrolled(MainWindow& window) {
    auto* across = child<QScrollBar>(window, "ScrollBar1");
    auto* down = child<QScrollBar>(window, "ScrollBar2");
    expectShows(child<QWidget>(window, "Image1"), wholeView(window.view()),
                across->isVisible() ? across->value() : 0, down->isVisible() ? down->value() : 0);
}

// A started window whose 640-pixel view (four times "Stvorec", "Neškáluj" on) needs scrolling.
std::unique_ptr<MainWindow> largeViewWindow(const StartFolder& folder) {
    auto window = startWindow(folder);
    trigger(*window, "Nekluj1");
    for (int i = 0; i < 4; ++i)
        click(*window, "com1");
    EXPECT_EQ(wholeView(window->view()).width(), 640);
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
        {"tall, cut the top", 30, 50, "RadioButton1", 0, 20},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartFolder folder;
        folder.writeTile(numberedImage(row.width, row.height));
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
        expected.draw(numberedImage(row.width, row.height), -row.keptLeft, -row.keptTop);
        EXPECT_EQ(wholeView(window->view()), expected);
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
    const std::string noTile = "Nemôžem nahrať súbor default.bmp z adresára dlazdice !!!";
    const Row rows[] = {
        {"no default tile", std::nullopt, standardHierarchy, noTile, {}},
        {"a default tile that is not a bitmap", "BMnot really", standardHierarchy, noTile, {}},
        {"no default hierarchy",
         goodTile,
         std::nullopt,
         "Zlyhalo otvorenie súboru default.hrh !!!",
         {}},
        {"a fault in the second record", goodTile,
         "A&B\nscale: 2\nitem: 1\n0 0 2 2 R0\nB\nscale: 2\nitem: 1\n0 0 1 1 r0\n",
         "Chybný formát súboru!", QStringList("A&B")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartFolder folder;
        if (row.tile == goodTile)
            folder.writeTile(numberedImage(40, 40));
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

// ---- Zoom ----

// The buttons zoom out and in, the keypad * goes to full size. The view of the 40-pixel mosaic
// is empty from factor 64 on, and 128 doubled is refused with a message.
TEST(Zoom, OutInAndFullSizeWithTheirCaptionAndMessage) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    const std::pair<char, int> presses[] = {{'-', 2},  {'-', 4},  {'-', 8},   {'-', 16},
                                            {'-', 32}, {'-', 64}, {'-', 128}, {'-', 128},
                                            {'+', 64}, {'*', 1},  {'+', 1},   {'-', 2}};
    QStringList texts;
    ModalScript script;
    script.message(&texts);
    for (const auto& [press, f] : presses) {
        SCOPED_TRACE(testing::Message() << press << " to " << f);
        const int before = window->model().shrinkFactor();
        BusyCounter busy(child<QLabel>(*window, "Label2"));
        if (press == '*')
            key(child<QWidget>(*window, "Button1"), Qt::Key_Asterisk, Qt::KeypadModifier);
        else
            click(*window, press == '-' ? "Button1" : "Button2");
        EXPECT_EQ(window->model().shrinkFactor(), f);
        const int viewSide = 40 <= f ? 0 : 40 / f;
        // A new factor that reduces a view with pixels in it says so.
        EXPECT_EQ(busy.shown(shrinking), f != before && f > 1 && viewSide > 0 ? 1 : 0);
        EXPECT_EQ(window->view().side(), viewSide);
        EXPECT_EQ(child<QWidget>(*window, "Image1")->size(), QSize(viewSide, viewSide));
    }
    EXPECT_EQ(texts, QStringList{QStringLiteral("Myslíš, že to má ešte zmysel?")});
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
    folder->writeTile(numberedImage(tileSide, tileSide));
    folder->writeHierarchy(standardHierarchy);
    auto window = startWindow(*folder);
    click(*window, "com1"); // grid 2 twice: a mosaic four tiles across, factor 4
    click(*window, "com1");
    click(*window, "Button2");
    const ornamo::Bitmap shown = wholeView(window->view()); // at factor 2
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
        EXPECT_EQ(texts, QStringList{QStringLiteral("Na túto mozaiku nie je dosť pamäte.")});
        EXPECT_EQ(window->model().shrinkFactor(), 2);
        EXPECT_FALSE(window->model().noScale());
        EXPECT_FALSE(action(*window, "Nekluj1")->isChecked());
        EXPECT_EQ(wholeView(window->view()), shown);
        EXPECT_FALSE(child<QLabel>(*window, "Label2")->isVisible());
    }
    // Uncapped, the same key works.
    fullSizeKey(*window);
    EXPECT_EQ(wholeView(window->view()), fullImage(*window));
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
        {{300, 500}, {300, 500}, {160, 425}, 480, 215},
        {{100, 100}, {188, 460}, {48, 385}, 592, 255}, // the smallest size
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.asked.width() << " x " << row.asked.height());
        window->resize(row.asked - (window->frameGeometry().size() - window->size()));
        QApplication::processEvents();
        ASSERT_EQ(window->frameGeometry().size(), row.outer);
        EXPECT_EQ(image->geometry(), QRect(QPoint(112, 8), row.image));
        EXPECT_EQ(across->isVisible() ? across->maximum() : -1, row.acrossMaximum);
        EXPECT_EQ(down->isVisible() ? down->maximum() : -1, row.downMaximum);
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
    expectShows(image, wholeView(window->view()), across->maximum(), down->maximum());
    // A smaller view pulls the positions back to the new maxima.
    click(*window, "Button1");
    EXPECT_EQ(across->value(), across->maximum());
    expectShowsScrolled(*window);
    // Enlarging the window until the view fits shows it from its top-left corner.
    window->resize(1600, 1200);
    QApplication::processEvents();
    EXPECT_FALSE(across->isVisible());
    expectShows(image, wholeView(window->view()), 0, 0);
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
        {"half a notch does nothing yet", image, -60, Qt::NoModifier, {0, 2 * step}},
        {"the other half makes it one", image, -60, Qt::NoModifier, {0, 3 * step}},
        {"Shift scrolls across", image, -120, Qt::ShiftModifier, {step, 3 * step}},
        {"over the horizontal bar", across, -120, Qt::NoModifier, {2 * step, 3 * step}},
        {"over the vertical bar", down, 120, Qt::NoModifier, {2 * step, 2 * step}},
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
    EXPECT_EQ(QPoint(across->value(), down->value()), QPoint(2 * step - 20, 2 * step + 10));
    expectShowsScrolled(*window);
    // Ctrl zooms a notch out (in, about the pointer, in the keys' tests).
    wheel(image, -120, Qt::ControlModifier);
    EXPECT_EQ(window->model().shrinkFactor(), 2);
    EXPECT_EQ(window->view().side(), 320);
}

TEST(View, AViewTooLargeToKeepIsComputedWhereScrollingShowsIt) {
    // A 2500-pixel tile after "Stvorec" is a 5000-pixel mosaic: its full-size view (75 MB) is
    // not kept, only the part on screen is computed.
    auto folder = std::make_unique<StartFolder>();
    folder->writeTile(numberedImage(2500, 2500));
    folder->writeHierarchy(standardHierarchy);
    auto window = startWindow(*folder);
    click(*window, "com1");
    key(child<QWidget>(*window, "Button1"), Qt::Key_Asterisk, Qt::KeypadModifier);
    ASSERT_EQ(window->view().side(), 5000);
    EXPECT_GT(ornamo::Bitmap::bytesFor(5000, 5000),
              ornamo::ViewLimits{}.heldBytes); // not kept whole
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

// ---- The window's own items ----

TEST(Items, NoScaleShowsTheFullImageAndTheNextCommandMultipliesFromOne) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com1");
    click(*window, "com1");
    QAction* noScale = action(*window, "Nekluj1");
    noScale->trigger();
    EXPECT_TRUE(noScale->isChecked());
    EXPECT_EQ(wholeView(window->view()), fullImage(*window)); // 160 pixels, not 40
    click(*window, "com1");                                   // the factor stays 1
    EXPECT_EQ(window->view().side(), 320);

    // Switched off, nothing is drawn again; the next command multiplies from 1.
    BusyCounter busy(child<QLabel>(*window, "Label2"));
    noScale->trigger();
    EXPECT_FALSE(noScale->isChecked());
    EXPECT_TRUE(busy.captions().isEmpty());
    EXPECT_EQ(window->view().side(), 320);
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
        {"untouched, Cancel", Qt::red, {}, false, ornamo::makeColor(255, 0, 0)},
    };
    EXPECT_EQ(fullImage(*window).pixel(60, 60), ornamo::makeColor(255, 255, 255));
    QString tip = child<QPushButton>(*window, "com2")->toolTip(); // draws its gaps in the colour
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
        EXPECT_EQ(busy.shown(rendering), 1); // rendered once, after Cancel too
        const QString shown = child<QPushButton>(*window, "com2")->toolTip();
        EXPECT_EQ(shown != tip, row.ok);
        tip = shown;
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
    // Closing the main window ends the program, help window and all, once the unsaved work
    // is let go.
    script.message(nullptr, QMessageBox::Discard);
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
    ModalScript script;
    script.message(nullptr, QMessageBox::Discard); // the work is not saved
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

// A close asked for while a picture is saved waits for the save, then asks about the work.
TEST(Busy, ACloseDuringAPictureSaveComesOnceTheSaveHasEnded) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com1");
    const QString file = folder->file(QStringLiteral("picture.bmp"));
    bool busyAtClose = false;
    ModalScript script;
    script.then<QFileDialog>([&](QFileDialog& dialog) {
        // Asked as the save lets pending events through.
        QTimer::singleShot(0, window.get(),
                           [&] { busyAtClose = window->isBusy(), window->close(); });
        dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(file);
        static_cast<QDialog&>(dialog).accept();
    });
    script.message(nullptr, QMessageBox::Discard); // the work is not saved
    trigger(*window, "UloBitmapu1");
    for (int i = 0; i < 200 && window->isVisible(); ++i)
        QTest::qWait(10);
    EXPECT_TRUE(busyAtClose);
    EXPECT_TRUE(QFile::exists(file));
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

// The outer sizes hold whenever the window manager adds or changes the frame: until the user
// resizes the window, every new frame brings the client to the initial outer size less it.
TEST(View, TheOuterSizeFollowsTheFrameOnceItIsKnown) {
    OuterSizeFit fit({525, 460}, {188, 460});
    const struct {
        QSize frame, client, minimum;
        std::optional<QSize> resize;
    } steps[] = {
        {{0, 0}, {525, 460}, {188, 460}, QSize(525, 460)},   // shown, not framed yet
        {{2, 25}, {525, 460}, {186, 435}, QSize(523, 435)},  // framed later
        {{2, 25}, {523, 435}, {186, 435}, std::nullopt},     // the same frame again
        {{10, 40}, {523, 435}, {178, 420}, QSize(515, 420)}, // another theme
        {{10, 40}, {700, 500}, {178, 420}, std::nullopt},    // resized by the user
        {{4, 30}, {700, 500}, {184, 430}, std::nullopt},     // then framed anew: the size stays
    };
    for (const auto& step : steps) {
        const OuterSizeFit::ClientSizes sizes = fit.frameSeen(step.frame, step.client);
        EXPECT_EQ(sizes.minimum, step.minimum) << step.frame.width();
        EXPECT_EQ(sizes.resize, step.resize) << step.frame.width();
    }
}
