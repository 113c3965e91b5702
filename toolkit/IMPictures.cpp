#include "toolkit/IMPictures.h"

IMButtonBase::IMButtonBase(IMDialogBase* parent, int layer)
    : IMViewControl(parent, layer)
{
    // Connected first, so the picture is up to date when a screen's slots run.
    auto update = [this](const auto&) { return UpdateState(); };
    MouseButton.connect(Tracked<MouseSlot>(this, update));
    MouseEntered.connect(Tracked<MouseSlot>(this, update));
    MouseLeft.connect(Tracked<MouseSlot>(this, update));
    Disabled.connect(Tracked<EventSlot>(this, update));
    Enabled.connect(Tracked<EventSlot>(this, update));
    Hidden.connect(Tracked<EventSlot>(this, update));
    Shown.connect(Tracked<EventSlot>(this, update));
}

void IMButtonBase::SetImages(
    const std::wstring& normal, const std::wstring& disabled, const std::wstring& hovered, const std::wstring& pressed)
{
    SetStateImages(normal, disabled, hovered, pressed);
    SetRect(GetSourceRect());
}

long IMButtonBase::UpdateState()
{
    if (hidden)
        return 0;
    const int s = !enabled ? ButtonState::Disabled
        : !hovered         ? ButtonState::Normal
        : pressed          ? ButtonState::Pressed
                           : ButtonState::Hovered;
    if (s != state) {
        SetImage(stateImages[s]);
        state = s;
    }
    return 0;
}

// The slot connected to the signal ran before the flag changed; this call shows
// the new state.
long IMButtonBase::Disable()
{
    IMViewControl::Disable();
    return UpdateState();
}

long IMButtonBase::Enable()
{
    IMViewControl::Enable();
    return UpdateState();
}
