// The main window: start-up, layout, menus, the view controls (zoom, scrolling, resizing,
// keys), "Neškáluj", "Farba medzery", the other windows, and the view it paints.

#include "windowfixture.h"

#include "about.h"
#include "dialog.h"
#include "imageview.h"
#include "info.h"
#include "messages.h"
#include "render.h"

#include <QActionGroup>
#include <QColorDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>

using namespace windowtest;
namespace messages = ornamo::messages;

namespace {

// The side of the view for a mosaic image of side `side` reduced by `factor`.
int expectedViewSide(int side, int factor) {
    const int f = factor & 0xFFFF;
    if (side <= f)
        return 0;
    if (f <= 1)
        return side;
    return side / f;
}

QImage grabbed(QWidget* widget) { return widget->grab().toImage().convertToFormat(QImage::Format_RGB888); }

// Compares what a control shows with the view image seen from (hpos, vpos).
void expectShows(QWidget* control, const ornamo::Bitmap& view, int hpos, int vpos) {
    const QImage shown = grabbed(control);
    ASSERT_EQ(shown.width(), std::min(control->width(), view.width() - hpos));
    ASSERT_EQ(shown.height(), std::min(control->height(), view.height() - vpos));
    int differing = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb p = shown.pixel(x, y);
            const ornamo::Color c = view.pixel(x + hpos, y + vpos);
            if (qRed(p) != ornamo::redOf(c) || qGreen(p) != ornamo::greenOf(c) ||
                qBlue(p) != ornamo::blueOf(c))
                ++differing;
        }
    EXPECT_EQ(differing, 0) << "pixels differ from the view seen from " << hpos << ", " << vpos;
}

} // namespace

// ---- Start-up ----

TEST(StartUp, WithoutADefaultTileTheProgramSaysSoAndShowsNoWindow) {
    struct Row {
        const char* name;
        std::function<void(StartFolder&)> prepare;
    };
    const Row rows[] = {
        {"no file", [](StartFolder&) {}},
        {"not a bitmap", [](StartFolder& f) { f.writeFile("dlazdice/default.bmp", "BMnot really"); }},
        {"empty file", [](StartFolder& f) { f.writeFile("dlazdice/default.bmp", ""); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartFolder folder;
        folder.writeHierarchy(standardHierarchy);
        row.prepare(folder);
        QStringList texts;
        ModalScript script;
        script.message(&texts);
        MainWindow window(folder.path());
        EXPECT_FALSE(window.startedUp());
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(texts, QStringList{text(messages::defaultTileMissing)});
        // Nothing more was read: the command buttons stay as designed.
        EXPECT_FALSE(child<QPushButton>(window, "com1")->isEnabled());
    }
}

TEST(StartUp, ShowsTheSquareDefaultTileAtItsOwnSize) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    ASSERT_TRUE(window->startedUp());

    EXPECT_EQ(window->model().mosaic().tileSize, 40);
    EXPECT_EQ(window->model().shrinkFactor(), 1);
    EXPECT_TRUE(window->model().stack().empty());
    EXPECT_EQ(window->viewImage(), numberedTile(40, 40));
    EXPECT_EQ(window->mosaicImage(), numberedTile(40, 40));
    auto* image = child<ImageView>(*window, "Image1");
    EXPECT_EQ(image->geometry(), QRect(112, 8, 40, 40));
    expectShows(image, window->viewImage(), 0, 0);
}

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
            windowShownMeanwhile = false;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<MainWindow*>(w) && w->isVisible())
                    windowShownMeanwhile = true;
            child<QRadioButton>(dialog, row.radio)->click();
            child<QPushButton>(dialog, "Button1")->click();
        });
        auto window = startWindow(folder);
        EXPECT_FALSE(windowShownMeanwhile);

        const int side = std::min(row.width, row.height);
        ornamo::Bitmap expected(side, side);
        expected.draw(numberedTile(row.width, row.height), -row.keptLeft, -row.keptTop);
        EXPECT_EQ(window->viewImage(), expected);
        EXPECT_EQ(window->model().mosaic().tileSize, side);
        EXPECT_EQ(child<QWidget>(*window, "Image1")->size(), QSize(side, side));
    }
}

TEST(StartUp, TheDefaultHierarchyLabelsTheButtonsOrSaysWhatWentWrong) {
    struct Row {
        const char* name;
        std::optional<std::string> hierarchy;
        QStringList messages;
        QStringList captions; // of the enabled buttons, in order
    };
    const Row rows[] = {
        {"standard", standardHierarchy, {},
         {"Stvorec", "Pruh", "Trojka", "Posun", QString::fromUtf8("Štvorec")}},
        {"missing", std::nullopt, {text(messages::openFailed("default.hrh"))}, {}},
        {"fault in the second record",
         "A&B\nscale: 2\nitem: 1\n0 0 2 2 R0\nB\nscale: 2\nitem: 1\n0 0 1 1 r0\n",
         {text(messages::badFormat)},
         {"A&B"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartFolder folder;
        folder.writeTile(numberedTile(40, 40));
        if (row.hierarchy)
            folder.writeHierarchy(*row.hierarchy);
        QStringList texts;
        ModalScript script;
        for (int i = 0; i < row.messages.size(); ++i)
            script.message(&texts);
        auto window = startWindow(folder);
        ASSERT_TRUE(window->startedUp());
        EXPECT_EQ(texts, row.messages);
        for (int n = 1; n <= 12; ++n) {
            auto* button = child<QPushButton>(*window, QStringLiteral("com%1").arg(n).toLatin1());
            const bool loaded = n <= row.captions.size();
            EXPECT_EQ(button->isEnabled(), loaded) << "com" << n;
            // '&' is shown as itself, not taken as a mnemonic.
            const QString caption = loaded ? row.captions[n - 1] : QStringLiteral("--");
            EXPECT_EQ(button->text().replace(QStringLiteral("&&"), QStringLiteral("&")), caption)
                << "com" << n;
        }
    }
}

// ---- Layout ----

TEST(Layout, EveryControlStandsWhereTheFormPutsIt) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ornamo"));
    EXPECT_EQ(window->objectName(), QStringLiteral("TForm1"));
    EXPECT_EQ(window->frameGeometry(), QRect(128, 114, 525, 460));
    EXPECT_FALSE(window->windowIcon().isNull());

    struct Row {
        const char* name;
        QRect geometry;
        bool visible;
        bool enabled;
        QString text;
    };
    const Row rows[] = {
        {"Button1", {8, 8, 97, 57}, true, true, QStringLiteral("Zmenši")},
        {"Button2", {8, 72, 97, 57}, true, true, QStringLiteral("Zväčši")},
        {"Label2", {8, 144, 95, 16}, false, true, text(messages::busyRendering)},
        {"ProgressBar1", {8, 160, 97, 17}, false, true, {}},
        {"Label1", {8, 192, 96, 13}, true, true, QStringLiteral("Príkazový zásobník:")},
        {"ComboBox1", {8, 208, 97, 21}, true, false, text(messages::emptyStackLower)},
        {"Panel1", {8, 240, 97, 169}, true, true, {}},
        {"com1", {8, 16, 41, 25}, true, true, QStringLiteral("Stvorec")},
        {"com2", {48, 16, 41, 25}, true, true, QStringLiteral("Pruh")},
        {"com3", {8, 40, 41, 25}, true, true, QStringLiteral("Trojka")},
        {"com6", {48, 64, 41, 25}, true, false, QStringLiteral("--")},
        {"com11", {8, 136, 41, 25}, true, false, QStringLiteral("--")},
        {"com12", {48, 136, 41, 25}, true, false, QStringLiteral("--")},
        {"Image1", {112, 8, 40, 40}, true, true, {}},
        {"ScrollBar1", {112, 393, 371, 17}, false, true, {}},
        {"ScrollBar2", {497, 8, 16, 371}, false, true, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto* control = child<QWidget>(*window, row.name);
        ASSERT_NE(control, nullptr);
        QRect geometry = control->geometry();
        // A label may be a few pixels wider than designed where the stand-in face needs it.
        if (qobject_cast<QLabel*>(control))
            geometry.setWidth(std::min(geometry.width(), row.geometry.width()));
        EXPECT_EQ(geometry, row.geometry);
        EXPECT_EQ(control->isVisible(), row.visible);
        EXPECT_EQ(control->isEnabled(), row.enabled);
        QString shown;
        if (auto* b = qobject_cast<QAbstractButton*>(control))
            shown = b->text();
        else if (auto* l = qobject_cast<QLabel*>(control))
            shown = l->text();
        else if (auto* c = qobject_cast<QComboBox*>(control))
            shown = c->currentText();
        EXPECT_EQ(shown, row.text);
    }
    // The command buttons lie in the panel, the rest on the window's client area.
    EXPECT_EQ(child<QWidget>(*window, "com7")->parentWidget(), child<QWidget>(*window, "Panel1"));
    EXPECT_EQ(child<QComboBox>(*window, "ComboBox1")->count(), 0);
    EXPECT_EQ(child<QProgressBar>(*window, "ProgressBar1")->minimum(), 0);
    EXPECT_EQ(child<QProgressBar>(*window, "ProgressBar1")->maximum(), 100);
}

TEST(Layout, FontsHaveTheDesignedPixelSizesAndTheTextsFit) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    EXPECT_EQ(window->font().pixelSize(), 11);
    auto* busy = child<QLabel>(*window, "Label2");
    EXPECT_EQ(busy->font().pixelSize(), 13);
    EXPECT_TRUE(busy->font().bold());
    auto* command = child<QPushButton>(*window, "com1");
    EXPECT_EQ(command->font().pixelSize(), 11);
    EXPECT_EQ(command->font().styleHint(), QFont::Serif);

    for (const auto caption : {messages::busyRendering, messages::busyShrinking})
        EXPECT_LE(busy->fontMetrics().horizontalAdvance(text(caption)), busy->width());
    auto* stackLabel = child<QLabel>(*window, "Label1");
    EXPECT_LE(stackLabel->fontMetrics().horizontalAdvance(stackLabel->text()), stackLabel->width());
    // The label still ends before the view starts.
    EXPECT_LE(stackLabel->geometry().right(), 111);
    for (const char* name : {"Button1", "Button2"}) {
        auto* b = child<QPushButton>(*window, name);
        EXPECT_LT(b->fontMetrics().horizontalAdvance(b->text()), b->width());
    }
}

TEST(Layout, TabOrderFollowsTheForm) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    QStringList expected{"Button1", "Button2", "Panel1"};
    for (int n = 1; n <= 12; ++n)
        expected << QStringLiteral("com%1").arg(n);
    expected << "ComboBox1" << "ScrollBar1" << "ScrollBar2" << "ProgressBar1";

    QStringList chain;
    QWidget* first = child<QWidget>(*window, "Button1");
    QWidget* w = first;
    do {
        if (expected.contains(w->objectName()) && !chain.contains(w->objectName()))
            chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w && w != first);
    EXPECT_EQ(chain, expected);
}

TEST(Layout, MenusHoldEveryItemInOrderWithoutShortcuts) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    struct Item {
        const char* name;
        const char* caption; // nullptr for a separator
    };
    struct Menu {
        const char* name;
        const char* caption;
        std::vector<Item> items;
    };
    const Menu menus[] = {
        {"Files1", "Súbor",
         {{"OpenImage1", "Otvor Bitmapu"},
          {"UloBitmapu1", "Ulož Bitmapu"},
          {"Natajhierarchiu1", "Načítaj hierarchiu"},
          {"N1", nullptr},
          {"Close1", "Koniec"}}},
        {"Mosaic1", "Mozaika",
         {{"Reset1", "Reset"},
          {"Zruposlednoperciu1", "Zruš posledný príkaz"},
          {"Zrusvybrany1", "Zruš vybraný príkaz"},
          {"Zrupovybranprkaz1", "Zruš po vybraný príkaz"},
          {"Zameprkaz1", "Zameň vybraný príkaz"},
          {"Vloprkaz1", "Vlož pred vybraný príkaz"},
          {"Farbamedzery1", "Farba medzery"},
          {"N2", nullptr},
          {"Nekluj1", "Neškáluj"}}},
        {"Pomoc1", "Pomoc", {{"Ovldanie1", "Ovládanie"}, {"Oprograme1", "O programe"}}},
    };
    const QList<QAction*> bar = window->menuBar()->actions();
    ASSERT_EQ(bar.size(), 3);
    for (int m = 0; m < 3; ++m) {
        const Menu& expected = menus[m];
        SCOPED_TRACE(expected.name);
        QMenu* menu = bar[m]->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName(), QString::fromLatin1(expected.name));
        EXPECT_EQ(menu->title(), QString::fromUtf8(expected.caption));
        const QList<QAction*> items = menu->actions();
        ASSERT_EQ(items.size(), static_cast<qsizetype>(expected.items.size()));
        for (std::size_t i = 0; i < expected.items.size(); ++i) {
            QAction* item = items[static_cast<qsizetype>(i)];
            EXPECT_EQ(item->objectName(), QString::fromLatin1(expected.items[i].name));
            EXPECT_EQ(item->isSeparator(), expected.items[i].caption == nullptr);
            if (expected.items[i].caption) {
                EXPECT_EQ(item->text(), QString::fromUtf8(expected.items[i].caption));
            }
            EXPECT_TRUE(item->shortcut().isEmpty());
            EXPECT_TRUE(item->isEnabled());
        }
    }
    QAction* noScale = action(*window, "Nekluj1");
    EXPECT_TRUE(noScale->isCheckable());
    EXPECT_FALSE(noScale->isChecked());
    // A radio-style item: an exclusive group draws the round mark.
    ASSERT_NE(noScale->actionGroup(), nullptr);
    EXPECT_TRUE(noScale->actionGroup()->isExclusive());
}

// ---- Zoom ----

TEST(Zoom, SequencesOfPressesAndTheirMessage) {
    enum Press { Out, In, Full };
    struct Row {
        const char* name;
        int command;     // applied first, 0 = none
        int startFactor; // set after that, 0 only when `setFactor`
        bool setFactor;
        std::vector<Press> presses;
        std::vector<int> factors; // after each press
        int messages;
    };
    const Row rows[] = {
        {"out from 1", 0, 1, false, {Out, Out, Out, Out, Out, Out, Out, Out},
         {2, 4, 8, 16, 32, 64, 128, 128}, 1},
        {"out from 3", 3, 3, false, {Out, Out, Out, Out, Out, Out, Out},
         {6, 12, 24, 48, 96, 192, 192}, 1},
        {"in from 3", 3, 3, false, {In, In, In}, {1, 1, 1}, 0},
        {"in from 5", 0, 5, true, {In, In}, {2, 1}, 0},
        {"in from 128 and back out", 0, 128, true, {In, Out, Out}, {64, 128, 128}, 1},
        {"factor 0", 1, 0, true, {Out, In, Full, Out}, {0, 0, 1, 2}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto folder = standardFolder();
        auto window = startWindow(*folder);
        if (row.command)
            click(*window, QStringLiteral("com%1").arg(row.command).toLatin1());
        if (row.setFactor)
            window->model().setShrinkFactor(row.startFactor);
        ASSERT_EQ(window->model().shrinkFactor(), row.startFactor);

        QStringList texts;
        ModalScript script;
        for (int i = 0; i < row.messages; ++i)
            script.message(&texts);
        const int side = static_cast<int>(window->model().mosaic().extent());
        for (std::size_t i = 0; i < row.presses.size(); ++i) {
            switch (row.presses[i]) {
            case Out: click(*window, "Button1"); break;
            case In: click(*window, "Button2"); break;
            case Full:
                QTest::keyClick(child<QWidget>(*window, "Button1"), Qt::Key_Asterisk,
                                Qt::KeypadModifier);
                break;
            }
            EXPECT_EQ(window->model().shrinkFactor(), row.factors[i]) << "press " << i;
            const int viewSide = expectedViewSide(side, row.factors[i]);
            EXPECT_EQ(window->viewImage().width(), viewSide) << "press " << i;
            EXPECT_EQ(window->viewImage().height(), viewSide) << "press " << i;
        }
        EXPECT_EQ(texts, QStringList(row.messages, text(messages::zoomPointless)));
    }
}

TEST(Zoom, AViewNoLargerThanTheFactorIsEmpty) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    for (int i = 0; i < 6; ++i) // factor 64 on a 40-pixel mosaic
        click(*window, "Button1");
    EXPECT_EQ(window->model().shrinkFactor(), 64);
    EXPECT_TRUE(window->viewImage().isEmpty());
    EXPECT_EQ(child<QWidget>(*window, "Image1")->size(), QSize(0, 0));
    EXPECT_FALSE(child<QWidget>(*window, "ScrollBar1")->isVisible());
    EXPECT_FALSE(child<QWidget>(*window, "ScrollBar2")->isVisible());
}

// ---- Keys ----

// Keys go to the focused control, as the keyboard would send them.
void key(QWidget* focused, Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : focused;
    QTest::keyClick(target, k, modifiers);
}

TEST(Keys, ShortcutsActWhicheverControlHasTheFocus) {
    for (const char* focusName :
         {"Button1", "Button2", "com1", "com4", "ComboBox1", "ScrollBar1", "ScrollBar2"}) {
        SCOPED_TRACE(focusName);
        auto folder = standardFolder();
        auto window = startWindow(*folder);
        // A view larger than the control, so that the scroll bars show and can take the focus.
        trigger(*window, "Nekluj1");
        for (int i = 0; i < 4; ++i)
            click(*window, "com1");
        ASSERT_EQ(window->viewImage().width(), 640);
        QWidget* focused = child<QWidget>(*window, focusName);
        focused->setFocus();
        ASSERT_TRUE(focused->hasFocus() || focused->isAncestorOf(QApplication::focusWidget()));

        key(focused, Qt::Key_Minus, Qt::KeypadModifier);
        EXPECT_EQ(window->model().shrinkFactor(), 2);
        key(focused, Qt::Key_Minus); // the main keyboard's minus does nothing here
        key(focused, Qt::Key_Plus);
        EXPECT_EQ(window->model().shrinkFactor(), 2);
        key(focused, Qt::Key_Plus, Qt::KeypadModifier);
        EXPECT_EQ(window->model().shrinkFactor(), 1);
        key(focused, Qt::Key_Minus, Qt::KeypadModifier);
        key(focused, Qt::Key_Asterisk, Qt::KeypadModifier);
        EXPECT_EQ(window->model().shrinkFactor(), 1);

        // Without Ctrl, Insert, O, S and U do nothing.
        for (Qt::Key k : {Qt::Key_Insert, Qt::Key_O, Qt::Key_S, Qt::Key_U})
            key(focused, k);
        EXPECT_EQ(stackNumbers(*window), (std::vector<int>{1, 1, 1, 1}));

        // Backspace undoes the newest command; typed into the list it is also put back.
        key(focused, Qt::Key_Backspace);
        EXPECT_EQ(stackNumbers(*window), (std::vector<int>{1, 1, 1}));
        EXPECT_EQ(child<QComboBox>(*window, "ComboBox1")->currentText(), QStringLiteral("Stvorec"));
        // Delete removes the chosen (newest) command, Shift+Delete the ones above the chosen.
        key(focused, Qt::Key_Delete);
        EXPECT_EQ(stackNumbers(*window), (std::vector<int>{1, 1}));
        QTest::keyPress(QApplication::focusWidget(), Qt::Key_Shift);
        EXPECT_TRUE(window->shiftDown());
        key(focused, Qt::Key_Delete, Qt::ShiftModifier);
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Shift);
        EXPECT_FALSE(window->shiftDown());
        EXPECT_EQ(stackNumbers(*window), (std::vector<int>{1, 1})); // position 0: nothing above

        // Ctrl+Backspace resets.
        QTest::keyPress(QApplication::focusWidget(), Qt::Key_Control);
        EXPECT_TRUE(window->ctrlDown());
        key(focused, Qt::Key_Backspace, Qt::ControlModifier);
        if (QApplication::focusWidget())
            QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Control);
        else
            QTest::keyRelease(window.get(), Qt::Key_Control);
        EXPECT_FALSE(window->ctrlDown());
        EXPECT_TRUE(window->model().stack().empty());
    }
}

TEST(Keys, CtrlShortcutsOpenTheirDialogs) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com1");
    QWidget* focused = child<QWidget>(*window, "com2");
    focused->setFocus();
    struct Row {
        Qt::Key key;
        const char* dialog; // object name of the dialog that must come up
    };
    const Row rows[] = {{Qt::Key_O, "OpenDialog1"}, {Qt::Key_S, "SavePictureDialog1"},
                        {Qt::Key_U, "TForm3"}, {Qt::Key_Insert, "TForm3"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dialog);
        QString seen;
        ModalScript script;
        script.then<QDialog>([&](QDialog& dialog) {
            seen = dialog.objectName();
            dialog.reject();
        });
        QTest::keyPress(focused, Qt::Key_Control);
        QTest::keyClick(focused, row.key, Qt::ControlModifier);
        QTest::keyRelease(focused, Qt::Key_Control);
        EXPECT_EQ(seen, QString::fromLatin1(row.dialog));
    }
    // Cancelled choices changed nothing.
    EXPECT_EQ(stackNumbers(*window), std::vector<int>{1});
}

TEST(Keys, CtrlLetGoOverADialogDoesNotTurnBackspaceIntoReset) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com1");
    click(*window, "com2");
    QWidget* focused = child<QWidget>(*window, "Button1");
    focused->setFocus();
    ModalScript script;
    script.then<QDialog>([](QDialog& dialog) {
        QTest::keyRelease(&dialog, Qt::Key_Control);
        dialog.reject();
    });
    // Ctrl+S goes down on the window; Ctrl comes up while the save dialog has the keyboard,
    // so the window never sees its release.
    QTest::keyPress(focused, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(script.done());
    QApplication::setActiveWindow(window.get());
    QApplication::processEvents();
    EXPECT_FALSE(window->ctrlDown());
    QTest::keyClick(focused, Qt::Key_Backspace);
    EXPECT_EQ(stackNumbers(*window), std::vector<int>{1});
}

// ---- Resizing and scrolling ----

TEST(View, ResizeLimitsTheImageAndBringsUpTheScrollBars) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    trigger(*window, "Nekluj1");
    for (int i = 0; i < 4; ++i)
        click(*window, "com1");
    ASSERT_EQ(window->viewImage().width(), 640);
    auto* image = child<QWidget>(*window, "Image1");
    auto* across = child<QScrollBar>(*window, "ScrollBar1");
    auto* down = child<QScrollBar>(*window, "ScrollBar2");

    struct Row {
        QSize outer;
        QSize image;
        int acrossMaximum; // -1: hidden
        int downMaximum;
    };
    const Row rows[] = {
        {{525, 460}, {385, 385}, 255, 255},
        {{700, 800}, {560, 640}, 80, -1},
        {{1000, 900}, {640, 640}, -1, -1},
        {{300, 500}, {160, 425}, 480, 215},
        {{188, 460}, {48, 385}, 592, 255},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(QStringLiteral("%1 x %2").arg(row.outer.width()).arg(row.outer.height()).toStdString());
        window->resize(row.outer - (window->frameGeometry().size() - window->size()));
        QApplication::processEvents();
        ASSERT_EQ(window->frameGeometry().size(), row.outer);
        EXPECT_EQ(image->size(), row.image);
        EXPECT_EQ(image->pos(), QPoint(112, 8));
        EXPECT_EQ(across->isVisible(), row.acrossMaximum >= 0);
        EXPECT_EQ(down->isVisible(), row.downMaximum >= 0);
        if (row.acrossMaximum >= 0) {
            EXPECT_EQ(across->maximum(), row.acrossMaximum);
            EXPECT_EQ(across->geometry(), QRect(112, 8 + row.image.height(), row.outer.width() - 154, 17));
        }
        if (row.downMaximum >= 0) {
            EXPECT_EQ(down->maximum(), row.downMaximum);
            EXPECT_EQ(down->geometry(), QRect(112 + row.image.width(), 8, 16, row.outer.height() - 89));
        }
        expectShows(image, window->viewImage(), across->isVisible() ? across->value() : 0,
                    down->isVisible() ? down->value() : 0);
    }
}

TEST(View, TheWindowKeepsItsSmallestSize) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    window->resize(100, 100);
    QApplication::processEvents();
    EXPECT_EQ(window->frameGeometry().size(), QSize(188, 460));
    EXPECT_EQ(child<QWidget>(*window, "Image1")->maximumSize(), QSize(48, 385));
}

TEST(View, ScrollingMovesThePaintedViewByOnePixelPerStep) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    trigger(*window, "Nekluj1");
    for (int i = 0; i < 3; ++i)
        click(*window, "com2"); // stripes with gaps
    auto* image = child<QWidget>(*window, "Image1");
    auto* across = child<QScrollBar>(*window, "ScrollBar1");
    auto* down = child<QScrollBar>(*window, "ScrollBar2");
    ASSERT_TRUE(across->isVisible() && down->isVisible());

    across->setFocus();
    QTest::keyClick(across, Qt::Key_Right);
    QTest::keyClick(across, Qt::Key_Right);
    QTest::keyClick(across, Qt::Key_Left);
    EXPECT_EQ(across->value(), 1);
    down->setFocus();
    QTest::keyClick(down, Qt::Key_Down);
    QTest::keyClick(down, Qt::Key_Down);
    QTest::keyClick(down, Qt::Key_PageDown);
    QTest::keyClick(down, Qt::Key_Up);
    EXPECT_EQ(down->value(), 2); // a page is one pixel too
    expectShows(image, window->viewImage(), 1, 2);

    across->setValue(across->maximum());
    down->setValue(down->maximum());
    expectShows(image, window->viewImage(), across->maximum(), down->maximum());

    // A smaller view pulls the positions back to the new maxima.
    click(*window, "Button1");
    EXPECT_LE(across->value(), across->maximum());
    expectShows(image, window->viewImage(), across->isVisible() ? across->value() : 0,
                down->isVisible() ? down->value() : 0);
    // Enlarging the window until the view fits shows it from its top-left corner.
    window->resize(1600, 1200);
    QApplication::processEvents();
    EXPECT_FALSE(across->isVisible());
    expectShows(image, window->viewImage(), 0, 0);
}

TEST(View, ImagePaintsTheEngineViewPixelForPixel) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com2");
    click(*window, "com4");
    click(*window, "com1");
    click(*window, "Button2"); // factor 24 -> 12

    // The engine's own view of the same mosaic.
    ornamo::Bitmap mosaicImage;
    ornamo::Bitmap view;
    ornamo::renderMosaic(window->model().mosaic(), mosaicImage);
    ornamo::ShrinkBitmap(12, 12, mosaicImage, view);
    ASSERT_EQ(view.width(), 960 / 12);
    EXPECT_EQ(window->viewImage(), view);
    expectShows(child<QWidget>(*window, "Image1"), view, 0, 0);
}

// ---- The window's own items ----

TEST(Items, NoScaleShowsTheFullImageAndTheNextCommandMultipliesFromOne) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com1");
    click(*window, "com1");
    ASSERT_EQ(window->model().shrinkFactor(), 4);
    ASSERT_EQ(window->viewImage().width(), 40);

    QAction* noScale = action(*window, "Nekluj1");
    noScale->trigger();
    EXPECT_TRUE(noScale->isChecked());
    EXPECT_TRUE(window->model().noScale());
    EXPECT_EQ(window->model().shrinkFactor(), 1);
    EXPECT_EQ(window->viewImage(), window->mosaicImage());
    EXPECT_EQ(window->viewImage().width(), 160);

    // While it is on, commands leave the factor at 1 and the zoom still works.
    click(*window, "com1");
    EXPECT_EQ(window->model().shrinkFactor(), 1);
    EXPECT_EQ(window->viewImage().width(), 320);
    click(*window, "Button1");
    EXPECT_EQ(window->viewImage().width(), 160);
    click(*window, "Button2");

    BusyCounter busy(child<QLabel>(*window, "Label2"));
    noScale->trigger();
    EXPECT_FALSE(noScale->isChecked());
    EXPECT_FALSE(window->model().noScale());
    EXPECT_EQ(window->model().shrinkFactor(), 1);
    EXPECT_TRUE(busy.captions().isEmpty()); // switched off, nothing is drawn again
    EXPECT_EQ(window->viewImage().width(), 320);
    click(*window, "com3");
    EXPECT_EQ(window->model().shrinkFactor(), 3);
}

TEST(Items, GapColourAfterOkAndAfterCancel) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com2"); // the middle row of three is a gap
    const auto gapPixel = [&] { return window->mosaicImage().pixel(60, 60); };
    EXPECT_EQ(gapPixel(), ornamo::makeColor(255, 255, 255));

    struct Row {
        const char* name;
        QColor chosen;
        bool ok;
        ornamo::Color expected;
    };
    const Row rows[] = {
        {"red, OK", Qt::red, true, ornamo::makeColor(255, 0, 0)},
        {"blue, Cancel", Qt::blue, false, ornamo::makeColor(255, 0, 0)},
        {"green-ish, OK", QColor(10, 200, 30), true, ornamo::makeColor(10, 200, 30)},
        {"untouched, Cancel", QColor(), false, ornamo::makeColor(10, 200, 30)},
    };
    QColor offered;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        BusyCounter busy(child<QLabel>(*window, "Label2"));
        ModalScript script;
        script.then<QColorDialog>([&](QColorDialog& dialog) {
            offered = dialog.currentColor();
            if (row.chosen.isValid())
                dialog.setCurrentColor(row.chosen);
            if (row.ok)
                dialog.accept();
            else
                dialog.reject();
        });
        trigger(*window, "Farbamedzery1");
        EXPECT_EQ(window->model().mosaic().gapColor, row.expected);
        EXPECT_EQ(gapPixel(), row.expected);
        EXPECT_EQ(busy.shown(messages::busyRendering), 1); // rendered once, after Cancel too
    }
    // The dialog offers the colour last confirmed.
    EXPECT_EQ(offered, QColor(10, 200, 30));
}

TEST(Items, TheDialogStartsWhite) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    QColor offered;
    ModalScript script;
    script.then<QColorDialog>([&](QColorDialog& dialog) {
        offered = dialog.currentColor();
        dialog.reject();
    });
    trigger(*window, "Farbamedzery1");
    EXPECT_EQ(offered, QColor(Qt::white));
}

TEST(Items, AboutIsModalAndHelpIsOneModelessWindow) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    bool modal = false;
    bool mainBlocked = false;
    ModalScript script;
    script.then<AboutDialog>([&](AboutDialog& about) {
        modal = about.isModal() && QApplication::activeModalWidget() == &about;
        mainBlocked = window->isActiveWindow() == false;
        child<QPushButton>(about, "Button1")->click();
    });
    trigger(*window, "Oprograme1");
    EXPECT_TRUE(modal);
    EXPECT_TRUE(mainBlocked);

    trigger(*window, "Ovldanie1");
    trigger(*window, "Ovldanie1");
    int shown = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<HelpWindow*>(w) && w->isVisible())
            ++shown;
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // The main window goes on working beside it.
    click(*window, "com1");
    EXPECT_EQ(stackNumbers(*window), std::vector<int>{1});

    // Closing the main window ends the program, help window and all.
    trigger(*window, "Close1");
    EXPECT_FALSE(window->isVisible());
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<HelpWindow*>(w) && w->isVisible());
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
