// DoSearch over generated contact lists of 100,000 and 1,000,000 members
// (name, English name, mobile phone, department, position, e-mail, gender),
// for each kind of key, on the name field alone and on name, English name
// and phone together. The limit lets every record be scanned. Performance
// records and the configuration reads stay in the path, with no recorder
// attached, as in the client.
//
// Where the records lie in memory decides much of a scan's time, so each
// list is made in one of three ways:
// - fresh: records made one after another in scan order, nothing between;
// - loaded: records parsed from JSON a thousand at a time, as a host's
//   loader does, with the parser's own allocations between them;
// - sorted: the loaded records put in another order (by phone number), as a
//   host that sorts its list scans them.
// Every case reports "bytes/contact": the heap the list takes, divided by its
// records. BM_WstringFind is the floor of a scan without pinyin: a plain
// std::wstring::find of the key over a std::vector<std::wstring> of the same
// names. Run with --benchmark_repetitions to see the spread.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/common/convert.h"
#include "platform/common/kzcore.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzjson.h"
#include "platform/common/pinyin.h"
#include "wrenutil/utilmarlinsearch.h"

namespace {

constexpr const wchar_t* kSurnames[] = {L"张", L"王", L"李", L"赵", L"刘", L"陈", L"杨", L"黄",
                                        L"周", L"吴", L"徐", L"孙", L"马", L"朱", L"胡", L"郭",
                                        L"何", L"高", L"林", L"罗", L"郑", L"梁", L"谢", L"宋",
                                        L"唐", L"许", L"韩", L"冯", L"邓", L"曹", L"曾", L"彭",
                                        L"萧", L"蔡", L"潘", L"田", L"董", L"袁", L"于", L"余"};
constexpr const wchar_t* kGiven[] = {L"伟", L"芳", L"娜", L"敏", L"静", L"丽", L"强", L"磊",
                                     L"军", L"洋", L"勇", L"艳", L"杰", L"娟", L"涛", L"明",
                                     L"超", L"秀", L"霞", L"平", L"刚", L"桂", L"英", L"华",
                                     L"玉", L"萍", L"红", L"文", L"辉", L"建", L"国", L"晓",
                                     L"鹏", L"飞", L"宇", L"浩", L"婷", L"雪", L"琳", L"欣"};
constexpr const wchar_t* kFirstNames[] = {L"David",  L"Emma",   L"Michael", L"Olivia", L"James",
                                          L"Sophia", L"Daniel", L"Grace",   L"Kevin",  L"Lucy",
                                          L"Peter",  L"Anna",   L"Tony",    L"Helen",  L"Jason",
                                          L"Linda",  L"Eric",   L"Amy",     L"Frank",  L"Cindy"};
constexpr const wchar_t* kPositions[] = {L"工程师",   L"产品经理",         L"技术支持",
                                         L"销售代表", L"客户端开发工程师", L"财务"};

struct Contact {
  DWORD uin;
  std::wstring name;
  std::wstring english;
  std::wstring phone;
  DWORD dept;
  std::wstring position;
  std::wstring email;
  DWORD gender;
};

// The capitalised pinyin of a surname, for the English name.
std::wstring SurnameSpelling(const wchar_t* surname) {
  std::string_view s = platform::SpellChar(surname[0]);
  std::wstring out(s.begin(), s.end());
  if (!out.empty()) out[0] = static_cast<wchar_t>(out[0] - 32);
  return out;
}

// The same contacts for the same count on every run.
std::vector<Contact> MakeContacts(int count) {
  std::mt19937 rng(20261205);
  auto pick = [&](auto& list) { return list[rng() % (sizeof list / sizeof list[0])]; };
  std::vector<Contact> out;
  out.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    Contact c;
    c.uin = static_cast<DWORD>(100000 + i);
    const wchar_t* surname = pick(kSurnames);
    c.name = surname;
    c.name += pick(kGiven);
    if (rng() % 2) c.name += pick(kGiven);
    const std::wstring first = pick(kFirstNames);
    c.english = first + L" " + SurnameSpelling(surname);
    c.phone = L"13" + std::to_wstring(rng() % 10) + std::to_wstring(10000000 + rng() % 90000000);
    c.dept = static_cast<DWORD>(1 + rng() % 200);
    c.position = pick(kPositions);
    std::wstring mail = first + L"." + SurnameSpelling(surname) + std::to_wstring(i % 100);
    std::transform(mail.begin(), mail.end(), mail.begin(), ::towlower);
    c.email = mail + L"@wren.example.cn";
    c.gender = static_cast<DWORD>(rng() % 2);
    out.push_back(std::move(c));
  }
  return out;
}

// The heap in use, large blocks the allocator maps on their own included.
std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

CKZComPtr<IKZArray> MakeFresh(const std::vector<Contact>& contacts) {
  CKZComPtr<IKZArray> items;
  Util::Data::CreateKZArray(&items);
  for (const Contact& c : contacts) {
    CKZComPtr<IKZData> item;
    Util::Data::CreateKZData(&item);
    item->SetDWord("dwUin", c.uin);
    item->SetStr("strName", c.name.c_str());
    item->SetStr("strEnglishName", c.english.c_str());
    item->SetStr("strMobile", c.phone.c_str());
    item->SetDWord("dwDeptId", c.dept);
    item->SetStr("strPosition", c.position.c_str());
    item->SetStr("strEmail", c.email.c_str());
    item->SetDWord("dwGender", c.gender);
    items->AddKZData(item);
  }
  return items;
}

std::string Utf8(const std::wstring& text) {
  return Util::Convert::Utf8FromWS(text.c_str(), -1).str();
}

// Parses the contacts from JSON a thousand at a time into one array.
CKZComPtr<IKZArray> MakeLoaded(const std::vector<Contact>& contacts) {
  CKZComPtr<IKZArray> items;
  Util::Data::CreateKZArray(&items);
  constexpr std::size_t kChunk = 1000;
  for (std::size_t first = 0; first < contacts.size(); first += kChunk) {
    std::string json = "[";
    for (std::size_t i = first; i < std::min(contacts.size(), first + kChunk); ++i) {
      const Contact& c = contacts[i];
      if (i != first) json += ',';
      json += "{\"dwUin\":" + std::to_string(c.uin) + ",\"strName\":\"" + Utf8(c.name) +
              "\",\"strEnglishName\":\"" + Utf8(c.english) + "\",\"strMobile\":\"" + Utf8(c.phone) +
              "\",\"dwDeptId\":" + std::to_string(c.dept) + ",\"strPosition\":\"" +
              Utf8(c.position) + "\",\"strEmail\":\"" + Utf8(c.email) +
              "\",\"dwGender\":" + std::to_string(c.gender) + "}";
    }
    json += "]";
    CKZComPtr<IKZArray> chunk;
    std::string error;
    platform::JsonToKZArray(json, &chunk, &error);
    DWORD n = 0;
    chunk->GetCount(&n);
    for (DWORD i = 0; i < n; ++i) {
      CKZComPtr<IKZData> item;
      chunk->GetKZData(i, &item);
      items->AddKZData(item);
    }
  }
  return items;
}

// The loaded records, in the order of their phone numbers.
CKZComPtr<IKZArray> MakeSorted(const std::vector<Contact>& contacts) {
  CKZComPtr<IKZArray> loaded = MakeLoaded(contacts);
  std::vector<std::size_t> order(contacts.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return contacts[a].phone < contacts[b].phone; });
  CKZComPtr<IKZArray> items;
  Util::Data::CreateKZArray(&items);
  for (std::size_t i : order) {
    CKZComPtr<IKZData> item;
    loaded->GetKZData(static_cast<DWORD>(i), &item);
    items->AddKZData(item);
  }
  return items;
}

enum Placement { kFresh, kLoaded, kSorted };
constexpr const char* kPlacementNames[] = {"fresh", "loaded", "sorted"};

struct List {
  CKZComPtr<IKZArray> items;
  double bytes_per_contact = 0;
};

// One list at a time is kept (a million contacts take a lot of memory);
// cases are registered grouped by list.
const List& GetList(int count, Placement placement) {
  static std::pair<int, int> held{0, -1};
  static List* list = new List();
  if (held != std::pair<int, int>{count, placement}) {
    list->items = nullptr;
    const std::vector<Contact> contacts = MakeContacts(count);
    malloc_trim(0);
    const std::size_t before = HeapInUse();
    switch (placement) {
      case kFresh:
        list->items = MakeFresh(contacts);
        break;
      case kLoaded:
        list->items = MakeLoaded(contacts);
        break;
      case kSorted:
        list->items = MakeSorted(contacts);
        break;
    }
    list->bytes_per_contact = static_cast<double>(HeapInUse() - before) / count;
    held = {count, placement};
  }
  return *list;
}

struct Key {
  const char* kind;
  const wchar_t* text;
};
constexpr Key kKeys[] = {
    {"chinese", L"明"},  {"full_pinyin", L"zhangwei"},
    {"initials", L"zw"}, {"pinyin_prefix", L"zhangw"},
    {"mixed", L"张w"},   {"digits", L"1380"},
    {"latin", L"david"},
};

const std::vector<CKZStringA> kFieldSets[] = {
    {"strName"},
    {"strName", "strEnglishName", "strMobile"},
};
constexpr const char* kFieldSetNames[] = {"name", "three"};

// Arguments: count, placement, field set, key.
void BM_DoSearch(benchmark::State& state) {
  platform::ScopedCore core;  // no services: the configuration reads miss
  const int count = static_cast<int>(state.range(0));
  const List& list = GetList(count, static_cast<Placement>(state.range(1)));
  const std::vector<CKZStringA>& fields = kFieldSets[state.range(2)];
  const Key& key = kKeys[state.range(3)];
  const CKZStringW text(key.text);
  DWORD hits = 0;
  for (auto _ : state) {
    CKZComPtr<IKZArray> result;
    Util::MarlinSearch::DoSearch(text, list.items, fields, static_cast<std::uint32_t>(count),
                                 &result);
    if (result) result->GetCount(&hits);
    benchmark::DoNotOptimize(hits);
  }
  state.SetLabel(std::string(kPlacementNames[state.range(1)]) + "/" +
                 kFieldSetNames[state.range(2)] + "/" + key.kind + " hits=" + std::to_string(hits));
  state.counters["bytes/contact"] = list.bytes_per_contact;
}

// The same names in a vector of wide strings, searched with find.
void BM_WstringFind(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  static int held = 0;
  static auto* names = new std::vector<std::wstring>();
  if (held != count) {
    names->clear();
    for (Contact& c : MakeContacts(count)) names->push_back(std::move(c.name));
    held = count;
  }
  const std::wstring key = kKeys[state.range(1)].text;
  std::size_t hits = 0;
  for (auto _ : state) {
    hits = 0;
    for (const std::wstring& name : *names) hits += name.find(key) != std::wstring::npos;
    benchmark::DoNotOptimize(hits);
  }
  state.SetLabel(std::string(kKeys[state.range(1)].kind) + " hits=" + std::to_string(hits));
}

void SearchArgs(benchmark::internal::Benchmark* b) {
  const int keys = static_cast<int>(std::size(kKeys));
  for (Placement p : {kFresh, kLoaded, kSorted}) {
    for (int fields = 0; fields < 2; ++fields) {
      for (int k = 0; k < keys; ++k) b->Args({100000, p, fields, k});
    }
  }
  for (int fields = 0; fields < 2; ++fields) {
    for (int k = 0; k < keys; ++k) b->Args({1000000, kSorted, fields, k});
  }
}

void FindArgs(benchmark::internal::Benchmark* b) {
  for (int count : {100000, 1000000}) {
    for (int k = 0; k < static_cast<int>(std::size(kKeys)); ++k) b->Args({count, k});
  }
}

BENCHMARK(BM_DoSearch)->Apply(SearchArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WstringFind)->Apply(FindArgs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
