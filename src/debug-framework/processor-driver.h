#pragma once

// The generic driver of a device that holds a processor: its processor
// type, the processor-information, memory-information and debug-manager
// objects it hands to the host, the memory map read from the device's
// constraint file, and the list of flash writers with one selected.
//
// Dispatch: the six flash-writer DISPIDs first, then the driver chain; a
// DISPID the chain does not serve (E_NOTIMPL) is offered in turn to the
// processor information, the memory information and the debug manager, so
// the host reaches them through the driver.

#include "core-table.h"
#include "parameter-list.h"
#include "tarvo-driver.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum TDeviceProcessor_Type : uint8_t {
  eDeviceProcessor_TYPE_UNKNOWN = 0,
  eDeviceProcessor_TYPE_HARD = 1,
  eDeviceProcessor_TYPE_SOFT = 2,
  eDeviceProcessor_TYPE_GENERIC = 3,
};

class TTarvoProcessorDriver;

// A flash-writer class: builds one writer for the driver it is given (the
// writer's base driver) and answers it with one reference held, or an empty
// pointer. Failures raise.
using TVEKAbstractRemoteExecuteBaseDriverClass =
    std::function<TComPtr<TAbstractFlashWriter>(TTarvoProcessorDriver& ADriver)>;

class TTarvoProcessorDriver : public TTarvoDriver {
public:
  TTarvoProcessorDriver();
  TTarvoProcessorDriver(TDeviceProcessor_Core AProcessorCore, TDeviceProcessor_Type AProcessorType);
  // One writer built from the class, added and selected; an empty class
  // gives no writer list.
  TTarvoProcessorDriver(TDeviceProcessor_Core AProcessorCore, TDeviceProcessor_Type AProcessorType,
                        const TVEKAbstractRemoteExecuteBaseDriverClass& ARemoteExecutionClass);
  // One writer per class in order, the first selected; fewer than two
  // classes give no writer list.
  TTarvoProcessorDriver(TDeviceProcessor_Core AProcessorCore, TDeviceProcessor_Type AProcessorType,
                        const std::vector<TVEKAbstractRemoteExecuteBaseDriverClass>& AClasses);
  // For a descendant whose own device names decide the constraint file.
  // Those names do not answer while this part is built, so the map is left
  // empty here and the descendant runs LoadEmbeddedMemoryMap at the end of
  // its own constructor: the file is searched once, by the device's names.
  struct TMemoryMapFromDescendant {};
  TTarvoProcessorDriver(TDeviceProcessor_Core AProcessorCore, TDeviceProcessor_Type AProcessorType,
                        const TVEKAbstractRemoteExecuteBaseDriverClass& ARemoteExecutionClass,
                        TMemoryMapFromDescendant);
  ~TTarvoProcessorDriver() override;

  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override;
  HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) override;

  HRESULT SetEmbeddedConstraintFile(const std::wstring& AFileName) override;
  bool IsHardProcessor() override;
  bool IsSoftProcessor() override;
  bool IsGenericProcessor() override;
  TInstrumentViewClass GetRackViewClass() override;

  // ---- the flash-writer list (DISPIDs 508736, 508741 .. 508745)
  HRESULT ShowFlashMemoryUtilityDialog(const IDeviceLink& ADeviceLink);
  // E_UNEXPECTED without a writer list.
  HRESULT AddFlashWriter(const IFlashWriter& AWriter);
  // E_UNEXPECTED for an index outside the list and without a list.
  HRESULT GetFlashWriter(int32_t AIndex, IFlashWriter* AResult);
  // Not checked against the list; an empty writer clears the selection.
  HRESULT SelectFlashWriter(const IFlashWriter& AWriter);
  HRESULT GetSelectedFlashWriter(IFlashWriter* AResult);
  HRESULT GetFlashWriterCount(int32_t* AResult);
  bool HasFlashWriterList() const { return FHasRemoteExecuteDrivers; }

  // ---- memory map
  // Reads every line of an existing file; a missing file does nothing.
  void LoadDeviceMemoryFromConstraint(const std::wstring& AFileFullPath);
  void LoadMemoryMapsFromConstraintLine(const std::wstring& ALine);
  void LoadArchitectureSectionFromParamList(const TParameterList& AParamList);
  void LoadLogicalSectionFromParamList(const TParameterList& AParamList);
  // A new, empty memory information filled from the file the constraint
  // search finds now.
  void LoadEmbeddedMemoryMap();

  // ---- companions
  TDeviceProcessor_Core ProcessorCore() const { return FProcessorCore; }
  TDeviceProcessor_Type ProcessorType() const { return FProcessorType; }
  const IDeviceProcessorInformation& DeviceProcessorInformation() const {
    return FDeviceProcessorInformation;
  }
  const IDeviceMemoryInformation& DeviceMemoryInformation() const {
    return FDeviceMemoryInformation;
  }
  const IDeviceDebugManager& DeviceDebugManager() const { return FDeviceDebugManager; }

  // The flash memory utility dialog: the panels' form unless replaced.
  using TFlashMemoryUtilityRunner =
      std::function<void(const IFlashWriters& AWriters, const IDeviceLink& ADeviceLink)>;
  static void SetFlashMemoryUtilityRunner(TFlashMemoryUtilityRunner ARunner);

protected:
  TDeviceProcessor_Type FProcessorType = eDeviceProcessor_TYPE_UNKNOWN;
  IDeviceProcessorInformation FDeviceProcessorInformation;
  IDeviceMemoryInformation FDeviceMemoryInformation;
  std::vector<IFlashWriter> FRemoteExecuteDrivers;
  IFlashWriter FRemoteExecuteDriver;
  IDeviceDebugManager FDeviceDebugManager;

private:
  void CreateInformationObjects(bool ALoadMemoryMap);
  void BuildWriters(const std::vector<TVEKAbstractRemoteExecuteBaseDriverClass>& AClasses);
  void ReplaceMemoryInformation();

  TDeviceProcessor_Core FProcessorCore = eDeviceProcessor_CORE_UNKNOWN;
  bool FHasRemoteExecuteDrivers = false;
};
