// The platform's part of the captions: the date a picture was taken, the
// user's way of writing it, and the text shaped in the user interface's
// Chinese font. The saver window gives CaptionPictureWin32 to the player.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fade/Exif.h"
#include "saver/Caption.h"

namespace velmora {

// When the picture at path (8-bit, system code page) was taken: a JPEG's Exif
// block, another kind's metadata as the imaging component reads it. nullopt
// when the file says nothing valid.
std::optional<ExifDate> PictureDateTaken(const std::string& path);
// The picture's date: the date taken, else the file's last-write time as a
// local date. nullopt when neither can be read.
std::optional<ExifDate> PictureDate(const std::string& path);
// The date as the user's locale writes a long date (2024年5月3日 on a
// Traditional Chinese Windows); the clock time is left out and nothing is
// shifted between time zones. Empty when the system cannot write it.
std::wstring LongDateText(const ExifDate& date);
// The caption's text for the picture at path.
std::wstring CaptionTextFor(const std::string& path, CaptionMode mode);
// The text as coverage: white glyphs of the user interface's Chinese font,
// pixelHeight high, shaped by GDI. Empty when the text cannot be drawn.
CaptionMask RasterizeCaption(const std::wstring& text, int pixelHeight);
// A PictureCaptioner: the picture with its caption for mode.
std::shared_ptr<const Graphic> CaptionPictureWin32(const std::shared_ptr<const Graphic>& picture,
                                                   const std::string& path, CaptionMode mode, int sequence,
                                                   const std::vector<PictureWorker::DrawnSize>& sizes,
                                                   const std::atomic<bool>& cancel);

}  // namespace velmora
