#include "platform/koa/koa.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "platform/common/refcounted.h"

namespace KOA {

// ---------------------------------------------------------------------------
// TBuffer

TBuffer::TBuffer(void* data, unsigned int size) : TBuffer(static_cast<const void*>(data), size) {}

TBuffer::TBuffer(const void* data, unsigned int size) {
  if (data == nullptr || size == 0) return;
  data_ = std::make_unique_for_overwrite<unsigned char[]>(size);
  std::memcpy(data_.get(), data, size);
  size_ = size;
}

TBuffer::TBuffer(const TBuffer& other) : TBuffer(other.data_.get(), other.size_) {}

TBuffer& TBuffer::operator=(const TBuffer& other) {
  if (this != &other) *this = TBuffer(other);
  return *this;
}

TBuffer::TBuffer(TBuffer&& other) noexcept
    : data_(std::move(other.data_)), size_(std::exchange(other.size_, 0)) {}

TBuffer& TBuffer::operator=(TBuffer&& other) noexcept {
  data_ = std::move(other.data_);
  size_ = std::exchange(other.size_, 0);
  return *this;
}

TBuffer::~TBuffer() = default;

bool operator==(const TBuffer& a, const TBuffer& b) {
  return a.size_ == b.size_ &&
         (a.size_ == 0 || std::memcmp(a.data_.get(), b.data_.get(), a.size_) == 0);
}

TData::~TData() = default;
TArray::~TArray() = default;

namespace {

// One stored value. The alternative's index is the KOA value-type code, so
// `index()` answers GetType; std::monostate (0) is "no value".
struct NullValue {};
using Value = std::variant<std::monostate,           // 0
                           std::int8_t,              // 1
                           std::uint8_t,             // 2
                           std::int16_t,             // 3
                           std::uint16_t,            // 4
                           std::int32_t,             // 5
                           std::uint32_t,            // 6
                           std::int64_t,             // 7
                           std::uint64_t,            // 8
                           float,                    // 9
                           double,                   // 10
                           std::string,              // 11
                           std::wstring,             // 12
                           TBuffer,                  // 13
                           std::shared_ptr<TArray>,  // 14
                           std::shared_ptr<TData>,   // 15
                           TDateTime,                // 16
                           TGuid,                    // 17
                           NullValue,                // 18
                           bool>;                    // 19
static_assert(std::variant_size_v<Value> == 20);

// The value of kind `K` held by `v`, or the empty value of that kind.
template <std::size_t K>
std::variant_alternative_t<K, Value> Read(const Value* v) {
  if (v != nullptr) {
    if (const auto* p = std::get_if<K>(v)) return *p;
  }
  return {};
}

class DataImpl;
class ArrayImpl;

// The holder count of the record or array of this library that `v` holds;
// null for any other value (a foreign object included).
std::atomic<unsigned int>* HoldersOf(const Value& v);

// A nested record or array of this library counts the containers that hold
// it; one that no container holds cannot be reached from anywhere else.
void Hold(const Value& v) {
  if (auto* h = HoldersOf(v)) h->fetch_add(1, std::memory_order_relaxed);
}
void Unhold(const Value& v) {
  if (auto* h = HoldersOf(v)) h->fetch_sub(1, std::memory_order_relaxed);
}

// True when storing `v` into `self` (which `holders` containers hold) would
// make a cycle: `v` is `self` or holds it at any depth. Only objects of this
// library are walked, with an explicit stack, each once.
bool WouldCycle(const Value& v, const void* self, unsigned int holders);

// Releases values without recursion: a nested record or array whose last
// owner this is hands its own nested values over before it is destroyed, so
// destroying a tree of any depth takes a bounded stack.
void ReleaseIteratively(std::vector<Value>& pending);

// Releases one value that a container no longer holds (and no longer counts
// as a holder of it).
void Release(Value old) {
  if (HoldersOf(old) == nullptr) return;  // nothing deep below it
  std::vector<Value> pending;
  pending.push_back(std::move(old));
  ReleaseIteratively(pending);
}

// Counts the object in the platform's live-object count while it lives.
struct LiveCounter {
  LiveCounter() { platform::internal::CountObject(1); }
  ~LiveCounter() { platform::internal::CountObject(-1); }
  LiveCounter(const LiveCounter&) = delete;
  LiveCounter& operator=(const LiveCounter&) = delete;
};

class DataImpl final : public TData {
 public:
  explicit DataImpl(unsigned int capacity) {
    // The hint is trusted only up to a sane size.
    fields_.reserve(std::min<unsigned int>(capacity, kMaxReservedFields));
  }
  ~DataImpl() override {
    std::vector<Value> pending;
    TakeNested(pending);
    ReleaseIteratively(pending);
  }

  void SetInt8(const std::string& n, std::int8_t v) override { Put(n, v); }
  std::int8_t GetInt8(const std::string& n) override { return Read<kTypeInt8>(Find(n)); }
  void SetUInt8(const std::string& n, std::uint8_t v) override { Put(n, v); }
  std::uint8_t GetUInt8(const std::string& n) override { return Read<kTypeUInt8>(Find(n)); }
  void SetInt16(const std::string& n, std::int16_t v) override { Put(n, v); }
  std::int16_t GetInt16(const std::string& n) override { return Read<kTypeInt16>(Find(n)); }
  void SetUInt16(const std::string& n, std::uint16_t v) override { Put(n, v); }
  std::uint16_t GetUInt16(const std::string& n) override { return Read<kTypeUInt16>(Find(n)); }
  void SetInt32(const std::string& n, std::int32_t v) override { Put(n, v); }
  std::int32_t GetInt32(const std::string& n) override { return Read<kTypeInt32>(Find(n)); }
  void SetUInt32(const std::string& n, std::uint32_t v) override { Put(n, v); }
  std::uint32_t GetUInt32(const std::string& n) override { return Read<kTypeUInt32>(Find(n)); }
  void SetInt64(const std::string& n, std::int64_t v) override { Put(n, v); }
  std::int64_t GetInt64(const std::string& n) override { return Read<kTypeInt64>(Find(n)); }
  void SetUInt64(const std::string& n, std::uint64_t v) override { Put(n, v); }
  std::uint64_t GetUInt64(const std::string& n) override { return Read<kTypeUInt64>(Find(n)); }
  void SetFloat(const std::string& n, float v) override { Put(n, v); }
  float GetFloat(const std::string& n) override { return Read<kTypeFloat>(Find(n)); }
  void SetDouble(const std::string& n, double v) override { Put(n, v); }
  double GetDouble(const std::string& n) override { return Read<kTypeDouble>(Find(n)); }
  void SetWString(const std::string& n, const std::wstring& v) override {
    Put(n, Value(std::in_place_index<kTypeWString>, v));
  }
  std::wstring GetWString(const std::string& n) override { return Read<kTypeWString>(Find(n)); }
  void SetString(const std::string& n, const char* v) override {
    Put(n, Value(std::in_place_index<kTypeString>, v ? v : ""));
  }
  std::string GetString(const std::string& n) override { return Read<kTypeString>(Find(n)); }
  void SetBuffer(const std::string& n, TBuffer v) override {
    Put(n, Value(std::in_place_index<kTypeBuffer>, std::move(v)));
  }
  TBuffer GetBuffer(const std::string& n) override { return Read<kTypeBuffer>(Find(n)); }
  void SetArray(const std::string& n, std::shared_ptr<TArray> v) override {
    Put(n, Value(std::in_place_index<kTypeArray>, std::move(v)));
  }
  std::shared_ptr<TArray> GetArray(const std::string& n) override {
    return Read<kTypeArray>(Find(n));
  }
  void SetData(const std::string& n, std::shared_ptr<TData> v) override {
    Put(n, Value(std::in_place_index<kTypeData>, std::move(v)));
  }
  std::shared_ptr<TData> GetData(const std::string& n) override { return Read<kTypeData>(Find(n)); }
  void SetBool(const std::string& n, bool v) override { Put(n, v); }
  bool GetBool(const std::string& n) override { return Read<kTypeBool>(Find(n)); }
  unsigned int GetType(const std::string& n) override {
    const Value* v = Find(n);
    return v ? static_cast<unsigned int>(v->index()) : kTypeNone;
  }
  std::shared_ptr<TArray> GetFieldNames() override;

  void SetDateTime(const std::string& n, TDateTime v) override { Put(n, v); }
  TDateTime GetDateTime(const std::string& n) override { return Read<kTypeDateTime>(Find(n)); }
  void SetGuid(const std::string& n, const TGuid& v) override { Put(n, v); }
  TGuid GetGuid(const std::string& n) override { return Read<kTypeGuid>(Find(n)); }
  void SetNull(const std::string& n) override { Put(n, NullValue{}); }
  void SetString(const std::string& n, const std::string& v) override {
    Put(n, Value(std::in_place_index<kTypeString>, v));
  }
  bool HasField(const std::string& n) override { return Find(n) != nullptr; }
  bool RemoveField(const std::string& n) override;
  unsigned int GetFieldCount() override { return static_cast<unsigned int>(fields_.size()); }

  // For the cycle check: calls `visit` with every value held.
  template <class Visit>
  void ForEachValue(Visit visit) const {
    for (const auto& f : fields_) visit(f.second);
  }
  // Moves every non-null nested record and array out into `pending`.
  void TakeNested(std::vector<Value>& pending) {
    for (auto& f : fields_) {
      if (HoldersOf(f.second) != nullptr) pending.push_back(std::move(f.second));
    }
  }

  std::atomic<unsigned int> holders_{0};

 private:
  // Records up to this many fields are searched linearly; larger ones keep an
  // index by name.
  static constexpr std::size_t kIndexFrom = 32;
  // Room made up front at most; a record grows past it as needed.
  static constexpr unsigned int kMaxReservedFields = 16;

  // Stores the value, refusing a cycle.
  void Put(const std::string& name, Value value) {
    if (WouldCycle(value, this, holders_.load(std::memory_order_relaxed))) return;
    Value* v = Find(name);
    if (v == nullptr) {
      fields_.emplace_back(name, Value());
      v = &fields_.back().second;
      if (!index_.empty()) {
        index_.emplace(fields_.back().first, fields_.size() - 1);
      } else if (fields_.size() > kIndexFrom) {
        Reindex();
      }
    }
    Hold(value);
    Release(std::exchange(*v, std::move(value)));
  }

  Value* Find(const std::string& name) {
    if (!index_.empty()) {
      auto it = index_.find(name);
      return it == index_.end() ? nullptr : &fields_[it->second].second;
    }
    for (auto& f : fields_) {
      if (f.first == name) return &f.second;
    }
    return nullptr;
  }

  void Reindex() {
    index_.clear();
    if (fields_.size() <= kIndexFrom) return;
    index_.reserve(fields_.size());
    for (std::size_t i = 0; i < fields_.size(); ++i) index_.emplace(fields_[i].first, i);
  }

  LiveCounter live_;
  std::vector<std::pair<std::string, Value>> fields_;
  std::unordered_map<std::string, std::size_t> index_;
};

class ArrayImpl final : public TArray {
 public:
  ArrayImpl(unsigned int capacity, unsigned int kind) : kind_(kind) {
    items_.reserve(std::min<unsigned int>(capacity, 1u << 16));
  }
  ~ArrayImpl() override {
    std::vector<Value> pending;
    TakeNested(pending);
    ReleaseIteratively(pending);
  }

  void AddInt8(std::int8_t v) override { Push(v); }
  std::int8_t GetInt8(unsigned int i) override { return Read<kTypeInt8>(At(i)); }
  void AddUInt8(std::uint8_t v) override { Push(v); }
  std::uint8_t GetUInt8(unsigned int i) override { return Read<kTypeUInt8>(At(i)); }
  void AddInt16(std::int16_t v) override { Push(v); }
  std::int16_t GetInt16(unsigned int i) override { return Read<kTypeInt16>(At(i)); }
  void AddUInt16(std::uint16_t v) override { Push(v); }
  std::uint16_t GetUInt16(unsigned int i) override { return Read<kTypeUInt16>(At(i)); }
  void AddInt32(std::int32_t v) override { Push(v); }
  std::int32_t GetInt32(unsigned int i) override { return Read<kTypeInt32>(At(i)); }
  void AddUInt32(std::uint32_t v) override { Push(v); }
  std::uint32_t GetUInt32(unsigned int i) override { return Read<kTypeUInt32>(At(i)); }
  void AddInt64(std::int64_t v) override { Push(v); }
  std::int64_t GetInt64(unsigned int i) override { return Read<kTypeInt64>(At(i)); }
  void AddUInt64(std::uint64_t v) override { Push(v); }
  std::uint64_t GetUInt64(unsigned int i) override { return Read<kTypeUInt64>(At(i)); }
  void AddFloat(float v) override { Push(v); }
  float GetFloat(unsigned int i) override { return Read<kTypeFloat>(At(i)); }
  void AddDouble(double v) override { Push(v); }
  double GetDouble(unsigned int i) override { return Read<kTypeDouble>(At(i)); }
  void AddString(const char* v) override {
    Push(Value(std::in_place_index<kTypeString>, v ? v : ""));
  }
  std::string GetString(unsigned int i) override { return Read<kTypeString>(At(i)); }
  void AddWString(const std::wstring& v) override {
    Push(Value(std::in_place_index<kTypeWString>, v));
  }
  std::wstring GetWString(unsigned int i) override { return Read<kTypeWString>(At(i)); }
  void AddBuffer(TBuffer v) override {
    Push(Value(std::in_place_index<kTypeBuffer>, std::move(v)));
  }
  TBuffer GetBuffer(unsigned int i) override { return Read<kTypeBuffer>(At(i)); }
  void AddArray(std::shared_ptr<TArray> v) override {
    Push(Value(std::in_place_index<kTypeArray>, std::move(v)));
  }
  std::shared_ptr<TArray> GetArray(unsigned int i) override { return Read<kTypeArray>(At(i)); }
  void AddData(std::shared_ptr<TData> v) override {
    Push(Value(std::in_place_index<kTypeData>, std::move(v)));
  }
  std::shared_ptr<TData> GetData(unsigned int i) override { return Read<kTypeData>(At(i)); }
  void AddBool(bool v) override { Push(v); }
  bool GetBool(unsigned int i) override { return Read<kTypeBool>(At(i)); }
  unsigned int GetCount() override { return static_cast<unsigned int>(items_.size()); }
  unsigned int GetType() override { return kind_; }

  unsigned int GetElementType(unsigned int i) override {
    const Value* v = At(i);
    return v ? static_cast<unsigned int>(v->index()) : kTypeNone;
  }
  void AddDateTime(TDateTime v) override { Push(v); }
  TDateTime GetDateTime(unsigned int i) override { return Read<kTypeDateTime>(At(i)); }
  void AddGuid(const TGuid& v) override { Push(v); }
  TGuid GetGuid(unsigned int i) override { return Read<kTypeGuid>(At(i)); }
  void AddNull() override { Push(NullValue{}); }
  void AddString(const std::string& v) override {
    Push(Value(std::in_place_index<kTypeString>, v));
  }

  template <class Visit>
  void ForEachValue(Visit visit) const {
    for (const Value& v : items_) visit(v);
  }
  void TakeNested(std::vector<Value>& pending) {
    for (Value& v : items_) {
      if (HoldersOf(v) != nullptr) pending.push_back(std::move(v));
    }
  }

  std::atomic<unsigned int> holders_{0};

 private:
  // Appends the value, refusing a cycle.
  void Push(Value v) {
    if (WouldCycle(v, this, holders_.load(std::memory_order_relaxed))) return;
    Hold(v);
    if (items_.empty() && kind_ == kTypeNone) {
      kind_ = static_cast<unsigned int>(v.index());
    }
    items_.push_back(std::move(v));
  }
  const Value* At(unsigned int i) const { return i < items_.size() ? &items_[i] : nullptr; }

  LiveCounter live_;
  unsigned int kind_;
  std::vector<Value> items_;
};

std::atomic<unsigned int>* HoldersOf(const Value& v) {
  if (const auto* a = std::get_if<kTypeArray>(&v)) {
    auto* impl = dynamic_cast<ArrayImpl*>(a->get());
    return impl != nullptr ? &impl->holders_ : nullptr;
  }
  if (const auto* d = std::get_if<kTypeData>(&v)) {
    auto* impl = dynamic_cast<DataImpl*>(d->get());
    return impl != nullptr ? &impl->holders_ : nullptr;
  }
  return nullptr;
}

bool WouldCycle(const Value& v, const void* self, unsigned int holders) {
  if (v.index() != kTypeArray && v.index() != kTypeData) return false;
  std::vector<const Value*> stack{&v};
  std::unordered_set<const void*> seen;
  while (!stack.empty()) {
    const Value* value = stack.back();
    stack.pop_back();
    auto push = [&stack](const Value& child) {
      if (child.index() == kTypeArray || child.index() == kTypeData) stack.push_back(&child);
    };
    const void* object = nullptr;
    if (const auto* a = std::get_if<kTypeArray>(value)) {
      object = a->get();
      if (object == self) return true;
      // A container that nothing holds is reached only as itself.
      if (holders == 0) return false;
      const auto* impl = dynamic_cast<const ArrayImpl*>(a->get());
      if (impl != nullptr && seen.insert(object).second) impl->ForEachValue(push);
    } else if (const auto* d = std::get_if<kTypeData>(value)) {
      object = d->get();
      if (object == self) return true;
      if (holders == 0) return false;
      const auto* impl = dynamic_cast<const DataImpl*>(d->get());
      if (impl != nullptr && seen.insert(object).second) impl->ForEachValue(push);
    }
  }
  return false;
}

void ReleaseIteratively(std::vector<Value>& pending) {
  while (!pending.empty()) {
    Value v = std::move(pending.back());
    pending.pop_back();
    Unhold(v);
    // Only the last owner may take the nested values; another owner keeps
    // the object, and with it its values, alive.
    if (auto* a = std::get_if<kTypeArray>(&v); a != nullptr && a->use_count() == 1) {
      if (auto* impl = dynamic_cast<ArrayImpl*>(a->get())) impl->TakeNested(pending);
    } else if (auto* d = std::get_if<kTypeData>(&v); d != nullptr && d->use_count() == 1) {
      if (auto* impl = dynamic_cast<DataImpl*>(d->get())) impl->TakeNested(pending);
    }
  }  // `v` goes here, with nothing deep left below it
}

std::shared_ptr<TArray> DataImpl::GetFieldNames() {
  auto names = std::make_shared<ArrayImpl>(static_cast<unsigned int>(fields_.size()), kTypeString);
  for (const auto& f : fields_) names->AddString(f.first);
  return names;
}

bool DataImpl::RemoveField(const std::string& n) {
  for (auto it = fields_.begin(); it != fields_.end(); ++it) {
    if (it->first == n) {
      Value old = std::move(it->second);
      fields_.erase(it);
      Reindex();
      Release(std::move(old));
      return true;
    }
  }
  return false;
}

}  // namespace

std::unique_ptr<TData> TData::CreateTData(unsigned int capacity) {
  return std::make_unique<DataImpl>(capacity);
}

std::unique_ptr<TArray> TArray::CreateTArray(unsigned int capacity) {
  return std::make_unique<ArrayImpl>(capacity, kTypeNone);
}

}  // namespace KOA
