#include "platform/kernelutil/frequentcontacts.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/common/kzdata.h"
#include "platform/common/kzjson.h"
#include "platform/common/kzptr.h"
#include "platform/common/sqlite_db.h"
#include "platform/common/store.h"
#include "platform/kernelutil/calljournal.h"
#include "platform/kernelutil/configservice.h"
#include "platform/testing/platform_test.h"

namespace {

using Notes = std::vector<std::wstring>;
constexpr HRESULT kDenied = static_cast<HRESULT>(0x80070005u);

// A store that can be told to refuse writes.
class ScriptedStore : public platform::FrequentContactsStore {
 public:
  ScriptedStore(HRESULT load, HRESULT* save) : load_(load), save_(save) {}
  HRESULT Load(platform::FrequentContactsState* state) override {
    state->folders = {{4, L"Old", {7}}};
    return load_;
  }
  HRESULT Save(const platform::FrequentContactsState&) override { return *save_; }

 private:
  HRESULT load_;
  HRESULT* save_;
};

class FrequentContactsTest : public platform::testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    ASSERT_EQ(platform::CreateFrequentContactsManager(nullptr, &manager_), S_OK);
    platform::TakeCallJournal();
  }
  void TearDown() override {
    manager_ = nullptr;
    PlatformTest::TearDown();
  }
  static CKZComPtr<IKZArray> Uins(std::initializer_list<DWORD> uins) {
    CKZComPtr<IKZArray> array;
    Util::Data::CreateKZArray(&array);
    for (DWORD uin : uins) array->AddDWord(uin);
    return array;
  }
  std::string Limits() {
    CKZComPtr<IKZData> limits;
    manager_->GetLimits(&limits);
    return platform::KZDataToJson(limits);
  }
  std::string Folders() {
    CKZComPtr<IKZArray> folders;
    manager_->GetFolderList(&folders);
    return platform::KZArrayToJson(folders);
  }
  DWORD NewFolder(const wchar_t* name) {
    DWORD id = 0;
    EXPECT_EQ(manager_->CreateFolder(1, name, &id), S_OK);
    return id;
  }
  void Configure(platform::ConfigValues values) {
    CKZComPtr<IKZServerConfigService> config;
    platform::CreateMemoryServerConfigService(values, &config);
    AddService(IKZServerConfigService::kIid, config);
  }

  CKZComPtr<IFrequentContactsHost> manager_;
};

TEST_F(FrequentContactsTest, FoldersCountTheirContactsOnce) {
  DWORD a = NewFolder(L"  Team  "), b = NewFolder(L"Team");
  EXPECT_EQ(a, 1u);
  EXPECT_EQ(b, 2u);
  EXPECT_EQ(manager_->AddContacts(Uins({10, 11}), a), S_OK);
  EXPECT_EQ(manager_->AddContacts(Uins({11, 11, 12}), a), S_OK);
  EXPECT_EQ(manager_->AddContacts(Uins({10}), b), S_OK);
  EXPECT_EQ(Folders(), R"([{"GroupID":1,"GroupName":"Team","TotalChildren":3},)"
                       R"({"GroupID":2,"GroupName":"Team","TotalChildren":1}])");
  EXPECT_EQ(Limits(), R"({"MaxNumOfGroup":20,"MaxNumOfContact":500,"MaxNumOfContactPerGroup":100,)"
                      R"("TotalGroups":2,"TotalContacts":3})");
  CKZComPtr<IKZArray> holding;
  manager_->GetFoldersOfContact(10, &holding);
  EXPECT_EQ(platform::KZArrayToJson(holding),
            R"([{"GroupID":1,"GroupName":"Team","TotalChildren":3},)"
            R"({"GroupID":2,"GroupName":"Team","TotalChildren":1}])");
  EXPECT_EQ(manager_->RemoveContacts(Uins({11, 99}), a), S_OK);
  CKZComPtr<IKZArray> left;
  manager_->GetFolderContacts(a, &left);
  EXPECT_EQ(platform::KZArrayToJson(left), "[10,12]");
  EXPECT_EQ(
      platform::TakeCallJournal(),
      (Notes{L"FrequentCreateFolder(1, \"Team\") = 1", L"FrequentCreateFolder(1, \"Team\") = 2",
             L"FrequentAdd(10 11 -> 1)", L"FrequentAdd(11 11 12 -> 1)", L"FrequentAdd(10 -> 2)",
             L"FrequentRemove(11 99 <- 1)"}));
}

TEST_F(FrequentContactsTest, LimitsComeFromConfigurationAndAreEnforced) {
  Configure({{L"MaxNumOfGroup", L"1"},
             {L"MaxNumOfContact", L"3"},
             {L"MaxNumOfContactPerGroup", L"2x"}});  // not a number: the default
  EXPECT_EQ(Limits(), R"({"MaxNumOfGroup":1,"MaxNumOfContact":3,"MaxNumOfContactPerGroup":100,)"
                      R"("TotalGroups":0,"TotalContacts":0})");
  DWORD a = NewFolder(L"A");
  DWORD id = 0;
  EXPECT_EQ(manager_->CreateFolder(1, L"B", &id), E_FAIL);
  EXPECT_EQ(manager_->AddContacts(Uins({1, 2, 3}), a), S_OK);  // reaching the limit is allowed
  EXPECT_EQ(manager_->AddContacts(Uins({4}), a), E_FAIL);
  Configure({{L"MaxNumOfContactPerGroup", L"3"}, {L"MaxNumOfGroup", L"-1"}});
  EXPECT_EQ(manager_->AddContacts(Uins({1, 4}), a), E_FAIL);
  EXPECT_EQ(Limits(), R"({"MaxNumOfGroup":20,"MaxNumOfContact":500,"MaxNumOfContactPerGroup":3,)"
                      R"("TotalGroups":1,"TotalContacts":3})");
}

TEST_F(FrequentContactsTest, BadArgumentsChangeNothing) {
  DWORD a = NewFolder(L"A");
  CKZComPtr<IKZArray> mixed = Uins({5});
  mixed->AddStr(L"6");
  DWORD id = 0;
  const std::wstring long_name(65, L'n');
  const struct {
    const char* name;
    HRESULT result;
    HRESULT expected;
  } kCases[] = {
      {"null array", manager_->AddContacts(nullptr, a), E_POINTER},
      {"unknown folder", manager_->AddContacts(Uins({5}), 99), E_INVALIDARG},
      {"number 0", manager_->AddContacts(Uins({5, 0}), a), E_INVALIDARG},
      {"non-number element", manager_->AddContacts(mixed, a), E_INVALIDARG},
      {"remove from unknown folder", manager_->RemoveContacts(Uins({5}), 99), E_INVALIDARG},
      {"kind 2", manager_->CreateFolder(2, L"B", &id), E_INVALIDARG},
      {"blank name", manager_->CreateFolder(1, L" \t ", &id), E_INVALIDARG},
      {"long name", manager_->CreateFolder(1, long_name.c_str(), &id), E_INVALIDARG},
      {"null name", manager_->CreateFolder(1, nullptr, &id), E_POINTER},
      {"null id", manager_->CreateFolder(1, L"B", nullptr), E_POINTER},
      {"null list", manager_->GetFolderList(nullptr), E_POINTER},
      {"null limits", manager_->GetLimits(nullptr), E_POINTER},
      {"null folder", manager_->GetFolder(a, nullptr), E_POINTER},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.result, c.expected);
  }
  CKZComPtr<IKZData> folder;
  EXPECT_EQ(manager_->GetFolder(99, &folder), E_INVALIDARG);
  EXPECT_FALSE(folder);
  EXPECT_EQ(Folders(), R"([{"GroupID":1,"GroupName":"A","TotalChildren":0}])");
}

TEST_F(FrequentContactsTest, StoreFailuresUndoTheChange) {
  HRESULT save = S_OK;
  CKZComPtr<IFrequentContactsHost> manager;
  ASSERT_EQ(platform::CreateFrequentContactsManager(std::make_unique<ScriptedStore>(S_OK, &save),
                                                    &manager),
            S_OK);
  DWORD id = 0;
  EXPECT_EQ(manager->CreateFolder(1, L"New", &id), S_OK);
  EXPECT_EQ(id, 5u);  // after the loaded folder 4
  save = kDenied;
  EXPECT_EQ(manager->AddContacts(Uins({8}), 4), kDenied);
  EXPECT_EQ(manager->CreateFolder(1, L"Other", &id), kDenied);
  platform::FrequentContactsState state;
  manager->GetState(&state);
  ASSERT_EQ(state.folders.size(), 2u);
  EXPECT_EQ(state.folders[0].uins, std::vector<DWORD>{7});
  EXPECT_EQ(state.next_id, 6u);

  CKZComPtr<IFrequentContactsHost> unreadable;
  EXPECT_EQ(platform::CreateFrequentContactsManager(std::make_unique<ScriptedStore>(kDenied, &save),
                                                    &unreadable),
            kDenied);
  EXPECT_FALSE(unreadable);
  EXPECT_EQ(platform::CreateFrequentContactsManager(nullptr, nullptr), E_POINTER);
}

}  // namespace

namespace {

// The profile-store side: kept across managers (and so across processes),
// refused when damaged.
class FrequentProfileTest : public platform::testing::PlatformTest {
 protected:
  static platform::FrequentContactsState Seed() {
    platform::FrequentContactsState seed;
    seed.folders = {{1, L"项目组", {10, 11}}, {3, L"Leads", {}}};
    return seed;
  }
  static CKZComPtr<IFrequentContactsHost> Open(HRESULT expected = S_OK) {
    CKZComPtr<IFrequentContactsHost> manager;
    EXPECT_EQ(platform::CreateFrequentContactsManager(platform::CreateProfileFrequentStore(Seed()),
                                                      &manager),
              expected);
    return manager;
  }
  static std::string Folders(IFrequentContactsHost* manager) {
    CKZComPtr<IKZArray> folders;
    manager->GetFolderList(&folders);
    return platform::KZArrayToJson(folders);
  }
  static HRESULT Sql(const char* statement) {
    std::string path, error;
    if (!platform::ProfilePath(&path, &error)) return E_FAIL;
    platform::sql::Db db;
    if (!db.Open(path, platform::sql::Db::Mode::kReadWrite, 1000) || !db.Exec(statement)) {
      return E_FAIL;
    }
    return S_OK;
  }
};

TEST_F(FrequentProfileTest, ChangesOutliveTheManager) {
  {
    CKZComPtr<IFrequentContactsHost> first = Open();
    EXPECT_EQ(Folders(first), R"([{"GroupID":1,"GroupName":"项目组","TotalChildren":2},)"
                              R"({"GroupID":3,"GroupName":"Leads","TotalChildren":0}])");
    DWORD id = 0;
    EXPECT_EQ(first->CreateFolder(1, L"新的", &id), S_OK);
    EXPECT_EQ(id, 4u);
    CKZComPtr<IKZArray> uins;
    Util::Data::CreateKZArray(&uins);
    uins->AddDWord(12);
    uins->AddDWord(10);
    EXPECT_EQ(first->AddContacts(uins, 3), S_OK);
    EXPECT_EQ(first->RemoveContacts(uins, 1), S_OK);
  }
  platform::CloseStores();
  CKZComPtr<IFrequentContactsHost> second = Open();
  EXPECT_EQ(Folders(second), R"([{"GroupID":1,"GroupName":"项目组","TotalChildren":1},)"
                             R"({"GroupID":3,"GroupName":"Leads","TotalChildren":2},)"
                             R"({"GroupID":4,"GroupName":"新的","TotalChildren":0}])");
  platform::FrequentContactsState state;
  second->GetState(&state);
  EXPECT_EQ(state.folders[1].uins, (std::vector<DWORD>{12, 10}));  // order kept
  EXPECT_EQ(state.next_id, 5u);
}

TEST_F(FrequentProfileTest, DamagedRowsAreRefused) {
  const char* kDamage[] = {
      "UPDATE frequent_contact SET uin = 0",
      "UPDATE frequent_folder SET name = '' WHERE id = 1",
      "UPDATE frequent_contact SET folder_id = 77",
      "UPDATE frequent_state SET value = 2",  // ids must stay below the next id
      "UPDATE frequent_contact SET uin = 4294967296",
  };
  for (const char* damage : kDamage) {
    SCOPED_TRACE(damage);
    {
      CKZComPtr<IFrequentContactsHost> manager = Open();
      DWORD id = 0;
      ASSERT_EQ(manager->CreateFolder(1, L"x", &id), S_OK);  // writes the seed and the folder
    }
    ASSERT_EQ(Sql(damage), S_OK);
    EXPECT_FALSE(Open(KZ_E_STORE_BADDATA));
    ASSERT_EQ(Sql("DELETE FROM frequent_contact; DELETE FROM frequent_folder; "
                  "DELETE FROM frequent_state"),
              S_OK);
  }
}

}  // namespace
