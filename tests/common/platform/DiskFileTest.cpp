#include "common/platform/DiskFile.h"

#include "tests/support/TempDir.h"

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
#include <unistd.h>

namespace {

// The same name wide, and its UTF-8 bytes written out by hand.
const wchar_t kWideName[] = L"d\u00e9j\u00e0_\u65e5\u672c_\U0001F600.txt";
const char kUtf8Name[] = "d\xC3\xA9j\xC3\xA0_\xE6\x97\xA5\xE6\x9C\xAC_\xF0\x9F\x98\x80.txt";

// The names of a folder listing, "." and ".." left out; the folder is closed.
std::set<std::string> Entries(DIR* d)
{
    std::set<std::string> names;
    while (const dirent* e = d != nullptr ? readdir(d) : nullptr)
        if (e->d_name[0] != '.')
            names.insert(e->d_name);
    if (d != nullptr)
        closedir(d);
    return names;
}

}  // namespace

// Every wrapper hands the same UTF-8 conversion to the system; a few of them
// stand for all.
TEST(DiskFileWidePath, NonAsciiNamesReachTheSystemAsUtf8)
{
    CTempDir dir("zt_diskfile");
    ASSERT_FALSE(dir.Path().empty());
    const std::wstring wpath = dir.WPath() + L"/" + kWideName;
    int fd = CDiskFile::Unix_open(wpath.c_str(), O_CREAT | O_WRONLY | O_EXCL, 0600);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    ASSERT_EQ(write(fd, "hello", 5), 5);
    close(fd);
    EXPECT_EQ(Entries(opendir(dir.Path().c_str())), std::set<std::string>{kUtf8Name});

    // A link: lstat sees it, stat the file.
    const std::wstring wlink = dir.WPath() + L"/lien\u00e9";
    ASSERT_EQ(symlink(kUtf8Name, (dir.Path() + "/lien\xC3\xA9").c_str()), 0);
    struct stat64 st;
    ASSERT_EQ(CDiskFile::Unix_lstat(wlink.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(CDiskFile::Unix_stat(wlink.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 5);
    // Times after 2038 go through.
    const struct utimbuf times = {1000000000, static_cast<time_t>(2214131696LL)};
    EXPECT_EQ(CDiskFile::Unix_utime(wpath.c_str(), &times), 0);
    ASSERT_EQ(CDiskFile::Unix_stat(wpath.c_str(), &st), 0);
    EXPECT_EQ(static_cast<long long>(st.st_mtime), 2214131696LL);
    // The system's own answers come back unchanged.
    errno = 0;
    EXPECT_EQ(CDiskFile::Unix_open(wpath.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600), -1);
    EXPECT_EQ(errno, EEXIST);

    // Renamed into a folder under another non-ASCII name, listed, then removed.
    const std::wstring wsub = dir.WPath() + L"/sous-r\u00e9p", wto = wsub + L"/\u00fcber";
    ASSERT_EQ(CDiskFile::__Unix_mkdir(wsub.c_str(), 0755), 0);
    EXPECT_EQ(CDiskFile::__Unix_rename(wpath.c_str(), wto.c_str()), 0);
    EXPECT_EQ(Entries(CDiskFile::__Unix_opendir(wsub.c_str())), std::set<std::string>{"\xC3\xBC" "ber"});
    EXPECT_EQ(CDiskFile::Unix_unlink(wto.c_str()) + CDiskFile::Unix_unlink(wlink.c_str()), 0);
    EXPECT_EQ(CDiskFile::__Unix_rmdir(wsub.c_str()), 0);
    EXPECT_TRUE(Entries(opendir(dir.Path().c_str())).empty());
}

TEST(DiskFileWidePath, NullPathsFailWithoutReachingTheSystem)
{
    struct stat64 st;
    errno = 0;
    const int results[] = {
        CDiskFile::Unix_open(nullptr, O_RDONLY),  CDiskFile::Unix_open(nullptr, O_RDONLY, 0),
        CDiskFile::Unix_stat(nullptr, &st),       CDiskFile::Unix_lstat(nullptr, &st),
        CDiskFile::Unix_access(nullptr, F_OK),    CDiskFile::Unix_unlink(nullptr),
        CDiskFile::__Unix_rename(nullptr, L"/tmp/x"), CDiskFile::__Unix_rename(L"/tmp/zt_never_there", nullptr),
        CDiskFile::Unix_chdir(nullptr)};
    for (int r : results)
        EXPECT_EQ(r, -1);
    EXPECT_EQ(errno, EFAULT);
    EXPECT_EQ(CDiskFile::Unix_fopen(nullptr, "r"), nullptr);
    EXPECT_EQ(CDiskFile::__Unix_opendir(nullptr), nullptr);
}

TEST(DiskFileWidePath, LongPathsAndTheCurrentDirectory)
{
    CTempDir dir("zt_diskfile");
    char saved[PATH_MAX];
    ASSERT_NE(getcwd(saved, sizeof(saved)), nullptr);
    // Five levels of 120 two-byte characters: over 1,023 bytes of UTF-8.
    std::wstring wpath = dir.WPath();
    for (int i = 0; i < 5; ++i) {
        wpath += L"/" + std::wstring(120, L'\u00e9');
        ASSERT_EQ(CDiskFile::__Unix_mkdir(wpath.c_str(), 0755), 0) << i << " " << std::strerror(errno);
    }
    EXPECT_EQ(CDiskFile::Unix_chdir(wpath.c_str()), 0);
    wchar_t out[2048];
    EXPECT_TRUE(CDiskFile::Unix_getcwd(out, 2048));
    EXPECT_EQ(std::wstring(out), wpath);
    // getcwd gets n bytes: 700 characters do not hold 1,200 bytes.
    errno = 0;
    EXPECT_FALSE(CDiskFile::Unix_getcwd(out, 700));
    EXPECT_EQ(errno, ERANGE);
    EXPECT_FALSE(CDiskFile::Unix_getcwd(out, 0));
    ASSERT_EQ(chdir(saved), 0);
}

TEST(DiskFileWidePath, HomeDirectory)
{
    struct CSavedHome {
        bool bHad = std::getenv("HOME") != nullptr;
        std::string value = bHad ? std::getenv("HOME") : "";
        ~CSavedHome() { bHad ? setenv("HOME", value.c_str(), 1) : unsetenv("HOME"); }
    } savedHome;
    wchar_t out[64];
    setenv("HOME", "/home/t\xC3\xA9st", 1);
    EXPECT_EQ(CDiskFile::Unix_gethomedir(out, 11), 10);  // exactly the room
    EXPECT_STREQ(out, L"/home/t\u00e9st");
    EXPECT_EQ(CDiskFile::Unix_gethomedir(out, 10), 0);
    EXPECT_STREQ(out, L".");

    // Without HOME: the password entry of the real user.
    unsetenv("HOME");
    const passwd* pw = getpwuid(getuid());
    if (pw != nullptr && pw->pw_dir[0] != 0 && std::strlen(pw->pw_dir) < 64) {
        const std::string dir = pw->pw_dir;
        EXPECT_EQ(CDiskFile::Unix_gethomedir(out, 64), static_cast<int>(dir.size()));
        EXPECT_EQ(std::wstring(out), std::wstring(dir.begin(), dir.end()));
    }
}
