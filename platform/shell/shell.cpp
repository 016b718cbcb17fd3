#include "platform/shell/shell.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <mutex>
#include <set>

#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"

struct ITEMIDLIST {
  std::wstring path;
};

namespace {

std::atomic<int> g_live_lists{0};
std::atomic<bool> g_allocator_available{true};
thread_local int t_com_count = 0;

std::mutex g_lists_mutex;
std::set<const ITEMIDLIST*> g_lists;

LPITEMIDLIST NewList(std::wstring path) {
  auto* list = new ITEMIDLIST{std::move(path)};
  std::lock_guard lock(g_lists_mutex);
  g_lists.insert(list);
  ++g_live_lists;
  return list;
}

// A picker window: lives on the stack of SHBrowseForFolderW; its address is
// its handle.
struct Picker {
  platform::FolderPickerState state;
};
thread_local Picker* t_picker = nullptr;
thread_local platform::FolderPickerState t_last;

Picker* PickerOf(HWND window) {
  return t_picker != nullptr && reinterpret_cast<HWND>(t_picker) == window ? t_picker : nullptr;
}

class Allocator : public platform::RefCounted<IMalloc> {
 public:
  void Free(void* block) override {
    auto* list = static_cast<ITEMIDLIST*>(block);
    {
      std::lock_guard lock(g_lists_mutex);
      if (list == nullptr || g_lists.erase(list) == 0) return;
    }
    --g_live_lists;
    delete list;
  }
};

std::wstring LastComponent(const std::wstring& path) {
  std::wstring trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == L'/') trimmed.pop_back();
  std::size_t slash = trimmed.rfind(L'/');
  return slash == std::wstring::npos || trimmed.size() == 1 ? trimmed : trimmed.substr(slash + 1);
}

}  // namespace

HRESULT SHGetMalloc(IMalloc** allocator) {
  if (allocator == nullptr) return E_POINTER;
  *allocator = nullptr;
  if (!g_allocator_available) return E_FAIL;
  *allocator = new Allocator;
  return S_OK;
}

LPITEMIDLIST SHBrowseForFolderW(BROWSEINFOW* info) {
  if (info == nullptr) return nullptr;
  Picker picker;
  Picker* outer = std::exchange(t_picker, &picker);
  HWND window = reinterpret_cast<HWND>(&picker);
  if (info->lpfn != nullptr) {
    ++picker.state.callbacks;
    info->lpfn(window, BFFM_INITIALIZED, 0, info->lParam);
    if (!picker.state.selected.empty()) {
      ITEMIDLIST selected{picker.state.selected};
      ++picker.state.callbacks;
      info->lpfn(window, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(&selected), info->lParam);
    }
  }
  platform::DialogRequest request;
  request.kind = platform::DialogKind::kFolderPicker;
  request.owner = info->hwndOwner;
  request.title = info->lpszTitle != nullptr ? info->lpszTitle : L"";
  request.style = info->ulFlags;
  request.folder = picker.state.selected;
  request.text = picker.state.status;
  platform::DialogAnswer answer = platform::ShowDialog(request);
  t_picker = outer;
  t_last = picker.state;
  if (!answer.confirmed || answer.text.empty()) return nullptr;
  if (info->pszDisplayName != nullptr) {
    std::wstring name = LastComponent(answer.text);
    if (name.size() >= static_cast<std::size_t>(MAX_PATH)) name.resize(MAX_PATH - 1);
    std::wmemcpy(info->pszDisplayName, name.c_str(), name.size() + 1);
  }
  return NewList(answer.text);
}

BOOL SHGetPathFromIDListW(LPCITEMIDLIST list, wchar_t* path) {
  if (list == nullptr || path == nullptr) return 0;
  if (list->path.size() >= static_cast<std::size_t>(MAX_PATH)) return 0;
  std::wmemcpy(path, list->path.c_str(), list->path.size() + 1);
  return 1;
}

HRESULT CoInitialize(void*) { return t_com_count++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (t_com_count > 0) --t_com_count;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Picker* picker = PickerOf(window);
  if (picker == nullptr) return 0;
  if (message == BFFM_SETSELECTIONW) {
    if (lparam == 0) return 0;
    picker->state.selected = wparam != 0 ? std::wstring(reinterpret_cast<const wchar_t*>(lparam))
                                         : reinterpret_cast<LPCITEMIDLIST>(lparam)->path;
    return 1;
  }
  if (message == BFFM_SETSTATUSTEXTW) {
    picker->state.status = lparam != 0 ? reinterpret_cast<const wchar_t*>(lparam) : L"";
    return 1;
  }
  return 0;
}

BOOL SetWindowPos(HWND window, HWND insert_after, int, int, int, int, UINT flags) {
  Picker* picker = PickerOf(window);
  if (picker == nullptr) return 0;
  picker->state.topmost = insert_after == HWND_TOPMOST;
  picker->state.placement_flags = flags;
  return 1;
}

namespace platform {
HWND GetFrameWindow(IGFFrame* frame) { return reinterpret_cast<HWND>(frame); }
FolderPickerState LastFolderPicker() { return t_last; }
int ComInitCount() { return t_com_count; }
int LiveItemIdLists() { return g_live_lists; }
void SetShellAllocatorAvailable(bool available) { g_allocator_available = available; }
}  // namespace platform
