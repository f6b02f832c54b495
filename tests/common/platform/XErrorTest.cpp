#include "common/platform/XError.h"

#include "common/platform/DllRes.h"
#include "common/platform/FormatWin.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/ResAnsi32.h"

#include "tests/support/Counted.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using std::wstring;

const _stMyModuleInfo* const MOD = &gstMyModuleInfo32;
const wchar_t* const CRLF = L"\r\n";

// A message of the catalogue as the module loads it.
wstring Load(unsigned nId)
{
    CTString cl;
    EXPECT_TRUE(DLLRES_bLoadString(MOD, nId, &cl)) << nId;
    EXPECT_GT(cl.nTaille(), 0) << nId;
    return cl.pszGet();
}

// A message of the catalogue formatted with the Windows rules.
wstring Fmt(unsigned nId, ...)
{
    wstring clTexte = Load(nId);
    wchar_t* psz = nullptr;
    va_list args;
    va_start(args, nId);
    EXPECT_GT(vaswprintf(&psz, clTexte.c_str(), args), 0) << nId;
    va_end(args);
    wstring cl = psz != nullptr ? psz : L"";
    free(psz);
    return cl;
}

wstring Dump(const CXError& e, unsigned nMask)
{
    CTString cl;
    e.StringDump(cl, static_cast<eXERROR_INFO>(nMask));
    return cl.pszGet();
}

wstring SysText(int nErrno)
{
    CTString cl;
    cl.SetANSIEx(strerror(nErrno), -1, 65001);
    return cl.pszGet();
}

// The debug line of an error site of this module.
wstring DebugLine(unsigned nFile, unsigned nPoint)
{
    wchar_t sz[128];
    swprintfWin(sz, L"IE%s=%u.%u\r\nModule=<%s>\r\nVersion=<%s>", L"DUZARO", nFile, nPoint, L"DUZARO", L"19.0.3.0");
    return sz;
}

// The raising sequence of an error site.
void Raise(_CXErrorModule32& e, const wchar_t* pszTable, const wchar_t* pszItem, unsigned nFile, unsigned nPoint,
           unsigned nCode, ...)
{
    va_list args;
    va_start(args, nCode);
    e.SetUserErrorList(MOD, nCode, args);
    va_end(args);
    if (pszTable != nullptr && pszTable[0] != 0) {
        e.AddInfo(EIT_LOGICALTABLENAME, pszTable);
        if (pszItem != nullptr && pszItem[0] != 0)
            e.AddInfo(EIT_ITEMNAME, pszItem);
    }
    int nCodeInfo = static_cast<int>(nCode);
    e.AddInfo(EIT_NATIVECODE, &nCodeInfo);
    e.AddDebugMessageNoFormat(DebugLine(nFile, nPoint).c_str());
    e.AddDebugMessage(MOD, 0xFFFFFFFF);
}

class CException : public IXErrorException {
public:
    void vReserved() override {}
    unsigned int AddRef() override { return ++m_nRef; }
    unsigned int Release() override { return --m_nRef; }
    unsigned int m_nRef = 1;
};

// A module whose definitions name a message the catalogue lacks and one
// whose text is empty.
const _stErrorDef s_tabDefAutre[] = {{1000, 12345, 7, 3}, {1001, 28851, 1001, 2}, {1002, 257, 1002, 3}};
const _stMyModuleInfo s_stAutre = {s_tabDefAutre, 3, 77, L"other.so", L"1.2.3.4", bGetResAnsi32};

} // namespace

TEST(XError, RaiseByNumberLevelsAndReset)
{
    _CXErrorModule32 e;
    EXPECT_EQ(e.nGetModuleNumber(), 32);
    EXPECT_EQ(e.eGetErrorLevel(), EL_NOERROR);
    Raise(e, L"CUSTOMER", L"NAME", 7, 3, 53u, 12, 16, L"abc");
    EXPECT_EQ(e.nGetUserErrorCode(), 53);
    EXPECT_EQ(e.nGetDetailId(), 53);
    EXPECT_EQ(e.eGetErrorLevel(), EL_ERROR);
    EXPECT_EQ(e.nNumErrorId(), 1);
    EXPECT_EQ(e.nGetErrorId(0), 25621u);
    EXPECT_EQ(wstring(e.pszGetUserMessage()), Fmt(25621, 12, 16, L"abc"));
    EXPECT_EQ(wstring(e.pszGetModName()) + L" " + e.pszGetModVersion(), L"zt190msql.so 19.0.3.0");
    EXPECT_STREQ(e.pszGetDebugMessage(), L"IEDUZARO=7.3\r\nModule=<DUZARO>\r\nVersion=<19.0.3.0>");
    // The table's telling rows: detail numbers and levels.
    e.SetUserError(MOD, 17);
    EXPECT_EQ(e.nGetDetailId(), 28544);
    EXPECT_EQ(e.eGetErrorLevel(), EL_ERROR);
    e.SetUserError(MOD, 21, L"T", L"I");
    EXPECT_EQ(e.nGetDetailId(), 21);
    EXPECT_EQ(e.eGetErrorLevel(), EL_LEVEL2);
    EXPECT_EQ(CXError::nGetRessourceIdFromUserErrorCode(MOD, 320102), 3355u);
    EXPECT_EQ(CXError::nGetRessourceIdFromUserErrorCode(MOD, 3), 0u);
    // An unknown code: level 3, the code kept, a debug line.
    e.SetUserError(MOD, 8);
    e.ChangeUserError(MOD, 3);
    EXPECT_EQ(e.nGetUserErrorCode(), 8);
    EXPECT_EQ(e.eGetErrorLevel(), EL_ERROR);
    EXPECT_STREQ(e.pszGetDebugMessage(),
                 L"##(CXError)-Pas de definition d'erreur dans gstErrorDef pour l'identifiant <3>##");
    // A sub-level, then no error at all.
    Raise(e, L"T", L"I", 1, 1, 53u, 1, 2, L"x");
    e.AddSubError(&e);
    e.SetSystemError(5, L"sys");
    e.SetVMContext(L"caption", L"object", 10, 2);
    e.SetFunctionName(L"fn", 1);
    e.SetUserErrorCode55(9);
    e.SetErrorLevel(static_cast<eERRORLEVEL>(0x10002));
    EXPECT_TRUE(e.eGetErrorLevel() == static_cast<eERRORLEVEL>(0x10002));
    EXPECT_EQ(e.nGetNbSubError(), 1);
    // No error: every field as in a new object, the module number kept.
    e.SetErrorLevel(EL_NOERROR);
    const _CXErrorModule32 fresh;
    EXPECT_EQ(Dump(e, 0xFFF), Dump(fresh, 0xFFF));
    EXPECT_EQ(e.nGetUserErrorCode55() + e.nNumErrorId() + e.nNumInfo() + e.nGetNbSubError(), 0u);
}

// A reset finds most errors clear already: whatever one field holds, the
// reset still leaves an error as a new one.
TEST(XError, ResetClearsEachFieldAlone)
{
    const auto fields = [](const CXError& e) {
        return Dump(e, 0xFFF) + L"|" + e.pszGetFunctionName() + L"|" + e.pszGetModName() + L"|" +
               e.pszGetModVersion() + L"|" + e.pszGetTraitmentCaption() + L"|" + e.pszGetObjectName() + L"|" +
               std::to_wstring(e.nNumErrorId() + e.nNumInfo() + e.nGetNbSubError());
    };
    const long long ll = 42;
    _CXErrorModule32 sub;
    const struct {
        const char* pszName;
        void (*pfnSet)(CXError&, const long long&, CXError&);
    } rows[] = {
        {"user message", [](CXError& e, const long long&, CXError&) { e.AddUserMessage(L"u"); }},
        {"debug message", [](CXError& e, const long long&, CXError&) { e.AddDebugMessageNoFormat(L"d"); }},
        {"function name", [](CXError& e, const long long&, CXError&) { e.SetFunctionName(L"fn", 1); }},
        {"module name", [](CXError& e, const long long&, CXError&) { e.InitModName(L"m"); }},
        {"module version", [](CXError& e, const long long&, CXError&) { e.InitModVersion(L"1.0"); }},
        {"system message", [](CXError& e, const long long&, CXError&) { e.SetSystemErrorMessage(L"s"); }},
        {"caption", [](CXError& e, const long long&, CXError&) { e.SetVMContext(L"c", 3, 4); }},
        {"object name", [](CXError& e, const long long&, CXError&) { e.SetVMContext(L"o"); }},
        {"info", [](CXError& e, const long long& n, CXError&) { e.AddInfo(EIT_RECNUM, &n); }},
        {"sub-error", [](CXError& e, const long long&, CXError& s) { e.AddSubError(&s); }},
        {"numbers", [](CXError& e, const long long&, CXError&) { e.SetUserErrorCode(7); e.SetDetailId(8); }},
    };
    const _CXErrorModule32 fresh;
    for (const auto& row : rows) {
        _CXErrorModule32 e;
        row.pfnSet(e, ll, sub);
        EXPECT_NE(fields(e), fields(fresh)) << row.pszName << ": the row sets nothing";
        e.RAZ();
        EXPECT_EQ(fields(e), fields(fresh)) << row.pszName;
    }
}

TEST(XError, MessagesAndConstructors)
{
    // Changing the user error puts the new message and id first.
    CXError e(MOD, 53u, 1, 2, L"v");
    e.ChangeUserError(MOD, 8);
    EXPECT_EQ(e.nGetUserErrorCode(), 8);
    EXPECT_EQ(e.nNumErrorId(), 2);
    EXPECT_EQ(e.nGetErrorId(0), 28437u);
    e.AddUserMessage(MOD, 28417, L"T1");
    e.AddUserMessageFirst(MOD, 25295);
    ASSERT_EQ(e.nNumErrorId(), 4);
    EXPECT_EQ(e.nGetErrorId(0), 25295u);
    EXPECT_EQ(e.nGetErrorId(3), 28417u);
    EXPECT_EQ(wstring(e.pszGetUserMessage()),
              Load(25295) + CRLF + Load(28437) + CRLF + Fmt(25621, 1, 2, L"v") + CRLF + Fmt(28417, L"T1"));
    // The debug form of the constructor.
    CXError d(MOD, L"first line", 19u, L"T2");
    EXPECT_EQ(wstring(d.pszGetUserMessage()), Fmt(28417, L"T2"));
    d.AddDebugMessageFirst(L"zero");
    d.AddDebugMessageFirst(L"");
    d.AddDebugMessagePrintf(L"%s/%S/%d", L"wide", "narrow", 42);
    d.AddDebugMessage(MOD, 28851, 9u);
    EXPECT_EQ(wstring(d.pszGetDebugMessage()), L"zero\r\nfirst line\r\nwide/narrow/42\r\n" + Fmt(28851, 9u));
    // A text of the caller in place of the resource; no id recorded.
    CXError t(MOD);
    t.SetUserErrorMessage(MOD, 8, L"own text");
    EXPECT_EQ(t.nGetUserErrorCode(), 8);
    EXPECT_EQ(t.nNumErrorId(), 0);
    EXPECT_EQ(wstring(t.pszGetUserMessage()), L"own text");
    // Joining: an empty field, a null text, text taken from the field itself.
    CXError j(MOD);
    j.AddUserMessageFirst(L"");
    j.AddUserMessageFirst(L"a");
    EXPECT_STREQ(j.pszGetUserMessage(), L"a\r\n");
    j.RAZUserMessage();
    j.AddUserMessageNoFormat(nullptr);
    j.AddUserMessage(L"x");
    j.AddUserMessage(j.pszGetUserMessage());
    j.AddUserMessageFirst(j.pszGetUserMessage());
    EXPECT_STREQ(j.pszGetUserMessage(), L"x\r\nx\r\nx\r\nx");
    j.AddDebugMessageNoFormat(L"d");
    j.AddDebugMessageNoFormat(j.pszGetDebugMessage());
    EXPECT_STREQ(j.pszGetDebugMessage(), L"d\r\nd");
}

TEST(XError, MissingMessagesAndSystemErrors)
{
    // A definition whose message the catalogue lacks.
    CXError e(&s_stAutre, 1000u);
    EXPECT_EQ(e.nGetModuleNumber(), 77);
    EXPECT_EQ(e.nGetDetailId(), 7);
    EXPECT_STREQ(e.pszGetDebugMessage(), L"##(CXError)-Ressource <12345> non chargée##");
    EXPECT_NE(wstring(e.pszGetUserMessage()).find(L"12345"), wstring::npos);
    // A message whose text is empty.
    e.SetUserError(&s_stAutre, 1002);
    EXPECT_EQ(wstring(e.pszGetDebugMessage()).rfind(L"##(CXError)-Ressource <257> vide. LastError = <", 0), 0u);
    EXPECT_NE(wstring(e.pszGetUserMessage()).find(L"257"), wstring::npos);
    // The module's name stays that of the first module unless forced.
    e.SetUserError(&s_stAutre, 1001, 5u);
    EXPECT_EQ(e.eGetErrorLevel(), EL_LEVEL2);
    e.AddUserMessage(MOD, 28437);
    EXPECT_STREQ(e.pszGetModName(), L"other.so");
    e.InitModInfo(MOD, 1);
    EXPECT_STREQ(e.pszGetModName(), L"zt190msql.so");
    // The system form writes its failure line as the system message.
    e.SetSystemErrorMessage(MOD, 12347);
    EXPECT_STREQ(e.pszGetSystemErrorMessage(), L"##(CXError)-Ressource <12347> non chargée##");
    e.SetSystemErrorMessage(MOD, 28853, 4u);
    EXPECT_EQ(wstring(e.pszGetSystemErrorMessage()), Fmt(28853, 4u));
    // System errors: the text of errno; a lock conflict has none of its own,
    // EAGAIN's stands in.
    errno = ENOENT;
    e.SetSystemErrorParam(3);
    EXPECT_EQ(e.dwGetSystemErrorCode(), 3);
    EXPECT_EQ(wstring(e.pszGetSystemErrorMessage()), SysText(ENOENT));
    errno = static_cast<int>(0x80000001u);
    e.SetSystemErrorParam(0x80000000u);
    EXPECT_EQ(wstring(e.pszGetSystemErrorMessage()), SysText(EAGAIN));
    e.SetSystemErrorParam(0);
    EXPECT_STREQ(e.pszGetSystemErrorMessage(), L"");
    e.SetSystemErrorMessageA("d\xC3\xA9j\xC3\xA0");
    EXPECT_STREQ(e.pszGetSystemErrorMessage(), L"d\u00E9j\u00E0");
    e.SetSystemErrorMessagePrintf(7, L"%s-%S-%u", L"w", "n", 8u);
    EXPECT_EQ(e.dwGetSystemErrorCode(), 7);
    EXPECT_EQ(wstring(e.pszGetSystemErrorMessage()), L"w-n-8");
}

TEST(XError, Infos)
{
    CXError e(MOD);
    int n = 5;
    e.AddInfo(EIT_NATIVECODE, &n);
    n = 6;
    e.AddInfo(EIT_NATIVECODE, &n);
    eERRORINFOTYPE eType = static_cast<eERRORINFOTYPE>(-1);
    const void* p = nullptr;
    e.GetInfo(0, &eType, &p);
    int nLu = 0;
    memcpy(&nLu, &p, sizeof(nLu));
    EXPECT_EQ(e.nNumInfo(), 1) << "replaced";
    EXPECT_EQ(eType, EIT_NATIVECODE) << "replaced";
    EXPECT_EQ(nLu, 6) << "replaced";
    // Ignored: a null value, a type that cannot be stored.
    e.AddInfo(EIT_ITEMNAME, nullptr);
    e.AddInfo(static_cast<eERRORINFOTYPE>(34), L"x");
    EXPECT_EQ(e.nNumInfo(), 1);
    // Texts are copied; storing the stored text again is safe.
    wchar_t sz[] = L"table";
    e.AddInfo(EIT_LOGICALTABLENAME, sz);
    sz[0] = L'X';
    ASSERT_TRUE(e.bGetInfo(EIT_LOGICALTABLENAME, &p));
    e.AddInfo(EIT_LOGICALTABLENAME, p);
    ASSERT_TRUE(e.bGetInfo(EIT_LOGICALTABLENAME, &p));
    EXPECT_STREQ(static_cast<const wchar_t*>(p), L"table");
    // 64-bit values go into the 8 bytes the value argument points to.
    long long ll = 123456789012LL;
    e.AddInfo(EIT_RECNUM, &ll);
    long long llLu = 0;
    e.GetInfo(2, &eType, reinterpret_cast<const void**>(&llLu));
    EXPECT_EQ(eType, EIT_RECNUM);
    EXPECT_EQ(llLu, 123456789012LL);
    // A data access: one reference however often it is stored.
    int nDetruits = 0;
    CCounted* pA = new CCounted(&nDetruits);
    CCounted* pB = new CCounted(&nDetruits);
    pA->m_nRefCount = 1;
    e.AddInfo(EIT_DATAACCESS, pA);
    e.AddInfo(EIT_DATAACCESS, pA);
    EXPECT_EQ(pA->m_nRefCount, 2);
    e.AddInfo(EIT_DATAACCESS, pB);
    EXPECT_EQ(pA->m_nRefCount, 1);
    e.DeleteInfo(EIT_DATAACCESS);
    EXPECT_EQ(nDetruits, 1);
    e.AddInfo(EIT_DATAACCESS, pA);
    CException x;
    e.AddInfo(EIT_EXCEPTIONDOTNET, &x);
    EXPECT_EQ(x.m_nRef, 2u);
    pA->dwRelease();
    e.RAZ();
    EXPECT_EQ(nDetruits, 2);
    EXPECT_EQ(x.m_nRef, 1);
    EXPECT_EQ(e.nNumInfo(), 0);
    // Report lines of the forms the full dump does not show.
    ll = -9000000000LL;
    const struct {
        int nType;
        const void* pValue;
        const wchar_t* pszLine;
    } lines[] = {
        {EIT_LOCKINFO, L"lock", L"EIT_LOCKINFO : lock"},
        {EIT_HLOCKTIME, &ll, L"EIT_HLOCKTIME : <-9000000000>"},
        {EIT_EXCEPTIONDOTNET, &x, L"EIT_EXCEPTIONDOTNET"},
    };
    for (const auto& l : lines) {
        CTString cl;
        CXError::DumpInfo(static_cast<eERRORINFOTYPE>(l.nType), l.pValue, &cl);
        EXPECT_STREQ(cl.pszGet(), l.pszLine) << l.nType;
    }
}

TEST(XError, SubErrors)
{
    _CXErrorModule32 e;
    e.SetUserError(MOD, 8);
    CXError s1(MOD, 53u, 1, 2, L"one");
    CXError s2(MOD, 19u, L"two");
    e.AddSubError(&s1);
    e.AddSubError(&s2);
    ASSERT_EQ(e.nGetNbSubError(), 2);
    // Only the first sub-error's message joins the parent's.
    EXPECT_EQ(wstring(e.pszGetUserMessage()), Load(28437) + CRLF + Fmt(25621, 1, 2, L"one"));
    EXPECT_TRUE(e.pclGetSubError(1)->nGetUserErrorCode() == 19);
    EXPECT_EQ(s1.nGetUserErrorCode(), 53);  // copied
    EXPECT_EQ(e.pclGetSubError(2), nullptr);
    EXPECT_EQ(e.pclGetSubError(-1), nullptr);
    // Moved: the source is left clear.
    CXError s3(MOD, 19u, L"three");
    s3.AddSubError(&s1);
    e.AddSubErrorLight(&s3);
    EXPECT_EQ(s3.eGetErrorLevel(), EL_NOERROR);
    EXPECT_EQ(s3.nGetNbSubError() + s3.nNumErrorId(), 0);
    EXPECT_STREQ(s3.pszGetUserMessage(), L"");
    ASSERT_EQ(e.nGetNbSubError(), 3);
    EXPECT_TRUE(e.pclGetSubError(2)->nGetNbSubError() == 1);
    EXPECT_TRUE(e.pclGetSubError(2)->nGetErrorId(0) == 28417u);
    // A first sub-error that brings no message; one moved into itself.
    CXError f(MOD);
    f.SetUserError(MOD, 8);
    CXError s4(MOD, 19u, L"four");
    f.AddSubErrorLightNoUserMessage(&s4);
    EXPECT_EQ(wstring(f.pszGetUserMessage()), Load(28437));
    f.DeleteAllSubError();
    f.AddSubErrorLight(&f);
    EXPECT_EQ(f.nGetNbSubError(), 0);
    EXPECT_EQ(f.nGetUserErrorCode(), 8);
}

TEST(XError, CopyAndAssignment)
{
    int nDetruits = 0;
    CCounted* pAcces = new CCounted(&nDetruits);
    pAcces->m_nRefCount = 1;
    {
        _CXErrorModule32 e;
        Raise(e, L"T", L"I", 3, 4, 53u, 1, 2, L"v");
        e.AddInfo(EIT_DATAACCESS, pAcces);
        e.SetVMContext(L"cap", L"obj", 7, 1);
        CXError s(MOD, 19u, L"sub");
        s.AddSubError(&s);  // a sub-error with its own sub-error
        e.AddSubErrorLightNoUserMessage(&s);
        // A plain copy belongs to no module: the data access stays behind.
        CXError c(e);
        EXPECT_EQ(c.nGetModuleNumber(), 0);
        EXPECT_FALSE(c.bHasInfo(EIT_DATAACCESS));
        EXPECT_EQ(Dump(c, 0x80000FFF & ~0x200u), Dump(e, 0x80000FFF & ~0x200u));
        // A copy of this module keeps it, with a reference of its own; deep:
        // changing the original leaves the copy.
        _CXErrorModule32 m(e);
        EXPECT_EQ(pAcces->m_nRefCount, 3);
        EXPECT_EQ(Dump(m, 0x80000FFF), Dump(e, 0x80000FFF));
        e.pclGetSubError(0)->SetUserError(MOD, 8);
        EXPECT_EQ(m.pclGetSubError(0)->nGetUserErrorCode(), 19u);
        // Onto itself: nothing changes.
        const wstring clAvant = Dump(m, 0xFFF);
        m.Copy(m);
        m = m;
        EXPECT_EQ(Dump(m, 0xFFF), clAvant);
        // Assigned from one of its own sub-errors.
        _CXErrorModule32 a(m);
        a = *a.pclGetSubError(0);
        EXPECT_EQ(a.nGetUserErrorCode(), 19);
        EXPECT_EQ(a.nGetNbSubError(), 1);
        EXPECT_FALSE(a.bHasInfo(EIT_DATAACCESS));
        // Moved: the source is clear, the reference goes with the error.
        _CXErrorModule32 l;
        l.LightCopy(&m);
        EXPECT_EQ(Dump(m, 0xFFF), Dump(_CXErrorModule32(), 0xFFF));
        EXPECT_EQ(l.nGetNbSubError(), 1);
        EXPECT_TRUE(pAcces->m_nRefCount == 3);
    }
    EXPECT_EQ(pAcces->m_nRefCount, 1);
    pAcces->dwRelease();
}

TEST(XError, SetAnyErrorAndNoMemory)
{
    const struct {
        int nStatus;
        unsigned nCode, nResource;
        bool bTypes;
    } tab[] = {
        {1, 65, 25298, true},    {101, 61, 25294, false}, {104, 66, 25292, true},
        {105, 60, 25293, false}, {106, 64, 25297, true},  {107, 63, 25296, false},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.nStatus);
        CXError e(MOD);
        e.AddDebugMessageNoFormat(L"before");
        e.SetAnyError(MOD, t.nStatus, 16, 26);
        EXPECT_EQ(e.nGetUserErrorCode(), t.nCode);
        EXPECT_EQ(e.eGetErrorLevel(), EL_ERROR);
        EXPECT_STREQ(e.pszGetDebugMessage(), L"");
        EXPECT_EQ(wstring(e.pszGetUserMessage()), t.bTypes ? Fmt(t.nResource, 16, 26) : Fmt(t.nResource));
    }
    // A status without an error of its own: the failed conversion, naming it.
    for (int nStatus : {102, 250}) {
        CXError u(MOD);
        u.SetAnyError(MOD, nStatus, 16, 26);
        EXPECT_EQ(u.nGetUserErrorCode(), 53);
        EXPECT_EQ(u.nNumErrorId(), 1);
        EXPECT_EQ(u.nGetErrorId(0), 25621u);
        EXPECT_NE(wstring(u.pszGetUserMessage()).find(std::to_wstring(nStatus)), wstring::npos) << nStatus;
    }
    CXError e(MOD, 8u);
    e.SetAnyError(MOD, 0, 1, 2);
    EXPECT_EQ(e.eGetErrorLevel(), EL_NOERROR);
    EXPECT_EQ(e.pszGetUserMessage()[0], 0);
    e.SetAnyError(MOD, 100, 1, 2);  // out of memory
    EXPECT_EQ(e.eGetErrorLevel(), EL_ERROR);
    EXPECT_EQ(e.dwGetSystemErrorCode(), 12);
    EXPECT_EQ(wstring(e.pszGetUserMessage()), Load(25193));
    // The direct form is an error (level 3) without sub-errors; filed as a
    // sub-error, its message leads the parent's.
    CXError m(MOD, 53u, 1, 2, L"x");
    m.AddSubError(&m);
    errno = 0;
    m.SetErrorNoMemory();
    EXPECT_EQ(m.eGetErrorLevel(), EL_ERROR);
    EXPECT_EQ(m.nGetUserErrorCode(), 0);
    EXPECT_EQ(m.nGetNbSubError(), 0);
    EXPECT_EQ(m.dwGetSystemErrorCode(), 12u);
    EXPECT_EQ(wstring(m.pszGetUserMessage()), Load(25193));
    EXPECT_EQ(wstring(m.pszGetSystemErrorMessage()), SysText(12));
    _CXErrorModule32 p;
    p.AddSubError(&m);
    EXPECT_EQ(wstring(p.pszGetUserMessage()), Load(25193));
}

TEST(XError, DumpOfClearAndUserErrors)
{
    CXError c(MOD);
    EXPECT_EQ(Dump(c, 0xFFF), Load(28858) + CRLF +                                              //
                                  CRLF + Fmt(28851, 0u) + CRLF + Load(28847) + CRLF +            //
                                  CRLF + Fmt(28852, 0u) + CRLF +                                 //
                                  CRLF + Load(28854) + CRLF + Load(28856) + CRLF +               //
                                  CRLF + Load(28843) + CRLF + Load(28864) + CRLF + Load(28860) + //
                                  CRLF + Load(28862) + CRLF);
    // The dump appends; the text form takes the default mask.
    CTString cl(L"head:");
    c.StringDump(cl, static_cast<eXERROR_INFO>(0x8));
    EXPECT_EQ(wstring(cl.pszGet()), L"head:" + Fmt(28851, 0u) + CRLF);
    EXPECT_EQ(Dump(c, 0), L"");
    EXPECT_STREQ(c.StringDump(XEI_DEFAULT).pszGet(), Dump(c, 0x80000FFF).c_str());

    _CXErrorModule32 e;
    e.SetUserError(MOD, 53, 3, 4, L"val");
    EXPECT_EQ(Dump(e, 0xC0000FFF), Fmt(25621, 3, 4, L"val") + CRLF + CRLF + Fmt(28851, 53u) + CRLF + Load(28849) +
                                       CRLF + CRLF + Fmt(28842, L"zt190msql.so", L"19.0.3.0") + CRLF +
                                       Fmt(28863, 53u) + CRLF);
    // Levels by caption: the sub-levels of 1 share one, unknown ones show
    // their number.
    const struct {
        unsigned nLevel;
        wstring cl;
    } tab[] = {{0x40000008, Load(28849)}, {0x20001, Load(25311)}, {0x10005, Fmt(28850, 0x10005)}};
    for (const auto& t : tab) {
        e.SetErrorLevel(static_cast<eERRORLEVEL>(t.nLevel));
        EXPECT_EQ(Dump(e, 0x4), t.cl + CRLF) << t.nLevel;
    }
}

TEST(XError, DumpOfErrorWithInfosAndSubErrors)
{
    _CXErrorModule32 e;
    Raise(e, L"CUSTOMER", L"", 6, 2, 21u, L"CUSTOMER", L"ID");
    long long ll = 42;
    e.AddInfo(EIT_RECNUM, &ll);
    e.AddInfo(EIT_NATIVEMESSAGE, L"");  // an empty text is left out
    e.AddInfo(EIT_PILEC, L"frame");
    e.SetVMContext(L"Click", L"BTN", 65535, 2);
    e.SetFunctionName(L"HReadFirst", 1);
    e.SetUserErrorCode55(77);
    e.SetSystemError(13, L"denied");
    _CXErrorModule32 s;
    Raise(s, nullptr, nullptr, 6, 3, 8u);
    e.AddSubErrorLightNoUserMessage(&s);

    const wstring clModule = Fmt(28842, L"zt190msql.so", L"19.0.3.0");
    const wstring clSub = Load(28857) + CRLF + Load(28437) + CRLF +        //
                          CRLF + Fmt(28851, 8u) + CRLF + Load(28849) + CRLF + //
                          CRLF + clModule + CRLF + Fmt(28863, 8u) + CRLF +    //
                          Load(28859) + CRLF + DebugLine(6, 3) + CRLF +       //
                          Load(28861) + CRLF + L"EIT_NATIVECODE : <8>";
    const wstring clAttendu = Load(28844) + CRLF + Fmt(25770, L"Click", L" (BTN)", 2u) + CRLF +
                              Fmt(28846, L"HReadFirst", 1u) + CRLF +                                 //
                              CRLF + Load(28857) + CRLF + Fmt(28576, L"CUSTOMER", L"ID") + CRLF +     //
                              CRLF + Fmt(28851, 21u) + CRLF + Load(28848) + CRLF +                    //
                              CRLF + Fmt(28852, 77u) + CRLF +                                         //
                              CRLF + Fmt(28853, 13u) + CRLF + Load(28855) + CRLF + L"denied" +        //
                              CRLF + clModule + CRLF + Fmt(28863, 21u) + CRLF +                       //
                              Load(28859) + CRLF + DebugLine(6, 2) + CRLF +                           //
                              Load(28861) + CRLF + L"EIT_LOGICALTABLENAME : <CUSTOMER>" +             //
                              CRLF + L"EIT_NATIVECODE : <21>" + CRLF + L"EIT_RECNUM : <42>" +         //
                              CRLF + L"EIT_PILEC :\r\nframe" +                                        //
                              CRLF + CRLF + L"----- " + Fmt(28865, 1) + L" -----\r\n\r\n" + clSub + CRLF;
    EXPECT_EQ(Dump(e, 0x80000FFF), clAttendu);
    // A known line: the processing line with it, and no object part.
    e.SetVMContext(L"Click", 12, 2);
    e.SetVMContext(static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(Dump(e, 0x2), Load(28844) + CRLF + Fmt(28845, L"Click", L"", 12u, 2u) + CRLF +
                                Fmt(28846, L"HReadFirst", 1u) + CRLF);
}
