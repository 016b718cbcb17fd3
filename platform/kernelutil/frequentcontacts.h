// The frequent-contacts manager {0A9C3C91-8983-4A9A-9B2F-1B0F3913E4BA}: the
// user's frequent contacts sorted into folders he made, and the limits on
// their numbers; and the event interface its listeners implement.
//
// Folder record (IKZData): "GroupID" (u32 id), "GroupName" (string),
// "TotalChildren" (u32, contacts in the folder). Limits bag: u32
// "MaxNumOfGroup", "MaxNumOfContact", "MaxNumOfContactPerGroup" (from the
// server configuration items of those names, else kDefault... below),
// "TotalGroups" and "TotalContacts" (counted now).
//
// The in-memory manager keeps its folders in a FrequentContactsStore (an
// in-memory one unless the host gives another). Acting calls note themselves
// in the call journal (calljournal.h):
//   FrequentAdd(<uins> -> <folder>)        FrequentRemove(<uins> <- <folder>)
//   FrequentCreateFolder(<kind>, "<name>") = <id>
//
// Choices of this stand-in:
// - Folder ids start at 1 and are never reused; a new folder goes last.
// - "TotalContacts" counts distinct contacts over all folders.
// - Adding a contact a folder already holds changes nothing for it (it is
//   not counted twice). An add that would take the folder over
//   "MaxNumOfContactPerGroup" or all folders over "MaxNumOfContact" is
//   refused whole (E_FAIL), and so is a contact number 0; removing a contact
//   the folder does not hold is no error.
// - Names are stored as given after trimming spaces; an empty name or one
//   longer than 64 characters is E_INVALIDARG; names need not be unique.
//   Creating beyond "MaxNumOfGroup" folders is refused (E_FAIL).
// - Unknown folder ids: E_INVALIDARG. Null arguments: E_POINTER.
// - Every change is written to the store before it is answered; when the
//   store fails, the change is undone and the call answers its code.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_FREQUENTCONTACTS_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_FREQUENTCONTACTS_H_

#include <memory>
#include <string>
#include <vector>

#include "platform/common/kzbase.h"
#include "platform/common/kzcore.h"

struct IKZData;
struct IKZArray;

struct IFrequentContactsMgr : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{0A9C3C91-8983-4A9A-9B2F-1B0F3913E4BA}");
  // A new array of folder records in display order; one reference.
  virtual HRESULT GetFolderList(IKZArray** folders) = 0;
  // A new array of the records of the folders holding `uin`; one reference.
  virtual HRESULT GetFoldersOfContact(DWORD uin, IKZArray** folders) = 0;
  // A new limits bag; one reference.
  virtual HRESULT GetLimits(IKZData** limits) = 0;
  // A new record of the folder `id`; one reference.
  virtual HRESULT GetFolder(DWORD id, IKZData** folder) = 0;
  // A new array of the u32 contact numbers of folder `id`, in the order they
  // were added; one reference.
  virtual HRESULT GetFolderContacts(DWORD id, IKZArray** uins) = 0;
  // Adds the u32 numbers of `uins` (borrowed) to the folder.
  virtual HRESULT AddContacts(IKZArray* uins, DWORD folder) = 0;
  // Removes them from the folder.
  virtual HRESULT RemoveContacts(IKZArray* uins, DWORD folder) = 0;
  // Creates a folder named `name`; its id in *id. `kind` 1 is a folder of
  // contacts, the only kind this manager keeps (others: E_INVALIDARG).
  virtual HRESULT CreateFolder(DWORD kind, const wchar_t* name, DWORD* id) = 0;
};

// What the manager's listeners implement: eight events (with 0, 2, 0, 3, 2,
// 2, 2 and 3 arguments) and two reserved operations.
struct IFrequentInfoEventNew : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5AB1}");
  virtual HRESULT OnEvent1() = 0;
  virtual HRESULT OnEvent2(DWORD a, DWORD b) = 0;
  virtual HRESULT OnEvent3() = 0;
  virtual HRESULT OnEvent4(DWORD a, DWORD b, DWORD c) = 0;
  virtual HRESULT OnEvent5(DWORD a, DWORD b) = 0;
  virtual HRESULT OnEvent6(DWORD a, DWORD b) = 0;
  virtual HRESULT OnEvent7(DWORD a, DWORD b) = 0;
  virtual HRESULT OnEvent8(DWORD a, DWORD b, DWORD c) = 0;
  // Reserved; implementations do nothing (the first answers 0).
  virtual HRESULT Reserved1() = 0;
  virtual void Reserved2() = 0;
};

namespace platform {

inline constexpr DWORD kDefaultMaxNumOfGroup = 20;
inline constexpr DWORD kDefaultMaxNumOfContact = 500;
inline constexpr DWORD kDefaultMaxNumOfContactPerGroup = 100;

struct FrequentFolder {
  DWORD id = 0;
  std::wstring name;
  std::vector<DWORD> uins;  // in the order they were added
};

struct FrequentContactsState {
  std::vector<FrequentFolder> folders;  // display order
  DWORD next_id = 1;
};

// Where the manager keeps its folders.
class FrequentContactsStore {
 public:
  virtual ~FrequentContactsStore() = default;
  // The saved state (an empty one when nothing was saved). A failure code
  // keeps the manager from starting.
  virtual HRESULT Load(FrequentContactsState* state) = 0;
  // Replaces the saved state with `state`, all or nothing.
  virtual HRESULT Save(const FrequentContactsState& state) = 0;
};

// A store in memory, starting from `initial`.
KZ_PLATFORM_API std::unique_ptr<FrequentContactsStore> CreateMemoryFrequentStore(
    FrequentContactsState initial = {});

// A store in the signed-in user's profile store (platform/common/store.h),
// component "frequent_contacts". Until the first Save the profile holds
// nothing of it and Load answers `seed` (the folders a new profile starts
// with). Load refuses what no Save writes (a folder id 0 or seen twice, an
// empty name, a contact number 0, a contact of a missing folder, a folder id
// not below the next id) with KZ_E_STORE_BADDATA.
KZ_PLATFORM_API std::unique_ptr<FrequentContactsStore> CreateProfileFrequentStore(
    FrequentContactsState seed = {});

// Operations whose failure a host can provoke.
enum class FrequentOperation { kFolderList, kLimits, kGetFolder, kAdd, kCreateFolder };

}  // namespace platform

// The host's view of the in-memory manager.
struct IFrequentContactsHost : IFrequentContactsMgr {
  using Base = IFrequentContactsMgr;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5AB2}");
  // Makes every later call of `operation` answer `code` without acting (for
  // tests of faults); S_OK makes it work again.
  virtual HRESULT SetFailure(platform::FrequentOperation operation, HRESULT code) = 0;
  // A copy of the folders as they are now.
  virtual HRESULT GetState(platform::FrequentContactsState* state) = 0;
};

namespace platform {

// Creates a manager over `store` (taken over; null: an in-memory store); one
// reference for the caller. E_POINTER for a null slot; the store's failure
// when it cannot be read.
KZ_PLATFORM_API HRESULT CreateFrequentContactsManager(std::unique_ptr<FrequentContactsStore> store,
                                                      IFrequentContactsHost** manager);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_FREQUENTCONTACTS_H_
