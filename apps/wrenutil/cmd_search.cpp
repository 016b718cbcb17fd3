// `wrenutil search KEY`: runs the contact search over the sample
// organisation's members (or a JSON array of contact records) and prints each
// hit with its field and the matched span highlighted.
//
//   wrenutil search KEY [--fields a,b] [--array-fields ...]
//       [--number-fields ...] [--limit N] [--address [--lm] [--phones]]
//       [--hide-lm] [--json] [--contacts FILE.json] [--trace FILE]
//       [--repeat N] [--type-ahead [--keys FILE|-] [--filter]]
//
// Without --array-fields/--number-fields DoSearch runs; with either,
// DoSearch2; with --address, DoSearch_Address. --repeat runs the search N
// times and prints the median time of one search to stderr (for the
// side-by-side benchmark); --trace writes the performance records as Chrome
// trace events. --type-ahead searches as a search box does: KEY is typed one
// character at a time (or each line of --keys is the box's text after a
// keystroke; "-" reads them from the standard input) through a search
// session, which prints a line per key and the time it took to stderr.
// The contacts file is read as it streams in.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "apps/wrenutil/cli_support.h"
#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "platform/common/convert.h"
#include "platform/common/kzjson.h"
#include "platform/common/kzjson_stream.h"
#include "platform/common/perf.h"
#include "platform/kernelutil/configservice.h"
#include "platform/kernelutil/orgmembership.h"
#include "wrenutil/searchsession.h"
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
  bool type_ahead = false;
  std::string keys;
  bool filter = false;
  const CLI::Option* key_option = nullptr;  // counts whether a key was given, '' included
};

std::string Utf8(const wchar_t* text) { return Util::Convert::Utf8FromWS(text, -1).str(); }

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
  std::string error;
  items = ReadJsonArray(o.contacts, &error);
  if (!items) context.Fail("search: " + error);
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

long RunOnce(const SearchOptions& o, const CKZStringW& key, IKZArray* items, IKZArray** result) {
  if (o.address) {
    return Util::MarlinSearch::DoSearch_Address(key, items, Names(o.fields), o.lm, o.phones,
                                                o.limit, result);
  }
  if (!o.array_fields.empty() || !o.number_fields.empty()) {
    return Util::MarlinSearch::DoSearch2(key, items, Names(o.fields), Names(o.array_fields),
                                         Names(o.number_fields), o.limit, result);
  }
  return Util::MarlinSearch::DoSearch(key, items, Names(o.fields), o.limit, result);
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
    long long end = std::clamp<long long>(static_cast<long long>(position) + length, begin, size);
    std::wstring before = text.substr(0, static_cast<std::size_t>(begin));
    std::wstring span =
        text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
    std::wstring after = text.substr(static_cast<std::size_t>(end));
    out << uin << '\t' << Utf8(field.c_str());
    if (phone >= 0) out << '[' << phone << ']';
    out << '\t' << Utf8(before.c_str()) << (colour ? "\x1b[1;31m" : "[") << Utf8(span.c_str())
        << (colour ? "\x1b[0m" : "]") << Utf8(after.c_str()) << "\t(pos " << position << ", len "
        << length << ")\n";
  }
}

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// The keys typed: each prefix of KEY (by character), or the lines of --keys.
bool TypedKeys(const SearchOptions& o, AppContext& context, std::vector<CKZStringW>* keys) {
  if (o.keys.empty()) {
    const CKZStringW key(kUtf8, o.key.data(), static_cast<int>(o.key.size()));
    for (int n = 1; n <= key.GetLength(); ++n) keys->push_back(key.Left(n));
    return true;
  }
  std::ifstream file;
  if (o.keys != "-") {
    file.open(o.keys, std::ios::binary);
    if (!file) {
      context.Fail("search: cannot open " + o.keys);
      return false;
    }
  }
  std::istream& in = o.keys == "-" ? std::cin : file;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    keys->push_back(CKZStringW(kUtf8, line.data(), static_cast<int>(line.size())));
  }
  return true;
}

// --type-ahead: every key through one session; a line per key, then the
// hits of the last.
void RunTypeAhead(const SearchOptions& o, IKZArray* items, AppContext& context) {
  if (o.address || !o.array_fields.empty() || !o.number_fields.empty()) {
    context.Fail(
        "search: --type-ahead searches string fields only (no --address, "
        "--array-fields or --number-fields)");
    return;
  }
  std::vector<CKZStringW> keys;
  if (!TypedKeys(o, context, &keys)) return;
  Util::MarlinSearch::SearchSession session(items, Names(o.fields), o.limit);
  std::ostream& out = *context.out;
  if (o.filter) {
    auto start = std::chrono::steady_clock::now();
    session.BuildFilter();
    DWORD count = 0;
    items->GetCount(&count);
    std::fprintf(stderr, "search: filter built in %.1f ms, %zu bytes (%.1f per record)\n",
                 MillisecondsSince(start), session.FilterBytes(),
                 count ? static_cast<double>(session.FilterBytes()) / count : 0.0);
  }
  long code = 0;
  for (const CKZStringW& key : keys) {
    auto start = std::chrono::steady_clock::now();
    code = session.Search(key);
    const double ms = MillisecondsSince(start);
    out << "typed " << Utf8(key.GetString()) << ": " << session.hits().size() << " hits, "
        << session.examined() << " examined" << (session.narrowed() ? " (narrowed)" : "") << '\n';
    out.flush();
    std::fprintf(stderr, "search: %.3f ms for \"%s\"\n", ms, Utf8(key.GetString()).c_str());
  }
  if (session.searched()) {
    CKZComPtr<IKZArray> hits;
    if (FAILED(session.HitRecords(&hits))) {
      context.Fail("search: cannot create the result array", kExitFailure);
      return;
    }
    if (o.json) {
      out << platform::KZArrayToJson(hits, 2) << '\n';
    } else {
      PrintHits(hits, out, UseColour(STDOUT_FILENO));
    }
  }
  if (code < 0) context.exit_code = kExitFailure;
}

void RunSearch(const SearchOptions& o, AppContext& context) {
  const bool has_key = o.key_option != nullptr && o.key_option->count() > 0;
  if (has_key == !o.keys.empty()) {
    context.Fail(has_key ? "search: a key or --keys, not both" : "search: a key is required");
    return;
  }
  const auto load_start = std::chrono::steady_clock::now();
  CKZComPtr<IKZArray> items = LoadContacts(o, context);
  if (items && !o.contacts.empty()) {
    DWORD count = 0;
    items->GetCount(&count);
    std::fprintf(stderr, "search: %u records loaded in %.1f ms\n", count,
                 MillisecondsSince(load_start));
  }
  if (!items || !InstallServices(o, context)) return;
  if (o.type_ahead) return RunTypeAhead(o, items, context);
  const CKZStringW key(kUtf8, o.key.data(), static_cast<int>(o.key.size()));

  std::unique_ptr<platform::ChromeTraceRecorder> recorder;
  if (!o.trace.empty()) {
    recorder = std::make_unique<platform::ChromeTraceRecorder>(o.trace);
    if (!recorder->ok()) {
      context.Fail("search: --trace: cannot write " + o.trace);
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
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }

  if (recorder) {
    platform::AttachPerfRecorder(nullptr);
    if (!recorder->Close()) context.Fail("search: --trace: cannot write " + o.trace);
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
    // No result array (the library refused the key) is no hit either.
    out << (result ? platform::KZArrayToJson(result, 2) : std::string("[]")) << '\n';
  } else {
    out << "result: " << code_text << ", " << hit_count << " hits in " << items_count
        << " records\n";
    if (result) PrintHits(result, out, UseColour(STDOUT_FILENO));
  }
  if (context.exit_code == kExitOk && (code < 0 || hit_count == 0)) {
    context.exit_code = kExitFailure;  // the library refused, or found nothing
  }
}

}  // namespace

void RegisterSearchCommand(CLI::App& app, AppContext& context) {
  auto o = std::make_shared<SearchOptions>();
  CLI::App* cmd = app.add_subcommand("search",
                                     "Search the members (or --contacts) for a key: Chinese "
                                     "characters, pinyin, initials, digits or a mix");
  o->key_option = cmd->add_option("key", o->key, "The key (UTF-8); not with --keys");
  cmd->add_option("--fields", o->fields, "String fields to match, in order")->delimiter(',');
  cmd->add_option("--array-fields", o->array_fields, "String-array fields (DoSearch2)")
      ->delimiter(',');
  cmd->add_option("--number-fields", o->number_fields, "64-bit number-array fields (DoSearch2)")
      ->delimiter(',');
  cmd->add_option("--limit", o->limit,
                  "The search stops once more than N records matched, so it "
                  "gives at most N + 1 hits (--limit 0 still gives one)")
      ->type_name("N")
      ->check(WholeNumber(0xFFFFFFFFu))
      ->capture_default_str();
  CLI::Option* address =
      cmd->add_flag("--address", o->address, "Address-book search (DoSearch_Address)");
  cmd->add_flag("--lm", o->lm, "Also match the LM accounts")->needs(address);
  cmd->add_flag("--phones", o->phones, "Also match the mobile phones")->needs(address);
  cmd->add_flag("--hide-lm", o->hide_lm,
                "Set hide_clm_number: LM numbers of non-members are not "
                "matched (DoSearch2)");
  cmd->add_flag("--json", o->json, "Print the result array as JSON");
  cmd->add_option("--contacts", o->contacts,
                  "A JSON array of contact records instead of the members")
      ->type_name("FILE");
  cmd->add_option("--trace", o->trace, "Write the performance records to FILE (Chrome trace)")
      ->type_name("FILE");
  cmd->add_option("--repeat", o->repeat, "Run the search N more times; print the median time")
      ->type_name("N")
      ->check(WholeNumber(1000000));
  CLI::Option* type_ahead =
      cmd->add_flag("--type-ahead", o->type_ahead,
                    "Search as a search box does: type the key one character at "
                    "a time through a search session");
  cmd->add_option("--keys", o->keys,
                  "FILE (or - for the standard input) whose lines are the box's text "
                  "after each keystroke (needs --type-ahead)")
      ->type_name("FILE")
      ->needs(type_ahead);
  cmd->add_flag("--filter", o->filter, "Build the session's candidate filter (needs --type-ahead)")
      ->needs(type_ahead);
  cmd->callback([o, &context] { RunSearch(*o, context); });
}

}  // namespace wrenutil_app
