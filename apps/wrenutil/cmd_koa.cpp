// `wrenutil koa FILE | --sample UIN [--bool-u64-to-dword] [--dword-to-u64]
//               [--rename FROM=TO ...]`
//
// Converts a record (a JSON object, or a contact of the sample organisation)
// into a KOA record with KOADataUtil::Data::KZDataToTData and back with
// TDataToKZData, or a JSON array into a KOA array with
// KOADataUtil::Array::KZArrayToTArray and back with TArrayToKZArray. Prints
// the KOA value, the KOA kind of every top-level field or element, the bag
// that came back as JSON, and whether it equals the input. The flags fill the
// options record given to both conversions.
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "apps/wrenutil/cli_support.h"
#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "apps/wrenutil/input_file.h"
#include "platform/common/kzjson.h"
#include "platform/koa/koa.h"
#include "platform/koa/koa_dump.h"
#include "wrenutil/marlinsdkutil/koadatautil.h"

namespace wrenutil_app {
namespace {

struct KoaOptions {
  std::string file;
  std::optional<std::uint32_t> sample_uin;
  bool bool_u64_to_dword = false;
  bool dword_to_u64 = false;
  std::vector<std::string> renames;
};

// The options record of the flags, or an empty pointer when none is given.
// A rename without '=' or with an empty source name is bad input.
std::shared_ptr<KOA::TData> MakeOptions(const KoaOptions& o, AppContext& context) {
  if (!o.bool_u64_to_dword && !o.dword_to_u64 && o.renames.empty()) return nullptr;
  std::shared_ptr<KOA::TData> options = KOA::TData::CreateTData(8);
  if (o.bool_u64_to_dword) options->SetBool("BoolU64ToDWord", true);
  if (o.dword_to_u64) options->SetBool("DWordToU64", true);
  for (const std::string& rename : o.renames) {
    const std::size_t eq = rename.find('=');
    if (eq == std::string::npos || eq == 0) {
      context.Fail("--rename takes FROM=TO, got \"" + rename + "\"");
      return nullptr;
    }
    options->SetString(rename.substr(0, eq), rename.substr(eq + 1));
  }
  return options;
}

void PrintKinds(std::ostream& out, KOA::TData& record) {
  std::shared_ptr<KOA::TArray> names = record.GetFieldNames();
  for (unsigned int i = 0; i < names->GetCount(); ++i) {
    const std::string name = names->GetString(i);
    const unsigned int kind = record.GetType(name);
    out << "  " << name << ": " << kind << " (" << KOA::KindName(kind) << ")\n";
  }
}

void PrintKinds(std::ostream& out, KOA::TArray& array) {
  for (unsigned int i = 0; i < array.GetCount(); ++i) {
    const unsigned int kind = array.GetElementType(i);
    out << "  [" << i << "]: " << kind << " (" << KOA::KindName(kind) << ")\n";
  }
}

void RunRecord(IKZData* input, const std::shared_ptr<KOA::TData>& options, AppContext& context) {
  std::ostream& out = *context.out;
  std::shared_ptr<KOA::TData> koa = KOADataUtil::Data::KZDataToTData(input, options);
  out << "KOA record:\n  " << KOA::DumpTData(koa) << "\n\nKOA field kinds:\n";
  PrintKinds(out, *koa);
  std::optional<CKZComPtr<IKZData>> back = KOADataUtil::Data::TDataToKZData(koa, options);
  if (!back.has_value()) {
    context.Fail("TDataToKZData gave no bag", kExitFailure);
    return;
  }
  out << "\nBack as a bag:\n" << platform::KZDataToJson(*back, 2) << "\n\n";
  out << "equal to the input: " << ((*back)->IsEqual(input) == S_OK ? "yes" : "no") << '\n';
}

void RunArray(IKZArray* input, const std::shared_ptr<KOA::TData>& options, AppContext& context) {
  std::ostream& out = *context.out;
  std::optional<std::shared_ptr<KOA::TArray>> koa =
      KOADataUtil::Array::KZArrayToTArray(input, options);
  if (!koa.has_value() || !*koa) {
    context.Fail("KZArrayToTArray gave no array", kExitFailure);
    return;
  }
  out << "KOA array:\n  " << KOA::DumpTArray(*koa) << "\n\nKOA element kinds:\n";
  PrintKinds(out, **koa);
  std::optional<CKZComPtr<IKZArray>> back = KOADataUtil::Array::TArrayToKZArray(*koa, options);
  if (!back.has_value()) {
    out << "\nBack as a bag array: none (an empty array or one of a kind that is "
           "not converted)\n";
    return;
  }
  out << "\nBack as a bag array:\n" << platform::KZArrayToJson(*back, 2) << "\n\n";
  out << "equal to the input: " << ((*back)->IsEqual(input) == S_OK ? "yes" : "no") << '\n';
}

void Run(const KoaOptions& o, AppContext& context) {
  std::shared_ptr<KOA::TData> options = MakeOptions(o, context);
  if (context.exit_code != kExitOk) return;
  if (o.sample_uin) {
    CKZComPtr<IKZData> data = context.host->sample().FindContact(*o.sample_uin);
    if (!data) {
      context.Fail("no member or outer contact has the number " + std::to_string(*o.sample_uin) +
                   " (wrenutil sample lists them)");
      return;
    }
    RunRecord(data, options, context);
    return;
  }
  CKZComPtr<IKZData> record;
  CKZComPtr<IKZArray> array;
  std::string error;
  if (!ReadJsonRecordOrArray(o.file, &record, &array, &error)) {
    context.Fail(error);
    return;
  }
  if (array) {
    RunArray(array, options, context);
  } else {
    RunRecord(record, options, context);
  }
}

}  // namespace

void RegisterKoaCommand(CLI::App& app, AppContext& context) {
  auto options = std::make_shared<KoaOptions>();
  CLI::App* koa =
      app.add_subcommand("koa",
                         "Convert a record or array into a KOA record or array and back; print the "
                         "KOA kinds and the bag that came back");
  CLI::Option* file =
      koa->add_option("file", options->file,
                      "JSON file holding one record (an object) or one array (typed JSON: "
                      "{\"uint64_account\": {\"@u64\": 7}})")
          ->type_name("FILE");
  CLI::Option* sample =
      koa->add_option("--sample", options->sample_uin,
                      "Use the sample organisation's record of this contact number instead")
          ->type_name("UIN")
          ->check(WholeNumber(0xFFFFFFFFu));
  file->excludes(sample);
  sample->excludes(file);
  koa->add_flag("--bool-u64-to-dword", options->bool_u64_to_dword,
                "Options flag \"BoolU64ToDWord\": KOA u64 values come back as u32 "
                "(low half); applies to array elements and nested arrays of a field");
  koa->add_flag("--dword-to-u64", options->dword_to_u64,
                "Options flag \"DWordToU64\": u32 elements of the top-level array "
                "become KOA u64");
  koa->add_option("--rename", options->renames,
                  "FROM=TO: write the field FROM under the name TO (repeatable)")
      ->allow_extra_args(false);
  koa->callback([options, file, sample, &context] {
    if (file->count() == 0 && sample->count() == 0) {
      context.Fail("koa: give a FILE or --sample UIN");
      return;
    }
    Run(*options, context);
  });
}

}  // namespace wrenutil_app
