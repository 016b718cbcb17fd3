#include "platform/gf/text_engine.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_OUTLINE_H
#include <unicode/ubidi.h>
#include <unicode/ubrk.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gf/text_engine_internal.h"

namespace platform {
namespace text_internal {
namespace {

constexpr char kChineseLang[] = "zh-cn";
constexpr std::array<const char*, 6> kGenericFamilies = {"sans-serif", "sans", "serif",
                                                         "monospace",  "mono", "system-ui"};

// Lower-cases ASCII letters and drops blanks, the way family names compare.
std::string NormaliseFamily(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    if (c == ' ') continue;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    out.push_back(c);
  }
  return out;
}

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one code point from UTF-16 at `i`, advancing `i`. Unpaired
// surrogates become U+FFFD.
char32_t NextCodePoint(std::u16string_view s, size_t& i) {
  char32_t c = s[i++];
  if (c >= 0xD800 && c <= 0xDBFF) {
    if (i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
      char32_t lo = s[i++];
      return 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
    }
    return 0xFFFD;
  }
  if (c >= 0xDC00 && c <= 0xDFFF) return 0xFFFD;
  return c;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) AppendUtf8(NextCodePoint(s, i), out);
  return out;
}

// The mandatory breaks of the line breaking rules.
bool IsLineBreak(char32_t c) {
  return c == u'\n' || c == u'\r' || c == 0x0B || c == 0x0C || c == 0x85 || c == 0x2028 ||
         c == 0x2029;
}

}  // namespace

void WideToUtf16(std::wstring_view s, std::u16string& out) {
  out.clear();
  out.reserve(s.size());
  for (wchar_t wc : s) {
    auto c = static_cast<std::uint32_t>(wc);
    if constexpr (sizeof(wchar_t) == 2) {
      out.push_back(static_cast<char16_t>(c));
      continue;
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
}

// --- Engine -----------------------------------------------------------------

Engine& Engine::Get() {
  // Never destroyed: faces are handed out as borrowed pointers for the life
  // of the process.
  static Engine* engine = new Engine();
  return *engine;
}

bool Engine::Startup() {
  std::call_once(once_, [this] {
    std::lock_guard<std::mutex> lock(mu_);
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      return;
    }
    config_ = FcInitLoadConfigAndFonts();
    if (config_ == nullptr) return;
    UErrorCode status = U_ZERO_ERROR;
    breaker_ = ubrk_open(UBRK_LINE, "zh_CN", nullptr, 0, &status);
    if (U_FAILURE(status)) {
      breaker_ = nullptr;
      return;
    }
    bidi_ = ubidi_open();
    if (bidi_ == nullptr) return;
    fallback_ = ResolveLocked("sans-serif");
    started_.store(true, std::memory_order_release);
    // The engine is never shut down while the process runs; at exit it lets
    // go of the libraries' state so that leak checkers see a clean process.
    std::atexit([] { Get().Shutdown(); });
  });
  return started_.load(std::memory_order_acquire);
}

void Engine::Shutdown() {
  std::lock_guard<std::mutex> lock(mu_);
  started_.store(false, std::memory_order_release);
  fallback_ = nullptr;
  faces_by_name_.clear();
  faces_by_file_.clear();
  if (breaker_ != nullptr) ubrk_close(breaker_);
  breaker_ = nullptr;
  if (bidi_ != nullptr) ubidi_close(bidi_);
  bidi_ = nullptr;
  if (config_ != nullptr) {
    FcConfigDestroy(config_);
    FcFini();
  }
  config_ = nullptr;
  if (library_ != nullptr) FT_Done_FreeType(library_);
  library_ = nullptr;
}

TextFace* Engine::LoadFaceLocked(const std::string& file, int index, const std::string& family) {
  std::string key = file + "#" + std::to_string(index);
  auto it = faces_by_file_.find(key);
  if (it != faces_by_file_.end()) return it->second.get();
  FT_Face ft = nullptr;
  if (FT_New_Face(library_, file.c_str(), index, &ft) != 0) return nullptr;
  if (!FT_IS_SCALABLE(ft) || ft->units_per_EM == 0) {
    FT_Done_Face(ft);
    return nullptr;
  }
  auto face = std::make_unique<TextFace>();
  face->ft = ft;
  face->family = family;
  face->file = file;
  double upem = ft->units_per_EM;
  face->ascender = ft->ascender / upem;
  face->line_height = ft->height / upem;
  if (face->line_height <= 0) face->line_height = (ft->ascender - ft->descender) / upem;
  face->has_kerning = FT_HAS_KERNING(ft);
  TextFace* raw = face.get();
  faces_by_file_.emplace(std::move(key), std::move(face));
  return raw;
}

TextFace* Engine::ResolveLocked(const std::string& family_utf8) {
  std::string key = NormaliseFamily(family_utf8);
  if (key.empty()) return nullptr;
  auto it = faces_by_name_.find(key);
  if (it != faces_by_name_.end()) return it->second;

  TextFace* result = nullptr;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family_utf8.c_str()));
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(kChineseLang));
  FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcConfigSubstitute(config_, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult fc_result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config_, pattern, &fc_result);
  FcPatternDestroy(pattern);
  if (match != nullptr) {
    bool accepted =
        std::find(kGenericFamilies.begin(), kGenericFamilies.end(), key) != kGenericFamilies.end();
    FcChar8* value = nullptr;
    std::string primary;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &value) == FcResultMatch; ++i) {
      std::string name(reinterpret_cast<const char*>(value));
      if (i == 0) primary = name;
      if (NormaliseFamily(name) == key) accepted = true;
    }
    FcChar8* file = nullptr;
    int index = 0;
    if (accepted && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      result = LoadFaceLocked(reinterpret_cast<const char*>(file), index, primary);
    }
    FcPatternDestroy(match);
  }
  faces_by_name_.emplace(std::move(key), result);
  return result;
}

const TextFace* Engine::Find(const std::string& family_utf8) {
  if (!Startup()) return nullptr;
  std::lock_guard<std::mutex> lock(mu_);
  return ResolveLocked(family_utf8);
}

const GlyphMetrics& Engine::MetricsLocked(const TextFace& face, std::uint32_t glyph) {
  auto it = face.metrics.find(glyph);
  if (it != face.metrics.end()) return it->second;
  GlyphMetrics m;
  if (FT_Load_Glyph(face.ft, glyph,
                    FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP |
                        FT_LOAD_IGNORE_TRANSFORM) == 0) {
    FT_GlyphSlot slot = face.ft->glyph;
    const double upem = face.ft->units_per_EM;
    auto em = [upem](FT_Pos v) { return static_cast<float>(static_cast<double>(v) / upem); };
    m.advance = em(slot->advance.x);
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE && slot->outline.n_points > 0) {
      FT_BBox box;
      FT_Outline_Get_BBox(&slot->outline, &box);
      m.has_outline = true;
      m.xmin = em(box.xMin);
      m.ymin = em(box.yMin);
      m.xmax = em(box.xMax);
      m.ymax = em(box.yMax);
    }
  }
  return face.metrics.emplace(glyph, m).first->second;
}

const GlyphInfo& Engine::GlyphLocked(const TextFace& face, char32_t cp, bool allow_fallback) {
  const size_t table = allow_fallback ? 1 : 0;
  if (cp < 128 && face.ascii_loaded[table][cp]) return face.ascii[table][cp];
  const std::uint32_t key = static_cast<std::uint32_t>(cp) | (allow_fallback ? 0u : 0x80000000u);
  if (cp >= 128) {
    auto it = face.glyphs.find(key);
    if (it != face.glyphs.end()) return it->second;
  }
  GlyphInfo info;
  info.owner = &face;
  info.glyph = FT_Get_Char_Index(face.ft, cp);
  if (info.glyph == 0 && allow_fallback && fallback_ != nullptr && fallback_ != &face) {
    std::uint32_t other = FT_Get_Char_Index(fallback_->ft, cp);
    if (other != 0) {
      info.owner = fallback_;
      info.glyph = other;
    }
  }
  info.metrics = MetricsLocked(*info.owner, info.glyph);
  if (cp < 128) {
    face.ascii_loaded[table][cp] = true;
    return face.ascii[table][cp] = info;
  }
  return face.glyphs.emplace(key, info).first->second;
}

float Engine::KerningLocked(const TextFace& face, std::uint32_t left, std::uint32_t right) {
  if (!face.has_kerning) return 0.0f;
  const std::uint64_t key = (static_cast<std::uint64_t>(left) << 32) | right;
  auto it = face.kerning.find(key);
  if (it != face.kerning.end()) return it->second;
  FT_Vector delta{0, 0};
  float value = 0.0f;
  if (FT_Get_Kerning(face.ft, left, right, FT_KERNING_UNSCALED, &delta) == 0) {
    value = static_cast<float>(static_cast<double>(delta.x) / face.ft->units_per_EM);
  }
  face.kerning.emplace(key, value);
  return value;
}

void Engine::ShapeLocked(const TextFace& face, std::u16string_view text,
                         const Gdiplus::StringFormat& format, Shaped& out) {
  const int flags = format.GetFormatFlags();
  const bool fallback = (flags & Gdiplus::StringFormatFlagsNoFontFallback) == 0;
  const bool trailing = (flags & Gdiplus::StringFormatFlagsMeasureTrailingSpaces) != 0;
  out.items.clear();
  out.prefix.clear();
  out.last_kept.clear();
  float space = GlyphLocked(face, U' ', fallback).metrics.advance;
  const GlyphInfo* prev = nullptr;
  for (size_t i = 0; i < text.size();) {
    Item item;
    item.offset = i;
    char32_t cp = NextCodePoint(text, i);
    if (IsLineBreak(cp)) {
      item.kind = ItemKind::kBreak;
      // "\r\n" is one line end, one item.
      if (cp == u'\r' && i < text.size() && text[i] == u'\n') ++i;
      prev = nullptr;
    } else if (cp == u'\t') {
      item.kind = ItemKind::kSpace;
      item.advance = 4 * space;
      prev = nullptr;
    } else if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) {
      item.kind = ItemKind::kControl;
    } else {
      const GlyphInfo& g = GlyphLocked(face, cp, fallback);
      item.glyph = &g;
      item.advance = g.metrics.advance;
      item.kind = u_isUWhiteSpace(static_cast<UChar32>(cp)) ? ItemKind::kSpace : ItemKind::kGlyph;
      if (prev != nullptr && prev->owner == g.owner) {
        item.kern = KerningLocked(*g.owner, prev->glyph, g.glyph);
      }
      prev = &g;
    }
    out.items.push_back(item);
  }
  out.end_offset = text.size();
  // prefix[i]: pen position before item i (kerning included);
  // last_kept[i]: one past the last item before i that counts in a width.
  const size_t n = out.items.size();
  out.prefix.resize(n + 1);
  out.last_kept.resize(n + 1);
  double pen = 0;
  size_t kept = 0;
  out.prefix[0] = 0;
  out.last_kept[0] = 0;
  for (size_t j = 0; j < n; ++j) {
    const Item& item = out.items[j];
    pen += item.kern + item.advance;
    out.prefix[j + 1] = pen;
    bool counts = item.kind == ItemKind::kGlyph || (trailing && item.kind == ItemKind::kSpace);
    if (counts) kept = j + 1;
    out.last_kept[j + 1] = kept;
  }
}

double Shaped::Width(size_t begin, size_t end) const {
  size_t stop = std::max(begin, last_kept[end]);
  if (stop == begin) return 0;
  return prefix[stop] - prefix[begin] - items[begin].kern;
}

void Engine::BreakLinesLocked(const Shaped& shaped, std::u16string_view text, bool wrap,
                              double width, std::vector<Line>& lines) {
  lines.clear();
  const size_t n = shaped.items.size();
  if (n == 0) return;
  auto push = [&](size_t b, size_t e) { lines.push_back(Line{b, e, shaped.Width(b, e)}); };
  if (!wrap) {
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) {
      if (shaped.items[i].kind == ItemKind::kBreak) {
        push(start, i + 1);
        start = i + 1;
      }
    }
    if (start < n) push(start, n);
    return;
  }
  UErrorCode status = U_ZERO_ERROR;
  ubrk_setText(breaker_, reinterpret_cast<const UChar*>(text.data()),
               static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) {
    BreakLinesLocked(shaped, text, false, width, lines);
    return;
  }
  size_t start = 0;
  size_t last_fit = 0;  // 0: no break opportunity fits on this line yet
  size_t item = 0;      // walks the items alongside the UTF-16 boundaries
  for (int32_t b = ubrk_next(breaker_); b != UBRK_DONE; b = ubrk_next(breaker_)) {
    const bool hard = ubrk_getRuleStatus(breaker_) >= UBRK_LINE_HARD;
    const auto offset = static_cast<size_t>(b);
    while (item < n && shaped.items[item].offset < offset) ++item;
    const size_t boundary = item;
    while (boundary > start) {
      if (shaped.Width(start, boundary) <= width) {
        last_fit = boundary;
        if (hard) {
          push(start, boundary);
          start = boundary;
          last_fit = 0;
        }
        break;
      }
      if (last_fit > start) {
        push(start, last_fit);
        start = last_fit;
        last_fit = 0;
        continue;
      }
      // A single word wider than the line: break it between characters,
      // keeping at least one character on the line.
      size_t k = start + 1;
      while (k < boundary && shaped.Width(start, k + 1) <= width) ++k;
      push(start, k);
      start = k;
    }
  }
  if (start < n) push(start, n);
}

void Engine::PlaceLineLocked(const TextFace& face, const Shaped& shaped, std::u16string_view text,
                             const Line& line, bool rtl, bool fallback, std::vector<Placed>& out) {
  out.clear();
  if (line.begin >= line.end) return;
  const std::vector<Item>& items = shaped.items;
  const size_t first = items[line.begin].offset;
  const size_t last = line.end < items.size() ? items[line.end].offset : shaped.end_offset;
  const std::u16string_view segment = text.substr(first, last - first);
  // Only text with characters from U+0590 up (or a right-to-left paragraph)
  // can hold a right-to-left run.
  bool logical =
      !rtl && std::all_of(segment.begin(), segment.end(), [](char16_t c) { return c < 0x0590; });
  UErrorCode status = U_ZERO_ERROR;
  if (!logical) {
    ubidi_setPara(bidi_, reinterpret_cast<const UChar*>(segment.data()),
                  static_cast<int32_t>(segment.size()), rtl ? UBIDI_RTL : UBIDI_LTR, nullptr,
                  &status);
    logical = U_FAILURE(status) || ubidi_getDirection(bidi_) == UBIDI_LTR;
  }
  if (logical) {
    const double origin = shaped.prefix[line.begin] + items[line.begin].kern;
    for (size_t i = line.begin; i < line.end; ++i) {
      out.push_back(Placed{i, items[i].glyph, shaped.prefix[i] + items[i].kern - origin});
    }
    return;
  }
  // The first item of the line at or after a UTF-16 offset of the segment.
  auto item_at = [&](int32_t offset) {
    const size_t target = first + static_cast<size_t>(offset);
    return static_cast<size_t>(
        std::lower_bound(items.begin() + static_cast<std::ptrdiff_t>(line.begin),
                         items.begin() + static_cast<std::ptrdiff_t>(line.end), target,
                         [](const Item& item, size_t value) { return item.offset < value; }) -
        items.begin());
  };
  double pen = 0;
  const int32_t runs = ubidi_countRuns(bidi_, &status);
  for (int32_t r = 0; r < runs; ++r) {
    int32_t start = 0, length = 0;
    const UBiDiDirection direction = ubidi_getVisualRun(bidi_, r, &start, &length);
    const size_t a = item_at(start), b = item_at(start + length);
    if (direction == UBIDI_LTR) {
      // Kerning applies within a left-to-right run, as shaped.
      for (size_t i = a; i < b; ++i) {
        if (i > a) pen += items[i].kern;
        out.push_back(Placed{i, items[i].glyph, pen});
        pen += items[i].advance;
      }
      continue;
    }
    for (size_t i = b; i-- > a;) {
      const GlyphInfo* glyph = items[i].glyph;
      double advance = items[i].advance;
      if (glyph != nullptr) {
        size_t at = items[i].offset;
        const char32_t cp = NextCodePoint(text, at);
        const auto mirror = static_cast<char32_t>(u_charMirror(static_cast<UChar32>(cp)));
        if (mirror != cp) {
          glyph = &GlyphLocked(face, mirror, fallback);
          advance = glyph->metrics.advance;
        }
      }
      out.push_back(Placed{i, glyph, pen});
      pen += advance;
    }
  }
}

// --- Text in/out helpers ---------------------------------------------------

std::u16string_view Engine::ToUtf16(std::wstring_view text) {
  WideToUtf16(text, wide_scratch_);
  return wide_scratch_;
}

}  // namespace text_internal

// --- Public API ---------------------------------------------------------------

using text_internal::Engine;

bool TextEngineStartup() { return Engine::Get().Startup(); }

bool TextEngineStarted() { return Engine::Get().started(); }

const TextFace* FindTextFace(std::u16string_view family) {
  return Engine::Get().Find(text_internal::Utf16ToUtf8(family));
}

const TextFace* FindTextFace(std::wstring_view family) {
  std::u16string utf16;
  text_internal::WideToUtf16(family, utf16);
  return Engine::Get().Find(text_internal::Utf16ToUtf8(utf16));
}

const TextFace* FindTextFaceUtf8(std::string_view family) {
  return Engine::Get().Find(std::string(family));
}

std::string TextFaceFamilyName(const TextFace* face) {
  return face != nullptr ? face->family : std::string();
}

std::string TextFaceFile(const TextFace* face) {
  return face != nullptr ? face->file : std::string();
}

namespace text_internal {

Gdiplus::RectF Engine::OutlineLocked(const TextFace& face, float em_size, std::u16string_view text,
                                     const Gdiplus::StringFormat& format) {
  ShapeLocked(face, text, format, shaped_);
  BreakLinesLocked(shaped_, text, false, 0, lines_);
  if (lines_.empty()) return {};
  const bool rtl = (format.GetFormatFlags() & Gdiplus::StringFormatFlagsDirectionRightToLeft) != 0;
  const bool fallback = (format.GetFormatFlags() & Gdiplus::StringFormatFlagsNoFontFallback) == 0;
  const double block = face.line_height * static_cast<double>(lines_.size());
  const double top = AlignOffset(format.GetLineAlignment(), false, block);
  bool any = false;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  for (size_t l = 0; l < lines_.size(); ++l) {
    const Line& line = lines_[l];
    const double left = AlignOffset(format.GetAlignment(), rtl, line.width);
    const double baseline = top + face.ascender + face.line_height * static_cast<double>(l);
    PlaceLineLocked(face, shaped_, text, line, rtl, fallback, placed_);
    for (const Placed& placed : placed_) {
      if (placed.glyph == nullptr || !placed.glyph->metrics.has_outline) continue;
      const GlyphMetrics& m = placed.glyph->metrics;
      const double pen = left + placed.pen;
      const double gx0 = pen + m.xmin, gx1 = pen + m.xmax;
      const double gy0 = baseline - m.ymax, gy1 = baseline - m.ymin;
      if (!any) {
        x0 = gx0, y0 = gy0, x1 = gx1, y1 = gy1;
        any = true;
      } else {
        x0 = std::min(x0, gx0), y0 = std::min(y0, gy0);
        x1 = std::max(x1, gx1), y1 = std::max(y1, gy1);
      }
    }
  }
  if (!any) return {};
  return Gdiplus::RectF(static_cast<float>(x0 * em_size), static_cast<float>(y0 * em_size),
                        static_cast<float>((x1 - x0) * em_size),
                        static_cast<float>((y1 - y0) * em_size));
}

double Engine::AlignOffset(Gdiplus::StringAlignment align, bool swap, double extent) {
  if (swap && align != Gdiplus::StringAlignmentCenter) {
    align = align == Gdiplus::StringAlignmentNear ? Gdiplus::StringAlignmentFar
                                                  : Gdiplus::StringAlignmentNear;
  }
  switch (align) {
    case Gdiplus::StringAlignmentCenter:
      return -extent / 2;
    case Gdiplus::StringAlignmentFar:
      return -extent;
    default:
      return 0;
  }
}

Gdiplus::RectF Engine::LayoutLocked(const TextFace& face, float units_per_em,
                                    std::u16string_view text, const Gdiplus::RectF& layout,
                                    const Gdiplus::StringFormat& format) {
  const int flags = format.GetFormatFlags();
  const double scale = units_per_em;
  const bool wrap = layout.Width > 0 && (flags & Gdiplus::StringFormatFlagsNoWrap) == 0;
  ShapeLocked(face, text, format, shaped_);
  BreakLinesLocked(shaped_, text, wrap, layout.Width / scale, lines_);
  if (lines_.empty()) return {};
  const double line_height = face.line_height * scale;
  size_t shown = lines_.size();
  double height = line_height * static_cast<double>(shown);
  const bool clip = (flags & Gdiplus::StringFormatFlagsNoClip) == 0;
  if (layout.Height > 0 && (flags & Gdiplus::StringFormatFlagsLineLimit) != 0) {
    shown = std::min(shown, static_cast<size_t>(layout.Height / line_height));
    height = line_height * static_cast<double>(shown);
  } else if (layout.Height > 0 && clip) {
    height = std::min(height, static_cast<double>(layout.Height));
  }
  double width = 0;
  for (size_t l = 0; l < shown; ++l) width = std::max(width, lines_[l].width * scale);
  if (layout.Width > 0 && clip) width = std::min(width, static_cast<double>(layout.Width));
  const bool rtl = (flags & Gdiplus::StringFormatFlagsDirectionRightToLeft) != 0;
  // Inside a layout rectangle, alignment places the box between its edges;
  // without one (extent 0), around the origin.
  double x = layout.X, y = layout.Y;
  if (layout.Width > 0) {
    x = layout.X - AlignOffset(format.GetAlignment(), rtl, layout.Width - width);
  } else {
    x += AlignOffset(format.GetAlignment(), rtl, width);
  }
  if (layout.Height > 0) {
    y = layout.Y - AlignOffset(format.GetLineAlignment(), false, layout.Height - height);
  } else {
    y += AlignOffset(format.GetLineAlignment(), false, height);
  }
  return Gdiplus::RectF(static_cast<float>(x), static_cast<float>(y), static_cast<float>(width),
                        static_cast<float>(height));
}

}  // namespace text_internal

namespace {

template <typename Fn>
Gdiplus::RectF WithEngine(const TextFace* face, Fn&& fn) {
  if (face == nullptr) return {};
  Engine& engine = Engine::Get();
  if (!engine.Startup()) return {};
  std::lock_guard<std::mutex> lock(engine.mutex());
  return fn(engine);
}

}  // namespace

Gdiplus::RectF MeasureTextOutline(const TextFace* face, float em_size, std::u16string_view text,
                                  const Gdiplus::StringFormat& format) {
  if (!(em_size > 0)) return {};
  return WithEngine(
      face, [&](Engine& engine) { return engine.OutlineLocked(*face, em_size, text, format); });
}

Gdiplus::RectF MeasureTextOutline(const TextFace* face, float em_size, std::wstring_view text,
                                  const Gdiplus::StringFormat& format) {
  if (!(em_size > 0)) return {};
  return WithEngine(face, [&](Engine& engine) {
    return engine.OutlineLocked(*face, em_size, engine.ToUtf16(text), format);
  });
}

Gdiplus::RectF MeasureTextLayout(const TextFace* face, float point_size, std::u16string_view text,
                                 const Gdiplus::RectF& layout,
                                 const Gdiplus::StringFormat* format) {
  if (!(point_size > 0)) return {};
  const Gdiplus::StringFormat fallback;
  return WithEngine(face, [&](Engine& engine) {
    return engine.LayoutLocked(*face, point_size * kUnitsPerPoint, text, layout,
                               format != nullptr ? *format : fallback);
  });
}

Gdiplus::RectF MeasureTextLayout(const TextFace* face, float point_size, std::wstring_view text,
                                 const Gdiplus::RectF& layout,
                                 const Gdiplus::StringFormat* format) {
  if (!(point_size > 0)) return {};
  const Gdiplus::StringFormat fallback;
  return WithEngine(face, [&](Engine& engine) {
    return engine.LayoutLocked(*face, point_size * kUnitsPerPoint, engine.ToUtf16(text), layout,
                               format != nullptr ? *format : fallback);
  });
}

}  // namespace platform
