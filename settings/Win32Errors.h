// Windows' error codes as the errno values the engine's messages know, so that
// one text per cause serves both systems. Built on Windows only.
#pragma once

// ERROR_ACCESS_DENIED -> EACCES, ERROR_DISK_FULL -> ENOSPC, ...; EIO for the rest.
int ErrnoFromWin32(unsigned long error);
