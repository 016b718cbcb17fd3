#include "wrenutil/utilwrenmenu_frequent.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "include/frecontact/utilwrenfrecontact.h"
#include "platform/afutil/mainframe.h"
#include "platform/common/kzdialog.h"
#include "platform/common/lifetime.h"
#include "platform/common/perf.h"
#include "platform/gf/gf_event.h"
#include "platform/kernelutil/configservice.h"
#include "platform/kernelutil/frequentcontacts.h"
#include "platform/kernelutil/rights.h"
#include "wrenutil/testing/utilwrenmenu_fixture.h"

namespace wrenutil_menu_test {
namespace {

using namespace Util::UtilWRENMenu::FrequentContactsMenu;  // NOLINT(build/namespaces)
using platform::FrequentOperation;
using Notes = std::vector<std::wstring>;

constexpr DWORD kNone = static_cast<DWORD>(-1);
constexpr DWORD kOuter3 = 2800000005;  // a third outer contact of kind 1

class FrequentMenuTest : public MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    for (const wchar_t* key : {L"Contacts_newClass", L"WREN_Frequent_AddFolderWndTitle",
                               L"WREN_Frequent_AddFolderWndDsc"}) {
      platform::SetLocalString(L"platform", key, key);
    }
    platform::SetLocalString(L"platform", L"FrequentPage_Menu_AddContact_MaxLimit2",
                             L"per folder _MAXCOUNT_");
    platform::SetLocalString(L"platform", L"FrequentPage_Menu_AddContact_MaxLimit3",
                             L"in total _MAXCOUNT_");
    data().account_kinds[kOuter3] = 1;
    Reset();
    CKZComPtr<IKZMainFrameService> frame;
    platform::CreateMemoryMainFrameService(&frame);
    AddService(IKZMainFrameService::kIid, frame);
    platform::RegisterDialogObjects(core());
    platform::AddReportExtension(core(), kReportPoint, [](const wchar_t* code) {
      platform::NoteCall(std::wstring(L"report ") + code);
    });
    platform::TakeCallJournal();
  }
  void TearDown() override {
    manager_ = nullptr;
    MenuTest::TearDown();
  }

  // Back to the start between the cases of a table: a new manager in which
  // folder 1 "Colleagues" holds 10002 and folder 2 "Friends" holds 10003, no
  // rights, the default limits, no answers, an empty journal; assertions
  // counted from here.
  void Reset() {
    platform::FrequentContactsState state;
    state.folders = {{1, L"Colleagues", {kMember}}, {2, L"Friends", {kMember2}}};
    manager_ = nullptr;
    ASSERT_EQ(platform::CreateFrequentContactsManager(platform::CreateMemoryFrequentStore(state),
                                                      &manager_),
              S_OK);
    AddService(IFrequentContactsMgr::kIid, manager_);
    SetRights(0);
    SetLimits(20, 500, 100);
    platform::TakeCallJournal();
    seen_asserts_ = asserts().size();
  }
  // Assertions since the last Reset.
  Notes NewAsserts() const {
    Notes all = AssertLines();
    return Notes(all.begin() + static_cast<std::ptrdiff_t>(seen_asserts_), all.end());
  }

  void SetRights(DWORD flags) {
    CKZComPtr<IKZRightService> rights;
    platform::CreateMemoryRightService(flags, &rights);
    AddService(IKZRightService::kIid, rights);
  }
  void SetLimits(DWORD groups, DWORD contacts, DWORD per_group) {
    CKZComPtr<IKZServerConfigService> config;
    platform::CreateMemoryServerConfigService(
        {{L"MaxNumOfGroup", std::to_wstring(groups)},
         {L"MaxNumOfContact", std::to_wstring(contacts)},
         {L"MaxNumOfContactPerGroup", std::to_wstring(per_group)}},
        &config);
    AddService(IKZServerConfigService::kIid, config);
  }
  // Fills folder `id` up to `count` contacts with numbers from 50000 on.
  void FillFolder(DWORD id, DWORD count) {
    CKZComPtr<IKZArray> uins;
    Util::Data::CreateKZArray(&uins);
    for (DWORD i = 0; i < count; ++i) uins->AddDWord(50000 + id * 1000 + i);
    ASSERT_EQ(manager_->AddContacts(uins, id), S_OK);
    platform::TakeCallJournal();
  }
  std::vector<DWORD> FolderContacts(DWORD id) {
    CKZComPtr<IKZArray> uins;
    manager_->GetFolderContacts(id, &uins);
    std::vector<DWORD> out;
    DWORD count = 0;
    if (uins) uins->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
      DWORD uin = 0;
      uins->GetDWord(i, &uin);
      out.push_back(uin);
    }
    return out;
  }
  // Builds the folder menu for `uins`; the result in *result.
  CKZComPtr<IGFMenu> Build(std::initializer_list<DWORD> uins, IKZData* context = nullptr,
                           IKZArray* excluded = nullptr, int* result = nullptr) {
    IGFMenu* menu = nullptr;
    int r = GetFrequentFolderMenu(Uins(uins), &menu, context, excluded, nullptr);
    if (result != nullptr) *result = r;
    CKZComPtr<IGFMenu> owner;
    owner.Attach(menu);
    return owner;
  }
  // Chooses the top-level item at `index` the way the user does.
  HRESULT Choose(IGFMenu* menu, DWORD index) { return platform::ChooseGFMenuItem(menu, index); }

  CKZComPtr<IFrequentContactsHost> manager_;
  // The answer the input dialog gets (nullopt: cancelled).
  void Answer(std::optional<std::wstring> text) {
    dialogs().QueueAnswer(text ? platform::DialogAnswer::Confirm(*text)
                               : platform::DialogAnswer::Cancel());
  }
  std::size_t seen_asserts_ = 0;
};

// ---------------------------------------------------------------------------
// Building the menu.

TEST_F(FrequentMenuTest, MenuListsFoldersThenSeparatorThenAddFolder) {
  FillFolder(2, 99);  // "Friends" full: 100 of 100
  int result = 0;
  CKZComPtr<IGFMenu> menu = Build({kMember}, nullptr, nullptr, &result);
  ASSERT_TRUE(menu);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(platform::RenderGFMenu(menu),
            L"strFrequentFoldeItem \"Colleagues\" flag=0 +data\n"
            L"strFrequentFoldeItem \"Friends\" (greyed) flag=0 +data\n"
            L"----\n"
            L"Frequent_Add_Folder \"Contacts_newClass\" +data\n");
  EXPECT_EQ(RefCount(menu), 1u);
  CKZComPtr<IGFEventSource> events;
  ASSERT_EQ(menu.QueryInterface(&events), S_OK);
  DWORD listeners = 0;
  events->GetEventListenerCount(platform::kGFMenuItemChosen, &listeners);
  EXPECT_EQ(listeners, 1u);
  EXPECT_TRUE(asserts().empty());
}

TEST_F(FrequentMenuTest, ItemBagsCarryFolderIdAndContext) {
  CKZComPtr<IKZData> context = Bag(R"({"dwFromFolderId": 2, "bShowAllFolders": 1})");
  CKZComPtr<IGFElement> frame_element;
  platform::CreateGFElement(L"card", true, &frame_element);
  CKZComPtr<IGFFrame> frame;
  frame_element.QueryInterface(&frame);
  IGFMenu* raw = nullptr;
  ASSERT_EQ(GetFrequentFolderMenu(Uins({kMember}), &raw, context, nullptr, frame), 1);
  CKZComPtr<IGFMenu> menu;
  menu.Attach(raw);
  CKZComPtr<IGFMenuItem> item;
  CKZComPtr<IKZData> bag;
  menu->GetItemAt(1, &item);
  item->GetUserData(&bag);
  EXPECT_EQ(Json(bag), R"({"dwFolderId":2,"dwFromFolderId":2,"bShowAllFolders":1})");
  item = nullptr;
  bag = nullptr;
  menu->GetItemAt(3, &item);
  item->GetUserData(&bag);
  CKZComPtr<IGFFrame> parent;
  bag->GetInterface("pParentWnd", IGFFrame::kIid, reinterpret_cast<void**>(&parent));
  EXPECT_EQ(parent.Get(), frame.Get());
}

TEST_F(FrequentMenuTest, SelectionFilterAndOfferCheck) {
  const struct Case {
    const char* name;
    std::vector<DWORD> uins;
    DWORD rights;
    bool org_service;
    int result;
    bool menu;
    std::vector<DWORD> selection;
  } kCases[] = {
      {"own number only", {kSelf}, 1, true, 0, false, {}},
      {"zero and own number", {0, kSelf}, 1, true, 0, false, {}},
      {"member", {kMember, kSelf}, 0, true, 1, true, {kMember}},
      {"outer of kind 1 without rights", {kOuterSame}, 0, true, 0, false, {kOuterSame}},
      {"outer of kind 1 with rights", {kOuterSame}, 1, true, 1, true, {kOuterSame}},
      {"outer of kind 1 beside a member",
       {kOuterSame, kMember},
       0,
       true,
       1,
       true,
       {kOuterSame, kMember}},
      {"LM account is never taken", {kOuterLM}, 1, true, 0, false, {}},
      {"rights only in bit 0", {kOuterSame}, 0xFFFFFFFEu, true, 0, false, {kOuterSame}},
      {"no membership service", {kOuterSame, kMember}, 1, false, 0, false, {kOuterSame}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    SetRights(c.rights);
    if (!c.org_service) AddService(IKZOrgMembershipService::kIid, nullptr);
    CKZComPtr<IKZArray> uins;
    Util::Data::CreateKZArray(&uins);
    for (DWORD uin : c.uins) uins->AddDWord(uin);
    IGFMenu* menu = nullptr;
    EXPECT_EQ(GetFrequentFolderMenu(uins, &menu, nullptr, nullptr, nullptr), c.result);
    EXPECT_EQ(menu != nullptr, c.menu);
    if (menu) menu->Release();
    CKZComPtr<IKZArray> expected;
    Util::Data::CreateKZArray(&expected);
    for (DWORD uin : c.selection) expected->AddDWord(uin);
    EXPECT_EQ(Json(CMenuEvtSink::Instance().selection()), Json(expected));
    if (!c.org_service) {
      CKZComPtr<IKZOrgMembershipHost> org;
      platform::CreateMemoryOrgMembershipService({kSelf, kMember, kMember2}, &org);
      AddService(IKZOrgMembershipService::kIid, org);
    }
  }
  EXPECT_TRUE(asserts().empty());
}

TEST_F(FrequentMenuTest, FolderSetsDecideWhatIsListed) {
  CKZComPtr<IKZArray> both = Uins({1, 2});
  CKZComPtr<IKZArray> with_bad = Uins({2});
  with_bad->AddStr(L"x");  // reads as -1: ignored
  with_bad->AddDWord(kNone);
  const struct Case {
    const char* name;
    const char* context;
    IKZArray* excluded;
    const wchar_t* top;
    int result;
  } kCases[] = {
      {"all folders", nullptr, nullptr,
       L"strFrequentFoldeItem strFrequentFoldeItem ---- Frequent_Add_Folder", 1},
      {"only folders holding a contact", R"({"bShowAllFolders": 0})", nullptr,
       L"strFrequentFoldeItem ---- Frequent_Add_Folder", 1},
      {"flag stored as bool", R"({"bShowAllFolders": false})", nullptr,
       L"strFrequentFoldeItem ---- Frequent_Add_Folder", 1},
      {"every folder excluded: no separator", nullptr, both.Get(), L"Frequent_Add_Folder", 1},
      {"bad excluded elements ignored", nullptr, with_bad.Get(),
       L"strFrequentFoldeItem ---- Frequent_Add_Folder", 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CKZComPtr<IKZData> context = c.context ? Bag(c.context) : nullptr;
    int result = -1;
    CKZComPtr<IGFMenu> menu = Build({kMember}, context, c.excluded, &result);
    ASSERT_TRUE(menu);
    EXPECT_EQ(TopNames(menu), c.top);
    EXPECT_EQ(result, c.result);
  }
  // The folder listed is "Colleagues", the one holding 10002.
  const std::wstring text =
      platform::RenderGFMenu(Build({kMember}, Bag(R"({"bShowAllFolders": 0})")));
  EXPECT_NE(text.find(L"Colleagues"), std::wstring::npos);
  EXPECT_EQ(text.find(L"Friends"), std::wstring::npos);
}

TEST_F(FrequentMenuTest, LimitsGreyItemsWithUnsignedComparisons) {
  const struct Case {
    DWORD groups, per_group;
    const wchar_t* top;
  } kCases[] = {
      {2, 100, L"strFrequentFoldeItem strFrequentFoldeItem ---- Frequent_Add_Folder!"},
      {3, 2, L"strFrequentFoldeItem strFrequentFoldeItem ---- Frequent_Add_Folder"},
      {3, 1, L"strFrequentFoldeItem! strFrequentFoldeItem! ---- Frequent_Add_Folder"},
      // A limit above 2^31 still compares greater.
      {0x80000000u, 0x80000000u,
       L"strFrequentFoldeItem strFrequentFoldeItem ---- Frequent_Add_Folder"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.per_group);
    SetLimits(c.groups, 500, c.per_group);
    EXPECT_EQ(TopNames(Build({kMember})), c.top);
  }
}

TEST_F(FrequentMenuTest, MissingPiecesGiveNoMenu) {
  IGFMenu* menu = nullptr;
  EXPECT_EQ(GetFrequentFolderMenu(Uins({kMember}), nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(GetFrequentFolderMenu(nullptr, &menu, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(menu, nullptr);

  manager_->SetFailure(FrequentOperation::kFolderList, E_FAIL);
  EXPECT_FALSE(Build({kMember}));
  manager_->SetFailure(FrequentOperation::kFolderList, S_OK);
  manager_->SetFailure(FrequentOperation::kLimits, E_FAIL);
  EXPECT_FALSE(Build({kMember}));
  EXPECT_EQ(AssertLines(), (Notes{L"2572:FALSE"}));
  manager_->SetFailure(FrequentOperation::kLimits, S_OK);

  AddService(IKZRightService::kIid, nullptr);  // a member still passes, with the rights assertion
  EXPECT_TRUE(Build({kMember}));
  EXPECT_EQ(AssertLines(), (Notes{L"2572:FALSE", L"31:FALSE"}));

  FailItemsOfMenu(1);
  int result = -1;
  CKZComPtr<IGFMenu> empty = Build({kMember}, nullptr, nullptr, &result);
  EXPECT_EQ(TopNames(empty), L"");
  EXPECT_EQ(result, 1);

  core()->RegisterFactory(IGFMenu::kIid, nullptr);
  EXPECT_FALSE(Build({kMember}));
  AddService(IFrequentContactsMgr::kIid, nullptr);
  platform::RegisterGFObjects(core());
  EXPECT_FALSE(Build({kMember}));
  // The rights service stays missing: each build after it asserts again.
  EXPECT_EQ(AssertLines(),
            (Notes{L"2572:FALSE", L"31:FALSE", L"31:FALSE", L"31:FALSE", L"31:FALSE"}));
}

TEST_F(FrequentMenuTest, EmptyFolderListStillHandsOutTheMenu) {
  CKZComPtr<IFrequentContactsHost> empty;
  platform::CreateFrequentContactsManager(nullptr, &empty);
  AddService(IFrequentContactsMgr::kIid, empty);
  int result = -1;
  CKZComPtr<IGFMenu> menu = Build({kMember}, nullptr, nullptr, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(TopNames(menu), L"Frequent_Add_Folder");
}

TEST_F(FrequentMenuTest, AddContactMenuOverloads) {
  IGFMenu* menu = nullptr;
  EXPECT_EQ(GetAddContactMenu(kMember2, &menu, nullptr), 1);
  ASSERT_NE(menu, nullptr);
  menu->Release();
  menu = nullptr;
  EXPECT_EQ(GetAddContactMenu(Uins({kMember}), &menu, Bag(R"({"bShowAllFolders": 0})"), nullptr),
            1);
  EXPECT_EQ(TopNames(menu), L"strFrequentFoldeItem ---- Frequent_Add_Folder");
  menu->Release();
  EXPECT_EQ(GetAddContactMenu(kSelf, nullptr, nullptr), 0);
  menu = nullptr;
  EXPECT_EQ(GetAddContactMenu(nullptr, &menu, nullptr, nullptr), 0);
  EXPECT_EQ(GetAddContactMenu(Uins({kMember}), nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(menu, nullptr);
}

// ---------------------------------------------------------------------------
// Clicks, delivered through the menu's GF event.

TEST_F(FrequentMenuTest, ClickAddsOrMovesAndReports) {
  const struct Case {
    const char* name;
    const char* context;
    DWORD index;
    Notes journal;
    std::vector<DWORD> folder1, folder2;
  } kCases[] = {
      {"add without context: no report",
       nullptr,
       1,
       {L"FrequentAdd(10002 -> 2)"},
       {kMember},
       {kMember2, kMember}},
      {"add",
       R"({"bShowAllFolders": 1})",
       1,
       {L"FrequentAdd(10002 -> 2)", L"report 0x80024d4"},
       {kMember},
       {kMember2, kMember}},
      {"move",
       R"({"bShowAllFolders": 1, "dwFromFolderId": 1})",
       1,
       {L"FrequentAdd(10002 -> 2)", L"FrequentRemove(10002 <- 1)", L"report 0x80024d5"},
       {},
       {kMember2, kMember}},
      {"again into a folder that holds it",
       nullptr,
       0,
       {L"FrequentAdd(10002 -> 1)"},
       {kMember},
       {kMember2}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Reset();
    CKZComPtr<IGFMenu> menu = Build({kMember}, c.context ? Bag(c.context) : nullptr);
    EXPECT_EQ(Choose(menu, c.index), S_OK);
    EXPECT_EQ(Journal(), c.journal);
    EXPECT_EQ(FolderContacts(1), c.folder1);
    EXPECT_EQ(FolderContacts(2), c.folder2);
    menu = nullptr;
  }
}

TEST_F(FrequentMenuTest, FailedAddRemovesNothing) {
  manager_->SetFailure(FrequentOperation::kAdd, E_FAIL);
  CKZComPtr<IGFMenu> menu = Build({kMember}, Bag(R"({"bShowAllFolders": 1, "dwFromFolderId": 1})"));
  EXPECT_EQ(Choose(menu, 1), S_OK);
  EXPECT_EQ(Journal(), (Notes{L"report 0x80024d5"}));
  EXPECT_EQ(FolderContacts(1), (std::vector<DWORD>{kMember}));
}

TEST_F(FrequentMenuTest, LimitsAreStrictAndShowTheirMessage) {
  const struct Case {
    const char* name;
    DWORD fill;  // contacts already in folder 1
    DWORD total_limit;
    std::initializer_list<DWORD> uins;
    Notes journal;
  } kCases[] = {
      {"three into 98 of 100",
       97,
       500,
       {kMember2, kOuterSame, kOuter3},
       {L"MessageBoxExW(\"per folder 100\", \"CF_MESSAGE_TITLE\", 0x30)"}},
      {"two into 98 of 100: reaches the limit",
       97,
       500,
       {kMember2, kOuterSame},
       {L"FrequentAdd(10003 2800000001 -> 1)"}},
      {"over the total",
       0,
       3,
       {kOuterSame, kOuter3},
       {L"MessageBoxExW(\"in total 3\", "
        L"\"CF_MESSAGE_TITLE\", 0x30)"}},
      {"reaching the total",
       0,
       4,
       {kOuterSame, kOuter3},
       {L"FrequentAdd(2800000001 2800000005 -> 1)"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Reset();
    SetRights(1);
    FillFolder(1, c.fill);
    SetLimits(20, c.total_limit, 100);
    CKZComPtr<IGFMenu> menu = Build(c.uins);
    EXPECT_EQ(Choose(menu, 0), S_OK);
    EXPECT_EQ(Journal(), c.journal);
    menu = nullptr;
  }
}

TEST_F(FrequentMenuTest, ClickOnAnOlderMenuActsOnTheNewestSelection) {
  CKZComPtr<IGFMenu> older = Build({kMember});
  CKZComPtr<IGFMenu> newer = Build({kMember2});
  EXPECT_EQ(Choose(older, 0), S_OK);
  EXPECT_EQ(Journal(), (Notes{L"FrequentAdd(10003 -> 1)"}));
  // A refused offer leaves an empty selection: the old menu adds nothing.
  EXPECT_FALSE(Build({kSelf}));
  EXPECT_EQ(Choose(older, 1), S_OK);
  EXPECT_EQ(Journal(), Notes{});
}

TEST_F(FrequentMenuTest, AddFolderDialog) {
  const struct Case {
    const char* name;
    std::optional<std::wstring> answer;
    Notes journal;
  } kCases[] = {
      {"named",
       L"Team",
       {L"MainFrame.BeginModal", L"MainFrame.EndModal", L"FrequentCreateFolder(1, \"Team\") = 3",
        L"FrequentAdd(10002 -> 3)"}},
      {"cut to 24 UTF-8 bytes",
       L"一二三四五六七八九",
       {L"MainFrame.BeginModal", L"MainFrame.EndModal",
        L"FrequentCreateFolder(1, \"一二三四五六七八\") = 3", L"FrequentAdd(10002 -> 3)"}},
      {"cancelled", std::nullopt, {L"MainFrame.BeginModal", L"MainFrame.EndModal"}},
      {"empty", L"", {L"MainFrame.BeginModal", L"MainFrame.EndModal"}},
      {"blank: the manager refuses", L"   ", {L"MainFrame.BeginModal", L"MainFrame.EndModal"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Reset();
    Answer(c.answer);
    CKZComPtr<IGFMenu> menu = Build({kMember});
    EXPECT_EQ(Choose(menu, 3), S_OK);
    EXPECT_EQ(Journal(), c.journal);
    menu = nullptr;
  }
  // What the dialog was asked, once per case.
  const std::wstring kAsked =
      L"InputDialog(no owner, \"WREN_Frequent_AddFolderWndTitle\", "
      L"\"WREN_Frequent_AddFolderWndDsc\", \"\", limit 24 utf8)";
  const std::vector<std::wstring> transcript = dialogs().Transcript();
  ASSERT_EQ(transcript.size(), 5u);
  EXPECT_EQ(transcript[0], kAsked + L" -> \"Team\"");
  EXPECT_EQ(transcript[2], kAsked + L" -> cancel");
}

TEST_F(FrequentMenuTest, AddFolderWithoutDialogOrMainFrame) {
  AddService(IKZMainFrameService::kIid, nullptr);
  Answer(L"Team");
  CKZComPtr<IGFMenu> menu = Build({kMember});
  EXPECT_EQ(Choose(menu, 3), S_OK);
  EXPECT_EQ(Journal().front(), L"FrequentCreateFolder(1, \"Team\") = 3");
  core()->RegisterFactory(IKZInputDialog::kClsid, nullptr);
  EXPECT_EQ(Choose(menu, 3), S_OK);
  EXPECT_EQ(Journal(), Notes{});
  EXPECT_EQ(AssertLines(), (Notes{L"2838:FALSE"}));
}

TEST_F(FrequentMenuTest, BadClickBags) {
  CMenuEvtSink& sink = CMenuEvtSink::Instance();
  CKZComPtr<IGFMenu> menu = Build({kMember});
  CKZComPtr<IGFMenuItem> bare;
  menu->CreateItem(&bare);
  const struct Case {
    const char* name;
    std::function<CKZComPtr<IKZData>()> bag;
    HRESULT result;
    Notes asserts;
  } kCases[] = {
      {"no frame",
       [] { return Bag(R"({"name": "strFrequentFoldeItem"})"); },
       E_FAIL,
       {L"2669:FALSE"}},
      {"frame without data",
       [&] {
         CKZComPtr<IKZData> bag = Bag(R"({"name": "strFrequentFoldeItem"})");
         bag->SetInterface("frame", IGFFrame::kIid, bare);
         return bag;
       },
       E_FAIL,
       {L"2677:FALSE"}},
      {"folder vanished",
       [&] {
         CKZComPtr<IKZData> data = Bag(R"({"dwFolderId": 77})");
         bare->SetUserData(data);
         CKZComPtr<IKZData> bag = Bag(R"({"name": "strFrequentFoldeItem"})");
         bag->SetInterface("frame", IGFFrame::kIid, bare);
         return bag;
       },
       E_FAIL,
       {L"2709:FALSE"}},
      {"no folder id: nothing to do",
       [&] {
         bare->SetUserData(Bag("{}"));
         CKZComPtr<IKZData> bag = Bag("{}");
         bag->SetInterface("frame", IGFFrame::kIid, bare);
         return bag;
       },
       S_OK,
       {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Reset();
    EXPECT_EQ(sink.OnClickMenuItem(nullptr, 102, c.bag()), c.result);
    EXPECT_EQ(NewAsserts(), c.asserts);
    EXPECT_EQ(Journal(), Notes{});
  }
  EXPECT_EQ(sink.OnClickMenuItem(nullptr, 102, nullptr), E_FAIL);
}

TEST_F(FrequentMenuTest, SinkIsOneDeclaredProcessObject) {
  CMenuEvtSink& sink = CMenuEvtSink::Instance();
  EXPECT_EQ(&sink, &CMenuEvtSink::Instance());
  Build({kMember});
  const std::int64_t declared = platform::ProcessObjectCount();
  Build({kMember2});
  // Listener, frequent-contacts sink and the one current selection.
  EXPECT_EQ(platform::ProcessObjectCount(), declared);
  EXPECT_EQ(sink.frequent_sink()->OnEvent1(), E_NOTIMPL);
  EXPECT_EQ(sink.frequent_sink()->OnEvent8(1, 2, 3), E_NOTIMPL);
}

}  // namespace
}  // namespace wrenutil_menu_test

namespace wrenutil_menu_test {
namespace {

// Notes each performance record in the call journal.
class JournalRecorder : public platform::PerfRecorder {
 public:
  void OnRecord(const wchar_t* file, int line, int, const wchar_t* function,
                const wchar_t* text) override {
    platform::NoteCall(std::wstring(L"perf ") + file + L":" + std::to_wstring(line) + L" " +
                       function + L" " + text);
  }
};

TEST_F(FrequentMenuTest, ReportsCarryTheirLinesInAPerformanceScope) {
  JournalRecorder recorder;
  platform::AttachPerfRecorder(&recorder);
  const std::wstring kFunction =
      L" Util::UtilWRENMenu::FrequentContactsMenu::CMenuEvtSink::OnClickMenuItem ";
  CKZComPtr<IGFMenu> menu = Build({kMember}, Bag(R"({"bShowAllFolders": 0})"));
  Choose(menu, 0);
  menu = Build({kMember}, Bag(R"({"bShowAllFolders": 1, "dwFromFolderId": 2})"));
  Choose(menu, 0);
  platform::AttachPerfRecorder(nullptr);
  EXPECT_EQ(Journal(), (Notes{L"FrequentAdd(10002 -> 1)",
                              L"perf wrenutil\\utilwrenmenu:2765" + kFunction +
                                  L"*.ExtPt-CallExten<OnReport(L\"0x80024d4\")>.Begin",
                              L"report 0x80024d4",
                              L"perf wrenutil\\utilwrenmenu:2765" + kFunction +
                                  L"*.ExtPt-CallExten<OnReport(L\"0x80024d4\")>.End",
                              L"FrequentAdd(10002 -> 1)", L"FrequentRemove(10002 <- 2)",
                              L"perf wrenutil\\utilwrenmenu:2760" + kFunction +
                                  L"*.ExtPt-CallExten<OnReport(L\"0x80024d5\")>.Begin",
                              L"report 0x80024d5",
                              L"perf wrenutil\\utilwrenmenu:2760" + kFunction +
                                  L"*.ExtPt-CallExten<OnReport(L\"0x80024d5\")>.End"}));
}

TEST_F(FrequentMenuTest, ManagerHelpersRejectNullOutputsAndMissingManager) {
  EXPECT_EQ(Util::WRENFreContact::GetFoldersOfContact(kMember, nullptr), E_POINTER);
  EXPECT_EQ(Util::WRENFreContact::GetLimits(nullptr), E_POINTER);
  EXPECT_EQ(NewAsserts(), (Notes{L"281:FALSE", L"299:FALSE"}));
  EXPECT_EQ(asserts()[0].file, L"include\\frecontact\\utilwrenfrecontact");
  AddService(IFrequentContactsMgr::kIid, nullptr);
  CKZComPtr<IKZArray> folders;
  CKZComPtr<IKZData> limits;
  DWORD id = 0;
  EXPECT_EQ(Util::WRENFreContact::GetFolderList(&folders), E_FAIL);
  EXPECT_EQ(Util::WRENFreContact::GetLimits(&limits), E_FAIL);
  EXPECT_EQ(Util::WRENFreContact::AddContactsToFolder(Uins({kMember}), 1), E_FAIL);
  EXPECT_EQ(Util::WRENFreContact::CreateFolder(1, L"x", &id), E_FAIL);
  EXPECT_FALSE(folders);
  EXPECT_FALSE(limits);
}

}  // namespace
}  // namespace wrenutil_menu_test
