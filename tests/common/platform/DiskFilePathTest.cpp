// Path names: wildcard test, splitting, full and relative paths, extensions
// and end slashes, and the directory search over a temporary tree.
#include "common/platform/DiskFile.h"

#include "common/platform/FindFile.h"
#include "common/platform/XError.h"
#include "common/text/Tstring.h"
#include "common/text/XYString.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

// The names a search finds, in a set.
std::set<std::wstring> Found(const std::wstring& pattern, int nRequired, int nExcluded)
{
    std::set<std::wstring> names;
    CFindFile find;
    _CXErrorModule32 err;
    for (bool b = find.bFindFirst(pattern.c_str(), nRequired, nExcluded, &err); b; b = find.bFindNext(&err))
        names.insert(find.pszGetName());
    return names;
}

// Runs f with the current directory set to dir.
template <class F>
void InDirectory(const std::string& dir, F f)
{
    char szOld[4096];
    ASSERT_NE(getcwd(szOld, sizeof(szOld)), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    f();
    ASSERT_EQ(chdir(szOld), 0);
}

}  // namespace

TEST(DiskFilePath, WildcardTest)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* pattern;
        bool match;
    } cases[] = {
        {L"a.b.txt", L"*.txt", true}, {L"a.b.c", L"*.?", true},  {L"ac", L"a?c", false},
        {L"", L"*", true},            {L"", L"", true},          {L"a", L"", false},
        {L"abc", L"a**c", true},      {L"abcbd", L"a*bd", true}, {L"ABC", L"abc", false},
        {L"abc", L"abc*", true},      {L"ab", L"abc", false},    {L"xaybz", L"*a*b?", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CDiskFile::_bFiltreFileName(c.name, c.pattern) != 0, c.match) << c.name << " " << c.pattern;
}

TEST(DiskFilePath, SplitPath)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* dir;
        const wchar_t* name;
        const wchar_t* ext;
    } cases[] = {
        {L"a/b.c/d.e.f", L"a/b.c/", L"d.e", L".f"}, {L".profile", L"", L"", L".profile"},
        {L"/x/y", L"/x/", L"y", L""},               {L"/", L"/", L"", L""},
        {L"a\\b\\c.txt", L"a/b/", L"c", L".txt"},   {L"name", L"", L"name", L""},
    };
    for (const Case& c : cases) {
        wchar_t dir[261], name[261], ext[261];
        CDiskFile::__SplitPath(c.path, dir, name, ext);
        EXPECT_STREQ(dir, c.dir) << c.path;
        EXPECT_STREQ(name, c.name) << c.path;
        EXPECT_STREQ(ext, c.ext) << c.path;
    }
    wchar_t dir[261], file[261];
    CDiskFile::__SplitPath(L"/p/q.r", dir, file);
    EXPECT_STREQ(file, L"q.r");
}

TEST(DiskFilePath, FullPath)
{
    CTempDir tmp("zt_path");
    wchar_t out[261];
    InDirectory(tmp.Path(), [&] {
        ASSERT_GT(CDiskFile::GetFullPathName(L"a/./b/../c", 261, out, nullptr), 0u);
        EXPECT_EQ(std::wstring(out), tmp.WPath() + L"/a/c");
    });
    EXPECT_EQ(CDiskFile::GetFullPathName(L"/x/../../y", 261, out, nullptr), 2u);
    EXPECT_STREQ(out, L"/y");
    EXPECT_EQ(CDiskFile::GetFullPathName(L"", 261, out, nullptr), 0u);
    // Too small: the size needed comes back.
    EXPECT_EQ(CDiskFile::GetFullPathName(L"/abc/def", 4, out, nullptr), 9u);
    unsigned n = 0;
    EXPECT_FALSE(CDiskFile::bGetFullPath(out, 4, L"/abc/def", &n, nullptr));
    EXPECT_EQ(n, 9u);
    EXPECT_TRUE(CDiskFile::bGetFullPath(out, 261, L"/abc/def", &n, nullptr));
    EXPECT_EQ(n, 9u);
    // The home directory stands for a leading tilde.
    ASSERT_GT(CDiskFile::GetFullPathName(L"~/f", 261, out, nullptr), 0u);
    EXPECT_EQ(std::wstring(out).substr(std::wstring(out).size() - 2), L"/f");
}

TEST(DiskFilePath, RelativePaths)
{
    wchar_t out[261];
    ASSERT_TRUE(CDiskFile::bPathRelativePathTo(out, L"/a/b/c", L"/a/x", 0));
    EXPECT_STREQ(out, L"../b/c");
    ASSERT_TRUE(CDiskFile::bPathRelativePathTo(out, L"/a/b/c", L"/a/b", 0));
    EXPECT_STREQ(out, L"./c");
    ASSERT_TRUE(CDiskFile::bPathRelativePathTo(out, L"x/y", L"", 0));
    EXPECT_STREQ(out, L"x/y");
    EXPECT_FALSE(CDiskFile::bPathRelativePathTo(out, L"p/q", L"r/s", 1));

    ASSERT_TRUE(CDiskFile::bRelativeToFullPath(out, L"../c/d", L"/a/b/", 0));
    EXPECT_STREQ(out, L"/a/c/d");
    ASSERT_TRUE(CDiskFile::bRelativeToFullPath(out, L"./e", L"/a/b//", 0));
    EXPECT_STREQ(out, L"/a/b/e");
    ASSERT_TRUE(CDiskFile::bRelativeToFullPath(out, L".", L"/a", 0));
    EXPECT_STREQ(out, L"/a");
    ASSERT_TRUE(CDiskFile::bRelativeToFullPath(out, L"plain", L"/a", 0));
    EXPECT_STREQ(out, L"plain");
    ASSERT_TRUE(CDiskFile::bRelativeToFullPath(out, L"plain", L"/a", 2));
    EXPECT_STREQ(out, L"/a/plain");
    const std::wstring longBase = L"/" + std::wstring(250, L'b');
    EXPECT_FALSE(CDiskFile::bRelativeToFullPath(out, L"./0123456789", longBase.c_str(), 0));
}

TEST(DiskFilePath, ExtensionsAndSlashes)
{
    struct Case {
        const wchar_t* in;
        const wchar_t* ext;
        const wchar_t* changed;
        const wchar_t* deleted;
    } cases[] = {
        {L"a/b.txt", L".dat", L"a/b.dat", L"a/b"},   {L"a/b", L"dat", L"a/b.dat", L"a/b"},
        {L"a.d/b", L"x", L"a.d/b.x", L"a.d/b"},      {L"f.", L"x", L"f.x", L"f"},
        {L".ext", L"y", L".y", L""},                 {L"dir/", L"z", L"dir/.z", L"dir/"},
    };
    for (const Case& c : cases) {
        wchar_t buf[261];
        wcscpy(buf, c.in);
        CDiskFile::ChangeExtension(buf, 261, c.ext);
        EXPECT_STREQ(buf, c.changed) << c.in;
        wcscpy(buf, c.in);
        CDiskFile::DelExtension(buf);
        EXPECT_STREQ(buf, c.deleted) << c.in;
    }
    // The bound is kept.
    wchar_t small[6] = L"abc";
    CDiskFile::ChangeExtension(small, 6, L"long");
    EXPECT_STREQ(small, L"abc.l");

    wchar_t w[261] = L"a//";
    CDiskFile::DirectoryWithoutEndSlash(w);
    EXPECT_STREQ(w, L"a");
    CTString t(L"a//");
    CDiskFile::DirectoryWithoutEndSlash(t);
    EXPECT_STREQ(t.pszGet(), L"a/");
    wchar_t d[261] = L"x\\y";
    CDiskFile::DirectoryWithEndSlash(d);
    EXPECT_STREQ(d, L"x/y/");
    wchar_t p[261] = L"f";
    CDiskFile::PrefixeCurrentDirectory(p);
    EXPECT_STREQ(p, L"./f");
    wchar_t s[261] = L"/a/./b/../../c/../d";
    CDiskFile::SimplifyPath(s);
    EXPECT_STREQ(s, L"/d");
}

TEST(DiskFilePath, HostStringForms)
{
    auto H = [](const wchar_t* p) { return CXYString<wchar_t>(p, static_cast<int>(wcslen(p))); };
    CXYString<wchar_t> a = H(L"x\\y\\z.txt");
    // A shared block is copied before the change.
    CXYString<wchar_t> shared(a);
    EXPECT_STREQ(CDiskFile::pszBackSlash2Slash(a), L"x/y/z.txt");
    EXPECT_STREQ(shared.pszGet(), L"x\\y\\z.txt");
    CXYString<wchar_t> empty;
    EXPECT_EQ(CDiskFile::pszBackSlash2Slash(empty), nullptr);
    CDiskFile::ChangeExtension(a, L".dat");
    EXPECT_STREQ(a.pszGet(), L"x/y/z.dat");
    CDiskFile::DelExtension(a);
    EXPECT_STREQ(a.pszGet(), L"x/y/z");
    CDiskFile::ChangeExtension(a, L"");
    EXPECT_STREQ(a.pszGet(), L"x/y/z.");
    CDiskFile::DirectoryWithEndSlash(a);
    EXPECT_STREQ(a.pszGet(), L"x/y/z./");
    CXYString<wchar_t> d = H(L"dir//");
    CDiskFile::DirectoryWithoutEndSlash(d);
    EXPECT_STREQ(d.pszGet(), L"dir/");
    EXPECT_STREQ(CDiskFile::pszSlash2BackSlash(d), L"dir\\");
}

TEST(DiskFilePath, NameTests)
{
    EXPECT_STREQ(CDiskFile::pszGetPtrToFileName(L"C:dir\\x.y"), L"x.y");
    EXPECT_STREQ(CDiskFile::pszGetPtrToFileName(L"C:x"), L"x");
    EXPECT_TRUE(CDiskFile::bIsRelativeFileName(L"a/b"));
    EXPECT_FALSE(CDiskFile::bIsRelativeFileName(L"/a"));
    EXPECT_FALSE(CDiskFile::bIsRelativeFileName_WIN32(L"c:\\x"));
    EXPECT_FALSE(CDiskFile::bIsRelativeFileName_WIN32(L"COM1:"));
    EXPECT_TRUE(CDiskFile::bIsRelativeFileName_WIN32(L"x\\y"));
    EXPECT_TRUE(CDiskFile::bUNCName(L"\\\\srv\\share"));
    EXPECT_FALSE(CDiskFile::bUNCName(L"\\\\srv"));
    EXPECT_TRUE(CDiskFile::bValidName(L"plain.txt"));
    EXPECT_FALSE(CDiskFile::bValidName(L"a|b"));
    EXPECT_TRUE(CDiskFile::bSameFileName(L"a\\b  ", L"a/b"));
    EXPECT_FALSE(CDiskFile::bSameFileName(L"A/b", L"a/b"));
    EXPECT_TRUE(CDiskFile::bSameDirectoryName(L"a/b/", L"a\\b"));
    const std::wstring tooLong(300, L'x');
    EXPECT_FALSE(CDiskFile::bSameFileName(tooLong.c_str(), tooLong.c_str()));
}

TEST(DiskFilePath, DirectorySearch)
{
    CTempDir tmp("zt_find");
    const std::string d = tmp.Path();
    Touch(d + "/one.txt");
    Touch(d + "/two.dat");
    Touch(d + "/.hidden");
    ASSERT_EQ(mkdir((d + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("one.txt", (d + "/link.txt").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (d + "/dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((d + "/pipe").c_str(), 0600), 0);
    // A name of 255 bytes fits the search record.
    const std::string longName(255, 'L');
    Touch(d + "/" + longName);
    const std::wstring w = tmp.WPath();
    const std::wstring wLong(longName.begin(), longName.end());

    EXPECT_EQ(Found(w + L"/*.txt", 0, 0), (std::set<std::wstring>{L"one.txt", L"link.txt"}));
    EXPECT_EQ(Found(w + L"/*", 0x4000, 0), std::set<std::wstring>{L"sub"});
    EXPECT_EQ(Found(w + L"/*", 0, 0x4000),
              (std::set<std::wstring>{L"one.txt", L"two.dat", L".hidden", L"link.txt", L"pipe", wLong}));
    EXPECT_EQ(Found(w + L"/*", 0, 0x80000000),
              (std::set<std::wstring>{L"one.txt", L"two.dat", L"link.txt", L"pipe", wLong, L"sub"}));
    EXPECT_EQ(Found(w + L"\\L*", 0, 0), std::set<std::wstring>{wLong});
    InDirectory(d, [&] { EXPECT_EQ(Found(L"*.dat", 0, 0), std::set<std::wstring>{L"two.dat"}); });

    // Attributes: the hidden bit, and a FIFO never has 0x1000.
    CFindFile find;
    ASSERT_TRUE(find.bFindFirst((w + L"/.hidden").c_str(), 0, 0, nullptr));
    EXPECT_EQ(static_cast<unsigned>(find.nGetAttributes()) & 0x80000000u, 0x80000000u);
    EXPECT_EQ(find.llGetSize(), 1);
    ASSERT_TRUE(find.bFindFirst((w + L"/pipe").c_str(), 0, 0, nullptr));
    EXPECT_EQ(find.nGetAttributes() & 0x1000, 0);
    CFindFile other;
    find.TransfertTo(other);
    EXPECT_FALSE(find.bFindNext(nullptr));

    // A directory that does not exist: false, the error reset not filled.
    _CXErrorModule32 err;
    err.SetErrorLevel(EL_ERROR);
    CFindFile none;
    EXPECT_FALSE(none.bFindFirst((w + L"/missing/*").c_str(), 0, 0, &err));
    EXPECT_EQ(err.eGetErrorLevel(), EL_NOERROR);
}

TEST(DiskFilePath, FileTimesRoundTrip)
{
    _stXFILETIME st = {2024, 5, 6, 13, 47, 58, 0};
    FILETIME ft;
    ASSERT_TRUE(CDiskFile::bSystemTimeToFileTime(&st, &ft));
    _stXFILETIME back = {};
    ASSERT_TRUE(CDiskFile::bFileTimeToSystemTime(&ft, &back));
    EXPECT_EQ(CDiskFile::nCompareSystemTime(&st, &back), 0);
    // The reset happens even on success.
    _CXErrorModule32 err;
    err.SetErrorLevel(EL_ERROR);
    EXPECT_TRUE(CDiskFile::_bOnError(1, &err));
    EXPECT_EQ(err.eGetErrorLevel(), EL_NOERROR);
}
