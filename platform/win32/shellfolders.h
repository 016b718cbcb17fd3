// The Windows shell and file calls that the data-folder functions make,
// with their Linux meaning:
// - special folder 26 (CSIDL_APPDATA, the roaming application-data folder)
//   is the XDG data folder of platform/common/datafolders.h; other special
//   folders do not exist here;
// - file attributes are FILE_ATTRIBUTE_DIRECTORY for a folder and
//   FILE_ATTRIBUTE_NORMAL for anything else that exists;
// - CreateDirectoryW makes one folder, not its parents.
// Paths are wide texts with "/" separators (UTF-8 on disk).
#ifndef WRENUTIL_PLATFORM_WIN32_SHELLFOLDERS_H_
#define WRENUTIL_PLATFORM_WIN32_SHELLFOLDERS_H_

#include "platform/common/kzbase.h"
#include "platform/common/kzdialog.h"

// The longest path with its zero, in wide characters: Linux's PATH_MAX
// (the shell stand-in uses the same).
inline constexpr int MAX_PATH = 4096;
inline constexpr int CSIDL_APPDATA = 26;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// Writes the special folder's path (at most MAX_PATH units with its zero,
// without a trailing "/") into `path`; with `create` non-zero the folder is
// made when missing. Returns 1, or 0 (path untouched) when there is no such
// folder, it is missing and not to be created, its path is too long, or
// `path` is null. `owner` is not used.
KZ_PLATFORM_API int SHGetSpecialFolderPathW(HWND owner, wchar_t* path, int folder, int create);

// The attributes of the file or folder, or INVALID_FILE_ATTRIBUTES when it
// does not exist or `path` is null.
KZ_PLATFORM_API DWORD GetFileAttributesW(const wchar_t* path);

// Makes the folder (its parent must exist): non-zero on success, 0 when it
// exists already, its parent is missing, or `path` is null. `security` is
// not used.
KZ_PLATFORM_API int CreateDirectoryW(const wchar_t* path, void* security);

#endif  // WRENUTIL_PLATFORM_WIN32_SHELLFOLDERS_H_
