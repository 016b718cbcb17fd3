#include "platform/common/perf.h"

#include <unistd.h>

#include <cinttypes>
#include <cwchar>
#include <string_view>

namespace platform {
namespace internal {
std::atomic<PerfRecorder*> g_perf_recorder{nullptr};
}  // namespace internal

PerfRecorder* AttachPerfRecorder(PerfRecorder* recorder) {
  return internal::g_perf_recorder.exchange(recorder, std::memory_order_acq_rel);
}

namespace {

constexpr std::wstring_view kBeginSuffix = L".Begin";
constexpr std::wstring_view kEndSuffix = L".End";

// A small number per thread, in the order threads first record.
int ThreadNumber() {
  static std::atomic<int> next{1};
  thread_local int number = next.fetch_add(1, std::memory_order_relaxed);
  return number;
}

void AppendUtf8(std::uint32_t cp, std::string* out) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Appends `text` as a JSON string literal, quotes included.
void AppendJsonString(std::wstring_view text, std::string* out) {
  out->push_back('"');
  for (wchar_t ch : text) {
    auto cp = static_cast<std::uint32_t>(ch);
    switch (cp) {
      case '"':
        out->append("\\\"");
        break;
      case '\\':
        out->append("\\\\");
        break;
      case '\n':
        out->append("\\n");
        break;
      case '\r':
        out->append("\\r");
        break;
      case '\t':
        out->append("\\t");
        break;
      default:
        if (cp < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", cp);
          out->append(escaped);
        } else {
          AppendUtf8(cp, out);
        }
    }
  }
  out->push_back('"');
}

bool EndsWith(std::wstring_view text, std::wstring_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace

ChromeTraceRecorder::ChromeTraceRecorder(const std::string& path)
    : start_(std::chrono::steady_clock::now()) {
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    failed_ = true;
    return;
  }
  if (std::fputs("{\"traceEvents\":[\n", file_) < 0) failed_ = true;
}

ChromeTraceRecorder::~ChromeTraceRecorder() { Close(); }

void ChromeTraceRecorder::OnRecord(const wchar_t* file, int line, int level,
                                   const wchar_t* function, const wchar_t* text) {
  auto now = std::chrono::steady_clock::now();
  std::wstring_view name = text ? text : L"";
  char phase = 'i';
  if (EndsWith(name, kBeginSuffix)) {
    phase = 'B';
    name.remove_suffix(kBeginSuffix.size());
  } else if (EndsWith(name, kEndSuffix)) {
    phase = 'E';
    name.remove_suffix(kEndSuffix.size());
  }
  int thread = ThreadNumber();

  std::lock_guard<std::mutex> lock(mutex_);
  if (file_ == nullptr) return;
  auto micros = std::chrono::duration<double, std::micro>(now - start_).count();
  line_.clear();
  if (events_ != 0) line_.append(",\n");
  line_.append("{\"name\":");
  AppendJsonString(name, &line_);
  char head[160];
  std::snprintf(head, sizeof head,
                ",\"cat\":\"perf\",\"ph\":\"%c\",%s\"ts\":%.3f,\"pid\":%d,"
                "\"tid\":%d,\"args\":{\"file\":",
                phase, phase == 'i' ? "\"s\":\"t\"," : "", micros, static_cast<int>(getpid()),
                thread);
  line_.append(head);
  AppendJsonString(file ? file : L"", &line_);
  std::snprintf(head, sizeof head, ",\"line\":%d,\"level\":%d,\"function\":", line, level);
  line_.append(head);
  AppendJsonString(function ? function : L"", &line_);
  line_.append("}}");
  if (std::fwrite(line_.data(), 1, line_.size(), file_) != line_.size()) {
    failed_ = true;
  }
  ++events_;
}

bool ChromeTraceRecorder::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_ != nullptr) {
    if (std::fputs("\n]}\n", file_) < 0) failed_ = true;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
  }
  return !failed_;
}

bool ChromeTraceRecorder::ok() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !failed_;
}

std::uint64_t ChromeTraceRecorder::event_count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

}  // namespace platform

namespace Util::Perf {

HRESULT Record(const wchar_t* file, int line, int level, const wchar_t* function,
               const wchar_t* text) {
  platform::PerfRecorder* recorder =
      platform::internal::g_perf_recorder.load(std::memory_order_acquire);
  if (recorder == nullptr) return S_FALSE;
  recorder->OnRecord(file ? file : L"", line, level, function ? function : L"", text ? text : L"");
  return S_OK;
}

}  // namespace Util::Perf

void CPerfRecordScope::WriteBegin(const wchar_t* file, int line, int level, const wchar_t* function,
                                  const wchar_t* tag) {
  file_ = file;
  line_ = line;
  level_ = level;
  function_ = function;
  tag_ = tag;
  std::wstring text = tag_ ? tag_ : L"";
  text.append(L".Begin");
  Util::Perf::Record(file_, line_, level_, function_, text.c_str());
  began_ = true;
}

void CPerfRecordScope::WriteEnd() {
  if (!platform::IsPerfRecording()) return;  // the recorder went away
  std::wstring text = tag_ ? tag_ : L"";
  text.append(L".End");
  Util::Perf::Record(file_, line_, level_, function_, text.c_str());
}
