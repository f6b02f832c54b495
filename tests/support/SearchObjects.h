// What the tests of search expressions, key searches and filters share: a
// driver whose cells and parameters are counted, expressions and searches
// that count themselves, a connection of the MySQL kind whose NULL order
// the test picks, and host values of every kind.
#pragma once

#include "access/driver/NaDriver.h"
#include "access/sql/NAExpression.h"
#include "access/sql/NAFilter.h"
#include "access/sql/NARecherche.h"
#include "tests/support/ClosedConnection.h"
#include "tests/support/TestTable.h"
#include "tests/support/ValueCells.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

// Objects alive of each counted kind.
struct SLive {
    int nCells = 0;
    int nParameters = 0;
    int nExpressions = 0;
    int nSearches = 0;
    // Nodes made before their factory refuses them; -1: no end.
    int nNodesLeft = -1;
    bool operator==(const SLive& o) const
    {
        return nCells == o.nCells && nParameters == o.nParameters && nExpressions == o.nExpressions &&
               nSearches == o.nSearches;
    }
};

inline SLive& Live()
{
    static SLive s;
    return s;
}

class CCountedCell : public CNAConvertVariant {
public:
    CCountedCell(CNAError* pError, CNAConnectionDescription* pCnx) : CNAConvertVariant(pError, pCnx) { Live().nCells++; }
    ~CCountedCell() override { Live().nCells--; }
};

class CCountedParameter : public CNAParameter {
public:
    CCountedParameter(CNAConvertVariant* pCell, unsigned int nPosition, unsigned int nFlags, const wchar_t* pszName)
        : CNAParameter(pCell, nPosition, nFlags, pszName)
    {
        Live().nParameters++;
    }
    ~CCountedParameter() override { Live().nParameters--; }
};

// The driver of the scope: its cells and parameters are counted.
class CCountingDriver : public CNADriver {
public:
    CCountingDriver()
    {
        BindValueMachine();
        m_pclFormer = CNADriver::s_pclDriver;
        CNADriver::s_pclDriver = this;
    }
    ~CCountingDriver() override { CNADriver::s_pclDriver = m_pclFormer; }
    CCountingDriver(const CCountingDriver&) = delete;
    CCountingDriver& operator=(const CCountingDriver&) = delete;
    CNAConvertVariant* pclAllocVariant(CNAError* pError, CNAConnectionDescription* pCnx) override
    {
        if (m_nCellsLeft == 0)
            return nullptr;
        if (m_nCellsLeft > 0)
            m_nCellsLeft--;
        return new CCountedCell(pError, pCnx);
    }
    // Cells made before the factory refuses them; -1: no end.
    int m_nCellsLeft = -1;
    CNAParameter* pclAllocParameter(CNAConvertVariant* pCell, unsigned int a, unsigned int b,
                                    const wchar_t* pszName) override
    {
        return new CCountedParameter(pCell, a, b, pszName);
    }

private:
    CNADriver* m_pclFormer;
};

class CCountedExpression : public CNAExpression {
public:
    explicit CCountedExpression(CNAError* pError) : CNAExpression(pError) { Live().nExpressions++; }
    ~CCountedExpression() override { Live().nExpressions--; }
    CNAExpression* pclAllocExpression() override { return s_pclNew(m_pclError); }
    using CNAExpression::pclAllocExpression;
    static CNAExpression* s_pclNew(CNAError* pError)
    {
        if (Live().nNodesLeft == 0)
            return nullptr;
        if (Live().nNodesLeft > 0)
            Live().nNodesLeft--;
        return new CCountedExpression(pError);
    }
};

template <class TBase>
class CCountedSearchOf : public TBase {
public:
    CCountedSearchOf(CNAError* pError, CNAConnectionDescription* pCnx) : TBase(pError, pCnx) { Live().nSearches++; }
    CCountedSearchOf() : TBase() { Live().nSearches++; }
    ~CCountedSearchOf() override { Live().nSearches--; }
    CNAExpression* pclAllocExpression() override { return CCountedExpression::s_pclNew(this->m_pclError); }
    CNARecherche* _pclAllocRecherche() override { return new CCountedSearchOf<TBase>(); }
};
typedef CCountedSearchOf<CNARecherche> CCountedSearch;
typedef CCountedSearchOf<CNAFilter> CCountedFilter;

typedef CMySQLKindConnection CSearchConnection;

// ---- Host values -------------------------------------------------------------------

template <class T>
void SetAs(CAny& v, unsigned short nType, T x)
{
    v.__SetType(nType, 0);
    v.pclGetTraitement()->SetValue(&x);
    v.SetFlags(0);
}

inline void SetNull(CAny& v, unsigned short nType)
{
    v.__SetType(nType, 0);
    v.SetNullFlag(true);
}

// 8-bit text (type 19), or a fixed date or time text (128, 129).
inline void SetText8(CAny& v, const std::string& s, unsigned short nType = TQTYPE_DSTRA)
{
    v.__SetType(nType, 0);
    v.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned int>(s.size()));
    v.SetFlags(0);
}

inline void SetTextW(CAny& v, const std::wstring& s, unsigned short nType = TQTYPE_DSTRW)
{
    v.__SetType(nType, 0);
    v.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned int>(s.size() * sizeof(wchar_t)));
    v.SetFlags(0);
}

// ---- Descriptions and records --------------------------------------------------------

// A composite key whose second component is sorted descending.
class CDescendingSecond : public CNAItemDescription {
public:
    int bGetDescendant(int nIndex) const override { return nIndex == 2; }
};

// A unique composite key over (a, b), b sorted descending.
inline void AddDescendingKey(CTestTable& t, const wchar_t* pszName, const wchar_t* pszA, const wchar_t* pszB,
                             bool bNullable)
{
    CNAItemDescription* p = new CDescendingSecond;
    p->bInit(pszName, t->pszGetDBTableName(), L"", 1, 0, NA_IT_BINAIRE, -1, static_cast<int>(t->nGetNumKeys()),
             CTestTable::UNIQUE | CTestTable::COMPOSITE, 0, 0);
    p->SetNullable(bNullable ? 1 : 0);
    t->_AddItem(p);
    EXPECT_EQ(t->_bAddItemComponent(p, pszA), 1);
    EXPECT_EQ(t->_bAddItemComponent(p, pszB), 1);
}

// A current record over a table the fixture describes, on a connection of
// the MySQL kind; when the test ends every counted object is gone.
class SearchRecordTest : public ::testing::Test {
protected:
    virtual void Describe(CTestTable& t) = 0;
    void SetUp() override
    {
        m_pError = new CNAError;
        m_pError->AddRef();
        m_pCnx = new CSearchConnection(1);
        m_pCnx->AddRef();
        m_pTable.reset(new CTestTable(m_pError, m_pCnx));
        Describe(*m_pTable);
        m_pRecord = m_pTable->NewRecord(m_pError, m_pCnx);
        ASSERT_NE(m_pRecord, nullptr);
    }
    void TearDown() override
    {
        if (m_pRecord != nullptr)
            m_pRecord->nRelease();
        m_pTable.reset();
        // Nothing else holds the connection or the error object.
        EXPECT_EQ(m_pCnx->nRelease(), 0u);
        EXPECT_EQ(m_pError->nRelease(), 0u);
        EXPECT_TRUE(Live() == SLive()) << Live().nCells << " cells, " << Live().nParameters << " parameters, "
                                       << Live().nExpressions << " nodes, " << Live().nSearches << " searches";
    }
    CNAColumn* Col(const wchar_t* pszName) { return m_pRecord->pclGetColumnNoRef(pszName); }
    INAItemDescription* Item(const wchar_t* pszName) { return (*m_pTable)->pclNAGetItemNoRef(pszName, 0); }
    // Host values kept as long as the test.
    CAny* Val()
    {
        m_tabValue.emplace_back();
        return &m_tabValue.back();
    }
    CAny* I4(int n, unsigned short nType = TQTYPE_I4)
    {
        CAny* p = Val();
        SetAs<int>(*p, nType, n);
        return p;
    }
    CAny* Nul(unsigned short nType = TQTYPE_I4)
    {
        CAny* p = Val();
        SetNull(*p, nType);
        return p;
    }
    CAny* A8(const std::string& s, unsigned short nType = TQTYPE_DSTRA)
    {
        CAny* p = Val();
        SetText8(*p, s, nType);
        return p;
    }
    CAny* Wide(const std::wstring& s, unsigned short nType = TQTYPE_DSTRW)
    {
        CAny* p = Val();
        SetTextW(*p, s, nType);
        return p;
    }
    CAny* Bin(const std::vector<unsigned char>& aby)
    {
        CAny* p = Val();
        p->__SetType(TQTYPE_BIN, 0);
        p->pclGetTraitement()->SetValue(aby.data(), static_cast<unsigned int>(aby.size()));
        return p;
    }
    void Set(const wchar_t* pszColumn, const CAny* p) { ASSERT_EQ(Col(pszColumn)->bSetValue(p, 0), 1); }

    std::deque<CAny> m_tabValue;
    CCountingDriver m_clDriver;
    CNAError* m_pError = nullptr;
    CSearchConnection* m_pCnx = nullptr;
    std::unique_ptr<CTestTable> m_pTable;
    CNARecord* m_pRecord = nullptr;
};
