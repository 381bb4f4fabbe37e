// Pixel rectangles and positions of the windows' layout tables.
#pragma once

namespace myrl {

struct LayoutRect {
    int x, y, w, h; // left, top, width, height
};
struct LayoutPos {
    int x, y; // left, top
};

} // namespace myrl
