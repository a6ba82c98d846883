#include "streams.h"

#include "rtl-exceptions.h"

#include <zlib.h>

#include <windows.h>
#include <objidl.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr size_t kCopyChunk = 64 * 1024;
// zlib counts in 32-bit units; larger requests are fed in slices.
constexpr size_t kZlibSlice = 1u << 30;

} // namespace

// --- TStream ---------------------------------------------------------------

int64_t TStream::GetSize() {
  const int64_t position = Seek(0, TSeekOrigin::Current);
  const int64_t size = Seek(0, TSeekOrigin::End);
  Seek(position, TSeekOrigin::Beginning);
  return size;
}

void TStream::SetSize(int64_t) {
  throw EStreamError(L"This stream cannot change its size");
}

void TStream::ReadBuffer(void* ABuffer, size_t ACount) {
  auto* out = static_cast<uint8_t*>(ABuffer);
  while (ACount > 0) {
    const size_t got = Read(out, ACount);
    if (got == 0)
      throw EReadError(L"Stream read error");
    out += got;
    ACount -= got;
  }
}

void TStream::WriteBuffer(const void* ABuffer, size_t ACount) {
  auto* in = static_cast<const uint8_t*>(ABuffer);
  while (ACount > 0) {
    const size_t put = Write(in, ACount);
    if (put == 0)
      throw EWriteError(L"Stream write error");
    in += put;
    ACount -= put;
  }
}

int64_t TStream::CopyFrom(TStream& ASource, int64_t ACount) {
  if (ACount < 0)
    throw EStreamError(L"Negative copy count");
  if (ACount == 0) {
    ASource.SetPosition(0);
    ACount = ASource.GetSize();
  }
  std::vector<uint8_t> buffer(size_t(std::min<int64_t>(ACount, kCopyChunk)));
  int64_t left = ACount;
  while (left > 0) {
    const size_t chunk = size_t(std::min<int64_t>(left, int64_t(buffer.size())));
    ASource.ReadBuffer(buffer.data(), chunk);
    WriteBuffer(buffer.data(), chunk);
    left -= int64_t(chunk);
  }
  return ACount;
}

std::vector<uint8_t> TStream::ReadRest() {
  std::vector<uint8_t> out;
  uint8_t buffer[kCopyChunk / 4];
  for (;;) {
    const size_t got = Read(buffer, sizeof buffer);
    if (got == 0)
      break;
    out.insert(out.end(), buffer, buffer + got);
  }
  return out;
}

// --- memory streams ----------------------------------------------------------

size_t TCustomMemoryStream::Read(void* ABuffer, size_t ACount) {
  if (FPosition >= FSize || ACount == 0)
    return 0;
  const size_t n = std::min(ACount, FSize - FPosition);
  std::memcpy(ABuffer, static_cast<const uint8_t*>(FMemory) + FPosition, n);
  FPosition += n;
  return n;
}

int64_t TCustomMemoryStream::Seek(int64_t AOffset, TSeekOrigin AOrigin) {
  int64_t base = 0;
  switch (AOrigin) {
  case TSeekOrigin::Beginning:
    break;
  case TSeekOrigin::Current:
    base = int64_t(FPosition);
    break;
  case TSeekOrigin::End:
    base = int64_t(FSize);
    break;
  }
  const int64_t target = base + AOffset;
  if (target < 0 || uint64_t(target) > uint64_t(std::numeric_limits<size_t>::max()))
    throw EStreamError(L"Seek outside the stream");
  FPosition = size_t(target);
  return target;
}

void TCustomMemoryStream::SaveToStream(TStream& AStream) {
  if (FSize)
    AStream.WriteBuffer(FMemory, FSize);
}

void TCustomMemoryStream::SaveToFile(const std::wstring& AFileName) {
  TFileStream file(AFileName, fmCreate);
  SaveToStream(file);
}

void TCustomMemoryStream::SetPointer(void* AMemory, size_t ASize) {
  FMemory = AMemory;
  FSize = ASize;
}

TMemoryStream::~TMemoryStream() {
  std::free(FMemory);
}

void TMemoryStream::SetCapacity(size_t ANewCapacity) {
  if (ANewCapacity == FCapacity)
    return;
  if (ANewCapacity == 0) {
    std::free(FMemory);
    FMemory = nullptr;
  } else {
    void* grown = std::realloc(FMemory, ANewCapacity);
    if (!grown)
      throw EStreamError(L"Out of memory while expanding memory stream");
    FMemory = grown;
  }
  FCapacity = ANewCapacity;
  FSize = std::min(FSize, FCapacity);
}

void TMemoryStream::SetSize(int64_t ANewSize) {
  if (ANewSize < 0 || uint64_t(ANewSize) > uint64_t(std::numeric_limits<size_t>::max() / 2))
    throw EStreamError(L"Invalid memory stream size");
  const size_t newSize = size_t(ANewSize);
  if (newSize > FCapacity)
    SetCapacity(newSize);
  if (newSize > FSize)
    std::memset(static_cast<uint8_t*>(FMemory) + FSize, 0, newSize - FSize);
  FSize = newSize;
  FPosition = std::min(FPosition, FSize);
}

size_t TMemoryStream::Write(const void* ABuffer, size_t ACount) {
  if (ACount == 0)
    return 0;
  if (ACount > std::numeric_limits<size_t>::max() / 2 - FPosition)
    throw EWriteError(L"Memory stream too large");
  const size_t end = FPosition + ACount;
  if (end > FSize) {
    if (end > FCapacity) {
      // Grow by a quarter at least, so a run of small writes stays linear.
      size_t wanted = std::max(end, FCapacity + FCapacity / 4);
      wanted = (wanted + 0x1FFF) & ~size_t(0x1FFF);
      SetCapacity(wanted);
    }
    if (FPosition > FSize)
      std::memset(static_cast<uint8_t*>(FMemory) + FSize, 0, FPosition - FSize);
    FSize = end;
  }
  std::memcpy(static_cast<uint8_t*>(FMemory) + FPosition, ABuffer, ACount);
  FPosition = end;
  return ACount;
}

void TMemoryStream::Clear() {
  SetCapacity(0);
  FSize = 0;
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& AStream) {
  AStream.SetPosition(0);
  const int64_t size = AStream.GetSize();
  SetSize(size);
  if (size)
    AStream.ReadBuffer(FMemory, size_t(size));
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::wstring& AFileName) {
  TFileStream file(AFileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TMemoryStreamReadOnly::SetBuffer(const void* ABuffer, size_t ACount) {
  SetPointer(const_cast<void*>(ABuffer), ABuffer ? ACount : 0);
  FPosition = 0;
}

size_t TMemoryStreamReadOnly::Write(const void*, size_t) {
  return 0;
}

namespace {

std::wstring ResourceName(const wchar_t* AName) {
  if (IS_INTRESOURCE(AName))
    return L"#" + std::to_wstring(reinterpret_cast<uintptr_t>(AName));
  return AName;
}

} // namespace

TResourceStream::TResourceStream(void* AInstance, const wchar_t* AName, const wchar_t* AType) {
  auto module = static_cast<HMODULE>(AInstance);
  HRSRC info = FindResourceW(module, AName, AType);
  HGLOBAL data = info ? LoadResource(module, info) : nullptr;
  void* memory = data ? LockResource(data) : nullptr;
  if (!memory)
    throw EResNotFound(L"Resource " + ResourceName(AName) + L" not found");
  SetPointer(memory, SizeofResource(module, info));
}

size_t TResourceStream::Write(const void*, size_t) {
  throw EStreamError(L"A resource stream cannot be written");
}

// --- file streams ------------------------------------------------------------

size_t THandleStream::Read(void* ABuffer, size_t ACount) {
  auto* out = static_cast<uint8_t*>(ABuffer);
  size_t total = 0;
  while (total < ACount) {
    const DWORD ask = DWORD(std::min<size_t>(ACount - total, kZlibSlice));
    DWORD got = 0;
    if (!ReadFile(FHandle, out + total, ask, &got, nullptr) || got == 0)
      break;
    total += got;
  }
  return total;
}

size_t THandleStream::Write(const void* ABuffer, size_t ACount) {
  auto* in = static_cast<const uint8_t*>(ABuffer);
  size_t total = 0;
  while (total < ACount) {
    const DWORD ask = DWORD(std::min<size_t>(ACount - total, kZlibSlice));
    DWORD put = 0;
    if (!WriteFile(FHandle, in + total, ask, &put, nullptr) || put == 0)
      break;
    total += put;
  }
  return total;
}

int64_t THandleStream::Seek(int64_t AOffset, TSeekOrigin AOrigin) {
  static constexpr DWORD kMethods[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  LARGE_INTEGER distance;
  distance.QuadPart = AOffset;
  LARGE_INTEGER moved{};
  if (!SetFilePointerEx(FHandle, distance, &moved, kMethods[int(AOrigin)]))
    throw EStreamError(L"Seek outside the file");
  return moved.QuadPart;
}

void THandleStream::SetSize(int64_t ANewSize) {
  const int64_t position = GetPosition();
  Seek(ANewSize, TSeekOrigin::Beginning);
  const bool done = SetEndOfFile(FHandle);
  Seek(std::min(position, ANewSize), TSeekOrigin::Beginning);
  if (!done)
    throw EStreamError(L"The file's size could not be changed");
}

TFileStream::TFileStream(const std::wstring& AFileName, uint32_t AMode)
    : THandleStream(INVALID_HANDLE_VALUE), FFileName(AFileName) {
  DWORD share = 0;
  if (AMode & fmShareDenyNone)
    share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  else if (AMode & fmShareDenyWrite)
    share = FILE_SHARE_READ;
  if ((AMode & fmCreate) == fmCreate) {
    FHandle = CreateFileW(AFileName.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (FHandle == INVALID_HANDLE_VALUE)
      throw EFCreateError(L"Cannot create file \"" + AFileName + L"\"");
    return;
  }
  static constexpr DWORD kAccess[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
  const uint32_t access = AMode & 3;
  if (access > 2)
    throw EFOpenError(L"Invalid mode opening file \"" + AFileName + L"\"");
  FHandle = CreateFileW(AFileName.c_str(), kAccess[access], share, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (FHandle == INVALID_HANDLE_VALUE)
    throw EFOpenError(L"Cannot open file \"" + AFileName + L"\"");
}

TFileStream::~TFileStream() {
  if (FHandle != INVALID_HANDLE_VALUE)
    CloseHandle(FHandle);
}

// --- zlib streams --------------------------------------------------------------

namespace {

int ZlibLevel(TCompressionLevel ALevel) {
  static constexpr int kLevels[] = {Z_NO_COMPRESSION, Z_BEST_SPEED, Z_DEFAULT_COMPRESSION,
                                    Z_BEST_COMPRESSION};
  return kLevels[int(ALevel)];
}

constexpr size_t kZBuffer = 32 * 1024;

} // namespace

struct TCompressionStream::TState {
  z_stream Z{};
  uint8_t Out[kZBuffer];
  bool Open = false;
};

TCompressionStream::TCompressionStream(TStream& ADest, TCompressionLevel ALevel)
    : FState(new TState), FDest(ADest) {
  if (deflateInit(&FState->Z, ZlibLevel(ALevel)) != Z_OK) {
    delete FState;
    throw ECompressionError(L"Compression could not start");
  }
  FState->Open = true;
  FState->Z.next_out = FState->Out;
  FState->Z.avail_out = kZBuffer;
}

TCompressionStream::~TCompressionStream() {
  try {
    Finish();
  } catch (...) {
    // A destructor cannot report; a caller that cares finishes first.
  }
  if (FState->Open)
    deflateEnd(&FState->Z);
  delete FState;
}

size_t TCompressionStream::Read(void*, size_t) {
  throw ECompressionError(L"A compression stream cannot be read");
}

size_t TCompressionStream::Write(const void* ABuffer, size_t ACount) {
  if (FFinished)
    throw ECompressionError(L"Write after the compressed stream was finished");
  z_stream& z = FState->Z;
  auto* in = static_cast<const uint8_t*>(ABuffer);
  size_t left = ACount;
  while (left > 0) {
    const size_t slice = std::min(left, kZlibSlice);
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = uInt(slice);
    while (z.avail_in > 0) {
      if (deflate(&z, Z_NO_FLUSH) == Z_STREAM_ERROR)
        throw ECompressionError(L"Compression failed");
      if (z.avail_out == 0) {
        FDest.WriteBuffer(FState->Out, kZBuffer);
        z.next_out = FState->Out;
        z.avail_out = kZBuffer;
      }
    }
    in += slice;
    left -= slice;
  }
  return ACount;
}

int64_t TCompressionStream::Seek(int64_t AOffset, TSeekOrigin AOrigin) {
  if (AOffset == 0 && AOrigin == TSeekOrigin::Current)
    return int64_t(FState->Z.total_in);
  throw ECompressionError(L"A compression stream cannot seek");
}

void TCompressionStream::Finish() {
  if (FFinished)
    return;
  FFinished = true;
  z_stream& z = FState->Z;
  z.next_in = nullptr;
  z.avail_in = 0;
  for (;;) {
    const int result = deflate(&z, Z_FINISH);
    if (result == Z_STREAM_ERROR)
      throw ECompressionError(L"Compression failed");
    const size_t produced = kZBuffer - z.avail_out;
    if (produced)
      FDest.WriteBuffer(FState->Out, produced);
    z.next_out = FState->Out;
    z.avail_out = kZBuffer;
    if (result == Z_STREAM_END)
      break;
  }
}

struct TDecompressionStream::TState {
  z_stream Z{};
  uint8_t In[kZBuffer];
  bool Open = false;
  bool Ended = false;
  int64_t SourceStart = 0;
};

TDecompressionStream::TDecompressionStream(TStream& ASource)
    : FState(new TState), FSource(ASource) {
  if (inflateInit(&FState->Z) != Z_OK) {
    delete FState;
    throw EDecompressionError(L"Decompression could not start");
  }
  FState->Open = true;
  FState->SourceStart = ASource.GetPosition();
}

TDecompressionStream::~TDecompressionStream() {
  if (FState->Open)
    inflateEnd(&FState->Z);
  delete FState;
}

size_t TDecompressionStream::Read(void* ABuffer, size_t ACount) {
  z_stream& z = FState->Z;
  auto* out = static_cast<uint8_t*>(ABuffer);
  size_t total = 0;
  while (total < ACount && !FState->Ended) {
    const size_t slice = std::min(ACount - total, kZlibSlice);
    z.next_out = out + total;
    z.avail_out = uInt(slice);
    while (z.avail_out > 0) {
      if (z.avail_in == 0) {
        const size_t got = FSource.Read(FState->In, kZBuffer);
        if (got == 0)
          throw EReadError(L"Compressed data end before the compressed stream does");
        z.next_in = FState->In;
        z.avail_in = uInt(got);
      }
      const int result = inflate(&z, Z_NO_FLUSH);
      if (result == Z_STREAM_END) {
        FState->Ended = true;
        // Leave the source right after the compressed data: what follows
        // belongs to the source's other readers.
        if (z.avail_in > 0)
          FSource.Seek(-int64_t(z.avail_in), TSeekOrigin::Current);
        z.avail_in = 0;
        break;
      }
      if (result == Z_MEM_ERROR)
        throw EDecompressionError(L"Out of memory while decompressing");
      if (result != Z_OK && result != Z_BUF_ERROR)
        throw EDecompressionError(L"Corrupt compressed data");
    }
    total += slice - z.avail_out;
  }
  return total;
}

size_t TDecompressionStream::Write(const void*, size_t) {
  throw EDecompressionError(L"A decompression stream cannot be written");
}

int64_t TDecompressionStream::Seek(int64_t AOffset, TSeekOrigin AOrigin) {
  const int64_t position = int64_t(FState->Z.total_out);
  int64_t target = -1;
  if (AOrigin == TSeekOrigin::Current)
    target = position + AOffset;
  else if (AOrigin == TSeekOrigin::Beginning)
    target = AOffset;
  if (target == 0 && position > 0) {
    // Back to the start: inflate again from where the compressed data began.
    inflateReset(&FState->Z);
    FState->Z.avail_in = 0;
    FState->Ended = false;
    FSource.SetPosition(FState->SourceStart);
    return 0;
  }
  if (target < position)
    throw EDecompressionError(L"A decompression stream can only seek forwards");
  uint8_t skip[4096];
  while (int64_t(FState->Z.total_out) < target) {
    const size_t ask = size_t(std::min<int64_t>(target - int64_t(FState->Z.total_out), 4096));
    if (Read(skip, ask) == 0)
      throw EReadError(L"Seek past the end of the compressed data");
  }
  return target;
}

bool TDecompressionStream::AtEnd() const {
  return FState->Ended;
}

std::vector<uint8_t> ZCompressBytes(const void* AData, size_t ACount, TCompressionLevel ALevel) {
  TMemoryStream out;
  {
    TCompressionStream z(out, ALevel);
    z.WriteBuffer(AData, ACount);
    z.Finish();
  }
  const auto* bytes = static_cast<const uint8_t*>(out.Memory());
  return std::vector<uint8_t>(bytes, bytes + out.GetSize());
}

std::vector<uint8_t> ZDecompressBytes(const void* AData, size_t ACount) {
  TMemoryStreamReadOnly in(AData, ACount);
  TDecompressionStream z(in);
  std::vector<uint8_t> out = z.ReadRest();
  if (in.GetPosition() != in.GetSize())
    throw EReadError(L"Data follow the compressed stream");
  return out;
}

void ZCompressStream(TStream& ASource, TStream& ADest, TCompressionLevel ALevel) {
  TCompressionStream z(ADest, ALevel);
  uint8_t buffer[kZBuffer];
  for (;;) {
    const size_t got = ASource.Read(buffer, sizeof buffer);
    if (got == 0)
      break;
    z.WriteBuffer(buffer, got);
  }
  z.Finish();
}

void ZDecompressStream(TStream& ASource, TStream& ADest) {
  TDecompressionStream z(ASource);
  uint8_t buffer[kZBuffer];
  for (;;) {
    const size_t got = z.Read(buffer, sizeof buffer);
    if (got == 0)
      break;
    ADest.WriteBuffer(buffer, got);
  }
}

// --- IStream adapter -------------------------------------------------------------

namespace {

class TStreamAdapter final : public IStream {
public:
  explicit TStreamAdapter(TStream& AStream) : FStream(AStream) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override {
    if (!AObject)
      return E_POINTER;
    if (IsEqualIID(AIid, IID_IUnknown) || IsEqualIID(AIid, IID_ISequentialStream) ||
        IsEqualIID(AIid, IID_IStream)) {
      *AObject = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *AObject = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefCount; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = --FRefCount;
    if (count == 0)
      delete this;
    return count;
  }

  HRESULT STDMETHODCALLTYPE Read(void* ABuffer, ULONG ACount, ULONG* ARead) override {
    try {
      const size_t got = FStream.Read(ABuffer, ACount);
      if (ARead)
        *ARead = ULONG(got);
      return got == ACount ? S_OK : S_FALSE;
    } catch (...) {
      if (ARead)
        *ARead = 0;
      return STG_E_READFAULT;
    }
  }
  HRESULT STDMETHODCALLTYPE Write(const void* ABuffer, ULONG ACount, ULONG* AWritten) override {
    try {
      const size_t put = FStream.Write(ABuffer, ACount);
      if (AWritten)
        *AWritten = ULONG(put);
      return put == ACount ? S_OK : STG_E_MEDIUMFULL;
    } catch (...) {
      if (AWritten)
        *AWritten = 0;
      return STG_E_WRITEFAULT;
    }
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER AMove, DWORD AOrigin,
                                 ULARGE_INTEGER* ANewPosition) override {
    static constexpr TSeekOrigin kOrigins[] = {TSeekOrigin::Beginning, TSeekOrigin::Current,
                                               TSeekOrigin::End};
    if (AOrigin > STREAM_SEEK_END)
      return STG_E_INVALIDFUNCTION;
    try {
      const int64_t position = FStream.Seek(AMove.QuadPart, kOrigins[AOrigin]);
      if (ANewPosition)
        ANewPosition->QuadPart = uint64_t(position);
      return S_OK;
    } catch (...) {
      return STG_E_INVALIDPOINTER;
    }
  }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER ANewSize) override {
    try {
      FStream.SetSize(int64_t(ANewSize.QuadPart));
      return S_OK;
    } catch (...) {
      return E_FAIL;
    }
  }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream* ADest, ULARGE_INTEGER ACount, ULARGE_INTEGER* ARead,
                                   ULARGE_INTEGER* AWritten) override {
    uint64_t read = 0, written = 0;
    HRESULT result = S_OK;
    uint8_t buffer[4096];
    while (read < ACount.QuadPart) {
      const ULONG ask = ULONG(std::min<uint64_t>(ACount.QuadPart - read, sizeof buffer));
      ULONG got = 0;
      result = Read(buffer, ask, &got);
      if (FAILED(result) || got == 0)
        break;
      read += got;
      ULONG put = 0;
      result = ADest->Write(buffer, got, &put);
      written += put;
      if (FAILED(result))
        break;
    }
    if (ARead)
      ARead->QuadPart = read;
    if (AWritten)
      AWritten->QuadPart = written;
    return FAILED(result) ? result : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Revert() override { return STG_E_REVERTED; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* AStat, DWORD) override {
    if (!AStat)
      return STG_E_INVALIDPOINTER;
    std::memset(AStat, 0, sizeof *AStat);
    AStat->type = STGTY_STREAM;
    try {
      AStat->cbSize.QuadPart = uint64_t(FStream.GetSize());
    } catch (...) {
      return STG_E_ACCESSDENIED;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IStream** AClone) override {
    if (AClone)
      *AClone = nullptr;
    return E_NOTIMPL;
  }

private:
  TStream& FStream;
  std::atomic<ULONG> FRefCount{1};
};

} // namespace

IStream* NewStreamAdapter(TStream& AStream) {
  return new TStreamAdapter(AStream);
}
