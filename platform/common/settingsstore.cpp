#include "platform/common/settingsstore.h"

#include <string>
#include <vector>

#include "platform/common/bagcodec.h"
#include "platform/common/convert.h"
#include "platform/common/kzdata.h"
#include "platform/common/refcounted.h"
#include "platform/common/store.h"

namespace platform {
namespace {

constexpr const char* kSteps[] = {
    "CREATE TABLE settings(section TEXT NOT NULL, key TEXT NOT NULL, value BLOB NOT NULL, "
    "PRIMARY KEY(section, key)) WITHOUT ROWID",
};
constexpr StoreSchema kSchema{"settings", kSteps};

std::string Utf8(const wchar_t* text) {
  CKZStringA a = Util::Convert::Utf8FromWS(text, -1);
  return std::string(a.GetString(), static_cast<std::size_t>(a.GetLength()));
}

HRESULT CheckNames(const wchar_t* section, const wchar_t* key) {
  if (section == nullptr || key == nullptr) return E_POINTER;
  if (section[0] == L'\0' || key[0] == L'\0') return E_INVALIDARG;
  return S_OK;
}

class SettingsStore : public RefCounted<IKZSettingsStore> {
 public:
  HRESULT ReadData(const wchar_t* section, const wchar_t* key, IKZData** data) override {
    if (data == nullptr) return E_POINTER;
    *data = nullptr;
    if (HRESULT hr = CheckNames(section, key); FAILED(hr)) return hr;
    std::vector<std::uint8_t> bytes;
    bool found = false;
    HRESULT hr = RunInProfile(kSchema, StoreAccess::kRead, [&](sql::Db& db) {
      sql::Statement select;
      if (!db.Prepare("SELECT value FROM settings WHERE section = ? AND key = ?", &select) ||
          !select.Bind(1, Utf8(section)) || !select.Bind(2, Utf8(key)) || !select.Fetch(&found)) {
        return KZ_E_STORE;
      }
      if (found) {
        auto blob = select.ColumnBlob(0);
        bytes.assign(blob.begin(), blob.end());
      }
      return S_OK;
    });
    if (FAILED(hr)) return hr;
    if (!found) return KZ_E_NOTFOUND;
    std::string error;
    if (FAILED(DecodeKZData(bytes, data, &error))) return KZ_E_STORE_BADDATA;
    return S_OK;
  }

  HRESULT WriteData(const wchar_t* section, const wchar_t* key, IKZData* data) override {
    if (data == nullptr) return E_POINTER;
    if (HRESULT hr = CheckNames(section, key); FAILED(hr)) return hr;
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (HRESULT hr = EncodeKZData(data, &bytes, &error); FAILED(hr)) return hr;
    return RunInProfile(kSchema, StoreAccess::kWrite, [&](sql::Db& db) {
      sql::Statement upsert;
      if (!db.Prepare("INSERT INTO settings(section, key, value) VALUES(?, ?, ?) "
                      "ON CONFLICT(section, key) DO UPDATE SET value = excluded.value",
                      &upsert) ||
          !upsert.Bind(1, Utf8(section)) || !upsert.Bind(2, Utf8(key)) ||
          !upsert.BindBlob(3, bytes) || !upsert.Run()) {
        return KZ_E_STORE;
      }
      return S_OK;
    });
  }

  HRESULT RemoveData(const wchar_t* section, const wchar_t* key) override {
    if (HRESULT hr = CheckNames(section, key); FAILED(hr)) return hr;
    bool removed = false;
    HRESULT hr = RunInProfile(kSchema, StoreAccess::kWrite, [&](sql::Db& db) {
      sql::Statement del;
      if (!db.Prepare("DELETE FROM settings WHERE section = ? AND key = ? RETURNING 1", &del) ||
          !del.Bind(1, Utf8(section)) || !del.Bind(2, Utf8(key)) || !del.Fetch(&removed) ||
          !del.Run()) {
        return KZ_E_STORE;
      }
      return S_OK;
    });
    if (FAILED(hr)) return hr;
    return removed ? S_OK : KZ_E_NOTFOUND;
  }

  HRESULT GetKeys(const wchar_t* section, IKZArray** keys) override {
    if (keys == nullptr) return E_POINTER;
    *keys = nullptr;
    if (section == nullptr) return E_POINTER;
    CKZComPtr<IKZArray> out;
    if (!Util::Data::CreateKZArray(&out)) return E_OUTOFMEMORY;
    HRESULT hr = RunInProfile(kSchema, StoreAccess::kRead, [&](sql::Db& db) {
      sql::Statement select;
      if (!db.Prepare("SELECT key FROM settings WHERE section = ? ORDER BY key", &select) ||
          !select.Bind(1, Utf8(section))) {
        return KZ_E_STORE;
      }
      sql::Statement::Step step;
      while ((step = select.Next()) == sql::Statement::Step::kRow) {
        std::string_view k = select.ColumnText(0);
        out->AddStr(Util::Convert::Utf8ToWS(k.data(), static_cast<int>(k.size())));
      }
      return step == sql::Statement::Step::kDone ? S_OK : KZ_E_STORE;
    });
    if (FAILED(hr)) return hr;
    *keys = out.Detach();
    return S_OK;
  }
};

}  // namespace

HRESULT CreateSettingsStore(IKZSettingsStore** out) {
  if (out == nullptr) return E_POINTER;
  *out = new SettingsStore();
  return S_OK;
}

}  // namespace platform
