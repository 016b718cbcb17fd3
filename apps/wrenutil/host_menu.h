// The demo client's contact-menu services over the sample organisation: the
// GF objects, the in-memory menu services, online state and message
// avoidance as the organisation records them, and the demo's own plug-ins
// (an item on the contact-menu and department-menu extension points, and a
// usage-report extension that notes each code in the call journal).
//
// Frequent contacts: one manager serves both the folder menus and the buddy
// menu's frequent-contacts entries (whose group list is copied from it), so
// both show the same folders. It keeps its folders in the user's profile
// store; a new profile starts from the organisation's "rpt_frequent_folder".
// Its limits come from "frequent_limits" (as server configuration items).
// The rights service answers 1 (outer contacts may be added), the main-frame
// service notes modal dialogs, and the input-dialog object shows through the
// installed dialog provider.
#ifndef WRENUTIL_APPS_WRENUTIL_HOST_MENU_H_
#define WRENUTIL_APPS_WRENUTIL_HOST_MENU_H_

#include <memory>
#include <string>
#include <vector>

#include "platform/common/kzptr.h"
#include "platform/kernelutil/frequentcontacts.h"
#include "platform/kernelutil/menuservices.h"

namespace wrenutil_app {

class Host;
struct AppContext;

// True when every number is a member or outer contact of the organisation;
// else fails the command (exit 2) naming the first unknown number.
bool CheckUins(AppContext& context, const std::vector<DWORD>& uins);

// Installs everything on `host`'s core when made; the host must outlive it.
class MenuServices {
 public:
  // Returns null and fills *error when a service cannot be registered or
  // the frequent contacts cannot be read from the profile.
  static std::unique_ptr<MenuServices> Install(Host& host, std::string* error);
  ~MenuServices();
  MenuServices(const MenuServices&) = delete;
  MenuServices& operator=(const MenuServices&) = delete;

  platform::ContactMenuData& data() { return *data_; }
  // Marks the own account offline.
  void SetSelfOffline();
  // The frequent-contacts manager (borrowed).
  IFrequentContactsHost* frequent() const { return frequent_.Get(); }
  // Copies the manager's folders into the buddy menu's data; call after a
  // change.
  void SyncFrequentFolders();

 private:
  MenuServices() = default;
  std::shared_ptr<platform::ContactMenuData> data_;
  CKZComPtr<IUnknown> services_;
  CKZComPtr<IUnknown> org_;
  CKZComPtr<IFrequentContactsHost> frequent_;
  Host* host_ = nullptr;
};

}  // namespace wrenutil_app

#endif  // WRENUTIL_APPS_WRENUTIL_HOST_MENU_H_
