#pragma once

#include "memory-array.h"

#include <unknwn.h>
#include <windows.h>

#include <cstdint>

// {DE05D751-32F9-4557-A7B6-678A8280E274}
inline constexpr IID IID_IMemoryAccess = {
    0xDE05D751, 0x32F9, 0x4557, {0xA7, 0xB6, 0x67, 0x8A, 0x82, 0x80, 0xE2, 0x74}};

// A 32-bit Boolean as the memory interface carries it: 0 is False, all bits
// set is True.
using TLongBool = std::int32_t;
inline constexpr TLongBool LongFalse = 0;
inline constexpr TLongBool LongTrue = -1;

// Block access to a device's memory spaces, offered by a driver and queried
// from it by whoever transfers memory (flash writers, software breakpoints).
// ABuffer holds one data unit per 32-bit cell (a byte-wide unit in the low 8
// bits); ACount is the number of units; ASuccess tells whether the transfer
// happened, apart from the HRESULT, which reports a failure of the call.
struct IMemoryAccess : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE MemoryRead(std::int32_t AMemorySpace, PMemoryArray ABuffer,
                                               std::int64_t AAddress, std::int32_t ACount,
                                               TLongBool* ASuccess) = 0;
  virtual HRESULT STDMETHODCALLTYPE MemoryWrite(std::int32_t AMemorySpace, PMemoryArray ABuffer,
                                                std::int64_t AAddress, std::int32_t ACount,
                                                TLongBool* ASuccess) = 0;
};
