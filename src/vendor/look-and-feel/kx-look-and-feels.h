#pragma once

// Interface stable.

// The look-and-feel objects: the painters and their manager, the root look
// and feel every control follows, the process-wide listener of system colour
// changes and its notifiers, the library's resource strings and the
// desktop-composition binding.

#include "gx-core.h"
#include "gx-themes.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

enum TkxLookAndFeelStyle { lfsFlat, lfsStandard, lfsUltraFlat, lfsNative, lfsOffice11, lfsSkin };
enum TkxLookAndFeelKind { lfFlat, lfStandard, lfUltraFlat, lfOffice11 };

// A painter draws the elements of one style. The painters of this library
// draw nothing yet: they answer their name and style.
class TkxCustomLookAndFeelPainter {
public:
  virtual ~TkxCustomLookAndFeelPainter() = default;
  virtual std::wstring LookAndFeelName() const { return L""; }
  virtual TkxLookAndFeelStyle LookAndFeelStyle() const { return lfsStandard; }
};

class TkxFlatLookAndFeelPainter : public TkxCustomLookAndFeelPainter {
public:
  std::wstring LookAndFeelName() const override { return L"Flat"; }
  TkxLookAndFeelStyle LookAndFeelStyle() const override { return lfsFlat; }
};
class TkxStandardLookAndFeelPainter : public TkxCustomLookAndFeelPainter {
public:
  std::wstring LookAndFeelName() const override { return L"Standard"; }
  TkxLookAndFeelStyle LookAndFeelStyle() const override { return lfsStandard; }
};
class TkxUltraFlatLookAndFeelPainter : public TkxCustomLookAndFeelPainter {
public:
  std::wstring LookAndFeelName() const override { return L"UltraFlat"; }
  TkxLookAndFeelStyle LookAndFeelStyle() const override { return lfsUltraFlat; }
};
class TkxOffice11LookAndFeelPainter : public TkxCustomLookAndFeelPainter {
public:
  std::wstring LookAndFeelName() const override { return L"Office11"; }
  TkxLookAndFeelStyle LookAndFeelStyle() const override { return lfsOffice11; }
};
class TkxWinXPLookAndFeelPainter : public TkxCustomLookAndFeelPainter {
public:
  std::wstring LookAndFeelName() const override { return L"Native"; }
  TkxLookAndFeelStyle LookAndFeelStyle() const override { return lfsNative; }
};

// The registry of painters, kept sorted by name, owning them.
class TkxLookAndFeelPaintersManager {
public:
  ~TkxLookAndFeelPaintersManager();
  // Adds the painter unless one of that name (ignoring case) is listed; the
  // manager owns it either way (a refused one is freed).
  bool Register(TkxCustomLookAndFeelPainter* APainter);
  bool Unregister(const std::wstring& AName);
  TkxCustomLookAndFeelPainter* GetPainter(TkxLookAndFeelStyle AStyle) const;
  TkxCustomLookAndFeelPainter* GetPainter(const std::wstring& AName) const;
  int Count() const { return int(FPainters.size()); }
  TkxCustomLookAndFeelPainter* Items(int AIndex) const {
    return FPainters.at(size_t(AIndex)).get();
  }

private:
  std::vector<std::unique_ptr<TkxCustomLookAndFeelPainter>> FPainters;
};
// The process-wide manager; nullptr before the painters unit starts and
// after it stops.
TkxLookAndFeelPaintersManager* PaintersManager();

// Told of every system palette or system colour change while it lives;
// primary notifiers hear first.
class TkxSystemPaletteChangedNotifier {
public:
  explicit TkxSystemPaletteChangedNotifier(bool AIsPrimary);
  virtual ~TkxSystemPaletteChangedNotifier();
  TkxSystemPaletteChangedNotifier(const TkxSystemPaletteChangedNotifier&) = delete;
  TkxSystemPaletteChangedNotifier& operator=(const TkxSystemPaletteChangedNotifier&) = delete;
  std::function<void()> OnSystemPaletteChanged;
  virtual void NotifyPaletteChanged();

private:
  bool FIsPrimary;
};
// The listener's hidden window while any notifier lives, else nullptr.
HWND PaletteListenerWindow();

// A look-and-feel object. Without an owner and created while no root
// exists, it is what the root is made from.
class TkxLookAndFeel {
public:
  TkxLookAndFeel();
  ~TkxLookAndFeel();
  TkxLookAndFeelKind Kind() const { return FKind; }
  bool NativeStyle() const { return FNativeStyle; }
  TkxLookAndFeelStyle ActiveStyle() const;
  // The painter that draws it now (nullptr without a painters manager).
  TkxCustomLookAndFeelPainter* Painter() const { return FPainter; }
  void UpdatePainter();

private:
  TkxLookAndFeelKind FKind = lfUltraFlat;
  bool FNativeStyle = true;
  TkxCustomLookAndFeelPainter* FPainter = nullptr;
  std::unique_ptr<TkxSystemPaletteChangedNotifier> FPaletteNotifier;
};
TkxLookAndFeel* GetRootLookAndFeel();

// The library's resource strings (product "LibraryStrings").
extern const TResourceString skxCantCreateRegistryKey, skxCantOpenRegistryKey, skxErrorStoreObject,
    skxConverterCantCreateStyleRepository, skxLockedStateText, kxSDateToday, kxSDateYesterday,
    kxSDateTomorrow, kxSDateSunday, kxSDateMonday, kxSDateTuesday, kxSDateWednesday,
    kxSDateThursday, kxSDateFriday, kxSDateSaturday, kxSDateFirst, kxSDateSecond, kxSDateThird,
    kxSDateFourth, kxSDateFifth, kxSDateSixth, kxSDateSeventh, kxSDateBOM, kxSDateEOM, kxSDateNow;

// Desktop composition through dwmapi.dll, bound by name on Windows 6 and
// later.
inline constexpr const char* kDwmFunctionNames[] = {
    "DwmDefWindowProc",      "DwmEnableBlurBehindWindow",     "DwmEnableComposition",
    "DwmEnableMMCSS",        "DwmExtendFrameIntoClientArea",  "DwmGetColorizationColor",
    "DwmGetWindowAttribute", "DwmIsCompositionEnabled",       "DwmSetWindowAttribute",
    "DwmSetIconicThumbnail", "DwmSetIconicLivePreviewBitmap", "DwmInvalidateIconicBitmaps",
};
bool IsDwmLoaded();
size_t DwmBoundCount();
bool IsDesktopCompositionEnabled();

void kxLookAndFeelPaintersStartup();
void kxLookAndFeelPaintersShutdown();
void kxLookAndFeelsStartup();
void kxLookAndFeelsShutdown();
void kxLibraryStrsStartup();
void kxLibraryStrsShutdown();
void kxDWMApiStartup();
void kxDWMApiShutdown();
