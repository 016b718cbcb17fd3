#include "platform/common/fmtstring.h"

#include <gtest/gtest.h>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/lifetime.h"
#include "platform/common/refcounted.h"

namespace {

TEST(CFmtStringTest, ReplacesNamedPlaceholders) {
  CFmtString fmt;
  fmt.SetProperty(L"_MAXCOUNT_", L"%lu", 100ul);
  fmt.SetProperty(L"_MAX_", L"%s", L"short");
  fmt.SetProperty(L"_NAME_", L"%s", L"_MAXCOUNT_");
  fmt.SetProperty(nullptr, L"%d", 1);
  fmt.SetProperty(L"", L"%d", 1);
  const struct {
    const wchar_t* text;
    const wchar_t* expected;
  } kCases[] = {
      {L"at most _MAXCOUNT_ contacts", L"at most 100 contacts"},
      {L"_MAXCOUNT__MAXCOUNT_", L"100100"},
      {L"_MAX_ and _MAXCOUNT_", L"short and 100"},  // the longer name wins
      {L"value _NAME_", L"value _MAXCOUNT_"},       // values are not searched again
      {L"_UNSET_ stays", L"_UNSET_ stays"},
      {L"", L""},
      {nullptr, L""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.expected);
    EXPECT_STREQ(fmt.Format(c.text).GetString(), c.expected);
  }
  fmt.SetProperty(L"_MAXCOUNT_", L"%lu", 7ul);  // replaces
  fmt.SetProperty(L"_MAX_", nullptr);
  EXPECT_STREQ(fmt.Format(L"_MAXCOUNT_/_MAX_").GetString(), L"7/");
}

TEST(LifetimeTest, DeclaredObjectsAreCountedOutOnce) {
  const std::int64_t before = platform::UnaccountedObjectCount();
  CKZComPtr<IKZData> kept;
  Util::Data::CreateKZData(&kept);
  EXPECT_EQ(platform::UnaccountedObjectCount(), before + 1);
  platform::DeclareProcessObject(kept.Get());
  platform::DeclareProcessObject(kept.Get());
  platform::DeclareProcessObject(nullptr);
  EXPECT_EQ(platform::UnaccountedObjectCount(), before);
  platform::WithdrawProcessObject(kept.Get());
  platform::WithdrawProcessObject(kept.Get());
  EXPECT_EQ(platform::UnaccountedObjectCount(), before + 1);
}

}  // namespace
