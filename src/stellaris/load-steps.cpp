#include "load-steps.h"

#include "controls.h"
#include "edit-controls-units.h"
#include "forms.h"
#include "graphics.h"
#include "gx-container.h"
#include "gx-resources.h"
#include "gx-text-edit.h"
#include "inspector-units.h"
#include "instrument-controls.h"
#include "instrument-panel.h"
#include "look-and-feel-units.h"
#include "page-control-units.h"
#include "tree-list-drawing.h"
#include "xp-button-edit.h"
#include "xp-buttons.h"
#include "xp-controls.h"
#include "xp-history-edit.h"
#include "xp-list-box.h"
#include "xp-progress.h"
#include "xp-sections.h"
#include "xp-speed-button.h"
#include "xp-tab-painter.h"

#include <windows.h>

#include <atomic>
#include <vector>

namespace {

void NoStep() {}

} // namespace

// The parser support library's start-up (parser-files.h, whose stream
// names clash with the framework's in one translation unit).
void StartParserFileSystems();

namespace {

// The parser support library's classes stay registered for the process:
// its registry lives in this module and goes with it.
void ParserSupportStartup() {
  StartParserFileSystems();
}

const std::vector<TUnitStep>& Table() {
  static const std::vector<TUnitStep> table = [] {
    std::vector<TUnitStep> steps;
    // The framework's own shut-downs come first in the table so that they
    // run last: the window classes and the application go after every
    // window and control of the libraries above them.
    steps.push_back({L"Framework", &NoStep, &FinalizeFramework});
    steps.push_back({L"Graphics", &NoStep, &FinalizeGraphics});
    steps.push_back({L"ParserSupport", &ParserSupportStartup, &NoStep});
    steps.push_back(kXPLibraryUnitStep);
    // The XP controls' shared images, freed before the XP layer goes.
    for (const TUnitStep& step : {kXPSpeedButtonsUnitStep, kInstrumentPanelsUnitStep,
                                  kInstrumentChecksUnitStep, kInstrumentLabelsUnitStep,
                                  kInstrumentButtonsUnitStep})
      steps.push_back(step);
    // The buttons' kind glyphs, sprites and shield icon.
    steps.push_back(kXPButtonsUnitStep);
    // The progress bars' and sections' shared images, freed before the XP
    // layer goes.
    steps.push_back(kXPProgressUnitStep);
    steps.push_back(kXPSectionsUnitStep);
    // The scroll bars' and list boxes' shared images, freed before the XP
    // layer goes.
    steps.push_back(kXPScrollsUnitStep);
    steps.push_back(kXPListsUnitStep);
    // The tab painter of the tab and page controls, freed before the XP
    // layer goes.
    steps.push_back(kXPPageControlUnitStep);
    // The edits' transparency hook, shared glyphs and context menu, freed
    // before the XP layer goes.
    steps.push_back(kXPEditsUnitStep);
    // The history edits' shared registry object.
    steps.push_back(kXPExtEditsUnitStep);
    // The in-place editor library's shared brushes and default style
    // controller, after the XP layer they draw beside.
    steps.push_back(kGxUtilsUnitStep);
    steps.push_back(kGxContainerUnitStep);
    // The text editors' rich-edit library and context-menu captions.
    steps.push_back(kGxEditorUnitStep);
    // The editor unit's hand cursor, texts, default check style controller
    // and picture lists, after the editor base they stand on.
    steps.push_back(kGxExEditorsUnitStep);
    // The tree list's cursors, shared bitmaps and measuring context.
    steps.push_back(kGxTreeListUnitStep);
    // The painting library up to the composition binding: what the edit
    // control library's first units stand on (repository, themes, Office
    // 2003 colours, painters and the root look and feel).
    for (size_t i = 0; i < 11; ++i)
      steps.push_back(kLookAndFeelUnits[i]);
    const TUnitStep earlyEditUnits[] = {
        {L"kxControls", &KxControlsStartup, &KxControlsShutdown},
        {L"gxHooks", &GxHooksStartup, &GxHooksShutdown},
        {L"kxContainer", &KxContainerStartup, &KxContainerShutdown},
        {L"kxDataStrs", &KxDataStringsStartup, &KxDataStringsShutdown},
        {L"kxDataStorage", &KxDataStorageStartup, &KxDataStorageShutdown},
        {L"kxPaint", &KxPaintStartup, &KxPaintShutdown},
        {L"kxFormats", &KxFormatsStartup, &KxFormatsShutdown},
        {L"kxDateUtils", &KxDateUtilsStartup, &KxDateUtilsShutdown},
        {L"kxEditStrs", &KxEditStringsStartup, &KxEditStringsShutdown},
        {L"kxFilterStrs", &KxFilterStringsStartup, &KxFilterStringsShutdown},
    };
    steps.insert(steps.end(), std::begin(earlyEditUnits), std::end(earlyEditUnits));
    // The rest of the painting library: component classes and timers, the
    // GDI+ procedures left with the units loader, the shared graphics.
    for (size_t i = 11; i < std::size(kLookAndFeelUnits); ++i)
      steps.push_back(kLookAndFeelUnits[i]);
    const TUnitStep lateEditUnits[] = {
        {L"kxEdit", &KxEditStartup, &KxEditShutdown},
        {L"kxFilterControlStrs", &KxFilterControlStringsStartup, &KxFilterControlStringsShutdown},
        {L"kxTextEdit", &KxTextEditStartup, &KxTextEditShutdown},
        {L"kxMemo", &KxMemoStartup, &KxMemoShutdown},
    };
    steps.insert(steps.end(), std::begin(lateEditUnits), std::end(lateEditUnits));
    const TUnitStep pageControlUnits[] = {
        {L"kxPCStrs", &KxPCStringsStartup, &KxPCStringsShutdown},
        {L"kxPCPainterFactory", &KxPCFactoryStartup, &KxPCFactoryShutdown},
        {L"kxPCPainters", &KxPCPaintersStartup, &KxPCPaintersShutdown},
    };
    steps.insert(steps.end(), std::begin(pageControlUnits), std::end(pageControlUnits));
    const TUnitStep inspectorUnits[] = {
        {L"gxInspectorRows", &GxInspectorRowsStartup, &GxInspectorRowsShutdown},
        {L"gxInspectorRowKinds", &GxInspectorRowKindsStartup, &GxInspectorRowKindsShutdown},
    };
    steps.insert(steps.end(), std::begin(inspectorUnits), std::end(inspectorUnits));
    // Last in, first out: every form the host still holds goes before the
    // controls' libraries that draw it.
    steps.push_back({L"Forms", &NoStep, &FinalizeForms});
    return steps;
  }();
  return table;
}

std::atomic<DWORD> GLoadingThread{0};
TUnitStepRunner* GRunner = nullptr;
bool GStarted = false;

TUnitStepRunner& Runner() {
  if (!GRunner)
    GRunner = new TUnitStepRunner(Table().data(), unsigned(Table().size()));
  return *GRunner;
}

} // namespace

const TUnitStep* ModuleLoadSteps(size_t& ACount) {
  ACount = Table().size();
  return Table().data();
}

void NoteLoadingThread() {
  GLoadingThread = GetCurrentThreadId();
}

void EnsureModuleStarted() {
  if (GStarted || GetCurrentThreadId() != GLoadingThread)
    return;
  GStarted = true;
  try {
    Runner().Startup();
  } catch (...) {
    // The runner keeps each step's failure to itself; nothing else raises.
  }
}

void ShutDownModule() {
  if (!GRunner)
    return;
  try {
    GRunner->Shutdown();
  } catch (...) {
  }
  delete GRunner;
  GRunner = nullptr;
  GStarted = false;
}
