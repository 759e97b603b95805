#include "commandstack.h"

#include "memoryfit.h"
#include "messages.h"
#include "mosaicview.h"

#include <algorithm>
#include <limits>
#include <new>

namespace ornamo {

namespace {

constexpr std::int64_t int32Limit = std::numeric_limits<std::int32_t>::max();

// The signed 32-bit product the factor is defined by, wrapping instead of overflowing.
std::int32_t wrappingProduct(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

std::int32_t appliedFactor(std::int32_t factor, std::uint16_t gridSize, bool noScale) {
    return noScale ? 1 : wrappingProduct(factor, gridSize);
}

// The largest magnitude among the extent and the corners of the placements. Every value the
// transforms compute lies within twice this bound.
std::int64_t reachOf(const Mosaic& mosaic) {
    const std::int64_t t = mosaic.tileSize;
    const auto magnitude = [](std::int64_t v) { return v < 0 ? -v : v; };
    std::int64_t reach = mosaic.extent();
    for (const Placement& p : mosaic.placements)
        reach = std::max({reach, magnitude(p.x), magnitude(p.y), magnitude(p.x + p.width * t),
                          magnitude(p.y + p.height * t)});
    return reach;
}

// The placements at an extreme of some field or far edge (x, y, width, height, x + width T,
// y + height T), in their order. Each value of a one-part substitution's result is one field or
// far edge of the mosaic, or E minus one, stretched and shifted, so the images of these
// placements are again at every extreme of the result: the bound, which looks at the extremes
// only, judges a run of one-part substitutions on them exactly as on the whole mosaic.
Mosaic witnessesOf(const Mosaic& mosaic) {
    const std::vector<Placement>& list = mosaic.placements;
    const std::int64_t t = mosaic.tileSize;
    const auto value = [t](const Placement& p, int quantity) -> std::int64_t {
        switch (quantity) {
        case 0:
            return p.x;
        case 1:
            return p.y;
        case 2:
            return p.width;
        case 3:
            return p.height;
        case 4:
            return p.x + std::int64_t{p.width} * t;
        default:
            return p.y + std::int64_t{p.height} * t;
        }
    };
    std::vector<std::ptrdiff_t> chosen;
    for (int quantity = 0; quantity < 6; ++quantity) {
        const auto [low, high] = std::minmax_element(
            list.begin(), list.end(), [&](const Placement& a, const Placement& b) {
                return value(a, quantity) < value(b, quantity);
            });
        chosen.push_back(low - list.begin());
        chosen.push_back(high - list.begin());
    }
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    Mosaic witnesses;
    witnesses.scale = mosaic.scale;
    witnesses.tileSize = mosaic.tileSize;
    for (const std::ptrdiff_t i : chosen)
        witnesses.placements.push_back(list[static_cast<std::size_t>(i)]);
    return witnesses;
}

} // namespace

void undoSubstitution(const Mosaic& pattern, Mosaic& mosaic) {
    const Placement& first = pattern.placements.front();
    mosaic.placements.resize(mosaic.placements.size() / pattern.placements.size());
    mosaic.scale = static_cast<std::uint16_t>(mosaic.scale / pattern.scale);

    // Take back the first part's shift and stretch. The values before them were exact 32-bit
    // values, and these steps are computed in 64 bits, so nothing wraps on the way.
    const std::int64_t oldExtent = mosaic.extent();
    const std::int64_t dx = std::int64_t{first.x} * oldExtent;
    const std::int64_t dy = std::int64_t{first.y} * oldExtent;
    for (Placement& p : mosaic.placements) {
        p.x = static_cast<std::int32_t>((p.x - dx) / first.width);
        p.y = static_cast<std::int32_t>((p.y - dy) / first.height);
        p.width /= first.width;
        p.height /= first.height;
    }

    // Then the turn (and mirror) by the inverse orientation; values above 7 were substituted as
    // R0 and have no steps.
    for (const Transform t : stepsOf(inverse(first.orientation)))
        transformMosaic(mosaic, t);
}

CommandStackModel::CommandStackModel()
    : commands_(std::make_shared<const CommandSlots>()), editText_(messages::emptyStackLower),
      memoryCheck_([](std::int64_t extent, std::int32_t shrinkFactor, bool noScale) {
          return MosaicView::fits(extent, shrinkFactor, noScale);
      }) {
    state_.mosaic.tiles = std::make_shared<TileSet>();
    ResetMosaic(state_.mosaic);
}

// ---- Steps on a state ----

Outcome CommandStackModel::refusal(const State& state, const Command* command,
                                   std::int64_t* reach) {
    if (!command || !isUndoable(command->pattern))
        return {false, Refusal::CommandUnusable};
    if (const Excess excess = substitutionExcess(command->pattern, state.mosaic, reach);
        excess.exceeds())
        return {false, Refusal::MosaicTooLarge, {excess, std::nullopt}};
    if (state.stack.size() >= capacity)
        return {false, Refusal::StackFull};
    return {};
}

std::shared_ptr<const Command> CommandStackModel::commandAt(int n) const {
    if (n < 1 || n > static_cast<int>(commands_->size()))
        return nullptr;
    // Shares the slots' ownership: the entry keeps the command alive after other slots load.
    return {commands_, &(*commands_)[static_cast<std::size_t>(n - 1)]};
}

void CommandStackModel::apply(State& state, int n, std::shared_ptr<const Command> command,
                              std::int64_t reach) const {
    const std::uint16_t gridSize = command->pattern.scale;
    StackEntry entry{static_cast<std::uint8_t>(n), std::move(command), reach};
    SubstituteCommand(entry.pattern(), state.mosaic);
    state.shrinkFactor = appliedFactor(state.shrinkFactor, gridSize, noScale_);
    state.stack.push_back(std::move(entry));
}

void CommandStackModel::undoNewest(State& state) {
    const StackEntry& entry = state.stack.back();
    undoSubstitution(entry.pattern(), state.mosaic);
    if (state.shrinkFactor > 1)
        state.shrinkFactor /= entry.pattern().scale;
    state.stack.pop_back();
}

Outcome CommandStackModel::reapply(State& state, std::vector<StackEntry>::const_iterator from,
                                   std::vector<StackEntry>::const_iterator to) const {
    for (auto it = from; it != to; ++it) {
        std::int64_t reach = 0;
        Outcome refused = refusal(state, it->rule.get(), &reach);
        if (refused.refusal != Refusal::None)
            return refused;
        apply(state, it->command, it->rule, reach);
    }
    return {};
}

bool CommandStackModel::imagesFit(const State& state) const {
    return memoryCheck_(state.mosaic.extent(), state.shrinkFactor, noScale_);
}

void CommandStackModel::showNewest() {
    stackCaption_ = state_.stack.back().name();
    editText_ = stackCaption_;
    listEnabled_ = true;
}

void CommandStackModel::emptyList(std::string_view editText) {
    editText_ = std::string(editText);
    stackCaption_ = std::string(messages::emptyStackLower);
    listEnabled_ = false;
}

// ---- Operations ----

Outcome CommandStackModel::applyCommand(int n) {
    std::shared_ptr<const Command> command = commandAt(n);
    std::int64_t reach = 0;
    if (Outcome refused = refusal(state_, command.get(), &reach); refused.refusal != Refusal::None)
        return refused;
    const std::int64_t extent = state_.mosaic.extent() * command->pattern.scale;
    if (!memoryCheck_(extent, appliedFactor(state_.shrinkFactor, command->pattern.scale, noScale_),
                      noScale_))
        return {false, Refusal::NotEnoughMemory};

    apply(state_, n, std::move(command), reach);
    showNewest();
    selectedIndex_ = 0;
    return {true, {}};
}

Outcome CommandStackModel::undoLast() {
    if (state_.stack.empty())
        return {false, Refusal::StackEmpty};
    undoNewest(state_);
    if (state_.stack.empty())
        emptyList(messages::emptyStackLower);
    else
        showNewest();
    selectedIndex_ = 0;
    return {true, {}};
}

Outcome CommandStackModel::reset() {
    if (state_.stack.empty())
        return {};
    ResetMosaic(state_.mosaic);
    state_.stack.clear();
    state_.shrinkFactor = 1;
    emptyList(messages::emptyStackLower);
    selectedIndex_ = 0;
    return {true, {}};
}

Outcome CommandStackModel::choose(std::string_view typedText, int currentIndex) {
    const auto& stack = state_.stack;
    if (std::any_of(stack.begin(), stack.end(),
                    [&](const StackEntry& e) { return e.name() == typedText; }))
        stackCaption_ = std::string(typedText);
    editText_ = stackCaption_;
    if (currentIndex >= 0 && currentIndex < static_cast<int>(stack.size()))
        selectedIndex_ = currentIndex;
    return {};
}

Outcome CommandStackModel::deleteUpToChosen() {
    if (state_.stack.empty())
        return {};
    const int k = std::min(selectedIndex_, static_cast<int>(state_.stack.size()) - 1);
    for (int i = 0; i < k; ++i)
        undoNewest(state_);
    editText_ = stackCaption_;
    selectedIndex_ = 0;
    return {true, {}};
}

Outcome CommandStackModel::deleteChosen() {
    return edit(EditKind::Delete, 0);
}

Outcome CommandStackModel::replaceChosen(int r) {
    return edit(EditKind::Replace, r);
}

Outcome CommandStackModel::insertBeforeChosen(int r) {
    return edit(EditKind::Insert, r);
}

Outcome CommandStackModel::edit(EditKind kind, int r) {
    if (state_.stack.empty())
        return {};
    if (kind != EditKind::Delete && r == cancelledChoice)
        return {};

    // Work on a copy and keep it only when every step was accepted.
    State work = state_;
    const std::size_t k =
        static_cast<std::size_t>(std::min(selectedIndex_, static_cast<int>(work.stack.size()) - 1));
    const std::size_t chosen = work.stack.size() - 1 - k;
    const std::vector<StackEntry> undone(work.stack.begin() + static_cast<std::ptrdiff_t>(chosen),
                                         work.stack.end());
    const std::int32_t factorBefore = work.shrinkFactor;
    for (std::size_t i = 0; i <= k; ++i)
        undoNewest(work);

    auto newer = undone.cbegin() + 1; // the entries above the chosen one
    if (kind != EditKind::Delete) {
        std::shared_ptr<const Command> command = commandAt(r);
        std::int64_t reach = 0;
        if (Outcome refused = refusal(work, command.get(), &reach);
            refused.refusal != Refusal::None)
            return refused;
        apply(work, r, std::move(command), reach);
        if (kind == EditKind::Insert)
            newer = undone.cbegin(); // the chosen entry goes back too, above the new one
    }
    if (Outcome refused = reapply(work, newer, undone.cend()); refused.refusal != Refusal::None)
        return refused;
    if (kind == EditKind::Insert)
        work.shrinkFactor = wrappingProduct(factorBefore, commandAt(r)->pattern.scale);
    if (kind != EditKind::Delete && !imagesFit(work))
        return {false, Refusal::NotEnoughMemory};

    state_ = std::move(work);
    if (state_.stack.empty())
        emptyList(messages::emptyStackUpper);
    else
        showNewest();
    selectedIndex_ = 0;
    return {true, {}};
}

// A run of one-part entries in a replay, judged on the witnesses of the mosaic (witnessesOf())
// and applied to every placement in one walk, by the composed map of its substitutions.
struct CommandStackModel::OnePartRun {
    State judged; // the witnesses, as the entries of the run have changed them
    PlacementMap pending;
    bool active = false;

    void begin(const Mosaic& mosaic) {
        judged.mosaic = witnessesOf(mosaic);
        pending = identityMap();
        active = true;
    }
    void add(const Mosaic& pattern) {
        pending = composed(pending, partMap(pattern.placements.front(), judged.mosaic.extent(),
                                            judged.mosaic.tileSize));
        SubstituteCommand(pattern, judged.mosaic);
    }
    // The run's substitutions applied to `mosaic`, which takes the run's scale.
    void end(Mosaic& mosaic) {
        if (active)
            applyMap(pending, mosaic.placements);
        mosaic.scale = active ? judged.mosaic.scale : mosaic.scale;
        active = false;
    }
};

Outcome CommandStackModel::replayRefusal(const State& judged, std::int32_t shrinkFactor,
                                         const Command* command, bool newest,
                                         std::int64_t* reach) const {
    Outcome refused = refusal(judged, command, reach);
    if (refused.refusal == Refusal::None && newest) {
        const std::int64_t extent = judged.mosaic.extent() * command->pattern.scale;
        if (!memoryCheck_(extent, appliedFactor(shrinkFactor, command->pattern.scale, noScale_),
                          noScale_))
            refused = {false, Refusal::NotEnoughMemory};
    }
    return refused;
}

Outcome CommandStackModel::replay(std::shared_ptr<const CommandSlots> commands, int count) {
    // The stack applied again to a reset mosaic, built beside the one in hand.
    State work;
    work.mosaic.gapColor = state_.mosaic.gapColor;
    work.mosaic.tileSize = state_.mosaic.tileSize;
    work.mosaic.tiles = state_.mosaic.tiles;
    ResetMosaic(work.mosaic);
    work.shrinkFactor = state_.stack.empty() ? state_.shrinkFactor : 1;
    work.stack.reserve(state_.stack.size());
    OnePartRun run;
    for (std::size_t i = 0; i < state_.stack.size(); ++i) {
        const StackEntry& entry = state_.stack[i];
        const int n = entry.command;
        const bool empty = n < 1 || n > std::min(count, static_cast<int>(commands->size()));
        std::shared_ptr<const Command> command;
        if (!empty)
            command = {commands, &(*commands)[static_cast<std::size_t>(n - 1)]};
        const bool onePart = command && command->pattern.placements.size() == 1;
        if (onePart && !run.active)
            run.begin(work.mosaic);
        else if (!onePart)
            run.end(work.mosaic);
        std::int64_t reach = 0;
        Outcome refused = replayRefusal(run.active ? run.judged : work, work.shrinkFactor,
                                        command.get(), i + 1 == state_.stack.size(), &reach);
        if (refused.refusal != Refusal::None) {
            refused.detail.entry = EntryAt{i, n, entry.name(), empty};
            return refused;
        }
        if (!run.active) {
            apply(work, n, std::move(command), reach);
            continue;
        }
        run.add(command->pattern);
        work.shrinkFactor = appliedFactor(work.shrinkFactor, command->pattern.scale, noScale_);
        work.stack.push_back({static_cast<std::uint8_t>(n), std::move(command), reach});
    }
    run.end(work.mosaic);

    commands_ = std::move(commands);
    state_ = std::move(work);
    if (!state_.stack.empty()) {
        showNewest();
        selectedIndex_ = 0;
    }
    return {true, {}};
}

Outcome CommandStackModel::resetAfterHierarchyLoad() {
    ResetMosaic(state_.mosaic);
    state_.stack.clear();
    state_.shrinkFactor = 1;
    selectedIndex_ = 0;
    editText_ = std::string(messages::emptyStackUpper);
    listEnabled_ = false;
    return {true, {}};
}

Outcome CommandStackModel::changeBaseTile(const Bitmap& squareTile) {
    return changeBaseTileFrom(squareTile, nullptr);
}

Outcome CommandStackModel::changeBaseTile(Bitmap&& squareTile) {
    return changeBaseTileFrom(squareTile, &squareTile);
}

Outcome CommandStackModel::changeBaseTileFrom(const Bitmap& squareTile, Bitmap* movable) {
    const std::int64_t w = squareTile.width();
    if (squareTile.isEmpty() || squareTile.width() != squareTile.height())
        return {false, Refusal::TileUnusable};

    Mosaic& mosaic = state_.mosaic;
    const std::int64_t t = mosaic.tileSize;
    const std::int64_t newExtent = std::int64_t{mosaic.scale} * w;
    // Every position scales by w / t exactly (positions are multiples of t), here and back
    // through the stack, so undo stays exact when the largest of them still fits.
    std::int64_t reach = reachOf(mosaic);
    for (const StackEntry& entry : state_.stack)
        reach = std::max(reach, entry.reach);
    if (newExtent > maxExtent)
        return {false, Refusal::MosaicTooLarge, {{Limit::Extent, newExtent, maxExtent}, {}}};
    if (2 * (reach / t) * w > int32Limit)
        return {false,
                Refusal::MosaicTooLarge,
                {{Limit::Coordinate, reach / t * w, int32Limit / 2}, {}}};

    const std::uint64_t tileBytes = TileSet::bytesFor(w);
    const std::uint64_t heldTileBytes = mosaic.tiles ? mosaic.tiles->heldBytes() : 0;
    if (!fitsInMemory(tileBytes, heldTileBytes) ||
        !memoryCheck_(newExtent, state_.shrinkFactor, noScale_))
        return {false, Refusal::NotEnoughMemory};

    std::shared_ptr<TileSet> tiles;
    try {
        tiles = std::make_shared<TileSet>();
        if (movable)
            BuildTileSet(*tiles, std::move(*movable));
        else
            BuildTileSet(*tiles, squareTile);
    } catch (const std::bad_alloc&) {
        return {false, Refusal::NotEnoughMemory};
    }

    const auto rescale = [&](std::int64_t v) { return static_cast<std::int32_t>(v / t * w); };
    for (Placement& p : mosaic.placements) {
        p.x = rescale(p.x);
        p.y = rescale(p.y);
    }
    for (StackEntry& entry : state_.stack)
        entry.reach = entry.reach / t * w;
    mosaic.tiles = std::move(tiles);
    mosaic.tileSize = static_cast<std::uint16_t>(w);
    return {true, {}};
}

std::vector<std::string> CommandStackModel::listEntries() const {
    std::vector<std::string> entries;
    entries.reserve(state_.stack.size());
    for (auto it = state_.stack.rbegin(); it != state_.stack.rend(); ++it)
        entries.push_back(it->name());
    return entries;
}

CommandStackModel::Snapshot CommandStackModel::snapshot() const {
    return {state_.stack,   commands_,     state_.shrinkFactor, noScale_,
            selectedIndex_, stackCaption_, editText_,           listEnabled_};
}

void CommandStackModel::restore(const Snapshot& snapshot) {
    Mosaic& mosaic = state_.mosaic;
    ResetMosaic(mosaic);
    state_.stack = snapshot.stack;
    for (StackEntry& entry : state_.stack) {
        entry.reach = reachOf(mosaic);
        SubstituteCommand(entry.pattern(), mosaic);
    }
    state_.shrinkFactor = snapshot.shrinkFactor;
    commands_ = snapshot.commands;
    noScale_ = snapshot.noScale;
    selectedIndex_ = snapshot.selectedIndex;
    stackCaption_ = snapshot.stackCaption;
    editText_ = snapshot.editText;
    listEnabled_ = snapshot.listEnabled;
}

} // namespace ornamo
