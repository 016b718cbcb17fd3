#include "platform/testing/platform_test.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/common/convert.h"
#include "platform/common/datafolders.h"
#include "platform/common/kzassert.h"
#include "platform/common/kzfs.h"
#include "platform/common/kzres.h"
#include "platform/common/kztime.h"
#include "platform/common/lifetime.h"
#include "platform/common/refcounted.h"
#include "platform/common/settingsstore.h"
#include "platform/common/store.h"
#include "platform/kernelutil/kernelutil.h"

namespace platform::testing {

void PlatformTest::SetUp() {
  setenv("TZ", "UTC", 1);
  tzset();
  live_at_start_ = UnaccountedObjectCount();
  ResetPlatformWorld();
  CreateCoreHost(&core_);
  InstallCore(core_.Get());
  sink_ = AddLogSink([this](const LogEntry& e) { logs_.push_back(e); });
  SetAssertHandler([this](const wchar_t* e, const wchar_t* f, int line) {
    asserts_.push_back(AssertRecord{e, f, line});
    return assert_answer_;
  });
  SetClock([] { return kFixedTimeMs; });
  SetSession(SessionInfo{kSelfUin, 3, 7});

  std::string pattern = (std::filesystem::temp_directory_path() / "wrenutil-test-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr) << "cannot make a temporary folder";
  temp_dir_ = pattern;
  SetAppDataFolder(app_data_dir());
  // Should anything look the XDG folder up after all, it finds the test's.
  const char* xdg = std::getenv("XDG_DATA_HOME");
  saved_xdg_ = xdg ? std::optional<std::string>(xdg) : std::nullopt;
  setenv("XDG_DATA_HOME", (temp_dir_ + "/xdg").c_str(), 1);
  SetProgramFolder(temp_dir_ + "/program/");
  dialogs_ = std::make_shared<RecordingDialogProvider>();
  SetDialogProvider(dialogs_);
}

void PlatformTest::AddSettingsStore() {
  CKZComPtr<IKZSettingsStore> store;
  CreateSettingsStore(&store);
  AddService(IKZSettingsStore::kIid, store);
}

void PlatformTest::RemoveCore() { InstallCore(nullptr); }

void PlatformTest::TearDown() {
  InstallCore(nullptr);
  if (core_) core_->Clear();
  core_ = nullptr;
  RemoveLogSink(sink_);
  SetAssertHandler(nullptr);
  ResetPlatformWorld();
  ResetFileSystems();
  CloseStores();
  SetDialogProvider(nullptr);
  dialogs_.reset();
  SetAppDataFolder(std::nullopt);
  SetProgramFolder(std::nullopt);
  if (saved_xdg_) {
    setenv("XDG_DATA_HOME", saved_xdg_->c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
  SetProductSettings(ProductSettings{});
  if (!temp_dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(temp_dir_, ignored);
  }
  // Objects declared as kept for the process (lifetime.h) are not leaks.
  EXPECT_EQ(UnaccountedObjectCount(), live_at_start_) << "platform objects leaked";
  for (std::size_t i = claimed_asserts_; i < asserts_.size(); ++i) {
    const AssertRecord& a = asserts_[i];
    ADD_FAILURE() << "assertion the test did not claim: "
                  << Util::Convert::Utf8FromWS(a.expression.c_str(), -1).GetString() << " at "
                  << Util::Convert::Utf8FromWS(a.file.c_str(), -1).GetString() << ":" << a.line;
  }
}

std::vector<std::wstring> PlatformTest::LogMessages() const {
  std::vector<std::wstring> out;
  for (const LogEntry& e : logs_) out.push_back(e.message);
  return out;
}

}  // namespace platform::testing
