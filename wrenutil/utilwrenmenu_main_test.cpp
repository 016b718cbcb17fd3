#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/common/convert.h"
#include "wrenutil/testing/panelmenu_fixture.h"

namespace wrenutil_menu_test {
namespace {

using Util::UtilWRENMenu::GetMainMenu;
using Util::UtilWRENMenu::GetStatusMenu;
using Query = platform::AutoReplyData::Query;

TEST_F(PanelMenuTest, MainMenu) {
  std::int64_t live = platform::LiveObjectCount();
  IGFMenu* menu = nullptr;
  HRESULT hr = GetMainMenu(&menu);
  EXPECT_EQ(Built(hr, menu, live),
            L"MENU_MainMenu_Tool \"WREN_MainMenu_Tool\"\n"
            L"  MENU_MainMenu_MsgManager \"WREN_MainMenu_MsgManager\"\n"
            L"  MENU_MainMenu_Search \"WREN_MainMenu_Search\"\n"
            L"MENU_MainMenu_PersonalSetting \"WREN_MainMenu_PersonalSetting\"\n"
            L"MENU_MainMenu_SysSetting \"WREN_MainMenu_SysSetting\"\n"
            L"MENU_MainMenu_Help \"WREN_MainMenu_Help\"\n"
            L"  MENU_MainMenu_CheckUpdate \"WREN_MainMenu_CheckUpdate\"\n"
            L"  MENU_MainMenu_About \"WREN_MainMenu_AboutWREN\"\n"
            L"  MENU_MainMenu_Agreement \"WREN_MainMenu_Agreement\"\n"
            L"MENU_MainMenu_ChangeAccount \"WREN_MainMenu_ChangeAccount\"\n"
            L"MENU_MainMenu_Exit \"WREN_MainMenu_Exit\"\n");
  EXPECT_TRUE(asserts().empty());
}

TEST_F(PanelMenuTest, StatusMenuWithoutAutoReplyHasThreePlainItems) {
  replies_->replies = {L"开会中"};
  EXPECT_EQ(Status(0),
            L"MENU_WREN_SETONLINE \"WREN_SetOnline\"\n"
            L"MENU_WREN_SETAWAY \"WREN_SetAway\"\n"
            L"MENU_WREN_SETOFFLINE \"WREN_SetOffline\"\n");
  EXPECT_TRUE(replies_->queries.empty());
}

TEST_F(PanelMenuTest, StatusMenuWithAutoReplies) {
  const std::wstring head =
      L"MENU_WREN_SETONLINE \"WREN_SetOnline\"\n"
      L"MENU_WREN_SETAWAY \"WREN_SetAway\"\n";
  const std::wstring tail_no_reply_checked =
      L"  ----\n"
      L"  MENU_WREN_NOREPLY \"WREN_NoReply\" [x]\n"
      L"  ----\n"
      L"  MENU_WREN_CUMSTOMREPLY \"WREN_CustomReply\"\n"
      L"MENU_WREN_SETOFFLINE \"WREN_SetOffline\"\n";
  const std::wstring tail_reply_active =
      L"  ----\n"
      L"  MENU_WREN_NOREPLY \"WREN_NoReply\" [ ]\n"
      L"  ----\n"
      L"  MENU_WREN_CUMSTOMREPLY \"WREN_CustomReply\"\n"
      L"MENU_WREN_SETOFFLINE \"WREN_SetOffline\"\n";
  const struct {
    const char* label;
    int active;
    DWORD current;
    HRESULT state_result;
    HRESULT list_result;
    bool service;
    std::wstring away;
  } cases[] = {
      {"reply 1 active", 1, 1, S_OK, S_OK, true,
       L"  MENU_WREN_SETAWAY \"开会中\" [ ] +data\n"
       L"  MENU_WREN_SETAWAY \"外出\" [x] +data\n" +
           tail_reply_active},
      {"none active", 0, 1, S_OK, S_OK, true,
       L"  MENU_WREN_SETAWAY \"开会中\" [ ] +data\n"
       L"  MENU_WREN_SETAWAY \"外出\" [ ] +data\n" +
           tail_no_reply_checked},
      {"active index out of the list", 1, 5, S_OK, S_OK, true,
       L"  MENU_WREN_SETAWAY \"开会中\" [ ] +data\n"
       L"  MENU_WREN_SETAWAY \"外出\" [ ] +data\n" +
           tail_reply_active},
      {"failing state query", 1, 0, E_FAIL, S_OK, true, tail_no_reply_checked},
      {"failing list query", 1, 0, S_OK, E_FAIL, true, tail_reply_active},
      {"no service", 1, 0, S_OK, S_OK, false, tail_no_reply_checked},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    replies_->replies = {L"开会中", L"外出"};
    replies_->active = c.active;
    replies_->current = c.current;
    replies_->state_result = c.state_result;
    replies_->list_result = c.list_result;
    AddService(IKZAutoReplyService::kIid, c.service ? service_.Get() : nullptr);
    EXPECT_EQ(Status(1), head + c.away);
  }
  EXPECT_TRUE(asserts().empty());
}

TEST_F(PanelMenuTest, ReplyItemsCarryIndexAndTextAndTheStateQueryGetsNull) {
  replies_->replies = {L"开会中", L"", L"午休"};
  replies_->active = 1;
  replies_->current = 2;
  // Keep the menus the call creates: the second is the away submenu.
  auto made = std::make_shared<std::vector<CKZComPtr<IGFMenu>>>();
  core()->RegisterFactory(IGFMenu::kIid, [made](REFIID iid, void** out) -> HRESULT {
    CKZComPtr<IGFMenu> menu;
    platform::CreateGFMenu(&menu);
    made->push_back(menu);
    return menu->QueryInterface(iid, out);
  });
  IGFMenu* menu = nullptr;
  ASSERT_EQ(GetStatusMenu(&menu, 1), S_OK);
  CKZComPtr<IGFMenu> owner;
  owner.Attach(menu);
  EXPECT_EQ(replies_->queries,
            (std::vector<Query>{{Query::kState, nullptr}, {Query::kList, nullptr}}));
  ASSERT_EQ(made->size(), 2u);
  IGFMenu* away = (*made)[1].Get();
  EXPECT_EQ(platform::RenderGFMenu(away),
            L"MENU_WREN_SETAWAY \"开会中\" [ ] +data\n"
            L"MENU_WREN_SETAWAY \"\" [ ] +data\n"
            L"MENU_WREN_SETAWAY \"午休\" [x] +data\n"
            L"----\n"
            L"MENU_WREN_NOREPLY \"WREN_NoReply\" [ ]\n"
            L"----\n"
            L"MENU_WREN_CUMSTOMREPLY \"WREN_CustomReply\"\n");
  const char* const expected[] = {R"({"dwReplyIndex":0,"strStatusDetail":"开会中"})",
                                  R"({"dwReplyIndex":1,"strStatusDetail":""})",
                                  R"({"dwReplyIndex":2,"strStatusDetail":"午休"})"};
  for (DWORD i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    CKZComPtr<IGFMenuItem> item;
    ASSERT_EQ(away->GetItemAt(i, &item), S_OK);
    CKZComPtr<IKZData> bag;
    ASSERT_EQ(item->GetUserData(&bag), S_OK);
    EXPECT_EQ(Json(bag), expected[i]);
  }
  made->clear();
}

TEST_F(PanelMenuTest, MenusThatCannotBeCreated) {
  const struct {
    bool main;
    int nth;
    int line;
  } cases[] = {{true, 1, 461}, {true, 2, 471}, {true, 3, 481}, {false, 1, 388}, {false, 2, 396}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    FailMenu(c.nth);
    const std::size_t seen = asserts().size();
    std::int64_t live = platform::LiveObjectCount();
    IGFMenu* menu = reinterpret_cast<IGFMenu*>(0x1);
    EXPECT_EQ(c.main ? GetMainMenu(&menu) : GetStatusMenu(&menu, 1), E_FAIL);
    EXPECT_EQ(menu, reinterpret_cast<IGFMenu*>(0x1));
    EXPECT_EQ(platform::LiveObjectCount(), live);
    ASSERT_EQ(asserts().size(), seen + 1);
    EXPECT_EQ(asserts().back().line, c.line);
    EXPECT_EQ(asserts().back().expression, L"FALSE");
    EXPECT_EQ(asserts().back().file, kMenuSource);
  }
  EXPECT_EQ(GetMainMenu(nullptr), E_POINTER);
  EXPECT_EQ(GetStatusMenu(nullptr, 1), E_POINTER);
  EXPECT_EQ(asserts().size(), 5u);
}

TEST_F(PanelMenuTest, EveryTextKeyHasAChineseTextInTheEmbeddedTable) {
  platform::ResetStringTable();
  for (const wchar_t* key : kPanelKeys) {
    SCOPED_TRACE(Util::Convert::Utf8FromWS(key, -1).GetString());
    std::wstring text = KZLoadString(key, L"platform").GetString();
    bool chinese = false;
    for (wchar_t ch : text) chinese = chinese || (ch >= 0x4E00 && ch <= 0x9FFF);
    EXPECT_TRUE(chinese);
  }
}

}  // namespace
}  // namespace wrenutil_menu_test
