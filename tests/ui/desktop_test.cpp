// The editor as a desktop program: Qt's texts in Slovak, files given on the command line or
// dropped on the window, the rule tooltips and the dialogs' keys.

#include "windowfixture.h"

#include "dialog.h"
#include "messages.h"

#include <QAbstractItemView>
#include <QMimeData>
#include <QPainter>
#include <QRadioButton>
#include <QUrl>

using namespace windowtest;
namespace messages = ornamo::messages;

// The question before another hierarchy is read offers Slovak buttons, and a typed name of a
// file that is not there brings the program's own message, not Qt's.
TEST(Desktop, ReloadQuestionInSlovakAndMissingHierarchy) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com1");
    const QString missing = folder->file("chyba.hrh");
    QStringList texts;
    ModalScript script;
    script.then<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.button(QMessageBox::Yes)->text(), text("Án&o"));
        EXPECT_EQ(box.button(QMessageBox::No)->text(), text("&Nie"));
        EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), text("Zrušiť"));
        box.button(QMessageBox::Yes)->click();
    });
    answerFile(script, missing, "OpenDialog2");
    script.message(&texts);
    trigger(*window, "Natajhierarchiu1");
    EXPECT_EQ(texts, QStringList{text(messages::openFailed(missing.toStdString()))});
}

// Files given on the command line, or dropped on the window, open as the menu items open them:
// the crop dialog for a non-square tile, the question before the hierarchy replaces the mosaic.
TEST(Desktop, FilesGivenOrDroppedOpenAsTheMenuOpensThem) {
    for (const bool dropped : {false, true}) {
        SCOPED_TRACE(dropped ? "dropped" : "command line");
        auto folder = standardFolder();
        ASSERT_TRUE(saveBitmapFile(numberedTile(60, 40, 7), folder->file("wide.bmp")));
        folder->writeFile("other.hrh", "Iný\nscale: 2\nitem: 1\n0 0 2 2 R180\n");
        folder->writeFile("notes.txt", "not for the editor\n");
        auto window = startWindow(*folder);
        click(*window, "com1");

        ModalScript script;
        script.then<CropDialog>([](CropDialog& dialog) {
            child<QRadioButton>(dialog, "RadioButton2")->click(); // the right side cut away
            child<QPushButton>(dialog, "Button1")->click();
        });
        script.then<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
        const QStringList files{folder->file("wide.bmp"), folder->file("other.hrh")};
        if (dropped) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(folder->file("notes.txt")),
                          QUrl::fromLocalFile(files[0]), QUrl::fromLocalFile(files[1])});
            // As a drag does it: the drop goes where the entering drag was taken.
            QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(window->centralWidget(), &enter);
            EXPECT_TRUE(enter.isAccepted());
            QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(window->centralWidget(), &drop);
            EXPECT_TRUE(drop.isAccepted());
            for (int i = 0; i < 500 && window->model().mosaic().tileSize != 60 &&
                            child<QPushButton>(*window, "com1")->text() != text("Iný");
                 ++i)
                QTest::qWait(10);
        } else {
            window->openFiles(files);
        }
        EXPECT_EQ((*window->model().mosaic().tiles)[0], numberedTile(40, 40, 7));
        EXPECT_EQ(child<QPushButton>(*window, "com1")->text(), text("Iný"));
        EXPECT_FALSE(child<QPushButton>(*window, "com2")->isEnabled());
        EXPECT_TRUE(window->model().stack().empty());
    }
}

namespace {

// The picture embedded in a rule tooltip.
QImage tipPicture(const QString& tip) {
    const qsizetype start = tip.indexOf(QStringLiteral("base64,")) + 7;
    const QByteArray png = tip.mid(start, tip.indexOf(QLatin1Char('"'), start) - start).toLatin1();
    return QImage::fromData(QByteArray::fromBase64(png), "PNG")
        .convertToFormat(QImage::Format_RGB32);
}

struct Part {
    int column, row, width, height;
    bool mirrored;
    int quarterTurns; // counter-clockwise on screen
};

// The command's parts drawn with Qt on a white 3 x 3 or 2 x 2 grid of 40-pixel cells, the
// numbered tile turned and stretched for each.
QImage drawnRule(int grid, const std::vector<Part>& parts) {
    const ornamo::Bitmap bitmap = numberedTile(40, 40);
    const QImage tile =
        QImage(bitmap.bits(), 40, 40, bitmap.stride(), QImage::Format_RGB888).copy();
    QImage picture(grid * 40 + 1, grid * 40 + 1, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    for (const Part& part : parts) {
        const QImage turned = tile.mirrored(part.mirrored, false)
                                  .transformed(QTransform().rotate(-90 * part.quarterTurns));
        painter.drawImage(part.column * 40, part.row * 40,
                          turned.scaled(part.width * 40, part.height * 40));
    }
    return picture;
}

} // namespace

// The tooltip of a command button, and of its entry in the stack list, shows the command's
// grid and parts drawn with the default tile; grid lines outline the parts and the gap cells.
TEST(Desktop, RuleTooltipsDrawTheRule) {
    struct Row {
        const char* button;
        QString caption;
        QImage drawn;
        std::function<bool(int x, int y)> onGridLine;
    };
    const Row rows[] = {
        {"com1", text("Mriežka 2 × 2, 4 časti"),
         drawnRule(2, {{0, 0, 1, 1, false, 0},
                       {1, 0, 1, 1, false, 1},
                       {1, 1, 1, 1, false, 2},
                       {0, 1, 1, 1, false, 3}}),
         [](int x, int y) { return x % 40 == 0 || y % 40 == 0; }},
        {"com2", text("Mriežka 3 × 3, 2 časti"),
         drawnRule(3, {{0, 0, 3, 1, false, 0}, {0, 2, 3, 1, true, 0}}),
         // The two long parts are outlined whole; the empty middle row shows its three cells.
         [](int x, int y) {
             return y % 40 == 0 || x == 0 || x == 120 || (x % 40 == 0 && y > 40 && y < 80);
         }},
    };
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.button);
        click(*window, row.button);
        const QString buttonTip = child<QPushButton>(*window, row.button)->toolTip();
        const QString entryTip =
            child<QComboBox>(*window, "ComboBox1")->itemData(0, Qt::ToolTipRole).toString();
        EXPECT_TRUE(buttonTip.contains(row.caption));
        for (const QString& tip : {buttonTip, entryTip}) {
            const QImage picture = tipPicture(tip);
            ASSERT_EQ(picture.size(), row.drawn.size());
            const QRgb line = picture.pixel(0, 0);
            int wrong = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    if (picture.pixel(x, y) !=
                            (row.onGridLine(x, y) ? line : row.drawn.pixel(x, y)) &&
                        wrong++ == 0)
                        ADD_FAILURE() << "first wrong pixel at " << x << ", " << y;
            EXPECT_EQ(wrong, 0);
        }
    }
}

// The entries of the stack list are 13 pixels high.
TEST(Desktop, StackListEntriesAreThirteenPixelsHigh) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com1");
    click(*window, "com2");
    auto* list = child<QComboBox>(*window, "ComboBox1");
    list->showPopup();
    QAbstractItemView* view = list->view();
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(view->visualRect(view->model()->index(row, 0)).height(), 13);
    list->hidePopup();
}
