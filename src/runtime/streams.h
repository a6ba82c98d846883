// Interface stable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

struct IStream;

// Where a seek counts from.
enum class TSeekOrigin { Beginning, Current, End };

// File stream modes: one access mode, optionally or-ed with one sharing mode;
// fmCreate makes (or empties) the file and opens it for reading and writing.
constexpr uint32_t fmOpenRead = 0x0000;
constexpr uint32_t fmOpenWrite = 0x0001;
constexpr uint32_t fmOpenReadWrite = 0x0002;
constexpr uint32_t fmShareExclusive = 0x0010;
constexpr uint32_t fmShareDenyWrite = 0x0020;
constexpr uint32_t fmShareDenyNone = 0x0040;
constexpr uint32_t fmCreate = 0xFF00;

// A sequence of bytes with a position. `Read` and `Write` move what they can
// and answer how much that was; `ReadBuffer` and `WriteBuffer` move all of it
// or raise EReadError / EWriteError.
class TStream {
public:
  virtual ~TStream() = default;

  virtual size_t Read(void* ABuffer, size_t ACount) = 0;
  virtual size_t Write(const void* ABuffer, size_t ACount) = 0;
  // Moves the position and answers the new one.
  virtual int64_t Seek(int64_t AOffset, TSeekOrigin AOrigin) = 0;

  int64_t GetPosition() { return Seek(0, TSeekOrigin::Current); }
  void SetPosition(int64_t AValue) { Seek(AValue, TSeekOrigin::Beginning); }
  virtual int64_t GetSize();
  // Streams that cannot change their size raise EStreamError.
  virtual void SetSize(int64_t ANewSize);

  void ReadBuffer(void* ABuffer, size_t ACount);
  void WriteBuffer(const void* ABuffer, size_t ACount);

  // Copies ACount bytes from ASource's position into this stream; an ACount
  // of 0 copies the whole of ASource from its start. Answers the count.
  int64_t CopyFrom(TStream& ASource, int64_t ACount);

  // Plain values in their memory layout (little-endian on every target).
  template <typename T> void ReadValue(T& AValue) {
    static_assert(std::is_trivially_copyable_v<T>);
    ReadBuffer(&AValue, sizeof(T));
  }
  template <typename T> T ReadValue() {
    T value{};
    ReadValue(value);
    return value;
  }
  template <typename T> void WriteValue(const T& AValue) {
    static_assert(std::is_trivially_copyable_v<T>);
    WriteBuffer(&AValue, sizeof(T));
  }

  // All bytes from the position to the end.
  std::vector<uint8_t> ReadRest();
};

// A stream over one block of memory. Reading and seeking are common to every
// memory stream; what may be written, and who owns the block, the
// descendants decide.
class TCustomMemoryStream : public TStream {
public:
  size_t Read(void* ABuffer, size_t ACount) override;
  int64_t Seek(int64_t AOffset, TSeekOrigin AOrigin) override;
  int64_t GetSize() override { return int64_t(FSize); }

  void* Memory() const { return FMemory; }
  void SaveToStream(TStream& AStream);
  void SaveToFile(const std::wstring& AFileName);

protected:
  void SetPointer(void* AMemory, size_t ASize);

  void* FMemory = nullptr;
  size_t FSize = 0;
  size_t FPosition = 0;
};

// A growable stream in memory it owns. Writing past the end grows it;
// seeking past the end and writing there fills the gap with zero bytes.
class TMemoryStream : public TCustomMemoryStream {
public:
  TMemoryStream() = default;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;
  ~TMemoryStream() override;

  size_t Write(const void* ABuffer, size_t ACount) override;
  void SetSize(int64_t ANewSize) override;

  void Clear();
  // Replaces the content with the whole of AStream (from its start).
  void LoadFromStream(TStream& AStream);
  void LoadFromFile(const std::wstring& AFileName);
  size_t Capacity() const { return FCapacity; }
  void SetCapacity(size_t ANewCapacity);

private:
  size_t FCapacity = 0;
};

// A stream over memory it does not own (a string's bytes, a mapped
// resource). It never writes: `Write` answers 0.
class TMemoryStreamReadOnly : public TCustomMemoryStream {
public:
  TMemoryStreamReadOnly() = default;
  TMemoryStreamReadOnly(const void* ABuffer, size_t ACount) { SetBuffer(ABuffer, ACount); }
  // Points the stream at ACount bytes at ABuffer, position 0.
  void SetBuffer(const void* ABuffer, size_t ACount);
  size_t Write(const void* ABuffer, size_t ACount) override;
};

// A resource of the module, read in place. Raises EResNotFound when the
// module has no such resource.
class TResourceStream : public TCustomMemoryStream {
public:
  // AInstance is the module handle (HINSTANCE); AName and AType are resource
  // names or MAKEINTRESOURCE values.
  TResourceStream(void* AInstance, const wchar_t* AName, const wchar_t* AType);
  size_t Write(const void* ABuffer, size_t ACount) override;
};

// A stream over a Windows file handle it does not own.
class THandleStream : public TStream {
public:
  explicit THandleStream(void* AHandle) : FHandle(AHandle) {}
  size_t Read(void* ABuffer, size_t ACount) override;
  size_t Write(const void* ABuffer, size_t ACount) override;
  int64_t Seek(int64_t AOffset, TSeekOrigin AOrigin) override;
  void SetSize(int64_t ANewSize) override;
  void* Handle() const { return FHandle; }

protected:
  void* FHandle;
};

// A file opened by name (fmCreate, or fmOpen* | fmShare*). Raises
// EFCreateError or EFOpenError, naming the file, when it cannot be opened.
class TFileStream : public THandleStream {
public:
  TFileStream(const std::wstring& AFileName, uint32_t AMode);
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  ~TFileStream() override;
  const std::wstring& FileName() const { return FFileName; }

private:
  std::wstring FFileName;
};

// zlib's levels as callers name them; Max is level 9, whose streams begin
// with the bytes 0x78 0xDA.
enum class TCompressionLevel { None, Fastest, Default, Max };

// Deflates everything written to it into ADest (a zlib stream with header
// and checksum). `Finish` writes the end of the zlib stream; the destructor
// finishes a stream that was not finished, swallowing errors. Reading and
// seeking raise ECompressionError.
class TCompressionStream : public TStream {
public:
  TCompressionStream(TStream& ADest, TCompressionLevel ALevel = TCompressionLevel::Max);
  TCompressionStream(const TCompressionStream&) = delete;
  TCompressionStream& operator=(const TCompressionStream&) = delete;
  ~TCompressionStream() override;

  size_t Read(void* ABuffer, size_t ACount) override;
  size_t Write(const void* ABuffer, size_t ACount) override;
  // Only the position (the count of bytes written so far) can be asked.
  int64_t Seek(int64_t AOffset, TSeekOrigin AOrigin) override;
  void Finish();

private:
  struct TState;
  TState* FState;
  TStream& FDest;
  bool FFinished = false;
};

// Inflates the zlib stream that starts at ASource's position. Reading past
// the zlib stream's end answers short; once it ends, ASource stands right
// after the compressed data. Source data that ends before the zlib stream
// does raises EReadError; corrupt data raises EDecompressionError (an
// EReadError too). Writing raises EDecompressionError; the only seeks
// allowed are asking the position and skipping forward.
class TDecompressionStream : public TStream {
public:
  explicit TDecompressionStream(TStream& ASource);
  TDecompressionStream(const TDecompressionStream&) = delete;
  TDecompressionStream& operator=(const TDecompressionStream&) = delete;
  ~TDecompressionStream() override;

  size_t Read(void* ABuffer, size_t ACount) override;
  size_t Write(const void* ABuffer, size_t ACount) override;
  int64_t Seek(int64_t AOffset, TSeekOrigin AOrigin) override;
  bool AtEnd() const;

private:
  struct TState;
  TState* FState;
  TStream& FSource;
};

// Whole-buffer helpers over the two streams above.
std::vector<uint8_t> ZCompressBytes(const void* AData, size_t ACount,
                                    TCompressionLevel ALevel = TCompressionLevel::Max);
// Raises as TDecompressionStream does, and EReadError when bytes follow the
// zlib stream.
std::vector<uint8_t> ZDecompressBytes(const void* AData, size_t ACount);
// Deflates ASource from its position to its end into ADest.
void ZCompressStream(TStream& ASource, TStream& ADest,
                     TCompressionLevel ALevel = TCompressionLevel::Max);
// Inflates the zlib stream at ASource's position into ADest.
void ZDecompressStream(TStream& ASource, TStream& ADest);

// A COM IStream over a TStream, for system interfaces that read or write
// streams (image lists, GDI+). The adapter does not own AStream, which must
// outlive it; it comes with one reference.
IStream* NewStreamAdapter(TStream& AStream);
