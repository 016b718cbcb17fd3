// Fuzzes the contact menus and their clicks with arbitrary selection and
// context bags, over the demo client's services and sample organisation. The
// first byte picks the menu; the rest is JSON
// {"selection": [...], "context": {...}, "input": {...}, "click": {...}}
// (any member may be missing or of another type). Each menu built is clicked
// item by item through the standard click handler, and the given click bag is
// run too. Checks that nothing crashes and that nothing made for an input
// stays alive after it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "apps/wrenutil/host.h"
#include "apps/wrenutil/host_menu.h"
#include "platform/common/kzjson.h"
#include "platform/common/refcounted.h"
#include "platform/gf/gf_menu.h"
#include "wrenutil/utilwrenmenu.h"

namespace {

// The host and its menu services, made once for the process.
struct World {
  std::unique_ptr<wrenutil_app::Host> host;
  std::unique_ptr<wrenutil_app::MenuServices> menus;
};

World& TheWorld() {
  static World* world = [] {
    auto* w = new World;
    std::string error;
    // The user's data goes to a folder of the run's own, never the home.
    static char dir[] = "/tmp/wrenutil-menu-fuzz-XXXXXX";
    if (::mkdtemp(dir) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(dir, ignored);
    });
    wrenutil_app::HostOptions options;
    options.data_dir = dir;
    w->host = wrenutil_app::Host::Create(options, &error);
    if (!w->host) std::abort();
    w->menus = wrenutil_app::MenuServices::Install(*w->host, &error);
    if (!w->menus) std::abort();
    return w;
  }();
  return *world;
}

template <class T>
CKZComPtr<T> Member(IKZData* input, const char* name);

template <>
CKZComPtr<IKZData> Member(IKZData* input, const char* name) {
  CKZComPtr<IKZData> v;
  if (input) input->GetKZData(name, &v);
  return v;
}

template <>
CKZComPtr<IKZArray> Member(IKZData* input, const char* name) {
  CKZComPtr<IKZArray> v;
  if (input) input->GetKZArray(name, &v);
  return v;
}

// Clicks every item of `menu` by name, with the item as the frame.
void ClickEach(IGFMenu* menu) {
  if (menu == nullptr) return;
  DWORD count = 0;
  if (FAILED(menu->GetItemCount(&count))) return;
  for (DWORD i = 0; i < count && i < 64; ++i) {
    CKZComPtr<IGFMenuItem> item;
    if (FAILED(menu->GetItemAt(i, &item)) || !item) continue;
    CKZBSTR name;
    item->GetName(&name);
    CKZComPtr<IKZData> click;
    Util::Data::CreateKZData(&click);
    click->SetStr("name", name.c_str());
    click->SetInterface("frame", IGFMenuItem::kIid, item.Get());
    Util::UtilWRENMenu::OnClickStandardBuddyMenu(click);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TheWorld();
  if (size == 0) return 0;
  const std::int64_t live = platform::LiveObjectCount();
  {
    const std::uint8_t which = data[0];
    std::string_view json(reinterpret_cast<const char*>(data + 1), size - 1);
    CKZComPtr<IKZData> input;
    platform::JsonToKZData(json, &input, nullptr);
    CKZComPtr<IKZArray> selection = Member<IKZArray>(input, "selection");
    CKZComPtr<IKZData> context = Member<IKZData>(input, "context");
    CKZComPtr<IKZData> dept = Member<IKZData>(input, "input");
    CKZComPtr<IGFMenu> menu;
    switch (which % 5) {
      case 0:
        Util::UtilWRENMenu::GetBuddyMenu(selection, &menu, context);
        break;
      case 1:
        Util::UtilWRENMenu::GetDeptMenu(dept, &menu, context);
        break;
      case 2:
        Util::UtilWRENMenu::GetOuterGroupMenu(selection, &menu, context);
        break;
      case 3:
        Util::UtilWRENMenu::GetFolderMenu(selection, &menu, context);
        Util::UtilWRENMenu::GetGroupMenu(selection, &menu, context);
        break;
      default:
        Util::UtilWRENMenu::SendIM(selection);
        Util::UtilWRENMenu::AddToUserGroup(selection, L"fuzz");
        Util::UtilWRENMenu::OnAddToMyDeptClick(selection.Get());
        Util::UtilWRENMenu::OnAddToMyDeptClick(context.Get());
        break;
    }
    if ((which & 0x80) != 0) ClickEach(menu);
    Util::UtilWRENMenu::OnClickStandardBuddyMenu(Member<IKZData>(input, "click"));
  }
  if (platform::LiveObjectCount() != live) std::abort();
  return 0;
}
