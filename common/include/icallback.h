// Callback objects: IKZCallback, through which a platform service tells its
// caller the outcome of an operation, and CKZCallback<T>, which binds one to
// a member function of an owner object.
#ifndef WRENUTIL_COMMON_INCLUDE_ICALLBACK_H_
#define WRENUTIL_COMMON_INCLUDE_ICALLBACK_H_

#include <atomic>
#include <cstdint>

#include "platform/common/kzbase.h"

struct IKZData;

struct IKZCallback : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A97}");
  // The outcome: a code and a bag (borrowed, may be null).
  virtual HRESULT OnCallback(std::int32_t code, IKZData* data) = 0;
};

// An IKZCallback embedded in its owner: OnCallback calls `handler` on
// `owner`. The object is not allocated on its own: AddRef and Release keep a
// count but never delete, so the owner must outlive every reference handed
// out. An unbound callback (no owner or handler) answers E_FAIL.
template <class T>
class CKZCallback final : public IKZCallback {
 public:
  using Handler = HRESULT (T::*)(std::int32_t code, IKZData* data);

  CKZCallback() = default;
  CKZCallback(T* owner, Handler handler) : owner_(owner), handler_(handler) {}
  CKZCallback(const CKZCallback&) = delete;
  CKZCallback& operator=(const CKZCallback&) = delete;
  ~CKZCallback() = default;

  void Bind(T* owner, Handler handler) {
    owner_ = owner;
    handler_ = handler;
  }

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid != IUnknown::kIid && iid != IKZCallback::kIid) return E_NOINTERFACE;
    *object = static_cast<IKZCallback*>(this);
    AddRef();
    return S_OK;
  }
  std::uint32_t AddRef() override { return count_.fetch_add(1) + 1; }
  std::uint32_t Release() override { return count_.fetch_sub(1) - 1; }

  HRESULT OnCallback(std::int32_t code, IKZData* data) override {
    if (owner_ == nullptr || handler_ == nullptr) return E_FAIL;
    return (owner_->*handler_)(code, data);
  }

 private:
  T* owner_ = nullptr;
  Handler handler_ = nullptr;
  std::atomic<std::uint32_t> count_{1};
};

#endif  // WRENUTIL_COMMON_INCLUDE_ICALLBACK_H_
