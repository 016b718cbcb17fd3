// A thin owner of SQLite connections and statements, for the platform's
// stores (the profile store, file-system packages).
//
// Why our own wrapper rather than a C++ binding: the platform reports every
// failure as a result code with a text, never as an exception, and needs only
// a dozen calls of the C API; the two classes below own a connection and a
// prepared statement, finalise and close on every path, and keep SQLite's
// header out of every other file. All SQLite use of the project stays behind
// this header (and the files of platform/ that include it).
//
// Every failing call returns false and leaves a message in Db::error():
// SQLite's text, prefixed with the file name of the connection.
#ifndef WRENUTIL_PLATFORM_COMMON_SQLITE_DB_H_
#define WRENUTIL_PLATFORM_COMMON_SQLITE_DB_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/common/kzbase.h"

struct sqlite3;
struct sqlite3_stmt;

namespace platform::sql {

class Statement;

// One connection; closed when the object ends. Not copyable, movable.
class KZ_PLATFORM_API Db {
 public:
  enum class Mode { kReadWrite, kReadOnly };

  Db() = default;
  ~Db();
  Db(Db&& other) noexcept;
  Db& operator=(Db&& other) noexcept;
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  // Opens (kReadWrite also creates) the database file `path`, with a busy
  // timeout of `busy_timeout_ms`, so that a writer of another process is
  // waited for instead of failing with "database is locked".
  bool Open(const std::string& path, Mode mode, int busy_timeout_ms);
  void Close();
  bool is_open() const { return db_ != nullptr; }
  const std::string& path() const { return path_; }
  // True when SQLite opened the file read-only (file or folder not writable).
  bool read_only() const;

  // Runs one or more statements without results.
  bool Exec(const char* sql);
  // Prepares one statement into *statement.
  bool Prepare(std::string_view sql, Statement* statement);

  // The message of the last failure, and its SQLite result code (primary
  // code: SQLITE_CORRUPT 11, SQLITE_NOTADB 26, SQLITE_READONLY 8, ...).
  const std::string& error() const { return error_; }
  int error_code() const { return error_code_; }
  // True when the last failure says the file is not a database or damaged.
  bool last_error_is_corruption() const;

  // For Statement: records SQLite's current error of this connection.
  void SetErrorFromConnection(int code);
  void SetError(int code, std::string message);

 private:
  sqlite3* db_ = nullptr;
  std::string path_;
  std::string error_;
  int error_code_ = 0;
};

// One prepared statement; finalised when the object ends.
class KZ_PLATFORM_API Statement {
 public:
  enum class Step { kRow, kDone, kError };

  Statement() = default;
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Parameters are numbered from 1. Texts and blobs are copied by SQLite.
  bool Bind(int index, std::int64_t value);
  bool Bind(int index, std::string_view text);
  bool BindBlob(int index, std::span<const std::uint8_t> bytes);
  bool BindNull(int index);

  // Runs the statement to its next row. kError leaves the message in the
  // connection's error().
  Step Next();
  // Runs the statement to its next row: true, with *row telling whether
  // there is one; false on an error.
  bool Fetch(bool* row);
  // Runs a statement without result rows (or ignores them); true on success.
  bool Run();
  // Back to the start, keeping the bindings.
  void Reset();

  // Columns are numbered from 0 and valid until the next Next or Reset.
  std::int64_t ColumnInt64(int column) const;
  std::string_view ColumnText(int column) const;
  std::span<const std::uint8_t> ColumnBlob(int column) const;
  bool ColumnIsNull(int column) const;

 private:
  friend class Db;
  bool Check(int rc);
  sqlite3_stmt* stmt_ = nullptr;
  Db* db_ = nullptr;
};

// The version of the SQLite library in use ("3.40.1").
KZ_PLATFORM_API const char* LibraryVersion();

}  // namespace platform::sql

#endif  // WRENUTIL_PLATFORM_COMMON_SQLITE_DB_H_
