#include "hierarchy.h"
#include "hierarchywriter.h"
#include "rulecoverage.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace ornamo {
namespace {

constexpr auto error = DiagnosticKind::Error;
constexpr auto warning = DiagnosticKind::Warning;
constexpr auto note = DiagnosticKind::Note;

std::string record(const std::string& name, const std::string& scale, const std::string& item,
                   const std::string& parts) {
    return name + "\n" + scale + "\n" + item + "\n" + parts;
}
// A record of a 2 x 2 grid with the given parts (their count given or one).
std::string withParts(const std::string& parts, int count = 1) {
    return record("A", "scale: 2", "item: " + std::to_string(count), parts);
}
const std::string whole = "0 0 2 2 R0\n";
std::string simple(const std::string& name) {
    return withParts(whole).replace(0, 1, name);
}

struct FaultCase {
    const char* label;
    std::string bytes;
    DiagnosticKind kind;
    RuleProblem problem;
    int line;
    int column;
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.label;
}

class Faults : public ::testing::TestWithParam<FaultCase> {};

// The diagnostic is reported at its place; a file with an error has exactly one, last, and a
// file with none reads without failure.
TEST_P(Faults, ReportedAtTheirPlace) {
    const FaultCase& c = GetParam();
    CommandSlots slots;
    RuleDiagnostics diagnostics;
    const HierarchyResult result = readHierarchy(c.bytes, slots, &diagnostics);
    bool found = false;
    int errors = 0;
    for (const RuleDiagnostic& d : diagnostics.list) {
        errors += d.kind == error;
        found = found || (d.kind == c.kind && d.problem == c.problem && d.line == c.line &&
                          d.column == c.column);
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(errors, c.kind == error ? 1 : 0);
    EXPECT_EQ(result.failure == HierarchyFailure::BadFormat, c.kind == error);
    if (c.kind == error) {
        EXPECT_EQ(diagnostics.list.back().kind, error);
    }
}

std::vector<FaultCase> faultCases() {
    using P = RuleProblem;
    std::string thirteen;
    for (int i = 0; i < 13; ++i)
        thirteen += simple("c");
    const std::string longName(hierarchyLineLimit + 1, 'n');
    const std::string endless = simple("A") + std::string(hierarchyFileLimit, '\n') + simple("B");
    // The byte at the file limit stands on a line of its own after the record's four.
    const int limitLine = 5 + static_cast<int>(hierarchyFileLimit - simple("A").size());
    return {
        {"UnknownOrientation", withParts("0 0 2 2 R27O\n"), error, P::UnknownOrientation, 4, 9},
        {"KeywordAfterBlanks", withParts("0 0 2 2   r0 \n"), error, P::UnknownOrientation, 4, 11},
        {"KeywordOnCrLfLine", withParts("0 0 2 2 R9\r\n"), error, P::UnknownOrientation, 4, 9},
        {"NoKeyword", withParts("0 0 2 2\n") + simple("B"), error, P::MissingOrientation, 4, 8},
        {"LetterForANumber", withParts("0 x 2 2 R0\n"), error, P::BadNumber, 4, 3},
        {"BadHexDigit", withParts("0 0 $1G 2 R0\n"), error, P::BadNumber, 4, 7},
        {"ValuesOverLines", withParts("0\n\n 0 2\n  2 R1\n"), error, P::UnknownOrientation, 7, 5},
        {"TrailingBlank", record("A", "scale: 2 ", "item: 1", whole), error, P::BadNumber, 2, 9},
        {"DecimalOutOfRange", record("A", "scale: 2147483648", "item: 1", whole), error,
         P::BadNumber, 2, 8},
        {"SignWithoutDigits", record("A", "scale:   -", "item: 1", whole), error, P::BadNumber, 2,
         10},
        {"ShortScaleLine", record("A", "size", "item: 1", whole), error, P::BadNumber, 2, 5},
        {"OneDigitAfterItem", withParts(whole).replace(11, 7, "item:1"), error, P::BadNumber, 3, 7},
        {"EndsAfterScale", simple("A") + "B\nscale: 2\n", error, P::MissingLine, 7, 1},
        {"CtrlZInScaleLine", "B\nscale: 2\x1aitem: 1\n", error, P::MissingLine, 2, 9},
        {"CountBeyondText", withParts("0 0 1 1 R0\n", 3), error, P::MissingPart, 5, 1},
        {"NegativeCount", withParts("", -1), error, P::NegativePartCount, 3, 7},
        {"LineBeyondLimit", simple("A") + simple(longName), error, P::LineTooLong, 5,
         static_cast<int>(hierarchyLineLimit) + 1},
        {"TextBeyondLimit", endless, error, P::TextTooLong, limitLine, 1},
        {"TwoDigitsAfterItem", withParts(whole).replace(11, 7, "item:11"), warning,
         P::LabelTookDigit, 3, 6},
        {"WideValue", withParts("0 0 70000 2 R0\n"), warning, P::ValueTruncated, 4, 5},
        {"NegativeValue", withParts("-1 0 2 2 R0\n"), warning, P::ValueTruncated, 4, 1},
        {"GridSizeZero", record("A", "scale: 0", "item: 1", whole), warning, P::GridSizeZero, 2, 8},
        {"LaterPartFlat", withParts(whole + "1 1 1 0 R0\n", 2), warning, P::PartWithoutArea, 5, 7},
        {"FirstPartNarrow", withParts("0 0 0 2 R0\n"), warning, P::FirstPartWithoutArea, 4, 5},
        {"PartBeyondGrid", withParts("0 1 2 2 R0\n"), warning, P::PartOutsideGrid, 4, 3},
        {"NoParts", withParts("", 0), warning, P::NoParts, 3, 7},
        {"ThirteenRecords", thirteen, warning, P::ExtraRecords, 49, 1},
        {"BlankName", simple(" \t "), warning, P::BlankName, 1, 1},
        {"NameOnLastLine", simple("A") + "\nPosledný", warning, P::NameAtEnd, 6, 1},
        {"Gaps", withParts("1 1 1 1 R0\n"), note, P::UncoveredCells, 1, 1},
    };
}

INSTANTIATE_TEST_SUITE_P(RuleDiagnostics, Faults, ::testing::ValuesIn(faultCases()),
                         [](const auto& info) { return std::string(info.param.label); });

// Far more warnings than are kept: they are counted, and the error still comes.
TEST(RuleDiagnostics, KeptWarningsAreBounded) {
    std::string parts;
    for (int i = 0; i < 1000; ++i)
        parts += "0 0 3 3 R0\n";
    RuleDiagnostics diagnostics;
    CommandSlots slots;
    readHierarchy(withParts(parts + "0 0 1 1 R\n", 1001), slots, &diagnostics);
    ASSERT_EQ(diagnostics.list.size(), RuleDiagnostics::keptLimit + 1);
    EXPECT_EQ(diagnostics.omitted, 2000 - RuleDiagnostics::keptLimit);
    EXPECT_EQ(diagnostics.list.back().problem, RuleProblem::UnknownOrientation);
}

// The uncovered cells against counting every cell, on seeded random grids small enough to be
// counted by cells and large enough to be swept.
TEST(RuleDiagnostics, CoverageMatchesCountingCells) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        Mosaic pattern;
        pattern.scale = static_cast<std::uint16_t>(1 + rng() % (round % 2 ? 9 : 40));
        const int n = pattern.scale;
        pattern.placements.resize(rng() % 12);
        for (Placement& p : pattern.placements)
            p = {static_cast<std::int32_t>(rng() % (n / 2 + 2)),
                 static_cast<std::int32_t>(rng() % (n / 2 + 2)),
                 static_cast<std::int32_t>(rng() % (n + 2)),
                 static_cast<std::int32_t>(rng() % (n + 2))};
        std::int64_t uncovered = 0, firstX = -1, firstY = -1;
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y) {
                bool covered = false;
                for (const Placement& p : pattern.placements)
                    covered = covered ||
                              (x >= p.x && x < p.x + p.width && y >= p.y && y < p.y + p.height);
                if (!covered && uncovered++ == 0) {
                    firstX = x;
                    firstY = y;
                }
            }
        const GridCoverage coverage = gridCoverage(pattern);
        ASSERT_EQ(coverage.uncovered, uncovered) << round;
        if (uncovered > 0) {
            EXPECT_EQ(coverage.firstX, firstX) << round;
            EXPECT_EQ(coverage.firstY, firstY) << round;
        }
    }
}

TEST(RuleDiagnostics, ExcerptsArePrintable) {
    const std::pair<std::string, std::string> cases[] = {
        {"R27O", "R27O"},
        {"Veľký", "Veľký"},
        {"Ve\xbek\xfd", "Ve\\xBEk\\xFD"},       // Windows-1250
        {"a\tb\x1b[2J\\", "a\\tb\\x1B[2J\\\\"}, // no escape sequence reaches a terminal
        {"\xc2\x85x\xed\xa0\x80", "\\xC2\\x85x\\xED\\xA0\\x80"}, // C1 control, surrogate
        {std::string(30, 'z'), std::string(24, 'z') + "…"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(printableExcerpt(text), shown) << shown;
}

// ---- Rules written back ----

// A name the writer can write: any bytes but a line end or Ctrl+Z (a CR at its end too).
std::string randomName(std::mt19937& rng) {
    static const std::vector<std::string> kinds = {"Veľký štvorec",
                                                   "Ve\xbek\xfd \xe8tvorec",
                                                   "   ",
                                                   " \t",
                                                   "12",
                                                   "-3",
                                                   "$1F",
                                                   "scale: 3",
                                                   "item: 2",
                                                   "0 0 1 1 R0",
                                                   "--",
                                                   "R0",
                                                   "CR\r\r"};
    std::string name = kinds[rng() % kinds.size()];
    if (rng() % 3 == 0) {
        name.clear();
        for (std::size_t i = 0, n = 1 + rng() % 12; i < n; ++i) {
            char c;
            do
                c = static_cast<char>(rng());
            while (c == '\n' || c == '\x1a');
            name += c;
        }
    }
    return name;
}

TEST(RulesWriter, WrittenRulesReadBackTheSame) {
    std::mt19937 rng(1250);
    for (int round = 0; round < 400; ++round) {
        CommandSlots commands;
        const int count = static_cast<int>(rng() % 13);
        for (int i = 0; i < count; ++i) {
            Command& c = commands[static_cast<std::size_t>(i)];
            c.name = randomName(rng);
            c.pattern.scale = static_cast<std::uint16_t>(rng() % 3 ? 1 + rng() % 5 : rng());
            c.pattern.placements.resize(rng() % 7);
            for (Placement& p : c.pattern.placements)
                p = {static_cast<std::int32_t>(rng() % 4 ? 1 + rng() % 3 : rng() % 65536),
                     static_cast<std::int32_t>(rng() % 4 ? 1 + rng() % 3 : rng() % 65536),
                     static_cast<std::int32_t>(rng() % 5), static_cast<std::int32_t>(rng() % 5),
                     static_cast<Orientation>(rng() % 8)};
        }
        const RulesWriteResult written = writeHierarchy(commands, count);
        ASSERT_EQ(written.failure, RulesWriteFailure::None) << round;
        CommandSlots read;
        const HierarchyResult result = readHierarchy(written.bytes, read);
        ASSERT_EQ(result.failure, HierarchyFailure::None) << written.bytes;
        ASSERT_EQ(result.count, count) << written.bytes;
        for (int i = 0; i < count; ++i) {
            const Command& a = commands[static_cast<std::size_t>(i)];
            const Command& b = read[static_cast<std::size_t>(i)];
            EXPECT_EQ(a.name, b.name) << round;
            EXPECT_EQ(a.pattern.scale, b.pattern.scale) << round;
            EXPECT_EQ(a.pattern.placements, b.pattern.placements) << round;
        }
    }
}

// The written form is the one of the format's own example, byte for byte.
TEST(RulesWriter, TheFormOfTheExample) {
    const std::string example = "Stvorec\nscale: 2\nitem: 4\n"
                                "0 0 1 1 R0\n1 0 1 1 R90\n1 1 1 1 R180\n0 1 1 1 R270\n"
                                "\n"
                                "Pruh\nscale: 3\nitem: 2\n"
                                "0 0 3 1 R0\n0 2 3 1 MR0\n";
    CommandSlots commands;
    const HierarchyResult read = readHierarchy(example, commands);
    EXPECT_EQ(writeHierarchy(commands, read.count).bytes, example);
}

TEST(RulesWriter, WhatCannotComeBackIsRefused) {
    const auto part = [](std::int32_t x, int orientation) {
        return Placement{1, 1, x, 0, static_cast<Orientation>(orientation)};
    };
    const std::pair<Command, RulesWriteFailure> cases[] = {
        {{"", {}}, RulesWriteFailure::EmptyName},
        {{"a\nb", {}}, RulesWriteFailure::NameWithLineEnd},
        {{"a\x1a", {}}, RulesWriteFailure::NameWithEndOfText},
        {{std::string(hierarchyLineLimit + 1, 'n'), {}}, RulesWriteFailure::NameTooLong},
        {{"a", {0, 2, 0, {}, {part(-1, 0)}}}, RulesWriteFailure::ValueOutOfRange},
        {{"a", {0, 2, 0, {}, {part(65536, 0)}}}, RulesWriteFailure::ValueOutOfRange},
        {{"a", {0, 2, 0, {}, {part(0, 8)}}}, RulesWriteFailure::UnknownOrientation},
        {{"a", {0, 2, 0, {}, std::vector<Placement>(100000, part(65535, 7))}},
         RulesWriteFailure::TooLong},
    };
    for (const auto& [command, failure] : cases) {
        CommandSlots commands;
        commands[1] = command;
        const RulesWriteResult written = writeHierarchy(commands, 2);
        EXPECT_EQ(written.failure, failure) << static_cast<int>(failure);
        EXPECT_EQ(written.record, 2);
        EXPECT_TRUE(written.bytes.empty());
    }
}

} // namespace
} // namespace ornamo
