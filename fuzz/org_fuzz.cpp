// Fuzzes the demo client's organisation loader with arbitrary JSON: it loads
// or says why not, and what it loads answers every question it is asked
// about its contacts, departments and flags.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "apps/wrenutil/host.h"
#include "platform/common/refcounted.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Every contact number of `list` is found as that record.
void CheckContacts(const wrenutil_app::Sample& sample, IKZArray* list, bool members) {
  DWORD count = 0;
  list->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZData> record;
    if (FAILED(list->GetKZData(i, &record)) || !record) continue;
    DWORD uin = 0;
    if (FAILED(record->GetDWord("dwUin", &uin))) continue;
    Check(sample.FindContact(uin) != nullptr);
    if (members) Check(sample.IsMember(uin));
    sample.IsOuterContact(uin);
    sample.InList("rpt_uint32_online", uin);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::int64_t live = platform::LiveObjectCount();
  {
    std::string error;
    std::unique_ptr<wrenutil_app::Sample> sample = wrenutil_app::Sample::Parse(
        std::string_view(reinterpret_cast<const char*>(data), size), &error);
    if (!sample) {
      Check(!error.empty());
    } else {
      CheckContacts(*sample, sample->members(), true);
      CheckContacts(*sample, sample->outer_contacts(), false);
      DWORD count = 0;
      sample->departments()->GetCount(&count);
      sample->outer_groups()->GetCount(&count);
      sample->Flag("bSelfOnline", 1);
      Check(sample->FindContact(0) == nullptr || sample->IsMember(0) || sample->IsOuterContact(0));
    }
  }
  Check(platform::LiveObjectCount() == live);
  return 0;
}
