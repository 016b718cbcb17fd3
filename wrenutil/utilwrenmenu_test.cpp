#include "wrenutil/utilwrenmenu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wrenutil/testing/utilwrenmenu_fixture.h"

namespace wrenutil_menu_test {
namespace {

using namespace Util::UtilWRENMenu;  // NOLINT(build/namespaces): the API under test

enMenuMask Mask(int bits) { return static_cast<enMenuMask>(bits); }

class PrimitivesTest : public MenuTest {
 protected:
  CKZComPtr<IGFMenu> NewMenu() {
    CKZComPtr<IGFMenu> menu;
    platform::CreateGFMenu(&menu);
    return menu;
  }
};

TEST_F(PrimitivesTest, AddMenuItemAppliesTheMaskBits) {
  CKZComPtr<IGFMenu> sub = NewMenu();
  CKZComPtr<IKZData> bag = Bag("{}");
  const struct {
    int mask;
    int enable;
    const wchar_t* line;
  } cases[] = {
      {0, 1, L"n \"T\"\n"},
      {1, 1, L"n \"T\" +data\n"},
      {2, 0, L"n \"T\" [x] (greyed)\n"},
      {3, 1, L"n \"T\" [x] +data\n"},
      {4, 1, L"n \"T\"\n  s \"S\"\n"},
      {6, 1, L"n \"T\" [x]\n  s \"S\"\n"},
  };
  AddMenuItem(sub, L"s", L"S", 1, Mask(0), nullptr, 0, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mask);
    CKZComPtr<IGFMenu> menu = NewMenu();
    EXPECT_EQ(AddMenuItem(menu, L"n", L"T", c.enable, Mask(c.mask), bag, 1, sub), S_OK);
    EXPECT_EQ(platform::RenderGFMenu(menu), c.line);
  }
  // With an icon: set also when null, then the same as AddMenuItem.
  CKZComPtr<IGFMenu> menu = NewMenu();
  EXPECT_EQ(
      AddMenuItemWithIcon(menu, L"a", L"A", L"platformres:x.png", 1, Mask(1), bag, 0, nullptr),
      S_OK);
  EXPECT_EQ(AddMenuItemWithIcon(menu, L"b", L"B", nullptr, 0, Mask(0), nullptr, 0, nullptr), S_OK);
  EXPECT_EQ(platform::RenderGFMenu(menu), L"a \"A\" <platformres:x.png> +data\nb \"B\" (greyed)\n");
  EXPECT_TRUE(asserts().empty());
}

TEST_F(PrimitivesTest, AddMenuItem3SetsCheckBeforeSubmenuAndLeavesEnabled) {
  CKZComPtr<IGFMenu> sub = NewMenu();
  CKZComPtr<IGFMenu> menu = NewMenu();
  CKZComPtr<IGFMenuItem> a, b, c;
  EXPECT_EQ(AddMenuItem3(menu, L"A", L"a", &a, nullptr, nullptr, Mask(6), nullptr, 1, sub), S_OK);
  EXPECT_EQ(AddMenuItem3(menu, nullptr, L"b", &b, L"i.png", L"Ctrl+B", Mask(4), nullptr, 0, sub),
            S_OK);
  EXPECT_EQ(platform::RenderGFMenu(menu), L"a \"A\" [x]\nb \"\" / \"Ctrl+B\" <i.png>\n");
  // The caller owns the item handed out: one reference besides the menu's.
  EXPECT_EQ(b->AddRef(), 3u);
  b->Release();

  // Null data under bit 1: the item stays with the caller, unappended.
  EXPECT_EQ(AddMenuItem3(menu, L"C", L"c", &c, nullptr, nullptr, Mask(1), nullptr, 0, nullptr),
            E_FAIL);
  ASSERT_NE(c.Get(), nullptr);
  DWORD count = 0;
  menu->GetItemCount(&count);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(AssertLines(), (std::vector<std::wstring>{L"158:FALSE"}));
}

TEST_F(PrimitivesTest, BrokenPreconditionsAssertAndAppendNothing) {
  CKZComPtr<IGFMenu> menu = NewMenu();
  CKZComPtr<IGFMenuItem> item;
  CKZComPtr<IGFMenu> no_items;
  no_items.Attach(new NoItemMenu());
  const struct {
    const char* what;
    std::function<HRESULT()> call;
    int line;  // 0: no assertion
  } cases[] = {
      {"null menu",
       [&] { return AddMenuItem(nullptr, L"n", L"t", 1, Mask(0), nullptr, 0, nullptr); }, 83},
      {"null name",
       [&] { return AddMenuItem(menu, nullptr, L"t", 1, Mask(0), nullptr, 0, nullptr); }, 83},
      {"no item",
       [&] { return AddMenuItem(no_items, L"n", L"t", 1, Mask(0), nullptr, 0, nullptr); }, 90},
      {"null data", [&] { return AddMenuItem(menu, L"n", L"t", 1, Mask(1), nullptr, 0, nullptr); },
       101},
      {"null submenu",
       [&] { return AddMenuItem(menu, L"n", L"t", 1, Mask(6), nullptr, 0, nullptr); }, 112},
      {"icon, null menu",
       [&] {
         return AddMenuItemWithIcon(nullptr, L"n", L"t", L"i", 1, Mask(0), nullptr, 0, nullptr);
       },
       83},
      {"3: null name",
       [&] {
         return AddMenuItem3(menu, L"t", nullptr, &item, nullptr, nullptr, Mask(0), nullptr, 0,
                             nullptr);
       },
       140},
      {"3: null out",
       [&] {
         return AddMenuItem3(menu, L"t", L"n", nullptr, nullptr, nullptr, Mask(0), nullptr, 0,
                             nullptr);
       },
       140},
      {"3: no item",
       [&] {
         return AddMenuItem3(no_items, L"t", L"n", &item, nullptr, nullptr, Mask(0), nullptr, 0,
                             nullptr);
       },
       147},
      {"3: null submenu",
       [&] {
         return AddMenuItem3(menu, L"t", L"n", &item, nullptr, nullptr, Mask(4), nullptr, 0,
                             nullptr);
       },
       170},
      {"separator, null menu", [&] { return AddSeperaor(nullptr); }, 196},
      {"named separator, null menu", [&] { return AddSeperaorWithName(nullptr, L"s"); }, 196},
      {"separator, no item", [&] { return AddSeperaor(no_items); }, 0},
      {"named separator, no item", [&] { return AddSeperaorWithName(no_items, L"s"); }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::size_t before = asserts().size();
    EXPECT_EQ(c.call(), E_FAIL);
    if (c.line == 0) {
      EXPECT_EQ(asserts().size(), before);
    } else {
      ASSERT_EQ(asserts().size(), before + 1);
      EXPECT_EQ(asserts().back().line, c.line);
      EXPECT_EQ(asserts().back().expression, L"FALSE");
      EXPECT_EQ(asserts().back().file, kMenuSource);
    }
  }
  EXPECT_EQ(platform::RenderGFMenu(menu), L"");
}

TEST_F(PrimitivesTest, SeparatorsCheckMarksAndFilledNames) {
  CKZComPtr<IGFMenu> menu = NewMenu();
  AddMenuItem(menu, L"X", L"A", 1, Mask(0), nullptr, 0, nullptr);
  CKZComPtr<IGFMenuItem> unnamed;
  AddMenuItem3(menu, L"B", L"", &unnamed, nullptr, nullptr, Mask(0), nullptr, 0, nullptr);
  EXPECT_EQ(AddSeperaor(menu), S_OK);
  EXPECT_EQ(AddSeperaorWithName(menu, L"sep1"), S_OK);
  CKZComPtr<IGFMenu> sub = NewMenu();
  CKZComPtr<IGFMenuItem> inner;
  AddMenuItem3(sub, L"Inner", L"", &inner, nullptr, nullptr, Mask(0), nullptr, 0, nullptr);
  AddMenuItem3(menu, L"Cascade", L"", &inner, nullptr, nullptr, Mask(4), nullptr, 0, sub);

  EXPECT_EQ(SetMenuItemCheckAttr(menu, L"X", 1), S_OK);
  EXPECT_EQ(SetMenuItemCheckAttr(menu, L"nobody", 1), S_OK);
  EXPECT_EQ(SetMenuItemCheckAttr(nullptr, L"X", 1), S_OK);
  EXPECT_EQ(SetMenuItemCheckAttr(menu, nullptr, 1), S_OK);
  FillMenuName(menu);
  FillMenuName(nullptr);
  EXPECT_EQ(platform::RenderGFMenu(menu),
            L"X \"A\" [x]\n"
            L"B \"B\"\n"
            L"----\n"
            L"---- sep1\n"
            L"Cascade \"Cascade\"\n"
            L"  - \"Inner\"\n");
  EXPECT_TRUE(asserts().empty());
}

// ---------------------------------------------------------------------------
// Department and outer-group menus.

class DeptMenuTest : public MenuTest {
 protected:
  void AddPlugin() {
    platform::AddMenuExtension(core(), kDeptPoint, [this](IGFMenu* menu, IKZData* command) {
      command_ = Json(command);
      AddMenuItem(menu, L"plugin", L"Plugin", 1, Mask(0), nullptr, 0, nullptr);
    });
  }
  std::string command_;
};

TEST_F(DeptMenuTest, OffersADiscussionAndThePluginItems) {
  AddPlugin();
  CKZComPtr<IKZData> input =
      Bag(R"({"SelectUins": [10002, 10003], "SelectUinOnly": [10002], "SelectGroupID": [4]})");
  CKZComPtr<IKZData> context = Bag(R"({"MENU_WREN_SELECT_ITEM_ARRAY": [1]})");
  IGFMenu* menu = nullptr;
  ASSERT_EQ(GetDeptMenu(input, &menu, context), S_OK);
  CKZComPtr<IGFMenu> owner;
  owner.Attach(menu);
  EXPECT_EQ(platform::RenderGFMenu(menu),
            L"Send_Message \"WREN_MENU_CreateDisc\" +data\nplugin \"Plugin\"\n");
  EXPECT_EQ(RefCount(menu), 1u);
  EXPECT_EQ(command_,
            R"({"pArrayUin":[10002,10003],"pArraySelectUin":[10002],"pGroupID":[4],"cFrom":2})");
  EXPECT_EQ(Json(context), R"({"MENU_WREN_SELECT_ITEM_ARRAY":[1],"cFrom":2})");
  CKZComPtr<IGFMenuItem> item;
  menu->GetItemAt(0, &item);
  CKZComPtr<IKZData> bag;
  item->GetUserData(&bag);
  EXPECT_EQ(Json(bag), R"({"SelectUins":[10002,10003],"MENU_WREN_SELECT_ITEM_ARRAY":[1]})");

  data().channel_privileges.clear();
  ASSERT_EQ(GetDeptMenu(input, &owner, nullptr), S_OK);
  EXPECT_EQ(platform::RenderGFMenu(owner), L"plugin \"Plugin\"\n");
  EXPECT_TRUE(asserts().empty());
}

TEST_F(DeptMenuTest, FailuresHandNothingOut) {
  CKZComPtr<IKZData> input =
      Bag(R"({"SelectUins": [], "SelectUinOnly": [10002], "SelectGroupID": [4]})");
  CKZComPtr<IKZData> missing = Bag(R"({"SelectUins": [1], "SelectUinOnly": []})");
  CKZComPtr<IKZData> full =
      Bag(R"({"SelectUins": [10002], "SelectUinOnly": [], "SelectGroupID": []})");
  const struct {
    const char* what;
    IKZData* input;
    bool out;
    std::function<void(DeptMenuTest&)> arrange;
    const wchar_t* assertion;  // "line:expression", or empty
  } cases[] = {
      {"null input", nullptr, true, nullptr, L"1111:FALSE"},
      {"null out", full, false, nullptr, L"1111:FALSE"},
      {"missing array", missing, true, nullptr, L""},
      {"empty selection", input, true, nullptr, L"1172:!L\"No User selected!\""},
      {"no menu", full, true,
       [](DeptMenuTest& t) { t.core()->RegisterFactory(IGFMenu::kIid, nullptr); }, L"1142:FALSE"},
      {"no descriptor", full, true,
       [](DeptMenuTest& t) { t.core()->RegisterFactory(IKZExtensionDescriptor::kIid, nullptr); },
       L"1220:FALSE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    platform::RegisterGFObjects(core());
    if (c.arrange) c.arrange(*this);
    std::size_t before = asserts().size();
    IGFMenu* menu = nullptr;
    EXPECT_EQ(GetDeptMenu(c.input, c.out ? &menu : nullptr, nullptr), E_FAIL);
    EXPECT_EQ(menu, nullptr);
    std::vector<std::wstring> lines = AssertLines();
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(lines, (*c.assertion ? std::vector<std::wstring>{c.assertion}
                                   : std::vector<std::wstring>{}));
  }
}

TEST_F(DeptMenuTest, OuterGroupMenuGreysOutWhatTheContextDisables) {
  const struct {
    const char* context;
    const wchar_t* menu;
  } cases[] = {
      {R"({})",
       L"MENU_WREN_ID_OUTER_ADD_NEW_GROUP \"MENU_WREN_OUTER_ADD_NEW_GROUP\" +data\n"
       L"MENU_WREN_ID_OUTER_ADD_NEW_BUDDY \"MENU_WREN_OUTER_ADD_NEW_BUDDY\" +data\n"
       L"----\n"
       L"MENU_WREN_ID_OUTER_RENAME_GROUP \"MENU_WREN_OUTER_RENAME_GROUP\" +data\n"
       L"MENU_WREN_ID_OUTER_DEL_GROUP \"MENU_WREN_OUTER_DEL_GROUP\" +data\n"},
      {R"({"EnableRename": 0, "EnableDelGroup": 0})",
       L"MENU_WREN_ID_OUTER_ADD_NEW_GROUP \"MENU_WREN_OUTER_ADD_NEW_GROUP\" +data\n"
       L"MENU_WREN_ID_OUTER_ADD_NEW_BUDDY \"MENU_WREN_OUTER_ADD_NEW_BUDDY\" +data\n"
       L"----\n"
       L"MENU_WREN_ID_OUTER_RENAME_GROUP \"MENU_WREN_OUTER_RENAME_GROUP\" (greyed) +data\n"
       L"MENU_WREN_ID_OUTER_DEL_GROUP \"MENU_WREN_OUTER_DEL_GROUP\" (greyed) +data\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.context);
    CKZComPtr<IGFMenu> menu;
    ASSERT_EQ(GetOuterGroupMenu(nullptr, &menu, Bag(c.context)), S_OK);
    EXPECT_EQ(platform::RenderGFMenu(menu), c.menu);
    EXPECT_EQ(RefCount(menu), 1u);
  }

  // Without item bags only the separator is left; still 0.
  core()->RegisterFactory(internal::kItemDataClass, nullptr);
  CKZComPtr<IGFMenu> menu;
  ASSERT_EQ(GetOuterGroupMenu(nullptr, &menu, Bag("{}")), S_OK);
  EXPECT_EQ(platform::RenderGFMenu(menu), L"----\n");
  EXPECT_EQ(asserts().size(), 4u);  // the four refused items

  IGFMenu* none = nullptr;
  EXPECT_EQ(GetOuterGroupMenu(nullptr, &none, nullptr), E_FAIL);
  EXPECT_EQ(GetOuterGroupMenu(nullptr, nullptr, Bag("{}")), E_FAIL);
  core()->RegisterFactory(IGFMenu::kIid, nullptr);
  EXPECT_EQ(GetOuterGroupMenu(nullptr, &none, Bag("{}")), E_FAIL);
  EXPECT_EQ(none, nullptr);
  std::vector<std::wstring> lines = AssertLines();
  EXPECT_EQ(std::vector<std::wstring>(lines.end() - 3, lines.end()),
            (std::vector<std::wstring>{L"1895:FALSE", L"1895:FALSE", L"1903:FALSE"}));
}

TEST_F(DeptMenuTest, MenuPlaceholdersWriteNothing) {
  IGFMenu* sentinel = reinterpret_cast<IGFMenu*>(0x1);
  IGFMenu* menu = sentinel;
  EXPECT_EQ(GetFolderMenu(Uins({kMember}), &menu, nullptr), S_OK);
  EXPECT_EQ(GetGroupMenu(nullptr, &menu, nullptr), S_OK);
  EXPECT_EQ(GetFolderMenu(nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(menu, sentinel);
}

}  // namespace
}  // namespace wrenutil_menu_test
