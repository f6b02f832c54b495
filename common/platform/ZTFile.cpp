#include "common/platform/ZTFile.h"

#include "common/platform/DiskFile.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"

#include <cerrno>
#include <cstring>

uint8_t CZTFile::ms_byCodeProduitCourant = 0;

CZTFile::CZTFile(uint32_t dwTypeId)
    : m_dwTypeId(dwTypeId), m_byProductCode(0), m_wFormatVersion(0), m_wSubVersion(0), m_dwHeaderSize(0),
      m_wFormat(0), m_wReserved(0)
{
}

void CZTFile::_HeaderError(unsigned nMessage, const wchar_t* pszDebugFormat, unsigned a, unsigned b,
                           bool bVersionArg)
{
    CXError* pclError = _pclGetXError();
    if (pclError == nullptr)
        return;
    const wchar_t* pszName = pszGetName() != nullptr ? pszGetName() : L"";
    pclError->RAZ();
    pclError->InitModInfo(&gstMyModuleInfo32, 1);
    pclError->SetErrorLevel(EL_ERROR);
    pclError->AddDebugMessagePrintf(pszDebugFormat, a, b);
    if (bVersionArg)
        pclError->AddUserMessageFirst(&gstMyModuleInfo32, nMessage, L"19.0", pszName);
    else
        pclError->AddUserMessageFirst(&gstMyModuleInfo32, nMessage, pszName);
    pclError->AddInfo(EIT_SRCFILE, pszName);
}

int CZTFile::bOpen(const wchar_t* pszName, IXStream::eFORMAT eFormat, IXStream::eACCESS eAccess,
                   IXStream::eSHARE eShare, IXStream::eCREATE eCreate, IXStream::eFLAG eFlag)
{
    return bOpenEx(pszName, eFormat, eAccess, eShare, eCreate, eFlag, 0);
}

int CZTFile::bOpenEx(const wchar_t* pszName, IXStream::eFORMAT eFormat, IXStream::eACCESS eAccess,
                     IXStream::eSHARE eShare, IXStream::eCREATE eCreate, IXStream::eFLAG eFlag, int bForce)
{
    int bCreated = 0;
    if (!CXFile::bOpen(pszName, eAccess, eShare, eCreate, eFlag, &bCreated))
        return 0;
    const bool bWrite = eCreate == IXStream::CREATE_TRUNCATE ||
                        (eCreate == IXStream::CREATE_OPENORCREATE && (bCreated || errno != EEXIST)) || bForce;
    return _bHeaderStep(bWrite, eFormat);
}

int CZTFile::_bHeaderStep(bool bWrite, IXStream::eFORMAT eFormat)
{
    long long llPosition = 0;
    int bOk;
    if (bWrite) {
        m_wFormat = eFormat;
        bOk = bWriteHeader(&llPosition);
    } else {
        bOk = bReadHeader(&llPosition);
    }
    if (!bOk)
        Close();
    return bOk;
}

int CZTFile::bReopen(IXStream::eFORMAT eFormat, IXStream::eACCESS eAccess, IXStream::eSHARE eShare,
                     IXStream::eCREATE eCreate, IXStream::eFLAG eFlag)
{
    if (!CXFile::bReopen(eAccess, eShare, eCreate, eFlag))
        return 0;
    return _bHeaderStep(eCreate == IXStream::CREATE_TRUNCATE ||
                            (eCreate == IXStream::CREATE_OPENORCREATE && errno != EEXIST),
                        eFormat);
}

int CZTFile::bWriteHeader(long long* pllPosition)
{
    _stENTETE_FICHIER_QUORVIX st;
    return bWriteHeaderEx(pllPosition, &st);
}

int CZTFile::bWriteHeaderEx(long long* pllPosition, _stENTETE_FICHIER_QUORVIX* pstHeader)
{
    if (pllPosition == nullptr || pstHeader == nullptr)
        return 0;
    m_dwHeaderSize = HEADER_SIZE;
    m_wFormatVersion = FORMAT_VERSION;
    m_wSubVersion = 0;
    m_wReserved = 0;
    m_byProductCode = ms_byCodeProduitCourant;
    if (m_dwTypeId == TYPE_WILDCARD)
        m_dwTypeId = 2;
    pstHeader->dwSignature = SIGNATURE;
    pstHeader->dwHeaderSize = m_dwHeaderSize;
    pstHeader->dwTypeId = m_dwTypeId;
    pstHeader->wSubVersion = m_wSubVersion;
    pstHeader->byFormatVersion = static_cast<uint8_t>(m_wFormatVersion);
    pstHeader->byProductCode = m_byProductCode;
    pstHeader->wFormat = m_wFormat;
    pstHeader->wReserved = m_wReserved;
    if (!bSeek(*pllPosition, 0))
        return 0;
    unsigned nWritten = 0;
    if (!bWrite(pstHeader, HEADER_SIZE, &nWritten))
        return 0;
    if (nWritten < HEADER_SIZE) {
        _HeaderError(28009, L"##(IXStream)-A ecrire=<%u>, ecrit=<%u>##", HEADER_SIZE, nWritten, false);
        return 0;
    }
    *pllPosition += HEADER_SIZE;
    return 1;
}

int CZTFile::bReadHeader(long long* pllPosition)
{
    if (pllPosition == nullptr)
        return 0;
    _stENTETE_FICHIER_QUORVIX st;
    if (!bSeek(*pllPosition, 0) || !bRead(&st, HEADER_SIZE, nullptr))
        return 0;
    if (st.dwSignature != SIGNATURE) {
        _HeaderError(28555, L"##(CZTFile)-Signature geree=<%u>, signature lue=<%u>##", SIGNATURE, st.dwSignature,
                     true);
        return 0;
    }
    const uint32_t dwType = st.dwTypeId;
    const bool bWildcardMatch =
        m_dwTypeId == TYPE_WILDCARD && (dwType == 2 || dwType == 8 || dwType == 0x102 || dwType == 0x103);
    if (m_dwTypeId == 0 || bWildcardMatch) {
        m_dwTypeId = dwType;
    } else if (m_dwTypeId != dwType) {
        _HeaderError(28259, L"##(CZTFile)-Type demande=<%u>, type lu=<%u>##", m_dwTypeId, dwType, false);
        return 0;
    }
    if (st.dwHeaderSize < HEADER_SIZE) {
        _HeaderError(28011, L"##(CZTFile)-Taille entete attendue=<%u>, Taille entete lue=<%u>##", HEADER_SIZE,
                     st.dwHeaderSize, false);
        return 0;
    }
    m_wSubVersion = st.wSubVersion;
    m_wFormatVersion = st.byFormatVersion;
    m_byProductCode = st.byProductCode;
    m_dwHeaderSize = st.dwHeaderSize;
    m_wFormat = st.wFormat;
    m_wReserved = st.wReserved;
    *pllPosition += st.dwHeaderSize;
    return 1;
}

// ---- Static tests -------------------------------------------------------------------

int CZTFile::bIdReconnu(uint32_t t)
{
    struct Range {
        uint32_t from, to;
    };
    static const Range s_ranges[] = {
        {1, 0x10007},           {0x60001, 0x60001},   {0x70001, 0x70006},   {0x80001, 0x80002},
        {0xA0001, 0xA0001},     {0xB0001, 0xB0005},   {0xC0001, 0xC0005},   {0xD0001, 0xD0004},
        {0xE0001, 0xE0003},     {0xF0001, 0xF0002},   {0x100001, 0x100002}, {0x110001, 0x110005},
        {0x120001, 0x120001},   {0x130001, 0x130001}, {0x160001, 0x160001},
    };
    for (const Range& r : s_ranges)
        if (t >= r.from && t <= r.to)
            return 1;
    return 0;
}

int CZTFile::s_bIsProjet(uint32_t t) { return t == 1 || t == 0x101 || t == 0x1001 || t == 0x10001; }

const wchar_t* CZTFile::s_pszVerNomProduit(int nCode)
{
    switch (nCode) {
    case 0:
        return L"Standard edition";
    case 6:
        return L"Mobile edition";
    case 20:
        return L"Web edition";
    case 30:
        return L"Express edition";
    default:
        return nullptr;
    }
}

uint8_t CZTFile::byGetCodeProduit(const wchar_t* pszPath)
{
    if (!CDiskFile::bExist(pszPath))
        return 0;
    CDiskFile clFile;
    _stENTETE_FICHIER_QUORVIX st;
    if (!clFile.bOpen(pszPath, IXStream::ACCESS_READ, IXStream::SHARE_NONE, IXStream::CREATE_EXISTING, 0, nullptr) ||
        !clFile.bRead(&st, HEADER_SIZE, nullptr))
        return 0;
    return st.byProductCode;
}

uint32_t CZTFile::dwIdFichierInconnu(IXStream* piStream)
{
    _stENTETE_FICHIER_QUORVIX st;
    if (piStream == nullptr || !piStream->bRead(0, &st, HEADER_SIZE, nullptr))
        return 0;
    return st.dwSignature == SIGNATURE ? st.dwTypeId : 0;
}

uint32_t CZTFile::dwIdFichierInconnu(const wchar_t* pszPath)
{
    CDiskFile clFile;
    if (!clFile.bOpen(pszPath, IXStream::ACCESS_READ, IXStream::SHARE_NONE, IXStream::CREATE_EXISTING, 0, nullptr))
        return 0xFFFFFFFFu;
    return dwIdFichierInconnu(&clFile);
}
