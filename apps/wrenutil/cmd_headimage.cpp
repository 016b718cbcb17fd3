// `wrenutil headimage put UIN FILE | get UIN [--out FILE] | ls | rm UIN`:
// contacts' head images in the file system "MarlinHeadImage:", registered
// with Util::Dir::Marlin::InitHeadImageFileSystem. The image of contact UIN
// is the file "<UIN>.png".
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "platform/common/convert.h"
#include "platform/common/kzfs.h"
#include "platform/common/store.h"
#include "wrenutil/datadirs.h"

namespace wrenutil_app {
namespace {

struct HeadImageOptions {
  std::uint32_t uin = 0;
  std::string file;
  std::string out;
};

std::wstring PathOf(std::uint32_t uin) {
  return L"MarlinHeadImage:" + std::to_wstring(uin) + L".png";
}

// Registers the head-image file system; false after reporting a failure.
bool Ready(AppContext& context) {
  std::string error;
  if (!context.host->UseProfile(&error)) {
    context.Fail(error, kExitFailure);
    return false;
  }
  if (Util::Dir::Marlin::InitHeadImageFileSystem() != 1) {
    context.Fail("cannot register MarlinHeadImage: " + platform::LastStoreError(), kExitFailure);
    return false;
  }
  return true;
}

void RunPut(const HeadImageOptions& o, AppContext& context) {
  std::string bytes;
  std::string error;
  if (!ReadFile(o.file, &bytes, &error)) {
    context.Fail(error);
    return;
  }
  if (bytes.size() > kMaxVirtualFileSize) {
    context.Fail(o.file + ": " + std::to_string(bytes.size()) + " bytes; a head image may have " +
                 std::to_string(kMaxVirtualFileSize));
    return;
  }
  if (!Ready(context)) return;
  HRESULT hr = FS::WriteFile(PathOf(o.uin).c_str(), reinterpret_cast<const BYTE*>(bytes.data()),
                             bytes.size());
  if (FAILED(hr)) {
    context.Fail(StoreFailureText(hr), kExitFailure);
    return;
  }
  *context.out << "stored " << bytes.size() << " bytes as MarlinHeadImage:" << o.uin << ".png\n";
}

void RunGet(const HeadImageOptions& o, AppContext& context) {
  if (!Ready(context)) return;
  std::vector<BYTE> bytes;
  HRESULT hr = FS::ReadFile(PathOf(o.uin).c_str(), &bytes);
  if (hr == KZ_E_FS_NOTFOUND) {
    context.Fail("no head image for " + std::to_string(o.uin), kExitFailure);
    return;
  }
  if (FAILED(hr)) {
    context.Fail(StoreFailureText(hr), kExitFailure);
    return;
  }
  if (o.out.empty()) {
    context.out->write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
    context.out->flush();
    return;
  }
  std::ofstream file(o.out, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) {
    context.Fail("cannot write " + o.out, kExitFailure);
    return;
  }
  *context.out << "wrote " << bytes.size() << " bytes to " << o.out << '\n';
}

void RunList(AppContext& context) {
  if (!Ready(context)) return;
  std::vector<std::wstring> names;
  HRESULT hr = FS::ListFiles(L"MarlinHeadImage:", &names);
  if (FAILED(hr)) {
    context.Fail(StoreFailureText(hr), kExitFailure);
    return;
  }
  for (const std::wstring& name : names) {
    std::vector<BYTE> bytes;
    FS::ReadFile((L"MarlinHeadImage:" + name).c_str(), &bytes);
    *context.out << Util::Convert::Utf8FromWS(name.c_str(), static_cast<int>(name.size())).str()
                 << '\t' << bytes.size() << " bytes\n";
  }
  if (names.empty()) context.Fail("no head images", kExitFailure);
}

void RunRemove(const HeadImageOptions& o, AppContext& context) {
  if (!Ready(context)) return;
  HRESULT hr = FS::RemoveFile(PathOf(o.uin).c_str());
  if (hr == KZ_E_FS_NOTFOUND) {
    context.Fail("no head image for " + std::to_string(o.uin), kExitFailure);
  } else if (FAILED(hr)) {
    context.Fail(StoreFailureText(hr), kExitFailure);
  } else {
    *context.out << "removed MarlinHeadImage:" << o.uin << ".png\n";
  }
}

}  // namespace

void RegisterHeadimageCommand(CLI::App& app, AppContext& context) {
  auto o = std::make_shared<HeadImageOptions>();
  CLI::App* cmd = app.add_subcommand(
      "headimage", "Store, read, list and remove contacts' head images (MarlinHeadImage:)");
  cmd->require_subcommand(1);

  CLI::App* put = cmd->add_subcommand("put", "Store FILE as the head image of UIN");
  put->add_option("uin", o->uin, "Contact number")->required();
  put->add_option("file", o->file, "Image file")->required();
  put->callback([o, &context] { RunPut(*o, context); });

  CLI::App* get = cmd->add_subcommand("get", "Write the head image of UIN to stdout or --out");
  get->add_option("uin", o->uin, "Contact number")->required();
  get->add_option("--out,-o", o->out, "Write to this file instead");
  get->callback([o, &context] { RunGet(*o, context); });

  CLI::App* ls = cmd->add_subcommand("ls", "List the stored head images");
  ls->callback([&context] { RunList(context); });

  CLI::App* rm = cmd->add_subcommand("rm", "Remove the head image of UIN");
  rm->add_option("uin", o->uin, "Contact number")->required();
  rm->callback([o, &context] { RunRemove(*o, context); });
}

}  // namespace wrenutil_app
