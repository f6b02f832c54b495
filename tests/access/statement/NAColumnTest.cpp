// A column's value not read yet, and the column's hold on its value cell.
#include "access/statement/NAColumn.h"

#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecord.h"
#include "common/values/NACnvVariant.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class CTestItem : public CNAItemDescription {
public:
    CTestItem(eNA_ITEMTYPE eType, int nPhysical, int nOffset, unsigned int nSize)
    {
        m_eItemType = eType;
        m_nPhysicalIndice = nPhysical;
        m_nOffsetBase = nOffset;
        m_nItemSize = nSize;
        m_nDimension = 1;
        AddRef(); // kept by the test
    }
};

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
    void SetMemo(const wchar_t* pszFile)
    {
        m_csMemoFile.Set(pszFile);
        m_bMemoModified = 1;
    }
    const wchar_t* pszMemoFile() const { return m_csMemoFile.pszGet(); }
    unsigned int bMemoModified() const { return m_bMemoModified; }
};

class CCountedError : public CNAError {
public:
    unsigned int nRefs() const { return m_nRefCount; }
};

// A record of nItems items with nValues bytes of values, all zero.
void Make(CNAKXRecord& rec, unsigned int nItems, unsigned int nValues)
{
    const unsigned int nFlags = ((nItems - 1) >> 3) + 1;
    std::vector<unsigned char> v(12 + nFlags + nValues, 0);
    const unsigned int an[3] = {nFlags + nValues, nItems, nFlags};
    std::memcpy(v.data(), an, sizeof(an));
    rec.Deserialize(v.data(), static_cast<unsigned int>(v.size()));
}

TEST(NAColumn, ValueNotReadYet)
{
    CLiveBlockCheck check;
    CNAKXRecord rec;
    Make(rec, 3, 12);
    CTestRecord record(&rec);
    CTestItem item(NA_IT_I4, 2, 4, 4);
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
}

TEST(NAColumn, MemoNotReadYetForgetsItsFile)
{
    CLiveBlockCheck check;
    CNAKXRecord rec;
    Make(rec, 1, 8);
    CTestRecord record(&rec);
    CTestItem memo(NA_IT_MEMOTEXTE, 0, 0, 8);
    CNAConvertVariant* pCell = new CNAConvertVariant(nullptr, nullptr);
    pCell->InitTypeVariantAny(TQTYPE_DSTRA, 0);
    CTestColumn col(&memo, &record, pCell);
    col.SetMemo(L"/tmp/memo.txt");
    col.SetValueIsUnreadYet();
    EXPECT_STREQ(col.pszMemoFile(), L"");
    EXPECT_EQ(col.bMemoModified(), 0u);
    EXPECT_EQ(rec.bItemValueDefined(&memo, 0), 1);

    // A plain column keeps its memo fields; no record, no cell: no harm.
    CTestItem plain(NA_IT_I4, 0, 0, 4);
    CTestColumn bare(&plain, nullptr, nullptr);
    bare.SetMemo(L"x");
    bare.SetValueIsUnreadYet();
    EXPECT_STREQ(bare.pszMemoFile(), L"x");
    EXPECT_EQ(bare.bMemoModified(), 1u);
}

} // namespace
