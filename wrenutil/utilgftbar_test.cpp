#include "wrenutil/utilgftbar.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "include/utilwrencontactinfo.h"
#include "platform/common/kzjson.h"
#include "platform/gf/gf_element.h"
#include "platform/kernelutil/contactnames.h"
#include "platform/kernelutil/tbarservices.h"
#include "platform/testing/platform_test.h"

namespace {

using Call = platform::TbarServiceCall;
using Calls = std::vector<Call>;
using Proc = void (*)(IKZData*, unsigned long*, IKZData**, int*);
namespace Tbar = Util::UtilGFTbar;

constexpr DWORD kMember = 10002;
constexpr DWORD kMemberNoInfo = 10003;
constexpr DWORD kOuter = 2800000001;
constexpr DWORD kOuterEmptyInfo = 2800000002;

Call Op(Call::Op op, std::vector<std::int64_t> args = {}) {
  return Call{op, std::move(args), nullptr, {}};
}

class TbarTest : public platform::testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    data_->members = {kMember, kMemberNoInfo};
    data_->real_names = {{kMember, L"钱伟明"}, {kOuter, L"杜鑫行"}, {kOuterEmptyInfo, L""}};
    data_->focused = {kMember, kOuter};
    platform::SetContactName(kMember, L"钱伟");
    platform::SetContactName(kMemberNoInfo, L"孙丽");
    platform::SetContactName(kOuter, L"小杜");
    platform::SetContactName(kOuterEmptyInfo, L"周敏");
    ASSERT_EQ(platform::CreateMemoryTbarServices(data_, &services_), S_OK);
    SetServices(platform::kAllTbarServices);
  }
  void TearDown() override {
    services_ = nullptr;
    platform::ClearContactNames();
    Tbar::Misc::SetOnlineShowFirst(1);
    PlatformTest::TearDown();
  }
  void SetServices(unsigned mask) { platform::RegisterTbarServices(core(), services_, mask); }
  static CKZComPtr<IKZData> Bag(const char* json) {
    CKZComPtr<IKZData> bag;
    std::string error;
    EXPECT_EQ(platform::JsonToKZData(json, &bag, &error), S_OK) << error;
    return bag;
  }
  // The assertions from the `from`-th on, as "source:line".
  std::vector<std::wstring> AssertLines(std::size_t from = 0) const {
    std::vector<std::wstring> out;
    for (std::size_t i = from; i < asserts().size(); ++i) {
      out.push_back(asserts()[i].file + L":" + std::to_wstring(asserts()[i].line));
    }
    return out;
  }
  Calls TakeCalls() { return std::exchange(data_->calls, {}); }

  std::shared_ptr<platform::TbarServiceData> data_ = std::make_shared<platform::TbarServiceData>();
  CKZComPtr<IUnknown> services_;
};

// Runs first: no test has changed the flag yet.
TEST_F(TbarTest, MiscPredicatesAndTheOnlineFirstFlag) {
  EXPECT_EQ(Tbar::Misc::GetOnlineShowFirst(), 1);
  Tbar::Misc::SetOnlineShowFirst(0);
  EXPECT_EQ(Tbar::Misc::GetOnlineShowFirst(), 0);

  const struct {
    unsigned long id;
    int outer;
  } ids[] = {{0, 0},         {120000000, 0}, {120000001, 1},   {125000000, 1},
             {130000000, 1}, {130000001, 0}, {0xFFFFFFFFul, 0}};
  for (const auto& c : ids) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(Tbar::Misc::IsOuterGroupItem(c.id), c.outer);
  }
  const int groups[] = {0, 1, 1, 0, 0};
  for (int type = 0; type < 5; ++type) {
    SCOPED_TRACE(type);
    EXPECT_EQ(Tbar::Misc::IsGroupItem(static_cast<Tbar::Ex_ItemType>(type)), groups[type]);
  }
}

TEST_F(TbarTest, DisplayNameProcedures) {
  const Call member_query = Op(Call::kIsOrgMember, {kMember});
  const struct {
    const char* label;
    Proc proc;
    DWORD uin;
    unsigned mask;  // services present
    unsigned long flags_in;
    const wchar_t* caption;
    unsigned long flags_out;
    Calls calls;
    std::vector<std::wstring> asserts;
  } cases[] = {
      {"name: bit 0 always set, no membership asked",
       Tbar::ShowNameProc,
       kMember,
       platform::kAllTbarServices,
       0x10,
       L"钱伟(10002)",
       0x11,
       {},
       {}},
      {"account is the same procedure",
       Tbar::ShowAccountProc,
       kOuter,
       platform::kAllTbarServices,
       0,
       L"小杜(2800000001)",
       1,
       {},
       {}},
      {"outer name of a member clears bit 0",
       Tbar::ShowOuterNameProc,
       kMember,
       platform::kAllTbarServices,
       0xF,
       L"钱伟",
       0xE,
       {member_query},
       {}},
      {"outer name of an outer contact sets bit 0",
       Tbar::ShowOuterNameProc,
       kOuter,
       platform::kAllTbarServices,
       0x2,
       L"小杜",
       0x3,
       {Op(Call::kIsOrgMember, {kOuter})},
       {}},
      {"no membership service: not a member",
       Tbar::ShowOuterNameProc,
       kMember,
       platform::kAllTbarServices & ~platform::kTbarOrgMembershipService,
       0,
       L"钱伟",
       1,
       {},
       {}},
      {"remark: the actual name",
       Tbar::ShowRemarkNameProc,
       kMember,
       platform::kAllTbarServices,
       1,
       L"钱伟明",
       0,
       {member_query, Op(Call::kGetContactInfo, {kMember, 0x20})},
       {}},
      {"remark: an empty actual name gives the listed name",
       Tbar::ShowRemarkNameProc,
       kOuterEmptyInfo,
       platform::kAllTbarServices,
       0,
       L"周敏",
       1,
       {Op(Call::kIsOrgMember, {kOuterEmptyInfo}),
        Op(Call::kGetContactInfo, {kOuterEmptyInfo, 0x20})},
       {}},
      {"remark: no information gives the listed name",
       Tbar::ShowRemarkNameProc,
       kMemberNoInfo,
       platform::kAllTbarServices,
       1,
       L"孙丽",
       0,
       {Op(Call::kIsOrgMember, {kMemberNoInfo}), Op(Call::kGetContactInfo, {kMemberNoInfo, 0x20})},
       {}},
      {"remark: no information service",
       Tbar::ShowRemarkNameProc,
       kMember,
       platform::kAllTbarServices & ~platform::kTbarContactInfoService,
       1,
       L"钱伟",
       0,
       {member_query},
       {L"wren\\include\\utilwrencontactinfo:212"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    SetServices(c.mask);
    const std::size_t seen = asserts().size();
    CKZComPtr<IKZData> item = Bag(("{\"dwItemID\": " + std::to_string(c.uin) + "}").c_str());
    unsigned long flags = c.flags_in;
    IKZData* caption = nullptr;
    int reserved = 7;
    c.proc(item, &flags, &caption, &reserved);
    CKZComPtr<IKZData> owner;
    owner.Attach(caption);
    ASSERT_NE(caption, nullptr);
    CKZBSTR text;
    ASSERT_EQ(caption->GetStr(L"strCaption", &text), S_OK);
    EXPECT_STREQ(text.c_str(), c.caption);
    EXPECT_EQ(flags, c.flags_out);
    EXPECT_EQ(TakeCalls(), c.calls);
    EXPECT_EQ(AssertLines(seen), c.asserts);
  }
}

TEST_F(TbarTest, DisplayNameProceduresRefuseBadInput) {
  const struct {
    Proc proc;
    int args_line;
    int caption_line;
  } procs[] = {{Tbar::ShowNameProc, 96, 103},
               {Tbar::ShowAccountProc, 96, 103},
               {Tbar::ShowOuterNameProc, 131, 138},
               {Tbar::ShowRemarkNameProc, 171, 178}};
  CKZComPtr<IKZData> item = Bag(R"({"dwItemID": 10002})");
  for (const auto& p : procs) {
    SCOPED_TRACE(p.args_line);
    const std::size_t seen = asserts().size();
    unsigned long flags = 6;
    IKZData* caption = nullptr;
    p.proc(nullptr, &flags, &caption, nullptr);
    p.proc(item, nullptr, &caption, nullptr);
    EXPECT_EQ(caption, nullptr);
    p.proc(item, &flags, nullptr, nullptr);
    EXPECT_EQ(flags, 6u);

    // No number (absent, or stored as text): an empty caption record.
    for (const char* json : {"{}", R"({"dwItemID": "10002"})"}) {
      CKZComPtr<IKZData> bad = Bag(json);
      p.proc(bad, &flags, &caption, nullptr);
      CKZComPtr<IKZData> owner;
      owner.Attach(caption);
      caption = nullptr;
      ASSERT_TRUE(owner);
      EXPECT_EQ(platform::KZDataToJson(owner), "{}");
      EXPECT_EQ(flags, 6u);
    }
    std::wstring src = L"wren\\wrenutil\\utilgftbar:";
    EXPECT_EQ(AssertLines(seen),
              (std::vector<std::wstring>{src + std::to_wstring(p.args_line),
                                         src + std::to_wstring(p.args_line),
                                         src + std::to_wstring(p.caption_line)}));
    EXPECT_EQ(TakeCalls(), Calls{});
  }
}

TEST_F(TbarTest, ShowTipsSetsTheTimingThenShowsOrHides) {
  CKZComPtr<IKZData> tip = Bag(R"({"strTip": "钱伟 在线"})");
  EXPECT_EQ(Tbar::ShowTips(2, tip), 0);
  EXPECT_TRUE(data_->tip_shown);
  EXPECT_EQ(Tbar::ShowTips(0, tip), 0);
  EXPECT_FALSE(data_->tip_shown);
  Call show = Op(Call::kShowTip);
  show.record = tip.Get();
  show.record_json = R"({"strTip":"钱伟 在线"})";
  const Call timing = Op(Call::kSetTiming, {500, 250, 0});
  EXPECT_EQ(TakeCalls(), (Calls{timing, show, timing, Op(Call::kHideTip)}));

  // A null tip record is handed on as it is.
  EXPECT_EQ(Tbar::ShowTips(1, nullptr), 0);
  Call empty = Op(Call::kShowTip);
  empty.record_json = "null";
  EXPECT_EQ(TakeCalls(), (Calls{timing, empty}));

  SetServices(platform::kAllTbarServices & ~platform::kTipWindowService);
  EXPECT_EQ(Tbar::ShowTips(1, tip), 0);
  EXPECT_EQ(TakeCalls(), Calls{});
  EXPECT_TRUE(asserts().empty());
}

TEST_F(TbarTest, UnFocusContactReadsTheFramesUserData) {
  const struct {
    const char* user_data;  // null: a frame without user data
    Calls calls;
  } cases[] = {
      {R"({"tbarClickItemType": 1, "tbarItemId": 10002, "tbarSubItemIconType": 1})",
       {Op(Call::kUnFocus, {kMember})}},
      {R"({"tbarClickItemType": 1, "tbarItemId": 10002, "tbarSubItemIconType": 0})", {}},
      {R"({"tbarClickItemType": 1, "tbarItemId": 10002})", {}},
      {R"({"tbarClickItemType": 1, "tbarSubItemIconType": 1})", {Op(Call::kUnFocus, {0})}},
      {R"({"tbarClickItemType": 0, "tbarSelectItems": [10002], "tbarItemId": 10002,
           "tbarSubItemIconType": 1})",
       {}},
      {R"({"tbarClickItemType": 2, "tbarItemId": 10002, "tbarSubItemIconType": 1})", {}},
      {nullptr, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.user_data ? c.user_data : "no user data");
    CKZComPtr<IGFElement> element;
    ASSERT_EQ(platform::CreateGFElement(L"tbar", true, &element), S_OK);
    CKZComPtr<IGFFrame> frame;
    ASSERT_EQ(element.QueryInterface(&frame), S_OK);
    if (c.user_data) frame->SetUserData(Bag(c.user_data));
    CKZComPtr<IKZData> click;
    Util::Data::CreateKZData(&click);
    click->SetInterface("frame", IGFFrame::kIid, frame);
    EXPECT_EQ(Tbar::UnFocusContact(click), 0);
    EXPECT_EQ(TakeCalls(), c.calls);
  }
  EXPECT_EQ(data_->focused, (std::set<DWORD>{kOuter}));

  // No frame in the click; a null click; no focus service.
  EXPECT_EQ(Tbar::UnFocusContact(Bag("{}")), 0);
  EXPECT_EQ(Tbar::UnFocusContact(nullptr), E_FAIL);
  EXPECT_TRUE(asserts().empty());
  SetServices(platform::kAllTbarServices & ~platform::kContactFocusService);
  EXPECT_EQ(Tbar::UnFocusContact(Bag("{}")), E_FAIL);
  EXPECT_EQ(AssertLines(), std::vector<std::wstring>{L"wren\\wrenutil\\utilgftbar:236"});
  EXPECT_EQ(TakeCalls(), Calls{});
}

TEST_F(TbarTest, ActualNameWithoutAnyNameIsEmpty) {
  EXPECT_STREQ(Util::WRENContactInfo::GetActualName(99), L"");
  EXPECT_STREQ(Util::WRENContactInfo::GetActualName(kOuter), L"杜鑫行");
  EXPECT_STREQ(Util::Contact::GetCombineName(99), L"99");
  EXPECT_EQ(TakeCalls(), (Calls{Op(Call::kGetContactInfo, {99, 0x20}),
                                Op(Call::kGetContactInfo, {kOuter, 0x20})}));
}

}  // namespace
