// The keys a user can find: every menu item's key, read from the menu, does what the item does;
// zoom by keys, to the window and about the pointer; the picture tells its size.

#include "choice.h"
#include "info.h"
#include "windowfixture.h"
#include "workshop.h"

#include <QComboBox>
#include <QKeySequence>
#include <QListWidget>
#include <QMenuBar>
#include <QScrollBar>

using namespace windowtest;

namespace {

QWidget* focused(MainWindow& window) {
    return QApplication::focusWidget() ? QApplication::focusWidget() : &window;
}

// Sends a key combination as a keyboard does: the modifiers' own presses first.
void press(MainWindow& window, QKeyCombination combination) {
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    if (modifiers.testFlag(Qt::ControlModifier))
        QTest::keyPress(focused(window), Qt::Key_Control);
    if (modifiers.testFlag(Qt::ShiftModifier))
        QTest::keyPress(focused(window), Qt::Key_Shift, modifiers & Qt::ControlModifier);
    QTest::keyClick(focused(window), combination.key(), modifiers);
    if (modifiers.testFlag(Qt::ShiftModifier))
        QTest::keyRelease(focused(window), Qt::Key_Shift, modifiers & Qt::ControlModifier);
    if (modifiers.testFlag(Qt::ControlModifier))
        QTest::keyRelease(focused(window), Qt::Key_Control);
}

// The key the menu shows beside an item.
QKeyCombination shownKey(MainWindow& window, const char* item) {
    QAction* shown = action(window, item);
    if (!shown || shown->shortcut().isEmpty()) {
        ADD_FAILURE() << item << " shows no key";
        return {};
    }
    return shown->shortcut()[0];
}

void rejectDialog(ModalScript& script, const char* name) {
    script.then<QDialog>([name](QDialog& dialog) {
        EXPECT_EQ(dialog.objectName(), QString::fromLatin1(name));
        dialog.reject();
    });
}

} // namespace

// Each row presses the key its item shows and checks what the item does.
TEST(MenuKeys, EveryMenuItemsKeyDoesWhatTheItemDoes) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    const auto stack = [&] { return stackNumbers(*window).size(); };
    const struct Row {
        const char* item;
        std::function<void()> before;
        std::function<void(ModalScript&)> dialogs;
        std::function<bool()> done;
    } rows[] = {
        {"OtvorPracu1", {}, [](ModalScript& s) { rejectDialog(s, "OpenWorkDialog1"); }, {}},
        {"UlozPracu1", {}, [](ModalScript& s) { rejectDialog(s, "SaveWorkDialog1"); }, {}},
        {"UlozPracuAko1", {}, [](ModalScript& s) { rejectDialog(s, "SaveWorkDialog1"); }, {}},
        {"OpenImage1", {}, [](ModalScript& s) { rejectDialog(s, "OpenDialog1"); }, {}},
        {"UloBitmapu1", {}, [](ModalScript& s) { rejectDialog(s, "SavePictureDialog1"); }, {}},
        {"Zameprkaz1",
         [&] {
             for (const char* button : {"com1", "com2", "com3"})
                 click(*window, button);
         },
         [](ModalScript& s) { s.then<ChoiceDialog>([](ChoiceDialog& d) { d.reject(); }); },
         {}},
        {"Vloprkaz1",
         {},
         [](ModalScript& s) { s.then<ChoiceDialog>([](ChoiceDialog& d) { d.reject(); }); },
         {}},
        {"Zrusvybrany1", {}, {}, [&] { return stack() == 2; }},
        {"Zrupovybranprkaz1",
         [&] { child<QComboBox>(*window, "ComboBox1")->setCurrentIndex(1); },
         {},
         [&] { return stack() == 1; }},
        {"Zruposlednoperciu1", {}, {}, [&] { return stack() == 0; }},
        {"Spat1", {}, {}, [&] { return stack() == 1; }},
        {"Znova1", {}, {}, [&] { return stack() == 0; }},
        {"Reset1", [&] { click(*window, "com2"); }, {}, [&] { return stack() == 0; }},
        {"Prisposob1",
         [&] {
             for (int i = 0; i < 4; ++i)
                 click(*window, "com1");
             trigger(*window, "Nekluj1");
         },
         {},
         [&] { return window->view().factor() == 2; }}, // 640 pixels into 385
        {"DielnaPravidiel1",
         {},
         {},
         [&] {
             const auto* workshop = window->findChild<RuleWorkshop*>();
             return workshop && workshop->isVisible();
         }},
        {"Ovldanie1",
         {},
         {},
         [] {
             const QWidgetList all = QApplication::topLevelWidgets();
             return std::any_of(all.begin(), all.end(), [](QWidget* w) {
                 return qobject_cast<HelpWindow*>(w) && w->isVisible();
             });
         }},
        {"Close1",
         {},
         [](ModalScript& s) { s.message(nullptr, QMessageBox::Discard); },
         [&] { return !window->isVisible(); }},
    };
    // The rows are the items the menu bar shows a key for, no more and no fewer: an item given
    // a key cannot go unchecked.
    QStringList keyed, checked;
    for (const QAction* title : window->menuBar()->actions())
        for (const QAction* item : title->menu()->actions())
            if (!item->shortcut().isEmpty())
                keyed << item->objectName();
    for (const Row& row : rows)
        checked << QString::fromLatin1(row.item);
    keyed.sort();
    checked.sort();
    EXPECT_EQ(checked.join(QLatin1Char(' ')).toStdString(),
              keyed.join(QLatin1Char(' ')).toStdString());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.item);
        QApplication::setActiveWindow(window.get());
        if (row.before)
            row.before();
        ModalScript script;
        if (row.dialogs)
            row.dialogs(script);
        press(*window, shownKey(*window, row.item));
        QApplication::processEvents();
        if (row.done) {
            EXPECT_TRUE(row.done());
        }
    }
}

// Ctrl with +, = and - zooms as the keypad does, Ctrl+0 shows full size.
TEST(MenuKeys, CtrlZoomKeysStepTheFactor) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    for (int i = 0; i < 5; ++i)
        click(*window, "com1"); // 1280 pixels, shown at factor 32
    const struct {
        QKeyCombination key;
        std::int32_t factor;
    } steps[] = {{Qt::ControlModifier | Qt::Key_0, 1},     {Qt::ControlModifier | Qt::Key_Minus, 2},
                 {Qt::ControlModifier | Qt::Key_Minus, 4}, {Qt::ControlModifier | Qt::Key_Equal, 2},
                 {Qt::ControlModifier | Qt::Key_Plus, 1},  {Qt::Key_Minus, 1}};
    // (The plain minus of the main keyboard does nothing.)
    for (const auto& step : steps) {
        press(*window, step.key);
        EXPECT_EQ(window->model().shrinkFactor(), step.factor) << step.key.key();
    }
}

// "Prispôsob oknu" picks the smallest factor that fits: the next smaller one would not.
TEST(MenuKeys, FitToWindowTakesTheSmallestStepThatFits) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    for (int i = 0; i < 5; ++i)
        click(*window, "com1"); // 1280 pixels
    auto* image = child<QWidget>(*window, "Image1");
    for (const QSize outer :
         {QSize(525, 460), QSize(1000, 800), QSize(300, 900), QSize(188, 460)}) {
        SCOPED_TRACE(outer.width());
        window->resize(outer - (window->frameGeometry().size() - window->size()));
        trigger(*window, "Prisposob1");
        const int room = std::min(image->maximumWidth(), image->maximumHeight());
        EXPECT_LE(window->view().side(), room);
        // Whole factors, not only powers of two: one less would not fit.
        const std::int32_t fitted = window->model().shrinkFactor();
        if (fitted > 1) {
            EXPECT_GT(1280 / (fitted - 1), room);
        }
    }
}

// The picture's tooltip gives the full size, the placements and the zoom; the export dialog
// gives the sizes of its two pictures.
TEST(MenuKeys, ThePictureTellsItsSizeAndZoom) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    auto* image = child<QWidget>(*window, "Image1");
    EXPECT_EQ(image->toolTip(), QStringLiteral("Mozaika 40 × 40 px, 1 dlaždica, mierka 1:1"));
    click(*window, "com1");
    click(*window, "com3");
    EXPECT_EQ(image->toolTip(), QStringLiteral("Mozaika 240 × 240 px, 36 dlaždíc, mierka 1:6"));
    click(*window, "Button2");
    EXPECT_EQ(image->toolTip(), QStringLiteral("Mozaika 240 × 240 px, 36 dlaždíc, mierka 1:3"));
    // The export dialog's two choices tell their sizes.
    QStringList choices;
    {
        ModalScript script;
        script.then<QFileDialog>([&](QFileDialog& dialog) {
            for (const char* name : {"fullSize", "view"})
                choices << child<QAbstractButton>(dialog, name)->text();
            dialog.reject();
        });
        trigger(*window, "Exportujobrazok1");
    }
    EXPECT_EQ(choices,
              (QStringList{QStringLiteral("Celá mozaika v plnej veľkosti (240 × 240 px, 173 kB)"),
                           QStringLiteral("Súčasný pohľad (80 × 80 px, 19 kB)")}));
    click(*window, "com2");
    trigger(*window, "Nekluj1");
    EXPECT_EQ(image->toolTip(), QStringLiteral("Mozaika 720 × 720 px, 72 dlaždíc, mierka 1:1"));
}

// The choice dialog shows each rule's drawing, as its button does; a 4 x 4 rule is drawn at
// least 120 pixels across.
TEST(MenuKeys, TheChoiceDialogShowsTheRulesDrawings) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com1");
    QStringList tips;
    {
        ModalScript script;
        script.then<ChoiceDialog>([&](ChoiceDialog& dialog) {
            auto* list = dialog.findChild<QListWidget*>(QStringLiteral("ListBox1"));
            for (int i = 0; list && i < list->count(); ++i)
                tips << list->item(i)->toolTip();
            dialog.reject();
        });
        trigger(*window, "Zameprkaz1");
    }
    ASSERT_EQ(tips.size(), 5);
    EXPECT_EQ(tips[0], child<QPushButton>(*window, "com1")->toolTip());
    const QString data = QStringLiteral("data:image/png;base64,");
    const qsizetype at = tips[3].indexOf(data); // "Posun", grid 4
    ASSERT_GE(at, 0);
    const qsizetype end = tips[3].indexOf(QLatin1Char('"'), at);
    const QImage drawing = QImage::fromData(
        QByteArray::fromBase64(tips[3].mid(at + data.size(), end - at - data.size()).toLatin1()));
    EXPECT_GE(drawing.width(), 120);

    // F10 opens the menu bar at its first menu.
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(focused(*window), Qt::Key_F10);
    QApplication::processEvents();
    EXPECT_EQ(window->menuBar()->activeAction(), window->menuBar()->actions().value(0));
    QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                      : focused(*window),
                    Qt::Key_Escape);
}
