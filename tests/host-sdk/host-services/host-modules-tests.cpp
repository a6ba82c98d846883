// The host modules in bin/System (the stand-in TarvoManager.dll), the
// vendor-tool checks, the device-family registry with the plug-ins'
// TarvoConfig.ini files, and the host's path expansion.

#include "host-services-fixture.h"

#include <set>

namespace {

constexpr DISPID kGetServerModule = 496, kGetVendorToolManager = 509009, kGetToolPath = 509004,
                 kToolsUpToDate = 509003, kGetToolsVersion = 509005;

TEST_F(HostServices, JtagPortsAndDeviceManagerComeFromTheDebugChainModule) {
  EXPECT_EQ(GetJTagPortCount(), 1);
  const IJtagPort port = GetJTagPort(0);
  EXPECT_EQ(port.Intf(), Host.Port().Dispatch());
  EXPECT_EQ(GetJTagPortIndex(port), 0);
  EXPECT_EQ(GetDeviceManager().Intf(), Host.DeviceManager().Dispatch());
  EXPECT_THROW(GetJTagPort(3), EOleSysError) << "a failing HRESULT of the export raises";
}

TEST_F(HostServices, LibraryManagersComeFromTheComponentLibraryModule) {
  EXPECT_EQ(GetModelTypeManager().Intf(), Host.ModelTypeManager().Dispatch());
  EXPECT_EQ(GetLixtorManager().Intf(), Host.LibraryManager().Dispatch());
}

TEST_F(HostServices, PortIndexIsMinusOneForAnEmptyOrUnknownPort) {
  EXPECT_EQ(GetJTagPortIndex(IJtagPort()), -1);
  const auto stranger = TFakeHostObject::Create({L"IJtagPort"});
  EXPECT_EQ(GetJTagPortIndex(IJtagPort::FromDispatch(stranger->Dispatch())), -1);
  EXPECT_TRUE(stranger->Calls().empty());
}

TEST_F(HostServices, ModulesTheHostHasNotLoadedGiveEmptyWrappers) {
  EXPECT_TRUE(GetWorkspace().IsEmpty()) << "Ombrel.DLL is never loaded by the plug-in";
  EXPECT_TRUE(GetTarvoWorkbench().IsEmpty());
  EXPECT_TRUE(GetVendorToolManager().IsEmpty());
  std::wstring version = L"stale";
  EXPECT_FALSE(LatticeToolsUpToDate(version));
  EXPECT_EQ(version, L"");
}

// A Pelfrow server module whose vendor-tool manager reports Quartus in the tree.
class VendorTools : public HostServices {
protected:
  VendorTools() {
    Module = ServeObject(Host.Client(), kGetServerModule, {L"IPelfrowModule"});
    Tools = ServeObject(*Module.Get(), kGetVendorToolManager, {L"IVendorToolManager"});
    Tools->OnCall(kGetToolPath, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnText(AInvocation.Text(0) == L"Altera" &&
                                     AInvocation.Text(1) == L"Quartus_Cmd"
                                 ? Tree.Folder(L"quartus\\bin") + L"quartus_cmd.exe"
                                 : L"");
      return S_OK;
    });
    VersionList = GetHostSystemFolder() + L"AlteraVersions.Txt";
    const HANDLE file = CreateFileW(VersionList.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    const char list[] = "8.0\r\n9.1\r\n";
    DWORD written = 0;
    WriteFile(file, list, DWORD(sizeof list - 1), &written, nullptr);
    CloseHandle(file);
  }
  ~VendorTools() override { DeleteFileW(VersionList.c_str()); }

  TComPtr<TFakeHostObject> Module, Tools;
  std::wstring VersionList;
};

TEST_F(VendorTools, AlteraVersionIsTheWordAfterVersionOrRelease) {
  struct TCase {
    const char* FirstLine;
    bool UpToDate;
    const wchar_t* Version;
  };
  const TCase cases[] = {
      {"Quartus II Version 9.1 Build 350", true, L"9.1"},
      {"Quartus II Release 8.0 SP1", true, L"8.0"},
      {"Quartus II Version 9.1", false, L""}, // the number is the last word
      {"Quartus II Version 7.2 Build 1", false, L""},
      {"Quartus II version 9.1 Build 350", false, L""},
  };
  for (const TCase& c : cases) {
    Tree.File(L"quartus\\readme.txt", std::string(c.FirstLine) + "\r\nmore text\r\n");
    std::wstring version = L"stale";
    EXPECT_EQ(AlteraToolsUpToDate(version), c.UpToDate) << c.FirstLine;
    EXPECT_EQ(version, c.Version) << c.FirstLine;
  }
  const auto asked = CallsOf(Host.Client(), kGetServerModule);
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(std::wstring(V_BSTR(&asked[0].Declared(0))), L"Pelfrow");
  Host.Client().ClearLog();
}

TEST_F(VendorTools, LatticeAndXilinxAskTheManager) {
  Tools->OnCall(kToolsUpToDate, [](TFakeInvocation& AInvocation) {
    AInvocation.ReturnBool(AInvocation.Text(0) == L"Xilinx");
    return S_OK;
  });
  Tools->OnCall(kGetToolsVersion, [](TFakeInvocation& AInvocation) {
    AInvocation.ReturnText(AInvocation.Text(0) + L" 12.4");
    return S_OK;
  });
  std::wstring version;
  EXPECT_TRUE(XilinxToolsUpToDate(version));
  EXPECT_EQ(version, L"Xilinx 12.4");
  EXPECT_FALSE(LatticeToolsUpToDate(version));
  EXPECT_EQ(version, L"Lattice 12.4");
}

TEST(FamilyTable, BuiltInRowsAreUniqueAndCarryTheirEdifNames) {
  const auto rows = BuiltInDeviceFamilies();
  EXPECT_EQ(rows.size(), 77u);
  std::set<std::wstring_view> names;
  for (const TDeviceFamilyRow& row : rows)
    EXPECT_TRUE(names.insert(row.Family).second) << AsciiText(std::wstring(row.Family));
  struct TCase {
    const wchar_t* Family;
    const wchar_t* Vendor;
    const wchar_t* EDIF;
  };
  const TCase cases[] = {
      {L"ProASICPlus", L"Actel", L"PROASICPLUS"},
      {L"IGLOOnano", L"Actel", L"IGLOOnano"},
      {L"Cyclone4GX", L"Altera", L"CYCLONE4GX"},
      {L"MachXO2", L"Lattice", L"MACHXO2"},
      {L"ispMACH4000Z", L"Lattice", L"ispMACH4000Z"},
      {L"XASpartan3ADSP", L"Xilinx", L"XASPARTAN3ADSP"},
      {L"XCF", L"Xilinx", L""},
      {L"BLUESTREAK", L"Sharp", L""},
      {L"PPC405", L"AMCC", L""},
      {L"Stellaris", L"TexasInstruments", L""},
      {L"STM32", L"STMicroelectronics", L""},
  };
  ReleaseDeviceFamilies();
  for (const TCase& c : cases) {
    TDeviceFamilyInfo info;
    ASSERT_TRUE(FindDeviceFamily(c.Family, info)) << AsciiText(c.Family);
    EXPECT_EQ(info.VendorName, c.Vendor) << AsciiText(c.Family);
    EXPECT_EQ(info.EDIF, c.EDIF) << AsciiText(c.Family);
  }
  EXPECT_EQ(GetDeviceFamilyVendor(L"Stellaris"), L"TexasInstruments");
  EXPECT_EQ(GetDeviceFamilyVendor(L"stellaris"), L"") << "names match exactly";
  ReleaseDeviceFamilies();
}

TEST_F(HostServices, PluginConfigurationsExtendTheRegistryAndTheLastFolderWins) {
  struct TFolder {
    const wchar_t* Name;
    const char* Config; // nullptr: no TarvoConfig.ini
    bool Disabled;
  };
  const TFolder folders[] = {
      {L"a", "[General]\r\nDeviceFamily=Stellaris\r\nDeviceVendor=Luminary\r\nEDIF=LM3S\r\n",
       false},
      {L"b", "[General]\r\nDeviceFamily=STM32\r\nDeviceVendor=Other\r\nEDIF=\r\n", false},
      {L"c", nullptr, false},
      {L"d", "[General]\r\nDeviceFamily=Stellaris\r\nDeviceVendor=TI\r\nEDIF=LM3S\r\n", false},
      {L"e", "[General]\r\nDeviceFamily=Kinetis\r\nDeviceVendor=Freescale\r\nEDIF=K\r\n", false},
      {L"f", "[General]\r\nDeviceFamily=Kinetis\r\nDeviceVendor=Disabled\r\nEDIF=K\r\n", true},
      {L"g", "[Other]\r\nDeviceFamily=Cyclone\r\nDeviceVendor=Nobody\r\nEDIF=C\r\n", false},
  };
  for (const TFolder& folder : folders) {
    const std::wstring path = Tree.Folder(folder.Name);
    if (folder.Config)
      Tree.File(std::wstring(folder.Name) + L"\\TarvoConfig.ini", folder.Config);
    Plugins.Add(path.substr(0, path.size() - 1), folder.Disabled);
  }
  struct TCase {
    const wchar_t* Family;
    const wchar_t* Vendor;
  };
  const TCase cases[] = {{L"Stellaris", L"TI"},
                         {L"STM32", L"STMicroelectronics"},
                         {L"Kinetis", L"Freescale"},
                         {L"Cyclone", L"Altera"}};
  for (const TCase& c : cases)
    EXPECT_EQ(GetDeviceFamilyVendor(c.Family), c.Vendor) << AsciiText(c.Family);
  EXPECT_EQ(Plugins.Walks(), 1) << "built once";
}

TEST_F(HostServices, RelativePathIsExpandedByTheHostsExport) {
  struct TCase {
    const wchar_t* Base;
    const wchar_t* Relative;
    const wchar_t* Expected;
  };
  const TCase cases[] = {
      {L"C:\\Designs\\Board.PrjPcb", L"Lib\\Parts.SchLib", L"C:\\Designs\\Lib\\Parts.SchLib"},
      {L"C:\\Designs\\Sub\\", L"..\\Parts.SchLib", L"C:\\Designs\\Parts.SchLib"},
      {L"C:\\Designs\\Board.PrjPcb", L"\\Parts.SchLib", L"C:\\Designs\\Parts.SchLib"},
  };
  for (const TCase& c : cases) {
    std::wstring result = L"unchanged";
    ExpandRelativePath(c.Base, c.Relative, result);
    EXPECT_EQ(result, c.Expected) << AsciiText(c.Relative);
  }
}

TEST_F(HostServices, WithoutTheExportTheCallersPathStays) {
  BindVfsEntries(GetModuleHandleW(L"kernel32.dll"));
  std::wstring result = L"C:\\Keep\\Me";
  ExpandRelativePath(L"C:\\Designs\\", L"Lib", result);
  EXPECT_EQ(result, L"C:\\Keep\\Me");
}

void WINAPI FillWholeBuffer(const wchar_t*, const wchar_t*, wchar_t* AResult) {
  for (size_t i = 0; i < kExpandedPathCapacity; ++i)
    AResult[i] = L'x';
}

TEST_F(HostServices, AHostThatFillsTheWholeBufferIsCutAtItsEnd) {
  BindExpandRelativePath(&FillWholeBuffer);
  std::wstring result;
  ExpandRelativePath(L"C:\\", L"a", result);
  EXPECT_EQ(result, std::wstring(kExpandedPathCapacity - 1, L'x'));
}

} // namespace
