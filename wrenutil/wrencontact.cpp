#include "wrenutil/wrencontact.h"

#include <cstdint>

#include "common/include/utilcore.h"
#include "platform/afutil/afutil.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzres.h"
#include "platform/gf/gf_element.h"
#include "platform/kernelutil/contactstatus.h"
#include "platform/kernelutil/kernelutil.h"

namespace {

constexpr std::uint16_t kStatusOffline = 20;
constexpr std::uint16_t kStatusInvisible = 250;
constexpr std::uint64_t kPublicClientRight = 0x400000;
constexpr std::uint64_t kSessionSwitchRight = 0xC00000;
constexpr int kWarningBox = 48;  // a warning icon and an OK button

// The contact's "Privilege", 0 when it cannot be had.
std::uint64_t Privilege(DWORD uin) {
  CKZComPtr<IKZContactDataService> service;
  if (!GetService(IKZContactDataService::kIid, &service) || !service) return 0;
  CKZComPtr<IKZData> info;
  service->GetContactInfo(uin, &info);
  if (!info) return 0;
  std::uint64_t privilege = 0;
  info->GetUInt64(L"Privilege", &privilege);
  return privilege;
}

}  // namespace

namespace Util::WRENContact {

int CheckSelfOnlineStatus() {
  std::uint16_t status = Util::Contact::GetStatus(Util::Contact::GetSelfUin(), nullptr);
  CKZStringW text = KZLoadString(L"Finger_ConnectToServer", L"platform");
  CKZStringW title = KZLoadString(L"Finger_ConnectToServer_Title", L"platform");
  if (status != kStatusOffline) return 1;
  CKZComPtr<IKZMainFrameService> service;
  CKZComPtr<IGFFrame> frame;
  if (GetService(IKZMainFrameService::kIid, &service) && service) service->GetMainFrame(&frame);
  Util::Misc::MessageBoxW(frame, text, title, kWarningBox);
  return 0;
}

int IsOnline(DWORD uin) {
  std::uint16_t status = Util::Contact::GetStatus(uin, nullptr);
  return status == kStatusOffline || status == kStatusInvisible || status == 0 ? 0 : 1;
}

int HasPublicClientRight(DWORD uin) { return (Privilege(uin) & kPublicClientRight) != 0 ? 1 : 0; }

int HasSessionSwitchRight(DWORD uin) {
  return (Privilege(uin) & kSessionSwitchRight) == kSessionSwitchRight ? 1 : 0;
}

}  // namespace Util::WRENContact
