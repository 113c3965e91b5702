#include "toolkit/IMEditBar.h"

namespace {

const wchar_t* const FramePicture = L"EditBarKaretka";
const wchar_t* const BackPicture = L"EditBarBackGround";
constexpr std::uint32_t Black = 0xFF000000;
constexpr int RightMargin = 3;  // the caret stays this far inside the right edge
constexpr int LeftMargin = 2;   // and this far inside the left edge
constexpr int EditLeft = 3;     // where the edit stands in an unscrolled bar

void Place(IMStaticPictureBase<IMTextureView>* picture, int x, int y, int width, int height)
{
    picture->SetRect({x, y, x + width, y + height});
}

}  // namespace

IMEditBar::IMEditBar(IMDialogBase* parent)
    : IMDialogBase(parent, nullptr, 0)
{
    backPicture = CreatePicture(0, 0, BackPicture, 0);
    // The edit (with its caret) goes under the frame, so that text scrolled
    // past an edge never paints over the frame lines.
    edit = new IMTextEdit(this);
    cornerTopLeft = CreatePicture(0, 0, FramePicture, 0);
    cornerTopRight = CreatePicture(0, 0, FramePicture, 0);
    cornerBottomLeft = CreatePicture(0, 0, FramePicture, 0);
    cornerBottomRight = CreatePicture(0, 0, FramePicture, 0);
    borderLeft = CreatePicture(0, 0, FramePicture, 0);
    borderTop = CreatePicture(0, 0, FramePicture, 0);
    borderRight = CreatePicture(0, 0, FramePicture, 0);
    borderBottom = CreatePicture(0, 0, FramePicture, 0);

    // The edit holds the keyboard focus exactly while the bar does.
    IMTextEdit* e = edit;
    FocusGained.connect(Tracked<EventSlot>(e, [e](const IMEvent&) { return e->SetFocus(true); }));
    FocusLost.connect(Tracked<EventSlot>(e, [e](const IMEvent&) { return e->SetFocus(false); }));
    edit->textColour = Black;
    // After the edit's own OnKeyInput, so the caret has already moved.
    edit->KeyMessage.connect(Tracked<KeySlot>(this, [this](const IMKeyboardEvent&) { return ScrollToCaret(); }));

    // The base constructor set the rect before the children existed.
    const Rect r = GetRect();
    PlaceChildren(r.Width(), r.Height());
}

void IMEditBar::SetRect(const Rect& r)
{
    IMDialogBase::SetRect(r);
    PlaceChildren(r.Width(), r.Height());
}

void IMEditBar::PlaceChildren(int w, int h)
{
    if (!borderBottom)
        return;  // called by the base constructor, before the children exist
    Place(cornerTopLeft, 0, 0, 1, 1);
    Place(cornerTopRight, w - 1, 0, 1, 1);
    Place(cornerBottomLeft, 0, h - 1, 1, 1);
    Place(cornerBottomRight, w - 1, h - 1, 1, 1);
    Place(borderLeft, 0, 1, 1, h - 2);
    Place(borderTop, 1, 0, w - 2, 1);
    Place(borderRight, w - 1, 1, 1, h - 2);
    Place(borderBottom, 1, h - 1, w - 2, 1);
    backPicture->SetRect({1, 1, w - 1, h - 1});
    edit->SetRect({EditLeft, 2, w - 1, h - 1});
    // A new size resets the sideways scroll; bring the caret back into view.
    ScrollToCaret();
}

std::wstring IMEditBar::GetText() const
{
    return edit->GetText();
}

void IMEditBar::SetText(const std::wstring& text)
{
    edit->SetText(text);
    edit->SetCaret(edit->GlyphCount());
    ScrollToCaret();
}

long IMEditBar::ScrollToCaret()
{
    if (!edit->CaretAlive())
        return 0;
    // Both taken before anything moves.
    const Rect c = edit->caret->GetRect();
    const int w = GetWidth();
    if (c.right > w - RightMargin) {
        const Point at = edit->GetPosition();
        edit->IMTextView::SetPosition(at.x + (w - RightMargin) - c.right, at.y);
    }
    if (c.left < 0) {
        // Once the start of the text comes into view it goes back where it
        // stands in an unscrolled bar, so that an emptied bar looks like a fresh one.
        const Point at = edit->GetPosition();
        const int x = at.x - c.left + LeftMargin;
        edit->IMTextView::SetPosition(x >= LeftMargin ? EditLeft : x, at.y);
    }
    FitEditToText();
    const Rect extent = edit->GetSourceRect();
    SetSourceRect({0, 0, extent.right + 6, extent.bottom + 2});
    return 0;
}

void IMEditBar::FitEditToText()
{
    const Rect r = edit->GetRect();
    const int needed = r.left + edit->GetSourceRect().right + 1;
    if (needed > r.right)
        edit->SetRect({r.left, r.top, needed, r.bottom});
}
