// A saver's files in memory for the tests of saving, clearing and the
// elevated step: names and contents, every changing operation logged, and
// the n-th one (counting from 1) made to fail.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/SaverFiles.h"

namespace velmora::test {

#ifdef _WIN32
inline constexpr int kAccessDenied = 5;
inline constexpr int kSharingViolation = 32;
inline constexpr const char* kDir = "C:\\sys";
inline constexpr const wchar_t* kDirWide = L"C:\\sys";
#define VELMORA_TEST_SEP "\\"
#else
inline constexpr int kAccessDenied = 13;     // EACCES
inline constexpr int kSharingViolation = 16;  // EBUSY
inline constexpr const char* kDir = "/sys";
inline constexpr const wchar_t* kDirWide = L"/sys";
#define VELMORA_TEST_SEP "/"
#endif

struct FakeFiles : SaveFileSystem {
  std::map<std::string, std::string> files;
  std::vector<std::string> log;
  int failAt = 0;
  int failCode = kAccessDenied;
  CopyOutcome copyFailure = CopyOutcome::Failed;
  int operations = 0;
  // The file ReadBytes reads back otherwise than it was written.
  std::string garbledPath;
  // Files RemoveFile cannot delete, with the reason.
  std::map<std::string, int> undeletable;

  bool Failing(const std::string& what) {
    log.push_back(what);
    return ++operations == failAt;
  }
  bool Exists(const std::string& path) override { return files.count(path) != 0; }
  void WriteFrameSet(const std::string& path, const FrameList& list) override {
    if (Failing("write " + path)) throw EInOutError(failCode, "write failed");
    files[path] = "fms:" + std::to_string(list.Count() - 1) + ":" + list[0].Path();
  }
  CopyOutcome CopyFile(const std::string& from, const std::string& to, int& code) override {
    if (Failing("copy " + to)) {
      files[to] = "partial";
      code = failCode;
      return copyFailure;
    }
    files[to] = files.count(from) ? files[from] : "exe";
    return CopyOutcome::Copied;
  }
  bool WriteBytes(const std::string& path, std::string_view bytes, int& code) override {
    if (Failing("write " + path)) {
      files[path] = "partial";
      code = failCode;
      return false;
    }
    files[path] = std::string(bytes);
    return true;
  }
  std::optional<std::string> ReadBytes(const std::string& path) override {
    if (!files.count(path)) return std::nullopt;
    // A write that lands otherwise than asked (a disk that drops bytes).
    if (path == garbledPath) return files[path] + "?";
    return files[path];
  }
  void Rename(const std::string& from, const std::string& to) override {
    if (Failing("rename " + from + " > " + to) || !files.count(from))
      throw EInOutError(failCode, "rename failed");
    files[to] = files[from];
    files.erase(from);
  }
  bool Remove(const std::string& path) override {
    files.erase(path);
    return true;
  }
  // Paths of these tests are ASCII.
  bool RemoveFile(const std::wstring& path, int& errorCode) override {
    const std::string narrow(path.begin(), path.end());
    log.push_back("delete " + narrow);
    if (const auto refused = undeletable.find(narrow); refused != undeletable.end()) {
      errorCode = refused->second;
      return false;
    }
    files.erase(narrow);
    return true;
  }
};

}  // namespace velmora::test
