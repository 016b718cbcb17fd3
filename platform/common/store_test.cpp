#include "platform/common/store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/kernelutil/kernelutil.h"
#include "platform/testing/platform_test.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kStepsV1[] = {"CREATE TABLE notes(id INTEGER PRIMARY KEY, text TEXT)"};
constexpr const char* kStepsV2[] = {"CREATE TABLE notes(id INTEGER PRIMARY KEY, text TEXT)",
                                    "ALTER TABLE notes ADD COLUMN stamp INTEGER DEFAULT 7"};
constexpr StoreSchema kNotesV1{"notes", kStepsV1};
constexpr StoreSchema kNotesV2{"notes", kStepsV2};

class StoreTest : public testing::PlatformTest {
 protected:
  std::string Path() const { return temp_dir() + "/s.db"; }

  HRESULT Insert(const StoreSchema& schema, const std::string& text) {
    return RunInStore(Path(), schema, StoreAccess::kWrite, [&](sql::Db& db) {
      sql::Statement s;
      if (!db.Prepare("INSERT INTO notes(text) VALUES(?)", &s) || !s.Bind(1, text) || !s.Run()) {
        return KZ_E_STORE;
      }
      return S_OK;
    });
  }
  // The texts of the table, or "<error>".
  std::string Texts(const StoreSchema& schema) {
    std::string out;
    HRESULT hr = RunInStore(Path(), schema, StoreAccess::kRead, [&](sql::Db& db) {
      sql::Statement s;
      if (!db.Prepare("SELECT text FROM notes ORDER BY id", &s)) return KZ_E_STORE;
      while (s.Next() == sql::Statement::Step::kRow) out += std::string(s.ColumnText(0)) + ";";
      return S_OK;
    });
    return SUCCEEDED(hr) ? out : "<error>";
  }
  void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(temp_dir())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(StoreTest, ComponentsMigrateStepByStepAndKeepTheirData) {
  ASSERT_EQ(Insert(kNotesV1, "a"), S_OK);
  CloseStores();
  // A newer program adds a column; the row written before is still there.
  ASSERT_EQ(Insert(kNotesV2, "b"), S_OK);
  std::int64_t stamp = 0;
  ASSERT_EQ(RunInStore(Path(), kNotesV2, StoreAccess::kRead,
                       [&](sql::Db& db) {
                         sql::Statement s;
                         if (!db.Prepare("SELECT stamp FROM notes WHERE text = 'a'", &s) ||
                             s.Next() != sql::Statement::Step::kRow) {
                           return KZ_E_STORE;
                         }
                         stamp = s.ColumnInt64(0);
                         return S_OK;
                       }),
            S_OK);
  EXPECT_EQ(stamp, 7);
  EXPECT_EQ(Texts(kNotesV2), "a;b;");

  // An older program meets tables newer than it knows: refused, named.
  CloseStores();
  EXPECT_EQ(Texts(kNotesV1), "<error>");
  EXPECT_NE(LastStoreError().find("\"notes\" at version 2"), std::string::npos) << LastStoreError();
  EXPECT_NE(LastStoreError().find(Path()), std::string::npos);
}

TEST_F(StoreTest, FailedWorkRollsBackEverything) {
  ASSERT_EQ(Insert(kNotesV1, "kept"), S_OK);
  HRESULT hr = RunInStore(Path(), kNotesV1, StoreAccess::kWrite, [&](sql::Db& db) {
    db.Exec("INSERT INTO notes(text) VALUES('lost')");
    return E_INVALIDARG;
  });
  EXPECT_EQ(hr, E_INVALIDARG);
  // A failing statement: its message, naming the file, becomes the error.
  hr = RunInStore(Path(), kNotesV1, StoreAccess::kWrite, [&](sql::Db& db) {
    db.Exec("INSERT INTO notes(text) VALUES('lost too')");
    return db.Exec("INSERT INTO missing_table VALUES(1)") ? S_OK : KZ_E_STORE;
  });
  EXPECT_EQ(hr, KZ_E_STORE);
  EXPECT_NE(LastStoreError().find("no such table: missing_table"), std::string::npos)
      << LastStoreError();
  EXPECT_NE(LastStoreError().find(Path()), std::string::npos);
  EXPECT_EQ(Texts(kNotesV1), "kept;");
  EXPECT_EQ(LastStoreError(), "") << "cleared by a success";
}

TEST_F(StoreTest, ADamagedFileIsMovedAsideWithATimeStampAndLogged) {
  ASSERT_EQ(Insert(kNotesV1, "a"), S_OK);
  CloseStores();
  std::string good;
  {
    std::ifstream in(Path(), std::ios::binary);
    good.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_GT(good.size(), 4096u);
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"not a database", "this is a text file, not a database\n"},
      {"truncated", good.substr(0, 4096 + 100)},
      {"header damaged", std::string(100, '\xff') + good.substr(100)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(temp_dir() + "/aside");
    for (const auto& name : Files()) {
      if (name != "appdata" && name != "program") fs::remove(temp_dir() + "/" + name);
    }
    WriteFile(Path(), c.bytes);
    ClearLogs();
    // The damaged file is not read and not overwritten: the store starts
    // afresh next to it.
    EXPECT_EQ(Insert(kNotesV1, "fresh"), S_OK) << LastStoreError();
    EXPECT_EQ(Texts(kNotesV1), "fresh;");
    std::string aside = Path() + ".corrupt-20240305T060708Z";
    ASSERT_TRUE(fs::exists(aside));
    std::ifstream in(aside, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.bytes);
    ASSERT_EQ(logs().size(), 1u);
    EXPECT_EQ(logs()[0].level, 2);
    EXPECT_EQ(logs()[0].module, L"Store");
    std::string message(logs()[0].message.begin(), logs()[0].message.end());
    EXPECT_NE(message.find(Path() + " is damaged"), std::string::npos) << message;
    EXPECT_NE(message.find("moved aside to " + aside), std::string::npos) << message;
    CloseStores();
  }
}

TEST_F(StoreTest, AForeignDatabaseIsRefusedAndLeftAsItIs) {
  // A sound SQLite file of some other program, with a table of our name.
  constexpr const char* kForeign[] = {"CREATE TABLE notes(x BLOB, y BLOB)",
                                      "INSERT INTO notes VALUES(1, 2)"};
  ASSERT_EQ(RunInStore(Path(), StoreSchema{"foreign", kForeign}, StoreAccess::kWrite, nullptr),
            S_OK);
  EXPECT_EQ(Insert(kNotesV1, "a"), KZ_E_STORE);
  EXPECT_NE(LastStoreError().find("table notes already exists"), std::string::npos)
      << LastStoreError();
  EXPECT_NE(LastStoreError().find(Path()), std::string::npos);
  EXPECT_FALSE(fs::exists(Path() + ".corrupt-20240305T060708Z"));
  std::int64_t rows = 0;
  RunInStore(Path(), StoreSchema{"foreign", kForeign}, StoreAccess::kRead, [&](sql::Db& db) {
    sql::Statement s;
    bool row = false;
    if (!db.Prepare("SELECT count(*) FROM notes WHERE x = 1", &s) || !s.Fetch(&row)) {
      return KZ_E_STORE;
    }
    rows = s.ColumnInt64(0);
    return S_OK;
  });
  EXPECT_EQ(rows, 1);
}

TEST_F(StoreTest, TwoDamagedFilesInOneSecondKeepDistinctNames) {
  for (int i = 0; i < 2; ++i) {
    CloseStores();
    WriteFile(Path(), "garbage " + std::to_string(i));
    ASSERT_EQ(Insert(kNotesV1, "x"), S_OK);
  }
  EXPECT_TRUE(fs::exists(Path() + ".corrupt-20240305T060708Z"));
  EXPECT_TRUE(fs::exists(Path() + ".corrupt-20240305T060708Z-2"));
}

TEST_F(StoreTest, AReadOnlyFileIsReadButNeverWritten) {
  ASSERT_EQ(Insert(kNotesV1, "a"), S_OK);
  CloseStores();
  chmod(Path().c_str(), 0444);
  EXPECT_EQ(Texts(kNotesV1), "a;");
  EXPECT_EQ(Insert(kNotesV1, "b"), KZ_E_STORE_READONLY);
  EXPECT_EQ(LastStoreError(), Path() + " is read-only; nothing was written");
  // A read-only file without the component's tables cannot get them.
  constexpr const char* kOther[] = {"CREATE TABLE other(x)"};
  EXPECT_EQ(RunInStore(Path(), StoreSchema{"other", kOther}, StoreAccess::kRead, nullptr),
            KZ_E_STORE_READONLY);
  // A damaged read-only file is left where it is.
  CloseStores();
  chmod(Path().c_str(), 0644);
  WriteFile(Path(), "garbage");
  chmod(Path().c_str(), 0444);
  EXPECT_EQ(Texts(kNotesV1), "<error>");
  EXPECT_NE(LastStoreError().find("damaged and read-only"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path() + ".corrupt-20240305T060708Z"));
}

TEST_F(StoreTest, PathsThatCannotHoldAStoreGiveErrorsNamingThem) {
  fs::create_directory(Path());
  EXPECT_EQ(Insert(kNotesV1, "a"), KZ_E_STORE);
  EXPECT_EQ(LastStoreError(), "cannot open " + Path() + ": it is not a regular file");
  std::string missing = temp_dir() + "/no/such/folder/s.db";
  EXPECT_EQ(RunInStore(missing, kNotesV1, StoreAccess::kRead, nullptr), KZ_E_STORE);
  EXPECT_NE(LastStoreError().find(missing), std::string::npos) << LastStoreError();
  EXPECT_EQ(RunInStore("", kNotesV1, StoreAccess::kRead, nullptr), E_INVALIDARG);
}

TEST_F(StoreTest, TheProfileLivesInTheUsersDataFolder) {
  std::string path;
  ASSERT_TRUE(ProfilePath(&path, nullptr));
  EXPECT_EQ(path, app_data_dir() + "/Corvid/10001/profile.db");
  ASSERT_EQ(RunInProfile(kNotesV1, StoreAccess::kWrite, nullptr), S_OK);
  EXPECT_TRUE(fs::exists(path));
  // Another user gets another profile.
  SetSession(SessionInfo{10002, 3, 7});
  ASSERT_TRUE(ProfilePath(&path, nullptr));
  EXPECT_EQ(path, app_data_dir() + "/Corvid/10002/profile.db");
}

}  // namespace
}  // namespace platform
