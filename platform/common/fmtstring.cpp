#include "platform/common/fmtstring.h"

void CFmtString::SetProperty(const wchar_t* name, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  SetPropertyV(name, format, args);
  va_end(args);
}

void CFmtString::SetPropertyV(const wchar_t* name, const wchar_t* format, va_list args) {
  if (name == nullptr || *name == L'\0') return;
  std::wstring value;
  if (format != nullptr) platform::AppendWideFormatV(&value, format, args);
  values_[name] = std::move(value);
}

CKZStringW CFmtString::Format(const wchar_t* text) const {
  if (text == nullptr) return CKZStringW();
  const std::wstring source = text;
  std::wstring out;
  out.reserve(source.size());
  std::size_t i = 0;
  while (i < source.size()) {
    const std::wstring* best_name = nullptr;
    const std::wstring* best_value = nullptr;
    for (const auto& [name, value] : values_) {
      if (source.compare(i, name.size(), name) == 0 &&
          (best_name == nullptr || name.size() > best_name->size())) {
        best_name = &name;
        best_value = &value;
      }
    }
    if (best_name != nullptr) {
      out += *best_value;
      i += best_name->size();
    } else {
      out += source[i++];
    }
  }
  return CKZStringW(std::move(out));
}
