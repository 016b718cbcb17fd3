#include "platform/common/bagcodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/common/kzjson.h"
#include "platform/testing/platform_test.h"

namespace platform {
namespace {

class BagCodecTest : public testing::PlatformTest {
 protected:
  static CKZComPtr<IKZData> Json(const char* json) {
    CKZComPtr<IKZData> data;
    std::string error;
    EXPECT_EQ(JsonToKZData(json, &data, &error), S_OK) << error;
    return data;
  }
  static std::vector<std::uint8_t> Encode(IKZDataRead* data) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_EQ(EncodeKZData(data, &bytes, &error), S_OK) << error;
    return bytes;
  }
  static CKZComPtr<IKZData> RoundTrip(IKZDataRead* data) {
    std::vector<std::uint8_t> bytes = Encode(data);
    CKZComPtr<IKZData> back;
    std::string error;
    EXPECT_EQ(DecodeKZData(bytes, &back, &error), S_OK) << error;
    return back;
  }
};

TEST_F(BagCodecTest, EveryTypeComesBackEqualAndInOrder) {
  CKZComPtr<IKZData> data = Json(R"({
    "b": {"@bool": true}, "u8": {"@u8": 255}, "i8": {"@i8": -128},
    "u16": {"@u16": 65535}, "i16": {"@i16": -32768}, "u32": 4294967295,
    "i32": -2147483648, "i64": {"@i64": -9223372036854775808},
    "u64": {"@u64": 18446744073709551615}, "d": 0.1, "s": "鹪鹩 text", "empty": "",
    "buf": {"@buf": "00ff10"}, "nobuf": {"@buf": ""},
    "rec": {"inner": {"deep": [1, "two", {"@buf": "ab"}, [[{"@u64": 3}]], {}]}},
    "arr": [{"@bool": false}, {"@u8": 1}, {"@i8": -1}, {"@u16": 2}, {"@i16": -2}, 3, -3,
            {"@i64": -4}, {"@u64": 4}, 2.5, "x", {"@buf": "01"}, {"k": 1}, []]
  })");
  CKZComPtr<IKZData> back = RoundTrip(data);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->IsEqual(data), S_OK);
  // Field order is part of what is kept.
  EXPECT_EQ(KZDataToJson(back), KZDataToJson(data));
}

TEST_F(BagCodecTest, ValuesThatTextFormsLoseAreKept) {
  CKZComPtr<IKZData> data;
  Util::Data::CreateKZData(&data);
  data->SetBool("flag", 7);  // a flag holding neither 0 nor 1
  double nan = std::numeric_limits<double>::quiet_NaN();
  std::uint64_t bits = 0;
  std::memcpy(&bits, &nan, 8);
  bits |= 0x1234;  // a payload
  std::memcpy(&nan, &bits, 8);
  data->SetDouble("nan", nan);
  data->SetDouble("negzero", -0.0);
  data->SetDouble("inf", -std::numeric_limits<double>::infinity());
  const wchar_t odd[] = {0xD800, L'a', 0x110000, 0};  // a lone surrogate, beyond Unicode
  data->SetStr("odd", odd);

  CKZComPtr<IKZData> back = RoundTrip(data);
  ASSERT_TRUE(back);
  int flag = 0;
  back->GetBool("flag", &flag);
  EXPECT_EQ(flag, 7);
  double d = 0;
  back->GetDouble("nan", &d);
  std::uint64_t back_bits = 0;
  std::memcpy(&back_bits, &d, 8);
  EXPECT_EQ(back_bits, bits);
  back->GetDouble("negzero", &d);
  EXPECT_TRUE(std::signbit(d));
  back->GetDouble("inf", &d);
  EXPECT_EQ(d, -std::numeric_limits<double>::infinity());
  CKZBSTR text;
  back->GetStr("odd", &text);
  EXPECT_EQ(std::wstring(text.c_str(), text.Length()), std::wstring(odd));
}

TEST_F(BagCodecTest, RefusesWhatCannotBeStored) {
  CKZComPtr<IKZData> data = Json(R"({"a": 1})");
  CKZComPtr<IKZData> nested = Json(R"({"x": 1})");
  nested->SetInterface("obj", IKZData::kIid, data);
  data->SetKZData("nested", nested);
  std::vector<std::uint8_t> bytes{9};
  std::string error;
  EXPECT_EQ(EncodeKZData(data, &bytes, &error), E_INVALIDARG);
  EXPECT_NE(error.find("\"obj\""), std::string::npos) << error;
  EXPECT_EQ(bytes, std::vector<std::uint8_t>{9}) << "output untouched on failure";
  nested->RemoveField("obj");

  // Nesting beyond the limit.
  CKZComPtr<IKZData> root;
  Util::Data::CreateKZData(&root);
  CKZComPtr<IKZData> level = root;
  for (int i = 0; i < kMaxStoredDepth + 1; ++i) {
    CKZComPtr<IKZData> next;
    Util::Data::CreateKZData(&next);
    level->SetKZData("n", next);
    level = next;
  }
  EXPECT_EQ(EncodeKZData(root, &bytes, &error), E_INVALIDARG);
  EXPECT_NE(error.find("too deep"), std::string::npos) << error;

  EXPECT_EQ(EncodeKZData(nullptr, &bytes, nullptr), E_POINTER);
  EXPECT_EQ(EncodeKZData(data, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(DecodeKZData({}, nullptr, nullptr), E_POINTER);
}

TEST_F(BagCodecTest, EveryTruncationIsRefusedCleanly) {
  CKZComPtr<IKZData> data = Json(R"({"s": "text", "a": [1, {"b": {"@buf": "0102"}}], "n": 5})");
  std::vector<std::uint8_t> bytes = Encode(data);
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    SCOPED_TRACE(n);
    CKZComPtr<IKZData> out;
    std::string error;
    EXPECT_EQ(DecodeKZData(std::span(bytes.data(), n), &out, &error), E_INVALIDARG);
    EXPECT_FALSE(out);
    EXPECT_FALSE(error.empty());
  }
}

TEST_F(BagCodecTest, DamagedBytesAreRefusedWithTheirFault) {
  auto bytes = [](std::initializer_list<std::uint8_t> tail) {
    std::vector<std::uint8_t> b{'K', 'Z', 'B', '1'};
    b.insert(b.end(), tail);
    return b;
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* fault;
  } cases[] = {
      {"wrong magic", {'K', 'Z', 'B', '2', 0, 0, 0, 0}, "magic"},
      {"trailing bytes", bytes({0, 0, 0, 0, 7}), "follow"},
      {"huge field count", bytes({0xff, 0xff, 0xff, 0xff}), "exceeds"},
      {"unknown type", bytes({1, 0, 0, 0, 13, 1, 0, 0, 0, 'a', 0}), "unknown type"},
      {"empty name", bytes({1, 0, 0, 0, 6, 0, 0, 0, 0, 1, 0, 0, 0}), "empty name"},
      {"zero in a name", bytes({1, 0, 0, 0, 6, 2, 0, 0, 0, 'a', 0, 1, 0, 0, 0}), "zero byte"},
      {"field twice",
       bytes({2, 0, 0, 0, 6, 1, 0, 0, 0, 'a', 1, 0, 0, 0, 6, 1, 0, 0, 0, 'a', 2, 0, 0, 0}),
       "twice"},
      {"huge text", bytes({1, 0, 0, 0, 8, 1, 0, 0, 0, 's', 0xff, 0xff, 0xff, 0x0f}), "exceeds"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CKZComPtr<IKZData> out;
    std::string error;
    EXPECT_EQ(DecodeKZData(c.bytes, &out, &error), E_INVALIDARG);
    EXPECT_FALSE(out);
    EXPECT_NE(error.find(c.fault), std::string::npos) << error;
  }
}

TEST_F(BagCodecTest, DeepStoredNestingIsRefusedWithoutRecursingForever) {
  // 100000 nested arrays, each holding the next: "KZB1", one field "a" of
  // type array, then (count 1, type array) again and again.
  std::vector<std::uint8_t> b{'K', 'Z', 'B', '1', 1, 0, 0, 0, 12, 1, 0, 0, 0, 'a'};
  for (int i = 0; i < 100000; ++i) b.insert(b.end(), {1, 0, 0, 0, 12});
  CKZComPtr<IKZData> out;
  std::string error;
  EXPECT_EQ(DecodeKZData(b, &out, &error), E_INVALIDARG);
  EXPECT_NE(error.find("too deeply"), std::string::npos) << error;
}

}  // namespace
}  // namespace platform
