#include "platform/kernelutil/frequentcontacts.h"

#include <algorithm>
#include <cwchar>
#include <map>
#include <set>
#include <utility>

#include "platform/common/convert.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"
#include "platform/common/store.h"
#include "platform/kernelutil/calljournal.h"
#include "platform/kernelutil/configservice.h"

namespace platform {
namespace {

constexpr std::size_t kMaxNameLength = 64;

class MemoryStore : public FrequentContactsStore {
 public:
  explicit MemoryStore(FrequentContactsState state) : state_(std::move(state)) {}
  HRESULT Load(FrequentContactsState* state) override {
    *state = state_;
    return S_OK;
  }
  HRESULT Save(const FrequentContactsState& state) override {
    state_ = state;
    return S_OK;
  }

 private:
  FrequentContactsState state_;
};

// A configured limit: the server configuration item `name` when it is a
// decimal number, else `fallback`.
DWORD ConfiguredLimit(const wchar_t* name, DWORD fallback) {
  CKZComPtr<IKZCore> core;
  CKZComPtr<IKZServerConfigService> config;
  if (FAILED(Util::Core::GetPlatformCore(&core)) || !core ||
      FAILED(core->GetService(IKZServerConfigService::kIid, reinterpret_cast<void**>(&config))) ||
      !config) {
    return fallback;
  }
  BSTR value = nullptr;
  config->GetConfigString(name, &value);
  DWORD result = fallback;
  if (value != nullptr && *value != L'\0') {
    wchar_t* end = nullptr;
    unsigned long long parsed = std::wcstoull(value, &end, 10);
    if (*end == L'\0' && value[0] >= L'0' && value[0] <= L'9' && parsed <= 0xFFFFFFFFull) {
      result = static_cast<DWORD>(parsed);
    }
  }
  SysFreeString(value);
  return result;
}

std::wstring UinList(const std::vector<DWORD>& uins) {
  std::wstring out;
  for (DWORD uin : uins) {
    if (!out.empty()) out += L' ';
    out += std::to_wstring(uin);
  }
  return out;
}

std::wstring Trim(const wchar_t* text) {
  std::wstring s = text;
  std::size_t begin = s.find_first_not_of(L" \t");
  if (begin == std::wstring::npos) return L"";
  std::size_t end = s.find_last_not_of(L" \t");
  return s.substr(begin, end - begin + 1);
}

class Manager : public RefCounted<IFrequentContactsHost> {
 public:
  Manager(std::unique_ptr<FrequentContactsStore> store, FrequentContactsState state)
      : store_(std::move(store)), state_(std::move(state)) {}

  HRESULT GetFolderList(IKZArray** folders) override {
    if (folders == nullptr) return E_POINTER;
    *folders = nullptr;
    if (HRESULT hr = Failure(FrequentOperation::kFolderList); FAILED(hr)) return hr;
    return Records([](const FrequentFolder&) { return true; }, folders);
  }

  HRESULT GetFoldersOfContact(DWORD uin, IKZArray** folders) override {
    if (folders == nullptr) return E_POINTER;
    *folders = nullptr;
    return Records([uin](const FrequentFolder& f) { return Holds(f, uin); }, folders);
  }

  HRESULT GetLimits(IKZData** limits) override {
    if (limits == nullptr) return E_POINTER;
    *limits = nullptr;
    if (HRESULT hr = Failure(FrequentOperation::kLimits); FAILED(hr)) return hr;
    CKZComPtr<IKZData> bag;
    if (!Util::Data::CreateKZData(&bag) || !bag) return E_OUTOFMEMORY;
    const Limits l = CurrentLimits();
    bag->SetDWord("MaxNumOfGroup", l.groups);
    bag->SetDWord("MaxNumOfContact", l.contacts);
    bag->SetDWord("MaxNumOfContactPerGroup", l.per_group);
    bag->SetDWord("TotalGroups", static_cast<DWORD>(state_.folders.size()));
    bag->SetDWord("TotalContacts", TotalContacts(state_));
    *limits = bag.Detach();
    return S_OK;
  }

  HRESULT GetFolder(DWORD id, IKZData** folder) override {
    if (folder == nullptr) return E_POINTER;
    *folder = nullptr;
    if (HRESULT hr = Failure(FrequentOperation::kGetFolder); FAILED(hr)) return hr;
    const FrequentFolder* found = Find(state_, id);
    if (found == nullptr) return E_INVALIDARG;
    CKZComPtr<IKZData> record = Record(*found);
    if (!record) return E_OUTOFMEMORY;
    *folder = record.Detach();
    return S_OK;
  }

  HRESULT GetFolderContacts(DWORD id, IKZArray** uins) override {
    if (uins == nullptr) return E_POINTER;
    *uins = nullptr;
    const FrequentFolder* found = Find(state_, id);
    if (found == nullptr) return E_INVALIDARG;
    CKZComPtr<IKZArray> array;
    if (!Util::Data::CreateKZArray(&array) || !array) return E_OUTOFMEMORY;
    for (DWORD uin : found->uins) array->AddDWord(uin);
    *uins = array.Detach();
    return S_OK;
  }

  HRESULT AddContacts(IKZArray* uins, DWORD folder) override {
    if (uins == nullptr) return E_POINTER;
    std::vector<DWORD> list;
    if (!ReadUins(uins, &list)) return E_INVALIDARG;
    if (HRESULT hr = Failure(FrequentOperation::kAdd); FAILED(hr)) return hr;
    FrequentContactsState next = state_;
    FrequentFolder* target = Find(next, folder);
    if (target == nullptr) return E_INVALIDARG;
    for (DWORD uin : list) {
      if (uin == 0) return E_INVALIDARG;
      if (!Holds(*target, uin)) target->uins.push_back(uin);
    }
    const Limits l = CurrentLimits();
    if (target->uins.size() > l.per_group || TotalContacts(next) > l.contacts) return E_FAIL;
    HRESULT hr = Commit(std::move(next));
    if (SUCCEEDED(hr)) {
      NoteCall(L"FrequentAdd(" + UinList(list) + L" -> " + std::to_wstring(folder) + L")");
    }
    return hr;
  }

  HRESULT RemoveContacts(IKZArray* uins, DWORD folder) override {
    if (uins == nullptr) return E_POINTER;
    std::vector<DWORD> list;
    if (!ReadUins(uins, &list)) return E_INVALIDARG;
    FrequentContactsState next = state_;
    FrequentFolder* source = Find(next, folder);
    if (source == nullptr) return E_INVALIDARG;
    std::erase_if(source->uins, [&](DWORD uin) {
      return std::find(list.begin(), list.end(), uin) != list.end();
    });
    HRESULT hr = Commit(std::move(next));
    if (SUCCEEDED(hr)) {
      NoteCall(L"FrequentRemove(" + UinList(list) + L" <- " + std::to_wstring(folder) + L")");
    }
    return hr;
  }

  HRESULT CreateFolder(DWORD kind, const wchar_t* name, DWORD* id) override {
    if (name == nullptr || id == nullptr) return E_POINTER;
    if (kind != 1) return E_INVALIDARG;
    if (HRESULT hr = Failure(FrequentOperation::kCreateFolder); FAILED(hr)) return hr;
    std::wstring trimmed = Trim(name);
    if (trimmed.empty() || trimmed.size() > kMaxNameLength) return E_INVALIDARG;
    if (state_.folders.size() >= CurrentLimits().groups) return E_FAIL;
    FrequentContactsState next = state_;
    const DWORD new_id = next.next_id++;
    next.folders.push_back(FrequentFolder{new_id, trimmed, {}});
    HRESULT hr = Commit(std::move(next));
    if (FAILED(hr)) return hr;
    *id = new_id;
    NoteCall(L"FrequentCreateFolder(" + std::to_wstring(kind) + L", \"" + trimmed + L"\") = " +
             std::to_wstring(new_id));
    return S_OK;
  }

  HRESULT SetFailure(FrequentOperation operation, HRESULT code) override {
    failures_[operation] = code;
    return S_OK;
  }

  HRESULT GetState(FrequentContactsState* state) override {
    if (state == nullptr) return E_POINTER;
    *state = state_;
    return S_OK;
  }

 private:
  struct Limits {
    DWORD groups, contacts, per_group;
  };

  static Limits CurrentLimits() {
    return Limits{ConfiguredLimit(L"MaxNumOfGroup", kDefaultMaxNumOfGroup),
                  ConfiguredLimit(L"MaxNumOfContact", kDefaultMaxNumOfContact),
                  ConfiguredLimit(L"MaxNumOfContactPerGroup", kDefaultMaxNumOfContactPerGroup)};
  }
  static bool Holds(const FrequentFolder& folder, DWORD uin) {
    return std::find(folder.uins.begin(), folder.uins.end(), uin) != folder.uins.end();
  }
  template <class State>
  static auto Find(State& state, DWORD id) -> decltype(&state.folders[0]) {
    for (auto& folder : state.folders) {
      if (folder.id == id) return &folder;
    }
    return nullptr;
  }
  static DWORD TotalContacts(const FrequentContactsState& state) {
    std::set<DWORD> all;
    for (const auto& folder : state.folders) all.insert(folder.uins.begin(), folder.uins.end());
    return static_cast<DWORD>(all.size());
  }
  static bool ReadUins(IKZArray* uins, std::vector<DWORD>* out) {
    DWORD count = 0;
    uins->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
      DWORD uin = 0;
      if (FAILED(uins->GetDWord(i, &uin))) return false;
      out->push_back(uin);
    }
    return true;
  }
  static CKZComPtr<IKZData> Record(const FrequentFolder& folder) {
    CKZComPtr<IKZData> record;
    if (!Util::Data::CreateKZData(&record) || !record) return record;
    record->SetDWord("GroupID", folder.id);
    record->SetStr("GroupName", folder.name.c_str());
    record->SetDWord("TotalChildren", static_cast<DWORD>(folder.uins.size()));
    return record;
  }
  template <class Pred>
  HRESULT Records(Pred pred, IKZArray** out) {
    CKZComPtr<IKZArray> array;
    if (!Util::Data::CreateKZArray(&array) || !array) return E_OUTOFMEMORY;
    for (const auto& folder : state_.folders) {
      if (!pred(folder)) continue;
      CKZComPtr<IKZData> record = Record(folder);
      if (!record) return E_OUTOFMEMORY;
      array->AddKZData(record.Get());
    }
    *out = array.Detach();
    return S_OK;
  }
  HRESULT Failure(FrequentOperation operation) const {
    auto found = failures_.find(operation);
    return found == failures_.end() ? S_OK : found->second;
  }
  HRESULT Commit(FrequentContactsState next) {
    HRESULT hr = store_->Save(next);
    if (SUCCEEDED(hr)) state_ = std::move(next);
    return hr;
  }

  std::unique_ptr<FrequentContactsStore> store_;
  FrequentContactsState state_;
  std::map<FrequentOperation, HRESULT> failures_;
};

}  // namespace

std::unique_ptr<FrequentContactsStore> CreateMemoryFrequentStore(FrequentContactsState initial) {
  return std::make_unique<MemoryStore>(std::move(initial));
}

HRESULT CreateFrequentContactsManager(std::unique_ptr<FrequentContactsStore> store,
                                      IFrequentContactsHost** manager) {
  if (manager == nullptr) return E_POINTER;
  *manager = nullptr;
  if (!store) store = CreateMemoryFrequentStore();
  FrequentContactsState state;
  HRESULT hr = store->Load(&state);
  if (FAILED(hr)) return hr;
  for (const auto& folder : state.folders) state.next_id = std::max(state.next_id, folder.id + 1);
  *manager = new Manager(std::move(store), std::move(state));
  return S_OK;
}

}  // namespace platform

// The profile-store side.
namespace platform {
namespace {

constexpr const char* kSteps[] = {
    "CREATE TABLE frequent_folder(id INTEGER PRIMARY KEY, position INTEGER NOT NULL, "
    "name TEXT NOT NULL);"
    "CREATE TABLE frequent_contact(folder_id INTEGER NOT NULL, position INTEGER NOT NULL, "
    "uin INTEGER NOT NULL, PRIMARY KEY(folder_id, position));"
    "CREATE TABLE frequent_state(key TEXT PRIMARY KEY, value INTEGER NOT NULL)",
};
constexpr StoreSchema kSchema{"frequent_contacts", kSteps};

std::string ToUtf8(const std::wstring& text) {
  CKZStringA a = Util::Convert::Utf8FromWS(text.c_str(), static_cast<int>(text.size()));
  return std::string(a.GetString(), static_cast<std::size_t>(a.GetLength()));
}

bool IsU32(std::int64_t value) { return value >= 0 && value <= 0xFFFFFFFFll; }

class ProfileStore : public FrequentContactsStore {
 public:
  explicit ProfileStore(FrequentContactsState seed) : seed_(std::move(seed)) {}

  HRESULT Load(FrequentContactsState* state) override {
    FrequentContactsState loaded;
    bool saved = false;
    HRESULT hr = RunInProfile(kSchema, StoreAccess::kRead, [&](sql::Db& db) -> HRESULT {
      sql::Statement next, folders, contacts;
      if (!db.Prepare("SELECT value FROM frequent_state WHERE key = 'next_id'", &next) ||
          !db.Prepare("SELECT id, name FROM frequent_folder ORDER BY position", &folders) ||
          !db.Prepare("SELECT folder_id, uin FROM frequent_contact ORDER BY folder_id, position",
                      &contacts)) {
        return KZ_E_STORE;
      }
      auto step = next.Next();
      if (step == sql::Statement::Step::kError) return KZ_E_STORE;
      if (step == sql::Statement::Step::kDone) return S_OK;  // never saved
      saved = true;
      if (!IsU32(next.ColumnInt64(0))) return KZ_E_STORE_BADDATA;
      loaded.next_id = static_cast<DWORD>(next.ColumnInt64(0));
      while ((step = folders.Next()) == sql::Statement::Step::kRow) {
        const std::int64_t id = folders.ColumnInt64(0);
        std::string_view name = folders.ColumnText(1);
        if (!IsU32(id) || id == 0 || id >= loaded.next_id || name.empty()) {
          return KZ_E_STORE_BADDATA;
        }
        for (const auto& f : loaded.folders) {
          if (f.id == id) return KZ_E_STORE_BADDATA;
        }
        loaded.folders.push_back(
            {static_cast<DWORD>(id),
             Util::Convert::Utf8ToWS(name.data(), static_cast<int>(name.size())).str(),
             {}});
      }
      if (step == sql::Statement::Step::kError) return KZ_E_STORE;
      while ((step = contacts.Next()) == sql::Statement::Step::kRow) {
        const std::int64_t folder = contacts.ColumnInt64(0), uin = contacts.ColumnInt64(1);
        if (!IsU32(uin) || uin == 0) return KZ_E_STORE_BADDATA;
        auto it = std::find_if(loaded.folders.begin(), loaded.folders.end(),
                               [&](const FrequentFolder& f) { return f.id == folder; });
        if (it == loaded.folders.end()) return KZ_E_STORE_BADDATA;
        it->uins.push_back(static_cast<DWORD>(uin));
      }
      return step == sql::Statement::Step::kError ? KZ_E_STORE : S_OK;
    });
    if (FAILED(hr)) return hr;
    *state = saved ? std::move(loaded) : seed_;
    return S_OK;
  }

  HRESULT Save(const FrequentContactsState& state) override {
    return RunInProfile(kSchema, StoreAccess::kWrite, [&](sql::Db& db) -> HRESULT {
      if (!db.Exec("DELETE FROM frequent_contact; DELETE FROM frequent_folder;")) {
        return KZ_E_STORE;
      }
      sql::Statement folder, contact, next;
      if (!db.Prepare("INSERT INTO frequent_folder(id, position, name) VALUES(?, ?, ?)", &folder) ||
          !db.Prepare("INSERT INTO frequent_contact(folder_id, position, uin) VALUES(?, ?, ?)",
                      &contact) ||
          !db.Prepare("INSERT INTO frequent_state(key, value) VALUES('next_id', ?) "
                      "ON CONFLICT(key) DO UPDATE SET value = excluded.value",
                      &next)) {
        return KZ_E_STORE;
      }
      std::int64_t position = 0;
      for (const auto& f : state.folders) {
        folder.Reset();
        if (!folder.Bind(1, std::int64_t{f.id}) || !folder.Bind(2, position++) ||
            !folder.Bind(3, ToUtf8(f.name)) || !folder.Run()) {
          return KZ_E_STORE;
        }
        std::int64_t index = 0;
        for (DWORD uin : f.uins) {
          contact.Reset();
          if (!contact.Bind(1, std::int64_t{f.id}) || !contact.Bind(2, index++) ||
              !contact.Bind(3, std::int64_t{uin}) || !contact.Run()) {
            return KZ_E_STORE;
          }
        }
      }
      if (!next.Bind(1, std::int64_t{state.next_id}) || !next.Run()) return KZ_E_STORE;
      return S_OK;
    });
  }

 private:
  FrequentContactsState seed_;
};

}  // namespace

std::unique_ptr<FrequentContactsStore> CreateProfileFrequentStore(FrequentContactsState seed) {
  return std::make_unique<ProfileStore>(std::move(seed));
}

}  // namespace platform
