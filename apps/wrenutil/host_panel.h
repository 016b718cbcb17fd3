// The demo client's services for the main panel and the contact list's tab
// bar, over the sample organisation: the GF objects, contact names, the
// tab-bar services (tip window, contact focus, organisation membership,
// contact information) and the automatic replies.
//
// Names: every member and outer contact is listed under its "strName"; the
// contact information of a member gives "strName" as its actual name, that
// of an outer contact an empty one. The focused contacts are those of the
// organisation's "rpt_uint32_special_care". The own account is online unless
// "bSelfOnline" is 0.
//
// The automatic replies and the tab bar's display setting live in the
// signed-in user's profile store (through the host's settings-store
// service), so that they outlive the process; a new profile
// starts with the replies of "rpt_str_auto_reply", none active.
#ifndef WRENUTIL_APPS_WRENUTIL_HOST_PANEL_H_
#define WRENUTIL_APPS_WRENUTIL_HOST_PANEL_H_

#include <memory>
#include <string>

#include "platform/common/kzptr.h"
#include "platform/kernelutil/autoreply.h"
#include "platform/kernelutil/tbarservices.h"

namespace wrenutil_app {

class Host;

// Installs everything on `host`'s core when made and removes it when
// destroyed; the host must outlive it.
class PanelServices {
 public:
  // Returns null and fills *error when a service cannot be registered.
  static std::unique_ptr<PanelServices> Install(Host& host, std::string* error);
  ~PanelServices();
  PanelServices(const PanelServices&) = delete;
  PanelServices& operator=(const PanelServices&) = delete;

  platform::TbarServiceData& tbar() { return *tbar_; }
  // Marks the own account offline.
  void SetSelfOffline();

 private:
  PanelServices() = default;
  Host* host_ = nullptr;
  std::shared_ptr<platform::TbarServiceData> tbar_;
  CKZComPtr<IUnknown> tbar_services_;
  CKZComPtr<IKZAutoReplyHost> reply_service_;
};

}  // namespace wrenutil_app

#endif  // WRENUTIL_APPS_WRENUTIL_HOST_PANEL_H_
