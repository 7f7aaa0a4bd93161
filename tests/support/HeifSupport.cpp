#include "support/HeifSupport.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "fade/HeifBoxes.h"
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


namespace {

// ISO media boxes written big-endian.
struct BoxBytes {
  std::vector<std::uint8_t> bytes;
  void U8(std::uint32_t v) { bytes.push_back(std::uint8_t(v)); }
  void U16(std::uint32_t v) { U8(v >> 8), U8(v); }
  void U32(std::uint32_t v) { U16(v >> 16), U16(v); }
  void Text(const char* s) { bytes.insert(bytes.end(), s, s + std::strlen(s)); }
  void Add(const std::vector<std::uint8_t>& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }
};
std::vector<std::uint8_t> Box(const char* type, const std::vector<std::uint8_t>& body, int fullVersion = -1) {
  BoxBytes box;
  const std::size_t extra = fullVersion >= 0 ? 4 : 0;
  box.U32(std::uint32_t(8 + extra + body.size()));
  box.Text(type);
  if (fullVersion >= 0) box.U32(std::uint32_t(fullVersion) << 24);
  box.Add(body);
  return box.bytes;
}

// A coded tile: its decoder configuration box ("hvcC", whole) and its data.
struct CodedTile {
  std::vector<std::uint8_t> config;
  std::vector<std::uint8_t> data;
};

std::optional<CodedTile> CodeTile(const Image24& tile, int quality, bool fast) {
  const auto file = EncodeHeif({{&tile}}, 0, quality, fast);
  if (!file) return std::nullopt;
  const auto coded = FindHeifCodedPrimary(file->data(), file->size());
  const std::size_t at = std::string(file->begin(), file->end()).find("hvcC");
  if (!coded || at == std::string::npos || at < 4) return std::nullopt;
  const std::size_t size = std::size_t((*file)[at - 4]) << 24 | std::size_t((*file)[at - 3]) << 16 |
                           std::size_t((*file)[at - 2]) << 8 | (*file)[at - 1];
  CodedTile out;
  out.config.assign(file->begin() + std::ptrdiff_t(at - 4), file->begin() + std::ptrdiff_t(at - 4 + size));
  for (const auto& [offset, length] : coded->extents)
    out.data.insert(out.data.end(), file->begin() + std::ptrdiff_t(offset), file->begin() + std::ptrdiff_t(offset + length));
  return out;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> EncodeHeifGrid(const Image24& image, int tileSize, int quality, bool fast) {
  const int columns = (image.Width() + tileSize - 1) / tileSize, rows = (image.Height() + tileSize - 1) / tileSize;
  const int tiles = columns * rows;
  if (tiles > 120 || columns > 256 || rows > 256) return std::nullopt;  // one byte a property index
  std::vector<CodedTile> coded;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      MemoryImage24 tile(tileSize, tileSize);
      for (int y = 0; y < tileSize; ++y)
        for (int x = 0; x < tileSize; ++x) {
          const int sx = std::min(c * tileSize + x, image.Width() - 1), sy = std::min(r * tileSize + y, image.Height() - 1);
          std::memcpy(tile.Row(y) + x * 3, image.Row(sy) + sx * 3, 3);
        }
      auto one = CodeTile(tile, quality, fast);
      if (!one) return std::nullopt;
      coded.push_back(std::move(*one));
    }
  // Items 1..tiles are the tiles, the grid comes last; properties: each
  // tile's configuration, then the tile size and the picture's size.
  const std::uint32_t grid = std::uint32_t(tiles) + 1;
  auto meta = [&](std::uint32_t dataStart) {
    BoxBytes handler;
    handler.U32(0), handler.Text("pict"), handler.U32(0), handler.U32(0), handler.U32(0), handler.U8(0);
    BoxBytes primary;
    primary.U16(grid);
    BoxBytes infos;
    infos.U16(grid);
    for (std::uint32_t id = 1; id <= grid; ++id) {
      BoxBytes entry;
      entry.U16(id), entry.U16(0), entry.Text(id == grid ? "grid" : "hvc1"), entry.U8(0);
      infos.Add(Box("infe", entry.bytes, 2));
    }
    BoxBytes derived;
    derived.U16(grid), derived.U16(std::uint32_t(tiles));
    for (std::uint32_t id = 1; id < grid; ++id) derived.U16(id);
    BoxBytes container;
    for (const CodedTile& t : coded) container.Add(t.config);
    BoxBytes tileSizeBox, pictureSize;
    tileSizeBox.U32(std::uint32_t(tileSize)), tileSizeBox.U32(std::uint32_t(tileSize));
    pictureSize.U32(std::uint32_t(image.Width())), pictureSize.U32(std::uint32_t(image.Height()));
    container.Add(Box("ispe", tileSizeBox.bytes, 0));
    container.Add(Box("ispe", pictureSize.bytes, 0));
    BoxBytes associations;
    associations.U32(grid);
    for (std::uint32_t id = 1; id < grid; ++id) associations.U16(id), associations.U8(2), associations.U8(0x80 | id), associations.U8(grid);
    associations.U16(grid), associations.U8(1), associations.U8(grid + 1);
    BoxBytes gridData;
    gridData.U8(0), gridData.U8(0), gridData.U8(std::uint32_t(rows - 1)), gridData.U8(std::uint32_t(columns - 1));
    gridData.U16(std::uint32_t(image.Width())), gridData.U16(std::uint32_t(image.Height()));
    BoxBytes locations;
    locations.U16(0x4400), locations.U16(grid);
    std::uint32_t at = dataStart;
    for (std::uint32_t id = 1; id <= grid; ++id) {
      const bool isGrid = id == grid;
      const std::uint32_t length = isGrid ? std::uint32_t(gridData.bytes.size()) : std::uint32_t(coded[id - 1].data.size());
      locations.U16(id), locations.U16(isGrid ? 1 : 0), locations.U16(0), locations.U16(1);
      locations.U32(isGrid ? 0 : at), locations.U32(length);
      if (!isGrid) at += length;
    }
    BoxBytes body;
    body.Add(Box("hdlr", handler.bytes, 0));
    body.Add(Box("pitm", primary.bytes, 0));
    body.Add(Box("iinf", infos.bytes, 0));
    body.Add(Box("iref", Box("dimg", derived.bytes), 0));
    BoxBytes properties;
    properties.Add(Box("ipco", container.bytes));
    properties.Add(Box("ipma", associations.bytes, 0));
    body.Add(Box("iprp", properties.bytes));
    body.Add(Box("idat", gridData.bytes));
    body.Add(Box("iloc", locations.bytes, 1));
    return Box("meta", body.bytes, 0);
  };
  BoxBytes fileType;
  fileType.Text("heic"), fileType.U32(0), fileType.Text("mif1"), fileType.Text("heic");
  const std::vector<std::uint8_t> ftyp = Box("ftyp", fileType.bytes);
  const std::size_t metaSize = meta(0).size();
  BoxBytes file;
  file.Add(ftyp);
  file.Add(meta(std::uint32_t(ftyp.size() + metaSize + 8)));
  BoxBytes data;
  for (const CodedTile& t : coded) data.Add(t.data);
  file.Add(Box("mdat", data.bytes));
  return file.bytes;
}

}  // namespace velmora::testing

// x265 keeps a few blocks for the life of the process: not a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libx265\n"; }
