#include "platform/koa/koa.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/common/refcounted.h"
#include "platform/koa/koa_dump.h"
#include "platform/testing/platform_test.h"

namespace KOA {
namespace {

using KoaTest = platform::testing::PlatformTest;

std::shared_ptr<TData> NewData() { return TData::CreateTData(4); }
std::shared_ptr<TArray> NewArray() { return TArray::CreateTArray(4); }

std::vector<std::string> Names(TData& d) {
  std::vector<std::string> out;
  std::shared_ptr<TArray> names = d.GetFieldNames();
  for (unsigned int i = 0; i < names->GetCount(); ++i) out.push_back(names->GetString(i));
  return out;
}

// A summary of every getter's answer for one name: the kind each getter
// sees as non-empty. Used to prove that getters are strict.
std::vector<unsigned int> NonEmptyGetters(TData& d, const std::string& n) {
  std::vector<unsigned int> out;
  auto add = [&](unsigned int kind, bool non_empty) {
    if (non_empty) out.push_back(kind);
  };
  add(kTypeInt8, d.GetInt8(n) != 0);
  add(kTypeUInt8, d.GetUInt8(n) != 0);
  add(kTypeInt16, d.GetInt16(n) != 0);
  add(kTypeUInt16, d.GetUInt16(n) != 0);
  add(kTypeInt32, d.GetInt32(n) != 0);
  add(kTypeUInt32, d.GetUInt32(n) != 0);
  add(kTypeInt64, d.GetInt64(n) != 0);
  add(kTypeUInt64, d.GetUInt64(n) != 0);
  add(kTypeFloat, d.GetFloat(n) != 0.0f);
  add(kTypeDouble, d.GetDouble(n) != 0.0);
  add(kTypeString, !d.GetString(n).empty());
  add(kTypeWString, !d.GetWString(n).empty());
  add(kTypeBuffer, d.GetBuffer(n).GetSize() != 0);
  add(kTypeArray, d.GetArray(n) != nullptr);
  add(kTypeData, d.GetData(n) != nullptr);
  add(kTypeDateTime, d.GetDateTime(n).unix_ms != 0);
  add(kTypeGuid, d.GetGuid(n) != TGuid{});
  add(kTypeBool, d.GetBool(n));
  return out;
}

TEST_F(KoaTest, BufferOwnsItsBytes) {
  std::vector<unsigned char> bytes = {1, 2, 3};
  TBuffer a(bytes.data(), 3);
  bytes.assign({9, 9, 9});
  ASSERT_EQ(a.GetSize(), 3u);
  EXPECT_EQ(std::memcmp(a.GetBuf(), "\x01\x02\x03", 3), 0);

  TBuffer b = a;  // a copy has its own bytes
  EXPECT_NE(b.GetBuf(), a.GetBuf());
  EXPECT_EQ(a, b);
  b.GetBuf()[0] = 7;
  EXPECT_EQ(a.GetBuf()[0], 1);
  EXPECT_FALSE(a == b);

  TBuffer moved = std::move(b);
  EXPECT_EQ(moved.GetSize(), 3u);
  EXPECT_EQ(b.GetSize(), 0u);  // NOLINT(bugprone-use-after-move): moved-from is empty
  EXPECT_EQ(b.GetBuf(), nullptr);

  TBuffer& alias = a;
  a = alias;  // self-assignment keeps the bytes
  EXPECT_EQ(a.GetSize(), 3u);
}

TEST_F(KoaTest, BufferFromNullOrZeroSizeIsEmpty) {
  TBuffer from_null(static_cast<void*>(nullptr), 10);
  EXPECT_EQ(from_null.GetSize(), 0u);
  EXPECT_EQ(from_null.GetBuf(), nullptr);
  unsigned char byte = 5;
  TBuffer zero(&byte, 0);
  EXPECT_EQ(zero.GetSize(), 0u);
  EXPECT_EQ(zero, TBuffer());
}

// Each row sets one field of one kind with a non-empty value.
struct KindCase {
  unsigned int kind;
  std::function<void(TData&, const std::string&)> set;
};

std::vector<KindCase> KindCases() {
  return {
      {kTypeInt8, [](TData& d, const std::string& n) { d.SetInt8(n, -8); }},
      {kTypeUInt8, [](TData& d, const std::string& n) { d.SetUInt8(n, 200); }},
      {kTypeInt16, [](TData& d, const std::string& n) { d.SetInt16(n, -3000); }},
      {kTypeUInt16, [](TData& d, const std::string& n) { d.SetUInt16(n, 60000); }},
      {kTypeInt32, [](TData& d, const std::string& n) { d.SetInt32(n, -70000); }},
      {kTypeUInt32, [](TData& d, const std::string& n) { d.SetUInt32(n, 4000000000u); }},
      {kTypeInt64, [](TData& d, const std::string& n) { d.SetInt64(n, -(1LL << 40)); }},
      {kTypeUInt64, [](TData& d, const std::string& n) { d.SetUInt64(n, 1ULL << 63); }},
      {kTypeFloat, [](TData& d, const std::string& n) { d.SetFloat(n, 1.5f); }},
      {kTypeDouble, [](TData& d, const std::string& n) { d.SetDouble(n, 2.25); }},
      {kTypeString, [](TData& d, const std::string& n) { d.SetString(n, "h\xC3\xA9"); }},
      {kTypeWString, [](TData& d, const std::string& n) { d.SetWString(n, L"w\u00e9"); }},
      {kTypeBuffer, [](TData& d, const std::string& n) { d.SetBuffer(n, TBuffer("ab", 2)); }},
      {kTypeArray, [](TData& d, const std::string& n) { d.SetArray(n, NewArray()); }},
      {kTypeData, [](TData& d, const std::string& n) { d.SetData(n, NewData()); }},
      {kTypeDateTime,
       [](TData& d, const std::string& n) { d.SetDateTime(n, TDateTime{1709618828009}); }},
      {kTypeGuid,
       [](TData& d, const std::string& n) {
         TGuid g;
         g.bytes[15] = 1;
         d.SetGuid(n, g);
       }},
      {kTypeNull, [](TData& d, const std::string& n) { d.SetNull(n); }},
      {kTypeBool, [](TData& d, const std::string& n) { d.SetBool(n, true); }},
  };
}

TEST_F(KoaTest, EachKindIsReadOnlyByItsOwnGetter) {
  for (const KindCase& c : KindCases()) {
    SCOPED_TRACE(c.kind);
    std::shared_ptr<TData> d = NewData();
    c.set(*d, "f");
    EXPECT_EQ(d->GetType("f"), c.kind);
    EXPECT_TRUE(d->HasField("f"));
    std::vector<unsigned int> expected;
    if (c.kind != kTypeNull) expected.push_back(c.kind);
    EXPECT_EQ(NonEmptyGetters(*d, "f"), expected);
  }
}

TEST_F(KoaTest, ValuesReadBackExactly) {
  std::shared_ptr<TData> d = NewData();
  d->SetInt8("i8", -128);
  d->SetUInt64("u64", ~0ULL);
  d->SetFloat("f", 0.1f);
  d->SetString("s", "text");
  d->SetString("nul", std::string("a\0b", 3));
  d->SetString("null", static_cast<const char*>(nullptr));
  d->SetWString("w", L"\u4e2d");
  d->SetBuffer("b", TBuffer("xyz", 3));
  EXPECT_EQ(d->GetInt8("i8"), -128);
  EXPECT_EQ(d->GetUInt64("u64"), ~0ULL);
  EXPECT_EQ(d->GetFloat("f"), 0.1f);
  EXPECT_EQ(d->GetString("s"), "text");
  EXPECT_EQ(d->GetString("nul"), std::string("a\0b", 3));
  EXPECT_EQ(d->GetType("null"), kTypeString);
  EXPECT_EQ(d->GetString("null"), "");
  EXPECT_EQ(d->GetWString("w"), L"\u4e2d");
  EXPECT_EQ(d->GetBuffer("b"), TBuffer("xyz", 3));
}

TEST_F(KoaTest, MissingFieldReadsAsEmpty) {
  std::shared_ptr<TData> d = NewData();
  d->SetInt32("present", 1);
  EXPECT_EQ(d->GetType("absent"), kTypeNone);
  EXPECT_FALSE(d->HasField("absent"));
  EXPECT_EQ(d->GetString("absent"), "");
  EXPECT_TRUE(NonEmptyGetters(*d, "absent").empty());
}

TEST_F(KoaTest, FieldsKeepTheirOrderAndReplaceInPlace) {
  std::shared_ptr<TData> d = NewData();
  d->SetInt32("c", 1);
  d->SetInt32("a", 2);
  d->SetInt32("b", 3);
  d->SetString("a", "now a string");  // replaces value and kind, same place
  EXPECT_EQ(Names(*d), (std::vector<std::string>{"c", "a", "b"}));
  EXPECT_EQ(d->GetType("a"), kTypeString);
  EXPECT_EQ(d->GetInt32("a"), 0);
  EXPECT_EQ(d->GetFieldCount(), 3u);

  EXPECT_TRUE(d->RemoveField("c"));
  EXPECT_FALSE(d->RemoveField("c"));
  EXPECT_EQ(Names(*d), (std::vector<std::string>{"a", "b"}));
}

TEST_F(KoaTest, LargeRecordsFindEveryField) {
  std::shared_ptr<TData> d = TData::CreateTData(82);
  for (int i = 0; i < 100; ++i) d->SetInt32("f" + std::to_string(i), i);
  d->SetInt32("f50", -50);
  ASSERT_TRUE(d->RemoveField("f10"));
  EXPECT_EQ(d->GetFieldCount(), 99u);
  EXPECT_EQ(d->GetInt32("f50"), -50);
  EXPECT_EQ(d->GetInt32("f99"), 99);
  EXPECT_EQ(d->GetType("f10"), kTypeNone);
  std::vector<std::string> names = Names(*d);
  ASSERT_EQ(names.size(), 99u);
  EXPECT_EQ(names[10], "f11");
  d->SetInt32("f10", 10);  // appended at the end
  EXPECT_EQ(Names(*d).back(), "f10");
}

TEST_F(KoaTest, FieldNamesAreAlwaysAStringArray) {
  std::shared_ptr<TData> d = NewData();
  std::shared_ptr<TArray> names = d->GetFieldNames();
  ASSERT_NE(names, nullptr);
  EXPECT_EQ(names->GetCount(), 0u);
  EXPECT_EQ(names->GetType(), kTypeString);
  d->SetString(std::string("with\0nul", 8), "x");
  EXPECT_EQ(d->GetFieldNames()->GetString(0), std::string("with\0nul", 8));
  // The list is a snapshot, not a view.
  names = d->GetFieldNames();
  d->SetBool("later", true);
  EXPECT_EQ(names->GetCount(), 1u);
}

TEST_F(KoaTest, NestedObjectsAreSharedNotCopied) {
  std::shared_ptr<TData> outer = NewData();
  std::shared_ptr<TData> inner = NewData();
  outer->SetData("inner", inner);
  inner->SetInt32("x", 5);
  EXPECT_EQ(outer->GetData("inner")->GetInt32("x"), 5);
  outer->SetData("none", nullptr);
  EXPECT_EQ(outer->GetType("none"), kTypeData);
  EXPECT_EQ(outer->GetData("none"), nullptr);
}

TEST_F(KoaTest, CyclesAreRefused) {
  std::shared_ptr<TData> root = NewData();
  root->SetData("self", root);
  EXPECT_FALSE(root->HasField("self"));

  std::shared_ptr<TArray> list = NewArray();
  std::shared_ptr<TData> child = NewData();
  root->SetArray("list", list);
  list->AddData(child);
  child->SetData("up", root);  // root -> list -> child -> root
  EXPECT_FALSE(child->HasField("up"));
  child->SetArray("list", list);  // child -> list -> child
  EXPECT_FALSE(child->HasField("list"));
  list->AddArray(list);
  list->AddData(root);
  EXPECT_EQ(list->GetCount(), 1u);
  // The same object twice is no cycle.
  root->SetData("again", child);
  EXPECT_EQ(root->GetData("again"), child);
}

TEST_F(KoaTest, ArrayKindIsSetByTheFirstAppend) {
  std::shared_ptr<TArray> a = NewArray();
  EXPECT_EQ(a->GetType(), kTypeNone);
  EXPECT_EQ(a->GetCount(), 0u);
  a->AddUInt32(7);
  a->AddString("other kind");
  a->AddUInt32(9);
  EXPECT_EQ(a->GetType(), kTypeUInt32);
  ASSERT_EQ(a->GetCount(), 3u);
  EXPECT_EQ(a->GetElementType(0), kTypeUInt32);
  EXPECT_EQ(a->GetElementType(1), kTypeString);
  EXPECT_EQ(a->GetElementType(3), kTypeNone);
  EXPECT_EQ(a->GetUInt32(0), 7u);
  EXPECT_EQ(a->GetUInt32(1), 0u);  // not of the getter's kind
  EXPECT_EQ(a->GetString(1), "other kind");
  EXPECT_EQ(a->GetUInt32(2), 9u);
  EXPECT_EQ(a->GetUInt32(3), 0u);  // out of range
  EXPECT_EQ(a->GetString(99), "");
  EXPECT_EQ(a->GetData(99), nullptr);
}

TEST_F(KoaTest, ArrayHoldsEveryKind) {
  std::shared_ptr<TArray> a = TArray::CreateTArray(1);  // a hint, not a limit
  a->AddInt8(-1);
  a->AddUInt8(2);
  a->AddInt16(-3);
  a->AddUInt16(4);
  a->AddInt32(-5);
  a->AddUInt32(6);
  a->AddInt64(-7);
  a->AddUInt64(8);
  a->AddFloat(9.5f);
  a->AddDouble(10.5);
  a->AddString("11");
  a->AddWString(L"12");
  a->AddBuffer(TBuffer("13", 2));
  a->AddArray(NewArray());
  a->AddData(NewData());
  a->AddDateTime(TDateTime{16});
  TGuid g;
  g.bytes[0] = 17;
  a->AddGuid(g);
  a->AddNull();
  a->AddBool(true);
  a->AddString(std::string("2\0", 2));
  ASSERT_EQ(a->GetCount(), 20u);
  for (unsigned int i = 0; i < 19; ++i) EXPECT_EQ(a->GetElementType(i), i + 1);
  EXPECT_EQ(a->GetType(), kTypeInt8);
  EXPECT_EQ(a->GetInt8(0), -1);
  EXPECT_EQ(a->GetUInt8(1), 2);
  EXPECT_EQ(a->GetInt16(2), -3);
  EXPECT_EQ(a->GetUInt16(3), 4);
  EXPECT_EQ(a->GetInt32(4), -5);
  EXPECT_EQ(a->GetUInt32(5), 6u);
  EXPECT_EQ(a->GetInt64(6), -7);
  EXPECT_EQ(a->GetUInt64(7), 8u);
  EXPECT_EQ(a->GetFloat(8), 9.5f);
  EXPECT_EQ(a->GetDouble(9), 10.5);
  EXPECT_EQ(a->GetString(10), "11");
  EXPECT_EQ(a->GetWString(11), L"12");
  EXPECT_EQ(a->GetBuffer(12), TBuffer("13", 2));
  EXPECT_NE(a->GetArray(13), nullptr);
  EXPECT_NE(a->GetData(14), nullptr);
  EXPECT_EQ(a->GetDateTime(15).unix_ms, 16);
  EXPECT_EQ(a->GetGuid(16), g);
  EXPECT_TRUE(a->GetBool(18));
  EXPECT_EQ(a->GetString(19), std::string("2\0", 2));
}

TEST_F(KoaTest, ObjectsCountAsLivePlatformObjects) {
  std::int64_t before = platform::LiveObjectCount();
  {
    std::shared_ptr<TData> d = NewData();
    d->SetArray("a", NewArray());
    EXPECT_EQ(platform::LiveObjectCount(), before + 2);
    std::shared_ptr<TArray> names = d->GetFieldNames();
    EXPECT_EQ(platform::LiveObjectCount(), before + 3);
  }
  EXPECT_EQ(platform::LiveObjectCount(), before);
}

// Trees far deeper than any stack: built from the root down and from the
// leaves up, then dumped and destroyed.
constexpr int kDeep = 1'000'000;

// {d: data {d: data ... {leaf: i32 7}}}, `levels` records deep, built from
// the root down.
std::shared_ptr<TData> DeepFromTheTop(int levels) {
  std::shared_ptr<TData> root = NewData();
  TData* record = root.get();
  for (int i = 1; i < levels; ++i) {
    std::shared_ptr<TData> next = NewData();
    record->SetData("d", next);
    record = next.get();
  }
  record->SetInt32("leaf", 7);
  return root;
}

// The same tree built from the leaf up, through an array every 1000 levels:
// every store checks for a cycle, so a check that walked the stored subtree
// would make this quadratic.
std::shared_ptr<TData> DeepFromTheLeaf(int levels) {
  std::shared_ptr<TData> record = NewData();
  record->SetInt32("leaf", 7);
  for (int i = 1; i < levels; ++i) {
    std::shared_ptr<TData> up = NewData();
    up->SetData("d", std::move(record));
    record = std::move(up);
  }
  return record;
}

TEST_F(KoaTest, DeepTreesAreBuiltDumpedAndReleased) {
  const std::int64_t before = platform::LiveObjectCount();
  const std::string level = "{d: data ";
  const std::string leaf = "{leaf: i32 7}";
  std::shared_ptr<TData> root = DeepFromTheLeaf(kDeep);
  EXPECT_EQ(platform::LiveObjectCount(), before + kDeep);
  {
    const std::string text = DumpTData(root);
    const std::size_t inner = static_cast<std::size_t>(kDeep - 1);
    ASSERT_EQ(text.size(), inner * (level.size() + 1) + leaf.size());
    EXPECT_EQ(text.substr(0, 2 * level.size()), level + level);
    EXPECT_EQ(text.substr(inner * level.size(), leaf.size() + 2), leaf + "}}");
    EXPECT_EQ(std::count(text.begin(), text.end(), '}'), kDeep);
  }

  // Keep a record in the middle: it and what it holds outlive the root.
  std::shared_ptr<TData> middle = root;
  for (int i = 0; i < kDeep / 2; ++i) middle = middle->GetData("d");
  root.reset();
  EXPECT_EQ(platform::LiveObjectCount(), before + kDeep / 2);
  std::shared_ptr<TData> bottom = middle;
  while (bottom->HasField("d")) bottom = bottom->GetData("d");
  EXPECT_EQ(bottom->GetInt32("leaf"), 7);
  bottom.reset();
  // Replacing and removing a deep field release it level by level too.
  middle->SetData("d", nullptr);
  EXPECT_EQ(platform::LiveObjectCount(), before + 1);
  middle->SetData("d", DeepFromTheTop(kDeep / 10));
  middle->RemoveField("d");
  EXPECT_EQ(middle->GetFieldCount(), 0u);
  middle.reset();
  EXPECT_EQ(platform::LiveObjectCount(), before);

  // Arrays in arrays are dumped and released the same way.
  std::shared_ptr<TArray> list = NewArray();
  TArray* inner_list = list.get();
  for (int i = 1; i < kDeep / 10; ++i) {
    std::shared_ptr<TArray> next = NewArray();
    inner_list->AddArray(next);
    inner_list = next.get();
  }
  inner_list->AddBool(true);
  const std::string lists = DumpTArray(list);
  EXPECT_TRUE(lists.starts_with("array<array> [array<array> ["));
  EXPECT_EQ(lists.find("bool true"), lists.size() - kDeep / 10 - 9);
}

TEST_F(KoaTest, CycleCheckVisitsSharedObjectsOnce) {
  // Sixty levels that each hold the level below twice: 2^60 paths.
  std::shared_ptr<TData> lattice = NewData();
  for (int i = 0; i < 60; ++i) {
    std::shared_ptr<TData> up = NewData();
    up->SetData("left", lattice);
    up->SetData("right", lattice);
    lattice = std::move(up);
  }
  std::shared_ptr<TData> holder = NewData();
  std::shared_ptr<TData> self = NewData();
  holder->SetData("self", self);  // now `self` is held, so the check must walk
  self->SetData("lattice", lattice);
  EXPECT_EQ(self->GetData("lattice"), lattice);
  std::shared_ptr<TData> bottom = lattice;
  while (bottom->HasField("left")) bottom = bottom->GetData("left");
  bottom->SetData("up", holder);  // holder -> self -> lattice -> ... -> bottom
  EXPECT_FALSE(bottom->HasField("up"));
  bottom->SetData("up", NewData());
  EXPECT_TRUE(bottom->HasField("up"));
}

}  // namespace
}  // namespace KOA
