// Property bags and text conversions: set/get by name, deep copy of a record
// tree, UTF-8 and GBK conversions of a contact-sized text.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/common/convert.h"
#include "platform/common/kzdata.h"

namespace {

const char* const kNames[] = {"dwUin",    "strName",  "strEnglishName", "uint64_account",
                              "dwDeptId", "strPhone", "bOnline",        "strTitle"};

CKZComPtr<IKZData> Record(int i) {
  CKZComPtr<IKZData> d;
  Util::Data::CreateKZData(&d);
  d->SetDWord("dwUin", static_cast<DWORD>(10000 + i));
  d->SetStr("strName", L"曾丽华");
  d->SetStr("strEnglishName", L"zeng lihua");
  d->SetUInt64("uint64_account", (2ull << 32) | static_cast<unsigned>(i));
  d->SetDWord("dwDeptId", 3);
  d->SetStr("strPhone", L"13800138000");
  d->SetBool("bOnline", 1);
  d->SetStr("strTitle", L"客户端开发工程师");
  return d;
}

void BM_BagSetDWord(benchmark::State& state) {
  CKZComPtr<IKZData> d = Record(0);
  DWORD v = 0;
  for (auto _ : state) {
    d->SetDWord("dwDeptId", ++v);
  }
}
BENCHMARK(BM_BagSetDWord);

void BM_BagGetEachField(benchmark::State& state) {
  CKZComPtr<IKZData> d = Record(0);
  for (auto _ : state) {
    BYTE type = 0;
    for (const char* name : kNames) {
      d->GetFieldType(name, &type);
      benchmark::DoNotOptimize(type);
    }
  }
}
BENCHMARK(BM_BagGetEachField);

void BM_BagGetStr(benchmark::State& state) {
  CKZComPtr<IKZData> d = Record(0);
  for (auto _ : state) {
    CKZBSTR s;
    d->GetStr("strTitle", &s);
    benchmark::DoNotOptimize(s.Get());
  }
}
BENCHMARK(BM_BagGetStr);

// A department of N member records, copied deeply.
void BM_BagDeepCopy(benchmark::State& state) {
  CKZComPtr<IKZData> dept;
  CKZComPtr<IKZArray> members;
  Util::Data::CreateKZData(&dept);
  Util::Data::CreateKZArray(&members);
  for (int i = 0; i < state.range(0); ++i) members->AddKZData(Record(i));
  dept->SetKZArray("rpt_member", members);
  for (auto _ : state) {
    CKZComPtr<IKZData> copy;
    Util::Data::CreateKZData(&copy);
    dept->CopyTo(copy);
    benchmark::DoNotOptimize(copy.Get());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BagDeepCopy)->Arg(100)->Arg(10000);

const wchar_t kText[] = L"鹪鹩网络科技有限公司 客户端开发部 曾丽华 zeng lihua 13800138000";

void BM_Utf8FromWS(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(Util::Convert::Utf8FromWS(kText, -1));
  }
}
BENCHMARK(BM_Utf8FromWS);

void BM_Utf8ToWS(benchmark::State& state) {
  CKZStringA utf8 = Util::Convert::Utf8FromWS(kText, -1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Util::Convert::Utf8ToWS(utf8.GetString(), utf8.GetLength()));
  }
}
BENCHMARK(BM_Utf8ToWS);

void BM_UnicodeToGBK(benchmark::State& state) {
  for (auto _ : state) {
    CKZStringA out;
    Util::Convert::UnicodeToGBK(out, kText, -1);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_UnicodeToGBK);

void BM_GBKToUnicode(benchmark::State& state) {
  CKZStringA gbk;
  Util::Convert::UnicodeToGBK(gbk, kText, -1);
  for (auto _ : state) {
    CKZStringW out;
    Util::Convert::GBKToUnicode(out, gbk.GetString(), gbk.GetLength());
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_GBKToUnicode);

}  // namespace

BENCHMARK_MAIN();
