#pragma once
// Saving a file so that an existing file is replaced only by a complete new one.
#include <string>

// Writes `contents` to a new file beside `path`, and only when every byte is
// written and the file is closed, renames it over `path`. On failure the old
// file, if any, is left exactly as it was, no partial file remains, and `why`
// says what went wrong. Symbolic links are followed to the file they name,
// which is created if it does not exist; a loop of links fails. Where a
// rename cannot keep the file as it was - a file with other hard links, a
// file of another owner, a folder that may not be written - the file is
// opened for writing and written in place, as are an existing character
// device or pipe (a pipe nobody reads fails rather than blocks). A
// write-protected file, a block device or a socket is refused. The name is
// used as given, relative to the current directory.
bool ReplaceFileContents(const std::string& path, const std::string& contents, std::string& why);
