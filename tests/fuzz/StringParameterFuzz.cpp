// The parameter-string parser on arbitrary texts and names: positions inside
// the text, a value read back as it was replaced, and a removed item gone.
#include "common/text/StringParameter.h"
#include "tests/fuzz/FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

// Separators and letters that differ only by case or accent.
const wchar_t kAlphabet[] = L"ab=; \tAB=;=x\u00e9\u00c9;";

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzBindHost();
    FuzzedDataProvider in(data, size);
    const std::wstring strName = FuzzText<wchar_t>(in.ConsumeRandomLengthString(6), kAlphabet, 0x80);
    const std::wstring strValue = FuzzText<wchar_t>(in.ConsumeRandomLengthString(8), kAlphabet, 0x80);
    const std::wstring strText = FuzzText<wchar_t>(in.ConsumeRemainingBytesAsString(), kAlphabet, 0x80);

    CTString clText(strText.c_str());
    int nName = 0, nStart = 0, nEnd = 0;
    if (CStringParameter::_s_bGetParameterPos(nName, nStart, nEnd, &clText, strName.c_str())) {
        FUZZ_CHECK(nName >= 0);
        FUZZ_CHECK(nName < nStart);
        FUZZ_CHECK(nStart - 1 <= nEnd);
        FUZZ_CHECK(nEnd < clText.nTaille());
    }
    CTString clValue;
    int bFound = 0;
    CTString clCut(strText.c_str());
    CStringParameter::s_bGetParameterValue(&clValue, &bFound, &clCut, strName.c_str(), 1);
    FUZZ_CHECK(clCut.nTaille() <= clText.nTaille());

    // A value without separators and blanks at its ends reads back as written.
    const bool bPlain = !strName.empty() && strName.find_first_of(L"=; \t") == std::wstring::npos &&
                        strValue.find(L';') == std::wstring::npos &&
                        (strValue.empty() || (strValue.back() != L' ' && strValue.back() != L'\t' &&
                                              strValue.front() != L' ' && strValue.front() != L'\t'));
    CTString clReplaced(strText.c_str());
    CStringParameter::s_bReplaceParameterValue(&clReplaced, strValue.c_str(), strName.c_str());
    if (bPlain) {
        CTString clBack;
        int bBack = 0;
        CStringParameter::s_bGetParameterValue(&clBack, &bBack, &clReplaced, strName.c_str(), 0);
        FUZZ_CHECK(bBack == 1);
        FUZZ_CHECK(std::wstring(clBack.pszGet()) == strValue);
    }
    CStringParameter clParameter(strName.c_str());
    CTString clRead(strText.c_str());
    clParameter.bInitParameterValue(&clRead, 1);
    CTString clOut;
    clParameter.bCompleteConnectionString(&clOut);
    return 0;
}
