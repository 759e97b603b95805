// The editor as a desktop program: Qt's texts in Slovak, files given on the command line or
// dropped on the window, the rule tooltips and the dialogs' keys.

#include "windowfixture.h"

#include "dialog.h"
#include "messages.h"

#include <QMimeData>
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
