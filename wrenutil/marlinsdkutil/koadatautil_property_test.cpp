// Property: a bag tree converted into a KOA record and back is equal to the
// original, apart from the documented exceptions, which the generator writes
// into the expected tree: a bool comes back as 0 or 1, and a bag array of
// buffers comes back empty (a KOA array of buffers is not converted).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/common/kzjson.h"
#include "platform/testing/platform_test.h"
#include "wrenutil/marlinsdkutil/koadatautil.h"
#include "wrenutil/testing/koa_tree.h"

namespace {

using KoaRoundTripTest = platform::testing::PlatformTest;

constexpr int kTrees = 300;
constexpr int kMaxDepth = 4;
constexpr std::uint32_t kSeed = 20261205;

// The deepest nesting of records and arrays in a JSON text.
int Depth(const std::string& json) {
  int depth = 0, deepest = 0;
  bool in_string = false;
  for (std::size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    if (in_string) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        in_string = false;
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{' || c == '[') {
      deepest = std::max(deepest, ++depth);
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return deepest;
}

TEST_F(KoaRoundTripTest, BagToKoaToBagGivesTheSameBag) {
  wrenutil::testing::TreeBytes bytes(kSeed);
  wrenutil::testing::KoaTreeGenerator generator(bytes, kMaxDepth, 3);
  int deep_trees = 0;
  for (int i = 0; i < kTrees; ++i) {
    SCOPED_TRACE(i);
    CKZComPtr<IKZData> original, expected;
    Util::Data::CreateKZData(&original);
    Util::Data::CreateKZData(&expected);
    generator.FillBag(original, expected, 0);
    std::shared_ptr<KOA::TData> koa = KOADataUtil::Data::KZDataToTData(original, nullptr);
    ASSERT_NE(koa, nullptr);
    std::optional<CKZComPtr<IKZData>> back = KOADataUtil::Data::TDataToKZData(koa, nullptr);
    ASSERT_TRUE(back.has_value());
    ASSERT_EQ((*back)->IsEqual(expected), S_OK) << "original: " << platform::KZDataToJson(original)
                                                << "\nback:     " << platform::KZDataToJson(*back);
    if (Depth(platform::KZDataToJson(original)) >= 4) ++deep_trees;
  }
  EXPECT_TRUE(logs().empty());
  EXPECT_GT(deep_trees, kTrees / 4) << "the trees should be several levels deep";
}

}  // namespace
