// Integer rectangles and sizes of the window system, as the GF framework and
// the text functions take them.
#ifndef WRENUTIL_PLATFORM_GF_GF_GEOMETRY_H_
#define WRENUTIL_PLATFORM_GF_GF_GEOMETRY_H_

#include <cstdint>

using LONG = std::int32_t;

// A rectangle by its edges; right and bottom lie just outside it.
struct tagRECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;

  friend bool operator==(const tagRECT&, const tagRECT&) = default;
};
using RECT = tagRECT;

// A size: cx across, cy down.
struct tagSIZE {
  LONG cx = 0;
  LONG cy = 0;

  friend bool operator==(const tagSIZE&, const tagSIZE&) = default;
};
using SIZE = tagSIZE;

// A RECT with constructors and extents; passes wherever a RECT is taken.
class CRect : public tagRECT {
 public:
  CRect() = default;
  CRect(LONG l, LONG t, LONG r, LONG b) : tagRECT{l, t, r, b} {}
  CRect(const RECT& rect) : tagRECT(rect) {}  // NOLINT: implicit like RECT
  LONG Width() const { return right - left; }
  LONG Height() const { return bottom - top; }
};

#endif  // WRENUTIL_PLATFORM_GF_GF_GEOMETRY_H_
