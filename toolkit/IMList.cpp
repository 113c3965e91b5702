#include "toolkit/IMList.h"

#include "toolkit/ScreenKit.h"

#include <algorithm>

namespace {

const wchar_t* const BackPicture = L"EditBarBackGround";
const wchar_t* const HighlightPicture = L"SelectionMask";
constexpr std::uint32_t Black = 0xFF000000;

}  // namespace

IMList::IMList(IMDialogBase* parent)
    : IMViewControl(parent, 0)
{
    // A list without a parent has nowhere to put its panel.
    if (!parent)
        return;
    panel = new IMDialogBase(parent, nullptr, 0);
    backPicture = panel->CreatePicture(0, 0, BackPicture, 0);
    itemsPanel = panel->CreateDialog(0, 0, 0, 0, 0);
    const IMFrameLines lines = CreateFrameLines(panel);
    lineLeft = lines.left;
    lineTop = lines.top;
    lineBottom = lines.bottom;
    lineRight = lines.right;
    highlight = itemsPanel->CreatePicture(0, 0, HighlightPicture, 0);
    highlight->Hide();
    // Until the list is sized the panel covers its empty rect, not the whole
    // screen, so it catches no clicks meant for the controls around it.
    PlacePanel(GetRect());
}

void IMList::SetRect(const Rect& r)
{
    IMViewControl::SetRect(r);
    PlacePanel(r);
}

void IMList::PlacePanel(const Rect& r)
{
    if (!panel)
        return;
    const int w = r.Width();
    const int h = r.Height();
    panel->SetRect(r);
    itemsPanel->SetRect({1, 1, w - 1, h - 1});
    backPicture->SetRect({1, 1, w - 1, h - 1});
    PlaceFrameLines({lineLeft, lineTop, lineBottom, lineRight}, w, h);
    Select(selected);  // the highlight spans the new width
}

IMList::Item* IMList::AddItem(const std::wstring& text)
{
    if (!itemsPanel)
        return nullptr;
    int y = 0;
    for (const Item* item : items)
        y += item->GetHeight();
    // Coloured before the text is set, so each glyph is rendered once, in black.
    auto* item = new Item(itemsPanel, 0);
    item->textColour = Black;
    item->SetText(text);
    item->SetRect(item->GetSourceRect());
    item->IMTextView::SetPosition(0, y);
    item->ConnectClicked(Tracked<MouseSlot>(this, [this](const IMMouseEvent& e) { return OnItemClicked(e); }));
    items.push_back(item);
    return item;
}

void IMList::Select(Item* item)
{
    selected = item;
    if (!highlight)
        return;
    if (!item) {
        highlight->Hide();
        return;
    }
    const Rect r = item->GetRect();
    highlight->SetRect({0, r.top, itemsPanel->GetWidth(), r.bottom + 1});
    highlight->Show();
}

long IMList::OnItemClicked(const IMMouseEvent& e)
{
    // Only our own items are selected, whatever else emits into this slot.
    auto it = std::find(items.begin(), items.end(), e.source);
    if (it != items.end())
        Select(*it);
    return 0;
}

long IMList::Destroy(const IMEvent& e)
{
    if (panel)
        panel->Destroy(e);
    return IMViewControl::Destroy(e);
}

long IMList::Hide()
{
    if (panel)
        panel->Hide();
    return IMViewControl::Hide();
}

long IMList::Show()
{
    if (panel)
        panel->Show();
    return IMViewControl::Show();
}
