// Items of the common server configuration
// ({B5D6269F-9025-4EE3-99A9-33DA9F4EC005}), read as bags.
//
// Compiled into the library. The result codes are 32-bit values widened to
// `long`, so failures stay negative.
#ifndef WRENUTIL_AF_INCLUDE_COMMONSERVERCONFIGDEF_H_
#define WRENUTIL_AF_INCLUDE_COMMONSERVERCONFIGDEF_H_

#include "common/include/utilcore.h"
#include "platform/common/convert.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/kzstring.h"
#include "platform/common/kzxml.h"
#include "platform/kernelutil/serverconfig.h"

namespace wrenutil::internal {
inline constexpr wchar_t kCommonServerConfigSource[] = L"af\\include\\commonserverconfigdef";
}  // namespace wrenutil::internal

// Converts the document of the configuration item (type, sub_type) into a new
// bag. The item's buffer "CommonServerConfig_bufContent" is decoded as UTF-8
// (all its bytes; invalid sequences become U+FFFD) and one leading U+FEFF is
// skipped.
// Returns 0 with one reference for the caller in *out; E_INVALIDARG for a
// null `out` or when the service or the item is missing, E_POINTER when the
// item has no buffer (in these cases *out is not touched); E_FAIL after
// KZAssert("FALSE", "af\include\commonserverconfigdef", 929) when the
// document does not convert, with the new, empty bag (if one was made) left
// in *out for the caller to release.
inline long GetCommonServerConfigData(DWORD type, DWORD sub_type, IKZData** out) {
  if (out == nullptr) return E_INVALIDARG;
  CKZComPtr<IKZCommonServerConfigService> service;
  CKZComPtr<IKZData> item;
  if (GetService(IKZCommonServerConfigService::kIid, &service) && service) {
    service->GetConfigItem(type, sub_type, &item);
  }
  if (!item) return E_INVALIDARG;
  CKZComPtr<IKZBuffer> buffer;
  if (FAILED(item->GetBuf(L"CommonServerConfig_bufContent", &buffer)) || !buffer) {
    return E_POINTER;
  }
  BYTE* bytes = nullptr;
  DWORD size = 0;
  buffer->GetData(&bytes);
  buffer->GetSize(&size);
  // A buffer beyond 2 GiB cannot be decoded; it reads as no text, which
  // does not convert.
  if (size > 0x7FFFFFFFu) size = 0;
  CKZStringW text(kUtf8, reinterpret_cast<const char*>(bytes), static_cast<int>(size));
  CKZBSTR xml;
  if (text.GetAt(0) == 0xFEFF) {
    xml.Attach(SysAllocStringLen(text.GetString() + 1,
                                 static_cast<std::uint32_t>(size_t(text.GetLength()) - 1)));
  } else {
    xml.Attach(text.GetBSTR());
  }
  Util::Data::CreateKZData(out);
  CKZBSTR message;
  int converted =
      *out != nullptr ? Util::Convert::ConvertXMLStrToKZData(xml, &message, *out, nullptr) : 0;
  if (converted == 0 || *out == nullptr) {
    WREN_ASSERT_AT(L"FALSE", wrenutil::internal::kCommonServerConfigSource, 929);
    return E_FAIL;
  }
  return S_OK;
}

#endif  // WRENUTIL_AF_INCLUDE_COMMONSERVERCONFIGDEF_H_
