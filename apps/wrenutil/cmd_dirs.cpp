// `wrenutil dirs`: the plug-ins' data folders (Util::Dir::WREN), whether each
// exists, and where the profile store and the head images are kept.
#include <filesystem>
#include <ostream>
#include <string>

#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "platform/common/convert.h"
#include "platform/common/kzfs.h"
#include "platform/common/store.h"
#include "wrenutil/datadirs.h"

namespace wrenutil_app {
namespace {

std::string Utf8(const CKZStringW& text) {
  return Util::Convert::Utf8FromWS(text, text.GetLength()).str();
}

void RunDirs(AppContext& context) {
  std::string error;
  if (!context.host->UseProfile(&error)) {
    context.Fail(error, kExitFailure);
    return;
  }
  std::ostream& out = *context.out;
  struct Folder {
    const char* name;
    CKZStringW path;
  } folders[] = {
      {"GetAppDataPathSKIFF", Util::Dir::WREN::GetAppDataPathSKIFF()},
      {"GetAppDataPathSKIFFPlugin", Util::Dir::WREN::GetAppDataPathSKIFFPlugin()},
      {"GetAppDataPathSKIFFCurPlugin", Util::Dir::WREN::GetAppDataPathSKIFFCurPlugin()},
  };
  for (const Folder& f : folders) {
    std::string path = Utf8(f.path);
    std::error_code ec;
    out << f.name << '\t' << path << '\t'
        << (std::filesystem::is_directory(path, ec) ? "exists" : "missing") << '\n';
  }
  std::string profile;
  platform::ProfilePath(&profile, nullptr);
  out << "profile store\t" << profile << '\n';
  out << "UserDataImage:\t" << Utf8(FS::ConvertToPureFile(L"UserDataImage:")) << '\n';
}

}  // namespace

void RegisterDirsCommand(CLI::App& app, AppContext& context) {
  CLI::App* cmd = app.add_subcommand(
      "dirs",
      "Show the plug-ins' data folders (and whether each exists), the profile store "
      "and the head-image folder");
  cmd->callback([&context] { RunDirs(context); });
}

}  // namespace wrenutil_app
