#pragma once

#include <oaidl.h>

#include <cstdint>

// The two entry points the host's debug-chain service calls.
extern "C" {
HRESULT __stdcall GetTarvoDriverCount(int32_t* ACount);
HRESULT __stdcall GetTarvoDriver_Plugin(int32_t AKind, IDispatch** ADriver);
}
