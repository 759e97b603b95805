// Editing through the main window's real buttons, list, menu and dialogs: the command stack,
// reading another hierarchy, loading a new base tile and saving the view.

#include "windowfixture.h"

#include "choice.h"
#include "dialog.h"
#include "filedialogs.h"
#include "messages.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

using namespace windowtest;
namespace messages = ornamo::messages;

namespace {

// The mosaic the commands `numbers` make from the single 40-pixel tile, substituted in turn.
std::vector<ornamo::Placement> substituted(const MainWindow& window, std::vector<int> numbers) {
    ornamo::Mosaic mosaic;
    mosaic.tileSize = window.model().mosaic().tileSize;
    mosaic.placements = {ornamo::Placement{}};
    for (int n : numbers)
        ornamo::SubstituteCommand(window.model().commands()[static_cast<std::size_t>(n - 1)].pattern,
                                  mosaic);
    return mosaic.placements;
}

void apply(MainWindow& window, std::initializer_list<int> numbers) {
    for (int n : numbers)
        click(window, QStringLiteral("com%1").arg(n).toLatin1());
}

// Picks entry `index` of the stack list with the mouse, as the user would.
void pickEntry(MainWindow& window, int index) {
    auto* list = child<QComboBox>(window, "ComboBox1");
    list->showPopup();
    QAbstractItemView* view = list->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    const QRect r = view->visualRect(view->model()->index(index, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
    QApplication::processEvents();
    ASSERT_FALSE(view->isVisible());
}

struct ListState {
    QStringList entries;
    QString text;
    bool enabled;
};

void expectList(MainWindow& window, const ListState& expected) {
    auto* list = child<QComboBox>(window, "ComboBox1");
    EXPECT_EQ(listTexts(window), expected.entries);
    EXPECT_EQ(list->currentText(), expected.text);
    EXPECT_EQ(list->isEnabled(), expected.enabled);
}

// Answers the rule choice dialog with the command `number` (13: "Zruš").
void answerChoice(ModalScript& script, int number, QStringList* offered = nullptr) {
    script.then<ChoiceDialog>([number, offered](ChoiceDialog& dialog) {
        auto* list = child<QListWidget>(dialog, "ListBox1");
        if (offered)
            for (int i = 0; i < list->count(); ++i)
                *offered << list->item(i)->text();
        if (number == 13) {
            child<QPushButton>(dialog, "Button2")->click();
            return;
        }
        list->setCurrentRow(number - 1);
        child<QPushButton>(dialog, "Button1")->click();
    });
}

// Answers a file dialog with `path` (empty: Cancel).
void answerFile(ModalScript& script, const QString& path, const char* dialogName) {
    script.then<QFileDialog>([path, dialogName](QFileDialog& dialog) {
        EXPECT_EQ(dialog.objectName(), QString::fromLatin1(dialogName));
        EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
        if (path.isEmpty()) {
            dialog.reject();
            return;
        }
        // Typed into the name field whole, as a user may do; the dialog takes it from there.
        dialog.selectFile(path);
        if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        static_cast<QDialog&>(dialog).accept();
    });
}

const QString emptyLower = text(messages::emptyStackLower);
const QString emptyUpper = text(messages::emptyStackUpper);

} // namespace

// ---- Applying, undoing, resetting ----

TEST(Stack, ApplyPutsTheNameFirstAndRendersOnce) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    BusyCounter busy(child<QLabel>(*window, "Label2"));
    apply(*window, {1});
    EXPECT_EQ(stackNumbers(*window), std::vector<int>{1});
    EXPECT_EQ(window->model().shrinkFactor(), 2);
    EXPECT_EQ(window->mosaicImage().width(), 80);
    EXPECT_EQ(window->viewImage().width(), 40);
    EXPECT_EQ(busy.shown(messages::busyRendering), 1);
    EXPECT_EQ(busy.shown(messages::busyShrinking), 1);
    expectList(*window, {{"Stvorec"}, "Stvorec", true});

    // A name in the Central European code page shows decoded.
    apply(*window, {5});
    expectList(*window, {{QString::fromUtf8("Štvorec"), "Stvorec"}, QString::fromUtf8("Štvorec"), true});
    EXPECT_EQ(window->model().mosaic().placements, substituted(*window, {1, 5}));
}

TEST(Stack, UndoDownToEmptyThenTheEmptyStackMessage) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    apply(*window, {1, 2});
    ASSERT_EQ(window->model().shrinkFactor(), 6);

    trigger(*window, "Zruposlednoperciu1");
    EXPECT_EQ(stackNumbers(*window), std::vector<int>{1});
    EXPECT_EQ(window->model().shrinkFactor(), 2);
    EXPECT_EQ(window->model().mosaic().placements, substituted(*window, {1}));
    expectList(*window, {{"Stvorec"}, "Stvorec", true});

    trigger(*window, "Zruposlednoperciu1");
    EXPECT_TRUE(window->model().stack().empty());
    EXPECT_EQ(window->model().mosaic().placements, substituted(*window, {}));
    expectList(*window, {{}, emptyLower, false});

    QStringList texts;
    BusyCounter busy(child<QLabel>(*window, "Label2"));
    ModalScript script;
    script.message(&texts);
    trigger(*window, "Zruposlednoperciu1");
    EXPECT_EQ(texts, QStringList{text(messages::stackEmpty)});
    EXPECT_TRUE(busy.captions().isEmpty());
    expectList(*window, {{}, emptyLower, false});
}

TEST(Stack, ResetEmptiesTheStackAndDoesNothingOnAnEmptyOne) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    {
        BusyCounter busy(child<QLabel>(*window, "Label2"));
        trigger(*window, "Reset1");
        EXPECT_TRUE(busy.captions().isEmpty());
        EXPECT_EQ(window->model().shrinkFactor(), 1);
    }
    apply(*window, {1, 3});
    click(*window, "Button1"); // the zoom goes too
    BusyCounter busy(child<QLabel>(*window, "Label2"));
    trigger(*window, "Reset1");
    EXPECT_EQ(busy.shown(messages::busyRendering), 1);
    EXPECT_TRUE(window->model().stack().empty());
    EXPECT_EQ(window->model().shrinkFactor(), 1);
    EXPECT_EQ(window->viewImage(), numberedTile(40, 40));
    expectList(*window, {{}, emptyLower, false});
}

// ---- Choosing and editing at a chosen entry ----

TEST(Stack, ChoosingAnEntryAndTypingInTheList) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    apply(*window, {1, 2, 3});
    pickEntry(*window, 2);
    EXPECT_EQ(window->model().selectedIndex(), 2);
    expectList(*window, {{"Trojka", "Pruh", "Stvorec"}, "Stvorec", true});

    // Typed text that names no entry is put back at once.
    auto* list = child<QComboBox>(*window, "ComboBox1");
    list->setFocus();
    list->lineEdit()->selectAll();
    QTest::keyClicks(list->lineEdit(), "Qx");
    EXPECT_EQ(list->currentText(), QStringLiteral("Stvorec"));
    EXPECT_EQ(window->model().selectedIndex(), 2);

    // An undo acts on the newest entry, not on the chosen one.
    trigger(*window, "Zruposlednoperciu1");
    EXPECT_EQ(stackNumbers(*window), (std::vector<int>{1, 2}));
    EXPECT_EQ(window->model().selectedIndex(), 0);
}

TEST(Stack, DeleteTheChosenEntryDividesTheFactorByItsGridSize) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    apply(*window, {1, 3}); // grid sizes 2 and 3: factor 6
    ASSERT_EQ(window->model().shrinkFactor(), 6);
    pickEntry(*window, 1);
    trigger(*window, "Zrusvybrany1");
    EXPECT_EQ(stackNumbers(*window), std::vector<int>{3});
    // Divided once, by the removed grid size, so that the view keeps its size.
    EXPECT_EQ(window->model().shrinkFactor(), 3);
    EXPECT_EQ(window->model().mosaic().placements, substituted(*window, {3}));
    EXPECT_EQ(window->model().selectedIndex(), 0);
    expectList(*window, {{"Trojka"}, "Trojka", true});

    // Deleting the only entry leaves "-- Prázdny --" with a capital P.
    trigger(*window, "Zrusvybrany1");
    EXPECT_TRUE(window->model().stack().empty());
    EXPECT_EQ(window->model().stackCaption(), messages::emptyStackLower);
    expectList(*window, {{}, emptyUpper, false});

    // On an empty stack the editing items do nothing at all.
    BusyCounter busy(child<QLabel>(*window, "Label2"));
    for (const char* item : {"Zrusvybrany1", "Zrupovybranprkaz1", "Zameprkaz1", "Vloprkaz1"})
        trigger(*window, item);
    EXPECT_TRUE(busy.captions().isEmpty());
}

TEST(Stack, DeleteUpToTheChosenEntry) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    apply(*window, {1, 2, 3, 4});
    pickEntry(*window, 2); // "Pruh"
    trigger(*window, "Zrupovybranprkaz1");
    EXPECT_EQ(stackNumbers(*window), (std::vector<int>{1, 2}));
    EXPECT_EQ(window->model().shrinkFactor(), 6);
    EXPECT_EQ(window->model().mosaic().placements, substituted(*window, {1, 2}));
    expectList(*window, {{"Pruh", "Stvorec"}, "Pruh", true});
}

TEST(Stack, ReplaceAndInsertThroughTheRuleChoice) {
    struct Row {
        const char* name;
        const char* item;
        int rule;
        std::vector<int> stack;
        int factor;
        QStringList entries;
    };
    const Row rows[] = {
        {"replace", "Zameprkaz1", 3, {3}, 3, {"Trojka"}}, // 2 / 2 x 3
        {"insert", "Vloprkaz1", 3, {3, 1}, 6, {"Stvorec", "Trojka"}}, // 2 x 3
        {"replace, cancelled", "Zameprkaz1", 13, {1}, 2, {"Stvorec"}},
        {"insert, cancelled", "Vloprkaz1", 13, {1}, 2, {"Stvorec"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto folder = standardFolder();
        auto window = startWindow(*folder);
        apply(*window, {1});
        QStringList offered;
        BusyCounter busy(child<QLabel>(*window, "Label2"));
        ModalScript script;
        answerChoice(script, row.rule, &offered);
        trigger(*window, row.item);
        EXPECT_EQ(offered, (QStringList{"Stvorec", "Pruh", "Trojka", "Posun", QString::fromUtf8("Štvorec")}));
        EXPECT_EQ(stackNumbers(*window), row.stack);
        EXPECT_EQ(window->model().shrinkFactor(), row.factor);
        EXPECT_EQ(window->model().mosaic().placements, substituted(*window, row.stack));
        EXPECT_EQ(busy.shown(messages::busyRendering), row.rule == 13 ? 0 : 1);
        expectList(*window, {row.entries, row.entries.first(), true});
    }
}

TEST(Stack, RefusalsSayWhyAndChangeNothing) {
    struct Row {
        const char* name;
        std::string hierarchy;
        std::vector<int> before; // applied first
        int refused;             // the command that is refused
        std::string_view message;
        bool memoryRefused;
    };
    const std::string unusable = "Nula\nscale: 0\nitem: 1\n0 0 1 1 R0\n"
                                 "Prazdny\nscale: 2\nitem: 0\n";
    const Row rows[] = {
        {"grid size 0", unusable, {}, 1, messages::commandUnusable, false},
        {"no parts", unusable, {}, 2, messages::commandUnusable, false},
        // 40 x 2000 pixels would leave the model.
        {"too large", "Obor\nscale: 2000\nitem: 1\n0 0 1 1 R0\n", {}, 1, messages::mosaicTooLarge,
         false},
        {"not enough memory", standardHierarchy, {1}, 1, messages::notEnoughMemory, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartFolder folder;
        folder.writeTile(numberedTile(40, 40));
        folder.writeHierarchy(row.hierarchy);
        auto window = startWindow(folder);
        for (int n : row.before)
            apply(*window, {n});
        if (row.memoryRefused)
            window->model().setMemoryCheck([](std::int64_t, std::int32_t, bool) { return false; });
        const auto placements = window->model().mosaic().placements;
        const auto numbers = stackNumbers(*window);
        const auto factor = window->model().shrinkFactor();
        const ornamo::Bitmap view = window->viewImage();

        QStringList texts;
        BusyCounter busy(child<QLabel>(*window, "Label2"));
        ModalScript script;
        script.message(&texts);
        apply(*window, {row.refused});
        EXPECT_EQ(texts, QStringList{text(row.message)});
        EXPECT_TRUE(busy.captions().isEmpty());
        EXPECT_EQ(window->model().mosaic().placements, placements);
        EXPECT_EQ(stackNumbers(*window), numbers);
        EXPECT_EQ(window->model().shrinkFactor(), factor);
        EXPECT_EQ(window->viewImage(), view);
    }
}

TEST(Stack, AFullStackRefusesTheNextCommand) {
    StartFolder folder;
    folder.writeTile(numberedTile(40, 40));
    folder.writeHierarchy("Jedna\nscale: 1\nitem: 1\n0 0 1 1 MR0\n");
    auto window = startWindow(folder);
    auto* one = child<QPushButton>(*window, "com1");
    for (int i = 0; i < 255; ++i)
        one->click();
    ASSERT_EQ(window->model().stack().size(), 255u);
    QStringList texts;
    ModalScript script;
    script.message(&texts);
    one->click();
    EXPECT_EQ(texts, QStringList{text(messages::stackFull)});
    EXPECT_EQ(window->model().stack().size(), 255u);
    EXPECT_EQ(listTexts(*window).size(), 255);
}

// ---- Another hierarchy ----

namespace {
const std::string otherHierarchy = "Iný\nscale: 2\nitem: 1\n0 0 2 2 R180\n\n"
                                   "Druhý\nscale: 2\nitem: 2\n0 0 1 1 R0\n1 1 1 1 R0\n";
}

TEST(Hierarchy, TheQuestionComesOnlyWithCommandsOnTheStack) {
    struct Row {
        const char* name;
        bool stacked;
        QMessageBox::StandardButton answer; // to the question, when asked
        QString file;                       // chosen in the dialog; empty = Cancel
        bool reads;                         // the new commands are loaded
        bool resets;
    };
    const Row rows[] = {
        {"empty stack, file", false, QMessageBox::NoButton, "other.hrh", true, true},
        {"empty stack, cancelled", false, QMessageBox::NoButton, {}, false, true},
        {"yes, file", true, QMessageBox::Yes, "other.hrh", true, true},
        {"yes, cancelled", true, QMessageBox::Yes, {}, false, true},
        {"no", true, QMessageBox::No, {}, false, false},
        {"cancel", true, QMessageBox::Cancel, {}, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto folder = standardFolder();
        folder->writeFile("other.hrh", otherHierarchy);
        auto window = startWindow(*folder);
        if (row.stacked)
            apply(*window, {1, 2});
        const auto numbers = stackNumbers(*window);

        QStringList questions;
        BusyCounter busy(child<QLabel>(*window, "Label2"));
        ModalScript script;
        if (row.stacked)
            script.then<QMessageBox>([&](QMessageBox& box) {
                questions << box.text();
                EXPECT_EQ(box.standardButtons(),
                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
                box.button(row.answer)->click();
            });
        if (row.answer == QMessageBox::NoButton || row.answer == QMessageBox::Yes)
            answerFile(script, row.file.isEmpty() ? QString() : folder->file(row.file), "OpenDialog2");
        trigger(*window, "Natajhierarchiu1");

        EXPECT_EQ(questions, row.stacked ? QStringList{text(messages::loadHierarchyQuestion)}
                                         : QStringList{});
        EXPECT_EQ(child<QPushButton>(*window, "com1")->text(),
                  row.reads ? QString::fromUtf8("Iný") : QStringLiteral("Stvorec"));
        EXPECT_EQ(child<QPushButton>(*window, "com3")->isEnabled(), !row.reads);
        if (row.resets) {
            EXPECT_TRUE(window->model().stack().empty());
            EXPECT_EQ(window->model().shrinkFactor(), 1);
            EXPECT_EQ(busy.shown(messages::busyRendering), 1);
            expectList(*window, {{}, emptyUpper, false});
            EXPECT_EQ(window->viewImage(), numberedTile(40, 40));
        } else {
            EXPECT_EQ(stackNumbers(*window), numbers);
            EXPECT_TRUE(busy.captions().isEmpty());
        }
    }
}

TEST(Hierarchy, AMalformedFileIsReportedOverTheDialog) {
    auto folder = standardFolder();
    folder->writeFile("bad.hrh", "Dobry\nscale: 2\nitem: 1\n0 0 2 2 R0\nZly\nscale: 2 \nitem: 1\n");
    auto window = startWindow(*folder);
    QStringList texts;
    QWidget* over = nullptr;
    bool dialogShownMeanwhile = false;
    ModalScript script;
    answerFile(script, folder->file("bad.hrh"), "OpenDialog2");
    script.then<QMessageBox>([&](QMessageBox& box) {
        texts << box.text();
        over = box.parentWidget();
        dialogShownMeanwhile = over && over->isVisible();
        box.button(QMessageBox::Ok)->click();
    });
    trigger(*window, "Natajhierarchiu1");
    EXPECT_EQ(texts, QStringList{text(messages::badFormat)});
    ASSERT_NE(over, nullptr);
    EXPECT_EQ(over->objectName(), QStringLiteral("OpenDialog2"));
    EXPECT_TRUE(dialogShownMeanwhile);
    EXPECT_EQ(child<QPushButton>(*window, "com1")->text(), QStringLiteral("Dobry"));
    EXPECT_FALSE(child<QPushButton>(*window, "com2")->isEnabled());
    expectList(*window, {{}, emptyUpper, false});
}

// ---- A new base tile ----

TEST(Tile, ASquareTileKeepsTheStructureAndRescalesPositions) {
    auto folder = standardFolder();
    ASSERT_TRUE(saveBitmapFile(numberedTile(80, 80, 7), folder->file("big.bmp")));
    auto window = startWindow(*folder);
    apply(*window, {4}); // one part at cell (3, 1) turned R90
    ASSERT_EQ(window->model().mosaic().placements,
              (std::vector<ornamo::Placement>{{1, 1, 120, 40, ornamo::Orientation::R90}}));

    BusyCounter busy(child<QLabel>(*window, "Label2"));
    ModalScript script;
    answerFile(script, folder->file("big.bmp"), "OpenDialog1");
    trigger(*window, "OpenImage1");
    EXPECT_EQ(window->model().mosaic().tileSize, 80);
    EXPECT_EQ(window->model().mosaic().placements,
              (std::vector<ornamo::Placement>{{1, 1, 240, 80, ornamo::Orientation::R90}}));
    EXPECT_EQ((*window->model().mosaic().tiles)[0], numberedTile(80, 80, 7));
    EXPECT_EQ(busy.shown(messages::busyRendering), 1);
    EXPECT_EQ(window->mosaicImage().width(), 320);
    EXPECT_EQ(window->viewImage().width(), 80); // the factor stays 4
    EXPECT_EQ(stackNumbers(*window), std::vector<int>{4});
    // Undo stays exact at the new size.
    trigger(*window, "Zruposlednoperciu1");
    EXPECT_EQ(window->model().mosaic().placements, (std::vector<ornamo::Placement>{{}}));
}

TEST(Tile, ANonSquareTileIsCroppedAsChosen) {
    struct Row {
        const char* radio;
        int keptLeft;
    };
    const Row rows[] = {{"RadioButton1", 40}, {"RadioButton2", 0}, {"RadioButton3", 20}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.radio);
        auto folder = standardFolder();
        ASSERT_TRUE(saveBitmapFile(numberedTile(100, 60, 9), folder->file("wide.bmp")));
        auto window = startWindow(*folder);
        ModalScript script;
        answerFile(script, folder->file("wide.bmp"), "OpenDialog1");
        script.then<CropDialog>([&](CropDialog& dialog) {
            child<QRadioButton>(dialog, row.radio)->click();
            child<QPushButton>(dialog, "Button1")->click();
        });
        trigger(*window, "OpenImage1");
        ornamo::Bitmap expected(60, 60);
        expected.draw(numberedTile(100, 60, 9), -row.keptLeft, 0);
        EXPECT_EQ(window->model().mosaic().tileSize, 60);
        EXPECT_EQ((*window->model().mosaic().tiles)[0], expected);
        EXPECT_EQ(window->viewImage(), expected);
    }
}

TEST(Tile, AFileThatDoesNotLoadOrACancelLeaveTheTile) {
    struct Row {
        const char* name;
        const char* file; // nullptr: Cancel
        bool message;
    };
    const Row rows[] = {{"text file", "notes.txt", true}, {"cancelled", nullptr, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto folder = standardFolder();
        folder->writeFile("notes.txt", "no picture here\n");
        auto window = startWindow(*folder);
        apply(*window, {2});
        const auto placements = window->model().mosaic().placements;
        const ornamo::Bitmap view = window->viewImage();

        QStringList texts;
        QWidget* over = nullptr;
        BusyCounter busy(child<QLabel>(*window, "Label2"));
        ModalScript script;
        const QString path = row.file ? folder->file(row.file) : QString();
        answerFile(script, path, "OpenDialog1");
        if (row.message)
            script.message(&texts, QMessageBox::Ok, &over);
        trigger(*window, "OpenImage1");
        if (row.message) {
            EXPECT_EQ(texts, QStringList{text(messages::tileLoadFailed(path.toStdString()))});
            ASSERT_NE(over, nullptr);
            EXPECT_EQ(over->objectName(), QStringLiteral("OpenDialog1"));
        }
        EXPECT_EQ((*window->model().mosaic().tiles)[0], numberedTile(40, 40));
        EXPECT_EQ(window->model().mosaic().tileSize, 40);
        EXPECT_EQ(window->model().mosaic().placements, placements);
        EXPECT_EQ(busy.shown(messages::busyRendering), 1); // rendered again all the same
        EXPECT_EQ(window->viewImage(), view);
    }
}

TEST(Tile, ATileThatWouldMakeTheMosaicTooLargeIsRefused) {
    StartFolder folder;
    folder.writeTile(numberedTile(40, 40));
    folder.writeHierarchy("Sto\nscale: 100\nitem: 2\n0 0 1 1 R0\n99 99 1 1 R90\n");
    ASSERT_TRUE(saveBitmapFile(numberedTile(656, 656), folder.file("big.bmp")));
    auto window = startWindow(folder);
    apply(*window, {1}); // 4000 pixels; 100 tiles of 656 pixels would not fit the model
    ASSERT_EQ(window->model().mosaic().extent(), 4000);
    const auto placements = window->model().mosaic().placements;

    QStringList texts;
    ModalScript script;
    answerFile(script, folder.file("big.bmp"), "OpenDialog1");
    script.message(&texts);
    trigger(*window, "OpenImage1");
    EXPECT_EQ(texts, QStringList{text(messages::mosaicTooLarge)});
    EXPECT_EQ(window->model().mosaic().tileSize, 40);
    EXPECT_EQ((*window->model().mosaic().tiles)[0], numberedTile(40, 40));
    EXPECT_EQ(window->model().mosaic().placements, placements);

}

// ---- Saving ----

TEST(Save, NamesGetTheExtensionAndTheWholeViewIsWritten) {
    struct Row {
        const char* typed;
        const char* written;
    };
    const Row rows[] = {
        {"obraz", "obraz.bmp"},
        {"obraz.bmp", "obraz.bmp"},
        {"obraz.BMP", "obraz.BMP.bmp"},
        {"obraz.bmpx", "obraz.bmpx.bmp"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        auto folder = standardFolder();
        auto window = startWindow(*folder);
        apply(*window, {1, 1}); // factor 4: the view is 40 x 40 of a 160 x 160 mosaic
        ModalScript script;
        answerFile(script, folder->file(row.typed), "SavePictureDialog1");
        trigger(*window, "UloBitmapu1");
        const std::optional<ornamo::Bitmap> saved = loadBitmapFile(folder->file(row.written));
        ASSERT_TRUE(saved.has_value());
        EXPECT_EQ(saved->width(), 40);
        EXPECT_EQ(*saved, window->viewImage());
        if (QString::fromLatin1(row.typed) != QString::fromLatin1(row.written)) {
            EXPECT_FALSE(QFile::exists(folder->file(row.typed)));
        }
    }
}

TEST(Save, TheUnreducedViewWithNoScaleAndTheTileRightAfterStart) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    {
        ModalScript script;
        answerFile(script, folder->file("start.bmp"), "SavePictureDialog1");
        trigger(*window, "UloBitmapu1");
        EXPECT_EQ(loadBitmapFile(folder->file("start.bmp")), numberedTile(40, 40));
    }
    apply(*window, {1, 1});
    trigger(*window, "Nekluj1");
    ModalScript script;
    answerFile(script, folder->file("full.bmp"), "SavePictureDialog1");
    trigger(*window, "UloBitmapu1");
    const std::optional<ornamo::Bitmap> saved = loadBitmapFile(folder->file("full.bmp"));
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->width(), 160);
    EXPECT_EQ(*saved, window->mosaicImage());
}

TEST(Save, AnExistingFileIsReplacedWithoutAQuestion) {
    auto folder = standardFolder();
    folder->writeFile("old.bmp", "whatever was here before");
    auto window = startWindow(*folder);
    apply(*window, {2});
    ModalScript script; // the file dialog and nothing else
    answerFile(script, folder->file("old.bmp"), "SavePictureDialog1");
    trigger(*window, "UloBitmapu1");
    EXPECT_EQ(loadBitmapFile(folder->file("old.bmp")), window->viewImage());
}

TEST(Save, FailuresAreReportedOverTheDialogAndChangeNothing) {
    struct Row {
        const char* name;
        QString target; // relative to the folder
        int zoomOuts;   // 6: an empty view
    };
    const Row rows[] = {
        {"parent is a file", "notes.txt/obraz", 0},
        {"no such folder", "missing/deeper/obraz", 0},
        {"empty view", "empty", 6},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto folder = standardFolder();
        folder->writeFile("notes.txt", "a file, not a folder");
        auto window = startWindow(*folder);
        for (int i = 0; i < row.zoomOuts; ++i)
            click(*window, "Button1");
        const ornamo::Bitmap view = window->viewImage();

        QStringList texts;
        QWidget* over = nullptr;
        ModalScript script;
        answerFile(script, folder->file(row.target), "SavePictureDialog1");
        script.message(&texts, QMessageBox::Ok, &over);
        trigger(*window, "UloBitmapu1");
        const QString written = folder->file(row.target) + QStringLiteral(".bmp");
        EXPECT_EQ(texts, QStringList{text(messages::saveFailed(written.toStdString()))});
        ASSERT_NE(over, nullptr);
        EXPECT_EQ(over->objectName(), QStringLiteral("SavePictureDialog1"));
        EXPECT_FALSE(QFile::exists(written));
        EXPECT_EQ(window->viewImage(), view);
    }
}

TEST(Save, TheDialogPreviewsTheSelectedPicture) {
    auto folder = standardFolder();
    ASSERT_TRUE(saveBitmapFile(numberedTile(400, 100), folder->file("picture.bmp")));
    ASSERT_TRUE(saveBitmapFile(numberedTile(50, 20), folder->file("small.bmp")));
    auto window = startWindow(*folder);
    QSize previewed;
    QSize previewedSmall;
    bool clearedForAFolder = false;
    ModalScript script;
    script.then<PictureSaveDialog>([&](PictureSaveDialog& dialog) {
        dialog.setDirectory(folder->path());
        auto* files = dialog.findChild<QAbstractItemView*>(QStringLiteral("listView"));
        ASSERT_NE(files, nullptr);
        // The folder is read in the background; click the entries once they are listed.
        const auto clickEntry = [&](const QString& name) {
            for (int i = 0; i < 300; ++i) {
                const QModelIndex root = files->rootIndex();
                for (int row = 0; row < files->model()->rowCount(root); ++row) {
                    const QModelIndex entry = files->model()->index(row, 0, root);
                    if (entry.data().toString() == name) {
                        QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                                          files->visualRect(entry).center());
                        return true;
                    }
                }
                QTest::qWait(10);
            }
            return false;
        };
        if (clickEntry(QStringLiteral("picture.bmp")))
            previewed = dialog.preview()->pixmap().size();
        if (clickEntry(QStringLiteral("small.bmp")))
            previewedSmall = dialog.preview()->pixmap().size();
        if (clickEntry(QStringLiteral("dlazdice")))
            clearedForAFolder = dialog.preview()->pixmap().isNull();
        dialog.reject();
    });
    trigger(*window, "UloBitmapu1");
    EXPECT_EQ(previewed, QSize(160, 40));     // a large picture is made to fit
    EXPECT_EQ(previewedSmall, QSize(50, 20)); // a small one keeps its size
    EXPECT_TRUE(clearedForAFolder);
}
