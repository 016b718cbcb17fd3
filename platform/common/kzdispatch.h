// Automation: IDispatch, the type information behind it (ITypeInfo), the
// argument records (VARIANT, DISPPARAMS), and registered type libraries.
//
// A type library here is a type description that a host registers on the
// core under the library's GUID: a table of methods, each with its name, its
// dispatch id, its number of arguments and a call that runs it on an object.
// `CreateObject(libid, ITypeInfo::kIid)` loads it (a new ITypeInfo over the
// description each time).
//
// Conventions kept from automation: DISPPARAMS holds its arguments in
// reverse order (rgvarg[0] is the last); named arguments are not supported;
// a name lookup fills -1 (DISPID_UNKNOWN) for names it does not know.
//
// Choices of this stand-in:
// - Names are compared without regard to case (ASCII letters).
// - Invoke answers the method's own result code; the result VARIANT, when
//   given, is set to VT_EMPTY (the methods described return only a code).
// - Only DISPATCH_METHOD is served; other flags give DISP_E_MEMBERNOTFOUND.
#ifndef WRENUTIL_PLATFORM_COMMON_KZDISPATCH_H_
#define WRENUTIL_PLATFORM_COMMON_KZDISPATCH_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/common/kzbase.h"
#include "platform/common/kzcore.h"

using DISPID = std::int32_t;
using LCID = DWORD;
using UINT = std::uint32_t;
using WORD = std::uint16_t;
using VARTYPE = std::uint16_t;

inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr WORD DISPATCH_METHOD = 1;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_I4 = 3,
  VT_BSTR = 8,
  VT_UNKNOWN = 13,
  VT_UI4 = 19,
};

inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
inline constexpr HRESULT DISP_E_NONAMEDARGS = static_cast<HRESULT>(0x80020007u);
inline constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000Bu);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);

// One argument or result. Borrowed values: the VARIANT does not own the
// string or the object it points at.
struct VARIANT {
  VARTYPE vt = VT_EMPTY;
  union {
    std::int32_t lVal;
    std::uint32_t ulVal;
    BSTR bstrVal;
    IUnknown* punkVal;
  };
  VARIANT() : punkVal(nullptr) {}
};

struct DISPPARAMS {
  VARIANT* rgvarg = nullptr;  // the arguments, last first
  DISPID* rgdispidNamedArgs = nullptr;
  UINT cArgs = 0;
  UINT cNamedArgs = 0;
};

// Details of a failure inside a method; this stand-in never fills it.
struct EXCEPINFO {
  HRESULT scode = 0;
};

struct ITypeInfo : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{00020401-0000-0000-C000-000000000046}");
  // The id of the interface the description is for.
  virtual HRESULT GetInterfaceId(IID* iid) = 0;
  // Dispatch ids of `count` names: names[0] a method, the others its
  // arguments (never known here). S_OK when all were found, else
  // DISP_E_UNKNOWNNAME with DISPID_UNKNOWN for each unknown name. E_POINTER
  // for null arrays (with a non-zero count) or a null name.
  virtual HRESULT GetIDsOfNames(const wchar_t* const* names, UINT count, DISPID* ids) = 0;
  // Runs method `id` on `instance`: DISP_E_MEMBERNOTFOUND for an unknown id
  // or a flag other than DISPATCH_METHOD, DISP_E_NONAMEDARGS for named
  // arguments, DISP_E_BADPARAMCOUNT for the wrong number of arguments,
  // E_POINTER for null `instance` or `params`; else what the method answers
  // (a VT mismatch of argument k gives DISP_E_TYPEMISMATCH and k, counted
  // like rgvarg, in *arg_err when given).
  virtual HRESULT Invoke(IUnknown* instance, DISPID id, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* arg_err) = 0;
};

struct IDispatch : IUnknown {
  using Base = IUnknown;
  static constexpr GUID kIid = platform::MakeGuid("{00020400-0000-0000-C000-000000000046}");
  virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, const wchar_t* const* names, UINT count, LCID lcid,
                                DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* arg_err) = 0;
};

namespace platform {

// One method of a type description. `call` gets the instance and the
// arguments in declaration order (already reversed from DISPPARAMS); it
// answers DISP_E_TYPEMISMATCH with the index (declaration order) in
// *bad_arg for an argument of the wrong type.
struct TypeMethod {
  std::wstring name;
  DISPID id = 0;
  UINT arg_count = 0;
  std::function<HRESULT(IUnknown* instance, const VARIANT* args, UINT* bad_arg)> call;
};

struct TypeDescription {
  IID iid{};
  std::vector<TypeMethod> methods;
};

// A new type information over `description`; one reference for the caller.
// E_POINTER for a null slot.
KZ_PLATFORM_API HRESULT CreateTypeInfo(const TypeDescription& description, ITypeInfo** info);

// Registers the type library `libid` on `core`: CreateObject(libid,
// ITypeInfo::kIid) then loads `description` (asked for the interface id
// `libid` itself, it hands out the ITypeInfo too). E_POINTER for a null core.
KZ_PLATFORM_API HRESULT RegisterTypeLibrary(IKZCoreHost* core, REFGUID libid,
                                            TypeDescription description);

// Argument readers for TypeMethod::call: false when the VARIANT is of
// another type. A 32-bit number is accepted as VT_UI4 or VT_I4; an object as
// VT_UNKNOWN (null allowed) and asked for `Interface` (a non-null object
// without it is a mismatch).
KZ_PLATFORM_API bool VariantToDWord(const VARIANT& v, DWORD* out);
KZ_PLATFORM_API bool VariantToObject(const VARIANT& v, REFIID iid, void** out);

}  // namespace platform

#endif  // WRENUTIL_PLATFORM_COMMON_KZDISPATCH_H_
