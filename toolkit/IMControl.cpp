#include "toolkit/IMControl.h"

#include "toolkit/IMDialogBase.h"

IMControl::IMControl(IMDialogBase* parent, int layer)
    : parent(parent)
{
    // Last, so the child is registered (pending) before derived constructors run.
    if (parent)
        parent->AddChild(this, layer);
}

IMControl::~IMControl() = default;

long IMControl::SetFocus(bool on)
{
    if (!focusable || on == focused)
        return 0;
    if (on)
        OnFocusGained(IMEvent(this, EventCode::FocusGained));
    else
        OnFocusLost(IMEvent(this, EventCode::FocusLost));
    return 0;
}

long IMControl::Disable()
{
    Emit(Disabled, IMEvent(this, EventCode::StateChanged));
    enabled = false;
    SetDirty(true);
    return 0;
}

long IMControl::Enable()
{
    Emit(Enabled, IMEvent(this, EventCode::StateChanged));
    enabled = true;
    SetDirty(true);
    return 0;
}

long IMControl::Hide()
{
    Emit(Hidden, IMEvent(this, EventCode::StateChanged));
    hidden = true;
    SetDirty(true);
    return 0;
}

long IMControl::Show()
{
    Emit(Shown, IMEvent(this, EventCode::StateChanged));
    hidden = false;
    SetDirty(true);
    return 0;
}

long IMControl::Close()
{
    const IMEvent e(this, EventCode::Close);
    Emit(Closing, e);
    return Destroy(e);
}

void IMControl::SetDirty(bool on)
{
    if (!on)
        return;
    Emit(Invalidated, IMEvent(this, EventCode::StateChanged));
    // Something changed under a resting mouse: let the parent re-check the hover.
    if (parent)
        parent->UpdateHover(
            IMMouseEvent(this, EventCode::MouseMove, 0, parent->lastMousePos.x, parent->lastMousePos.y));
}

long IMControl::OnMouseMove(const IMMouseEvent& e)
{
    IMMouseEvent copy(this, e.code, e.wParam, e.x, e.y);
    Emit(MouseMoved, copy);
    return 0;
}

namespace {

unsigned ClickCodeFor(unsigned code)
{
    switch (code) {
    case EventCode::LeftUp:
        return EventCode::LeftClick;
    case EventCode::RightUp:
        return EventCode::RightClick;
    case EventCode::MiddleUp:
        return EventCode::MiddleClick;
    default:
        return 0;
    }
}

bool AnyButtonHeld(const IMMouseEvent& e)
{
    if (e.code == EventCode::Wheel) {
        const std::uint32_t low = e.wParam & 0xFFFF;
        return low == MouseKey::Left || low == MouseKey::Right || low == MouseKey::Middle;
    }
    return (e.wParam & (MouseKey::Left | MouseKey::Right | MouseKey::Middle)) != 0;
}

}  // namespace

long IMControl::OnMouseButton(const IMMouseEvent& e)
{
    if (pressed) {
        if (const unsigned click = ClickCodeFor(e.code)) {
            if (enabled)
                OnClick(IMMouseEvent(this, click, e.wParam, e.x, e.y));
        }
    }
    pressed = AnyButtonHeld(e);
    const IMMouseEvent copy(this, e.code, e.wParam, e.x, e.y);
    if (enabled)
        Emit(MouseButton, copy);
    if (e.code == EventCode::LeftDoubleClick && enabled)
        Emit(DoubleClicked, copy);
    return 0;
}

long IMControl::OnClick(const IMMouseEvent& e)
{
    Emit(Clicked, IMMouseEvent(this, e.code, e.wParam, e.x, e.y));
    return 0;
}

long IMControl::OnMouseEnter(const IMMouseEvent& e)
{
    hovered = true;
    Emit(MouseEntered, IMMouseEvent(this, e.code, e.wParam, e.x, e.y));
    return 0;
}

long IMControl::OnMouseLeave(const IMMouseEvent& e)
{
    hovered = false;
    Emit(MouseLeft, IMMouseEvent(this, e.code, e.wParam, e.x, e.y));
    return 0;
}

long IMControl::OnKey(const IMKeyboardEvent& e)
{
    const IMKeyboardEvent copy(this, e.code, e.wParam, e.lParam);
    if (e.code == EventCode::KeyDown || e.code == EventCode::SysKeyDown)
        Emit(KeyDown, copy);
    if (e.code == EventCode::KeyUp || e.code == EventCode::SysKeyUp)
        Emit(KeyUp, copy);
    Emit(KeyMessage, copy);
    return 0;
}

long IMControl::Draw(const IMEvent&)
{
    DrawView();
    SetDirty(false);
    Emit(Painted, IMEvent(this, EventCode::Paint));
    return 0;
}

long IMControl::Update(const IMEvent&)
{
    OnIdle();
    Emit(Updated, IMEvent(this, EventCode::Update));
    return 0;
}

long IMControl::Destroy(const IMEvent&)
{
    return Detach();
}

long IMControl::OnFocusGained(const IMEvent&)
{
    if (!focusable)
        return 0;
    focused = true;
    Emit(FocusGained, IMEvent(this, EventCode::FocusGained));
    return 0;
}

long IMControl::OnFocusLost(const IMEvent&)
{
    if (!focusable)
        return 0;
    focused = false;
    Emit(FocusLost, IMEvent(this, EventCode::FocusLost));
    return 0;
}

long IMControl::Detach()
{
    closed = true;
    // The focus signals stay: the parent still tracks this child's focus until
    // it deletes it.
    Painted.disconnect_all_slots();
    Closing.disconnect_all_slots();
    Updated.disconnect_all_slots();
    Disabled.disconnect_all_slots();
    Enabled.disconnect_all_slots();
    Hidden.disconnect_all_slots();
    Shown.disconnect_all_slots();
    Invalidated.disconnect_all_slots();
    MouseMoved.disconnect_all_slots();
    MouseButton.disconnect_all_slots();
    Clicked.disconnect_all_slots();
    MouseEntered.disconnect_all_slots();
    MouseLeft.disconnect_all_slots();
    DoubleClicked.disconnect_all_slots();
    KeyMessage.disconnect_all_slots();
    KeyDown.disconnect_all_slots();
    KeyUp.disconnect_all_slots();
    if (parent)
        parent->RemoveChild(this);
    return 0;
}
