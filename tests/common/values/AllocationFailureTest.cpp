// Every allocation of the module's main entries fails in turn: each step
// ends in a failure status or the no-memory error with the previous value
// intact, or in the complete result; LeakSanitizer sees what a step lost.
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"
#include "common/text/RefHashTable.h"
#include "common/text/TQBIN.h"
#include "common/text/Tableau.h"
#include "common/text/Tstring.h"
#include "common/text/XYString.h"
#include "common/values/AnyText.h"
#include "common/values/ConvertKey.h"
#include "tests/support/Counted.h"
#include "tests/support/FailingHeap.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace {

using std::wstring;

const _stMyModuleInfo* const MOD = &gstMyModuleInfo32;

wstring Text(const CTString& cl) { return cl.pszGet(); }

// ---- Wide strings ---------------------------------------------------------------------------

TEST(AllocationFailure, WideStringEditsKeepTheOldTextOrGiveTheNewOne)
{
    const wstring strLong(300, L'y');
    const struct {
        const char* pszName;
        void (*pfnEdit)(CTString&, const wstring&);
        const wchar_t* pszExpected;  // null: the long text itself
    } edits[] = {
        {"Set", [](CTString& cl, const wstring& s) { cl.Set(s.c_str()); }, nullptr},
        {"Add", [](CTString& cl, const wstring& s) { cl.Add(s.substr(0, 3).c_str()); }, L"old textyyy"},
        {"Insert", [](CTString& cl, const wstring&) { cl.Insert(L"<", -1, 3); }, L"old< text"},
        {"Remplace", [](CTString& cl, const wstring&) { cl.Remplace(L"t", L"TT"); }, L"old TTexTT"},
        {"RemplaceI", [](CTString& cl, const wstring&) { cl.RemplaceI(L"T", L"[]"); }, L"old []ex[]"},
        {"FormatMessageWin", [](CTString& cl, const wstring&) { cl.FormatMessageWin(L"%1!d!-%2", 42, L"x"); },
         L"42-x"},
        {"FormatMessageW", [](CTString& cl, const wstring&) { cl.FormatMessageW(L"%d-%s", 42, L"x"); }, L"42-x"},
    };
    for (const auto& e : edits) {
        SCOPED_TRACE(e.pszName);
        const wstring strNew = e.pszExpected != nullptr ? wstring(e.pszExpected) : strLong;
        const int n = nFailEachAllocation([&](int nAllowed) {
            CTString cl(L"old text");
            // An edit answers no status: running out of memory is an
            // exception, with the text as it was.
            try {
                CFailingHeap clScope(nAllowed);
                e.pfnEdit(cl, strLong);
            } catch (const std::bad_alloc&) {
                EXPECT_EQ(Text(cl), L"old text");
                return false;
            }
            EXPECT_EQ(Text(cl), strNew);
            return true;
        });
        EXPECT_GE(n, 1) << "the edit allocates";
    }
}

// ---- Host strings and binaries -----------------------------------------------------------------

// The host's allocator fails after n blocks (its own seam) for a scope.
class CFailingHostAllocator {
public:
    explicit CFailingHostAllocator(int n) { TestHost().FailAllocationsAfter(n, 77); }
    ~CFailingHostAllocator() { TestHost().FailAllocationsAfter(-1, 0); }
};

TEST(AllocationFailure, HostStringAndBinaryConcatenationsAnswerTheAllocatorsStatus)
{
    TestHost();
    CLiveBlockCheck clBlocks;
    const std::wstring strTail(200, L't');
    const int nString = nFailEachAllocation([&](int nAllowed) {
        CXYString<wchar_t> cl;
        EXPECT_EQ(cl.nConcat(L"head", 4), STRMEM_OK);
        CXYString<wchar_t> clShared(cl);
        int nStatus = STRMEM_OK;
        {
            CFailingHostAllocator clScope(nAllowed);
            nStatus = cl.nConcat(strTail.c_str(), static_cast<int>(strTail.size()));
        }
        EXPECT_EQ(std::wstring(clShared.pszGet()), L"head") << "the other holder keeps its text";
        if (nStatus == STRMEM_OK) {
            EXPECT_EQ(std::wstring(cl.pszGet()), L"head" + strTail);
            return true;
        }
        EXPECT_EQ(nStatus, 77);
        EXPECT_EQ(std::wstring(cl.pszGet()), L"head");
        return false;
    });
    EXPECT_GE(nString, 1);
    const unsigned char abyTail[64] = {1, 2, 3};
    const int nBinary = nFailEachAllocation([&](int nAllowed) {
        CTQBIN cl;
        const unsigned char abyHead[2] = {9, 8};
        EXPECT_EQ(cl.nAssign(abyHead, 2), STRMEM_OK);
        int nStatus = STRMEM_OK;
        {
            CFailingHostAllocator clScope(nAllowed);
            nStatus = cl.nConcat(abyTail, 64);
        }
        if (nStatus == STRMEM_OK) {
            EXPECT_EQ(cl.nGetSize(), 66);
            return true;
        }
        EXPECT_EQ(nStatus, 77);
        EXPECT_EQ(cl.nGetSize(), 2);
        return false;
    });
    EXPECT_GE(nBinary, 1);
}

// ---- Arrays ---------------------------------------------------------------------------------

TEST(AllocationFailure, ArrayGrowthLoop)
{
    const int n = nFailEachAllocation([](int nAllowed) {
        CTTableau<int> tab;
        CFailingHeap clScope(nAllowed);
        try {
            for (int i = 0; i < 150; ++i)
                tab.Ajoute(&i);
        } catch (const std::bad_alloc&) {
            EXPECT_LE(tab.nGetNbElement(), tab.nGetNbAlloue());
            for (int i = 0; i < tab.nGetNbElement(); ++i)
                EXPECT_EQ(tab[i], i);
            return false;
        }
        EXPECT_EQ(tab.nGetNbElement(), 150);
        return true;
    });
    EXPECT_GE(n, 2) << "growth in several steps";
}

// ---- Hash tables ------------------------------------------------------------------------------

TEST(AllocationFailure, HashTableAdditionsFailWholeAndKeepTheEntries)
{
    int nDestroyed = 0;
    const int n = nFailEachAllocation([&](int nAllowed) {
        CRefStringHashTable<CCounted*> tab;
        std::vector<CCounted*> values;
        bool bAll = true;
        {
            CFailingHeap clScope(nAllowed);
            for (int i = 0; i < 40 && bAll; ++i) {
                CCounted* p = new CCounted(&nDestroyed);
                p->m_nRefCount = 1;
                values.push_back(p);
                const wstring strName = L"name" + std::to_wstring(i);
                bAll = tab.bAddValue(strName.c_str(), p);
                EXPECT_EQ(p->m_nRefCount, bAll ? 2 : 1) << "a reference only for what is filed";
            }
        }
        // Everything filed before the failure is still found.
        const int nFiled = static_cast<int>(values.size()) - (bAll ? 0 : 1);
        EXPECT_EQ(static_cast<int>(tab.dwGetNumElement()), nFiled);
        for (int i = 0; i < nFiled; ++i) {
            CCounted* p = nullptr;
            const wstring strName = L"NAME" + std::to_wstring(i);
            EXPECT_TRUE(tab.bGetValue(strName.c_str(), &p)) << i;
            EXPECT_EQ(p, values[static_cast<std::size_t>(i)]);
            if (p != nullptr) {
                p->dwRelease();
            }
        }
        tab.SupprimeTout();
        for (CCounted* p : values)
            p->dwRelease();
        return bAll;
    });
    EXPECT_GE(n, 2);
}

// ---- Error object ---------------------------------------------------------------------------

TEST(AllocationFailure, ErrorTextsInfosAndSubErrorsKeepWhatWasThere)
{
    const int n = nFailEachAllocation([](int nAllowed) {
        _CXErrorModule32 e;
        e.SetUserError(MOD, 8);
        e.AddInfo(EIT_LOGICALTABLENAME, L"table");
        const wstring strMessage = e.pszGetUserMessage();
        CXError s(MOD, 19u, L"sub");
        {
            CFailingHeap clScope(nAllowed);
            e.AddDebugMessageNoFormat(L"debug line");
            e.AddInfo(EIT_ITEMNAME, L"item");
            e.AddSubError(&s);
        }
        const void* p = nullptr;
        // What stood before the failures stands still.
        EXPECT_TRUE(e.bGetInfo(EIT_LOGICALTABLENAME, &p));
        if (p != nullptr) {
            EXPECT_STREQ(static_cast<const wchar_t*>(p), L"table");
        }
        EXPECT_EQ(e.nGetUserErrorCode(), 8u);
        const wstring strNow = e.pszGetUserMessage();
        EXPECT_EQ(strNow.compare(0, strMessage.size(), strMessage), 0);
        const bool bInfo = e.bGetInfo(EIT_ITEMNAME, &p);
        if (bInfo) {
            EXPECT_STREQ(static_cast<const wchar_t*>(p), L"item");
        }
        const wstring strDebug = e.pszGetDebugMessage();
        EXPECT_TRUE(strDebug.empty() || strDebug == L"debug line") << "whole or nothing";
        EXPECT_LE(e.nGetNbSubError(), 1);
        if (e.nGetNbSubError() == 1) {
            EXPECT_EQ(e.pclGetSubError(0)->nGetUserErrorCode(), 19u);
        }
        return bInfo && strDebug == L"debug line" && e.nGetNbSubError() == 1 &&
               strNow.size() > strMessage.size();
    });
    EXPECT_GE(n, 3);
}

// ---- Array values -----------------------------------------------------------------------------

// An array of values: 7, "text" and the nested array {8}.
void SetArray(CAny& v)
{
    CAny aElements[3];
    Set<int>(aElements[0], TQTYPE_I4, 7);
    SetW(aElements[1], L"text");
    CAny clInner;
    Set<int>(clInner, TQTYPE_I4, 8);
    aElements[2].__SetType(TQTYPE_TABANY, 0);
    aElements[2].pclGetTraitement()->SetValue(&clInner, 1);
    v.__SetType(TQTYPE_TABANY, 0);
    v.pclGetTraitement()->SetValue(aElements, 3);
}

unsigned Count(const CAny& v)
{
    unsigned n = 0;
    v.pclGetTraitement()->nGetDataSize(&n);
    return n;
}

const CAny* Elements(const CAny& v)
{
    void* p = nullptr;
    v.pclGetTraitement()->nGetDataAdr(&p);
    return static_cast<const CAny*>(p);
}

// Whether v is the array SetArray builds.
bool bIsTheArray(const CAny& v)
{
    if (v.nGetTypeCode() != TQTYPE_TABANY || Count(v) != 3)
        return false;
    const CAny* p = Elements(v);
    return Get<int>(p[0]) == 7 && TextW(p[1]) == L"text" && Count(p[2]) == 1 && Get<int>(Elements(p[2])[0]) == 8;
}

TEST(AllocationFailure, ArrayValueCopiesLeaveTheTargetOrCopyAll)
{
    TestHost();
    CAny clSource;
    SetArray(clSource);
    ASSERT_TRUE(bIsTheArray(clSource));
    const int nDuplique = nFailEachAllocation([&](int nAllowed) {
        CAny clTarget;
        Set<int>(clTarget, TQTYPE_I4, 99);
        {
            CFailingHeap clScope(nAllowed);
            clSource.pclGetTraitement()->Duplique(&clTarget);
        }
        if (bIsTheArray(clTarget))
            return true;
        EXPECT_EQ(clTarget.nGetTypeCode(), TQTYPE_I4);
        EXPECT_EQ(Get<int>(clTarget), 99);
        return false;
    });
    EXPECT_GE(nDuplique, 2) << "the outer and the nested array";
    const int nSetValue = nFailEachAllocation([&](int nAllowed) {
        CAny clTarget;
        CAny clOne;
        Set<int>(clOne, TQTYPE_I4, 5);
        clTarget.__SetType(TQTYPE_TABANY, 0);
        clTarget.pclGetTraitement()->SetValue(&clOne, 1);
        {
            CFailingHeap clScope(nAllowed);
            clTarget.pclGetTraitement()->SetValue(Elements(clSource), 3);
        }
        if (bIsTheArray(clTarget))
            return true;
        EXPECT_EQ(Count(clTarget), 1u);
        if (Count(clTarget) == 1) {
            EXPECT_EQ(Get<int>(Elements(clTarget)[0]), 5);
        }
        return false;
    });
    EXPECT_GE(nSetValue, 2);
    EXPECT_TRUE(bIsTheArray(clSource));
}

TEST(AllocationFailure, WideTextFromUtf16AnswersNoMemoryAndKeepsTheText)
{
    TestHost();
    const unsigned short utf16[] = {0x0068, 0x00E9, 0xD83D, 0xDE00};
    const int n = nFailEachAllocation([&](int nAllowed) {
        CAny v;
        SetW(v, L"before");
        int nStatus = 0;
        {
            CFailingHeap clScope(nAllowed);
            nStatus = CAny_TQDSTRW::s_SetFromUTF16(&v, utf16, 4);
        }
        if (nStatus == TQSTATUS_OK) {
            EXPECT_EQ(TextW(v), std::wstring(L"h\u00e9") + wchar_t(0xD83D) + wchar_t(0xDE00));
            return true;
        }
        EXPECT_EQ(nStatus, TQSTATUS_NO_MEMORY);
        EXPECT_EQ(TextW(v), L"before");
        return false;
    });
    EXPECT_EQ(n, 1) << "one work buffer";
}

// ---- Value cells and keys ---------------------------------------------------------------------

TEST(AllocationFailure, CellBufferStoresAnswerNoMemory)
{
    BindValueMachine();
    ErrorPtr pError = NewError();
    const int n = nFailEachAllocation([&](int nAllowed) {
        pError->Reset();
        CCell c(pError.get());
        CFailingHeap clScope(nAllowed);
        const int bOk = c.bInitTypeVariantBuffer(TQTYPE_I4, 64);
        if (bOk)
            return true;
        EXPECT_EQ(pError->dwGetSystemErrorCode(), 12u) << "no memory";
        return false;
    });
    EXPECT_GE(n, 1);
}

TEST(AllocationFailure, CellDatabaseBytesKeepTheOldBytesWithoutMemory)
{
    BindValueMachine();
    ErrorPtr pError = NewError();
    CTestConnection cnx(1252, 1252);
    const unsigned char abyOld[3] = {7, 8, 9};
    const unsigned char abyNew[40] = {1, 2, 3, 4, 5};
    const int n = nFailEachAllocation([&](int nAllowed) {
        pError->Reset();
        CCell c(pError.get(), &cnx);
        c.InitTypeVariantAny(TQTYPE_BIN, 0);
        c.SetStateDB(CNAConvertVariant::DBBUFFER_OWN);
        EXPECT_EQ(c.bSetValueDB(abyOld, 3), 1);
        int bOk = 0;
        {
            CFailingHeap clScope(nAllowed);
            bOk = c.bSetValueDB(abyNew, 40);
        }
        unsigned char* p = nullptr;
        unsigned int nSize = 0;
        EXPECT_EQ(c.bGetBufferDB(&p, &nSize, nullptr), 1);
        if (bOk) {
            EXPECT_EQ(nSize, 40u);
            EXPECT_EQ(std::memcmp(p, abyNew, 40), 0);
            return true;
        }
        EXPECT_EQ(pError->dwGetSystemErrorCode(), 12u) << "no memory";
        EXPECT_EQ(c.nLengthDB(), 3u);
        EXPECT_EQ(std::memcmp(p, abyOld, 3), 0);
        return false;
    });
    EXPECT_EQ(n, 1) << "one new buffer";
}

TEST(AllocationFailure, KeyBuildingAnswersNoKey)
{
    TestHost();
    CAny v;
    SetW(v, L"some key text");
    unsigned nExpected = 0;
    {
        unsigned char* p = nullptr;
        nExpected = CConvertKey::nConvertKeyAndGetSize(&v, &p, 0, 0, 0, 0);
        ASSERT_NE(p, nullptr);
        std::free(p);
    }
    ASSERT_GT(nExpected, 0u);
    const int n = nFailEachAllocation([&](int nAllowed) {
        unsigned char* p = reinterpret_cast<unsigned char*>(1);
        unsigned nSize = 0;
        {
            CFailingHeap clScope(nAllowed);
            nSize = CConvertKey::nConvertKeyAndGetSize(&v, &p, 0, 0, 0, 0);
        }
        if (p != nullptr) {
            EXPECT_EQ(nSize, nExpected);
            std::free(p);
            return true;
        }
        EXPECT_EQ(nSize, 0u);
        return false;
    });
    EXPECT_GE(n, 1);
}

} // namespace
