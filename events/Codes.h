#pragma once
// Every number the program's messages and events carry, in one place: the
// event codes the toolkit dispatches (window message numbers and the toolkit's
// own), the window messages the platform queue produces besides input, the
// button-state bits of mouse events and the virtual-key codes.

#include <cstdint>

// Codes of IMEvent. Input codes are the window message numbers of the same input.
//   0 state change, timer tick, video notification    15 paint pass
//   16 update pass and closing                         17/18 focus gained/lost
//   256/257 key down/up   258 character   260/261 system key down/up
//   512 move   513/514/515 left down/up/double   516/517 right   519/520 middle
//   522 wheel   523 entered   524/525/526 left/right/middle click   675 left
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

// Window messages of the platform queue that are not input; the window
// procedure handles them itself.
namespace WindowMessage {
inline constexpr unsigned Size = 0x0005;        // wParam: a SizeKind
inline constexpr unsigned Paint = 0x000F;       // the window's pixels need drawing again
inline constexpr unsigned Close = 0x0010;       // the platform asks the program to close
inline constexpr unsigned Quit = 0x0012;        // ends the message loop; wParam is the exit code
inline constexpr unsigned ShowWindow = 0x0018;  // wParam 1 shown, 0 hidden
}  // namespace WindowMessage

// wParam of WindowMessage::Size.
namespace SizeKind {
inline constexpr std::uint32_t Restored = 0;
inline constexpr std::uint32_t Minimized = 1;
}  // namespace SizeKind

// Button-state bits of a mouse event's wParam.
namespace MouseKey {
inline constexpr std::uint32_t Left = 0x1;
inline constexpr std::uint32_t Right = 0x2;
inline constexpr std::uint32_t Shift = 0x4;
inline constexpr std::uint32_t Control = 0x8;
inline constexpr std::uint32_t Middle = 0x10;
}  // namespace MouseKey

// Virtual-key codes (by the key's position on a US keyboard) and the control
// characters that some keys also type.
namespace VirtualKey {
inline constexpr unsigned Back = 8;
inline constexpr unsigned Tab = 9;
inline constexpr unsigned LineFeed = 10;  // a character only
inline constexpr unsigned Return = 13;
inline constexpr unsigned Shift = 16;
inline constexpr unsigned Control = 17;
inline constexpr unsigned Menu = 18;  // Alt
inline constexpr unsigned Pause = 19;
inline constexpr unsigned Capital = 20;
inline constexpr unsigned Escape = 27;
inline constexpr unsigned Space = 32;
inline constexpr unsigned Prior = 33;
inline constexpr unsigned Next = 34;
inline constexpr unsigned End = 35;
inline constexpr unsigned Home = 36;
inline constexpr unsigned Left = 37;
inline constexpr unsigned Up = 38;
inline constexpr unsigned Right = 39;
inline constexpr unsigned Down = 40;
inline constexpr unsigned Insert = 45;
inline constexpr unsigned Delete = 46;
inline constexpr unsigned Key0 = '0';
inline constexpr unsigned Key1 = '1';
inline constexpr unsigned KeyA = 'A';
inline constexpr unsigned KeyI = 'I';
inline constexpr unsigned Numpad0 = 96;
inline constexpr unsigned Numpad1 = 97;
inline constexpr unsigned Multiply = 106;
inline constexpr unsigned Add = 107;
inline constexpr unsigned Subtract = 109;
inline constexpr unsigned Decimal = 110;
inline constexpr unsigned Divide = 111;
inline constexpr unsigned F1 = 112;
inline constexpr unsigned F10 = 121;  // a system key, like Alt
inline constexpr unsigned F12 = 123;
inline constexpr unsigned Semicolon = 186;
inline constexpr unsigned Equals = 187;
inline constexpr unsigned Comma = 188;
inline constexpr unsigned Minus = 189;
inline constexpr unsigned Period = 190;
inline constexpr unsigned Slash = 191;
inline constexpr unsigned Grave = 192;
inline constexpr unsigned LeftBracket = 219;
inline constexpr unsigned Backslash = 220;
inline constexpr unsigned RightBracket = 221;
inline constexpr unsigned Apostrophe = 222;
}  // namespace VirtualKey
