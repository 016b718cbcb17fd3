// Util::Dir::WREN and Util::Dir::Marlin: the plug-ins' data folders below the
// user's application-data folder, and the registration of the head-image file
// system.
//
// Folder layout, each path ending with a separator:
//   GetAppDataPathSKIFF           <app data>/<root name>/Marlin/
//   GetAppDataPathSKIFFPlugin     .../Marlin/Plugins/
//   GetAppDataPathSKIFFCurPlugin  .../Marlin/Plugins/Plugins/<plug-in version>/
// (two "Plugins" components, not one). The application-data folder is the
// platform's roaming folder (special folder 26: the XDG data folder here),
// created when missing; when there is none, all three start from the program
// folder (Util::Sys::GetProgramRootDir) instead, which is returned unchanged
// by GetAppDataPathSKIFF. The root name comes from
// Util::ProductConfig::GetCorvidRootName (an empty name leaves an empty
// component) and the version from Util::WRENVersion::GetWRENPluginVersion.
//
// Choices of this implementation:
// - The separator is "/". Separators of the other system ("\") in the
//   application-data folder are turned into "/", and exactly one "/" is put
//   between it and the root name.
// - Each function creates only its last folder when it is missing (one
//   CreateDirectoryW, whose failure is ignored), so the Marlin folder is not
//   made when the root-name folder is missing, and the current plug-in's
//   folder is not made when the second "Plugins" folder is missing. The path
//   is returned all the same.
// - The folder functions keep no state; every call computes the path anew.
#ifndef WRENUTIL_WRENUTIL_DATADIRS_H_
#define WRENUTIL_WRENUTIL_DATADIRS_H_

#include "platform/common/kzstring.h"
#include "wrenutil/export.h"

namespace Util::Dir::WREN {
WRENUTIL_API CKZStringW GetAppDataPathSKIFF();
WRENUTIL_API CKZStringW GetAppDataPathSKIFFPlugin();
WRENUTIL_API CKZStringW GetAppDataPathSKIFFCurPlugin();
}  // namespace Util::Dir::WREN

namespace Util::Dir::Marlin {
// Registers the file system "MarlinHeadImage:" (type 4: a package of files in
// the database "MarlinHeadImage.db" of the folder behind "UserDataImage:").
// Returns 1 when it exists afterwards (also when it was registered before: it
// is not registered again), 0 when registering failed; the failure is logged
// (level 2, module "MarlinFS", "添加文件系统(MarlinHeadImage:)失败!" with the
// context suffix).
WRENUTIL_API int InitHeadImageFileSystem();
}  // namespace Util::Dir::Marlin

#endif  // WRENUTIL_WRENUTIL_DATADIRS_H_
