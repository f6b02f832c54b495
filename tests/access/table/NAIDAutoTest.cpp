// The automatic identifier's life: both internal queries given back by the
// destructor and by their closing operations; the values themselves answer
// user error 8 of kind 7 until the writes are built.
#include "access/table/NAIDAuto.h"

#include "access/driver/NAError.h"
#include "access/table/NAInternalParse.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"
#include "common/text/XYStringConcat.h"
#include "common/values/Any.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// An internal query that counts its end.
class CCountedQuery : public CNAInternalParse {
public:
    explicit CCountedQuery(int* pnDestroyed) : CNAInternalParse(nullptr, nullptr), m_pnDestroyed(pnDestroyed)
    {
        m_nRefCount = 1;
    }
    ~CCountedQuery() override { (*m_pnDestroyed)++; }

private:
    int* m_pnDestroyed;
};

// The two fields planted.
class CPlanted : public CNAIDAuto {
public:
    void Plant(CNAInternalParse* pNext, CNAInternalParse* pMax)
    {
        m_pclNextValueQuery = pNext;
        m_pclMaxCurrentValueQuery = pMax;
    }
    bool bEmpty() const { return m_pclNextValueQuery == nullptr && m_pclMaxCurrentValueQuery == nullptr; }
};

std::string Point(CNAError* p)
{
    const wchar_t* psz = p->pclGetXError()->pszGetDebugMessage();
    const std::wstring s = psz != nullptr ? psz : L"";
    const size_t n = s.find(L"IEDUZARO=");
    if (n == std::wstring::npos)
        return "-";
    std::string str;
    for (size_t i = n + 9; i < s.size() && s[i] != L'\r'; i++)
        str += static_cast<char>(s[i]);
    return str;
}

} // namespace

TEST(NAIDAuto, DestructorAndClosingGiveTheQueriesBack)
{
    int nDestroyed = 0;
    CPlanted* p = new CPlanted;
    p->AddRef();
    p->Plant(new CCountedQuery(&nDestroyed), new CCountedQuery(&nDestroyed));
    p->_CloseInternalParseNextValue();
    EXPECT_EQ(nDestroyed, 1);
    p->_CloseInternalParseNextValue();
    EXPECT_EQ(nDestroyed, 1) << "nothing left to close";
    p->_CloseInternalParseMaxCurrentValue();
    EXPECT_EQ(nDestroyed, 2);
    EXPECT_TRUE(p->bEmpty());
    p->Plant(new CCountedQuery(&nDestroyed), new CCountedQuery(&nDestroyed));
    EXPECT_EQ(p->nRelease(), 0u);
    EXPECT_EQ(nDestroyed, 4) << "the destructor closes both";
}

TEST(NAIDAuto, ValuesNotBuiltYet)
{
    CNAIDAuto* p = new CNAIDAuto;
    p->AddRef();
    CNAError* pError = new CNAError;
    pError->AddRef();
    CAny v;
    CXYStringConcat<wchar_t> clText;
    struct SRow {
        const char* pszPoint;
        std::function<int()> call;
    };
    const std::vector<SRow> aRows = {
        {"14.2", [&] { return p->bGetNextValue(nullptr, nullptr, pError, &v); }},
        {"14.3", [&] { return p->bGetMaxCurrentValue(nullptr, nullptr, pError, &v); }},
        {"14.6",
         [&] {
             p->_PrefixMessageErreur(pError, nullptr, nullptr);
             return 0;
         }},
    };
    for (const SRow& r : aRows) {
        SCOPED_TRACE(r.pszPoint);
        pError->Reset();
        EXPECT_EQ(r.call(), 0);
        EXPECT_EQ(pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NOT_OFFERED));
        EXPECT_EQ(pError->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED);
        EXPECT_EQ(Point(pError), r.pszPoint);
    }
    // Without a data access the builders have no error to fill: 0 all the same.
    EXPECT_EQ(p->_bBuildQueryGetNextValue(&clText, nullptr, nullptr), 0);
    EXPECT_EQ(p->_bBuildQueryGetMaxCurrentValue(&clText, nullptr, nullptr), 0);
    EXPECT_EQ(p->bGetNextValue(nullptr, nullptr, nullptr, &v), 0);
    EXPECT_EQ(p->nRelease(), 0u);
    pError->nRelease();
}
