/* Lets the packaged ircd-ircu start under a hard RLIMIT_NOFILE below the one it was compiled
 * for: getrlimit reports a large hard limit, and close() of a descriptor the process cannot
 * have fails at once instead of costing a system call (ircu closes every descriptor up to
 * its compiled maximum when it starts). Preloaded by the test fixture only. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <sys/resource.h>
#include <unistd.h>

static rlim_t real_hard_limit(void) {
    static rlim_t hard = 0;
    if (!hard) {
        struct rlimit r;
        int (*real)(int, struct rlimit*) = (int (*)(int, struct rlimit*))dlsym(RTLD_NEXT, "getrlimit");
        hard = (real && real(RLIMIT_NOFILE, &r) == 0) ? r.rlim_max : 1024;
    }
    return hard;
}

int getrlimit(__rlimit_resource_t resource, struct rlimit* rl) {
    int (*real)(int, struct rlimit*) = (int (*)(int, struct rlimit*))dlsym(RTLD_NEXT, "getrlimit");
    int result = real(resource, rl);
    if (result == 0 && resource == RLIMIT_NOFILE) {
        rl->rlim_max = 2000000;
        if (rl->rlim_cur > rl->rlim_max) rl->rlim_cur = rl->rlim_max;
    }
    return result;
}

int setrlimit(__rlimit_resource_t resource, const struct rlimit* rl) {
    int (*real)(int, const struct rlimit*) =
        (int (*)(int, const struct rlimit*))dlsym(RTLD_NEXT, "setrlimit");
    if (resource == RLIMIT_NOFILE) {
        struct rlimit clipped = *rl;
        rlim_t hard = real_hard_limit();
        if (clipped.rlim_max > hard) clipped.rlim_max = hard;
        if (clipped.rlim_cur > hard) clipped.rlim_cur = hard;
        return real(resource, &clipped);
    }
    return real(resource, rl);
}

int close(int fd) {
    static int (*real)(int) = 0;
    if (!real) real = (int (*)(int))dlsym(RTLD_NEXT, "close");
    if (fd < 0 || (rlim_t)fd >= real_hard_limit()) {
        errno = EBADF;
        return -1;
    }
    return real(fd);
}
