// Fuzzes the spelling of GBK bytes, valid or not: lead bytes at the end,
// lead bytes followed by bytes that trail nothing, zeros. AppendSpelling and
// MakeSpellCode must agree with a byte-by-byte reading through SpellGbkChar,
// and the table reader of the search (CharSpeller) with SpellGbkChar.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/common/gbk.h"
#include "platform/common/pinyin.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The spelling as the header describes it, one character at a time.
std::string Literal(std::string_view gbk) {
  std::string out;
  for (std::size_t i = 0; i < gbk.size(); ++i) {
    const auto lead = static_cast<unsigned char>(gbk[i]);
    if (!IsDBCSLeadByte(lead) || i + 1 == gbk.size()) {
      out += gbk[i];
      continue;
    }
    const auto trail = static_cast<unsigned char>(gbk[i + 1]);
    const std::string_view reading = platform::SpellGbkChar(lead, trail);
    out += reading.empty() ? gbk.substr(i, 2) : reading;
    ++i;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view gbk(reinterpret_cast<const char*>(data), size);
  const std::string expected = Literal(gbk);

  std::string spelled = "kept";
  platform::AppendSpelling(gbk, &spelled);
  Check(spelled == "kept" + expected);

  const CKZStringA text(std::string(gbk).c_str());  // up to the first zero byte
  const std::string up_to_zero(text.GetString());
  const CKZStringA code = Util::Py::MakeSpellCode(text, 5);
  Check(code.str() == Literal(up_to_zero));
  CKZStringA reused("old");
  Util::Py::MakeSpellCode(text, 0, &reused);
  Check(reused.str() == code.str());

  static const platform::CharSpeller speller;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const unsigned code_point = data[i] * 0x100u + data[i + 1];
    const std::string_view reading = platform::SpellGbkChar(data[i], data[i + 1]);
    Check(speller.Spelling(code_point) == reading);
    for (char c : reading) Check(c >= 'a' && c <= 'z');
    // A character spells as the code it encodes to.
    const wchar_t ch = platform::DecodeGbkCode(code_point);
    char back[2];
    if (ch != 0 && platform::EncodeGbkChar(ch, back) == 2 &&
        static_cast<std::uint8_t>(back[0]) == data[i] &&
        static_cast<std::uint8_t>(back[1]) == data[i + 1]) {
      Check(platform::SpellChar(ch) == reading);
    }
  }
  return 0;
}
