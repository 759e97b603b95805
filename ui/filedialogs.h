#pragma once

// The main window's file dialogs: Qt's own dialogs (never the platform's), which do their work
// when the user confirms a file, while they are still on screen, so that a message about the
// file appears above them.

#include <QFileDialog>

#include <functional>

class QLabel;

/// Qt's dialogs keep their history and custom colours in QSettings; the program keeps no
/// settings, so Qt's user settings are pointed where nothing can be written. Called before the
/// first dialog; calling it again changes nothing.
void keepQtSettingsAway();

/// A file dialog that hands the confirmed file to `onConfirm` before it closes. The close is
/// never refused: the dialog goes away after every confirmed file, whatever came of it.
class ConfirmingFileDialog : public QFileDialog {
    Q_OBJECT
public:
    /// `filter` is a Qt name filter list, e.g. "Súbory HRH (*.hrh)".
    ConfirmingFileDialog(QWidget* parent, const QString& filter, AcceptMode mode);

    /// Called with the full path of the confirmed file, the dialog still on screen.
    void setConfirmHandler(std::function<void(const QString& path)> handler) {
        onConfirm_ = std::move(handler);
    }

    /// Shows the dialog modally, without a file chosen, in the folder last shown (at first the
    /// user's pictures folder, or the home folder when there is none).
    /// Returns whether a file was confirmed.
    bool run();

    /// QFileDialog has checked the choice (and, for a folder, gone into it instead of ending):
    /// here the dialog ends for real, so this is where the confirmed file is handled.
    void done(int result) override;

private:
    std::function<void(const QString&)> onConfirm_;
};

/// SavePictureDialog1: a save dialog with a preview, beside the file list, of the picture
/// file selected in it. It replaces an existing file without a question.
class PictureSaveDialog : public ConfirmingFileDialog {
    Q_OBJECT
public:
    explicit PictureSaveDialog(QWidget* parent);

    /// The preview beside the list (empty when the selection is no picture).
    QLabel* preview() const { return preview_; }

private:
    void showPreview(const QString& path);

    QLabel* preview_ = nullptr;
};
