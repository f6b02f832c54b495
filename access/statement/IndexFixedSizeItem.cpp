#include "access/statement/IndexFixedSizeItem.h"

#include "access/driver/INAVersion.h"
#include "access/driver/NAError.h"
#include "access/sql/NARecherche.h"
#include "access/statement/MemBTree.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NAStatement.h"
#include "access/table/NADataAccess.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/SysUtils.h"
#include "common/values/Any.h"
#include "common/values/ConvertKey.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace {

// Options of the index keys.
const unsigned short kKeyOptions = 0x2800;

// The rows of one value of a descending key, last first.
int nCompareRowsBackwards(const void* a, const void* b, unsigned int nSize)
{
    return CMemBTree::nCompareBytes(b, a, nSize);
}

unsigned int nPartKeySize(const CNAColumn* pclPart)
{
    return CKXConvertKey::nCalculateKeySize(pclPart->eGetTQType(), static_cast<unsigned int>(pclPart->nGetLogicalSize()));
}

// Point numbers of the debug line.
const int kPointPartNotKeyed = 2;

bool bIsWideKey(unsigned short nType)
{
    const eITEMTYPE e = CKXConvertKey::eGetItemType(nType);
    return e == KXIT_STRW || e == KXIT_PSTRW;
}

bool bIsTextKey(unsigned short nType)
{
    const eITEMTYPE e = CKXConvertKey::eGetItemType(nType);
    return e == KXIT_STRA || e == KXIT_STRA2 || bIsWideKey(nType);
}

// Key bytes may be empty only for a text, a binary or no value at all.
bool bMayKeyEmpty(unsigned short nType, const CAny* pValue)
{
    return pValue->bIsNull() || pValue->nGetTypeCode() == TQTYPE_VIDE || bIsTextKey(nType) ||
           CKXConvertKey::eGetItemType(nType) == KXIT_BIN;
}

// Releases a scratch record value on every way out.
struct CHeldValue {
    CNARecordValue* p;
    ~CHeldValue()
    {
        if (p != nullptr)
            p->nRelease();
    }
};

} // namespace

CIndexFixedSizeItem::~CIndexFixedSizeItem()
{
    delete m_pclTree;
    XMALLOC_Del_(m_pbyKey);
}

bool CIndexFixedSizeItem::_bComposite() const
{
    return m_pclColumn->bIsComposedKey() && m_pclColumn->pclGetTabComponent() != nullptr;
}

unsigned int CIndexFixedSizeItem::_nConvertPart(unsigned char* pbyKey, const CNAColumn* pclPart, int bDescending,
                                                const CAny* pValue)
{
    const unsigned int nSize = pclPart == m_pclColumn ? m_nKeySize : nPartKeySize(pclPart);
    std::memset(pbyKey, 0, nSize);
    // The conversion works on a copy where it must: the value stays as it is.
    return CConvertKey::nConvertKeyAndGetSize(
        const_cast<CAny*>(pValue), pbyKey, nSize, pclPart->eGetTQType(),
        static_cast<unsigned short>(kKeyOptions | (bDescending ? KXOPT_DESCENDING : 0)), pclPart->nGetIntegerPart(),
        pclPart->nGetDecimalPart());
}

bool CIndexFixedSizeItem::_bStartPart(unsigned char* pbyKey, const CNAColumn* pclPart, int bDescending,
                                      const CAny* pValue, bool bPrefix)
{
    const unsigned int nSize = pclPart == m_pclColumn ? m_nKeySize : nPartKeySize(pclPart);
    const unsigned int nLength = _nConvertPart(pbyKey, pclPart, bDescending, pValue);
    if (nLength == 0 && !bMayKeyEmpty(pclPart->eGetTQType(), pValue)) {
        if (m_pclError != nullptr) {
            const CNARecord* pclRecord = m_pclColumn->pclGetRecordNoRef();
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_TABLECACHE, kPointPartNotKeyed,
                                       pclRecord != nullptr ? pclRecord->pclGetConnectionNoRef() : nullptr,
                                       pclRecord != nullptr ? pclRecord->pszGetTableName() : nullptr,
                                       m_pclColumn->pszGetName(), ZTERR_CONVERSION,
                                       static_cast<int>(pValue->nGetTypeCode()),
                                       static_cast<int>(pclPart->eGetTQType()), pclPart->pszGetName());
        }
        return false;
    }
    // Inverted, a prefix's padding and terminator would come after every
    // text that begins with it: the smallest bytes put it before them. An
    // empty prefix is searched as the empty text, as the server does.
    if (bPrefix && bDescending && bIsTextKey(pclPart->eGetTQType())) {
        const unsigned int nUnit = bIsWideKey(pclPart->eGetTQType()) ? 2 : 1;
        unsigned int nText = nLength < nSize ? nLength : nSize;
        while (nText >= nUnit && pbyKey[nText - 1] == 0xFF && pbyKey[nText - nUnit] == 0xFF)
            nText -= nUnit;
        if (nText > 0)
            std::memset(pbyKey + nText, 0, nSize - nText);
    }
    return true;
}

bool CIndexFixedSizeItem::_bGenericStart() const
{
    return m_pclStatement != nullptr &&
           (m_pclStatement->pclGetUserSearch()->nGetFlags() & CNAUserSearch::US_GENERIC) != 0;
}

const unsigned char* CIndexFixedSizeItem::_pbyStartKey(const CAny* pclStart)
{
    const bool bGeneric = _bGenericStart();
    if (!_bComposite())
        return _bStartPart(m_pbyKey, m_pclColumn, m_pclColumn->bGetDescendantComponent(-1), pclStart, bGeneric)
                   ? m_pbyKey
                   : nullptr;
    // Split as the server's search splits it, each part then keyed as the
    // index keys it.
    const CNARefArray<CNAColumn>* ptab = m_pclColumn->pclGetTabComponent();
    const int nParts = ptab->nGetNbElement();
    std::unique_ptr<CAny[]> pValues(new (std::nothrow) CAny[static_cast<size_t>(nParts)]);
    if (pValues == nullptr) {
        _bNoMemory();
        return nullptr;
    }
    int nValues = 0;
    CNARecherche::s_nGetComponentValue(m_pclColumn, pclStart, bGeneric ? 1 : 0, pValues.get(), nParts, &nValues);
    std::memset(m_pbyKey, 0, m_nKeySize);
    unsigned int nPos = 0;
    for (int i = 0; i < nParts; i++) {
        const CNAColumn* pclPart = (*ptab)[i];
        const unsigned int nSize = nPartKeySize(pclPart);
        const int bDescending = m_pclColumn->bGetDescendantComponent(i + 1);
        if (i < nValues) {
            // The last part given is the prefix.
            if (!_bStartPart(m_pbyKey + nPos, pclPart, bDescending, &pValues[i], bGeneric && i == nValues - 1))
                return nullptr;
        } else if (!bGeneric) {
            // Parts an exact search leaves out are searched empty.
            CAny clEmpty;
            clEmpty.__SetType(pclPart->eGetTQType(), 0);
            _nConvertPart(m_pbyKey + nPos, pclPart, bDescending, &clEmpty);
        }
        // A generic search's parts left out take the smallest bytes: every
        // value of them follows.
        nPos += nSize;
    }
    return m_pbyKey;
}

const unsigned char* CIndexFixedSizeItem::_pbyConvertKey(const CAny* pValue)
{
    _nConvertPart(m_pbyKey, m_pclColumn, m_pclColumn->bGetDescendantComponent(-1), pValue);
    return m_pbyKey;
}

const unsigned char* CIndexFixedSizeItem::_pbyCompositeKey(const CNARecordValue* pclRecord)
{
    std::memset(m_pbyKey, 0, m_nKeySize);
    const CNARefArray<CNAColumn>* ptab = m_pclColumn->pclGetTabComponent();
    unsigned int nPos = 0;
    for (int i = 0; i < ptab->nGetNbElement(); i++) {
        CNAColumn* pclPart = (*ptab)[i];
        if (pclPart == nullptr)
            return nullptr;
        const unsigned int nSize = nPartKeySize(pclPart);
        CAny clValue;
        if (nSize > m_nKeySize - nPos ||
            !(pclRecord != nullptr ? pclRecord->bGetItemValue(&clValue, pclPart->piGetItem())
                                   : pclPart->bGetCurrentValue(&clValue, 0)))
            return nullptr;
        _nConvertPart(m_pbyKey + nPos, pclPart, m_pclColumn->bGetDescendantComponent(i + 1), &clValue);
        nPos += nSize;
    }
    return m_pbyKey;
}

const unsigned char* CIndexFixedSizeItem::_pbyRecordKey(const CNARecordValue* pclRecord)
{
    if (_bComposite())
        return _pbyCompositeKey(pclRecord);
    CAny clValue;
    if (!pclRecord->bGetItemValue(&clValue, m_pclColumn->piGetItem()))
        return nullptr;
    return _pbyConvertKey(&clValue);
}

const unsigned char* CIndexFixedSizeItem::_pbyRowKey(int nRow)
{
    CHeldValue clRow{_pclNewRecordValue()};
    if (clRow.p == nullptr || nRow < 0 || !m_pclRecordCache->bGetAt(clRow.p, static_cast<unsigned int>(nRow)))
        return nullptr;
    return _pbyRecordKey(clRow.p);
}

const unsigned char* CIndexFixedSizeItem::_pbyOriginalKey()
{
    const CNARecord* pclRecord = m_pclColumn->pclGetRecordNoRef();
    const CNARecordValue* pclOriginal = pclRecord != nullptr ? pclRecord->pclGetOriginalRecordValueNoRef() : nullptr;
    return pclOriginal != nullptr ? _pbyRecordKey(pclOriginal) : nullptr;
}

bool CIndexFixedSizeItem::bSameKey(const CAny* pValue1, const CAny* pValue2)
{
    if (m_pbyKey == nullptr)
        return false;
    // A composite key's value is no key of its parts: the record tells.
    const unsigned char* pbyFirst = _bComposite() ? _pbyOriginalKey() : _pbyConvertKey(pValue1);
    if (pbyFirst == nullptr)
        return false;
    std::memcpy(m_pbyKey + m_nKeySize, pbyFirst, m_nKeySize);
    const unsigned char* pbySecond = _bComposite() ? _pbyCompositeKey(nullptr) : _pbyConvertKey(pValue2);
    return pbySecond != nullptr && std::memcmp(m_pbyKey + m_nKeySize, pbySecond, m_nKeySize) == 0;
}

int CIndexFixedSizeItem::_nRowAtPosition() const
{
    const void* p = m_pclTree->pReadValue();
    if (p == nullptr)
        return -1;
    int nRow;
    std::memcpy(&nRow, p, sizeof(nRow));
    return nRow;
}

int CIndexFixedSizeItem::bInit()
{
    delete m_pclTree;
    m_pclTree = nullptr;
    XMALLOC_Del_(m_pbyKey);
    m_pbyKey = nullptr;
    m_nKeySize = 0;

    unsigned int nKeySize = 0;
    if (_bComposite()) {
        // Each part keyed in its own type; a part that takes no key leaves
        // the whole without one.
        const CNARefArray<CNAColumn>* ptab = m_pclColumn->pclGetTabComponent();
        for (int i = 0; i < ptab->nGetNbElement(); i++) {
            const unsigned int nPart = (*ptab)[i] != nullptr ? nPartKeySize((*ptab)[i]) : 0;
            if (nPart == 0) {
                nKeySize = 0;
                break;
            }
            nKeySize += nPart;
        }
    } else {
        nKeySize = nPartKeySize(m_pclColumn);
    }
    if (nKeySize == 0) {
        // The tree takes no empty key: this column cannot be indexed.
        const CNARecord* pclRecord = m_pclColumn->pclGetRecordNoRef();
        if (m_pclError != nullptr)
            m_pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, ERRFILE_TABLECACHE, 1,
                                       pclRecord != nullptr ? pclRecord->pclGetConnectionNoRef() : nullptr,
                                       pclRecord != nullptr ? pclRecord->pszGetTableName() : nullptr,
                                       m_pclColumn->pszGetName(), ZTERR_NOT_OFFERED);
        return 0;
    }
    m_pclTree = new (std::nothrow) CMemBTree;
    m_pbyKey = static_cast<unsigned char*>(XMALLOC_pNewZero_(nKeySize, 2));
    // A descending key is browsed as the server's mirror of the ascending
    // order, its rows of one value included.
    m_pfnCompareRow = m_pclColumn->bGetDescendantComponent(-1) ? nCompareRowsBackwards : CMemBTree::nCompareBytes;
    if (m_pclTree == nullptr || m_pbyKey == nullptr ||
        !m_pclTree->bInit(nKeySize, sizeof(int), CMemBTree::nCompareBytes, m_pfnCompareRow, 0)) {
        delete m_pclTree;
        m_pclTree = nullptr;
        return _bNoMemory();
    }
    m_nKeySize = nKeySize;

    CHeldValue clRow{_pclNewRecordValue()};
    if (clRow.p == nullptr)
        return 0;
    const int nCount = m_pclRecordCache->nGetCount();
    for (int nRow = 0; nRow < nCount; nRow++) {
        if (m_pclRecordCache->eGetRecordState(nRow) != NA_RECORDSTATE_NORMAL)
            continue;
        if (!m_pclRecordCache->bGetAt(clRow.p, static_cast<unsigned int>(nRow)))
            return 0;
        const unsigned char* pbyKey = _pbyRecordKey(clRow.p);
        if (pbyKey == nullptr)
            return 0;
        if (!m_pclTree->bInsert(pbyKey, &nRow))
            return _bNoMemory();
    }
    return 1;
}

bool CIndexFixedSizeItem::_bPairPresent(const unsigned char* pbyKey, int nRow)
{
    // The tree is not changed by lookups: its position's key can be read
    // in place to come back to it.
    const void* pSavedKey = m_pclTree->pReadKey();
    int nSavedRow = _nRowAtPosition();
    const bool bPresent = m_pclTree->bFindRecord(pbyKey, &nRow) != 0;
    if (pSavedKey != nullptr)
        m_pclTree->bFindRecord(pSavedKey, &nSavedRow);
    else
        m_pclTree->GotoEnd();
    return bPresent;
}

int CIndexFixedSizeItem::bInsertRecord(int nRow, CAny* pValue)
{
    if (m_pclTree == nullptr)
        return 0;
    // A composite key's new parts are in the row the cache took.
    const unsigned char* pbyKey = pValue != nullptr && !_bComposite() ? _pbyConvertKey(pValue) : _pbyRowKey(nRow);
    if (pbyKey == nullptr)
        return 0;
    if (m_pclTree->bInsert(pbyKey, &nRow))
        return 1;
    // Refused: the pair is there already, or there was no memory.
    if (!_bPairPresent(pbyKey, nRow))
        _bNoMemory();
    return 0;
}

int CIndexFixedSizeItem::bDeleteRecord(int nRow, CAny* pValue)
{
    if (m_pclTree == nullptr)
        return 0;
    // A composite key's old parts are the record's original ones.
    const unsigned char* pbyKey = nullptr;
    if (_bComposite())
        pbyKey = pValue != nullptr ? _pbyOriginalKey() : nullptr;
    else if (pValue != nullptr)
        pbyKey = _pbyConvertKey(pValue);
    if (pbyKey == nullptr)
        pbyKey = _pbyRowKey(nRow);
    if (pbyKey == nullptr)
        return 0;
    m_pclTree->bDelete(pbyKey, &nRow);
    return 1;
}

int CIndexFixedSizeItem::bGetRecordPosition(eNA_PARSEDIRECTION eDirection, int nCount, int* pnRow,
                                            unsigned int* pnDuplicate)
{
    *pnRow = -1;
    if (pnDuplicate != nullptr)
        *pnDuplicate = 0;
    if (m_pclTree == nullptr || m_pclTree->nGetNumRecord() == 0)
        return 1;
    const CAny* pclStart = _pclGetStartValue();
    const unsigned char* pbyStart = nullptr;
    if (pclStart != nullptr && (eDirection == NA_PARSE_FIRST || eDirection == NA_PARSE_LAST)) {
        pbyStart = _pbyStartKey(pclStart);
        if (pbyStart == nullptr)
            return 0; // never a place the search did not ask for
    }
    int nDone;
    int bMoved = 1;
    switch (eDirection) {
    case NA_PARSE_FIRST:
        if (pbyStart == nullptr)
            m_pclTree->GotoFirstRecord();
        else if (m_pclTree->pSearch(pbyStart, 0) == nullptr)
            return 1; // no entry at or after the start value
        bMoved = m_pclTree->bAdvance(nCount - 1, &nDone, 0);
        break;
    case NA_PARSE_LAST:
        if (pbyStart == nullptr)
            m_pclTree->MoveTo(m_pclTree->nGetNumRecord() - 1);
        else if (m_pclTree->pSearch(pbyStart, CMemBTree::eSearchLast) == nullptr)
            return 1; // no entry at or before the start value
        bMoved = m_pclTree->bAdvance(1 - nCount, &nDone, 0);
        break;
    case NA_PARSE_NEXT:
        bMoved = m_pclTree->bAdvance(nCount, &nDone, 0);
        break;
    case NA_PARSE_PREVIOUS:
        bMoved = m_pclTree->bAdvance(-nCount, &nDone, 0);
        break;
    default:
        break;
    }
    if (!bMoved)
        return 1;
    *pnRow = _nRowAtPosition();
    if (pnDuplicate != nullptr && *pnRow != -1 && m_pclTree->nNumDuplicates() >= 1)
        return _bCalculateDuplicateIndice(m_pclTree->nNumDuplicates(), pnRow, pnDuplicate);
    return 1;
}

int CIndexFixedSizeItem::_bCalculateDuplicateIndice(int nDuplicates, int* pnRow, unsigned int* pnDuplicate)
{
    *pnDuplicate = 0;
    CHeldValue clRow{_pclNewRecordValue()};
    if (clRow.p == nullptr || !m_pclRecordCache->bGetAt(clRow.p, static_cast<unsigned int>(*pnRow)))
        return 0;
    int nSteps = 0;
    int nDone;
    for (int i = 0; i < nDuplicates; i++) {
        if (!m_pclTree->bAdvance(-1, &nDone, 0))
            break;
        nSteps++;
        if (!m_pclRecordCache->bEquals(_nRowAtPosition(), clRow.p, 1))
            break;
        (*pnDuplicate)++;
    }
    if (nSteps > 0)
        m_pclTree->bAdvance(nSteps, &nDone, 0);
    return 1;
}

void CIndexFixedSizeItem::_SeekRowPlace(const unsigned char* pbyKey, int nRow)
{
    m_pclTree->pSearch(pbyKey, CMemBTree::eSearchExact);
    if (nRow < 0)
        return;
    // Entries of one key follow their row numbers' bytes, in the tree's order.
    int nDone;
    for (;;) {
        const void* pKey = m_pclTree->pReadKey();
        const void* pRow = m_pclTree->pReadValue();
        if (pKey == nullptr || pRow == nullptr || std::memcmp(pKey, pbyKey, m_nKeySize) != 0 ||
            m_pfnCompareRow(pRow, &nRow, sizeof(nRow)) >= 0)
            return;
        if (!m_pclTree->bAdvance(1, &nDone, 0)) {
            m_pclTree->GotoEnd();
            return;
        }
    }
}

int CIndexFixedSizeItem::nGetCurrentRecordId()
{
    return m_pclTree != nullptr ? _nRowAtPosition() : -1;
}

int CIndexFixedSizeItem::nGetRecordNbr()
{
    return m_pclTree != nullptr ? m_pclTree->nGetNumRecord() : 0;
}

int CIndexFixedSizeItem::nGetPreviousRecordNbr()
{
    if (m_pclTree == nullptr)
        return 0;
    // Refused as too long, the move leaves the position and tells how far
    // the first entry is.
    int nDone = 0;
    m_pclTree->bAdvance(-2147483647, &nDone, 0);
    return -nDone;
}

int CIndexFixedSizeItem::_nIdenticalRun(const CNARecordValue* pclRecord)
{
    int nRun = 1;
    int nSteps = 0;
    int nDone;
    while (m_pclTree->bAdvance(1, &nDone, 0)) {
        nSteps++;
        if (!m_pclRecordCache->bEquals(_nRowAtPosition(), pclRecord, 1))
            break;
        nRun++;
    }
    if (nSteps > 0)
        m_pclTree->bAdvance(-nSteps, &nDone, 0);
    return nRun;
}

int CIndexFixedSizeItem::bSetCurrentPos(int nPos, int nDuplicate, int* pbFound)
{
    int bFound = 0;
    if (pbFound == nullptr)
        pbFound = &bFound;
    CAny clValue;
    if (m_pclTree == nullptr)
        return 0;
    const unsigned char* pbyKey = nullptr;
    if (_bComposite())
        pbyKey = _pbyOriginalKey();
    else if (m_pclColumn->bGetOriginalValue(&clValue, 0))
        pbyKey = _pbyConvertKey(&clValue);
    if (pbyKey == nullptr)
        return 0;
    if (nPos != -1) {
        *pbFound = m_pclTree->bFindRecord(pbyKey, &nPos);
        return 1;
    }
    if (m_pclTree->pSearch(pbyKey, CMemBTree::eSearchExact) == nullptr) {
        *pbFound = 0;
        // Beyond every key: the end, never the position an earlier read left.
        if (m_pclTree->pSearch(pbyKey, 0) == nullptr)
            m_pclTree->GotoEnd();
        return 1;
    }
    *pbFound = 1;
    const int nDuplicates = m_pclTree->nNumDuplicates();
    const CNARecord* pclRecord = m_pclColumn->pclGetRecordNoRef();
    const CNARecordValue* pclOriginal = pclRecord != nullptr ? pclRecord->pclGetOriginalRecordValueNoRef() : nullptr;
    if (pclOriginal == nullptr)
        return 0;
    // A single entry of the key may be another record's: the record moved
    // or went, and a browse standing on it must not take its neighbour for it.
    int nDone;
    bool bMatch = m_pclRecordCache->bEquals(_nRowAtPosition(), pclOriginal, 1) != 0;
    for (int i = 0; i < nDuplicates - 1 && !bMatch; i++) {
        if (!m_pclTree->bAdvance(1, &nDone, 0))
            break;
        bMatch = m_pclRecordCache->bEquals(_nRowAtPosition(), pclOriginal, 1) != 0;
    }
    if (!bMatch) {
        // Where it stood among them: the row the browse read it from.
        int nRow = m_pclStatement != nullptr ? static_cast<int>(m_pclStatement->nGetCurrentRecord()) : -1;
        if (nRow < 0)
            nRow = m_pclRecordCache->nGetRecordIndice(pclOriginal);
        _SeekRowPlace(pbyKey, nRow);
        *pbFound = 0;
        return 1;
    }
    // Read backward, the statement counted the identical records after it.
    if (m_pclStatement != nullptr && m_pclStatement->bRepeatBackward())
        nDuplicate = static_cast<int>(CNADataAccess::s_llRankFromFirst(nDuplicate, 1, _nIdenticalRun(pclOriginal)));
    // The record's place among identical records.
    int nMoved = 0;
    for (int i = 0; i < nDuplicate; i++) {
        const bool bStep = m_pclTree->bAdvance(1, &nDone, 0) != 0;
        if (bStep)
            nMoved++;
        if (!bStep || !m_pclRecordCache->bEquals(_nRowAtPosition(), pclOriginal, 1)) {
            if (nMoved > 0)
                m_pclTree->bAdvance(-nMoved, &nDone, 0);
            *pbFound = 0;
            break;
        }
    }
    return 1;
}
