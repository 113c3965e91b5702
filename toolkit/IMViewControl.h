#pragma once
// Binds a control to a view: the control's rect and redraw flag are the
// view's, and the view's SetRect/GetRect/IsDirty/SetDirty are the control's
// (one override serves both bases), so changing the view marks the control.

#include "toolkit/IMControl.h"
#include "toolkit/IMView.h"

#include <type_traits>

class IMTextureView;

template <class V> class IMViewControl : public IMControl, public V {
public:
    IMViewControl(IMDialogBase* parent, int layer)
        : IMControl(parent, layer)
    {
    }

    void SetRect(const Rect& r) override
    {
        if (r == GetRect() || r == V::rect)
            return;
        V::rect = r;
        SetDirty(true);
    }
    Rect GetRect() const override { return V::rect; }
    bool IsDirty() const override { return V::dirty; }
    void SetDirty(bool on) override
    {
        V::dirty = on;
        IMControl::SetDirty(on);
    }
    bool HitTest(Point p) const override
    {
        if (hidden)
            return false;
        // Pictures answer for their own opaque texels; other views for their rect.
        if constexpr (std::is_base_of_v<IMTextureView, V>)
            return V::HitTest(p);
        else
            return V::rect.Contains(p);
    }
    long DrawView() override
    {
        if (!hidden && parent)
            V::Draw();
        SetDirty(false);
        return 0;
    }
    // Name lookup would otherwise stop at one base.
    using IMControl::Draw;
    using IMControl::HitTest;
};
