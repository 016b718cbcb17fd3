// The services that the contact menus reach by GUID, each kept to the
// operations the menus use, and one in-memory object that implements all of
// them over a shared `ContactMenuData` (tests change it between calls; the
// demo client fills it from its sample organisation).
//
// Every service interface's kIid is its service GUID. Calls that act on
// something (open, create, add, set) note themselves in the call journal
// (calljournal.h); queries do not.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_MENUSERVICES_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_MENUSERVICES_H_

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/common/kzbase.h"
#include "platform/common/kzcore.h"

struct IKZData;
struct IKZArray;
struct IKZCallback;

// Privileges of the signed-in user.
struct IKZPrivilegeService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{957F6049-CB81-4F16-AD93-45E86A2F12BC}");
  // *has = 1 when the privilege number is granted, else 0.
  virtual HRESULT HavePrivilege(DWORD privilege, int* has) = 0;
  // *has = 1 when conversations by worker number may be started on
  // `channel`, else 0.
  virtual HRESULT HaveChannelPrivilege(DWORD channel, int* has) = 0;
};

// Frequent-contact groups.
struct IKZFreContactGroupService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{53906170-FDDC-4A5B-99B7-A550870E08BD}");
  // A new array of the group numbers (u32) in display order; one reference
  // for the caller. E_FAIL and nullptr when the list is not loaded.
  virtual HRESULT GetGroupList(IKZArray** groups) = 0;
  // The group's name as a new system string; E_FAIL for an unknown group.
  virtual HRESULT GetGroupName(DWORD group, BSTR* name) = 0;
};

// Frequent-contacts entries.
struct IKZFreContactDataService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{91710ED4-A4B9-4625-99B6-745CBFF898F9}");
  // A new array of entry records, each with "str_typeid" ("<kind>_<id>");
  // one reference for the caller.
  virtual HRESULT GetFreContactList(IKZArray** entries) = 0;
};

// Authority settings towards outer contacts.
struct IKZOuterAuthService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{77640FF9-6C27-428A-A7EE-5C28773FE220}");
  // A new bag with "bInvisible" (u32) for the contact; one reference.
  virtual HRESULT GetAuthSetting(DWORD uin, IKZData** setting) = 0;
};

// Blocking messages of outer contacts.
struct IKZOuterMsgBlockService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{B0A66078-FC78-4DD2-A9F4-F703E834A3E2}");
  // A new bag with "bPrevented" (u32); one reference. E_FAIL and nullptr
  // when the contact has no setting.
  virtual HRESULT GetBlockSetting(DWORD uin, IKZData** setting) = 0;
};

// Contact shortcuts.
struct IKZShortcutService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{35A6EA08-F72A-4605-AEA2-419C8BD3B20A}");
  // *state: 1 a shortcut may be added, 2 one exists and may be removed, 0
  // neither (kinds other than 1).
  virtual HRESULT GetShortcutState(DWORD key, int kind, BYTE* state) = 0;
  // A bag with "dwKey" (u32) and "cKeyType" (u8). E_POINTER for null.
  virtual HRESULT AddShortcut(IKZData* key) = 0;
  virtual HRESULT RemoveShortcut(IKZData* key) = 0;
};

// Special care: the query side.
struct IKZSpecialCareService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{5D592057-A1F3-4430-8F57-327221E017A9}");
  // *cared = 1 when the contact is under special care.
  virtual HRESULT IsSpecialCare(DWORD uin, int* cared) = 0;
};

// Special care: the setting side.
struct IKZSpecialCareSettingService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{3C0DC000-7020-4800-9DDE-A562CF1A93B1}");
  virtual HRESULT SetSpecialCare(DWORD uin, int care, int notify) = 0;
};

// Contact information.
struct IKZContactInfoService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{F81FCE98-6539-4070-B1EE-7B6BE2ADD1BB}");
  // Asks the server for the contact's information.
  virtual HRESULT RequestContactInfo(DWORD uin, int kind, int flags) = 0;
  // The contact's information known locally, as a new record with one
  // reference for the caller: "dwUin" and, when `fields` has the bit 0x20,
  // the actual name "cstrRealname". E_FAIL and nullptr for a contact that
  // has no information; E_POINTER for a null slot.
  virtual HRESULT GetContactInfo(DWORD uin, DWORD fields, IKZData** info) = 0;
};

// Discussions (multi-person chats).
struct IKZDiscussService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{5BE433CB-6322-4525-9146-B17EF7BAB127}");
  // Creates a discussion with the numbers of `uins` (u32); `sink`, when given,
  // is told of the outcome. E_POINTER for null `uins`.
  virtual HRESULT CreateDiscussion(IKZArray* uins, IKZCallback* sink) = 0;
};

// Chat history.
struct IKZChatHistoryService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{1B80B301-7A64-4A05-BCF2-A689197D8344}");
  // Opens the history of a chat: type "buddy", "discuss" or "group" and the
  // chat's id text. E_INVALIDARG for another (or empty) type.
  virtual HRESULT OpenChatHistory(const wchar_t* type, const wchar_t* id, int flags) = 0;
};

// Contact cards.
struct IKZContactCardService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{00009B13-5B54-4CD8-95F6-C64E4CFCE764}");
  virtual HRESULT ShowSelfCard(int flags) = 0;
  virtual HRESULT ShowContactCard(DWORD uin, int a, int b, int c, int d) = 0;
};

// Account kinds of outer contacts.
struct IKZOuterContactService : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{27F36E1E-8321-4A15-916B-D058CAF157B2}");
  // *kind: 1 an account of another organisation on the same system, 2 an LM
  // account, 0 unknown.
  virtual HRESULT GetAccountKind(DWORD uin, DWORD* kind) = 0;
};

namespace platform {

// The field bit of the actual name in a contact-information request.
inline constexpr DWORD kContactInfoRealName = 0x20;

// What the in-memory services answer. Read at every call.
struct ContactMenuData {
  std::set<DWORD> privileges;                              // granted privilege numbers (550, ...)
  std::set<DWORD> channel_privileges;                      // channels (1)
  bool groups_loaded = true;                               // false: GetGroupList fails
  std::vector<std::pair<DWORD, std::wstring>> fre_groups;  // number, name
  std::vector<std::wstring> fre_entries;                   // "str_typeid" values ("1_10002")
  std::set<DWORD> invisible;                               // "bInvisible" = 1
  std::set<DWORD> prevented;                               // "bPrevented" = 1
  std::set<DWORD> no_block_setting;                        // GetBlockSetting fails for these
  std::set<DWORD> shortcut_allowed;                        // state 1
  std::set<DWORD> shortcut_present;                        // state 2
  std::set<DWORD> special_care;
  std::map<DWORD, DWORD> account_kinds;      // outer contacts
  std::map<DWORD, std::wstring> real_names;  // GetContactInfo; others have none
  HRESULT chat_history_result = S_OK;        // answer of OpenChatHistory
};

// Which services RegisterMenuServices puts on the core; bits of a mask.
enum MenuServiceBit : unsigned {
  kPrivilegeService = 1u << 0,
  kFreContactGroupService = 1u << 1,
  kFreContactDataService = 1u << 2,
  kOuterAuthService = 1u << 3,
  kOuterMsgBlockService = 1u << 4,
  kShortcutService = 1u << 5,
  kSpecialCareService = 1u << 6,
  kSpecialCareSettingService = 1u << 7,
  kContactInfoService = 1u << 8,
  kDiscussService = 1u << 9,
  kChatHistoryService = 1u << 10,
  kContactCardService = 1u << 11,
  kOuterContactService = 1u << 12,
  kAllMenuServices = (1u << 13) - 1,
};

// Creates the in-memory object answering every interface above over `data`
// (shared); one reference for the caller. E_POINTER for a null slot,
// E_INVALIDARG for null data.
KZ_PLATFORM_API HRESULT CreateMemoryMenuServices(std::shared_ptr<ContactMenuData> data,
                                                 IUnknown** services);
// Registers `services` on `core` under the GUIDs whose bits are set in `mask`
// and removes the registrations of the others. E_POINTER for null arguments.
KZ_PLATFORM_API HRESULT RegisterMenuServices(IKZCoreHost* core, IUnknown* services, unsigned mask);

// A service GUID and the bit that selects it in a registration mask.
struct ServiceSlot {
  unsigned bit;
  GUID id;
};
// Registers `services` on `core` under the GUIDs of the slots whose bits are
// set in `mask` and removes the registrations of the others. E_POINTER for
// null arguments; the first failing registration's code otherwise.
KZ_PLATFORM_API HRESULT RegisterServiceSlots(IKZCoreHost* core, IUnknown* services, unsigned mask,
                                             std::span<const ServiceSlot> slots);

// The answer of an in-memory contact-information service over `real_names`
// (GetContactInfo above); shared by the in-memory services that serve it.
KZ_PLATFORM_API HRESULT MakeContactInfo(const std::map<DWORD, std::wstring>& real_names, DWORD uin,
                                        DWORD fields, IKZData** info);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_MENUSERVICES_H_
