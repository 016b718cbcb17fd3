// Util::WRENContactInfo: what the contact-information service
// {F81FCE98-6539-4070-B1EE-7B6BE2ADD1BB} knows about a contact.
//
// Compiled into the library. Without the service each function reports
// KZAssert("FALSE", "wren\include\utilwrencontactinfo", line) and gives its
// empty answer.
#ifndef WRENUTIL_INCLUDE_UTILWRENCONTACTINFO_H_
#define WRENUTIL_INCLUDE_UTILWRENCONTACTINFO_H_

#include "common/include/utilcore.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/kzstring.h"
#include "platform/kernelutil/contactnames.h"
#include "platform/kernelutil/menuservices.h"

namespace Util::WRENContactInfo {

inline constexpr wchar_t kContactInfoSource[] = L"wren\\include\\utilwrencontactinfo";
inline constexpr int kLineActualNameNoService = 212;

// The contact's actual name: the "cstrRealname" of its information (asked
// with the field bit 0x20); when the service gives no record or an empty
// name, the name it is listed under (Util::Contact::GetRawName). Without the
// service: assertion (line 212) and the empty text.
inline CKZStringW GetActualName(DWORD uin) {
  CKZComPtr<IKZContactInfoService> service;
  if (!GetService(IKZContactInfoService::kIid, &service) || !service) {
    WREN_ASSERT_AT(L"FALSE", kContactInfoSource, kLineActualNameNoService);
    return CKZStringW();
  }
  CKZComPtr<IKZData> info;
  CKZStringW name;
  if (SUCCEEDED(service->GetContactInfo(uin, platform::kContactInfoRealName, &info)) && info) {
    CKZBSTR text;
    if (SUCCEEDED(info->GetStr(L"cstrRealname", &text)) && text) name = CKZStringW(text.c_str());
  }
  if (name.IsEmpty()) name = Util::Contact::GetRawName(uin);
  return name;
}

}  // namespace Util::WRENContactInfo

#endif  // WRENUTIL_INCLUDE_UTILWRENCONTACTINFO_H_
