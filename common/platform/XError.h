// The error object every operation of the module fills in when it fails:
// level, user error code and message (built from the module's numbered
// messages), debug and system messages, the identity of the raising module,
// the host-language context, typed infos and owned sub-errors, with a
// multi-section text report.
#pragma once

#include "common/platform/ZTUnknown.h"
#include "common/text/Tableau.h"
#include "common/text/Tstring.h"

#include <cstdarg>

struct _stMyModuleInfo;

enum eERRORLEVEL : int {
    EL_NOERROR = 1,
    EL_LEVEL2 = 2, // level of two error definitions
    EL_ERROR = 3,
};

enum eERRORINFOTYPE : int {
    EIT_SRCFILE = 1,
    EIT_DSTFILE = 2,
    EIT_USERNAME = 3,
    EIT_HELPFILE = 4,
    EIT_PATHZTD = 5,
    EIT_LOGICALTABLENAME = 6,
    EIT_ITEMNAME = 7,
    EIT_PATHFIC = 8,
    EIT_PATHNDX = 9,
    EIT_PATHMMO = 10,
    EIT_LINKNAME = 11,
    EIT_RECNUM = 12,
    EIT_ODBCCODE = 13,
    EIT_ODBCDESCRIPTION = 14,
    EIT_BASECODE = 15,
    EIT_NATIVECODE = 16,
    EIT_ADOCODE = 17,
    EIT_BASEMESSAGE = 18,
    EIT_NATIVEMESSAGE = 19,
    EIT_ADOMESSAGE = 20,
    EIT_DATAACCESS = 21,
    EIT_INFOCLIENT = 22,
    EIT_INFOSERVEUR = 23,
    EIT_PILETQ = 24,
    EIT_DATEHEURE = 25,
    EIT_LOCKINFO = 26,
    EIT_CORRIGE_ETAT = 27,
    EIT_INFOCS = 28,
    // 29: a pointer kept as given, never copied, freed or dumped.
    EIT_XINFO = 30,
    EIT_COMPOSANT = 31,
    EIT_SERVEURCS = 32,
    EIT_PILEC = 33,
    // 34 and 35 cannot be stored.
    EIT_HLOCKTIME = 36,
    EIT_HCNXID = 37,
    EIT_EXCEPTIONDOTNET = 38,
};

// Sections of the text report (bit set).
enum eXERROR_INFO : unsigned int {
    XEI_MODULE = 0x1,
    XEI_CONTEXT = 0x2,
    XEI_LEVEL = 0x4,
    XEI_USERCODE = 0x8,
    XEI_USERCODE55 = 0x10,
    XEI_SYSTEMCODE = 0x20,
    XEI_SYSTEMMESSAGE = 0x40,
    XEI_USERMESSAGE = 0x80,
    XEI_DEBUGMESSAGE = 0x100,
    XEI_INFOS = 0x200,
    XEI_DETAILID = 0x400,
    XEI_SUBERRORS = 0x800,
    XEI_ALL = 0xFFF,
    XEI_NOUSERCAPTION = 0x40000000, // no caption line before the user message
    XEI_SKIPEMPTY = 0x80000000,     // leave out the sections with nothing to show
    XEI_DEFAULT = 0x80000FFF,
};

// One typed info: the value by type (text, 32-bit, 64-bit or object).
struct _stERRORINFO {
    unsigned int nType;
    union {
        wchar_t* psz;
        int n;
        long long ll;
        void* p;
    } u;
};
static_assert(sizeof(void*) != 4 || sizeof(_stERRORINFO) == 12, "info entries are 12 bytes on i386");

// The host's exception objects held by EIT_EXCEPTIONDOTNET: the second
// operation takes a reference, the third gives it back.
class IXErrorException {
public:
    virtual void vReserved() = 0;
    virtual unsigned int AddRef() = 0;
    virtual unsigned int Release() = 0;

protected:
    ~IXErrorException() = default;
};

class CXError : public CZTUnknown {
public:
    explicit CXError(const _stMyModuleInfo* pModule);
    CXError(const _stMyModuleInfo* pModule, unsigned int nCode, ...);
    // Beware: an 8-bit text as the only argument of the variadic form
    // would pick this one (va_list is a char pointer on i386).
    CXError(const _stMyModuleInfo* pModule, unsigned int nCode, va_list args);
    CXError(const _stMyModuleInfo* pModule, const wchar_t* pszDebug, unsigned int nCode, ...);
    CXError(const _stMyModuleInfo* pModule, const wchar_t* pszDebug, unsigned int nCode, va_list args);
    // A plain copy belongs to no module (module number 0).
    CXError(const CXError& src);
    CXError(const _stMyModuleInfo* pModule, const CXError& src);
    // Light (non-zero): the source is moved and left clear; else copied.
    CXError(const _stMyModuleInfo* pModule, CXError& src, int bLight);
    CXError(const _stMyModuleInfo* pModule, CXError* pSrc, int bLight);
    CXError(unsigned int nModuleNumber, CXError* pSrc, int bLight);
    // Makes this error equal to src, its own earlier sub-errors dropped
    // (Copy keeps them).
    CXError& operator=(const CXError& src);

    // ---- Virtual operations, in slot order --------------------------------
    ~CXError() override;
    // Each answers the field's new text, null when allocation failed; the
    // field then keeps what it held (the alloc form leaves it null).
    virtual wchar_t* __vpszAllocString(wchar_t** ppsz, const wchar_t* psz);
    virtual wchar_t* __vpszReallocString(wchar_t** ppsz, const wchar_t* psz);
    // Room for n characters, the terminator included.
    virtual wchar_t* __vpszReallocString(wchar_t** ppsz, unsigned int n);
    virtual wchar_t* __vpszConcatString(wchar_t** ppsz, const wchar_t* psz);
    virtual void __vDeleteString(wchar_t** ppsz);
    virtual void __AddSubError(CXError* pSrc, int bLight, int bNoUserMessage);
    virtual void __DeleteAllSubError();
    virtual void vCopy(const CXError* pSrc);

    // ---- User error and messages --------------------------------------------
    void SetUserError(const _stMyModuleInfo* pModule, unsigned int nCode, ...);
    void SetUserErrorList(const _stMyModuleInfo* pModule, unsigned int nCode, va_list args);
    void ChangeUserError(const _stMyModuleInfo* pModule, unsigned int nCode, ...);
    void ChangeUserErrorList(const _stMyModuleInfo* pModule, unsigned int nCode, va_list args);
    void SetUserErrorMessage(const _stMyModuleInfo* pModule, unsigned int nCode, const wchar_t* pszText);
    void ChangeUserErrorMessage(const _stMyModuleInfo* pModule, unsigned int nCode, const wchar_t* pszText);
    void AddUserMessage(const _stMyModuleInfo* pModule, unsigned int nId, ...);
    void AddUserMessageList(const _stMyModuleInfo* pModule, unsigned int nId, va_list args);
    void AddUserMessageFirst(const _stMyModuleInfo* pModule, unsigned int nId, ...);
    void AddUserMessageListFirst(const _stMyModuleInfo* pModule, unsigned int nId, va_list args);
    void AddUserMessage(const wchar_t* pszText);
    void AddUserMessageNoFormat(const wchar_t* pszText);
    void AddUserMessageFirst(const wchar_t* pszText);
    void RAZUserMessage();
    const wchar_t* pszGetUserMessage() const;

    void SetUserErrorCode(unsigned int nCode) { m_nUserErrorCode = nCode; }
    unsigned int nGetUserErrorCode() const { return m_nUserErrorCode; }
    void SetUserErrorCode55(unsigned int nCode) { m_nUserErrorCode55 = nCode; }
    unsigned int nGetUserErrorCode55() const { return m_nUserErrorCode55; }
    void SetDetailId(unsigned int nId) { m_nDetailId = nId; }
    unsigned int nGetDetailId() const { return m_nDetailId; }
    void SetErrorLevel(eERRORLEVEL eLevel);
    eERRORLEVEL eGetErrorLevel() const { return m_eErrorLevel; }
    int nNumErrorId() const { return m_tabErrorId.nGetNbElement(); }
    // Unchecked: 0 <= i < nNumErrorId().
    unsigned int nGetErrorId(int i) const { return m_tabErrorId[i]; }

    static unsigned int nGetRessourceIdFromUserErrorCode(const _stMyModuleInfo* pModule, unsigned int nCode);

    // The out-of-memory error: never throws.
    void SetErrorNoMemory() noexcept;
    // A host value-operation status as an error.
    void SetAnyError(const _stMyModuleInfo* pModule, int nStatus, int nType1, int nType2);

    // ---- Debug message ------------------------------------------------------
    void AddDebugMessageNoFormat(const wchar_t* pszText);
    void AddDebugMessagePrintf(const wchar_t* pszFormat, ...);
    void AddDebugMessage(const _stMyModuleInfo* pModule, unsigned int nId, ...);
    void AddDebugMessageList(const _stMyModuleInfo* pModule, unsigned int nId, va_list args);
    void AddDebugMessageFirst(const wchar_t* pszText);
    const wchar_t* pszGetDebugMessage() const;

    // ---- System error -------------------------------------------------------
    void SetSystemError(unsigned int nCode, const wchar_t* pszText);
    void SetSystemErrorMessage(unsigned int nCode, const wchar_t* pszText);
    void SetSystemErrorMessage(const wchar_t* pszText);
    void SetSystemErrorMessageA(const char* pszText);
    void SetSystemErrorParam(unsigned int nCode, ...);
    void __SetSystemError(unsigned int nCode, va_list args);
    void SetSystemErrorForGetHostBy(unsigned int nCode);
    void SetSystemErrorMessagePrintf(unsigned int nCode, const wchar_t* pszFormat, ...);
    void SetSystemErrorMessagePrintf(const wchar_t* pszFormat, ...);
    void SetSystemErrorMessage(const _stMyModuleInfo* pModule, unsigned int nId, ...);
    unsigned int dwGetSystemErrorCode() const { return m_dwSystemErrorCode; }
    const wchar_t* pszGetSystemErrorMessage() const;

    // ---- Context and identity -----------------------------------------------
    void SetVMContext(const wchar_t* pszCaption, const wchar_t* pszObjectName, unsigned short wLine, unsigned short wThread);
    // Leaves the object name as it is.
    void SetVMContext(const wchar_t* pszCaption, unsigned short wLine, unsigned short wThread);
    void SetVMContext(const wchar_t* pszObjectName);
    const wchar_t* pszGetTraitmentCaption() const;
    const wchar_t* pszGetObjectName() const;
    unsigned short wGetTraitmentLine() const { return m_wTraitmentLine; }
    unsigned short wGetTraitmentThread() const { return m_wTraitmentThread; }
    void SetFunctionName(const wchar_t* pszName, unsigned char nSyntax);
    const wchar_t* pszGetFunctionName() const;
    unsigned char nGetFunctionSyntax() const { return static_cast<unsigned char>(m_nFunctionSyntax); }
    void InitModInfo(const _stMyModuleInfo* pModule, int bForce);
    void InitModName(const wchar_t* pszName);
    void InitModVersion(const wchar_t* pszVersion);
    const wchar_t* pszGetModName() const;
    const wchar_t* pszGetModVersion() const;
    void __InitInternalModInfo(unsigned int nModuleNumber) { m_nModuleNumber = nModuleNumber; }
    unsigned int nGetModuleNumber() const { return m_nModuleNumber; }

    // ---- Infos --------------------------------------------------------------
    // The value points to what is stored: the text for text types, an int
    // for 32-bit types, a long long for 64-bit types, the object itself for
    // object types. A null value or a type that cannot be stored is ignored.
    void AddInfo(eERRORINFOTYPE eType, const void* pValue);
    void DeleteInfo(eERRORINFOTYPE eType);
    bool bHasInfo(eERRORINFOTYPE eType) const;
    // Out value as GetInfo gives it.
    bool bGetInfo(eERRORINFOTYPE eType, const void** ppValue) const;
    // 64-bit types write the value into the 8 bytes ppValue points to;
    // every other type stores its 32-bit value or pointer in *ppValue. An
    // index out of range gives type 0.
    void GetInfo(int nIndex, eERRORINFOTYPE* peType, const void** ppValue) const;
    int nNumInfo() const { return m_tabInfo.nGetNbElement(); }
    // Appends the info's report line (no line end); the value as for AddInfo.
    static void DumpInfo(eERRORINFOTYPE eType, const void* pValue, CTString* pclOut);
    bool __bGetXInfo(int nMask) const;
    void __SetXInfo(int nMask, bool bSet);

    // ---- Sub-errors ---------------------------------------------------------
    void AddSubError(CXError* pSrc) { __AddSubError(pSrc, 0, 0); }
    void AddSubErrorLight(CXError* pSrc) { __AddSubError(pSrc, 1, 0); }
    void AddSubErrorLightNoUserMessage(CXError* pSrc) { __AddSubError(pSrc, 1, 1); }
    void DeleteAllSubError() { __DeleteAllSubError(); }
    int nGetNbSubError() const;
    CXError* pclGetSubError(int i) const;

    // ---- Whole object -------------------------------------------------------
    void RAZ();
    // Keeps the sub-errors already there and adds the source's after them.
    void Copy(const CXError& src) { vCopy(&src); }
    void Copy(const CXError* pSrc) { vCopy(pSrc); }
    void LightCopy(CXError* pSrc);
    void StringDump(CTString& clOut, eXERROR_INFO eMask) const;
    CTString StringDump(eXERROR_INFO eMask) const;
    void TraceDump() const {}

protected:
    void _Init(unsigned int nModuleNumber);
    void _Append(wchar_t** ppsz, const wchar_t* psz);
    void __AddFirst(wchar_t** ppsz, const wchar_t* psz);
    // Loads and formats a message of the module. Answers 1 with the text in
    // clOut; otherwise writes the reason into clOut and answers 0.
    static int _nFormatMessage(const _stMyModuleInfo* pModule, unsigned int nId, va_list args, CTString& clOut);
    void _AddUserMessageList(const _stMyModuleInfo* pModule, unsigned int nId, va_list args, bool bFirst);
    // The message nId first or last in the user message, its identifier
    // likewise; one that cannot be had goes to the debug message and its
    // number stands in.
    void _AddMessageId(const _stMyModuleInfo* pModule, unsigned int nId, va_list args, bool bFirst);
    void _SetFieldFromUTF8(wchar_t** ppsz, const char* psz);
    void _FreeInfo(_stERRORINFO& stInfo);
    void _RemoveAllInfo();
    int _nFindInfo(unsigned int nType) const;
    // The number fields: taken from the source, or back to no error.
    void _CopieNombres(const CXError& src);
    void _RazNombres();

    // The text fields, in the order every whole-object operation takes them.
    static constexpr int NB_TEXTES = 8;
    static wchar_t* CXError::* const ms_tabTextes[NB_TEXTES];

    eERRORLEVEL m_eErrorLevel;
    unsigned int m_nUserErrorCode;
    wchar_t* m_pszUserMessage;
    wchar_t* m_pszDebugMessage;
    wchar_t* m_pszFunctionName;
    wchar_t* m_pszModName;
    wchar_t* m_pszModVersion;
    unsigned int m_nFunctionSyntax; // a byte kept in a 32-bit slot
    unsigned int m_nDetailId;
    CTTableau<unsigned int> m_tabErrorId;
    CTTableau<_stERRORINFO> m_tabInfo;
    unsigned int m_dwSystemErrorCode;
    wchar_t* m_pszSystemErrorMessage;
    wchar_t* m_pszTraitmentCaption;
    unsigned short m_wTraitmentLine; // 65535: unknown
    unsigned short m_wTraitmentThread;
    CTTableau<CXError*>* m_ptabSubError; // created on first use
    wchar_t* m_pszObjectName;
    unsigned int m_nModuleNumber;
    unsigned int m_nUserErrorCode55;
};

// An error of this module.
class _CXErrorModule32 : public CXError {
public:
    _CXErrorModule32();
    _CXErrorModule32(const _CXErrorModule32& src);
    using CXError::operator=;
    _CXErrorModule32& operator=(const _CXErrorModule32& src)
    {
        CXError::operator=(src);
        return *this;
    }
    ~_CXErrorModule32() override;
};
