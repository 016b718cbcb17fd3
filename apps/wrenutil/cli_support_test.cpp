#include "apps/wrenutil/cli_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "apps/wrenutil/app_context.h"

namespace wrenutil_app {
namespace {

// What a validator answers for `text`: empty when accepted.
std::string Check(const CLI::Validator& validator, std::string text) { return validator(text); }

TEST(NumberCheckTest, WholeNumbersAreDigitsWithinTheRange) {
  const CLI::Validator u32 = WholeNumber(0xFFFFFFFFu);
  struct Case {
    const char* text;
    bool ok;
  };
  const Case kCases[] = {
      {"0", true},
      {"4294967295", true},
      {"007", true},
      {"4294967296", false},  // would wrap to 0
      {"-1", false},          // would wrap to the largest number
      {"+1", false},
      {" 1", false},
      {"1 ", false},
      {"1e3", false},
      {"0x10", false},
      {"", false},
      {"99999999999999999999999999", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    const std::string answer = Check(u32, c.text);
    EXPECT_EQ(answer.empty(), c.ok) << answer;
    if (!c.ok) {
      EXPECT_EQ(answer, std::string("could not convert \"") + c.text +
                            "\": want a whole number from 0 to 4294967295");
    }
    DWORD value = 7;
    EXPECT_EQ(ParseU32(c.text, &value), c.ok);
    if (!c.ok) {
      EXPECT_EQ(value, 7u) << "a refused text leaves the value";
    }
  }
  DWORD value = 0;
  ASSERT_TRUE(ParseU32("4294967295", &value));
  EXPECT_EQ(value, 4294967295u);
  EXPECT_FALSE(Check(WholeNumber(10), "11").empty());
  EXPECT_TRUE(Check(WholeNumber(10), "10").empty());
}

TEST(NumberCheckTest, DecimalNumbersAreFiniteAndWithinTheRange) {
  const CLI::Validator size = NumberIn(0.1, 1000);
  struct Case {
    const char* text;
    bool ok;
  };
  const Case kCases[] = {
      {"0.1", true},     {"9", true},   {"1000", true}, {"1e3", true},  {"0.09", false},
      {"1000.5", false}, {"-3", false}, {"nan", false}, {"inf", false}, {"-inf", false},
      {"1e400", false},  {"", false},   {"9pt", false}, {"abc", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    const std::string answer = Check(size, c.text);
    EXPECT_EQ(answer.empty(), c.ok) << answer;
    if (!c.ok) {
      // The range reads as written, never as a 300-digit number.
      EXPECT_EQ(answer, std::string("could not convert \"") + c.text +
                            "\": want a number from 0.1 to 1000");
    }
  }
}

// A pseudo-terminal, so that the terminal rule can be seen both ways.
class Terminal {
 public:
  Terminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
      slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
    }
  }
  ~Terminal() {
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
  }
  int fd() const { return slave_; }

 private:
  int master_ = -1;
  int slave_ = -1;
};

// Restores NO_COLOR as the test found it.
class NoColorGuard {
 public:
  NoColorGuard() {
    if (const char* v = getenv("NO_COLOR")) saved_ = v, had_ = true;
  }
  ~NoColorGuard() {
    if (had_) {
      setenv("NO_COLOR", saved_.c_str(), 1);
    } else {
      unsetenv("NO_COLOR");
    }
  }

 private:
  std::string saved_;
  bool had_ = false;
};

TEST(ColourTest, OnlyOnATerminalAndNeverWithNoColor) {
  NoColorGuard guard;
  Terminal terminal;
  if (terminal.fd() < 0) GTEST_SKIP() << "no pseudo-terminal";
  const int file = open("/dev/null", O_WRONLY);
  ASSERT_GE(file, 0);
  struct Case {
    const char* no_color;  // null: unset
    bool on_terminal;
  };
  const Case kCases[] = {{nullptr, true}, {"", true}, {"1", false}, {"0", false}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.no_color ? c.no_color : "(unset)");
    if (c.no_color) {
      setenv("NO_COLOR", c.no_color, 1);
    } else {
      unsetenv("NO_COLOR");
    }
    EXPECT_EQ(UseColour(terminal.fd()), c.on_terminal);
    EXPECT_FALSE(UseColour(file));
  }
  close(file);
}

// The shape of the demo client's parser: options, nested subcommands.
struct Parsed {
  int code = -1;
  std::string out, err;
};

Parsed Parse(std::vector<std::string> args) {
  CLI::App app{"demo", "wrenutil"};
  app.set_version_flag("--version", "wrenutil 1.2.3");
  app.require_subcommand(1);
  app.fallthrough();
  bool log = false;
  app.add_flag("--log", log);
  CLI::App* bag = app.add_subcommand("bag", "bags");
  bag->require_subcommand(1);
  std::string file;
  bag->add_subcommand("show", "show")->add_option("file", file);
  unsigned max = 0;
  app.add_subcommand("ellipsis", "ellipsis")
      ->add_option("--max", max)
      ->required()
      ->check(WholeNumber(100));
  Parsed p;
  std::ostringstream out, err;
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
    p.code = kExitOk;
  } catch (const CLI::ParseError& e) {
    p.code = ReportParseError(app, e, out, err);
  }
  p.out = out.str();
  p.err = err.str();
  return p;
}

TEST(ParseErrorTest, EveryRefusalIsAUsageErrorInOneForm) {
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string err;  // the whole standard error
  };
  const Case kCases[] = {
      {{"frobnicate"},
       2,
       "wrenutil: error: unknown subcommand \"frobnicate\"\n(wrenutil --help shows the usage)\n"},
      {{"--log", "frobnicate"},
       2,
       "wrenutil: error: unknown subcommand \"frobnicate\"\n(wrenutil --help shows the usage)\n"},
      {{"bag", "frob"},
       2,
       "wrenutil: error: unknown subcommand \"frob\"\n(wrenutil bag --help shows the usage)\n"},
      {{"bag"},
       2,
       "wrenutil: error: A subcommand is required\n(wrenutil bag --help shows the usage)\n"},
      {{"ellipsis", "--max", "-1"},
       2,
       "wrenutil: error: --max: could not convert \"-1\": want a whole number from 0 to 100\n"
       "(wrenutil ellipsis --help shows the usage)\n"},
      {{"ellipsis", "--max", "5", "--frob"},
       2,
       "wrenutil: error: The following argument was not expected: --frob\n"
       "(wrenutil ellipsis --help shows the usage)\n"},
      {{"bag", "show", "x", "--log"}, 0, ""},  // program options after the subcommand
      {{"--help"}, 0, ""},
      {{"--version"}, 0, ""},
  };
  for (const Case& c : kCases) {
    std::string line;
    for (const std::string& a : c.args) line += a + " ";
    SCOPED_TRACE(line);
    const Parsed p = Parse(c.args);
    EXPECT_EQ(p.code, c.code);
    EXPECT_EQ(p.err, c.err);
  }
  EXPECT_NE(Parse({"--help"}).out.find("Usage: wrenutil"), std::string::npos);
  EXPECT_EQ(Parse({"--version"}).out, "wrenutil 1.2.3\n");
}

}  // namespace
}  // namespace wrenutil_app
