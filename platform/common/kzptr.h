// CKZComPtr: owner of one reference to a reference-counted interface.
#ifndef WRENUTIL_PLATFORM_COMMON_KZPTR_H_
#define WRENUTIL_PLATFORM_COMMON_KZPTR_H_

#include <memory>
#include <utility>

#include "platform/common/kzbase.h"

// Holds one reference (or none). The constructor from a raw pointer adds a
// reference (the caller keeps its own); `Attach` takes over a reference the
// caller owns. Assignment adds the new reference before it releases the old
// one, so self-assignment is safe. The destructor releases.
template <class T>
class CKZComPtr {
 public:
  CKZComPtr() = default;
  CKZComPtr(std::nullptr_t) {}
  CKZComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  CKZComPtr(const CKZComPtr& other) : CKZComPtr(other.p_) {}
  CKZComPtr(CKZComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~CKZComPtr() { Release(); }

  CKZComPtr& operator=(T* p) {
    if (p) p->AddRef();
    T* old = std::exchange(p_, p);
    if (old) old->Release();
    return *this;
  }
  CKZComPtr& operator=(const CKZComPtr& other) { return *this = other.p_; }
  CKZComPtr& operator=(CKZComPtr&& other) noexcept {
    if (this != std::addressof(other)) {
      T* old = std::exchange(p_, std::exchange(other.p_, nullptr));
      if (old) old->Release();
    }
    return *this;
  }
  CKZComPtr& operator=(std::nullptr_t) {
    Release();
    return *this;
  }

  // Takes over a reference the caller owns (no AddRef); releases the old one.
  void Attach(T* p) {
    T* old = std::exchange(p_, p);
    if (old) old->Release();
  }
  // Hands the reference to the caller, who must release it.
  [[nodiscard]] T* Detach() { return std::exchange(p_, nullptr); }
  // Releases the reference now; the holder is empty afterwards.
  void Release() {
    if (T* old = std::exchange(p_, nullptr)) old->Release();
  }

  // The out-slot of a getter: releases what is held and hands out the
  // address of the (now null) pointer.
  T** operator&() {
    Release();
    return &p_;
  }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  operator T*() const { return p_; }
  T* Get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // Asks the held object for another interface; one reference goes to *out.
  template <class U>
  HRESULT QueryInterface(U** out) const {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (p_ == nullptr) return E_POINTER;
    return p_->QueryInterface(U::kIid, reinterpret_cast<void**>(out));
  }
  // Copies the held pointer into *out with one more reference.
  HRESULT CopyTo(T** out) const {
    if (out == nullptr) return E_POINTER;
    *out = p_;
    if (p_) p_->AddRef();
    return S_OK;
  }

 private:
  T* p_ = nullptr;
};

#endif  // WRENUTIL_PLATFORM_COMMON_KZPTR_H_
