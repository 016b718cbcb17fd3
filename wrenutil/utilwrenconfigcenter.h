// Util::WRENConfigCenter: what the configuration pages ask: whether
// messages go by the CC protocol (from the common server configuration, and
// from the main account's configuration), and two modal pickers.
//
// Choices of this implementation:
// - IsSendByCCProtoWithSvr logs with the source text
//   "wrenutil\utilwrenconfigcenter" and line 62 (the system fixes only the
//   module, function and message).
// - Owner windows are HWNDs of the platform's shell (platform/shell): a GF
//   frame's native handle. The pickers show through the dialog provider the
//   host installed.
#ifndef WRENUTIL_WRENUTIL_UTILWRENCONFIGCENTER_H_
#define WRENUTIL_WRENUTIL_UTILWRENCONFIGCENTER_H_

#include "platform/common/kzstring.h"
#include "platform/shell/shell.h"
#include "wrenutil/export.h"

namespace Util::WRENConfigCenter {

// 1 when the first record of the array "SessionProtocol" of the converted
// common server configuration item (18, 2) has the text "ProtoType" equal
// to "0"; else 0 (also when the service, the item, the array, the record or
// the field is missing, or the item does not convert, which asserts).
WRENUTIL_API int IsSendByCCProtoWithCSC();
// The main-account setting 6 as the service gives it, not reduced to 0 or 1
// (0 without the service or the setting). Logs (level 2, module
// "WRENConfigCenter") "Util::WRENConfigCenter::IsSendByCCProtoWithSvr 该主号配置
// SendByCCProto : 1" (or ": 0" for a zero value).
WRENUTIL_API int IsSendByCCProtoWithSvr();
// Shows an open-file dialog (CKZFileDialog, flags 0x88002E) over `owner`
// with `file_name` as the file name to start with and `filter` as its
// file-type filter ("Text files|*.txt||"); the chosen file's full name, or
// the empty text when cancelled. A null owner shows nothing and gives the
// empty text. Null texts count as empty.
WRENUTIL_API CKZStringW GetSelectFileFullName(HWND owner, const wchar_t* file_name,
                                              const wchar_t* filter);
// Shows a folder picker over `owner` (file-system folders only, new dialog
// style: flags 0x41). When it opens, `initial` (leading spaces trimmed) is
// preselected and the picker made topmost; each selection is shown as its
// status text. The chosen folder's path, or the empty text when cancelled or
// when the shell has no allocator (nothing is shown then). A null `initial`
// asserts ("FALSE", "wrenutil\utilwrenconfigcenter", 17) when the picker
// opens, and nothing is preselected. COM is initialised on the calling
// thread for the time of the call.
WRENUTIL_API CKZStringW GetSelectPath(HWND owner, const wchar_t* initial);

}  // namespace Util::WRENConfigCenter

namespace wrenutil::internal {
// The folder picker's browse callback: BFFM_INITIALIZED preselects the folder
// named by `data` and makes the picker topmost; BFFM_SELCHANGED shows the
// selected folder as the status text. Returns 0.
WRENUTIL_API int GetSelectPathCallback(HWND window, UINT message, LPARAM param, LPARAM data);
}  // namespace wrenutil::internal

namespace Util::WRENConfigCenter {}  // namespace Util::WRENConfigCenter

#endif  // WRENUTIL_WRENUTIL_UTILWRENCONFIGCENTER_H_
