// Host queries built from the input (literals holding backslashes, quotes,
// "#" and line feeds, names in [ ] and " ", parameters, minus signs side by
// side, subqueries) through the host's parse and the rewrite, on a session
// in its default mode and under NO_BACKSLASH_ESCAPES: the text sent, read
// by that session's rules, holds no comment and ends in code, and its
// literals are the host's literals and parameter values, one each, with
// the same values, in order.
#include "access/sql/NACommand.h"
#include "access/sql/SQLParserInfo.h"
#include "host/HostQueryParametersValue.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/support/HandDescriptions.h"
#include "tests/support/ValueCells.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

// What literals and parameter values are made of: what ends, escapes or
// comments a text somewhere.
const wchar_t kAlphabet[] = L"\\'\"`#-/*;{}[]\n\r ab\x00e9";

// A MySQL session's literals, as the client library escapes them in each
// mode.
class CSessionConnection : public CMySQLKindConnection {
public:
    int bBackslashEscapes() override { return m_bBackslash; }
    int _bEscapeString(CNAError*, CTStringConcatAW* pclOut, unsigned short nHostType, unsigned char* pData,
                       unsigned int nSize) override
    {
        // Wide text, or 8-bit text of code page 1252 (the alphabet is in
        // its Latin-1 part).
        std::wstring strValue;
        if (nHostType == 16 || nHostType == 20 || nHostType == 81 || nHostType == 110)
            strValue.assign(reinterpret_cast<const wchar_t*>(pData), nSize / sizeof(wchar_t));
        else
            strValue.assign(pData, pData + nSize);
        std::wstring s = L"'";
        for (const wchar_t c : strValue) {
            if (!m_bBackslash)
                s += c == L'\'' ? L"''" : std::wstring(1, c);
            else if (c == L'\\' || c == L'\'' || c == L'"')
                s += std::wstring(L"\\") + c;
            else
                s += c == L'\n' ? L"\\n" : c == L'\r' ? L"\\r" : std::wstring(1, c);
        }
        s += L"'";
        pclOut->m_clA.m_nLength = 0;
        pclOut->m_clW.m_nLength = 0;
        pclOut->Add(s.c_str(), static_cast<int>(s.size()), 0);
        return 1;
    }
    int m_bBackslash = 1;
};

// The values of the literals of a text as the session reads them, in
// order; quoted names are no literals.
std::vector<std::wstring> SessionLiterals(CNAConnectionDescription* pCnx, const std::wstring& s, bool bBackslash)
{
    int nEnd = CNACommand::TE_CODE;
    const std::vector<unsigned char> tabRead = CNACommand::s_tabReadText(pCnx, s, CNACommand::TR_SESSION, &nEnd);
    FUZZ_CHECK(nEnd == CNACommand::TE_CODE);
    std::vector<std::wstring> tab;
    for (size_t i = 0; i < s.size();) {
        FUZZ_CHECK(tabRead[i] != CNACommand::RM_COMMENT);
        if (tabRead[i] != CNACommand::RM_QUOTED) {
            i++;
            continue;
        }
        const wchar_t cQuote = s[i];
        FUZZ_CHECK(cQuote == L'\'' || cQuote == L'"' || cQuote == L'`');
        std::wstring strValue;
        size_t k = i + 1;
        for (; k < s.size(); k++) {
            if (bBackslash && cQuote != L'`' && s[k] == L'\\' && k + 1 < s.size()) {
                const wchar_t c = s[++k];
                strValue += c == L'n' ? L'\n' : c == L'r' ? L'\r' : c == L'0' ? L'\0' : c;
            } else if (s[k] == cQuote && k + 1 < s.size() && s[k + 1] == cQuote) {
                strValue += s[k++];
            } else if (s[k] == cQuote) {
                break;
            } else {
                strValue += s[k];
            }
        }
        FUZZ_CHECK(k < s.size());
        if (cQuote != L'`')
            tab.push_back(strValue);
        i = k + 1;
    }
    return tab;
}

// A query of the host's language, with the literals and values it holds.
class CQuery {
public:
    CQuery(FuzzedDataProvider& in, CHostQueryParametersValue& clValues) : m_in(in), m_clValues(clValues) {}

    std::wstring Build()
    {
        switch (m_in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            m_s = L"UPDATE t SET name = ";
            Literal();
            if (m_in.ConsumeBool())
                m_s += L", n = n -" + Signs() + L"1";
            Where();
            break;
        case 1:
            m_s = L"DELETE FROM t";
            Where();
            break;
        default:
            m_s = L"SELECT id";
            for (int i = m_in.ConsumeIntegralInRange<int>(0, 3); i > 0; i--)
                Item(i);
            m_s += L" FROM t";
            Where();
            if (m_in.ConsumeBool())
                m_s += m_in.ConsumeBool() ? L" ORDER BY n -" + Signs() + L"1" : std::wstring(L" ORDER BY id DESC");
            if (m_in.ConsumeBool())
                m_s += L" LIMIT " + std::to_wstring(m_in.ConsumeIntegralInRange<int>(1, 9));
            break;
        }
        return m_s;
    }
    std::vector<std::wstring> m_tabExpected;

private:
    std::wstring Text() { return FuzzText<wchar_t>(m_in.ConsumeRandomLengthString(12), kAlphabet, 0x100); }
    // A minus sign, then blanks and another one.
    std::wstring Signs()
    {
        static const wchar_t* const s_apsz[] = {L"-", L"- ", L"-\t", L"-\r", L"-\n", L" -"};
        return s_apsz[m_in.ConsumeIntegralInRange<int>(0, 5)];
    }
    void Literal()
    {
        const std::wstring strValue = Text();
        m_tabExpected.push_back(strValue);
        m_s += L"'";
        for (wchar_t c : strValue)
            m_s += c == L'\'' ? std::wstring(L"''") : std::wstring(1, c);
        m_s += L"'";
    }
    void Parameter()
    {
        const std::wstring strName = L"p" + std::to_wstring(m_nParameter++);
        const std::wstring strValue = Text();
        SetW(m_clValues.Value(strName), strValue.c_str());
        m_tabExpected.push_back(strValue);
        m_s += L"{" + strName + L"}";
    }
    // A name the host quotes, holding any character but its closing mark.
    std::wstring QuotedName(bool bBracket)
    {
        std::wstring s = Text();
        for (wchar_t& c : s)
            if (c == (bBracket ? L']' : L'"') || c == L'\n' || c == L'\r')
                c = L'x';
        return (bBracket ? L"[" : L"\"") + (s.empty() ? std::wstring(L"x") : s) + (bBracket ? L"]" : L"\"");
    }
    void Item(int i)
    {
        switch (m_in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            m_s += L", name";
            break;
        case 1:
            m_s += L", n -" + Signs() + L"1 AS m" + std::to_wstring(i);
            break;
        default:
            m_s += L", CONCAT(name, ";
            Literal();
            m_s += L") AS " + QuotedName(m_in.ConsumeBool());
            break;
        }
    }
    void Where()
    {
        if (!m_in.ConsumeBool())
            return;
        m_s += L" WHERE ";
        Condition(0);
    }
    void Condition(int nDepth)
    {
        Term(nDepth);
        if (nDepth < 3 && m_in.ConsumeBool()) {
            m_s += m_in.ConsumeBool() ? L" AND " : L" OR ";
            Condition(nDepth + 1);
        }
    }
    void Term(int nDepth)
    {
        switch (m_in.ConsumeIntegralInRange<int>(0, 6)) {
        case 0:
            m_s += L"name = ";
            Literal();
            break;
        case 1:
            m_s += L"name <> ";
            Parameter();
            break;
        case 2:
            m_s += L"n -" + Signs() + L"1 > " + std::to_wstring(m_in.ConsumeIntegralInRange<int>(0, 30));
            break;
        case 3:
            Literal();
            m_s += L" <> ";
            Literal();
            break;
        case 4:
            // A subquery: its text is the host's too.
            m_s += L"id = (SELECT MAX(" + QuotedName(true) + L") FROM u WHERE " + QuotedName(false) + L" = 0 -" +
                   Signs() + L"1 AND ";
            Literal();
            m_s += L" <> ";
            Literal();
            m_s += m_in.ConsumeBool() ? L"\n)" : L")";
            break;
        case 5:
            if (nDepth < 3) {
                m_s += L"(";
                Condition(nDepth + 1);
                m_s += L")";
                break;
            }
            [[fallthrough]];
        default:
            m_s += L"id = " + std::to_wstring(m_in.ConsumeIntegralInRange<int>(0, 30));
            break;
        }
    }

    FuzzedDataProvider& m_in;
    CHostQueryParametersValue& m_clValues;
    std::wstring m_s;
    int m_nParameter = 0;
};

// The driver of hand-made tables t and u, made once.
CHandCatalogue& Catalogue()
{
    static CHandCatalogue* s_p = [] {
        BindValueMachine();
        CHandCatalogue* p = new CHandCatalogue;
        typedef CNAItemDescription CItem;
        p->pclAdd(L"t", L"t", {{L"id", NA_IT_I4, CItem::KF_PRIMARY | CItem::KF_UNIQUE, false},
                               {L"name", NA_IT_TEXTE, CItem::KF_DUPLICATES, true},
                               {L"n", NA_IT_I4, 0, true}});
        p->pclAdd(L"u", L"u", {{L"k", NA_IT_I4, CItem::KF_PRIMARY | CItem::KF_UNIQUE, false},
                               {L"tid", NA_IT_I4, 0, true}});
        return p;
    }();
    return *s_p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzBindHost();
    CHandCatalogue& clHand = Catalogue();
    CNAError* pError = clHand.pDriver()->pclGetError();
    FuzzedDataProvider in(data, size);
    CHostQueryParametersValue clValues;
    CQuery clQuery(in, clValues);
    const std::wstring strQuery = clQuery.Build();
    std::unique_ptr<CHostSQLParse> pParse(CHostSQLParse::pParse(strQuery.c_str(), &clHand.m_clCatalogue, &clValues));
    FUZZ_CHECK(pParse != nullptr);
    for (int bBackslash = 0; bBackslash < 2; bBackslash++) {
        CSessionConnection* pCnx = new CSessionConnection;
        pCnx->AddRef();
        pCnx->m_bBackslash = bBackslash;
        CSQLParserInfo* pInfo = new CSQLParserInfo(pError, pParse.get(), &clValues, 0);
        pInfo->AddRef();
        CNACommand* pCommand = new CNACommand(pError, pCnx);
        pCommand->AddRef();
        pError->Reset();
        FUZZ_CHECK(pCommand->bFormatCondition(pInfo, nullptr, 1, 0) && pCommand->bFormatEndOfQuery());
        const wchar_t* psz = pCommand->pszGetFormatedSQLW(CNACommand::PTC_ALL);
        FUZZ_CHECK(psz != nullptr);
        FUZZ_CHECK(SessionLiterals(pCnx, psz, bBackslash != 0) == clQuery.m_tabExpected);
        pCommand->nRelease();
        pInfo->nRelease();
        pCnx->nRelease();
    }
    return 0;
}
