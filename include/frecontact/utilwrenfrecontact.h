// Util::WRENFreContact: one-line access to the frequent-contacts manager
// {0A9C3C91-8983-4A9A-9B2F-1B0F3913E4BA}. Each helper gets the manager
// through the core, makes one call and answers its result code; without the
// manager it answers E_FAIL. Outputs carry one reference for the caller and
// hold nullptr on failure.
#ifndef WRENUTIL_INCLUDE_FRECONTACT_UTILWRENFRECONTACT_H_
#define WRENUTIL_INCLUDE_FRECONTACT_UTILWRENFRECONTACT_H_

#include "common/include/utilcore.h"
#include "include/frecontact/ifrequentcontactsmgrnew.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"

namespace Util::WRENFreContact {

inline constexpr wchar_t kFreContactSource[] = L"include\\frecontact\\utilwrenfrecontact";

namespace internal {
template <class Call>
HRESULT WithManager(Call call) {
  CKZComPtr<IFrequentContactsMgr> manager;
  if (!GetService(IFrequentContactsMgr::kIid, &manager) || !manager) return E_FAIL;
  return call(manager.Get());
}
}  // namespace internal

// The folder records in display order.
inline HRESULT GetFolderList(IKZArray** folders) {
  if (folders != nullptr) *folders = nullptr;
  return internal::WithManager([&](IFrequentContactsMgr* m) { return m->GetFolderList(folders); });
}

// The records of the folders that hold `uin`. A null `folders`: assertion
// (line 281) and E_POINTER.
inline HRESULT GetFoldersOfContact(DWORD uin, IKZArray** folders) {
  if (folders == nullptr) {
    WREN_ASSERT_AT(L"FALSE", kFreContactSource, 281);
    return E_POINTER;
  }
  *folders = nullptr;
  return internal::WithManager(
      [&](IFrequentContactsMgr* m) { return m->GetFoldersOfContact(uin, folders); });
}

// The limits bag. A null `limits`: assertion (line 299) and E_POINTER.
inline HRESULT GetLimits(IKZData** limits) {
  if (limits == nullptr) {
    WREN_ASSERT_AT(L"FALSE", kFreContactSource, 299);
    return E_POINTER;
  }
  *limits = nullptr;
  return internal::WithManager([&](IFrequentContactsMgr* m) { return m->GetLimits(limits); });
}

// The record of folder `id`.
inline HRESULT GetFolder(DWORD id, IKZData** folder) {
  if (folder != nullptr) *folder = nullptr;
  return internal::WithManager([&](IFrequentContactsMgr* m) { return m->GetFolder(id, folder); });
}

inline HRESULT AddContactsToFolder(IKZArray* uins, DWORD folder) {
  return internal::WithManager(
      [&](IFrequentContactsMgr* m) { return m->AddContacts(uins, folder); });
}

inline HRESULT RemoveContactsFromFolder(IKZArray* uins, DWORD folder) {
  return internal::WithManager(
      [&](IFrequentContactsMgr* m) { return m->RemoveContacts(uins, folder); });
}

// Creates a folder of kind `kind` named `name`; its id in *id.
inline HRESULT CreateFolder(DWORD kind, const wchar_t* name, DWORD* id) {
  return internal::WithManager(
      [&](IFrequentContactsMgr* m) { return m->CreateFolder(kind, name, id); });
}

}  // namespace Util::WRENFreContact

#endif  // WRENUTIL_INCLUDE_FRECONTACT_UTILWRENFRECONTACT_H_
