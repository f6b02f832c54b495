// The date, time, duration and currency text readers on arbitrary texts: a
// date-time read without complaint writes back a text that reads the same,
// and currency texts round-trip through the decimal and hexadecimal forms.
#include "common/platform/WinApi.h"
#include "common/values/datetime.h"
#include "common/values/monetaire.h"
#include "tests/fuzz/FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

// Digits and the separators the readers know.
const wchar_t kAlphabet[] = L"0123456789012345678901234567890123456789 -+.:,/T\uff0dxAF";

bool bEgales(const CMoney& a, const CMoney& b) { return std::memcmp(&a, &b, sizeof(CMoney)) == 0; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzBindHost();
    FuzzedDataProvider in(data, size);
    const std::wstring s = FuzzText<wchar_t>(in.ConsumeRemainingBytesAsString(), kAlphabet, 0xC0);
    const std::string s8(s.begin(), s.end());

    CDateTimeBase clDate;
    std::memset(&clDate, 0, sizeof(clDate));
    clDate.FromString(s.c_str());
    clDate.FromString(s8.c_str());
    CDateTimeBase clValide;
    std::memset(&clValide, 0, sizeof(clValide));
    if (clValide.nFromStringValide(s8.c_str()) == 0) {
        char sz[18];
        clValide.VersChaine(sz, 17);
        CDateTimeBase clRelu;
        std::memset(&clRelu, 0, sizeof(clRelu));
        FUZZ_CHECK(clRelu.nFromStringValide(sz) == 0);
        FUZZ_CHECK(std::memcmp(&clRelu, &clValide, sizeof(clRelu)) == 0);
    }
    _SYSTEMTIME st;
    CDateTimeBase::nDateVersSysteme(s.c_str(), &st);
    CDateTimeBase::nHeureVersSysteme(s.c_str(), &st);
    CDateTimeBase::nCompareDate(s.c_str(), L"20240229");
    CDateTimeBase::nCompareHeure(s.c_str(), L"235959999");

    CDureeBase clDuree;
    clDuree.m_llDuree = 0;
    clDuree.nDepuisChaine(s.c_str());
    clDuree.nDepuisChaineCentieme(s.c_str());

    CMoney m;
    std::memset(&m, 0, sizeof(m));
    if (pstChaineVersMonetaire(&m, s.c_str()) != nullptr) {
        wchar_t szC[MONETAIRE_TAILLE_CHAINE_C];
        pszMonetaireVersChaineC(szC, &m);
        CMoney m2;
        FUZZ_CHECK(pstChaineVersMonetaire(&m2, szC) != nullptr);
        FUZZ_CHECK(bEgales(m, m2));
        wchar_t szH[MONETAIRE_TAILLE_CHAINE_HEXA];
        pszMonetaireVersChaineHexa(szH, &m);
        CMoney m3;
        FUZZ_CHECK(pstChaineHexaVersMonetaire(&m3, szH) != nullptr);
        FUZZ_CHECK(bEgales(m, m3));
        wchar_t szO[MONETAIRE_TAILLE_CHAINE_OCTALE];
        pszMonetaireVersChaineOctale(szO, &m);
    }
    std::wstring strHexa = s;
    CMoney mh;
    pstChaineHexaVersMonetaire(&mh, &strHexa[0]);
    return 0;
}
