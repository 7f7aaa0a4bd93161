// The places the program reads from Windows: the system directory, the
// running executable's path and folder, the user's temporary folder. Read
// here and nowhere else.
#pragma once

#include <string>

namespace velmora {

// The system directory as GetSystemDirectoryA reports it; empty on failure.
std::string ReadSystemDirectory();
// The running executable's full path (GetModuleFileNameA); empty on failure.
std::string ReadExecutablePath();
// The same as UTF-16 (GetModuleFileNameW), for a path the code page may
// not hold.
std::wstring ReadExecutablePathWide();
// The folder part of an executable's path, with its trailing backslash;
// empty when the path has no folder.
std::string DirectoryOfPath(const std::string& path);
// The user's temporary folder (GetTempPathW) in its long form when there is
// one, ending with a backslash; empty on failure.
std::wstring ReadTempFolder();

// The user's Desktop and local application data folders
// (SHGetKnownFolderPath), without a trailing backslash; empty on failure.
std::wstring ReadDesktopFolder();
std::wstring ReadLocalAppDataFolder();

}  // namespace velmora
