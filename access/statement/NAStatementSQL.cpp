#include "access/statement/NAStatementSQL.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/sql/TabValParser.h"
#include "access/statement/NAColumn.h"
#include "common/text/CodePage.h"
#include "common/text/TStringConcatAW.h"
#include "common/values/NACnvVariant.h"

#include <cwchar>
#include <new>
#include <string>

namespace {

const int kFile = CNAStatementSQL::ERRFILE_STATEMENTSQL;

enum : int {
    kPointNullText = 1,
    kPointPosition = 2,
    kPointCodePage = 3,
    kPointColumnIndex = 4,
    kPointNoRow = 5,
    kPointNoColumnName = 6,
};

enum : unsigned int {
    UE_NO_CURRENT_ROW = 7,
    UE_EMPTY_TEXT = 28,
    UE_COLUMN_INDEX = 50,
    UE_PARAMETER = 53,
    UE_CODE_PAGE = 77,
    MSG_QUERY_FACTS = 28588,
};

const wchar_t* Text(const wchar_t* psz)
{
    return psz != nullptr ? psz : L"";
}

// At most QUERY_DUMP_MAX characters of the text.
std::wstring _Cut(const wchar_t* psz)
{
    std::wstring s(Text(psz));
    if (s.size() > CNAStatementSQL::QUERY_DUMP_MAX)
        s.resize(CNAStatementSQL::QUERY_DUMP_MAX);
    return s;
}

} // namespace

int CNAStatementSQL::m_gnStmtGenerator = 0;

CNAStatementSQL::CNAStatementSQL(CNAConnectionDescription* pclConnection, CNAError* pclError)
    : m_pclError(pclError),
      m_pclConnection(pclConnection),
      m_bResultOpen(0),
      m_llRowCount(0),
      m_llCurrentRow(-1),
      m_nColumnCount(0),
      m_ptabColumn(nullptr),
      m_bEndOfData(1),
      m_nRowMaxLen(0),
      m_nStmtID(++m_gnStmtGenerator),
      m_pclVariant(nullptr)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    if (m_pclConnection != nullptr)
        m_pclConnection->AddRef();
}

CNAStatementSQL::~CNAStatementSQL()
{
    if (m_pclVariant != nullptr)
        m_pclVariant->nRelease();
    delete[] m_ptabColumn;
    // By the driver's rule for holders: a connection the host closed
    // meanwhile closes with its last statement.
    if (m_pclConnection != nullptr) {
        if (CNADriver::s_pclDriver != nullptr)
            CNADriver::s_pclDriver->nReleaseConnection(m_pclConnection);
        else
            m_pclConnection->nRelease();
    }
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

// ---- Base answers of the back end's operations -------------------------------------------------

int CNAStatementSQL::bPrepareSQL(const wchar_t*) { return 0; }
int CNAStatementSQL::bExecutePreparedQuery(unsigned int) { return 0; }
int CNAStatementSQL::bGetAffected_rows(long long*) { return 0; }
int CNAStatementSQL::bFetch(unsigned int) { return 0; }
int CNAStatementSQL::bDataSeek(long long) { return 0; }
int CNAStatementSQL::bGetValue(CNAConvertVariant*, unsigned int, unsigned int) { return 0; }
int CNAStatementSQL::_bInitTabNAColumn() { return 0; }
int CNAStatementSQL::_bExecuteDirect(const char*, CTabValParser*, unsigned int) { return 0; }

int CNAStatementSQL::_bCloseParse()
{
    m_bResultOpen = 0;
    return 1;
}

int CNAStatementSQL::bReset()
{
    if (!_bCloseParse())
        return 0;
    m_llRowCount = -1;
    m_llCurrentRow = -1;
    m_nColumnCount = 0;
    delete[] m_ptabColumn;
    m_ptabColumn = nullptr;
    m_bEndOfData = 1;
    m_nRowMaxLen = 0;
    return 1;
}

// ---- Errors -------------------------------------------------------------------------------------

int CNAStatementSQL::_nGetCodePage() const
{
    if (m_pclConnection == nullptr)
        return 65001;
    const int n = m_pclConnection->nGetCnxCodePage();
    return n != -1 ? n : m_pclConnection->nGetHostCodePage();
}

int CNAStatementSQL::_bRaiseCodePage(const wchar_t* pszText)
{
    if (m_pclError == nullptr)
        return 0;
    const std::wstring s = _Cut(pszText);
    CNAConnectionDescription* pclCnx = m_pclConnection;
    m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointCodePage, pclCnx, nullptr, nullptr, UE_CODE_PAGE,
                               s.c_str(), _nGetCodePage(),
                               pclCnx != nullptr ? Text(pclCnx->pszGetLogicalConnectionName()) : L"",
                               pclCnx != nullptr ? Text(pclCnx->pszGetDefaultDataBaseEx()) : L"",
                               pclCnx != nullptr ? Text(pclCnx->pszGetDataBase()) : L"");
    return 0;
}

int CNAStatementSQL::_bInitLastError(int nFile, int nPoint)
{
    return m_pclConnection != nullptr &&
           m_pclConnection->bInitError(m_pclError, static_cast<unsigned int>(nFile), static_cast<unsigned int>(nPoint));
}

void CNAStatementSQL::_InitExecuteError(int nFile, int nPoint, const char* pszText, unsigned int nLength,
                                        unsigned int)
{
    _bInitLastError(nFile, nPoint);
    _DumpQueryInError(pszText, nLength);
}

void CNAStatementSQL::_DumpQueryInError(const wchar_t* pszText)
{
    if (m_pclError == nullptr)
        return;
    CNAConnectionDescription* pclCnx = m_pclConnection;
    m_pclError->AddDebugMessage(MSG_QUERY_FACTS, pclCnx != nullptr ? Text(pclCnx->pszGetDataBase()) : L"",
                                pclCnx != nullptr ? Text(pclCnx->pszGetDefaultDataBaseEx()) : L"",
                                pclCnx != nullptr ? Text(pclCnx->pszGetUserName()) : L"");
    m_pclError->AddDebugMessageNoFormat(_Cut(pszText).c_str());
}

void CNAStatementSQL::_DumpQueryInError(const char* pszText, unsigned int nLength)
{
    // Read whole in its code page, then cut by characters: a cut never
    // falls inside a multi-byte character.
    CTStringConcatAW cl(-2, static_cast<unsigned>(_nGetCodePage()));
    if (pszText != nullptr && nLength > 0)
        cl.Add(pszText, static_cast<int>(nLength), static_cast<unsigned>(_nGetCodePage()));
    _DumpQueryInError(cl.pszGetW());
}

void CNAStatementSQL::_DumpQueryInError(CTStringConcatAW* pclText)
{
    _DumpQueryInError(pclText != nullptr ? pclText->pszGetW() : L"");
}

int CNAStatementSQL::bGetStmtLastError(CNAError** ppclError)
{
    if (ppclError != nullptr)
        *ppclError = m_pclError;
    return 1;
}

void CNAStatementSQL::ResetLastError()
{
    if (m_pclError != nullptr)
        m_pclError->Reset();
}

// ---- Execution ------------------------------------------------------------------------------------

int CNAStatementSQL::_bResetForText(const void* pText)
{
    if (!bReset())
        return 0;
    if (pText == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointNullText, m_pclConnection, nullptr,
                                       nullptr, UE_EMPTY_TEXT);
        return 0;
    }
    return 1;
}

int CNAStatementSQL::bExecuteDirect(const char* pszText, unsigned int nFlags)
{
    if (!_bResetForText(pszText))
        return 0;
    return _bExecuteDirect(pszText, nullptr, nFlags);
}

int CNAStatementSQL::bExecuteDirect(const wchar_t* pszText, CTabValParser* pParameters, unsigned int nFlags)
{
    if (!_bResetForText(pszText))
        return 0;
    const int nCount = pParameters != nullptr ? pParameters->nGetNbValeur() : 0;
    if (nCount == 0)
        return _bExecuteDirect(pszText, nullptr, nFlags);

    // Every place is checked before anything is written or sent.
    const long long llTextLength = static_cast<long long>(wcslen(pszText));
    long long llEnd = 0;
    for (int i = 0; i < nCount; i++) {
        const int nStart = pParameters->pTabValeur[i].nPosition;
        const int nLength = pParameters->pTabValeur[i].nLongueur;
        if (nStart < llEnd || nLength < 0 || static_cast<long long>(nStart) + nLength > llTextLength) {
            if (m_pclError != nullptr) {
                CTString csLength;
                csLength.SetI4(nLength);
                m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointPosition, m_pclConnection, nullptr,
                                           nullptr, UE_PARAMETER, i, nStart, csLength.pszGet());
                CTString csDetail;
                csDetail.Set(L"Parameter ");
                csDetail.AddI4(i);
                csDetail.Add(L" at ");
                csDetail.AddI4(nStart);
                csDetail.Add(L", length ");
                csDetail.AddI4(nLength);
                csDetail.Add(L": out of order, overlapping or past the query text");
                m_pclError->AddDebugMessageNoFormat(csDetail.pszGet());
            }
            return 0;
        }
        llEnd = static_cast<long long>(nStart) + nLength;
    }

    // Built wide, converted once into the connection's code page.
    CTStringConcatAW clQuery(-2, static_cast<unsigned>(_nGetCodePage()));
    int nEnd = 0;
    for (int i = 0; i < nCount; i++) {
        CAny clValue;
        int nStart = 0;
        int nLength = 0;
        if (!_bGetParameter(&clValue, &nStart, &nLength, pParameters, i))
            return 0;
        if (nStart > nEnd)
            clQuery.Add(pszText + nEnd, nStart - nEnd, 0);
        nEnd = nStart + nLength;
        if (!_bAddParameter(&clQuery, static_cast<unsigned int>(i), &clValue))
            return 0;
    }
    if (pszText[nEnd] != 0)
        clQuery.Add(pszText + nEnd, -1, 0);
    return _bExecuteDirect(&clQuery, pParameters, nFlags);
}

int CNAStatementSQL::_bGetParameter(CAny* pValue, int* pnStart, int* pnLength, CTabValParser* pParameters,
                                    int nIndex)
{
    const STValParser& st = pParameters->pTabValeur[nIndex];
    st.clValeur.pclGetTraitement()->Duplique(pValue);
    *pnStart = st.nPosition;
    *pnLength = st.nLongueur;
    if ((st.dwType & 0x1) == 0)
        return 1;
    // The value names a file whose content is the value.
    CAny clName;
    st.clValeur.pclGetTraitement()->Duplique(&clName);
    clName.SetFlags(0);
    const wchar_t* pszName = nullptr;
    if (clName.__nCastTo(TQTYPE_DSTRW, nullptr, 0) != TQSTATUS_OK ||
        clName.pclGetTraitement()->nGetPCWSTR(&pszName) > 99 || pszName == nullptr)
        return 0;
    return CNAVariant::gbLoadFile(pValue, pszName, m_pclError, (st.dwType & 0x10) ? 0 : 1);
}

int CNAStatementSQL::_bAddParameter(CTStringConcatAW* pclText, unsigned int, CAny* pValue)
{
    if (m_pclConnection == nullptr)
        return 0;
    CTStringConcatAW clLiteral(-2, static_cast<unsigned>(_nGetCodePage()));
    if (!m_pclConnection->bConvertValueToString(m_pclError, &clLiteral, pValue, NA_IT_EMPTY, NA_IT_EMPTY))
        return 0;
    pclText->Add(clLiteral.pszGetW(), -1, 0);
    return 1;
}

int CNAStatementSQL::_bExecuteDirect(CTStringConcatAW* pclText, CTabValParser* pParameters, unsigned int nFlags)
{
    if (pclText == nullptr)
        return _bExecuteDirect(static_cast<const wchar_t*>(nullptr), pParameters, nFlags);
    if (pclText->m_nMasterCodePage == -2)
        return _bExecuteDirect(pclText->pszGetW(), pParameters, nFlags);
    return _bExecuteDirect(pclText->pszGetA(), pParameters, nFlags);
}

int CNAStatementSQL::_bExecuteDirect(const wchar_t* pszText, CTabValParser* pParameters, unsigned int nFlags)
{
    if (pszText == nullptr)
        return _bExecuteDirect(static_cast<const char*>(nullptr), pParameters, nFlags);
    const int nCodePage = _nGetCodePage();
    // Text held wide only cannot be sent, nor text the code page loses.
    if (nCodePage == -2 || !bAnsiCompatible(pszText, static_cast<unsigned>(nCodePage)))
        return _bRaiseCodePage(pszText);
    CXYStringConcat<char> cl;
    cl.AddWide(pszText, -1, static_cast<unsigned>(nCodePage));
    return _bExecuteDirect(cl.pszGet(), pParameters, nFlags);
}

// ---- Values ---------------------------------------------------------------------------------------

CNAConvertVariant* CNAStatementSQL::_pclGetVariant()
{
    if (m_pclVariant == nullptr) {
        CNADriver* pclDriver = CNADriver::s_pclDriver;
        m_pclVariant = pclDriver != nullptr ? pclDriver->pclAllocVariant(m_pclError, m_pclConnection)
                                            : new (std::nothrow) CNAConvertVariant(m_pclError, m_pclConnection);
        if (m_pclVariant == nullptr) {
            if (m_pclError != nullptr)
                m_pclError->pclGetXError()->SetErrorNoMemory();
            return nullptr;
        }
        m_pclVariant->AddRef();
    }
    return m_pclVariant;
}

namespace {

CXYString<wchar_t>& TextOf(CAny* pclText)
{
    return *reinterpret_cast<CXYString<wchar_t>*>(pclText->pbyGetValeur());
}

} // namespace

CAny* CNAStatementSQL::_pclReadText(unsigned int nColumn, unsigned int nFlags, CXYString<wchar_t>& clBlock)
{
    CNAConvertVariant* pclCell = _pclGetVariant();
    if (pclCell == nullptr)
        return nullptr;
    pclCell->InitTypeVariantAny(TQTYPE_DSTRW, 0);
    CAny* pclText = nullptr;
    pclCell->bGetValue(&pclText);
    TextOf(pclText).Swap(clBlock);
    if (bGetValue(pclCell, nColumn, nFlags))
        return pclText;
    // A refused text has left the block as it was.
    _ReturnText(pclText, clBlock);
    return nullptr;
}

void CNAStatementSQL::_ReturnText(CAny* pclText, CXYString<wchar_t>& clBlock)
{
    if (pclText->nGetTypeCode() == TQTYPE_DSTRW)
        TextOf(pclText).Swap(clBlock);
}

int CNAStatementSQL::_bGetValueAs(CAny* pValue, unsigned int nColumn, unsigned int nFlags, unsigned short nType)
{
    if (pValue == nullptr)
        return 0;
    if (nType == TQTYPE_DSTRW) {
        // The host's text value lends its block to the cell, which writes
        // the new text into it when nobody else holds it.
        const bool bText = pValue->nGetTypeCode() == TQTYPE_DSTRW;
        CXYString<wchar_t>& clBlock = bText ? TextOf(pValue) : m_clSpareText;
        CAny* pclText = _pclReadText(nColumn, nFlags, clBlock);
        if (pclText == nullptr)
            return 0;
        if (bText && pclText->nGetTypeCode() == TQTYPE_DSTRW) {
            _ReturnText(pclText, clBlock);
            pValue->SetFlags(pclText->nGetFlags());
        } else {
            m_pclVariant->bGetValue(pValue);
            _ReturnText(pclText, m_clSpareText);
        }
        return 1;
    }
    CNAConvertVariant* pclCell = _pclGetVariant();
    if (pclCell == nullptr)
        return 0;
    pclCell->InitTypeVariantAny(nType, 0);
    if (!bGetValue(pclCell, nColumn, nFlags))
        return 0;
    return pclCell->bGetValue(pValue);
}

int CNAStatementSQL::bGetValue(CAny* pValue, unsigned int nColumn, unsigned int nFlags)
{
    return _bGetValueAs(pValue, nColumn, nFlags, TQTYPE_DSTRW);
}

int CNAStatementSQL::bGetBLOBValue(CAny* pValue, unsigned int nColumn, unsigned int nFlags)
{
    return _bGetValueAs(pValue, nColumn, nFlags, TQTYPE_BIN);
}

int CNAStatementSQL::bGetValue(unsigned char**, unsigned int*, unsigned int)
{
    return 0;
}

int CNAStatementSQL::bGetRequestedValue(CAny* pValue, unsigned int nColumn, const wchar_t* pszText)
{
    int bResult = bExecuteDirect(pszText, nullptr, 0);
    if (bResult) {
        bResult = bFetch(0);
        if (bResult && !m_bEndOfData)
            bResult = bGetValue(pValue, nColumn, 0);
    }
    // The reset never masks what failed before it.
    const int bReset = this->bReset();
    return bResult && bReset;
}

// ---- Columns ----------------------------------------------------------------------------------------

int CNAStatementSQL::bGetColumnNbr(unsigned int* pnCount, unsigned int)
{
    if (pnCount != nullptr)
        *pnCount = m_nColumnCount;
    return 1;
}

CNAColumnSQL* CNAStatementSQL::pclGetNAColumnSQL(int nIndex)
{
    if (static_cast<unsigned int>(nIndex) >= m_nColumnCount) {
        if (m_pclError != nullptr)
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointColumnIndex, m_pclConnection, nullptr,
                                       nullptr, UE_COLUMN_INDEX, nIndex, static_cast<int>(m_nColumnCount));
        return nullptr;
    }
    if (m_ptabColumn == nullptr && !_bInitTabNAColumn())
        return nullptr;
    if (m_ptabColumn == nullptr)
        return nullptr;
    return &m_ptabColumn[nIndex];
}

int CNAStatementSQL::_eGetColumnType(int nIndex)
{
    if (static_cast<unsigned int>(nIndex) >= m_nColumnCount)
        return 0;
    CNAColumnSQL* pcl = pclGetNAColumnSQL(nIndex);
    return pcl != nullptr ? pcl->m_nDBType : 0;
}

const wchar_t* CNAStatementSQL::_pszGetColumnName(int nIndex)
{
    if (static_cast<unsigned int>(nIndex) >= m_nColumnCount)
        return nullptr;
    CNAColumnSQL* pcl = pclGetNAColumnSQL(nIndex);
    return pcl != nullptr ? pcl->m_csName.pszGet() : nullptr;
}

int CNAStatementSQL::bGetColumnName(CAny* pValue, int nIndex, unsigned int)
{
    CNAColumnSQL* pcl = pclGetNAColumnSQL(nIndex);
    if (pcl == nullptr || pValue == nullptr)
        return 0;
    const wchar_t* psz = Text(pcl->m_csName.pszGet());
    pValue->__SetType(TQTYPE_PSTRW, 0);
    pValue->pclGetTraitement()->SetValue(psz, static_cast<unsigned int>(wcslen(psz) * sizeof(wchar_t)));
    pValue->SetFlags(0);
    return 1;
}

int CNAStatementSQL::bGetColumnList(CAny* pValue, unsigned int)
{
    if (pValue == nullptr)
        return 0;
    std::wstring s;
    for (unsigned int i = 0; i < m_nColumnCount; i++) {
        CNAColumnSQL* pcl = pclGetNAColumnSQL(static_cast<int>(i));
        // A column without a name ends the list: the value keeps the names
        // before it.
        if (pcl == nullptr || pcl->m_csName.bIsNull())
            return 0;
        if (i > 0)
            s += L"\r\n";
        s += pcl->m_csName.pszGet();
        pValue->__SetType(TQTYPE_DSTRW, 0);
        pValue->pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned int>(s.size() * sizeof(wchar_t)));
        pValue->SetFlags(0);
    }
    return 1;
}

int CNAStatementSQL::_bReadRow(const wchar_t* pszSeparator, int nMax, unsigned int nFlags)
{
    if (m_bEndOfData) {
        if (m_pclError != nullptr)
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, kPointNoRow, m_pclConnection, nullptr, nullptr,
                                       UE_NO_CURRENT_ROW);
        return 0;
    }
    m_sRow.clear();
    unsigned int nCount = m_nColumnCount;
    if (nMax > 0 && static_cast<unsigned int>(nMax) < nCount)
        nCount = static_cast<unsigned int>(nMax);
    for (unsigned int i = 0; i < nCount; i++) {
        CAny* pclText = _pclReadText(i, nFlags, m_clSpareText);
        if (pclText == nullptr)
            return 0;
        if (i > 0 && pszSeparator != nullptr && pszSeparator[0] != 0)
            m_sRow += pszSeparator;
        const wchar_t* psz = nullptr;
        if (!pclText->bIsNull() && pclText->pclGetTraitement()->nGetPCWSTR(&psz) == TQSTATUS_OK && psz != nullptr)
            m_sRow.append(psz, wcslen(psz));
        _ReturnText(pclText, m_clSpareText);
    }
    return 1;
}

int CNAStatementSQL::bGetRow(CTString* pclText, const wchar_t* pszSeparator, int nMax, unsigned int nFlags)
{
    if (m_bEndOfData)
        return _bReadRow(pszSeparator, nMax, nFlags);
    if (pclText == nullptr)
        return 0;
    pclText->Vide();
    // A failed column leaves the columns before it.
    const int bResult = _bReadRow(pszSeparator, nMax, nFlags);
    if (!m_sRow.empty())
        pclText->Add(m_sRow.c_str());
    return bResult;
}

int CNAStatementSQL::bGetRow(CAny* pValue, const wchar_t* pszSeparator, int nMax, unsigned int nFlags)
{
    if (m_bEndOfData)
        return _bReadRow(pszSeparator, nMax, nFlags);
    if (pValue == nullptr || !_bReadRow(pszSeparator, nMax, nFlags))
        return 0;
    pValue->__SetType(TQTYPE_PSTRW, 0);
    pValue->pclGetTraitement()->SetValue(m_sRow.c_str(), static_cast<unsigned int>(m_sRow.size() * sizeof(wchar_t)));
    pValue->SetFlags(0);
    return 1;
}
