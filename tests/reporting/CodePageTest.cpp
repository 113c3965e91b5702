// The Windows-1251 code page: narrowing with "?" for what it lacks, and the way back to UTF-16 and UTF-8.

#include "reporting/CodePage.h"

#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <xercesc/util/PlatformUtils.hpp>

namespace {

class CodePageTest : public ::testing::Test {
protected:
    // The transcoder lives inside the library's initialisation, as it does in a workbook.
    static void SetUpTestSuite() { xercesc::XMLPlatformUtils::Initialize(); }
    static void TearDownTestSuite() { xercesc::XMLPlatformUtils::Terminate(); }

    // Declared in the test, so that it goes before the library terminates.
    CodePage codePage;
};

struct NarrowCase {
    const char* story;
    std::wstring text;
    std::string bytes;
};

void PrintTo(const NarrowCase& value, std::ostream* out)
{
    *out << value.story;
}

class Narrowing : public CodePageTest, public ::testing::WithParamInterface<NarrowCase> { };

TEST_P(Narrowing, GivesTheWindows1251Bytes)
{
    EXPECT_EQ(codePage.Narrow(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(CodePageTest, Narrowing,
    ::testing::Values(NarrowCase {"Ascii", L"Dialog1 14:07", "Dialog1 14:07"},
        NarrowCase {"CyrillicAlphabetEnds", L"АЯаяЁё", "\xC0\xDF\xE0\xFF\xA8\xB8"},
        NarrowCase {"NumeroSignAndEuro", L"№€", "\xB9\x88"}, NarrowCase {"QuoteBecomesApostrophe", L"\"a\"", "'a'"},
        NarrowCase {"GreekLetter", L"αβ", "??"}, NarrowCase {"BeyondTheBasicPlane", L"\U0001F600", "?"},
        NarrowCase {"LoneSurrogate", std::wstring(1, wchar_t(0xD800)), "?"},
        NarrowCase {"ControlsXmlCannotCarry", std::wstring(L"\x01\x1F") + L'\0', "???"},
        NarrowCase {"TabAndLineBreaksStay", L"\t\n\r", "\t\n\r"}),
    [](const auto& info) { return std::string(info.param.story); });

TEST_F(CodePageTest, EveryRussianLetterSurvivesTheRoundTrip)
{
    std::wstring letters = L"Ёё№";
    for (wchar_t c = L'А'; c <= L'я'; ++c)
        letters += c;

    const std::string bytes = codePage.Narrow(letters);

    EXPECT_EQ(bytes.find('?'), std::string::npos);
    EXPECT_EQ(codePage.ToWide(bytes), letters);
    EXPECT_EQ(codePage.ToUtf16(bytes), std::u16string(letters.begin(), letters.end()));
}

TEST_F(CodePageTest, NamesThatDifferOnlyWhereNarrowingWouldJoinThemStayApart)
{
    // Pairs of pupils' names that the code page alone would make one worksheet name.
    const std::pair<std::wstring, std::wstring> pairs[] = {
        {L"Петя \"Гром\"", L"Петя 'Гром'"},
        {L"Петя\x01", L"Петя\x02"},
        {L"Петя\x01", L"Петя?"},
        {L"Петя\x01", L"Петя"},
    };
    for (const auto& [first, second] : pairs)
        EXPECT_NE(codePage.NameToUtf16(first), codePage.NameToUtf16(second)) << ToUtf8(first);

    // What a name becomes: still text an XML file carries.
    EXPECT_EQ(codePage.NameToUtf16(L"Петя \"Гром\""), u"Петя \"Гром\"");
    EXPECT_EQ(codePage.NameToUtf16(L"Петя\x01"), u"Петя\u2401");
    EXPECT_EQ(codePage.NameToUtf16(L"Петя 'Гром'"), u"Петя 'Гром'");
}

}  // namespace
