#include "wrenutil/datadirs.h"

#include "common/include/utillog.h"
#include "platform/afutil/afutil.h"
#include "platform/common/convert.h"
#include "platform/common/datafolders.h"
#include "platform/common/kzfs.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/win32/shellfolders.h"

namespace {

// Makes the last folder of `path` when it is missing; the result is ignored.
void CreateLastFolder(const CKZStringW& path) {
  if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(path, nullptr);
}

}  // namespace

namespace Util::Dir::WREN {

CKZStringW GetAppDataPathSKIFF() {
  wchar_t buffer[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_APPDATA, 1)) {
    return Util::Sys::GetProgramRootDir();
  }
  CKZStringW path(buffer);
  path.Replace(L'\\', L'/');
  if (path.GetAt(path.GetLength() - 1) != L'/') path += L'/';
  CKZStringW root;
  Util::ProductConfig::GetCorvidRootName(root);
  path += root;
  path += L"/";
  path += L"Marlin";
  path += L"/";
  CreateLastFolder(path);
  return path;
}

CKZStringW GetAppDataPathSKIFFPlugin() {
  CKZStringW path = GetAppDataPathSKIFF();
  path += L"Plugins/";
  CreateLastFolder(path);
  return path;
}

CKZStringW GetAppDataPathSKIFFCurPlugin() {
  CKZStringW path = GetAppDataPathSKIFFPlugin();
  path += L"Plugins/";
  path.AppendFormat(L"%u/", Util::WRENVersion::GetWRENPluginVersion());
  CreateLastFolder(path);
  return path;
}

}  // namespace Util::Dir::WREN

namespace Util::Dir::Marlin {

int InitHeadImageFileSystem() {
  constexpr char kDatabase[] = "MarlinHeadImage.db";
  CKZStringW path = FS::ConvertToPureFile(L"UserDataImage:");
  path += Util::Convert::Utf8ToWS(kDatabase, -1);
  if (FS::IsFileSystemExist(L"MarlinHeadImage:") != 0) return 1;
  HRESULT hr =
      FS::AddFileSystem(static_cast<FILESYSTEM_TYPE>(4), path, L"MarlinHeadImage:", 0, 0, 1);
  if (hr >= 0) return 1;
  wrenutil::internal::WrenLogWithContext(L"file", 18, L"func", 2, L"MarlinFS",
                                         L"添加文件系统(%s)失败!", L"MarlinHeadImage:");
  return 0;
}

}  // namespace Util::Dir::Marlin
