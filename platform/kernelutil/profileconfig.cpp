#include "platform/kernelutil/profileconfig.h"

#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "platform/common/bagcodec.h"
#include "platform/common/convert.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzlog.h"
#include "platform/common/kztime.h"
#include "platform/common/refcounted.h"
#include "platform/common/store.h"

namespace {

using platform::sql::Db;
using platform::sql::Statement;

constexpr const char* kConfigSteps[] = {
    "CREATE TABLE common_server_config(type INTEGER NOT NULL, sub_type INTEGER NOT NULL,"
    " item BLOB NOT NULL, PRIMARY KEY(type, sub_type))"};
constexpr platform::StoreSchema kConfigSchema{"common_server_config", kConfigSteps};

constexpr const char* kAccountSteps[] = {
    "CREATE TABLE main_account_config(id INTEGER PRIMARY KEY, value INTEGER NOT NULL)"};
constexpr platform::StoreSchema kAccountSchema{"main_account_config", kAccountSteps};

constexpr const char* kSpoolSteps[] = {
    "CREATE TABLE report_spool(id INTEGER PRIMARY KEY AUTOINCREMENT, time_ms INTEGER NOT NULL,"
    " value1 INTEGER NOT NULL, value2 INTEGER NOT NULL, value3 INTEGER NOT NULL,"
    " corp_uin INTEGER NOT NULL, second_uin INTEGER NOT NULL, text TEXT,"
    " flag INTEGER NOT NULL, result INTEGER NOT NULL)"};
constexpr platform::StoreSchema kSpoolSchema{"report_spool", kSpoolSteps};

void LogStoreFailure(const wchar_t* function, HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X ", static_cast<unsigned>(hr));
  platform::LogPlatformText(2, L"Store", L"kernelutil\\profileconfig", function,
                            code + platform::LastStoreError());
}

// A number read back from a column of 32-bit values.
bool Fits32(std::int64_t value) { return value >= 0 && value <= 0xFFFFFFFF; }

class ProfileConfig : public platform::RefCounted<IKZCommonServerConfigHost> {
 public:
  HRESULT GetConfigItem(DWORD type, DWORD sub_type, IKZData** item) override {
    if (item == nullptr) return E_POINTER;
    *item = nullptr;
    CKZComPtr<IKZData> found;
    HRESULT hr =
        platform::RunInProfile(kConfigSchema, platform::StoreAccess::kRead, [&](Db& db) -> HRESULT {
          Statement select;
          if (!db.Prepare("SELECT item FROM common_server_config WHERE type = ?1 AND sub_type = ?2",
                          &select) ||
              !select.Bind(1, type) || !select.Bind(2, sub_type)) {
            return KZ_E_STORE;
          }
          Statement::Step step = select.Next();
          if (step == Statement::Step::kError) return KZ_E_STORE;
          if (step == Statement::Step::kDone) return S_FALSE;
          std::string error;
          if (FAILED(platform::DecodeKZData(select.ColumnBlob(0), &found, &error))) {
            db.SetError(0, db.path() + ": configuration item (" + std::to_string(type) + ", " +
                               std::to_string(sub_type) + "): " + error);
            return KZ_E_STORE_BADDATA;
          }
          return S_OK;
        });
    if (FAILED(hr)) LogStoreFailure(L"GetConfigItem", hr);
    if (!found) return E_FAIL;
    *item = found.Detach();
    return S_OK;
  }

  HRESULT SetConfigItem(DWORD type, DWORD sub_type, IKZData* item) override {
    std::vector<std::uint8_t> bytes;
    if (item != nullptr) {
      HRESULT hr = platform::EncodeKZData(item, &bytes, nullptr);
      if (FAILED(hr)) return hr;
    }
    return platform::RunInProfile(
        kConfigSchema, platform::StoreAccess::kWrite, [&](Db& db) -> HRESULT {
          Statement write;
          bool ok = item != nullptr
                        ? db.Prepare(
                              "INSERT OR REPLACE INTO common_server_config(type, sub_type, item)"
                              " VALUES(?1, ?2, ?3)",
                              &write) &&
                              write.BindBlob(3, bytes)
                        : db.Prepare(
                              "DELETE FROM common_server_config WHERE type = ?1 AND"
                              " sub_type = ?2",
                              &write);
          ok = ok && write.Bind(1, type) && write.Bind(2, sub_type) && write.Run();
          return ok ? S_OK : KZ_E_STORE;
        });
  }

  HRESULT SetConfigContent(DWORD type, DWORD sub_type, const std::string& content) override {
    CKZComPtr<IKZData> item;
    HRESULT hr = platform::MakeConfigItem(content, &item);
    return FAILED(hr) ? hr : SetConfigItem(type, sub_type, item);
  }
};

class ProfileAccount : public platform::RefCounted<IKZMainAccountConfigHost> {
 public:
  HRESULT GetConfigDWord(DWORD id, DWORD* value) override {
    if (value == nullptr) return E_POINTER;
    std::int64_t read = -1;
    HRESULT hr = platform::RunInProfile(
        kAccountSchema, platform::StoreAccess::kRead, [&](Db& db) -> HRESULT {
          Statement select;
          if (!db.Prepare("SELECT value FROM main_account_config WHERE id = ?1", &select) ||
              !select.Bind(1, id)) {
            return KZ_E_STORE;
          }
          Statement::Step step = select.Next();
          if (step == Statement::Step::kError) return KZ_E_STORE;
          if (step == Statement::Step::kDone) return S_FALSE;
          read = select.ColumnInt64(0);
          if (!Fits32(read)) {
            db.SetError(0, db.path() + ": main-account setting " + std::to_string(id) + " holds " +
                               std::to_string(read));
            read = -1;
            return KZ_E_STORE_BADDATA;
          }
          return S_OK;
        });
    if (FAILED(hr)) LogStoreFailure(L"GetConfigDWord", hr);
    if (read < 0) return E_FAIL;
    *value = static_cast<DWORD>(read);
    return S_OK;
  }
  HRESULT SetConfigDWord(DWORD id, DWORD value) override {
    return platform::RunInProfile(
        kAccountSchema, platform::StoreAccess::kWrite, [&](Db& db) -> HRESULT {
          Statement write;
          bool ok =
              db.Prepare("INSERT OR REPLACE INTO main_account_config(id, value) VALUES(?1, ?2)",
                         &write) &&
              write.Bind(1, id) && write.Bind(2, value) && write.Run();
          return ok ? S_OK : KZ_E_STORE;
        });
  }
};

class ProfileSpool : public platform::ReportSpool {
 public:
  bool Append(const platform::SpooledReport& r, std::string* error) override {
    std::string text;
    if (r.text)
      text = Util::Convert::Utf8FromWS(r.text->c_str(), static_cast<int>(r.text->size())).str();
    HRESULT hr =
        platform::RunInProfile(kSpoolSchema, platform::StoreAccess::kWrite, [&](Db& db) -> HRESULT {
          Statement insert;
          bool ok = db.Prepare(
                        "INSERT INTO report_spool(time_ms, value1, value2, value3, corp_uin,"
                        " second_uin, text, flag, result)"
                        " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
                        &insert) &&
                    insert.Bind(1, r.time_ms) && insert.Bind(2, r.value1) &&
                    insert.Bind(3, r.value2) && insert.Bind(4, r.value3) &&
                    insert.Bind(5, static_cast<std::int64_t>(r.corp_uin)) &&
                    insert.Bind(6, r.second_uin) &&
                    (r.text ? insert.Bind(7, std::string_view(text)) : insert.BindNull(7)) &&
                    insert.Bind(8, r.flag) && insert.Bind(9, r.result) && insert.Run();
          return ok ? S_OK : KZ_E_STORE;
        });
    if (FAILED(hr) && error != nullptr) *error = platform::LastStoreError();
    return SUCCEEDED(hr);
  }

  bool List(std::vector<platform::SpooledReport>* reports, std::string* error) override {
    if (reports == nullptr) {
      if (error != nullptr) *error = "no list to fill";
      return false;
    }
    reports->clear();
    HRESULT hr =
        platform::RunInProfile(kSpoolSchema, platform::StoreAccess::kRead, [&](Db& db) -> HRESULT {
          Statement select;
          if (!db.Prepare("SELECT id, time_ms, value1, value2, value3, corp_uin, second_uin, text,"
                          " flag, result FROM report_spool ORDER BY id",
                          &select)) {
            return KZ_E_STORE;
          }
          for (;;) {
            Statement::Step step = select.Next();
            if (step == Statement::Step::kDone) return S_OK;
            if (step == Statement::Step::kError) return KZ_E_STORE;
            platform::SpooledReport r;
            std::int64_t v[5] = {select.ColumnInt64(2), select.ColumnInt64(3),
                                 select.ColumnInt64(4), select.ColumnInt64(6), 0};
            std::int64_t flag = select.ColumnInt64(8), result = select.ColumnInt64(9);
            std::int64_t corp = select.ColumnInt64(5);
            if (!Fits32(v[0]) || !Fits32(v[1]) || !Fits32(v[2]) || !Fits32(v[3]) || corp < 0 ||
                flag < std::numeric_limits<int>::min() || flag > std::numeric_limits<int>::max() ||
                result < std::numeric_limits<int>::min() ||
                result > std::numeric_limits<int>::max()) {
              db.SetError(0, db.path() + ": report " + std::to_string(select.ColumnInt64(0)) +
                                 " holds a value out of range");
              return KZ_E_STORE_BADDATA;
            }
            r.time_ms = select.ColumnInt64(1);
            r.value1 = static_cast<DWORD>(v[0]);
            r.value2 = static_cast<DWORD>(v[1]);
            r.value3 = static_cast<DWORD>(v[2]);
            r.corp_uin = static_cast<std::uint64_t>(corp);
            r.second_uin = static_cast<DWORD>(v[3]);
            if (!select.ColumnIsNull(7)) {
              std::string_view t = select.ColumnText(7);
              r.text = Util::Convert::Utf8ToWS(t.data(), static_cast<int>(t.size())).str();
            }
            r.flag = static_cast<int>(flag);
            r.result = static_cast<int>(result);
            reports->push_back(std::move(r));
          }
        });
    if (FAILED(hr)) {
      reports->clear();
      if (error != nullptr) *error = platform::LastStoreError();
    }
    return SUCCEEDED(hr);
  }
};

}  // namespace

namespace platform {
HRESULT CreateProfileCommonServerConfigService(IKZCommonServerConfigHost** out) {
  if (out == nullptr) return E_POINTER;
  *out = new ProfileConfig;
  return S_OK;
}
HRESULT CreateProfileMainAccountConfigService(IKZMainAccountConfigHost** out) {
  if (out == nullptr) return E_POINTER;
  *out = new ProfileAccount;
  return S_OK;
}
std::shared_ptr<ReportSpool> CreateProfileReportSpool() { return std::make_shared<ProfileSpool>(); }
}  // namespace platform
