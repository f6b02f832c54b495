#include "common/platform/DiskFile.h"

#include "tests/support/TempDir.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

namespace {

// The same name three ways: wide, and its UTF-8 bytes written out by hand.
const wchar_t kWideName[] = L"d\u00e9j\u00e0_\u65e5\u672c_\U0001F600.txt";
const char kUtf8Name[] = "d\xC3\xA9j\xC3\xA0_\xE6\x97\xA5\xE6\x9C\xAC_\xF0\x9F\x98\x80.txt";

std::set<std::string> Entries(const std::string& dir)
{
    std::set<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr)
        return names;
    while (const dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.insert(e->d_name);
    closedir(d);
    return names;
}

class CSavedEnv {
public:
    explicit CSavedEnv(const char* name) : m_name(name)
    {
        const char* v = std::getenv(name);
        m_bHad = v != nullptr;
        if (m_bHad)
            m_value = v;
    }
    ~CSavedEnv()
    {
        if (m_bHad)
            setenv(m_name.c_str(), m_value.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::string m_value;
    bool m_bHad;
};

TEST(DiskFileWidePath, FilesWithNonAsciiNamesAreUtf8OnDisk)
{
    CTempDir dir("zt_diskfile");
    ASSERT_FALSE(dir.Path().empty());
    const std::wstring wpath = dir.WPath() + L"/" + kWideName;
    const std::string path = dir.Path() + "/" + kUtf8Name;
    const mode_t oldMask = umask(022);
    int fd = CDiskFile::Unix_open(wpath.c_str(), O_CREAT | O_WRONLY | O_EXCL, 0640);
    umask(oldMask);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    ASSERT_EQ(write(fd, "hello", 5), 5);
    close(fd);
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{kUtf8Name});

    struct stat64 st;
    ASSERT_EQ(CDiskFile::Unix_stat(wpath.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 5);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    char buf[8] = {};
    fd = CDiskFile::Unix_ropen(wpath.c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(read(fd, buf, sizeof(buf)), 5);
    close(fd);
    EXPECT_STREQ(buf, "hello");
    fd = CDiskFile::Unix_open(wpath.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    close(fd);

    FILE* f = CDiskFile::Unix_fopen(wpath.c_str(), "a");
    ASSERT_NE(f, nullptr);
    std::fputs(" world", f);
    std::fclose(f);
    f = CDiskFile::Unix_fopen(wpath.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char line[32] = {};
    ASSERT_NE(std::fgets(line, sizeof(line), f), nullptr);
    std::fclose(f);
    EXPECT_STREQ(line, "hello world");

    // The system's own answers come back unchanged.
    const std::wstring missing = dir.WPath() + L"/absent\u00e9";
    errno = 0;
    EXPECT_EQ(CDiskFile::Unix_open(missing.c_str(), O_RDONLY), -1);
    EXPECT_EQ(errno, ENOENT);
    errno = 0;
    EXPECT_EQ(CDiskFile::Unix_fopen(missing.c_str(), "r"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    fd = CDiskFile::Unix_open(wpath.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
    EXPECT_EQ(fd, -1);
    EXPECT_EQ(errno, EEXIST);
}

TEST(DiskFileWidePath, StatusAccessAndPermissions)
{
    CTempDir dir("zt_diskfile");
    const std::wstring wpath = dir.WPath() + L"/" + kWideName;
    const std::string path = dir.Path() + "/" + kUtf8Name;
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0640);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);

    // A link with a non-ASCII name: lstat sees the link, stat the file.
    const std::wstring wlink = dir.WPath() + L"/lien\u00e9";
    ASSERT_EQ(symlink(kUtf8Name, (dir.Path() + "/lien\xC3\xA9").c_str()), 0);
    struct stat64 st;
    ASSERT_EQ(CDiskFile::Unix_lstat(wlink.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(CDiskFile::Unix_stat(wlink.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));

    struct statfs64 fs, fsDirect;
    ASSERT_EQ(CDiskFile::__Unix_statfs(wpath.c_str(), &fs), 0);
    ASSERT_EQ(statfs64(path.c_str(), &fsDirect), 0);
    EXPECT_GT(fs.f_bsize, 0);
    EXPECT_EQ(fs.f_type, fsDirect.f_type);
    EXPECT_EQ(fs.f_blocks, fsDirect.f_blocks);

    EXPECT_EQ(CDiskFile::Unix_access(wpath.c_str(), F_OK), 0);
    EXPECT_EQ(CDiskFile::Unix_access(wpath.c_str(), X_OK), -1);
    EXPECT_EQ(CDiskFile::Unix_chmod(wpath.c_str(), 0750), 0);
    struct stat plain;
    ASSERT_EQ(stat(path.c_str(), &plain), 0);
    EXPECT_EQ(plain.st_mode & 0777, 0750u);
    EXPECT_EQ(CDiskFile::Unix_access(wpath.c_str(), X_OK), 0);

    EXPECT_EQ(CDiskFile::__Unix_chown(wpath.c_str(), getuid(), getgid()), 0);
    if (geteuid() == 0) {
        EXPECT_EQ(CDiskFile::__Unix_chown(wpath.c_str(), 4321, 4322), 0);
        ASSERT_EQ(stat(path.c_str(), &plain), 0);
        EXPECT_EQ(plain.st_uid, 4321u);
        EXPECT_EQ(plain.st_gid, 4322u);
    }

    // Times after 2038 go through.
    const struct utimbuf times = {1000000000, static_cast<time_t>(2214131696LL)};
    EXPECT_EQ(CDiskFile::Unix_utime(wpath.c_str(), &times), 0);
    ASSERT_EQ(stat(path.c_str(), &plain), 0);
    EXPECT_EQ(static_cast<long long>(plain.st_atime), 1000000000LL);
    EXPECT_EQ(static_cast<long long>(plain.st_mtime), 2214131696LL);
}

TEST(DiskFileWidePath, DirectoriesRenameFifoAndUnlink)
{
    CTempDir dir("zt_diskfile");
    const std::wstring wsub = dir.WPath() + L"/sous-r\u00e9p";
    const std::string sub = dir.Path() + "/sous-r\xC3\xA9p";
    ASSERT_EQ(CDiskFile::__Unix_mkdir(wsub.c_str(), 0755), 0);
    struct stat plain;
    ASSERT_EQ(stat(sub.c_str(), &plain), 0);
    EXPECT_TRUE(S_ISDIR(plain.st_mode));
    EXPECT_EQ(CDiskFile::__Unix_mkdir(wsub.c_str(), 0755), -1);
    EXPECT_EQ(errno, EEXIST);

    // A file renamed into the folder under another non-ASCII name.
    const std::wstring wfrom = dir.WPath() + L"/" + kWideName;
    const int fd = open((dir.Path() + "/" + kUtf8Name).c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
    const std::wstring wto = wsub + L"/\u00fcber";
    EXPECT_EQ(CDiskFile::__Unix_rename(wfrom.c_str(), wto.c_str()), 0);
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"sous-r\xC3\xA9p"});
    EXPECT_EQ(Entries(sub), std::set<std::string>{"\xC3\xBC" "ber"});
    EXPECT_EQ(CDiskFile::__Unix_rename(wfrom.c_str(), wto.c_str()), -1);
    EXPECT_EQ(errno, ENOENT);

    const std::wstring wfifo = wsub + L"/tube\u00e9";
    EXPECT_EQ(CDiskFile::Unix_mkfifo(wfifo.c_str(), 0600), 0);
    ASSERT_EQ(stat((sub + "/tube\xC3\xA9").c_str(), &plain), 0);
    EXPECT_TRUE(S_ISFIFO(plain.st_mode));

    // The folder lists both through the wide opener.
    DIR* d = CDiskFile::__Unix_opendir(wsub.c_str());
    ASSERT_NE(d, nullptr);
    std::set<std::string> names;
    while (const dirent* e = readdir(d))
        names.insert(e->d_name);
    closedir(d);
    EXPECT_EQ(names, (std::set<std::string>{".", "..", "\xC3\xBC" "ber", "tube\xC3\xA9"}));
    errno = 0;
    EXPECT_EQ(CDiskFile::__Unix_opendir((dir.WPath() + L"/none").c_str()), nullptr);
    EXPECT_EQ(errno, ENOENT);

    EXPECT_EQ(CDiskFile::__Unix_rmdir(wsub.c_str()), -1);
    EXPECT_EQ(errno, ENOTEMPTY);
    EXPECT_EQ(CDiskFile::Unix_unlink(wfifo.c_str()), 0);
    EXPECT_EQ(CDiskFile::Unix_unlink(wto.c_str()), 0);
    EXPECT_EQ(CDiskFile::Unix_unlink(wto.c_str()), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(CDiskFile::__Unix_rmdir(wsub.c_str()), 0);
    EXPECT_TRUE(Entries(dir.Path()).empty());
}

TEST(DiskFileWidePath, NullPathsFailWithoutReachingTheSystem)
{
    struct stat64 st;
    errno = 0;
    EXPECT_EQ(CDiskFile::Unix_open(nullptr, O_RDONLY), -1);
    EXPECT_EQ(errno, EFAULT);
    EXPECT_EQ(CDiskFile::Unix_open(nullptr, O_RDONLY, 0), -1);
    EXPECT_EQ(CDiskFile::Unix_fopen(nullptr, "r"), nullptr);
    EXPECT_EQ(CDiskFile::Unix_stat(nullptr, &st), -1);
    EXPECT_EQ(CDiskFile::Unix_lstat(nullptr, &st), -1);
    EXPECT_EQ(CDiskFile::Unix_access(nullptr, F_OK), -1);
    EXPECT_EQ(CDiskFile::Unix_unlink(nullptr), -1);
    EXPECT_EQ(CDiskFile::__Unix_opendir(nullptr), nullptr);
    EXPECT_EQ(CDiskFile::__Unix_rename(nullptr, L"/tmp/x"), -1);
    EXPECT_EQ(CDiskFile::__Unix_rename(L"/tmp/zt_never_there", nullptr), -1);
    EXPECT_EQ(CDiskFile::Unix_chdir(nullptr), -1);
    EXPECT_EQ(errno, EFAULT);
}

TEST(DiskFileWidePath, LongPathsAndTheCurrentDirectory)
{
    CTempDir dir("zt_diskfile");
    char saved[PATH_MAX];
    ASSERT_NE(getcwd(saved, sizeof(saved)), nullptr);

    // Five levels of 120 two-byte characters: over 1,023 bytes of UTF-8.
    const std::wstring wlevel(120, L'\u00e9');
    std::string level;
    for (int i = 0; i < 120; ++i)
        level += "\xC3\xA9";
    std::wstring wpath = dir.WPath();
    std::string path = dir.Path();
    for (int i = 0; i < 5; ++i) {
        wpath += L"/" + wlevel;
        path += "/" + level;
        ASSERT_EQ(CDiskFile::__Unix_mkdir(wpath.c_str(), 0755), 0) << i << " " << std::strerror(errno);
    }
    ASSERT_GT(path.size(), 1200u);
    const std::wstring wfile = wpath + L"/f";
    const int fd = CDiskFile::Unix_open(wfile.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
    struct stat plain;
    EXPECT_EQ(stat((path + "/f").c_str(), &plain), 0);

    EXPECT_EQ(CDiskFile::Unix_chdir(wpath.c_str()), 0);
    wchar_t out[2048];
    EXPECT_TRUE(CDiskFile::Unix_getcwd(out, 2048));
    EXPECT_EQ(std::wstring(out), wpath);
    // getcwd gets n bytes: 700 characters do not hold 1,200 bytes.
    errno = 0;
    EXPECT_FALSE(CDiskFile::Unix_getcwd(out, 700));
    EXPECT_EQ(errno, ERANGE);
    EXPECT_FALSE(CDiskFile::Unix_getcwd(out, 0));

    EXPECT_EQ(CDiskFile::Unix_chdir(dir.WPath().c_str()), 0);
    EXPECT_TRUE(CDiskFile::Unix_getcwd(out, 2048));
    EXPECT_EQ(std::wstring(out), dir.WPath());
    ASSERT_EQ(chdir(saved), 0);
}

TEST(DiskFileWidePath, SystemCommand)
{
    CTempDir dir("zt_diskfile");
    const std::wstring command = L"printf x > '" + dir.WPath() + L"/sys\u00e9'";
    const int r = CDiskFile::Unix_system(command.c_str());
    ASSERT_TRUE(WIFEXITED(r));
    EXPECT_EQ(WEXITSTATUS(r), 0);
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"sys\xC3\xA9"});
    const int r3 = CDiskFile::Unix_system(L"exit 3");
    ASSERT_TRUE(WIFEXITED(r3));
    EXPECT_EQ(WEXITSTATUS(r3), 3);
    EXPECT_NE(CDiskFile::Unix_system(nullptr), 0) << "a shell is there";
}

TEST(DiskFileWidePath, HomeDirectory)
{
    CSavedEnv savedHome("HOME");
    wchar_t out[64];
    setenv("HOME", "/home/t\xC3\xA9st", 1);
    EXPECT_EQ(CDiskFile::Unix_gethomedir(out, 64), 10);
    EXPECT_STREQ(out, L"/home/t\u00e9st");
    // Exactly the room, then one short.
    EXPECT_EQ(CDiskFile::Unix_gethomedir(out, 11), 10);
    EXPECT_EQ(CDiskFile::Unix_gethomedir(out, 10), 0);
    EXPECT_STREQ(out, L".");

    // Without HOME: the password entry of the real user.
    unsetenv("HOME");
    const passwd* pw = getpwuid(getuid());
    if (pw != nullptr) {
        const std::string dir = pw->pw_dir;
        const int n = CDiskFile::Unix_gethomedir(out, 64);
        if (dir.size() < 64 && !dir.empty()) {
            EXPECT_EQ(n, static_cast<int>(dir.size()));
            EXPECT_EQ(std::wstring(out), std::wstring(dir.begin(), dir.end()));
        }
    }

    // Neither: a user with no password entry (only root can become one).
    if (geteuid() == 0) {
        uid_t uid = 54321;
        while (getpwuid(uid) != nullptr)
            ++uid;
        const pid_t pid = fork();
        if (pid == 0) {
            if (setuid(uid) != 0)
                _exit(90);
            wchar_t child[8] = L"xxxxxxx";
            const int n = CDiskFile::Unix_gethomedir(child, 8);
            _exit(n == 0 && std::wcscmp(child, L".") == 0 ? 0 : 91);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}

}  // namespace
