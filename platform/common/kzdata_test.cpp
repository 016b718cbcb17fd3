#include "platform/common/kzdata.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/common/convert.h"
#include "platform/common/kzjson.h"
#include "platform/common/refcounted.h"
#include "platform/testing/foreign_bag.h"
#include "platform/testing/platform_test.h"

namespace {

using BagTest = platform::testing::PlatformTest;

CKZComPtr<IKZData> Bag(const char* json) {
  CKZComPtr<IKZData> d;
  std::string error;
  EXPECT_EQ(platform::JsonToKZData(json, &d, &error), S_OK) << error;
  return d;
}

TEST_F(BagTest, SetGetKeepsOrderAndTypes) {
  CKZComPtr<IKZData> d;
  ASSERT_EQ(Util::Data::CreateKZData(&d), 1);
  EXPECT_EQ(d->SetDWord("dwId", 7), S_OK);
  EXPECT_EQ(d->SetStr(L"strName", L"张三"), S_OK);
  EXPECT_EQ(d->SetUInt64("uint64_account", 1ull << 40), S_OK);
  DWORD id = 0;
  EXPECT_EQ(d->GetDWord(L"dwId", &id), S_OK);
  EXPECT_EQ(id, 7u);
  std::uint64_t account = 0;
  EXPECT_LT(d->GetUInt64("dwId", &account), 0) << "getters are strict";
  EXPECT_EQ(account, 0u) << "a failing getter leaves its output";
  EXPECT_EQ(d->GetDWord("missing", &id), KZ_E_NOFIELD);
  BYTE type = 9;
  EXPECT_EQ(d->GetFieldType("missing", &type), KZ_E_NOFIELD);
  EXPECT_EQ(type, 0);
  EXPECT_EQ(platform::KZDataToJson(d),
            R"({"dwId":7,"strName":"张三","uint64_account":{"@u64":1099511627776}})");
}

TEST_F(BagTest, CopyIsDeepAndEqualityIgnoresOrder) {
  auto a = Bag(R"({"x":1,"sub":{"y":"t","arr":[1,{"@u8":2},{"@buf":"6162"}]}})");
  auto b = Bag(R"({"sub":{"y":"t","arr":[1,{"@u8":2},{"@buf":"6162"}]},"x":1})");
  EXPECT_EQ(a->IsEqual(b), S_OK);
  CKZComPtr<IKZData> c;
  Util::Data::CreateKZData(&c);
  ASSERT_EQ(a->CopyTo(c), S_OK);
  CKZComPtr<IKZData> sub;
  ASSERT_EQ(c->GetKZData("sub", &sub), S_OK);
  sub->SetStr("y", L"changed");
  EXPECT_EQ(a->IsEqual(c), S_FALSE) << "the copy shares nothing with its source";
}

TEST_F(BagTest, CyclesAreRefused) {
  CKZComPtr<IKZData> a;
  CKZComPtr<IKZArray> arr;
  Util::Data::CreateKZData(&a);
  Util::Data::CreateKZArray(&arr);
  EXPECT_EQ(a->SetKZArray("arr", arr), S_OK);
  EXPECT_EQ(arr->AddKZData(a), E_INVALIDARG);
  EXPECT_EQ(a->SetKZData("self", a), E_INVALIDARG);
}

}  // namespace

namespace {

// A bag with one field of each type, named by its type.
constexpr const char* kEveryType =
    R"({"bool":true,"u8":{"@u8":8},"i8":{"@i8":-8},"u16":{"@u16":16},"i16":{"@i16":-16},)"
    R"("u32":32,"i32":-32,"u64":{"@u64":64},"i64":{"@i64":-64},"double":0.5,"str":"s",)"
    R"("buf":{"@buf":"62"},"data":{},"array":[]})";

TEST_F(BagTest, GettersReadOnlyTheirOwnType) {
  auto d = Bag(kEveryType);
  struct Getter {
    const char* reads;  // the one field it reads
    BYTE type;
    std::function<HRESULT(const wchar_t*)> get;
  };
  // Each getter runs with the wide name; outputs are preset to a marker and
  // must keep it on failure.
  const Getter getters[] = {
      {"bool", KZ_TYPE_BOOL,
       [&](const wchar_t* n) {
         int v = 77;
         HRESULT hr = d->GetBool(n, &v);
         EXPECT_TRUE(SUCCEEDED(hr) || v == 77);
         return hr;
       }},
      {"u8", KZ_TYPE_UINT8,
       [&](const wchar_t* n) {
         std::uint8_t v = 77;
         HRESULT hr = d->GetUInt8(n, &v);
         EXPECT_TRUE(SUCCEEDED(hr) || v == 77);
         return hr;
       }},
      {"i8", KZ_TYPE_INT8,
       [&](const wchar_t* n) {
         std::int8_t v = 77;
         HRESULT hr = d->GetInt8(n, &v);
         EXPECT_TRUE(SUCCEEDED(hr) || v == 77);
         return hr;
       }},
      {"u16", KZ_TYPE_UINT16,
       [&](const wchar_t* n) {
         std::uint16_t v = 77;
         HRESULT hr = d->GetUInt16(n, &v);
         EXPECT_TRUE(SUCCEEDED(hr) || v == 77);
         return hr;
       }},
      {"i16", KZ_TYPE_INT16,
       [&](const wchar_t* n) {
         std::int16_t v = 77;
         HRESULT hr = d->GetInt16(n, &v);
         EXPECT_TRUE(SUCCEEDED(hr) || v == 77);
         return hr;
       }},
      {"u32", KZ_TYPE_DWORD,
       [&](const wchar_t* n) {
         DWORD v = 77;
         HRESULT hr = d->GetDWord(n, &v);
         EXPECT_TRUE(SUCCEEDED(hr) || v == 77);
         return hr;
       }},
      {"i32", KZ_TYPE_INT32,
       [&](const wchar_t* n) {
         std::int32_t v = 77;
         HRESULT hr = d->GetInt32(n, &v);
         EXPECT_TRUE(SUCCEEDED(hr) || v == 77);
         return hr;
       }},
      {"u64", KZ_TYPE_UINT64,
       [&](const wchar_t* n) {
         std::uint64_t v = 77;
         HRESULT hr = d->GetUInt64(n, &v);
         EXPECT_TRUE(SUCCEEDED(hr) || v == 77);
         return hr;
       }},
      {"i64", KZ_TYPE_INT64,
       [&](const wchar_t* n) {
         std::int64_t v = 77;
         HRESULT hr = d->GetInt64(n, &v);
         EXPECT_TRUE(SUCCEEDED(hr) || v == 77);
         return hr;
       }},
      {"double", KZ_TYPE_DOUBLE,
       [&](const wchar_t* n) {
         double v = 77;
         HRESULT hr = d->GetDouble(n, &v);
         EXPECT_TRUE(SUCCEEDED(hr) || v == 77);
         return hr;
       }},
      {"str", KZ_TYPE_STR,
       [&](const wchar_t* n) {
         CKZBSTR v;
         HRESULT hr = d->GetStr(n, &v);
         EXPECT_TRUE(SUCCEEDED(hr) || v.Get() == nullptr);
         return hr;
       }},
      {"buf", KZ_TYPE_BUF,
       [&](const wchar_t* n) {
         CKZComPtr<IKZBuffer> v;
         HRESULT hr = d->GetBuf(n, &v);
         EXPECT_EQ(SUCCEEDED(hr), v.Get() != nullptr);
         return hr;
       }},
      {"data", KZ_TYPE_KZDATA,
       [&](const wchar_t* n) {
         CKZComPtr<IKZData> v;
         HRESULT hr = d->GetKZData(n, &v);
         EXPECT_EQ(SUCCEEDED(hr), v.Get() != nullptr);
         return hr;
       }},
      {"array", KZ_TYPE_KZARRAY,
       [&](const wchar_t* n) {
         CKZComPtr<IKZArray> v;
         HRESULT hr = d->GetKZArray(n, &v);
         EXPECT_EQ(SUCCEEDED(hr), v.Get() != nullptr);
         return hr;
       }},
  };
  for (const Getter& field : getters) {
    std::wstring wide = Util::Convert::Utf8ToWS(field.reads, -1).str();
    BYTE type = 0;
    EXPECT_EQ(d->GetFieldType(field.reads, &type), S_OK);
    EXPECT_EQ(type, field.type) << field.reads;
    for (const Getter& getter : getters) {
      SCOPED_TRACE(std::string(getter.reads) + " getter on field " + field.reads);
      HRESULT hr = getter.get(wide.c_str());
      EXPECT_EQ(hr, getter.type == field.type ? S_OK : KZ_E_TYPEMISMATCH);
    }
  }
  for (const Getter& getter : getters) {
    SCOPED_TRACE(getter.reads);
    EXPECT_EQ(getter.get(L"absent"), KZ_E_NOFIELD);
    EXPECT_EQ(getter.get(L""), E_INVALIDARG);
    EXPECT_EQ(getter.get(nullptr), E_INVALIDARG);
  }
}

TEST_F(BagTest, NamesOrderAndRemoval) {
  CKZComPtr<IKZData> d;
  Util::Data::CreateKZData(&d);
  d->SetDWord("a", 1);
  d->SetDWord(L"名", 2);  // wide names are kept as UTF-8
  d->SetDWord("c", 3);
  d->SetStr("\xe5\x90\x8d", L"text");  // replaces in place, with its new type
  EXPECT_EQ(platform::KZDataToJson(d), R"({"a":1,"名":"text","c":3})");
  CKZBSTR name;
  EXPECT_EQ(d->GetFieldName(1, &name), S_OK);
  EXPECT_STREQ(name.c_str(), L"名");
  BYTE type = 0;
  EXPECT_EQ(d->GetFieldTypeAt(1, &type), S_OK);
  EXPECT_EQ(type, KZ_TYPE_STR);
  EXPECT_EQ(d->GetFieldName(3, &name), KZ_E_BADINDEX);
  EXPECT_EQ(d->GetFieldTypeAt(3, &type), KZ_E_BADINDEX);
  EXPECT_EQ(d->GetFieldName(0, nullptr), E_POINTER);
  EXPECT_EQ(d->GetFieldCount(nullptr), E_POINTER);
  EXPECT_EQ(d->RemoveField("a"), S_OK);
  EXPECT_EQ(d->RemoveField(L"a"), KZ_E_NOFIELD);
  EXPECT_EQ(d->RemoveField(static_cast<const char*>(nullptr)), E_INVALIDARG);
  EXPECT_EQ(platform::KZDataToJson(d), R"({"名":"text","c":3})");
  EXPECT_EQ(d->SetDWord("", 1), E_INVALIDARG);
  EXPECT_EQ(d->SetStr("s", nullptr), S_OK) << "a null text stores the empty text";
  EXPECT_EQ(d->SetBuf("b", nullptr), E_POINTER);
  EXPECT_EQ(d->SetKZData("b", nullptr), E_POINTER);
  EXPECT_EQ(d->SetInterface("b", IKZData::kIid, nullptr), E_POINTER);
  EXPECT_EQ(platform::KZDataToJson(d), R"({"名":"text","c":3,"s":""})");
}

TEST_F(BagTest, SettersShareCopiesDuplicate) {
  auto parent = Bag("{}");
  auto child = Bag(R"({"k":1})");
  CKZComPtr<IKZBuffer> buffer;
  Util::Data::CreateKZBuffer(&buffer);
  auto other = Bag("{}");
  ASSERT_EQ(parent->SetKZData("child", child), S_OK);
  ASSERT_EQ(parent->SetBuf("buf", buffer), S_OK);
  ASSERT_EQ(parent->SetInterface("obj", IKZData::kIid, other), S_OK);
  // Set stores a reference to the same object: ours and the parent's.
  EXPECT_EQ(child->AddRef(), 3u);
  child->Release();
  CKZComPtr<IKZData> got;
  parent->GetKZData("child", &got);
  EXPECT_EQ(got.Get(), child.Get());
  got = nullptr;
  child->SetDWord("k", 2);
  EXPECT_EQ(platform::KZDataToJson(parent),
            R"({"child":{"k":2},"buf":{"@buf":""},"obj":{"@interface":null}})");

  // CopyTo duplicates records, arrays and buffers; interface fields share.
  auto copy = Bag("{}");
  ASSERT_EQ(parent->CopyTo(copy), S_OK);
  CKZComPtr<IKZData> copied_child;
  copy->GetKZData("child", &copied_child);
  EXPECT_NE(copied_child.Get(), child.Get());
  CKZComPtr<IKZBuffer> copied_buffer;
  copy->GetBuf("buf", &copied_buffer);
  EXPECT_NE(copied_buffer.Get(), buffer.Get());
  CKZComPtr<IKZData> shared;
  EXPECT_EQ(copy->GetInterface("obj", IKZData::kIid, reinterpret_cast<void**>(&shared)), S_OK);
  EXPECT_EQ(shared.Get(), other.Get());
  shared = nullptr;
  EXPECT_EQ(other->AddRef(), 4u) << "ours, the parent's, the copy's, this one";
  other->Release();
  EXPECT_EQ(parent->IsEqual(copy), S_OK);
  child->SetDWord("k", 3);
  buffer->SetData(reinterpret_cast<const BYTE*>("x"), 1);
  EXPECT_EQ(platform::KZDataToJson(copy),
            R"({"child":{"k":2},"buf":{"@buf":""},"obj":{"@interface":null}})");

  // CopyField is deep as well.
  auto single = Bag("{}");
  ASSERT_EQ(parent->CopyField(L"child", single), S_OK);
  CKZComPtr<IKZData> field_copy;
  single->GetKZData("child", &field_copy);
  EXPECT_NE(field_copy.Get(), child.Get());
  EXPECT_EQ(parent->CopyField("absent", single), KZ_E_NOFIELD);
  EXPECT_EQ(parent->CopyField("child", nullptr), E_POINTER);
  EXPECT_EQ(parent->CopyTo(nullptr), E_POINTER);
  EXPECT_EQ(parent->CopyTo(parent), S_OK);

  // Releasing the parent gives the child's reference back.
  parent = nullptr;
  copy = nullptr;
  single = nullptr;
  EXPECT_EQ(child->AddRef(), 2u);
  child->Release();
}

TEST_F(BagTest, Equality) {
  struct Case {
    const char* a;
    const char* b;
    HRESULT equal;
  };
  const Case cases[] = {
      {R"({"a":7})", R"({"a":{"@u64":7}})", S_FALSE},  // same number, other type
      {R"({"a":7})", R"({"a":7,"b":1})", S_FALSE},
      {R"({"a":7,"b":1})", R"({"a":7})", S_FALSE},
      {R"({"a":7})", R"({"b":7})", S_FALSE},
      {R"({"a":[1,2]})", R"({"a":[2,1]})", S_FALSE},
      {R"({"a":{"@buf":"00"}})", R"({"a":{"@buf":""}})", S_FALSE},
      {R"({"a":{"@buf":"0001"}})", R"({"a":{"@buf":"0001"}})", S_OK},
      {R"({"a":0.0})", R"({"a":{"@double":-0.0}})", S_OK},
      {R"({"a":"x"})", R"({"a":"X"})", S_FALSE},
      {R"({"a":{"b":{"c":[{"d":1}]}}})", R"({"a":{"b":{"c":[{"d":1}]}}})", S_OK},
      {R"({"a":{"b":{"c":[{"d":1}]}}})", R"({"a":{"b":{"c":[{"d":2}]}}})", S_FALSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(Bag(c.a)->IsEqual(Bag(c.b)), c.equal);
  }
  EXPECT_EQ(Bag("{}")->IsEqual(nullptr), E_POINTER);
}

TEST_F(BagTest, UtilDataHelpers) {
  auto d = Bag(R"({"u":5,"zero":0,"s":"x","e":"","b":{"@buf":"61"},"sub":{"k":1},"arr":[1]})");
  auto sub = Bag(R"({"k":1})");
  CKZComPtr<IKZArray> arr;
  platform::JsonToKZArray("[1]", &arr, nullptr);
  CKZBuffer bytes;
  bytes.SetData(reinterpret_cast<const BYTE*>("a"), 1);
  const CKZBuffer none;
  struct Case {
    const char* name;
    int got;
    int want;
  };
  const Case cases[] = {
      {"HasField present", Util::Data::HasField(d, "u"), 1},
      {"HasField wide", Util::Data::HasField(d, L"u"), 1},
      {"HasField absent", Util::Data::HasField(d, "none"), 0},
      {"HasField null bag", Util::Data::HasField(nullptr, "u"), 0},
      {"HasField null name", Util::Data::HasField(d, static_cast<const char*>(nullptr)), 0},
      {"EqualDWord equal", Util::Data::EqualDWord(d, "u", 5), 1},
      {"EqualDWord unequal", Util::Data::EqualDWord(d, "u", 6), 0},
      {"EqualDWord absent is 0", Util::Data::EqualDWord(d, "none", 0), 1},
      {"EqualDWord absent not 1", Util::Data::EqualDWord(d, "none", 1), 0},
      {"EqualDWord other type", Util::Data::EqualDWord(d, "s", 0), 0},
      {"EqualDWord null bag", Util::Data::EqualDWord(nullptr, "u", 0), 0},
      {"EqualDWord null name", Util::Data::EqualDWord(d, nullptr, 0), 0},
      {"EqualStr equal", Util::Data::EqualStr(d, "s", CKZStringW(L"x")), 1},
      {"EqualStr empty", Util::Data::EqualStr(d, "e", CKZStringW()), 1},
      {"EqualStr absent is empty", Util::Data::EqualStr(d, "none", CKZStringW()), 1},
      {"EqualStr absent not x", Util::Data::EqualStr(d, "none", CKZStringW(L"x")), 0},
      {"EqualStr other type", Util::Data::EqualStr(d, "u", CKZStringW()), 0},
      {"EqualStr prefix", Util::Data::EqualStr(d, "s", CKZStringW(L"xy")), 0},
      {"EqualBuf equal", Util::Data::EqualBuf(d, "b", bytes), 1},
      {"EqualBuf unequal", Util::Data::EqualBuf(d, "b", none), 0},
      {"EqualBuf absent is empty", Util::Data::EqualBuf(d, "none", none), 1},
      {"EqualBuf absent not bytes", Util::Data::EqualBuf(d, "none", bytes), 0},
      {"EqualKZData deep", Util::Data::EqualKZData(d, "sub", sub), 1},
      {"EqualKZData null vs present", Util::Data::EqualKZData(d, "sub", nullptr), 0},
      {"EqualKZData null vs absent", Util::Data::EqualKZData(d, "none", nullptr), 1},
      {"EqualKZData value vs absent", Util::Data::EqualKZData(d, "none", sub), 0},
      {"EqualKZDataArray deep", Util::Data::EqualKZDataArray(d, "arr", arr), 1},
      {"EqualKZDataArray null vs present", Util::Data::EqualKZDataArray(d, "arr", nullptr), 0},
      {"EqualKZDataArray null vs absent", Util::Data::EqualKZDataArray(d, "none", nullptr), 1},
      {"EqualKZDataArray other type", Util::Data::EqualKZDataArray(d, "sub", arr), 0},
      {"CreateKZData null", Util::Data::CreateKZData(nullptr), 0},
      {"CreateKZArray null", Util::Data::CreateKZArray(nullptr), 0},
      {"CreateKZBuffer null", Util::Data::CreateKZBuffer(nullptr), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.got, c.want);
  }
  CKZStringW value(L"kept");
  EXPECT_EQ(Util::Data::GetKZDataStr(d, "u", value), 0);
  EXPECT_EQ(Util::Data::GetKZDataStr(nullptr, "s", value), 0);
  EXPECT_EQ(Util::Data::GetKZDataStr(d, nullptr, value), 0);
  EXPECT_EQ(value.str(), L"kept");
  EXPECT_EQ(Util::Data::GetKZDataStr(d, "s", value), 1);
  EXPECT_EQ(value.str(), L"x");
}

TEST_F(BagTest, BuffersAndTheirHolder) {
  CKZComPtr<IKZBuffer> b;
  Util::Data::CreateKZBuffer(&b);
  BYTE* data = reinterpret_cast<BYTE*>(0x1);
  DWORD size = 9;
  EXPECT_EQ(b->GetData(&data), S_OK);
  EXPECT_EQ(data, nullptr) << "empty";
  EXPECT_EQ(b->SetData(nullptr, 3), E_POINTER);
  EXPECT_EQ(b->SetData(nullptr, 0), S_OK);
  EXPECT_EQ(b->SetData(reinterpret_cast<const BYTE*>("abc"), 3), S_OK);
  EXPECT_EQ(b->CopyFrom(b), S_OK);
  EXPECT_EQ(b->CopyFrom(nullptr), E_POINTER);
  b->GetSize(&size);
  EXPECT_EQ(size, 3u);

  CKZBuffer holder;
  EXPECT_EQ(holder.Get(), nullptr) << "created on first write";
  EXPECT_EQ(holder.GetSize(), 0u);
  EXPECT_TRUE(holder.ContentEquals(nullptr, 0));
  holder = b.Get();  // copies the content in
  EXPECT_NE(holder.Get(), b.Get());
  b->SetData(reinterpret_cast<const BYTE*>("z"), 1);
  EXPECT_TRUE(holder.ContentEquals(reinterpret_cast<const BYTE*>("abc"), 3));
  CKZBuffer second(holder);  // a copy of its own
  EXPECT_NE(second.Get(), holder.Get());
  EXPECT_TRUE(second.ContentEquals(reinterpret_cast<const BYTE*>("abc"), 3));
  second = static_cast<IKZBuffer*>(nullptr);  // releases
  EXPECT_EQ(second.Get(), nullptr);
  CKZBuffer& alias = holder;
  holder = alias;  // self-assignment keeps the content
  EXPECT_EQ(holder.GetSize(), 3u);
}

TEST_F(BagTest, Arrays) {
  CKZComPtr<IKZArray> a;
  Util::Data::CreateKZArray(&a);
  auto rec = Bag(R"({"k":1})");
  CKZComPtr<IKZArray> inner;
  Util::Data::CreateKZArray(&inner);
  a->AddDWord(1);
  a->AddStr(nullptr);
  a->AddKZData(rec);
  a->AddKZArray(inner);
  a->AddUInt64(2);
  EXPECT_EQ(a->AddKZData(nullptr), E_POINTER);
  EXPECT_EQ(inner->AddKZArray(a), E_INVALIDARG) << "no cycles";
  EXPECT_EQ(platform::KZArrayToJson(a), R"([1,"",{"k":1},[],{"@u64":2}])");
  BYTE type = 0;
  EXPECT_EQ(a->GetElementType(4, &type), S_OK);
  EXPECT_EQ(type, KZ_TYPE_UINT64);
  EXPECT_EQ(a->GetElementType(5, &type), KZ_E_BADINDEX);
  CKZComPtr<IKZDataRead> read;
  EXPECT_EQ(a->GetKZDataRead(0, &read), KZ_E_TYPEMISMATCH);
  EXPECT_EQ(a->GetKZDataRead(2, &read), S_OK);
  EXPECT_EQ(read.Get(), static_cast<IKZDataRead*>(rec.Get()));
  DWORD v = 7;
  EXPECT_EQ(a->GetDWord(9, &v), KZ_E_BADINDEX);
  EXPECT_EQ(v, 7u);
  EXPECT_EQ(a->RemoveAt(0), S_OK);
  EXPECT_EQ(a->RemoveAt(9), KZ_E_BADINDEX);
  EXPECT_EQ(platform::KZArrayToJson(a), R"(["",{"k":1},[],{"@u64":2}])");
  EXPECT_EQ(a->IsEqual(nullptr), E_POINTER);
  EXPECT_EQ(a->Clear(), S_OK);
  DWORD count = 9;
  a->GetCount(&count);
  EXPECT_EQ(count, 0u);
}

TEST_F(BagTest, BorrowedReads) {
  // Names that share their first bytes and length differ in their last word,
  // or in a middle word of a long name.
  auto a = Bag(R"({"strMobileA":"a","strMobileB":"b","x":"short","n":5,
                   "abcdefgh_1_ijklmnop":"long1","abcdefgh_2_ijklmnop":"long2"})");
  auto b = Bag(R"({"strMobileB":"otherB","x":7,"q":1,"r":2,"abcdefgh_2_ijklmnop":"other2"})");
  struct Read {
    IKZDataRead* bag;
    const char* name;
    HRESULT hr;
    const wchar_t* text;  // null: output untouched
  };
  platform::FieldKey mobile_b("strMobileB"), long2("abcdefgh_2_ijklmnop"), x("x"),
      mobile_a("strMobileA"), none("strMobileC"), empty(nullptr);
  std::pair<platform::FieldKey*, Read> reads[] = {
      // One key over bags of different shapes: it finds the field wherever
      // it is, also where the last bag kept it and this one keeps a field
      // whose name differs only in a later word.
      {&mobile_b, {b, "strMobileB", S_OK, L"otherB"}},
      {&mobile_b, {a, "strMobileB", S_OK, L"b"}},
      {&mobile_b, {b, "strMobileB", S_OK, L"otherB"}},
      {&mobile_a, {b, "strMobileA", KZ_E_NOFIELD, nullptr}},
      {&mobile_a, {a, "strMobileA", S_OK, L"a"}},
      {&long2, {b, "abcdefgh_2_ijklmnop", S_OK, L"other2"}},
      {&long2, {a, "abcdefgh_2_ijklmnop", S_OK, L"long2"}},
      {&x, {a, "x", S_OK, L"short"}},
      {&x, {b, "x", KZ_E_TYPEMISMATCH, nullptr}},
      {&none, {a, "strMobileC", KZ_E_NOFIELD, nullptr}},
      {&empty, {a, "", E_INVALIDARG, nullptr}},
  };
  for (auto& [key, r] : reads) {
    SCOPED_TRACE(r.name);
    EXPECT_STREQ(key->name(), r.name);
    std::wstring_view text = L"untouched";
    EXPECT_EQ(platform::PeekStr(r.bag, *key, &text), r.hr);
    EXPECT_EQ(text, r.text ? r.text : L"untouched");
    // The getter agrees.
    CKZBSTR copy;
    EXPECT_EQ(r.bag->GetStr(r.name, &copy), r.hr);
  }

  // Several at once: what fails reads as the empty text.
  platform::FieldKey several[] = {platform::FieldKey("x"), platform::FieldKey("strMobileA"),
                                  platform::FieldKey("n")};
  std::wstring_view texts[3] = {L"?", L"?", L"?"};
  EXPECT_EQ(platform::PeekStrs(a, several, 3, texts), S_OK);
  EXPECT_EQ(texts[0], L"short");
  EXPECT_EQ(texts[1], L"a");
  EXPECT_EQ(texts[2], L"");
  EXPECT_EQ(texts[2].data()[0], L'\0');
  EXPECT_EQ(platform::PeekStrs(b, several, 3, texts), S_OK);
  EXPECT_EQ(texts[0], L"");
  EXPECT_EQ(platform::PeekStrs(a, nullptr, 0, nullptr), S_OK);
  EXPECT_EQ(platform::PeekStrs(a, nullptr, 1, texts), E_POINTER);
  EXPECT_EQ(platform::PeekStrs(a, several, 1, nullptr), E_POINTER);
  EXPECT_EQ(platform::PeekStrs(nullptr, several, 1, texts), E_POINTER);

  std::wstring_view text;
  EXPECT_EQ(platform::PeekStr(nullptr, x, &text), E_POINTER);
  EXPECT_EQ(platform::PeekStr(a, x, nullptr), E_POINTER);
  CKZComPtr<IKZDataRead> foreign = platform::testing::ForeignData(a);
  EXPECT_EQ(platform::PeekStr(foreign, x, &text), E_NOTIMPL);
  EXPECT_EQ(platform::PeekStrs(foreign, several, 3, texts), E_NOTIMPL);

  CKZComPtr<IKZArray> arr;
  std::string error;
  ASSERT_EQ(platform::JsonToKZArray(R"(["t",1,{"k":2}])", &arr, &error), S_OK);
  EXPECT_EQ(platform::PeekStrAt(arr, 0, &text), S_OK);
  EXPECT_EQ(text, L"t");
  EXPECT_EQ(platform::PeekStrAt(arr, 1, &text), KZ_E_TYPEMISMATCH);
  EXPECT_EQ(platform::PeekStrAt(arr, 3, &text), KZ_E_BADINDEX);
  EXPECT_EQ(text, L"t");
  IKZDataRead* record = nullptr;
  EXPECT_EQ(platform::PeekKZDataRead(arr, 0, &record), KZ_E_TYPEMISMATCH);
  EXPECT_EQ(platform::PeekKZDataRead(arr, 2, &record), S_OK);
  CKZComPtr<IKZDataRead> held;
  ASSERT_EQ(arr->GetKZDataRead(2, &held), S_OK);
  EXPECT_EQ(record, held.Get()) << "the stored record, with no reference added";
  EXPECT_EQ(platform::PeekStrAt(nullptr, 0, &text), E_POINTER);
  EXPECT_EQ(platform::PeekStrAt(arr, 0, nullptr), E_POINTER);
  EXPECT_EQ(platform::PeekKZDataRead(nullptr, 0, &record), E_POINTER);
  EXPECT_EQ(platform::PeekKZDataRead(arr, 0, nullptr), E_POINTER);
  CKZComPtr<IKZArrayRead> foreign_array = platform::testing::ForeignArray(arr);
  EXPECT_EQ(platform::PeekStrAt(foreign_array, 0, &text), E_NOTIMPL);
  EXPECT_EQ(platform::PeekKZDataRead(foreign_array, 2, &record), E_NOTIMPL);
}

}  // namespace

namespace {

// A record is checked against a plain model of its fields while texts of
// every length around the inline limit are set, replaced and removed, so
// that the region grows, moves to the heap and drops unused bytes on the way.
TEST_F(BagTest, FieldsSurviveGrowthReplacementAndRemoval) {
  CKZComPtr<IKZData> d;
  Util::Data::CreateKZData(&d);
  CKZComPtr<IKZData> probe;
  Util::Data::CreateKZData(&probe);
  std::vector<std::pair<std::string, std::wstring>> model;  // name, text ("#n" for numbers)
  auto name_of = [](int i) {
    // Names of every length up to 40 bytes, sharing their first bytes.
    return std::string("field_") + std::string(static_cast<std::size_t>(i % 35), 'x') +
           std::to_string(i);
  };
  auto text_of = [](int i, int round) {
    return std::wstring(static_cast<std::size_t>((i * 7 + round) % 48), L'a' + (i % 26));
  };
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 60; ++i) {
      const std::string name = name_of(i);
      auto it = std::find_if(model.begin(), model.end(), [&](auto& f) { return f.first == name; });
      if ((i + round) % 5 == 0) {
        ASSERT_EQ(d->SetUInt64(name.c_str(), static_cast<std::uint64_t>(i) << 40), S_OK);
        const std::wstring number = L"#" + std::to_wstring(i);
        if (it == model.end())
          model.emplace_back(name, number);
        else
          it->second = number;
      } else if ((i + round) % 7 == 0 && it != model.end()) {
        ASSERT_EQ(d->RemoveField(name.c_str()), S_OK);
        model.erase(it);
      } else {
        const std::wstring text = text_of(i, round);
        ASSERT_EQ(d->SetStr(name.c_str(), text.c_str()), S_OK);
        if (it == model.end())
          model.emplace_back(name, text);
        else
          it->second = text;
      }
    }
    if (round == 1) {
      ASSERT_EQ(d->SetInterface("object", IKZData::kIid, probe), S_OK);
      model.emplace_back("object", L"@");
    }
  }
  CKZComPtr<IKZData> copy;
  Util::Data::CreateKZData(&copy);
  ASSERT_EQ(d->CopyTo(copy), S_OK);
  for (IKZData* bag : {d.Get(), copy.Get()}) {
    DWORD count = 0;
    bag->GetFieldCount(&count);
    ASSERT_EQ(count, model.size());
    for (DWORD i = 0; i < model.size(); ++i) {
      const auto& [name, value] = model[i];
      SCOPED_TRACE(name);
      CKZBSTR got_name;
      ASSERT_EQ(bag->GetFieldName(i, &got_name), S_OK);
      EXPECT_EQ(Util::Convert::Utf8FromWS(got_name.c_str(), -1).str(), name) << "order kept";
      if (value == L"@") {
        CKZComPtr<IKZData> object;
        EXPECT_EQ(bag->GetInterface(L"object", IKZData::kIid, reinterpret_cast<void**>(&object)),
                  S_OK);
        EXPECT_EQ(object.Get(), probe.Get());
      } else if (value[0] == L'#') {
        std::uint64_t number = 0;
        EXPECT_EQ(bag->GetUInt64(name.c_str(), &number), S_OK);
        EXPECT_EQ(L"#" + std::to_wstring(number >> 40), value);
      } else {
        CKZBSTR text;
        EXPECT_EQ(bag->GetStr(name.c_str(), &text), S_OK);
        EXPECT_EQ(std::wstring(text.c_str(), text.Length()), value);
        platform::FieldKey key(name.c_str());
        std::wstring_view peeked;
        ASSERT_EQ(platform::PeekStr(bag, key, &peeked), S_OK);
        EXPECT_EQ(peeked, value);
        EXPECT_EQ(peeked.data()[peeked.size()], L'\0');
      }
    }
  }
  EXPECT_EQ(d->IsEqual(copy), S_OK);
  copy->SetStr(model.back().first.c_str(), L"changed");
  EXPECT_EQ(d->IsEqual(copy), S_FALSE);
}

// A field set again and again leaves bytes its old values used: they are
// reclaimed in place, and the other fields keep their values.
TEST_F(BagTest, FieldSetAgainAndAgain) {
  auto d = Bag(R"({"dwUin":7,"strName":"曾丽华","strEmail":"zeng.lihua@wren.example.cn"})");
  // The heap in use, blocks mapped on their own included (a sanitizer's
  // allocator may answer 0, which makes the bound below hold trivially).
  auto heap = [] {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
  };
  const std::size_t before = heap();
  std::wstring status;
  for (int i = 0; i < 20000; ++i) {
    status = L"status " + std::to_wstring(i) + std::wstring(static_cast<std::size_t>(i % 25), L'x');
    ASSERT_EQ(d->SetStr("strStatus", status.c_str()), S_OK);
    ASSERT_EQ(d->SetInterface("object", IKZData::kIid, d), S_OK);
    ASSERT_EQ(d->RemoveField("object"), S_OK) << "no reference to itself is kept";
  }
  EXPECT_LT(heap(), before + 64 * 1024) << "about 3 MB of old values were reclaimed";
  EXPECT_EQ(platform::KZDataToJson(d),
            R"({"dwUin":7,"strName":"曾丽华","strEmail":"zeng.lihua@wren.example.cn",)"
            R"("strStatus":")" +
                Util::Convert::Utf8FromWS(status.c_str(), -1).str() + R"("})");
}

// Trees a million levels deep, records and arrays in turn: built from the
// leaf up and from the root down, copied, compared, refused as a cycle and
// released, none of which may recurse once per level.
TEST_F(BagTest, MillionLevelTrees) {
  constexpr int kDepth = 1'000'000;
  const std::int64_t live_before = platform::LiveObjectCount();
  auto leaf_up = [] {
    CKZComPtr<IKZData> top;
    Util::Data::CreateKZData(&top);
    top->SetDWord("leaf", 7);
    for (int level = 1; level < kDepth; ++level) {
      CKZComPtr<IKZData> parent;
      Util::Data::CreateKZData(&parent);
      if (level % 2 == 1) {
        CKZComPtr<IKZArray> list;
        Util::Data::CreateKZArray(&list);
        EXPECT_EQ(list->AddKZData(top), S_OK);
        EXPECT_EQ(parent->SetKZArray("list", list), S_OK);
      } else {
        EXPECT_EQ(parent->SetKZData("child", top), S_OK);
      }
      top = parent;
    }
    return top;
  };
  CKZComPtr<IKZData> deep = leaf_up();

  // From the root down: each level is set into a record that already has a
  // parent.
  CKZComPtr<IKZData> root;
  Util::Data::CreateKZData(&root);
  CKZComPtr<IKZData> at = root;
  for (int level = 1; level < kDepth / 2; ++level) {
    CKZComPtr<IKZData> child;
    Util::Data::CreateKZData(&child);
    ASSERT_EQ(at->SetKZData("child", child), S_OK);
    at = child;
  }
  EXPECT_EQ(at->SetKZData("loop", root), E_INVALIDARG) << "a cycle through every level";
  at = nullptr;

  CKZComPtr<IKZData> copy;
  Util::Data::CreateKZData(&copy);
  ASSERT_EQ(deep->CopyTo(copy), S_OK);
  EXPECT_EQ(deep->IsEqual(copy), S_OK);
  CKZComPtr<IKZData> other = leaf_up();
  EXPECT_EQ(other->IsEqual(deep), S_OK);
  // The leaf of the copy differs: walk down to it.
  CKZComPtr<IKZData> walk = copy;
  for (int level = kDepth - 1; level > 0; --level) {
    CKZComPtr<IKZData> next;
    if (level % 2 == 1) {
      CKZComPtr<IKZArray> list;
      ASSERT_EQ(walk->GetKZArray("list", &list), S_OK);
      ASSERT_EQ(list->GetKZData(0, &next), S_OK);
    } else {
      ASSERT_EQ(walk->GetKZData("child", &next), S_OK);
    }
    walk = next;
  }
  walk->SetDWord("leaf", 8);
  walk = nullptr;
  EXPECT_EQ(deep->IsEqual(copy), S_FALSE);
  EXPECT_EQ(copy->IsEqual(other), S_FALSE);

  // A deep field copied into a record that already has fields.
  CKZComPtr<IKZData> holder = Bag(R"({"x":1})");
  ASSERT_EQ(deep->CopyField("list", holder), S_OK);

  deep = nullptr;
  copy = nullptr;
  other = nullptr;
  root = nullptr;
  holder = nullptr;
  EXPECT_EQ(platform::LiveObjectCount(), live_before);
}

TEST_F(BagTest, CloneKeepsRoomAndCopiesDeeply) {
  auto source =
      Bag(R"({"dwUin":7,"strName":"曾丽华","strEmail":"a.rather.long.address@mail.example.cn",
                         "sub":{"arr":[1,"two"]}})");
  CKZComPtr<IKZData> clone;
  ASSERT_EQ(platform::CloneKZData(source, 4, 128, &clone), S_OK);
  EXPECT_EQ(source->IsEqual(clone), S_OK);
  CKZComPtr<IKZData> sub;
  clone->GetKZData("sub", &sub);
  sub->SetDWord("added", 1);
  EXPECT_EQ(source->IsEqual(clone), S_FALSE) << "nested records are copies";
  clone->SetInt32("nHitPos", 0);
  clone->SetStr("strMatchedContent", L"曾丽华");
  EXPECT_EQ(
      platform::KZDataToJson(clone),
      R"({"dwUin":7,"strName":"曾丽华","strEmail":"a.rather.long.address@mail.example.cn",)"
      R"("sub":{"arr":[1,"two"],"added":1},"nHitPos":{"@i32":0},"strMatchedContent":"曾丽华"})");

  // A long text of the record the clone was made from is shared, not copied;
  // a text of another record is copied.
  platform::FieldKey email("strEmail");
  std::wstring_view original;
  ASSERT_EQ(platform::PeekStr(source, email, &original), S_OK);
  auto stranger = Bag(R"({"strEmail":"a.rather.long.address@mail.example.cn"})");
  std::wstring_view foreign_text;
  ASSERT_EQ(platform::PeekStr(stranger, email, &foreign_text), S_OK);
  struct Share {
    const char* name;
    std::wstring_view text;
    bool shared;
  };
  for (const Share& c : {Share{"shared", original, true}, Share{"copied", foreign_text, false},
                         Share{"short", original.substr(original.size() - 3), false}}) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(platform::SetStrShared(clone, c.name, c.text), S_OK);
    platform::FieldKey key(c.name);
    std::wstring_view stored;
    ASSERT_EQ(platform::PeekStr(clone, key, &stored), S_OK);
    EXPECT_EQ(stored, c.text);
    EXPECT_EQ(stored.data() == c.text.data(), c.shared);
  }
  EXPECT_EQ(platform::SetStrShared(nullptr, "x", L"t"), E_POINTER);
  EXPECT_EQ(platform::SetStrShared(clone, nullptr, L"t"), E_POINTER);
  EXPECT_EQ(platform::SetStrShared(clone, "", L"t"), E_INVALIDARG);

  CKZComPtr<IKZDataRead> foreign = platform::testing::ForeignData(source);
  CKZComPtr<IKZData> from_foreign;
  ASSERT_EQ(platform::CloneKZData(foreign, 0, 0, &from_foreign), S_OK);
  EXPECT_EQ(source->IsEqual(from_foreign), S_OK);
  IKZData* untouched = nullptr;
  EXPECT_EQ(platform::CloneKZData(nullptr, 0, 0, &untouched), E_POINTER);
  EXPECT_EQ(platform::CloneKZData(source, 0, 0, nullptr), E_POINTER);
  EXPECT_EQ(untouched, nullptr);

  // Read-ahead is a hint: nothing happens for what is no record of ours.
  CKZComPtr<IKZArray> arr;
  std::string error;
  ASSERT_EQ(platform::JsonToKZArray(R"([{"a":1},"t"])", &arr, &error), S_OK);
  platform::PrefetchKZData(arr, 0, 1);
  platform::PrefetchKZData(arr, 5, 9);
  platform::PrefetchKZData(platform::testing::ForeignArray(arr), 0, 0);
  platform::PrefetchKZData(nullptr, 0, 0);
}

}  // namespace
