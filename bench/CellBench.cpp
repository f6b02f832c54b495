// Storing server texts in value cells, per host type, each beside the plain
// conversion of the same text that it at least costs: integers beside
// strtoll, decimals and reals beside strtod, dates and date-times beside
// sscanf and a fixed-place digit reader, texts beside memcpy and a direct
// iconv call to UTF-32LE, binaries beside memcpy. The numbers are also timed
// through the stand-in value machine's converter alone (the wide text the
// cell hands it), which stands for the runtime's own converter. Each cell runs on its own
// host value (argument 0) and on an element of the caller's record buffer
// (argument 1), as a statement binds a column. Descriptors, cells and
// buffers are made once, outside the timed loops.
#include "common/values/NACnvVariant.h"

#include "access/driver/NAItemDescription.h"
#include "common/values/AnyConvert.h"
#include "common/values/Decimal.h"
#include "common/values/ItemType.h"

#include "tests/support/ClosedConnection.h"
#include "tests/support/TestHost.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <iconv.h>
#include <string>
#include <vector>

namespace {

enum : int { ON_OWN_VALUE = 0, ON_RECORD_BUFFER = 1 };

// Host services and the value machine, which the numeric casts need.
bool bBound()
{
    static const bool s_bBound = [] {
        TimedHost();
        void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        return h != nullptr && bInitTQConvFromVM(h, 2, 2) == 1 && bInitTQCalcFromVM(h, 2, 2) == 1;
    }();
    return s_bBound;
}

class CBenchItem : public CNAItemDescription {
public:
    CBenchItem(eNA_ITEMTYPE eType, unsigned nSize, int nInteger, int nDecimal)
    {
        m_eItemType = eType;
        m_nItemSize = nSize;
        m_nDimension = 1;
        m_nIntegerPart = nInteger;
        m_nDecimalPart = nDecimal;
        m_nOffsetBase = 0;
        AddRef();
    }
};

class CBenchConnection : public CClosedConnection {
public:
    CBenchConnection()
    {
        m_nHostCodePage = 1252;
        m_nCnxCodePage = 1252;
    }
};

// A cell set up for a column of an item type, on its own host value or on
// an element of nSize bytes of the caller's record buffer.
class CColumnCell {
public:
    CColumnCell(int nMode, eNA_ITEMTYPE eItem, unsigned nSize, int nInteger = 0, int nDecimal = 0)
        : m_nMode(nMode), m_pItem(new CBenchItem(eItem, nSize, nInteger, nDecimal)),
          m_cell(nullptr, &m_connection), m_record(nMode == ON_RECORD_BUFFER ? nSize : 0)
    {
        if (nMode == ON_RECORD_BUFFER)
            m_cell.bInitTypeVariant(NA_VAR_BUFFER, m_record.data(), nSize, TQTYPE_VIDE);
        else
            m_cell.InitTypeVariantAny(TQTYPE_VIDE, 0);
        m_cell.SetItemDesc(m_pItem, m_pItem);
    }
    ~CColumnCell()
    {
        m_cell.ResetVariant();
        m_pItem->nRelease();
    }
    CColumnCell(const CColumnCell&) = delete;
    CColumnCell& operator=(const CColumnCell&) = delete;

    // The server's text in a code page, as the back end hands a field over;
    // skips the benchmark when the cell refuses it.
    void Run(benchmark::State& state, const std::string& text, unsigned nCodePage)
    {
        state.SetLabel(m_nMode == ON_RECORD_BUFFER ? "record buffer" : "own value");
        const unsigned n = static_cast<unsigned>(text.size());
        if (!bBound() || m_cell.bSetValueDB(text.data(), n, nCodePage) != 1) {
            state.SkipWithError("the cell refused the text");
            return;
        }
        for (auto _ : state) {
            benchmark::DoNotOptimize(m_cell.bSetValueDB(text.data(), n, nCodePage));
            benchmark::ClobberMemory();
        }
    }

private:
    int m_nMode;
    CBenchItem* m_pItem;
    CBenchConnection m_connection;
    CNAConvertVariant m_cell;
    std::vector<unsigned char> m_record;
};

void Items(benchmark::State& state)
{
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void Bytes(benchmark::State& state, std::size_t n)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

// ---- Numbers ---------------------------------------------------------------------------

struct Int32 {
    typedef std::int32_t T;
    static constexpr eNA_ITEMTYPE eItem = NA_IT_I4;
    static constexpr int nInteger = 0, nDecimal = 0;
    static constexpr const char* pszText = "-1234567890";
    static unsigned nSize() { return 4; }
};

struct Int64 {
    typedef std::int64_t T;
    static constexpr eNA_ITEMTYPE eItem = NA_IT_I8;
    static constexpr int nInteger = 0, nDecimal = 0;
    static constexpr const char* pszText = "-9123456789012345678";
    static unsigned nSize() { return 8; }
};

// DECIMAL(10,3).
struct Decimal {
    typedef double T;
    static constexpr eNA_ITEMTYPE eItem = NA_IT_DECIMAL;
    static constexpr int nInteger = 7, nDecimal = 3;
    static constexpr const char* pszText = "-1234567.891";
    static unsigned nSize() { return IDecimal::mg_PToN[nInteger + nDecimal]; }
};

struct Real {
    typedef double T;
    static constexpr eNA_ITEMTYPE eItem = NA_IT_R8;
    static constexpr int nInteger = 0, nDecimal = 0;
    static constexpr const char* pszText = "3.141592653589793";
    static unsigned nSize() { return 8; }
};

template <class K>
void BM_CellNumber(benchmark::State& state)
{
    CColumnCell c(static_cast<int>(state.range(0)), K::eItem, K::nSize(), K::nInteger, K::nDecimal);
    c.Run(state, K::pszText, 1252);
    Items(state);
}

template <class K>
void BM_CellNumber_Strtoll(benchmark::State& state)
{
    const std::string text = K::pszText;
    unsigned char dest[sizeof(typename K::T)];
    for (auto _ : state) {
        const typename K::T v = static_cast<typename K::T>(std::strtoll(text.c_str(), nullptr, 10));
        std::memcpy(dest, &v, sizeof(v));
        benchmark::ClobberMemory();
    }
    Items(state);
}

template <class K>
void BM_CellNumber_Strtod(benchmark::State& state)
{
    const std::string text = K::pszText;
    unsigned char dest[sizeof(double)];
    for (auto _ : state) {
        const double d = std::strtod(text.c_str(), nullptr);
        std::memcpy(dest, &d, sizeof(d));
        benchmark::ClobberMemory();
    }
    Items(state);
}

// The converter alone, from the text as the cell hands it over: a wide C
// string to the cell's host type, the result released as the cell does.
template <class K>
void BM_MachineNumber(benchmark::State& state)
{
    const std::string narrow = K::pszText;
    const std::wstring text(narrow.begin(), narrow.end());
    const wchar_t* psz = text.c_str();
    const unsigned short nTarget = static_cast<unsigned short>(ConverteItemToTQType(K::eItem, static_cast<int>(K::nSize())));
    unsigned char abySource[CAny::VALEUR_SIZE] = {}, abyResult[CAny::VALEUR_SIZE];
    std::memcpy(abySource, &psz, sizeof psz);
    if (!bBound() || gpfnConvDepExt(abySource, TQTYPE_PSTRW, abyResult, nTarget, 1, nullptr) != 0) {
        state.SkipWithError("the converter refused the text");
        return;
    }
    gpfnFinConv(abyResult, nTarget);
    for (auto _ : state) {
        benchmark::DoNotOptimize(gpfnConvDepExt(abySource, TQTYPE_PSTRW, abyResult, nTarget, 1, nullptr));
        gpfnFinConv(abyResult, nTarget);
        benchmark::ClobberMemory();
    }
    Items(state);
}

// ---- Dates and date-times --------------------------------------------------------------

struct Date {
    static constexpr eNA_ITEMTYPE eItem = NA_IT_DATE8;
    static constexpr unsigned nSize = 9;  // "YYYYMMDD" and its terminator
    static constexpr const char* pszText = "2024-02-29";
};

struct DateTime {
    static constexpr eNA_ITEMTYPE eItem = NA_IT_DATETIME;
    static constexpr unsigned nSize = 8;
    static constexpr const char* pszText = "2024-02-29 13:45:12.123456";
};

// The 8-byte date-time: the date word (day, month, year from the low byte
// up), then the milliseconds of the day.
struct SDateTime {
    std::uint32_t dwDate;
    std::uint32_t dwMs;
};

unsigned Digits(const char* p, unsigned n)
{
    unsigned v = 0;
    for (unsigned i = 0; i < n; i++)
        v = v * 10 + static_cast<unsigned>(p[i] - '0');
    return v;
}

// "YYYY-MM-DD", then " hh:mm:ss", then '.' and up to six fraction digits.
SDateTime ReadDigits(const char* p, std::size_t n)
{
    SDateTime st;
    st.dwDate = Digits(p + 8, 2) | (Digits(p + 5, 2) << 8) | (Digits(p, 4) << 16);
    st.dwMs = 0;
    if (n >= 19)
        st.dwMs = ((Digits(p + 11, 2) * 60 + Digits(p + 14, 2)) * 60 + Digits(p + 17, 2)) * 1000;
    if (n > 20 && p[19] == '.') {
        const unsigned nFraction = n - 20 < 3 ? static_cast<unsigned>(n - 20) : 3;
        static const unsigned s_anScale[] = {1, 100, 10, 1};
        st.dwMs += Digits(p + 20, nFraction) * s_anScale[nFraction];
    }
    return st;
}

template <class K>
void BM_CellDate(benchmark::State& state)
{
    CColumnCell c(static_cast<int>(state.range(0)), K::eItem, K::nSize);
    c.Run(state, K::pszText, 1252);
    Items(state);
}

template <class K>
void BM_CellDate_Sscanf(benchmark::State& state)
{
    const std::string text = K::pszText;
    SDateTime st;
    for (auto _ : state) {
        unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, f = 0;
        std::sscanf(text.c_str(), "%4u-%2u-%2u %2u:%2u:%2u.%3u", &y, &mo, &d, &h, &mi, &s, &f);
        st.dwDate = d | (mo << 8) | (y << 16);
        st.dwMs = ((h * 60 + mi) * 60 + s) * 1000 + f;
        benchmark::DoNotOptimize(st);
    }
    Items(state);
}

template <class K>
void BM_CellDate_Digits(benchmark::State& state)
{
    const std::string text = K::pszText;
    for (auto _ : state) {
        SDateTime st = ReadDigits(text.data(), text.size());
        benchmark::DoNotOptimize(st);
    }
    Items(state);
}

// ---- Texts into a wide cell ------------------------------------------------------------

// French text with accents of exactly nBytes bytes in the code page (the
// last character that does not fit whole becomes spaces).
std::string Text(unsigned nCodePage, std::size_t nBytes)
{
    static const wchar_t kPhrase[] =
        L"\x00C9v\x00E9nement \x00E0 l'h\x00F4tel : caf\x00E9, cr\x00E8me br\x00FBl\x00E9"
        L"e, na\x00EFve fa\x00E7""ade, 1234 clients. ";
    std::string s;
    for (std::size_t i = 0;; i = (i + 1) % (sizeof(kPhrase) / sizeof(kPhrase[0]) - 1)) {
        const unsigned c = static_cast<unsigned>(kPhrase[i]);
        std::string u;
        if (nCodePage == 1252 || c < 0x80) {
            u.push_back(static_cast<char>(c));
        } else {
            u.push_back(static_cast<char>(0xC0 | (c >> 6)));
            u.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        if (s.size() + u.size() > nBytes)
            break;
        s += u;
    }
    s.resize(nBytes, ' ');
    return s;
}

// Arguments: bytes of text, then own value or record buffer (UTF-16 units
// of the engine's wide-text item, room for every byte as a character).
template <unsigned CP>
void BM_CellText(benchmark::State& state)
{
    const std::string text = Text(CP, static_cast<std::size_t>(state.range(0)));
    CColumnCell c(static_cast<int>(state.range(1)), NA_IT_UNICODE,
                  static_cast<unsigned>((text.size() + 1) * sizeof(std::uint16_t)));
    c.Run(state, text, CP);
    Bytes(state, text.size());
}

void BM_CellText_Memcpy(benchmark::State& state)
{
    const std::string text = Text(1252, static_cast<std::size_t>(state.range(0)));
    std::vector<char> out(text.size());
    for (auto _ : state) {
        std::memcpy(out.data(), text.data(), text.size());
        benchmark::ClobberMemory();
    }
    Bytes(state, text.size());
}

template <unsigned CP>
void BM_CellText_IConv(benchmark::State& state)
{
    const std::string text = Text(CP, static_cast<std::size_t>(state.range(0)));
    const iconv_t cd = iconv_open("UTF-32LE", CP == 1252 ? "CP1252" : "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        state.SkipWithError("iconv_open failed");
        return;
    }
    std::vector<char> out((text.size() + 1) * 4);
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* pIn = const_cast<char*>(text.data());
        std::size_t nIn = text.size();
        char* pOut = out.data();
        std::size_t nOut = out.size();
        benchmark::DoNotOptimize(iconv(cd, &pIn, &nIn, &pOut, &nOut));
        benchmark::ClobberMemory();
    }
    iconv_close(cd);
    Bytes(state, text.size());
}

// ---- Binaries --------------------------------------------------------------------------

constexpr std::size_t kBinary = 1024;

std::string Binary()
{
    std::string s(kBinary, '\0');
    for (std::size_t i = 0; i < s.size(); i++)
        s[i] = static_cast<char>(i * 7);
    return s;
}

// The record element holds a 16-bit length, then the bytes.
void BM_CellBinary(benchmark::State& state)
{
    const std::string data = Binary();
    CColumnCell c(static_cast<int>(state.range(0)), NA_IT_BINAIRE, static_cast<unsigned>(kBinary + 2));
    c.Run(state, data, 1252);
    Bytes(state, data.size());
}

void BM_CellBinary_Memcpy(benchmark::State& state)
{
    const std::string data = Binary();
    std::vector<char> out(data.size());
    for (auto _ : state) {
        std::memcpy(out.data(), data.data(), data.size());
        benchmark::ClobberMemory();
    }
    Bytes(state, data.size());
}

}  // namespace

BENCHMARK_TEMPLATE(BM_CellNumber, Int32)->Arg(ON_OWN_VALUE)->Arg(ON_RECORD_BUFFER);
BENCHMARK_TEMPLATE(BM_MachineNumber, Int32);
BENCHMARK_TEMPLATE(BM_CellNumber_Strtoll, Int32);
BENCHMARK_TEMPLATE(BM_CellNumber, Int64)->Arg(ON_OWN_VALUE)->Arg(ON_RECORD_BUFFER);
BENCHMARK_TEMPLATE(BM_MachineNumber, Int64);
BENCHMARK_TEMPLATE(BM_CellNumber_Strtoll, Int64);
BENCHMARK_TEMPLATE(BM_CellNumber, Decimal)->Arg(ON_OWN_VALUE)->Arg(ON_RECORD_BUFFER);
BENCHMARK_TEMPLATE(BM_MachineNumber, Decimal);
BENCHMARK_TEMPLATE(BM_CellNumber_Strtod, Decimal);
BENCHMARK_TEMPLATE(BM_CellNumber, Real)->Arg(ON_OWN_VALUE)->Arg(ON_RECORD_BUFFER);
BENCHMARK_TEMPLATE(BM_MachineNumber, Real);
BENCHMARK_TEMPLATE(BM_CellNumber_Strtod, Real);
BENCHMARK_TEMPLATE(BM_CellDate, Date)->Arg(ON_OWN_VALUE)->Arg(ON_RECORD_BUFFER);
BENCHMARK_TEMPLATE(BM_CellDate_Sscanf, Date);
BENCHMARK_TEMPLATE(BM_CellDate_Digits, Date);
BENCHMARK_TEMPLATE(BM_CellDate, DateTime)->Arg(ON_OWN_VALUE)->Arg(ON_RECORD_BUFFER);
BENCHMARK_TEMPLATE(BM_CellDate_Sscanf, DateTime);
BENCHMARK_TEMPLATE(BM_CellDate_Digits, DateTime);
BENCHMARK(BM_CellText_Memcpy)->Arg(64)->Arg(1024);
BENCHMARK_TEMPLATE(BM_CellText, 1252)->ArgsProduct({{64, 1024}, {ON_OWN_VALUE, ON_RECORD_BUFFER}});
BENCHMARK_TEMPLATE(BM_CellText_IConv, 1252)->Arg(64)->Arg(1024);
BENCHMARK_TEMPLATE(BM_CellText, 65001)->ArgsProduct({{64, 1024}, {ON_OWN_VALUE, ON_RECORD_BUFFER}});
BENCHMARK_TEMPLATE(BM_CellText_IConv, 65001)->Arg(64)->Arg(1024);
BENCHMARK(BM_CellBinary)->Arg(ON_OWN_VALUE)->Arg(ON_RECORD_BUFFER);
BENCHMARK(BM_CellBinary_Memcpy);
