#include "platform/kernelutil/contactstate.h"

#include <mutex>
#include <set>
#include <string>

#include "platform/common/kzcore.h"
#include "platform/kernelutil/calljournal.h"

namespace {

std::mutex& OnlineMutex() {
  static std::mutex mutex;
  return mutex;
}

std::set<DWORD>& Online() {
  static std::set<DWORD> online;
  return online;
}

}  // namespace

namespace Util::Contact {
int IsOnline(DWORD uin) {
  std::lock_guard<std::mutex> lock(OnlineMutex());
  return Online().count(uin) != 0 ? 1 : 0;
}
}  // namespace Util::Contact

namespace Util::DataReport2 {
void RealTimeReport(DWORD code, DWORD self_uin, DWORD uin, const wchar_t* text1,
                    const wchar_t* text2, int flag) {
  platform::NoteCall(L"RealTimeReport(" + std::to_wstring(code) + L", " +
                     std::to_wstring(self_uin) + L", " + std::to_wstring(uin) + L", \"" +
                     (text1 ? text1 : L"") + L"\", \"" + (text2 ? text2 : L"") + L"\", " +
                     std::to_wstring(flag) + L")");
}
}  // namespace Util::DataReport2

namespace platform {
void SetContactOnline(DWORD uin, int online) {
  std::lock_guard<std::mutex> lock(OnlineMutex());
  if (online != 0) {
    Online().insert(uin);
  } else {
    Online().erase(uin);
  }
}

void ClearContactsOnline() {
  std::lock_guard<std::mutex> lock(OnlineMutex());
  Online().clear();
}
}  // namespace platform

namespace {
// A fresh platform world starts from here (platform::ResetPlatformWorld).
[[maybe_unused]] const bool kResetWithTheWorld =
    platform::internal::AtWorldReset([] { platform::ClearContactsOnline(); });
}  // namespace
