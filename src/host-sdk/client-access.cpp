#include "client-access.h"

#include "exceptions.h"
#include "host-utilities.h"

#include <stdexcept>
#include <utility>

namespace {

using TGetClientInterface = HRESULT(WINAPI*)(IUnknown** AClient);

// Process-wide, filled on first use; only the host thread touches it.
struct TClientState {
  bool Bound = false;
  TGetClientInterface GetClientInterface = nullptr;
  IClient Client;
  IClientAPI_Interface ClientAPI;
  bool SuppressRead = false;
  bool Suppress = false;
};

TClientState& State() {
  // Never destroyed: the host may be gone by the time static objects die,
  // so the cached interfaces are released only by ReleaseClientAccess.
  static TClientState* state = new TClientState;
  return *state;
}

void EnsureBound() {
  if (!State().Bound)
    BindClientAccess(nullptr);
}

} // namespace

void BindClientAccess(HMODULE AHostModule) {
  ReleaseClientAccess();
  TClientState& state = State();
  const HMODULE module = AHostModule ? AHostModule : GetModuleHandleW(nullptr);
  state.GetClientInterface = module ? reinterpret_cast<TGetClientInterface>(reinterpret_cast<void*>(
                                          GetProcAddress(module, "ClientAPI_GetClientInterface")))
                                    : nullptr;
  state.Bound = true;
}

void ReleaseClientAccess() {
  TClientState& state = State();
  state.ClientAPI = IClientAPI_Interface();
  state.Client = IClient();
  state.SuppressRead = false;
  state.Suppress = false;
  state.GetClientInterface = nullptr;
  state.Bound = false;
}

IClient Client() {
  EnsureBound();
  TClientState& state = State();
  if (state.Client || !state.GetClientInterface)
    return state.Client;
  TComPtr<IUnknown> client;
  state.GetClientInterface(client.Receive());
  if (!client)
    return state.Client;
  try {
    state.Client = IClient::FromInterface(client.Get());
  } catch (const EIntfCastError&) {
    // Something that is no client is no client: asked again next time.
  }
  return state.Client;
}

IClientAPI_Interface ClientAPI() {
  TClientState& state = State();
  if (state.ClientAPI)
    return state.ClientAPI;
  const IClient client = Client();
  if (!client)
    return IClientAPI_Interface();
  const IClientAPI_Interface answer = client.GetClientAPI();
  if (answer)
    state.ClientAPI = IClientAPI_Interface::FromInterface(answer.Intf());
  return state.ClientAPI;
}

IQovWorkSpace GetQovWorkspace() {
  const IClient client = Client();
  return client ? client.GetQovWorkSpace() : IQovWorkSpace();
}

bool AreMessagesSuppressed() {
  TClientState& state = State();
  if (!state.SuppressRead) {
    const IClientAPI_Interface api = ClientAPI();
    if (!api)
      return false;
    state.Suppress = api.GetSuppressMessages();
    state.SuppressRead = true;
  }
  return state.Suppress;
}

void RunProcess(const std::wstring& ACommand, std::wstring& AParameters,
                const IServerDocumentView& AView) {
  const IClient client = Client();
  if (!client)
    return;
  // The client object serves the process launcher itself.
  client.As<IProcessLauncher>().RunCommand(ACommand, AParameters, AView);
}

IServerDocumentView GetCurrentDocumentView() {
  const IClient client = Client();
  return client ? client.GetCurrentView() : IServerDocumentView();
}

int32_t GetHostMainWindowHandle() {
  const IClient client = Client();
  return client ? client.GetMainWindowHandle() : 0;
}

std::wstring GetClientMessageSource() {
  const IClient client = Client();
  return client ? client.GetSourceName() : std::wstring();
}

namespace {

IGUIManager GuiManager() {
  const IClient client = Client();
  return client ? client.GetGUIManager() : IGUIManager();
}

} // namespace

void SetHostStatusText(int32_t AIndex, const std::wstring& AText) {
  if (const IGUIManager manager = GuiManager())
    manager.SetStatusText(AIndex, AText);
}

void ClearHostStatusText() {
  SetHostStatusText(-1, L"");
}

bool ProcessHostShortcut(WORD AKey) {
  const IGUIManager manager = GuiManager();
  if (!manager)
    return false;
  const bool handled = manager.ProcessShortcut(AKey, IsAltDown(), IsShiftDown(), IsCtrlDown());
  if (handled)
    manager.UpdateAfterShortcut();
  return handled;
}

std::wstring GetEmbeddedLibraryFolder() {
  const IClientAPI_Interface api = ClientAPI();
  return api ? api.GetEmbeddedLibraryFolder() : std::wstring();
}

std::wstring GetHostBitmapFolder() {
  const IClientAPI_Interface api = ClientAPI();
  return api ? api.GetBitmapFolder() : std::wstring();
}

std::wstring GetHostSecondBitmapFolder() {
  const IClientAPI_Interface api = ClientAPI();
  return api ? api.GetSecondBitmapFolder() : std::wstring();
}

// ---- TADStrings -------------------------------------------------------------

HRESULT TADStrings::GetCount(int32_t* AResult) {
  *AResult = int32_t(FStrings.size());
  return S_OK;
}

HRESULT TADStrings::GetItem(int32_t AIndex, std::wstring* AResult) {
  if (AIndex < 0 || size_t(AIndex) >= FStrings.size())
    throw std::out_of_range("List index out of bounds (" + std::to_string(AIndex) + ")");
  *AResult = FStrings[size_t(AIndex)];
  return S_OK;
}

HRESULT TADStrings::IndexOf(const std::wstring& AText, int32_t* AResult) {
  *AResult = -1;
  for (size_t i = 0; i < FStrings.size(); ++i) {
    if (CompareStringOrdinal(FStrings[i].c_str(), int(FStrings[i].size()), AText.c_str(),
                             int(AText.size()), TRUE) == CSTR_EQUAL) {
      *AResult = int32_t(i);
      break;
    }
  }
  return S_OK;
}

HRESULT TADStrings::Add(const std::wstring& AText, int32_t* AResult) {
  FStrings.push_back(AText);
  *AResult = int32_t(FStrings.size() - 1);
  return S_OK;
}

// ---- TNotificationHandler ---------------------------------------------------

TComPtr<TNotificationHandler> TNotificationHandler::Create(TCallback ACallback) {
  // The caller's reference is taken before the host sees the object, so a
  // host that adds and drops references while registering cannot free it.
  TComPtr<TNotificationHandler> handler(new TNotificationHandler(std::move(ACallback)));
  if (const IClient client = Client()) {
    client.AddNotificationHandler(INotificationHandler::FromDispatch(handler.Get()));
    handler->FRegistered = true;
  }
  return handler;
}

void TNotificationHandler::Destroy() {
  FHandler = nullptr;
  if (!FRegistered)
    return;
  FRegistered = false;
  // Holds the object while the host lets go of its reference.
  const TComPtr<TNotificationHandler> self(this);
  if (const IClient client = Client())
    client.RemoveNotificationHandler(INotificationHandler::FromDispatch(this));
}

HRESULT TNotificationHandler::HandleNotification(const INotification& ANotification) {
  if (!FHandler)
    return S_OK;
  try {
    FHandler(ANotification);
    return S_OK;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// ---- TTimerHandler ----------------------------------------------------------

TComPtr<TTimerHandler> TTimerHandler::Create(TCallback ACallback, uint32_t AInterval,
                                             bool AEnabled) {
  TComPtr<TTimerHandler> handler(new TTimerHandler(std::move(ACallback)));
  if (const IClient client = Client()) {
    if (const ITimerManager manager = client.GetTimerManager())
      handler->FTimerID = uint32_t(manager.AddHandler(ITimerHandler::FromDispatch(handler.Get()),
                                                      int32_t(AInterval), AEnabled));
  }
  return handler;
}

void TTimerHandler::Destroy() {
  FHandler = nullptr;
  if (FTimerID == 0)
    return;
  const uint32_t id = std::exchange(FTimerID, 0);
  const TComPtr<TTimerHandler> self(this);
  try {
    if (const IClient client = Client()) {
      if (const ITimerManager manager = client.GetTimerManager())
        manager.RemoveHandler(int32_t(id));
    }
  } catch (...) {
    // Owners destroy their timers while they go; a host that cannot answer
    // any more takes its timers with it.
  }
}

HRESULT TTimerHandler::HandleTimerEvent(uint32_t ATimerId) {
  return Guarded([&] {
    if (FHandler)
      FHandler(ATimerId);
  });
}
