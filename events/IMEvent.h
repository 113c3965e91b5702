#pragma once
// The input events: everything that happens to a control reaches it as one of
// these small value objects, built on the stack for one dispatch. An event owns
// nothing; `source` is the control that emitted or forwarded it. The codes
// are in events/Codes.h.

#include "events/Codes.h"

#include <cstdint>
#include <string>

class IMControl;

class IMEvent {
public:
    IMEvent(IMControl* source, unsigned code)
        : source(source)
        , code(code)
    {
    }
    virtual bool Is(unsigned c) const { return code == c; }

    IMControl* source;  // emitting or forwarding control, not owned
    unsigned code;
};

class IMWindowsEvent : public IMEvent {
public:
    IMWindowsEvent(IMControl* source, unsigned code, std::uint32_t wParam, std::uint32_t lParam)
        : IMEvent(source, code)
        , wParam(wParam)
        , lParam(lParam)
    {
    }

    std::uint32_t wParam;  // virtual key, character, or button-state word
    std::uint32_t lParam;  // key data of keyboard messages; 0 for mouse events
};

class IMKeyboardEvent : public IMWindowsEvent {
public:
    IMKeyboardEvent(IMControl* source, unsigned code, std::uint32_t wParam, std::uint32_t lParam)
        : IMWindowsEvent(source, code, wParam, lParam)
    {
    }
    virtual bool IsMessage(unsigned c) const { return code == c; }

    // The typed text of a character event: empty for other codes and for the
    // control characters backspace, tab, line feed, carriage return and escape.
    std::wstring GetText() const
    {
        if (code != EventCode::Char)
            return {};
        switch (wParam) {
        case VirtualKey::Back:
        case VirtualKey::Tab:
        case VirtualKey::LineFeed:
        case VirtualKey::Return:
        case VirtualKey::Escape:
            return {};
        default:
            return std::wstring(1, static_cast<wchar_t>(wParam & 0xFFFF));
        }
    }
};

class IMMouseEvent : public IMWindowsEvent {
public:
    IMMouseEvent(IMControl* source, unsigned code, std::uint32_t wParam, int x, int y)
        : IMWindowsEvent(source, code, wParam, 0)
        , x(x)
        , y(y)
    {
    }
    virtual bool IsMessage(unsigned c) const { return code == c; }

    int x;  // pointer position in the receiving container's coordinates
    int y;
};

// Whether the left button is held: for the wheel, the low word must be exactly
// the left button alone; for everything else bit 0x1.
inline bool IsLeftButtonDown(const IMMouseEvent& e)
{
    if (e.code == EventCode::Wheel)
        return (e.wParam & 0xFFFF) == MouseKey::Left;
    return (e.wParam & MouseKey::Left) != 0;
}
