// FormatMessageWin over the catalogue's real texts with random numbered
// inserts spliced in: the allocating form and a short caller's buffer agree,
// and nothing is read or written outside the arguments and buffers.
#include "common/platform/DllRes.h"
#include "common/platform/FormatWin.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/Tstring.h"
#include "tests/fuzz/FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Arguments by number: odd ones are wide texts, even ones integers; each
// insert asks for its argument by a form of the same kind.
const int kNbArgs = 12;
const wchar_t* const kTextForms[] = {L"", L"!s!", L"!10s!", L"!-8.3s!", L"!.2s!"};
const wchar_t* const kIntForms[] = {L"!d!", L"!u!", L"!x!", L"!X!", L"!08d!", L"!-5i!", L"!c!", L"!o!"};

std::vector<std::wstring> Catalogue()
{
    std::vector<std::wstring> texts;
    for (unsigned i = 0; i < NB_ERRORDEF32; ++i) {
        CTString cl;
        if (DLLRES_bLoadString(&gstMyModuleInfo32, gstErrorDef32[i].dwRessource, &cl))
            texts.push_back(cl.pszGet());
    }
    return texts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzBindHost();
    static const std::vector<std::wstring> s_texts = Catalogue();
    FUZZ_CHECK(!s_texts.empty());
    FuzzedDataProvider in(data, size);
    std::wstring strFormat = s_texts[in.ConsumeIntegralInRange<size_t>(0, s_texts.size() - 1)];

    // Splices at random places of the text (never inside one another): a
    // numbered insert of its argument's kind, an escape, or a text insert
    // with an unfinished form.
    const std::wstring strCatalogue = strFormat;
    std::vector<size_t> places(in.ConsumeIntegralInRange<size_t>(0, 6));
    for (size_t& n : places)
        n = in.ConsumeIntegralInRange<size_t>(0, strCatalogue.size());
    std::sort(places.begin(), places.end());
    strFormat.clear();
    size_t nFrom = 0;
    for (size_t k = 0; k < places.size(); ++k) {
        const size_t nAt = places[k];
        strFormat.append(strCatalogue, nFrom, nAt - nFrom);
        nFrom = nAt;
        const int nArg = in.ConsumeIntegralInRange<int>(1, kNbArgs);
        std::wstring strInsert = L"%" + std::to_wstring(nArg);
        int nKind = in.ConsumeIntegralInRange<int>(0, 3);
        // An unfinished form stays unfinished only when no '!' follows it;
        // otherwise the text up to that '!' (stars included) would become
        // its form and ask for arguments of any kind.
        if (nKind == 1 && (k + 1 < places.size() || strCatalogue.find(L'!', nAt) != std::wstring::npos))
            nKind = 2;
        switch (nKind) {
        case 0:
            strInsert = in.ConsumeBool() ? L"%%" : (in.ConsumeBool() ? L"%n" : L"%!");
            break;
        case 1:
            // Unfinished: read as a plain text insert.
            strInsert = L"%" + std::to_wstring(nArg | 1) + L"!";
            break;
        default:
            if (nArg % 2 == 1) {
                strInsert += kTextForms[in.ConsumeIntegralInRange<size_t>(0, 4)];
                // A bare insert before a digit or a '!' would take them as
                // part of its number or form.
                const wchar_t cNext = nAt < strCatalogue.size() ? strCatalogue[nAt] : 0;
                if (strInsert.back() != L'!' && ((cNext >= L'0' && cNext <= L'9') || cNext == L'!'))
                    strInsert += L"!s!";
            } else {
                strInsert += kIntForms[in.ConsumeIntegralInRange<size_t>(0, 7)];
            }
            break;
        }
        strFormat += strInsert;
    }
    strFormat.append(strCatalogue, nFrom, std::wstring::npos);
    std::vector<std::wstring> texts;
    for (int i = 0; i < kNbArgs; ++i)
        texts.push_back(std::wstring(in.ConsumeIntegralInRange<size_t>(0, 40), static_cast<wchar_t>(L'a' + i)));
    std::vector<char*> args(kNbArgs + 1, nullptr);
    for (int i = 0; i < kNbArgs; ++i) {
        if ((i + 1) % 2 == 1)
            args[static_cast<size_t>(i)] = reinterpret_cast<char*>(const_cast<wchar_t*>(texts[static_cast<size_t>(i)].c_str()));
        else
            args[static_cast<size_t>(i)] = reinterpret_cast<char*>(static_cast<intptr_t>(in.ConsumeIntegral<int>()));
    }
    const unsigned nWidth = in.ConsumeBool() ? 0u : in.ConsumeIntegralInRange<unsigned>(0, 255);

    wchar_t* p = nullptr;
    const unsigned nAlloc = FormatMessageWin(0x2000 | 0x500 | nWidth, strFormat.c_str(), 0, 0,
                                             reinterpret_cast<wchar_t*>(&p), 0, args.data());
    if (nAlloc != 0) {
        FUZZ_CHECK(p != nullptr);
        // Terminated at the length (a "!c!" of 0 may put a 0 inside).
        FUZZ_CHECK(p[nAlloc] == 0);
    }
    // A caller's buffer: the same text when it fits.
    const unsigned nRoom = in.ConsumeIntegralInRange<unsigned>(1, 200);
    std::vector<wchar_t> out(nRoom);
    const unsigned nOut = FormatMessageWin(0x2000 | 0x400 | nWidth, strFormat.c_str(), 0, 0, out.data(), nRoom,
                                           args.data());
    FUZZ_CHECK(nOut < nRoom);
    if (nOut != 0 && nAlloc != 0)
        FUZZ_CHECK(std::wstring(out.data(), nOut) == std::wstring(p, nAlloc));
    std::free(p);
    return 0;
}
