// What the menu commands of the demo client print: result codes, menus as
// trees, the call journal of the platform services and the assertions the
// library reported while a command ran.
#ifndef WRENUTIL_APPS_WRENUTIL_MENU_OUTPUT_H_
#define WRENUTIL_APPS_WRENUTIL_MENU_OUTPUT_H_

#include <ostream>
#include <string>
#include <vector>

#include "platform/common/kzassert.h"
#include "platform/common/kzbase.h"

struct IGFMenu;

namespace wrenutil_app {

// UTF-8 of a wide text.
std::string Utf8(const std::wstring& text);

// A result code: failures in hexadecimal ("0x80004005"), others in decimal.
std::string Code(HRESULT hr);

// Collects the library's assertions while it lives, so that they are
// printed with the rest instead of going to the log. At most one at a time.
class AssertCapture {
 public:
  AssertCapture();
  ~AssertCapture();
  AssertCapture(const AssertCapture&) = delete;
  AssertCapture& operator=(const AssertCapture&) = delete;
  // The assertions so far, as "expression at source:line"; empties the list.
  std::vector<std::wstring> Take();

 private:
  platform::AssertHandler previous_;
  std::vector<std::wstring> lines_;
};

// Prints the call journal ("services saw: ...") and the assertions of the
// running AssertCapture, if any.
void PrintJournal(std::ostream& out);

// Prints "function: code", the menu's tree (or "(no menu)") and the journal.
void PrintMenu(std::ostream& out, const char* function, HRESULT hr, IGFMenu* menu);

}  // namespace wrenutil_app

#endif  // WRENUTIL_APPS_WRENUTIL_MENU_OUTPUT_H_
