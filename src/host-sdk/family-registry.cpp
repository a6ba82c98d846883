#include "family-registry.h"

#include "host-utilities.h"

#include <windows.h>

#include <array>
#include <map>
#include <memory>

namespace {

// Family, vendor, EDIF name; added in this order.
constexpr std::array<TDeviceFamilyRow, 77> kBuiltInFamilies = {{
    {L"ProASICPlus", L"Actel", L"PROASICPLUS"},
    {L"ProASIC3", L"Actel", L"PROASIC3"},
    {L"ProASIC3E", L"Actel", L"PROASIC3E"},
    {L"IGLOO", L"Actel", L"IGLOO"},
    {L"IGLOOE", L"Actel", L"IGLOOE"},
    {L"IGLOOnano", L"Actel", L"IGLOOnano"},
    {L"IGLOOPLUS", L"Actel", L"IGLOOPLUS"},
    {L"Fusion", L"Actel", L"FUSION"},
    {L"SmartFusion", L"Actel", L"SMARTFUSION"},
    {L"MAX3000A", L"Altera", L"MAX3000A"},
    {L"MAX7000AE", L"Altera", L"MAX7000AE"},
    {L"MAX7000B", L"Altera", L"MAX7000B"},
    {L"MAX7000S", L"Altera", L"MAX7000S"},
    {L"MAX2", L"Altera", L"MAX2"},
    {L"MAX5", L"Altera", L"MAX5"},
    {L"Cyclone", L"Altera", L"CYCLONE"},
    {L"Cyclone2", L"Altera", L"CYCLONE2"},
    {L"Cyclone3", L"Altera", L"CYCLONE3"},
    {L"Cyclone4E", L"Altera", L"CYCLONE4E"},
    {L"Cyclone4GX", L"Altera", L"CYCLONE4GX"},
    {L"Stratix", L"Altera", L"STRATIX"},
    {L"StratixGX", L"Altera", L"STRATIXGX"},
    {L"Stratix2", L"Altera", L"STRATIX2"},
    {L"Stratix2GX", L"Altera", L"STRATIX2GX"},
    {L"Stratix3", L"Altera", L"STRATIX3"},
    {L"Stratix4", L"Altera", L"STRATIX4"},
    {L"ArriaGX", L"Altera", L"ARRIAGX"},
    {L"Arria2GX", L"Altera", L"ARRIA2GX"},
    {L"Arria2GZ", L"Altera", L"ARRIA2GZ"},
    {L"EC", L"Lattice", L"EC"},
    {L"ECP", L"Lattice", L"ECP"},
    {L"ECP2", L"Lattice", L"ECP2"},
    {L"ECP2M", L"Lattice", L"ECP2M"},
    {L"XP", L"Lattice", L"XP"},
    {L"XP2", L"Lattice", L"XP2"},
    {L"MachXO", L"Lattice", L"MACHXO"},
    {L"MachXO2", L"Lattice", L"MACHXO2"},
    {L"SC", L"Lattice", L"SC"},
    {L"SCM", L"Lattice", L"SCM"},
    {L"ispXPLD5000MX", L"Lattice", L"ISPXPLD5000MX"},
    {L"ispMACH4000B", L"Lattice", L"ispMACH4000B"},
    {L"ispMACH4000C", L"Lattice", L"ispMACH4000C"},
    {L"ispMACH4000V", L"Lattice", L"ispMACH4000V"},
    {L"ispMACH4000Z", L"Lattice", L"ispMACH4000Z"},
    {L"XC9500", L"Xilinx", L"XC9500"},
    {L"XC9500XL", L"Xilinx", L"XC9500XL"},
    {L"XA9500XL", L"Xilinx", L"XA9500XL"},
    {L"XC9500XV", L"Xilinx", L"XC9500XV"},
    {L"CoolRunner2", L"Xilinx", L"COOLRUNNER2"},
    {L"XACoolRunner2", L"Xilinx", L"XACOOLRUNNER2"},
    {L"CoolRunnerXPLA3", L"Xilinx", L"COOLRUNNERXPLA3"},
    {L"Spartan2", L"Xilinx", L"SPARTAN2"},
    {L"Spartan2E", L"Xilinx", L"SPARTAN2E"},
    {L"Spartan3", L"Xilinx", L"SPARTAN3"},
    {L"Spartan3E", L"Xilinx", L"SPARTAN3E"},
    {L"XASpartan3E", L"Xilinx", L"XASPARTAN3E"},
    {L"Spartan3L", L"Xilinx", L"SPARTAN3L"},
    {L"Spartan3A", L"Xilinx", L"SPARTAN3A"},
    {L"XASpartan3A", L"Xilinx", L"XASPARTAN3A"},
    {L"Spartan3ADSP", L"Xilinx", L"SPARTAN3ADSP"},
    {L"XASpartan3ADSP", L"Xilinx", L"XASPARTAN3ADSP"},
    {L"Spartan3AN", L"Xilinx", L"SPARTAN3AN"},
    {L"Spartan6", L"Xilinx", L"SPARTAN6"},
    {L"Virtex", L"Xilinx", L"VIRTEX"},
    {L"VirtexE", L"Xilinx", L"VIRTEXE"},
    {L"Virtex2", L"Xilinx", L"VIRTEX2"},
    {L"Virtex2P", L"Xilinx", L"VIRTEX2P"},
    {L"Virtex4", L"Xilinx", L"VIRTEX4"},
    {L"Virtex5", L"Xilinx", L"VIRTEX5"},
    {L"Virtex6", L"Xilinx", L"VIRTEX6"},
    {L"XC17V00", L"Xilinx", L""},
    {L"XC18V00", L"Xilinx", L""},
    {L"XCF", L"Xilinx", L""},
    {L"BLUESTREAK", L"Sharp", L""},
    {L"PPC405", L"AMCC", L""},
    {L"Stellaris", L"TexasInstruments", L""},
    {L"STM32", L"STMicroelectronics", L""},
}};

constexpr wchar_t kConfigFileName[] = L"TarvoConfig.ini";
constexpr wchar_t kConfigSection[] = L"General";

// Exact, case-sensitive family names.
using TFamilyMap = std::map<std::wstring, TDeviceFamilyInfo>;

std::unique_ptr<TFamilyMap>& Registry() {
  static std::unique_ptr<TFamilyMap> registry;
  return registry;
}

std::wstring ProfileText(const std::wstring& AFile, const wchar_t* AKey) {
  wchar_t buffer[1024];
  const DWORD length = GetPrivateProfileStringW(kConfigSection, AKey, L"", buffer,
                                                DWORD(std::size(buffer)), AFile.c_str());
  return std::wstring(buffer, length);
}

// A plug-in's own family: all three keys must be there.
void AddConfiguredFamily(TFamilyMap& ARegistry, const std::wstring& AConfigFile) {
  const std::wstring family = ProfileText(AConfigFile, L"DeviceFamily");
  if (family.empty())
    return;
  const std::wstring vendor = ProfileText(AConfigFile, L"DeviceVendor");
  if (vendor.empty())
    return;
  const std::wstring edif = ProfileText(AConfigFile, L"EDIF");
  if (edif.empty())
    return;
  ARegistry[family] = TDeviceFamilyInfo{vendor, edif};
}

} // namespace

std::span<const TDeviceFamilyRow> BuiltInDeviceFamilies() {
  return kBuiltInFamilies;
}

void InitDeviceFamilies() {
  if (Registry())
    return;
  auto registry = std::make_unique<TFamilyMap>();
  for (const TDeviceFamilyRow& row : kBuiltInFamilies)
    (*registry)[std::wstring(row.Family)] =
        TDeviceFamilyInfo{std::wstring(row.Vendor), std::wstring(row.EDIF)};
  ForEachPluginFolder([&](const std::wstring& AFolder, bool&) {
    const std::wstring config = AFolder + kConfigFileName;
    const DWORD attributes = GetFileAttributesW(config.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
      AddConfiguredFamily(*registry, config);
  });
  Registry() = std::move(registry);
}

bool FindDeviceFamily(const std::wstring& AFamily, TDeviceFamilyInfo& AInfo) {
  InitDeviceFamilies();
  const auto found = Registry()->find(AFamily);
  if (found == Registry()->end())
    return false;
  AInfo = found->second;
  return true;
}

std::wstring GetDeviceFamilyVendor(const std::wstring& AFamily) {
  TDeviceFamilyInfo info;
  return FindDeviceFamily(AFamily, info) ? info.VendorName : std::wstring();
}

void ReleaseDeviceFamilies() {
  Registry().reset();
}
