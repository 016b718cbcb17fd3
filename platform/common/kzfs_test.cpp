#include "platform/common/kzfs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/common/store.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/testing/platform_test.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<BYTE>;
using Names = std::vector<std::wstring>;

class FileSystemTest : public testing::PlatformTest {
 protected:
  std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }
  // Registers "Pack:" (a package) and "Dir:" (a folder) inside the test's folder.
  void AddBoth() {
    ASSERT_EQ(FS::AddFileSystem(FILESYSTEM_TYPE_PACKAGE, W(temp_dir() + "/p/pack.db").c_str(),
                                L"Pack:", 0, 0, 1),
              S_OK)
        << LastStoreError();
    ASSERT_EQ(
        FS::AddFileSystem(FILESYSTEM_TYPE_FOLDER, W(temp_dir() + "/dir").c_str(), L"Dir:", 0, 0, 1),
        S_OK)
        << LastStoreError();
  }
  // Every file below the test's folder, relative to it.
  std::vector<std::string> Tree() {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(temp_dir())) {
      if (e.is_regular_file()) out.push_back(fs::relative(e.path(), temp_dir()).string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }
};

TEST_F(FileSystemTest, FilesGoInAndComeOutOfEveryKind) {
  AddBoth();
  for (const wchar_t* fs_name : {L"Pack:", L"Dir:", L"UserDataImage:"}) {
    std::wstring name(fs_name);
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    Bytes big(10u << 20);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i * 7);
    struct File {
      std::wstring name;
      Bytes bytes;
    } files[] = {{L"10002.png", {1, 2, 3}}, {L"empty", {}}, {L"big", big}, {L"a..b 鹪.png", {9}}};
    for (const File& f : files) {
      ASSERT_EQ(FS::WriteFile((name + f.name).c_str(), f.bytes.data(), f.bytes.size()), S_OK)
          << LastStoreError();
    }
    for (const File& f : files) {
      Bytes back{42};
      ASSERT_EQ(FS::ReadFile((name + f.name).c_str(), &back), S_OK);
      EXPECT_TRUE(back == f.bytes);
    }
    Names names;
    ASSERT_EQ(FS::ListFiles(fs_name, &names), S_OK);
    EXPECT_EQ(names, (Names{L"10002.png", L"a..b 鹪.png", L"big", L"empty"}));
    // Replacing, removing.
    const BYTE two[] = {7, 7};
    ASSERT_EQ(FS::WriteFile((name + L"10002.png").c_str(), two, 2), S_OK);
    Bytes back;
    FS::ReadFile((name + L"10002.png").c_str(), &back);
    EXPECT_EQ(back, (Bytes{7, 7}));
    EXPECT_EQ(FS::RemoveFile((name + L"big").c_str()), S_OK);
    EXPECT_EQ(FS::RemoveFile((name + L"big").c_str()), KZ_E_FS_NOTFOUND);
    EXPECT_EQ(FS::ReadFile((name + L"big").c_str(), &back), KZ_E_FS_NOTFOUND);
    EXPECT_EQ(back, (Bytes{7, 7})) << "untouched on failure";
    ASSERT_EQ(FS::ListFiles(fs_name, &names), S_OK);
    EXPECT_EQ(names.size(), 3u);
  }
  // The real places: a package file, a folder, the user's image folder.
  EXPECT_EQ(Tree(),
            (std::vector<std::string>{
                "appdata/Corvid/10001/Image/10002.png", "appdata/Corvid/10001/Image/a..b 鹪.png",
                "appdata/Corvid/10001/Image/empty", "dir/10002.png", "dir/a..b 鹪.png", "dir/empty",
                "p/pack.db", "p/pack.db-shm", "p/pack.db-wal"}));
}

TEST_F(FileSystemTest, NamesThatCouldEscapeAreRefused) {
  AddBoth();
  const BYTE one[] = {1};
  const wchar_t* bad[] = {L"",     L".",         L"..",         L"../x.png", L"a/b", L"/etc/passwd",
                          L"a\\b", L"tab\there", L".wrenfs-1-x"};
  for (const wchar_t* fs_name : {L"Pack:", L"Dir:", L"UserDataImage:"}) {
    for (const wchar_t* name : bad) {
      std::wstring path = std::wstring(fs_name) + name;
      SCOPED_TRACE(std::string(path.begin(), path.end()));
      Bytes back;
      EXPECT_EQ(FS::WriteFile(path.c_str(), one, 1), E_INVALIDARG);
      EXPECT_EQ(FS::ReadFile(path.c_str(), &back), E_INVALIDARG);
      EXPECT_EQ(FS::RemoveFile(path.c_str()), E_INVALIDARG);
    }
    std::wstring long_name = std::wstring(fs_name) + std::wstring(256, L'x');
    EXPECT_EQ(FS::WriteFile(long_name.c_str(), one, 1), E_INVALIDARG);
  }
  // Nothing was written anywhere but the package itself.
  EXPECT_EQ(Tree(), (std::vector<std::string>{"p/pack.db", "p/pack.db-shm", "p/pack.db-wal"}));
  EXPECT_EQ(FS::WriteFile(L"Dir:x", nullptr, 1), E_POINTER);
  EXPECT_EQ(FS::WriteFile(nullptr, one, 1), E_POINTER);
  EXPECT_EQ(FS::ReadFile(L"Dir:x", nullptr), E_POINTER);
  EXPECT_EQ(FS::ListFiles(nullptr, nullptr), E_POINTER);
  EXPECT_EQ(FS::RemoveFile(nullptr), E_POINTER);
  EXPECT_EQ(FS::WriteFile(L"Nope:x", one, 1), KZ_E_FS_NOTFOUND);
  EXPECT_EQ(FS::WriteFile(L"no-colon", one, 1), KZ_E_FS_NOTFOUND);
  Bytes too_big(kMaxVirtualFileSize + 1);
  EXPECT_EQ(FS::WriteFile(L"Pack:huge", too_big.data(), too_big.size()), E_INVALIDARG);
}

TEST_F(FileSystemTest, RegistrationIsIdempotentAndGuarded) {
  std::wstring pack = W(temp_dir() + "/pack.db");
  std::wstring other = W(temp_dir() + "/other.db");
  std::wstring folder = W(temp_dir());
  struct Step {
    const char* name;
    FILESYSTEM_TYPE type;
    const wchar_t* path;
    const wchar_t* fs_name;
    int create;
    HRESULT result;
  } steps[] = {
      {"missing without create", FILESYSTEM_TYPE_PACKAGE, pack.c_str(), L"P:", 0, KZ_E_FS_NOTFOUND},
      {"first", FILESYSTEM_TYPE_PACKAGE, pack.c_str(), L"P:", 1, S_OK},
      {"again", FILESYSTEM_TYPE_PACKAGE, pack.c_str(), L"P:", 1, S_FALSE},
      {"another path", FILESYSTEM_TYPE_PACKAGE, other.c_str(), L"P:", 1, KZ_E_FS_EXISTS},
      {"another type", FILESYSTEM_TYPE_FOLDER, pack.c_str(), L"P:", 1, KZ_E_FS_EXISTS},
      {"the platform's own", FILESYSTEM_TYPE_FOLDER, other.c_str(), L"UserDataImage:", 1,
       KZ_E_FS_EXISTS},
      {"no colon", FILESYSTEM_TYPE_PACKAGE, other.c_str(), L"Q", 1, E_INVALIDARG},
      {"two colons", FILESYSTEM_TYPE_PACKAGE, other.c_str(), L"Q:a:", 1, E_INVALIDARG},
      {"slash", FILESYSTEM_TYPE_PACKAGE, other.c_str(), L"a/Q:", 1, E_INVALIDARG},
      {"unknown type", static_cast<FILESYSTEM_TYPE>(2), other.c_str(), L"Q:", 1, E_INVALIDARG},
      {"empty path", FILESYSTEM_TYPE_PACKAGE, L"", L"Q:", 1, E_INVALIDARG},
      {"a folder as package", FILESYSTEM_TYPE_PACKAGE, folder.c_str(), L"Q:", 1, KZ_E_STORE},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(FS::AddFileSystem(s.type, s.path, s.fs_name, 0, 0, s.create), s.result);
  }
  EXPECT_EQ(FS::IsFileSystemExist(L"P:"), 1);
  EXPECT_EQ(FS::IsFileSystemExist(L"UserDataImage:"), 1);
  EXPECT_EQ(FS::IsFileSystemExist(L"Q:"), 0);
  EXPECT_EQ(FS::IsFileSystemExist(nullptr), 0);
  EXPECT_EQ(FS::AddFileSystem(FILESYSTEM_TYPE_PACKAGE, nullptr, L"Q:", 0, 0, 1), E_POINTER);
  EXPECT_EQ(FS::AddFileSystem(FILESYSTEM_TYPE_PACKAGE, pack.c_str(), nullptr, 0, 0, 1), E_POINTER);
  EXPECT_EQ(FS::RemoveFileSystem(L"P:"), S_OK);
  EXPECT_EQ(FS::RemoveFileSystem(L"P:"), KZ_E_FS_NOTFOUND);
  EXPECT_EQ(FS::RemoveFileSystem(nullptr), E_POINTER);
}

TEST_F(FileSystemTest, AReadOnlyFileSystemRefusesWrites) {
  std::wstring pack = W(temp_dir() + "/pack.db");
  ASSERT_EQ(FS::AddFileSystem(FILESYSTEM_TYPE_PACKAGE, pack.c_str(), L"P:", 0, 0, 1), S_OK);
  const BYTE one[] = {1};
  ASSERT_EQ(FS::WriteFile(L"P:a", one, 1), S_OK);
  FS::RemoveFileSystem(L"P:");
  ASSERT_EQ(FS::AddFileSystem(FILESYSTEM_TYPE_PACKAGE, pack.c_str(), L"P:", 1, 0, 0), S_OK);
  EXPECT_EQ(FS::WriteFile(L"P:b", one, 1), KZ_E_STORE_READONLY);
  EXPECT_EQ(FS::RemoveFile(L"P:a"), KZ_E_STORE_READONLY);
  Bytes back;
  EXPECT_EQ(FS::ReadFile(L"P:a", &back), S_OK);
  EXPECT_EQ(back, Bytes{1});
}

TEST_F(FileSystemTest, VirtualPathsConvertToRealOnes) {
  AddBoth();
  std::string image = app_data_dir() + "/Corvid/10001/Image/";
  struct Case {
    const wchar_t* path;
    std::string pure;
  } cases[] = {
      {L"UserDataImage:", image},
      {L"UserDataImage:MarlinHeadImage.db", image + "MarlinHeadImage.db"},
      {L"UserDataImage:../x", ""},
      {L"Dir:", temp_dir() + "/dir/"},
      {L"Dir:a.png", temp_dir() + "/dir/a.png"},
      {L"Pack:", temp_dir() + "/p/pack.db"},
      {L"Pack:a.png", ""},
      {L"Unknown:a.png", ""},
      {L"/plain/path", "/plain/path"},
  };
  for (const Case& c : cases) {
    std::wstring p(c.path);
    SCOPED_TRACE(std::string(p.begin(), p.end()));
    EXPECT_EQ(FS::ConvertToPureFile(c.path), CKZStringW(W(c.pure)));
  }
  EXPECT_EQ(FS::ConvertToPureFile(nullptr), L"");
  EXPECT_TRUE(fs::is_directory(image));
  // Another user: another image folder.
  SetSession(SessionInfo{10002, 3, 7});
  EXPECT_EQ(FS::ConvertToPureFile(L"UserDataImage:"),
            CKZStringW(W(app_data_dir() + "/Corvid/10002/Image/")));
}

}  // namespace
}  // namespace platform
