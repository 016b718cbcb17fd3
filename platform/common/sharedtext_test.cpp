#include "platform/common/sharedtext.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

template <class CharT>
void CheckSizesAroundTheInlineLimit() {
  using Text = platform::SharedText<CharT>;
  for (std::size_t n : {std::size_t{0}, std::size_t{1}, Text::kInline, Text::kInline + 1,
                        std::size_t{200}}) {
    SCOPED_TRACE(n);
    std::basic_string<CharT> source;
    for (std::size_t i = 0; i < n; ++i) source.push_back(static_cast<CharT>('a' + i % 26));
    Text text(source);
    EXPECT_EQ(text.view(), source);
    EXPECT_EQ(text.c_str()[n], CharT{}) << "ends with a zero";

    Text copy = text;
    EXPECT_EQ(copy, text);
    // A long text is shared by its copies; a short one is copied.
    EXPECT_EQ(copy.data() == text.data(), n > Text::kInline);

    Text moved = std::move(copy);
    EXPECT_EQ(moved.view(), source);
    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty
    EXPECT_EQ(copy.c_str()[0], CharT{});

    // Assigning over a shared text lets go of it; the others keep it.
    moved = Text();
    EXPECT_TRUE(moved.empty());
    EXPECT_EQ(text.view(), source);
  }
}

TEST(SharedTextTest, ShortTextsInlineLongOnesShared) {
  CheckSizesAroundTheInlineLimit<char>();
  CheckSizesAroundTheInlineLimit<wchar_t>();
  EXPECT_EQ(platform::SharedText<char>::kInline, 27u);
  EXPECT_EQ(platform::SharedText<wchar_t>::kInline, 6u);
}

TEST(SharedTextTest, TheLastCopyFreesTheBlock) {
  // Run under the address sanitizer, a leak or a double free shows here.
  std::vector<platform::SharedText<wchar_t>> copies;
  {
    platform::SharedText<wchar_t> text(std::wstring_view(L"a text of some length"));
    for (int i = 0; i < 5; ++i) copies.push_back(text);
  }
  copies.erase(copies.begin() + 1, copies.end() - 1);
  EXPECT_EQ(copies.front(), copies.back());
  copies.clear();
  EXPECT_NE(platform::SharedText<char>(std::string_view("ab")),
            platform::SharedText<char>(std::string_view("abc")));
}

}  // namespace
