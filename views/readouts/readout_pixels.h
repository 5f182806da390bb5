// Whole-pixel points, lines and boxes that the pure layout functions hand to painting.
#pragma once

struct PixelPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PixelPoint&) const = default;
};

struct PixelLine {
    PixelPoint from;
    PixelPoint to;
    bool operator==(const PixelLine&) const = default;
};

// (left, top)-(right, bottom), the right and bottom edges outside, as the
// drawing calls take their boxes.
struct PixelBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const PixelBox&) const = default;
    bool empty() const { return right <= left || bottom <= top; }
};
