#pragma once
// What every program does first, before anything else runs.

// SIGXFSZ is ignored: a write past the file-size limit (ulimit -f) fails with
// EFBIG, and the save reports it, instead of the program ending with a
// partial or temporary file left behind.
void PrepareProcess();
