#include "access/driver/NAConnectionDescription.h"

#include "access/driver/INAConnectionDescription.h"
#include "access/driver/NADriverSQL.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NAMapConvertType.h"
#include "access/driver/NATransaction.h"
#include "access/driver/NaDriver.h"
#include "access/sql/ISQLParserInformation.h"
#include "access/sql/NACommand.h"
#include "access/statement/NAStatementSQL.h"
#include "common/platform/XTime.h"
#include "common/text/TStringConcatAW.h"
#include "common/text/XYString.h"
#include "common/values/Any.h"
#include "common/values/NACnvVariant.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/WinApi.h"
#include "common/text/CodePage.h"
#include "common/text/StringParameter.h"
#include "common/text/TextCompare.h"

#include <climits>
#include <cwchar>
#include <cwctype>
#include <initializer_list>
#include <new>
#include <string>

unsigned int CNAConnectionDescription::m_gnCnxGenerator = 0;
CTString CNAConnectionDescription::m_csClientVersion;
CTString CNAConnectionDescription::m_csClientLibrary;
int CNAConnectionDescription::m_nClientVersionMajor = -1;
int CNAConnectionDescription::m_nClientVersionMinor = 0;
int CNAConnectionDescription::m_nClientVersionRevision = 0;
int CNAConnectionDescription::m_nClientVersionPatch = 0;

namespace {

// Raising sites of this file.
constexpr int kFile = 1;
constexpr int kPointUnicodeRefused = 1;
constexpr int kPointClientLibrary = 2;
constexpr int kPointNoMemory = 3;
constexpr int kPointBadDate = 4;
constexpr int kPointBadTime = 5;
constexpr int kPointBadDateTime = 6;
constexpr int kPointHexaNoMemory = 7;
constexpr int kPointConversion = 8;
constexpr int kPointTypeText = 9;
// The server's limits of a type text: lengths of texts and binaries, and
// the digits of a decimal.
constexpr long long kMaxTypeLength = 65535;
constexpr long long kMaxPrecision = 65;
constexpr long long kMaxScale = 30;
// Casts that fail (the points of the cast rules).
constexpr int kPointCastTime = 14;
constexpr int kPointCastDate = 15;
constexpr int kPointCast = 16;
constexpr int kPointLockNoQuery = 17;
constexpr int kPointLockComment = 18;
constexpr int kPointLockStatements = 19;
constexpr int kPointNameCodePage = 20;

// The name of the program when even its file cannot be found.
const wchar_t kBuiltInApplicationName[] = L"VELMORA Quorvix";

const wchar_t* Text(const wchar_t* psz)
{
    return psz != nullptr ? psz : L"";
}

// A decimal option value; false when it holds no number.
bool bReadInt(const CTString& cl, long long* pll)
{
    const wchar_t* psz = cl.pszGet();
    if (psz == nullptr || *psz == 0)
        return false;
    wchar_t* pszEnd = nullptr;
    const long long ll = std::wcstoll(psz, &pszEnd, 10);
    if (pszEnd == psz)
        return false;
    *pll = ll;
    return true;
}

} // namespace

// ---- Construction -------------------------------------------------------------------------

CNAConnectionDescription::CNAConnectionDescription(const wchar_t* pszIdentification,
                                                   INAConnectionDescription* piHost)
    : m_nNumber(++m_gnCnxGenerator),
      m_piHost(piHost),
      m_bAutoClose(1),
      m_pclTransaction(nullptr),
      m_bOpenedBySQL(0),
      m_llCacheSize(-2),
      m_eCursorLocation(CL_DEFAULT),
      m_bSeparateTransactions(1),
      m_nTransactionCount(0),
      m_nConnectionTimeout(-1),
      m_nCommandTimeout(-1),
      m_nLockTimeout(-1),
      m_pclMapConvertType(nullptr),
      m_bUnicodeItemsAllowed(1),
      m_nUnicodeSupport(1),
      m_nHostCodePage(0),
      m_nCnxCodePage(-1),
      m_dwReserved(0),
      m_eDataSource(DS_GENERIC),
      m_nServerVersionMajor(-1),
      m_nServerVersionMinor(0),
      m_nServerVersionRevision(0),
      m_nOpeningQuoteLength(0),
      m_nClosingQuoteLength(0),
      m_nHostOpens(0)
{
    if (m_piHost != nullptr)
        m_piHost->AddRef();
    _InitCodePageFromTQ();
    m_csIdentification = pszIdentification;
    _BuildConnectionString();
    if (m_piHost != nullptr)
        m_csExtendedInfo = m_piHost->pszGetExtendedInfo();
    _ReadOptions();
}

CNAConnectionDescription::~CNAConnectionDescription()
{
    _CloseTransactions();
    if (m_pclMapConvertType != nullptr)
        m_pclMapConvertType->nRelease();
    m_pclMapConvertType = nullptr;
    if (m_piHost != nullptr)
        m_piHost->Release();
    m_piHost = nullptr;
}

void CNAConnectionDescription::_BuildConnectionString()
{
    m_clConnectionString.m_nLength = 0;
    m_clConnectionString._Termine();
    struct {
        const wchar_t* pszName;
        const wchar_t* pszValue;
    } const tab[] = {
        {L"Provider=", m_piHost != nullptr ? m_piHost->pszGetProvider() : nullptr},
        {L";ExtendedInformation=", m_piHost != nullptr ? m_piHost->pszGetExtendedInfo() : nullptr},
        {L";Data source=", m_piHost != nullptr ? m_piHost->pszGetDataSource() : nullptr},
        {L";user id=", m_piHost != nullptr ? m_piHost->pszGetUserName() : nullptr},
        {L";password=", m_piHost != nullptr ? m_piHost->pszGetPassword() : nullptr},
    };
    for (const auto& st : tab) {
        m_clConnectionString.Add(st.pszName);
        m_clConnectionString.Add(st.pszValue != nullptr ? st.pszValue : L"NULL");
    }
}

void CNAConnectionDescription::_ReadOptions()
{
    CTString cl;
    long long ll = 0;

    m_nConnectionTimeout = m_piHost != nullptr ? m_piHost->nGetDefaultConnectionTimeout() : -1;
    _bGetExtendedParameter(&cl, L"ZT Connection Timeout", 1);
    if (bReadInt(cl, &ll))
        m_nConnectionTimeout = static_cast<int>(ll);

    m_nCommandTimeout = m_piHost != nullptr ? m_piHost->nGetDefaultCommandTimeout() : -1;
    _bGetExtendedParameter(&cl, L"ZT Command Timeout", 1);
    if (bReadInt(cl, &ll))
        m_nCommandTimeout = static_cast<int>(ll);

    m_nLockTimeout = -1;
    _bGetExtendedParameter(&cl, L"ZT Lock Timeout", 1);
    if (bReadInt(cl, &ll))
        m_nLockTimeout = static_cast<int>(ll);

    // The host knows a cache size only from version 4 of its interface on.
    _bGetExtendedParameter(&cl, L"ZT Cache Size", 1);
    if (bReadInt(cl, &ll))
        m_llCacheSize = ll;
    else if (m_piHost != nullptr && m_piHost->nGetVersion() > 3)
        m_llCacheSize = m_piHost->llGetCacheSize();
    else
        m_llCacheSize = -2;

    _bGetExtendedParameter(&cl, L"ZT Cursor Location", 1);
    if (cl.nTaille() > 0) {
        m_eCursorLocation = cl.bEstEgalI(L"SERVER") ? CL_SERVER : cl.bEstEgalI(L"CLIENT") ? CL_CLIENT : CL_DEFAULT;
    } else {
        const int nOptions = m_piHost != nullptr ? m_piHost->lGetCursorOptions() : 0;
        m_eCursorLocation = (nOptions & 0x1) != 0 ? CL_SERVER : (nOptions & 0x2) != 0 ? CL_CLIENT : CL_DEFAULT;
    }

    m_nUnicodeSupport = 1;
    _bGetExtendedParameter(&cl, L"ZT Unicode Support", 1);
    if (bReadInt(cl, &ll))
        m_nUnicodeSupport = static_cast<int>(ll);

    _bGetExtendedParameter(&m_csRecordLock, L"ZT RECORD LOCK", 1);
    _bGetExtendedParameter(&m_csClientVersionWanted, L"ZT CLIENT VERSION", 1);
    _bGetExtendedParameter(&m_csClientLibraryWanted, L"ZT CLIENT LIBRARY", 1);
    _bGetExtendedParameter(&m_csApplicationName, L"Application Name", 1);
    _bGetExtendedParameter(&m_csSSLMode, L"SSL Mode", 1);
    _bGetExtendedParameter(&m_csSSLKey, L"SSL Key", 1);
    _bGetExtendedParameter(&m_csSSLCert, L"SSL Cert", 1);
    _bGetExtendedParameter(&m_csSSLCA, L"SSL CA", 1);
    _bGetExtendedParameter(&m_csSSLCAPath, L"SSL CAPath", 1);
    _bGetExtendedParameter(&m_csSSLCipher, L"SSL Cipher", 1);
}

int CNAConnectionDescription::_bGetExtendedParameter(CTString* pclValue, const wchar_t* pszKey, int bRemove)
{
    int bFound = 0;
    return _bGetExtendedParameter(pclValue, pszKey, bRemove, &bFound);
}

int CNAConnectionDescription::_bGetExtendedParameter(CTString* pclValue, const wchar_t* pszKey, int bRemove,
                                                     int* pbFound)
{
    return CStringParameter::s_bGetParameterValue(pclValue, pbFound, &m_csExtendedInfo, pszKey, bRemove);
}

// ---- The host description's answers -----------------------------------------------------------

const wchar_t* CNAConnectionDescription::pszGetUserName() const
{
    return m_piHost != nullptr ? m_piHost->pszGetUserName() : nullptr;
}

const wchar_t* CNAConnectionDescription::pszGetPassword() const
{
    return m_piHost != nullptr ? m_piHost->pszGetPassword() : nullptr;
}

const wchar_t* CNAConnectionDescription::pszGetDataBase() const
{
    return m_piHost != nullptr ? m_piHost->pszGetDataSource() : nullptr;
}

const wchar_t* CNAConnectionDescription::pszGetDescription() const
{
    return m_piHost != nullptr ? m_piHost->pszGetDescription() : nullptr;
}

int CNAConnectionDescription::eGetAccess() const
{
    return m_piHost != nullptr ? static_cast<int>(m_piHost->eGetAccess()) : 0;
}

int CNAConnectionDescription::nGetNbParam() const
{
    return m_piHost != nullptr ? m_piHost->nGetNbParam() : 0;
}

void* CNAConnectionDescription::pclGetParam(int nIndex) const
{
    return m_piHost != nullptr ? m_piHost->pclGetParam(nIndex) : nullptr;
}

int CNAConnectionDescription::lGetCursorOptions() const
{
    return m_piHost != nullptr ? m_piHost->lGetCursorOptions() : 0;
}

const wchar_t* CNAConnectionDescription::pszGetDefaultDataBase() const
{
    return m_piHost != nullptr ? m_piHost->pszGetDefaultDataBase() : nullptr;
}

const wchar_t* CNAConnectionDescription::pszGetLogicalConnectionName() const
{
    return m_piHost != nullptr ? m_piHost->pszGetLogicalConnectionName() : nullptr;
}

const wchar_t* CNAConnectionDescription::pszGetConnectionName() const
{
    const wchar_t* psz = m_piHost != nullptr ? m_piHost->pszGetConnectionName() : nullptr;
    return psz != nullptr ? psz : L"";
}

const wchar_t* CNAConnectionDescription::pszGetDefaultDataBaseEx()
{
    if (m_csDefaultDataBase.nTaille() > 0)
        return m_csDefaultDataBase.pszGet();
    CTString cl;
    _bGetExtendedParameter(&cl, L"Initial Catalog", 0);
    if (cl.nTaille() == 0 && m_piHost != nullptr) {
        CTString clProvider(m_piHost->pszGetProvider());
        int bFound = 0;
        CStringParameter::s_bGetParameterValue(&cl, &bFound, &clProvider, L"Initial Catalog", 0);
    }
    if (cl.nTaille() == 0)
        cl = pszGetDefaultDataBase();
    m_csDefaultDataBase.Transfert(cl);
    return m_csDefaultDataBase.pszGet();
}

// ---- Automatic close and code pages -------------------------------------------------------------

int CNAConnectionDescription::bAutoCloseEnabled() const
{
    return m_bAutoClose != 0 && !_bTransactionOpened();
}

void CNAConnectionDescription::_InitCodePageFromTQ()
{
    m_nHostCodePage = static_cast<int>(dwGetCodePageFromCharset(STR_nGetCurrentChangeCharset()));
}

// ---- Fixed answers of the base --------------------------------------------------------------------

int CNAConnectionDescription::bSupportOrderByMemo()
{
    return 0;
}

int CNAConnectionDescription::bOrderByIndiceAllowed()
{
    return 1;
}

int CNAConnectionDescription::bTransactionEndCloseParse()
{
    return 0;
}

int CNAConnectionDescription::bTreatEmptyDateAsNULL()
{
    return 1;
}

int CNAConnectionDescription::bTreat0000DateAsNULL()
{
    return m_eDataSource == 2;
}

int CNAConnectionDescription::bSupportItemTime()
{
    return 0;
}

int CNAConnectionDescription::bSupportItemDate()
{
    return 0;
}

int CNAConnectionDescription::bNULLBeforeNotNULL()
{
    return 1;
}

int CNAConnectionDescription::bSupportInsertReturning()
{
    return 0;
}

int CNAConnectionDescription::bCanPrepareQuery()
{
    return 1;
}

int CNAConnectionDescription::bIndexNamesCommonOnDatabase()
{
    return 0;
}

int CNAConnectionDescription::bOpenCreate(CNAError* pError)
{
    return bOpen(pError);
}

const wchar_t* CNAConnectionDescription::pszGetNoLockHint()
{
    return m_csRecordLock.pszGet();
}

int CNAConnectionDescription::bSQLBloque(CNAError* pError, ISQLParserInformation* piParser)
{
    // The rows of the parsed query, through its text.
    const wchar_t* pszQuery = piParser != nullptr ? piParser->pszGetRequete() : nullptr;
    if (pszQuery == nullptr || pszQuery[0] == 0) {
        if (pError != nullptr)
            pError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointLockNoQuery, this, nullptr, nullptr,
                                   ZTERR_NO_QUERY_TYPE);
        return 0;
    }
    return bSQLBloqueRequete(pError, pszQuery);
}

int CNAConnectionDescription::bInitError(CNAError*, unsigned int, unsigned int)
{
    return 0;
}

eNA_ERRORTYPE CNAConnectionDescription::eGetNAErrorType(unsigned int)
{
    return NA_ERRORTYPE_GENERAL;
}

int CNAConnectionDescription::bDBTypeToString(CTString*, int)
{
    return 0;
}

int CNAConnectionDescription::bDBTypeUnkwnownByDB(int)
{
    return 0;
}

int CNAConnectionDescription::bBackslashEscapes()
{
    return 1;
}

int CNAConnectionDescription::bMinusSetOperator()
{
    return 0;
}

long long CNAConnectionDescription::llGetMaxStatementLength()
{
    return LLONG_MAX;
}

int CNAConnectionDescription::_bDecomposeServerVersion(CNAError* pError)
{
    return g_bDecomposeVersion(pError, &m_csServerVersion, &m_nServerVersionMajor, &m_nServerVersionMinor,
                               &m_nServerVersionRevision);
}

// ---- Versions and programs ---------------------------------------------------------------------------

int CNAConnectionDescription::g_bDecomposeVersion(CNAError*, const CTString* pclText, int* pnMajor, int* pnMinor,
                                                  int* pnRevision)
{
    if (pclText == nullptr)
        return 1;
    int* const apn[] = {pnMajor, pnMinor, pnRevision};
    for (int i = 0; i < 3; ++i) {
        CTString clField;
        if (!pclText->bExtraitChaine(static_cast<unsigned>(i), L'.', &clField))
            break;
        int n = 0;
        if (apn[i] != nullptr && std::swscanf(Text(clField.pszGet()), L"%d", &n) == 1)
            *apn[i] = n;
    }
    return 1;
}

int CNAConnectionDescription::g_bGetModuleFileName(HINSTANCE hModule, CTString* pclPath)
{
    wchar_t szPath[1044];
    const DWORD n = GetModuleFileNameW(static_cast<HMODULE>(hModule), szPath, 1044);
    if (n == 0 || n >= 1043)
        return 0;
    szPath[n] = 0;
    if (pclPath != nullptr)
        pclPath->Set(szPath);
    return 1;
}

void CNAConnectionDescription::s_ExeNameOfPath(const wchar_t* pszPath, CTString* pclName)
{
    const wchar_t* psz = Text(pszPath);
    const wchar_t* pszSlash = std::wcsrchr(psz, L'/');
    if (pszSlash != nullptr)
        psz = pszSlash + 1;
    const wchar_t* pszDot = std::wcsrchr(psz, L'.');
    if (pszDot != nullptr && pszDot != psz)
        pclName->Set(psz, static_cast<unsigned>(pszDot - psz));
    else
        pclName->Set(psz);
}

int CNAConnectionDescription::g_bGetExeName(CTString* pclName)
{
    CTString clPath;
    if (!g_bGetModuleFileName(nullptr, &clPath))
        return 0;
    s_ExeNameOfPath(clPath.pszGet(), pclName);
    return pclName->nTaille() > 0;
}

const wchar_t* CNAConnectionDescription::pszGetApplicationName()
{
    if (m_csApplicationName.nTaille() == 0) {
        CTString cl;
        if (g_bGetExeName(&cl))
            m_csApplicationName.Transfert(cl);
        else
            m_csApplicationName = kBuiltInApplicationName;
    }
    return m_csApplicationName.pszGet();
}

int CNAConnectionDescription::_bCheckClientLibraryWanted(CNAError* pError)
{
    const CTString& clWanted = m_csClientLibraryWanted;
    if (clWanted.nTaille() == 0 || clWanted.bEstEgalI(m_csClientLibrary))
        return 1;
    if (clWanted.nPos(L'/') < 0) {
        const wchar_t* pszLoaded = Text(m_csClientLibrary.pszGet());
        const wchar_t* pszSlash = std::wcsrchr(pszLoaded, L'/');
        if (clWanted.bEstEgalI(pszSlash != nullptr ? pszSlash + 1 : pszLoaded))
            return 1;
    }
    if (pError != nullptr)
        pError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointClientLibrary, this, nullptr, nullptr,
                               ZTERR_CLIENT_LIBRARY, L"MySQL", Text(m_csClientLibrary.pszGet()),
                               Text(clWanted.pszGet()));
    return 0;
}

// ---- Hexadecimal ----------------------------------------------------------------------------------------

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

// Two upper-case hexadecimal digits per byte, appended.
template <class T>
void AppendHexa(std::basic_string<T>* ps, const unsigned char* p, unsigned int nSize)
{
    for (unsigned int i = 0; p != nullptr && i < nSize; ++i) {
        *ps += static_cast<T>(kHexDigits[p[i] >> 4]);
        *ps += static_cast<T>(kHexDigits[p[i] & 0xF]);
    }
}

int nHexValue(unsigned int c)
{
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    return -1;
}

template <class T>
unsigned int HexaToBinary(const T* psz, unsigned char* pOut, unsigned int nCapacity)
{
    if (pOut == nullptr)
        return 0;
    for (unsigned int i = 0; i < nCapacity; ++i)
        pOut[i] = 0;
    if (psz == nullptr)
        return 0;
    unsigned int n = 0;
    for (; n < nCapacity; ++n, psz += 2) {
        const int nHigh = nHexValue(static_cast<unsigned int>(psz[0]));
        if (nHigh < 0)
            break;
        const int nLow = nHexValue(static_cast<unsigned int>(psz[1]));
        if (nLow < 0)
            break;
        pOut[n] = static_cast<unsigned char>(nHigh * 16 + nLow);
    }
    return n;
}

} // namespace

void CNAConnectionDescription::s_BinaryToStringHexa(const unsigned char* p, unsigned int nSize, CTString* pclOut)
{
    std::wstring s;
    AppendHexa(&s, p, nSize);
    pclOut->Set(s.c_str());
}

void CNAConnectionDescription::s_BinaryToStringHexa(const unsigned char* p, unsigned int nSize,
                                                    CXYString<char>* pclOut)
{
    std::string s;
    AppendHexa(&s, p, nSize);
    *pclOut = CXYString<char>(s.c_str(), static_cast<int>(s.size()));
}

unsigned int CNAConnectionDescription::s_StringHexaToBinary(const wchar_t* psz, unsigned char* pOut,
                                                            unsigned int nCapacity)
{
    return HexaToBinary(psz, pOut, nCapacity);
}

unsigned int CNAConnectionDescription::s_StringHexaToBinary(const char* psz, unsigned char* pOut,
                                                            unsigned int nCapacity)
{
    return HexaToBinary(psz, pOut, nCapacity);
}

// ---- Type map -------------------------------------------------------------------------------------------

CNAMapConvertType* CNAConnectionDescription::_pclGetMapConvertType()
{
    if (m_pclMapConvertType == nullptr) {
        CNAMapConvertType* pcl = new (std::nothrow) CNAMapConvertType(7);
        if (pcl == nullptr)
            return nullptr;
        pcl->AddRef();
        pcl->_Init();
        m_pclMapConvertType = pcl;
        _InitKX2NativeType();
    }
    return m_pclMapConvertType;
}

int CNAConnectionDescription::bGetMatchingSQLType(CNAError* pError, INAItemDescription* piItem, CTString* pclOut)
{
    if (piItem == nullptr)
        return 0;
    const eNA_ITEMTYPE eType = piItem->eNAGetItemType();
    if ((eType == NA_IT_UNICODE || eType == NA_IT_MEMOUNICODE) && !m_bUnicodeItemsAllowed) {
        if (pError != nullptr)
            pError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointUnicodeRefused, this,
                                   piItem->pszGetSourceName(), piItem->pszGetName(), ZTERR_UNICODE_REFUSED,
                                   Text(pszGetDefaultDataBaseEx()), Text(pszGetDataBase()));
        return 0;
    }
    if (m_eDataSource == DS_MYSQL && eType == NA_IT_DECIMAL) {
        int nScale = piItem->nGetDecimalPart();
        if (nScale > 30)
            nScale = 30;
        int nTotal = piItem->nGetIntegerPart() + nScale;
        if (nTotal >= 65)
            nTotal = 64;
        wchar_t sz[40];
        std::swprintf(sz, 40, L"NUMERIC(%d,%d)", nTotal, nScale);
        pclOut->Set(sz);
        return 1;
    }
    CNAMapConvertType* pclMap = _pclGetMapConvertType();
    if (pclMap == nullptr) {
        if (pError != nullptr)
            pError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, kFile, kPointNoMemory, this);
        return 0;
    }
    return pclMap->bFormat(piItem, pclOut);
}

// ---- Names --------------------------------------------------------------------------------------------

namespace {

bool bStartsWith(const wchar_t* psz, const CTString& clPrefix)
{
    const int n = clPrefix.nTaille();
    return n > 0 && std::wcsncmp(psz, clPrefix.pszGet(), static_cast<size_t>(n)) == 0;
}

// Every occurrence of the quote text in s doubled, or (bUndo) halved.
std::wstring Doubled(const std::wstring& s, const CTString& clQuote, bool bUndo)
{
    const int nQuote = clQuote.nTaille();
    if (nQuote == 0)
        return s;
    const std::wstring q(clQuote.pszGet());
    std::wstring r;
    size_t i = 0;
    while (i < s.size()) {
        if (s.compare(i, q.size(), q) == 0) {
            r += q;
            i += q.size();
            if (bUndo && s.compare(i, q.size(), q) == 0)
                i += q.size();
            else if (!bUndo)
                r += q;
        } else {
            r += s[i++];
        }
    }
    return r;
}

std::wstring Trimmed(const std::wstring& s)
{
    const size_t nFirst = s.find_first_not_of(L" \t");
    if (nFirst == std::wstring::npos)
        return std::wstring();
    const size_t nLast = s.find_last_not_of(L" \t");
    return s.substr(nFirst, nLast - nFirst + 1);
}

} // namespace

int CNAConnectionDescription::s_bReservedSQLWord(const wchar_t* pszName)
{
    return pszName != nullptr && CTString(pszName).bEstEgalI(L"GROUP");
}

int CNAConnectionDescription::s_bNeedFormat_Oracle(const wchar_t* pszName)
{
    const wchar_t* psz = Text(pszName);
    if (psz[0] == L'"' || psz[0] == L'[')
        return 0;
    if (std::wcspbrk(psz, L" \u00B0-") != nullptr || psz[0] == L'_')
        return 1;
    return s_bReservedSQLWord(psz);
}

int CNAConnectionDescription::_bNeedFormatName(CNAError*, const wchar_t* pszName)
{
    if (m_nOpeningQuoteLength == 0 && m_nClosingQuoteLength == 0)
        return 0;
    const wchar_t* psz = Text(pszName);
    if (m_eDataSource == 1 && !s_bNeedFormat_Oracle(psz))
        return 0;
    // Only a name that is exactly one quoted identifier, its inner closing
    // quotes doubled, is taken as quoted already: any other text would
    // leave its quotes.
    const std::wstring s(psz);
    const size_t nOpen = static_cast<size_t>(m_nOpeningQuoteLength);
    const size_t nClose = static_cast<size_t>(m_nClosingQuoteLength);
    if (nOpen == 0 || nClose == 0 || s.size() < nOpen + nClose || !bStartsWith(psz, m_csOpeningQuote) ||
        s.compare(s.size() - nClose, nClose, m_csClosingQuote.pszGet()) != 0)
        return 1;
    const std::wstring strInner = s.substr(nOpen, s.size() - nOpen - nClose);
    return Doubled(Doubled(strInner, m_csClosingQuote, true), m_csClosingQuote, false) != strInner;
}

int CNAConnectionDescription::nGetSQLCodePage() const
{
    if (m_nCnxCodePage != -1 && m_nCnxCodePage != -2)
        return m_nCnxCodePage;
    return m_nHostCodePage > 0 ? m_nHostCodePage : 1252;
}

const wchar_t* CNAConnectionDescription::pszGetUnicodeCharset() const
{
    const int nVersion = m_nServerVersionMajor * 10000 + m_nServerVersionMinor * 100 + m_nServerVersionRevision;
    return nVersion >= 50503 ? L"utf8mb4" : L"utf8";
}

int CNAConnectionDescription::_bNameHeld(CNAError* pError, const wchar_t* pszName)
{
    const wchar_t* psz = Text(pszName);
    const wchar_t* p = psz;
    while (*p != 0 && *p < 0x80)
        p++;
    const int nCodePage = nGetSQLCodePage();
    if (*p == 0 || nCodePage == CP_UTF8)
        return 1;
    int bLost = 0;
    const int nChars = static_cast<int>(wcslen(psz));
    if (WideCharToMultiByte(static_cast<unsigned>(nCodePage), 0, psz, nChars, nullptr, 0, nullptr, &bLost) > 0 &&
        !bLost)
        return 1;
    if (pError != nullptr)
        pError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointNameCodePage, this, nullptr, nullptr,
                               ZTERR_CODE_PAGE, psz, nCodePage, Text(pszGetLogicalConnectionName()),
                               Text(pszGetDefaultDataBaseEx()), Text(pszGetDataBase()));
    return 0;
}

int CNAConnectionDescription::bFormatItemName(CNAError* pError, const wchar_t* pszName, CTString* pclOut)
{
    const wchar_t* psz = Text(pszName);
    const int bHeld = _bNameHeld(pError, psz);
    if (!_bNeedFormatName(pError, psz)) {
        if (pclOut->pszGet() != psz)
            pclOut->Set(psz);
        return bHeld;
    }
    // A closing quote inside the name is doubled: it cannot end the name.
    const std::wstring s = Text(m_csOpeningQuote.pszGet()) + Doubled(psz, m_csClosingQuote, false) +
                           Text(m_csClosingQuote.pszGet());
    pclOut->Set(s.c_str());
    return bHeld;
}

int CNAConnectionDescription::bFormatTableName(CNAError* pError, const wchar_t* pszName, CTString* pclOut)
{
    const std::wstring s(Text(pszName));
    if (!_bNeedFormatName(pError, s.c_str())) {
        pclOut->Set(s.c_str());
        return _bNameHeld(pError, s.c_str());
    }
    // Points inside a quoted part belong to its name.
    const std::wstring strOpen(Text(m_csOpeningQuote.pszGet()));
    const std::wstring strClose(Text(m_csClosingQuote.pszGet()));
    auto NextDot = [&](size_t i) {
        while (i < s.size()) {
            if (!strOpen.empty() && !strClose.empty() && s.compare(i, strOpen.size(), strOpen) == 0) {
                i += strOpen.size();
                for (;;) {
                    const size_t nQuote = s.find(strClose, i);
                    if (nQuote == std::wstring::npos)
                        return std::wstring::npos;
                    i = nQuote + strClose.size();
                    if (s.compare(i, strClose.size(), strClose) != 0)
                        break;
                    i += strClose.size();
                }
            } else if (s[i] == L'.') {
                return i;
            } else {
                i++;
            }
        }
        return std::wstring::npos;
    };
    if (NextDot(0) == std::wstring::npos)
        return bFormatItemName(pError, s.c_str(), pclOut);
    std::wstring r;
    size_t nStart = 0;
    int bHeld = 1;
    for (;;) {
        const size_t nDot = NextDot(nStart);
        CTString clPart;
        // The first part refused is the one named.
        bHeld = bFormatItemName(bHeld ? pError : nullptr,
                                s.substr(nStart, nDot == std::wstring::npos ? std::wstring::npos : nDot - nStart).c_str(),
                                &clPart) &&
                bHeld;
        r += Text(clPart.pszGet());
        if (nDot == std::wstring::npos)
            break;
        r += L'.';
        nStart = nDot + 1;
    }
    pclOut->Set(r.c_str());
    return bHeld;
}

void CNAConnectionDescription::UnFormatItemName(const wchar_t* pszName, CTString* pclOut)
{
    const std::wstring s(Text(pszName));
    const size_t nOpen = static_cast<size_t>(m_nOpeningQuoteLength);
    const size_t nClose = static_cast<size_t>(m_nClosingQuoteLength);
    if ((nOpen > 0 || nClose > 0) && s.size() >= nOpen + nClose && bStartsWith(s.c_str(), m_csOpeningQuote) &&
        (nClose == 0 || s.compare(s.size() - nClose, nClose, Text(m_csClosingQuote.pszGet())) == 0)) {
        const std::wstring r = Doubled(s.substr(nOpen, s.size() - nOpen - nClose), m_csClosingQuote, true);
        pclOut->Set(r.c_str());
        return;
    }
    pclOut->Set(s.c_str());
}

int CNAConnectionDescription::bExtractOwner(const wchar_t* pszOwner, const wchar_t* pszName, CTString* pclOwner,
                                            CTString* pclTable)
{
    const bool bOwner = pszOwner != nullptr && pszOwner[0] != 0;
    if (bOwner)
        pclOwner->Set(pszOwner);
    if (pszName == nullptr)
        return 1;
    const std::wstring s(pszName);
    const size_t nDot = s.find(L'.');
    if (bOwner || nDot == std::wstring::npos) {
        pclTable->Set(s.c_str());
        return 1;
    }
    pclOwner->Set(s.substr(0, nDot).c_str());
    pclTable->Set(s.substr(nDot + 1).c_str());
    return 1;
}

void CNAConnectionDescription::DecomposeTableName(CTString* pclFirst, CTString* pclSecond, CTString* pclLast,
                                                  const wchar_t* pszName)
{
    pclFirst->Vide();
    pclSecond->Vide();
    pclLast->Vide();
    const std::wstring s(Text(pszName));
    const size_t nDot1 = s.find(L'.');
    if (nDot1 == std::wstring::npos) {
        pclLast->Set(Trimmed(s).c_str());
        return;
    }
    const size_t nDot2 = s.find(L'.', nDot1 + 1);
    if (nDot2 == std::wstring::npos) {
        pclSecond->Set(Trimmed(s.substr(0, nDot1)).c_str());
        pclLast->Set(Trimmed(s.substr(nDot1 + 1)).c_str());
        return;
    }
    pclFirst->Set(Trimmed(s.substr(0, nDot1)).c_str());
    pclSecond->Set(Trimmed(s.substr(nDot1 + 1, nDot2 - nDot1 - 1)).c_str());
    pclLast->Set(Trimmed(s.substr(nDot2 + 1)).c_str());
}

// ---- Dialect --------------------------------------------------------------------------------------------

int CNAConnectionDescription::bSupportSubQuery()
{
    switch (static_cast<int>(m_eDataSource)) {
    case 1: case 2: case 4: case 7: case 9: case 12: case 13:
        return 1;
    default:
        return 0;
    }
}

int CNAConnectionDescription::bSupportLimitOrTop()
{
    switch (static_cast<int>(m_eDataSource)) {
    case 1: case 2: case 3: case 5: case 6:
        return 1;
    default:
        return 0;
    }
}

int CNAConnectionDescription::nGetOrderByMaxExpressionNbr()
{
    return m_eDataSource == 4 ? 31 : 2147483647;
}

const wchar_t* CNAConnectionDescription::pszGetVarCharType()
{
    return m_eDataSource == 1 ? L"VARCHAR2" : L"VARCHAR";
}

int CNAConnectionDescription::nGetVarCharMaxLen()
{
    switch (static_cast<int>(m_eDataSource)) {
    case 2: return 8000;
    case 5: return 255;
    case 1: return 4000;
    default: return -1;
    }
}

const wchar_t* CNAConnectionDescription::pszGetNVarCharType()
{
    return m_eDataSource == 1 ? L"NVARCHAR2" : L"NVARCHAR";
}

int CNAConnectionDescription::nGetNVarCharMaxLen()
{
    switch (static_cast<int>(m_eDataSource)) {
    case 2: return 4000;
    case 5: return 255;
    case 1: return 2000;
    default: return -1;
    }
}

const wchar_t* CNAConnectionDescription::pszGetCLOBType()
{
    if (m_eDataSource != DS_MYSQL)
        return L"CLOB";
    return m_nServerVersionMajor < 4 ? L"LONGBLOB" : L"LONGTEXT";
}

const wchar_t* CNAConnectionDescription::pszGetNCLOBType()
{
    if (m_eDataSource != DS_MYSQL)
        return L"NCLOB";
    return m_nServerVersionMajor < 4 ? L"LONGBLOB" : L"LONGTEXT CHARACTER SET ucs2";
}

// ---- Locks ----------------------------------------------------------------------------------------------

int CNAConnectionDescription::bSQLBloque(CNAError* pError, const wchar_t* pszTables)
{
    const std::wstring s = std::wstring(L"LOCK TABLE ") + Text(pszTables);
    return bExecuteQueryNoResult(pError, s.c_str());
}

int CNAConnectionDescription::bSQLBloqueRequete(CNAError* pError, const wchar_t* pszQuery)
{
    // The clause must end the one statement the session reads: a lock
    // answered is a lock held.
    const CNACommand::STextEnd st = CNACommand::s_stGetTextEnd(this, pszQuery);
    if (st.nEnd == CNACommand::TE_OPEN_COMMENT || st.bSeveral) {
        if (pError != nullptr) {
            pError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile,
                                   st.bSeveral ? kPointLockStatements : kPointLockComment, this, nullptr, nullptr,
                                   ZTERR_EXPRESSION_REFUSED, L"MySQL");
            pError->AddDebugMessageNoFormat(st.bSeveral ? L"The text to lock holds more than one statement."
                                                        : L"The text to lock ends inside a comment.");
        }
        return 0;
    }
    std::wstring s(Text(pszQuery), st.nStatementEnd);
    s += CNACommand::s_pszClauseJoin(s, s.size());
    s += L"FOR UPDATE";
    return bExecuteQueryIgnoreResult(pError, s.c_str());
}

// ---- Type texts -----------------------------------------------------------------------------------------

namespace {

bool bEspaceSQL(wchar_t c)
{
    return c == L'\t' || c == L'\n' || c == L'\r' || c == L' ';
}

enum eTYPEROW : int {
    TR_FIXED,    // type and size of the row
    TR_SIGNED,   // unsigned or signed form of the row
    TR_TEXT,     // n + 1
    TR_UNICODE,  // 2n + 2
    TR_REAL,     // R8 for kind 13, else R4
    TR_DECIMAL,  // precision and scale
    TR_CHAR,     // exactly the keyword: one character, else text n + 1
    TR_BINARY,   // n + 2
    TR_BIT,      // the integer that holds n bits
};

struct STTypeRow {
    const wchar_t* pszKeyword;
    eTYPEROW eRow;
    eNA_ITEMTYPE eType;
    eNA_ITEMTYPE eUnsigned;
    unsigned int nSize;
};

// In the order of comparison: the first keyword that prefixes the text wins.
const STTypeRow gs_tabTypeRow[] = {
    {L"YEAR", TR_FIXED, NA_IT_DATE8, NA_IT_DATE8, 9},
    {L"VARCHAR", TR_TEXT, NA_IT_TEXTE, NA_IT_TEXTE, 0},
    {L"VARYING CHARACTER", TR_TEXT, NA_IT_TEXTE, NA_IT_TEXTE, 0},
    {L"CHARACTER", TR_TEXT, NA_IT_TEXTE, NA_IT_TEXTE, 0},
    {L"NCHAR", TR_UNICODE, NA_IT_UNICODE, NA_IT_UNICODE, 0},
    {L"NATIVE CHARACTER", TR_UNICODE, NA_IT_UNICODE, NA_IT_UNICODE, 0},
    {L"NVARCHAR", TR_UNICODE, NA_IT_UNICODE, NA_IT_UNICODE, 0},
    {L"TINYTEXT", TR_FIXED, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, 8},
    {L"TINYINT", TR_SIGNED, NA_IT_I1, NA_IT_UI1, 1},
    {L"TINYBLOB", TR_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"TIMESTAMP", TR_FIXED, NA_IT_DATETIME, NA_IT_DATETIME, 8},
    // HHMMSS and its terminator: the time text of the record buffer.
    {L"TIME", TR_FIXED, NA_IT_HEURE, NA_IT_HEURE, 7},
    {L"TEXT", TR_FIXED, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, 8},
    {L"NTEXT", TR_FIXED, NA_IT_MEMOUNICODE, NA_IT_MEMOUNICODE, 8},
    {L"CLOB", TR_FIXED, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, 8},
    {L"SMALLINT", TR_SIGNED, NA_IT_I2, NA_IT_UI2, 2},
    {L"INT2", TR_SIGNED, NA_IT_I2, NA_IT_UI2, 2},
    {L"SET", TR_FIXED, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, 8},
    {L"REAL", TR_REAL, NA_IT_R4, NA_IT_R4, 4},
    {L"MEDIUMTEXT", TR_FIXED, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, 8},
    {L"BIGINT", TR_SIGNED, NA_IT_I8, NA_IT_UI8, 8},
    {L"BIG INT", TR_SIGNED, NA_IT_I8, NA_IT_UI8, 8},
    {L"INT8", TR_SIGNED, NA_IT_I8, NA_IT_UI8, 8},
    {L"MEDIUMINT", TR_SIGNED, NA_IT_I4, NA_IT_UI4, 4},
    {L"INTEGER", TR_SIGNED, NA_IT_I4, NA_IT_UI4, 4},
    {L"INT", TR_SIGNED, NA_IT_I4, NA_IT_UI4, 4},
    {L"MEDIUMBLOB", TR_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"LONGTEXT", TR_FIXED, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, 8},
    {L"LONGBLOB", TR_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"FLOAT", TR_FIXED, NA_IT_R4, NA_IT_R4, 4},
    {L"ENUM", TR_FIXED, NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE, 8},
    {L"DOUBLE", TR_FIXED, NA_IT_R8, NA_IT_R8, 8},
    {L"DOUBLE PRECISION", TR_FIXED, NA_IT_R8, NA_IT_R8, 8},
    {L"DECIMAL", TR_DECIMAL, NA_IT_DECIMAL, NA_IT_DECIMAL, 0},
    {L"DEC", TR_DECIMAL, NA_IT_DECIMAL, NA_IT_DECIMAL, 0},
    {L"NUMERIC", TR_DECIMAL, NA_IT_DECIMAL, NA_IT_DECIMAL, 0},
    {L"DATETIME", TR_FIXED, NA_IT_DATETIME, NA_IT_DATETIME, 8},
    {L"DATE", TR_FIXED, NA_IT_DATE8, NA_IT_DATE8, 9},
    {L"CHAR", TR_CHAR, NA_IT_TEXTE, NA_IT_TEXTE, 0},
    {L"BOOL", TR_FIXED, NA_IT_I1, NA_IT_I1, 1},
    {L"BOOLEAN", TR_FIXED, NA_IT_I1, NA_IT_I1, 1},
    {L"BLOB", TR_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"BIT", TR_BIT, NA_IT_I1, NA_IT_I1, 1},
    {L"VARBINARY", TR_BINARY, NA_IT_BINAIRE, NA_IT_BINAIRE, 0},
    // Fixed-length bytes are bytes too, not text.
    {L"BINARY", TR_BINARY, NA_IT_BINAIRE, NA_IT_BINAIRE, 0},
    // Spatial values reach the client as the server's bytes.
    {L"GEOMETRY", TR_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"GEOMCOLLECTION", TR_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"POINT", TR_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"LINESTRING", TR_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"POLYGON", TR_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"MULTIPOINT", TR_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"MULTILINESTRING", TR_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
    {L"MULTIPOLYGON", TR_FIXED, NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE, 8},
};

// Precision and scale of "(p,s)" after the keyword; the server's defaults
// (10 and 0) for what the text does not give.
// False when a number is beyond the server's limits.
bool ReadPrecisionScale(const wchar_t* psz, int* pnPrecision, int* pnScale)
{
    *pnPrecision = 10;
    *pnScale = 0;
    const wchar_t* pszOpen = std::wcschr(psz, L'(');
    if (pszOpen == nullptr)
        return true;
    long long llPrecision = 10;
    long long llScale = 0;
    wchar_t* pEnd = nullptr;
    const long long ll = std::wcstoll(pszOpen + 1, &pEnd, 10);
    if (pEnd != pszOpen + 1)
        llPrecision = ll;
    const wchar_t* pszClose = std::wcschr(pszOpen, L')');
    const wchar_t* pszComma = std::wcschr(pszOpen, L',');
    if (pszComma != nullptr && (pszClose == nullptr || pszComma < pszClose)) {
        const long long llRead = std::wcstoll(pszComma + 1, &pEnd, 10);
        if (pEnd != pszComma + 1)
            llScale = llRead;
    }
    if (llPrecision < 0 || llPrecision > kMaxPrecision || llScale < 0 || llScale > kMaxScale || llScale > llPrecision)
        return false;
    *pnPrecision = static_cast<int>(llPrecision);
    *pnScale = static_cast<int>(llScale);
    return true;
}

} // namespace

int CNAConnectionDescription::_nGetSizeInTypeDecl(const wchar_t* pszText, const wchar_t* pszKeyword)
{
    const wchar_t* psz = Text(pszText);
    const size_t nKeyword = std::wcslen(Text(pszKeyword));
    const size_t nLen = std::wcslen(psz);
    if (nLen < nKeyword + 3)
        return 1;
    size_t i = nKeyword;
    while (i < nLen && bEspaceSQL(psz[i]))
        ++i;
    if (i >= nLen || psz[i] != L'(')
        return 1;
    ++i;
    while (i < nLen && bEspaceSQL(psz[i]))
        ++i;
    long long n = 0;
    const size_t nDigits = i;
    while (i < nLen && psz[i] >= L'0' && psz[i] <= L'9') {
        if (n < 100000000000LL)
            n = n * 10 + (psz[i] - L'0');
        ++i;
    }
    if (i == nDigits || n > 2147483647LL)
        return 1;
    while (i < nLen && bEspaceSQL(psz[i]))
        ++i;
    if (i >= nLen || psz[i] != L')')
        return 1;
    return static_cast<int>(n);
}

int CNAConnectionDescription::bSQLTypeNameToNAType(CNAError* pError, eNA_ITEMTYPE* peType, unsigned int* pnSize,
                                                   unsigned int* pnIntegerDigits, unsigned int* pnScale,
                                                   const wchar_t* pszTypeText, const wchar_t* pszCharset,
                                                   unsigned int* pnCharacters)
{
    const std::wstring sText(Text(pszTypeText));
    std::wstring sUpper(sText);
    for (wchar_t& c : sUpper)
        c = STR_cFixedUpper(c);

    bool bUnsigned = false;
    size_t nSkip = 0;
    if (sUpper.compare(0, 8, L"UNSIGNED") == 0 && sUpper.size() > 8 && bEspaceSQL(sUpper[8])) {
        bUnsigned = true;
        nSkip = 8;
        while (nSkip < sUpper.size() && bEspaceSQL(sUpper[nSkip]))
            ++nSkip;
    }
    for (size_t nPos = sUpper.find(L"UNSIGNED", nSkip > 0 ? nSkip : 1); nPos != std::wstring::npos;
         nPos = sUpper.find(L"UNSIGNED", nPos + 1)) {
        const size_t nEnd = nPos + 8;
        if (nPos > 0 && bEspaceSQL(sUpper[nPos - 1]) && (nEnd == sUpper.size() || bEspaceSQL(sUpper[nEnd])))
            bUnsigned = true;
    }

    const wchar_t* pszUpper = sUpper.c_str() + nSkip;
    const wchar_t* pszOriginal = sText.c_str() + nSkip;
    eNA_ITEMTYPE eType = NA_IT_MEMOTEXTE;
    unsigned int nSize = 8;
    unsigned int nIntegerDigits = 0;
    unsigned int nScale = 0;
    unsigned int nCharacters = 0;
    for (const STTypeRow& st : gs_tabTypeRow) {
        const size_t nKeyword = std::wcslen(st.pszKeyword);
        if (std::wcsncmp(pszUpper, st.pszKeyword, nKeyword) != 0)
            continue;
        const unsigned int n = static_cast<unsigned int>(_nGetSizeInTypeDecl(pszOriginal, st.pszKeyword));
        // A length the server cannot have is refused: sizes never wrap.
        bool bRefused = n > kMaxTypeLength && (st.eRow == TR_TEXT || st.eRow == TR_UNICODE || st.eRow == TR_CHAR ||
                                               st.eRow == TR_BINARY);
        switch (st.eRow) {
        case TR_FIXED:
            eType = st.eType;
            nSize = st.nSize;
            break;
        case TR_SIGNED:
            eType = bUnsigned ? st.eUnsigned : st.eType;
            nSize = st.nSize;
            break;
        case TR_TEXT:
            eType = NA_IT_TEXTE;
            nSize = n + 1;
            nCharacters = n;
            break;
        case TR_UNICODE:
            eType = NA_IT_UNICODE;
            nSize = 2 * n + 2;
            nCharacters = n;
            break;
        case TR_REAL:
            eType = m_eDataSource == 13 ? NA_IT_R8 : NA_IT_R4;
            nSize = m_eDataSource == 13 ? 8 : 4;
            break;
        case TR_DECIMAL: {
            int nPrecision = 0;
            int nDecimals = 0;
            bRefused = !ReadPrecisionScale(pszOriginal + nKeyword, &nPrecision, &nDecimals);
            const int nInteger = nPrecision - nDecimals;
            nIntegerDigits = static_cast<unsigned int>(nInteger);
            nScale = static_cast<unsigned int>(nDecimals);
            CNAItemDescription::s_GetTypeFromFormat(nInteger, nDecimals, &eType, &nSize);
            break;
        }
        case TR_CHAR:
            if (pszUpper[nKeyword] == 0) {
                eType = NA_IT_CHAR;
                nSize = 1;
            } else {
                eType = NA_IT_TEXTE;
                nSize = n + 1;
                nCharacters = n;
            }
            break;
        case TR_BINARY:
            eType = NA_IT_BINAIRE;
            nSize = n + 2;
            break;
        case TR_BIT:
            CNAItemDescription::s_GetTypeFromBits(static_cast<int>(n), &eType, &nSize);
            break;
        }
        if (bRefused) {
            if (pError != nullptr)
                pError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointTypeText, this, nullptr, nullptr,
                                       ZTERR_CONVERSION, 0, 0, sText.c_str());
            return 0;
        }
        break;
    }

    const CTString clCharset(pszCharset);
    // Sets whose characters reach beyond U+FFFF: each may take two UTF-16
    // units.
    const bool bBeyondBMP = clCharset.bCommenceParI(L"utf8mb4") || clCharset.bCommenceParI(L"utf16") ||
                            clCharset.bCommenceParI(L"utf32");
    if (clCharset.nTaille() > 0 && (eType == NA_IT_TEXTE || eType == NA_IT_MEMOTEXTE) &&
        (bBeyondBMP || clCharset.bCommenceParI(L"ucs2") || clCharset.bCommenceParI(L"utf8"))) {
        if (eType == NA_IT_TEXTE) {
            eType = NA_IT_UNICODE;
            // n characters and the terminator, in bytes.
            nSize = bBeyondBMP ? 4 * (nSize - 1) + 2 : 2 * nSize;
        } else {
            eType = NA_IT_MEMOUNICODE;
        }
    }
    if (peType != nullptr)
        *peType = eType;
    if (pnSize != nullptr)
        *pnSize = nSize;
    if (pnIntegerDigits != nullptr)
        *pnIntegerDigits = nIntegerDigits;
    if (pnScale != nullptr)
        *pnScale = nScale;
    if (pnCharacters != nullptr)
        *pnCharacters = nCharacters;
    return 1;
}

// ---- Comparable text of columns ------------------------------------------------------------------------

namespace {

void Empty(CTStringConcatAW* pclOut)
{
    pclOut->m_clA.m_nLength = 0;
    pclOut->m_clA._Termine();
    pclOut->m_clW.m_nLength = 0;
    pclOut->m_clW._Termine();
}

void Write(CTStringConcatAW* pclOut, const std::wstring& s)
{
    Empty(pclOut);
    pclOut->Add(s.c_str(), static_cast<int>(s.size()), 0xFFFFFFFFu);
}

} // namespace

int CNAConnectionDescription::bConvertExpressionToString(CNAError*, CTStringConcatAW* pclOut,
                                                         const wchar_t* pszExpression, INAItemDescription* piItem,
                                                         INAItemDescription*)
{
    const std::wstring e(Text(pszExpression));
    std::wstring s;
    if (m_eDataSource == DS_MYSQL && piItem != nullptr) {
        const int nSize = static_cast<int>(piItem->nGetItemSize());
        const int nDigits = nSize - 1;
        switch (piItem->eNAGetItemType()) {
        case NA_IT_DATE8:
            s = L"DATE_FORMAT(" + e + L",'%Y%m%d')";
            break;
        case NA_IT_DATETIME:
            s = L"SUBSTR(DATE_FORMAT(" + e + L",'%Y%m%d%H%i%S%f'), 1, 17)";
            break;
        case NA_IT_HEURE:
            if (nSize == 5)
                s = L"TIME_FORMAT(" + e + L",'%H%i')";
            else if (nSize == 6 || nSize == 7)
                s = L"TIME_FORMAT(" + e + L",'%H%i%S')";
            else if (nSize >= 8 && nSize <= 10)
                s = L"TIME_FORMAT(" + e + L",'%H%i%S%f')";
            if (!s.empty() && nSize != 5 && (nSize >= 8 || nDigits <= 5))
                s = L"SUBSTR(" + s + L", 1, " + std::to_wstring(nDigits) + L")";
            break;
        default:
            break;
        }
    }
    if (s.empty()) {
        Write(pclOut, e);
        return 0;
    }
    Write(pclOut, s);
    return 1;
}

// ---- Literals -------------------------------------------------------------------------------------------

namespace {

constexpr int kMaxSuccess = 99;

void Append(CTStringConcatAW* pclOut, const std::wstring& s)
{
    pclOut->Add(s.c_str(), static_cast<int>(s.size()), 0xFFFFFFFFu);
}

// A copy of the value as wide text; false when it does not convert.
bool bWideText(const CAny* pclValue, std::wstring* ps)
{
    CAny cl;
    pclValue->pclGetTraitement()->Duplique(&cl);
    cl.SetNullFlag(false);
    if (cl.nGetTypeCode() != TQTYPE_DSTRW && cl.__nCastTo(TQTYPE_DSTRW, nullptr, 1) > kMaxSuccess)
        return false;
    if (cl.nGetTypeCode() != TQTYPE_DSTRW)
        return false;
    const wchar_t* psz = nullptr;
    if (cl.pclGetTraitement()->nGetPCWSTR(&psz) > kMaxSuccess)
        return false;
    ps->assign(Text(psz));
    return true;
}

bool bIsWideType(unsigned short nType)
{
    return nType == TQTYPE_CARW || nType == TQTYPE_DSTRW || nType == 20 || nType == TQTYPE_PSTRW;
}

} // namespace

int CNAConnectionDescription::bConvertValueToString(CNAError* pError, CTStringConcatAW* pclOut, const CAny* pclValue,
                                                    eNA_ITEMTYPE eDBType, eNA_ITEMTYPE eKXType)
{
    Empty(pclOut);
    if (pclValue == nullptr || pclValue->bIsNull()) {
        Append(pclOut, L"NULL");
        return 1;
    }
    const unsigned short nTarget = eDBType != NA_IT_EMPTY
                                       ? static_cast<unsigned short>(ConverteItemToTQType(eDBType, -1))
                                       : pclValue->nGetTypeCode();
    if (pclValue->nGetTypeCode() == TQTYPE_BIN && nTarget == TQTYPE_BIN && m_csBinaryPrefix.nTaille() > 0) {
        void* p = nullptr;
        unsigned int nSize = 0;
        pclValue->pclGetTraitement()->nGetDataAdr(&p);
        pclValue->pclGetTraitement()->nGetUtilDataSize(&nSize);
        if (nSize == 0 && m_eDataSource == 4) {
            Append(pclOut, L"''");
            return 1;
        }
        Append(pclOut, m_csBinaryPrefix.pszGet());
        if (!s_bBinaryToStringHexa(pError, static_cast<const unsigned char*>(p), nSize, pclOut))
            return 0;
        Append(pclOut, Text(m_csBinarySuffix.pszGet()));
        return 1;
    }

    CAny clCast;
    const CAny* pcl = pclValue;
    if (eDBType != NA_IT_EMPTY) {
        pclValue->pclGetTraitement()->Duplique(&clCast);
        if (bCastCAnyIntoDBType(pError, &clCast, eDBType, eKXType, 1))
            pcl = &clCast;
    }

    const unsigned short nType = pcl->nGetTypeCode();
    switch (nType) {
    case TQTYPE_VIDE:
        Append(pclOut, L"NULL");
        return 1;
    case TQTYPE_BOOL: {
        int n = 0;
        pcl->nGetINT(&n);
        return _bBoolToString(pError, pclOut, n != 0);
    }
    case TQTYPE_CY:
    case TQTYPE_R4:
    case TQTYPE_R8:
    case TQTYPE_DECIMAL: {
        std::wstring s;
        if (!bWideText(pcl, &s))
            return _bRaiseConversion(pError, pclOut, nType, eDBType, L"");
        // A NaN or an infinity has no literal: its text would be a name.
        if (s.empty() || s.find_first_not_of(L"0123456789+-.,eE") != std::wstring::npos)
            return _bRaiseConversion(pError, pclOut, nType, eDBType, s.c_str());
        for (wchar_t& c : s)
            if (c == L',')
                c = L'.';
        Append(pclOut, s);
        return 1;
    }
    case TQTYPE_DSTRW:
    case TQTYPE_CARA:
    case TQTYPE_PSTRA:
    case TQTYPE_DSTRA:
    case TQTYPE_BIN:
    case TQTYPE_BUFFER:
    case TQTYPE_MEMOIMG:
    case TQTYPE_CARW:
    case TQTYPE_PSTRW: {
        void* p = nullptr;
        unsigned int nSize = 0;
        pcl->pclGetTraitement()->nGetDataAdr(&p);
        pcl->pclGetTraitement()->nGetUtilDataSize(&nSize);
        // An empty value is written empty even when it has no storage.
        if (p == nullptr && nSize > 0) {
            Append(pclOut, L"NULL");
            return 1;
        }
        if (nType == TQTYPE_CARA && p != nullptr && *static_cast<const char*>(p) == 0)
            nSize = 0;
        if (nType == TQTYPE_CARW && p != nullptr && *static_cast<const wchar_t*>(p) == 0)
            nSize = 0;
        return _bEscapeString(pError, pclOut, nType, static_cast<unsigned char*>(p), nSize);
    }
    case TQTYPE_DATEW:
    case TQTYPE_TIMEW:
    case TQTYPE_DATETIME:
    case TQTYPE_DATEA:
    case TQTYPE_TIMEA:
        return _bDateToString(pError, pclOut, pcl, eKXType);
    default: {
        std::wstring s;
        if (!bWideText(pcl, &s))
            return _bRaiseConversion(pError, pclOut, nType, eDBType, L"");
        Append(pclOut, s);
        return 1;
    }
    }
}

int CNAConnectionDescription::_bRaiseConversion(CNAError* pError, CTStringConcatAW* pclOut, unsigned short nType,
                                                eNA_ITEMTYPE eDBType, const wchar_t* pszValue)
{
    // Nothing is left to be sent in the value's place.
    Empty(pclOut);
    if (pError != nullptr)
        pError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointConversion, this, nullptr, nullptr, ZTERR_CONVERSION,
                               static_cast<int>(nType), static_cast<int>(eDBType), pszValue);
    return 0;
}

int CNAConnectionDescription::_bEscapeString(CNAError*, CTStringConcatAW* pclOut, unsigned short nHostType,
                                             unsigned char* pData, unsigned int nSize)
{
    Empty(pclOut);
    if (nSize == 0 || pData == nullptr) {
        Append(pclOut, L"''");
        return 1;
    }
    const bool bBackslash = m_eDataSource == DS_MYSQL;
    const bool bNational = m_eDataSource == 1 || m_eDataSource == 2;
    if (bIsWideType(nHostType)) {
        const wchar_t* psz = reinterpret_cast<const wchar_t*>(pData);
        // Up to the first NUL, as 8-bit texts: the literal is always closed.
        const size_t n = xwcsnlen(psz, nSize / sizeof(wchar_t));
        std::wstring s = bNational ? L"N'" : L"'";
        for (size_t i = 0; i < n; ++i) {
            const wchar_t c = psz[i];
            s += c;
            if (c == L'\'' || (bBackslash && c == L'\\'))
                s += c;
        }
        s += L'\'';
        const int nPage = pclOut->m_nMasterCodePage;
        if (bNational && nPage != 65001 && nPage != -2) {
            CXYStringConcat<char> clUTF8;
            clUTF8.AddWide(s.c_str(), static_cast<int>(s.size()), 65001);
            pclOut->Add(clUTF8.pszGet(), static_cast<int>(clUTF8.m_nLength), 65001);
        } else {
            Append(pclOut, s);
        }
        return 1;
    }
    const char* psz = reinterpret_cast<const char*>(pData);
    std::string s = "'";
    for (unsigned int i = 0; i < nSize && psz[i] != 0; ++i) {
        const char c = psz[i];
        s += c;
        if (c == '\'' || (bBackslash && c == '\\'))
            s += c;
    }
    s += '\'';
    pclOut->Add(s.c_str(), static_cast<int>(s.size()), static_cast<unsigned>(m_nHostCodePage));
    return 1;
}

int CNAConnectionDescription::_bBoolToString(CNAError*, CTStringConcatAW* pclOut, int bValue)
{
    Empty(pclOut);
    Append(pclOut, bValue ? L"1" : L"0");
    return 1;
}

int CNAConnectionDescription::_bDateToString(CNAError* pError, CTStringConcatAW* pclOut, const CAny* pclValue,
                                             eNA_ITEMTYPE eKXType)
{
    if (m_eDataSource == 7 || m_eDataSource == 8) {
        _bDateToString(pError, pclOut, pclValue, 1, eKXType);
        return 1;
    }
    return _bDateToString(pError, pclOut, pclValue, 0, eKXType);
}

int CNAConnectionDescription::_bDateToString(CNAError* pError, CTStringConcatAW* pclOut, const CAny* pclValue,
                                             int bEscape, eNA_ITEMTYPE eKXType)
{
    Empty(pclOut);
    std::wstring s;
    if (pclValue == nullptr || !bWideText(pclValue, &s) || s.empty()) {
        Append(pclOut, L"NULL");
        return 1;
    }
    const bool bZeroDate = m_eDataSource == DS_MYSQL && s.compare(0, 8, L"00000000") == 0;
    CXTime clTime;
    switch (pclValue->nGetTypeCode()) {
    case TQTYPE_DATEW:
    case TQTYPE_DATEA:
        if (bZeroDate) {
            Append(pclOut, L"'0000-00-00'");
            return 1;
        }
        if (!clTime.bSetTQDateTimeMin(s.c_str(), -1)) {
            if (pError != nullptr)
                pError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointBadDate, this, nullptr, nullptr,
                                       ZTERR_BAD_DATE_TIME);
            return 0;
        }
        return _bDateToString(pError, pclOut, clTime, bEscape);
    case TQTYPE_TIMEW:
    case TQTYPE_TIMEA:
        clTime.SetTo0();
        if (!clTime.bSetTQTimeMin(s.c_str(), -1)) {
            if (pError != nullptr)
                pError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointBadTime, this, nullptr, nullptr,
                                       ZTERR_BAD_DATE_TIME);
            return 0;
        }
        return _bTimeToString(pError, pclOut, clTime, bEscape);
    case TQTYPE_DATETIME: {
        // A zero date cannot be held: its time is read from its own digits.
        const size_t nTime = s.size() > 8 && s[8] == L' ' ? 9 : 8;
        const bool bRead = bZeroDate ? (clTime.SetTo0(), clTime.bSetTQTimeMin(s.size() > nTime ? s.c_str() + nTime : L"", -1))
                                     : clTime.bSetTQDateTimeMin(s.c_str(), -1);
        if (!bRead) {
            if (pError != nullptr)
                pError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointBadDateTime, this, nullptr, nullptr,
                                       ZTERR_BAD_DATE_TIME);
            return 0;
        }
        if (eKXType == NA_IT_HEURE)
            return _bTimeToString(pError, pclOut, clTime, bEscape);
        if (bZeroDate) {
            wchar_t sz[64];
            std::swprintf(sz, 64, L"'0000-00-00 %02d:%02d:%02d.%03d'", clTime.m_tm.tm_hour, clTime.m_tm.tm_min,
                          clTime.m_tm.tm_sec, clTime.m_nMilli);
            Append(pclOut, sz);
            return 1;
        }
        return _bDateTimeToString(pError, pclOut, clTime, bEscape);
    }
    default:
        return 1;
    }
}

int CNAConnectionDescription::_bDateToString(CNAError*, CTStringConcatAW* pclOut, const wchar_t* pszText, int bEscape)
{
    Empty(pclOut);
    Append(pclOut, bEscape ? L"{d " + std::wstring(Text(pszText)) + L"}" : std::wstring(Text(pszText)));
    return 1;
}

int CNAConnectionDescription::_bDateTimeToString(CNAError*, CTStringConcatAW* pclOut, const wchar_t* pszText,
                                                 int bEscape)
{
    Empty(pclOut);
    Append(pclOut, bEscape ? L"{ts " + std::wstring(Text(pszText)) + L"}" : std::wstring(Text(pszText)));
    return 1;
}

int CNAConnectionDescription::_bDateToString(CNAError* pError, CTStringConcatAW* pclOut, CXTime& clTime, int bEscape)
{
    wchar_t sz[64];
    std::swprintf(sz, 64, L"'%04d-%02d-%02d'", clTime.m_tm.tm_year + 1900, clTime.m_tm.tm_mon + 1,
                  clTime.m_tm.tm_mday);
    return _bDateToString(pError, pclOut, sz, bEscape);
}

int CNAConnectionDescription::_bDateTimeToString(CNAError* pError, CTStringConcatAW* pclOut, CXTime& clTime,
                                                 int bEscape)
{
    wchar_t sz[64];
    std::swprintf(sz, 64, L"'%04d-%02d-%02d %02d:%02d:%02d.%03d'", clTime.m_tm.tm_year + 1900,
                  clTime.m_tm.tm_mon + 1, clTime.m_tm.tm_mday, clTime.m_tm.tm_hour, clTime.m_tm.tm_min,
                  clTime.m_tm.tm_sec, clTime.m_nMilli);
    return _bDateTimeToString(pError, pclOut, sz, bEscape);
}

int CNAConnectionDescription::_bTimeToString(CNAError*, CTStringConcatAW* pclOut, CXTime& clTime, int bEscape)
{
    wchar_t sz[64];
    std::swprintf(sz, 64, L"'%02d:%02d:%02d.%03d'", clTime.m_tm.tm_hour, clTime.m_tm.tm_min, clTime.m_tm.tm_sec,
                  clTime.m_nMilli);
    std::wstring s(sz);
    if (m_eDataSource == 7 || m_eDataSource == 8 || m_eDataSource == 11)
        s = s.substr(0, 9) + L"'";
    Empty(pclOut);
    Append(pclOut, bEscape ? L"{t " + s + L"}" : s);
    return 1;
}

int CNAConnectionDescription::bCopyString(CNAError*, CXYString<wchar_t>* pclOut, const CAny* pclValue)
{
    std::wstring s;
    if (pclValue != nullptr && pclOut != nullptr && bWideText(pclValue, &s))
        *pclOut = CXYString<wchar_t>(s.c_str(), static_cast<int>(s.size()));
    return 1;
}

int CNAConnectionDescription::s_bBinaryToStringHexa(CNAError* pError, const unsigned char* p, unsigned int nSize,
                                                    CTStringConcatAW* pclOut)
{
    if (p == nullptr || nSize == 0)
        return 1;
    std::wstring s;
    try {
        s.reserve(static_cast<size_t>(nSize) * 2);
    } catch (...) {
        if (pError != nullptr)
            pError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, kFile, kPointHexaNoMemory, nullptr);
        return 0;
    }
    AppendHexa(&s, p, nSize);
    Append(pclOut, s);
    return 1;
}

int CNAConnectionDescription::s_bTimeToStringIncomplete(CNAError*, CTStringConcatAW* pclOut, const wchar_t* pszDigits,
                                                        wchar_t cSeparator)
{
    const std::wstring d(Text(pszDigits));
    const size_t n = d.size() < 9 ? d.size() : 9;
    std::wstring s;
    for (size_t i = 0; i < n && i < 6; ++i) {
        if (i == 2 || i == 4)
            s += L':';
        s += d[i];
    }
    if (n > 6) {
        s += cSeparator;
        s += d.substr(6, n - 6);
    }
    Append(pclOut, s);
    return 1;
}

void CNAConnectionDescription::s_DateStandardise(CTString* pclText)
{
    std::wstring s;
    for (const wchar_t* psz = Text(pclText->pszGet()); *psz != 0; ++psz)
        if (std::wcschr(L":- /.", *psz) == nullptr)
            s += *psz;
    pclText->Set(s.c_str());
}

// ---- Casts ---------------------------------------------------------------------------------------------

namespace {

// Whether a number of its own host type is kept, not narrowed, for a
// target of type t.
bool bKeepWithoutNarrowing(const CAny* pclValue, unsigned short t)
{
    auto bIn = [t](std::initializer_list<unsigned short> l) {
        for (unsigned short n : l)
            if (n == t)
                return true;
        return false;
    };
    switch (pclValue->nGetTypeCode()) {
    case TQTYPE_I2:
        return bIn({6, 7});
    case TQTYPE_I4:
        return bIn({6, 7, 8, 11});
    case TQTYPE_I8: {
        if (bIn({6, 7, 9, 11, 12}))
            return true;
        if (t != TQTYPE_I4)
            return false;
        long long ll = 0;
        pclValue->nGetINT_64(&ll);
        return !(ll >= -2147483647LL && ll < 2147483647LL);
    }
    case TQTYPE_R4:
        return bIn({6, 7, 8, 9, 11});
    case TQTYPE_R8:
        return bIn({6, 7, 8, 9, 11, 12});
    default:
        return false;
    }
}

} // namespace

int CNAConnectionDescription::bCastCAnyIntoDBType(CNAError* pError, CAny* pclValue, eNA_ITEMTYPE eDBType,
                                                  eNA_ITEMTYPE eKXType, int bStrict)
{
    if (pclValue == nullptr)
        return 0;
    const eNA_ITEMTYPE eItem = eDBType != NA_IT_EMPTY ? eDBType : eKXType;
    const unsigned short t = static_cast<unsigned short>(ConverteItemToTQType(eItem, -1));
    const unsigned short v = pclValue->nGetTypeCode();
    if (t == TQTYPE_VIDE || v == t || (t == TQTYPE_DSTRA && v == TQTYPE_PSTRA) ||
        (t == TQTYPE_DSTRW && v == TQTYPE_PSTRW))
        return 1;

    auto Cast = [&](CAny* pcl, unsigned short nTo, int nPoint) {
        const int nStatus = pcl->__nCastTo(nTo, nullptr, 1);
        if (nStatus > kMaxSuccess || pcl->nGetTypeCode() != nTo) {
            if (pError != nullptr)
                pError->SetAnyError(nStatus > kMaxSuccess ? nStatus : TQSTATUS_NOT_HANDLED, v, nTo, kFile, nPoint,
                                    this, nullptr, nullptr);
            return false;
        }
        return true;
    };

    if (t != TQTYPE_DATEA && t != TQTYPE_TIMEA && t != TQTYPE_DATETIME) {
        if (v == TQTYPE_BIN || v == TQTYPE_BUFFER || v == TQTYPE_MEMOIMG)
            return 1;
        if (!bStrict && bKeepWithoutNarrowing(pclValue, t))
            return 1;
        CAny cl;
        pclValue->pclGetTraitement()->Duplique(&cl);
        if (!Cast(&cl, t, kPointCast))
            return 0;
        cl.pclGetTraitement()->Duplique(pclValue);
        return 1;
    }

    if (v == TQTYPE_DATETIME)
        return 1;
    if (v == TQTYPE_TIMEW || v == TQTYPE_TIMEA) {
        if (t == TQTYPE_DATEA) {
            pclValue->__SetType(TQTYPE_DATEA, 0);
            pclValue->SetFlags(0);
        }
        return 1;
    }
    CAny cl;
    pclValue->pclGetTraitement()->Duplique(&cl);
    if (!Cast(&cl, TQTYPE_DSTRA, eKXType == NA_IT_HEURE ? kPointCastTime : kPointCastDate))
        return 0;
    if (eKXType == NA_IT_HEURE) {
        const char* psz = nullptr;
        cl.pclGetTraitement()->nGetPCASTR(&psz);
        std::string s(psz != nullptr ? psz : "");
        if (s.size() < 4)
            s.resize(4, '0');
        cl.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned int>(s.size()));
        if (!Cast(&cl, TQTYPE_TIMEA, kPointCastTime))
            return 0;
    } else if (!Cast(&cl, t, kPointCastDate)) {
        return 0;
    }
    cl.pclGetTraitement()->Duplique(pclValue);
    return 1;
}

// ---- Default values -----------------------------------------------------------------------------------

int CNAConnectionDescription::bConvertStringToDefaultValue(CAny* pclOut, const wchar_t* pszText,
                                                           CNAItemDescription* pclItem, CNAError* pError)
{
    if (pclOut == nullptr || pclItem == nullptr)
        return 0;
    const unsigned short nType = static_cast<unsigned short>(pclItem->eGetItemTQType());
    pclOut->__SetType(nType, 0);
    if (pszText == nullptr || (pszText[0] == 0 && m_eDataSource == 1) || CTString(pszText).bEstEgalI(L"NULL")) {
        pclOut->SetNullFlag(true);
        return 1;
    }
    if (pszText[0] == 0)
        return 1;
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNAConvertVariant* pclCell =
        pclDriver != nullptr ? pclDriver->pclGetNewVariant_NV_Any(pError, this, nullptr, nType) : nullptr;
    if (pclCell == nullptr)
        return 0;
    pclCell->AddRef();
    pclCell->SetItemDesc(pclItem, pclItem);
    std::wstring s(pszText);
    if (s.size() >= 2 && s.front() == L'\'' && s.back() == L'\'') {
        s = s.substr(1, s.size() - 2);
        std::wstring r;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == L'\\' && i + 1 < s.size())
                ++i;
            else if (s[i] == L'\'' && i + 1 < s.size() && s[i + 1] == L'\'')
                ++i;
            r += s[i];
        }
        s = r;
    }
    const int bDone = pclCell->bSetValueDB(s.c_str(), static_cast<unsigned int>(s.size())) &&
                      pclCell->vbGetValue(pclOut);
    pclCell->nRelease();
    return bDone;
}

// ---- Transactions, direct queries and native facts -------------------------------------------------

namespace {

// Raising sites of the transaction and diagnosis operations.
constexpr int kPointDiagnose = 30;
constexpr int kPointCommitNoTransaction = 31;
constexpr int kPointRollBackNoTransaction = 32;
constexpr int kPointNoStatement = 33;

// Caption positions of the query dump used by the connection's facts.
enum : int {
    LABEL_DATASOURCE = 13,
    LABEL_PROVIDER = 14,
    LABEL_USER = 15,
    LABEL_DATABASE = 16,
    LABEL_CNX_TIMEOUT = 17,
    LABEL_CMD_TIMEOUT = 18,
    LABEL_LOCK_TIMEOUT = 19,
    LABEL_CURSOR = 20,
    LABEL_UNICODE = 21,
    LABEL_LOCK_TAG = 22,
    LABEL_HOST_CODEPAGE = 26,
    LABEL_CNX_CODEPAGE = 27,
    LABEL_LIBRARY = 28,
};

bool bHasText(const wchar_t* psz)
{
    return psz != nullptr && psz[0] != 0;
}

const wchar_t* pszCursorLocation(int n)
{
    switch (n) {
    case CNAConnectionDescription::CL_DEFAULT:
        return L"Default";
    case CNAConnectionDescription::CL_CLIENT:
        return L"Client";
    case CNAConnectionDescription::CL_SERVER:
        return L"Server";
    default:
        return L"Unknown";
    }
}

std::wstring CodePageText(int nCodePage)
{
    if (nCodePage == 65001)
        return L"UTF-8";
    if (nCodePage == -2)
        return L"UTF-16";
    return std::to_wstring(nCodePage);
}

void AddFact(_CXErrorModule32* pError, int nLabel, const std::wstring& sValue)
{
    const CNADriver* pclDriver = CNADriver::s_pclDriver;
    std::wstring s = pclDriver != nullptr ? pclDriver->pszGetLabel(nLabel) : L"";
    s += sValue;
    pError->AddDebugMessageNoFormat(s.c_str());
}

} // namespace

CNATransaction* CNAConnectionDescription::pclAllocTransaction()
{
    return new (std::nothrow) CNATransaction(this);
}

int CNAConnectionDescription::bTransactionBeginDirect(CNAError* pError)
{
    return bExecuteQueryNoResult(pError, L"BEGIN");
}

int CNAConnectionDescription::bTransactionCommitDirect(CNAError* pError)
{
    return bExecuteQueryNoResult(pError, L"COMMIT");
}

int CNAConnectionDescription::bTransactionRollBackDirect(CNAError* pError)
{
    return bExecuteQueryNoResult(pError, L"ROLLBACK");
}

int CNAConnectionDescription::_bTransactionOpened() const
{
    return m_pclTransaction != nullptr && m_pclTransaction->bIsActive();
}

int CNAConnectionDescription::bTransactionBegin(CNAError* pError, const wchar_t* pszName)
{
    if (_bRefuseInLostTransaction(pError) || !bOpen(pError))
        return 0;
    if (m_pclTransaction == nullptr) {
        m_pclTransaction = pclAllocTransaction();
        if (m_pclTransaction == nullptr) {
            if (pError != nullptr)
                pError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, kFile, kPointNoMemory, this);
            return 0;
        }
        m_pclTransaction->AddRef();
    }
    int bResult;
    if (m_pclTransaction->bIsActive()) {
        if (!m_bSeparateTransactions) {
            m_nTransactionCount++;
            return 1;
        }
        bResult = m_pclTransaction->bInternalTransactionBegin(pError, pszName);
    } else {
        m_nTransactionCount = 0;
        bResult = m_pclTransaction->bBegin(pError, pszName, 0);
        if (bResult)
            m_pclTransaction->ForgetLoss();
    }
    if (bResult && !m_bSeparateTransactions)
        m_nTransactionCount++;
    return bResult;
}

// Commit and roll-back share their steps; a nested end that only counts
// still lowers the count, so that the outermost end reaches the server.
int CNAConnectionDescription::_bTransactionEnd(CNAError* pError, const wchar_t* pszName,
                                               int (CNATransaction::*pfnEnd)(CNAError*, const wchar_t*),
                                               int nPoint)
{
    if (m_pclTransaction == nullptr) {
        if (pError != nullptr)
            pError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, nPoint, this, nullptr, nullptr, ZTERR_NO_TRANSACTION,
                                   pszName != nullptr ? pszName : L"");
        return 0;
    }
    // The server rolled the whole transaction back with the session: any end
    // closes every level, and no commit of it is ever answered as done.
    if (m_pclTransaction->bIsLost()) {
        bTransactionRollBackAll(pError);
        return pfnEnd == &CNATransaction::bRollBack ? 1 : m_pclTransaction->bReportLost(pError);
    }
    int bResult = 1;
    if (m_bSeparateTransactions || m_nTransactionCount == 1) {
        CNATransaction* pclTransaction = m_pclTransaction;
        bResult = (pclTransaction->*pfnEnd)(pError, pszName);
        if (bResult)
            _CancelRecordLock(pclTransaction);
        if (m_bSeparateTransactions)
            return bResult;
    }
    if (m_nTransactionCount > 0)
        m_nTransactionCount--;
    return bResult;
}

int CNAConnectionDescription::bTransactionCommit(CNAError* pError, const wchar_t* pszName)
{
    return _bTransactionEnd(pError, pszName, &CNATransaction::bCommit, kPointCommitNoTransaction);
}

int CNAConnectionDescription::bTransactionRollBack(CNAError* pError, const wchar_t* pszName)
{
    return _bTransactionEnd(pError, pszName, &CNATransaction::bRollBack, kPointRollBackNoTransaction);
}

int CNAConnectionDescription::bActiveCurrentTransaction(CNAError* pError, int bActive)
{
    if (!_bTransactionOpened())
        return 1;
    return m_pclTransaction->bSetActive(pError, bActive);
}

int CNAConnectionDescription::bResumeCurrentTransaction(CNAError* pError)
{
    if (!_bTransactionOpened())
        return 1;
    return m_pclTransaction->bResume(pError);
}

void CNAConnectionDescription::_CloseTransactions()
{
    CNATransaction* pcl = m_pclTransaction;
    m_pclTransaction = nullptr;
    if (pcl != nullptr)
        pcl->nRelease();
}

int CNAConnectionDescription::bTransactionRollBackAll(CNAError* pError)
{
    if (!_bTransactionOpened())
        return 1;
    CNATransaction* pclTransaction = m_pclTransaction;
    int bResult = 1;
    if (pclTransaction->bIsLost())
        pclTransaction->Abandon();
    else
        bResult = pclTransaction->bRollBackAll(pError);
    m_nTransactionCount = 0;
    _CancelRecordLock(pclTransaction);
    return bResult;
}

void CNAConnectionDescription::_TransactionLost(const CXError* pclCause)
{
    if (_bTransactionOpened())
        m_pclTransaction->MarkLost(pclCause);
}

int CNAConnectionDescription::_bRefuseInLostTransaction(CNAError* pError)
{
    if (!_bTransactionOpened() || !m_pclTransaction->bIsLost())
        return 0;
    m_pclTransaction->bReportLost(pError);
    return 1;
}

void CNAConnectionDescription::_CancelRecordLock(CNATransaction*) {}

namespace {

// A direct SQL statement of the connection from the driver's SQL interface,
// with a reference for the caller; null when none can be made.
CNAStatementSQL* pclNewStatement(CNAConnectionDescription* pConnection, CNAError* pError)
{
    CNADriverSQL* pclSQL = CNADriver::s_pclGetDriverSQL();
    CNAStatementSQL* pcl = pclSQL != nullptr ? pclSQL->pclAllocStatementSQL(pConnection, pError) : nullptr;
    if (pcl == nullptr) {
        if (pError != nullptr && pError->eGetErrorType() == NA_ERRORTYPE_NONE)
            pError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, kFile, kPointNoStatement, pConnection);
        return nullptr;
    }
    pcl->AddRef();
    return pcl;
}

} // namespace

int CNAConnectionDescription::bExecuteQueryNoResult(CNAError* pError, const wchar_t* pszQuery)
{
    CNAStatementSQL* pcl = pclNewStatement(this, pError);
    if (pcl == nullptr)
        return 0;
    const int bResult = pcl->bExecuteDirect(pszQuery, nullptr, 0);
    pcl->nRelease();
    return bResult;
}

int CNAConnectionDescription::bExecuteQueryIgnoreResult(CNAError* pError, const wchar_t* pszQuery)
{
    return bExecuteQueryNoResult(pError, pszQuery);
}

int CNAConnectionDescription::bGetRequestedValue(CNAError* pError, CAny* pValue, int nColumn,
                                                 const wchar_t* pszQuery)
{
    CNAStatementSQL* pcl = pclNewStatement(this, pError);
    if (pcl == nullptr)
        return 0;
    const int bResult = pcl->bGetRequestedValue(pValue, static_cast<unsigned int>(nColumn), pszQuery);
    pcl->nRelease();
    return bResult;
}

int CNAConnectionDescription::bGetRequestedValueString(CNAError* pError, CTString* pclOut, int nColumn,
                                                       const wchar_t* pszQuery)
{
    CAny clValue;
    const int bResult = bGetRequestedValue(pError, &clValue, nColumn, pszQuery);
    std::wstring s;
    if (clValue.bIsNull())
        pclOut->Vide();
    else if (bWideText(&clValue, &s))
        pclOut->Set(s.c_str());
    return bResult;
}

int CNAConnectionDescription::bDiagnose(CNAError* pError, CAny*, const wchar_t* pszText, unsigned int)
{
    if (pError != nullptr)
        pError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, kFile, kPointDiagnose, this, pszText, nullptr,
                               ZTERR_NOT_OFFERED);
    return 0;
}

void CNAConnectionDescription::AddInfoNative(CNAError* pError)
{
    if (pError != nullptr)
        AddInfoNativeXError(static_cast<_CXErrorModule32*>(pError->pclGetXError()));
}

void CNAConnectionDescription::AddInfoNativeXError(_CXErrorModule32* pError)
{
    if (pError == nullptr)
        return;
    if (bHasText(m_csClientVersion.pszGet()))
        pError->AddInfo(EIT_INFOCLIENT, m_csClientVersion.pszGet());
    if (bHasText(m_csServerVersion.pszGet()))
        pError->AddInfo(EIT_INFOSERVEUR, m_csServerVersion.pszGet());
    if (CNADriver::s_pclDriver != nullptr)
        CNADriver::s_pclDriver->InitQueryDumpRessources();
    const wchar_t* psz = m_csClientLibrary.pszGet();
    if (bHasText(psz))
        AddFact(pError, LABEL_LIBRARY, psz);
    if (m_piHost != nullptr && bHasText(psz = m_piHost->pszGetProvider()))
        AddFact(pError, LABEL_PROVIDER, psz);
    if (bHasText(psz = pszGetUserName()))
        AddFact(pError, LABEL_USER, psz);
    if (bHasText(psz = pszGetDataBase()))
        AddFact(pError, LABEL_DATASOURCE, psz);
    if (bHasText(psz = pszGetDefaultDataBaseEx()))
        AddFact(pError, LABEL_DATABASE, psz);
    const struct {
        int nLabel;
        int nValue;
    } tabTimeout[] = {{LABEL_CNX_TIMEOUT, m_nConnectionTimeout},
                      {LABEL_CMD_TIMEOUT, m_nCommandTimeout},
                      {LABEL_LOCK_TIMEOUT, m_nLockTimeout}};
    for (const auto& st : tabTimeout)
        if (st.nValue != -1)
            AddFact(pError, st.nLabel, std::to_wstring(st.nValue));
    AddFact(pError, LABEL_CURSOR, pszCursorLocation(m_eCursorLocation));
    AddFact(pError, LABEL_UNICODE, std::to_wstring(m_nUnicodeSupport));
    if (m_nHostCodePage != -1)
        AddFact(pError, LABEL_HOST_CODEPAGE, CodePageText(m_nHostCodePage));
    if (m_nCnxCodePage != -1)
        AddFact(pError, LABEL_CNX_CODEPAGE, CodePageText(m_nCnxCodePage));
    if (bHasText(psz = m_csRecordLock.pszGet()))
        AddFact(pError, LABEL_LOCK_TAG, psz);
}
