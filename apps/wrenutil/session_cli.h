// What the session commands (chat, contact, config, report) share: the
// services they install, their output of result codes and of what the
// platform saw, and their number arguments.
#ifndef WRENUTIL_APPS_WRENUTIL_SESSION_CLI_H_
#define WRENUTIL_APPS_WRENUTIL_SESSION_CLI_H_

#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "apps/wrenutil/app_context.h"
#include "apps/wrenutil/host_session.h"
#include "platform/common/kzassert.h"
#include "platform/common/kzdialog.h"

namespace wrenutil_app {

// A wide text as UTF-8, and back.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
// A result code: failures as 0x%08X, others in decimal.
std::string ResultCode(long hr);

// Registers the session services over the sample, collects assertions and,
// unless the host installed a dialog provider, shows dialogs on the terminal
// while it lives. On failure (malformed sample) ok() is false and the
// context has failed.
class SessionRun {
 public:
  explicit SessionRun(AppContext& context);
  ~SessionRun();
  SessionRun(const SessionRun&) = delete;
  SessionRun& operator=(const SessionRun&) = delete;

  bool ok() const { return ok_; }
  SessionServices& services() { return services_; }
  // Prints "services saw:" and the call journal, then the assertions.
  void PrintSeen(std::ostream& out);

 private:
  bool ok_ = false;
  SessionServices services_;
  platform::AssertHandler previous_;
  std::shared_ptr<platform::DialogProvider> previous_dialogs_;
  std::vector<std::string> asserts_;
};

}  // namespace wrenutil_app

#endif  // WRENUTIL_APPS_WRENUTIL_SESSION_CLI_H_
