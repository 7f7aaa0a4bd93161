#include "fade/Picture.h"

namespace velmora {

void TPicture::SetGraphic(std::shared_ptr<const Graphic> graphic) {
  graphic_ = std::move(graphic);
  if (OnChange) OnChange();
}

}  // namespace velmora
