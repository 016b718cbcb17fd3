// The fixture of every test: a fresh core with no services, captured log
// records and assertions, a fixed clock and session, a fresh temporary data
// folder (so the profile store, the key-value data and the file systems start
// empty and nothing is written outside it), a recording dialog provider,
// and, at the end, the checks that no platform object is left alive apart
// from those declared as kept for the process (platform/common/lifetime.h),
// and that every assertion the test raised was claimed by the test.
#ifndef WRENUTIL_PLATFORM_TESTING_PLATFORM_TEST_H_
#define WRENUTIL_PLATFORM_TESTING_PLATFORM_TEST_H_

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/common/kzcore.h"
#include "platform/common/kzdialog.h"
#include "platform/common/kzlog.h"

namespace platform::testing {

struct AssertRecord {
  std::wstring expression;
  std::wstring file;
  int line = 0;
};

class PlatformTest : public ::testing::Test {
 protected:
  // 2024-03-05 06:07:08.009 UTC, the clock of every test.
  static constexpr std::uint64_t kFixedTimeMs = 1709618828009;
  static constexpr DWORD kSelfUin = 10001;

  void SetUp() override;
  void TearDown() override;

  IKZCoreHost* core() const { return core_.Get(); }
  // Registers an object as a service (the core adds its own reference).
  void AddService(REFGUID id, IUnknown* service) { core_->RegisterService(id, service); }
  // Uninstalls the core, so that the library meets "no core".
  void RemoveCore();

  const std::vector<LogEntry>& logs() const { return logs_; }
  // The captured assertions. Reading them claims them: at its end the test
  // fails on any assertion it never looked at.
  const std::vector<AssertRecord>& asserts() const {
    claimed_asserts_ = asserts_.size();
    return asserts_;
  }
  void ClearLogs() { logs_.clear(); }
  // The messages of the captured records, in order.
  std::vector<std::wstring> LogMessages() const;
  // The answer the assertion handler gives (default 0).
  void SetAssertAnswer(int answer) { assert_answer_ = answer; }

  // The test's own temporary folder (removed at the end), and the
  // application-data folder inside it ("<temp>/appdata"), which stands for
  // the user's XDG data folder; the program folder is "<temp>/program/".
  const std::string& temp_dir() const { return temp_dir_; }
  std::string app_data_dir() const { return temp_dir_ + "/appdata"; }
  // The dialogs shown so far and the answers to give (see kzdialog.h).
  RecordingDialogProvider& dialogs() const { return *dialogs_; }
  // Registers the settings-store service over the test's profile store.
  void AddSettingsStore();

 private:
  CKZComPtr<IKZCoreHost> core_;
  std::vector<LogEntry> logs_;
  std::vector<AssertRecord> asserts_;
  mutable std::size_t claimed_asserts_ = 0;
  int sink_ = 0;
  int assert_answer_ = 0;
  std::int64_t live_at_start_ = 0;
  std::string temp_dir_;
  std::optional<std::string> saved_xdg_;
  std::shared_ptr<RecordingDialogProvider> dialogs_;
};

}  // namespace platform::testing

#endif  // WRENUTIL_PLATFORM_TESTING_PLATFORM_TEST_H_
