// The parser support library's file systems, resource streams, registry
// and folder routines, on temporary files and a scratch registry key.

#include "class-registry.h"
#include "ide-paths.h"
#include "parser-files.h"
#include "parser-utils.h"
#include "string-routines.h"

#include <aclapi.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::wstring ErrorText(const std::function<void()>& AAction) {
  try {
    AAction();
  } catch (const EDCError& e) {
    return e.Message();
  }
  return L"(no error)";
}

std::vector<char> ReadBytes(const std::wstring& AFileName) {
  std::ifstream in(AFileName.c_str(), std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::wstring& AFileName, const std::string& ABytes) {
  std::ofstream out(AFileName.c_str(), std::ios::binary | std::ios::trunc);
  out << ABytes;
}

// A fresh folder under the temporary folder, removed with its files.
class TempFolder : public ::testing::Test {
protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    FFolder = std::wstring(temp) + L"orvandel-parser-" + std::to_wstring(GetCurrentProcessId()) +
              L"-" + std::to_wstring(GetTickCount()) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(FFolder.c_str(), nullptr));
  }
  void TearDown() override {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((FFolder + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring path = FFolder + data.cFileName;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
    RemoveDirectoryW(FFolder.c_str());
  }
  std::wstring FFolder;
};

// ---- Names --------------------------------------------------------------------

TEST(FileSystem, BackupFileNames) {
  TWin32FileSystem fs;
  const std::vector<std::pair<std::wstring, std::wstring>> cases = {
      {L"C:\\src\\unit.pas", L"C:\\src\\unit.~pa"},
      {L"a.h", L"a.~h"},
      {L"README", L"README.~"},
      {L"C:\\dir.x\\README", L"C:\\dir.x\\README.~"},
      {L"C:\\src\\form.dfm", L"C:\\src\\form.~df"},
  };
  for (const auto& [name, backup] : cases)
    EXPECT_EQ(fs.GetBackupFileName(name), backup);
  EXPECT_EQ(fs.ChangeFileExt(L"C:\\a.b\\c.txt", L".bak"), L"C:\\a.b\\c.bak");
  EXPECT_EQ(fs.ChangeFileExt(L"C:\\a.b\\c", L".bak"), L"C:\\a.b\\c.bak");
  EXPECT_EQ(fs.ExtractFileExt(L"C:\\a.b\\c"), L"");
  EXPECT_EQ(fs.ExtractFileExt(L"c.tar.gz"), L".gz");
}

TEST(FileSystem, ResourceNamesFromFileNames) {
  struct TCase {
    std::wstring FileName;
    std::uint16_t TypeNumber;
    std::wstring TypeName;
    std::wstring Name;
  };
  const std::vector<TCase> cases = {
      {L"BITMAP\\Logo.bmp", 2, L"", L"Logo"},
      {L"RCDATA\\MainForm.dfm", 10, L"", L"MainForm"},
      {L"group_icon\\Main", 14, L"", L"Main"},
      {L"ANIICON\\Spin.ani", 22, L"", L"Spin"},
      {L"MYDATA\\Table.bin", 0, L"MYDATA", L"Table"},
      {L"Logo.bmp", 0, L"", L""},
  };
  for (const TCase& c : cases) {
    TResourceId type, name;
    FileNameToResource(c.FileName, type, name);
    EXPECT_EQ(type.Number, c.TypeNumber) << std::string(c.FileName.begin(), c.FileName.end());
    EXPECT_EQ(type.Name, c.TypeName);
    EXPECT_EQ(name.Name, c.Name);
  }
}

// ---- Plain files ----------------------------------------------------------------

TEST_F(TempFolder, MissingFilesAreReadonlyAndDeletingThemIsNoError) {
  TWin32FileSystem fs;
  const std::wstring missing = FFolder + L"missing.txt";
  EXPECT_TRUE(fs.IsReadonly(missing));
  EXPECT_FALSE(fs.FileExists(missing));
  EXPECT_NO_THROW(fs.DeleteFileExcept(missing));
  double age = 0;
  EXPECT_FALSE(fs.FileAge(missing, age));
}

TEST_F(TempFolder, ReadonlyFilesAreNotDeleted) {
  TWin32FileSystem fs;
  const std::wstring file = FFolder + L"locked.txt";
  WriteBytes(file, "x");
  EXPECT_FALSE(fs.IsReadonly(file));
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(fs.IsReadonly(file));
  EXPECT_EQ(ErrorText([&] { fs.DeleteFileExcept(file); }), L"Can't delete file " + file);
  EXPECT_TRUE(fs.FileExists(file));
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  fs.DeleteFileExcept(file);
  EXPECT_FALSE(fs.FileExists(file));
}

TEST_F(TempFolder, RenamingOntoAnExistingFileFails) {
  TWin32FileSystem fs;
  const std::wstring a = FFolder + L"a.txt";
  const std::wstring b = FFolder + L"b.txt";
  WriteBytes(a, "a");
  WriteBytes(b, "b");
  EXPECT_EQ(ErrorText([&] { fs.RenameFileExcept(a, b); }),
            L"Can't rename file " + a + L" to file " + b);
  EXPECT_EQ(ReadBytes(b), std::vector<char>{'b'});
  const std::wstring c = FFolder + L"c.txt";
  fs.RenameFileExcept(a, c);
  EXPECT_FALSE(fs.FileExists(a));
  EXPECT_EQ(ReadBytes(c), std::vector<char>{'a'});
}

TEST_F(TempFolder, TempFileNamesAreNewEmptyFilesInTheFolder) {
  TWin32FileSystem fs;
  const std::wstring first = fs.GetTempFileName(FFolder + L"Project.vhd");
  const std::wstring second = fs.GetTempFileName(FFolder + L"Project.vhd");
  EXPECT_NE(first, second);
  for (const std::wstring& name : {first, second}) {
    EXPECT_EQ(name.rfind(FFolder + L"Pro", 0), 0u);
    EXPECT_TRUE(fs.FileExists(name));
    EXPECT_TRUE(ReadBytes(name).empty());
  }
  EXPECT_EQ(ErrorText([&] { fs.GetTempFileName(FFolder + L"no-such-folder\\x.txt"); }),
            L"Can't create temporary filename");
}

TEST_F(TempFolder, StreamsWriteAndReadFiles) {
  TWin32FileSystem fs;
  const std::wstring file = FFolder + L"data.bin";
  {
    auto out = fs.GetFileStream(file, fmCreate);
    EXPECT_EQ(out->Write("hello", 5), 5);
  }
  auto in = fs.GetFileStream(file, fmOpenRead | fmShareDenyWrite);
  char buffer[8] = {};
  EXPECT_EQ(in->Size(), 5);
  EXPECT_EQ(in->Read(buffer, 8), 5);
  EXPECT_EQ(std::string(buffer), "hello");
  double age = 0;
  EXPECT_TRUE(fs.FileAge(file, age));
  EXPECT_GT(age, 40000.0); // after 2009
  EXPECT_THROW(fs.GetFileStream(FFolder + L"missing.bin", fmOpenRead), EDCError);
}

TEST_F(TempFolder, CurrentFolderIsTheProcesses) {
  TWin32FileSystem fs;
  const std::wstring before = fs.GetCurrentDir();
  fs.SetCurrentDir(FFolder);
  EXPECT_EQ(AppendPathDelimiter(fs.GetCurrentDir()), FFolder);
  fs.SetCurrentDir(before);
  EXPECT_EQ(fs.GetCurrentDir(), before);
}

// ---- Module resources ------------------------------------------------------------

// A copy of this test program with one RCDATA resource "GREETING".
class ModuleResources : public TempFolder {
protected:
  void SetUp() override {
    TempFolder::SetUp();
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    FModule = FFolder + L"module.exe";
    ASSERT_TRUE(CopyFileW(self, FModule.c_str(), FALSE));
    TResourceId type, name;
    FileNameToResource(L"RCDATA\\GREETING.txt", type, name);
    ASSERT_TRUE(UpdateResourceData(FModule, type, name, 5, "hello"));
  }
  std::wstring FModule;
};

TEST_F(ModuleResources, ResourcesStandForFiles) {
  TResFileSystem fs;
  fs.SetFileName(FModule);
  EXPECT_EQ(fs.GetFileSystemLevel(), TFileSystemLevel::flOnlyGetStream);
  EXPECT_TRUE(fs.FileExists(L"RCDATA\\GREETING.txt"));
  EXPECT_TRUE(fs.FileExists(L"rcdata\\greeting"));
  EXPECT_FALSE(fs.FileExists(L"RCDATA\\OTHER.txt"));
  EXPECT_FALSE(fs.FileExists(L"GREETING.txt")); // no type: nothing
  auto stream = fs.GetFileStream(L"RCDATA\\GREETING.txt", fmOpenRead);
  char buffer[8] = {};
  EXPECT_EQ(stream->Read(buffer, 8), 5);
  EXPECT_EQ(std::string(buffer), "hello");
}

TEST_F(ModuleResources, AStreamWritesItsResourceBack) {
  TResFileSystem fs;
  fs.SetFileName(FModule);
  {
    auto stream = fs.GetFileStream(L"RCDATA\\GREETING.txt", fmOpenReadWrite);
    stream->SetSize(0);
    stream->Write("good day", 8);
  }
  auto again = fs.GetFileStream(L"RCDATA\\GREETING.txt", fmOpenRead);
  char buffer[16] = {};
  EXPECT_EQ(again->Read(buffer, 16), 8);
  EXPECT_EQ(std::string(buffer), "good day");
  // fmCreate starts empty: a new resource of that name.
  {
    TResWriteStream created(FModule, L"FRESH", TResourceId{10, L""}, fmCreate);
    EXPECT_EQ(created.Size(), 0);
    created.Write("new", 3);
    created.Close();
  }
  EXPECT_TRUE(fs.FileExists(L"RCDATA\\FRESH.bin"));
}

TEST_F(ModuleResources, AStreamNeitherWrittenNorResizedLeavesTheFile) {
  const std::vector<char> before = ReadBytes(FModule);
  {
    TResWriteStream stream(FModule, L"GREETING", TResourceId{10, L""}, fmOpenRead);
    char buffer[8] = {};
    EXPECT_EQ(stream.Read(buffer, 8), 5);
  }
  EXPECT_EQ(ReadBytes(FModule), before);
}

TEST_F(TempFolder, ARefusedResourceUpdateLeavesTheFileAndIsReported) {
  const std::wstring notModule = FFolder + L"plain.txt";
  WriteBytes(notModule, "not a module");
  TResourceId type{10, L""}, name{0, L"X"};
  EXPECT_FALSE(UpdateResourceData(notModule, type, name, 3, "abc"));
  EXPECT_EQ(ReadBytes(notModule),
            (std::vector<char>{'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd', 'u', 'l', 'e'}));
  TResWriteStream stream(notModule, L"X", type, fmCreate);
  stream.Write("abc", 3);
  EXPECT_EQ(ErrorText([&] { stream.Close(); }), L"Error updating resource");
}

std::string ResourceText(const std::wstring& AModule, const wchar_t* AName) {
  HMODULE module = LoadLibraryExW(AModule.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module)
    return "(no module)";
  std::string text = "(no resource)";
  if (HRSRC resource = FindResourceW(module, AName, MAKEINTRESOURCEW(10))) {
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, resource)));
    text.assign(bytes, SizeofResource(module, resource));
  }
  FreeLibrary(module);
  return text;
}

std::int64_t SizeOf(const std::wstring& AFileName) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(AFileName.c_str(), GetFileExInfoStandard, &data);
  return (std::int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

TEST_F(ModuleResources, TheRewriterReplacesAResourceAtTheEndOfTheFile) {
  struct TCase {
    std::int32_t Length;
    std::int64_t Growth;
  };
  for (const TCase& c : {TCase{3, 4096}, TCase{0, 4096}, TCase{4096, 8192}, TCase{5000, 8192}}) {
    const std::string bytes(std::size_t(c.Length), 'r');
    const std::int64_t before = SizeOf(FModule);
    {
      TResourceWriter writer(FModule);
      writer.UpdateResource(TResourceId{10, L""}, L"GREETING", bytes.data(), c.Length);
    }
    EXPECT_EQ(SizeOf(FModule) - before, c.Growth) << c.Length << " bytes";
    EXPECT_EQ(ResourceText(FModule, L"GREETING"), bytes) << c.Length << " bytes";
  }
}

TEST_F(ModuleResources, TheRewriterFindsOnlyTheNamedResourceOfThatType) {
  const std::vector<char> before = ReadBytes(FModule);
  {
    TResourceWriter writer(FModule);
    for (const TResourceId& type : {TResourceId{2, L""}, TResourceId{0, L"RCDATA"}})
      EXPECT_EQ(ErrorText([&] { writer.UpdateResource(type, L"GREETING", "x", 1); }),
                L"Resource not found");
    EXPECT_EQ(ErrorText([&] {
                writer.UpdateResource(TResourceId{10, L""}, L"OTHER", "x", 1);
              }),
              L"Resource not found");
    std::int32_t names = 0;
    writer.ProcessAllResources(
        writer.RootDirectory(),
        [&](IMAGE_RESOURCE_DIRECTORY_ENTRY& AEntry, const IMAGE_RESOURCE_DIRECTORY_ENTRY* AType) {
          names += AEntry.NameIsString && AType && AType->Id == 10;
          return false;
        });
    EXPECT_EQ(names, 1);
    EXPECT_TRUE(writer.ProcessAllResources(
        writer.RootDirectory(), [](IMAGE_RESOURCE_DIRECTORY_ENTRY&,
                                   const IMAGE_RESOURCE_DIRECTORY_ENTRY*) { return true; }));
  }
  EXPECT_EQ(ReadBytes(FModule), before);
}

TEST_F(TempFolder, TheRewriterRefusesWhatIsNoModuleWithResources) {
  const std::wstring plain = FFolder + L"plain.bin";
  WriteBytes(plain, std::string(512, 'x'));
  EXPECT_EQ(ErrorText([&] {
              TResourceWriter writer(plain);
            }).rfind(L"Invalid file format\r\nError code : ", 0),
            0u);
  EXPECT_EQ(ErrorText([&] { TResourceWriter writer(FFolder + L"missing.exe"); }),
            L"Can't open file for writing\r\nError code : 2");
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring bare = FFolder + L"bare.exe";
  ASSERT_TRUE(CopyFileW(self, bare.c_str(), FALSE));
  EXPECT_EQ(ErrorText([&] {
              TResourceWriter writer(bare);
            }).rfind(L"This file doesn't contain resources\r\nError code : ", 0),
            0u);
}

TEST(FileSystem, StartUpRegistersBothFileSystemClasses) {
  EXPECT_EQ(FindRegisteredClass(L"TWin32FileSystem"), &TWin32FileSystem::ClassInfo);
  EXPECT_EQ(FindRegisteredClass(L"tresfilesystem"), &TResFileSystem::ClassInfo);
  EXPECT_EQ(FindRegisteredClass(L"TFileSystem"), nullptr);
  RegisterClassOnce(&TWin32FileSystem::ClassInfo); // once by name: no second entry
  EXPECT_EQ(FindRegisteredClass(L"TWin32FileSystem"), &TWin32FileSystem::ClassInfo);
}

// ---- Registry and folders -----------------------------------------------------------

// A scratch key under HKEY_CURRENT_USER\Software\Orvandel-Test, deleted after.
class ScratchKey : public ::testing::Test {
protected:
  void SetUp() override {
    FKey = L"Software\\Orvandel-Test\\parser-support-" + std::to_wstring(GetCurrentProcessId());
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, FKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring value = L"C:\\Tools\\IDE";
    RegSetValueExW(key, L"RootDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   DWORD((value.size() + 1) * sizeof(wchar_t)));
    const DWORD number = 7;
    RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof(number));
    RegCloseKey(key);
  }
  void TearDown() override {
    RegDeleteKeyW(HKEY_CURRENT_USER, FKey.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Orvandel-Test");
  }
  // Lets everyone read the key (and delete it afterwards), nothing more.
  void GrantReadOnly() {
    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = KEY_READ | DELETE | WRITE_DAC;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    wchar_t everyone[] = L"EVERYONE";
    access.Trustee.ptstrName = everyone;
    PACL acl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &access, nullptr, &acl), ERROR_SUCCESS);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, FKey.c_str(), 0, WRITE_DAC, &key), ERROR_SUCCESS);
    EXPECT_EQ(SetSecurityInfo(key, SE_REGISTRY_KEY,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, acl, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    LocalFree(acl);
  }
  std::wstring FKey;
};

TEST_F(ScratchKey, TextValuesAreRead) {
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, FKey, L"RootDir"), L"C:\\Tools\\IDE");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, FKey, L"Number"), L"");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, FKey, L"Missing"), L"");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, FKey + L"\\None", L"RootDir"), L"");
}

// A key that lets its reader only read is still read.
TEST_F(ScratchKey, AKeyGrantingOnlyReadAccessIsRead) {
  GrantReadOnly();
  HKEY key = nullptr;
  ASSERT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, FKey.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS)
      << "the key should refuse full access";
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, FKey, L"RootDir"), L"C:\\Tools\\IDE");
}

TEST(Folders, DevelopmentEnvironmentKeysThatAreMissing) {
  for (std::int32_t row = 0; row < std::int32_t(IDEVersions.size()); ++row) {
    EXPECT_EQ(ReadIDERegistryString(row, L"RootDir"), L"");
    EXPECT_EQ(GetIDERootDir(row), L"");
    EXPECT_EQ(GetIDEHelpDir(row), L"HELP\\");
  }
  EXPECT_EQ(ReadIDERegistryString(11, L"RootDir"), L"");
  EXPECT_EQ(GetD4HelpDir(), L"HELP\\");
  EXPECT_STREQ(IDEVersions[9].RegistryKey, L"BDS\\3.0");
}

TEST(Folders, SystemFolders) {
  EXPECT_EQ(GetSpecialFolder(0x7777), L"");
  for (const std::wstring& folder :
       {GetSystemFolder(), GetWindowsFolder(), GetProgramFilesFolder()}) {
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
  }
  EXPECT_STREQ(TemplateInfos[0].Name, L"%SYSTEM%");
  EXPECT_EQ(TemplateInfos[0].Folder(), GetSystemFolder());
  EXPECT_EQ(TemplateInfos[7].Folder(), L"HELP\\");
}

} // namespace
