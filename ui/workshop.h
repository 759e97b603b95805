#pragma once

// "Dielňa pravidiel": a window beside the main window that edits a copy of the rules in hand.
// The slots on the left with their names and pictures; the grid editor of the chosen record
// with its name and grid size; the text of the rules beside it, in sync both ways, its
// diagnostics marked on their lines; under them the preview of what "Použiť" and the chosen
// command would show, computed off the window's thread.
//
// The preview is a pane of the workshop rather than the main window's picture: the main window
// keeps showing the work as it is (its picture, scroll bars and tooltips stay honest), the two
// can be compared side by side, and the preview can be switched to the whole stack replayed.

#include "hierarchy.h"
#include "names.h"
#include "rulediagnostics.h"
#include "ruleedit.h"
#include "rulepreview.h"
#include "work.h"

#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QTimer;
class RuleEditor;

class RuleWorkshop : public QWidget {
    Q_OBJECT
public:
    /// What the main window lends the workshop: the work to read, and the edit that puts rules
    /// into it (nullopt when the main window is busy and took nothing).
    struct Host {
        std::function<const ornamo::Work&()> lentWork;
        std::function<std::optional<ornamo::Outcome>(std::shared_ptr<const ornamo::Rules>)> apply;
    };

    explicit RuleWorkshop(Host host, QWidget* parent = nullptr);
    ~RuleWorkshop() override;

    /// Takes a fresh copy of the work's rules (the text as read, its file name).
    void loadFromWork();
    /// The work changed (an edit, undo, another tile): the preview is computed again.
    void workChanged();

    /// Whether there are edits neither applied nor saved.
    bool hasPendingEdits() const { return pending_; }
    /// The records as last read from the text.
    const ornamo::RuleRecords& records() const { return records_; }
    /// The chosen record, 0-based.
    int chosenRecord() const { return chosen_; }
    void chooseRecord(int index);
    /// The bytes of the text as it stands.
    std::string textBytes() const;
    /// The preview on screen and the generation of its request (0 before any).
    const ornamo::PreviewResult& shownPreview() const { return shown_; }
    std::uint64_t shownGeneration() const { return shownGeneration_; }
    /// The generation of the newest request submitted.
    std::uint64_t requestedGeneration() const { return requested_; }
    ornamo::PreviewWorker& previewWorker() { return *worker_; }
    RuleEditor* editor() const { return editor_; }

signals:
    /// A preview (or a refusal in its place) was put on screen.
    void previewShown();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    // One group of widgets each, wired to its handlers; each returns its layout.
    QLayout* createSlotPane();
    QLayout* createGridPane();
    QLayout* createTextPane();
    QLayout* createPreviewPane(); ///< the row above the preview; the preview is previewArea_
    QLayout* createButtonRow();
    // The text and the records.
    void setText(const std::string& bytes);
    void textChanged();
    void readText();
    void showDiagnostics(const ornamo::RuleDiagnostics& diagnostics);
    /// Puts the text cursor on the place of a diagnostic.
    void goToDiagnostic(QListWidgetItem* item);
    void recordsEdited();
    void writeText();
    // The slot list and the chosen record.
    void showSlots();
    void showSlot(int index);
    void showChosen();
    void gridEdited();
    void nameEdited();
    void gridSizeEdited(int size);
    void addRecord();
    void removeRecord();
    void moveRecord(int step);
    // The preview.
    void requestPreview();
    void showPreview(std::uint64_t generation, ornamo::PreviewResult result);
    // Applying and files.
    void applyRules();
    void openRules();
    bool saveRules(bool askForName);
    /// Asks with Qt's standard buttons when there are pending edits; true when they may go.
    bool mayDropEdits();
    void showStatus(const QString& text, bool fault);

    Host host_;
    ornamo::RuleRecords records_;
    ornamo::RuleTextCoding coding_ = ornamo::RuleTextCoding::Utf8;
    bool textReads_ = true;
    std::array<QStringList, ornamo::commandSlotCount>
        recordProblems_; ///< the errors and warnings of each record
    int chosen_ = 0;
    std::string fileName_; ///< UTF-8, as the rules are named in the work
    QString savePath_;     ///< where "Ulož pravidlá" writes; empty until known
    bool pending_ = false;
    bool updating_ = false; ///< the controls are being set from the records

    std::unique_ptr<ornamo::PreviewWorker> worker_;
    std::uint64_t requested_ = 0;
    std::uint64_t shownGeneration_ = 0;
    ornamo::PreviewResult shown_;

    QListWidget* slotList_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* upButton_ = nullptr;
    QPushButton* downButton_ = nullptr;
    QLineEdit* nameEdit_ = nullptr;
    QSpinBox* gridSize_ = nullptr;
    RuleEditor* editor_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QListWidget* diagnosticList_ = nullptr;
    QTimer* readTimer_ = nullptr;
    QLabel* previewImage_ = nullptr;
    QScrollArea* previewArea_ = nullptr;
    QLabel* previewStatus_ = nullptr;
    QCheckBox* wholeStack_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    QLabel* status_ = nullptr;
};
