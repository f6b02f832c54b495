#include "access/table/NAIDAuto.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecordCache.h"
#include "access/table/NADataAccess.h"
#include "access/table/NAInternalParse.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/XYStringConcat.h"
#include "common/values/Any.h"

namespace {

// Debug point of a current maximum read without a row.
constexpr int PT_NO_ROW = 1;

// Drops the query's reference and clears the field.
void Close(CNAInternalParse*& pclQuery)
{
    CNAInternalParse* pcl = pclQuery;
    pclQuery = nullptr;
    if (pcl != nullptr)
        pcl->dwRelease();
}

} // namespace

CNAIDAuto::CNAIDAuto() : m_pclNextValueQuery(nullptr), m_pclMaxCurrentValueQuery(nullptr) {}

CNAIDAuto::~CNAIDAuto()
{
    _CloseInternalParseNextValue();
    _CloseInternalParseMaxCurrentValue();
}

void CNAIDAuto::_CloseInternalParseNextValue()
{
    Close(m_pclNextValueQuery);
}

void CNAIDAuto::_CloseInternalParseMaxCurrentValue()
{
    Close(m_pclMaxCurrentValueQuery);
}

int CNAIDAuto::bGetNextValue(CNADataAccess* pclDataAccess, CNAColumn* pclColumn, CNAError* pclError, CAny* pValue)
{
    CXYStringConcat<wchar_t> clText;
    if (!_bBuildQueryGetNextValue(&clText, pclDataAccess, pclColumn)) {
        _CloseInternalParseNextValue();
        _PrefixMessageErreur(pclError, pclDataAccess, pclColumn);
        return 0;
    }
    m_pclNextValueQuery =
        CNAInternalParse::s_pclGetNAInternalParse(clText.pszGet(), pclError, pclDataAccess->pclGetConnection());
    if (m_pclNextValueQuery == nullptr) {
        _PrefixMessageErreur(pclError, pclDataAccess, pclColumn);
        return 0;
    }
    m_pclNextValueQuery->m_nRefCount++;
    int bOutOfRange = 1;
    if (!m_pclNextValueQuery->bFetchData(NA_PARSE_FIRST, &bOutOfRange, pValue, 1)) {
        _CloseInternalParseNextValue();
        _PrefixMessageErreur(pclError, pclDataAccess, pclColumn);
        return 0;
    }
    // MAX of an empty table is NULL: the first value is 1.
    if (pValue->bIsNull()) {
        pValue->__SetType(TQTYPE_I8, 0);
        const long long llFirst = 1;
        pValue->pclGetTraitement()->SetValue(&llFirst);
        pValue->SetFlags(pValue->nGetFlags() & ~(TQFLAG_NULL | TQFLAG_0400));
    }
    _CloseInternalParseNextValue();
    return 1;
}

int CNAIDAuto::bGetMaxCurrentValue(CNADataAccess* pclDataAccess, CNAColumn* pclColumn, CNAError* pclError,
                                   CAny* pValue)
{
    CXYStringConcat<wchar_t> clText;
    _bBuildQueryGetMaxCurrentValue(&clText, pclDataAccess, pclColumn);
    m_pclMaxCurrentValueQuery =
        CNAInternalParse::s_pclGetNAInternalParse(clText.pszGet(), pclError, pclDataAccess->pclGetConnection());
    if (m_pclMaxCurrentValueQuery == nullptr)
        return 0;
    m_pclMaxCurrentValueQuery->m_nRefCount++;
    int bOutOfRange = 1;
    if (!m_pclMaxCurrentValueQuery->bFetchData(NA_PARSE_FIRST, &bOutOfRange, pValue, 1)) {
        _CloseInternalParseMaxCurrentValue();
        return 0;
    }
    if (bOutOfRange) {
        if (pclError != nullptr) {
            const wchar_t* pszTable = pclDataAccess->pszGetLogicalName();
            const wchar_t* pszItem = pclColumn->pszGetName();
            pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_IDAUTO, PT_NO_ROW, pclDataAccess->pclGetConnection(),
                                     pszTable, pszItem, ZTERR_NO_ROW, pszTable, pszItem);
        }
        _CloseInternalParseMaxCurrentValue();
        return 0;
    }
    _CloseInternalParseMaxCurrentValue();
    return 1;
}

int CNAIDAuto::_bBuildQueryGetNextValue(CXYStringConcat<wchar_t>* pclText, CNADataAccess* pclDataAccess,
                                        CNAColumn* pclColumn)
{
    return _bBuildQueryGetMax(pclText, pclDataAccess, pclColumn, 1);
}

int CNAIDAuto::_bBuildQueryGetMaxCurrentValue(CXYStringConcat<wchar_t>* pclText, CNADataAccess* pclDataAccess,
                                              CNAColumn* pclColumn)
{
    return _bBuildQueryGetMax(pclText, pclDataAccess, pclColumn, 0);
}

int CNAIDAuto::_bBuildQueryGetMax(CXYStringConcat<wchar_t>* pclText, CNADataAccess* pclDataAccess,
                                  CNAColumn* pclColumn, int bNext)
{
    CTString csItem;
    CTString csTable;
    if (!pclDataAccess->bSourceIsQuery()) {
        csItem = pclColumn->pszGetFormatedOriginalName();
        csTable = pclDataAccess->pszGetFormatedTableName();
    } else {
        // A query's column is asked of the table and column it comes from:
        // an alias stands for its FROM entry's table.
        INAItemDescription* piItem = pclColumn->piGetItem();
        CNAConnectionDescription* pclConnection = pclDataAccess->pclGetConnection();
        if (piItem != nullptr && pclConnection != nullptr) {
            pclConnection->bFormatItemName(pclDataAccess->pclGetError(), piItem->pszGetNameInSource(), &csItem);
            pclDataAccess->_GetDBSourceName(piItem, &csTable, 1);
        }
    }
    pclText->Add(L"SELECT MAX(");
    pclText->Add(csItem.pszGet());
    pclText->Add(bNext ? L")+1 FROM " : L") FROM ");
    pclText->Add(csTable.pszGet());
    return 1;
}

void CNAIDAuto::_PrefixMessageErreur(CNAError* pclError, CNADataAccess* pclDataAccess, CNAColumn* pclColumn)
{
    if (pclError == nullptr)
        return;
    pclError->AddUserMessageFirst(ZTMSG_AUTO_VALUE_FAILED, pclDataAccess->pszGetLogicalName(),
                                  pclColumn->pszGetName());
}
