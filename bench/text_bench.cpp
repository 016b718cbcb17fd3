// Text measurement: one outline measurement, one fit of a 50-character text
// (about 2 log2(50) measurements), one wrapped layout.
#include <benchmark/benchmark.h>

#include "platform/common/kzptr.h"
#include "platform/common/kzstring.h"
#include "platform/gf/gf_font.h"
#include "wrenutil/ui.h"

namespace {

// 50 characters, Latin and Chinese.
const wchar_t kText[] = L"Send a message to 张伟 and 李娜 about the quarter plan";

CKZComPtr<IGFFont> Font() {
  CKZComPtr<IGFFont> font;
  platform::CreateGFFont(L"DejaVu Sans", 9, &font);
  return font;
}

void BM_GetTextBounds(benchmark::State& state) {
  CKZComPtr<IGFFont> font = Font();
  const CKZStringW text(kText);
  const Gdiplus::StringFormat format;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Util::UI::GetTextBounds(font, format, text));
  }
}
BENCHMARK(BM_GetTextBounds);

void BM_GetTextBoundsSuitable(benchmark::State& state) {
  CKZComPtr<IGFFont> font = Font();
  const CKZStringW text(kText);
  // About half the text fits.
  const auto width = static_cast<unsigned long>(
      Util::UI::GetTextBounds(font, Gdiplus::StringFormat(), text).Width / 2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Util::UI::GetTextBoundsSuitable(font, text, width));
  }
  state.counters["chars"] = static_cast<double>(text.GetLength());
}
BENCHMARK(BM_GetTextBoundsSuitable);

void BM_GetMutLineTextShowRect(benchmark::State& state) {
  CKZComPtr<IGFFont> font = Font();
  const CKZStringW text(kText);
  tagRECT rect;
  for (auto _ : state) {
    Util::UI::GetMutLineTextShowRect(font, text, tagSIZE{120, 0}, &rect);
    benchmark::DoNotOptimize(rect);
  }
}
BENCHMARK(BM_GetMutLineTextShowRect);

}  // namespace

BENCHMARK_MAIN();
