#pragma once

#include "exceptions.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Parameter strings: a row of name=value pairs separated by "|", as the host
// and the plug-in pass small requests, and as every constraint-file line is
// written. No quoting: a value cannot hold "|"; the text ends at its end or
// at the first NUL. Names and values are stored trimmed (codes <= 32), names
// compare ignoring ASCII case. An empty value is written as one space.

class TParameter {
public:
  TParameter(const std::wstring& AName, const std::wstring& AValue);

  const std::wstring& Name() const { return FName; }
  const std::wstring& Value() const { return FValue; }
  void SetName(const std::wstring& AName);
  void SetValue(const std::wstring& AValue);

private:
  std::wstring FName;
  std::wstring FValue;
};

class TParameterList {
public:
  // Reading and writing the text.
  void SetState(const std::wstring& S);
  void SetState_FromString(const std::wstring& S) { SetState(S); }
  std::wstring GetState() const;
  std::wstring GetState_ToString() const { return GetState(); }

  // Changing the list. Adding never replaces a pair of the same name.
  void SetState_AddParameter(const std::wstring& AName, const std::wstring& AValue);
  void SetState_AddParameterAsString(const std::wstring& AName, const std::wstring& AValue) {
    SetState_AddParameter(AName, AValue);
  }
  void SetState_AddParameterAsBoolean(const std::wstring& AName, bool AValue);
  void SetState_AddParameterAsInteger(const std::wstring& AName, std::int32_t AValue);
  void SetState_AddParameterAsInt64(const std::wstring& AName, std::int64_t AValue);
  void SetState_AddParameterAsDouble(const std::wstring& AName, double AValue);
  bool SetState_RemoveByName(const std::wstring& AName);
  void ClearAllParameters() { FItems.clear(); }

  // Look-up: the first pair whose name equals the trimmed name, or nullptr.
  TParameter* GetState_ParameterByName(const std::wstring& AName) const;

  // Conversions: True and the value when present and convertible; otherwise
  // False with the value untouched (AsString and AsPChar always set it).
  bool GetState_ParameterAsString(const std::wstring& AName, std::wstring& AValue) const;
  // A new zero-terminated copy the caller frees with StrDispose; when absent,
  // a shared empty text (StrDispose ignores it).
  bool GetState_ParameterAsPChar(const std::wstring& AName, wchar_t*& AValue) const;
  bool GetState_ParameterAsLongInt(const std::wstring& AName, std::int32_t& AValue) const;
  bool GetState_ParameterAsInteger(const std::wstring& AName, std::int32_t& AValue) const;
  bool GetState_ParameterAsSmallInt(const std::wstring& AName, std::int16_t& AValue) const;
  bool GetState_ParameterAsWord(const std::wstring& AName, std::uint16_t& AValue) const;
  bool GetState_ParameterAsByte(const std::wstring& AName, std::uint8_t& AValue) const;
  bool GetState_ParameterAsInt64(const std::wstring& AName, std::int64_t& AValue) const;
  bool GetState_ParameterAsReal(const std::wstring& AName, float& AValue) const;
  // Raises EConvertError "'<value>' is not a valid floating point value" when
  // the pair is present but not a number.
  bool GetState_ParameterAsDouble(const std::wstring& AName, double& AValue) const;
  // True exactly when the value is "True" ignoring ASCII case.
  bool GetState_ParameterAsBoolean(const std::wstring& AName, bool& AValue) const;
  // As AsBoolean, storing -1 (all bits set) for True and 0 for False.
  bool GetState_ParameterAsWordBool(const std::wstring& AName, std::int16_t& AValue) const;

  int Count() const { return int(FItems.size()); }
  const TParameter& Items(int AIndex) const { return *FItems.at(std::size_t(AIndex)); }

private:
  std::vector<std::unique_ptr<TParameter>> FItems;
};

// Frees a text handed out by GetState_ParameterAsPChar.
void StrDispose(wchar_t* AText);

// Value of the first pair named AName in AState. Repeated look-ups in the
// same text (compared exactly) parse it once.
bool GetParameterFromState(const std::wstring& AState, const std::wstring& AName,
                           std::wstring& AValue);
// Sets the first pair named AName to the trimmed AValue, or appends the pair;
// AState is rewritten in the normalised written form.
void SetParameterInState(std::wstring& AState, const std::wstring& AName,
                         const std::wstring& AValue);

// The locale-independent number forms of parameter strings: "." as decimal
// separator, general format with at most 15 significant digits.
std::wstring FloatToParameterText(double AValue);
bool ParameterTextToFloat(const std::wstring& AText, double& AValue);
