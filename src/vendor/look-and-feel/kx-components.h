#pragma once

// The general-purpose classes the newer control generation builds on: a
// component base, timers that all run on one hidden window, a component
// that rescales itself to the screen's DPI, an object list that may own its
// objects, a collection of event handlers, two class registries and weak
// object links that are cleared when their target goes.

#include "gx-core.h"

#include "application.h"
#include "classes.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// ---- Class references --------------------------------------------------------

// A class as the registries see it: its name, its parent (nullptr at the
// root) and, for a class that can be made by name, how to make one.
struct TkxClassInfo {
  const wchar_t* Name;
  const TkxClassInfo* Parent;
  TPersistent* (*Create)(TComponent* AOwner);
};
using TkxClass = const TkxClassInfo*;
// Whether AClass is AAncestor or derived from it.
bool KxInheritsFrom(TkxClass AClass, TkxClass AAncestor);

// ---- Components ----------------------------------------------------------------

class TkxComponent : public TComponent {
public:
  explicit TkxComponent(TComponent* AOwner) : TComponent(AOwner) {}
  // Weak links to this component are cleared before it goes.
  ~TkxComponent() override;
  std::wstring ClassName() const override { return L"TkxComponent"; }
  bool IsDesigning() const { return ComponentState().Contains(csDesigning); }
  bool IsDestroying() const { return ComponentState().Contains(csDestroying); }
  void BeforeDestruction() override;
  void Loaded() override;
  TComponent* FakeComponentLink(int AIndex) const;

protected:
  // The components this one depends on while designing.
  virtual void CollectLinkedComponents(std::vector<TComponent*>& /*AList*/) {}

private:
  void UpdateFakeComponentLinks();
  TComponent* FFakeComponentLink1 = nullptr;
  TComponent* FFakeComponentLink2 = nullptr;
  TComponent* FFakeComponentLink3 = nullptr;
};

// A timer whose WM_TIMER arrives at the library's one timer window, with
// the object's own address as its id. It runs while enabled and handled.
class TkxTimer : public TComponent {
public:
  explicit TkxTimer(TComponent* AOwner);
  ~TkxTimer() override;
  std::wstring ClassName() const override { return L"TkxTimer"; }

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool AValue);
  // Milliseconds; 0 is ignored.
  unsigned Interval() const { return FInterval; }
  void SetInterval(unsigned AValue);
  const TkxNotifyEvent& OnTimer() const { return FOnTimer; }
  // Always restarts, so a handler given to an enabled timer starts it.
  void SetOnTimer(TkxNotifyEvent AValue);
  UINT_PTR EventID() const { return FEventID; }
  bool TimerOn() const { return FTimerOn; }
  // Fires OnTimer; the timer window calls it.
  virtual void TimerElapsed();

private:
  bool CanStartTimer() const { return FEnabled && !FTimerOn && bool(FOnTimer); }
  void RestartTimer();
  void StartTimer();
  void StopTimer();

  bool FEnabled = true;
  UINT_PTR FEventID;
  unsigned FInterval = 1000;
  bool FTimerOn = false;
  TkxNotifyEvent FOnTimer;
};
// An ownerless timer set up as Enabled, Interval, OnTimer in that order.
TkxTimer* CreateTimer(unsigned AInterval, bool AEnabled, TkxNotifyEvent AOnTimer);
// The timer window, or nullptr while no timer needed one.
HWND kxTimerWindow();
// The ids of the timers running now.
size_t kxRunningTimerCount();

// A component that rescales its sizes when it is loaded on a screen of
// another DPI than the one it was made for.
class TkxScalableComponent : public TkxComponent {
public:
  explicit TkxScalableComponent(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TkxScalableComponent"; }
  // The DPI the sizes were made for (stored as "PixelsPerInch").
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int AValue) { FPixelsPerInch = AValue; }
  bool Scalable() const { return FScalable; }
  void SetScalable(bool AValue) { FScalable = AValue; }
  void Loaded() override;

protected:
  virtual void ChangeScale(int /*ANewDPI*/, int /*AOldDPI*/) {}

private:
  int FPixelsPerInch;
  bool FScalable = true;
};
// The screen's horizontal DPI.
int KxScreenDPI();

// ---- Lists and handlers -----------------------------------------------------------

// A list of objects that frees them on Clear and at its end when it owns
// them.
class TkxObjectList : public TList {
public:
  explicit TkxObjectList(bool AOwnObjects) : FOwnObjects(AOwnObjects) {}
  ~TkxObjectList() override;
  void Clear() override;
  TPersistent* GetItem(int AIndex) const { return static_cast<TPersistent*>(Get(AIndex)); }
  int Add(TPersistent* AObject) { return TList::Add(AObject); }
  bool OwnObjects() const { return FOwnObjects; }
  // Frees the object and drops its entry, owning or not.
  void FreeAndDelete(int AIndex);
  // The object's former index, or -1 (nothing freed) when it is not listed.
  int FreeAndRemove(TPersistent* AObject);

private:
  bool FOwnObjects;
};

// A handler of the collection: a procedure and the object it works on;
// two handlers are the same when both are.
using TkxEventProc = void (*)(void* AData, TPersistent* ASender, const void* AEventArgs);
struct TkxEventHandler {
  TkxEventProc Code = nullptr;
  void* Data = nullptr;
  // A handler that calls AMethod of AObject with (sender, event arguments).
  template <typename T, void (T::*AMethod)(TPersistent*, const void*)>
  static TkxEventHandler Of(T* AObject) {
    return {[](void* AData, TPersistent* ASender, const void* AArgs) {
              (static_cast<T*>(AData)->*AMethod)(ASender, AArgs);
            },
            AObject};
  }
  bool operator==(const TkxEventHandler& AOther) const {
    return Code == AOther.Code && Data == AOther.Data;
  }
};

class TkxEventHandlerCollection {
public:
  // Nothing when the same handler is listed.
  void Add(const TkxEventHandler& AEvent);
  void Remove(const TkxEventHandler& AEvent);
  // An index out of range is ignored.
  void Delete(int AIndex);
  int Count() const { return int(FEvents.size()); }
  // Every handler from the first; the count is taken once at the start.
  void CallEvents(TPersistent* ASender, const void* AEventArgs);
  // With zeroed arguments.
  void CallEvents(TPersistent* ASender);

private:
  std::vector<TkxEventHandler> FEvents;
};

// ---- Class registries -----------------------------------------------------------

// Item classes with the class registered for each; a question about a
// class is answered by its nearest registered ancestor, the latest
// registration first.
class TkxRegisteredClassList {
public:
  TkxRegisteredClassList() = default;
  TkxRegisteredClassList(const TkxRegisteredClassList&) = delete;
  TkxRegisteredClassList& operator=(const TkxRegisteredClassList&) = delete;
  virtual ~TkxRegisteredClassList() = default;

  virtual bool Find(TkxClass AItemClass, int& AIndex) const;
  virtual void Register(TkxClass AItemClass, TkxClass ARegisteredClass);
  // Drops every entry of exactly that pair.
  virtual void Unregister(TkxClass AItemClass, TkxClass ARegisteredClass);
  TkxClass FindClass(TkxClass AItemClass) const;
  void Clear() { FItems.clear(); }
  int Count() const { return int(FItems.size()); }
  TkxClass ItemClass(int AIndex) const { return FItems.at(size_t(AIndex)).ItemClass; }
  TkxClass RegisteredClass(int AIndex) const { return FItems.at(size_t(AIndex)).RegisteredClass; }

private:
  struct TItemData {
    TkxClass ItemClass;
    TkxClass RegisteredClass;
  };
  std::vector<TItemData> FItems;
};

// Classes with a description and a hint ("description|hint"), optionally
// also registered with the streaming class registry.
class TkxRegisteredClasses {
public:
  explicit TkxRegisteredClasses(bool ARegisterClasses = false)
      : FRegisterClasses(ARegisterClasses) {}
  TkxRegisteredClasses(const TkxRegisteredClasses&) = delete;
  TkxRegisteredClasses& operator=(const TkxRegisteredClasses&) = delete;
  virtual ~TkxRegisteredClasses() = default;

  // A class already listed is ignored.
  void Register(TkxClass AClass, const std::wstring& ADescription);
  // The streaming registration stays.
  void Unregister(TkxClass AClass);
  void Clear() { FItems.clear(); }
  int Count() const { return int(FItems.size()); }
  int GetIndexByClass(TkxClass AClass) const;
  TkxClass GetRegisteredClass(int AIndex) const { return FItems.at(size_t(AIndex)).Class; }
  std::wstring GetDescription(int AIndex) const;
  std::wstring GetHint(int AIndex) const;
  TkxClass FindByClassName(const std::wstring& AClassName) const;
  TkxClass FindByDescription(const std::wstring& ADescription) const;
  std::wstring GetDescriptionByClass(TkxClass AClass) const;
  std::wstring GetHintByClass(TkxClass AClass) const;
  bool Sorted() const { return FSorted; }
  void SetSorted(bool AValue);
  virtual void Sort();

protected:
  // By description, ignoring case in the user's locale.
  virtual int CompareItems(int AIndex1, int AIndex2) const;

private:
  struct TItem {
    std::wstring Text;
    TkxClass Class;
  };
  std::vector<TItem> FItems;
  bool FRegisterClasses;
  bool FSorted = false;
};
// The text before the first "|" (all of it without one), and after it
// (all of it without one).
std::wstring ExtractDescription(const std::wstring& AText);
std::wstring ExtractHint(const std::wstring& AText);

// ---- Weak object links ------------------------------------------------------------

// A link whose Ref goes nil when its target is cleared (ClearObjectLinks).
struct TkxObjectLink {
  const void* Ref;
};
// nullptr for nullptr.
TkxObjectLink* CreateObjectLink(const void* AObject);
void ReleaseObjectLink(TkxObjectLink* ALink);
void ClearObjectLinks(const void* AObject);
// Whether the process-wide link controller exists.
bool ObjectLinkControllerExists();

// ---- Small routines ----------------------------------------------------------------

inline void FireNotifyEvent(TPersistent* ASender, const TkxNotifyEvent& AEvent) {
  InvokeNotifyEvent(ASender, AEvent);
}
inline TPersistent* GetPersistentOwner(const TPersistent* APersistent) {
  return APersistent ? APersistent->GetOwner() : nullptr;
}
inline SIZE MakeSize(int cx, int cy) {
  return {cx, cy};
}
// floor((A + B) / 2).
int RangeMidpoint(int A, int B);
// 1 for 0 and above, -1 below.
inline int DirectionSign(int X) {
  return X >= 0 ? 1 : -1;
}
// Bytes from the character at the 1-based AIndex to the next one; 0 past
// the text.
int GetCharByteLength(const std::wstring& S, int AIndex);

// The unit's start-up and shut-down.
void kxClassesStartup();
void kxClassesShutdown();
