#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/common/convert.h"
#include "platform/common/perf.h"
#include "wrenutil/testing/utilwrenmenu_fixture.h"

namespace wrenutil_menu_test {
namespace {

using namespace Util::UtilWRENMenu;  // NOLINT(build/namespaces): the API under test

// Notes perf records in the call journal, so that their order against the
// actions shows.
class JournalRecorder : public platform::PerfRecorder {
 public:
  void OnRecord(const wchar_t* file, int line, int level, const wchar_t* function,
                const wchar_t* text) override {
    platform::NoteCall(std::wstring(L"perf ") + file + L":" + std::to_wstring(line) + L" L" +
                       std::to_wstring(level) + L" " + function + L" " + text);
  }
};

class ActionsTest : public MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    platform::AddReportExtension(core(), kReportPoint, [](const wchar_t* code) {
      platform::NoteCall(std::wstring(L"report ") + code);
    });
  }
  // A click bag as the client builds it: the item's name and the item
  // itself, carrying a bag with "SelectUins" (none when `with_data` is false).
  CKZComPtr<IKZData> Click(const wchar_t* name, std::initializer_list<DWORD> uins,
                           bool with_data = true) {
    CKZComPtr<IGFMenu> menu;
    platform::CreateGFMenu(&menu);
    CKZComPtr<IGFMenuItem> item;
    menu->CreateItem(&item);
    item->SetName(name);
    if (with_data) {
      CKZComPtr<IKZData> bag = Bag("{}");
      bag->SetKZArray("SelectUins", Uins(uins));
      item->SetUserData(bag);
    }
    CKZComPtr<IKZData> click = Bag("{}");
    click->SetStr("name", name);
    click->SetInterface("frame", IGFMenuItem::kIid, item);
    return click;
  }
};

using Notes = std::vector<std::wstring>;

TEST_F(ActionsTest, ClickDispatchesEveryNameOfTheTable) {
  const Notes kNotRealized = {L"MsgBox.Show(\"Not realized yet!\", \"WREN_Tip\", 0x40)"};
  const struct {
    const wchar_t* name;
    std::initializer_list<DWORD> uins;
    Notes notes;
    int assert_line;
  } cases[] = {
      {L"Send_Message",
       {kMember},
       {L"report 0x8001daa", L"report 0x8001da3", L"OpenChatSession(10002, 0)",
        L"RequestContactInfo(10002, 1, 0)"},
       0},
      {L"Send_Message",
       {kMember, kMember2},
       {L"report 0x8001daa", L"CreateDiscussion(10002 10003, no sink)"},
       0},
      {L"MENU_WREN_SENDFILE", {kMember}, kNotRealized, 0},
      {L"MENU_WREN_BROADCAST", {kMember, kMember2}, kNotRealized, 0},
      {L"MENU_WREN_STARTAUDIOSESSION", {}, kNotRealized, 0},
      {L"MENU_WREN_STARTVEDIOSESSION", {kMember}, kNotRealized, 0},
      {L"MENU_WREN_CARECONTACTSTATE", {kMember}, {}, 0},
      {L"MENU_WREN_UNCARECONTACTSTATE", {kMember}, {}, 0},
      {L"MENU_WREN_CHATRECORD", {kMember}, {L"OpenChatHistory(\"buddy\", \"10002\", 0)"}, 0},
      {L"MENU_WREN_CHATRECORD", {kMember, kMember2}, {}, 0},
      {L"MENU_WREN_USERINFO", {kMember}, {L"ShowContactCard(10002, 0, 0, 0, 0)"}, 0},
      {L"MENU_WREN_USERINFO", {kMember, kMember2}, {}, 0},
      {L"MENU_WREN_USERINFO", {kSelf}, {L"ShowSelfCard(0)"}, 0},
      {L"MENU_WREN_ADD_SHORTCUT", {kMember}, {L"ShortcutAdd(dwKey=10002, cKeyType=1)"}, 0},
      {L"MENU_WREN_DEL_SHORTCUT", {kMember}, {L"ShortcutRemove(dwKey=10002, cKeyType=1)"}, 0},
      {L"MENU_WREN_DEL_SHORTCUT", {}, {}, 0},
      {L"MENU_WREN_ADDTOUSERGROUP", {kMember}, {}, 0},
      {L"MENU_WREN_SPECALCARE", {kMember}, {}, 2250},
      {L"send_message", {kMember}, {}, 2250},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << Util::Convert::Utf8FromWS(c.name, -1).str() << " x" << c.uins.size());
    std::size_t before = asserts().size();
    EXPECT_EQ(OnClickStandardBuddyMenu(Click(c.name, c.uins)), S_OK);
    EXPECT_EQ(Journal(), c.notes);
    ASSERT_EQ(asserts().size(), before + (c.assert_line != 0 ? 1 : 0));
    if (c.assert_line != 0) {
      EXPECT_EQ(asserts().back().line, c.assert_line);
    }
  }
}

TEST_F(ActionsTest, ClickWithoutFrameOrDataFails) {
  EXPECT_EQ(OnClickStandardBuddyMenu(nullptr), S_OK);
  CKZComPtr<IKZData> no_frame = Bag(R"({"name": "Send_Message"})");
  EXPECT_EQ(OnClickStandardBuddyMenu(no_frame), E_FAIL);
  EXPECT_EQ(OnClickStandardBuddyMenu(Click(L"Send_Message", {}, false)), E_FAIL);
  EXPECT_EQ(AssertLines(), (Notes{L"2138:FALSE", L"2146:FALSE"}));
  EXPECT_EQ(Journal(), Notes{});
}

TEST_F(ActionsTest, ClickOnABuddyMenuItem) {
  CKZComPtr<IGFMenu> menu;
  ASSERT_EQ(GetBuddyMenu(Uins({kMember}), &menu, nullptr), S_OK);
  Journal();
  CKZComPtr<IGFMenuItem> item;
  CKZBSTR name(L"MENU_WREN_USERINFO");
  ASSERT_EQ(menu->GetItemByName(name, &item), S_OK);
  CKZComPtr<IKZData> click = Bag(R"({"name": "MENU_WREN_USERINFO"})");
  click->SetInterface("frame", IGFMenuItem::kIid, item);
  EXPECT_EQ(OnClickStandardBuddyMenu(click), S_OK);
  EXPECT_EQ(Journal(), (Notes{L"ShowContactCard(10002, 0, 0, 0, 0)"}));
}

TEST_F(ActionsTest, SendIMToOneContactByKind) {
  JournalRecorder recorder;
  platform::AttachPerfRecorder(&recorder);
  const std::wstring kBegin =
      L"perf wrenutil\\utilwrenmenu:723 L2 Util::UtilWRENMenu::SendIM "
      L"*.ExtPt-CallExten<OnReport(L\"0x8001da3\")>.Begin";
  const std::wstring kEnd = kBegin.substr(0, kBegin.size() - 6) + L".End";
  const struct {
    DWORD uin;
    HRESULT result;
    bool chat;
  } cases[] = {{kMember, S_OK, true},
               {kOuterSame, S_OK, true},
               {kOuterLM, E_FAIL, false},
               {kSelf, E_FAIL, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.uin);
    EXPECT_EQ(SendIM(c.uin), c.result);
    Notes expected = {kBegin, L"report 0x8001da3", kEnd};
    if (c.chat) expected.push_back(L"OpenChatSession(" + std::to_wstring(c.uin) + L", 0)");
    expected.push_back(L"RequestContactInfo(" + std::to_wstring(c.uin) + L", 1, 0)");
    EXPECT_EQ(Journal(), expected);
  }
  platform::AttachPerfRecorder(nullptr);

  // Without the outer-contact and contact-information services.
  SetServices(platform::kAllMenuServices & ~platform::kOuterContactService &
              ~platform::kContactInfoService);
  core()->RegisterExtensionPoint(kReportPoint, nullptr);
  EXPECT_EQ(SendIM(kOuterSame), E_FAIL);
  EXPECT_EQ(SendIM(kMember), S_OK);
  EXPECT_EQ(Journal(), (Notes{L"OpenChatSession(10002, 0)"}));
}

TEST_F(ActionsTest, SendIMEditsTheCallersSelection) {
  const struct {
    const char* what;
    std::initializer_list<DWORD> uins;
    HRESULT result;
    const char* left;
    Notes notes;
  } cases[] = {
      {"own number and one other",
       {kSelf, kMember},
       S_OK,
       "[10002]",
       {L"report 0x8001daa", L"report 0x8001da3", L"OpenChatSession(10002, 0)",
        L"RequestContactInfo(10002, 1, 0)"}},
      {"own number alone, twice", {kSelf, kSelf}, E_FAIL, "[]", {L"report 0x8001daa"}},
      {"three with the own number between",
       {kMember, kSelf, kOuterLM},
       S_OK,
       "[10002,2800000002]",
       {L"report 0x8001daa", L"CreateDiscussion(10002 2800000002, no sink)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CKZComPtr<IKZArray> selection = Uins(c.uins);
    CKZStringW fail_text;
    EXPECT_EQ(SendIM(selection, fail_text), c.result);
    EXPECT_EQ(Json(selection), c.left);
    EXPECT_EQ(fail_text, L"Create_Discuss_Fail");
    EXPECT_EQ(Journal(), c.notes);
  }
  EXPECT_EQ(AssertLines(), (Notes{L"849:FALSE"}));

  EXPECT_EQ(SendIM(static_cast<IKZArray*>(nullptr)), E_INVALIDARG);
  EXPECT_EQ(Journal(), (Notes{L"report 0x8001daa"}));
  EXPECT_EQ(AssertLines().back(), L"776:FALSE");
}

TEST_F(ActionsTest, PlaceholdersKeepTheirFixedResults) {
  CKZComPtr<IKZArray> selection = Uins({kMember});
  const struct {
    const char* what;
    HRESULT result;
    HRESULT expected;
  } cases[] = {
      {"SendGeneralDiscussIM", SendGeneralDiscussIM(selection, L"x"), E_FAIL},
      {"SendGeneralDiscussIM null", SendGeneralDiscussIM(nullptr, L"x"), E_INVALIDARG},
      {"CareContactState", CareContactState(kMember), E_FAIL},
      {"UnCareContactState", UnCareContactState(kMember), E_FAIL},
      {"AddToUserGroup number", AddToUserGroup(kMember, L"g"), E_FAIL},
      {"AddToUserGroup selection", AddToUserGroup(selection.Get(), L"g"), S_OK},
      {"AddToUserGroup null", AddToUserGroup(static_cast<IKZArray*>(nullptr), nullptr), S_OK},
      {"SendFile number", SendFile(kMember), S_OK},
      {"SendFile null", SendFile(static_cast<IKZArray*>(nullptr)), S_OK},
      {"SendBroadCast", SendBroadCast(kMember), S_OK},
      {"SendBroadCast null", SendBroadCast(static_cast<IKZArray*>(nullptr)), S_OK},
      {"StartAudio", StartAudio(selection.Get()), S_OK},
      {"StartAudio null", StartAudio(static_cast<IKZArray*>(nullptr)), S_OK},
      {"StartVideo", StartVideo(kMember), S_OK},
      {"StartVideo null", StartVideo(static_cast<IKZArray*>(nullptr)), S_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.result, c.expected);
  }
  OnAddToMyDeptClick(static_cast<IKZData*>(nullptr));
  OnAddToMyDeptClick(selection.Get());
  OnAddToMyDeptClick(static_cast<IKZArray*>(nullptr));
  EXPECT_EQ(Journal(), Notes(8, L"MsgBox.Show(\"Not realized yet!\", \"WREN_Tip\", 0x40)"));
  EXPECT_EQ(AssertLines(), (Notes{L"859:FALSE"}));
  EXPECT_EQ(Json(selection), "[10002]");
}

TEST_F(ActionsTest, ChatRecordCardShortcutCareAndAvoidance) {
  const struct {
    const char* what;
    std::function<HRESULT()> call;
    HRESULT result;
    Notes notes;
    int assert_line;
  } cases[] = {
      {"record buddy",
       [] { return OpenChatRecord(kMember, 4); },
       S_OK,
       {L"OpenChatHistory(\"buddy\", \"10002\", 0)"},
       0},
      {"record discuss",
       [] { return OpenChatRecord(77, 3); },
       S_OK,
       {L"OpenChatHistory(\"discuss\", \"77\", 0)"},
       0},
      {"record group",
       [] { return OpenChatRecord(78, 5); },
       S_OK,
       {L"OpenChatHistory(\"group\", \"78\", 0)"},
       0},
      {"record type 7: refused",
       [] { return OpenChatRecord(kMember, 7); },
       E_FAIL,
       {L"OpenChatHistory(\"\", \"10002\", 0)"},
       1018},
      {"own card", [] { return ViewUserInfo(kSelf); }, S_OK, {L"ShowSelfCard(0)"}, 0},
      {"shortcut of number 0", [] { return HandleShortCut(0, 1); }, S_FALSE, {}, 0},
      {"special care of number 0", [] { return SetSpecialCare(0); }, S_FALSE, {}, 0},
      {"special care on",
       [] { return SetSpecialCare(kMember); },
       S_OK,
       {L"SetSpecialCare(10002, 1, 1)"},
       0},
      {"special care off",
       [] { return SetSpecialCare(kMember); },
       S_OK,
       {L"SetSpecialCare(10002, 0, 1)"},
       0},
      {"avoid",
       [] { return SetMsgAvoidance(kMember); },
       S_OK,
       {L"SetC2CAvoidanceFlag(10002, 4)"},
       0},
      {"stop avoiding",
       [] { return SetMsgAvoidance(kMember); },
       S_OK,
       {L"SetC2CAvoidanceFlag(10002, 5)"},
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::size_t before = asserts().size();
    EXPECT_EQ(c.call(), c.result);
    EXPECT_EQ(Journal(), c.notes);
    ASSERT_EQ(asserts().size(), before + (c.assert_line != 0 ? 1 : 0));
    if (c.assert_line != 0) {
      EXPECT_EQ(asserts().back().line, c.assert_line);
    }
  }
}

TEST_F(ActionsTest, MissingServicesSkipTheActions) {
  SetServices(0);
  EXPECT_EQ(OpenChatRecord(kMember, 4), E_FAIL);
  EXPECT_EQ(ViewUserInfo(kSelf), E_FAIL);
  EXPECT_EQ(ViewUserInfo(kMember), E_FAIL);
  EXPECT_EQ(HandleShortCut(kMember, 1), S_OK);
  EXPECT_EQ(SetSpecialCare(kMember), S_OK);
  EXPECT_EQ(SendIM(Uins({kMember, kMember2})), S_OK);
  EXPECT_EQ(Journal(), (Notes{L"report 0x8001daa"}));
  EXPECT_EQ(AssertLines(), (Notes{L"999:FALSE", L"1032:FALSE"}));

  data().chat_history_result = E_FAIL;
  SetServices(platform::kAllMenuServices);
  EXPECT_EQ(OpenChatRecord(kMember, 4), E_FAIL);
  EXPECT_EQ(AssertLines().back(), L"1018:FALSE");
}

TEST_F(ActionsTest, DiscussionListenerHandlesBothOutcomes) {
  CInternalMenuListener listener;
  IKZCallback* callback = listener.callback();
  platform::OpenChatSessionForTesting(5000, 3);
  const struct {
    const char* what;
    std::int32_t code;
    const char* bag;  // null: no bag
    Notes notes;
  } cases[] = {
      {"created, session open", -2, R"({"dwDisUin": 5000})", {L"ChatFrameEvent(5000, 3, 103)"}},
      {"created, no session", -2, R"({"dwDisUin": 5001})", {}},
      {"created, no bag", -2, nullptr, {}},
      {"failed with a prompt",
       7,
       R"({"strFailPrompt": "busy"})",
       {L"MessageBoxW(\"busy\", \"CF_MESSAGE_TITLE\", 0x30)"}},
      {"failed, empty prompt",
       7,
       R"({"strFailPrompt": ""})",
       {L"MessageBoxW(\"CF_CREATEDISCUSS_FAIL\", \"CF_MESSAGE_TITLE\", 0x30)"}},
      {"failed, no bag",
       0,
       nullptr,
       {L"MessageBoxW(\"CF_CREATEDISCUSS_FAIL\", \"CF_MESSAGE_TITLE\", 0x30)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CKZComPtr<IKZData> bag = c.bag ? Bag(c.bag) : nullptr;
    EXPECT_EQ(callback->OnCallback(c.code, bag), S_OK);
    EXPECT_EQ(Journal(), c.notes);
  }
}

}  // namespace
}  // namespace wrenutil_menu_test
