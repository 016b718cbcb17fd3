// `wrenutil ellipsis TEXT --max N`: shortens a text at its beginning with
// Util::Tools::StringBeginEllipsis. Lengths count characters (Unicode code
// points: wide characters are 32 bits here).
#include <memory>
#include <ostream>
#include <string>

#include "apps/wrenutil/cli_support.h"
#include "apps/wrenutil/commands.h"
#include "platform/common/convert.h"
#include "platform/common/kzstring.h"
#include "wrenutil/tools.h"

namespace wrenutil_app {
namespace {

struct EllipsisOptions {
  std::string text;
  unsigned long max = 0;
  bool show_length = false;
};

void RunEllipsis(const EllipsisOptions& options, AppContext& context) {
  CKZStringW text(kUtf8, options.text.data(), static_cast<int>(options.text.size()));
  CKZStringW result;
  Util::Tools::StringBeginEllipsis(text, result, options.max);
  *context.out << Util::Convert::Utf8FromWS(result, result.GetLength()).str();
  if (options.show_length) {
    *context.out << "\t(" << text.GetLength() << " -> " << result.GetLength() << " characters)";
  }
  *context.out << '\n';
}

}  // namespace

void RegisterEllipsisCommand(CLI::App& app, AppContext& context) {
  auto options = std::make_shared<EllipsisOptions>();
  CLI::App* cmd =
      app.add_subcommand("ellipsis",
                         "Shorten a text at its beginning: a text of more than MAX characters "
                         "becomes \"...\" followed by its last MAX - 1 characters (MAX + 2 in "
                         "all); a shorter one is printed as it is");
  cmd->add_option("text", options->text, "The text (UTF-8)")->required();
  cmd->add_option("--max,-n", options->max,
                  "The longest text kept whole, in characters (Unicode code points)")
      ->required()
      ->type_name("MAX")
      ->check(WholeNumber(0xFFFFFFFFu));
  cmd->add_flag("--lengths", options->show_length,
                "Also print the lengths before and after, in characters");
  cmd->callback([options, &context] { RunEllipsis(*options, context); });
}

}  // namespace wrenutil_app
