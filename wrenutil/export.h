// Marks the library's exported functions; everything else is hidden.
#ifndef WRENUTIL_WRENUTIL_EXPORT_H_
#define WRENUTIL_WRENUTIL_EXPORT_H_

#define WRENUTIL_API __attribute__((visibility("default")))

#endif  // WRENUTIL_WRENUTIL_EXPORT_H_
