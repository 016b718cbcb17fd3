// The contact search's matcher over one key, for code of the library that
// runs it beside the exported drivers (the type-ahead session); callers of
// the library must not use it.
#ifndef WRENUTIL_WRENUTIL_INTERNAL_SEARCH_MATCHER_H_
#define WRENUTIL_WRENUTIL_INTERNAL_SEARCH_MATCHER_H_

#include <memory>
#include <string_view>
#include <vector>

#include "platform/common/kzstring.h"
#include "wrenutil/export.h"

namespace Util::MarlinSearch::internal {

// One key made ready for matching many texts exactly as the drivers match
// them (MatchFiled), without writing hit records. Not copyable; one per
// thread.
class WRENUTIL_API KeyMatcher {
 public:
  // `lowered` is the key already lower-cased (CKZStringW::MakeLower), as the
  // drivers make it; it is analysed here (AnalyseKey).
  explicit KeyMatcher(const CKZStringW& lowered);
  ~KeyMatcher();
  KeyMatcher(const KeyMatcher&) = delete;
  KeyMatcher& operator=(const KeyMatcher&) = delete;

  // The key's class mask and its runs of double-byte characters.
  BYTE mask() const;
  const std::vector<CKZStringW>& runs() const;

  // What MatchFiled decides for the text `text`: 1 with the span of the hit
  // it would write in *position and *length; else 0 (outputs untouched). The
  // same assertions are raised and the same performance records written. A
  // key whose mask is 0 matches nothing.
  int Find(std::wstring_view text, int* position, int* length);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace Util::MarlinSearch::internal

#endif  // WRENUTIL_WRENUTIL_INTERNAL_SEARCH_MATCHER_H_
