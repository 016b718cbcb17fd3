// The demo client's contact-menu services over the sample organisation: the
// GF objects, the in-memory menu services, online state and message
// avoidance as the organisation records them, and the demo's own plug-ins
// (an item on the contact-menu and department-menu extension points, and a
// usage-report extension that notes each code in the call journal).
#ifndef WRENUTIL_APPS_WRENUTIL_HOST_MENU_H_
#define WRENUTIL_APPS_WRENUTIL_HOST_MENU_H_

#include <memory>
#include <string>

#include "platform/common/kzptr.h"
#include "platform/kernelutil/menuservices.h"

namespace wrenutil_app {

class Host;

// Installs everything on `host`'s core when made; the host must outlive it.
class MenuServices {
 public:
  // Returns null and fills *error when a service cannot be registered.
  static std::unique_ptr<MenuServices> Install(Host& host, std::string* error);
  ~MenuServices();
  MenuServices(const MenuServices&) = delete;
  MenuServices& operator=(const MenuServices&) = delete;

  platform::ContactMenuData& data() { return *data_; }
  // Marks the own account offline.
  void SetSelfOffline();

 private:
  MenuServices() = default;
  std::shared_ptr<platform::ContactMenuData> data_;
  CKZComPtr<IUnknown> services_;
  CKZComPtr<IUnknown> org_;
  Host* host_ = nullptr;
};

}  // namespace wrenutil_app

#endif  // WRENUTIL_APPS_WRENUTIL_HOST_MENU_H_
