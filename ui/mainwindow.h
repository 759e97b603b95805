#pragma once

// TForm1, the main window: the column of controls on the left (zoom buttons, busy indicator,
// command stack list, twelve command buttons), the mosaic view and the menu.
//
// The window is thin: the mosaic, the command slots, the stack, the view factor, the picture
// shown and the edit history live in the engine's Work, which a WorkSession holds with its file;
// the window maps them onto its widgets and hands every change to the session. The picture and
// its scroll bars are a widget of their own (ViewPane).
//
// The class is written in four files whose calls go one way, each calling only the ones below
// it: mainwindow.cpp runs changes on the Work and maps what comes of them onto the widgets;
// mainwindow_editing.cpp holds the handlers of the items and buttons; mainwindow_origin.cpp
// answers Shift over the picture; mainwindow_build.cpp builds the window and its menu from one
// table and takes the keys and the window's events. While a render or reduction runs, the window
// keeps repainting and lets the user scroll and resize, but every input that would change the
// mosaic, the images or the view factor is ignored until the work has ended.

#include "bitmap.h"
#include "commandstack.h"
#include "imagefile.h"
#include "mosaicview.h"
#include "outersize.h"
#include "progress.h"
#include "viewpane.h"
#include "work.h"
#include "worksession.h"
#include "zoom.h"

#include <QColor>
#include <QDir>
#include <QMainWindow>
#include <QPoint>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

class AboutDialog;
class ChoiceDialog;
class ConfirmingFileDialog;
class CropDialog;
class ExportDialog;
class HelpWindow;
struct HelpKey;
class PictureSaveDialog;
class ProgressWindow;
class RuleWorkshop;
class QAction;
class QColorDialog;
class QComboBox;
class QFileDialog;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

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
    /// Test seam: reads work files in place of the platform's reader; it runs on a thread of
    /// its own, as the reader does.
    using WorkReader =
        std::function<ornamo::WorkFileFailure(const QString&, ornamo::WorkDocument&)>;
    void setWorkReaderForTests(WorkReader reader) { workReader_ = std::move(reader); }
    /// Opens the files given on the command line (openFiles()); what they bring is where the
    /// work starts, not a change of it.
    void openStartFiles(const QStringList& paths);
    /// The picture shown: the mosaic of the last render at the factor of the last zoom.
    const ornamo::MosaicView& view() const { return work_.view(); }
    /// The work file the work was last saved to or opened from; empty before.
    const QString& workFile() const { return session_.fileName(); }
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
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    enum class DrawMode : std::uint8_t { Show = 0, Rescale = 1, Render = 2 };
    using Change = std::function<ornamo::Outcome(ornamo::Progress*)>;
    /// Where the view is to be scrolled once a change has ended (nothing: where it is).
    using ScrollAfter = std::function<std::optional<QPoint>()>;
    using WorkStep = ornamo::Outcome (ornamo::Work::*)(ornamo::Progress*);

    /// A row of the menu table: a menu's title, an item, a separator or the one switch.
    enum class Row : std::uint8_t { Menu, Item, Separator, Switch };
    /// When an item can be chosen.
    enum class Enabling : std::uint8_t { Always, WhenIdle, WhenUndoable, WhenRedoable };
    /// The one declaration of a menu or an item: its object name, its caption, the key it shows
    /// (Qt's portable key text; the key itself is taken by FormKeyDown, and the help window
    /// lists it), its handler and when it is enabled.
    struct MenuRow {
        Row row;
        const char* name;
        const char* caption;
        const char* keys = nullptr;
        void (MainWindow::*handler)() = nullptr;
        Enabling enabling = Enabling::Always;
    };
    static std::span<const MenuRow> menuTable();
    QList<HelpKey> menuKeys() const;

    // Building the window (mainwindow_build.cpp).
    void createControls();
    void createZoomButtons(QWidget* client);
    /// The busy label, shown with the progress bar while a render or a reduction runs.
    void createBusyLabel(QWidget* client);
    void createStackList(QWidget* client);
    void createCommandButtons(QWidget* client);
    void createViewPane(QWidget* client);
    void createProgressBar(QWidget* client);
    void installKeyFilters();
    void createMenus();
    void createActions();
    void setTabOrderOfControls();
    void fitOuterSize();

    // Start-up, the window's own items and its events (mainwindow_build.cpp).
    void FormCreate();
    void FormClose();
    void Close1Click();
    void Oprograme1Click();
    void Ovldanie1Click();
    void FormResize();
    void FormKeyDown(const QKeyEvent& event);
    /// The keys added beside the ones FormKeyDown has always taken: the edit history, work
    /// files, Koniec, help, the menu bar, the Ctrl zoom keys, "Prispôsob oknu" and Escape (the
    /// outline of the copies of a part goes).
    void ownKeyDown(int key, bool keypad);
    void FormKeyUp(const QKeyEvent& event);
    /// Where the start-up file `name` (relative to the start folder) is read from.
    QString startFile(const QString& name) const;

    // The handlers of items and buttons (mainwindow_editing.cpp).
    void Farbamedzery1Click();
    void Nekluj1Click();
    void Button1Click();
    void Button2Click();
    void fullSize();
    /// Ctrl++, Ctrl+-, Ctrl+0 and Ctrl+wheel: closer, farther, full size, about `anchor` (a
    /// point of Image1).
    void zoomCloser(QPoint anchor);
    void zoomFarther(QPoint anchor);
    void zoomFullSize(QPoint anchor);
    /// "Prispôsob oknu": the smallest whole factor at which the whole view fits the room.
    void Prisposob1Click();
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
    void Spat1Click();
    void Znova1Click();
    void OtvorPracu1Click();
    /// "Dielňa pravidiel…" (F4): shows the rule workshop, with a fresh copy of the rules when it
    /// was closed, or brings it to the front.
    void DielnaPravidiel1Click();
    /// The workshop's "Použiť": the rules replayed under the stack as one step of the work.
    /// Nullopt when input is held off; a refusal is handed back, not shown here.
    std::optional<ornamo::Outcome> replayWithRules(std::shared_ptr<const ornamo::Rules> rules);
    void UlozPracu1Click();
    void UlozPracuAko1Click();
    /// Asks whether to save a work with unsaved changes before it is lost; true when it may go
    /// (saved, or the changes dropped), false when the user cancelled or the save failed.
    bool maySaveWork();
    /// Saves to the work's file, or asks for one first; true when saved.
    bool saveWork(bool askForName);
    /// Asks about the work in hand, then reads the work file at `path`.
    void openWorkFile(const QString& path);
    /// Reads the work file at `path` in place of the work in hand, without asking.
    void readWork(const QString& path);
    ornamo::WorkFileFailure readOffTheWindowsThread(const QString& path,
                                                    ornamo::WorkDocument& document,
                                                    ornamo::Progress& progress);
    /// The folder of the last file opened or saved in this run: where every file dialog starts.
    void rememberFolder(const QString& path);
    void startInLastFolder(QFileDialog& dialog) const;
    void OpenImage1Click();
    void OpenDialog1CanClose(const QString& path);
    void OpenDialog1Close();
    void UloBitmapu1Click();
    void SavePictureDialog1CanClose(const QString& path);
    void Exportujobrazok1Click();
    void ExportDialog1CanClose(const QString& name);

    // Running changes on the work and showing what came of them (mainwindow.cpp).
    /// The window busy with a long operation (a render or a reduction, reading a work file,
    /// saving or exporting a picture) for the life of the scope: input that would change the
    /// work is held off and the menu's items greyed, and `shown` (the busy label and the
    /// progress bar, or a progress window) shows the progress, started with `caption` when one
    /// is given (the work starts its own). end() hides the progress and takes input again;
    /// leaving the scope does so too, and then carries out a close asked for meanwhile (which
    /// asks about unsaved work as any close does).
    class BusyScope {
    public:
        BusyScope(MainWindow& window, ornamo::Progress& shown,
                  std::optional<ornamo::Caption> caption = std::nullopt);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;
        void end();

    private:
        MainWindow& window_;
        ornamo::Progress& shown_;
        bool ended_ = false;
    };

    /// Show repaints the kept view. Rendering and reducing are the Work's, in runOnWork().
    void DrawTile(DrawMode mode);
    /// Runs a change of the work in a BusyScope, then shows what came of it (finish), scrolled
    /// where `scrollAfter` says. False when it was not run because another one is under way.
    bool runOnWork(const Change& change, const ScrollAfter& scrollAfter = {});
    /// Runs `step` of the work, unless input is held off now.
    void changeWork(WorkStep step);
    /// Shows the view, scrolled to `position` when one is given, drawing it once.
    void ShowView(std::optional<QPoint> position = std::nullopt);
    /// Runs a zoom so that the mosaic point under `anchor` (a point of Image1) stays under it,
    /// as far as the scroll range allows.
    void zoomAbout(QPoint anchor, const Change& zoom);
    /// Shows the view magnified `magnification` times (1: full size), the mosaic point under
    /// `anchor` kept there; drawn now, or by the change that follows.
    void magnifyAbout(QPoint anchor, int magnification,
                      ViewPane::Drawing drawing = ViewPane::Drawing::Now);
    /// The scroll position that keeps the point under `anchor`, scrolled by `scrolled` at
    /// `before`, where it is at the scale shown now.
    QPoint scrollKeeping(QPoint anchor, QPoint scrolled, ornamo::ViewScale before) const;
    /// Back to full size from a magnification, the scroll offsets kept as they are; the next
    /// showing draws it.
    void unmagnify();
    /// The picture's tooltip: the mosaic's full size, its placements and the zoom.
    void updatePictureTip();
    void updateActions();
    /// "Ornamo" until the work has a file, then the file's name with the modified mark; called
    /// by the session's announcements alone.
    void updateTitle();
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
    void showStackList();
    /// Shows the work as an operation left it: the list, the buttons, the menu, a refusal's
    /// message and the view, scrolled to `scroll` when one is given, drawn once.
    void finish(const ornamo::Outcome& outcome, std::optional<QPoint> scroll = std::nullopt);
    /// Writes the picture to `name` with `progress` (the busy label and the progress bar when
    /// null); false when it could not be written (the file is then as it was).
    bool savePictureFile(const ornamo::PictureSource& picture, const QString& name,
                         ornamo::ImageFileFormat format, ornamo::Progress* progress = nullptr);
    /// The one way failures reach the user: a message box with the text, one OK button and the
    /// caption "Ornamo", over `over` (the window itself when null).
    void showMessage(std::string_view text, QWidget* over = nullptr);
    /// Whether input that would change the mosaic, the images or the factor must be ignored now.
    bool heldOff() const;
    CropDialog& cropDialog();
    /// Asks with the crop dialog which square part of a non-square tile to keep and crops the
    /// tile to it. Throws std::bad_alloc when the crop's copy cannot be allocated; the tile is
    /// then unchanged.
    void cropWithDialog(ornamo::Bitmap& tile);
    /// The stack's entries and the tile size, as the outline of a part's copies was made for
    /// them (explainPoint()); the outline goes when they change.
    std::vector<const void*> stackIdentity() const;

    // Where a pixel comes from (mainwindow_origin.cpp), asked with Shift over the picture.
    /// A move shows the point's chain in the picture's tip. A click also chooses a stack entry
    /// in the list, as a choice there does, and outlines every copy of the part the point lies
    /// in at that entry: the newest entry, or the next older one when the click falls inside
    /// the outline shown (the newest again after the oldest). A gap clears the outline.
    void explainPoint(QPoint point, QPoint globalPosition, bool clicked);

    // Controls, named by their kind and a number.
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QFrame* Panel1 = nullptr;
    std::array<QPushButton*, ornamo::commandSlotCount> com{};
    ViewPane* viewPane_ = nullptr; // Image1, ScrollBar1 and ScrollBar2

    // The menu's items as the table made them, with when each is enabled.
    std::vector<std::pair<QAction*, Enabling>> actions_;
    QAction* noScaleSwitch_ = nullptr; // Nekluj1

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
    ProgressWindow* ExportProgress1 = nullptr; // the export's, over the window
    RuleWorkshop* workshop_ = nullptr;         // made the first time it is asked for

    // The work and its file, and the state of the run besides them.
    ornamo::WorkSession session_;
    ornamo::Work& work_ = session_.work();
    WorkReader workReader_;
    QString lastFolder_;                                // empty until a file was opened or saved
    std::shared_ptr<const ornamo::Rules> pendingRules_; // read in OpenDialog2, if it opened
    bool ctrlDown_ = false;
    bool shiftDown_ = false;
    std::optional<ornamo::Bitmap> openedTile_; // the file confirmed in OpenDialog1, if it loaded
    std::array<QString, ornamo::commandSlotCount> ruleTips_; // of the command slots
    const ornamo::Rules* tippedRules_ = nullptr; // the rules and the gap colour the tips show
    ornamo::Color tippedGap_ = 0;
    std::weak_ptr<ornamo::TileSet> tippedTiles_; // the tile the tips draw with

    std::vector<const void*> outlinedStack_; // stackIdentity() when the outline was made
    std::size_t outlinedEntry_ = 0;

    QDir folder_;
    bool folderGiven_ = false;
    bool startedUp_ = false;
    bool busy_ = false;
    bool closePending_ = false;
    bool outerSizeFitted_ = false;
    OuterSizeFit outerSize_;
    QColor gapColorChoice_{Qt::white};
};
