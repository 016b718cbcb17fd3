// The configuration services and the report spool kept in the signed-in
// user's profile store (platform/common/store.h), so that they outlive the
// process:
// - common server configuration items, table "common_server_config" (type,
//   sub-type, the item bag in its stored form, bagcodec.h);
// - the main account's numbered settings, table "main_account_config";
// - operation reports, table "report_spool", oldest first.
// Each is its own component of the store with its own schema version. Reads
// that find a damaged row fail with KZ_E_STORE_BADDATA; a store that cannot
// be opened fails with its error (LastStoreError names the file). The
// services answer every call from the store, so two processes see each
// other's writes.
#ifndef WRENUTIL_PLATFORM_KERNELUTIL_PROFILECONFIG_H_
#define WRENUTIL_PLATFORM_KERNELUTIL_PROFILECONFIG_H_

#include <memory>

#include "platform/kernelutil/operationreport.h"
#include "platform/kernelutil/serverconfig.h"

namespace platform {
// One reference for the caller; E_POINTER for null. GetConfigItem answers
// E_FAIL for an item the profile does not hold (or cannot be read: the
// failure is logged, level 2, module "Store"); GetConfigDWord likewise.
// SetConfigItem refuses a bag with an interface field (E_INVALIDARG).
KZ_PLATFORM_API HRESULT CreateProfileCommonServerConfigService(IKZCommonServerConfigHost** out);
KZ_PLATFORM_API HRESULT CreateProfileMainAccountConfigService(IKZMainAccountConfigHost** out);
// The spool of the profile store.
KZ_PLATFORM_API std::shared_ptr<ReportSpool> CreateProfileReportSpool();
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_KERNELUTIL_PROFILECONFIG_H_
