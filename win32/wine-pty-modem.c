/* Preloaded into Wine by run-tests.sh. A Linux pseudo-terminal has no modem
 * lines, and Wine ends every WaitCommEvent at once when it cannot read them
 * (TIOCMGET answers ENOTTY). For a pseudo-terminal this answers the query as
 * a cabled line would (DSR, CTS and CD on), so the waits can be tested on
 * dadiz-sim. Every other call goes through unchanged. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

static int is_pseudo_terminal(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return 0;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143;
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real_ioctl)(int, unsigned long, ...);
    if (!real_ioctl)
        real_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    const int rc = real_ioctl(fd, request, arg);
    if (rc != 0 && errno == ENOTTY && request == TIOCMGET && arg && is_pseudo_terminal(fd)) {
        *(int *)arg = TIOCM_DSR | TIOCM_CTS | TIOCM_CD;
        return 0;
    }
    return rc;
}
