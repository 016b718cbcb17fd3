// DoSearch over generated contact lists (name, English name, mobile phone),
// 10,000 and 100,000 records, for each kind of key. The limit lets every
// record be scanned. Performance records and the configuration reads stay in
// the path, with no recorder attached, as in the client.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/common/kzcore.h"
#include "platform/common/kzdata.h"
#include "platform/common/pinyin.h"
#include "wrenutil/utilmarlinsearch.h"

namespace {

constexpr const wchar_t* kSurnames[] = {
    L"张", L"王", L"李", L"赵", L"刘", L"陈", L"杨", L"黄", L"周", L"吴",
    L"徐", L"孙", L"马", L"朱", L"胡", L"郭", L"何", L"高", L"林", L"罗",
    L"郑", L"梁", L"谢", L"宋", L"唐", L"许", L"韩", L"冯", L"邓", L"曹",
    L"曾", L"彭", L"萧", L"蔡", L"潘", L"田", L"董", L"袁", L"于", L"余"};
constexpr const wchar_t* kGiven[] = {
    L"伟", L"芳", L"娜", L"敏", L"静", L"丽", L"强", L"磊", L"军", L"洋",
    L"勇", L"艳", L"杰", L"娟", L"涛", L"明", L"超", L"秀", L"霞", L"平",
    L"刚", L"桂", L"英", L"华", L"玉", L"萍", L"红", L"文", L"辉", L"建",
    L"国", L"晓", L"鹏", L"飞", L"宇", L"浩", L"婷", L"雪", L"琳", L"欣"};
constexpr const wchar_t* kFirstNames[] = {
    L"David", L"Emma", L"Michael", L"Olivia", L"James", L"Sophia", L"Daniel",
    L"Grace", L"Kevin", L"Lucy", L"Peter", L"Anna", L"Tony", L"Helen",
    L"Jason", L"Linda", L"Eric", L"Amy", L"Frank", L"Cindy"};

// The capitalised pinyin of a surname, for the English name.
std::wstring SurnameSpelling(const wchar_t* surname) {
  std::string_view s = platform::SpellChar(surname[0]);
  std::wstring out(s.begin(), s.end());
  if (!out.empty()) out[0] = static_cast<wchar_t>(out[0] - 32);
  return out;
}

// The same list for the same count on every run.
CKZComPtr<IKZArray> MakeContacts(int count) {
  std::mt19937 rng(20261205);
  auto pick = [&](auto& list) {
    return list[rng() % (sizeof list / sizeof list[0])];
  };
  CKZComPtr<IKZArray> items;
  Util::Data::CreateKZArray(&items);
  for (int i = 0; i < count; ++i) {
    const wchar_t* surname = pick(kSurnames);
    std::wstring name = surname;
    name += pick(kGiven);
    if (rng() % 2) name += pick(kGiven);
    std::wstring english = std::wstring(pick(kFirstNames)) + L" " +
                           SurnameSpelling(surname);
    std::wstring phone = L"13" + std::to_wstring(rng() % 10) +
                         std::to_wstring(10000000 + rng() % 90000000);
    CKZComPtr<IKZData> item;
    Util::Data::CreateKZData(&item);
    item->SetDWord("dwUin", static_cast<DWORD>(100000 + i));
    item->SetStr("strName", name.c_str());
    item->SetStr("strEnglishName", english.c_str());
    item->SetStr("strMobile", phone.c_str());
    items->AddKZData(item);
  }
  return items;
}

struct Key {
  const char* kind;
  const wchar_t* text;
};
constexpr Key kKeys[] = {
    {"chinese", L"明"},      {"full_pinyin", L"zhangwei"},
    {"initials", L"zw"},      {"pinyin_prefix", L"zhangw"},
    {"mixed", L"张w"},       {"digits", L"1380"},
    {"latin", L"david"},
};

void BM_DoSearch(benchmark::State& state) {
  platform::ScopedCore core;  // no services: the configuration reads miss
  const int count = static_cast<int>(state.range(0));
  const Key& key = kKeys[state.range(1)];
  static int cached_count = 0;
  static CKZComPtr<IKZArray>* cached = new CKZComPtr<IKZArray>();
  if (cached_count != count) {
    *cached = MakeContacts(count);
    cached_count = count;
  }
  const std::vector<CKZStringA> fields{"strName", "strEnglishName",
                                       "strMobile"};
  const CKZStringW text(key.text);
  DWORD hits = 0;
  for (auto _ : state) {
    CKZComPtr<IKZArray> result;
    Util::MarlinSearch::DoSearch(text, *cached, fields,
                                 static_cast<std::uint32_t>(count), &result);
    if (result) result->GetCount(&hits);
    benchmark::DoNotOptimize(hits);
  }
  state.SetLabel(std::string(key.kind) + " hits=" + std::to_string(hits));
  state.counters["records/s"] = benchmark::Counter(
      static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate);
}

void Args(benchmark::internal::Benchmark* b) {
  for (int count : {10000, 100000}) {
    for (int k = 0; k < static_cast<int>(std::size(kKeys)); ++k) {
      b->Args({count, k});
    }
  }
}

BENCHMARK(BM_DoSearch)->Apply(Args)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
