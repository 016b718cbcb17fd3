#include "apps/wrenutil/input_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/testing/platform_test.h"

namespace wrenutil_app {
namespace {

class InputFileTest : public platform::testing::PlatformTest {
 protected:
  // A file in the test's temporary folder holding `text`.
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + "/wrenutil_input_" + name;
    std::ofstream(path, std::ios::binary) << text;
    written_.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const std::string& path : written_) std::remove(path.c_str());
    PlatformTest::TearDown();
  }

 private:
  std::vector<std::string> written_;
};

TEST_F(InputFileTest, ReadsWholeFilesAndSaysWhatWentWrong) {
  const std::string dir = ::testing::TempDir();
  const std::string full = Write("full.json", "{\"a\": 1}");
  const std::string empty = Write("empty.json", "");
  const std::string ten = Write("ten", "0123456789");
  struct Case {
    std::string path;
    std::size_t limit;
    bool ok;
    std::string text_or_error;
  };
  const Case kCases[] = {
      {full, kMaxInputBytes, true, "{\"a\": 1}"},
      {empty, kMaxInputBytes, true, ""},
      {"/dev/null", kMaxInputBytes, true, ""},
      {ten, 10, true, "0123456789"},
      {ten, 9, false, "cannot read " + ten + ": more than 9 bytes"},
      // An endless file stops at the cap.
      {"/dev/zero", std::size_t{1} << 20, false, "cannot read /dev/zero: more than 1 MiB"},
      {"/nonexistent/x.json", kMaxInputBytes, false,
       "cannot open /nonexistent/x.json: No such file or directory"},
      {dir, kMaxInputBytes, false, "cannot read " + dir + ": it is a directory"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.path + " limit " + std::to_string(c.limit));
    std::string text = "unchanged";
    std::string error;
    EXPECT_EQ(ReadFile(c.path, &text, &error, c.limit), c.ok);
    EXPECT_EQ(c.ok ? text : error, c.text_or_error);
    if (!c.ok) {
      EXPECT_EQ(text, "unchanged");
    }
  }
}

TEST_F(InputFileTest, JsonFilesGiveOneKindOfMessage) {
  const std::string record = Write("record.json", "{\"dwUin\": 7}");
  const std::string array = Write("array.json", " \n [{\"dwUin\": 7}, 8]");
  const std::string blank = Write("blank.json", " \n\t ");
  const std::string bad = Write("bad.json", "{\"dwUin\": ");
  std::string error;

  CKZComPtr<IKZData> data = ReadJsonRecord(record, &error);
  ASSERT_TRUE(data);
  DWORD uin = 0;
  EXPECT_EQ(data->GetDWord("dwUin", &uin), S_OK);
  EXPECT_EQ(uin, 7u);
  CKZComPtr<IKZArray> list = ReadJsonArray(array, &error);
  ASSERT_TRUE(list);
  DWORD count = 0;
  list->GetCount(&count);
  EXPECT_EQ(count, 2u);

  // Record or array, by the first character that is not white space.
  for (const std::string& path : {record, array}) {
    SCOPED_TRACE(path);
    CKZComPtr<IKZData> r;
    CKZComPtr<IKZArray> a;
    ASSERT_TRUE(ReadJsonRecordOrArray(path, &r, &a, &error)) << error;
    EXPECT_EQ(static_cast<bool>(a), path == array);
    EXPECT_EQ(static_cast<bool>(r), path == record);
  }

  struct Failure {
    std::string path;
    std::string prefix;
  };
  const Failure kFailures[] = {
      {blank, blank + ": empty file"},
      {"/dev/null", "/dev/null: empty file"},
      {bad, bad + ": "},
      {array, array + ": "},  // an array where a record belongs
      {::testing::TempDir(), "cannot read " + ::testing::TempDir() + ": it is a directory"},
  };
  for (const Failure& f : kFailures) {
    SCOPED_TRACE(f.path);
    error.clear();
    EXPECT_FALSE(ReadJsonRecord(f.path, &error));
    EXPECT_EQ(error.rfind(f.prefix, 0), 0u) << error;
    CKZComPtr<IKZData> r;
    CKZComPtr<IKZArray> a;
    if (f.path != array) {
      error.clear();
      EXPECT_FALSE(ReadJsonRecordOrArray(f.path, &r, &a, &error));
      EXPECT_EQ(error.rfind(f.prefix, 0), 0u) << error;
      EXPECT_FALSE(r);
      EXPECT_FALSE(a);
    }
  }
  error.clear();
  EXPECT_FALSE(ReadJsonArray(record, &error));
  EXPECT_EQ(error.rfind(record + ": ", 0), 0u) << error;
}

// Arrays are read as they stream in, with the same messages and a cap of
// their own.
TEST_F(InputFileTest, StreamedArraysGiveTheSameMessages) {
  const std::string array = Write("array.json", "[1, 2, 3]");
  const std::string blank = Write("blank.json", " \n\t ");
  const std::string bad = Write("bad.json", "[1, ");
  struct Failure {
    std::string path;
    std::size_t limit;
    std::string error;
  };
  const Failure kFailures[] = {
      {blank, kMaxStreamedBytes, blank + ": empty file"},
      {"/dev/null", kMaxStreamedBytes, "/dev/null: empty file"},
      {bad, kMaxStreamedBytes, bad + ": offset 4: "},
      {array, 8, "cannot read " + array + ": more than 8 bytes"},
      {"/dev/zero", 1 << 20, "/dev/zero: offset 0: "},
      {::testing::TempDir(), kMaxStreamedBytes,
       "cannot read " + ::testing::TempDir() + ": it is a directory"},
      {"/nonexistent/a.json", kMaxStreamedBytes, "cannot open /nonexistent/a.json: "},
  };
  for (const Failure& f : kFailures) {
    SCOPED_TRACE(f.path);
    std::string error;
    EXPECT_FALSE(ReadJsonArray(f.path, &error, f.limit));
    EXPECT_EQ(error.rfind(f.error, 0), 0u) << error;
  }
  std::string error;
  CKZComPtr<IKZArray> list = ReadJsonArray(array, &error, 9);  // exactly the file's size
  ASSERT_TRUE(list) << error;
  DWORD count = 0;
  list->GetCount(&count);
  EXPECT_EQ(count, 3u);
}

}  // namespace
}  // namespace wrenutil_app
