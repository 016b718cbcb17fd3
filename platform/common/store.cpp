#include "platform/common/store.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "platform/common/convert.h"
#include "platform/common/datafolders.h"
#include "platform/common/kzlog.h"
#include "platform/common/kztime.h"

namespace platform {
namespace {

constexpr int kBusyTimeoutMs = 10000;

thread_local std::string t_last_error;

void Forward(const KZLogRecord* record, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  KZLog_DoKZLogVW(record, L"Store", format, args);
  va_end(args);
}

void LogStore(int level, const wchar_t* function, const std::string& message) {
  KZLogRecord record;
  record.level = level;
  record.line = __LINE__;
  record.thread_id = GetCurrentThreadId();
  record.tick_count = GetTickCount();
  record.unix_time_ms = static_cast<std::int64_t>(Util::Time::GetRegulatedMilliTime());
  record.file = L"platform/common/store";
  record.function = function;
  CKZStringW text = Util::Convert::Utf8ToWS(message.c_str(), static_cast<int>(message.size()));
  Forward(&record, L"%s", text.GetString());
}

HRESULT Fail(HRESULT code, std::string message) {
  t_last_error = std::move(message);
  return code;
}

bool Exists(const std::string& path, struct stat* st) { return stat(path.c_str(), st) == 0; }

// "<path>.corrupt-20240305T060708Z", with "-2", "-3"... when taken.
std::string AsideName(const std::string& path) {
  std::time_t seconds = static_cast<std::time_t>(Util::Time::GetRegulatedMilliTime() / 1000);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof(stamp), "%Y%m%dT%H%M%SZ", &tm);
  std::string base = path + ".corrupt-" + stamp;
  std::string name = base;
  struct stat st {};
  for (int n = 2; Exists(name, &st); ++n) name = base + "-" + std::to_string(n);
  return name;
}

}  // namespace

class Store {
 public:
  explicit Store(std::string path) : path_(std::move(path)) {}

  HRESULT Run(const StoreSchema& schema, StoreAccess access, const StoreWork& work) {
    std::lock_guard lock(mutex_);
    t_last_error.clear();
    if (HRESULT hr = EnsureOpen(); FAILED(hr)) return hr;
    if (access == StoreAccess::kWrite && read_only_) {
      return Fail(KZ_E_STORE_READONLY, path_ + " is read-only; nothing was written");
    }
    if (HRESULT hr = Migrate(schema); FAILED(hr)) return hr;
    if (!db_.Exec(access == StoreAccess::kWrite ? "BEGIN IMMEDIATE" : "BEGIN")) {
      return Failed();
    }
    db_.SetError(0, "");
    HRESULT hr = work ? work(db_) : S_OK;
    if (FAILED(hr)) {
      std::string why = db_.error();
      bool corrupt = db_.last_error_is_corruption();
      db_.Exec("ROLLBACK");
      if (corrupt) return Failed();
      if (t_last_error.empty()) t_last_error = why;
      return hr;
    }
    if (!db_.Exec("COMMIT")) {
      HRESULT failed = Failed();
      db_.Exec("ROLLBACK");
      return failed;
    }
    return hr;
  }

 private:
  // Records the connection's error; a damaged file is closed so that the
  // next call moves it aside and starts afresh.
  HRESULT Failed() {
    HRESULT code = db_.error_code() == 8 /* SQLITE_READONLY */ ? KZ_E_STORE_READONLY : KZ_E_STORE;
    std::string message = db_.error();
    if (db_.last_error_is_corruption()) {
      db_.Close();
      migrated_.clear();
    }
    return Fail(code, message);
  }

  HRESULT EnsureOpen() {
    if (db_.is_open()) return S_OK;
    migrated_.clear();
    for (int attempt = 0; attempt < 2; ++attempt) {
      struct stat st {};
      bool exists = Exists(path_, &st);
      if (exists && !S_ISREG(st.st_mode)) {
        return Fail(KZ_E_STORE, "cannot open " + path_ + ": it is not a regular file");
      }
      read_only_ = exists && (st.st_mode & 0222) == 0;
      std::string why;
      if (OpenChecked(&why)) return S_OK;
      bool corrupt = db_.last_error_is_corruption() || why.empty();
      std::string message = why.empty() ? db_.error() : why;
      db_.Close();
      if (!corrupt) return Fail(read_only_ ? KZ_E_STORE_READONLY : KZ_E_STORE, message);
      if (read_only_) {
        return Fail(KZ_E_STORE,
                    path_ + " is damaged and read-only; left as it is (" + message + ")");
      }
      if (HRESULT hr = MoveAside(message); FAILED(hr)) return hr;
    }
    return Fail(KZ_E_STORE, "cannot start a fresh store in " + path_);
  }

  // Opens and checks the file. False with *why empty (and the connection's
  // error set) when the file is damaged; with *why set on other failures.
  bool OpenChecked(std::string* why) {
    if (!db_.Open(path_, read_only_ ? sql::Db::Mode::kReadOnly : sql::Db::Mode::kReadWrite,
                  kBusyTimeoutMs)) {
      if (!db_.last_error_is_corruption()) *why = db_.error();
      return false;
    }
    if (!read_only_ && db_.read_only()) read_only_ = true;
    if (!read_only_ &&
        (!db_.Exec("PRAGMA journal_mode=WAL") || !db_.Exec("PRAGMA synchronous=NORMAL"))) {
      if (!db_.last_error_is_corruption()) *why = db_.error();
      return false;
    }
    sql::Statement check;
    if (!db_.Prepare("PRAGMA quick_check(1)", &check)) {
      if (!db_.last_error_is_corruption()) *why = db_.error();
      return false;
    }
    if (check.Next() != sql::Statement::Step::kRow) {
      if (!db_.last_error_is_corruption()) *why = db_.error();
      return false;
    }
    if (check.ColumnText(0) != "ok") {
      db_.SetError(11 /* SQLITE_CORRUPT */, path_ + ": " + std::string(check.ColumnText(0)));
      return false;
    }
    check = sql::Statement();
    if (!read_only_ && !db_.Exec("CREATE TABLE IF NOT EXISTS store_schema("
                                 "component TEXT PRIMARY KEY NOT NULL, "
                                 "version INTEGER NOT NULL)")) {
      if (!db_.last_error_is_corruption()) *why = db_.error();
      return false;
    }
    return true;
  }

  HRESULT MoveAside(const std::string& reason) {
    std::string aside = AsideName(path_);
    if (std::rename(path_.c_str(), aside.c_str()) != 0) {
      return Fail(KZ_E_STORE,
                  path_ + " is damaged (" + reason + ") and cannot be moved aside; left as it is");
    }
    for (const char* suffix : {"-wal", "-shm"}) {
      struct stat st {};
      std::string from = path_ + suffix;
      if (Exists(from, &st)) std::rename(from.c_str(), (aside + suffix).c_str());
    }
    LogStore(
        2, L"platform::Store::Open",
        path_ + " is damaged (" + reason + "); moved aside to " + aside + " and started afresh");
    return S_OK;
  }

  HRESULT ReadVersion(const StoreSchema& schema, std::int64_t* version) {
    *version = 0;
    sql::Statement select;
    if (!db_.Prepare("SELECT version FROM store_schema WHERE component = ?", &select)) {
      // A read-only store made by nobody has no such table: version 0.
      if (read_only_) return S_OK;
      return Failed();
    }
    select.Bind(1, schema.component);
    switch (select.Next()) {
      case sql::Statement::Step::kRow:
        *version = select.ColumnInt64(0);
        return S_OK;
      case sql::Statement::Step::kDone:
        return S_OK;
      case sql::Statement::Step::kError:
        break;
    }
    return Failed();
  }

  HRESULT Migrate(const StoreSchema& schema) {
    std::string component(schema.component);
    if (migrated_.count(component) != 0) return S_OK;
    const auto target = static_cast<std::int64_t>(schema.steps.size());
    std::int64_t version = 0;
    if (HRESULT hr = ReadVersion(schema, &version); FAILED(hr)) return hr;
    if (version < target) {
      if (read_only_) {
        return Fail(KZ_E_STORE_READONLY,
                    path_ + " is read-only; the tables of \"" + component + "\" cannot be made");
      }
      if (!db_.Exec("BEGIN IMMEDIATE")) return Failed();
      // Another process may have migrated while we waited for the lock.
      HRESULT hr = ReadVersion(schema, &version);
      for (std::int64_t v = version; SUCCEEDED(hr) && v < target; ++v) {
        if (!db_.Exec(schema.steps[static_cast<std::size_t>(v)])) hr = Failed();
      }
      if (SUCCEEDED(hr) && version < target) {
        sql::Statement upsert;
        if (!db_.Prepare("INSERT INTO store_schema(component, version) VALUES(?, ?) "
                         "ON CONFLICT(component) DO UPDATE SET version = excluded.version",
                         &upsert) ||
            !upsert.Bind(1, schema.component) || !upsert.Bind(2, target) || !upsert.Run()) {
          hr = Failed();
        }
      }
      if (SUCCEEDED(hr) && !db_.Exec("COMMIT")) hr = Failed();
      if (FAILED(hr)) {
        if (db_.is_open()) db_.Exec("ROLLBACK");
        return hr;
      }
      version = std::max(version, target);
    }
    if (version > target) {
      return Fail(KZ_E_STORE_TOO_NEW, path_ + " holds the tables of \"" + component +
                                          "\" at version " + std::to_string(version) +
                                          ", newer than this program knows (" +
                                          std::to_string(target) + ")");
    }
    migrated_.insert(component);
    return S_OK;
  }

  std::mutex mutex_;
  std::string path_;
  sql::Db db_;
  bool read_only_ = false;
  std::set<std::string> migrated_;
};

namespace {
std::mutex g_stores_mutex;
std::map<std::string, std::shared_ptr<Store>>& Stores() {
  static auto* stores = new std::map<std::string, std::shared_ptr<Store>>();
  return *stores;
}
}  // namespace

HRESULT RunInStore(const std::string& path, const StoreSchema& schema, StoreAccess access,
                   const StoreWork& work) {
  if (path.empty()) return Fail(E_INVALIDARG, "no store path given");
  std::shared_ptr<Store> store;
  {
    std::lock_guard lock(g_stores_mutex);
    std::shared_ptr<Store>& slot = Stores()[path];
    if (!slot) slot = std::make_shared<Store>(path);
    store = slot;
  }
  return store->Run(schema, access, work);
}

bool ProfilePath(std::string* path, std::string* error) {
  std::string folder;
  if (!GetUserDataFolder(&folder, error)) return false;
  if (path != nullptr) *path = folder + "profile.db";
  return true;
}

HRESULT RunInProfile(const StoreSchema& schema, StoreAccess access, const StoreWork& work) {
  std::string path;
  std::string error;
  if (!ProfilePath(&path, &error)) return Fail(KZ_E_STORE, error);
  return RunInStore(path, schema, access, work);
}

void CloseStores() {
  std::map<std::string, std::shared_ptr<Store>> closing;
  {
    std::lock_guard lock(g_stores_mutex);
    closing.swap(Stores());
  }
}

std::string LastStoreError() { return t_last_error; }

void SetLastStoreError(std::string message) { t_last_error = std::move(message); }

}  // namespace platform
