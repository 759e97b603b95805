// The four secondary windows, driven through their real controls: the crop dialog, the rule
// choice dialog, the about window with the program picture, and the help window.

#include "about.h"
#include "choice.h"
#include "dialog.h"
#include "info.h"
#include "modal.h"

#include "bitmap.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QAbstractButton* button(QWidget& window, const char* name) {
    auto* found = window.findChild<QAbstractButton*>(QString::fromLatin1(name));
    if (!found)
        ADD_FAILURE() << "no button " << name << " in " << window.objectName().toStdString();
    return found;
}

void click(QWidget& window, const char* name) {
    if (QAbstractButton* target = button(window, name))
        QTest::mouseClick(target, Qt::LeftButton);
}

// ---- Crop dialog ----

// Every pixel tells where it came from: red = column, green = row.
ornamo::Bitmap numberedTile(int width, int height) {
    ornamo::Bitmap tile(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            tile.setPixel(x, y,
                          ornamo::makeColor(static_cast<std::uint8_t>(x),
                                            static_cast<std::uint8_t>(y), 0x5A));
    return tile;
}

// The result must be the min(W, H) square of the original starting at (firstColumn, firstRow).
void expectKept(const ornamo::Bitmap& result, const ornamo::Bitmap& original, int firstColumn,
                int firstRow) {
    const int side = std::min(original.width(), original.height());
    ASSERT_EQ(result.width(), side);
    ASSERT_EQ(result.height(), side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            if (result.pixel(x, y) != original.pixel(x + firstColumn, y + firstRow)) {
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is not column "
                              << x + firstColumn << ", row " << y + firstRow;
                return;
            }
}

ornamo::Bitmap cropWith(CropDialog& dialog, const ornamo::Bitmap& original,
                        std::function<void(QDialog&)> answer) {
    ornamo::Bitmap tile = original;
    ModalAnswer modal(std::move(answer));
    dialog.cropTile(tile);
    return tile;
}

struct CropCase {
    const char* name;
    int width;
    int height;
    const char* radio;
    int firstColumn;
    int firstRow;
};

const CropCase cropCases[] = {
    {"wide, cut away the left", 100, 60, "RadioButton1", 40, 0},
    {"wide, cut away the right", 100, 60, "RadioButton2", 0, 0},
    {"wide, keep the middle", 100, 60, "RadioButton3", 20, 0},
    {"tall, cut away the top", 60, 101, "RadioButton1", 0, 41},
    {"tall, cut away the bottom", 60, 101, "RadioButton2", 0, 0},
    {"tall, keep the middle (odd difference: one row more off the bottom)", 60, 101, "RadioButton3",
     0, 20},
    {"one column too wide, keep the middle", 9, 8, "RadioButton3", 0, 0},
    {"one row too tall, cut away the top", 8, 9, "RadioButton1", 0, 1},
    {"square, first choice leaves it", 30, 30, "RadioButton1", 0, 0},
    {"square, second choice leaves it", 30, 30, "RadioButton2", 0, 0},
    {"square, middle leaves it", 30, 30, "RadioButton3", 0, 0},
};

TEST(CropDialog, EachChoiceThroughItsRadioButtonAndOk) {
    for (const CropCase& row : cropCases) {
        SCOPED_TRACE(row.name);
        CropDialog dialog;
        const ornamo::Bitmap original = numberedTile(row.width, row.height);
        const ornamo::Bitmap result = cropWith(dialog, original, [&](QDialog& shown) {
            QAbstractButton* radio = button(shown, row.radio);
            ASSERT_NE(radio, nullptr);
            QTest::mouseClick(radio, Qt::LeftButton);
            EXPECT_TRUE(radio->isChecked());
            click(shown, "Button1");
        });
        expectKept(result, original, row.firstColumn, row.firstRow);
    }
}

struct Closing {
    const char* name;
    std::function<void(QDialog&)> close;
};

TEST(CropDialog, EveryWayOfClosingCropsAsChosen) {
    const Closing closings[] = {
        {"OK", [](QDialog& shown) { click(shown, "Button1"); }},
        {"the caption's close button", [](QDialog& shown) { shown.close(); }},
        {"Escape", [](QDialog& shown) { QTest::keyClick(&shown, Qt::Key_Escape); }},
    };
    for (const Closing& closing : closings) {
        SCOPED_TRACE(closing.name);
        CropDialog dialog;
        const ornamo::Bitmap original = numberedTile(100, 60);
        const ornamo::Bitmap result = cropWith(dialog, original, [&](QDialog& shown) {
            click(shown, "RadioButton3");
            closing.close(shown);
        });
        expectKept(result, original, 20, 0);
        EXPECT_FALSE(dialog.isVisible());
    }
}

TEST(CropDialog, OffersTheLastChoiceAgain) {
    CropDialog dialog;
    auto checkedRadios = [](QDialog& shown) {
        std::string checked;
        for (const char* name : {"RadioButton1", "RadioButton2", "RadioButton3"})
            if (QAbstractButton* radio = button(shown, name); radio && radio->isChecked())
                checked += name;
        return checked;
    };

    const ornamo::Bitmap wide = numberedTile(100, 60);
    const ornamo::Bitmap first = cropWith(dialog, wide, [&](QDialog& shown) {
        EXPECT_EQ(checkedRadios(shown), "RadioButton1") << "the first showing offers the first";
        click(shown, "RadioButton2");
        click(shown, "Button1");
    });
    expectKept(first, wide, 0, 0);

    const ornamo::Bitmap tall = numberedTile(60, 101);
    const ornamo::Bitmap second = cropWith(dialog, tall, [&](QDialog& shown) {
        EXPECT_EQ(checkedRadios(shown), "RadioButton2");
        click(shown, "Button1");
    });
    expectKept(second, tall, 0, 0);

    const ornamo::Bitmap third = cropWith(dialog, wide, [&](QDialog& shown) {
        EXPECT_EQ(checkedRadios(shown), "RadioButton2");
        shown.close();
    });
    expectKept(third, wide, 0, 0);
}

TEST(CropDialog, RadioTextsFollowTheShapeOfEachTile) {
    struct Row {
        const char* name;
        int width;
        int height;
        const char* texts[3];
    };
    const Row rows[] = {
        {"tall", 60, 101, {"Orezať zhora", "Orezať zdola", "Nechať stred"}},
        {"wide", 100, 60, {"Orezať zľava", "Orezať zprava", "Nechať stred"}},
        {"tall again after a wide one", 40, 41, {"Orezať zhora", "Orezať zdola", "Nechať stred"}},
        {"square counts as tall", 50, 50, {"Orezať zhora", "Orezať zdola", "Nechať stred"}},
    };
    CropDialog dialog;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        cropWith(dialog, numberedTile(row.width, row.height), [&](QDialog& shown) {
            const char* names[3] = {"RadioButton1", "RadioButton2", "RadioButton3"};
            for (int i = 0; i < 3; ++i)
                if (QAbstractButton* radio = button(shown, names[i])) {
                    EXPECT_EQ(radio->text(), text(row.texts[i])) << names[i];
                    EXPECT_LE(radio->sizeHint().width(), radio->width())
                        << names[i] << ": the text fits";
                }
            click(shown, "Button1");
        });
    }
}

TEST(CropDialog, IsAModalCentredWindowAboveTheOthers) {
    CropDialog dialog;
    cropWith(dialog, numberedTile(100, 60), [&](QDialog& shown) {
        EXPECT_EQ(&shown, &dialog);
        EXPECT_TRUE(shown.isModal());
        const QRect desktop = shown.screen()->geometry();
        const QPoint offset = shown.frameGeometry().center() - desktop.center();
        EXPECT_LE(std::abs(offset.x()), 1) << "horizontally centred";
        EXPECT_LE(std::abs(offset.y()), 1) << "vertically centred";
        click(shown, "Button1");
    });
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
}

// ---- Rule choice dialog ----

QStringList twelveNames() {
    QStringList names;
    for (const char* name : {"Kríž", "Šachovnica", "Ďatelina", "Špirála", "Roh", "Pás", "Vietor",
                             "Žirafa", "Mriežka", "Čelo", "Ľalia", "Posledný"})
        names << text(name);
    return names;
}

QListWidget* listOf(QDialog& shown) {
    auto* list = shown.findChild<QListWidget*>(QStringLiteral("ListBox1"));
    if (!list)
        ADD_FAILURE() << "no ListBox1";
    return list;
}

void clickEntry(QDialog& shown, int row) {
    QListWidget* list = listOf(shown);
    if (!list || row >= list->count()) {
        ADD_FAILURE() << "no entry " << row;
        return;
    }
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

QStringList entries(QDialog& shown) {
    QStringList shownNames;
    if (QListWidget* list = listOf(shown))
        for (int i = 0; i < list->count(); ++i)
            shownNames << list->item(i)->text();
    return shownNames;
}

int chooseWith(ChoiceDialog& dialog, const QStringList& names,
               std::function<void(QDialog&)> answer) {
    ModalAnswer modal(std::move(answer));
    return dialog.choose(names);
}

TEST(ChoiceDialog, OkReturnsTheNumberOfTheSelectedCommand) {
    for (int row : {0, 4, 11}) {
        SCOPED_TRACE(row);
        ChoiceDialog dialog;
        const int chosen = chooseWith(dialog, twelveNames(), [&](QDialog& shown) {
            clickEntry(shown, row);
            click(shown, "Button1");
        });
        EXPECT_EQ(chosen, row + 1);
    }
}

TEST(ChoiceDialog, OkWithoutASelectionKeepsItOpen) {
    ChoiceDialog dialog;
    const int chosen = chooseWith(dialog, twelveNames(), [&](QDialog& shown) {
        click(shown, "Button1");
        EXPECT_TRUE(shown.isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), &shown);
        clickEntry(shown, 2);
        click(shown, "Button1");
    });
    EXPECT_EQ(chosen, 3);
}

TEST(ChoiceDialog, DoubleClickOnAnEntryEndsItLikeOk) {
    for (int row : {0, 6}) {
        SCOPED_TRACE(row);
        ChoiceDialog dialog;
        const int chosen = chooseWith(dialog, twelveNames(), [&](QDialog& shown) {
            QListWidget* list = listOf(shown);
            ASSERT_NE(list, nullptr);
            // Through the window system, which turns the second of two quick clicks into a
            // double-click, as it does for a user.
            const QPoint entry = list->visualItemRect(list->item(row)).center();
            QTest::mouseDClick(shown.windowHandle(), Qt::LeftButton, {},
                               list->viewport()->mapTo(&shown, entry));
        });
        EXPECT_EQ(chosen, row + 1);
    }
}

TEST(ChoiceDialog, CancellingGivesThirteen) {
    const Closing cancels[] = {
        {"Zruš with an entry selected",
         [](QDialog& shown) {
             clickEntry(shown, 5);
             click(shown, "Button2");
         }},
        {"the caption's close button with an entry selected",
         [](QDialog& shown) {
             clickEntry(shown, 5);
             shown.close();
         }},
        {"Escape with an entry selected",
         [](QDialog& shown) {
             clickEntry(shown, 5);
             QTest::keyClick(&shown, Qt::Key_Escape);
         }},
        {"the caption's close button after an empty OK",
         [](QDialog& shown) {
             click(shown, "Button1");
             shown.close();
         }},
    };
    for (const Closing& cancel : cancels) {
        SCOPED_TRACE(cancel.name);
        ChoiceDialog dialog;
        EXPECT_EQ(chooseWith(dialog, twelveNames(), cancel.close), 13);
    }
}

TEST(ChoiceDialog, ListsTheNamesUpToTheFirstEmptySlot) {
    struct Row {
        const char* name;
        std::vector<std::pair<int, const char*>> renamed; // slot index, new name
        int listed;
    };
    const Row rows[] = {
        {"twelve commands, all listed", {}, 12},
        {"empty fourth slot ends the list", {{3, "--"}}, 3},
        {"empty last slot", {{11, "--"}}, 11},
        {"empty first slot: nothing to offer", {{0, "--"}}, 0},
        {"only an exact \"--\" is empty", {{1, "--x"}, {2, " --"}, {3, "--"}}, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QStringList names = twelveNames();
        for (const auto& [slot, name] : row.renamed)
            names[slot] = text(name);
        ChoiceDialog dialog;
        const int chosen = chooseWith(dialog, names, [&](QDialog& shown) {
            EXPECT_EQ(entries(shown), names.mid(0, row.listed));
            if (row.listed == 0) {
                click(shown, "Button2");
                return;
            }
            clickEntry(shown, row.listed - 1);
            click(shown, "Button1");
        });
        EXPECT_EQ(chosen, row.listed == 0 ? 13 : row.listed);
    }
}

TEST(ChoiceDialog, EachShowingStartsAfreshFromTheNamesGiven) {
    ChoiceDialog dialog;
    EXPECT_EQ(chooseWith(dialog, twelveNames(),
                         [&](QDialog& shown) {
                             clickEntry(shown, 1);
                             click(shown, "Button1");
                         }),
              2);

    const QStringList newNames = {text("Nový"), text("Druhý"), QStringLiteral("--")};
    const int chosen = chooseWith(dialog, newNames, [&](QDialog& shown) {
        EXPECT_EQ(entries(shown), newNames.mid(0, 2));
        QListWidget* list = listOf(shown);
        ASSERT_NE(list, nullptr);
        EXPECT_TRUE(list->selectedItems().isEmpty()) << "nothing is selected at a showing";
        click(shown, "Button1");
        EXPECT_TRUE(shown.isVisible());
        clickEntry(shown, 1);
        click(shown, "Button1");
    });
    EXPECT_EQ(chosen, 2);
}

// ---- Program picture ----

constexpr QRgb white = qRgb(255, 255, 255);
constexpr QRgb pinkMauve = qRgb(200, 172, 191);
constexpr QRgb lilac = qRgb(183, 172, 200);
constexpr QRgb darkBlue = qRgb(60, 105, 155);

TEST(ProgramPicture, PixelsAtKnownPlaces) {
    struct Row {
        const char* name;
        int x;
        int y;
        QRgb colour;
    };
    const Row rows[] = {
        {"top-left corner, outside the disc", 0, 0, white},
        {"top-left quarter", 3, 10, pinkMauve},
        {"top-right quarter", 28, 10, lilac},
        {"bottom-left quarter", 3, 21, lilac},
        {"bottom-right quarter", 28, 21, pinkMauve},
        {"disc touches the left edge", 0, 14, pinkMauve},
        {"disc touches the right edge", 31, 14, lilac},
        {"disc touches the top edge", 14, 0, pinkMauve},
        {"disc touches the bottom edge", 14, 31, lilac},
        {"cross, vertical arm", 15, 5, white},
        {"cross, horizontal arm", 3, 15, white},
        {"left band, first column", 6, 10, darkBlue},
        {"left band, last column", 9, 24, darkBlue},
        {"right band, first column", 22, 7, darkBlue},
        {"right band, last column", 25, 25, darkBlue},
        {"left of the left band", 5, 10, pinkMauve},
        {"right of the left band", 10, 10, pinkMauve},
        {"left of the right band", 21, 10, lilac},
        {"left band near the top of the disc", 7, 3, darkBlue},
        {"left band above the disc", 7, 1, white},
        {"line above the arm, between the bands", 12, 14, darkBlue},
        {"line below the arm, between the bands", 19, 17, darkBlue},
        {"line broken by the cross", 15, 14, white},
        {"line ends at the bands' outer edge", 5, 14, pinkMauve},
        {"no line on row 13", 12, 13, pinkMauve},
        {"no line on row 18", 12, 18, lilac},
        {"band broken by the horizontal arm", 7, 15, white},
    };
    const QImage picture = programPicture();
    ASSERT_EQ(picture.size(), QSize(32, 32));
    EXPECT_EQ(picture.format(), QImage::Format_RGB888);
    for (const Row& row : rows)
        EXPECT_EQ(picture.pixel(row.x, row.y), row.colour) << row.name;
}

TEST(ProgramPicture, LooksTheSameTurnedHalfwayAndSwapsColoursWhenMirrored) {
    const QImage picture = programPicture();
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb here = picture.pixel(x, y);
            ASSERT_EQ(here, picture.pixel(31 - x, 31 - y)) << x << ", " << y;
            QRgb mirrored = picture.pixel(31 - x, y);
            if (mirrored == pinkMauve)
                mirrored = lilac;
            else if (mirrored == lilac)
                mirrored = pinkMauve;
            ASSERT_EQ(here, mirrored) << x << ", " << y;
        }
}

TEST(ProgramPicture, WhiteIsTransparentInTheWindowsAndTheIcon) {
    const QImage picture = programPicture();
    AboutDialog about;
    std::vector<std::pair<std::string, QImage>> shown = {
        {"transparent picture", transparentProgramPicture()},
        {"icon", programIcon().pixmap(32, 32).toImage()},
    };
    for (const char* name : {"Image1", "Image2"}) {
        auto* image = about.findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_NE(image, nullptr) << name;
        shown.emplace_back(name, image->pixmap().toImage());
    }
    for (const auto& [name, image] : shown) {
        SCOPED_TRACE(name);
        ASSERT_EQ(image.size(), QSize(32, 32));
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const QRgb pixel = image.pixel(x, y);
                const QRgb original = picture.pixel(x, y);
                if (original == white) {
                    ASSERT_EQ(qAlpha(pixel), 0) << x << ", " << y;
                } else {
                    ASSERT_EQ(qAlpha(pixel), 255) << x << ", " << y;
                    ASSERT_EQ(pixel, original) << x << ", " << y;
                }
            }
    }
}

// ---- About window ----

TEST(AboutDialog, BlocksTheOtherWindowsUntilClosed) {
    const Closing closings[] = {
        {"OK", [](QDialog& shown) { click(shown, "Button1"); }},
        {"the caption's close button", [](QDialog& shown) { shown.close(); }},
    };
    for (const Closing& closing : closings) {
        SCOPED_TRACE(closing.name);
        QPushButton other(QStringLiteral("other"));
        other.resize(100, 40);
        other.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
        QSignalSpy clicks(&other, &QPushButton::clicked);
        auto clickOther = [&] {
            QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {}, QPoint(50, 20));
        };

        AboutDialog about;
        ModalAnswer modal([&](QDialog& shown) {
            EXPECT_EQ(&shown, &about);
            clickOther();
            EXPECT_EQ(clicks.count(), 0) << "a click on another window got through";
            closing.close(shown);
        });
        about.exec();
        EXPECT_FALSE(about.isVisible());
        clickOther();
        EXPECT_EQ(clicks.count(), 1) << "the other window takes input again";
    }
}

// ---- Help window ----

struct HelpLine {
    int number;
    const char* text;
};

const HelpLine helpLines[] = {
    {1, "Ovládanie programu..."},
    {2, ""},
    {3, "Hierarchická mozaika sa tak ako každá iná  mozaika skladá z "},
    {4, "dlaždíc. Príkazom v menu Súbor/Otvor bitmapu načítate bitmapu "},
    {5, "základnej dlaždice."},
    {6, ""},
    {7, "Nenačítajte zbytočne veľké bitmapy. Pred načítaním je vhodné "},
    {8, "súčasnú mozaiku zresetovať príkazom menu Mozaika/Reset."},
    {9, ""},
    {10, "Mozaiku vytvárate postupným aplikovaním príkazov dostupných "},
    {11, "na panely vľavo."},
    {12, ""},
    {13, "Celý postup sa ukladá automaticky do Príkazového zásobníka. "},
    {14, "Manipulovať s ním môžete cez príkazy v menu pod položkou "},
    {15, "Mozaika."},
    {16, ""},
    {17, "Pokiaľ chcete predísť automatickému zmenšovaniu dlaždíc (tj. "},
    {18, "ak chcete, aby sa s použitím nejakého príkazu mozaika "},
    {19, "adekvátne zväčšila), zapnite voľbu menu Mozaika/Neškáluj."},
    {20, ""},
    {21, "Ak si chcete vytvoriť vlastné príkazy na tvorbu mozaiky, pozrite "},
    {22, "si "},
    {23, "štruktúru súboru default.hrh. Je to obyčajný textový súbor "},
    {24, "pozostávajúci z jednotlivých záznamov."},
    {25, "Každý záznam má tvar: prvý riadok meno príkazu, druhý riadok "},
    {26, "scale: rozmer mriežky príkazu, tretí riadok, item: počet "},
    {27, "jednotlivých častí príkazu."},
    {28, "Ďalej nasledujú riadky jednotlivých častí príkazu. Prvá dvojica "},
    {29, "čísiel predstavuje súradnice v mriežke príkazu, druhá dvojica "},
    {30, "veľkosť v tejto mriežke a napokon jedna z hodnôt: R0, R90, "},
    {31, "R180, R270, MR0, MR90, MR180 alebo MR270. Ich význam "},
    {32, "stačí vyskúšať."},
    {33, ""},
    {34, "Voľba Mozaika/Farba medzery sa prejaví, len pri aplikovaní "},
    {35, "príkazov s medzerou. To znamená príkazov, ktorých časti "},
    {36, "nevyplnili celú plochu mriežky."},
    {37, ""},
    {38, "To je dúfam všetko. Veľa zdaru a tvorivého ducha Vám želá "},
    {39, "autor."},
};

QTextEdit* helpText(HelpWindow& help) {
    auto* edit = help.findChild<QTextEdit*>(QStringLiteral("RichEdit1"));
    if (!edit)
        ADD_FAILURE() << "no RichEdit1";
    return edit;
}

TEST(HelpWindow, HoldsTheThirtyNineLinesExactly) {
    HelpWindow help;
    QTextEdit* edit = helpText(help);
    ASSERT_NE(edit, nullptr);
    const QTextDocument* document = edit->document();
    ASSERT_EQ(document->blockCount(), 39);
    for (const HelpLine& line : helpLines)
        EXPECT_EQ(document->findBlockByNumber(line.number - 1).text(), text(line.text))
            << "line " << line.number;
}

TEST(HelpWindow, TextCannotBeEditedButCanBeSelected) {
    HelpWindow help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    QTextEdit* edit = helpText(help);
    ASSERT_NE(edit, nullptr);
    const QString before = edit->toPlainText();

    QTest::keyClicks(edit, QStringLiteral("xyz"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->toPlainText(), before);

    QTest::keyClick(edit, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(edit->textCursor().selectedText(), text("Ovládanie programu..."));
    EXPECT_TRUE(edit->textInteractionFlags() & Qt::TextSelectableByMouse);
}

TEST(HelpWindow, WrapsScrollsUprightAndKeepsItsPlaceWhenHidden) {
    HelpWindow help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    QTextEdit* edit = helpText(help);
    ASSERT_NE(edit, nullptr);
    EXPECT_FALSE(edit->horizontalScrollBar()->isVisible());
    EXPECT_EQ(edit->horizontalScrollBar()->maximum(), 0) << "long lines wrap";
    QScrollBar* bar = edit->verticalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    bar->setValue(bar->maximum() / 2);
    const int kept = bar->value();
    ASSERT_GT(kept, 0);

    EXPECT_TRUE(help.close());
    EXPECT_TRUE(help.isHidden());
    help.show();
    help.raise();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    EXPECT_EQ(bar->value(), kept);
}

TEST(HelpWindow, ShowingItAgainKeepsOneModelessWindow) {
    const auto helpWindows = [] {
        int visible = 0;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == QStringLiteral("TForm5") && window->isVisible())
                ++visible;
        return visible;
    };
    {
        HelpWindow help;
        help.show();
        help.show();
        help.raise();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
        EXPECT_EQ(helpWindows(), 1);
        EXPECT_FALSE(help.isModal());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_FALSE(help.testAttribute(Qt::WA_DeleteOnClose));
    }
    EXPECT_EQ(helpWindows(), 0);
}

// ---- Layout of all four windows ----

struct Layout {
    const char* control;
    QRect geometry;
    const char* text; // nullptr: not a text control
    int pixelSize;
    bool bold;
};

struct WindowLayout {
    std::function<std::unique_ptr<QWidget>()> make;
    const char* form;
    const char* caption;
    QSize client;
    std::optional<QPoint> position; // where it first opens; none: centred when shown
    std::vector<Layout> controls;
};

TEST(SecondaryWindows, CaptionsSizesAndControlsAsLaidOut) {
    const WindowLayout windows[] = {
        {[] { return std::make_unique<CropDialog>(); },
         "TForm2",
         "Image dialog",
         {166, 137},
         std::nullopt,
         {{"Label1", {32, 8, 109, 13}, "Táto bitmapa nemá", 11, true},
          {"Label2", {48, 24, 69, 13}, "tvar štvorca", 11, true},
          {"RadioButton1", {32, 40, 105, 17}, nullptr, 11, false},
          {"RadioButton2", {32, 56, 105, 17}, nullptr, 11, false},
          {"RadioButton3", {32, 72, 105, 17}, nullptr, 11, false},
          {"Button1", {32, 96, 113, 33}, "OK", 11, true}}},
        {[] { return std::make_unique<ChoiceDialog>(); },
         "TForm3",
         "Výber",
         {104, 199},
         QPoint(335, 166),
         {{"Label1", {8, 4, 91, 16}, "Vyber pravidlo:", 13, false},
          {"ListBox1", {8, 24, 89, 137}, nullptr, 11, false},
          {"Button1", {8, 168, 41, 25}, "OK", 11, false},
          {"Button2", {56, 168, 41, 25}, "Zruš", 11, false}}},
        {[] { return std::make_unique<AboutDialog>(); },
         "TForm4",
         "O programe...",
         {209, 126},
         QPoint(364, 337),
         {{"Label1", {8, 8, 199, 16}, "Ornamo", 13, true},
          {"Label2", {74, 32, 67, 16}, "verzia 2.0", 13, true},
          {"Image2", {8, 32, 33, 32}, nullptr, 11, false},
          {"Image1", {168, 32, 33, 32}, nullptr, 11, false},
          {"Button1", {40, 80, 129, 41}, "OK", 11, false}}},
        {[] { return std::make_unique<HelpWindow>(); },
         "TForm5",
         "Ovládanie...",
         {330, 284},
         QPoint(254, 177),
         {{"RichEdit1", {0, 0, 329, 281}, nullptr, 11, false}}},
    };
    for (const WindowLayout& layout : windows) {
        SCOPED_TRACE(layout.form);
        const std::unique_ptr<QWidget> window = layout.make();
        EXPECT_EQ(window->objectName(), QString::fromLatin1(layout.form));
        EXPECT_EQ(window->windowTitle(), text(layout.caption));
        EXPECT_EQ(window->minimumSize(), layout.client) << "fixed size";
        EXPECT_EQ(window->maximumSize(), layout.client) << "fixed size";
        if (layout.position) {
            EXPECT_EQ(window->pos(), *layout.position);
        }
        EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose))
            << "only the main window ends the program";
        for (const Layout& control : layout.controls) {
            SCOPED_TRACE(control.control);
            auto* widget = window->findChild<QWidget*>(QString::fromLatin1(control.control));
            ASSERT_NE(widget, nullptr);
            EXPECT_EQ(widget->geometry(), control.geometry);
            EXPECT_EQ(widget->font().pixelSize(), control.pixelSize);
            EXPECT_EQ(widget->font().bold(), control.bold);
            if (!control.text)
                continue;
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                EXPECT_EQ(label->text(), text(control.text));
                EXPECT_LE(label->sizeHint().width(), label->width()) << "the text fits";
            } else if (auto* pushButton = qobject_cast<QAbstractButton*>(widget)) {
                EXPECT_EQ(pushButton->text(), text(control.text));
            } else {
                ADD_FAILURE() << "neither a label nor a button";
            }
        }
    }
}

} // namespace
