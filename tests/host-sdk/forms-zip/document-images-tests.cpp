// Document images found through the test host's client, client API and
// plug-ins registry, with bitmaps on disk.

#include "document-images.h"
#include "test-host-access.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

namespace {

constexpr DISPID kGetServerWindowKind = 499, kGetIconName = 226, kGetSecondBitmapFolder = 773,
                 kGetBitmapFolder = 774, kGetPluginsRegistry = 2027, kRegistryCount = 2017,
                 kRegistryItem = 2018, kItemFolder = 2009, kItemDisabled = 2010;

// A 16 x 16 24-bit bitmap file.
void WriteBitmap(const std::wstring& AName) {
  std::vector<uint8_t> file(54 + 16 * 16 * 3, 0x80);
  auto put = [&](std::size_t AAt, uint32_t AValue, int ABytes) {
    for (int i = 0; i < ABytes; ++i)
      file[AAt + i] = uint8_t(AValue >> (8 * i));
  };
  std::fill(file.begin(), file.begin() + 54, 0);
  file[0] = 'B';
  file[1] = 'M';
  put(2, uint32_t(file.size()), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, 16, 4);
  put(22, 16, 4);
  put(26, 1, 2);
  put(28, 24, 2);
  std::ofstream(std::filesystem::path(AName), std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), file.size());
}

class TDocumentImages : public ::testing::Test {
protected:
  void SetUp() override {
    TTestHost& host = SharedTestHost();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    FRoot =
        std::wstring(temp) + L"orvandel-images-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    for (const wchar_t* folder :
         {L"", L"first\\", L"second\\", L"pluginA\\", L"pluginA\\Buttons\\", L"pluginB\\",
          L"pluginB\\DocumentImages\\", L"pluginOff\\", L"pluginOff\\DocumentImages\\"})
      CreateDirectoryW((FRoot + folder).c_str(), nullptr);
    host.ClientApi().OnCall(kGetBitmapFolder, Text(FRoot + L"first\\"));
    host.ClientApi().OnCall(kGetSecondBitmapFolder, Text(FRoot + L"second\\"));

    FRegistry = TFakeHostObject::Create({L"IPluginsRegistry"});
    const std::vector<std::pair<std::wstring, bool>> plugins = {
        {FRoot + L"pluginOff", true}, {FRoot + L"pluginA", false}, {FRoot + L"pluginB\\", false}};
    for (const auto& [folder, disabled] : plugins) {
      TComPtr<TFakeHostObject> item = TFakeHostObject::Create({L"IPluginsRegistryItem"});
      item->OnCall(kItemFolder, Text(folder));
      item->OnCall(kItemDisabled, [disabled](TFakeInvocation& AInvocation) {
        AInvocation.ReturnInt(disabled ? 1 : 0);
        return S_OK;
      });
      FItems.push_back(item);
    }
    FRegistry->OnCall(kRegistryCount, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnInt(int32_t(FItems.size()));
      return S_OK;
    });
    FRegistry->OnCall(kRegistryItem, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(FItems.at(AInvocation.Int(0))->Dispatch());
      return S_OK;
    });
    host.Client().OnCall(kGetPluginsRegistry, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(FRegistry->Dispatch());
      return S_OK;
    });
    host.Client().OnCall(kGetServerWindowKind, [this](TFakeInvocation& AInvocation) {
      ++FWindowKindQueries;
      const auto found = FWindowKinds.find(AInvocation.Text(0));
      AInvocation.ReturnObject(found == FWindowKinds.end() ? nullptr : found->second->Dispatch());
      return S_OK;
    });
  }

  static TFakeHandler Text(std::wstring AText) {
    return [AText](TFakeInvocation& AInvocation) {
      AInvocation.ReturnText(AText);
      return S_OK;
    };
  }
  void AddWindowKind(const std::wstring& AKind, const std::wstring& AIconName) {
    TComPtr<TFakeHostObject> kind = TFakeHostObject::Create({L"IServerWindowKind"});
    kind->OnCall(kGetIconName, Text(AIconName));
    FWindowKinds[AKind] = kind;
  }

  std::wstring FRoot;
  TComPtr<TFakeHostObject> FRegistry;
  std::vector<TComPtr<TFakeHostObject>> FItems;
  std::map<std::wstring, TComPtr<TFakeHostObject>> FWindowKinds;
  int FWindowKindQueries = 0;
};

} // namespace

TEST_F(TDocumentImages, TheSharedListStartsWithItsBuiltInImages) {
  ReleaseDocumentImages();
  int width = 0, height = 0;
  ImageList_GetIconSize(GetMainImageList(), &width, &height);
  EXPECT_EQ(ImageList_GetImageCount(GetMainImageList()), kBuiltInImageCount);
  EXPECT_EQ(width, kDocumentImageSize);
  EXPECT_EQ(height, kDocumentImageSize);
}

TEST_F(TDocumentImages, AKindsBitmapIsFoundInTheSearchOrder) {
  struct TCase {
    const wchar_t* Kind;
    const wchar_t* File; // nullptr: no bitmap anywhere
    bool Found;
  };
  const TCase cases[] = {
      {L"KINDFIRST", L"first\\KINDFIRST.bmp", true},
      {L"KINDSECOND", L"second\\KINDSECOND.bmp", true},
      {L"KINDBUTTON", L"pluginA\\Buttons\\KINDBUTTON.bmp", true},
      {L"KINDPLUGIN", L"pluginB\\DocumentImages\\KINDPLUGIN.bmp", true},
      {L"KINDDISABLED", L"pluginOff\\DocumentImages\\KINDDISABLED.bmp", false},
      {L"KINDNONE", nullptr, false},
  };
  for (const TCase& c : cases) {
    if (c.File)
      WriteBitmap(FRoot + c.File);
    const int before = ImageList_GetImageCount(GetMainImageList());
    const int index = GetDocumentKindImageIndex(c.Kind);
    if (c.Found) {
      EXPECT_EQ(index, before) << Narrow(c.Kind);
      EXPECT_EQ(ImageList_GetImageCount(GetMainImageList()), before + 1) << Narrow(c.Kind);
    } else {
      EXPECT_EQ(index, -1) << Narrow(c.Kind);
    }
  }
}

TEST_F(TDocumentImages, ASecondRequestInAnyCaseIsAnsweredFromTheCache) {
  WriteBitmap(FRoot + L"first\\CACHEDKIND.bmp");
  const int index = GetDocumentKindImageIndex(L"CACHEDKIND");
  ASSERT_GE(index, kBuiltInImageCount);
  DeleteFileW((FRoot + L"first\\CACHEDKIND.bmp").c_str());
  const int queries = FWindowKindQueries;
  EXPECT_EQ(GetDocumentKindImageIndex(L"cachedKind"), index);
  EXPECT_EQ(FWindowKindQueries, queries) << "the host is not asked again";
}

TEST_F(TDocumentImages, AKindWithoutAnImageIsSearchedAgainNextTime) {
  const int queries = FWindowKindQueries;
  EXPECT_EQ(GetDocumentKindImageIndex(L"NOWHERE"), -1);
  EXPECT_EQ(GetDocumentKindImageIndex(L"NOWHERE"), -1);
  EXPECT_EQ(FWindowKindQueries, queries + 2);
}

TEST_F(TDocumentImages, TheHostsWindowKindIconNameComesFirst) {
  AddWindowKind(L"SCHDOC", L"SchematicIcon");
  WriteBitmap(FRoot + L"second\\SchematicIcon.bmp");
  const int before = ImageList_GetImageCount(GetMainImageList());
  EXPECT_EQ(GetDocumentKindImageIndex(L"SCHDOC"), before);
}

TEST_F(TDocumentImages, AnUnknownKindTakesTheShellsIconForItsExtensionAndLeavesNoFile) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring kind = L"UNKNOWN.orvtxt";
  EXPECT_GE(GetDocumentKindImageIndex(kind), kBuiltInImageCount);
  EXPECT_EQ(GetFileAttributesW((std::wstring(temp) + kind).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(TDocumentImages, AnUnknownKindNamingAnotherFolderIsRefused) {
  EXPECT_EQ(GetDocumentKindImageIndex(L"UNKNOWN\\..\\escape.txt"), -1);
}
