// Internals of the text engine, shared by its sources and its tests. Not
// part of the platform's API.
#ifndef WRENUTIL_PLATFORM_GF_TEXT_ENGINE_INTERNAL_H_
#define WRENUTIL_PLATFORM_GF_TEXT_ENGINE_INTERNAL_H_

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <unicode/ubidi.h>
#include <unicode/ubrk.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/gf/gdiplus_types.h"

namespace platform {

namespace text_internal {

// Metrics of one glyph in em units (1 = the em size), y growing upwards.
struct GlyphMetrics {
  float advance = 0;
  float xmin = 0, ymin = 0, xmax = 0, ymax = 0;
  bool has_outline = false;
};

}  // namespace text_internal

// A loaded face and its caches. The caches grow under the engine's lock.
class TextFace {
 public:
  ~TextFace() {
    if (ft != nullptr) FT_Done_Face(ft);
  }

  struct Glyph {
    const TextFace* owner = nullptr;  // this face or the fallback face
    std::uint32_t glyph = 0;          // glyph index in `owner`
    text_internal::GlyphMetrics metrics;
  };

  FT_Face ft = nullptr;
  std::string family;
  std::string file;
  double ascender = 0;     // em units
  double line_height = 0;  // em units
  bool has_kerning = false;
  // Glyphs by code point: [0] without, [1] with the fallback face.
  mutable std::array<std::array<Glyph, 128>, 2> ascii{};
  mutable std::array<std::array<bool, 128>, 2> ascii_loaded{};
  mutable std::unordered_map<std::uint32_t, Glyph> glyphs;
  mutable std::unordered_map<std::uint32_t, text_internal::GlyphMetrics> metrics;
  mutable std::unordered_map<std::uint64_t, float> kerning;
};

namespace text_internal {

using GlyphInfo = TextFace::Glyph;

// Re-encodes wide text as UTF-16; code points that are not characters
// become U+FFFD.
void WideToUtf16(std::wstring_view s, std::u16string& out);

enum class ItemKind : std::uint8_t { kGlyph, kSpace, kBreak, kControl };

// One code point of a shaped string.
struct Item {
  size_t offset = 0;  // UTF-16 offset of its first unit
  const GlyphInfo* glyph = nullptr;
  float advance = 0;  // em units
  float kern = 0;     // em units, against the previous glyph
  ItemKind kind = ItemKind::kControl;
};

struct Shaped {
  std::vector<Item> items;
  std::vector<double> prefix;     // pen before item i; size n + 1
  std::vector<size_t> last_kept;  // one past the last counted item before i
  size_t end_offset = 0;

  // Advance width of items [begin, end) without trailing white space (or
  // line ends), in em units.
  double Width(size_t begin, size_t end) const;
};

// A line: items [begin, end) (the end may include white space and the line
// end), its counted width in em units.
struct Line {
  size_t begin = 0;
  size_t end = 0;
  double width = 0;
};

// A glyph of a line placed in visual order: its item, the glyph drawn (the
// mirrored form in a right-to-left run) and its pen position in em units
// from the line's start.
struct Placed {
  size_t item = 0;
  const GlyphInfo* glyph = nullptr;
  double pen = 0;
};

class Engine {
 public:
  static Engine& Get();

  bool Startup();
  bool started() const { return started_.load(std::memory_order_acquire); }
  std::mutex& mutex() { return mu_; }

  const TextFace* Find(const std::string& family_utf8);

  // The functions below need the lock held.
  Gdiplus::RectF OutlineLocked(const TextFace& face, float em_size, std::u16string_view text,
                               const Gdiplus::StringFormat& format);
  Gdiplus::RectF LayoutLocked(const TextFace& face, float units_per_em, std::u16string_view text,
                              const Gdiplus::RectF& layout, const Gdiplus::StringFormat& format);
  void ShapeLocked(const TextFace& face, std::u16string_view text,
                   const Gdiplus::StringFormat& format, Shaped& out);
  void BreakLinesLocked(const Shaped& shaped, std::u16string_view text, bool wrap, double width,
                        std::vector<Line>& lines);
  // Places the items of `line` in visual order: the runs of the Unicode
  // bidirectional algorithm (paragraph right-to-left when `rtl`), each
  // right-to-left run reversed and its mirrorable characters mirrored.
  void PlaceLineLocked(const TextFace& face, const Shaped& shaped, std::u16string_view text,
                       const Line& line, bool rtl, bool fallback, std::vector<Placed>& out);
  std::u16string_view ToUtf16(std::wstring_view text);
  FT_Library library() const { return library_; }
  const Shaped& shaped() const { return shaped_; }
  const std::vector<Line>& lines() const { return lines_; }

  // Offset of a box of `extent` placed by `align` against an origin (near
  // 0, centre -extent/2, far -extent); `swap` exchanges near and far.
  static double AlignOffset(Gdiplus::StringAlignment align, bool swap, double extent);

 private:
  Engine() = default;
  void Shutdown();

  TextFace* ResolveLocked(const std::string& family_utf8);
  TextFace* LoadFaceLocked(const std::string& file, int index, const std::string& family);
  const GlyphMetrics& MetricsLocked(const TextFace& face, std::uint32_t glyph);
  const GlyphInfo& GlyphLocked(const TextFace& face, char32_t cp, bool allow_fallback);
  float KerningLocked(const TextFace& face, std::uint32_t left, std::uint32_t right);

  std::once_flag once_;
  std::atomic<bool> started_{false};
  std::mutex mu_;
  FT_Library library_ = nullptr;
  FcConfig* config_ = nullptr;
  UBreakIterator* breaker_ = nullptr;
  UBiDi* bidi_ = nullptr;
  TextFace* fallback_ = nullptr;
  std::map<std::string, std::unique_ptr<TextFace>> faces_by_file_;
  std::unordered_map<std::string, TextFace*> faces_by_name_;
  // Scratch buffers reused by every call (under the lock).
  Shaped shaped_;
  std::vector<Line> lines_;
  std::vector<Placed> placed_;
  std::u16string wide_scratch_;
};

}  // namespace text_internal
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_GF_TEXT_ENGINE_INTERNAL_H_
