#include "platform/common/settingsstore.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/common/kzdata.h"
#include "platform/common/kzjson.h"
#include "platform/common/store.h"
#include "platform/testing/platform_test.h"

namespace platform {
namespace {

class SettingsStoreTest : public testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    CreateSettingsStore(&store_);
  }
  void TearDown() override {
    store_ = nullptr;
    PlatformTest::TearDown();
  }
  static CKZComPtr<IKZData> Json(const char* json) {
    CKZComPtr<IKZData> data;
    EXPECT_EQ(JsonToKZData(json, &data, nullptr), S_OK);
    return data;
  }
  std::string Read(const wchar_t* section, const wchar_t* key) {
    CKZComPtr<IKZData> data;
    HRESULT hr = store_->ReadData(section, key, &data);
    if (FAILED(hr)) return "error " + std::to_string(hr);
    return KZDataToJson(data);
  }
  CKZComPtr<IKZSettingsStore> store_;
};

TEST_F(SettingsStoreTest, ABagComesBackEqualAfterTheStoreIsReopened) {
  const char* json = R"({"ShowAccount":{"@bool":true},"u64":{"@u64":18446744073709551615},)"
                     R"("buf":{"@buf":"00ff"},"rec":{"arr":[1,"two",{"deep":{"@i64":-5}}]}})";
  CKZComPtr<IKZData> bag = Json(json);
  ASSERT_EQ(store_->WriteData(L"OrgstructAndCustomPage", L"TBarTabBtnSetting", bag), S_OK);
  CloseStores();
  CKZComPtr<IKZData> back;
  ASSERT_EQ(store_->ReadData(L"OrgstructAndCustomPage", L"TBarTabBtnSetting", &back), S_OK);
  EXPECT_EQ(back->IsEqual(bag), S_OK);
  EXPECT_EQ(KZDataToJson(back), KZDataToJson(bag));
  std::string stored = KZDataToJson(bag);
  // The stored bag is a copy: changing the original later changes nothing.
  bag->SetDWord("late", 1);
  EXPECT_EQ(Read(L"OrgstructAndCustomPage", L"TBarTabBtnSetting"), stored);
}

TEST_F(SettingsStoreTest, SectionsAndKeysAreSeparateAndExact) {
  store_->WriteData(L"s", L"k", Json(R"({"v":1})"));
  store_->WriteData(L"s", L"K", Json(R"({"v":2})"));
  store_->WriteData(L"t", L"k", Json(R"({"v":3})"));
  store_->WriteData(L"s", L"k", Json(R"({"v":4})"));  // replaces
  EXPECT_EQ(Read(L"s", L"k"), R"({"v":4})");
  EXPECT_EQ(Read(L"s", L"K"), R"({"v":2})");
  EXPECT_EQ(Read(L"t", L"k"), R"({"v":3})");
  CKZComPtr<IKZArray> keys;
  ASSERT_EQ(store_->GetKeys(L"s", &keys), S_OK);
  EXPECT_EQ(KZArrayToJson(keys), R"(["K","k"])");
  EXPECT_EQ(store_->RemoveData(L"s", L"K"), S_OK);
  EXPECT_EQ(store_->RemoveData(L"s", L"K"), KZ_E_NOTFOUND);
  EXPECT_EQ(Read(L"s", L"K"), "error " + std::to_string(KZ_E_NOTFOUND));
}

TEST_F(SettingsStoreTest, BadArgumentsAreRefusedAndWriteNothing) {
  CKZComPtr<IKZData> bag = Json(R"({"a":1})");
  CKZComPtr<IKZData> out;
  CKZComPtr<IKZArray> keys;
  EXPECT_EQ(store_->ReadData(nullptr, L"k", &out), E_POINTER);
  EXPECT_EQ(store_->ReadData(L"s", nullptr, &out), E_POINTER);
  EXPECT_EQ(store_->ReadData(L"s", L"k", nullptr), E_POINTER);
  EXPECT_EQ(store_->ReadData(L"", L"k", &out), E_INVALIDARG);
  EXPECT_EQ(store_->WriteData(nullptr, L"k", bag), E_POINTER);
  EXPECT_EQ(store_->WriteData(L"s", nullptr, bag), E_POINTER);
  EXPECT_EQ(store_->WriteData(L"s", L"k", nullptr), E_POINTER);
  EXPECT_EQ(store_->WriteData(L"s", L"", bag), E_INVALIDARG);
  EXPECT_EQ(store_->RemoveData(nullptr, L"k"), E_POINTER);
  EXPECT_EQ(store_->GetKeys(nullptr, &keys), E_POINTER);
  EXPECT_EQ(store_->GetKeys(L"s", nullptr), E_POINTER);
  EXPECT_EQ(CreateSettingsStore(nullptr), E_POINTER);
  // A bag with an object in it cannot be stored; what was there stays.
  ASSERT_EQ(store_->WriteData(L"s", L"k", bag), S_OK);
  CKZComPtr<IKZData> with_object = Json(R"({"b":2})");
  with_object->SetInterface("o", IKZData::kIid, bag);
  EXPECT_EQ(store_->WriteData(L"s", L"k", with_object), E_INVALIDARG);
  EXPECT_EQ(Read(L"s", L"k"), R"({"a":1})");
}

TEST_F(SettingsStoreTest, ADamagedRowIsReportedAndLeftAsItIs) {
  ASSERT_EQ(store_->WriteData(L"s", L"k", Json(R"({"a":1})")), S_OK);
  static constexpr const char* kSteps[] = {
      "CREATE TABLE settings(section TEXT NOT NULL, key TEXT NOT NULL, value BLOB NOT NULL, "
      "PRIMARY KEY(section, key)) WITHOUT ROWID"};
  ASSERT_EQ(RunInProfile(StoreSchema{"settings", kSteps}, StoreAccess::kWrite,
                         [](sql::Db& db) {
                           return db.Exec("UPDATE settings SET value = x'4b5a423101'") ? S_OK
                                                                                       : KZ_E_STORE;
                         }),
            S_OK);
  EXPECT_EQ(Read(L"s", L"k"), "error " + std::to_string(KZ_E_STORE_BADDATA));
}

// Runs `body` in a child process; returns its pid. The child must not touch
// stores the parent opened, so every test here forks before using one.
template <class F>
pid_t Fork(F body) {
  pid_t pid = fork();
  if (pid == 0) {
    int code = body();
    _exit(code);
  }
  return pid;
}

int ExitCode(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(SettingsStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kWrites = 60;
  static constexpr const char* kSteps[] = {
      "CREATE TABLE counter(id INTEGER PRIMARY KEY, n INTEGER)",
      "INSERT INTO counter VALUES(1, 0)"};
  static constexpr StoreSchema kCounter{"counter_test", kSteps};
  auto writer = [&](int who) {
    return [=]() {
      CKZComPtr<IKZSettingsStore> store;
      CreateSettingsStore(&store);
      for (int i = 0; i < kWrites; ++i) {
        CKZComPtr<IKZData> bag;
        Util::Data::CreateKZData(&bag);
        bag->SetDWord("i", static_cast<DWORD>(i));
        std::wstring key = std::to_wstring(who) + L"-" + std::to_wstring(i);
        if (store->WriteData(L"race", key.c_str(), bag) != S_OK) return 1;
        // A read-modify-write in one transaction.
        HRESULT hr = RunInProfile(kCounter, StoreAccess::kWrite, [](sql::Db& db) {
          return db.Exec("UPDATE counter SET n = n + 1") ? S_OK : KZ_E_STORE;
        });
        if (hr != S_OK) return 2;
      }
      return 0;
    };
  };
  pid_t a = Fork(writer(1));
  pid_t b = Fork(writer(2));
  EXPECT_EQ(ExitCode(a), 0);
  EXPECT_EQ(ExitCode(b), 0);
  CKZComPtr<IKZArray> keys;
  ASSERT_EQ(store_->GetKeys(L"race", &keys), S_OK);
  DWORD count = 0;
  keys->GetCount(&count);
  EXPECT_EQ(count, 2u * kWrites);
  std::int64_t n = 0;
  RunInProfile(kCounter, StoreAccess::kRead, [&](sql::Db& db) {
    sql::Statement s;
    if (!db.Prepare("SELECT n FROM counter", &s) || s.Next() != sql::Statement::Step::kRow) {
      return KZ_E_STORE;
    }
    n = s.ColumnInt64(0);
    return S_OK;
  });
  EXPECT_EQ(n, 2 * kWrites);
}

TEST_F(SettingsStoreTest, AWriterKilledMidLoopLeavesTheOldOrTheNewValue) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = Fork([&]() {
    CKZComPtr<IKZSettingsStore> store;
    CreateSettingsStore(&store);
    CKZComPtr<IKZBuffer> blob;
    Util::Data::CreateKZBuffer(&blob);
    std::vector<BYTE> bytes(64 * 1024);
    for (DWORD i = 0;; ++i) {
      CKZComPtr<IKZData> bag;
      Util::Data::CreateKZData(&bag);
      bag->SetDWord("n", i);
      std::fill(bytes.begin(), bytes.end(), static_cast<BYTE>(i));
      blob->SetData(bytes.data(), static_cast<DWORD>(bytes.size()));
      bag->SetBuf("blob", blob);
      bag->SetDWord("copy", i);
      if (store->WriteData(L"kill", L"k", bag) != S_OK) return 1;
      if (i == 5) {
        char c = 1;
        if (write(ready[1], &c, 1) != 1) return 1;
      }
    }
  });
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kill(child, SIGKILL);
  EXPECT_EQ(ExitCode(child), 128 + SIGKILL);
  close(ready[0]);
  close(ready[1]);

  CKZComPtr<IKZData> bag;
  ASSERT_EQ(store_->ReadData(L"kill", L"k", &bag), S_OK) << LastStoreError();
  DWORD n = 0;
  DWORD copy = 1;
  bag->GetDWord("n", &n);
  bag->GetDWord("copy", &copy);
  EXPECT_GE(n, 5u);
  EXPECT_EQ(n, copy);
  CKZComPtr<IKZBuffer> blob;
  ASSERT_EQ(bag->GetBuf("blob", &blob), S_OK);
  BYTE* data = nullptr;
  DWORD size = 0;
  blob->GetData(&data);
  blob->GetSize(&size);
  ASSERT_EQ(size, 64u * 1024);
  EXPECT_EQ(std::count(data, data + size, static_cast<BYTE>(n)), 64 * 1024);
}

}  // namespace
}  // namespace platform
