#include "saver/CaptionWin32.h"

#include <shlwapi.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "fade/HeifGraphic.h"
#include "fade/PictureLoader.h"
#include "platform/ApplicationWin32.h"
#include "platform/ComWin32.h"
#include "platform/HandlesWin32.h"

namespace velmora {

namespace {

// A JPEG's Exif block lies in its first markers; this much of the file holds
// it (an APP1 segment is at most 64 KiB) with room for segments before it.
constexpr std::size_t kJpegHeadBytes = 256 * 1024;

bool IsJpegName(const std::string& path) {
  const std::string extension = PictureExtension(path);
  return extension == ".jpg" || extension == ".jpeg" || extension == ".jpe" || extension == ".jfif";
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// The picture's whole content, from its file or from the saver's own file
// when the saver carries it (an exported show). Nothing when it cannot be read.
std::optional<std::vector<std::uint8_t>> CarriedPictureBytes(const std::string& path) {
  try {
    return ReadPictureFile(path);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<ExifDate> JpegDateTaken(const std::string& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    const auto carried = CarriedPictureBytes(path);
    return carried ? ReadExif(*carried).dateTaken : std::nullopt;
  }
  std::vector<std::uint8_t> head(kJpegHeadBytes);
  head.resize(std::fread(head.data(), 1, head.size(), file.get()));
  return ReadExif(head).dateTaken;
}

// A PROPVARIANT cleared with its owner.
struct PropVariant {
  PropVariant() { ::PropVariantInit(&value); }
  ~PropVariant() { ::PropVariantClear(&value); }
  PropVariant(const PropVariant&) = delete;
  PropVariant& operator=(const PropVariant&) = delete;
  PROPVARIANT value;
};

std::optional<ExifDate> ReadDate(IWICMetadataQueryReader* reader, const wchar_t* name) {
  PropVariant text;
  if (FAILED(reader->GetMetadataByName(name, &text.value))) return std::nullopt;
  if (text.value.vt == VT_LPSTR && text.value.pszVal) return ParseExifDate(text.value.pszVal);
  if (text.value.vt == VT_LPWSTR && text.value.pwszVal) {
    // Dates are plain ASCII; anything else cannot be one.
    std::string narrow;
    for (const wchar_t* c = text.value.pwszVal; *c && narrow.size() < 64; ++c) {
      if (*c > 0x7F) return std::nullopt;
      narrow.push_back(char(*c));
    }
    return ParseExifDate(narrow);
  }
  return std::nullopt;
}

// The date taken from the metadata the imaging component reads for the
// file's first frame, in the order of the Exif tags, then XMP's.
std::optional<ExifDate> SystemDecodedDateTaken(const std::string& path) {
  EnsureCom();
  ComRef<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.PutVoid())))
    return std::nullopt;
  const std::wstring widePath = WidenAnsi(path);
  ComRef<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromFilename(widePath.c_str(), nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, decoder.Put()))) {
    // A picture the saver carries is read from memory.
    const auto carried = CarriedPictureBytes(path);
    if (!carried || carried->size() > 0xFFFFFFFFu) return std::nullopt;
    ComRef<IStream> stream;
    *stream.Put() = ::SHCreateMemStream(carried->data(), UINT(carried->size()));
    if (!stream.get() || FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad,
                                                                 decoder.Put())))
      return std::nullopt;
  }
  ComRef<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.Put()))) return std::nullopt;
  ComRef<IWICMetadataQueryReader> reader;
  if (FAILED(frame->GetMetadataQueryReader(reader.Put()))) return std::nullopt;
  static constexpr const wchar_t* kNames[] = {
      L"/ifd/exif/{ushort=36867}",     L"/app1/ifd/exif/{ushort=36867}",  // DateTimeOriginal
      L"/ifd/exif/{ushort=36868}",     L"/app1/ifd/exif/{ushort=36868}",  // DateTimeDigitized
      L"/ifd/{ushort=306}",            L"/app1/ifd/{ushort=306}",         // DateTime
      L"/xmp/exif:DateTimeOriginal",   L"/xmp/xmp:CreateDate",
  };
  for (const wchar_t* name : kNames)
    if (std::optional<ExifDate> date = ReadDate(reader.get(), name)) return date;
  return std::nullopt;
}

std::optional<ExifDate> FileWriteDate(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(WidenAnsi(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  SYSTEMTIME utc{}, local{};
  if (!::FileTimeToSystemTime(&data.ftLastWriteTime, &utc) ||
      !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
    return std::nullopt;
  return ExifDate{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

}  // namespace

std::optional<ExifDate> PictureDateTaken(const std::string& path) {
  if (IsJpegName(path)) return JpegDateTaken(path);
  // HEIC is read by the program itself, wherever the imaging component cannot.
  if (const std::string extension = PictureExtension(path); extension == ".heic" || extension == ".heif") {
    const auto bytes = CarriedPictureBytes(path);
    return bytes ? HeifDateTaken(*bytes) : std::nullopt;
  }
  if (!IsPictureFileName(path)) return std::nullopt;
  return SystemDecodedDateTaken(path);
}

std::optional<ExifDate> PictureDate(const std::string& path) {
  if (std::optional<ExifDate> taken = PictureDateTaken(path)) return taken;
  return FileWriteDate(path);
}

std::wstring LongDateText(const ExifDate& date) {
  SYSTEMTIME day{};
  day.wYear = WORD(date.year);
  day.wMonth = WORD(date.month);
  day.wDay = WORD(date.day);
  wchar_t text[128] = {};
  if (::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_LONGDATE, &day, nullptr, text, int(std::size(text)),
                        nullptr) > 0)
    return text;
  // A date the system cannot write (before 1601): the plain form.
  std::swprintf(text, std::size(text), L"%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

std::wstring CaptionTextFor(const std::string& path, CaptionMode mode) {
  std::wstring dateText;
  if (CaptionNeedsDate(mode))
    if (const std::optional<ExifDate> date = PictureDate(path)) dateText = LongDateText(*date);
  return CaptionText(mode, WidenAnsi(path), dateText);
}

CaptionMask RasterizeCaption(const std::wstring& text, int pixelHeight) {
  CaptionMask mask;
  if (text.empty() || pixelHeight <= 0) return mask;
  const UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  if (!dc) return mask;
  const std::wstring face = WidenUtf8("細明體");
  const UniqueFont font(::CreateFontW(-pixelHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                      DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
  if (!font) return mask;
  const SelectGuard selectFont(dc.get(), font.get());
  SIZE extent{};
  if (!::GetTextExtentPoint32W(dc.get(), text.c_str(), int(text.size()), &extent) || extent.cx <= 0 || extent.cy <= 0)
    return mask;
  // A little room for glyphs that reach past their advance.
  const int pad = std::max(1, pixelHeight / 8);
  const int width = std::min<int>(extent.cx + 2 * pad, 16384), height = extent.cy + 2 * pad;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const UniqueBitmap bitmap(::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return mask;
  const SelectGuard selectBitmap(dc.get(), bitmap.get());
  std::memset(bits, 0, std::size_t(width) * std::size_t(height) * 4);
  ::SetBkMode(dc.get(), TRANSPARENT);
  ::SetTextColor(dc.get(), RGB(255, 255, 255));
  ::TextOutW(dc.get(), pad, pad, text.c_str(), int(text.size()));
  ::GdiFlush();
  mask.width = width;
  mask.height = height;
  mask.coverage.resize(std::size_t(width) * std::size_t(height));
  const auto* pixel = static_cast<const std::uint8_t*>(bits);
  for (std::size_t i = 0; i < mask.coverage.size(); ++i, pixel += 4)
    mask.coverage[i] = std::max({pixel[0], pixel[1], pixel[2]});
  return mask;
}

std::shared_ptr<const Graphic> CaptionPictureWin32(const std::shared_ptr<const Graphic>& picture,
                                                   const std::string& path, CaptionMode mode, int sequence,
                                                   const std::vector<PictureWorker::DrawnSize>& sizes,
                                                   const std::atomic<bool>& cancel) {
  const std::wstring text = CaptionTextFor(path, mode);
  return CaptionPicture(picture, text, sequence, sizes, &RasterizeCaption, &cancel);
}

}  // namespace velmora
