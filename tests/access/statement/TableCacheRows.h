// Full table caches made in memory for the table-cache tests: a table with
// a column of each kind a browse reads (signed and unsigned integers, real,
// decimal, date, date-time, wide text, text and binary memos), rows of
// values picked from sorted lists (NULLs, duplicates, identical records,
// deleted rows) stored as a browse stores them, and the models an index is
// checked against: the key bytes of every row, converted as the index
// converts them, in a std::multimap whose keys end with the row's 4 bytes.
#pragma once

#include "access/driver/NAError.h"
#include "access/statement/IndexFixedSizeItem.h"
#include "access/statement/IndexMemo.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NATableCacheIndex.h"
#include "access/table/NADataAccess.h"
#include "common/values/Any.h"
#include "common/values/ConvertKey.h"
#include "tests/access/statement/MemBTreeChecker.h"
#include "tests/support/RecordValues.h"
#include "tests/support/TestTable.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

// The columns, in item order.
enum EColumn { C_I4, C_UI4, C_I8, C_UI8, C_R8, C_DEC, C_DATE, C_DATETIME, C_TEXT, C_MEMO, C_BLOB, C_COUNT };

struct SColumnKind {
    const wchar_t* pszName;
    eNA_ITEMTYPE eType;
    unsigned int nSize;
    int nIntegerPart;
    int nDecimalPart;
    // Whether the values' natural order is their order in the list.
    bool bNatural;
};

inline const SColumnKind& Kind(int k)
{
    static const SColumnKind s[C_COUNT] = {
        {L"I", NA_IT_I4, 4, 0, 0, true},          {L"U", NA_IT_UI4, 4, 0, 0, true},
        {L"L", NA_IT_I8, 8, 0, 0, true},          {L"UL", NA_IT_UI8, 8, 0, 0, true},
        {L"D", NA_IT_R8, 8, 0, 0, true},          {L"N", NA_IT_DECIMAL, 16, 8, 2, true},
        {L"DT", NA_IT_DATE8, 9, 0, 0, true},      {L"TS", NA_IT_DATETIME, 8, 0, 0, true},
        {L"V", NA_IT_UNICODE, 82, 0, 0, false},   {L"T", NA_IT_MEMOUNICODE, 8, 0, 0, false},
        {L"B", NA_IT_MEMOBINAIRE, 8, 0, 0, false},
    };
    return s[k];
}

// Values of each column in ascending order; rows take those strictly
// inside the list, start values any of them, so that the first and the
// last lie beyond every key.
inline int ValueCount(int k)
{
    static const int s[C_COUNT] = {12, 9, 8, 7, 12, 9, 8, 7, 16, 13, 9};
    return s[k];
}

inline std::wstring TextValue(int i)
{
    static const wchar_t* s[] = {L"",     L"A",        L"a",          L"ab",   L"abc",       L"B",
                                 L"e",    L"é",        L"éa",         L"z",    L"z😀",       L"Zoë €😀",
                                 L"€",    L"😀",       L"😀😀😀",     L"\U0010FFFF"};
    return s[i];
}

inline ByteVector BlobValue(int i)
{
    static const ByteVector s[] = {{}, {0}, {0, 0}, {0, 1}, {1}, {1, 2, 3}, {0x80}, {0xFF, 0}, {0xFF, 0xFF, 0xFF}};
    return s[i];
}

// Value i of column k.
inline void MakeValue(int k, int i, CAny& v)
{
    switch (k) {
    case C_I4: {
        static const int s[] = {INT_MIN, -100000, -1000, -7, -1, 0, 1, 7, 255, 256, 65536, INT_MAX};
        Set(v, TQTYPE_I4, s[i]);
        break;
    }
    case C_UI4: {
        static const unsigned int s[] = {0, 1, 7, 255, 256, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFF0u, 0xFFFFFFFFu};
        Set(v, TQTYPE_UI4, s[i]);
        break;
    }
    case C_I8: {
        static const long long s[] = {LLONG_MIN, -(1LL << 40), -1, 0, 1, 1LL << 32, 1LL << 40, LLONG_MAX};
        Set(v, TQTYPE_I8, s[i]);
        break;
    }
    case C_UI8: {
        static const unsigned long long s[] = {0, 1, 1ULL << 32, 1ULL << 63, (1ULL << 63) + 1, ~0ULL - 1, ~0ULL};
        Set(v, TQTYPE_UI8, s[i]);
        break;
    }
    case C_R8: {
        // -0 keys before 0, which the host finds equal to it.
        static const double s[] = {-1e300, -2.5, -1, -0.001, -0.0, 0, 1e-300, 0.001, 0.5, 1, 2.5, 1e300};
        Set(v, TQTYPE_R8, s[i]);
        break;
    }
    case C_DEC: {
        static const wchar_t* s[] = {L"-99999999.99", L"-999999.99", L"-12.34", L"-0.01", L"0",
                                     L"0.01",         L"12.34",      L"12.35",  L"99999999.99"};
        SetW(v, s[i]);
        v.__nCastTo(TQTYPE_DECIMAL, nullptr, 1);
        break;
    }
    case C_DATE: {
        static const char* s[] = {"00010101", "19000101", "19991231", "20000101",
                                  "20240229", "20240301", "21000101", "99991231"};
        v.__SetType(TQTYPE_DATEA, 0);
        v.pclGetTraitement()->SetValue(s[i], 8);
        break;
    }
    case C_DATETIME: {
        static const unsigned s[][4] = {{1, 1, 1, 0},         {1999, 12, 31, 86399999}, {2000, 1, 1, 0},
                                        {2000, 1, 1, 1},      {2024, 2, 29, 43200000},  {2024, 3, 1, 0},
                                        {9999, 12, 31, 86399999}};
        const Bytes b = DateTimeBytes(s[i][0], s[i][1], s[i][2], 0, 0, 0, s[i][3]);
        v.__SetType(TQTYPE_DATETIME, 0);
        v.pclGetTraitement()->SetValue(b.data());
        break;
    }
    case C_TEXT:
    case C_MEMO: {
        std::wstring s = TextValue(i);
        if (k == C_MEMO && i == 12)
            s = std::wstring(300, L'€'); // a long memo
        SetW(v, s.c_str());
        break;
    }
    default: {
        const ByteVector b = BlobValue(i);
        v.__SetType(TQTYPE_BIN, 0);
        v.pclGetTraitement()->SetValue(b.data(), static_cast<unsigned int>(b.size()));
        break;
    }
    }
}

// A table of every kind, its current record and a full cache.
class CTableCacheRows {
public:
    CTableCacheRows()
    {
        m_pError = new CNAError;
        m_pError->AddRef();
        m_pCnx = new CTestConnection(1252, 1252, CNAConnectionDescription::DS_MYSQL);
        m_pCnx->AddRef();
        m_pAccess = new CNADataAccess(nullptr, m_pCnx, m_pError);
        m_pAccess->AddRef();
        m_pTable.reset(new CTestTable(m_pError, m_pCnx));
        for (int k = 0; k < C_COUNT; k++) {
            const SColumnKind& c = Kind(k);
            EXPECT_EQ((*m_pTable)->bAddItem(c.pszName, L"", L"", 1, c.nSize, c.eType, -1, -1, 0, c.nIntegerPart,
                                            c.nDecimalPart),
                      1);
        }
        m_pRecord = m_pTable->NewRecord(m_pError, m_pCnx, m_pAccess);
        m_pCache = new CNARecordCache(CNARecordCache::CACHE_ENABLED | CNARecordCache::CACHE_FETCHCOMPLETE);
        m_pCache->AddRef();
    }
    ~CTableCacheRows()
    {
        EXPECT_EQ(m_pCache->nRelease(), 0u);
        if (m_pRecord != nullptr) {
            EXPECT_EQ(m_pRecord->nRelease(), 0u);
        }
        m_pTable.reset();
        EXPECT_EQ(m_pAccess->nRelease(), 0u);
        EXPECT_EQ(m_pCnx->nRelease(), 0u);
        EXPECT_EQ(m_pError->nRelease(), 0u);
    }
    CTableCacheRows(const CTableCacheRows&) = delete;
    CTableCacheRows& operator=(const CTableCacheRows&) = delete;

    CNAColumn* Column(int k) const { return m_pRecord->pclGetColumnNoRef(k); }
    CNARecordValue* Current() const { return m_pRecord->pclGetCurrentRecordValueNoRef(); }
    CNARecordValue* Original() const { return m_pRecord->pclGetOriginalRecordValueNoRef(); }

    // Column k of the current record takes value i, NULL for -1.
    void SetValue(int k, int i)
    {
        if (i < 0) {
            ASSERT_EQ(Column(k)->bSetValueNULL(), 1);
            return;
        }
        CAny v;
        MakeValue(k, i, v);
        ASSERT_EQ(Column(k)->bSetValue(&v, 0), 1) << "column " << k << " value " << i;
    }
    // A random value inside column k's list, NULL one time in ten.
    int Pick(std::mt19937& rng, int k) const
    {
        if (rng() % 10 == 0)
            return -1;
        return 1 + static_cast<int>(rng() % static_cast<unsigned int>(ValueCount(k) - 2));
    }
    // The current record stored as the next row; its number.
    int AddCurrent(unsigned int nState = 0)
    {
        CNARecordValue* pclRow = Current()->pclGetClone(CNARecordValue::COPY_ALL);
        EXPECT_NE(pclRow, nullptr);
        pclRow->AddRef();
        pclRow->SetState(nState);
        const int n = m_pCache->nAjoute(pclRow);
        pclRow->nRelease();
        EXPECT_EQ(n, m_pCache->nGetCount() - 1);
        return n;
    }
    // A row of random values (or a copy of an earlier row one time in
    // eight); deleted one time in twelve.
    int AddRandomRow(std::mt19937& rng)
    {
        const int nCount = m_pCache->nGetCount();
        if (nCount > 0 && rng() % 8 == 0) {
            const int r = static_cast<int>(rng() % static_cast<unsigned int>(nCount));
            LoadRow(r);
            m_picks.push_back(m_picks[static_cast<size_t>(r)]);
        } else {
            std::vector<int> picks(C_COUNT);
            for (int k = 0; k < C_COUNT; k++) {
                picks[static_cast<size_t>(k)] = Pick(rng, k);
                SetValue(k, picks[static_cast<size_t>(k)]);
            }
            m_picks.push_back(picks);
        }
        return AddCurrent(rng() % 12 == 0 ? static_cast<unsigned int>(NA_RECORDSTATE_DELETED) : 0u);
    }
    // Row r into the original record and the current record, as a read
    // leaves them.
    void LoadRow(int r)
    {
        ASSERT_EQ(m_pCache->bGetAt(Original(), static_cast<unsigned int>(r)), 1);
        ASSERT_TRUE(m_pRecord->bCopyOriginalRecordToCurrentRecord());
    }

    // The stored value of column k in row r.
    void RowValue(int k, int r, CAny& v) const
    {
        CNARecordValue* pcl = new CNARecordValue(m_pError);
        pcl->AddRef();
        ASSERT_EQ(m_pCache->bGetAt(pcl, static_cast<unsigned int>(r)), 1);
        if (Column(k)->bIsMemo())
            pcl->bGetMemoValue(&v, k - C_MEMO);
        else
            pcl->bGetItemValue(&v, Column(k)->piGetItem());
        pcl->nRelease();
    }
    // The key bytes of a value of column k: fixed-size columns through the
    // key conversion, memos their bytes (none for NULL).
    std::string KeyOfValue(int k, CAny& v) const
    {
        CNAColumn* pCol = Column(k);
        if (pCol->bIsMemo()) {
            if (v.bIsNull())
                return std::string();
            unsigned int n = 0;
            void* p = nullptr;
            v.pclGetTraitement()->nGetDataSize(&n);
            v.pclGetTraitement()->nGetDataAdr(&p);
            return p != nullptr ? std::string(static_cast<const char*>(p), n) : std::string();
        }
        const unsigned short nType = pCol->eGetTQType();
        const unsigned int nSize =
            CKXConvertKey::nCalculateKeySize(nType, static_cast<unsigned int>(pCol->nGetLogicalSize()));
        std::string s(nSize, '\0');
        CConvertKey::nConvertKeyAndGetSize(&v, reinterpret_cast<unsigned char*>(&s[0]), nSize, nType, 0x2800,
                                           pCol->nGetIntegerPart(), pCol->nGetDecimalPart());
        return s;
    }
    std::string KeyOfRow(int k, int r) const
    {
        CAny v;
        RowValue(k, r, v);
        return KeyOfValue(k, v);
    }
    std::string KeyOfPick(int k, int i) const
    {
        CAny v;
        MakeValue(k, i, v);
        return KeyOfValue(k, v);
    }

    // A new index of column k over the full cache, initialised, held by one
    // reference.
    std::unique_ptr<CNATableCacheIndex, void (*)(CNATableCacheIndex*)> NewIndex(int k)
    {
        CNATableCacheIndex* p = new (std::nothrow) CNATableCacheIndex(m_pError, nullptr, m_pCache, Column(k));
        EXPECT_NE(p, nullptr);
        p->m_nRefCount++;
        EXPECT_EQ(p->bInit(), 1) << "column " << k;
        return {p, [](CNATableCacheIndex* q) { EXPECT_EQ(q->dwRelease(), 0u); }};
    }

    CDriverScope m_clDriver;
    CNAError* m_pError;
    CNAConnectionDescription* m_pCnx;
    CNADataAccess* m_pAccess;
    std::unique_ptr<CTestTable> m_pTable;
    CNARecord* m_pRecord;
    CNARecordCache* m_pCache;
    // The value picked for each column of each row added at random (-1 NULL).
    std::vector<std::vector<int>> m_picks;
};

typedef std::unique_ptr<CNATableCacheIndex, void (*)(CNATableCacheIndex*)> IndexPtr;

// Random start values for a run, or the one given in ZT_TABLECACHE_REPLAY,
// each printed so that a failure can be replayed.
inline std::vector<unsigned int> ReplayNumbers(int n)
{
    std::vector<unsigned int> v;
    if (const char* psz = std::getenv("ZT_TABLECACHE_REPLAY")) {
        v.push_back(static_cast<unsigned int>(std::strtoul(psz, nullptr, 10)));
        return v;
    }
    std::random_device rd;
    for (int i = 0; i < n; i++)
        v.push_back(rd());
    return v;
}

// Entries of a fixed-size index: key bytes then the row's 4 bytes.
typedef std::multimap<std::string, int> FixedModel;

inline std::string RowBytes(int r)
{
    std::string s(4, '\0');
    std::memcpy(&s[0], &r, 4);
    return s;
}

// The active rows of column k, as its fixed-size index must order them.
inline FixedModel BuildFixedModel(const CTableCacheRows& t, int k)
{
    FixedModel m;
    for (int r = 0; r < t.m_pCache->nGetCount(); r++)
        if (t.m_pCache->eGetRecordState(r) == 0)
            m.emplace(t.KeyOfRow(k, r) + RowBytes(r), r);
    return m;
}

// The active rows of memo column k in index order: by memo bytes, equal
// memos in the order they came.
inline std::vector<int> BuildMemoModel(const CTableCacheRows& t, int k)
{
    std::vector<int> v;
    for (int r = 0; r < t.m_pCache->nGetCount(); r++)
        if (t.m_pCache->eGetRecordState(r) == 0)
            v.push_back(r);
    std::stable_sort(v.begin(), v.end(), [&](int a, int b) { return t.KeyOfRow(k, a) < t.KeyOfRow(k, b); });
    return v;
}

// The index walked to the end from the first, then back from the last.
inline std::vector<int> Walk(CNATableCacheIndex* p, bool bForward)
{
    std::vector<int> v;
    int nRow;
    p->SetStartValue(nullptr);
    p->bGetRecordPosition(bForward ? NA_PARSE_FIRST : NA_PARSE_LAST, 1, &nRow, nullptr);
    while (nRow != -1) {
        v.push_back(nRow);
        EXPECT_EQ(p->nGetCurrentRecordId(), nRow);
        p->bGetRecordPosition(bForward ? NA_PARSE_NEXT : NA_PARSE_PREVIOUS, 1, &nRow, nullptr);
        if (v.size() > 100000)
            break;
    }
    return v;
}

inline std::vector<int> Rows(const FixedModel& m)
{
    std::vector<int> v;
    for (const auto& e : m)
        v.push_back(e.second);
    return v;
}

// The tree of a fixed-size index.
inline CMemBTree* Tree(CNATableCacheIndex* p)
{
    auto* pItem = dynamic_cast<CIndexFixedSizeItem*>(p->pclGetIndexItemNoRef());
    return pItem != nullptr ? pItem->pclGetTreeNoRef() : nullptr;
}
