#pragma once

// Helpers for the main window tests: a start folder holding a default tile and hierarchy, a
// script that answers the modal dialogs a handler brings up one after another, and small
// probes of the window's state.

#include "bitmap.h"
#include "bitmapfile.h"
#include "imagefile.h"
#include "mainwindow.h"
#include "testimages.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace windowtest {

using ornamo::testimages::numberedImage;
using ornamo::testimages::saveBitmapFile;
using ornamo::testimages::wholeView;

inline QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

/// The busy label's captions, as the user reads them.
inline const QString rendering = QStringLiteral("--- Počítam ---");
inline const QString shrinking = QStringLiteral("---Škálujem---");
inline const QString saving = QStringLiteral("--- Ukladám ---");

/// Commands used by the tests, by slot:
/// 1 "Stvorec" grid 2, four parts covering the grid; 2 "Pruh" grid 3, two rows of three
/// leaving the middle row as a gap; 3 "Trojka" grid 3, nine parts; 4 "Posun" grid 4, one part
/// at cell (3, 1) turned R90; 5 "Štvorec" (its name in Windows-1250) grid 2 like slot 1.
inline const std::string standardHierarchy =
    "Stvorec\r\nscale: 2\r\nitem: 4\r\n0 0 1 1 R0\r\n1 0 1 1 R90\r\n1 1 1 1 R180\r\n"
    "0 1 1 1 R270\r\n\r\n"
    "Pruh\nscale: 3\nitem: 2\n0 0 3 1 R0\n0 2 3 1 MR0\n\n"
    "Trojka\nscale: 3\nitem: 9\n0 0 1 1 R0\n1 0 1 1 R0\n2 0 1 1 R0\n0 1 1 1 R0\n1 1 1 1 MR0\n"
    "2 1 1 1 R0\n0 2 1 1 R0\n1 2 1 1 R0\n2 2 1 1 R0\n\n"
    "Posun\nscale: 4\nitem: 1\n3 1 1 1 R90\n\n"
    "\x8Atvorec\nscale: 2\nitem: 4\n0 0 1 1 R0\n1 0 1 1 R0\n0 1 1 1 R0\n1 1 1 1 R0\n";

/// A temporary folder to start the window in.
class StartFolder {
public:
    StartFolder() { QDir(dir_.path()).mkpath(QStringLiteral("dlazdice")); }

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return QDir(dir_.path()).filePath(name); }

    void writeTile(const ornamo::Bitmap& tile) {
        ASSERT_TRUE(saveBitmapFile(tile, file(QStringLiteral("dlazdice/default.bmp"))));
    }
    void writeFile(const QString& name, std::string_view bytes) {
        QFile out(file(name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    void writeHierarchy(std::string_view bytes) { writeFile(QStringLiteral("default.hrh"), bytes); }

private:
    QTemporaryDir dir_;
};

/// Answers the modal dialogs that come up (a QDialog step takes any dialog), in the order given:
/// each step waits until a modal widget of its type is active and then runs its answer. Steps still
/// waiting at the end of the script's life fail the test; a dialog still open ten seconds after the
/// script was made or its last step added, expected or not, fails it too and is closed, so that a
/// fault cannot hang the run.
class ModalScript {
public:
    using Step = std::pair<std::function<bool(QWidget*)>, std::function<void(QWidget*)>>;

    ModalScript() {
        poll_.setInterval(5);
        QObject::connect(&poll_, &QTimer::timeout, [this] { tick(); });
        watchdog_.setSingleShot(true);
        QObject::connect(&watchdog_, &QTimer::timeout, [this] { giveUp(); });
        watchdog_.start(10000);
    }
    ~ModalScript() {
        if (!steps_.empty())
            ADD_FAILURE() << steps_.size() << " expected dialog(s) never came up";
    }

    template <class Dialog> ModalScript& then(std::function<void(Dialog&)> answer) {
        steps_.emplace_back(
            [](QWidget* w) { return qobject_cast<Dialog*>(w) != nullptr; },
            [answer = std::move(answer)](QWidget* w) { answer(*qobject_cast<Dialog*>(w)); });
        poll_.start();
        watchdog_.start(10000);
        return *this;
    }

    /// A message box: its text is added to `texts`, and `button` is pressed.
    ModalScript& message(QStringList* texts = nullptr,
                         QMessageBox::StandardButton button = QMessageBox::Ok,
                         QWidget** parent = nullptr) {
        return then<QMessageBox>([texts, button, parent](QMessageBox& box) {
            if (texts)
                *texts << box.text();
            if (parent)
                *parent = box.parentWidget();
            EXPECT_EQ(box.windowTitle(), QStringLiteral("Ornamo"));
            if (QAbstractButton* b = box.button(button))
                b->click();
            else
                ADD_FAILURE() << "the message box has no such button";
        });
    }

private:
    void tick() {
        if (steps_.empty()) {
            poll_.stop(); // the watchdog stays, for a dialog nobody expected
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || !steps_.front().first(modal))
            return;
        // The answer runs from a timer of its own: it may bring up further dialogs (a message
        // over a file dialog), which this poll, still inside its own tick, could not see.
        auto answer = std::move(steps_.front().second);
        steps_.pop_front();
        QTimer::singleShot(0, modal,
                           [answer = std::move(answer), dialog = QPointer<QWidget>(modal)] {
                               if (dialog)
                                   answer(dialog);
                           });
    }
    void giveUp() {
        poll_.stop();
        while (QWidget* modal = QApplication::activeModalWidget()) {
            ADD_FAILURE() << "the dialog " << modal->metaObject()->className() << " "
                          << modal->objectName().toStdString() << " was not answered";
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
            if (QApplication::activeModalWidget() == modal)
                break;
        }
    }

    std::deque<Step> steps_;
    QTimer poll_;
    QTimer watchdog_;
};

// Answers a file dialog with `path` (empty: Cancel).
inline void answerFile(ModalScript& script, const QString& path, const char* dialogName) {
    script.then<QFileDialog>([path, dialogName](QFileDialog& dialog) {
        EXPECT_EQ(dialog.objectName(), QString::fromLatin1(dialogName));
        EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
        if (path.isEmpty())
            return dialog.reject();
        // Typed into the name field whole, as a user may do; the dialog takes it from there.
        dialog.selectFile(path);
        if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        static_cast<QDialog&>(dialog).accept();
    });
}

/// Counts how often the busy label shows a caption: each render shows `rendering` once.
class BusyCounter : public QObject {
public:
    explicit BusyCounter(QLabel* label) : label_(label) { label->installEventFilter(this); }
    int shown(const QString& caption) const {
        return static_cast<int>(std::count(captions_.begin(), captions_.end(), caption));
    }
    const QStringList& captions() const { return captions_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == label_ && event->type() == QEvent::Show)
            captions_ << label_->text();
        return false;
    }

private:
    QLabel* label_;
    QStringList captions_;
};

template <class Widget> Widget* child(QWidget& window, const char* name) {
    auto* found = window.findChild<Widget*>(QString::fromLatin1(name));
    if (!found)
        ADD_FAILURE() << "no " << name << " in the window";
    return found;
}

inline QAction* action(QWidget& window, const char* name) {
    return child<QAction>(window, name);
}

inline void click(QWidget& window, const char* name) {
    if (auto* target = child<QAbstractButton>(window, name))
        QTest::mouseClick(target, Qt::LeftButton);
}

inline void trigger(QWidget& window, const char* name) {
    if (QAction* item = action(window, name))
        item->trigger();
}

/// The full-size image of the mosaic the window last rendered, drawn the plain way.
inline ornamo::Bitmap fullImage(const MainWindow& window) {
    return ornamo::testimages::plainMosaic(window.view().mosaic());
}

/// Compares a picture with the part of `image` seen from (x, y), row by row.
inline void expectPixels(const QImage& picture, const ornamo::Bitmap& image, int x, int y) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    for (int row = 0; row < rgb.height(); ++row)
        ASSERT_EQ(std::memcmp(rgb.constScanLine(row), image.row(y + row) + 3 * std::size_t(x),
                              std::size_t(rgb.width()) * 3),
                  0)
            << "row " << row << " of the picture seen from " << x << ", " << y;
}

/// The slot numbers on the stack, oldest first.
inline std::vector<int> stackNumbers(const MainWindow& window) {
    std::vector<int> numbers;
    for (const ornamo::StackEntry& entry : window.model().stack())
        numbers.push_back(entry.command);
    return numbers;
}

/// The entries of ComboBox1, top first.
inline QStringList listTexts(QWidget& window) {
    QStringList texts;
    if (auto* list = child<QComboBox>(window, "ComboBox1"))
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
    return texts;
}

/// A window started in `folder` and shown, ready for input.
inline std::unique_ptr<MainWindow> startWindow(const StartFolder& folder) {
    auto window = std::make_unique<MainWindow>(folder.path());
    if (!window->startedUp()) {
        ADD_FAILURE() << "the window did not start";
        return window;
    }
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        ADD_FAILURE() << "the window was not exposed";
    QApplication::setActiveWindow(window.get());
    return window;
}

/// A start folder with the numbered 40 x 40 tile and the standard hierarchy.
inline std::unique_ptr<StartFolder> standardFolder() {
    auto folder = std::make_unique<StartFolder>();
    folder->writeTile(numberedImage(40, 40));
    folder->writeHierarchy(standardHierarchy);
    return folder;
}

} // namespace windowtest
