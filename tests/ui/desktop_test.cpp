// The editor as a desktop program: files given on the command line or dropped on the window,
// and the rule tooltips.

#include "windowfixture.h"

#include "dialog.h"

#include <QMimeData>
#include <QPainter>
#include <QRadioButton>
#include <QUrl>

using namespace windowtest;

// Files given on the command line, or dropped on the window, open as the menu items open them:
// the crop dialog for a non-square tile, the question before the hierarchy replaces the mosaic.
TEST(Desktop, FilesGivenOrDroppedOpenAsTheMenuOpensThem) {
    for (const bool dropped : {false, true}) {
        SCOPED_TRACE(dropped ? "dropped" : "command line");
        auto folder = standardFolder();
        ASSERT_TRUE(saveBitmapFile(numberedImage(60, 40, 7), folder->file("wide.bmp")));
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
            // The files open once the drop has ended, the hierarchy last.
            for (int i = 0; i < 500 && !window->model().stack().empty(); ++i)
                QTest::qWait(10);
        } else {
            window->openFiles(files);
        }
        EXPECT_EQ(window->model().mosaic().tiles->base(), numberedImage(40, 40, 7));
        EXPECT_EQ(child<QPushButton>(*window, "com1")->text(), text("Iný"));
        EXPECT_FALSE(child<QPushButton>(*window, "com2")->isEnabled());
        EXPECT_TRUE(window->model().stack().empty());
    }
}

// The tooltip of a command button, and of its entry in the stack list, shows the command's
// parts drawn with the user's tile, turned and stretched, on the gap colour; grid lines
// outline each part and the cells of the gaps. Compared with the parts drawn here with Qt.
TEST(Desktop, RuleTooltipsDrawTheRule) {
    StartFolder folder;
    folder.writeTile(numberedImage(40, 40));
    folder.writeHierarchy("Mix\nscale: 3\nitem: 2\n0 0 2 1 R90\n1 2 2 1 MR0\n");
    auto window = startWindow(folder);
    ASSERT_TRUE(saveBitmapFile(numberedImage(40, 40, 0x11), folder.file("ina.bmp")));
    window->openFiles({folder.file("ina.bmp")}); // the user's own tile
    click(*window, "com1");

    const ornamo::Bitmap bitmap = numberedImage(40, 40, 0x11);
    const QImage tile = QImage(bitmap.bits(), 40, 40, bitmap.stride(), QImage::Format_RGB888);
    QImage drawn(121, 121, QImage::Format_RGB32);
    drawn.fill(Qt::white);
    QPainter painter(&drawn);
    painter.drawImage(0, 0, tile.transformed(QTransform().rotate(-90)).scaled(80, 40));
    painter.drawImage(40, 80, tile.mirrored(true, false).scaled(80, 40));
    painter.end();
    auto onGridLine = [](int x, int y) {
        const bool insidePart = (x == 40 && y > 0 && y < 40) || (x == 80 && y > 80 && y < 120);
        return (x % 40 == 0 || y % 40 == 0) && !insidePart;
    };

    const QString buttonTip = child<QPushButton>(*window, "com1")->toolTip();
    EXPECT_TRUE(buttonTip.contains(text("Mriežka 3 × 3, 2 časti")));
    for (const QString& tip :
         {buttonTip,
          child<QComboBox>(*window, "ComboBox1")->itemData(0, Qt::ToolTipRole).toString()}) {
        const qsizetype start = tip.indexOf(QStringLiteral("base64,")) + 7;
        const QImage picture =
            QImage::fromData(
                QByteArray::fromBase64(tip.mid(start, tip.indexOf('"', start) - start).toLatin1()))
                .convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(picture.size(), drawn.size());
        const QRgb line = picture.pixel(0, 0);
        int wrong = 0;
        for (int y = 0; y < 121; ++y)
            for (int x = 0; x < 121; ++x)
                if (picture.pixel(x, y) != (onGridLine(x, y) ? line : drawn.pixel(x, y)) &&
                    wrong++ == 0)
                    ADD_FAILURE() << "first wrong pixel at " << x << ", " << y;
        EXPECT_EQ(wrong, 0);
    }
}
