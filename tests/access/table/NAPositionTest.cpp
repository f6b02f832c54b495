// The user search a statement remembers and the saved positions: what each
// holds, the references they take and give back.
#include "access/table/NAPosition.h"

#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NAStatement.h"
#include "access/table/NADataAccess.h"
#include "access/table/NAUserSearch.h"
#include "tests/support/SearchObjects.h"
#include "tests/support/TableScope.h"
#include "tests/support/RecordValues.h"
#include "tests/support/TestTable.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class Positions : public ::testing::Test, protected CTableScope {
protected:
    void SetUp() override
    {
        m_piId = m_pTable->Add(L"id", NA_IT_I4, 4, CTestTable::UNIQUE, false);
        m_piName = m_pTable->Add(L"name", NA_IT_TEXTE, 11);
        (*m_pTable)->UpdateRecordSize();
        m_pAccess = new CNADataAccess(m_pTable->Get(), m_pCnx, m_pError);
        m_pAccess->AddRef();
        m_pRecord = m_pAccess->_pclAllocRecord(m_pError);
        m_pRecord->AddRef();
        ASSERT_EQ(m_pRecord->bInitRecord(m_pTable->Get(), nullptr, m_pCnx), 1);
        m_pAccess->_SetCurrentRecord(m_pRecord);
    }
    void TearDown() override
    {
        m_pRecord->nRelease();
        EXPECT_EQ(m_pAccess->nRelease(), 0u);
        EXPECT_EQ((*m_pTable)->nGetExternalRef(), 0u);
    }
    void SetName(const char* psz)
    {
        CAny v;
        SetText8(v, psz);
        ASSERT_EQ(m_pRecord->pclGetColumnNoRef(L"name")->bSetValue(&v, 0), 1);
    }
    int Refs(int nId) { return m_pAccess->pclGetRecordSaveCacheNoRef()->nGetRecordSaveRef(nId); }

    CNADataAccess* m_pAccess = nullptr;
    CNARecord* m_pRecord = nullptr;
    CNAItemDescription* m_piId = nullptr;
    CNAItemDescription* m_piName = nullptr;
};

TEST_F(Positions, UserSearchFoundExactOrAsAPrefix)
{
    CNAUserSearch clSearch;
    SetName("abcdef");
    // Nothing remembered: every record is the one searched for.
    EXPECT_EQ(clSearch.bGetHTrouve(m_pRecord), 1);
    CAny v;
    SetText8(v, "abc");
    struct SCase {
        unsigned int nFlags;
        const char* pszName;
        int bFound;
    } aCase[] = {{CNAUserSearch::US_GENERIC, "abcdef", 1}, {0, "abcdef", 0}, {0, "abc", 1},
                 {CNAUserSearch::US_GENERIC, "abd", 0},   {CNAUserSearch::US_GENERIC, "ab", 0}};
    for (const SCase& c : aCase) {
        clSearch.SetUserSearch(m_piName, &v, c.nFlags);
        SetName(c.pszName);
        EXPECT_EQ(clSearch.bGetHTrouve(m_pRecord), c.bFound) << c.pszName << " " << c.nFlags;
    }
    // Without the item's column, or without a record: not found.
    EXPECT_EQ(clSearch.bGetHTrouve(nullptr), 0);
    clSearch.CancelUserSearch();
    EXPECT_EQ(clSearch.piGetItemNoRef(), nullptr);
    EXPECT_EQ(clSearch.nGetFlags(), 0u);
    EXPECT_EQ(clSearch.pclGetValue()->nGetType(), 0);
    EXPECT_EQ(clSearch.bGetHTrouve(nullptr), 1);
}

TEST_F(Positions, UserSearchHoldsItsOwnItemAndValue)
{
    // The references the items hold.
    auto Held = [&]() {
        return m_piId->nGetExternalRef() + m_piName->nGetExternalRef();
    };
    const unsigned int nRefs = Held();
    {
        CNAUserSearch clSearch;
        CAny v;
        SetAs<int>(v, TQTYPE_I4, 42);
        clSearch.SetUserSearch(m_piId, &v, 0);
        EXPECT_EQ(Held(), nRefs + 1);
        SetAs<int>(v, TQTYPE_I4, 7);
        int n = 0;
        ASSERT_EQ(clSearch.pclGetValue()->nGetINT(&n), 0);
        EXPECT_EQ(n, 42);
        // Its own item and value: only the flags change.
        clSearch.SetUserSearch(clSearch.piGetItemNoRef(), clSearch.pclGetValue(), CNAUserSearch::US_GENERIC);
        EXPECT_EQ(clSearch.piGetItemNoRef(), m_piId);
        EXPECT_EQ(clSearch.pclGetValue()->nGetINT(&n), 0);
        EXPECT_EQ(n, 42);
        EXPECT_EQ(clSearch.nGetFlags(), 1u);
        // Its own value under another item.
        clSearch.SetUserSearch(m_piName, clSearch.pclGetValue(), 0);
        EXPECT_EQ(clSearch.piGetItemNoRef(), m_piName);
        EXPECT_EQ(clSearch.pclGetValue()->nGetINT(&n), 0);
        EXPECT_EQ(n, 42);
        EXPECT_EQ(Held(), nRefs + 1);
        // A copy of itself changes nothing; a copy into another holds one
        // reference more.
        clSearch.Copy(&clSearch);
        EXPECT_EQ(clSearch.piGetItemNoRef(), m_piName);
        CNAUserSearch clOther;
        clOther.Copy(&clSearch);
        EXPECT_EQ(clOther.piGetItemNoRef(), m_piName);
        EXPECT_EQ(clOther.pclGetValue()->nGetINT(&n), 0);
        EXPECT_EQ(n, 42);
        EXPECT_EQ(Held(), nRefs + 2);
        // A copy of an empty search empties.
        CNAUserSearch clEmpty;
        clOther.Copy(&clEmpty);
        EXPECT_EQ(clOther.piGetItemNoRef(), nullptr);
        EXPECT_EQ(Held(), nRefs + 1);
    }
    EXPECT_EQ(Held(), nRefs);
}

TEST_F(Positions, OneReferencePerSaveHeld)
{
    SetName("row");
    const int nSave = m_pAccess->nKeepCurrentRecordSave();
    const int nOwn = m_pAccess->nKeepOriginalRecordSave(nullptr);
    ASSERT_GE(nSave, 0);
    m_pAccess->AddRefRecordSave(nSave);
    const int nBefore = Refs(nSave);
    CNAStatement* pStatement = new CNAStatement(m_pError, nullptr);
    pStatement->AddRef();
    {
        CNAPosition* p = new CNAPosition;
        p->AddRef();
        EXPECT_EQ(p->nGetRowId(), -1);
        EXPECT_EQ(p->bIsValid(), 0);
        p->SetStatement(pStatement);
        EXPECT_EQ(pStatement->nGetRef(), 2u);
        // A statement without data access: the position learns its data
        // access from the save it is given.
        p->SetRecordSaveID_VerrueHAjouteHLit(m_pAccess, nOwn);
        EXPECT_EQ(p->pclGetDataAccessNoRef(), m_pAccess);
        EXPECT_EQ(p->nGetOwnRecordSaveId(), nOwn);
        EXPECT_EQ(Refs(nOwn), 1);
        CNAUserSearch clSearch;
        CAny v;
        SetAs<int>(v, TQTYPE_I4, 3);
        clSearch.SetUserSearch(m_piId, &v, 0);
        EXPECT_EQ(p->bSetParameters(4, nSave, &clSearch, 2), 1);
        EXPECT_EQ(p->bIsValid(), 1);
        EXPECT_EQ(p->nGetRowId(), 4);
        EXPECT_EQ(p->llGetEqualCount(), 2);
        EXPECT_EQ(p->bEqualCountBackward(), 0);
        EXPECT_EQ(p->pclGetUserSearch()->piGetItemNoRef(), m_piId);
        EXPECT_EQ(Refs(nSave), nBefore + 1);
        // Set again on the same save: still one reference.
        EXPECT_EQ(p->bSetParameters(-1, nSave, &clSearch, 0), 1);
        EXPECT_EQ(Refs(nSave), nBefore + 1);
        // A count read backward keeps its side.
        EXPECT_EQ(p->bSetParameters(-1, nSave, &clSearch, 5, 1), 1);
        EXPECT_EQ(p->llGetEqualCount(), 5);
        EXPECT_EQ(p->bEqualCountBackward(), 1);
        EXPECT_EQ(p->bSetParameters(-1, nSave, &clSearch, 5), 1);
        EXPECT_EQ(p->bEqualCountBackward(), 0);
        p->InvalidateRowID();
        EXPECT_EQ(p->nGetRowId(), -1);
        CNAStatement* pHeld = p->pclGetStatement();
        EXPECT_EQ(pHeld, pStatement);
        pHeld->nRelease();
        EXPECT_EQ(p->nRelease(), 0u);
    }
    EXPECT_EQ(Refs(nSave), nBefore);
    EXPECT_EQ(Refs(nOwn), 0);
    EXPECT_EQ(pStatement->nRelease(), 0u);
}

TEST_F(Positions, TheStatementFilesItsPositions)
{
    CNAStatement* pStatement = new CNAStatement(m_pError, nullptr);
    pStatement->AddRef();
    CNAPosition* p = new CNAPosition;
    p->AddRef();
    EXPECT_EQ(p->bSetParameters(3, -1, nullptr, 0), 1);
    EXPECT_EQ(pStatement->bAddSavedPosition(7, p), 1);
    EXPECT_EQ(p->nGetRef(), 2u);
    CNAPosition* pFound = pStatement->pclGetSavedPosition(7);
    EXPECT_EQ(pFound, p);
    pFound->nRelease();
    EXPECT_EQ(pStatement->pclGetSavedPosition(8), nullptr);
    // Closing forgets the rows of the positions.
    pStatement->Close();
    EXPECT_EQ(p->nGetRowId(), -1);
    EXPECT_EQ(pStatement->bRemoveSavedPosition(7), 1);
    EXPECT_EQ(pStatement->bRemoveSavedPosition(7), 0);
    EXPECT_EQ(p->nGetRef(), 1u);
    EXPECT_EQ(pStatement->bAddSavedPosition(9, p), 1);
    // The statement's end gives the position back.
    EXPECT_EQ(pStatement->nRelease(), 0u);
    EXPECT_EQ(p->nRelease(), 0u);
}

} // namespace
