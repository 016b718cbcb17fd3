#include "apps/wrenutil/host_panel.h"

#include <gtest/gtest.h>

#include <string>

#include "apps/wrenutil/host.h"
#include "platform/common/kzjson.h"
#include "platform/common/settingsstore.h"
#include "platform/kernelutil/contactnames.h"
#include "platform/kernelutil/contactstate.h"
#include "platform/testing/platform_test.h"

namespace wrenutil_app {
namespace {

using PanelServicesTest = platform::testing::PlatformTest;

constexpr char kOrg[] =
    R"({"dwSelfUin": 10001, "dwCorpUin": 3000000000,
        "dwClientVersionMajor": 3, "dwClientVersionMinor": 12, "bSelfOnline": false,
        "rpt_uint32_special_care": [10002],
        "rpt_str_auto_reply": ["开会中"],
        "rpt_member": [{"dwUin": 10001, "strName": "赵阳"}, {"dwUin": 10002, "strName": "钱伟"}],
        "rpt_outer_contact": [{"dwUin": 2800000001, "strName": "杜鑫行"}]})";

TEST_F(PanelServicesTest, ServesTheOrganisationAndCleansUp) {
  std::string error;
  auto file = temp_dir() + "/org.json";
  FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs(kOrg, f);
  std::fclose(f);
  HostOptions options;
  options.org_file = file;
  auto host = Host::Create(options, &error);
  ASSERT_TRUE(host) << error;
  {
    auto services = PanelServices::Install(*host, &error);
    ASSERT_TRUE(services) << error;
    EXPECT_EQ(services->tbar().members, (std::set<DWORD>{10001, 10002}));
    EXPECT_EQ(services->tbar().focused, (std::set<DWORD>{10002}));
    EXPECT_EQ(services->tbar().real_names.at(10002), L"钱伟");
    EXPECT_EQ(services->tbar().real_names.at(2800000001), L"");
    EXPECT_STREQ(Util::Contact::GetCombineName(2800000001), L"杜鑫行(2800000001)");
    EXPECT_EQ(Util::Contact::IsOnline(10001), 0);

    CKZComPtr<IKZAutoReplyService> replies;
    ASSERT_EQ(
        host->core()->GetService(IKZAutoReplyService::kIid, reinterpret_cast<void**>(&replies)),
        S_OK);
    CKZComPtr<IKZArray> list;
    ASSERT_EQ(replies->GetAutoReplyList(&list), S_OK);
    EXPECT_EQ(platform::KZArrayToJson(list), R"(["开会中"])");
    CKZComPtr<IKZSettingsStore> store;
    EXPECT_EQ(host->core()->GetService(IKZSettingsStore::kIid, reinterpret_cast<void**>(&store)),
              S_OK);
  }
  // Everything it registered is gone again.
  CKZComPtr<IKZAutoReplyService> replies;
  EXPECT_EQ(host->core()->GetService(IKZAutoReplyService::kIid, reinterpret_cast<void**>(&replies)),
            E_FAIL);
  EXPECT_STREQ(Util::Contact::GetRawName(10002), L"");
}

}  // namespace
}  // namespace wrenutil_app
