// The tests run from a clone at any path: a build folder whose path is too
// long for the driver is handed to it through a short link of its own, one
// for every test process of the build at once, another for another clone.
#include "tests/support/Paths.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// A folder of nLength characters under strTop, made with a file "f" in it.
std::string LongFolder(const std::string& strTop, size_t nLength)
{
    std::string str = strTop;
    while (str.size() < nLength)
        str += "/folders-of-a-clone";
    str.resize(nLength);
    if (str.back() == '/')
        str.back() = 'x';
    std::system(("mkdir -p '" + str + "'").c_str());
    std::ofstream(str + "/f") << "f";
    return str;
}

// Both paths name one file.
bool bSameFile(const std::string& strA, const std::string& strB)
{
    struct stat stA, stB;
    return stat(strA.c_str(), &stA) == 0 && stat(strB.c_str(), &stB) == 0 && stA.st_dev == stB.st_dev &&
           stA.st_ino == stB.st_ino;
}

// No name made for the link beside it is left.
bool bNothingBeside(const std::string& strLink)
{
    return std::system(("test -z \"$(ls -d '" + strLink + "'.* 2>/dev/null)\"").c_str()) == 0;
}

// The link ShortFolderPath made for a folder, removed with the test.
class CLink {
public:
    explicit CLink(const std::string& strFolder) : m_str(ShortFolderPath(strFolder)), m_bLink(m_str != strFolder) {}
    ~CLink()
    {
        if (m_bLink)
            unlink(m_str.c_str());
    }
    const std::string& Path() const { return m_str; }

private:
    std::string m_str;
    bool m_bLink;
};

}  // namespace

TEST(ShortFolder, AFolderPast100CharactersIsNamedByAShortLinkToIt)
{
    CTempDir clTop("zt_short");
    ASSERT_FALSE(clTop.Path().empty());
    const struct {
        size_t nLength;
        bool bLinked;
    } atCase[] = {{60, false}, {100, false}, {101, true}, {300, true}, {1000, true}};
    std::set<std::string> setLinks;
    for (const auto& t : atCase) {
        SCOPED_TRACE(t.nLength);
        const std::string strFolder = LongFolder(clTop.Path() + "/" + std::to_string(t.nLength), t.nLength);
        ASSERT_EQ(strFolder.size(), t.nLength);
        CLink clLink(strFolder);
        EXPECT_EQ(clLink.Path() != strFolder, t.bLinked) << clLink.Path();
        EXPECT_TRUE(bNothingBeside(clLink.Path()));
        EXPECT_LE(clLink.Path().size(), 100u);
        EXPECT_TRUE(bSameFile(clLink.Path() + "/f", strFolder + "/f")) << clLink.Path();
        // Asked again, the same link.
        EXPECT_EQ(ShortFolderPath(strFolder), clLink.Path());
        if (t.bLinked)
            setLinks.insert(clLink.Path());
    }
    // A link of each folder's own.
    EXPECT_EQ(setLinks.size(), 3u);
    // The driver's files of this build, whatever the length of its path.
    EXPECT_TRUE(bSameFile(DriverBuildPath("zt190msql.so"), BuildPath("zt190msql.so")));
    EXPECT_LE(DriverBuildPath("").size(), 101u);
}

TEST(ShortFolder, ProcessesAskingAtOnceShareOneLinkThatNamesTheFolder)
{
    CTempDir clTop("zt_short");
    ASSERT_FALSE(clTop.Path().empty());
    const std::string strFolder = LongFolder(clTop.Path(), 300);
    int anGo[2];
    ASSERT_EQ(pipe(anGo), 0);
    std::vector<pid_t> anChild;
    for (int i = 0; i < 8; i++) {
        const pid_t nPid = fork();
        ASSERT_GE(nPid, 0);
        if (nPid == 0) {
            // Held until every process is there, then all ask at once.
            char c;
            close(anGo[1]);
            const bool bGo = read(anGo[0], &c, 1) == 0;
            const std::string strLink = ShortFolderPath(strFolder);
            _exit(bGo && strLink != strFolder && bSameFile(strLink + "/f", strFolder + "/f") ? 0 : 1);
        }
        anChild.push_back(nPid);
    }
    close(anGo[0]);
    close(anGo[1]);
    for (const pid_t nPid : anChild) {
        int nStatus = 0;
        ASSERT_EQ(waitpid(nPid, &nStatus, 0), nPid);
        EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);
    }
    CLink clLink(strFolder);
    EXPECT_TRUE(bSameFile(clLink.Path() + "/f", strFolder + "/f"));
    EXPECT_TRUE(bNothingBeside(clLink.Path()));
}

TEST(ShortFolder, ALinkOfAnotherFolderOrUserIsReplacedAndANameTakenGivesTheFolder)
{
    CTempDir clTop("zt_short");
    ASSERT_FALSE(clTop.Path().empty());
    const std::string strFolder = LongFolder(clTop.Path() + "/a", 300);
    const std::string strOther = LongFolder(clTop.Path() + "/b", 300);
    std::ofstream(strOther + "/f") << "other";
    CLink clLink(strFolder);
    ASSERT_NE(clLink.Path(), strFolder);
    const std::string strLink = clLink.Path();
    // Left by an earlier folder of the same name, and one of another user;
    // the name this process makes it under left by an earlier process.
    ASSERT_EQ(unlink(strLink.c_str()), 0);
    ASSERT_EQ(symlink(strOther.c_str(), strLink.c_str()), 0);
    const std::string strOwn = strLink + "." + std::to_string(getpid());
    ASSERT_EQ(symlink(strOther.c_str(), strOwn.c_str()), 0);
    EXPECT_EQ(ShortFolderPath(strFolder), strLink);
    EXPECT_TRUE(bSameFile(strLink + "/f", strFolder + "/f"));
    EXPECT_TRUE(bNothingBeside(strLink));
    unlink(strOwn.c_str());
    ASSERT_EQ(lchown(strLink.c_str(), 65534, 65534), 0);
    EXPECT_EQ(ShortFolderPath(strFolder), strLink);
    struct stat st;
    ASSERT_EQ(lstat(strLink.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, geteuid());
    // A name taken by what cannot be replaced: the folder's own path, and
    // nothing left behind.
    ASSERT_EQ(unlink(strLink.c_str()), 0);
    ASSERT_EQ(mkdir(strLink.c_str(), 0700), 0);
    std::ofstream(strLink + "/kept") << "kept";
    EXPECT_EQ(ShortFolderPath(strFolder), strFolder);
    EXPECT_TRUE(bNothingBeside(strLink));
    std::system(("rm -rf '" + strLink + "'").c_str());
}
