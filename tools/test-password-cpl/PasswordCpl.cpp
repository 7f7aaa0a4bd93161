// VerifyScreenSavePwd for tests. The answer comes from the file that the
// environment variable VELMORA_TEST_PASSWORD_FILE names: true when its first
// byte is '1', false otherwise (also when the file is missing). Every call
// appends a line to the same file name plus ".log", so a test can count the
// questions.
#include <windows.h>

#include <string>

namespace {

std::wstring AnswerFile() {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"VELMORA_TEST_PASSWORD_FILE", buffer,
                                                 static_cast<DWORD>(std::size(buffer)));
  if (length == 0 || length >= std::size(buffer)) return {};
  return std::wstring(buffer, length);
}

bool ReadAnswer(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char first = 0;
  DWORD read = 0;
  const bool ok = ::ReadFile(file, &first, 1, &read, nullptr) && read == 1;
  ::CloseHandle(file);
  return ok && first == '1';
}

void LogQuestion(const std::wstring& path, bool answer) {
  HANDLE file = ::CreateFileW((path + L".log").c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const char* line = answer ? "accepted\n" : "refused\n";
  DWORD written = 0;
  ::WriteFile(file, line, static_cast<DWORD>(std::char_traits<char>::length(line)), &written,
              nullptr);
  ::CloseHandle(file);
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND) {
  const std::wstring path = AnswerFile();
  const bool answer = !path.empty() && ReadAnswer(path);
  if (!path.empty()) LogQuestion(path, answer);
  return answer ? TRUE : FALSE;
}
