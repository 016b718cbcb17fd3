// Virtual file systems of the client's Common library: files reached by a
// virtual path "<name>:<file>", where <name>: is a registered file system.
//
// Two kinds:
// - FILESYSTEM_TYPE_FOLDER (1): a real folder; "<name>:<file>" is the file
//   <folder>/<file>. Writes go to a temporary file that is renamed over the
//   target, so a reader (or a killed writer) sees the old or the new bytes.
// - FILESYSTEM_TYPE_PACKAGE (4): a package of files inside one SQLite
//   database file (a store, platform/common/store.h, table "files"); each
//   write is one transaction.
// The file system "UserDataImage:" is always there: the folder "Image/" in
// the signed-in user's data folder (datafolders.h), made when first needed.
//
// File names inside a file system are one path component: not empty, not
// "." or "..", without "/", "\" or control characters, at most 255 UTF-8
// bytes; anything else is refused with E_INVALIDARG, so no name reaches
// outside its file system. A file holds at most kMaxVirtualFileSize bytes.
// Failures leave a message naming the file in platform::LastStoreError().
#ifndef WRENUTIL_PLATFORM_COMMON_KZFS_H_
#define WRENUTIL_PLATFORM_COMMON_KZFS_H_

#include <cstddef>
#include <string>
#include <vector>

#include "platform/common/kzbase.h"
#include "platform/common/kzstring.h"

enum FILESYSTEM_TYPE : int {
  FILESYSTEM_TYPE_FOLDER = 1,
  FILESYSTEM_TYPE_PACKAGE = 4,
};

// A file system of that name is registered with another type or path.
inline constexpr HRESULT KZ_E_FS_EXISTS = static_cast<HRESULT>(0x800700B7u);
// No file system of that name, or no such file in it.
inline constexpr HRESULT KZ_E_FS_NOTFOUND = static_cast<HRESULT>(0x80070002u);

inline constexpr std::size_t kMaxVirtualFileSize = 64u << 20;

namespace FS {

// Registers the file system `name` ("Name:", ending with its only ":") over
// `path` (a folder for type 1, a database file for type 4).
// - read_only: non-zero refuses every write to it;
// - reserved: not used;
// - create: non-zero makes the folder or package (and its parent folders)
//   when missing; with 0 a missing one fails with KZ_E_FS_NOTFOUND.
// A package is opened and checked at once (a damaged one is moved aside and
// started afresh, as for every store). Returns S_OK; S_FALSE when the same
// name is already registered with the same type and path; KZ_E_FS_EXISTS for
// the same name with another type or path, or for "UserDataImage:";
// E_POINTER for null texts; E_INVALIDARG for a bad name or type or an empty
// path; KZ_E_STORE (with LastStoreError) when the package cannot be opened.
KZ_PLATFORM_API HRESULT AddFileSystem(FILESYSTEM_TYPE type, const wchar_t* path,
                                      const wchar_t* name, int read_only, int reserved, int create);
// 1 when a file system of that name (with its ":") is registered, else 0
// (also for null).
KZ_PLATFORM_API int IsFileSystemExist(const wchar_t* name);
// Unregisters a file system (not "UserDataImage:"): S_OK or KZ_E_FS_NOTFOUND.
KZ_PLATFORM_API HRESULT RemoveFileSystem(const wchar_t* name);

// The real path behind a virtual path. For a folder file system: the folder
// (ending with "/", made when missing) for "<name>:", the file's path for
// "<name>:<file>". For a package: its database file for "<name>:"; the empty
// text for a file inside it (it has no path of its own). A path without a
// registered "<name>:" prefix comes back unchanged; a bad file name or null
// gives the empty text.
KZ_PLATFORM_API CKZStringW ConvertToPureFile(const wchar_t* path);

// Reads the whole file into *data (replaced). KZ_E_FS_NOTFOUND when the file
// system or the file does not exist; E_INVALIDARG for a bad path; E_POINTER
// for null; KZ_E_STORE on a read failure.
KZ_PLATFORM_API HRESULT ReadFile(const wchar_t* path, std::vector<BYTE>* data);
// Creates or replaces the file with `size` bytes (data may be null only for
// size 0). E_INVALIDARG for a bad path or more than kMaxVirtualFileSize
// bytes; KZ_E_STORE_READONLY for a read-only file system; KZ_E_FS_NOTFOUND
// for an unknown file system; KZ_E_STORE on a write failure. A failed write
// leaves the old content.
KZ_PLATFORM_API HRESULT WriteFile(const wchar_t* path, const BYTE* data, std::size_t size);
// Removes the file: S_OK, or KZ_E_FS_NOTFOUND when it does not exist.
KZ_PLATFORM_API HRESULT RemoveFile(const wchar_t* path);
// The names of the files of file system `name` ("Name:"), sorted.
KZ_PLATFORM_API HRESULT ListFiles(const wchar_t* name, std::vector<std::wstring>* names);

}  // namespace FS

namespace platform {
// Unregisters every file system but "UserDataImage:". For tests and hosts.
KZ_PLATFORM_API void ResetFileSystems();
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_KZFS_H_
