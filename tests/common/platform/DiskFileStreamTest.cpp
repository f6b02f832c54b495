// The disk file as a stream: open modes and the created flag, whole-file
// locks against another process, exact and counted reads, sizes, copies.
#include "common/platform/DiskFile.h"

#include "common/platform/XError.h"
#include "common/text/TQBIN.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// A child process that holds a whole-file lock until it is killed.
class CLockHolder {
public:
    CLockHolder(const std::string& path, bool bWrite)
    {
        int p[2];
        if (pipe(p) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            close(p[0]);
            int fd = open(path.c_str(), bWrite ? O_RDWR : O_RDONLY);
            struct flock lock = {};
            lock.l_type = bWrite ? F_WRLCK : F_RDLCK;
            lock.l_whence = SEEK_SET;
            char c = (fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0) ? 'y' : 'n';
            (void)!write(p[1], &c, 1);
            pause();
            _exit(0);
        }
        close(p[1]);
        char c = 0;
        m_bLocked = read(p[0], &c, 1) == 1 && c == 'y';
        close(p[0]);
    }
    ~CLockHolder()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    bool bLocked() const { return m_bLocked; }

private:
    pid_t m_pid = -1;
    bool m_bLocked = false;
};

}  // namespace

TEST(DiskFileStream, CreatedFlagFollowsTheCreateMode)
{
    CTempDir dir("zt_stream");
    const std::wstring path = dir.WPath() + L"/a.bin";
    CDiskFile f;
    int bCreated = -1;
    ASSERT_TRUE(f.bOpen(path.c_str(), 2, 2, 64, 0, &bCreated));
    EXPECT_EQ(bCreated, 1);
    EXPECT_EQ(std::wstring(f.pszGetName()), path);
    f.Close();
    ASSERT_TRUE(f.bOpen(path.c_str(), 2, 2, 64, 0, &bCreated));
    EXPECT_EQ(bCreated, 0);
    f.Close();
    ASSERT_TRUE(f.bOpen(path.c_str(), 2, 2, 576, 0, &bCreated));
    EXPECT_EQ(bCreated, 1);
    f.Close();
    EXPECT_FALSE(f.bIsOpen());
    EXPECT_EQ(f.veGetAccess(), -1);
}

TEST(DiskFileStream, MissingFileFailsWithItsMessageAndName)
{
    CTempDir dir("zt_stream");
    const std::wstring path = dir.WPath() + L"/none.bin";
    CDiskFile f;
    EXPECT_FALSE(f.bOpen(path.c_str(), 0, 2, 0, 0, nullptr));
    const CXError* e = f.pclGetXError();
    EXPECT_EQ(e->eGetErrorLevel(), EL_ERROR);
    EXPECT_EQ(e->dwGetSystemErrorCode(), static_cast<unsigned>(ENOENT));
    ASSERT_GT(e->nNumErrorId(), 0);
    EXPECT_EQ(e->nGetErrorId(0), 28139u);
    const void* p = nullptr;
    ASSERT_TRUE(e->bGetInfo(EIT_SRCFILE, &p));
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(p)), path);
}

TEST(DiskFileStream, BackslashesAndRelativeNamesBecomeFullPaths)
{
    CTempDir dir("zt_stream");
    WriteAll(dir.Path() + "/x.txt", "x");
    char szOld[4096];
    ASSERT_NE(getcwd(szOld, sizeof(szOld)), nullptr);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    CDiskFile f, g;
    const bool bOpenedF = f.bOpen(L"sub\\..\\x.txt", 0, 2, 0, 0, nullptr);
    const bool bOpenedG = g.bOpen(L".\\x.txt", 0, 2, 0, 0, nullptr);
    ASSERT_EQ(chdir(szOld), 0);
    ASSERT_TRUE(bOpenedF);
    ASSERT_TRUE(bOpenedG);
    EXPECT_EQ(std::wstring(f.pszGetName()), dir.WPath() + L"/x.txt");
    EXPECT_EQ(std::wstring(g.pszGetName()), dir.WPath() + L"/x.txt");
}

TEST(DiskFileStream, TooLongANameFailsCleanly)
{
    std::wstring path = L"/tmp/" + std::wstring(300, L'n');
    CDiskFile f;
    EXPECT_FALSE(f.bOpen(path.c_str(), 2, 2, 64, 0, nullptr));
    EXPECT_EQ(f.pclGetXError()->dwGetSystemErrorCode(), static_cast<unsigned>(ENAMETOOLONG));
    EXPECT_FALSE(f.bIsOpen());
}

TEST(DiskFileStream, LockConflictsWithAnotherProcess)
{
    CTempDir dir("zt_stream");
    const std::string path = dir.Path() + "/locked.bin";
    WriteAll(path, "keep me");
    CLockHolder holder(path, true);
    ASSERT_TRUE(holder.bLocked());
    struct Case {
        int nCreate;
        unsigned nMessage;
    } cases[] = {{0, 28139}, {64, 28002}, {576, 28140}};
    for (const Case& c : cases) {
        CDiskFile f;
        EXPECT_FALSE(f.bOpen(W(path).c_str(), 2, 1, c.nCreate, 0, nullptr)) << c.nCreate;
        EXPECT_EQ(f.pclGetXError()->dwGetSystemErrorCode(), XSTREAM_LOCK_CONFLICT) << c.nCreate;
        ASSERT_GT(f.pclGetXError()->nNumErrorId(), 0);
        EXPECT_EQ(f.pclGetXError()->nGetErrorId(0), c.nMessage);
    }
    // Create-or-truncate never empties a file another process holds.
    EXPECT_EQ(ReadAll(path), "keep me");
    // Without a lock the open goes through.
    CDiskFile f;
    EXPECT_TRUE(f.bOpen(W(path).c_str(), 0, 2, 0, 0, nullptr));
    // The retrying open gives up after its attempts.
    CDiskFile g;
    EXPECT_FALSE(g.bOpenExclusifReessais(W(path).c_str(), 1, 3, 0, 0, 0, nullptr));
    EXPECT_FALSE(g.bOpenExclusifReessais(W(path).c_str(), 0, 150, 0, 0, 0, nullptr));
    EXPECT_EQ(g.pclGetXError()->dwGetSystemErrorCode(), XSTREAM_LOCK_CONFLICT);
}

TEST(DiskFileStream, LockTypeMustSuitTheAccess)
{
    CTempDir dir("zt_stream");
    const std::wstring path = dir.WPath() + L"/f.bin";
    CDiskFile f;
    EXPECT_FALSE(f.bOpen(path.c_str(), 0, 1, 64, 0, nullptr));
    EXPECT_EQ(f.pclGetXError()->dwGetSystemErrorCode(), XSTREAM_LOCK_CONFLICT);
    EXPECT_FALSE(f.bOpen(path.c_str(), 1, 0, 64, 0, nullptr));
    EXPECT_TRUE(f.bOpen(path.c_str(), 2, 1, 64, 0, nullptr));
    // A region lock of this process does not conflict with itself.
    EXPECT_TRUE(f.bLockFile(10, 5));
    EXPECT_TRUE(f.bUnlockFile(10, 5));
}

TEST(DiskFileStream, RegionLocksAreSeenByAnotherProcess)
{
    CTempDir dir("zt_stream");
    const std::string path = dir.Path() + "/r.bin";
    WriteAll(path, std::string(100, 'r'));
    CLockHolder holder(path, true);
    ASSERT_TRUE(holder.bLocked());
    CDiskFile f;
    ASSERT_TRUE(f.bOpen(W(path).c_str(), 2, 2, 0, 0, nullptr));
    EXPECT_FALSE(f.bLockFile(0, 10));
    EXPECT_EQ(f.pclGetXError()->dwGetSystemErrorCode(), XSTREAM_LOCK_CONFLICT);
    ASSERT_GT(f.pclGetXError()->nNumErrorId(), 0);
    EXPECT_EQ(f.pclGetXError()->nGetErrorId(0), 28145u);
    EXPECT_FALSE(f.bLockShare(0, 10));
}

TEST(DiskFileStream, ExactAndCountedReads)
{
    CTempDir dir("zt_stream");
    WriteAll(dir.Path() + "/d.bin", "0123456789");
    CDiskFile f;
    ASSERT_TRUE(f.bOpen((dir.WPath() + L"/d.bin").c_str(), 0, 2, 0, 0, nullptr));
    char buf[32] = {};
    EXPECT_TRUE(f.bRead(buf, 4, nullptr));
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_EQ(f.oGetOffset(), 4);
    // More than remains: exact mode fails with system code 0.
    EXPECT_FALSE(f.bRead(buf, 20, nullptr));
    EXPECT_EQ(f.pclGetXError()->dwGetSystemErrorCode(), 0u);
    ASSERT_GT(f.pclGetXError()->nNumErrorId(), 0);
    EXPECT_EQ(f.pclGetXError()->nGetErrorId(0), 28003u);
    EXPECT_EQ(f.oGetOffset(), 10);
    unsigned n = 99;
    EXPECT_TRUE(f.bRead(2, buf, 20, &n));
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(std::string(buf, 8), "23456789");
    // Reading at the end gives nothing, successfully.
    EXPECT_TRUE(f.bRead(buf, 5, &n));
    EXPECT_EQ(n, 0u);
    // A read-only descriptor cannot be written.
    EXPECT_FALSE(f.bWrite("x", 1, &n));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(f.pclGetXError()->nGetErrorId(0), 28008u);
}

TEST(DiskFileStream, SizesAndPositions)
{
    CTempDir dir("zt_stream");
    const std::string path = dir.Path() + "/s.bin";
    CDiskFile f;
    ASSERT_TRUE(f.bOpen(W(path).c_str(), 2, 1, 576, 0, nullptr));
    ASSERT_TRUE(f.bWrite("abcdefghij", 10, nullptr));
    ASSERT_TRUE(f.bSeek(3, 0));
    EXPECT_EQ(f.oGetSize(), 10);
    EXPECT_EQ(f.oGetOffset(), 3);
    EXPECT_EQ(f.oGetSizeFast(), 10);
    EXPECT_EQ(f.oGetOffset(), 10);
    // Grow relative to the end: the position stays at the new end.
    ASSERT_TRUE(f.bSetSize(5, 1));
    EXPECT_EQ(f.oGetOffset(), 15);
    EXPECT_EQ(f.oGetSize(), 15);
    EXPECT_FALSE(f.bSetSize(1, 7));
    ASSERT_TRUE(f.bIncreaseSize(3));
    EXPECT_EQ(f.oGetSize(), 18);
    EXPECT_TRUE(f.bIncreaseSize(0));
    EXPECT_EQ(f.oGetSize(), 18);
    // A shrink keeps the remaining bytes; a growth ends with a zero byte.
    ASSERT_TRUE(f.bExtendFile(4));
    EXPECT_EQ(f.oGetSize(), 4);
    ASSERT_TRUE(f.bExtendFile(6));
    EXPECT_FALSE(f.bExtendFile(0));
    EXPECT_TRUE(f.bFlush());
    f.Close();
    EXPECT_EQ(ReadAll(path), "");
    CDiskFile g;
    ASSERT_TRUE(g.bOpen(W(path).c_str(), 2, 1, 0, 0, nullptr));
    ASSERT_TRUE(g.bWrite("abcdefgh", 8, nullptr));
    ASSERT_TRUE(g.bExtendFile(4));
    ASSERT_TRUE(g.bExtendFile(6));
    g.Close();
    EXPECT_EQ(ReadAll(path), std::string("abcd\0\0", 6));
}

TEST(DiskFileStream, ExtractCopiesFromTheCurrentOffset)
{
    CTempDir dir("zt_stream");
    std::string data;
    for (int i = 0; i < 200000; i++)
        data += static_cast<char>('a' + i % 26);
    WriteAll(dir.Path() + "/src.bin", data);
    CDiskFile src, dst;
    ASSERT_TRUE(src.bOpen((dir.WPath() + L"/src.bin").c_str(), 0, 2, 0, 0, nullptr));
    ASSERT_TRUE(dst.bOpen((dir.WPath() + L"/dst.bin").c_str(), 1, 2, 576, 0, nullptr));
    ASSERT_TRUE(src.bSeek(1000, 0));
    ASSERT_TRUE(src.bExtract(&dst, 70000));
    EXPECT_EQ(src.oGetOffset(), 71000);
    ASSERT_TRUE(src.bExtract(&dst, -1));
    EXPECT_EQ(src.oGetOffset(), 200000);
    dst.Close();
    EXPECT_EQ(ReadAll(dir.Path() + "/dst.bin"), data.substr(1000));

    // Path forms: a part into a new file, a part of another file appended.
    ASSERT_TRUE(CDiskFile::bExtract((dir.WPath() + L"/part.bin").c_str(), (dir.WPath() + L"/src.bin").c_str(), 5, 10));
    EXPECT_EQ(ReadAll(dir.Path() + "/part.bin"), data.substr(5, 10));
    CDiskFile app;
    ASSERT_TRUE(app.bOpen((dir.WPath() + L"/part.bin").c_str(), 2, 2, 0, 0, nullptr));
    ASSERT_TRUE(app.bExtractFromFile((dir.WPath() + L"/src.bin").c_str(), 100, 3));
    app.Close();
    EXPECT_EQ(ReadAll(dir.Path() + "/part.bin"), data.substr(5, 10) + data.substr(100, 3));
}

TEST(DiskFileStream, ConcatAndWholeFileLoad)
{
    CTempDir dir("zt_stream");
    WriteAll(dir.Path() + "/a", "head-");
    WriteAll(dir.Path() + "/b", std::string(70000, 'b'));
    ASSERT_TRUE(CDiskFile::bConcat((dir.WPath() + L"/a").c_str(), (dir.WPath() + L"/b").c_str()));
    EXPECT_EQ(ReadAll(dir.Path() + "/a"), "head-" + std::string(70000, 'b'));

    CTQBIN bin;
    ASSERT_TRUE(CDiskFile::bChargeFichier(bin, (dir.WPath() + L"/a").c_str(), nullptr));
    ASSERT_EQ(bin.nGetSize(), 70005);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bin.pGetData()), 5), "head-");
    _CXErrorModule32 err;
    EXPECT_FALSE(CDiskFile::bChargeFichier(bin, (dir.WPath() + L"/missing").c_str(), &err));
    EXPECT_EQ(err.eGetErrorLevel(), EL_ERROR);
    EXPECT_EQ(err.dwGetSystemErrorCode(), static_cast<unsigned>(ENOENT));
}

TEST(DiskFileStream, NameForErrorAndReopen)
{
    CTempDir dir("zt_stream");
    const std::wstring path = dir.WPath() + L"/n.bin";
    CDiskFile f;
    ASSERT_TRUE(f.bOpen(path.c_str(), 2, 2, 576, 0, nullptr));
    ASSERT_TRUE(f.vbSetNameForError(L"shown name"));
    EXPECT_FALSE(f.bSeek(-5, 0));
    const void* p = nullptr;
    ASSERT_TRUE(f.pclGetXError()->bGetInfo(EIT_SRCFILE, &p));
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(p)), L"shown name");
    EXPECT_EQ(f.pclGetXError()->nGetErrorId(0), 28005u);
    ASSERT_TRUE(f.bReopen(0, 2, 0, 0));
    EXPECT_EQ(std::wstring(f.pszGetName()), path);
    EXPECT_EQ(f.veGetAccess() & O_ACCMODE, O_RDONLY);
}
