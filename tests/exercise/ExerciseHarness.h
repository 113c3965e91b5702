#pragma once
// A real board under a real main window, driven through the program harness.
// Records which sounds started, from the sound system's own notifications.

#include "exercise/Game.h"
#include "media/sound/CSoundSystem.h"
#include "support/ProgramHarness.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>

class ExerciseTest : public ::testing::Test {
protected:
    // withAudio false: no audio device can be opened, the program runs silently.
    void StartBoard(bool withAudio = true)
    {
        program = std::make_unique<ProgramHarness>(withAudio);
        window = program->StartWindow();
        // Looked up once, before the board exists: asking the sound system for a
        // name again drops the slots connected to that sound's end.
        for (int n = 126; n <= 145; ++n)
            if (n != 130)
                ids[std::to_wstring(n)] = GetSoundSystem()->CreateSound(std::to_wstring(n));
        const Rect board {0, 0, 800, 600};
        game = new Game(window, &board);
        Turn();
    }
    void TearDown() override { program.reset(); }

    void Turn() { program->Turn(); }
    void Wait(int ms, int step = 40) { program->Wait(ms, step); }
    void Move(int x, int y, std::uint32_t buttons = 0) { program->Move(x, y, buttons); }
    void Press(int x, int y) { program->Press(x, y); }
    void Release(int x, int y) { program->Release(x, y); }
    void ClickStaffPlay() { program->Click(423, 56); }
    void ClickGramophone() { program->Click(603, 340); }

    Brick* BrickOf(const wchar_t* sound)
    {
        for (auto& b : game->bricks)
            if (b->soundName == sound)
                return b.get();
        return nullptr;
    }
    // Picks the brick up near its corner and lets it go with its corner at (x, y).
    void Drag(Brick* brick, int x, int y)
    {
        const Point p = brick->picture->GetPosition();
        program->Drag({p.x + 6, p.y + 6}, {x + 6, y + 6});
    }
    std::uint32_t Id(const wchar_t* name) { return ids.at(name); }
    bool Started(const wchar_t* name) { return program->Started(Id(name)); }
    bool Playing(const wchar_t* name)
    {
        CSoundStream* stream = GetSoundSystem()->FindStream(Id(name));
        return stream && stream->IsPlaying();
    }
    std::vector<std::uint32_t>& started() { return program->started; }

    std::unique_ptr<ProgramHarness> program;
    IMWindow* window = nullptr;                 // owned by the harness
    Game* game = nullptr;                       // owned by the window
    std::map<std::wstring, std::uint32_t> ids;  // sound name -> identifier
};
