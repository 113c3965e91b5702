// UTF-8 at the program's edges: every character a pupil can type survives the way into wide text and back, whether
// wide text is UTF-32 (Linux) or UTF-16 (Windows, where a character beyond the first plane takes two units).

#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

struct RoundTrip {
    const char* what;
    const char* utf8;
    std::size_t codePoints;
};

// The case's name in the test's name.
void PrintTo(const RoundTrip& c, std::ostream* out)
{
    *out << c.what;
}

class Utf8RoundTrip : public ::testing::TestWithParam<RoundTrip> { };

TEST_P(Utf8RoundTrip, WideAndBackGivesTheSameBytes)
{
    const RoundTrip& c = GetParam();
    const std::wstring wide = FromUtf8(c.utf8);
    EXPECT_EQ(ToUtf8(wide), c.utf8) << c.what;
    EXPECT_EQ(DecodeUtf8(c.utf8).size(), c.codePoints) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Names, Utf8RoundTrip,
    ::testing::Values(RoundTrip {"Latin", "Anna", 4}, RoundTrip {"Cyrillic with Ё", "Ёлкин Пётр", 10},
        RoundTrip {"Tatar letters", "Әлфия Гөлнур", 12}, RoundTrip {"an emoji beyond the first plane", "Петя 😀", 6},
        RoundTrip {"a musical symbol beyond the first plane", "𝄞 ноты", 6}));

TEST(Utf8, ACharacterBeyondTheFirstPlaneIsOneCharacterWhateverTheWideWidth)
{
    const std::wstring wide = FromUtf8("😀");
    ASSERT_EQ(wide.size(), sizeof(wchar_t) >= 4 ? 1u : 2u);
    if constexpr (sizeof(wchar_t) < 4) {
        EXPECT_EQ(static_cast<unsigned>(wide[0]), 0xD83Du);
        EXPECT_EQ(static_cast<unsigned>(wide[1]), 0xDE00u);
    } else {
        EXPECT_EQ(static_cast<unsigned>(wide[0]), 0x1F600u);
    }
}
