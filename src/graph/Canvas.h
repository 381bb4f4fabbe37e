// A raster drawing surface on a 32-bit pixel buffer: pen (colour, width), brush colour,
// move-to / line-to and a filled rectangle with the pen's outline. Used on one thread at a
// time (the user-interface thread in the program); it holds no locks.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace myrl {

// Colours are 0x00BBGGRR: red in the low byte.
constexpr uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) |
           (static_cast<uint32_t>(b) << 16);
}

// One drawing operation as a canvas records it (see Canvas::Record).
struct CanvasOp {
    bool Rect = false; // FillRect(X0, Y0, X1, Y1); else MoveTo(X0, Y0), LineTo(X1, Y1)
    int X0 = 0;
    int Y0 = 0;
    int X1 = 0;
    int Y1 = 0;
    uint32_t Pen = 0;
    int PenWidth = 1;
    uint32_t Brush = 0;

    bool operator==(const CanvasOp&) const = default;

    // The pixels it may touch, L..R and T..B (inclusive, unclipped).
    struct Box {
        int64_t L = 0;
        int64_t T = 0;
        int64_t R = -1;
        int64_t B = -1;
    };
    Box Reach() const;
};

class Canvas {
public:
    // A picture of w x h pixels (negative sizes count as 0), every pixel `fill`.
    explicit Canvas(int w = 0, int h = 0, uint32_t fill = 0);

    int Width() const { return width_; }
    int Height() const { return height_; }

    // Row-major pixels, Width() per row, each as a 32-bit RGB image holds it: 0xFFRRGGBB
    // (Stored of its colour), so a display can show the buffer as it is. The pointer is
    // invalidated by Resize.
    const uint32_t* Bits() const { return pixels_.data(); }
    // A colour 0x00BBGGRR as a pixel of Bits(), and back.
    static constexpr uint32_t Stored(uint32_t c) {
        return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
    }
    static constexpr uint32_t Colour(uint32_t p) {
        return ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
    }
    // The colour of pixel (x, y); 0 outside the picture.
    uint32_t Pixel(int x, int y) const;

    // Changes the size to w x h. Pixels inside both the old and the new picture keep their
    // colour; new pixels get `fill`.
    void Resize(int w, int h, uint32_t fill);

    uint32_t PenColor() const { return penColor_; }
    void SetPenColor(uint32_t color) {
        penColor_ = color;
        penStored_ = Stored(color);
    }
    int PenWidth() const { return penWidth_; }
    void SetPenWidth(int width) { penWidth_ = width < 1 ? 1 : width; }
    uint32_t BrushColor() const { return brushColor_; }
    void SetBrushColor(uint32_t color) {
        brushColor_ = color;
        brushStored_ = Stored(color);
    }

    int PenX() const { return penX_; }
    int PenY() const { return penY_; }
    void MoveTo(int x, int y);
    // Draws from the pen position to (x, y) in the pen colour, covering the start pixel and
    // excluding the end pixel, then moves the pen to (x, y). Any slope and any 32-bit
    // coordinates; the parts outside the picture are cut off. A pen wider than one pixel
    // paints a square of PenWidth() pixels at every pixel of the line.
    void LineTo(int x, int y);
    // Rectangle covering x1..x2-1 and y1..y2-1 (corners in either order): an outline
    // PenWidth() pixels thick inside that area in the pen colour, the inside filled with the
    // brush colour. The pen position is unchanged.
    void FillRect(int x1, int y1, int x2, int y2);

    // Called after every drawing operation that may have changed pixels (LineTo, FillRect);
    // a display uses it to schedule a repaint. Runs on the drawing thread.
    void SetDrawHook(std::function<void()> hook) { drawHook_ = std::move(hook); }

    // Counts the operations that may have changed pixels (drawing and resizing): equal
    // values mean an unchanged picture.
    uint64_t Generation() const { return generation_; }

    // Keeps the drawing operations that reach the top-left w x h pixels, so that a screen
    // of finer pixels can draw the same picture at its own resolution; w or h below 1 stops
    // and forgets. An operation that covers the whole of that area drops the ones before
    // it, so a chart redrawn from its Clear keeps one redraw's worth. (Re)starting, and
    // Resize, forget what was kept.
    void Record(int w, int h);
    const std::vector<CanvasOp>& Recorded() const { return recorded_; }
    // The area's picture is that of the recorded operations alone: the first covers it.
    bool RecordedWhole() const { return recordedWhole_; }
    int RecordWidth() const { return recordW_; }
    int RecordHeight() const { return recordH_; }

private:
    void fillSpan(int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint32_t color);
    void stamp(int64_t x, int64_t y);
    void notify() {
        ++generation_;
        if (drawHook_) {
            drawHook_();
        }
    }

    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;
    uint32_t penColor_ = 0;
    int penWidth_ = 1;
    uint32_t brushColor_ = 0xFFFFFF;
    uint32_t penStored_ = Stored(0);
    uint32_t brushStored_ = Stored(0xFFFFFF);
    int penX_ = 0;
    int penY_ = 0;
    void record(const CanvasOp& op);

    std::function<void()> drawHook_;
    uint64_t generation_ = 0;
    int recordW_ = 0;
    int recordH_ = 0;
    bool recordedWhole_ = false;
    std::vector<CanvasOp> recorded_;
};

} // namespace myrl
