// Performance records: `Util::Perf::Record`, the scope object
// `CPerfRecordScope`, and a recorder that writes them as Chrome trace events.
//
// A host attaches a recorder with `platform::AttachPerfRecorder`; until it
// does, every record is dropped, and a `CPerfRecordScope` costs one relaxed
// atomic load at each end: no allocation, no formatting, no call into the
// recorder.
//
// `ChromeTraceRecorder` writes the JSON object format of the Trace Event
// format ({"traceEvents": [...]}), which Perfetto and chrome://tracing open.
// A record whose text ends in ".Begin" becomes a begin event ("ph": "B")
// named by the text before the suffix, one ending in ".End" the matching end
// event ("ph": "E"); any other text an instant event ("ph": "i"). Each event
// carries the source file, line, level and function as arguments, the time
// in microseconds since the recorder was made, the process id and a small
// per-thread number.
#ifndef WRENUTIL_PLATFORM_COMMON_PERF_H_
#define WRENUTIL_PLATFORM_COMMON_PERF_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/common/kzbase.h"

namespace platform {

// Receives performance records. Implementations must be thread-safe: records
// may come from any thread.
class PerfRecorder {
 public:
  virtual ~PerfRecorder() = default;
  // One record. Every text is non-null (empty when the caller passed null).
  virtual void OnRecord(const wchar_t* file, int line, int level, const wchar_t* function,
                        const wchar_t* text) = 0;
};

// Attaches `recorder` (borrowed: it must outlive its attachment) in place of
// the one attached before, or detaches with nullptr. Returns the recorder
// that was attached. A record already under way in another thread may still
// reach the old recorder while this call runs, so a host detaches before it
// destroys a recorder and only when no other thread records.
KZ_PLATFORM_API PerfRecorder* AttachPerfRecorder(PerfRecorder* recorder);

namespace internal {
KZ_PLATFORM_API extern std::atomic<PerfRecorder*> g_perf_recorder;
}  // namespace internal

// True when a recorder is attached.
inline bool IsPerfRecording() {
  return internal::g_perf_recorder.load(std::memory_order_relaxed) != nullptr;
}

// Writes Chrome trace events to a file. The file is created (truncated) by
// the constructor and completed by `Close` or the destructor; `ok()` tells
// whether it could be opened and written.
class KZ_PLATFORM_API ChromeTraceRecorder : public PerfRecorder {
 public:
  explicit ChromeTraceRecorder(const std::string& path);
  ~ChromeTraceRecorder() override;
  ChromeTraceRecorder(const ChromeTraceRecorder&) = delete;
  ChromeTraceRecorder& operator=(const ChromeTraceRecorder&) = delete;

  void OnRecord(const wchar_t* file, int line, int level, const wchar_t* function,
                const wchar_t* text) override;

  // Ends the JSON and closes the file; later records are dropped. Returns
  // false when the file could not be opened or a write failed.
  bool Close();
  bool ok() const;
  // Number of events written so far.
  std::uint64_t event_count() const;

 private:
  mutable std::mutex mutex_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
  std::uint64_t events_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::string line_;  // reused buffer of one event
};

}  // namespace platform

namespace Util::Perf {

// Hands one record to the attached recorder. Null texts count as empty.
// Returns S_OK when the record was handed on, S_FALSE when no recorder is
// attached (callers ignore the result).
KZ_PLATFORM_API HRESULT Record(const wchar_t* file, int line, int level, const wchar_t* function,
                               const wchar_t* text);

}  // namespace Util::Perf

// Writes a record with the text tag + ".Begin" when made and tag + ".End"
// when destroyed. The four texts are borrowed and must outlive the scope
// (string literals in practice); null texts count as empty. With no recorder
// attached nothing is built or written. The end record is written only when
// the begin record was, so a recorder attached in between sees no unmatched
// end.
class KZ_PLATFORM_API CPerfRecordScope {
 public:
  CPerfRecordScope(const wchar_t* file, int line, int level, const wchar_t* function,
                   const wchar_t* tag) {
    if (platform::IsPerfRecording()) WriteBegin(file, line, level, function, tag);
  }
  ~CPerfRecordScope() {
    if (began_) WriteEnd();
  }
  CPerfRecordScope(const CPerfRecordScope&) = delete;
  CPerfRecordScope& operator=(const CPerfRecordScope&) = delete;

 private:
  // Keeps the texts (only a scope that began needs them) and writes the
  // begin record.
  void WriteBegin(const wchar_t* file, int line, int level, const wchar_t* function,
                  const wchar_t* tag);
  void WriteEnd();

  bool began_ = false;
  const wchar_t* file_ = nullptr;
  const wchar_t* function_ = nullptr;
  const wchar_t* tag_ = nullptr;
  int line_ = 0;
  int level_ = 0;
};

#endif  // WRENUTIL_PLATFORM_COMMON_PERF_H_
