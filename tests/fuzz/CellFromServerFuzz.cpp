// Server texts into value cells of every item type and size, 8-bit in a
// random code page and wide: nothing written outside the item's bytes, and
// a stored value reads back as a host value.
#include "tests/fuzz/FuzzCheck.h"
#include "tests/support/ValueCells.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

const unsigned kPages[] = {1252, 65001, 1251, 932, 28591};

// The item's bytes with guard bytes on both sides.
const unsigned kGarde = 8;

bool bGardes(const Bytes& b, unsigned nSize)
{
    for (unsigned i = 0; i < kGarde; ++i)
        if (b[i] != 0x5A || b[kGarde + nSize + i] != 0x5A)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzBindHost();
    static const bool s_bBound = [] {
        BindValueMachine();
        return true;
    }();
    (void)s_bBound;
    FuzzedDataProvider in(data, size);
    int nType = in.ConsumeIntegralInRange<int>(0, 31);
    if (nType == 8)
        nType = NA_IT_TEXTE;
    const eNA_ITEMTYPE eType = static_cast<eNA_ITEMTYPE>(nType);
    const unsigned nSize = in.ConsumeIntegralInRange<unsigned>(1, 40);
    const int nInteger = in.ConsumeIntegralInRange<int>(1, 38);
    const int nDecimal = in.ConsumeIntegralInRange<int>(0, nInteger);
    const unsigned nPage = kPages[in.ConsumeIntegralInRange<size_t>(0, sizeof(kPages) / sizeof(kPages[0]) - 1)];
    const bool bWide = in.ConsumeBool();
    std::string s = in.ConsumeRemainingBytesAsString();

    ItemPtr item = Item(eType, nSize, nInteger, nDecimal);
    CTestConnection cnx(1252, static_cast<int>(nPage));
    ErrorPtr pError = NewError();

    // Into the caller's bytes.
    Bytes b(nSize + 2 * kGarde, 0x5A);
    CCell c(pError.get(), &cnx);
    c.bInitTypeVariant(NA_VAR_BUFFER, b.data() + kGarde, nSize, TQTYPE_VIDE);
    c.SetItemDesc(item.get(), item.get());
    int bStored = 0;
    if (bWide) {
        std::wstring w;
        for (size_t i = 0; i + 1 < s.size(); i += 2)
            w += static_cast<wchar_t>(static_cast<unsigned char>(s[i]) | static_cast<unsigned char>(s[i + 1]) << 8);
        std::vector<wchar_t> text(w.begin(), w.end());
        bStored = c.bSetValueFromDB(text.empty() ? L"" : text.data(), static_cast<unsigned>(text.size()));
    } else {
        std::vector<char> text(s.begin(), s.end());
        bStored = c.bSetValueDB(text.empty() ? "" : text.data(), static_cast<unsigned>(text.size()), nPage);
    }
    FUZZ_CHECK(bGardes(b, nSize));
    if (bStored) {
        CAny v;
        c.bGetValue(&v);
    }

    // Into the cell's own host value.
    CCell h(pError.get(), &cnx);
    h.InitTypeVariantAny(static_cast<unsigned short>(ConverteItemToTQType(eType, static_cast<int>(nSize))), nSize);
    h.SetItemDesc(item.get(), item.get());
    std::vector<char> text(s.begin(), s.end());
    h.bSetValueDB(text.empty() ? "" : text.data(), static_cast<unsigned>(text.size()), nPage);
    CAny v;
    h.bGetValue(&v);
    return 0;
}
