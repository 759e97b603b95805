#include "hierarchy.h"
#include "messages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace ornamo {
namespace {

constexpr HierarchyFailure none = HierarchyFailure::None;
constexpr HierarchyFailure badFormat = HierarchyFailure::BadFormat;

// The two-record file of the format's description.
const std::string exampleFile = "Stvorec\nscale: 2\nitem: 4\n"
                                "0 0 1 1 R0\n1 0 1 1 R90\n1 1 1 1 R180\n0 1 1 1 R270\n"
                                "\n"
                                "Pruh\nscale: 3\nitem: 2\n"
                                "0 0 3 1 R0\n0 2 3 1 MR0\n";

// One record with the given header lines and part lines.
std::string record(const std::string& name, const std::string& scaleLine,
                   const std::string& itemLine, const std::string& parts) {
    return name + "\n" + scaleLine + "\n" + itemLine + "\n" + parts;
}
// A valid record named A but for the given scale line, item line or part lines.
std::string withScale(const std::string& line) {
    return record("A", line, "item: 1", "0 0 2 2 R0\n");
}
std::string withItem(const std::string& line) {
    return record("A", "scale: 2", line, "0 0 2 2 R0\n");
}
std::string withParts(const std::string& parts, int count = 1) {
    return record("A", "scale: 2", "item: " + std::to_string(count), parts);
}
std::string simple(const std::string& name) {
    return record(name, "scale: 2", "item: 1", "0 0 2 2 R0\n");
}

std::vector<std::string> namesOf(const CommandSlots& slots) {
    std::vector<std::string> names;
    for (const Command& c : slots)
        names.push_back(c.name);
    return names;
}

std::vector<std::string> slotNames(std::vector<std::string> loaded) {
    loaded.resize(12, "--");
    return loaded;
}

struct ReadCase {
    const char* label;
    std::string bytes;
    std::vector<std::string> names; // the loaded names, in slot order
    HierarchyFailure failure;
};

void PrintTo(const ReadCase& c, std::ostream* out) {
    *out << c.label;
}

class ReadTable : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadTable, LoadsNamesAndMessage) {
    const ReadCase& c = GetParam();
    Mosaic stale;
    stale.placements = {Placement{}};
    CommandSlots slots;
    slots.fill({"stale", stale}); // a read replaces every slot
    const HierarchyResult result = readHierarchy(c.bytes, slots);
    EXPECT_EQ(result.count, static_cast<int>(c.names.size()));
    EXPECT_EQ(result.failure, c.failure);
    EXPECT_EQ(namesOf(slots), slotNames(c.names));
    for (std::size_t i = c.names.size(); i < slots.size(); ++i)
        EXPECT_TRUE(slots[i].pattern.placements.empty()) << "slot " << i + 1;
}

std::vector<ReadCase> readCases() {
    std::string thirteen;
    std::vector<std::string> twelve;
    for (int i = 1; i <= 13; ++i) {
        std::string name = "c";
        name += std::to_string(i); // appended: "c" + std::to_string(i) trips a GCC 12 warning
        thirteen += simple(name);
        if (i <= 12)
            twelve.push_back(name);
    }
    const std::string twelveRecords = thirteen.substr(0, thirteen.size() - simple("c13").size());
    // Record B padded with empty lines before its part to end exactly at the file limit.
    const std::string head = simple("A") + "B\nscale: 2\nitem: 1\n";
    const std::string part = "0 0 2 2 R0\n";
    const std::string filled =
        head + std::string(hierarchyFileLimit - head.size() - part.size(), '\n') + part;
    const std::string longest(hierarchyLineLimit, 'n');
    std::string crlf;
    for (char ch : exampleFile)
        crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    return {
        {"EmptyFile", "", {}, none},
        {"OnlyEmptyLines", "\n\n\r\n\n", {}, none},
        {"Example", exampleFile, {"Stvorec", "Pruh"}, none},
        {"CrLfLines", crlf, {"Stvorec", "Pruh"}, none},
        {"CtrlZEndsTheFile",
         exampleFile + "\x1a" + "garbage\nscale: x\n",
         {"Stvorec", "Pruh"},
         none},
        {"CtrlZInsideARecord", simple("A") + "B\nscale: 2\x1aitem: 1\n", {"A"}, badFormat},
        // The first six characters of a header line are skipped unread.
        {"ScaleLabelDirectlyFollowedByNumber", withScale("scale:2"), {"A"}, none},
        {"ItemLabelWithOneDigitLeavesNothing", withItem("item:1"), {}, badFormat},
        {"ItemLabelWithTwoDigitsLosesTheFirst",
         withItem("item:11") + simple("B"),
         {"A", "B"},
         none},
        {"LabelsAreNotLookedAt", record("A", "abcdef2", "zzzzzz1", "0 0 2 2 R0\n"), {"A"}, none},
        {"TrailingBlankInHeader", withScale("scale: 2 "), {}, badFormat},
        {"BlankNameIsAName", simple("   "), {"   "}, none},
        {"NameOnLastLineDropped", simple("A") + "Posledný", {"A"}, none},
        {"FileEndsAfterScaleLine", simple("A") + "B\nscale: 2\n", {"A"}, badFormat},
        {"FileEndsInsidePartLines", simple("A") + withParts("0 0 1 1 R0\n", 2), {"A"}, badFormat},
        // The keyword is the rest of the fourth integer's line, trimmed of spaces only.
        {"LowerCaseKeyword", withParts("0 0 2 2 r0\n"), {}, badFormat},
        {"SpacesAroundKeyword", withParts("0 0 2 2    R0   \n"), {"A"}, none},
        {"TabBeforeKeyword", withParts("0 0 2 2\tR0\n"), {}, badFormat},
        {"PartWithoutKeyword", withParts("0 0 2 2\n") + simple("B"), {}, badFormat},
        // Tokens are split at every byte up to 32, line ends included, and only there.
        {"ControlBytesSplitTokens",
         withParts(std::string{1, '0', 31, '0', 11, '2', 2, '2'} + " R0\n"),
         {"A"},
         none},
        {"HighByteDoesNotSplit",
         withParts(std::string{'0', ' ', '0', ' ', '2', '\xa0', '2'} + " R0\n"),
         {},
         badFormat},
        {"FaultInThirdOfFive",
         simple("A") + simple("B") + record("C", "scale: 2", "item: 1", "0 0 2 2 R45\n") +
             simple("D") + simple("E"),
         {"A", "B"},
         badFormat},
        {"ItemCountZero", withParts("", 0) + simple("B"), {"A", "B"}, none},
        {"NegativeItemCount", withParts("", -1) + simple("B"), {}, badFormat},
        {"EmptyLineBeforeScale", "A\n\nscale: 2\nitem: 1\n0 0 2 2 R0\n", {}, badFormat},
        // Surplus part lines become the next record's name and scale line.
        {"CountTooSmall", withParts("0 0 1 1 R0\n1 1 1 1 R0\n0 1 1 1 R0\n"), {"A"}, badFormat},
        {"SurplusPartOnLastLineIsADroppedName", withParts("0 0 1 1 R0\n1 1 1 1 R0\n"), {"A"}, none},
        {"CountTooLarge", withParts("0 0 1 1 R0\n1 1 1 1 R0\n", 3) + simple("B"), {}, badFormat},
        // A count the text cannot hold fails at its end, with nothing allocated for it.
        {"HugeItemCount", withParts("0 0 1 1 R0\n", 2000000000), {}, badFormat},
        {"ThirteenthRecordIgnored", thirteen, twelve, none},
        // Limits: what lies past them is a fault, but only when the records reach it.
        {"LongestLine", simple("A") + simple(longest), {"A", longest}, none},
        {"LineBeyondLimit", simple("A") + simple(longest + "n"), {"A"}, badFormat},
        {"TextUpToFileLimit", filled, {"A", "B"}, none},
        {"TextBeyondFileLimit", filled + "\n", {"A", "B"}, badFormat},
        // "R0 " within the limit, "x" beyond it
        {"KeywordCutByFileLimit", filled.substr(0, filled.size() - 1) + " x\n", {"A"}, badFormat},
        {"TwelveRecordsThenEndlessLine", twelveRecords + std::string(2 * hierarchyFileLimit, '\0'),
         twelve, none},
    };
}

INSTANTIATE_TEST_SUITE_P(Hierarchy, ReadTable, ::testing::ValuesIn(readCases()),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Hierarchy, AllEightKeywordsInOrder) {
    std::string parts;
    for (const char* k : {"R0", "R90", "R180", "R270", "MR0", "MR90", "MR180", "MR270"})
        parts += std::string("0 0 1 1 ") + k + "\n";
    CommandSlots slots;
    ASSERT_EQ(readHierarchy(withParts(parts, 8), slots).count, 1);
    ASSERT_EQ(slots[0].pattern.placements.size(), 8u);
    for (int v = 0; v < 8; ++v)
        EXPECT_EQ(
            static_cast<int>(slots[0].pattern.placements[static_cast<std::size_t>(v)].orientation),
            v);
}

// ---- Integer syntax, in header lines and part tokens alike ----

struct ValueCase {
    const char* label;
    const char* text;
    std::int32_t stored; // the low 16 bits, taken unsigned; -1: a format error
};

void PrintTo(const ValueCase& c, std::ostream* out) {
    *out << c.label;
}

class Values : public ::testing::TestWithParam<ValueCase> {};

TEST_P(Values, InScaleLineAndPartFields) {
    const ValueCase& c = GetParam();
    const std::string t = c.text;
    CommandSlots header, part;
    const auto inHeader = readHierarchy(withScale("scale: " + t), header);
    const auto inPart = readHierarchy(withParts(t + " " + t + " " + t + " " + t + " R0\n"), part);
    if (c.stored < 0) {
        EXPECT_EQ(inHeader.failure, badFormat);
        EXPECT_EQ(inPart.failure, badFormat);
        return;
    }
    ASSERT_EQ(inHeader.failure, none);
    ASSERT_EQ(inHeader.count, 1);
    ASSERT_EQ(inPart.failure, none);
    ASSERT_EQ(inPart.count, 1);
    EXPECT_EQ(header[0].pattern.scale, c.stored);
    EXPECT_EQ(part[0].pattern.placements.at(0),
              (Placement{c.stored, c.stored, c.stored, c.stored}));
}

INSTANTIATE_TEST_SUITE_P(
    Hierarchy, Values,
    ::testing::Values(
        ValueCase{"Plain", "3", 3}, ValueCase{"PlusSign", "+7", 7}, ValueCase{"MinusZero", "-0", 0},
        ValueCase{"Dollar", "$1F", 31}, ValueCase{"CapitalX", "X1F", 31},
        ValueCase{"ZeroX", "0x1F", 31}, ValueCase{"MinusOneWraps", "-1", 65535},
        ValueCase{"Above16Bits", "70000", 70000 - 65536},
        ValueCase{"Int32Max", "2147483647", 65535}, ValueCase{"HexAllOnes", "$FFFFFFFF", 65535},
        ValueCase{"HexLeadingZeros", "$000000010002", 2}, ValueCase{"SignOnly", "-", -1},
        ValueCase{"DollarOnly", "$", -1}, ValueCase{"ZeroXOnly", "0x", -1},
        ValueCase{"SignedHex", "-$2", -1}, ValueCase{"DecimalAboveRange", "2147483648", -1},

        ValueCase{"HexBeyond32Bits", "$100000000", -1}, ValueCase{"TrailingLetter", "2a", -1},
        ValueCase{"NotAHexDigit", "$1G", -1}, ValueCase{"DecimalPoint", "2.0", -1}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- Diagnostics beside the read ----

bool sameSlots(const CommandSlots& a, const CommandSlots& b) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].pattern.scale != b[i].pattern.scale ||
            a[i].pattern.placements != b[i].pattern.placements)
            return false;
    return true;
}

// A read with diagnostics gives the slots and result of one without, and says "error" exactly
// when the read failed: over every case above, the fuzzer's corpus, and seeded damage to both.
TEST(Hierarchy, DiagnosticsChangeNothing) {
    std::vector<std::string> texts;
    for (const ReadCase& c : readCases())
        texts.push_back(c.bytes);
    for (const auto& entry : std::filesystem::directory_iterator(std::string(ORNAMO_TEST_DATA) +
                                                                 "/../../fuzz/corpus")) {
        std::ifstream file(entry.path(), std::ios::binary);
        texts.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    std::mt19937 rng(23);
    const std::size_t originals = texts.size();
    for (std::size_t i = 0; i < originals; ++i)
        for (int round = 0; round < 20 && !texts[i].empty() && texts[i].size() < 4096; ++round) {
            std::string damaged = texts[i];
            damaged[rng() % damaged.size()] = "0 \n\r-$x:R\x1a"[rng() % 10];
            texts.push_back(damaged);
        }
    for (const std::string& text : texts) {
        CommandSlots plain, told;
        RuleDiagnostics diagnostics;
        const HierarchyResult a = readHierarchy(text, plain);
        const HierarchyResult b = readHierarchy(text, told, &diagnostics);
        ASSERT_EQ(a.count, b.count) << text.substr(0, 200);
        ASSERT_EQ(a.failure, b.failure) << text.substr(0, 200);
        ASSERT_TRUE(sameSlots(plain, told)) << text.substr(0, 200);
        EXPECT_EQ(diagnostics.hasError(), a.failure == badFormat) << text.substr(0, 200);
    }
}

// ---- Files ----

TEST(HierarchyFile, ReadsAFileAndKeepsTheSlotsWhenItCannot) {
    const auto directory = std::filesystem::temp_directory_path() /
                           ("ornamo-hierarchy-" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(directory);
    // A command named like an empty slot still counts as loaded.
    std::ofstream(directory / "test.hrh", std::ios::binary)
        << exampleFile + simple("--") + simple("C");
    CommandSlots slots;
    const auto read = loadHierarchyFile(directory / "test.hrh", slots);
    EXPECT_EQ(read.count, 4);
    EXPECT_EQ(read.failure, none);
    for (const auto& path : {directory / "chýba.hrh", directory}) {
        const auto result = loadHierarchyFile(path, slots);
        EXPECT_EQ(result.failure, HierarchyFailure::OpenFailed);
        EXPECT_EQ(messages::text(result.failure, "chýba.hrh"),
                  "Zlyhalo otvorenie súboru chýba.hrh !!!");
        EXPECT_EQ(result.count, 4);
        EXPECT_EQ(namesOf(slots), slotNames({"Stvorec", "Pruh", "--", "C"}));
    }
    std::filesystem::remove_all(directory);
}

// A pipe still open after twelve records would block a read beyond them.
TEST(HierarchyFile, PipeReadOnlyAsFarAsTwelveRecords) {
    CommandSlots slots;
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::string twelve;
    for (int i = 0; i < 12; ++i)
        twelve += simple("P");
    ASSERT_EQ(write(ends[1], twelve.data(), twelve.size()), static_cast<ssize_t>(twelve.size()));
    const auto piped = loadHierarchyFile("/dev/fd/" + std::to_string(ends[0]), slots);
    EXPECT_EQ(piped.count, 12);
    EXPECT_EQ(piped.failure, none);
    close(ends[0]);
    close(ends[1]);
}

TEST(HierarchyFile, ShippedDefaultFile) {
    CommandSlots slots;
    const auto result =
        loadHierarchyFile(std::string(ORNAMO_TEST_DATA) + "/../../data/default.hrh", slots);
    EXPECT_EQ(result.failure, none);
    EXPECT_GE(result.count, 8);
    EXPECT_EQ(slots[0].name, "Stvorec");
    for (int i = 0; i < result.count; ++i) {
        const Command& c = slots[static_cast<std::size_t>(i)];
        EXPECT_TRUE(isUndoable(c.pattern)) << c.name;
        for (const Placement& part : c.pattern.placements) // every part inside its grid
            EXPECT_TRUE(part.x + part.width <= c.pattern.scale &&
                        part.y + part.height <= c.pattern.scale)
                << c.name;
    }
}

} // namespace
} // namespace ornamo
