// A search session for a host's search box: the contact search run on every
// keystroke over one list of records, with the results of DoSearch and less
// work per key.
//
//   SearchSession session(contacts, {"strName", "strEnglishName"}, 49);
//   session.BuildFilter();                     // optional, for long lists
//   session.Search(L"z");  session.Search(L"zh");  ...
//   for (const SessionHit& hit : session.hits()) ...   // or HitRecords()
//
// Every search gives exactly what DoSearch(key, items, fields, limit) gives
// for the same records: the same records in the same order, each with the
// same field, position and length. Two things make it cheaper:
//
// - Narrowing. When the new key extends the last one, only the records that
//   the last key hit are examined again (with the records the last search
//   did not reach because of the limit). This holds when a record that
//   matches the longer key always matches the shorter one, which the
//   matcher's rules give in these cases:
//   - both keys plain (no letter, no double-byte character: a substring of
//     the lower-cased text), or both double-byte characters only;
//   - a key with letters and no double-byte character, extended by anything:
//     the scan over the text's spellings finds any prefix of a key it finds,
//     and a mixed key's own spelling begins with the shorter key;
//   - a key of double-byte characters only, all with a GBK form, extended
//     by anything: its one run must occur in the text;
//   - a mixed key, extended by anything that leaves its runs as they were
//     or makes its only run longer.
//   It does not hold when a plain key of digits or other characters gains a
//   letter or a double-byte character (the spelling scan skips characters
//   without a GBK form, which the plain search does not), nor when the last
//   of two or more runs of double-byte characters grows (the runs must occur
//   in order, and a longer run can occur later than its start did): such a
//   search examines every record.
// - A candidate filter, built once by BuildFilter: for each record a few
//   masks of what its texts hold (the lower-cased characters; the bytes of
//   their spellings, the first byte of each spelling, the initials, and the
//   pairs and triples of neighbouring bytes of the spellings). A record
//   whose masks lack what the key needs cannot match and is not examined;
//   every other record goes through the real matcher, so the filter only
//   saves work. It costs 48 bytes per record.
//
// The session holds a reference to the records (AddRefs) and reads them on
// every search; it runs on the caller's thread and is not thread-safe.
// When the host changes the list, it says so (RecordInserted, RecordChanged,
// RecordRemoved) before the next search: the session then forgets its last
// key and brings the filter up to date. A change it is not told about makes
// its results stale (only the number of records is checked: a new count
// makes the next search examine every record, without the filter).
//
// Choices of this implementation:
// - An empty key clears the hits and answers E_INVALIDARG without an
//   assertion (a search box is often emptied); null items likewise.
// - The matcher raises its assertions only for the records it examines.
#ifndef WRENUTIL_WRENUTIL_SEARCHSESSION_H_
#define WRENUTIL_WRENUTIL_SEARCHSESSION_H_

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "platform/common/kzdata.h"
#include "platform/common/kzstring.h"
#include "wrenutil/export.h"

namespace Util::MarlinSearch {

// One hit of a session: the record's index in the items, the index of the
// matched field in the session's field list, and the span as "nHitPos" and
// "nHitLen" give it.
struct SessionHit {
  DWORD index = 0;
  std::uint32_t field = 0;
  int position = 0;
  int length = 0;
};

class WRENUTIL_API SearchSession {
 public:
  // Searches `items` (AddRefs; null: every search answers E_INVALIDARG) in
  // the string fields `fields`, in order, stopping as DoSearch does once more
  // than `limit` records matched.
  SearchSession(IKZArrayRead* items, const std::vector<CKZStringA>& fields, std::uint32_t limit);
  ~SearchSession();
  SearchSession(const SearchSession&) = delete;
  SearchSession& operator=(const SearchSession&) = delete;

  // Builds the candidate filter over the records as they are now (again,
  // when called again). S_OK; E_INVALIDARG for null items.
  HRESULT BuildFilter();
  // Drops the filter.
  void DropFilter();
  bool has_filter() const;
  // What the filter costs, in bytes (0 without one).
  std::size_t FilterBytes() const;

  // The host inserted a record at `index` (the records from there on moved
  // up by one), changed or replaced the record at `index`, or removed it
  // (the later records moved down). The session forgets its last key and
  // updates the filter. An index past the end drops the filter.
  void RecordInserted(DWORD index);
  void RecordChanged(DWORD index);
  void RecordRemoved(DWORD index);

  // Searches for `key` as DoSearch does and keeps the hits (see hits()).
  // Returns DoSearch's code: 0, or E_INVALIDARG (empty key or null items,
  // without assertion) with no hits. searched() tells whether DoSearch would
  // have handed out a result array.
  long Search(const CKZStringW& key);

  // Whether the last search ran (DoSearch would have written its result
  // array: the key classified, there were records and fields).
  bool searched() const { return searched_; }
  // The hits of the last search, in the order of DoSearch's hit records.
  const std::vector<SessionHit>& hits() const { return hits_; }
  // How many records the matcher examined in the last search, and whether
  // it started from the hits of the key before.
  DWORD examined() const { return examined_; }
  bool narrowed() const { return narrowed_; }

  // The hit records of hits()[first, first + count) as DoSearch writes them
  // (the record's fields, "nHitPos", "nHitLen", "strMatchedContent",
  // "strMatchedFieldName"), in a new array with one reference for the
  // caller in *result. S_OK; E_POINTER for a null `result`; E_FAIL when the
  // array cannot be created (*result then null). Records that can no longer
  // be read are left out.
  HRESULT HitRecords(IKZArray** result, std::size_t first = 0,
                     std::size_t count = std::numeric_limits<std::size_t>::max()) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::vector<SessionHit> hits_;
  bool searched_ = false;
  bool narrowed_ = false;
  DWORD examined_ = 0;
};

}  // namespace Util::MarlinSearch

#endif  // WRENUTIL_WRENUTIL_SEARCHSESSION_H_
