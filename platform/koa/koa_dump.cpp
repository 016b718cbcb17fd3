#include "platform/koa/koa_dump.h"

#include <charconv>
#include <cstdio>
#include <vector>

namespace KOA {
namespace {

constexpr const char* kKindNames[] = {"?",     "i8",   "u8",       "i16",    "u16",  "i32",  "u32",
                                      "i64",   "u64",  "float",    "double", "str",  "wstr", "buf",
                                      "array", "data", "datetime", "guid",   "null", "bool"};

void AppendHex(std::string& out, unsigned int byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += kDigits[(byte >> 4) & 0xF];
  out += kDigits[byte & 0xF];
}

void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      AppendHex(out, byte);
    } else {
      out += c;
    }
  }
  out += '"';
}

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  for (wchar_t wc : text) {
    auto cp = static_cast<std::uint32_t>(wc);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

template <class T>
void AppendNumber(std::string& out, T value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

// A record or array being written: the nested values are written by the
// loop in DumpTo, with an explicit stack, so any depth takes a bounded stack.
struct Open {
  std::shared_ptr<TData> data;    // a record, or
  std::shared_ptr<TArray> array;  // an array
  std::shared_ptr<TArray> names;  // the record's field names
  unsigned int next = 0;          // the next field or element
};

// Appends the value's kind name and, for a scalar, its text. A nested record
// or array that is not null is pushed on `stack` with its opening text
// written.
template <class Source, class Key>
void AppendValue(std::string& out, Source& src, Key key, unsigned int kind,
                 std::vector<Open>& stack);

void OpenData(std::string& out, std::shared_ptr<TData> data, std::vector<Open>& stack) {
  if (!data) {
    out += "null";
    return;
  }
  out += '{';
  std::shared_ptr<TArray> names = data->GetFieldNames();
  stack.push_back(Open{std::move(data), nullptr, std::move(names), 0});
}

void OpenArray(std::string& out, std::shared_ptr<TArray> array, std::vector<Open>& stack) {
  if (!array) {
    out += "array null";
    return;
  }
  out += "array<";
  out += KindName(array->GetType());
  out += "> [";
  stack.push_back(Open{nullptr, std::move(array), nullptr, 0});
}

template <class Source, class Key>
void AppendValue(std::string& out, Source& src, Key key, unsigned int kind,
                 std::vector<Open>& stack) {
  out += KindName(kind);
  switch (kind) {
    case kTypeInt8:
      out += ' ';
      AppendNumber(out, static_cast<int>(src.GetInt8(key)));
      return;
    case kTypeUInt8:
      out += ' ';
      AppendNumber(out, static_cast<unsigned>(src.GetUInt8(key)));
      return;
    case kTypeInt16:
      out += ' ';
      AppendNumber(out, src.GetInt16(key));
      return;
    case kTypeUInt16:
      out += ' ';
      AppendNumber(out, src.GetUInt16(key));
      return;
    case kTypeInt32:
      out += ' ';
      AppendNumber(out, src.GetInt32(key));
      return;
    case kTypeUInt32:
      out += ' ';
      AppendNumber(out, src.GetUInt32(key));
      return;
    case kTypeInt64:
      out += ' ';
      AppendNumber(out, src.GetInt64(key));
      return;
    case kTypeUInt64:
      out += ' ';
      AppendNumber(out, src.GetUInt64(key));
      return;
    case kTypeFloat:
      out += ' ';
      AppendNumber(out, src.GetFloat(key));
      return;
    case kTypeDouble:
      out += ' ';
      AppendNumber(out, src.GetDouble(key));
      return;
    case kTypeString:
      out += ' ';
      AppendQuoted(out, src.GetString(key));
      return;
    case kTypeWString:
      out += ' ';
      AppendQuoted(out, ToUtf8(src.GetWString(key)));
      return;
    case kTypeBuffer: {
      out += ' ';
      TBuffer b = src.GetBuffer(key);
      for (unsigned int i = 0; i < b.GetSize(); ++i) AppendHex(out, b.GetBuf()[i]);
      return;
    }
    case kTypeArray:
      out.resize(out.size() - 5);  // "array" is written with its kind
      OpenArray(out, src.GetArray(key), stack);
      return;
    case kTypeData:
      out += ' ';
      OpenData(out, src.GetData(key), stack);
      return;
    case kTypeDateTime:
      out += ' ';
      AppendNumber(out, src.GetDateTime(key).unix_ms);
      return;
    case kTypeGuid: {
      out += ' ';
      for (std::uint8_t byte : src.GetGuid(key).bytes) AppendHex(out, byte);
      return;
    }
    case kTypeBool:
      out += src.GetBool(key) ? " true" : " false";
      return;
    case kTypeNull:
      return;
    default:
      AppendNumber(out, kind);
      return;
  }
}

// Writes everything still open on `stack`, innermost first.
void Drain(std::string& out, std::vector<Open>& stack) {
  while (!stack.empty()) {
    Open& top = stack.back();
    if (top.data) {
      if (!top.names || top.next >= top.names->GetCount()) {
        out += '}';
        stack.pop_back();
        continue;
      }
      if (top.next > 0) out += ", ";
      const std::string name = top.names->GetString(top.next++);
      out += name;
      out += ": ";
      std::shared_ptr<TData> data = top.data;  // `top` may move when the stack grows
      AppendValue(out, *data, name, data->GetType(name), stack);
    } else {
      if (top.next >= top.array->GetCount()) {
        out += ']';
        stack.pop_back();
        continue;
      }
      if (top.next > 0) out += ", ";
      const unsigned int index = top.next++;
      std::shared_ptr<TArray> array = top.array;
      AppendValue(out, *array, index, array->GetElementType(index), stack);
    }
  }
}

}  // namespace

const char* KindName(unsigned int kind) {
  return kind <= kTypeBool ? kKindNames[kind] : kKindNames[0];
}

std::string DumpTData(const std::shared_ptr<TData>& data) {
  if (!data) return "data null";
  std::string out;
  std::vector<Open> stack;
  OpenData(out, data, stack);
  Drain(out, stack);
  return out;
}

std::string DumpTArray(const std::shared_ptr<TArray>& array) {
  std::string out;
  std::vector<Open> stack;
  OpenArray(out, array, stack);
  Drain(out, stack);
  return out;
}

}  // namespace KOA
