// The KOA record model: `KOA::TData` (a record of named, typed fields),
// `KOA::TArray` (a list of values of one kind) and `KOA::TBuffer` (bytes with
// value semantics). Records and arrays are owned through std::shared_ptr;
// they are made only by `TData::CreateTData` and `TArray::CreateTArray`.
//
// Value-type codes (`GetType`), unsigned 32-bit:
//    1 int8      2 uint8     3 int16     4 uint16    5 int32
//    6 uint32    7 int64     8 uint64    9 float    10 double
//   11 UTF-8 string (std::string)     12 wide string (std::wstring)
//   13 byte buffer (TBuffer)          14 nested array (shared_ptr<TArray>)
//   15 nested record (shared_ptr<TData>)
//   16 date-time: a point in time, milliseconds since 1970-01-01 UTC
//      (`TDateTime`)
//   17 identifier: 16 opaque bytes, a GUID or UUID (`TGuid`)
//   18 null: a field or element that is present and holds no value
//   19 bool
//   0 is "no value": a missing field, an index out of range, an empty array.
//
// Contracts of this implementation:
// - Fields keep the order in which they were first set. Setting an existing
//   name replaces its value and kind in place; the field keeps its position.
//   Names are compared byte for byte; any std::string is a valid name,
//   including the empty one.
// - Getters are strict: each reads only a field (element) of its own kind. A
//   missing field, an index out of range or a field of another kind gives the
//   empty value of the getter's kind: 0, 0.0, false, "" (so `GetString` of a
//   missing name is the empty string), an empty TBuffer, a null shared_ptr,
//   a zero TDateTime or TGuid. No getter converts between kinds.
// - `GetType` of a missing name, or of an index out of range, is 0.
// - Nested records and arrays are stored by reference (the shared_ptr is
//   kept, not the object copied). Storing a record or array inside itself, at
//   any depth, is refused: the call does nothing, so trees never form cycles
//   (only objects made by this library are inspected for that). Storing a
//   null shared_ptr stores a field of kind 14 or 15 holding null.
// - Depth: the cycle check visits each nested object once, with an explicit
//   stack, and is skipped when no record or array holds the target (so a
//   tree built from its leaves up costs linear time); destroying a tree of
//   any depth takes a bounded stack. A nested record or array whose last
//   reference a destroyed parent held is emptied of its nested objects
//   first, so no weak_ptr may be turned into a shared_ptr concurrently.
// - Strings given as `const char*` are read up to their first zero byte; a
//   null pointer is the empty string. The `std::string` overloads keep every
//   byte, zero bytes included.
// - A TArray has one kind, set by its first append (an empty array reports
//   0). An append of another kind is still stored, in its own kind, at the
//   next position, so positions and counts follow the appends; `GetType`
//   keeps reporting the first kind, `GetElementType(index)` tells each
//   element's own kind, and the getter of the array's kind gives the empty
//   value for such an element. The list of field names from
//   `GetFieldNames` always reports kind 11, even when empty.
// - The argument of `CreateTData` and `CreateTArray` is a capacity hint
//   (fields, elements); it never limits the size. A record makes room for at
//   most 16 fields up front, an array for at most 65536 elements.
// - Nothing throws except for memory exhaustion (std::bad_alloc).
// - Objects are not locked: one object must not be changed by one thread
//   while another uses it. Distinct objects are independent.
// - Every TData and TArray alive is counted in the platform's live-object
//   count, so tests can prove that nothing leaked.
#ifndef WRENUTIL_PLATFORM_KOA_KOA_H_
#define WRENUTIL_PLATFORM_KOA_KOA_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#ifndef KZ_PLATFORM_API
#define KZ_PLATFORM_API __attribute__((visibility("default")))
#endif

namespace KOA {

// Value-type codes, as returned by TData::GetType and TArray::GetType.
enum TType : unsigned int {
  kTypeNone = 0,
  kTypeInt8 = 1,
  kTypeUInt8 = 2,
  kTypeInt16 = 3,
  kTypeUInt16 = 4,
  kTypeInt32 = 5,
  kTypeUInt32 = 6,
  kTypeInt64 = 7,
  kTypeUInt64 = 8,
  kTypeFloat = 9,
  kTypeDouble = 10,
  kTypeString = 11,
  kTypeWString = 12,
  kTypeBuffer = 13,
  kTypeArray = 14,
  kTypeData = 15,
  kTypeDateTime = 16,
  kTypeGuid = 17,
  kTypeNull = 18,
  kTypeBool = 19,
};

// Kind 16: a point in time in milliseconds since 1970-01-01 00:00:00 UTC.
struct TDateTime {
  std::int64_t unix_ms = 0;
  friend bool operator==(const TDateTime&, const TDateTime&) = default;
};

// Kind 17: a 16-byte identifier, kept as given.
struct TGuid {
  std::array<std::uint8_t, 16> bytes{};
  friend bool operator==(const TGuid&, const TGuid&) = default;
};

// Bytes with value semantics: every TBuffer owns its own copy, so the source
// of the bytes may be freed right after construction.
class KZ_PLATFORM_API TBuffer {
 public:
  // An empty buffer.
  TBuffer() = default;
  // A buffer of `size` bytes copied from `data`. A null `data` makes an empty
  // buffer whatever `size` says.
  TBuffer(void* data, unsigned int size);
  TBuffer(const void* data, unsigned int size);
  TBuffer(const TBuffer& other);
  TBuffer& operator=(const TBuffer& other);
  TBuffer(TBuffer&& other) noexcept;
  TBuffer& operator=(TBuffer&& other) noexcept;
  ~TBuffer();

  // The bytes, owned by this buffer and valid while it lives unchanged; null
  // when the buffer is empty.
  unsigned char* GetBuf() const { return data_.get(); }
  // The number of bytes.
  unsigned int GetSize() const { return size_; }

  // Same size and bytes.
  friend KZ_PLATFORM_API bool operator==(const TBuffer& a, const TBuffer& b);

 private:
  std::unique_ptr<unsigned char[]> data_;
  unsigned int size_ = 0;
};

class TArray;

// A record of named, typed fields. Every operation takes the name as a
// std::string (UTF-8). Setters create or replace the field; getters follow
// the file comment (strict, empty value when missing or of another kind).
class KZ_PLATFORM_API TData {
 public:
  // An empty record; `capacity` is the number of fields to make room for.
  static std::unique_ptr<TData> CreateTData(unsigned int capacity);

  virtual ~TData();

  virtual void SetInt8(const std::string& name, std::int8_t value) = 0;
  virtual std::int8_t GetInt8(const std::string& name) = 0;
  virtual void SetUInt8(const std::string& name, std::uint8_t value) = 0;
  virtual std::uint8_t GetUInt8(const std::string& name) = 0;
  virtual void SetInt16(const std::string& name, std::int16_t value) = 0;
  virtual std::int16_t GetInt16(const std::string& name) = 0;
  virtual void SetUInt16(const std::string& name, std::uint16_t value) = 0;
  virtual std::uint16_t GetUInt16(const std::string& name) = 0;
  virtual void SetInt32(const std::string& name, std::int32_t value) = 0;
  virtual std::int32_t GetInt32(const std::string& name) = 0;
  virtual void SetUInt32(const std::string& name, std::uint32_t value) = 0;
  virtual std::uint32_t GetUInt32(const std::string& name) = 0;
  virtual void SetInt64(const std::string& name, std::int64_t value) = 0;
  virtual std::int64_t GetInt64(const std::string& name) = 0;
  virtual void SetUInt64(const std::string& name, std::uint64_t value) = 0;
  virtual std::uint64_t GetUInt64(const std::string& name) = 0;
  virtual void SetFloat(const std::string& name, float value) = 0;
  virtual float GetFloat(const std::string& name) = 0;
  virtual void SetDouble(const std::string& name, double value) = 0;
  virtual double GetDouble(const std::string& name) = 0;
  // A wide-string field (kind 12).
  virtual void SetWString(const std::string& name, const std::wstring& value) = 0;
  virtual std::wstring GetWString(const std::string& name) = 0;
  // A UTF-8 string field (kind 11) from a zero-terminated text (null: "").
  virtual void SetString(const std::string& name, const char* value) = 0;
  virtual std::string GetString(const std::string& name) = 0;
  // The record keeps its own copy of the buffer.
  virtual void SetBuffer(const std::string& name, TBuffer value) = 0;
  virtual TBuffer GetBuffer(const std::string& name) = 0;
  // Stores the array by reference (refused when it would make a cycle).
  virtual void SetArray(const std::string& name, std::shared_ptr<TArray> value) = 0;
  virtual std::shared_ptr<TArray> GetArray(const std::string& name) = 0;
  // Stores the record by reference (refused when it would make a cycle).
  virtual void SetData(const std::string& name, std::shared_ptr<TData> value) = 0;
  virtual std::shared_ptr<TData> GetData(const std::string& name) = 0;
  virtual void SetBool(const std::string& name, bool value) = 0;
  virtual bool GetBool(const std::string& name) = 0;
  // The kind of the field, 0 when there is no such field.
  virtual unsigned int GetType(const std::string& name) = 0;
  // A new array (kind 11) of the field names in field order; never null.
  virtual std::shared_ptr<TArray> GetFieldNames() = 0;

  // Further operations.
  virtual void SetDateTime(const std::string& name, TDateTime value) = 0;
  virtual TDateTime GetDateTime(const std::string& name) = 0;
  virtual void SetGuid(const std::string& name, const TGuid& value) = 0;
  virtual TGuid GetGuid(const std::string& name) = 0;
  // A field of kind 18 (present, no value).
  virtual void SetNull(const std::string& name) = 0;
  // A UTF-8 string field with every byte of `value`, zero bytes included.
  virtual void SetString(const std::string& name, const std::string& value) = 0;
  // True when the record has the field.
  virtual bool HasField(const std::string& name) = 0;
  // Removes the field; false when there was none. The others keep their order.
  virtual bool RemoveField(const std::string& name) = 0;
  virtual unsigned int GetFieldCount() = 0;

 protected:
  TData() = default;
  TData(const TData&) = delete;
  TData& operator=(const TData&) = delete;
};

// A list of values, read by index from 0 and written only by appending.
// Getters follow the file comment (strict, empty value when out of range or
// of another kind).
class KZ_PLATFORM_API TArray {
 public:
  // An empty array; `capacity` is the number of elements to make room for.
  static std::unique_ptr<TArray> CreateTArray(unsigned int capacity);

  virtual ~TArray();

  virtual void AddInt8(std::int8_t value) = 0;
  virtual std::int8_t GetInt8(unsigned int index) = 0;
  virtual void AddUInt8(std::uint8_t value) = 0;
  virtual std::uint8_t GetUInt8(unsigned int index) = 0;
  virtual void AddInt16(std::int16_t value) = 0;
  virtual std::int16_t GetInt16(unsigned int index) = 0;
  virtual void AddUInt16(std::uint16_t value) = 0;
  virtual std::uint16_t GetUInt16(unsigned int index) = 0;
  virtual void AddInt32(std::int32_t value) = 0;
  virtual std::int32_t GetInt32(unsigned int index) = 0;
  virtual void AddUInt32(std::uint32_t value) = 0;
  virtual std::uint32_t GetUInt32(unsigned int index) = 0;
  virtual void AddInt64(std::int64_t value) = 0;
  virtual std::int64_t GetInt64(unsigned int index) = 0;
  virtual void AddUInt64(std::uint64_t value) = 0;
  virtual std::uint64_t GetUInt64(unsigned int index) = 0;
  virtual void AddFloat(float value) = 0;
  virtual float GetFloat(unsigned int index) = 0;
  virtual void AddDouble(double value) = 0;
  virtual double GetDouble(unsigned int index) = 0;
  // A UTF-8 string from a zero-terminated text (null: "").
  virtual void AddString(const char* value) = 0;
  virtual std::string GetString(unsigned int index) = 0;
  virtual void AddWString(const std::wstring& value) = 0;
  virtual std::wstring GetWString(unsigned int index) = 0;
  // The array keeps its own copy of the buffer.
  virtual void AddBuffer(TBuffer value) = 0;
  virtual TBuffer GetBuffer(unsigned int index) = 0;
  // Stores the array by reference (refused when it would make a cycle).
  virtual void AddArray(std::shared_ptr<TArray> value) = 0;
  virtual std::shared_ptr<TArray> GetArray(unsigned int index) = 0;
  // Stores the record by reference (refused when it would make a cycle).
  virtual void AddData(std::shared_ptr<TData> value) = 0;
  virtual std::shared_ptr<TData> GetData(unsigned int index) = 0;
  virtual void AddBool(bool value) = 0;
  virtual bool GetBool(unsigned int index) = 0;
  virtual unsigned int GetCount() = 0;
  // The array's kind: that of its first element, 0 when empty.
  virtual unsigned int GetType() = 0;

  // Further operations.
  // The kind of one element, 0 for an index out of range.
  virtual unsigned int GetElementType(unsigned int index) = 0;
  virtual void AddDateTime(TDateTime value) = 0;
  virtual TDateTime GetDateTime(unsigned int index) = 0;
  virtual void AddGuid(const TGuid& value) = 0;
  virtual TGuid GetGuid(unsigned int index) = 0;
  // An element of kind 18 (present, no value).
  virtual void AddNull() = 0;
  // A UTF-8 string with every byte of `value`, zero bytes included.
  virtual void AddString(const std::string& value) = 0;

 protected:
  TArray() = default;
  TArray(const TArray&) = delete;
  TArray& operator=(const TArray&) = delete;
};

}  // namespace KOA

#endif  // WRENUTIL_PLATFORM_KOA_KOA_H_
