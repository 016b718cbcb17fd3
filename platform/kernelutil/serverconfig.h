// The configuration services of the configuration pages:
// - the common server configuration {B5D6269F-9025-4EE3-99A9-33DA9F4EC005}:
//   items by (type, sub-type), each a bag whose buffer
//   "CommonServerConfig_bufContent" holds the item's document (UTF-8 XML);
// - the main-account configuration {D4368FD0-18E5-4BF4-93FA-98855E50B61C}:
//   numbered u32 settings of the signed-in account (6: send by the CC
//   protocol).
// In-memory implementations for hosts and tests; a host fills them from its
// own store or from files.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_SERVERCONFIG_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_SERVERCONFIG_H_

#include <string>

#include "platform/common/kzbase.h"

struct IKZData;

// Service {B5D6269F-9025-4EE3-99A9-33DA9F4EC005}.
struct IKZCommonServerConfigService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{B5D6269F-9025-4EE3-99A9-33DA9F4EC005}");
  // The item (type, sub_type): S_OK and one reference for the caller in
  // *item, or E_FAIL and nullptr when there is none. E_POINTER for a null
  // slot. The bag is the service's own: read it, do not change it.
  virtual HRESULT GetConfigItem(DWORD type, DWORD sub_type, IKZData** item) = 0;
};

// The host's view of the in-memory service.
struct IKZCommonServerConfigHost : IKZCommonServerConfigService {
  using Base = IKZCommonServerConfigService;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A9A}");
  // Keeps `item` (a reference is added); null removes the item.
  virtual HRESULT SetConfigItem(DWORD type, DWORD sub_type, IKZData* item) = 0;
  // Makes an item whose "CommonServerConfig_bufContent" holds `content`
  // (any bytes) and keeps it.
  virtual HRESULT SetConfigContent(DWORD type, DWORD sub_type, const std::string& content) = 0;
};

// Service {D4368FD0-18E5-4BF4-93FA-98855E50B61C}.
struct IKZMainAccountConfigService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{D4368FD0-18E5-4BF4-93FA-98855E50B61C}");
  // The setting `id` into *value: S_OK, or E_FAIL (value untouched) when it
  // is not set. E_POINTER for null.
  virtual HRESULT GetConfigDWord(DWORD id, DWORD* value) = 0;
};

struct IKZMainAccountConfigHost : IKZMainAccountConfigService {
  using Base = IKZMainAccountConfigService;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A9B}");
  virtual HRESULT SetConfigDWord(DWORD id, DWORD value) = 0;
};

namespace platform {
// A new configuration item whose "CommonServerConfig_bufContent" holds
// `content` (any bytes); one reference for the caller. E_POINTER for null,
// E_INVALIDARG for content of 4 GiB or more.
KZ_PLATFORM_API HRESULT MakeConfigItem(const std::string& content, IKZData** item);
// Empty in-memory services; one reference for the caller. E_POINTER for null.
KZ_PLATFORM_API HRESULT CreateMemoryCommonServerConfigService(IKZCommonServerConfigHost** out);
KZ_PLATFORM_API HRESULT CreateMemoryMainAccountConfigService(IKZMainAccountConfigHost** out);
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_SERVERCONFIG_H_
