#include "editor/StripThumbnailsWin32.h"

#include <atomic>
#include <optional>
#include <system_error>

#include "platform/ProgressWindowWin32.h"

namespace velmora {

namespace {

// How long the thumbnails of a batch may take before the progress window shows.
constexpr ULONGLONG kProgressDelayMs = 1000;

// A new folder under the user's temporary folder; empty when none can be made.
std::filesystem::path MakeRunFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return {};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path folder = std::filesystem::path(temp) /
                                   (L"Velmora-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                    std::to_wstring(attempt));
    if (::CreateDirectoryW(folder.c_str(), nullptr)) return folder;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

}  // namespace

StripThumbnails::StripThumbnails()
    : folder_(MakeRunFolder()), store_(std::make_unique<ThumbnailStore>(folder_)) {}

StripThumbnails::~StripThumbnails() { DeleteAll(0); }

std::vector<bool> StripThumbnails::MakeThumbnails(const std::vector<std::string>& paths, std::int32_t firstNumber) {
  std::vector<ThumbnailJob> jobs;
  jobs.reserve(paths.size());
  for (std::size_t k = 0; k < paths.size(); ++k)
    jobs.push_back({paths[k], firstNumber + static_cast<std::int32_t>(k)});
  const ULONGLONG start = ::GetTickCount64();
  std::optional<ProgressWindow> progress;
  std::atomic<bool> cancel{false};
  auto report = [&](std::size_t done, std::size_t total) {
    if (!progress && done < total && ::GetTickCount64() - start > kProgressDelayMs) {
      progress.emplace();
      if (!progress->Start(owner_, "加入圖片", static_cast<int>(total))) progress.reset();
    }
    if (progress) {
      progress->Step(static_cast<int>(done));
      if (progress->Cancelled()) cancel = true;
    }
  };
  std::vector<bool> made = store_->MakeMany(jobs, report, &cancel);
  if (progress) progress->Finish();
  return made;
}

bool StripThumbnails::MakeOne(const std::string& path, std::int32_t number) { return store_->Make(path, number); }

std::shared_ptr<const MemoryImage24> StripThumbnails::Load(std::int32_t number) const { return store_->Load(number); }

void StripThumbnails::DeleteAll(std::int32_t below) {
  if (deleted_) return;
  deleted_ = true;
  if (below > 1) store_->DeleteAll(below);
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

}  // namespace velmora
