// Lock files, file replacement, folders, the module search through the
// plug-ins registry, deferred destruction and the text routines, on folder
// trees in the temporary folder.

#include "host-services-fixture.h"

#include "dialog-hook.h"

namespace {

constexpr DISPID kGetDocumentByPath = 491, kGetQovWorkSpace = 565, kGetMessagesManager = 469,
                 kAddMessage = 439, kBeginFileChange = 100, kEndFileChange = 101,
                 kGetSuppressMessages = 793;

std::string Ansi(const std::wstring& AText) {
  return AsciiText(AText);
}

TEST(TextRoutines, AnswerAsDescribed) {
  EXPECT_EQ(IncludeTrailingChar(L"", L'\\'), L"\\");
  EXPECT_EQ(IncludeTrailingChar(L"C:\\x\\", L'\\'), L"C:\\x\\");
  EXPECT_EQ(IncludeTrailingChar(L"C:\\x", L'\\'), L"C:\\x\\");
  struct THexCase {
    const wchar_t* Text;
    int32_t Expected;
  };
  const THexCase hex[] = {{L"0x1F", 31},     {L"1G", -5},      {L"0x", 0},
                          {L"", 0},          {L"0XfF", 255},   {L"1x10", -5},
                          {L"FFFFFFFF", -1}, {L"100000001", 1}}; // wraps modulo 2^32
  for (const THexCase& c : hex)
    EXPECT_EQ(HexStrToIntDef(c.Text, -5), c.Expected) << Ansi(c.Text);
  struct TPathCase {
    const wchar_t* Path;
    bool Relative;
  };
  const TPathCase paths[] = {{L"C:\\Designs\\a.vhd", false},
                             {L"\\\\server\\share\\a", false},
                             {L"Library\\Embedded\\", true},
                             {L"\\Library\\a", true},
                             {L"a:b", false}};
  for (const TPathCase& c : paths)
    EXPECT_EQ(IsRelativePath(c.Path), c.Relative) << Ansi(c.Path);
  EXPECT_EQ(PadRight(L"ab", 4), L"ab  ");
  EXPECT_EQ(PadRight(L"abcde", 4), L"abcde");
  EXPECT_EQ(PadLeft(L"7", L'0', 3), L"007");
  EXPECT_EQ(PadLeft(L"1234", L'0', 3), L"1234");
  EXPECT_TRUE(SameName(L"Board.VHD", L"board.vhd"));
  EXPECT_FALSE(SameName(L"Board.vhd", L"Board.vh"));
  EXPECT_FALSE(SameName(L"\u00c4", L"\u00e4")) << "only ASCII letters fold";
}

TEST_F(HostServices, LockFileSitsBesideTheFileWithItsFullName) {
  EXPECT_EQ(GetLockFileName(L"C:\\Designs\\Board.vhd"), L"C:\\Designs\\~$Board.vhd_loc");
  EXPECT_EQ(GetLockFileName(L"Board.vhd"), L"~$Board.vhd_loc");
}

TEST_F(HostServices, LockOfAnotherComputerUserOrProcessIsForeign) {
  const std::string computer = Ansi(GetLocalComputerName());
  const std::string user = Ansi(GetLocalUserName());
  const std::string process = Ansi(GetLocalProcessID());
  auto lower = [](std::string AText) {
    for (char& ch : AText)
      ch = char(tolower(ch));
    return AText;
  };
  struct TCase {
    const char* Name;
    std::string Content; // empty: no lock file
    bool Locked;
    std::string Computer, User;
  };
  const TCase cases[] = {
      {"no lock file", "", false, "", ""},
      {"own lock", "ComputerName=" + computer + "\r\nUserName=" + user + "\r\nProcessID=" + process,
       false, computer, user},
      {"own lock in other letter case",
       "ComputerName=" + lower(computer) + "\nUserName=" + lower(user) + "\nProcessID=" + process,
       false, lower(computer), lower(user)},
      {"another process of this user",
       "ComputerName=" + computer + "\r\nUserName=" + user + "\r\nProcessID=999999", true, computer,
       user},
      {"another computer", "ComputerName=FARAWAY\r\nUserName=" + user + "\r\nProcessID=" + process,
       true, "FARAWAY", user},
      {"another user", "ComputerName=" + computer + "\r\nUserName=Olga\r\nProcessID=" + process,
       true, computer, "Olga"},
      {"no process line", "ComputerName=FARAWAY\r\nUserName=Olga\r\n", false, "", ""},
      {"key case matters", "computername=FARAWAY\r\nUserName=Olga\r\nProcessID=1", false, "", ""},
      {"later line wins, any separator",
       "ComputerName=FARAWAY\r\nComputerName:" + computer + "\r\nUserName " + user +
           "\r\nProcessID=" + process + "\r\nOther=1",
       false, computer, user},
  };
  for (const TCase& c : cases) {
    const std::wstring file =
        Tree.Folder(L"locks") + std::wstring(c.Name, c.Name + strlen(c.Name)) + L".vhd";
    if (!c.Content.empty())
      Tree.File(L"locks\\~$" + file.substr(file.find_last_of(L'\\') + 1) + L"_loc", c.Content);
    std::wstring lockComputer = L"stale", lockUser = L"stale";
    EXPECT_EQ(IsFileLockedByOther(file, lockComputer, lockUser), c.Locked) << c.Name;
    EXPECT_EQ(Ansi(lockComputer), c.Computer) << c.Name;
    EXPECT_EQ(Ansi(lockUser), c.User) << c.Name;
  }
}

TEST_F(HostServices, LockFileInUtf16IsRead) {
  const std::wstring text = L"ComputerName=FARAWAY\r\nUserName=Olga\r\nProcessID=12\r\n";
  std::string bytes = "\xFF\xFE";
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  Tree.File(L"~$Board.vhd_loc", bytes);
  TFileOwnershipDetails details;
  ASSERT_TRUE(ReadLockFileDetails(Tree.Root() + L"Board.vhd", details));
  EXPECT_EQ(details.ComputerName, L"FARAWAY");
  EXPECT_EQ(details.UserName, L"Olga");
  EXPECT_EQ(details.ProcessID, L"12");
}

TEST_F(HostServices, UnreadableLockCountsAsForeignWithEmptyNames) {
  const std::wstring lock =
      Tree.File(L"~$Board.vhd_loc", "ComputerName=X\r\nUserName=Y\r\nProcessID=1");
  const HANDLE held = CreateFileW(lock.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::wstring computer = L"stale", user = L"stale";
  EXPECT_TRUE(IsFileLockedByOther(Tree.Root() + L"Board.vhd", computer, user));
  EXPECT_EQ(computer, L"");
  EXPECT_EQ(user, L"");
  CloseHandle(held);
}

class FileReplacement : public HostServices {
protected:
  FileReplacement() {
    Workspace = ServeObject(Host.Client(), kGetQovWorkSpace, {L"IQovWorkSpace"});
    Messages = ServeObject(*Workspace.Get(), kGetMessagesManager, {L"IQovMessagesManager"});
    Document = ServeObject(Host.Client(), kGetDocumentByPath, {L"IServerDocument"});
  }
  void TearDown() override {
    Host.Client().ClearLog();
    HostServices::TearDown();
  }
  TComPtr<TFakeHostObject> Workspace, Messages, Document;
};

TEST_F(FileReplacement, NewFileTakesTheTargetsPlaceInsideTheDocumentsFileChange) {
  const std::wstring target = Tree.File(L"Board.vhd", "old");
  const std::wstring fresh = Tree.File(L"Board.new", "new");
  EXPECT_TRUE(ReplaceFileIfNotLocked(fresh, target));
  EXPECT_EQ(FileContent(target), "new");
  EXPECT_FALSE(FileThere(fresh));
  ASSERT_EQ(Document->Calls().size(), 2u);
  EXPECT_EQ(Document->Calls()[0].DispId, kBeginFileChange);
  EXPECT_EQ(Document->Calls()[1].DispId, kEndFileChange);
  const auto asked = CallsOf(Host.Client(), kGetDocumentByPath);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(std::wstring(V_BSTR(&asked[0].Declared(0))), target);
}

TEST_F(FileReplacement, FailedReplacementKeepsTheOldFile) {
  const std::wstring target = Tree.File(L"Board.vhd", "old");
  const std::wstring fresh = Tree.File(L"Board.new", "new");
  // The target cannot be replaced while it is open without delete sharing.
  const HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ReplaceFileIfNotLocked(fresh, target));
  CloseHandle(held);
  EXPECT_EQ(FileContent(target), "old");
  EXPECT_FALSE(FileThere(fresh));
  ASSERT_EQ(Document->Calls().size(), 2u) << "the file change is ended also after a failure";
  EXPECT_EQ(Document->Calls()[1].DispId, kEndFileChange);
}

TEST_F(FileReplacement, NothingIsDoneForTheSameNameOrAMissingNewFile) {
  const std::wstring target = Tree.File(L"Board.vhd", "old");
  EXPECT_TRUE(ReplaceFileIfNotLocked(target, Tree.Root() + L"BOARD.VHD"));
  EXPECT_TRUE(ReplaceFileIfNotLocked(Tree.Root() + L"missing.new", target));
  EXPECT_EQ(FileContent(target), "old");
}

TEST_F(FileReplacement, ForeignLockDeletesTheNewFileAndPostsAMessage) {
  const std::wstring target = Tree.File(L"Board.vhd", "old");
  const std::wstring fresh = Tree.File(L"Board.new", "new");
  Tree.File(L"~$Board.vhd_loc", "ComputerName=FARAWAY\r\nUserName=Olga\r\nProcessID=12");
  EXPECT_FALSE(ReplaceFileIfNotLocked(fresh, target));
  EXPECT_EQ(FileContent(target), "old");
  EXPECT_FALSE(FileThere(fresh));
  EXPECT_TRUE(Document->Calls().empty());
  const auto posted = CallsOf(*Messages.Get(), kAddMessage);
  ASSERT_EQ(posted.size(), 1u);
  const std::wstring texts[] = {L"[Locked File]",
                                L"Board.vhd is used by Olga on FARAWAY. You will not be able to "
                                L"save your changes.",
                                L"Orvandel test host",
                                target,
                                L"Ombrel:OpenObject",
                                L"FileName=" + target};
  for (unsigned i = 0; i < 6; ++i)
    EXPECT_EQ(std::wstring(V_BSTR(&posted[0].Declared(i))), texts[i]) << "argument " << i;
  EXPECT_EQ(V_I4(&posted[0].Declared(6)), 73);
  EXPECT_EQ(V_BOOL(&posted[0].Declared(7)), VARIANT_FALSE);
  EXPECT_EQ(SysStringLen(V_BSTR(&posted[0].Declared(8))), 0u);
  EXPECT_EQ(SysStringLen(V_BSTR(&posted[0].Declared(9))), 0u);
}

TEST_F(HostServices, LockReportAsDialogAndNoReportWhileMessagesAreSuppressed) {
  TDialogHook hook;
  hook.Script(IDOK);
  ReportLockedFile(L"C:\\Designs\\Board.vhd", L"FARAWAY", L"Olga", 2);
  ASSERT_EQ(hook.Dialogs().size(), 1u);
  EXPECT_EQ(hook.Dialogs()[0].Caption, L"Warning");
  EXPECT_EQ(hook.Dialogs()[0].Text, L"Board.vhd is used and locked by Olga on FARAWAY.\r\nYou "
                                    L"will not be able to save your changes.");
  EXPECT_EQ(hook.Dialogs()[0].Buttons.size(), 1u);

  ReportLockedFile(L"C:\\Designs\\Board.vhd", L"FARAWAY", L"Olga", 3);
  ReleaseClientAccess();
  Host.ClientApi().OnCall(kGetSuppressMessages, [](TFakeInvocation& AInvocation) {
    AInvocation.ReturnBool(true);
    return S_OK;
  });
  ReportLockedFile(L"C:\\Designs\\Board.vhd", L"FARAWAY", L"Olga", 2);
  EXPECT_EQ(hook.Dialogs().size(), 1u);
}

TEST_F(HostServices, FoldersOfHostAndModule) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring folder(exe);
  folder.resize(folder.find_last_of(L'\\') + 1);
  EXPECT_TRUE(SameName(GetHostFolder(), folder));
  for (wchar_t ch : GetHostFolder())
    EXPECT_FALSE(ch >= L'a' && ch <= L'z') << "upper case";
  EXPECT_EQ(GetHostSystemFolder(), GetHostFolder() + L"System\\");
  EXPECT_EQ(GetModuleFolder(), folder) << "this code lives in the test program";
  EXPECT_EQ(GetModuleTemplatesFolder(), folder + L"Templates\\");
  EXPECT_EQ(GetModuleLibraryFolder(), folder + L"Library\\");
  EXPECT_EQ(GetLongTempFolder().back(), L'\\');
  const std::wstring temp = MakeTempFileName();
  ASSERT_FALSE(temp.empty());
  EXPECT_TRUE(FileThere(temp));
  EXPECT_TRUE(SameName(temp.substr(0, GetTempFolder().size() + 3), GetTempFolder() + L"Pro"));
  DeleteFileW(temp.c_str());
}

TEST_F(HostServices, PluginFoldersComeInRegistryOrderWithoutDisabledOnes) {
  Plugins.Add(L"C:\\Plugins\\One");
  Plugins.Add(L"C:\\Plugins\\Off", true);
  Plugins.Add(L"C:\\Plugins\\Two\\");
  Plugins.Add(L"C:\\Plugins\\Three");
  std::vector<std::wstring> seen;
  ForEachPluginFolder([&](const std::wstring& AFolder, bool& AStop) {
    seen.push_back(AFolder);
    AStop = AFolder == L"C:\\Plugins\\Two\\";
  });
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"C:\\Plugins\\One\\", L"C:\\Plugins\\Two\\"}));
}

TEST_F(HostServices, ModuleSearchTriesSystemFolderThenEnabledExistingPluginFolders) {
  Tree.File(L"off\\Probe.dll", "x");
  Tree.File(L"b\\Probe.dll", "x");
  Tree.File(L"c\\Probe.dll", "x");
  Tree.File(L"c\\TarvoManager.dll", "x");
  Tree.File(L"d\\sub\\Deep.dll", "x");
  Plugins.Add(Tree.Root() + L"off", true);
  Plugins.Add(Tree.Root() + L"gone"); // skipped, the search goes on
  Plugins.Add(Tree.Root() + L"d");
  Plugins.Add(Tree.Root() + L"b");
  Plugins.Add(Tree.Root() + L"c");
  struct TCase {
    const wchar_t* Module;
    std::wstring Expected;
  };
  const TCase cases[] = {
      {L"Probe.dll", Tree.Root() + L"b\\Probe.dll"},
      {L"TarvoManager.dll", GetHostSystemFolder() + L"TarvoManager.dll"},
      {L"Deep.dll", L""}, // subfolders are not searched
      {L"Absent.dll", L""},
      {L"Bad|Name.dll", L""},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(Ansi(FindHostModule(c.Module)), Ansi(c.Expected)) << Ansi(c.Module);
}

TEST_F(HostServices, LoadHostModuleSearchesAgainOnlyAfterAFailure) {
  CopyFileW((GetHostSystemFolder() + L"TarvoManager.dll").c_str(),
            (Tree.Folder(L"p") + L"OrvStandIn.dll").c_str(), FALSE);
  Plugins.Add(Tree.Root() + L"q");
  HMODULE missing = nullptr;
  LoadHostModule(missing, L"OrvStandIn.dll");
  EXPECT_EQ(missing, nullptr);
  LoadHostModule(missing, L"OrvStandIn.dll");
  EXPECT_EQ(Plugins.Walks(), 2);

  Plugins.Add(Tree.Root() + L"p");
  HMODULE found = nullptr;
  LoadHostModule(found, L"OrvStandIn.dll");
  ASSERT_NE(found, nullptr);
  EXPECT_NE(GetProcAddress(found, "GetJTagPortCount"), nullptr);
  LoadHostModule(found, L"OrvStandIn.dll");
  EXPECT_EQ(Plugins.Walks(), 3);
  FreeLibrary(found);
}

TEST_F(HostServices, EmbeddedExtensionFolderIsTheFirstPluginFolderWithTheLibrary) {
  EXPECT_EQ(SpecialFolder_EmbeddedExtension(), L"\\");
  Tree.File(L"b\\Chandrel.dll", "x");
  Tree.File(L"c\\Chandrel.dll", "x");
  Plugins.Add(Tree.Root() + L"a");
  Plugins.Add(Tree.Root() + L"b");
  Plugins.Add(Tree.Root() + L"c");
  EXPECT_EQ(SpecialFolder_EmbeddedExtension(), Tree.Root() + L"b\\");
}

TEST(DelayedDestroyer, FreesTheObjectOnlyWhenItsMessageIsHandled) {
  struct TWatched {
    explicit TWatched(bool& AFreed) : Freed(AFreed) {}
    ~TWatched() { Freed = true; }
    bool& Freed;
  };
  bool freed = false;
  DestroyLater(std::make_unique<TWatched>(freed));
  EXPECT_FALSE(freed);
  MSG message;
  for (int i = 0; i < 100 && !freed; ++i) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&message);
    if (!freed)
      Sleep(10);
  }
  EXPECT_TRUE(freed);
}

} // namespace
