// Data folders and the product configuration.
//
// The client keeps its users' files under the roaming application-data folder
// of its system. On Linux that is the XDG data folder: $XDG_DATA_HOME when it
// is an absolute path, else $HOME/.local/share; with neither there is no such
// folder. A host (the demo client's --data-dir, every test) replaces it with
// SetAppDataFolder. Paths are UTF-8 and use "/".
//
// Below it, each signed-in user has a data folder
//   <app data>/<root name>/<own contact number>/
// that holds the user's profile store ("profile.db") and the real folder of
// the virtual path "UserDataImage:" ("Image/"). When there is no application
// data folder, the program's folder takes its place.
#ifndef WRENUTIL_PLATFORM_COMMON_DATAFOLDERS_H_
#define WRENUTIL_PLATFORM_COMMON_DATAFOLDERS_H_

#include <optional>
#include <string>

#include "platform/common/kzbase.h"
#include "platform/common/kzstring.h"

namespace platform {

// The product's configuration: embedded defaults that a host may replace.
struct ProductSettings {
  // The name of the product's folder below the application-data folder.
  std::wstring root_name = L"Corvid";
  // The version number of the running plug-in.
  DWORD plugin_version = 1;
};
KZ_PLATFORM_API void SetProductSettings(const ProductSettings& settings);
KZ_PLATFORM_API ProductSettings GetProductSettings();

// Replaces the application-data folder: a path uses that folder, the empty
// text means "this system has none", nullopt goes back to the XDG lookup.
// Returns the replacement before.
KZ_PLATFORM_API std::optional<std::string> SetAppDataFolder(std::optional<std::string> folder);
// Replaces the program folder that Util::Sys::GetProgramRootDir reports;
// nullopt goes back to the folder of the running executable.
KZ_PLATFORM_API void SetProgramFolder(std::optional<std::string> folder);

// The application-data folder's path, without making it and without a
// trailing "/". False when there is none.
KZ_PLATFORM_API bool FindAppDataFolder(std::string* folder);
// The application-data folder, created (with its parents) when missing,
// without a trailing "/". False when there is none or it cannot be created.
KZ_PLATFORM_API bool GetAppDataFolder(std::string* folder);
// The folder of the running program (or the replacement), ending with "/".
KZ_PLATFORM_API std::string ProgramFolder();

// The signed-in user's data folder (see above), created with its parents,
// ending with "/". False, with a message in *error, when it cannot be made.
KZ_PLATFORM_API bool GetUserDataFolder(std::string* folder, std::string* error);

// Creates `path` and its missing parents; true when it is a folder after.
KZ_PLATFORM_API bool MakeFolders(const std::string& path);

}  // namespace platform

namespace Util::ProductConfig {
// Writes the product's root folder name into `name`; returns 1.
KZ_PLATFORM_API int GetCorvidRootName(CKZStringW& name);
}  // namespace Util::ProductConfig

#endif  // WRENUTIL_PLATFORM_COMMON_DATAFOLDERS_H_
