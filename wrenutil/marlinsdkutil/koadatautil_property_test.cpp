// Property: a bag tree converted into a KOA record and back is equal to the
// original, apart from the documented exceptions, which the generator writes
// into the expected tree: a bool comes back as 0 or 1, and a bag array of
// buffers comes back empty (a KOA array of buffers is not converted).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "platform/common/kzjson.h"
#include "platform/testing/platform_test.h"
#include "wrenutil/marlinsdkutil/koadatautil.h"

namespace {

using KoaRoundTripTest = platform::testing::PlatformTest;

constexpr int kTrees = 300;
constexpr int kMaxDepth = 4;
constexpr std::uint32_t kSeed = 20261205;

// Writes the same random values into `original` and the expected result.
class TreeGenerator {
 public:
  explicit TreeGenerator(std::uint32_t seed) : rng_(seed) {}

  void FillRecord(IKZData* original, IKZData* expected, int depth) {
    const int fields = Pick(0, 8);
    for (int i = 0; i < fields; ++i) {
      const std::string name = "f" + std::to_string(Pick(0, 12));
      AddField(original, expected, name.c_str(), depth);
    }
  }

 private:
  // Bag type codes that convert; nesting only below the depth limit.
  static constexpr BYTE kScalarTypes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 14, 15, 17};

  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  std::uint64_t Bits() { return rng_(); }
  // Below the depth limit, one value in three nests.
  BYTE PickType(int depth) {
    if (depth < kMaxDepth && Pick(0, 2) == 0) {
      return Pick(0, 1) == 0 ? BYTE{KZ_TYPE_KZDATA} : BYTE{KZ_TYPE_KZARRAY};
    }
    return kScalarTypes[Pick(0, static_cast<int>(std::size(kScalarTypes)) - 1)];
  }
  std::wstring Text() {
    static constexpr wchar_t kUnits[] = {L'a',      L'Z',          L'0', L' ',  L'\u00e9',
                                         L'\u5f20', L'\U0001F600', L'"', L'\\', L'\n'};
    std::wstring s;
    const int length = Pick(0, 6);
    for (int i = 0; i < length; ++i) s += kUnits[Pick(0, static_cast<int>(std::size(kUnits)) - 1)];
    return s;
  }
  std::vector<BYTE> Bytes() {
    std::vector<BYTE> b(static_cast<std::size_t>(Pick(0, 5)));
    for (BYTE& x : b) x = static_cast<BYTE>(Bits());
    return b;
  }
  double Real() { return std::uniform_real_distribution<double>(-1e9, 1e9)(rng_); }

  void AddField(IKZData* o, IKZData* e, const char* name, int depth) {
    const BYTE type = PickType(depth);
    switch (type) {
      case KZ_TYPE_BOOL: {
        const int v = Pick(0, 3);
        o->SetBool(name, v);
        e->SetBool(name, v != 0 ? 1 : 0);
        break;
      }
      case KZ_TYPE_UINT8:
        Both(o, e, &IKZData::SetUInt8, name, static_cast<std::uint8_t>(Bits()));
        break;
      case KZ_TYPE_INT8:
        Both(o, e, &IKZData::SetInt8, name, static_cast<std::int8_t>(Bits()));
        break;
      case KZ_TYPE_UINT16:
        Both(o, e, &IKZData::SetUInt16, name, static_cast<std::uint16_t>(Bits()));
        break;
      case KZ_TYPE_INT16:
        Both(o, e, &IKZData::SetInt16, name, static_cast<std::int16_t>(Bits()));
        break;
      case KZ_TYPE_DWORD:
        Both(o, e, &IKZData::SetDWord, name, static_cast<DWORD>(Bits()));
        break;
      case KZ_TYPE_INT32:
        Both(o, e, &IKZData::SetInt32, name, static_cast<std::int32_t>(Bits()));
        break;
      case KZ_TYPE_INT64:
        Both(o, e, &IKZData::SetInt64, name, static_cast<std::int64_t>(Bits() << 31));
        break;
      case KZ_TYPE_UINT64:
        Both(o, e, &IKZData::SetUInt64, name, (Bits() << 32) | Bits());
        break;
      case KZ_TYPE_DOUBLE:
        Both(o, e, &IKZData::SetDouble, name, Real());
        break;
      case KZ_TYPE_STR: {
        const std::wstring t = Text();
        o->SetStr(name, t.c_str());
        e->SetStr(name, t.c_str());
        break;
      }
      case KZ_TYPE_BUF: {
        CKZComPtr<IKZBuffer> ob, eb;
        Util::Data::CreateKZBuffer(&ob);
        Util::Data::CreateKZBuffer(&eb);
        const std::vector<BYTE> bytes = Bytes();
        ob->SetData(bytes.data(), static_cast<DWORD>(bytes.size()));
        eb->SetData(bytes.data(), static_cast<DWORD>(bytes.size()));
        o->SetBuf(name, ob);
        e->SetBuf(name, eb);
        break;
      }
      case KZ_TYPE_KZDATA: {
        CKZComPtr<IKZData> od, ed;
        Util::Data::CreateKZData(&od);
        Util::Data::CreateKZData(&ed);
        FillRecord(od, ed, depth + 1);
        o->SetKZData(name, od);
        e->SetKZData(name, ed);
        break;
      }
      default: {
        CKZComPtr<IKZArray> oa, ea;
        Util::Data::CreateKZArray(&oa);
        Util::Data::CreateKZArray(&ea);
        FillArray(oa, ea, depth + 1);
        o->SetKZArray(name, oa);
        e->SetKZArray(name, ea);
        break;
      }
    }
  }

  template <class T>
  static void Both(IKZData* o, IKZData* e, HRESULT (IKZData::*set)(const char*, T),
                   const char* name, T value) {
    (o->*set)(name, value);
    (e->*set)(name, value);
  }

  // A KOA array has one kind, so the generated bag arrays have one type.
  void FillArray(IKZArray* o, IKZArray* e, int depth) {
    const BYTE type = PickType(depth);
    const int count = Pick(0, 5);
    for (int i = 0; i < count; ++i) {
      switch (type) {
        case KZ_TYPE_BOOL: {
          const int v = Pick(0, 3);
          o->AddBool(v);
          e->AddBool(v != 0 ? 1 : 0);
          break;
        }
        case KZ_TYPE_UINT8: {
          auto v = static_cast<std::uint8_t>(Bits());
          o->AddUInt8(v);
          e->AddUInt8(v);
          break;
        }
        case KZ_TYPE_INT8: {
          auto v = static_cast<std::int8_t>(Bits());
          o->AddInt8(v);
          e->AddInt8(v);
          break;
        }
        case KZ_TYPE_UINT16: {
          auto v = static_cast<std::uint16_t>(Bits());
          o->AddUInt16(v);
          e->AddUInt16(v);
          break;
        }
        case KZ_TYPE_INT16: {
          auto v = static_cast<std::int16_t>(Bits());
          o->AddInt16(v);
          e->AddInt16(v);
          break;
        }
        case KZ_TYPE_DWORD: {
          auto v = static_cast<DWORD>(Bits());
          o->AddDWord(v);
          e->AddDWord(v);
          break;
        }
        case KZ_TYPE_INT32: {
          auto v = static_cast<std::int32_t>(Bits());
          o->AddInt32(v);
          e->AddInt32(v);
          break;
        }
        case KZ_TYPE_INT64: {
          auto v = static_cast<std::int64_t>(Bits() << 33);
          o->AddInt64(v);
          e->AddInt64(v);
          break;
        }
        case KZ_TYPE_UINT64: {
          auto v = (Bits() << 32) | Bits();
          o->AddUInt64(v);
          e->AddUInt64(v);
          break;
        }
        case KZ_TYPE_DOUBLE: {
          double v = Real();
          o->AddDouble(v);
          e->AddDouble(v);
          break;
        }
        case KZ_TYPE_STR: {
          const std::wstring t = Text();
          o->AddStr(t.c_str());
          e->AddStr(t.c_str());
          break;
        }
        case KZ_TYPE_BUF: {  // comes back as an empty array
          CKZComPtr<IKZBuffer> b;
          Util::Data::CreateKZBuffer(&b);
          const std::vector<BYTE> bytes = Bytes();
          b->SetData(bytes.data(), static_cast<DWORD>(bytes.size()));
          o->AddBuf(b);
          break;
        }
        case KZ_TYPE_KZDATA: {
          CKZComPtr<IKZData> od, ed;
          Util::Data::CreateKZData(&od);
          Util::Data::CreateKZData(&ed);
          FillRecord(od, ed, depth + 1);
          o->AddKZData(od);
          e->AddKZData(ed);
          break;
        }
        default: {
          CKZComPtr<IKZArray> oa, ea;
          Util::Data::CreateKZArray(&oa);
          Util::Data::CreateKZArray(&ea);
          FillArray(oa, ea, depth + 1);
          o->AddKZArray(oa);
          e->AddKZArray(ea);
          break;
        }
      }
    }
  }

  std::mt19937 rng_;
};

// The deepest nesting of records and arrays in a JSON text.
int Depth(const std::string& json) {
  int depth = 0, deepest = 0;
  bool in_string = false;
  for (std::size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    if (in_string) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        in_string = false;
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{' || c == '[') {
      deepest = std::max(deepest, ++depth);
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return deepest;
}

TEST_F(KoaRoundTripTest, BagToKoaToBagGivesTheSameBag) {
  TreeGenerator generator(kSeed);
  int deep_trees = 0;
  for (int i = 0; i < kTrees; ++i) {
    SCOPED_TRACE(i);
    CKZComPtr<IKZData> original, expected;
    Util::Data::CreateKZData(&original);
    Util::Data::CreateKZData(&expected);
    generator.FillRecord(original, expected, 0);
    std::shared_ptr<KOA::TData> koa = KOADataUtil::Data::KZDataToTData(original, nullptr);
    ASSERT_NE(koa, nullptr);
    std::optional<CKZComPtr<IKZData>> back = KOADataUtil::Data::TDataToKZData(koa, nullptr);
    ASSERT_TRUE(back.has_value());
    ASSERT_EQ((*back)->IsEqual(expected), S_OK) << "original: " << platform::KZDataToJson(original)
                                                << "\nback:     " << platform::KZDataToJson(*back);
    if (Depth(platform::KZDataToJson(original)) >= 4) ++deep_trees;
  }
  EXPECT_TRUE(logs().empty());
  EXPECT_GT(deep_trees, kTrees / 4) << "the trees should be several levels deep";
}

}  // namespace
