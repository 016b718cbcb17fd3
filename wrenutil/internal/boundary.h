// The edge between the library and its host: no exception crosses it.
//
// Every exported function that can throw (it allocates, or converts text or
// numbers with the standard library) runs its body through Boundary, which
// turns an exception into the function's failure result:
// - std::bad_alloc (memory exhausted) gives `out_of_memory`;
// - any other exception (a conversion or length error, a standard-library
//   precondition) gives `failure`.
// Nothing is logged on the way out: logging allocates, and memory may be what
// ran out. Functions with a result code pass E_OUTOFMEMORY and E_FAIL
// (BoundaryHr); functions whose failure value is 0 or false pass it twice;
// functions without a result use BoundaryVoid and simply stop.
#ifndef WRENUTIL_WRENUTIL_INTERNAL_BOUNDARY_H_
#define WRENUTIL_WRENUTIL_INTERNAL_BOUNDARY_H_

#include <new>
#include <type_traits>
#include <utility>

#include "platform/common/kzbase.h"

namespace wrenutil::internal {

template <typename Result, typename Body>
Result Boundary(Result failure, Result out_of_memory, Body&& body) noexcept {
  static_assert(
      std::is_nothrow_copy_constructible_v<Result> || std::is_nothrow_move_constructible_v<Result>,
      "the failure result must be handed back without throwing");
  try {
    return std::forward<Body>(body)();
  } catch (const std::bad_alloc&) {
    return out_of_memory;
  } catch (...) {
    return failure;
  }
}

// For functions with a result code: E_OUTOFMEMORY or E_FAIL.
template <typename Body>
HRESULT BoundaryHr(Body&& body) noexcept {
  return Boundary<HRESULT>(E_FAIL, E_OUTOFMEMORY, std::forward<Body>(body));
}

// For functions without a result.
template <typename Body>
void BoundaryVoid(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (...) {
  }
}

}  // namespace wrenutil::internal

#endif  // WRENUTIL_WRENUTIL_INTERNAL_BOUNDARY_H_
