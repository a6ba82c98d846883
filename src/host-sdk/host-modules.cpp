#include "host-modules.h"

#include "client-access.h"
#include "exceptions.h"
#include "host-utilities.h"

#include <windows.h>

#include <array>
#include <fstream>

namespace {

using TGetInterface = HRESULT(WINAPI*)(IUnknown** AResult);
using TGetCount = HRESULT(WINAPI*)(int32_t* ACount);
using TGetPort = HRESULT(WINAPI*)(int32_t AIndex, IUnknown** APort);
using TLibraryGetInterface = void(WINAPI*)(IUnknown** AResult);

constexpr wchar_t kWorkspaceModule[] = L"Ombrel.DLL";
constexpr wchar_t kDeviceModule[] = L"TarvoManager.dll";
constexpr wchar_t kLibraryModule[] = L"Lixtor.dll";
constexpr wchar_t kWorkbenchModule[] = L"Pelfrow.DLL";
constexpr wchar_t kWorkbenchServer[] = L"Pelfrow";

constexpr std::array<std::wstring_view, 4> kVendorNames = {L"Altera", L"Xilinx", L"Actel",
                                                           L"Lattice"};

// Process-wide module handles; found once, never freed.
struct TModules {
  HMODULE Workspace = nullptr;
  HMODULE Device = nullptr;
  HMODULE Library = nullptr;
  HMODULE Workbench = nullptr;
};

TModules& Modules() {
  static TModules modules;
  return modules;
}

template <class TEntry> TEntry Entry(HMODULE AModule, const char* AName) {
  return AModule ? reinterpret_cast<TEntry>(reinterpret_cast<void*>(GetProcAddress(AModule, AName)))
                 : nullptr;
}

void Check(HRESULT AResult, const wchar_t* AExport) {
  if (FAILED(AResult))
    throw EOleSysError(AResult, std::wstring(L"The host's ") + AExport + L" failed");
}

// Calls an export handing out one interface and wraps its IDispatch.
template <class TRecord> TRecord FromExport(TGetInterface AEntry, const wchar_t* AName) {
  if (!AEntry)
    return TRecord();
  TComPtr<IUnknown> answer;
  Check(AEntry(answer.Receive()), AName);
  return TRecord::FromInterface(answer.Get());
}

template <class TRecord> TRecord FromLibraryExport(TLibraryGetInterface AEntry) {
  if (!AEntry)
    return TRecord();
  TComPtr<IUnknown> answer;
  AEntry(answer.Receive());
  return TRecord::FromInterface(answer.Get());
}

HMODULE DeviceModule() {
  LoadHostModule(Modules().Device, kDeviceModule);
  return Modules().Device;
}

HMODULE LibraryModule() {
  LoadHostModule(Modules().Library, kLibraryModule);
  return Modules().Library;
}

IServerModule ServerModule(const wchar_t* AName) {
  const IClient client = Client();
  return client ? client.GetServerModule(AName) : IServerModule();
}

std::wstring ReadFirstLine(const std::wstring& AFileName) {
  std::wifstream file(AFileName.c_str());
  if (!file)
    throw EOleSysError(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
                       L"Cannot open file \"" + AFileName + L"\"");
  std::wstring line;
  std::getline(file, line);
  if (!line.empty() && line.back() == L'\r')
    line.pop_back();
  return line;
}

// True when AVersion equals a line of a version list in the host's System
// folder (letter case ignored); AVersion then takes the list's spelling.
bool IsListedVersion(const std::wstring& AListName, std::wstring& AVersion,
                     const std::wstring& ACandidate) {
  const std::wstring listName = GetHostSystemFolder() + AListName;
  std::wifstream file(listName.c_str());
  if (!file)
    throw EOleSysError(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
                       L"Cannot open file \"" + listName + L"\"");
  std::wstring line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == L'\r')
      line.pop_back();
    if (CompareStringOrdinal(line.c_str(), int(line.size()), ACandidate.c_str(),
                             int(ACandidate.size()), TRUE) == CSTR_EQUAL) {
      AVersion = line;
      return true;
    }
  }
  return false;
}

std::wstring FolderOf(const std::wstring& APath) {
  const size_t slash = APath.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : APath.substr(0, slash);
}

std::wstring TrimmedText(const std::wstring& AText) {
  size_t first = 0, last = AText.size();
  while (first < last && AText[first] <= L' ')
    ++first;
  while (last > first && AText[last - 1] <= L' ')
    --last;
  return AText.substr(first, last - first);
}

bool VendorToolsUpToDate(TFpgaVendor AVendor, std::wstring& AVersion) {
  AVersion.clear();
  const IVendorToolManager manager = GetVendorToolManager();
  if (!manager)
    return false;
  const std::wstring vendor(FpgaVendorName(int(AVendor)));
  const bool upToDate = manager.ToolsUpToDate(vendor);
  AVersion = manager.GetToolsVersion(vendor);
  return upToDate;
}

} // namespace

IWorkspace GetWorkspace() {
  // The workspace module is never loaded here, only found once the host has it.
  if (!Modules().Workspace)
    Modules().Workspace = GetModuleHandleW(kWorkspaceModule);
  return FromExport<IWorkspace>(Entry<TGetInterface>(Modules().Workspace, "GetWorkspace"),
                                L"GetWorkspace");
}

IDeviceManager GetDeviceManager() {
  return FromExport<IDeviceManager>(Entry<TGetInterface>(DeviceModule(), "GetDeviceManager"),
                                    L"GetDeviceManager");
}

IModelTypeManager GetModelTypeManager() {
  return FromLibraryExport<IModelTypeManager>(
      Entry<TLibraryGetInterface>(LibraryModule(), "LibApi_GetModelTypeManager"));
}

ILixtorManager GetLixtorManager() {
  return FromLibraryExport<ILixtorManager>(
      Entry<TLibraryGetInterface>(LibraryModule(), "LibApi_GetLibraryManager"));
}

ITarvoWorkbench GetTarvoWorkbench() {
  if (!Modules().Workbench) {
    const IClient client = Client();
    if (!client)
      return ITarvoWorkbench();
    client.StartServer(kWorkbenchServer);
    Modules().Workbench = GetModuleHandleW(kWorkbenchModule);
  }
  return FromExport<ITarvoWorkbench>(Entry<TGetInterface>(Modules().Workbench, "GetTarvoWorkspace"),
                                     L"GetTarvoWorkspace");
}

ISch_ServerInterface GetSchServer() {
  return ServerModule(L"SCH").As<ISch_ServerInterface>();
}

IPCB_ServerInterface GetPcbServer() {
  return ServerModule(L"PCB").As<IPCB_ServerInterface>();
}

IPelfrowModule GetPelfrowModule() {
  return ServerModule(kWorkbenchServer).As<IPelfrowModule>();
}

IVendorToolManager GetVendorToolManager() {
  const IPelfrowModule module = GetPelfrowModule();
  return module ? module.GetVendorToolManager() : IVendorToolManager();
}

int32_t GetJTagPortCount() {
  const auto entry = Entry<TGetCount>(DeviceModule(), "GetJTagPortCount");
  if (!entry)
    return 0;
  int32_t count = 0;
  Check(entry(&count), L"GetJTagPortCount");
  return count;
}

IJtagPort GetJTagPort(int32_t AIndex) {
  const auto entry = Entry<TGetPort>(DeviceModule(), "GetJTagPort");
  if (!entry)
    return IJtagPort();
  TComPtr<IUnknown> port;
  Check(entry(AIndex, port.Receive()), L"GetJTagPort");
  return IJtagPort::FromInterface(port.Get());
}

int32_t GetJTagPortIndex(const IJtagPort& APort) {
  if (!APort)
    return -1;
  const int32_t count = GetJTagPortCount();
  for (int32_t index = 0; index < count; ++index) {
    if (GetJTagPort(index).Intf() == APort.Intf())
      return index;
  }
  return -1;
}

std::wstring_view FpgaVendorName(int AVendorIndex) {
  return AVendorIndex >= 0 && size_t(AVendorIndex) < kVendorNames.size()
             ? kVendorNames[size_t(AVendorIndex)]
             : std::wstring_view();
}

std::wstring GetVendorToolPath(int AVendorIndex, const std::wstring& AToolName) {
  const IVendorToolManager manager = GetVendorToolManager();
  return manager ? manager.GetToolPath(std::wstring(FpgaVendorName(AVendorIndex)), AToolName)
                 : std::wstring();
}

std::wstring GetActelToolPath(const std::wstring& AToolName) {
  return GetVendorToolPath(int(TFpgaVendor::Actel), AToolName);
}

std::wstring GetAlteraToolPath(const std::wstring& AToolName) {
  return GetVendorToolPath(int(TFpgaVendor::Altera), AToolName);
}

std::wstring GetActelAdmFolder() {
  const std::wstring designer = GetActelToolPath(L"Designer");
  if (designer.empty())
    return std::wstring();
  const std::wstring folder = IncludeTrailingChar(designer + L"\\..\\adm", L'\\');
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
             ? folder
             : std::wstring();
}

bool ActelToolsUpToDate(std::wstring& AVersion) {
  AVersion.clear();
  const std::wstring folder = GetActelAdmFolder();
  if (folder.empty())
    return false;
  const std::wstring installed = ReadFirstLine(folder + L"verinfo");
  if (installed.empty())
    return false;
  return IsListedVersion(L"ACTELVersions.Txt", AVersion, installed);
}

bool AlteraToolsUpToDate(std::wstring& AVersion) {
  AVersion.clear();
  const std::wstring tool = GetAlteraToolPath(L"Quartus_Cmd");
  if (tool.empty())
    return false;
  const std::wstring readme = FolderOf(FolderOf(tool)) + L"\\readme.txt";
  const std::wstring line = ReadFirstLine(readme);
  size_t found = line.find(L"Version");
  if (found == std::wstring::npos)
    found = line.find(L"Release");
  if (found == std::wstring::npos)
    return false;
  // Both words have seven letters; the version follows them.
  const std::wstring rest = TrimmedText(line.substr(found + 7));
  const size_t space = rest.find(L' ');
  if (space == std::wstring::npos)
    return false;
  return IsListedVersion(L"AlteraVersions.Txt", AVersion, rest.substr(0, space));
}

bool LatticeToolsUpToDate(std::wstring& AVersion) {
  return VendorToolsUpToDate(TFpgaVendor::Lattice, AVersion);
}

bool XilinxToolsUpToDate(std::wstring& AVersion) {
  return VendorToolsUpToDate(TFpgaVendor::Xilinx, AVersion);
}

void ReleaseHostModules() {
  Modules() = TModules();
}
