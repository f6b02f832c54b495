#include "common/platform/DiskFile.h"

#include "common/platform/UTF8Buffer.h"
#include "common/text/SysUtils.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

int CDiskFile::Unix_ropen(const wchar_t* path, int flags, unsigned mode)
{
    return Unix_open(path, flags, mode);
}

int CDiskFile::Unix_open(const wchar_t* path, int flags, unsigned mode)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? open64(utf8.pszGet(), flags, mode) : -1;
}

int CDiskFile::Unix_open(const wchar_t* path, int flags)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? open64(utf8.pszGet(), flags) : -1;
}

FILE* CDiskFile::Unix_fopen(const wchar_t* path, const char* mode)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? fopen64(utf8.pszGet(), mode) : nullptr;
}

int CDiskFile::Unix_stat(const wchar_t* path, struct stat64* status)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? stat64(utf8.pszGet(), status) : -1;
}

int CDiskFile::Unix_lstat(const wchar_t* path, struct stat64* status)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? lstat64(utf8.pszGet(), status) : -1;
}

int CDiskFile::__Unix_statfs(const wchar_t* path, struct statfs64* status)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? statfs64(utf8.pszGet(), status) : -1;
}

int CDiskFile::Unix_access(const wchar_t* path, int mode)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? access(utf8.pszGet(), mode) : -1;
}

int CDiskFile::__Unix_chown(const wchar_t* path, unsigned uid, unsigned gid)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? chown(utf8.pszGet(), static_cast<uid_t>(uid), static_cast<gid_t>(gid)) : -1;
}

int CDiskFile::Unix_chmod(const wchar_t* path, unsigned mode)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? chmod(utf8.pszGet(), static_cast<mode_t>(mode)) : -1;
}

int CDiskFile::Unix_utime(const wchar_t* path, const struct utimbuf* times)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? utime(utf8.pszGet(), times) : -1;
}

int CDiskFile::__Unix_rename(const wchar_t* from, const wchar_t* to)
{
    CUTF8Buffer utf8From(from);
    if (utf8From.pszGet() == nullptr)
        return -1;
    CUTF8Buffer utf8To(to);
    return utf8To.pszGet() ? rename(utf8From.pszGet(), utf8To.pszGet()) : -1;
}

int CDiskFile::Unix_mkfifo(const wchar_t* path, unsigned mode)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? mkfifo(utf8.pszGet(), static_cast<mode_t>(mode)) : -1;
}

int CDiskFile::Unix_unlink(const wchar_t* path)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? unlink(utf8.pszGet()) : -1;
}

int CDiskFile::__Unix_rmdir(const wchar_t* path)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? rmdir(utf8.pszGet()) : -1;
}

int CDiskFile::__Unix_mkdir(const wchar_t* path, unsigned mode)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? mkdir(utf8.pszGet(), static_cast<mode_t>(mode)) : -1;
}

DIR* CDiskFile::__Unix_opendir(const wchar_t* path)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? opendir(utf8.pszGet()) : nullptr;
}

int CDiskFile::Unix_chdir(const wchar_t* path)
{
    CUTF8Buffer utf8(path);
    return utf8.pszGet() ? chdir(utf8.pszGet()) : -1;
}

int CDiskFile::Unix_system(const wchar_t* command)
{
    if (command == nullptr)
        return std::system(nullptr);
    CUTF8Buffer utf8(command);
    return utf8.pszGet() ? std::system(utf8.pszGet()) : -1;
}

bool CDiskFile::Unix_getcwd(wchar_t* out, unsigned n)
{
    if (out == nullptr || n == 0) {
        errno = EINVAL;
        return false;
    }
    // n bytes, on the stack when small.
    char szLocal[1024];
    char* p = szLocal;
    char* pHeap = nullptr;
    if (n > sizeof(szLocal)) {
        pHeap = static_cast<char*>(XMALLOC_pNew_(n));
        if (pHeap == nullptr) {
            errno = ENOMEM;
            return false;
        }
        p = pHeap;
    }
    bool bOk = getcwd(p, n) != nullptr;
    // A UTF-8 text that fits n bytes always fits n characters.
    if (bOk && nUTF8ToWideBounded(p, -1, out, n) < 0) {
        errno = ERANGE;
        bOk = false;
    }
    XMALLOC_Del_(pHeap);
    return bOk;
}

int CDiskFile::Unix_gethomedir(wchar_t* out, unsigned n)
{
    if (out == nullptr || n == 0)
        return 0;
    const char* home = std::getenv("HOME");
    if (home == nullptr) {
        const passwd* pw = getpwuid(getuid());
        if (pw != nullptr)
            home = pw->pw_dir;
    }
    if (home != nullptr) {
        const int nChars = nUTF8ToWideBounded(home, -1, out, n);
        if (nChars > 0)
            return nChars;
    }
    // No usable home: the current directory stands for it.
    out[0] = 0;
    if (n >= 2) {
        out[0] = L'.';
        out[1] = 0;
    }
    return 0;
}
