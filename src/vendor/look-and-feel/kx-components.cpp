#include "kx-components.h"

#include "kept-objects.h"

#include "resource-ledger.h"

#include <algorithm>

bool KxInheritsFrom(TkxClass AClass, TkxClass AAncestor) {
  for (TkxClass c = AClass; c; c = c->Parent)
    if (c == AAncestor)
      return true;
  return false;
}

namespace {

// ---- The timer window ------------------------------------------------------------

bool GFinalizing = false;
std::vector<UINT_PTR> GRunningTimers;

// The library's hidden window on which every timer runs: a WM_TIMER of a
// running timer goes to that timer, one of any other id is dropped.
class TkxTimerWindow {
public:
  TkxTimerWindow()
      : FWindow([this](UINT AMsg, WPARAM AWParam, LPARAM ALParam, LRESULT& AResult) {
          return WndProc(AMsg, AWParam, ALParam, AResult);
        }) {}
  HWND Handle() const { return FWindow.Handle(); }

private:
  bool WndProc(UINT AMsg, WPARAM AWParam, LPARAM, LRESULT& AResult) {
    if (AMsg != WM_TIMER)
      return false;
    AResult = 0;
    const UINT_PTR id = UINT_PTR(AWParam);
    if (std::find(GRunningTimers.begin(), GRunningTimers.end(), id) != GRunningTimers.end())
      reinterpret_cast<TkxTimer*>(id)->TimerElapsed();
    return true;
  }
  THiddenWindow FWindow;
};
std::unique_ptr<TkxTimerWindow>& GTimerWindow = Kept<TkxTimerWindow>();

// The window, made on first need unless the library is shutting down.
TkxTimerWindow* TimerWindow() {
  if (!GTimerWindow && !GFinalizing)
    GTimerWindow = std::make_unique<TkxTimerWindow>();
  return GTimerWindow.get();
}

// Takes the id out of the running list and the system's timers; answers
// whether it was running.
bool StopRunningTimer(UINT_PTR AId) {
  const auto found = std::find(GRunningTimers.begin(), GRunningTimers.end(), AId);
  if (found == GRunningTimers.end())
    return false;
  GRunningTimers.erase(found);
  if (GTimerWindow)
    KillTimer(GTimerWindow->Handle(), AId);
  TResourceLedger::Give(TResourceKind::Timer, AId);
  return true;
}

// ---- Object links ------------------------------------------------------------------

struct TkxObjectLinkController {
  std::vector<TkxObjectLink*> Links;
};
std::unique_ptr<TkxObjectLinkController>& GLinkController = Kept<TkxObjectLinkController>();
int GLinkUses = 0;

int CompareTextInLocale(const std::wstring& A, const std::wstring& B) {
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, A.c_str(), int(A.size()), B.c_str(),
                        int(B.size())) -
         CSTR_EQUAL;
}

} // namespace

// ---- TkxComponent ------------------------------------------------------------------

TkxComponent::~TkxComponent() {
  ClearObjectLinks(this);
}

void TkxComponent::BeforeDestruction() {
  if (!IsDestroying())
    TComponent::BeforeDestruction();
}

void TkxComponent::Loaded() {
  TComponent::Loaded();
  UpdateFakeComponentLinks();
}

TComponent* TkxComponent::FakeComponentLink(int AIndex) const {
  const TComponent* const links[] = {FFakeComponentLink1, FFakeComponentLink2, FFakeComponentLink3};
  return AIndex >= 0 && AIndex < 3 ? const_cast<TComponent*>(links[AIndex]) : nullptr;
}

void TkxComponent::UpdateFakeComponentLinks() {
  if (!IsDesigning() || IsDestroying() || !Owner())
    return;
  std::vector<TComponent*> list;
  CollectLinkedComponents(list);
  FFakeComponentLink1 = list.size() > 0 ? list[0] : nullptr;
  FFakeComponentLink2 = list.size() > 1 ? list[1] : nullptr;
  FFakeComponentLink3 = list.size() > 2 ? list[2] : nullptr;
}

// ---- TkxTimer ----------------------------------------------------------------------

TkxTimer::TkxTimer(TComponent* AOwner)
    : TComponent(AOwner), FEventID(reinterpret_cast<UINT_PTR>(this)) {}

TkxTimer::~TkxTimer() {
  StopTimer();
}

void TkxTimer::SetEnabled(bool AValue) {
  if (FEnabled == AValue)
    return;
  FEnabled = AValue;
  RestartTimer();
}

void TkxTimer::SetInterval(unsigned AValue) {
  if (AValue == 0 || AValue == FInterval)
    return;
  FInterval = AValue;
  RestartTimer();
}

void TkxTimer::SetOnTimer(TkxNotifyEvent AValue) {
  FOnTimer = std::move(AValue);
  RestartTimer();
}

void TkxTimer::TimerElapsed() {
  if (FOnTimer)
    FOnTimer(this);
}

void TkxTimer::RestartTimer() {
  StopTimer();
  StartTimer();
}

void TkxTimer::StartTimer() {
  if (!CanStartTimer())
    return;
  TkxTimerWindow* window = TimerWindow();
  if (!window)
    return;
  FTimerOn = SetTimer(window->Handle(), FEventID, FInterval, nullptr) != 0;
  if (FTimerOn) {
    GRunningTimers.push_back(FEventID);
    TResourceLedger::Take(TResourceKind::Timer, FEventID);
  }
}

void TkxTimer::StopTimer() {
  if (!FTimerOn)
    return;
  // The library's shut-down may have stopped it already with its window.
  StopRunningTimer(FEventID);
  FTimerOn = false;
}

TkxTimer* CreateTimer(unsigned AInterval, bool AEnabled, TkxNotifyEvent AOnTimer) {
  auto* timer = new TkxTimer(nullptr);
  timer->SetEnabled(AEnabled);
  timer->SetInterval(AInterval);
  timer->SetOnTimer(std::move(AOnTimer));
  return timer;
}

HWND kxTimerWindow() {
  return GTimerWindow ? GTimerWindow->Handle() : nullptr;
}

size_t kxRunningTimerCount() {
  return GRunningTimers.size();
}

// ---- TkxScalableComponent ------------------------------------------------------------

int KxScreenDPI() {
  int dpi = 96;
  if (const HDC dc = GetDC(nullptr)) {
    dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
  }
  return dpi;
}

TkxScalableComponent::TkxScalableComponent(TComponent* AOwner)
    : TkxComponent(AOwner), FPixelsPerInch(KxScreenDPI()) {}

void TkxScalableComponent::Loaded() {
  TkxComponent::Loaded();
  const int current = KxScreenDPI();
  if (FScalable && FPixelsPerInch != current)
    ChangeScale(current, FPixelsPerInch);
  FPixelsPerInch = current;
}

// ---- TkxObjectList -------------------------------------------------------------------

TkxObjectList::~TkxObjectList() {
  TkxObjectList::Clear();
}

void TkxObjectList::Clear() {
  if (FOwnObjects)
    for (int i = 0; i < Count(); ++i)
      delete GetItem(i);
  TList::Clear();
}

void TkxObjectList::FreeAndDelete(int AIndex) {
  TPersistent* object = GetItem(AIndex);
  Delete(AIndex);
  delete object;
}

int TkxObjectList::FreeAndRemove(TPersistent* AObject) {
  const int index = IndexOf(AObject);
  if (index >= 0)
    FreeAndDelete(index);
  return index;
}

// ---- TkxEventHandlerCollection -------------------------------------------------------

void TkxEventHandlerCollection::Add(const TkxEventHandler& AEvent) {
  if (std::find(FEvents.begin(), FEvents.end(), AEvent) == FEvents.end())
    FEvents.push_back(AEvent);
}

void TkxEventHandlerCollection::Remove(const TkxEventHandler& AEvent) {
  const auto found = std::find(FEvents.begin(), FEvents.end(), AEvent);
  if (found != FEvents.end())
    FEvents.erase(found);
}

void TkxEventHandlerCollection::Delete(int AIndex) {
  if (AIndex >= 0 && AIndex < Count())
    FEvents.erase(FEvents.begin() + AIndex);
}

void TkxEventHandlerCollection::CallEvents(TPersistent* ASender, const void* AEventArgs) {
  // A handler that removes handlers while the walk goes on shortens it: no
  // index past the current end is read.
  const size_t count = FEvents.size();
  for (size_t i = 0; i < count && i < FEvents.size(); ++i) {
    const TkxEventHandler handler = FEvents[i];
    if (handler.Code)
      handler.Code(handler.Data, ASender, AEventArgs);
  }
}

void TkxEventHandlerCollection::CallEvents(TPersistent* ASender) {
  const intptr_t zeroed[8] = {};
  CallEvents(ASender, zeroed);
}

// ---- TkxRegisteredClassList ------------------------------------------------------------

bool TkxRegisteredClassList::Find(TkxClass AItemClass, int& AIndex) const {
  AIndex = -1;
  for (int i = Count() - 1; i >= 0; --i) {
    const TkxClass itemClass = FItems[size_t(i)].ItemClass;
    if (KxInheritsFrom(AItemClass, itemClass)) {
      AIndex = i;
      return true;
    }
    if (KxInheritsFrom(itemClass, AItemClass))
      AIndex = i;
  }
  return false;
}

void TkxRegisteredClassList::Register(TkxClass AItemClass, TkxClass ARegisteredClass) {
  int index = -1;
  if (Find(AItemClass, index))
    ++index;
  else if (index < 0)
    index = Count();
  FItems.insert(FItems.begin() + index, {AItemClass, ARegisteredClass});
}

void TkxRegisteredClassList::Unregister(TkxClass AItemClass, TkxClass ARegisteredClass) {
  FItems.erase(std::remove_if(FItems.begin(), FItems.end(),
                              [&](const TItemData& AItem) {
                                return AItem.ItemClass == AItemClass &&
                                       AItem.RegisteredClass == ARegisteredClass;
                              }),
               FItems.end());
}

TkxClass TkxRegisteredClassList::FindClass(TkxClass AItemClass) const {
  int index = -1;
  return Find(AItemClass, index) ? FItems[size_t(index)].RegisteredClass : nullptr;
}

// ---- TkxRegisteredClasses ----------------------------------------------------------------

std::wstring ExtractDescription(const std::wstring& AText) {
  const size_t bar = AText.find(L'|');
  return bar == std::wstring::npos ? AText : AText.substr(0, bar);
}

std::wstring ExtractHint(const std::wstring& AText) {
  const size_t bar = AText.find(L'|');
  return bar == std::wstring::npos ? AText : AText.substr(bar + 1);
}

void TkxRegisteredClasses::Register(TkxClass AClass, const std::wstring& ADescription) {
  if (!AClass || GetIndexByClass(AClass) >= 0)
    return;
  FItems.push_back({ADescription, AClass});
  if (FSorted)
    Sort();
  // The streaming registry holds one entry per name: a class some other
  // registry listed first stays as it is.
  if (FRegisterClasses && AClass->Create && !TClassRegistry::IsRegistered(AClass->Name))
    TClassRegistry::Register(AClass->Name, AClass->Create);
}

void TkxRegisteredClasses::Unregister(TkxClass AClass) {
  const int index = GetIndexByClass(AClass);
  if (index >= 0)
    FItems.erase(FItems.begin() + index);
}

int TkxRegisteredClasses::GetIndexByClass(TkxClass AClass) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].Class == AClass)
      return int(i);
  return -1;
}

std::wstring TkxRegisteredClasses::GetDescription(int AIndex) const {
  return ExtractDescription(FItems.at(size_t(AIndex)).Text);
}

std::wstring TkxRegisteredClasses::GetHint(int AIndex) const {
  return ExtractHint(FItems.at(size_t(AIndex)).Text);
}

TkxClass TkxRegisteredClasses::FindByClassName(const std::wstring& AClassName) const {
  for (const TItem& item : FItems)
    if (item.Class->Name == AClassName)
      return item.Class;
  return nullptr;
}

TkxClass TkxRegisteredClasses::FindByDescription(const std::wstring& ADescription) const {
  if (ADescription.empty())
    return nullptr;
  for (const TItem& item : FItems)
    if (ExtractDescription(item.Text) == ADescription)
      return item.Class;
  return nullptr;
}

std::wstring TkxRegisteredClasses::GetDescriptionByClass(TkxClass AClass) const {
  const int index = GetIndexByClass(AClass);
  return index >= 0 ? GetDescription(index) : L"";
}

std::wstring TkxRegisteredClasses::GetHintByClass(TkxClass AClass) const {
  const int index = GetIndexByClass(AClass);
  return index >= 0 ? GetHint(index) : L"";
}

void TkxRegisteredClasses::SetSorted(bool AValue) {
  if (FSorted == AValue)
    return;
  FSorted = AValue;
  if (FSorted)
    Sort();
}

int TkxRegisteredClasses::CompareItems(int AIndex1, int AIndex2) const {
  return CompareTextInLocale(GetDescription(AIndex1), GetDescription(AIndex2));
}

void TkxRegisteredClasses::Sort() {
  // Sorting by index: order a permutation, then apply it.
  std::vector<int> order(FItems.size());
  for (size_t i = 0; i < order.size(); ++i)
    order[i] = int(i);
  std::stable_sort(order.begin(), order.end(),
                   [this](int A, int B) { return CompareItems(A, B) < 0; });
  std::vector<TItem> sorted;
  sorted.reserve(FItems.size());
  for (const int index : order)
    sorted.push_back(FItems[size_t(index)]);
  FItems = std::move(sorted);
}

// ---- Object links ----------------------------------------------------------------------

TkxObjectLink* CreateObjectLink(const void* AObject) {
  if (!AObject)
    return nullptr;
  if (GLinkUses++ == 0 || !GLinkController)
    GLinkController = std::make_unique<TkxObjectLinkController>();
  auto* link = new TkxObjectLink{AObject};
  GLinkController->Links.push_back(link);
  return link;
}

void ReleaseObjectLink(TkxObjectLink* ALink) {
  if (!ALink)
    return;
  if (ALink->Ref && GLinkController) {
    auto& links = GLinkController->Links;
    const auto found = std::find(links.begin(), links.end(), ALink);
    if (found != links.end())
      links.erase(found);
  }
  delete ALink;
  if (GLinkUses > 0 && --GLinkUses == 0)
    GLinkController.reset();
}

void ClearObjectLinks(const void* AObject) {
  if (!GLinkController || !AObject)
    return;
  auto& links = GLinkController->Links;
  for (TkxObjectLink* link : links)
    if (link->Ref == AObject)
      link->Ref = nullptr;
  links.erase(std::remove_if(links.begin(), links.end(),
                             [](const TkxObjectLink* ALink) { return !ALink->Ref; }),
              links.end());
}

bool ObjectLinkControllerExists() {
  return GLinkController != nullptr;
}

// ---- Small routines ----------------------------------------------------------------------

int RangeMidpoint(int A, int B) {
  const int64_t sum = int64_t(A) + B;
  return int(sum >= 0 ? sum / 2 : -((-sum + 1) / 2));
}

int GetCharByteLength(const std::wstring& S, int AIndex) {
  if (AIndex < 1 || size_t(AIndex) > S.size())
    return 0;
  const wchar_t* at = S.c_str() + (AIndex - 1);
  const wchar_t* next = CharNextW(at);
  return int(next - at) * int(sizeof(wchar_t));
}

// ---- The unit ------------------------------------------------------------------------------

void kxClassesStartup() {
  GFinalizing = false;
  // The control class's class group has no counterpart in this framework:
  // classes are made by name through the streaming registry alone.
}

void kxClassesShutdown() {
  GFinalizing = true;
  // The system's timers die with the window; their ids leave the list so
  // that a timer stopped later finds nothing to give back.
  while (!GRunningTimers.empty())
    StopRunningTimer(GRunningTimers.back());
  GRunningTimers.shrink_to_fit();
  GTimerWindow.reset();
  // A translation names strings of this module: none outlives it.
  ReleaseResStringTranslations();
}
