// Random bag and KOA trees for the KOA bridge's property test and its fuzz
// target: one generator, fed by the bytes of a fuzzer's input or by a seeded
// engine.
//
// With an `expected` bag the generator makes only trees that convert into KOA
// and back (arrays of one type, no interface fields) and writes into
// `expected` what the round trip must give: a bool comes back as 0 or 1, a
// bag array of buffers comes back empty (a KOA array of buffers is not
// converted). Without one it makes everything a host could hand in: mixed
// arrays, interface fields, empty and odd names.
#ifndef WRENUTIL_WRENUTIL_TESTING_KOA_TREE_H_
#define WRENUTIL_WRENUTIL_TESTING_KOA_TREE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <string>

#include "platform/common/kzdata.h"
#include "platform/koa/koa.h"

namespace wrenutil::testing {

// Where the generator's choices come from.
class TreeBytes {
 public:
  // The bytes of `data`, then zeros.
  TreeBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  // An endless stream from a seeded engine.
  explicit TreeBytes(std::uint32_t seed) : engine_(seed), seeded_(true) {}

  std::uint8_t Byte() {
    if (seeded_) return static_cast<std::uint8_t>(engine_());
    return pos_ < size_ ? data_[pos_++] : 0;
  }
  std::uint32_t Below(std::uint32_t n) { return Byte() % n; }
  std::uint64_t Bits(int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | Byte();
    return v;
  }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t pos_ = 0;
  std::mt19937 engine_;
  bool seeded_ = false;
};

class KoaTreeGenerator {
 public:
  // Records and arrays nest down to `max_depth` levels; with `nest_one_in`
  // above 0, one bag value in that many nests (for deep trees), else each
  // kind is as likely as the others.
  KoaTreeGenerator(TreeBytes& bytes, int max_depth, std::uint32_t nest_one_in = 0)
      : r_(bytes), max_depth_(max_depth), nest_one_in_(nest_one_in) {}

  // A field name, the options' own names and the refused empty one included.
  std::string Name() {
    static constexpr const char* kNames[] = {"a",  "b",   "c",      "dwUin",          "str_name",
                                             "n9", "x y", "\u5f20", "BoolU64ToDWord", "DWordToU64",
                                             ""};
    return kNames[r_.Below(expected_mode_ ? 10 : 11)];
  }
  // Bytes, valid UTF-8 or not, zero bytes included.
  std::string Bytes() {
    std::string s(r_.Below(8), '\0');
    for (char& c : s) c = static_cast<char>(r_.Byte());
    return s;
  }
  // Wide text of Unicode scalar values, never a zero.
  std::wstring Wide() {
    static constexpr wchar_t kUnits[] = {L'a', L'\u00e9', L'\u5f20', L'\U0001F600', L'"',
                                         L' ', L'\uFFFD', L'\\',     L'\n',         L'z'};
    std::wstring s(r_.Below(7), L'a');
    for (wchar_t& c : s) c = kUnits[r_.Below(10)];
    return s;
  }
  // Doubles made from integers: never NaN, so equality means something.
  double Real() { return static_cast<double>(static_cast<std::int16_t>(r_.Bits(2))) / 8.0; }

  // Fills the bag `o` (and `e` with what a round trip gives, when not null).
  void FillBag(IKZData* o, IKZData* e, int depth) {
    expected_mode_ = e != nullptr;
    const std::uint32_t fields = r_.Below(8);
    for (std::uint32_t i = 0; i < fields; ++i) {
      const std::string name = Name();
      const std::uint32_t kind = PickBagKind(depth, !expected_mode_);
      BagValue(BagField{o, name.c_str()}, BagField{e, name.c_str()}, kind, depth);
    }
  }

  // Fills the bag array `o` (and `e`, as above). Without `e` the type changes
  // now and then: a mixed array.
  void FillBagArray(IKZArray* o, IKZArray* e, int depth) {
    expected_mode_ = e != nullptr;
    const std::uint32_t count = r_.Below(6);
    std::uint32_t kind = PickBagKind(depth, false);
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!expected_mode_ && r_.Below(4) == 0) kind = PickBagKind(depth, false);
      if (kind == kBagBuffer && e != nullptr) {
        BagValue(BagElement{o}, BagElement{nullptr}, kind, depth);  // comes back empty
      } else {
        BagValue(BagElement{o}, BagElement{e}, kind, depth);
      }
    }
  }

  // A KOA record of every kind, null nested records and arrays included.
  std::shared_ptr<KOA::TData> MakeKoaData(int depth) {
    std::shared_ptr<KOA::TData> d = KOA::TData::CreateTData(r_.Byte());
    const std::uint32_t fields = r_.Below(7);
    for (std::uint32_t i = 0; i < fields; ++i) {
      const std::string n = Name();
      KoaValue(KoaField{*d, n}, r_.Below(depth < max_depth_ ? kKoaKinds : kKoaScalars), depth);
    }
    return d;
  }

  // A KOA array, now and then of mixed kinds.
  std::shared_ptr<KOA::TArray> MakeKoaArray(int depth) {
    std::shared_ptr<KOA::TArray> a = KOA::TArray::CreateTArray(r_.Byte());
    const std::uint32_t count = r_.Below(6);
    const std::uint32_t kinds = depth < max_depth_ ? kKoaKinds : kKoaScalars;
    std::uint32_t kind = r_.Below(kinds);
    for (std::uint32_t i = 0; i < count; ++i) {
      if (r_.Below(4) == 0) kind = r_.Below(kinds);
      KoaValue(KoaElement{*a}, kind, depth);
    }
    return a;
  }

 private:
  // Bag kinds by choice number: 0-10 scalars, 11 buffer, 12 record, 13 array,
  // 14 an interface field (never with an expected tree).
  static constexpr std::uint32_t kBagBuffer = 11;
  static constexpr std::uint32_t kBagScalars = 12;
  static constexpr std::uint32_t kBagKinds = 14;
  static constexpr std::uint32_t kBagInterface = 14;
  // KOA kinds by choice number: 0-16 not nested, 17 record, 18 array.
  static constexpr std::uint32_t kKoaScalars = 17;
  static constexpr std::uint32_t kKoaKinds = 19;

  // A bag kind by choice number; interfaces only when `interface` is true.
  std::uint32_t PickBagKind(int depth, bool interface) {
    const bool nest = depth < max_depth_;
    if (nest && nest_one_in_ > 0 && r_.Below(nest_one_in_) == 0) return 12 + r_.Below(2);
    const std::uint32_t kinds = nest ? kBagKinds : kBagScalars;
    const std::uint32_t kind = r_.Below(interface ? kinds + 1 : kinds);
    return kind == kinds ? kBagInterface : kind;
  }

  // One place of a bag: a named field or the end of an array. Null writes
  // nothing.
  struct BagField {
    IKZData* bag;
    const char* name;
    explicit operator bool() const { return bag != nullptr; }
    void Bool(int v) { bag->SetBool(name, v); }
    void UInt8(std::uint8_t v) { bag->SetUInt8(name, v); }
    void Int8(std::int8_t v) { bag->SetInt8(name, v); }
    void UInt16(std::uint16_t v) { bag->SetUInt16(name, v); }
    void Int16(std::int16_t v) { bag->SetInt16(name, v); }
    void DWord(DWORD v) { bag->SetDWord(name, v); }
    void Int32(std::int32_t v) { bag->SetInt32(name, v); }
    void UInt64(std::uint64_t v) { bag->SetUInt64(name, v); }
    void Int64(std::int64_t v) { bag->SetInt64(name, v); }
    void Double(double v) { bag->SetDouble(name, v); }
    void Str(const wchar_t* v) { bag->SetStr(name, v); }
    void Buf(IKZBuffer* v) { bag->SetBuf(name, v); }
    void Data(IKZData* v) { bag->SetKZData(name, v); }
    void Array(IKZArray* v) { bag->SetKZArray(name, v); }
    void Interface(IKZData* v) { bag->SetInterface(name, IKZData::kIid, v); }
  };
  struct BagElement {
    IKZArray* bag;
    explicit operator bool() const { return bag != nullptr; }
    void Bool(int v) { bag->AddBool(v); }
    void UInt8(std::uint8_t v) { bag->AddUInt8(v); }
    void Int8(std::int8_t v) { bag->AddInt8(v); }
    void UInt16(std::uint16_t v) { bag->AddUInt16(v); }
    void Int16(std::int16_t v) { bag->AddInt16(v); }
    void DWord(DWORD v) { bag->AddDWord(v); }
    void Int32(std::int32_t v) { bag->AddInt32(v); }
    void UInt64(std::uint64_t v) { bag->AddUInt64(v); }
    void Int64(std::int64_t v) { bag->AddInt64(v); }
    void Double(double v) { bag->AddDouble(v); }
    void Str(const wchar_t* v) { bag->AddStr(v); }
    void Buf(IKZBuffer* v) { bag->AddBuf(v); }
    void Data(IKZData* v) { bag->AddKZData(v); }
    void Array(IKZArray* v) { bag->AddKZArray(v); }
    void Interface(IKZData*) {}  // arrays hold no interfaces
  };

  // Writes one value of choice `kind` into `o`, and what comes back into `e`.
  template <class Place>
  void BagValue(Place o, Place e, std::uint32_t kind, int depth) {
    auto both = [&](auto write) {
      write(o);
      if (e) write(e);
    };
    switch (kind) {
      case 0: {
        const int v = static_cast<int>(r_.Below(3));
        o.Bool(v);
        if (e) e.Bool(v != 0 ? 1 : 0);
        return;
      }
      case 1:
        return both([v = r_.Byte()](auto& p) { p.UInt8(v); });
      case 2:
        return both([v = static_cast<std::int8_t>(r_.Byte())](auto& p) { p.Int8(v); });
      case 3:
        return both([v = static_cast<std::uint16_t>(r_.Bits(2))](auto& p) { p.UInt16(v); });
      case 4:
        return both([v = static_cast<std::int16_t>(r_.Bits(2))](auto& p) { p.Int16(v); });
      case 5:
        return both([v = static_cast<DWORD>(r_.Bits(4))](auto& p) { p.DWord(v); });
      case 6:
        return both([v = static_cast<std::int32_t>(r_.Bits(4))](auto& p) { p.Int32(v); });
      case 7:
        return both([v = r_.Bits(8)](auto& p) { p.UInt64(v); });
      case 8:
        return both([v = static_cast<std::int64_t>(r_.Bits(8))](auto& p) { p.Int64(v); });
      case 9:
        return both([v = Real()](auto& p) { p.Double(v); });
      case 10:
        return both([v = Wide()](auto& p) { p.Str(v.c_str()); });
      case kBagBuffer: {
        const std::string bytes = Bytes();
        return both([&bytes](auto& p) {
          CKZComPtr<IKZBuffer> b;
          Util::Data::CreateKZBuffer(&b);
          b->SetData(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
          p.Buf(b);
        });
      }
      case 12: {
        CKZComPtr<IKZData> od, ed;
        Util::Data::CreateKZData(&od);
        if (e) Util::Data::CreateKZData(&ed);
        FillBag(od, ed, depth + 1);
        o.Data(od);
        if (e) e.Data(ed);
        return;
      }
      case 13: {
        CKZComPtr<IKZArray> oa, ea;
        Util::Data::CreateKZArray(&oa);
        if (e) Util::Data::CreateKZArray(&ea);
        FillBagArray(oa, ea, depth + 1);
        o.Array(oa);
        if (e) e.Array(ea);
        return;
      }
      default: {  // an interface field, which the bridge does not convert
        CKZComPtr<IKZData> object;
        Util::Data::CreateKZData(&object);
        o.Interface(object);
        return;
      }
    }
  }

  // One place of a KOA record or array.
  struct KoaField {
    KOA::TData& d;
    const std::string& n;
    void Int8(std::int8_t v) { d.SetInt8(n, v); }
    void UInt8(std::uint8_t v) { d.SetUInt8(n, v); }
    void Int16(std::int16_t v) { d.SetInt16(n, v); }
    void UInt16(std::uint16_t v) { d.SetUInt16(n, v); }
    void Int32(std::int32_t v) { d.SetInt32(n, v); }
    void UInt32(std::uint32_t v) { d.SetUInt32(n, v); }
    void Int64(std::int64_t v) { d.SetInt64(n, v); }
    void UInt64(std::uint64_t v) { d.SetUInt64(n, v); }
    void Float(float v) { d.SetFloat(n, v); }
    void Double(double v) { d.SetDouble(n, v); }
    void String(const std::string& v) { d.SetString(n, v); }
    void WString(const std::wstring& v) { d.SetWString(n, v); }
    void Buffer(KOA::TBuffer v) { d.SetBuffer(n, std::move(v)); }
    void DateTime(KOA::TDateTime v) { d.SetDateTime(n, v); }
    void Guid(const KOA::TGuid& v) { d.SetGuid(n, v); }
    void Null() { d.SetNull(n); }
    void Bool(bool v) { d.SetBool(n, v); }
    void Data(std::shared_ptr<KOA::TData> v) { d.SetData(n, std::move(v)); }
    void Array(std::shared_ptr<KOA::TArray> v) { d.SetArray(n, std::move(v)); }
  };
  struct KoaElement {
    KOA::TArray& a;
    void Int8(std::int8_t v) { a.AddInt8(v); }
    void UInt8(std::uint8_t v) { a.AddUInt8(v); }
    void Int16(std::int16_t v) { a.AddInt16(v); }
    void UInt16(std::uint16_t v) { a.AddUInt16(v); }
    void Int32(std::int32_t v) { a.AddInt32(v); }
    void UInt32(std::uint32_t v) { a.AddUInt32(v); }
    void Int64(std::int64_t v) { a.AddInt64(v); }
    void UInt64(std::uint64_t v) { a.AddUInt64(v); }
    void Float(float v) { a.AddFloat(v); }
    void Double(double v) { a.AddDouble(v); }
    void String(const std::string& v) { a.AddString(v); }
    void WString(const std::wstring& v) { a.AddWString(v); }
    void Buffer(KOA::TBuffer v) { a.AddBuffer(std::move(v)); }
    void DateTime(KOA::TDateTime v) { a.AddDateTime(v); }
    void Guid(const KOA::TGuid& v) { a.AddGuid(v); }
    void Null() { a.AddNull(); }
    void Bool(bool v) { a.AddBool(v); }
    void Data(std::shared_ptr<KOA::TData> v) { a.AddData(std::move(v)); }
    void Array(std::shared_ptr<KOA::TArray> v) { a.AddArray(std::move(v)); }
  };

  template <class Place>
  void KoaValue(Place p, std::uint32_t kind, int depth) {
    switch (kind) {
      case 0:
        return p.Int8(static_cast<std::int8_t>(r_.Byte()));
      case 1:
        return p.UInt8(r_.Byte());
      case 2:
        return p.Int16(static_cast<std::int16_t>(r_.Bits(2)));
      case 3:
        return p.UInt16(static_cast<std::uint16_t>(r_.Bits(2)));
      case 4:
        return p.Int32(static_cast<std::int32_t>(r_.Bits(4)));
      case 5:
        return p.UInt32(static_cast<std::uint32_t>(r_.Bits(4)));
      case 6:
        return p.Int64(static_cast<std::int64_t>(r_.Bits(8)));
      case 7:
        return p.UInt64(r_.Bits(8));
      case 8:
        return p.Float(static_cast<float>(Real()));
      case 9:
        return p.Double(Real());
      case 10:
        return p.String(Bytes());
      case 11:
        return p.WString(Wide());
      case 12: {
        const std::string bytes = Bytes();
        return p.Buffer(KOA::TBuffer(bytes.data(), static_cast<unsigned int>(bytes.size())));
      }
      case 13:
        return p.DateTime(KOA::TDateTime{static_cast<std::int64_t>(r_.Bits(8))});
      case 14:
        return p.Guid(KOA::TGuid{});
      case 15:
        return p.Null();
      case 16:
        return p.Bool(r_.Below(2) == 1);
      case 17:
        return p.Data(r_.Below(4) == 0 ? nullptr : MakeKoaData(depth + 1));
      default:
        return p.Array(r_.Below(4) == 0 ? nullptr : MakeKoaArray(depth + 1));
    }
  }

  TreeBytes& r_;
  int max_depth_;
  std::uint32_t nest_one_in_;
  bool expected_mode_ = false;
};

}  // namespace wrenutil::testing

#endif  // WRENUTIL_WRENUTIL_TESTING_KOA_TREE_H_
