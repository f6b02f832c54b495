// The disk file and the static operations of the file layer on wide paths.
#pragma once

#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <utime.h>

class CDiskFile {
public:
    // -----------------------------------------------------------------------
    // Wide-path system calls. Each hands its path(s) to the system function
    // as UTF-8 and answers the system's result unchanged, errno as the call
    // left it. A null path fails like the system call would (-1 or null,
    // errno EFAULT) without reaching the system.

    static int Unix_ropen(const wchar_t* path, int flags, unsigned mode);
    static int Unix_open(const wchar_t* path, int flags, unsigned mode);
    static int Unix_open(const wchar_t* path, int flags);
    static FILE* Unix_fopen(const wchar_t* path, const char* mode);
    static int Unix_stat(const wchar_t* path, struct stat64* status);
    static int Unix_lstat(const wchar_t* path, struct stat64* status);
    static int __Unix_statfs(const wchar_t* path, struct statfs64* status);
    static int Unix_access(const wchar_t* path, int mode);
    static int __Unix_chown(const wchar_t* path, unsigned uid, unsigned gid);
    static int Unix_chmod(const wchar_t* path, unsigned mode);
    static int Unix_utime(const wchar_t* path, const struct utimbuf* times);
    static int __Unix_rename(const wchar_t* from, const wchar_t* to);
    static int Unix_mkfifo(const wchar_t* path, unsigned mode);
    static int Unix_unlink(const wchar_t* path);
    static int __Unix_rmdir(const wchar_t* path);
    static int __Unix_mkdir(const wchar_t* path, unsigned mode);
    static DIR* __Unix_opendir(const wchar_t* path);
    static int Unix_chdir(const wchar_t* path);
    // A null command asks whether a shell is there, as system(NULL) does.
    static int Unix_system(const wchar_t* command);

    // The current directory into out (n characters; getcwd gets n bytes).
    static bool Unix_getcwd(wchar_t* out, unsigned n);
    // The home directory (HOME, else the real user's password entry) into
    // out (n characters); answers the characters written. With no home, or
    // one that does not fit, out is "." and the result 0.
    static int Unix_gethomedir(wchar_t* out, unsigned n);
};
