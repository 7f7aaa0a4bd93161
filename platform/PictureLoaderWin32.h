// Start-up of the picture and colour support of the Win32 layer.
#pragma once

namespace velmora {

// Call once at start-up, before the first picture is loaded or colour drawn:
// system colours (0x800000xx) resolve through GetSysColor, and LoadGraphic
// also opens enhanced metafiles (.emf), metafiles (.wmf), icons (.ico) and the
// kinds the system's imaging component decodes (kSystemDecodedExtensions:
// PNG, GIF, TIFF, WebP, JPEG XR; HEIC/HEIF too, but those the program
// decodes itself, which wins).
void InstallWin32Graphics();

}  // namespace velmora
