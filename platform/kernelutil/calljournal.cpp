#include "platform/kernelutil/calljournal.h"

#include <mutex>
#include <utility>

#include "platform/common/kzcore.h"

namespace platform {
namespace {

std::mutex& JournalMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<std::wstring>& Journal() {
  static std::vector<std::wstring> journal;
  return journal;
}

}  // namespace

void NoteCall(std::wstring note) {
  std::lock_guard<std::mutex> lock(JournalMutex());
  Journal().push_back(std::move(note));
}

std::vector<std::wstring> TakeCallJournal() {
  std::lock_guard<std::mutex> lock(JournalMutex());
  return std::exchange(Journal(), {});
}

}  // namespace platform

namespace {
// A fresh platform world starts from here (platform::ResetPlatformWorld).
[[maybe_unused]] const bool kResetWithTheWorld =
    platform::internal::AtWorldReset([] { platform::TakeCallJournal(); });
}  // namespace
