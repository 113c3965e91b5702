#pragma once
// Pixel geometry shared by every layer: y grows downwards, right and bottom
// edges lie outside the rectangle.

#include <algorithm>
#include <cstdint>
#include <optional>

// The program draws an 800x600 picture; the window shows it scaled.
inline constexpr int BackBufferWidth = 800;
inline constexpr int BackBufferHeight = 600;

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
    bool Contains(Point p) const { return left <= p.x && p.x < right && top <= p.y && p.y < bottom; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The common part of a and b, or nothing when it has no positive width or height.
inline std::optional<Rect> Intersect(const Rect& a, const Rect& b)
{
    Rect r {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom)
        return std::nullopt;
    return r;
}
