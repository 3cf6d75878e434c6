// What a process stopped by a signal must not leave behind: a half-written package under a
// temporary name, and a private temporary folder with everything in it. The owner names them
// while they exist; the handler removes them and then lets the signal end the process as it
// would have.
#ifndef VARDEX_PDF_REMOVEONSTOP_H
#define VARDEX_PDF_REMOVEONSTOP_H

#include <sys/types.h>

// Installs the handler for SIGTERM, SIGINT, SIGHUP, SIGPIPE and SIGXFSZ. A signal the process
// was started with ignored stays ignored (a write past a file size limit then fails with
// EFBIG, and a closed pipe with EPIPE, which the writers report as such).
void RemoveOnStopInstall();

// The folder removed with what it holds, two levels deep; null or empty: none.
void RemoveOnStopFolder(const char* path);
// The file removed; null or empty: none.
void RemoveOnStopFile(const char* path);
// A child process that is sent the same signal and waited for before anything is removed,
// since it may still be writing into the folder; 0: none.
void RemoveOnStopChild(pid_t child);

#endif
