// Drawing text with its measured boxes into a PNG file, for people to look at.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gf/text_engine.h"
#include "platform/gf/text_engine_internal.h"

namespace platform {
namespace {

using text_internal::Engine;
using text_internal::Line;

constexpr int kMargin = 8;
constexpr int kMaxSide = 8192;

class Canvas {
 public:
  Canvas(int width, int height)
      : width_(width),
        height_(height),
        pixels_(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0xFF) {}

  // Darkens a pixel by `coverage` (0..255) of black.
  void Ink(int x, int y, std::uint8_t coverage) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || coverage == 0) return;
    std::uint8_t* p = At(x, y);
    for (int c = 0; c < 3; ++c) {
      p[c] = static_cast<std::uint8_t>(p[c] * (255 - coverage) / 255);
    }
  }

  void Red(int x, int y) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    std::uint8_t* p = At(x, y);
    p[0] = 0xE0;
    p[1] = 0x20;
    p[2] = 0x20;
  }

  void Frame(int x0, int y0, int x1, int y1) {
    for (int x = x0; x <= x1; ++x) Red(x, y0), Red(x, y1);
    for (int y = y0; y <= y1; ++y) Red(x0, y), Red(x1, y);
  }

  bool Write(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width_);
    image.height = static_cast<png_uint_32>(height_);
    image.format = PNG_FORMAT_RGB;
    const int ok = png_image_write_to_file(&image, path.c_str(), 0, pixels_.data(), 0, nullptr);
    png_image_free(&image);
    return ok != 0;
  }

 private:
  std::uint8_t* At(int x, int y) {
    return &pixels_[(static_cast<size_t>(y) * static_cast<size_t>(width_) +
                     static_cast<size_t>(x)) *
                    3];
  }

  int width_;
  int height_;
  std::vector<std::uint8_t> pixels_;
};

struct Extent {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  void Add(double ax0, double ay0, double ax1, double ay1) {
    x0 = std::min(x0, ax0), y0 = std::min(y0, ay0);
    x1 = std::max(x1, ax1), y1 = std::max(y1, ay1);
  }
};

}  // namespace

bool DrawTextPng(const TextFace* face, float em_pixels, std::u16string_view text, float wrap_width,
                 const std::vector<Gdiplus::RectF>& boxes, float scale,
                 const std::string& png_path) {
  if (face == nullptr || !(em_pixels > 0) || !(scale > 0)) return false;
  Engine& engine = Engine::Get();
  if (!engine.Startup()) return false;
  std::lock_guard<std::mutex> lock(engine.mutex());

  const Gdiplus::StringFormat format;
  text_internal::Shaped shaped;
  engine.ShapeLocked(*face, text, format, shaped);
  const double em = em_pixels;
  std::vector<Line> lines;
  engine.BreakLinesLocked(shaped, text, wrap_width > 0, wrap_width / em, lines);
  std::vector<text_internal::Placed> placed;

  // Everything in unscaled pixels first: the text box, glyph outlines, boxes.
  Extent extent;
  extent.Add(0, 0, 0, 0);
  for (size_t l = 0; l < lines.size(); ++l) {
    const double baseline = (face->ascender + face->line_height * static_cast<double>(l)) * em;
    extent.Add(0, 0, lines[l].width * em, face->line_height * static_cast<double>(l + 1) * em);
    engine.PlaceLineLocked(*face, shaped, text, lines[l], false, true, placed);
    for (const text_internal::Placed& glyph : placed) {
      if (glyph.glyph == nullptr || !glyph.glyph->metrics.has_outline) continue;
      const auto& m = glyph.glyph->metrics;
      const double pen = glyph.pen * em;
      extent.Add(pen + m.xmin * em, baseline - m.ymax * em, pen + m.xmax * em,
                 baseline - m.ymin * em);
    }
  }
  for (const Gdiplus::RectF& box : boxes) {
    extent.Add(box.X, box.Y, box.X + box.Width, box.Y + box.Height);
  }
  const double s = scale;
  const double width_px = std::ceil((extent.x1 - extent.x0) * s) + 2 * kMargin + 1;
  const double height_px = std::ceil((extent.y1 - extent.y0) * s) + 2 * kMargin + 1;
  if (width_px > kMaxSide || height_px > kMaxSide) return false;
  Canvas canvas(static_cast<int>(width_px), static_cast<int>(height_px));
  auto to_x = [&](double x) { return (x - extent.x0) * s + kMargin; };
  auto to_y = [&](double y) { return (y - extent.y0) * s + kMargin; };

  for (size_t l = 0; l < lines.size(); ++l) {
    const double baseline = (face->ascender + face->line_height * static_cast<double>(l)) * em;
    engine.PlaceLineLocked(*face, shaped, text, lines[l], false, true, placed);
    for (const text_internal::Placed& glyph : placed) {
      if (glyph.glyph == nullptr || !glyph.glyph->metrics.has_outline) continue;
      FT_Face ft = glyph.glyph->owner->ft;
      const auto size26 = static_cast<FT_F26Dot6>(std::lround(em * s * 64));
      if (FT_Set_Char_Size(ft, 0, size26, 72, 72) != 0) continue;
      if (FT_Load_Glyph(ft, glyph.glyph->glyph, FT_LOAD_RENDER | FT_LOAD_NO_HINTING) != 0) continue;
      const FT_Bitmap& bitmap = ft->glyph->bitmap;
      if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) continue;
      const double pen = glyph.pen * em;
      const int left = static_cast<int>(std::lround(to_x(pen))) + ft->glyph->bitmap_left;
      const int top = static_cast<int>(std::lround(to_y(baseline))) - ft->glyph->bitmap_top;
      for (unsigned row = 0; row < bitmap.rows; ++row) {
        const unsigned char* src = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
        for (unsigned col = 0; col < bitmap.width; ++col) {
          canvas.Ink(left + static_cast<int>(col), top + static_cast<int>(row), src[col]);
        }
      }
    }
  }
  for (const Gdiplus::RectF& box : boxes) {
    canvas.Frame(static_cast<int>(std::floor(to_x(box.X))),
                 static_cast<int>(std::floor(to_y(box.Y))),
                 static_cast<int>(std::ceil(to_x(box.X + box.Width))),
                 static_cast<int>(std::ceil(to_y(box.Y + box.Height))));
  }
  return canvas.Write(png_path);
}

bool DrawTextPng(const TextFace* face, float em_pixels, std::wstring_view text, float wrap_width,
                 const std::vector<Gdiplus::RectF>& boxes, float scale,
                 const std::string& png_path) {
  std::u16string utf16;
  text_internal::WideToUtf16(text, utf16);
  return DrawTextPng(face, em_pixels, std::u16string_view(utf16), wrap_width, boxes, scale,
                     png_path);
}

}  // namespace platform
