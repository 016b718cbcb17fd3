// The frequent-contacts manager's interfaces (platform/kernelutil/
// frequentcontacts.h) and CFrequentInfoEventNew<T>: a listener of the
// manager's eight events that forwards each to a member function of a host
// object of type T.
//
// Made with CParamComObjectNoLock<CFrequentInfoEventNew<T>>::CreateInstance
// (host). Event N (1 to 8) with no host: assertion (source
// "include\frecontact\ifrequentcontactsmgrnew", line 67 + N) and
// E_UNEXPECTED; nothing bound: E_NOTIMPL; else the bound function's result.
#ifndef WRENUTIL_INCLUDE_FRECONTACT_IFREQUENTCONTACTSMGRNEW_H_
#define WRENUTIL_INCLUDE_FRECONTACT_IFREQUENTCONTACTSMGRNEW_H_

#include <tuple>

#include "common/include/icomsink.h"
#include "platform/common/refcounted.h"
#include "platform/kernelutil/frequentcontacts.h"

template <class T>
class CFrequentInfoEventNew : public platform::RefCounted<IFrequentInfoEventNew> {
 public:
  using Handler0 = HRESULT (T::*)();
  using Handler2 = HRESULT (T::*)(DWORD, DWORD);
  using Handler3 = HRESULT (T::*)(DWORD, DWORD, DWORD);
  // The handler types of events 1 to 8, in order.
  using Handlers =
      std::tuple<Handler0, Handler2, Handler0, Handler3, Handler2, Handler2, Handler2, Handler3>;
  static constexpr wchar_t kSource[] = L"include\\frecontact\\ifrequentcontactsmgrnew";

  explicit CFrequentInfoEventNew(T* host) : host_(host) {}

  void SetHost(T* host) { host_ = host; }
  // Binds event `N` (1 to 8); null unbinds.
  template <int N>
  void BindEvent(std::tuple_element_t<N - 1, Handlers> handler) {
    std::get<N - 1>(handlers_) = handler;
  }

  HRESULT OnEvent1() override { return Forward<1>(); }
  HRESULT OnEvent2(DWORD a, DWORD b) override { return Forward<2>(a, b); }
  HRESULT OnEvent3() override { return Forward<3>(); }
  HRESULT OnEvent4(DWORD a, DWORD b, DWORD c) override { return Forward<4>(a, b, c); }
  HRESULT OnEvent5(DWORD a, DWORD b) override { return Forward<5>(a, b); }
  HRESULT OnEvent6(DWORD a, DWORD b) override { return Forward<6>(a, b); }
  HRESULT OnEvent7(DWORD a, DWORD b) override { return Forward<7>(a, b); }
  HRESULT OnEvent8(DWORD a, DWORD b, DWORD c) override { return Forward<8>(a, b, c); }
  HRESULT Reserved1() override { return S_OK; }
  void Reserved2() override {}

 private:
  template <int N, class... Args>
  HRESULT Forward(Args... args) {
    return wrenutil::internal::ForwardSinkEvent(host_, std::get<N - 1>(handlers_), kSource, 67 + N,
                                                args...);
  }

  T* host_ = nullptr;
  Handlers handlers_{};
};

#endif  // WRENUTIL_INCLUDE_FRECONTACT_IFREQUENTCONTACTSMGRNEW_H_
