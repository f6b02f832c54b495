#include "common/platform/ZTMFile.h"

#include "common/text/CodePage.h"
#include "common/text/SysUtils.h"
#include "common/text/TextBasics.h"
#include "common/text/Tstring.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

CZTMFile::CZTMFile()
    : CZTFile(0), m_dwBlockSize(0), m_qwBaseOffset(0), m_dwIndexCount(0), m_pIndex(nullptr), m_dwVersion(0),
      m_nCodePage(CP_UTF8), m_bIndexTried(0)
{
}

CZTMFile::~CZTMFile() { XMALLOC_Del_(m_pIndex); }

void CZTMFile::Purge()
{
    XMALLOC_Del_(m_pIndex);
    m_pIndex = nullptr;
    m_dwBlockSize = 0;
    m_qwBaseOffset = 0;
    m_dwIndexCount = 0;
    m_dwVersion = 0;
    m_bIndexTried = 0;
}

int CZTMFile::bReadHeader(long long* pllPosition)
{
    if (!CZTFile::bReadHeader(pllPosition))
        return 0;
    uint32_t dw = 0;
    unsigned n = 0;
    if (!bRead(*pllPosition, &dw, 4, &n) || n < 4)
        return 0;
    m_dwVersion = dw;
    if (dw < 2)
        m_nCodePage = 1252;
    *pllPosition += 4;
    if (!bRead(*pllPosition, &dw, 4, &n) || n < 4)
        return 0;
    m_dwBlockSize = dw;
    *pllPosition += 4;
    m_qwBaseOffset = static_cast<uint64_t>(*pllPosition) + m_dwBlockSize;
    return 1;
}

// Index counts that run past the file are refused.
int CZTMFile::_bChargeIndex()
{
    if (m_pIndex != nullptr)
        return 1;
    if (m_bIndexTried)
        return 0;
    m_bIndexTried = 1;
    const long long llSize = oGetSize();
    uint32_t dwCount = 0;
    if (llSize < 0 || !bRead(static_cast<long long>(m_qwBaseOffset), &dwCount, 4, nullptr))
        return 0;
    const uint64_t qwEnd = m_qwBaseOffset + 4 + 12ull * dwCount;
    if (qwEnd > static_cast<uint64_t>(llSize))
        return 0;
    STOffsetRessource* p = static_cast<STOffsetRessource*>(XMALLOC_pNew_(12u * dwCount + 12u));
    if (p == nullptr)
        return 0;
    if (dwCount > 0 && !bRead(p, 12u * dwCount, nullptr)) {
        XMALLOC_Del_(p);
        return 0;
    }
    m_pIndex = p;
    m_dwIndexCount = dwCount;
    m_qwBaseOffset = qwEnd;
    return 1;
}

int CZTMFile::__nCompareRessource(const void* a, const void* b)
{
    const uint32_t x = static_cast<const STOffsetRessource*>(a)->dwId;
    const uint32_t y = static_cast<const STOffsetRessource*>(b)->dwId;
    return x < y ? -1 : x > y ? 1 : 0;
}

long long CZTMFile::__oGetOffsetRessource(uint32_t dwId)
{
    if (m_pIndex == nullptr)
        return 0;
    STOffsetRessource stKey;
    stKey.dwId = dwId;
    const STOffsetRessource* p = static_cast<const STOffsetRessource*>(
        std::bsearch(&stKey, m_pIndex, m_dwIndexCount, sizeof(STOffsetRessource), __nCompareRessource));
    if (p == nullptr)
        return 0;
    return static_cast<long long>(m_qwBaseOffset + p->qwOffset);
}

// Text lengths that run past the file are refused.
bool CZTMFile::_bReadRecord(uint32_t dwId, char** ppData, uint32_t* pnLength)
{
    *ppData = nullptr;
    *pnLength = 0;
    if (!_bChargeIndex())
        return false;
    const long long llRecord = __oGetOffsetRessource(dwId);
    const long long llSize = oGetSize();
    if (llRecord <= 0 || llSize < 0)
        return false;
    uint32_t dwLength = 0;
    if (!bRead(llRecord + 1, &dwLength, 4, nullptr))
        return false;
    if (static_cast<unsigned long long>(llRecord) + 5 + dwLength > static_cast<unsigned long long>(llSize))
        return false;
    char* p = static_cast<char*>(XMALLOC_pNew_(dwLength + 1u));
    if (p == nullptr)
        return false;
    if (dwLength > 0 && !bRead(p, dwLength, nullptr)) {
        XMALLOC_Del_(p);
        return false;
    }
    p[dwLength] = 0;
    *ppData = p;
    *pnLength = dwLength;
    return true;
}

int CZTMFile::bLoadString(uint32_t dwId, CTString* pclText)
{
    char* p = nullptr;
    uint32_t n = 0;
    if (pclText == nullptr || !_bReadRecord(dwId, &p, &n))
        return 0;
    pclText->SetANSIEx(p, static_cast<int>(n), m_nCodePage);
    XMALLOC_Del_(p);
    return 1;
}

int CZTMFile::nLoadString(uint32_t dwId, wchar_t* pszBuffer, int nSize)
{
    if (pszBuffer == nullptr || nSize < 1)
        return 0;
    pszBuffer[0] = 0;
    char* p = nullptr;
    uint32_t n = 0;
    if (!_bReadRecord(dwId, &p, &n))
        return 0;
    int nChars = n == 0 ? 0 : MultiByteToWideChar(m_nCodePage, 0, p, static_cast<int>(n), nullptr, 0);
    std::wstring str;
    if (nChars > 0) {
        str.resize(static_cast<size_t>(nChars));
        MultiByteToWideChar(m_nCodePage, 0, p, static_cast<int>(n), &str[0], nChars);
    }
    XMALLOC_Del_(p);
    const size_t nCopy = str.size() < static_cast<size_t>(nSize - 1) ? str.size() : static_cast<size_t>(nSize - 1);
    std::wmemcpy(pszBuffer, str.data(), nCopy);
    pszBuffer[nCopy] = 0;
    return static_cast<int>(n);
}

int CZTMFile::bVerifieFormat(const wchar_t* pszPath)
{
    const int bOk = CZTFile::bOpen(pszPath, static_cast<IXStream::eFORMAT>(0), IXStream::ACCESS_READ, IXStream::SHARE_NONE,
                                   IXStream::CREATE_EXISTING, 0) &&
                    _bChargeIndex();
    Close();
    return bOk;
}
