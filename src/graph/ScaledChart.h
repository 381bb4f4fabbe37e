// A chart drawn for a screen of finer pixels (a scale factor above 1): the recorded
// drawing operations of its canvas (Canvas::Record) are drawn again at the screen's
// resolution, so lines stay one chart pixel wide and crisp instead of being enlarged
// pixel by pixel. Positions map by floor(v * scale); rows, columns and rectangles cover
// the device pixels of the chart pixels they cover (lines with a constant width of
// round(pen width * scale)); slanted lines run between the device positions of their end
// points. At scale 1 the result is the chart's own picture, pixel for pixel.
#pragma once

#include "Canvas.h"

namespace myrl {

// Device size of `chartPixels` chart pixels: ceil(chartPixels * scale).
int DeviceSize(int chartPixels, double scale);

// Draws the recorded area of `chart` (RecordWidth() x RecordHeight(), which must be
// recording) into `device`, resized to the area's device size. Without a recording that
// starts from a whole-area fill (RecordedWhole()), the area's pixels are enlarged instead.
void DrawScaled(const Canvas& chart, double scale, Canvas& device);

} // namespace myrl
