// Keys of the connection registry: what the server reads with case (the
// user, the password, the default database, option values such as paths)
// compares exactly, host and connection names and option names ignoring
// case and accents, and no text inside a field can pass for a separator or
// for a missing value.
#include "access/driver/NADriverLock.h"
#include "access/driver/NaDriver.h"
#include "host/HostConnectionDescription.h"
#include "tests/support/CountingConnection.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

typedef CHostConnectionDescription CHost;

class CCountingDriver : public CNADriver {
public:
    explicit CCountingDriver(STConnectionCounts* pst) : m_pst(pst) {}
    CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* pszId,
                                                             INAConnectionDescription* pi) override
    {
        return new CCountingConnection(pszId, pi, m_pst);
    }

private:
    STConnectionCounts* m_pst;
};

// The fields of a host description, null for a missing one.
struct STFields {
    const wchar_t* pszName = L"main";
    const wchar_t* pszProvider = L"MySQL";
    const wchar_t* pszExtended = L"";
    const wchar_t* pszSource = L"127.0.0.1";
    const wchar_t* pszUser = L"zt";
    const wchar_t* pszPassword = L"zt-test";
    const wchar_t* pszDatabase = nullptr;
};

std::unique_ptr<CHost> Host(const STFields& st)
{
    std::unique_ptr<CHost> p(new CHost);
    p->SetText(CHost::TXT_CONNECTIONNAME, st.pszName);
    p->SetText(CHost::TXT_PROVIDER, st.pszProvider);
    p->SetText(CHost::TXT_EXTENDEDINFO, st.pszExtended);
    p->SetText(CHost::TXT_DATASOURCE, st.pszSource);
    p->SetText(CHost::TXT_USER, st.pszUser);
    p->SetText(CHost::TXT_PASSWORD, st.pszPassword);
    if (st.pszDatabase != nullptr)
        p->SetText(CHost::TXT_DEFAULTDATABASE, st.pszDatabase);
    return p;
}

class CnxIdentification : public testing::Test {
protected:
    void SetUp() override
    {
        bInitLibrary(nullptr);
        m_pDriver = new CCountingDriver(&m_st);
        m_pDriver->ExternalAddRef();
        ASSERT_EQ(m_pDriver->bInitDriver(), 1);
    }
    void TearDown() override
    {
        EXPECT_EQ(m_pDriver->nExternalRelease(), 0);
        EXPECT_EQ(m_st.nDestroyed, m_st.nMade);
    }
    std::wstring Ident(const STFields& st)
    {
        CTString cl;
        EXPECT_EQ(m_pDriver->bBuildCnxIdentification(&cl, Host(st).get()), 1);
        return cl.pszGet();
    }

    STConnectionCounts m_st;
    CCountingDriver* m_pDriver = nullptr;
};

} // namespace

TEST_F(CnxIdentification, OnlyTheSameCredentialsShareAConnection)
{
    struct { const char* pszRow; STFields stA; STFields stB; bool bShared; } tab[6 + 5 + 11];
    int n = 0;
    tab[n] = {"the same twice", {}, {}, true}, n++;
    tab[n] = {"name in another case", {}, {}, true};
    tab[n].stB.pszName = L"MAIN", n++;
    tab[n] = {"data source in another case", {}, {}, true};
    tab[n].stA.pszSource = L"Élan", tab[n].stB.pszSource = L"ELAN", n++;
    tab[n] = {"user in another case", {}, {}, false};
    tab[n].stB.pszUser = L"ZT", n++;
    tab[n] = {"password in another case", {}, {}, false};
    tab[n].stB.pszPassword = L"ZT-TEST", n++;
    tab[n] = {"password with an accent", {}, {}, false};
    tab[n].stA.pszPassword = L"é", tab[n].stB.pszPassword = L"e", n++;
    tab[n] = {"separator moved between user and password", {}, {}, false};
    tab[n].stA.pszUser = L"u;password=p", tab[n].stA.pszPassword = L"q";
    tab[n].stB.pszUser = L"u", tab[n].stB.pszPassword = L"p;password=q", n++;
    tab[n] = {"separator moved between name and provider", {}, {}, false};
    tab[n].stA.pszName = L"c;Provider=p", tab[n].stA.pszProvider = L"q";
    tab[n].stB.pszName = L"c", tab[n].stB.pszProvider = L"p;Provider=q", n++;
    tab[n] = {"missing password and the password NULL", {}, {}, false};
    tab[n].stA.pszPassword = nullptr, tab[n].stB.pszPassword = L"NULL", n++;
    tab[n] = {"missing provider and the provider null", {}, {}, false};
    tab[n].stA.pszProvider = nullptr, tab[n].stB.pszProvider = L"null", n++;
    tab[n] = {"an escape written out against its character", {}, {}, false};
    tab[n].stA.pszPassword = L"a%3Bb", tab[n].stB.pszPassword = L"a;b", n++;
    tab[n] = {"default databases apart", {}, {}, false};
    tab[n].stA.pszDatabase = L"shop", tab[n].stB.pszDatabase = L"stock", n++;
    tab[n] = {"default database against none", {}, {}, false};
    tab[n].stA.pszDatabase = L"shop", n++;
    tab[n] = {"default database in another case", {}, {}, false};
    tab[n].stA.pszDatabase = L"shop", tab[n].stB.pszDatabase = L"SHOP", n++;
    tab[n] = {"the same default database", {}, {}, true};
    tab[n].stA.pszDatabase = L"shop", tab[n].stB.pszDatabase = L"shop", n++;
    tab[n] = {"Initial Catalog in another case", {}, {}, false};
    tab[n].stA.pszExtended = L"Initial Catalog=shop", tab[n].stB.pszExtended = L"Initial Catalog=SHOP", n++;
    tab[n] = {"option name in another case", {}, {}, true};
    tab[n].stA.pszExtended = L"Initial Catalog=shop;SSL Mode=REQUIRED";
    tab[n].stB.pszExtended = L"initial catalog=shop;ssl mode=REQUIRED", n++;
    tab[n] = {"socket path in another case", {}, {}, false};
    tab[n].stA.pszExtended = L"Unix Socket=/run/db.sock", tab[n].stB.pszExtended = L"Unix Socket=/run/DB.sock", n++;
    tab[n] = {"CA file with an accent", {}, {}, false};
    tab[n].stA.pszExtended = L"SSL Mode=VERIFY_CA;SSL CA=/etc/ca\u00E9.pem";
    tab[n].stB.pszExtended = L"SSL Mode=VERIFY_CA;SSL CA=/etc/cae.pem", n++;
    tab[n] = {"a value moved to the next option", {}, {}, false};
    tab[n].stA.pszExtended = L"A=x;B=", tab[n].stB.pszExtended = L"A=;B=x", n++;
    tab[n] = {"Initial Catalog of the provider in another case", {}, {}, false};
    tab[n].stA.pszProvider = L"MySQL;Initial Catalog=shop", tab[n].stB.pszProvider = L"MySQL;Initial Catalog=Shop", n++;
    tab[n] = {"a literal escape in an option value", {}, {}, false};
    tab[n].stA.pszExtended = L"A=%3D", tab[n].stB.pszExtended = L"A==", n++;
    ASSERT_EQ(n, static_cast<int>(sizeof(tab) / sizeof(tab[0])));

    for (const auto& t : tab) {
        SCOPED_TRACE(t.pszRow);
        const int nMadeBefore = m_st.nMade;
        std::unique_ptr<CHost> pA = Host(t.stA);
        std::unique_ptr<CHost> pB = Host(t.stB);
        CNADriverLock clLock;
        CNAConnectionDescription* p1 = m_pDriver->_pclGetConnection(pA.get());
        CNAConnectionDescription* p2 = m_pDriver->_pclGetConnection(pB.get());
        ASSERT_NE(p1, nullptr);
        ASSERT_NE(p2, nullptr);
        EXPECT_EQ(p1 == p2, t.bShared);
        EXPECT_EQ(m_st.nMade - nMadeBefore, t.bShared ? 1 : 2);
        EXPECT_EQ(m_pDriver->nGetNbConnection(), t.bShared ? 1u : 2u);
        // Each connection is found again under its own description.
        CNAConnectionDescription* p3 = m_pDriver->_pclGetConnection(pB.get());
        EXPECT_EQ(p3, p2);
        m_pDriver->nReleaseConnection(p3);
        m_pDriver->nReleaseConnection(p1);
        m_pDriver->nReleaseConnection(p2);
        EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
    }
}

TEST_F(CnxIdentification, FieldsAreWrittenWithTheirSeparatorsEscaped)
{
    STFields st;
    st.pszExtended = L"SSL Mode=REQUIRED;Server Port=3306";
    st.pszUser = L"50%";
    st.pszPassword = L"Null";
    st.pszDatabase = L"Sh;op";
    EXPECT_EQ(Ident(st), L"Connection=main;Provider=MySQL;ExtendedInformation=SSL Mode%3DREQUIRED%3BServer "
                         L"Port%3D3306;Data source=127.0.0.1;user id=50%25;password=%4Eull;access=RW;"
                         L"Default database=Sh%3Bop");
    st.pszDatabase = nullptr;
    st.pszPassword = nullptr;
    st.pszName = nullptr;
    EXPECT_EQ(Ident(st).substr(0, 21), L"Connection=;Provider=");
    EXPECT_NE(Ident(st).find(L";password=NULL;access=RW;Default database=NULL"), std::wstring::npos);

    CTString cl;
    m_pDriver->bBuildTableIdentification(&cl, L"t;x=1", L"Connection=c");
    EXPECT_STREQ(cl.pszGet(), L"Table=t%3Bx%3D1;Connection=c");
}
