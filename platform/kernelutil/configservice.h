// The two configuration services that the contact search reads its settings
// from: the server configuration {72D031DF-6250-4136-B387-D5C432A5F472},
// asked first, and the local configuration
// {219FDE05-B96C-4E39-B969-6BF32C2B17E4}, asked when the first has no value.
// Both answer string values by name; in-memory implementations for hosts and
// tests.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_CONFIGSERVICE_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_CONFIGSERVICE_H_

#include <map>
#include <string>

#include "platform/common/kzbase.h"

// What both services answer.
struct IKZConfigStrings : IUnknown {
  // Stores the value of the configuration item `name` in *value as a new
  // system string for the caller to free (null for an unknown name, which
  // reads as the empty text). S_OK also for an unknown name; E_POINTER for a
  // null `name` or `value` (nothing stored).
  virtual HRESULT GetConfigString(const wchar_t* name, BSTR* value) = 0;
  // Sets (an empty value removes) one item. For hosts and tests.
  virtual HRESULT SetConfigString(const wchar_t* name, const wchar_t* value) = 0;
};

// Service {72D031DF-6250-4136-B387-D5C432A5F472}.
struct IKZServerConfigService : IKZConfigStrings {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{72D031DF-6250-4136-B387-D5C432A5F472}");
};

// Service {219FDE05-B96C-4E39-B969-6BF32C2B17E4}.
struct IKZLocalConfigService : IKZConfigStrings {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{219FDE05-B96C-4E39-B969-6BF32C2B17E4}");
};

namespace platform {
using ConfigValues = std::map<std::wstring, std::wstring>;
// In-memory services holding `values`; one reference for the caller in *out.
// E_POINTER for a null out.
KZ_PLATFORM_API HRESULT CreateMemoryServerConfigService(const ConfigValues& values,
                                                        IKZServerConfigService** out);
KZ_PLATFORM_API HRESULT CreateMemoryLocalConfigService(const ConfigValues& values,
                                                       IKZLocalConfigService** out);
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_CONFIGSERVICE_H_
