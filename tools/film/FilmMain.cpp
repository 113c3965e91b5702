// zv_film: films the instruction video from the game itself. The real application object builds the
// exercise board headless (SDL's dummy drivers, a clock and an audio output that move only when told, a fixed
// calendar time, so the bank is laid out the same way every time); the demonstration planned from the
// commentary's stage directions drives it through the main window's real window procedure; every 40 ms of
// the program's time one frame is read back from the render device, the hand is drawn over it, and the
// frames are encoded as Ogg Theora without sound. What the game played meanwhile (the melody, the bricks,
// the staff, the praise word) can be written as a WAV file, so the commentary can carry the sounds the
// picture shows at the moments it shows them. The same inputs always give the same bytes.
//
//   zv_film --script commentary.txt --hand hand.png --hand-pressed pressed.png --hotspot X,Y
//           [--keycap F1=f1.png ...] [--frames N] [--quality Q] [--keyframe-interval K] [--serial S]
//           [--output video.ogv] [--soundtrack sound.wav]
//
// Without --frames the video lasts as long as the commentary (its `length`, in whole frames). Without
// --output no frame is encoded: the run only records the soundtrack.
//
// Exit status 0 when the video is written, 1 when filming fails (the board did not do what a direction
// expects), 2 for wrong arguments.
//
// Index of this file:
//   [SECTION] Options
//   [SECTION] The program under the camera
//   [SECTION] What the board shows
//   [SECTION] Filming

#include "app/App.h"
#include "app/IMWindow.h"
#include "app/ProgramTexts.h"
#include "exercise/Game.h"
#include "platform/AudioManualOutput.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/PlatformWindow.h"
#include "platform/Random.h"
#include "render/IMResourceManager.h"
#include "tools/film/Demonstration.h"
#include "tools/film/Directions.h"
#include "tools/film/Overlay.h"
#include "tools/video/TheoraEncoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int Width = 800;
constexpr int Height = 600;
constexpr int Fps = 25;
constexpr int StepMs = 5;  // the program's turns between two frames come this often, as its loop runs them
constexpr int StepsPerFrame = 1000 / Fps / StepMs;
constexpr double Dissolve = 0.6;  // seconds the last picture takes to turn into the board as the game begins

// The calendar time the board is built at: it seeds the bank's layout and the choice of the praise.
constexpr std::time_t FilmTime = 1'765'000'000;

// Where the board's controls are (the exercise lays them out at these places).
constexpr Rect GramophoneButton {581, 318, 625, 362};
constexpr Rect StaffButton {401, 34, 445, 78};
constexpr Point RightOfStaff {535, 120};
// The arrangement the staff takes for the solution: sounds and the slots they start in.
const std::vector<int> UpperSolution {137, 138, 139, 140}, UpperSolutionSlots {0, 3, 6, 9};
const std::vector<int> LowerSolution {134, 135, 136}, LowerSolutionSlots {0, 4, 8};

// ---------------------------------------------------------------------------------------------------------
// [SECTION] Options
// ---------------------------------------------------------------------------------------------------------

constexpr std::string_view Usage
    = "usage: zv_film --script commentary.txt --hand hand.png --hand-pressed pressed.png --hotspot X,Y\n"
      "               [--keycap NAME=picture.png ...] [--frames N] [--quality 0-63] [--keyframe-interval N]\n"
      "               [--serial N] [--output video.ogv] [--soundtrack sound.wav]\n";

struct Options {
    std::string script;
    std::string hand;
    std::string handPressed;
    PointF hotspot;                              // the fingertip in the hand's pictures
    std::map<std::string, std::string> keycaps;  // name -> picture
    int frames = 0;                              // 0: as many as the commentary lasts
    TheoraSettings settings;
    std::string output;      // the video; empty for none
    std::string soundtrack;  // the game's sound as WAV; empty for none
};

bool ParseNumber(std::string_view text, long long low, long long high, long long& value)
{
    try {
        std::size_t used = 0;
        value = std::stoll(std::string(text), &used, 0);
        return used == text.size() && value >= low && value <= high;
    } catch (const std::exception&) {
        return false;
    }
}

bool ParseArguments(int argc, char** argv, Options& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (i + 1 >= argc) {
            error = std::string(name) + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        long long number = 0;
        if (name == "--script") {
            options.script = value;
        } else if (name == "--hand") {
            options.hand = value;
        } else if (name == "--hand-pressed") {
            options.handPressed = value;
        } else if (name == "--hotspot") {
            const std::size_t comma = value.find(',');
            try {
                options.hotspot = {std::stod(value.substr(0, comma)), std::stod(value.substr(comma + 1))};
            } catch (const std::exception&) {
                error = "--hotspot wants X,Y";
                return false;
            }
        } else if (name == "--keycap") {
            const std::size_t equals = value.find('=');
            if (equals == std::string::npos) {
                error = "--keycap wants NAME=picture.png";
                return false;
            }
            options.keycaps[value.substr(0, equals)] = value.substr(equals + 1);
        } else if (name == "--frames" && ParseNumber(value, 1, 1 << 20, number)) {
            options.frames = static_cast<int>(number);
        } else if (name == "--quality" && ParseNumber(value, 0, 63, number)) {
            options.settings.quality = static_cast<int>(number);
        } else if (name == "--keyframe-interval" && ParseNumber(value, 1, 1 << 20, number)) {
            options.settings.keyframeInterval = static_cast<int>(number);
        } else if (name == "--serial" && ParseNumber(value, 0, 0xFFFFFFFFLL, number)) {
            options.settings.serial = static_cast<std::uint32_t>(number);
        } else if (name == "--output") {
            options.output = value;
        } else if (name == "--soundtrack") {
            options.soundtrack = value;
        } else {
            error = "cannot use " + std::string(name) + " " + value;
            return false;
        }
    }
    if (options.script.empty() || options.hand.empty() || options.handPressed.empty()
        || (options.output.empty() && options.soundtrack.empty())) {
        error = "--script, --hand, --hand-pressed and --output or --soundtrack are required";
        return false;
    }
    return true;
}

std::string Seconds(int frame)
{
    char text[32];
    std::snprintf(text, sizeof text, "%6.2f s (frame %4d)", double(frame) / Fps, frame);
    return text;
}

// ---------------------------------------------------------------------------------------------------------
// [SECTION] The program under the camera
// ---------------------------------------------------------------------------------------------------------

std::time_t FixedTime()
{
    return FilmTime;
}

// The game on SDL's dummy drivers, with the clock and the audio output in the camera's hands.
class Program {
public:
    Program()
    {
        ::setenv("SDL_VIDEODRIVER", "dummy", 1);
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        SetClock(&clock);
        SetTimeSource(&FixedTime);
        auto output = std::make_unique<AudioManualOutput>(true);
        audio = output.get();
        app = GetApp(WindowTitleText, std::move(output));
        window = app->mainWindow.get();
        playMessage = RegisterWindowMessage(L"WM_IM_ONSOUNDPLAY");
    }
    ~Program()
    {
        ReleaseApp();
        SetClock(nullptr);
        SetTimeSource(nullptr);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Handles every waiting message, as the message loop does before its idle turn.
    void Pump()
    {
        Msg msg;
        while (PeekMessage(msg, window->Platform()->GetLetterbox())) {
            if (msg.message == WindowMessage::Quit)
                throw std::runtime_error("the program quit while it was filmed");
            if (msg.message == playMessage)
                soundsStarted.push_back(msg.wParam);
            window->WindowProc(msg);
        }
    }

    // Pump and one idle turn; without `draw` the turn leaves the frame for later.
    void Turn(bool draw)
    {
        Pump();
        window->suspended = !draw;
        if (draw)
            window->SetDirty(true);
        window->IdleTurn();
        window->suspended = false;
    }

    // Lets the program run for one frame's time, in the small steps of its own loop.
    void RunOneFrame()
    {
        for (int step = 0; step < StepsPerFrame; ++step) {
            clock.AdvanceMs(StepMs);
            elapsedMs += StepMs;
            const std::uint64_t due = elapsedMs * AudioOutput::Rate / 1000;
            audio->Advance(due - audio->FramesPlayed());
            Turn(false);
        }
    }

    void Mouse(unsigned message, std::uint32_t buttons, Point at)
    {
        window->WindowProc({message, buttons, 0, at.x, at.y});
    }

    // The frame as the program last drew it, RGB.
    std::vector<std::uint8_t> ReadFrame()
    {
        const std::vector<std::uint32_t> argb = GetResourceManager()->Device()->ReadBackBuffer();
        if (argb.size() != std::size_t(Width) * Height)
            throw std::runtime_error("the back buffer is not 800 x 600");
        std::vector<std::uint8_t> rgb(argb.size() * 3);
        for (std::size_t i = 0; i < argb.size(); ++i) {
            rgb[i * 3] = static_cast<std::uint8_t>(argb[i] >> 16);
            rgb[i * 3 + 1] = static_cast<std::uint8_t>(argb[i] >> 8);
            rgb[i * 3 + 2] = static_cast<std::uint8_t>(argb[i]);
        }
        return rgb;
    }

    ManualClock clock;
    AudioManualOutput* audio = nullptr;  // owned by the sound system
    App* app = nullptr;
    IMWindow* window = nullptr;
    std::vector<std::uint32_t> soundsStarted;  // since the last look
    std::uint64_t elapsedMs = 0;

private:
    unsigned playMessage = 0;
};

// ---------------------------------------------------------------------------------------------------------
// [SECTION] What the board shows
// ---------------------------------------------------------------------------------------------------------

Brick* FindBrick(Game& board, int sound)
{
    for (const auto& brick : board.bricks)
        if (brick->soundName == std::to_wstring(sound))
            return brick.get();
    return nullptr;
}

BoardPlaces LookAt(Game& board)
{
    BoardPlaces places;
    places.gramophoneButton = GramophoneButton;
    places.staffButton = StaffButton;
    places.rightOfStaff = RightOfStaff;
    std::set<int> rows;
    places.bankLeft = Width;
    for (const auto& brick : board.bricks) {
        const Rect r = brick->picture->GetRect();
        places.bricks[std::stoi(brick->soundName)] = r;
        rows.insert((r.top + r.bottom) / 2);
        places.bankLeft = std::min(places.bankLeft, r.left);
        places.bankRight = std::max(places.bankRight, r.right);
    }
    places.shelfMiddles.assign(rows.begin(), rows.end());
    for (const Slot& slot : board.staff->upperSlots)
        places.slots[0].push_back(slot.rect);
    for (const Slot& slot : board.staff->lowerSlots)
        places.slots[1].push_back(slot.rect);
    places.solution[0] = UpperSolution;
    places.solution[1] = LowerSolution;
    places.solutionSlots[0] = UpperSolutionSlots;
    places.solutionSlots[1] = LowerSolutionSlots;
    return places;
}

// Whether the board shows what the expectation says; `why` tells what it shows instead.
bool Holds(const Expectation& e, Game& board, bool completed, std::string& why)
{
    Brick* brick = e.sound ? FindBrick(board, e.sound) : nullptr;
    if (e.sound && !brick) {
        why = "brick " + std::to_string(e.sound) + " is missing";
        return false;
    }
    switch (e.kind) {
    case Expectation::BrickInSlot: {
        const Slot& slot = (e.shelf == 0 ? board.staff->upperSlots : board.staff->lowerSlots).at(e.slot);
        const Rect r = brick->picture->GetRect();
        why = "the brick is at (" + std::to_string(r.left) + ", " + std::to_string(r.top) + ")";
        return slot.occupied && slot.brick == brick && r.left == slot.rect.left && r.top == slot.rect.top;
    }
    case Expectation::BrickHeld:
        why = "the brick is not held";
        return brick->dragging;
    case Expectation::BrickHome: {
        const Rect r = brick->picture->GetRect();
        why = "the brick is at (" + std::to_string(r.left) + ", " + std::to_string(r.top) + ")";
        return !brick->dragging && r.left == brick->homeX && r.top == brick->homeY;
    }
    case Expectation::GramophonePlaying:
        why = board.gramophone->playing ? "the gramophone plays" : "the gramophone is silent";
        return board.gramophone->playing == e.playing;
    case Expectation::StaffPlaying:
        why = board.staff->playing ? "the staff plays" : "the staff is silent";
        return board.staff->playing == e.playing;
    case Expectation::Completed:
        why = "the staff has not announced the solution";
        return completed;
    }
    return false;
}

// Notes the moments at which the board changes, for the log the filming ends with.
class Chronicle {
public:
    void Look(int frame, Game& board, Program& program)
    {
        Note(frame, "gramophone", board.gramophone->playing ? "plays" : "stops", gramophone);
        Note(frame, "staff", board.staff->playing ? "plays" : "stops", staff);
        for (const auto& brick : board.bricks) {
            const Rect r = brick->picture->GetRect();
            const std::string state = brick->dragging ? "held"
                : r.left == brick->homeX && r.top == brick->homeY
                ? "in the bank"
                : "lands at (" + std::to_string(r.left) + ", " + std::to_string(r.top) + ")";
            Note(frame, "brick " + std::string(brick->soundName.begin(), brick->soundName.end()), state,
                bricks[brick.get()]);
        }
        for (std::uint32_t id : program.soundsStarted)
            lines.push_back(Seconds(frame) + "  sound " + NameOf(id, board) + " starts");
        program.soundsStarted.clear();
    }
    void Add(int frame, const std::string& text) { lines.push_back(Seconds(frame) + "  " + text); }

    std::vector<std::string> lines;

private:
    void Note(int frame, const std::string& what, const std::string& state, std::string& last)
    {
        if (state != last && !(last.empty() && (state == "stops" || state == "in the bank")))
            lines.push_back(Seconds(frame) + "  " + what + " " + state);
        last = state;
    }
    static std::string NameOf(std::uint32_t id, Game& board)
    {
        if (id == board.gramophone->melody)
            return "145 (the melody)";
        if (id && id == board.staff->upperRowSound)
            return "upper shelf's reference";
        if (id && id == board.staff->lowerRowSound)
            return "lower shelf's reference";
        for (const auto& brick : board.bricks)
            if (brick->sound == id)
                return std::string(brick->soundName.begin(), brick->soundName.end());
        return "#" + std::to_string(id) + " (the praise word)";
    }

    std::string gramophone, staff;
    std::map<const Brick*, std::string> bricks;
};

// ---------------------------------------------------------------------------------------------------------
// [SECTION] Filming
// ---------------------------------------------------------------------------------------------------------

// How big a keycap is drawn `since` seconds after it appears and `until` seconds before it goes: it pops up
// with a little overshoot and shrinks away.
double KeycapScale(double since, double until)
{
    constexpr double Pop = 0.28, Away = 0.16;
    if (since < Pop) {
        const double u = since / Pop;
        return 0.4 + 0.6 * u + 0.35 * std::sin(3.14159265358979 * u) * (1.0 - u * 0.5);
    }
    if (until < Away)
        return std::max(0.0, until / Away);
    return 1.0;
}

// The keycaps shown at time t, large in the middle of the frame.
void DrawKeycaps(std::vector<std::uint8_t>& frame, double t, const std::vector<Keycap>& shown,
    const std::map<std::string, OverlayPicture>& pictures)
{
    for (const Keycap& keycap : shown) {
        if (t < keycap.from || t >= keycap.to)
            continue;
        const OverlayPicture& cap = pictures.at(keycap.name);
        const double scale = KeycapScale(t - keycap.from, keycap.to - t);
        cap.DrawOnto(frame, Width, Height, Width / 2.0 - cap.width * scale / 2.0,
            Height / 2.0 - cap.height * scale / 2.0, scale);
    }
}
// The picture at time t of the ending: the program's last picture dissolving into the board as the game
// began, so the closing keys lie over the board the pupil is about to play on.
std::vector<std::uint8_t> Ending(
    const std::vector<std::uint8_t>& last, const std::vector<std::uint8_t>& start, double since)
{
    const double u = std::clamp(since / Dissolve, 0.0, 1.0);
    const double w = u * u * (3.0 - 2.0 * u);
    std::vector<std::uint8_t> out(last.size());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::uint8_t>(std::lround(last[i] + (double(start[i]) - last[i]) * w));
    return out;
}

struct FileCloser {
    void operator()(FILE* file) const
    {
        if (file)
            std::fclose(file);
    }
};

void PutLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The samples as a 16-bit stereo PCM WAV file at the output's rate, written whole or not at all.
bool WriteWav(const std::string& path, const std::vector<std::int16_t>& samples, std::string& error)
{
    const std::uint64_t dataBytes = samples.size() * sizeof(std::int16_t);
    if (dataBytes > 0xFFFFFF00u) {
        error = "the soundtrack is too long for a WAV file";
        return false;
    }
    std::vector<std::uint8_t> header;
    const std::uint32_t rate = AudioOutput::Rate;
    header.insert(header.end(), {'R', 'I', 'F', 'F'});
    PutLittleEndian(header, static_cast<std::uint32_t>(36 + dataBytes), 4);
    header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLittleEndian(header, 16, 4);
    PutLittleEndian(header, 1, 2);  // PCM
    PutLittleEndian(header, 2, 2);  // channels
    PutLittleEndian(header, rate, 4);
    PutLittleEndian(header, rate * 4, 4);
    PutLittleEndian(header, 4, 2);
    PutLittleEndian(header, 16, 2);
    header.insert(header.end(), {'d', 'a', 't', 'a'});
    PutLittleEndian(header, static_cast<std::uint32_t>(dataBytes), 4);
    std::vector<std::uint8_t> body;
    body.reserve(dataBytes);
    for (std::int16_t sample : samples)
        PutLittleEndian(body, static_cast<std::uint16_t>(sample), 2);
    const std::string temporary = path + ".part";
    FILE* out = std::fopen(temporary.c_str(), "wb");
    bool written = out && std::fwrite(header.data(), 1, header.size(), out) == header.size()
        && std::fwrite(body.data(), 1, body.size(), out) == body.size();
    if (out)
        written = std::fclose(out) == 0 && written;
    std::error_code code;
    if (written)
        std::filesystem::rename(temporary, path, code);
    if (!written || code) {
        std::remove(temporary.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}

// Where the encoded frames go: a file written under a temporary name and renamed when whole, or nowhere
// when the run only records the soundtrack.
class VideoFile {
public:
    explicit VideoFile(const std::string& path)
        : path(path)
        , temporary(path + ".part")
    {
    }
    ~VideoFile()
    {
        if (!done && file) {
            file.reset();
            std::remove(temporary.c_str());
        }
    }
    VideoFile(const VideoFile&) = delete;
    VideoFile& operator=(const VideoFile&) = delete;

    bool Begin(const TheoraSettings& settings, std::string& error)
    {
        if (path.empty())
            return true;
        file.reset(std::fopen(temporary.c_str(), "wb"));
        if (!file) {
            error = "cannot write " + temporary;
            return false;
        }
        encoder = std::make_unique<TheoraEncoder>([this](const unsigned char* data, std::size_t size) {
            return std::fwrite(data, 1, size, file.get()) == size;
        });
        if (!encoder->Begin(settings)) {
            error = encoder->Error();
            return false;
        }
        return true;
    }
    bool Wanted() const { return encoder != nullptr; }
    bool Add(const std::vector<std::uint8_t>& frame, std::string& error)
    {
        if (!encoder || encoder->AddFrame(frame))
            return true;
        error = encoder->Error();
        return false;
    }
    bool Finish(std::string& error)
    {
        if (!encoder)
            return true;
        if (!encoder->Finish()) {
            error = encoder->Error();
            return false;
        }
        if (std::fflush(file.get()) != 0 || std::ferror(file.get()) || std::fclose(file.release()) != 0) {
            error = "cannot write " + temporary;
            return false;
        }
        std::error_code code;
        std::filesystem::rename(temporary, path, code);
        if (code) {
            error = "cannot rename " + temporary + ": " + code.message();
            return false;
        }
        done = true;
        return true;
    }
    std::string Summary() const
    {
        if (!encoder)
            return "no video";
        return path + ": " + std::to_string(encoder->FramesAdded()) + " frames, "
            + std::to_string(std::filesystem::file_size(path)) + " bytes";
    }

private:
    const std::string path;
    const std::string temporary;
    std::unique_ptr<FILE, FileCloser> file;
    std::unique_ptr<TheoraEncoder> encoder;  // made by Begin, when there is a file to write
    bool done = false;
};

int Film(const Options& options)
{
    const auto started = std::chrono::steady_clock::now();
    FilmScript script;
    std::string error;
    if (!ReadFilmScript(options.script, script, error)) {
        std::cerr << "zv_film: " << error << "\n";
        return 1;
    }
    const int frames = options.frames ? options.frames : static_cast<int>(std::ceil(script.length * Fps - 1e-6));
    if (frames < script.length * Fps - 1e-6) {
        std::cerr << "zv_film: " << frames << " frames end before the commentary's " << script.length << " s\n";
        return 1;
    }
    OverlayPicture hand, handPressed;
    std::map<std::string, OverlayPicture> keycaps;
    bool loaded = hand.Load(options.hand, error) && handPressed.Load(options.handPressed, error);
    for (const auto& [name, path] : options.keycaps)
        loaded = loaded && keycaps[name].Load(path, error);
    if (!loaded) {
        std::cerr << "zv_film: " << error << "\n";
        return 1;
    }

    // Declared before the program: the slot below that writes them may run until the program is gone.
    int completedFrame = -1;
    int frame = 0;
    Program program;
    // The exercise step, as closing the first instruction starts it.
    program.app->NextStep();
    program.Turn(true);
    Game* board = program.app->board;
    if (!board) {
        std::cerr << "zv_film: the exercise step built no board\n";
        return 1;
    }
    board->staff->Completed.connect(Tracked<VoidSlot>(board, [&] {
        completedFrame = frame;
        return 0L;
    }));

    Demonstration demonstration(LookAt(*board));
    if (!demonstration.Plan(script, error)) {
        std::cerr << "zv_film: " << options.script << ", " << error << "\n";
        return 1;
    }
    for (const std::string& note : demonstration.notes)
        std::cout << "plan " << note << "\n";
    for (const Keycap& keycap : demonstration.keycaps)
        if (!keycaps.count(keycap.name)) {
            std::cerr << "zv_film: the script shows the keycap " << keycap.name << ", but no --keycap names it\n";
            return 1;
        }

    TheoraSettings settings = options.settings;
    settings.width = Width;
    settings.height = Height;
    settings.fpsNumerator = Fps;
    settings.fpsDenominator = 1;
    settings.title = "Звонкары 149";
    VideoFile video(options.output);
    auto fail = [](const std::string& message) {
        std::cerr << "zv_film: " << message << "\n";
        return 1;
    };
    if (!video.Begin(settings, error))
        return fail(error);

    Chronicle chronicle;
    std::vector<std::uint8_t> picture;  // the program's last frame
    std::vector<std::uint8_t> start;    // the board as the game began
    std::size_t nextExpectation = 0;
    Point mouse {-1, -1};
    bool down = false;
    for (frame = 0; frame < frames; ++frame) {
        const double t = double(frame) / Fps;
        const PointF handAt = demonstration.HandAt(t);
        const bool pressed = demonstration.ButtonDownAt(t);
        if (t < demonstration.stillFrom) {
            if (frame > 0)
                program.RunOneFrame();
            // The hand's move comes first, then its button, as the mouse reports them.
            const Point at {static_cast<int>(std::lround(handAt.x)), static_cast<int>(std::lround(handAt.y))};
            if (at.x != mouse.x || at.y != mouse.y)
                program.Mouse(EventCode::MouseMove, down ? MouseKey::Left : 0, at);
            if (pressed != down)
                program.Mouse(pressed ? EventCode::LeftDown : EventCode::LeftUp, pressed ? MouseKey::Left : 0, at);
            mouse = at;
            down = pressed;
            program.Turn(true);
            if (video.Wanted() || frame == 0)
                picture = program.ReadFrame();
            if (frame == 0)
                start = picture;
            chronicle.Look(frame, *board, program);
            if (completedFrame == frame)
                chronicle.Add(frame, "the staff announces the solution: the praise");
            for (; nextExpectation < demonstration.expectations.size(); ++nextExpectation) {
                const Expectation& e = demonstration.expectations[nextExpectation];
                if (e.at * Fps > frame + 1e-6)
                    break;
                if (std::string why; !Holds(e, *board, completedFrame >= 0, why))
                    return fail("at " + Seconds(frame) + ", after \"" + e.clause + "\": " + why);
            }
        } else if (frame > 0 && double(frame - 1) / Fps < demonstration.stillFrom) {
            chronicle.Add(frame, "the picture turns into the board as the game began and stands still");
        }
        if (!video.Wanted())
            continue;
        std::vector<std::uint8_t> shown
            = t < demonstration.stillFrom ? picture : Ending(picture, start, t - demonstration.stillFrom);
        DrawKeycaps(shown, t, demonstration.keycaps, keycaps);
        // Whole pixels, so the hand stays as crisp as it was drawn; it fades away with the ending's dissolve,
        // leaving the board as the pupil will find it.
        const double handOpacity
            = t < demonstration.stillFrom ? 1.0 : 1.0 - std::clamp((t - demonstration.stillFrom) / Dissolve, 0.0, 1.0);
        if (handOpacity > 0.0)
            (pressed ? handPressed : hand)
                .DrawOnto(shown, Width, Height, std::round(handAt.x - options.hotspot.x),
                    std::round(handAt.y - options.hotspot.y), 1.0, handOpacity);
        if (!video.Add(shown, error))
            return fail(error);
    }
    if (nextExpectation < demonstration.expectations.size())
        return fail("the video ends before \"" + demonstration.expectations[nextExpectation].clause + "\"");
    if (!video.Finish(error))
        return fail(error);
    if (!options.soundtrack.empty() && !WriteWav(options.soundtrack, program.audio->Samples(), error))
        return fail(error);

    for (const std::string& line : chronicle.lines)
        std::cout << "seen " << line << "\n";
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << "zv_film: " << video.Summary() << ", " << frames << " frames long";
    if (!options.soundtrack.empty())
        std::cout << ", soundtrack " << options.soundtrack << " " << program.audio->Samples().size() / 2 << " frames";
    std::cout << ", filmed in " << std::lround(wall) << " s\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!ParseArguments(argc, argv, options, error)) {
        std::cerr << "zv_film: " << error << "\n" << Usage;
        return 2;
    }
    try {
        return Film(options);
    } catch (const std::exception& e) {
        std::cerr << "zv_film: " << e.what() << "\n";
        return 1;
    }
}
