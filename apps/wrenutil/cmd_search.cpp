// `wrenutil search KEY`: runs the contact search over the sample
// organisation's members (or a JSON array of contact records) and prints each
// hit with its field and the matched span highlighted.
//
//   wrenutil search KEY [--fields a,b] [--array-fields ...]
//       [--number-fields ...] [--limit N] [--address [--lm] [--phones]]
//       [--hide-lm] [--json] [--contacts FILE.json] [--trace FILE]
//       [--repeat N]
//
// Without --array-fields/--number-fields DoSearch runs; with either,
// DoSearch2; with --address, DoSearch_Address. --repeat runs the search N
// times and prints the median time of one search to stderr (for the
// side-by-side benchmark); --trace writes the performance records as Chrome
// trace events.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "platform/common/convert.h"
#include "platform/common/kzjson.h"
#include "platform/common/perf.h"
#include "platform/kernelutil/configservice.h"
#include "platform/kernelutil/orgmembership.h"
#include "wrenutil/utilmarlinsearch.h"

namespace wrenutil_app {
namespace {

struct SearchOptions {
  std::string key;
  std::vector<std::string> fields{"strName", "strEnglishName", "strMobile"};
  std::vector<std::string> array_fields;
  std::vector<std::string> number_fields;
  std::uint32_t limit = 19;
  bool address = false;
  bool lm = false;
  bool phones = false;
  bool hide_lm = false;
  bool json = false;
  std::string contacts;
  std::string trace;
  int repeat = 0;
};

std::string Utf8(const wchar_t* text) {
  return Util::Convert::Utf8FromWS(text, -1).str();
}

std::vector<CKZStringA> Names(const std::vector<std::string>& names) {
  return {names.begin(), names.end()};
}

// The contacts to search: the JSON file's array, or the sample's members.
CKZComPtr<IKZArray> LoadContacts(const SearchOptions& o, AppContext& context) {
  CKZComPtr<IKZArray> items;
  if (o.contacts.empty()) {
    items = context.host->sample().members();
    return items;
  }
  std::ifstream in(o.contacts, std::ios::binary);
  if (!in) {
    context.Fail("search: cannot open " + o.contacts);
    return nullptr;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::string error;
  if (FAILED(platform::JsonToKZArray(text.str(), &items, &error))) {
    context.Fail("search: " + o.contacts + ": " + error);
    return nullptr;
  }
  return items;
}

// Membership from the sample's members; "hide_clm_number" from --hide-lm.
bool InstallServices(const SearchOptions& o, AppContext& context) {
  CKZComPtr<IKZOrgMembershipHost> members;
  CKZComPtr<IKZServerConfigService> config;
  if (FAILED(platform::CreateMemoryOrgMembershipService({}, &members)) ||
      FAILED(platform::CreateMemoryServerConfigService(
          {{L"hide_clm_number", o.hide_lm ? L"1" : L"0"}}, &config))) {
    context.Fail("search: cannot create the services", kExitFailure);
    return false;
  }
  IKZArray* list = context.host->sample().members();
  DWORD count = 0;
  list->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZDataRead> member;
    DWORD uin = 0;
    if (SUCCEEDED(list->GetKZDataRead(i, &member)) && member &&
        SUCCEEDED(member->GetDWord("dwUin", &uin))) {
      members->SetOrgMember(uin, 1);
    }
  }
  context.host->RegisterService(IKZOrgMembershipService::kIid, members);
  context.host->RegisterService(IKZServerConfigService::kIid, config);
  return true;
}

long RunOnce(const SearchOptions& o, const CKZStringW& key, IKZArray* items,
             IKZArray** result) {
  if (o.address) {
    return Util::MarlinSearch::DoSearch_Address(key, items, Names(o.fields),
                                                o.lm, o.phones, o.limit,
                                                result);
  }
  if (!o.array_fields.empty() || !o.number_fields.empty()) {
    return Util::MarlinSearch::DoSearch2(key, items, Names(o.fields),
                                         Names(o.array_fields),
                                         Names(o.number_fields), o.limit,
                                         result);
  }
  return Util::MarlinSearch::DoSearch(key, items, Names(o.fields), o.limit,
                                      result);
}

void PrintHits(IKZArray* hits, std::ostream& out, bool colour) {
  DWORD count = 0;
  hits->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZDataRead> hit;
    if (FAILED(hits->GetKZDataRead(i, &hit)) || !hit) continue;
    DWORD uin = 0;
    int position = 0, length = 0, phone = -1;
    hit->GetDWord("dwUin", &uin);
    hit->GetInt32("nHitPos", &position);
    hit->GetInt32("nHitLen", &length);
    DWORD phone_index = 0;
    if (SUCCEEDED(hit->GetDWord("nSearchHitMobilephoneIndex", &phone_index))) {
      phone = static_cast<int>(phone_index);
    }
    CKZBSTR field, content;
    hit->GetStr("strMatchedFieldName", &field);
    hit->GetStr("strMatchedContent", &content);
    std::wstring text = content.c_str();
    // The span can start before the text (an initials hit after a restart of
    // the spelling scan): show the part inside it.
    long long size = static_cast<long long>(text.size());
    long long begin = std::clamp<long long>(position, 0, size);
    long long end = std::clamp<long long>(
        static_cast<long long>(position) + length, begin, size);
    std::wstring before = text.substr(0, static_cast<std::size_t>(begin));
    std::wstring span = text.substr(static_cast<std::size_t>(begin),
                                    static_cast<std::size_t>(end - begin));
    std::wstring after = text.substr(static_cast<std::size_t>(end));
    out << uin << '\t' << Utf8(field.c_str());
    if (phone >= 0) out << '[' << phone << ']';
    out << '\t' << Utf8(before.c_str())
        << (colour ? "\x1b[1;31m" : "[") << Utf8(span.c_str())
        << (colour ? "\x1b[0m" : "]") << Utf8(after.c_str()) << "\t(pos "
        << position << ", len " << length << ")\n";
  }
}

void RunSearch(const SearchOptions& o, AppContext& context) {
  if (o.repeat < 0) {
    context.Fail("search: --repeat must not be negative");
    return;
  }
  CKZComPtr<IKZArray> items = LoadContacts(o, context);
  if (!items || !InstallServices(o, context)) return;
  const CKZStringW key(kUtf8, o.key.data(), static_cast<int>(o.key.size()));

  std::unique_ptr<platform::ChromeTraceRecorder> recorder;
  if (!o.trace.empty()) {
    recorder = std::make_unique<platform::ChromeTraceRecorder>(o.trace);
    if (!recorder->ok()) {
      context.Fail("search: cannot write " + o.trace);
      return;
    }
    platform::AttachPerfRecorder(recorder.get());
  }

  CKZComPtr<IKZArray> result;
  long code = RunOnce(o, key, items, &result);
  std::vector<double> times;
  for (int r = 0; r < o.repeat; ++r) {
    CKZComPtr<IKZArray> again;
    auto start = std::chrono::steady_clock::now();
    RunOnce(o, key, items, &again);
    times.push_back(std::chrono::duration<double, std::milli>(
                        std::chrono::steady_clock::now() - start)
                        .count());
  }

  if (recorder) {
    platform::AttachPerfRecorder(nullptr);
    if (!recorder->Close()) context.Fail("search: cannot write " + o.trace);
  }

  std::ostream& out = *context.out;
  char code_text[16];
  std::snprintf(code_text, sizeof code_text, "0x%08lX",
                static_cast<unsigned long>(code) & 0xFFFFFFFFul);
  DWORD items_count = 0, hit_count = 0;
  items->GetCount(&items_count);
  if (result) result->GetCount(&hit_count);
  if (!times.empty()) {
    std::sort(times.begin(), times.end());
    std::fprintf(stderr, "search: median %.3f ms over %d runs, %u records, %u hits\n",
                 times[times.size() / 2], o.repeat, items_count, hit_count);
  }
  if (o.json) {
    out << platform::KZArrayToJson(result, 2) << '\n';
  } else {
    out << "result: " << code_text << ", " << hit_count << " hits in "
        << items_count << " records\n";
    if (result) PrintHits(result, out, isatty(STDOUT_FILENO) != 0);
  }
  if (code < 0) context.exit_code = kExitFailure;
}

}  // namespace

void RegisterSearchCommand(CLI::App& app, AppContext& context) {
  auto o = std::make_shared<SearchOptions>();
  CLI::App* cmd = app.add_subcommand(
      "search", "Search the members (or --contacts) for a key: Chinese "
                "characters, pinyin, initials, digits or a mix");
  cmd->add_option("key", o->key, "The key (UTF-8)")->required();
  cmd->add_option("--fields", o->fields, "String fields to match, in order")
      ->delimiter(',');
  cmd->add_option("--array-fields", o->array_fields,
                  "String-array fields (DoSearch2)")
      ->delimiter(',');
  cmd->add_option("--number-fields", o->number_fields,
                  "64-bit number-array fields (DoSearch2)")
      ->delimiter(',');
  cmd->add_option("--limit", o->limit,
                  "Stop once more than this many records matched "
                  "(at most limit + 1 hits)");
  cmd->add_flag("--address", o->address, "Address-book search");
  cmd->add_flag("--lm", o->lm, "With --address: match the LM accounts");
  cmd->add_flag("--phones", o->phones,
                "With --address: match the mobile phones");
  cmd->add_flag("--hide-lm", o->hide_lm,
                "Set hide_clm_number: LM numbers of non-members are not "
                "matched (DoSearch2)");
  cmd->add_flag("--json", o->json, "Print the result array as JSON");
  cmd->add_option("--contacts", o->contacts,
                  "A JSON array of contact records instead of the members");
  cmd->add_option("--trace", o->trace,
                  "Write the performance records to FILE (Chrome trace)");
  cmd->add_option("--repeat", o->repeat,
                  "Run the search N more times; print the median time");
  cmd->callback([o, &context] { RunSearch(*o, context); });
}

}  // namespace wrenutil_app
