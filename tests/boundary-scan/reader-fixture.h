#pragma once

// Runs the VHDL and BSDL readers over texts written in the tests, with
// surroundings that record what the reader would tell the host and put the
// log into a folder of the test's own.

#include "bsdl-reader.h"
#include "vhdl-reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

class TRecordingSurroundings : public TVHDLReaderSurroundings {
public:
  explicit TRecordingSurroundings(std::filesystem::path AFolder) : FFolder(std::move(AFolder)) {
    std::filesystem::create_directories(FFolder);
  }
  ~TRecordingSurroundings() override {
    std::error_code error;
    std::filesystem::remove_all(FFolder, error);
  }

  std::wstring LogFolder() override { return (FFolder / L"").wstring(); }
  std::wstring MakeTempLogFile() override {
    std::filesystem::path path = FFolder / (L"Pro" + std::to_wstring(++FTempFiles) + L".tmp");
    std::ofstream(path).close();
    return path.wstring();
  }
  void ShowStatus(const std::wstring& AText) override { Statuses.push_back(AText); }
  void PostError(const std::wstring& AMessage, const std::wstring& ADocumentPath) override {
    Posted.push_back(AMessage);
    PostedFor = ADocumentPath;
  }
  void MoveEditorTo(const std::wstring& ADocumentPath, std::int32_t ALine,
                    std::int32_t AColumn) override {
    EditorMoves.push_back({ALine, AColumn});
    MovedIn = ADocumentPath;
  }

  std::string LogText(const std::wstring& AName) const {
    std::ifstream file(FFolder / AName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  std::vector<std::wstring> Statuses;
  std::vector<std::wstring> Posted;
  std::wstring PostedFor;
  std::vector<std::pair<std::int32_t, std::int32_t>> EditorMoves;
  std::wstring MovedIn;

private:
  std::filesystem::path FFolder;
  int FTempFiles = 0;
};

inline std::vector<std::wstring> LinesOf(const std::wstring& AText) {
  std::vector<std::wstring> lines;
  std::wstringstream stream(AText);
  for (std::wstring line; std::getline(stream, line);)
    lines.push_back(line);
  return lines;
}

// A folder of this test's own under the system's temporary folder; the
// trees' test programs run at once in one temporary folder, so the name
// carries a random part.
inline std::filesystem::path TestFolder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("orvandel-reader-") + info->name() + "-";
  for (char& c : name)
    if (c == '/')
      c = '-';
  std::random_device random;
  return std::filesystem::temp_directory_path() / (name + std::to_string(random()));
}

class ReaderTest : public ::testing::Test {
protected:
  TRecordingSurroundings FSurroundings{TestFolder()};
  TVHDLEntities FEntities;
  std::vector<std::wstring> FLog;

  // A BSDL reader over AText as document "C:\chips\test.bsd".
  bool ReadBSDL(const std::wstring& AText, TBSDLParser** AReader = nullptr) {
    FLines = LinesOf(AText);
    FBSDLReader =
        std::make_unique<TBSDLParser>(&FLog, FEntities, L"C:\\chips\\test.bsd", &FSurroundings);
    if (AReader)
      *AReader = FBSDLReader.get();
    return FBSDLReader->Run(FLines);
  }
  bool ReadVHDL(const std::wstring& AText) {
    FLines = LinesOf(AText);
    FVHDLReader = std::make_unique<TVHDLTextReader>(FEntities, L"C:\\src\\top.vhd", &FSurroundings);
    return FVHDLReader->Run(FLines);
  }
  TEntity* Entity(const std::wstring& AName) {
    return dynamic_cast<TEntity*>(FEntities.Find(AName));
  }
  TBSDLEntity* BSDLEntity(const std::wstring& AName) {
    return dynamic_cast<TBSDLEntity*>(FEntities.Find(AName));
  }

  std::vector<std::wstring> FLines;
  std::unique_ptr<TBSDLParser> FBSDLReader;
  std::unique_ptr<TVHDLTextReader> FVHDLReader;
};
