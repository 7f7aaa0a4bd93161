#include "fade/HeifBoxes.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "fade/Exif.h"
#include "fade/Graphics.h"

namespace velmora {
namespace {

std::uint32_t Be32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Calls visit(type, body, bodySize) for each box in [data, data + size);
// stops at the first damaged one, or when visit returns true (and then
// returns true).
template <typename Visit>
bool ForEachBox(const std::uint8_t* data, std::size_t size, Visit visit) {
  std::size_t at = 0;
  while (size - at >= 8) {
    std::uint64_t length = Be32(data + at);
    std::size_t header = 8;
    if (length == 1) {
      if (size - at < 16) return false;
      length = std::uint64_t(Be32(data + at + 8)) << 32 | Be32(data + at + 12);
      header = 16;
    } else if (length == 0) {
      length = size - at;  // to the end
    }
    if (length < header || length > size - at) return false;
    if (visit(data + at + 4, data + at + header, std::size_t(length) - header)) return true;
    at += std::size_t(length);
  }
  return false;
}

bool IsType(const std::uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

// Big-endian fields read in order from a byte range; a read past its end
// marks the reader failed and gives 0.
class FieldReader {
 public:
  FieldReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint64_t Read(int bytes) {
    if (!ok_ || bytes < 0 || bytes > 8 || size_ - at_ < std::size_t(bytes)) {
      ok_ = false;
      return 0;
    }
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | data_[at_++];
    return value;
  }
  void Skip(std::size_t bytes) {
    if (!ok_ || size_ - at_ < bytes) ok_ = false;
    else at_ += bytes;
  }
  bool Ok() const { return ok_; }
  const std::uint8_t* Here() const { return data_ + at_; }
  std::size_t Left() const { return size_ - at_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

// Where an item's data lies: extents of the file, or of the meta box's own
// data box ("idat").
struct ItemLocation {
  std::uint32_t id = 0;
  int method = 0;  // 0 the file, 1 idat; others are not read here
  std::vector<std::pair<std::uint64_t, std::uint64_t>> extents;  // offset, length
};

// The item locations box ("iloc"), read as libheif reads it; false when
// damaged.
bool ReadItemLocations(const std::uint8_t* body, std::size_t size, std::vector<ItemLocation>& items) {
  FieldReader in(body, size);
  const int version = int(in.Read(1));
  in.Read(3);
  const int sizes = int(in.Read(2));
  const int offsetSize = sizes >> 12 & 15, lengthSize = sizes >> 8 & 15, baseSize = sizes >> 4 & 15;
  const int indexSize = version > 1 ? sizes & 15 : 0;
  const std::uint64_t count = in.Read(version < 2 ? 2 : 4);
  for (std::uint64_t i = 0; i < count && in.Ok(); ++i) {
    ItemLocation item;
    item.id = std::uint32_t(in.Read(version < 2 ? 2 : 4));
    if (version >= 1) item.method = int(in.Read(2) & 15);
    in.Read(2);  // data reference
    const std::uint64_t base = in.Read(baseSize);
    const std::uint64_t extents = in.Read(2);
    for (std::uint64_t e = 0; e < extents && in.Ok(); ++e) {
      in.Read(indexSize);
      const std::uint64_t offset = in.Read(offsetSize);
      const std::uint64_t length = in.Read(lengthSize);
      item.extents.emplace_back(base + offset, length);
    }
    items.push_back(std::move(item));
  }
  return in.Ok();
}

// An item's data as spans (offset, length) of the file; nullopt when its
// extents lie outside what holds them or it is stored in a way not read
// here. idat: the meta box's own data box, inside the file.
using Spans = std::vector<std::pair<std::size_t, std::size_t>>;
std::optional<Spans> ItemSpans(const ItemLocation& item, const std::uint8_t* file, std::size_t fileSize,
                               const std::uint8_t* idat, std::size_t idatSize) {
  if (item.method > 1) return std::nullopt;
  const std::uint8_t* store = item.method == 0 ? file : idat;
  const std::size_t storeSize = item.method == 0 ? fileSize : idatSize;
  if (!store) return std::nullopt;
  Spans spans;
  for (const auto& [offset, length] : item.extents) {
    if (offset > storeSize) return std::nullopt;
    const std::uint64_t available = storeSize - offset;
    const std::uint64_t take = length == 0 ? available : length;
    if (take > available) return std::nullopt;
    spans.emplace_back(std::size_t(store - file) + std::size_t(offset), std::size_t(take));
  }
  return spans;
}

// Up to `want` bytes from the start of an item's data.
std::vector<std::uint8_t> Head(const std::uint8_t* file, const Spans& spans, std::size_t want) {
  std::vector<std::uint8_t> head;
  for (const auto& [offset, length] : spans) {
    const std::size_t copy = std::min(length, want - head.size());
    head.insert(head.end(), file + offset, file + offset + copy);
    if (head.size() == want) break;
  }
  return head;
}

// The canvas a grid ("grid") or overlay ("iovl") item's data declares, in
// pixels; nullopt when the data is too short. libheif allocates it whole
// before it decodes any tile, whatever the image's size property says.
std::optional<std::uint64_t> CanvasPixels(bool grid, const std::vector<std::uint8_t>& head) {
  FieldReader in(head.data(), head.size());
  in.Read(1);  // version
  const int fieldBytes = (in.Read(1) & 1) ? 4 : 2;
  in.Read(grid ? 2 : 8);  // rows and columns; or the overlay's fill colour
  const std::uint64_t width = in.Read(fieldBytes);
  const std::uint64_t height = in.Read(fieldBytes);
  if (!in.Ok()) return std::nullopt;
  return width * height;
}


// A property of the item property container ("ipco"), by its place there.
struct Property {
  std::array<std::uint8_t, 4> type{};
  const std::uint8_t* body = nullptr;
  std::size_t size = 0;
};

// What the meta box holds that is read here.
struct MetaContents {
  std::optional<std::uint32_t> primary;
  std::vector<std::pair<std::uint32_t, std::array<std::uint8_t, 4>>> items;  // id, type
  std::vector<ItemLocation> locations;
  const std::uint8_t* idat = nullptr;
  std::size_t idatSize = 0;
  std::vector<Property> properties;
  std::vector<std::pair<std::uint32_t, std::vector<int>>> associations;  // id, 1-based property places in order
};

bool ReadItemInfos(const std::uint8_t* body, std::size_t n, MetaContents& meta) {
  if (n < 4) return false;
  const std::size_t countBytes = body[0] == 0 ? 2 : 4;
  if (n < 4 + countBytes) return false;
  ForEachBox(body + 4 + countBytes, n - 4 - countBytes, [&](const std::uint8_t* type, const std::uint8_t* entry, std::size_t m) {
    if (!IsType(type, "infe") || m < 4 || entry[0] < 2) return false;
    FieldReader in(entry + 4, m - 4);
    const auto id = std::uint32_t(in.Read(entry[0] == 2 ? 2 : 4));
    in.Read(2);  // protection index
    if (!in.Ok() || in.Left() < 4) return false;
    std::array<std::uint8_t, 4> itemType{};
    std::copy(in.Here(), in.Here() + 4, itemType.begin());
    meta.items.emplace_back(id, itemType);
    return false;
  });
  return true;
}

// The item property associations ("ipma"), read as libheif reads them.
bool ReadAssociations(const std::uint8_t* body, std::size_t n, MetaContents& meta) {
  FieldReader in(body, n);
  const int version = int(in.Read(1));
  const bool wide = (in.Read(3) & 1) != 0;
  const std::uint64_t count = in.Read(4);
  for (std::uint64_t i = 0; i < count && in.Ok(); ++i) {
    const auto id = std::uint32_t(in.Read(version < 1 ? 2 : 4));
    const std::uint64_t associations = in.Read(1);
    std::vector<int> places;
    for (std::uint64_t a = 0; a < associations && in.Ok(); ++a)
      places.push_back(int(wide ? in.Read(2) & 0x7FFF : in.Read(1) & 0x7F));
    meta.associations.emplace_back(id, std::move(places));
  }
  return in.Ok();
}

std::optional<MetaContents> ReadMeta(const std::uint8_t* data, std::size_t size) {
  if (!data) return std::nullopt;
  const std::uint8_t* body = nullptr;
  std::size_t bodySize = 0;
  ForEachBox(data, size, [&](const std::uint8_t* type, const std::uint8_t* b, std::size_t n) {
    if (!IsType(type, "meta") || n < 4) return false;
    body = b + 4, bodySize = n - 4;  // after its version and flags
    return true;
  });
  if (!body) return std::nullopt;
  MetaContents meta;
  bool readable = true;
  ForEachBox(body, bodySize, [&](const std::uint8_t* type, const std::uint8_t* b, std::size_t n) {
    if (IsType(type, "idat")) {
      meta.idat = b, meta.idatSize = n;
    } else if (IsType(type, "pitm")) {
      FieldReader in(b, n);
      const bool wide = in.Read(1) != 0;
      in.Read(3);
      const auto id = std::uint32_t(in.Read(wide ? 4 : 2));
      if (in.Ok()) meta.primary = id;
    } else if (IsType(type, "iloc")) {
      readable = ReadItemLocations(b, n, meta.locations);
    } else if (IsType(type, "iinf")) {
      readable = ReadItemInfos(b, n, meta);
    } else if (IsType(type, "iprp")) {
      ForEachBox(b, n, [&](const std::uint8_t* inner, const std::uint8_t* c, std::size_t m) {
        if (IsType(inner, "ipco")) {
          ForEachBox(c, m, [&](const std::uint8_t* propertyType, const std::uint8_t* p, std::size_t k) {
            Property property;
            std::copy(propertyType, propertyType + 4, property.type.begin());
            property.body = p, property.size = k;
            meta.properties.push_back(property);
            return false;
          });
        } else if (IsType(inner, "ipma") && !ReadAssociations(c, m, meta)) {
          readable = false;
        }
        return !readable;
      });
    }
    return !readable;
  });
  if (!readable) return std::nullopt;
  return meta;
}

const ItemLocation* LocationOf(const MetaContents& meta, std::uint32_t id) {
  const auto found = std::find_if(meta.locations.begin(), meta.locations.end(), [id](const ItemLocation& l) { return l.id == id; });
  return found == meta.locations.end() ? nullptr : &*found;
}

bool TypeIs(const std::array<std::uint8_t, 4>& type, const char* name) { return IsType(type.data(), name); }

// libheif's rotation (counter-clockwise, in quarter turns) and mirror of an
// image, as a function of where each shown pixel comes from.
MemoryImage24 Rotated(const Image24& in, int quarters) {
  const int w = in.Width(), h = in.Height();
  MemoryImage24 out(quarters % 2 ? h : w, quarters % 2 ? w : h);
  for (int r = 0; r < out.Height(); ++r)
    for (int c = 0; c < out.Width(); ++c) {
      const int sr = quarters == 1 ? c : quarters == 2 ? h - 1 - r : quarters == 3 ? h - 1 - c : r;
      const int sc = quarters == 1 ? w - 1 - r : quarters == 2 ? w - 1 - c : quarters == 3 ? r : c;
      out.FillRect(Rect{c, r, c + 1, r + 1}, in.PixelAt(sc, sr));
    }
  return out;
}
MemoryImage24 Mirrored(const Image24& in, bool leftRight) {
  MemoryImage24 out(in.Width(), in.Height());
  for (int r = 0; r < in.Height(); ++r)
    for (int c = 0; c < in.Width(); ++c)
      out.FillRect(Rect{c, r, c + 1, r + 1},
                   leftRight ? in.PixelAt(in.Width() - 1 - c, r) : in.PixelAt(c, in.Height() - 1 - r));
  return out;
}

bool SamePixels(const Image24& a, const Image24& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int r = 0; r < a.Height(); ++r)
    for (int c = 0; c < a.Width(); ++c)
      if (a.PixelAt(c, r) != b.PixelAt(c, r)) return false;
  return true;
}

// The Exif orientation that turns a stored picture as the rotation and mirror
// properties, in their order, turn it; found by turning a small picture of
// distinct pixels both ways.
int OrientationOf(const std::vector<const Property*>& transforms) {
  MemoryImage24 stored(3, 2);
  for (int i = 0; i < 6; ++i) stored.FillRect(Rect{i % 3, i / 3, i % 3 + 1, i / 3 + 1}, TColor(0x102030 * (i + 1)));
  MemoryImage24 shown = stored;
  for (const Property* p : transforms) {
    if (p->size < 1) continue;
    if (TypeIs(p->type, "irot")) shown = Rotated(shown, p->body[0] & 3);
    else shown = Mirrored(shown, (p->body[0] & 1) != 0);
  }
  for (int orientation = 1; orientation <= 8; ++orientation) {
    MemoryImage24 upright;
    OrientImage(stored, orientation, upright);
    if (SamePixels(upright, shown)) return orientation;
  }
  return 1;
}

}  // namespace

std::optional<std::uint64_t> LargestHeifCanvas(const std::uint8_t* data, std::size_t size) {
  const std::optional<MetaContents> meta = ReadMeta(data, size);
  if (!meta) return std::nullopt;
  std::uint64_t largest = 0;
  for (const auto& [id, type] : meta->items) {
    const bool grid = TypeIs(type, "grid");
    if (!grid && !TypeIs(type, "iovl")) continue;
    const ItemLocation* location = LocationOf(*meta, id);
    if (!location) return std::nullopt;
    const auto spans = ItemSpans(*location, data, size, meta->idat, meta->idatSize);
    if (!spans) return std::nullopt;
    const auto pixels = CanvasPixels(grid, Head(data, *spans, grid ? 12 : 20));
    if (!pixels) return std::nullopt;
    largest = std::max(largest, *pixels);
  }
  return largest;
}

std::optional<HeifCodedPrimary> FindHeifCodedPrimary(const std::uint8_t* data, std::size_t size) {
  const std::optional<MetaContents> meta = ReadMeta(data, size);
  if (!meta || !meta->primary) return std::nullopt;
  const std::uint32_t id = *meta->primary;
  const auto item = std::find_if(meta->items.begin(), meta->items.end(), [id](const auto& i) { return i.first == id; });
  if (item == meta->items.end() || !TypeIs(item->second, "hvc1")) return std::nullopt;
  const auto associated = std::find_if(meta->associations.begin(), meta->associations.end(),
                                       [id](const auto& a) { return a.first == id; });
  if (associated == meta->associations.end()) return std::nullopt;

  HeifCodedPrimary primary;
  const Property* config = nullptr;
  std::vector<const Property*> transforms;
  for (const int place : associated->second) {
    if (place < 1 || std::size_t(place) > meta->properties.size()) return std::nullopt;
    const Property& p = meta->properties[std::size_t(place) - 1];
    if (TypeIs(p.type, "hvcC")) {
      if (config) return std::nullopt;
      config = &p;
    } else if (TypeIs(p.type, "ispe")) {
      FieldReader in(p.body, p.size);
      in.Read(4);  // version and flags
      primary.width = int(std::min<std::uint64_t>(in.Read(4), INT32_MAX));
      primary.height = int(std::min<std::uint64_t>(in.Read(4), INT32_MAX));
      if (!in.Ok()) return std::nullopt;
    } else if (TypeIs(p.type, "irot") || TypeIs(p.type, "imir")) {
      transforms.push_back(&p);
    } else if (!TypeIs(p.type, "colr") && !TypeIs(p.type, "pixi")) {
      return std::nullopt;  // a crop, or something libheif is left to judge
    }
  }
  if (!config || primary.width <= 0 || primary.height <= 0) return std::nullopt;
  primary.transformed = !transforms.empty();
  primary.orientation = OrientationOf(transforms);

  // The decoder configuration: 22 bytes, then arrays of NAL units.
  FieldReader in(config->body, config->size);
  in.Skip(21);
  primary.nalLengthSize = int(in.Read(1) & 3) + 1;
  const std::uint64_t arrays = in.Read(1);
  for (std::uint64_t a = 0; a < arrays && in.Ok(); ++a) {
    in.Read(1);  // the units' type
    const std::uint64_t units = in.Read(2);
    for (std::uint64_t u = 0; u < units && in.Ok(); ++u) {
      const std::size_t length = std::size_t(in.Read(2));
      if (!in.Ok() || in.Left() < length) return std::nullopt;
      primary.setupNals.emplace_back(std::size_t(in.Here() - data), length);
      in.Skip(length);
    }
  }
  if (!in.Ok()) return std::nullopt;

  const ItemLocation* location = LocationOf(*meta, id);
  if (!location) return std::nullopt;
  std::optional<Spans> spans = ItemSpans(*location, data, size, meta->idat, meta->idatSize);
  if (!spans || spans->empty()) return std::nullopt;
  primary.extents = std::move(*spans);
  return primary;
}

bool HasHeifTransformProperty(const std::uint8_t* data, std::size_t size) {
  if (!data) return false;
  auto inIpco = [](const std::uint8_t* type, const std::uint8_t*, std::size_t) {
    return IsType(type, "irot") || IsType(type, "imir");
  };
  auto inIprp = [&](const std::uint8_t* type, const std::uint8_t* body, std::size_t n) {
    return IsType(type, "ipco") && ForEachBox(body, n, inIpco);
  };
  auto inMeta = [&](const std::uint8_t* type, const std::uint8_t* body, std::size_t n) {
    return IsType(type, "iprp") && ForEachBox(body, n, inIprp);
  };
  return ForEachBox(data, size, [&](const std::uint8_t* type, const std::uint8_t* body, std::size_t n) {
    // meta is a full box: version and flags come first.
    return IsType(type, "meta") && n >= 4 && ForEachBox(body + 4, n - 4, inMeta);
  });
}

}  // namespace velmora
