#include "Options.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "frames/EffectCatalogue.h"

namespace velmora::render {

const char* const kUsage =
    "usage: velmora-render --size WxH --from SRC --to SRC --action NAME --direction NAME\n"
    "                      [--steps N] [--disolv-rate N] [--blend-rate N] [--dot-size N]\n"
    "                      [--general-rate N] [--stretch-to-fit 0|1]\n"
    "                      [--seed N] [--at K1,K2,...] [--out DIR]\n"
    "       velmora-render --size WxH --frame FILE.fms --index I [--seed N] [--at K,...] [--out DIR]\n"
    "\n"
    "Runs one transition of the real transition component off screen, unpaced, and\n"
    "writes what the screen shows after chosen steps as 24-bit bitmaps.\n"
    "\n"
    "  --size WxH        the component's size in pixels (1 to 16384 each, at most\n"
    "                    67108864 pixels)\n"
    "  --from, --to SRC  #RRGGBB for a colour, otherwise a picture file (JPEG and\n"
    "                    BMP; on Windows also EMF, WMF, ICO, PNG, GIF, TIFF, and\n"
    "                    HEIC, WebP and JPEG XR where Windows decodes them)\n"
    "  --action NAME     Stretch, Push, Slide, xDissolve, xBlend or Discover\n"
    "  --direction NAME  FromLeft, FromRight, FromTop, FromBottom, FromTopLeft,\n"
    "                    FromBottomRight, FromTopRight, FromBottomLeft, XcenterOut,\n"
    "                    XcenterIn, YcenterOut, YcenterIn, Vertical, Horizontal,\n"
    "                    ZoomIn, ZoomOut, None\n"
    "  --steps, --disolv-rate, --blend-rate, --dot-size, --general-rate N\n"
    "                    the run's amounts; omitted ones keep the component's\n"
    "                    construction values (30, 125, 32, 40, 5). DisolvRate and\n"
    "                    BlendRate go through their checking setters.\n"
    "  --stretch-to-fit 0|1  fit mode (1, the default) or natural size (0)\n"
    "  --frame FILE --index I  play frame I's transition of a frame-set file as\n"
    "                    the player does: frame I (1-based) leaves, frame I+1 (frame\n"
    "                    1 after the last) arrives, with frame I's effect settings;\n"
    "                    a picture that cannot be loaded shows black, as in the show\n"
    "  --seed N          seeds the random generator with N (0 to 4294967295) and\n"
    "                    makes every later seeding from the clock give N\n"
    "  --at K1,K2,...    after each listed step (1-based) write DIR/step-K.bmp\n"
    "  --out DIR         directory for the bitmaps (made if missing); DIR/final.bmp\n"
    "                    gets the component's image after the run. Without --out\n"
    "                    nothing is written.\n"
    "\n"
    "Steps: a Sweep has Steps steps, a Blend BlendRate + 1 (the first, with weight 0,\n"
    "is step 1), a Dissolve n full steps and then its last repaint (remainder) as\n"
    "step n + 1. Before step 1 the screen shows the from-image the run's Reset\n"
    "prepared; a Sweep step draws over what is there; Dissolve and Blend steps\n"
    "repaint the whole component. A step ends where the component handles pending\n"
    "messages (ProcessMsgs is set); the dissolve's last repaint has no such point and\n"
    "is captured when the run returns.\n"
    "\n"
    "Scaled copies (Stretch steps) sample the source at pixel centres: destination\n"
    "pixel (x, y) of rectangle (left, top, right, bottom) takes source pixel\n"
    "  sx = floor((x - left + 1/2) * srcWidth / (right - left))\n"
    "  sy = floor((y - top + 1/2) * srcHeight / (bottom - top))\n"
    "computed exactly in integers; an empty rectangle draws nothing. Block copies\n"
    "(Push, Slide) are clipped to the source and to the screen.\n"
    "\n"
    "Output: one line 'steps=N ms_total=T ms_per_step=S' (bitmap writing not timed).\n"
    "Exit status: 0 done, 1 a picture, frame-set file or output file failed or the\n"
    "run raised an error, or a step listed in --at was not reached; 2 bad arguments.\n";

namespace {

constexpr std::int64_t kMaxPixels = 64LL * 1024 * 1024;

long long ParseInteger(const std::string& option, const std::string& text, long long min,
                       long long max) {
  if (text.empty()) throw UsageError(option + " needs a number");
  std::size_t i = 0;
  bool negative = false;
  if (text[0] == '-' || text[0] == '+') {
    negative = text[0] == '-';
    i = 1;
  }
  if (i == text.size() || text.size() - i > 12) throw UsageError(option + ": bad number '" + text + "'");
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') throw UsageError(option + ": bad number '" + text + "'");
    value = value * 10 + (text[i] - '0');
  }
  if (negative) value = -value;
  if (value < min || value > max)
    throw UsageError(option + ": " + text + " is outside " + std::to_string(min) + " to " +
                     std::to_string(max));
  return value;
}

int ParseInt(const std::string& option, const std::string& text) {
  return int(ParseInteger(option, text, -2147483647LL - 1, 2147483647LL));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Source ParseSource(const std::string& option, const std::string& text) {
  Source source;
  if (text.empty()) throw UsageError(option + " needs #RRGGBB or a picture file");
  if (text[0] == '#') {
    if (text.size() != 7) throw UsageError(option + ": a colour is #RRGGBB, not '" + text + "'");
    std::uint32_t rgb = 0;
    for (std::size_t i = 1; i < 7; ++i) {
      const int d = HexDigit(text[i]);
      if (d < 0) throw UsageError(option + ": a colour is #RRGGBB, not '" + text + "'");
      rgb = rgb << 4 | std::uint32_t(d);
    }
    source.isColor = true;
    // #RRGGBB to the Windows form, red in the lowest byte.
    source.color = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
  } else {
    source.path = text;
  }
  return source;
}

template <std::size_t N>
int ParseName(const std::string& option, const std::string& text, const char* const (&names)[N],
              std::size_t usable) {
  for (std::size_t i = 0; i < usable; ++i)
    if (text == names[i]) return int(i);
  std::string known;
  for (std::size_t i = 0; i < usable; ++i) known += (i ? ", " : "") + std::string(names[i]);
  throw UsageError(option + ": unknown name '" + text + "' (one of " + known + ")");
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& args) {
  Options o;
  bool haveFrom = false, haveTo = false, haveIndex = false;
  bool transitionOption = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      return o;
    }
    if (arg.rfind("--", 0) != 0) throw UsageError("unexpected argument '" + arg + "'");
    if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
    const std::string& value = args[++i];
    if (arg == "--size") {
      const auto x = value.find_first_of("xX");
      if (x == std::string::npos) throw UsageError("--size is WxH, not '" + value + "'");
      o.width = int(ParseInteger("--size", value.substr(0, x), 1, 16384));
      o.height = int(ParseInteger("--size", value.substr(x + 1), 1, 16384));
      // Four images of this size are held (three working images and the
      // screen): at most 64 Mi pixels, 768 MiB in all.
      if (std::int64_t(o.width) * o.height > kMaxPixels)
        throw UsageError("--size " + value + " is too large (at most 67108864 pixels)");
    } else if (arg == "--from") {
      o.from = ParseSource(arg, value);
      haveFrom = true;
    } else if (arg == "--to") {
      o.to = ParseSource(arg, value);
      haveTo = true;
    } else if (arg == "--action") {
      // "Any" is the catalogue's, never the component's: not offered here.
      o.action = ParseName(arg, value, ActionValueNames, ActionAny);
    } else if (arg == "--direction") {
      o.direction = ParseName(arg, value, DirectionValueNames, DirectionCodeCount);
    } else if (arg == "--steps") {
      o.steps = ParseInt(arg, value);
      transitionOption = true;
    } else if (arg == "--disolv-rate") {
      o.disolvRate = ParseInt(arg, value);
      transitionOption = true;
    } else if (arg == "--blend-rate") {
      o.blendRate = ParseInt(arg, value);
      transitionOption = true;
    } else if (arg == "--dot-size") {
      o.dotSize = ParseInt(arg, value);
      transitionOption = true;
    } else if (arg == "--general-rate") {
      o.generalRate = ParseInt(arg, value);
      transitionOption = true;
    } else if (arg == "--stretch-to-fit") {
      if (value != "0" && value != "1") throw UsageError("--stretch-to-fit is 0 or 1");
      o.stretchToFit = value == "1";
      transitionOption = true;
    } else if (arg == "--frame") {
      if (value.empty()) throw UsageError("--frame needs a file");
      o.framePath = value;
    } else if (arg == "--index") {
      o.frameIndex = int(ParseInteger(arg, value, 1, 2147483647LL));
      haveIndex = true;
    } else if (arg == "--seed") {
      o.seed = std::uint32_t(ParseInteger(arg, value, 0, 4294967295LL));
    } else if (arg == "--at") {
      std::size_t start = 0;
      while (true) {
        const std::size_t comma = value.find(',', start);
        const std::string item = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        o.at.push_back(int(ParseInteger("--at", item, 1, 2147483647LL)));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
      std::sort(o.at.begin(), o.at.end());
      o.at.erase(std::unique(o.at.begin(), o.at.end()), o.at.end());
    } else if (arg == "--out") {
      if (value.empty()) throw UsageError("--out needs a directory");
      o.outDir = value;
    } else {
      throw UsageError("unknown option '" + arg + "'");
    }
  }

  if (o.width == 0) throw UsageError("--size is required");
  if (!o.at.empty() && o.outDir.empty()) throw UsageError("--at needs --out DIR");
  if (o.FrameMode()) {
    if (!haveIndex) throw UsageError("--frame needs --index I");
    if (haveFrom || haveTo || o.action >= 0 || o.direction >= 0 || transitionOption)
      throw UsageError("--frame plays the frame's own settings: drop --from, --to, --action, "
                       "--direction and the amounts");
  } else {
    if (haveIndex) throw UsageError("--index needs --frame FILE");
    if (!haveFrom) throw UsageError("--from is required");
    if (!haveTo) throw UsageError("--to is required");
    if (o.action < 0) throw UsageError("--action is required");
    if (o.direction < 0) throw UsageError("--direction is required");
  }
  return o;
}

}  // namespace velmora::render
