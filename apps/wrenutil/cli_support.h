// What every subcommand of the demo client shares on the command line: the
// exit codes of parse errors, checks of numbers, and when to use colour.
#ifndef WRENUTIL_APPS_WRENUTIL_CLI_SUPPORT_H_
#define WRENUTIL_APPS_WRENUTIL_CLI_SUPPORT_H_

#include <CLI/CLI.hpp>
#include <cstdint>
#include <iosfwd>
#include <string_view>

#include "platform/common/kzbase.h"

namespace wrenutil_app {

// Reports a parse error of `app` (the top-level parser) the way every other
// error is reported, "wrenutil: error: <message>", and returns the exit code:
// 0 for --help and --version (printed to `out`), 2 for everything else. A
// word where a subcommand belongs is "unknown subcommand".
int ReportParseError(const CLI::App& app, const CLI::ParseError& error, std::ostream& out,
                     std::ostream& err);

// Check of an option's text, run before CLI11 converts it: a whole number
// from 0 to `max` in decimal digits (no sign, no exponent). Anything else is
// refused with "could not convert "TEXT": want a whole number from 0 to MAX".
CLI::Validator WholeNumber(std::uint64_t max);
// A finite decimal number from `low` to `high` (both included); "nan",
// "inf" and out-of-range values are refused in the same words.
CLI::Validator NumberIn(double low, double high);

// A contact or department number: decimal digits, 0 to 4294967295.
bool ParseU32(std::string_view text, DWORD* value);

// Colour on the stream of `fd` only when it is a terminal and NO_COLOR is
// unset or empty.
bool UseColour(int fd);

}  // namespace wrenutil_app

#endif  // WRENUTIL_APPS_WRENUTIL_CLI_SUPPORT_H_
