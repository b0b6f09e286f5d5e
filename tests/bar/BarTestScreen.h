// The screen the bar suites dock on: 1024 x 768, with a task bar over the bottom 28 pixels.
#pragma once

#include "bar/AppBarGeometry.h"

namespace mq::bar {

// Positional: screen width and height, work area, cx/cyBorder, cxVScroll, cyHScroll,
// cx/cyDoubleClk.
inline BarMetrics Screen1024() { return {1024, 768, {0, 0, 1024, 740}, 1, 2, 16, 16, 4, 5}; }

}  // namespace mq::bar
