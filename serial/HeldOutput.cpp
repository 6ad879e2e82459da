#include "serial/HeldOutput.h"

// The kernel's own termios, on its own: glibc's tcsetattr reads the settings
// before and after each write, and this runs before every request.
#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

int resumeHeldOutput(int fd)
{
    if (ioctl(fd, TCXONC, TCOON) != 0)
        return errno;
    termios on{};
    if (ioctl(fd, TCGETS, &on) != 0)
        return errno;
    if (!(on.c_iflag & IXON))
        return 0;
    termios off = on;
    off.c_iflag &= ~IXON;
    if (ioctl(fd, TCSETS, &off) != 0)
        return errno;
    return ioctl(fd, TCSETS, &on) == 0 ? 0 : errno;
}
