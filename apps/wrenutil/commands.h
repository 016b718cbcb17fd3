// The subcommands of the demo client, in the order `--help` lists them.
//
// To add a subcommand `foo`:
//   1. write apps/wrenutil/cmd_foo.cpp defining
//        void RegisterFooCommand(CLI::App& app, AppContext& context);
//      which adds `foo` to `app` (app.add_subcommand) and, in its callback,
//      does the work through `context` (context.host for the sample and the
//      core, *context.out for results, context.Fail for errors);
//   2. add the line X(Foo) below;
//   3. add cmd_foo.cpp to the source list in apps/wrenutil/CMakeLists.txt.
// Services a command needs beyond the host's own are registered by the
// command itself with Host::RegisterService before it calls the library.
#ifndef WRENUTIL_APPS_WRENUTIL_COMMANDS_H_
#define WRENUTIL_APPS_WRENUTIL_COMMANDS_H_

#include <CLI/CLI.hpp>

#include "apps/wrenutil/app_context.h"

#define WRENUTIL_APP_COMMANDS(X) \
  X(Tour)                        \
  X(Sample)                      \
  X(Bag)                         \
  X(Ellipsis)                    \
  X(Search)                      \
  X(Text)                        \
  X(Koa)                         \
  X(Menu)                        \
  X(Click)                       \
  X(Dirs)                        \
  X(Headimage)                   \
  X(Settings)                    \
  X(Tbar)                        \
  X(Tabbar)

namespace wrenutil_app {

#define WRENUTIL_APP_DECLARE_COMMAND(Name) \
  void Register##Name##Command(CLI::App& app, AppContext& context);
WRENUTIL_APP_COMMANDS(WRENUTIL_APP_DECLARE_COMMAND)
#undef WRENUTIL_APP_DECLARE_COMMAND

// `wrenutil menu tabbar`, run by the menu command (cmd_tabbar.cpp).
void RunTabBarMenu(AppContext& context, bool outer, bool offline);

// Registers every command of the list above on `app`.
inline void RegisterCommands(CLI::App& app, AppContext& context) {
#define WRENUTIL_APP_REGISTER_COMMAND(Name) Register##Name##Command(app, context);
  WRENUTIL_APP_COMMANDS(WRENUTIL_APP_REGISTER_COMMAND)
#undef WRENUTIL_APP_REGISTER_COMMAND
}

}  // namespace wrenutil_app

#endif  // WRENUTIL_APPS_WRENUTIL_COMMANDS_H_
