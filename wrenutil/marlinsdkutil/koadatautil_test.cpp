#include "wrenutil/marlinsdkutil/koadatautil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/common/kzjson.h"
#include "platform/common/refcounted.h"
#include "platform/koa/koa_dump.h"
#include "platform/testing/platform_test.h"

namespace {

using KOA::TArray;
using KOA::TBuffer;
using KOA::TData;
using KOADataUtil::Array::KZArrayToTArray;
using KOADataUtil::Array::TArrayToKZArray;
using KOADataUtil::Data::CopyKZDataFieldToTData;
using KOADataUtil::Data::CopyTDataFieldToKZData;
using KOADataUtil::Data::GetStrW;
using KOADataUtil::Data::KZDataToTData;
using KOADataUtil::Data::TDataToKZData;

constexpr wchar_t kSource[] = L"wrenutil\\marlinsdkutil\\koadatautil";

std::shared_ptr<TData> Record() { return TData::CreateTData(8); }
std::shared_ptr<TArray> List() { return TArray::CreateTArray(8); }

CKZComPtr<IKZData> Bag(const char* json = "{}") {
  CKZComPtr<IKZData> d;
  std::string error;
  EXPECT_EQ(platform::JsonToKZData(json, &d, &error), S_OK) << error;
  return d;
}

CKZComPtr<IKZArray> BagArray(const char* json = "[]") {
  CKZComPtr<IKZArray> a;
  std::string error;
  EXPECT_EQ(platform::JsonToKZArray(json, &a, &error), S_OK) << error;
  return a;
}

std::string Json(IKZDataRead* d) { return platform::KZDataToJson(d); }
std::string Json(IKZArrayRead* a) { return platform::KZArrayToJson(a); }

std::shared_ptr<TData> Options(const std::function<void(TData&)>& fill) {
  std::shared_ptr<TData> o = Record();
  fill(*o);
  return o;
}

class KoaDataUtilTest : public platform::testing::PlatformTest {
 protected:
  // Checks that exactly the given messages were logged, each at level 2 under
  // the bridge's module and source with `function`.
  void ExpectLogs(const std::wstring& function, const std::vector<std::wstring>& messages) {
    ASSERT_EQ(LogMessages(), messages);
    for (const platform::LogEntry& e : logs()) {
      EXPECT_EQ(e.level, 2);
      EXPECT_EQ(e.module, L"KOADataUtil");
      EXPECT_EQ(e.function, function);
      EXPECT_EQ(e.file, kSource);
      EXPECT_GT(e.line, 0);
    }
  }
};

constexpr wchar_t kCopyField[] = L"KOADataUtil::Data::CopyKZDataFieldToTData";
constexpr wchar_t kArrayFn[] = L"KOADataUtil::Array::KZArrayToTArray";

std::wstring Unsupported(wchar_t code) { return std::wstring(L"Unknown/Unsupported Type ") + code; }

// ---------------------------------------------------------------------------
// KOA field into bag

struct KoaFieldCase {
  const char* what;
  std::function<void(TData&)> set;  // sets the field "f"
  bool result;
  const char* bag;  // the bag's JSON afterwards
};

TEST_F(KoaDataUtilTest, CopyTDataFieldMapsEveryKind) {
  const std::vector<KoaFieldCase> cases = {
      {"int8", [](TData& d) { d.SetInt8("f", -8); }, true, R"({"f":{"@i8":-8}})"},
      {"uint8", [](TData& d) { d.SetUInt8("f", 200); }, true, R"({"f":{"@u8":200}})"},
      {"int16", [](TData& d) { d.SetInt16("f", -300); }, true, R"({"f":{"@i16":-300}})"},
      {"uint16", [](TData& d) { d.SetUInt16("f", 60000); }, true, R"({"f":{"@u16":60000}})"},
      {"int32", [](TData& d) { d.SetInt32("f", -70000); }, true, R"({"f":-70000})"},
      {"uint32", [](TData& d) { d.SetUInt32("f", 4000000000u); }, true, R"({"f":4000000000})"},
      {"int64", [](TData& d) { d.SetInt64("f", -(1LL << 40)); }, true, R"({"f":-1099511627776})"},
      {"uint64", [](TData& d) { d.SetUInt64("f", (1ULL << 32) + 5); }, true,
       R"({"f":{"@u64":4294967301}})"},
      {"float widened exactly", [](TData& d) { d.SetFloat("f", 1.5f); }, true, R"({"f":1.5})"},
      {"double", [](TData& d) { d.SetDouble("f", 0.25); }, true, R"({"f":0.25})"},
      {"utf-8 string", [](TData& d) { d.SetString("f", "\xE5\xBC\xA0"); }, true,
       "{\"f\":\"\xE5\xBC\xA0\"}"},
      {"utf-8 string cut at NUL", [](TData& d) { d.SetString("f", std::string("ab\0cd", 5)); },
       true, R"({"f":"ab"})"},
      {"wide string", [](TData& d) { d.SetWString("f", L"\u5f20x"); }, true,
       "{\"f\":\"\xE5\xBC\xA0x\"}"},
      {"buffer", [](TData& d) { d.SetBuffer("f", TBuffer("abc", 3)); }, true,
       R"({"f":{"@buf":"616263"}})"},
      {"empty buffer", [](TData& d) { d.SetBuffer("f", TBuffer()); }, true, R"({"f":{"@buf":""}})"},
      {"array",
       [](TData& d) {
         auto a = List();
         a->AddInt16(1);
         a->AddInt16(2);
         d.SetArray("f", a);
       },
       true, R"({"f":[{"@i16":1},{"@i16":2}]})"},
      {"null array", [](TData& d) { d.SetArray("f", nullptr); }, true, "{}"},
      {"array of buffers stored empty",
       [](TData& d) {
         auto a = List();
         a->AddBuffer(TBuffer("x", 1));
         d.SetArray("f", a);
       },
       true, R"({"f":[]})"},
      {"record",
       [](TData& d) {
         auto r = Record();
         r->SetBool("b", false);
         d.SetData("f", r);
       },
       true, R"({"f":{"b":false}})"},
      {"null record", [](TData& d) { d.SetData("f", nullptr); }, true, "{}"},
      {"bool", [](TData& d) { d.SetBool("f", true); }, true, R"({"f":true})"},
      {"date-time (16)", [](TData& d) { d.SetDateTime("f", KOA::TDateTime{5}); }, false, "{}"},
      {"identifier (17)", [](TData& d) { d.SetGuid("f", KOA::TGuid{}); }, false, "{}"},
      {"null (18)", [](TData& d) { d.SetNull("f"); }, false, "{}"},
      {"missing", [](TData&) {}, false, "{}"},
  };
  for (const KoaFieldCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::shared_ptr<TData> src = Record();
    c.set(*src);
    CKZComPtr<IKZData> dst = Bag();
    EXPECT_EQ(CopyTDataFieldToKZData(src, "f", dst, nullptr, nullptr), c.result);
    EXPECT_EQ(Json(dst), c.bag);
  }
  EXPECT_TRUE(logs().empty()) << "this direction logs nothing";
}

TEST_F(KoaDataUtilTest, CopyTDataFieldNamesAndArguments) {
  std::shared_ptr<TData> src = Record();
  src->SetInt32("a", 1);
  CKZComPtr<IKZData> dst = Bag(R"({"keep":2,"a":{"@i32":0}})");
  EXPECT_TRUE(CopyTDataFieldToKZData(src, "a", dst, "", nullptr));
  EXPECT_TRUE(CopyTDataFieldToKZData(src, "a", dst, "renamed", nullptr));
  EXPECT_EQ(Json(dst), R"({"keep":2,"a":{"@i32":1},"renamed":{"@i32":1}})");

  CKZComPtr<IKZData> untouched = Bag();
  EXPECT_FALSE(CopyTDataFieldToKZData(nullptr, "a", untouched, nullptr, nullptr));
  EXPECT_FALSE(CopyTDataFieldToKZData(src, nullptr, untouched, "x", nullptr));
  EXPECT_FALSE(CopyTDataFieldToKZData(src, "a", nullptr, nullptr, nullptr));
  EXPECT_EQ(Json(untouched), "{}");
  EXPECT_TRUE(logs().empty());
}

TEST_F(KoaDataUtilTest, BoolU64ToDWordKeepsTheLowHalf) {
  std::shared_ptr<TData> src = Record();
  src->SetUInt64("u", (1ULL << 32) + 5);
  src->SetUInt32("d", 9);
  CKZComPtr<IKZData> dst = Bag();
  auto on = Options([](TData& o) { o.SetBool("BoolU64ToDWord", true); });
  auto off = Options([](TData& o) { o.SetBool("BoolU64ToDWord", false); });
  EXPECT_TRUE(CopyTDataFieldToKZData(src, "u", dst, "on", on));
  EXPECT_TRUE(CopyTDataFieldToKZData(src, "u", dst, "off", off));
  EXPECT_TRUE(CopyTDataFieldToKZData(src, "d", dst, "d", on));
  EXPECT_EQ(Json(dst), R"({"on":5,"off":{"@u64":4294967301},"d":9})");
}

// ---------------------------------------------------------------------------
// Bag field into KOA

struct BagFieldCase {
  const char* what;
  const char* bag;  // holds the field "f"
  bool result;
  const char* koa;  // the record's text afterwards
};

TEST_F(KoaDataUtilTest, CopyKZDataFieldMapsEveryType) {
  const std::vector<BagFieldCase> cases = {
      {"bool 7 is true", R"({"f":{"@bool":7}})", true, "{f: bool true}"},
      {"bool 0", R"({"f":false})", true, "{f: bool false}"},
      {"u8", R"({"f":{"@u8":255}})", true, "{f: u8 255}"},
      {"i8", R"({"f":{"@i8":-128}})", true, "{f: i8 -128}"},
      {"u16", R"({"f":{"@u16":65535}})", true, "{f: u16 65535}"},
      {"i16", R"({"f":{"@i16":-2}})", true, "{f: i16 -2}"},
      {"dword", R"({"f":4294967295})", true, "{f: u32 4294967295}"},
      {"i32", R"({"f":-5})", true, "{f: i32 -5}"},
      {"string as utf-8", "{\"f\":\"\xE5\xBC\xA0\"}", true, "{f: str \"\xE5\xBC\xA0\"}"},
      {"buffer", R"({"f":{"@buf":"00ff"}})", true, "{f: buf 00ff}"},
      {"record", R"({"f":{"x":1}})", true, "{f: data {x: u32 1}}"},
      {"array", R"({"f":[1,"s"]})", true, "{f: array<u32> [u32 1, str \"s\"]}"},
      {"i64", R"({"f":{"@i64":-9}})", true, "{f: i64 -9}"},
      {"double", R"({"f":2.5})", true, "{f: double 2.5}"},
      {"u64", R"({"f":{"@u64":18446744073709551615}})", true, "{f: u64 18446744073709551615}"},
  };
  for (const BagFieldCase& c : cases) {
    SCOPED_TRACE(c.what);
    CKZComPtr<IKZData> src = Bag(c.bag);
    std::shared_ptr<TData> dst = Record();
    EXPECT_EQ(CopyKZDataFieldToTData(src, "f", dst, nullptr, nullptr), c.result);
    EXPECT_EQ(KOA::DumpTData(dst), c.koa);
  }
  EXPECT_TRUE(logs().empty());
}

TEST_F(KoaDataUtilTest, CopyKZDataFieldRefusesUnsupportedTypesWithALogLine) {
  CKZComPtr<IKZData> src = Bag();
  CKZComPtr<IKZData> object = Bag();
  src->SetInterface("obj", IKZData::kIid, object);  // type 10
  std::shared_ptr<TData> dst = Record();
  EXPECT_FALSE(CopyKZDataFieldToTData(src, "obj", dst, nullptr, nullptr));
  EXPECT_FALSE(CopyKZDataFieldToTData(src, "missing", dst, nullptr, nullptr));
  EXPECT_EQ(dst->GetFieldCount(), 0u);
  ASSERT_EQ(logs().size(), 2u);
  ExpectLogs(kCopyField, {Unsupported(L'\x0a'), logs()[1].message});
  EXPECT_EQ(logs()[1].message.rfind(L"Unknown/Unsupported Type ", 0), 0u);
}

TEST_F(KoaDataUtilTest, CopyKZDataFieldNamesAndArguments) {
  CKZComPtr<IKZData> src = Bag(R"({"a":1})");
  std::shared_ptr<TData> dst = Record();
  dst->SetString("keep", "k");
  EXPECT_TRUE(CopyKZDataFieldToTData(src, "a", dst, "", nullptr));
  EXPECT_TRUE(CopyKZDataFieldToTData(src, "a", dst, "b", nullptr));
  EXPECT_EQ(KOA::DumpTData(dst), "{keep: str \"k\", a: u32 1, b: u32 1}");

  std::shared_ptr<TData> untouched = Record();
  EXPECT_FALSE(CopyKZDataFieldToTData(nullptr, "a", untouched, nullptr, nullptr));
  EXPECT_FALSE(CopyKZDataFieldToTData(src, nullptr, untouched, nullptr, nullptr));
  EXPECT_FALSE(CopyKZDataFieldToTData(src, "a", nullptr, nullptr, nullptr));
  EXPECT_EQ(untouched->GetFieldCount(), 0u);
  EXPECT_TRUE(logs().empty());
}

// A bag whose field types come from a table and whose every read fails: the
// paths where the bag's getter reports a failure.
class FailingBag final : public platform::RefCounted<IKZData> {
 public:
  explicit FailingBag(std::map<std::string, BYTE> types) : types_(std::move(types)) {}

#define FAILING_BY_NAME(Method, ...)                                      \
  HRESULT Method(const wchar_t*, __VA_ARGS__) override { return E_FAIL; } \
  HRESULT Method(const char*, __VA_ARGS__) override { return E_FAIL; }
  FAILING_BY_NAME(GetBool, int*)
  FAILING_BY_NAME(GetUInt8, std::uint8_t*)
  FAILING_BY_NAME(GetInt8, std::int8_t*)
  FAILING_BY_NAME(GetUInt16, std::uint16_t*)
  FAILING_BY_NAME(GetInt16, std::int16_t*)
  FAILING_BY_NAME(GetDWord, DWORD*)
  FAILING_BY_NAME(GetInt32, std::int32_t*)
  FAILING_BY_NAME(GetUInt64, std::uint64_t*)
  FAILING_BY_NAME(GetInt64, std::int64_t*)
  FAILING_BY_NAME(GetDouble, double*)
  FAILING_BY_NAME(GetStr, BSTR*)
  FAILING_BY_NAME(GetBuf, IKZBuffer**)
  FAILING_BY_NAME(GetInterface, REFIID, void**)
  FAILING_BY_NAME(GetKZArrayRead, IKZArrayRead**)
  FAILING_BY_NAME(CopyField, IKZData*)
  FAILING_BY_NAME(GetKZData, IKZData**)
  FAILING_BY_NAME(GetKZArray, IKZArray**)
  FAILING_BY_NAME(SetBool, int)
  FAILING_BY_NAME(SetUInt8, std::uint8_t)
  FAILING_BY_NAME(SetInt8, std::int8_t)
  FAILING_BY_NAME(SetUInt16, std::uint16_t)
  FAILING_BY_NAME(SetInt16, std::int16_t)
  FAILING_BY_NAME(SetDWord, DWORD)
  FAILING_BY_NAME(SetInt32, std::int32_t)
  FAILING_BY_NAME(SetUInt64, std::uint64_t)
  FAILING_BY_NAME(SetInt64, std::int64_t)
  FAILING_BY_NAME(SetDouble, double)
  FAILING_BY_NAME(SetStr, const wchar_t*)
  FAILING_BY_NAME(SetBuf, IKZBuffer*)
  FAILING_BY_NAME(SetInterface, REFIID, IUnknown*)
  FAILING_BY_NAME(SetKZData, IKZData*)
  FAILING_BY_NAME(SetKZArray, IKZArray*)
#undef FAILING_BY_NAME

  HRESULT GetFieldType(const wchar_t*, BYTE*) override { return E_FAIL; }
  HRESULT GetFieldType(const char* name, BYTE* type) override {
    auto it = types_.find(name);
    *type = it == types_.end() ? 0 : it->second;
    return E_FAIL;  // the bridge does not look at this result
  }
  HRESULT GetFieldCount(DWORD*) override { return E_FAIL; }
  HRESULT GetFieldName(DWORD, BSTR*) override { return E_FAIL; }
  HRESULT GetFieldTypeAt(DWORD, BYTE*) override { return E_FAIL; }
  HRESULT IsEqual(IKZDataRead*) override { return E_FAIL; }
  HRESULT CopyTo(IKZData*) override { return E_FAIL; }
  HRESULT RemoveField(const wchar_t*) override { return E_FAIL; }
  HRESULT RemoveField(const char*) override { return E_FAIL; }

 private:
  std::map<std::string, BYTE> types_;
};

TEST_F(KoaDataUtilTest, FailingBagReadsWriteNothing) {
  std::map<std::string, BYTE> types;
  for (int t : {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 14, 15, 17}) {
    types["t" + std::to_string(t)] = static_cast<BYTE>(t);
  }
  CKZComPtr<FailingBag> src;
  src.Attach(new FailingBag(types));
  std::shared_ptr<TData> dst = Record();
  errno = EINVAL;
  for (const auto& [name, type] : types) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(CopyKZDataFieldToTData(src.Get(), name.c_str(), dst, nullptr, nullptr));
  }
  EXPECT_EQ(dst->GetFieldCount(), 0u);
  const std::wstring err = std::to_wstring(EINVAL);
  ExpectLogs(kCopyField, {L"KZData To TData Failed, error is " + err,
                          L"KZArray To TArray Failed, error is " + err});

  // A whole-record conversion of such a bag reads no field count: empty.
  std::shared_ptr<TData> whole = KZDataToTData(src.Get(), nullptr);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(whole->GetFieldCount(), 0u);
}

TEST_F(KoaDataUtilTest, GetStrWReadsUtf8Fields) {
  std::shared_ptr<TData> d = Record();
  d->SetString("s",
               "\xE5\xBC\xA0"
               "1");
  d->SetString("nul", std::string("a\0b", 3));
  d->SetWString("w", L"wide");
  d->SetInt32("n", 5);
  EXPECT_EQ(GetStrW(d, "s"),
            L"\u5f20"
            L"1");
  EXPECT_EQ(GetStrW(d, "nul"), L"a");
  EXPECT_EQ(GetStrW(d, "w"), L"");  // strict getters: not a UTF-8 field
  EXPECT_EQ(GetStrW(d, "n"), L"");
  EXPECT_EQ(GetStrW(d, "missing"), L"");
  EXPECT_EQ(GetStrW(d, nullptr), L"");
  EXPECT_EQ(GetStrW(nullptr, nullptr), L"");
}

// ---------------------------------------------------------------------------
// Whole records

TEST_F(KoaDataUtilTest, TDataToKZDataFillsAndKeepsWhatIsThere) {
  std::shared_ptr<TData> src = Record();
  src->SetInt32("a", 5);
  src->SetString("b", "x");
  src->SetDateTime("c", KOA::TDateTime{1});  // not converted, left out
  CKZComPtr<IKZData> dst = Bag(R"({"old":1,"a":{"@i32":0}})");
  EXPECT_TRUE(TDataToKZData(src, dst, nullptr));
  EXPECT_EQ(Json(dst), R"({"old":1,"a":{"@i32":5},"b":"x"})");

  EXPECT_FALSE(TDataToKZData(nullptr, dst, nullptr));
  EXPECT_FALSE(TDataToKZData(src, static_cast<IKZData*>(nullptr), nullptr));
  EXPECT_FALSE(TDataToKZData(nullptr, nullptr).has_value());
  std::optional<CKZComPtr<IKZData>> made = TDataToKZData(Record(), nullptr);
  ASSERT_TRUE(made.has_value());
  EXPECT_EQ(Json(*made), "{}");
}

TEST_F(KoaDataUtilTest, TDataToKZDataRenamesOnlyItsOwnFields) {
  std::shared_ptr<TData> inner = Record();
  inner->SetInt32("a", 1);
  inner->SetUInt64("u", (1ULL << 32) + 1);
  std::shared_ptr<TArray> u64s = List();
  u64s->AddUInt64((1ULL << 32) + 2);
  std::shared_ptr<TData> src = Record();
  src->SetInt32("a", 2);
  src->SetInt32("b", 3);
  src->SetUInt64("u", (1ULL << 32) + 3);
  src->SetData("inner", inner);
  src->SetArray("list", u64s);
  auto options = Options([](TData& o) {
    o.SetString("a", "alpha");
    o.SetBool("BoolU64ToDWord", true);
  });
  std::optional<CKZComPtr<IKZData>> out = TDataToKZData(src, options);
  ASSERT_TRUE(out.has_value());
  // The flag reaches no field; the map does not reach the nested record.
  EXPECT_EQ(Json(*out), R"({"alpha":{"@i32":2},"b":{"@i32":3},"u":{"@u64":4294967299},)"
                        R"("inner":{"a":{"@i32":1},"u":{"@u64":4294967297}},)"
                        R"("list":[{"@u64":4294967298}]})");
}

TEST_F(KoaDataUtilTest, CopyTDataFieldPassesOptionsToNestedData) {
  std::shared_ptr<TData> inner = Record();
  inner->SetInt32("a", 1);
  inner->SetUInt64("u", (1ULL << 32) + 1);
  std::shared_ptr<TArray> u64s = List();
  u64s->AddUInt64((1ULL << 32) + 2);
  std::shared_ptr<TData> src = Record();
  src->SetData("inner", inner);
  src->SetArray("list", u64s);
  auto options = Options([](TData& o) {
    o.SetString("a", "alpha");
    o.SetBool("BoolU64ToDWord", true);
  });
  CKZComPtr<IKZData> dst = Bag();
  EXPECT_TRUE(CopyTDataFieldToKZData(src, "inner", dst, nullptr, options));
  EXPECT_TRUE(CopyTDataFieldToKZData(src, "list", dst, nullptr, options));
  // The nested record's fill reads the map but copies its fields without
  // options; the nested array reads the flag.
  EXPECT_EQ(Json(dst), R"({"inner":{"alpha":{"@i32":1},"u":{"@u64":4294967297}},"list":[2]})");
}

TEST_F(KoaDataUtilTest, KZDataToTDataConvertsEveryFieldAndRenames) {
  CKZComPtr<IKZData> src = Bag(R"({"a":1,"b":"t","c":{"a":2,"l":[3]},"l":[4]})");
  // JSON cannot make an interface field; make one by hand.
  CKZComPtr<IKZData> object = Bag();
  src->SetInterface("skip", IKZData::kIid, object);
  auto options = Options([](TData& o) {
    o.SetString("a", "alpha");
    o.SetString("b", "");
    o.SetBool("DWordToU64", true);
  });
  std::shared_ptr<TData> out = KZDataToTData(src, options);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(KOA::DumpTData(out),
            "{alpha: u32 1, b: str \"t\", c: data {a: u32 2, l: array<u32> [u32 3]}, "
            "l: array<u32> [u32 4]}");
  ExpectLogs(kCopyField, {Unsupported(L'\x0a')});

  EXPECT_EQ(KZDataToTData(nullptr, nullptr), nullptr);
  std::shared_ptr<TData> empty = KZDataToTData(Bag(), nullptr);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->GetFieldCount(), 0u);
}

TEST_F(KoaDataUtilTest, ThreeLevelsSurviveBothWays) {
  CKZComPtr<IKZData> src =
      Bag(R"({"top":{"mid":{"list":[{"@u16":1},{"@u16":2}]},"n":{"@i8":-1}}})");
  std::shared_ptr<TData> koa = KZDataToTData(src, nullptr);
  EXPECT_EQ(KOA::DumpTData(koa),
            "{top: data {mid: data {list: array<u16> [u16 1, u16 2]}, n: i8 -1}}");
  std::optional<CKZComPtr<IKZData>> back = TDataToKZData(koa, nullptr);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ((*back)->IsEqual(src), S_OK) << Json(*back);
}

// ---------------------------------------------------------------------------
// Arrays, KOA into bag

struct KoaArrayCase {
  const char* what;
  std::function<void(TArray&)> fill;
  bool result;
  const char* bag;
};

TEST_F(KoaDataUtilTest, TArrayToKZArrayMapsEveryKind) {
  const std::vector<KoaArrayCase> cases = {
      {"int8", [](TArray& a) { a.AddInt8(-1); }, true, R"([{"@i8":-1}])"},
      {"uint8", [](TArray& a) { a.AddUInt8(1); }, true, R"([{"@u8":1}])"},
      {"int16", [](TArray& a) { a.AddInt16(-2); }, true, R"([{"@i16":-2}])"},
      {"uint16", [](TArray& a) { a.AddUInt16(2); }, true, R"([{"@u16":2}])"},
      {"int32", [](TArray& a) { a.AddInt32(-3); }, true, "[-3]"},
      {"uint32", [](TArray& a) { a.AddUInt32(3); }, true, "[3]"},
      {"int64", [](TArray& a) { a.AddInt64(-4); }, true, R"([{"@i64":-4}])"},
      {"uint64", [](TArray& a) { a.AddUInt64((1ULL << 32) + 4); }, true,
       R"([{"@u64":4294967300}])"},
      {"float", [](TArray& a) { a.AddFloat(0.5f); }, true, "[0.5]"},
      {"double", [](TArray& a) { a.AddDouble(-0.5); }, true, "[-0.5]"},
      {"string cut at NUL", [](TArray& a) { a.AddString(std::string("x\0y", 3)); }, true,
       R"(["x"])"},
      {"wide string", [](TArray& a) { a.AddWString(L"w"); }, true, R"(["w"])"},
      {"arrays, a null one empty",
       [](TArray& a) {
         auto inner = List();
         inner->AddBool(true);
         a.AddArray(inner);
         a.AddArray(nullptr);
       },
       true, "[[true],[]]"},
      {"records, a null one empty",
       [](TArray& a) {
         auto r = Record();
         r->SetInt32("x", -1);
         a.AddData(r);
         a.AddData(nullptr);
         a.AddData(Record());
       },
       true, R"([{"x":-1},{},{}])"},
      {"bool", [](TArray& a) { a.AddBool(false); }, true, "[false]"},
      {"mixed: read with the array's kind",
       [](TArray& a) {
         a.AddUInt32(1);
         a.AddString("s");
       },
       true, "[1,0]"},
      {"empty", [](TArray&) {}, false, R"(["old"])"},
      {"buffers", [](TArray& a) { a.AddBuffer(TBuffer("b", 1)); }, false, R"(["old"])"},
      {"date-times", [](TArray& a) { a.AddDateTime({}); }, false, R"(["old"])"},
      {"identifiers", [](TArray& a) { a.AddGuid({}); }, false, R"(["old"])"},
      {"nulls", [](TArray& a) { a.AddNull(); }, false, R"(["old"])"},
  };
  for (const KoaArrayCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::shared_ptr<TArray> src = List();
    c.fill(*src);
    CKZComPtr<IKZArray> dst = BagArray();
    EXPECT_EQ(TArrayToKZArray(src, dst, nullptr), c.result);
    EXPECT_EQ(TArrayToKZArray(src, nullptr).has_value(), c.result);
    if (c.result) {
      EXPECT_EQ(Json(dst), c.bag);
    } else {
      CKZComPtr<IKZArray> kept = BagArray(R"(["old"])");
      EXPECT_FALSE(TArrayToKZArray(src, kept, nullptr));
      EXPECT_EQ(Json(kept), c.bag) << "nothing appended";
    }
  }
  EXPECT_TRUE(logs().empty());
}

TEST_F(KoaDataUtilTest, TArrayToKZArrayAppendsAndPassesOptionsOn) {
  std::shared_ptr<TArray> inner = List();
  inner->AddUInt64((1ULL << 32) + 7);
  std::shared_ptr<TData> rec = Record();
  rec->SetInt32("a", 1);
  rec->SetUInt64("u", (1ULL << 32) + 8);
  std::shared_ptr<TArray> arrays = List();
  arrays->AddArray(inner);
  std::shared_ptr<TArray> records = List();
  records->AddData(rec);
  auto options = Options([](TData& o) {
    o.SetBool("BoolU64ToDWord", true);
    o.SetString("a", "alpha");
  });
  CKZComPtr<IKZArray> dst = BagArray(R"(["first"])");
  EXPECT_TRUE(TArrayToKZArray(inner, dst, options));
  EXPECT_TRUE(TArrayToKZArray(arrays, dst, options));
  EXPECT_TRUE(TArrayToKZArray(records, dst, options));
  EXPECT_EQ(Json(dst), R"(["first",7,[7],{"alpha":{"@i32":1},"u":{"@u64":4294967304}}])");

  EXPECT_FALSE(TArrayToKZArray(nullptr, dst, nullptr));
  EXPECT_FALSE(TArrayToKZArray(inner, static_cast<IKZArray*>(nullptr), nullptr));
  EXPECT_FALSE(TArrayToKZArray(nullptr, nullptr).has_value());
}

// ---------------------------------------------------------------------------
// Arrays, bag into KOA

TEST_F(KoaDataUtilTest, KZArrayToTArrayConvertsEachElementByItsType) {
  CKZComPtr<IKZArray> src =
      BagArray(R"([{"@bool":3},{"@u8":1},{"@i8":-1},{"@u16":2},{"@i16":-2},7,-3,"s",)"
               R"({"@buf":"0a"},{"x":1},[2],{"@i64":-4},0.5,{"@u64":5}])");
  std::optional<std::shared_ptr<TArray>> out = KZArrayToTArray(src, nullptr);
  ASSERT_TRUE(out.has_value());
  EXPECT_EQ(KOA::DumpTArray(*out),
            "array<bool> [bool true, u8 1, i8 -1, u16 2, i16 -2, u32 7, i32 -3, "
            "str \"s\", buf 0a, data {x: u32 1}, array<u32> [u32 2], i64 -4, "
            "double 0.5, u64 5]");
  EXPECT_TRUE(logs().empty());
}

TEST_F(KoaDataUtilTest, KZArrayToTArraySkipsUnsupportedElements) {
  CKZComPtr<IKZData> object = Bag();
  // DWord, interface (through a nested record's field), string.
  CKZComPtr<IKZArray> mixed = BagArray(R"([7,{"obj":0},"s"])");
  CKZComPtr<IKZData> rec;
  ASSERT_EQ(mixed->GetKZData(1, &rec), S_OK);
  rec->SetInterface("obj", IKZData::kIid, object);
  std::optional<std::shared_ptr<TArray>> out = KZArrayToTArray(mixed, nullptr);
  ASSERT_TRUE(out.has_value());
  EXPECT_EQ(KOA::DumpTArray(*out), "array<u32> [u32 7, data {}, str \"s\"]");
  ExpectLogs(kCopyField, {Unsupported(L'\x0a')});
}

TEST_F(KoaDataUtilTest, DWordToU64AppliesToOwnElementsOnly) {
  CKZComPtr<IKZArray> src = BagArray(R"([7,[8],{"d":9}])");
  auto options = Options([](TData& o) { o.SetBool("DWordToU64", true); });
  std::optional<std::shared_ptr<TArray>> out = KZArrayToTArray(src, options);
  ASSERT_TRUE(out.has_value());
  EXPECT_EQ(KOA::DumpTArray(*out), "array<u64> [u64 7, array<u32> [u32 8], data {d: u32 9}]");

  EXPECT_FALSE(KZArrayToTArray(nullptr, options).has_value());
  out = KZArrayToTArray(BagArray(), nullptr);
  ASSERT_TRUE(out.has_value());
  ASSERT_NE(*out, nullptr);
  EXPECT_EQ((*out)->GetCount(), 0u);
}

// A bag array whose element types come from a list and whose every read
// fails.
class FailingArray final : public platform::RefCounted<IKZArray> {
 public:
  explicit FailingArray(std::vector<BYTE> types) : types_(std::move(types)) {}
  HRESULT GetBool(DWORD, int*) override { return E_FAIL; }
  HRESULT GetUInt8(DWORD, std::uint8_t*) override { return E_FAIL; }
  HRESULT GetInt8(DWORD, std::int8_t*) override { return E_FAIL; }
  HRESULT GetUInt16(DWORD, std::uint16_t*) override { return E_FAIL; }
  HRESULT GetInt16(DWORD, std::int16_t*) override { return E_FAIL; }
  HRESULT GetDWord(DWORD, DWORD* v) override {
    *v = 77;  // the bridge presets and ignores the result, so this is read
    return E_FAIL;
  }
  HRESULT GetInt32(DWORD, std::int32_t*) override { return E_FAIL; }
  HRESULT GetStr(DWORD, BSTR*) override { return E_FAIL; }
  HRESULT GetBuf(DWORD, IKZBuffer**) override { return E_FAIL; }
  HRESULT GetKZDataRead(DWORD, IKZDataRead**) override { return E_FAIL; }
  HRESULT GetInt64(DWORD, std::int64_t*) override { return E_FAIL; }
  HRESULT GetDouble(DWORD, double*) override { return E_FAIL; }
  HRESULT GetElementType(DWORD index, BYTE* type) override {
    if (index >= types_.size()) return E_FAIL;
    *type = types_[index];
    return S_OK;
  }
  HRESULT GetCount(DWORD* count) override {
    *count = static_cast<DWORD>(types_.size());
    return S_OK;
  }
  HRESULT IsEqual(IKZArrayRead*) override { return E_FAIL; }
  HRESULT GetUInt64(DWORD, std::uint64_t*) override { return E_FAIL; }
  HRESULT AddBool(int) override { return E_FAIL; }
  HRESULT AddUInt8(std::uint8_t) override { return E_FAIL; }
  HRESULT AddInt8(std::int8_t) override { return E_FAIL; }
  HRESULT AddUInt16(std::uint16_t) override { return E_FAIL; }
  HRESULT AddInt16(std::int16_t) override { return E_FAIL; }
  HRESULT AddDWord(DWORD) override { return E_FAIL; }
  HRESULT AddInt32(std::int32_t) override { return E_FAIL; }
  HRESULT AddStr(const wchar_t*) override { return E_FAIL; }
  HRESULT AddKZData(IKZData*) override { return E_FAIL; }
  HRESULT AddKZArray(IKZArray*) override { return E_FAIL; }
  HRESULT AddInt64(std::int64_t) override { return E_FAIL; }
  HRESULT AddDouble(double) override { return E_FAIL; }
  HRESULT GetKZData(DWORD, IKZData**) override { return E_FAIL; }
  HRESULT GetKZArray(DWORD, IKZArray**) override { return E_FAIL; }
  HRESULT AddUInt64(std::uint64_t) override { return E_FAIL; }
  HRESULT AddBuf(IKZBuffer*) override { return E_FAIL; }
  HRESULT GetKZArrayRead(DWORD, IKZArrayRead**) override { return E_FAIL; }
  HRESULT RemoveAt(DWORD) override { return E_FAIL; }
  HRESULT Clear() override { return E_FAIL; }

 private:
  std::vector<BYTE> types_;
};

TEST_F(KoaDataUtilTest, KZArrayToTArrayFailingReads) {
  CKZComPtr<FailingArray> src;
  src.Attach(new FailingArray({1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 14, 15, 17, 0, 13, 16, 18}));
  errno = ENOENT;
  std::optional<std::shared_ptr<TArray>> out = KZArrayToTArray(src.Get(), nullptr);
  ASSERT_TRUE(out.has_value());
  // Only the DWord, whose read result is not examined, is appended.
  EXPECT_EQ(KOA::DumpTArray(*out), "array<u32> [u32 77]");
  const std::wstring err = std::to_wstring(ENOENT);
  ExpectLogs(kArrayFn, {L"KZData To TData Failed, error is " + err,
                        L"KZArray To TArray Failed, error is " + err, Unsupported(L'\0'),
                        Unsupported(L'\x0d'), Unsupported(L'\x10'), Unsupported(L'\x12')});
}

}  // namespace
