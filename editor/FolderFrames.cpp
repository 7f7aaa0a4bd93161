#include "editor/FolderFrames.h"

#include <algorithm>

namespace velmora {

namespace {

bool ListWith(const FolderLister& lister, const std::string& folder, bool includeSubfolders,
              const FolderPictureVisitor& visit, const std::atomic<bool>* cancel) {
  if (lister) return lister(folder, includeSubfolders, visit, cancel);
  return ForEachFolderPicture(folder, includeSubfolders, visit, cancel);
}

}  // namespace

std::string FolderNamePart(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
  const std::size_t cut = trimmed.find_last_of("\\/:");
  if (cut == std::string::npos) return trimmed;
  // "C:" or "C:\": the drive itself is the name.
  if (trimmed[cut] == ':' && cut + 1 == trimmed.size()) return path;
  if (cut + 1 == trimmed.size()) return path;
  return trimmed.substr(cut + 1);
}

std::string FolderSlotLabel(const std::string& nameUtf8, std::optional<std::int64_t> count) {
  // Plain characters: the label's font may have no others.
  if (!count) return nameUtf8 + " (...)";
  return nameUtf8 + " (" + std::to_string(*count) + ")";
}

void DrawFolderMark(Image24& image) {
  const int side = std::min(image.Width(), image.Height());
  if (side < 8) return;
  // A manila folder with a dark outline, a quarter of the picture wide.
  const int w = std::max(8, side / 4);
  const int h = w * 3 / 4;
  const int x = std::max(1, side / 28);
  const int y = x;
  const int tab = std::max(2, h / 5);
  constexpr TColor kOutline = 0x00203040;  // dark brown
  constexpr TColor kBody = 0x0040C8F0;     // folder yellow (BGR order)
  constexpr TColor kTab = 0x0030A8D8;
  image.FillRect(Rect{x, y, x + w * 2 / 5 + 1, y + tab + 1}, kOutline);
  image.FillRect(Rect{x + 1, y + 1, x + w * 2 / 5, y + tab + 1}, kTab);
  image.FillRect(Rect{x, y + tab, x + w, y + h}, kOutline);
  image.FillRect(Rect{x + 1, y + tab + 1, x + w - 1, y + h - 1}, kBody);
}

std::optional<std::string> FirstFolderPicture(const std::string& folder, bool includeSubfolders,
                                              const std::atomic<bool>* cancel, const FolderLister& lister) {
  std::optional<std::string> first;
  ListWith(
      lister, folder, includeSubfolders,
      [&](const std::string& path) {
        first = path;
        return false;
      },
      cancel);
  return first;
}

FolderCounter::FolderCounter(Result result, FolderLister lister)
    : result_(std::move(result)), lister_(std::move(lister)), worker_([this] { Work(); }) {}

FolderCounter::~FolderCounter() {
  Stop();
  if (worker_.joinable()) worker_.join();
}

void FolderCounter::Count(const std::string& folder, bool includeSubfolders) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    const std::pair<std::string, bool> request{folder, includeSubfolders};
    if (std::find(waiting_.begin(), waiting_.end(), request) != waiting_.end()) return;
    waiting_.push_back(request);
  }
  wake_.notify_one();
}

void FolderCounter::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    waiting_.clear();
  }
  cancel_ = true;
  wake_.notify_one();
}

std::size_t FolderCounter::Outstanding() const {
  std::lock_guard lock(mutex_);
  return waiting_.size() + (running_ ? 1 : 0);
}

void FolderCounter::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (stopping_) return;
    const auto [folder, includeSubfolders] = std::move(waiting_.front());
    waiting_.pop_front();
    running_ = true;
    lock.unlock();
    std::int64_t count = 0;
    bool listed = false;
    try {
      listed = ListWith(
          lister_, folder, includeSubfolders,
          [&](const std::string&) {
            ++count;
            return true;
          },
          &cancel_);
    } catch (...) {
      listed = false;  // counted as a folder that cannot be read
    }
    lock.lock();
    running_ = false;
    if (stopping_) return;
    // Under the lock: nothing is reported once Stop has returned.
    result_(folder, includeSubfolders, listed ? std::optional<std::int64_t>(count) : std::nullopt);
  }
}

}  // namespace velmora
