// Frequent-contacts menus: building the folder menu over 50 folders, and one
// click that adds the selection to a folder (delivered through the menu's GF
// event, limits checked, the manager's store written), with the folders kept
// in memory and in the profile store.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/afutil/mainframe.h"
#include "platform/common/datafolders.h"
#include "platform/common/kzcore.h"
#include "platform/common/kzdata.h"
#include "platform/common/store.h"
#include "platform/gf/gf_event.h"
#include "platform/gf/gf_menu.h"
#include "platform/kernelutil/calljournal.h"
#include "platform/kernelutil/configservice.h"
#include "platform/kernelutil/frequentcontacts.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/kernelutil/orgmembership.h"
#include "platform/kernelutil/rights.h"
#include "wrenutil/utilwrenmenu_frequent.h"

namespace {

namespace Frequent = Util::UtilWRENMenu::FrequentContactsMenu;

constexpr DWORD kSelf = 10001;
constexpr DWORD kFolders = 50;

// A core with the GF objects, organisation membership, rights and a manager
// holding 50 folders of 20 contacts each.
class FrequentWorld {
 public:
  explicit FrequentWorld(bool profile) {
    platform::SetSession(platform::SessionInfo{kSelf, 3, 7});
    if (profile) {
      folder_ = std::filesystem::temp_directory_path() /
                ("wrenutil_frequent_bench_" + std::to_string(::getpid()));
      platform::SetAppDataFolder(folder_.string());
    }
    platform::RegisterGFObjects(core_.Get());
    CKZComPtr<IKZOrgMembershipHost> org;
    platform::CreateMemoryOrgMembershipService({kSelf}, &org);
    for (DWORD uin = 10002; uin < 12000; ++uin) org->SetOrgMember(uin, 1);
    core_->RegisterService(IKZOrgMembershipService::kIid, org);
    CKZComPtr<IKZServerConfigService> config;
    platform::CreateMemoryServerConfigService({{L"MaxNumOfContact", L"5000"}}, &config);
    core_->RegisterService(IKZServerConfigService::kIid, config);
    CKZComPtr<IKZRightService> rights;
    platform::CreateMemoryRightService(1, &rights);
    core_->RegisterService(IKZRightService::kIid, rights);
    platform::FrequentContactsState state;
    for (DWORD id = 1; id <= kFolders; ++id) {
      platform::FrequentFolder folder{id, L"分组 " + std::to_wstring(id), {}};
      for (DWORD k = 0; k < 20; ++k) folder.uins.push_back(10002 + id * 20 + k);
      state.folders.push_back(std::move(folder));
    }
    auto store = profile ? platform::CreateProfileFrequentStore(std::move(state))
                         : platform::CreateMemoryFrequentStore(std::move(state));
    platform::CreateFrequentContactsManager(std::move(store), &manager_);
    core_->RegisterService(IFrequentContactsMgr::kIid, manager_);
  }
  ~FrequentWorld() {
    manager_ = nullptr;
    core_->Clear();
    platform::TakeCallJournal();
    platform::SetSession(platform::SessionInfo{});
    if (!folder_.empty()) {
      platform::CloseStores();
      platform::SetAppDataFolder(std::nullopt);
      std::error_code ignored;
      std::filesystem::remove_all(folder_, ignored);
    }
  }

 private:
  platform::ScopedCore core_;
  CKZComPtr<IFrequentContactsHost> manager_;
  std::filesystem::path folder_;
};

CKZComPtr<IKZArray> Selection() {
  CKZComPtr<IKZArray> uins;
  Util::Data::CreateKZArray(&uins);
  uins->AddDWord(10002);
  uins->AddDWord(10003);
  return uins;
}

// Arg 1: all folders; 0: only the folders that hold a selected contact.
void BM_BuildFolderMenu50(benchmark::State& state) {
  FrequentWorld world(false);
  CKZComPtr<IKZArray> uins = Selection();
  CKZComPtr<IKZData> context;
  Util::Data::CreateKZData(&context);
  context->SetDWord("bShowAllFolders", static_cast<DWORD>(state.range(0)));
  for (auto _ : state) {
    IGFMenu* menu = nullptr;
    benchmark::DoNotOptimize(
        Frequent::GetFrequentFolderMenu(uins, &menu, context, nullptr, nullptr));
    menu->Release();
  }
}
BENCHMARK(BM_BuildFolderMenu50)->Arg(1)->Arg(0);

// Arg 1: the folders in the profile store; 0: in memory.
void BM_ClickAddsToFolder(benchmark::State& state) {
  FrequentWorld world(state.range(0) != 0);
  CKZComPtr<IKZArray> uins = Selection();
  IGFMenu* raw = nullptr;
  Frequent::GetFrequentFolderMenu(uins, &raw, nullptr, nullptr, nullptr);
  CKZComPtr<IGFMenu> menu;
  menu.Attach(raw);
  platform::TakeCallJournal();
  platform::ChooseGFMenuItem(menu, kFolders - 1);
  if (platform::TakeCallJournal() != std::vector<std::wstring>{L"FrequentAdd(10002 10003 -> 50)"}) {
    state.SkipWithError("the click did not add");
  }
  std::int64_t i = 0;
  for (auto _ : state) {
    // The last folder; the selection stays in it after the first click, so
    // every click makes the same checks and writes the same state.
    benchmark::DoNotOptimize(platform::ChooseGFMenuItem(menu, kFolders - 1));
    if ((++i & 1023) == 0) platform::TakeCallJournal();
  }
}
BENCHMARK(BM_ClickAddsToFolder)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
