#include "apps/wrenutil/host_session.h"

#include "platform/common/convert.h"
#include "platform/common/store.h"
#include "platform/gf/gf_element.h"
#include "platform/kernelutil/contactstatus.h"
#include "platform/kernelutil/profileconfig.h"

namespace wrenutil_app {
namespace {

// Calls `each` with every record of the array `name` of the organisation
// (none when the field is absent); false when an element is not a record.
template <class Each>
bool ForEachRecord(IKZData* org, const char* name, std::string* error, Each each) {
  CKZComPtr<IKZArray> list;
  if (FAILED(org->GetKZArray(name, &list)) || !list) return true;
  DWORD count = 0;
  list->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZData> record;
    std::string where = std::string(name) + "[" + std::to_string(i) + "]";
    if (FAILED(list->GetKZData(i, &record)) || !record) {
      *error = where + ": not a record";
      return false;
    }
    if (!each(record.Get(), where)) return false;
  }
  return true;
}

bool Read(IKZData* record, const char* field, DWORD* value, const std::string& where,
          std::string* error) {
  if (SUCCEEDED(record->GetDWord(field, value))) return true;
  *error = where + ": \"" + field + "\" is missing or not a u32";
  return false;
}

}  // namespace

bool RegisterSessionServices(Host& host, SessionServices* services, std::string* error) {
  IKZData* org = host.sample().organisation();
  bool ok = ForEachRecord(org, "rpt_contact_status", error, [&](IKZData* r, const std::string& w) {
    DWORD uin = 0, status = 0;
    if (!Read(r, "dwUin", &uin, w, error) || !Read(r, "dwStatus", &status, w, error)) {
      return false;
    }
    if (status > 0xFFFF) {
      *error = w + ": \"dwStatus\" is above 65535";
      return false;
    }
    platform::SetContactStatus(uin, static_cast<std::uint16_t>(status));
    return true;
  });
  if (!ok) return false;

  // Every member's information is its record; listed members also get their
  // "Privilege".
  CKZComPtr<IKZContactDataHost> contacts;
  platform::CreateMemoryContactDataService(&contacts);
  DWORD count = 0;
  host.sample().members()->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZData> member, info;
    host.sample().members()->GetKZData(i, &member);
    DWORD uin = 0;
    if (!member || FAILED(member->GetDWord("dwUin", &uin))) continue;
    Util::Data::CreateKZData(&info);
    member->CopyTo(info);
    contacts->SetContactInfo(uin, info);
  }
  ok = ForEachRecord(org, "rpt_contact_privilege", error, [&](IKZData* r, const std::string& w) {
    DWORD uin = 0;
    std::uint64_t privilege = 0;
    if (!Read(r, "dwUin", &uin, w, error)) return false;
    if (FAILED(r->GetUInt64("Privilege", &privilege))) {
      *error = w + ": \"Privilege\" is missing or not a u64";
      return false;
    }
    CKZComPtr<IKZData> info;
    contacts->GetContactInfo(uin, &info);
    if (!info) {
      *error = w + ": " + std::to_string(uin) + " is not a member";
      return false;
    }
    info->SetUInt64("Privilege", privilege);
    return true;
  });
  if (!ok) return false;

  // Items and settings live in the profile store; the sample's fill the
  // places the profile does not hold yet.
  platform::CreateProfileCommonServerConfigService(&services->config_items);
  ok = ForEachRecord(org, "rpt_server_config", error, [&](IKZData* r, const std::string& w) {
    DWORD type = 0, sub = 0;
    CKZStringW content;
    if (!Read(r, "dwType", &type, w, error) || !Read(r, "dwSubType", &sub, w, error)) {
      return false;
    }
    if (!Util::Data::GetKZDataStr(r, "strContent", content)) {
      *error = w + ": \"strContent\" is missing or not a text";
      return false;
    }
    CKZComPtr<IKZData> held;
    if (SUCCEEDED(services->config_items->GetConfigItem(type, sub, &held))) return true;
    HRESULT hr = services->config_items->SetConfigContent(
        type, sub, Util::Convert::Utf8FromWS(content.GetString(), content.GetLength()).str());
    if (FAILED(hr)) *error = "cannot store a configuration item: " + platform::LastStoreError();
    return SUCCEEDED(hr);
  });
  if (!ok) return false;

  platform::CreateProfileMainAccountConfigService(&services->account_config);
  ok = ForEachRecord(org, "rpt_main_account_config", error, [&](IKZData* r, const std::string& w) {
    DWORD id = 0, value = 0;
    if (!Read(r, "dwId", &id, w, error) || !Read(r, "dwValue", &value, w, error)) {
      return false;
    }
    DWORD held = 0;
    if (SUCCEEDED(services->account_config->GetConfigDWord(id, &held))) return true;
    HRESULT hr = services->account_config->SetConfigDWord(id, value);
    if (FAILED(hr)) *error = "cannot store a setting: " + platform::LastStoreError();
    return SUCCEEDED(hr);
  });
  if (!ok) return false;

  CKZComPtr<IGFElement> element;
  CKZComPtr<IGFFrame> frame;
  platform::CreateGFElement(L"MainFrame", true, &element);
  element.QueryInterface(&frame);
  CKZComPtr<IKZMainFrameService> main_frame;
  platform::CreateMainFrameService(frame, &main_frame);

  host.RegisterService(IKZContactDataService::kIid, contacts);
  host.RegisterService(IKZMainFrameService::kIid, main_frame);
  host.RegisterService(IKZCommonServerConfigService::kIid, services->config_items);
  host.RegisterService(IKZMainAccountConfigService::kIid, services->account_config);
  return true;
}

}  // namespace wrenutil_app
