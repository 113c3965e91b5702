#pragma once
// The abstract control: state flags, the nineteen signals every control
// emits, and the virtual operations through which the tree dispatches input,
// passes and state changes. A control is constructed with its parent first,
// which owns it from then on; callers never delete controls.

#include "events/Geometry.h"
#include "events/IMEvent.h"
#include "events/IMSignal.h"

class IMDialogBase;

class IMControl : public IMLifetime {
public:
    // Registers the control with parent (as pending) when parent is not null.
    IMControl(IMDialogBase* parent, int layer);
    virtual ~IMControl();
    IMControl(const IMControl&) = delete;
    IMControl& operator=(const IMControl&) = delete;

    virtual long Reserved() { return 0; }
    virtual long SetFocus(bool on);
    virtual long Disable();
    virtual long Enable();
    virtual long Hide();
    virtual long Show();
    virtual long Close();
    virtual void SetDirty(bool on);
    virtual bool IsDirty() const = 0;
    virtual bool IsFocusable() const { return focusable; }
    virtual void SetFocusable(bool on) { focusable = on; }
    virtual bool IsEnabled() const { return enabled; }
    virtual bool IsHidden() const { return hidden; }
    virtual bool IsHovered() const { return hovered; }
    virtual bool IsPressed() const { return pressed; }
    virtual bool IsLocked() const { return false; }
    virtual bool HasFocus() const { return focused; }
    virtual bool HitTest(Point p) const = 0;
    virtual long OnMouseMove(const IMMouseEvent& e);
    virtual long OnMouseButton(const IMMouseEvent& e);
    virtual long OnClick(const IMMouseEvent& e);
    virtual long OnMouseEnter(const IMMouseEvent& e);
    virtual long OnMouseLeave(const IMMouseEvent& e);
    virtual long OnKey(const IMKeyboardEvent& e);
    virtual long Draw(const IMEvent& e);
    virtual long Update(const IMEvent& e);
    virtual long Destroy(const IMEvent& e);
    virtual long OnFocusGained(const IMEvent& e);
    virtual long OnFocusLost(const IMEvent& e);
    virtual void SetRect(const Rect& r) = 0;
    virtual Rect GetRect() const = 0;
    virtual long Detach();
    virtual long DrawView() = 0;
    virtual long OnIdle() { return 0; }

    IMDialogBase* GetParent() const { return parent; }
    // Whether the control has left the tree (closed or destroyed) and waits
    // for its parent to delete it.
    bool IsClosed() const { return closed; }

    IMConnection ConnectClosing(const EventSlot& s) { return Closing.connect(s); }
    // Runs before the slots connected earlier, such as the one building the next screen.
    IMConnection ConnectClosingFirst(const EventSlot& s) { return Closing.connect(s, boost::signals2::at_front); }
    IMConnection ConnectDisabled(const EventSlot& s) { return Disabled.connect(s); }
    IMConnection ConnectEnabled(const EventSlot& s) { return Enabled.connect(s); }
    IMConnection ConnectHidden(const EventSlot& s) { return Hidden.connect(s); }
    IMConnection ConnectShown(const EventSlot& s) { return Shown.connect(s); }
    IMConnection ConnectInvalidated(const EventSlot& s) { return Invalidated.connect(s); }
    IMConnection ConnectFocusGained(const EventSlot& s) { return FocusGained.connect(s); }
    IMConnection ConnectFocusLost(const EventSlot& s) { return FocusLost.connect(s); }
    IMConnection ConnectMouseMoved(const MouseSlot& s) { return MouseMoved.connect(s); }
    IMConnection ConnectMouseButton(const MouseSlot& s) { return MouseButton.connect(s); }
    IMConnection ConnectClicked(const MouseSlot& s) { return Clicked.connect(s); }
    IMConnection ConnectMouseEntered(const MouseSlot& s) { return MouseEntered.connect(s); }
    IMConnection ConnectMouseLeft(const MouseSlot& s) { return MouseLeft.connect(s); }
    IMConnection ConnectKeyMessage(const KeySlot& s) { return KeyMessage.connect(s); }
    IMConnection ConnectKeyDown(const KeySlot& s) { return KeyDown.connect(s); }

protected:
    IMDialogBase* parent;  // owner, null for the root

public:
    EventSignal Painted;
    EventSignal Closing;
    EventSignal Updated;
    EventSignal Disabled;
    EventSignal Enabled;
    EventSignal Hidden;
    EventSignal Shown;
    EventSignal Invalidated;
    EventSignal FocusGained;
    EventSignal FocusLost;
    MouseSignal MouseMoved;
    MouseSignal MouseButton;
    MouseSignal Clicked;
    MouseSignal MouseEntered;
    MouseSignal MouseLeft;
    MouseSignal DoubleClicked;
    KeySignal KeyMessage;
    KeySignal KeyDown;
    KeySignal KeyUp;

protected:
    bool hovered = false;    // the mouse is over it (enter/leave)
    bool pressed = false;    // a button was held at the last button message it received
    bool enabled = true;     // Disable/Enable
    bool hidden = false;     // Hide/Show
    bool closed = false;     // Detach ran: the control has left the tree
    bool focused = false;    // SetFocus, and a parent losing focus
    bool focusable = false;  // dialogs and text edits set it
};
