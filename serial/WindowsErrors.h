#pragma once

// The errno kind of a Windows error code, so that a failure on Windows is
// told in the same words as the same failure on Linux: a missing device
// (ENOENT), one in use (EBUSY), one without hardware behind it (ENODEV), one
// that does not answer (EIO), access refused (EACCES)... 0 for 0. A code
// with no such kind gives EINVAL, as the C runtime's own mapping does.
int errnoOfWindowsError(unsigned long code);
