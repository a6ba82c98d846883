#include "string-lists.h"

#include "rtl-exceptions.h"
#include "streams.h"

#include <windows.h>

#include <algorithm>
#include <numeric>

namespace {

// Case-blind comparison by the system's ordinal rules (upper-casing each
// character), so sorting does not change with the user's locale.
int CompareIgnoringCase(const std::wstring& S1, const std::wstring& S2) {
  return CompareStringOrdinal(S1.data(), int(S1.size()), S2.data(), int(S2.size()), TRUE) -
         CSTR_EQUAL;
}

int CompareExactly(const std::wstring& S1, const std::wstring& S2) {
  int result = S1.compare(S2);
  return result < 0 ? -1 : result > 0 ? 1 : 0;
}

// Ends an update bracket also when the work inside raises.
class TUpdateBracket {
public:
  explicit TUpdateBracket(TStrings& AStrings) : FStrings(AStrings) { FStrings.BeginUpdate(); }
  ~TUpdateBracket() { FStrings.EndUpdate(); }
  TUpdateBracket(const TUpdateBracket&) = delete;
  TUpdateBracket& operator=(const TUpdateBracket&) = delete;

private:
  TStrings& FStrings;
};

std::wstring DecodeBytes(const std::vector<uint8_t>& ABytes) {
  size_t size = ABytes.size();
  const uint8_t* data = ABytes.data();
  if (size >= 2 && (data[0] == 0xFF && data[1] == 0xFE)) {
    std::wstring text((size - 2) / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i)
      text[i] = wchar_t(data[2 + 2 * i] | (data[3 + 2 * i] << 8));
    return text;
  }
  if (size >= 2 && (data[0] == 0xFE && data[1] == 0xFF)) {
    std::wstring text((size - 2) / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i)
      text[i] = wchar_t((data[2 + 2 * i] << 8) | data[3 + 2 * i]);
    return text;
  }
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    data += 3;
    size -= 3;
  }
  if (size == 0)
    return {};
  const char* bytes = reinterpret_cast<const char*>(data);
  UINT codePage = CP_UTF8;
  int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, int(size), nullptr, 0);
  DWORD flags = MB_ERR_INVALID_CHARS;
  if (length <= 0) {
    codePage = CP_ACP;
    flags = 0;
    length = MultiByteToWideChar(CP_ACP, 0, bytes, int(size), nullptr, 0);
  }
  std::wstring text(size_t(length), L'\0');
  MultiByteToWideChar(codePage, flags, bytes, int(size), text.data(), length);
  return text;
}

std::vector<uint8_t> EncodeText(const std::wstring& AText, TTextEncoding AEncoding) {
  if (AEncoding == TTextEncoding::Auto) {
    bool ascii = std::all_of(AText.begin(), AText.end(), [](wchar_t c) { return c < 0x80; });
    if (ascii)
      return std::vector<uint8_t>(AText.begin(), AText.end());
    AEncoding = TTextEncoding::Utf16;
  }
  std::vector<uint8_t> bytes;
  if (AEncoding == TTextEncoding::Utf16) {
    bytes.reserve(2 + AText.size() * 2);
    bytes.push_back(0xFF);
    bytes.push_back(0xFE);
    for (wchar_t c : AText) {
      bytes.push_back(uint8_t(c & 0xFF));
      bytes.push_back(uint8_t((c >> 8) & 0xFF));
    }
    return bytes;
  }
  if (AText.empty())
    return bytes;
  int size = WideCharToMultiByte(CP_UTF8, 0, AText.data(), int(AText.size()), nullptr, 0, nullptr,
                                 nullptr);
  bytes.resize(size_t(size));
  WideCharToMultiByte(CP_UTF8, 0, AText.data(), int(AText.size()),
                      reinterpret_cast<char*>(bytes.data()), size, nullptr, nullptr);
  return bytes;
}

} // namespace

// ---------------------------------------------------------------------------
// TStrings

void* TStrings::GetObject(int /*AIndex*/) const {
  return nullptr;
}

void TStrings::Put(int AIndex, const std::wstring& S) {
  void* object = GetObject(AIndex);
  TUpdateBracket bracket(*this);
  Delete(AIndex);
  InsertObject(AIndex, S, object);
}

void TStrings::PutObject(int /*AIndex*/, void* /*AObject*/) {}

void TStrings::InsertObject(int AIndex, const std::wstring& S, void* AObject) {
  Insert(AIndex, S);
  PutObject(AIndex, AObject);
}

int TStrings::Add(const std::wstring& S) {
  int index = GetCount();
  Insert(index, S);
  return index;
}

int TStrings::AddObject(const std::wstring& S, void* AObject) {
  int index = Add(S);
  PutObject(index, AObject);
  return index;
}

void TStrings::Exchange(int AIndex1, int AIndex2) {
  TUpdateBracket bracket(*this);
  std::wstring text1 = Get(AIndex1);
  void* object1 = GetObject(AIndex1);
  Put(AIndex1, Get(AIndex2));
  PutObject(AIndex1, GetObject(AIndex2));
  Put(AIndex2, text1);
  PutObject(AIndex2, object1);
}

void TStrings::Move(int ACurIndex, int ANewIndex) {
  if (ACurIndex == ANewIndex)
    return;
  TUpdateBracket bracket(*this);
  std::wstring text = Get(ACurIndex);
  void* object = GetObject(ACurIndex);
  Delete(ACurIndex);
  InsertObject(ANewIndex, text, object);
}

int TStrings::IndexOf(const std::wstring& S) const {
  int count = GetCount();
  for (int i = 0; i < count; ++i)
    if (CompareStrings(Get(i), S) == 0)
      return i;
  return -1;
}

int TStrings::CompareStrings(const std::wstring& S1, const std::wstring& S2) const {
  return CompareIgnoringCase(S1, S2);
}

void TStrings::BeginUpdate() {
  // Told before the count rises, so the opening announcement still fires.
  if (FUpdateCount == 0)
    SetUpdateState(true);
  ++FUpdateCount;
}

void TStrings::EndUpdate() {
  if (FUpdateCount <= 0)
    return;
  if (--FUpdateCount == 0)
    SetUpdateState(false);
}

int TStrings::IndexOfObject(const void* AObject) const {
  int count = GetCount();
  for (int i = 0; i < count; ++i)
    if (GetObject(i) == AObject)
      return i;
  return -1;
}

void TStrings::AddStrings(const TStrings& AStrings) {
  TUpdateBracket bracket(*this);
  int count = AStrings.GetCount();
  for (int i = 0; i < count; ++i)
    AddObject(AStrings.Get(i), AStrings.GetObject(i));
}

void TStrings::Assign(const TPersistent* ASource) {
  auto* source = dynamic_cast<const TStrings*>(ASource);
  if (!source) {
    TPersistent::Assign(ASource);
    return;
  }
  if (source == this)
    return;
  TUpdateBracket bracket(*this);
  Clear();
  AddStrings(*source);
}

bool TStrings::Equals(const TStrings& AStrings) const {
  int count = GetCount();
  if (count != AStrings.GetCount())
    return false;
  for (int i = 0; i < count; ++i)
    if (Get(i) != AStrings.Get(i))
      return false;
  return true;
}

std::wstring TStrings::GetText() const {
  std::wstring text;
  int count = GetCount();
  for (int i = 0; i < count; ++i) {
    if (i > 0)
      text += L"\r\n";
    text += Get(i);
  }
  return text;
}

void TStrings::SetText(const std::wstring& AText) {
  TUpdateBracket bracket(*this);
  Clear();
  size_t start = 0;
  while (start < AText.size()) {
    size_t end = AText.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) {
      Add(AText.substr(start));
      break;
    }
    Add(AText.substr(start, end - start));
    start = end + 1;
    if (AText[end] == L'\r' && start < AText.size() && AText[start] == L'\n')
      ++start;
  }
}

std::wstring TStrings::Names(int AIndex) const {
  std::wstring text = Get(AIndex);
  size_t pos = text.find(L'=');
  return pos == std::wstring::npos ? std::wstring() : text.substr(0, pos);
}

std::wstring TStrings::ValueFromIndex(int AIndex) const {
  std::wstring text = Get(AIndex);
  size_t pos = text.find(L'=');
  return pos == std::wstring::npos ? std::wstring() : text.substr(pos + 1);
}

int TStrings::IndexOfName(const std::wstring& AName) const {
  int count = GetCount();
  for (int i = 0; i < count; ++i) {
    std::wstring text = Get(i);
    size_t pos = text.find(L'=');
    if (pos != std::wstring::npos && CompareStrings(text.substr(0, pos), AName) == 0)
      return i;
  }
  return -1;
}

std::wstring TStrings::Values(const std::wstring& AName) const {
  int index = IndexOfName(AName);
  return index < 0 ? std::wstring() : ValueFromIndex(index);
}

void TStrings::SetValue(const std::wstring& AName, const std::wstring& AValue) {
  int index = IndexOfName(AName);
  if (AValue.empty()) {
    if (index >= 0)
      Delete(index);
    return;
  }
  if (index < 0)
    Add(AName + L"=" + AValue);
  else
    Put(index, AName + L"=" + AValue);
}

void TStrings::LoadFromStream(TStream& AStream) {
  std::vector<uint8_t> bytes = AStream.ReadRest();
  SetText(DecodeBytes(bytes));
}

void TStrings::SaveToStream(TStream& AStream, TTextEncoding AEncoding) const {
  std::vector<uint8_t> bytes = EncodeText(GetText(), AEncoding);
  if (!bytes.empty())
    AStream.WriteBuffer(bytes.data(), bytes.size());
}

void TStrings::LoadFromFile(const std::wstring& AFileName) {
  TFileStream stream(AFileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TStrings::SaveToFile(const std::wstring& AFileName, TTextEncoding AEncoding) const {
  TFileStream stream(AFileName, fmCreate);
  SaveToStream(stream, AEncoding);
}

// ---------------------------------------------------------------------------
// TStringList

void TStringList::ListError(const wchar_t* AWhat, int AIndex) const {
  throw EStringListError(std::wstring(AWhat) + L" (" + std::to_wstring(AIndex) + L")");
}

void TStringList::CheckIndex(int AIndex) const {
  if (AIndex < 0 || AIndex >= GetCount())
    ListError(L"List index out of bounds", AIndex);
}

std::wstring TStringList::Get(int AIndex) const {
  CheckIndex(AIndex);
  return FList[size_t(AIndex)].FString;
}

void* TStringList::GetObject(int AIndex) const {
  CheckIndex(AIndex);
  return FList[size_t(AIndex)].FObject;
}

void TStringList::Put(int AIndex, const std::wstring& S) {
  if (FSorted)
    throw EStringListError(L"Operation not allowed on sorted list");
  CheckIndex(AIndex);
  Changing();
  FList[size_t(AIndex)].FString = S;
  Changed();
}

void TStringList::PutObject(int AIndex, void* AObject) {
  CheckIndex(AIndex);
  Changing();
  FList[size_t(AIndex)].FObject = AObject;
  Changed();
}

void TStringList::Insert(int AIndex, const std::wstring& S) {
  InsertObject(AIndex, S, nullptr);
}

void TStringList::InsertObject(int AIndex, const std::wstring& S, void* AObject) {
  if (FSorted)
    throw EStringListError(L"Operation not allowed on sorted list");
  if (AIndex < 0 || AIndex > GetCount())
    ListError(L"List index out of bounds", AIndex);
  InsertItem(AIndex, S, AObject);
}

void TStringList::InsertItem(int AIndex, const std::wstring& S, void* AObject) {
  Changing();
  FList.insert(FList.begin() + AIndex, TStringItem{S, AObject});
  Changed();
}

void TStringList::Delete(int AIndex) {
  CheckIndex(AIndex);
  Changing();
  FList.erase(FList.begin() + AIndex);
  Changed();
}

void TStringList::Clear() {
  if (FList.empty())
    return;
  Changing();
  FList.clear();
  Changed();
}

int TStringList::Add(const std::wstring& S) {
  return AddObject(S, nullptr);
}

int TStringList::AddObject(const std::wstring& S, void* AObject) {
  int index = GetCount();
  if (FSorted && Find(S, index)) {
    if (FDuplicates == dupIgnore)
      return index;
    if (FDuplicates == dupError)
      throw EStringListError(L"String list does not allow duplicates");
    // dupAccept: after the equal ones, so equal strings keep their order.
    while (index < GetCount() && CompareStrings(FList[size_t(index)].FString, S) == 0)
      ++index;
  }
  InsertItem(index, S, AObject);
  return index;
}

void TStringList::Exchange(int AIndex1, int AIndex2) {
  CheckIndex(AIndex1);
  CheckIndex(AIndex2);
  Changing();
  std::swap(FList[size_t(AIndex1)], FList[size_t(AIndex2)]);
  Changed();
}

void TStringList::Move(int ACurIndex, int ANewIndex) {
  // Refused before anything is deleted: the insert of a sorted list would
  // fail and lose the entry.
  if (FSorted)
    throw EStringListError(L"Operation not allowed on sorted list");
  if (ACurIndex == ANewIndex)
    return;
  CheckIndex(ACurIndex);
  CheckIndex(ANewIndex);
  TStrings::Move(ACurIndex, ANewIndex);
}

int TStringList::IndexOf(const std::wstring& S) const {
  if (!FSorted)
    return TStrings::IndexOf(S);
  int index = 0;
  return Find(S, index) ? index : -1;
}

int TStringList::CompareStrings(const std::wstring& S1, const std::wstring& S2) const {
  return FCaseSensitive ? CompareExactly(S1, S2) : CompareIgnoringCase(S1, S2);
}

bool TStringList::Find(const std::wstring& S, int& AIndex) const {
  int low = 0;
  int high = GetCount();
  bool found = false;
  while (low < high) {
    int middle = low + (high - low) / 2;
    int result = CompareStrings(FList[size_t(middle)].FString, S);
    if (result < 0) {
      low = middle + 1;
    } else {
      if (result == 0)
        found = true;
      high = middle;
    }
  }
  AIndex = low;
  return found;
}

void TStringList::Sort() {
  CustomSort([](TStringList* AList, int AIndex1, int AIndex2) {
    return AList->CompareStrings(AList->FList[size_t(AIndex1)].FString,
                                 AList->FList[size_t(AIndex2)].FString);
  });
}

void TStringList::CustomSort(const std::function<int(TStringList*, int, int)>& ACompare) {
  if (GetCount() < 2)
    return;
  std::vector<int> order(FList.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int A, int B) { return ACompare(this, A, B) < 0; });
  Changing();
  std::vector<TStringItem> sorted;
  sorted.reserve(FList.size());
  for (int index : order)
    sorted.push_back(std::move(FList[size_t(index)]));
  FList = std::move(sorted);
  Changed();
}

void TStringList::SetSorted(bool AValue) {
  if (FSorted == AValue)
    return;
  if (AValue)
    Sort();
  FSorted = AValue;
}

void TStringList::SetCaseSensitive(bool AValue) {
  if (FCaseSensitive == AValue)
    return;
  FCaseSensitive = AValue;
  if (FSorted)
    Sort();
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging)
    OnChanging(this);
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange)
    OnChange(this);
}

void TStringList::SetUpdateState(bool AUpdating) {
  if (AUpdating)
    Changing();
  else
    Changed();
}
