// The rule workshop: the grid and the text in step, diagnostics on their lines, "Použiť" as a
// step of the work, the preview against the real thing, and the close question.

#include "hierarchywriter.h"
#include "ruleeditor.h"
#include "rulepreview.h"
#include "windowfixture.h"
#include "workshop.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace {

using namespace windowtest;

RuleWorkshop* openWorkshop(MainWindow& window) {
    QApplication::setActiveWindow(&window);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window,
                    Qt::Key_F4);
    auto* workshop = window.findChild<RuleWorkshop*>();
    if (!workshop || !QTest::qWaitForWindowExposed(workshop))
        ADD_FAILURE() << "F4 showed no workshop";
    return workshop;
}

bool previewSettles(RuleWorkshop& workshop) {
    return QTest::qWaitFor(
        [&] {
            return workshop.requestedGeneration() > 0 &&
                   workshop.shownGeneration() == workshop.requestedGeneration();
        },
        20000);
}

void pressInMain(MainWindow& window, Qt::Key key) {
    QApplication::setActiveWindow(&window);
    QWidget* target = window.focusWidget() ? window.focusWidget() : &window;
    QTest::keyPress(target, Qt::Key_Control);
    QTest::keyClick(target, key, Qt::ControlModifier);
    QTest::keyRelease(target, Qt::Key_Control);
}

// The lines of the text from the name line of record `name` to the empty line after it.
std::string recordText(const std::string& text, const std::string& name) {
    const std::size_t start = text.find(name + "\n");
    if (start == std::string::npos)
        return {};
    const std::size_t end = text.find("\n\n", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
}

void drag(RuleEditor& editor, QPoint fromCell, QPoint toCell) {
    const QPoint from = editor.cellRect(fromCell.x(), fromCell.y()).center();
    const QPoint to = editor.cellRect(toCell.x(), toCell.y()).center();
    QTest::mousePress(&editor, Qt::LeftButton, {}, from);
    QTest::mouseMove(&editor, (from + to) / 2);
    QTest::mouseMove(&editor, to);
    QTest::mouseRelease(&editor, Qt::LeftButton, {}, to);
}

void setText(RuleWorkshop& workshop, const std::string& bytes) {
    child<QPlainTextEdit>(workshop, "rulesText")->setPlainText(QString::fromStdString(bytes));
}

} // namespace

TEST(Workshop, DraggingOverCellsMakesAndMovesAPartAndTheTextFollows) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    RuleWorkshop* workshop = openWorkshop(*window);
    ASSERT_TRUE(workshop);
    workshop->chooseRecord(1); // "Pruh": its middle row is a gap
    RuleEditor& editor = *workshop->editor();
    drag(editor, {0, 1}, {2, 1});
    const ornamo::Mosaic& pattern = workshop->records().commands[1].pattern;
    ASSERT_EQ(pattern.placements.size(), 3u);
    EXPECT_EQ(pattern.placements[2], (ornamo::Placement{3, 1, 0, 1, ornamo::Orientation::R0}));
    EXPECT_EQ(recordText(workshop->textBytes(), "Pruh"),
              "Pruh\nscale: 3\nitem: 3\n0 0 3 1 R0\n0 2 3 1 MR0\n0 1 3 1 R0\n");
    // Dragged by its middle one row down and one column right, outside the grid.
    drag(editor, {1, 1}, {2, 2});
    EXPECT_EQ(ornamo::partCells(workshop->records().commands[1].pattern, 2),
              (ornamo::CellRect{1, 2, 3, 1}));
    EXPECT_NE(workshop->textBytes().find("1 2 3 1 R0\n"), std::string::npos);
    EXPECT_TRUE(workshop->hasPendingEdits());
}

TEST(Workshop, TurnMirrorDeleteAndReorderRewriteTheRecordInTheWrittenForm) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    RuleWorkshop* workshop = openWorkshop(*window);
    ASSERT_TRUE(workshop);
    const struct {
        const char* button;
        const char* record;
    } rows[] = {
        {"turnPart", "Stvorec\nscale: 2\nitem: 4\n0 0 1 1 R90\n1 0 1 1 R90\n1 1 1 1 R180\n"
                     "0 1 1 1 R270\n"},
        {"mirrorPart", "Stvorec\nscale: 2\nitem: 4\n0 0 1 1 MR0\n1 0 1 1 R90\n1 1 1 1 R180\n"
                       "0 1 1 1 R270\n"},
        {"deletePart", "Stvorec\nscale: 2\nitem: 3\n1 0 1 1 R90\n1 1 1 1 R180\n0 1 1 1 R270\n"},
        {"partLater", "Stvorec\nscale: 2\nitem: 4\n1 0 1 1 R90\n0 0 1 1 R0\n1 1 1 1 R180\n"
                      "0 1 1 1 R270\n"},
        {"partEarlier", "Stvorec\nscale: 2\nitem: 4\n0 0 1 1 R0\n1 0 1 1 R90\n1 1 1 1 R180\n"
                        "0 1 1 1 R270\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.button);
        workshop->loadFromWork();
        workshop->chooseRecord(0);
        workshop->editor()->choosePart(0);
        click(*workshop, row.button);
        EXPECT_EQ(recordText(workshop->textBytes(), "Stvorec"), row.record);
        // The other records are written too, and the text reads back as the records.
        ornamo::CommandSlots read;
        EXPECT_EQ(ornamo::readHierarchy(workshop->textBytes(), read).count, 5);
        EXPECT_EQ(read[0].pattern.placements, workshop->records().commands[0].pattern.placements);
    }
}

TEST(Workshop, TheTextRedrawsTheGridAndADiagnosticIsMarkedOnItsLine) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    RuleWorkshop* workshop = openWorkshop(*window);
    ASSERT_TRUE(workshop);
    RuleEditor& editor = *workshop->editor();
    std::string text = "A\nscale: 3\nitem: 1\n1 1 2 2 MR90\n\nB\nscale: 2\nitem: 1\n0 0 2 2 R0\n";
    setText(*workshop, text);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.pattern().scale == 3; }, 5000));
    EXPECT_EQ(editor.pattern().placements,
              (std::vector<ornamo::Placement>{{2, 2, 1, 1, ornamo::Orientation::MR90}}));
    EXPECT_EQ(child<QSpinBox>(*workshop, "gridSize")->value(), 3);

    // An unknown keyword on line 4: marked there; the grid keeps the rules that read.
    text.replace(text.find("MR90"), 4, "R27O");
    setText(*workshop, text);
    auto* list = child<QListWidget>(*workshop, "diagnostics");
    auto* apply = child<QPushButton>(*workshop, "applyRules");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !apply->isEnabled(); }, 5000));
    const auto marks = child<QPlainTextEdit>(*workshop, "rulesText")->extraSelections();
    EXPECT_TRUE(std::any_of(marks.begin(), marks.end(),
                            [](const auto& mark) { return mark.cursor.blockNumber() == 3; }));
    bool listed = false;
    for (int i = 0; i < list->count(); ++i)
        listed = listed || (list->item(i)->text().contains(QStringLiteral("R27O")) &&
                            list->item(i)->data(Qt::UserRole).toInt() == 3);
    EXPECT_TRUE(listed);
    EXPECT_EQ(workshop->records().count, 2);
    EXPECT_EQ(editor.pattern().placements[0].orientation, ornamo::Orientation::MR90);
    EXPECT_FALSE(editor.isEditable());
}

TEST(Workshop, ApplyIsAStepOfTheWorkThatCtrlZTakesBackAndARefusalChangesNothing) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com1");
    click(*window, "com2");
    const std::string rulesBefore = window->work().rules().bytes;
    const ornamo::Bitmap pixelsBefore = wholeView(window->view());
    RuleWorkshop* workshop = openWorkshop(*window);
    ASSERT_TRUE(workshop);
    workshop->chooseRecord(1);
    workshop->editor()->choosePart(0);
    click(*workshop, "turnPart");
    click(*workshop, "applyRules");
    EXPECT_EQ(window->work().rules().bytes, workshop->textBytes());
    EXPECT_EQ(stackNumbers(*window), (std::vector<int>{1, 2}));
    EXPECT_NE(wholeView(window->view()), pixelsBefore);
    EXPECT_TRUE(window->work().isModified());
    EXPECT_FALSE(workshop->hasPendingEdits());

    pressInMain(*window, Qt::Key_Z);
    EXPECT_EQ(window->work().rules().bytes, rulesBefore);
    EXPECT_EQ(wholeView(window->view()), pixelsBefore);

    // 40 x 2000 pixels a side: refused with the side against the limit, nothing changed.
    const std::size_t history = window->work().historySize();
    setText(*workshop, "Velky\nscale: 2000\nitem: 1\n0 0 1 1 R0\n");
    click(*workshop, "applyRules");
    const QString status = child<QLabel>(*workshop, "workshopStatus")->text();
    EXPECT_TRUE(status.contains(QStringLiteral("80 000"))) << status.toStdString();
    EXPECT_TRUE(status.contains(QStringLiteral("65 535"))) << status.toStdString();
    EXPECT_EQ(window->work().rules().bytes, rulesBefore);
    EXPECT_EQ(window->work().historySize(), history);
    // The preview says the same at once, instead of a picture.
    ASSERT_TRUE(previewSettles(*workshop));
    EXPECT_EQ(workshop->shownPreview().refusal, ornamo::Refusal::MosaicTooLarge);
}

// Random rules, each previewed, then applied with "Použiť" and the command (or "Použiť" alone
// for the whole stack): the main window's view is the preview, pixel for pixel.
TEST(Workshop, ThePreviewIsTheViewThatApplyingGives) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com2");
    RuleWorkshop* workshop = openWorkshop(*window);
    ASSERT_TRUE(workshop);
    std::mt19937 rng(24);
    auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(rng);
    };
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        ornamo::RuleRecords records = workshop->records();
        const int slot = pick(0, records.count - 1);
        ornamo::Mosaic& pattern = records.commands[static_cast<std::size_t>(slot)].pattern;
        pattern.scale = static_cast<std::uint16_t>(pick(1, 3));
        pattern.placements.clear();
        for (int part = pick(1, 4); part > 0; --part)
            pattern.placements.push_back({pick(1, 2), pick(1, 2), pick(0, pattern.scale - 1),
                                          pick(0, pattern.scale - 1),
                                          static_cast<ornamo::Orientation>(pick(0, 7))});
        setText(*workshop, ornamo::writeHierarchy(records.commands, records.count).bytes);
        ASSERT_TRUE(QTest::qWaitFor([&] {
            const ornamo::Mosaic& read =
                workshop->records().commands[static_cast<std::size_t>(slot)].pattern;
            return read.scale == pattern.scale && read.placements == pattern.placements;
        }));
        workshop->chooseRecord(slot);
        const bool wholeStack = round % 3 == 2;
        child<QCheckBox>(*workshop, "wholeStack")->setChecked(wholeStack);
        ASSERT_TRUE(previewSettles(*workshop));
        const ornamo::PreviewResult preview = workshop->shownPreview();
        ASSERT_EQ(preview.refusal, ornamo::Refusal::None); // small rules on a small mosaic

        click(*workshop, "applyRules");
        if (!wholeStack)
            click(*window, ("com" + std::to_string(slot + 1)).c_str());
        EXPECT_EQ(preview.side, window->view().side());
        EXPECT_EQ(preview.factor, window->view().factor());
        ASSERT_EQ(preview.shown, (ornamo::ViewRect{0, 0, preview.side, preview.side}));
        EXPECT_EQ(preview.pixels, wholeView(window->view()));
        trigger(*window, "Spat1");
        if (!wholeStack)
            trigger(*window, "Spat1");
        ASSERT_EQ(stackNumbers(*window), std::vector<int>{2});
        ASSERT_EQ(window->work().rules().bytes, standardHierarchy);
    }
}

// The first preview is held back on the worker while newer edits come: what stays on screen is
// the newest edit's preview, and the result of the held request never covers it.
TEST(Workshop, AStalePreviewNeverReplacesANewerOne) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    click(*window, "com1");
    RuleWorkshop* workshop = openWorkshop(*window);
    ASSERT_TRUE(workshop);
    ASSERT_TRUE(previewSettles(*workshop));
    std::atomic<bool> holdNext{true};
    workshop->previewWorker().setBeforeCompute([&](std::uint64_t) {
        if (holdNext.exchange(false))
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });
    std::vector<std::uint64_t> shown;
    QObject::connect(workshop, &RuleWorkshop::previewShown,
                     [&] { shown.push_back(workshop->shownGeneration()); });
    workshop->chooseRecord(0);
    workshop->editor()->choosePart(0);
    click(*workshop, "turnPart");
    QTest::qWait(50);
    click(*workshop, "mirrorPart");
    click(*workshop, "partLater");
    ASSERT_TRUE(previewSettles(*workshop));
    workshop->previewWorker().setBeforeCompute({});
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_EQ(shown.back(), workshop->requestedGeneration());
    ornamo::PreviewInput newest{
        window->model(),
        std::make_shared<const ornamo::CommandSlots>(workshop->records().commands),
        workshop->records().count,
        1,
        ornamo::PreviewKind::Command,
        {0, 0, 1024, 1024}};
    EXPECT_EQ(workshop->shownPreview().pixels, ornamo::computePreview(newest).pixels);
}

// Cancel keeps the window and the edits; Save writes the text (a Windows-1250 name byte for
// byte) and closes; Discard closes, and the workshop opens again on the work's rules.
TEST(Workshop, ClosingWithEditsAsksWithSaveDiscardAndCancel) {
    auto folder = standardFolder();
    auto window = startWindow(*folder);
    RuleWorkshop* workshop = openWorkshop(*window);
    ASSERT_TRUE(workshop);
    auto edit = [&] {
        workshop->chooseRecord(0);
        workshop->editor()->choosePart(0);
        click(*workshop, "turnPart");
        ASSERT_TRUE(workshop->hasPendingEdits());
    };
    auto closeAnswering = [&](QMessageBox::StandardButton answer, const QString& file = {}) {
        ModalScript script;
        script.then<QMessageBox>([answer](QMessageBox& box) {
            EXPECT_EQ(box.objectName(), QStringLiteral("unsavedRulesQuestion"));
            EXPECT_TRUE(box.button(QMessageBox::Save) && box.button(QMessageBox::Discard) &&
                        box.button(QMessageBox::Cancel));
            box.button(answer)->click();
        });
        if (!file.isEmpty())
            answerFile(script, file, "SaveRulesDialog");
        workshop->close();
    };
    edit();
    closeAnswering(QMessageBox::Cancel);
    EXPECT_TRUE(workshop->isVisible());
    EXPECT_TRUE(workshop->hasPendingEdits());

    const QString saved = folder->file(QStringLiteral("upravene"));
    closeAnswering(QMessageBox::Save, saved);
    EXPECT_FALSE(workshop->isVisible());
    QFile file(saved + QStringLiteral(".hrh"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.toStdString(), workshop->textBytes());
    EXPECT_TRUE(bytes.contains("\n\x8Atvorec\n")) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("0 0 1 1 R90\n"));

    workshop = openWorkshop(*window);
    edit();
    closeAnswering(QMessageBox::Discard);
    EXPECT_FALSE(workshop->isVisible());
    workshop = openWorkshop(*window);
    ornamo::CommandSlots again;
    EXPECT_EQ(ornamo::readHierarchy(workshop->textBytes(), again).count, 5);
    EXPECT_FALSE(workshop->hasPendingEdits());
    EXPECT_EQ(workshop->records().commands[0].pattern.placements[0].orientation,
              ornamo::Orientation::R0);
}
