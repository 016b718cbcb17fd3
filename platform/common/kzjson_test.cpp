#include "platform/common/kzjson.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "platform/testing/platform_test.h"

namespace {

using JsonTest = platform::testing::PlatformTest;

TEST_F(JsonTest, EveryTypeRoundTripsInItsCanonicalForm) {
  // Each text is already canonical: parse, write, compare as a whole; parse
  // the written text again and compare the bags.
  const char* const cases[] = {
      R"({"b":true,"f":false,"bn":{"@bool":5},"bm":{"@bool":-1}})",
      R"({"u8":{"@u8":255},"i8":{"@i8":-128},"u16":{"@u16":65535},"i16":{"@i16":-32768}})",
      R"({"u32":0,"u32max":4294967295,"i32":-1,"i32min":-2147483648,"i32pos":{"@i32":5}})",
      R"({"i64":4294967296,"i64neg":-2147483649,"i64small":{"@i64":-1},"i64zero":{"@i64":0}})",
      R"({"i64max":9223372036854775807,"i64min":-9223372036854775808})",
      R"({"u64":{"@u64":7},"u64big":18446744073709551615,"u64mid":{"@u64":9223372036854775807}})",
      R"({"d":0.5,"dint":{"@double":3.0},"dneg":{"@double":-0.0},"dbig":1e+300,"dsmall":5e-324})",
      R"({"s":"张三","e":"","esc":"a\"\\\n\t\u0001","astral":"😀","fffd":"�"})",
      R"({"buf":{"@buf":"00ff10"},"empty":{"@buf":""}})",
      R"({"sub":{"x":{"y":{}}},"arr":[1,"a",{"@u64":1},[],[[{"k":{"@buf":"61"}}]]]})",
      "{}",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    CKZComPtr<IKZData> bag;
    std::string error;
    ASSERT_EQ(platform::JsonToKZData(text, &bag, &error), S_OK) << error;
    std::string written = platform::KZDataToJson(bag);
    EXPECT_EQ(written, text);
    CKZComPtr<IKZData> again;
    ASSERT_EQ(platform::JsonToKZData(written, &again, &error), S_OK) << error;
    EXPECT_EQ(bag->IsEqual(again), S_OK);
  }
}

TEST_F(JsonTest, TagsThatAreNotNeededAreDropped) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {R"({"x":{"@str":"t"}})", R"({"x":"t"})"},
      {R"({"x":{"@u32":7}})", R"({"x":7})"},
      {R"({"x":{"@bool":1},"y":{"@bool":false}})", R"({"x":true,"y":false})"},
      {R"({"x":{"@i64":true}})", R"({"x":{"@i64":1}})"},
      {R"({"x":{"@double":2}})", R"({"x":{"@double":2.0}})"},
      {R"({"x":{"@array":[1]},"y":{"@data":{"k":1}}})", R"({"x":[1],"y":{"k":1}})"},
      {R"({"x":2.50})", R"({"x":2.5})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    CKZComPtr<IKZData> bag;
    ASSERT_EQ(platform::JsonToKZData(c.in, &bag, nullptr), S_OK);
    EXPECT_EQ(platform::KZDataToJson(bag), c.out);
  }
}

TEST_F(JsonTest, PlainValuesReadAsTheirTypes) {
  CKZComPtr<IKZData> bag;
  ASSERT_EQ(platform::JsonToKZData(
                R"({"s":"x","b":true,"u":7,"n":-7,"big":5000000000,"huge":18446744073709551615,
                    "neg":-5000000000,"f":1.5,"o":{},"a":[]})",
                &bag, nullptr),
            S_OK);
  struct Case {
    const char* name;
    BYTE type;
  };
  const Case cases[] = {
      {"s", KZ_TYPE_STR},     {"b", KZ_TYPE_BOOL},    {"u", KZ_TYPE_DWORD},
      {"n", KZ_TYPE_INT32},   {"big", KZ_TYPE_INT64}, {"huge", KZ_TYPE_UINT64},
      {"neg", KZ_TYPE_INT64}, {"f", KZ_TYPE_DOUBLE},  {"o", KZ_TYPE_KZDATA},
      {"a", KZ_TYPE_KZARRAY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BYTE type = 0;
    EXPECT_EQ(bag->GetFieldType(c.name, &type), S_OK);
    EXPECT_EQ(type, c.type);
  }
}

TEST_F(JsonTest, WritesBagsBuiltInCode) {
  CKZComPtr<IKZData> bag;
  Util::Data::CreateKZData(&bag);
  bag->SetInt64("i64", 5000000000);  // plain: a plain integer this size reads as i64
  bag->SetInt64("i64neg", -3);
  bag->SetBool("flag", 2);
  bag->SetDouble("whole", 1e20);
  bag->SetDouble("third", 1.0 / 3);
  EXPECT_EQ(
      platform::KZDataToJson(bag),
      R"({"i64":5000000000,"i64neg":{"@i64":-3},"flag":{"@bool":2},"whole":{"@double":1e+20},)"
      R"("third":0.3333333333333333})");
  EXPECT_EQ(platform::KZDataToJson(nullptr), "null");
  EXPECT_EQ(platform::KZArrayToJson(nullptr), "null");
  EXPECT_EQ(platform::KZDataToJson(bag, 1).find("\n \"i64\": 5000000000"), 1u);
}

TEST_F(JsonTest, InterfaceFieldsAreWrittenButNotRead) {
  CKZComPtr<IKZData> bag;
  CKZComPtr<IKZData> other;
  Util::Data::CreateKZData(&bag);
  Util::Data::CreateKZData(&other);
  ASSERT_EQ(bag->SetInterface("obj", IKZData::kIid, other.Get()), S_OK);
  std::string text = platform::KZDataToJson(bag);
  EXPECT_EQ(text, R"({"obj":{"@interface":null}})");
  CKZComPtr<IKZData> back;
  std::string error;
  EXPECT_EQ(platform::JsonToKZData(text, &back, &error), E_INVALIDARG);
  EXPECT_EQ(back.Get(), nullptr);
}

TEST_F(JsonTest, Errors) {
  std::string deep;
  for (int i = 0; i < 250; ++i) deep += R"({"a":)";
  deep += "1";
  for (int i = 0; i < 250; ++i) deep += "}";
  struct Case {
    const char* name;
    std::string text;
    const char* error_part;
  };
  const Case cases[] = {
      {"malformed", "{", "parse"},
      {"not an object", "[1]", "object"},
      {"trailing text", "{} x", "parse"},
      {"null value", R"({"a":null})", "null"},
      {"unknown tag", R"({"a":{"@u128":1}})", "@u128"},
      {"u8 range", R"({"a":{"@u8":256}})", "range"},
      {"i8 range", R"({"a":{"@i8":-129}})", "range"},
      {"u32 negative", R"({"a":{"@u32":-1}})", "range"},
      {"i64 range", R"({"a":{"@i64":9223372036854775808}})", "range"},
      {"u64 negative", R"({"a":{"@u64":-1}})", "range"},
      {"integer expected", R"({"a":{"@u32":"7"}})", "integer"},
      {"fraction for integer", R"({"a":{"@u32":1.5}})", "integer"},
      {"double from text", R"({"a":{"@double":"1"}})", "number"},
      {"str from number", R"({"a":{"@str":1}})", "string"},
      {"odd hex", R"({"a":{"@buf":"abc"}})", "odd"},
      {"bad hex", R"({"a":{"@buf":"zz"}})", "hex"},
      {"field name with @", R"({"@a":1,"b":2})", "@a"},
      {"empty field name", R"({"":1})", "name"},
      {"data not object", R"({"a":{"@data":[1]}})", "object"},
      {"array not array", R"({"a":{"@array":{}}})", "array"},
      {"invalid utf-8", "{\"a\":\"\xff\"}", "UTF-8"},
      {"lone surrogate escape", R"({"a":"\ud800"})", "surrogate"},
      {"number overflow", R"({"a":1e400})", "overflow"},
      {"too deep", deep, "deep"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IKZData* bag = reinterpret_cast<IKZData*>(0x1);
    std::string error;
    EXPECT_EQ(platform::JsonToKZData(c.text, &bag, &error), E_INVALIDARG);
    EXPECT_EQ(bag, nullptr);
    EXPECT_NE(error.find(c.error_part), std::string::npos) << error;
  }
  EXPECT_EQ(platform::JsonToKZData("{}", nullptr, nullptr), E_POINTER);
  IKZArray* array = nullptr;
  EXPECT_EQ(platform::JsonToKZArray("{}", &array, nullptr), E_INVALIDARG);
  EXPECT_EQ(platform::JsonToKZArray("[1,{\"@u8\":2}]", &array, nullptr), S_OK);
  EXPECT_EQ(platform::KZArrayToJson(array), R"([1,{"@u8":2}])");
  array->Release();
}

// Nesting: 200 levels below the top are kept both ways, one more is refused
// as a whole, and a text a million levels deep is refused without building it.
TEST_F(JsonTest, NestingLimit) {
  auto nested = [](int levels, const char* open, const char* close) {
    std::string text;
    for (int i = 0; i < levels; ++i) text += open;
    text += "1";
    for (int i = 0; i < levels; ++i) text += close;
    return text;
  };
  struct Case {
    const char* name;
    std::string text;
    bool accepted;
  };
  const Case cases[] = {
      {"200 records", nested(201, R"({"a":)", "}"), true},
      {"201 records", nested(202, R"({"a":)", "}"), false},
      {"200 typed records", "{\"a\":" + nested(200, R"({"@data":{"a":)", "}}") + "}", true},
      {"201 arrays", "{\"a\":" + nested(202, "[", "]") + "}", false},
      {"a million arrays", nested(1'000'000, "[", "]"), false},
      {"a million records", nested(1'000'000, R"({"a":)", "}"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CKZComPtr<IKZData> bag;
    std::string error;
    EXPECT_EQ(platform::JsonToKZData(c.text, &bag, &error), c.accepted ? S_OK : E_INVALIDARG);
    if (!c.accepted) {
      EXPECT_NE(error.find("deep"), std::string::npos) << error;
      continue;
    }
    // Written back: the whole tree at the limit, "null" one level beyond.
    const std::string json = platform::KZDataToJson(bag);
    EXPECT_EQ(std::count(json.begin(), json.end(), '{'), 201) << json.substr(0, 80);
    CKZComPtr<IKZData> deepest = bag;
    while (true) {
      CKZComPtr<IKZData> next;
      if (FAILED(deepest->GetKZData("a", &next))) break;
      deepest = next;
    }
    CKZComPtr<IKZData> beyond;
    Util::Data::CreateKZData(&beyond);
    ASSERT_EQ(deepest->SetKZData("b", beyond), S_OK);
    EXPECT_EQ(platform::KZDataToJson(bag), "null");
    EXPECT_EQ(platform::KZDataToJson(bag, 2), "null");
  }
}

}  // namespace
