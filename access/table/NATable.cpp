#include "access/table/NATable.h"

#include "access/driver/INAContext.h"
#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAContext.h"
#include "access/driver/NADriverLock.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/sql/INAQueryParametersValue.h"
#include "access/sql/ISQLParserInformation.h"
#include "access/table/NADataAccess.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/TextCompare.h"

#include <cstddef>
#include <vector>

CNADataAccess* gpclLastDataAccess = nullptr;
unsigned int gdwCtxID = 0;
unsigned int gdwDataID = 0;

namespace {

const wchar_t s_szModuleName[] = L"DUZARO";
const wchar_t s_szSQLModuleName[] = L"zt190sql.so";

// Slots by place, for the point of an exception that stopped one.
enum : int {
    SLOT_EXTERNALADDREF = 5,
    SLOT_NEXTERNALRELEASE,
    SLOT_PIGETLASTERROR,
    SLOT_BISOPENED,
    SLOT_PIGETDATASOURCEDESCRIPTION,
    SLOT_BNBENRNEEDPARSE,
    SLOT_FREEMEMORY,
    SLOT_BHREINDEXE,
    SLOT_BHCREATIONSIINEXISTANT,
    SLOT_BHCREATION,
    SLOT_BHOUVRE,
    SLOT_BHMODE,
    SLOT_BHFERME,
    SLOT_BHAJOUTE,
    SLOT_BHECRIT,
    SLOT_BHRAYE,
    SLOT_BHSUPPRIME,
    SLOT_BHMODIFIE,
    SLOT_BHRECHERCHE,
    SLOT_BHLIBERE,
    SLOT_BHLIT,
    SLOT_BHLITXXX,
    SLOT_BSKIPRECORD,
    SLOT_BHBLOQUEFICHIER,
    SLOT_BHDEBLOQUEFICHIER,
    SLOT_BHBLOQUENUMENR,
    SLOT_BHDEBLOQUENUMENR,
    SLOT_BHENDEHORS,
    SLOT_BEVALHTROUVE,
    SLOT_BSETNEXTOPERATION,
    SLOT_LLGETRECNUM,
    SLOT_BGETRECNUMSTATE,
    SLOT_BHFILTRE_PARSE,
    SLOT_BHFILTRE,
    SLOT_BHACTIVEFILTRE,
    SLOT_BHDESACTIVEFILTRE,
    SLOT_BHRETOURPOSITION,
    SLOT_BHLIBEREPOSITION,
    SLOT_BHSAUVEPOSITION,
    SLOT_BHVERSION,
    SLOT_BHNBENR,
    SLOT_BHPOSITIONCOURANTE,
    SLOT_BHPOSITIONNE,
    SLOT_BGETBLOB,
    SLOT_BSETBLOB,
    SLOT_BGETRECORD,
    SLOT_BSETRECORD,
    SLOT_BHATTACHEMEMO,
    SLOT_BEXTRAITMEMO,
    SLOT_BHANNULERECHERCHE,
    SLOT_BHCHANGECLE,
    SLOT_BHCONSTRUITVALCLE,
    SLOT_BHINTERDITMODIF,
    SLOT_BHFININTERDITMODIF,
    SLOT_BCALCULATEKEYVALUE,
    SLOT_BFREECACHE,
    SLOT_BCOMPARETABLEPOSITION,
    SLOT_BTABLEVIRTUALMOVESUPPORTED,
    SLOT_BTABLEVIRTUALMOVE,
    SLOT_BSUPPRIMETOUT,
    // The class's own, after the fourteen reserved ones.
    SLOT_BSUPPRIMEFICHIER = 79,
    SLOT_BEXECUTEQUERY = 82,
    SLOT_CANCELRECORDLOCK,
    SLOT_SETTRANSACTIONTERMINED,
    // Operations the driver calls, numbered on.
    SLOT_CLOSEALL = 90,
    SLOT_CLOSEALL_CONTEXT,
    SLOT_FILTREAUTO,
    SLOT_FILTREAUTO_NAMES,
    SLOT_NOTIFY,
    SLOT_NEEDCLOSEQUERY,
    SLOT_RELOADTABLECACHES,
};

// A reference held by the scope.
struct CDataAccessHeld {
    CNADataAccess* p;
    explicit CDataAccessHeld(CNADataAccess* pcl) : p(pcl) {}
    ~CDataAccessHeld()
    {
        if (p != nullptr)
            p->nRelease();
    }
    CDataAccessHeld(const CDataAccessHeld&) = delete;
    CDataAccessHeld& operator=(const CDataAccessHeld&) = delete;
};

void ResetError(CNAError* pclError)
{
    if (pclError != nullptr)
        pclError->Reset();
}

bool bSameName(const wchar_t* pszA, const wchar_t* pszB)
{
    return STR_nCompareW(pszA != nullptr ? pszA : L"", pszB != nullptr ? pszB : L"", 3) == 0;
}

} // namespace

// ---- Construction and destruction ------------------------------------------------------------

CNATable::CNATable(const wchar_t* pszKey, INADataSourceDescription* piDescription,
                   CNAConnectionDescription* pclConnection, CNAError* pclError)
    : m_nRef(0),
      m_nExternalRef(0),
      m_pclError(pclError),
      m_pclConnection(pclConnection),
      m_piDescription(nullptr),
      m_csIdentification(pszKey),
      m_tabDataAccess(7),
      m_piQueryBindVariables(nullptr)
{
    if (m_pclConnection != nullptr)
        m_pclConnection->AddRef();
    if (piDescription != nullptr) {
        piDescription->ExternalAddRef();
        m_piDescription = piDescription;
    }
    if (m_pclError != nullptr)
        m_pclError->AddRef();
}

CNATable::~CNATable()
{
    {
        CNADriverLock clLock;
        // The data accesses may outlive the table in their contexts: none
        // keeps a way back to it, nor the last-hit cache to them.
        unsigned int nPosition = 0;
        void* pValue = nullptr;
        while (m_tabDataAccess.bParseTable(&nPosition, 0, &pValue, nullptr)) {
            CNADataAccess* p = static_cast<CNADataAccess*>(pValue);
            if (p->pclGetTableNoRef() == this)
                p->SetTable(nullptr);
            g_ForgetLastDataAccess(p);
        }
        m_tabDataAccess.SupprimeTout();
    }
    if (m_piDescription != nullptr)
        m_piDescription->nExternalRelease();
    CNADriver::g_ReleaseHeldConnection(m_pclConnection);
    if (m_pclError != nullptr)
        m_pclError->nRelease();
    if (m_piQueryBindVariables != nullptr) {
        try {
            m_piQueryBindVariables->nExternalRelease();
        } catch (...) {
            // The host's release may throw: the table goes all the same.
        }
    }
}

// ---- Counting ---------------------------------------------------------------------------------

int CNATable::nRelease()
{
    // The host reads the two counts in place.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
    static_assert(sizeof(void*) != 4 || (offsetof(CNATable, m_nRef) == 4 && offsetof(CNATable, m_nExternalRef) == 8),
                  "CNATable: the counts follow the table of operations");
#pragma GCC diagnostic pop
    return g_nReleaseOneOfTwo(this, m_nRef, m_nExternalRef);
}

void CNATable::ExternalAddRef()
{
    CNADriverLock clLock;
    m_nExternalRef++;
}

int CNATable::nExternalRelease()
{
    CNADriverLock clLock;
    try {
        if (m_nExternalRef <= 0)
            return 0;
        const int n = --m_nExternalRef;
        if (n == 0 && m_nRef == 1 && CNADriver::s_pclDriver != nullptr) {
            // Only the registry holds the table: the driver unfiles it, which
            // destroys it. Nothing of the table is touched after.
            AddRef();
            return CNADriver::s_pclDriver->nReleaseTable(this);
        }
        if (n == 0 && m_nRef == 0) {
            delete this;
            return 0;
        }
        return n;
    } catch (...) {
        return 0;
    }
}

// ---- Accessors ---------------------------------------------------------------------------------

const wchar_t* CNATable::pszGetLogicalName() const
{
    const wchar_t* psz = m_piDescription != nullptr ? m_piDescription->pszGetLogicalName() : nullptr;
    return psz != nullptr ? psz : L"";
}

const wchar_t* CNATable::pszGetDBTableName() const
{
    const wchar_t* psz = m_piDescription != nullptr ? m_piDescription->pszGetDBTableName() : nullptr;
    return psz != nullptr ? psz : L"";
}

INADataSourceDescription* CNATable::piGetDataSourceDescription()
{
    CNADriverLock clLock;
    try {
        if (m_piDescription != nullptr)
            m_piDescription->ExternalAddRef();
        return m_piDescription;
    } catch (...) {
        _OnException(SLOT_PIGETDATASOURCEDESCRIPTION);
        return nullptr;
    }
}

void CNATable::SetQueryBindVariable(INAQueryParametersValue* piValues)
{
    if (piValues == m_piQueryBindVariables)
        return;
    if (piValues != nullptr)
        piValues->ExternalAddRef();
    INAQueryParametersValue* piOld = m_piQueryBindVariables;
    m_piQueryBindVariables = piValues;
    if (piOld != nullptr)
        piOld->nExternalRelease();
}

// ---- Errors ----------------------------------------------------------------------------------------

void CNATable::_OnException(int nSlot) const noexcept
{
    if (m_pclError != nullptr)
        m_pclError->OnException(ERRFILE_TABLE, POINT_EXCEPTION + nSlot);
}

void CNATable::_NoDataAccess(int nPoint, CNAConnectionDescription* pclConnection) const
{
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_TABLE, nPoint, pclConnection, pszGetLogicalName(),
                                   nullptr, ZTERR_NO_DATA_ACCESS, pszGetLogicalName());
}

int CNATable::_bNotOffered(INAContext* piContext, int nPoint) const
{
    CNADriverLock clLock;
    if (m_pclError == nullptr)
        return 0;
    m_pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, ERRFILE_TABLE, nPoint, m_pclConnection, pszGetLogicalName(),
                               nullptr, ZTERR_NOT_OFFERED);
    _SetContextLastNAError(piContext, m_pclError);
    return 0;
}

void CNATable::_SetContextLastNAError(INAContext* piContext, CNAError* pclError) const
{
    if (piContext == nullptr || pclError == nullptr)
        return;
    CNAContext* pclContext = _pclFindContext(piContext);
    if (pclContext == nullptr)
        return;
    CNAError* pclContextError = pclContext->pclGetError();
    if (pclContextError != nullptr && pclContextError != pclError)
        pclContextError->Copy(pclError);
    pclContext->nRelease();
}

void CNATable::_SetLastNAError(INAContext* piContext, CNAError* pclError)
{
    _SetContextLastNAError(piContext, pclError);
    if (m_pclError != nullptr && pclError != nullptr && m_pclError != pclError)
        m_pclError->Copy(pclError);
}

INAError* CNATable::piGetLastError(INAContext* piContext) const
{
    CNADriverLock clLock;
    try {
        CNAContext* pclContext = piContext != nullptr ? _pclFindContext(piContext) : nullptr;
        if (pclContext == nullptr)
            return m_pclError;
        // The driver's registry keeps the context and its error object.
        CNAError* pclError = pclContext->pclGetError();
        pclContext->nRelease();
        return pclError != nullptr ? pclError : m_pclError;
    } catch (...) {
        _OnException(SLOT_PIGETLASTERROR);
        return m_pclError;
    }
}

int CNATable::_bCheckSQLModule(ISQLParserInformation* piParser)
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNADriverLock clLock;
    if (piParser == nullptr || pclDriver == nullptr || pclDriver->bGetSQLModuleChecked())
        return 1;
    if (!piParser->bVersionExchange(SQLMODULE_NUMBER, SQLMODULE_REQUIRED, &CNADriver::s_nID_ZTSQL)) {
        if (m_pclError != nullptr)
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_TABLE, POINT_EXCHANGE_REFUSED, m_pclConnection,
                                       nullptr, nullptr, ZTERR_VERSION_MISMATCH, s_szModuleName, s_szSQLModuleName);
        return 0;
    }
    if (CNADriver::s_nID_ZTSQL <= static_cast<unsigned int>(SQLMODULE_TOO_OLD)) {
        if (m_pclError != nullptr)
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_TABLE, POINT_SQLMODULE_TOO_OLD, m_pclConnection,
                                       nullptr, nullptr, ZTERR_VERSION_MISMATCH, s_szSQLModuleName, s_szModuleName);
        return 0;
    }
    pclDriver->SetSQLModuleChecked(1);
    return 1;
}

// ---- Contexts and data accesses ----------------------------------------------------------------

CNAContext* CNATable::_pclFindContext(INAContext* piContext) const
{
    return CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->pclFindContext(piContext) : nullptr;
}

CNAContext* CNATable::_pclGetContext(INAContext* piContext, int* pbCreated)
{
    // The driver writes the flag always.
    int bCreated = 0;
    CNAContext* pcl =
        CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->pclGetContext(piContext, &bCreated) : nullptr;
    if (pbCreated != nullptr)
        *pbCreated = bCreated;
    return pcl;
}

int CNATable::_nReleaseContext(INAContext* piContext, CNAContext* pclContext)
{
    if (CNADriver::s_pclDriver != nullptr)
        return CNADriver::s_pclDriver->nReleaseContext(piContext, pclContext);
    return static_cast<int>(pclContext->nRelease());
}

CNADataAccess* CNATable::_pclFindDataAccess(INAContext* piContext) const
{
    CNADriverLock clLock;
    return __pclFindDataAccess(piContext);
}

CNADataAccess* CNATable::__pclFindDataAccess(INAContext* piContext) const
{
    if (piContext == nullptr)
        return nullptr;
    CNADataAccess* p = gpclLastDataAccess;
    if (p != nullptr) {
        const unsigned int dwCtx = piContext->dwGetContextNumber();
        if (dwCtx == gdwCtxID) {
            const unsigned int dwData = piContext->dwGetDataAccessKey();
            if (dwData == gdwDataID && p->pclGetTableNoRef() == this) {
                p->AddRef();
                return p;
            }
        }
    }
    CNAContext* pclContext = _pclFindContext(piContext);
    if (pclContext == nullptr)
        return nullptr;
    p = pclContext->pclFindDataAccess(piContext, this);
    pclContext->nRelease();
    if (p == nullptr)
        return nullptr;
    gdwCtxID = piContext->dwGetContextNumber();
    gdwDataID = piContext->dwGetDataAccessKey();
    gpclLastDataAccess = p;
    return p;
}

CNADataAccess* CNATable::_pclGetDataAccess(INAContext* piContext, int* pbCreated)
{
    CNADriverLock clLock;
    int bCreated = 0;
    if (pbCreated != nullptr)
        *pbCreated = 0;
    if (piContext == nullptr)
        return nullptr;
    CNAContext* pclContext = _pclGetContext(piContext, nullptr);
    if (pclContext == nullptr)
        return nullptr;
    // A context left without data access is forgotten again.
    struct CContextHeld {
        CNATable* pclTable;
        INAContext* pi;
        CNAContext* p;
        ~CContextHeld() { pclTable->_nReleaseContext(pi, p); }
    } clContext{this, piContext, pclContext};
    CNADataAccess* p = pclContext->pclGetDataAccess(piContext, m_pclConnection, m_piDescription, &bCreated, this);
    if (p == nullptr)
        return nullptr;
    if (bCreated) {
        // A new data access may take the place of one the cache still names.
        gpclLastDataAccess = nullptr;
        if (!__AddDataAccess(p)) {
            pclContext->RemoveDataAccess(piContext, p);
            p->nRelease();
            if (CNAError* pclError = pclContext->pclGetError())
                pclError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, ERRFILE_TABLE, POINT_NO_MEMORY,
                                   m_pclConnection);
            return nullptr;
        }
        p->SetTable(this);
    }
    if (pbCreated != nullptr)
        *pbCreated = bCreated;
    return p;
}

bool CNATable::__AddDataAccess(CNADataAccess* pclDataAccess)
{
    CNADriverLock clLock;
    return m_tabDataAccess.bAddValue(pclDataAccess, pclDataAccess);
}

void CNATable::_RemoveDataAccess(INAContext* piContext, CNADataAccess* pclDataAccess)
{
    CNAContext* pclContext = piContext != nullptr ? _pclFindContext(piContext) : nullptr;
    if (pclDataAccess != nullptr) {
        // Held until it has left both.
        CDataAccessHeld clHeld(pclDataAccess);
        pclDataAccess->AddRef();
        if (pclContext != nullptr)
            pclContext->RemoveDataAccess(piContext, pclDataAccess);
        g_ForgetLastDataAccess(pclDataAccess);
        if (m_tabDataAccess.bRemoveValue(pclDataAccess) && pclDataAccess->pclGetTableNoRef() == this)
            pclDataAccess->SetTable(nullptr);
    }
    if (pclContext != nullptr)
        _nReleaseContext(piContext, pclContext);
}

CNADataAccess* CNATable::pclFindDataAccessByContext(unsigned int nContext)
{
    CNADriverLock clLock;
    CNADataAccess* pclFound = nullptr;
    _ForEachDataAccess([&](CNADataAccess* p) {
        if (p->dwGetContextID() != nContext)
            return true;
        p->AddRef();
        pclFound = p;
        return false;
    });
    return pclFound;
}

template <class F>
void CNATable::_ForEachDataAccess(F&& fn)
{
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (m_tabDataAccess.bParseTable(&nPosition, 0, &pValue, nullptr)) {
        CDataAccessHeld clHeld(static_cast<CNADataAccess*>(pValue));
        clHeld.p->AddRef();
        bool bGoOn = false;
        try {
            bGoOn = fn(clHeld.p);
        } catch (...) {
            m_tabDataAccess.StopParsing();
            throw;
        }
        if (!bGoOn) {
            m_tabDataAccess.StopParsing();
            return;
        }
    }
}

// ---- Forwarding --------------------------------------------------------------------------------------

template <class R, class F>
R CNATable::_Forward(INAContext* piContext, int nSlot, R rMissing, F&& fn, bool bReportMissing) const
{
    CNADriverLock clLock;
    try {
        ResetError(m_pclError);
        CDataAccessHeld clHeld(__pclFindDataAccess(piContext));
        if (clHeld.p == nullptr) {
            if (bReportMissing)
                _NoDataAccess(POINT_NO_DATA_ACCESS, nullptr);
            return rMissing;
        }
        ResetError(clHeld.p->pclGetError());
        return fn(clHeld.p);
    } catch (...) {
        _OnException(nSlot);
        return R();
    }
}

// ---- Slots -------------------------------------------------------------------------------------------

int CNATable::nGetVersion() const
{
    return 11;
}

int CNATable::nGetCompatSince() const
{
    return 8;
}

int CNATable::nGetNAVersion() const
{
    return -1;
}

int CNATable::nGetNACompatSince() const
{
    return -1;
}

void CNATable::NAVersion_EmptySlot_3() {}

int CNATable::bIsOpened(INAContext* piContext) const
{
    CNADriverLock clLock;
    try {
        CDataAccessHeld clHeld(_pclFindDataAccess(piContext));
        return clHeld.p != nullptr ? clHeld.p->bIsOpened() : 0;
    } catch (...) {
        _OnException(SLOT_BISOPENED);
        return 0;
    }
}

int CNATable::bNbEnrNeedParse(INAContext* piContext, int* pbNeed, const wchar_t* pszItem)
{
    return _Forward(piContext, SLOT_BNBENRNEEDPARSE, 0,
                    [&](CNADataAccess* p) { return p->bNbEnrNeedParse(pbNeed, pszItem); });
}

void CNATable::FreeMemory(INAContext* piContext, void**) const
{
    try {
        _bNotOffered(piContext, POINT_FREEMEMORY);
    } catch (...) {
        _OnException(SLOT_FREEMEMORY);
    }
}

int CNATable::bHReindexe(INAContext* piContext, unsigned int nOptions, IGaugeControl* piGauge)
{
    CNADriverLock clLock;
    try {
        CDataAccessHeld clHeld(_pclGetDataAccess(piContext, nullptr));
        return clHeld.p != nullptr ? clHeld.p->bHReindexe(nOptions, piGauge) : 0;
    } catch (...) {
        _OnException(SLOT_BHREINDEXE);
        return 0;
    }
}

template <class F>
int CNATable::_bOpening(INAContext* piContext, EOpening eKind, F&& fn)
{
    ResetError(m_pclError);
    if (m_pclConnection == nullptr)
        return 0;
    const int bConnected = eKind == OPEN ? m_pclConnection->bOpen(m_pclError) : m_pclConnection->bOpenCreate(m_pclError);
    if (!bConnected) {
        _SetContextLastNAError(piContext, m_pclError);
        return 0;
    }
    int bCreated = 0;
    CDataAccessHeld clHeld(_pclGetDataAccess(piContext, &bCreated));
    if (clHeld.p == nullptr)
        return 0;
    ResetError(clHeld.p->pclGetError());
    const int bResult = fn(clHeld.p);
    if (!bResult && (bCreated || eKind == DELETE_FILE) && m_pclError != nullptr &&
        clHeld.p->pclGetError() != nullptr && clHeld.p->pclGetError() != m_pclError)
        m_pclError->Copy(clHeld.p->pclGetError());
    if (eKind == DELETE_FILE || (!bResult && bCreated))
        _RemoveDataAccess(piContext, clHeld.p);
    return bResult;
}

int CNATable::bHCreationSiInexistant(INAContext* piContext, eNA_ACCESS eAccess, const wchar_t* pszPassword)
{
    CNADriverLock clLock;
    try {
        return _bOpening(piContext, CREATE_IF_MISSING,
                         [&](CNADataAccess* p) { return p->bHCreationSiInexistant(eAccess, pszPassword); });
    } catch (...) {
        _OnException(SLOT_BHCREATIONSIINEXISTANT);
        return 0;
    }
}

int CNATable::bHCreation(INAContext* piContext, const wchar_t* pszPassword)
{
    CNADriverLock clLock;
    try {
        return _bOpening(piContext, CREATE, [&](CNADataAccess* p) { return p->bHCreation(pszPassword, 1); });
    } catch (...) {
        _OnException(SLOT_BHCREATION);
        return 0;
    }
}

int CNATable::bHOuvre(INAContext* piContext, eNA_ACCESS eAccess, const wchar_t* pszPassword)
{
    CNADriverLock clLock;
    try {
        return _bOpening(piContext, OPEN, [&](CNADataAccess* p) { return p->bHOuvre(eAccess, pszPassword); });
    } catch (...) {
        _OnException(SLOT_BHOUVRE);
        return 0;
    }
}

int CNATable::bSupprimeFichier(INAContext* piContext)
{
    CNADriverLock clLock;
    try {
        return _bOpening(piContext, DELETE_FILE, [&](CNADataAccess* p) { return p->bSupprimeFichier(); });
    } catch (...) {
        _OnException(SLOT_BSUPPRIMEFICHIER);
        return 0;
    }
}

int CNATable::bHMode(INAContext* piContext, _eNA_HMODE eMode)
{
    CNADriverLock clLock;
    try {
        CNAContext* pclContext = piContext != nullptr ? _pclGetContext(piContext, nullptr) : nullptr;
        if (pclContext == nullptr)
            return 1;
        // The registry keeps the context, and with it the mode as its default.
        struct CContextHeld {
            CNAContext* p;
            ~CContextHeld() { p->nRelease(); }
        } clContext{pclContext};
        return pclContext->bHMode(pszGetLogicalName(), eMode);
    } catch (...) {
        _OnException(SLOT_BHMODE);
        return 0;
    }
}

int CNATable::bHFerme(INAContext* piContext)
{
    CNADriverLock clLock;
    try {
        CDataAccessHeld clHeld(_pclFindDataAccess(piContext));
        if (clHeld.p == nullptr)
            return 1;
        CNAError* pclError = clHeld.p->pclGetError();
        ResetError(pclError);
        const int bResult = clHeld.p->bHFerme();
        if (!bResult && m_pclError != nullptr && pclError != nullptr && pclError != m_pclError)
            m_pclError->Copy(pclError);
        _RemoveDataAccess(piContext, clHeld.p);
        SetQueryBindVariable(nullptr);
        return bResult;
    } catch (...) {
        _OnException(SLOT_BHFERME);
        return 0;
    }
}

int CNATable::bHAjoute(INAContext* piContext, unsigned int nFlags, eNA_LOCKTYPE eLock)
{
    return _Forward(piContext, SLOT_BHAJOUTE, 0, [&](CNADataAccess* p) { return p->bHAjoute(nFlags, eLock); });
}

int CNATable::bHEcrit(INAContext* piContext, long long llRecord, unsigned int nFlags, eNA_LOCKTYPE eLock)
{
    return _Forward(piContext, SLOT_BHECRIT, 0,
                    [&](CNADataAccess* p) { return p->bHEcrit(llRecord, nFlags, eLock); });
}

int CNATable::bHRaye(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock)
{
    return _Forward(piContext, SLOT_BHRAYE, 0, [&](CNADataAccess* p) { return p->bHRaye(llRecord, eLock); });
}

int CNATable::bHSupprime(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock)
{
    return _Forward(piContext, SLOT_BHSUPPRIME, 0, [&](CNADataAccess* p) { return p->bHSupprime(llRecord, eLock); });
}

int CNATable::bHModifie(INAContext* piContext, long long llRecord, unsigned int nFlags, eNA_LOCKTYPE eLock)
{
    return _Forward(piContext, SLOT_BHMODIFIE, 0,
                    [&](CNADataAccess* p) { return p->bHModifie(llRecord, nFlags, eLock); });
}

int CNATable::bHRecherche(INAContext* piContext, const wchar_t* pszItem, const CAny* pValue, int bExact,
                          int nReadOption, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, int bFirst, unsigned int nFlags)
{
    return _Forward(piContext, SLOT_BHRECHERCHE, 0, [&](CNADataAccess* p) {
        return p->bHostRead(p->bHRecherche(pszItem, pValue, bExact, nReadOption, eLock, peLock, bFirst, nFlags));
    });
}

int CNATable::bHLibere(INAContext* piContext)
{
    return _Forward(piContext, SLOT_BHLIBERE, 0, [&](CNADataAccess* p) { return p->bHLibere(); });
}

int CNATable::bHLit(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock)
{
    return _Forward(piContext, SLOT_BHLIT, 0,
                    [&](CNADataAccess* p) { return p->bHostRead(p->bHLit(llRecord, eLock, peLock)); });
}

int CNATable::bHLitxxx(INAContext* piContext, const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, int n,
                       eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags)
{
    return _Forward(piContext, SLOT_BHLITXXX, 0, [&](CNADataAccess* p) {
        return p->bHostRead(p->bHLitxxx(pszItem, eDirection, n, eLock, peLock, nFlags));
    });
}

int CNATable::bSkipRecord(INAContext* piContext, const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection,
                          long long llCount, int n, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags)
{
    return _Forward(piContext, SLOT_BSKIPRECORD, 0, [&](CNADataAccess* p) {
        return p->bHostRead(p->bSkipRecord(pszItem, eDirection, llCount, n, eLock, peLock, nFlags));
    });
}

int CNATable::bHBloqueFichier(INAContext* piContext, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock)
{
    return _Forward(piContext, SLOT_BHBLOQUEFICHIER, 0,
                    [&](CNADataAccess* p) { return p->bHBloqueFichier(eLock, peLock); });
}

int CNATable::bHDebloqueFichier(INAContext* piContext)
{
    return _Forward(piContext, SLOT_BHDEBLOQUEFICHIER, 0, [&](CNADataAccess* p) { return p->bHDebloqueFichier(); });
}

int CNATable::bHBloqueNumEnr(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock)
{
    return _Forward(piContext, SLOT_BHBLOQUENUMENR, 0,
                    [&](CNADataAccess* p) { return p->bHBloqueNumEnr(llRecord, eLock, peLock); });
}

int CNATable::bHDebloqueNumEnr(INAContext* piContext, long long llRecord)
{
    return _Forward(piContext, SLOT_BHDEBLOQUENUMENR, 0,
                    [&](CNADataAccess* p) { return p->bHDebloqueNumEnr(llRecord); });
}

int CNATable::bHEnDehors(INAContext* piContext, const wchar_t* pszItem, int* pbOut)
{
    return _Forward(piContext, SLOT_BHENDEHORS, 0, [&](CNADataAccess* p) { return p->bHEndehors(pszItem, pbOut); });
}

int CNATable::bEvalHTrouve(INAContext* piContext, const wchar_t* pszItem, int* pbFound, int* pbInRange)
{
    return _Forward(piContext, SLOT_BEVALHTROUVE, 0,
                    [&](CNADataAccess* p) { return p->bEvalHTrouve(pszItem, pbFound, pbInRange); });
}

int CNATable::bSetNextOperation(INAContext* piContext, eNA_OPERATION eOperation)
{
    return _Forward(piContext, SLOT_BSETNEXTOPERATION, 0,
                    [&](CNADataAccess* p) { return p->bSetNextOperation(eOperation); });
}

long long CNATable::llGetRecNum(INAContext* piContext)
{
    CNADriverLock clLock;
    try {
        CDataAccessHeld clHeld(_pclFindDataAccess(piContext));
        if (clHeld.p == nullptr) {
            _NoDataAccess(POINT_NO_DATA_ACCESS_RECNUM, m_pclConnection);
            return 0;
        }
        return clHeld.p->llGetRecNum();
    } catch (...) {
        _OnException(SLOT_LLGETRECNUM);
        return 0;
    }
}

int CNATable::bGetRecNumState(INAContext* piContext, long long llRecord, unsigned int* pnState)
{
    return _Forward(piContext, SLOT_BGETRECNUMSTATE, 0,
                    [&](CNADataAccess* p) { return p->bGetRecNumState(llRecord, pnState); });
}

int CNATable::bHFiltre(INAContext* piContext, ISQLParserInformation* piParser, wchar_t* pszItem)
{
    try {
        if (!_bCheckSQLModule(piParser))
            return 0;
    } catch (...) {
        _OnException(SLOT_BHFILTRE_PARSE);
        return 0;
    }
    return _Forward(piContext, SLOT_BHFILTRE_PARSE, 0,
                    [&](CNADataAccess* p) { return p->bHFiltre(piParser, pszItem); });
}

int CNATable::bHFiltre(INAContext* piContext, const wchar_t* pszItem, const CAny* pLower, int bLowerIncluded,
                       const CAny* pUpper, int bUpperIncluded, ISQLParserInformation* piParser)
{
    try {
        if (!_bCheckSQLModule(piParser))
            return 0;
    } catch (...) {
        _OnException(SLOT_BHFILTRE);
        return 0;
    }
    return _Forward(piContext, SLOT_BHFILTRE, 0, [&](CNADataAccess* p) {
        return p->bHFiltre(pszItem, pLower, bLowerIncluded, pUpper, bUpperIncluded, piParser);
    });
}

int CNATable::bHActiveFiltre(INAContext* piContext, const wchar_t* pszItem, unsigned int)
{
    return _Forward(piContext, SLOT_BHACTIVEFILTRE, 0, [&](CNADataAccess* p) { return p->bHActiveFiltre(pszItem); });
}

int CNATable::bHDesactiveFiltre(INAContext* piContext, const wchar_t* pszItem, unsigned int)
{
    return _Forward(
        piContext, SLOT_BHDESACTIVEFILTRE, 1, [&](CNADataAccess* p) { return p->bHDesactiveFiltre(pszItem); }, false);
}

int CNATable::bHRetourPosition(INAContext* piContext, int nPosition, wchar_t* pszItem, int bKeep,
                               unsigned int nFlags)
{
    return _Forward(piContext, SLOT_BHRETOURPOSITION, 0, [&](CNADataAccess* p) {
        return p->bHostRead(p->bHRetourPosition(nPosition, pszItem, bKeep, static_cast<eNAPOSITION>(nFlags)));
    });
}

int CNATable::bHLiberePosition(INAContext* piContext, int nPosition)
{
    return _Forward(
        piContext, SLOT_BHLIBEREPOSITION, 1, [&](CNADataAccess* p) { return p->bHLiberePosition(nPosition); }, false);
}

int CNATable::bHSauvePosition(INAContext* piContext, const wchar_t* pszItem, int* pnPosition, unsigned int nFlags)
{
    return _Forward(piContext, SLOT_BHSAUVEPOSITION, 0, [&](CNADataAccess* p) {
        return p->bHSauvePosition(pnPosition, pszItem, static_cast<eNAPOSITION>(nFlags));
    });
}

int CNATable::bHVersion(INAContext* piContext, int* pnVersion)
{
    return _Forward(piContext, SLOT_BHVERSION, 0, [&](CNADataAccess* p) { return p->bHVersion(pnVersion); });
}

int CNATable::bHNbEnr(INAContext* piContext, long long* pllCount, unsigned int nOptions, unsigned int nFlags)
{
    return _Forward(piContext, SLOT_BHNBENR, 0,
                    [&](CNADataAccess* p) { return p->bHNbEnr(pllCount, nOptions, nFlags); });
}

int CNATable::bHPositionCourante(INAContext* piContext, const wchar_t* pszItem, int* pnPosition,
                                 eNA_PRECISION ePrecision, unsigned int)
{
    return _Forward(piContext, SLOT_BHPOSITIONCOURANTE, 0,
                    [&](CNADataAccess* p) { return p->bHPositionCourante(pnPosition, pszItem, ePrecision); });
}

int CNATable::bHPositionne(INAContext* piContext, const wchar_t* pszItem, unsigned int nPosition,
                           eNA_PRECISION ePrecision, unsigned int nFlags)
{
    return _Forward(piContext, SLOT_BHPOSITIONNE, 0, [&](CNADataAccess* p) {
        return p->bHostRead(p->bHPositionne(pszItem, nPosition, ePrecision, nFlags));
    });
}

int CNATable::bGetBLOB(INAContext* piContext, unsigned int nItem, CAny* pValue)
{
    return _Forward(piContext, SLOT_BGETBLOB, 0, [&](CNADataAccess* p) { return p->bGetBLOB(nItem, pValue); });
}

int CNATable::bSetBLOB(INAContext* piContext, unsigned int nItem, const CAny* pValue)
{
    return _Forward(piContext, SLOT_BSETBLOB, 0, [&](CNADataAccess* p) { return p->bSetBLOB(nItem, pValue); });
}

int CNATable::bGetRecord(INAContext* piContext, CNAKXRecord** ppRecord) const
{
    return _Forward(piContext, SLOT_BGETRECORD, 0, [&](CNADataAccess* p) { return p->bGetRecord(ppRecord); });
}

int CNATable::bSetRecord(INAContext* piContext, CNAKXRecord* pRecord)
{
    return _Forward(piContext, SLOT_BSETRECORD, 0, [&](CNADataAccess* p) { return p->bSetRecord(pRecord); });
}

int CNATable::bHAttacheMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile)
{
    return _Forward(piContext, SLOT_BHATTACHEMEMO, 0,
                    [&](CNADataAccess* p) { return p->bHAttacheMemo(nItem, pszFile); });
}

int CNATable::bExtraitMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile)
{
    return _Forward(piContext, SLOT_BEXTRAITMEMO, 0,
                    [&](CNADataAccess* p) { return p->bExtraitMemo(nItem, pszFile); });
}

int CNATable::bHAnnuleRecherche(INAContext* piContext, const wchar_t* pszItem)
{
    return _Forward(piContext, SLOT_BHANNULERECHERCHE, 1,
                    [&](CNADataAccess* p) { return p->bHAnnuleRecherche(pszItem); });
}

int CNATable::bHChangeCle(INAContext* piContext, const wchar_t* pszItem, unsigned int nFlags)
{
    return _Forward(piContext, SLOT_BHCHANGECLE, 0, [&](CNADataAccess* p) { return p->bHChangeCle(pszItem, nFlags); });
}

int CNATable::bHConstruitValCle(INAContext* piContext, CAny* pResult, const wchar_t* pszItem, unsigned int nCount,
                                CAny** ppValues)
{
    return _Forward(piContext, SLOT_BHCONSTRUITVALCLE, 0,
                    [&](CNADataAccess* p) { return p->bHConstruitValCle(pResult, pszItem, nCount, ppValues); });
}

int CNATable::bHInterditModif(INAContext* piContext)
{
    try {
        return _bNotOffered(piContext, POINT_INTERDITMODIF);
    } catch (...) {
        _OnException(SLOT_BHINTERDITMODIF);
        return 0;
    }
}

int CNATable::bHFinInterditModif(INAContext* piContext)
{
    try {
        return _bNotOffered(piContext, POINT_FININTERDITMODIF);
    } catch (...) {
        _OnException(SLOT_BHFININTERDITMODIF);
        return 0;
    }
}

int CNATable::bCalculateKeyValue(INAContext* piContext, const wchar_t*, void**, const void*, unsigned int*,
                                 unsigned short, int)
{
    try {
        return _bNotOffered(piContext, POINT_CALCULATEKEYVALUE);
    } catch (...) {
        _OnException(SLOT_BCALCULATEKEYVALUE);
        return 0;
    }
}

int CNATable::bFreeCache(INAContext* piContext)
{
    return _Forward(piContext, SLOT_BFREECACHE, 0, [&](CNADataAccess* p) { return p->bFreeCache(); });
}

int CNATable::bCompareTablePosition(INAContext* piContext, int nPosition1, int nPosition2, int* pnResult)
{
    return _Forward(piContext, SLOT_BCOMPARETABLEPOSITION, 0,
                    [&](CNADataAccess* p) { return p->bCompareTablePosition(nPosition1, nPosition2, pnResult); });
}

int CNATable::bTableVirtualMoveSupported()
{
    return 0;
}

int CNATable::bTableVirtualMove(INAContext*, const wchar_t*, long long*, unsigned int, int)
{
    return 0;
}

int CNATable::bSupprimeTout(INAContext* piContext)
{
    return _Forward(piContext, SLOT_BSUPPRIMETOUT, 0, [&](CNADataAccess* p) { return p->bSupprimeTout(); });
}

void CNATable::EmptySlot579() {}
void CNATable::EmptySlot580() {}
void CNATable::EmptySlot582() {}
void CNATable::EmptySlot583() {}
void CNATable::EmptySlot584() {}
void CNATable::EmptySlot585() {}
void CNATable::EmptySlot586() {}
void CNATable::EmptySlot587() {}
void CNATable::EmptySlot589() {}
void CNATable::EmptySlot590() {}
void CNATable::EmptySlot591() {}
void CNATable::EmptySlot592() {}
void CNATable::EmptySlot593() {}
void CNATable::EmptySlot594() {}

// ---- Queries -----------------------------------------------------------------------------------------

int CNATable::bExecuteQuery(int* pbHasResult, INAContext* piContext, const wchar_t* pszName,
                            ISQLParserInformation* piParser, unsigned int nMode, const INAQueryExecution* piExecution)
{
    CNADriverLock clLock;
    try {
        if (!_bCheckSQLModule(piParser))
            return 0;
        CDataAccessHeld clHeld(_pclGetDataAccess(piContext, nullptr));
        if (clHeld.p == nullptr)
            return 0;
        CNAError* pclError = clHeld.p->pclGetError();
        ResetError(pclError);
        int bHasResult = 0;
        const int bResult = clHeld.p->bExecuteQuery(&bHasResult, pszName, piParser, nMode, piExecution);
        if (pbHasResult != nullptr)
            *pbHasResult = bHasResult;
        if (bResult) {
            if (!clHeld.p->bHPrepareRequeteCalled() && bHasResult) {
                INADataSourceDescription* piResult = clHeld.p->piGetDataSourceDescriptionForKX();
                INADataSourceDescription* piOld = m_piDescription;
                m_piDescription = piResult;
                if (piOld != nullptr)
                    piOld->nExternalRelease();
            }
            return bResult;
        }
        if (m_pclError != nullptr && pclError != nullptr && pclError != m_pclError)
            m_pclError->Copy(pclError);
        if (!clHeld.p->bHPrepareRequeteCalled())
            _RemoveDataAccess(piContext, clHeld.p);
        return bResult;
    } catch (...) {
        _OnException(SLOT_BEXECUTEQUERY);
        return 0;
    }
}

int CNATable::bNeedCloseQuery(INAContext* piContext, ISQLParserInformation* piParser)
{
    CNADriverLock clLock;
    try {
        int bCreated = 0;
        CDataAccessHeld clHeld(_pclGetDataAccess(piContext, &bCreated));
        if (clHeld.p == nullptr || bCreated)
            return 0;
        return clHeld.p->bSameQuery(piParser) ? 0 : 1;
    } catch (...) {
        _OnException(SLOT_NEEDCLOSEQUERY);
        return 0;
    }
}

// ---- Over the data accesses ------------------------------------------------------------------------

int CNATable::bCloseAllDataAccess()
{
    CNADriverLock clLock;
    try {
        int bResult = 1;
        _ForEachDataAccess([&](CNADataAccess* p) {
            if (!p->bHFerme())
                bResult = 0;
            return true;
        });
        return bResult;
    } catch (...) {
        _OnException(SLOT_CLOSEALL);
        return 0;
    }
}

int CNATable::bCloseAllDataAccess(INAContext* piContext, const wchar_t* pszLogicalName)
{
    CNADriverLock clLock;
    try {
        if (piContext == nullptr)
            return 1;
        const unsigned int nContext = piContext->dwGetContextNumber();
        // Taken out of the walk: each one leaves the registry.
        std::vector<CNADataAccess*> tabMatching;
        struct CAllHeld {
            std::vector<CNADataAccess*>& tab;
            ~CAllHeld()
            {
                for (CNADataAccess* p : tab)
                    p->nRelease();
            }
        } clAll{tabMatching};
        _ForEachDataAccess([&](CNADataAccess* p) {
            if (p->dwGetContextID() == nContext && bSameName(p->pszGetLogicalName(), pszLogicalName)) {
                tabMatching.push_back(p);
                p->AddRef();
            }
            return true;
        });
        int bResult = 1;
        for (CNADataAccess* p : tabMatching) {
            if (!p->bHFerme())
                bResult = 0;
            _RemoveDataAccess(piContext, p);
        }
        return bResult;
    } catch (...) {
        _OnException(SLOT_CLOSEALL_CONTEXT);
        return 0;
    }
}

int CNATable::bFiltreAuto(INAContext* piContext, int nMode, const wchar_t* pszLogicalName)
{
    CNADriverLock clLock;
    try {
        if (piContext == nullptr)
            return 1;
        const unsigned int nContext = piContext->dwGetContextNumber();
        _ForEachDataAccess([&](CNADataAccess* p) {
            if (p->dwGetContextID() != nContext || !bSameName(p->pszGetLogicalName(), pszLogicalName))
                return true;
            p->SetFiltreAuto(nMode);
            return false;
        });
        return 1;
    } catch (...) {
        _OnException(SLOT_FILTREAUTO);
        return 0;
    }
}

int CNATable::bFiltreAuto(INAContext* piContext, int nMode, const wchar_t* pszName, const wchar_t* pszOtherName,
                          INADataSourceDescription* piDescription)
{
    CNADriverLock clLock;
    try {
        if (piContext == nullptr)
            return 1;
        const unsigned int nContext = piContext->dwGetContextNumber();
        const bool bAll = pszName != nullptr && pszName[0] == L'*';
        int bResult = 1;
        _ForEachDataAccess([&](CNADataAccess* p) {
            if (p->dwGetContextID() == nContext && (bAll || bSameName(p->pszGetLogicalName(), pszName)))
                if (!p->bSetFiltreAuto(nMode, pszName, pszOtherName, piDescription))
                    bResult = 0;
            return true;
        });
        return bResult;
    } catch (...) {
        _OnException(SLOT_FILTREAUTO_NAMES);
        return 0;
    }
}

void CNATable::CancelRecordLock(INAConnectionDescription* piDescription, CNATransaction* pclTransaction)
{
    CNADriverLock clLock;
    try {
        _ForEachDataAccess([&](CNADataAccess* p) {
            CNAConnectionDescription* pclConnection = p->pclGetConnection();
            if (pclConnection != nullptr && pclConnection->piGetHostDescription() == piDescription)
                p->CancelRecordLock(piDescription, pclTransaction);
            return true;
        });
    } catch (...) {
        _OnException(SLOT_CANCELRECORDLOCK);
    }
}

void CNATable::SetTransactionTermined()
{
    CNADriverLock clLock;
    try {
        _ForEachDataAccess([](CNADataAccess* p) {
            p->SetTransactionTermined();
            return true;
        });
    } catch (...) {
        _OnException(SLOT_SETTRANSACTIONTERMINED);
    }
}

void CNATable::ReloadTableCaches(const CNADataAccess* pclWriter)
{
    CNADriverLock clLock;
    try {
        _ForEachDataAccess([&](CNADataAccess* p) {
            if (p != pclWriter && (pclWriter == nullptr || p->bSharesTableWith(pclWriter)))
                p->ReloadFromServer();
            return true;
        });
    } catch (...) {
        _OnException(SLOT_RELOADTABLECACHES);
    }
}

void CNATable::NotifyDataAccessOperation(CNADataAccess* pclSource, int eType, CNAStatement* pclStatement,
                                         unsigned int nFlags)
{
    CNADriverLock clLock;
    try {
        _ForEachDataAccess([&](CNADataAccess* p) {
            if (p != pclSource)
                p->NotifyOperation(eType, pclStatement, nFlags);
            return true;
        });
    } catch (...) {
        _OnException(SLOT_NOTIFY);
    }
}
