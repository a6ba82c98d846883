#include "arm-test-support.h"

#include <algorithm>

HRESULT InvokeDispId(IDispatch& AObject, DISPID ADispId, std::vector<VARIANT> AArgs,
                     VARIANT* AResult) {
  std::reverse(AArgs.begin(), AArgs.end());
  DISPPARAMS params{AArgs.data(), nullptr, UINT(AArgs.size()), 0};
  if (AResult)
    VariantInit(AResult);
  return AObject.Invoke(ADispId, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                        AResult, nullptr, nullptr);
}

std::string Contents(std::FILE* AFile) {
  std::fflush(AFile);
  std::rewind(AFile);
  std::string text;
  char block[512];
  std::size_t n = 0;
  while ((n = std::fread(block, 1, sizeof block, AFile)) > 0)
    text.append(block, n);
  return text;
}

std::vector<uint8_t> PatternBytes(size_t ACount, uint32_t ASeed) {
  std::vector<uint8_t> bytes(ACount);
  uint32_t x = ASeed * 2654435761u + 7;
  for (uint8_t& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = uint8_t(x >> 16);
  }
  return bytes;
}

std::string HexText(uint32_t AAddress, const std::vector<uint8_t>& ABytes) {
  std::string text;
  char line[16];
  for (size_t offset = 0; offset < ABytes.size(); offset += 16) {
    const size_t count = std::min<size_t>(16, ABytes.size() - offset);
    const uint32_t address = AAddress + uint32_t(offset);
    uint32_t sum = uint32_t(count) + (address >> 8) + (address & 0xFF);
    std::snprintf(line, sizeof line, ":%02X%04X00", unsigned(count), unsigned(address & 0xFFFF));
    text += line;
    for (size_t i = 0; i < count; ++i) {
      std::snprintf(line, sizeof line, "%02X", ABytes[offset + i]);
      text += line;
      sum += ABytes[offset + i];
    }
    std::snprintf(line, sizeof line, "%02X\n", unsigned((0x100 - (sum & 0xFF)) & 0xFF));
    text += line;
  }
  return text + ":00000001FF\n";
}
