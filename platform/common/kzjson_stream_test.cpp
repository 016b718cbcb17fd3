#include "platform/common/kzjson_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/common/kzjson.h"
#include "platform/testing/platform_test.h"

namespace {

using JsonStreamTest = platform::testing::PlatformTest;

// The stream reader's result for `json`: the array as canonical JSON, or
// "error" (with the fault in *fault).
std::string Streamed(const std::string& json, std::string* fault = nullptr) {
  std::FILE* in = fmemopen(const_cast<char*>(json.data()), json.size(), "rb");
  if (json.empty()) in = std::tmpfile();
  CKZComPtr<IKZArray> array;
  std::string error;
  HRESULT hr = platform::JsonStreamToKZArray(in, &array, &error);
  std::fclose(in);
  if (fault != nullptr) *fault = error;
  if (FAILED(hr)) {
    EXPECT_EQ(hr, E_INVALIDARG);
    EXPECT_FALSE(array);
    EXPECT_FALSE(error.empty());
    return "error";
  }
  EXPECT_TRUE(error.empty());
  return platform::KZArrayToJson(array);
}

std::string Whole(const std::string& json) {
  CKZComPtr<IKZArray> array;
  if (FAILED(platform::JsonToKZArray(json, &array, nullptr))) return "error";
  return platform::KZArrayToJson(array);
}

TEST_F(JsonStreamTest, ReadsWhatTheWholeDocumentReaderReads) {
  const std::string cases[] = {
      // Every type, plain and tagged, in records and arrays.
      R"([{"b":true,"f":false,"bn":{"@bool":5},"bm":{"@bool":-1}}])",
      R"([{"u8":{"@u8":255},"i8":{"@i8":-128},"u16":{"@u16":65535},"i16":{"@i16":-32768}}])",
      R"([{"u32":0,"u32max":4294967295,"i32":-1,"i32min":-2147483648,"i32pos":{"@i32":5}}])",
      R"([{"i64":4294967296,"i64neg":-2147483649,"i64small":{"@i64":-1},"i64max":9223372036854775807}])",
      R"([{"u64":{"@u64":7},"u64big":18446744073709551615,"i64min":-9223372036854775808}])",
      R"([{"d":0.5,"dint":{"@double":3},"dneg":{"@double":-0.0},"dbig":1e300,"z":-0}])",
      R"([{"s":"张三","e":"","esc":"a\"\\\n\t\u0001","astral":"😀","nul":"a\u0000b"}])",
      R"([{"buf":{"@buf":"00fF10"},"empty":{"@buf":""}}])",
      R"([{"sub":{"x":{"y":{}}},"arr":[1,"a",{"@u64":1},[],[[{"k":{"@buf":"61"}}]]]}])",
      R"([{"d":{"@data":{"a":1}},"a":{"@array":[{"@i8":1},2]},"s":{"@str":"x"}}])",
      R"([1, -1, true, "text", 2.5, [], {}, {"@u16": 7}, {"@data": {}}])",
      R"([{"dup":1,"other":2,"dup":"last"}])",
      "[]",
      " [ ] \n",
      // Faults, refused by both.
      R"({"a":1})",
      "7",
      "[1,]",
      "[1] [2]",
      "[null]",
      R"([{"a":null}])",
      R"([{"@u32":1,"b":2}])",
      R"([{"a":1,"@b":2}])",
      R"([{"":1}])",
      R"([{"@nope":1}])",
      R"([{"@u8":256}])",
      R"([{"@i8":-129}])",
      R"([{"@u32":-1}])",
      R"([{"@u16":1.5}])",
      R"([{"@str":1}])",
      R"([{"@double":"1"}])",
      R"([{"@buf":"abc"}])",
      R"([{"@buf":"zz"}])",
      R"([{"@data":[]}])",
      R"([{"@array":{}}])",
      R"([{"@data":{"@u8":1}}])",
      R"([{"@bool":null}])",
      "[\"\xFF\"]",
      R"(["\uD800"])",
      "[",
      "",
  };
  for (const std::string& json : cases) {
    SCOPED_TRACE(json);
    EXPECT_EQ(Streamed(json), Whole(json));
  }
}

TEST_F(JsonStreamTest, ReadsLongListsAcrossBlocks) {
  // Far more than one block, with texts that straddle block borders.
  std::string json = "[";
  for (int i = 0; i < 2500; ++i) {
    if (i > 0) json += ",\n";
    json += R"({"dwUin":)" + std::to_string(i) + R"(,"strName":"张)" + std::to_string(i) +
            R"(伟","rpt_str_lm":[{"uint64_account":{"@u64":)" + std::to_string(i * 7) + "}}]}";
  }
  json += "]";
  ASSERT_GT(json.size(), 2u * 64 * 1024);
  const std::string got = Streamed(json);
  EXPECT_EQ(got, Whole(json));
  EXPECT_NE(got, "error");
}

TEST_F(JsonStreamTest, RefusesDeepNestingAndNamesTheOffset) {
  std::string ok = "[" + std::string(199, '[') + std::string(199, ']') + "]";
  std::string deep = "[" + std::string(201, '[') + std::string(201, ']') + "]";
  EXPECT_EQ(Streamed(ok), Whole(ok));
  std::string fault;
  EXPECT_EQ(Streamed(deep, &fault), "error");
  EXPECT_EQ(Whole(deep), "error");
  EXPECT_NE(fault.find("nesting too deep"), std::string::npos) << fault;
  EXPECT_EQ(Streamed(R"([1, {"@u8": 300}])", &fault), "error");
  EXPECT_EQ(fault, "offset 12: value out of range");
}

TEST_F(JsonStreamTest, SaysWhenTheFileCannotBeRead) {
  std::FILE* in = std::fopen("/", "rb");  // a folder opens, but does not read
  ASSERT_NE(in, nullptr);
  CKZComPtr<IKZArray> array;
  std::string error;
  EXPECT_EQ(platform::JsonStreamToKZArray(in, &array, &error), E_INVALIDARG);
  std::fclose(in);
  EXPECT_FALSE(array);
  EXPECT_EQ(error, "read error: Is a directory");
}

TEST_F(JsonStreamTest, NullArguments) {
  CKZComPtr<IKZArray> array;
  EXPECT_EQ(platform::JsonStreamToKZArray(nullptr, &array, nullptr), E_POINTER);
  std::FILE* in = std::tmpfile();
  EXPECT_EQ(platform::JsonStreamToKZArray(in, nullptr, nullptr), E_POINTER);
  std::fclose(in);
}

}  // namespace
