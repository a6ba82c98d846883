#pragma once

// Host services reached through functions that host modules export (the
// design workspace, the debug-chain device manager and its JTAG ports, the
// component-library managers, the debug workbench), the client's server
// modules and the FPGA vendor-tool checks. Every accessor gives an empty
// wrapper when its module, entry point, server or manager is missing; a
// failing HRESULT of an export raises EOleSysError with that HRESULT.

#include "host-records.h"

#include <cstdint>
#include <string>
#include <string_view>

IWorkspace GetWorkspace();
IDeviceManager GetDeviceManager();
IModelTypeManager GetModelTypeManager();
ILixtorManager GetLixtorManager();
ITarvoWorkbench GetTarvoWorkbench();
ISch_ServerInterface GetSchServer();
IPCB_ServerInterface GetPcbServer();
IPelfrowModule GetPelfrowModule();
IVendorToolManager GetVendorToolManager();

int32_t GetJTagPortCount();
IJtagPort GetJTagPort(int32_t AIndex);
// The port's 0-based index among the host's ports (by identity); -1 for an
// empty port or none that matches.
int32_t GetJTagPortIndex(const IJtagPort& APort);

// Vendor indexes of the vendor-tool operations.
enum class TFpgaVendor { Altera = 0, Xilinx = 1, Actel = 2, Lattice = 3 };
std::wstring_view FpgaVendorName(int AVendorIndex); // empty outside 0..3

std::wstring GetVendorToolPath(int AVendorIndex, const std::wstring& AToolName);
std::wstring GetActelToolPath(const std::wstring& AToolName);
std::wstring GetAlteraToolPath(const std::wstring& AToolName);
std::wstring GetActelAdmFolder();
bool ActelToolsUpToDate(std::wstring& AVersion);
bool AlteraToolsUpToDate(std::wstring& AVersion);
bool LatticeToolsUpToDate(std::wstring& AVersion);
bool XilinxToolsUpToDate(std::wstring& AVersion);

// Forgets every module handle and entry point found so far (module
// shutdown; the handles themselves are never freed).
void ReleaseHostModules();
