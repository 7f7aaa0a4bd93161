// velmora-demo-show: makes the demonstration show from nothing.
//
// Draws a handful of photo-like pictures (sky and sea gradients, hills,
// buildings, rings, grain), writes them as JPEG files and one 24-bit bitmap,
// and writes the frame-set file that plays them with every effect, several
// directions, speeds and dot sizes, pure-colour frames and an empty frame.
//
//   velmora-demo-show OUT-DIR [--name Demo] [--picture-dir 'C:\windows\system32\Demo-pictures']
//
// OUT-DIR receives NAME.fms and the folder "pictures"; the frame records
// name the pictures under --picture-dir, where the caller installs them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "frames/FrameList.h"
#include "frames/FrameRecord.h"
#include "frames/FrameSet.h"

namespace {

namespace fs = std::filesystem;

struct Rgb {
  double r = 0, g = 0, b = 0;
};

Rgb Mix(Rgb a, Rgb b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// An RGB picture in memory, rows top to bottom.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height), pixels_(size_t(width) * height) {}
  int Width() const { return width_; }
  int Height() const { return height_; }
  Rgb& At(int x, int y) { return pixels_[size_t(y) * width_ + x]; }
  const Rgb& At(int x, int y) const { return pixels_[size_t(y) * width_ + x]; }

  template <typename F>
  void Each(F f) {
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) f(x, y, At(x, y));
  }

  void Disc(double cx, double cy, double radius, Rgb colour, double softness = 1.5) {
    const int x0 = std::max(0, int(cx - radius - softness - 1));
    const int x1 = std::min(width_ - 1, int(cx + radius + softness + 1));
    const int y0 = std::max(0, int(cy - radius - softness - 1));
    const int y1 = std::min(height_ - 1, int(cy + radius + softness + 1));
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) {
        const double d = std::hypot(x - cx, y - cy);
        const double cover = std::clamp((radius + softness - d) / (2 * softness), 0.0, 1.0);
        if (cover > 0) At(x, y) = Mix(At(x, y), colour, cover);
      }
  }

  void Box(int left, int top, int right, int bottom, Rgb colour) {
    for (int y = std::max(0, top); y < std::min(height_, bottom); ++y)
      for (int x = std::max(0, left); x < std::min(width_, right); ++x) At(x, y) = colour;
  }

  // Film grain: a small random shift of each pixel's brightness.
  void Grain(double amount, std::uint32_t seed) {
    Each([&](int, int, Rgb& p) {
      seed = seed * 1664525u + 1013904223u;
      const double n = (double(seed >> 8) / double(1u << 24) - 0.5) * amount;
      p.r += n;
      p.g += n;
      p.b += n;
    });
  }

  std::vector<std::uint8_t> RgbBytes() const {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(pixels_.size() * 3);
    for (const Rgb& p : pixels_) {
      bytes.push_back(Byte(p.r));
      bytes.push_back(Byte(p.g));
      bytes.push_back(Byte(p.b));
    }
    return bytes;
  }

  static std::uint8_t Byte(double v) { return std::uint8_t(std::clamp(std::lround(v), 0L, 255L)); }

 private:
  int width_;
  int height_;
  std::vector<Rgb> pixels_;
};

void WriteJpeg(const Canvas& canvas, const fs::path& path, int quality) {
  FILE* file = std::fopen(path.string().c_str(), "wb");
  if (!file) throw std::runtime_error("cannot create " + path.string());
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = JDIMENSION(canvas.Width());
  cinfo.image_height = JDIMENSION(canvas.Height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  const std::vector<std::uint8_t> bytes = canvas.RgbBytes();
  const size_t stride = size_t(canvas.Width()) * 3;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(bytes.data() + cinfo.next_scanline * stride);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(value >> (8 * i)));
}

// A bottom-up 24-bit BI_RGB bitmap.
void WriteBmp(const Canvas& canvas, const fs::path& path) {
  const int stride = ((canvas.Width() * 3 + 3) / 4) * 4;
  const std::uint32_t imageBytes = std::uint32_t(stride) * std::uint32_t(canvas.Height());
  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  PutLe(out, 54 + imageBytes, 4);
  PutLe(out, 0, 4);
  PutLe(out, 54, 4);
  PutLe(out, 40, 4);
  PutLe(out, std::uint32_t(canvas.Width()), 4);
  PutLe(out, std::uint32_t(canvas.Height()), 4);
  PutLe(out, 1, 2);
  PutLe(out, 24, 2);
  PutLe(out, 0, 4);
  PutLe(out, imageBytes, 4);
  PutLe(out, 2835, 4);
  PutLe(out, 2835, 4);
  PutLe(out, 0, 4);
  PutLe(out, 0, 4);
  for (int y = canvas.Height() - 1; y >= 0; --y) {
    int written = 0;
    for (int x = 0; x < canvas.Width(); ++x, written += 3) {
      const Rgb& p = canvas.At(x, y);
      out.push_back(Canvas::Byte(p.b));
      out.push_back(Canvas::Byte(p.g));
      out.push_back(Canvas::Byte(p.r));
    }
    for (; written < stride; ++written) out.push_back(0);
  }
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

// Sunrise over hills: warm sky, a sun, three ranges of hills, grain.
Canvas Dawn() {
  Canvas c(1600, 1067);
  const Rgb top{24, 36, 92}, horizon{250, 160, 90};
  c.Each([&](int, int y, Rgb& p) { p = Mix(top, horizon, double(y) / (c.Height() * 0.62)); });
  c.Disc(1050, 610, 90, {255, 236, 180}, 6);
  const Rgb ranges[3] = {{120, 84, 110}, {72, 52, 84}, {30, 26, 44}};
  for (int r = 0; r < 3; ++r) {
    const double base = c.Height() * (0.58 + 0.11 * r);
    for (int x = 0; x < c.Width(); ++x) {
      const double ridge = base - 60 * std::sin(x * (0.004 + 0.002 * r) + r) -
                           25 * std::sin(x * 0.017 + 2 * r);
      for (int y = std::max(0, int(ridge)); y < c.Height(); ++y) c.At(x, y) = ranges[r];
    }
  }
  c.Grain(10, 1);
  return c;
}

// A portrait lake: pines on both shores mirrored in still water.
Canvas Lake() {
  Canvas c(900, 1350);
  const int shore = 760;
  c.Each([&](int x, int y, Rgb& p) {
    if (y < shore)
      p = Mix({150, 200, 235}, {230, 240, 245}, double(y) / shore);
    else
      p = Mix({60, 110, 130}, {20, 50, 70}, double(y - shore) / (c.Height() - shore)),
      p = Mix(p, {200, 220, 230}, 0.15 * (0.5 + 0.5 * std::sin(y * 0.35 + x * 0.01)));
  });
  for (int i = 0; i < 14; ++i) {
    const double cx = (i < 7) ? 40 + i * 45 : 560 + (i - 7) * 48;
    const double h = 220 + 60 * std::sin(i * 1.7);
    for (int y = 0; y < int(h); ++y) {
      const double half = 5 + 45.0 * y / h;
      for (int x = int(cx - half); x <= int(cx + half); ++x) {
        if (x < 0 || x >= c.Width()) continue;
        c.At(x, shore - int(h) + y) = {20, 60.0 + (i * 7) % 30, 35};
        const int mirror = shore + int(h) - y;
        if (mirror < c.Height()) c.At(x, mirror) = Mix(c.At(x, mirror), {15, 45, 30}, 0.6);
      }
    }
  }
  c.Grain(12, 2);
  return c;
}

// A city at night: lit windows in dark towers under a violet sky.
Canvas City() {
  Canvas c(1920, 1080);
  c.Each([&](int, int y, Rgb& p) { p = Mix({10, 8, 40}, {90, 50, 110}, double(y) / c.Height()); });
  c.Disc(300, 180, 55, {245, 245, 225}, 3);
  std::uint32_t seed = 7;
  auto next = [&](int n) {
    seed = seed * 1103515245u + 12345u;
    return int((seed >> 16) % std::uint32_t(n));
  };
  for (int x = 0; x < c.Width();) {
    const int w = 70 + next(110);
    const int top = 380 + next(420);
    const Rgb tower{double(20 + next(25)), double(20 + next(25)), double(35 + next(30))};
    c.Box(x, top, x + w - 6, c.Height(), tower);
    for (int wy = top + 14; wy < c.Height() - 20; wy += 26)
      for (int wx = x + 10; wx < x + w - 20; wx += 18)
        if (next(3) == 0) c.Box(wx, wy, wx + 9, wy + 14, {250, 215, double(120 + next(80))});
    x += w;
  }
  c.Grain(14, 3);
  return c;
}

// Concentric rings of colour, square.
Canvas Rings() {
  Canvas c(1024, 1024);
  c.Each([&](int x, int y, Rgb& p) {
    const double d = std::hypot(x - 512.0, y - 512.0);
    const double a = std::atan2(y - 512.0, x - 512.0);
    p = {128 + 120 * std::sin(d * 0.05), 128 + 120 * std::sin(d * 0.05 + 2.1 + a),
         128 + 120 * std::sin(d * 0.05 + 4.2)};
  });
  c.Grain(8, 4);
  return c;
}

// A meadow: rolling green hills with flowers and a pale sky.
Canvas Meadow() {
  Canvas c(1280, 800);
  c.Each([&](int x, int y, Rgb& p) {
    const double hill = 430 + 50 * std::sin(x * 0.006) + 20 * std::sin(x * 0.021);
    p = y < hill ? Mix({110, 170, 230}, {220, 235, 245}, double(y) / hill)
                 : Mix({110, 170, 60}, {40, 100, 30}, (y - hill) / (c.Height() - hill));
  });
  std::uint32_t seed = 11;
  for (int i = 0; i < 400; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const double x = (seed >> 8) % 1280;
    seed = seed * 1664525u + 1013904223u;
    const double y = 520 + (seed >> 8) % 280;
    const Rgb colours[3] = {{250, 240, 90}, {250, 120, 150}, {255, 255, 255}};
    c.Disc(x, y, 3 + (i % 3), colours[i % 3], 1);
  }
  c.Disc(200, 130, 60, {255, 255, 255}, 20);
  c.Disc(260, 120, 50, {255, 255, 255}, 20);
  c.Grain(10, 5);
  return c;
}

// Tiles with a diagonal gradient, for the bitmap frame.
Canvas Tiles() {
  Canvas c(640, 480);
  c.Each([&](int x, int y, Rgb& p) {
    const bool dark = ((x / 80) + (y / 80)) % 2 == 0;
    const Rgb base = Mix({240, 120, 40}, {40, 120, 240}, double(x + y) / (640 + 480));
    p = dark ? Mix(base, {0, 0, 0}, 0.45) : base;
  });
  c.Disc(320, 240, 100, {255, 255, 255}, 2);
  c.Disc(320, 240, 70, {200, 30, 60}, 2);
  return c;
}

struct FrameSpec {
  const char* picture;  // file name in the picture folder, "" for none
  bool pureColour;
  std::uint32_t colour;
  int effect;
  int direction;
  int speed;
  int dotSize;
  int stillTime;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace velmora;
  if (argc < 2) {
    std::cerr << "usage: velmora-demo-show OUT-DIR [--name NAME] [--picture-dir WINDOWS-DIR]\n";
    return 2;
  }
  const fs::path outDir = argv[1];
  std::string name = "Demo";
  std::string pictureDir = "C:\\windows\\system32\\Demo-pictures";
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--name") {
      name = argv[i + 1];
    } else if (option == "--picture-dir") {
      pictureDir = argv[i + 1];
    } else {
      std::cerr << "unknown option " << option << "\n";
      return 2;
    }
  }
  try {
    const fs::path pictures = outDir / "pictures";
    fs::create_directories(pictures);
    WriteJpeg(Dawn(), pictures / "dawn.jpg", 88);
    WriteJpeg(Lake(), pictures / "lake.jpg", 85);
    WriteJpeg(City(), pictures / "city.jpg", 85);
    WriteJpeg(Rings(), pictures / "rings.jpg", 90);
    WriteJpeg(Meadow(), pictures / "meadow.jpg", 85);
    WriteBmp(Tiles(), pictures / "tiles.bmp");

    // Each frame's effect takes it off the screen; the last leads back to
    // the first. Every effect 1 to 7 appears, most more than once.
    const FrameSpec frames[] = {
        {"dawn.jpg", false, 0, 1, 0, 2, -1, 2},      // Stretch from the left
        {"", true, 0x2060C0, 2, 2, 3, -1, 1},        // colour, Push from the top
        {"lake.jpg", false, 0, 3, 4, 2, -1, 2},      // Slide from the top left
        {"tiles.bmp", false, 0, 4, 8, 2, 3, 2},      // Dissolve, centre out, dots 13
        {"city.jpg", false, 0, 5, 16, 3, -1, 2},     // Blend
        {"", true, 0x8000000F, 6, 14, 2, -1, 1},     // button face, Discover zoom in
        {"rings.jpg", false, 0, 7, 0, -1, -1, 2},    // Any
        {"meadow.jpg", false, 0, 1, 15, 1, -1, 2},   // Stretch zoom out
        {"dawn.jpg", false, 0, 4, 0, 1, 0, 1},       // Dissolve from the left, single dots
        {"", false, 0, 2, 1, 0, -1, 1},              // empty frame (black), Push from the right
        {"city.jpg", false, 0, 6, 9, 3, -1, 2},      // Discover from the sides in
        {"lake.jpg", false, 0, 3, 7, 1, -1, 1},      // Slide from the bottom left
        {"", true, 0x30A050, 0, 16, -1, -1, 1},      // green, None: the next frame cuts in
        {"rings.jpg", false, 0, 4, 14, 4, 8, 2},     // Dissolve zoom in, dots 32
    };

    FrameList list;
    FrameRecord& header = AppendFrameRecord(list);
    header.SetPath(name);
    for (const FrameSpec& spec : frames) {
      FrameRecord& record = AppendFrameRecord(list);
      if (*spec.picture) record.SetPath(pictureDir + "\\" + spec.picture);
      record.PureColour = spec.pureColour ? 1 : 0;
      if (spec.pureColour) record.Colour = spec.colour;
      record.Effect = spec.effect;
      record.Direction = std::uint8_t(spec.direction);
      record.Speed = spec.speed;
      record.DotSize = spec.dotSize;
      record.StillTime = spec.stillTime;
    }
    AppendFrameRecord(list);  // trailing entry, not written
    const fs::path fms = outDir / (name + ".fms");
    WriteFrameSetFile(fms.string(), list);
    std::cout << fms.string() << "\n" << pictures.string() << "\n";
  } catch (const std::exception& error) {
    std::cerr << "velmora-demo-show: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
