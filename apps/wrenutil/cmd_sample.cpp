// `wrenutil sample [members [--dept ID] | depts | outer]`: what the
// organisation holds, so that a user finds contact numbers for the other
// commands.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "apps/wrenutil/cli_support.h"
#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "platform/common/convert.h"

namespace wrenutil_app {
namespace {

std::string Str(IKZDataRead* data, const char* name) {
  CKZStringW text;
  Util::Data::GetKZDataStr(data, name, text);
  return Util::Convert::Utf8FromWS(text, text.GetLength()).str();
}

DWORD Number(IKZDataRead* data, const char* name) {
  DWORD value = 0;
  data->GetDWord(name, &value);
  return value;
}

// Department names by id.
std::map<DWORD, std::string> DepartmentNames(const Sample& sample) {
  std::map<DWORD, std::string> names;
  DWORD count = 0;
  sample.departments()->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZDataRead> dept;
    if (FAILED(sample.departments()->GetKZDataRead(i, &dept)) || !dept) continue;
    names[Number(dept, "dwDeptId")] = Str(dept, "strDeptName");
  }
  return names;
}

void PrintSummary(const Sample& sample, std::ostream& out) {
  DWORD members = 0, outer = 0, depts = 0, groups = 0;
  sample.members()->GetCount(&members);
  sample.outer_contacts()->GetCount(&outer);
  sample.departments()->GetCount(&depts);
  sample.outer_groups()->GetCount(&groups);
  IKZData* self = sample.FindContact(sample.self_uin());
  out << "organisation:    " << Str(sample.organisation(), "strCorpName") << '\n'
      << "corporation:     " << sample.corp_uin() << '\n'
      << "own number:      " << sample.self_uin() << " (" << Str(self, "strName") << ")\n"
      << "client version:  " << sample.major_version() << '.' << sample.minor_version() << '\n'
      << "members:         " << members << '\n'
      << "departments:     " << depts << '\n'
      << "outer contacts:  " << outer << " in " << groups << " groups\n";
}

void PrintMembers(const Sample& sample, std::optional<std::uint32_t> dept_filter,
                  std::ostream& out) {
  std::map<DWORD, std::string> depts = DepartmentNames(sample);
  DWORD count = 0;
  sample.members()->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZDataRead> m;
    if (FAILED(sample.members()->GetKZDataRead(i, &m)) || !m) continue;
    DWORD uin = Number(m, "dwUin");
    DWORD dept = Number(m, "dwDeptId");
    if (dept_filter && dept != *dept_filter) continue;
    out << uin << '\t' << Str(m, "strName") << '\t' << Str(m, "strEnglishName") << '\t'
        << depts[dept] << '\t' << Str(m, "strMobile");
    if (Util::Data::HasField(m, "rpt_str_lm")) out << "\tLM";
    if (uin == sample.self_uin()) out << "\t(own number)";
    out << '\n';
  }
}

void PrintDepartments(const Sample& sample, std::ostream& out) {
  struct Dept {
    DWORD id;
    std::string name;
  };
  std::map<DWORD, std::vector<Dept>> children;
  std::map<DWORD, int> sizes;
  DWORD count = 0;
  sample.departments()->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZDataRead> d;
    if (FAILED(sample.departments()->GetKZDataRead(i, &d)) || !d) continue;
    children[Number(d, "dwParentId")].push_back({Number(d, "dwDeptId"), Str(d, "strDeptName")});
  }
  sample.members()->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZDataRead> m;
    if (SUCCEEDED(sample.members()->GetKZDataRead(i, &m)) && m) {
      ++sizes[Number(m, "dwDeptId")];
    }
  }
  // Depth-first from the roots (parent 0). The loader refused cycles and
  // departments listed twice, so every department is printed once; the walk
  // keeps its own stack, so a deep tree needs no deep recursion.
  std::vector<std::pair<const Dept*, std::size_t>> stack;
  auto push_children = [&](DWORD parent, std::size_t depth) {
    const std::vector<Dept>& list = children[parent];
    for (auto it = list.rbegin(); it != list.rend(); ++it) stack.emplace_back(&*it, depth);
  };
  push_children(0, 0);
  while (!stack.empty()) {
    const auto [d, depth] = stack.back();
    stack.pop_back();
    out << std::string(depth * 2, ' ') << d->id << ' ' << d->name;
    if (sizes[d->id] > 0) out << " (" << sizes[d->id] << ")";
    out << '\n';
    push_children(d->id, depth + 1);
  }
}

void PrintOuter(const Sample& sample, std::ostream& out) {
  std::map<DWORD, std::string> groups;
  DWORD count = 0;
  sample.outer_groups()->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZDataRead> g;
    if (SUCCEEDED(sample.outer_groups()->GetKZDataRead(i, &g)) && g) {
      groups[Number(g, "GroupID")] = Str(g, "GroupName");
    }
  }
  sample.outer_contacts()->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZComPtr<IKZDataRead> c;
    if (FAILED(sample.outer_contacts()->GetKZDataRead(i, &c)) || !c) continue;
    int buddy = 1;
    c->GetBool("bBuddy", &buddy);
    out << Number(c, "dwUin") << '\t' << Str(c, "strName") << '\t' << Str(c, "strCompany") << '\t'
        << groups[Number(c, "dwGroupId")] << "\tkind " << Number(c, "dwAccountKind")
        << (buddy ? "" : "\tstranger") << '\n';
  }
}

}  // namespace

void RegisterSampleCommand(CLI::App& app, AppContext& context) {
  CLI::App* cmd = app.add_subcommand("sample",
                                     "Show the sample organisation: summary, members, departments, "
                                     "outer contacts");
  cmd->callback([cmd, &context] {
    if (cmd->get_subcommands().empty()) {
      PrintSummary(context.host->sample(), *context.out);
    }
  });

  auto dept = std::make_shared<std::optional<std::uint32_t>>();
  CLI::App* members =
      cmd->add_subcommand("members",
                          "List the members: number, name, English name, department, "
                          "mobile phone");
  members->add_option("--dept", *dept, "Only the members of this department id")
      ->type_name("ID")
      ->check(WholeNumber(0xFFFFFFFFu));
  members->callback([dept, &context] {
    if (*dept && !context.host->sample().HasDepartment(**dept)) {
      context.Fail("no department has the id " + std::to_string(**dept) +
                   " (wrenutil sample depts lists them)");
      return;
    }
    PrintMembers(context.host->sample(), *dept, *context.out);
  });

  cmd->add_subcommand("depts", "Show the department tree with member counts")->callback([&context] {
    PrintDepartments(context.host->sample(), *context.out);
  });
  cmd->add_subcommand("outer", "List the outer contacts")->callback([&context] {
    PrintOuter(context.host->sample(), *context.out);
  });
}

}  // namespace wrenutil_app
