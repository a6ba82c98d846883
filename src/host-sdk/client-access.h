#pragma once

// The host's client and client API, the small services built on them, and
// the string list, notification handler and timer handler the plug-in hands
// to the host. Every accessor gives an empty wrapper, and every service does
// nothing, when the host offers no client; callers test the wrapper.
// Only the host thread calls these; the caches are unguarded.

#include "contracts.h"
#include "host-records.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Module start-up: looks up ClientAPI_GetClientInterface in AHostModule
// (nullptr: the process's main program). The first accessor call does this
// by itself with the main program; binding again drops every cache.
void BindClientAccess(HMODULE AHostModule = nullptr);
// Module shutdown: releases the cached client and client API and forgets
// the suppress-messages flag. The next accessor call binds again.
void ReleaseClientAccess();

// The host's client; an empty answer is not cached, so a later call asks
// the host again.
IClient Client();
// The client's companion interface, cached on first success.
IClientAPI_Interface ClientAPI();
IQovWorkSpace GetQovWorkspace();
// Read once from the first client API found, then kept for the module's life.
bool AreMessagesSuppressed();

// Runs a host process ("SERVER:Process") with a parameter string; the text
// the host hands back replaces AParameters.
void RunProcess(const std::wstring& ACommand, std::wstring& AParameters,
                const IServerDocumentView& AView = IServerDocumentView());
IServerDocumentView GetCurrentDocumentView();
int32_t GetHostMainWindowHandle();
std::wstring GetClientMessageSource();
void SetHostStatusText(int32_t AIndex, const std::wstring& AText);
void ClearHostStatusText();
// Offers a key to the host as a shortcut (with the Alt, Shift and Ctrl
// states); the host's answer, followed by its update when True.
bool ProcessHostShortcut(WORD AKey);
std::wstring GetEmbeddedLibraryFolder();
std::wstring GetHostBitmapFolder();
std::wstring GetHostSecondBitmapFolder();

// A string list handed to the host as IStrings. The creator fills Strings()
// before handing it out. Created with no reference; TComPtr takes one.
class TADStrings : public TAbstractStrings {
public:
  std::vector<std::wstring>& Strings() { return FStrings; }

  HRESULT GetCount(int32_t* AResult) override;
  // An index outside the list fails the host's call.
  HRESULT GetItem(int32_t AIndex, std::wstring* AResult) override;
  // The first string equal to AText ignoring letter case, or -1.
  HRESULT IndexOf(const std::wstring& AText, int32_t* AResult) override;
  HRESULT Add(const std::wstring& AText, int32_t* AResult) override;

private:
  std::vector<std::wstring> FStrings;
};

// Registered with the client from Create until Destroy; the host's
// notifications reach the callback. The caller keeps the returned reference
// and calls Destroy when done (the client holds a reference while the
// handler is registered, so release alone never unregisters it).
class TNotificationHandler : public TAbstractNotificationHandler {
public:
  using TCallback = std::function<void(const INotification& ANotification)>;

  static TComPtr<TNotificationHandler> Create(TCallback ACallback);
  // Unregisters from the client (once) and drops the callback.
  void Destroy();
  bool IsRegistered() const { return FRegistered; }

  // A failure the callback raises makes the host's call fail with E_UNEXPECTED.
  HRESULT HandleNotification(const INotification& ANotification) override;

private:
  explicit TNotificationHandler(TCallback ACallback) : FHandler(std::move(ACallback)) {}
  TCallback FHandler;
  bool FRegistered = false;
};

// A host timer from Create until Destroy. Without a client the timer id is
// 0 and the timer never fires.
class TTimerHandler : public TAbstractTimerHandler {
public:
  using TCallback = std::function<void(uint32_t ATimerId)>;

  static TComPtr<TTimerHandler> Create(TCallback ACallback, uint32_t AInterval, bool AEnabled);
  // Removes the host timer (once) and drops the callback; never raises, so
  // owners may call it while they are destroyed.
  void Destroy();
  uint32_t TimerID() const { return FTimerID; }

  // A failure the callback raises makes the host's call fail with E_UNEXPECTED.
  HRESULT HandleTimerEvent(uint32_t ATimerId) override;

private:
  explicit TTimerHandler(TCallback ACallback) : FHandler(std::move(ACallback)) {}
  uint32_t FTimerID = 0;
  TCallback FHandler;
};
