// Small value types of the drawing API that the text functions take and
// return: sizes, rectangles and the string format. They carry the same
// members and enumerator values as the drawing API they stand in for; only
// what text measurement uses is provided.
#ifndef WRENUTIL_PLATFORM_GF_GDIPLUS_TYPES_H_
#define WRENUTIL_PLATFORM_GF_GDIPLUS_TYPES_H_

#include <cstdint>

namespace Gdiplus {

// A size in floating-point units. Default: (0, 0).
struct SizeF {
  float Width = 0.0f;
  float Height = 0.0f;

  SizeF() = default;
  SizeF(float width, float height) : Width(width), Height(height) {}
};

// A rectangle in floating-point units: origin (X, Y), extent (Width, Height).
// Default: all zero.
struct RectF {
  float X = 0.0f;
  float Y = 0.0f;
  float Width = 0.0f;
  float Height = 0.0f;

  RectF() = default;
  RectF(float x, float y, float width, float height) : X(x), Y(y), Width(width), Height(height) {}
  bool IsEmptyArea() const { return Width <= 0.0f || Height <= 0.0f; }
};

// Horizontal (alignment) or vertical (line alignment) placement of lines
// relative to the origin or the layout rectangle.
enum StringAlignment {
  StringAlignmentNear = 0,
  StringAlignmentCenter = 1,
  StringAlignmentFar = 2,
};

// Format flags. The text engine honours DirectionRightToLeft (near and far
// swap; the paragraph direction of the bidirectional order), NoFontFallback
// (no Chinese fallback face for missing glyphs), MeasureTrailingSpaces
// (trailing white space counts in line widths), NoWrap (no wrapping inside a
// layout rectangle), LineLimit (only whole lines inside a layout rectangle)
// and NoClip (the layout rectangle does not clip the measured box). The
// others, DirectionVertical included (see text_engine.h), are accepted and
// have no effect.
enum StringFormatFlags {
  StringFormatFlagsDirectionRightToLeft = 0x00000001,
  StringFormatFlagsDirectionVertical = 0x00000002,
  StringFormatFlagsNoFitBlackBox = 0x00000004,
  StringFormatFlagsDisplayFormatControl = 0x00000020,
  StringFormatFlagsNoFontFallback = 0x00000400,
  StringFormatFlagsMeasureTrailingSpaces = 0x00000800,
  StringFormatFlagsNoWrap = 0x00001000,
  StringFormatFlagsLineLimit = 0x00002000,
  StringFormatFlagsNoClip = 0x00004000,
};

// The neutral language id (the default of a string format).
inline constexpr std::uint16_t LANG_NEUTRAL = 0;

// How a string is laid out: flags, language and alignments. A default
// string format has no flags, the neutral language and near alignment both
// ways. A plain value; copying is cheap.
class StringFormat {
 public:
  StringFormat() = default;
  explicit StringFormat(int format_flags, std::uint16_t language = LANG_NEUTRAL)
      : flags_(format_flags), language_(language) {}

  int GetFormatFlags() const { return flags_; }
  void SetFormatFlags(int flags) { flags_ = flags; }
  std::uint16_t GetLanguage() const { return language_; }
  StringAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(StringAlignment align) { alignment_ = align; }
  StringAlignment GetLineAlignment() const { return line_alignment_; }
  void SetLineAlignment(StringAlignment align) { line_alignment_ = align; }

 private:
  int flags_ = 0;
  std::uint16_t language_ = LANG_NEUTRAL;
  StringAlignment alignment_ = StringAlignmentNear;
  StringAlignment line_alignment_ = StringAlignmentNear;
};

}  // namespace Gdiplus

#endif  // WRENUTIL_PLATFORM_GF_GDIPLUS_TYPES_H_
