#include "support/ToolkitHarness.h"

#include <algorithm>

void SignalLog::Watch(IMControl* control, const std::string& who)
{
    auto event = [this, who](const char* signal) {
        return Tracked<EventSlot>(&lifetime, [this, who, signal](const IMEvent& e) {
            lines.push_back(who + ":" + signal + ":" + std::to_string(e.code));
            return 0L;
        });
    };
    auto mouse = [this, who](const char* signal) {
        return Tracked<MouseSlot>(&lifetime, [this, who, signal](const IMMouseEvent& e) {
            lines.push_back(who + ":" + signal + ":" + std::to_string(e.code));
            return 0L;
        });
    };
    auto key = [this, who](const char* signal) {
        return Tracked<KeySlot>(&lifetime, [this, who, signal](const IMKeyboardEvent& e) {
            lines.push_back(who + ":" + signal + ":" + std::to_string(e.code) + ":" + std::to_string(e.wParam));
            return 0L;
        });
    };
    control->Painted.connect(event("Painted"));
    control->Closing.connect(event("Closing"));
    control->FocusGained.connect(event("FocusGained"));
    control->FocusLost.connect(event("FocusLost"));
    control->MouseMoved.connect(mouse("MouseMoved"));
    control->MouseButton.connect(mouse("MouseButton"));
    control->Clicked.connect(mouse("Clicked"));
    control->MouseEntered.connect(mouse("MouseEntered"));
    control->MouseLeft.connect(mouse("MouseLeft"));
    control->DoubleClicked.connect(mouse("DoubleClicked"));
    control->KeyDown.connect(key("KeyDown"));
    control->KeyUp.connect(key("KeyUp"));
    control->KeyMessage.connect(key("KeyMessage"));
}

bool SignalLog::Has(const std::string& line) const
{
    return IndexOf(line) >= 0;
}

int SignalLog::IndexOf(const std::string& line) const
{
    auto it = std::find(lines.begin(), lines.end(), line);
    return it == lines.end() ? -1 : static_cast<int>(it - lines.begin());
}

void RootDriver::Move(int x, int y, std::uint32_t buttons)
{
    root.OnMouseMove(IMMouseEvent(nullptr, EventCode::MouseMove, buttons, x, y));
}

void RootDriver::Press(int x, int y, unsigned code, std::uint32_t buttons)
{
    root.OnMouseButton(IMMouseEvent(nullptr, code, buttons, x, y));
}

void RootDriver::Release(int x, int y, unsigned code, std::uint32_t buttons)
{
    root.OnMouseButton(IMMouseEvent(nullptr, code, buttons, x, y));
}

void RootDriver::Click(int x, int y)
{
    Move(x, y);
    Press(x, y);
    Release(x, y);
}

void RootDriver::Key(unsigned code, std::uint32_t wParam)
{
    root.OnKey(IMKeyboardEvent(nullptr, code, wParam, 0));
}

void RootDriver::Turn()
{
    root.Update(IMEvent(nullptr, EventCode::Update));
}

void RootDriver::Paint()
{
    if (root.IsDirty()) {
        root.Draw(IMEvent(nullptr, EventCode::Paint));
        root.SetDirty(false);
    }
}
