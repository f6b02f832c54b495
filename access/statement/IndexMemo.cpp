#include "access/statement/IndexMemo.h"

#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "common/values/Any.h"

#include <new>

CIndexMemo::CIndexMemo(CNAError* pclError, CNARecordCache* pclRecordCache, CNAColumn* pclColumn,
                       CNAStatement* pclStatement)
    : CIndexItem(pclError, pclRecordCache, pclColumn, pclStatement), m_bRemoved(0), m_tabRow(1), m_nCurrentPos(-1),
      m_nEmptyEnd(-1)
{
}

CIndexMemo::~CIndexMemo() {}

int CIndexMemo::bInit()
{
    const int nCount = m_pclRecordCache->nGetCount();
    for (int nRow = 0; nRow < nCount; nRow++) {
        if (m_pclRecordCache->eGetRecordState(nRow) != NA_RECORDSTATE_NORMAL)
            continue;
        if (!bInsertRecord(nRow, nullptr))
            return 0;
    }
    return 1;
}

int CIndexMemo::_bFind(int* pbFound, int* pnPos, const unsigned char* pKey, unsigned int nKeySize, int bInsertPoint,
                       int bLast) const
{
    *pbFound = 0;
    const int nCount = m_tabRow.nGetNbElement();
    int lo = 0;
    int hi = nCount - 1;
    int mid = -1;
    int n;
    while (lo <= hi) {
        mid = (lo + hi) / 2;
        if (!_bCompareValues(&n, m_tabRow[mid], pKey, nKeySize))
            return 0;
        if (n > 0)
            hi = mid - 1;
        else if (n < 0)
            lo = mid + 1;
        else
            break;
    }
    if (lo > hi) {
        *pnPos = bInsertPoint ? (lo < nCount ? lo : -1) : hi;
        return 1;
    }
    // Found at mid: the ends of the run of equal memos, which lies within
    // lo .. hi.
    *pbFound = 1;
    if (bInsertPoint && !bLast) {
        int h = mid;
        while (lo < h) {
            const int m = (lo + h) / 2;
            if (!_bCompareValues(&n, m_tabRow[m], pKey, nKeySize))
                return 0;
            if (n < 0)
                lo = m + 1;
            else
                h = m;
        }
        *pnPos = lo;
    } else {
        int l = mid;
        while (l < hi) {
            const int m = l + (hi - l + 1) / 2;
            if (!_bCompareValues(&n, m_tabRow[m], pKey, nKeySize))
                return 0;
            if (n > 0)
                hi = m - 1;
            else
                l = m;
        }
        *pnPos = l;
    }
    return 1;
}

int CIndexMemo::bInsertRecord(int nRow, CAny*)
{
    CAny clValue;
    unsigned char* pbyMemo;
    unsigned int nSize;
    if (!_bGetRecordValue(&clValue, nRow) || !_bGetDataAdr(&pbyMemo, &nSize, &clValue))
        return 0;
    const int nCount = m_tabRow.nGetNbElement();
    int nPos;
    // No bytes: an empty memo.
    if (nSize == 0) {
        nPos = m_nEmptyEnd + 1;
    } else if (nCount == 0) {
        nPos = nCount;
    } else {
        int bFound;
        if (!_bFind(&bFound, &nPos, pbyMemo, nSize, 1, 1))
            return 0;
        if (nPos == -1)
            nPos = nCount;
        else if (bFound)
            nPos++; // after the last equal memo
    }
    try {
        m_tabRow.Insere(&nRow, nPos);
    } catch (const std::bad_alloc&) {
        return _bNoMemory();
    }
    if (nSize == 0)
        m_nEmptyEnd++;
    if (m_nCurrentPos >= nPos)
        m_nCurrentPos++;
    return 1;
}

int CIndexMemo::bDeleteRecord(int nRow, CAny*)
{
    const int nCount = m_tabRow.nGetNbElement();
    int nPos = 0;
    while (nPos < nCount && m_tabRow[nPos] != nRow)
        nPos++;
    if (nPos == nCount)
        return 1;
    m_tabRow.Supprime(nPos, 1);
    // The run of empty memos stays in front, one shorter.
    if (nPos <= m_nEmptyEnd)
        m_nEmptyEnd--;
    if (m_nCurrentPos > nPos)
        m_nCurrentPos--;
    else if (m_nCurrentPos == nPos)
        m_bRemoved = 1;
    return 1;
}

int CIndexMemo::bGetRecordPosition(eNA_PARSEDIRECTION eDirection, int nCount, int* pnRow,
                                   unsigned int* pnDuplicate)
{
    *pnRow = -1;
    if (pnDuplicate != nullptr)
        *pnDuplicate = 0;
    const int nEntries = m_tabRow.nGetNbElement();
    if (nEntries == 0)
        return 1;
    const CAny* pclStart = _pclGetStartValue();
    unsigned char* pbyKey = nullptr;
    unsigned int nKeySize = 0;
    // Reading the start value's bytes does not change it.
    if (pclStart != nullptr && (eDirection == NA_PARSE_FIRST || eDirection == NA_PARSE_LAST) &&
        !_bGetDataAdr(&pbyKey, &nKeySize, const_cast<CAny*>(pclStart)))
        return 0;
    int bFound;
    int nFound;
    int nPos;
    switch (eDirection) {
    case NA_PARSE_FIRST:
        if (pclStart == nullptr) {
            nPos = nCount - 1;
            break;
        }
        // The first of a run of equal memos, as the fixed-size index.
        if (!_bFind(&bFound, &nFound, pbyKey, nKeySize, 1, 0))
            return 0;
        if (nFound == -1)
            return 1;
        nPos = nFound + nCount - 1;
        break;
    case NA_PARSE_LAST:
        if (pclStart == nullptr) {
            nPos = nEntries - nCount;
            break;
        }
        if (!_bFind(&bFound, &nFound, pbyKey, nKeySize, 0, 0))
            return 0;
        if (nFound == -1)
            return 1;
        nPos = nFound - (nCount - 1);
        break;
    case NA_PARSE_NEXT:
        nPos = m_nCurrentPos + nCount;
        break;
    case NA_PARSE_PREVIOUS:
        nPos = m_nCurrentPos - nCount;
        break;
    default:
        nPos = m_bRemoved ? -1 : m_nCurrentPos;
        break;
    }
    if (nPos < 0 || nPos >= nEntries)
        return 1;
    m_nCurrentPos = nPos;
    m_bRemoved = 0;
    *pnRow = m_tabRow[nPos];
    return 1;
}

int CIndexMemo::nGetCurrentRecordId()
{
    if (m_bRemoved || m_nCurrentPos < 0 || m_nCurrentPos >= m_tabRow.nGetNbElement())
        return -1;
    return m_tabRow[m_nCurrentPos];
}

int CIndexMemo::nGetRecordNbr()
{
    return m_tabRow.nGetNbElement();
}

int CIndexMemo::nGetPreviousRecordNbr()
{
    return m_nCurrentPos > 0 ? m_nCurrentPos : 0;
}

int CIndexMemo::bSetCurrentPos(int nPos, int, int* pbFound)
{
    int bFound = 0;
    if (pbFound == nullptr)
        pbFound = &bFound;
    const int nEntries = m_tabRow.nGetNbElement();
    if (nPos == -1) {
        CAny clValue;
        unsigned char* pbyKey;
        unsigned int nKeySize;
        int nFirst;
        int nLast;
        const CNARecord* pclRecord = m_pclColumn->pclGetRecordNoRef();
        const CNARecordValue* pclOriginal =
            pclRecord != nullptr ? pclRecord->pclGetOriginalRecordValueNoRef() : nullptr;
        if (pclOriginal == nullptr || !_bGetOriginalValue(&clValue) || !_bGetDataAdr(&pbyKey, &nKeySize, &clValue) ||
            !_bFind(pbFound, &nFirst, pbyKey, nKeySize, 1, 0) || !_bFind(pbFound, &nLast, pbyKey, nKeySize, 1, 1))
            return 0;
        if (nFirst == -1)
            nFirst = nEntries;
        // An equal memo may be another record's: the record itself is
        // looked for among them, the entry the browse stands on first (of
        // identical records, the one it read).
        if (*pbFound) {
            if (!m_bRemoved && m_nCurrentPos >= nFirst && m_nCurrentPos <= nLast &&
                m_pclRecordCache->bEquals(m_tabRow[m_nCurrentPos], pclOriginal, 1))
                return 1;
            for (int i = nFirst; i <= nLast; i++) {
                if (m_pclRecordCache->bEquals(m_tabRow[i], pclOriginal, 1)) {
                    m_nCurrentPos = i;
                    m_bRemoved = 0;
                    return 1;
                }
            }
            *pbFound = 0;
        } else {
            nLast = nFirst - 1;
        }
        // Gone: the entry that took its place, when the removal left the
        // position there (still marked, so that asking again answers the
        // same); else the first at or after its memo.
        if (!(m_bRemoved && m_nCurrentPos >= nFirst && m_nCurrentPos <= nLast + 1)) {
            m_nCurrentPos = nFirst;
            m_bRemoved = 0;
        }
        return 1;
    }
    if (nPos < 0 || nPos >= nEntries)
        return 0;
    m_nCurrentPos = nPos;
    m_bRemoved = 0;
    *pbFound = 1;
    return 1;
}
