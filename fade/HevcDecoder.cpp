#include "fade/HevcDecoder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include <libde265/de265.h>
#include <libheif/heif.h>
#include <libheif/heif_plugin.h>

#include "fade/PictureLoader.h"

namespace velmora {

namespace {

// The bits of a NAL unit's payload, emulation prevention bytes taken out;
// reads past the end give zeros and mark the reader failed.
class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size) {
    // Enough of the payload for the fields read here.
    for (std::size_t i = 0; i < size && bytes_.size() < 256; ++i) {
      if (i >= 2 && data[i] == 3 && data[i - 1] == 0 && data[i - 2] == 0) continue;
      bytes_.push_back(data[i]);
    }
  }
  std::uint32_t Bits(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
      if (at_ >= bytes_.size() * 8) {
        ok_ = false;
        return 0;
      }
      value = value << 1 | ((bytes_[at_ / 8] >> (7 - at_ % 8)) & 1u);
      ++at_;
    }
    return value;
  }
  // An unsigned Exp-Golomb number.
  std::uint64_t Golomb() {
    int zeros = 0;
    while (ok_ && Bits(1) == 0) {
      if (++zeros > 31) ok_ = false;
    }
    return ok_ ? (std::uint64_t(1) << zeros) - 1 + Bits(zeros) : 0;
  }
  bool Ok() const { return ok_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

constexpr int kSequenceParameterSet = 33;

// The picture size a sequence parameter set gives (its payload after the
// two-byte NAL header), read as the decoder reads it; 0 when it cannot be
// read.
std::uint64_t CodedPixels(const std::uint8_t* payload, std::size_t size) {
  BitReader in(payload, size);
  in.Bits(4);  // video parameter set
  const int subLayers = int(in.Bits(3));
  in.Bits(1);
  in.Bits(32), in.Bits(32), in.Bits(32);  // the general profile, tier and level
  bool profilePresent[8] = {}, levelPresent[8] = {};
  for (int i = 0; i < subLayers; ++i) profilePresent[i] = in.Bits(1), levelPresent[i] = in.Bits(1);
  if (subLayers > 0)
    for (int i = subLayers; i < 8; ++i) in.Bits(2);
  for (int i = 0; i < subLayers; ++i) {
    if (profilePresent[i]) in.Bits(32), in.Bits(32), in.Bits(24);
    if (levelPresent[i]) in.Bits(8);
  }
  in.Golomb();  // the set's number
  if (in.Golomb() == 3) in.Bits(1);  // 4:4:4, and whether its planes are coded apart
  const std::uint64_t width = in.Golomb();
  const std::uint64_t height = in.Golomb();
  return in.Ok() ? width * height : 0;
}

}  // namespace

struct HevcDecoder::State {
  de265_decoder_context* context = nullptr;
  const de265_image* picture = nullptr;
  std::uint64_t maxPixels = 0;
  bool refusedForSize = false;
};

HevcDecoder::HevcDecoder(std::uint64_t maxPixels) : state_(std::make_unique<State>()) {
  state_->maxPixels = maxPixels;
  state_->context = de265_new_decoder();
}

HevcDecoder::~HevcDecoder() {
  if (state_->context) de265_free_decoder(state_->context);
}

bool HevcDecoder::Ready() const { return state_->context != nullptr; }

bool HevcDecoder::RefusedForSize() const { return state_->refusedForSize; }

void HevcDecoder::PushNal(const std::uint8_t* data, std::size_t size) {
  if (!state_->context || state_->refusedForSize || size < 2 || size > std::size_t(INT32_MAX)) return;
  // A sequence parameter set sizes every picture after it: one that cannot
  // be read, or over the limit, is refused before the decoder sees it.
  if (((data[0] >> 1) & 0x3F) == kSequenceParameterSet) {
    const std::uint64_t pixels = CodedPixels(data + 2, size - 2);
    if (pixels == 0 || pixels > state_->maxPixels) {
      state_->refusedForSize = true;
      return;
    }
  }
  de265_push_NAL(state_->context, data, int(size), 0, nullptr);
}

bool HevcDecoder::PushSizedNals(const std::uint8_t* data, std::size_t size, int lengthSize) {
  if (lengthSize < 1 || lengthSize > 4) return false;
  std::size_t at = 0;
  while (at < size) {
    if (size - at < std::size_t(lengthSize)) return false;
    std::size_t length = 0;
    for (int i = 0; i < lengthSize; ++i) length = length << 8 | data[at++];
    if (length > size - at) return false;
    PushNal(data + at, length);
    at += length;
  }
  return true;
}

std::optional<HevcPlanes> HevcDecoder::Decode() {
  if (!state_->context || state_->refusedForSize) return std::nullopt;
  if (!state_->picture) {
    de265_flush_data(state_->context);
    int more = 1;
    while (more && !state_->picture) {
      more = 0;
      if (de265_decode(state_->context, &more) != DE265_OK) break;
      state_->picture = de265_get_next_picture(state_->context);
    }
    if (!state_->picture) return std::nullopt;
  }
  const de265_image* picture = state_->picture;
  HevcPlanes planes;
  switch (de265_get_chroma_format(picture)) {
    case de265_chroma_mono: planes.chroma = HevcPlanes::Chroma::Grey; break;
    case de265_chroma_420: planes.chroma = HevcPlanes::Chroma::Yuv420; break;
    case de265_chroma_422: planes.chroma = HevcPlanes::Chroma::Yuv422; break;
    case de265_chroma_444: planes.chroma = HevcPlanes::Chroma::Yuv444; break;
    default: return std::nullopt;
  }
  const int count = planes.chroma == HevcPlanes::Chroma::Grey ? 1 : 3;
  planes.bitsPerSample = de265_get_bits_per_pixel(picture, 0);
  for (int c = 0; c < count; ++c) {
    if (de265_get_bits_per_pixel(picture, c) != planes.bitsPerSample) return std::nullopt;
    planes.data[c] = de265_get_image_plane(picture, c, &planes.stride[c]);
    planes.planeWidth[c] = de265_get_image_width(picture, c);
    planes.planeHeight[c] = de265_get_image_height(picture, c);
    if (!planes.data[c] || planes.planeWidth[c] <= 0 || planes.planeHeight[c] <= 0) return std::nullopt;
  }
  planes.width = planes.planeWidth[0];
  planes.height = planes.planeHeight[0];
  planes.matrixCoefficients = de265_get_image_matrix_coefficients(picture);
  planes.fullRange = de265_get_image_full_range_flag(picture) != 0;
  return planes;
}

// ---------------------------------------------------------------------------
// The decoder libheif calls.

namespace {

std::atomic<std::uint64_t> libheifPictureLimit{kMaxPicturePixels};

constexpr heif_error kOk = {heif_error_Ok, heif_suberror_Unspecified, "Success"};

struct PluginDecoder {
  HevcDecoder decoder{libheifPictureLimit.load()};
};

const char* PluginName() { return "Velmora HEVC decoder (libde265)"; }

int PluginPriority(heif_compression_format format) { return format == heif_compression_HEVC ? 120 : 0; }

heif_error PluginNew(void** decoder) {
  auto* made = new (std::nothrow) PluginDecoder;
  if (!made || !made->decoder.Ready()) {
    delete made;
    return {heif_error_Memory_allocation_error, heif_suberror_Unspecified, "The HEVC decoder could not be set up"};
  }
  *decoder = made;
  return kOk;
}

void PluginFree(void* decoder) { delete static_cast<PluginDecoder*>(decoder); }

heif_error PluginPush(void* decoder, const void* data, std::size_t size) {
  if (!static_cast<PluginDecoder*>(decoder)->decoder.PushSizedNals(static_cast<const std::uint8_t*>(data), size, 4))
    return {heif_error_Decoder_plugin_error, heif_suberror_End_of_data, "A NAL unit runs past the image data"};
  return kOk;
}

// The decoded planes copied into an image of libheif's, with the colour
// description the stream gives (libheif puts the file's own in its place
// where there is one).
heif_error PluginDecode(void* decoder, heif_image** out) {
  *out = nullptr;
  HevcDecoder& hevc = static_cast<PluginDecoder*>(decoder)->decoder;
  const std::optional<HevcPlanes> planes = hevc.Decode();
  if (!planes) {
    if (hevc.RefusedForSize())
      return {heif_error_Memory_allocation_error, heif_suberror_Security_limit_exceeded, "The HEVC picture is too large"};
    return {heif_error_Decoder_plugin_error, heif_suberror_Unspecified, "The HEVC data holds no picture"};
  }
  const bool grey = planes->chroma == HevcPlanes::Chroma::Grey;
  const heif_chroma chroma = grey ? heif_chroma_monochrome
                             : planes->chroma == HevcPlanes::Chroma::Yuv420 ? heif_chroma_420
                             : planes->chroma == HevcPlanes::Chroma::Yuv422 ? heif_chroma_422
                                                                            : heif_chroma_444;
  heif_image* image = nullptr;
  heif_error error = heif_image_create(planes->width, planes->height,
                                       grey ? heif_colorspace_monochrome : heif_colorspace_YCbCr, chroma, &image);
  if (error.code != heif_error_Ok) return error;
  const heif_channel channels[3] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
  const int bytes = (planes->bitsPerSample + 7) / 8;
  for (int c = 0; c < (grey ? 1 : 3); ++c) {
    error = heif_image_add_plane(image, channels[c], planes->planeWidth[c], planes->planeHeight[c], planes->bitsPerSample);
    if (error.code != heif_error_Ok) {
      heif_image_release(image);
      return error;
    }
    int stride = 0;
    std::uint8_t* target = heif_image_get_plane(image, channels[c], &stride);
    for (int y = 0; y < planes->planeHeight[c]; ++y)
      std::memcpy(target + std::size_t(y) * std::size_t(stride),
                  planes->data[c] + std::size_t(y) * std::size_t(planes->stride[c]),
                  std::size_t(planes->planeWidth[c]) * std::size_t(bytes));
  }
  if (heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc()) {
    nclx->matrix_coefficients = heif_matrix_coefficients(planes->matrixCoefficients);
    nclx->full_range_flag = planes->fullRange ? 1 : 0;
    heif_image_set_nclx_color_profile(image, nclx);
    heif_nclx_color_profile_free(nclx);
  }
  *out = image;
  return kOk;
}

void PluginStrict(void*, int) {}

const heif_decoder_plugin kPlugin = {
    3,           PluginName,   nullptr,      nullptr, PluginPriority, PluginNew, PluginFree, PluginPush,
    PluginDecode, PluginStrict, "velmora-de265",
};

}  // namespace

void UseHevcDecoderForLibheif() {
  static std::once_flag once;
  std::call_once(once, [] { heif_register_decoder_plugin(&kPlugin); });
}

void SetLibheifPictureLimit(std::uint64_t maxPixels) { libheifPictureLimit.store(maxPixels); }

}  // namespace velmora
