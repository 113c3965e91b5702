// SDL events in, window messages out.

#include "platform/InputTranslation.h"
#include "events/IMEvent.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

SDL_Event Key(Uint32 type, SDL_Scancode scancode, bool repeat = false)
{
    SDL_Event e {};
    e.type = type;
    e.key.type = type;
    e.key.keysym.scancode = scancode;
    e.key.repeat = repeat;
    return e;
}

SDL_Event Text(const char* utf8)
{
    SDL_Event e {};
    e.type = SDL_TEXTINPUT;
    std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
    return e;
}

SDL_Event Button(Uint32 type, Uint8 button, int x, int y, Uint8 clicks = 1)
{
    SDL_Event e {};
    e.type = type;
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    e.button.clicks = clicks;
    return e;
}

SDL_Event Motion(int x, int y)
{
    SDL_Event e {};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    return e;
}

SDL_Event Wheel(int notches)
{
    SDL_Event e {};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = notches;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    return e;
}

struct Translator {
    Letterbox letterbox;
    InputState state;

    std::vector<Msg> operator()(const SDL_Event& e, SDL_Keymod modifiers = KMOD_NONE)
    {
        std::vector<Msg> out;
        TranslateEvent(e, letterbox, modifiers, state, out);
        return out;
    }
};

}  // namespace

TEST(InputTranslation, KeysByPhysicalPosition)
{
    struct Case {
        SDL_Scancode scancode;
        unsigned vk;
    };
    const Case cases[] = {
        {SDL_SCANCODE_A, 65},
        {SDL_SCANCODE_I, 73},
        {SDL_SCANCODE_Z, 90},
        {SDL_SCANCODE_0, 48},
        {SDL_SCANCODE_9, 57},
        {SDL_SCANCODE_F1, 112},
        {SDL_SCANCODE_F12, 123},
        {SDL_SCANCODE_ESCAPE, 27},
        {SDL_SCANCODE_RETURN, 13},
        {SDL_SCANCODE_SPACE, 32},
        {SDL_SCANCODE_LEFT, 37},
        {SDL_SCANCODE_UP, 38},
        {SDL_SCANCODE_RIGHT, 39},
        {SDL_SCANCODE_DOWN, 40},
        {SDL_SCANCODE_DELETE, 46},
        {SDL_SCANCODE_BACKSPACE, 8},
        {SDL_SCANCODE_TAB, 9},
        {SDL_SCANCODE_LCTRL, 17},
        {SDL_SCANCODE_RCTRL, 17},
    };
    for (const Case& c : cases) {
        Translator translate;
        auto down = translate(Key(SDL_KEYDOWN, c.scancode));
        ASSERT_FALSE(down.empty()) << c.scancode;
        EXPECT_EQ(down[0].message, EventCode::KeyDown) << c.scancode;
        EXPECT_EQ(down[0].wParam, c.vk) << c.scancode;
        auto up = translate(Key(SDL_KEYUP, c.scancode));
        ASSERT_EQ(up.size(), 1u);
        EXPECT_EQ(up[0].message, EventCode::KeyUp);
        EXPECT_EQ(up[0].wParam, c.vk);
        EXPECT_NE(up[0].lParam & (1u << 31), 0u) << "transition bit of a key up";
    }
}

TEST(InputTranslation, ControlKeysAlsoMakeTheirCharacters)
{
    struct Case {
        SDL_Scancode scancode;
        std::uint32_t character;
    };
    const Case cases[]
        = {{SDL_SCANCODE_BACKSPACE, 8}, {SDL_SCANCODE_TAB, 9}, {SDL_SCANCODE_RETURN, 13}, {SDL_SCANCODE_ESCAPE, 27}};
    for (const Case& c : cases) {
        Translator translate;
        auto out = translate(Key(SDL_KEYDOWN, c.scancode));
        ASSERT_EQ(out.size(), 2u);
        EXPECT_EQ(out[0].message, EventCode::KeyDown);
        EXPECT_EQ(out[0].wParam, c.character);
        EXPECT_EQ(out[1].message, EventCode::Char);
        EXPECT_EQ(out[1].wParam, c.character);
    }
    // A letter key makes only its key down; its character comes from text input.
    Translator translate;
    EXPECT_EQ(translate(Key(SDL_KEYDOWN, SDL_SCANCODE_A)).size(), 1u);
}

TEST(InputTranslation, HeldKeyRepeatsAsKeyDowns)
{
    Translator translate;
    auto first = translate(Key(SDL_KEYDOWN, SDL_SCANCODE_SPACE));
    auto repeat = translate(Key(SDL_KEYDOWN, SDL_SCANCODE_SPACE, true));
    ASSERT_EQ(repeat.size(), 1u);
    EXPECT_EQ(repeat[0].message, EventCode::KeyDown);
    EXPECT_EQ(first[0].lParam & (1u << 30), 0u);
    EXPECT_NE(repeat[0].lParam & (1u << 30), 0u) << "previous-state bit of a repeat";
}

TEST(InputTranslation, AltMakesSystemKeys)
{
    Translator translate;
    auto out = translate(Key(SDL_KEYDOWN, SDL_SCANCODE_F4), KMOD_LALT);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].message, EventCode::SysKeyDown);
    EXPECT_EQ(out[0].wParam, 115u);
}

TEST(InputTranslation, TextInputOneCharacterEach)
{
    Translator translate;
    auto out = translate(Text("П"));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].message, EventCode::Char);
    EXPECT_EQ(out[0].wParam, 0x041Fu);

    out = translate(Text("Ёж!"));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].wParam, 0x0401u);
    EXPECT_EQ(out[1].wParam, 0x0436u);
    EXPECT_EQ(out[2].wParam, u'!');

    // Outside the BMP: two UTF-16 units, as Windows sends them.
    out = translate(Text("\xF0\x9F\x8E\xB5"));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].wParam, 0xD83Cu);
    EXPECT_EQ(out[1].wParam, 0xDFB5u);

    // Broken UTF-8 is skipped, never read past.
    out = translate(Text("\xD0"));
    EXPECT_TRUE(out.empty());
}

TEST(InputTranslation, MouseButtonsAndStateBits)
{
    Translator translate;
    auto out = translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].message, EventCode::LeftDown);
    EXPECT_EQ(out[0].wParam, MouseKey::Left);
    EXPECT_EQ(out[0].x, 10);
    EXPECT_EQ(out[0].y, 20);

    out = translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 11, 20), KMOD_LSHIFT);
    EXPECT_EQ(out[0].message, EventCode::RightDown);
    EXPECT_EQ(out[0].wParam, MouseKey::Left | MouseKey::Right | MouseKey::Shift);

    out = translate(Motion(12, 21), KMOD_LCTRL);
    EXPECT_EQ(out[0].message, EventCode::MouseMove);
    EXPECT_EQ(out[0].wParam, MouseKey::Left | MouseKey::Right | MouseKey::Control);

    out = translate(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 12, 21));
    EXPECT_EQ(out[0].message, EventCode::LeftUp);
    EXPECT_EQ(out[0].wParam, MouseKey::Right);

    out = translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 12, 21));
    EXPECT_EQ(out[0].message, EventCode::MiddleDown);
    EXPECT_EQ(out[0].wParam, MouseKey::Right | MouseKey::Middle);

    // Extra buttons are unknown to the program.
    EXPECT_TRUE(translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 12, 21)).empty());
}

TEST(InputTranslation, SecondClickIsADoubleClick)
{
    Translator translate;
    translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 5, 1));
    translate(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 5, 5, 1));
    auto out = translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 5, 2));
    EXPECT_EQ(out[0].message, EventCode::LeftDoubleClick);
    translate(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 5, 5, 2));
    out = translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 5, 3));
    EXPECT_EQ(out[0].message, EventCode::LeftDown) << "a third click starts again";
}

TEST(InputTranslation, WheelWord)
{
    Translator translate;
    translate(Motion(30, 40));
    translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 30, 40));
    auto out = translate(Wheel(1));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].message, EventCode::Wheel);
    EXPECT_EQ(out[0].wParam >> 16, 120u);
    EXPECT_EQ(out[0].wParam & 0xFFFF, MouseKey::Left);
    EXPECT_EQ(out[0].x, 30);
    EXPECT_EQ(out[0].y, 40);
    out = translate(Wheel(-2));
    EXPECT_EQ(static_cast<std::int16_t>(out[0].wParam >> 16), -240);
}

TEST(InputTranslation, PositionsThroughTheLetterbox)
{
    Translator translate;
    // A 1920x1080 screen shows the back buffer 1.8 times larger, 240 pixels from the left.
    translate.letterbox.windowWidth = 1920;
    translate.letterbox.windowHeight = 1080;
    auto out = translate(Motion(240 + 180, 90));
    EXPECT_EQ(out[0].x, 100);
    EXPECT_EQ(out[0].y, 50);
    out = translate(Motion(240 + 1439, 1079));
    EXPECT_EQ(out[0].x, 799);
    EXPECT_EQ(out[0].y, 599);
    out = translate(Motion(100, 0));  // in the left bar
    EXPECT_LT(out[0].x, 0);
}

TEST(InputTranslation, WindowEventsAndUnknownEvents)
{
    Translator translate;
    SDL_Event e {};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    EXPECT_EQ(translate(e)[0].message, WindowMessage::Close);
    e.window.event = SDL_WINDOWEVENT_MINIMIZED;
    auto out = translate(e);
    EXPECT_EQ(out[0].message, WindowMessage::Size);
    EXPECT_EQ(out[0].wParam, SizeKind::Minimized);
    e.window.event = SDL_WINDOWEVENT_LEAVE;
    EXPECT_EQ(translate(e)[0].message, EventCode::MouseLeave);

    SDL_Event unknown {};
    unknown.type = SDL_JOYAXISMOTION;
    EXPECT_TRUE(translate(unknown).empty());
    EXPECT_TRUE(translate(Key(SDL_KEYDOWN, SDL_SCANCODE_APPLICATION)).empty());
}
