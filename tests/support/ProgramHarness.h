#pragma once
// The program as tests drive it: a real main window on SDL's dummy video
// driver, the hand-advanced clock, the hand-stepped audio output (or none) and
// a fixed calendar time. Messages go through the real window procedure and
// every step ends with an idle turn, as the message loop would run it.
//
// A test either lets the harness make the main window (StartWindow) or hands
// it a window the program made itself, with the harness's audio output
// (TakeAudioOutput, then Attach).

#include "app/IMWindow.h"
#include "platform/AudioManualOutput.h"
#include "platform/Clock.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

class ProgramHarness {
public:
    // withAudio false: no audio device can be opened, the program runs silently.
    explicit ProgramHarness(bool withAudio = true);
    // Deletes the main window when the program has not already.
    ~ProgramHarness();
    ProgramHarness(const ProgramHarness&) = delete;
    ProgramHarness& operator=(const ProgramHarness&) = delete;

    static std::time_t FixedTime() { return 1'765'000'000; }

    // The main window with the harness's audio output.
    IMWindow* StartWindow();
    // The audio output for a main window the program creates itself (null without audio).
    std::unique_ptr<AudioOutput> TakeAudioOutput();
    void Attach(IMWindow* window);
    // Forgets a main window the program deleted itself.
    void Detach() { window = nullptr; }

    // Handles every waiting message; records sound starts and the quit message.
    void Pump();
    // Pump, then one idle turn.
    void Turn();
    // Lets ms pass on the clock and the audio output together, a turn every step.
    void Wait(int ms, int step = 40);

    // Input through the window procedure, each followed by a turn.
    void Send(unsigned message, std::uint32_t wParam, int x, int y);
    void Move(int x, int y, std::uint32_t buttons = 0);
    void Press(int x, int y);  // moves there first
    void Release(int x, int y);
    void Click(int x, int y);
    // Presses at from, moves with the button held and releases at to.
    void Drag(Point from, Point to);
    // A key down and up as the platform sends them (with the control character
    // of Backspace, Tab, Enter and Esc); system keys for Alt and F10.
    void Key(unsigned virtualKey);
    void KeyDown(unsigned virtualKey);
    void KeyUp(unsigned virtualKey);
    // One character message per UTF-16 unit of text.
    void Type(const std::wstring& text);

    // A fresh frame read back: the pixel (x, y), ARGB.
    std::uint32_t Pixel(int x, int y);
    // Draws the whole tree and writes it to screens/<name> in the test's folder.
    bool Screenshot(const std::string& name);

    // Whether the sound `id` started since the harness began, by its notification.
    bool Started(std::uint32_t id) const;

    ManualClock clock;
    AudioManualOutput* audio = nullptr;  // owned by the sound system once the window exists
    IMWindow* window = nullptr;          // deleted by the harness unless Detach()ed
    std::vector<std::uint32_t> started;  // sound identifiers in the order they started
    bool quit = false;                   // the quit message arrived
    int exitCode = 0;                    // its code

private:
    std::unique_ptr<AudioManualOutput> pendingAudio;  // until a window takes it
    unsigned playMessage = 0;
    std::vector<std::uint32_t> frame;  // the last read-back
};
