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
#include "wrenutil/testing/koa_tree.h"

namespace {

using wrenutil::testing::KoaTreeGenerator;
using Recipe = wrenutil::testing::TreeBytes;

constexpr int kMaxDepth = 5;

std::shared_ptr<KOA::TData> MakeOptions(Recipe& r, KoaTreeGenerator& g) {
  const std::uint8_t bits = r.Byte();
  if ((bits & 1) == 0) return nullptr;
  std::shared_ptr<KOA::TData> o = KOA::TData::CreateTData(4);
  o->SetBool("BoolU64ToDWord", (bits & 2) != 0);
  o->SetBool("DWordToU64", (bits & 4) != 0);
  for (std::uint32_t i = r.Below(4); i > 0; --i) o->SetString(g.Name(), g.Name().c_str());
  return o;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

void Run(Recipe& r) {
  KoaTreeGenerator g(r, kMaxDepth);
  std::shared_ptr<KOA::TData> options = MakeOptions(r, g);

  // Bag tree into KOA and back, with the options.
  CKZComPtr<IKZData> bag;
  Util::Data::CreateKZData(&bag);
  g.FillBag(bag, nullptr, 0);
  std::shared_ptr<KOA::TData> koa = KOADataUtil::Data::KZDataToTData(bag, options);
  Check(koa != nullptr);
  std::optional<CKZComPtr<IKZData>> back = KOADataUtil::Data::TDataToKZData(koa, options);
  Check(back.has_value());

  CKZComPtr<IKZArray> bag_array;
  Util::Data::CreateKZArray(&bag_array);
  g.FillBagArray(bag_array, nullptr, 0);
  std::optional<std::shared_ptr<KOA::TArray>> koa_array =
      KOADataUtil::Array::KZArrayToTArray(bag_array, options);
  Check(koa_array.has_value() && *koa_array != nullptr);
  KOADataUtil::Array::TArrayToKZArray(*koa_array, bag_array, options);

  // KOA tree into a bag, then the stability check without options.
  std::shared_ptr<KOA::TData> tree = g.MakeKoaData(0);
  std::optional<CKZComPtr<IKZData>> first = KOADataUtil::Data::TDataToKZData(tree, nullptr);
  Check(first.has_value());
  std::shared_ptr<KOA::TData> again = KOADataUtil::Data::KZDataToTData(*first, nullptr);
  std::optional<CKZComPtr<IKZData>> second = KOADataUtil::Data::TDataToKZData(again, nullptr);
  Check(second.has_value() && (*second)->IsEqual(*first) == S_OK);

  std::shared_ptr<KOA::TArray> list = g.MakeKoaArray(0);
  if (std::optional<CKZComPtr<IKZArray>> arr = KOADataUtil::Array::TArrayToKZArray(list, options)) {
    KOADataUtil::Array::KZArrayToTArray(*arr, options);
  }

  // Single fields under every name, with null, empty and other target names.
  CKZComPtr<IKZData> target;
  Util::Data::CreateKZData(&target);
  for (int i = 0; i < 4; ++i) {
    const std::string from = g.Name();
    const std::string to = g.Name();
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
