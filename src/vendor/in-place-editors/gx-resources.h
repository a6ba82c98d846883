#pragma once

#include "unit-steps.h"

#include <windows.h>

#include <string>

class TCanvas;
class TCustomImageList;
class TgxCheckEditStyleController;

// What the editors of the editor unit share for the whole process: the
// system check-box size, the hand cursor, the captions and messages of the
// string table, the date keywords, a measuring canvas, the default style
// controller of check editors and two image lists of editor pictures. The
// unit's start-up makes all but the image lists, which are made on first
// use; its shut-down frees all of it.

// The screen cursor slot of the hand the editors show over links.
constexpr int kgxHandPointCursor = -1140;

// Time constants as date-time fractions of a day (spin and time editors).
inline constexpr double kgxOneSecond = 1.0 / 86400.0;
inline constexpr double kgxOneMinute = 1.0 / 1440.0;
inline constexpr double kgxOneHour = 1.0 / 24.0;
inline constexpr double kgxZeroTime = 0.0;
inline constexpr double kgxMaxTime = 86399.0 / 86400.0;

// The width and height of one system check box (a quarter of the system
// check-box bitmap's width, a third of its height); 0 before the start-up.
int GetSystemCheckWidth();
int GetSystemCheckHeight();

// The message of a date the editors cannot read.
const std::wstring& GetInvalidDateText();

// The six editing tools in the order of the tool pictures: cut, copy,
// paste, delete, load, save.
enum TgxEditorTool { etCut, etCopy, etPaste, etDelete, etLoad, etSave };
constexpr int kgxEditorToolCount = 6;
// The tool's menu caption and tool-bar hint.
const std::wstring& GetToolMenuCaption(TgxEditorTool ATool);
const std::wstring& GetToolHint(TgxEditorTool ATool);

// The captions of the popup editors' buttons and menus.
enum TgxEditorCaption {
  ecOk,
  ecCancel,
  ecClose,
  ecCut,
  ecCopy,
  ecPaste,
  ecDelete,
  ecSaveToFile,
  ecLoadFromFile
};
constexpr int kgxEditorCaptionCount = 9;
const std::wstring& GetEditorCaption(TgxEditorCaption ACaption);

// The 20 date keywords ("TODAY" ... "NOW") in table order.
constexpr int kgxDateKeywordCount = 20;
const std::wstring& GetDateKeyword(int AIndex);

// The canvas the editors measure and draw pictures on; it is attached to
// no device context. nullptr outside the unit's load.
TCanvas* GetEditorMeasureCanvas();

// The default style controller of check editors (no border, 3D buttons);
// nullptr outside the unit's load.
TgxCheckEditStyleController* GetDefaultCheckEditStyleController();

// The blob pictures (blob, memo, picture and OLE, each empty and full) and
// the tool pictures, each one image list made on the first call.
TCustomImageList* GetBlobImages();
TCustomImageList* GetToolImages();

// gxExEdtr: everything above but the image lists at load; at unload the
// controller, the canvas, both image lists, the cursor and the texts go.
void GxExEditorsStartup();
void GxExEditorsShutdown();

inline constexpr TUnitStep kGxExEditorsUnitStep{L"gxExEdtr", &GxExEditorsStartup,
                                                &GxExEditorsShutdown};
