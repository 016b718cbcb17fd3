// The persistent side against plain files: a settings bag written and read
// through the settings store, and a 20 KB head image put into and got from
// "MarlinHeadImage:", each next to fopen/fwrite (fopen/fread) of the same
// bytes. Everything lives in a temporary folder removed at the end.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/common/bagcodec.h"
#include "platform/common/datafolders.h"
#include "platform/common/kzfs.h"
#include "platform/common/kzjson.h"
#include "platform/common/settingsstore.h"
#include "platform/common/store.h"
#include "platform/kernelutil/kernelutil.h"
#include "wrenutil/datadirs.h"

namespace {

std::string g_dir;

CKZComPtr<IKZData> TabSetting() {
  CKZComPtr<IKZData> bag;
  platform::JsonToKZData(R"({"ShowAccount":{"@bool":true},"ShowName":{"@bool":false},)"
                         R"("ShowAllContact":{"@bool":true},"ShowOnlineContact":{"@bool":false},)"
                         R"("OnlineFirstRank":{"@bool":true},"ShowPsInfo":{"@bool":false},)"
                         R"("ShowNameOuter":{"@bool":true},"ShowStranger":{"@bool":true},)"
                         R"("ShowBlackList":{"@bool":true}})",
                         &bag, nullptr);
  return bag;
}

std::vector<BYTE> Image() {
  std::vector<BYTE> bytes(20 * 1024);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<BYTE>(i * 31 + 7);
  return bytes;
}

void PlainWrite(const std::string& path, const std::vector<BYTE>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::vector<BYTE> PlainRead(const std::string& path, std::size_t size) {
  std::vector<BYTE> bytes(size);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  std::size_t n = std::fread(bytes.data(), 1, size, f);
  std::fclose(f);
  bytes.resize(n);
  return bytes;
}

std::vector<BYTE> Encoded(IKZData* bag) {
  std::vector<BYTE> bytes;
  platform::EncodeKZData(bag, &bytes, nullptr);
  return bytes;
}

void BM_SettingsWrite(benchmark::State& state) {
  CKZComPtr<IKZSettingsStore> store;
  platform::CreateSettingsStore(&store);
  CKZComPtr<IKZData> bag = TabSetting();
  for (auto _ : state) {
    store->WriteData(L"OrgstructAndCustomPage", L"TBarTabBtnSetting", bag);
  }
}
BENCHMARK(BM_SettingsWrite);

void BM_SettingsWrite_PlainFile(benchmark::State& state) {
  std::vector<BYTE> bytes = Encoded(TabSetting());
  for (auto _ : state) PlainWrite(g_dir + "/setting.bin", bytes);
}
BENCHMARK(BM_SettingsWrite_PlainFile);

void BM_SettingsRead(benchmark::State& state) {
  CKZComPtr<IKZSettingsStore> store;
  platform::CreateSettingsStore(&store);
  store->WriteData(L"OrgstructAndCustomPage", L"TBarTabBtnSetting", TabSetting());
  for (auto _ : state) {
    CKZComPtr<IKZData> bag;
    store->ReadData(L"OrgstructAndCustomPage", L"TBarTabBtnSetting", &bag);
    benchmark::DoNotOptimize(bag.Get());
  }
}
BENCHMARK(BM_SettingsRead);

void BM_SettingsRead_PlainFile(benchmark::State& state) {
  std::vector<BYTE> bytes = Encoded(TabSetting());
  PlainWrite(g_dir + "/setting.bin", bytes);
  for (auto _ : state) benchmark::DoNotOptimize(PlainRead(g_dir + "/setting.bin", bytes.size()));
}
BENCHMARK(BM_SettingsRead_PlainFile);

void BM_HeadImagePut20K(benchmark::State& state) {
  Util::Dir::Marlin::InitHeadImageFileSystem();
  std::vector<BYTE> bytes = Image();
  for (auto _ : state) FS::WriteFile(L"MarlinHeadImage:10002.png", bytes.data(), bytes.size());
}
BENCHMARK(BM_HeadImagePut20K);

void BM_HeadImagePut20K_PlainFile(benchmark::State& state) {
  std::vector<BYTE> bytes = Image();
  for (auto _ : state) PlainWrite(g_dir + "/10002.png", bytes);
}
BENCHMARK(BM_HeadImagePut20K_PlainFile);

void BM_HeadImageGet20K(benchmark::State& state) {
  Util::Dir::Marlin::InitHeadImageFileSystem();
  std::vector<BYTE> bytes = Image();
  FS::WriteFile(L"MarlinHeadImage:10002.png", bytes.data(), bytes.size());
  for (auto _ : state) {
    std::vector<BYTE> back;
    FS::ReadFile(L"MarlinHeadImage:10002.png", &back);
    benchmark::DoNotOptimize(back.data());
  }
}
BENCHMARK(BM_HeadImageGet20K);

void BM_HeadImageGet20K_PlainFile(benchmark::State& state) {
  std::vector<BYTE> bytes = Image();
  PlainWrite(g_dir + "/10002.png", bytes);
  for (auto _ : state) benchmark::DoNotOptimize(PlainRead(g_dir + "/10002.png", bytes.size()));
}
BENCHMARK(BM_HeadImageGet20K_PlainFile);

}  // namespace

int main(int argc, char** argv) {
  std::string pattern = (std::filesystem::temp_directory_path() / "wrenutil-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  g_dir = pattern;
  platform::SetAppDataFolder(g_dir + "/appdata");
  platform::SetSession(platform::SessionInfo{10001, 3, 7});
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  platform::ResetFileSystems();
  platform::CloseStores();
  std::filesystem::remove_all(g_dir);
  return 0;
}
