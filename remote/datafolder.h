#pragma once
// The one folder remote clients may write into (SWEep:SAVE): --data-dir, or
// the folder the server started in. A client names a file in it; nothing
// outside it is ever written, whatever the name says.
#include <optional>
#include <string>

namespace remote {

// Sets the data folder (made absolute); the programs set it at start.
void SetDataFolder(const std::string& dir);
// The data folder; the current folder at the first call when none was set.
const std::string& DataFolder();

// The path to write for the name a client gave, or nothing with the reason:
// a name with "..", an absolute path outside the folder, a path through a
// symbolic link that leads out, a folder that does not exist, or an existing
// file that is not a plain file (a device, a pipe, a folder, a socket).
std::optional<std::string> PathInDataFolder(const std::string& name, std::string& why);

}  // namespace remote
