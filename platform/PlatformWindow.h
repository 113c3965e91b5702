#pragma once
// The program's one window: SDL, full screen on the desktop (or a plain window
// of the back buffer's size), with the letterbox that maps it to 800x600.
//
// Provides: creation and destruction of the window and of SDL's video and event
// subsystems, the letterbox, the cursor display count, the Control key state. Leaves out: menus, window classes,
// several windows.

#include "events/Geometry.h"
#include "platform/Letterbox.h"

#include <memory>
#include <string>

struct SDL_Window;

class PlatformWindow {
public:
    // Nullptr and a one-line reason in *error when SDL or the window cannot be set up.
    static std::unique_ptr<PlatformWindow> Create(const std::wstring& title, bool fullscreen, std::string* error);
    ~PlatformWindow();
    PlatformWindow(const PlatformWindow&) = delete;
    PlatformWindow& operator=(const PlatformWindow&) = delete;

    SDL_Window* Handle() const { return window; }
    // The letterbox for the window's current drawable size.
    const Letterbox& GetLetterbox();
    void Show();
    // Off the screen at once, before slow work on the way out.
    void Hide();

private:
    PlatformWindow() = default;

    SDL_Window* window = nullptr;  // owned; destroyed before SDL's video subsystem quits
    Letterbox letterbox;           // refreshed by GetLetterbox
};

// Windows' cursor display count: the cursor shows while the count is >= 0.
// Returns the new count.
int ShowCursor(bool show);
// Whether a Control key is held now.
bool IsControlKeyDown();
