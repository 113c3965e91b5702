#pragma once
// Shows the back buffer in the window's own pixels, scaled with bilinear
// filtering between black letterbox bars, and sends only what changed.
//
// It keeps the frame it showed last: a new frame is compared with it row by
// row, and only the window pixels whose samples read a changed back-buffer
// pixel are scaled again, so a blinking caret costs a few hundred window
// pixels instead of the whole screen. Every window pixel is computed from
// fixed per-column and per-row tables, so a partial update writes exactly what
// a whole one would. The bars are drawn once per window size.
//
// Works on plain pixel memory (32-bit, X R G B from the top byte down); the
// device hands it the window surface's pixels. Leaves out: other pixel formats.

#include "events/Geometry.h"

#include <cstdint>
#include <vector>

// Pixels of one 32-bit picture: rows `pitch` bytes apart.
struct PixelRows {
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;  // bytes

    std::uint32_t* Row(int y) const
    {
        return reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(pixels) + std::ptrdiff_t(y) * pitch);
    }
};

class WindowPresenter {
public:
    WindowPresenter(int backBufferWidth, int backBufferHeight);

    // Forgets what the window shows: the next Present draws the bars and the
    // whole frame (the window was exposed, or its pixels were lost).
    void Invalidate() { shownValid = false; }

    // Writes into window what changed in back since the last call and returns
    // the window rectangles written (none when nothing changed). A window of a
    // new size or at a new address is drawn whole, bars included.
    std::vector<Rect> Present(const PixelRows& back, const PixelRows& window);

    // Where the back buffer lands in the window of the last Present.
    Rect Picture() const { return picture; }

private:
    // One axis of the scale: for each window pixel of the picture, the first
    // of its two back-buffer samples and the second one's weight (0..256).
    struct Taps {
        std::vector<int> first;
        std::vector<std::uint32_t> weight;
        int backSize = 0;
        void Build(int backSize, int windowSize);
        // The window pixels [begin, end) that read back-buffer pixels [from, to).
        void Reading(int from, int to, int& begin, int& end) const;
    };

    void Resize(const PixelRows& window);
    void ScaleArea(const PixelRows& back, const PixelRows& window, const Rect& area);
    void ScaleRow(const std::uint32_t* backRow, int begin, int end, std::uint32_t* out) const;
    // Changed back-buffer rectangles: runs of changed rows with their columns' span.
    std::vector<Rect> ChangedBands(const PixelRows& back) const;
    void Remember(const PixelRows& back, const Rect& band);

    int backWidth;
    int backHeight;
    std::vector<std::uint32_t> shown;    // the back buffer as last shown, backWidth x backHeight
    bool shownValid = false;             // false until the first whole present and after Invalidate
    const void* windowPixels = nullptr;  // the window memory and size the tables were built for
    int windowWidth = 0;
    int windowHeight = 0;
    Rect picture;  // the scaled back buffer's place in the window
    Taps columns;
    Taps rows;
    // Two horizontally scaled back-buffer rows, reused from one window row to the next.
    std::vector<std::uint32_t> upper, lower;
};
