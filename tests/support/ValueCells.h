// Items, connections, error objects and cells for the value cell tests, with
// the stand-in's value machine (conversions, operators, decimals) bound.
#pragma once

#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "common/values/AnyConvert.h"
#include "common/values/NACnvVariant.h"
#include "host/HostStandIn.h"
#include "host/ValueMachine.h"
#include "tests/support/AnyValue.h"
#include "tests/support/ClosedConnection.h"
#include "tests/support/TestHost.h"
#include "tests/support/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <string>
#include <vector>

inline void* StandIn()
{
    static void* h = dlopen(BuildPath(HOSTSTANDIN_LIBRARY).c_str(), RTLD_NOW | RTLD_LOCAL);
    return h;
}

inline void BindValueMachine()
{
    TestHost();
    ASSERT_NE(StandIn(), nullptr);
    ASSERT_EQ(bInitTQConvFromVM(StandIn(), 2, 2), 1);
    ASSERT_EQ(bInitTQCalcFromVM(StandIn(), 2, 2), 1);
}

inline IHostValueMachine& Machine()
{
    void* p = dlsym(StandIn(), HOSTVM_CONTROL_ENTRY);
    PFN_HOSTVM_CONTROL pfn;
    std::memcpy(&pfn, &p, sizeof(p));
    return *pfn();
}

// Neither host blocks nor decimal objects outlive the scope.
class CNoLeak {
public:
    CNoLeak() : m_nDecimals(Machine().nLiveDecimals()) {}
    ~CNoLeak() { EXPECT_EQ(Machine().nLiveDecimals(), m_nDecimals) << "decimal objects leaked"; }

private:
    CLiveBlockCheck m_check;
    int m_nDecimals;
};

// A heap description kept by one internal reference (external ones watched).
class CTestItem : public CNAItemDescription {
public:
    CTestItem(eNA_ITEMTYPE eType, unsigned int nSize, int nInteger, int nDecimal)
    {
        m_eItemType = eType;
        m_nItemSize = nSize;
        m_nDimension = 1;
        m_nIntegerPart = nInteger;
        m_nDecimalPart = nDecimal;
        m_nOffsetBase = 0;
        m_csName.Set(L"ITEM");
        m_csSourceName.Set(L"TABLE");
        AddRef();
    }
    void SetPhysical(int n) { m_nPhysicalIndice = n; }
};

struct Releaser {
    void operator()(CNAItemDescription* p) const { p->nRelease(); }
    void operator()(CNAError* p) const { p->nRelease(); }
};
typedef std::unique_ptr<CTestItem, Releaser> ItemPtr;
typedef std::unique_ptr<CNAError, Releaser> ErrorPtr;

inline ItemPtr Item(eNA_ITEMTYPE eType, unsigned int nSize = 0, int nInteger = 0, int nDecimal = 0)
{
    return ItemPtr(new CTestItem(eType, nSize, nInteger, nDecimal));
}

inline ErrorPtr NewError()
{
    CNAError* p = new CNAError;
    p->AddRef();
    return ErrorPtr(p);
}

// A connection with given host and server code pages and database kind.
class CTestConnection : public CClosedConnection {
public:
    CTestConnection(int nHostCodePage, int nCnxCodePage, int nSource = DS_GENERIC)
    {
        m_nHostCodePage = nHostCodePage;
        m_nCnxCodePage = nCnxCodePage;
        m_eDataSource = static_cast<eDATASOURCE>(nSource);
    }
};

// One reference held for a scope.
template <class T>
struct SHeld {
    T* p;
    explicit SHeld(T* pNew) : p(pNew) { p->AddRef(); }
    ~SHeld() { p->nRelease(); }
    SHeld(const SHeld&) = delete;
    SHeld& operator=(const SHeld&) = delete;
    T* operator->() const { return p; }
    operator T*() const { return p; }
};

// A cell whose fields the tests may read and set.
class CCell : public CNAConvertVariant {
public:
    explicit CCell(CNAError* pError = nullptr, CNAConnectionDescription* pCnx = nullptr)
        : CNAConvertVariant(pError, pCnx) {}
    int nStateDB() const { return m_nStateBufferDB; }
    void SetStateDB(int n) { m_nStateBufferDB = n; }
    unsigned int nLength() const { return m_nLength; }
    unsigned char* pbyBufferDB() const { return m_pbyBufferDB; }
    unsigned int nLengthDB() const { return m_nLengthDB; }
    int bChanged() const { return m_bChanged; }
    void MarkChanged() { m_bChanged = 1; }
    void SetDateFormat(const wchar_t* psz) { m_pszDateFormat = psz; }
    // Not read yet, NULL as a column leaves it.
    void SetUnread() { m_clValue.SetNullFlag(true); m_eVarType = NA_VAR_UNREADYET; }
};

typedef std::vector<unsigned char> Bytes;

// A cell over an element of exactly nSize bytes of 0xEE, item on both sides.
inline void BindBuffer(CCell& c, Bytes& b, unsigned nSize, CTestItem* pItem)
{
    b.assign(nSize, 0xEE);
    c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), nSize, TQTYPE_VIDE);
    c.SetItemDesc(pItem, pItem);
}

inline std::string Text8(const CAny& v)
{
    const char* psz = nullptr;
    v.pclGetTraitement()->nGetPCASTR(&psz);
    return psz != nullptr ? psz : "";
}

inline std::wstring TextW(const CAny& v)
{
    const wchar_t* psz = nullptr;
    v.pclGetTraitement()->nGetPCWSTR(&psz);
    return psz != nullptr ? psz : L"";
}

// The useful bytes of a host value (a text without its terminator).
inline Bytes DataBytes(const CAny& v)
{
    void* p = nullptr;
    unsigned int n = 0;
    v.pclGetTraitement()->nGetDataAdr(&p);
    v.pclGetTraitement()->nGetUtilDataSize(&n);
    const unsigned char* pby = static_cast<const unsigned char*>(p);
    return p != nullptr ? Bytes(pby, pby + n) : Bytes();
}

// A host text of type 19 or 16.
inline void SetA(CAny& v, const char* psz)
{
    v.__SetType(TQTYPE_DSTRA, 0);
    v.pclGetTraitement()->SetValue(psz, static_cast<unsigned>(std::strlen(psz)));
}

inline void SetW(CAny& v, const wchar_t* psz)
{
    v.__SetType(TQTYPE_DSTRW, 0);
    v.pclGetTraitement()->SetValue(psz, static_cast<unsigned>(std::wcslen(psz) * sizeof(wchar_t)));
}

// The bytes of x.
template <class T>
Bytes Of(const T& x)
{
    Bytes b(sizeof(x));
    std::memcpy(b.data(), &x, sizeof(x));
    return b;
}

// n bytes: those of s, then zeros.
inline Bytes Padded(const std::string& s, std::size_t n)
{
    Bytes b(n, 0);
    std::memcpy(b.data(), s.data(), std::min(s.size(), n));
    return b;
}

// The 8-byte date-time: day | month << 8 | year << 16, then milliseconds.
inline Bytes DateTimeBytes(unsigned y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s, unsigned ms)
{
    const std::uint32_t aw[2] = {d | (mo << 8) | (y << 16), ((h * 60 + mi) * 60 + s) * 1000 + ms};
    Bytes b(8);
    std::memcpy(b.data(), aw, 8);
    return b;
}
