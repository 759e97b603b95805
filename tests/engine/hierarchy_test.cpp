#include "hierarchy.h"
#include "messages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace ornamo {
namespace {

const std::string badFormat(messages::badFormat);

// The two-record file of the format's description.
const std::string exampleFile = "Stvorec\n"
                                "scale: 2\n"
                                "item: 4\n"
                                "0 0 1 1 R0\n"
                                "1 0 1 1 R90\n"
                                "1 1 1 1 R180\n"
                                "0 1 1 1 R270\n"
                                "\n"
                                "Pruh\n"
                                "scale: 3\n"
                                "item: 2\n"
                                "0 0 3 1 R0\n"
                                "0 2 3 1 MR0\n";

// One record with the given header lines and part lines.
std::string record(const std::string& name, const std::string& scaleLine,
                   const std::string& itemLine, const std::string& parts) {
    return name + "\n" + scaleLine + "\n" + itemLine + "\n" + parts;
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

std::vector<std::string> expectedNames(std::vector<std::string> loaded) {
    loaded.resize(12, "--");
    return loaded;
}

struct ReadCase {
    const char* label;
    std::string bytes;
    std::vector<std::string> names; // the loaded names, in slot order
    std::string message;
};

void PrintTo(const ReadCase& c, std::ostream* out) {
    *out << c.label;
}

class ReadTable : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadTable, LoadsNamesAndMessage) {
    const ReadCase& c = GetParam();
    CommandSlots slots;
    for (Command& s : slots)
        s.name = "stale"; // every slot is replaced by a read
    const HierarchyResult result = readHierarchy(c.bytes, slots);
    EXPECT_EQ(result.count, static_cast<int>(c.names.size()));
    EXPECT_EQ(result.message, c.message);
    EXPECT_EQ(namesOf(slots), expectedNames(c.names));
    for (std::size_t i = c.names.size(); i < slots.size(); ++i)
        EXPECT_TRUE(slots[i].pattern.placements.empty()) << "slot " << i + 1;
}

std::vector<ReadCase> readCases() {
    std::string thirteen;
    std::vector<std::string> twelve;
    for (int i = 1; i <= 13; ++i) {
        thirteen += simple("c" + std::to_string(i));
        if (i <= 12)
            twelve.push_back("c" + std::to_string(i));
    }
    std::string crlf;
    for (char ch : exampleFile) {
        if (ch == '\n')
            crlf += '\r';
        crlf += ch;
    }
    return {
        {"EmptyFile", "", {}, ""},
        {"OnlyEmptyLines", "\n\n\r\n\n", {}, ""},
        {"Example", exampleFile, {"Stvorec", "Pruh"}, ""},
        {"CrLfLines", crlf, {"Stvorec", "Pruh"}, ""},
        {"CtrlZEndsTheFile", exampleFile + "\x1a" + "garbage\nscale: x\n", {"Stvorec", "Pruh"}, ""},
        {"CtrlZInsideARecordTruncatesIt",
         simple("A") + "B\nscale: 2\x1aitem: 1\n",
         {"A"},
         badFormat},
        {"ScaleLabelDirectlyFollowedByNumber",
         record("A", "scale:2", "item: 1", "0 0 2 2 R0\n"),
         {"A"},
         ""},
        {"ItemLabelWithOneDigitLeavesNothing",
         record("A", "scale: 2", "item:1", "0 0 2 2 R0\n"),
         {},
         badFormat},
        {"ItemLabelWithTwoDigitsLosesTheFirst",
         record("A", "scale: 2", "item:11", "0 0 2 2 R0\n") + simple("B"),
         {"A", "B"},
         ""},
        {"LabelsAreNotLookedAt", record("A", "abcdef2", "zzzzzz1", "0 0 2 2 R0\n"), {"A"}, ""},
        {"LeadingSpacesInHeader",
         record("A", "scale:    2", "item:    1", "0 0 2 2 R0\n"),
         {"A"},
         ""},
        {"TabInHeaderIsAFault", record("A", "scale:\t2", "item: 1", "0 0 2 2 R0\n"), {}, badFormat},
        {"TrailingBlankAfterHeaderNumber",
         record("A", "scale: 2 ", "item: 1", "0 0 2 2 R0\n"),
         {},
         badFormat},
        {"TrailingBlankAfterItemNumber",
         record("A", "scale: 2", "item: 1 ", "0 0 2 2 R0\n"),
         {},
         badFormat},
        {"SignWithoutDigits", record("A", "scale: -", "item: 1", "0 0 2 2 R0\n"), {}, badFormat},
        {"HexPrefixWithoutDigits",
         record("A", "scale: $", "item: 1", "0 0 2 2 R0\n"),
         {},
         badFormat},
        {"SignedHexIsAFault", record("A", "scale: -$2", "item: 1", "0 0 2 2 R0\n"), {}, badFormat},
        {"DecimalAboveRange",
         record("A", "scale: 2147483648", "item: 1", "0 0 2 2 R0\n"),
         {},
         badFormat},
        {"DecimalBelowRange",
         record("A", "scale: -2147483649", "item: 1", "0 0 2 2 R0\n"),
         {},
         badFormat},
        {"HexBeyond32Bits",
         record("A", "scale: $100000000", "item: 1", "0 0 2 2 R0\n"),
         {},
         badFormat},
        {"BlankNameIsAName", simple("   "), {"   "}, ""},
        {"NameKeepsItsBlanks", simple("  Meno \t"), {"  Meno \t"}, ""},
        {"NameOnLastLineDropped", simple("A") + "Posledný", {"A"}, ""},
        {"NameAndNewlineAtEndDropped", simple("A") + "\n\nPosledný\n", {"A"}, ""},
        {"FileEndsAfterScaleLine", simple("A") + "B\nscale: 2\n", {"A"}, badFormat},
        {"FileEndsInsidePartLines",
         simple("A") + record("B", "scale: 2", "item: 2", "0 0 1 1 R0\n"),
         {"A"},
         badFormat},
        {"LowerCaseKeyword", record("A", "scale: 2", "item: 1", "0 0 2 2 r0\n"), {}, badFormat},
        {"KeywordFollowedByTab",
         record("A", "scale: 2", "item: 1", "0 0 2 2 R0\t\n"),
         {},
         badFormat},
        {"KeywordFollowedByComment",
         record("A", "scale: 2", "item: 1", "0 0 2 2 R0 otočené\n"),
         {},
         badFormat},
        {"BlanksAroundKeyword",
         record("A", "scale: 2", "item: 1", "0 0 2 2    R0   \n"),
         {"A"},
         ""},
        {"TabBeforeKeywordIsKept",
         record("A", "scale: 2", "item: 1", "0 0 2 2\tR0\n"),
         {},
         badFormat},
        {"IntegersSpreadOverLines",
         record("A", "scale: 2", "item: 1", "\n0\t0\n\n 2\n2 R0\n"),
         {"A"},
         ""},
        {"PartWithoutKeyword",
         record("A", "scale: 2", "item: 1", "0 0 2 2\n") + simple("B"),
         {},
         badFormat},
        {"PartTokenNotANumber", record("A", "scale: 2", "item: 1", "0 0 2 2a R0\n"), {}, badFormat},
        {"FaultInThirdOfFive",
         simple("A") + simple("B") + record("C", "scale: 2", "item: 1", "0 0 2 2 R45\n") +
             simple("D") + simple("E"),
         {"A", "B"},
         badFormat},
        {"ItemCountZero", record("A", "scale: 2", "item: 0", "") + simple("B"), {"A", "B"}, ""},
        {"NegativeItemCount", record("A", "scale: 2", "item: -1", "") + simple("B"), {}, badFormat},
        {"EmptyLineBetweenNameAndScale", "A\n\nscale: 2\nitem: 1\n0 0 2 2 R0\n", {}, badFormat},
        {"EmptyLineBetweenScaleAndItem", "A\nscale: 2\n\nitem: 1\n0 0 2 2 R0\n", {}, badFormat},
        {"ItemCountTooSmall",
         record("A", "scale: 2", "item: 1", "0 0 1 1 R0\n1 1 1 1 R0\n0 1 1 1 R0\n"),
         {"A"},
         badFormat},
        {"SurplusPartLineOnLastLineIsADroppedName",
         record("A", "scale: 2", "item: 1", "0 0 1 1 R0\n1 1 1 1 R0\n"),
         {"A"},
         ""},
        {"ItemCountTooLarge",
         record("A", "scale: 2", "item: 3", "0 0 1 1 R0\n1 1 1 1 R0\n") + simple("B"),
         {},
         badFormat},
        {"HugeItemCount",
         record("A", "scale: 2", "item: 2000000000", "0 0 1 1 R0\n"),
         {},
         badFormat},
        {"ThirteenthRecordIgnored", thirteen, twelve, ""},
    };
}

INSTANTIATE_TEST_SUITE_P(Hierarchy, ReadTable, ::testing::ValuesIn(readCases()),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Hierarchy, ExampleFileContents) {
    CommandSlots slots;
    ASSERT_EQ(readHierarchy(exampleFile, slots).count, 2);
    EXPECT_EQ(slots[0].pattern.scale, 2);
    const std::vector<Placement> first = {
        {1, 1, 0, 0, Orientation::R0},
        {1, 1, 1, 0, Orientation::R90},
        {1, 1, 1, 1, Orientation::R180},
        {1, 1, 0, 1, Orientation::R270},
    };
    EXPECT_EQ(slots[0].pattern.placements, first);
    EXPECT_EQ(slots[1].pattern.scale, 3);
    const std::vector<Placement> second = {{3, 1, 0, 0, Orientation::R0},
                                           {3, 1, 0, 2, Orientation::MR0}};
    EXPECT_EQ(slots[1].pattern.placements, second);
}

TEST(Hierarchy, AllEightKeywords) {
    const char* keywords[] = {"R0", "R90", "R180", "R270", "MR0", "MR90", "MR180", "MR270"};
    std::string parts;
    for (const char* k : keywords)
        parts += std::string("0 0 1 1 ") + k + "\n";
    CommandSlots slots;
    ASSERT_EQ(readHierarchy(record("A", "scale: 1", "item: 8", parts), slots).count, 1);
    ASSERT_EQ(slots[0].pattern.placements.size(), 8u);
    for (int v = 0; v < 8; ++v)
        EXPECT_EQ(
            static_cast<int>(slots[0].pattern.placements[static_cast<std::size_t>(v)].orientation),
            v);
}

struct ValueCase {
    const char* label;
    const char* text;
    std::int32_t stored; // what a 16-bit field holds
};

void PrintTo(const ValueCase& c, std::ostream* out) {
    *out << c.label;
}

class HeaderValues : public ::testing::TestWithParam<ValueCase> {};

TEST_P(HeaderValues, GridSizeKeepsLow16Bits) {
    const ValueCase& c = GetParam();
    CommandSlots slots;
    const auto result = readHierarchy(
        record("A", std::string("scale: ") + c.text, "item: 1", "0 0 1 1 R0\n"), slots);
    ASSERT_EQ(result.count, 1) << result.message;
    EXPECT_EQ(slots[0].pattern.scale, c.stored);
}

TEST_P(HeaderValues, PartFieldsKeepLow16BitsUnsigned) {
    const ValueCase& c = GetParam();
    CommandSlots slots;
    const std::string t = c.text;
    const auto result = readHierarchy(
        record("A", "scale: 2", "item: 1", t + " " + t + " " + t + " " + t + " R0\n"), slots);
    ASSERT_EQ(result.count, 1) << result.message;
    const Placement& p = slots[0].pattern.placements.at(0);
    EXPECT_EQ(p.x, c.stored);
    EXPECT_EQ(p.y, c.stored);
    EXPECT_EQ(p.width, c.stored);
    EXPECT_EQ(p.height, c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Hierarchy, HeaderValues,
    ::testing::Values(
        ValueCase{"Plain", "3", 3}, ValueCase{"PlusSign", "+7", 7}, ValueCase{"MinusZero", "-0", 0},
        ValueCase{"LeadingZeros", "0007", 7}, ValueCase{"Dollar", "$1F", 31},
        ValueCase{"SmallX", "x1f", 31}, ValueCase{"CapitalX", "X1F", 31},
        ValueCase{"ZeroX", "0x1F", 31}, ValueCase{"ZeroCapitalX", "0XaB", 171},
        ValueCase{"MinusOneWraps", "-1", 65535}, ValueCase{"Above16Bits", "70000", 70000 - 65536},
        ValueCase{"Int32Max", "2147483647", 65535}, ValueCase{"Int32Min", "-2147483648", 0},
        ValueCase{"HexAllOnes", "$FFFFFFFF", 65535},
        ValueCase{"HexLeadingZeros", "$000000010002", 2}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Hierarchy, OddCommandsAreLoadedAsRead) {
    const std::string text = record("Bez dielov", "scale: 2", "item: 0", "") +
                             record("Nula", "scale: 0", "item: 1", "0 0 1 1 R0\n") +
                             record("Plochý", "scale: 2", "item: 1", "0 0 0 1 R0\n") +
                             record("Mimo", "scale: 2", "item: 1", "5 7 1 1 R0\n");
    CommandSlots slots;
    ASSERT_EQ(readHierarchy(text, slots).count, 4);
    EXPECT_TRUE(slots[0].pattern.placements.empty());
    EXPECT_EQ(slots[1].pattern.scale, 0);
    EXPECT_EQ(slots[2].pattern.placements.at(0).width, 0);
    EXPECT_EQ(slots[3].pattern.placements.at(0), (Placement{1, 1, 5, 7, Orientation::R0}));
}

TEST(Hierarchy, HugeItemCountFailsAtOnce) {
    // The count must not be trusted for an allocation: the read ends at the text's end.
    CommandSlots slots;
    const auto start = std::chrono::steady_clock::now();
    const auto result =
        readHierarchy(record("A", "scale: 2", "item: 2147483647", "0 0 1 1 R0\n"), slots);
    EXPECT_EQ(result.message, badFormat);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(Hierarchy, ShorterFileEmptiesTheOtherSlots) {
    CommandSlots slots;
    ASSERT_EQ(readHierarchy(exampleFile, slots).count, 2);
    ASSERT_EQ(readHierarchy(simple("Jediný"), slots).count, 1);
    EXPECT_EQ(namesOf(slots), expectedNames({"Jediný"}));
    EXPECT_TRUE(slots[1].pattern.placements.empty());
}

class HierarchyFile : public ::testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() /
                    ("ornamo-hierarchy-" +
                     std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }
    std::filesystem::path directory;
};

TEST_F(HierarchyFile, ReadsAFile) {
    const auto path = directory / "test.hrh";
    std::ofstream(path, std::ios::binary) << exampleFile;
    CommandSlots slots;
    const auto result = loadHierarchyFile(path, "test.hrh", slots);
    EXPECT_EQ(result.count, 2);
    EXPECT_EQ(result.message, "");
    EXPECT_EQ(slots[1].name, "Pruh");
}

TEST_F(HierarchyFile, OpenFailureKeepsTheSlots) {
    CommandSlots slots;
    ASSERT_EQ(readHierarchy(exampleFile, slots).count, 2);
    for (const auto& path : {directory / "chýba.hrh", directory}) {
        const auto result = loadHierarchyFile(path, "chýba.hrh", slots);
        EXPECT_EQ(result.message, "Zlyhalo otvorenie súboru chýba.hrh !!!");
        EXPECT_EQ(result.count, 2);
        EXPECT_EQ(namesOf(slots), expectedNames({"Stvorec", "Pruh"}));
    }
}

} // namespace
} // namespace ornamo

namespace ornamo {
namespace {

TEST(Hierarchy, ShippedDefaultFile) {
    CommandSlots slots;
    const auto result = loadHierarchyFile(std::string(ORNAMO_TEST_DATA) + "/../../data/default.hrh",
                                          "default.hrh", slots);
    EXPECT_EQ(result.message, "");
    EXPECT_GE(result.count, 8);
    EXPECT_EQ(slots[0].name, "Stvorec");
    EXPECT_EQ(slots[1].name, "Pruh");
    for (int i = 0; i < result.count; ++i) {
        const Mosaic& p = slots[static_cast<std::size_t>(i)].pattern;
        EXPECT_TRUE(isUndoable(p)) << slots[static_cast<std::size_t>(i)].name;
        for (const Placement& part : p.placements) // every part inside its grid
            EXPECT_TRUE(part.x + part.width <= p.scale && part.y + part.height <= p.scale)
                << slots[static_cast<std::size_t>(i)].name;
    }
}

} // namespace
} // namespace ornamo
