// Fuzzes the KOA data bridge. The input is read as a recipe: it builds a bag
// tree (every bag type, mixed arrays, interface fields), a KOA tree (every
// kind, mixed arrays, null nested records and arrays) and an options record
// (both flags and a field-name map), then converts them both ways with every
// function of the bridge. Checks that nothing crashes, that no platform
// object is left alive, and that a KOA tree converted into a bag is stable
// from then on: bag -> KOA -> bag gives that bag back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/common/kzdata.h"
#include "platform/common/refcounted.h"
#include "platform/koa/koa.h"
#include "wrenutil/marlinsdkutil/koadatautil.h"

namespace {

constexpr int kMaxDepth = 5;

// Reads the input byte by byte; zeros once it is used up.
class Recipe {
 public:
  Recipe(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint32_t Below(std::uint32_t n) { return Byte() % n; }
  std::uint64_t Bits(int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | Byte();
    return v;
  }
  std::string Name() {
    static constexpr const char* kNames[] = {
        "a", "b", "c", "dwUin", "str_name", "BoolU64ToDWord", "DWordToU64", "x y", "", "n9"};
    return kNames[Below(10)];
  }
  // UTF-8 bytes, valid or not, zero bytes included.
  std::string Bytes() {
    std::string s(Below(8), '\0');
    for (char& c : s) c = static_cast<char>(Byte());
    return s;
  }
  // Wide text of Unicode scalar values.
  std::wstring Wide() {
    static constexpr wchar_t kUnits[] = {L'a', L'\u00e9', L'\u5f20', L'\U0001F600',
                                         L'"', L' ',      L'\uFFFD', L'z'};
    std::wstring s(Below(6), L'a');
    for (wchar_t& c : s) c = kUnits[Below(8)];
    return s;
  }
  // Doubles built from integers: never NaN, so equality is meaningful.
  double Real() { return static_cast<double>(static_cast<std::int16_t>(Bits(2))) / 8.0; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

void FillBagArray(Recipe& r, IKZArray* a, int depth);

void FillBag(Recipe& r, IKZData* d, int depth) {
  const std::uint32_t fields = r.Below(7);
  for (std::uint32_t i = 0; i < fields; ++i) {
    const std::string name = r.Name();
    const char* n = name.c_str();
    switch (r.Below(depth < kMaxDepth ? 15 : 12)) {
      case 0:
        d->SetBool(n, static_cast<int>(r.Below(3)));
        break;
      case 1:
        d->SetUInt8(n, r.Byte());
        break;
      case 2:
        d->SetInt8(n, static_cast<std::int8_t>(r.Byte()));
        break;
      case 3:
        d->SetUInt16(n, static_cast<std::uint16_t>(r.Bits(2)));
        break;
      case 4:
        d->SetInt16(n, static_cast<std::int16_t>(r.Bits(2)));
        break;
      case 5:
        d->SetDWord(n, static_cast<DWORD>(r.Bits(4)));
        break;
      case 6:
        d->SetInt32(n, static_cast<std::int32_t>(r.Bits(4)));
        break;
      case 7:
        d->SetUInt64(n, r.Bits(8));
        break;
      case 8:
        d->SetInt64(n, static_cast<std::int64_t>(r.Bits(8)));
        break;
      case 9:
        d->SetDouble(n, r.Real());
        break;
      case 10:
        d->SetStr(n, r.Wide().c_str());
        break;
      case 11: {
        CKZComPtr<IKZBuffer> b;
        Util::Data::CreateKZBuffer(&b);
        const std::string bytes = r.Bytes();
        b->SetData(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
        d->SetBuf(n, b);
        break;
      }
      case 12: {
        CKZComPtr<IKZData> nested;
        Util::Data::CreateKZData(&nested);
        FillBag(r, nested, depth + 1);
        d->SetKZData(n, nested);
        break;
      }
      case 13: {
        CKZComPtr<IKZArray> nested;
        Util::Data::CreateKZArray(&nested);
        FillBagArray(r, nested, depth + 1);
        d->SetKZArray(n, nested);
        break;
      }
      default: {  // an interface field, which the bridge does not convert
        CKZComPtr<IKZData> object;
        Util::Data::CreateKZData(&object);
        d->SetInterface(n, IKZData::kIid, object);
        break;
      }
    }
  }
}

void FillBagArray(Recipe& r, IKZArray* a, int depth) {
  const std::uint32_t count = r.Below(6);
  const std::uint32_t kinds = depth < kMaxDepth ? 14 : 12;
  std::uint32_t kind = r.Below(kinds);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (r.Below(4) == 0) kind = r.Below(kinds);  // now and then a mixed array
    switch (kind) {
      case 0:
        a->AddBool(static_cast<int>(r.Below(3)));
        break;
      case 1:
        a->AddUInt8(r.Byte());
        break;
      case 2:
        a->AddInt8(static_cast<std::int8_t>(r.Byte()));
        break;
      case 3:
        a->AddUInt16(static_cast<std::uint16_t>(r.Bits(2)));
        break;
      case 4:
        a->AddInt16(static_cast<std::int16_t>(r.Bits(2)));
        break;
      case 5:
        a->AddDWord(static_cast<DWORD>(r.Bits(4)));
        break;
      case 6:
        a->AddInt32(static_cast<std::int32_t>(r.Bits(4)));
        break;
      case 7:
        a->AddUInt64(r.Bits(8));
        break;
      case 8:
        a->AddInt64(static_cast<std::int64_t>(r.Bits(8)));
        break;
      case 9:
        a->AddDouble(r.Real());
        break;
      case 10:
        a->AddStr(r.Wide().c_str());
        break;
      case 11: {
        CKZComPtr<IKZBuffer> b;
        Util::Data::CreateKZBuffer(&b);
        const std::string bytes = r.Bytes();
        b->SetData(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
        a->AddBuf(b);
        break;
      }
      case 12: {
        CKZComPtr<IKZData> nested;
        Util::Data::CreateKZData(&nested);
        FillBag(r, nested, depth + 1);
        a->AddKZData(nested);
        break;
      }
      default: {
        CKZComPtr<IKZArray> nested;
        Util::Data::CreateKZArray(&nested);
        FillBagArray(r, nested, depth + 1);
        a->AddKZArray(nested);
        break;
      }
    }
  }
}

std::shared_ptr<KOA::TArray> MakeKoaArray(Recipe& r, int depth);

std::shared_ptr<KOA::TData> MakeKoaData(Recipe& r, int depth) {
  std::shared_ptr<KOA::TData> d = KOA::TData::CreateTData(r.Byte());
  const std::uint32_t fields = r.Below(7);
  for (std::uint32_t i = 0; i < fields; ++i) {
    const std::string n = r.Name();
    switch (r.Below(depth < kMaxDepth ? 20 : 17)) {
      case 0:
        d->SetInt8(n, static_cast<std::int8_t>(r.Byte()));
        break;
      case 1:
        d->SetUInt8(n, r.Byte());
        break;
      case 2:
        d->SetInt16(n, static_cast<std::int16_t>(r.Bits(2)));
        break;
      case 3:
        d->SetUInt16(n, static_cast<std::uint16_t>(r.Bits(2)));
        break;
      case 4:
        d->SetInt32(n, static_cast<std::int32_t>(r.Bits(4)));
        break;
      case 5:
        d->SetUInt32(n, static_cast<std::uint32_t>(r.Bits(4)));
        break;
      case 6:
        d->SetInt64(n, static_cast<std::int64_t>(r.Bits(8)));
        break;
      case 7:
        d->SetUInt64(n, r.Bits(8));
        break;
      case 8:
        d->SetFloat(n, static_cast<float>(r.Real()));
        break;
      case 9:
        d->SetDouble(n, r.Real());
        break;
      case 10:
        d->SetString(n, r.Bytes());
        break;
      case 11:
        d->SetWString(n, r.Wide());
        break;
      case 12: {
        const std::string bytes = r.Bytes();
        d->SetBuffer(n, KOA::TBuffer(bytes.data(), static_cast<unsigned int>(bytes.size())));
        break;
      }
      case 13:
        d->SetDateTime(n, KOA::TDateTime{static_cast<std::int64_t>(r.Bits(8))});
        break;
      case 14:
        d->SetGuid(n, KOA::TGuid{});
        break;
      case 15:
        d->SetNull(n);
        break;
      case 16:
        d->SetBool(n, r.Below(2) == 1);
        break;
      case 17:
        d->SetData(n, r.Below(4) == 0 ? nullptr : MakeKoaData(r, depth + 1));
        break;
      default:
        d->SetArray(n, r.Below(4) == 0 ? nullptr : MakeKoaArray(r, depth + 1));
        break;
    }
  }
  return d;
}

std::shared_ptr<KOA::TArray> MakeKoaArray(Recipe& r, int depth) {
  std::shared_ptr<KOA::TArray> a = KOA::TArray::CreateTArray(r.Byte());
  const std::uint32_t count = r.Below(6);
  const std::uint32_t kinds = depth < kMaxDepth ? 19 : 17;
  std::uint32_t kind = r.Below(kinds);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (r.Below(4) == 0) kind = r.Below(kinds);
    switch (kind) {
      case 0:
        a->AddInt8(static_cast<std::int8_t>(r.Byte()));
        break;
      case 1:
        a->AddUInt8(r.Byte());
        break;
      case 2:
        a->AddInt16(static_cast<std::int16_t>(r.Bits(2)));
        break;
      case 3:
        a->AddUInt16(static_cast<std::uint16_t>(r.Bits(2)));
        break;
      case 4:
        a->AddInt32(static_cast<std::int32_t>(r.Bits(4)));
        break;
      case 5:
        a->AddUInt32(static_cast<std::uint32_t>(r.Bits(4)));
        break;
      case 6:
        a->AddInt64(static_cast<std::int64_t>(r.Bits(8)));
        break;
      case 7:
        a->AddUInt64(r.Bits(8));
        break;
      case 8:
        a->AddFloat(static_cast<float>(r.Real()));
        break;
      case 9:
        a->AddDouble(r.Real());
        break;
      case 10:
        a->AddString(r.Bytes());
        break;
      case 11:
        a->AddWString(r.Wide());
        break;
      case 12: {
        const std::string bytes = r.Bytes();
        a->AddBuffer(KOA::TBuffer(bytes.data(), static_cast<unsigned int>(bytes.size())));
        break;
      }
      case 13:
        a->AddDateTime(KOA::TDateTime{1});
        break;
      case 14:
        a->AddNull();
        break;
      case 15:
        a->AddBool(r.Below(2) == 1);
        break;
      case 16:
        a->AddGuid(KOA::TGuid{});
        break;
      case 17:
        a->AddData(r.Below(4) == 0 ? nullptr : MakeKoaData(r, depth + 1));
        break;
      default:
        a->AddArray(r.Below(4) == 0 ? nullptr : MakeKoaArray(r, depth + 1));
        break;
    }
  }
  return a;
}

std::shared_ptr<KOA::TData> MakeOptions(Recipe& r) {
  const std::uint8_t bits = r.Byte();
  if ((bits & 1) == 0) return nullptr;
  std::shared_ptr<KOA::TData> o = KOA::TData::CreateTData(4);
  o->SetBool("BoolU64ToDWord", (bits & 2) != 0);
  o->SetBool("DWordToU64", (bits & 4) != 0);
  for (std::uint32_t i = r.Below(4); i > 0; --i) o->SetString(r.Name(), r.Name().c_str());
  return o;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

void Run(Recipe& r) {
  std::shared_ptr<KOA::TData> options = MakeOptions(r);

  // Bag tree into KOA and back, with the options.
  CKZComPtr<IKZData> bag;
  Util::Data::CreateKZData(&bag);
  FillBag(r, bag, 0);
  std::shared_ptr<KOA::TData> koa = KOADataUtil::Data::KZDataToTData(bag, options);
  Check(koa != nullptr);
  std::optional<CKZComPtr<IKZData>> back = KOADataUtil::Data::TDataToKZData(koa, options);
  Check(back.has_value());

  CKZComPtr<IKZArray> bag_array;
  Util::Data::CreateKZArray(&bag_array);
  FillBagArray(r, bag_array, 0);
  std::optional<std::shared_ptr<KOA::TArray>> koa_array =
      KOADataUtil::Array::KZArrayToTArray(bag_array, options);
  Check(koa_array.has_value() && *koa_array != nullptr);
  KOADataUtil::Array::TArrayToKZArray(*koa_array, bag_array, options);

  // KOA tree into a bag, then the stability check without options.
  std::shared_ptr<KOA::TData> tree = MakeKoaData(r, 0);
  std::optional<CKZComPtr<IKZData>> first = KOADataUtil::Data::TDataToKZData(tree, nullptr);
  Check(first.has_value());
  std::shared_ptr<KOA::TData> again = KOADataUtil::Data::KZDataToTData(*first, nullptr);
  std::optional<CKZComPtr<IKZData>> second = KOADataUtil::Data::TDataToKZData(again, nullptr);
  Check(second.has_value() && (*second)->IsEqual(*first) == S_OK);

  std::shared_ptr<KOA::TArray> list = MakeKoaArray(r, 0);
  if (std::optional<CKZComPtr<IKZArray>> arr = KOADataUtil::Array::TArrayToKZArray(list, options)) {
    KOADataUtil::Array::KZArrayToTArray(*arr, options);
  }

  // Single fields under every name, with null, empty and other target names.
  CKZComPtr<IKZData> target;
  Util::Data::CreateKZData(&target);
  for (int i = 0; i < 4; ++i) {
    const std::string from = r.Name();
    const std::string to = r.Name();
    const char* to_name = r.Below(3) == 0 ? nullptr : to.c_str();
    KOADataUtil::Data::CopyTDataFieldToKZData(tree, from.c_str(), target, to_name, options);
    KOADataUtil::Data::CopyKZDataFieldToTData(bag, from.c_str(), tree, to_name, options);
    KOADataUtil::Data::GetStrW(tree, from.c_str());
  }
  KOADataUtil::Data::TDataToKZData(tree, target, options);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::int64_t live = platform::LiveObjectCount();
  {
    Recipe r(data, size);
    Run(r);
  }
  Check(platform::LiveObjectCount() == live);
  return 0;
}
