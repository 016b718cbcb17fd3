// The library's access to the platform core, and its assertion macro.
//
// GetService / CreateObject / GetExtensionPoint each get the core, make one
// call, release the core and return 1 when the call's result code was 0 or
// more, else 0. Without a core they report the failure through KZAssert (with
// this file's source text and its fixed lines) and return 0. On success *out
// holds one reference for the caller; on failure it holds nullptr.
#ifndef WRENUTIL_COMMON_INCLUDE_UTILCORE_H_
#define WRENUTIL_COMMON_INCLUDE_UTILCORE_H_

#include "platform/common/kzassert.h"
#include "platform/common/kzcore.h"
#include "platform/common/kzptr.h"

// Reports a broken precondition with the given expression text, source text
// and line; breaks into an attached debugger when the handler answers 1.
#define WREN_ASSERT_AT(expr_text, source_text, line)                \
  do {                                                              \
    if (::KZAssert((expr_text), (source_text), (line)) == 1) {      \
      ::platform::DebugBreakIfAttached();                           \
    }                                                               \
  } while (0)

namespace wrenutil::internal {
inline constexpr const wchar_t kUtilCoreSource[] = L"common\\include\\utilcore";
}  // namespace wrenutil::internal

template <class T>
int GetService(REFGUID id, T** out) {
  if (out != nullptr) *out = nullptr;
  CKZComPtr<IKZCore> core;
  if (FAILED(Util::Core::GetPlatformCore(&core)) || !core) {
    WREN_ASSERT_AT(L"! L\"GetService时Util::Core::GetCurrentCore失败.\"",
                   wrenutil::internal::kUtilCoreSource, 136);
    return 0;
  }
  HRESULT hr = core->GetService(id, reinterpret_cast<void**>(out));
  return hr >= 0 ? 1 : 0;
}

template <class T>
int CreateObject(REFGUID id, T** out) {
  if (out != nullptr) *out = nullptr;
  CKZComPtr<IKZCore> core;
  if (FAILED(Util::Core::GetPlatformCore(&core)) || !core) {
    WREN_ASSERT_AT(L"! L\"CreateObject时Util::Core::GetCurrentCore失败.\"",
                   wrenutil::internal::kUtilCoreSource, 109);
    return 0;
  }
  HRESULT hr = core->CreateObject(id, id, reinterpret_cast<void**>(out));
  return hr >= 0 ? 1 : 0;
}

template <class T>
int GetExtensionPoint(REFGUID id, T** out) {
  if (out != nullptr) *out = nullptr;
  CKZComPtr<IKZCore> core;
  if (FAILED(Util::Core::GetPlatformCore(&core)) || !core) {
    WREN_ASSERT_AT(L"! L\"GetExtensionPoint时Util::Core::GetCurrentCore失败.\"",
                   wrenutil::internal::kUtilCoreSource, 176);
    return 0;
  }
  HRESULT hr = core->GetExtensionPoint(id, reinterpret_cast<void**>(out));
  return hr >= 0 ? 1 : 0;
}

#endif  // WRENUTIL_COMMON_INCLUDE_UTILCORE_H_
