// The KOA data bridge on a tree of 10,000 records of 20 mixed fields (numbers
// of every width, texts, a buffer, a nested record and two nested arrays),
// converted in each direction, against a plain deep copy of the same bag tree
// (IKZData::CopyTo). After the run the program prints each conversion's time
// as a ratio to the deep copy.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/common/kzdata.h"
#include "platform/koa/koa.h"
#include "wrenutil/marlinsdkutil/koadatautil.h"

namespace {

constexpr int kRecords = 10000;

CKZComPtr<IKZData> Member(int i) {
  CKZComPtr<IKZData> d;
  Util::Data::CreateKZData(&d);
  d->SetDWord("dwUin", static_cast<DWORD>(10000 + i));
  d->SetUInt64("uint64_account", (2ull << 32) | static_cast<unsigned>(i));
  d->SetStr("strName", L"曾丽华");
  d->SetStr("strAccount", L"zeng.lihua");
  d->SetInt32("iScore", -i);
  d->SetInt64("i64Stamp", 1709618828009LL + i);
  d->SetDouble("dWeight", 0.5 * i);
  d->SetBool("bOnline", i % 2);
  d->SetUInt8("byLevel", static_cast<std::uint8_t>(i));
  d->SetInt8("chDelta", static_cast<std::int8_t>(i % 100));
  d->SetUInt16("wPort", static_cast<std::uint16_t>(i));
  d->SetInt16("sOffset", static_cast<std::int16_t>(-i % 1000));
  CKZComPtr<IKZBuffer> key;
  Util::Data::CreateKZBuffer(&key);
  const BYTE bytes[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  key->SetData(bytes, sizeof bytes);
  d->SetBuf("bufKey", key);
  CKZComPtr<IKZData> info;
  Util::Data::CreateKZData(&info);
  info->SetStr("strPhone", L"13800138000");
  info->SetDWord("dwDeptId", static_cast<DWORD>(i % 50));
  info->SetBool("bManager", 0);
  info->SetDouble("dRank", 1.25);
  d->SetKZData("info", info);
  CKZComPtr<IKZArray> tags;
  Util::Data::CreateKZArray(&tags);
  tags->AddStr(L"客户端");
  tags->AddStr(L"dev");
  tags->AddStr(L"shenzhen");
  d->SetKZArray("tags", tags);
  CKZComPtr<IKZArray> ids;
  Util::Data::CreateKZArray(&ids);
  for (DWORD k = 0; k < 4; ++k) ids->AddDWord(k + static_cast<DWORD>(i));
  d->SetKZArray("groupIds", ids);
  d->SetStr("str_email", L"zeng.lihua@example.com");
  d->SetDWord("dwDept", 3);
  d->SetDWord("dwFlags", 0x10);
  d->SetStr("strTitle", L"客户端开发工程师");
  return d;
}

// The root: {"count": N, "members": [N records]}.
const CKZComPtr<IKZData>& Tree() {
  static const CKZComPtr<IKZData> root = [] {
    CKZComPtr<IKZData> d;
    Util::Data::CreateKZData(&d);
    CKZComPtr<IKZArray> members;
    Util::Data::CreateKZArray(&members);
    for (int i = 0; i < kRecords; ++i) members->AddKZData(Member(i));
    d->SetDWord("count", kRecords);
    d->SetKZArray("members", members);
    return d;
  }();
  return root;
}

const std::shared_ptr<KOA::TData>& KoaTree() {
  static const std::shared_ptr<KOA::TData> root = KOADataUtil::Data::KZDataToTData(Tree(), nullptr);
  return root;
}

void BM_BagDeepCopy(benchmark::State& state) {
  const CKZComPtr<IKZData>& tree = Tree();
  for (auto _ : state) {
    CKZComPtr<IKZData> copy;
    Util::Data::CreateKZData(&copy);
    tree->CopyTo(copy);
    benchmark::DoNotOptimize(copy.Get());
  }
}
BENCHMARK(BM_BagDeepCopy)->Unit(benchmark::kMillisecond);

void BM_BagToKoa(benchmark::State& state) {
  const CKZComPtr<IKZData>& tree = Tree();
  for (auto _ : state) {
    std::shared_ptr<KOA::TData> koa = KOADataUtil::Data::KZDataToTData(tree, nullptr);
    benchmark::DoNotOptimize(koa.get());
  }
}
BENCHMARK(BM_BagToKoa)->Unit(benchmark::kMillisecond);

void BM_KoaToBag(benchmark::State& state) {
  const std::shared_ptr<KOA::TData>& koa = KoaTree();
  for (auto _ : state) {
    std::optional<CKZComPtr<IKZData>> bag = KOADataUtil::Data::TDataToKZData(koa, nullptr);
    benchmark::DoNotOptimize(bag->Get());
  }
}
BENCHMARK(BM_KoaToBag)->Unit(benchmark::kMillisecond);

// Prints as usual and keeps each benchmark's CPU time per iteration, averaged
// over the repetitions.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) {
        Time& t = times_[run.run_name.function_name];
        t.sum += run.GetAdjustedCPUTime();
        ++t.count;
      }
    }
  }
  void PrintRatios() const {
    auto base = times_.find("BM_BagDeepCopy");
    if (base == times_.end() || base->second.Mean() <= 0) return;
    std::printf("\nCPU time as a ratio to the bag deep copy (%d records x 20 fields):\n", kRecords);
    for (const auto& [name, time] : times_) {
      std::printf("  %-16s %6.2fx\n", name.c_str(), time.Mean() / base->second.Mean());
    }
  }

 private:
  // The mean CPU time per iteration over the repetitions.
  struct Time {
    double sum = 0;
    int count = 0;
    double Mean() const { return count > 0 ? sum / count : 0; }
  };
  std::map<std::string, Time> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
