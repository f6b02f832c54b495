#include "access/driver/NADriverSQL.h"

#include "access/driver/Interf.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NADriverLock.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NAStatementSQL.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/TStringArray.h"
#include "common/text/TStringConcatAW.h"
#include "common/text/TextCompare.h"
#include "common/text/Tstring.h"
#include "common/text/XYString.h"
#include "common/text/XYStringConcat.h"
#include "common/values/Any.h"

#include <cwchar>
#include <new>
#include <string>
#include <utility>
#include <vector>

int CNADriverSQL::m_gnCnxNameGenerator = 0;

namespace {

// Raising points of this file.
enum : int {
    POINT_DATABASE_LIST = 1,
    POINT_LOCK_QUERY = 2,
    POINT_LOCK_TABLE = 3,
    POINT_EXCEPTION = 4,
    POINT_NO_MEMORY = 5,
    POINT_COLUMN = 6,
    POINT_TABLE_LIST = 20,
    POINT_COLUMN_LIST = 21,
    POINT_STATEMENT_COLUMNS = 22,
    POINT_TABLE_DESC = 23,
    POINT_STATEMENT_DESC = 24,
    POINT_LINK_LIST = 25,
    POINT_DATABASE_LIST_INNER = 26,
    POINT_TABLE_LIST_INNER = 27,
};

const wchar_t kTransactionName[] = L"SQLTransaction";

// Runs f on the connection of that number and gives the look-up's
// reference back; 0 without a connection.
template <class F>
int nOnConnection(CNADriverSQL* pclSQL, int nConnection, F&& f)
{
    CNAConnectionDescription* pcl = pclSQL->_pclGetConnection(nConnection);
    if (pcl == nullptr)
        return 0;
    int bResult = 0;
    try {
        bResult = f(pcl);
    } catch (...) {
        pclSQL->_ReleaseConnection(pcl);
        throw;
    }
    pclSQL->_ReleaseConnection(pcl);
    return bResult;
}

} // namespace

CNADriverSQL::CNADriverSQL(CNADriver* pclDriver, CNAError* pclError)
    : m_nRef(0), m_nExternalRef(0), m_pclDriver(pclDriver), m_pclError(pclError), m_tabStatement(7)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
}

CNADriverSQL::~CNADriverSQL()
{
    if (m_pclError != nullptr)
        m_pclError->nRelease();
    m_pclError = nullptr;
    // A statement's end gives its connection back to the driver.
    CNADriverLock clLock;
    m_tabStatement.SupprimeTout();
}

// ---- The frame of a slot ------------------------------------------------------------------------

// The error object is the driver's too: it is touched only under the
// driver mutex, the exception's report included.
template <class R, class F>
R CNADriverSQL::_RunNoReset(R rFailure, F&& f) noexcept
{
    CNADriverLock clLock;
    try {
        if (m_pclDriver == nullptr)
            return rFailure;
        return f();
    } catch (...) {
        if (m_pclError != nullptr)
            m_pclError->OnException(ERRFILE_DRIVERSQL, POINT_EXCEPTION);
        return rFailure;
    }
}

template <class R, class F>
R CNADriverSQL::_Run(R rFailure, F&& f) noexcept
{
    return _RunNoReset(rFailure, [&]() -> R {
        if (m_pclError != nullptr)
            m_pclError->Reset();
        return f();
    });
}

int CNADriverSQL::_bNotOffered(int nPoint, const wchar_t* pszTable)
{
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, ERRFILE_DRIVERSQL, nPoint, nullptr, pszTable, nullptr,
                                   ZTERR_NOT_OFFERED);
    return 0;
}

// ---- Counting -------------------------------------------------------------------------------------

// Under the driver mutex: the host may hold the interface on several threads.

INADriverSQL* CNADriverSQL::ExternalAddRef()
{
    CNADriverLock clLock;
    m_nExternalRef++;
    return this;
}

int CNADriverSQL::nExternalRelease()
{
    CNADriverLock clLock;
    return g_nReleaseOneOfTwo(this, m_nExternalRef, m_nRef);
}

unsigned int CNADriverSQL::nRelease()
{
    CNADriverLock clLock;
    return g_nReleaseOneOfTwo(this, m_nRef, m_nExternalRef);
}

// ---- Fixed answers ------------------------------------------------------------------------------------

int CNADriverSQL::nGetVersion() const
{
    return 4;
}

int CNADriverSQL::nGetCompatSince() const
{
    return 2;
}

int CNADriverSQL::nGetNAVersion() const
{
    return -1;
}

int CNADriverSQL::nGetNACompatSince() const
{
    return -1;
}

void CNADriverSQL::NAVersion_EmptySlot_3() {}

INAError* CNADriverSQL::piGetLastError()
{
    return m_pclError;
}

void* CNADriverSQL::piGetInterface(int)
{
    return nullptr;
}

void* CNADriverSQL::pReservedFct1(unsigned char*)
{
    return nullptr;
}

void* CNADriverSQL::pReservedFct2(unsigned char*)
{
    return nullptr;
}

void* CNADriverSQL::pReservedFct3(unsigned char*)
{
    return nullptr;
}

void* CNADriverSQL::pReservedFct4(unsigned char*)
{
    return nullptr;
}

void* CNADriverSQL::pReservedFct5(unsigned char*)
{
    return nullptr;
}

int CNADriverSQL::bLoadNativeDll(unsigned char*, unsigned int)
{
    return 1;
}

int CNADriverSQL::bFreeNativeDll(unsigned char*, unsigned int)
{
    return 1;
}

int CNADriverSQL::bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData)
{
    CNADriver* pclDriver = m_pclDriver;
    return pclDriver != nullptr ? pclDriver->bSetVMAndLibShop(piLibShop, piVMData) : 0;
}

void CNADriverSQL::EmptySlot258() {}
void CNADriverSQL::EmptySlot259() {}
void CNADriverSQL::EmptySlot261() {}
void CNADriverSQL::EmptySlot262() {}
void CNADriverSQL::EmptySlot263() {}
void CNADriverSQL::EmptySlot264() {}
void CNADriverSQL::EmptySlot265() {}
void CNADriverSQL::EmptySlot267() {}
void CNADriverSQL::EmptySlot268() {}
void CNADriverSQL::EmptySlot269() {}
void CNADriverSQL::EmptySlot270() {}
void CNADriverSQL::EmptySlot271() {}
void CNADriverSQL::EmptySlot273() {}
void CNADriverSQL::EmptySlot274() {}
void CNADriverSQL::EmptySlot275() {}
void CNADriverSQL::EmptySlot276() {}
void CNADriverSQL::EmptySlot277() {}
void CNADriverSQL::EmptySlot279() {}
void CNADriverSQL::EmptySlot280() {}
void CNADriverSQL::EmptySlot281() {}
void CNADriverSQL::EmptySlot282() {}
void CNADriverSQL::EmptySlot283() {}
void CNADriverSQL::EmptySlot285() {}
void CNADriverSQL::EmptySlot286() {}
void CNADriverSQL::EmptySlot287() {}
void CNADriverSQL::EmptySlot288() {}
void CNADriverSQL::EmptySlot289() {}
void CNADriverSQL::EmptySlot291() {}
void CNADriverSQL::EmptySlot292() {}
void CNADriverSQL::EmptySlot293() {}
void CNADriverSQL::EmptySlot294() {}
void CNADriverSQL::EmptySlot295() {}
void CNADriverSQL::EmptySlot297() {}
void CNADriverSQL::EmptySlot298() {}
void CNADriverSQL::EmptySlot299() {}
void CNADriverSQL::EmptySlot300() {}
void CNADriverSQL::EmptySlot301() {}

// ---- Connections ---------------------------------------------------------------------------------------

CNAConnectionDescription* CNADriverSQL::_pclGetConnection(int nConnection)
{
    return m_pclDriver != nullptr ? m_pclDriver->pclGetConnectionByID(nConnection) : nullptr;
}

void CNADriverSQL::_ReleaseConnection(CNAConnectionDescription* pConnection)
{
    if (pConnection == nullptr)
        return;
    if (m_pclDriver != nullptr)
        m_pclDriver->nReleaseConnection(pConnection);
    else
        pConnection->nRelease();
}

int CNADriverSQL::bOpenConnection(int* pnConnection, INAConnectionDescription* piDescription)
{
    if (pnConnection != nullptr)
        *pnConnection = 0;
    return _Run(0, [&] {
        if (piDescription == nullptr)
            return 0;
        CTString csIdentification;
        m_pclDriver->bBuildCnxIdentification(&csIdentification, piDescription);
        CTString csSuffix;
        csSuffix.printf(L";SQLConnecte%d", ++m_gnCnxNameGenerator);
        csIdentification.Add(csSuffix.pszGet());
        CNAConnectionDescription* pcl = m_pclDriver->_pclAddConnection(csIdentification.pszGet(), piDescription);
        if (pcl == nullptr) {
            if (m_pclError != nullptr)
                m_pclError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, ERRFILE_DRIVERSQL, POINT_NO_MEMORY,
                                     nullptr);
            return 0;
        }
        pcl->SetOpenedBySQL(1);
        const int bResult = m_pclDriver->_bOpenConnection(pcl);
        if (bResult && pnConnection != nullptr)
            *pnConnection = static_cast<int>(pcl->nGetNumber());
        // The registry and, on success, the host's opening hold it now; a
        // failed one is gone with this release.
        pcl->nRelease();
        return bResult;
    });
}

int CNADriverSQL::bCloseConnection(int nConnection)
{
    return _Run(0, [&] { return m_pclDriver->_bCloseConnectionById(nConnection); });
}

// ---- Catalogue slots --------------------------------------------------------------------------------

int CNADriverSQL::bGetDataBaseList(CAny*, unsigned int)
{
    return _Run(0, [&] { return _bNotOffered(POINT_DATABASE_LIST); });
}

int CNADriverSQL::bGetTableList(CAny* pResult, int nConnection, const wchar_t* pszFilter, unsigned int nFlags)
{
    return _Run(0, [&] {
        return nOnConnection(this, nConnection, [&](CNAConnectionDescription* pcl) {
            return bGetTableList(pResult, pcl, pszFilter, nFlags);
        });
    });
}

int CNADriverSQL::bGetColumnList(CAny* pResult, int nConnection, const wchar_t* pszTable, unsigned int nFlags)
{
    return _Run(0, [&] {
        return nOnConnection(this, nConnection, [&](CNAConnectionDescription* pcl) {
            return bGetColumnList(pResult, pcl, pszTable, nFlags);
        });
    });
}

int CNADriverSQL::bGetColumnList(CAny* pResult, int nConnection, int nStatement, unsigned int nFlags)
{
    if (nStatement == 0)
        return 0;
    return _Run(0, [&] {
        return nOnConnection(this, nConnection, [&](CNAConnectionDescription*) {
            CNAStatementSQL* pcl = _pclGetStatement(nStatement);
            return pcl != nullptr ? pcl->bGetColumnList(pResult, nFlags) : 0;
        });
    });
}

INADataSourceDescription* CNADriverSQL::piGetTableDesc(int nConnection, const wchar_t* pszTable, unsigned int)
{
    return _Run(static_cast<INADataSourceDescription*>(nullptr), [&]() -> INADataSourceDescription* {
        CNAConnectionDescription* pclConnection = _pclGetConnection(nConnection);
        if (pclConnection == nullptr)
            return nullptr;
        INADataSourceDescription* pi = nullptr;
        try {
            pi = m_pclDriver->_piGetTableDesc(pszTable, pclConnection);
        } catch (...) {
            _ReleaseConnection(pclConnection);
            throw;
        }
        _ReleaseConnection(pclConnection);
        return pi;
    });
}

INADataSourceDescription* CNADriverSQL::piGetTableDesc(int nConnection, int nStatement, unsigned int)
{
    if (nStatement == 0)
        return nullptr;
    return _Run(static_cast<INADataSourceDescription*>(nullptr), [&]() -> INADataSourceDescription* {
        CNAStatementSQL* pclStatement = _pclGetStatement(nStatement);
        if (pclStatement == nullptr)
            return nullptr;
        // The statement stays on the table's reference for the whole run.
        struct CHold {
            CNADriverSQL* pclOwner;
            CNAConnectionDescription* pclConnection;
            CNADataSourceDescription* pclDescription;
            ~CHold()
            {
                if (pclDescription != nullptr)
                    pclDescription->nRelease();
                pclOwner->_ReleaseConnection(pclConnection);
            }
        } clHold{this, _pclGetConnection(nConnection), nullptr};
        if (clHold.pclConnection == nullptr)
            return nullptr;
        clHold.pclDescription = m_pclDriver->pclAllocDataSourceDescription(clHold.pclConnection, m_pclError);
        if (clHold.pclDescription == nullptr) {
            m_pclDriver->_bNoMemory(POINT_STATEMENT_DESC);
            return nullptr;
        }
        clHold.pclDescription->AddRef();
        if (!clHold.pclDescription->bInitDataSourceDescriptionFromStatement(pclStatement))
            return nullptr;
        // The host holds the only reference.
        CNADataSourceDescription* pcl = clHold.pclDescription;
        pcl->ExternalAddRef();
        return static_cast<INADataSourceDescription*>(pcl);
    });
}

int CNADriverSQL::bGetColumnTypeList(CAny* pResult, int, unsigned int)
{
    return _Run(0, [&] {
        CNADriver::g_SetEmptyText(pResult);
        return 1;
    });
}

// ---- Catalogue lists --------------------------------------------------------------------------------

namespace {

const wchar_t kLineEnd[] = L"\r\n";

// A statement made here, given back on every way out.
struct CStatementHeld {
    CNAStatementSQL* p = nullptr;
    CStatementHeld() = default;
    CStatementHeld(const CStatementHeld&) = delete;
    CStatementHeld& operator=(const CStatementHeld&) = delete;
    ~CStatementHeld()
    {
        if (p != nullptr)
            p->nRelease();
    }
};

bool bBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

bool bNameChar(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_' ||
           c == L'$' || c > 0x7F;
}

wchar_t cUpper(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// The upper-case keyword at p (of n characters left), as a whole word;
// the length matched, 0 when it is not there.
size_t nKeywordAt(const wchar_t* p, size_t n, const wchar_t* pszKeyword)
{
    size_t i = 0;
    for (; pszKeyword[i] != 0; i++)
        if (i >= n || cUpper(p[i]) != pszKeyword[i])
            return 0;
    return i < n && bNameChar(p[i]) ? 0 : i;
}

void Empty(CXYStringConcat<wchar_t>* pcl)
{
    pcl->m_nLength = 0;
}

// The text of a host value that holds wide text; empty otherwise.
std::wstring ListText(const CAny* pValue)
{
    const wchar_t* psz = nullptr;
    if (pValue == nullptr || pValue->bIsNull() || pValue->pclGetTraitement()->nGetPCWSTR(&psz) > 99 ||
        psz == nullptr)
        return std::wstring();
    return psz;
}

// ---- The scan of a CREATE TABLE text ----

// Reads a text of n characters by position; every step checks what is left.
class CCreateTextScan {
public:
    CCreateTextScan(const wchar_t* psz, size_t n) : m_p(psz), m_n(n) {}
    size_t nGetPos() const { return m_i; }
    void SetPos(size_t i) { m_i = i; }

    void SkipBlanks()
    {
        while (m_i < m_n && bBlank(m_p[m_i]))
            m_i++;
    }
    bool bChar(wchar_t c)
    {
        if (m_i >= m_n || m_p[m_i] != c)
            return false;
        m_i++;
        return true;
    }
    // A keyword (upper case) as a whole word, blanks before it skipped.
    bool bWord(const wchar_t* pszKeyword)
    {
        SkipBlanks();
        const size_t n = nKeywordAt(m_p + m_i, m_n - m_i, pszKeyword);
        m_i += n;
        return n > 0;
    }
    // The next word outside quoted texts; false at the end.
    bool bFindWord(const wchar_t* pszKeyword)
    {
        while (m_i < m_n) {
            const wchar_t c = m_p[m_i];
            if (c == L'\'' || c == L'"' || c == L'`') {
                _SkipQuoted(c);
                continue;
            }
            if (bNameChar(c)) {
                const size_t n = nKeywordAt(m_p + m_i, m_n - m_i, pszKeyword);
                if (n > 0) {
                    m_i += n;
                    return true;
                }
                while (m_i < m_n && bNameChar(m_p[m_i]))
                    m_i++;
                continue;
            }
            m_i++;
        }
        return false;
    }
    // A back-quoted name, blanks before it skipped; a doubled back-quote is
    // one. False when the closing quote is missing.
    bool bQuotedName(std::wstring* ps)
    {
        SkipBlanks();
        if (!bChar(L'`'))
            return false;
        ps->clear();
        while (m_i < m_n) {
            const wchar_t c = m_p[m_i++];
            if (c != L'`') {
                ps->push_back(c);
                continue;
            }
            if (m_i < m_n && m_p[m_i] == L'`') {
                ps->push_back(c);
                m_i++;
                continue;
            }
            return true;
        }
        return false;
    }
    // "(" back-quoted names separated by commas ")", joined by ",".
    bool bNameList(std::wstring* ps, int* pnCount)
    {
        SkipBlanks();
        if (!bChar(L'('))
            return false;
        ps->clear();
        *pnCount = 0;
        do {
            std::wstring s;
            if (!bQuotedName(&s))
                return false;
            if ((*pnCount)++ > 0)
                ps->push_back(L',');
            *ps += s;
            SkipBlanks();
        } while (bChar(L','));
        return bChar(L')');
    }
    // The rule after ON DELETE or ON UPDATE: 0 CASCADE, 2 SET NULL, 3 NO
    // ACTION, 1 anything else.
    int nRule()
    {
        if (bWord(L"CASCADE"))
            return 0;
        if (bWord(L"SET"))
            return bWord(L"NULL") ? 2 : (bWord(L"DEFAULT"), 1);
        if (bWord(L"NO"))
            return bWord(L"ACTION") ? 3 : 1;
        bWord(L"RESTRICT");
        return 1;
    }

private:
    // Past a quoted text: 'it''s', "a\"b", `a``b`; to the end when open.
    void _SkipQuoted(wchar_t cQuote)
    {
        m_i++;
        while (m_i < m_n) {
            const wchar_t c = m_p[m_i++];
            if (c == L'\\' && cQuote != L'`') {
                if (m_i < m_n)
                    m_i++;
            } else if (c == cQuote) {
                if (m_i < m_n && m_p[m_i] == cQuote)
                    m_i++;
                else
                    return;
            }
        }
    }

    const wchar_t* m_p;
    size_t m_n;
    size_t m_i = 0;
};

// The link row's code of a rule.
const wchar_t* pszRuleCode(int nRule)
{
    static const wchar_t* const apsz[] = {L"2022", L"2021", L"2023", L"2020"};
    return apsz[nRule];
}

// Descriptions loaded for one scan, by table name; released with the scan.
class CScanDescriptions {
public:
    CScanDescriptions() = default;
    CScanDescriptions(const CScanDescriptions&) = delete;
    CScanDescriptions& operator=(const CScanDescriptions&) = delete;
    ~CScanDescriptions()
    {
        for (auto& st : m_tab)
            st.second->nExternalRelease();
    }
    // Null when that table has not been loaded.
    INADataSourceDescription** ppiFind(const std::wstring& strTable)
    {
        for (auto& st : m_tab)
            if (STR_nCompareW(st.first.c_str(), strTable.c_str(), 1) == 0)
                return &st.second;
        m_tab.emplace_back(strTable, nullptr);
        return &m_tab.back().second;
    }
    // Forgets an entry that stayed empty (its loading failed).
    void Prune()
    {
        if (!m_tab.empty() && m_tab.back().second == nullptr)
            m_tab.pop_back();
    }

private:
    std::vector<std::pair<std::wstring, INADataSourceDescription*>> m_tab;
};

} // namespace

void CNADriverSQL::g_SetListText(CAny* pResult, const wchar_t* pszText, unsigned int nLength)
{
    if (pResult == nullptr)
        return;
    pResult->__SetType(TQTYPE_DSTRW, 0);
    pResult->pclGetTraitement()->SetValue(pszText, static_cast<unsigned int>(nLength * sizeof(wchar_t)));
    pResult->SetFlags(0);
}

int CNADriverSQL::g_bTextLiteral(CNAConnectionDescription* pConnection, CNAError* pError, const wchar_t* psz,
                                 CTString* pclOut)
{
    CAny clValue;
    g_SetListText(&clValue, psz, static_cast<unsigned int>(std::wcslen(psz)));
    CTStringConcatAW clLiteral(-2, static_cast<unsigned>(CP_1252));
    if (!pConnection->bConvertValueToString(pError, &clLiteral, &clValue, NA_IT_EMPTY, NA_IT_EMPTY))
        return 0;
    pclOut->Set(clLiteral.pszGetW());
    return 1;
}

int CNADriverSQL::g_bGetText(CNAStatementSQL* pclStatement, unsigned int nColumn, CTString* pclOut, bool* pbNull)
{
    pclOut->Vide();
    CAny clValue;
    if (!pclStatement->bGetValue(&clValue, nColumn, 0))
        return 0;
    if (pbNull != nullptr)
        *pbNull = clValue.bIsNull();
    if (clValue.bIsNull())
        return 1;
    const wchar_t* psz = nullptr;
    if (clValue.pclGetTraitement()->nGetPCWSTR(&psz) > 99)
        return 0;
    pclOut->Set(psz);
    return 1;
}

void CNADriverSQL::g_SetQuery(CTStringConcatAW* pclQuery, const wchar_t* pszText)
{
    pclQuery->m_clA.m_nLength = 0;
    pclQuery->m_clW.m_nLength = 0;
    pclQuery->Add(pszText, -1, 0);
}

void CNADriverSQL::g_SortLines(CXYStringConcat<wchar_t>* pclList)
{
    CTString csSorted;
    CTStringArray::g_bTrieCroissantI(&csSorted, pclList->pszGet(), kLineEnd);
    Empty(pclList);
    pclList->Add(csSorted.pszGet(), csSorted.nTaille());
}

CNADriverSQL::eTABLEFILTER CNADriverSQL::g_eTableFilter(const wchar_t* pszFilter)
{
    if (pszFilter == nullptr)
        return TABLEFILTER_NONE;
    while (bBlank(*pszFilter))
        pszFilter++;
    const size_t n = std::wcslen(pszFilter);
    if (n == 0)
        return TABLEFILTER_NONE;
    // A keyword opens a clause when a blank, a quote or a parenthesis
    // follows it: "like%" is a pattern.
    auto bClause = [](const wchar_t* p, size_t nLeft, const wchar_t* pszKeyword) {
        const size_t nWord = nKeywordAt(p, nLeft, pszKeyword);
        return nWord > 0 && (nWord == nLeft || bBlank(p[nWord]) || std::wcschr(L"'\"`(", p[nWord]) != nullptr);
    };
    if (bClause(pszFilter, n, L"LIKE"))
        return TABLEFILTER_LIKE;
    if (bClause(pszFilter, n, L"WHERE"))
        return TABLEFILTER_WHERE;
    const size_t nNot = nKeywordAt(pszFilter, n, L"NOT");
    if (nNot > 0 && nNot < n && bBlank(pszFilter[nNot])) {
        size_t i = nNot;
        while (i < n && bBlank(pszFilter[i]))
            i++;
        if (bClause(pszFilter + i, n - i, L"LIKE"))
            return TABLEFILTER_LIKE;
    }
    return TABLEFILTER_PATTERN;
}

int CNADriverSQL::_bTableFilterClause(CNAConnectionDescription* pConnection, const wchar_t* pszFilter,
                                      CTString* pclClause)
{
    pclClause->Vide();
    switch (g_eTableFilter(pszFilter)) {
    case TABLEFILTER_NONE:
        return 1;
    case TABLEFILTER_PATTERN: {
        CTString csLiteral;
        if (!g_bTextLiteral(pConnection, m_pclError, pszFilter, &csLiteral))
            return 0;
        pclClause->Set(L"LIKE ", csLiteral.pszGet(), nullptr);
        return 1;
    }
    default:
        pclClause->Set(pszFilter);
        return 1;
    }
}

int CNADriverSQL::_bGetList(CXYStringConcat<wchar_t>* pclOut, CNAConnectionDescription* pConnection,
                            const wchar_t* pszQuery, unsigned int nColumns, unsigned int nFlags)
{
    Empty(pclOut);
    CStatementHeld clStatement;
    if (!bExecute(m_pclError, &clStatement.p, pConnection, pszQuery, nullptr, 0))
        return 0;
    if (clStatement.p == nullptr)
        return 1;
    CTString csRow;
    for (bool bFirst = true;; bFirst = false) {
        if (!clStatement.p->bFetch(nFlags))
            return 0;
        if (clStatement.p->bEndOfData())
            return 1;
        if (!clStatement.p->bGetRow(&csRow, L"\t", static_cast<int>(nColumns), 0))
            return 0;
        if (!bFirst)
            pclOut->Add(kLineEnd, 2);
        pclOut->Add(csRow.pszGet(), csRow.nTaille());
    }
}

int CNADriverSQL::_bGetList(CAny* pResult, CNAConnectionDescription* pConnection, const wchar_t* pszQuery,
                            unsigned int nColumns, unsigned int nFlags)
{
    CXYStringConcat<wchar_t> clList;
    const int bResult = _bGetList(&clList, pConnection, pszQuery, nColumns, nFlags);
    g_SetListText(pResult, clList.pszGet(), clList.m_nLength);
    return bResult;
}

int CNADriverSQL::bGetTableList(CAny* pResult, CNAConnectionDescription* pConnection, const wchar_t* pszFilter,
                                unsigned int nFlags)
{
    if ((nFlags & LIST_TABLES) == 0) {
        g_SetListText(pResult, L"", 0);
        return 1;
    }
    // A WHERE clause names the columns of SHOW TABLES.
    if (g_eTableFilter(pszFilter) == TABLEFILTER_WHERE)
        return _bNotOffered(POINT_TABLE_LIST_INNER);
    CTString csClause;
    if (!_bTableFilterClause(pConnection, pszFilter, &csClause))
        return 0;
    CXYStringConcat<wchar_t> clCondition;
    _GetTableList_GetFilter(&clCondition, csClause.pszGet(), nFlags);
    const int bResult = _bGetTableList(pResult, pConnection, clCondition.pszGet(), nFlags);
    if ((nFlags & LIST_SORTED) != 0) {
        CXYStringConcat<wchar_t> clList;
        const std::wstring s = ListText(pResult);
        clList.Add(s.c_str(), static_cast<int>(s.size()));
        g_SortLines(&clList);
        g_SetListText(pResult, clList.pszGet(), clList.m_nLength);
    }
    return bResult;
}

int CNADriverSQL::bGetColumnList(CAny* pResult, CNAConnectionDescription* pConnection, const wchar_t* pszTable,
                                 unsigned int)
{
    if (m_pclDriver == nullptr)
        return 0;
    CNADataSourceDescription* pcl = m_pclDriver->_pclGetTableDesc(pszTable, pConnection);
    if (pcl == nullptr)
        return 0;
    std::wstring s;
    for (unsigned int i = 0; i < pcl->nGetNumItems(); i++) {
        const CNAItemDescription* pclItem = pcl->pclNAGetItemNoRef(static_cast<int>(i));
        if (pclItem->bIsComposedKey())
            break;
        if (i > 0)
            s += kLineEnd;
        s += pclItem->pszGetName();
    }
    pcl->nRelease();
    g_SetListText(pResult, s.c_str(), static_cast<unsigned int>(s.size()));
    return 1;
}

int CNADriverSQL::bGetLinkList(CAny* pResult, CNAConnectionDescription* pConnection, const wchar_t* pszTable,
                               INADataSourceDescription* piTable, unsigned int nFlags)
{
    if (pConnection->eGetDataSource() != CNAConnectionDescription::DS_MYSQL)
        return 1;
    const wchar_t* pszName = pszTable;
    if (piTable != nullptr && piTable->pszGetDBTableName() != nullptr && piTable->pszGetDBTableName()[0] != 0)
        pszName = piTable->pszGetDBTableName();
    CTString csFormatted;
    if (!pConnection->bFormatTableName(m_pclError, pszName, &csFormatted))
        return 0;
    CTString csCreate;
    {
        const std::wstring strQuery = std::wstring(L"SHOW CREATE TABLE ") + csFormatted.pszGet();
        CStatementHeld clStatement;
        if (!bExecute(m_pclError, &clStatement.p, pConnection, strQuery.c_str(), nullptr, 0))
            return 0;
        if (clStatement.p == nullptr)
            return 1;
        if (!clStatement.p->bFetch(0))
            return 0;
        const wchar_t* pszColumn = clStatement.p->bEndOfData() ? nullptr : clStatement.p->_pszGetColumnName(1);
        if (pszColumn == nullptr || STR_nCompareW(pszColumn, L"Create Table", 1) != 0 ||
            !g_bGetText(clStatement.p, 1, &csCreate))
            return 1;
    }
    CXYStringConcat<wchar_t> clLinks;
    _bExtraitLink_FromShowCreateTable(&clLinks, csCreate.pszGet(), pszName, pConnection, piTable,
                                      static_cast<int>(nFlags));
    g_SetListText(pResult, clLinks.pszGet(), clLinks.m_nLength);
    return 1;
}

int CNADriverSQL::_bExtraitLink_FromShowCreateTable(CXYStringConcat<wchar_t>* pclOut, const wchar_t* pszCreate,
                                                    const wchar_t* pszTable, CNAConnectionDescription* pConnection,
                                                    INADataSourceDescription* piTable, int nFlags)
{
    Empty(pclOut);
    if (pszCreate == nullptr)
        return 1;
    const std::wstring strTable = pszTable != nullptr ? pszTable : L"";
    CScanDescriptions clLoaded;
    CCreateTextScan clScan(pszCreate, std::wcslen(pszCreate));
    while (clScan.bFindWord(L"CONSTRAINT")) {
        const size_t nNext = clScan.nGetPos();
        std::wstring strName, strColumns, strReferenced, strReferencedColumns;
        int nColumns = 0;
        int nReferencedColumns = 0;
        if (!clScan.bQuotedName(&strName) || !clScan.bWord(L"FOREIGN") || !clScan.bWord(L"KEY") ||
            !clScan.bNameList(&strColumns, &nColumns) || !clScan.bWord(L"REFERENCES") ||
            !clScan.bQuotedName(&strReferenced) || !clScan.bNameList(&strReferencedColumns, &nReferencedColumns)) {
            // A referenced table qualified by its database stops here too.
            clScan.SetPos(nNext);
            continue;
        }
        // Several columns: the name of the composite key made of them.
        const struct {
            std::wstring* ps;
            int nCount;
            const std::wstring* pstrTable;
        } aSide[] = {{&strColumns, nColumns, &strTable}, {&strReferencedColumns, nReferencedColumns, &strReferenced}};
        bool bSkip = false;
        for (const auto& st : aSide) {
            if (st.nCount < 2)
                continue;
            // The caller's description serves its own table, a reference
            // to itself included.
            INADataSourceDescription* piOwn = piTable;
            const bool bOwn = piTable != nullptr && STR_nCompareW(st.pstrTable->c_str(), strTable.c_str(), 1) == 0;
            INADataSourceDescription** ppi = bOwn ? &piOwn : clLoaded.ppiFind(*st.pstrTable);
            CXYString<wchar_t> clColumns(st.ps->c_str(), static_cast<int>(st.ps->size()));
            if (!_bGetNomCleComposee(ppi, &clColumns, st.nCount, st.pstrTable->c_str(), pConnection)) {
                clLoaded.Prune();
                bSkip = true;
                break;
            }
            st.ps->assign(clColumns.pszGet(), static_cast<size_t>(clColumns.nGetLength()));
        }
        if (bSkip || (nFlags & LIST_DETAILED) == 0)
            continue;
        int anRule[2] = {1, 1}; // ON DELETE, ON UPDATE
        for (;;) {
            const size_t nBefore = clScan.nGetPos();
            if (!clScan.bWord(L"ON")) {
                clScan.SetPos(nBefore);
                break;
            }
            const int nWhich = clScan.bWord(L"DELETE") ? 0 : clScan.bWord(L"UPDATE") ? 1 : -1;
            if (nWhich < 0) {
                clScan.SetPos(nBefore);
                break;
            }
            anRule[nWhich] = clScan.nRule();
        }
        const std::wstring strRow = strName + L"\t" + strReferenced + L"\t" + strReferencedColumns + L"\t0,N\t" +
                                    strTable + L"\t" + strColumns + L"\t0,1\t" + pszRuleCode(anRule[1]) + L"\t" +
                                    pszRuleCode(anRule[0]);
        if (pclOut->m_nLength > 0)
            pclOut->Add(kLineEnd, 2);
        pclOut->Add(strRow.c_str(), static_cast<int>(strRow.size()));
    }
    return 1;
}

int CNADriverSQL::_bGetNomCleComposee(INADataSourceDescription** ppiTable, CXYString<wchar_t>* pclColumns, int nCount,
                                      const wchar_t* pszTable, CNAConnectionDescription* pConnection)
{
    if (*ppiTable == nullptr) {
        if (m_pclDriver == nullptr || pConnection == nullptr)
            return 0;
        *ppiTable = m_pclDriver->_piGetTableDesc(pszTable, pConnection);
        if (*ppiTable == nullptr)
            return 0;
    }
    INADataSourceDescription* pi = *ppiTable;
    for (unsigned int i = 0; i < pi->nGetNumKeys(); i++) {
        INAItemDescription* piKey = pi->piNAGetKey(i);
        if (piKey == nullptr)
            continue;
        bool bMatch = false;
        if (piKey->bIsComposedKey() && piKey->nGetNumComponents() == nCount) {
            std::wstring s;
            for (int k = 1; k <= nCount; k++) {
                INAItemDescription* piComponent = piKey->piGetItemComponent(k);
                if (k > 1)
                    s += L',';
                if (piComponent != nullptr) {
                    s += piComponent->pszGetName();
                    piComponent->nExternalRelease();
                }
            }
            bMatch = STR_nCompareW(s.c_str(), pclColumns->pszGet(), 1) == 0;
        }
        if (bMatch) {
            const wchar_t* pszKey = piKey->pszGetName();
            *pclColumns = CXYString<wchar_t>(pszKey, static_cast<int>(std::wcslen(pszKey)));
        }
        piKey->nExternalRelease();
        if (bMatch)
            break;
    }
    return 1;
}

void CNADriverSQL::_GetTableList_GetFilter(CXYStringConcat<wchar_t>* pclOut, const wchar_t* pszLikeClause,
                                           unsigned int nFlags)
{
    std::wstring s;
    if ((nFlags & LIST_BASE_TABLES) != 0)
        s = L"TABLE_TYPE='BASE TABLE'";
    if ((nFlags & LIST_VIEWS) != 0) {
        if (!s.empty())
            s += L" OR ";
        s += L"TABLE_TYPE='SYSTEM TABLE' OR TABLE_TYPE='VIEW'";
    }
    if (!s.empty())
        s = L"(" + s + L")";
    if (pszLikeClause != nullptr && pszLikeClause[0] != 0) {
        if (!s.empty())
            s += L" AND ";
        s += L"TABLE_NAME ";
        s += pszLikeClause;
    }
    Empty(pclOut);
    pclOut->Add(s.c_str(), static_cast<int>(s.size()));
}

int CNADriverSQL::_bGetDatabaseList(CXYStringConcat<wchar_t>* pclOut, CNAConnectionDescription* pConnection,
                                    unsigned int nFlags)
{
    Empty(pclOut);
    CTStringConcatAW clQuery;
    if (!_bGetDatabaseListQuery(&clQuery, pConnection, nFlags))
        return 0;
    CXYStringConcat<wchar_t> clNames;
    if (!_bGetList(&clNames, pConnection, clQuery.pszGetW(), 1, nFlags))
        return 0;
    if ((nFlags & LIST_TABLES) == 0) {
        if ((nFlags & LIST_SORTED) != 0)
            g_SortLines(&clNames);
        pclOut->Add(clNames.pszGet(), static_cast<int>(clNames.m_nLength));
        return 1;
    }
    CTStringArray tabNames;
    tabNames.Decoupe(clNames.pszGet(), kLineEnd);
    if ((nFlags & LIST_SORTED) != 0)
        tabNames.TrieCroisssantI();
    CXYStringConcat<wchar_t> clTables;
    for (int i = 0; i < tabNames.nGetNbElement(); i++) {
        const CTString* pcsName = tabNames[i];
        if (!_bGetDatabaseTableListQuery(&clQuery, pcsName->pszGet(), pConnection, nFlags) ||
            !_bGetList(&clTables, pConnection, clQuery.pszGetW(), 1, nFlags))
            return 0;
        clTables.Remplace(kLineEnd, 2, L"\t", 1, 0);
        if (i > 0)
            pclOut->Add(kLineEnd, 2);
        pclOut->Add(pcsName->pszGet(), pcsName->nTaille());
        pclOut->Add(L"\t", 1);
        pclOut->Add(clTables.pszGet(), static_cast<int>(clTables.m_nLength));
    }
    return 1;
}

int CNADriverSQL::bGetDatabaseList(CXYString<wchar_t>* pclOut, CNAConnectionDescription* pConnection,
                                   unsigned int nFlags)
{
    CXYStringConcat<wchar_t> clList;
    const int bResult = _bGetDatabaseList(&clList, pConnection, nFlags);
    CXYString<wchar_t> clText;
    if (clText.__nNew(static_cast<int>(clList.m_nLength), clList.pszGet(), static_cast<int>(clList.m_nLength)) != 0)
        throw std::bad_alloc();
    pclOut->Swap(clText);
    return bResult;
}

int CNADriverSQL::_bGetDatabaseListQuery(CTStringConcatAW* pclQuery, CNAConnectionDescription*, unsigned int)
{
    g_SetQuery(pclQuery, L"SELECT SCHEMA_NAME FROM INFORMATION_SCHEMA.SCHEMATA ORDER BY SCHEMA_NAME");
    return 1;
}

int CNADriverSQL::_bGetDatabaseTableListQuery(CTStringConcatAW* pclQuery, const wchar_t* pszDatabase,
                                              CNAConnectionDescription* pConnection, unsigned int nFlags)
{
    CTString csLiteral;
    if (!g_bTextLiteral(pConnection, m_pclError, pszDatabase != nullptr ? pszDatabase : L"", &csLiteral))
        return 0;
    CXYStringConcat<wchar_t> clCondition;
    _GetTableList_GetFilter(&clCondition, nullptr, nFlags);
    std::wstring s = L"SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE ";
    if (clCondition.m_nLength > 0)
        s = s + clCondition.pszGet() + L" AND ";
    s = s + L"TABLE_SCHEMA = " + csLiteral.pszGet() + L" ORDER BY TABLE_NAME";
    g_SetQuery(pclQuery, s.c_str());
    return 1;
}

int CNADriverSQL::_bGetTableList(CAny* pResult, CNAConnectionDescription* pConnection, const wchar_t* pszCondition,
                                 unsigned int nFlags)
{
    std::wstring strQuery = L"SELECT TABLE_NAME, TABLE_SCHEMA, TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE ";
    if (pszCondition != nullptr && pszCondition[0] != 0)
        strQuery = strQuery + pszCondition + L" AND ";
    strQuery += L"TABLE_SCHEMA = SCHEMA() ORDER BY TABLE_SCHEMA, TABLE_NAME";
    CXYStringConcat<wchar_t> clList;
    int bResult = 0;
    CStatementHeld clStatement;
    if (bExecute(m_pclError, &clStatement.p, pConnection, strQuery.c_str(), nullptr, 0)) {
        bResult = 1;
        const bool bDetailed = (nFlags & LIST_DETAILED) != 0;
        CTString acsField[3];
        while (clStatement.p != nullptr) {
            if (!clStatement.p->bFetch(nFlags)) {
                bResult = 0;
                break;
            }
            if (clStatement.p->bEndOfData())
                break;
            const unsigned int nFields = bDetailed ? 3 : 1;
            unsigned int i = 0;
            while (i < nFields && g_bGetText(clStatement.p, i, &acsField[i]))
                i++;
            if (i < nFields) {
                bResult = 0;
                break;
            }
            if (clList.m_nLength > 0)
                clList.Add(kLineEnd, 2);
            clList.Add(acsField[0].pszGet(), acsField[0].nTaille());
            if (bDetailed) {
                const wchar_t* pszType = acsField[2].bEstEgalI(L"BASE TABLE") ? L"TABLE" : acsField[2].pszGet();
                clList.Add(L"\t", 1);
                clList.Add(acsField[1].pszGet(), acsField[1].nTaille());
                clList.Add(L"\t", 1);
                clList.Add(pszType);
            }
        }
    }
    g_SetListText(pResult, clList.pszGet(), clList.m_nLength);
    return bResult;
}

// ---- Execution and statements --------------------------------------------------------------------------

void CRefTraits<CNAStatementSQL, void>::AddRef(CNAStatementSQL* p)
{
    p->AddRef();
}

void CRefTraits<CNAStatementSQL, void>::Release(CNAStatementSQL* p)
{
    p->nRelease();
}

int CNADriverSQL::bExecute(CNAError* pError, CNAStatementSQL** ppclStatement, CNAConnectionDescription* pConnection,
                           const wchar_t* pszQuery, CTabValParser* pParameters, unsigned int nFlags)
{
    *ppclStatement = nullptr;
    CNAStatementSQL* pcl = pclAllocStatementSQL(pConnection, pError);
    if (pcl == nullptr) {
        if (pError != nullptr && pError->eGetErrorType() == NA_ERRORTYPE_NONE)
            pError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, ERRFILE_DRIVERSQL, POINT_NO_MEMORY,
                             pConnection);
        return 0;
    }
    pcl->AddRef();
    int bResult = 0;
    unsigned int nColumns = 0;
    try {
        bResult = pcl->bExecuteDirect(pszQuery, pParameters, nFlags);
        if (bResult)
            pcl->bGetColumnNbr(&nColumns, 0);
    } catch (...) {
        pcl->nRelease();
        throw;
    }
    if (bResult && nColumns > 0)
        *ppclStatement = pcl;
    else
        pcl->nRelease();
    return bResult;
}

int CNADriverSQL::bExecute(int* pnStatement, int nConnection, const wchar_t* pszQuery, CTabValParser* pParameters,
                           unsigned int nFlags)
{
    if (pnStatement != nullptr)
        *pnStatement = 0;
    return _Run(0, [&] {
        CNAConnectionDescription* pclConnection = _pclGetConnection(nConnection);
        if (pclConnection == nullptr)
            return 0;
        CNAStatementSQL* pcl = nullptr;
        int bResult = 0;
        try {
            bResult = bExecute(m_pclError, &pcl, pclConnection, pszQuery, pParameters, nFlags);
            if (pcl != nullptr) {
                if (!m_tabStatement.bAddValue(pcl->nGetStmtID(), pcl))
                    throw std::bad_alloc();
                if (pnStatement != nullptr)
                    *pnStatement = pcl->nGetStmtID();
                pcl->nRelease();
                pcl = nullptr;
            }
        } catch (...) {
            if (pcl != nullptr)
                pcl->nRelease();
            _ReleaseConnection(pclConnection);
            throw;
        }
        _ReleaseConnection(pclConnection);
        return bResult;
    });
}

CNAStatementSQL* CNADriverSQL::_pclGetStatement(int nStatement)
{
    if (nStatement == 0)
        return nullptr;
    // Hosts read one statement's rows at a time: the last one found is kept,
    // on the table's reference, until the table changes.
    CNAStatementSQL* pcl = m_pclLastStatement;
    if (nStatement != m_nLastStatement || pcl == nullptr) {
        if (!m_tabStatement.bGetValue(nStatement, &pcl))
            return nullptr;
        pcl->nRelease();
        m_nLastStatement = nStatement;
        m_pclLastStatement = pcl;
    }
    // A statement made here reports into this interface's error object,
    // which the slot has just reset.
    CNAError* pclOwn = nullptr;
    pcl->bGetStmtLastError(&pclOwn);
    if (pclOwn != m_pclError)
        pcl->ResetLastError();
    return pcl;
}

int CNADriverSQL::_bCheckColumn(CNAStatementSQL* pclStatement, unsigned int nColumn)
{
    unsigned int nCount = 0;
    pclStatement->bGetColumnNbr(&nCount, 0);
    if (nColumn >= 1 && nColumn <= nCount)
        return 1;
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_DRIVERSQL, POINT_COLUMN, nullptr, nullptr, nullptr,
                                   ZTERR_COLUMN_INDEX, static_cast<int>(nColumn), static_cast<int>(nCount));
    return 0;
}

int CNADriverSQL::bFreeStmt(int, int nStatement, unsigned int)
{
    return _Run(0, [&] {
        if (nStatement != 0) {
            _ForgetStatement();
            m_tabStatement.bRemoveValue(nStatement);
        }
        return 1;
    });
}

int CNADriverSQL::bGetStmtLastError(INAError** ppiError, int, int nStatement)
{
    if (nStatement == 0)
        return 0;
    return _RunNoReset(0, [&] {
        CNAStatementSQL* pcl = nullptr;
        if (!m_tabStatement.bGetValue(nStatement, &pcl))
            return 0;
        // The table keeps it while the driver mutex is held.
        pcl->nRelease();
        CNAError* pclError = nullptr;
        const int bResult = pcl->bGetStmtLastError(&pclError);
        if (ppiError != nullptr)
            *ppiError = pclError;
        return bResult;
    });
}

int CNADriverSQL::bGetColumnNbr(int* pnCount, int, int nStatement, unsigned int nFlags)
{
    if (nStatement == 0) {
        if (pnCount != nullptr)
            *pnCount = 0;
        return 1;
    }
    return _Run(0, [&] {
        CNAStatementSQL* cl = _pclGetStatement(nStatement);
        if (!cl)
            return 0;
        unsigned int nCount = 0;
        const int bResult = cl->bGetColumnNbr(&nCount, nFlags);
        if (pnCount != nullptr)
            *pnCount = static_cast<int>(nCount);
        return bResult;
    });
}

int CNADriverSQL::bGetColumnName(CAny* pName, int, int nStatement, unsigned int nColumn, unsigned int nFlags)
{
    if (nStatement == 0)
        return 0;
    return _Run(0, [&] {
        CNAStatementSQL* cl = _pclGetStatement(nStatement);
        if (!cl || !_bCheckColumn(cl, nColumn))
            return 0;
        return cl->bGetColumnName(pName, static_cast<int>(nColumn - 1), nFlags);
    });
}

int CNADriverSQL::bFetch(int, int nStatement, unsigned int nFlags)
{
    if (nStatement == 0)
        return 0;
    return _Run(0, [&] {
        CNAStatementSQL* cl = _pclGetStatement(nStatement);
        if (!cl)
            return 0;
        return cl->bFetch(nFlags) && !cl->bEndOfData() ? 1 : 0;
    });
}

int CNADriverSQL::bGetRow(CAny* pRow, int, int nStatement, const wchar_t* pszSeparator, int n, unsigned int nFlags)
{
    if (nStatement == 0)
        return 0;
    return _Run(0, [&] {
        CNAStatementSQL* cl = _pclGetStatement(nStatement);
        if (!cl)
            return 0;
        return cl->bGetRow(pRow, pszSeparator, n, nFlags);
    });
}

int CNADriverSQL::bGetValue(CAny* pValue, int, int nStatement, unsigned int nColumn, unsigned int nFlags)
{
    if (nStatement == 0)
        return 0;
    return _Run(0, [&] {
        CNAStatementSQL* cl = _pclGetStatement(nStatement);
        if (!cl || !_bCheckColumn(cl, nColumn))
            return 0;
        return cl->bGetValue(pValue, nColumn - 1, nFlags);
    });
}

int CNADriverSQL::bGetBLOBValue(CAny* pValue, int, int nStatement, unsigned int nColumn, unsigned int nFlags)
{
    if (nStatement == 0)
        return 0;
    return _Run(0, [&] {
        CNAStatementSQL* cl = _pclGetStatement(nStatement);
        if (!cl || !_bCheckColumn(cl, nColumn))
            return 0;
        return cl->bGetBLOBValue(pValue, nColumn - 1, nFlags);
    });
}

// ---- Transactions and locks -------------------------------------------------------------------------------


int CNADriverSQL::bTrsBegin(int*, int nConnection, unsigned int)
{
    return _Run(0, [&] {
        return nOnConnection(this, nConnection,
                             [&](CNAConnectionDescription* pcl) { return pcl->bTransactionBegin(m_pclError, kTransactionName); });
    });
}

int CNADriverSQL::bTrsCommit(int nConnection, int, unsigned int)
{
    return _Run(0, [&] {
        return nOnConnection(this, nConnection,
                             [&](CNAConnectionDescription* pcl) { return pcl->bTransactionCommit(m_pclError, kTransactionName); });
    });
}

int CNADriverSQL::bTrsRollBack(int nConnection, int, unsigned int)
{
    return _Run(0, [&] {
        return nOnConnection(this, nConnection, [&](CNAConnectionDescription* pcl) {
            return pcl->bTransactionRollBack(m_pclError, kTransactionName);
        });
    });
}

int CNADriverSQL::bSQLBloqueTable(int nConnection, const wchar_t* pszTable, unsigned int nFlags)
{
    return _Run(0, [&] {
        return nOnConnection(this, nConnection, [&](CNAConnectionDescription* pcl) {
            if (!pcl->_bTransactionOpened()) {
                if (m_pclError != nullptr)
                    m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_DRIVERSQL, POINT_LOCK_TABLE, pcl, pszTable,
                                               nullptr, ZTERR_LOCK_NO_TRANSACTION);
                return 0;
            }
            return bSQLBloqueTable(m_pclError, pcl, pszTable, nFlags);
        });
    });
}

int CNADriverSQL::bSQLBloqueRequete(int nConnection, const wchar_t* pszQuery, unsigned int nFlags)
{
    return _Run(0, [&] {
        return nOnConnection(this, nConnection, [&](CNAConnectionDescription* pcl) {
            if (!pcl->_bTransactionOpened()) {
                if (m_pclError != nullptr)
                    m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_DRIVERSQL, POINT_LOCK_QUERY, pcl, nullptr,
                                               nullptr, ZTERR_LOCK_NO_TRANSACTION);
                return 0;
            }
            return bSQLBloqueRequete(pcl, pszQuery, nFlags);
        });
    });
}

int CNADriverSQL::bSQLBloqueTable(CNAError* pError, CNAConnectionDescription* pConnection, const wchar_t* pszTable,
                                  unsigned int)
{
    if (!pConnection->bOpen(pError))
        return 0;
    return pConnection->bSQLBloque(pError, pszTable);
}

int CNADriverSQL::bSQLBloqueRequete(CNAConnectionDescription* pConnection, const wchar_t* pszQuery, unsigned int)
{
    if (!pConnection->bOpen(m_pclError))
        return 0;
    return pConnection->bSQLBloqueRequete(m_pclError, pszQuery);
}
