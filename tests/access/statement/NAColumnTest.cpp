// Columns over a record buffer: values, comparisons, composite keys, lazy
// values, memos, debug texts; parameters; the bound classes of host values.
#include "access/statement/NAColumn.h"

#include "access/statement/NARecord.h"
#include "access/statement/NARecordValue.h"
#include "host/HostQueryParametersValue.h"
#include "tests/support/KXRecords.h"
#include "tests/support/RecordValues.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestTable.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

namespace {

// A named item of the engine's record, for the tests without a record.
class CNamedItem : public CRecordItem {
public:
    CNamedItem(const wchar_t* pszName, eNA_ITEMTYPE eType, int nPhysical, int nOffset, unsigned int nSize)
        : CRecordItem(eType, nPhysical, nOffset, nSize)
    {
        m_csName.Set(pszName);
        AddRef();
    }
};

class CCountedError : public CNAError {
public:
    unsigned int nRefs() const { return m_nRefCount; }
};

// Items of a table description; the test's record is built over them on
// first use, as a data access builds its current record.
class NAColumnFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_pError = new CCountedError;
        m_pError->AddRef();
        m_pCnx = new CTestConnection(1252, 1252, CNAConnectionDescription::DS_MYSQL);
        m_pCnx->AddRef();
        m_pTable.reset(new CTestTable(m_pError, m_pCnx));
    }
    void TearDown() override
    {
        if (m_pRecord != nullptr)
            m_pRecord->nRelease();
        // The record gave back every reference it took on the items.
        EXPECT_EQ(ItemRefs(), m_tabItemRefs);
        m_pTable.reset();
        for (const auto& p : m_tabItem)
            EXPECT_EQ(p->nGetExternalRef(), 0u) << "item references left";
        m_pCnx->nRelease();
        // Every column, cell and value let its reference go.
        EXPECT_EQ(m_pError->nRefs(), 1u);
        m_pError->nRelease();
    }
    CNAItemDescription& Item(const wchar_t* pszName, eNA_ITEMTYPE eType, unsigned int nSize)
    {
        return *m_pTable->Add(pszName, eType, nSize);
    }
    CNARecord* Record()
    {
        if (m_pRecord == nullptr) {
            m_tabItemRefs = ItemRefs();
            m_pRecord = m_pTable->NewRecord(m_pError, m_pCnx);
            EXPECT_NE(m_pRecord, nullptr);
        }
        return m_pRecord;
    }
    // The record's column of the item.
    CNAColumn* Column(const CNAItemDescription& item)
    {
        CNAColumn* p = Record()->pclGetColumnNoRef(&item);
        EXPECT_NE(p, nullptr);
        return p;
    }
    CNAKXRecord& Current() { return *Record()->pclGetNAKXRecord(); }
    std::vector<unsigned int> ItemRefs() const
    {
        std::vector<unsigned int> tab;
        for (int i = 0; i < static_cast<int>((*m_pTable)->nGetNumItems()); i++)
            tab.push_back((*m_pTable)->pclNAGetItemNoRef(i)->nGetExternalRef());
        return tab;
    }
    // An item outside any description.
    CNamedItem& LooseItem(const wchar_t* pszName, eNA_ITEMTYPE eType, unsigned int nSize)
    {
        m_tabItem.emplace_back(new CNamedItem(pszName, eType, 0, 0, nSize));
        return *m_tabItem.back();
    }

    CDriverScope m_clDriver;
    std::vector<std::unique_ptr<CNamedItem>> m_tabItem;
    CCountedError* m_pError = nullptr;
    CTestConnection* m_pCnx = nullptr;
    std::unique_ptr<CTestTable> m_pTable;
    CNARecord* m_pRecord = nullptr;
    std::vector<unsigned int> m_tabItemRefs;
};

TEST_F(NAColumnFixture, TextValuesAndTheirComparison)
{
    CNAItemDescription& item = Item(L"NAME", NA_IT_TEXTE, 8);
    CNAColumn* pCol = Column(item);
    EXPECT_STREQ(pCol->pszGetFormatedName(), L"NAME");
    CAny v;
    // Nothing defined: only NULL is the same.
    CAny vNull(TQTYPE_DSTRA);
    vNull.SetNullFlag(true);
    EXPECT_EQ(pCol->bSameValue(&vNull, 0), 1);
    SetA(v, "AB");
    EXPECT_EQ(pCol->bSameValue(&v, 0), 0);
    ASSERT_EQ(pCol->bSetValue(&v, 0), 1);
    EXPECT_EQ(Current().bItemValueDefined(&item, 0), 1);
    EXPECT_EQ(pCol->pclGetNAValue()->pclGetValue()->bIsNull(), false);
    struct {
        const char* pszStored;
        const char* pszGiven;
        unsigned int nFlags;
        int bSame;
    } cases[] = {
        {"AB", "AB", 0, 1},       // followed by zero bytes
        {"ABC", "AB", 0, 0},
        {"ABC", "AB", 0x1000, 1}, // a prefix is enough
        {"AB", "ABC", 0, 0},      // longer than the stored value
        {"AB", "AC", 0x1000, 0},
    };
    for (const auto& c : cases) {
        SetA(v, c.pszStored);
        pCol->bSetValue(&v, 0);
        CAny given;
        SetA(given, c.pszGiven);
        EXPECT_EQ(pCol->bSameValue(&given, c.nFlags), c.bSame) << c.pszStored << " / " << c.pszGiven;
    }
    // A wide text is compared with the stored 8-bit text by the host.
    SetW(v, L"AB");
    EXPECT_EQ(pCol->bSameValue(&v, 0), 1);
    // NULL clears the flag and the cell follows.
    EXPECT_EQ(pCol->bSetValueNULL(), 1);
    EXPECT_EQ(Current().bItemValueDefined(&item, 0), 0);
    EXPECT_EQ(pCol->pclGetNAValue()->pclGetValue()->bIsNull(), true);
    EXPECT_EQ(pCol->bValueDefined(), 0);
}

TEST_F(NAColumnFixture, ModifiedAgainstTheOriginalBuffer)
{
    CNAItemDescription& item = Item(L"N", NA_IT_I4, 4);
    CNAColumn* pCol = Column(item);
    EXPECT_EQ(pCol->bValueModified(), 0);
    CAny v(TQTYPE_I4);
    const int n = 5;
    v.pclGetTraitement()->SetValue(&n);
    pCol->bSetValue(&v, 0);
    EXPECT_EQ(pCol->bValueModified(), 1); // defined here, not in the original
    Record()->pclGetOriginalNAKXRecord()->Copy(&Current());
    EXPECT_EQ(pCol->bValueModified(), 0);
    EXPECT_EQ(pCol->bOriginalValueDefined(), 1);
    CAny back;
    ASSERT_EQ(pCol->bGetOriginalValue(&back, 0), 1);
    int nBack = 0;
    back.nGetINT(&nBack);
    EXPECT_EQ(nBack, 5);
    const int n2 = 6;
    v.pclGetTraitement()->SetValue(&n2);
    pCol->bSetValue(&v, 0);
    EXPECT_EQ(pCol->bValueModified(), 1); // same flags, other bytes
}

TEST_F(NAColumnFixture, CompositeKeyFieldsEndToEnd)
{
    CNAItemDescription& text = Item(L"T", NA_IT_TEXTE, 10);
    CNAItemDescription& num = Item(L"N", NA_IT_I4, 4);
    CNAItemDescription& key = *m_pTable->AddComposite(L"K", 0, {L"T", L"N"});
    CNAColumn* pText = Column(text);
    CNAColumn* pNum = Column(num);
    CNAColumn* pKey = Column(key);
    // The record filled the key's components from its description.
    ASSERT_NE(pKey->pclGetTabComponent(), nullptr);
    EXPECT_EQ(pKey->pclGetTabComponent()->nGetNbElement(), 2);
    EXPECT_EQ(pKey->bIsComposedKeyComponent(pText), 1);
    EXPECT_EQ(pKey->bIsComposedKeyComponent(pNum), 1);
    EXPECT_EQ(pKey->bIsComposedKeyComponent(pKey), 0);
    CAny v;
    SetA(v, "AB");
    pText->bSetValue(&v, 0);
    CAny vNum(TQTYPE_I4);
    const int n = 7;
    vNum.pclGetTraitement()->SetValue(&n);
    pNum->bSetValue(&vNum, 0);
    CAny keyValue;
    ASSERT_EQ(pKey->bGetCurrentValue(&keyValue, 0), 1);
    EXPECT_EQ(keyValue.nGetTypeCode(), TQTYPE_BIN);
    const Bytes expected = {0x41, 0x42, 0, 0, 0, 0, 0, 0, 0, 0x07, 0, 0, 0};
    EXPECT_EQ(DataBytes(keyValue), expected);
    // A component longer than its field is cut to the field.
    SetA(v, "ABCDEFGHIJKLMNO");
    pText->bSetValue(&v, 0);
    ASSERT_EQ(pKey->bGetCurrentValue(&keyValue, 0), 1);
    const Bytes cut = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 0x07, 0, 0, 0};
    EXPECT_EQ(DataBytes(keyValue), cut);
    EXPECT_EQ(pKey->bValueDefined(), 1);
    EXPECT_EQ(pKey->bMustDefine(3), 0);
    EXPECT_EQ(pKey->bMustBind(3), 0);
}

TEST_F(NAColumnFixture, DebugTextsOfValues)
{
    CNAItemDescription& item = Item(L"NAME", NA_IT_I4, 4);
    CNAItemDescription& memo = Item(L"M", NA_IT_MEMOTEXTE, 8);
    CNAColumn* pCol = Column(item);
    struct {
        int bWithName;
        const wchar_t* pszExpected;
    } nulls[] = {{1, L"<NAME> = <NULL>"}, {0, L""}};
    for (const auto& c : nulls) {
        CTString cs;
        EXPECT_EQ(pCol->bCurrentValueToString(&cs, c.bWithName), 1);
        EXPECT_STREQ(cs.pszGet() != nullptr ? cs.pszGet() : L"", c.pszExpected);
    }
    CAny v(TQTYPE_I4);
    const int n = -42;
    v.pclGetTraitement()->SetValue(&n);
    pCol->bSetValue(&v, 0);
    CTString cs;
    pCol->bCurrentValueToString(&cs, 1);
    EXPECT_STREQ(cs.pszGet(), L"<NAME> = <-42>");
    // Not read yet: defined in the buffer, NULL in the cell.
    pCol->SetValueIsUnreadYet();
    EXPECT_EQ(pCol->bValueIsUnreadYet(), 1);
    EXPECT_EQ(Current().bItemValueDefined(&item, 0), 1);
    EXPECT_EQ(pCol->pclGetNAValue()->pclGetValue()->bIsNull(), true);
    CTString csUnread;
    EXPECT_EQ(pCol->bCurrentValueToString(&csUnread, 1), 1);
    EXPECT_STREQ(csUnread.pszGet(), L"<NAME> = <UNREAD YET>");
    // A read that fails ends the text with one ">".
    CNAColumn* pMemo = Column(memo);
    pMemo->bHAttacheMemo(L"/nonexistent/file");
    CTString csError;
    EXPECT_EQ(pMemo->bCurrentValueToString(&csError, 1), 0);
    EXPECT_STREQ(csError.pszGet(), L"<M> = <ERROR RETRIEVING VALUE>");
    m_pError->Reset();
}

TEST_F(NAColumnFixture, MemoValuesLiveInTheSharedCell)
{
    CNAItemDescription& memo = Item(L"M", NA_IT_MEMOTEXTE, 8);
    CNAColumn* pMemo = Column(memo);
    CNARecordValue* pValue = Record()->pclGetCurrentRecordValueNoRef();
    EXPECT_EQ(pValue->pclGetMemoValueNoRef(0), pMemo->pclGetNAValue());
    EXPECT_EQ(pMemo->bMustDefine(1), 0);
    EXPECT_EQ(pMemo->bMustDefine(2), 1);
    EXPECT_EQ(pMemo->bMustBind(1), 1);
    CAny v;
    SetA(v, "long text");
    ASSERT_EQ(pMemo->bSetValue(&v, 0), 1);
    EXPECT_EQ(Current().bItemValueDefined(&memo, 0), 1);
    EXPECT_EQ(Bytes(Current().pbyGetValues(), Current().pbyGetValues() + 8), Bytes(8, 0));
    CAny back;
    ASSERT_EQ(pMemo->bGetCurrentValue(&back, 0), 1);
    EXPECT_EQ(Text8(back), "long text");
    EXPECT_EQ(pMemo->bValueModified(), 0);
    // To the database: an equal value leaves it unmodified, another one
    // marks it.
    EXPECT_EQ(pMemo->bSetValueToDB(&v, 0), 1);
    EXPECT_EQ(pMemo->bValueModified(), 0);
    SetA(v, "other");
    EXPECT_EQ(pMemo->bSetValueToDB(&v, 0), 1);
    EXPECT_EQ(pMemo->bValueModified(), 1);
    // Attaching a file makes it defined though the cell is NULL.
    pMemo->bHAttacheMemo(L"/tmp/x");
    EXPECT_EQ(pMemo->bValueDefined(), 1);
    EXPECT_EQ(pMemo->pclGetNAValue()->pclGetValue()->bIsNull(), true);
    // NULL through bSetValue: the NULL marker in the buffer.
    CAny vNull(TQTYPE_DSTRA);
    vNull.SetNullFlag(true);
    pMemo->bSetValue(&vNull, 0);
    EXPECT_EQ(Current().bItemValueDefined(&memo, 0), 0);
    EXPECT_EQ(Bytes(Current().pbyGetValues(), Current().pbyGetValues() + 8), Bytes(8, 0xFF));
    EXPECT_EQ(pMemo->bValueDefined(), 0);
}

TEST_F(NAColumnFixture, MemoFilesAttachedAndExtracted)
{
    CTempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    std::ofstream(dir.Path() + "/in.txt") << "from a file";
    CNAItemDescription& memo = Item(L"M", NA_IT_MEMOTEXTE, 8);
    CNAColumn* pMemo = Column(memo);
    ASSERT_EQ(pMemo->bHAttacheMemo((dir.WPath() + L"/in.txt").c_str()), 1);
    EXPECT_EQ(pMemo->bValueModified(), 1);
    CAny v;
    ASSERT_EQ(pMemo->bGetCurrentValue(&v, 0), 1);
    EXPECT_EQ(Text8(v), "from a file");
    ASSERT_EQ(pMemo->bHExtraitMemo((dir.WPath() + L"/out.txt").c_str()), 1);
    std::ifstream in(dir.Path() + "/out.txt");
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), "from a file");
}

TEST_F(NAColumnFixture, ParametersCloneCompareAndName)
{
    CNAItemDescription& item = Item(L"P", NA_IT_DATE8, 9);
    CNAColumn* pCol = Column(item);
    const unsigned int nItemRefs = item.nGetExternalRef();
    CNAConvertVariant* pCell = new CNAConvertVariant(m_pError, m_pCnx);
    CNAParameter* pParam = new CNAParameter(pCell, 12, CNAParameter::PF_LIKE, L"name");
    pParam->AddRef();
    pParam->SetColum(pCol);
    pParam->SetEscape(L'!');
    pParam->SetOperator(4);
    pParam->SetInOut(CNAParameter::PARAM_IN | CNAParameter::PARAM_OUT);
    EXPECT_EQ(pParam->bIsDate(), 1);
    EXPECT_EQ(pParam->bIsText(), 0);
    CTString cs;
    pParam->TypeParam2String(&cs);
    EXPECT_STREQ(cs.pszGet(), L"(IN|OUT)");
    CNAParameter* pClone = pParam->pclGetClone();
    ASSERT_NE(pClone, nullptr);
    pClone->AddRef();
    EXPECT_EQ(pClone->pclGetValue(), pCell); // shared
    EXPECT_EQ(pClone->eGetOperator(), -1);
    EXPECT_EQ(pClone->cGetEscape(), static_cast<wchar_t>('!'));
    // The clone keeps construction directions: not equal until they agree.
    EXPECT_EQ(pParam->bEqualsParameter(pClone), 0);
    pClone->SetInOut(pParam->eGetInOut());
    EXPECT_EQ(pParam->bEqualsParameter(pClone), 1);
    pClone->SetPosition(13);
    EXPECT_EQ(pParam->bEqualsParameter(pClone), 0);
    CTString csReturn;
    pClone->SetInOut(CNAParameter::PARAM_RETURN);
    pClone->TypeParam2String(&csReturn);
    EXPECT_STREQ(csReturn.pszGet(), L"(RETURN)");
    pClone->nRelease();
    pParam->nRelease();
    EXPECT_EQ(item.nGetExternalRef(), nItemRefs); // the parameters gave theirs back
}

TEST_F(NAColumnFixture, ColumnsOnlyForItemTypesOfTheEngine)
{
    for (int e : {0, 8, 32, 40}) {
        CNamedItem& item = LooseItem(L"X", static_cast<eNA_ITEMTYPE>(e), 4);
        EXPECT_EQ(_pclAllocNASQLColumn(m_pError, &item), nullptr) << e;
    }
    for (int e : {1, 7, 9, 31}) {
        CNamedItem& item = LooseItem(L"X", static_cast<eNA_ITEMTYPE>(e), 4);
        CNAColumn* p = _pclAllocNASQLColumn(m_pError, &item);
        ASSERT_NE(p, nullptr) << e;
        p->AddRef();
        p->nRelease();
    }
}

TEST_F(NAColumnFixture, OutputParametersByTheHostsDirection)
{
    CHostQueryParametersValue values;
    values.SetDirection(L"out", 2);
    values.SetDirection(L"inout", 3);
    values.SetDirection(L"in", 1);
    for (const wchar_t* psz : {L"out", L"inout", L"in", L"unknown"}) {
        CNAParameter p(nullptr, 0, CNAParameter::PF_USER, psz);
        const bool bOut = std::wstring(psz) == L"out" || std::wstring(psz) == L"inout";
        EXPECT_EQ(p.bIsParamOUT(&values), bOut ? 1 : 0) << std::wstring(psz).size();
    }
}

// A YEAR on the server by its type text, as a table or a query spells it;
// the year of a value is its first four digits.
TEST_F(NAColumnFixture, AYearOnTheServerAndTheNumberOfItsValue)
{
    const struct {
        const wchar_t* pszName;
        const wchar_t* pszType;
        bool bYear;
    } kTypes[] = {{L"a", L"year", true},        {L"b", L"YEAR(4)", true}, {L"c", L"MYSQL_TYPE_YEAR", true},
                  {L"d", L"yearly", false},     {L"e", L"date", false},   {L"f", L"", false}};
    for (const auto& c : kTypes)
        Item(c.pszName, NA_IT_DATE8, 9).SetDBType(c.pszType, 0);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(Record()->pclGetColumnNoRef(kTypes[i].pszName)->bServerYear(), kTypes[i].bYear)
            << i;
    const struct {
        const wchar_t* pszValue;
        int nYear;
    } kValues[] = {{L"00000101", 0}, {L"19990101", 1999}, {L"2155", 2155}, {L"999", -1}, {L"2x240101", -1}};
    for (const auto& c : kValues) {
        CAny v;
        SetW(v, c.pszValue);
        EXPECT_EQ(CNAColumn::s_nYearOf(&v), c.nYear) << c.nYear;
    }
    CAny clNull;
    SetW(clNull, L"2024");
    clNull.SetNullFlag(true);
    EXPECT_EQ(CNAColumn::s_nYearOf(&clNull), -1);
}

TEST(NAColumnFree, SpacesOfSQL)
{
    for (wchar_t c : {L'\t', L'\n', L'\r', L' '})
        EXPECT_EQ(s_bEspaceSQL(c), 1) << static_cast<int>(c);
    for (wchar_t c : {L'a', L'\0', L'\v', static_cast<wchar_t>(0xA0)})
        EXPECT_EQ(s_bEspaceSQL(c), 0) << static_cast<int>(c);
}

template <class T>
void SetTyped(CAny& v, unsigned short nType, T x)
{
    v.__SetType(nType, 0);
    v.pclGetTraitement()->SetValue(&x);
}

TEST(NAColumnFree, BoundClassOfValues)
{
    BindValueMachine();
    struct Case {
        const char* pszName;
        void (*pfnMake)(CAny&);
        eCHECKVALUE e;
    } cases[] = {
        {"i2 min", [](CAny& v) { SetTyped<short>(v, TQTYPE_I2, -32768); }, CHECKVALUE_MIN},
        {"i2 max", [](CAny& v) { SetTyped<short>(v, TQTYPE_I2, 32767); }, CHECKVALUE_MAX},
        {"i2 ordinary", [](CAny& v) { SetTyped<short>(v, TQTYPE_I2, 0); }, CHECKVALUE_ORDINARY},
        {"ui1 255", [](CAny& v) { SetTyped<unsigned char>(v, TQTYPE_UI1, 255); }, CHECKVALUE_MAX},
        {"ui1 0", [](CAny& v) { SetTyped<unsigned char>(v, TQTYPE_UI1, 0); }, CHECKVALUE_MIN},
        {"i8 min", [](CAny& v) { SetTyped<long long>(v, TQTYPE_I8, LLONG_MIN); }, CHECKVALUE_MIN},
        {"r8 lowest", [](CAny& v) { SetTyped<double>(v, TQTYPE_R8, -DBL_MAX); }, CHECKVALUE_MIN},
        {"r4 max", [](CAny& v) { SetTyped<float>(v, TQTYPE_R4, FLT_MAX); }, CHECKVALUE_MAX},
        {"char 255", [](CAny& v) { SetTyped<unsigned char>(v, TQTYPE_CARA, 255); }, CHECKVALUE_MAX},
        {"null", [](CAny& v) { SetTyped<short>(v, TQTYPE_I2, -32768); v.SetNullFlag(true); }, CHECKVALUE_ORDINARY},
        {"datetime 0", [](CAny& v) { v.__SetType(TQTYPE_DATETIME, 0); v.pclGetTraitement()->SetValue(Bytes(8, 0).data()); }, CHECKVALUE_MIN},
        {"datetime end", [](CAny& v) { v.__SetType(TQTYPE_DATETIME, 0); v.pclGetTraitement()->SetValue(DateTimeBytes(9999, 12, 31, 23, 59, 59, 999).data()); }, CHECKVALUE_MAX},
        {"text 0xFF", [](CAny& v) { v.__SetType(TQTYPE_PSTRA, 0); v.pclGetTraitement()->SetValue("ab\xFF", 3); }, CHECKVALUE_MAX},
        {"text", [](CAny& v) { v.__SetType(TQTYPE_PSTRA, 0); v.pclGetTraitement()->SetValue("ab", 2); }, CHECKVALUE_ORDINARY},
    };
    for (const Case& c : cases) {
        CAny v;
        c.pfnMake(v);
        EXPECT_EQ(eCheckValue(&v), c.e) << c.pszName;
    }
    EXPECT_EQ(eCheckValue(nullptr), CHECKVALUE_ORDINARY);
}

} // namespace
