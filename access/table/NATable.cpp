#include "access/table/NATable.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NADriverLock.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/sql/INAQueryParametersValue.h"
#include "access/table/NADataAccess.h"
#include "common/platform/MyModuleInfo.h"

#include <cstddef>

CNADataAccess* gpclLastDataAccess = nullptr;
unsigned int gdwCtxID = 0;
unsigned int gdwDataID = 0;

CNATable::CNATable(const wchar_t* pszKey, INADataSourceDescription* piDescription,
                   CNAConnectionDescription* pclConnection, CNAError* pclError)
    : m_nRef(0),
      m_nExternalRef(0),
      m_pclError(pclError),
      m_pclConnection(pclConnection),
      m_piDescription(piDescription),
      m_csIdentification(pszKey),
      m_tabDataAccess(7),
      m_piQueryBindVariables(nullptr)
{
    if (m_pclConnection != nullptr)
        m_pclConnection->AddRef();
    if (m_piDescription != nullptr)
        m_piDescription->ExternalAddRef();
    if (m_pclError != nullptr)
        m_pclError->AddRef();
}

CNATable::~CNATable()
{
    m_tabDataAccess.SupprimeTout();
    if (m_piDescription != nullptr)
        m_piDescription->nExternalRelease();
    CNADriver::g_ReleaseHeldConnection(m_pclConnection);
    if (m_pclError != nullptr)
        m_pclError->nRelease();
    if (m_piQueryBindVariables != nullptr) {
        try {
            m_piQueryBindVariables->nExternalRelease();
        } catch (...) {
        }
    }
}

int CNATable::_bNotBuilt(int nPoint) const
{
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, ERRFILE_TABLE, nPoint, m_pclConnection, nullptr, nullptr,
                                   ZTERR_NOT_OFFERED);
    return 0;
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
    if (m_nRef <= 0)
        return 0;
    if (--m_nRef == 0 && m_nExternalRef == 0) {
        delete this;
        return 0;
    }
    return m_nRef;
}

void CNATable::ExternalAddRef()
{
    CNADriverLock clLock;
    m_nExternalRef++;
}

int CNATable::nExternalRelease()
{
    try {
        CNADriverLock clLock;
        if (m_nExternalRef <= 0)
            return 0;
        const int n = --m_nExternalRef;
        if (n == 0 && m_nRef == 1 && CNADriver::s_pclDriver != nullptr) {
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

// ---- Slots -----------------------------------------------------------------------------------------

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

INAError* CNATable::piGetLastError(INAContext*) const
{
    return m_pclError;
}

int CNATable::bIsOpened(INAContext*) const
{
    return _bNotBuilt(11);
}

INADataSourceDescription* CNATable::piGetDataSourceDescription()
{
    _bNotBuilt(12);
    return nullptr;
}

int CNATable::bNbEnrNeedParse(INAContext*, int*, const wchar_t*)
{
    return _bNotBuilt(13);
}

void CNATable::FreeMemory(INAContext*, void**) const
{
    _bNotBuilt(14);
}

int CNATable::bHReindexe(INAContext*, unsigned int, IGaugeControl*)
{
    return _bNotBuilt(15);
}

int CNATable::bHCreationSiInexistant(INAContext*, eNA_ACCESS, const wchar_t*)
{
    return _bNotBuilt(16);
}

int CNATable::bHCreation(INAContext*, const wchar_t*)
{
    return _bNotBuilt(17);
}

int CNATable::bHOuvre(INAContext*, eNA_ACCESS, const wchar_t*)
{
    return _bNotBuilt(18);
}

int CNATable::bHMode(INAContext*, _eNA_HMODE)
{
    return _bNotBuilt(19);
}

int CNATable::bHFerme(INAContext*)
{
    return _bNotBuilt(20);
}

int CNATable::bHAjoute(INAContext*, unsigned int, eNA_LOCKTYPE)
{
    return _bNotBuilt(21);
}

int CNATable::bHEcrit(INAContext*, long long, unsigned int, eNA_LOCKTYPE)
{
    return _bNotBuilt(22);
}

int CNATable::bHRaye(INAContext*, long long, eNA_LOCKTYPE)
{
    return _bNotBuilt(23);
}

int CNATable::bHSupprime(INAContext*, long long, eNA_LOCKTYPE)
{
    return _bNotBuilt(24);
}

int CNATable::bHModifie(INAContext*, long long, unsigned int, eNA_LOCKTYPE)
{
    return _bNotBuilt(25);
}

int CNATable::bHRecherche(INAContext*, INAItemDescription*, const CAny*, int, int, eNA_LOCKTYPE, eNA_LOCKTYPE*, int, unsigned int)
{
    return _bNotBuilt(26);
}

int CNATable::bHLibere(INAContext*)
{
    return _bNotBuilt(27);
}

int CNATable::bHLit(INAContext*, long long, eNA_LOCKTYPE, eNA_LOCKTYPE*)
{
    return _bNotBuilt(28);
}

int CNATable::bHLitxxx(INAContext*, INAItemDescription*, eNA_PARSEDIRECTION, int, eNA_LOCKTYPE, eNA_LOCKTYPE*, unsigned int)
{
    return _bNotBuilt(29);
}

int CNATable::bSkipRecord(INAContext*, INAItemDescription*, eNA_PARSEDIRECTION, long long, int, eNA_LOCKTYPE, eNA_LOCKTYPE*, unsigned int)
{
    return _bNotBuilt(30);
}

int CNATable::bHBloqueFichier(INAContext*, eNA_LOCKTYPE, eNA_LOCKTYPE*)
{
    return _bNotBuilt(31);
}

int CNATable::bHDebloqueFichier(INAContext*)
{
    return _bNotBuilt(32);
}

int CNATable::bHBloqueNumEnr(INAContext*, long long, eNA_LOCKTYPE, eNA_LOCKTYPE*)
{
    return _bNotBuilt(33);
}

int CNATable::bHDebloqueNumEnr(INAContext*, long long)
{
    return _bNotBuilt(34);
}

int CNATable::bHEnDehors(INAContext*, INAItemDescription*, int*)
{
    return _bNotBuilt(35);
}

int CNATable::bEvalHTrouve(INAContext*, INAItemDescription*, int*, int*)
{
    return _bNotBuilt(36);
}

int CNATable::bSetNextOperation(INAContext*, eNA_OPERATION)
{
    return _bNotBuilt(37);
}

long long CNATable::llGetRecNum(INAContext*)
{
    return _bNotBuilt(38);
}

int CNATable::bGetRecNumState(INAContext*, long long, unsigned int*)
{
    return _bNotBuilt(39);
}

int CNATable::bHFiltre(INAContext*, ISQLParserInformation*, CXYString<wchar_t>*)
{
    return _bNotBuilt(40);
}

int CNATable::bHFiltre(INAContext*, INAItemDescription*, const CAny*, int, const CAny*, int, ISQLParserInformation*)
{
    return _bNotBuilt(41);
}

int CNATable::bHActiveFiltre(INAContext*, INAItemDescription*, unsigned int)
{
    return _bNotBuilt(42);
}

int CNATable::bHDesactiveFiltre(INAContext*, INAItemDescription*, unsigned int)
{
    return _bNotBuilt(43);
}

int CNATable::bHRetourPosition(INAContext*, int, CXYString<wchar_t>*, int, unsigned int)
{
    return _bNotBuilt(44);
}

int CNATable::bHLiberePosition(INAContext*, int)
{
    return _bNotBuilt(45);
}

int CNATable::bHSauvePosition(INAContext*, INAItemDescription*, int*, unsigned int)
{
    return _bNotBuilt(46);
}

int CNATable::bHVersion(INAContext*, int*)
{
    return _bNotBuilt(47);
}

int CNATable::bHNbEnr(INAContext*, long long*, unsigned int, unsigned int)
{
    return _bNotBuilt(48);
}

int CNATable::bHPositionCourante(INAContext*, INAItemDescription*, int*, eNA_PRECISION, unsigned int)
{
    return _bNotBuilt(49);
}

int CNATable::bHPositionne(INAContext*, INAItemDescription*, unsigned int, eNA_PRECISION, unsigned int)
{
    return _bNotBuilt(50);
}

int CNATable::bGetBLOB(INAContext*, unsigned int, CAny*)
{
    return _bNotBuilt(51);
}

int CNATable::bSetBLOB(INAContext*, unsigned int, const CAny*)
{
    return _bNotBuilt(52);
}

int CNATable::bGetRecord(INAContext*, CNAKXRecord**) const
{
    return _bNotBuilt(53);
}

int CNATable::bSetRecord(INAContext*, CNAKXRecord*)
{
    return _bNotBuilt(54);
}

int CNATable::bHAttacheMemo(INAContext*, unsigned int, const wchar_t*)
{
    return _bNotBuilt(55);
}

int CNATable::bExtraitMemo(INAContext*, unsigned int, const wchar_t*)
{
    return _bNotBuilt(56);
}

int CNATable::bHAnnuleRecherche(INAContext*, INAItemDescription*)
{
    return _bNotBuilt(57);
}

int CNATable::bHChangeCle(INAContext*, INAItemDescription*, unsigned int)
{
    return _bNotBuilt(58);
}

int CNATable::bHConstruitValCle(INAContext*, CAny*, INAItemDescription*, unsigned int, CAny**)
{
    return _bNotBuilt(59);
}

int CNATable::bHInterditModif(INAContext*)
{
    return _bNotBuilt(60);
}

int CNATable::bHFinInterditModif(INAContext*)
{
    return _bNotBuilt(61);
}

int CNATable::bCalculateKeyValue(INAContext*, INAItemDescription*, void**, const void*, unsigned int*, unsigned short, int)
{
    return _bNotBuilt(62);
}

int CNATable::bFreeCache(INAContext*)
{
    return _bNotBuilt(63);
}

int CNATable::bCompareTablePosition(INAContext*, int, int, int*)
{
    return _bNotBuilt(64);
}

int CNATable::bTableVirtualMoveSupported()
{
    return _bNotBuilt(65);
}

int CNATable::bTableVirtualMove(INAContext*, INAItemDescription*, long long*, unsigned int, int)
{
    return _bNotBuilt(66);
}

int CNATable::bSupprimeTout(INAContext*)
{
    return _bNotBuilt(67);
}

void CNATable::EmptySlot579()
{}

void CNATable::EmptySlot580()
{}

void CNATable::EmptySlot582()
{}

void CNATable::EmptySlot583()
{}

void CNATable::EmptySlot584()
{}

void CNATable::EmptySlot585()
{}

void CNATable::EmptySlot586()
{}

void CNATable::EmptySlot587()
{}

void CNATable::EmptySlot589()
{}

void CNATable::EmptySlot590()
{}

void CNATable::EmptySlot591()
{}

void CNATable::EmptySlot592()
{}

void CNATable::EmptySlot593()
{}

void CNATable::EmptySlot594()
{}

// ---- Own operations ----------------------------------------------------------------------------------

int CNATable::bSupprimeFichier(INAContext*)
{
    return _bNotBuilt(90);
}

int CNATable::bExecuteQuery(int* pbKeep, INAContext*, const wchar_t*, ISQLParserInformation*, unsigned int,
                            const INAQueryExecution*)
{
    if (pbKeep != nullptr)
        *pbKeep = 0;
    return _bNotBuilt(91);
}

void CNATable::CancelRecordLock(INAConnectionDescription*, CNATransaction*)
{
    _bNotBuilt(92);
}

void CNATable::SetTransactionTermined()
{
    _bNotBuilt(93);
}
