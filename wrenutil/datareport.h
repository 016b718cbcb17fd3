// UtilCC::DataReport: operation reports of the enterprise edition and the
// time an operation took.
//
// Reports go to Util::SpecificReport::EtpOperationReport with the three
// values, the corporation number (widened to 64 bits) and a second number
// of the account service {D4A70210-E167-4A5E-9EE4-130AE2AEB2E0}, no text,
// 1 and the result type -1. The two numbers are cached for the life of the
// process once they are non-zero; while one is 0 it is asked again on every
// report (0 without the service).
//
// The start mark is the u32 field "DR_dwStartTime" of the caller's bag,
// holding the tick count (milliseconds since the system started, wrapping
// after about 49.7 days). Elapsed times are taken in unsigned 32-bit
// arithmetic, so a wrap between start and report still gives the right
// figure. The caches are not locked: two threads may both ask the service.
#ifndef WRENUTIL_WRENUTIL_DATAREPORT_H_
#define WRENUTIL_WRENUTIL_DATAREPORT_H_

#include "platform/common/kzdata.h"
#include "wrenutil/export.h"

namespace UtilCC::DataReport {

// Writes the current tick count into "DR_dwStartTime" of `data` (borrowed;
// null: nothing happens).
WRENUTIL_API void AddStartTime(IKZData* data);
// Sends one report of the three values.
WRENUTIL_API void EtpOperationReport(DWORD value1, DWORD value2, DWORD value3);
// Sends one report whose third value is the tick count now minus the
// "DR_dwStartTime" of `data` (0 when the bag has no start mark, so the whole
// tick count). A null bag sends nothing.
WRENUTIL_API void EtpTimeReport(DWORD value1, DWORD value2, IKZData* data);

}  // namespace UtilCC::DataReport

namespace wrenutil::internal {
// Forgets the cached numbers, as a new process would. For tests.
WRENUTIL_API void ResetDataReportCache();
}  // namespace wrenutil::internal

#endif  // WRENUTIL_WRENUTIL_DATAREPORT_H_
