// Which journalled rows a workbook holds: numbers gathered into ranges, read back from text, and damaged text that
// must not make a row count as held.

#include "reporting/JournalMarks.h"

#include <gtest/gtest.h>

namespace {

TEST(JournalMarksTest, RowsAddedInAnyOrderBecomeRangesThatReadBack)
{
    JournalMarks marks;
    for (std::uint64_t sequence : {3, 1, 2, 7, 9, 8, 12})
        marks.Add(".zvonkary-a.journal", sequence);
    marks.Add(".zvonkary-b.journal", 5);

    EXPECT_EQ(marks.Format(), ".zvonkary-a.journal 1-3 7-9 12\n.zvonkary-b.journal 5\n");
    EXPECT_EQ(JournalMarks::Parse(marks.Format()), marks);
    EXPECT_TRUE(marks.Holds(".zvonkary-a.journal", 8));
    EXPECT_FALSE(marks.Holds(".zvonkary-a.journal", 10));
    EXPECT_FALSE(marks.Holds(".zvonkary-b.journal", 4));
    EXPECT_FALSE(marks.Holds(".zvonkary-c.journal", 1));
}

struct DamagedCase {
    const char* story;
    const char* text;
};

class DamagedMarks : public ::testing::TestWithParam<DamagedCase> { };

// A line that does not read whole holds nothing: a row merged twice is better than a row lost.
TEST_P(DamagedMarks, HoldNothing)
{
    const JournalMarks marks = JournalMarks::Parse(GetParam().text);
    for (std::uint64_t sequence : {1, 2, 5, 1000})
        EXPECT_FALSE(marks.Holds("j", sequence)) << sequence;
}

INSTANTIATE_TEST_SUITE_P(JournalMarksTest, DamagedMarks,
    ::testing::Values(DamagedCase {"NameAlone", "j\n"}, DamagedCase {"Letters", "j 1-x\n"},
        DamagedCase {"BackwardsRange", "j 5-1\n"}, DamagedCase {"Zero", "j 0\n"}, DamagedCase {"Negative", "j -1\n"},
        DamagedCase {"OneBadRangeSpoilsTheLine", "j 1-2 x\n"}, DamagedCase {"Overflow", "j 1-99999999999999999999\n"}),
    [](const auto& info) { return std::string(info.param.story); });

TEST(JournalMarksTest, AHugeRangeCostsNoMoreThanASmallOne)
{
    // A crafted workbook must not make the program count to the end of a range.
    const JournalMarks marks = JournalMarks::Parse("j 1-18446744073709551615\n");
    EXPECT_TRUE(marks.Holds("j", 1u << 30));
}

TEST(JournalMarksTest, JournalsThatAreGoneAreForgotten)
{
    JournalMarks marks = JournalMarks::Parse("a 1\nb 2\n");
    marks.KeepOnly({"b"});
    EXPECT_EQ(marks.Format(), "b 2\n");
}

}  // namespace
