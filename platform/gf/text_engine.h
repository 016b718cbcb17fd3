// The text engine of the GF stand-in: resolves font faces by family name,
// measures the outline of a string and lays text out in lines within a
// width, and draws text to a PNG file.
//
// Faces are resolved with fontconfig (with a Chinese-language preference, so
// generic names such as "sans-serif" pick a face that covers Chinese) and
// loaded with FreeType. Glyph outlines are used unhinted, so measurements
// scale linearly with the size. Line breaking follows ICU's line break rules.
//
// Choices of this engine:
// - A family name resolves when an installed face carries it as one of its
//   family names (compared ignoring case and blanks, so "dejavu sans" and
//   "DejaVuSans" find "DejaVu Sans", and a localised name such as
//   "文泉驿微米黑" finds its face), or when it is one of the generic names
//   "sans-serif", "sans", "serif", "monospace", "mono", "system-ui". Any other
//   name resolves to nothing; fontconfig's substitutes are not taken.
// - A character that the face lacks is taken from the Chinese fallback face
//   (the face fontconfig picks for "sans-serif" in Chinese), unless the
//   format has StringFormatFlagsNoFontFallback; when neither has it, the
//   face's missing-glyph box stands in.
// - Lines end at "\r\n", "\n", "\r", vertical tab, form feed, U+0085,
//   U+2028 and U+2029 (the mandatory breaks of the line breaking rules). A
//   tab advances by four spaces; other control characters take no room.
// - Line height is the face's line spacing (ascender - descender + gap);
//   line i has its baseline at ascender + i * line height below the top.
// - Within a line, glyphs are placed in visual order by the Unicode
//   bidirectional algorithm (ICU's ubidi): the paragraph is left-to-right,
//   or right-to-left with StringFormatFlagsDirectionRightToLeft; each
//   right-to-left run is set from its end, and its characters that have a
//   mirrored form (brackets) are drawn mirrored. Kerning applies within
//   left-to-right runs. Joining scripts are not shaped: Arabic letters keep
//   their isolated forms, so such text measures a little wider than a
//   shaping engine would set it. Advance widths (and so wrapping and layout
//   boxes) do not depend on the order; outline bounds do.
// - StringFormatFlagsDirectionVertical is accepted and has no effect: text
//   is always set in horizontal lines. A vertical layout needs vertical
//   advances and origins, which most installed faces (DejaVu, WenQuanYi)
//   do not carry, and rules for which characters stand upright and which
//   turn; the library sets contact names and labels horizontally only, so
//   guessing those metrics would give boxes no caller can check.
//
// All functions may be called from any thread (the engine serialises them);
// the library calls them from the user-interface thread.
#ifndef WRENUTIL_PLATFORM_GF_TEXT_ENGINE_H_
#define WRENUTIL_PLATFORM_GF_TEXT_ENGINE_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/common/kzbase.h"
#include "platform/gf/gdiplus_types.h"

namespace platform {

// Units (pixels) per point at 96 dots per inch.
inline constexpr float kUnitsPerPoint = 96.0f / 72.0f;

// A resolved face. Opaque; owned by the engine and valid until the process
// ends, so the pointers handed out are borrowed and never freed.
class TextFace;

// Initialises the engine once (FreeType and fontconfig); later calls return
// at once. Returns true when the engine is ready, false when it cannot start
// (it then stays down and every measurement gives zero). Stands for the
// start-up of the drawing API and is never undone.
KZ_PLATFORM_API bool TextEngineStartup();

// True once TextEngineStartup has succeeded.
KZ_PLATFORM_API bool TextEngineStarted();

// Resolves a family name to a face (see the header comment for the rule).
// Returns nullptr when the name resolves to nothing, the name is empty, or
// the engine is not started. Results, also negative ones, are cached.
KZ_PLATFORM_API const TextFace* FindTextFace(std::u16string_view family);
KZ_PLATFORM_API const TextFace* FindTextFace(std::wstring_view family);
KZ_PLATFORM_API const TextFace* FindTextFaceUtf8(std::string_view family);

// The primary family name of a face and the file it was loaded from (UTF-8).
// Empty for nullptr.
KZ_PLATFORM_API std::string TextFaceFamilyName(const TextFace* face);
KZ_PLATFORM_API std::string TextFaceFile(const TextFace* face);

// The bounds of the outlines of `text` set in `face` with an em size of
// `em_size` units, with the origin at (0, 0) and the top of the first line
// at y = 0, y growing downwards. The outline of each glyph is placed along
// the pen advance (with kerning); lines end only at line breaks. With near
// alignment a line starts at x = 0; centre and far alignment put its middle
// or its end at x = 0 (the origin), and line alignment does the same
// vertically with the block of lines. Right-to-left swaps near and far.
// Returns an all-zero rectangle when `face` is nullptr, `em_size` is not
// positive, or the text has no outline (empty, only white space).
KZ_PLATFORM_API Gdiplus::RectF MeasureTextOutline(const TextFace* face, float em_size,
                                                  std::u16string_view text,
                                                  const Gdiplus::StringFormat& format);
KZ_PLATFORM_API Gdiplus::RectF MeasureTextOutline(const TextFace* face, float em_size,
                                                  std::wstring_view text,
                                                  const Gdiplus::StringFormat& format);

// The box that `text` fills when laid out in `face` at `point_size` points
// (at 96 dots per inch, so one point is 4/3 units) in `layout`. Lines break
// at ICU line break opportunities so that each line's advance width fits the
// layout width; a word wider than a whole line is broken between
// characters, with at least one character per line. The box's width is the
// widest line's advance (trailing white space not counted), its height the
// number of lines times the line height; it is placed in the layout
// rectangle by the alignments (near: at its top-left corner).
// Choices: a layout width of 0 (or less) means no wrapping, a layout height
// of 0 (or less) means no height limit; otherwise the box is clipped to the
// layout rectangle (the last line may show in part) unless the format says
// otherwise (NoClip, LineLimit). `format` may be nullptr (default format).
// Returns an all-zero rectangle when `face` is nullptr, `point_size` is not
// positive, or the text is empty.
KZ_PLATFORM_API Gdiplus::RectF MeasureTextLayout(const TextFace* face, float point_size,
                                                 std::u16string_view text,
                                                 const Gdiplus::RectF& layout,
                                                 const Gdiplus::StringFormat* format);
KZ_PLATFORM_API Gdiplus::RectF MeasureTextLayout(const TextFace* face, float point_size,
                                                 std::wstring_view text,
                                                 const Gdiplus::RectF& layout,
                                                 const Gdiplus::StringFormat* format);

// Draws `text` in black on white into a PNG file at `png_path`, with each of
// `boxes` outlined in red. The text is set as by MeasureTextLayout with an
// em size of `em_pixels` pixels and a layout width of `wrap_width` (0: no
// wrapping), so boxes measured in the same units line up with the glyphs.
// Everything is magnified by `scale` (1 or more) for viewing; the image
// covers the text and the boxes plus a small margin. Returns false when
// `face` is nullptr, `em_pixels` or `scale` is not positive, or the file
// cannot be written.
KZ_PLATFORM_API bool DrawTextPng(const TextFace* face, float em_pixels, std::u16string_view text,
                                 float wrap_width, const std::vector<Gdiplus::RectF>& boxes,
                                 float scale, const std::string& png_path);
KZ_PLATFORM_API bool DrawTextPng(const TextFace* face, float em_pixels, std::wstring_view text,
                                 float wrap_width, const std::vector<Gdiplus::RectF>& boxes,
                                 float scale, const std::string& png_path);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_GF_TEXT_ENGINE_H_
