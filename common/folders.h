// Folder creation for the session folders and the installer profile's folder.
#pragma once

#include <string>

namespace tavo {

// Creates the folder and every missing parent; an existing folder is fine.
// Fails with std::runtime_error naming the folder and the Windows error: the
// session treats a folder it cannot create as a standard exception, not as a
// Windows error, as std::filesystem::create_directories did before.
void CreateFolders(const std::wstring& path);

}  // namespace tavo
