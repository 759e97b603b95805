// Editing through the main window's real buttons, list, menu and dialogs: the command stack,
// reading another hierarchy, loading a new base tile and saving the view.

#include "windowfixture.h"

#include "choice.h"
#include "dialog.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>

#include <chrono>
#include <functional>
#include <optional>

using namespace windowtest;

namespace {

// The names of the standard commands, by slot.
const QStringList standardNames = {"Stvorec", "Pruh", "Trojka", "Posun", "Štvorec"};
const QString emptyLower = QStringLiteral("-- prázdny --");
const QString emptyUpper = QStringLiteral("-- Prázdny --");

void apply(MainWindow& window, const std::vector<int>& numbers) {
    for (int n : numbers)
        click(window, QStringLiteral("com%1").arg(n).toLatin1());
}

// Runs a command button, a zoom button or a menu item by its name.
void run(MainWindow& window, const char* name) {
    if (window.findChild<QAction*>(QString::fromLatin1(name)))
        trigger(window, name);
    else
        click(window, name);
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

// The list shows the names of `stack` newest first, `text` in its edit field.
void expectList(MainWindow& window, const std::vector<int>& stack, const QString& text,
                bool enabled) {
    QStringList entries;
    for (auto n = stack.rbegin(); n != stack.rend(); ++n)
        entries << standardNames[*n - 1];
    EXPECT_EQ(listTexts(window), entries);
    EXPECT_EQ(child<QComboBox>(window, "ComboBox1")->currentText(), text);
    EXPECT_EQ(child<QComboBox>(window, "ComboBox1")->isEnabled(), enabled);
}

// Answers the rule choice dialog with the command `number` (13: "Zruš").
void answerChoice(ModalScript& script, int number, QStringList* offered) {
    script.then<ChoiceDialog>([number, offered](ChoiceDialog& dialog) {
        auto* list = child<QListWidget>(dialog, "ListBox1");
        for (int i = 0; i < list->count(); ++i)
            *offered << list->item(i)->text();
        if (number != 13)
            list->setCurrentRow(number - 1);
        child<QPushButton>(dialog, number == 13 ? "Button2" : "Button1")->click();
    });
}

} // namespace

// ---- Applying, undoing, resetting, editing ----

// One window through a run of steps; each leaves the stack, the factor, the view and the list as
// given, after as many renders as given. Grid sizes: Stvorec and Štvorec 2, Pruh and Trojka 3,
// Posun 4. Deleting divides the factor by the removed grid size once, replacing multiplies by the
// new one and divides by the old one, inserting multiplies by the new one.
TEST(Stack, EveryItemInTurn) {
    struct Step {
        const char* name; // of the button or menu item
        int chosen;       // list position picked first, 0 the newest
        int rule;         // answered in the rule choice dialog; 0: no dialog, 13: "Zruš"
        std::vector<int> stack;
        int factor;
        QString text; // in the list's edit field
        int renders;
        const char* message = nullptr;
    };
    const Step steps[] = {
        {"Reset1", 0, 0, {}, 1, emptyLower, 0}, // on an empty stack: nothing at all
        {"com1", 0, 0, {1}, 2, "Stvorec", 1},
        {"com5", 0, 0, {1, 5}, 4, "Štvorec", 1}, // a name in the Central European code page
        {"com2", 0, 0, {1, 5, 2}, 12, "Pruh", 1},
        {"Zruposlednoperciu1", 0, 0, {1, 5}, 4, "Štvorec", 1},
        {"Zruposlednoperciu1", 0, 0, {1}, 2, "Stvorec", 1},
        {"Zruposlednoperciu1", 0, 0, {}, 1, emptyLower, 1},
        {"Zruposlednoperciu1", 0, 0, {}, 1, emptyLower, 0, "Príkazový zásobník je prázdny."},
        // On an empty stack the editing items do nothing at all.
        {"Zrusvybrany1", 0, 0, {}, 1, emptyLower, 0},
        {"Zrupovybranprkaz1", 0, 0, {}, 1, emptyLower, 0},
        {"Zameprkaz1", 0, 0, {}, 1, emptyLower, 0},
        {"Vloprkaz1", 0, 0, {}, 1, emptyLower, 0},
        {"com1", 0, 0, {1}, 2, "Stvorec", 1},
        {"com3", 0, 0, {1, 3}, 6, "Trojka", 1},
        {"Button1", 0, 0, {1, 3}, 12, "Trojka", 0}, // the reset takes the zoom too
        {"Reset1", 0, 0, {}, 1, emptyLower, 1},
        {"com1", 0, 0, {1}, 2, "Stvorec", 1},
        {"com3", 0, 0, {1, 3}, 6, "Trojka", 1},
        {"Zrusvybrany1", 1, 0, {3}, 3, "Trojka", 1}, // 6 / 2
        // Deleting the only entry leaves "-- Prázdny --" with a capital P.
        {"Zrusvybrany1", 0, 0, {}, 1, emptyUpper, 1},
        {"com1", 0, 0, {1}, 2, "Stvorec", 1},
        {"com2", 0, 0, {1, 2}, 6, "Pruh", 1},
        {"com3", 0, 0, {1, 2, 3}, 18, "Trojka", 1},
        {"com4", 0, 0, {1, 2, 3, 4}, 72, "Posun", 1},
        {"Zrupovybranprkaz1", 2, 0, {1, 2}, 6, "Pruh", 1}, // 72 / 4 / 3
        {"Zameprkaz1", 1, 3, {3, 2}, 9, "Pruh", 1},        // 6 x 3 / 2
        {"Zameprkaz1", 0, 13, {3, 2}, 9, "Pruh", 0},
        {"Vloprkaz1", 1, 4, {4, 3, 2}, 36, "Pruh", 1}, // 9 x 4
        {"Vloprkaz1", 0, 13, {4, 3, 2}, 36, "Pruh", 0},
    };
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.chosen)
            pickEntry(*window, step.chosen);
        QStringList texts, offered;
        BusyCounter busy(child<QLabel>(*window, "Label2"));
        ModalScript script;
        if (step.rule)
            answerChoice(script, step.rule, &offered);
        if (step.message)
            script.message(&texts);
        run(*window, step.name);
        EXPECT_EQ(texts, step.message ? QStringList{step.message} : QStringList());
        EXPECT_EQ(offered, step.rule ? standardNames : QStringList());
        EXPECT_EQ(busy.shown(rendering), step.renders);
        EXPECT_EQ(stackNumbers(*window), step.stack);
        EXPECT_EQ(window->model().shrinkFactor(), step.factor);
        EXPECT_EQ(window->model().selectedIndex(), 0);
        EXPECT_EQ(window->view().mosaic().extent(), 40 * window->model().mosaic().scale);
        expectList(*window, step.stack, step.text, !step.stack.empty());
    }
}

TEST(Stack, RefusalsSayWhyAndChangeNothing) {
    struct Row {
        const char* name;
        std::string hierarchy;
        std::vector<int> before; // applied first
        int refused;             // the command that is refused
        std::string_view message;
        bool memoryRefused = false;
    };
    const std::string unusable = "Nula\nscale: 0\nitem: 1\n0 0 1 1 R0\n"
                                 "Prazdny\nscale: 2\nitem: 0\n";
    const Row rows[] = {
        {"grid size 0", unusable, {}, 1, "Tento príkaz sa nedá použiť."},
        {"no parts", unusable, {}, 2, "Tento príkaz sa nedá použiť."},
        // 40 x 2000 pixels would leave the model.
        {"too large",
         "Obor\nscale: 2000\nitem: 1\n0 0 1 1 R0\n",
         {},
         1,
         "Mozaika by bola príliš veľká."},
        {"not enough memory",
         standardHierarchy,
         {1},
         1,
         "Na túto mozaiku nie je dosť pamäte.",
         true},
        {"a full stack", "Jedna\nscale: 1\nitem: 1\n0 0 1 1 MR0\n", std::vector<int>(255, 1), 1,
         "Príkazový zásobník je plný."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartFolder folder;
        folder.writeTile(numberedImage(40, 40));
        folder.writeHierarchy(row.hierarchy);
        auto window = startWindow(folder);
        apply(*window, row.before);
        if (row.memoryRefused)
            window->setMemoryCheckForTests([](std::int64_t, std::int32_t, bool) { return false; });
        const ornamo::Bitmap view = wholeView(window->view());

        QStringList texts;
        BusyCounter busy(child<QLabel>(*window, "Label2"));
        ModalScript script;
        script.message(&texts);
        apply(*window, {row.refused});
        EXPECT_EQ(texts, QStringList{text(row.message)});
        EXPECT_TRUE(busy.captions().isEmpty());
        EXPECT_EQ(stackNumbers(*window), row.before);
        EXPECT_EQ(listTexts(*window).size(), static_cast<qsizetype>(row.before.size()));
        EXPECT_EQ(wholeView(window->view()), view);
    }
}

// ---- Another hierarchy ----

TEST(Hierarchy, TheQuestionComesOnlyWithCommandsOnTheStack) {
    struct Row {
        const char* name;
        bool stacked;
        QMessageBox::StandardButton answer; // to the question, when asked
        const char* file;                   // chosen in the dialog; nullptr: Cancel
        QString firstCommand;               // com1's caption afterwards
        int loaded;                         // commands loaded afterwards
        std::string_view message = {};      // shown over the file dialog
    };
    const Row rows[] = {
        {"empty stack, file", false, QMessageBox::NoButton, "other.hrh", "Iný", 2},
        {"yes, file", true, QMessageBox::Yes, "other.hrh", "Iný", 2},
        {"cancel", true, QMessageBox::Cancel, nullptr, "Stvorec", 5},
        {"malformed file", false, QMessageBox::NoButton, "bad.hrh", "Dobry", 1,
         "Chybný formát súboru!"},
        // The file dialog takes a typed name of a missing file; the program says why it fails.
        {"typed name of no file", false, QMessageBox::NoButton, "chyba.hrh", "Stvorec", 5,
         "Zlyhalo otvorenie súboru %1 !!!"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto folder = standardFolder();
        folder->writeFile("other.hrh", "Iný\nscale: 2\nitem: 1\n0 0 2 2 R180\n\n"
                                       "Druhý\nscale: 2\nitem: 2\n0 0 1 1 R0\n1 1 1 1 R0\n");
        folder->writeFile("bad.hrh", "Dobry\nscale: 2\nitem: 1\n0 0 2 2 R0\n"
                                     "Zly\nscale: 2 \nitem: 1\n");
        auto window = startWindow(*folder);
        if (row.stacked)
            apply(*window, {1, 2});
        const auto numbers = stackNumbers(*window);

        QStringList texts;
        bool overTheDialog = false;
        BusyCounter busy(child<QLabel>(*window, "Label2"));
        ModalScript script;
        if (row.stacked)
            script.then<QMessageBox>([&](QMessageBox& box) {
                texts << box.text();
                // Qt's own buttons, in Slovak.
                EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("Án&o"));
                EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("&Nie"));
                EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Zrušiť"));
                box.button(row.answer)->click();
            });
        if (row.answer == QMessageBox::NoButton || row.answer == QMessageBox::Yes)
            answerFile(script, row.file ? folder->file(row.file) : QString(), "OpenDialog2");
        if (!row.message.empty())
            script.then<QMessageBox>([&](QMessageBox& box) {
                texts << box.text();
                overTheDialog = box.parentWidget()->objectName() == "OpenDialog2" &&
                                box.parentWidget()->isVisible();
                box.button(QMessageBox::Ok)->click();
            });
        trigger(*window, "Natajhierarchiu1");

        QStringList expected;
        if (row.stacked)
            expected << QStringLiteral("Načítaním inej hierarchie sa vaša terajšia mozaika zruší. "
                                       "Chcete naozaj pokračovať?");
        if (!row.message.empty())
            expected << text(row.message).replace(QStringLiteral("%1"), folder->file(row.file));
        EXPECT_EQ(texts, expected);
        EXPECT_EQ(overTheDialog, !row.message.empty());
        EXPECT_EQ(child<QPushButton>(*window, "com1")->text(), row.firstCommand);
        EXPECT_EQ(child<QPushButton>(*window, "com2")->isEnabled(), row.loaded >= 2);
        EXPECT_EQ(child<QPushButton>(*window, "com3")->isEnabled(), row.loaded >= 3);
        // Unless the question is answered No or Cancel, a new mosaic starts.
        if (row.answer != QMessageBox::No && row.answer != QMessageBox::Cancel) {
            EXPECT_TRUE(window->model().stack().empty());
            EXPECT_EQ(window->model().shrinkFactor(), 1);
            EXPECT_EQ(busy.shown(rendering), 1);
            expectList(*window, {}, emptyUpper, false);
            EXPECT_EQ(wholeView(window->view()), numberedImage(40, 40));
        } else {
            EXPECT_EQ(stackNumbers(*window), numbers);
            EXPECT_TRUE(busy.captions().isEmpty());
        }
    }
}

// ---- A new base tile ----

// A new tile replaces the old one at the same factor. A file that does not load, a cancel or a tile
// too large for the model leave the tile as it was; the mosaic is rendered again all the same.
TEST(Tile, ANewTileIsCroppedAndShownOrIsRefused) {
    struct Row {
        const char* name;
        QSize picture;     // written to new.bmp
        const char* file;  // chosen in the dialog; nullptr: Cancel
        const char* radio; // answered in the crop dialog; nullptr: no dialog
        int keptLeft;
        std::string message;
        const char* over; // the window the message appears over
    };
    StartFolder folder;
    folder.writeTile(numberedImage(40, 40));
    folder.writeFile("notes.txt", "no picture here\n");
    folder.writeHierarchy(standardHierarchy);
    const std::string loadFailed =
        "Nemôžem nahrať súbor " + folder.file("notes.txt").toStdString() + " !!!";
    const Row rows[] = {
        {"square", {80, 80}, "new.bmp", nullptr, 0, {}, nullptr},
        {"wide, cut away the left", {100, 60}, "new.bmp", "RadioButton1", 40, {}, nullptr},
        {"text file", {}, "notes.txt", nullptr, 0, loadFailed, "OpenDialog1"},
        {"cancelled", {}, nullptr, nullptr, 0, {}, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ornamo::Bitmap loaded = numberedImage(row.picture.width(), row.picture.height(), 7);
        if (!row.picture.isEmpty()) {
            ASSERT_TRUE(saveBitmapFile(loaded, folder.file("new.bmp")));
        }
        auto window = startWindow(folder);
        apply(*window, {4}); // one part at cell (3, 1) of a grid of 4
        const auto placements = window->model().mosaic().placements;
        const ornamo::Bitmap view = wholeView(window->view());

        QStringList texts;
        QWidget* over = nullptr;
        BusyCounter busy(child<QLabel>(*window, "Label2"));
        ModalScript script;
        answerFile(script, row.file ? folder.file(row.file) : QString(), "OpenDialog1");
        if (row.radio)
            script.then<CropDialog>([&](CropDialog& dialog) {
                child<QRadioButton>(dialog, row.radio)->click();
                child<QPushButton>(dialog, "Button1")->click();
            });
        if (!row.message.empty())
            script.message(&texts, QMessageBox::Ok, &over);
        trigger(*window, "OpenImage1");
        EXPECT_EQ(texts, row.message.empty() ? QStringList() : QStringList{text(row.message)});
        if (row.over) {
            ASSERT_NE(over, nullptr);
            EXPECT_EQ(over->objectName(), QString::fromLatin1(row.over));
        }
        EXPECT_EQ(busy.shown(rendering), 1);
        if (row.file && row.message.empty()) {
            const int side = row.picture.height();
            ornamo::Bitmap expected(side, side);
            expected.draw(loaded, -row.keptLeft, 0);
            EXPECT_EQ(window->model().mosaic().tileSize, side);
            EXPECT_EQ(window->model().mosaic().tiles->base(), expected);
            EXPECT_EQ(window->view().mosaic().extent(), 4 * side);
            EXPECT_EQ(wholeView(window->view()).width(), side); // the factor stays 4
        } else {
            EXPECT_EQ(window->model().mosaic().tileSize, 40);
            EXPECT_EQ(window->model().mosaic().tiles->base(), numberedImage(40, 40));
            EXPECT_EQ(window->model().mosaic().placements, placements);
            EXPECT_EQ(wholeView(window->view()), view);
        }
        EXPECT_EQ(stackNumbers(*window), std::vector<int>{4});
    }
}

// ---- Saving ----

// The whole view is written, reduced as shown, to the name given with ".bmp" added unless it
// ends so exactly; a file already there is replaced without a question. A file that cannot be
// written is reported over the dialog.
TEST(Save, NamesGetTheExtensionAndTheWholeViewIsWritten) {
    struct Row {
        const char* typed;
        const char* written;
        std::vector<int> applied;
        bool noScale;
        int zoomOuts; // 6 leave the view empty
        int width;    // of the file written; 0: the write fails
    };
    const Row rows[] = {
        {"obraz", "obraz.bmp", {1, 1}, false, 0, 40}, // factor 4: 40 of a 160-pixel mosaic
        {"obraz.bmp", "obraz.bmp", {1, 1}, false, 0, 40},
        {"obraz.BMP", "obraz.BMP.bmp", {1, 1}, false, 0, 40},
        {"obraz", "obraz.bmp", {1, 1}, true, 0, 160},
        {"notes.txt/obraz", "notes.txt/obraz.bmp", {}, false, 0, 0}, // a file, not a folder
        {"empty", "empty.bmp", {}, false, 6, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.typed << " after " << row.applied.size()
                                        << " command(s), no scale " << row.noScale);
        auto folder = standardFolder();
        folder->writeFile("obraz.bmp", "whatever was here before");
        folder->writeFile("notes.txt", "a file, not a folder");
        auto window = startWindow(*folder);
        apply(*window, row.applied);
        if (row.noScale)
            trigger(*window, "Nekluj1");
        for (int i = 0; i < row.zoomOuts; ++i)
            click(*window, "Button1");
        const ornamo::Bitmap view = wholeView(window->view());
        const QString written = folder->file(row.written);

        QStringList texts;
        QWidget* over = nullptr;
        BusyCounter busy(child<QLabel>(*window, "Label2"));
        ModalScript script; // the file dialog, and a message only when the write fails
        answerFile(script, folder->file(row.typed), "SavePictureDialog1");
        if (!row.width)
            script.message(&texts, QMessageBox::Ok, &over);
        trigger(*window, "UloBitmapu1");
        EXPECT_EQ(wholeView(window->view()), view);
        EXPECT_EQ(QFile::exists(folder->file(row.typed)),
                  std::string_view(row.typed) == row.written && row.width);
        if (!row.width) {
            EXPECT_EQ(texts, QStringList{"Zlyhalo uloženie súboru " + written + " !!!"});
            ASSERT_NE(over, nullptr);
            EXPECT_EQ(over->objectName(), QStringLiteral("SavePictureDialog1"));
            EXPECT_FALSE(QFile::exists(written));
            continue;
        }
        EXPECT_EQ(busy.shown(saving), 1);
        const std::optional<ornamo::Bitmap> saved = ornamo::loadBitmapFile(written);
        ASSERT_TRUE(saved.has_value());
        EXPECT_EQ(saved->width(), row.width);
        EXPECT_EQ(*saved, view);
    }
}

TEST(Save, ExportWritesTheFullSizeMosaicOrTheViewInTheChosenFormat) {
    // One part stretched over a grid of 1000: a 40000-pixel mosaic, too large for a BMP file.
    auto folder = std::make_unique<StartFolder>();
    folder->writeTile(numberedImage(40, 40));
    folder->writeHierarchy(standardHierarchy +
                           "\nVelka\nscale: 1000\nitem: 1\n0 0 1000 1000 R90\n");
    auto window = startWindow(*folder);
    click(*window, "com1"); // grid 2: the full-size mosaic is 80 pixels across, the view 40
    const ornamo::Bitmap full = fullImage(*window);
    const ornamo::Bitmap view = wholeView(window->view());
    struct Row {
        const char* typed;
        const char* filter;
        bool fullSize;
        const char* written;
        const ornamo::Bitmap* expected; // none: refused with the message
    };
    const Row rows[] = {
        {"plna", "Obrázky PNG (*.png)", true, "plna.png", &full},
        {"plna.PNG", "Obrázky PNG (*.png)", true, "plna.PNG", &full},
        {"pohlad.png", "Súbory BMP (*.bmp)", false, "pohlad.png", &view}, // typed: PNG
        {"vzor.bmp", "Obrázky PNG (*.png)", true, "vzor.bmp", &full},
        {"velka", "Súbory BMP (*.bmp)", true, "velka.bmp", nullptr},
        {"velka", "Súbory BMP (*.bmp)", false, "velka.bmp", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.written);
        if (!row.expected && row.fullSize) { // the 40000-pixel mosaic, its view 40 across
            trigger(*window, "Reset1");
            click(*window, "com6");
            folder->writeFile(row.written, "old"); // refused before any question about it
        }
        QStringList texts;
        ModalScript script;
        script.then<QFileDialog>([&](QFileDialog& dialog) {
            EXPECT_EQ(dialog.objectName(), QStringLiteral("ExportDialog1"));
            dialog.selectNameFilter(text(row.filter));
            dialog.findChild<QRadioButton*>(row.fullSize ? "fullSize" : "view")->setChecked(true);
            dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(folder->file(row.typed));
            static_cast<QDialog&>(dialog).accept();
        });
        if (!row.expected && row.fullSize)
            script.message(&texts);
        trigger(*window, "Exportujobrazok1");
        const QString written = folder->file(row.written);
        if (!row.expected && row.fullSize) {
            EXPECT_EQ(texts, QStringList{text("Tento obrázok je pre formát BMP príliš veľký "
                                              "(najviac 4 GB). Uložte ho ako PNG.")});
            QFile kept(written);
            EXPECT_TRUE(kept.open(QIODevice::ReadOnly) && kept.readAll() == "old");
            kept.remove();
            continue;
        }
        const QImage saved(written);
        // The format is the one the name ends in.
        EXPECT_EQ(QImageReader::imageFormat(written), QFileInfo(written).suffix().toLower());
        const ornamo::Bitmap& expected = row.expected ? *row.expected : wholeView(window->view());
        ASSERT_EQ(saved.size(), QSize(expected.width(), expected.height()));
        expectPixels(saved, expected, 0, 0);
    }
}

// A mosaic whose full-size picture takes long to write: 40000 pixels a side.
std::unique_ptr<MainWindow> largeMosaicWindow(const StartFolder& folder) {
    auto window = startWindow(folder);
    click(*window, "com6");
    return window;
}

// Types `name` into the export dialog with the filter and the picture chosen, and confirms it.
std::function<void(QFileDialog&)> exportAs(const QString& name, const char* filter, bool fullSize) {
    return [=](QFileDialog& dialog) {
        dialog.selectNameFilter(text(filter));
        dialog.findChild<QRadioButton*>(fullSize ? "fullSize" : "view")->setChecked(true);
        dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
        static_cast<QDialog&>(dialog).accept();
    };
}

// The question about a file already there names the file really written, extension and all;
// "No" keeps the dialog open and the file as it was.
TEST(Save, ExportAsksAboutTheNameItWrites) {
    auto folder = std::make_unique<StartFolder>();
    folder->writeTile(numberedImage(40, 40));
    folder->writeHierarchy(standardHierarchy);
    folder->writeFile("plna.png", "old");
    auto window = startWindow(*folder);
    QStringList texts;
    const auto answer = [&texts](QMessageBox::StandardButton button) {
        return [&texts, button](QMessageBox& box) {
            texts << box.text();
            box.button(button)->click();
        };
    };
    ModalScript script;
    const auto typed = exportAs(folder->file("plna"), "Obrázky PNG (*.png)", true);
    script.then<QFileDialog>(typed)
        .then<QMessageBox>(answer(QMessageBox::No))
        .then<QFileDialog>(typed)
        .then<QMessageBox>(answer(QMessageBox::Yes));
    trigger(*window, "Exportujobrazok1");
    const QString question =
        "Súbor " + folder->file("plna.png") + " už existuje.\nChcete ho nahradiť?";
    EXPECT_EQ(texts, QStringList({question, question}));
    EXPECT_EQ(QImage(folder->file("plna.png")).width(), 40);
}

// While an export runs under its progress window nothing starts another save or export, and
// "Zrušiť" stops it, leaving the old file byte for byte and no temporary file.
TEST(Save, AnExportRunsAloneAndCanBeCancelled) {
    auto folder = std::make_unique<StartFolder>();
    folder->writeTile(numberedImage(40, 40));
    folder->writeHierarchy(standardHierarchy +
                           "\nVelka\nscale: 1000\nitem: 1\n0 0 1000 1000 R90\n");
    folder->writeFile("velka.png", "old picture");
    const QStringList before = QDir(folder->file(".")).entryList(QDir::Files);
    auto window = largeMosaicWindow(*folder);
    QString caption;
    ModalScript script;
    script.then<QFileDialog>(exportAs(folder->file("velka"), "Obrázky PNG (*.png)", true))
        .then<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); })
        .then<QProgressDialog>([&](QProgressDialog& progress) {
            caption = progress.labelText();
            trigger(*window, "Exportujobrazok1");
            trigger(*window, "UloBitmapu1");
            const auto buttons = progress.findChildren<QPushButton*>();
            ASSERT_EQ(buttons.size(), 1);
            EXPECT_EQ(buttons.front()->text(), text("Zrušiť"));
            buttons.front()->click();
        });
    const auto started = std::chrono::steady_clock::now();
    trigger(*window, "Exportujobrazok1");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    // The caption, and the size of the picture written (40000 pixels a side).
    EXPECT_EQ(caption, saving + QStringLiteral("\n40000 × 40000 px, 4,8 GB"));
    QFile old(folder->file("velka.png"));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old picture"));
    EXPECT_EQ(QDir(folder->file(".")).entryList(QDir::Files), before);
}
