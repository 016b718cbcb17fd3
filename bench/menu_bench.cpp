// Contact menus: building the full buddy menu of one outer contact (every
// item, a frequent-contacts cascade, a plug-in on the extension point) and
// dispatching a click on "Send_Message" (report extension, chat opened,
// contact information asked).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "platform/afutil/afutil.h"
#include "platform/common/kzcore.h"
#include "platform/common/kzdata.h"
#include "platform/gf/gf_element.h"
#include "platform/gf/gf_extension.h"
#include "platform/gf/gf_menu.h"
#include "platform/kernelutil/calljournal.h"
#include "platform/kernelutil/contactstate.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/kernelutil/menuservices.h"
#include "platform/kernelutil/orgmembership.h"
#include "wrenutil/utilwrenmenu.h"

namespace {

constexpr DWORD kSelf = 10001;
constexpr DWORD kMember = 10002;
constexpr DWORD kOuter = 2800000001;

// A core with the GF objects, the menu services and the plug-ins installed
// for the lifetime of the object.
class MenuWorld {
 public:
  MenuWorld() {
    platform::SetSession(platform::SessionInfo{kSelf, 3, 7});
    platform::RegisterGFObjects(core_.Get());
    data_->privileges = {550};
    data_->channel_privileges = {1};
    data_->fre_groups = {{7, L"同事"}, {9, L"朋友"}, {11, L"客户"}};
    data_->account_kinds = {{kOuter, 1}};
    data_->shortcut_allowed = {kOuter};
    platform::CreateMemoryMenuServices(data_, &services_);
    platform::RegisterMenuServices(core_.Get(), services_, platform::kAllMenuServices);
    CKZComPtr<IKZOrgMembershipHost> org;
    platform::CreateMemoryOrgMembershipService({kSelf, kMember}, &org);
    core_->RegisterService(IKZOrgMembershipService::kIid, org);
    platform::SetContactOnline(kSelf, 1);
    platform::SetSelfAvoidanceAuth(1);
    platform::AddMenuExtension(
        core_.Get(), platform::MakeGuid("{C5B624FE-9778-45FB-9CFE-212FB603BA28}"),
        [](IGFMenu* menu, IKZData*) {
          Util::UtilWRENMenu::AddMenuItem(menu, L"plugin", L"插件", 1,
                                          Util::UtilWRENMenu::enMenuMask{}, nullptr, 0, nullptr);
        });
    platform::AddReportExtension(core_.Get(),
                                 platform::MakeGuid("{419029C6-A178-4BCF-A2A6-7B45FDAE71C1}"),
                                 [](const wchar_t*) {});
  }
  ~MenuWorld() {
    services_ = nullptr;
    platform::ClearContactsOnline();
    platform::ResetAFUtil();
    platform::TakeCallJournal();
    platform::SetSession(platform::SessionInfo{});
  }

 private:
  platform::ScopedCore core_;
  std::shared_ptr<platform::ContactMenuData> data_ = std::make_shared<platform::ContactMenuData>();
  CKZComPtr<IUnknown> services_;
};

// Keeps the call journal from growing without bound.
void Drain(std::int64_t i) {
  if ((i & 1023) == 0) platform::TakeCallJournal();
}

void BM_BuildFullBuddyMenu(benchmark::State& state) {
  MenuWorld world;
  CKZComPtr<IKZArray> selection;
  Util::Data::CreateKZArray(&selection);
  selection->AddDWord(kOuter);
  CKZComPtr<IKZData> context;
  Util::Data::CreateKZData(&context);
  context->SetDWord("MENU_WREN_SHOWDELFROMUSERDEFINEDGROUP", 1);
  context->SetDWord("MENU_WREN_SHOWDELFROMRECENTFOLDER", 1);
  std::int64_t i = 0;
  for (auto _ : state) {
    IGFMenu* menu = nullptr;
    benchmark::DoNotOptimize(Util::UtilWRENMenu::GetBuddyMenu(selection, &menu, context));
    menu->Release();
    Drain(++i);
  }
}
BENCHMARK(BM_BuildFullBuddyMenu);

void BM_ClickSendMessage(benchmark::State& state) {
  MenuWorld world;
  CKZComPtr<IKZArray> selection;
  Util::Data::CreateKZArray(&selection);
  selection->AddDWord(kMember);
  CKZComPtr<IGFMenu> menu;
  Util::UtilWRENMenu::GetBuddyMenu(selection, &menu, nullptr);
  CKZComPtr<IGFMenuItem> item;
  CKZBSTR name(L"Send_Message");
  menu->GetItemByName(name, &item);
  CKZComPtr<IKZData> click;
  Util::Data::CreateKZData(&click);
  click->SetStr("name", L"Send_Message");
  click->SetInterface("frame", IGFFrame::kIid, item);
  std::int64_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Util::UtilWRENMenu::OnClickStandardBuddyMenu(click));
    Drain(++i);
  }
}
BENCHMARK(BM_ClickSendMessage);

}  // namespace

BENCHMARK_MAIN();
