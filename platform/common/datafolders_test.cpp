#include "platform/common/datafolders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/afutil/afutil.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/testing/platform_test.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

class DataFoldersTest : public testing::PlatformTest {
 protected:
  // Sets or unsets an environment variable for the test's time.
  void Env(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  void TearDown() override {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) {
        setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        unsetenv(it->first.c_str());
      }
    }
    PlatformTest::TearDown();
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(DataFoldersTest, TheXdgFolderIsFoundAndMade) {
  SetAppDataFolder(std::nullopt);
  std::string xdg = temp_dir() + "/xdg/data";
  std::string home = temp_dir() + "/home";
  std::string xdg_slashes = xdg + "//";
  struct Case {
    const char* name;
    const char* xdg;
    const char* home;
    std::optional<std::string> folder;
  } cases[] = {
      {"XDG_DATA_HOME", xdg.c_str(), home.c_str(), xdg},
      {"relative XDG_DATA_HOME is ignored", "rel/data", home.c_str(), home + "/.local/share"},
      {"HOME", nullptr, home.c_str(), home + "/.local/share"},
      {"neither", nullptr, nullptr, std::nullopt},
      {"trailing slashes", xdg_slashes.c_str(), nullptr, xdg},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Env("XDG_DATA_HOME", c.xdg);
    Env("HOME", c.home);
    std::string folder = "untouched";
    EXPECT_EQ(GetAppDataFolder(&folder), c.folder.has_value());
    EXPECT_EQ(folder, c.folder.value_or("untouched"));
    if (c.folder) {
      EXPECT_TRUE(fs::is_directory(*c.folder));
    }
  }
}

TEST_F(DataFoldersTest, TheUserFolderFallsBackToTheProgramFolder) {
  std::string folder;
  ASSERT_TRUE(GetUserDataFolder(&folder, nullptr));
  EXPECT_EQ(folder, app_data_dir() + "/Corvid/10001/");
  EXPECT_TRUE(fs::is_directory(folder));

  SetAppDataFolder("");
  SetProductSettings(ProductSettings{L"鹪鹩", 1234});
  ASSERT_TRUE(GetUserDataFolder(&folder, nullptr));
  EXPECT_EQ(folder, temp_dir() + "/program/鹪鹩/10001/");

  // A folder that cannot be made is an error naming it.
  SetAppDataFolder(temp_dir() + "/file");
  SetProgramFolder(temp_dir() + "/file/");
  std::FILE* f = std::fopen((temp_dir() + "/file").c_str(), "w");
  std::fclose(f);
  std::string error;
  EXPECT_FALSE(GetAppDataFolder(nullptr));
  EXPECT_FALSE(GetUserDataFolder(&folder, &error));
  EXPECT_NE(error.find(temp_dir() + "/file/"), std::string::npos) << error;
}

TEST_F(DataFoldersTest, ProductSettingsReachTheirFunctions) {
  CKZStringW name;
  EXPECT_EQ(Util::ProductConfig::GetCorvidRootName(name), 1);
  EXPECT_EQ(name, L"Corvid");
  EXPECT_EQ(Util::WRENVersion::GetWRENPluginVersion(), 1u);
  SetProductSettings(ProductSettings{L"", 1234});
  Util::ProductConfig::GetCorvidRootName(name);
  EXPECT_EQ(name, L"");
  EXPECT_EQ(Util::WRENVersion::GetWRENPluginVersion(), 1234u);
  EXPECT_EQ(Util::Sys::GetProgramRootDir(), CKZStringW(L"") + Util::Sys::GetProgramRootDir());
  // Without a replacement: the folder of the running test program.
  SetProgramFolder(std::nullopt);
  std::string exe = fs::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(ProgramFolder(), exe.substr(0, exe.rfind('/') + 1));
}

}  // namespace
}  // namespace platform
