#include "image-loaders.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

// One delivery of a loader: the address and the units as bytes.
struct TPiece {
  std::int64_t Address;
  std::vector<std::uint8_t> Bytes;
};

std::wstring FixturePath(const std::wstring& AName) {
  return Utf8ToWide(ORVANDEL_LOADER_FIXTURES) + L"\\" + AName;
}

std::vector<std::uint8_t> ReadBytes(const std::wstring& APath) {
  std::ifstream in(WideToUtf8(APath), std::ios::binary);
  EXPECT_TRUE(in.good()) << WideToUtf8(APath);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::wstring& APath, const std::vector<std::uint8_t>& ABytes) {
  std::ofstream out(WideToUtf8(APath), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(ABytes.data()), std::streamsize(ABytes.size()));
}

// The pieces laid out from the lowest address, gaps zero: the form objcopy
// gives a flat binary.
std::vector<std::uint8_t> Flatten(const std::vector<TPiece>& APieces) {
  if (APieces.empty())
    return {};
  std::int64_t low = APieces[0].Address;
  std::int64_t high = low;
  for (const TPiece& p : APieces) {
    low = std::min(low, p.Address);
    high = std::max(high, p.Address + std::int64_t(p.Bytes.size()));
  }
  std::vector<std::uint8_t> image(std::size_t(high - low), 0);
  for (const TPiece& p : APieces)
    std::copy(p.Bytes.begin(), p.Bytes.end(), image.begin() + (p.Address - low));
  return image;
}

// Captures the loaders' error texts and deliveries; works in a folder of
// its own for files it makes.
class ImageLoaderTest : public testing::Test {
protected:
  void SetUp() override {
    FPrevious = SetLoaderErrorSink([this](const std::wstring& m) { Errors.push_back(m); });
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    Folder = std::wstring(temp) + L"orvandel-loader-" + std::to_wstring(GetCurrentProcessId()) +
             L"-" + Utf8ToWide(testing::UnitTest::GetInstance()->current_test_info()->name());
    for (wchar_t& c : Folder)
      if (c == L'/')
        c = L'_';
    CreateDirectoryW(Folder.c_str(), nullptr);
  }

  void TearDown() override {
    SetLoaderErrorSink(FPrevious);
    for (const std::wstring& f : FMade)
      DeleteFileW(f.c_str());
    RemoveDirectoryW(Folder.c_str());
  }

  std::wstring Make(const std::wstring& AName, const std::vector<std::uint8_t>& ABytes) {
    const std::wstring path = Folder + L"\\" + AName;
    WriteBytes(path, ABytes);
    FMade.push_back(path);
    return path;
  }

  std::wstring MakeText(const std::wstring& AName, const std::string& AText) {
    return Make(AName, std::vector<std::uint8_t>(AText.begin(), AText.end()));
  }

  TBytesLoaded Collector() {
    return [this](std::int64_t AAddress, std::int64_t ASize, PMemoryArray ABuffer) {
      TPiece piece{AAddress, {}};
      for (std::int64_t i = 0; i < ASize; ++i) {
        EXPECT_LE(ABuffer[i], 0xFFu) << "unit " << i << " holds more than a byte";
        piece.Bytes.push_back(std::uint8_t(ABuffer[i]));
      }
      Pieces.push_back(std::move(piece));
    };
  }

  std::vector<std::wstring> Errors;
  std::vector<TPiece> Pieces;
  std::wstring Folder;

private:
  TLoaderErrorSink FPrevious;
  std::vector<std::wstring> FMade;
};

// ---- Images made by the toolchain, compared with objcopy's flat binaries ----

struct TImageCase {
  const wchar_t* File;
  const wchar_t* Reference;
  std::int64_t Origin;
};

class ToolchainImage : public ImageLoaderTest, public testing::WithParamInterface<TImageCase> {};

TEST_P(ToolchainImage, DeliversTheBytesObjcopyPutsInAFlatBinary) {
  ASSERT_TRUE(LoadFile(FixturePath(GetParam().File), Collector()));
  EXPECT_TRUE(Errors.empty());
  ASSERT_FALSE(Pieces.empty());
  const std::vector<std::uint8_t> expected = ReadBytes(FixturePath(GetParam().Reference));
  ASSERT_FALSE(expected.empty());
  EXPECT_TRUE(Flatten(Pieces) == expected);
  const auto lowest = std::min_element(Pieces.begin(), Pieces.end(),
                                       [](auto& a, auto& b) { return a.Address < b.Address; });
  EXPECT_EQ(lowest->Address, GetParam().Origin);
  // Nothing goes to RAM: initialised data travels at its load address.
  for (const TPiece& p : Pieces)
    EXPECT_LT(p.Address, 0x20000000);
}

INSTANTIATE_TEST_SUITE_P(Files, ToolchainImage,
                         testing::Values(TImageCase{L"le.elf", L"le.bin", 0},
                                         TImageCase{L"be.elf", L"be.bin", 0},
                                         TImageCase{L"seg.elf", L"seg.bin", 0},
                                         TImageCase{L"lin.elf", L"lin.bin", 0x08000000},
                                         TImageCase{L"le.hex", L"le-hex.bin", 0},
                                         TImageCase{L"seg.hex", L"seg-hex.bin", 0},
                                         TImageCase{L"lin.hex", L"lin-hex.bin", 0x08000000},
                                         TImageCase{L"le.bin", L"le.bin", 0}));

std::uint32_t Word(const std::vector<std::uint8_t>& AImage, std::size_t AAt, bool ABigEndian) {
  const std::uint8_t* p = AImage.data() + AAt;
  return ABigEndian ? std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]
                    : std::uint32_t(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0];
}

bool Contains(const std::vector<std::uint8_t>& AImage, std::uint32_t AValue, bool ABigEndian) {
  for (std::size_t i = 0; i + 4 <= AImage.size(); i += 4)
    if (Word(AImage, i, ABigEndian) == AValue)
      return true;
  return false;
}

class ElfByteOrder : public ImageLoaderTest, public testing::WithParamInterface<bool> {};

TEST_P(ElfByteOrder, VectorTableAndInitialDataComeInTheFilesByteOrder) {
  const bool bigEndian = GetParam();
  ASSERT_TRUE(LoadFile(FixturePath(bigEndian ? L"be.elf" : L"le.elf"), Collector()));
  const std::vector<std::uint8_t> image = Flatten(Pieces);
  ASSERT_GE(image.size(), 64u);
  EXPECT_EQ(Word(image, 0, bigEndian), 0x20010000u); // initial stack pointer
  EXPECT_EQ(Word(image, 4, bigEndian) & 1, 1u);      // Thumb reset vector
  EXPECT_TRUE(Contains(image, 0x11223344u, bigEndian));
  EXPECT_TRUE(Contains(image, 0xDDEEFF00u, bigEndian));
}

INSTANTIATE_TEST_SUITE_P(Orders, ElfByteOrder, testing::Values(false, true));

TEST_F(ImageLoaderTest, HexSegmentsAreDeliveredOncePerSegment) {
  ASSERT_TRUE(LoadFile(FixturePath(L"seg.hex"), Collector()));
  // 150 000 bytes from 0 span three 64 KB segments announced by type 02.
  ASSERT_EQ(Pieces.size(), 3u);
  EXPECT_EQ(Pieces[0].Address, 0);
  EXPECT_EQ(Pieces[1].Address, 0x10000);
  EXPECT_EQ(Pieces[2].Address, 0x20000);
  EXPECT_TRUE(Flatten(Pieces) == ReadBytes(FixturePath(L"seg.bin")));
}

void Put16(std::vector<std::uint8_t>& ABytes, std::size_t AAt, std::uint16_t AValue, bool ABig) {
  ABytes[AAt + (ABig ? 1 : 0)] = std::uint8_t(AValue);
  ABytes[AAt + (ABig ? 0 : 1)] = std::uint8_t(AValue >> 8);
}

void Put32(std::vector<std::uint8_t>& ABytes, std::size_t AAt, std::uint32_t AValue, bool ABig) {
  for (int i = 0; i < 4; ++i)
    ABytes[AAt + std::size_t(ABig ? 3 - i : i)] = std::uint8_t(AValue >> (8 * i));
}

TEST_P(ElfByteOrder, FileWithoutProgramHeadersDeliversTextAndRodataSections) {
  const bool bigEndian = GetParam();
  std::vector<std::uint8_t> elf = ReadBytes(FixturePath(bigEndian ? L"be.elf" : L"le.elf"));
  Put16(elf, 44, 0, bigEndian); // e_phnum
  ASSERT_TRUE(LoadFile(Make(L"sections.elf", elf), Collector()));
  EXPECT_TRUE(Errors.empty());
  const std::vector<std::uint8_t> text =
      ReadBytes(FixturePath(bigEndian ? L"be-text.bin" : L"le-text.bin"));
  // .text and .rodata, named through the header's section-name table; the
  // vector section and the data are not part of the section rule.
  ASSERT_EQ(Pieces.size(), 2u);
  EXPECT_GT(Pieces[0].Address, 0);
  EXPECT_TRUE(Pieces[0].Bytes == text);
  EXPECT_EQ(Pieces[1].Address, Pieces[0].Address + std::int64_t(text.size()));
}

// ---- ELF files that fail a check --------------------------------------

struct TBadElfCase {
  const char* Name;
  void (*Damage)(std::vector<std::uint8_t>&);
};

std::uint32_t Get32(const std::vector<std::uint8_t>& ABytes, std::size_t AAt) {
  return Word(ABytes, AAt, false);
}

class BadElf : public ImageLoaderTest, public testing::WithParamInterface<TBadElfCase> {};

TEST_P(BadElf, IsRejectedWithTheElfMessagesAndDeliversNothing) {
  std::vector<std::uint8_t> elf = ReadBytes(FixturePath(L"le.elf"));
  GetParam().Damage(elf);
  EXPECT_FALSE(LoadFile(Make(L"bad.elf", elf), Collector()));
  EXPECT_TRUE(Pieces.empty());
  EXPECT_EQ(Errors,
            (std::vector<std::wstring>{L"bad.elf is not an valid ELF file",
                                       L"Errors Found When Loading Elf File: bad.elf\r\r"}));
}

INSTANTIATE_TEST_SUITE_P(
    Damages, BadElf,
    testing::Values(
        TBadElfCase{"TruncatedInsideTheHeader", [](auto& e) { e.resize(40); }},
        TBadElfCase{"TruncatedBeforeTheSectionHeaders", [](auto& e) { e.resize(e.size() / 2); }},
        TBadElfCase{"TruncatedBeforeTheSegmentData", [](auto& e) { e.resize(0x1100); }},
        TBadElfCase{"SixtyFourBitClass", [](auto& e) { e[4] = 2; }},
        TBadElfCase{"UnknownByteOrder", [](auto& e) { e[5] = 0; }},
        TBadElfCase{"SectionHeadersBeyondTheEnd",
                    [](auto& e) { Put32(e, 32, 0xFFFFFF00u, false); }},
        TBadElfCase{"SectionHeaderTableWrapsAround",
                    [](auto& e) { Put32(e, 32, 0xFFFFFFFFu - 100, false); }},
        TBadElfCase{"ProgramHeadersBeyondTheEnd",
                    [](auto& e) { Put32(e, 28, 0x7FFFFFF0u, false); }},
        TBadElfCase{"ShortProgramHeaderEntries", [](auto& e) { Put16(e, 42, 8, false); }},
        TBadElfCase{"SegmentDataBeyondTheEnd",
                    [](auto& e) { Put32(e, Get32(e, 28) + 4, 0xFFFFF000u, false); }},
        TBadElfCase{"SegmentSizeBeyondTheEnd",
                    [](auto& e) { Put32(e, Get32(e, 28) + 16, 0x10000000u, false); }},
        TBadElfCase{"SectionDataBeyondTheEnd",
                    [](auto& e) {
                      // .text is section 2: its offset field lies 16 bytes in.
                      Put32(e, Get32(e, 32) + 2 * 40 + 16, 0x7FFFFF00u, false);
                    }},
        TBadElfCase{"NameTableIndexOutOfRange", [](auto& e) { Put16(e, 50, 200, false); }},
        TBadElfCase{"NothingToLoad",
                    [](auto& e) {
                      const std::uint32_t ph = Get32(e, 28);
                      for (std::uint32_t i = 0; i < e[44]; ++i)
                        Put32(e, ph + i * 32, 0, false);
                    }},
        TBadElfCase{"NoHeadersAtAll",
                    [](auto& e) {
                      Put16(e, 44, 0, false);
                      Put16(e, 48, 0, false);
                    }}),
    [](const testing::TestParamInfo<TBadElfCase>& info) { return std::string(info.param.Name); });

TEST_F(ImageLoaderTest, ElfLoaderRefusesAFileWithoutTheSignature) {
  TElfFile elf(FixturePath(L"le.bin"), Collector());
  EXPECT_FALSE(elf.Load());
  EXPECT_EQ(Errors, (std::vector<std::wstring>{L"le.bin is not an ELF file"}));
}

TEST_F(ImageLoaderTest, ElfLoaderAnswersFalseSilentlyForAMissingFile) {
  TElfFile elf(Folder + L"\\missing.elf", Collector());
  EXPECT_FALSE(elf.Load());
  EXPECT_TRUE(Errors.empty());
}

// ---- Intel HEX -----------------------------------------------------------

std::string HexRecord(int AType, int AAddress, const std::vector<std::uint8_t>& AData) {
  static const char* digits = "0123456789ABCDEF";
  std::vector<std::uint8_t> bytes = {std::uint8_t(AData.size()), std::uint8_t(AAddress >> 8),
                                     std::uint8_t(AAddress), std::uint8_t(AType)};
  bytes.insert(bytes.end(), AData.begin(), AData.end());
  std::uint8_t sum = 0;
  for (std::uint8_t b : bytes)
    sum = std::uint8_t(sum + b);
  bytes.push_back(std::uint8_t(-sum));
  std::string line = ":";
  for (std::uint8_t b : bytes) {
    line.push_back(digits[b >> 4]);
    line.push_back(digits[b & 15]);
  }
  return line + "\r\n";
}

std::vector<std::uint8_t> ByteRun(std::uint8_t AFirst, int ACount) {
  std::vector<std::uint8_t> data;
  for (int i = 0; i < ACount; ++i)
    data.push_back(std::uint8_t(AFirst + i));
  return data;
}

TEST_F(ImageLoaderTest, HexGapInsideASegmentIsDeliveredAsZeros) {
  const std::string text = HexRecord(0, 0x0100, ByteRun(0x80, 16)) +
                           HexRecord(0, 0x0000, ByteRun(1, 16)) + ":00000001FF\r\n";
  ASSERT_TRUE(LoadFile(MakeText(L"gap.hex", text), Collector()));
  ASSERT_EQ(Pieces.size(), 1u);
  EXPECT_EQ(Pieces[0].Address, 0);
  ASSERT_EQ(Pieces[0].Bytes.size(), 0x110u);
  EXPECT_EQ(Pieces[0].Bytes[0x0F], 16);
  EXPECT_EQ(Pieces[0].Bytes[0x10], 0);
  EXPECT_EQ(Pieces[0].Bytes[0xFF], 0);
  EXPECT_EQ(Pieces[0].Bytes[0x100], 0x80);
}

struct THexAddressCase {
  int Type;
  std::vector<std::uint8_t> Value;
  std::int64_t Address;
};

class HexAddressRecord : public ImageLoaderTest,
                         public testing::WithParamInterface<THexAddressCase> {};

TEST_P(HexAddressRecord, SetsTheBaseOfTheFollowingData) {
  const std::string text = HexRecord(GetParam().Type, 0, GetParam().Value) +
                           HexRecord(0, 0x1000, ByteRun(7, 4)) + HexRecord(1, 0, {});
  ASSERT_TRUE(LoadFile(MakeText(L"base.HEX", text), Collector()));
  ASSERT_EQ(Pieces.size(), 1u);
  EXPECT_EQ(Pieces[0].Address, GetParam().Address);
  EXPECT_TRUE(Pieces[0].Bytes == ByteRun(7, 4));
}

INSTANTIATE_TEST_SUITE_P(Records, HexAddressRecord,
                         testing::Values(THexAddressCase{4, {0x08, 0x00}, 0x08001000},
                                         THexAddressCase{2, {0x10, 0x00}, 0x00011000},
                                         THexAddressCase{2, {0xF0, 0x00}, 0x000F1000},
                                         THexAddressCase{4, {0xFF, 0xFF}, 0xFFFF1000}));

TEST_F(ImageLoaderTest, HexDataRecordWithoutBytesLoadsNothing) {
  const std::string text =
      HexRecord(0, 0x0010, ByteRun(1, 4)) + HexRecord(0, 0xFFF0, {}) + HexRecord(1, 0, {});
  ASSERT_TRUE(LoadFile(MakeText(L"empty-record.hex", text), Collector()));
  ASSERT_EQ(Pieces.size(), 1u);
  EXPECT_EQ(Pieces[0].Address, 0x10);
  EXPECT_EQ(Pieces[0].Bytes.size(), 4u);
}

struct TBadHexCase {
  const char* Name;
  std::string Text;
  int FirstBadLine;
  int BadLines;
};

class BadHex : public ImageLoaderTest, public testing::WithParamInterface<TBadHexCase> {};

TEST_P(BadHex, ShowsTheFirstBadLineAndTheCountAndDeliversNothing) {
  EXPECT_FALSE(LoadFile(MakeText(L"bad.hex", GetParam().Text), Collector()));
  EXPECT_TRUE(Pieces.empty());
  EXPECT_EQ(Errors, (std::vector<std::wstring>{
                        L"Hex File Error : Line " + std::to_wstring(GetParam().FirstBadLine),
                        L"Errors Found When Loading Hex File: bad.hex\r\r     Lines With Errors: " +
                            std::to_wstring(GetParam().BadLines)}));
}

const std::string Good1 = HexRecord(0, 0, ByteRun(1, 8));
const std::string Good2 = HexRecord(0, 8, ByteRun(9, 8));
const std::string End = ":00000001FF\r\n";

std::string Corrupt(std::string ALine, std::size_t AAt, char AChar) {
  ALine[AAt] = AChar;
  return ALine;
}

std::string Dropped(std::string ALine, std::size_t AAt) {
  ALine.erase(AAt, 1);
  return ALine;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, BadHex,
    testing::Values(
        TBadHexCase{"WrongChecksumOnLineThree",
                    Good1 + Good2 + Corrupt(HexRecord(0, 16, ByteRun(1, 4)), 9, 'F') + End, 3, 1},
        TBadHexCase{"FirstOfSeveralBadLinesIsNamedOnce",
                    Good1 + Corrupt(Good2, 10, '0') + Corrupt(Good1, 12, 'E') + End, 2, 2},
        TBadHexCase{"EightCharacterLine", Good1 + ":0000000\r\n" + End, 2, 1},
        TBadHexCase{"OddLength", Dropped(Good1, 10) + End, 1, 1},
        TBadHexCase{"ChecksumMissing", Good1.substr(0, Good1.size() - 4) + "\r\n" + End, 1, 1},
        TBadHexCase{"CountLargerThanTheData", Corrupt(Good1, 2, '9') + End, 1, 1},
        TBadHexCase{"NonHexCharacter", Corrupt(Good1, 12, 'G') + End, 1, 1},
        TBadHexCase{"MissingColon", Good1 + Corrupt(Good2, 0, ';') + End, 2, 1},
        TBadHexCase{"TrailingGarbage", Good1 + "ZZ\r\n" + End, 2, 1},
        TBadHexCase{"BlankLine", Good1 + "\r\n" + End, 2, 1},
        TBadHexCase{"AddressRecordWithOneByte", HexRecord(4, 0, {0x08}) + Good1 + End, 1, 1}),
    [](const testing::TestParamInfo<TBadHexCase>& info) { return std::string(info.param.Name); });

TEST_F(ImageLoaderTest, MissingHexFileIsReportedByPath) {
  const std::wstring path = Folder + L"\\missing.hex";
  EXPECT_FALSE(LoadFile(path, Collector()));
  EXPECT_EQ(Errors,
            (std::vector<std::wstring>{
                L"File " + path + L" Not Found",
                L"Errors Found When Loading Hex File: missing.hex\r\r     Lines With Errors: 0"}));
}

TEST_F(ImageLoaderTest, HexLinesMayEndInLineFeedsAlone) {
  std::string text = Good1 + Good2 + End;
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  ASSERT_TRUE(LoadFile(MakeText(L"unix.hex", text), Collector()));
  ASSERT_EQ(Pieces.size(), 1u);
  EXPECT_TRUE(Pieces[0].Bytes == ByteRun(1, 16));
}

// ---- Choosing the format -------------------------------------------------

TEST_F(ImageLoaderTest, FormatComesFromTheExtensionThenTheSignature) {
  // An ELF file under a .bin name is still read as ELF.
  ASSERT_TRUE(LoadFile(Make(L"image.bin", ReadBytes(FixturePath(L"le.elf"))), Collector()));
  EXPECT_TRUE(Flatten(Pieces) == ReadBytes(FixturePath(L"le.bin")));
  Pieces.clear();
  // Any case of ".hex" picks the HEX reader.
  ASSERT_TRUE(LoadFile(Make(L"IMAGE.HeX", ReadBytes(FixturePath(L"le.hex"))), Collector()));
  EXPECT_TRUE(Flatten(Pieces) == ReadBytes(FixturePath(L"le.bin")));
  Pieces.clear();
  // Anything else is raw bytes at 0, even text that happens to look like HEX.
  const std::vector<std::uint8_t> hexText = ReadBytes(FixturePath(L"le.hex"));
  ASSERT_TRUE(LoadFile(Make(L"image.txt", hexText), Collector()));
  ASSERT_EQ(Pieces.size(), 1u);
  EXPECT_EQ(Pieces[0].Address, 0);
  EXPECT_TRUE(Pieces[0].Bytes == hexText);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(ImageLoaderTest, MissingNonHexFileRaisesTheFileError) {
  EXPECT_THROW(LoadFile(Folder + L"\\missing.bin", Collector()), EFOpenError);
  EXPECT_TRUE(Pieces.empty());
}

} // namespace
