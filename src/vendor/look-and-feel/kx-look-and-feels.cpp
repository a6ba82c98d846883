#include "kx-look-and-feels.h"

#include "kept-objects.h"
#include "gx-office11.h"

#include "application.h"
#include "seams.h"
#include "unit-steps.h"

#include <algorithm>

namespace {

std::unique_ptr<TkxLookAndFeelPaintersManager>& GManager = Kept<TkxLookAndFeelPaintersManager>();
std::unique_ptr<TkxSystemPaletteChangedNotifier>& GPaintersNotifier =
    Kept<TkxSystemPaletteChangedNotifier>();
TkxLookAndFeel* GRoot = nullptr;

int CompareIgnoringCase(const std::wstring& A, const std::wstring& B) {
  return CompareStringOrdinal(A.c_str(), int(A.size()), B.c_str(), int(B.size()), TRUE) -
         CSTR_EQUAL;
}

// ---- The palette listener ------------------------------------------------

struct TPaletteListener {
  std::vector<TkxSystemPaletteChangedNotifier*> Primary, Others;
  std::unique_ptr<THiddenWindow> Window;
};
std::unique_ptr<TPaletteListener>& GListener = Kept<TPaletteListener>();
int GListenerUses = 0;

void NotifyPaletteNotifiers() {
  RefreshOffice11Colors();
  if (!GListener)
    return;
  // Copies: a notifier may go away while hearing of the change.
  for (const auto* list : {&GListener->Primary, &GListener->Others}) {
    const std::vector<TkxSystemPaletteChangedNotifier*> notifiers = *list;
    for (auto it = notifiers.rbegin(); it != notifiers.rend(); ++it)
      if (GListener && std::find(list->begin(), list->end(), *it) != list->end())
        (*it)->NotifyPaletteChanged();
  }
}

void AcquirePaletteListener() {
  if (GListenerUses++ != 0)
    return;
  AcquireOffice11Colors();
  GListener = std::make_unique<TPaletteListener>();
  GListener->Window = std::make_unique<THiddenWindow>([](UINT AMsg, WPARAM, LPARAM, LRESULT&) {
    if (AMsg == WM_SYSCOLORCHANGE)
      NotifyPaletteNotifiers();
    return false; // every message is answered by the default procedure
  });
}

void ReleasePaletteListener() {
  if (GListenerUses == 0 || --GListenerUses != 0)
    return;
  GListener.reset();
  ReleaseOffice11ColorUse();
}

// The painters unit's notifier: the painters' shared images follow the
// system colours.
class TSystemPaletteChangedNotifier : public TkxSystemPaletteChangedNotifier {
public:
  TSystemPaletteChangedNotifier() : TkxSystemPaletteChangedNotifier(true) {}
};

// ---- Desktop composition -------------------------------------------------

std::unique_ptr<TSystemLibrary>& GDwmApi = Kept<TSystemLibrary>();
void* GDwmFunctions[std::size(kDwmFunctionNames)] = {};

} // namespace

// ---- Painters manager ----------------------------------------------------

TkxLookAndFeelPaintersManager::~TkxLookAndFeelPaintersManager() {
  while (!FPainters.empty())
    Unregister(FPainters.back()->LookAndFeelName());
}

bool TkxLookAndFeelPaintersManager::Register(TkxCustomLookAndFeelPainter* APainter) {
  std::unique_ptr<TkxCustomLookAndFeelPainter> painter(APainter);
  if (!painter || GetPainter(painter->LookAndFeelName()))
    return false;
  const std::wstring name = painter->LookAndFeelName();
  FPainters.push_back(std::move(painter));
  std::stable_sort(FPainters.begin(), FPainters.end(), [](const auto& A, const auto& B) {
    const std::wstring a = A->LookAndFeelName(), b = B->LookAndFeelName();
    return CompareStringW(LOCALE_USER_DEFAULT, 0, a.c_str(), int(a.size()), b.c_str(),
                          int(b.size())) == CSTR_LESS_THAN;
  });
  LedgerRegistration(L"Painter", name.c_str(), true);
  return true;
}

bool TkxLookAndFeelPaintersManager::Unregister(const std::wstring& AName) {
  for (auto it = FPainters.begin(); it != FPainters.end(); ++it) {
    if (CompareIgnoringCase((*it)->LookAndFeelName(), AName) == 0) {
      const std::wstring name = (*it)->LookAndFeelName();
      FPainters.erase(it);
      LedgerRegistration(L"Painter", name.c_str(), false);
      return true;
    }
  }
  return false;
}

TkxCustomLookAndFeelPainter*
TkxLookAndFeelPaintersManager::GetPainter(TkxLookAndFeelStyle AStyle) const {
  for (const auto& painter : FPainters)
    if (painter->LookAndFeelStyle() == AStyle)
      return painter.get();
  return nullptr;
}

TkxCustomLookAndFeelPainter*
TkxLookAndFeelPaintersManager::GetPainter(const std::wstring& AName) const {
  // The base painter has no name and so is never found by one.
  if (AName.empty())
    return nullptr;
  for (const auto& painter : FPainters)
    if (CompareIgnoringCase(painter->LookAndFeelName(), AName) == 0)
      return painter.get();
  return nullptr;
}

TkxLookAndFeelPaintersManager* PaintersManager() {
  return GManager.get();
}

// ---- Palette notifiers ---------------------------------------------------

TkxSystemPaletteChangedNotifier::TkxSystemPaletteChangedNotifier(bool AIsPrimary)
    : FIsPrimary(AIsPrimary) {
  AcquirePaletteListener();
  (FIsPrimary ? GListener->Primary : GListener->Others).push_back(this);
}

TkxSystemPaletteChangedNotifier::~TkxSystemPaletteChangedNotifier() {
  if (GListener) {
    auto& list = FIsPrimary ? GListener->Primary : GListener->Others;
    const auto found = std::find(list.begin(), list.end(), this);
    if (found != list.end())
      list.erase(found);
  }
  ReleasePaletteListener();
}

void TkxSystemPaletteChangedNotifier::NotifyPaletteChanged() {
  if (OnSystemPaletteChanged)
    OnSystemPaletteChanged();
}

HWND PaletteListenerWindow() {
  return GListener && GListener->Window ? GListener->Window->Handle() : nullptr;
}

// ---- Look and feel -------------------------------------------------------

TkxLookAndFeel::TkxLookAndFeel() {
  FPaletteNotifier = std::make_unique<TkxSystemPaletteChangedNotifier>(false);
  FPaletteNotifier->OnSystemPaletteChanged = [this] { UpdatePainter(); };
  if (GRoot) {
    FKind = GRoot->Kind();
    FNativeStyle = GRoot->NativeStyle();
  }
  UpdatePainter();
}

TkxLookAndFeel::~TkxLookAndFeel() {
  FPaletteNotifier.reset();
  if (GRoot == this)
    GRoot = nullptr;
}

TkxLookAndFeelStyle TkxLookAndFeel::ActiveStyle() const {
  if (FNativeStyle && IsThemingUsable())
    return lfsNative;
  constexpr TkxLookAndFeelStyle kStyleOfKind[] = {lfsFlat, lfsStandard, lfsUltraFlat, lfsOffice11};
  return kStyleOfKind[FKind];
}

void TkxLookAndFeel::UpdatePainter() {
  FPainter = GManager ? GManager->GetPainter(ActiveStyle()) : nullptr;
}

TkxLookAndFeel* GetRootLookAndFeel() {
  return GRoot;
}

// ---- Library strings -----------------------------------------------------

const TResourceString skxCantCreateRegistryKey{L"Can't create the registry key: \\%s"};
const TResourceString skxCantOpenRegistryKey{L"Can't open the registry key: \\%s"};
const TResourceString skxErrorStoreObject{L"Error store %s object"};
const TResourceString skxConverterCantCreateStyleRepository{L"Can't create the Style Repository"};
const TResourceString skxLockedStateText{L"Please wait..."};
const TResourceString kxSDateToday{L"today"};
const TResourceString kxSDateYesterday{L"yesterday"};
const TResourceString kxSDateTomorrow{L"tomorrow"};
const TResourceString kxSDateSunday{L"Sunday"};
const TResourceString kxSDateMonday{L"Monday"};
const TResourceString kxSDateTuesday{L"Tuesday"};
const TResourceString kxSDateWednesday{L"Wednesday"};
const TResourceString kxSDateThursday{L"Thursday"};
const TResourceString kxSDateFriday{L"Friday"};
const TResourceString kxSDateSaturday{L"Saturday"};
const TResourceString kxSDateFirst{L"first"};
const TResourceString kxSDateSecond{L"second"};
const TResourceString kxSDateThird{L"third"};
const TResourceString kxSDateFourth{L"fourth"};
const TResourceString kxSDateFifth{L"fifth"};
const TResourceString kxSDateSixth{L"sixth"};
const TResourceString kxSDateSeventh{L"seventh"};
const TResourceString kxSDateBOM{L"bom"};
const TResourceString kxSDateEOM{L"eom"};
const TResourceString kxSDateNow{L"now"};

namespace {

struct TNamedString {
  const wchar_t* Name;
  const TResourceString* String;
};
const TNamedString kLibraryStrings[] = {
    {L"skxCantCreateRegistryKey", &skxCantCreateRegistryKey},
    {L"skxCantOpenRegistryKey", &skxCantOpenRegistryKey},
    {L"skxErrorStoreObject", &skxErrorStoreObject},
    {L"skxConverterCantCreateStyleRepository", &skxConverterCantCreateStyleRepository},
    {L"skxLockedStateText", &skxLockedStateText},
    {L"kxSDateToday", &kxSDateToday},
    {L"kxSDateYesterday", &kxSDateYesterday},
    {L"kxSDateTomorrow", &kxSDateTomorrow},
    {L"kxSDateSunday", &kxSDateSunday},
    {L"kxSDateMonday", &kxSDateMonday},
    {L"kxSDateTuesday", &kxSDateTuesday},
    {L"kxSDateWednesday", &kxSDateWednesday},
    {L"kxSDateThursday", &kxSDateThursday},
    {L"kxSDateFriday", &kxSDateFriday},
    {L"kxSDateSaturday", &kxSDateSaturday},
    {L"kxSDateFirst", &kxSDateFirst},
    {L"kxSDateSecond", &kxSDateSecond},
    {L"kxSDateThird", &kxSDateThird},
    {L"kxSDateFourth", &kxSDateFourth},
    {L"kxSDateFifth", &kxSDateFifth},
    {L"kxSDateSixth", &kxSDateSixth},
    {L"kxSDateSeventh", &kxSDateSeventh},
    {L"kxSDateBOM", &kxSDateBOM},
    {L"kxSDateEOM", &kxSDateEOM},
    {L"kxSDateNow", &kxSDateNow},
};

void AddLibraryStrings(TgxProductResourceStrings& AProduct) {
  for (const TNamedString& string : kLibraryStrings)
    AProduct.Add(string.Name, string.String);
}

} // namespace

// ---- Desktop composition -------------------------------------------------

bool IsDwmLoaded() {
  return GDwmApi != nullptr;
}

size_t DwmBoundCount() {
  return size_t(std::count_if(std::begin(GDwmFunctions), std::end(GDwmFunctions),
                              [](void* AFunction) { return AFunction != nullptr; }));
}

bool IsDesktopCompositionEnabled() {
  if (!GDwmApi)
    return false;
  using TIsEnabled = HRESULT(WINAPI*)(BOOL*);
  const auto isEnabled = reinterpret_cast<TIsEnabled>(GDwmFunctions[7]);
  BOOL enabled = FALSE;
  return isEnabled && SUCCEEDED(isEnabled(&enabled)) && enabled;
}

// ---- The units -----------------------------------------------------------

void kxLookAndFeelPaintersStartup() {
  GManager = std::make_unique<TkxLookAndFeelPaintersManager>();
  GPaintersNotifier = std::make_unique<TSystemPaletteChangedNotifier>();
  GManager->Register(new TkxFlatLookAndFeelPainter);
  GManager->Register(new TkxOffice11LookAndFeelPainter);
  GManager->Register(new TkxStandardLookAndFeelPainter);
  GManager->Register(new TkxUltraFlatLookAndFeelPainter);
  GManager->Register(new TkxWinXPLookAndFeelPainter);
}

void kxLookAndFeelPaintersShutdown() {
  GPaintersNotifier.reset();
  GManager.reset();
}

void kxLookAndFeelsStartup() {
  // The form class's class group has no counterpart in this framework: the
  // controller classes are found through the painters, not by name.
  auto* root = new TkxLookAndFeel;
  GRoot = root;
}

void kxLookAndFeelsShutdown() {
  delete GRoot;
  GRoot = nullptr;
}

void kxLibraryStrsStartup() {
  GetResourceStringsRepository()->RegisterProduct(L"LibraryStrings", &AddLibraryStrings);
}

void kxLibraryStrsShutdown() {
  GetResourceStringsRepository()->UnRegisterProduct(L"LibraryStrings");
}

void kxDWMApiStartup() {
  if (!OSVersionFlags().VistaUp)
    return;
  auto library = std::make_unique<TSystemLibrary>(L"dwmapi.dll");
  if (!library->Loaded())
    return;
  for (size_t i = 0; i < std::size(kDwmFunctionNames); ++i)
    GDwmFunctions[i] = reinterpret_cast<void*>(library->Proc(kDwmFunctionNames[i]));
  GDwmApi = std::move(library);
}

void kxDWMApiShutdown() {
  std::fill(std::begin(GDwmFunctions), std::end(GDwmFunctions), nullptr);
  GDwmApi.reset();
}
