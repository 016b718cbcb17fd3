// `wrenutil bag show FILE | --sample UIN [--json | --tree]`
// `wrenutil bag compare A B`
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "apps/wrenutil/bag_tree.h"
#include "apps/wrenutil/cli_support.h"
#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "apps/wrenutil/input_file.h"
#include "platform/common/kzjson.h"
#include "wrenutil/tools.h"

namespace wrenutil_app {
namespace {

// Reads a JSON record from a file; on failure reports through `context` and
// returns an empty pointer.
CKZComPtr<IKZData> LoadRecord(const std::string& path, AppContext& context) {
  std::string error;
  CKZComPtr<IKZData> data = ReadJsonRecord(path, &error);
  if (!data) context.Fail(error);
  return data;
}

struct ShowOptions {
  std::string file;
  std::optional<std::uint32_t> sample_uin;
  bool json_only = false;
  bool tree_only = false;
};

void RunShow(const ShowOptions& options, AppContext& context) {
  CKZComPtr<IKZData> data;
  if (options.sample_uin) {
    data = context.host->sample().FindContact(*options.sample_uin);
    if (!data) {
      context.Fail("no member or outer contact has the number " +
                   std::to_string(*options.sample_uin) + " (wrenutil sample lists them)");
      return;
    }
  } else {
    data = LoadRecord(options.file, context);
    if (!data) return;
  }
  std::ostream& out = *context.out;
  if (!options.tree_only) out << platform::KZDataToJson(data, 2) << '\n';
  if (!options.json_only) {
    if (!options.tree_only) out << '\n';
    out << FormatBagTree(data);
  }
}

void RunCompare(const std::string& first, const std::string& second, AppContext& context) {
  CKZComPtr<IKZData> a = LoadRecord(first, context);
  if (!a) return;
  CKZComPtr<IKZData> b = LoadRecord(second, context);
  if (!b) return;
  int equal = Util::Tools::CompareKZData(a, b);
  *context.out << (equal ? "equal" : "not equal") << '\n';
  if (!equal) context.exit_code = kExitFailure;
}

}  // namespace

void RegisterBagCommand(CLI::App& app, AppContext& context) {
  CLI::App* bag = app.add_subcommand("bag", "Show or compare property bags");
  bag->require_subcommand(1);

  auto show_options = std::make_shared<ShowOptions>();
  CLI::App* show = bag->add_subcommand(
      "show", "Print a record as JSON and as a tree with the type of every field");
  CLI::Option* file = show->add_option("file", show_options->file,
                                       "JSON file holding one record (typed JSON: {\"dwId\": 7, "
                                       "\"uint64_account\": {\"@u64\": 7}})")
                          ->type_name("FILE");
  CLI::Option* sample =
      show->add_option("--sample", show_options->sample_uin,
                       "Show the sample organisation's record of this contact number instead")
          ->type_name("UIN")
          ->check(WholeNumber(0xFFFFFFFFu));
  file->excludes(sample);
  sample->excludes(file);
  CLI::Option* json_only = show->add_flag("--json", show_options->json_only, "Print only the JSON");
  CLI::Option* tree_only = show->add_flag("--tree", show_options->tree_only, "Print only the tree");
  json_only->excludes(tree_only);
  show->callback([show_options, file, sample, &context] {
    if (file->count() == 0 && sample->count() == 0) {
      context.Fail("bag show: give a FILE or --sample UIN");
      return;
    }
    RunShow(*show_options, context);
  });

  auto files = std::make_shared<std::pair<std::string, std::string>>();
  CLI::App* compare =
      bag->add_subcommand("compare",
                          "Compare two records (JSON files) with Util::Tools::CompareKZData; "
                          "exit code 0 when equal, 1 when not");
  compare->add_option("a", files->first, "First JSON record")->required()->type_name("FILE");
  compare->add_option("b", files->second, "Second JSON record")->required()->type_name("FILE");
  compare->callback([files, &context] { RunCompare(files->first, files->second, context); });
}

}  // namespace wrenutil_app
