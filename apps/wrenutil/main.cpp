// wrenutil: the demo client. It installs a platform core with in-memory
// services over an organisation (the embedded sample unless --org names a
// file) and runs one subcommand against the library.
//
// Exit codes, the same for every subcommand: 0 done; 1 the library said no
// or found nothing; 2 a usage or input error (the option parser's included);
// 70 an internal error (a platform object left alive, an exception).
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "apps/wrenutil/app_context.h"
#include "apps/wrenutil/cli_support.h"
#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "platform/common/refcounted.h"

#ifndef WRENUTIL_VERSION
#define WRENUTIL_VERSION "0.0.0"
#endif

namespace wrenutil_app {

void AppContext::Fail(std::string_view message, int code) {
  *err << "wrenutil: error: " << message << '\n';
  exit_code = code;
}

namespace {

int Run(int argc, char** argv) {
  AppContext context;
  context.out = &std::cout;
  context.err = &std::cerr;
  std::unique_ptr<Host> host;
  std::string org_file;
  std::string data_dir;

  CLI::App app{
      "Demo client of the WRENUtil library: runs its functions over a sample "
      "organisation served by in-memory platform services.",
      "wrenutil"};
  app.set_version_flag("--version", "wrenutil " WRENUTIL_VERSION);
  // The options of the program are accepted after the subcommand too.
  app.fallthrough();
  app.add_flag("--log", context.log, "Show the platform's log records on stderr");
  app.add_option("--org", org_file,
                 "Load the organisation from this JSON file instead of the "
                 "embedded sample (same layout, see data/README.md)")
      ->type_name("FILE");
  app.add_option("--data-dir", data_dir,
                 "Keep the user's data (profile store, head images, plug-in folders) below "
                 "this folder instead of the XDG data folder")
      ->envname("WRENUTIL_DATA_DIR")
      ->type_name("DIR");
  app.require_subcommand(1);
  app.footer(
      "Contact numbers, departments and outer contacts: wrenutil sample\n"
      "Exit codes: 0 done, 1 the library said no or found nothing, 2 usage or input error.\n"
      "Colour only on a terminal, never when NO_COLOR is set.");
  RegisterCommands(app, context);

  // Runs after parsing, before the chosen subcommand's callback.
  app.parse_complete_callback([&] {
    HostOptions options;
    options.org_file = org_file;
    options.data_dir = data_dir;
    options.log_to_stderr = context.log;
    std::string error;
    host = Host::Create(options, &error);
    if (!host) {
      context.Fail(error);
      throw CLI::RuntimeError(context.exit_code);
    }
    context.host = host.get();
  });

  int code = kExitOk;
  try {
    app.parse(argc, argv);
    code = context.exit_code;
  } catch (const CLI::RuntimeError& e) {
    code = e.get_exit_code();  // the host could not start; already reported
  } catch (const CLI::ParseError& e) {
    code = ReportParseError(app, e, std::cout, std::cerr);
  }
  context.host = nullptr;
  host.reset();

  if (std::int64_t alive = platform::LiveObjectCount(); alive != 0) {
    std::cerr << "wrenutil: internal error: " << alive << " platform objects still alive at exit\n";
    if (code == kExitOk) code = kExitInternal;
  }
  return code;
}

}  // namespace
}  // namespace wrenutil_app

int main(int argc, char** argv) {
  try {
    return wrenutil_app::Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "wrenutil: internal error: " << e.what() << '\n';
  } catch (...) {
    std::cerr << "wrenutil: internal error: unknown exception\n";
  }
  return wrenutil_app::kExitInternal;
}
