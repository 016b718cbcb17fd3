// The auto-reply service kept in the profile store.
#include <string>
#include <utility>
#include <vector>

#include "platform/common/convert.h"
#include "platform/common/kzdata.h"
#include "platform/common/refcounted.h"
#include "platform/common/store.h"
#include "platform/kernelutil/autoreply.h"

namespace platform {
namespace {

constexpr const char* kSteps[] = {
    "CREATE TABLE auto_reply(position INTEGER PRIMARY KEY, text TEXT NOT NULL);"
    "CREATE TABLE auto_reply_state(id INTEGER PRIMARY KEY CHECK (id = 1), "
    "active INTEGER NOT NULL, current INTEGER NOT NULL)",
};
constexpr StoreSchema kSchema{"autoreply", kSteps};

std::string Utf8(const std::wstring& text) {
  CKZStringA a = Util::Convert::Utf8FromWS(text.c_str(), static_cast<int>(text.size()));
  return std::string(a.GetString(), static_cast<std::size_t>(a.GetLength()));
}

std::wstring Wide(std::string_view text) {
  return Util::Convert::Utf8ToWS(text.data(), static_cast<int>(text.size())).GetString();
}

struct Replies {
  bool present = false;  // the profile has its state row
  int active = 0;
  DWORD current = 0;
  std::vector<std::wstring> texts;
};

// Replaces the texts (and, with `state`, the state row) inside a write.
HRESULT WriteReplies(sql::Db& db, const std::vector<std::wstring>* texts, const Replies* state) {
  if (texts != nullptr) {
    if (!db.Exec("DELETE FROM auto_reply")) return KZ_E_STORE;
    sql::Statement insert;
    if (!db.Prepare("INSERT INTO auto_reply(position, text) VALUES(?, ?)", &insert)) {
      return KZ_E_STORE;
    }
    for (std::size_t i = 0; i < texts->size(); ++i) {
      insert.Reset();
      if (!insert.Bind(1, static_cast<std::int64_t>(i)) || !insert.Bind(2, Utf8((*texts)[i])) ||
          !insert.Run()) {
        return KZ_E_STORE;
      }
    }
  }
  if (state != nullptr) {
    sql::Statement upsert;
    if (!db.Prepare("INSERT INTO auto_reply_state(id, active, current) VALUES(1, ?, ?) "
                    "ON CONFLICT(id) DO UPDATE SET active = excluded.active, "
                    "current = excluded.current",
                    &upsert) ||
        !upsert.Bind(1, state->active) ||
        !upsert.Bind(2, static_cast<std::int64_t>(state->current)) || !upsert.Run()) {
      return KZ_E_STORE;
    }
  }
  return S_OK;
}

class ProfileAutoReplyService : public RefCounted<IKZAutoReplyHost> {
 public:
  explicit ProfileAutoReplyService(std::vector<std::wstring> initial)
      : initial_(std::move(initial)) {}

  HRESULT GetAutoReplyState(int* active, DWORD* current, IKZData*) override {
    if (active == nullptr || current == nullptr) return E_POINTER;
    Replies replies;
    if (HRESULT hr = Load(&replies); FAILED(hr)) return hr;
    *active = replies.active;
    *current = replies.current;
    return S_OK;
  }

  HRESULT GetAutoReplyList(IKZArray** list) override {
    if (list == nullptr) return E_POINTER;
    *list = nullptr;
    Replies replies;
    if (HRESULT hr = Load(&replies); FAILED(hr)) return hr;
    CKZComPtr<IKZArray> out;
    if (!Util::Data::CreateKZArray(&out) || !out) return E_OUTOFMEMORY;
    for (const std::wstring& text : replies.texts) out->AddStr(text.c_str());
    *list = out.Detach();
    return S_OK;
  }

  HRESULT SetAutoReplies(IKZArray* list) override {
    if (list == nullptr) return E_POINTER;
    std::vector<std::wstring> texts;
    DWORD count = 0;
    list->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
      CKZBSTR text;
      if (FAILED(list->GetStr(i, &text))) return E_INVALIDARG;
      texts.push_back(text.c_str());
    }
    Replies state;  // a new profile starts with none active
    return RunInProfile(kSchema, StoreAccess::kWrite, [&](sql::Db& db) {
      Replies current;
      if (HRESULT hr = Read(db, &current); FAILED(hr)) return hr;
      return WriteReplies(db, &texts, current.present ? nullptr : &state);
    });
  }

  HRESULT SetAutoReplyState(int active, DWORD current) override {
    Replies state;
    state.active = active;
    state.current = current;
    return RunInProfile(kSchema, StoreAccess::kWrite, [&](sql::Db& db) {
      Replies stored;
      if (HRESULT hr = Read(db, &stored); FAILED(hr)) return hr;
      return WriteReplies(db, stored.present ? nullptr : &initial_, &state);
    });
  }

 private:
  static HRESULT Read(sql::Db& db, Replies* replies) {
    sql::Statement state;
    if (!db.Prepare("SELECT active, current FROM auto_reply_state WHERE id = 1", &state)) {
      return KZ_E_STORE;
    }
    switch (state.Next()) {
      case sql::Statement::Step::kRow:
        replies->present = true;
        replies->active = static_cast<int>(state.ColumnInt64(0));
        replies->current = static_cast<DWORD>(state.ColumnInt64(1));
        break;
      case sql::Statement::Step::kDone:
        return S_OK;
      case sql::Statement::Step::kError:
        return KZ_E_STORE;
    }
    sql::Statement texts;
    if (!db.Prepare("SELECT text FROM auto_reply ORDER BY position", &texts)) return KZ_E_STORE;
    for (;;) {
      switch (texts.Next()) {
        case sql::Statement::Step::kRow:
          replies->texts.push_back(Wide(texts.ColumnText(0)));
          continue;
        case sql::Statement::Step::kDone:
          return S_OK;
        case sql::Statement::Step::kError:
          return KZ_E_STORE;
      }
    }
  }

  // Reads the profile's replies; a profile without them gets the initial
  // ones first.
  HRESULT Load(Replies* replies) {
    HRESULT hr =
        RunInProfile(kSchema, StoreAccess::kRead, [&](sql::Db& db) { return Read(db, replies); });
    if (FAILED(hr) || replies->present) return hr;
    return RunInProfile(kSchema, StoreAccess::kWrite, [&](sql::Db& db) {
      *replies = Replies{};
      if (HRESULT read = Read(db, replies); FAILED(read) || replies->present) return read;
      replies->texts = initial_;
      Replies state;
      return WriteReplies(db, &initial_, &state);
    });
  }

  const std::vector<std::wstring> initial_;
};

}  // namespace

HRESULT CreateProfileAutoReplyService(std::vector<std::wstring> initial,
                                      IKZAutoReplyHost** service) {
  if (service == nullptr) return E_POINTER;
  *service = new ProfileAutoReplyService(std::move(initial));
  return S_OK;
}

}  // namespace platform
