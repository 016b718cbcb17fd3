#include "platform/common/kzfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>

#include "platform/common/convert.h"
#include "platform/common/datafolders.h"
#include "platform/common/kztime.h"
#include "platform/common/store.h"

namespace {

using platform::StoreAccess;
namespace sql = platform::sql;

constexpr const char* kUserDataImage = "UserDataImage:";
constexpr const char* kTempPrefix = ".wrenfs-";

constexpr const char* kPackageSteps[] = {
    "CREATE TABLE files(name TEXT PRIMARY KEY NOT NULL, data BLOB NOT NULL, "
    "modified INTEGER NOT NULL) WITHOUT ROWID",
};
constexpr platform::StoreSchema kPackageSchema{"package", kPackageSteps};

struct FileSystem {
  FILESYSTEM_TYPE type = FILESYSTEM_TYPE_FOLDER;
  std::string path;  // a folder ending with "/", or a database file
  bool read_only = false;
};

std::mutex g_mutex;
std::map<std::string, FileSystem>& Registry() {
  static auto* registry = new std::map<std::string, FileSystem>();
  return *registry;
}

std::string Utf8(const wchar_t* text) {
  CKZStringA a = Util::Convert::Utf8FromWS(text, -1);
  return std::string(a.GetString(), static_cast<std::size_t>(a.GetLength()));
}

CKZStringW Wide(const std::string& text) {
  return Util::Convert::Utf8ToWS(text.c_str(), static_cast<int>(text.size()));
}

HRESULT Fail(HRESULT code, std::string message) {
  platform::SetLastStoreError(std::move(message));
  return code;
}

std::string Errno() { return std::generic_category().message(errno); }

bool ValidName(const std::string& name) {
  return !name.empty() && name.back() == ':' && name.find(':') == name.size() - 1 &&
         name.find('/') == std::string::npos && name.find('\\') == std::string::npos;
}

bool ValidFileName(const std::wstring& wide, const std::string& name) {
  if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
  for (wchar_t c : wide) {
    if (c < 0x20 || c == 0x7f || c == L'/' || c == L'\\') return false;
  }
  return name.rfind(kTempPrefix, 0) != 0;
}

// The file system of a virtual path, and the file name after its ":".
struct Resolved {
  std::string fs_name;
  FileSystem fs;
  std::string file;  // empty for the root
};

// Looks the path up. Returns KZ_E_FS_NOTFOUND for no "<name>:" prefix or an
// unknown one, E_INVALIDARG for a bad file name.
HRESULT Resolve(const wchar_t* path, Resolved* out, bool allow_root) {
  if (path == nullptr) return E_POINTER;
  std::wstring wide(path);
  std::size_t colon = wide.find(L':');
  if (colon == std::wstring::npos)
    return Fail(KZ_E_FS_NOTFOUND, Utf8(path) + ": not a virtual path");
  out->fs_name = Utf8(wide.substr(0, colon + 1).c_str());
  std::wstring file = wide.substr(colon + 1);
  out->file = Utf8(file.c_str());
  if (out->file.empty() ? !allow_root : !ValidFileName(file, out->file)) {
    return Fail(E_INVALIDARG, "bad file name \"" + out->file + "\" in " + Utf8(path));
  }
  if (out->fs_name == kUserDataImage) {
    std::string folder;
    std::string error;
    if (!platform::GetUserDataFolder(&folder, &error)) return Fail(KZ_E_STORE, error);
    folder += "Image";
    if (!platform::MakeFolders(folder)) {
      return Fail(KZ_E_STORE, "cannot create the folder " + folder + ": " + Errno());
    }
    out->fs = FileSystem{FILESYSTEM_TYPE_FOLDER, folder + "/", false};
    return S_OK;
  }
  std::lock_guard lock(g_mutex);
  auto it = Registry().find(out->fs_name);
  if (it == Registry().end()) {
    return Fail(KZ_E_FS_NOTFOUND, "no file system " + out->fs_name + " is registered");
  }
  out->fs = it->second;
  return S_OK;
}

HRESULT ReadWholeFile(const std::string& path, std::vector<BYTE>* data) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return errno == ENOENT ? Fail(KZ_E_FS_NOTFOUND, path + ": no such file")
                           : Fail(KZ_E_STORE, "cannot open " + path + ": " + Errno());
  }
  struct stat st {};
  HRESULT hr = S_OK;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    hr = Fail(KZ_E_STORE, "cannot read " + path + ": not a regular file");
  } else if (static_cast<std::size_t>(st.st_size) > kMaxVirtualFileSize) {
    hr = Fail(KZ_E_STORE, "cannot read " + path + ": larger than a virtual file may be");
  } else {
    std::vector<BYTE> bytes(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    if (done != bytes.size()) {
      hr = Fail(KZ_E_STORE, "cannot read " + path + ": " + Errno());
    } else {
      *data = std::move(bytes);
    }
  }
  close(fd);
  return hr;
}

// Writes through a temporary file in the same folder, then renames it over
// the target.
HRESULT WriteWholeFile(const std::string& folder, const std::string& name, const BYTE* data,
                       std::size_t size) {
  std::string target = folder + name;
  std::string temp = folder + kTempPrefix + std::to_string(getpid()) + "-" + name;
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return Fail(KZ_E_STORE, "cannot write " + target + ": " + Errno());
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  bool ok = done == size && fsync(fd) == 0;
  std::string why = Errno();
  close(fd);
  if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
    if (ok) why = Errno();
    unlink(temp.c_str());
    return Fail(KZ_E_STORE, "cannot write " + target + ": " + why);
  }
  return S_OK;
}

HRESULT RunInPackage(const FileSystem& fs, StoreAccess access, const platform::StoreWork& work) {
  return platform::RunInStore(fs.path, kPackageSchema, access, work);
}

}  // namespace

namespace FS {

HRESULT AddFileSystem(FILESYSTEM_TYPE type, const wchar_t* path, const wchar_t* name, int read_only,
                      int, int create) {
  if (path == nullptr || name == nullptr) return E_POINTER;
  std::string fs_name = Utf8(name);
  std::string real = Utf8(path);
  if (!ValidName(fs_name) || real.empty()) return E_INVALIDARG;
  if (type != FILESYSTEM_TYPE_FOLDER && type != FILESYSTEM_TYPE_PACKAGE) return E_INVALIDARG;
  if (fs_name == kUserDataImage) {
    return Fail(KZ_E_FS_EXISTS, std::string(kUserDataImage) + " is the platform's own");
  }
  if (type == FILESYSTEM_TYPE_FOLDER && real.back() != '/') real += '/';
  FileSystem fs{type, real, read_only != 0};
  {
    std::lock_guard lock(g_mutex);
    auto it = Registry().find(fs_name);
    if (it != Registry().end()) {
      if (it->second.type == type && it->second.path == real) return S_FALSE;
      return Fail(KZ_E_FS_EXISTS, fs_name + " is already registered over " + it->second.path);
    }
  }
  struct stat st {};
  bool exists = stat(real.c_str(), &st) == 0;
  if (!exists && create == 0) {
    return Fail(KZ_E_FS_NOTFOUND, "cannot register " + fs_name + ": " + real + " does not exist");
  }
  if (type == FILESYSTEM_TYPE_FOLDER) {
    if (!platform::MakeFolders(real.substr(0, real.size() - 1))) {
      return Fail(KZ_E_STORE, "cannot register " + fs_name + ": cannot create the folder " + real);
    }
  } else {
    std::size_t slash = real.rfind('/');
    if (slash != std::string::npos && slash > 0 && !platform::MakeFolders(real.substr(0, slash))) {
      return Fail(KZ_E_STORE,
                  "cannot register " + fs_name + ": cannot create the folder of " + real);
    }
    HRESULT hr = RunInPackage(fs, fs.read_only ? StoreAccess::kRead : StoreAccess::kWrite, nullptr);
    if (FAILED(hr)) return hr;
  }
  std::lock_guard lock(g_mutex);
  auto [it, added] = Registry().emplace(fs_name, fs);
  if (!added) {
    // Registered by another thread meanwhile.
    return it->second.type == type && it->second.path == real ? S_FALSE : KZ_E_FS_EXISTS;
  }
  return S_OK;
}

int IsFileSystemExist(const wchar_t* name) {
  if (name == nullptr) return 0;
  std::string fs_name = Utf8(name);
  if (fs_name == kUserDataImage) return 1;
  std::lock_guard lock(g_mutex);
  return Registry().count(fs_name) != 0 ? 1 : 0;
}

HRESULT RemoveFileSystem(const wchar_t* name) {
  if (name == nullptr) return E_POINTER;
  std::lock_guard lock(g_mutex);
  return Registry().erase(Utf8(name)) != 0 ? S_OK : KZ_E_FS_NOTFOUND;
}

CKZStringW ConvertToPureFile(const wchar_t* path) {
  if (path == nullptr) return CKZStringW();
  Resolved r;
  HRESULT hr = Resolve(path, &r, true);
  if (hr == KZ_E_FS_NOTFOUND) {
    // Not virtual, or an unknown file system: a path of its own.
    return std::wstring(path).find(L':') == std::wstring::npos ? CKZStringW(path) : CKZStringW();
  }
  if (FAILED(hr)) return CKZStringW();
  if (r.fs.type == FILESYSTEM_TYPE_PACKAGE) return r.file.empty() ? Wide(r.fs.path) : CKZStringW();
  if (r.file.empty()) platform::MakeFolders(r.fs.path.substr(0, r.fs.path.size() - 1));
  return Wide(r.fs.path + r.file);
}

HRESULT ReadFile(const wchar_t* path, std::vector<BYTE>* data) {
  if (path == nullptr || data == nullptr) return E_POINTER;
  Resolved r;
  if (HRESULT hr = Resolve(path, &r, false); FAILED(hr)) return hr;
  if (r.fs.type == FILESYSTEM_TYPE_FOLDER) return ReadWholeFile(r.fs.path + r.file, data);
  bool found = false;
  HRESULT hr = RunInPackage(r.fs, StoreAccess::kRead, [&](sql::Db& db) {
    sql::Statement s;
    if (!db.Prepare("SELECT data FROM files WHERE name = ?", &s) || !s.Bind(1, r.file) ||
        !s.Fetch(&found)) {
      return KZ_E_STORE;
    }
    if (found) {
      auto blob = s.ColumnBlob(0);
      data->assign(blob.begin(), blob.end());
    }
    return S_OK;
  });
  if (FAILED(hr)) return hr;
  if (!found) return Fail(KZ_E_FS_NOTFOUND, Utf8(path) + ": no such file");
  return S_OK;
}

HRESULT WriteFile(const wchar_t* path, const BYTE* data, std::size_t size) {
  if (path == nullptr || (data == nullptr && size != 0)) return E_POINTER;
  Resolved r;
  if (HRESULT hr = Resolve(path, &r, false); FAILED(hr)) return hr;
  if (size > kMaxVirtualFileSize) {
    return Fail(E_INVALIDARG, Utf8(path) + ": " + std::to_string(size) +
                                  " bytes are more than a virtual file may hold");
  }
  if (r.fs.read_only) return Fail(KZ_E_STORE_READONLY, r.fs_name + " is read-only");
  if (r.fs.type == FILESYSTEM_TYPE_FOLDER) {
    platform::MakeFolders(r.fs.path.substr(0, r.fs.path.size() - 1));
    return WriteWholeFile(r.fs.path, r.file, data, size);
  }
  return RunInPackage(r.fs, StoreAccess::kWrite, [&](sql::Db& db) {
    sql::Statement s;
    if (!db.Prepare("INSERT INTO files(name, data, modified) VALUES(?, ?, ?) "
                    "ON CONFLICT(name) DO UPDATE SET data = excluded.data, "
                    "modified = excluded.modified",
                    &s) ||
        !s.Bind(1, r.file) || !s.BindBlob(2, std::span<const std::uint8_t>(data, size)) ||
        !s.Bind(3, static_cast<std::int64_t>(Util::Time::GetRegulatedMilliTime())) || !s.Run()) {
      return KZ_E_STORE;
    }
    return S_OK;
  });
}

HRESULT RemoveFile(const wchar_t* path) {
  if (path == nullptr) return E_POINTER;
  Resolved r;
  if (HRESULT hr = Resolve(path, &r, false); FAILED(hr)) return hr;
  if (r.fs.read_only) return Fail(KZ_E_STORE_READONLY, r.fs_name + " is read-only");
  if (r.fs.type == FILESYSTEM_TYPE_FOLDER) {
    std::string file = r.fs.path + r.file;
    if (unlink(file.c_str()) == 0) return S_OK;
    return errno == ENOENT ? Fail(KZ_E_FS_NOTFOUND, file + ": no such file")
                           : Fail(KZ_E_STORE, "cannot remove " + file + ": " + Errno());
  }
  bool removed = false;
  HRESULT hr = RunInPackage(r.fs, StoreAccess::kWrite, [&](sql::Db& db) {
    sql::Statement s;
    if (!db.Prepare("DELETE FROM files WHERE name = ? RETURNING 1", &s) || !s.Bind(1, r.file) ||
        !s.Fetch(&removed) || !s.Run()) {
      return KZ_E_STORE;
    }
    return S_OK;
  });
  if (FAILED(hr)) return hr;
  return removed ? S_OK : Fail(KZ_E_FS_NOTFOUND, Utf8(path) + ": no such file");
}

HRESULT ListFiles(const wchar_t* name, std::vector<std::wstring>* names) {
  if (name == nullptr || names == nullptr) return E_POINTER;
  Resolved r;
  if (HRESULT hr = Resolve(name, &r, true); FAILED(hr)) return hr;
  if (!r.file.empty()) return E_INVALIDARG;
  std::vector<std::wstring> out;
  if (r.fs.type == FILESYSTEM_TYPE_FOLDER) {
    DIR* dir = opendir(r.fs.path.c_str());
    if (dir == nullptr) {
      if (errno != ENOENT) return Fail(KZ_E_STORE, "cannot list " + r.fs.path + ": " + Errno());
    } else {
      while (dirent* e = readdir(dir)) {
        std::string entry = e->d_name;
        struct stat st {};
        if (entry.rfind(kTempPrefix, 0) == 0 || entry == "." || entry == "..") continue;
        if (stat((r.fs.path + entry).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        out.push_back(Wide(entry).GetString());
      }
      closedir(dir);
    }
  } else {
    HRESULT hr = RunInPackage(r.fs, StoreAccess::kRead, [&](sql::Db& db) {
      sql::Statement s;
      if (!db.Prepare("SELECT name FROM files", &s)) return KZ_E_STORE;
      sql::Statement::Step step;
      while ((step = s.Next()) == sql::Statement::Step::kRow) {
        std::string_view n = s.ColumnText(0);
        out.push_back(Wide(std::string(n)).GetString());
      }
      return step == sql::Statement::Step::kDone ? S_OK : KZ_E_STORE;
    });
    if (FAILED(hr)) return hr;
  }
  std::sort(out.begin(), out.end());
  *names = std::move(out);
  return S_OK;
}

}  // namespace FS

namespace platform {
void ResetFileSystems() {
  std::lock_guard lock(g_mutex);
  Registry().clear();
}
}  // namespace platform
