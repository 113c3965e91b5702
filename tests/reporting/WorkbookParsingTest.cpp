// How deeply a workbook's elements nest, read off its bytes before the XML library builds anything: what is not an
// element (comments, instructions, CDATA, quoted attribute values) never counts.

#include "reporting/WorkbookParsing.h"

#include <gtest/gtest.h>

namespace {

struct DepthCase {
    const char* story;
    std::string bytes;
    int depth;
};

class ElementDepthOf : public ::testing::TestWithParam<DepthCase> { };

TEST_P(ElementDepthOf, CountsOnlyElements)
{
    EXPECT_EQ(ElementDepth(GetParam().bytes, MaxWorkbookDepth), GetParam().depth);
}

INSTANTIATE_TEST_SUITE_P(WorkbookParsingTest, ElementDepthOf,
    ::testing::Values(DepthCase {"Empty", "", 0},
        DepthCase {"Declarations", R"(<?xml version="1.0"?><?mso-application progid="Excel.Sheet"?><W/>)", 1},
        DepthCase {"Siblings", "<W><a/><b></b><c>x</c></W>", 2},
        DepthCase {"Nested", "<W><S><T><R><C><D>x</D></C></R></T></S></W>", 6},
        DepthCase {"CommentsAndCdata", "<W><!-- <a><b><c> --><![CDATA[<a><b><c>]]></W>", 1},
        DepthCase {"QuotedGreaterThan", R"(<W a="x>y" b='/>'><T/></W>)", 2},
        DepthCase {"SelfClosingWithSpace", "<W><a /><a/></W>", 2},
        DepthCase {"StopsAboveTheLimit",
            [] {
                std::string deep;
                for (int i = 0; i < 100000; ++i)
                    deep += "<a>";
                return deep;
            }(),
            MaxWorkbookDepth + 1}),
    [](const auto& info) { return std::string(info.param.story); });

}  // namespace
