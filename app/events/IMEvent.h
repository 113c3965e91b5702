#pragma once
// The input events: everything that happens to a control reaches it as one of
// these small value objects, built on the stack for one dispatch. An event owns
// nothing; `source` is the control that emitted or forwarded it.
//
// Codes are window message numbers or the toolkit's own numbers:
//   0 state change, timer tick, video notification    15 paint pass
//   16 update pass and closing                         17/18 focus gained/lost
//   256/257 key down/up   258 character   260/261 system key down/up
//   512 move   513/514/515 left down/up/double   516/517 right   519/520 middle
//   522 wheel   523 entered   524/525/526 left/right/middle click   675 left

#include <cstdint>
#include <string>

class IMControl;

namespace EventCode {
inline constexpr unsigned StateChanged = 0;
inline constexpr unsigned Paint = 15;
inline constexpr unsigned Update = 16;
inline constexpr unsigned Close = 16;
inline constexpr unsigned FocusGained = 17;
inline constexpr unsigned FocusLost = 18;
inline constexpr unsigned KeyDown = 256;
inline constexpr unsigned KeyUp = 257;
inline constexpr unsigned Char = 258;
inline constexpr unsigned SysKeyDown = 260;
inline constexpr unsigned SysKeyUp = 261;
inline constexpr unsigned MouseMove = 512;
inline constexpr unsigned LeftDown = 513;
inline constexpr unsigned LeftUp = 514;
inline constexpr unsigned LeftDoubleClick = 515;
inline constexpr unsigned RightDown = 516;
inline constexpr unsigned RightUp = 517;
inline constexpr unsigned MiddleDown = 519;
inline constexpr unsigned MiddleUp = 520;
inline constexpr unsigned Wheel = 522;
inline constexpr unsigned MouseEnter = 523;
inline constexpr unsigned LeftClick = 524;
inline constexpr unsigned RightClick = 525;
inline constexpr unsigned MiddleClick = 526;
inline constexpr unsigned MouseLeave = 675;
}  // namespace EventCode

// Button-state bits of a mouse event's wParam.
namespace MouseKey {
inline constexpr std::uint32_t Left = 0x1;
inline constexpr std::uint32_t Right = 0x2;
inline constexpr std::uint32_t Shift = 0x4;
inline constexpr std::uint32_t Control = 0x8;
inline constexpr std::uint32_t Middle = 0x10;
}  // namespace MouseKey

// Virtual-key codes the handlers test.
namespace VirtualKey {
inline constexpr unsigned Back = 8;
inline constexpr unsigned Tab = 9;
inline constexpr unsigned Return = 13;
inline constexpr unsigned Shift = 16;
inline constexpr unsigned Control = 17;
inline constexpr unsigned Menu = 18;
inline constexpr unsigned Escape = 27;
inline constexpr unsigned Space = 32;
inline constexpr unsigned Left = 37;
inline constexpr unsigned Up = 38;
inline constexpr unsigned Right = 39;
inline constexpr unsigned Down = 40;
inline constexpr unsigned Delete = 46;
inline constexpr unsigned KeyI = 73;
inline constexpr unsigned F1 = 112;
inline constexpr unsigned F12 = 123;
}  // namespace VirtualKey

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
        case 8:
        case 9:
        case 10:
        case 13:
        case 27:
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
