// The configuration centre and the usage reports:
// - GetCommonServerConfigData on a 50 KB configuration item (UTF-8 XML of
//   400 elements with attributes and text), against the XML conversion alone
//   and against decoding the item's bytes into wide text, the least any
//   reader must do;
// - one report into the profile store's spool (a transaction in a temporary
//   data folder), against the same report into a spool in memory.
// After the run the program prints the ratios of CPU times (the machine may
// be shared, so wall times wander).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "af/include/commonserverconfigdef.h"
#include "platform/common/convert.h"
#include "platform/common/datafolders.h"
#include "platform/common/kzcore.h"
#include "platform/common/kzxml.h"
#include "platform/common/store.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/kernelutil/profileconfig.h"
#include "platform/kernelutil/serverconfig.h"
#include "wrenutil/datareport.h"

namespace {

std::string ConfigXml() {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CommonServerConfig>\n";
  for (int i = 0; xml.size() < 50 * 1024 - 200; ++i) {
    xml += "  <SessionProtocol ProtoType=\"" + std::to_string(i % 3) + "\" Name=\"协议" +
           std::to_string(i) + "\" Port=\"" + std::to_string(8000 + i) +
           "\">\n    <Server Host=\"srv" + std::to_string(i) +
           ".example\"/>\n    <Note>会话协议说明文字</Note>\n  </SessionProtocol>\n";
  }
  return xml + "</CommonServerConfig>\n";
}

struct ConfigSetup {
  ConfigSetup() {
    CKZComPtr<IKZCommonServerConfigHost> items;
    platform::CreateMemoryCommonServerConfigService(&items);
    items->SetConfigContent(18, 2, "\xEF\xBB\xBF" + xml);
    core->RegisterService(IKZCommonServerConfigService::kIid, items);
  }
  std::string xml = ConfigXml();
  platform::ScopedCore core;
};

void BM_GetCommonServerConfigData(benchmark::State& state) {
  ConfigSetup setup;
  for (auto _ : state) {
    CKZComPtr<IKZData> bag;
    if (GetCommonServerConfigData(18, 2, &bag) != 0) state.SkipWithError("conversion failed");
    benchmark::DoNotOptimize(bag.Get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * setup.xml.size()));
}
BENCHMARK(BM_GetCommonServerConfigData)->Unit(benchmark::kMicrosecond);

void BM_XmlConversionAlone(benchmark::State& state) {
  std::string xml = ConfigXml();
  for (auto _ : state) {
    CKZComPtr<IKZData> bag;
    Util::Data::CreateKZData(&bag);
    platform::XmlToKZData(xml, bag, nullptr);
    benchmark::DoNotOptimize(bag.Get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * xml.size()));
}
BENCHMARK(BM_XmlConversionAlone)->Unit(benchmark::kMicrosecond);

void BM_DecodeBytesOnly(benchmark::State& state) {
  std::string xml = ConfigXml();
  for (auto _ : state) {
    CKZStringW text(kUtf8, xml.data(), static_cast<int>(xml.size()));
    benchmark::DoNotOptimize(text.GetString());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * xml.size()));
}
BENCHMARK(BM_DecodeBytesOnly)->Unit(benchmark::kMicrosecond);

struct ReportSetup {
  ReportSetup() {
    folder =
        std::filesystem::temp_directory_path() / ("wrenutil_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    platform::SetAppDataFolder(folder.string());
    platform::SetSession({10008, 3, 12});
  }
  ~ReportSetup() {
    platform::SetReportSpool(nullptr);
    platform::CloseStores();
    platform::SetAppDataFolder(std::nullopt);
    std::filesystem::remove_all(folder);
  }
  std::filesystem::path folder;
  platform::ScopedCore core;
};

void BM_ReportIntoProfileSpool(benchmark::State& state) {
  ReportSetup setup;
  platform::SetReportSpool(platform::CreateProfileReportSpool());
  DWORD i = 0;
  for (auto _ : state) UtilCC::DataReport::EtpOperationReport(1, 2, ++i);
}
BENCHMARK(BM_ReportIntoProfileSpool)->Unit(benchmark::kMicrosecond);

void BM_ReportIntoMemorySpool(benchmark::State& state) {
  ReportSetup setup;
  platform::SetReportSpool(platform::CreateMemoryReportSpool());
  DWORD i = 0;
  for (auto _ : state) UtilCC::DataReport::EtpOperationReport(1, 2, ++i);
}
BENCHMARK(BM_ReportIntoMemorySpool)->Unit(benchmark::kMicrosecond);

// Keeps each benchmark's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
        times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    auto ratio = [&](const char* a, const char* b) {
      auto x = times_.find(a), y = times_.find(b);
      if (x == times_.end() || y == times_.end() || y->second == 0) return;
      std::printf("%s / %s = %.2f\n", a, b, x->second / y->second);
    };
    ratio("BM_GetCommonServerConfigData", "BM_DecodeBytesOnly");
    ratio("BM_GetCommonServerConfigData", "BM_XmlConversionAlone");
    ratio("BM_ReportIntoProfileSpool", "BM_ReportIntoMemorySpool");
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
