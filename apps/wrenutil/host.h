// The demo client's host: it loads the organisation (the embedded sample or
// a JSON file of the same layout, see data/README.md) into property bags and
// installs a platform core with in-memory services backed by it.
//
// The host itself serves what the library's log suffix needs: the session
// (own number, client version), the account service (corporation number,
// account flags) and the network service (client address). Commands that
// need more services register them with Host::RegisterService, usually
// backed by the organisation through Host::sample().
#ifndef WRENUTIL_APPS_WRENUTIL_HOST_H_
#define WRENUTIL_APPS_WRENUTIL_HOST_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/wrenutil/input_file.h"
#include "platform/common/kzcore.h"
#include "platform/common/kzdata.h"
#include "platform/common/kzdialog.h"
#include "platform/common/kzptr.h"

namespace wrenutil_app {

// The organisation in memory, read-only after loading. Every pointer it hands
// out is borrowed and lives as long as the Sample.
class Sample {
 public:
  // Parses an organisation from JSON text (the typed JSON of the platform's
  // JSON<->bag conversion). On failure returns null and stores a message
  // that names the problem (syntax error, missing or mistyped field,
  // duplicate contact number, a department listed twice, a parent that is
  // no department, departments that form a cycle) in *error. Departments
  // hang below parent 0, the root; 0 is no department's id.
  static std::unique_ptr<Sample> Parse(std::string_view json, std::string* error);
  // The organisation compiled into the program (data/sample_org.json).
  static std::unique_ptr<Sample> Embedded(std::string* error);
  // Reads (ReadFile) and parses a file; a file that cannot be read is an
  // error too.
  static std::unique_ptr<Sample> FromFile(const std::string& path, std::string* error);

  ~Sample();
  Sample(const Sample&) = delete;
  Sample& operator=(const Sample&) = delete;

  // The whole organisation as one record.
  IKZData* organisation() const { return org_.Get(); }

  DWORD self_uin() const { return self_uin_; }
  DWORD corp_uin() const { return corp_uin_; }
  int major_version() const { return major_version_; }
  int minor_version() const { return minor_version_; }
  // The client's IPv4 address in host order (10.24.8.17 = 0x0A180811), 0
  // when the organisation gives none.
  DWORD client_ip() const { return client_ip_; }
  std::uint64_t account_flags() const { return account_flags_; }

  // The arrays of the organisation ("rpt_member", "rpt_outer_contact",
  // "rpt_dept", "rpt_outer_group"); never null (empty when absent).
  IKZArray* members() const { return members_.Get(); }
  IKZArray* outer_contacts() const { return outer_contacts_.Get(); }
  IKZArray* departments() const { return departments_.Get(); }
  IKZArray* outer_groups() const { return outer_groups_.Get(); }

  // The record of a member or outer contact by number; null when unknown.
  IKZData* FindContact(DWORD uin) const;
  bool IsMember(DWORD uin) const;
  bool IsOuterContact(DWORD uin) const;
  // Whether a department of "rpt_dept" has the id `id`.
  bool HasDepartment(DWORD id) const;

  // Whether `uin` is an element of the top-level 32-bit number array `field`
  // (for example "rpt_uint32_online"); false when the field is absent.
  bool InList(const char* field, DWORD uin) const;
  // A 32-bit flag ("bSelfOnline") of the top level; `fallback` when absent.
  int Flag(const char* field, int fallback) const;

 private:
  Sample() = default;
  bool Index(std::string* error);
  bool IndexDepartments(std::string* error);

  CKZComPtr<IKZData> org_;
  CKZComPtr<IKZArray> members_;
  CKZComPtr<IKZArray> outer_contacts_;
  CKZComPtr<IKZArray> departments_;
  CKZComPtr<IKZArray> outer_groups_;
  // Contact records by number, sorted by number.
  struct Entry {
    DWORD uin;
    bool member;
    IKZData* record;  // held by members_ or outer_contacts_
  };
  std::vector<Entry> contacts_;
  // Department ids, sorted.
  std::vector<DWORD> department_ids_;
  DWORD self_uin_ = 0;
  DWORD corp_uin_ = 0;
  int major_version_ = 0;
  int minor_version_ = 0;
  DWORD client_ip_ = 0;
  std::uint64_t account_flags_ = 0;
};

struct HostOptions {
  // The organisation file; empty for the embedded sample.
  std::string org_file;
  // The folder that stands for the user's application-data folder; empty for
  // the XDG data folder ($XDG_DATA_HOME, else ~/.local/share).
  std::string data_dir;
  // Write every platform log record to stderr (one line each).
  bool log_to_stderr = false;
};

// Installs a core for its lifetime. At most one Host exists at a time.
class Host {
 public:
  // Loads the organisation and installs the core with the host's services.
  // On failure returns null, installs nothing and fills *error.
  static std::unique_ptr<Host> Create(const HostOptions& options, std::string* error);
  // Uninstalls the core and releases every service and the organisation.
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  const Sample& sample() const { return *sample_; }
  // The installed core; borrowed.
  IKZCoreHost* core() const { return core_.Get(); }

  // Registers (or, with null, removes) a service on the core; `service` is
  // borrowed, the core keeps its own reference until the host ends.
  HRESULT RegisterService(REFGUID id, IUnknown* service);

  // Makes sure the signed-in user's profile store can be used, and seeds a
  // fresh one (once) with the defaults and the organisation's "settings"
  // record, if it has one ({"Section": {"Key": {bag}}}). False, with a
  // message naming the file, when the store cannot be written.
  bool UseProfile(std::string* error);

 private:
  Host() = default;

  std::unique_ptr<Sample> sample_;
  CKZComPtr<IKZCoreHost> core_;
  bool installed_ = false;
  int log_sink_ = -1;
  int warning_sink_ = -1;
  // What the host replaced, given back when it ends.
  std::optional<std::optional<std::string>> previous_data_dir_;
  std::shared_ptr<platform::DialogProvider> previous_dialogs_;
  bool persistence_set_ = false;
};

// Why a store or file-system call failed: the platform's message naming the
// file (platform::LastStoreError), else the result code in hex.
std::string StoreFailureText(HRESULT hr);

// The dotted text of an IPv4 address in host order as a number; false when
// the text is not four decimal parts of 0-255.
bool ParseIPv4(std::string_view text, DWORD* address);

}  // namespace wrenutil_app

#endif  // WRENUTIL_APPS_WRENUTIL_HOST_H_
