// A table or query as the host reads it: every file operation names the
// host context it runs in (but ExternalAddRef, nExternalRelease,
// piGetDataSourceDescription and bTableVirtualMoveSupported). The order of
// the operations is the contract with the host (79 in all, the last
// fourteen reserved; slot k at byte 4k of the table under -m32). Items are
// named by their text; a writable item text receives at most 255
// characters, its terminator included.
#pragma once

#include "access/driver/INAVersion.h"

class CAny;
class CNAKXRecord;
class IGaugeControl;
class INAContext;
class INADataSourceDescription;
class ISQLParserInformation;

// The host's enumerations, as the table reads them; their values belong to
// the host.
enum _eNA_HMODE : int;
enum eNA_ACCESS : int;
enum eNA_LOCKTYPE : int;
enum eNA_PARSEDIRECTION : int;
enum eNA_OPERATION : int;
enum eNA_PRECISION : int;

class INATable : public INAVersion {
public:
    virtual void ExternalAddRef() = 0;
    virtual int nExternalRelease() = 0;
    virtual INAError* piGetLastError(INAContext* piContext) const = 0;
    virtual int bIsOpened(INAContext* piContext) const = 0;
    virtual INADataSourceDescription* piGetDataSourceDescription() = 0;
    virtual int bNbEnrNeedParse(INAContext* piContext, int* pbNeed, const wchar_t* pszText) = 0;
    virtual void FreeMemory(INAContext* piContext, void** ppMemory) const = 0;
    virtual int bHReindexe(INAContext* piContext, unsigned int nOptions, IGaugeControl* piGauge) = 0;
    virtual int bHCreationSiInexistant(INAContext* piContext, eNA_ACCESS eAccess, const wchar_t* pszPassword) = 0;
    virtual int bHCreation(INAContext* piContext, const wchar_t* pszPassword) = 0;
    virtual int bHOuvre(INAContext* piContext, eNA_ACCESS eAccess, const wchar_t* pszPassword) = 0;
    virtual int bHMode(INAContext* piContext, _eNA_HMODE eMode) = 0;
    virtual int bHFerme(INAContext* piContext) = 0;
    virtual int bHAjoute(INAContext* piContext, unsigned int nFlags, eNA_LOCKTYPE eLock) = 0;
    virtual int bHEcrit(INAContext* piContext, long long llRecord, unsigned int nFlags, eNA_LOCKTYPE eLock) = 0;
    virtual int bHRaye(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock) = 0;
    virtual int bHSupprime(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock) = 0;
    virtual int bHModifie(INAContext* piContext, long long llRecord, unsigned int nFlags, eNA_LOCKTYPE eLock) = 0;
    virtual int bHRecherche(INAContext* piContext, const wchar_t* pszItem, const CAny* pValue, int bExact,
                            int nReadOption, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, int bFirst,
                            unsigned int nFlags) = 0;
    virtual int bHLibere(INAContext* piContext) = 0;
    virtual int bHLit(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock) = 0;
    virtual int bHLitxxx(INAContext* piContext, const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, int n,
                         eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags) = 0;
    virtual int bSkipRecord(INAContext* piContext, const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection,
                            long long llCount, int n, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock,
                            unsigned int nFlags) = 0;
    virtual int bHBloqueFichier(INAContext* piContext, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock) = 0;
    virtual int bHDebloqueFichier(INAContext* piContext) = 0;
    virtual int bHBloqueNumEnr(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock,
                               eNA_LOCKTYPE* peLock) = 0;
    virtual int bHDebloqueNumEnr(INAContext* piContext, long long llRecord) = 0;
    virtual int bHEnDehors(INAContext* piContext, const wchar_t* pszItem, int* pbOut) = 0;
    virtual int bEvalHTrouve(INAContext* piContext, const wchar_t* pszItem, int* pbFound, int* pbInRange) = 0;
    virtual int bSetNextOperation(INAContext* piContext, eNA_OPERATION eOperation) = 0;
    virtual long long llGetRecNum(INAContext* piContext) = 0;
    virtual int bGetRecNumState(INAContext* piContext, long long llRecord, unsigned int* pnState) = 0;
    virtual int bHFiltre(INAContext* piContext, ISQLParserInformation* piParser, wchar_t* pszItem) = 0;
    virtual int bHFiltre(INAContext* piContext, const wchar_t* pszItem, const CAny* pLower, int bLowerIncluded,
                         const CAny* pUpper, int bUpperIncluded, ISQLParserInformation* piParser) = 0;
    virtual int bHActiveFiltre(INAContext* piContext, const wchar_t* pszItem, unsigned int nFlags) = 0;
    virtual int bHDesactiveFiltre(INAContext* piContext, const wchar_t* pszItem, unsigned int nFlags) = 0;
    virtual int bHRetourPosition(INAContext* piContext, int nPosition, wchar_t* pszItem, int bKeep,
                                 unsigned int nFlags) = 0;
    virtual int bHLiberePosition(INAContext* piContext, int nPosition) = 0;
    virtual int bHSauvePosition(INAContext* piContext, const wchar_t* pszItem, int* pnPosition,
                                unsigned int nFlags) = 0;
    virtual int bHVersion(INAContext* piContext, int* pnVersion) = 0;
    virtual int bHNbEnr(INAContext* piContext, long long* pllCount, unsigned int nOptions, unsigned int nFlags) = 0;
    virtual int bHPositionCourante(INAContext* piContext, const wchar_t* pszItem, int* pnPosition,
                                   eNA_PRECISION ePrecision, unsigned int nFlags) = 0;
    virtual int bHPositionne(INAContext* piContext, const wchar_t* pszItem, unsigned int nPosition,
                             eNA_PRECISION ePrecision, unsigned int nFlags) = 0;
    virtual int bGetBLOB(INAContext* piContext, unsigned int nItem, CAny* pValue) = 0;
    virtual int bSetBLOB(INAContext* piContext, unsigned int nItem, const CAny* pValue) = 0;
    virtual int bGetRecord(INAContext* piContext, CNAKXRecord** ppRecord) const = 0;
    virtual int bSetRecord(INAContext* piContext, CNAKXRecord* pRecord) = 0;
    virtual int bHAttacheMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile) = 0;
    virtual int bExtraitMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile) = 0;
    virtual int bHAnnuleRecherche(INAContext* piContext, const wchar_t* pszItem) = 0;
    virtual int bHChangeCle(INAContext* piContext, const wchar_t* pszItem, unsigned int nFlags) = 0;
    virtual int bHConstruitValCle(INAContext* piContext, CAny* pResult, const wchar_t* pszItem,
                                  unsigned int nCount, CAny** ppValues) = 0;
    virtual int bHInterditModif(INAContext* piContext) = 0;
    virtual int bHFinInterditModif(INAContext* piContext) = 0;
    virtual int bCalculateKeyValue(INAContext* piContext, const wchar_t* pszItem, void** ppKey,
                                   const void* pRecord, unsigned int* pnSize, unsigned short nType, int n) = 0;
    virtual int bFreeCache(INAContext* piContext) = 0;
    virtual int bCompareTablePosition(INAContext* piContext, int nPosition1, int nPosition2, int* pnResult) = 0;
    virtual int bTableVirtualMoveSupported() = 0;
    virtual int bTableVirtualMove(INAContext* piContext, const wchar_t* pszItem, long long* pllMove,
                                  unsigned int nFlags, int n) = 0;
    virtual int bSupprimeTout(INAContext* piContext) = 0;
    virtual void EmptySlot579() = 0;
    virtual void EmptySlot580() = 0;
    virtual void EmptySlot582() = 0;
    virtual void EmptySlot583() = 0;
    virtual void EmptySlot584() = 0;
    virtual void EmptySlot585() = 0;
    virtual void EmptySlot586() = 0;
    virtual void EmptySlot587() = 0;
    virtual void EmptySlot589() = 0;
    virtual void EmptySlot590() = 0;
    virtual void EmptySlot591() = 0;
    virtual void EmptySlot592() = 0;
    virtual void EmptySlot593() = 0;
    virtual void EmptySlot594() = 0;

protected:
    ~INATable() = default;
};
