#pragma once

#include "controls.h"
#include "graphics.h"
#include "splitters.h"
#include "storage.h"
#include "unit-steps.h"
#include "xp-controls.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Stacked resizable sections: a sections panel lays its sections out one
// under the other (or side by side) with a bar after each, shares the free
// extent by the sections' size coefficients, re-shares it when the user
// drags a bar, and can keep the layout in the registry.

enum TXPResizeMode : uint8_t { xrmStandard, xrmAdjacent, xrmProportional };

class TXPCustomSection;
class TXPCustomSectionsPanel;

// The drag bar of one section. It lives in the panel beside its section,
// previews a drag as an inverted line or halftone bar and reports the
// outcome to its section through OnMoved.
class TXPSectionSplitter : public TGraphicControl {
public:
  explicit TXPSectionSplitter(TComponent* AOwner);
  ~TXPSectionSplitter() override;
  std::wstring ClassName() const override { return L"TXPSectionSplitter"; }

  // Stored only: the limits of a drag come from the sections.
  int MinSize() const { return FMinSize; }
  void SetMinSize(int AValue) { FMinSize = AValue < 0 ? 0 : AValue; }
  TResizeStyle ResizeStyle() const { return FResizeStyle; }
  void SetResizeStyle(TResizeStyle AValue) { FResizeStyle = AValue; }
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool AValue);
  // A vertical bar stands between side-by-side sections and moves in x.
  bool Vertical() const { return FVertical; }
  void SetVertical(bool AValue);

  // The proposed position along the dragging axis, in the panel's client
  // coordinates; the panel's preview sets it for every bar.
  int NewSize() const { return FNewSize; }
  void SetNewSize(int AValue) { FNewSize = AValue; }
  // The bar's left or top when the button went down.
  int OrigTop() const { return FOrigTop; }
  bool InSizing() const { return FInSizing; }
  bool LineVisible() const { return FLineVisible; }
  // The bar's position along its axis (top, or left when vertical).
  int Position() const { return FVertical ? Left() : Top(); }

  // Fires OnCanResize (Accept preset true) and answers Accept.
  virtual bool AllowResize(int& ANewSize);

  TSplitterCanResizeEvent OnCanResize;
  TNotifyEvent OnMoved;
  TNotifyEvent OnPaint;

protected:
  void Paint() override;
  void Resize() override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void CancelMode(TControl* ASender) override;

private:
  friend class TXPCustomSectionsPanel;
  TXPCustomSectionsPanel* Panel() const;
  int CalcNewPos(int AX, int AY) const;
  void UpdateSize();
  void StopSizing(bool ANotify);
  // Inverts the bar's rectangle at FNewSize on ADC.
  void DrawLine(TSplitterLineDC& ADC);
  // The bars a preview shows: every visible bar with ExtendedResize, else this one.
  std::vector<TXPSectionSplitter*> PreviewBars();
  void ShowLines();
  void EraseLines();
  void UpdateCursor();

  std::unique_ptr<TSplitterLineDC> FLineDC;
  std::unique_ptr<TDragKeyWatch> FKeyWatch;
  POINT FDownPos{};
  bool FLineVisible = false;
  int FMinSize = 50;
  int FNewSize = 0;
  int FOldSize = -1;
  TResizeStyle FResizeStyle = rsPattern;
  bool FTransparent = true;
  bool FVertical = false;
  bool FInSizing = false;
  int FOrigTop = 0;
};

// One section: a container with a minimum size, resizability, an optional
// border and its share of the panel's free extent.
class TXPCustomSection : public TXPNonFlickingControl {
public:
  explicit TXPCustomSection(TComponent* AOwner);
  ~TXPCustomSection() override;
  std::wstring ClassName() const override { return L"TXPCustomSection"; }

  TXPSectionSplitter* Splitter() const { return FSplitter; }
  TColor BorderColor() const { return FBorderColor; }
  void SetBorderColor(TColor AValue);
  int MinSize() const { return FMinSize; }
  void SetMinSize(int AValue) { FMinSize = AValue; }
  bool Resizeable() const { return FResizeable; }
  void SetResizeable(bool AValue) { FResizeable = AValue; }
  bool ShowBorder() const { return FShowBorder; }
  void SetShowBorder(bool AValue);
  // The section's weight in the panel's layout.
  double SizeCoef() const { return FSizeCoef; }
  void SetSizeCoef(double AValue) { FSizeCoef = AValue; }
  // The extent when the current drag began.
  int OrigHeight() const { return FOrigHeight; }
  // The section's parent as a sections panel, or nullptr.
  TXPCustomSectionsPanel* Panel() const;

  void SetParent(TWinControl* AParent) override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  // The splitter follows Visible; the panel lays out again.
  virtual void VisibilityChanged();
  void VisibleChanged() override;

protected:
  void Resize() override;
  void AdjustClientRect(RECT& ARect) override;
  void EraseBackground(HDC ADC) override;
  void ValidateParent(TWinControl* AParent) override;
  void Notification(TComponent* AComponent, TOperation AOperation) override;
  // The handlers the section puts on its bar.
  void ClampSplitterPos(int& ANewSize, bool& AAccept);
  void SplitterMoved();

private:
  friend class TXPCustomSectionsPanel;
  friend class TXPSectionSplitter;
  TXPSectionSplitter* FSplitter = nullptr;
  int FMinSize = 50;
  bool FResizeable = true;
  bool FShowBorder = false;
  TColor FBorderColor = clBtnShadow;
  double FSizeCoef = 0;
  int FOrigHeight = 0;
};

class TXPSection : public TXPCustomSection {
public:
  using TXPCustomSection::TXPCustomSection;
  std::wstring ClassName() const override { return L"TXPSection"; }
};

class TXPCustomSectionsPanel : public TXPNonFlickingControl {
public:
  explicit TXPCustomSectionsPanel(TComponent* AOwner);
  ~TXPCustomSectionsPanel() override;
  std::wstring ClassName() const override { return L"TXPCustomSectionsPanel"; }

  unsigned Margin() const { return FMargin; }
  void SetMargin(unsigned AValue);
  int SplitterWidth() const { return FSplitterWidth; }
  void SetSplitterWidth(int AValue);
  TXPResizeMode ResizeMode() const { return FResizeMode; }
  void SetResizeMode(TXPResizeMode AValue);
  TResizeStyle ResizeStyle() const { return FResizeStyle; }
  void SetResizeStyle(TResizeStyle AValue);
  bool ExtendedResize() const { return FExtendedResize; }
  void SetExtendedResize(bool AValue) { FExtendedResize = AValue; }
  const std::wstring& RegistryKey() const { return FRegistryKey; }
  void SetRegistryKey(const std::wstring& AValue) { FRegistryKey = AValue; }
  bool SaveInRegistry() const { return FSaveInRegistry; }
  void SetSaveInRegistry(bool AValue) { FSaveInRegistry = AValue; }
  bool Horizontal() const { return FHorizontal; }
  void SetHorizontal(bool AValue);

  int SectionCount() const;
  // The i-th section child, nullptr past the end.
  TXPCustomSection* Sections(int AIndex) const;
  // The sections that take part in the layout, in order.
  std::vector<TXPCustomSection*> ShownSections() const;

  // A new section of SectionClass owned by the panel's owner, added last.
  TXPCustomSection* AddNewSection();
  // Unless AKeepSizeCoef, the section takes the last section's coefficient
  // (1.0 when there is none).
  void AddSection(TXPCustomSection* ASection, bool AKeepSizeCoef);
  void RemoveSection(TXPCustomSection* ASection);
  void ClearSections();
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();

  // Reads every section's values from the registry; true when the key was
  // there and was read.
  bool LoadLayout();
  void SaveLayout();

  // --- the layout's virtual operations ---
  // A new section of the panel's kind.
  virtual TXPCustomSection* CreateSection(TComponent* AOwner);
  virtual bool IsSectionShown(const TXPCustomSection* ASection) const;
  virtual int GetLeftMargin() const { return int(FMargin); }
  virtual int GetTopMargin() const { return int(FMargin); }
  virtual int GetRightMargin() const { return int(FMargin); }
  virtual int GetBottomMargin() const { return int(FMargin); }
  virtual void Rearrange();
  virtual void LoadSection(TXPCustomSection* ASection, TCustomIniFile& AIni, int AIndex);
  virtual void SaveSection(TXPCustomSection* ASection, TCustomIniFile& AIni, int AIndex);

  // Normalizes every section's coefficient, then lays out.
  void NormalizeAndRearrange();
  // The current extents become the coefficients.
  void InitCoefsFromSizes();
  // New coefficients after ASplitter was dragged to its NewSize.
  void AdjustCoefs(TXPSectionSplitter* ASplitter);
  // Sets every shown bar's NewSize to where the layout would put it.
  void PreviewDrag(TXPSectionSplitter* ASplitter);
  TXPCustomSection* LastResized() const { return FLastResized; }
  bool InRearranging() const { return FInRearranging; }
  bool Updating() const { return FUpdateCount > 0; }

  void Loaded() override;
  void ValidateInsertControl(TControl* AControl) override;

protected:
  void CreateParams(TCreateParams& AParams) override;
  void Resize() override;
  void EraseBackground(HDC ADC) override;
  void Destroying() override;
  // The extent along the layout's axis and the free extent of AShown sections.
  int ClientExtent() const;
  int StartMargin() const { return FHorizontal ? GetLeftMargin() : GetTopMargin(); }
  int EndMargin() const { return FHorizontal ? GetRightMargin() : GetBottomMargin(); }
  int Extent(const TControl* AControl) const {
    return FHorizontal ? AControl->Width() : AControl->Height();
  }
  int PositionOf(const TControl* AControl) const {
    return FHorizontal ? AControl->Left() : AControl->Top();
  }
  // The sizes of the shown sections by their coefficients.
  std::vector<int> CalcSizes(const std::vector<TXPCustomSection*>& AShown);
  void ApplySizes(const std::vector<TXPCustomSection*>& AShown, const std::vector<int>& ASizes);
  void Normalize(std::vector<double>& ACoefs) const;
  bool IsDesigning() const { return ComponentState().Contains(csDesigning); }

  TXPCustomSection* FLastResized = nullptr;
  bool FInRearranging = false;
  bool FInRearranging2 = false;
  int FUpdateCount = 0;

private:
  friend class TXPCustomSection;
  unsigned FMargin = 8;
  TResizeStyle FResizeStyle = rsPattern;
  TXPResizeMode FResizeMode = xrmAdjacent;
  bool FExtendedResize = false;
  std::wstring FRegistryKey;
  bool FSaveInRegistry = false;
  bool FHorizontal = false;
  int FSplitterWidth = 5;
};

// The sections' shared pattern, loaded on first use and freed at unloading.
class TSectionsResourceManager {
public:
  static TBitmap& PatternBmp();
  static bool Loaded();
  static void FreeImages();
};

inline constexpr TUnitStep kXPSectionsUnitStep{L"XPSections", nullptr,
                                               &TSectionsResourceManager::FreeImages};
