#include "platform/gf/gf_menu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/refcounted.h"
#include "platform/gf/gf_element.h"
#include "platform/gf/gf_extension.h"
#include "platform/testing/platform_test.h"

namespace {

constexpr GUID kPoint = platform::MakeGuid("{C5B624FE-9778-45FB-9CFE-212FB603BA28}");
constexpr GUID kItemData = platform::MakeGuid("{2C3F29CA-F983-4897-A545-2221773BC5A6}");

class GFMenuTest : public platform::testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    ASSERT_EQ(platform::RegisterGFObjects(core()), S_OK);
  }
  CKZComPtr<IGFMenu> NewMenu() {
    CKZComPtr<IGFMenu> menu;
    EXPECT_EQ(core()->CreateObject(IGFMenu::kIid, IGFMenu::kIid, reinterpret_cast<void**>(&menu)),
              S_OK);
    return menu;
  }
  // Every attribute, a separator and two levels of submenus.
  CKZComPtr<IGFMenu> SampleMenu() {
    CKZComPtr<IGFMenu> menu = NewMenu();
    CKZComPtr<IGFMenu> sub = NewMenu();
    CKZComPtr<IGFMenu> subsub = NewMenu();
    CKZComPtr<IKZData> bag;
    Util::Data::CreateKZData(&bag);
    Append(subsub, L"deep", L"Deep")->SetItemFlag(7);
    Append(sub, L"inner", L"Inner")->SetCheck(1);
    Append(sub, nullptr, L"More")->SetSubMenu(subsub);
    Append(menu, L"plain", L"Plain");
    CKZComPtr<IGFMenuItem> full = Append(menu, L"full", L"Full");
    full->SetSecondText(L"Ctrl+F");
    full->SetIcon(L"platformres:a.png");
    full->SetCheck(0);
    full->SetEnable(0);
    full->SetItemFlag(0);
    full->SetUserData(bag);
    Append(menu, L"sep1", nullptr)->SetSeparator(1);
    Append(menu, nullptr, L"Cascade")->SetSubMenu(sub);
    return menu;
  }
  static CKZComPtr<IGFMenuItem> Append(IGFMenu* menu, const wchar_t* name, const wchar_t* text) {
    CKZComPtr<IGFMenuItem> item;
    EXPECT_EQ(menu->CreateItem(&item), S_OK);
    item->SetName(name);
    item->SetText(text);
    EXPECT_EQ(menu->AppendItem(item), S_OK);
    return item;
  }
};

TEST_F(GFMenuTest, RendersEveryAttributeAndSubmenus) {
  CKZComPtr<IGFMenu> menu = SampleMenu();
  EXPECT_EQ(platform::RenderGFMenu(menu),
            L"plain \"Plain\"\n"
            L"full \"Full\" / \"Ctrl+F\" <platformres:a.png> [ ] (greyed) flag=0 +data\n"
            L"---- sep1\n"
            L"- \"Cascade\"\n"
            L"  inner \"Inner\" [x]\n"
            L"  - \"More\"\n"
            L"    deep \"Deep\" flag=7\n");
  EXPECT_EQ(platform::RenderGFMenu(nullptr), L"");
}

// Renders a menu the way RenderGFMenu does, through the item interface
// alone: what a host that draws menus reads back.
std::wstring WalkAndRender(IGFMenu* menu, int depth = 0) {
  auto text = [](HRESULT (IGFMenuItem::*get)(BSTR*), IGFMenuItem* item) {
    CKZBSTR value;
    EXPECT_EQ((item->*get)(&value), S_OK);
    return std::wstring(value.c_str());
  };
  std::wstring out;
  DWORD count = 0;
  EXPECT_EQ(menu->GetItemCount(&count), S_OK);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IGFMenuItem> item;
    EXPECT_EQ(menu->GetItemAt(i, &item), S_OK);
    const std::wstring name = text(&IGFMenuItem::GetName, item);
    out += std::wstring(static_cast<std::size_t>(depth) * 2, L' ');
    int separator = 0;
    item->IsSeparator(&separator);
    if (separator != 0) {
      out += L"----" + (name.empty() ? L"" : L" " + name) + L"\n";
      continue;
    }
    out += (name.empty() ? L"-" : name) + L" \"" + text(&IGFMenuItem::GetText, item) + L"\"";
    const std::wstring second = text(&IGFMenuItem::GetSecondText, item);
    if (!second.empty()) out += L" / \"" + second + L"\"";
    const std::wstring icon = text(&IGFMenuItem::GetIcon, item);
    if (!icon.empty()) out += L" <" + icon + L">";
    int check = 0;
    if (item->GetCheck(&check) == S_OK) out += check != 0 ? L" [x]" : L" [ ]";
    int enabled = 0;
    EXPECT_EQ(item->GetEnable(&enabled), S_OK);
    if (enabled == 0) out += L" (greyed)";
    int flag = 0;
    EXPECT_EQ(item->GetItemFlag(&flag), S_OK);
    if (flag != 1) out += L" flag=" + std::to_wstring(flag);
    CKZComPtr<IKZData> data;
    if (item->GetUserData(&data) == S_OK) out += L" +data";
    out += L"\n";
    CKZComPtr<IGFMenu> sub;
    if (item->GetSubMenu(&sub) == S_OK) out += WalkAndRender(sub, depth + 1);
  }
  return out;
}

TEST_F(GFMenuTest, ItemsReadBackWhatWasSetAndMenusCanBeWalked) {
  CKZComPtr<IGFMenu> menu = SampleMenu();
  EXPECT_EQ(WalkAndRender(menu), platform::RenderGFMenu(menu));

  // A fresh item reads back the stand-in's defaults.
  CKZComPtr<IGFMenuItem> fresh;
  ASSERT_EQ(menu->CreateItem(&fresh), S_OK);
  int value = -1;
  EXPECT_EQ(fresh->GetEnable(&value), S_OK);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(fresh->GetCheck(&value), S_FALSE);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(fresh->GetItemFlag(&value), S_OK);
  EXPECT_EQ(value, 1);
  IGFMenu* none = reinterpret_cast<IGFMenu*>(0x1);
  EXPECT_EQ(fresh->GetSubMenu(&none), S_FALSE);
  EXPECT_EQ(none, nullptr);
  BSTR empty = reinterpret_cast<BSTR>(0x1);
  EXPECT_EQ(fresh->GetIcon(&empty), S_OK);
  EXPECT_EQ(empty, nullptr);
  for (HRESULT hr :
       {fresh->GetEnable(nullptr), fresh->GetCheck(nullptr), fresh->GetItemFlag(nullptr),
        fresh->GetSubMenu(nullptr), fresh->GetIcon(nullptr), fresh->GetSecondText(nullptr)}) {
    EXPECT_EQ(hr, E_POINTER);
  }
  // The submenu read back is the one set, with a reference for the caller.
  CKZComPtr<IGFMenuItem> cascade;
  ASSERT_EQ(menu->GetItemAt(3, &cascade), S_OK);
  CKZComPtr<IGFMenu> got;
  ASSERT_EQ(cascade->GetSubMenu(&got), S_OK);
  CKZComPtr<IGFMenuItem> inner;
  ASSERT_EQ(got->GetItemAt(0, &inner), S_OK);
  CKZBSTR name;
  inner->GetName(&name);
  EXPECT_STREQ(name.c_str(), L"inner");
}

TEST_F(GFMenuTest, LooksItemsUpAndRemovesThemByName) {
  CKZComPtr<IGFMenu> menu = NewMenu();
  Append(menu, L"a", L"A");
  Append(menu, L"b", L"B");
  Append(menu, L"a", L"A2");

  DWORD count = 0;
  ASSERT_EQ(menu->GetItemCount(&count), S_OK);
  EXPECT_EQ(count, 3u);
  CKZComPtr<IGFMenuItem> found;
  CKZBSTR name(L"b");
  ASSERT_EQ(menu->GetItemByName(name, &found), S_OK);
  CKZBSTR text;
  found->GetText(&text);
  EXPECT_STREQ(text, L"B");
  EXPECT_EQ(menu->GetItemByName(nullptr, &found), E_FAIL);
  EXPECT_EQ(found.Get(), nullptr);
  EXPECT_EQ(menu->GetItemAt(3, &found), E_INVALIDARG);

  EXPECT_EQ(menu->RemoveItemByName(L"a"), S_OK);
  EXPECT_EQ(menu->RemoveItemByName(L"zz"), S_FALSE);
  EXPECT_EQ(platform::RenderGFMenu(menu), L"b \"B\"\n");
  platform::GFMenuState state;
  ASSERT_EQ(platform::GetGFMenuState(menu, &state), S_OK);
  EXPECT_EQ(state.removed_names, (std::vector<std::wstring>{L"a", L"zz"}));
  EXPECT_EQ(state.item_count, 1u);
}

TEST_F(GFMenuTest, RefusesForeignDoubleAndCyclicAppends) {
  CKZComPtr<IGFMenu> menu = NewMenu();
  CKZComPtr<IGFMenuItem> item = Append(menu, L"a", L"A");
  EXPECT_EQ(menu->AppendItem(item), E_INVALIDARG);
  EXPECT_EQ(menu->AppendItem(nullptr), E_POINTER);
  EXPECT_EQ(item->SetSubMenu(menu), E_INVALIDARG);

  CKZComPtr<IGFMenu> sub = NewMenu();
  CKZComPtr<IGFMenuItem> back;
  sub->CreateItem(&back);
  back->SetSubMenu(menu);
  ASSERT_EQ(item->SetSubMenu(sub), S_OK);
  EXPECT_EQ(sub->AppendItem(back), E_INVALIDARG);
  EXPECT_EQ(menu->CreateItem(nullptr), E_POINTER);
}

TEST_F(GFMenuTest, ItemAnswersAsFrameWithItsUserData) {
  CKZComPtr<IGFMenu> menu = NewMenu();
  CKZComPtr<IGFMenuItem> item = Append(menu, L"a", L"A");
  CKZComPtr<IGFFrame> frame;
  ASSERT_EQ(item.QueryInterface(&frame), S_OK);
  CKZComPtr<IKZData> data;
  EXPECT_EQ(frame->GetUserData(&data), E_FAIL);

  CKZComPtr<IKZData> bag;
  ASSERT_EQ(core()->CreateObject(kItemData, kItemData, reinterpret_cast<void**>(&bag)), S_OK);
  bag->SetDWord("x", 7);
  item->SetUserData(bag);
  ASSERT_EQ(frame->GetUserData(&data), S_OK);
  EXPECT_EQ(data.Get(), bag.Get());
}

TEST_F(GFMenuTest, InvokerRunsMenuExtensionsOfAnAttachedPoint) {
  std::vector<std::wstring> seen;
  ASSERT_EQ(platform::AddMenuExtension(core(), kPoint,
                                       [&](IGFMenu* menu, IKZData* context) {
                                         DWORD from = 0;
                                         context->GetDWord("cFrom", &from);
                                         seen.push_back(L"ext1 cFrom=" + std::to_wstring(from));
                                         Append(menu, L"ext1", L"Ext");
                                       }),
            S_OK);
  ASSERT_EQ(platform::AddReportExtension(core(), kPoint,
                                         [&](const wchar_t*) { seen.push_back(L"report"); }),
            S_OK);
  ASSERT_EQ(platform::AddMenuExtension(core(), kPoint,
                                       [&](IGFMenu*, IKZData*) { seen.push_back(L"ext2"); }),
            S_OK);

  CKZComPtr<IGFMenu> menu = NewMenu();
  CKZComPtr<IKZExtensionInvoker> invoker;
  CKZComPtr<IKZExtensionDescriptor> descriptor;
  ASSERT_EQ(core()->CreateObject(IKZExtensionInvoker::kIid, IKZExtensionInvoker::kIid,
                                 reinterpret_cast<void**>(&invoker)),
            S_OK);
  ASSERT_EQ(core()->CreateObject(IKZExtensionDescriptor::kIid, IKZExtensionDescriptor::kIid,
                                 reinterpret_cast<void**>(&descriptor)),
            S_OK);
  CKZComPtr<IKZData> context;
  Util::Data::CreateKZData(&context);
  context->SetDWord("cFrom", 2);
  invoker->SetExtensionPointId(kPoint);
  invoker->SetContext(context);

  // Not attached yet: refused, nothing runs.
  EXPECT_EQ(invoker->Invoke(menu, 0), E_FAIL);
  CKZComPtr<IGFExtensionHost> host;
  ASSERT_EQ(menu.QueryInterface(&host), S_OK);
  EXPECT_EQ(host->AttachExtensionDescriptor(descriptor), E_INVALIDARG);
  descriptor->SetExtensionPointId(kPoint);
  ASSERT_EQ(host->AttachExtensionDescriptor(descriptor), S_OK);
  EXPECT_EQ(invoker->Invoke(menu, 0), S_OK);
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"ext1 cFrom=2", L"ext2"}));
  EXPECT_EQ(platform::RenderGFMenu(menu), L"ext1 \"Ext\"\n");
  EXPECT_EQ(invoker->Invoke(nullptr, 0), E_POINTER);

  // The point gone: nothing to call, not a failure.
  core()->RegisterExtensionPoint(kPoint, nullptr);
  EXPECT_EQ(invoker->Invoke(menu, 0), S_FALSE);
}

TEST_F(GFMenuTest, MenuHoldsItsItemsAndReleasesThemWithIt) {
  std::int64_t before = platform::LiveObjectCount();
  {
    CKZComPtr<IGFMenu> menu = NewMenu();
    CKZComPtr<IGFMenu> sub = NewMenu();
    Append(sub, L"x", L"X");
    Append(menu, L"a", L"A")->SetSubMenu(sub);
    EXPECT_EQ(platform::LiveObjectCount(), before + 4);
    auto* counted = dynamic_cast<platform::RefCounted<IGFMenu, IGFExtensionHost>*>(sub.Get());
    ASSERT_NE(counted, nullptr);
    EXPECT_EQ(counted->RefCountForTesting(), 2u);  // ours and the item's
  }
  EXPECT_EQ(platform::LiveObjectCount(), before);
}

TEST_F(GFMenuTest, NullArgumentsAreRefused) {
  EXPECT_EQ(platform::RegisterGFObjects(nullptr), E_POINTER);
  EXPECT_EQ(platform::CreateGFMenu(nullptr), E_POINTER);
  EXPECT_EQ(platform::GetGFMenuState(nullptr, nullptr), E_POINTER);
  EXPECT_EQ(platform::AddMenuExtension(nullptr, kPoint, [](IGFMenu*, IKZData*) {}), E_POINTER);
  EXPECT_EQ(platform::AddMenuExtension(core(), kPoint, nullptr), E_INVALIDARG);
  EXPECT_EQ(platform::CreateExtensionInfo({}, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(platform::AddReportExtension(nullptr, kPoint, [](const wchar_t*) {}), E_POINTER);
  EXPECT_EQ(platform::EnsureExtensionPoint(core(), kPoint, nullptr), E_POINTER);
  EXPECT_EQ(platform::CreateExtensionPoint(kPoint, nullptr), E_POINTER);
  EXPECT_EQ(platform::CreateExtensionDescriptor(nullptr), E_POINTER);
  EXPECT_EQ(platform::CreateExtensionInvoker(nullptr), E_POINTER);

  CKZComPtr<IGFMenu> menu = NewMenu();
  EXPECT_EQ(menu->GetItemCount(nullptr), E_POINTER);
  EXPECT_EQ(menu->RemoveItemByName(nullptr), E_POINTER);
  EXPECT_EQ(menu->GetItemAt(0, nullptr), E_POINTER);
  EXPECT_EQ(menu->GetItemByName(nullptr, nullptr), E_POINTER);
  CKZComPtr<IGFMenuItem> item;
  menu->CreateItem(&item);
  EXPECT_EQ(item->GetName(nullptr), E_POINTER);
  EXPECT_EQ(item->GetText(nullptr), E_POINTER);
  EXPECT_EQ(item->GetUserData(nullptr), E_POINTER);
  EXPECT_EQ(item->IsSeparator(nullptr), E_POINTER);
  EXPECT_EQ(item->SetName(nullptr), S_OK);
  EXPECT_EQ(item->SetUserData(nullptr), S_OK);
  EXPECT_EQ(item->SetSubMenu(nullptr), S_OK);

  CKZComPtr<IGFExtensionHost> host;
  ASSERT_EQ(menu.QueryInterface(&host), S_OK);
  EXPECT_EQ(host->AttachExtensionDescriptor(nullptr), E_POINTER);
  CKZComPtr<IKZExtensionDescriptor> descriptor;
  platform::CreateExtensionDescriptor(&descriptor);
  EXPECT_EQ(descriptor->GetExtensionPointId(nullptr), E_POINTER);

  CKZComPtr<IKZExtensionPoint> point;
  ASSERT_EQ(platform::CreateExtensionPoint(kPoint, &point), S_OK);
  EXPECT_EQ(point->GetExtensionCount(nullptr), E_POINTER);
  EXPECT_EQ(point->GetExtensionInfo(0, nullptr), E_POINTER);
  EXPECT_EQ(point->AddExtension(nullptr), E_POINTER);
  CKZComPtr<IKZExtensionInfo> info;
  ASSERT_EQ(platform::CreateExtensionInfo(
                {L"M"},
                [](REFGUID, IUnknown** out) {
                  *out = nullptr;
                  return E_FAIL;
                },
                &info),
            S_OK);
  int offers = 0;
  EXPECT_EQ(info->OffersMethod(nullptr, &offers), E_POINTER);
  EXPECT_EQ(info->OffersMethod(L"M", nullptr), E_POINTER);
  CKZComPtr<IUnknown> extension;
  EXPECT_EQ(info->CreateExtension(kPoint, nullptr), E_POINTER);
  EXPECT_EQ(info->CreateExtension(kPoint, &extension), E_FAIL);
  EXPECT_EQ(extension.Get(), nullptr);
}

}  // namespace
