// The account service (corporation number, account flags) and the network
// service (the client's address), with in-memory implementations.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_ACCOUNTSERVICE_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_ACCOUNTSERVICE_H_

#include <cstdint>

#include "platform/common/kzbase.h"

// Service {D4A70210-E167-4A5E-9EE4-130AE2AEB2E0}.
struct IKZAccountService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{D4A70210-E167-4A5E-9EE4-130AE2AEB2E0}");
  virtual HRESULT GetCorpUin(DWORD* corp_uin) = 0;
  // The account's 64-bit flag word.
  virtual HRESULT GetAccountFlags(std::uint64_t* flags) = 0;
  // A second number that identifies the account in usage reports.
  virtual HRESULT GetReportUin(DWORD* report_uin) = 0;
};

// Service {CDFF14D5-A8C0-4E5F-AF15-567654C0DD5C}.
struct IKZNetworkService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{CDFF14D5-A8C0-4E5F-AF15-567654C0DD5C}");
  // The client's IPv4 address in network byte order.
  virtual HRESULT GetClientIP(DWORD* address) = 0;
};

namespace platform {
struct AccountInfo {
  DWORD corp_uin = 0;
  std::uint64_t flags = 0;
  DWORD report_uin = 0;
};
// In-memory services; one reference for the caller each.
KZ_PLATFORM_API HRESULT CreateMemoryAccountService(const AccountInfo& info,
                                                   IKZAccountService** out);
// `address_host_order` is given in host order (192.168.1.2 = 0xC0A80102) and
// served in network order.
KZ_PLATFORM_API HRESULT CreateMemoryNetworkService(DWORD address_host_order,
                                                   IKZNetworkService** out);
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_ACCOUNTSERVICE_H_
