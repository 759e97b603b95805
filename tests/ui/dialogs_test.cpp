#include "exportdialog.h"
// The four secondary windows, driven through their real controls: the crop dialog, the rule
// choice dialog, the about window with the program picture, and the help window.

#include "about.h"
#include "choice.h"
#include "dialog.h"
#include "info.h"
#include "windowfixture.h"

#include <QListWidget>
#include <QMenuBar>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <set>

using namespace windowtest;

namespace {

// The ways the user ends a dialog.
void closeByCaption(QDialog& shown) {
    shown.close();
}
void pressOk(QDialog& shown) {
    click(shown, "Button1");
}
void pressCancel(QDialog& shown) {
    click(shown, "Button2");
}
// Neither dialog has a cancel button: Escape leaves it open, and OK ends it.
void pressEscapeThenOk(QDialog& shown) {
    QTest::keyClick(&shown, Qt::Key_Escape);
    EXPECT_TRUE(shown.isVisible()) << "Escape does nothing";
    pressOk(shown);
}
// Enter presses the button that has the focus, here "Zruš" rather than the default OK.
void enterOnCancel(QDialog& shown) {
    auto* button = child<QPushButton>(shown, "Button2");
    button->setFocus(Qt::TabFocusReason);
    QTest::keyClick(button, Qt::Key_Return);
}

// ---- Crop dialog ----

// One dialog through a run of showings, each through its real controls: the radio button
// offered (the last choice, the first at the first showing), the texts for the tile's shape, and
// the choice picked, whichever way the dialog ends.
TEST(CropDialog, ReturnsTheChoiceHoweverItEndsAndOffersTheLastChoice) {
    using Choice = ornamo::CropChoice;
    const char* const radios[] = {"RadioButton1", "RadioButton2", "RadioButton3"};
    const char* const tallTexts[] = {"Orezať zhora", "Orezať zdola", "Nechať stred"};
    const char* const wideTexts[] = {"Orezať zľava", "Orezať zprava", "Nechať stred"};
    struct Showing {
        const char* name;
        int width, height;
        int offered, picked; // radio buttons, 1 to 3
        void (*end)(QDialog&);
        Choice expected;
    };
    const Showing showings[] = {
        {"wide, cut away the left, OK", 100, 60, 1, 1, pressOk, Choice::First},
        {"wide, keep the middle, Escape, OK", 100, 60, 1, 3, pressEscapeThenOk, Choice::Middle},
        {"tall, cut away the top, close button", 60, 101, 3, 1, closeByCaption, Choice::First},
        {"tall, cut away the bottom, OK", 60, 101, 1, 2, pressOk, Choice::Second},
        {"one column too wide, keep the middle", 9, 8, 2, 3, pressOk, Choice::Middle},
        {"square counts as tall", 50, 50, 3, 2, pressOk, Choice::Second},
    };
    CropDialog dialog;
    for (const Showing& showing : showings) {
        SCOPED_TRACE(showing.name);
        ModalScript script;
        script.then<QDialog>([&](QDialog& shown) {
            for (int i = 0; i < 3; ++i) {
                auto* radio = child<QAbstractButton>(shown, radios[i]);
                ASSERT_NE(radio, nullptr);
                EXPECT_EQ(radio->isChecked(), i + 1 == showing.offered) << radios[i];
                EXPECT_EQ(radio->text(),
                          text((showing.width > showing.height ? wideTexts : tallTexts)[i]));
            }
            click(shown, radios[showing.picked - 1]);
            showing.end(shown);
        });
        dialog.setTileShape(ornamo::Bitmap(showing.width, showing.height));
        dialog.exec();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.choice(), showing.expected);
    }
}

// ---- Rule choice dialog ----

QStringList twelveNames() {
    QStringList names;
    for (const char* name : {"Kríž", "Šachovnica", "Ďatelina", "Špirála", "Roh", "Pás", "Vietor",
                             "Žirafa", "Mriežka", "Čelo", "Ľalia", "Posledný"})
        names << text(name);
    return names;
}

// Ends the rule choice by a double-click on the entry instead.
constexpr void (*doubleClick)(QDialog&) = nullptr;

// Selects `entry` (none when negative) with the mouse and ends the dialog with `end`, or
// double-clicks the entry through the window system, which turns the second of two quick
// clicks into a double-click as it does for a user.
void pick(QDialog& shown, int entry, void (*end)(QDialog&)) {
    auto* list = child<QListWidget>(shown, "ListBox1");
    ASSERT_NE(list, nullptr);
    ASSERT_LT(entry, list->count());
    const QPoint at = entry < 0 ? QPoint() : list->visualItemRect(list->item(entry)).center();
    if (end == doubleClick) {
        QTest::mouseDClick(shown.windowHandle(), Qt::LeftButton, {},
                           list->viewport()->mapTo(&shown, at));
        return;
    }
    if (entry >= 0)
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    end(shown);
}

TEST(ChoiceDialog, EveryWayOfEndingIt) {
    struct Row {
        const char* name;
        bool emptyOkFirst; // "OK" with nothing selected, which must leave the dialog open
        int entry;
        void (*end)(QDialog&);
        int chosen;
    };
    const Row rows[] = {
        {"OK on the first entry", false, 0, pressOk, 1},
        {"OK without a selection, then on the third entry", true, 2, pressOk, 3},
        {"double-click on the first entry", false, 0, doubleClick, 1},
        {"Zruš with an entry selected", false, 5, pressCancel, 13},
        {"Escape with an entry selected, then OK", false, 5, pressEscapeThenOk, 6},
        {"Enter on the focused Zruš", false, 3, enterOnCancel, 13},
        {"close button after an empty OK", true, -1, closeByCaption, 13},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ChoiceDialog dialog;
        ModalScript script;
        script.then<QDialog>([&](QDialog& shown) {
            if (row.emptyOkFirst) {
                pressOk(shown);
                EXPECT_TRUE(shown.isVisible());
                EXPECT_EQ(QApplication::activeModalWidget(), &shown);
            }
            pick(shown, row.entry, row.end);
        });
        EXPECT_EQ(dialog.choose(twelveNames()), row.chosen);
    }
}

TEST(ChoiceDialog, OneDialogListsTheNamesUpToTheFirstEmptySlotAfresh) {
    struct Row {
        const char* name;
        std::vector<std::pair<int, const char*>> renamed; // slot index, new name
        int listed;
    };
    const Row rows[] = {
        {"twelve commands, all listed", {}, 12},
        {"empty first slot: nothing to offer", {{0, "--"}}, 0},
        {"only an exact \"--\" is empty", {{1, "--x"}, {2, " --"}, {3, "--"}}, 3},
        {"all twelve again", {}, 12},
    };
    ChoiceDialog dialog;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QStringList names = twelveNames();
        for (const auto& [slot, name] : row.renamed)
            names[slot] = text(name);
        ModalScript script;
        script.then<QDialog>([&](QDialog& shown) {
            auto* list = child<QListWidget>(shown, "ListBox1");
            ASSERT_NE(list, nullptr);
            QStringList listed;
            for (int i = 0; i < list->count(); ++i)
                listed << list->item(i)->text();
            EXPECT_EQ(listed, names.mid(0, row.listed));
            EXPECT_TRUE(list->selectedItems().isEmpty()) << "nothing is selected at a showing";
            pick(shown, row.listed - 1, row.listed == 0 ? pressCancel : pressOk);
        });
        EXPECT_EQ(dialog.choose(names), row.listed == 0 ? 13 : row.listed);
    }
}

// ---- Program picture ----

constexpr QRgb white = qRgb(255, 255, 255);
constexpr QRgb pinkMauve = qRgb(200, 172, 191);
constexpr QRgb lilac = qRgb(183, 172, 200);
constexpr QRgb darkBlue = qRgb(60, 105, 155);

// A white cross two pixels wide (rows and columns 15 and 16) parts a disc whose top-left
// quarter is pink-mauve with dark blue, and the symmetries carry it to the other three. The about
// window and the icon show it with its white ground transparent.
TEST(ProgramPicture, SymmetricAndShownWithTheWhiteGroundTransparent) {
    const QImage picture = programPicture();
    ASSERT_EQ(picture.size(), QSize(32, 32));
    std::set<QRgb> topLeftQuarter;
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 15; ++x)
            topLeftQuarter.insert(picture.pixel(x, y));
    EXPECT_EQ(topLeftQuarter, (std::set<QRgb>{white, pinkMauve, darkBlue}));
    for (int i = 0; i < 32; ++i)
        for (const QPoint& cross : {QPoint(15, i), QPoint(16, i), QPoint(i, 15), QPoint(i, 16)})
            EXPECT_EQ(picture.pixel(cross), white) << cross.x() << ", " << cross.y();
    AboutDialog about;
    std::vector<std::pair<std::string, QImage>> shown = {
        {"transparent picture", transparentProgramPicture()},
        {"icon", programIcon().pixmap(32, 32).toImage()},
    };
    for (const char* name : {"Image1", "Image2"})
        shown.emplace_back(name, child<QLabel>(about, name)->pixmap().toImage());
    for (const auto& [name, image] : shown)
        ASSERT_EQ(image.size(), QSize(32, 32)) << name;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            SCOPED_TRACE(testing::Message() << "pixel " << x << ", " << y);
            const QRgb here = picture.pixel(x, y);
            ASSERT_EQ(here, picture.pixel(31 - x, 31 - y)) << "turned halfway";
            const QRgb mirrored = picture.pixel(31 - x, y);
            ASSERT_EQ(here, mirrored == pinkMauve ? lilac
                            : mirrored == lilac   ? pinkMauve
                                                  : mirrored)
                << "mirrored, with the two quarter colours swapped";
            for (const auto& [name, image] : shown)
                ASSERT_EQ(image.pixel(x, y), here == white ? qRgba(0, 0, 0, 0) : here) << name;
        }
}

// ---- Help window ----

// The help window lists each key the menu shows, as this platform writes it, beside its item
// as "menu/item"; below the text, read-only and selectable, each line fitting the box.
TEST(HelpWindow, ListsEveryKeyTheMenuShowsReadOnlyAndKeepsItsPlace) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    trigger(*window, "Ovldanie1");
    HelpWindow* help = window->findChild<HelpWindow*>();
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    auto* edit = help->findChild<QTextEdit*>(QStringLiteral("RichEdit1"));
    ASSERT_NE(edit, nullptr);
    const QStringList listed = edit->toPlainText().split(QLatin1Char('\n'));
    for (QAction* menu : window->menuBar()->actions())
        for (QAction* item : menu->menu()->actions())
            if (!item->shortcut().isEmpty()) {
                const QString line = item->shortcut().toString(QKeySequence::NativeText) +
                                     QStringLiteral("   ") + menu->text().remove(QLatin1Char('&')) +
                                     QLatin1Char('/') + item->text().remove(QChar(0x2026));
                EXPECT_TRUE(listed.contains(line)) << line.toStdString();
            }
    const int lines = edit->document()->blockCount();

    EXPECT_TRUE(edit->isReadOnly());
    QTest::keyClick(edit, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(edit->textCursor().selectedText(), QStringLiteral("Ovládanie programu..."));
    EXPECT_TRUE(edit->textInteractionFlags() & Qt::TextSelectableByMouse);

    // Each line is shown as written, on one line that fits the box, whatever the font.
    for (int line = 0; line < lines; ++line) {
        const QTextLayout* layout = edit->document()->findBlockByNumber(line).layout();
        ASSERT_EQ(layout->lineCount(), 1) << "line " << line + 1;
        EXPECT_LE(layout->lineAt(0).naturalTextWidth(),
                  edit->viewport()->width() - 2 * edit->document()->documentMargin())
            << "line " << line + 1;
    }
    QScrollBar* bar = edit->verticalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    bar->setValue(bar->maximum() / 2);
    const int kept = bar->value();
    ASSERT_GT(kept, 0);
    EXPECT_TRUE(help->close());
    EXPECT_TRUE(help->isHidden());
    trigger(*window, "Ovldanie1");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    EXPECT_EQ(bar->value(), kept);
}

// The program keeps no settings: a file dialog that came and went wrote none.
TEST(FileDialogs, WriteNoSettings) {
    const QDir configuration(qEnvironmentVariable("XDG_CONFIG_HOME"));
    delete new ExportDialog(nullptr);
    EXPECT_EQ(configuration.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

// A name typed into a file dialog and confirmed with Enter leaves no completion list behind to
// take the next click.
TEST(FileDialogs, TheCompletionListGoesWithTheDialog) {
    auto folder = standardFolder();
    folder->writeFile(QStringLiteral("ine.hrh"), standardHierarchy);
    auto window = startWindow(*folder);
    {
        ModalScript script;
        script.then<QFileDialog>([&](QFileDialog& dialog) {
            dialog.setDirectory(folder->path());
            auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setFocus();
            QTest::qWait(300); // the folder's list is read in the background
            QTest::keyClicks(name, QStringLiteral("in"));
            QTRY_VERIFY_WITH_TIMEOUT(QApplication::activePopupWidget(), 3000);
            QTest::keyClicks(QApplication::activePopupWidget(), QStringLiteral("e.hrh"));
            QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Return);
        });
        trigger(*window, "Natajhierarchiu1");
    }
    QTest::qWait(100);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    click(*window, "com1");
    EXPECT_EQ(stackNumbers(*window), std::vector<int>{1});
}

// Every file dialog starts in the folder of the last file opened or saved in this run.
TEST(FileDialogs, StartWhereTheLastFileWas) {
    auto folder = standardFolder();
    QDir(folder->path()).mkpath(QStringLiteral("a/b"));
    ASSERT_TRUE(saveBitmapFile(numberedImage(40, 40), folder->file(QStringLiteral("a/t.bmp"))));
    auto window = startWindow(*folder);
    const auto startsIn = [&](const char* item, const QString& where) {
        SCOPED_TRACE(item);
        QString shown;
        ModalScript script;
        script.then<QFileDialog>([&](QFileDialog& dialog) {
            shown = dialog.directory().absolutePath();
            dialog.reject();
        });
        trigger(*window, item);
        EXPECT_EQ(shown, where);
    };
    window->openStartFiles({folder->file(QStringLiteral("a/t.bmp"))});
    // (The work is unchanged until "Načítaj hierarchiu" starts a new mosaic.)
    for (const char* item : {"OtvorPracu1", "UlozPracuAko1", "OpenImage1", "UloBitmapu1",
                             "Exportujobrazok1", "Natajhierarchiu1"})
        startsIn(item, folder->file(QStringLiteral("a")));
    {
        ModalScript script;
        answerFile(script, folder->file(QStringLiteral("a/b/obraz.bmp")), "SavePictureDialog1");
        trigger(*window, "UloBitmapu1");
    }
    startsIn("OpenImage1", folder->file(QStringLiteral("a/b")));
}

} // namespace
