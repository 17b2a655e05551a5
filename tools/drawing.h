#pragma once
// Shapes the picture programs (the demo's, the icon) draw with: coverage
// from a signed distance, and the distance to a rounded rectangle.
#include <algorithm>
#include <cmath>

namespace velmora::drawing {

// Coverage of a shape from its signed distance in pixels (negative inside).
inline double Edge(double distance) { return std::clamp(0.5 - distance, 0.0, 1.0); }

// Signed distance to a rounded rectangle [x0, x1] x [y0, y1].
inline double RoundRect(double x, double y, double x0, double y0, double x1, double y1, double radius) {
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const double hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    const double qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

}  // namespace velmora::drawing
