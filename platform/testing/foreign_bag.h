// Read views of another implementation than the platform's: each forwards to
// a platform bag, and the records and arrays read from it come wrapped in
// turn. Tests use them to take the paths that read a host's own bags through
// their interfaces.
#ifndef WRENUTIL_PLATFORM_TESTING_FOREIGN_BAG_H_
#define WRENUTIL_PLATFORM_TESTING_FOREIGN_BAG_H_

#include "platform/common/kzdata.h"

namespace platform::testing {

// A new wrapper around `data` (or `array`), with one reference for the
// caller; null for null.
CKZComPtr<IKZDataRead> ForeignData(IKZDataRead* data);
CKZComPtr<IKZArrayRead> ForeignArray(IKZArrayRead* array);

}  // namespace platform::testing

#endif  // WRENUTIL_PLATFORM_TESTING_FOREIGN_BAG_H_
