// The input events: the queries handlers rely on.

#include "events/IMEvent.h"

#include <gtest/gtest.h>

TEST(IMEvent, LeftButtonOnWheelNeedsTheLeftButtonAlone)
{
    // Left and right held: the wheel's low word is 3, which is not "left".
    EXPECT_FALSE(IsLeftButtonDown(IMMouseEvent(nullptr, EventCode::Wheel, (120u << 16) | 3u, 0, 0)));
    EXPECT_TRUE(IsLeftButtonDown(IMMouseEvent(nullptr, EventCode::Wheel, (120u << 16) | 1u, 0, 0)));
    // A move with the same buttons tests bit 0x1 only.
    EXPECT_TRUE(IsLeftButtonDown(IMMouseEvent(nullptr, EventCode::MouseMove, 3u, 0, 0)));
    EXPECT_FALSE(IsLeftButtonDown(IMMouseEvent(nullptr, EventCode::MouseMove, 2u, 0, 0)));
}

TEST(IMEvent, GetTextOnlyForPrintableCharacters)
{
    struct Case {
        unsigned code;
        std::uint32_t wParam;
        std::wstring text;
    };
    const Case cases[] = {
        {EventCode::KeyDown, 'A', L""},  // a key, not a character
        {EventCode::Char, 'A', L"A"}, {EventCode::Char, 0x041F, L"П"}, {EventCode::Char, 13, L""},  // carriage return
        {EventCode::Char, 8, L""},                                                                  // backspace
        {EventCode::Char, 9, L""}, {EventCode::Char, 10, L""}, {EventCode::Char, 27, L""},
        {EventCode::Char, 0x10041, L"A"},  // only the low 16 bits count
    };
    for (const Case& c : cases)
        EXPECT_EQ(IMKeyboardEvent(nullptr, c.code, c.wParam, 0).GetText(), c.text) << c.code << " " << c.wParam;
}

TEST(IMEvent, IsMessageComparesTheCode)
{
    IMKeyboardEvent up(nullptr, EventCode::KeyUp, 65, 0);
    EXPECT_FALSE(up.IsMessage(EventCode::KeyDown));
    EXPECT_TRUE(up.IsMessage(EventCode::KeyUp));
    EXPECT_TRUE(up.Is(EventCode::KeyUp));
}
