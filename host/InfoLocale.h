// Locale service of the stand-in runtime. Comparisons and mappings are done
// for the whole of Unicode with the C library's case tables, accents are
// removed for the Latin letters, and 8-bit text is read as Windows-1252.
// Every call is logged so that tests can check what the module passes.
#pragma once

#include "common/platform/HostInterfaces.h"
#include "host/HostStandIn.h"

#include <mutex>
#include <string>
#include <vector>

class CInfoLocale final : public IInfoLocale {
public:
    unsigned Reserved0() override { return 0; }
    unsigned Reserved1() override { return 0; }
    int nGetCurrentCharset() override;
    unsigned nGetCurrentCodePage() override;
    unsigned nGetCurrentLCID() override;
    int nCompareA(unsigned lcid, unsigned flags, const char* a, int la, const char* b, int lb) override;
    int nCompareW(unsigned lcid, unsigned flags, const wchar_t* a, int la, const wchar_t* b,
                  int lb) override;
    int nCompareCurrentA(unsigned flags, const char* a, int la, const char* b, int lb) override;
    int nCompareCurrentW(unsigned flags, const wchar_t* a, int la, const wchar_t* b, int lb) override;
    int nMapStringSort(unsigned lcid, unsigned char* dst, int dstSize, const wchar_t* src,
                       int srcLen) override;
    unsigned Reserved10() override { return 0; }
    int nMapStringA(unsigned lcid, unsigned flags, char* dst, int dstSize, const char* src,
                    int srcLen) override;
    int nMapStringW(unsigned lcid, unsigned flags, wchar_t* dst, int dstSize, const wchar_t* src,
                    int srcLen) override;
    int nMapStringCurrentA(unsigned flags, char* dst, int dstSize, const char* src, int srcLen) override;
    int nMapStringCurrentW(unsigned flags, wchar_t* dst, int dstSize, const wchar_t* src,
                           int srcLen) override;
    unsigned nGetSafeLCID() override;

    void SetCurrent(int nCharset, unsigned nCodePage, unsigned nLCID);
    std::size_t nCalls();
    HostLocaleCall Call(std::size_t i);
    void ClearCalls();

    // Pure helpers, also used by the stand-in's own tests.
    static std::u32string Map(unsigned flags, const std::u32string& text);
    static int Compare(unsigned flags, const std::u32string& a, const std::u32string& b);

private:
    void Log(int nSlot, unsigned nLCID, unsigned nFlags, int nSrcLen, int nOtherLen);

    std::mutex m_mutex;
    std::vector<HostLocaleCall> m_calls;
    int m_nCharset = 0;
    unsigned m_nCodePage = 1252;
    unsigned m_nLCID = 1036;
};
