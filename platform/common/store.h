// Stores: SQLite database files that the platform keeps its state in, above
// all the signed-in user's profile store, and the way a component owns its
// tables in them.
//
// A store is opened in WAL mode (readers do not block the writer) with
// synchronous=NORMAL (a killed process leaves the last committed state) and a
// busy timeout of ten seconds, so that two processes writing one profile wait
// for each other instead of failing with "database is locked". Every piece of
// work runs in one transaction; writers take the write lock up front (BEGIN
// IMMEDIATE), so that no transaction fails halfway when it upgrades.
//
// Each component (the settings store, the key-value data, a file-system
// package, ...) creates and migrates its own tables: it passes its schema, a
// name and an ordered list of steps, to every call; the store keeps each
// component's version in the table "store_schema" and runs the steps it has
// not run yet, in one transaction, before the component's work. A file whose
// tables are newer than the steps this program knows is refused.
//
// Files on disk are untrusted:
// - A file that is not a database, or a damaged one (SQLite's quick check
//   fails), is moved aside as "<name>.corrupt-<UTC time stamp>" (with its
//   -wal and -shm files), a log record (level 2, module "Store") says where it
//   went, and a fresh store is started. It is never overwritten.
// - A file without write permission is opened read-only: reads work, writes
//   fail with KZ_E_STORE_READONLY and a message naming the file.
// Failures return a negative code; LastStoreError() then tells why, naming
// the file.
//
// Stores are cached per path and shared by the threads of the process; each
// store serialises its work with its own lock, so a piece of work must not
// call back into the same store (it would wait for itself). A child process
// made with fork() must not use the stores its parent had open; it opens its
// own after the parent's were closed (CloseStores) or never opened.
#ifndef WRENUTIL_PLATFORM_COMMON_STORE_H_
#define WRENUTIL_PLATFORM_COMMON_STORE_H_

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/common/kzbase.h"
#include "platform/common/sqlite_db.h"

// A store could not be opened or a statement failed (see LastStoreError).
inline constexpr HRESULT KZ_E_STORE = static_cast<HRESULT>(0x80040320u);
// A write to a store that is read-only.
inline constexpr HRESULT KZ_E_STORE_READONLY = static_cast<HRESULT>(0x80040321u);
// The store holds tables newer than this program knows.
inline constexpr HRESULT KZ_E_STORE_TOO_NEW = static_cast<HRESULT>(0x80040322u);
// What was read from a store is not what was written there (a damaged row).
inline constexpr HRESULT KZ_E_STORE_BADDATA = static_cast<HRESULT>(0x80040323u);

namespace platform {

// The tables of one component. steps[i] brings the component from version i
// to i + 1 (one or more SQL statements); the current version is the count.
struct StoreSchema {
  std::string_view component;
  std::span<const char* const> steps;
};

enum class StoreAccess { kRead, kWrite };

// Work done in one transaction. Return S_OK (or another non-negative code) to
// commit; a negative code rolls back and is returned. A failing statement
// should return KZ_E_STORE: its message (db.error()) becomes LastStoreError.
using StoreWork = std::function<HRESULT(sql::Db& db)>;

class Store;

// Runs `work` on the store in the file `path` (opened and cached on first
// use, created when missing), after bringing `schema` up to date.
KZ_PLATFORM_API HRESULT RunInStore(const std::string& path, const StoreSchema& schema,
                                   StoreAccess access, const StoreWork& work);

// The same on the signed-in user's profile store ("profile.db" in the user's
// data folder, platform/common/datafolders.h).
KZ_PLATFORM_API HRESULT RunInProfile(const StoreSchema& schema, StoreAccess access,
                                     const StoreWork& work);

// The path of the signed-in user's profile store; false (and *error) when the
// user's data folder cannot be made.
KZ_PLATFORM_API bool ProfilePath(std::string* path, std::string* error);

// Closes every cached store. Later calls open them again. For hosts at
// shutdown and tests.
KZ_PLATFORM_API void CloseStores();

// The message of the calling thread's last store failure ("" after success).
KZ_PLATFORM_API std::string LastStoreError();
// Replaces it; for the platform's other persistent pieces (file systems).
KZ_PLATFORM_API void SetLastStoreError(std::string message);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_STORE_H_
