#include "wrenutil/tools.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/common/convert.h"
#include "platform/common/kzjson.h"
#include "platform/common/kztime.h"
#include "platform/kernelutil/accountservice.h"
#include "platform/testing/platform_test.h"

namespace {

// The context suffix under the fixture: fixed clock (2024-03-05 06:07:08.009
// UTC), self 10001, version 3.7, no account or network service.
const std::wstring kSuffix =
    L"[Time=2024-03-05 6:07:08.9][UnixTime=1709618828][CorpUin=0][ExtUin=10001]"
    L"[ClientVersion=307][ClientIP=0]";

struct Logged {
  int level;
  std::wstring text;
  friend bool operator==(const Logged& a, const Logged& b) {
    return a.level == b.level && a.text == b.text;
  }
  friend std::ostream& operator<<(std::ostream& os, const Logged& l) {
    return os << "L" << l.level << " \"" << Util::Convert::Utf8FromWS(l.text.c_str(), -1).str()
              << "\"";
  }
};

class ToolsTest : public platform::testing::PlatformTest {
 protected:
  static CKZComPtr<IKZData> Bag(const char* json) {
    CKZComPtr<IKZData> d;
    std::string error;
    EXPECT_EQ(platform::JsonToKZData(json, &d, &error), S_OK) << json << ": " << error;
    return d;
  }
  static CKZComPtr<IKZArray> Array(const char* json) {
    CKZComPtr<IKZArray> a;
    std::string error;
    EXPECT_EQ(platform::JsonToKZArray(json, &a, &error), S_OK) << json << ": " << error;
    return a;
  }
  // The messages logged since the last call, each checked for the family's
  // module, source and function texts and the suffix, which is cut off.
  std::vector<Logged> TakeLogs() {
    std::vector<Logged> out;
    for (const platform::LogEntry& e : logs()) {
      EXPECT_EQ(e.module, L"ML_Others_UtilTools");
      EXPECT_EQ(e.file, L"file");
      EXPECT_EQ(e.function, L"func");
      std::wstring text = e.message;
      if (text.size() >= kSuffix.size() &&
          text.compare(text.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0) {
        text.resize(text.size() - kSuffix.size());
      } else {
        ADD_FAILURE() << "no context suffix: " << Util::Convert::Utf8FromWS(text.c_str(), -1).str();
      }
      out.push_back(Logged{e.level, text});
    }
    ClearLogs();
    return out;
  }
  static std::wstring Hex(const void* p) {
    wchar_t buf[16];
    std::swprintf(buf, 16, L"%x", static_cast<unsigned int>(reinterpret_cast<std::uintptr_t>(p)));
    return buf;
  }
};

// ---------------------------------------------------------------------------
// Membership: one driver for the six functions.

enum Kind { kDWord, kUInt64, kText, kDWordField, kUInt64Field, kTextField };

struct Lookup {
  Kind variant;
  std::uint64_t number = 0;       // the value of the number variants
  const wchar_t* text = nullptr;  // the value of the text variants (may be null)
  const wchar_t* field = L"f";    // the field of the record variants (may be null)
};

int Find(const Lookup& l, IKZArrayRead* array, unsigned long& position) {
  using namespace Util::Tools;
  std::wstring text_copy = l.text ? l.text : L"";
  std::wstring field_copy = l.field ? l.field : L"";
  wchar_t* text = l.text ? text_copy.data() : nullptr;
  wchar_t* field = l.field ? field_copy.data() : nullptr;
  auto dword = static_cast<unsigned long>(l.number);
  switch (l.variant) {
    case kDWord:
      return IsDWordInKZArray(dword, array, position);
    case kUInt64:
      return IsUInt64InKZArray(l.number, array, position);
    case kText:
      return IsBSTRInKZArray(text, array, position);
    case kDWordField:
      return IsDWordInKZDataArray(dword, field, array, position);
    case kUInt64Field:
      return IsUInt64InKZDataArray(l.number, field, array, position);
    case kTextField:
      return IsBSTRInKZDataArray(text, field, array, position);
  }
  return -1;
}

constexpr unsigned long kUntouched = 99;
// Records passed over (a number, fields of other types, no field), then two
// hits at 3 and 4, then the empty values at 5.
constexpr const char* kRecords =
    R"([7,{"f":"7","g":{"@u16":7}},{"other":7},{"f":7,"u":{"@u64":7},"s":"abc"},)"
    R"({"f":7,"u":{"@u64":7},"s":"abc"},{"f":0,"u":{"@u64":0},"s":""}])";

TEST_F(ToolsTest, Membership) {
  const std::wstring dw = L"Util::Tools::IsDWordInKZArray";
  const std::wstring u64 = L"Util::Tools::IsUInt64InKZArray";
  const std::wstring str = L"Util::Tools::IsBSTRInKZArray";
  struct Case {
    const char* name;
    Lookup lookup;
    const char* array;
    unsigned long position;  // kUntouched: not found
    std::wstring found;      // the level-3 message of a hit, if any
  };
  const Case cases[] = {
      {"dword lowest", {kDWord, 7}, "[5,7,7]", 1, dw + L"7在数组中找到了，是第1个元素"},
      {"dword at 0", {kDWord, 7}, "[7]", 0, dw + L"7在数组中找到了，是第0个元素"},
      {"dword other types skipped",
       {kDWord, 7},
       R"(["7",{"@u64":7},{"@u16":7},7])",
       3,
       dw + L"7在数组中找到了，是第3个元素"},
      {"dword 0 vs unreadable", {kDWord, 0}, R"(["x",{"@u64":0}])", kUntouched, L""},
      {"dword empty array", {kDWord, 7}, "[]", kUntouched, L""},
      {"dword above 32 bits", {kDWord, 0x100000007}, "[7]", kUntouched, L""},
      {"dword max",
       {kDWord, 0xFFFFFFFF},
       "[4294967295]",
       0,
       dw + L"4294967295在数组中找到了，是第0个元素"},
      {"u64 high half",
       {kUInt64, 1ull << 40},
       R"([{"@u64":0},{"@u64":1099511627776}])",
       1,
       u64 + L"1099511627776在数组中找到了，是第1个元素"},
      {"u64 low half alone", {kUInt64, 1}, R"([{"@u64":4294967297}])", kUntouched, L""},
      {"u64 0 vs unreadable", {kUInt64, 0}, R"([0,"0"])", kUntouched, L""},
      {"text case-sensitive",
       {kText, 0, L"ABC"},
       R"(["abc","ABC"])",
       1,
       str + L"ABC在数组中找到了，是第1个元素"},
      {"text ABC vs abc", {kText, 0, L"ABC"}, R"(["abc"])", kUntouched, L""},
      {"text chinese",
       {kText, 0, L"张三"},
       R"([1,"张","张三"])",
       2,
       str + L"张三在数组中找到了，是第2个元素"},
      {"text null is empty",
       {kText, 0, nullptr},
       R"(["x",""])",
       1,
       str + L"在数组中找到了，是第1个元素"},
      {"text empty vs unreadable", {kText, 0, L""}, "[0]", kUntouched, L""},
      // The record variants log nothing on a hit.
      {"field dword", {kDWordField, 7}, kRecords, 3, L""},
      {"field dword 0 where present", {kDWordField, 0}, kRecords, 5, L""},
      {"field dword absent value", {kDWordField, 8}, kRecords, kUntouched, L""},
      {"field dword null name", {kDWordField, 0, nullptr, nullptr}, kRecords, kUntouched, L""},
      {"field u64", {kUInt64Field, 7, nullptr, L"u"}, kRecords, 3, L""},
      {"field u64 0 where present", {kUInt64Field, 0, nullptr, L"u"}, kRecords, 5, L""},
      {"field u64 null name", {kUInt64Field, 0, nullptr, nullptr}, kRecords, kUntouched, L""},
      {"field text", {kTextField, 0, L"abc", L"s"}, kRecords, 3, L""},
      {"field text case", {kTextField, 0, L"ABC", L"s"}, kRecords, kUntouched, L""},
      {"field text empty", {kTextField, 0, L"", L"s"}, kRecords, 5, L""},
      {"field text null is empty", {kTextField, 0, nullptr, L"s"}, kRecords, 5, L""},
      {"field text null name", {kTextField, 0, L"abc", nullptr}, kRecords, kUntouched, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CKZComPtr<IKZArray> array = Array(c.array);
    unsigned long position = kUntouched;
    EXPECT_EQ(Find(c.lookup, array, position), c.position == kUntouched ? 0 : 1);
    EXPECT_EQ(position, c.position);
    std::vector<Logged> expected;
    if (!c.found.empty()) expected.push_back(Logged{3, c.found});
    EXPECT_EQ(TakeLogs(), expected);
    // Every record reference taken during the scan was given back.
    CKZComPtr<IKZData> record;
    if (SUCCEEDED(array->GetKZData(3, &record))) {
      EXPECT_EQ(record->AddRef(), 3u);  // the array's, ours, this one
      record->Release();
    }
  }
}

TEST_F(ToolsTest, MembershipNullArrays) {
  struct Case {
    Kind variant;
    std::wstring message;
  };
  const Case cases[] = {
      {kDWord, L"Util::Tools::IsDWordInKZArraypDWordArrRead为空，直接返回不在数组内"},
      {kUInt64, L"Util::Tools::IsUInt64InKZArraypUInt64ArrRead为空，直接返回不在数组内"},
      {kText, L"Util::Tools::IsBSTRInKZArraypBSTRArrRead为空，直接返回不在数组内"},
      {kDWordField, L"Util::Tools::IsDWordInKZDataArraypDstArrRead为空，返回FASLE"},
      {kUInt64Field, L"Util::Tools::IsUInt64InKZDataArraypDstArrRead为空，返回FASLE"},
      {kTextField, L"Util::Tools::IsBSTRInKZDataArraypDstArrRead为空，返回FASLE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant);
    unsigned long position = kUntouched;
    EXPECT_EQ(Find({c.variant, 1, L"abc"}, nullptr, position), 0);
    EXPECT_EQ(position, kUntouched);
    EXPECT_EQ(TakeLogs(), (std::vector<Logged>{{2, c.message}}));
  }
}

// ---------------------------------------------------------------------------
// Whole-object comparisons

TEST_F(ToolsTest, CompareKZDataAndArray) {
  CKZComPtr<IKZData> a = Bag(R"({"x":1,"sub":{"y":[1,2]}})");
  CKZComPtr<IKZData> same = Bag(R"({"sub":{"y":[1,2]},"x":1})");
  CKZComPtr<IKZData> other = Bag(R"({"x":1,"sub":{"y":[1,3]}})");
  CKZComPtr<IKZArray> arr = Array(R"([1,"a",{"k":1}])");
  CKZComPtr<IKZArray> arr_same = Array(R"([1,"a",{"k":1}])");
  CKZComPtr<IKZArray> arr_other = Array(R"(["a",1,{"k":1}])");

  const std::wstring data_same = L"Util::Tools::CompareKZData: pDataNew（%1） == pDataOld（%2）";
  const std::wstring data_null =
      L"Util::Tools::CompareKZData: pDataNew（%1）、pDataOld（%2）有一个为空，而另一个不为空";
  const std::wstring array_same =
      L"Util::Tools::CompareKZArray: pArrayNew（%1） == pArrayOld（%2）";
  const std::wstring array_null =
      L"Util::Tools::CompareKZArray: pArrayNew（%1）、pArrayOld（%2）有一个为空，而另一个不为空";
  // %1 is the second argument, %2 the first.
  auto message = [](std::wstring text, const void* first, const void* second) {
    text.replace(text.find(L"%1"), 2, Hex(second));
    text.replace(text.find(L"%2"), 2, Hex(first));
    return text;
  };
  struct Case {
    const char* name;
    std::function<int()> call;
    int equal;
    std::wstring logged;  // level 3; empty for none
  };
  IKZData* pa = a.Get();
  IKZArray* parr = arr.Get();
  const Case cases[] = {
      {"data both null", [] { return Util::Tools::CompareKZData(nullptr, nullptr); }, 1,
       message(data_same, nullptr, nullptr)},
      {"data itself", [&] { return Util::Tools::CompareKZData(pa, pa); }, 1,
       message(data_same, pa, pa)},
      {"data second null", [&] { return Util::Tools::CompareKZData(pa, nullptr); }, 0,
       message(data_null, pa, nullptr)},
      {"data first null", [&] { return Util::Tools::CompareKZData(nullptr, pa); }, 0,
       message(data_null, nullptr, pa)},
      {"data equal, other order", [&] { return Util::Tools::CompareKZData(pa, same); }, 1, L""},
      {"data differs deep inside", [&] { return Util::Tools::CompareKZData(pa, other); }, 0, L""},
      {"array both null", [] { return Util::Tools::CompareKZArray(nullptr, nullptr); }, 1,
       message(array_same, nullptr, nullptr)},
      {"array itself", [&] { return Util::Tools::CompareKZArray(parr, parr); }, 1,
       message(array_same, parr, parr)},
      {"array second null", [&] { return Util::Tools::CompareKZArray(parr, nullptr); }, 0,
       message(array_null, parr, nullptr)},
      {"array first null", [&] { return Util::Tools::CompareKZArray(nullptr, parr); }, 0,
       message(array_null, nullptr, parr)},
      {"array equal", [&] { return Util::Tools::CompareKZArray(parr, arr_same); }, 1, L""},
      {"array order matters", [&] { return Util::Tools::CompareKZArray(parr, arr_other); }, 0, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.call(), c.equal);
    std::vector<Logged> expected;
    if (!c.logged.empty()) expected.push_back(Logged{3, c.logged});
    EXPECT_EQ(TakeLogs(), expected);
  }
}

// ---------------------------------------------------------------------------
// Field comparisons

using FieldCompare = int (*)(IKZData*, IKZData*, const char*, const char*);

TEST_F(ToolsTest, CompareFieldValues) {
  const FieldCompare dw = Util::Tools::CompareKZDataFieldValueDWord;
  const FieldCompare str = Util::Tools::CompareKZDataFieldValueStr;
  const FieldCompare u64 = Util::Tools::CompareKZDataFieldValueUInt64;
  const FieldCompare buf = Util::Tools::CompareKZDataFieldValueKZBuffer;
  const FieldCompare arr = Util::Tools::CompareKZDataFieldValueKZArray;
  const FieldCompare data = Util::Tools::CompareKZDataFieldValueKZData;
  struct Case {
    FieldCompare compare;
    const char* first;
    const char* second;
    int equal;
    const char* first_name = "f";
    const char* second_name = "f";
  };
  const Case cases[] = {
      {dw, "{}", "{}", 1},
      {dw, R"({"f":0})", "{}", 1},  // EqualDWord: an absent field is 0
      {dw, R"({"f":1})", "{}", 0},
      {dw, R"({"f":5,"g":6})", R"({"f":6,"g":5})", 1, "f", "g"},  // each name in its record
      {dw, R"({"f":5})", R"({"f":6})", 0},
      {dw, R"({"f":"5"})", R"({"f":0})", 1},  // the unreadable first reads 0
      {dw, R"({"f":5})", R"({"f":{"@u16":5}})", 0},
      {dw, R"({"f":5})", R"({"f":6})", 1, nullptr, nullptr},  // null names: no fields
      {str, R"({"f":""})", "{}", 1},
      {str, "{}", R"({"f":""})", 1},  // EqualStr with the empty text
      {str, "{}", R"({"f":"x"})", 0},
      {str, R"({"f":"x"})", "{}", 0},
      {str, R"({"f":"张三"})", R"({"g":"张三"})", 1, "f", "g"},
      {str, R"({"f":"x"})", R"({"f":"X"})", 0},
      {str, R"({"f":5})", "{}", 1},
      {u64, "{}", "{}", 1},
      {u64, R"({"f":{"@u64":0}})", "{}", 1},                            // absent reads 0
      {u64, R"({"f":{"@u64":4294967296}})", R"({"f":{"@u64":0}})", 0},  // both halves
      {u64, R"({"f":5})", R"({"f":{"@u64":0}})", 1},
      {buf, R"({"f":{"@buf":"6162"}})", R"({"f":{"@buf":"6162"}})", 1},
      {buf, R"({"f":{"@buf":"6162"}})", R"({"f":{"@buf":"6163"}})", 0},
      {buf, R"({"f":{"@buf":""}})", "{}", 1},
      {buf, "{}", R"({"f":{"@buf":""}})", 1},
      {buf, "{}", R"({"f":{"@buf":"00"}})", 0},
      {arr, R"({"f":[1,{"k":"v"}]})", R"({"f":[1,{"k":"v"}]})", 1},
      {arr, R"({"f":[1,{"k":"v"}]})", R"({"f":[1,{"k":"w"}]})", 0},
      {arr, "{}", R"({"f":[]})", 0},
      {data, R"({"f":{"x":1,"y":[2]}})", R"({"g":{"y":[2],"x":1}})", 1, "f", "g"},
      {data, R"({"f":{"x":1}})", R"({"f":{"x":2}})", 0},
      {data, R"({"f":{}})", "{}", 0},
      {data, "{}", "{}", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " vs " + c.second);
    EXPECT_EQ(c.compare(Bag(c.first), Bag(c.second), c.first_name, c.second_name), c.equal);
    EXPECT_TRUE(TakeLogs().empty());
  }
}

TEST_F(ToolsTest, CompareFieldValuesRefusesNullRecords) {
  using namespace Util::Tools;
  struct Variant {
    FieldCompare compare;
    const wchar_t* name;
  };
  const Variant variants[] = {
      {CompareKZDataFieldValueDWord, L"Util::Tools::CompareKZDataFieldValueDWord"},
      {CompareKZDataFieldValueStr, L"Util::Tools::CompareKZDataFieldValueStr"},
      {CompareKZDataFieldValueUInt64, L"Util::Tools::CompareKZDataFieldValueUInt64"},
      {CompareKZDataFieldValueKZBuffer, L"Util::Tools::CompareKZDataFieldValueKZBuffer"},
      {CompareKZDataFieldValueKZArray, L"Util::Tools::CompareKZDataFieldValueKZArray"},
      {CompareKZDataFieldValueKZData, L"Util::Tools::CompareKZDataFieldValueKZData"},
  };
  CKZComPtr<IKZData> bag = Bag("{}");
  for (const Variant& v : variants) {
    SCOPED_TRACE(Util::Convert::Utf8FromWS(v.name, -1).str());
    const Logged refused{
        2, std::wstring(v.name) + L": pDataNew或pDataOld为空，请保证两者都不为空，直接返回FALSE。"};
    EXPECT_EQ(v.compare(nullptr, bag, "a", "a"), 0);
    EXPECT_EQ(v.compare(bag, nullptr, "a", "a"), 0);
    EXPECT_EQ(v.compare(nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(TakeLogs(), (std::vector<Logged>{refused, refused, refused}));
  }
}

TEST_F(ToolsTest, PrintDumpDoesNothing) {
  CKZComPtr<IKZData> bag = Bag(R"({"a":1})");
  CKZComPtr<IKZArray> array = Array("[1]");
  EXPECT_EQ(Util::Tools::PrintDump(static_cast<IKZDataRead*>(bag.Get())), 0);
  EXPECT_EQ(Util::Tools::PrintDump(static_cast<IKZArrayRead*>(array.Get())), 0);
  EXPECT_EQ(Util::Tools::PrintDump(static_cast<IKZDataRead*>(nullptr)), 0);
  EXPECT_EQ(Util::Tools::PrintDump(static_cast<IKZArrayRead*>(nullptr)), 0);
  EXPECT_TRUE(logs().empty());
}

// ---------------------------------------------------------------------------
// Single-value conversions

TEST_F(ToolsTest, ConvertBufferToCString) {
  struct Case {
    const char* hex;  // null: no buffer
    std::wstring text;
  };
  const Case cases[] = {
      {"616263", L"abc"},
      {nullptr, L""},
      {"", L""},
      {"e5bca0e4b889", L"张三"},
      {"61ff62", L"a\uFFFDb"},               // invalid byte
      {"e5bc", L"\uFFFD"},                   // truncated sequence
      {"610062", std::wstring(L"a\0b", 3)},  // a zero byte is kept
      {"f09f9880", L"\U0001F600"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex ? c.hex : "null");
    CKZComPtr<IKZBuffer> buffer;
    if (c.hex != nullptr) {
      std::string json = std::string(R"({"b":{"@buf":")") + c.hex + "\"}}";
      Bag(json.c_str())->GetBuf("b", &buffer);
    }
    CKZStringW text(L"previous");
    EXPECT_EQ(Util::Tools::ConvertBufferToCString(buffer, text), 1);
    EXPECT_EQ(text.str(), c.text);
  }
}

TEST_F(ToolsTest, ConvertCStringToBuffer) {
  struct Case {
    std::wstring text;
    std::string bytes;
  };
  const Case cases[] = {
      {L"abc", "abc"},
      {L"", ""},
      {L"张三", "\xe5\xbc\xa0\xe4\xb8\x89"},
      {std::wstring(L"ab\0cd", 5), "ab"},  // up to the first zero
      {L"\U0001F600", "\xf0\x9f\x98\x80"},
      {std::wstring(1, static_cast<wchar_t>(0xD800)), "\xef\xbf\xbd"},  // lone surrogate
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    IKZBuffer* buffer = nullptr;
    EXPECT_EQ(Util::Tools::ConvertCStringToBuffer(CKZStringW(c.text), &buffer), 1);
    ASSERT_NE(buffer, nullptr);
    BYTE* data = nullptr;
    DWORD size = 99;
    buffer->GetData(&data);
    buffer->GetSize(&size);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), c.bytes);
    EXPECT_EQ(buffer->Release(), 0u) << "exactly one reference for the caller";
  }
  EXPECT_EQ(Util::Tools::ConvertCStringToBuffer(CKZStringW(L"abc"), nullptr), 1);

  // A value already in the slot is overwritten, not released.
  CKZComPtr<IKZBuffer> held;
  Util::Data::CreateKZBuffer(&held);
  IKZBuffer* slot = held.Get();
  EXPECT_EQ(Util::Tools::ConvertCStringToBuffer(CKZStringW(L"x"), &slot), 1);
  EXPECT_NE(slot, held.Get());
  EXPECT_EQ(held->AddRef(), 2u);
  held->Release();
  slot->Release();
  EXPECT_TRUE(logs().empty());
}

// ---------------------------------------------------------------------------
// Record conversions

TEST_F(ToolsTest, RecordConversionsBothWays) {
  struct Case {
    const char* name;
    bool to_text;  // bytes_ -> str_, else str_ -> bytes_
    const char* source;
    const char* converted;
  };
  const Case cases[] = {
      {"bytes to text", true, R"({"bytes_title":{"@buf":"e6a087e9a298"},"dwId":7})",
       R"({"str_title":"标题","dwId":7})"},
      {"buffer without prefix keeps its name", true, R"({"raw":{"@buf":"6162"}})",
       R"({"raw":"ab"})"},
      {"every prefix replaced", true, R"({"bytes_bytes_x":{"@buf":"61"},"xbytes_":{"@buf":""}})",
       R"({"str_str_x":"a","xstr_":""})"},
      {"texts stay texts, nested copied", true,
       R"({"str_a":"t","sub":{"bytes_in":{"@buf":"61"}},"list":[{"@buf":"61"}],"n":{"@i64":-1}})",
       R"({"str_a":"t","sub":{"bytes_in":{"@buf":"61"}},"list":[{"@buf":"61"}],"n":{"@i64":-1}})"},
      {"text to bytes", false, R"({"str_name":"张三","n":{"@u8":1}})",
       R"({"bytes_name":{"@buf":"e5bca0e4b889"},"n":{"@u8":1}})"},
      {"empty text to empty bytes", false, R"({"str_":""})", R"({"bytes_":{"@buf":""}})"},
      {"buffers stay buffers", false, R"({"bytes_x":{"@buf":"00ff"},"str_y":"y"})",
       R"({"bytes_x":{"@buf":"00ff"},"bytes_y":{"@buf":"79"}})"},
      {"empty record", true, "{}", "{}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CKZComPtr<IKZData> source = Bag(c.source);
    CKZComPtr<IKZData> converted;
    int result =
        c.to_text ? Util::Tools::ConvertBufferToCStringInKZDataWithBytesPrefix(source, &converted)
                  : Util::Tools::ConvertCStringToBufferInKZDataWithStrPrefix(source, &converted);
    EXPECT_EQ(result, 1);
    ASSERT_TRUE(converted);
    EXPECT_EQ(platform::KZDataToJson(converted), c.converted);
  }
  EXPECT_TRUE(logs().empty());
}

TEST_F(ToolsTest, RecordConversionRoundTripAndCopyDepth) {
  CKZComPtr<IKZData> source =
      Bag(R"({"bytes_title":{"@buf":"e6a087e9a298"},"dwId":7,"sub":{"k":1}})");
  CKZComPtr<IKZData> text;
  ASSERT_EQ(Util::Tools::ConvertBufferToCStringInKZDataWithBytesPrefix(source, &text), 1);
  CKZComPtr<IKZData> back;
  ASSERT_EQ(Util::Tools::ConvertCStringToBufferInKZDataWithStrPrefix(text, &back), 1);
  EXPECT_EQ(source->IsEqual(back), S_OK) << platform::KZDataToJson(back);

  // The nested record was copied, not shared.
  CKZComPtr<IKZData> sub;
  ASSERT_EQ(source->GetKZData("sub", &sub), S_OK);
  sub->SetDWord("k", 2);
  EXPECT_EQ(platform::KZDataToJson(text), R"({"str_title":"标题","dwId":7,"sub":{"k":1}})");
}

TEST_F(ToolsTest, RecordConversionRefusals) {
  using Convert = int (*)(IKZDataRead*, IKZData**);
  struct Variant {
    Convert convert;
    std::wstring name;
  };
  const Variant variants[] = {
      {Util::Tools::ConvertBufferToCStringInKZDataWithBytesPrefix,
       L"Util::Tools::ConvertBufferToCStringInKZDataWithBytesPrefix"},
      {Util::Tools::ConvertCStringToBufferInKZDataWithStrPrefix,
       L"Util::Tools::ConvertCStringToBufferInKZDataWithStrPrefix"},
  };
  CKZComPtr<IKZData> source = Bag(R"({"str_a":"a","bytes_b":{"@buf":"62"}})");
  for (const Variant& v : variants) {
    SCOPED_TRACE(Util::Convert::Utf8FromWS(v.name.c_str(), -1).str());
    EXPECT_EQ(v.convert(source, nullptr), 0);
    EXPECT_EQ(v.convert(nullptr, nullptr), 0);
    EXPECT_EQ(TakeLogs(), (std::vector<Logged>{{2, v.name + L"ppDstData为空，返回FALSE"},
                                               {2, v.name + L"ppDstData为空，返回FALSE"}}));

    // A null source leaves a new, empty record; the old slot value is
    // overwritten, not released.
    CKZComPtr<IKZData> held = Bag(R"({"x":1})");
    IKZData* slot = held.Get();
    EXPECT_EQ(v.convert(nullptr, &slot), 1);
    ASSERT_NE(slot, nullptr);
    EXPECT_NE(slot, held.Get());
    EXPECT_EQ(platform::KZDataToJson(slot), "{}");
    EXPECT_EQ(held->AddRef(), 2u);
    held->Release();
    EXPECT_EQ(slot->Release(), 0u) << "one reference for the caller";
    EXPECT_EQ(TakeLogs(),
              (std::vector<Logged>{{2, v.name + L"pSrcData为空，不需要转换，返回TRUE"}}));
  }
}

// ---------------------------------------------------------------------------
// StringBeginEllipsis

TEST_F(ToolsTest, StringBeginEllipsis) {
  struct Case {
    std::wstring text;
    unsigned long max;
    std::wstring result;
  };
  const Case cases[] = {
      {L"abcdefgh", 5, L"...efgh"},
      {L"abcdefgh", 7, L"...cdefgh"},
      {L"abcdefgh", 8, L"abcdefgh"},
      {L"abcdefgh", 100, L"abcdefgh"},
      {L"abcdefgh", ULONG_MAX, L"abcdefgh"},
      {L"abcdefgh", 2, L"...h"},
      {L"abcdefgh", 1, L"..."},
      {L"abcdefgh", 0, L"..."},
      {L"", 0, L""},
      {L"一二三四五六", 3, L"...五六"},
      {L"a\U0001F600b\U0001F601", 3, L"...b\U0001F601"},  // whole code points
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.max);
    CKZStringW result(L"previous");
    EXPECT_EQ(Util::Tools::StringBeginEllipsis(CKZStringW(c.text), result, c.max), 1);
    EXPECT_EQ(result.str(), c.result);
  }
  // The result may be the text's own variable.
  CKZStringW same(L"abcdefgh");
  Util::Tools::StringBeginEllipsis(same, same, 5);
  EXPECT_EQ(same.str(), L"...efgh");
}

// ---------------------------------------------------------------------------
// The context suffix, once in full, with the account and network services.

TEST_F(ToolsTest, MessagesCarryTheContextSuffix) {
  CKZComPtr<IKZAccountService> account;
  ASSERT_EQ(platform::CreateMemoryAccountService(platform::AccountInfo{123456, 0, 0}, &account),
            S_OK);
  CKZComPtr<IKZNetworkService> network;
  ASSERT_EQ(platform::CreateMemoryNetworkService(0xC0A80102, &network), S_OK);  // 192.168.1.2
  AddService(IKZAccountService::kIid, account);
  AddService(IKZNetworkService::kIid, network);

  unsigned long position = 0;
  const std::int64_t before = platform::SystemMilliTime();
  Util::Tools::IsDWordInKZArray(1, nullptr, position);
  const std::int64_t after = platform::SystemMilliTime();
  ASSERT_EQ(logs().size(), 1u);
  const platform::LogEntry& e = logs()[0];
  EXPECT_EQ(e.level, 2);
  EXPECT_EQ(e.module, L"ML_Others_UtilTools");
  EXPECT_EQ(e.file, L"file");
  EXPECT_EQ(e.function, L"func");
  // The record by the system clock, the suffix by the client's clock.
  EXPECT_GE(e.unix_time_ms, before);
  EXPECT_LE(e.unix_time_ms, after);
  EXPECT_EQ(e.message,
            L"Util::Tools::IsDWordInKZArraypDWordArrRead为空，直接返回不在数组内"
            L"[Time=2024-03-05 6:07:08.9][UnixTime=1709618828][CorpUin=123456]"
            L"[ExtUin=10001][ClientVersion=307][ClientIP=3232235778]");
}

}  // namespace
