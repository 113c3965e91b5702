#include "toolkit/IMView.h"

void IMView::SetRect(const Rect& r)
{
    if (r == rect)
        return;
    rect = r;
    SetDirty(true);
}

void IMView::SetSourceRect(const Rect& r)
{
    if (r == sourceRect)
        return;
    sourceRect = r;
    SetDirty(true);
}

// Both go through the virtual SetRect so that a control hears of the move.
void IMView::SetPosition(const Point& p)
{
    const Rect r = GetRect();
    SetRect({p.x, p.y, p.x + r.Width(), p.y + r.Height()});
}

void IMView::SetSize(int width, int height)
{
    const Rect r = GetRect();
    SetRect({r.left, r.top, r.left + width, r.top + height});
}
