// Searching as the user types, over generated contact lists of 100,000 and
// 1,000,000 records (name, English name, mobile phone) that are read from a
// JSON file as a host reads them. The key "zhangw" is typed one letter at a
// time (BM_TypeAhead/N/mode/limit):
//   mode 0  DoSearch for every letter (no session);
//   mode 1  a search session (narrowing only);
//   mode 2  a search session with its candidate filter;
// with the limit of a search box that shows 100 results (99), or a limit
// that lets every record through (0 stands for it).
// Counters, per letter: first_* (the first letter), later_max_* and
// later_mean_* (the letters after it), as wall time (ms) and as the
// thread's CPU time (cpu), which the machine's other load disturbs less.
// Also the loading of the file, the filter's build (bytes per contact) and
// the floor of a scan without pinyin: std::wstring::find over the names.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "platform/common/convert.h"
#include "platform/common/kzcore.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzjson.h"
#include "platform/common/kzjson_stream.h"
#include "wrenutil/searchsession.h"
#include "wrenutil/utilmarlinsearch.h"

namespace {

constexpr const wchar_t kTyped[] = L"zhangw";

// Surnames and given names by how common they are, English first names.
constexpr const wchar_t kFamily[] =
    L"王李张刘陈杨黄赵吴周徐孙马朱胡郭何林高罗郑梁谢宋唐韩曹许邓萧冯曾程蔡彭潘袁于董余苏叶吕魏蒋田"
    L"杜丁沈姜";
constexpr const wchar_t kGivenChars[] =
    L"伟芳娜秀英敏静丽强磊军洋勇艳杰娟涛明超兰霞平刚桂华玉萍红娥玲芬燕彬鹏辉建国晓宇浩欣婷雪琳";
constexpr const char* kEnglish[] = {"David",  "Emma",  "Michael", "Olivia", "James", "Sophia",
                                    "Daniel", "Grace", "Kevin",   "Lucy",   "Peter", "Anna",
                                    "Tony",   "Helen", "Jason",   "Linda",  "Eric",  "Amy"};

std::string Utf8(const std::wstring& text) {
  return Util::Convert::Utf8FromWS(text.c_str(), static_cast<int>(text.size())).str();
}

// The JSON text of `count` contacts; the same for the same count.
std::string ContactsJson(int count, std::vector<std::wstring>* names) {
  std::mt19937 rng(20261206);
  // Common surnames far more often than rare ones, as in real lists.
  std::vector<double> weights;
  for (std::size_t i = 0; i + 1 < std::size(kFamily); ++i) {
    weights.push_back(1.0 / static_cast<double>(i + 3));
  }
  std::discrete_distribution<int> family_of(weights.begin(), weights.end());
  std::string json = "[\n";
  for (int i = 0; i < count; ++i) {
    const wchar_t family = kFamily[family_of(rng)];
    std::wstring name(1, family);
    const int given = rng() % 3 == 0 ? 1 : 2;
    for (int g = 0; g < given; ++g) name += kGivenChars[rng() % (std::size(kGivenChars) - 1)];
    const char* english = kEnglish[rng() % std::size(kEnglish)];
    const std::string number = std::to_string(rng() % 100);
    char phone[16];
    std::snprintf(phone, sizeof phone, "1%02u%08u", static_cast<unsigned>(30 + rng() % 60),
                  static_cast<unsigned>(rng() % 100000000));
    json.append("{\"dwUin\":").append(std::to_string(100000 + i));
    json.append(",\"strName\":\"").append(Utf8(name));
    json.append("\",\"strEnglishName\":\"").append(english).append(" ").append(number);
    json.append("\",\"strMobile\":\"").append(phone).append("\"}");
    json += i + 1 < count ? ",\n" : "\n";
    if (names != nullptr) names->push_back(name);
  }
  return json + "]\n";
}

// The list of `count` contacts, loaded once per count from a file.
struct Contacts {
  int count = 0;
  CKZComPtr<IKZArray> items;
  std::vector<std::wstring> names;
};

Contacts& ContactsOf(int count) {
  static Contacts* cached = new Contacts();
  if (cached->count != count) {
    cached->items = nullptr;
    cached->names.clear();
    const std::string json = ContactsJson(count, &cached->names);
    std::FILE* file = std::tmpfile();
    std::fwrite(json.data(), 1, json.size(), file);
    std::rewind(file);
    platform::JsonStreamToKZArray(file, &cached->items, nullptr);
    std::fclose(file);
    cached->count = count;
  }
  return *cached;
}

const std::vector<CKZStringA> kFields{"strName", "strEnglishName", "strMobile"};

// Wall and CPU time of one letter, in milliseconds.
struct Clock {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  double cpu = CpuNow();
  static double CpuNow() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
  }
  double WallMs() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall)
        .count();
  }
  double CpuMs() const { return CpuNow() - cpu; }
};

// The first letter's time and the later letters' maximum and sum.
struct LetterTimes {
  double first = 0, later_max = 0, later_sum = 0;
  void Add(std::size_t n, double ms) {
    if (n == 1) {
      first += ms;
    } else {
      later_sum += ms;
      later_max = std::max(later_max, ms);
    }
  }
  void Report(benchmark::State& state, const char* unit, double runs, std::size_t later) {
    const std::string u = unit;
    state.counters["first_" + u] = first / runs;
    state.counters["later_max_" + u] = later_max;
    state.counters["later_mean_" + u] = later_sum / runs / static_cast<double>(later);
  }
};

void BM_TypeAhead(benchmark::State& state) {
  platform::ScopedCore core;  // no services, as in the search benchmark
  const int count = static_cast<int>(state.range(0));
  const int mode = static_cast<int>(state.range(1));
  IKZArray* items = ContactsOf(count).items;
  const auto limit = static_cast<std::uint32_t>(state.range(2) == 0 ? count : state.range(2));
  Util::MarlinSearch::SearchSession session(items, kFields, limit);
  if (mode == 2) session.BuildFilter();
  const std::wstring typed = kTyped;
  LetterTimes wall, cpu;
  std::size_t hits = 0;
  for (auto _ : state) {
    session.Search(CKZStringW());  // the box emptied
    for (std::size_t n = 1; n <= typed.size(); ++n) {
      const CKZStringW key(typed.substr(0, n));
      const Clock clock;
      if (mode == 0) {
        CKZComPtr<IKZArray> result;
        Util::MarlinSearch::DoSearch(key, items, kFields, limit, &result);
        DWORD got = 0;
        if (result) result->GetCount(&got);
        hits = got;
      } else {
        session.Search(key);
        hits = session.hits().size();
      }
      wall.Add(n, clock.WallMs());
      cpu.Add(n, clock.CpuMs());
    }
  }
  const double runs = static_cast<double>(state.iterations());
  wall.Report(state, "ms", runs, typed.size() - 1);
  cpu.Report(state, "cpu", runs, typed.size() - 1);
  state.SetLabel(std::string(mode == 0   ? "DoSearch"
                             : mode == 1 ? "session"
                                         : "session+filter") +
                 " hits=" + std::to_string(hits));
}

void BM_FilterBuild(benchmark::State& state) {
  platform::ScopedCore core;
  const int count = static_cast<int>(state.range(0));
  IKZArray* items = ContactsOf(count).items;
  Util::MarlinSearch::SearchSession session(items, kFields, 0);
  for (auto _ : state) session.BuildFilter();
  state.counters["bytes_per_contact"] =
      static_cast<double>(session.FilterBytes()) / static_cast<double>(count);
}

// BM_LoadContacts/N/0: the file read whole, then JsonToKZArray (a document
// of the whole list first); /N/1: JsonStreamToKZArray.
void BM_LoadContacts(benchmark::State& state) {
  platform::ScopedCore core;
  const int count = static_cast<int>(state.range(0));
  const bool stream = state.range(1) != 0;
  const std::string json = ContactsJson(count, nullptr);
  std::FILE* file = std::tmpfile();
  std::fwrite(json.data(), 1, json.size(), file);
  for (auto _ : state) {
    std::rewind(file);
    CKZComPtr<IKZArray> items;
    if (stream) {
      platform::JsonStreamToKZArray(file, &items, nullptr);
    } else {
      std::string text(json.size(), '\0');
      if (std::fread(text.data(), 1, text.size(), file) == text.size()) {
        platform::JsonToKZArray(text, &items, nullptr);
      }
    }
    state.PauseTiming();
    items = nullptr;  // the release is not the load's
    state.ResumeTiming();
  }
  std::fclose(file);
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(json.size()) / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

// The floor: a plain substring scan of the names, no pinyin, no bags.
void BM_WstringFindFloor(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const std::vector<std::wstring>& names = ContactsOf(count).names;
  const std::wstring key = L"张伟";
  std::size_t hits = 0;
  for (auto _ : state) {
    hits = 0;
    for (const std::wstring& name : names) hits += name.find(key) != std::wstring::npos;
    benchmark::DoNotOptimize(hits);
  }
  state.SetLabel("hits=" + std::to_string(hits));
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int count : {100000, 1000000}) b->Arg(count);
}

void TypeAheadArgs(benchmark::internal::Benchmark* b) {
  for (int count : {100000, 1000000}) {
    for (int limit : {99, 0}) {
      for (int mode : {0, 1, 2}) b->Args({count, mode, limit});
    }
  }
}

BENCHMARK(BM_LoadContacts)->ArgsProduct({{100000, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterBuild)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WstringFindFloor)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeAhead)->Apply(TypeAheadArgs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
