#include "support/WicPicturesWin32.h"

#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace velmora::testing {
namespace {

template <typename T>
struct Released {
  T* p = nullptr;
  ~Released() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
};

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) throw std::runtime_error(std::string(what) + " failed");
}

// Frames written by one of the system's encoders; each frame is handed to
// write(frameEncoder, index) after its size is set.
template <typename Write>
std::vector<std::uint8_t> Encode(REFGUID container, std::size_t frames, const Write& write) {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Released<IWICImagingFactory> factory;
  Check(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                           reinterpret_cast<void**>(&factory.p)),
        "CoCreateInstance");
  Released<IStream> stream;
  Check(::CreateStreamOnHGlobal(nullptr, TRUE, &stream.p), "CreateStreamOnHGlobal");
  Released<IWICBitmapEncoder> encoder;
  Check(factory->CreateEncoder(container, nullptr, &encoder.p), "CreateEncoder");
  Check(encoder->Initialize(stream.p, WICBitmapEncoderNoCache), "encoder Initialize");
  for (std::size_t i = 0; i < frames; ++i) {
    Released<IWICBitmapFrameEncode> frame;
    Released<IPropertyBag2> options;
    Check(encoder->CreateNewFrame(&frame.p, &options.p), "CreateNewFrame");
    Check(frame->Initialize(options.p), "frame Initialize");
    write(factory.p, frame.p, i);
    Check(frame->Commit(), "frame Commit");
  }
  Check(encoder->Commit(), "encoder Commit");
  STATSTG stat{};
  Check(stream->Stat(&stat, STATFLAG_NONAME), "Stat");
  std::vector<std::uint8_t> bytes(std::size_t(stat.cbSize.QuadPart));
  const LARGE_INTEGER start{};
  Check(stream->Seek(start, STREAM_SEEK_SET, nullptr), "Seek");
  ULONG got = 0;
  Check(stream->Read(bytes.data(), ULONG(bytes.size()), &got), "Read");
  bytes.resize(got);
  return bytes;
}

void Put16(std::vector<std::uint8_t>& b, unsigned v) {
  b.push_back(std::uint8_t(v));
  b.push_back(std::uint8_t(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const BgraFrame& f) {
  return Encode(GUID_ContainerFormatPng, 1, [&](IWICImagingFactory*, IWICBitmapFrameEncode* frame, std::size_t) {
    Check(frame->SetSize(UINT(f.width), UINT(f.height)), "SetSize");
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    Check(frame->SetPixelFormat(&format), "SetPixelFormat");
    if (format != GUID_WICPixelFormat32bppBGRA) throw std::runtime_error("the PNG encoder refuses 32-bit BGRA");
    Check(frame->WritePixels(UINT(f.height), UINT(f.width) * 4, UINT(f.pixels.size()),
                             const_cast<BYTE*>(f.pixels.data())),
          "WritePixels");
  });
}

std::vector<std::uint8_t> MakeGif(int screenWidth, int screenHeight, const std::uint32_t (&palette)[4],
                                  const std::vector<GifFrame>& frames) {
  std::vector<std::uint8_t> b = {'G', 'I', 'F', '8', '9', 'a'};
  Put16(b, unsigned(screenWidth));
  Put16(b, unsigned(screenHeight));
  b.insert(b.end(), {0x81, 0, 0});  // global table of 2^(1+1) colours
  for (std::uint32_t c : palette) b.insert(b.end(), {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
  for (const GifFrame& f : frames) {
    // Graphic control: no disposal, the transparent index if any.
    b.insert(b.end(), {0x21, 0xF9, 4, std::uint8_t(f.transparent >= 0 ? 1 : 0), 10, 0,
                       std::uint8_t(f.transparent >= 0 ? f.transparent : 0), 0});
    b.push_back(0x2C);
    Put16(b, unsigned(f.left));
    Put16(b, unsigned(f.top));
    Put16(b, unsigned(f.width));
    Put16(b, unsigned(f.height));
    b.push_back(0);
    // LZW with 2-bit pixels: 3-bit codes, a clear code before every two
    // pixels so that the code width never grows.
    b.push_back(2);
    std::vector<std::uint8_t> data;
    std::uint32_t bits = 0;
    int count = 0;
    auto emit = [&](unsigned code) {
      bits |= code << count;
      count += 3;
      while (count >= 8) {
        data.push_back(std::uint8_t(bits));
        bits >>= 8;
        count -= 8;
      }
    };
    for (std::size_t i = 0; i < f.indices.size(); ++i) {
      if (i % 2 == 0) emit(4);
      emit(f.indices[i] & 3);
    }
    emit(5);
    if (count > 0) data.push_back(std::uint8_t(bits));
    for (std::size_t at = 0; at < data.size(); at += 255) {
      const std::size_t n = std::min<std::size_t>(255, data.size() - at);
      b.push_back(std::uint8_t(n));
      b.insert(b.end(), data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + n));
    }
    b.push_back(0);
  }
  b.push_back(0x3B);
  return b;
}

std::vector<std::uint8_t> MakeTiff(const BgraFrame& f, int orientation) {
  struct Entry {
    unsigned tag, type;
    std::uint32_t count, value;
  };
  const std::uint32_t dataBytes = std::uint32_t(f.width) * std::uint32_t(f.height) * 3;
  std::vector<Entry> entries = {
      {256, 4, 1, std::uint32_t(f.width)}, {257, 4, 1, std::uint32_t(f.height)}, {258, 3, 3, 0},
      {259, 3, 1, 1}, {262, 3, 1, 2}, {273, 4, 1, 0}, {274, 3, 1, std::uint32_t(orientation)},
      {277, 3, 1, 3}, {278, 4, 1, std::uint32_t(f.height)}, {279, 4, 1, dataBytes},
  };
  if (orientation == 0) entries.erase(entries.begin() + 6);
  const std::uint32_t ifd = 8;
  const std::uint32_t bitsAt = ifd + 2 + std::uint32_t(entries.size()) * 12 + 4;
  const std::uint32_t dataAt = bitsAt + 6;
  std::vector<std::uint8_t> b = {'I', 'I', 42, 0};
  Put32(b, ifd);
  Put16(b, unsigned(entries.size()));
  for (Entry e : entries) {
    if (e.tag == 258) e.value = bitsAt;
    if (e.tag == 273) e.value = dataAt;
    Put16(b, e.tag);
    Put16(b, e.type);
    Put32(b, e.count);
    if (e.type == 3 && e.count == 1) {
      Put16(b, e.value);
      Put16(b, 0);
    } else {
      Put32(b, e.value);
    }
  }
  Put32(b, 0);
  for (int i = 0; i < 3; ++i) Put16(b, 8);
  for (std::size_t p = 0; p + 3 < f.pixels.size(); p += 4)
    b.insert(b.end(), {f.pixels[p + 2], f.pixels[p + 1], f.pixels[p]});
  return b;
}

std::vector<std::uint8_t> WithPngSize(std::vector<std::uint8_t> png, std::uint32_t width, std::uint32_t height) {
  if (png.size() < 33) throw std::runtime_error("not a PNG");
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = std::uint8_t(width >> (24 - 8 * i));
    png[20 + i] = std::uint8_t(height >> (24 - 8 * i));
  }
  const std::uint32_t crc = Crc32(&png[12], 17);  // "IHDR" and its 13 bytes
  for (int i = 0; i < 4; ++i) png[29 + i] = std::uint8_t(crc >> (24 - 8 * i));
  return png;
}

std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  char dir[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, dir);
  const std::string path = std::string(dir) + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path;
}

}  // namespace velmora::testing
