// Memory running out inside an exported function: every allocation in turn
// fails once, and the function must return its failure result (never
// throw), leave nothing alive, and work again afterwards.
#include "wrenutil/internal/boundary.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

#include "wrenutil/testing/utilwrenmenu_fixture.h"

namespace {

// The allocation that fails next: counts down to 1 and fails there; 0 never.
std::atomic<long> g_fail_at{0};

void* Allocate(std::size_t size) {
  long left = g_fail_at.load(std::memory_order_relaxed);
  if (left > 0) {
    g_fail_at.store(left - 1, std::memory_order_relaxed);
    if (left == 1) throw std::bad_alloc();
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

}  // namespace

// Replaced for this test program only.
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace wrenutil_menu_test {
namespace {

TEST(BoundaryTest, ExceptionsBecomeTheFailureResult) {
  EXPECT_EQ(wrenutil::internal::BoundaryHr([]() -> HRESULT { throw std::bad_alloc(); }),
            E_OUTOFMEMORY);
  EXPECT_EQ(wrenutil::internal::BoundaryHr([]() -> HRESULT { throw std::out_of_range("x"); }),
            E_FAIL);
  EXPECT_EQ(wrenutil::internal::BoundaryHr([] { return S_FALSE; }), S_FALSE);
  EXPECT_EQ(wrenutil::internal::Boundary(0, -1, []() -> int { throw std::bad_alloc(); }), -1);
  EXPECT_EQ(wrenutil::internal::Boundary(0, -1, []() -> int { throw 42; }), 0);
  bool ran = false;
  wrenutil::internal::BoundaryVoid([&] {
    ran = true;
    throw std::length_error("x");
  });
  EXPECT_TRUE(ran);
}

class OutOfMemoryTest : public MenuTest {
 protected:
  // Runs `call` with the n-th allocation failing, for n = 1, 2, ... until a
  // run allocates less than n times; every run must give S_OK or
  // E_OUTOFMEMORY.
  template <typename Call>
  int Sweep(Call call) {
    int failures = 0;
    for (long n = 1; n < 100000; ++n) {
      g_fail_at.store(n);
      HRESULT hr = E_NOTIMPL;
      EXPECT_NO_THROW(hr = call());
      const bool reached = g_fail_at.load() == 0;
      g_fail_at.store(0);
      if (!reached) {
        EXPECT_EQ(hr, S_OK) << "the run without a failure";
        return failures;
      }
      EXPECT_TRUE(hr == S_OK || hr == E_OUTOFMEMORY) << "allocation " << n << ": " << hr;
      failures += hr == E_OUTOFMEMORY ? 1 : 0;
    }
    ADD_FAILURE() << "never finished";
    return failures;
  }
};

TEST_F(OutOfMemoryTest, MenusReturnOutOfMemoryAndLeakNothing) {
  CKZComPtr<IKZArray> selection = Uins({kMember, kMember2});
  const int buddy = Sweep([&] {
    CKZComPtr<IGFMenu> menu;
    return Util::UtilWRENMenu::GetBuddyMenu(selection, &menu, nullptr);
  });
  EXPECT_GT(buddy, 0) << "the sweep reached allocations of the menu";
  CKZComPtr<IKZData> context;
  Util::Data::CreateKZData(&context);
  Sweep([&] {
    CKZComPtr<IGFMenu> menu;
    return Util::UtilWRENMenu::GetOuterGroupMenu(nullptr, &menu, context);
  });
  asserts();  // out of memory may stop a call at any of its checks
  // The fixture checks that no platform object is left alive.
}

}  // namespace
}  // namespace wrenutil_menu_test
