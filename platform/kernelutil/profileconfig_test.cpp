#include "platform/kernelutil/profileconfig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/afutil/chatframe.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzjson.h"
#include "platform/common/kzxml.h"
#include "platform/common/store.h"
#include "platform/kernelutil/contactstatus.h"
#include "platform/shell/shell.h"
#include "platform/testing/platform_test.h"

namespace {

class ProfileConfigTest : public platform::testing::PlatformTest {
 protected:
  // Runs one statement on the profile store outside the services, as another
  // program (or a damaged disk) would.
  static void Poke(const platform::StoreSchema& schema, const char* sql) {
    ASSERT_EQ(platform::RunInProfile(
                  schema, platform::StoreAccess::kWrite,
                  [&](platform::sql::Db& db) { return db.Exec(sql) ? S_OK : KZ_E_STORE; }),
              S_OK)
        << platform::LastStoreError();
  }
};

TEST_F(ProfileConfigTest, ItemsOutliveTheService) {
  {
    CKZComPtr<IKZCommonServerConfigHost> items;
    ASSERT_EQ(platform::CreateProfileCommonServerConfigService(&items), S_OK);
    ASSERT_EQ(items->SetConfigContent(18, 2, std::string("<c/>\0\xFF", 6)), S_OK);
    CKZComPtr<IKZData> other;
    platform::JsonToKZData(R"({"n": {"@i64": -5}, "s": "曾"})", &other, nullptr);
    ASSERT_EQ(items->SetConfigItem(1, 1, other), S_OK);
    ASSERT_EQ(items->SetConfigItem(1, 2, other), S_OK);
    ASSERT_EQ(items->SetConfigItem(1, 2, nullptr), S_OK);
  }
  CKZComPtr<IKZCommonServerConfigHost> items;
  platform::CreateProfileCommonServerConfigService(&items);
  CKZComPtr<IKZData> item;
  ASSERT_EQ(items->GetConfigItem(18, 2, &item), S_OK);
  CKZComPtr<IKZBuffer> buffer;
  ASSERT_EQ(item->GetBuf("CommonServerConfig_bufContent", &buffer), S_OK);
  DWORD size = 0;
  buffer->GetSize(&size);
  EXPECT_EQ(size, 6u) << "the bytes come back as they were, zero and all";
  ASSERT_EQ(items->GetConfigItem(1, 1, &item), S_OK);
  EXPECT_EQ(platform::KZDataToJson(item), R"({"n":{"@i64":-5},"s":"曾"})");
  EXPECT_EQ(items->GetConfigItem(1, 2, &item), E_FAIL);
  EXPECT_EQ(item.Get(), nullptr);
  EXPECT_EQ(items->GetConfigItem(1, 1, nullptr), E_POINTER);

  CKZComPtr<IKZData> with_object;
  Util::Data::CreateKZData(&with_object);
  with_object->SetInterface("o", IUnknown::kIid, items);
  EXPECT_EQ(items->SetConfigItem(3, 3, with_object), E_INVALIDARG);
}

TEST_F(ProfileConfigTest, DamagedRowsAreFailuresNotValues) {
  constexpr const char* kConfigSteps[] = {
      "CREATE TABLE common_server_config(type INTEGER NOT NULL, sub_type INTEGER NOT NULL,"
      " item BLOB NOT NULL, PRIMARY KEY(type, sub_type))"};
  constexpr const char* kAccountSteps[] = {
      "CREATE TABLE main_account_config(id INTEGER PRIMARY KEY, value INTEGER NOT NULL)"};
  Poke({"common_server_config", kConfigSteps},
       "INSERT INTO common_server_config VALUES(18, 2, x'4B5A4231FF')");
  Poke({"main_account_config", kAccountSteps},
       "INSERT INTO main_account_config VALUES(6, 1099511627776)");

  CKZComPtr<IKZCommonServerConfigHost> items;
  platform::CreateProfileCommonServerConfigService(&items);
  CKZComPtr<IKZData> item;
  EXPECT_EQ(items->GetConfigItem(18, 2, &item), E_FAIL);
  CKZComPtr<IKZMainAccountConfigHost> account;
  platform::CreateProfileMainAccountConfigService(&account);
  DWORD value = 7;
  EXPECT_EQ(account->GetConfigDWord(6, &value), E_FAIL);
  EXPECT_EQ(value, 7u);
  ASSERT_EQ(logs().size(), 2u);
  EXPECT_NE(logs()[0].message.find(L"configuration item (18, 2)"), std::wstring::npos);
  EXPECT_NE(logs()[1].message.find(L"main-account setting 6 holds 1099511627776"),
            std::wstring::npos);

  EXPECT_EQ(account->SetConfigDWord(6, 0xFFFFFFFF), S_OK);
  EXPECT_EQ(account->GetConfigDWord(6, &value), S_OK);
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_EQ(account->GetConfigDWord(7, &value), E_FAIL) << "not set";
  EXPECT_EQ(account->GetConfigDWord(6, nullptr), E_POINTER);
}

TEST_F(ProfileConfigTest, SpoolKeepsReportsInOrderWithEveryValue) {
  auto spool = platform::CreateProfileReportSpool();
  platform::SpooledReport a;
  a.time_ms = 1709618828009;
  a.value1 = 0xFFFFFFFF;
  a.value2 = 2;
  a.value3 = 3;
  a.corp_uin = 3000018848;
  a.second_uin = 10008;
  a.flag = 1;
  a.result = -1;
  platform::SpooledReport b = a;
  b.text = L"文本";
  b.value3 = 0;
  ASSERT_TRUE(spool->Append(a, nullptr));
  ASSERT_TRUE(spool->Append(b, nullptr));
  std::vector<platform::SpooledReport> read;
  ASSERT_TRUE(platform::CreateProfileReportSpool()->List(&read, nullptr));
  ASSERT_EQ(read.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const auto& want = i == 0 ? a : b;
    SCOPED_TRACE(i);
    EXPECT_EQ(read[i].time_ms, want.time_ms);
    EXPECT_EQ((std::vector<std::uint64_t>{read[i].value1, read[i].value2, read[i].value3,
                                          read[i].corp_uin, read[i].second_uin}),
              (std::vector<std::uint64_t>{want.value1, want.value2, want.value3, want.corp_uin,
                                          want.second_uin}));
    EXPECT_EQ(read[i].text, want.text);
    EXPECT_EQ(read[i].flag, want.flag);
    EXPECT_EQ(read[i].result, want.result);
  }

  constexpr const char* kSpoolSteps[] = {"unused: the table exists"};
  Poke({"report_spool", kSpoolSteps}, "UPDATE report_spool SET value2 = -4 WHERE id = 2");
  std::string error;
  EXPECT_FALSE(spool->List(&read, &error));
  EXPECT_TRUE(read.empty());
  EXPECT_NE(error.find("profile.db: report 2 holds a value out of range"), std::string::npos)
      << error;
  EXPECT_FALSE(spool->List(nullptr, &error));
}

}  // namespace

namespace {

// Every stand-in of the session helpers refuses a null out-pointer or
// argument with a code and hands nothing out.
TEST_F(ProfileConfigTest, NullArgumentsAreRefused) {
  const struct {
    const char* name;
    HRESULT (*call)();
    HRESULT expected;
  } kCases[] = {
      {"CreateChatFrameType",
       [] {
         return static_cast<HRESULT>(
             Util::ChatSession::CreateChatFrameType(1, 0, nullptr, nullptr));
       },
       E_POINTER},
      {"ChatFrameEvent",
       [] {
         return static_cast<HRESULT>(
             Util::AFChatSession::ChatFrameEvent(nullptr, ChatFrame::CFE_WriteBlueBarTip, nullptr));
       },
       E_POINTER},
      {"CreateContactStatusMgr", [] { return platform::CreateContactStatusMgr(nullptr); },
       E_POINTER},
      {"CreateMemoryContactDataService",
       [] { return platform::CreateMemoryContactDataService(nullptr); }, E_POINTER},
      {"CreateMainFrameService", [] { return platform::CreateMainFrameService(nullptr, nullptr); },
       E_POINTER},
      {"CreateMemoryCommonServerConfigService",
       [] { return platform::CreateMemoryCommonServerConfigService(nullptr); }, E_POINTER},
      {"CreateMemoryMainAccountConfigService",
       [] { return platform::CreateMemoryMainAccountConfigService(nullptr); }, E_POINTER},
      {"CreateProfileCommonServerConfigService",
       [] { return platform::CreateProfileCommonServerConfigService(nullptr); }, E_POINTER},
      {"CreateProfileMainAccountConfigService",
       [] { return platform::CreateProfileMainAccountConfigService(nullptr); }, E_POINTER},
      {"XmlToKZData", [] { return platform::XmlToKZData("<a/>", nullptr, nullptr); }, E_POINTER},
      {"SHGetMalloc", [] { return SHGetMalloc(nullptr); }, E_POINTER},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.call(), c.expected);
  }
  CKZComPtr<IKZCommonServerConfigHost> memory;
  platform::CreateMemoryCommonServerConfigService(&memory);
  EXPECT_EQ(memory->GetConfigItem(1, 1, nullptr), E_POINTER);
  EXPECT_EQ(memory->SetConfigItem(1, 1, nullptr), S_OK) << "removes nothing, harmlessly";
  CKZComPtr<IKZMainAccountConfigHost> account;
  platform::CreateMemoryMainAccountConfigService(&account);
  EXPECT_EQ(account->GetConfigDWord(6, nullptr), E_POINTER);
  CKZComPtr<IAFChatFrameType> frame;
  Util::ChatSession::CreateChatFrameType(7, 0, &frame, nullptr);
  EXPECT_EQ(frame->GetChatId(nullptr, nullptr), E_POINTER);
  EXPECT_EQ(SHBrowseForFolderW(nullptr), nullptr);
  EXPECT_EQ(SHGetPathFromIDListW(nullptr, nullptr), 0);
  EXPECT_EQ(SendMessageW(nullptr, BFFM_SETSELECTIONW, 1, 0), 0);
  EXPECT_EQ(SetWindowPos(nullptr, HWND_TOPMOST, 0, 0, 0, 0, 3), 0);
  Util::SpecificReport::EtpOperationReport(1, 2, 3, 4, 5, nullptr, 1,
                                           Util::SpecificReport::kResultNone);
  std::vector<platform::SpooledReport> reports;
  ASSERT_TRUE(platform::GetReportSpool()->List(&reports, nullptr));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_FALSE(reports[0].text.has_value()) << "a null text is kept as no text";
}

}  // namespace
