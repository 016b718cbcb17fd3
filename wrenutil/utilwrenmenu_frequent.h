// Util::UtilWRENMenu::FrequentContactsMenu: the menu that adds contacts to
// one of the user's frequent-contacts folders (or moves them from another),
// and the process-wide event sink that carries out its clicks.
//
// The folder menu lists the folders of the frequent-contacts manager
// {0A9C3C91-8983-4A9A-9B2F-1B0F3913E4BA}, each an item named
// "strFrequentFoldeItem" whose data bag holds "dwFolderId" and a copy of the
// caller's context, then a separator (only after folder items), then
// "Frequent_Add_Folder" (a new folder, asked for with the input dialog
// {8CB7D875-8F57-4AEF-8C6D-E23416015040}). The menu's clicks do not go back
// to the caller: the builder registers the sink's listener on the menu for
// GF event 102, and the sink adds the selection to the chosen folder.
//
// Context bag (may be null): "bShowAllFolders" (u32/i32/bool, default 1; 0
// lists only folders that already hold one of the contacts) and
// "dwFromFolderId" (u32, default -1; a folder to move the contacts from).
//
// Assertions use the expression "FALSE" and the source
// "wrenutil\utilwrenmenu" with the lines given below.
//
// Choices of this implementation:
// - The sums of the limit checks ("TotalChildren" + n, "TotalContacts" + n)
//   are worked out in 64 bits, so that they cannot wrap around.
// - A click acts only when the sink holds a non-empty selection; a click
//   after a menu that failed its offer check (empty selection) adds nothing.
// - A failure to create a folder item or its bag leaves that folder out; a
//   failure to create the add-folder bag leaves the item without data.
// - The dialog's answer is used as it comes back (the dialog object
//   enforces its length limit); a dialog that fails counts as cancelled.
// - The input dialog is created with its class id and asked for
//   IKZInputDialog (platform/common/kzdialog.h).
#ifndef WRENUTIL_WRENUTIL_UTILWRENMENU_FREQUENT_H_
#define WRENUTIL_WRENUTIL_UTILWRENMENU_FREQUENT_H_

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/gf/gf_element.h"
#include "platform/gf/gf_event.h"
#include "platform/gf/gf_menu.h"
#include "platform/kernelutil/frequentcontacts.h"
#include "wrenutil/export.h"

namespace Util::UtilWRENMenu::FrequentContactsMenu {

// The folder menu for `contacts` (u32 numbers, borrowed, may be null),
// `context` (may be null), folders to leave out `excluded` (u32 ids, may be
// null; -1 elements are ignored) and `frame` (borrowed, the parent of the
// add-folder dialog). Replaces the sink's selection with the contacts that
// are not 0, not the own number, and either organisation members or of
// relation type 1. Returns 0 with no menu for a null `menu`, an empty
// selection, an offer refused (neither right bit 0 nor an organisation
// member in the selection; always without the organisation-membership
// service), no menu created or no folder list; 0 with no menu also when the
// limits are missing (assertion line 2572). Otherwise the menu is stored in
// *menu with one reference for the caller, and the result is 1 when the
// manager holds at least one folder, else 0.
WRENUTIL_API int GetFrequentFolderMenu(IKZArray* contacts, IGFMenu** menu, IKZData* context,
                                       IKZArray* excluded, IGFFrame* frame);

// GetFrequentFolderMenu for one contact, without context or excluded
// folders; 0 when its array cannot be made.
WRENUTIL_API int GetAddContactMenu(DWORD uin, IGFMenu** menu, IGFFrame* frame);
// GetFrequentFolderMenu without excluded folders.
WRENUTIL_API int GetAddContactMenu(IKZArray* contacts, IGFMenu** menu, IKZData* context,
                                   IGFFrame* frame);

// The process-wide sink of folder-menu clicks. Created on first use and
// never destroyed; it and what it holds (its listener, its frequent-contacts
// sink and the current selection) are declared as process objects
// (platform/common/lifetime.h).
class WRENUTIL_API CMenuEvtSink {
 public:
  // The instance (created on first call).
  static CMenuEvtSink& Instance();

  CMenuEvtSink(const CMenuEvtSink&) = delete;
  CMenuEvtSink& operator=(const CMenuEvtSink&) = delete;

  // Event 1 of the listener: a click on a folder menu. Reads only `params`
  // ("name" and "frame", whose user data is the item's bag). A folder item
  // adds the selection to "dwFolderId" and, when the bag names a
  // "dwFromFolderId", then removes it from there (only after a successful
  // add); "Frequent_Add_Folder" first asks for a new folder. Limits:
  // "TotalChildren" + n over "MaxNumOfContactPerGroup", or "TotalContacts" +
  // n over "MaxNumOfContact", shows a message box (exclamation) and adds
  // nothing. Then, when the bag has "bShowAllFolders", hands the report
  // "0x80024d4" (add) or "0x80024d5" (move) to the report extensions.
  // Results: 0; E_FAIL for a null bag, with assertion for no frame (line
  // 2669), no item bag (2677), or no limits or folder record (2709).
  HRESULT OnClickMenuItem(IUnknown* source, DWORD event, IKZData* params);

  // The body of GetFrequentFolderMenu.
  int BuildFolderMenu(IKZArray* contacts, IGFMenu** menu, IKZData* context, IKZArray* excluded,
                      IGFFrame* frame);

  // Borrowed views, for tests and hosts.
  IKZArray* selection() const { return selection_.Get(); }
  IGFEventListener* listener() const { return listener_.Get(); }
  IFrequentInfoEventNew* frequent_sink() const { return frequent_.Get(); }

 private:
  CMenuEvtSink();
  ~CMenuEvtSink() = default;
  void ReplaceSelection(CKZComPtr<IKZArray> selection);
  // The id of a new folder named by the user, or -1.
  DWORD RunAddFolderDialog(IGFFrame* parent);

  CKZComPtr<IKZArray> selection_;
  // A CGFEventListener<CMenuEvtSink> and a CFrequentInfoEventNew<CMenuEvtSink>.
  CKZComPtr<IGFEventListener> listener_;
  CKZComPtr<IFrequentInfoEventNew> frequent_;
};

}  // namespace Util::UtilWRENMenu::FrequentContactsMenu

#endif  // WRENUTIL_WRENUTIL_UTILWRENMENU_FREQUENT_H_
