// The fixture of the main-panel and tab-bar menu tests: the contact-menu
// fixture, the texts of these menus equal to their keys, an in-memory
// auto-reply service over `replies_`, and helpers to fail menu creation and
// to check what a built menu holds.
#ifndef WRENUTIL_WRENUTIL_TESTING_PANELMENU_FIXTURE_H_
#define WRENUTIL_WRENUTIL_TESTING_PANELMENU_FIXTURE_H_

#include <cstdint>
#include <memory>
#include <string>

#include "platform/kernelutil/autoreply.h"
#include "wrenutil/testing/utilwrenmenu_fixture.h"

namespace wrenutil_menu_test {

// The text keys of the main-panel and tab-bar menus.
inline const wchar_t* const kPanelKeys[] = {L"WREN_MainMenu_MsgManager",
                                            L"WREN_MainMenu_Search",
                                            L"WREN_MainMenu_Tool",
                                            L"WREN_MainMenu_PersonalSetting",
                                            L"WREN_MainMenu_SysSetting",
                                            L"WREN_MainMenu_CheckUpdate",
                                            L"WREN_MainMenu_AboutWREN",
                                            L"WREN_MainMenu_Agreement",
                                            L"WREN_MainMenu_Help",
                                            L"WREN_MainMenu_ChangeAccount",
                                            L"WREN_MainMenu_Exit",
                                            L"WREN_SetOnline",
                                            L"WREN_SetAway",
                                            L"WREN_NoReply",
                                            L"WREN_CustomReply",
                                            L"WREN_SetOffline",
                                            L"WREN_OnlineFirstRank",
                                            L"WREN_MainMenu_UpdateOrg",
                                            L"WREN_MianMenu_HidDeactEmp",
                                            L"WRENMenu_ShowRemark",
                                            L"WREN_ShowName",
                                            L"WREN_ShowAllContact",
                                            L"WREN_ShowOnlineContact",
                                            L"WRENMenu_RefreshBuddyList",
                                            L"WRENMenu_ShowStranger",
                                            L"WRENMenu_ShowBlackList"};

class PanelMenuTest : public MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    for (const wchar_t* key : kPanelKeys) platform::SetLocalString(L"platform", key, key);
    ASSERT_EQ(platform::CreateMemoryAutoReplyService(replies_, &service_), S_OK);
    AddService(IKZAutoReplyService::kIid, service_);
  }
  void TearDown() override {
    service_ = nullptr;
    MenuTest::TearDown();
  }
  // Menus made from now on: the `nth` (1-based) cannot be created.
  void FailMenu(int nth) {
    auto made = std::make_shared<int>(0);
    core()->RegisterFactory(IGFMenu::kIid, [nth, made](REFIID iid, void** out) -> HRESULT {
      *out = nullptr;
      if (++*made == nth) return E_FAIL;
      CKZComPtr<IGFMenu> menu;
      platform::CreateGFMenu(&menu);
      return menu->QueryInterface(iid, out);
    });
  }
  // The render of the built menu; checks that the caller holds its only
  // reference and that releasing it frees everything the call made.
  std::wstring Built(HRESULT hr, IGFMenu* menu, std::int64_t live_before) {
    EXPECT_EQ(hr, S_OK);
    if (menu == nullptr) return L"(no menu)";
    EXPECT_EQ(RefCount(menu), 1u);
    std::wstring text = platform::RenderGFMenu(menu);
    menu->Release();
    EXPECT_EQ(platform::LiveObjectCount(), live_before);
    return text;
  }
  std::wstring Status(int with_auto_reply) {
    std::int64_t live = platform::LiveObjectCount();
    IGFMenu* menu = nullptr;
    HRESULT hr = Util::UtilWRENMenu::GetStatusMenu(&menu, with_auto_reply);
    return Built(hr, menu, live);
  }

  std::shared_ptr<platform::AutoReplyData> replies_ = std::make_shared<platform::AutoReplyData>();
  CKZComPtr<IKZAutoReplyService> service_;
};

}  // namespace wrenutil_menu_test

#endif  // WRENUTIL_WRENUTIL_TESTING_PANELMENU_FIXTURE_H_
