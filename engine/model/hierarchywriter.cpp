#include "hierarchywriter.h"

#include <algorithm>

namespace ornamo {

namespace {

RulesWriteFailure unwritable(const Command& command) {
    const std::string& name = command.name;
    if (name.empty())
        return RulesWriteFailure::EmptyName;
    if (name.find('\n') != std::string::npos)
        return RulesWriteFailure::NameWithLineEnd;
    if (name.find('\x1a') != std::string::npos)
        return RulesWriteFailure::NameWithEndOfText;
    if (name.size() > hierarchyLineLimit)
        return RulesWriteFailure::NameTooLong;
    for (const Placement& p : command.pattern.placements) {
        for (const std::int32_t value : {p.x, p.y, p.width, p.height})
            if (value < 0 || value > largestPartField)
                return RulesWriteFailure::ValueOutOfRange;
        if (keyword(p.orientation).empty())
            return RulesWriteFailure::UnknownOrientation;
    }
    return RulesWriteFailure::None;
}

} // namespace

RulesWriteResult writeHierarchy(const CommandSlots& commands, int count) {
    RulesWriteResult result;
    const int records = std::clamp(count, 0, static_cast<int>(commands.size()));
    std::string text;
    for (int i = 0; i < records; ++i) {
        const Command& command = commands[static_cast<std::size_t>(i)];
        if (const RulesWriteFailure failure = unwritable(command);
            failure != RulesWriteFailure::None)
            return {failure, i + 1, {}};
        if (i > 0)
            text += '\n';
        text += command.name;
        if (command.name.back() == '\r')
            text += '\r';
        text += "\nscale: " + std::to_string(command.pattern.scale);
        text += "\nitem: " + std::to_string(command.pattern.placements.size()) + '\n';
        for (const Placement& p : command.pattern.placements) {
            text += std::to_string(p.x) + ' ' + std::to_string(p.y) + ' ' +
                    std::to_string(p.width) + ' ' + std::to_string(p.height) + ' ';
            text += keyword(p.orientation);
            text += '\n';
        }
        if (text.size() > hierarchyFileLimit)
            return {RulesWriteFailure::TooLong, i + 1, {}};
    }
    result.bytes = std::move(text);
    return result;
}

} // namespace ornamo
