#include "platform/PictureLoaderWin32.h"

#include <windows.h>

#include "fade/Graphics.h"
#include "fade/PictureLoader.h"
#include "fade/PictureProbe.h"
#include "platform/IconGraphicWin32.h"
#include "platform/MetafileGraphicWin32.h"
#include "platform/WicGraphicWin32.h"

namespace velmora {
namespace {

TColor SystemColor(int index) { return TColor(::GetSysColor(index)); }

std::shared_ptr<const Graphic> OpenMetafile(const std::string& path) { return MetafileGraphic::FromFile(path); }
std::shared_ptr<const Graphic> OpenIcon(const std::string& path) { return IconGraphic::FromFile(path); }
std::shared_ptr<const Graphic> OpenWic(const std::string& path) { return WicGraphic::FromFile(path); }

}  // namespace

void InstallWin32Graphics() {
  SetSystemColorResolver(&SystemColor);
  RegisterGraphicOpener(".emf", &OpenMetafile);
  RegisterGraphicOpener(".wmf", &OpenMetafile);
  RegisterGraphicOpener(".ico", &OpenIcon);
  // The program's own decoders (HEIC) win over the imaging component.
  for (const std::string_view extension : kSystemDecodedExtensions)
    if (!IsPictureFileName(std::string(extension))) RegisterGraphicOpener(extension, &OpenWic);
}

}  // namespace velmora
