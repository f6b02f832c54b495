// The formatted SQL of a ten-parameter command beside a plain std::wstring
// assembly of the same literals; record buffer stores and reads beside
// memcpy of the same bytes. Commands, cells and records are made once,
// outside the timed loops.
#include "access/sql/NACommand.h"
#include "access/statement/NAKXRecord.h"

#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "common/values/AnyConvert.h"
#include "common/values/NACnvVariant.h"

#include "tests/support/ClosedConnection.h"
#include "tests/support/TestHost.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

bool bBoundForCommands()
{
    static const bool s_bBound = [] {
        TimedHost();
        void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        return h != nullptr && bInitTQConvFromVM(h, 2, 2) == 1 && bInitTQCalcFromVM(h, 2, 2) == 1;
    }();
    return s_bBound;
}

class CMySQLKind : public CMySQLKindConnection {
public:
    CMySQLKind() { AddRef(); }
};

const int kParams = 10;

const wchar_t* Word(int i)
{
    static const wchar_t* const s_apsz[] = {L"alpha", L"bravo", L"it's", L"delta", L"echo"};
    return s_apsz[i % 5];
}

// WHERE c0=? AND c1=? ... : even parameters integers, odd ones texts.
void FormatedCommand(benchmark::State& state)
{
    if (!bBoundForCommands()) {
        state.SkipWithError("host services not bound");
        return;
    }
    CNAError* pError = new CNAError;
    pError->AddRef();
    CMySQLKind* pCnx = new CMySQLKind;
    CNACommand* pCommand = new CNACommand(pError, pCnx);
    pCommand->AddRef();
    pCommand->bComplete(L"SELECT a, b, c FROM t WHERE ", static_cast<unsigned int>(-1));
    for (int i = 0; i < kParams; i++) {
        std::wstring s = (i > 0 ? L" AND c" : L"c") + std::to_wstring(i) + L"=";
        pCommand->bComplete(s.c_str(), static_cast<unsigned int>(-1));
        CNAConvertVariant* pCell = new CNAConvertVariant(pError, nullptr);
        if (i % 2 == 0) {
            pCell->InitTypeVariantAny(TQTYPE_I4, 0);
            pCell->bSetValue(1000 * i + 7);
        } else {
            pCell->InitTypeVariantAny(TQTYPE_DSTRW, 0);
            pCell->bSetValue(Word(i), static_cast<unsigned int>(wcslen(Word(i))));
        }
        pCommand->bAddParameter(pCell, -1, 0, nullptr, nullptr, 0, CNAParameter::PARAM_IN);
    }
    pCommand->bComplete(L" ORDER BY a", static_cast<unsigned int>(-1));
    for (auto _ : state) {
        pCommand->ResetFormatedSQL();
        benchmark::DoNotOptimize(pCommand->pszGetFormatedSQLW(CNACommand::PTC_ALL));
    }
    pCommand->nRelease();
    pCnx->nRelease();
    pError->nRelease();
}
BENCHMARK(FormatedCommand);

// The same text put together directly.
void FormatedCommandBaseline(benchmark::State& state)
{
    for (auto _ : state) {
        std::wstring s = L"SELECT a, b, c FROM t WHERE ";
        for (int i = 0; i < kParams; i++) {
            s += (i > 0 ? L" AND c" : L"c") + std::to_wstring(i) + L"=";
            if (i % 2 == 0) {
                s += std::to_wstring(1000 * i + 7);
            } else {
                s += L'\'';
                for (const wchar_t* p = Word(i); *p != 0; p++) {
                    s += *p;
                    if (*p == L'\'' || *p == L'\\')
                        s += *p;
                }
                s += L'\'';
            }
        }
        s += L" ORDER BY a";
        benchmark::DoNotOptimize(s.data());
    }
}
BENCHMARK(FormatedCommandBaseline);

class CBenchRecordItem : public CNAItemDescription {
public:
    CBenchRecordItem(eNA_ITEMTYPE eType, int nPhysical, int nOffset, unsigned int nSize)
    {
        m_eItemType = eType;
        m_nPhysicalIndice = nPhysical;
        m_nOffsetBase = nOffset;
        m_nItemSize = nSize;
        m_nDimension = 1;
        AddRef();
    }
};

// Ten 4-byte integers and a 32-byte text stored, then read back.
void RecordStoresAndReads(benchmark::State& state)
{
    std::vector<unsigned char> form(12 + 2 + 72, 0);
    const unsigned int an[3] = {2 + 72, 11, 2};
    std::memcpy(form.data(), an, sizeof(an));
    CNAKXRecord rec;
    rec.Deserialize(form.data(), 0);
    std::vector<CBenchRecordItem*> tabItem;
    for (int i = 0; i < 10; i++)
        tabItem.push_back(new CBenchRecordItem(NA_IT_I4, i, 4 * i, 4));
    CBenchRecordItem text(NA_IT_TEXTE, 10, 40, 32);
    const char szText[] = "a text of twenty-four ch";
    unsigned char abyOut[32];
    for (auto _ : state) {
        for (int i = 0; i < 10; i++)
            rec.SetItemValue(tabItem[i], &i, 4, 0);
        rec.SetItemValue(&text, szText, sizeof(szText) - 1, 0);
        for (int i = 0; i < 10; i++)
            rec.GetItemValue(abyOut, tabItem[i], 0);
        rec.GetItemValue(abyOut, &text, 0);
        benchmark::DoNotOptimize(abyOut);
    }
    for (CBenchRecordItem* p : tabItem)
        p->nRelease();
}
BENCHMARK(RecordStoresAndReads);

// The same bytes moved with memcpy.
void RecordStoresAndReadsBaseline(benchmark::State& state)
{
    std::vector<unsigned char> buffer(74, 0);
    const char szText[] = "a text of twenty-four ch";
    unsigned char abyOut[32];
    for (auto _ : state) {
        for (int i = 0; i < 10; i++) {
            std::memcpy(buffer.data() + 2 + 4 * i, &i, 4);
            buffer[i >> 3] |= static_cast<unsigned char>(0x80u >> (i & 7));
        }
        std::memcpy(buffer.data() + 42, szText, sizeof(szText));
        for (int i = 0; i < 10; i++)
            std::memcpy(abyOut, buffer.data() + 2 + 4 * i, 4);
        std::memcpy(abyOut, buffer.data() + 42, 32);
        benchmark::DoNotOptimize(abyOut);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(RecordStoresAndReadsBaseline);

} // namespace
