#include "support/ProgramHarness.h"

#include "platform/Messages.h"
#include "platform/PlatformWindow.h"
#include "platform/Random.h"
#include "render/IMResourceManager.h"

#include <SDL.h>
#include <algorithm>
#include <filesystem>

ProgramHarness::ProgramHarness(bool withAudio)
{
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_setenv("SDL_AUDIODRIVER", withAudio ? "dummy" : "no-such-driver", 1);
    SetClock(&clock);
    SetTimeSource(&ProgramHarness::FixedTime);
    if (withAudio) {
        pendingAudio = std::make_unique<AudioManualOutput>(false);
        audio = pendingAudio.get();
    }
    playMessage = RegisterWindowMessage(L"WM_IM_ONSOUNDPLAY");
}

ProgramHarness::~ProgramHarness()
{
    delete window;
    SetClock(nullptr);
    SetTimeSource(nullptr);
}

IMWindow* ProgramHarness::StartWindow()
{
    const Rect rect {0, 0, 800, 600};
    Attach(CreateMainWindow(L"test", &rect, true, TakeAudioOutput()));
    return window;
}

std::unique_ptr<AudioOutput> ProgramHarness::TakeAudioOutput()
{
    return std::move(pendingAudio);
}

void ProgramHarness::Attach(IMWindow* w)
{
    window = w;
    Turn();
}

void ProgramHarness::Pump()
{
    if (!window)
        return;
    Msg msg;
    while (PeekMessage(msg, window->Platform()->GetLetterbox())) {
        if (msg.message == WindowMessage::Quit) {
            quit = true;
            exitCode = static_cast<int>(msg.wParam);
            continue;
        }
        if (msg.message == playMessage)
            started.push_back(msg.wParam);
        window->WindowProc(msg);
    }
}

void ProgramHarness::Turn()
{
    Pump();
    if (window)
        window->IdleTurn();
}

void ProgramHarness::Wait(int ms, int step)
{
    for (int t = 0; t < ms; t += step) {
        clock.AdvanceMs(step);
        if (audio)
            audio->AdvanceMs(step);
        Turn();
    }
    if (audio)
        audio->Advance(0);
    Turn();
}

void ProgramHarness::Send(unsigned message, std::uint32_t wParam, int x, int y)
{
    window->WindowProc({message, wParam, 0, x, y});
    Turn();
}

void ProgramHarness::Move(int x, int y, std::uint32_t buttons)
{
    Send(EventCode::MouseMove, buttons, x, y);
}

void ProgramHarness::Press(int x, int y)
{
    Move(x, y);
    Send(EventCode::LeftDown, MouseKey::Left, x, y);
}

void ProgramHarness::Release(int x, int y)
{
    Send(EventCode::LeftUp, 0, x, y);
}

void ProgramHarness::Click(int x, int y)
{
    Press(x, y);
    Release(x, y);
}

void ProgramHarness::Drag(Point from, Point to)
{
    Press(from.x, from.y);
    Move(to.x, to.y, MouseKey::Left);
    Release(to.x, to.y);
}

namespace {

bool IsSystemKey(unsigned virtualKey)
{
    return virtualKey == VirtualKey::Menu || virtualKey == VirtualKey::F10;
}

// The character the platform adds after the key down of these keys, or 0.
std::uint32_t ControlCharacter(unsigned virtualKey)
{
    switch (virtualKey) {
    case VirtualKey::Back:
    case VirtualKey::Tab:
    case VirtualKey::Return:
    case VirtualKey::Escape:
        return virtualKey;
    default:
        return 0;
    }
}

}  // namespace

void ProgramHarness::KeyDown(unsigned virtualKey)
{
    const unsigned message = IsSystemKey(virtualKey) ? EventCode::SysKeyDown : EventCode::KeyDown;
    window->WindowProc({message, virtualKey, 1, 0, 0});
    if (const std::uint32_t c = ControlCharacter(virtualKey))
        window->WindowProc({EventCode::Char, c, 1, 0, 0});
    Turn();
}

void ProgramHarness::KeyUp(unsigned virtualKey)
{
    const unsigned message = IsSystemKey(virtualKey) ? EventCode::SysKeyUp : EventCode::KeyUp;
    window->WindowProc({message, virtualKey, 0xC0000001u, 0, 0});
    Turn();
}

void ProgramHarness::Key(unsigned virtualKey)
{
    KeyDown(virtualKey);
    KeyUp(virtualKey);
}

void ProgramHarness::Type(const std::wstring& text)
{
    for (wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code >= 0x10000) {
            window->WindowProc({EventCode::Char, 0xD800 + ((code - 0x10000) >> 10), 1, 0, 0});
            window->WindowProc({EventCode::Char, 0xDC00 + ((code - 0x10000) & 0x3FF), 1, 0, 0});
        } else {
            window->WindowProc({EventCode::Char, code, 1, 0, 0});
        }
    }
    Turn();
}

std::uint32_t ProgramHarness::Pixel(int x, int y)
{
    IMResourceManager* manager = GetResourceManager();
    if (!manager || !manager->Device())
        return 0;
    window->SetDirty(true);
    Turn();
    frame = manager->Device()->ReadBackBuffer();
    return frame.at(static_cast<std::size_t>(y) * manager->backBufferWidth + x);
}

bool ProgramHarness::Screenshot(const std::string& name)
{
    IMResourceManager* manager = GetResourceManager();
    if (!manager || !manager->Device())
        return false;
    window->SetDirty(true);
    Turn();
    std::filesystem::create_directories("screens");
    return manager->Device()->WritePng("screens/" + name);
}

bool ProgramHarness::Started(std::uint32_t id) const
{
    return std::count(started.begin(), started.end(), id) > 0;
}
