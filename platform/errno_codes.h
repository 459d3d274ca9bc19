#pragma once

// The I/O error code (see IoErrorCode) that stands for a POSIX errno value.
// Errors without a code of their own get the Windows system code of the same
// meaning, so that no message ever says something else than what happened.
int IoErrorCodeFromErrno(int error);
