#include "fade/HevcDecoder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include <libde265/de265.h>
#include <libheif/heif.h>
#include <libheif/heif_plugin.h>

#include "fade/PictureLoader.h"

namespace velmora {

struct HevcDecoder::State {
  de265_decoder_context* context = nullptr;
  const de265_image* picture = nullptr;
  std::uint64_t maxPixels = 0;
  bool refusedForSize = false;
  de265_image_allocation allocation{};

  // Sizes the planes of a picture, refusing one over the limit before
  // anything of it is allocated; the rest is libde265's own allocation.
  static int GetBuffer(de265_decoder_context* context, de265_image_spec* spec, de265_image* image, void* user) {
    auto* self = static_cast<State*>(user);
    if (spec->width <= 0 || spec->height <= 0 ||
        std::uint64_t(spec->width) * std::uint64_t(spec->height) > self->maxPixels) {
      self->refusedForSize = true;
      return 0;
    }
    return de265_get_default_image_allocation_functions()->get_buffer(context, spec, image, nullptr);
  }
  static void ReleaseBuffer(de265_decoder_context* context, de265_image* image, void*) {
    de265_get_default_image_allocation_functions()->release_buffer(context, image, nullptr);
  }
};

HevcDecoder::HevcDecoder(std::uint64_t maxPixels) : state_(std::make_unique<State>()) {
  state_->maxPixels = maxPixels;
  state_->context = de265_new_decoder();
  if (!state_->context) return;
  state_->allocation.get_buffer = &State::GetBuffer;
  state_->allocation.release_buffer = &State::ReleaseBuffer;
  de265_set_image_allocation_functions(state_->context, &state_->allocation, state_.get());
}

HevcDecoder::~HevcDecoder() {
  if (state_->context) de265_free_decoder(state_->context);
}

bool HevcDecoder::Ready() const { return state_->context != nullptr; }

bool HevcDecoder::RefusedForSize() const { return state_->refusedForSize; }

void HevcDecoder::PushNal(const std::uint8_t* data, std::size_t size) {
  if (state_->context && size > 0 && size <= std::size_t(INT32_MAX)) de265_push_NAL(state_->context, data, int(size), 0, nullptr);
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
  if (!state_->context) return std::nullopt;
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
