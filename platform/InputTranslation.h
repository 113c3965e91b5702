#pragma once
// SDL events in, window messages out: key codes by physical position as Windows
// virtual keys, characters from text input, the button-state word, double
// clicks and the wheel word. Pure apart from the state it is given, so it is
// tested with a table of events.

#include "platform/Letterbox.h"
#include "platform/Messages.h"

#include <SDL.h>
#include <cstdint>
#include <vector>

struct InputState {
    std::uint32_t buttons = 0;  // MK_LBUTTON/MK_RBUTTON/MK_MBUTTON bits currently held
    int lastX = 0;              // last pointer position in back-buffer coordinates
    int lastY = 0;
};

// Windows virtual-key code of a key by its physical position, 0 when unknown.
unsigned VirtualKeyFromScancode(SDL_Scancode scancode);

// Appends the messages the event turns into (none for events the program does
// not know). keyModifiers are SDL's modifier state at the time of the event.
void TranslateEvent(const SDL_Event& event, const Letterbox& letterbox, SDL_Keymod keyModifiers, InputState& state,
    std::vector<Msg>& out);
