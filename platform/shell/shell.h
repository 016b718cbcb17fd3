// The Windows shell and window calls that the folder picker uses, with a
// Linux meaning on top of the dialog provider (platform/common/kzdialog.h).
//
// - SHBrowseForFolderW opens a picker window (an HWND that lives while the
//   call runs), calls the browse callback with BFFM_INITIALIZED, then, when
//   a folder is preselected, with BFFM_SELCHANGED for it, and shows the
//   picker through the dialog provider as a folder-picker request: owner
//   `hwndOwner`, title `lpszTitle`, style `ulFlags`, `folder` the
//   preselected folder, `text` the status text last set. The chosen folder
//   comes back as an item list allocated by the shell's allocator.
// - SendMessageW to a picker window: BFFM_SETSELECTIONW (wParam non-zero:
//   lParam is a path; zero: an item list) preselects a folder,
//   BFFM_SETSTATUSTEXTW sets the status text; both answer 1. Any other
//   message or window answers 0.
// - SetWindowPos on a picker window records the placement (HWND_TOPMOST
//   makes it topmost) and answers 1; other windows answer 0.
// - MAX_PATH is the Linux PATH_MAX (4096): SHGetPathFromIDListW fails for
//   a longer path rather than cutting it.
// - CoInitialize / CoUninitialize count per thread; the count is all there is.
#ifndef WRENUTIL_PLATFORM_SHELL_SHELL_H_
#define WRENUTIL_PLATFORM_SHELL_SHELL_H_

#include <cstdint>
#include <string>

#include "platform/common/kzbase.h"
#include "platform/common/kzdialog.h"
#include "platform/win32/shellfolders.h"

struct IGFFrame;

using UINT = unsigned;
using BOOL = int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// An item list: the shell's name of a folder. Opaque; made by the shell,
// freed with the shell allocator's Free.
struct ITEMIDLIST;
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;

using BFFCALLBACK = int (*)(HWND window, UINT message, LPARAM param, LPARAM data);

struct BROWSEINFOW {
  HWND hwndOwner = nullptr;
  LPCITEMIDLIST pidlRoot = nullptr;
  wchar_t* pszDisplayName = nullptr;  // MAX_PATH characters: the folder's own name
  const wchar_t* lpszTitle = nullptr;
  UINT ulFlags = 0;
  BFFCALLBACK lpfn = nullptr;
  LPARAM lParam = 0;
  int iImage = 0;
};

inline constexpr UINT BIF_RETURNONLYFSDIRS = 0x1;
inline constexpr UINT BIF_NEWDIALOGSTYLE = 0x40;
inline constexpr UINT BFFM_INITIALIZED = 1;
inline constexpr UINT BFFM_SELCHANGED = 2;
inline constexpr UINT BFFM_SETSTATUSTEXTW = 0x468;
inline constexpr UINT BFFM_SETSELECTIONW = 0x467;
inline constexpr UINT SWP_NOSIZE = 0x1;
inline constexpr UINT SWP_NOMOVE = 0x2;
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));

// The shell's allocator.
struct IMalloc : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{00000002-0000-0000-C000-000000000046}");
  // Frees an item list made by the shell; null and unknown pointers are
  // ignored.
  virtual void Free(void* block) = 0;
};

// The allocator, one reference for the caller; E_FAIL (and nullptr) when the
// shell has none (see platform::SetShellAllocatorAvailable). E_POINTER for
// null.
KZ_PLATFORM_API HRESULT SHGetMalloc(IMalloc** allocator);
// Shows the folder picker described by `info` (null: nothing is shown).
// The chosen folder's item list, or null when cancelled.
KZ_PLATFORM_API LPITEMIDLIST SHBrowseForFolderW(BROWSEINFOW* info);
// Copies the folder path of `list` into `path` (MAX_PATH characters). FALSE
// for null arguments or a path that does not fit.
KZ_PLATFORM_API BOOL SHGetPathFromIDListW(LPCITEMIDLIST list, wchar_t* path);
KZ_PLATFORM_API HRESULT CoInitialize(void* reserved);
KZ_PLATFORM_API void CoUninitialize();
KZ_PLATFORM_API LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
KZ_PLATFORM_API BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int cx, int cy,
                                  UINT flags);

namespace platform {
// A GF frame's native window handle (the frame's identity; null for null).
KZ_PLATFORM_API HWND GetFrameWindow(IGFFrame* frame);
// What happened to the last picker window of this thread.
struct FolderPickerState {
  std::wstring selected;  // the preselected folder
  std::wstring status;    // the status text
  bool topmost = false;
  UINT placement_flags = 0;
  int callbacks = 0;  // calls of the browse callback
};
KZ_PLATFORM_API FolderPickerState LastFolderPicker();
// How many CoInitialize calls of this thread are not yet undone.
KZ_PLATFORM_API int ComInitCount();
// How many item lists are alive (made and not freed).
KZ_PLATFORM_API int LiveItemIdLists();
// For tests: makes SHGetMalloc fail (false) or work again (true).
KZ_PLATFORM_API void SetShellAllocatorAvailable(bool available);
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_SHELL_SHELL_H_
