#include "wrenutil/ui.h"

#include <cmath>
#include <cstdint>
#include <string_view>

#include "platform/gf/text_engine.h"

namespace Util::UI {
namespace {

// The process-wide start-up token of the text engine: 0 until started.
// Not locked: the library is called from the user-interface thread.
std::uintptr_t g_startup_token = 0;

// Starts the engine when the token is 0; true when it is started.
bool EnsureStarted() {
  if (g_startup_token == 0 && platform::TextEngineStartup()) {
    g_startup_token = 1;
  }
  return g_startup_token != 0;
}

// A font realised for the engine: the family found for the face name (null
// when it resolves to nothing) and the size in points as a 32-bit float.
struct RealisedFont {
  const platform::TextFace* family = nullptr;
  float size = 0.0f;
};

// The text as it is measured: up to its first zero character.
std::wstring_view ToTerminator(const CKZStringW& text) {
  return std::wstring_view(text.GetString());
}

RealisedFont Realise(IGFFont* font) {
  RealisedFont realised;
  double size = 0.0;
  font->GetFontSize(&size);
  CKZBSTR face_name;
  font->GetFaceName(&face_name);
  realised.family = platform::FindTextFace(std::wstring_view(face_name.c_str()));
  realised.size = static_cast<float>(size);
  return realised;
}

}  // namespace

Gdiplus::SizeF GetTextBounds(CKZComPtr<IGFFont> font, const Gdiplus::StringFormat& format,
                             const CKZStringW& text) {
  if (!EnsureStarted() || !font) return Gdiplus::SizeF(0.0f, 0.0f);
  const RealisedFont realised = Realise(font);
  // The outline of the whole text, with the size in points as the em size.
  Gdiplus::RectF bounds(0.0f, 0.0f, 0.0f, 0.0f);
  bounds = platform::MeasureTextOutline(realised.family, realised.size, ToTerminator(text), format);
  return Gdiplus::SizeF(bounds.Width, bounds.Height);
}

CKZStringW GetTextBoundsSuitable(CKZComPtr<IGFFont> font, const CKZStringW& text,
                                 unsigned long width) {
  if (!EnsureStarted() || text.IsEmpty()) return text;
  auto measure = [&font](const CKZStringW& part) {
    const Gdiplus::StringFormat format(0, Gdiplus::LANG_NEUTRAL);
    return GetTextBounds(font, format, part).Width;
  };
  const float limit = static_cast<float>(width);
  if (limit >= measure(text)) return text;

  int low = 0;
  int high = text.GetLength();
  while (low < high) {
    const int middle = (low + high) / 2;
    CKZStringW middle_part = text.Left(middle);
    CKZStringW high_part = text.Left(high);
    const bool middle_fits = measure(middle_part) <= limit;
    const bool high_fits = measure(high_part) <= limit;
    if (middle == low && middle_fits) return middle_part;
    if (high_fits) return high_part;
    if (middle_fits) {
      low = middle;
    } else {
      high = middle;
    }
  }
  return text;
}

int GetMutLineTextShowRect(CKZComPtr<IGFFont> font, const CKZStringW& text, tagSIZE box,
                           tagRECT* rect) {
  if (!EnsureStarted() || !font || rect == nullptr) return 0;
  const RealisedFont realised = Realise(font);
  const Gdiplus::RectF layout(0.0f, 0.0f, static_cast<float>(box.cx), static_cast<float>(box.cy));
  Gdiplus::RectF bounds(0.0f, 0.0f, 0.0f, 0.0f);
  bounds = platform::MeasureTextLayout(realised.family, realised.size, ToTerminator(text), layout,
                                       nullptr);
  rect->left = static_cast<LONG>(std::ceil(bounds.X));
  rect->top = static_cast<LONG>(std::ceil(bounds.Y));
  rect->right = static_cast<LONG>(std::ceil(bounds.X + bounds.Width));
  rect->bottom = static_cast<LONG>(std::ceil(bounds.Y + bounds.Height));
  return 0;
}

namespace {

// Finds `name` below `root` and, when the find succeeds and the element has
// a frame interface, hands the frame to `apply`. Returns the element found.
template <typename Apply>
CKZComPtr<IGFElement> WithFrame(IGFElement* root, const wchar_t* name, Apply&& apply) {
  if (root == nullptr || name == nullptr) return CKZComPtr<IGFElement>();
  CKZComPtr<IGFElement> element;
  const HRESULT hr = root->FindElement(name, &element);
  CKZComPtr<IGFFrame> frame;
  if (element) element.QueryInterface(&frame);
  if (SUCCEEDED(hr) && element && frame) apply(frame.Get());
  frame.Release();
  return element;
}

}  // namespace

CKZComPtr<IGFElement> SetConfig(IGFElement* root, wchar_t* name, wchar_t* config) {
  return WithFrame(root, name, [config](IGFFrame* frame) { frame->SetConfig(config); });
}

CKZComPtr<IGFElement> SetHidden(IGFElement* root, wchar_t* name, int hidden) {
  return WithFrame(root, name, [hidden](IGFFrame* frame) {
    int current = 0;
    frame->GetHidden(&current);
    if (current != hidden) frame->SetHidden(hidden);
  });
}

CKZComPtr<IGFElement> SetMargin(IGFElement* root, wchar_t* name, CRect margin) {
  return WithFrame(root, name, [&margin](IGFFrame* frame) { frame->SetMargin(margin); });
}

}  // namespace Util::UI
