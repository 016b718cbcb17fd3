// The data tools on bags a million levels deep. The comparisons and the
// prefix conversions walk nested records through the bags' own equality and
// copy; these tests need those to walk without recursion (kzdata.cpp), and
// stay disabled until they do.
#include <gtest/gtest.h>

#include "platform/testing/platform_test.h"
#include "wrenutil/testing/bag_chain.h"
#include "wrenutil/tools.h"

namespace {

using ToolsDeepTest = platform::testing::PlatformTest;
using wrenutil::testing::BagChain;

constexpr int kDeep = 1'000'000;

TEST_F(ToolsDeepTest, ComparisonsOfDeepRecords) {
  BagChain first = BagChain::Make(kDeep);
  BagChain second = BagChain::Make(kDeep);
  EXPECT_EQ(Util::Tools::CompareKZData(first.at(0), second.at(0)), 1);
  EXPECT_EQ(Util::Tools::CompareKZDataFieldValueKZData(first.at(0), second.at(0), "d", "d"), 1);
  second.last()->SetInt32("leaf", 8);
  EXPECT_EQ(Util::Tools::CompareKZData(first.at(0), second.at(0)), 0);
  EXPECT_EQ(Util::Tools::CompareKZDataFieldValueKZData(first.at(0), second.at(0), "d", "d"), 0);
}

TEST_F(ToolsDeepTest, PrefixConversionsOfDeepRecords) {
  BagChain source = BagChain::Make(kDeep);
  for (auto convert : {&Util::Tools::ConvertBufferToCStringInKZDataWithBytesPrefix,
                       &Util::Tools::ConvertCStringToBufferInKZDataWithStrPrefix}) {
    IKZData* raw = nullptr;
    ASSERT_EQ(convert(source.at(0), &raw), 1);
    CKZComPtr<IKZData> converted;
    converted.Attach(raw);
    BagChain copy = BagChain::Collect(converted);
    EXPECT_EQ(copy.size(), static_cast<std::size_t>(kDeep));
  }
}

}  // namespace
