#pragma once
// The container control: owns its children in layers, merges new children and
// deletes detached ones at its update pass, routes the mouse to the child under
// it and the keyboard to the focused child, and paints its children clipped to
// itself. Every screen, the board and the main window are dialogs.
//
// Children join `pendingChildren` when constructed and become live at the next
// update pass; detached children wait in `removalQueue` and are deleted at one
// of the two flushes of the update pass (or by the destructor), because a slot
// may still be running on them when they detach.

#include "toolkit/IMViewControl.h"

#include <map>
#include <string>
#include <vector>

template <class V> class IMStaticPictureBase;
class IMButtonBase;
class IMTextureView;
class IMTextView;

class IMDialogBase : public IMViewControl<IMEmptyView> {
public:
    // rect null: the whole back buffer, {0, 0, width, height}.
    IMDialogBase(IMDialogBase* parent, const Rect* rect, int layer);
    ~IMDialogBase() override;

    // Tree operations.
    IMControl* AddChild(IMControl* child, int layer);
    void RemoveChild(IMControl* child);
    void FlushRemovals();
    // Whether this dialog or one below it has children waiting to join or to be
    // deleted, which the next update pass settles.
    bool HasPendingChanges() const;
    int GetLayerOf(IMControl* child) const;
    void SetChildLayer(IMControl* child, int layer);
    void UpdateHover(const IMMouseEvent& e);
    // Whether hoveredChild, and the hovered child of every hovered dialog
    // below, is the topmost child under p (this dialog's coordinates).
    bool HoverIsCurrent(Point p) const;
    long TrackChildFocus(const IMEvent& e);

    // Creation operations: each makes a child of this dialog, owned by it.
    IMDialogBase* CreateDialog(int x, int y, int width, int height, int layer);
    // The picture name at its natural size with its top-left corner at (x, y).
    IMStaticPictureBase<IMTextureView>* CreatePicture(
        int x, int y, const std::wstring& name, int layer, std::uint32_t colour = 0xFFFFFFFF);
    // A label in the default font, sized to its text.
    IMStaticPictureBase<IMTextView>* CreateText(int x, int y, const std::wstring& text, int layer);
    // A button sized to its normal picture; empty names fall back to the normal one.
    IMButtonBase* CreateButton(int x, int y, const std::wstring& normal, const std::wstring& disabled,
        const std::wstring& hovered, const std::wstring& pressed, int layer);

    // Overrides of the control's operations.
    void SetDirty(bool on) override;
    bool IsDirty() const override;
    bool HitTest(Point p) const override;
    long OnMouseMove(const IMMouseEvent& e) override;
    long OnMouseButton(const IMMouseEvent& e) override;
    long OnMouseLeave(const IMMouseEvent& e) override;
    long OnKey(const IMKeyboardEvent& e) override;
    long Draw(const IMEvent& e) override;
    long Update(const IMEvent& e) override;
    long Destroy(const IMEvent& e) override;
    long OnFocusLost(const IMEvent& e) override;

    // Visits every live child, layers ascending, vector order.
    template <class F> void ForEachChild(F&& f) const
    {
        for (const auto& [layer, children] : layers)
            for (IMControl* child : children)
                f(child);
    }

    using Layers = std::map<int, std::vector<IMControl*>>;

    Layers layers;                         // live children by layer; drawn lowest first
    Layers pendingChildren;                // added since the last update pass
    std::vector<IMControl*> removalQueue;  // detached, deleted last-first at the next flush
    IMControl* hoveredChild = nullptr;     // live child under the mouse, not owned
    IMControl* focusedChild = nullptr;     // child holding the keyboard focus, not owned
    Point lastMousePos;                    // last mouse position in this dialog's coordinates

private:
    bool IsLive(IMControl* child) const;
    IMControl* TopmostAt(Point p) const;
    IMMouseEvent LocalEvent(const IMMouseEvent& e) const;
};
