// Ear clipping of one planar polygon of any corner count, in the plane's
// dominant axis. Corners are referred to by their position in the polygon.
#pragma once

#include <array>
#include <vector>

#include "foundation/matrix.h"

// At most n - 2 triangles, wound like the polygon; fewer when the walk runs
// out of ears (the missing area is simply not drawn).
std::vector<std::array<int, 3>> triangulatePolygon(const std::vector<Position3>& corners);

// Barycentric coordinates (u, v, w) of p for the triangle (a, b, c), in
// double precision: p = u a + v b + w c when p lies in its plane. A
// degenerate triangle gives (-1, -1, -1).
std::array<double, 3> barycentricCoordinates(const Position3& p, const Position3& a, const Position3& b,
                                             const Position3& c);
