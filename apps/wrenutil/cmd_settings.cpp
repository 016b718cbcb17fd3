// `wrenutil settings get SECTION KEY`, `settings set SECTION KEY JSON`,
// `settings ls SECTION`: bags in the settings store, shown and given as JSON.
#include <memory>
#include <ostream>
#include <string>

#include "apps/wrenutil/commands.h"
#include "apps/wrenutil/host.h"
#include "platform/common/convert.h"
#include "platform/common/kzjson.h"
#include "platform/common/settingsstore.h"
#include "platform/common/store.h"

namespace wrenutil_app {
namespace {

struct SettingsOptions {
  std::string section;
  std::string key;
  std::string json;
  bool one_line = false;
};

CKZStringW Wide(const std::string& text) {
  return Util::Convert::Utf8ToWS(text.c_str(), static_cast<int>(text.size()));
}

// The settings store, with the profile ready; null after reporting a failure.
CKZComPtr<IKZSettingsStore> Store(AppContext& context) {
  CKZComPtr<IKZSettingsStore> store;
  std::string error;
  if (!context.host->UseProfile(&error)) {
    context.Fail(error, kExitFailure);
    return store;
  }
  CKZComPtr<IKZCore> core;
  Util::Core::GetPlatformCore(&core);
  if (!core || FAILED(core->GetService(IKZSettingsStore::kIid, reinterpret_cast<void**>(&store)))) {
    context.Fail("the settings store is not available", kExitFailure);
  }
  return store;
}

void RunGet(const SettingsOptions& o, AppContext& context) {
  CKZComPtr<IKZSettingsStore> store = Store(context);
  if (!store) return;
  CKZComPtr<IKZData> bag;
  HRESULT hr = store->ReadData(Wide(o.section), Wide(o.key), &bag);
  if (hr == KZ_E_NOTFOUND) {
    context.Fail("nothing is stored under " + o.section + " / " + o.key, kExitFailure);
  } else if (hr == KZ_E_STORE_BADDATA) {
    context.Fail("the bag stored under " + o.section + " / " + o.key + " is damaged", kExitFailure);
  } else if (FAILED(hr)) {
    context.Fail(StoreFailureText(hr), kExitFailure);
  } else {
    *context.out << platform::KZDataToJson(bag, o.one_line ? -1 : 2) << '\n';
  }
}

void RunSet(const SettingsOptions& o, AppContext& context) {
  CKZComPtr<IKZData> bag;
  std::string error;
  if (FAILED(platform::JsonToKZData(o.json, &bag, &error))) {
    context.Fail("JSON: " + error);
    return;
  }
  CKZComPtr<IKZSettingsStore> store = Store(context);
  if (!store) return;
  HRESULT hr = store->WriteData(Wide(o.section), Wide(o.key), bag);
  if (hr == E_INVALIDARG) {
    context.Fail("the section and the key must not be empty");
  } else if (FAILED(hr)) {
    context.Fail(StoreFailureText(hr), kExitFailure);
  } else {
    *context.out << "stored under " << o.section << " / " << o.key << '\n';
  }
}

void RunList(const SettingsOptions& o, AppContext& context) {
  CKZComPtr<IKZSettingsStore> store = Store(context);
  if (!store) return;
  CKZComPtr<IKZArray> keys;
  HRESULT hr = store->GetKeys(Wide(o.section), &keys);
  if (FAILED(hr)) {
    context.Fail(StoreFailureText(hr), kExitFailure);
    return;
  }
  DWORD count = 0;
  keys->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    CKZBSTR key;
    keys->GetStr(i, &key);
    *context.out << Util::Convert::Utf8FromWS(key.c_str(), static_cast<int>(key.Length())).str()
                 << '\n';
  }
  if (count == 0) context.Fail("no keys in section " + o.section, kExitFailure);
}

}  // namespace

void RegisterSettingsCommand(CLI::App& app, AppContext& context) {
  auto o = std::make_shared<SettingsOptions>();
  CLI::App* cmd = app.add_subcommand(
      "settings", "Read and write bags of the settings store (kept in the profile store)");
  cmd->require_subcommand(1);

  CLI::App* get = cmd->add_subcommand("get", "Print the bag stored under SECTION KEY as JSON");
  get->add_option("section", o->section, "Section")->required();
  get->add_option("key", o->key, "Key")->required();
  get->add_flag("--one-line", o->one_line, "Print the JSON on one line");
  get->callback([o, &context] { RunGet(*o, context); });

  CLI::App* set = cmd->add_subcommand(
      "set",
      "Store a bag, given as JSON (the typed JSON of the platform's bags), under "
      "SECTION KEY");
  set->add_option("section", o->section, "Section")->required();
  set->add_option("key", o->key, "Key")->required();
  set->add_option("json", o->json, "The bag, e.g. '{\"ShowName\": {\"@bool\": true}}'")->required();
  set->callback([o, &context] { RunSet(*o, context); });

  CLI::App* ls = cmd->add_subcommand("ls", "List the keys of SECTION");
  ls->add_option("section", o->section, "Section")->required();
  ls->callback([o, &context] { RunList(*o, context); });
}

}  // namespace wrenutil_app
