#include "render/CurveFlattening.h"

#include <agg_basics.h>

#include <algorithm>
#include <cmath>

void FlattenedCurve::reset()
{
    points.clear();
    next = 0;
}

unsigned FlattenedCurve::vertex(double* x, double* y)
{
    if (next >= points.size())
        return agg::path_cmd_stop;
    *x = points[next].x;
    *y = points[next].y;
    return next++ == 0 ? agg::path_cmd_move_to : agg::path_cmd_line_to;
}

int FlattenedCurve::SegmentsFor(double curvature)
{
    // curvature h^2 / 8 <= Tolerance with h = 1/n.
    const double segments = std::ceil(std::sqrt(curvature / (8 * Tolerance)));
    if (!(segments >= 1))  // also a NaN from a point at infinity
        return 1;
    return static_cast<int>(std::min(segments, double(MaxSegments)));
}

void QuadraticCurve::init(double x1, double y1, double x2, double y2, double x3, double y3)
{
    reset();
    // B'' = 2 (P1 - 2 P2 + P3), the same everywhere.
    const int n = SegmentsFor(2 * std::hypot(x1 - 2 * x2 + x3, y1 - 2 * y2 + y3));
    points.reserve(std::size_t(n) + 1);
    points.push_back({x1, y1});
    for (int i = 1; i < n; ++i) {
        const double t = double(i) / n;
        const double u = 1 - t;
        const double a = u * u;
        const double b = 2 * u * t;
        const double c = t * t;
        points.push_back({a * x1 + b * x2 + c * x3, a * y1 + b * y2 + c * y3});
    }
    points.push_back({x3, y3});
}

void CubicCurve::init(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4)
{
    reset();
    // B'' = 6 ((1 - t) (P1 - 2 P2 + P3) + t (P2 - 2 P3 + P4)): at most 6 times the larger of the two.
    const double first = std::hypot(x1 - 2 * x2 + x3, y1 - 2 * y2 + y3);
    const double second = std::hypot(x2 - 2 * x3 + x4, y2 - 2 * y3 + y4);
    const int n = SegmentsFor(6 * std::max(first, second));
    points.reserve(std::size_t(n) + 1);
    points.push_back({x1, y1});
    for (int i = 1; i < n; ++i) {
        const double t = double(i) / n;
        const double u = 1 - t;
        const double a = u * u * u;
        const double b = 3 * u * u * t;
        const double c = 3 * u * t * t;
        const double d = t * t * t;
        points.push_back({a * x1 + b * x2 + c * x3 + d * x4, a * y1 + b * y2 + c * y3 + d * y4});
    }
    points.push_back({x4, y4});
}
