#pragma once

// TForm1, the main window: the column of controls on the left (zoom buttons, busy indicator,
// command stack list, twelve command buttons), the mosaic view and the menu.
//
// The window is thin: the mosaic, the command slots, the stack, the view factor, the picture
// shown and the edit history live in the engine's Work; the window maps them onto its widgets
// and hands every change to the Work. While a render or reduction runs, the window keeps
// repainting and lets the user scroll and resize, but every input that would change the mosaic,
// the images or the view factor is ignored until the work has ended.

#include "bitmap.h"
#include "commandstack.h"
#include "imagefile.h"
#include "mosaicview.h"
#include "progress.h"
#include "work.h"

#include <QColor>
#include <QDir>
#include <QMainWindow>
#include <QPoint>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

class AboutDialog;
class ChoiceDialog;
class ConfirmingFileDialog;
class CropDialog;
class ExportDialog;
class HelpWindow;
class ImageView;
class PictureSaveDialog;
class ProgressWindow;
class QAction;
class QColorDialog;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QWheelEvent;

class MainWindow : public QMainWindow, public ornamo::Progress {
    Q_OBJECT
public:
    /// Creates the window, hidden, and runs its start-up in `folder`: the default tile
    /// "dlazdice/default.bmp" and the commands of "default.hrh" are read from there. When
    /// `folder` is empty each of the two is taken from the current directory, or, when it is
    /// not there, from the program's installed data folder (share/ornamo). When the default tile
    /// cannot be loaded the start-up reports it and stops; startedUp() is then false and the window
    /// must not be shown.
    explicit MainWindow(const QString& folder = QString(), QWidget* parent = nullptr);
    ~MainWindow() override;

    bool startedUp() const { return startedUp_; }

    /// Opens files as "Otvor Bitmapu", "Načítaj hierarchiu" and "Otvor prácu…" open a confirmed
    /// file, one after another: a name ending in ".hrh" (any case) is read as a hierarchy, after
    /// the question when commands are on the stack; one ending in ".ornamo" is opened as a work,
    /// after the question when the work in hand is not saved; any other file is loaded as the
    /// base tile, cropped when not square. Failures bring the menu items' messages. Ignored while
    /// a render runs.
    void openFiles(const QStringList& paths);

    // The state of the run, for whoever needs to look (tests, accessibility).
    const ornamo::Work& work() const { return work_; }
    const ornamo::CommandStackModel& model() const { return work_.model(); }
    /// Test seam: replaces the model's memory check, so that a test can make the editing
    /// operations refuse for lack of memory (the real check reads the system's free memory).
    void setMemoryCheckForTests(ornamo::CommandStackModel::MemoryCheck check) {
        work_.setMemoryCheck(std::move(check));
    }
    /// The picture shown: the mosaic of the last render at the factor of the last zoom.
    const ornamo::MosaicView& view() const { return work_.view(); }
    /// The work file the work was last saved to or opened from; empty before.
    const QString& workFile() const { return workFile_; }
    bool ctrlDown() const { return ctrlDown_; }
    bool shiftDown() const { return shiftDown_; }
    /// A render or a reduction is under way.
    bool isBusy() const { return busy_; }

    // ornamo::Progress: the busy label and ProgressBar1.
    void StartProcessBar(ornamo::Caption caption) override;
    void EndProcessBar() override;
    void step(int position) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    enum class DrawMode : std::uint8_t { Show = 0, Rescale = 1, Render = 2 };

    // Building the window.
    void createControls();
    void createZoomButtons(QWidget* client);
    /// The busy label, shown with the progress bar while a render or a reduction runs.
    void createBusyLabel(QWidget* client);
    void createStackList(QWidget* client);
    void createCommandButtons(QWidget* client);
    void createView(QWidget* client);
    void createScrollBars(QWidget* client);
    void createProgressBar(QWidget* client);
    void installKeyFilters();
    void createMenus();
    void createActions();
    void setTabOrderOfControls();
    void fitOuterSize();
    void updateActions();

    // Start-up and the window's own items.
    void FormCreate();
    void FormClose();
    void Close1Click();
    void Farbamedzery1Click();
    void Nekluj1Click();
    void Oprograme1Click();
    void Ovldanie1Click();

    // Drawing.
    /// Show repaints the kept view. Rendering and reducing are the Work's, in runOnWork().
    void DrawTile(DrawMode mode);
    /// Runs a change of the work under the busy indicator, then shows what came of it (finish).
    /// False when it was not run because another one is under way.
    bool runOnWork(const std::function<ornamo::Outcome(ornamo::Progress*)>& change);
    void ShowView();

    // View controls.
    void Button1Click();
    void Button2Click();
    void fullSize();
    /// Runs a zoom so that the mosaic point under `anchor` (a point of Image1) stays under it,
    /// as far as the scroll range allows.
    void zoomAbout(QPoint anchor, const std::function<ornamo::Outcome(ornamo::Progress*)>& zoom);
    /// The centre of the shown part of the view, in Image1.
    QPoint viewCentre() const;
    /// The picture's tooltip: the mosaic's full size, its placements and the zoom.
    void updatePictureTip();
    void FormResize();
    void ScrollBar1Change();
    void ScrollBar2Change();
    /// The wheel over the picture or a scroll bar scrolls an eighth of the shown side a notch
    /// (across with Shift or over the horizontal bar); with Ctrl it zooms.
    bool wheelOverView(const QWheelEvent& event, bool overHorizontalBar);
    /// Dragging the picture with the left button pans it. True when the event was its own.
    bool panView(const QEvent& event);
    void FormKeyDown(const QKeyEvent& event);
    void FormKeyUp(const QKeyEvent& event);

    // The command slots and the stack.
    /// Reads the hierarchy file at `path`; messages name the file `fileName` and appear over
    /// `over` (the window when null). Null when the file could not be opened.
    std::shared_ptr<const ornamo::Rules> LoadCommands(const QString& path, const QString& fileName,
                                                      QWidget* over = nullptr);
    /// Labels and enables the command buttons after the slots of the work.
    void labelCommandButtons();
    /// The tooltips of the command buttons and the stack list's entries (ruleToolTip), drawn
    /// again when the commands or the gap colour change.
    void updateRuleTips();
    void tipStackEntries();
    void commandClick(int number);
    void ApplyCommand(int number);
    void ZrusPoslednyPrikaz();
    void Reset1Click();
    void Zruposlednoperciu1Click();
    void Zrusvybrany1Click();
    void Zrupovybranprkaz1Click();
    void Zameprkaz1Click();
    void Vloprkaz1Click();
    void ComboBox1Change();
    void Natajhierarchiu1Click();
    /// Asks before another hierarchy replaces the mosaic, when commands are on the stack.
    bool hierarchyMayReplaceMosaic();
    void openHierarchyFile(const QString& path);
    void openTileFile(const QString& path);
    void OpenDialog2CanClose(const QString& path);
    int chooseRule();
    void showStackList();
    /// Shows the work as an operation left it: the list, the buttons, the menu, the title, a
    /// refusal's message and the view.
    void finish(const ornamo::Outcome& outcome);

    // The edit history and work files.
    void Spat1Click();
    /// "Prispôsob oknu": the smallest zoom step at which the whole view fits the image's room.
    void Prisposob1Click();
    void Znova1Click();
    void OtvorPracu1Click();
    void UlozPracu1Click();
    void UlozPracuAko1Click();
    /// Asks whether to save a work with unsaved changes before it is lost; true when it may go
    /// (saved, or the changes dropped), false when the user cancelled or the save failed.
    bool maySaveWork();
    /// Saves to the work's file, or asks for one first; true when saved.
    bool saveWork(bool askForName);
    void openWorkFile(const QString& path);
    void updateTitle();

    // The base tile and saving.
    void OpenImage1Click();
    void OpenDialog1CanClose(const QString& path);
    void OpenDialog1Close();
    void UloBitmapu1Click();
    void SavePictureDialog1CanClose(const QString& path);
    void Exportujobrazok1Click();
    void ExportDialog1CanClose(const QString& path);
    /// Writes the picture to `name` with the busy label and the progress bar, over `over`;
    /// false when it could not be written (the file is then as it was).
    bool savePictureFile(const ornamo::PictureSource& picture, const QString& name,
                         ornamo::ImageFileFormat format);

    /// The one way failures reach the user: a message box with the text, one OK button and the
    /// caption "Ornamo", over `over` (the window itself when null).
    void showMessage(std::string_view text, QWidget* over = nullptr);
    /// Whether input that would change the mosaic, the images or the factor must be ignored now.
    bool heldOff() const { return busy_ || !startedUp_; }
    CropDialog& cropDialog();
    /// Asks with the crop dialog which square part of a non-square tile to keep and crops the
    /// tile to it. Throws std::bad_alloc when the crop's copy cannot be allocated; the tile is
    /// then unchanged.
    void cropWithDialog(ornamo::Bitmap& tile);

    // Controls, named by their kind and a number.
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QFrame* Panel1 = nullptr;
    std::array<QPushButton*, 12> com{};
    ImageView* Image1 = nullptr;
    QScrollBar* ScrollBar1 = nullptr;
    QScrollBar* ScrollBar2 = nullptr;

    // The menu.
    QMenu* Files1 = nullptr;
    QMenu* Mosaic1 = nullptr;
    QMenu* Pomoc1 = nullptr;
    QAction* OpenImage1 = nullptr;
    QAction* UloBitmapu1 = nullptr;
    QAction* Exportujobrazok1 = nullptr;
    QAction* Natajhierarchiu1 = nullptr;
    QAction* N1 = nullptr;
    QAction* Close1 = nullptr;
    QAction* Reset1 = nullptr;
    QAction* Zruposlednoperciu1 = nullptr;
    QAction* Zrusvybrany1 = nullptr;
    QAction* Zrupovybranprkaz1 = nullptr;
    QAction* Zameprkaz1 = nullptr;
    QAction* Vloprkaz1 = nullptr;
    QAction* Farbamedzery1 = nullptr;
    QAction* N2 = nullptr;
    QAction* Nekluj1 = nullptr;
    QAction* Ovldanie1 = nullptr;
    QAction* Oprograme1 = nullptr;
    QAction* N3 = nullptr;
    QAction* OtvorPracu1 = nullptr;
    QAction* UlozPracu1 = nullptr;
    QAction* UlozPracuAko1 = nullptr;
    QAction* N4 = nullptr;
    QAction* Spat1 = nullptr;
    QAction* Znova1 = nullptr;
    QAction* Prisposob1 = nullptr;

    // The other windows and the common dialogs, created once and kept for the run.
    CropDialog* TForm2 = nullptr;
    ChoiceDialog* TForm3 = nullptr;
    HelpWindow* TForm5 = nullptr;
    AboutDialog* TForm4 = nullptr;
    ConfirmingFileDialog* OpenDialog1 = nullptr;
    PictureSaveDialog* SavePictureDialog1 = nullptr;
    ExportDialog* ExportDialog1 = nullptr;
    ConfirmingFileDialog* OpenDialog2 = nullptr;
    QColorDialog* ColorDialog1 = nullptr;

    // The state of the run besides the work.
    ornamo::Work work_;
    QString workFile_;
    std::shared_ptr<const ornamo::Rules> pendingRules_; // read in OpenDialog2, if it opened
    bool ctrlDown_ = false;
    bool shiftDown_ = false;
    std::optional<ornamo::Bitmap> openedTile_;   // the file confirmed in OpenDialog1, if it loaded
    ornamo::Bitmap defaultTile_;                 // the squared default tile, for the rule tips
    std::array<QString, 12> ruleTips_;           // of the command slots
    const ornamo::Rules* tippedRules_ = nullptr; // the rules and the gap colour the tips show
    ornamo::Color tippedGap_ = 0;

    /// Where the start-up file `name` (relative to the start folder) is read from.
    QString startFile(const QString& name) const;

    QDir folder_;
    bool folderGiven_ = false;
    bool startedUp_ = false;
    bool busy_ = false;
    bool closePending_ = false;
    bool showingView_ = false;
    bool outerSizeFitted_ = false;
    int wheelRest_ = 0; // wheel movement short of a whole notch
    bool panning_ = false;
    QPoint panFrom_;  // where the drag started, on the screen
    QPoint panStart_; // the scroll positions when it started
    QColor gapColorChoice_{Qt::white};

    // Saving and exporting under a progress window of their own.
    bool savePictureFile(const ornamo::PictureSource& picture, const QString& name,
                         ornamo::ImageFileFormat format, ornamo::Progress& progress);
    ProgressWindow* ExportProgress1 = nullptr;
};
