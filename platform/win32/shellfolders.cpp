#include "platform/win32/shellfolders.h"

#include <sys/stat.h>

#include <cwchar>
#include <string>

#include "platform/common/convert.h"
#include "platform/common/datafolders.h"

namespace {
std::string Utf8(const wchar_t* text) {
  CKZStringA a = Util::Convert::Utf8FromWS(text, -1);
  return std::string(a.GetString(), static_cast<std::size_t>(a.GetLength()));
}
}  // namespace

int SHGetSpecialFolderPathW(HWND, wchar_t* path, int folder, int create) {
  if (path == nullptr || folder != CSIDL_APPDATA) return 0;
  std::string found;
  if (create != 0) {
    if (!platform::GetAppDataFolder(&found)) return 0;
  } else {
    // Without creating: only an existing folder counts.
    struct stat st {};
    if (!platform::FindAppDataFolder(&found) || stat(found.c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode))
      return 0;
  }
  CKZStringW wide = Util::Convert::Utf8ToWS(found.c_str(), static_cast<int>(found.size()));
  if (wide.GetLength() >= MAX_PATH) return 0;
  std::wmemcpy(path, wide.GetString(), static_cast<std::size_t>(wide.GetLength()) + 1);
  return 1;
}

DWORD GetFileAttributesW(const wchar_t* path) {
  if (path == nullptr) return INVALID_FILE_ATTRIBUTES;
  struct stat st {};
  if (stat(Utf8(path).c_str(), &st) != 0) return INVALID_FILE_ATTRIBUTES;
  return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

int CreateDirectoryW(const wchar_t* path, void*) {
  if (path == nullptr) return 0;
  return mkdir(Utf8(path).c_str(), 0700) == 0 ? 1 : 0;
}
