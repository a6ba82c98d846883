// Rows typed by hand from the host's interface lists, a dozen and more per
// family, compared with the generated call table: a mistake in the shared
// transcription or in the generator shows here.

#include "host-record-table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}

struct TSpotRow {
  const wchar_t* Group;
  const wchar_t* Record;
  const wchar_t* Operation;
  int32_t DispId;
  std::vector<uint8_t> Args;
  uint8_t Result;
};

constexpr uint8_t I4 = 3, R8 = 5, STR = 8, DISP = 9, BOOL = 11, I8 = 20;
constexpr uint8_t VAR_I4 = 0x83, VAR_STR = 0x88, VAR_DISP = 0x89, VAR_I8 = 0x94;
constexpr uint8_t NONE = 0;

const std::vector<TSpotRow> kSpotRows = {
    {L"platform", L"IClient", L"GetApplicationHandle", 486, {}, I4},
    {L"platform", L"IClient", L"GetServerModule", 496, {STR}, DISP},
    {L"platform", L"IClient", L"OpenDocument", 506, {STR, STR}, DISP},
    {L"platform", L"IClient", L"StartServer", 507, {STR}, BOOL},
    {L"platform", L"IClient", L"AddNotificationHandler", 527, {DISP}, NONE},
    {L"platform", L"IClient", L"GetPluginsRegistry", 2027, {}, DISP},
    {L"platform", L"IGUIManager", L"ProcessShortcut", 158, {I4, BOOL, BOOL, BOOL}, BOOL},
    {L"platform", L"IGUIManager", L"SetPanelSize", 171, {STR, I4, I4}, NONE},
    {L"platform", L"ITimerManager", L"AddHandler", 268, {DISP, I4, BOOL}, I4},
    {L"platform", L"INotification", L"GetCode", 1851, {}, I4},
    {L"platform",
     L"IQovMessagesManager",
     L"AddMessage",
     439,
     {STR, STR, STR, STR, STR, STR, I4, BOOL, STR, STR},
     NONE},
    {L"platform", L"IClientAPI_Interface", L"FindHelpTopic", 963, {STR, VAR_STR}, BOOL},
    {L"platform", L"IProcessLauncher", L"RunCommand", 625, {STR, VAR_STR, DISP}, NONE},
    {L"platform", L"IDragDropObject", L"SetDragCursor", 6, {I4}, NONE},
    {L"platform", L"IExternalForm", L"SetBounds", 56, {I4, I4, I4, I4}, NONE},
    {L"platform", L"IExternalFormHolder", L"CaptionChanged", 71, {}, NONE},

    {L"design", L"IWorkspace", L"GetProjectCount", 501404, {}, I4},
    {L"design", L"IWorkspace", L"GetUnifiedDataModel", 510208, {}, DISP},
    {L"design", L"IWorkspace", L"GetMessagesManager", 508377, {}, DISP},
    {L"design", L"IProject", L"GetOutputPath", 500085, {STR}, STR},
    {L"design", L"IProject", L"Compile", 500088, {}, BOOL},
    {L"design", L"IFPGAProject", L"SetCurrentConfiguration", 500055, {STR}, NONE},
    {L"design", L"IEmbeddedProject", L"GetSwPlatformFileName", 501469, {}, STR},
    {L"design", L"IDocument", L"GetPort", 500352, {I4}, DISP},
    {L"design", L"INet", L"GetBusIndex", 500466, {}, I4},
    {L"design", L"INet", L"GetPCBObjectId", 510107, {}, STR},
    {L"design", L"INetItem", L"IsIgnored", 500009, {}, BOOL},
    {L"design", L"INetItem", L"GetBusIndexOrder", 500217, {}, I4},
    {L"design", L"IUnifiedDataModel", L"FindObjectById", 510209, {STR, VAR_DISP}, BOOL},
    {L"design", L"IPCB_ServerInterface", L"RefreshDocument", 506419, {STR}, NONE},
    {L"design", L"IPCB_Net", L"SetLiveHighlightValue", 505484, {I4}, NONE},
    {L"design", L"IParameter", L"GetValue", 500322, {}, STR},

    {L"chain", L"IJTagChannel", L"OpenChannel", 503425, {}, BOOL},
    {L"chain", L"IJTagChannel", L"CloseChannel", 503426, {}, NONE},
    {L"chain", L"IJTagChannel", L"ShiftDataCapture", 503589, {I4, I4, I4}, I4},
    {L"chain", L"IJTagChannel", L"ShiftDataBits", 503591, {STR, I4}, STR},
    {L"chain", L"IJTagChannel", L"MoveToState", 503605, {I4, I4}, NONE},
    {L"chain", L"IJTagDevice", L"SampleBoundaryScan", 503566, {DISP}, BOOL},
    {L"chain", L"ITarvoDevice", L"GetJTagIndex", 503629, {}, I4},
    {L"chain", L"ITarvoDevice", L"ReadTarvoRegister", 503666, {I4, I4}, I4},
    {L"chain", L"ITarvoDevice", L"AddSoftBreakpoint", 508550, {I4, I8}, DISP},
    {L"chain", L"ITarvoDriver", L"SetProcessorRegisterValue", 503766, {I4, I4}, BOOL},
    {L"chain", L"IJlinkDriver", L"GetJlinkHandle", 503880, {}, I4},
    {L"chain", L"IARMEmbeddedICE", L"SetICERegister", 509027, {I4, I4}, NONE},
    {L"chain", L"ITarvoWorkbench", L"GetCoreOfDevice", 504032, {DISP}, DISP},
    {L"chain", L"IDeviceManager", L"DeviceNamesMatch", 504007, {STR, STR}, BOOL},
    {L"chain", L"IGenericDeviceManager", L"GetLibraryName", 503977, {I4, I4}, STR},
    {L"chain", L"IInstrumentView", L"ReleaseView", 503704, {}, NONE},

    {L"services", L"IDeviceInformation", L"GetDevicePin", 503411, {I4}, DISP},
    {L"services", L"IDevicePin", L"GetIsSpecialPin", 503530, {}, BOOL},
    {L"services", L"IDeviceMemoryInformation", L"AddLogicalSection", 503946, {DISP}, I4},
    {L"services", L"IDeviceMemoryArchitectureSection", L"AddLogicalSection", 503935, {DISP}, I4},
    {L"services", L"IDeviceMemoryLogicalSection", L"SetParentMap", 503909, {DISP}, NONE},
    {L"services",
     L"IDeviceDebugManager",
     L"SetSoftbreakpointsRequireHardware",
     503968,
     {BOOL},
     NONE},
    {L"services", L"ISoftBreakpoint", L"GetAddress", 508547, {}, I8},
    {L"services", L"ISoftBreakpoint", L"SetAddress", 508548, {I8}, NONE},
    {L"services", L"IHardBreakpoint", L"GetData", 508557, {}, I8},
    {L"services",
     L"IFlashWriter",
     L"WriteFlashImage",
     508719,
     {I4, DISP, BOOL, BOOL, BOOL, BOOL},
     I4},
    {L"services", L"IFlashWriter", L"CompareFlashImage", 508724, {I4, DISP, I4, I4, BOOL}, I4},
    {L"services",
     L"IFlashWriter",
     L"GetFlashMemorySpace",
     508746,
     {I4, VAR_I4, VAR_I4, VAR_I4, VAR_I4},
     NONE},
    {L"services", L"IFlashWriterCallback", L"GetAbortRequested", 508716, {}, BOOL},
    {L"services", L"IDataChunkImageInterface", L"GetDataArrayItem", 508713, {I4}, I4},
    {L"services", L"IBSDLEntity", L"GetScanClockMaxSpeed", 503484, {}, R8},
    {L"services", L"IBoundaryCell", L"GetControlCell", 503510, {}, DISP},
    {L"services", L"IVendorToolManager", L"GetToolPath", 509004, {STR, STR}, STR},

    {L"schematic", L"ISch_ServerInterface", L"SetLiveUpdate", 502821, {BOOL}, NONE},
    {L"schematic", L"ISch_ServerInterface", L"LoadComponentFromLibrary", 502826, {STR, STR}, DISP},
    {L"schematic", L"ISch_ServerInterface", L"DestroySchObject", 507078, {VAR_DISP}, NONE},
    {L"schematic", L"ISch_Component", L"GetPartCount", 502385, {}, I4},
    {L"schematic", L"ISch_GraphicalObject", L"GetLiveHighlightValue", 501999, {}, STR},
    {L"schematic",
     L"IComponentPainterView",
     L"DrawComponentPart",
     502137,
     {STR, STR, I4, BOOL},
     NONE},
    {L"schematic", L"IComponentPainterView", L"HighlightPins", 502139, {STR, I4, I4}, NONE},
    {L"schematic", L"IModelTypeManager", L"GetModelTypeByName", 503269, {STR}, DISP},
    {L"schematic", L"IModelType", L"GetServerName", 508239, {}, STR},
    {L"schematic", L"IModelEditor", L"DrawModel", 503177, {DISP, STR, STR}, NONE},
    {L"schematic",
     L"IHighlightedModelEditor",
     L"RegisterSelectionChangedListener",
     503261,
     {DISP, DISP},
     NONE},
    {L"schematic",
     L"ILixtorManager",
     L"FindComponentLibraryPath",
     503282,
     {STR, STR, VAR_STR},
     STR},
    {L"schematic",
     L"ILixtorManager",
     L"FindModelDatafilePath",
     503284,
     {I4, STR, STR, STR, STR, VAR_STR},
     STR},
    {L"schematic", L"ILixtorManager", L"GetComponentModelName", 503288, {STR, STR, STR, I4}, STR},

    {L"embedded", L"IEmbeddedMemoryManager", L"GetMemories", 508622, {I4}, DISP},
    {L"embedded", L"IEmbeddedMemories", L"LoadFromProject", 508617, {DISP, BOOL}, NONE},
    {L"embedded", L"IEmbeddedMemories", L"GetCount", 508615, {}, I4},
    {L"embedded",
     L"IEmbeddedMemory",
     L"GetInitValue",
     508605,
     {I4, VAR_STR, VAR_I8, VAR_I8, VAR_I8},
     BOOL},
    {L"embedded", L"IEmbeddedMemory", L"GetBaseAddress", 508609, {}, I8},
    {L"embedded", L"IEmbeddedMemory", L"GetSize", 508610, {}, I8},
    {L"embedded", L"IEmbeddedMemory", L"GetFileName", 508611, {DISP}, STR},
    {L"embedded", L"IEmbeddedStack", L"GetStackSync", 508788, {}, DISP},
    {L"embedded", L"IEmbeddedStackSync", L"GetKindName", 508755, {I4}, STR},
    {L"embedded", L"IEmbeddedStackSync", L"IsKindUsed", 508758, {STR}, BOOL},
    {L"embedded", L"IEmbeddedStackSync", L"GetInstanceName", 508764, {STR, I4}, STR},
    {L"embedded", L"IEmbeddedStackSync", L"GetInstanceOption", 508768, {STR, STR}, STR},
    {L"embedded", L"IEmbeddedStackSync", L"GetProcessorClockFreq", 508773, {}, STR},
};

TEST(RecordSpotCheck, HandTypedRowsMatchTheGeneratedTable) {
  for (const TSpotRow& row : kSpotRows) {
    SCOPED_TRACE(Narrow(row.Record) + "." + Narrow(row.Operation));
    const THostRecordKind* kind = FindHostRecordKind(row.Record);
    ASSERT_NE(kind, nullptr);
    EXPECT_EQ(std::wstring(kind->Group), row.Group);
    const THostRecordCall* call = FindHostRecordCall(*kind, row.DispId);
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(std::wstring(call->Operation), row.Operation);
    EXPECT_EQ(call->ResultType, row.Result);
    EXPECT_EQ(std::vector<uint8_t>(call->ArgTypes, call->ArgTypes + call->ArgCount), row.Args);
  }
}

TEST(RecordSpotCheck, SecondNamesReachTheSameCall) {
  struct TAliasRow {
    const wchar_t* Record;
    const wchar_t* Operation;
    int32_t DispId;
  } rows[] = {
      {L"IClient", L"CurrentView", 490},    {L"IClient", L"GUIManager", 494},
      {L"IClient", L"ClientAPI", 795},      {L"INotification", L"Data", 734},
      {L"IPluginsRegistry", L"Item", 2018}, {L"ITarvoWorkbench", L"Port", 504021},
      {L"ITarvoPort", L"JtagPort", 504095}, {L"ITarvoPort", L"DeviceLink", 504103},
  };
  for (const TAliasRow& row : rows) {
    SCOPED_TRACE(Narrow(row.Record) + "." + Narrow(row.Operation));
    const THostRecordKind* kind = FindHostRecordKind(row.Record);
    ASSERT_NE(kind, nullptr);
    const THostRecordCall* call = FindHostRecordCall(*kind, row.Operation);
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->DispId, row.DispId);
  }
}

TEST(RecordSpotCheck, FamiliesHoldTheirRecordsAndDistinctCalls) {
  struct TFamily {
    const wchar_t* Group;
    unsigned Records;
  } families[] = {{L"platform", 25}, {L"design", 16},    {L"chain", 26},
                  {L"services", 23}, {L"schematic", 12}, {L"embedded", 5}};
  unsigned calls = 0;
  for (const TFamily& family : families) {
    unsigned records = 0;
    for (const THostRecordKind& kind : HostRecordKinds())
      if (std::wstring(kind.Group) == family.Group) {
        ++records;
        calls += kind.CallCount;
      }
    EXPECT_EQ(records, family.Records) << Narrow(family.Group);
  }
  EXPECT_EQ(HostRecordKinds().size(), 107u);
  EXPECT_EQ(calls, 378u);
  EXPECT_EQ(HostRecordCalls().size(), 378u);
}

TEST(RecordSpotCheck, ViewsNameTheirTargetRecords) {
  struct TViewRow {
    const wchar_t* Record;
    const wchar_t* Operation;
    const wchar_t* Target;
  } rows[] = {
      {L"IProject", L"AsFPGAProject", L"IFPGAProject"},
      {L"IProject", L"AsEmbeddedProject", L"IEmbeddedProject"},
      {L"IEmbeddedProject", L"AsProject", L"IProject"},
      {L"ILine", L"AsDMObject", L"IDMObject"},
      {L"IHardBreakpoint", L"AsSoftBreakpoint", L"ISoftBreakpoint"},
      {L"ISch_Component", L"AsBasicContainer", L"ISch_BasicContainer"},
      {L"IModelEditor", L"AsHighlightedModelEditor", L"IHighlightedModelEditor"},
  };
  ASSERT_EQ(HostRecordViews().size(), std::size(rows));
  for (const TViewRow& row : rows) {
    bool found = false;
    for (const THostRecordView& view : HostRecordViews())
      found |= std::wstring(view.Record) == row.Record &&
               std::wstring(view.Operation) == row.Operation &&
               std::wstring(view.Target) == row.Target;
    EXPECT_TRUE(found) << Narrow(row.Record) << "." << Narrow(row.Operation);
  }
}

} // namespace
