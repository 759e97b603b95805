#include "workshop.h"

#include "hierarchywriter.h"
#include "messages.h"
#include "outputfile.h"
#include "ruleeditor.h"
#include "rulemessages.h"
#include "rulepicture.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The pause after typing before the text is read and the preview asked for.
constexpr int readDelayMs = 100;
// The part of a preview shown: up to a megapixel, from the top-left corner.
constexpr int previewSide = 1024;
// The grid sizes the spin box offers; larger ones are typed in the text.
constexpr int largestEditedGrid = 64;

const QString rulesFilter = QStringLiteral("Súbory HRH (*.hrh)");

QImage imageOf(const ornamo::Bitmap& bitmap) {
    return QImage(bitmap.bits(), bitmap.width(), bitmap.height(),
                  static_cast<qsizetype>(bitmap.stride()), QImage::Format_RGB888)
        .copy();
}

QString text(std::string_view utf8) {
    return ornamo::fromUtf8(utf8);
}

QColor markColor(ornamo::DiagnosticKind kind) {
    switch (kind) {
    case ornamo::DiagnosticKind::Error:
        return {255, 190, 190};
    case ornamo::DiagnosticKind::Warning:
        return {255, 236, 170};
    case ornamo::DiagnosticKind::Note:
        return {205, 225, 255};
    }
    return {};
}

QString markSign(ornamo::DiagnosticKind kind) {
    switch (kind) {
    case ornamo::DiagnosticKind::Error:
        return QStringLiteral("✖ ");
    case ornamo::DiagnosticKind::Warning:
        return QStringLiteral("⚠ ");
    case ornamo::DiagnosticKind::Note:
        return QStringLiteral("ℹ ");
    }
    return {};
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

RuleWorkshop::RuleWorkshop(Host host, QWidget* parent)
    : QWidget(parent, Qt::Window), host_(std::move(host)) {
    setObjectName(QStringLiteral("RuleWorkshop"));
    setWindowTitle(QStringLiteral("Dielňa pravidiel"));
    createControls();
    // The worker hands results over on its own thread; they are shown on the window's.
    worker_ = std::make_unique<ornamo::PreviewWorker>(
        [this](std::uint64_t generation, ornamo::PreviewResult result) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, result = std::move(result)]() mutable {
                    showPreview(generation, std::move(result));
                },
                Qt::QueuedConnection);
        });
}

RuleWorkshop::~RuleWorkshop() {
    // Stopped before the widgets it reports to go.
    worker_.reset();
}

void RuleWorkshop::createControls() {
    auto* top = new QHBoxLayout;
    top->addLayout(createSlotPane());
    top->addLayout(createGridPane(), 2);
    top->addLayout(createTextPane(), 2);
    QLayout* previewRow = createPreviewPane();
    QLayout* buttons = createButtonRow();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 3);
    layout->addLayout(previewRow);
    layout->addWidget(previewArea_, 2);
    layout->addLayout(buttons);
    resize(1100, 760);
}

QLayout* RuleWorkshop::createSlotPane() {
    auto* slotsBox = new QVBoxLayout;
    slotList_ = new QListWidget(this);
    slotList_->setObjectName(QStringLiteral("slotList"));
    slotList_->setIconSize({48, 48});
    slotList_->setMinimumWidth(200);
    slotsBox->addWidget(new QLabel(QStringLiteral("Príkazy:"), this));
    slotsBox->addWidget(slotList_, 1);
    auto* slotButtons = new QGridLayout;
    addButton_ = makeButton(this, "addRecord", QStringLiteral("Pridaj"));
    removeButton_ = makeButton(this, "removeRecord", QStringLiteral("Odober"));
    upButton_ = makeButton(this, "recordUp", QStringLiteral("Vyššie"));
    downButton_ = makeButton(this, "recordDown", QStringLiteral("Nižšie"));
    slotButtons->addWidget(addButton_, 0, 0);
    slotButtons->addWidget(removeButton_, 0, 1);
    slotButtons->addWidget(upButton_, 1, 0);
    slotButtons->addWidget(downButton_, 1, 1);
    slotsBox->addLayout(slotButtons);

    connect(slotList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!updating_ && row >= 0 && row < records_.count)
            chooseRecord(row);
    });
    connect(addButton_, &QPushButton::clicked, this, &RuleWorkshop::addRecord);
    connect(removeButton_, &QPushButton::clicked, this, &RuleWorkshop::removeRecord);
    connect(upButton_, &QPushButton::clicked, this, [this] { moveRecord(-1); });
    connect(downButton_, &QPushButton::clicked, this, [this] { moveRecord(1); });
    return slotsBox;
}

QLayout* RuleWorkshop::createGridPane() {
    auto* ruleBox = new QVBoxLayout;
    auto* nameRow = new QHBoxLayout;
    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName(QStringLiteral("ruleName"));
    gridSize_ = new QSpinBox(this);
    gridSize_->setObjectName(QStringLiteral("gridSize"));
    gridSize_->setRange(1, largestEditedGrid);
    nameRow->addWidget(new QLabel(QStringLiteral("Názov:"), this));
    nameRow->addWidget(nameEdit_, 1);
    nameRow->addWidget(new QLabel(QStringLiteral("Mriežka:"), this));
    nameRow->addWidget(gridSize_);
    ruleBox->addLayout(nameRow);
    editor_ = new RuleEditor(this);
    ruleBox->addWidget(editor_, 1);
    auto* partButtons = new QHBoxLayout;
    auto* turn = makeButton(this, "turnPart", QStringLiteral("Otoč (R)"));
    auto* mirror = makeButton(this, "mirrorPart", QStringLiteral("Zrkadli (M)"));
    auto* remove = makeButton(this, "deletePart", QStringLiteral("Zmaž (Del)"));
    auto* earlier = makeButton(this, "partEarlier", QStringLiteral("Skôr (PgUp)"));
    auto* later = makeButton(this, "partLater", QStringLiteral("Neskôr (PgDn)"));
    for (QPushButton* button : {turn, mirror, remove, earlier, later}) {
        button->setFocusPolicy(Qt::NoFocus);
        partButtons->addWidget(button);
    }
    ruleBox->addLayout(partButtons);

    // Connected once the spin box has its range: setting it is no edit.
    connect(nameEdit_, &QLineEdit::textEdited, this, &RuleWorkshop::nameEdited);
    connect(gridSize_, &QSpinBox::valueChanged, this, &RuleWorkshop::gridSizeEdited);
    connect(editor_, &RuleEditor::patternEdited, this, &RuleWorkshop::gridEdited);
    connect(turn, &QPushButton::clicked, editor_, &RuleEditor::turnChosen);
    connect(mirror, &QPushButton::clicked, editor_, &RuleEditor::mirrorChosen);
    connect(remove, &QPushButton::clicked, editor_, &RuleEditor::deleteChosen);
    connect(earlier, &QPushButton::clicked, editor_, [this] { editor_->reorderChosen(-1); });
    connect(later, &QPushButton::clicked, editor_, [this] { editor_->reorderChosen(1); });
    return ruleBox;
}

QLayout* RuleWorkshop::createTextPane() {
    auto* textBox = new QVBoxLayout;
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("rulesText"));
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    text_->setFont(fixed);
    diagnosticList_ = new QListWidget(this);
    diagnosticList_->setObjectName(QStringLiteral("diagnostics"));
    diagnosticList_->setMaximumHeight(110);
    textBox->addWidget(new QLabel(QStringLiteral("Text pravidiel:"), this));
    textBox->addWidget(text_, 1);
    textBox->addWidget(diagnosticList_);

    readTimer_ = new QTimer(this);
    readTimer_->setSingleShot(true);
    readTimer_->setInterval(readDelayMs);

    connect(text_, &QPlainTextEdit::textChanged, this, &RuleWorkshop::textChanged);
    connect(readTimer_, &QTimer::timeout, this, &RuleWorkshop::readText);
    connect(diagnosticList_, &QListWidget::itemActivated, this, &RuleWorkshop::goToDiagnostic);
    return textBox;
}

QLayout* RuleWorkshop::createPreviewPane() {
    previewImage_ = new QLabel(this);
    previewImage_->setObjectName(QStringLiteral("previewImage"));
    previewImage_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    previewArea_ = new QScrollArea(this);
    previewArea_->setWidget(previewImage_);
    previewArea_->setWidgetResizable(false);
    previewArea_->setMinimumHeight(220);
    previewStatus_ = new QLabel(this);
    previewStatus_->setObjectName(QStringLiteral("previewStatus"));
    previewStatus_->setWordWrap(true);
    wholeStack_ =
        new QCheckBox(QStringLiteral("Náhľad celého zásobníka s novými pravidlami"), this);
    wholeStack_->setObjectName(QStringLiteral("wholeStack"));
    auto* previewRow = new QHBoxLayout;
    previewRow->addWidget(new QLabel(QStringLiteral("Náhľad:"), this));
    previewRow->addWidget(previewStatus_, 1);
    previewRow->addWidget(wholeStack_);

    connect(wholeStack_, &QCheckBox::toggled, this, &RuleWorkshop::requestPreview);
    return previewRow;
}

QLayout* RuleWorkshop::createButtonRow() {
    auto* buttons = new QHBoxLayout;
    applyButton_ = makeButton(this, "applyRules", QStringLiteral("Použiť"));
    auto* open = makeButton(this, "openRules", QStringLiteral("Otvor pravidlá…"));
    auto* save = makeButton(this, "saveRules", QStringLiteral("Ulož pravidlá"));
    auto* saveAs = makeButton(this, "saveRulesAs", QStringLiteral("Ulož pravidlá ako…"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("workshopStatus"));
    status_->setWordWrap(true);
    buttons->addWidget(applyButton_);
    buttons->addWidget(status_, 1);
    buttons->addWidget(open);
    buttons->addWidget(save);
    buttons->addWidget(saveAs);

    connect(applyButton_, &QPushButton::clicked, this, &RuleWorkshop::applyRules);
    connect(open, &QPushButton::clicked, this, &RuleWorkshop::openRules);
    connect(save, &QPushButton::clicked, this, [this] { saveRules(false); });
    connect(saveAs, &QPushButton::clicked, this, [this] { saveRules(true); });
    return buttons;
}

// ---- The text and the records ----

void RuleWorkshop::loadFromWork() {
    const ornamo::Work& work = host_.lentWork();
    editor_->setTiles(work.model().mosaic().tiles);
    fileName_ = work.rules().fileName;
    savePath_.clear();
    chosen_ = 0;
    setText(work.rules().bytes);
    readText();
    pending_ = false;
    showStatus({}, false);
}

void RuleWorkshop::setText(const std::string& bytes) {
    const QSignalBlocker blocker(text_);
    coding_ = ornamo::ruleTextCoding(bytes);
    text_->setPlainText(ornamo::ruleText(bytes, coding_));
}

std::string RuleWorkshop::textBytes() const {
    return ornamo::ruleBytes(text_->toPlainText(), coding_);
}

void RuleWorkshop::textChanged() {
    pending_ = true;
    readTimer_->start();
}

void RuleWorkshop::readText() {
    readTimer_->stop();
    const std::string bytes = textBytes();
    ornamo::RuleRecords read;
    ornamo::RuleDiagnostics diagnostics;
    const ornamo::HierarchyResult result =
        ornamo::readHierarchy(bytes, read.commands, &diagnostics);
    read.count = result.count;
    showDiagnostics(diagnostics);
    textReads_ = result.failure == ornamo::HierarchyFailure::None;
    // While the text does not read, the grid and the preview keep the last rules that did.
    if (textReads_) {
        records_ = std::move(read);
        chosen_ = std::clamp(chosen_, 0, std::max(records_.count - 1, 0));
    }
    showSlots();
    showChosen();
    editor_->setEditable(textReads_ && records_.count > 0);
    applyButton_->setEnabled(textReads_);
    if (textReads_)
        requestPreview();
}

void RuleWorkshop::showDiagnostics(const ornamo::RuleDiagnostics& diagnostics) {
    QList<QTextEdit::ExtraSelection> marks;
    diagnosticList_->clear();
    for (QStringList& problems : recordProblems_)
        problems.clear();
    for (const ornamo::RuleDiagnostic& diagnostic : diagnostics.list) {
        const QTextBlock block = text_->document()->findBlockByNumber(diagnostic.line - 1);
        const QString sentence = text(ornamo::messages::placedText(diagnostic));
        if (diagnostic.kind != ornamo::DiagnosticKind::Note && diagnostic.record >= 1 &&
            diagnostic.record <= static_cast<int>(recordProblems_.size()))
            recordProblems_[static_cast<std::size_t>(diagnostic.record - 1)] << sentence;
        auto* item = new QListWidgetItem(markSign(diagnostic.kind) + sentence, diagnosticList_);
        item->setData(Qt::UserRole, diagnostic.line - 1);
        item->setData(Qt::UserRole + 1, diagnostic.column - 1);
        item->setBackground(markColor(diagnostic.kind));
        if (!block.isValid())
            continue;
        QTextEdit::ExtraSelection mark;
        mark.format.setBackground(markColor(diagnostic.kind));
        mark.format.setProperty(QTextFormat::FullWidthSelection, true);
        mark.format.setToolTip(sentence);
        mark.cursor = QTextCursor(block);
        marks.append(mark);
    }
    text_->setExtraSelections(marks);
    diagnosticList_->setVisible(diagnosticList_->count() > 0);
}

void RuleWorkshop::goToDiagnostic(QListWidgetItem* item) {
    const QTextBlock block = text_->document()->findBlockByNumber(item->data(Qt::UserRole).toInt());
    if (!block.isValid())
        return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor,
                        item->data(Qt::UserRole + 1).toInt());
    text_->setTextCursor(cursor);
    text_->setFocus();
}

void RuleWorkshop::recordsEdited() {
    pending_ = true;
    writeText();
    showSlot(chosen_);
    requestPreview();
}

void RuleWorkshop::writeText() {
    const ornamo::RulesWriteResult written =
        ornamo::writeHierarchy(records_.commands, records_.count);
    if (written.failure != ornamo::RulesWriteFailure::None) {
        showStatus(text(ornamo::messages::text(written)), true);
        return;
    }
    showStatus({}, false);
    {
        const QSignalBlocker blocker(text_);
        const int line = text_->textCursor().blockNumber();
        text_->setPlainText(ornamo::ruleText(written.bytes, coding_));
        // A new text in the code page it was shown in: ASCII and the name bytes come back.
        const QTextBlock block = text_->document()->findBlockByNumber(line);
        if (block.isValid())
            text_->setTextCursor(QTextCursor(block));
    }
    // The written form may still draw warnings and notes.
    ornamo::CommandSlots again;
    ornamo::RuleDiagnostics diagnostics;
    ornamo::readHierarchy(written.bytes, again, &diagnostics);
    showDiagnostics(diagnostics);
}

// ---- The slots and the chosen record ----

void RuleWorkshop::showSlots() {
    updating_ = true;
    if (slotList_->count() != static_cast<int>(records_.commands.size())) {
        slotList_->clear();
        for (std::size_t i = 0; i < records_.commands.size(); ++i)
            slotList_->addItem(QString());
    }
    for (int i = 0; i < static_cast<int>(records_.commands.size()); ++i)
        showSlot(i);
    slotList_->setCurrentRow(records_.count > 0 ? chosen_ : -1);
    updating_ = false;
    addButton_->setEnabled(textReads_ && records_.count < ornamo::commandSlotCount);
    removeButton_->setEnabled(textReads_ && records_.count > 0);
    upButton_->setEnabled(textReads_ && chosen_ > 0);
    downButton_->setEnabled(textReads_ && chosen_ + 1 < records_.count);
}

void RuleWorkshop::showSlot(int index) {
    QListWidgetItem* item = slotList_->item(index);
    if (!item)
        return;
    const ornamo::Command& command = records_.commands[static_cast<std::size_t>(index)];
    const bool held = index < records_.count;
    QString caption = QStringLiteral("%1. %2").arg(index + 1).arg(
        held ? ornamo::displayName(command.name) : ornamo::fromUtf8(ornamo::emptySlotName));
    // A record with an error or a warning is marked, and so is one the model would refuse (no
    // part, grid 0, a first part of size 0), whatever the text says.
    QStringList problems = held ? recordProblems_[static_cast<std::size_t>(index)] : QStringList();
    if (held && !ornamo::isUndoable(command.pattern) && problems.isEmpty())
        problems << text(ornamo::messages::commandUnusable);
    if (!problems.isEmpty())
        caption = markSign(ornamo::DiagnosticKind::Warning) + caption;
    item->setText(caption);
    item->setToolTip(problems.join(QLatin1Char('\n')));
    item->setForeground(held ? palette().text() : palette().placeholderText());
    QIcon icon;
    const ornamo::Work& work = host_.lentWork();
    if (held) {
        const ornamo::Bitmap picture = ornamo::rulePicture(command.pattern, work.baseTile(),
                                                           work.model().mosaic().gapColor, 48);
        if (!picture.isEmpty())
            icon = QIcon(QPixmap::fromImage(imageOf(picture)));
    }
    item->setIcon(icon);
    item->setFlags(held ? (Qt::ItemIsEnabled | Qt::ItemIsSelectable) : Qt::ItemIsEnabled);
}

void RuleWorkshop::chooseRecord(int index) {
    if (index < 0 || index >= records_.count)
        return;
    chosen_ = index;
    showSlots();
    showChosen();
    requestPreview();
}

void RuleWorkshop::showChosen() {
    updating_ = true;
    const bool held = chosen_ < records_.count;
    const ornamo::Command& command = records_.commands[static_cast<std::size_t>(chosen_)];
    editor_->setPattern(held ? command.pattern : ornamo::Mosaic{});
    if (editor_->pattern().placements.empty() && !held)
        editor_->choosePart(std::nullopt);
    nameEdit_->setText(held ? ornamo::ruleText(command.name, coding_) : QString());
    nameEdit_->setEnabled(held && textReads_);
    gridSize_->setMaximum(std::max<int>(largestEditedGrid, command.pattern.scale));
    gridSize_->setValue(std::max<int>(command.pattern.scale, 1));
    gridSize_->setEnabled(held && textReads_);
    updating_ = false;
}

void RuleWorkshop::gridEdited() {
    if (chosen_ >= records_.count)
        return;
    ornamo::Mosaic& pattern = records_.commands[static_cast<std::size_t>(chosen_)].pattern;
    pattern.placements = editor_->pattern().placements;
    recordsEdited();
}

void RuleWorkshop::nameEdited() {
    if (updating_ || chosen_ >= records_.count)
        return;
    records_.commands[static_cast<std::size_t>(chosen_)].name =
        ornamo::ruleBytes(nameEdit_->text(), coding_);
    recordsEdited();
}

void RuleWorkshop::gridSizeEdited(int size) {
    if (updating_ || chosen_ >= records_.count)
        return;
    ornamo::Mosaic& pattern = records_.commands[static_cast<std::size_t>(chosen_)].pattern;
    ornamo::setGridSize(pattern, size);
    editor_->setPattern(pattern);
    recordsEdited();
}

void RuleWorkshop::addRecord() {
    const auto added = ornamo::insertRecord(records_, chosen_, "Nový príkaz");
    if (!added)
        return;
    chosen_ = *added;
    recordsEdited();
    showSlots();
    showChosen();
}

void RuleWorkshop::removeRecord() {
    if (records_.count == 0)
        return;
    ornamo::removeRecord(records_, chosen_);
    chosen_ = std::clamp(chosen_, 0, std::max(records_.count - 1, 0));
    recordsEdited();
    showSlots();
    showChosen();
    editor_->setEditable(records_.count > 0);
}

void RuleWorkshop::moveRecord(int step) {
    const int moved = ornamo::moveRecord(records_, chosen_, step);
    if (moved == chosen_)
        return;
    chosen_ = moved;
    recordsEdited();
    showSlots();
    showChosen();
}

// ---- The preview ----

void RuleWorkshop::workChanged() {
    if (!isVisible())
        return;
    editor_->setTiles(host_.lentWork().model().mosaic().tiles);
    showSlots();
    requestPreview();
}

void RuleWorkshop::requestPreview() {
    if (!textReads_ || !worker_)
        return;
    const ornamo::Work& work = host_.lentWork();
    ornamo::PreviewInput input{work.model(),
                               std::make_shared<const ornamo::CommandSlots>(records_.commands),
                               records_.count,
                               chosen_ + 1,
                               wholeStack_->isChecked() || records_.count == 0
                                   ? ornamo::PreviewKind::Stack
                                   : ornamo::PreviewKind::Command,
                               {0, 0, previewSide, previewSide}};
    requested_ = worker_->submit(std::move(input));
}

void RuleWorkshop::showPreview(std::uint64_t generation, ornamo::PreviewResult result) {
    // Results come in order, but one computed for an older request never covers a newer one.
    if (generation <= shownGeneration_)
        return;
    shownGeneration_ = generation;
    shown_ = std::move(result);
    if (shown_.refusal != ornamo::Refusal::None) {
        previewStatus_->setText(text(ornamo::messages::detailedText(
            shown_.refusal, shown_.detail, ornamo::displayName(shown_.entryName).toStdString())));
        previewStatus_->setStyleSheet(QStringLiteral("color: #b00000"));
        previewImage_->clear();
        previewImage_->resize(0, 0);
    } else {
        QString caption = QStringLiteral("%1 × %1 px").arg(shown_.side);
        if (shown_.factor > 1)
            caption += QStringLiteral(", zmenšené %1-krát").arg(shown_.factor);
        if (shown_.shown.width < shown_.side || shown_.shown.height < shown_.side)
            caption += QStringLiteral(", výrez %1 × %2 px zhora zľava")
                           .arg(shown_.shown.width)
                           .arg(shown_.shown.height);
        previewStatus_->setText(caption);
        previewStatus_->setStyleSheet({});
        previewImage_->setPixmap(QPixmap::fromImage(imageOf(shown_.pixels)));
        previewImage_->resize(previewImage_->pixmap().size());
    }
    emit previewShown();
}

// ---- Applying, files, closing ----

void RuleWorkshop::applyRules() {
    readText();
    if (!textReads_)
        return;
    auto rules = ornamo::rulesFromBytes(textBytes(), fileName_);
    const std::optional<ornamo::Outcome> outcome = host_.apply(std::move(rules));
    if (!outcome)
        return;
    if (outcome->refusal != ornamo::Refusal::None) {
        const std::string name =
            outcome->detail.entry ? ornamo::displayName(outcome->detail.entry->name).toStdString()
                                  : std::string();
        showStatus(text(ornamo::messages::detailedText(outcome->refusal, outcome->detail, name)),
                   true);
        return;
    }
    pending_ = false;
    showStatus(QStringLiteral("Pravidlá sú v práci; Ctrl+Z v hlavnom okne ich vráti."), false);
}

void RuleWorkshop::openRules() {
    if (!mayDropEdits())
        return;
    QFileDialog dialog(this, QStringLiteral("Otvor pravidlá"));
    dialog.setObjectName(QStringLiteral("OpenRulesDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(rulesFilter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    std::string bytes;
    if (!ornamo::readHierarchyText(ornamo::fileSystemPath(path), bytes)) {
        showStatus(text(ornamo::messages::openFailed(QFileInfo(path).fileName().toStdString())),
                   true);
        return;
    }
    fileName_ = QFileInfo(path).fileName().toStdString();
    savePath_ = path;
    chosen_ = 0;
    setText(bytes);
    readText();
    pending_ = false;
    showStatus({}, false);
}

bool RuleWorkshop::saveRules(bool askForName) {
    QString path = savePath_;
    if (askForName || path.isEmpty()) {
        QFileDialog dialog(this, QStringLiteral("Ulož pravidlá ako"));
        dialog.setObjectName(QStringLiteral("SaveRulesDialog"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        // The question comes once the extension is added, about the name really written.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setNameFilter(rulesFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!fileName_.empty())
            dialog.selectFile(ornamo::fromUtf8(fileName_));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        path = dialog.selectedFiles().constFirst();
        if (!path.endsWith(QLatin1String(".hrh"), Qt::CaseInsensitive))
            path += QStringLiteral(".hrh");
        const QFileInfo target(path);
        if ((target.exists() || target.isSymLink()) &&
            QMessageBox::question(
                this, QStringLiteral("Ornamo"),
                QStringLiteral("Súbor %1 už existuje.\nChcete ho nahradiť?").arg(path),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            return false;
    }
    const std::string bytes = textBytes();
    ornamo::OutputFile file;
    if (!file.open(path) || !file.write(bytes.data(), bytes.size()) || !file.commit()) {
        showStatus(text(ornamo::messages::saveFailed(path.toStdString())), true);
        return false;
    }
    savePath_ = path;
    fileName_ = QFileInfo(path).fileName().toStdString();
    pending_ = false;
    showStatus(QStringLiteral("Pravidlá sú uložené v %1.").arg(QFileInfo(path).fileName()), false);
    return true;
}

bool RuleWorkshop::mayDropEdits() {
    if (!pending_)
        return true;
    QMessageBox question(QMessageBox::Question, QStringLiteral("Dielňa pravidiel"),
                         QStringLiteral("Pravidlá majú zmeny, ktoré nie sú použité ani uložené. "
                                        "Chcete ich uložiť?"),
                         QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    question.setObjectName(QStringLiteral("unsavedRulesQuestion"));
    question.setDefaultButton(QMessageBox::Save);
    switch (question.exec()) {
    case QMessageBox::Save:
        return saveRules(false);
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void RuleWorkshop::closeEvent(QCloseEvent* event) {
    if (!mayDropEdits()) {
        event->ignore();
        return;
    }
    pending_ = false;
    event->accept();
}

void RuleWorkshop::showStatus(const QString& message, bool fault) {
    status_->setText(message);
    status_->setStyleSheet(fault ? QStringLiteral("color: #b00000") : QString());
}
