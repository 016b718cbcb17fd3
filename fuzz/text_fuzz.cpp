// Fuzzes the text engine through the library's measuring functions: the
// first bytes choose the face, sizes, box, format flags and alignments, the
// rest is the text (UTF-8, invalid sequences included). Checks that nothing
// crashes, that sizes are finite and not negative, that the fitted text is a
// beginning of the text that fits, and that no platform object stays alive.
// Now and then the text is also drawn to a PNG file.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/common/convert.h"
#include "platform/common/refcounted.h"
#include "platform/gf/gf_font.h"
#include "platform/gf/text_engine.h"
#include "wrenutil/ui.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool Sane(float v) { return std::isfinite(v) && v >= 0; }

// The first bytes of the input as parameters; zeros once used up.
class Params {
 public:
  Params(const std::uint8_t*& data, std::size_t& size) : data_(data), size_(size) {}
  std::uint8_t Byte() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }

 private:
  const std::uint8_t*& data_;
  std::size_t& size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr const wchar_t* kFaces[] = {L"DejaVu Sans", L"WenQuanYi Micro Hei", L"sans-serif",
                                              L"No Such Face", L""};
  static constexpr int kFlags[] = {0,
                                   Gdiplus::StringFormatFlagsDirectionRightToLeft,
                                   Gdiplus::StringFormatFlagsDirectionVertical,
                                   Gdiplus::StringFormatFlagsNoFontFallback,
                                   Gdiplus::StringFormatFlagsMeasureTrailingSpaces,
                                   Gdiplus::StringFormatFlagsNoWrap,
                                   Gdiplus::StringFormatFlagsLineLimit,
                                   Gdiplus::StringFormatFlagsNoClip};
  const std::int64_t live = platform::LiveObjectCount();
  {
    Params p(data, size);
    const wchar_t* face = kFaces[p.Byte() % 5];
    // Sizes from 0 to 63.75 points, now and then negative.
    const std::uint8_t size_byte = p.Byte();
    const double point_size = (size_byte & 0x80) != 0 ? -1.0 : (size_byte & 0x7F) / 2.0;
    const unsigned long width = p.Byte() * 4u;
    const long box_width = p.Byte() * 4 - 64;
    const long box_height = p.Byte() * 2 - 32;
    int flags = 0;
    for (std::uint8_t bits = p.Byte(), i = 0; i < 8; ++i) {
      if ((bits >> i) & 1) flags |= kFlags[i];
    }
    Gdiplus::StringFormat format(flags);
    const std::uint8_t align = p.Byte();
    format.SetAlignment(static_cast<Gdiplus::StringAlignment>(align % 3));
    format.SetLineAlignment(static_cast<Gdiplus::StringAlignment>((align / 3) % 3));
    const bool draw = p.Byte() == 0xD7;

    CKZStringW text =
        Util::Convert::Utf8ToWS(reinterpret_cast<const char*>(data), static_cast<int>(size));
    CKZComPtr<IGFFont> font;
    platform::CreateGFFont(face, point_size, &font);

    const Gdiplus::SizeF bounds = Util::UI::GetTextBounds(font, format, text);
    Check(Sane(bounds.Width) && Sane(bounds.Height));

    const CKZStringW fitted = Util::UI::GetTextBoundsSuitable(font, text, width);
    Check(fitted.GetLength() <= text.GetLength());
    Check(fitted == text.Left(fitted.GetLength()));
    if (fitted.GetLength() < text.GetLength()) {
      const Gdiplus::SizeF used = Util::UI::GetTextBounds(font, Gdiplus::StringFormat(), fitted);
      Check(used.Width <= static_cast<float>(width));
    }

    tagRECT rect{};
    Util::UI::GetMutLineTextShowRect(
        font, text, tagSIZE{static_cast<LONG>(box_width), static_cast<LONG>(box_height)}, &rect);
    Check(rect.left <= rect.right && rect.top <= rect.bottom);

    if (draw && text.GetLength() < 64) {
      const platform::TextFace* resolved = platform::FindTextFace(std::wstring_view(face));
      const std::string path = "/tmp/wrenutil_text_fuzz_" + std::to_string(getpid()) + ".png";
      platform::DrawTextPng(resolved, static_cast<float>(point_size), text.str(),
                            static_cast<float>(box_width), {}, 1.0f, path);
      unlink(path.c_str());
    }
  }
  Check(platform::LiveObjectCount() == live);
  return 0;
}
