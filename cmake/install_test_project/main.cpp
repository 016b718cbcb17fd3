// Installs a core, creates a bag through the library's platform, logs through
// a sink, and checks that nothing is left alive.
#include <wrenutil/wrenutil.h>

#include <cstdio>

int main() {
  int records = 0;
  int sink = platform::AddLogSink([&](const platform::LogEntry&) { ++records; });
  {
    platform::ScopedCore core;
    CKZComPtr<IKZData> bag;
    std::string error;
    if (platform::JsonToKZData(R"({"dwId": 7, "strName": "abc"})", &bag, &error) != S_OK) {
      std::fprintf(stderr, "parse failed: %s\n", error.c_str());
      return 1;
    }
    DWORD id = 0;
    bag->GetDWord("dwId", &id);
    if (id != 7) return 1;
    CKZStringW shortened;
    Util::Tools::StringBeginEllipsis(L"abcdefgh", shortened, 5);
    if (shortened != CKZStringW(L"...efgh")) return 1;
  }
  platform::RemoveLogSink(sink);
  if (platform::LiveObjectCount() != 0) return 1;
  std::puts("install check passed");
  return 0;
}
