// The edit bar and its text edit on a real main window: typing, the editing
// keys, the caret's size, place and blinking, focus, sideways scrolling, and
// text that no keyboard layout of ours would type.

#include "toolkit/IMEditBar.h"
#include "support/WindowScreen.h"

#include <cstring>

namespace {

constexpr int BarX = 135;  // where the start popup puts its name field
constexpr int BarY = 460;
constexpr int BarW = 520;
constexpr int BarH = 20;

class EditBarTest : public WindowScreen {
protected:
    void SetUp() override
    {
        WindowScreen::SetUp();
        screen->CreatePicture(0, 0, L"DefaultBackGround", 0)->SetRect({0, 0, 800, 600});
        bar = NewBar(BarX, BarY, BarW, BarH);
        bar->SetFocus(true);
        Turn();
    }
    IMEditBar* NewBar(int x, int y, int w, int h)
    {
        auto* b = new IMEditBar(screen);
        b->SetSize(w, h);
        b->SetPosition(x, y);
        return b;
    }
    IMTextEdit& Edit() { return *bar->edit; }
    Rect Caret() { return bar->edit->caret->GetRect(); }
    // Screen position of a point in the bar's coordinates.
    std::uint32_t BarPixel(int x, int y) { return Pixel(BarX + x, BarY + y); }
    // The caret's picture as drawn: its one texel, from the skin image.
    std::uint32_t CaretColour()
    {
        const TextureHandle caret = manager->FindTexture(L"EditBarKaretka");
        return manager->Texel(caret, 0, 9);  // row 9 of 19
    }

    IMEditBar* bar = nullptr;
};

struct KeyCase {
    const char* story;
    std::u16string start;                                  // typed first
    std::vector<std::pair<unsigned, std::uint32_t>> keys;  // (code, wParam) messages after that
    std::wstring text;                                     // the text at the end
    int caret;                                             // caretPos at the end
};

}  // namespace

TEST_F(EditBarTest, TypingIntoAnEmptyBar)
{
    // Focused and empty: a one-pixel caret as high as a space, at the edit's top-left.
    EXPECT_FALSE(Edit().caret->IsHidden());
    EXPECT_EQ(Edit().GetRect(), (Rect {3, 2, BarW - 1, BarH - 1}));
    EXPECT_EQ(Caret(), (Rect {3, 2, 4, 2 + 16})) << "a space of the 16-pixel default font is 16 high";

    Frame();
    const std::uint32_t caretColour = CaretColour();
    EXPECT_EQ(BarPixel(3, 10), caretColour);
    EXPECT_NE(BarPixel(6, 10), caretColour) << "the background beside the caret";

    // After the first character the caret stands at its right edge.
    Type(u"Ж");
    const Rect glyph = Edit().GetGlyphRect(0);
    EXPECT_GT(glyph.right, 5);
    EXPECT_EQ(Caret(), (Rect {3 + glyph.right, 2, 4 + glyph.right, 2 + glyph.Height()}));
    EXPECT_EQ(Edit().caretPos, 1);
    Frame();
    EXPECT_EQ(BarPixel(3 + glyph.right, 10), caretColour);
    int ink = 0;
    for (int y = 2; y < 18; ++y)
        for (int x = 3; x < 3 + glyph.right; ++x)
            ink += (BarPixel(x, y) & 0xFF) < 0x60;
    EXPECT_GT(ink, 10) << "the letter is drawn in black inside the bar";
}

TEST_F(EditBarTest, EditingKeys)
{
    using P = std::pair<unsigned, std::uint32_t>;
    const P left {EventCode::KeyDown, VirtualKey::Left}, right {EventCode::KeyDown, VirtualKey::Right};
    const P up {EventCode::KeyDown, VirtualKey::Up}, down {EventCode::KeyDown, VirtualKey::Down};
    const P del {EventCode::KeyDown, VirtualKey::Delete}, back {EventCode::Char, 8};
    const P enterDown {EventCode::KeyDown, VirtualKey::Return}, enter {EventCode::Char, 13};
    const P tab {EventCode::Char, 9}, lineFeed {EventCode::Char, 10}, escape {EventCode::Char, 27};
    const KeyCase cases[] {
        {"Backspace at 0 does nothing", u"abc", {left, left, left, back}, L"abc", 0},
        {"Delete at the end does nothing", u"abc", {del}, L"abc", 3},
        {"Backspace erases before the caret", u"abc", {left, back}, L"ac", 1},
        {"Delete erases after the caret", u"abc", {left, left, del}, L"ac", 1},
        {"Enter inserts nothing", u"ab", {enterDown, enter}, L"ab", 2},
        {"Tab, line feed and Esc insert nothing", u"ab", {left, tab, lineFeed, escape}, L"ab", 1},
        {"arrows stop at the ends", u"ab", {right, right, left, left, left, left}, L"ab", 0},
        {"up and down keep the caret", u"ab", {left, up, down}, L"ab", 1},
        {"typing in the middle", u"ad", {left, P {EventCode::Char, u'b'}, P {EventCode::Char, u'c'}}, L"abcd", 3},
        {"Cyrillic like any other", u"Звонкары", {back}, L"Звонкар", 7},
        {"a key up types nothing", u"", {P {EventCode::KeyUp, u'A'}, P {EventCode::KeyDown, u'A'}}, L"", 0},
        // One character where wchar_t holds a code point; the UTF-16 pair itself where it is 16 bits (Windows).
        {"a surrogate pair is one character", u"a\U0001F3B5", {}, L"a\U0001F3B5", sizeof(wchar_t) == 2 ? 3 : 2},
        {"Backspace takes the whole pair", u"a\U0001F3B5", {back}, L"a", 1},
        {"a lone low half is dropped", u"a", {P {EventCode::Char, 0xDC00}}, L"a", 1},
        {"a high half without its pair is dropped", u"a", {P {EventCode::Char, 0xD83C}, P {EventCode::Char, u'b'}},
            L"ab", 2},
        {"control characters are dropped", u"a", {P {EventCode::Char, 1}, P {EventCode::Char, 0x7F}}, L"a", 1},
        {"a combining mark is kept after its letter", u"и\u0306", {}, L"и\u0306", 2},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.story);
        bar->SetText(L"");
        Type(c.start);
        for (const auto& [code, wParam] : c.keys)
            Send(code, wParam);
        EXPECT_EQ(bar->GetText(), c.text);
        EXPECT_EQ(Edit().caretPos, c.caret);
        // The caret always stands at the right edge of the glyph before it.
        const Rect before = Edit().GetGlyphRect(c.caret - 1);
        EXPECT_EQ(Caret().left, Edit().GetRect().left + before.right);
    }
}

TEST_F(EditBarTest, CaretShowsAtOnceOnArrows)
{
    Type(u"ab");
    Wait(500);
    ASSERT_TRUE(Edit().caret->IsHidden()) << "blinked off";
    Send(EventCode::KeyDown, VirtualKey::Left);
    EXPECT_FALSE(Edit().caret->IsHidden());
    Wait(500);
    ASSERT_TRUE(Edit().caret->IsHidden());
    Send(EventCode::KeyDown, VirtualKey::Up);
    EXPECT_FALSE(Edit().caret->IsHidden());
}

TEST_F(EditBarTest, CaretBlinksEvery500msOnlyWhileFocused)
{
    // Shown at focus, then hidden and shown in turn every 500 ms.
    std::vector<bool> shown;
    for (int i = 0; i < 6; ++i) {
        shown.push_back(!Edit().caret->IsHidden());
        Wait(490);
        EXPECT_EQ(!Edit().caret->IsHidden(), shown.back()) << "not yet at " << i;
        Wait(10);
    }
    EXPECT_EQ(shown, (std::vector<bool> {true, false, true, false, true, false}));

    // The frame follows: the caret's column changes with the blink.
    ASSERT_FALSE(Edit().caret->IsHidden());
    Frame();
    EXPECT_EQ(BarPixel(3, 10), CaretColour());
    Wait(500);
    Frame();
    EXPECT_NE(BarPixel(3, 10), CaretColour());

    // Unfocused: hidden, and it stays hidden.
    bar->SetFocus(false);
    EXPECT_FALSE(Edit().HasFocus());
    for (int i = 0; i < 4; ++i) {
        Wait(500);
        EXPECT_TRUE(Edit().caret->IsHidden());
    }
}

TEST_F(EditBarTest, FocusMovesOnAPressOnAnotherFocusableControlButNotOnAButton)
{
    IMEditBar* other = NewBar(135, 500, 200, 20);
    IMButtonBase* button = screen->CreateButton(600, 300, L"ExitButton", L"", L"", L"", 0);
    Turn();
    ASSERT_TRUE(Edit().HasFocus());

    // A button is not focusable: focus and caret stay as they were.
    Click(button->GetRect().left + 10, button->GetRect().top + 10);
    EXPECT_TRUE(bar->HasFocus());
    EXPECT_TRUE(Edit().HasFocus());
    EXPECT_FALSE(Edit().caret->IsHidden());
    Type(u"x");
    EXPECT_EQ(bar->GetText(), L"x");

    // Another edit bar takes it, and the caret goes.
    Click(150, 510);
    EXPECT_FALSE(bar->HasFocus());
    EXPECT_FALSE(Edit().HasFocus());
    EXPECT_TRUE(Edit().caret->IsHidden());
    EXPECT_TRUE(other->edit->HasFocus());
    EXPECT_FALSE(other->edit->caret->IsHidden());
    Type(u"y");
    EXPECT_EQ(bar->GetText(), L"x");
    EXPECT_EQ(other->GetText(), L"y");
    Wait(1000);
    EXPECT_TRUE(Edit().caret->IsHidden()) << "no blinking without the focus";

    // Clicking the first bar brings focus and caret back.
    Click(BarX + 100, BarY + 10);
    EXPECT_TRUE(Edit().HasFocus());
    EXPECT_FALSE(Edit().caret->IsHidden());
    EXPECT_TRUE(other->edit->caret->IsHidden());
}

TEST_F(EditBarTest, TypingPastTheRightEndScrollsTheText)
{
    const std::u16string letters = u"ШирокиеБуквыWWWMMM";
    for (int i = 0; i < 80; ++i) {
        Type(letters.substr(i % letters.size(), 1));
        const Rect c = Caret();
        ASSERT_LE(c.right, BarW - 3) << "character " << i;
        ASSERT_GE(c.left, 0);
        // The edit covers its text, so none of it is cut off inside the bar.
        ASSERT_GE(Edit().GetRect().right, Edit().GetRect().left + Edit().GetSourceRect().right);
    }
    EXPECT_LT(Edit().GetRect().left, 0) << "the text is longer than the bar";
    EXPECT_EQ(Caret().right, BarW - 3) << "3 pixels inside the right edge";

    // The last letter is drawn just left of the caret; the frame is intact.
    Frame();
    int ink = 0;
    for (int y = 2; y < 18; ++y)
        for (int x = Caret().left - 8; x < Caret().left; ++x)
            ink += (BarPixel(x, y) & 0xFF) < 0x60;
    EXPECT_GT(ink, 5);
    EXPECT_EQ(BarPixel(BarW - 1, 10), CaretColour()) << "the right border";
    EXPECT_EQ(BarPixel(0, 10), CaretColour()) << "the left border";

    // Moving back past the left edge scrolls the other way, 2 pixels inside.
    bool scrolledBack = false;
    for (int i = 0; i < 80; ++i) {
        const int before = Edit().GetRect().left;
        Send(EventCode::KeyDown, VirtualKey::Left);
        ASSERT_GE(Caret().left, 2) << "left press " << i;
        if (Edit().GetRect().left != before && Edit().caretPos > 0) {
            EXPECT_EQ(Caret().left, 2);
            scrolledBack = true;
        }
    }
    EXPECT_TRUE(scrolledBack);
    EXPECT_EQ(Edit().caretPos, 0);
    EXPECT_EQ(Edit().GetRect().left, 3) << "back at the start, the text starts where it did";
    EXPECT_EQ(Caret().left, 3);
}

TEST_F(EditBarTest, EmptyingAScrolledBarLooksLikeAFreshOne)
{
    for (int i = 0; i < 100; ++i)
        Type(u"Щ");
    for (int i = 0; i < 100; ++i)
        Send(EventCode::Char, 8);
    EXPECT_EQ(bar->GetText(), L"");
    EXPECT_EQ(Edit().GetRect().left, 3);
    EXPECT_EQ(Caret(), (Rect {3, 2, 4, 18}));
}

TEST_F(EditBarTest, SetTextPutsTheCaretAfterTheLastCharacterInView)
{
    const std::wstring path = L"/var/lib/KVRT/00917 Игра «Звонкары» с очень длинным именем папки и файла.xls";
    bar->SetText(path);
    EXPECT_EQ(bar->GetText(), path);
    EXPECT_EQ(Edit().caretPos, static_cast<int>(path.size()));
    EXPECT_EQ(Caret().right, BarW - 3);
    // Typing goes on from there.
    Type(u"x");
    EXPECT_EQ(bar->GetText(), path + L"x");

    // Text replaced under the caret takes the caret back inside it.
    Edit().SetText(L"ab");
    EXPECT_EQ(Edit().caretPos, 0);
    EXPECT_EQ(Caret().left, Edit().GetRect().left);
    Type(u"c");
    EXPECT_EQ(bar->GetText(), L"cab");
}

TEST_F(EditBarTest, MovingOrResizingTheBarKeepsTheFrameAround)
{
    bar->SetPosition(100, 100);
    bar->SetSize(300, 30);
    EXPECT_EQ(bar->GetRect(), (Rect {100, 100, 400, 130}));
    EXPECT_EQ(bar->cornerBottomRight->GetRect(), (Rect {299, 29, 300, 30}));
    EXPECT_EQ(bar->borderRight->GetRect(), (Rect {299, 1, 300, 29}));
    EXPECT_EQ(bar->borderBottom->GetRect(), (Rect {1, 29, 299, 30}));
    EXPECT_EQ(bar->backPicture->GetRect(), (Rect {1, 1, 299, 29}));
    EXPECT_EQ(Edit().GetRect(), (Rect {3, 2, 299, 29}));
}

TEST_F(EditBarTest, WhateverIsTypedOrGivenIsKeptAndDrawn)
{
    // Text given by a screen comes back unchanged, whatever it holds.
    std::wstring given = L"Ёлка \U0001F600 e\u0301 中文 \u200B\uFFFD\uFFFF";
    given.push_back(static_cast<wchar_t>(0xD800));      // a lone surrogate value
    given.push_back(static_cast<wchar_t>(0x10FFFF));    // the last code point
    given.push_back(static_cast<wchar_t>(0x7FFFFFFF));  // not a code point at all
    for (int i = 0; i < 2000; ++i)
        given.push_back(L"Ann-Мария "[i % 10]);
    bar->SetText(given);
    EXPECT_EQ(bar->GetText(), given);
    Frame();
    EXPECT_EQ(Caret().right, BarW - 3);

    // Typed: emoji, combining marks, characters outside the Cyrillic code page.
    bar->SetText(L"");
    Type(u"😀👍🏽 e\u0301 ü 中 ♫ Ωμέγα");
    EXPECT_EQ(
        bar->GetText(), L"\U0001F600\U0001F44D\U0001F3FD e\u0301 \u00FC \u4E2D \u266B \u03A9\u03BC\u03AD\u03B3\u03B1");
    Frame();
    for (int i = 0; i < 40; ++i)
        Send(EventCode::KeyDown, VirtualKey::Left);
    for (int i = 0; i < 40; ++i)
        Send(EventCode::KeyDown, VirtualKey::Delete);
    EXPECT_EQ(bar->GetText(), L"");
    Frame();
    EXPECT_EQ(BarPixel(3, 10), CaretColour());
}

TEST_F(EditBarTest, ClosingTheScreenTakesTheBlinkTimerAlong)
{
    const std::size_t timers = window->timers.size();
    IMEditBar* another = NewBar(10, 10, 100, 20);
    EXPECT_EQ(window->timers.size(), timers + 1);
    another->Close();
    Turn();
    EXPECT_EQ(window->timers.size(), timers);
    Wait(1000);  // nothing fires into the deleted edit
}
