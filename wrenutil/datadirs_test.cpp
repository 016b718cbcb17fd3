#include "wrenutil/datadirs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/common/datafolders.h"
#include "platform/common/kzfs.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/testing/platform_test.h"

namespace {

namespace fs = std::filesystem;

class DataDirsTest : public platform::testing::PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    platform::SetProductSettings(platform::ProductSettings{L"Corvid", 1234});
  }
  static std::string Narrow(const CKZStringW& w) {
    return std::string(w.str().begin(), w.str().end());
  }
  // The three folders, and whether each exists afterwards.
  struct Three {
    std::string skiff, plugin, current;
    bool skiff_made, plugin_made, current_made;
  };
  static Three Call() {
    Three t;
    t.skiff = Narrow(Util::Dir::WREN::GetAppDataPathSKIFF());
    t.plugin = Narrow(Util::Dir::WREN::GetAppDataPathSKIFFPlugin());
    t.current = Narrow(Util::Dir::WREN::GetAppDataPathSKIFFCurPlugin());
    t.skiff_made = fs::is_directory(t.skiff);
    t.plugin_made = fs::is_directory(t.plugin);
    t.current_made = fs::is_directory(t.current);
    return t;
  }
};

TEST_F(DataDirsTest, OnlyTheLastFolderIsEverCreated) {
  std::string marlin = app_data_dir() + "/Corvid/Marlin/";
  // The root-name folder is missing: nothing below it can be made.
  Three t = Call();
  EXPECT_EQ(t.skiff, marlin);
  EXPECT_EQ(t.plugin, marlin + "Plugins/");
  EXPECT_EQ(t.current, marlin + "Plugins/Plugins/1234/");
  EXPECT_TRUE(fs::is_directory(app_data_dir())) << "the roaming folder is made on request";
  EXPECT_FALSE(t.skiff_made || t.plugin_made || t.current_made);

  // With the root-name folder, each call makes its own last folder; the
  // second "Plugins" folder is never made, so the current plug-in's is not.
  fs::create_directory(app_data_dir() + "/Corvid");
  t = Call();
  EXPECT_TRUE(t.skiff_made);
  EXPECT_TRUE(t.plugin_made);
  EXPECT_FALSE(fs::exists(marlin + "Plugins/Plugins"));
  EXPECT_FALSE(t.current_made);
  fs::create_directory(marlin + "Plugins/Plugins");
  EXPECT_TRUE(Call().current_made);
}

TEST_F(DataDirsTest, SeparatorsAndOddSettings) {
  struct Case {
    const char* name;
    std::optional<std::string> app_data;
    std::wstring root;
    DWORD version;
    std::string skiff;
    std::string current;
  } cases[] = {
      {"trailing separators", app_data_dir() + "//", L"Corvid", 1234,
       app_data_dir() + "/Corvid/Marlin/", app_data_dir() + "/Corvid/Marlin/Plugins/Plugins/1234/"},
      {"the other system's separators", app_data_dir() + "\\x\\", L"Corvid", 7,
       app_data_dir() + "/x/Corvid/Marlin/",
       app_data_dir() + "/x/Corvid/Marlin/Plugins/Plugins/7/"},
      {"empty root name", app_data_dir(), L"", 4294967295u, app_data_dir() + "//Marlin/",
       app_data_dir() + "//Marlin/Plugins/Plugins/4294967295/"},
      {"no roaming folder", "", L"Corvid", 1234, temp_dir() + "/program/",
       temp_dir() + "/program/Plugins/Plugins/1234/"},
  };
  fs::create_directory(temp_dir() + "/program");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::SetAppDataFolder(c.app_data);
    platform::SetProductSettings(platform::ProductSettings{c.root, c.version});
    Three t = Call();
    EXPECT_EQ(t.skiff, c.skiff);
    EXPECT_EQ(t.current, c.current);
  }
  // Without a roaming folder the program folder is returned as it is and the
  // plug-in folder is made inside it.
  EXPECT_TRUE(fs::is_directory(temp_dir() + "/program/Plugins"));
}

TEST_F(DataDirsTest, TheHeadImageFileSystemIsRegisteredOnce) {
  EXPECT_EQ(FS::IsFileSystemExist(L"MarlinHeadImage:"), 0);
  ASSERT_EQ(Util::Dir::Marlin::InitHeadImageFileSystem(), 1);
  EXPECT_EQ(FS::IsFileSystemExist(L"MarlinHeadImage:"), 1);
  std::string image = app_data_dir() + "/Corvid/10001/Image/";
  EXPECT_TRUE(fs::is_regular_file(image + "MarlinHeadImage.db"));
  const BYTE png[] = {0x89, 'P', 'N', 'G'};
  ASSERT_EQ(FS::WriteFile(L"MarlinHeadImage:10002.png", png, sizeof(png)), S_OK);

  // A second call does not register again: had it tried, the other user's
  // database path would have been refused and logged.
  platform::SetSession(platform::SessionInfo{10002, 3, 7});
  EXPECT_EQ(Util::Dir::Marlin::InitHeadImageFileSystem(), 1);
  EXPECT_TRUE(logs().empty());
  EXPECT_EQ(FS::ConvertToPureFile(L"MarlinHeadImage:"),
            CKZStringW(std::wstring(image.begin(), image.end())) + L"MarlinHeadImage.db");
}

TEST_F(DataDirsTest, AFailedRegistrationIsLoggedAndAnswersZero) {
  // A folder where the database should be.
  fs::create_directories(app_data_dir() + "/Corvid/10001/Image/MarlinHeadImage.db");
  EXPECT_EQ(Util::Dir::Marlin::InitHeadImageFileSystem(), 0);
  EXPECT_EQ(FS::IsFileSystemExist(L"MarlinHeadImage:"), 0);
  ASSERT_EQ(logs().size(), 1u);
  const platform::LogEntry& e = logs()[0];
  EXPECT_EQ(e.level, 2);
  EXPECT_EQ(e.module, L"MarlinFS");
  EXPECT_EQ(e.file, L"file");
  EXPECT_EQ(e.line, 18);
  EXPECT_EQ(e.function, L"func");
  EXPECT_EQ(e.message,
            L"添加文件系统(MarlinHeadImage:)失败!"
            L"[Time=2024-03-05 6:07:08.9][UnixTime=1709618828][CorpUin=0][ExtUin=10001]"
            L"[ClientVersion=307][ClientIP=0]");
}

}  // namespace
