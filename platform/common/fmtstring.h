// CFmtString: texts with named placeholders ("_MAXCOUNT_", "_NAME_"), each
// given its value with a printf format of the client's convention.
//
//   CFmtString fmt;
//   fmt.SetProperty(L"_MAXCOUNT_", L"%lu", 100ul);
//   CKZStringW text = fmt.Format(L"at most _MAXCOUNT_ contacts");
//
// Choices of this stand-in:
// - A placeholder is found by exact, case-sensitive comparison; every
//   occurrence is replaced. Where two names could match at one position the
//   longer wins.
// - Replaced values are not searched again, so a value that contains a
//   placeholder name stays as it is.
// - Placeholders that were never set stay in the text unchanged.
// - Setting a property again replaces its value; a null or empty name is
//   ignored, a null format stores the empty value.
#ifndef WRENUTIL_PLATFORM_COMMON_FMTSTRING_H_
#define WRENUTIL_PLATFORM_COMMON_FMTSTRING_H_

#include <cstdarg>
#include <map>
#include <string>

#include "platform/common/kzbase.h"
#include "platform/common/kzstring.h"

class KZ_PLATFORM_API CFmtString {
 public:
  CFmtString() = default;

  // Sets the value of the placeholder `name` to the arguments formatted with
  // `format` (see kzstring.h for the conventions; pass arguments of the
  // width the format names, e.g. unsigned long for "%lu").
  void SetProperty(const wchar_t* name, const wchar_t* format, ...);
  void SetPropertyV(const wchar_t* name, const wchar_t* format, va_list args);

  // `text` with every set placeholder replaced by its value. Null text: the
  // empty text.
  CKZStringW Format(const wchar_t* text) const;

 private:
  std::map<std::wstring, std::wstring> values_;
};

#endif  // WRENUTIL_PLATFORM_COMMON_FMTSTRING_H_
