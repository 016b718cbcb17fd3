// Contact search: analysis of a search key, matching of the key against the
// text fields of contacts, and the drivers that run the matcher over an
// array of records and collect hit records.
//
// A key is matched in one of two modes:
// - plain: the key is a substring of the lower-cased text;
// - spelling-aware: the key is compared byte by byte, in GBK, with the
//   romanised spellings (pinyin) of the text's characters: the initials of
//   consecutive Chinese characters, a prefix of one character's spelling, or
//   a run of whole spellings that ends inside the last one. Characters
//   without a spelling of their own (Latin letters, digits) are "spelled" as
//   themselves.
// The key's classes of characters (`KeyClassMask`) choose the mode.
//
// Every hit is one record (`IKZData`) appended to a result array. It holds,
// in this order: a copy of every field of the searched record (when there is
// one), "nHitPos" (int32: index of the first matched character of the text),
// "nHitLen" (int32: number of matched characters), "strMatchedContent" (the
// whole matched text) and "strMatchedFieldName" (the field's name).
// Positions and lengths count wide characters of the text.
//
// Broken preconditions are reported through KZAssert with the expression
// "FALSE", the source text "wrenutil\utilmarlinsearch" and a fixed line; the
// function then takes its failure path. Nothing here throws, and no state is
// kept between calls.
//
// Choices of this implementation, where the design leaves them open:
// - Spellings come from the platform's pinyin table (Util::Py::MakeSpellCode;
//   the scan uses its one-character form): one reading per character,
//   surnames read as surnames (see platform/common/pinyin.h).
// - GBK conversions are strict: a character without a GBK form is skipped in
//   the analysis and in the scan, and a key holding one has no GBK form at
//   all (the spelling-aware mode asserts line 676).
// - Record fields are copied into hit records deeply (IKZDataRead::CopyTo).
// - A hit record that cannot be created is skipped (no hit, no crash).
// - A null out-pointer of a driver is not written: the search runs, its
//   result is released, and the result code is that of the search.
// - A string field read is taken up to its first zero character.
// - After a restart of the spelling scan the initials keep the letters of
//   the characters examined again (as the scan's rules say), so an initials
//   hit found after a restart may report a span that starts before the
//   text ("nHitPos" negative); it always ends inside the text. Callers that
//   highlight clamp the span to the text.
#ifndef WRENUTIL_WRENUTIL_UTILMARLINSEARCH_H_
#define WRENUTIL_WRENUTIL_UTILMARLINSEARCH_H_

#include <cstdint>
#include <vector>

#include "platform/common/kzdata.h"
#include "platform/common/kzstring.h"
#include "wrenutil/export.h"

namespace Util::MarlinSearch {

// Bits of the key class mask built by AnalyseKey.
inline constexpr BYTE kKeyHasDoubleByte = 0x01;  // GBK form starts with a lead byte
inline constexpr BYTE kKeyHasDigit = 0x02;       // ASCII 0-9
inline constexpr BYTE kKeyHasLetter = 0x04;      // ASCII A-Z, a-z
inline constexpr BYTE kKeyHasOther = 0x08;       // any other single-byte char

// Classifies the characters of `key`. Sets `mask` to 0, then to the OR of the
// class bits of every character that converts to GBK (characters without a
// GBK form are skipped). Appends to `runs` (not cleared first) every maximal
// run of consecutive double-byte characters, in key order. An empty key
// leaves the mask 0 and `runs` unchanged.
WRENUTIL_API void AnalyseKey(const CKZStringW& key, BYTE& mask, std::vector<CKZStringW>& runs);

// Matches one field of one record. `key` must already be lower case; `mask`
// and `runs` come from AnalyseKey on that key (`runs` may be null: no run).
// The mode follows the mask: no double-byte character: spelling-aware when
// the key has a letter, else plain; double-byte characters only: plain;
// mixed: spelling-aware with the key as given, then, when the key has runs,
// again with the key's own spelling. On a match appends one hit record to
// `hits` (borrowed) naming `field_name`, with the fields of `record`
// (borrowed; may be null) copied in, and returns 1; else returns 0. An empty
// `content` is no hit; an empty key or a null `hits` is asserted (line 621)
// and gives 0.
WRENUTIL_API int MatchFiled(BYTE mask, const CKZStringW& field_name, const CKZStringW& content,
                            const CKZStringW& key, IKZArray* hits, std::vector<CKZStringW>* runs,
                            IKZDataRead* record);

// Checks one key against one text. The key is lower-cased and analysed; a key
// with no classifiable character gives 0. On a match returns 1 and, when
// `hits` is not null, stores in *hits a new array holding the one hit record
// (empty field name, no record fields), with one reference for the caller.
// Otherwise returns 0 and does not write *hits.
WRENUTIL_API int DoMatch(const CKZStringW& key, const CKZStringW& content, IKZArray** hits);

// The search drivers. Each lower-cases `key`, analyses it, and visits the
// records of `items` (borrowed) in index order, trying the record's texts
// in the driver's order with MatchFiled; the first text that matches ends
// the record, so a record yields at most one hit. Before each record the scan
// stops once more than `limit` records matched: at most limit + 1 hits.
//
// Results: 0 on success; on a search that ran, *result receives the array of
// hit records (possibly empty) with one reference for the caller.
// E_INVALIDARG (0x80070057) for an empty key or null `items`, asserted;
// E_FAIL (0x80004005) when the result array cannot be created, asserted.
// *result is not written when the call fails, when `items` is empty, when
// there is no field to visit, or when no character of the key classifies;
// callers preset it to null. Null records of `items` are skipped.
//
// DoSearch visits the string fields named in `fields`, in order. A missing
// or empty field is no hit.
WRENUTIL_API long DoSearch(const CKZStringW& key, IKZArrayRead* items,
                           const std::vector<CKZStringA>& fields, std::uint32_t limit,
                           IKZArray** result);

// DoSearch2 visits the string fields, then each element of the string-array
// fields `array_fields`, then each element of the unsigned 64-bit array
// fields `number_fields` as decimal text. When the configuration value
// "hide_clm_number" is "1", numbers of the field "rpt_uint64_lm" are tried
// only when the organisation-membership service reports their low 32 bits as
// a member of the user's own organisation.
WRENUTIL_API long DoSearch2(const CKZStringW& key, IKZArrayRead* items,
                            const std::vector<CKZStringA>& fields,
                            const std::vector<CKZStringA>& array_fields,
                            const std::vector<CKZStringA>& number_fields, std::uint32_t limit,
                            IKZArray** result);

// DoSearch_Address visits the string fields, then (when `search_lm` is
// non-zero) the "uint64_account" of each record of the array "rpt_str_lm" as
// decimal text, then (when `search_phones` is non-zero) the "str_account" of
// each record of the array "rpt_str_mobile_phone"; a phone hit also gets the
// uint32 field "nSearchHitMobilephoneIndex", the index of the phone entry.
WRENUTIL_API long DoSearch_Address(const CKZStringW& key, IKZArrayRead* items,
                                   const std::vector<CKZStringA>& fields, int search_lm,
                                   int search_phones, std::uint32_t limit, IKZArray** result);

// ---------------------------------------------------------------------------
// Steps of the matcher and of the drivers, exported for tests and tools.

// Decides whether `key` matches `content`. `spell_mode` 0: plain substring of
// the lower-cased content (the key is not lower-cased); non-zero:
// spelling-aware, after checking that every run of `runs` (may be null)
// occurs in `content` with strictly increasing first occurrences. On a match
// returns 1 with `position` and `length` set; else 0 (position -1 and length
// 0 once the texts were found non-empty). A key without a GBK form in the
// spelling-aware mode is asserted (line 676).
WRENUTIL_API int Match(const CKZStringW& content, const CKZStringW& key, int spell_mode,
                       std::vector<CKZStringW>* runs, int& position, int& length);

// Appends one hit record to `hits` (see the file comment). Null `hits` is
// ignored.
WRENUTIL_API void InsertMatchedItem(IKZArray* hits, const CKZStringW& content,
                                    const CKZStringW& field_name, int position, int length,
                                    IKZDataRead* record);

// Match, then InsertMatchedItem on a match; 1 when a hit record was written.
// Empty content: 0. Empty key or null hits: asserted (line 621), 0.
WRENUTIL_API int MatchAndInsert(const CKZStringW& field_name, const CKZStringW& content,
                                const CKZStringW& key, IKZArray* hits, int spell_mode,
                                std::vector<CKZStringW>* runs, IKZDataRead* record);

// The value of configuration item `name`: from the service
// {72D031DF-6250-4136-B387-D5C432A5F472}, or, when that service is missing
// or has no value, from {219FDE05-B96C-4E39-B969-6BF32C2B17E4}; empty when
// neither has one.
WRENUTIL_API CKZStringW GetSearchConfigString(const CKZStringW& name);

// True when GetSearchConfigString("hide_clm_number") is "1".
WRENUTIL_API bool IsHideLMNumber();

}  // namespace Util::MarlinSearch

#endif  // WRENUTIL_WRENUTIL_UTILMARLINSEARCH_H_
