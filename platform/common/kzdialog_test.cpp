#include "platform/common/kzdialog.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/afutil/afutil.h"
#include "platform/common/kzdata.h"
#include "platform/gf/gf_element.h"
#include "platform/kernelutil/calljournal.h"
#include "platform/testing/platform_test.h"

namespace platform {
namespace {

using Lines = std::vector<std::wstring>;

using DialogTest = testing::PlatformTest;

TEST_F(DialogTest, EveryKindShowsThroughTheProviderWithItsOwner) {
  CKZComPtr<IGFElement> element;
  CreateGFElement(L"main", true, &element);
  CKZComPtr<IGFFrame> frame;
  element->QueryInterface(IGFFrame::kIid, reinterpret_cast<void**>(&frame));
  auto* hwnd = reinterpret_cast<HWND>(0x1234);

  dialogs().QueueAnswer(DialogAnswer::Button(IDNO));
  dialogs().QueueAnswer(DialogAnswer::Button(IDCANCEL));
  dialogs().QueueAnswer(DialogAnswer::Confirm(L"/home/u/a.txt"));
  dialogs().QueueAnswer(DialogAnswer::Confirm(L"/home/u"));
  dialogs().QueueAnswer(DialogAnswer::Confirm(L"新文件夹"));

  EXPECT_EQ(Util::Misc::MessageBoxW(frame, L"Sure?", L"Title", 0x24), IDNO);
  IKZData* result = reinterpret_cast<IKZData*>(0x1);
  EXPECT_EQ(Util::Misc::MessageBoxExW(nullptr, L"limit", L"T", 0x30, nullptr, &result), IDCANCEL);
  EXPECT_EQ(result, nullptr);
  CKZFileDialog file(1, nullptr, L"a.txt", nullptr, 0x88002E, L"Text|*.txt||", hwnd, 1, nullptr);
  ASSERT_EQ(file.DoModal(), IDOK);
  EXPECT_EQ(file.GetFileFullName(), L"/home/u/a.txt");
  CKZStringW folder;
  EXPECT_EQ(Util::Shell::BrowseForFolder(nullptr, L"/tmp", &folder), 1);
  EXPECT_EQ(folder, L"/home/u");

  CKZComPtr<IKZInputDialog> input;
  ASSERT_EQ(RegisterDialogObjects(core()), S_OK);
  ASSERT_EQ(core()->CreateObject(IKZInputDialog::kClsid, IKZInputDialog::kIid,
                                 reinterpret_cast<void**>(&input)),
            S_OK);
  CKZComPtr<IKZData> params;
  Util::Data::CreateKZData(&params);
  params->SetStr("strTitle", L"Add");
  params->SetStr("strPromptText", L"Name:");
  params->SetStr("strInputText", L"");
  params->SetStr("strLimitType", L"UTF8");
  params->SetDWord("nLimitLength", 7);
  ASSERT_EQ(input->DoModal(params, frame), S_OK);
  CKZStringW answer;
  Util::Data::GetKZDataStr(params, "strInputText", answer);
  EXPECT_EQ(answer, L"新文") << "cut to 7 UTF-8 bytes at a character boundary";

  // Unscripted: boxes take their first button, dialogs are cancelled.
  EXPECT_EQ(Util::MsgBox::Show(nullptr, L"m", L"c", 0x40), IDOK);
  EXPECT_EQ(Util::Misc::MessageBoxW(nullptr, L"q", L"c", 0x3), IDYES);
  EXPECT_EQ(input->DoModal(params, nullptr), S_FALSE);
  Util::Data::GetKZDataStr(params, "strInputText", answer);
  EXPECT_EQ(answer, L"新文") << "a cancel leaves the bag alone";
  EXPECT_EQ(file.DoModal(), IDCANCEL);
  EXPECT_EQ(file.GetFileFullName(), L"");
  EXPECT_EQ(input->DoModal(nullptr, nullptr), E_POINTER);
  EXPECT_EQ(Util::Shell::BrowseForFolder(nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(RegisterDialogObjects(nullptr), E_POINTER);

  EXPECT_EQ(dialogs().Transcript(),
            (Lines{L"MessageBox(owner, \"Sure?\", \"Title\", 0x24) -> 7",
                   L"MessageBox(no owner, \"limit\", \"T\", 0x30) -> 2",
                   L"FileDialog(owner, open, \"a.txt\", \"Text|*.txt||\", 0x88002e) -> "
                   L"\"/home/u/a.txt\"",
                   L"FolderPicker(no owner, \"/tmp\") -> \"/home/u\"",
                   L"InputDialog(owner, \"Add\", \"Name:\", \"\", limit 7 utf8) -> \"新文件夹\"",
                   L"MessageBox(no owner, \"m\", \"c\", 0x40) -> 1",
                   L"MessageBox(no owner, \"q\", \"c\", 0x3) -> 6",
                   L"InputDialog(no owner, \"Add\", \"Name:\", \"新文\", limit 7 utf8) -> cancel",
                   L"FileDialog(owner, open, \"a.txt\", \"Text|*.txt||\", 0x88002e) -> cancel"}));
  EXPECT_EQ(dialogs().requests()[0].owner, frame.Get());
  EXPECT_EQ(dialogs().requests()[2].owner, hwnd);
}

TEST_F(DialogTest, WithoutAProviderNothingIsShown) {
  SetDialogProvider(nullptr);
  EXPECT_EQ(Util::Misc::MessageBoxW(nullptr, L"m", L"c", MB_YESNO), IDYES);
  EXPECT_EQ(Util::MsgBox::Show(nullptr, nullptr, nullptr, MB_RETRYCANCEL), IDRETRY);
  CKZStringW folder(L"kept");
  EXPECT_EQ(Util::Shell::BrowseForFolder(nullptr, L"/", &folder), 0);
  EXPECT_EQ(folder, L"kept");
}

// Runs the terminal provider over `input` and returns what it printed.
std::string Terminal(const DialogRequest& request, const char* input, bool interactive,
                     DialogAnswer* answer) {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::fputs(input, in);
  std::rewind(in);
  TerminalDialogProvider provider(in, out, interactive);
  *answer = provider.Show(request);
  std::rewind(out);
  std::string printed;
  for (int c; (c = std::fgetc(out)) != EOF;) printed.push_back(static_cast<char>(c));
  std::fclose(in);
  std::fclose(out);
  return printed;
}

TEST_F(DialogTest, TheTerminalProviderAsksAndCancelsWithoutATerminal) {
  DialogRequest box;
  box.text = L"Delete it?";
  box.title = L"Confirm";
  box.style = MB_YESNOCANCEL;
  DialogRequest input;
  input.kind = DialogKind::kInputDialog;
  input.text = L"Name:";
  DialogRequest ok_box;
  ok_box.text = L"Done";
  struct Case {
    const char* name;
    const DialogRequest* request;
    const char* typed;
    bool interactive;
    int button;
    bool confirmed;
    std::wstring text;
    const char* printed;
  } cases[] = {
      {"box answered after a wrong word", &box, "maybe\nn\n", true, IDNO, true, L"",
       "[Confirm]\nDelete it?\n(yes/no/cancel) (yes/no/cancel) "},
      {"box at the end of input", &box, "", true, IDCANCEL, false, L"", "(yes/no/cancel) "},
      {"box without a terminal", &box, "yes\n", false, IDCANCEL, false, L"", "Delete it?\n"},
      {"ok box without a terminal", &ok_box, "", false, IDOK, true, L"", "Done\n"},
      {"input", &input, "鹪鹩\n", true, IDOK, true, L"鹪鹩", "answer (empty line cancels): "},
      {"input left empty", &input, "\n", true, IDCANCEL, false, L"", "Name:\n"},
      {"input without a terminal", &input, "x\n", false, IDCANCEL, false, L"",
       "(no terminal: cancelled)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DialogAnswer answer;
    std::string printed = Terminal(*c.request, c.typed, c.interactive, &answer);
    EXPECT_EQ(answer.button, c.button);
    EXPECT_EQ(answer.confirmed, c.confirmed);
    EXPECT_EQ(answer.text, c.text);
    EXPECT_NE(printed.find(c.printed), std::string::npos) << printed;
  }
}

}  // namespace
}  // namespace platform
