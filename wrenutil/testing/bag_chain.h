// Bag trees far deeper than a call stack, for tests: a chain of records, each
// holding the next as "d", built from the top (so no store walks what is
// below it) and cut into single records before they are released (so no
// release walks the chain either).
#ifndef WRENUTIL_WRENUTIL_TESTING_BAG_CHAIN_H_
#define WRENUTIL_WRENUTIL_TESTING_BAG_CHAIN_H_

#include <cstddef>
#include <vector>

#include "platform/common/kzdata.h"

namespace wrenutil::testing {

class BagChain {
 public:
  // A new chain of `levels` records; the last holds "leaf" = 7. The top is
  // first added to `holder` when given.
  static BagChain Make(int levels, IKZArray* holder = nullptr) {
    BagChain chain;
    chain.levels_.resize(static_cast<std::size_t>(levels));
    for (auto& level : chain.levels_) Util::Data::CreateKZData(&level);
    if (holder != nullptr) holder->AddKZData(chain.levels_[0]);
    for (std::size_t i = 0; i + 1 < chain.levels_.size(); ++i) {
      chain.levels_[i]->SetKZData("d", chain.levels_[i + 1]);
    }
    chain.levels_.back()->SetInt32("leaf", 7);
    return chain;
  }
  // Every record below `top` (which the caller keeps), read through "d".
  static BagChain Collect(IKZData* top) {
    BagChain chain;
    CKZComPtr<IKZData> record = top;
    while (record) {
      chain.levels_.push_back(record);
      CKZComPtr<IKZData> next;
      record->GetKZData("d", &next);
      record = next;
    }
    return chain;
  }
  BagChain(BagChain&&) = default;
  ~BagChain() {
    for (auto& level : levels_) {
      if (level) level->RemoveField("d");
    }
  }

  std::size_t size() const { return levels_.size(); }
  IKZData* at(std::size_t i) const { return levels_[i].Get(); }
  IKZData* last() const { return levels_.back().Get(); }

 private:
  BagChain() = default;
  std::vector<CKZComPtr<IKZData>> levels_;
};

}  // namespace wrenutil::testing

#endif  // WRENUTIL_WRENUTIL_TESTING_BAG_CHAIN_H_
