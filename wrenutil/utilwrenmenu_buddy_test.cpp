#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/common/convert.h"
#include "wrenutil/testing/utilwrenmenu_fixture.h"

namespace wrenutil_menu_test {
namespace {

using Util::UtilWRENMenu::GetBuddyMenu;

class BuddyMenuTest : public MenuTest {
 protected:
  // A plug-in on the contact-menu point: appends "plugin" and the two items
  // that the menu removes afterwards, and keeps the context it was given.
  void AddPlugin() {
    platform::AddMenuExtension(core(), kBuddyPoint, [this](IGFMenu* menu, IKZData* context) {
      ++plugin_calls_;
      plugin_context_ = Json(context);
      for (const wchar_t* name : {L"{C2D4E5CE-E193-4017-9DED-9CAEE665161A}", L"plugin",
                                  L"{EB983FF6-0C5F-4E03-9211-0F2443606929}"}) {
        Util::UtilWRENMenu::AddMenuItem(menu, name, L"Plugin", 1, Util::UtilWRENMenu::enMenuMask{},
                                        nullptr, 0, nullptr);
      }
    });
  }
  int plugin_calls_ = 0;
  std::string plugin_context_;
};

TEST_F(BuddyMenuTest, FullMenuOfOneOuterContact) {
  AddPlugin();
  platform::SetSelfAvoidanceAuth(1);
  platform::SetC2CAvoidance(kOuterSame, 1);
  data().prevented = {kOuterSame};
  data().shortcut_allowed = {kOuterSame};
  CKZComPtr<IKZArray> selection = Uins({kOuterSame});
  CKZComPtr<IKZData> context = Bag(
      R"({"MENU_WREN_SHOWDELFROMUSERDEFINEDGROUP": 1, "MENU_WREN_SHOWDELFROMRECENTFOLDER": 1,
          "MENU_WREN_SELECT_OUTER_CONTACTS": 1, "MENU_WREN_SELECT_OUTER_BUDDIES": 1,
          "MENU_WREN_SELECT_OUTER_STRANGER": 1, "MENU_WREN_SELECT_ITEM_ARRAY": [5, 6]})");

  const std::int64_t live_before = platform::LiveObjectCount();
  IGFMenu* menu = nullptr;
  ASSERT_EQ(GetBuddyMenu(selection, &menu, context), S_OK);
  CKZComPtr<IGFMenu> owner;
  owner.Attach(menu);
  EXPECT_EQ(
      platform::RenderGFMenu(menu),
      L"- \"CCAddrListPage_Add2FrequentContact\"\n"
      L"  0 \"CCAddrListPage_MyFrequentContact\" +data\n"
      L"  7 \"Colleagues\" flag=0 +data\n"
      L"  9 \"Friends\" flag=0 +data\n"
      L"  CCAddrListPage_MyFreContactAddGroup \"CCAddrListPage_MyFreContactAddGroup\" +data\n"
      L"Send_Message \"WREN_SendIM\" <platformres:MainPanel\\menu\\sendmsg.png> +data\n"
      L"---- sep1\n"
      L"MENU_WREN_ID_OUTER_SET_AUTH \"MENU_WREN_ID_OUTER_SET_AUTH\"\n"
      L"  MENU_WREN_ID_OUTER_SET_AUTH_BLOCK_MSG \"MENU_WREN_OUTER_BLOCK_USER_MESSAGE\" [x] +data\n"
      L"  MENU_WREN_ID_OUTER_SET_AUTH_SET_INVISIABLE "
      L"\"MENU_WREN_OUTER_SHOW_NOT_ONLINE_TO_THISUSER\" [ ] +data\n"
      L"---- sep2\n"
      L"MENU_WREN_DELFROMCUSTOMGROUP \"WREN_DelFromUserGroup\" +data\n"
      L"MENU_WREN_DELFROMRECENT \"WREN_DelFromRecent\" +data\n"
      L"---- sep3\n"
      L"MENU_WREN_USERINFO \"WREN_UserInfo\" +data\n"
      L"MENU_MARLIN_MSGAVOIDANCE \"C2C_Avoidance_Menu_H\" [x] +data\n"
      L"MENU_WREN_ADD_SHORTCUT \"WREN_Menu_Add_Shortcut\" +data\n"
      L"plugin \"Plugin\"\n"
      L"MENU_WREN_ContactMgrListp \"MainPanel_Menu_ContactMgrList\" "
      L"<platformres:MainPanel\\menu\\contactmgr.png>\n"
      L"  MENU_WREN_SPECALCARE \"SpecialCare\" "
      L"<platformres:ContactInfoFrame/card_defmenu_icon_care.png> +data\n");

  // The menu is the caller's alone; the plug-in saw the extension context;
  // the two names were removed in order; the usage report went out.
  EXPECT_EQ(RefCount(menu), 1u);
  EXPECT_EQ(plugin_context_, R"({"cFrom":2,"dwUin":2800000001,"arWRENContactsUin":[2800000001]})");
  platform::GFMenuState state;
  ASSERT_EQ(platform::GetGFMenuState(menu, &state), S_OK);
  EXPECT_EQ(state.removed_names,
            (std::vector<std::wstring>{L"{C2D4E5CE-E193-4017-9DED-9CAEE665161A}",
                                       L"{EB983FF6-0C5F-4E03-9211-0F2443606929}"}));
  EXPECT_EQ(
      Journal(),
      (std::vector<std::wstring>{L"RealTimeReport(134267051, 10001, 2800000001, \"\", \"\", 0)"}));
  EXPECT_TRUE(asserts().empty());

  // Every item carries the same bag: the selection itself and a copy of
  // the context's item array.
  CKZComPtr<IGFMenuItem> info;
  CKZBSTR name(L"MENU_WREN_USERINFO");
  ASSERT_EQ(menu->GetItemByName(name, &info), S_OK);
  CKZComPtr<IKZData> bag;
  ASSERT_EQ(info->GetUserData(&bag), S_OK);
  CKZComPtr<IKZArray> uins;
  bag->GetKZArray("SelectUins", &uins);
  EXPECT_EQ(uins.Get(), selection.Get());
  EXPECT_EQ(Json(bag), R"({"SelectUins":[2800000001],"MENU_WREN_SELECT_ITEM_ARRAY":[5,6]})");

  // Releasing the menu frees everything the call made (items, submenus, the
  // bag, the extension objects).
  uins = nullptr;
  bag = nullptr;
  info = nullptr;
  owner = nullptr;
  EXPECT_EQ(platform::LiveObjectCount(), live_before);
}

// Each case changes the full set-up and lists the top-level items that
// result ("!" = greyed out).
struct BuddyCase {
  const char* what;
  std::vector<DWORD> uins;
  const char* context;  // null: no context bag
  std::function<void(BuddyMenuTest&)> arrange;
  const wchar_t* items;
  int plugin_calls;
};

class BuddyMenuCases : public BuddyMenuTest {
 public:
  void Run(const BuddyCase& c) {
    SCOPED_TRACE(c.what);
    plugin_calls_ = 0;
    SetServices(platform::kAllMenuServices);
    SetAccountFlags(0);
    platform::SetContactOnline(kSelf, 1);
    platform::SetSelfAvoidanceAuth(1);
    data().privileges = {550};
    data().channel_privileges = {1};
    data().fre_entries.clear();
    data().shortcut_present.clear();
    data().shortcut_allowed = {kMember, kOuterSame};
    if (c.arrange) c.arrange(*this);
    CKZComPtr<IKZArray> selection;
    Util::Data::CreateKZArray(&selection);
    for (DWORD uin : c.uins) selection->AddDWord(uin);
    CKZComPtr<IKZData> context = c.context ? Bag(c.context) : nullptr;
    CKZComPtr<IGFMenu> menu;
    ASSERT_EQ(GetBuddyMenu(selection, &menu, context), S_OK);
    EXPECT_EQ(TopNames(menu), c.items);
    EXPECT_EQ(RefCount(menu), 1u);
    EXPECT_EQ(plugin_calls_, c.plugin_calls);
    EXPECT_TRUE(asserts().empty());
    platform::TakeCallJournal();
  }
};

TEST_F(BuddyMenuCases, ConditionsAddAndRemoveItems) {
  AddPlugin();
  const char* kBoth =
      R"({"MENU_WREN_SHOWDELFROMUSERDEFINEDGROUP": 1, "MENU_WREN_SHOWDELFROMRECENTFOLDER": 1})";
  const BuddyCase cases[] = {
      {"own number alone", {kSelf}, kBoth, nullptr, L"MENU_WREN_USERINFO", 0},
      {"own number first of several",
       {kSelf, kMember},
       kBoth,
       nullptr,
       L"Send_Message sep1 MENU_WREN_DELFROMCUSTOMGROUP MENU_WREN_DELFROMRECENT plugin",
       1},
      {"several without the channel privilege",
       {kSelf, kMember},
       "{}",
       [](BuddyMenuTest& t) { t.data().channel_privileges.clear(); },
       L"sep1 plugin",
       1},
      {"several members",
       {kMember, kMember2},
       nullptr,
       nullptr,
       L"- Send_Message sep1 plugin MENU_WREN_ContactMgrListp",
       1},
      {"one member",
       {kMember},
       nullptr,
       nullptr,
       L"- Send_Message sep1 sep3 MENU_WREN_USERINFO MENU_MARLIN_MSGAVOIDANCE "
       L"MENU_WREN_ADD_SHORTCUT plugin MENU_WREN_ContactMgrListp",
       1},
      {"own account offline",
       {kMember},
       nullptr,
       [](BuddyMenuTest&) { platform::SetContactOnline(kSelf, 0); },
       L"- Send_Message! sep1 sep3 MENU_WREN_USERINFO MENU_MARLIN_MSGAVOIDANCE! "
       L"MENU_WREN_ADD_SHORTCUT plugin MENU_WREN_ContactMgrListp!",
       1},
      {"stranger",
       {kOuterLM},
       R"({"MENU_WREN_SELECT_OUTER_CONTACTS": 1, "MENU_WREN_SELECT_OUTER_STRANGER": 1})",
       nullptr,
       L"- Send_Message sep1 MENU_WREN_ID_OUTER_SET_AUTH sep2 sep3 MENU_WREN_USERINFO "
       L"MENU_MARLIN_MSGAVOIDANCE plugin",
       1},
      {"stranger flag ignored for outer buddies",
       {kOuterLM},
       R"({"MENU_WREN_SELECT_OUTER_CONTACTS": 1, "MENU_WREN_SELECT_OUTER_BUDDIES": 1,
           "MENU_WREN_SELECT_OUTER_STRANGER": 1})",
       nullptr,
       L"- Send_Message sep1 MENU_WREN_ID_OUTER_SET_AUTH sep2 sep3 MENU_WREN_USERINFO "
       L"MENU_MARLIN_MSGAVOIDANCE plugin MENU_WREN_ContactMgrListp",
       1},
      {"multi-folder selection",
       {kMember},
       R"({"MENU_WREN_SELECT_IS_MULTI_FOLDER_USERS": 1})",
       nullptr,
       L"- Send_Message sep1 plugin MENU_WREN_ContactMgrListp",
       1},
      {"shortcut present, no avoidance right",
       {kMember},
       nullptr,
       [](BuddyMenuTest& t) {
         t.data().shortcut_present = {kMember};
         platform::SetSelfAvoidanceAuth(0);
       },
       L"- Send_Message sep1 sep3 MENU_WREN_USERINFO MENU_WREN_DEL_SHORTCUT plugin "
       L"MENU_WREN_ContactMgrListp",
       1},
      {"shortcut state 0 and no message-block service",
       {kMember},
       nullptr,
       [](BuddyMenuTest& t) {
         t.data().shortcut_allowed.clear();
         t.RemoveService(platform::kOuterMsgBlockService);
       },
       L"- Send_Message sep1 sep3 MENU_WREN_USERINFO MENU_MARLIN_MSGAVOIDANCE plugin "
       L"MENU_WREN_ContactMgrListp",
       1},
      {"no shortcut service",
       {kMember},
       nullptr,
       [](BuddyMenuTest& t) { t.RemoveService(platform::kShortcutService); },
       L"- Send_Message sep1 sep3 MENU_WREN_USERINFO MENU_MARLIN_MSGAVOIDANCE plugin "
       L"MENU_WREN_ContactMgrListp",
       1},
      {"frequent contacts hidden by the account flag",
       {kMember, kMember2},
       nullptr,
       [](BuddyMenuTest& t) { t.SetAccountFlags(0x80); },
       L"Send_Message sep1 plugin MENU_WREN_ContactMgrListp",
       1},
      {"frequent contacts without privilege 550",
       {kMember, kMember2},
       nullptr,
       [](BuddyMenuTest& t) { t.data().privileges.clear(); },
       L"Send_Message sep1 plugin MENU_WREN_ContactMgrListp",
       1},
      {"already a frequent contact",
       {kMember, kMember2},
       nullptr,
       [](BuddyMenuTest& t) { t.data().fre_entries = {L"1_10002"}; },
       L"FrequentRemoveFromGroup Send_Message sep1 plugin MENU_WREN_ContactMgrListp",
       1},
  };
  for (const BuddyCase& c : cases) Run(c);
}

TEST_F(BuddyMenuTest, SubmenusFollowTheServices) {
  const struct {
    const char* what;
    std::function<void(BuddyMenuTest&)> arrange;
    const wchar_t* menu;
  } cases[] = {
      {"no group list: the two fixed items",
       [](BuddyMenuTest& t) { t.data().groups_loaded = false; },
       L"- \"CCAddrListPage_Add2FrequentContact\"\n"
       L"  0 \"CCAddrListPage_MyFrequentContact\" +data\n"
       L"  CCAddrListPage_MyFreContactAddGroup \"CCAddrListPage_MyFreContactAddGroup\" +data\n"
       L"Send_Message \"WREN_MENU_CreateDisc\" +data\n"
       L"---- sep1\n"
       L"MENU_WREN_ContactMgrListp \"MainPanel_Menu_ContactMgrList\" "
       L"<platformres:MainPanel\\menu\\contactmgr.png>\n"
       L"  MENU_WREN_SPECALCARE \"SpecialCare\" "
       L"<platformres:ContactInfoFrame/card_defmenu_icon_care.png> +data\n"},
      {"under special care, frequent already",
       [](BuddyMenuTest& t) {
         t.data().special_care = {kMember};
         t.data().fre_entries = {L"1_10002"};
       },
       L"FrequentRemoveFromGroup \"FrequentRemoveFromGroup\" +data\n"
       L"Send_Message \"WREN_MENU_CreateDisc\" +data\n"
       L"---- sep1\n"
       L"MENU_WREN_ContactMgrListp \"MainPanel_Menu_ContactMgrList\" "
       L"<platformres:MainPanel\\menu\\contactmgr.png>\n"
       L"  MENU_WREN_SPECALCARE \"CancelSpecialCare\" "
       L"<platformres:ContactInfoFrame/card_defmenu_icon_cared.png> +data\n"},
      {"no special-care service: an empty cascade",
       [](BuddyMenuTest& t) {
         t.data().fre_entries = {L"1_10002"};
         t.RemoveService(platform::kSpecialCareService);
       },
       L"FrequentRemoveFromGroup \"FrequentRemoveFromGroup\" +data\n"
       L"Send_Message \"WREN_MENU_CreateDisc\" +data\n"
       L"---- sep1\n"
       L"MENU_WREN_ContactMgrListp \"MainPanel_Menu_ContactMgrList\" "
       L"<platformres:MainPanel\\menu\\contactmgr.png>\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetServices(platform::kAllMenuServices);
    data().special_care.clear();
    data().fre_entries.clear();
    data().groups_loaded = true;
    c.arrange(*this);
    CKZComPtr<IGFMenu> menu;
    ASSERT_EQ(GetBuddyMenu(Uins({kMember, kMember2}), &menu, nullptr), S_OK);
    EXPECT_EQ(platform::RenderGFMenu(menu), c.menu);
  }
}

TEST_F(BuddyMenuTest, StopsEarlyWithResultOne) {
  const struct {
    const char* what;
    DWORD uin;
    std::function<void(BuddyMenuTest&)> arrange;
    bool handed_out;
    const wchar_t* items;
  } cases[] = {
      {"no frequent-contact group service", kMember,
       [](BuddyMenuTest& t) { t.RemoveService(platform::kFreContactGroupService); }, false, L""},
      {"frequent-contacts item not created", kMember,
       [](BuddyMenuTest& t) { t.FailItemsOfMenu(2); }, false, L""},
      {"no outer authority service", kOuterSame,
       [](BuddyMenuTest& t) { t.RemoveService(platform::kOuterAuthService); }, false, L""},
      {"special-care item not created", kMember,
       [](BuddyMenuTest& t) {
         t.data().privileges.clear();
         t.FailItemsOfMenu(2);
       },
       true, L"Send_Message sep1 sep3 MENU_WREN_USERINFO"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetServices(platform::kAllMenuServices);
    platform::RegisterGFObjects(core());
    data().privileges = {550};
    c.arrange(*this);
    IGFMenu* menu = nullptr;
    EXPECT_EQ(GetBuddyMenu(Uins({c.uin}), &menu, nullptr), S_FALSE);
    EXPECT_EQ(menu != nullptr, c.handed_out);
    if (menu != nullptr) {
      EXPECT_EQ(TopNames(menu), c.items);
      EXPECT_EQ(RefCount(menu), 1u);
      menu->Release();
    }
    platform::TakeCallJournal();
  }
}

TEST_F(BuddyMenuTest, RefusesBadInputWithAssertion) {
  IGFMenu* menu = nullptr;
  CKZComPtr<IKZArray> empty = Uins({});
  EXPECT_EQ(GetBuddyMenu(nullptr, &menu, nullptr), E_FAIL);
  EXPECT_EQ(GetBuddyMenu(empty, nullptr, nullptr), E_FAIL);
  EXPECT_EQ(GetBuddyMenu(empty, &menu, nullptr), E_FAIL);
  core()->RegisterFactory(IGFMenu::kIid, nullptr);
  EXPECT_EQ(GetBuddyMenu(Uins({kMember}), &menu, nullptr), E_FAIL);
  EXPECT_EQ(menu, nullptr);
  ASSERT_EQ(asserts().size(), 4u);
  EXPECT_EQ(asserts()[2].expression, L"!L\"No User selected!\"");
  for (const auto& a : asserts()) EXPECT_EQ(a.file, kMenuSource);
}

TEST_F(BuddyMenuTest, MissingExtensionObjectsLeaveACompleteMenu) {
  AddPlugin();
  core()->RegisterFactory(IKZExtensionInvoker::kIid, nullptr);
  CKZComPtr<IGFMenu> menu;
  ASSERT_EQ(GetBuddyMenu(Uins({kMember, kMember2}), &menu, nullptr), S_OK);
  EXPECT_EQ(TopNames(menu), L"- Send_Message sep1 MENU_WREN_ContactMgrListp");
  EXPECT_EQ(plugin_calls_, 0);
  EXPECT_EQ(AssertLines(), (std::vector<std::wstring>{L"2281:FALSE"}));
}

TEST_F(BuddyMenuTest, MissingPrivilegeServiceCountsAsNotGranted) {
  RemoveService(platform::kPrivilegeService);
  CKZComPtr<IGFMenu> menu;
  ASSERT_EQ(GetBuddyMenu(Uins({kMember, kMember2}), &menu, nullptr), S_OK);
  EXPECT_EQ(TopNames(menu), L"sep1 MENU_WREN_ContactMgrListp");
  ASSERT_EQ(asserts().size(), 2u);
  EXPECT_EQ(asserts()[0].line, 66);
  EXPECT_EQ(asserts()[1].line, 388);
  EXPECT_EQ(asserts()[1].file, L"include\\utilmarlinprivilege");
}

TEST_F(BuddyMenuTest, WorkerNumberPrivilegeIsLogged) {
  data().channel_privileges.clear();
  CKZComPtr<IGFMenu> menu;
  ASSERT_EQ(GetBuddyMenu(Uins({kMember, kMember2}), &menu, nullptr), S_OK);
  ASSERT_EQ(logs().size(), 1u);
  const platform::LogEntry& e = logs()[0];
  EXPECT_EQ(e.level, 3);
  EXPECT_EQ(e.line, 394);
  EXPECT_EQ(e.module, L"Privilege");
  EXPECT_EQ(e.file, L"include\\utilmarlinprivilege");
  EXPECT_EQ(e.function, L"Util::MarlinPrivilege::HaveWorkerNumCommuicationPrivilege");
  EXPECT_EQ(e.message, L"dwChannel:1, bHavePrivilege:0");
}

TEST_F(BuddyMenuTest, ClassifiesContactsAndSortsThemForTheExtensions) {
  const struct {
    DWORD uin;
    int kind;
  } kinds[] = {{kSelf, 5}, {kMember, 0}, {kOuterSame, 2}, {kOuterLM, 3}, {77, 3}};
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.uin);
    EXPECT_EQ(Util::UtilWRENMenu::ClassifyContact(k.uin), k.kind);
  }
  CKZComPtr<IKZData> bag;
  ASSERT_EQ(Util::UtilWRENMenu::BuildBuddyMenuExtContext(
                Uins({kOuterLM, kSelf, kOuterSame, kMember}), &bag),
            1);
  EXPECT_EQ(Json(bag),
            R"({"cFrom":2,"arInnerContactsUin":[10001,10002],"arLMContactsUin":[2800000002],)"
            R"("arWRENContactsUin":[2800000001]})");

  RemoveService(platform::kOuterContactService);
  EXPECT_EQ(Util::UtilWRENMenu::ClassifyContact(kOuterSame), -1);
  EXPECT_EQ(Util::UtilWRENMenu::ClassifyContact(kMember), 0);
  ASSERT_EQ(Util::UtilWRENMenu::BuildBuddyMenuExtContext(Uins({kOuterSame}), &bag), 1);
  EXPECT_EQ(Json(bag), R"({"cFrom":2,"dwUin":2800000001})");
  EXPECT_EQ(Util::UtilWRENMenu::BuildBuddyMenuExtContext(nullptr, &bag), 0);
  EXPECT_EQ(Util::UtilWRENMenu::BuildBuddyMenuExtContext(Uins({}), nullptr), 0);
  EXPECT_EQ(Util::UtilWRENMenu::RunBuddyMenuExtensionPoint(nullptr, bag), 0);
}

TEST_F(BuddyMenuTest, FrequentContactLookup) {
  data().fre_entries = {L"2_10002", L"1_10002x", L"1_10002"};
  EXPECT_EQ(Util::MarlinFreContact::IsInFreContactList(1, L"10002"), 1);
  EXPECT_EQ(Util::MarlinFreContact::IsInFreContactList(2, L"10002"), 1);
  EXPECT_EQ(Util::MarlinFreContact::IsInFreContactList(1, L"1000"), 0);
  EXPECT_EQ(Util::MarlinFreContact::IsInFreContactList(3, nullptr), 0);
  EXPECT_TRUE(logs().empty());

  RemoveService(platform::kFreContactDataService);
  EXPECT_EQ(Util::MarlinFreContact::IsInFreContactList(1, L"10002"), 0);
  ASSERT_EQ(logs().size(), 1u);
  EXPECT_EQ(logs()[0].level, 2);
  EXPECT_EQ(logs()[0].line, 60);
  EXPECT_EQ(logs()[0].module, L"ML_Others_Util::MarlinFreContact");
  EXPECT_EQ(logs()[0].message.rfind(
                L"Util::MarlinFreContact::IsInFreContactList: IMLFreContactListDataMgr获取失败"
                L"[Time=",
                0),
            0u);
}

}  // namespace
}  // namespace wrenutil_menu_test
