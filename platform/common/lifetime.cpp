#include "platform/common/lifetime.h"

#include <mutex>
#include <set>

#include "platform/common/refcounted.h"

namespace platform {
namespace {

struct Declared {
  std::mutex mutex;
  std::set<const IUnknown*> objects;
};

Declared& State() {
  static Declared* state = new Declared();  // used until the very end
  return *state;
}

}  // namespace

void DeclareProcessObject(IUnknown* object) {
  if (object == nullptr) return;
  std::lock_guard<std::mutex> lock(State().mutex);
  State().objects.insert(object);
}

void WithdrawProcessObject(IUnknown* object) {
  if (object == nullptr) return;
  std::lock_guard<std::mutex> lock(State().mutex);
  State().objects.erase(object);
}

std::int64_t ProcessObjectCount() {
  std::lock_guard<std::mutex> lock(State().mutex);
  return static_cast<std::int64_t>(State().objects.size());
}

std::int64_t UnaccountedObjectCount() { return LiveObjectCount() - ProcessObjectCount(); }

}  // namespace platform
