// HEVC pictures decoded with libde265, for HEIC/HEIF stills.
//
// HevcDecoder decodes the first picture of a stream of NAL units and keeps
// it in libde265's own planes, so a caller can convert it as it likes
// without a copy. Every sequence parameter set is read before the decoder
// sees it: a stream that sizes its pictures larger than the decoder's limit
// is refused before anything is allocated for them, however small the
// file.
//
// UseHevcDecoderForLibheif makes the same decoder the one libheif calls for
// the HEVC images it puts together itself (the tiles of a grid, an alpha
// plane), with the process-wide limit of SetLibheifPictureLimit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace velmora {

// The 8-bit planes of a decoded picture (cropped to its visible part), as
// the decoder holds them.
struct HevcPlanes {
  enum class Chroma { Grey, Yuv420, Yuv422, Yuv444 };
  Chroma chroma = Chroma::Grey;
  int width = 0;  // the luma plane's
  int height = 0;
  const std::uint8_t* data[3] = {};
  int stride[3] = {};
  int planeWidth[3] = {};
  int planeHeight[3] = {};
  int bitsPerSample = 8;          // of every plane
  int matrixCoefficients = 2;     // as the stream's video usability data says; 2 unspecified
  bool fullRange = false;
};

class HevcDecoder {
 public:
  // Pictures larger than maxPixels (as coded, before their crop) are
  // refused.
  explicit HevcDecoder(std::uint64_t maxPixels);
  ~HevcDecoder();
  HevcDecoder(const HevcDecoder&) = delete;
  HevcDecoder& operator=(const HevcDecoder&) = delete;

  // False when the decoder could not be set up (out of memory).
  bool Ready() const;
  void PushNal(const std::uint8_t* data, std::size_t size);
  // NAL units, each after its size in lengthSize (1..4) big-endian bytes;
  // false when one runs past the end of the data.
  bool PushSizedNals(const std::uint8_t* data, std::size_t size, int lengthSize);

  // Decodes what was pushed and gives its first picture, valid while this
  // decoder lives; nullopt when there is none (damaged data, a picture over
  // the limit, or one whose planes differ in depth).
  std::optional<HevcPlanes> Decode();
  // Whether a parameter set was refused: a picture over the limit, or one
  // whose size cannot be read.
  bool RefusedForSize() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Registers HevcDecoder with libheif (once per process; later calls do
// nothing), ahead of libheif's own libde265 decoder.
void UseHevcDecoderForLibheif();
// The largest picture the decoder libheif calls accepts; kMaxPicturePixels
// unless set lower (a fuzzer keeps its inputs small).
void SetLibheifPictureLimit(std::uint64_t maxPixels);

}  // namespace velmora
