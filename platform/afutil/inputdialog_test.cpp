#include "platform/afutil/inputdialog.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/common/kzdata.h"
#include "platform/common/kzptr.h"
#include "platform/common/kzstring.h"
#include "platform/testing/platform_test.h"

namespace {

TEST(LimitInputTextTest, CutsAtWholeCharacters) {
  const struct {
    const wchar_t* text;
    DWORD limit;
    bool utf8;
    const wchar_t* expected;
  } kCases[] = {
      {L"abcdef", 4, true, L"abcd"},
      {L"一二三", 8, true, L"一二"},  // 3 bytes each: a third would need 9
      {L"一二三", 9, true, L"一二三"},
      {L"aé一😀", 6, true, L"aé一"},  // 1 + 2 + 3; the emoji needs 4 more
      {L"aé一😀", 10, true, L"aé一😀"},
      {L"一二三", 2, false, L"一二"},
      {L"一二三", 0, true, L"一二三"},  // no limit
      {L"", 3, true, L""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(platform::LimitInputText(c.text, c.limit, c.utf8), c.expected);
  }
}

class InputDialogTest : public platform::testing::PlatformTest {};

TEST_F(InputDialogTest, DialogAsksAndWritesTheLimitedAnswer) {
  std::wstring asked;
  bool cancel = false;
  ASSERT_EQ(platform::RegisterInputDialog(
                core(),
                [&](const std::wstring& title, const std::wstring& prompt, std::wstring* text) {
                  asked = title + L"|" + prompt + L"|" + *text;
                  *text = L"一二三四五六七八九";
                  return !cancel;
                }),
            S_OK);
  CKZComPtr<IKZInputDialog> dialog;
  ASSERT_EQ(core()->CreateObject(IKZInputDialog::kIid, IKZInputDialog::kIid,
                                 reinterpret_cast<void**>(&dialog)),
            S_OK);
  CKZComPtr<IKZData> bag;
  Util::Data::CreateKZData(&bag);
  bag->SetStr("strTitle", L"T");
  bag->SetStr("strPromptText", L"P");
  bag->SetStr("strInputText", L"preset");
  bag->SetStr("strLimitType", L"UTF8");
  bag->SetDWord("nLimitLength", 24);
  int result = -1;
  EXPECT_EQ(dialog->DoModal(bag, nullptr, &result), S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(asked, L"T|P|preset");
  CKZBSTR text;
  bag->GetStr("strInputText", &text);
  EXPECT_STREQ(text.c_str(), L"一二三四五六七八");

  cancel = true;
  bag->SetStr("strInputText", L"kept");
  EXPECT_EQ(dialog->DoModal(bag, nullptr, &result), S_OK);
  EXPECT_EQ(result, 1);
  CKZBSTR after;
  bag->GetStr("strInputText", &after);
  EXPECT_STREQ(after.c_str(), L"kept");

  EXPECT_EQ(dialog->DoModal(nullptr, nullptr, &result), E_POINTER);
  EXPECT_EQ(dialog->DoModal(bag, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(platform::RegisterInputDialog(nullptr, [](auto&, auto&, auto*) { return true; }),
            E_POINTER);
  EXPECT_EQ(platform::RegisterInputDialog(core(), nullptr), E_INVALIDARG);
}

}  // namespace
