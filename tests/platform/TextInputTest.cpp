// Typing through the window's event queue: text input is on once the window
// exists, so letters of any layout arrive as character messages, and keys held
// down repeat as key downs (Backspace with its character each time).

#include "events/IMEvent.h"
#include "platform/Messages.h"
#include "platform/PlatformWindow.h"

#include <SDL.h>
#include <cstring>
#include <gtest/gtest.h>

namespace {

class TextInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
        // Text input switched off before the window is made: the window must
        // switch it on itself rather than rely on SDL's default.
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
        SDL_StopTextInput();
        std::string error;
        window = PlatformWindow::Create(L"test", false, &error);
        ASSERT_TRUE(window) << error;
        Drain();
    }
    void TearDown() override
    {
        window.reset();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    std::vector<Msg> Drain()
    {
        std::vector<Msg> out;
        Msg msg;
        while (PeekMessage(msg, window->GetLetterbox()))
            out.push_back(msg);
        return out;
    }
    static void PushText(const char* utf8)
    {
        SDL_Event e {};
        e.type = SDL_TEXTINPUT;
        std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
        SDL_PushEvent(&e);
    }
    static void PushKey(SDL_Scancode scancode, bool repeat)
    {
        SDL_Event e {};
        e.type = SDL_KEYDOWN;
        e.key.type = SDL_KEYDOWN;
        e.key.state = SDL_PRESSED;
        e.key.repeat = repeat ? 1 : 0;
        e.key.keysym.scancode = scancode;
        SDL_PushEvent(&e);
    }

    std::unique_ptr<PlatformWindow> window;
};

}  // namespace

TEST_F(TextInput, WindowTurnsTextInputOn)
{
    EXPECT_TRUE(SDL_IsTextInputActive());
    EXPECT_EQ(SDL_EventState(SDL_TEXTINPUT, SDL_QUERY), SDL_ENABLE);
}

TEST_F(TextInput, RussianAndLatinLettersArriveAsCharacters)
{
    // What a Russian layout types for the keys Q, W, E, then a Latin word.
    PushText("йцу");
    PushText("Ab");
    const std::vector<Msg> out = Drain();
    const std::vector<std::uint32_t> expected {0x0439, 0x0446, 0x0443, u'A', u'b'};
    ASSERT_EQ(out.size(), expected.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].message, EventCode::Char) << i;
        EXPECT_EQ(out[i].wParam, expected[i]) << i;
    }
}

TEST_F(TextInput, HeldEditingKeysRepeatAsKeyDowns)
{
    struct Case {
        SDL_Scancode scancode;
        std::uint32_t vk;
        std::uint32_t character;  // 0: the key makes no character
    };
    const Case cases[] {
        {SDL_SCANCODE_BACKSPACE, VirtualKey::Back, 8},
        {SDL_SCANCODE_DELETE, VirtualKey::Delete, 0},
        {SDL_SCANCODE_LEFT, VirtualKey::Left, 0},
        {SDL_SCANCODE_RIGHT, VirtualKey::Right, 0},
    };
    for (const Case& c : cases) {
        // The first press, then two repeats while the key is held.
        PushKey(c.scancode, false);
        PushKey(c.scancode, true);
        PushKey(c.scancode, true);
        const std::vector<Msg> out = Drain();
        const std::size_t perPress = c.character ? 2 : 1;
        ASSERT_EQ(out.size(), 3 * perPress) << c.vk;
        for (int press = 0; press < 3; ++press) {
            const Msg& down = out[press * perPress];
            EXPECT_EQ(down.message, EventCode::KeyDown) << c.vk;
            EXPECT_EQ(down.wParam, c.vk);
            EXPECT_EQ((down.lParam >> 30) & 1, press > 0 ? 1u : 0u) << "previous-state bit of press " << press;
            if (c.character) {
                EXPECT_EQ(out[press * perPress + 1].message, EventCode::Char);
                EXPECT_EQ(out[press * perPress + 1].wParam, c.character);
            }
        }
    }
}
