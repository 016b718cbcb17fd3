#include "platform/common/kzdata.h"

#include <gtest/gtest.h>

#include "platform/common/kzjson.h"
#include "platform/testing/platform_test.h"

namespace {

using BagTest = platform::testing::PlatformTest;

CKZComPtr<IKZData> Bag(const char* json) {
  CKZComPtr<IKZData> d;
  std::string error;
  EXPECT_EQ(platform::JsonToKZData(json, &d, &error), S_OK) << error;
  return d;
}

TEST_F(BagTest, SetGetKeepsOrderAndTypes) {
  CKZComPtr<IKZData> d;
  ASSERT_EQ(Util::Data::CreateKZData(&d), 1);
  EXPECT_EQ(d->SetDWord("dwId", 7), S_OK);
  EXPECT_EQ(d->SetStr(L"strName", L"张三"), S_OK);
  EXPECT_EQ(d->SetUInt64("uint64_account", 1ull << 40), S_OK);
  DWORD id = 0;
  EXPECT_EQ(d->GetDWord(L"dwId", &id), S_OK);
  EXPECT_EQ(id, 7u);
  std::uint64_t account = 0;
  EXPECT_LT(d->GetUInt64("dwId", &account), 0) << "getters are strict";
  EXPECT_EQ(account, 0u) << "a failing getter leaves its output";
  EXPECT_EQ(d->GetDWord("missing", &id), KZ_E_NOFIELD);
  BYTE type = 9;
  EXPECT_EQ(d->GetFieldType("missing", &type), KZ_E_NOFIELD);
  EXPECT_EQ(type, 0);
  EXPECT_EQ(platform::KZDataToJson(d),
            R"({"dwId":7,"strName":"张三","uint64_account":{"@u64":1099511627776}})");
}

TEST_F(BagTest, CopyIsDeepAndEqualityIgnoresOrder) {
  auto a = Bag(R"({"x":1,"sub":{"y":"t","arr":[1,{"@u8":2},{"@buf":"6162"}]}})");
  auto b = Bag(R"({"sub":{"y":"t","arr":[1,{"@u8":2},{"@buf":"6162"}]},"x":1})");
  EXPECT_EQ(a->IsEqual(b), S_OK);
  CKZComPtr<IKZData> c;
  Util::Data::CreateKZData(&c);
  ASSERT_EQ(a->CopyTo(c), S_OK);
  CKZComPtr<IKZData> sub;
  ASSERT_EQ(c->GetKZData("sub", &sub), S_OK);
  sub->SetStr("y", L"changed");
  EXPECT_EQ(a->IsEqual(c), S_FALSE) << "the copy shares nothing with its source";
}

TEST_F(BagTest, CyclesAreRefused) {
  CKZComPtr<IKZData> a;
  CKZComPtr<IKZArray> arr;
  Util::Data::CreateKZData(&a);
  Util::Data::CreateKZArray(&arr);
  EXPECT_EQ(a->SetKZArray("arr", arr), S_OK);
  EXPECT_EQ(arr->AddKZData(a), E_INVALIDARG);
  EXPECT_EQ(a->SetKZData("self", a), E_INVALIDARG);
}

}  // namespace
