#include "support/HeifSupport.h"

#include <libheif/heif.h>

#include <memory>

#include "support/ExifSupport.h"

namespace velmora::testing {
namespace {

struct ContextFree {
  void operator()(heif_context* p) const { heif_context_free(p); }
};
struct EncoderRelease {
  void operator()(heif_encoder* p) const { heif_encoder_release(p); }
};
struct ImageRelease {
  void operator()(heif_image* p) const { heif_image_release(p); }
};
struct HandleRelease {
  void operator()(heif_image_handle* p) const { heif_image_handle_release(p); }
};
struct OptionsFree {
  void operator()(heif_encoding_options* p) const { heif_encoding_options_free(p); }
};

std::unique_ptr<heif_image, ImageRelease> ToHeifImage(const Image24& image) {
  heif_image* raw = nullptr;
  if (heif_image_create(image.Width(), image.Height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &raw).code !=
      heif_error_Ok)
    return nullptr;
  std::unique_ptr<heif_image, ImageRelease> out(raw);
  heif_image_add_plane(raw, heif_channel_interleaved, image.Width(), image.Height(), 8);
  int stride = 0;
  std::uint8_t* plane = heif_image_get_plane(raw, heif_channel_interleaved, &stride);
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) {
      const std::uint8_t* s = image.Row(y) + x * 3;
      std::uint8_t* d = plane + std::size_t(y) * std::size_t(stride) + std::size_t(x) * 3;
      d[0] = s[2], d[1] = s[1], d[2] = s[0];
    }
  return out;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> EncodeHeif(const std::vector<HeifPicture>& pictures, std::size_t primary,
                                                    int quality, bool fast) {
  std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
  heif_encoder* rawEncoder = nullptr;
  if (heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder).code != heif_error_Ok)
    return std::nullopt;
  std::unique_ptr<heif_encoder, EncoderRelease> encoder(rawEncoder);
  heif_encoder_set_lossy_quality(encoder.get(), quality);
  if (fast) heif_encoder_set_parameter_string(encoder.get(), "preset", "ultrafast");
  std::unique_ptr<heif_encoding_options, OptionsFree> options(heif_encoding_options_alloc());
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const auto image = ToHeifImage(*pictures[i].image);
    if (!image) return std::nullopt;
    options->image_orientation = heif_orientation(pictures[i].transform);
    heif_image_handle* rawHandle = nullptr;
    if (heif_context_encode_image(context.get(), image.get(), encoder.get(), options.get(), &rawHandle).code !=
        heif_error_Ok)
      return std::nullopt;
    std::unique_ptr<heif_image_handle, HandleRelease> handle(rawHandle);
    if (pictures[i].exifOrientation != 0) {
      TiffBytes tiff(true);
      const char* date = pictures[i].exifDateTime;
      tiff.U16(date ? 2 : 1);
      tiff.Entry(0x0112, 3, 1, std::uint32_t(pictures[i].exifOrientation));
      if (date) tiff.Entry(0x0132, 2, 20, 8 + 2 + 2 * 12 + 4);  // the text right after the IFD
      tiff.U32(0);
      if (date) tiff.bytes.insert(tiff.bytes.end(), date, date + 20);  // with its NUL
      const std::vector<std::uint8_t> exif = ExifPayload(tiff);
      heif_context_add_exif_metadata(context.get(), handle.get(), exif.data(), int(exif.size()));
    }
    if (i == primary) heif_context_set_primary_image(context.get(), handle.get());
  }
  std::vector<std::uint8_t> bytes;
  heif_writer writer{};
  writer.writer_api_version = 1;
  writer.write = [](heif_context*, const void* data, size_t size, void* userdata) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(userdata);
    out->insert(out->end(), static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
  };
  if (heif_context_write(context.get(), &writer, &bytes).code != heif_error_Ok) return std::nullopt;
  return bytes;
}

}  // namespace velmora::testing

// x265 keeps a few blocks for the life of the process: not a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libx265\n"; }
