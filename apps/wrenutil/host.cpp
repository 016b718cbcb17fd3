#include "apps/wrenutil/host.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <map>
#include <set>

#include "platform/common/convert.h"
#include "platform/common/datafolders.h"
#include "platform/common/kzdialog.h"
#include "platform/common/kzfs.h"
#include "platform/common/kzjson.h"
#include "platform/common/kzlog.h"
#include "platform/common/settingsstore.h"
#include "platform/common/store.h"
#include "platform/kernelutil/accountservice.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/kvdata/kvdata.h"

namespace wrenutil_app {

// The organisation compiled in by CMake from data/sample_org.json.
extern const unsigned char kSampleOrg[];
extern const std::size_t kSampleOrgSize;

namespace {

std::string Quoted(const char* name) { return std::string("\"") + name + "\""; }

// Reads a required u32 field of a record; on failure fills *error.
bool RequireDWord(IKZData* data, const char* name, DWORD* value, const std::string& where,
                  std::string* error) {
  if (FAILED(data->GetDWord(name, value))) {
    *error = where + ": field " + Quoted(name) + " is missing or not a u32";
    return false;
  }
  return true;
}

// An array field of the top level; an absent field gives an empty array,
// another type is an error.
bool OptionalArray(IKZData* org, const char* name, IKZArray** out, std::string* error) {
  BYTE type = 0;
  org->GetFieldType(name, &type);
  if (type == KZ_TYPE_NONE) {
    if (Util::Data::CreateKZArray(out)) return true;
    *error = "cannot create an array";
    return false;
  }
  if (type != KZ_TYPE_KZARRAY || FAILED(org->GetKZArray(name, out))) {
    *error = "organisation: field " + Quoted(name) + " is not an array";
    return false;
  }
  return true;
}

}  // namespace

std::string StoreFailureText(HRESULT hr) {
  std::string why = platform::LastStoreError();
  if (!why.empty()) return why;
  char code[16];
  std::snprintf(code, sizeof(code), "0x%08x", static_cast<unsigned>(hr));
  return code;
}

bool ParseIPv4(std::string_view text, DWORD* address) {
  DWORD value = 0;
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (p == end || *p != '.') return false;
      ++p;
    }
    unsigned byte = 0;
    auto [next, ec] = std::from_chars(p, end, byte);
    if (ec != std::errc() || next == p || next - p > 3 || byte > 255) {
      return false;
    }
    value = (value << 8) | byte;
    p = next;
  }
  if (p != end) return false;
  *address = value;
  return true;
}

// ---- Sample -----------------------------------------------------------------

Sample::~Sample() = default;

std::unique_ptr<Sample> Sample::Parse(std::string_view json, std::string* error) {
  std::unique_ptr<Sample> sample(new Sample);
  std::string parse_error;
  if (FAILED(platform::JsonToKZData(json, &sample->org_, &parse_error))) {
    *error = "organisation: " + parse_error;
    return nullptr;
  }
  if (!sample->Index(error)) return nullptr;
  return sample;
}

std::unique_ptr<Sample> Sample::Embedded(std::string* error) {
  std::string_view json(reinterpret_cast<const char*>(kSampleOrg), kSampleOrgSize);
  std::unique_ptr<Sample> sample = Parse(json, error);
  if (!sample) *error = "embedded " + *error;
  return sample;
}

std::unique_ptr<Sample> Sample::FromFile(const std::string& path, std::string* error) {
  std::string text;
  if (!ReadFile(path, &text, error)) return nullptr;
  std::unique_ptr<Sample> sample = Parse(text, error);
  if (!sample) *error = path + ": " + *error;
  return sample;
}

bool Sample::Index(std::string* error) {
  IKZData* org = org_.Get();
  const std::string top = "organisation";
  DWORD major = 0;
  DWORD minor = 0;
  if (!RequireDWord(org, "dwSelfUin", &self_uin_, top, error) ||
      !RequireDWord(org, "dwCorpUin", &corp_uin_, top, error) ||
      !RequireDWord(org, "dwClientVersionMajor", &major, top, error) ||
      !RequireDWord(org, "dwClientVersionMinor", &minor, top, error)) {
    return false;
  }
  major_version_ = static_cast<int>(major);
  minor_version_ = static_cast<int>(minor);

  CKZStringW ip;
  if (Util::Data::GetKZDataStr(org, "strClientIP", ip) &&
      !ParseIPv4(Util::Convert::Utf8FromWS(ip, -1).str(), &client_ip_)) {
    *error = top + ": field \"strClientIP\" is not a dotted IPv4 address";
    return false;
  }
  org->GetUInt64("uint64_account_flags", &account_flags_);

  if (!OptionalArray(org, "rpt_member", &members_, error) ||
      !OptionalArray(org, "rpt_outer_contact", &outer_contacts_, error) ||
      !OptionalArray(org, "rpt_dept", &departments_, error) ||
      !OptionalArray(org, "rpt_outer_group", &outer_groups_, error)) {
    return false;
  }

  for (bool member : {true, false}) {
    IKZArray* list = member ? members_.Get() : outer_contacts_.Get();
    const char* name = member ? "rpt_member" : "rpt_outer_contact";
    DWORD count = 0;
    list->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
      std::string where = std::string(name) + "[" + std::to_string(i) + "]";
      CKZComPtr<IKZData> record;
      if (FAILED(list->GetKZData(i, &record)) || !record) {
        *error = where + ": not a record";
        return false;
      }
      DWORD uin = 0;
      if (!RequireDWord(record.Get(), "dwUin", &uin, where, error)) {
        return false;
      }
      // The array keeps the record alive; the index borrows it.
      contacts_.push_back({uin, member, record.Get()});
    }
  }
  std::sort(contacts_.begin(), contacts_.end(),
            [](const Entry& a, const Entry& b) { return a.uin < b.uin; });
  auto duplicate =
      std::adjacent_find(contacts_.begin(), contacts_.end(),
                         [](const Entry& a, const Entry& b) { return a.uin == b.uin; });
  if (duplicate != contacts_.end()) {
    *error = top + ": contact number " + std::to_string(duplicate->uin) + " appears twice";
    return false;
  }
  if (!IndexDepartments(error)) return false;
  if (!IsMember(self_uin_)) {
    *error = top + ": the own number " + std::to_string(self_uin_) +
             " (\"dwSelfUin\") is not a member of \"rpt_member\"";
    return false;
  }
  return true;
}

bool Sample::IndexDepartments(std::string* error) {
  // Parent of every department, by id.
  std::map<DWORD, DWORD> parents;
  DWORD count = 0;
  departments_->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    const std::string where = "rpt_dept[" + std::to_string(i) + "]";
    CKZComPtr<IKZData> dept;
    if (FAILED(departments_->GetKZData(i, &dept)) || !dept) {
      *error = where + ": not a record";
      return false;
    }
    DWORD id = 0, parent = 0;
    if (!RequireDWord(dept.Get(), "dwDeptId", &id, where, error) ||
        !RequireDWord(dept.Get(), "dwParentId", &parent, where, error)) {
      return false;
    }
    if (id == 0) {
      *error = where + ": department id 0 is the root's, no department's";
      return false;
    }
    if (!parents.emplace(id, parent).second) {
      *error = "organisation: department " + std::to_string(id) + " appears twice";
      return false;
    }
  }
  for (const auto& [id, parent] : parents) {
    if (parent != 0 && parents.count(parent) == 0) {
      *error = "organisation: the parent " + std::to_string(parent) + " of department " +
               std::to_string(id) + " is no department";
      return false;
    }
  }
  // Every chain of parents must reach the root. A department on a chain
  // already known to reach it stops the walk early, so this is linear.
  std::set<DWORD> rooted;
  for (const auto& [start, unused] : parents) {
    std::vector<DWORD> chain;
    std::set<DWORD> on_chain;
    DWORD id = start;
    while (id != 0 && rooted.count(id) == 0) {
      if (!on_chain.insert(id).second) {
        std::string cycle;
        auto from = std::find(chain.begin(), chain.end(), id);
        for (auto it = from; it != chain.end(); ++it) cycle += std::to_string(*it) + " -> ";
        *error = "organisation: departments " + cycle + std::to_string(id) + " form a cycle";
        return false;
      }
      chain.push_back(id);
      id = parents[id];
    }
    rooted.insert(chain.begin(), chain.end());
  }
  for (const auto& entry : parents) department_ids_.push_back(entry.first);
  return true;
}

bool Sample::HasDepartment(DWORD id) const {
  return std::binary_search(department_ids_.begin(), department_ids_.end(), id);
}

IKZData* Sample::FindContact(DWORD uin) const {
  auto it = std::lower_bound(contacts_.begin(), contacts_.end(), uin,
                             [](const Entry& e, DWORD value) { return e.uin < value; });
  return it != contacts_.end() && it->uin == uin ? it->record : nullptr;
}

bool Sample::IsMember(DWORD uin) const {
  auto it = std::lower_bound(contacts_.begin(), contacts_.end(), uin,
                             [](const Entry& e, DWORD value) { return e.uin < value; });
  return it != contacts_.end() && it->uin == uin && it->member;
}

bool Sample::IsOuterContact(DWORD uin) const {
  return FindContact(uin) != nullptr && !IsMember(uin);
}

bool Sample::InList(const char* field, DWORD uin) const {
  CKZComPtr<IKZArray> list;
  if (FAILED(org_->GetKZArray(field, &list)) || !list) return false;
  DWORD count = 0;
  list->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    DWORD value = 0;
    if (SUCCEEDED(list->GetDWord(i, &value)) && value == uin) return true;
  }
  return false;
}

int Sample::Flag(const char* field, int fallback) const {
  int value = fallback;
  org_->GetBool(field, &value);
  return value;
}

// ---- Host -------------------------------------------------------------------

std::unique_ptr<Host> Host::Create(const HostOptions& options, std::string* error) {
  std::unique_ptr<Host> host(new Host);
  host->sample_ = options.org_file.empty() ? Sample::Embedded(error)
                                           : Sample::FromFile(options.org_file, error);
  if (!host->sample_) return nullptr;
  const Sample& sample = *host->sample_;

  if (FAILED(platform::CreateCoreHost(&host->core_))) {
    *error = "cannot create the platform core";
    return nullptr;
  }
  platform::AccountInfo account;
  account.corp_uin = sample.corp_uin();
  account.flags = sample.account_flags();
  account.report_uin = sample.self_uin();
  CKZComPtr<IKZAccountService> account_service;
  CKZComPtr<IKZNetworkService> network_service;
  if (FAILED(platform::CreateMemoryAccountService(account, &account_service)) ||
      FAILED(platform::CreateMemoryNetworkService(sample.client_ip(), &network_service)) ||
      FAILED(host->core_->RegisterService(IKZAccountService::kIid, account_service)) ||
      FAILED(host->core_->RegisterService(IKZNetworkService::kIid, network_service))) {
    *error = "cannot register the host's services";
    host->core_->Clear();
    return nullptr;
  }

  platform::SessionInfo session;
  session.self_uin = sample.self_uin();
  session.major_version = sample.major_version();
  session.minor_version = sample.minor_version();
  platform::SetSession(session);
  platform::InstallCore(host->core_);
  host->installed_ = true;

  // Persistent state: the data folder, the settings store, dialogs on the
  // terminal. Nothing touches the disk before a command uses the profile.
  if (!options.data_dir.empty()) {
    host->previous_data_dir_ = platform::SetAppDataFolder(options.data_dir);
  }
  CKZComPtr<IKZSettingsStore> settings;
  platform::CreateSettingsStore(&settings);
  host->core_->RegisterService(IKZSettingsStore::kIid, settings);
  platform::RegisterDialogObjects(host->core_);
  host->previous_dialogs_ =
      platform::SetDialogProvider(std::make_shared<platform::TerminalDialogProvider>());
  host->persistence_set_ = true;

  if (options.log_to_stderr) {
    host->log_sink_ = platform::AddLogSink([](const platform::LogEntry& entry) {
      std::cerr << platform::FormatLogEntry(entry) << '\n';
    });
  } else {
    // What the stores report about the user's files is always shown.
    host->warning_sink_ = platform::AddLogSink([](const platform::LogEntry& entry) {
      if (entry.module != L"Store") return;
      std::cerr << "wrenutil: warning: "
                << Util::Convert::Utf8FromWS(entry.message.c_str(),
                                             static_cast<int>(entry.message.size()))
                       .str()
                << '\n';
    });
  }
  return host;
}

Host::~Host() {
  if (log_sink_ >= 0) platform::RemoveLogSink(log_sink_);
  if (warning_sink_ >= 0) platform::RemoveLogSink(warning_sink_);
  if (persistence_set_) {
    platform::SetDialogProvider(previous_dialogs_);
    platform::ResetFileSystems();
    platform::CloseStores();
    if (previous_data_dir_) platform::SetAppDataFolder(*previous_data_dir_);
  }
  if (installed_) {
    platform::InstallCore(nullptr);
    platform::SetSession({});
  }
  if (core_) core_->Clear();
}

HRESULT Host::RegisterService(REFGUID id, IUnknown* service) {
  return core_->RegisterService(id, service);
}

namespace {
// The tab-bar display setting as a fresh client has it.
constexpr const char kDefaultTabSetting[] =
    R"({"ShowAccount":{"@bool":true},"ShowName":{"@bool":false},)"
    R"("ShowAllContact":{"@bool":true},"ShowOnlineContact":{"@bool":false},)"
    R"("OnlineFirstRank":{"@bool":true},"ShowPsInfo":{"@bool":false},)"
    R"("ShowNameOuter":{"@bool":true},"ShowStranger":{"@bool":true},)"
    R"("ShowBlackList":{"@bool":true}})";

HRESULT SeedSettings(IKZSettingsStore* store, IKZData* settings) {
  DWORD sections = 0;
  settings->GetFieldCount(&sections);
  for (DWORD i = 0; i < sections; ++i) {
    CKZBSTR section;
    settings->GetFieldName(i, &section);
    CKZComPtr<IKZData> keys;
    if (FAILED(settings->GetKZData(section.c_str(), &keys))) continue;
    DWORD count = 0;
    keys->GetFieldCount(&count);
    for (DWORD k = 0; k < count; ++k) {
      CKZBSTR key;
      keys->GetFieldName(k, &key);
      CKZComPtr<IKZData> bag;
      if (FAILED(keys->GetKZData(key.c_str(), &bag))) continue;
      if (HRESULT hr = store->WriteData(section.c_str(), key.c_str(), bag); FAILED(hr)) return hr;
    }
  }
  return S_OK;
}
}  // namespace

bool Host::UseProfile(std::string* error) {
  if (Util::KVData::GetDWord("wrenutil", "seeded", 0) == 1) return true;
  CKZComPtr<IKZSettingsStore> store;
  platform::CreateSettingsStore(&store);
  CKZComPtr<IKZData> tab;
  platform::JsonToKZData(kDefaultTabSetting, &tab, nullptr);
  HRESULT hr = store->WriteData(L"OrgstructAndCustomPage", L"TBarTabBtnSetting", tab);
  if (SUCCEEDED(hr)) hr = Util::KVData::SetDWord("Misc", "szSubKey_OrgExtuinHideSwitch", 0);
  CKZComPtr<IKZData> settings;
  if (SUCCEEDED(hr) && SUCCEEDED(sample_->organisation()->GetKZData("settings", &settings))) {
    hr = SeedSettings(store, settings);
  }
  if (SUCCEEDED(hr)) hr = Util::KVData::SetDWord("wrenutil", "seeded", 1);
  if (FAILED(hr)) {
    *error = platform::LastStoreError();
    if (error->empty()) *error = "cannot write the profile store";
    return false;
  }
  return true;
}

}  // namespace wrenutil_app
