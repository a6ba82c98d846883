#include "outgoing-call.h"

#include <oleauto.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

// Set up when taken (TCallState::TakeSlot): the 64 of a call are not
// touched before.
struct TStringSlot {
  BSTR Wide;
  std::string* Ansi;
  std::wstring* Unicode;
};

BSTR NewBstr(const std::wstring& AText) {
  if (AText.empty()) return SharedEmptyBstr();
  return SysAllocStringLen(AText.data(), UINT(AText.size()));
}

std::wstring NarrowToWide(const std::string& AText) {
  if (AText.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, AText.data(), int(AText.size()), nullptr, 0);
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, AText.data(), int(AText.size()), out.data(), n);
  return out;
}

std::string WideToNarrow(BSTR AText) {
  const int len = AText ? int(SysStringLen(AText)) : 0;
  if (len == 0) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, AText, len, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, AText, len, out.data(), n, nullptr, nullptr);
  return out;
}

unsigned SlotSize(uint8_t AKind) {
  if (AKind & kArgByRef) return kPointerSlot;
  switch (AKind) {
  case VT_R8: case VT_CY: case VT_DATE: case VT_I8: case VT_UI8: return 8;
  case VT_VARIANT: return kVariantSlot;
  case VT_ERROR: return 0;
  case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN: case kArgNarrowString: case kArgProgramString:
    return kPointerSlot;
  default: return 4;
  }
}

bool KnownKind(uint8_t AKind) {
  const uint8_t base = AKind & 0x7F;
  if (base <= VT_UI8) return base != 14 && base != 15;
  return base == kArgNarrowString || base == kArgProgramString;
}

std::wstring VarTypeName(VARTYPE AType) {
  wchar_t buf[32];
  swprintf(buf, 32, L"%u", unsigned(AType));
  return buf;
}

// Everything one call allocates, released however the call ends. Only the
// string slots that were taken are set up and released: most calls carry
// no narrow or program string at all.
struct TCallState {
  VARIANTARG Args[kMaxHostCallArgs];
  unsigned ArgCount = 0;
  unsigned SlotCount = 0;
  TStringSlot Slots[kStringSlots];
  EXCEPINFO ExcepInfo{};
  VARIANT Result;

  TCallState() { V_VT(&Result) = VT_EMPTY; }
  ~TCallState() {
    if (SlotCount) {
      const BSTR empty = SharedEmptyBstr();
      for (unsigned i = 0; i < SlotCount; ++i)
        if (Slots[i].Wide && Slots[i].Wide != empty)
          SysFreeString(Slots[i].Wide);
    }
    if (ExcepInfo.bstrSource)
      SysFreeString(ExcepInfo.bstrSource);
    if (ExcepInfo.bstrDescription)
      SysFreeString(ExcepInfo.bstrDescription);
    if (ExcepInfo.bstrHelpFile)
      SysFreeString(ExcepInfo.bstrHelpFile);
    if (V_VT(&Result) != VT_EMPTY)
      VariantClear(&Result);
  }
  TStringSlot& TakeSlot() {
    if (SlotCount >= unsigned(kStringSlots))
      throw EVariantDispatchError(L"More string arguments than one call carries");
    TStringSlot& slot = Slots[SlotCount++];
    slot = TStringSlot{nullptr, nullptr, nullptr};
    return slot;
  }
};

template <class T> T ReadSlot(const uint8_t* ABlock, unsigned AOffset) {
  T v;
  std::memcpy(&v, ABlock + AOffset, sizeof v);
  return v;
}

void BuildArguments(TCallState& AState, const THostCallDescriptor& ADescriptor,
                    const uint8_t* AArgs) {
  SharedEmptyBstr();
  unsigned offset = 0;
  const unsigned n = ADescriptor.ArgCount;
  for (unsigned i = 0; i < n; ++i) {
    const uint8_t kind = ADescriptor.ArgTypes[i];
    if (!KnownKind(kind)) throw EVariantDispatchError(L"Variant method calls not supported");
    VARIANTARG& v = AState.Args[n - 1 - i];
    V_VT(&v) = VT_EMPTY;
    const uint8_t base = kind & 0x7F;
    if (kind & kArgByRef) {
      void* target = ReadSlot<void*>(AArgs, offset);
      if (base == kArgNarrowString || base == kArgProgramString) {
        TStringSlot& s = AState.TakeSlot();
        if (base == kArgNarrowString) {
          s.Ansi = static_cast<std::string*>(target);
          s.Wide = NewBstr(NarrowToWide(*s.Ansi));
        } else {
          s.Unicode = static_cast<std::wstring*>(target);
          s.Wide = NewBstr(*s.Unicode);
        }
        V_VT(&v) = VT_BYREF | VT_BSTR;
        V_BSTRREF(&v) = &s.Wide;
      } else {
        V_VT(&v) = VARTYPE(VT_BYREF | base);
        V_BYREF(&v) = target;
      }
    } else {
      switch (base) {
      case VT_EMPTY: case VT_NULL: V_VT(&v) = base; break;
      case VT_I2: case VT_UI2:
        V_VT(&v) = base;
        V_I2(&v) = int16_t(ReadSlot<int32_t>(AArgs, offset));
        break;
      case VT_I4: case VT_R4: case VT_UI4:
        V_VT(&v) = base;
        V_I4(&v) = ReadSlot<int32_t>(AArgs, offset);
        break;
      case VT_R8: case VT_CY: case VT_DATE: case VT_I8: case VT_UI8:
        V_VT(&v) = base;
        V_I8(&v) = ReadSlot<int64_t>(AArgs, offset);
        break;
      case VT_BSTR:
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = ReadSlot<BSTR>(AArgs, offset);
        break;
      case VT_DISPATCH: case VT_UNKNOWN:
        V_VT(&v) = base;
        V_UNKNOWN(&v) = ReadSlot<IUnknown*>(AArgs, offset);
        break;
      case VT_ERROR:
        V_VT(&v) = VT_ERROR;
        V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
        break;
      case VT_BOOL:
        V_VT(&v) = VT_BOOL;
        V_BOOL(&v) = (ReadSlot<int32_t>(AArgs, offset) & 0xFF) ? VARIANT_TRUE : VARIANT_FALSE;
        break;
      case VT_VARIANT: std::memcpy(&v, AArgs + offset, sizeof v); break;
      case VT_I1: case VT_UI1:
        V_VT(&v) = base;
        V_UI1(&v) = uint8_t(ReadSlot<int32_t>(AArgs, offset));
        break;
      case kArgNarrowString: case kArgProgramString: {
        TStringSlot& s = AState.TakeSlot();
        const void* text = ReadSlot<const void*>(AArgs, offset);
        s.Wide = base == kArgNarrowString ? NewBstr(NarrowToWide(*static_cast<const std::string*>(text)))
                                          : NewBstr(*static_cast<const std::wstring*>(text));
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = s.Wide;
        break;
      }
      default: throw EVariantDispatchError(L"Variant method calls not supported");
      }
    }
    offset += SlotSize(kind);
    AState.ArgCount = i + 1;
  }
}

// Checks the host's answer against the declared type; numbers of another
// width are converted, anything else is refused.
void CheckResult(VARIANT& AResult, const THostCallDescriptor& ADescriptor) {
  const VARTYPE want = ADescriptor.ResultType;
  const VARTYPE got = V_VT(&AResult);
  if (want == 0 || want == VT_VARIANT || got == VT_EMPTY || got == want) return;
  bool ok = false;
  switch (want) {
  case VT_BSTR: ok = false; break;
  case VT_DISPATCH:
  case VT_UNKNOWN:
    if (got == VT_DISPATCH || got == VT_UNKNOWN) {
      IUnknown* unk = V_UNKNOWN(&AResult);
      void* converted = nullptr;
      if (!unk || SUCCEEDED(unk->QueryInterface(want == VT_DISPATCH ? IID_IDispatch : IID_IUnknown,
                                                 &converted))) {
        VariantClear(&AResult);
        V_VT(&AResult) = want;
        V_UNKNOWN(&AResult) = static_cast<IUnknown*>(converted);
        ok = true;
      }
    }
    break;
  default:
    if (got != VT_BSTR && got != VT_DISPATCH && got != VT_UNKNOWN && !(got & VT_BYREF) &&
        !(got & VT_ARRAY)) {
      VARIANT converted;
      VariantInit(&converted);
      if (SUCCEEDED(VariantChangeType(&converted, &AResult, 0, want))) {
        VariantClear(&AResult);
        AResult = converted;
        ok = true;
      }
    }
    break;
  }
  if (!ok)
    throw EHostResultError(L"The host answered DISPID " + std::to_wstring(ADescriptor.DispId) +
                           L" with a value of type " + VarTypeName(got) + L" where type " +
                           VarTypeName(want) + L" was expected");
}

TOutgoingValue StoreResult(void* ATarget, VARIANT& AResult, VARTYPE AType) {
  TOutgoingValue out;
  if (ATarget) {
    switch (AType) {
    case VT_I2: case VT_UI2: case VT_BOOL:
      *static_cast<int16_t*>(ATarget) = V_I2(&AResult);
      break;
    case VT_I4: case VT_R4: case VT_UI4: *static_cast<int32_t*>(ATarget) = V_I4(&AResult); break;
    case VT_R8: case VT_CY: case VT_DATE: case VT_I8: case VT_UI8:
      *static_cast<int64_t*>(ATarget) = V_I8(&AResult);
      break;
    case VT_I1: case VT_UI1: *static_cast<uint8_t*>(ATarget) = V_UI1(&AResult); break;
    case VT_BSTR: {
      BSTR& target = *static_cast<BSTR*>(ATarget);
      SysFreeString(target);
      target = V_VT(&AResult) == VT_BSTR ? V_BSTR(&AResult) : nullptr;
      V_VT(&AResult) = VT_EMPTY; // ownership moved
      break;
    }
    case VT_DISPATCH: case VT_UNKNOWN: {
      IUnknown*& target = *static_cast<IUnknown**>(ATarget);
      if (target) target->Release();
      target = V_VT(&AResult) == AType ? V_UNKNOWN(&AResult) : nullptr;
      V_VT(&AResult) = VT_EMPTY;
      break;
    }
    case VT_VARIANT: {
      VARIANT& target = *static_cast<VARIANT*>(ATarget);
      VariantClear(&target);
      target = AResult;
      V_VT(&AResult) = VT_EMPTY;
      break;
    }
    default: break;
    }
    return out;
  }
  switch (AType) {
  case VT_I2: case VT_BOOL: out.Int = V_I2(&AResult); break;
  case VT_I1: out.Int = V_I1(&AResult); break;
  case VT_UI1: out.Int = V_UI1(&AResult); break;
  case VT_UI2: out.Int = V_UI2(&AResult); break;
  case VT_I4: out.Int = V_I4(&AResult); break;
  case VT_UI4: out.Int = V_UI4(&AResult); break;
  case VT_R4: out.Real = V_R4(&AResult); break;
  case VT_R8: out.Real = V_R8(&AResult); break;
  case VT_CY: out.Real = double(V_CY(&AResult).int64) / 10000.0; break;
  case VT_DATE: out.Real = V_DATE(&AResult); break;
  case VT_I8: case VT_UI8: out.Int = V_I8(&AResult); break;
  default: break;
  }
  if (V_VT(&AResult) == VT_EMPTY) out = {};
  return out;
}

} // namespace

BSTR SharedEmptyBstr() {
  static const BSTR empty = SysAllocStringLen(L"", 0);
  return empty;
}

void RaiseOleError(HRESULT AResult, const EXCEPINFO& AExcepInfo) {
  if (AResult == DISP_E_EXCEPTION) {
    auto text = [](BSTR b) { return std::wstring(b ? b : L"", b ? SysStringLen(b) : 0); };
    throw EOleException(text(AExcepInfo.bstrDescription), AExcepInfo.scode,
                        text(AExcepInfo.bstrSource), text(AExcepInfo.bstrHelpFile),
                        AExcepInfo.dwHelpContext);
  }
  std::wstring message;
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, DWORD(AResult), 0, reinterpret_cast<wchar_t*>(&buffer), 0,
                                 nullptr);
  if (n && buffer) message.assign(buffer, n);
  if (buffer) LocalFree(buffer);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' ||
                              message.back() == L' ' || message.back() == L'.'))
    message.pop_back();
  if (message.empty()) {
    wchar_t text[32];
    swprintf(text, 32, L"OLE error %.8x", unsigned(AResult));
    message = text;
  }
  throw EOleSysError(AResult, message);
}

TOutgoingValue OutgoingDispatchCall(void* AResult, IDispatch* ADispatch,
                                    const THostCallDescriptor& ADescriptor, const uint8_t* AArgs) {
  if (ADescriptor.ArgCount > kMaxHostCallArgs)
    throw EVariantDispatchError(L"Variant method calls not supported");
  if (!ADispatch) throw EOleSysError(E_POINTER, L"The host object is absent");
  TCallState state;
  DISPID dispIds[kMaxHostCallArgs + 1] = {ADescriptor.DispId};
  BuildArguments(state, ADescriptor, AArgs);

  DISPPARAMS params{};
  params.rgvarg = ADescriptor.ArgCount ? state.Args : nullptr;
  params.cArgs = ADescriptor.ArgCount;
  params.rgdispidNamedArgs = ADescriptor.NamedArgCount ? dispIds + 1 : nullptr;
  params.cNamedArgs = ADescriptor.NamedArgCount;

  WORD flags = ADescriptor.CallKind;
  if (flags == kCallPropertyPut) {
    if (ADescriptor.ArgCount > 0) {
      const VARTYPE first = V_VT(&state.Args[0]) & 0xFFF;
      if (first == VT_DISPATCH || first == VT_UNKNOWN) flags = kCallPropertyPutRef;
    }
    dispIds[0] = DISPID_PROPERTYPUT;
    params.rgdispidNamedArgs = dispIds;
    params.cNamedArgs = ADescriptor.NamedArgCount + 1;
  } else if (flags == kCallMethod && ADescriptor.ArgCount == 0) {
    flags = kCallMethod | kCallPropertyGet;
  }

  const HRESULT hr = ADispatch->Invoke(ADescriptor.DispId, IID_NULL, 0, flags, &params,
                                       &state.Result, &state.ExcepInfo, nullptr);
  if (hr != S_OK) RaiseOleError(hr, state.ExcepInfo);

  // Every by-reference string comes back, also after an empty one.
  for (unsigned i = 0; i < state.SlotCount; ++i) {
    TStringSlot& s = state.Slots[i];
    if (s.Ansi) *s.Ansi = WideToNarrow(s.Wide);
    if (s.Unicode) s.Unicode->assign(s.Wide ? s.Wide : L"", s.Wide ? SysStringLen(s.Wide) : 0);
  }
  CheckResult(state.Result, ADescriptor);
  return StoreResult(AResult, state.Result, ADescriptor.ResultType);
}

namespace outgoing_detail {

namespace {

// By-value wide strings travel as BSTRs that the host only reads while the
// call runs. Those of one length are kept and filled again by the next call,
// so a road that sends texts of the same length over and over (a scan's
// bits) allocates nothing once it runs. The pool holds what finished calls
// gave back; a call in progress, nested ones included, holds its own. Calls
// come on the host's thread; should two threads meet here anyway, the one
// that finds the pool busy allocates and frees as usual.
class TBstrPool {
public:
  ~TBstrPool() {
    for (unsigned i = 0; i < FCount; ++i)
      SysFreeString(FFree[i]);
  }
  BSTR Take(const wchar_t* AText, UINT ALength) {
    if (!FBusy.exchange(true, std::memory_order_acquire)) {
      for (unsigned i = FCount; i-- > 0;) {
        BSTR b = FFree[i];
        if (SysStringLen(b) == ALength) {
          FFree[i] = FFree[--FCount];
          FBusy.store(false, std::memory_order_release);
          std::memcpy(b, AText, ALength * sizeof(wchar_t));
          return b;
        }
      }
      FBusy.store(false, std::memory_order_release);
    }
    return SysAllocStringLen(AText, ALength);
  }
  void Give(BSTR AText) {
    if (!FBusy.exchange(true, std::memory_order_acquire)) {
      BSTR evicted = nullptr;
      if (FCount < kKept)
        FFree[FCount++] = AText;
      else
        evicted = std::exchange(FFree[0], AText);
      FBusy.store(false, std::memory_order_release);
      AText = evicted;
    }
    if (AText)
      SysFreeString(AText);
  }

private:
  static constexpr unsigned kKept = 8;
  std::atomic<bool> FBusy{false};
  unsigned FCount = 0;
  BSTR FFree[kKept];
};

TBstrPool& BstrPool() {
  static TBstrPool pool;
  return pool;
}

} // namespace

void TArgPacker::Release() {
  for (unsigned i = 0; i < FTemporaryCount; ++i)
    BstrPool().Give(FTemporaries[i]);
  for (BSTR* slot : FWideSlots) {
    SysFreeString(*slot);
    delete slot;
  }
}

uint8_t TArgPacker::NextKind() {
  // VT_ERROR arguments take no caller argument.
  while (FIndex < FDescriptor.ArgCount && FDescriptor.ArgTypes[FIndex] == VT_ERROR) ++FIndex;
  if (FIndex >= FDescriptor.ArgCount)
    throw EVariantDispatchError(L"More arguments than the call declares");
  return FDescriptor.ArgTypes[FIndex++];
}

void TArgPacker::Put(const void* AData, unsigned ASize) {
  std::memcpy(FBlock + FOffset, AData, ASize);
  FOffset += ASize;
}

namespace {
[[noreturn]] void KindMismatch(uint8_t AKind) {
  throw EVariantDispatchError(L"Argument does not match its declared kind " +
                              std::to_wstring(unsigned(AKind)));
}
} // namespace

void TArgPacker::Add(int32_t AValue) {
  const uint8_t kind = NextKind();
  switch (kind) {
  case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_I1: case VT_UI1: case VT_BOOL:
    Put(&AValue, 4);
    break;
  case VT_I8: case VT_UI8: {
    const int64_t wide = AValue;
    Put(&wide, 8);
    break;
  }
  default: KindMismatch(kind);
  }
}

void TArgPacker::Add(int64_t AValue) {
  const uint8_t kind = NextKind();
  if (kind != VT_I8 && kind != VT_UI8 && kind != VT_CY) KindMismatch(kind);
  Put(&AValue, 8);
}

void TArgPacker::Add(double AValue) {
  const uint8_t kind = NextKind();
  if (kind == VT_R8 || kind == VT_DATE) {
    Put(&AValue, 8);
  } else if (kind == VT_R4) {
    const float f = float(AValue);
    Put(&f, 4);
  } else {
    KindMismatch(kind);
  }
}

void TArgPacker::Add(bool AValue) {
  const uint8_t kind = NextKind();
  if (kind != VT_BOOL) KindMismatch(kind);
  const int32_t byte = AValue ? 0xFF : 0;
  Put(&byte, 4);
}

void TArgPacker::Add(const std::wstring& AValue) {
  const uint8_t kind = NextKind();
  if (kind == VT_BSTR) {
    // A wide-string argument travels as a BSTR; an empty one as a null BSTR.
    if (FTemporaryCount >= unsigned(kMaxHostCallArgs))
      throw EVariantDispatchError(L"More arguments than one call carries");
    BSTR b = AValue.empty() ? nullptr : BstrPool().Take(AValue.data(), UINT(AValue.size()));
    if (b)
      FTemporaries[FTemporaryCount++] = b;
    Put(&b, kPointerSlot);
  } else if (kind == kArgProgramString) {
    const void* p = &AValue;
    Put(&p, kPointerSlot);
  } else {
    KindMismatch(kind);
  }
}

void TArgPacker::Add(const std::string& AValue) {
  const uint8_t kind = NextKind();
  if (kind != kArgNarrowString) KindMismatch(kind);
  const void* p = &AValue;
  Put(&p, kPointerSlot);
}

void TArgPacker::Add(IDispatch* AValue) {
  const uint8_t kind = NextKind();
  if (kind != VT_DISPATCH && kind != VT_UNKNOWN) KindMismatch(kind);
  Put(&AValue, kPointerSlot);
}

void TArgPacker::Add(const VARIANT& AValue) {
  const uint8_t kind = NextKind();
  if (kind != VT_VARIANT) KindMismatch(kind);
  Put(&AValue, kVariantSlot);
}

void TArgPacker::Add(int32_t* AValue) {
  const uint8_t kind = NextKind();
  if (kind != (kArgByRef | VT_I4) && kind != (kArgByRef | VT_UI4)) KindMismatch(kind);
  Put(&AValue, kPointerSlot);
}

void TArgPacker::Add(int64_t* AValue) {
  const uint8_t kind = NextKind();
  if (kind != (kArgByRef | VT_I8) && kind != (kArgByRef | VT_UI8)) KindMismatch(kind);
  Put(&AValue, kPointerSlot);
}

void TArgPacker::Add(std::wstring* AValue) {
  const uint8_t kind = NextKind();
  if (kind == (kArgByRef | kArgProgramString)) {
    Put(&AValue, kPointerSlot);
  } else if (kind == (kArgByRef | VT_BSTR)) {
    // The host reads and writes a BSTR variable of our own, copied back after.
    BSTR* slot = new BSTR(AValue->empty() ? nullptr
                                          : SysAllocStringLen(AValue->data(), UINT(AValue->size())));
    FWideSlots.push_back(slot);
    FWideBack.push_back({AValue, slot});
    Put(&slot, kPointerSlot);
  } else {
    KindMismatch(kind);
  }
}

void TArgPacker::Add(std::string* AValue) {
  const uint8_t kind = NextKind();
  if (kind != (kArgByRef | kArgNarrowString)) KindMismatch(kind);
  Put(&AValue, kPointerSlot);
}

void TArgPacker::Add(IDispatch** AValue) {
  const uint8_t kind = NextKind();
  if (kind != (kArgByRef | VT_DISPATCH) && kind != (kArgByRef | VT_UNKNOWN)) KindMismatch(kind);
  Put(&AValue, kPointerSlot);
}

void TArgPacker::WriteBackStrings() {
  for (const TWideBack& w : FWideBack)
    w.Target->assign(*w.Slot ? *w.Slot : L"", *w.Slot ? SysStringLen(*w.Slot) : 0);
}

} // namespace outgoing_detail
