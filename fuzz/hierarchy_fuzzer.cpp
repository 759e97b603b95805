// Feeds arbitrary bytes to the hierarchy reader, then applies every command it loaded and
// undoes them all again: the reader must never crash, and whatever it accepts must either be
// refused by the stack or undo exactly. The read with diagnostics must give the same slots and
// result and name an error exactly when the read failed; the commands written back must read
// back the same.

#include "commandstack.h"
#include "hierarchy.h"
#include "hierarchywriter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ornamo::CommandSlots slots;
    const ornamo::HierarchyResult result = ornamo::readHierarchy(bytes, slots);
    if (result.count < 0 || result.count > 12)
        std::abort();
    for (int i = result.count; i < 12; ++i)
        if (slots[static_cast<std::size_t>(i)].name != "--" ||
            !slots[static_cast<std::size_t>(i)].pattern.placements.empty())
            std::abort();

    ornamo::CommandSlots told;
    ornamo::RuleDiagnostics diagnostics;
    const ornamo::HierarchyResult toldResult = ornamo::readHierarchy(bytes, told, &diagnostics);
    const auto same = [](const ornamo::CommandSlots& a, const ornamo::CommandSlots& b) {
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i].name != b[i].name || a[i].pattern.scale != b[i].pattern.scale ||
                a[i].pattern.placements != b[i].pattern.placements)
                return false;
        return true;
    };
    if (toldResult.count != result.count || toldResult.failure != result.failure ||
        !same(slots, told) ||
        diagnostics.hasError() != (result.failure == ornamo::HierarchyFailure::BadFormat))
        std::abort();

    const ornamo::RulesWriteResult written = ornamo::writeHierarchy(slots, result.count);
    if (written.failure == ornamo::RulesWriteFailure::None) {
        ornamo::CommandSlots again;
        const ornamo::HierarchyResult reread = ornamo::readHierarchy(written.bytes, again);
        if (reread.count != result.count || reread.failure != ornamo::HierarchyFailure::None ||
            !same(slots, again))
            std::abort();
    }

    ornamo::CommandStackModel model;
    model.setMemoryCheck([](std::int64_t, std::int32_t, bool) { return true; });
    model.loadCommands(slots);
    const ornamo::Mosaic start = model.mosaic();
    for (int round = 0; round < 2; ++round)
        for (int n = 1; n <= result.count; ++n)
            model.applyCommand(n);
    while (!model.stack().empty())
        model.undoLast();
    if (model.mosaic().placements != start.placements || model.mosaic().scale != start.scale)
        std::abort();
    return 0;
}
