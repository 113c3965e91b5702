#include "platform/InputTranslation.h"

#include "events/Codes.h"
#include "platform/Utf8.h"

namespace {

std::uint32_t ModifierBits(SDL_Keymod modifiers)
{
    std::uint32_t bits = 0;
    if (modifiers & KMOD_SHIFT)
        bits |= MouseKey::Shift;
    if (modifiers & KMOD_CTRL)
        bits |= MouseKey::Control;
    return bits;
}

std::uint32_t ButtonBit(Uint8 sdlButton)
{
    switch (sdlButton) {
    case SDL_BUTTON_LEFT:
        return MouseKey::Left;
    case SDL_BUTTON_RIGHT:
        return MouseKey::Right;
    case SDL_BUTTON_MIDDLE:
        return MouseKey::Middle;
    default:
        return 0;
    }
}

// Windows key data: repeat count 1, scan code, context (Alt), previous state, transition.
std::uint32_t KeyData(const SDL_KeyboardEvent& key, bool altHeld)
{
    std::uint32_t data = 1 | ((static_cast<std::uint32_t>(key.keysym.scancode) & 0xFF) << 16);
    if (altHeld)
        data |= 1u << 29;
    if (key.type == SDL_KEYUP)
        data |= (1u << 30) | (1u << 31);
    else if (key.repeat)
        data |= 1u << 30;
    return data;
}

// The character Windows adds after the key down of these keys.
std::uint32_t ControlCharacter(SDL_Scancode scancode)
{
    switch (scancode) {
    case SDL_SCANCODE_BACKSPACE:
        return VirtualKey::Back;
    case SDL_SCANCODE_TAB:
        return VirtualKey::Tab;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER:
        return VirtualKey::Return;
    case SDL_SCANCODE_ESCAPE:
        return VirtualKey::Escape;
    default:
        return 0;
    }
}

void AppendText(const char* utf8, std::vector<Msg>& out)
{
    for (char32_t c : DecodeUtf8(utf8)) {
        if (c == 0xFFFD)
            continue;  // broken UTF-8 types nothing
        // One message per UTF-16 unit, as Windows sends characters outside the BMP.
        if (c >= 0x10000) {
            const SurrogatePair pair = SplitSurrogates(c);
            out.push_back({EventCode::Char, pair.high, 1});
            out.push_back({EventCode::Char, pair.low, 1});
        } else {
            out.push_back({EventCode::Char, static_cast<std::uint32_t>(c), 1});
        }
    }
}

}  // namespace

unsigned VirtualKeyFromScancode(SDL_Scancode s)
{
    if (s >= SDL_SCANCODE_A && s <= SDL_SCANCODE_Z)
        return VirtualKey::KeyA + (s - SDL_SCANCODE_A);
    if (s >= SDL_SCANCODE_1 && s <= SDL_SCANCODE_9)
        return VirtualKey::Key1 + (s - SDL_SCANCODE_1);
    if (s >= SDL_SCANCODE_F1 && s <= SDL_SCANCODE_F12)
        return VirtualKey::F1 + (s - SDL_SCANCODE_F1);
    if (s >= SDL_SCANCODE_KP_1 && s <= SDL_SCANCODE_KP_9)
        return VirtualKey::Numpad1 + (s - SDL_SCANCODE_KP_1);
    switch (s) {
    case SDL_SCANCODE_0:
        return VirtualKey::Key0;
    case SDL_SCANCODE_KP_0:
        return VirtualKey::Numpad0;
    case SDL_SCANCODE_BACKSPACE:
        return VirtualKey::Back;
    case SDL_SCANCODE_TAB:
        return VirtualKey::Tab;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER:
        return VirtualKey::Return;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT:
        return VirtualKey::Shift;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL:
        return VirtualKey::Control;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT:
        return VirtualKey::Menu;
    case SDL_SCANCODE_PAUSE:
        return VirtualKey::Pause;
    case SDL_SCANCODE_CAPSLOCK:
        return VirtualKey::Capital;
    case SDL_SCANCODE_ESCAPE:
        return VirtualKey::Escape;
    case SDL_SCANCODE_SPACE:
        return VirtualKey::Space;
    case SDL_SCANCODE_PAGEUP:
        return VirtualKey::Prior;
    case SDL_SCANCODE_PAGEDOWN:
        return VirtualKey::Next;
    case SDL_SCANCODE_END:
        return VirtualKey::End;
    case SDL_SCANCODE_HOME:
        return VirtualKey::Home;
    case SDL_SCANCODE_LEFT:
        return VirtualKey::Left;
    case SDL_SCANCODE_UP:
        return VirtualKey::Up;
    case SDL_SCANCODE_RIGHT:
        return VirtualKey::Right;
    case SDL_SCANCODE_DOWN:
        return VirtualKey::Down;
    case SDL_SCANCODE_INSERT:
        return VirtualKey::Insert;
    case SDL_SCANCODE_DELETE:
        return VirtualKey::Delete;
    case SDL_SCANCODE_KP_MULTIPLY:
        return VirtualKey::Multiply;
    case SDL_SCANCODE_KP_PLUS:
        return VirtualKey::Add;
    case SDL_SCANCODE_KP_MINUS:
        return VirtualKey::Subtract;
    case SDL_SCANCODE_KP_PERIOD:
        return VirtualKey::Decimal;
    case SDL_SCANCODE_KP_DIVIDE:
        return VirtualKey::Divide;
    case SDL_SCANCODE_SEMICOLON:
        return VirtualKey::Semicolon;
    case SDL_SCANCODE_EQUALS:
        return VirtualKey::Equals;
    case SDL_SCANCODE_COMMA:
        return VirtualKey::Comma;
    case SDL_SCANCODE_MINUS:
        return VirtualKey::Minus;
    case SDL_SCANCODE_PERIOD:
        return VirtualKey::Period;
    case SDL_SCANCODE_SLASH:
        return VirtualKey::Slash;
    case SDL_SCANCODE_GRAVE:
        return VirtualKey::Grave;
    case SDL_SCANCODE_LEFTBRACKET:
        return VirtualKey::LeftBracket;
    case SDL_SCANCODE_BACKSLASH:
        return VirtualKey::Backslash;
    case SDL_SCANCODE_RIGHTBRACKET:
        return VirtualKey::RightBracket;
    case SDL_SCANCODE_APOSTROPHE:
        return VirtualKey::Apostrophe;
    default:
        return 0;
    }
}

void TranslateEvent(const SDL_Event& event, const Letterbox& letterbox, SDL_Keymod keyModifiers, InputState& state,
    std::vector<Msg>& out)
{
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const unsigned vk = VirtualKeyFromScancode(event.key.keysym.scancode);
        if (vk == 0)
            return;
        const bool down = event.type == SDL_KEYDOWN;
        // Alt held (or Alt itself, or F10) makes the system-key messages, as on Windows;
        // Ctrl+Alt (AltGr) types ordinary keys.
        const bool alt = (keyModifiers & KMOD_ALT) != 0 && (keyModifiers & KMOD_CTRL) == 0;
        const bool system = alt || vk == VirtualKey::Menu || vk == VirtualKey::F10;
        const unsigned message = system ? (down ? EventCode::SysKeyDown : EventCode::SysKeyUp)
                                        : (down ? EventCode::KeyDown : EventCode::KeyUp);
        out.push_back({message, vk, KeyData(event.key, alt)});
        if (down && !system) {
            if (std::uint32_t c = ControlCharacter(event.key.keysym.scancode))
                out.push_back({EventCode::Char, c, KeyData(event.key, false)});
        }
        return;
    }
    case SDL_TEXTINPUT:
        AppendText(event.text.text, out);
        return;
    case SDL_MOUSEMOTION:
        state.lastX = letterbox.ToBackX(event.motion.x);
        state.lastY = letterbox.ToBackY(event.motion.y);
        out.push_back({EventCode::MouseMove, state.buttons | ModifierBits(keyModifiers), 0, state.lastX, state.lastY});
        return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const std::uint32_t bit = ButtonBit(event.button.button);
        if (bit == 0)
            return;
        const bool down = event.type == SDL_MOUSEBUTTONDOWN;
        if (down)
            state.buttons |= bit;
        else
            state.buttons &= ~bit;
        state.lastX = letterbox.ToBackX(event.button.x);
        state.lastY = letterbox.ToBackY(event.button.y);
        unsigned message;
        if (bit == MouseKey::Left)
            message = down ? (event.button.clicks % 2 == 0 ? EventCode::LeftDoubleClick : EventCode::LeftDown)
                           : EventCode::LeftUp;
        else if (bit == MouseKey::Right)
            message = down ? EventCode::RightDown : EventCode::RightUp;
        else
            message = down ? EventCode::MiddleDown : EventCode::MiddleUp;
        out.push_back({message, state.buttons | ModifierBits(keyModifiers), 0, state.lastX, state.lastY});
        return;
    }
    case SDL_MOUSEWHEEL: {
        int notches = event.wheel.y;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
            notches = -notches;
        if (notches == 0)
            return;
        const auto distance = static_cast<std::uint16_t>(static_cast<std::int16_t>(notches * 120));
        const std::uint32_t word = (std::uint32_t(distance) << 16) | state.buttons | ModifierBits(keyModifiers);
        out.push_back({EventCode::Wheel, word, 0, state.lastX, state.lastY});
        return;
    }
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_ENTER:
            out.push_back({EventCode::MouseEnter, 0, 0, state.lastX, state.lastY});
            return;
        case SDL_WINDOWEVENT_LEAVE:
            out.push_back({EventCode::MouseLeave, 0, 0, state.lastX, state.lastY});
            return;
        case SDL_WINDOWEVENT_MINIMIZED:
            out.push_back({WindowMessage::Size, SizeKind::Minimized, 0});
            return;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
            out.push_back({WindowMessage::Size, SizeKind::Restored, 0});
            return;
        case SDL_WINDOWEVENT_EXPOSED:
            out.push_back({WindowMessage::Paint, 0, 0});
            return;
        case SDL_WINDOWEVENT_SHOWN:
            out.push_back({WindowMessage::ShowWindow, 1, 0});
            return;
        case SDL_WINDOWEVENT_HIDDEN:
            out.push_back({WindowMessage::ShowWindow, 0, 0});
            return;
        case SDL_WINDOWEVENT_CLOSE:
            out.push_back({WindowMessage::Close, 0, 0});
            return;
        default:
            return;
        }
    case SDL_QUIT:
        out.push_back({WindowMessage::Close, 0, 0});
        return;
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
        // The graphics device latches the loss itself; a paint message lets the
        // window restore it.
        out.push_back({WindowMessage::Paint, 0, 0});
        return;
    default:
        return;
    }
}
