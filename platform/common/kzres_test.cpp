#include "platform/common/kzres.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/testing/platform_test.h"

namespace {

class StringTableTest : public platform::testing::PlatformTest {
 protected:
  // Writes `text` to a file of this test; returns its path.
  std::string WriteFile(const std::string& name, const std::string& text) {
    std::string path = ::testing::TempDir() + "kzres_test_" + name;
    std::ofstream(path, std::ios::binary) << text;
    files_.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const std::string& f : files_) std::remove(f.c_str());
    PlatformTest::TearDown();
  }

 private:
  std::vector<std::string> files_;
};

TEST_F(StringTableTest, MissingKeysFallBackVisibly) {
  EXPECT_EQ(KZLoadString(L"no_such_key", L"platform").str(), L"[no_such_key]");
  EXPECT_EQ(KZLoadString(L"k", L"no_such_section").str(), L"[k]");
  EXPECT_EQ(KZLoadString(static_cast<const wchar_t*>(nullptr), L"platform").str(), L"[]");
  EXPECT_EQ(KZLoadString(L"k", static_cast<const wchar_t*>(nullptr)).str(), L"[k]");
  EXPECT_EQ(KZLoadString(static_cast<const char*>(nullptr), nullptr).str(), L"[]");
}

TEST_F(StringTableTest, SetLoadAndReset) {
  platform::SetLocalString(L"platform", L"Send_Message", L"发送消息");
  EXPECT_EQ(KZLoadString(L"Send_Message", L"platform").str(), L"发送消息");
  EXPECT_EQ(KZLoadString("Send_Message", "platform").str(), L"发送消息");
  EXPECT_EQ(KZLoadString(L"Send_Message", L"other").str(), L"[Send_Message]");

  std::string error;
  std::string good =
      WriteFile("good.json",
                R"({"platform":{"Send_Message":"Send","TestOnlyOpen":"打开"},"extra":{"k":"v"}})");
  EXPECT_TRUE(platform::LoadStringTable(good, &error)) << error;
  EXPECT_EQ(KZLoadString(L"Send_Message", L"platform").str(), L"Send") << "a file overrides";
  EXPECT_EQ(KZLoadString(L"TestOnlyOpen", L"platform").str(), L"打开");
  EXPECT_EQ(KZLoadString(L"k", L"extra").str(), L"v");

  struct Bad {
    const char* name;
    const char* text;
  };
  const Bad bad[] = {
      {"malformed", "{"},
      {"top level", "[]"},
      {"section", R"({"platform":"x"})"},
      {"text", R"({"platform":{"TestOnlyOpen":1}})"},
      // The good part of a file with a fault is not taken either.
      {"partial", R"({"platform":{"TestOnlyOpen":"changed"},"x":{"k":2}})"},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.name);
    error.clear();
    EXPECT_FALSE(platform::LoadStringTable(WriteFile(b.name, b.text), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(KZLoadString(L"TestOnlyOpen", L"platform").str(), L"打开");
  }
  EXPECT_FALSE(platform::LoadStringTable(::testing::TempDir() + "kzres_test_absent", nullptr));

  platform::ResetStringTable();
  EXPECT_EQ(KZLoadString(L"TestOnlyOpen", L"platform").str(), L"[TestOnlyOpen]");
  EXPECT_EQ(KZLoadString(L"k", L"extra").str(), L"[k]");
}

}  // namespace
