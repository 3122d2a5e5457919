#pragma once
// Saving a file so that an existing file is replaced only by a complete new one.
#include <string>

// Writes `contents` to a new file beside `path`, and only when every byte is
// written and synced, renames it over `path`. On failure the old file, if
// any, is left exactly as it was, no partial or temporary file remains, and
// `why` says what went wrong. Symbolic links are followed to the file they
// name, which is created if it does not exist; a loop of links fails. Where a
// rename cannot keep the file as it was - a file with other hard links, a
// file of another owner, a folder that may not be written - the file is
// written in place, just as safely: room is taken first, and a write that
// still fails puts back the old bytes. An existing pipe or character device
// is written as a stream: a pipe nobody reads fails at once, one that is read
// gets everything (a reader that takes nothing for 30 s fails the save). A
// write-protected file, one that may be written but not read in place, a
// block device or a socket is refused. A write past the file-size limit or
// into a pipe whose reader has gone fails with its error, whatever the
// program does with SIGXFSZ and SIGPIPE. The name is used as given, relative
// to the current directory.
bool ReplaceFileContents(const std::string& path, const std::string& contents, std::string& why);
