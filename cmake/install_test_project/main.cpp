// A host built against an installed wrenutil with nothing but the umbrella
// header: it installs a core with the platform's in-memory services, then
// searches contacts, builds a buddy menu, converts a record to KOA and back,
// fits a text, and checks that nothing is left alive. Prints what failed.
#include <wrenutil/wrenutil.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

int g_failures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "install check: %s failed\n", what);
    ++g_failures;
  }
}

void Search() {
  CKZComPtr<IKZArray> contacts;
  std::string error;
  Check(platform::JsonToKZArray(R"([{"dwUin": 10001, "strName": "赵阳"},
                                    {"dwUin": 10002, "strName": "钱磊"}])",
                                &contacts, &error) == S_OK,
        "reading the contacts");
  if (!contacts) return;
  CKZComPtr<IKZArray> hits;
  Util::MarlinSearch::DoSearch(L"zy", contacts, {"strName"}, 19, &hits);
  DWORD count = 0;
  if (hits) hits->GetCount(&count);
  Check(count == 1, "the search for zy");
  CKZComPtr<IKZDataRead> hit;
  DWORD uin = 0;
  if (count == 1 && SUCCEEDED(hits->GetKZDataRead(0, &hit)) && hit) hit->GetDWord("dwUin", &uin);
  Check(uin == 10001, "the hit of zy");
}

void Menu(IKZCoreHost* core) {
  Check(platform::RegisterGFObjects(core) == S_OK, "registering the GF objects");
  auto data = std::make_shared<platform::ContactMenuData>();
  CKZComPtr<IUnknown> services;
  Check(platform::CreateMemoryMenuServices(data, &services) == S_OK &&
            platform::RegisterMenuServices(core, services, platform::kAllMenuServices) == S_OK,
        "registering the menu services");
  // The core's own accessor, as the library uses it.
  CKZComPtr<IGFMenu> probe;
  Check(CreateObject(IGFMenu::kIid, &probe) == 1 && probe, "CreateObject of a menu");

  CKZComPtr<IKZArray> selection;
  Util::Data::CreateKZArray(&selection);
  selection->AddDWord(10002);
  CKZComPtr<IKZData> context;
  Util::Data::CreateKZData(&context);
  context->SetDWord("MENU_WREN_SELECT_IS_SINGLE", 1);
  IGFMenu* raw = nullptr;
  Check(Util::UtilWRENMenu::GetBuddyMenu(selection, &raw, context) >= 0 && raw, "GetBuddyMenu");
  CKZComPtr<IGFMenu> menu;
  menu.Attach(raw);
  CKZComPtr<IGFMenuItem> item;
  CKZBSTR name(L"Send_Message");
  Check(menu && SUCCEEDED(menu->GetItemByName(name, &item)) && item, "the Send_Message item");
}

void Koa() {
  CKZComPtr<IKZData> record;
  std::string error;
  platform::JsonToKZData(R"({"dwUin": 7, "uint64_account": {"@u64": 8589934593}, "strName": "x"})",
                         &record, &error);
  Check(record, "reading the record");
  if (!record) return;
  std::shared_ptr<KOA::TData> koa = KOADataUtil::Data::KZDataToTData(record, nullptr);
  Check(koa && koa->GetType("uint64_account") != 0, "KZDataToTData");
  std::optional<CKZComPtr<IKZData>> back = KOADataUtil::Data::TDataToKZData(koa, nullptr);
  Check(back.has_value() && (*back)->IsEqual(record) == S_OK, "TDataToKZData gives the record");
}

void Fit() {
  CKZComPtr<IGFFont> font;
  Check(platform::CreateGFFont(L"DejaVu Sans", 9, &font) == S_OK, "creating a font");
  const CKZStringW text = L"The quick brown fox";
  const float whole = Util::UI::GetTextBounds(font, Gdiplus::StringFormat(), text).Width;
  Check(whole > 0, "measuring a text");
  const CKZStringW half =
      Util::UI::GetTextBoundsSuitable(font, text, static_cast<unsigned long>(whole / 2));
  Check(half.GetLength() > 0 && half.GetLength() < text.GetLength(), "fitting a text");
}

}  // namespace

int main() {
  int records = 0;
  int sink = platform::AddLogSink([&](const platform::LogEntry&) { ++records; });
  {
    platform::ScopedCore core;
    platform::SetSession({.self_uin = 10001, .major_version = 3, .minor_version = 7});
    Search();
    Menu(core.Get());
    Koa();
    Fit();
    CKZStringW shortened;
    Util::Tools::StringBeginEllipsis(L"abcdefgh", shortened, 5);
    Check(shortened == CKZStringW(L"...efgh"), "StringBeginEllipsis");
  }
  platform::SetSession({});
  platform::RemoveLogSink(sink);
  Check(platform::LiveObjectCount() == 0, "releasing every platform object");
  if (g_failures != 0) return 1;
  std::puts("install check passed");
  return 0;
}
