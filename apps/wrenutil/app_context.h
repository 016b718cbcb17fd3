// What every subcommand of the demo client is given: the host (the installed
// core over the sample organisation), the output streams and the exit code.
#ifndef WRENUTIL_APPS_WRENUTIL_APP_CONTEXT_H_
#define WRENUTIL_APPS_WRENUTIL_APP_CONTEXT_H_

#include <iosfwd>
#include <string_view>

namespace wrenutil_app {

class Host;

// Exit codes of the demo client, the same for every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;    // the library said no or found nothing
inline constexpr int kExitUsage = 2;      // bad arguments or bad input
inline constexpr int kExitInternal = 70;  // a platform object leaked, ...

struct AppContext {
  // The host: a core with in-memory services over the sample organisation.
  // Installed before any subcommand callback runs; borrowed.
  Host* host = nullptr;
  // Where a command writes its result (out) and its errors (err).
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
  // True when `--log` was given: platform log records go to stderr.
  bool log = false;
  // The process exit code; a command sets it through Fail.
  int exit_code = kExitOk;

  // Writes "wrenutil: error: <message>" and a newline to err and sets the
  // exit code (kExitUsage for bad input, kExitFailure for a failed call).
  void Fail(std::string_view message, int code = kExitUsage);
};

}  // namespace wrenutil_app

#endif  // WRENUTIL_APPS_WRENUTIL_APP_CONTEXT_H_
