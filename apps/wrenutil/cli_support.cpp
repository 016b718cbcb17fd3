#include "apps/wrenutil/cli_support.h"

#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>

#include "apps/wrenutil/app_context.h"

namespace wrenutil_app {
namespace {

std::string Refusal(const std::string& text, const std::string& want) {
  return "could not convert \"" + text + "\": want " + want;
}

// Shortest text that reads back as `value` (no 300-digit ranges).
std::string Shortest(double value) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::to_string(value);
}

bool ParseWhole(std::string_view text, std::uint64_t* value) {
  if (text.empty() || text.size() > 20) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

// The subcommand parsed last (the one whose arguments were being read).
const CLI::App* Deepest(const CLI::App& app) {
  const CLI::App* deepest = &app;
  for (;;) {
    const auto parsed = deepest->get_subcommands();
    if (parsed.empty()) return deepest;
    deepest = parsed.front();
  }
}

std::string CommandPath(const CLI::App* app) {
  std::string path;
  for (const CLI::App* a = app; a != nullptr; a = a->get_parent()) {
    path = a->get_name() + (path.empty() ? "" : " ") + path;
  }
  return path;
}

}  // namespace

int ReportParseError(const CLI::App& app, const CLI::ParseError& error, std::ostream& out,
                     std::ostream& err) {
  if (error.get_exit_code() == 0) {
    // --help or --version: CLI11 prints them.
    return const_cast<CLI::App&>(app).exit(error, out, err) == 0 ? kExitOk : kExitUsage;
  }
  std::string message = error.what();
  const CLI::App* deepest = Deepest(app);
  const std::vector<std::string> left = app.remaining();
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && !left.empty() &&
      !left.front().empty() && left.front()[0] != '-' && !deepest->get_subcommands({}).empty()) {
    message = "unknown subcommand \"" + left.front() + "\"";
  }
  err << "wrenutil: error: " << message << "\n(" << CommandPath(deepest)
      << " --help shows the usage)\n";
  return kExitUsage;
}

CLI::Validator WholeNumber(std::uint64_t max) {
  const std::string want = "a whole number from 0 to " + std::to_string(max);
  return CLI::Validator(
      [max, want](std::string& text) -> std::string {
        std::uint64_t value = 0;
        if (!ParseWhole(text, &value) || value > max) return Refusal(text, want);
        return {};
      },
      "0.." + std::to_string(max));
}

CLI::Validator NumberIn(double low, double high) {
  const std::string want = "a number from " + Shortest(low) + " to " + Shortest(high);
  return CLI::Validator(
      [low, high, want](std::string& text) -> std::string {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value) ||
            value < low || value > high) {
          return Refusal(text, want);
        }
        return {};
      },
      Shortest(low) + ".." + Shortest(high));
}

bool ParseU32(std::string_view text, DWORD* value) {
  std::uint64_t whole = 0;
  if (!ParseWhole(text, &whole) || whole > 0xFFFFFFFFu) return false;
  *value = static_cast<DWORD>(whole);
  return true;
}

bool UseColour(int fd) {
  const char* no_colour = std::getenv("NO_COLOR");
  if (no_colour != nullptr && no_colour[0] != '\0') return false;
  return isatty(fd) != 0;
}

}  // namespace wrenutil_app
