#include "work.h"

#include "budgets.h"
#include "messages.h"
#include "zoom.h"

#include <algorithm>
#include <limits>
#include <new>
#include <unordered_set>

namespace ornamo {

namespace {

constexpr std::size_t unreachable = std::numeric_limits<std::size_t>::max();

bool sameEntries(const std::vector<StackEntry>& a, const std::vector<StackEntry>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const StackEntry& x, const StackEntry& y) {
                          return x.command == y.command && x.rule.get() == y.rule.get();
                      });
}

bool sameSnapshot(const CommandStackModel::Snapshot& a, const CommandStackModel::Snapshot& b) {
    return sameEntries(a.stack, b.stack) && a.commands == b.commands &&
           a.shrinkFactor == b.shrinkFactor && a.noScale == b.noScale &&
           a.selectedIndex == b.selectedIndex && a.stackCaption == b.stackCaption &&
           a.editText == b.editText && a.listEnabled == b.listEnabled;
}

std::shared_ptr<const CommandSlots> slotsOf(const std::shared_ptr<const Rules>& rules) {
    return {rules, &rules->commands};
}

// What a list caption may hold: nothing yet, an emptied list's texts, or an entry's name.
bool isListText(const std::string& text, const std::vector<WorkDocument::Entry>& stack,
                bool emptyAllowed) {
    if ((emptyAllowed && text.empty()) || text == messages::emptyStackLower ||
        text == messages::emptyStackUpper)
        return true;
    return std::any_of(stack.begin(), stack.end(),
                       [&](const WorkDocument::Entry& e) { return e.name == text; });
}

} // namespace

std::shared_ptr<const Rules> rulesFromBytes(std::string bytes, std::string fileName,
                                            HierarchyResult* result) {
    auto rules = std::make_shared<Rules>();
    const HierarchyResult read = readHierarchy(bytes, rules->commands);
    rules->bytes = std::move(bytes);
    rules->fileName = std::move(fileName);
    rules->count = read.count;
    if (result)
        *result = read;
    return rules;
}

std::shared_ptr<const Rules> loadRulesFile(const std::filesystem::path& path, std::string fileName,
                                           HierarchyResult& result) {
    // U+FFFD in a name is what bytes that were not UTF-8 became: it names another file.
    if (path.native().find("\xEF\xBF\xBD") != std::string::npos) {
        result = {0, HierarchyFailure::OpenFailed};
        return nullptr;
    }
    auto rules = std::make_shared<Rules>();
    result = loadHierarchyFile(path, rules->commands, &rules->bytes);
    if (result.failure == HierarchyFailure::OpenFailed)
        return nullptr;
    rules->fileName = std::move(fileName);
    rules->count = result.count;
    return rules;
}

namespace {

// 64-bit FNV-1a, fed numbers (32 bits, little-endian) and byte strings.
class Fnv1a {
public:
    void add(std::int64_t value) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int i = 0; i < 4; ++i)
            addByte(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
    void add(const std::uint8_t* bytes, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            addByte(bytes[i]);
    }
    void add(const std::string& text) {
        add(static_cast<std::int64_t>(text.size()));
        add(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
    std::uint64_t value() const { return hash_; }

private:
    void addByte(std::uint8_t byte) {
        hash_ ^= byte;
        hash_ *= 0x100000001b3u;
    }
    std::uint64_t hash_ = 0xcbf29ce484222325u;
};

} // namespace

std::uint64_t placementCheck(const Mosaic& mosaic) {
    Fnv1a hash;
    hash.add(mosaic.scale);
    hash.add(mosaic.tileSize);
    for (const Placement& p : mosaic.placements) {
        hash.add(p.width);
        hash.add(p.height);
        hash.add(p.x);
        hash.add(p.y);
        hash.add(static_cast<std::int64_t>(p.orientation));
    }
    return hash.value();
}

std::uint64_t workCheck(const WorkDocument& d, std::uint64_t placements) {
    Fnv1a hash;
    hash.add(d.tile.width());
    hash.add(d.tile.height());
    for (int y = 0; y < d.tile.height(); ++y)
        hash.add(d.tile.row(y), static_cast<std::size_t>(d.tile.width()) * 3);
    hash.add(d.rulesBytes);
    hash.add(d.rulesFileName);
    hash.add(d.gapColor);
    hash.add(static_cast<std::int64_t>(d.stack.size()));
    for (const WorkDocument::Entry& entry : d.stack) {
        hash.add(entry.command);
        hash.add(entry.name);
    }
    hash.add(d.selectedIndex);
    hash.add(d.stackCaption);
    hash.add(d.editText);
    for (const std::int64_t number :
         {std::int64_t{d.shrinkFactor}, std::int64_t{d.noScale}, std::int64_t{d.viewFactor},
          std::int64_t{d.viewNoScale}, std::int64_t{d.scrollX}, std::int64_t{d.scrollY}})
        hash.add(number);
    hash.add(static_cast<std::int64_t>(placements));
    hash.add(static_cast<std::int64_t>(placements >> 32));
    return hash.value();
}

Work::Work(ViewLimits limits) : view_(limits), rules_(std::make_shared<const Rules>()) {
    model_.loadCommands(slotsOf(rules_));
    states_.push_back(capture());
}

const Bitmap& Work::baseTile() const {
    return model_.mosaic().tiles->base();
}

// ---- Starting ----

Outcome Work::start(Bitmap squareTile, Color gapColor, Progress* progress) {
    CommandStackModel before = model_;
    const Outcome built = model_.changeBaseTile(std::move(squareTile));
    if (built.refusal != Refusal::None)
        return built;
    model_.setGapColor(gapColor);
    // The view starts as the tile itself, at its own size.
    if (!view_.render(model_.mosaic(), 1, true, progress)) {
        model_ = std::move(before);
        return {false, Refusal::NotEnoughMemory};
    }
    viewFactor_ = 1;
    viewNoScale_ = true;
    states_.assign(1, capture());
    index_ = savedIndex_ = 0;
    return {true, {}};
}

void Work::useRules(std::shared_ptr<const Rules> rules) {
    rules_ = std::move(rules);
    model_.loadCommands(slotsOf(rules_));
    states_[index_] = capture();
}

// ---- Edits ----

Work::State Work::capture() const {
    return {model_.snapshot(),        model_.mosaic().tiles, rules_,
            model_.mosaic().gapColor, viewFactor_,           viewNoScale_};
}

bool Work::makeView(View view, Progress* progress) {
    switch (view) {
    case View::Keep:
        return true;
    case View::Render:
        if (!view_.render(model_.mosaic(), model_.shrinkFactor(), model_.noScale(), progress))
            return false;
        viewFactor_ = model_.shrinkFactor();
        viewNoScale_ = model_.noScale();
        return true;
    case View::Rescale:
        if (!view_.rescale(model_.shrinkFactor(), progress))
            return false;
        viewFactor_ = model_.shrinkFactor();
        viewNoScale_ = false;
        return true;
    }
    return false;
}

template <typename Operation>
Outcome Work::edit(Operation operation, View view, Progress* progress) {
    // The state as it stands (zoomed, chosen) is what undo comes back to.
    states_[index_] = capture();
    CommandStackModel before = model_;
    std::shared_ptr<const Rules> rulesBefore = rules_;
    const Outcome outcome = operation(model_);
    if (outcome.refusal != Refusal::None || !outcome.render)
        return outcome;
    if (!makeView(view, progress)) {
        model_ = std::move(before);
        rules_ = std::move(rulesBefore);
        return {false, Refusal::NotEnoughMemory};
    }
    record();
    return {true, {}};
}

void Work::record() {
    State now = capture();
    const State& last = states_[index_];
    if (sameSnapshot(now.model, last.model) && now.tiles == last.tiles && now.rules == last.rules &&
        now.gapColor == last.gapColor && now.viewFactor == last.viewFactor &&
        now.viewNoScale == last.viewNoScale)
        return;
    // A new edit drops the steps that were undone.
    states_.resize(index_ + 1);
    if (savedIndex_ != unreachable && savedIndex_ > index_)
        savedIndex_ = unreachable;
    states_.push_back(std::move(now));
    ++index_;
    trimHistory();
}

void Work::trimHistory() {
    const auto dropOldest = [this] {
        states_.erase(states_.begin());
        --index_;
        savedIndex_ =
            savedIndex_ == 0 || savedIndex_ == unreachable ? unreachable : savedIndex_ - 1;
    };
    while (states_.size() > historyStates)
        dropOldest();
    // Tile images and rules held by the history alone, not by the current state.
    const auto rulesBytes = [](const Rules& rules) {
        std::uint64_t bytes = sizeof rules + rules.bytes.capacity() + rules.fileName.capacity();
        for (const Command& command : rules.commands)
            bytes +=
                command.name.capacity() + command.pattern.placements.capacity() * sizeof(Placement);
        return bytes;
    };
    for (;;) {
        std::unordered_set<const TileSet*> counted{states_[index_].tiles.get()};
        std::unordered_set<const Rules*> countedRules{states_[index_].rules.get()};
        std::uint64_t bytes = 0;
        for (const State& state : states_) {
            if (state.tiles && counted.insert(state.tiles.get()).second)
                bytes += state.tiles->heldBytes();
            if (state.rules && countedRules.insert(state.rules.get()).second)
                bytes += rulesBytes(*state.rules);
        }
        if (bytes <= budget::historyTiles || index_ == 0)
            break;
        dropOldest();
    }
}

Outcome Work::applyCommand(int n, Progress* progress) {
    return edit([n](CommandStackModel& m) { return m.applyCommand(n); }, View::Render, progress);
}

Outcome Work::undoLast(Progress* progress) {
    return edit([](CommandStackModel& m) { return m.undoLast(); }, View::Render, progress);
}

Outcome Work::reset(Progress* progress) {
    return edit([](CommandStackModel& m) { return m.reset(); }, View::Render, progress);
}

Outcome Work::deleteChosen(Progress* progress) {
    return edit([](CommandStackModel& m) { return m.deleteChosen(); }, View::Render, progress);
}

Outcome Work::deleteUpToChosen(Progress* progress) {
    return edit([](CommandStackModel& m) { return m.deleteUpToChosen(); }, View::Render, progress);
}

Outcome Work::replaceChosen(int r, Progress* progress) {
    return edit([r](CommandStackModel& m) { return m.replaceChosen(r); }, View::Render, progress);
}

Outcome Work::insertBeforeChosen(int r, Progress* progress) {
    return edit([r](CommandStackModel& m) { return m.insertBeforeChosen(r); }, View::Render,
                progress);
}

Outcome Work::startNewMosaic(std::shared_ptr<const Rules> rules, Progress* progress) {
    return edit(
        [&](CommandStackModel& m) {
            if (rules) {
                rules_ = std::move(rules);
                m.loadCommands(slotsOf(rules_));
            }
            return m.resetAfterHierarchyLoad();
        },
        View::Render, progress);
}

Outcome Work::replayWithRules(std::shared_ptr<const Rules> rules, Progress* progress) {
    return edit(
        [&](CommandStackModel& m) {
            Outcome outcome = m.replay(slotsOf(rules), rules->count);
            if (outcome.refusal == Refusal::None)
                rules_ = std::move(rules);
            return outcome;
        },
        View::Render, progress);
}

Outcome Work::changeBaseTile(const Bitmap& squareTile, Progress* progress) {
    if (squareTile == baseTile()) {
        // The same tile again: drawn again, nothing changes.
        if (!makeView(View::Render, progress))
            return {false, Refusal::NotEnoughMemory};
        return {true, {}};
    }
    return edit([&](CommandStackModel& m) { return m.changeBaseTile(squareTile); }, View::Render,
                progress);
}

Outcome Work::setGapColor(Color color, Progress* progress) {
    return edit(
        [color](CommandStackModel& m) {
            m.setGapColor(color);
            return Outcome{true, {}};
        },
        View::Render, progress);
}

Outcome Work::toggleNoScale(Progress* progress) {
    const NoScaleToggle toggle = toggledNoScale(model_.noScale());
    return edit(
        [toggle](CommandStackModel& m) {
            m.setNoScale(toggle.noScale);
            m.setShrinkFactor(toggle.shrinkFactor);
            return Outcome{true, {}};
        },
        toggle.redraw ? View::Rescale : View::Keep, progress);
}

// ---- Not edits ----

Outcome Work::choose(std::string_view typedText, int currentIndex) {
    return model_.choose(typedText, currentIndex);
}

Outcome Work::zoomTo(std::int32_t factor, Progress* progress) {
    // A view that does not fit keeps the picture shown, so the factor stays the one it shows.
    if (!view_.rescale(factor, progress))
        return {false, Refusal::NotEnoughMemory};
    model_.setShrinkFactor(factor);
    viewFactor_ = factor;
    viewNoScale_ = false;
    return {true, {}};
}

Outcome Work::zoomOut(Progress* progress) {
    const std::optional<std::int32_t> factor = zoomedOut(model_.shrinkFactor());
    if (!factor)
        return {false, Refusal::ZoomPointless};
    return zoomTo(*factor, progress);
}

Outcome Work::zoomIn(Progress* progress) {
    const std::optional<std::int32_t> factor = zoomedIn(model_.shrinkFactor());
    if (!factor)
        return {};
    return zoomTo(*factor, progress);
}

Outcome Work::fullSize(Progress* progress) {
    return zoomTo(fullSizeFactor, progress);
}

std::int32_t fittingFactor(std::int64_t extent, int width, int height) {
    std::int32_t factor = 1;
    while (factor < shrinkFactorLimit - 1 &&
           MosaicView::sideFor(extent, factor, false) > std::min(width, height))
        ++factor;
    return factor;
}

Outcome Work::zoomToFit(int width, int height, Progress* progress) {
    return zoomTo(fittingFactor(model_.mosaic().extent(), width, height), progress);
}

// ---- History ----

bool Work::putState(const State& state, Progress* progress) {
    CommandStackModel before = model_;
    if (state.tiles != model_.mosaic().tiles)
        model_.useTiles(state.tiles);
    model_.setGapColor(state.gapColor);
    model_.restore(state.model);
    if (!view_.render(model_.mosaic(), state.viewFactor, state.viewNoScale, progress)) {
        model_ = std::move(before);
        return false;
    }
    rules_ = state.rules;
    viewFactor_ = state.viewFactor;
    viewNoScale_ = state.viewNoScale;
    return true;
}

Outcome Work::moveTo(std::size_t index, Progress* progress) {
    states_[index_] = capture();
    if (!putState(states_[index], progress))
        return {false, Refusal::NotEnoughMemory};
    index_ = index;
    return {true, {}};
}

Outcome Work::undo(Progress* progress) {
    if (!canUndo())
        return {};
    return moveTo(index_ - 1, progress);
}

Outcome Work::redo(Progress* progress) {
    if (!canRedo())
        return {};
    return moveTo(index_ + 1, progress);
}

// ---- Files ----

WorkDocument Work::document() const {
    WorkDocument d;
    d.tile = baseTile();
    d.rulesBytes = rules_->bytes;
    d.rulesFileName = rules_->fileName;
    d.gapColor = model_.mosaic().gapColor;
    for (const StackEntry& entry : model_.stack())
        d.stack.push_back({entry.command, entry.name()});
    d.selectedIndex = model_.selectedIndex();
    d.stackCaption = model_.stackCaption();
    d.editText = model_.editText();
    d.shrinkFactor = model_.shrinkFactor();
    d.noScale = model_.noScale();
    d.viewFactor = viewFactor_;
    d.viewNoScale = viewNoScale_;
    d.scrollX = scrollX_;
    d.scrollY = scrollY_;
    // The name alone: where the rules were read from (a home folder) is no part of the work.
    d.rulesFileName = std::filesystem::path(d.rulesFileName).filename().string();
    d.check = workCheck(d, placementCheck(model_.mosaic()));
    return d;
}

namespace {

// Rebuilds the work a document describes on `model` (a copy of the one in hand, so that its
// memory check holds): its tile, gap colour and rules, then its stack applied command by command,
// each entry checked against the rules' command of its number, and the placements against the
// document's check value.
WorkFileFailure rebuild(const WorkDocument& document, CommandStackModel& model,
                        std::shared_ptr<const Rules>& rules) {
    const Bitmap& tile = document.tile;
    if (tile.isEmpty() || tile.width() != tile.height())
        return WorkFileFailure::TileBroken;
    model.resetAfterHierarchyLoad();
    model.setNoScale(false);
    switch (model.changeBaseTile(tile).refusal) {
    case Refusal::None:
        break;
    case Refusal::NotEnoughMemory:
        return WorkFileFailure::NotEnoughMemory;
    default:
        return WorkFileFailure::TileBroken;
    }
    model.setGapColor(document.gapColor & 0xFFFFFF);
    rules = rulesFromBytes(document.rulesBytes, document.rulesFileName);
    model.loadCommands(slotsOf(rules));
    for (const WorkDocument::Entry& entry : document.stack) {
        if (entry.command < 1 || entry.command > rules->count ||
            rules->commands[static_cast<std::size_t>(entry.command - 1)].name != entry.name)
            return WorkFileFailure::StackMismatch;
        const Refusal refused = model.applyCommand(entry.command).refusal;
        if (refused == Refusal::NotEnoughMemory)
            return WorkFileFailure::NotEnoughMemory;
        if (refused != Refusal::None)
            return WorkFileFailure::StackMismatch;
    }
    const std::uint64_t placements = placementCheck(model.mosaic());
    if ((document.formatVersion < 2 ? placements : workCheck(document, placements)) !=
        document.check)
        return WorkFileFailure::StackMismatch;
    return WorkFileFailure::None;
}

// Whether the document's view fits the rebuilt mosaic `extent` pixels on a side: its factor is
// shrinkFactor, or the picture kept when "Neškáluj" went off (which left shrinkFactor 1); a
// scroll position lies within the view.
bool viewFits(const WorkDocument& document, std::int64_t extent) {
    const bool keptPicture = document.shrinkFactor == 1 && !document.noScale;
    if (!keptPicture && (document.viewFactor != document.shrinkFactor ||
                         (document.viewNoScale && !document.noScale)))
        return false;
    const std::int64_t side =
        MosaicView::sideFor(extent, document.viewFactor, document.viewNoScale);
    return document.scrollX >= 0 && document.scrollX <= side && document.scrollY >= 0 &&
           document.scrollY <= side;
}

// Puts the list as it was saved on the rebuilt model, once its choice and texts are checked
// against the stack; false, with the model unchanged, when they do not fit it.
bool restoreList(const WorkDocument& document, CommandStackModel& model) {
    const int size = static_cast<int>(document.stack.size());
    if (document.selectedIndex < 0 || document.selectedIndex >= std::max(size, 1) ||
        !isListText(document.stackCaption, document.stack, true) ||
        !isListText(document.editText, document.stack, false))
        return false;
    CommandStackModel::Snapshot list = model.snapshot();
    list.shrinkFactor = document.shrinkFactor;
    list.noScale = document.noScale;
    list.selectedIndex = document.selectedIndex;
    list.stackCaption = document.stackCaption;
    list.editText = document.editText;
    list.listEnabled = size > 0;
    model.restore(list);
    return true;
}

} // namespace

WorkFileFailure Work::open(const WorkDocument& document, Progress* progress) {
    // The work is rebuilt beside the one in hand, which stays until the rebuilt one is whole.
    CommandStackModel model = model_;
    std::shared_ptr<const Rules> rules;
    if (const WorkFileFailure failed = rebuild(document, model, rules);
        failed != WorkFileFailure::None)
        return failed;
    if (!viewFits(document, model.mosaic().extent()))
        return WorkFileFailure::NotAWork;
    if (!restoreList(document, model))
        return WorkFileFailure::StackMismatch;
    if (!view_.render(model.mosaic(), document.viewFactor, document.viewNoScale, progress))
        return WorkFileFailure::NotEnoughMemory;
    model_ = std::move(model);
    rules_ = std::move(rules);
    viewFactor_ = document.viewFactor;
    viewNoScale_ = document.viewNoScale;
    scrollX_ = document.scrollX;
    scrollY_ = document.scrollY;
    states_.assign(1, capture());
    index_ = savedIndex_ = 0;
    return WorkFileFailure::None;
}

} // namespace ornamo
