#include "common/text/StringParameter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The value read without removing, "<absent>" when not found.
std::wstring Get(const wchar_t* pszText, const wchar_t* pszName)
{
    CTString clText(pszText);
    CTString clValue(L"stale");
    int bFound = -1;
    EXPECT_EQ(CStringParameter::s_bGetParameterValue(&clValue, &bFound, &clText, pszName, 0), 1);
    EXPECT_STREQ(clText.pszGet(), pszText) << "read without removing changed the text";
    EXPECT_EQ(CStringParameter::s_bParameterDefined(&clText, pszName), bFound == 1);
    if (bFound != 1) {
        EXPECT_STREQ(clValue.pszGet(), L"");
        return L"<absent>";
    }
    return clValue.pszGet();
}

// What remains of the text once the item is cut out.
std::wstring Remove(const wchar_t* pszText, const wchar_t* pszName)
{
    CTString clText(pszText);
    CTString clValue;
    int bFound = -1;
    CStringParameter::s_bGetParameterValue(&clValue, &bFound, &clText, pszName, 1);
    return clText.pszGet();
}

std::wstring Replace(const wchar_t* pszText, const wchar_t* pszValue, const wchar_t* pszName)
{
    CTString clText(pszText);
    EXPECT_EQ(CStringParameter::s_bReplaceParameterValue(&clText, pszValue, pszName), 1);
    return clText.pszGet();
}

struct Row {
    const wchar_t *text, *name, *expected;
};

}  // namespace

TEST(StringParameter, FindsWholeNamesWithoutCaseAndTrimsValue)
{
    const Row rows[] = {
        {L"Server = host ;User=me", L"SERVER", L"host"},
        {L"A=  x y  ;B=2", L"a", L"x y"},
        // No quoting: a ";" always ends the value.
        {L"PWD='a;b';X=1", L"PWD", L"'a"},
        {L"\u00E9t\u00E9=1", L"\u00C9T\u00C9", L"1"},
        {L"A=USER=3; USER=4", L"user", L"4"},
        {L"USERNAME=x", L"USER", L"<absent>"},
        // A name that is not followed by "=" does not count; the search goes on.
        {L"A;B=2", L"A", L"<absent>"},
        {L"A x=1;A=5", L"A", L"5"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(Get(r.text, r.name), r.expected) << r.text << " / " << r.name;
    EXPECT_FALSE(CStringParameter::s_bParameterDefined(nullptr, L"A"));
    CTString clText(L"A=1");
    EXPECT_FALSE(CStringParameter::s_bParameterDefined(&clText, L""));
}

TEST(StringParameter, RemovesWithSeparatorsReplacesOrAppends)
{
    const Row removals[] = {{L"A=1;B=2", L"B", L"A=1;"}, {L"B=2 ; A=1 ;; C=3", L"A", L"B=2 ;C=3"},
                            {L" ; A=1", L"A", L""}, {L"DBUSER=x;USER=y", L"USER", L"DBUSER=x;"}};
    for (const Row& r : removals)
        EXPECT_EQ(Remove(r.text, r.name), r.expected) << r.text << " / " << r.name;

    EXPECT_EQ(Replace(L"", L"v", L"N"), L"N=v");
    EXPECT_EQ(Replace(L"A=;B=2", L"z", L"a"), L"A=z;B=2");  // empty value
    EXPECT_EQ(Replace(L"A = old value ;B=2", L"new", L"A"), L"A = new;B=2");
    EXPECT_EQ(Replace(L"DBUSER=x", L"v", L"USER"), L"DBUSER=x;USER=v");
}

TEST(StringParameter, ObjectSetsReadsAndWritesBack)
{
    CStringParameter param(L"NAME");
    param.SetParameterValue(L"  abc  ", -1);
    EXPECT_STREQ(param.m_clValue.pszGet(), L"  abc");
    param.SetParameterValue(L"ab", 10);
    EXPECT_STREQ(param.m_clValue.pszGet(), L"ab");
    CTString clText(L"X=1");
    EXPECT_EQ(param.bCompleteConnectionString(&clText), 1);
    EXPECT_STREQ(clText.pszGet(), L"X=1;NAME=ab");

    param.SetParameterValue(nullptr, -1);
    EXPECT_EQ(param.m_bDefined, 0);
    CTString clUnchanged(L"X=1");
    EXPECT_EQ(param.bCompleteConnectionString(&clUnchanged), 1);
    EXPECT_STREQ(clUnchanged.pszGet(), L"X=1");

    param.SetParameterValueRep(L"/tmp/dir", -1);
    EXPECT_STREQ(param.m_clValue.pszGet(), L"/tmp/dir\\");

    CTString clConnection(L"Server=h; name = me ;Port=1");
    EXPECT_EQ(param.bInitParameterValue(&clConnection, 1), 1);
    EXPECT_STREQ(param.m_clValue.pszGet(), L"me");
    EXPECT_STREQ(clConnection.pszGet(), L"Server=h;Port=1");
    EXPECT_EQ(param.bInitParameterValue(&clConnection, 1), 1);
    EXPECT_EQ(param.m_bDefined, 0);
}
