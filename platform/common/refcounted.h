// A base for the platform's reference-counted objects, and the live-object
// counter that tests use to prove that nothing leaked.
#ifndef WRENUTIL_PLATFORM_COMMON_REFCOUNTED_H_
#define WRENUTIL_PLATFORM_COMMON_REFCOUNTED_H_

#include <atomic>
#include <cstdint>
#include <tuple>
#include <type_traits>

#include "platform/common/kzbase.h"

namespace platform {

// Number of platform objects alive now (every object built on `RefCounted`,
// in every stand-in library). A test that ends with a non-zero count leaked.
KZ_PLATFORM_API std::int64_t LiveObjectCount();

namespace internal {
KZ_PLATFORM_API void CountObject(int delta);
}  // namespace internal

// Implements IUnknown for an object that exposes the interfaces `Ifaces...`
// (each derived from IUnknown, each with a static `kIid`). QueryInterface also
// answers for every base interface that declares its own `kIid` and is
// listed through `Ifaces`. The object starts with a count of 1: the creator
// holds the first reference. The count is atomic.
template <class... Ifaces>
class RefCounted : public Ifaces... {
 public:
  RefCounted() { internal::CountObject(1); }
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IUnknown::kIid) {
      *object = static_cast<IUnknown*>(static_cast<FirstIface*>(this));
    } else {
      (TryInterface<Ifaces>(iid, object) || ...);
    }
    if (*object == nullptr) return QueryExtra(iid, object);
    AddRef();
    return S_OK;
  }
  std::uint32_t AddRef() override { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }
  std::uint32_t Release() override {
    std::uint32_t left = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  // Current count; for tests and diagnostics only.
  std::uint32_t RefCountForTesting() const { return count_.load(std::memory_order_relaxed); }

 protected:
  virtual ~RefCounted() { internal::CountObject(-1); }
  // Called when no listed interface matches; may hand out a further
  // interface (store it with a reference and return S_OK).
  virtual HRESULT QueryExtra(REFIID, void**) { return E_NOINTERFACE; }

 private:
  using FirstIface = std::tuple_element_t<0, std::tuple<Ifaces...>>;
  template <class I>
  bool TryInterface(REFIID iid, void** object) {
    return TryChain<I>(iid, object, static_cast<I*>(this));
  }
  // Matches `I` and its bases with their own kIid, walking up through
  // `I::Base` when the interface names its base that way.
  template <class I>
  static bool TryChain(REFIID iid, void** object, I* self) {
    if (iid == I::kIid) {
      *object = self;
      return true;
    }
    if constexpr (requires { typename I::Base; }) {
      if constexpr (!std::is_same_v<typename I::Base, IUnknown>) {
        return TryChain<typename I::Base>(iid, object, static_cast<typename I::Base*>(self));
      }
    }
    return false;
  }

  std::atomic<std::uint32_t> count_{1};
};

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_REFCOUNTED_H_
