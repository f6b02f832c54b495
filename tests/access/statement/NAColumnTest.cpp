// A column's value not read yet, and the column's hold on its value cell.
#include "access/statement/NAColumn.h"

#include "access/driver/NAError.h"
#include "access/statement/NARecord.h"
#include "common/values/NACnvVariant.h"
#include "tests/support/KXRecords.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

namespace {

class CTestRecord : public CNARecord {
public:
    explicit CTestRecord(CNAKXRecord* p) { m_pclCurrentKXRecord = p; }
};

class CTestColumn : public CNAColumn {
public:
    CTestColumn(INAItemDescription* piItem, CNARecord* pRecord, CNAConvertVariant* pValue)
    {
        m_piItem = piItem;
        piItem->ExternalAddRef();
        m_pclRecord = pRecord;
        m_pclValue = pValue;
        if (pValue != nullptr)
            pValue->AddRef();
    }
    void SetMemo(const wchar_t* pszFile) { m_csMemoFile.Set(pszFile); m_bMemoModified = 1; }
    const wchar_t* pszMemoFile() const { return m_csMemoFile.pszGet(); }
    unsigned int bMemoModified() const { return m_bMemoModified; }
};

class CCountedError : public CNAError {
public:
    unsigned int nRefs() const { return m_nRefCount; }
};

TEST(NAColumn, ValueAndMemoNotReadYet)
{
    CLiveBlockCheck check;
    CNAKXRecord rec;
    MakeRecord(rec, 3, 12);
    CTestRecord record(&rec);
    CRecordItem item(NA_IT_I4, 2, 4, 4);
    item.AddRef(); // kept by the test
    CCountedError* e = new CCountedError;
    e->AddRef();
    CNAConvertVariant* pCell = new CNAConvertVariant(e, nullptr);
    unsigned char* pElement = rec.pbyGetItemValue(&item, 0);
    ASSERT_NE(pElement, nullptr);
    pElement[0] = 7;
    pCell->bInitTypeVariant(NA_VAR_BUFFER, pElement, 4, TQTYPE_I4);
    {
        CTestColumn col(&item, &record, pCell);
        EXPECT_EQ(e->nRefs(), 2u);
        col.SetValueIsUnreadYet();
        EXPECT_EQ(pCell->eGetVarType(), NA_VAR_UNREADYET);
        EXPECT_EQ(pCell->pclGetValue()->nGetType(), TQTYPE_I4 | TQFLAG_NULL);
        // Defined in the record: the value exists on the server.
        EXPECT_EQ(rec.bItemValueDefined(&item, 0), 1);
        EXPECT_EQ(rec.pbyGetNullValuesFlags()[0], 0x20);
        EXPECT_EQ(pElement[0], 7);
    }
    // The column held the last reference on its cell.
    EXPECT_EQ(e->nRefs(), 1u);
    EXPECT_EQ(item.nGetExternalRef(), 0u);
    e->nRelease();
    // A memo not read yet forgets its file.
    CNAKXRecord recMemo;
    MakeRecord(recMemo, 1, 8);
    CTestRecord recordMemo(&recMemo);
    CRecordItem memo(NA_IT_MEMOTEXTE, 0, 0, 8);
    memo.AddRef();
    CNAConvertVariant* pMemoCell = new CNAConvertVariant(nullptr, nullptr);
    pMemoCell->InitTypeVariantAny(TQTYPE_DSTRA, 0);
    CTestColumn col(&memo, &recordMemo, pMemoCell);
    col.SetMemo(L"/tmp/memo.txt");
    col.SetValueIsUnreadYet();
    EXPECT_STREQ(col.pszMemoFile(), L"");
    EXPECT_EQ(col.bMemoModified(), 0u);
    EXPECT_EQ(recMemo.bItemValueDefined(&memo, 0), 1);
    // A plain column keeps its memo fields; no recordMemo, no cell: no harm.
    CRecordItem plain(NA_IT_I4, 0, 0, 4);
    plain.AddRef();
    CTestColumn bare(&plain, nullptr, nullptr);
    bare.SetMemo(L"x");
    bare.SetValueIsUnreadYet();
    EXPECT_STREQ(bare.pszMemoFile(), L"x");
    EXPECT_EQ(bare.bMemoModified(), 1u);
}

} // namespace
