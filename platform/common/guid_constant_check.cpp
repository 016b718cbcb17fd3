// Compiled by CTest with GUID_TEXT set to a good and to bad registry texts:
// platform::MakeGuid must accept the good one and refuse each bad one at
// compile time.
#include "platform/common/kzbase.h"

constexpr GUID kChecked = platform::MakeGuid(GUID_TEXT);

int main() { return kChecked.Data1 == 0 ? 1 : 0; }
