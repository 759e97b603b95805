// Feeds arbitrary bytes to the hierarchy reader, then applies every command it loaded and
// undoes them all again: the reader must never crash, and whatever it accepts must either be
// refused by the stack or undo exactly.

#include "commandstack.h"
#include "hierarchy.h"

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
