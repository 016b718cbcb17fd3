#include "platform/gf/text_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/testing/font_metrics.h"

namespace platform {
namespace {

const TextFace* DejaVu() { return FindTextFaceUtf8("DejaVu Sans"); }

// The line spacing, in ems, that the installed DejaVu Sans file declares.
const float kLineHeightDejaVu = [] {
  const double spacing = testing::FontFileLineSpacing("DejaVu Sans");
  EXPECT_GT(spacing, 1.0) << "DejaVu Sans declares no line spacing";
  return static_cast<float>(spacing);
}();

float OutlineWidth(const TextFace* face, std::u16string_view text, float em = 12.0f,
                   int flags = 0) {
  return MeasureTextOutline(face, em, text, Gdiplus::StringFormat(flags)).Width;
}

Gdiplus::RectF Layout(std::u16string_view text, float width, float height = 0, int flags = 0,
                      float points = 9.0f) {
  const Gdiplus::StringFormat format(flags);
  return MeasureTextLayout(DejaVu(), points, text, Gdiplus::RectF(0, 0, width, height), &format);
}

TEST(TextEngineTest, ResolvesFamilyNames) {
  ASSERT_TRUE(TextEngineStartup());
  struct Case {
    const char* name;
    const char* family;  // nullptr: resolves to nothing
  } cases[] = {
      {"DejaVu Sans", "DejaVu Sans"},
      {"dejavusans", "DejaVu Sans"},
      {"DEJAVU  SANS", "DejaVu Sans"},
      {"DejaVu Sans Mono", "DejaVu Sans Mono"},
      {"WenQuanYi Micro Hei", "WenQuanYi Micro Hei"},
      {"文泉驿微米黑", "WenQuanYi Micro Hei"},
      {"sans-serif", "WenQuanYi Micro Hei"},  // the Chinese preference
      {"No Such Face", nullptr},
      {"Arial", nullptr},  // a metric alias only, not installed
      {"", nullptr},
      {"   ", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TextFace* face = FindTextFaceUtf8(c.name);
    if (c.family == nullptr) {
      EXPECT_EQ(face, nullptr);
      EXPECT_EQ(TextFaceFamilyName(face), "");
    } else {
      ASSERT_NE(face, nullptr);
      EXPECT_EQ(TextFaceFamilyName(face), c.family);
      EXPECT_EQ(FindTextFaceUtf8(c.name), face) << "cached";
    }
  }
  EXPECT_EQ(FindTextFace(std::u16string_view(u"DejaVu Sans")), DejaVu());
  EXPECT_EQ(FindTextFace(std::wstring_view(L"文泉驿微米黑")),
            FindTextFaceUtf8("WenQuanYi Micro Hei"));
}

TEST(TextEngineTest, OutlineGrowsWithTextAndScalesWithSize) {
  const TextFace* face = DejaVu();
  ASSERT_NE(face, nullptr);
  const std::u16string text = u"Hello, wide world 中文";
  float previous = 0;
  for (size_t n = 1; n <= text.size(); ++n) {
    SCOPED_TRACE(n);
    const float width = OutlineWidth(face, std::u16string_view(text).substr(0, n));
    EXPECT_GE(width, previous);
    previous = width;
  }
  const Gdiplus::RectF small = MeasureTextOutline(face, 10, u"Hg", {});
  const Gdiplus::RectF big = MeasureTextOutline(face, 30, u"Hg", {});
  EXPECT_NEAR(big.Width, 3 * small.Width, 1e-3);
  EXPECT_NEAR(big.Height, 3 * small.Height, 1e-3);
  // A descender reaches below the baseline, a capital does not.
  EXPECT_GT(MeasureTextOutline(face, 12, u"g", {}).Height,
            MeasureTextOutline(face, 12, u"o", {}).Height);
}

TEST(TextEngineTest, OutlineOfNothing) {
  struct Case {
    const TextFace* face;
    float em;
    std::u16string_view text;
  } cases[] = {
      {nullptr, 12, u"text"}, {DejaVu(), 0, u"text"},   {DejaVu(), -3, u"text"},
      {DejaVu(), 12, u""},    {DejaVu(), 12, u"  \t "}, {DejaVu(), 12, u"\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    const Gdiplus::RectF r = MeasureTextOutline(c.face, c.em, c.text, {});
    EXPECT_EQ(r.X, 0);
    EXPECT_EQ(r.Y, 0);
    EXPECT_EQ(r.Width, 0);
    EXPECT_EQ(r.Height, 0);
  }
}

TEST(TextEngineTest, OutlineFollowsTheFormat) {
  const TextFace* face = DejaVu();
  const float one_line = MeasureTextOutline(face, 12, u"ab", {}).Height;
  const Gdiplus::RectF two = MeasureTextOutline(face, 12, u"ab\r\nab", {});
  EXPECT_NEAR(two.Height, one_line + 12 * kLineHeightDejaVu, 1e-3);
  EXPECT_EQ(two.Width, OutlineWidth(face, u"ab"));
  // Interior white space counts, leading and trailing white space has no
  // outline.
  EXPECT_GT(OutlineWidth(face, u"a  b"), OutlineWidth(face, u"ab"));
  EXPECT_EQ(OutlineWidth(face, u"  ab  "), OutlineWidth(face, u"ab"));
  // Alignment moves lines but keeps one line's size.
  Gdiplus::StringFormat centred;
  centred.SetAlignment(Gdiplus::StringAlignmentCenter);
  const Gdiplus::RectF near = MeasureTextOutline(face, 12, u"abc", {});
  const Gdiplus::RectF mid = MeasureTextOutline(face, 12, u"abc", centred);
  EXPECT_FLOAT_EQ(mid.Width, near.Width);
  EXPECT_LT(mid.X, 0);
  // Centred lines of different lengths overlap more than near ones.
  EXPECT_LT(MeasureTextOutline(face, 12, u"i\nWWWW", centred).X, 0);
}

// The outline of `visual`, one glyph after the other, composed from each
// glyph's own outline and advance: what a line in that visual order
// measures (the glyphs chosen have no kerning pairs).
Gdiplus::RectF Composed(std::u16string_view visual) {
  constexpr float kEm = 12.0f;  // Layout at 9 points sets 12 units per em too
  double pen = 0, x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  bool any = false;
  for (char16_t c : visual) {
    const std::u16string one(1, c);
    const Gdiplus::RectF g = MeasureTextOutline(DejaVu(), kEm, one, Gdiplus::StringFormat());
    const double left = pen + g.X, right = left + g.Width;
    x0 = any ? std::min(x0, left) : left;
    x1 = any ? std::max(x1, right) : right;
    y0 = any ? std::min<double>(y0, g.Y) : g.Y;
    y1 = any ? std::max<double>(y1, g.Y + g.Height) : g.Y + g.Height;
    any = true;
    pen += Layout(one, 0).Width;
  }
  return Gdiplus::RectF(static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1 - x0),
                        static_cast<float>(y1 - y0));
}

TEST(TextEngineTest, RightToLeftRunsAreSetInVisualOrder) {
  ASSERT_NE(DejaVu(), nullptr);
  const int rtl = Gdiplus::StringFormatFlagsDirectionRightToLeft;
  struct Case {
    const char* name;
    std::u16string_view text;
    int flags;
    std::u16string_view visual;
  };
  const Case kCases[] = {
      {"a Hebrew word", u"\u05d0\u05d1\u05d2", 0, u"\u05d2\u05d1\u05d0"},
      {"a Hebrew word after Latin", u"x\u05d0\u05d1", 0, u"x\u05d1\u05d0"},
      {"Latin in a right-to-left paragraph", u"x\u05d0y", rtl, u"y\u05d0x"},
      {"brackets of a right-to-left run are mirrored", u"(\u05d0", rtl, u"\u05d0)"},
      {"a lone bracket of a right-to-left paragraph", u"(", rtl, u")"},
      {"left-to-right text keeps its order", u"(x]", 0, u"(x]"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const Gdiplus::RectF got =
        MeasureTextOutline(DejaVu(), 12.0f, c.text, Gdiplus::StringFormat(c.flags));
    const Gdiplus::RectF want = Composed(c.visual);
    // A right-to-left paragraph ends its line at the origin (near is right).
    const float shift = (c.flags & rtl) != 0 ? Layout(c.text, 0).Width : 0.0f;
    EXPECT_NEAR(got.X + shift, want.X, 1e-3);
    EXPECT_NEAR(got.Width, want.Width, 1e-3);
    EXPECT_NEAR(got.Height, want.Height, 1e-3);
    if (c.text != c.visual) {
      // The logical order would measure otherwise, or the case tells nothing.
      const Gdiplus::RectF logical = Composed(c.text);
      EXPECT_GT(std::abs(logical.X - want.X) + std::abs(logical.Width - want.Width), 0.01);
    }
  }
  // The order moves glyphs within a line, never the line's advance.
  EXPECT_FLOAT_EQ(Layout(u"x\u05d0\u05d1y", 0).Width, Layout(u"x\u05d1\u05d0y", 0).Width);
}

TEST(TextEngineTest, ChineseFindsAChineseFace) {
  const TextFace* face = DejaVu();
  const float with_fallback = OutlineWidth(face, u"中文字");
  const float without = OutlineWidth(face, u"中文字", 12, Gdiplus::StringFormatFlagsNoFontFallback);
  EXPECT_NEAR(with_fallback, OutlineWidth(FindTextFaceUtf8("文泉驿微米黑"), u"中文字"), 1e-3);
  EXPECT_GT(with_fallback, 0);
  EXPECT_NE(with_fallback, without);  // missing-glyph boxes instead
}

TEST(TextEngineTest, OddTextNeverBreaksMeasurement) {
  const TextFace* face = DejaVu();
  const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
  EXPECT_GT(OutlineWidth(face, lone), 0);
  const wchar_t wide[] = {L'a', static_cast<wchar_t>(0x110000), 0x1F600, 0};
  EXPECT_GT(MeasureTextOutline(face, 12, std::wstring_view(wide), {}).Width, 0);
  EXPECT_EQ(MeasureTextOutline(face, 12, std::wstring_view(L"Hg中"), {}).Width,
            OutlineWidth(face, u"Hg中"));
  EXPECT_GT(Layout(lone, 5).Height, 0);
}

TEST(TextEngineTest, LayoutWrapsWithinTheWidth) {
  const float line = 9 * kUnitsPerPoint * kLineHeightDejaVu;
  const std::u16string text =
      u"The quick brown fox jumps over the lazy dog, 敏捷的棕色狐狸跳过了懒狗。";
  const Gdiplus::RectF single = Layout(text, 0);
  EXPECT_NEAR(single.Height, line, 1e-3);
  float previous_height = 0;
  for (float width : {single.Width + 1, 300.0f, 150.0f, 80.0f, 40.0f, 10.0f}) {
    SCOPED_TRACE(width);
    const Gdiplus::RectF r = Layout(text, width);
    EXPECT_LE(r.Width, width);
    EXPECT_GT(r.Height, previous_height) << "narrower wraps into more lines";
    const float lines = r.Height / line;
    EXPECT_NEAR(lines, std::round(lines), 1e-3);
    previous_height = r.Height;
  }
  // A word longer than the line is split between characters: two and a half
  // letters wide holds two letters a line.
  const float w = Layout(u"W", 0).Width;
  EXPECT_NEAR(Layout(u"WWWWWWWWWW", 2.5f * w).Height, 5 * line, 1e-3);
  EXPECT_NEAR(Layout(u"WWWWWWWWWW", 0).Width, 10 * w, 1e-3);
}

// Ideographs take their advances side by side: a text is as wide as its
// parts, whichever way it is cut.
TEST(TextEngineTest, LayoutWidthIsTheSumOfItsParts) {
  const TextFace* face = FindTextFaceUtf8("WenQuanYi Micro Hei");
  ASSERT_NE(face, nullptr);
  const std::u16string text = u"联系人列表搜索结果";
  auto width = [face](std::u16string_view t) {
    return MeasureTextLayout(face, 9, t, Gdiplus::RectF(0, 0, 0, 0), nullptr).Width;
  };
  const float whole = width(text);
  EXPECT_GT(whole, 0);
  for (std::size_t cut = 1; cut < text.size(); ++cut) {
    SCOPED_TRACE(cut);
    const std::u16string_view view(text);
    EXPECT_NEAR(width(view.substr(0, cut)) + width(view.substr(cut)), whole, 1e-3);
  }
}

TEST(TextEngineTest, LineEndsAgreeInBothModes) {
  const float line = 9 * kUnitsPerPoint * kLineHeightDejaVu;
  const float one_line = MeasureTextOutline(DejaVu(), 12, u"ab", {}).Height;
  for (std::u16string_view end : {u"\n", u"\r\n", u"\r", u"\f", u"\u0085", u"\u2028"}) {
    SCOPED_TRACE(static_cast<int>(end[0]));
    const std::u16string text = u"ab" + std::u16string(end) + u"ab";
    EXPECT_NEAR(Layout(text, 0).Height, 2 * line, 1e-3);
    EXPECT_NEAR(Layout(text, 500).Height, 2 * line, 1e-3);
    EXPECT_NEAR(MeasureTextOutline(DejaVu(), 12, text, {}).Height,
                one_line + 12 * kLineHeightDejaVu, 1e-3);
  }
}

TEST(TextEngineTest, LayoutRectangleClips) {
  const float line = 9 * kUnitsPerPoint * kLineHeightDejaVu;
  const std::u16string text = u"one two three four five six seven eight";
  const float height = line * 2.5f;
  struct Case {
    int flags;
    float expected;
  } cases[] = {
      {0, height},
      {Gdiplus::StringFormatFlagsLineLimit, 2 * line},
      {Gdiplus::StringFormatFlagsNoClip, Layout(text, 40).Height},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    EXPECT_NEAR(Layout(text, 40, height, c.flags).Height, c.expected, 1e-3);
  }
  EXPECT_NEAR(Layout(text, 40, 0, Gdiplus::StringFormatFlagsNoWrap).Height, line, 1e-3);
  // Alignment places the box inside the rectangle.
  Gdiplus::StringFormat far;
  far.SetAlignment(Gdiplus::StringAlignmentFar);
  const Gdiplus::RectF r =
      MeasureTextLayout(DejaVu(), 9, u"ab", Gdiplus::RectF(5, 0, 100, 0), &far);
  EXPECT_NEAR(r.X + r.Width, 105, 1e-3);
}

TEST(TextEngineTest, LayoutOfNothing) {
  const Gdiplus::RectF box(0, 0, 100, 100);
  EXPECT_EQ(MeasureTextLayout(nullptr, 9, u"x", box, nullptr).Height, 0);
  EXPECT_EQ(MeasureTextLayout(DejaVu(), 0, u"x", box, nullptr).Height, 0);
  EXPECT_EQ(MeasureTextLayout(DejaVu(), 9, u"", box, nullptr).Height, 0);
}

TEST(TextEngineTest, DrawsPng) {
  const std::string path = ::testing::TempDir() + "text_engine_test_" +
                           std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                           ".png";
  std::vector<Gdiplus::RectF> boxes = {Layout(u"Hello 中文 world", 60)};
  ASSERT_TRUE(DrawTextPng(DejaVu(), 12, u"Hello 中文 world", 60, boxes, 2, path));
  std::ifstream in(path, std::ios::binary);
  char signature[8] = {};
  in.read(signature, 8);
  EXPECT_EQ(std::string(signature + 1, 3), "PNG");
  std::remove(path.c_str());

  EXPECT_FALSE(DrawTextPng(nullptr, 12, u"x", 0, {}, 1, path));
  EXPECT_FALSE(DrawTextPng(DejaVu(), 12, u"x", 0, {}, 0, path));
  EXPECT_FALSE(DrawTextPng(DejaVu(), 12, u"x", 0, {}, 1, "/nonexistent/dir/x.png"));
}

}  // namespace
}  // namespace platform
