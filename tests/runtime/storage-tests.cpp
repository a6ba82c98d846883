#include "rtl-exceptions.h"
#include "storage.h"
#include "string-lists.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using TTexts = std::vector<std::wstring>;

TTexts Texts(const TStrings& AStrings) {
  TTexts texts;
  for (int i = 0; i < AStrings.Count(); ++i)
    texts.push_back(AStrings.Strings(i));
  return texts;
}

std::wstring UniqueSuffix() {
  return std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
}

// A scratch key of its own under HKEY_CURRENT_USER\Software\Orvandel-Test,
// deleted with everything below it afterwards.
class RegistryStorage : public ::testing::Test {
protected:
  void SetUp() override { FKey = L"Software\\Orvandel-Test\\" + UniqueSuffix(); }
  void TearDown() override {
    TRegistry registry;
    registry.DeleteKey(L"\\" + FKey);
    // The shared parent goes too once no other run uses it.
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Orvandel-Test");
    EXPECT_FALSE(registry.KeyExists(L"\\" + FKey));
  }

  // What is stored under a path below the scratch key, read with the
  // system's own calls rather than the classes under test.
  DWORD RawType(const std::wstring& ASubKey, const std::wstring& AName,
                std::vector<uint8_t>* AData = nullptr) {
    std::wstring path = ASubKey.empty() ? FKey : FKey + L"\\" + ASubKey;
    DWORD type = 0;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), AName.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                     &type, nullptr, &size) != ERROR_SUCCESS)
      return REG_NONE;
    std::vector<uint8_t> data(size);
    RegGetValueW(HKEY_CURRENT_USER, path.c_str(), AName.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                 data.data(), &size);
    data.resize(size);
    if (AData)
      *AData = data;
    return type;
  }

  std::wstring FKey;
};

// --- TRegistry ------------------------------------------------------------------

TEST_F(RegistryStorage, ValuesOfEveryKindReadBackAsWritten) {
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(L"\\" + FKey + L"\\Values", true));
  const uint8_t blob[] = {1, 2, 3, 0, 255};
  registry.WriteString(L"Text", L"h\u00e9llo");
  registry.WriteInteger(L"Number", -42);
  registry.WriteBool(L"Flag", true);
  registry.WriteFloat(L"Ratio", 0.1);
  registry.WriteBinaryData(L"Blob", blob, sizeof blob);

  EXPECT_EQ(registry.ReadString(L"Text"), L"h\u00e9llo");
  EXPECT_EQ(registry.ReadInteger(L"Number"), -42);
  EXPECT_TRUE(registry.ReadBool(L"Flag"));
  EXPECT_EQ(registry.ReadFloat(L"Ratio"), 0.1);
  uint8_t back[8] = {};
  EXPECT_EQ(registry.ReadBinaryData(L"Blob", back, sizeof back), 5);
  EXPECT_EQ(std::memcmp(back, blob, sizeof blob), 0);
  EXPECT_EQ(registry.ReadBinaryData(L"Blob", back, 2), 2);
  EXPECT_EQ(registry.GetDataSize(L"Blob"), 5);
  EXPECT_EQ(registry.GetDataType(L"Number"), rdInteger);
  EXPECT_EQ(RawType(L"Values", L"Ratio"), DWORD(REG_BINARY));
}

TEST_F(RegistryStorage, MissingOrMistypedValuesRaiseExceptAMissingString) {
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(L"\\" + FKey, true));
  registry.WriteString(L"Text", L"12");

  EXPECT_EQ(registry.ReadString(L"Missing"), L"");
  EXPECT_EQ(registry.GetDataSize(L"Missing"), -1);
  EXPECT_EQ(registry.ReadBinaryData(L"Missing", nullptr, 0), 0);
  EXPECT_THROW(registry.ReadInteger(L"Missing"), ERegistryException);
  EXPECT_THROW(registry.ReadInteger(L"Text"), ERegistryException);
  EXPECT_THROW(registry.ReadFloat(L"Text"), ERegistryException);
}

TEST_F(RegistryStorage, KeyPathsCountFromTheCurrentKeyUnlessTheyStartAtTheRoot) {
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(L"\\" + FKey + L"\\", true));
  EXPECT_EQ(registry.CurrentPath(), FKey);
  ASSERT_TRUE(registry.OpenKey(L"Layouts\\Grid", true));
  EXPECT_EQ(registry.CurrentPath(), FKey + L"\\Layouts\\Grid");
  registry.WriteInteger(L"Width", 5);

  EXPECT_FALSE(registry.OpenKey(L"Missing", false));
  EXPECT_EQ(registry.CurrentPath(), FKey + L"\\Layouts\\Grid"); // unchanged
  EXPECT_TRUE(registry.OpenKeyReadOnly(L"\\" + FKey + L"\\Layouts\\Grid"));
  EXPECT_EQ(registry.ReadInteger(L"Width"), 5);
  EXPECT_THROW(registry.WriteInteger(L"Width", 6), ERegistryException);
  registry.CloseKey();
  EXPECT_EQ(registry.CurrentKey(), nullptr);
  EXPECT_TRUE(registry.KeyExists(FKey + L"\\Layouts"));
}

TEST_F(RegistryStorage, DeleteKeyRemovesTheWholeTreeButNeverAnEmptyName) {
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(L"\\" + FKey, true));
  ASSERT_TRUE(registry.CreateKey(L"Tree\\Branch\\Leaf"));
  registry.WriteString(L"Keep", L"me");
  TStringList names;
  registry.GetKeyNames(names);
  EXPECT_EQ(Texts(names), TTexts{L"Tree"});

  EXPECT_FALSE(registry.DeleteKey(L""));
  EXPECT_TRUE(registry.ValueExists(L"Keep"));
  EXPECT_TRUE(registry.DeleteKey(L"Tree"));
  EXPECT_FALSE(registry.KeyExists(L"Tree"));
  EXPECT_FALSE(registry.HasSubKeys());
  registry.GetValueNames(names);
  EXPECT_EQ(Texts(names), TTexts{L"Keep"});
}

// --- TRegIniFile ----------------------------------------------------------------

TEST_F(RegistryStorage, RegIniFileKeepsSectionsAsSubkeysAndNumbersAsText) {
  TRegIniFile ini(FKey);
  ini.WriteInteger(L"Tools\\Flash", L"Address", 4096);
  ini.WriteBool(L"Tools\\Flash", L"Verify", true);
  ini.WriteString(L"", L"Top", L"at the key");

  std::vector<uint8_t> data;
  EXPECT_EQ(RawType(L"Tools\\Flash", L"Address", &data), DWORD(REG_SZ));
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())), L"4096");
  EXPECT_EQ(RawType(L"Tools\\Flash", L"Verify", &data), DWORD(REG_SZ));
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())), L"1");
  EXPECT_EQ(RawType(L"", L"Top"), DWORD(REG_SZ));

  EXPECT_EQ(ini.ReadInteger(L"Tools\\Flash", L"Address", 0), 4096);
  EXPECT_TRUE(ini.ReadBool(L"Tools\\Flash", L"Verify", false));
  EXPECT_EQ(ini.ReadString(L"", L"Top", L""), L"at the key");
  // The object's own key stays current through every section call.
  EXPECT_EQ(ini.CurrentPath(), FKey);
}

TEST_F(RegistryStorage, RegIniFileReadsDefaultsForWhatIsMissingOrUnreadable) {
  TRegIniFile ini(FKey);
  ini.WriteString(L"S", L"Word", L"twelve");
  ini.TRegistry::OpenKey(L"S", false);
  ini.TRegistry::WriteInteger(L"Dword", 7);
  ini.TRegistry::OpenKey(L"\\" + FKey, false);

  EXPECT_EQ(ini.ReadString(L"None", L"X", L"dflt"), L"dflt");
  EXPECT_EQ(ini.ReadString(L"S", L"None", L"dflt"), L"dflt");
  EXPECT_EQ(ini.ReadInteger(L"S", L"Word", 3), 3);
  EXPECT_EQ(ini.ReadInteger(L"S", L"Dword", 3), 7);
  EXPECT_EQ(ini.ReadString(L"S", L"Dword", L""), L"7");
  EXPECT_TRUE(ini.ReadBool(L"None", L"X", true));
}

TEST_F(RegistryStorage, RegIniFileListsErasesAndDeletes) {
  TRegIniFile ini(FKey);
  ini.WriteString(L"Grid", L"A", L"1");
  ini.WriteString(L"Grid", L"B", L"2");
  ini.WriteString(L"Grid\\Columns", L"C", L"3");
  ini.WriteString(L"Other", L"D", L"4");

  TStringList list;
  ini.ReadSections(list);
  list.SetSorted(true);
  EXPECT_EQ(Texts(list), (TTexts{L"Grid", L"Other"}));
  ini.ReadSectionValues(L"Grid", list);
  EXPECT_EQ(Texts(list), (TTexts{L"A=1", L"B=2"}));

  ini.DeleteKey(L"Grid", L"A");
  ini.ReadSection(L"Grid", list);
  EXPECT_EQ(Texts(list), TTexts{L"B"});
  ini.EraseSection(L"Grid");
  EXPECT_FALSE(ini.KeyExists(L"Grid"));
  EXPECT_EQ(ini.ReadString(L"Grid\\Columns", L"C", L"gone"), L"gone");
  ini.ReadSection(L"Grid", list);
  EXPECT_EQ(list.Count(), 0);
}

// --- TRegistryIniFile --------------------------------------------------------------

TEST_F(RegistryStorage, RegistryIniFileStoresFloatsAsEightBytesAndBooleansAsText) {
  {
    TRegistryIniFile ini(FKey);
    ini.WriteFloat(L"", L"P_SizeCoef0", 308.25);
    ini.WriteBool(L"", L"P_Visibility0", false);
    ini.WriteBool(L"", L"P_Visibility1", true);
    ini.WriteInteger(L"Counts", L"Rows", 3);
  }
  std::vector<uint8_t> data;
  ASSERT_EQ(RawType(L"", L"P_SizeCoef0", &data), DWORD(REG_BINARY));
  ASSERT_EQ(data.size(), 8u);
  double stored;
  std::memcpy(&stored, data.data(), 8);
  EXPECT_EQ(stored, 308.25);
  EXPECT_EQ(RawType(L"", L"P_Visibility0", &data), DWORD(REG_SZ));
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())), L"0");
  EXPECT_EQ(RawType(L"Counts", L"Rows"), DWORD(REG_DWORD));

  TRegistryIniFile ini(FKey);
  EXPECT_EQ(ini.ReadFloat(L"", L"P_SizeCoef0", 1.0), 308.25);
  EXPECT_EQ(ini.ReadFloat(L"", L"Missing", 1.5), 1.5);
  EXPECT_FALSE(ini.ReadBool(L"", L"P_Visibility0", true));
  EXPECT_TRUE(ini.ReadBool(L"", L"P_Visibility1", false));
  EXPECT_EQ(ini.ReadInteger(L"Counts", L"Rows", 0), 3);
  EXPECT_TRUE(ini.ValueExists(L"Counts", L"Rows"));
  EXPECT_FALSE(ini.ValueExists(L"Counts", L"Cols"));
  EXPECT_TRUE(ini.SectionExists(L"Counts"));
}

// --- Ini files on disk ---------------------------------------------------------------

class IniFileStorage : public ::testing::Test {
protected:
  void SetUp() override {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    FFileName = std::wstring(folder) + L"orvandel-ini-" + UniqueSuffix() + L".ini";
  }
  void TearDown() override { DeleteFileW(FFileName.c_str()); }
  std::wstring FFileName;
};

// Every ini store reads numbers the same way.
TEST_F(IniFileStorage, NumbersParseOrFallBackToTheDefault) {
  struct TCase {
    const wchar_t* Text;
    int Integer;
    double Float;
  };
  const TCase cases[] = {
      {L"12", 12, 12.0},
      {L" -5 ", -5, -5.0},
      {L"0x1F", 31, -1.0},
      {L"$10", 16, -1.0},
      {L"0xFFFFFFFF", -1, -1.0},
      {L"2.5", -1, 2.5},
      {L"abc", -1, -1.0},
      {L"", -1, -1.0},
      {L"99999999999", -1, 99999999999.0},
      {L"-2147483648", int(0x80000000u), -2147483648.0},
      {L"1e3", -1, 1000.0},
  };
  TMemIniFile mem(L"");
  TIniFile disk(FFileName);
  for (TCustomIniFile* ini :
       {static_cast<TCustomIniFile*>(&mem), static_cast<TCustomIniFile*>(&disk)}) {
    for (const auto& c : cases) {
      ini->WriteString(L"N", L"V", c.Text);
      EXPECT_EQ(ini->ReadInteger(L"N", L"V", -1), c.Integer) << ini->ClassName() << c.Text;
      EXPECT_EQ(ini->ReadFloat(L"N", L"V", -1.0), c.Float) << ini->ClassName() << c.Text;
    }
    ini->WriteFloat(L"N", L"F", 0.1);
    EXPECT_EQ(ini->ReadFloat(L"N", L"F", 0), 0.1);
    ini->WriteBool(L"N", L"B", true);
    EXPECT_EQ(ini->ReadString(L"N", L"B", L""), L"1");
    EXPECT_TRUE(ini->ReadBool(L"N", L"B", false));
  }
}

TEST_F(IniFileStorage, IniFileWritesThroughAtEachCall) {
  TIniFile ini(FFileName);
  ini.WriteString(L"Grid", L"Width", L"10");
  ini.WriteInteger(L"Grid", L"Height", 20);
  ini.WriteString(L"Grid\\Columns", L"Name", L"x");
  ini.WriteString(L"Other", L"Key", L"value");

  TIniFile again(FFileName);
  EXPECT_EQ(again.ReadString(L"grid", L"width", L""), L"10");
  EXPECT_EQ(again.ReadInteger(L"Grid", L"Height", 0), 20);
  EXPECT_EQ(again.ReadString(L"Grid", L"Missing", L"dflt"), L"dflt");
  TStringList list;
  again.ReadSections(list);
  EXPECT_EQ(Texts(list), (TTexts{L"Grid", L"Grid\\Columns", L"Other"}));
  again.ReadSectionValues(L"Grid", list);
  EXPECT_EQ(Texts(list), (TTexts{L"Width=10", L"Height=20"}));

  again.DeleteKey(L"Grid", L"Width");
  again.EraseSection(L"Other");
  again.UpdateFile();
  ini.ReadSection(L"Grid", list);
  EXPECT_EQ(Texts(list), TTexts{L"Height"});
  EXPECT_FALSE(ini.SectionExists(L"Other"));
  EXPECT_TRUE(ini.ValueExists(L"Grid", L"Height"));
}

TEST_F(IniFileStorage, IniFileReadsLongValuesWhole) {
  TIniFile ini(FFileName);
  std::wstring value(5000, L'x');
  ini.WriteString(L"S", L"Long", value);
  EXPECT_EQ(ini.ReadString(L"S", L"Long", L""), value);
}

TEST_F(IniFileStorage, MemIniFileWritesTheFileOnlyWhenAsked) {
  TMemIniFile ini(FFileName);
  ini.WriteString(L"Layout", L"Width", L"10");
  ini.WriteString(L"layout", L"Caption", L"\u00dcbersicht");
  ini.WriteString(L"Grid\\Columns", L"Name", L"x");
  EXPECT_EQ(GetFileAttributesW(FFileName.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ini.ReadString(L"LAYOUT", L"WIDTH", L""), L"10");

  ini.UpdateFile();

  TMemIniFile again(FFileName);
  TStringList list;
  again.ReadSections(list);
  EXPECT_EQ(Texts(list), (TTexts{L"Layout", L"Grid\\Columns"}));
  again.ReadSectionValues(L"Layout", list);
  EXPECT_EQ(Texts(list), (TTexts{L"Width=10", L"Caption=\u00dcbersicht"}));
  // The file is an ordinary ini file: the system's profile functions read
  // it, non-ASCII text too.
  TIniFile disk(FFileName);
  EXPECT_EQ(disk.ReadString(L"Layout", L"Caption", L""), L"\u00dcbersicht");
  EXPECT_EQ(disk.ReadString(L"Grid\\Columns", L"Name", L""), L"x");
}

TEST_F(IniFileStorage, MemIniFileReadsWhatAnIniFileWrote) {
  {
    TIniFile disk(FFileName);
    disk.WriteString(L"A", L"One", L"1");
    disk.WriteString(L"B", L"Two", L" spaced ");
  }
  TMemIniFile ini(FFileName);
  EXPECT_EQ(ini.ReadInteger(L"A", L"One", 0), 1);
  EXPECT_TRUE(ini.ValueExists(L"b", L"two"));
  ini.EraseSection(L"A");
  ini.DeleteKey(L"B", L"Two");
  TStringList list;
  ini.GetStrings(list);
  EXPECT_EQ(Texts(list), (TTexts{L"[B]", L""}));
}

} // namespace
