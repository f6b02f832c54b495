#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/ClosedConnection.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A connection that records the facts requests and names a database.
class CFactsConnection : public CClosedConnection {
public:
    int m_nFactsCalls = 0;
    void SetDataBase(const wchar_t* psz) { m_csDefaultDataBase = psz; }
    void AddInfoNativeXError(_CXErrorModule32* pError) override
    {
        m_nFactsCalls++;
        pError->AddDebugMessageNoFormat(L"facts");
    }
};

std::wstring Debug(const CXError* pcl)
{
    return pcl->pszGetDebugMessage();
}

bool Contains(const std::wstring& s, const wchar_t* psz)
{
    return s.find(psz) != std::wstring::npos;
}

// A host interface operation called by its slot number (from 1).
template <class R>
R CallSlot(INAError* pi, int nSlot)
{
    typedef R (*PFN)(INAError*);
    void** pVtbl = *reinterpret_cast<void***>(pi);
    return reinterpret_cast<PFN>(pVtbl[nSlot - 1])(pi);
}

TEST(NAError, ErrorOrderSubErrorsAndQuiet)
{
    CFactsConnection cnx;
    CNAError cl;
    cl.AddError(NA_ERRORTYPE_LOCKTIMEOUT, 7, 3, &cnx, ZTERR_NO_CONNECTION, L"cnx1");
    cl.AddError(NA_ERRORTYPE_DUPLICATE, ZTERR_NOT_OFFERED, 5, 9, &cnx);
    EXPECT_EQ(cl.eGetErrorType(), NA_ERRORTYPE_LOCKTIMEOUT);
    EXPECT_EQ(cl.dwGetErrorId(), 14u);
    const CXError* pcl = cl.pclGetXError();
    ASSERT_EQ(pcl->nGetNbSubError(), 1);
    EXPECT_EQ(pcl->pclGetSubError(0)->nGetUserErrorCode(), 8u);
    // The user message carries the argument; the debug line the site.
    EXPECT_TRUE(Contains(pcl->pszGetUserMessage(), L"cnx1"));
    EXPECT_TRUE(Contains(Debug(pcl), L"IEDUZARO=7.3\r\n"));
    EXPECT_TRUE(Contains(Debug(pcl->pclGetSubError(0)), L"IEDUZARO=5.9\r\n"));
    // Facts only for the first error.
    EXPECT_EQ(cnx.m_nFactsCalls, 1);
    EXPECT_FALSE(Contains(Debug(pcl->pclGetSubError(0)), L"facts"));
    // The last error is the sub-error.
    EXPECT_EQ(cl.nGetUserErrorCode(), 8u);
    // The report holds both errors, the first one first.
    const std::wstring s = cl.pszGetError();
    ASSERT_NE(s.find(L"IEDUZARO=5.9"), std::wstring::npos);
    EXPECT_LT(s.find(L"cnx1"), s.find(L"IEDUZARO=5.9"));
    _CXErrorModule32 clLocal;
    CNAError::g_AddDebugInfo(&clLocal, 103, 12);
    EXPECT_EQ(Debug(&clLocal), L"IEDUZARO=103.12\r\nModule=<DUZARO>\r\nVersion=<19.0.3.0>");
    // AddErrorFirst puts the new error ahead.
    CNAError clAhead;
    clAhead.AddError(NA_ERRORTYPE_GENERAL, 1, 1, nullptr, ZTERR_NO_CONNECTION, L"cnx1");
    clAhead.AddErrorFirst(NA_ERRORTYPE_ROWGONE, 4, 6, nullptr, ZTERR_RECORD_NOT_FOUND, L"ORDERS");
    EXPECT_EQ(clAhead.eGetErrorType(), NA_ERRORTYPE_ROWGONE);
    EXPECT_EQ(clAhead.dwGetErrorId(), 13u);
    const CXError* pclAhead = clAhead.pclGetXError();
    ASSERT_EQ(pclAhead->nGetNbSubError(), 1);
    EXPECT_EQ(pclAhead->pclGetSubError(0)->nGetUserErrorCode(), 14u);
    EXPECT_TRUE(Contains(Debug(pclAhead), L"IEDUZARO=4.6"));
    EXPECT_TRUE(Contains(Debug(pclAhead->pclGetSubError(0)), L"IEDUZARO=1.1"));
    // Without an earlier error it is a plain first error.
    CNAError clPlain;
    clPlain.AddErrorFirst(NA_ERRORTYPE_NULLREFUSED, 4, 7, nullptr, ZTERR_NOT_OFFERED);
    EXPECT_EQ(clPlain.dwGetErrorId(), 8u);
    EXPECT_EQ(clPlain.pclGetXError()->nGetNbSubError(), 0);
    // A quiet object adds neither debug line nor facts.
    CFactsConnection cnxQuiet;
    CNAError clQuiet;
    clQuiet.SetQuiet(1);
    clQuiet.AddError(NA_ERRORTYPE_GENERAL, 100, 4, &cnxQuiet, ZTERR_NOT_OFFERED);
    clQuiet.AddError(NA_ERRORTYPE_GENERAL, 100, 5, &cnxQuiet, ZTERR_NO_MEMORY);
    clQuiet.SetAnyError(105, 8, 16, 7, 1, &cnxQuiet, L"T", L"I");
    EXPECT_EQ(cnxQuiet.m_nFactsCalls, 0);
    ASSERT_EQ(clQuiet.pclGetXError()->nGetNbSubError(), 2);
    EXPECT_FALSE(Contains(clQuiet.pszGetError(), L"IEDUZARO"));
}

TEST(NAError, InfoNamesResetLevelsAndCopies)
{
    CNAError cl;
    cl.AddError(NA_ERRORTYPE_GENERAL, 1, 1, nullptr, ZTERR_NOT_OFFERED);
    cl.SetInfoNames(L"", L"NOM");
    EXPECT_EQ(cl.pszGetLogicalTableName(), nullptr);
    EXPECT_EQ(cl.pszGetItemName(), nullptr);
    cl.SetInfoNames(L"CLIENT", L"");
    EXPECT_STREQ(cl.pszGetLogicalTableName(), L"CLIENT");
    EXPECT_EQ(cl.pszGetItemName(), nullptr);
    CNAError::g_SetInfoNames(nullptr, L"T", L"I"); // no error: nothing to do
    cl.Reset();
    EXPECT_EQ(cl.dwGetErrorId(), 0u);
    EXPECT_EQ(cl.eGetErrorType(), NA_ERRORTYPE_NONE);
    EXPECT_EQ(cl.pszGetLogicalTableName(), nullptr);
    EXPECT_FALSE(Contains(cl.pszGetError(), L"CLIENT"));
    // Levels: 2 and 3 kept, others ignored, 1 clears.
    cl.AddError(NA_ERRORTYPE_GENERAL, 1, 1, nullptr, ZTERR_NOT_OFFERED);
    cl.SetErrorLevel(2);
    EXPECT_EQ(cl.eGetErrorLevel(), NA_ERRORLEVEL_2);
    cl.SetErrorLevel(7);
    EXPECT_EQ(cl.eGetErrorLevel(), NA_ERRORLEVEL_2);
    cl.SetErrorLevel(1);
    EXPECT_EQ(cl.eGetErrorLevel(), NA_ERRORLEVEL_NOERROR);
    EXPECT_EQ(cl.dwGetErrorId(), 0u);
    // Recorded errors and copies.
    _CXErrorModule32 clLocal;
    clLocal.SetUserError(&gstMyModuleInfo32, ZTERR_NOT_OFFERED);
    CNAError clRec;
    clRec.AddError(NA_ERRORTYPE_NOTOFFERED, &clLocal, nullptr);
    EXPECT_EQ(clRec.dwGetErrorId(), 8u);
    // A sub-error without error level is not kept.
    _CXErrorModule32 clVide;
    clRec.AddSubError(&clVide);
    EXPECT_EQ(clRec.pclGetXError()->nGetNbSubError(), 0);
    clRec.AddSubError(&clLocal);
    // Copy takes kind and error; onto itself nothing changes.
    CNAError clCopie;
    clCopie.Copy(&clRec);
    EXPECT_EQ(clCopie.eGetErrorType(), NA_ERRORTYPE_NOTOFFERED);
    clCopie.Copy(&clCopie);
    EXPECT_EQ(clCopie.dwGetErrorId(), 8u);
    EXPECT_EQ(clCopie.pclGetXError()->nGetNbSubError(), 1);
}

TEST(NAError, SetAnyErrorGivesTheModulesValueErrors)
{
    CFactsConnection cnx;
    CNAError cl;
    // Status 1: the value went out of range (user error 65 with both types).
    cl.SetAnyError(1, 8, 6, 12, 2, &cnx, L"CLIENT", L"AGE");
    EXPECT_EQ(cl.dwGetErrorId(), 65u);
    EXPECT_STREQ(cl.pszGetItemName(), L"AGE");
    EXPECT_TRUE(Contains(Debug(cl.pclGetXError()), L"IEDUZARO=12.2\r\n"));
    EXPECT_EQ(cnx.m_nFactsCalls, 1);
    // Later statuses become sub-errors, without facts: 105 not handled,
    // 104 a binary of other than 8 bytes, 107, 106, 101.
    const struct { int nStatus; unsigned nUserError; } subs[] = {{105, 60}, {104, 66}, {107, 63}, {106, 64}, {101, 61}};
    for (const auto& k : subs)
        cl.SetAnyError(k.nStatus, 28, 26, 12, 3, &cnx, nullptr, nullptr);
    EXPECT_EQ(cnx.m_nFactsCalls, 1);
    const CXError* pcl = cl.pclGetXError();
    ASSERT_EQ(pcl->nGetNbSubError(), 5);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(pcl->pclGetSubError(i)->nGetUserErrorCode(), subs[i].nUserError) << subs[i].nStatus;
}

TEST(NAError, DataBaseErrorAndMessages)
{
    CFactsConnection cnx;
    cnx.SetDataBase(L"shop");
    CNAError cl;
    cl._SetDataBaseError(NA_ERRORTYPE_DUPLICATE, &cnx, ZTERR_SERVER, 1062, L"Duplicate entry '5'", L"ORDERS",
                         L"ID");
    EXPECT_EQ(cl.dwGetErrorId(), 22u);
    const CXError* pcl = cl.pclGetXError();
    std::wstring sUser = pcl->pszGetUserMessage();
    EXPECT_TRUE(Contains(sUser, L"\"shop\"")) << sUser;
    EXPECT_TRUE(Contains(sUser, L"1062")) << sUser;
    EXPECT_TRUE(Contains(sUser, L"Duplicate entry '5'")) << sUser;
    EXPECT_STREQ(cl.pszGetSystemErrorMessage(), L"Duplicate entry '5'");
    EXPECT_EQ(cl.dwGetDataBaseErrorCode(), 1062u);
    EXPECT_STREQ(cl.pszGetItemName(), L"ID");
    // Without a connection, server text or server number.
    CNAError cl2;
    cl2._SetDataBaseError(NA_ERRORTYPE_GENERAL, nullptr, ZTERR_SERVER, 0, L"", nullptr, nullptr);
    EXPECT_TRUE(Contains(cl2.pclGetXError()->pszGetUserMessage(), L"\"\""));
    EXPECT_FALSE(cl2.pclGetXError()->bHasInfo(EIT_BASECODE));
    // A second one is a sub-error and asks for no facts.
    cl._SetDataBaseError(NA_ERRORTYPE_GENERAL, &cnx, ZTERR_SERVER, 2006, nullptr, nullptr, nullptr);
    EXPECT_EQ(cl.eGetErrorType(), NA_ERRORTYPE_DUPLICATE);
    EXPECT_EQ(pcl->nGetNbSubError(), 1);
    EXPECT_EQ(cl.dwGetDataBaseErrorCode(), 2006u);
    EXPECT_EQ(cnx.m_nFactsCalls, 1);
    // Messages go to the last error.
    CNAError clMsg;
    clMsg.AddError(NA_ERRORTYPE_GENERAL, 1, 1, nullptr, ZTERR_NOT_OFFERED);
    clMsg.AddDebugMessageNoFormat(L"first note");
    clMsg.AddError(NA_ERRORTYPE_GENERAL, 1, 2, nullptr, ZTERR_NO_MEMORY);
    clMsg.AddDebugMessageNoFormat(L"second note");
    clMsg.AddDebugMessageNoFormatFirst(L"SELECT 1");
    clMsg.AddUserMessageNoFormat(L"more");
    clMsg.SetDataBaseErrorMessage(L"gone away");
    const CXError* pclMsg = clMsg.pclGetXError();
    const CXError* pclMsgSub = pclMsg->pclGetSubError(0);
    EXPECT_TRUE(Contains(Debug(pclMsg), L"first note"));
    EXPECT_FALSE(Contains(Debug(pclMsg), L"second note"));
    EXPECT_TRUE(Contains(Debug(pclMsgSub), L"second note"));
    EXPECT_EQ(Debug(pclMsgSub).rfind(L"SELECT 1\r\n", 0), 0u);
    EXPECT_TRUE(Contains(pclMsgSub->pszGetUserMessage(), L"more"));
    EXPECT_TRUE(pclMsgSub->bHasInfo(EIT_BASEMESSAGE));
    EXPECT_FALSE(pclMsg->bHasInfo(EIT_BASEMESSAGE));
}

TEST(NAError, HostSlotsInOrder)
{
    CNAError cl;
    cl.AddError(NA_ERRORTYPE_DUPLICATE, 4, 2, nullptr, ZTERR_NO_SUCH_ITEM, L"CLIENT", L"NOM");
    cl.SetInfoNames(L"CLIENT", L"NOM");
    INAError* pi = &cl;
    EXPECT_EQ(CallSlot<int>(pi, 1), 1);  // nGetVersion
    EXPECT_EQ(CallSlot<int>(pi, 2), 1);  // nGetCompatSince
    EXPECT_EQ(CallSlot<int>(pi, 3), -1); // nGetNAVersion
    EXPECT_EQ(CallSlot<int>(pi, 4), -1); // nGetNACompatSince
    CallSlot<void>(pi, 5);
    const wchar_t* pszReport = CallSlot<const wchar_t*>(pi, 6);
    ASSERT_NE(pszReport, nullptr);
    EXPECT_TRUE(Contains(pszReport, L"IEDUZARO=4.2"));
    EXPECT_EQ(CallSlot<unsigned int>(pi, 7), 26u);
    EXPECT_EQ(CallSlot<int>(pi, 8), 3);
    EXPECT_STREQ(CallSlot<const wchar_t*>(pi, 9), L"CLIENT");
    EXPECT_STREQ(CallSlot<const wchar_t*>(pi, 10), L"NOM");
    EXPECT_EQ(CallSlot<CXError*>(pi, 11), cl.pclGetXError());
    EXPECT_EQ(CallSlot<int>(pi, 12), 3);
    for (int i = 13; i <= 17; i++)
        CallSlot<void>(pi, i);
    // The state is untouched by the empty slots.
    EXPECT_EQ(cl.dwGetErrorId(), 26u);
}

TEST(NAError, ReferenceCountAndDriverFactory)
{
    CNADriver clDriver;
    CNAError* pcl = clDriver.pclAllocError();
    ASSERT_NE(pcl, nullptr);
    EXPECT_EQ(pcl->nRelease(), 0u); // a count of 0 stays 0
    pcl->AddRef();
    pcl->AddRef();
    EXPECT_EQ(pcl->nRelease(), 1u);
    EXPECT_EQ(pcl->nRelease(), 0u); // destroyed (checked by the sanitizer run)
    // The driver keeps one error object of its own (leak or double free).
    clDriver.AllocError();
    clDriver.AllocError();
    // The driver pointer is cleared when its driver goes.
    CNADriver* pclDriver = new CNADriver();
    CNADriver::s_pclDriver = pclDriver;
    delete pclDriver;
    EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
}

} // namespace
