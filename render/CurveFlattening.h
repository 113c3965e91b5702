#pragma once
// Bezier curves as polylines, for AGG's conv_curve in place of its curve3 and curve4 (which live in AGG's compiled
// library; with these the program uses AGG's headers only). A curve of n segments has its points at equal steps of
// the parameter, n chosen so that no point of the curve lies farther than Tolerance from the polyline: the
// distance between a curve and its chord over a step h is at most max|B''| h^2 / 8.
//
// The interface is the part of curve3/curve4 that conv_curve calls: init, reset, and vertex, which gives the start
// as a move_to, every later point as a line_to, and then stop.

#include <vector>

class FlattenedCurve {
public:
    // The largest distance in pixels between the curve and its polyline.
    static constexpr double Tolerance = 0.05;
    // The most segments one curve becomes, however large it is.
    static constexpr int MaxSegments = 512;

    void reset();
    unsigned vertex(double* x, double* y);

protected:
    struct Point {
        double x;
        double y;
    };
    // Segments needed when the curve's second derivative is at most `curvature` in length.
    static int SegmentsFor(double curvature);
    std::vector<Point> points;

private:
    std::size_t next = 0;
};

class QuadraticCurve : public FlattenedCurve {
public:
    void init(double x1, double y1, double x2, double y2, double x3, double y3);
};

class CubicCurve : public FlattenedCurve {
public:
    void init(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);
};
