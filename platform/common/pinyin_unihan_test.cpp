// The spelling table held against a second source: the characters that the
// installed Unihan database reads in one way only, listed at test time by
// scripts/unihan_single_readings.py (the test's fixture in CTest).
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/common/gbk.h"
#include "platform/common/pinyin.h"

namespace platform {
namespace {

struct Reading {
  wchar_t ch;
  std::string gbk;  // the character's two-byte GBK form
  std::string spelled;
};

// The listed characters that code page 936 holds in two bytes.
std::vector<Reading> LoadSingleReadings() {
  const char* path = WRENUTIL_UNIHAN_SINGLE_READINGS;
  std::vector<Reading> out;
  std::ifstream in(path);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path << "; run the tests through ctest";
    return out;
  }
  std::string hex;
  std::string spelled;
  while (in >> hex >> spelled) {
    const auto ch = static_cast<wchar_t>(std::stoul(hex, nullptr, 16));
    char bytes[2] = {};
    if (ch > 0xFFFF || EncodeGbkChar(ch, bytes) != 2) continue;
    out.push_back(Reading{ch, std::string(bytes, 2), spelled});
  }
  return out;
}

const std::vector<Reading>& SingleReadings() {
  static const std::vector<Reading> readings = LoadSingleReadings();
  return readings;
}

TEST(PinyinUnihanTest, EachCharacterWithOneReadingIsSpelledWithIt) {
  const std::vector<Reading>& readings = SingleReadings();
  // Some thirteen thousand GBK characters qualify; far fewer means the list
  // was not built from the real database.
  ASSERT_GT(readings.size(), 10000u);
  int wrong = 0;
  for (const Reading& r : readings) {
    const std::string spelled = Util::Py::MakeSpellCode(CKZStringA(r.gbk), 5).str();
    if (spelled == r.spelled) continue;
    if (++wrong <= 20) {
      ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(r.ch) << ": spelled \"" << spelled
                    << "\", Unihan reads \"" << r.spelled << "\"";
    }
  }
  EXPECT_EQ(wrong, 0);
}

// A text is spelled character by character: the readings of its Chinese
// characters in order, everything else kept, whatever the neighbours are.
TEST(PinyinUnihanTest, TextsAreSpelledCharacterByCharacter) {
  const std::vector<Reading>& readings = SingleReadings();
  ASSERT_FALSE(readings.empty());
  // Kept as they are: letters (case included), digits, space, and double-byte
  // symbols without a reading (full-width comma, ideographic space).
  const std::vector<std::string> kept = {"A", "z", "7", " ", "\xA3\xAC", "\xA1\xA1"};
  std::mt19937 rng(1509);
  CKZStringA reused;
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    std::string expected;
    for (std::size_t n = rng() % 12; n > 0; --n) {
      if (rng() % 3 == 0) {
        const std::string& k = kept[rng() % kept.size()];
        text += k;
        expected += k;
      } else {
        const Reading& r = readings[rng() % readings.size()];
        text += r.gbk;
        expected += r.spelled;
      }
    }
    SCOPED_TRACE(round);
    ASSERT_EQ(Util::Py::MakeSpellCode(CKZStringA(text), 5).str(), expected);
    // Other modes spell the same; the second form reuses its output.
    Util::Py::MakeSpellCode(CKZStringA(text), round % 7, &reused);
    ASSERT_EQ(reused.str(), expected);
  }
}

}  // namespace
}  // namespace platform
