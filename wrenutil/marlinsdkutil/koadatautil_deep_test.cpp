// The bridge on trees far deeper than a call stack: a million levels are
// converted up to the nesting limit, never beyond, and the limit is exact.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing/platform_test.h"
#include "wrenutil/marlinsdkutil/koadatautil.h"
#include "wrenutil/testing/bag_chain.h"

namespace {

using KoaDeepTest = platform::testing::PlatformTest;
using wrenutil::testing::BagChain;

constexpr int kDeep = 1'000'000;
constexpr int kLimit = 100'000;  // levels below the record given

// A chain of `levels` KOA records, each holding the next as "d"; the last
// holds "leaf" = 7. Built from the root down.
std::shared_ptr<KOA::TData> KoaChain(int levels) {
  std::shared_ptr<KOA::TData> root = KOA::TData::CreateTData(1);
  KOA::TData* record = root.get();
  for (int i = 1; i < levels; ++i) {
    std::shared_ptr<KOA::TData> next = KOA::TData::CreateTData(1);
    record->SetData("d", next);
    record = next.get();
  }
  record->SetInt32("leaf", 7);
  return root;
}

// The record `steps` levels below `record`.
std::shared_ptr<KOA::TData> KoaBelow(std::shared_ptr<KOA::TData> record, int steps) {
  for (int i = 0; i < steps && record; ++i) record = record->GetData("d");
  return record;
}

int LeafOf(IKZData* bag) {
  std::int32_t leaf = 0;
  bag->GetInt32("leaf", &leaf);
  return leaf;
}

TEST_F(KoaDeepTest, KoaIntoBagConvertsUpToTheLimitAndReportsWhatItLeftOut) {
  std::shared_ptr<KOA::TData> chain = KoaChain(kDeep);
  {
    // Exactly the limit below the record given: all of it.
    CKZComPtr<IKZData> top;
    Util::Data::CreateKZData(&top);
    EXPECT_TRUE(
        KOADataUtil::Data::TDataToKZData(KoaBelow(chain, kDeep - kLimit - 1), top, nullptr));
    BagChain converted = BagChain::Collect(top);
    EXPECT_EQ(converted.size(), static_cast<std::size_t>(kLimit + 1));
    EXPECT_EQ(LeafOf(converted.last()), 7);
  }
  {
    // One level more: the record below the limit is left out.
    CKZComPtr<IKZData> top;
    Util::Data::CreateKZData(&top);
    EXPECT_FALSE(
        KOADataUtil::Data::TDataToKZData(KoaBelow(chain, kDeep - kLimit - 2), top, nullptr));
    BagChain converted = BagChain::Collect(top);
    EXPECT_EQ(converted.size(), static_cast<std::size_t>(kLimit + 1));
    DWORD fields = 1;
    converted.last()->GetFieldCount(&fields);
    EXPECT_EQ(fields, 0u);
  }
  {
    // A million levels, through the single-field and the array entries.
    CKZComPtr<IKZData> top;
    Util::Data::CreateKZData(&top);
    EXPECT_FALSE(KOADataUtil::Data::CopyTDataFieldToKZData(chain, "d", top, "d", nullptr));
    EXPECT_EQ(BagChain::Collect(top).size(), static_cast<std::size_t>(kLimit + 1));

    std::shared_ptr<KOA::TArray> list = KOA::TArray::CreateTArray(1);
    list->AddData(chain);
    CKZComPtr<IKZArray> elements;
    Util::Data::CreateKZArray(&elements);
    EXPECT_FALSE(KOADataUtil::Array::TArrayToKZArray(list, elements, nullptr));
    CKZComPtr<IKZData> first;
    elements->GetKZData(0, &first);
    elements = nullptr;
    EXPECT_EQ(BagChain::Collect(first).size(), static_cast<std::size_t>(kLimit));
  }
  EXPECT_TRUE(logs().empty());
}

TEST_F(KoaDeepTest, BagIntoKoaConvertsUpToTheLimitAndLogsWhatItLeftOut) {
  // The chain's top is also the element of an array.
  CKZComPtr<IKZArray> list;
  Util::Data::CreateKZArray(&list);
  BagChain chain = BagChain::Make(kDeep, list);
  // Exactly the limit below the bag given: all of it, silently.
  std::shared_ptr<KOA::TData> whole =
      KOADataUtil::Data::KZDataToTData(chain.at(kDeep - kLimit - 1), nullptr);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(KoaBelow(whole, kLimit)->GetInt32("leaf"), 7);
  EXPECT_TRUE(logs().empty());

  // A million levels: the level below the limit is logged and left out.
  std::shared_ptr<KOA::TData> cut = KOADataUtil::Data::KZDataToTData(chain.at(0), nullptr);
  ASSERT_NE(cut, nullptr);
  std::shared_ptr<KOA::TData> deepest = KoaBelow(cut, kLimit);
  ASSERT_NE(deepest, nullptr);
  EXPECT_EQ(deepest->GetFieldCount(), 0u);
  EXPECT_EQ(LogMessages(), std::vector<std::wstring>{L"KZData To TData Failed, error is 40"});

  // The same through the array.
  std::optional<std::shared_ptr<KOA::TArray>> array =
      KOADataUtil::Array::KZArrayToTArray(list, nullptr);
  ASSERT_TRUE(array.has_value());
  EXPECT_EQ(KoaBelow((*array)->GetData(0), kLimit - 1)->GetFieldCount(), 0u);
  EXPECT_EQ(LogMessages().size(), 2u);
  list = nullptr;
}

}  // namespace
