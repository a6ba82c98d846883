// Finding a device's BSDL file: the path the library tree gives, then the
// file itself, its copy in the temporary folder, or that copy unpacked from
// the ".Zip" archive beside it through the stand-in zip library.

#include "bsdl-lookup.h"
#include "bsdl-model.h"
#include "host-utilities.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

std::wstring ExeFolder() {
  wchar_t name[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, name, MAX_PATH);
  std::wstring folder = name;
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

TEST(BSDLLookup, DetermineFullPathPlacesARelativeNameInTheLibraryTree) {
  struct TCase {
    const wchar_t *Name, *Vendor, *Family, *Library, *Expected;
  };
  const std::wstring own = ExeFolder() + L"Library\\BSDL\\TI\\Stellaris\\lm3s101.bsd";
  const TCase cases[] = {
      {L"lm3s101.bsd", L"TI", L"Stellaris", L"", own.c_str()},
      {L"lm3s101.bsd", L"TI", L"Stellaris", L"C:\\lib", L"C:\\lib\\BSDL\\TI\\Stellaris\\lm3s101.bsd"},
      {L"lm3s101.bsd", L"TI", L"Stellaris", L"C:\\lib\\", L"C:\\lib\\BSDL\\TI\\Stellaris\\lm3s101.bsd"},
      {L"lm3s101.bsd", L"", L"", L"C:\\lib", L"C:\\lib\\BSDL\\\\\\lm3s101.bsd"},
      {L"sub\\lm3s101.bsd", L"TI", L"LM3S", L"D:\\", L"D:\\BSDL\\TI\\LM3S\\sub\\lm3s101.bsd"},
      {L"C:\\bsdl\\lm3s101.bsd", L"TI", L"Stellaris", L"D:\\lib", L"C:\\bsdl\\lm3s101.bsd"},
      {L"\\\\server\\bsdl\\lm3s101.bsd", L"TI", L"Stellaris", L"", L"\\\\server\\bsdl\\lm3s101.bsd"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(TBSDLEntity::DetermineFullPath(c.Name, c.Vendor, c.Family, c.Library), c.Expected)
        << std::string(c.Name, c.Name + wcslen(c.Name)) << " in "
        << std::string(c.Library, c.Library + wcslen(c.Library));
}

// A fresh library folder in the temporary folder, and the temporary copies
// the lookups may meet cleared first.
class BSDLFind : public ::testing::Test {
protected:
  void SetUp() override {
    // The lookups unpack into the temporary folder under fixed names, and
    // both architectures' test programs may run at once in one Wine prefix:
    // this process gets a temporary folder of its own.
    static const std::wstring processTemp = [] {
      const std::wstring folder = IncludeTrailingChar(GetTempFolder(), L'\\') +
                                  L"orvandel-lookup-temp-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"\\";
      CreateDirectoryW(folder.c_str(), nullptr);
      SetEnvironmentVariableW(L"TMP", folder.c_str());
      SetEnvironmentVariableW(L"TEMP", folder.c_str());
      return folder;
    }();
    FTemp = IncludeTrailingChar(GetTempFolder(), L'\\');
    ASSERT_EQ(FTemp, processTemp);
    FLibrary = FTemp + L"orvandel-lookup-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(++FCounter) + L"\\";
    // Process ids come again under Wine: a folder left by an earlier run goes.
    RemoveLibrary();
    ASSERT_TRUE(CreateDirectoryW(FLibrary.c_str(), nullptr));
    for (const wchar_t* name : {L"readme.txt", L"LM3S101.bsd", L"orvandel-only-here.bsd"})
      DeleteFileW((FTemp + name).c_str());
  }
  void TearDown() override { RemoveLibrary(); }
  // The library folder with its files and its sub-folders' files.
  void RemoveLibrary() {
    for (const std::wstring& folder : {FLibrary + L"out\\", FLibrary}) {
      WIN32_FIND_DATAW data;
      const HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
      if (find != INVALID_HANDLE_VALUE) {
        do
          DeleteFileW((folder + data.cFileName).c_str());
        while (FindNextFileW(find, &data));
        FindClose(find);
      }
      RemoveDirectoryW(folder.c_str());
    }
  }
  void Write(const std::wstring& AName) {
    const HANDLE file = CreateFileW(AName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }
  // The fixture archive (LM3S101.bsd at its root, docs/readme.txt below it).
  void Archive(const std::wstring& AName) {
    ASSERT_TRUE(CopyFileW((ExeFolder() + L"zip-fixtures\\bsdl-files.zip").c_str(), AName.c_str(),
                          FALSE));
  }
  std::wstring FTemp, FLibrary;
  static inline int FCounter = 0;
};

TEST_F(BSDLFind, ThePathItselfComesBeforeATemporaryCopy) {
  Write(FLibrary + L"orvandel-only-here.bsd");
  Write(FTemp + L"orvandel-only-here.bsd");
  EXPECT_EQ(TBSDLEntity::FindFullBSDLPath(FLibrary + L"orvandel-only-here.bsd"),
            FLibrary + L"orvandel-only-here.bsd");
  DeleteFileW((FLibrary + L"orvandel-only-here.bsd").c_str());
  EXPECT_EQ(TBSDLEntity::FindFullBSDLPath(FLibrary + L"orvandel-only-here.bsd"),
            FTemp + L"orvandel-only-here.bsd");
}

TEST_F(BSDLFind, AFileOnlyInTheArchiveIsUnpackedIntoTheTemporaryFolder) {
  Archive(FLibrary + L"readme.Zip");
  EXPECT_EQ(TBSDLEntity::FindFullBSDLPath(FLibrary + L"readme.txt"), FTemp + L"readme.txt")
      << "an entry in a folder of the archive lands directly in the temporary folder";
  EXPECT_TRUE(FileExists(FTemp + L"LM3S101.bsd")) << "the whole archive is unpacked";
  DeleteFileW((FTemp + L"LM3S101.bsd").c_str());
  Archive(FLibrary + L"LM3S101.Zip");
  EXPECT_EQ(TBSDLEntity::FindFullBSDLPath(FLibrary + L"LM3S101"), std::wstring())
      << "a name without extension gets \".Zip\" added; the archive holds no \"LM3S101\"";
  EXPECT_TRUE(FileExists(FTemp + L"LM3S101.bsd")) << "LM3S101.Zip was unpacked";
}

TEST_F(BSDLFind, WhatIsFoundNowhereIsTheEmptyText) {
  Archive(FLibrary + L"other.Zip");
  EXPECT_EQ(TBSDLEntity::FindFullBSDLPath(FLibrary + L"other.bsd"), std::wstring())
      << "the archive holds no file of that name";
  EXPECT_EQ(TBSDLEntity::FindFullBSDLPath(FLibrary + L"missing.bsd"), std::wstring());
  EXPECT_EQ(TBSDLEntity::FindFullBSDLPath(FLibrary), std::wstring()) << "a folder names no file";
  EXPECT_EQ(TBSDLEntity::FindFullBSDLPath(L""), std::wstring());
}

TEST_F(BSDLFind, UnpackingAnswersWhetherTheArchiveWasUnpacked) {
  EXPECT_FALSE(UnpackZipToFolder(FLibrary + L"none.Zip", FLibrary));
  Archive(FLibrary + L"files.Zip");
  const std::wstring out = FLibrary + L"out\\";
  ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
  EXPECT_TRUE(UnpackZipToFolder(FLibrary + L"files.Zip", out));
  EXPECT_TRUE(FileExists(out + L"LM3S101.bsd"));
  EXPECT_TRUE(FileExists(out + L"readme.txt"));
}

// The temporary folder is shared: a file of the same name already there is
// another's and stays as it was.
TEST_F(BSDLFind, UnpackingNeverOverwritesAFileAlreadyThere) {
  const std::wstring theirs = FTemp + L"readme.txt";
  {
    const HANDLE file = CreateFileW(theirs.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "theirs", 6, &written, nullptr);
    CloseHandle(file);
  }
  Archive(FLibrary + L"LM3S101.Zip");
  EXPECT_EQ(TBSDLEntity::FindFullBSDLPath(FLibrary + L"LM3S101.bsd"), FTemp + L"LM3S101.bsd");
  const HANDLE file = CreateFileW(theirs.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char bytes[16] = {};
  DWORD read = 0;
  ReadFile(file, bytes, sizeof(bytes), &read, nullptr);
  CloseHandle(file);
  EXPECT_EQ(std::string(bytes, read), "theirs");
}

} // namespace
