// Index of this file:
//   [SECTION] The hand's way
//   [SECTION] Actions
//   [SECTION] Reading the directions

#include "tools/film/Demonstration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>

namespace {

constexpr double PressLead = 0.12;   // a button is held this long before the release that clicks it
constexpr double Settle = 0.08;      // the hand stands still this long before it presses
constexpr double LiftPixels = 10.0;  // how far a held brick is lifted off its place
constexpr double LiftTime = 0.3;     //

double Distance(PointF a, PointF b)
{
    return std::hypot(a.x - b.x, a.y - b.y);
}

// How long the hand takes to glide over a distance: quick over short ways, never hasty over long ones.
double GlideTime(double distance)
{
    return 0.35 + distance / 700.0;
}

PointF Centre(const Rect& r)
{
    return {(r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0};
}

double SmoothStep(double u)
{
    return u * u * (3.0 - 2.0 * u);
}

// Centripetal Catmull-Rom would be gentler at tight corners; the bank's corners are wide enough for this.
PointF CatmullRom(PointF p0, PointF p1, PointF p2, PointF p3, double u)
{
    const double u2 = u * u, u3 = u2 * u;
    auto axis = [&](double a, double b, double c, double d) {
        return 0.5
            * (2.0 * b + (c - a) * u + (2.0 * a - 5.0 * b + 4.0 * c - d) * u2 + (3.0 * b - a - 3.0 * c + d) * u3);
    };
    return {axis(p0.x, p1.x, p2.x, p3.x), axis(p0.y, p1.y, p2.y, p3.y)};
}

std::string Times(const Direction& d)
{
    char text[48];
    if (d.to > d.from)
        std::snprintf(text, sizeof text, "%6.2f-%6.2f s", d.from, d.to);
    else
        std::snprintf(text, sizeof text, "%6.2f        s", d.from);
    return text;
}

}  // namespace

Demonstration::Demonstration(const BoardPlaces& places)
    : places(places)
{
}

// ---------------------------------------------------------------------------------------------------------
// [SECTION] The hand's way
// ---------------------------------------------------------------------------------------------------------

PointF Demonstration::HandAt(double t) const
{
    if (keys.empty())
        return {};
    if (t <= keys.front().at)
        return keys.front().point;
    for (std::size_t i = 1; i < keys.size(); ++i) {
        const Key& a = keys[i - 1];
        const Key& b = keys[i];
        if (t > b.at)
            continue;
        if (b.at <= a.at)
            return b.point;
        double u = (t - a.at) / (b.at - a.at);
        if (b.eased)
            u = SmoothStep(u);
        return {a.point.x + (b.point.x - a.point.x) * u, a.point.y + (b.point.y - a.point.y) * u};
    }
    return keys.back().point;
}

bool Demonstration::ButtonDownAt(double t) const
{
    bool down = false;
    for (const MouseButtonChange& change : buttonChanges) {
        if (change.at > t)
            break;
        down = change.down;
    }
    return down;
}

// The hand waits where it is until `from`, then goes to target by `to`. A way that would start before the
// hand has arrived from its last one starts when it arrives.
void Demonstration::MoveTo(double from, double to, PointF point, bool eased)
{
    const double last = keys.back().at;
    from = std::max(from, last);
    to = std::max(to, from);
    if (from > last)
        keys.push_back({from, keys.back().point, false});
    keys.push_back({to, point, eased});
}

void Demonstration::HoldStill(double until)
{
    MoveTo(until, until, keys.back().point, false);
}

// Glides to target in its natural time, arriving by `latest` and starting no earlier than `earliest`.
void Demonstration::GlideTo(double earliest, double latest, PointF point)
{
    const double distance = Distance(keys.back().point, point);
    if (distance < 0.5)
        return;
    const double start = std::max(earliest, latest - GlideTime(distance));
    MoveTo(start, latest, point);
}

// ---------------------------------------------------------------------------------------------------------
// [SECTION] Actions
// ---------------------------------------------------------------------------------------------------------

void Demonstration::Press(double at)
{
    HoldStill(at);
    buttonChanges.push_back({at, true});
}

void Demonstration::Release(double at)
{
    HoldStill(at);
    buttonChanges.push_back({at, false});
}

// A button clicks when it is released: the press comes a moment before `at`, so what the click starts
// starts at `at`.
void Demonstration::Click(double at, PointF point)
{
    GlideTo(keys.back().at, at - PressLead - Settle, point);
    Press(at - PressLead);
    Release(at);
    target = point;
}

void Demonstration::Wander(double from, double to)
{
    // Along each shelf and down to the next, turning at the ends: right, left, right, left.
    HoldStill(from);
    std::vector<PointF> way {keys.back().point};
    const double left = places.bankLeft + 12.0, right = places.bankRight - 12.0;
    for (std::size_t row = 0; row < places.shelfMiddles.size(); ++row) {
        const double y = places.shelfMiddles[row];
        way.push_back({row % 2 == 0 ? left : right, y});
        way.push_back({row % 2 == 0 ? right : left, y});
    }
    std::vector<PointF> points;
    constexpr int Samples = 24;
    for (std::size_t i = 0; i + 1 < way.size(); ++i) {
        const PointF p0 = way[i == 0 ? 0 : i - 1], p3 = way[std::min(i + 2, way.size() - 1)];
        for (int s = i == 0 ? 0 : 1; s <= Samples; ++s)
            points.push_back(CatmullRom(p0, way[i], way[i + 1], p3, double(s) / Samples));
    }
    double length = 0.0;
    std::vector<double> along {0.0};
    for (std::size_t i = 1; i < points.size(); ++i)
        along.push_back(length += Distance(points[i - 1], points[i]));
    // A steady pace, setting off and arriving gently.
    for (std::size_t i = 1; i < points.size(); ++i) {
        const double u = along[i] / length;
        // The time at which the eased progress reaches u: SmoothStep inverted by bisection.
        double low = 0.0, high = 1.0;
        for (int k = 0; k < 40; ++k)
            (SmoothStep((low + high) / 2.0) < u ? low : high) = (low + high) / 2.0;
        MoveTo(keys.back().at, from + (to - from) * (0.2 * high + 0.8 * u), points[i], false);
    }
}

PointF Demonstration::BrickCentre(int sound) const
{
    return Centre(places.bricks.at(sound));
}

// Presses the brick under the hand and lifts it a little, as a pupil does who listens to it.
bool Demonstration::TakeBrick(double at, int sound, std::string& error)
{
    if (!places.bricks.count(sound)) {
        error = "there is no brick " + std::to_string(sound) + " on the board";
        return false;
    }
    if (heldBrick) {
        error = "the hand still holds brick " + std::to_string(heldBrick);
        return false;
    }
    const Rect& home = places.bricks.at(sound);
    const PointF hand = keys.back().point;
    Press(at);
    heldBrick = sound;
    grab = {hand.x - home.left, hand.y - home.top};
    MoveTo(at + 0.08, at + 0.08 + LiftTime, {hand.x, hand.y - LiftPixels});
    return true;
}

// Carries the held brick so that its corner lands on the slot's, and lets it go at releaseAt.
void Demonstration::PutBrick(double from, double releaseAt, int shelf, int slot, const std::string& clause)
{
    const Rect& place = places.slots[shelf][slot];
    MoveTo(from, releaseAt - 0.06, {place.left + grab.x, place.top + grab.y});
    Release(releaseAt);
    staffSlots[shelf][slot] = heldBrick;
    Expectation e;
    e.at = releaseAt + 0.04;
    e.kind = Expectation::BrickInSlot;
    e.sound = heldBrick;
    e.shelf = shelf;
    e.slot = slot;
    e.clause = clause;
    expectations.push_back(e);
    heldBrick = 0;
}

bool Demonstration::Solved() const
{
    for (int shelf = 0; shelf < 2; ++shelf) {
        if (staffSlots[shelf].size() != places.solution[shelf].size())
            return false;
        for (std::size_t i = 0; i < places.solution[shelf].size(); ++i) {
            const auto found = staffSlots[shelf].find(places.solutionSlots[shelf][i]);
            if (found == staffSlots[shelf].end() || found->second != places.solution[shelf][i])
                return false;
        }
    }
    return true;
}

void Demonstration::Expect(double at, Expectation::Kind kind, const std::string& clause, int sound, bool playing)
{
    Expectation e;
    e.at = at;
    e.kind = kind;
    e.sound = sound;
    e.playing = playing;
    e.clause = clause;
    expectations.push_back(e);
}

// ---------------------------------------------------------------------------------------------------------
// [SECTION] Reading the directions
// ---------------------------------------------------------------------------------------------------------

bool Demonstration::Plan(const FilmScript& script, std::string& error)
{
    keys = {{0.0, {400.0, 300.0}, false}};
    target = keys.back().point;
    for (const Direction& direction : script.directions) {
        if (!Follow(direction, error)) {
            error = "line " + std::to_string(direction.line) + ", \"" + direction.text + "\": " + error;
            return false;
        }
    }
    if (heldBrick) {
        error = "the script ends with brick " + std::to_string(heldBrick) + " in the hand";
        return false;
    }
    std::stable_sort(expectations.begin(), expectations.end(),
        [](const Expectation& a, const Expectation& b) { return a.at < b.at; });
    return true;
}

bool Demonstration::Follow(const Direction& d, std::string& error)
{
    const std::string& text = d.text;
    const double span = d.to - d.from;
    std::smatch m;
    auto note = [&](const std::string& what) { notes.push_back(Times(d) + "  " + what + "  <- " + text); };
    auto shelfOf = [](const std::string& name) { return name == "upper" ? 0 : 1; };
    auto slotOf = [&](int shelf, const std::string& number, int& slot) {
        slot = std::stoi(number);
        if (slot < 0 || slot >= int(places.slots[shelf].size())) {
            error = "there is no slot " + number + " on that shelf";
            return false;
        }
        return true;
    };

    static const std::regex restAt(R"(\bthe hand rests\b.*\bat \((\d+), (\d+)\))");
    static const std::regex restRightOfStaff(R"(\bthe hand rests right of the staff\b)");
    static const std::regex glideToButton(R"(\bglides to the (gramophone|staff)'s button\b)");
    static const std::regex pressHold(R"(\bpresses the brick and holds it\b)");
    static const std::regex pressButton(R"(\bpresses (?:the (gramophone|staff)'s button|the button|it)\b)");
    static const std::regex wander(R"(\bglides slowly along the four bank shelves\b)");
    static const std::regex moveOntoBrick(R"(\bmoves onto brick (\d+)\b)");
    static const std::regex carry(R"(\bcarries brick (\d+) to (upper|lower) slot (\d+)\b)");
    static const std::regex carryOver(R"(\bcarries brick (\d+) over the (upper|lower) shelf\b)");
    static const std::regex carryBack(R"(\bcarries brick (\d+) back to its place in the bank and lets it go\b)");
    static const std::regex drag(
        R"(^(?:(?:the hand|it) drags )?(?:long |short )?brick (\d+) to (upper|lower) slot (\d+)\b)");
    static const std::regex still(R"(\bthe board as the game begins, still\b)");
    static const std::regex keycap(R"(\bthe keycap (F\d+)\b)");
    static const std::regex aboutTheHand(R"(^(?:the hand|it)\b)");

    if (std::regex_search(text, m, restAt) || std::regex_search(text, m, restRightOfStaff)) {
        const PointF point = m.size() > 1 ? PointF {std::stod(m[1]), std::stod(m[2])}
                                          : PointF {double(places.rightOfStaff.x), double(places.rightOfStaff.y)};
        const double way = GlideTime(Distance(keys.back().point, point));
        GlideTo(d.from, d.from + std::min(std::max(span, 0.0), way), point);
        target = point;
        note("rest at (" + std::to_string(int(point.x)) + ", " + std::to_string(int(point.y)) + ")");
    } else if (std::regex_search(text, m, glideToButton)) {
        const PointF point = Centre(m[1] == "gramophone" ? places.gramophoneButton : places.staffButton);
        MoveTo(d.from, d.to, point);
        target = point;
        note("glide to the " + m[1].str() + "'s button");
    } else if (std::regex_search(text, m, pressHold)) {
        if (!brickUnderHand) {
            error = "the hand is over no brick";
            return false;
        }
        if (!TakeBrick(d.from, brickUnderHand, error))
            return false;
        Expect(d.from + 0.5, Expectation::BrickHeld, text, heldBrick);
        note("press brick " + std::to_string(heldBrick) + " and hold it up");
    } else if (std::regex_search(text, m, pressButton)) {
        const bool gramophone
            = m[1].matched ? m[1] == "gramophone" : Distance(target, Centre(places.gramophoneButton)) < 1.0;
        const bool staff = m[1].matched ? m[1] == "staff" : Distance(target, Centre(places.staffButton)) < 1.0;
        if (!gramophone && !staff) {
            error = "the hand is at no button";
            return false;
        }
        Click(d.from, Centre(gramophone ? places.gramophoneButton : places.staffButton));
        if (gramophone) {
            gramophonePlaying = !gramophonePlaying;
            Expect(d.from + 0.04, Expectation::GramophonePlaying, text, 0, gramophonePlaying);
        } else {
            staffPlaying = !staffPlaying;
            Expect(d.from + 0.04, Expectation::StaffPlaying, text, 0, staffPlaying);
            if (!staffPlaying && Solved())
                Expect(d.from + 0.04, Expectation::Completed, text);
        }
        note(std::string("click the ") + (gramophone ? "gramophone" : "staff") + "'s button");
    } else if (std::regex_search(text, m, wander)) {
        Wander(d.from, d.to);
        note("wander along the bank");
    } else if (std::regex_search(text, m, moveOntoBrick)) {
        brickUnderHand = std::stoi(m[1]);
        if (!places.bricks.count(brickUnderHand)) {
            error = "there is no brick " + m[1].str();
            return false;
        }
        target = BrickCentre(brickUnderHand);
        MoveTo(d.from, d.to, target);
        note("move onto brick " + m[1].str());
    } else if (std::regex_search(text, m, carry)) {
        const int sound = std::stoi(m[1]);
        const int shelf = shelfOf(m[2]);
        int slot = 0;
        if (!slotOf(shelf, m[3], slot))
            return false;
        if (heldBrick != sound) {
            error = "the hand does not hold brick " + m[1].str();
            return false;
        }
        PutBrick(d.from, d.to - 0.1, shelf, slot, text);
        note("carry brick " + m[1].str() + " to " + m[2].str() + " slot " + m[3].str());
    } else if (std::regex_search(text, m, carryOver)) {
        // Held up over a shelf of the staff without letting go, as a pupil does who is still deciding.
        const int shelf = shelfOf(m[2]);
        if (heldBrick != std::stoi(m[1])) {
            error = "the hand does not hold brick " + m[1].str();
            return false;
        }
        const std::vector<Rect>& slots = places.slots[shelf];
        const Rect& over = slots[slots.size() / 2];
        MoveTo(d.from, d.to, {over.left + grab.x, over.top - LiftPixels + grab.y});
        Expect(d.to, Expectation::BrickHeld, text, heldBrick);
        note("carry brick " + m[1].str() + " over the " + m[2].str() + " shelf");
    } else if (std::regex_search(text, m, carryBack)) {
        // Back to where it was taken and let go: it lies in its place in the bank again.
        if (heldBrick != std::stoi(m[1])) {
            error = "the hand does not hold brick " + m[1].str();
            return false;
        }
        const Rect& home = places.bricks.at(heldBrick);
        MoveTo(d.from, d.to - 0.06, {home.left + grab.x, home.top + grab.y});
        Release(d.to);
        Expect(d.to + 0.04, Expectation::BrickHome, text, heldBrick);
        heldBrick = 0;
        note("carry brick " + m[1].str() + " back to the bank and let it go");
    } else if (std::regex_search(text, m, drag)) {
        const int sound = std::stoi(m[1]);
        const int shelf = shelfOf(m[2]);
        int slot = 0;
        if (!slotOf(shelf, m[3], slot))
            return false;
        if (!places.bricks.count(sound)) {
            error = "there is no brick " + m[1].str();
            return false;
        }
        // Over to the brick, press, a moment to hear it, across to the slot, let go, a breath.
        MoveTo(d.from, d.from + 0.3 * span, BrickCentre(sound));
        if (!TakeBrick(d.from + 0.33 * span, sound, error))
            return false;
        PutBrick(d.from + 0.48 * span, d.from + 0.88 * span, shelf, slot, text);
        note("drag brick " + m[1].str() + " to " + m[2].str() + " slot " + m[3].str());
    } else if (std::regex_search(text, m, still)) {
        stillFrom = std::min(stillFrom, d.from);
        note("the picture stands still");
    } else if (std::regex_search(text, m, keycap)) {
        keycaps.push_back({m[1], d.from, d.to});
        note("keycap " + m[1].str());
    } else if (std::regex_search(text, m, aboutTheHand)) {
        error = "the hand cannot do this";
        return false;
    } else {
        note("(the game)");
    }
    return true;
}
