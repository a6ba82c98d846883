#include "test-host.h"

#include "sim-scan-target.h"

#include <stdexcept>
#include <string_view>

namespace {

TTestHost* GCurrentHost = nullptr;

// The client's calls the plug-in's main road makes; each answers a host
// object of its own or a fixed value, the rest answer typed defaults.
constexpr DISPID kGetMainWindowHandle = 492, kGetGUIManager = 494, kIsShuttingDown = 504,
                 kGetTimerManager = 531, kGetSourceName = 548, kGetClientAPI = 795,
                 kGetPluginsRegistry = 2027, kStartServer = 507, kAddNotificationHandler = 527,
                 kRemoveNotificationHandler = 528, kHandleNotification = 266;
constexpr DISPID kGetCoreOfDevice = 504032, kCoreGetDesignator = 504043, kCoreGetCoreName = 504046;
constexpr DISPID kOpenChannel = 503425, kCloseChannel = 503426, kShiftData = 503588,
                 kShiftDataCapture = 503589, kShiftDataBits = 503591, kShiftInstruction = 503593,
                 kSendInstruction = 503601, kMoveToState = 503605, kGetJtagPort = 503611;
constexpr DISPID kPortJTagChannel = 503436, kGetJlinkDriver = 503881, kGetJlinkHandle = 503880;
constexpr DISPID kGetDeviceName = 503380, kGetFamilyName = 503382, kGetVendorName = 503407,
                 kGetJTagIndex = 503629, kGetJTagChannel = 503630, kGetDeviceId = 503643,
                 kAddSoftBreakpoint = 508550;

std::wstring Widened(std::string_view AText) {
  return std::wstring(AText.begin(), AText.end());
}

// Channel failures (bad index, bad bit text) reach the plug-in as host
// exceptions with their message, as a real host reports a refused scan.
template <class TAction> HRESULT ChannelCall(TFakeInvocation& AInvocation, TAction AAction) {
  try {
    AAction();
    return S_OK;
  } catch (const EJtagChannelError& e) {
    return AInvocation.Raise(Widened(e.what()));
  }
}

} // namespace

TTestHost::TTestHost() : TTestHost(std::make_unique<TSimChipTarget>(), nullptr) {}

TTestHost::TTestHost(IScanTarget& ATarget) : TTestHost(nullptr, &ATarget) {}

TTestHost::TTestHost(std::unique_ptr<IScanTarget> AOwned, IScanTarget* ATarget)
    : FOwnedTarget(std::move(AOwned)), FTarget(FOwnedTarget ? *FOwnedTarget : *ATarget),
      FChannel(FTarget) {
  FClient = NewObject({L"IClient", L"IProcessLauncher"});
  FClientApi = NewObject({L"IClientAPI_Interface"});
  FGuiManager = NewObject({L"IGUIManager"});
  FTimerManager = NewObject({L"ITimerManager"});
  FPluginsRegistry = NewObject({L"IPluginsRegistry"});
  FChannelObject = NewObject({L"IJTagChannel"});
  FPort = NewObject({L"IJtagPort"});
  FDeviceManager = NewObject({L"IDeviceManager"});
  FModelTypeManager = NewObject({L"IModelTypeManager"});
  FLibraryManager = NewObject({L"ILixtorManager"});
  FWorkbench = NewObject({L"ITarvoWorkbench"});
  FCore = NewObject({L"ITarvoCore"});
  ServeClient();
  ServeChannel();
  ServeWorkbench();
  ServeTimers();
  for (unsigned position = 0; position < FTarget.DeviceCount(); ++position) {
    FDevices.push_back(TDevice{NewObject({L"ITarvoDevice"}), L"GenericDevice", L"Generic", L""});
    ServeDevice(position);
  }
  LogScanRoad(false);
  FPrevious = std::exchange(GCurrentHost, this);
}

TTestHost::~TTestHost() {
  if (GCurrentHost == this)
    GCurrentHost = FPrevious;
  FNotificationHandlers.clear();
  FTimers.clear();
  // The workbench module stays loaded: the plug-in keeps its handle, and
  // its export answers for whichever host is current.
}

HRESULT TTestHost::Notify(IDispatch* ANotification) {
  HRESULT first = S_OK;
  // A handler may remove itself while it is told: walk a copy.
  const std::vector<TComPtr<IDispatch>> handlers = FNotificationHandlers;
  for (const TComPtr<IDispatch>& handler : handlers) {
    VARIANTARG arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_DISPATCH;
    V_DISPATCH(&arg) = ANotification;
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    const HRESULT hr = handler->Invoke(kHandleNotification, IID_NULL, LOCALE_USER_DEFAULT,
                                       DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    if (FAILED(hr) && SUCCEEDED(first))
      first = hr;
  }
  return first;
}

void TTestHost::SetCoreOfDevice(bool AHasCore, std::wstring ADesignator, std::wstring ACoreName) {
  FWorkbenchInstalled = true;
  FHasCore = AHasCore;
  FCore->OnCall(kCoreGetDesignator, [ADesignator](TFakeInvocation& AInvocation) {
    AInvocation.ReturnText(ADesignator);
    return S_OK;
  });
  FCore->OnCall(kCoreGetCoreName, [ACoreName](TFakeInvocation& AInvocation) {
    AInvocation.ReturnText(ACoreName);
    return S_OK;
  });
}

void TTestHost::ServeWorkbench() {
  SetCoreOfDevice(false);
  FWorkbenchInstalled = false;
  FWorkbench->OnCall(kGetCoreOfDevice, [this](TFakeInvocation& AInvocation) {
    AInvocation.ReturnObject(FHasCore ? FCore->Dispatch() : nullptr);
    return S_OK;
  });
}

void TTestHost::LogScanRoad(bool ALog) {
  FChannelObject->SetCallLog(ALog);
  for (TDevice& device : FDevices)
    device.Object->SetCallLog(ALog);
}

TTestHost* TTestHost::Current() {
  return GCurrentHost;
}

void TTestHost::SetDeviceNames(unsigned APosition, std::wstring ADeviceName,
                               std::wstring AFamilyName, std::wstring AVendorName) {
  TDevice& device = FDevices.at(APosition);
  device.DeviceName = std::move(ADeviceName);
  device.FamilyName = std::move(AFamilyName);
  device.VendorName = std::move(AVendorName);
}

TComPtr<TFakeHostObject> TTestHost::NewObject(std::initializer_list<std::wstring_view> ARecords) {
  TComPtr<TFakeHostObject> object = TFakeHostObject::Create(ARecords);
  object->SetErrorSink([this](const std::wstring& AError) { FErrors.push_back(AError); });
  return object;
}

void TTestHost::ServeClient() {
  const auto answerObject = [](TFakeHostObject& AObject) {
    return [&AObject](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(AObject.Dispatch());
      return S_OK;
    };
  };
  FClient->OnCall(kGetClientAPI, answerObject(*FClientApi.Get()));
  FClient->OnCall(kGetGUIManager, answerObject(*FGuiManager.Get()));
  FClient->OnCall(kGetTimerManager, answerObject(*FTimerManager.Get()));
  FClient->OnCall(kGetPluginsRegistry, answerObject(*FPluginsRegistry.Get()));
  FClient->OnCall(kGetSourceName, [](TFakeInvocation& AInvocation) {
    AInvocation.ReturnText(L"Orvandel test host");
    return S_OK;
  });
  FClient->OnCall(kGetMainWindowHandle, [](TFakeInvocation& AInvocation) {
    AInvocation.ReturnInt(0); // no main window: dialogs are owned by the desktop
    return S_OK;
  });
  FClient->OnCall(kIsShuttingDown, [](TFakeInvocation& AInvocation) {
    AInvocation.ReturnBool(false);
    return S_OK;
  });
  // The debug workbench's server is the stand-in "Pelfrow.DLL" beside the
  // program; starting it loads the module, whose export then hands out the
  // workbench. Other servers are not there.
  FClient->OnCall(kStartServer, [this](TFakeInvocation& AInvocation) {
    const std::wstring name = AInvocation.Text(0);
    bool started = false;
    if (FWorkbenchInstalled &&
        CompareStringOrdinal(name.c_str(), -1, L"Pelfrow", -1, TRUE) == CSTR_EQUAL) {
      HMODULE module = GetModuleHandleW(L"Pelfrow.DLL");
      if (!module) {
        wchar_t path[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring folder(path, length);
        folder.resize(folder.find_last_of(L"\\/") + 1);
        module = LoadLibraryW((folder + L"Pelfrow.DLL").c_str());
      }
      started = module != nullptr;
    }
    AInvocation.ReturnBool(started);
    return S_OK;
  });
  FClient->OnCall(kAddNotificationHandler, [this](TFakeInvocation& AInvocation) {
    if (IDispatch* handler = AInvocation.Object(0)) {
      FNotificationHandlers.push_back(TComPtr<IDispatch>(handler));
    }
    return S_OK;
  });
  FClient->OnCall(kRemoveNotificationHandler, [this](TFakeInvocation& AInvocation) {
    IDispatch* handler = AInvocation.Object(0);
    for (auto it = FNotificationHandlers.begin(); it != FNotificationHandlers.end(); ++it)
      if (it->Get() == handler) {
        FNotificationHandlers.erase(it);
        break;
      }
    // The plug-in took its handler back: the host keeps no reference to it.
    FClient->ForgetInLog(handler);
    return S_OK;
  });
}

void TTestHost::ServeChannel() {
  TFakeHostObject& channel = *FChannelObject.Get();
  channel.OnCall(kOpenChannel, [this](TFakeInvocation& AInvocation) {
    AInvocation.ReturnBool(FChannel.OpenChannel());
    return S_OK;
  });
  channel.OnCall(kCloseChannel, [this](TFakeInvocation& AInvocation) {
    return ChannelCall(AInvocation, [&] { FChannel.CloseChannel(); });
  });
  channel.OnCall(kShiftData, [this](TFakeInvocation& AInvocation) {
    return ChannelCall(AInvocation, [&] {
      FChannel.ShiftData(AInvocation.Int(0), AInvocation.Int(1), AInvocation.Int(2));
    });
  });
  channel.OnCall(kShiftDataCapture, [this](TFakeInvocation& AInvocation) {
    return ChannelCall(AInvocation, [&] {
      AInvocation.ReturnInt(
          FChannel.ShiftDataCapture(AInvocation.Int(0), AInvocation.Int(1), AInvocation.Int(2)));
    });
  });
  channel.OnCall(kShiftDataBits, [this](TFakeInvocation& AInvocation) {
    return ChannelCall(AInvocation, [&] {
      FChannel.ShiftDataBits(AInvocation.TextView(0), AInvocation.Int(1), FCaptured);
      AInvocation.ReturnText(FCaptured.data(), FCaptured.size());
    });
  });
  channel.OnCall(kShiftInstruction, [this](TFakeInvocation& AInvocation) {
    return ChannelCall(AInvocation,
                       [&] { FChannel.ShiftInstruction(AInvocation.Int(0), AInvocation.Int(1)); });
  });
  channel.OnCall(kSendInstruction, [this](TFakeInvocation& AInvocation) {
    return ChannelCall(AInvocation,
                       [&] { FChannel.SendInstruction(AInvocation.Int(0), AInvocation.Int(1)); });
  });
  channel.OnCall(kMoveToState, [this](TFakeInvocation& AInvocation) {
    return ChannelCall(AInvocation,
                       [&] { FChannel.MoveToState(AInvocation.Int(0), AInvocation.Int(1)); });
  });
  channel.OnCall(kGetJtagPort, [this](TFakeInvocation& AInvocation) {
    AInvocation.ReturnObject(FPort->Dispatch());
    return S_OK;
  });
}

void TTestHost::ServeDevice(unsigned APosition) {
  TFakeHostObject& device = *FDevices[APosition].Object.Get();
  const auto answerText = [this, APosition](std::wstring TDevice::*AField) {
    return [this, APosition, AField](TFakeInvocation& AInvocation) {
      AInvocation.ReturnText(FDevices[APosition].*AField);
      return S_OK;
    };
  };
  device.OnCall(kGetDeviceName, answerText(&TDevice::DeviceName));
  device.OnCall(kGetFamilyName, answerText(&TDevice::FamilyName));
  device.OnCall(kGetVendorName, answerText(&TDevice::VendorName));
  device.OnCall(kGetDeviceId, [APosition](TFakeInvocation& AInvocation) {
    AInvocation.ReturnText(L"TarvoDevice" + std::to_wstring(APosition + 1));
    return S_OK;
  });
  device.OnCall(kGetJTagIndex, [APosition](TFakeInvocation& AInvocation) {
    AInvocation.ReturnInt(int32_t(APosition));
    return S_OK;
  });
  device.OnCall(kGetJTagChannel, [this](TFakeInvocation& AInvocation) {
    AInvocation.ReturnObject(FChannelObject->Dispatch());
    return S_OK;
  });
  device.OnCall(kAddSoftBreakpoint, [this, APosition](TFakeInvocation& AInvocation) {
    if (!FSoftBreakpoint)
      return AInvocation.Raise(L"No driver is bound to the device to plant a soft breakpoint");
    const TComPtr<IDispatch> breakpoint =
        FSoftBreakpoint(APosition, AInvocation.Int(0), AInvocation.Int64(1));
    AInvocation.ReturnObject(breakpoint.Get());
    return S_OK;
  });
}

TFakeHostObject& TTestHost::JTagPort(unsigned AIndex) {
  if (AIndex < FOtherPorts.size())
    return *FOtherPorts[AIndex].Get();
  if (AIndex == FOtherPorts.size())
    return *FPort.Get();
  throw std::out_of_range("no such JTAG port");
}

void TTestHost::ServeJlinkPort(TFakeHostObject& APort, TFakeHostObject& AChannel,
                               HMODULE AJlinkLibrary) {
  TComPtr<TFakeHostObject> driver = NewObject({L"IJlinkDriver"});
  driver->AddService(L"JlinkDriver");
  // The host's interface carries the module handle in 32 bits.
  const int32_t handle = int32_t(uint32_t(reinterpret_cast<uintptr_t>(AJlinkLibrary)));
  driver->OnCall(kGetJlinkHandle, [handle](TFakeInvocation& AInvocation) {
    AInvocation.ReturnInt(handle);
    return S_OK;
  });
  APort.Serve(L"IJlinkPort");
  APort.AddService(L"JlinkPort");
  APort.OnCall(kPortJTagChannel, [&AChannel](TFakeInvocation& AInvocation) {
    AInvocation.ReturnObject(AChannel.Dispatch());
    return S_OK;
  });
  TFakeHostObject* driverObject = driver.Get();
  APort.OnCall(kGetJlinkDriver, [driverObject](TFakeInvocation& AInvocation) {
    AInvocation.ReturnObject(driverObject->Dispatch());
    return S_OK;
  });
  FJlinkObjects.push_back(driver);
}

void TTestHost::MakeJlinkPort(HMODULE AJlinkLibrary) {
  ServeJlinkPort(*FPort.Get(), *FChannelObject.Get(), AJlinkLibrary);
}

TFakeHostObject& TTestHost::AddOtherJlinkPort(HMODULE AJlinkLibrary) {
  TComPtr<TFakeHostObject> channel = NewObject({L"IJTagChannel"});
  TComPtr<TFakeHostObject> port = NewObject({L"IJtagPort"});
  ServeJlinkPort(*port.Get(), *channel.Get(), AJlinkLibrary);
  FJlinkObjects.push_back(channel);
  FOtherPorts.push_back(port);
  return *port.Get();
}

// The host's timers: ids from 1 on, never reused while the host lives. The
// client API shows a path by its file name.
void TTestHost::ServeTimers() {
  constexpr DISPID kAddHandler = 268, kRemoveHandler = 269, kSetHandlerEnabled = 271,
                   kGetDisplayName = 844;
  FTimerManager->OnCall(kAddHandler, [this](TFakeInvocation& AInvocation) {
    THostTimer timer;
    timer.Id = FNextTimerId++;
    timer.Handler = TComPtr<IDispatch>(AInvocation.Object(0));
    timer.Interval = AInvocation.Int(1);
    timer.Enabled = AInvocation.Bool(2);
    FTimers.push_back(std::move(timer));
    AInvocation.ReturnInt(int32_t(FTimers.back().Id));
    return S_OK;
  });
  FTimerManager->OnCall(kRemoveHandler, [this](TFakeInvocation& AInvocation) {
    const uint32_t id = uint32_t(AInvocation.Int(0));
    for (auto it = FTimers.begin(); it != FTimers.end(); ++it)
      if (it->Id == id) {
        // The handler goes with its timer: the host keeps no reference to it.
        const TComPtr<IDispatch> handler = it->Handler;
        FTimers.erase(it);
        FTimerManager->ForgetInLog(handler.Get());
        break;
      }
    return S_OK;
  });
  FTimerManager->OnCall(kSetHandlerEnabled, [this](TFakeInvocation& AInvocation) {
    const uint32_t id = uint32_t(AInvocation.Int(0));
    for (THostTimer& timer : FTimers)
      if (timer.Id == id)
        timer.Enabled = AInvocation.Bool(1);
    return S_OK;
  });
  FClientApi->OnCall(kGetDisplayName, [](TFakeInvocation& AInvocation) {
    const std::wstring path = AInvocation.Text(0);
    AInvocation.ReturnText(path.substr(path.find_last_of(L"\\/") + 1));
    return S_OK;
  });
}

HRESULT TTestHost::TickTimer(uint32_t AId) {
  constexpr DISPID kHandleTimerEvent = 267;
  TComPtr<IDispatch> handler;
  for (const THostTimer& timer : FTimers)
    if (timer.Id == AId)
      handler = timer.Handler;
  if (!handler)
    return DISP_E_MEMBERNOTFOUND;
  VARIANTARG arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_I4;
  V_I4(&arg) = int32_t(AId);
  DISPPARAMS params = {&arg, nullptr, 1, 0};
  return handler->Invoke(kHandleTimerEvent, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                         &params, nullptr, nullptr, nullptr);
}
