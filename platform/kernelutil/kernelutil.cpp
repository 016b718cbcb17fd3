#include "platform/kernelutil/kernelutil.h"

#include <arpa/inet.h>

#include <mutex>

#include "platform/common/convert.h"
#include "platform/common/datafolders.h"
#include "platform/common/kzcore.h"
#include "platform/common/refcounted.h"
#include "platform/kernelutil/accountservice.h"

namespace {
std::mutex g_session_mutex;
platform::SessionInfo g_session;

class MemoryAccountService : public platform::RefCounted<IKZAccountService> {
 public:
  explicit MemoryAccountService(const platform::AccountInfo& info) : info_(info) {}
  HRESULT GetCorpUin(DWORD* corp_uin) override {
    if (corp_uin == nullptr) return E_POINTER;
    *corp_uin = info_.corp_uin;
    return S_OK;
  }
  HRESULT GetAccountFlags(std::uint64_t* flags) override {
    if (flags == nullptr) return E_POINTER;
    *flags = info_.flags;
    return S_OK;
  }
  HRESULT GetReportUin(DWORD* report_uin) override {
    if (report_uin == nullptr) return E_POINTER;
    *report_uin = info_.report_uin;
    return S_OK;
  }

 private:
  platform::AccountInfo info_;
};

class MemoryNetworkService : public platform::RefCounted<IKZNetworkService> {
 public:
  explicit MemoryNetworkService(DWORD host_order) : address_(htonl(host_order)) {}
  HRESULT GetClientIP(DWORD* address) override {
    if (address == nullptr) return E_POINTER;
    *address = address_;
    return S_OK;
  }

 private:
  DWORD address_;
};
}  // namespace

namespace Util::Contact {
DWORD GetSelfUin() {
  std::lock_guard lock(g_session_mutex);
  return g_session.self_uin;
}
}  // namespace Util::Contact

namespace Util::Sys {
CKZStringW GetProgramRootDir() {
  std::string folder = platform::ProgramFolder();
  return Util::Convert::Utf8ToWS(folder.c_str(), static_cast<int>(folder.size()));
}
}  // namespace Util::Sys

namespace Version {
int GetMajorVer() {
  std::lock_guard lock(g_session_mutex);
  return g_session.major_version;
}
int GetMinorVer() {
  std::lock_guard lock(g_session_mutex);
  return g_session.minor_version;
}
}  // namespace Version

namespace platform {
void SetSession(const SessionInfo& session) {
  std::lock_guard lock(g_session_mutex);
  g_session = session;
}
SessionInfo GetSession() {
  std::lock_guard lock(g_session_mutex);
  return g_session;
}

HRESULT CreateMemoryAccountService(const AccountInfo& info, IKZAccountService** out) {
  if (out == nullptr) return E_POINTER;
  *out = new MemoryAccountService(info);
  return S_OK;
}
HRESULT CreateMemoryNetworkService(DWORD address_host_order, IKZNetworkService** out) {
  if (out == nullptr) return E_POINTER;
  *out = new MemoryNetworkService(address_host_order);
  return S_OK;
}
}  // namespace platform

namespace {
// A fresh platform world starts from here (platform::ResetPlatformWorld).
[[maybe_unused]] const bool kResetWithTheWorld =
    platform::internal::AtWorldReset([] { platform::SetSession(platform::SessionInfo{}); });
}  // namespace
