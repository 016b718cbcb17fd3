#include "platform/gf/gf_menu.h"

#include <algorithm>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"
#include "platform/gf/gf_element.h"
#include "platform/gf/gf_event.h"
#include "platform/gf/gf_extension.h"

namespace platform {
namespace {

constexpr GUID kItemDataClass = MakeGuid("{2C3F29CA-F983-4897-A545-2221773BC5A6}");

class Menu;

BSTR AllocOrNull(const std::wstring& text) {
  return text.empty() ? nullptr : SysAllocString(text.c_str());
}

class MenuItem : public RefCounted<IGFMenuItem, IGFFrame> {
 public:
  HRESULT GetName(BSTR* name) override { return PutText(name, name_); }
  HRESULT SetName(const wchar_t* name) override {
    name_ = name ? name : L"";
    return S_OK;
  }
  HRESULT SetUserData(IKZData* data) override {
    data_ = data;
    return S_OK;
  }
  HRESULT GetUserData(IKZData** data) override {
    if (data == nullptr) return E_POINTER;
    *data = nullptr;
    if (!data_) return E_FAIL;
    return data_.CopyTo(data);
  }
  HRESULT SetEnable(int enable) override {
    enabled_ = enable;
    return S_OK;
  }
  HRESULT SetSecondText(const wchar_t* text) override {
    second_text_ = text ? text : L"";
    return S_OK;
  }
  HRESULT GetText(BSTR* text) override { return PutText(text, text_); }
  HRESULT SetText(const wchar_t* text) override {
    text_ = text ? text : L"";
    return S_OK;
  }
  HRESULT SetIcon(const wchar_t* icon) override {
    icon_ = icon ? icon : L"";
    return S_OK;
  }
  HRESULT SetCheck(int check) override {
    check_ = check;
    check_set_ = true;
    return S_OK;
  }
  HRESULT SetSubMenu(IGFMenu* menu) override;
  HRESULT IsSeparator(int* separator) override {
    if (separator == nullptr) return E_POINTER;
    *separator = separator_;
    return S_OK;
  }
  HRESULT SetSeparator(int separator) override {
    separator_ = separator;
    return S_OK;
  }
  HRESULT SetItemFlag(int flag) override {
    flag_ = flag;
    return S_OK;
  }
  HRESULT GetEnable(int* enable) override { return Put(enable, enabled_); }
  HRESULT GetCheck(int* check) override {
    if (check == nullptr) return E_POINTER;
    *check = check_set_ ? check_ : 0;
    return check_set_ ? S_OK : S_FALSE;
  }
  HRESULT GetSecondText(BSTR* text) override { return PutText(text, second_text_); }
  HRESULT GetIcon(BSTR* icon) override { return PutText(icon, icon_); }
  HRESULT GetSubMenu(IGFMenu** menu) override {
    if (menu == nullptr) return E_POINTER;
    *menu = nullptr;
    if (!submenu_) return S_FALSE;
    return submenu_.CopyTo(menu);
  }
  HRESULT GetItemFlag(int* flag) override { return Put(flag, flag_); }

  // IGFFrame: the remaining frame attributes are kept but not shown.
  HRESULT SetConfig(const wchar_t* config) override {
    config_ = config ? config : L"";
    return S_OK;
  }
  HRESULT GetHidden(int* hidden) override {
    if (hidden == nullptr) return E_POINTER;
    *hidden = hidden_;
    return S_OK;
  }
  HRESULT SetHidden(int hidden) override {
    hidden_ = hidden;
    return S_OK;
  }
  HRESULT SetMargin(RECT margin) override {
    margin_ = margin;
    return S_OK;
  }

  void Render(int depth, std::wstring& out) const;

  static HRESULT PutText(BSTR* slot, const std::wstring& text) {
    if (slot == nullptr) return E_POINTER;
    *slot = AllocOrNull(text);
    return S_OK;
  }
  static HRESULT Put(int* slot, int value) {
    if (slot == nullptr) return E_POINTER;
    *slot = value;
    return S_OK;
  }

  std::wstring name_, text_, second_text_, icon_, config_;
  CKZComPtr<IKZData> data_;
  CKZComPtr<IGFMenu> submenu_;
  Menu* owner_ = nullptr;  // the menu holding the item, when appended
  int enabled_ = 1;
  int check_ = 0;
  bool check_set_ = false;
  int separator_ = 0;
  int flag_ = 1;
  int hidden_ = 0;
  RECT margin_{};
};

class Menu : public RefCounted<IGFMenu, IGFExtensionHost> {
 public:
  ~Menu() override {
    for (auto& item : items_) item->owner_ = nullptr;
  }
  HRESULT Initialize(int, int) override {
    ++state_.initialize_calls;
    return S_OK;
  }
  HRESULT CreateItem(IGFMenuItem** item) override {
    if (item == nullptr) return E_POINTER;
    *item = new MenuItem();
    return S_OK;
  }
  HRESULT AppendItem(IGFMenuItem* item) override {
    if (item == nullptr) return E_POINTER;
    auto* own = dynamic_cast<MenuItem*>(item);
    if (own == nullptr || own->owner_ != nullptr) return E_INVALIDARG;
    if (own->submenu_ && Reaches(own->submenu_.Get(), this)) return E_INVALIDARG;
    own->owner_ = this;
    items_.emplace_back(own);
    return S_OK;
  }
  HRESULT RemoveItemByName(const wchar_t* name) override {
    if (name == nullptr) return E_POINTER;
    state_.removed_names.emplace_back(name);
    auto end = std::remove_if(items_.begin(), items_.end(), [&](auto& item) {
      if (item->name_ != name) return false;
      item->owner_ = nullptr;
      return true;
    });
    bool removed = end != items_.end();
    items_.erase(end, items_.end());
    return removed ? S_OK : S_FALSE;
  }
  HRESULT GetItemCount(DWORD* count) override {
    if (count == nullptr) return E_POINTER;
    *count = static_cast<DWORD>(items_.size());
    return S_OK;
  }
  HRESULT GetItemByName(BSTR name, IGFMenuItem** item) override {
    if (item == nullptr) return E_POINTER;
    *item = nullptr;
    if (name == nullptr) return E_FAIL;
    for (auto& candidate : items_) {
      if (candidate->name_ == name) {
        *item = candidate.Get();
        (*item)->AddRef();
        return S_OK;
      }
    }
    return E_FAIL;
  }
  HRESULT GetItemAt(DWORD index, IGFMenuItem** item) override {
    if (item == nullptr) return E_POINTER;
    *item = nullptr;
    if (index >= items_.size()) return E_INVALIDARG;
    *item = items_[index].Get();
    (*item)->AddRef();
    return S_OK;
  }

  HRESULT AttachExtensionDescriptor(IKZExtensionDescriptor* descriptor) override {
    if (descriptor == nullptr) return E_POINTER;
    GUID id{};
    if (FAILED(descriptor->GetExtensionPointId(&id))) return E_INVALIDARG;
    descriptors_.emplace_back(descriptor);
    state_.attached_extension_points.push_back(id);
    return S_OK;
  }
  HRESULT IsExtensionPointAttached(REFGUID point, int* attached) override {
    if (attached == nullptr) return E_POINTER;
    *attached = 0;
    for (const GUID& id : state_.attached_extension_points) {
      if (id == point) *attached = 1;
    }
    return S_OK;
  }

  // Whether `from` is `target` or holds it through submenus.
  static bool Reaches(IGFMenu* from, const Menu* target) {
    auto* menu = dynamic_cast<Menu*>(from);
    if (menu == nullptr) return false;
    if (menu == target) return true;
    for (auto& item : menu->items_) {
      if (item->submenu_ && Reaches(item->submenu_.Get(), target)) return true;
    }
    return false;
  }

  void Render(int depth, std::wstring& out) const {
    for (const auto& item : items_) item->Render(depth, out);
  }

  std::vector<CKZComPtr<MenuItem>> items_;
  std::vector<CKZComPtr<IKZExtensionDescriptor>> descriptors_;
  GFMenuState state_;

  // Events: the menu answers to IGFEventSource through an embedded part.
  HRESULT QueryExtra(REFIID iid, void** object) override {
    if (iid != IGFEventSource::kIid) return E_NOINTERFACE;
    *object = static_cast<IGFEventSource*>(&events_);
    AddRef();
    return S_OK;
  }
  GFEmbeddedEventSource events_{static_cast<IGFMenu*>(this)};
};

HRESULT MenuItem::SetSubMenu(IGFMenu* menu) {
  if (menu != nullptr && owner_ != nullptr && Menu::Reaches(menu, owner_)) {
    return E_INVALIDARG;
  }
  submenu_ = menu;
  return S_OK;
}

void MenuItem::Render(int depth, std::wstring& out) const {
  out.append(static_cast<std::size_t>(depth) * 2, L' ');
  if (separator_ != 0) {
    out += L"----";
    if (!name_.empty()) out += L" " + name_;
  } else {
    out += name_.empty() ? L"-" : name_;
    out += L" \"" + text_ + L"\"";
  }
  if (!second_text_.empty()) out += L" / \"" + second_text_ + L"\"";
  if (!icon_.empty()) out += L" <" + icon_ + L">";
  if (check_set_) out += check_ != 0 ? L" [x]" : L" [ ]";
  if (enabled_ == 0) out += L" (greyed)";
  if (flag_ != 1) out += L" flag=" + std::to_wstring(flag_);
  if (data_) out += L" +data";
  out += L"\n";
  if (auto* sub = dynamic_cast<Menu*>(submenu_.Get())) sub->Render(depth + 1, out);
}

template <class T>
HRESULT Hand(T* object, REFIID iid, void** out) {
  HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

}  // namespace

HRESULT CreateGFMenu(IGFMenu** menu) {
  if (menu == nullptr) return E_POINTER;
  *menu = new Menu();
  return S_OK;
}

HRESULT RegisterGFObjects(IKZCoreHost* core) {
  if (core == nullptr) return E_POINTER;
  RegisterGFEventTypes(core);
  core->RegisterFactory(IGFMenu::kIid, [](REFIID iid, void** out) {
    IGFMenu* menu = nullptr;
    CreateGFMenu(&menu);
    return Hand(menu, iid, out);
  });
  core->RegisterFactory(IKZExtensionDescriptor::kIid, [](REFIID iid, void** out) {
    IKZExtensionDescriptor* descriptor = nullptr;
    CreateExtensionDescriptor(&descriptor);
    return Hand(descriptor, iid, out);
  });
  core->RegisterFactory(IKZExtensionInvoker::kIid, [](REFIID iid, void** out) {
    IKZExtensionInvoker* invoker = nullptr;
    CreateExtensionInvoker(&invoker);
    return Hand(invoker, iid, out);
  });
  core->RegisterFactory(kItemDataClass, [](REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    IKZData* data = nullptr;
    Util::Data::CreateKZData(&data);
    if (iid == kItemDataClass) {
      *out = data;
      return S_OK;
    }
    return Hand(data, iid, out);
  });
  return S_OK;
}

std::wstring RenderGFMenu(IGFMenu* menu) {
  std::wstring out;
  auto* own = dynamic_cast<Menu*>(menu);
  if (own != nullptr) own->Render(0, out);
  return out;
}

HRESULT GetGFMenuState(IGFMenu* menu, GFMenuState* state) {
  if (menu == nullptr || state == nullptr) return E_POINTER;
  auto* own = dynamic_cast<Menu*>(menu);
  if (own == nullptr) return E_INVALIDARG;
  *state = own->state_;
  state->item_count = static_cast<DWORD>(own->items_.size());
  return S_OK;
}

// Events: whether a chosen item can fire.
namespace internal {
bool IsGFMenuItemChoosable(IGFMenuItem* item) {
  auto* own = dynamic_cast<MenuItem*>(item);
  return own != nullptr && own->enabled_ != 0 && own->separator_ == 0;
}
}  // namespace internal

}  // namespace platform
