#include "platform/kernelutil/contactnames.h"

#include <map>
#include <mutex>
#include <string>

namespace {

std::mutex& NamesMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<unsigned long, std::wstring>& Names() {
  static std::map<unsigned long, std::wstring> names;
  return names;
}

std::wstring RawName(unsigned long uin) {
  std::lock_guard<std::mutex> lock(NamesMutex());
  auto it = Names().find(uin);
  return it == Names().end() ? std::wstring() : it->second;
}

}  // namespace

namespace Util::Contact {

CKZStringW GetCombineName(unsigned long uin) {
  std::wstring name = RawName(uin);
  std::wstring account = std::to_wstring(uin);
  if (name.empty()) return CKZStringW(account.c_str());
  return CKZStringW((name + L"(" + account + L")").c_str());
}

CKZStringW GetRawName(unsigned long uin) { return CKZStringW(RawName(uin).c_str()); }

}  // namespace Util::Contact

namespace platform {

void SetContactName(DWORD uin, const wchar_t* name) {
  std::lock_guard<std::mutex> lock(NamesMutex());
  if (name == nullptr || *name == L'\0') {
    Names().erase(uin);
  } else {
    Names()[uin] = name;
  }
}

void ClearContactNames() {
  std::lock_guard<std::mutex> lock(NamesMutex());
  Names().clear();
}

}  // namespace platform
