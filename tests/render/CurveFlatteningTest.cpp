// Bezier curves become polylines that stay within the tolerance of the true curve, start and end exactly on its end
// points, and keep the command sequence AGG's conv_curve expects.

#include "render/CurveFlattening.h"

#include <agg_basics.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

struct P {
    double x;
    double y;
};

std::vector<P> Drain(FlattenedCurve& curve, std::vector<unsigned>* commands = nullptr)
{
    std::vector<P> out;
    double x = 0;
    double y = 0;
    for (unsigned command; (command = curve.vertex(&x, &y)) != agg::path_cmd_stop;) {
        out.push_back({x, y});
        if (commands)
            commands->push_back(command);
    }
    return out;
}

double DistanceToSegment(P p, P a, P b)
{
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    const double t = length2 == 0 ? 0 : std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// The farthest any of 4000 points of the exact curve lies from the polyline.
double WorstDistance(const std::vector<P>& polyline, const std::function<P(double)>& exact)
{
    double worst = 0;
    for (int i = 0; i <= 4000; ++i) {
        const P p = exact(i / 4000.0);
        double nearest = std::numeric_limits<double>::infinity();
        for (std::size_t s = 0; s + 1 < polyline.size(); ++s)
            nearest = std::min(nearest, DistanceToSegment(p, polyline[s], polyline[s + 1]));
        worst = std::max(worst, nearest);
    }
    return worst;
}

struct CubicCase {
    const char* what;
    double c[8];
};

const CubicCase Cubics[] = {
    {"a gentle arc", {0, 0, 10, 20, 30, 20, 40, 0}},
    {"an S", {0, 0, 100, 0, 0, 100, 100, 100}},
    {"a loop", {0, 0, 300, 200, -200, 200, 100, 0}},
    {"a cusp", {0, 0, 100, 100, 0, 100, 100, 0}},
    {"a glyph-sized bowl", {3.25, 0.5, 3.25, 7.75, 11.5, 7.75, 11.5, 0.5}},
};

class CubicFlattening : public ::testing::TestWithParam<CubicCase> { };

TEST_P(CubicFlattening, StaysWithinTheToleranceAndEndsOnTheEndPoints)
{
    const double* c = GetParam().c;
    CubicCurve curve;
    curve.init(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
    std::vector<unsigned> commands;
    const std::vector<P> points = Drain(curve, &commands);
    ASSERT_GE(points.size(), 2u);
    EXPECT_EQ(commands.front(), unsigned(agg::path_cmd_move_to));
    EXPECT_TRUE(
        std::all_of(commands.begin() + 1, commands.end(), [](unsigned k) { return k == agg::path_cmd_line_to; }));
    EXPECT_EQ(points.front().x, c[0]);
    EXPECT_EQ(points.front().y, c[1]);
    EXPECT_EQ(points.back().x, c[6]);
    EXPECT_EQ(points.back().y, c[7]);
    const double worst = WorstDistance(points, [c](double t) {
        const double u = 1 - t;
        return P {u * u * u * c[0] + 3 * u * u * t * c[2] + 3 * u * t * t * c[4] + t * t * t * c[6],
            u * u * u * c[1] + 3 * u * u * t * c[3] + 3 * u * t * t * c[5] + t * t * t * c[7]};
    });
    EXPECT_LE(worst, FlattenedCurve::Tolerance) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(Shapes, CubicFlattening, ::testing::ValuesIn(Cubics));

TEST(QuadraticFlattening, StaysWithinTheToleranceWithFewSegmentsForASmallCurve)
{
    const double c[6] = {0, 0, 50, 80, 100, 0};
    QuadraticCurve curve;
    curve.init(c[0], c[1], c[2], c[3], c[4], c[5]);
    const std::vector<P> points = Drain(curve);
    const double worst = WorstDistance(points, [&c](double t) {
        const double u = 1 - t;
        return P {u * u * c[0] + 2 * u * t * c[2] + t * t * c[4], u * u * c[1] + 2 * u * t * c[3] + t * t * c[5]};
    });
    EXPECT_LE(worst, FlattenedCurve::Tolerance);
    EXPECT_EQ(points.back().x, 100);

    // A glyph's curve a few pixels across needs a handful of points, not hundreds.
    curve.init(0, 0, 2, 3, 4, 0);
    EXPECT_LE(Drain(curve).size(), 8u);
}

TEST(QuadraticFlattening, DegenerateAndHugeCurvesStayBounded)
{
    QuadraticCurve curve;
    curve.init(5, 5, 5, 5, 5, 5);
    std::vector<unsigned> commands;
    const std::vector<P> point = Drain(curve, &commands);
    ASSERT_EQ(point.size(), 2u);
    EXPECT_EQ(commands, (std::vector<unsigned> {agg::path_cmd_move_to, agg::path_cmd_line_to}));

    curve.init(0, 0, 1e300, -1e300, 0, 0);
    EXPECT_LE(Drain(curve).size(), std::size_t(FlattenedCurve::MaxSegments) + 1);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    curve.init(0, 0, nan, 0, 1, 1);
    EXPECT_EQ(Drain(curve).size(), 2u);

    curve.reset();
    double x = 0;
    double y = 0;
    EXPECT_EQ(curve.vertex(&x, &y), unsigned(agg::path_cmd_stop));
}

}  // namespace
