#include "platform/common/sqlite_db.h"

#include <sqlite3.h>

#include <utility>

namespace platform::sql {

Db::~Db() { Close(); }

Db::Db(Db&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)),
      path_(std::move(other.path_)),
      error_(std::move(other.error_)),
      error_code_(other.error_code_) {}

Db& Db::operator=(Db&& other) noexcept {
  if (this != &other) {
    Close();
    db_ = std::exchange(other.db_, nullptr);
    path_ = std::move(other.path_);
    error_ = std::move(other.error_);
    error_code_ = other.error_code_;
  }
  return *this;
}

bool Db::Open(const std::string& path, Mode mode, int busy_timeout_ms) {
  Close();
  path_ = path;
  int flags = SQLITE_OPEN_NOMUTEX;
  flags |=
      mode == Mode::kReadOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    SetError(rc, "cannot open " + path + ": " + message);
    return false;
  }
  db_ = db;
  sqlite3_extended_result_codes(db_, 0);
  sqlite3_busy_timeout(db_, busy_timeout_ms);
  return true;
}

void Db::Close() {
  if (db_ != nullptr) {
    // Statements are owned by Statement objects, which must be gone by now;
    // sqlite3_close_v2 defers the close until they are.
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

bool Db::read_only() const { return db_ != nullptr && sqlite3_db_readonly(db_, "main") == 1; }

bool Db::Exec(const char* sql) {
  if (db_ == nullptr) {
    SetError(SQLITE_MISUSE, path_ + ": not open");
    return false;
  }
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    SetErrorFromConnection(rc);
    return false;
  }
  return true;
}

bool Db::Prepare(std::string_view sql, Statement* statement) {
  if (db_ == nullptr) {
    SetError(SQLITE_MISUSE, path_ + ": not open");
    return false;
  }
  *statement = Statement();
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) {
    SetErrorFromConnection(rc);
    return false;
  }
  statement->stmt_ = stmt;
  statement->db_ = this;
  return true;
}

bool Db::last_error_is_corruption() const {
  return (error_code_ & 0xff) == SQLITE_CORRUPT || (error_code_ & 0xff) == SQLITE_NOTADB;
}

void Db::SetErrorFromConnection(int code) {
  SetError(code, path_ + ": " + (db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code)));
}

void Db::SetError(int code, std::string message) {
  error_code_ = code;
  error_ = std::move(message);
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement::Statement(Statement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)), db_(std::exchange(other.db_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    stmt_ = std::exchange(other.stmt_, nullptr);
    db_ = std::exchange(other.db_, nullptr);
  }
  return *this;
}

bool Statement::Check(int rc) {
  if (rc == SQLITE_OK) return true;
  if (db_ != nullptr) db_->SetErrorFromConnection(rc);
  return false;
}

bool Statement::Bind(int index, std::int64_t value) {
  return Check(sqlite3_bind_int64(stmt_, index, value));
}

bool Statement::Bind(int index, std::string_view text) {
  return Check(
      sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
}

bool Statement::BindBlob(int index, std::span<const std::uint8_t> bytes) {
  // A zero-length blob is still a blob, not NULL.
  static const std::uint8_t kEmpty = 0;
  const void* data = bytes.empty() ? &kEmpty : bytes.data();
  return Check(sqlite3_bind_blob64(stmt_, index, data, bytes.size(), SQLITE_TRANSIENT));
}

bool Statement::BindNull(int index) { return Check(sqlite3_bind_null(stmt_, index)); }

Statement::Step Statement::Next() {
  if (stmt_ == nullptr) return Step::kError;
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return Step::kRow;
  if (rc == SQLITE_DONE) return Step::kDone;
  // With legacy step semantics off (prepare_v2) rc is the real error.
  if (db_ != nullptr) db_->SetErrorFromConnection(rc);
  sqlite3_reset(stmt_);
  return Step::kError;
}

bool Statement::Fetch(bool* row) {
  Step step = Next();
  *row = step == Step::kRow;
  return step != Step::kError;
}

bool Statement::Run() {
  Step step;
  while ((step = Next()) == Step::kRow) {
  }
  bool ok = step == Step::kDone;
  Reset();
  return ok;
}

void Statement::Reset() {
  if (stmt_ != nullptr) sqlite3_reset(stmt_);
}

std::int64_t Statement::ColumnInt64(int column) const {
  return sqlite3_column_int64(stmt_, column);
}

std::string_view Statement::ColumnText(int column) const {
  const unsigned char* text = sqlite3_column_text(stmt_, column);
  if (text == nullptr) return {};
  return {reinterpret_cast<const char*>(text),
          static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
}

std::span<const std::uint8_t> Statement::ColumnBlob(int column) const {
  const void* data = sqlite3_column_blob(stmt_, column);
  if (data == nullptr) return {};
  return {static_cast<const std::uint8_t*>(data),
          static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
}

bool Statement::ColumnIsNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

const char* LibraryVersion() { return sqlite3_libversion(); }

}  // namespace platform::sql
