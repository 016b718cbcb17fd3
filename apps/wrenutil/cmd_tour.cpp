// `wrenutil tour`: runs a few commands of the demo client one after the other,
// each shown with its command line, as a first look at what the library does
// (scripts/run without arguments shows it).
#include <ostream>
#include <string>
#include <string_view>

#include "apps/wrenutil/cli_support.h"
#include "apps/wrenutil/commands.h"

namespace wrenutil_app {
namespace {

// One step: a command line (without the program name). A step whose
// subcommand this build does not have is left out.
struct Step {
  const char* what;
  const char* command_line;
};

constexpr Step kSteps[] = {
    {"The sample organisation", "sample"},
    {"Its department tree", "sample depts"},
    {"A member as a property bag, with the type of every field", "bag show --sample 10011 --tree"},
    {"Contact search: a polyphonic surname by its pinyin", "search zeng"},
    {"Contact search: initials", "search zl"},
    {"Contact search: a phone number in the address book", "search 1387 --address --phones"},
    {"The buddy menu of a colleague", "menu buddy 10002"},
    {"The buddy menu of an outer contact", "menu buddy 2800000001"},
    {"The menu of an outer-contact group", "menu outer-group"},
    {"A member record converted into a KOA record and back", "koa --sample 10011"},
    {"Fitting a text into 120 pixels",
     "text fit --font \"WenQuanYi Micro Hei\" --size 9 --width 120 "
     "\"鹪鹩网络科技有限公司客户端开发部\""},
    {"Shortening a text at its beginning", "ellipsis \"鹪鹩网络科技有限公司客户端开发部\" --max 8"},
};

std::string_view FirstWord(std::string_view line) { return line.substr(0, line.find(' ')); }

bool HasSubcommand(CLI::App& app, std::string_view name) {
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (sub->get_name() == name) return true;
  }
  return false;
}

void RunTour(AppContext& context) {
  std::ostream& out = *context.out;
  int failed = 0;
  bool first = true;
  for (const Step& step : kSteps) {
    // A fresh parser per step: the commands keep their options per parser.
    CLI::App app{"wrenutil", "wrenutil"};
    app.require_subcommand(1);
    RegisterCommands(app, context);
    if (!HasSubcommand(app, FirstWord(step.command_line))) continue;
    out << (first ? "" : "\n") << "# " << step.what << "\n$ wrenutil " << step.command_line << '\n'
        << std::flush;
    first = false;
    context.exit_code = kExitOk;
    try {
      app.parse(step.command_line, false);
    } catch (const CLI::ParseError& e) {
      context.exit_code = ReportParseError(app, e, out, *context.err);
    }
    if (context.exit_code != kExitOk) {
      *context.err << "wrenutil: tour: the step above failed (exit code " << context.exit_code
                   << ")\n";
      ++failed;
    }
  }
  context.exit_code = failed == 0 ? kExitOk : kExitFailure;
}

}  // namespace

void RegisterTourCommand(CLI::App& app, AppContext& context) {
  app.add_subcommand("tour", "Run a few commands over the sample, as a first look")
      ->callback([&context] { RunTour(context); });
}

}  // namespace wrenutil_app
