// What a host-parsed query gives the descriptions and records made from it,
// every case a query text through the parse stand-in over hand-made tables:
// a description completed from the query over one and two tables, computed
// items typed from the host's engine types, and a record of the query whose
// computed column is searched and filtered by its expression, in the order
// the query sorts it.
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/sql/NAExpression.h"
#include "access/sql/NAFilter.h"
#include "access/sql/SQLParserInfo.h"
#include "access/statement/NARecord.h"
#include "access/table/NADataAccess.h"
#include "host/HostQueryParametersValue.h"
#include "tests/support/AnyValue.h"
#include "tests/support/ClosedConnection.h"
#include "tests/support/HandDescriptions.h"
#include "tests/support/QuerySource.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

typedef CNAItemDescription CItem;

std::string Narrow(const wchar_t* psz)
{
    return NarrowAscii(psz);
}

class QueryRecord : public QuerySourceTest {
protected:
    void SetUp() override
    {
        QuerySourceTest::SetUp();
        m_clHand.pclAdd(L"q", L"q_db", {{L"name", NA_IT_TEXTE, CItem::KF_DUPLICATES, true},
                                        {L"amount", NA_IT_I4, 0, true},
                                        {L"code", NA_IT_I4, 0, true},
                                        {L"w", NA_IT_UNICODE, 0, true},
                                        {L"cab", NA_IT_BINAIRE, CItem::KF_COMPOSITE | CItem::KF_UNIQUE, true}});
        m_clHand.pclAdd(L"r", L"r_db", {{L"id", NA_IT_I4, CItem::KF_PRIMARY | CItem::KF_UNIQUE, false},
                                        {L"u", NA_IT_I4, CItem::KF_UNIQUE, false}});
    }
    // Items of a description: name, type, key flags, key index, source.
    static std::string Items(CNADataSourceDescription* p)
    {
        std::string s;
        for (unsigned int i = 0; i < p->nGetNumItems(); i++) {
            CItem* pi = p->pclNAGetItemNoRef(static_cast<int>(i));
            s += (i > 0 ? " " : "") + Narrow(pi->pszGetName()) + ":" + std::to_string(pi->eNAGetItemType()) + ":" +
                 std::to_string(pi->nGetKeyFlags()) + ":" + std::to_string(pi->nGetKeyIndice()) + ":" +
                 Narrow(pi->pszGetSourceName());
        }
        return s;
    }
};

} // namespace

TEST_F(QueryRecord, DescriptionsCompletedOverOneAndTwoTables)
{
    // Keys over one table keep their kind; the query's order gives the
    // directions and the browse item.
    CNADataSourceDescription* p =
        Described(Digest(Parse(L"SELECT r.id AS rid, u, amount FROM r, q WHERE u = code ORDER BY amount DESC")));
    const std::string strDup = std::to_string(CItem::KF_ASCENDING | CItem::KF_DUPLICATES);
    const std::string strDesc = std::to_string(CItem::KF_DESCENDING);
    // Over two tables a unique source key is a key with duplicates, never
    // primary.
    EXPECT_EQ(Items(p), "rid:5:" + strDup + ":0:r_db u:5:" + strDup + ":1:r_db amount:5:" + strDesc + ":-1:q_db");
    EXPECT_EQ(p->nGetNumKeys(), 2u);
    INAItemDescription* pi = p->piGetBestParseItemDesc();
    EXPECT_EQ(Narrow(pi->pszGetName()), "amount");
    pi->nExternalRelease();
    CNADataSourceDescription* pOne = Described(Digest(Parse(L"SELECT x.id, u FROM r x ORDER BY u")));
    const std::string strPrimary =
        std::to_string(CItem::KF_ASCENDING | CItem::KF_UNIQUE | CItem::KF_PRIMARY);
    const std::string strUnique = std::to_string(CItem::KF_ASCENDING | CItem::KF_UNIQUE);
    // An alias of the table stays the source.
    EXPECT_EQ(Items(pOne), "id:5:" + strPrimary + ":0:x u:5:" + strUnique + ":1:x");
    // A composite key adds nothing, and the order of a place beyond the
    // items is passed over.
    CNADataSourceDescription* pComposite = Described(Digest(Parse(L"SELECT cab, code FROM q ORDER BY code DESC")));
    EXPECT_EQ(Items(pComposite), "code:5:0:-1:q_db");
    // An item filled before (from a result) is completed and becomes a
    // key where its source is one.
    CNADataSourceDescription* pFilled = m_clHand.pDriver()->pclAllocDataSourceDescription(m_pCnx, m_pError);
    Hold(pFilled);
    pFilled->bAddItem(L"name", L"", L"name", 1, 30, NA_IT_MEMOTEXTE, -1, -1, 0, 0, 0);
    pFilled->bAddItem(L"n2", L"", L"n2", 1, 30, NA_IT_TEXTE, -1, -1, 0, 0, 0);
    EXPECT_EQ(pFilled->nGetNumMemos(), 1u);
    ASSERT_EQ(pFilled->bCompleteDescription(Digest(Parse(L"SELECT name, w FROM q"))), 1);
    EXPECT_EQ(pFilled->nGetNumKeys(), 1u);
    EXPECT_EQ(pFilled->nGetNumMemos(), 0u);
    EXPECT_EQ(Items(pFilled), "name:2:" + strDup + ":0:q_db n2:29:0:-1:q_db");
    EXPECT_EQ(pFilled->eGetSourceKind(), static_cast<unsigned int>(CNADataSourceDescription::SOURCE_RESULT));
}

TEST_F(QueryRecord, ComputedItemsTakeTheHostsEngineTypes)
{
    CHostSQLParse* pParse = Parse(L"SELECT amount + 1 AS s, HEX(w) AS h, CHAR(w) AS c FROM q");
    CSQLParserInfo* pInfo = Digest(pParse);
    struct {
        int nOut;
        int nEngine;
        eNA_ITEMTYPE eBefore;
        unsigned int nSizeBefore;
        eNA_ITEMTYPE eAfter;
        unsigned int nSizeAfter;
    } const aCase[] = {
        {0, 0, NA_IT_UNICODE, 40, NA_IT_UNICODE, 40},    // no engine type: as it was
        {0, 41, NA_IT_UNICODE, 40, NA_IT_UNICODE, 40},
        {1, 29, NA_IT_UNICODE, 40, NA_IT_TEXTE, 20},     // HEX of a wide text: 8-bit text
        {2, 29, NA_IT_MEMOUNICODE, 8, NA_IT_MEMOTEXTE, 8},
        {0, 29, NA_IT_TEXTE, 30, NA_IT_TEXTE, 30},       // the kept pairs
        {0, 40, NA_IT_UNICODE, 30, NA_IT_UNICODE, 30},
        {0, 30, NA_IT_BINAIRE, 30, NA_IT_BINAIRE, 30},
        {0, 30, NA_IT_I4, 4, NA_IT_MEMOBINAIRE, 8},      // the engine's type, memos of size 8
        {0, 40, NA_IT_I4, 4, NA_IT_MEMOUNICODE, 8},
        {0, 29, NA_IT_I4, 4, NA_IT_MEMOTEXTE, 8},
        {0, 7, NA_IT_DECIMAL, 12, NA_IT_R8, 0},          // a real, the item's own size
    };
    for (const auto& st : aCase) {
        SCOPED_TRACE(std::to_string(st.nOut) + " engine " + std::to_string(st.nEngine));
        pParse->SetItemType(st.nOut, st.nEngine);
        CItem* pItem = m_clHand.pDriver()->pclAllocItemDescription();
        pItem->AddRef();
        pItem->bInit(L"e", L"src", L"", 1, st.nSizeBefore, st.eBefore, 0, -1, 0, 12, 2);
        const unsigned int nOwnSize = pItem->nGetItemSize();
        EXPECT_EQ(pItem->bCompleteDescriptionCalcul(pInfo->piGetRubriqueOUT(st.nOut)), 1);
        EXPECT_EQ(pItem->eNAGetItemType(), st.eAfter);
        EXPECT_EQ(pItem->nGetItemSize(), st.nSizeAfter != 0 ? st.nSizeAfter : nOwnSize);
        EXPECT_EQ(Narrow(pItem->pszGetNameInSource()), "e");
        EXPECT_EQ(Narrow(pItem->pszGetSourceName()), "");
        // The HEX and CHAR outputs keep a wide default; the others follow the item's type.
        const unsigned int nDefault =
            st.nOut != 0 ? static_cast<unsigned int>(TQTYPE_PSTRW) : ConverteItemToTQType(st.eAfter, -1);
        EXPECT_EQ(pItem->pclGetDefaultValue(0)->nGetTypeCode(), nDefault);
        // The output's alias is kept as the caption.
        const char* const apszAlias[] = {"s", "h", "c"};
        EXPECT_EQ(Narrow(pItem->pszGetCaption()), apszAlias[st.nOut]);
        if (st.eBefore == NA_IT_DECIMAL) {
            EXPECT_EQ(pItem->nGetIntegerPart() + pItem->nGetDecimalPart(), 0);
        }
        pItem->nRelease();
    }
    CItem* pNone = m_clHand.pDriver()->pclAllocItemDescription();
    pNone->AddRef();
    EXPECT_EQ(pNone->bCompleteDescriptionCalcul(nullptr), 0);
    pNone->nRelease();
}

TEST_F(QueryRecord, ComputedColumnsSearchedInTheQuerysOrder)
{
    CHostSQLParse* pParse = Parse(L"SELECT name, amount + 1 AS s, code FROM q ORDER BY s DESC, name");
    pParse->SetItemType(1, 5);
    CSQLParserInfo* pInfo = Digest(pParse);
    CNARecord* pRecord = RecordOf(pInfo);
    ASSERT_NE(pRecord, nullptr);
    // The query's order first.
    std::string strOrder;
    for (int i = 0; i < pRecord->nGetNbColumnOrder(); i++)
        strOrder += (i > 0 ? "," : "") + Narrow(pRecord->pclGetColumnOrderNoRef(i)->pszGetName());
    EXPECT_EQ(strOrder, "s,name,code");
    CNAColumn* pS = pRecord->pclGetColumnNoRef(L"s");
    CNAColumn* pName = pRecord->pclGetColumnNoRef(L"name");
    ASSERT_NE(pS, nullptr);
    EXPECT_EQ(pS->eGetTypeColonne(), 1);
    EXPECT_EQ(pName->eGetTypeColonne(), 0);
    EXPECT_EQ(CNAExpression::s_eGetSensTriColonne(pRecord, pS), 1);
    EXPECT_EQ(CNAExpression::s_eGetSensTriColonne(pRecord, pName), 0);
    EXPECT_EQ(CNAExpression::s_eGetSensTriColonne(pRecord, pRecord->pclGetColumnNoRef(L"code")), 0);
    // A search on the computed column is written with its expression; going
    // on from it follows the query's descending order.
    CNAExpression* pMaker = Hold(new CNAExpression(m_pError));
    CNAConvertVariant* pCell = Hold(new CNAConvertVariant(m_pError, m_pCnx));
    pCell->InitTypeVariantAny(TQTYPE_I4, 0);
    CAny v;
    Set(v, TQTYPE_I4, 5);
    pCell->bSetValue(&v);
    CNAExpression* pLeaf = Hold(pMaker->pclAllocExpression(NAOP_EQ, pS, pCell, 0));
    auto Text = [&](CNAExpression* p) {
        CNACommand cmd(m_pError, m_pCnx);
        int nConstant = 0;
        EXPECT_EQ(p->bGetSQL(&cmd, NAOP_NONE, nullptr, &nConstant, pRecord), 1) << Narrow(m_pError->pszGetError());
        return Narrow(cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL));
    };
    EXPECT_EQ(Text(pLeaf), "(`q_db`.`amount` + 1 )=5");
    CNAExpression* pNext = pLeaf->pclTransformEqualTo(pRecord, nullptr, NAOP_GT);
    ASSERT_NE(pNext, nullptr);
    EXPECT_EQ(Text(pNext), "(`q_db`.`amount` + 1 )<5");
    // A filter of the host's own condition reads the query's names.
    CNAFilter* pFilter = Hold(new CNAFilter(m_pError, m_pCnx));
    ASSERT_EQ(pFilter->bSetFilter(pRecord, nullptr, nullptr, 1, nullptr, 1,
                                  Parse(L"SELECT * FROM q WHERE s > 3 AND name <> 'x'"), 0),
              1);
    pFilter->ActivateFilter(1);
    CNACommand cmd(m_pError, m_pCnx);
    ASSERT_EQ(pFilter->bGetSQL(&cmd, nullptr, pRecord), 1) << Narrow(m_pError->pszGetError());
    EXPECT_EQ(Narrow(cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL)),
              " (`q_db`.`amount` + 1 ) > 3 AND `q_db`.`name` <> 'x'");
    EXPECT_EQ(pFilter->nGetNbParameter(), 3);
    EXPECT_EQ(cmd.nGetParameterNbr(), 3);
    pFilter->bSetFilter(pRecord, nullptr, nullptr, 1, nullptr, 1, nullptr, 0);
    pInfo->SetRecord(nullptr);
}
