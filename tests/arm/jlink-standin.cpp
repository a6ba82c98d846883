#include "jlink-standin.h"

#include <vector>

TJlinkStandIn::TJlinkStandIn(const std::wstring& AFolder) {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
  path = path.substr(0, path.find_last_of(L"\\/") + 1) + AFolder + L"\\JLINKARM.dll";
  FModule = LoadLibraryW(path.c_str());
  if (FModule)
    Reset();
}

std::string TJlinkStandIn::Log() const {
  const auto getLog = Control<int(JLINK_API*)(char*, int)>("JLinkStandIn_GetLog");
  std::vector<char> text(size_t(getLog(nullptr, 0)) + 1);
  getLog(text.data(), int(text.size()));
  return text.data();
}

uint32_t TJlinkStandIn::ChipWord(uint32_t AAddress) const {
  uint32_t value = 0;
  Control<BOOL(JLINK_API*)(uint32_t, unsigned, uint32_t*)>("JLinkStandIn_ChipRead")(AAddress, 4,
                                                                                    &value);
  return value;
}

uint8_t TJlinkStandIn::ChipByte(uint32_t AAddress) const {
  uint32_t value = 0;
  Control<BOOL(JLINK_API*)(uint32_t, unsigned, uint32_t*)>("JLinkStandIn_ChipRead")(AAddress, 1,
                                                                                    &value);
  return uint8_t(value);
}
