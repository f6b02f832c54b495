#include "common/text/StringParameter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Lu {
    int bFound;
    std::wstring strValue;
};

Lu Get(const wchar_t* pszText, const wchar_t* pszName)
{
    CTString clText(pszText);
    CTString clValue(L"stale");
    Lu lu = {-1, L""};
    EXPECT_EQ(CStringParameter::s_bGetParameterValue(&clValue, &lu.bFound, &clText, pszName, 0), 1);
    EXPECT_STREQ(clText.pszGet(), pszText) << "read without removing changed the text";
    EXPECT_EQ(CStringParameter::s_bParameterDefined(&clText, pszName), lu.bFound == 1);
    lu.strValue = clValue.pszGet();
    return lu;
}

// What remains of the text once the item is cut out.
std::wstring Remove(const wchar_t* pszText, const wchar_t* pszName, std::wstring* pstrValue = nullptr)
{
    CTString clText(pszText);
    CTString clValue;
    int bFound = -1;
    CStringParameter::s_bGetParameterValue(&clValue, &bFound, &clText, pszName, 1);
    if (pstrValue != nullptr)
        *pstrValue = clValue.pszGet();
    return clText.pszGet();
}

std::wstring Replace(const wchar_t* pszText, const wchar_t* pszValue, const wchar_t* pszName)
{
    CTString clText(pszText);
    EXPECT_EQ(CStringParameter::s_bReplaceParameterValue(&clText, pszValue, pszName), 1);
    return clText.pszGet();
}

}  // namespace

TEST(StringParameter, FindsItemWithoutCaseAndTrimsValue)
{
    Lu lu = Get(L"Server = host ;User=me", L"SERVER");
    EXPECT_EQ(lu.bFound, 1);
    EXPECT_EQ(lu.strValue, L"host");
    EXPECT_EQ(Get(L"Server = host ;User=me", L"user").strValue, L"me");
    // Blanks inside a value and after the equals sign.
    EXPECT_EQ(Get(L"A=  x y  ;B=2", L"a").strValue, L"x y");
    // No quoting: a ";" always ends the value.
    EXPECT_EQ(Get(L"PWD='a;b';X=1", L"PWD").strValue, L"'a");
    // Several items of one name: the first wins.
    EXPECT_EQ(Get(L"A=1;A=2", L"A").strValue, L"1");
    EXPECT_EQ(Get(L"\u00E9t\u00E9=1", L"\u00C9T\u00C9").strValue, L"1");
}

TEST(StringParameter, MatchesWholeNamesOnly)
{
    EXPECT_EQ(Get(L"DBUSER=x;USER=y", L"USER").strValue, L"y");
    EXPECT_EQ(Get(L"DBUSER=x;USER=y", L"DBUSER").strValue, L"x");
    EXPECT_EQ(Get(L"A=USER=3; USER=4", L"user").strValue, L"4");
    EXPECT_EQ(Get(L"DBUSER=x", L"USER").bFound, 0);
    EXPECT_EQ(Get(L"USERNAME=x", L"USER").bFound, 0);
    // A name that is not followed by "=" does not count; the search goes on.
    EXPECT_EQ(Get(L"A;B=2", L"A").bFound, 0);
    EXPECT_EQ(Get(L"A;B=2", L"A").strValue, L"");
    EXPECT_EQ(Get(L"A x=1;A=5", L"A").strValue, L"5");
}

TEST(StringParameter, Positions)
{
    CTString clText(L"X=1; Y = abc ;Z=");
    int nName = 7, nStart = 7, nEnd = 7;
    ASSERT_TRUE(CStringParameter::_s_bGetParameterPos(nName, nStart, nEnd, &clText, L"y"));
    EXPECT_EQ(nName, 5);
    EXPECT_EQ(nStart, 9);
    EXPECT_EQ(nEnd, 12);
    // An empty value, at the end and before a ";".
    ASSERT_TRUE(CStringParameter::_s_bGetParameterPos(nName, nStart, nEnd, &clText, L"Z"));
    EXPECT_EQ(nName, 14);
    EXPECT_EQ(nStart, 16);
    EXPECT_EQ(nEnd, 15);
    CTString clVide(L"A=;B=1");
    ASSERT_TRUE(CStringParameter::_s_bGetParameterPos(nName, nStart, nEnd, &clVide, L"A"));
    EXPECT_EQ(nStart, 2);
    EXPECT_EQ(nEnd, 1);
    Lu lu = Get(L"A=", L"A");
    EXPECT_EQ(lu.bFound, 1);
    EXPECT_EQ(lu.strValue, L"");

    EXPECT_FALSE(CStringParameter::_s_bGetParameterPos(nName, nStart, nEnd, &clText, L"W"));
    EXPECT_EQ(nName, 0);
    EXPECT_EQ(nStart, -1);
    EXPECT_EQ(nEnd, -1);
    CTString clEmpty;
    EXPECT_FALSE(CStringParameter::_s_bGetParameterPos(nName, nStart, nEnd, &clEmpty, L"A"));
    EXPECT_FALSE(CStringParameter::_s_bGetParameterPos(nName, nStart, nEnd, nullptr, L"A"));
    EXPECT_FALSE(CStringParameter::_s_bGetParameterPos(nName, nStart, nEnd, &clText, L""));
}

TEST(StringParameter, RemovesItemWithItsSeparators)
{
    std::wstring strValue;
    EXPECT_EQ(Remove(L"A=1;B=2", L"A", &strValue), L"B=2");
    EXPECT_EQ(strValue, L"1");
    EXPECT_EQ(Remove(L"A=1;B=2", L"B", &strValue), L"A=1;");
    EXPECT_EQ(strValue, L"2");
    EXPECT_EQ(Remove(L"A=1 ; ;B=2", L"A"), L"B=2");
    EXPECT_EQ(Remove(L"B=2; A=1", L"a"), L"B=2;");
    EXPECT_EQ(Remove(L"B=2 ; A=1 ;; C=3", L"A"), L"B=2 ;C=3");
    EXPECT_EQ(Remove(L" ; A=1", L"A"), L"");
    EXPECT_EQ(Remove(L"A=1", L"A"), L"");
    EXPECT_EQ(Remove(L"A=1;B=2", L"C", &strValue), L"A=1;B=2");
    EXPECT_EQ(strValue, L"");
    EXPECT_EQ(Remove(L"DBUSER=x;USER=y", L"USER"), L"DBUSER=x;");
}

TEST(StringParameter, ReplacesOrAppends)
{
    EXPECT_EQ(Replace(L"USER=bob;PASS=x", L"al", L"USER"), L"USER=al;PASS=x");
    EXPECT_EQ(Replace(L"", L"v", L"N"), L"N=v");
    EXPECT_EQ(Replace(L"A=1", L"v", L"N"), L"A=1;N=v");
    EXPECT_EQ(Replace(L"A=;B=2", L"z", L"a"), L"A=z;B=2");
    EXPECT_EQ(Replace(L"A = old value ;B=2", L"new", L"A"), L"A = new;B=2");
    EXPECT_EQ(Replace(L"DBUSER=x", L"v", L"USER"), L"DBUSER=x;USER=v");
}

TEST(StringParameter, ObjectSetsReadsAndWritesBack)
{
    CStringParameter param(L"NAME");
    EXPECT_EQ(param.m_bDefined, 0);
    param.SetParameterValue(L"  abc  ", -1);
    EXPECT_STREQ(param.m_clValue.pszGet(), L"  abc");
    EXPECT_EQ(param.m_bDefined, 1);
    param.SetParameterValue(L"abcdef", 3);
    EXPECT_STREQ(param.m_clValue.pszGet(), L"abc");
    param.SetParameterValue(L"ab", 10);
    EXPECT_STREQ(param.m_clValue.pszGet(), L"ab");

    CTString clText(L"X=1");
    EXPECT_EQ(param.bCompleteConnectionString(&clText), 1);
    EXPECT_STREQ(clText.pszGet(), L"X=1;NAME=ab");
    CTString clEmpty;
    param.bCompleteConnectionString(&clEmpty);
    EXPECT_STREQ(clEmpty.pszGet(), L"NAME=ab");

    param.SetParameterValue(nullptr, -1);
    EXPECT_EQ(param.m_bDefined, 0);
    EXPECT_STREQ(param.m_clValue.pszGet(), L"");
    CTString clUnchanged(L"X=1");
    EXPECT_EQ(param.bCompleteConnectionString(&clUnchanged), 1);
    EXPECT_STREQ(clUnchanged.pszGet(), L"X=1");

    param.SetParameterValueRep(L"/tmp/dir", -1);
    EXPECT_STREQ(param.m_clValue.pszGet(), L"/tmp/dir\\");
    param.SetParameterValueRep(L"c:\\dir\\", -1);
    EXPECT_STREQ(param.m_clValue.pszGet(), L"c:\\dir\\");
    param.SetParameterValueRep(L"", -1);
    EXPECT_STREQ(param.m_clValue.pszGet(), L"");
    EXPECT_EQ(param.m_bDefined, 1);

    CTString clConnection(L"Server=h; name = me ;Port=1");
    EXPECT_EQ(param.bInitParameterValue(&clConnection, 1), 1);
    EXPECT_EQ(param.m_bDefined, 1);
    EXPECT_STREQ(param.m_clValue.pszGet(), L"me");
    EXPECT_STREQ(clConnection.pszGet(), L"Server=h;Port=1");
    EXPECT_EQ(param.bInitParameterValue(&clConnection, 1), 1);
    EXPECT_EQ(param.m_bDefined, 0);
    EXPECT_STREQ(param.m_clValue.pszGet(), L"");
    EXPECT_STREQ(clConnection.pszGet(), L"Server=h;Port=1");
}
