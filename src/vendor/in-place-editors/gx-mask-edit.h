#pragma once

#include "gx-text-edit.h"

#include "rtl-exceptions.h"

#include <cstdint>
#include <string>

// Edit masks and the masked text editor.
//
// A mask is up to three fields separated by ";" (a ";" separates only
// within the mask's last four characters): the pattern, the save flag ("0":
// literals are not part of the value) and the blank shown in unfilled
// positions (default "_"). Pattern characters: "!" fills optional positions
// from the right, ">" and "<" convert the following letters ("<>" ends
// that), "\" makes the next character a literal; "L"/"l" a letter, "A"/"a"
// a letter or digit, "C"/"c" any character, "0"/"9" a digit (upper case
// required, lower case optional), "#" a digit, space, "+" or "-"; ":" and
// "/" the locale's time and date separators; anything else a literal.
//
// Positions in the routines below are 0-based: a pattern position indexes
// the mask, an offset indexes the edit text.

enum TgxMaskCharType : uint8_t {
  mcNone,
  mcLiteral,
  mcIntlLiteral,
  mcDirective,
  mcMask,
  mcMaskOpt,
  mcFieldSeparator,
  mcField
};

enum TgxMaskDirective : uint8_t {
  mdReverseDir = 1,
  mdUpperCase = 2,
  mdLowerCase = 4,
  mdLiteralChar = 8
};
using TgxMaskDirectives = uint8_t;

TgxMaskCharType MaskCharType(const std::wstring& AMask, int APosition);
TgxMaskDirectives MaskDirectivesAt(const std::wstring& AMask, int APosition);
// ":" gives the locale's time separator, "/" its date separator.
wchar_t MaskLiteralChar(wchar_t AChar);
bool MaskSaveLiterals(const std::wstring& AMask);
wchar_t MaskBlankChar(const std::wstring& AMask);
// The number of edit-text positions of the pattern.
int MaskMaxChars(const std::wstring& AMask);
// The number of edit-text positions among pattern positions 0..APosition.
int MaskToTextOffset(const std::wstring& AMask, int APosition);
// The pattern position of an edit-text offset, or -1 beyond the pattern.
int TextToMaskOffset(const std::wstring& AMask, int AOffset);
bool IsMaskLiteralAt(const std::wstring& AMask, int AOffset);
// The character a literal offset shows.
wchar_t MaskLiteralAt(const std::wstring& AMask, int AOffset);
// Lays a value without literals out on the pattern, blanks where it runs
// short (at the front with "!").
std::wstring MaskFormatText(const std::wstring& AMask, const std::wstring& AValue, wchar_t ABlank);
// Lays a value that holds the literals out on the pattern: each field is
// padded or cut to its width.
std::wstring PadMaskLiterals(const std::wstring& AMask, const std::wstring& AValue, wchar_t ABlank);

// A masked value that is not complete.
class EDBEditError : public Exception {
  using Exception::Exception;
};

inline constexpr wchar_t kgxMaskInvalidInputText[] =
    L"Invalid input value.  Use escape key to abandon changes";

enum TgxMaskedStateItem : uint8_t { msMasked = 1, msReEnter = 2, msDBSetText = 4 };
using TgxMaskedState = uint8_t;

class TgxInplaceMaskEdit : public TgxInplaceTextEdit {
public:
  explicit TgxInplaceMaskEdit(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TgxInplaceMaskEdit"; }

  // --- the new virtual operations, in slot order ---------------------------------
  virtual void GetSelRange(int& AStart, int& AStop);
  virtual void InternalSetEditMask(const std::wstring& AValue);
  virtual std::wstring DefaultEditMask();

  const std::wstring& EditMask() const { return FEditMask; }
  void SetEditMask(const std::wstring& AValue);
  bool IsMasked() const { return (FMaskState & msMasked) != 0; }
  TgxMaskedState MaskState() const { return FMaskState; }
  std::wstring EditText() { return GetEditorText(); }
  void SetEditText(const std::wstring& AValue);
  std::wstring GetEditText() { return EditText(); }
  bool IgnoreMaskBlank() const { return FIgnoreMaskBlank; }
  void SetIgnoreMaskBlank(bool AValue) { FIgnoreMaskBlank = AValue; }
  wchar_t MaskBlank() const { return FMaskBlank; }
  int MaxChars() const { return FMaxChars; }
  int CaretPos() const { return FCaretPos; }
  // The edit text with every input position blank.
  std::wstring GetBlankText();
  int GetTextLen() { return int(Text().size()); }
  void SetSel(int AStart, int AStop);
  void SetSelEx(int AStart, int AStop, bool AReverse);
  // Selects the one character at the logical caret (masked).
  void SetCursor(int APos);
  void CheckCursor();

  std::wstring GetEditingText() override;
  int DefaultMaxLength() override;
  void InternalSetMaxLength(int AValue) override;
  void ReadDefinitionProperties() override;
  void SetEditValue(const TgxVariant& AValue) override;
  void GetEditValue(TgxVariant& AValue) override { AValue = Text(); }
  bool GetDisableCloseEditor() override;
  bool HasDataDefinition() override;
  void ValidateEdit() override;
  bool WantSpecialKey(WPARAM AKey) override;
  void DoEnter() override;

protected:
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  void KeyUp(WORD& AKey, TShiftState AShift) override;
  void KeyPress(wchar_t& AKey) override;
  void WndProc(TMessage& AMessage) override;
  void EditChanged() override;
  std::wstring GetTextValue() override;
  void SetTextValue(const std::wstring& AValue) override;
  void ClearText() override { SetTextValue(std::wstring()); }

private:
  bool IsLiteralOffset(int AOffset) const;
  int NextInputPos(int AOffset) const;
  int PrevInputPos(int AOffset) const;
  // Moves the caret back; false when it could not move.
  bool CursorDec(int APos);
  void CursorInc(int APos, int AStep);
  void ArrowKeys(WORD& AKey, TShiftState AShift);
  void HomeEndKeys(WORD& AKey, TShiftState AShift);
  void DeleteKeys(WORD AKey);
  void CharKeys(wchar_t AKey);
  bool InputChar(wchar_t& AChar, int AOffset);
  bool DoInputChar(wchar_t& AChar, int APosition);
  // The edit text's input positions in [AStart, AStop) made blank.
  std::wstring BlankRange(const std::wstring& AText, int AStart, int AStop) const;
  void ReplaceSelection(const std::wstring& AText);
  // Keeps the text before the first change for Escape.
  void SavePrevText();
  void PasteMasked();
  void ClearMasked();
  // The first required position not filled, or -1 when the text is valid.
  int FirstUnfilled(const std::wstring& AText) const;

  int FBtnDownX = 0;
  int FCaretPos = 0;
  std::wstring FEditMask;
  bool FIgnoreMaskBlank = false;
  wchar_t FMaskBlank = L'_';
  bool FMaskSave = true;
  TgxMaskedState FMaskState = 0;
  int FMaxChars = 0;
  int FLockValidate = 0;
  bool FInternalReplace = false;
};
