#pragma once
// The demonstration the video films, planned from the stage directions: where the hand is at every moment,
// when the mouse button goes down and up, which keycap lies over the picture, from when the picture stands
// still, and what the board must show after each action (the filming checks it, so a direction that the
// game did not follow stops the filming instead of giving a wrong video).
//
// The planner understands the directions the commentary's script uses: the hand resting, gliding to a
// button or a brick, pressing a button, wandering along the bank, holding a brick, carrying or dragging a
// brick into a slot of the staff, holding one over a shelf and carrying it back to the bank, the still
// board of the ending and the keycaps.
// A clause about the hand that it does not understand is an error; any other clause describes what the game
// does by itself and is only listed.

#include "events/Geometry.h"
#include "tools/film/Directions.h"

#include <limits>
#include <map>
#include <string>
#include <vector>

// Where things are on the board being filmed, in screen pixels.
struct BoardPlaces {
    Rect gramophoneButton;              // the gramophone's play button
    Rect staffButton;                   // the staff's play button
    Point rightOfStaff;                 // a resting place between the staff and the gramophone
    std::map<int, Rect> bricks;         // each brick's place in the bank, by its sound number
    std::vector<Rect> slots[2];         // the slots of the upper (0) and lower (1) shelf
    std::vector<int> shelfMiddles;      // y of the middle of the bricks of each bank shelf, top down
    int bankLeft = 0;                   // x range the bank's bricks cover
    int bankRight = 0;                  //
    std::vector<int> solution[2];       // the sounds the solution puts into each shelf, left to right
    std::vector<int> solutionSlots[2];  // the slots they start in
};

struct PointF {
    double x = 0.0;
    double y = 0.0;
};

// Something the board must show at a moment of the film.
struct Expectation {
    enum Kind {
        BrickInSlot,        // `sound` starts in slot `slot` of shelf `shelf`
        BrickHeld,          // `sound` is held
        BrickHome,          // `sound` lies at its place in the bank, not held
        GramophonePlaying,  // the gramophone plays (`playing`) or not
        StaffPlaying,       // the staff plays or not
        Completed,          // the staff has announced the solution
    };
    double at = 0.0;
    Kind kind = BrickInSlot;
    int sound = 0;
    int shelf = 0;
    int slot = 0;
    bool playing = false;
    std::string clause;  // the direction it comes from
};

struct MouseButtonChange {
    double at = 0.0;
    bool down = false;
};

struct Keycap {
    std::string name;  // "F1", "F12"
    double from = 0.0;
    double to = 0.0;
};

class Demonstration {
public:
    explicit Demonstration(const BoardPlaces& places);

    // Plans every direction of the script; false with `error` at the first one it cannot follow.
    bool Plan(const FilmScript& script, std::string& error);

    PointF HandAt(double t) const;
    bool ButtonDownAt(double t) const;

    std::vector<MouseButtonChange> buttonChanges;                // in time order
    std::vector<Expectation> expectations;                       // in time order
    std::vector<Keycap> keycaps;                                 // in time order
    double stillFrom = std::numeric_limits<double>::infinity();  // from here on the picture turns into the board
                                                                 // as the game begins and stands still
    std::vector<std::string> notes;                              // what each direction became, for the log

private:
    struct Key {
        double at;
        PointF point;
        bool eased;  // the way from the key before eases in and out; otherwise it is straight and steady
    };

    bool Follow(const Direction& direction, std::string& error);
    void MoveTo(double from, double to, PointF target, bool eased = true);
    void HoldStill(double until);
    void GlideTo(double from, double latest, PointF target);
    void Press(double at);
    void Release(double at);
    void Click(double at, PointF target);
    void Wander(double from, double to);
    bool TakeBrick(double at, int sound, std::string& error);
    void PutBrick(double from, double releaseAt, int shelf, int slot, const std::string& clause);
    PointF BrickCentre(int sound) const;
    bool Solved() const;
    void Expect(double at, Expectation::Kind kind, const std::string& clause, int sound = 0, bool playing = false);

    const BoardPlaces places;
    std::vector<Key> keys;   // the hand's way, in time order
    PointF target;           // what "the button" and "it" mean: the last place the hand went to
    int brickUnderHand = 0;  // the brick the hand moved onto, or 0
    int heldBrick = 0;       // the brick the hand holds, or 0
    PointF grab;             // where the held brick was taken, from its top-left corner
    bool gramophonePlaying = false;
    bool staffPlaying = false;
    std::map<int, int> staffSlots[2];  // slot -> sound of the bricks placed so far
};
