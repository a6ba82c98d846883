#pragma once

// Every call into the host goes through OutgoingDispatchCall: one
// IDispatch::Invoke by DISPID, arguments reversed, results checked against
// the declared type, failures raised as exceptions.

#include "disp-record.h"
#include "exceptions.h"

#include <oaidl.h>

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

constexpr uint8_t kCallMethod = 1;
constexpr uint8_t kCallPropertyGet = 2;
constexpr uint8_t kCallPropertyPut = 4;
constexpr uint8_t kCallPropertyPutRef = 8;

// Argument kinds beyond the standard VARTYPEs; 0x80 marks by reference.
constexpr uint8_t kArgByRef = 0x80;
constexpr uint8_t kArgNarrowString = 0x48;  // std::string, system code page
constexpr uint8_t kArgProgramString = 0x4A; // std::wstring, copied into a fresh BSTR

constexpr int kMaxHostCallArgs = 16;
constexpr int kStringSlots = 64;

// Slot widths of the argument block: addresses (by-reference kinds, BSTRs,
// interfaces, the string kinds) take a pointer's width, a VARIANT its own
// size; on i686 that is the block's fixed layout of 4 and 16 bytes.
constexpr unsigned kPointerSlot = sizeof(void*);
constexpr unsigned kVariantSlot = sizeof(VARIANT);
#if defined(__i386__)
static_assert(kPointerSlot == 4 && kVariantSlot == 16, "the i686 argument block layout");
#endif

// One per wrapper operation, a constant beside it.
struct THostCallDescriptor {
  int32_t DispId;
  uint8_t ResultType; // a VARTYPE; 0 = no result
  uint8_t CallKind;
  uint8_t ArgCount;
  uint8_t NamedArgCount;
  uint8_t ArgTypes[kMaxHostCallArgs];
};

// The value of a call that has no result variable.
struct TOutgoingValue {
  int64_t Int = 0;
  double Real = 0;
};

// The core routine. AArgs is the packed argument block: each argument in
// declaration order in a slot of 4 bytes (8 for 64-bit kinds and doubles,
// kPointerSlot for addresses, kVariantSlot for a VARIANT, none for
// VT_ERROR); by-reference kinds hold the address
// of the caller's variable; kinds 0x48/0x4A hold the address of a
// std::string / std::wstring. AResult is the caller's result variable or
// nullptr, in which case the value is returned.
TOutgoingValue OutgoingDispatchCall(void* AResult, IDispatch* ADispatch,
                                    const THostCallDescriptor& ADescriptor, const uint8_t* AArgs);

// The result types a caller's variable may take (AResult of the routine):
// 8 -> BSTR, 9 -> IDispatch*, 13 -> IUnknown*, 12 -> VARIANT, numbers by width.

// The shared empty BSTR passed for empty narrow and program strings.
BSTR SharedEmptyBstr();

// Raises the error of a failing HRESULT (EOleException for DISP_E_EXCEPTION).
[[noreturn]] void RaiseOleError(HRESULT AResult, const EXCEPINFO& AExcepInfo);

// ---- typed front end for the wrapper records --------------------------------

namespace outgoing_detail {

// Packs typed arguments into the block by the descriptor's kinds; holds the
// temporaries (BSTRs of wide-string arguments, references of records) for
// the duration of the call and copies by-reference wide strings back.
class TArgPacker {
public:
  explicit TArgPacker(const THostCallDescriptor& ADescriptor) : FDescriptor(ADescriptor) {}
  ~TArgPacker() {
    if (FTemporaryCount || !FWideSlots.empty())
      Release();
  }
  TArgPacker(const TArgPacker&) = delete;
  TArgPacker& operator=(const TArgPacker&) = delete;

  void Add(int32_t AValue);
  void Add(uint32_t AValue) { Add(static_cast<int32_t>(AValue)); }
  void Add(int64_t AValue);
  void Add(double AValue);
  void Add(bool AValue);
  void Add(const std::wstring& AValue);
  void Add(const wchar_t* AValue) { Add(std::wstring(AValue ? AValue : L"")); }
  void Add(const std::string& AValue);
  void Add(IDispatch* AValue);
  void Add(const TDispRecordBase& AValue) { Add(AValue.Intf()); }
  void Add(const VARIANT& AValue);
  void Add(int32_t* AValue);
  void Add(int64_t* AValue);
  void Add(std::wstring* AValue);
  void Add(std::string* AValue);
  void Add(IDispatch** AValue);

  const uint8_t* Block() const { return FBlock; }
  // Copies by-reference wide strings back into the caller's variables.
  void WriteBack() {
    if (!FWideBack.empty())
      WriteBackStrings();
  }

private:
  uint8_t NextKind();
  void Release();
  void WriteBackStrings();
  void Put(const void* AData, unsigned ASize);

  const THostCallDescriptor& FDescriptor;
  unsigned FIndex = 0;
  unsigned FOffset = 0;
  // Only the bytes the arguments fill are ever read.
  alignas(8) uint8_t FBlock[kMaxHostCallArgs * kVariantSlot];
  BSTR FTemporaries[kMaxHostCallArgs];
  unsigned FTemporaryCount = 0;
  struct TWideBack {
    std::wstring* Target;
    BSTR* Slot;
  };
  std::vector<TWideBack> FWideBack;
  std::vector<BSTR*> FWideSlots;
};

} // namespace outgoing_detail

template <class... A>
TOutgoingValue HostCall(void* AResult, IDispatch* ADispatch, const THostCallDescriptor& ADescriptor,
                        const A&... AArgs) {
  outgoing_detail::TArgPacker packer(ADescriptor);
  (packer.Add(AArgs), ...);
  try {
    const TOutgoingValue v = OutgoingDispatchCall(AResult, ADispatch, ADescriptor, packer.Block());
    packer.WriteBack();
    return v;
  } catch (...) {
    // What the host already wrote through a reference stays written.
    packer.WriteBack();
    throw;
  }
}

// Result-typed calls for the wrapper operations.
template <class... A>
void HostCallVoid(IDispatch* ADispatch, const THostCallDescriptor& ADescriptor, const A&... AArgs) {
  HostCall(nullptr, ADispatch, ADescriptor, AArgs...);
}

template <class... A>
int32_t HostCallInt(IDispatch* ADispatch, const THostCallDescriptor& ADescriptor,
                    const A&... AArgs) {
  return static_cast<int32_t>(HostCall(nullptr, ADispatch, ADescriptor, AArgs...).Int);
}

template <class... A>
int64_t HostCallInt64(IDispatch* ADispatch, const THostCallDescriptor& ADescriptor,
                      const A&... AArgs) {
  return HostCall(nullptr, ADispatch, ADescriptor, AArgs...).Int;
}

template <class... A>
double HostCallReal(IDispatch* ADispatch, const THostCallDescriptor& ADescriptor,
                    const A&... AArgs) {
  return HostCall(nullptr, ADispatch, ADescriptor, AArgs...).Real;
}

template <class... A>
bool HostCallBool(IDispatch* ADispatch, const THostCallDescriptor& ADescriptor, const A&... AArgs) {
  return HostCall(nullptr, ADispatch, ADescriptor, AArgs...).Int != 0;
}

template <class... A>
std::wstring HostCallString(IDispatch* ADispatch, const THostCallDescriptor& ADescriptor,
                            const A&... AArgs) {
  BSTR result = nullptr;
  struct TFree {
    BSTR& B;
    ~TFree() { SysFreeString(B); }
  } guard{result};
  HostCall(&result, ADispatch, ADescriptor, AArgs...);
  return std::wstring(result ? result : L"", result ? SysStringLen(result) : 0);
}

// The same into the caller's text, whose room is reused: a road that asks for
// texts over and over allocates nothing on its side.
template <class... A>
void HostCallStringInto(std::wstring& AResult, IDispatch* ADispatch,
                        const THostCallDescriptor& ADescriptor, const A&... AArgs) {
  BSTR result = nullptr;
  struct TFree {
    BSTR& B;
    ~TFree() { SysFreeString(B); }
  } guard{result};
  HostCall(&result, ADispatch, ADescriptor, AArgs...);
  AResult.assign(result ? result : L"", result ? SysStringLen(result) : 0);
}

template <class TRecord, class... A>
TRecord HostCallRecord(IDispatch* ADispatch, const THostCallDescriptor& ADescriptor,
                       const A&... AArgs) {
  IDispatch* result = nullptr;
  struct TFree {
    IDispatch*& D;
    ~TFree() {
      if (D) D->Release();
    }
  } guard{result};
  HostCall(&result, ADispatch, ADescriptor, AArgs...);
  return TRecord::FromDispatch(result);
}
