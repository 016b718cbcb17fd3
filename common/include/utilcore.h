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
#define WREN_ASSERT_AT(expr_text, source_text, line)           \
  do {                                                         \
    if (::KZAssert((expr_text), (source_text), (line)) == 1) { \
      ::platform::DebugBreakIfAttached();                      \
    }                                                          \
  } while (0)

namespace wrenutil::internal {
inline constexpr const wchar_t kUtilCoreSource[] = L"common\\include\\utilcore";
}  // namespace wrenutil::internal

namespace wrenutil::internal {
// Gets the core, makes one call on it, releases it; 1 when the call's code
// was 0 or more. Without a core: the assertion with `failure` and `line`, 0.
template <class T, class Call>
int CallCore(T** out, const wchar_t* failure, int line, Call call) {
  if (out != nullptr) *out = nullptr;
  CKZComPtr<IKZCore> core;
  if (FAILED(Util::Core::GetPlatformCore(&core)) || !core) {
    WREN_ASSERT_AT(failure, kUtilCoreSource, line);
    return 0;
  }
  return call(core.Get(), reinterpret_cast<void**>(out)) >= 0 ? 1 : 0;
}
}  // namespace wrenutil::internal

template <class T>
int GetService(REFGUID id, T** out) {
  return wrenutil::internal::CallCore(
      out, L"! L\"GetService时Util::Core::GetCurrentCore失败.\"", 136,
      [&](IKZCore* core, void** slot) { return core->GetService(id, slot); });
}

template <class T>
int CreateObject(REFGUID id, T** out) {
  return wrenutil::internal::CallCore(
      out, L"! L\"CreateObject时Util::Core::GetCurrentCore失败.\"", 109,
      [&](IKZCore* core, void** slot) { return core->CreateObject(id, id, slot); });
}

template <class T>
int GetExtensionPoint(REFGUID id, T** out) {
  return wrenutil::internal::CallCore(
      out, L"! L\"GetExtensionPoint时Util::Core::GetCurrentCore失败.\"", 176,
      [&](IKZCore* core, void** slot) { return core->GetExtensionPoint(id, slot); });
}

#endif  // WRENUTIL_COMMON_INCLUDE_UTILCORE_H_
