// The services of the session helpers over the sample organisation: contact
// statuses (the platform's own status manager), contact information with
// "Privilege", the main frame, the common server configuration items and the
// main account's settings (see data/README.md for the fields they come
// from). The configuration items and settings are those of the user's
// profile store; the sample's fill in what the profile does not hold yet, so
// what a command stores (config --file, --setting) stays for later runs.
#ifndef WRENUTIL_APPS_WRENUTIL_HOST_SESSION_H_
#define WRENUTIL_APPS_WRENUTIL_HOST_SESSION_H_

#include <string>

#include "apps/wrenutil/host.h"
#include "platform/kernelutil/serverconfig.h"

namespace wrenutil_app {

// What RegisterSessionServices registered, for commands that change it.
struct SessionServices {
  CKZComPtr<IKZCommonServerConfigHost> config_items;
  CKZComPtr<IKZMainAccountConfigHost> account_config;
};

// Sets every member's status and registers the services on the host's core.
// False and a message in *error when the sample's session fields are
// malformed.
bool RegisterSessionServices(Host& host, SessionServices* services, std::string* error);

}  // namespace wrenutil_app

#endif  // WRENUTIL_APPS_WRENUTIL_HOST_SESSION_H_
