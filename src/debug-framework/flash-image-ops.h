#pragma once

#include <cstdint>
#include <string>

// The flash image operations of the remote-execution writer (write, erase,
// compare, blank check, whole-device erase) are members of
// TVEKAbstractRemoteExecuteBaseDriver, defined in flash-image-ops.cpp.

// The question a write asks when the loader answers a status other than 0.
std::wstring FlashWriteErrorQuestion(uint32_t AStatus);
