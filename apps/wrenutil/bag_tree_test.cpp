#include "apps/wrenutil/bag_tree.h"

#include <string>

#include "platform/common/kzjson.h"
#include "platform/testing/platform_test.h"

namespace wrenutil_app {
namespace {

using BagTreeTest = platform::testing::PlatformTest;

TEST_F(BagTreeTest, PrintsEveryTypeWithItsValue) {
  struct Case {
    const char* json;
    const char* tree;
  };
  const Case kCases[] = {
      {R"({})", ""},
      {R"({"dwUin": 4294967295})", "dwUin: u32 = 4294967295\n"},
      {R"({"n": {"@i32": -7}})", "n: i32 = -7\n"},
      {R"({"b": true, "f": false})", "b: bool = 1\nf: bool = 0\n"},
      {R"({"a": {"@u8": 255}, "b": {"@i8": -128}})", "a: u8 = 255\nb: i8 = -128\n"},
      {R"({"a": {"@u16": 65535}, "b": {"@i16": -32768}})", "a: u16 = 65535\nb: i16 = -32768\n"},
      {R"({"u": {"@u64": 18446744073709551615}})", "u: u64 = 18446744073709551615\n"},
      {R"({"i": {"@i64": -9223372036854775808}})", "i: i64 = -9223372036854775808\n"},
      {R"({"d": 0.5})", "d: double = 0.5\n"},
      {R"({"s": "单丽"})", "s: str = \"单丽\"\n"},
      {R"({"s": "a\"b\\c\nd\u0001"})", "s: str = \"a\\\"b\\\\c\\nd\\u0001\"\n"},
      {R"({"bytes_t": {"@buf": ""}})", "bytes_t: buf = 0 bytes\n"},
      {R"({"bytes_t": {"@buf": "616263"}})", "bytes_t: buf = 3 bytes [61 62 63]\n"},
      {R"({"r": {"x": 1, "y": {"z": "w"}}})",
       "r: record{2}\n  x: u32 = 1\n  y: record{1}\n    z: str = \"w\"\n"},
      {R"({"e": []})", "e: array[0]\n"},
      {R"({"rpt": [1, "t", {"str_account": "138"}, [{"@u64": 5}]]})",
       "rpt: array[4]\n"
       "  [0]: u32 = 1\n"
       "  [1]: str = \"t\"\n"
       "  [2]: record{1}\n"
       "    str_account: str = \"138\"\n"
       "  [3]: array[1]\n"
       "    [0]: u64 = 5\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.json);
    CKZComPtr<IKZData> data;
    std::string error;
    ASSERT_EQ(platform::JsonToKZData(c.json, &data, &error), S_OK) << error;
    EXPECT_EQ(FormatBagTree(data), c.tree);
  }
}

TEST_F(BagTreeTest, LongBuffersShowTheirFirstBytes) {
  std::string hex;
  for (int i = 0; i < 40; ++i) hex += "ab";
  CKZComPtr<IKZData> data;
  ASSERT_EQ(platform::JsonToKZData(R"({"b": {"@buf": ")" + hex + R"("}})", &data, nullptr), S_OK);
  std::string expected = "b: buf = 40 bytes [ab";
  for (int i = 1; i < 32; ++i) expected += " ab";
  EXPECT_EQ(FormatBagTree(data), expected + " ...]\n");
}

TEST_F(BagTreeTest, NullBagsPrintNull) {
  EXPECT_EQ(FormatBagTree(nullptr), "(null)\n");
  EXPECT_EQ(FormatArrayTree(nullptr), "(null)\n");
}

TEST_F(BagTreeTest, ArraysPrintTheirElements) {
  CKZComPtr<IKZArray> array;
  ASSERT_EQ(platform::JsonToKZArray(R"([{"@u64": 1}, "x"])", &array, nullptr), S_OK);
  EXPECT_EQ(FormatArrayTree(array), "[0]: u64 = 1\n[1]: str = \"x\"\n");
}

TEST_F(BagTreeTest, TypeNamesCoverEveryCode) {
  const std::pair<BYTE, const char*> kNames[] = {
      {KZ_TYPE_BOOL, "bool"},
      {KZ_TYPE_UINT8, "u8"},
      {KZ_TYPE_INT8, "i8"},
      {KZ_TYPE_UINT16, "u16"},
      {KZ_TYPE_INT16, "i16"},
      {KZ_TYPE_DWORD, "u32"},
      {KZ_TYPE_INT32, "i32"},
      {KZ_TYPE_STR, "str"},
      {KZ_TYPE_BUF, "buf"},
      {KZ_TYPE_INTERFACE, "object"},
      {KZ_TYPE_KZDATA, "record"},
      {KZ_TYPE_KZARRAY, "array"},
      {KZ_TYPE_INT64, "i64"},
      {KZ_TYPE_DOUBLE, "double"},
      {KZ_TYPE_UINT64, "u64"},
      {13, "type<13>"},
      {0, "type<0>"},
  };
  for (const auto& [type, name] : kNames) {
    EXPECT_EQ(TypeName(type), name) << static_cast<int>(type);
  }
}

TEST_F(BagTreeTest, QuoteTextEscapesWhatJsonNeeds) {
  EXPECT_EQ(QuoteText(L""), "\"\"");
  EXPECT_EQ(QuoteText(L"曾\t\r"), "\"曾\\t\\r\"");
  // A lone surrogate is not a scalar value: it becomes U+FFFD, not bad UTF-8.
  EXPECT_EQ(QuoteText(std::wstring(1, static_cast<wchar_t>(0xD800))), "\"\xEF\xBF\xBD\"");
}

}  // namespace
}  // namespace wrenutil_app
