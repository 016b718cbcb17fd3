#include "platform/common/pinyin.h"

#include <array>
#include <cstdint>
#include <iterator>

#include "platform/common/gbk.h"

namespace platform {
namespace {

struct PinyinEntry {
  std::uint16_t code_point;
  std::uint16_t syllable;
};

#include "platform/common/pinyin_table.inc"

constexpr unsigned kFirstLead = 0x81;
constexpr unsigned kLeadCount = 0xFE - 0x81 + 1;

// Syllable index of every two-byte GBK code, at (lead - 0x81) * 256 + trail;
// 0 for none. Built once from the generated table through the GBK tables.
struct SpellTable {
  std::uint16_t syllable[kLeadCount * 0x100];
};

const SpellTable& Table() {
  static const SpellTable* const table = [] {
    auto* t = new SpellTable{};  // kept for the life of the process
    for (const PinyinEntry& e : kPinyinEntries) {
      char bytes[2];
      if (EncodeGbkChar(static_cast<wchar_t>(e.code_point), bytes) != 2) {
        continue;
      }
      auto lead = static_cast<unsigned char>(bytes[0]);
      auto trail = static_cast<unsigned char>(bytes[1]);
      t->syllable[(lead - kFirstLead) * 0x100 + trail] = e.syllable;
    }
    return t;
  }();
  return *table;
}

static_assert(std::size(kPinyinSyllables) < 0x10000);

constexpr auto kSyllableViews = [] {
  std::array<std::string_view, std::size(kPinyinSyllables)> views{};
  for (std::size_t i = 0; i < views.size(); ++i) views[i] = kPinyinSyllables[i];
  return views;
}();

}  // namespace

std::string_view SpellGbkChar(unsigned char lead, unsigned char trail) {
  if (!IsDBCSLeadByte(lead)) return {};
  std::uint16_t s = Table().syllable[(lead - kFirstLead) * 0x100 + trail];
  return kSyllableViews[s];
}

std::string_view SpellChar(wchar_t ch) {
  char bytes[2];
  if (EncodeGbkChar(ch, bytes) != 2) return {};
  return SpellGbkChar(static_cast<unsigned char>(bytes[0]), static_cast<unsigned char>(bytes[1]));
}

CharSpeller::CharSpeller()
    : gbk_(GbkCodeTable()),
      syllable_(Table().syllable),
      syllables_(kSyllableViews.data()),
      syllable_count_(static_cast<std::uint32_t>(kSyllableViews.size())) {}

void AppendSpelling(std::string_view gbk, std::string* out) {
  if (out == nullptr) return;
  const SpellTable& table = Table();
  for (std::size_t i = 0; i < gbk.size(); ++i) {
    auto b = static_cast<unsigned char>(gbk[i]);
    if (!IsDBCSLeadByte(b) || i + 1 == gbk.size()) {
      out->push_back(gbk[i]);
      continue;
    }
    auto trail = static_cast<unsigned char>(gbk[i + 1]);
    std::uint16_t s = table.syllable[(b - kFirstLead) * 0x100 + trail];
    if (s != 0) {
      out->append(kSyllableViews[s]);
    } else {
      out->append(gbk.substr(i, 2));
    }
    ++i;
  }
}

}  // namespace platform

namespace Util::Py {

CKZStringA MakeSpellCode(const CKZStringA& text, int mode) {
  CKZStringA out;
  MakeSpellCode(text, mode, &out);
  return out;
}

void MakeSpellCode(const CKZStringA& text, int /*mode*/, CKZStringA* out) {
  if (out == nullptr || out == &text) return;
  out->str().clear();
  platform::AppendSpelling(text.str(), &out->str());
}

}  // namespace Util::Py
