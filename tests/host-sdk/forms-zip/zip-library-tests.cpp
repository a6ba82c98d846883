// The zip wrapper over the stand-in "ZipComponents.DLL" in the host's
// System folder, unpacking the fixture archives written at build time.

#include "zip-library.h"

#include "test-host-access.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::wstring ExeFolder() {
  wchar_t name[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, name, MAX_PATH);
  std::wstring folder = name;
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring Fixture(const wchar_t* AName) {
  return ExeFolder() + L"zip-fixtures\\" + AName;
}

std::string ReadAll(const std::wstring& AName) {
  std::ifstream file(std::filesystem::path(AName), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

bool Exists(const std::wstring& AName) {
  return GetFileAttributesW(AName.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A fresh folder in the temporary folder, with a parent of its own so that
// an entry escaping it would show.
class TZipFolder : public ::testing::Test {
protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    FParent = std::wstring(temp) + L"orvandel-zip-" + std::to_wstring(GetCurrentProcessId()) +
              L"-" + std::to_wstring(++FCounter) + L"\\";
    FTarget = FParent + L"out\\";
    CreateDirectoryW(FParent.c_str(), nullptr);
    CreateDirectoryW(FTarget.c_str(), nullptr);
  }
  std::wstring FParent, FTarget;
  static inline int FCounter = 0;
};

const std::string kReadme = "stored, not deflated\n";

std::string FixtureBsdl() {
  std::string text;
  for (int i = 0; i < 200; ++i)
    text += "-- line " + std::to_string(i) + " of the fixture BSDL text\n";
  return text;
}

} // namespace

TEST_F(TZipFolder, UnzipWritesEachEntryInsideTheTargetFolderOnly) {
  TXCeedZip zip(Fixture(L"bsdl-files.zip"));
  ASSERT_TRUE(zip.IsAvailable());
  std::vector<std::string> warnings;
  std::vector<int32_t> processed;
  int32_t completedResult = -100, completedFiles = -1;
  zip.EventWarning = [&](const TWarningRec* ARec) { warnings.push_back(ARec->szFilename); };
  zip.EventGlobalStatus = [&](const TGlobalStatusRec* ARec) {
    processed.push_back(ARec->lFilesProcessed);
  };
  zip.EventProcessCompleted = [&](const TProcessCompletedRec* ARec) {
    completedResult = ARec->xResult;
    completedFiles = ARec->lFilesProcessed;
  };
  zip.SetUnzipToFolder(FTarget);
  zip.SetPreservePaths(true);

  EXPECT_EQ(zip.UnZip(), 0);

  EXPECT_EQ(ReadAll(FTarget + L"LM3S101.bsd"), FixtureBsdl());
  EXPECT_EQ(ReadAll(FTarget + L"docs\\readme.txt"), kReadme);
  EXPECT_FALSE(Exists(FParent + L"escaped.txt"));
  EXPECT_EQ(warnings, std::vector<std::string>{"../escaped.txt"});
  EXPECT_EQ(processed.size(), 4u);
  EXPECT_EQ(completedResult, 0);
  EXPECT_EQ(completedFiles, 3);
}

TEST_F(TZipFolder, PreservePathsDecidesWhereAFileOfASubfolderLands) {
  struct TCase {
    bool PreservePaths;
    const wchar_t* Expected;
    const wchar_t* Absent;
  };
  const TCase cases[] = {
      {true, L"docs\\readme.txt", L"readme.txt"},
      {false, L"readme.txt", L"docs\\readme.txt"},
  };
  for (const TCase& c : cases) {
    SetUp();
    TXCeedZip zip(Fixture(L"bsdl-files.zip"));
    zip.SetUnzipToFolder(FTarget);
    zip.SetPreservePaths(c.PreservePaths);
    zip.AddFilesToProcess(L"*.txt");
    zip.AddFilesToExclude(L"escaped*");
    EXPECT_EQ(zip.UnZip(), 0) << c.PreservePaths;
    EXPECT_EQ(ReadAll(FTarget + c.Expected), kReadme) << c.PreservePaths;
    EXPECT_FALSE(Exists(FTarget + c.Absent)) << c.PreservePaths;
    EXPECT_FALSE(Exists(FTarget + L"LM3S101.bsd")) << c.PreservePaths;
  }
}

TEST_F(TZipFolder, SkipIfExistingLeavesAnExistingFileAlone) {
  { std::ofstream(std::filesystem::path(FTarget + L"LM3S101.bsd")) << "mine"; }
  TXCeedZip zip(Fixture(L"bsdl-files.zip"));
  zip.SetUnzipToFolder(FTarget);
  zip.SetSkipIfExisting(true);
  zip.AddFilesToProcess(L"*.bsd");
  EXPECT_EQ(zip.UnZip(), 0);
  EXPECT_EQ(ReadAll(FTarget + L"LM3S101.bsd"), "mine");
}

TEST(ZipLibrary, ListResultsHoldOnlyTheNamesOfTheLastListing) {
  TXCeedZip zip(Fixture(L"bsdl-files.zip"));
  const std::vector<std::wstring> expected = {L"LM3S101.bsd", L"docs/", L"docs/readme.txt",
                                              L"../escaped.txt"};
  EXPECT_EQ(zip.List(), 0);
  EXPECT_EQ(zip.ListResults(), expected);
  EXPECT_EQ(zip.List(), 0);
  EXPECT_EQ(zip.ListResults(), expected);
}

TEST(ZipLibrary, TestZipIsTrueOnlyForASoundArchive) {
  struct TCase {
    const wchar_t* Archive;
    bool Sound;
  };
  const TCase cases[] = {
      {L"bsdl-files.zip", true},
      {L"damaged.zip", false},
      {L"no-such-archive.zip", false},
  };
  for (const TCase& c : cases) {
    TXCeedZip zip(Fixture(c.Archive));
    EXPECT_EQ(zip.TestZip(), c.Sound) << Narrow(c.Archive);
  }
}

TEST(ZipLibrary, FailuresComeBackAsTheLibrarysCodeWithItsDescription) {
  TXCeedZip zip(Fixture(L"no-such-archive.zip"));
  const int32_t result = zip.UnZip();
  EXPECT_NE(result, 0);
  EXPECT_EQ(zip.GetErrorMessage(result), L"The zip file could not be opened.");
  EXPECT_EQ(zip.Zip(), 7); // creating archives is not offered by the stand-in
}

TEST(ZipLibrary, OnlyTheLastConstructedInstanceReceivesCallbacksUntilEitherGoes) {
  auto first = std::make_unique<TXCeedZip>(Fixture(L"bsdl-files.zip"));
  EXPECT_EQ(TXCeedZip::CurrentZip(), first.get());
  auto second = std::make_unique<TXCeedZip>(Fixture(L"bsdl-files.zip"));
  EXPECT_EQ(TXCeedZip::CurrentZip(), second.get());
  EXPECT_EQ(first->List(), 0);
  EXPECT_TRUE(first->ListResults().empty());
  EXPECT_EQ(second->ListResults().size(), 4u);
  first.reset();
  EXPECT_EQ(TXCeedZip::CurrentZip(), nullptr);
}

TEST(ZipLibrary, TheLibrarysPeekMessageImportGoesThroughThePlugIn) {
  TXCeedZip zip(Fixture(L"bsdl-files.zip"));
  HMODULE library = GetModuleHandleW(L"ZipComponents.DLL");
  ASSERT_NE(library, nullptr);
  const std::vector<void**> slots = FindImportSlots(library, "USER32.dll", "PeekMessageA");
  ASSERT_FALSE(slots.empty());
  for (void** slot : slots)
    EXPECT_EQ(*slot, reinterpret_cast<void*>(&PeekMessagePassThrough));
  // The library still pumps through it while it works.
  EXPECT_EQ(zip.List(), 0);
}

// ---- the import patch on a made-up module image ----------------------------

namespace {

struct TImport {
  const char* Library;
  const char* Function; // nullptr: imported by ordinal
};

// The image kind of this program: PE32 for 32-bit code, PE32+ for 64-bit.
constexpr bool kWideImage = sizeof(void*) == 8;

// A minimal image: DOS header, PE headers with the import directory, the
// descriptors, lookup and address tables and names. Each import gets its
// own descriptor so libraries repeat as a linker may write them. The image
// is of this program's own kind unless AOtherKind asks for the other one.
class TFakeImage {
public:
  explicit TFakeImage(const std::vector<TImport>& AImports, bool AOtherKind = false) {
    FBase = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    const bool wide = kWideImage != AOtherKind;
    FBase[0] = 'M';
    FBase[1] = 'Z';
    Put(60, 0x80);
    Put(0x80, 0x00004550);
    const uint16_t magic = wide ? 0x20B : 0x10B;
    std::memcpy(FBase + 0x80 + 24, &magic, 2);
    const uint32_t descriptors = 0x400;
    Put(0x80 + (wide ? 144 : 128), descriptors);
    uint32_t data = 0x800;
    for (std::size_t i = 0; i < AImports.size(); ++i) {
      const uint32_t descriptor = descriptors + uint32_t(20 * i);
      const uint32_t lookup = data, addresses = data + 16, libraryName = data + 32,
                     hintName = data + 64;
      data += 128;
      Put(descriptor, lookup);
      Put(descriptor + 12, libraryName);
      Put(descriptor + 16, addresses);
      std::strcpy(reinterpret_cast<char*>(FBase + libraryName), AImports[i].Library);
      if (AImports[i].Function) {
        Put(lookup, hintName);
        std::strcpy(reinterpret_cast<char*>(FBase + hintName + 2), AImports[i].Function);
      } else {
        Put(lookup, 7);
        FBase[lookup + (wide ? 7 : 3)] = 0x80; // the by-ordinal flag, the entry's top bit
      }
      Put(addresses, 0x1234);
      FSlots.push_back(reinterpret_cast<uint32_t*>(FBase + addresses));
    }
  }
  ~TFakeImage() { VirtualFree(FBase, 0, MEM_RELEASE); }
  HMODULE Module() const { return reinterpret_cast<HMODULE>(FBase); }
  // The slot's low word; its high word (PE32+) must stay zero.
  uint32_t Slot(std::size_t AIndex) const { return *FSlots[AIndex]; }
  uint32_t SlotHighWord(std::size_t AIndex) const { return FSlots[AIndex][1]; }
  void Corrupt(uint32_t AOffset) { FBase[AOffset] ^= 0xFF; }

private:
  void Put(uint32_t AOffset, uint32_t AValue) { std::memcpy(FBase + AOffset, &AValue, 4); }
  static constexpr std::size_t kSize = 0x4000;
  uint8_t* FBase;
  std::vector<uint32_t*> FSlots;
};

} // namespace

TEST(PeekMessageImportPatch, WritesOnlyUser32PeekMessageASlotsByExactName) {
  struct TCase {
    std::vector<TImport> Imports;
    std::vector<bool> Patched;
  };
  const TCase cases[] = {
      {{{"user32.dll", "PeekMessageA"}}, {true}},
      {{{"USER32.DLL", "PeekMessageA"}}, {true}},
      {{{"user32.dll", "peekmessagea"}}, {false}},
      {{{"user32.dll", "PeekMessageW"}}, {false}},
      {{{"kernel32.dll", "PeekMessageA"}}, {false}},
      {{{"user32.dll", nullptr}, {"user32.dll", "PeekMessageA"}}, {false, true}},
      {{{"user32.dll", "GetMessageA"}, {"gdi32.dll", "BitBlt"}}, {false, false}},
  };
  int number = 0;
  for (const TCase& c : cases) {
    TFakeImage image(c.Imports);
    int expected = 0;
    for (bool patched : c.Patched)
      expected += patched;
    EXPECT_EQ(PatchPeekMessageImport(image.Module(), reinterpret_cast<void*>(0x5678)), expected)
        << "case " << number;
    for (std::size_t i = 0; i < c.Patched.size(); ++i) {
      EXPECT_EQ(image.Slot(i), c.Patched[i] ? 0x5678u : 0x1234u)
          << "case " << number << " slot " << i;
      EXPECT_EQ(image.SlotHighWord(i), 0u) << "case " << number << " slot " << i;
    }
    ++number;
  }
}

TEST(PeekMessageImportPatch, LeavesAnImageOfTheOtherKindAlone) {
  // Its address slots are not of a pointer's width: writing one would
  // overrun it or leave half of it.
  TFakeImage image(std::vector<TImport>{{"user32.dll", "PeekMessageA"}}, true);
  EXPECT_EQ(PatchPeekMessageImport(image.Module(), reinterpret_cast<void*>(0x5678)), 0);
  EXPECT_EQ(image.Slot(0), 0x1234u);
}

TEST(PeekMessageImportPatch, LeavesAModuleWithoutValidHeadersAlone) {
  for (const uint32_t corrupted : {0u, 0x80u}) { // the "MZ" and the "PE" signature
    TFakeImage image(std::vector<TImport>{{"user32.dll", "PeekMessageA"}});
    image.Corrupt(corrupted);
    EXPECT_EQ(PatchPeekMessageImport(image.Module(), reinterpret_cast<void*>(0x5678)), 0);
    EXPECT_EQ(image.Slot(0), 0x1234u);
  }
}
