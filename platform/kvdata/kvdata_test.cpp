#include "platform/kvdata/kvdata.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/common/store.h"
#include "platform/kernelutil/kernelutil.h"
#include "platform/testing/platform_test.h"

namespace platform {
namespace {

using KVDataTest = testing::PlatformTest;

TEST_F(KVDataTest, ValuesKeepTheirKindAndFallBackToTheDefault) {
  EXPECT_EQ(Util::KVData::GetDWord("Misc", "szSubKey_OrgExtuinHideSwitch", 0), 0u);
  EXPECT_EQ(Util::KVData::GetDWord("Misc", "szSubKey_OrgExtuinHideSwitch", 9), 9u);
  ASSERT_EQ(Util::KVData::SetDWord("Misc", "szSubKey_OrgExtuinHideSwitch", 1), S_OK);
  EXPECT_EQ(Util::KVData::GetDWord("Misc", "szSubKey_OrgExtuinHideSwitch", 0), 1u);
  // Narrow and wide names are the same entry.
  EXPECT_EQ(Util::KVData::GetDWord(L"Misc", L"szSubKey_OrgExtuinHideSwitch", 0), 1u);
  ASSERT_EQ(Util::KVData::SetDWord(L"Misc", L"big", 0xFFFFFFFFu), S_OK);
  EXPECT_EQ(Util::KVData::GetDWord("Misc", "big", 0), 0xFFFFFFFFu);
  // Case matters; a text is not a number and the other way round.
  EXPECT_EQ(Util::KVData::GetDWord("misc", "szSubKey_OrgExtuinHideSwitch", 5), 5u);
  ASSERT_EQ(Util::KVData::SetStr(L"Misc", L"name", L"鹪鹩"), S_OK);
  EXPECT_EQ(Util::KVData::GetDWord("Misc", "name", 3), 3u);
  EXPECT_EQ(Util::KVData::GetStr(L"Misc", L"name", L"d"), L"鹪鹩");
  EXPECT_EQ(Util::KVData::GetStr(L"Misc", L"big", L"d"), L"d");
  // A number set over a text replaces it.
  ASSERT_EQ(Util::KVData::SetDWord(L"Misc", L"name", 4), S_OK);
  EXPECT_EQ(Util::KVData::GetDWord("Misc", "name", 3), 4u);
  ASSERT_EQ(Util::KVData::Remove(L"Misc", L"name"), S_OK);
  EXPECT_EQ(Util::KVData::GetDWord("Misc", "name", 3), 3u);
  // Kept across a reopening of the store; each user has their own.
  CloseStores();
  EXPECT_EQ(Util::KVData::GetDWord("Misc", "szSubKey_OrgExtuinHideSwitch", 0), 1u);
  SetSession(SessionInfo{10002, 3, 7});
  EXPECT_EQ(Util::KVData::GetDWord("Misc", "szSubKey_OrgExtuinHideSwitch", 0), 0u);
}

TEST_F(KVDataTest, BadNamesAndAFailingStoreGiveTheDefault) {
  EXPECT_EQ(Util::KVData::GetDWord(static_cast<const char*>(nullptr), "k", 4), 4u);
  EXPECT_EQ(Util::KVData::GetDWord(L"s", static_cast<const wchar_t*>(nullptr), 4), 4u);
  EXPECT_EQ(Util::KVData::GetStr(nullptr, L"k", nullptr), L"");
  EXPECT_EQ(Util::KVData::SetDWord(static_cast<const char*>(nullptr), "k", 1), E_POINTER);
  EXPECT_EQ(Util::KVData::SetStr(L"s", nullptr, L"v"), E_POINTER);
  EXPECT_EQ(Util::KVData::SetDWord("", "k", 1), E_INVALIDARG);
  EXPECT_EQ(Util::KVData::Remove(nullptr, L"k"), E_POINTER);

  ASSERT_EQ(Util::KVData::SetDWord("s", "k", 1), S_OK);
  std::string path;
  ASSERT_TRUE(ProfilePath(&path, nullptr));
  CloseStores();
  chmod(path.c_str(), 0444);
  EXPECT_EQ(Util::KVData::GetDWord("s", "k", 0), 1u);
  EXPECT_EQ(Util::KVData::SetDWord("s", "k", 2), KZ_E_STORE_READONLY);
  EXPECT_NE(LastStoreError().find(path), std::string::npos);
  EXPECT_EQ(Util::KVData::GetDWord("s", "k", 0), 1u);
}

}  // namespace
}  // namespace platform
