#include "apps/wrenutil/host.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "platform/afutil/afutil.h"
#include "platform/common/convert.h"
#include "platform/common/kzcore.h"
#include "platform/common/kzjson.h"
#include "platform/common/settingsstore.h"
#include "platform/kernelutil/accountservice.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/testing/platform_test.h"
#include "wrenutil/datadirs.h"

namespace wrenutil_app {
namespace {

using SampleTest = platform::testing::PlatformTest;
using HostTest = platform::testing::PlatformTest;

constexpr char kMinimalOrg[] =
    R"({"dwSelfUin": 10001, "dwCorpUin": 3000000000,
        "dwClientVersionMajor": 3, "dwClientVersionMinor": 12,
        "strClientIP": "192.168.1.2",
        "rpt_member": [{"dwUin": 10001}, {"dwUin": 10002}],
        "rpt_outer_contact": [{"dwUin": 2800000001}]})";

TEST_F(SampleTest, RejectsBrokenOrganisationsWithAClearMessage) {
  struct Case {
    const char* json;
    const char* message;
  };
  const Case kCases[] = {
      {"", "organisation: "},
      {"{\"dwSelfUin\": ", "organisation: "},
      {"[1, 2]", "organisation: "},
      {R"({"dwCorpUin": 1, "dwClientVersionMajor": 3, "dwClientVersionMinor": 1})",
       "organisation: field \"dwSelfUin\" is missing or not a u32"},
      {R"({"dwSelfUin": "10001", "dwCorpUin": 1, "dwClientVersionMajor": 3,
           "dwClientVersionMinor": 1})",
       "organisation: field \"dwSelfUin\" is missing or not a u32"},
      {R"({"dwSelfUin": 1, "dwCorpUin": {"@u64": 1},
           "dwClientVersionMajor": 3, "dwClientVersionMinor": 1})",
       "organisation: field \"dwCorpUin\" is missing or not a u32"},
      {R"({"dwSelfUin": 1, "dwCorpUin": 1, "dwClientVersionMajor": 3,
           "dwClientVersionMinor": 1, "strClientIP": "10.0.0.256",
           "rpt_member": [{"dwUin": 1}]})",
       "organisation: field \"strClientIP\" is not a dotted IPv4 address"},
      {R"({"dwSelfUin": 1, "dwCorpUin": 1, "dwClientVersionMajor": 3,
           "dwClientVersionMinor": 1, "rpt_member": {"dwUin": 1}})",
       "organisation: field \"rpt_member\" is not an array"},
      {R"({"dwSelfUin": 1, "dwCorpUin": 1, "dwClientVersionMajor": 3,
           "dwClientVersionMinor": 1, "rpt_member": [{"dwUin": 1}, 7]})",
       "rpt_member[1]: not a record"},
      {R"({"dwSelfUin": 1, "dwCorpUin": 1, "dwClientVersionMajor": 3,
           "dwClientVersionMinor": 1, "rpt_member": [{"dwUin": 1}],
           "rpt_outer_contact": [{"strName": "x"}]})",
       "rpt_outer_contact[0]: field \"dwUin\" is missing or not a u32"},
      {R"({"dwSelfUin": 1, "dwCorpUin": 1, "dwClientVersionMajor": 3,
           "dwClientVersionMinor": 1, "rpt_member": [{"dwUin": 1}],
           "rpt_outer_contact": [{"dwUin": 1}]})",
       "organisation: contact number 1 appears twice"},
      {R"({"dwSelfUin": 1, "dwCorpUin": 1, "dwClientVersionMajor": 3,
           "dwClientVersionMinor": 1, "rpt_member": [{"dwUin": 2}],
           "rpt_outer_contact": [{"dwUin": 1}]})",
       "organisation: the own number 1 (\"dwSelfUin\") is not a member"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.json);
    std::string error;
    EXPECT_EQ(Sample::Parse(c.json, &error), nullptr);
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
  }
}

TEST_F(SampleTest, MissingFileIsAnError) {
  std::string error;
  EXPECT_EQ(Sample::FromFile("/nonexistent/org.json", &error), nullptr);
  EXPECT_EQ(error, "cannot open /nonexistent/org.json: No such file or directory");
}

// Departments hang below the root (parent 0): a file whose departments form a
// cycle or list one twice would make every walk of the tree run without end.
TEST_F(SampleTest, RefusesDepartmentsThatDoNotFormATree) {
  auto org = [](const std::string& depts) {
    return R"({"dwSelfUin": 1, "dwCorpUin": 1, "dwClientVersionMajor": 3,
               "dwClientVersionMinor": 1, "rpt_member": [{"dwUin": 1}], "rpt_dept": [)" +
           depts + "]}";
  };
  struct Case {
    const char* name;
    std::string depts;
    std::string message;  // empty: accepted
  };
  const Case kCases[] = {
      {"a tree", R"({"dwDeptId": 1, "dwParentId": 0}, {"dwDeptId": 3, "dwParentId": 2},
                    {"dwDeptId": 2, "dwParentId": 1})",
       ""},
      {"two roots", R"({"dwDeptId": 1, "dwParentId": 0}, {"dwDeptId": 2, "dwParentId": 0})", ""},
      {"listed twice", R"({"dwDeptId": 1, "dwParentId": 0}, {"dwDeptId": 2, "dwParentId": 1},
                          {"dwDeptId": 2, "dwParentId": 1})",
       "organisation: department 2 appears twice"},
      {"its own parent", R"({"dwDeptId": 1, "dwParentId": 0}, {"dwDeptId": 2, "dwParentId": 2})",
       "organisation: departments 2 -> 2 form a cycle"},
      {"a cycle below nothing", R"({"dwDeptId": 1, "dwParentId": 0},
          {"dwDeptId": 4, "dwParentId": 6}, {"dwDeptId": 5, "dwParentId": 4},
          {"dwDeptId": 6, "dwParentId": 5}, {"dwDeptId": 7, "dwParentId": 6})",
       "organisation: departments 4 -> 6 -> 5 -> 4 form a cycle"},
      {"an unknown parent", R"({"dwDeptId": 1, "dwParentId": 9})",
       "organisation: the parent 9 of department 1 is no department"},
      {"the root's id", R"({"dwDeptId": 0, "dwParentId": 0})",
       "rpt_dept[0]: department id 0 is the root's, no department's"},
      {"no parent field", R"({"dwDeptId": 1})",
       "rpt_dept[0]: field \"dwParentId\" is missing or not a u32"},
      {"not a record", R"(7)", "rpt_dept[0]: not a record"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string error;
    std::unique_ptr<Sample> sample = Sample::Parse(org(c.depts), &error);
    EXPECT_EQ(sample == nullptr, !c.message.empty());
    EXPECT_EQ(error, c.message);
  }
  std::string error;
  std::unique_ptr<Sample> sample = Sample::Parse(org(kCases[0].depts), &error);
  ASSERT_NE(sample, nullptr);
  EXPECT_TRUE(sample->HasDepartment(3));
  EXPECT_FALSE(sample->HasDepartment(0));
  EXPECT_FALSE(sample->HasDepartment(4));
}

TEST_F(SampleTest, ADeepDepartmentChainLoadsInLinearTime) {
  // 100,000 departments, each the parent of the next: a walk per department
  // up to the root would take 5e9 steps.
  std::string depts;
  constexpr int kDepth = 100000;
  for (int id = 1; id <= kDepth; ++id) {
    depts += (id > 1 ? "," : "") + std::string("{\"dwDeptId\":") + std::to_string(id) +
             ",\"dwParentId\":" + std::to_string(id - 1) + "}";
  }
  std::string error;
  std::unique_ptr<Sample> sample = Sample::Parse(
      R"({"dwSelfUin": 1, "dwCorpUin": 1, "dwClientVersionMajor": 3, "dwClientVersionMinor": 1,
          "rpt_member": [{"dwUin": 1}], "rpt_dept": [)" +
          depts + "]}",
      &error);
  ASSERT_NE(sample, nullptr) << error;
  EXPECT_TRUE(sample->HasDepartment(kDepth));
}

TEST_F(SampleTest, IndexesMembersAndOuterContacts) {
  std::string error;
  auto sample = Sample::Parse(kMinimalOrg, &error);
  ASSERT_NE(sample, nullptr) << error;
  EXPECT_EQ(sample->self_uin(), 10001u);
  EXPECT_EQ(sample->corp_uin(), 3000000000u);
  EXPECT_EQ(sample->major_version(), 3);
  EXPECT_EQ(sample->minor_version(), 12);
  EXPECT_EQ(sample->client_ip(), 0xC0A80102u);
  struct Case {
    DWORD uin;
    bool found, member, outer;
  };
  const Case kCases[] = {
      {10001, true, true, false}, {10002, true, true, false},   {2800000001u, true, false, true},
      {0, false, false, false},   {10003, false, false, false}, {4294967295u, false, false, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.uin);
    IKZData* record = sample->FindContact(c.uin);
    EXPECT_EQ(record != nullptr, c.found);
    if (record) {
      DWORD uin = 0;
      record->GetDWord("dwUin", &uin);
      EXPECT_EQ(uin, c.uin);
    }
    EXPECT_EQ(sample->IsMember(c.uin), c.member);
    EXPECT_EQ(sample->IsOuterContact(c.uin), c.outer);
  }
  // Absent arrays read as empty ones.
  DWORD count = 99;
  sample->departments()->GetCount(&count);
  EXPECT_EQ(count, 0u);
  EXPECT_FALSE(sample->InList("rpt_uint32_online", 10001));
  EXPECT_EQ(sample->Flag("bSelfOnline", 1), 1);
}

TEST_F(SampleTest, EmbeddedSampleHoldsWhatTheDemosNeed) {
  std::string error;
  auto sample = Sample::Embedded(&error);
  ASSERT_NE(sample, nullptr) << error;
  DWORD members = 0;
  DWORD outer = 0;
  sample->members()->GetCount(&members);
  sample->outer_contacts()->GetCount(&outer);
  EXPECT_EQ(members, 200u);
  EXPECT_GT(outer, 10u);
  EXPECT_TRUE(sample->IsMember(sample->self_uin()));
  EXPECT_GT(sample->corp_uin(), 0x80000000u);

  // Every polyphonic surname leads at least two names; some members hold LM
  // accounts whose low 32 bits are their own number; some have two phones.
  std::set<std::wstring> surnames;
  int lm_holders = 0;
  int two_phones = 0;
  for (DWORD i = 0; i < members; ++i) {
    CKZComPtr<IKZData> m;
    ASSERT_EQ(sample->members()->GetKZData(i, &m), S_OK);
    CKZStringW name;
    ASSERT_TRUE(Util::Data::GetKZDataStr(m, "strName", name));
    surnames.insert(name.Left(1).str());
    DWORD uin = 0;
    m->GetDWord("dwUin", &uin);
    CKZComPtr<IKZArray> lm;
    if (SUCCEEDED(m->GetKZArray("rpt_str_lm", &lm))) {
      CKZComPtr<IKZDataRead> first;
      ASSERT_EQ(lm->GetKZDataRead(0, &first), S_OK);
      std::uint64_t account = 0;
      ASSERT_EQ(first->GetUInt64("uint64_account", &account), S_OK);
      EXPECT_EQ(static_cast<DWORD>(account), uin);
      ++lm_holders;
    }
    CKZComPtr<IKZArray> phones;
    DWORD phone_count = 0;
    ASSERT_EQ(m->GetKZArray("rpt_str_mobile_phone", &phones), S_OK);
    phones->GetCount(&phone_count);
    if (phone_count >= 2) ++two_phones;
  }
  for (const wchar_t* s : {L"曾", L"单", L"解", L"区", L"仇", L"查", L"朴", L"覃", L"盖", L"缪"}) {
    EXPECT_TRUE(surnames.count(s)) << Util::Convert::Utf8FromWS(s, -1).str();
  }
  EXPECT_GE(lm_holders, 5);
  EXPECT_GE(two_phones, 5);
}

TEST(ParseIPv4Test, AcceptsOnlyFourDecimalBytes) {
  struct Case {
    const char* text;
    bool ok;
    DWORD address;
  };
  const Case kCases[] = {
      {"10.24.8.17", true, 0x0A180811},
      {"0.0.0.0", true, 0},
      {"255.255.255.255", true, 0xFFFFFFFF},
      {"1.2.3", false, 0},
      {"1.2.3.4.5", false, 0},
      {"1.2.3.256", false, 0},
      {"1..3.4", false, 0},
      {"a.b.c.d", false, 0},
      {"1.2.3.4 ", false, 0},
      {"", false, 0},
      {"0001.2.3.4", false, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    DWORD address = 0xDEADBEEF;
    EXPECT_EQ(ParseIPv4(c.text, &address), c.ok);
    if (c.ok) {
      EXPECT_EQ(address, c.address);
    }
  }
}

TEST_F(HostTest, ServesTheSessionAndTheLogSuffixServices) {
  std::string error;
  {
    auto host = Host::Create({}, &error);
    ASSERT_NE(host, nullptr) << error;
    const Sample& sample = host->sample();
    EXPECT_EQ(Util::Contact::GetSelfUin(), sample.self_uin());
    EXPECT_EQ(Version::GetMajorVer(), sample.major_version());
    EXPECT_EQ(Version::GetMinorVer(), sample.minor_version());

    CKZComPtr<IKZCore> core;
    ASSERT_EQ(Util::Core::GetPlatformCore(&core), S_OK);
    EXPECT_EQ(static_cast<IKZCore*>(core.Get()), static_cast<IKZCore*>(host->core()));
    CKZComPtr<IKZAccountService> account;
    ASSERT_EQ(core->GetService(IKZAccountService::kIid, reinterpret_cast<void**>(&account)), S_OK);
    DWORD corp = 0;
    account->GetCorpUin(&corp);
    EXPECT_EQ(corp, sample.corp_uin());
    CKZComPtr<IKZNetworkService> network;
    ASSERT_EQ(core->GetService(IKZNetworkService::kIid, reinterpret_cast<void**>(&network)), S_OK);
    DWORD ip = 0;
    network->GetClientIP(&ip);
    // Network order: the first byte of the dotted text comes first in memory.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&ip);
    EXPECT_EQ(bytes[0], sample.client_ip() >> 24);
    EXPECT_EQ(bytes[3], sample.client_ip() & 0xFF);
  }
  // The host is gone: no core, no session.
  CKZComPtr<IKZCore> core;
  EXPECT_LT(Util::Core::GetPlatformCore(&core), 0);
  EXPECT_EQ(Util::Contact::GetSelfUin(), 0u);
}

TEST_F(HostTest, BadOrganisationFileInstallsNothing) {
  std::string error;
  HostOptions options;
  options.org_file = "/nonexistent/org.json";
  EXPECT_EQ(Host::Create(options, &error), nullptr);
  EXPECT_EQ(error, "cannot open /nonexistent/org.json: No such file or directory");
  // The fixture's own core is still the installed one.
  CKZComPtr<IKZCore> core;
  ASSERT_EQ(Util::Core::GetPlatformCore(&core), S_OK);
  EXPECT_EQ(static_cast<IKZCore*>(core.Get()), static_cast<IKZCore*>(this->core()));
}

}  // namespace
}  // namespace wrenutil_app

namespace wrenutil_app {
extern const unsigned char kSampleOrg[];
extern const std::size_t kSampleOrgSize;
namespace {

TEST_F(HostTest, AFreshProfileIsSeededOnceFromTheOrganisation) {
  std::string org(reinterpret_cast<const char*>(kSampleOrg), kSampleOrgSize);
  std::string error;
  // The organisation may carry settings: {"Section": {"Key": {bag}}}.
  org.insert(org.find('{') + 1, R"("settings": {"Demo": {"Colours": {"n": {"@u16": 3}}}},)");
  std::string file = temp_dir() + "/org.json";
  std::FILE* f = std::fopen(file.c_str(), "w");
  std::fputs(org.c_str(), f);
  std::fclose(f);
  HostOptions options;
  options.org_file = file;
  options.data_dir = temp_dir() + "/data";
  {
    std::unique_ptr<Host> host = Host::Create(options, &error);
    ASSERT_TRUE(host) << error;
    ASSERT_TRUE(host->UseProfile(&error)) << error;
    EXPECT_TRUE(std::filesystem::exists(temp_dir() + "/data/Corvid/10008/profile.db"));
    CKZComPtr<IKZCore> core;
    Util::Core::GetPlatformCore(&core);
    CKZComPtr<IKZSettingsStore> store;
    ASSERT_EQ(core->GetService(IKZSettingsStore::kIid, reinterpret_cast<void**>(&store)), S_OK);
    CKZComPtr<IKZData> bag;
    ASSERT_EQ(store->ReadData(L"Demo", L"Colours", &bag), S_OK);
    EXPECT_EQ(platform::KZDataToJson(bag), R"({"n":{"@u16":3}})");
    ASSERT_EQ(store->ReadData(L"OrgstructAndCustomPage", L"TBarTabBtnSetting", &bag), S_OK);
    DWORD count = 0;
    bag->GetFieldCount(&count);
    EXPECT_EQ(count, 9u);
    // Seeded once: a later change is not undone by the next use.
    store->RemoveData(L"Demo", L"Colours");
    ASSERT_TRUE(host->UseProfile(&error));
    EXPECT_EQ(store->ReadData(L"Demo", L"Colours", &bag), KZ_E_NOTFOUND);
  }
  // The host gave back the test's data folder and dialogs.
  std::string app_data = app_data_dir();
  EXPECT_EQ(Util::Dir::WREN::GetAppDataPathSKIFF(),
            CKZStringW(std::wstring(app_data.begin(), app_data.end())) + L"/Corvid/Marlin/");
  EXPECT_EQ(Util::Misc::MessageBoxW(nullptr, L"m", L"t", 0), 1);
  EXPECT_EQ(dialogs().Transcript().size(), 1u);
}

}  // namespace
}  // namespace wrenutil_app
