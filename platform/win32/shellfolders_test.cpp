#include "platform/win32/shellfolders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/common/datafolders.h"
#include "platform/testing/platform_test.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using ShellFoldersTest = testing::PlatformTest;

std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST_F(ShellFoldersTest, TheRoamingFolderIsMadeOnlyWhenAskedTo) {
  wchar_t path[MAX_PATH] = L"untouched";
  // Missing and not to be made: nothing.
  EXPECT_EQ(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, 0), 0);
  EXPECT_STREQ(path, L"untouched");
  EXPECT_FALSE(fs::exists(app_data_dir()));
  EXPECT_EQ(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, 1), 1);
  EXPECT_EQ(std::wstring(path), W(app_data_dir()));
  EXPECT_TRUE(fs::is_directory(app_data_dir()));
  EXPECT_EQ(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, 0), 1);

  // Other folders, no buffer, no roaming folder, a path too long.
  EXPECT_EQ(SHGetSpecialFolderPathW(nullptr, path, 5, 1), 0);
  EXPECT_EQ(SHGetSpecialFolderPathW(nullptr, nullptr, CSIDL_APPDATA, 1), 0);
  SetAppDataFolder("");
  EXPECT_EQ(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, 1), 0);
  SetAppDataFolder(temp_dir() + "/" + std::string(MAX_PATH, 'x'));
  EXPECT_EQ(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, 0), 0);
}

TEST_F(ShellFoldersTest, AttributesAndOneFolderAtATime) {
  std::wstring top = W(temp_dir());
  std::wstring nested = top + L"/a/b";
  EXPECT_EQ(GetFileAttributesW(top.c_str()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesW(nested.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(CreateDirectoryW(nested.c_str(), nullptr), 0) << "its parent is missing";
  EXPECT_EQ(CreateDirectoryW((top + L"/a").c_str(), nullptr), 1);
  EXPECT_EQ(CreateDirectoryW((top + L"/a").c_str(), nullptr), 0) << "exists already";
  EXPECT_EQ(CreateDirectoryW((nested + L"/").c_str(), nullptr), 1);
  EXPECT_EQ(GetFileAttributesW(nested.c_str()), FILE_ATTRIBUTE_DIRECTORY);
  std::FILE* f = std::fopen((temp_dir() + "/a/file").c_str(), "w");
  std::fclose(f);
  EXPECT_EQ(GetFileAttributesW((top + L"/a/file").c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesW(nullptr), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(CreateDirectoryW(nullptr, nullptr), 0);
}

}  // namespace
}  // namespace platform
