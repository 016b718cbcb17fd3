#include "platform/common/datafolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <system_error>
#include <utility>

#include "platform/common/convert.h"
#include "platform/kernelutil/kernelutil.h"

namespace platform {
namespace {

struct FolderState {
  std::mutex mutex;
  ProductSettings product;
  std::optional<std::string> app_data;
  std::optional<std::string> program;
};

FolderState& State() {
  static FolderState state;
  return state;
}

std::string Narrow(const std::wstring& text) {
  CKZStringA a = Util::Convert::Utf8FromWS(text.c_str(), static_cast<int>(text.size()));
  return std::string(a.GetString(), static_cast<std::size_t>(a.GetLength()));
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

void SetProductSettings(const ProductSettings& settings) {
  std::lock_guard lock(State().mutex);
  State().product = settings;
}

ProductSettings GetProductSettings() {
  std::lock_guard lock(State().mutex);
  return State().product;
}

std::optional<std::string> SetAppDataFolder(std::optional<std::string> folder) {
  std::lock_guard lock(State().mutex);
  return std::exchange(State().app_data, std::move(folder));
}

void SetProgramFolder(std::optional<std::string> folder) {
  std::lock_guard lock(State().mutex);
  State().program = std::move(folder);
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  if (IsFolder(path)) return true;
  std::string partial;
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    partial = path.substr(0, pos);
    if (!partial.empty() && !IsFolder(partial)) {
      if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
  }
  return IsFolder(path);
}

bool FindAppDataFolder(std::string* folder) {
  std::optional<std::string> chosen;
  {
    std::lock_guard lock(State().mutex);
    chosen = State().app_data;
  }
  if (!chosen) {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (xdg != nullptr && xdg[0] == '/') {
      chosen = xdg;
    } else if (home != nullptr && home[0] == '/') {
      chosen = std::string(home) + "/.local/share";
    } else {
      chosen = "";
    }
  }
  if (chosen->empty()) return false;
  if (folder != nullptr) *folder = WithoutTrailingSlash(*chosen);
  return true;
}

bool GetAppDataFolder(std::string* folder) {
  std::string path;
  if (!FindAppDataFolder(&path) || !MakeFolders(path)) return false;
  if (folder != nullptr) *folder = path;
  return true;
}

std::string ProgramFolder() {
  std::optional<std::string> chosen;
  {
    std::lock_guard lock(State().mutex);
    chosen = State().program;
  }
  std::string path;
  if (chosen) {
    path = *chosen;
  } else {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n > 0) {
      path.assign(buffer, static_cast<std::size_t>(n));
      path.erase(path.rfind('/') + 1);
    } else {
      path = "./";
    }
  }
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

bool GetUserDataFolder(std::string* folder, std::string* error) {
  std::string base;
  if (GetAppDataFolder(&base)) {
    base += '/';
  } else {
    base = ProgramFolder();
  }
  std::string path = base + Narrow(GetProductSettings().root_name) + '/' +
                     std::to_string(Util::Contact::GetSelfUin()) + '/';
  if (!MakeFolders(WithoutTrailingSlash(path))) {
    if (error != nullptr) {
      *error = "cannot create the user data folder " + path + ": " +
               std::generic_category().message(errno);
    }
    return false;
  }
  if (folder != nullptr) *folder = path;
  return true;
}

}  // namespace platform

namespace Util::ProductConfig {
int GetCorvidRootName(CKZStringW& name) {
  name = CKZStringW(platform::GetProductSettings().root_name);
  return 1;
}
}  // namespace Util::ProductConfig
