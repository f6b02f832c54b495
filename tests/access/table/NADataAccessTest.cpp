// The data access's record identities, record saves and the record-cache
// notifications of a write.
#include "access/table/NADataAccess.h"

#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NARecordId.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NAStatement.h"
#include "tests/support/RecordValues.h"
#include "tests/support/TestTable.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class CTestAccess : public CNADataAccess {
public:
    CTestAccess(INADataSourceDescription* piDescription, CNAConnectionDescription* pCnx, CNAError* pError, int nKind)
        : CNADataAccess(piDescription, pCnx, pError), m_nKind(nKind)
    {
        AddRef();
    }
    int eEvaluateRecordIdType() override { return m_nKind; }
    int m_nKind;
};

// A statement whose original record and record save the test sets.
class CTestStatement : public CNAStatement {
public:
    explicit CTestStatement(CNAError* pError) : CNAStatement(pError, nullptr) {}
    void SetOriginal(CNARecordValue* p)
    {
        if (p != nullptr)
            p->AddRef();
        if (m_pclStmtOriginalRecord != nullptr)
            m_pclStmtOriginalRecord->nRelease();
        m_pclStmtOriginalRecord = p;
    }
    void SetSave(int n) { m_nRecordSaveID = n; }
};

// The driver's row-id cells, counted.
class CRowIdDriver : public CNADriver {
public:
    int m_nCells = 0;
    bool m_bGive = true;
    CNAConvertVariant* pclAllocVariantRowID(CNAError* pError, CNAConnectionDescription* pCnx) override
    {
        if (!m_bGive)
            return nullptr;
        m_nCells++;
        return pclAllocVariant(pError, pCnx);
    }
};

class NADataAccess : public ::testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        m_pFormerDriver = CNADriver::s_pclDriver;
        CNADriver::s_pclDriver = &m_clDriver;
        m_pError = new CNAError;
        m_pError->AddRef();
        m_pCnx = new CTestConnection(1252, 1252, CNAConnectionDescription::DS_MYSQL);
        m_pCnx->AddRef();
        m_pTable.reset(new CTestTable(m_pError, m_pCnx));
        m_piA = m_pTable->Add(L"A", NA_IT_I4, 4);
        m_pTable->Add(L"B", NA_IT_TEXTE, 10);
        (*m_pTable)->UpdateRecordSize();
        m_pAccess = new CTestAccess(m_pTable->Get(), m_pCnx, m_pError, CNARecordId::RECORDID_RECORDVALUES);
    }
    void TearDown() override
    {
        EXPECT_EQ(m_pAccess->nRelease(), 0u);
        // The description's external reference came back.
        EXPECT_EQ((*m_pTable)->nGetExternalRef(), 0u);
        m_pTable.reset();
        EXPECT_EQ(m_pCnx->nRelease(), 0u);
        EXPECT_EQ(m_pError->nRelease(), 0u);
        CNADriver::s_pclDriver = m_pFormerDriver;
    }
    // The data access's current record, as an open makes it.
    CNARecord* Open()
    {
        CNARecord* p = m_pAccess->_pclAllocRecord(m_pError);
        p->AddRef();
        EXPECT_EQ(p->bInitRecord(m_pTable->Get(), nullptr, m_pCnx), 1);
        m_pAccess->_SetCurrentRecord(p);
        EXPECT_EQ(p->nRelease(), 1u);
        return p;
    }
    static void SetA(CNARecord* p, int n)
    {
        CAny v(TQTYPE_I4);
        v.pclGetTraitement()->SetValue(&n);
        ASSERT_EQ(p->pclGetColumnNoRef(0)->bSetValue(&v, 0), 1);
    }
    int GetA(const CNARecordValue* pValue) const
    {
        int n = -1;
        pValue->pclGetNAKXRecord()->GetItemValue(&n, m_piA, 0);
        return n;
    }
    int Refs(int nId) const { return m_pAccess->pclGetRecordSaveCacheNoRef()->nGetRecordSaveRef(nId); }

    CRowIdDriver m_clDriver;
    CNADriver* m_pFormerDriver = nullptr;
    CNAError* m_pError = nullptr;
    CTestConnection* m_pCnx = nullptr;
    std::unique_ptr<CTestTable> m_pTable;
    CTestAccess* m_pAccess = nullptr;
    const INAItemDescription* m_piA = nullptr;
};

} // namespace

TEST_F(NADataAccess, IdentityOfTheKindItNames)
{
    CNARecordValue value(m_pError);
    const struct {
        int nKind;
        bool bGive;
        int nMade; // 0 none, else the kind made
    } cases[] = {{1, true, 1}, {3, true, 3}, {3, false, 0}, {0, true, 0}, {2, true, 0}, {4, true, 0}};
    for (const auto& c : cases) {
        m_pAccess->m_nKind = c.nKind;
        m_clDriver.m_bGive = c.bGive;
        const int nCells = m_clDriver.m_nCells;
        CNARecordId* pId = m_pAccess->pclAllocRecordID(&value);
        EXPECT_EQ(pId != nullptr ? pId->eGetRecordIdType() : 0, c.nMade) << c.nKind << c.bGive;
        // A row id holds the driver's cell, the only one asked for.
        EXPECT_EQ(m_clDriver.m_nCells - nCells, c.nKind == 3 && c.bGive ? 1 : 0) << c.nKind;
        if (pId != nullptr && c.nMade == 3) {
            EXPECT_EQ(static_cast<CNARecordId_RowId*>(pId)->pclGetValueNoRef()->nGetRef(), 1u);
        }
        if (pId != nullptr) {
            pId->m_nRefCount++;
            pId->dwRelease();
        }
    }
    // Two record-save caches from the start, fifty entries a block.
    ASSERT_NE(m_pAccess->pclGetRecordSaveCacheNoRef(), nullptr);
    EXPECT_EQ(m_pAccess->pclGetRecordSaveCacheNoRef()->GetImageTable().nGetEntriesPerBlock(), 50u);
    EXPECT_EQ(m_pAccess->nGetOwnRecordSave(), -1);
}

TEST_F(NADataAccess, CurrentRecordHeldOnce)
{
    EXPECT_EQ(m_pAccess->pclGetCurrentRecord(), nullptr);
    CNARecord* p = Open();
    EXPECT_EQ(p->nGetRef(), 1u);
    m_pAccess->_SetCurrentRecord(p);
    EXPECT_EQ(p->nGetRef(), 1u);
    CNARecord* pGot = m_pAccess->pclGetCurrentRecord();
    EXPECT_EQ(pGot, p);
    EXPECT_EQ(p->nGetRef(), 2u);
    pGot->nRelease();
    // Its values carry the identity the data access chose.
    EXPECT_EQ(p->pclGetCurrentRecordValueNoRef()->pclGetRecordIdNoRef()->eGetRecordIdType(), 1);
    EXPECT_STREQ(p->pszGetTableName(), L"T");
    EXPECT_EQ((*m_pTable)->nGetExternalRef(), 1u); // the data access's
    p->AddRef();
    m_pAccess->_SetCurrentRecord(nullptr);
    EXPECT_EQ(p->nRelease(), 0u);
}

TEST_F(NADataAccess, RecordSavesCountedPerHolder)
{
    EXPECT_EQ(m_pAccess->nKeepCurrentRecordSave(), -1);
    EXPECT_EQ(m_pAccess->nKeepOriginalRecordSave(nullptr), -1);
    EXPECT_EQ(m_pAccess->bRestoreOriginalRecordSave(0), 0);
    EXPECT_EQ(m_pAccess->bCopyOriginalRecordToCurrentRecord(), 0);
    CNARecord* p = Open();
    SetA(p, 1);
    const int nFirst = m_pAccess->nKeepCurrentRecordSave();
    ASSERT_EQ(nFirst, 0);
    // No reference until a holder takes one; the same values, the same save.
    EXPECT_EQ(Refs(nFirst), 0);
    m_pAccess->AddRefRecordSave(nFirst);
    m_pAccess->AddRefRecordSave(nFirst);
    EXPECT_EQ(m_pAccess->nKeepCurrentRecordSave(), nFirst);
    EXPECT_EQ(Refs(nFirst), 2);
    SetA(p, 2);
    const int nSecond = m_pAccess->nKeepCurrentRecordSave();
    ASSERT_EQ(nSecond, 1);
    m_pAccess->AddRefRecordSave(nSecond);
    // A slot is reused only once nobody holds it.
    EXPECT_EQ(m_pAccess->nReleaseRecordSave(nFirst), 1);
    SetA(p, 3);
    const int nThird = m_pAccess->nKeepCurrentRecordSave();
    EXPECT_EQ(nThird, 2);
    m_pAccess->AddRefRecordSave(nThird);
    EXPECT_EQ(m_pAccess->nReleaseRecordSave(nFirst), 0);
    EXPECT_EQ(m_pAccess->nReleaseRecordSave(nFirst), 0);
    SetA(p, 4);
    EXPECT_EQ(m_pAccess->nKeepCurrentRecordSave(), nFirst);
    m_pAccess->AddRefRecordSave(nFirst);
    // Restored into the original values, then into the current ones.
    ASSERT_EQ(m_pAccess->bRestoreOriginalRecordSave(nSecond), 1);
    EXPECT_EQ(GetA(p->pclGetOriginalRecordValueNoRef()), 2);
    p->SetDeleted();
    ASSERT_EQ(m_pAccess->bCopyOriginalRecordToCurrentRecord(), 1);
    EXPECT_EQ(p->pclGetCurrentRecordValueNoRef()->nGetState(), 0u);
    EXPECT_EQ(GetA(p->pclGetCurrentRecordValueNoRef()), 2);
    CNARecordValue copy(m_pError);
    ASSERT_EQ(m_pAccess->bCopySaveToRecord(nThird, &copy), 1);
    EXPECT_EQ(GetA(&copy), 3);
    EXPECT_EQ(m_pAccess->bCopySaveToRecord(-1, &copy), 0);
    EXPECT_EQ(m_pAccess->bCopySaveToRecord(nThird, nullptr), 0);
    EXPECT_EQ(m_pAccess->bRestoreOriginalRecordSave(99), 0);
    // The original values of no statement, then of a statement.
    SetA(p, 5);
    p->bCopyCurrentRecordToOriginalRecord();
    const int nOriginal = m_pAccess->nKeepOriginalRecordSave(nullptr);
    EXPECT_EQ(nOriginal, 3);
    CTestStatement* pStatement = new CTestStatement(m_pError);
    pStatement->AddRef();
    EXPECT_EQ(m_pAccess->nKeepOriginalRecordSave(pStatement), -1);
    CNARecordValue* pEmpty = new CNARecordValue(m_pError);
    pStatement->SetOriginal(pEmpty);
    EXPECT_EQ(m_pAccess->nKeepOriginalRecordSave(pStatement), -1); // no buffer
    CNARecordValue* pRow = p->pclGetCurrentRecordValueNoRef()->pclGetClone(CNARecordValue::COPY_ALL);
    pStatement->SetOriginal(pRow);
    SetA(p, 6);
    EXPECT_EQ(m_pAccess->nKeepOriginalRecordSave(pStatement), nOriginal); // the same row
    pStatement->SetSave(nSecond);
    ASSERT_EQ(m_pAccess->bRestoreOriginalRecordSave(pStatement), 1);
    EXPECT_EQ(GetA(p->pclGetOriginalRecordValueNoRef()), 2);
    EXPECT_EQ(m_pAccess->bRestoreOriginalRecordSave(static_cast<CNAStatement*>(nullptr)), 0);
    pStatement->nRelease();
    // A delete seen by the saves: the row of the original values.
    EXPECT_EQ(m_pAccess->bRecordDeleted(nSecond), 0);
    EXPECT_EQ(m_pAccess->nSetRecordDeletedInCache(m_pAccess->pclGetRecordSaveCacheNoRef()), nSecond);
    EXPECT_EQ(m_pAccess->bRecordDeleted(nSecond), 1);
    EXPECT_EQ(m_pAccess->bRecordDeleted(nThird), 0);
    EXPECT_EQ(m_pAccess->nSetRecordDeletedInCache(nullptr), -1);
    // After the caches are freed the saves answer nothing.
    m_pAccess->_FreeSavedRecordCache();
    EXPECT_EQ(m_pAccess->pclGetRecordSaveCacheNoRef(), nullptr);
    EXPECT_EQ(m_pAccess->nKeepCurrentRecordSave(), -1);
    EXPECT_EQ(m_pAccess->nKeepOriginalRecordSave(nullptr), -1);
    m_pAccess->AddRefRecordSave(nSecond);
    EXPECT_EQ(m_pAccess->nReleaseRecordSave(nSecond), 0);
    EXPECT_EQ(m_pAccess->bRecordDeleted(nSecond), 0);
    EXPECT_EQ(m_pAccess->bRestoreOriginalRecordSave(nThird), 0);
    EXPECT_EQ(m_pAccess->nGetOwnRecordSave(), -1);
}

TEST_F(NADataAccess, AnUpdateReachesTheRowOfTheOriginalValues)
{
    CNARecordCache cache(CNARecordCache::CACHE_ENABLED);
    EXPECT_EQ(m_pAccess->nUpdateRecordInCache(0, &cache), -1); // no current record
    CNARecord* p = Open();
    SetA(p, 1);
    ASSERT_EQ(cache.nAjoute(p->pclGetCurrentRecordValueNoRef()), 0);
    SetA(p, 2);
    ASSERT_EQ(cache.nAjoute(p->pclGetCurrentRecordValueNoRef()), 1);
    p->bCopyCurrentRecordToOriginalRecord();
    SetA(p, 7);
    EXPECT_EQ(m_pAccess->nUpdateRecordInCache(0, &cache), 1);
    CNARecordValue row(m_pError);
    ASSERT_EQ(cache.bGetAt(&row, 1u), 1);
    EXPECT_EQ(GetA(&row), 7);
    ASSERT_EQ(cache.bGetAt(&row, 0u), 1);
    EXPECT_EQ(GetA(&row), 1);
    // The original values no longer name a cached row.
    EXPECT_EQ(m_pAccess->nUpdateRecordInCache(0, &cache), -1);
    EXPECT_EQ(m_pAccess->nUpdateRecordInCache(0, nullptr), -1);
    // The deleted mark follows the original identity.
    p->bCopyCurrentRecordToOriginalRecord();
    EXPECT_EQ(m_pAccess->nSetRecordDeletedInCache(&cache), 1);
    EXPECT_EQ(cache.eGetRecordState(1), NA_RECORDSTATE_DELETED);
    EXPECT_EQ(cache.eGetRecordState(0), NA_RECORDSTATE_NORMAL);
}

TEST_F(NADataAccess, DestroyedWithSavesStillHeld)
{
    // The data access lets its record and its saves go, held or not.
    CNARecord* p = Open();
    SetA(p, 1);
    m_pAccess->AddRefRecordSave(m_pAccess->nKeepCurrentRecordSave());
    SetA(p, 2);
    EXPECT_EQ(m_pAccess->nKeepCurrentRecordSave(), 1);
}
