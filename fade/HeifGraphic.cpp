#include "fade/HeifGraphic.h"

#include <algorithm>
#include <cstring>

#include <libheif/heif.h>

#include "fade/Exif.h"
#include "fade/HevcDecoder.h"
#include "fade/Resample.h"

namespace velmora {
namespace {

struct ContextFree {
  void operator()(heif_context* p) const { heif_context_free(p); }
};
struct HandleRelease {
  void operator()(const heif_image_handle* p) const { heif_image_handle_release(p); }
};
struct ImageRelease {
  void operator()(const heif_image* p) const { heif_image_release(p); }
};
struct OptionsFree {
  void operator()(heif_decoding_options* p) const { heif_decoding_options_free(p); }
};
struct NclxFree {
  void operator()(heif_color_profile_nclx* p) const { heif_nclx_color_profile_free(p); }
};
using ContextPtr = std::unique_ptr<heif_context, ContextFree>;
using HandlePtr = std::unique_ptr<const heif_image_handle, HandleRelease>;
using ImagePtr = std::unique_ptr<const heif_image, ImageRelease>;

bool IsSet(const std::atomic<bool>* flag) { return flag != nullptr && flag->load(std::memory_order_relaxed); }

// The way YCbCr samples become RGB: 16-bit fixed-point factors.
struct YcbcrMatrix {
  bool fullRange = true;
  bool gbr = false;  // the planes hold G, B, R as they are
  int crToR = 0, cbToG = 0, crToG = 0, cbToB = 0;
};

// The matrix for a colour description (ISO/IEC 23091-2 numbering); BT.601
// for one it does not name.
YcbcrMatrix MatrixFor(int coefficients, bool fullRange) {
  YcbcrMatrix m;
  double kr = 0.299, kb = 0.114;
  m.fullRange = fullRange;
  switch (coefficients) {
    case heif_matrix_coefficients_RGB_GBR: m.gbr = true; break;
    case heif_matrix_coefficients_ITU_R_BT_709_5: kr = 0.2126, kb = 0.0722; break;
    case heif_matrix_coefficients_ITU_R_BT_2020_2_non_constant_luminance:
    case heif_matrix_coefficients_ITU_R_BT_2020_2_constant_luminance: kr = 0.2627, kb = 0.0593; break;
    case heif_matrix_coefficients_SMPTE_240M: kr = 0.212, kb = 0.087; break;
    default: break;
  }
  const double kg = 1.0 - kr - kb;
  const double chromaScale = m.fullRange ? 1.0 : 255.0 / 224.0;
  auto fixed = [&](double v) { return int(v * chromaScale * 65536.0 + (v < 0 ? -0.5 : 0.5)); };
  m.crToR = fixed(2.0 * (1.0 - kr));
  m.cbToB = fixed(2.0 * (1.0 - kb));
  m.cbToG = fixed(-2.0 * kb * (1.0 - kb) / kg);
  m.crToG = fixed(-2.0 * kr * (1.0 - kr) / kg);
  return m;
}

// An image's own colour description; full-range BT.601 when it has none.
YcbcrMatrix MatrixOf(const heif_image* image) {
  heif_color_profile_nclx* raw = nullptr;
  if (heif_image_get_nclx_color_profile(image, &raw).code != heif_error_Ok || !raw)
    return MatrixFor(heif_matrix_coefficients_ITU_R_BT_601_6, true);
  const std::unique_ptr<heif_color_profile_nclx, NclxFree> nclx(raw);
  return MatrixFor(nclx->matrix_coefficients, nclx->full_range_flag != 0);
}

std::uint8_t Clamp8(int v) { return std::uint8_t(std::clamp(v, 0, 255)); }

// Planes of an 8-bit decoded image and how one row of them becomes BGRX.
class PlaneRows {
 public:
  // False when the image is not 8-bit YCbCr (4:2:0, 4:2:2, 4:4:4),
  // monochrome, or RGB planar or interleaved.
  bool Open(const heif_image* image) {
    const heif_colorspace space = heif_image_get_colorspace(image);
    const heif_chroma chroma = heif_image_get_chroma_format(image);
    if (space == heif_colorspace_RGB && chroma == heif_chroma_interleaved_RGB) {
      rgb_ = Get(image, heif_channel_interleaved, 8);
      if (!rgb_.data) return false;
      width_ = rgb_.width, height_ = rgb_.height;
    } else if (space == heif_colorspace_RGB && chroma == heif_chroma_444) {
      // Planar: the decoder's own output for every colour picture.
      r_ = Get(image, heif_channel_R, 8);
      g_ = Get(image, heif_channel_G, 8);
      b_ = Get(image, heif_channel_B, 8);
      if (!r_.data || !g_.data || !b_.data) return false;
      width_ = std::min({r_.width, g_.width, b_.width});
      height_ = std::min({r_.height, g_.height, b_.height});
    } else if (space == heif_colorspace_YCbCr || space == heif_colorspace_monochrome) {
      y_ = Get(image, heif_channel_Y, 8);
      if (!y_.data) return false;
      width_ = y_.width, height_ = y_.height;
      if (space == heif_colorspace_YCbCr) {
        if (chroma == heif_chroma_420) shiftX_ = 1, shiftY_ = 1;
        else if (chroma == heif_chroma_422) shiftX_ = 1;
        else if (chroma != heif_chroma_444) return false;
        cb_ = Get(image, heif_channel_Cb, 8);
        cr_ = Get(image, heif_channel_Cr, 8);
        if (!cb_.data || !cr_.data) return false;
        matrix_ = MatrixOf(image);
      } else {
        matrix_.fullRange = true;
      }
    } else {
      return false;
    }
    if (heif_image_has_channel(image, heif_channel_Alpha)) alpha_ = Get(image, heif_channel_Alpha, 8);
    return width_ > 0 && height_ > 0;
  }

  // The same for a picture as the HEVC decoder holds it.
  bool Open(const HevcPlanes& picture, const YcbcrMatrix& matrix) {
    if (picture.bitsPerSample != 8) return false;
    auto plane = [&](int c) { return Plane{picture.data[c], picture.stride[c], picture.planeWidth[c], picture.planeHeight[c]}; };
    y_ = plane(0);
    width_ = picture.width, height_ = picture.height;
    matrix_.fullRange = true;
    if (picture.chroma == HevcPlanes::Chroma::Grey) return width_ > 0 && height_ > 0;
    cb_ = plane(1), cr_ = plane(2);
    shiftX_ = picture.chroma == HevcPlanes::Chroma::Yuv444 ? 0 : 1;
    shiftY_ = picture.chroma == HevcPlanes::Chroma::Yuv420 ? 1 : 0;
    matrix_ = matrix;
    return width_ > 0 && height_ > 0;
  }

  int Width() const { return width_; }
  int Height() const { return height_; }

  // Row y as blue, green, red, unused; transparency over black.
  void Convert(int y, std::uint8_t* row) const {
    std::uint8_t* out = row;
    if (rgb_.data) {
      const std::uint8_t* s = rgb_.Row(y);
      for (int x = 0; x < width_; ++x, s += 3, out += 4) out[0] = s[2], out[1] = s[1], out[2] = s[0];
    } else if (r_.data) {
      const std::uint8_t *r = r_.Row(y), *g = g_.Row(y), *b = b_.Row(y);
      for (int x = 0; x < width_; ++x, out += 4) out[0] = b[x], out[1] = g[x], out[2] = r[x];
    } else if (!cb_.data) {
      const std::uint8_t* s = y_.Row(y);
      for (int x = 0; x < width_; ++x, out += 4) out[0] = out[1] = out[2] = Luma(s[x]);
    } else {
      ConvertYcbcr(y, out);
    }
    if (alpha_.data && alpha_.width >= width_ && y < alpha_.height) {
      const std::uint8_t* a = alpha_.Row(y);
      for (int x = 0; x < width_; ++x) {
        std::uint8_t* p = row + std::size_t(x) * 4;
        for (int c = 0; c < 3; ++c) p[c] = std::uint8_t((unsigned(p[c]) * a[x] + 127) / 255);
      }
    }
  }

 private:
  struct Plane {
    const std::uint8_t* data = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;
    const std::uint8_t* Row(int y) const { return data + std::size_t(y) * std::size_t(stride); }
  };
  static Plane Get(const heif_image* image, heif_channel channel, int bits) {
    Plane p;
    if (heif_image_get_bits_per_pixel_range(image, channel) != bits) return p;
    int stride = 0;
    const std::uint8_t* data = heif_image_get_plane_readonly(image, channel, &stride);
    const int w = heif_image_get_width(image, channel);
    const int h = heif_image_get_height(image, channel);
    if (!data || w <= 0 || h <= 0 || stride < w) return p;
    p.data = data, p.stride = stride, p.width = w, p.height = h;
    return p;
  }

  int Luma(int v) const { return matrix_.fullRange ? v : Clamp8(((v - 16) * 255 + 109) / 219); }

  void ConvertYcbcr(int y, std::uint8_t* out) const {
    const std::uint8_t* ys = y_.Row(y);
    const int cy = y >> shiftY_;
    const std::uint8_t* cbs = cb_.Row(std::min(cy, cb_.height - 1));
    const std::uint8_t* crs = cr_.Row(std::min(cy, cr_.height - 1));
    const int lastC = std::min(cb_.width, cr_.width) - 1;
    for (int x = 0; x < width_; ++x, out += 4) {
      const int cx = std::min(x >> shiftX_, lastC);
      if (matrix_.gbr) {
        out[0] = cbs[cx], out[1] = ys[x], out[2] = crs[cx];
        continue;
      }
      const int l = Luma(ys[x]) << 16;
      const int cb = cbs[cx] - 128, cr = crs[cx] - 128;
      out[0] = Clamp8((l + matrix_.cbToB * cb + 32768) >> 16);
      out[1] = Clamp8((l + matrix_.cbToG * cb + matrix_.crToG * cr + 32768) >> 16);
      out[2] = Clamp8((l + matrix_.crToR * cr + 32768) >> 16);
    }
  }

  Plane y_, cb_, cr_, rgb_, r_, g_, b_, alpha_;
  int width_ = 0, height_ = 0;
  int shiftX_ = 0, shiftY_ = 0;
  YcbcrMatrix matrix_;
};

// Turns the planes into rows straight into rect of target, scaled; false
// when cancelled.
bool ScaleRows(const PlaneRows& planes, Image24& target, const Rect& rect, const std::atomic<bool>* cancel) {
  RowResampler resampler(planes.Width(), planes.Height(), target, rect, 4);
  std::vector<std::uint8_t> row(std::size_t(planes.Width()) * 4);
  for (int y = 0; y < planes.Height() && resampler.NeedsRows(); ++y) {
    if ((y & 15) == 0 && IsSet(cancel)) return false;
    planes.Convert(y, row.data());
    resampler.PushRow(row.data());
  }
  return true;
}

// The parsed file and its primary image.
struct OpenedHeif {
  ContextPtr context;
  HandlePtr handle;
};

// The side limit libheif checks every image against before it allocates:
// its own default, lower only when the pixel limit is lower still.
int SideLimit(std::uint64_t maxPixels) { return int(std::clamp<std::uint64_t>(maxPixels, 1, 32768)); }

OpenedHeif Open(const std::vector<std::uint8_t>& bytes, const std::string& name, std::uint64_t maxPixels) {
  UseHevcDecoderForLibheif();
  OpenedHeif opened;
  opened.context.reset(heif_context_alloc());
  if (!opened.context) throw EPictureError(name + ": not enough memory to read the HEIF picture");
  heif_context_set_maximum_image_size_limit(opened.context.get(), SideLimit(maxPixels));
  heif_error error = heif_context_read_from_memory_without_copy(opened.context.get(), bytes.data(), bytes.size(), nullptr);
  if (error.code != heif_error_Ok)
    throw EPictureError(name + ": not a readable HEIF picture (" + (error.message ? error.message : "") + ")");
  heif_image_handle* handle = nullptr;
  error = heif_context_get_primary_image_handle(opened.context.get(), &handle);
  opened.handle.reset(handle);
  if (error.code != heif_error_Ok || !handle)
    throw EPictureError(name + ": the HEIF file has no primary image");
  return opened;
}

// The Exif block of an image, read as a JPEG APP1 segment would be.
ExifInfo ReadHeifExif(const heif_image_handle* handle) {
  heif_item_id id = 0;
  if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1) return {};
  const std::size_t size = heif_image_handle_get_metadata_size(handle, id);
  if (size < 4 + 8 || size > (std::size_t(1) << 24)) return {};
  std::vector<std::uint8_t> block(size);
  if (heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok) return {};
  // Four bytes give where the TIFF header starts, counted after them.
  const std::size_t tiff = 4 + (std::size_t(block[0]) << 24 | std::size_t(block[1]) << 16 | std::size_t(block[2]) << 8 | block[3]);
  if (tiff >= size) return {};
  const std::size_t tiffSize = std::min<std::size_t>(size - tiff, 65535 - 8);
  std::vector<std::uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE1, std::uint8_t((tiffSize + 8) >> 8),
                                    std::uint8_t((tiffSize + 8) & 0xFF), 'E', 'x', 'i', 'f', 0, 0};
  jpeg.insert(jpeg.end(), block.begin() + std::ptrdiff_t(tiff), block.begin() + std::ptrdiff_t(tiff + tiffSize));
  jpeg.push_back(0xFF);
  jpeg.push_back(0xD9);
  return ReadExif(jpeg);
}

}  // namespace


std::optional<ExifDate> HeifDateTaken(const std::vector<std::uint8_t>& bytes) {
  try {
    const OpenedHeif opened = Open(bytes, "", kMaxPicturePixels);
    return ReadHeifExif(opened.handle.get()).dateTaken;
  } catch (const EPictureError&) {
    return std::nullopt;
  }
}

std::shared_ptr<const HeifGraphic> HeifGraphic::FromBytes(std::vector<std::uint8_t> bytes, const std::string& name,
                                                          std::uint64_t maxPixels) {
  return std::make_shared<const HeifGraphic>(std::move(bytes), name, maxPixels);
}

std::shared_ptr<const HeifGraphic> HeifGraphic::FromFile(const std::string& path) {
  return FromBytes(ReadPictureFile(path), path);
}

HeifGraphic::HeifGraphic(std::vector<std::uint8_t> bytes, const std::string& name, std::uint64_t maxPixels)
    : ScaledRaster(NaturalSize::KeepPrepared), bytes_(std::move(bytes)), name_(name), maxPixels_(maxPixels) {
  const OpenedHeif opened = Open(bytes_, name_, maxPixels_);
  decodedWidth_ = heif_image_handle_get_width(opened.handle.get());
  decodedHeight_ = heif_image_handle_get_height(opened.handle.get());
  if (decodedWidth_ <= 0 || decodedHeight_ <= 0) throw EPictureError(name_ + ": the HEIF picture has no pixels");
  if (std::uint64_t(decodedWidth_) * std::uint64_t(decodedHeight_) > maxPixels_)
    throw EPictureError(name_ + ": the HEIF picture is too large (" + std::to_string(decodedWidth_) + " x " +
                        std::to_string(decodedHeight_) + " pixels)");
  // A grid or overlay is put together on a canvas its own data sizes.
  const std::optional<std::uint64_t> canvas = LargestHeifCanvas(bytes_.data(), bytes_.size());
  if (!canvas) throw EPictureError(name_ + ": the HEIF picture's tiles cannot be located");
  if (*canvas > maxPixels_)
    throw EPictureError(name_ + ": the HEIF picture is too large (" + std::to_string(*canvas) + " pixels put together)");
  const heif_image_handle* handle = opened.handle.get();
  if (!HasHeifTransformProperty(bytes_.data(), bytes_.size())) exifOrientation_ = ReadHeifExif(handle).orientation;
  drawOrientation_ = exifOrientation_;

  // The usual photo, one coded 8-bit picture without transparency, is
  // decoded here straight from the file; libheif puts together the rest.
  if (heif_image_handle_get_luma_bits_per_pixel(handle) == 8 && heif_image_handle_get_chroma_bits_per_pixel(handle) == 8 &&
      !heif_image_handle_has_alpha_channel(handle)) {
    coded_ = FindHeifCodedPrimary(bytes_.data(), bytes_.size());
    if (coded_ && coded_->transformed) drawOrientation_ = coded_->orientation;
    heif_color_profile_nclx* raw = nullptr;
    if (coded_ && heif_image_handle_get_nclx_color_profile(handle, &raw).code == heif_error_Ok && raw) {
      const std::unique_ptr<heif_color_profile_nclx, NclxFree> nclx(raw);
      colourMatrix_ = int(nclx->matrix_coefficients);
      colourFullRange_ = nclx->full_range_flag != 0;
    }
  }
  const PictureSize upright = OrientedSize(exifOrientation_, decodedWidth_, decodedHeight_);
  SetSize(upright.width, upright.height);
}

bool HeifGraphic::DecodeInto(Image24& target, const Rect& rect, const std::atomic<bool>* cancel) const {
  if (IsSet(cancel)) return false;
  if (coded_) return DecodeCodedInto(target, rect, cancel);
  const OpenedHeif opened = Open(bytes_, name_, maxPixels_);
  const heif_image_handle* handle = opened.handle.get();
  const std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
  if (!options) throw EPictureError(name_ + ": not enough memory to decode the HEIF picture");
  options->convert_hdr_to_8bit = 1;
  // libheif turns colour into planar RGB as it decodes (grey stays grey);
  // taken as it comes, an 8-bit picture needs no second conversion and is
  // turned into BGR here a row at a time. Deeper ones come as 8-bit
  // interleaved RGB.
  const bool eightBit = heif_image_handle_get_luma_bits_per_pixel(handle) == 8 &&
                        heif_image_handle_get_chroma_bits_per_pixel(handle) == 8;
  const heif_colorspace space = eightBit ? heif_colorspace_undefined : heif_colorspace_RGB;
  const heif_chroma chroma = eightBit ? heif_chroma_undefined : heif_chroma_interleaved_RGB;
  if (IsSet(cancel)) return false;
  heif_image* raw = nullptr;
  heif_error error = heif_decode_image(handle, &raw, space, chroma, options.get());
  ImagePtr image(raw);
  PlaneRows planes;
  if (error.code == heif_error_Ok && image && !planes.Open(image.get()) && chroma != heif_chroma_interleaved_RGB) {
    // An unusual layout (e.g. a colour space without its own conversion here).
    image.reset();
    raw = nullptr;
    error = heif_decode_image(handle, &raw, heif_colorspace_RGB, heif_chroma_interleaved_RGB, options.get());
    image.reset(raw);
    if (error.code == heif_error_Ok && image) planes.Open(image.get());
  }
  if (error.code != heif_error_Ok || !image)
    throw EPictureError(name_ + ": the HEIF picture cannot be decoded (" + (error.message ? error.message : "") + ")");
  if (planes.Width() <= 0) throw EPictureError(name_ + ": the HEIF picture's format is not supported");
  if (IsSet(cancel)) return false;
  return ScaleRows(planes, target, rect, cancel);
}

bool HeifGraphic::DecodeCodedInto(Image24& target, const Rect& rect, const std::atomic<bool>* cancel) const {
  const HeifCodedPrimary& coded = *coded_;
  // A picture coded larger than its size property says (beyond rounding up
  // to whole coding blocks) is refused before its planes are allocated.
  const std::uint64_t limit = std::min<std::uint64_t>(
      maxPixels_, (std::uint64_t(coded.width) + 64) * (std::uint64_t(coded.height) + 64));
  HevcDecoder decoder(limit);
  if (!decoder.Ready()) throw EPictureError(name_ + ": not enough memory to decode the HEIF picture");
  for (const auto& [offset, length] : coded.setupNals) decoder.PushNal(bytes_.data() + offset, length);
  std::vector<std::uint8_t> joined;  // only for data stored in pieces
  const std::uint8_t* data = bytes_.data() + coded.extents.front().first;
  std::size_t size = coded.extents.front().second;
  if (coded.extents.size() > 1) {
    for (const auto& [offset, length] : coded.extents)
      joined.insert(joined.end(), bytes_.begin() + std::ptrdiff_t(offset), bytes_.begin() + std::ptrdiff_t(offset + length));
    data = joined.data(), size = joined.size();
  }
  if (!decoder.PushSizedNals(data, size, coded.nalLengthSize))
    throw EPictureError(name_ + ": the HEIF picture's coded data is cut short");
  if (IsSet(cancel)) return false;
  const std::optional<HevcPlanes> picture = decoder.Decode();
  if (!picture)
    throw EPictureError(name_ + (decoder.RefusedForSize() ? ": the HEIF picture is coded larger than it says"
                                                          : ": the HEIF picture cannot be decoded"));
  // The file's colour description, or else the coded picture's own.
  const YcbcrMatrix matrix = colourMatrix_ >= 0 ? MatrixFor(colourMatrix_, colourFullRange_)
                                                : MatrixFor(picture->matrixCoefficients, picture->fullRange);
  PlaneRows planes;
  if (!planes.Open(*picture, matrix)) throw EPictureError(name_ + ": the HEIF picture's format is not supported");
  if (IsSet(cancel)) return false;
  return ScaleRows(planes, target, rect, cancel);
}

std::shared_ptr<MemoryImage24> HeifGraphic::RenderUpright(int width, int height, const std::atomic<bool>* cancel) const {
  // Decoded and scaled as the decoder gives it, at the drawn size turned
  // back, then put upright.
  const PictureSize stored = OrientedSize(drawOrientation_, width, height);
  auto image = std::make_shared<MemoryImage24>(stored.width, stored.height);
  if (!DecodeInto(*image, Rect{0, 0, stored.width, stored.height}, cancel)) return nullptr;
  MakeUpright(*image, drawOrientation_);
  return image;
}

std::shared_ptr<MemoryImage24> HeifGraphic::Render(int width, int height, const std::atomic<bool>* cancel) const {
  return RenderUpright(width, height, cancel);
}

void HeifGraphic::RenderInto(Image24& target, const Rect& rect) const {
  if (drawOrientation_ != kOrientationNormal) {
    target.Draw(*RenderUpright(rect.Width(), rect.Height(), nullptr), rect.left, rect.top);
    return;
  }
  // Only the visible part is computed, straight into the target.
  DecodeInto(target, rect, nullptr);
}

}  // namespace velmora
