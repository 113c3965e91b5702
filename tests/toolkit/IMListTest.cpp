// The list: items stacked by their heights in a framed panel, the highlight of
// the item clicked, and clipping of items below the panel.

#include "toolkit/IMList.h"
#include "support/WindowScreen.h"

namespace {

constexpr Rect ListRect {30, 58, 330, 158};  // the printer dialog's list, on the screen

class ListTest : public WindowScreen {
protected:
    void SetUp() override
    {
        WindowScreen::SetUp();
        screen->CreatePicture(0, 0, L"DefaultBackGround", 0)->SetRect({0, 0, 800, 600});
        list = new IMList(screen);
        list->SetRect(ListRect);
        Turn();
    }
    // Screen position of a point in the items panel.
    int X(int x) const { return ListRect.left + 1 + x; }
    int Y(int y) const { return ListRect.top + 1 + y; }

    IMList* list = nullptr;
};

}  // namespace

TEST_F(ListTest, PanelAndFrameCoverTheList)
{
    EXPECT_EQ(list->panel->GetRect(), ListRect);
    EXPECT_EQ(list->itemsPanel->GetRect(), (Rect {1, 1, 299, 99}));
    EXPECT_EQ(list->backPicture->GetRect(), (Rect {1, 1, 299, 99}));
    EXPECT_EQ(list->lineLeft->GetRect(), (Rect {0, 0, 1, 100}));
    EXPECT_EQ(list->lineTop->GetRect(), (Rect {0, 0, 300, 1}));
    EXPECT_EQ(list->lineBottom->GetRect(), (Rect {0, 99, 300, 100}));
    EXPECT_EQ(list->lineRight->GetRect(), (Rect {299, 0, 300, 100}));
    EXPECT_TRUE(list->highlight->IsHidden());
    // Moving the list through its view takes the panel along.
    list->SetPosition(40, 60);
    EXPECT_EQ(list->panel->GetRect(), (Rect {40, 60, 340, 160}));
    list->SetPosition(ListRect.left, ListRect.top);
}

TEST_F(ListTest, ItemsStackByTheirHeights)
{
    const std::wstring names[] {L"Canon_LBP2900", L"", L"HP LaserJet «Кабинет 12»", L"Ёжик\nс переводом строки"};
    int y = 0;
    for (const std::wstring& name : names) {
        IMList::Item* item = list->AddItem(name);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->GetText(), name);
        EXPECT_EQ(item->GetRect().top, y) << "below the items before it";
        EXPECT_EQ(item->GetRect().left, 0);
        EXPECT_EQ(item->GetRect(), (Rect {0, y, item->GetSourceRect().right, y + item->GetSourceRect().bottom}));
        EXPECT_EQ(item->GetGlyphColour(0), name.empty() ? 0u : 0xFF000000u) << "black text";
        y += item->GetHeight();
    }
    EXPECT_EQ(list->items.size(), 4u);
    EXPECT_EQ(list->items[1]->GetHeight(), 0) << "an empty name takes no room";
}

TEST_F(ListTest, AClickHighlightsTheItemAcrossThePanel)
{
    list->AddItem(L"Первый принтер");
    IMList::Item* second = list->AddItem(L"Второй");
    list->AddItem(L"Третий");
    Turn();
    Frame();
    const std::uint32_t plainBelow = Pixel(X(250), Y(second->GetRect().bottom + 1));
    const std::uint32_t plainInside = Pixel(X(250), Y(second->GetRect().top + 2));

    Click(X(10), Y(second->GetRect().top + 5));
    EXPECT_EQ(list->selected, second);
    const Rect r = second->GetRect();
    EXPECT_EQ(list->highlight->GetRect(), (Rect {0, r.top, 298, r.bottom + 1}));
    EXPECT_FALSE(list->highlight->IsHidden());

    // Drawn from the panel's left edge to its right, one row below the item too.
    Frame();
    EXPECT_NE(Pixel(X(250), Y(r.top + 2)), plainInside) << "right of the text, still highlighted";
    EXPECT_NE(Pixel(X(297), Y(r.bottom)), plainBelow) << "the extra row under the item";
    EXPECT_NE(Pixel(X(0), Y(r.top + 2)), Pixel(X(0), Y(r.bottom + 3))) << "the panel's leftmost column";
    EXPECT_EQ(Pixel(X(250), Y(r.bottom + 1)), plainBelow) << "no more than one row below";
    EXPECT_EQ(Pixel(ListRect.right - 1, Y(r.top + 2)), Pixel(ListRect.right - 1, Y(r.bottom + 3)))
        << "the frame line stays on top";

    // Clicking another item moves the highlight; Select(null) hides it.
    Click(X(10), Y(2));
    EXPECT_EQ(list->selected, list->items[0]);
    EXPECT_EQ(list->highlight->GetRect().top, 0);
    list->Select(nullptr);
    EXPECT_TRUE(list->highlight->IsHidden());
    EXPECT_EQ(list->selected, nullptr);
}

TEST_F(ListTest, ItemsBelowThePanelAreClipped)
{
    Frame();
    std::vector<std::uint32_t> under;
    for (int x = ListRect.left; x < ListRect.right; ++x)
        under.push_back(Pixel(x, ListRect.bottom + 2));

    for (int i = 0; i < 12; ++i)
        list->AddItem(L"Принтер номер " + std::to_wstring(i + 1) + L" — МФУ Ёжик");
    EXPECT_GT(list->items.back()->GetRect().bottom, 98) << "more than the panel holds";
    Turn();
    Frame();
    // The rows under the list look as they did before the items came.
    for (int x = ListRect.left; x < ListRect.right; ++x)
        EXPECT_EQ(Pixel(x, ListRect.bottom + 2), under[x - ListRect.left]) << x;
    // An item cut by the bottom edge is drawn down to it; a click below the list selects nothing.
    Click(X(10), ListRect.bottom + 5);
    EXPECT_EQ(list->selected, nullptr);
}

TEST_F(ListTest, ClosingTheListTakesItsPanelAlong)
{
    list->AddItem(L"Принтер");
    Turn();
    const std::size_t before = screen->layers[0].size();
    list->Close();
    Turn();
    EXPECT_EQ(screen->layers[0].size(), before - 2) << "the list and its panel";
}
