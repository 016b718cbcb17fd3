// Event sink objects: the way they are made (CParamComObjectNoLock) and what
// their event methods share: forwarding to a member function bound on a host
// object, and the report of a sink whose host is gone.
#ifndef WRENUTIL_COMMON_INCLUDE_ICOMSINK_H_
#define WRENUTIL_COMMON_INCLUDE_ICOMSINK_H_

#include <cxxabi.h>

#include <cstdlib>
#include <string>
#include <typeinfo>

#include "common/include/utilcore.h"
#include "platform/common/kzbase.h"
#include "platform/common/kzdispatch.h"

// Makes reference-counted objects of `Base` whose constructor takes one
// parameter (the host). Counting is not locked: sinks belong to the
// user-interface thread.
template <class Base>
class CParamComObjectNoLock final : public Base {
 public:
  template <class Param>
  explicit CParamComObjectNoLock(Param param) : Base(param) {}

  // A new object made with `param`; one reference for the caller in *out.
  // E_POINTER for a null slot.
  template <class Param>
  static HRESULT CreateInstance(Param param, Base** out) {
    if (out == nullptr) return E_POINTER;
    *out = new CParamComObjectNoLock(param);
    return S_OK;
  }
};

namespace wrenutil::internal {

// The readable name of type `T` ("Util::UtilWRENMenu::...::CMenuEvtSink").
template <class T>
std::wstring SinkHostTypeName() {
  const char* raw = typeid(T).name();
  int status = 0;
  char* demangled = abi::__cxa_demangle(raw, nullptr, nullptr, &status);
  std::string name = (status == 0 && demangled != nullptr) ? demangled : raw;
  std::free(demangled);
  return std::wstring(name.begin(), name.end());
}

// Runs `handler` on `host` with `args`. No host: KZAssert with
// "ComSink使用不当:" + the host type's name + "没有把ComSink从Source中移除",
// `source` and `line`, and E_UNEXPECTED. No handler: E_NOTIMPL.
template <class T, class Handler, class... Args>
HRESULT ForwardSinkEvent(T* host, Handler handler, const wchar_t* source, int line, Args... args) {
  if (host == nullptr) {
    const std::wstring text =
        L"ComSink使用不当:" + SinkHostTypeName<T>() + L"没有把ComSink从Source中移除";
    WREN_ASSERT_AT(text.c_str(), source, line);
    return E_UNEXPECTED;
  }
  if (handler == nullptr) return E_NOTIMPL;
  return (host->*handler)(args...);
}

}  // namespace wrenutil::internal

#endif  // WRENUTIL_COMMON_INCLUDE_ICOMSINK_H_
