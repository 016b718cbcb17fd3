// The auto-reply service: the user's automatic replies (texts sent while
// away) and which of them is active.
//
// Two forms: an in-memory one over a shared `AutoReplyData` (tests change it
// between calls and read what it was asked), and one kept in the profile
// store (autoreply_store.h) for hosts whose replies outlive the process.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_AUTOREPLY_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_AUTOREPLY_H_

#include <memory>
#include <string>
#include <vector>

#include "platform/common/kzbase.h"

struct IKZData;
struct IKZArray;

// Service {B0880E45-BB03-4FAA-89E5-748F48E5CBD4}.
struct IKZAutoReplyService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{B0880E45-BB03-4FAA-89E5-748F48E5CBD4}");
  // Whether an automatic reply is active (*active non-zero) and the index of
  // the active reply in the list (*current). `reserved` is not read. E_POINTER
  // (nothing stored) for a null out.
  virtual HRESULT GetAutoReplyState(int* active, DWORD* current, IKZData* reserved) = 0;
  // A new array of the reply texts (strings) in their order; one reference
  // for the caller. E_POINTER for a null slot.
  virtual HRESULT GetAutoReplyList(IKZArray** replies) = 0;
};

// The host's side of the profile-backed service: the replies can be edited.
struct IKZAutoReplyHost : IKZAutoReplyService {
  using Base = IKZAutoReplyService;
  static constexpr GUID kIid = platform::MakeGuid("{4E1F3A52-7B6C-4D8E-9A0B-1C2D3E4F5A6B}");
  // Replaces the reply texts (an array of strings, in order); the active flag
  // and index are kept. E_POINTER for null, E_INVALIDARG (nothing written)
  // when an element is not a string.
  virtual HRESULT SetAutoReplies(IKZArray* replies) = 0;
  // Sets the active flag and the index of the active reply.
  virtual HRESULT SetAutoReplyState(int active, DWORD current) = 0;
};

namespace platform {

// What the in-memory service answers, read at every call, and what it was
// asked.
struct AutoReplyData {
  std::vector<std::wstring> replies;
  int active = 0;
  DWORD current = 0;
  // Failing answers: a negative code makes the query fail (outputs untouched
  // for the state, nullptr for the list).
  HRESULT state_result = S_OK;
  HRESULT list_result = S_OK;

  struct Query {
    enum Op { kState, kList };
    Op op;
    const void* reserved = nullptr;  // the state query's third argument
    bool operator==(const Query&) const = default;
  };
  std::vector<Query> queries;
};

// The in-memory service over `data` (shared); one reference for the caller.
// E_POINTER for a null slot, E_INVALIDARG for null data.
KZ_PLATFORM_API HRESULT CreateMemoryAutoReplyService(std::shared_ptr<AutoReplyData> data,
                                                     IKZAutoReplyService** service);

// The service kept in the signed-in user's profile store (component
// "autoreply": the reply texts in order and one row with the active flag and
// index), so that the replies and the active one outlive the process. A
// profile that has no automatic replies yet starts with `initial`, none
// active, written at the first query. Queries answer the store's failure
// codes (KZ_E_STORE, ...; platform::LastStoreError tells why). One reference
// for the caller; E_POINTER for a null slot.
KZ_PLATFORM_API HRESULT CreateProfileAutoReplyService(std::vector<std::wstring> initial,
                                                      IKZAutoReplyHost** service);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_AUTOREPLY_H_
