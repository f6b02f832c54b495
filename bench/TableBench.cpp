// The table object's forwarding: bHEnDehors through INATable (the driver
// mutex, the last-hit cache, the error resets) beside the same call made
// on the data access itself, one host context. The team's target is
// within twice the direct time; the ratio is printed when the program ends. bHVersion,
// answered by the data access at once, shows the forwarding alone.
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/table/INATable.h"
#include "access/table/NADataAccess.h"
#include "access/table/NATable.h"
#include "host/HostConnectionDescription.h"
#include "host/HostContext.h"

#include "tests/support/CountingConnection.h"
#include "tests/support/TestHost.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

// A data access whose version answers at once.
class CBenchAccess : public CNADataAccess {
public:
    using CNADataAccess::CNADataAccess;
    int bHVersion(int* pnVersion) override
    {
        *pnVersion = 1;
        return 1;
    }
};

class CBenchDriver : public CNADriver {
public:
    STConnectionCounts m_st;
    CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* pszId,
                                                             INAConnectionDescription* pi) override
    {
        return new CCountingConnection(pszId, pi, &m_st);
    }
    CNADataAccess* pclAllocDataAccess(INADataSourceDescription* pi, CNAConnectionDescription* pcl,
                                      CNAError* pe) override
    {
        return new CBenchAccess(pi, pcl, pe);
    }
};

// One table over a description, its data access made for one context.
struct CSetting {
    CHostConnectionDescription clHost;
    CHostContext clContext{5, 1};
    CBenchDriver* pDriver = nullptr;
    CNATable* pTable = nullptr;
    CNADataAccess* pAccess = nullptr;

    static CSetting& Get()
    {
        static CSetting s;
        return s;
    }
    CSetting()
    {
        TimedHost();
        bInitLibrary(nullptr);
        pDriver = new CBenchDriver;
        pDriver->ExternalAddRef();
        pDriver->bInitDriver();
        CNADriver::s_pclDriver = pDriver;
        clHost.SetText(CHostConnectionDescription::TXT_CONNECTIONNAME, L"bench");
        CNADataSourceDescription* pDescription = new CNADataSourceDescription(nullptr, nullptr);
        pDescription->ExternalAddRef();
        pDescription->SetLogicalName(L"ORDERS");
        pDescription->SetDBName(L"ORDERS");
        pTable = static_cast<CNATable*>(pDriver->piGetTable(&clHost, pDescription));
        pDescription->nExternalRelease();
        // A data access filed for the context, no server needed.
        pTable->bNeedCloseQuery(&clContext, nullptr);
        pAccess = pTable->_pclFindDataAccess(&clContext);
    }
};

// Nanoseconds per call, by name.
std::map<std::string, double>& Times()
{
    static std::map<std::string, double> s;
    return s;
}

struct CRatios {
    CRatios() { Times(); }
    ~CRatios()
    {
        for (const char* psz : {"bHEnDehors", "bHVersion"}) {
            const auto itTable = Times().find(std::string(psz) + "/Table");
            const auto itDirect = Times().find(std::string(psz) + "/Direct");
            if (itTable != Times().end() && itDirect != Times().end() && itDirect->second > 0)
                std::printf("ratio %-12s table / direct = %.2f (%.1f / %.1f ns per call; %s)\n", psz,
                            itTable->second / itDirect->second, itTable->second, itDirect->second,
                            psz[2] == 'E' ? "the team's target 2.00" : "the forwarding alone: table - direct");
        }
    }
} g_clRatios;

template <class F>
void Run(benchmark::State& state, const std::string& strName, F&& fn)
{
    const auto tStart = std::chrono::steady_clock::now();
    for (auto _ : state)
        benchmark::DoNotOptimize(fn());
    const auto tElapsed = std::chrono::steady_clock::now() - tStart;
    const double dCalls = static_cast<double>(state.iterations());
    if (dCalls > 0)
        Times()[strName] = std::chrono::duration<double, std::nano>(tElapsed).count() / dCalls;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_EnDehors_Table(benchmark::State& state)
{
    CSetting& s = CSetting::Get();
    INATable* pi = s.pTable;
    int bOut = 0;
    Run(state, "bHEnDehors/Table", [&] { return pi->bHEnDehors(&s.clContext, L"K", &bOut); });
}

void BM_EnDehors_Direct(benchmark::State& state)
{
    CSetting& s = CSetting::Get();
    int bOut = 0;
    Run(state, "bHEnDehors/Direct", [&] { return s.pAccess->bHEndehors(L"K", &bOut); });
}

void BM_Version_Table(benchmark::State& state)
{
    CSetting& s = CSetting::Get();
    INATable* pi = s.pTable;
    int n = 0;
    Run(state, "bHVersion/Table", [&] { return pi->bHVersion(&s.clContext, &n); });
}

void BM_Version_Direct(benchmark::State& state)
{
    CSetting& s = CSetting::Get();
    int n = 0;
    Run(state, "bHVersion/Direct", [&] { return s.pAccess->bHVersion(&n); });
}

BENCHMARK(BM_EnDehors_Direct);
BENCHMARK(BM_EnDehors_Table);
BENCHMARK(BM_Version_Direct);
BENCHMARK(BM_Version_Table);

} // namespace
