// The client's key-value settings (library KVData): small values read by
// section and key with a default, kept in the signed-in user's profile store
// (platform/common/store.h, table "kvdata").
//
// A value has the kind it was last set with (a 32-bit number or a text); a
// read of the other kind, of a missing key or of a failing store gives the
// default. Sections and keys compare exactly. Narrow names are UTF-8; the
// wide twins are the same entries.
#ifndef WRENUTIL_PLATFORM_KVDATA_KVDATA_H_
#define WRENUTIL_PLATFORM_KVDATA_KVDATA_H_

#include "platform/common/kzbase.h"
#include "platform/common/kzstring.h"

namespace Util::KVData {

// The number stored under (section, key), or `default_value`. Null names
// give the default.
KZ_PLATFORM_API DWORD GetDWord(const char* section, const char* key, DWORD default_value);
KZ_PLATFORM_API DWORD GetDWord(const wchar_t* section, const wchar_t* key, DWORD default_value);
// The text stored under (section, key), or `default_value` (null: empty).
KZ_PLATFORM_API CKZStringW GetStr(const wchar_t* section, const wchar_t* key,
                                  const wchar_t* default_value);

// Store a value in one transaction: S_OK; E_POINTER for null names,
// E_INVALIDARG for empty ones, KZ_E_STORE / KZ_E_STORE_READONLY when the
// profile store refuses (platform::LastStoreError tells why).
KZ_PLATFORM_API HRESULT SetDWord(const char* section, const char* key, DWORD value);
KZ_PLATFORM_API HRESULT SetDWord(const wchar_t* section, const wchar_t* key, DWORD value);
KZ_PLATFORM_API HRESULT SetStr(const wchar_t* section, const wchar_t* key, const wchar_t* value);
// Removes the entry: S_OK (also when there was none) or a store failure.
KZ_PLATFORM_API HRESULT Remove(const wchar_t* section, const wchar_t* key);

}  // namespace Util::KVData

#endif  // WRENUTIL_PLATFORM_KVDATA_KVDATA_H_
