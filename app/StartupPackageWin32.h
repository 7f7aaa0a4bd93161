// Start-up's look for a show carried in the program's own file (an exported
// saver): such a file plays and edits the show it carries wherever it is,
// unless it is a saver of this PC with its frame-set file beside it in the
// system directory.
#pragma once

#include <string>

#include "app/Startup.h"

namespace velmora {

// The folder (under the user's local application data folder) in which the
// carried shows' pictures are taken out for the editor.
inline constexpr wchar_t kTakeOutBase[] = L"Velmora 99";

// Makes the carried show, when there is one, the show this process plays
// (the pictures read from the file where they lie) or edits (the pictures
// taken out first). A damaged one plays nothing; in the configure mode it
// is named in a message and the function returns false: the process ends.
bool UseCarriedShow(const std::wstring& exePath, SaverMode mode);

}  // namespace velmora
