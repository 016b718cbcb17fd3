#include "platform/kvdata/kvdata.h"

#include <string>

#include "platform/common/convert.h"
#include "platform/common/store.h"

namespace {

using platform::StoreAccess;
namespace sql = platform::sql;

constexpr const char* kSteps[] = {
    "CREATE TABLE kvdata(section TEXT NOT NULL, key TEXT NOT NULL, "
    "number INTEGER, text TEXT, PRIMARY KEY(section, key)) WITHOUT ROWID",
};
constexpr platform::StoreSchema kSchema{"kvdata", kSteps};

std::string Utf8(const wchar_t* text) {
  CKZStringA a = Util::Convert::Utf8FromWS(text, -1);
  return std::string(a.GetString(), static_cast<std::size_t>(a.GetLength()));
}

// Reads the entry: *found tells whether it exists, then *number or *text
// (whichever is not NULL) hold it.
HRESULT Read(const std::string& section, const std::string& key, bool* found, bool* is_number,
             std::int64_t* number, std::wstring* text) {
  *found = false;
  return platform::RunInProfile(kSchema, StoreAccess::kRead, [&](sql::Db& db) {
    sql::Statement select;
    if (!db.Prepare("SELECT number, text FROM kvdata WHERE section = ? AND key = ?", &select) ||
        !select.Bind(1, section) || !select.Bind(2, key) || !select.Fetch(found)) {
      return KZ_E_STORE;
    }
    if (*found) {
      *is_number = !select.ColumnIsNull(0);
      *number = select.ColumnInt64(0);
      std::string_view t = select.ColumnText(1);
      *text = Util::Convert::Utf8ToWS(t.data(), static_cast<int>(t.size())).GetString();
    }
    return S_OK;
  });
}

HRESULT Write(const std::string& section, const std::string& key, const std::int64_t* number,
              const std::string* text) {
  if (section.empty() || key.empty()) return E_INVALIDARG;
  return platform::RunInProfile(kSchema, StoreAccess::kWrite, [&](sql::Db& db) {
    sql::Statement upsert;
    if (!db.Prepare("INSERT INTO kvdata(section, key, number, text) VALUES(?, ?, ?, ?) "
                    "ON CONFLICT(section, key) DO UPDATE SET number = excluded.number, "
                    "text = excluded.text",
                    &upsert) ||
        !upsert.Bind(1, section) || !upsert.Bind(2, key) ||
        !(number ? upsert.Bind(3, *number) : upsert.BindNull(3)) ||
        !(text ? upsert.Bind(4, std::string_view(*text)) : upsert.BindNull(4)) || !upsert.Run()) {
      return KZ_E_STORE;
    }
    return S_OK;
  });
}

DWORD ReadDWord(const std::string& section, const std::string& key, DWORD default_value) {
  bool found = false;
  bool is_number = false;
  std::int64_t number = 0;
  std::wstring text;
  if (FAILED(Read(section, key, &found, &is_number, &number, &text)) || !found || !is_number) {
    return default_value;
  }
  return static_cast<DWORD>(number);
}

}  // namespace

namespace Util::KVData {

DWORD GetDWord(const char* section, const char* key, DWORD default_value) {
  if (section == nullptr || key == nullptr) return default_value;
  return ReadDWord(section, key, default_value);
}

DWORD GetDWord(const wchar_t* section, const wchar_t* key, DWORD default_value) {
  if (section == nullptr || key == nullptr) return default_value;
  return ReadDWord(Utf8(section), Utf8(key), default_value);
}

CKZStringW GetStr(const wchar_t* section, const wchar_t* key, const wchar_t* default_value) {
  CKZStringW fallback(default_value);
  if (section == nullptr || key == nullptr) return fallback;
  bool found = false;
  bool is_number = false;
  std::int64_t number = 0;
  std::wstring text;
  if (FAILED(Read(Utf8(section), Utf8(key), &found, &is_number, &number, &text)) || !found ||
      is_number) {
    return fallback;
  }
  return CKZStringW(text);
}

HRESULT SetDWord(const char* section, const char* key, DWORD value) {
  if (section == nullptr || key == nullptr) return E_POINTER;
  std::int64_t number = value;
  return Write(section, key, &number, nullptr);
}

HRESULT SetDWord(const wchar_t* section, const wchar_t* key, DWORD value) {
  if (section == nullptr || key == nullptr) return E_POINTER;
  std::int64_t number = value;
  return Write(Utf8(section), Utf8(key), &number, nullptr);
}

HRESULT SetStr(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
  if (section == nullptr || key == nullptr) return E_POINTER;
  std::string text = Utf8(value != nullptr ? value : L"");
  return Write(Utf8(section), Utf8(key), nullptr, &text);
}

HRESULT Remove(const wchar_t* section, const wchar_t* key) {
  if (section == nullptr || key == nullptr) return E_POINTER;
  std::string s = Utf8(section);
  std::string k = Utf8(key);
  return platform::RunInProfile(kSchema, StoreAccess::kWrite, [&](sql::Db& db) {
    sql::Statement del;
    if (!db.Prepare("DELETE FROM kvdata WHERE section = ? AND key = ?", &del) || !del.Bind(1, s) ||
        !del.Bind(2, k) || !del.Run()) {
      return KZ_E_STORE;
    }
    return S_OK;
  });
}

}  // namespace Util::KVData
