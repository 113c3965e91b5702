// Font sizes asked for as GDI asks: a positive height is the cell, a negative one the em.

#include "platform/FontEngine.h"

#include "data/EmbeddedData.h"

#include <gtest/gtest.h>

namespace {

struct SizeCase {
    int height;  // as requested
    bool made;   // whether a font comes back
    int cell;    // its ascent + descent
    int em;      // cell less internal leading
};

class FontSize : public ::testing::TestWithParam<SizeCase> { };

}  // namespace

TEST_P(FontSize, FollowsTheSignOfTheHeight)
{
    std::unique_ptr<FontEngine> engine = FontEngine::Create();
    ASSERT_NE(engine, nullptr);
    FontRequest request;
    request.face = L"Arial";
    request.height = GetParam().height;
    std::unique_ptr<PlatformFont> font
        = engine->CreateFont(FindEmbedded(FontEngine::FileKey(L"Arial", false, false)), request);
    ASSERT_EQ(font != nullptr, GetParam().made);
    if (!font)
        return;
    const FontTextMetrics& metrics = font->TextMetrics();
    EXPECT_EQ(metrics.height, GetParam().cell);
    EXPECT_EQ(metrics.ascent + metrics.descent, GetParam().cell);
    EXPECT_EQ(metrics.height - metrics.internalLeading, GetParam().em);
}

// Liberation Sans: Windows ascent + descent 2288 of 2048 units per em. A cell of 47 holds an em of 42 and an em of 42
// needs a cell of 47, so both ask for the same font.
INSTANTIATE_TEST_SUITE_P(FontEngineTest, FontSize,
    ::testing::Values(SizeCase {47, true, 47, 42}, SizeCase {-42, true, 47, 42}, SizeCase {16, true, 16, 14},
        SizeCase {-14, true, 16, 14}, SizeCase {-1, true, 1, 1}, SizeCase {0, false, 0, 0},
        SizeCase {-70000, false, 0, 0}),
    [](const auto& info) {
        const int h = info.param.height;
        return (h < 0 ? "Em" + std::to_string(-h) : "Cell" + std::to_string(h));
    });
