#include "sim-config.h"

#include <cctype>

namespace {

constexpr TSimDevice kDevices[] = {
    {"LM3S6965", 0x10010002, 0x1073402E, 0x001133FF, 256, 64},
};

bool SameName(const std::string& A, const char* B) {
  size_t i = 0;
  for (; i < A.size() && B[i]; ++i)
    if (std::toupper(static_cast<unsigned char>(A[i])) !=
        std::toupper(static_cast<unsigned char>(B[i])))
      return false;
  return i == A.size() && !B[i];
}

} // namespace

const TSimDevice* FindSimDevice(const std::string& AName) {
  for (const auto& d : kDevices)
    if (SameName(AName, d.Name))
      return &d;
  return nullptr;
}

const TSimDevice& DefaultSimDevice() {
  return kDevices[0];
}
