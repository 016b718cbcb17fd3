// Property bags: IKZData (a record of named, typed fields), IKZArray (an
// ordered list of typed elements), IKZBuffer (bytes), the read views
// IKZDataRead / IKZArrayRead, and the Util::Data helpers.
//
// Type codes (KZType): 1 bool (a 32-bit flag), 2 u8, 3 i8, 4 u16, 5 i16,
// 6 u32 (DWord), 7 i32, 8 string (UTF-16 text, read out as a system string
// the caller frees), 9 buffer, 10 interface (an object field), 11 record,
// 12 array, 14 i64, 15 double, 17 u64 (UInt64). 0 means "no such field".
//
// Choices of this implementation:
// - Fields keep their insertion order; setting an existing name replaces its
//   value and type in place (the field keeps its position).
// - Field names are narrow ASCII; the wide-name twins convert the name as
//   UTF-8. A null or empty name is refused with E_INVALIDARG.
// - Every call returns S_OK or a negative code: KZ_E_NOFIELD for an absent
//   field, KZ_E_TYPEMISMATCH for a field or element of another type,
//   KZ_E_BADINDEX for an index out of range, E_POINTER for a null pointer.
//   A failing getter leaves its output untouched.
// - Getters are strict: each reads only its own type (GetDWord does not read
//   a u16 field).
// - SetBuf, SetKZData, SetKZArray, SetInterface and the array appenders of
//   records and arrays store a reference to the object given (shared, not
//   copied); the matching getters hand that same object out with one
//   reference for the caller. Storing a record or array inside itself (at any
//   depth) is refused with E_INVALIDARG, so trees never form cycles.
// - CopyTo and CopyField copy deeply: nested records, arrays and buffers are
//   duplicated, so the copy shares nothing writable with its source; interface
//   fields share the object (one more reference).
// - A record keeps its fields in one region inside its own allocation: for
//   each field a slot of 24 bytes (type, value, where its name lives), and the
//   bytes of names, of texts up to 31 wide characters (an e-mail address) and
//   of interface ids. A longer text is kept in one immutable block that copies
//   share, so copying a record allocates nothing for its texts. A copy (CopyTo
//   into an empty record, a nested record copied) is made with a region of its
//   exact size. A record that outgrows its region moves the region to the
//   heap; when such a record is then stored in an array or record, the next
//   records that its thread makes start with room enough for it (up to 1 KB),
//   so that records made alike by a loader take one allocation each (and less
//   room again after records that used under half of theirs). An array keeps
//   its elements the same way, contiguous.
// - Trees of any depth are copied, compared and released without recursion
//   inside the platform's bags; a foreign record or array inside one is
//   reached through its own interface (a cycle through a foreign bag is not
//   seen). Storing a record or array in one that no record or array holds
//   costs no walk, so trees built from the leaves up or from the root down
//   are built in linear time; otherwise the object stored is walked once.
// - IsEqual is deep: two records are equal when they have the same names
//   (in any order), each with the same type and an equal value; arrays when
//   they have the same count and equal elements position by position.
//   Buffers compare by bytes, texts by units, doubles with ==, interface
//   fields by identity. It returns S_OK (0) when equal, S_FALSE (1) when not,
//   E_POINTER for a null other.
#ifndef WRENUTIL_PLATFORM_COMMON_KZDATA_H_
#define WRENUTIL_PLATFORM_COMMON_KZDATA_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/common/kzbase.h"
#include "platform/common/kzptr.h"
#include "platform/common/kzstring.h"

enum KZType : std::uint8_t {
  KZ_TYPE_NONE = 0,
  KZ_TYPE_BOOL = 1,
  KZ_TYPE_UINT8 = 2,
  KZ_TYPE_INT8 = 3,
  KZ_TYPE_UINT16 = 4,
  KZ_TYPE_INT16 = 5,
  KZ_TYPE_DWORD = 6,
  KZ_TYPE_INT32 = 7,
  KZ_TYPE_STR = 8,
  KZ_TYPE_BUF = 9,
  KZ_TYPE_INTERFACE = 10,
  KZ_TYPE_KZDATA = 11,
  KZ_TYPE_KZARRAY = 12,
  KZ_TYPE_INT64 = 14,
  KZ_TYPE_DOUBLE = 15,
  KZ_TYPE_UINT64 = 17,
};

struct IKZData;
struct IKZArray;
struct IKZArrayRead;

struct IKZBuffer : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A60}");
  // Pointer to the bytes (null when empty), valid until the next SetData.
  virtual HRESULT GetData(BYTE** data) = 0;
  virtual HRESULT GetSize(DWORD* size) = 0;
  // Replaces the content by `size` bytes copied from `data` (null only with
  // size 0).
  virtual HRESULT SetData(const BYTE* data, DWORD size) = 0;
  // Replaces the content by a copy of another buffer's (null: E_POINTER).
  virtual HRESULT CopyFrom(IKZBuffer* other) = 0;
};

#define KZ_BY_NAME(Method, ...)                                 \
  virtual HRESULT Method(const wchar_t* name, __VA_ARGS__) = 0; \
  virtual HRESULT Method(const char* name, __VA_ARGS__) = 0;

struct IKZDataRead : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A61}");
  KZ_BY_NAME(GetBool, int* value)
  KZ_BY_NAME(GetUInt8, std::uint8_t* value)
  KZ_BY_NAME(GetInt8, std::int8_t* value)
  KZ_BY_NAME(GetUInt16, std::uint16_t* value)
  KZ_BY_NAME(GetInt16, std::int16_t* value)
  KZ_BY_NAME(GetDWord, DWORD* value)
  KZ_BY_NAME(GetInt32, std::int32_t* value)
  KZ_BY_NAME(GetUInt64, std::uint64_t* value)
  KZ_BY_NAME(GetInt64, std::int64_t* value)
  KZ_BY_NAME(GetDouble, double* value)
  // A new system string for the caller to free.
  KZ_BY_NAME(GetStr, BSTR* value)
  // One reference for the caller.
  KZ_BY_NAME(GetBuf, IKZBuffer** value)
  // The object of an interface field, asked for `iid`; one reference for the
  // caller. E_NOINTERFACE when the object does not have that interface.
  KZ_BY_NAME(GetInterface, REFIID iid, void** object)
  KZ_BY_NAME(GetKZArrayRead, IKZArrayRead** value)
  // Stores the field's type code, or 0 (and KZ_E_NOFIELD) when absent.
  KZ_BY_NAME(GetFieldType, BYTE* type)
  virtual HRESULT GetFieldCount(DWORD* count) = 0;
  // The name of the field at `index` as a new system string.
  virtual HRESULT GetFieldName(DWORD index, BSTR* name) = 0;
  virtual HRESULT GetFieldTypeAt(DWORD index, BYTE* type) = 0;
  virtual HRESULT IsEqual(IKZDataRead* other) = 0;
  // Copies every field deeply into `destination`, replacing same-named ones.
  virtual HRESULT CopyTo(IKZData* destination) = 0;
};

struct IKZData : IKZDataRead {
  using Base = IKZDataRead;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A62}");
  // Copies one field deeply into `destination` under the same name.
  KZ_BY_NAME(CopyField, IKZData* destination)
  // Writable nested record / array; one reference for the caller.
  KZ_BY_NAME(GetKZData, IKZData** value)
  KZ_BY_NAME(GetKZArray, IKZArray** value)
  KZ_BY_NAME(SetBool, int value)
  KZ_BY_NAME(SetUInt8, std::uint8_t value)
  KZ_BY_NAME(SetInt8, std::int8_t value)
  KZ_BY_NAME(SetUInt16, std::uint16_t value)
  KZ_BY_NAME(SetInt16, std::int16_t value)
  KZ_BY_NAME(SetDWord, DWORD value)
  KZ_BY_NAME(SetInt32, std::int32_t value)
  KZ_BY_NAME(SetUInt64, std::uint64_t value)
  KZ_BY_NAME(SetInt64, std::int64_t value)
  KZ_BY_NAME(SetDouble, double value)
  // Copies the text (null stores the empty text).
  KZ_BY_NAME(SetStr, const wchar_t* value)
  // The following store a reference to the object (null: E_POINTER).
  KZ_BY_NAME(SetBuf, IKZBuffer* value)
  KZ_BY_NAME(SetInterface, REFIID iid, IUnknown* object)
  KZ_BY_NAME(SetKZData, IKZData* value)
  KZ_BY_NAME(SetKZArray, IKZArray* value)
  // Removes a field; KZ_E_NOFIELD when absent. The others keep their order.
  virtual HRESULT RemoveField(const wchar_t* name) = 0;
  virtual HRESULT RemoveField(const char* name) = 0;
};

#undef KZ_BY_NAME

struct IKZArrayRead : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A63}");
  virtual HRESULT GetBool(DWORD index, int* value) = 0;
  virtual HRESULT GetUInt8(DWORD index, std::uint8_t* value) = 0;
  virtual HRESULT GetInt8(DWORD index, std::int8_t* value) = 0;
  virtual HRESULT GetUInt16(DWORD index, std::uint16_t* value) = 0;
  virtual HRESULT GetInt16(DWORD index, std::int16_t* value) = 0;
  virtual HRESULT GetDWord(DWORD index, DWORD* value) = 0;
  virtual HRESULT GetInt32(DWORD index, std::int32_t* value) = 0;
  virtual HRESULT GetStr(DWORD index, BSTR* value) = 0;
  virtual HRESULT GetBuf(DWORD index, IKZBuffer** value) = 0;
  virtual HRESULT GetKZDataRead(DWORD index, IKZDataRead** value) = 0;
  virtual HRESULT GetInt64(DWORD index, std::int64_t* value) = 0;
  virtual HRESULT GetDouble(DWORD index, double* value) = 0;
  virtual HRESULT GetElementType(DWORD index, BYTE* type) = 0;
  virtual HRESULT GetCount(DWORD* count) = 0;
  virtual HRESULT IsEqual(IKZArrayRead* other) = 0;
  virtual HRESULT GetUInt64(DWORD index, std::uint64_t* value) = 0;
};

struct IKZArray : IKZArrayRead {
  using Base = IKZArrayRead;
  static constexpr GUID kIid = platform::MakeGuid("{6C3E4B0A-91D2-4E57-8A0B-2F1D3C4B5A64}");
  virtual HRESULT AddBool(int value) = 0;
  virtual HRESULT AddUInt8(std::uint8_t value) = 0;
  virtual HRESULT AddInt8(std::int8_t value) = 0;
  virtual HRESULT AddUInt16(std::uint16_t value) = 0;
  virtual HRESULT AddInt16(std::int16_t value) = 0;
  virtual HRESULT AddDWord(DWORD value) = 0;
  virtual HRESULT AddInt32(std::int32_t value) = 0;
  virtual HRESULT AddStr(const wchar_t* value) = 0;  // null: the empty text
  // Store a reference (null: E_POINTER; a cycle: E_INVALIDARG).
  virtual HRESULT AddKZData(IKZData* value) = 0;
  virtual HRESULT AddKZArray(IKZArray* value) = 0;
  virtual HRESULT AddInt64(std::int64_t value) = 0;
  virtual HRESULT AddDouble(double value) = 0;
  virtual HRESULT GetKZData(DWORD index, IKZData** value) = 0;
  virtual HRESULT GetKZArray(DWORD index, IKZArray** value) = 0;
  virtual HRESULT AddUInt64(std::uint64_t value) = 0;
  // Further operations of this platform.
  virtual HRESULT AddBuf(IKZBuffer* value) = 0;  // stores a reference
  virtual HRESULT GetKZArrayRead(DWORD index, IKZArrayRead** value) = 0;
  virtual HRESULT RemoveAt(DWORD index) = 0;
  virtual HRESULT Clear() = 0;
};

// Holds one IKZBuffer, created on first write. Assigning a buffer copies its
// content in; assigning null releases the held buffer.
class KZ_PLATFORM_API CKZBuffer {
 public:
  CKZBuffer() = default;
  CKZBuffer(const CKZBuffer& other);
  CKZBuffer& operator=(const CKZBuffer& other);
  CKZBuffer& operator=(IKZBuffer* buffer);
  ~CKZBuffer() = default;

  // Replaces the content (creating the buffer when needed).
  HRESULT SetData(const BYTE* data, DWORD size);
  // The bytes (null when empty or not created) and their count.
  const BYTE* GetData() const;
  DWORD GetSize() const;
  // The held buffer (borrowed; may be null).
  IKZBuffer* Get() const { return buffer_.Get(); }
  operator IKZBuffer*() const { return buffer_.Get(); }
  // Equal contents (an absent buffer equals an empty one).
  bool ContentEquals(const BYTE* data, DWORD size) const;

 private:
  CKZComPtr<IKZBuffer> buffer_;
};

namespace Util::Data {

// Each creates an empty object and stores one reference for the caller in
// *out; returns 1, or 0 when `out` is null.
KZ_PLATFORM_API int CreateKZData(IKZData** out);
KZ_PLATFORM_API int CreateKZArray(IKZArray** out);
KZ_PLATFORM_API int CreateKZBuffer(IKZBuffer** out);

// 1 when the bag has the field, 0 when not or when an argument is null.
KZ_PLATFORM_API int HasField(IKZDataRead* data, const char* name);
KZ_PLATFORM_API int HasField(IKZDataRead* data, const wchar_t* name);

// Each answers 1 when the named field of `data` equals `value`, else 0.
// An absent field reads as the empty value of its kind (0, the empty text,
// the empty buffer, no record, no array), so it equals exactly that; a field
// of another type is never equal; a null bag or name gives 0.
// EqualKZData / EqualKZDataArray compare deeply as IsEqual does; a null
// value equals only an absent field.
KZ_PLATFORM_API int EqualDWord(IKZDataRead* data, const char* name, DWORD value);
KZ_PLATFORM_API int EqualStr(IKZDataRead* data, const char* name, const CKZStringW& value);
KZ_PLATFORM_API int EqualBuf(IKZDataRead* data, const char* name, const CKZBuffer& value);
KZ_PLATFORM_API int EqualKZData(IKZDataRead* data, const char* name, IKZDataRead* value);
KZ_PLATFORM_API int EqualKZDataArray(IKZDataRead* data, const char* name, IKZArrayRead* value);

// Reads a string field into `value`; 1 on success, 0 (value untouched) when
// absent, of another type or an argument is null.
KZ_PLATFORM_API int GetKZDataStr(IKZDataRead* data, const char* name, CKZStringW& value);

}  // namespace Util::Data

// Borrowed reads, for loops that read many records of the platform's own
// bags: no copy and no reference is made, so the caller must keep the bag
// alive and leave the field or element unchanged while it uses what it got.
// Each answers E_NOTIMPL when the object is not one of the platform's bags
// (read it through its interface then), E_POINTER for a null argument, and
// otherwise what the matching getter answers (KZ_E_NOFIELD,
// KZ_E_TYPEMISMATCH, KZ_E_BADINDEX, E_INVALIDARG), leaving the output
// untouched on failure. A text read this way ends with a zero character and
// holds no other.
namespace platform {

// A field name made ready for reading it from many records: its length and
// first four bytes are worked out once, and it remembers the position where
// it found the field last, which is where records of one shape keep it.
class KZ_PLATFORM_API FieldKey {
 public:
  // A null name reads as the empty name, which no field has.
  explicit FieldKey(const char* name);
  const char* name() const { return name_.c_str(); }
  std::size_t size() const { return name_.size(); }
  std::uint32_t head() const { return head_; }
  std::uint32_t hint() const { return hint_; }
  void set_hint(std::uint32_t position) { hint_ = position; }

 private:
  std::string name_;
  std::uint32_t head_ = 0;
  std::uint32_t hint_ = 0;
};

KZ_PLATFORM_API HRESULT PeekStr(IKZDataRead* data, FieldKey& name, std::wstring_view* text);
// Several string fields of one record at once: texts[i] gets the field
// names[i], or the empty text when the record has no such string field.
// S_OK, E_NOTIMPL or E_POINTER (null arrays are allowed for a count of 0).
KZ_PLATFORM_API HRESULT PeekStrs(IKZDataRead* data, FieldKey* names, std::size_t count,
                                 std::wstring_view* texts);
KZ_PLATFORM_API HRESULT PeekStrAt(IKZArrayRead* array, DWORD index, std::wstring_view* text);
// The record at `index`, without a reference for the caller.
KZ_PLATFORM_API HRESULT PeekKZDataRead(IKZArrayRead* array, DWORD index, IKZDataRead** record);

// Read-ahead for a loop over the records of one of the platform's arrays: a
// hint that the record at `far` will be read (its first bytes are fetched)
// and the one at `near` soon (all its fields are fetched, which the first
// bytes tell where to find). Does nothing for another array, an index out of
// range or an element that is no record.
KZ_PLATFORM_API void PrefetchKZData(IKZArrayRead* array, DWORD near, DWORD far);

// A deep copy of `source` (as CopyTo into an empty record) in a new record
// that keeps room for `extra_fields` more fields holding `extra_bytes` of
// names and short texts, so that a caller that extends the copy allocates
// nothing more. One reference for the caller in *copy; on failure the
// failure of the copy (E_POINTER for a null argument) and *copy untouched.
// Sets the string field `name` of `bag` to `text` (which must end with a zero
// character after its last one), as SetStr does; when `text` is the whole
// text of a long string field of `bag`, or of the record `bag` was copied
// from, the new field shares its characters instead of copying them.
KZ_PLATFORM_API HRESULT SetStrShared(IKZData* bag, const char* name, std::wstring_view text);

KZ_PLATFORM_API HRESULT CloneKZData(IKZDataRead* source, std::size_t extra_fields,
                                    std::size_t extra_bytes, IKZData** copy);
}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_KZDATA_H_
