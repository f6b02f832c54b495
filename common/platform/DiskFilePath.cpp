// Path-name utilities of the file layer: separators, extensions, splitting,
// full and relative paths, comparisons. Every fixed buffer is filled with a
// bound; a name that does not fit fails instead of overrunning.
#include "common/platform/DiskFile.h"

#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"
#include "common/text/STR.h"
#include "common/text/TextBasics.h"
#include "common/text/Tstring.h"
#include "common/text/XYString.h"

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace {

const unsigned PATH_SIZE = 261;

bool _bIsSep(wchar_t c) { return c == L'/' || c == L'\\'; }

// Copies src into dst (size characters) with slashes; false when it does
// not fit.
bool _bCopySlashes(wchar_t* dst, unsigned size, const wchar_t* src)
{
    size_t n = std::wcslen(src);
    if (n >= size)
        return false;
    for (size_t i = 0; i <= n; i++)
        dst[i] = src[i] == L'\\' ? L'/' : src[i];
    return true;
}

}  // namespace

// ---- Separators -----------------------------------------------------------------

char* CDiskFile::pszBackSlash2Slash(char* psz)
{
    for (char* p = psz; p != nullptr && *p != 0; p++)
        if (*p == '\\')
            *p = '/';
    return psz;
}

wchar_t* CDiskFile::pszBackSlash2Slash(wchar_t* psz)
{
    for (wchar_t* p = psz; p != nullptr && *p != 0; p++)
        if (*p == L'\\')
            *p = L'/';
    return psz;
}

const wchar_t* CDiskFile::pszBackSlash2Slash(CTString& cl)
{
    for (int i = 0; i < cl.nTaille(); i++)
        if (cl.cGetChar(i) == L'\\')
            cl.SetChar(i, L'/');
    return cl.pszGet();
}

namespace {

// Replaces every from by to in a host string, copying a shared block first.
const wchar_t* _pszReplaceSep(CXYString<wchar_t>& cl, wchar_t from, wchar_t to)
{
    const int n = cl.nGetLength();
    if (n == 0)
        return nullptr;
    if (std::wcschr(cl.pszGet(), from) == nullptr)
        return cl.pszGet();
    if (cl.__nPrepareModification(n) != STRMEM_OK || cl.pGetData() == nullptr)
        return cl.pszGet();
    wchar_t* p = cl.pGetData();
    for (int i = 0; i < n; i++)
        if (p[i] == from)
            p[i] = to;
    return p;
}

}  // namespace

const wchar_t* CDiskFile::pszBackSlash2Slash(CXYString<wchar_t>& cl) { return _pszReplaceSep(cl, L'\\', L'/'); }

const wchar_t* CDiskFile::pszSlash2BackSlash(CXYString<wchar_t>& cl) { return _pszReplaceSep(cl, L'/', L'\\'); }

char* CDiskFile::pszSlash2BackSlash(char* psz)
{
    for (char* p = psz; p != nullptr && *p != 0; p++)
        if (*p == '/')
            *p = '\\';
    return psz;
}

wchar_t* CDiskFile::pszSlash2BackSlash(wchar_t* psz)
{
    for (wchar_t* p = psz; p != nullptr && *p != 0; p++)
        if (*p == L'/')
            *p = L'\\';
    return psz;
}

const wchar_t* CDiskFile::pszSlash2BackSlash(CTString& cl)
{
    for (int i = 0; i < cl.nTaille(); i++)
        if (cl.cGetChar(i) == L'/')
            cl.SetChar(i, L'\\');
    return cl.pszGet();
}

const wchar_t* CDiskFile::__pszFindLastSep(const wchar_t* psz, int n)
{
    if (psz == nullptr)
        return nullptr;
    for (int i = n - 1; i >= 0; i--)
        if (_bIsSep(psz[i]))
            return psz + i;
    return nullptr;
}

const wchar_t* CDiskFile::pszGetPtrToFileName(const wchar_t* psz)
{
    if (psz == nullptr || psz[0] == 0)
        return psz;
    const wchar_t* p = psz[1] == L':' ? psz + 2 : psz;
    for (const wchar_t* q = p; *q != 0; q++)
        if (_bIsSep(*q))
            p = q + 1;
    return p;
}

int CDiskFile::bIsRelativePath(const wchar_t* psz) { return psz != nullptr && psz[0] == L'.'; }

int CDiskFile::bIsRelativeFileName(const wchar_t* psz) { return psz == nullptr || psz[0] != L'/'; }

int CDiskFile::bIsRelativeFileName_WIN32(const wchar_t* psz)
{
    if (psz == nullptr || psz[0] == 0)
        return 1;
    if (psz[0] == L'\\')
        return 0;
    if (std::iswalpha(static_cast<wint_t>(psz[0])) && psz[1] == L':')
        return 0;
    return psz[std::wcslen(psz) - 1] == L':' ? 0 : 1;
}

int CDiskFile::bUNCName(const wchar_t* psz)
{
    return psz != nullptr && psz[0] == L'\\' && psz[1] == L'\\' && std::wcschr(psz + 2, L'\\') != nullptr;
}

int CDiskFile::bUNCNameA(const char* psz)
{
    return psz != nullptr && psz[0] == '\\' && psz[1] == '\\' && std::strchr(psz + 2, '\\') != nullptr;
}

int CDiskFile::bValidName(const wchar_t* pszName)
{
    return pszName != nullptr && std::wcspbrk(pszName, L"\\/:*?\"<>|") == nullptr;
}

// ---- Extensions and end slashes ------------------------------------------------

namespace {

// Index of the dot that starts the extension of the last component, -1
// when there is none; a final dot counts. A text ending with a slash has
// none.
int _nFindExtension(const wchar_t* psz)
{
    int n = static_cast<int>(std::wcslen(psz));
    if (n == 0 || psz[n - 1] == L'/')
        return -1;
    if (psz[n - 1] == L'.')
        return n - 1;
    for (int i = n - 2; i >= 0; i--) {
        if (psz[i] == L'/')
            return -1;
        if (psz[i] == L'.')
            return i;
    }
    return -1;
}

}  // namespace

void CDiskFile::DelExtension(wchar_t* psz)
{
    if (psz == nullptr)
        return;
    pszBackSlash2Slash(psz);
    int i = _nFindExtension(psz);
    if (i >= 0)
        psz[i] = 0;
}

void CDiskFile::DelExtension(CXYString<wchar_t>& cl)
{
    const int i = _nFindExtension(cl.pszGet());
    if (i >= 0)
        cl.Supprime(i, cl.nGetLength() - i);
}

void CDiskFile::ChangeExtension(CXYString<wchar_t>& cl, const wchar_t* pszExt)
{
    if (pszExt == nullptr)
        return;
    const wchar_t* pszNew = pszExt[0] == L'.' ? pszExt + 1 : pszExt;
    const int nNew = static_cast<int>(std::wcslen(pszNew));
    const int i = _nFindExtension(cl.pszGet());
    if (i >= 0) {
        cl.Remplace(i + 1, cl.nGetLength() - i - 1, pszNew, nNew);
        return;
    }
    cl.nConcat(L".", 1);
    cl.nConcat(pszNew, nNew);
}

void CDiskFile::ChangeExtension(wchar_t* psz, unsigned n, const wchar_t* pszExt)
{
    if (psz == nullptr || pszExt == nullptr || n == 0)
        return;
    pszBackSlash2Slash(psz);
    const wchar_t* pszNew = pszExt[0] == L'.' ? pszExt + 1 : pszExt;
    int i = _nFindExtension(psz);
    if (i >= 0) {
        // The new extension replaces the text after the dot.
        if (static_cast<unsigned>(i + 1) < n)
            STR_nCopy(psz + i + 1, n - static_cast<unsigned>(i + 1), pszNew, -1);
        return;
    }
    size_t nLen = std::wcslen(psz);
    if (nLen + 1 >= n)
        return;
    psz[nLen] = L'.';
    psz[nLen + 1] = 0;
    STR_nCat(psz, n, pszNew, -1);
}

void CDiskFile::DirectoryWithEndSlash(char* psz)
{
    if (psz == nullptr || psz[0] == 0)
        return;
    pszBackSlash2Slash(psz);
    size_t n = std::strlen(psz);
    if (psz[n - 1] != '/') {
        psz[n] = '/';
        psz[n + 1] = 0;
    }
}

void CDiskFile::DirectoryWithEndSlash(wchar_t* psz)
{
    if (psz == nullptr || psz[0] == 0)
        return;
    pszBackSlash2Slash(psz);
    size_t n = std::wcslen(psz);
    if (psz[n - 1] != L'/') {
        psz[n] = L'/';
        psz[n + 1] = 0;
    }
}

void CDiskFile::DirectoryWithEndSlash(CTString& cl)
{
    pszBackSlash2Slash(cl);
    if (cl.nTaille() > 0 && !cl.bTerminePar(L'/'))
        cl.Add(L'/');
}

void CDiskFile::DirectoryWithEndSlash(CXYString<wchar_t>& cl)
{
    pszBackSlash2Slash(cl);
    const int n = cl.nGetLength();
    if (n > 0 && cl.pszGet()[n - 1] != L'/')
        cl.nConcat(L"/", 1);
}

void CDiskFile::DirectoryWithoutEndSlash(CXYString<wchar_t>& cl)
{
    pszBackSlash2Slash(cl);
    const int n = cl.nGetLength();
    if (n > 0 && cl.pszGet()[n - 1] == L'/')
        cl.Supprime(n - 1, 1);
}

void CDiskFile::DirectoryWithoutEndSlash(wchar_t* psz)
{
    if (psz == nullptr)
        return;
    pszBackSlash2Slash(psz);
    size_t n = std::wcslen(psz);
    while (n > 0 && psz[n - 1] == L'/')
        psz[--n] = 0;
}

void CDiskFile::DirectoryWithoutEndSlash(CTString& cl)
{
    pszBackSlash2Slash(cl);
    if (cl.nTaille() > 0 && cl.bTerminePar(L'/'))
        cl = cl.clGauche(cl.nTaille() - 1);
}

void CDiskFile::PrefixeCurrentDirectory(wchar_t* psz)
{
    if (psz == nullptr)
        return;
    size_t n = std::wcslen(psz);
    std::wmemmove(psz + 2, psz, n + 1);
    psz[0] = L'.';
    psz[1] = L'/';
}

void CDiskFile::StandardizeFileName(wchar_t* pszDst, const wchar_t* pszSrc)
{
    if (pszDst == nullptr)
        return;
    if (pszSrc != nullptr && pszSrc != pszDst)
        STR_nCopy(pszDst, PATH_SIZE, pszSrc, -1);
    pszBackSlash2Slash(pszDst);
    size_t n = std::wcslen(pszDst);
    while (n > 0 && pszDst[n - 1] == L' ')
        pszDst[--n] = 0;
}

int CDiskFile::bStandardizeExistingFileName(wchar_t* pszDst, unsigned n, const wchar_t* pszSrc)
{
    return bGetUNCName(pszDst, n, pszSrc, nullptr);
}

int CDiskFile::bGetUNCName(wchar_t* pszDst, unsigned n, const wchar_t* pszSrc, CXError*)
{
    unsigned nLen = GetFullPathName(pszSrc, n, pszDst, nullptr);
    return nLen != 0 && nLen < n;
}

int CDiskFile::bGetLongPathName(wchar_t* pszDst, unsigned n, const wchar_t* pszSrc)
{
    STR_nCopy(pszDst, n, pszSrc, -1);
    return 1;
}

// ---- Full paths ----------------------------------------------------------------------

unsigned CDiskFile::GetFullPathName(const wchar_t* pszSrc, unsigned n, wchar_t* pszDst, wchar_t**)
{
    if (pszSrc == nullptr || pszSrc[0] == 0 || pszDst == nullptr || n == 0)
        return 0;
    CTString clSrc(pszSrc);
    pszBackSlash2Slash(clSrc);
    const wchar_t* psz = clSrc.pszGet();
    CTString clFull;
    if (psz[0] == L'~') {
        // The real user's home directory.
        const passwd* pw = getpwuid(getuid());
        if (pw != nullptr && pw->pw_dir != nullptr)
            clFull.SetANSIEx(pw->pw_dir, -1, CP_UTF8);
        clFull.Add(psz + 1);
    } else if (psz[0] != L'/') {
        if (!Unix_getcwd(pszDst, n))
            return errno == ERANGE ? 2 * n : 0;
        clFull.Set(pszDst);
        clFull.Add(L'/');
        clFull.Add(psz);
    } else {
        clFull.Set(psz);
    }
    // Components removed by "/../", then "/./" folded.
    std::wstring str(clFull.pszGet() != nullptr ? clFull.pszGet() : L"");
    for (;;) {
        size_t nPos = str.find(L"/../");
        if (nPos == std::wstring::npos)
            break;
        size_t nCut = nPos == 0 ? std::wstring::npos : str.rfind(L'/', nPos - 1);
        // At the root there is nothing to remove: stay there.
        str.erase(nCut == std::wstring::npos ? 0 : nCut, nPos + 3 - (nCut == std::wstring::npos ? 0 : nCut));
    }
    for (;;) {
        size_t nPos = str.find(L"/./");
        if (nPos == std::wstring::npos)
            break;
        str.erase(nPos, 2);
    }
    if (str.size() + 1 > n)
        return static_cast<unsigned>(str.size() + 1);
    std::wmemcpy(pszDst, str.c_str(), str.size() + 1);
    return static_cast<unsigned>(str.size());
}

int CDiskFile::bGetFullPath(wchar_t* pszDst, unsigned n, const wchar_t* pszSrc, unsigned* pnLength,
                            CXError* pclError)
{
    unsigned nLen = GetFullPathName(pszSrc, n, pszDst, nullptr);
    if (pnLength != nullptr)
        *pnLength = nLen;
    if (nLen == 0) {
        _bOnError(0, pclError);
        _AddFileError(pclError, pszSrc, nullptr, 28131, pszSrc != nullptr ? pszSrc : L"");
        return 0;
    }
    if (nLen < n) {
        if (pnLength != nullptr)
            *pnLength = nLen + 1;
        return 1;
    }
    return 0;
}

void CDiskFile::SimplifyPath(wchar_t* psz)
{
    if (psz == nullptr)
        return;
    for (wchar_t* p = std::wcsstr(psz, L"/./"); p != nullptr; p = std::wcsstr(p, L"/./"))
        std::wmemmove(p, p + 2, std::wcslen(p + 2) + 1);
    wchar_t* pSearch = psz;
    for (;;) {
        wchar_t* p = std::wcsstr(pSearch, L"/../");
        if (p == nullptr)
            break;
        wchar_t* pSlash = nullptr;
        for (wchar_t* q = p - 1; q >= psz; q--)
            if (*q == L'/') {
                pSlash = q;
                break;
            }
        if (pSlash != nullptr && !(p - pSlash == 3 && pSlash[1] == L'.' && pSlash[2] == L'.')) {
            std::wmemmove(pSlash + 1, p + 4, std::wcslen(p + 4) + 1);
            pSearch = pSlash;
        } else {
            pSearch = p + 3;
        }
    }
}

void CDiskFile::MakePath(wchar_t* pszDst, const wchar_t* pszDir, const wchar_t* pszName, const wchar_t* pszExt)
{
    CTString clDir(pszDir), clName(pszName), clExt(pszExt);
    pszBackSlash2Slash(clDir);
    pszBackSlash2Slash(clName);
    pszBackSlash2Slash(clExt);
    makepath(pszDst, nullptr, pszDir != nullptr ? clDir.pszGet() : nullptr,
             pszName != nullptr ? clName.pszGet() : nullptr, pszExt != nullptr ? clExt.pszGet() : nullptr);
}

// ---- Splitting ---------------------------------------------------------------------------

void CDiskFile::__GetDir(wchar_t* pszDst, const wchar_t* psz, unsigned n, unsigned* pnLength)
{
    const wchar_t* pSep = __pszFindLastSep(psz, static_cast<int>(n));
    unsigned nLen = pSep == nullptr ? 0 : static_cast<unsigned>(pSep - psz) + 1;
    if (pszDst != nullptr) {
        std::wmemcpy(pszDst, psz, nLen);
        pszDst[nLen] = 0;
    }
    if (pnLength != nullptr)
        *pnLength = nLen;
}

void CDiskFile::__GetFile(wchar_t* pszDst, const wchar_t* psz, unsigned n, unsigned* pnLength)
{
    unsigned nLen = n;
    for (unsigned i = n; i > 0; i--)
        if (psz[i - 1] == L'.') {
            nLen = i - 1;
            break;
        }
    if (pszDst != nullptr) {
        std::wmemcpy(pszDst, psz, nLen);
        pszDst[nLen] = 0;
    }
    if (pnLength != nullptr)
        *pnLength = nLen;
}

void CDiskFile::__SplitPath(const wchar_t* pszPath, wchar_t* pszDir, wchar_t* pszName, wchar_t* pszExt)
{
    CTString clPath(pszPath);
    pszBackSlash2Slash(clPath);
    const wchar_t* psz = clPath.pszGet() != nullptr ? clPath.pszGet() : L"";
    unsigned n = static_cast<unsigned>(std::wcslen(psz));
    unsigned nDir = 0, nName = 0;
    __GetDir(pszDir, psz, n, &nDir);
    const wchar_t* pszRest = psz + nDir;
    __GetFile(pszName, pszRest, n - nDir, &nName);
    if (pszExt != nullptr)
        std::wcscpy(pszExt, pszRest + nName);
}

void CDiskFile::__SplitPath(const wchar_t* pszPath, wchar_t* pszDir, wchar_t* pszNameAndExt)
{
    wchar_t szExt[PATH_SIZE];
    CTString clPath(pszPath);
    // The extension is bounded by the local buffer.
    const wchar_t* psz = clPath.pszGet() != nullptr ? clPath.pszGet() : L"";
    if (std::wcslen(psz) >= PATH_SIZE) {
        if (pszDir != nullptr)
            pszDir[0] = 0;
        if (pszNameAndExt != nullptr)
            pszNameAndExt[0] = 0;
        return;
    }
    __SplitPath(psz, pszDir, pszNameAndExt, szExt);
    if (pszNameAndExt != nullptr)
        std::wcscat(pszNameAndExt, szExt);
}

// ---- Relative paths ----------------------------------------------------------------------

int CDiskFile::bPathRelativePathTo(wchar_t* pszDst, const wchar_t* pszPath, const wchar_t* pszBase,
                                   int bFailOutside)
{
    if (pszDst == nullptr || pszPath == nullptr)
        return 0;
    if (pszBase == nullptr || pszBase[0] == 0) {
        return _bCopySlashes(pszDst, PATH_SIZE, pszPath) ? 1 : 0;
    }
    wchar_t szPath[PATH_SIZE], szBase[PATH_SIZE + 1];
    if (std::wcslen(pszPath) >= PATH_SIZE || std::wcslen(pszBase) >= PATH_SIZE - 1)
        return 0;
    StandardizeFileName(szPath, pszPath);
    StandardizeFileName(szBase, pszBase);
    DirectoryWithEndSlash(szBase);
    int nLevels = 0;
    while (std::wcsncmp(szPath, szBase, std::wcslen(szBase)) != 0) {
        DirectoryWithoutEndSlash(szBase);
        wchar_t szParent[PATH_SIZE];
        __SplitPath(szBase, szParent, nullptr, nullptr);
        std::wcscpy(szBase, szParent);
        nLevels++;
        if (szBase[0] == 0) {
            if (bFailOutside)
                return 0;
            break;
        }
    }
    const wchar_t* pszRest = szPath + std::wcslen(szBase);
    size_t nRest = std::wcslen(pszRest);
    if (nLevels > 0) {
        if (nRest + 3 * static_cast<size_t>(nLevels) >= PATH_SIZE)
            return 0;
        pszDst[0] = 0;
        for (int i = 0; i < nLevels; i++)
            std::wcscat(pszDst, L"../");
    } else {
        if (nRest + 2 >= PATH_SIZE)
            return 0;
        std::wcscpy(pszDst, L"./");
    }
    std::wcscat(pszDst, pszRest);
    return 1;
}

int CDiskFile::bRelativeToFullPath(wchar_t* pszDst, const wchar_t* pszRelative, const wchar_t* pszBase, int nMode)
{
    if (pszDst == nullptr || pszRelative == nullptr || pszBase == nullptr)
        return 0;
    wchar_t szRel[PATH_SIZE], szBase[PATH_SIZE + 1];
    if (!_bCopySlashes(szRel, PATH_SIZE, pszRelative) || !_bCopySlashes(szBase, PATH_SIZE, pszBase))
        return 0;
    if (std::wcscmp(szRel, L".") == 0) {
        std::wcscpy(pszDst, szBase);
        return 1;
    }
    if ((nMode == 0 && szRel[0] != L'.') || (nMode == 1 && szRel[0] == L'/')) {
        std::wcscpy(pszDst, szRel);
        return 1;
    }
    if (std::wcsncmp(szRel, L"./", 2) == 0) {
        // Bounded like the other forms.
        DirectoryWithoutEndSlash(szBase);
        if (std::wcslen(szBase) + std::wcslen(szRel + 1) >= PATH_SIZE)
            return 0;
        std::wcscpy(pszDst, szBase);
        std::wcscat(pszDst, szRel + 1);
        return 1;
    }
    const wchar_t* pszRest = szRel;
    while (std::wcsncmp(pszRest, L"../", 3) == 0) {
        DirectoryWithoutEndSlash(szBase);
        wchar_t szParent[PATH_SIZE];
        __SplitPath(szBase, szParent, nullptr, nullptr);
        std::wcscpy(szBase, szParent);
        pszRest += 3;
    }
    DirectoryWithEndSlash(szBase);
    if (std::wcslen(szBase) + std::wcslen(pszRest) >= PATH_SIZE)
        return 0;
    std::wcscpy(pszDst, szBase);
    std::wcscat(pszDst, pszRest);
    return 1;
}

// ---- Comparisons -------------------------------------------------------------------------

namespace {

// The standardized form into a 261-character buffer; false when too long.
bool _bStandard(wchar_t* pszDst, const wchar_t* psz)
{
    if (psz == nullptr)
        psz = L"";
    if (std::wcslen(psz) >= PATH_SIZE)
        return false;
    CDiskFile::StandardizeFileName(pszDst, psz);
    return true;
}

void _RemoveOneEndSlash(wchar_t* psz)
{
    size_t n = std::wcslen(psz);
    if (n > 0 && psz[n - 1] == L'/')
        psz[n - 1] = 0;
}

}  // namespace

int CDiskFile::bSameFileName(const wchar_t* a, const wchar_t* b)
{
    wchar_t szA[PATH_SIZE], szB[PATH_SIZE];
    if (!_bStandard(szA, a) || !_bStandard(szB, b))
        return 0;
    return std::wcscmp(szA, szB) == 0;
}

int CDiskFile::bSameDirectoryName(const wchar_t* a, const wchar_t* b)
{
    wchar_t szA[PATH_SIZE], szB[PATH_SIZE];
    if (!_bStandard(szA, a) || !_bStandard(szB, b))
        return 0;
    _RemoveOneEndSlash(szA);
    _RemoveOneEndSlash(szB);
    return std::wcscmp(szA, szB) == 0;
}

int CDiskFile::bSameDirectoryNameEx(const wchar_t* a, int bExistingA, const wchar_t* b, int bExistingB)
{
    wchar_t szA[PATH_SIZE], szB[PATH_SIZE];
    if (bExistingA ? !bStandardizeExistingFileName(szA, PATH_SIZE, a) : !_bStandard(szA, a))
        return 0;
    if (bExistingB ? !bStandardizeExistingFileName(szB, PATH_SIZE, b) : !_bStandard(szB, b))
        return 0;
    _RemoveOneEndSlash(szA);
    _RemoveOneEndSlash(szB);
    return std::wcscmp(szA, szB) == 0;
}
