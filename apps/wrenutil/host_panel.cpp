#include "apps/wrenutil/host_panel.h"

#include <utility>
#include <vector>

#include "apps/wrenutil/host.h"
#include "platform/gf/gf_menu.h"
#include "platform/kernelutil/contactnames.h"
#include "platform/kernelutil/contactstate.h"

namespace wrenutil_app {
namespace {

// Calls f(uin, record) for each record of `array` that has a u32 "dwUin".
template <class F>
void ForEachContact(IKZArray* array, F f) {
  DWORD count = 0;
  array->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZData> record;
    DWORD uin = 0;
    if (SUCCEEDED(array->GetKZData(i, &record)) && record &&
        SUCCEEDED(record->GetDWord("dwUin", &uin))) {
      f(uin, record.Get());
    }
  }
}

std::wstring Name(IKZData* record) {
  CKZBSTR name;
  record->GetStr("strName", &name);
  return name.c_str();
}

}  // namespace

std::unique_ptr<PanelServices> PanelServices::Install(Host& host, std::string* error) {
  // A fresh profile gets the sample's settings first, the tab-bar setting
  // among them.
  if (!host.UseProfile(error)) return nullptr;
  std::unique_ptr<PanelServices> self(new PanelServices());
  self->host_ = &host;
  const Sample& sample = host.sample();
  IKZData* org = sample.organisation();
  auto tbar = std::make_shared<platform::TbarServiceData>();
  std::vector<std::wstring> replies;
  self->tbar_ = tbar;

  platform::ClearContactNames();
  ForEachContact(sample.members(), [&](DWORD uin, IKZData* record) {
    std::wstring name = Name(record);
    platform::SetContactName(uin, name.c_str());
    tbar->members.insert(uin);
    tbar->real_names[uin] = name;
  });
  ForEachContact(sample.outer_contacts(), [&](DWORD uin, IKZData* record) {
    platform::SetContactName(uin, Name(record).c_str());
    tbar->real_names[uin] = L"";
  });
  CKZComPtr<IKZArray> list;
  if (SUCCEEDED(org->GetKZArray("rpt_uint32_special_care", &list)) && list) {
    DWORD count = 0;
    list->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
      DWORD uin = 0;
      if (SUCCEEDED(list->GetDWord(i, &uin))) tbar->focused.insert(uin);
    }
  }
  list = nullptr;
  if (SUCCEEDED(org->GetKZArray("rpt_str_auto_reply", &list)) && list) {
    DWORD count = 0;
    list->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
      CKZBSTR text;
      if (SUCCEEDED(list->GetStr(i, &text))) replies.push_back(text.c_str());
    }
  }

  IKZCoreHost* core = host.core();
  if (FAILED(platform::RegisterGFObjects(core)) ||
      FAILED(platform::CreateMemoryTbarServices(tbar, &self->tbar_services_)) ||
      FAILED(
          platform::RegisterTbarServices(core, self->tbar_services_, platform::kAllTbarServices)) ||
      FAILED(platform::CreateProfileAutoReplyService(std::move(replies), &self->reply_service_)) ||
      FAILED(host.RegisterService(IKZAutoReplyService::kIid, self->reply_service_))) {
    *error = "cannot register the main-panel services";
    return nullptr;
  }
  platform::ClearContactsOnline();
  if (sample.Flag("bSelfOnline", 1)) platform::SetContactOnline(sample.self_uin(), 1);
  return self;
}

void PanelServices::SetSelfOffline() { platform::SetContactOnline(host_->sample().self_uin(), 0); }

PanelServices::~PanelServices() {
  if (tbar_services_) platform::RegisterTbarServices(host_->core(), tbar_services_, 0);
  host_->RegisterService(IKZAutoReplyService::kIid, nullptr);
  platform::ClearContactNames();
  platform::ClearContactsOnline();
}

}  // namespace wrenutil_app
