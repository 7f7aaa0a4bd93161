#include "fade/JpegGraphic.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "fade/Exif.h"
#include "fade/PictureLoader.h"
#include "fade/Resample.h"

namespace velmora {

int ChooseJpegScale(int width, int height, int dstWidth, int dstHeight, bool powersOfTwo) {
  for (int n = 1; n < 8; n += (powersOfTwo ? n : 1)) {
    const long long w = (static_cast<long long>(width) * n + 7) / 8;
    const long long h = (static_cast<long long>(height) * n + 7) / 8;
    if (w >= dstWidth && h >= dstHeight) return n;
  }
  return 8;
}

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return.
// It jumps back to the setjmp in whichever Decoder method made the failing
// call. Those methods hold no object with a destructor between setjmp and
// the library call, so the jump skips no C++ clean-up; the decompressor
// itself is destroyed by ~Decoder as usual.
struct ErrorManager {
  jpeg_error_mgr pub;  // first, so a j_common_ptr's err can be cast back
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings are counted by the library's own emit_message; nothing is printed.
void OnOutputMessage(j_common_ptr) {}

// The library calls its progress monitor at every scanline call and at every
// row of coefficients it takes in (a progressive picture takes in all of them
// before its first scanline). A set cancel flag leaves the decode there the
// way a fatal error does.
struct ProgressManager {
  jpeg_progress_mgr pub;  // first, so cinfo->progress can be cast back
  const std::atomic<bool>* cancel = nullptr;
};

void OnProgress(j_common_ptr cinfo) {
  auto* progress = reinterpret_cast<ProgressManager*>(cinfo->progress);
  if (!progress->cancel->load(std::memory_order_relaxed)) return;
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::snprintf(err->message, sizeof err->message, "cancelled");
  std::longjmp(err->jump, 1);
}

// Where decoded rows go. Place(y) gives the memory for output row y (BGR,
// output-width pixels); Done(y) is called once row y is there and returns
// whether further rows are wanted.
// Rows are read a few at a time; a sink that decodes through scratch memory
// keeps this many rows of it, row y in slot y % kRowBatch.
constexpr int kRowBatch = 4;

class RowSink {
 public:
  virtual ~RowSink() = default;
  // Whether rows of 4 bytes a pixel (blue, green, red, unused) suit the
  // sink better than 3; it may still get 3 (CMYK pictures).
  virtual bool PrefersFourBytes() const { return false; }
  // Called once with the output size and bytes a pixel before the first row.
  virtual void Begin(int width, int height, int pixelBytes) = 0;
  virtual std::uint8_t* Place(int y) = 0;
  virtual bool Done(int y) = 0;
};

class Decoder {
 public:
  Decoder(const std::uint8_t* data, std::size_t size) {
    std::memset(&cinfo_, 0, sizeof cinfo_);
    std::memset(&err_, 0, sizeof err_);
    cinfo_.err = jpeg_std_error(&err_.pub);
    err_.pub.error_exit = &OnErrorExit;
    err_.pub.output_message = &OnOutputMessage;
    ok_ = Create(data, size);
  }
  ~Decoder() { jpeg_destroy_decompress(&cinfo_); }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // Reads the header; false (with Message()) on a fatal error.
  bool ReadHeader() {
    if (!ok_) return false;
    if (setjmp(err_.jump)) return Fail();
    jpeg_read_header(&cinfo_, TRUE);
    return true;
  }

  bool IsCmyk() const {
    return cinfo_.jpeg_color_space == JCS_CMYK || cinfo_.jpeg_color_space == JCS_YCCK;
  }
  bool HasSupportedColorSpace() const {
    switch (cinfo_.jpeg_color_space) {
      case JCS_GRAYSCALE:
      case JCS_YCbCr:
      case JCS_RGB:
        return true;
      case JCS_CMYK:
      case JCS_YCCK:
        return cinfo_.num_components == 4;
      default:
        return false;
    }
  }

  // Starts decoding at scaleNum/8; output size in OutputWidth/Height.
  // reduced: the output is only an intermediate that gets averaged down, so
  // the faster, slightly less exact integer IDCT is good enough.
  bool Start(int scaleNum, bool reduced, bool fourBytes) {
    if (!ok_) return false;
    if (reduced) cinfo_.dct_method = JDCT_IFAST;
    cinfo_.scale_num = unsigned(scaleNum);
    cinfo_.scale_denom = 8;
    cinfo_.out_color_space = IsCmyk() ? JCS_CMYK : fourBytes ? JCS_EXT_BGRX : JCS_EXT_BGR;
    if (setjmp(err_.jump)) return Fail();
    jpeg_start_decompress(&cinfo_);
    return true;
  }

  // Reads up to count rows; the number read, or -1 on a fatal error.
  int ReadRows(JSAMPARRAY rows, int count) {
    if (!ok_) return -1;
    if (setjmp(err_.jump)) {
      Fail();
      return -1;
    }
    return int(jpeg_read_scanlines(&cinfo_, rows, JDIMENSION(count)));
  }

  // Makes the decode give up once *cancel is set (nullptr: never).
  void SetCancel(const std::atomic<bool>* cancel) {
    if (!ok_ || cancel == nullptr) return;
    progress_ = ProgressManager{};
    progress_.pub.progress_monitor = &OnProgress;
    progress_.cancel = cancel;
    cinfo_.progress = &progress_.pub;
  }

  jpeg_decompress_struct& Info() { return cinfo_; }
  const char* Message() const { return err_.message; }
  int Warnings() const { return int(err_.pub.num_warnings); }

 private:
  bool Create(const std::uint8_t* data, std::size_t size) {
    if (setjmp(err_.jump)) return false;
    jpeg_create_decompress(&cinfo_);
    jpeg_mem_src(&cinfo_, data, static_cast<unsigned long>(size));
    return true;
  }
  bool Fail() {
    ok_ = false;
    return false;
  }

  jpeg_decompress_struct cinfo_;
  ErrorManager err_;
  ProgressManager progress_;
  bool ok_ = false;
};

std::uint8_t Mul255(unsigned a, unsigned b) { return std::uint8_t((a * b + 127) / 255); }

// Turns one row of CMYK samples into BGR. Adobe writes its CMYK inverted
// (0 = full ink), which is what almost every CMYK JPEG carries.
void CmykToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool inverted) {
  for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    bgr[0] = Mul255(y, k);
    bgr[1] = Mul255(m, k);
    bgr[2] = Mul255(c, k);
  }
}

struct DecodeOutcome {
  bool started = false;    // false: nothing was decoded, the sink saw nothing
  bool fatal = false;      // a fatal error cut the picture short
  bool cancelled = false;  // given up on request; what the sink holds is partial
  int warnings = 0;
};

bool IsSet(const std::atomic<bool>* flag) { return flag != nullptr && flag->load(std::memory_order_relaxed); }

// Decodes at scaleNum/8 into sink. After a fatal error in the middle of the
// picture the remaining rows are handed on black, so a sink that began always
// sees a whole picture; a cancelled decode hands on nothing more.
DecodeOutcome Decode(const std::vector<std::uint8_t>& bytes, int scaleNum, bool reduced, RowSink& sink,
                     const std::atomic<bool>* cancel = nullptr) {
  DecodeOutcome outcome;
  if (IsSet(cancel)) {
    outcome.cancelled = true;
    return outcome;
  }
  Decoder decoder(bytes.data(), bytes.size());
  decoder.SetCancel(cancel);
  if (!decoder.ReadHeader() || !decoder.HasSupportedColorSpace() || !decoder.Start(scaleNum, reduced, sink.PrefersFourBytes())) {
    outcome.cancelled = IsSet(cancel);
    return outcome;
  }
  jpeg_decompress_struct& info = decoder.Info();
  const int width = int(info.output_width);
  const int height = int(info.output_height);
  const bool cmyk = decoder.IsCmyk();
  const bool inverted = info.saw_Adobe_marker != 0;
  const int pixelBytes = !cmyk && sink.PrefersFourBytes() ? 4 : 3;
  outcome.started = true;
  sink.Begin(width, height, pixelBytes);

  constexpr int kBatch = kRowBatch;
  std::vector<std::uint8_t> cmykRows;
  if (cmyk) cmykRows.resize(std::size_t(width) * 4 * kBatch);

  int y = 0;
  bool more = true;
  while (more && y < height) {
    const int batch = std::min(kBatch, height - y);
    JSAMPROW rows[kBatch];
    for (int i = 0; i < batch; ++i)
      rows[i] = cmyk ? &cmykRows[std::size_t(i) * std::size_t(width) * 4] : sink.Place(y + i);
    const int got = decoder.ReadRows(rows, batch);
    if (got <= 0) {
      if (IsSet(cancel)) {
        outcome.cancelled = true;
        return outcome;
      }
      outcome.fatal = true;
      break;
    }
    for (int i = 0; i < got && more; ++i) {
      if (cmyk) CmykToBgr(rows[i], sink.Place(y), width, inverted);
      more = sink.Done(y);
      ++y;
    }
  }
  // Whatever a fatal error left undecoded is black.
  while (more && y < height) {
    std::memset(sink.Place(y), 0, std::size_t(width) * std::size_t(pixelBytes));
    more = sink.Done(y);
    ++y;
  }
  outcome.warnings = decoder.Warnings();
  return outcome;
}

// Output rows copied, unscaled, to (x, y) of a target, clipped. Rows that are
// wholly visible are decoded straight into the target's memory.
class PlaceSink final : public RowSink {
 public:
  PlaceSink(Image24& target, int x, int y) : target_(target), x_(x), y_(y) {}

  void Begin(int width, int height, int) override {
    width_ = width;
    visibleLeft_ = std::max(0, -x_);
    visibleRight_ = std::min(width, target_.Width() - x_);
    lastRow_ = std::min(height, target_.Height() - y_) - 1;
    direct_ = visibleLeft_ == 0 && visibleRight_ == width;
    scratch_.resize(std::size_t(width) * 3 * kRowBatch);
  }
  std::uint8_t* Place(int y) override {
    const int row = y_ + y;
    if (direct_ && row >= 0 && row < target_.Height())
      return target_.Row(row) + std::size_t(x_) * 3;
    return Scratch(y);
  }
  bool Done(int y) override {
    const int row = y_ + y;
    const bool inTarget = row >= 0 && row < target_.Height();
    if (!direct_ && inTarget && visibleLeft_ < visibleRight_)
      std::memcpy(target_.Row(row) + std::size_t(x_ + visibleLeft_) * 3,
                  Scratch(y) + std::size_t(visibleLeft_) * 3,
                  std::size_t(visibleRight_ - visibleLeft_) * 3);
    return y < lastRow_;
  }

 private:
  std::uint8_t* Scratch(int y) {
    return scratch_.data() + std::size_t(y % kRowBatch) * std::size_t(width_) * 3;
  }

  Image24& target_;
  int x_;
  int y_;
  int width_ = 0;
  int visibleLeft_ = 0;
  int visibleRight_ = 0;
  int lastRow_ = -1;
  bool direct_ = false;
  std::vector<std::uint8_t> scratch_;
};

// Output rows of a picture stored turned, put upright with the top-left
// corner of the upright picture at (x, y) of a target, clipped.
class OrientSink final : public RowSink {
 public:
  OrientSink(Image24& target, int x, int y, int orientation)
      : target_(target), x_(x), y_(y), orientation_(orientation) {}

  void Begin(int width, int height, int) override {
    width_ = width;
    scratch_.resize(std::size_t(width) * 3 * kRowBatch);
    // Upright place of stored pixel (sx, sy):
    // (ax + bx * sx + cx * sy, ay + by * sx + cy * sy).
    const int sw1 = width - 1, sh1 = height - 1;
    switch (orientation_) {
      case 2: ax_ = sw1, bx_ = -1, cy_ = 1; break;
      case 3: ax_ = sw1, bx_ = -1, ay_ = sh1, cy_ = -1; break;
      case 4: bx_ = 1, ay_ = sh1, cy_ = -1; break;
      case 5: cx_ = 1, by_ = 1; break;
      case 6: ax_ = sh1, cx_ = -1, by_ = 1; break;
      case 7: ax_ = sh1, cx_ = -1, ay_ = sw1, by_ = -1; break;
      case 8: cx_ = 1, ay_ = sw1, by_ = -1; break;
      default: bx_ = 1, cy_ = 1; break;
    }
  }
  std::uint8_t* Place(int y) override {
    return scratch_.data() + std::size_t(y % kRowBatch) * std::size_t(width_) * 3;
  }
  bool Done(int y) override {
    const std::uint8_t* src = Place(y);
    int ux = x_ + ax_ + cx_ * y;
    int uy = y_ + ay_ + cy_ * y;
    const int tw = target_.Width(), th = target_.Height();
    for (int sx = 0; sx < width_; ++sx, src += 3, ux += bx_, uy += by_) {
      if (ux < 0 || uy < 0 || ux >= tw || uy >= th) continue;
      std::uint8_t* dst = target_.Row(uy) + std::size_t(ux) * 3;
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
    }
    return true;
  }

 private:
  Image24& target_;
  int x_;
  int y_;
  int orientation_;
  int width_ = 0;
  int ax_ = 0, bx_ = 0, cx_ = 0, ay_ = 0, by_ = 0, cy_ = 0;
  std::vector<std::uint8_t> scratch_;
};

// Output rows scaled into a rectangle of a target.
class ResampleSink final : public RowSink {
 public:
  ResampleSink(Image24& target, const Rect& rect) : target_(target), rect_(rect) {}

  bool PrefersFourBytes() const override { return true; }
  void Begin(int width, int height, int pixelBytes) override {
    resampler_.emplace(width, height, target_, rect_, pixelBytes);
    rowBytes_ = std::size_t(width) * std::size_t(pixelBytes);
    rows_.resize(rowBytes_ * kRowBatch);
  }
  std::uint8_t* Place(int y) override { return rows_.data() + std::size_t(y % kRowBatch) * rowBytes_; }
  bool Done(int y) override {
    resampler_->PushRow(Place(y));
    return resampler_->NeedsRows();
  }

 private:
  Image24& target_;
  Rect rect_;
  std::optional<RowResampler> resampler_;
  std::size_t rowBytes_ = 0;
  std::vector<std::uint8_t> rows_;
};

class Encoder {
 public:
  Encoder() {
    std::memset(&cinfo_, 0, sizeof cinfo_);
    std::memset(&err_, 0, sizeof err_);
    cinfo_.err = jpeg_std_error(&err_.pub);
    err_.pub.error_exit = &OnErrorExit;
    err_.pub.output_message = &OnOutputMessage;
  }
  ~Encoder() {
    jpeg_destroy_compress(&cinfo_);
    std::free(buffer_);  // allocated by jpeg_mem_dest with malloc
  }
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  bool Begin(int width, int height, int quality, bool progressive) {
    if (setjmp(err_.jump)) return false;
    jpeg_create_compress(&cinfo_);
    jpeg_mem_dest(&cinfo_, &buffer_, &size_);
    cinfo_.image_width = JDIMENSION(width);
    cinfo_.image_height = JDIMENSION(height);
    cinfo_.input_components = 3;
    cinfo_.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo_);
    jpeg_set_quality(&cinfo_, quality, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo_);
    jpeg_start_compress(&cinfo_, TRUE);
    return true;
  }
  bool Write(JSAMPARRAY rows, int count) {
    if (setjmp(err_.jump)) return false;
    jpeg_write_scanlines(&cinfo_, rows, JDIMENSION(count));
    return true;
  }
  bool Finish() {
    if (setjmp(err_.jump)) return false;
    jpeg_finish_compress(&cinfo_);
    return true;
  }
  std::vector<std::uint8_t> Bytes() const { return std::vector<std::uint8_t>(buffer_, buffer_ + size_); }
  const char* Message() const { return err_.message; }

 private:
  jpeg_compress_struct cinfo_;
  ErrorManager err_;
  unsigned char* buffer_ = nullptr;
  unsigned long size_ = 0;
};

}  // namespace

std::vector<std::uint8_t> EncodeJpeg(const Image24& image, int quality, bool progressive) {
  if (image.Width() <= 0 || image.Height() <= 0) throw EPictureError("cannot encode an empty picture");
  Encoder encoder;
  bool ok = encoder.Begin(image.Width(), image.Height(), std::clamp(quality, 1, 100), progressive);
  for (int y = 0; ok && y < image.Height(); ++y) {
    JSAMPROW row = const_cast<JSAMPROW>(image.Row(y));  // the encoder only reads it
    ok = encoder.Write(&row, 1);
  }
  if (!ok || !encoder.Finish()) throw EPictureError(std::string("JPEG encoding failed: ") + encoder.Message());
  return encoder.Bytes();
}

std::shared_ptr<const JpegGraphic> JpegGraphic::FromBytes(std::vector<std::uint8_t> bytes,
                                                          const std::string& name) {
  return std::make_shared<const JpegGraphic>(std::move(bytes), name);
}

std::shared_ptr<const JpegGraphic> JpegGraphic::FromFile(const std::string& path) {
  return FromBytes(ReadPictureFile(path), path);
}

JpegGraphic::JpegGraphic(std::vector<std::uint8_t> bytes, const std::string& name)
    : ScaledRaster(NaturalSize::KeepPrepared), bytes_(std::move(bytes)), name_(name) {
  Decoder decoder(bytes_.data(), bytes_.size());
  if (!decoder.ReadHeader())
    throw EPictureError(name_ + ": not a readable JPEG picture (" + decoder.Message() + ")");
  const jpeg_decompress_struct& info = decoder.Info();
  storedWidth_ = int(info.image_width);
  storedHeight_ = int(info.image_height);
  components_ = info.num_components;
  if (storedWidth_ <= 0 || storedHeight_ <= 0)
    throw EPictureError(name_ + ": the JPEG picture has no pixels");
  if (std::uint64_t(storedWidth_) * std::uint64_t(storedHeight_) > kMaxPicturePixels)
    throw EPictureError(name_ + ": the JPEG picture is too large (" + std::to_string(storedWidth_) + " x " +
                        std::to_string(storedHeight_) + " pixels)");
  if (!decoder.HasSupportedColorSpace())
    throw EPictureError(name_ + ": the JPEG picture's colour format is not supported");
  orientation_ = ReadExif(bytes_).orientation;
  const PictureSize upright = OrientedSize(orientation_, storedWidth_, storedHeight_);
  SetSize(upright.width, upright.height);
}

int JpegGraphic::LastDecodeWarnings() const {
  std::lock_guard lock(Guard());
  return lastWarnings_;
}

bool JpegGraphic::DecodeNatural(Image24& target, int x, int y, const std::atomic<bool>* cancel) const {
  DecodeOutcome outcome;
  if (orientation_ == kOrientationNormal) {
    PlaceSink sink(target, x, y);
    outcome = Decode(bytes_, 8, false, sink, cancel);
  } else {
    OrientSink sink(target, x, y, orientation_);
    outcome = Decode(bytes_, 8, false, sink, cancel);
  }
  if (outcome.cancelled) return false;
  lastWarnings_ = outcome.warnings;
  if (!outcome.started) target.FillRect(Rect{x, y, x + Width(), y + Height()}, kBlack);
  return true;
}

std::shared_ptr<MemoryImage24> JpegGraphic::RenderScaled(int width, int height,
                                                         const std::atomic<bool>* cancel) const {
  // Decoded and resampled as stored, at the drawn size turned back, then
  // put upright.
  const PictureSize stored = OrientedSize(orientation_, width, height);
  const int scale = ChooseJpegScale(storedWidth_, storedHeight_, stored.width, stored.height);
  const bool reduce = stored.width < storedWidth_ && stored.height < storedHeight_;
  auto image = std::make_shared<MemoryImage24>(stored.width, stored.height);
  ResampleSink sink(*image, Rect{0, 0, stored.width, stored.height});
  const DecodeOutcome outcome = Decode(bytes_, scale, reduce, sink, cancel);
  if (outcome.cancelled) return nullptr;
  lastWarnings_ = outcome.warnings;
  if (!outcome.started) image->Fill(kBlack);  // MemoryImage24 starts black; kept explicit
  MakeUpright(*image, orientation_);
  return image;
}

std::shared_ptr<MemoryImage24> JpegGraphic::Render(int width, int height, const std::atomic<bool>* cancel) const {
  if (width != Width() || height != Height()) return RenderScaled(width, height, cancel);
  // What a natural-size draw decodes.
  auto image = std::make_shared<MemoryImage24>(width, height);
  if (!DecodeNatural(*image, 0, 0, cancel)) return nullptr;
  return image;
}

void JpegGraphic::RenderInto(Image24& target, const Rect& rect) const {
  const int w = rect.Width();
  const int h = rect.Height();
  if (w == Width() && h == Height()) {
    // Straight into the target's rows.
    DecodeNatural(target, rect.left, rect.top, nullptr);
    return;
  }
  if (orientation_ != kOrientationNormal) {
    // Turned: drawn through a picture of its own.
    target.Draw(*RenderScaled(w, h, nullptr), rect.left, rect.top);
    return;
  }
  // Only the visible part is computed, straight into the target.
  const int scale = ChooseJpegScale(Width(), Height(), w, h);
  const bool reduce = w < Width() && h < Height();
  ResampleSink sink(target, rect);
  const DecodeOutcome outcome = Decode(bytes_, scale, reduce, sink);
  lastWarnings_ = outcome.warnings;
  if (!outcome.started) target.FillRect(rect, kBlack);
}

}  // namespace velmora
