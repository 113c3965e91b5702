// The text view: glyph pictures laid out in one line or wrapped, drawn by
// visible lines; labels rendered with the real fonts.

#include "app/ProgramTexts.h"
#include "support/ToolkitScreen.h"
#include "toolkit/IMPictures.h"

namespace {

using Label = IMStaticPictureBase<IMTextView>;

class TextViewTest : public ToolkitScreen {
protected:
    // Registers a blank picture of w x h under the cache key the view will ask
    // for, so that c lays out with exactly that size.
    void FixGlyphSize(const IMTextView& view, wchar_t c, int w, int h)
    {
        IMGlyph probe;
        probe.ch = c;
        probe.colour = view.textColour;
        probe.size = view.fontSize;
        probe.face = view.fontFace;
        probe.backColour = view.backColour;
        manager->CreateBlankTexture(GlyphCacheKey(probe), w, h, PixelFormat::A8R8G8B8);
    }
    Label* NewLabel(int layer = 0) { return new Label(root.get(), layer); }
    // Ink (alpha-blended dark) pixels in a region of the last frame read back.
    int DarkPixels(Rect r)
    {
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                count += (display.Pixel(x, y) & 0xFF) < 0x80;
        return count;
    }
};

}  // namespace

TEST_F(TextViewTest, EmptyTextHasNoExtent)
{
    Label* label = NewLabel();
    label->SetText(L"");
    EXPECT_EQ(label->GetSourceRect(), Rect {});
    label->wrap = true;
    label->Layout(0);
    EXPECT_EQ(label->GetSourceRect(), Rect {});
}

TEST_F(TextViewTest, SingleLineLayoutAddsWidths)
{
    Label* label = NewLabel();
    FixGlyphSize(*label, L'a', 7, 16);
    FixGlyphSize(*label, L'b', 8, 16);
    FixGlyphSize(*label, L'c', 9, 16);
    label->SetText(L"abc");
    EXPECT_EQ(label->GetGlyphRect(0), (Rect {0, 0, 7, 16}));
    EXPECT_EQ(label->GetGlyphRect(1), (Rect {7, 0, 15, 16}));
    EXPECT_EQ(label->GetGlyphRect(2), (Rect {15, 0, 24, 16}));
    EXPECT_EQ(label->GetSourceRect(), (Rect {0, 0, 24, 16}));
    EXPECT_EQ(label->GetGlyphRect(3), Rect {}) << "outside the text: neutral values";
    EXPECT_EQ(label->GetGlyphChar(-1), 0);

    // A line feed takes one pixel and starts no new line.
    label->InsertText(1, L"\n");
    EXPECT_EQ(label->GetGlyphRect(1), (Rect {7, 0, 8, 1}));
    EXPECT_EQ(label->GetGlyphRect(2), (Rect {8, 0, 16, 16}));
    EXPECT_EQ(label->lineStarts, std::vector<int> {0});
    EXPECT_EQ(label->GetText(), L"a\nbc");

    label->EraseText(1, 100);
    EXPECT_EQ(label->GetText(), L"a");
    label->InsertText(5, L"x");  // out of range: ignored
    label->EraseText(-1, 1);
    EXPECT_EQ(label->GetText(), L"a");
}

TEST_F(TextViewTest, WrappingBreaksAfterTheLastSpaceAndRelaysOutOnlyFromTheEdit)
{
    Label* label = NewLabel();
    for (wchar_t c : std::wstring(L"ab "))
        FixGlyphSize(*label, c, 10, 16);
    label->SetRect({0, 0, 55, 100});
    label->wrap = true;
    label->SetText(L"ab ab ab");  // 80 pixels in a 55-pixel line
    // The second space does not fit: the line breaks after the first space and
    // the second word moves down with it.
    EXPECT_EQ(label->lineStarts, (std::vector<int> {0, 3}));
    EXPECT_EQ(label->GetGlyphRect(3), (Rect {0, 16, 10, 32}));
    EXPECT_EQ(label->GetGlyphRect(6), (Rect {30, 16, 40, 32}));
    EXPECT_EQ(label->GetSourceRect(), (Rect {0, 0, 50, 32}));

    // An edit lays out from the inserted character on; earlier glyphs keep their places.
    const Rect marker {1, 2, 3, 4};
    label->glyphs[1]->rect = marker;
    label->InsertText(4, L"b");
    EXPECT_EQ(label->GetGlyphRect(1), marker);
    EXPECT_EQ(label->GetText(), L"ab abb ab");

    // A line feed ends the line.
    label->SetText(L"a\nb");
    EXPECT_EQ(label->lineStarts, (std::vector<int> {0, 2}));
    EXPECT_EQ(label->GetGlyphRect(2).top, 16);
}

TEST_F(TextViewTest, ColourOnlyRestyleKeepsTheLayout)
{
    Label* label = NewLabel();
    label->SetText(L"Звонкары");
    const Rect extent = label->GetSourceRect();
    const std::wstring beforeKey = label->glyphs[0]->cacheKey;
    const std::uint32_t ink = 0xFF072134;
    label->SetDirty(false);
    label->SetStyle(&ink, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(label->GetSourceRect(), extent);
    EXPECT_NE(label->glyphs[0]->cacheKey, beforeKey);
    EXPECT_EQ(label->GetGlyphColour(0), ink);
    EXPECT_TRUE(label->IsDirty());
    // The old pictures were released: nobody holds them any more.
    EXPECT_EQ(manager->FindTexture(beforeKey), manager->slotCount);
    const bool isBold = true;
    label->SetStyle(nullptr, nullptr, &isBold, nullptr, nullptr, nullptr, nullptr);
    EXPECT_GT(label->GetSourceRect().right, extent.right) << "bold is wider and lays out again";
}

TEST_F(TextViewTest, OnlyLinesMeetingTheClipAreDrawn)
{
    // A tall wrapped text inside a small clipping dialog, scrolled up by 40 pixels.
    IMDialogBase* clip = root->CreateDialog(100, 100, 300, 50, 0);
    auto* label = new Label(clip, 0);
    label->SetRect({0, 0, 300, 1000});
    label->wrap = true;
    label->SetText(L"0\n1\n2\n3\n4\n5\n6\n7\n8\n9");
    label->SetRect({0, -40, 300, -40 + label->GetSourceRect().Height()});
    drive->Turn();
    drive->Turn();
    // Evicted pictures come back only when drawn.
    for (auto& glyph : label->glyphs)
        manager->EvictTexture(glyph->texture);
    Frame();
    std::wstring drawn;
    for (auto& glyph : label->glyphs)
        if (glyph->ch != L'\n' && manager->GetRecord(glyph->texture)->texture)
            drawn.push_back(glyph->ch);
    // Lines are 16 pixels apart; the clip shows y 40 to 90 of the text: lines 2 to 5 (line 2
    // starts above the clip's top but reaches into it).
    EXPECT_EQ(drawn, L"2345");
}

TEST_F(TextViewTest, LabelsRenderLegibly)
{
    root->CreatePicture(0, 0, L"DefaultBackGround", 0)->SetRect({0, 0, 800, 600});
    const struct {
        int size;
        bool bold;
        int y;
    } styles[] = {{14, false, 120}, {18, false, 150}, {18, true, 180}, {25, true, 215}};
    std::vector<Label*> labels;
    for (const auto& s : styles) {
        Label* label = NewLabel(1);
        label->textColour = 0xFF072134;
        label->fontSize = s.size;
        label->bold = s.bold;
        label->SetText(L"Звонкары: Привет, Маша! 0123");
        label->SetRect(label->GetSourceRect());
        label->IMTextView::SetPosition(40, s.y);
        EXPECT_EQ(label->GetSourceRect().Height(), s.size);
        labels.push_back(label);
    }
    // The description, wrapped to 593 pixels as on the start popup.
    Label* description = NewLabel(1);
    description->textColour = 0xFF072134;
    description->fontSize = 18;
    description->SetRect({0, 0, 593, 415});
    description->wrap = true;
    description->Layout(0);
    description->SetText(DescriptionText());
    description->SetRect(description->GetSourceRect());
    description->IMTextView::SetPosition(119, 250);
    EXPECT_LE(description->GetSourceRect().Width(), 593);
    EXPECT_GT(description->lineStarts.size(), 8u);

    // A button in its four states.
    const wchar_t* states[4][2] = {{L"RetryButton", L"normal"}, {L"RetryButton", L"disabled"},
        {L"RetryButtonNuv", L"hovered"}, {L"RetryButtonKlick", L"pressed"}};
    for (int i = 0; i < 4; ++i) {
        auto* b = root->CreateButton(
            420 + (i % 2) * 130, 40 + (i / 2) * 60, L"RetryButton", L"", L"RetryButtonNuv", L"RetryButtonKlick", 1);
        b->SetImage(states[i][0]);
        if (i == 1)
            b->colour = 0x80FFFFFF;
    }
    drive->Turn();
    Frame();
    HeadlessDisplay::Save(*manager, "labels.png");

    // Every label has ink inside its rect and none just below it.
    for (Label* label : labels) {
        const Rect r = label->GetRect();
        EXPECT_GT(DarkPixels(r), 20 * label->fontSize) << label->fontSize;
        EXPECT_EQ(DarkPixels({r.left, r.bottom + 1, r.right, r.bottom + 4}), 0) << label->fontSize;
    }
    const Rect d = description->GetRect();
    EXPECT_GT(DarkPixels({d.left, d.bottom - 20, d.right, d.bottom}), 50) << "the last wrapped line is drawn";
}
