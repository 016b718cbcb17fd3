#include "apps/wrenutil/host_menu.h"

#include "apps/wrenutil/app_context.h"
#include "apps/wrenutil/host.h"
#include "platform/afutil/afutil.h"
#include "platform/afutil/mainframe.h"
#include "platform/common/convert.h"
#include "platform/common/kzdialog.h"
#include "platform/common/kzjson.h"
#include "platform/common/store.h"
#include "platform/gf/gf_extension.h"
#include "platform/gf/gf_menu.h"
#include "platform/kernelutil/calljournal.h"
#include "platform/kernelutil/configservice.h"
#include "platform/kernelutil/contactstate.h"
#include "platform/kernelutil/orgmembership.h"
#include "platform/kernelutil/rights.h"

namespace wrenutil_app {
namespace {

constexpr GUID kBuddyPoint = platform::MakeGuid("{C5B624FE-9778-45FB-9CFE-212FB603BA28}");
constexpr GUID kDeptPoint = platform::MakeGuid("{5E525CB3-DAD0-41AF-A2EF-95A40D4D9B2A}");
constexpr GUID kReportPoint = platform::MakeGuid("{419029C6-A178-4BCF-A2A6-7B45FDAE71C1}");

// The u32 elements of a top-level array of the organisation.
template <class F>
void ForEachUin(IKZData* org, const char* field, F f) {
  CKZComPtr<IKZArray> array;
  if (FAILED(org->GetKZArray(field, &array)) || !array) return;
  DWORD count = 0;
  array->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    DWORD uin = 0;
    if (SUCCEEDED(array->GetDWord(i, &uin))) f(uin);
  }
}

// The demo plug-in: one item whose second text is the context it was given.
void AppendPluginItem(IGFMenu* menu, IKZData* context, const wchar_t* name) {
  CKZComPtr<IGFMenuItem> item;
  if (FAILED(menu->CreateItem(&item)) || !item) return;
  item->SetName(name);
  item->SetText(L"演示插件");
  std::string json = context ? platform::KZDataToJson(context) : "{}";
  CKZStringW text = Util::Convert::Utf8ToWS(json.data(), static_cast<int>(json.size()));
  item->SetSecondText(text);
  menu->AppendItem(item);
}

}  // namespace

std::unique_ptr<MenuServices> MenuServices::Install(Host& host, std::string* error) {
  std::unique_ptr<MenuServices> self(new MenuServices());
  self->host_ = &host;
  const Sample& sample = host.sample();
  IKZData* org = sample.organisation();
  auto data = std::make_shared<platform::ContactMenuData>();
  self->data_ = data;

  ForEachUin(org, "rpt_uint32_privilege", [&](DWORD n) { data->privileges.insert(n); });
  ForEachUin(org, "rpt_uint32_channel_privilege",
             [&](DWORD n) { data->channel_privileges.insert(n); });
  ForEachUin(org, "rpt_uint32_special_care", [&](DWORD n) { data->special_care.insert(n); });
  ForEachUin(org, "rpt_uint32_shortcut", [&](DWORD n) { data->shortcut_present.insert(n); });

  platform::FrequentContactsState frequent;
  CKZComPtr<IKZArray> folders;
  if (SUCCEEDED(org->GetKZArray("rpt_frequent_folder", &folders)) && folders) {
    DWORD count = 0;
    folders->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
      CKZComPtr<IKZData> folder;
      if (FAILED(folders->GetKZData(i, &folder)) || !folder) continue;
      platform::FrequentFolder entry;
      CKZBSTR name;
      folder->GetDWord("GroupID", &entry.id);
      folder->GetStr("GroupName", &name);
      entry.name = name.c_str();
      ForEachUin(folder, "rpt_uint32_uin", [&](DWORD uin) { entry.uins.push_back(uin); });
      frequent.folders.push_back(std::move(entry));
    }
  }
  if (FAILED(platform::CreateFrequentContactsManager(
          platform::CreateProfileFrequentStore(std::move(frequent)), &self->frequent_))) {
    *error = "cannot read the frequent contacts from the profile: " + platform::LastStoreError();
    return nullptr;
  }
  self->SyncFrequentFolders();

  std::vector<DWORD> members;
  DWORD count = 0;
  sample.members()->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZData> member;
    DWORD uin = 0;
    if (SUCCEEDED(sample.members()->GetKZData(i, &member)) && member &&
        SUCCEEDED(member->GetDWord("dwUin", &uin))) {
      members.push_back(uin);
      if (!data->shortcut_present.count(uin)) data->shortcut_allowed.insert(uin);
    }
  }
  count = 0;
  sample.outer_contacts()->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZData> outer;
    DWORD uin = 0, kind = 0;
    int invisible_flag = 0, prevented_flag = 0;
    if (FAILED(sample.outer_contacts()->GetKZData(i, &outer)) || !outer ||
        FAILED(outer->GetDWord("dwUin", &uin))) {
      continue;
    }
    outer->GetDWord("dwAccountKind", &kind);
    outer->GetBool("bInvisible", &invisible_flag);
    outer->GetBool("bPrevented", &prevented_flag);
    data->account_kinds[uin] = kind;
    if (invisible_flag) data->invisible.insert(uin);
    if (prevented_flag) data->prevented.insert(uin);
    if (!data->shortcut_present.count(uin)) data->shortcut_allowed.insert(uin);
  }

  IKZCoreHost* core = host.core();
  CKZComPtr<IKZOrgMembershipHost> membership;
  if (FAILED(platform::RegisterGFObjects(core)) ||
      FAILED(platform::CreateMemoryMenuServices(data, &self->services_)) ||
      FAILED(platform::RegisterMenuServices(core, self->services_, platform::kAllMenuServices)) ||
      FAILED(platform::CreateMemoryOrgMembershipService({}, &membership))) {
    *error = "cannot register the menu services";
    return nullptr;
  }
  for (DWORD uin : members) membership->SetOrgMember(uin, 1);
  host.RegisterService(IKZOrgMembershipService::kIid, membership);
  self->org_ = membership.Get();

  // Frequent contacts: the manager, its limits, the rights, the dialog.
  platform::ConfigValues limits;
  CKZComPtr<IKZData> configured;
  if (SUCCEEDED(org->GetKZData("frequent_limits", &configured)) && configured) {
    for (const char* name : {"MaxNumOfGroup", "MaxNumOfContact", "MaxNumOfContactPerGroup"}) {
      DWORD value = 0;
      if (SUCCEEDED(configured->GetDWord(name, &value))) {
        limits[std::wstring(name, name + std::char_traits<char>::length(name))] =
            std::to_wstring(value);
      }
    }
  }
  CKZComPtr<IKZServerConfigService> config;
  CKZComPtr<IKZRightService> rights;
  CKZComPtr<IKZMainFrameService> main_frame;
  if (FAILED(platform::CreateMemoryServerConfigService(limits, &config)) ||
      FAILED(platform::CreateMemoryRightService(1, &rights)) ||
      FAILED(platform::CreateMemoryMainFrameService(&main_frame)) ||
      FAILED(platform::RegisterDialogObjects(core))) {
    *error = "cannot register the frequent-contacts services";
    return nullptr;
  }
  host.RegisterService(IFrequentContactsMgr::kIid, self->frequent_);
  host.RegisterService(IKZServerConfigService::kIid, config);
  host.RegisterService(IKZRightService::kIid, rights);
  host.RegisterService(IKZMainFrameService::kIid, main_frame);

  platform::ClearContactsOnline();
  ForEachUin(org, "rpt_uint32_online", [](DWORD uin) { platform::SetContactOnline(uin, 1); });
  if (sample.Flag("bSelfOnline", 1)) platform::SetContactOnline(sample.self_uin(), 1);
  platform::ResetAFUtil();
  platform::SetSelfAvoidanceAuth(sample.Flag("bSelfAvoidanceAuth", 0));
  ForEachUin(org, "rpt_uint32_c2c_avoidance", [](DWORD uin) { platform::SetC2CAvoidance(uin, 1); });

  platform::AddMenuExtension(core, kBuddyPoint, [](IGFMenu* menu, IKZData* context) {
    AppendPluginItem(menu, context, L"DEMO_PLUGIN_CONTACT");
  });
  platform::AddMenuExtension(core, kDeptPoint, [](IGFMenu* menu, IKZData* context) {
    AppendPluginItem(menu, context, L"DEMO_PLUGIN_DEPT");
  });
  platform::AddReportExtension(core, kReportPoint, [](const wchar_t* code) {
    platform::NoteCall(std::wstring(L"OnReport(\"") + code + L"\")");
  });
  platform::TakeCallJournal();
  return self;
}

bool CheckUins(AppContext& context, const std::vector<DWORD>& uins) {
  for (DWORD uin : uins) {
    if (!context.host->sample().FindContact(uin)) {
      context.Fail("no member or outer contact has the number " + std::to_string(uin));
      return false;
    }
  }
  return true;
}

void MenuServices::SyncFrequentFolders() {
  platform::FrequentContactsState state;
  frequent_->GetState(&state);
  data_->fre_groups.clear();
  data_->fre_entries.clear();
  for (const auto& folder : state.folders) {
    data_->fre_groups.emplace_back(folder.id, folder.name);
    for (DWORD uin : folder.uins) data_->fre_entries.push_back(L"1_" + std::to_wstring(uin));
  }
}

void MenuServices::SetSelfOffline() { platform::SetContactOnline(host_->sample().self_uin(), 0); }

MenuServices::~MenuServices() {
  IKZCoreHost* core = host_->core();
  platform::RegisterMenuServices(core, services_, 0);
  host_->RegisterService(IKZOrgMembershipService::kIid, nullptr);
  host_->RegisterService(IFrequentContactsMgr::kIid, nullptr);
  host_->RegisterService(IKZServerConfigService::kIid, nullptr);
  host_->RegisterService(IKZRightService::kIid, nullptr);
  host_->RegisterService(IKZMainFrameService::kIid, nullptr);
  core->RegisterFactory(IKZInputDialog::kClsid, nullptr);
  core->RegisterExtensionPoint(kBuddyPoint, nullptr);
  core->RegisterExtensionPoint(kDeptPoint, nullptr);
  core->RegisterExtensionPoint(kReportPoint, nullptr);
  platform::ClearContactsOnline();
  platform::ResetAFUtil();
  platform::TakeCallJournal();
}

}  // namespace wrenutil_app
