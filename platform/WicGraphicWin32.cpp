#include "platform/WicGraphicWin32.h"

#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "fade/Exif.h"
#include "fade/PictureLoader.h"
#include "fade/PictureProbe.h"
#include "fade/Resample.h"
#include "platform/ComWin32.h"

namespace velmora {
namespace {

// The codec's own scaled decoding. mingw-w64's wincodec.h does not declare
// it; the layout is the one the system's wincodec.idl gives.
struct IWicSourceTransform : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height,
                                               WICPixelFormatGUID* format, WICBitmapTransformOptions transform,
                                               UINT stride, UINT bufferSize, BYTE* buffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform, BOOL* supported) = 0;
};
constexpr IID kIidSourceTransform = {0x3b16811b, 0x6a43, 0x4ec9, {0xb7, 0x13, 0x3d, 0x5a, 0x0c, 0x13, 0xb9, 0x40}};


std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

EPictureError DecodeError(const std::string& name, const std::vector<std::uint8_t>& bytes, HRESULT hr) {
  if (hr == WINCODEC_ERR_COMPONENTNOTFOUND) {
    // No decoder took the data: a kind without a decoder here, or no picture.
    const std::string_view kind = PictureKindName(bytes.data(), bytes.size());
    if (!kind.empty())
      return EPictureError(name + ": " + std::string(kind) + " pictures cannot be decoded on this system");
    return EPictureError(name + ": not a picture this system can decode");
  }
  if (hr == E_OUTOFMEMORY) return EPictureError(name + ": not enough memory to load the picture");
  return EPictureError(name + ": not a readable picture (damaged or cut short; error " + Hex(hr) + ")");
}

EPictureError TooLarge(const std::string& name, std::uint64_t width, std::uint64_t height) {
  return EPictureError(name + ": the picture is too large (" + std::to_string(width) + " x " +
                       std::to_string(height) + " pixels; at most " +
                       std::to_string(kMaxSystemDecodedPixels / 1'000'000) + " million)");
}

// A decoder and its first frame over bytes the caller keeps alive; members
// are released in the reverse order of their making.
struct OpenedPicture {
  ComRef<IWICImagingFactory> factory;
  ComRef<IWICStream> stream;
  ComRef<IWICBitmapDecoder> decoder;
  ComRef<IWICBitmapFrameDecode> frame;
};

void Open(const std::vector<std::uint8_t>& bytes, const std::string& name, OpenedPicture& out) {
  EnsureCom();
  HRESULT hr = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  out.factory.PutVoid());
  if (FAILED(hr)) throw EPictureError(name + ": the system's imaging component is not available (error " + Hex(hr) + ")");
  hr = out.factory->CreateStream(out.stream.Put());
  if (SUCCEEDED(hr))
    hr = out.stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), DWORD(bytes.size()));
  if (SUCCEEDED(hr))
    hr = out.factory->CreateDecoderFromStream(out.stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              out.decoder.Put());
  if (SUCCEEDED(hr)) hr = out.decoder->GetFrame(0, out.frame.Put());
  if (FAILED(hr)) throw DecodeError(name, bytes, hr);
}

// A whole number stored under name, if the reader has one.
std::optional<unsigned> ReadNumber(IWICMetadataQueryReader* reader, const wchar_t* name) {
  PROPVARIANT value;
  ::PropVariantInit(&value);
  if (FAILED(reader->GetMetadataByName(name, &value))) return std::nullopt;
  std::optional<unsigned> number;
  switch (value.vt) {
    case VT_UI1: number = value.bVal; break;
    case VT_UI2: number = value.uiVal; break;
    case VT_UI4: number = value.ulVal; break;
    case VT_I2: if (value.iVal >= 0) number = unsigned(value.iVal); break;
    case VT_I4: if (value.lVal >= 0) number = unsigned(value.lVal); break;
    default: break;
  }
  ::PropVariantClear(&value);
  return number;
}

// peekedOrientation: the orientation tag the header probe found (TIFF).
WicGraphic::Layout ReadLayout(OpenedPicture& picture, const std::vector<std::uint8_t>& bytes,
                              const std::string& name, int peekedOrientation) {
  WicGraphic::Layout layout;
  UINT width = 0, height = 0;
  const HRESULT hr = picture.frame->GetSize(&width, &height);
  if (FAILED(hr)) throw DecodeError(name, bytes, hr);
  if (width == 0 || height == 0) throw EPictureError(name + ": the picture has no pixels");
  if (std::uint64_t(width) * height > kMaxSystemDecodedPixels) throw TooLarge(name, width, height);
  layout.frameWidth = layout.canvasWidth = int(width);
  layout.frameHeight = layout.canvasHeight = int(height);

  GUID container{};
  if (FAILED(picture.decoder->GetContainerFormat(&container))) container = GUID_NULL;
  ComRef<IWICMetadataQueryReader> frameReader;
  const bool hasReader = SUCCEEDED(picture.frame->GetMetadataQueryReader(frameReader.Put())) && frameReader;
  if (container == GUID_ContainerFormatTiff) {
    // From the header: a damaged orientation entry crashes some imaging
    // components' TIFF metadata readers (Wine 8's).
    if (peekedOrientation >= 1 && peekedOrientation <= 8) layout.orientation = peekedOrientation;
  } else if (hasReader && container != GUID_ContainerFormatPng && container != GUID_ContainerFormatGif) {
    // HEIF and the other containers that carry an orientation.
    for (const wchar_t* query : {L"System.Photo.Orientation", L"/ifd/{ushort=274}"}) {
      const auto orientation = ReadNumber(frameReader.get(), query);
      if (orientation && *orientation >= 1 && *orientation <= 8) {
        layout.orientation = int(*orientation);
        break;
      }
    }
  }

  // A GIF's first frame lies at its place on the logical screen.
  ComRef<IWICMetadataQueryReader> decoderReader;
  if (container == GUID_ContainerFormatGif && SUCCEEDED(picture.decoder->GetMetadataQueryReader(decoderReader.Put())) &&
      decoderReader) {
    const auto screenWidth = ReadNumber(decoderReader.get(), L"/logscrdesc/Width");
    const auto screenHeight = ReadNumber(decoderReader.get(), L"/logscrdesc/Height");
    const auto left = hasReader ? ReadNumber(frameReader.get(), L"/imgdesc/Left") : std::nullopt;
    const auto top = hasReader ? ReadNumber(frameReader.get(), L"/imgdesc/Top") : std::nullopt;
    if (screenWidth && screenHeight && *screenWidth > 0 && *screenHeight > 0) {
      layout.frameLeft = int(std::min(left.value_or(0), 65535u));
      layout.frameTop = int(std::min(top.value_or(0), 65535u));
      layout.canvasWidth = std::max(int(std::min(*screenWidth, 65535u)), layout.frameLeft + layout.frameWidth);
      layout.canvasHeight = std::max(int(std::min(*screenHeight, 65535u)), layout.frameTop + layout.frameHeight);
      if (std::uint64_t(layout.canvasWidth) * std::uint64_t(layout.canvasHeight) > kMaxSystemDecodedPixels)
        throw TooLarge(name, std::uint64_t(layout.canvasWidth), std::uint64_t(layout.canvasHeight));
    }
  }
  return layout;
}

// The pixel formats taken straight from a codec, and their bytes a pixel.
enum class Format { Bgra, Pbgra, Bgrx, Bgr };

std::optional<Format> FormatOf(const WICPixelFormatGUID& guid) {
  if (guid == GUID_WICPixelFormat32bppBGRA) return Format::Bgra;
  if (guid == GUID_WICPixelFormat32bppPBGRA) return Format::Pbgra;
  if (guid == GUID_WICPixelFormat32bppBGR) return Format::Bgrx;
  if (guid == GUID_WICPixelFormat24bppBGR) return Format::Bgr;
  return std::nullopt;
}

int BytesOf(Format format) { return format == Format::Bgr ? 3 : 4; }

// One row of width pixels in format into 24-bit pixels over black.
void StoreRow(const std::uint8_t* src, int width, Format format, std::uint8_t* dst) {
  switch (format) {
    case Format::Bgra: ComposeRowOverBlack(src, width, dst); break;
    case Format::Bgr: std::memcpy(dst, src, std::size_t(width) * 3); break;
    case Format::Pbgra:  // premultiplied: over black it is the colour itself
    case Format::Bgrx:
      for (int x = 0; x < width; ++x, src += 4, dst += 3) std::memcpy(dst, src, 3);
      break;
  }
}

// Rows decoded at a time through the format converter.
constexpr int kStripRows = 64;

// Copies source (width x height) into out at (left, top) as 32-bit BGRA
// composited over black, a strip of rows at a time.
HRESULT CopyConverted(IWICImagingFactory* factory, IWICBitmapSource* source, int width, int height,
                      MemoryImage24& out, int left, int top) {
  ComRef<IWICFormatConverter> converter;
  HRESULT hr = factory->CreateFormatConverter(converter.Put());
  if (SUCCEEDED(hr))
    hr = converter->Initialize(source, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                               WICBitmapPaletteTypeCustom);
  if (FAILED(hr)) return hr;
  const UINT stride = UINT(width) * 4;
  std::vector<std::uint8_t> strip(std::size_t(stride) * std::size_t(std::min(height, kStripRows)));
  for (int y = 0; y < height; y += kStripRows) {
    const int rows = std::min(kStripRows, height - y);
    const WICRect rect{0, y, width, rows};
    hr = converter->CopyPixels(&rect, stride, stride * UINT(rows), strip.data());
    if (FAILED(hr)) return hr;
    for (int r = 0; r < rows; ++r)
      StoreRow(strip.data() + std::size_t(r) * stride, width, Format::Bgra,
               out.Row(top + y + r) + std::size_t(left) * 3);
  }
  return S_OK;
}

// A decode reduced by the codec to at least wantedWidth x wantedHeight.
bool TryReduced(IWICBitmapFrameDecode* frame, int frameWidth, int frameHeight, int wantedWidth, int wantedHeight,
                MemoryImage24& out) {
  ComRef<IWicSourceTransform> transform;
  if (FAILED(frame->QueryInterface(kIidSourceTransform, transform.PutVoid())) || !transform) return false;
  UINT width = UINT(wantedWidth), height = UINT(wantedHeight);
  if (FAILED(transform->GetClosestSize(&width, &height))) return false;
  if (width < UINT(wantedWidth) || height < UINT(wantedHeight)) return false;  // would lose detail
  if (width >= UINT(frameWidth) && height >= UINT(frameHeight)) return false;  // no reduction
  WICPixelFormatGUID guid = GUID_WICPixelFormat32bppBGRA;
  if (FAILED(transform->GetClosestPixelFormat(&guid))) return false;
  const auto format = FormatOf(guid);
  if (!format) return false;
  const std::size_t stride = ((std::size_t(width) * std::size_t(BytesOf(*format))) + 3) / 4 * 4;
  std::vector<std::uint8_t> pixels(stride * height);
  if (FAILED(transform->CopyPixels(nullptr, width, height, &guid, WICBitmapTransformRotate0, UINT(stride),
                                   UINT(pixels.size()), pixels.data())))
    return false;
  out.SetSize(int(width), int(height));
  for (int y = 0; y < int(height); ++y) StoreRow(pixels.data() + std::size_t(y) * stride, int(width), *format, out.Row(y));
  return true;
}

// The thumbnail the file carries, when it covers wantedWidth x wantedHeight
// and has the picture's proportions (within 1%).
bool TryThumbnail(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, int frameWidth, int frameHeight,
                  int wantedWidth, int wantedHeight, MemoryImage24& out) {
  ComRef<IWICBitmapSource> thumbnail;
  if (FAILED(frame->GetThumbnail(thumbnail.Put())) || !thumbnail) return false;
  UINT width = 0, height = 0;
  if (FAILED(thumbnail->GetSize(&width, &height))) return false;
  if (width < UINT(wantedWidth) || height < UINT(wantedHeight) || width >= UINT(frameWidth)) return false;
  const std::uint64_t a = std::uint64_t(width) * std::uint64_t(frameHeight);
  const std::uint64_t b = std::uint64_t(height) * std::uint64_t(frameWidth);
  if ((a > b ? a - b : b - a) * 100 > std::max(a, b)) return false;
  MemoryImage24 image{int(width), int(height)};
  if (FAILED(CopyConverted(factory, thumbnail.get(), int(width), int(height), image, 0, 0))) return false;
  out = std::move(image);
  return true;
}

}  // namespace

std::shared_ptr<const WicGraphic> WicGraphic::FromBytes(std::vector<std::uint8_t> bytes, const std::string& name) {
  if (bytes.empty()) throw EPictureError(name + ": the file is empty");
  if (bytes.size() > 0xFFFFFFFFu) throw EPictureError(name + ": the file is too large");
  // The header first: some decoders allocate the whole picture as they open.
  const auto peeked = PeekPictureSize(bytes.data(), bytes.size());
  if (peeked) {
    if (peeked->largestPixels > kMaxSystemDecodedPixels) {
      if (peeked->largestPixels == std::uint64_t(peeked->width) * peeked->height)
        throw TooLarge(name, peeked->width, peeked->height);
      throw EPictureError(name + ": the picture is too large (a frame of " + std::to_string(peeked->largestPixels) +
                          " pixels)");
    }
  }
  Layout layout;
  {
    OpenedPicture picture;
    Open(bytes, name, picture);
    layout = ReadLayout(picture, bytes, name, peeked ? peeked->orientation : 0);
  }
  return std::make_shared<const WicGraphic>(std::move(bytes), name, layout);
}

std::shared_ptr<const WicGraphic> WicGraphic::FromFile(const std::string& path) {
  return FromBytes(ReadPictureFile(path), path);
}

WicGraphic::WicGraphic(std::vector<std::uint8_t> bytes, std::string name, const Layout& layout)
    : ScaledRaster(NaturalSize::Keep), bytes_(std::move(bytes)), name_(std::move(name)), layout_(layout) {
  const PictureSize upright = OrientedSize(layout_.orientation, layout_.canvasWidth, layout_.canvasHeight);
  SetSize(upright.width, upright.height);
}

MemoryImage24 WicGraphic::Decode(int wantedWidth, int wantedHeight) const {
  const Layout& l = layout_;
  // In the stored picture's axes.
  const PictureSize storedWanted = OrientedSize(l.orientation, wantedWidth, wantedHeight);
  const int storedWantedWidth = storedWanted.width;
  const int storedWantedHeight = storedWanted.height;
  MemoryImage24 stored;
  Route route = Route::Whole;
  {
    OpenedPicture picture;
    Open(bytes_, name_, picture);
    const bool frameIsCanvas = l.frameLeft == 0 && l.frameTop == 0 && l.frameWidth == l.canvasWidth &&
                               l.frameHeight == l.canvasHeight;
    if (frameIsCanvas && storedWantedWidth < l.frameWidth && storedWantedHeight < l.frameHeight) {
      if (TryReduced(picture.frame.get(), l.frameWidth, l.frameHeight, storedWantedWidth, storedWantedHeight, stored))
        route = Route::Reduced;
      else if (TryThumbnail(picture.factory.get(), picture.frame.get(), l.frameWidth, l.frameHeight,
                            storedWantedWidth, storedWantedHeight, stored))
        route = Route::Thumbnail;
    }
    if (route == Route::Whole) {
      stored.SetSize(l.canvasWidth, l.canvasHeight);  // black
      const HRESULT hr = CopyConverted(picture.factory.get(), picture.frame.get(), l.frameWidth, l.frameHeight,
                                       stored, l.frameLeft, l.frameTop);
      if (FAILED(hr)) throw DecodeError(name_, bytes_, hr);
    }
  }  // decoder and frame released here
  lastRoute_ = route;
  MakeUpright(stored, l.orientation);
  return stored;
}

WicGraphic::Route WicGraphic::LastRoute() const {
  std::lock_guard lock(Guard());
  return lastRoute_;
}

std::shared_ptr<MemoryImage24> WicGraphic::Render(int width, int height, const std::atomic<bool>* cancel) const {
  // The codec cannot be stopped part way: cancelling is seen before and after.
  if (cancel && cancel->load(std::memory_order_relaxed)) return nullptr;
  auto source = std::make_shared<MemoryImage24>(Decode(width, height));
  if (cancel && cancel->load(std::memory_order_relaxed)) return nullptr;
  if (width == Width() && height == Height()) return source;
  auto image = std::make_shared<MemoryImage24>(width, height);
  Resample(*source, *image, Rect{0, 0, width, height});
  return image;
}

void WicGraphic::RenderInto(Image24& target, const Rect& rect) const {
  const MemoryImage24 source = Decode(rect.Width(), rect.Height());
  if (rect.Width() == Width() && rect.Height() == Height())
    target.Draw(source, rect.left, rect.top);
  else
    Resample(source, target, rect);  // only the visible part, straight into the target
}

}  // namespace velmora
