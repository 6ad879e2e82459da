#pragma once

// Output as if XON had come: undoes tcflow(TCOOFF) and, since the kernel
// resumes output held by a received XOFF only when IXON is switched off,
// switches IXON off and on again. 0 or an errno.
int resumeHeldOutput(int fd);
