// Main panel and tab bar: building the status menu with 20 automatic
// replies (one bag and one checked item per reply) against the plain status
// menu, and one call of a display-name procedure (membership query, contact
// information, caption record) against the combined-name procedure that asks
// no service.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/common/kzcore.h"
#include "platform/common/kzdata.h"
#include "platform/gf/gf_menu.h"
#include "platform/kernelutil/autoreply.h"
#include "platform/kernelutil/contactnames.h"
#include "platform/kernelutil/tbarservices.h"
#include "wrenutil/utilgftbar.h"
#include "wrenutil/utilwrenmenu.h"

namespace {

constexpr DWORD kMember = 10002;

// A core with the GF objects, 20 automatic replies (the 8th active) and the
// tab-bar services, for the lifetime of the object.
class PanelWorld {
 public:
  PanelWorld() {
    platform::RegisterGFObjects(core_.Get());
    for (int i = 0; i < 20; ++i) {
      replies_->replies.push_back(L"自动回复 " + std::to_wstring(i) + L"：稍后联系您");
    }
    replies_->active = 1;
    replies_->current = 7;
    CKZComPtr<IKZAutoReplyService> replies;
    platform::CreateMemoryAutoReplyService(replies_, &replies);
    core_->RegisterService(IKZAutoReplyService::kIid, replies);
    tbar_->members = {kMember};
    tbar_->real_names = {{kMember, L"钱伟明"}};
    platform::CreateMemoryTbarServices(tbar_, &tbar_services_);
    platform::RegisterTbarServices(core_.Get(), tbar_services_, platform::kAllTbarServices);
    platform::SetContactName(kMember, L"钱伟");
  }
  ~PanelWorld() {
    tbar_services_ = nullptr;
    platform::ClearContactNames();
  }
  // Keeps the recorded queries from growing without bound.
  void Drain() {
    replies_->queries.clear();
    tbar_->calls.clear();
  }

 private:
  platform::ScopedCore core_;
  std::shared_ptr<platform::AutoReplyData> replies_ = std::make_shared<platform::AutoReplyData>();
  std::shared_ptr<platform::TbarServiceData> tbar_ = std::make_shared<platform::TbarServiceData>();
  CKZComPtr<IUnknown> tbar_services_;
};

void BM_StatusMenu(benchmark::State& state) {
  PanelWorld world;
  const int with_replies = static_cast<int>(state.range(0));
  for (auto _ : state) {
    IGFMenu* menu = nullptr;
    benchmark::DoNotOptimize(Util::UtilWRENMenu::GetStatusMenu(&menu, with_replies));
    menu->Release();
    world.Drain();
  }
}
BENCHMARK(BM_StatusMenu)->Arg(0)->Arg(1)->ArgName("auto_reply");

void BM_DisplayName(benchmark::State& state) {
  PanelWorld world;
  auto proc =
      state.range(0) != 0 ? Util::UtilGFTbar::ShowRemarkNameProc : Util::UtilGFTbar::ShowNameProc;
  CKZComPtr<IKZData> item;
  Util::Data::CreateKZData(&item);
  item->SetDWord("dwItemID", kMember);
  for (auto _ : state) {
    unsigned long flags = 0;
    IKZData* caption = nullptr;
    proc(item, &flags, &caption, nullptr);
    benchmark::DoNotOptimize(flags);
    caption->Release();
    world.Drain();
  }
}
BENCHMARK(BM_DisplayName)->Arg(0)->Arg(1)->ArgName("remark");

}  // namespace

BENCHMARK_MAIN();
