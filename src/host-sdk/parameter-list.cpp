#include "parameter-list.h"
#include "string-routines.h"

#include "numeric-text.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {


wchar_t FoldAscii(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c;
}

bool SameTextAscii(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i]))
      return false;
  return true;
}

// The shared empty text of GetState_ParameterAsPChar: never freed.
wchar_t EmptyPChar[1] = {L'\0'};

// The cache of GetParameterFromState: one list and the text it came from.
struct TStateCache {
  std::wstring Text;
  TParameterList List;
};

TStateCache& StateCache() {
  static TStateCache cache;
  return cache;
}

} // namespace

TParameter::TParameter(const std::wstring& AName, const std::wstring& AValue)
    : FName(TrimBlanks(AName)), FValue(TrimBlanks(AValue)) {}

void TParameter::SetName(const std::wstring& AName) {
  FName = TrimBlanks(AName);
}

void TParameter::SetValue(const std::wstring& AValue) {
  FValue = TrimBlanks(AValue);
}

void TParameterList::SetState(const std::wstring& S) {
  ClearAllParameters();
  // The text ends at its end or at the first NUL.
  const std::size_t length = std::min(S.size(), S.find(L'\0'));
  std::size_t start = 0;
  bool inName = true;
  std::wstring name;
  for (std::size_t i = 0; i <= length; ++i) {
    const bool atEnd = i == length;
    const wchar_t c = atEnd ? L'\0' : S[i];
    if (!atEnd && c == L'=' && inName) {
      name = S.substr(start, i - start);
      inName = false;
      start = i + 1;
    } else if (atEnd || c == L'|') {
      if (!inName)
        SetState_AddParameter(name, S.substr(start, i - start));
      inName = true;
      start = i + 1;
    }
  }
}

std::wstring TParameterList::GetState() const {
  std::wstring text;
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    if (i)
      text.push_back(L'|');
    text += FItems[i]->Name();
    text.push_back(L'=');
    text += FItems[i]->Value().empty() ? std::wstring(L" ") : FItems[i]->Value();
  }
  return text;
}

void TParameterList::SetState_AddParameter(const std::wstring& AName, const std::wstring& AValue) {
  auto parameter = std::make_unique<TParameter>(AName, AValue);
  if (!parameter->Name().empty())
    FItems.push_back(std::move(parameter));
}

void TParameterList::SetState_AddParameterAsBoolean(const std::wstring& AName, bool AValue) {
  SetState_AddParameter(AName, AValue ? L"True" : L"False");
}

void TParameterList::SetState_AddParameterAsInteger(const std::wstring& AName,
                                                    std::int32_t AValue) {
  SetState_AddParameter(AName, std::to_wstring(AValue));
}

void TParameterList::SetState_AddParameterAsInt64(const std::wstring& AName, std::int64_t AValue) {
  SetState_AddParameter(AName, std::to_wstring(AValue));
}

void TParameterList::SetState_AddParameterAsDouble(const std::wstring& AName, double AValue) {
  SetState_AddParameter(AName, FloatToParameterText(AValue));
}

bool TParameterList::SetState_RemoveByName(const std::wstring& AName) {
  const std::wstring name = TrimBlanks(AName);
  for (auto it = FItems.begin(); it != FItems.end(); ++it)
    if (SameTextAscii((*it)->Name(), name)) {
      FItems.erase(it);
      return true;
    }
  return false;
}

TParameter* TParameterList::GetState_ParameterByName(const std::wstring& AName) const {
  const std::wstring name = TrimBlanks(AName);
  for (const auto& item : FItems)
    if (SameTextAscii(item->Name(), name))
      return item.get();
  return nullptr;
}

bool TParameterList::GetState_ParameterAsString(const std::wstring& AName,
                                                std::wstring& AValue) const {
  const TParameter* p = GetState_ParameterByName(AName);
  AValue = p ? p->Value() : std::wstring();
  return p != nullptr;
}

bool TParameterList::GetState_ParameterAsPChar(const std::wstring& AName, wchar_t*& AValue) const {
  const TParameter* p = GetState_ParameterByName(AName);
  if (!p) {
    AValue = EmptyPChar;
    return false;
  }
  AValue = new wchar_t[p->Value().size() + 1];
  std::memcpy(AValue, p->Value().c_str(), (p->Value().size() + 1) * sizeof(wchar_t));
  return true;
}

bool TParameterList::GetState_ParameterAsLongInt(const std::wstring& AName,
                                                 std::int32_t& AValue) const {
  const TParameter* p = GetState_ParameterByName(AName);
  return p && TextToInt32(p->Value(), AValue);
}

bool TParameterList::GetState_ParameterAsInteger(const std::wstring& AName,
                                                 std::int32_t& AValue) const {
  return GetState_ParameterAsLongInt(AName, AValue);
}

// The narrower look-ups keep the low bits without a range check.
bool TParameterList::GetState_ParameterAsSmallInt(const std::wstring& AName,
                                                  std::int16_t& AValue) const {
  std::int32_t v = 0;
  if (!GetState_ParameterAsLongInt(AName, v))
    return false;
  AValue = std::int16_t(v);
  return true;
}

bool TParameterList::GetState_ParameterAsWord(const std::wstring& AName,
                                              std::uint16_t& AValue) const {
  std::int32_t v = 0;
  if (!GetState_ParameterAsLongInt(AName, v))
    return false;
  AValue = std::uint16_t(v);
  return true;
}

bool TParameterList::GetState_ParameterAsByte(const std::wstring& AName,
                                              std::uint8_t& AValue) const {
  std::int32_t v = 0;
  if (!GetState_ParameterAsLongInt(AName, v))
    return false;
  AValue = std::uint8_t(v);
  return true;
}

bool TParameterList::GetState_ParameterAsInt64(const std::wstring& AName,
                                               std::int64_t& AValue) const {
  const TParameter* p = GetState_ParameterByName(AName);
  return p && TextToInt64(p->Value(), AValue);
}

bool TParameterList::GetState_ParameterAsReal(const std::wstring& AName, float& AValue) const {
  const TParameter* p = GetState_ParameterByName(AName);
  double v = 0;
  if (!p || !ParameterTextToFloat(p->Value(), v))
    return false;
  AValue = float(v);
  return true;
}

bool TParameterList::GetState_ParameterAsDouble(const std::wstring& AName, double& AValue) const {
  const TParameter* p = GetState_ParameterByName(AName);
  if (!p)
    return false;
  if (!ParameterTextToFloat(p->Value(), AValue))
    throw EConvertError(L"'" + p->Value() + L"' is not a valid floating point value");
  return true;
}

bool TParameterList::GetState_ParameterAsBoolean(const std::wstring& AName, bool& AValue) const {
  const TParameter* p = GetState_ParameterByName(AName);
  if (!p)
    return false;
  AValue = SameTextAscii(p->Value(), L"True");
  return true;
}

bool TParameterList::GetState_ParameterAsWordBool(const std::wstring& AName,
                                                  std::int16_t& AValue) const {
  bool v = false;
  if (!GetState_ParameterAsBoolean(AName, v))
    return false;
  AValue = v ? -1 : 0;
  return true;
}

void StrDispose(wchar_t* AText) {
  if (AText != EmptyPChar)
    delete[] AText;
}

bool GetParameterFromState(const std::wstring& AState, const std::wstring& AName,
                           std::wstring& AValue) {
  AValue.clear();
  if (AState.empty())
    return false;
  TStateCache& cache = StateCache();
  if (AState != cache.Text) {
    cache.Text = AState;
    cache.List.SetState(AState);
  }
  return cache.List.GetState_ParameterAsString(AName, AValue);
}

void SetParameterInState(std::wstring& AState, const std::wstring& AName,
                         const std::wstring& AValue) {
  TParameterList list;
  list.SetState(AState);
  if (TParameter* p = list.GetState_ParameterByName(AName))
    p->SetValue(AValue);
  else
    list.SetState_AddParameter(AName, AValue);
  AState = list.GetState();
}

std::wstring FloatToParameterText(double AValue) {
  if (std::isnan(AValue))
    return L"NAN";
  if (std::isinf(AValue))
    return AValue > 0 ? L"INF" : L"-INF";
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, AValue, std::chars_format::general, 15);
  std::string text(buffer, result.ptr);
  // The exponent as the host writes it: "E", a minus only when negative, no
  // leading zeros ("1E20", "1.5E-7").
  if (const std::size_t e = text.find('e'); e != std::string::npos) {
    std::string mantissa = text.substr(0, e);
    std::string exponent = text.substr(e + 1);
    const bool negative = !exponent.empty() && exponent[0] == '-';
    if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+'))
      exponent.erase(0, 1);
    exponent.erase(0, std::min(exponent.find_first_not_of('0'), exponent.size() - 1));
    text = mantissa + "E" + (negative ? "-" : "") + exponent;
  }
  return std::wstring(text.begin(), text.end());
}

bool ParameterTextToFloat(const std::wstring& AText, double& AValue) {
  // Only the plain number grammar is accepted, whatever the platform's
  // conversion would also take (hex floats, "inf", locale separators).
  const std::wstring text = TrimBlanks(AText);
  std::string narrow;
  std::size_t i = 0;
  auto digits = [&]() {
    std::size_t n = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
      narrow.push_back(char(text[i++]));
      ++n;
    }
    return n;
  };
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    if (text[i] == L'-')
      narrow.push_back('-');
    ++i;
  }
  std::size_t mantissaDigits = digits();
  if (i < text.size() && text[i] == L'.') {
    narrow.push_back('.');
    ++i;
    mantissaDigits += digits();
  }
  if (mantissaDigits == 0)
    return false;
  if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
    narrow.push_back('e');
    ++i;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
      narrow.push_back(char(text[i++]));
    if (digits() == 0)
      return false;
  }
  if (i != text.size())
    return false;
  double value = 0;
  const auto result = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
  if (result.ec != std::errc() || result.ptr != narrow.data() + narrow.size())
    return false;
  AValue = value;
  return true;
}
