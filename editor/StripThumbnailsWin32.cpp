#include "editor/StripThumbnailsWin32.h"

namespace velmora {

// No thumbnail store yet: every slot loads its picture file itself.
StripThumbnails::StripThumbnails() = default;
StripThumbnails::~StripThumbnails() = default;

std::vector<bool> StripThumbnails::MakeThumbnails(const std::vector<std::string>& paths, std::int32_t) {
  return std::vector<bool>(paths.size(), false);
}

bool StripThumbnails::MakeOne(const std::string&, std::int32_t) { return false; }

std::shared_ptr<const Image24> StripThumbnails::Load(std::int32_t) const { return nullptr; }

void StripThumbnails::DeleteAll(std::int32_t) {}

}  // namespace velmora
