#include "platform/common/kzdata.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <typeinfo>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/common/convert.h"
#include "platform/common/refcounted.h"

namespace {

class Buffer;
class Data;
class Array;

// ---------------------------------------------------------------------------
// Releasing without recursion. A record or array hands the objects it held
// here instead of releasing them itself; the outermost release on a thread
// releases them one after another, so that dropping a tree of any depth takes
// no more stack than dropping one record.
struct ReleaseQueue {
  std::vector<IUnknown*> pending;
  bool draining = false;
};
thread_local ReleaseQueue t_release;

void ReleaseObject(IUnknown* object) {
  ReleaseQueue& queue = t_release;
  if (queue.draining) {
    try {
      queue.pending.push_back(object);
      return;
    } catch (...) {
      // No memory for the queue: release at once (this one recursion is
      // bounded by the memory that is left).
    }
    object->Release();
    return;
  }
  queue.draining = true;
  object->Release();
  while (!queue.pending.empty()) {
    IUnknown* next = queue.pending.back();
    queue.pending.pop_back();
    next->Release();
  }
  queue.draining = false;
}

// ---------------------------------------------------------------------------
// A text too long to be kept inside its record: immutable, shared by every
// copy of the field (the count is atomic, so copies may live on other
// threads). Its characters end with a zero.
struct TextBlock {
  std::atomic<std::uint32_t> refs{1};
  std::uint32_t size = 0;

  wchar_t* chars() { return reinterpret_cast<wchar_t*>(this + 1); }
  static TextBlock* Make(std::wstring_view text) {
    if (text.size() >= 0x7FFFFFFFu / sizeof(wchar_t)) throw std::bad_alloc();
    void* memory = ::operator new(sizeof(TextBlock) + (text.size() + 1) * sizeof(wchar_t));
    auto* block = new (memory) TextBlock;
    block->size = static_cast<std::uint32_t>(text.size());
    if (!text.empty()) std::memcpy(block->chars(), text.data(), text.size() * sizeof(wchar_t));
    block->chars()[text.size()] = L'\0';
    return block;
  }
  void Ref() { refs.fetch_add(1, std::memory_order_relaxed); }
  void Unref() {
    if (refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      this->~TextBlock();
      ::operator delete(this);
    }
  }
};
static_assert(sizeof(TextBlock) % alignof(wchar_t) == 0);

// ---------------------------------------------------------------------------
// One field of a record or element of an array.
enum SlotFlag : std::uint8_t {
  kSharedText = 1,  // the text lives in a TextBlock
  kOurObject = 2,   // the object is one of our records or arrays
};

union Payload {
  std::int64_t i;
  std::uint64_t u;
  double d;
  IUnknown* object;  // buffer, record, array (as its interface) or interface field
  std::uint32_t at;  // where a short text lives in the region
  TextBlock* text;
};

struct Slot {
  std::uint32_t head;       // the first four bytes of the name, zeros past its end
  std::uint32_t name;       // where the name's bytes live in the region
  std::uint16_t name_size;  // 0 for array elements
  BYTE type;
  std::uint8_t flags;
  std::uint32_t aux;  // a text's size; an interface field's IID position
  Payload v;
};
static_assert(sizeof(Slot) == 24);

bool HoldsObject(BYTE type) {
  return type == KZ_TYPE_BUF || type == KZ_TYPE_KZDATA || type == KZ_TYPE_KZARRAY ||
         type == KZ_TYPE_INTERFACE;
}

// The first four bytes of a name, zeros past its end.
std::uint32_t NameHead(std::string_view name) {
  std::uint32_t head = 0;
  const std::size_t n = std::min<std::size_t>(name.size(), 4);
  for (std::size_t i = 0; i < n; ++i) {
    head |= std::uint32_t{static_cast<unsigned char>(name[i])} << (8 * i);
  }
  return head;
}

// Equal bytes of two names of `n` bytes whose first four bytes are known to
// be equal: compared a word at a time, the last word overlapping.
bool SameBytes(const char* a, const char* b, std::size_t n) {
  auto word = [](const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
  };
  auto half = [](const char* p) {
    std::uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
  };
  if (n <= 4) return true;
  if (n <= 8) return half(a + n - 4) == half(b + n - 4);
  std::size_t at = 0;
  for (; at + 8 < n; at += 8) {
    if (word(a + at) != word(b + at)) return false;
  }
  return word(a + n - 8) == word(b + n - 8);
}

// A value on its way into a slot. Objects get a reference when stored; a
// text is copied into the region when short, else shared (`block`, when
// given) or copied into a block of its own.
struct Incoming {
  BYTE type = KZ_TYPE_NONE;
  Payload v{};
  std::wstring_view text;
  TextBlock* block = nullptr;
  IID iid{};
};

// A number on its way into a slot, in the payload member of its type.
template <class T>
Incoming Number(BYTE code, T value) {
  Incoming in;
  in.type = code;
  if constexpr (std::is_same_v<T, double>) {
    in.v.d = value;
  } else if constexpr (std::is_same_v<T, std::uint64_t>) {
    in.v.u = value;
  } else {
    in.v.i = value;
  }
  return in;
}

void CountParent(IUnknown* object, int delta);
bool IsOurContainer(IUnknown* object);

// The fields of a record or the elements of an array, in one region: the
// slots from its start, and the bytes of names, short texts and interface
// ids from its end. A position counts back from the region's end, so that
// the bytes can move with the region's end. The region starts inside the
// object that owns the store and moves to the heap when it grows out of it.
// Bytes that a field no longer uses are reclaimed when the region grows.
class Store {
 public:
  // The longest text kept inside the region.
  static constexpr std::size_t kInlineChars = 31;

  Store(std::byte* region, std::uint32_t capacity) : base_(region), capacity_(capacity) {}
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;
  ~Store() {
    Clear();
    if (heap_) ::operator delete(base_);
  }

  std::uint32_t count() const { return count_; }
  Slot* slots() { return reinterpret_cast<Slot*>(base_); }
  const Slot* slots() const { return reinterpret_cast<const Slot*>(base_); }
  Slot& operator[](std::size_t i) { return slots()[i]; }
  const Slot& operator[](std::size_t i) const { return slots()[i]; }
  std::size_t used() const { return count_ * sizeof(Slot) + bytes_; }
  bool on_heap() const { return heap_; }

  std::string_view Name(const Slot& s) const {
    return {reinterpret_cast<const char*>(End() - s.name), s.name_size};
  }
  const wchar_t* Chars(const Slot& s) const {
    return (s.flags & kSharedText) != 0 ? s.v.text->chars()
                                        : reinterpret_cast<const wchar_t*>(End() - s.v.at);
  }
  std::wstring_view Text(const Slot& s) const { return {Chars(s), s.aux}; }
  IID Iid(const Slot& s) const {
    IID iid;
    std::memcpy(&iid, End() - s.aux, sizeof iid);
    return iid;
  }

  // The bytes of the region that a value needs, alignment included.
  static std::size_t BytesFor(const Incoming& in) {
    if (in.type == KZ_TYPE_STR && in.block == nullptr && in.text.size() <= kInlineChars) {
      return (in.text.size() + 1) * sizeof(wchar_t) + 3;
    }
    return in.type == KZ_TYPE_INTERFACE ? sizeof(IID) + 3 : 0;
  }

  // Makes room for `slots` more slots and `bytes` more bytes. Slots and
  // positions found before stay valid; addresses do not.
  void Reserve(std::size_t slots, std::size_t bytes) {
    const std::size_t extra = slots * sizeof(Slot) + bytes;
    if (used() + extra > capacity_) Grow(extra);
  }

  // Appends a slot named `name` (room reserved), holding nothing.
  Slot& Append(std::string_view name, std::uint32_t head) {
    Slot& s = slots()[count_++];
    s = Slot{};
    s.head = head;
    s.name_size = static_cast<std::uint16_t>(name.size());
    if (!name.empty()) s.name = Put(name.data(), name.size(), 1);
    return s;
  }

  // Stores `in` in `s` (room reserved with BytesFor), dropping what `s`
  // held. Only a long text's block may fail to be made, before anything
  // changed.
  void Assign(Slot& s, const Incoming& in) {
    Slot n = s;
    n.type = in.type;
    n.flags = 0;
    n.aux = 0;
    n.v = in.v;
    if (in.type == KZ_TYPE_STR) {
      n.aux = static_cast<std::uint32_t>(in.text.size());
      if (in.block != nullptr) {
        in.block->Ref();
        n.v.text = in.block;
        n.flags = kSharedText;
      } else if (in.text.size() <= kInlineChars) {
        n.v.at = PutText(in.text);
      } else {
        n.v.text = TextBlock::Make(in.text);
        n.flags = kSharedText;
      }
    } else if (HoldsObject(in.type)) {
      in.v.object->AddRef();
      if (in.type == KZ_TYPE_INTERFACE) {
        n.aux = Put(&in.iid, sizeof in.iid, 4);
      } else if (IsOurContainer(in.v.object)) {
        n.flags = kOurObject;
        CountParent(in.v.object, 1);
      }
    }
    Drop(s);
    s = n;
  }

  // Drops what a slot holds (it then holds nothing).
  void Drop(Slot& s) {
    if ((s.flags & kSharedText) != 0) {
      s.v.text->Unref();
    } else if (HoldsObject(s.type) && s.v.object != nullptr) {
      if ((s.flags & kOurObject) != 0) CountParent(s.v.object, -1);
      ReleaseObject(s.v.object);
    }
    s.type = KZ_TYPE_NONE;
    s.flags = 0;
  }

  void Remove(std::size_t index) {
    Drop(slots()[index]);
    std::memmove(static_cast<void*>(slots() + index), slots() + index + 1,
                 (count_ - index - 1) * sizeof(Slot));
    if (--count_ == 0) bytes_ = 0;
  }

  void Clear() {
    for (std::uint32_t i = 0; i < count_; ++i) Drop(slots()[i]);
    count_ = 0;
    bytes_ = 0;
  }

  // Makes this empty store hold the slots and bytes of `from` as they are.
  // The payloads are not owned yet: the caller takes a reference for each
  // (or empties the slot) before anything else reads the store.
  void CopyRaw(const Store& from) {
    Clear();
    Reserve(from.count_, from.bytes_);
    std::memcpy(static_cast<void*>(slots()), from.slots(), from.count_ * sizeof(Slot));
    std::memcpy(End() - from.bytes_, from.End() - from.bytes_, from.bytes_);
    count_ = from.count_;
    bytes_ = from.bytes_;
  }

  // A hint to the processor to fetch what a read of the first fields
  // touches: the first slots, and the end of the region, where the bytes of
  // the first fields' names and texts lie.
  void Prefetch() const {
    __builtin_prefetch(base_ + 32);
    __builtin_prefetch(End() - 1);
    __builtin_prefetch(End() - 65);
  }

 private:
  std::byte* End() const { return base_ + capacity_; }

  // Copies `n` bytes into the region, aligned to `align`; their position.
  std::uint32_t Put(const void* data, std::size_t n, std::size_t align) {
    std::size_t at = (bytes_ + n + align - 1) & ~(align - 1);
    bytes_ = static_cast<std::uint32_t>(at);
    std::memcpy(End() - at, data, n);
    return bytes_;
  }
  std::uint32_t PutText(std::wstring_view text) {
    const std::size_t n = text.size();
    std::size_t at = (bytes_ + (n + 1) * sizeof(wchar_t) + 3) & ~std::size_t{3};
    bytes_ = static_cast<std::uint32_t>(at);
    auto* chars = reinterpret_cast<wchar_t*>(End() - at);
    if (n != 0) std::memcpy(chars, text.data(), n * sizeof(wchar_t));
    chars[n] = L'\0';
    return bytes_;
  }

  // The bytes the slots and what they use take, with room for alignment:
  // what is left when the bytes no field uses any more are left out.
  std::size_t LiveSize() const {
    std::size_t size = count_ * (sizeof(Slot) + 3);
    for (std::uint32_t i = 0; i < count_; ++i) {
      const Slot& s = slots()[i];
      size += s.name_size;
      if (s.type == KZ_TYPE_STR && (s.flags & kSharedText) == 0) {
        size += (s.aux + 1) * sizeof(wchar_t);
      } else if (s.type == KZ_TYPE_INTERFACE) {
        size += sizeof(IID);
      }
    }
    return size;
  }

  // Makes room for `extra` more bytes: the bytes no field uses any more are
  // left out, in the same region when that frees enough (so that a field set
  // again and again does not make the region grow), else in a larger region
  // on the heap.
  void Grow(std::size_t extra) {
    const std::size_t need = LiveSize() + extra;
    const bool in_place = need <= capacity_ - capacity_ / 4;
    std::size_t capacity = capacity_;
    if (!in_place) {
      capacity = std::max(need + need / 2, std::size_t{capacity_} * 2);
      capacity = (capacity + 64 + 7) & ~std::size_t{7};
      if (capacity > 0xFFFFFFF0u) throw std::bad_alloc();
    }
    auto* region = static_cast<std::byte*>(::operator new(capacity));
    Store fresh(region, static_cast<std::uint32_t>(capacity));
    for (std::uint32_t i = 0; i < count_; ++i) {
      const Slot& s = slots()[i];
      Slot& t = fresh.slots()[fresh.count_++];
      t = s;
      if (s.name_size != 0) t.name = fresh.Put(End() - s.name, s.name_size, 1);
      if (s.type == KZ_TYPE_STR && (s.flags & kSharedText) == 0) {
        t.v.at = fresh.PutText(Text(s));
      } else if (s.type == KZ_TYPE_INTERFACE) {
        t.aux = fresh.Put(End() - s.aux, sizeof(IID), 4);
      }
    }
    if (in_place) {
      // Positions count from the end, and the capacity is the same.
      std::memcpy(base_, region, count_ * sizeof(Slot));
      std::memcpy(End() - fresh.bytes_, fresh.End() - fresh.bytes_, fresh.bytes_);
      ::operator delete(region);
    } else {
      if (heap_) ::operator delete(base_);
      base_ = fresh.base_;
      capacity_ = fresh.capacity_;
      heap_ = true;
    }
    bytes_ = fresh.bytes_;
    // The slots moved with their payloads: the fresh store owns nothing.
    fresh.count_ = 0;
    fresh.heap_ = false;
  }

  std::byte* base_;
  std::uint32_t capacity_;
  std::uint32_t count_ = 0;
  std::uint32_t bytes_ = 0;
  bool heap_ = false;
};

// The room a new record keeps inside itself. When a record is stored in an
// array or another record, a loader is done with it: if it outgrew its room,
// the records its thread makes next, which a loader makes alike, get room
// enough for it, so that they take one allocation each; if it left most of
// the room unused, the next ones get less.
constexpr std::uint32_t kDefaultRoom = 192;
constexpr std::uint32_t kMostRoom = 1024;
thread_local std::uint32_t t_record_room = kDefaultRoom;

// Allocates an object of type T with `room` bytes of region after it.
template <class T>
T* NewWithRoom(std::size_t room) {
  room = (room + 7) & ~std::size_t{7};
  if (room > 0xFFFFFFF0u) throw std::bad_alloc();
  void* memory = ::operator new(sizeof(T) + room);
  return new (memory) T(static_cast<std::uint32_t>(room));
}

// A record's or an array's own region, after the object.
template <class T>
std::byte* RegionAfter(T* object) {
  static_assert(sizeof(T) % 8 == 0);
  return reinterpret_cast<std::byte*>(object) + sizeof(T);
}

// Our own objects are told by their exact type, which costs a comparison
// where a dynamic cast walks the class tree.
template <class Ours, class I>
Ours* AsOursOf(I* object) {
  return object != nullptr && typeid(*object) == typeid(Ours) ? static_cast<Ours*>(object)
                                                              : nullptr;
}

// Names arrive narrow or wide; both are kept narrow (UTF-8). A wide name is
// converted into `storage` when it is not ASCII or is long.
std::string_view NarrowName(const char* name, std::string&) {
  return name != nullptr ? std::string_view(name) : std::string_view();
}
std::string_view NarrowName(const wchar_t* name, std::string& storage) {
  if (name == nullptr) return {};
  storage.clear();
  for (const wchar_t* p = name; *p != L'\0'; ++p) {
    if (static_cast<std::uint32_t>(*p) >= 0x80) {
      storage = Util::Convert::Utf8FromWS(name, -1).str();
      break;
    }
    storage.push_back(static_cast<char>(*p));
  }
  return storage;
}

HRESULT CopyBuffer(IKZBuffer* from, CKZComPtr<IKZBuffer>& to);
bool BuffersEqual(IKZBuffer* a, IKZBuffer* b);
HRESULT CopyTree(const Store& from, Store& to);
bool TreesEqual(const Store& a, const Store& b, bool records);

// ---------------------------------------------------------------------------
class Buffer : public platform::RefCounted<IKZBuffer> {
 public:
  HRESULT GetData(BYTE** data) override {
    if (data == nullptr) return E_POINTER;
    *data = bytes_.empty() ? nullptr : bytes_.data();
    return S_OK;
  }
  HRESULT GetSize(DWORD* size) override {
    if (size == nullptr) return E_POINTER;
    *size = static_cast<DWORD>(bytes_.size());
    return S_OK;
  }
  HRESULT SetData(const BYTE* data, DWORD size) override {
    if (data == nullptr && size != 0) return E_POINTER;
    bytes_.assign(data, data + size);
    return S_OK;
  }
  HRESULT CopyFrom(IKZBuffer* other) override {
    if (other == nullptr) return E_POINTER;
    BYTE* data = nullptr;
    DWORD size = 0;
    other->GetData(&data);
    other->GetSize(&size);
    if (other == this) return S_OK;
    return SetData(data, size);
  }

 private:
  std::vector<BYTE> bytes_;
};

// The number types of the bags: the name in the methods' names, the C++
// type, the type code and the member of the payload that holds the value.
#define KZ_NUMBER_TYPES(X)                    \
  X(Bool, int, KZ_TYPE_BOOL, i)               \
  X(UInt8, std::uint8_t, KZ_TYPE_UINT8, i)    \
  X(Int8, std::int8_t, KZ_TYPE_INT8, i)       \
  X(UInt16, std::uint16_t, KZ_TYPE_UINT16, i) \
  X(Int16, std::int16_t, KZ_TYPE_INT16, i)    \
  X(DWord, DWORD, KZ_TYPE_DWORD, i)           \
  X(Int32, std::int32_t, KZ_TYPE_INT32, i)    \
  X(UInt64, std::uint64_t, KZ_TYPE_UINT64, u) \
  X(Int64, std::int64_t, KZ_TYPE_INT64, i)    \
  X(Double, double, KZ_TYPE_DOUBLE, d)

// ---------------------------------------------------------------------------
// What records and arrays share: the store, the count of records and arrays
// of ours that hold this one (when none does, storing an object in this one
// cannot close a cycle), and the cycle test.
class Container {
 public:
  explicit Container(std::byte* region, std::uint32_t room) : store_(region, room) {}
  Store& store() { return store_; }
  const Store& store() const { return store_; }
  void AddParents(int delta) { parents_.fetch_add(static_cast<std::uint32_t>(delta)); }

 protected:
  // True when storing `object` here would make this container part of
  // itself: it is this container or holds it at some depth.
  bool WouldCycle(IUnknown* object) const;

  Store store_;
  std::atomic<std::uint32_t> parents_{0};
};

// A value read out of a slot, to be stored elsewhere: texts are shared,
// records, arrays and buffers copied deeply (the copy held by `hold`).
struct Detached {
  Incoming in;
  CKZComPtr<IUnknown> hold;
};
HRESULT DetachValue(const Store& store, const Slot& s, Detached* out);

class Data final : public platform::RefCounted<IKZData>, public Container {
 public:
  // A new record with `room` bytes for its fields inside itself.
  static Data* New(std::size_t room) { return NewWithRoom<Data>(room); }
  static Data* New() {
    Data* data = New(t_record_room);
    data->learn_ = true;
    return data;
  }
  static void operator delete(void* p) { ::operator delete(p); }

  explicit Data(std::uint32_t room) : Container(RegionAfter(this), room), room_(room) {}

  // Called when the record is stored in an array or record: adjusts the room
  // of the next records its thread makes (see t_record_room), once.
  void NoteStored() {
    if (!learn_) return;
    learn_ = false;
    const std::size_t used = store_.used();
    const std::size_t want = (used + used / 8 + 16 + 7) & ~std::size_t{7};
    std::size_t room = t_record_room;
    if (store_.on_heap()) {
      room = std::max(room, std::min<std::size_t>(want, kMostRoom));
    } else if (used * 2 < room_) {
      room = std::max({std::size_t{kDefaultRoom}, want, room * 7 / 8});
    }
    t_record_room = static_cast<std::uint32_t>(room);
  }

  // A string field's characters, borrowed (see platform::PeekStr).
  HRESULT PeekStr(platform::FieldKey& key, std::wstring_view* text) const {
    const Slot* s = Lookup(key);
    if (s == nullptr) return key.size() == 0 ? E_INVALIDARG : KZ_E_NOFIELD;
    if (s->type != KZ_TYPE_STR) return KZ_E_TYPEMISMATCH;
    *text = store_.Text(*s);
    return S_OK;
  }

  // Getters ---------------------------------------------------------------
#define KZ_GET_NUMBER(Name, T, Code, Member)                  \
  HRESULT Get##Name(const wchar_t* name, T* value) override { \
    return GetNumber(name, value, Code);                      \
  }                                                           \
  HRESULT Get##Name(const char* name, T* value) override { return GetNumber(name, value, Code); }
  KZ_NUMBER_TYPES(KZ_GET_NUMBER)
#undef KZ_GET_NUMBER

  HRESULT GetStr(const wchar_t* name, BSTR* value) override { return GetStrT(name, value); }
  HRESULT GetStr(const char* name, BSTR* value) override { return GetStrT(name, value); }
  HRESULT GetBuf(const wchar_t* name, IKZBuffer** value) override {
    return GetObj<IKZBuffer>(name, value, KZ_TYPE_BUF);
  }
  HRESULT GetBuf(const char* name, IKZBuffer** value) override {
    return GetObj<IKZBuffer>(name, value, KZ_TYPE_BUF);
  }
  HRESULT GetInterface(const wchar_t* name, REFIID iid, void** object) override {
    return GetInterfaceT(name, iid, object);
  }
  HRESULT GetInterface(const char* name, REFIID iid, void** object) override {
    return GetInterfaceT(name, iid, object);
  }
  HRESULT GetKZArrayRead(const wchar_t* name, IKZArrayRead** value) override {
    return GetArrayRead(name, value);
  }
  HRESULT GetKZArrayRead(const char* name, IKZArrayRead** value) override {
    return GetArrayRead(name, value);
  }
  HRESULT GetFieldType(const wchar_t* name, BYTE* type) override { return GetTypeT(name, type); }
  HRESULT GetFieldType(const char* name, BYTE* type) override { return GetTypeT(name, type); }

  HRESULT GetFieldCount(DWORD* count) override {
    if (count == nullptr) return E_POINTER;
    *count = store_.count();
    return S_OK;
  }
  HRESULT GetFieldName(DWORD index, BSTR* name) override {
    if (name == nullptr) return E_POINTER;
    if (index >= store_.count()) return KZ_E_BADINDEX;
    const std::string_view n = store_.Name(store_[index]);
    *name = Util::Convert::Utf8ToWS(n.data(), static_cast<int>(n.size())).GetBSTR();
    return S_OK;
  }
  HRESULT GetFieldTypeAt(DWORD index, BYTE* type) override {
    if (type == nullptr) return E_POINTER;
    if (index >= store_.count()) return KZ_E_BADINDEX;
    *type = store_[index].type;
    return S_OK;
  }
  HRESULT IsEqual(IKZDataRead* other) override;
  HRESULT CopyTo(IKZData* destination) override;

  // Writers ---------------------------------------------------------------
  HRESULT CopyField(const wchar_t* name, IKZData* destination) override {
    return CopyFieldT(name, destination);
  }
  HRESULT CopyField(const char* name, IKZData* destination) override {
    return CopyFieldT(name, destination);
  }
  HRESULT GetKZData(const wchar_t* name, IKZData** value) override {
    return GetObj<IKZData>(name, value, KZ_TYPE_KZDATA);
  }
  HRESULT GetKZData(const char* name, IKZData** value) override {
    return GetObj<IKZData>(name, value, KZ_TYPE_KZDATA);
  }
  HRESULT GetKZArray(const wchar_t* name, IKZArray** value) override {
    return GetObj<IKZArray>(name, value, KZ_TYPE_KZARRAY);
  }
  HRESULT GetKZArray(const char* name, IKZArray** value) override {
    return GetObj<IKZArray>(name, value, KZ_TYPE_KZARRAY);
  }

#define KZ_SET_NUMBER(Name, T, Code, Member)                 \
  HRESULT Set##Name(const wchar_t* name, T value) override { \
    return SetValue(name, Number(Code, value));              \
  }                                                          \
  HRESULT Set##Name(const char* name, T value) override {    \
    return SetValue(name, Number(Code, value));              \
  }
  KZ_NUMBER_TYPES(KZ_SET_NUMBER)
#undef KZ_SET_NUMBER

  HRESULT SetStr(const wchar_t* name, const wchar_t* value) override {
    return SetStrT(name, value);
  }
  HRESULT SetStr(const char* name, const wchar_t* value) override { return SetStrT(name, value); }
  HRESULT SetBuf(const wchar_t* name, IKZBuffer* value) override {
    return SetObj(name, KZ_TYPE_BUF, value);
  }
  HRESULT SetBuf(const char* name, IKZBuffer* value) override {
    return SetObj(name, KZ_TYPE_BUF, value);
  }
  HRESULT SetInterface(const wchar_t* name, REFIID iid, IUnknown* object) override {
    return SetInterfaceT(name, iid, object);
  }
  HRESULT SetInterface(const char* name, REFIID iid, IUnknown* object) override {
    return SetInterfaceT(name, iid, object);
  }
  HRESULT SetKZData(const wchar_t* name, IKZData* value) override {
    return SetObj(name, KZ_TYPE_KZDATA, value);
  }
  HRESULT SetKZData(const char* name, IKZData* value) override {
    return SetObj(name, KZ_TYPE_KZDATA, value);
  }
  HRESULT SetKZArray(const wchar_t* name, IKZArray* value) override {
    return SetObj(name, KZ_TYPE_KZARRAY, value);
  }
  HRESULT SetKZArray(const char* name, IKZArray* value) override {
    return SetObj(name, KZ_TYPE_KZARRAY, value);
  }
  HRESULT RemoveField(const wchar_t* name) override { return RemoveT(name); }
  HRESULT RemoveField(const char* name) override { return RemoveT(name); }

  // Stores a value under a narrow, non-empty name, replacing a field of the
  // same name in place.
  void Put(std::string_view name, const Incoming& in) {
    const std::uint32_t head = NameHead(name);
    const std::size_t bytes = Store::BytesFor(in);
    if (Slot* s = Find(name, head)) {
      const std::size_t index = static_cast<std::size_t>(s - store_.slots());
      store_.Reserve(0, bytes);
      store_.Assign(store_[index], in);
      return;
    }
    store_.Reserve(1, name.size() + bytes);
    Slot& s = store_.Append(name, head);
    try {
      store_.Assign(s, in);
    } catch (...) {
      store_.Remove(store_.count() - 1);
      throw;
    }
  }

  // Stores a copied value into any IKZData, ours or another implementation.
  static HRESULT PutInto(IKZData* destination, std::string_view name, const Incoming& in);

 private:
  ~Data() override = default;

  // The field named `name`, whose NameHead is `head`.
  Slot* Find(std::string_view name, std::uint32_t head) {
    Slot* slots = store_.slots();
    for (std::uint32_t i = 0; i < store_.count(); ++i) {
      Slot& s = slots[i];
      if (s.head == head && s.name_size == name.size() &&
          SameBytes(store_.Name(s).data(), name.data(), name.size())) {
        return &s;
      }
    }
    return nullptr;
  }
  // Finds a field by a prepared name, first where the name found it last.
  const Slot* Lookup(platform::FieldKey& key) const {
    const std::uint32_t count = store_.count();
    const std::uint32_t hint = key.hint();
    const Slot* slots = store_.slots();
    if (hint < count && IsNamed(slots[hint], key)) return &slots[hint];
    for (std::uint32_t i = 0; i < count; ++i) {
      if (IsNamed(slots[i], key)) {
        key.set_hint(i);
        return &slots[i];
      }
    }
    return nullptr;
  }
  bool IsNamed(const Slot& s, const platform::FieldKey& key) const {
    return s.head == key.head() && s.name_size == key.size() &&
           SameBytes(store_.Name(s).data(), key.name(), key.size());
  }

  // Finds a field by either name form; sets *hr to the failure otherwise.
  // Reading allocates nothing for narrow names and short ASCII wide ones.
  const Slot* Lookup(const char* name, HRESULT* hr) const {
    if (name == nullptr || *name == '\0') {
      *hr = E_INVALIDARG;
      return nullptr;
    }
    const std::string_view n(name);
    const Slot* s = const_cast<Data*>(this)->Find(n, NameHead(n));
    if (s == nullptr) *hr = KZ_E_NOFIELD;
    return s;
  }
  const Slot* Lookup(const wchar_t* name, HRESULT* hr) const {
    if (name == nullptr || *name == L'\0') {
      *hr = E_INVALIDARG;
      return nullptr;
    }
    char small[32];
    std::size_t length = 0;
    for (; name[length] != L'\0' && length < sizeof small; ++length) {
      if (static_cast<std::uint32_t>(name[length]) >= 0x80) break;
      small[length] = static_cast<char>(name[length]);
    }
    if (name[length] == L'\0') {
      const std::string_view n(small, length);
      const Slot* s = const_cast<Data*>(this)->Find(n, NameHead(n));
      if (s == nullptr) *hr = KZ_E_NOFIELD;
      return s;
    }
    std::string narrow = Util::Convert::Utf8FromWS(name, -1).str();
    return Lookup(narrow.c_str(), hr);
  }
  template <class Name, class T>
  HRESULT GetNumber(Name name, T* out, BYTE code) {
    if (out == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    const Slot* s = Lookup(name, &hr);
    if (s == nullptr) return hr;
    if (s->type != code) return KZ_E_TYPEMISMATCH;
    if constexpr (std::is_same_v<T, double>) {
      *out = s->v.d;
    } else if constexpr (std::is_same_v<T, std::uint64_t>) {
      *out = s->v.u;
    } else {
      *out = static_cast<T>(s->v.i);
    }
    return S_OK;
  }
  template <class Name>
  HRESULT GetStrT(Name name, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    const Slot* s = Lookup(name, &hr);
    if (s == nullptr) return hr;
    if (s->type != KZ_TYPE_STR) return KZ_E_TYPEMISMATCH;
    *out = SysAllocStringLen(store_.Chars(*s), s->aux);
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  template <class I, class Name>
  HRESULT GetObj(Name name, I** out, BYTE code) {
    if (out == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    const Slot* s = Lookup(name, &hr);
    if (s == nullptr) return hr;
    if (s->type != code) return KZ_E_TYPEMISMATCH;
    I* object = static_cast<I*>(s->v.object);
    object->AddRef();
    *out = object;
    return S_OK;
  }
  template <class Name>
  HRESULT GetArrayRead(Name name, IKZArrayRead** out) {
    if (out == nullptr) return E_POINTER;
    IKZArray* array = nullptr;
    HRESULT hr = GetObj<IKZArray>(name, &array, KZ_TYPE_KZARRAY);
    if (FAILED(hr)) return hr;
    *out = array;  // the reference moves to the read view
    return S_OK;
  }
  template <class Name>
  HRESULT GetInterfaceT(Name name, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    const Slot* s = Lookup(name, &hr);
    if (s == nullptr) return hr;
    if (s->type != KZ_TYPE_INTERFACE) return KZ_E_TYPEMISMATCH;
    void* result = nullptr;
    hr = s->v.object->QueryInterface(iid, &result);
    if (FAILED(hr)) return hr;
    *out = result;
    return S_OK;
  }
  template <class Name>
  HRESULT GetTypeT(Name name, BYTE* type) {
    if (type == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    const Slot* s = Lookup(name, &hr);
    *type = s ? s->type : static_cast<BYTE>(KZ_TYPE_NONE);
    return s ? S_OK : hr;
  }
  template <class Name>
  HRESULT SetValue(Name name, const Incoming& in) {
    std::string storage;
    const std::string_view narrow = NarrowName(name, storage);
    if (narrow.empty() || narrow.size() > 0xFFFF) return E_INVALIDARG;
    Put(narrow, in);
    return S_OK;
  }
  template <class Name>
  HRESULT SetStrT(Name name, const wchar_t* value) {
    Incoming in;
    in.type = KZ_TYPE_STR;
    if (value != nullptr) in.text = value;
    return SetValue(name, in);
  }
  template <class Name, class I>
  HRESULT SetObj(Name name, BYTE code, I* object) {
    if (object == nullptr) return E_POINTER;
    if (code != KZ_TYPE_BUF && WouldCycle(object)) return E_INVALIDARG;
    Incoming in;
    in.type = code;
    in.v.object = object;
    return SetValue(name, in);
  }
  template <class Name>
  HRESULT SetInterfaceT(Name name, REFIID iid, IUnknown* object) {
    if (object == nullptr) return E_POINTER;
    Incoming in;
    in.type = KZ_TYPE_INTERFACE;
    in.v.object = object;
    in.iid = iid;
    return SetValue(name, in);
  }
  template <class Name>
  HRESULT CopyFieldT(Name name, IKZData* destination) {
    if (destination == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    const Slot* s = Lookup(name, &hr);
    if (s == nullptr) return hr;
    Detached value;
    hr = DetachValue(store_, *s, &value);
    if (FAILED(hr)) return hr;
    std::string storage;
    return PutInto(destination, NarrowName(name, storage), value.in);
  }
  template <class Name>
  HRESULT RemoveT(Name name) {
    std::string storage;
    const std::string_view narrow = NarrowName(name, storage);
    if (narrow.empty()) return E_INVALIDARG;
    Slot* s = Find(narrow, NameHead(narrow));
    if (s == nullptr) return KZ_E_NOFIELD;
    store_.Remove(static_cast<std::size_t>(s - store_.slots()));
    return S_OK;
  }

  std::uint32_t room_;  // the room it was made with
  bool learn_ = false;  // made with the thread's room, and not yet stored
};

// ---------------------------------------------------------------------------
class Array final : public platform::RefCounted<IKZArray>, public Container {
 public:
  static constexpr std::uint32_t kRoom = 48;
  static Array* New(std::size_t room = kRoom) { return NewWithRoom<Array>(room); }
  static void operator delete(void* p) { ::operator delete(p); }

  explicit Array(std::uint32_t room) : Container(RegionAfter(this), room) {}

#define KZ_GET_AT(Name, T, Code, Member)              \
  HRESULT Get##Name(DWORD index, T* value) override { \
    if (value == nullptr) return E_POINTER;           \
    const Slot* s = nullptr;                          \
    HRESULT hr = At(index, Code, &s);                 \
    if (FAILED(hr)) return hr;                        \
    *value = static_cast<T>(s->v.Member);             \
    return S_OK;                                      \
  }
  KZ_NUMBER_TYPES(KZ_GET_AT)
#undef KZ_GET_AT

  HRESULT GetStr(DWORD index, BSTR* value) override {
    if (value == nullptr) return E_POINTER;
    const Slot* s = nullptr;
    HRESULT hr = At(index, KZ_TYPE_STR, &s);
    if (FAILED(hr)) return hr;
    *value = SysAllocStringLen(store_.Chars(*s), s->aux);
    return *value ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT GetBuf(DWORD index, IKZBuffer** value) override {
    return GetObjAt<IKZBuffer>(index, KZ_TYPE_BUF, value);
  }
  HRESULT GetKZDataRead(DWORD index, IKZDataRead** value) override {
    if (value == nullptr) return E_POINTER;
    IKZData* data = nullptr;
    HRESULT hr = GetObjAt<IKZData>(index, KZ_TYPE_KZDATA, &data);
    if (FAILED(hr)) return hr;
    *value = data;
    return S_OK;
  }
  HRESULT GetElementType(DWORD index, BYTE* type) override {
    if (type == nullptr) return E_POINTER;
    if (index >= store_.count()) return KZ_E_BADINDEX;
    *type = store_[index].type;
    return S_OK;
  }
  HRESULT GetCount(DWORD* count) override {
    if (count == nullptr) return E_POINTER;
    *count = store_.count();
    return S_OK;
  }
  HRESULT IsEqual(IKZArrayRead* other) override;

#define KZ_ADD(Name, T, Code, Member) \
  HRESULT Add##Name(T value) override { return Push(Number(Code, value)); }
  KZ_NUMBER_TYPES(KZ_ADD)
#undef KZ_ADD

  HRESULT AddStr(const wchar_t* value) override {
    Incoming in;
    in.type = KZ_TYPE_STR;
    if (value != nullptr) in.text = value;
    return Push(in);
  }
  HRESULT AddKZData(IKZData* value) override { return PushObj(KZ_TYPE_KZDATA, value); }
  HRESULT AddKZArray(IKZArray* value) override { return PushObj(KZ_TYPE_KZARRAY, value); }
  HRESULT AddBuf(IKZBuffer* value) override { return PushObj(KZ_TYPE_BUF, value); }
  HRESULT GetKZData(DWORD index, IKZData** value) override {
    return GetObjAt<IKZData>(index, KZ_TYPE_KZDATA, value);
  }
  HRESULT GetKZArray(DWORD index, IKZArray** value) override {
    return GetObjAt<IKZArray>(index, KZ_TYPE_KZARRAY, value);
  }
  HRESULT GetKZArrayRead(DWORD index, IKZArrayRead** value) override {
    if (value == nullptr) return E_POINTER;
    IKZArray* array = nullptr;
    HRESULT hr = GetObjAt<IKZArray>(index, KZ_TYPE_KZARRAY, &array);
    if (FAILED(hr)) return hr;
    *value = array;
    return S_OK;
  }
  HRESULT RemoveAt(DWORD index) override {
    if (index >= store_.count()) return KZ_E_BADINDEX;
    store_.Remove(index);
    return S_OK;
  }
  HRESULT Clear() override {
    store_.Clear();
    return S_OK;
  }

  // Appends a copied value (a fresh copy holds no cycle).
  HRESULT Push(const Incoming& in) {
    store_.Reserve(1, Store::BytesFor(in));
    Slot& s = store_.Append({}, 0);
    try {
      store_.Assign(s, in);
    } catch (...) {
      store_.Remove(store_.count() - 1);
      throw;
    }
    return S_OK;
  }

  // Borrowed reads (see platform::PeekStrAt and platform::PeekKZDataRead).
  HRESULT PeekStrAt(DWORD index, std::wstring_view* text) const {
    const Slot* s = nullptr;
    HRESULT hr = At(index, KZ_TYPE_STR, &s);
    if (FAILED(hr)) return hr;
    *text = store_.Text(*s);
    return S_OK;
  }
  HRESULT PeekDataAt(DWORD index, IKZDataRead** record) const {
    const Slot* s = nullptr;
    HRESULT hr = At(index, KZ_TYPE_KZDATA, &s);
    if (FAILED(hr)) return hr;
    *record = static_cast<IKZData*>(s->v.object);
    return S_OK;
  }

 private:
  ~Array() override = default;

  HRESULT At(DWORD index, BYTE code, const Slot** out) const {
    if (index >= store_.count()) return KZ_E_BADINDEX;
    if (store_[index].type != code) return KZ_E_TYPEMISMATCH;
    *out = &store_[index];
    return S_OK;
  }
  template <class I>
  HRESULT GetObjAt(DWORD index, BYTE code, I** out) {
    if (out == nullptr) return E_POINTER;
    const Slot* s = nullptr;
    HRESULT hr = At(index, code, &s);
    if (FAILED(hr)) return hr;
    I* object = static_cast<I*>(s->v.object);
    object->AddRef();
    *out = object;
    return S_OK;
  }
  template <class I>
  HRESULT PushObj(BYTE code, I* object) {
    if (object == nullptr) return E_POINTER;
    if (code != KZ_TYPE_BUF && WouldCycle(object)) return E_INVALIDARG;
    Incoming in;
    in.type = code;
    in.v.object = object;
    return Push(in);
  }
};

// ---------------------------------------------------------------------------
// Helpers over values, for our own objects and for foreign implementations.

Data* AsOurs(IKZDataRead* d) { return AsOursOf<Data>(d); }
Array* AsOurs(IKZArrayRead* a) { return AsOursOf<Array>(a); }

// The store of one of our records or arrays, else null.
const Store* StoreOf(IUnknown* object) {
  if (object == nullptr) return nullptr;
  if (auto* d = AsOursOf<Data>(object)) return &d->store();
  if (auto* a = AsOursOf<Array>(object)) return &a->store();
  return nullptr;
}

bool IsOurContainer(IUnknown* object) { return StoreOf(object) != nullptr; }

void CountParent(IUnknown* object, int delta) {
  if (auto* d = AsOursOf<Data>(object)) {
    d->AddParents(delta);
    if (delta > 0) d->NoteStored();
  } else if (auto* a = AsOursOf<Array>(object)) {
    a->AddParents(delta);
  }
}

bool Container::WouldCycle(IUnknown* object) const {
  const Store* target = &store_;
  const Store* root = StoreOf(object);
  if (root == nullptr) return false;  // another implementation: not looked into
  if (root == target) return true;
  // Nothing holds this container, so nothing inside `object` does.
  if (parents_.load(std::memory_order_relaxed) == 0) return false;
  // Records and arrays shared by several parents are looked into once. Most
  // objects stored hold no record or array: they cost no allocation.
  std::vector<const Store*> pending;
  std::unordered_set<const Store*> seen;
  const Store* store = root;
  while (true) {
    for (std::uint32_t i = 0; i < store->count(); ++i) {
      const Slot& s = (*store)[i];
      if ((s.flags & kOurObject) == 0) continue;
      const Store* inner = StoreOf(s.v.object);
      if (inner == target) return true;
      if (seen.insert(inner).second) pending.push_back(inner);
    }
    if (pending.empty()) return false;
    store = pending.back();
    pending.pop_back();
  }
}

bool BuffersEqual(IKZBuffer* a, IKZBuffer* b) {
  if (a == b) return true;
  BYTE* da = nullptr;
  BYTE* db = nullptr;
  DWORD sa = 0;
  DWORD sb = 0;
  a->GetData(&da);
  a->GetSize(&sa);
  b->GetData(&db);
  b->GetSize(&sb);
  return sa == sb && (sa == 0 || std::memcmp(da, db, sa) == 0);
}

HRESULT CopyBuffer(IKZBuffer* from, CKZComPtr<IKZBuffer>& to) {
  CKZComPtr<IKZBuffer> copy;
  copy.Attach(new Buffer());
  HRESULT hr = copy->CopyFrom(from);
  if (FAILED(hr)) return hr;
  to = std::move(copy);
  return S_OK;
}

// A deep copy of the object a record or array slot holds, as a new object of
// ours with one reference for the caller. A foreign record is copied through
// its CopyTo; a foreign array cannot be (E_NOTIMPL).
HRESULT CopyContainer(const Slot& s, IUnknown** out) {
  if (s.type == KZ_TYPE_KZDATA) {
    auto* from = static_cast<IKZData*>(s.v.object);
    const Data* ours = AsOurs(from);
    CKZComPtr<IKZData> copy;
    copy.Attach(ours != nullptr ? Data::New(ours->store().used()) : Data::New());
    HRESULT hr = ours != nullptr ? CopyTree(ours->store(), static_cast<Data*>(copy.Get())->store())
                                 : from->CopyTo(copy);
    if (FAILED(hr)) return hr;
    *out = copy.Detach();
    return S_OK;
  }
  const Array* ours = AsOurs(static_cast<IKZArray*>(s.v.object));
  if (ours == nullptr) return E_NOTIMPL;  // foreign arrays are copied by our callers only
  CKZComPtr<IKZArray> copy;
  copy.Attach(Array::New(ours->store().used()));
  HRESULT hr = CopyTree(ours->store(), static_cast<Array*>(copy.Get())->store());
  if (FAILED(hr)) return hr;
  *out = copy.Detach();
  return S_OK;
}

// Copies the tree under `from` into the empty `to` (records into a record,
// elements into an array), without recursion: each nested record or array
// of ours is copied raw into a new object of its exact size, whose slots are
// then made its own in turn. On failure `to` is left empty.
HRESULT CopyTree(const Store& from, Store& to) {
  struct Frame {
    Store* to;
    std::uint32_t next;
  };
  to.CopyRaw(from);
  std::vector<Frame> stack{{&to, 0}};
  HRESULT hr = S_OK;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.to->count()) {
      stack.pop_back();
      continue;
    }
    Slot& s = (*frame.to)[frame.next++];
    if ((s.flags & kSharedText) != 0) {
      s.v.text->Ref();
      continue;
    }
    if (s.type == KZ_TYPE_INTERFACE) {
      s.v.object->AddRef();
      continue;
    }
    if (s.type == KZ_TYPE_BUF) {
      CKZComPtr<IKZBuffer> copy;
      hr = CopyBuffer(static_cast<IKZBuffer*>(s.v.object), copy);
      s.v.object = FAILED(hr) ? nullptr : copy.Detach();
      if (FAILED(hr)) break;
      continue;
    }
    if (s.type != KZ_TYPE_KZDATA && s.type != KZ_TYPE_KZARRAY) continue;
    const Store* inner = StoreOf(s.v.object);
    if (inner == nullptr) {
      IUnknown* copy = nullptr;
      hr = CopyContainer(s, &copy);
      s.v.object = copy;
      if (FAILED(hr)) break;
      s.flags = kOurObject;
      CountParent(copy, 1);
      continue;
    }
    Store* copy_store = nullptr;
    if (s.type == KZ_TYPE_KZDATA) {
      Data* copy = Data::New(inner->used());
      s.v.object = static_cast<IKZData*>(copy);
      copy_store = &copy->store();
    } else {
      Array* copy = Array::New(inner->used());
      s.v.object = static_cast<IKZArray*>(copy);
      copy_store = &static_cast<Container*>(copy)->store();
    }
    CountParent(s.v.object, 1);
    copy_store->CopyRaw(*inner);
    stack.push_back({copy_store, 0});
  }
  if (FAILED(hr)) {
    // The slots not reached hold what their source holds, without a
    // reference: empty them, then drop what was made.
    for (Frame& frame : stack) {
      for (std::uint32_t i = frame.next; i < frame.to->count(); ++i) {
        Slot& s = (*frame.to)[i];
        s.type = KZ_TYPE_NONE;
        s.flags = 0;
      }
    }
    Slot& failed = (*stack.back().to)[stack.back().next - 1];
    if (failed.v.object == nullptr) failed.type = KZ_TYPE_NONE;
    to.Clear();
  }
  return hr;
}

HRESULT DetachValue(const Store& store, const Slot& s, Detached* out) {
  Incoming& in = out->in;
  in.type = s.type;
  in.v = s.v;
  switch (s.type) {
    case KZ_TYPE_STR:
      in.text = store.Text(s);
      if ((s.flags & kSharedText) != 0) in.block = s.v.text;
      return S_OK;
    case KZ_TYPE_INTERFACE:
      in.iid = store.Iid(s);
      return S_OK;
    case KZ_TYPE_BUF: {
      CKZComPtr<IKZBuffer> copy;
      HRESULT hr = CopyBuffer(static_cast<IKZBuffer*>(s.v.object), copy);
      if (FAILED(hr)) return hr;
      in.v.object = copy.Get();
      out->hold.Attach(copy.Detach());
      return S_OK;
    }
    case KZ_TYPE_KZDATA:
    case KZ_TYPE_KZARRAY: {
      IUnknown* copy = nullptr;
      HRESULT hr = CopyContainer(s, &copy);
      if (FAILED(hr)) return hr;
      in.v.object = copy;
      out->hold.Attach(copy);
      return S_OK;
    }
    default:
      return S_OK;
  }
}

// Pairs of our records or arrays still to compare, so that comparing trees
// of any depth takes no recursion.
struct ComparePair {
  const Store* a;
  const Store* b;
  bool records;
};

bool SlotsEqual(const Store& sa, const Slot& a, const Store& sb, const Slot& b,
                std::vector<ComparePair>& pending) {
  if (a.type != b.type) return false;
  switch (a.type) {
    case KZ_TYPE_STR:
      return sa.Text(a) == sb.Text(b);
    case KZ_TYPE_DOUBLE:
      return a.v.d == b.v.d;
    case KZ_TYPE_UINT64:
      return a.v.u == b.v.u;
    case KZ_TYPE_BUF:
      return BuffersEqual(static_cast<IKZBuffer*>(a.v.object), static_cast<IKZBuffer*>(b.v.object));
    case KZ_TYPE_INTERFACE: {
      // Identity: the same object, asked for IUnknown.
      CKZComPtr<IUnknown> ua;
      CKZComPtr<IUnknown> ub;
      a.v.object->QueryInterface(IUnknown::kIid, reinterpret_cast<void**>(&ua));
      b.v.object->QueryInterface(IUnknown::kIid, reinterpret_cast<void**>(&ub));
      return ua.Get() == ub.Get();
    }
    case KZ_TYPE_KZDATA:
    case KZ_TYPE_KZARRAY: {
      const Store* inner_a = StoreOf(a.v.object);
      const Store* inner_b = StoreOf(b.v.object);
      if (inner_a != nullptr && inner_b != nullptr) {
        if (inner_a != inner_b) pending.push_back({inner_a, inner_b, a.type == KZ_TYPE_KZDATA});
        return true;
      }
      if (a.type == KZ_TYPE_KZDATA) {
        return static_cast<IKZData*>(a.v.object)->IsEqual(static_cast<IKZData*>(b.v.object)) ==
               S_OK;
      }
      return static_cast<IKZArray*>(a.v.object)->IsEqual(static_cast<IKZArray*>(b.v.object)) ==
             S_OK;
    }
    default:
      return a.v.i == b.v.i;
  }
}

// Two records (names in any order) or arrays (position by position) of ours,
// compared deeply.
bool TreesEqual(const Store& a, const Store& b, bool records) {
  std::vector<ComparePair> pending{{&a, &b, records}};
  while (!pending.empty()) {
    const ComparePair pair = pending.back();
    pending.pop_back();
    const Store& x = *pair.a;
    const Store& y = *pair.b;
    if (x.count() != y.count()) return false;
    for (std::uint32_t i = 0; i < x.count(); ++i) {
      const Slot& s = x[i];
      const Slot* t = &y[i];
      if (pair.records && (t->head != s.head || y.Name(*t) != x.Name(s))) {
        // Records of one shape keep a name at one place; else look for it.
        t = nullptr;
        for (std::uint32_t j = 0; j < y.count(); ++j) {
          if (y[j].head == s.head && y.Name(y[j]) == x.Name(s)) {
            t = &y[j];
            break;
          }
        }
        if (t == nullptr) return false;
      }
      if (!SlotsEqual(x, s, y, *t, pending)) return false;
    }
  }
  return true;
}

HRESULT Data::PutInto(IKZData* destination, std::string_view name, const Incoming& in) {
  if (Data* ours = AsOurs(destination)) {
    // A fresh deep copy cannot contain the destination: no cycle check.
    ours->Put(name, in);
    return S_OK;
  }
  const std::string owned(name);
  const char* n = owned.c_str();
  const Payload& v = in.v;
  switch (in.type) {
    case KZ_TYPE_BOOL:
      return destination->SetBool(n, static_cast<int>(v.i));
    case KZ_TYPE_UINT8:
      return destination->SetUInt8(n, static_cast<std::uint8_t>(v.i));
    case KZ_TYPE_INT8:
      return destination->SetInt8(n, static_cast<std::int8_t>(v.i));
    case KZ_TYPE_UINT16:
      return destination->SetUInt16(n, static_cast<std::uint16_t>(v.i));
    case KZ_TYPE_INT16:
      return destination->SetInt16(n, static_cast<std::int16_t>(v.i));
    case KZ_TYPE_DWORD:
      return destination->SetDWord(n, static_cast<DWORD>(v.i));
    case KZ_TYPE_INT32:
      return destination->SetInt32(n, static_cast<std::int32_t>(v.i));
    case KZ_TYPE_INT64:
      return destination->SetInt64(n, v.i);
    case KZ_TYPE_UINT64:
      return destination->SetUInt64(n, v.u);
    case KZ_TYPE_DOUBLE:
      return destination->SetDouble(n, v.d);
    case KZ_TYPE_STR: {
      // The characters end with a zero, in the region or in a block.
      return destination->SetStr(n, in.text.data());
    }
    case KZ_TYPE_BUF:
      return destination->SetBuf(n, static_cast<IKZBuffer*>(v.object));
    case KZ_TYPE_KZDATA:
      return destination->SetKZData(n, static_cast<IKZData*>(v.object));
    case KZ_TYPE_KZARRAY:
      return destination->SetKZArray(n, static_cast<IKZArray*>(v.object));
    case KZ_TYPE_INTERFACE:
      return destination->SetInterface(n, in.iid, v.object);
    default:
      return E_FAIL;
  }
}

HRESULT Data::IsEqual(IKZDataRead* other) {
  if (other == nullptr) return E_POINTER;
  if (other == static_cast<IKZDataRead*>(this)) return S_OK;
  Data* theirs = AsOurs(other);
  if (theirs == nullptr) return E_NOTIMPL;
  return TreesEqual(store_, theirs->store_, true) ? S_OK : S_FALSE;
}

HRESULT Data::CopyTo(IKZData* destination) {
  if (destination == nullptr) return E_POINTER;
  if (destination == static_cast<IKZData*>(this)) return S_OK;
  Data* ours = AsOurs(destination);
  // Into an empty record of ours the whole tree copies at once.
  if (ours != nullptr && ours->store_.count() == 0) {
    // A copy is often extended (a hit record gets the hit's fields): leave
    // room for a few more.
    ours->store_.Reserve(0, store_.used() + 4 * sizeof(Slot) + 96);
    return CopyTree(store_, ours->store_);
  }
  // Copy each value first, then store it, so that a failure leaves the
  // destination as it was for the fields not yet reached.
  for (std::uint32_t i = 0; i < store_.count(); ++i) {
    const Slot& s = store_[i];
    Detached copy;
    HRESULT hr = DetachValue(store_, s, &copy);
    if (FAILED(hr)) return hr;
    hr = PutInto(destination, store_.Name(s), copy.in);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT Array::IsEqual(IKZArrayRead* other) {
  if (other == nullptr) return E_POINTER;
  if (other == static_cast<IKZArrayRead*>(this)) return S_OK;
  Array* theirs = AsOurs(other);
  if (theirs == nullptr) return E_NOTIMPL;
  return TreesEqual(store_, theirs->store_, false) ? S_OK : S_FALSE;
}

}  // namespace

// ---------------------------------------------------------------------------
CKZBuffer::CKZBuffer(const CKZBuffer& other) { *this = other; }

CKZBuffer& CKZBuffer::operator=(const CKZBuffer& other) {
  if (this == &other) return *this;
  if (other.buffer_) {
    SetData(other.GetData(), other.GetSize());
  } else {
    buffer_ = nullptr;
  }
  return *this;
}

CKZBuffer& CKZBuffer::operator=(IKZBuffer* buffer) {
  if (buffer == nullptr) {
    buffer_ = nullptr;
    return *this;
  }
  if (buffer == buffer_.Get()) return *this;
  BYTE* data = nullptr;
  DWORD size = 0;
  buffer->GetData(&data);
  buffer->GetSize(&size);
  SetData(data, size);
  return *this;
}

HRESULT CKZBuffer::SetData(const BYTE* data, DWORD size) {
  if (!buffer_) buffer_.Attach(new Buffer());
  return buffer_->SetData(data, size);
}

const BYTE* CKZBuffer::GetData() const {
  if (!buffer_) return nullptr;
  BYTE* data = nullptr;
  buffer_->GetData(&data);
  return data;
}

DWORD CKZBuffer::GetSize() const {
  if (!buffer_) return 0;
  DWORD size = 0;
  buffer_->GetSize(&size);
  return size;
}

bool CKZBuffer::ContentEquals(const BYTE* data, DWORD size) const {
  DWORD mine = GetSize();
  if (mine != size) return false;
  return size == 0 || std::memcmp(GetData(), data, size) == 0;
}

namespace platform {

FieldKey::FieldKey(const char* name) : name_(name ? name : ""), head_(NameHead(name_)) {}

HRESULT PeekStr(IKZDataRead* data, FieldKey& name, std::wstring_view* text) {
  if (data == nullptr || text == nullptr) return E_POINTER;
  const Data* ours = AsOurs(data);
  return ours != nullptr ? ours->PeekStr(name, text) : E_NOTIMPL;
}

HRESULT PeekStrs(IKZDataRead* data, FieldKey* names, std::size_t count, std::wstring_view* texts) {
  if (data == nullptr || (count != 0 && (names == nullptr || texts == nullptr))) return E_POINTER;
  const Data* ours = AsOurs(data);
  if (ours == nullptr) return E_NOTIMPL;
  for (std::size_t i = 0; i < count; ++i) {
    if (FAILED(ours->PeekStr(names[i], &texts[i]))) texts[i] = std::wstring_view(L"");
  }
  return S_OK;
}

HRESULT PeekStrAt(IKZArrayRead* array, DWORD index, std::wstring_view* text) {
  if (array == nullptr || text == nullptr) return E_POINTER;
  const Array* ours = AsOurs(array);
  return ours != nullptr ? ours->PeekStrAt(index, text) : E_NOTIMPL;
}

HRESULT PeekKZDataRead(IKZArrayRead* array, DWORD index, IKZDataRead** record) {
  if (array == nullptr || record == nullptr) return E_POINTER;
  const Array* ours = AsOurs(array);
  return ours != nullptr ? ours->PeekDataAt(index, record) : E_NOTIMPL;
}

void PrefetchKZData(IKZArrayRead* array, DWORD near, DWORD far) {
  const Array* ours = AsOurs(array);
  if (ours == nullptr) return;
  const Store& items = ours->store();
  if (far < items.count() && items[far].type == KZ_TYPE_KZDATA) {
    // The object's first bytes, which may cross a line.
    const auto* object = reinterpret_cast<const std::byte*>(items[far].v.object);
    __builtin_prefetch(object);
    __builtin_prefetch(object + sizeof(::Data) - 1);
  }
  if (near < items.count() && items[near].type == KZ_TYPE_KZDATA) {
    if (const Data* record = AsOurs(static_cast<IKZData*>(items[near].v.object))) {
      record->store().Prefetch();
    }
  }
}

HRESULT SetStrShared(IKZData* bag, const char* name, std::wstring_view text) {
  if (bag == nullptr || name == nullptr) return E_POINTER;
  ::Data* ours = AsOurs(bag);
  if (ours == nullptr) return bag->SetStr(name, text.data());
  Incoming in;
  in.type = KZ_TYPE_STR;
  in.text = text;
  const Store& store = ours->store();
  if (text.size() > Store::kInlineChars) {
    for (std::uint32_t i = 0; i < store.count(); ++i) {
      const Slot& s = store[i];
      if ((s.flags & kSharedText) != 0 && s.v.text->chars() == text.data() &&
          s.aux == text.size()) {
        in.block = s.v.text;
        break;
      }
    }
  }
  const std::string_view narrow(name);
  if (narrow.empty() || narrow.size() > 0xFFFF) return E_INVALIDARG;
  ours->Put(narrow, in);
  return S_OK;
}

HRESULT CloneKZData(IKZDataRead* source, std::size_t extra_fields, std::size_t extra_bytes,
                    IKZData** copy) {
  if (source == nullptr || copy == nullptr) return E_POINTER;
  const Data* ours = AsOurs(source);
  const std::size_t own = ours != nullptr ? ours->store().used() : 0;
  // Each extra field: a slot, and a name and a value of about the size
  // given, with their alignment.
  CKZComPtr<IKZData> made;
  made.Attach(::Data::New(own + extra_fields * (sizeof(Slot) + 8) + extra_bytes));
  HRESULT hr = ours != nullptr ? CopyTree(ours->store(), static_cast<::Data*>(made.Get())->store())
                               : source->CopyTo(made);
  if (FAILED(hr)) return hr;
  *copy = made.Detach();
  return S_OK;
}

}  // namespace platform

namespace Util::Data {

int CreateKZData(IKZData** out) {
  if (out == nullptr) return 0;
  *out = ::Data::New();
  return 1;
}
int CreateKZArray(IKZArray** out) {
  if (out == nullptr) return 0;
  *out = ::Array::New();
  return 1;
}
int CreateKZBuffer(IKZBuffer** out) {
  if (out == nullptr) return 0;
  *out = new ::Buffer();
  return 1;
}

int HasField(IKZDataRead* data, const char* name) {
  if (data == nullptr || name == nullptr) return 0;
  BYTE type = 0;
  return SUCCEEDED(data->GetFieldType(name, &type)) && type != 0 ? 1 : 0;
}
int HasField(IKZDataRead* data, const wchar_t* name) {
  if (data == nullptr || name == nullptr) return 0;
  BYTE type = 0;
  return SUCCEEDED(data->GetFieldType(name, &type)) && type != 0 ? 1 : 0;
}

namespace {
// The field's type, or 0 when absent; -1 for bad arguments.
int TypeOf(IKZDataRead* data, const char* name) {
  if (data == nullptr || name == nullptr) return -1;
  BYTE type = 0;
  data->GetFieldType(name, &type);
  return type;
}
}  // namespace

int EqualDWord(IKZDataRead* data, const char* name, DWORD value) {
  int type = TypeOf(data, name);
  if (type == 0) return value == 0 ? 1 : 0;
  if (type != KZ_TYPE_DWORD) return 0;
  DWORD v = 0;
  data->GetDWord(name, &v);
  return v == value ? 1 : 0;
}

int EqualStr(IKZDataRead* data, const char* name, const CKZStringW& value) {
  int type = TypeOf(data, name);
  if (type == 0) return value.IsEmpty() ? 1 : 0;
  if (type != KZ_TYPE_STR) return 0;
  CKZBSTR s;
  data->GetStr(name, &s);
  std::uint32_t len = s.Length();
  return len == static_cast<std::uint32_t>(value.GetLength()) &&
                 std::wmemcmp(s.c_str(), value.GetString(), len) == 0
             ? 1
             : 0;
}

int EqualBuf(IKZDataRead* data, const char* name, const CKZBuffer& value) {
  int type = TypeOf(data, name);
  if (type == 0) return value.GetSize() == 0 ? 1 : 0;
  if (type != KZ_TYPE_BUF) return 0;
  CKZComPtr<IKZBuffer> buf;
  data->GetBuf(name, &buf);
  BYTE* bytes = nullptr;
  DWORD size = 0;
  buf->GetData(&bytes);
  buf->GetSize(&size);
  return value.ContentEquals(bytes, size) ? 1 : 0;
}

int EqualKZData(IKZDataRead* data, const char* name, IKZDataRead* value) {
  int type = TypeOf(data, name);
  if (type == 0) return value == nullptr ? 1 : 0;
  if (type != KZ_TYPE_KZDATA || value == nullptr) return 0;
  CKZComPtr<IKZData> writable;
  CKZComPtr<IKZData> self;
  if (FAILED(data->QueryInterface(IKZData::kIid, reinterpret_cast<void**>(&self)))) return 0;
  self->GetKZData(name, &writable);
  return writable && writable->IsEqual(value) == S_OK ? 1 : 0;
}

int EqualKZDataArray(IKZDataRead* data, const char* name, IKZArrayRead* value) {
  int type = TypeOf(data, name);
  if (type == 0) return value == nullptr ? 1 : 0;
  if (type != KZ_TYPE_KZARRAY || value == nullptr) return 0;
  CKZComPtr<IKZArrayRead> array;
  data->GetKZArrayRead(name, &array);
  return array && array->IsEqual(value) == S_OK ? 1 : 0;
}

int GetKZDataStr(IKZDataRead* data, const char* name, CKZStringW& value) {
  if (data == nullptr || name == nullptr) return 0;
  CKZBSTR s;
  if (FAILED(data->GetStr(name, &s))) return 0;
  value = CKZStringW(s.c_str(), static_cast<int>(s.Length()));
  return 1;
}

}  // namespace Util::Data
