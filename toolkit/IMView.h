#pragma once
// A view is the visible half of a control: its rectangle, the part of its
// content shown, its redraw flag, how it draws and how a point hits it. Inside
// a control, SetRect/GetRect/IsDirty/SetDirty are the control's, so changing a
// view marks its control dirty.

#include "events/Geometry.h"

class IMView {
public:
    virtual ~IMView() = default;

    virtual void SetRect(const Rect& r);
    virtual Rect GetRect() const { return rect; }
    virtual void SetSourceRect(const Rect& r);
    virtual Rect GetSourceRect() const { return sourceRect; }
    virtual void SetPosition(int x, int y) { SetPosition(Point {x, y}); }
    virtual void SetPosition(const Point& p);
    virtual Point GetPosition() const { return {rect.left, rect.top}; }
    virtual void SetSize(int width, int height);
    virtual int GetHeight() const { return rect.bottom - rect.top; }
    virtual int GetWidth() const { return rect.right - rect.left; }
    virtual void Draw() = 0;
    virtual bool HitTest(const Point& p) const { return rect.Contains(p); }
    virtual bool IsDirty() const { return dirty; }
    virtual void SetDirty(bool on) { dirty = on; }

protected:
    Rect rect;        // where the view is drawn, in the parent's coordinates
    Rect sourceRect;  // the part of the content shown (texels for pictures)
    bool dirty = false;
};

// The view of containers: draws nothing.
class IMEmptyView : public IMView {
public:
    void Draw() override { dirty = false; }
};
