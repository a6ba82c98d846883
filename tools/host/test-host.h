#pragma once

// The stand-in for the host application as the plug-in meets it: the client
// object, one chain device per TAP of the scan target, the JTAG channel
// they share, and the host's JTAG port and device manager. Every object is
// a table-driven fake host object, so each call is checked and logged.
// One test host is current at a time; the executable's exports hand out
// its objects.

#include "com-ptr.h"
#include "fake-host-object.h"
#include "host-scan-target.h"
#include "jtag-channel.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TTestHost {
public:
  // Plants a software breakpoint for the driver bound to a device: answers
  // the ISoftBreakpoint object (a reference the host then holds) or raises.
  using TSoftBreakpointHandler =
      std::function<TComPtr<IDispatch>(unsigned ADevice, int32_t ASpace, int64_t AAddress)>;

  // A host over the simulated chip, owned by the host.
  TTestHost();
  // A host over a scan target the caller keeps alive longer than the host.
  explicit TTestHost(IScanTarget& ATarget);
  ~TTestHost();
  TTestHost(const TTestHost&) = delete;
  TTestHost& operator=(const TTestHost&) = delete;

  // The host the executable's exports answer for; nullptr when none lives.
  static TTestHost* Current();

  TFakeHostObject& Client() { return *FClient.Get(); }
  TFakeHostObject& ClientApi() { return *FClientApi.Get(); }
  TFakeHostObject& ChannelObject() { return *FChannelObject.Get(); }
  TFakeHostObject& Port() { return *FPort.Get(); }
  TFakeHostObject& DeviceManager() { return *FDeviceManager.Get(); }
  // What the stand-in component-library module (Lixtor.dll) hands out.
  TFakeHostObject& ModelTypeManager() { return *FModelTypeManager.Get(); }
  TFakeHostObject& LibraryManager() { return *FLibraryManager.Get(); }
  unsigned DeviceCount() const { return unsigned(FDevices.size()); }
  TFakeHostObject& Device(unsigned APosition) { return *FDevices.at(APosition).Object.Get(); }
  TTestJtagChannel& Channel() { return FChannel; }
  IScanTarget& Target() { return FTarget; }

  // What a device tells of itself (defaults: a generic device).
  void SetDeviceNames(unsigned APosition, std::wstring ADeviceName, std::wstring AFamilyName,
                      std::wstring AVendorName);
  // The driver binding supplies this; until then AddSoftBreakpoint fails.
  void SetSoftBreakpointHandler(TSoftBreakpointHandler AHandler) {
    FSoftBreakpoint = std::move(AHandler);
  }
  // The channel's and the devices' objects log no calls unless asked: a
  // whole flash image is millions of them. Tests that read those logs ask.
  void LogScanRoad(bool ALog = true);
  // The host's notification handlers, as the plug-in registered them with
  // the client (527) and not yet removed (528), oldest first.
  const std::vector<TComPtr<IDispatch>>& NotificationHandlers() const {
    return FNotificationHandlers;
  }
  // Hands a notification object to every registered handler (266); the
  // first failing answer, or S_OK.
  HRESULT Notify(IDispatch* ANotification);

  // The debug workbench the stand-in "Pelfrow.DLL" hands out once the
  // client's StartServer("Pelfrow") loaded it; a host has it from the first
  // call of this on. GetCoreOfDevice (504032) answers a core with this
  // designator and name, or none.
  void SetCoreOfDevice(bool AHasCore, std::wstring ADesignator = L"U1",
                       std::wstring ACoreName = L"ARM Cortex-M3");
  TFakeHostObject& Workbench() { return *FWorkbench.Get(); }
  bool WorkbenchInstalled() const { return FWorkbenchInstalled; }

  // The timer manager's timers (268 adds one, answering its id; 269
  // removes it; 271 switches it), oldest first. The host never fires them
  // by itself: a test ticks one, which calls its handler (267) at once.
  struct THostTimer {
    uint32_t Id = 0;
    TComPtr<IDispatch> Handler;
    int32_t Interval = 0;
    bool Enabled = false;
  };
  const std::vector<THostTimer>& Timers() const { return FTimers; }
  TFakeHostObject& TimerManager() { return *FTimerManager.Get(); }
  // The handler's answer; DISP_E_MEMBERNOTFOUND for an id that is not there.
  HRESULT TickTimer(uint32_t AId);

  // Every error logged by any of the host's objects, in order.
  const std::vector<std::wstring>& Errors() const { return FErrors; }

  // The host's JTAG ports in the order the host lists them. The port the
  // channel sits on is always there; it is a plain JTAG port until it is
  // made a J-Link port, whose driver hands out the probe library's module.
  unsigned JTagPortCount() const { return unsigned(FOtherPorts.size()) + 1; }
  TFakeHostObject& JTagPort(unsigned AIndex);
  void MakeJlinkPort(HMODULE AJlinkLibrary);
  // A J-Link port of another chain (a channel of its own), listed before
  // the channel's port.
  TFakeHostObject& AddOtherJlinkPort(HMODULE AJlinkLibrary);

private:
  struct TDevice {
    TComPtr<TFakeHostObject> Object;
    std::wstring DeviceName = L"GenericDevice";
    std::wstring FamilyName = L"Generic";
    std::wstring VendorName;
  };

  TTestHost(std::unique_ptr<IScanTarget> AOwned, IScanTarget* ATarget);
  TComPtr<TFakeHostObject> NewObject(std::initializer_list<std::wstring_view> ARecords);
  void ServeClient();
  void ServeChannel();
  void ServeDevice(unsigned APosition);
  void ServeJlinkPort(TFakeHostObject& APort, TFakeHostObject& AChannel, HMODULE AJlinkLibrary);
  void ServeWorkbench();
  void ServeTimers();

  std::unique_ptr<IScanTarget> FOwnedTarget;
  IScanTarget& FTarget;
  TTestJtagChannel FChannel;
  TComPtr<TFakeHostObject> FClient;
  TComPtr<TFakeHostObject> FClientApi;
  TComPtr<TFakeHostObject> FGuiManager;
  TComPtr<TFakeHostObject> FTimerManager;
  TComPtr<TFakeHostObject> FPluginsRegistry;
  TComPtr<TFakeHostObject> FChannelObject;
  TComPtr<TFakeHostObject> FPort;
  TComPtr<TFakeHostObject> FDeviceManager;
  TComPtr<TFakeHostObject> FModelTypeManager;
  TComPtr<TFakeHostObject> FLibraryManager;
  std::vector<TDevice> FDevices;
  std::vector<TComPtr<IDispatch>> FNotificationHandlers;
  TComPtr<TFakeHostObject> FWorkbench;
  TComPtr<TFakeHostObject> FCore;
  bool FHasCore = false;
  bool FWorkbenchInstalled = false;
  // J-Link ports of other chains with their channels and drivers, and the
  // driver of the channel's port once it is a J-Link port.
  std::vector<TComPtr<TFakeHostObject>> FOtherPorts;
  std::vector<TComPtr<TFakeHostObject>> FJlinkObjects;
  TSoftBreakpointHandler FSoftBreakpoint;
  std::vector<THostTimer> FTimers;
  uint32_t FNextTimerId = 1;
  std::vector<std::wstring> FErrors;
  std::wstring FCaptured; // the last data scan's answer, reused
  TTestHost* FPrevious = nullptr;
};
