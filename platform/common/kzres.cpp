#include "platform/common/kzres.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/common/convert.h"
#include "platform/common/kzcore.h"

// The embedded table (JSON text), generated from default_strings.json.
extern const char kWrenutilDefaultStrings[];

namespace {

using Table = std::map<std::wstring, std::map<std::wstring, std::wstring>>;

std::wstring Wide(const std::string& s) {
  return Util::Convert::Utf8ToWS(s.data(), static_cast<int>(s.size())).str();
}

bool Merge(const std::string& text, Table* table, std::string* error) {
  try {
    auto j = nlohmann::json::parse(text);
    if (!j.is_object()) throw std::runtime_error("the top level must be an object");
    Table add;
    for (const auto& [section, keys] : j.items()) {
      if (!keys.is_object())
        throw std::runtime_error("section \"" + section + "\" must be an object");
      for (const auto& [key, value] : keys.items()) {
        if (!value.is_string())
          throw std::runtime_error("text of \"" + key + "\" must be a string");
        add[Wide(section)][Wide(key)] = Wide(value.get<std::string>());
      }
    }
    for (auto& [section, keys] : add) {
      for (auto& [key, value] : keys) (*table)[section][key] = std::move(value);
    }
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

struct Strings {
  std::mutex mutex;
  Table table;
  Strings() { Reset(); }
  void Reset() {
    table.clear();
    Merge(kWrenutilDefaultStrings, &table, nullptr);
    if (const char* path = std::getenv("WRENUTIL_STRINGS"); path && *path) {
      std::ifstream in(path);
      std::stringstream ss;
      ss << in.rdbuf();
      Merge(ss.str(), &table, nullptr);
    }
  }
};

Strings& GetStrings() {
  static Strings* strings = new Strings();
  return *strings;
}

}  // namespace

CKZStringW KZLoadString(const wchar_t* key, const wchar_t* section) {
  std::wstring k = key ? key : L"";
  if (key != nullptr && section != nullptr) {
    Strings& s = GetStrings();
    std::lock_guard lock(s.mutex);
    auto sec = s.table.find(section);
    if (sec != s.table.end()) {
      auto it = sec->second.find(k);
      if (it != sec->second.end()) return CKZStringW(it->second);
    }
  }
  return CKZStringW(L"[" + k + L"]");
}

CKZStringW KZLoadString(const char* key, const char* section) {
  CKZStringW k = Util::Convert::Utf8ToWS(key, -1);
  CKZStringW s = Util::Convert::Utf8ToWS(section, -1);
  return KZLoadString(key ? k.GetString() : nullptr, section ? s.GetString() : nullptr);
}

namespace platform {

bool LoadStringTable(const std::string& path, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    if (error) *error = "cannot open " + path;
    return false;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  Strings& s = GetStrings();
  std::lock_guard lock(s.mutex);
  return Merge(ss.str(), &s.table, error);
}

void SetLocalString(const std::wstring& section, const std::wstring& key,
                    const std::wstring& text) {
  Strings& s = GetStrings();
  std::lock_guard lock(s.mutex);
  s.table[section][key] = text;
}

void ResetStringTable() {
  Strings& s = GetStrings();
  std::lock_guard lock(s.mutex);
  s.Reset();
}

}  // namespace platform

namespace {
// A fresh platform world starts from here (platform::ResetPlatformWorld).
[[maybe_unused]] const bool kResetWithTheWorld =
    platform::internal::AtWorldReset([] { platform::ResetStringTable(); });
}  // namespace
