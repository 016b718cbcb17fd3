// The settings-store service {3111F9F7-CBE3-4A35-B30F-9F0ED724BCCC}: property
// bags kept under a section and a key in the signed-in user's profile store
// (platform/common/store.h), each in its stored form (bagcodec.h), so that a
// bag read back equals the bag written, every field type included.
//
// Sections and keys are texts; they are compared exactly (case matters).
#ifndef WRENUTIL_PLATFORM_COMMON_SETTINGSSTORE_H_
#define WRENUTIL_PLATFORM_COMMON_SETTINGSSTORE_H_

#include "platform/common/kzbase.h"

struct IKZData;
struct IKZArray;

// Nothing is stored under the section and key.
inline constexpr HRESULT KZ_E_NOTFOUND = static_cast<HRESULT>(0x80070490u);

struct IKZSettingsStore : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{3111F9F7-CBE3-4A35-B30F-9F0ED724BCCC}");
  // Reads the bag stored under (section, key) into a new record: S_OK and one
  // reference for the caller in *data. Otherwise *data is nullptr and the
  // result is KZ_E_NOTFOUND (nothing stored), KZ_E_STORE_BADDATA (the stored
  // bytes are damaged; they are left as they are), KZ_E_STORE (the profile
  // store failed, see platform::LastStoreError), E_POINTER for a null
  // argument or E_INVALIDARG for an empty section or key.
  virtual HRESULT ReadData(const wchar_t* section, const wchar_t* key, IKZData** data) = 0;
  // Stores a deep copy of `data` (borrowed) under (section, key), replacing
  // what was there, in one transaction. E_INVALIDARG (nothing written) for a
  // bag that cannot be stored (an interface field, nesting too deep), an
  // empty section or key; E_POINTER for null; KZ_E_STORE or
  // KZ_E_STORE_READONLY when the profile store refuses.
  virtual HRESULT WriteData(const wchar_t* section, const wchar_t* key, IKZData* data) = 0;
  // Removes what is stored under (section, key): S_OK, or KZ_E_NOTFOUND.
  virtual HRESULT RemoveData(const wchar_t* section, const wchar_t* key) = 0;
  // The keys of a section, sorted, as a new array of texts (one reference for
  // the caller; empty when the section has none).
  virtual HRESULT GetKeys(const wchar_t* section, IKZArray** keys) = 0;
};

namespace platform {
// Creates the service over the signed-in user's profile store (the user is
// looked up at every call). One reference for the caller; E_POINTER for null.
KZ_PLATFORM_API HRESULT CreateSettingsStore(IKZSettingsStore** out);
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_SETTINGSSTORE_H_
