#include "common/platform/XError.h"

#include "common/platform/DllRes.h"
#include "common/platform/FormatWin.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/SysUtils.h"
#include "common/text/TextBasics.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <netdb.h>

namespace {

const wchar_t s_szCRLF[] = L"\r\n";
// The out-of-memory text that needs no resource.
const wchar_t s_szNoMemory[] = L"<No Memory>";
const unsigned int ID_NONE = 0xFFFFFFFF;
const unsigned short LINE_UNKNOWN = 65535;

// Storage kind of each info type.
enum eKIND : unsigned char {
    K_NONE,   // cannot be stored
    K_TEXT,   // copied text
    K_INT,    // 32-bit integer
    K_LL,     // 64-bit integer
    K_OBJECT, // CZTUnknown, referenced
    K_EXCEPT, // IXErrorException, referenced
    K_RAW,    // pointer kept as given
};

// Shape of the report line: "NAME : <v>", "NAME :\r\nv", "NAME : v", "NAME".
enum eLINE : unsigned char { L_NONE, L_BRACKET, L_NEWLINE, L_PLAIN, L_NAME };

struct STInfoType {
    const wchar_t* pszName;
    eKIND eKind;
    eLINE eLine;
};

const STInfoType s_tabInfoType[] = {
    {nullptr, K_NONE, L_NONE},
    {L"EIT_SRCFILE", K_TEXT, L_BRACKET},
    {L"EIT_DSTFILE", K_TEXT, L_BRACKET},
    {L"EIT_USERNAME", K_TEXT, L_BRACKET},
    {L"EIT_HELPFILE", K_TEXT, L_BRACKET},
    {L"EIT_PATHZTD", K_TEXT, L_BRACKET},
    {L"EIT_LOGICALTABLENAME", K_TEXT, L_BRACKET},
    {L"EIT_ITEMNAME", K_TEXT, L_BRACKET},
    {L"EIT_PATHFIC", K_TEXT, L_BRACKET},
    {L"EIT_PATHNDX", K_TEXT, L_BRACKET},
    {L"EIT_PATHMMO", K_TEXT, L_BRACKET},
    {L"EIT_LINKNAME", K_TEXT, L_BRACKET},
    {L"EIT_RECNUM", K_LL, L_BRACKET},
    {L"EIT_ODBCCODE", K_TEXT, L_BRACKET},
    {L"EIT_ODBCDESCRIPTION", K_TEXT, L_BRACKET},
    {L"EIT_BASECODE", K_INT, L_BRACKET},
    {L"EIT_NATIVECODE", K_INT, L_BRACKET},
    {L"EIT_ADOCODE", K_INT, L_BRACKET},
    {L"EIT_BASEMESSAGE", K_TEXT, L_BRACKET},
    {L"EIT_NATIVEMESSAGE", K_TEXT, L_BRACKET},
    {L"EIT_ADOMESSAGE", K_TEXT, L_BRACKET},
    {L"EIT_DATAACCESS", K_OBJECT, L_BRACKET},
    {L"EIT_INFOCLIENT", K_TEXT, L_BRACKET},
    {L"EIT_INFOSERVEUR", K_TEXT, L_BRACKET},
    {L"EIT_PILETQ", K_TEXT, L_NEWLINE},
    {L"EIT_DATEHEURE", K_TEXT, L_PLAIN},
    {L"EIT_LOCKINFO", K_TEXT, L_PLAIN},
    {L"EIT_CORRIGE_ETAT", K_TEXT, L_PLAIN},
    {L"EIT_INFOCS", K_TEXT, L_BRACKET},
    {nullptr, K_RAW, L_NONE},
    {L"EIT_XINFO", K_INT, L_BRACKET},
    {L"EIT_COMPOSANT", K_TEXT, L_NEWLINE},
    {L"EIT_SERVEURCS", K_TEXT, L_BRACKET},
    {L"EIT_PILEC", K_TEXT, L_NEWLINE},
    {nullptr, K_NONE, L_NONE},
    {nullptr, K_NONE, L_NONE},
    {L"EIT_HLOCKTIME", K_LL, L_BRACKET},
    {L"EIT_HCNXID", K_INT, L_BRACKET},
    {L"EIT_EXCEPTIONDOTNET", K_EXCEPT, L_NAME},
};
const unsigned int NB_INFOTYPE = sizeof(s_tabInfoType) / sizeof(s_tabInfoType[0]);

eKIND _eKind(unsigned int nType)
{
    return nType < NB_INFOTYPE ? s_tabInfoType[nType].eKind : K_NONE;
}

bool _bVide(const wchar_t* psz)
{
    return psz == nullptr || psz[0] == 0;
}

const wchar_t* _pszOuVide(const wchar_t* psz)
{
    return psz != nullptr ? psz : L"";
}

bool _bDans(const wchar_t* p, const wchar_t* pDebut, size_t n)
{
    uintptr_t u = reinterpret_cast<uintptr_t>(p), uDebut = reinterpret_cast<uintptr_t>(pDebut);
    return pDebut != nullptr && u >= uDebut && u <= uDebut + n * sizeof(wchar_t);
}

// A C-heap copy of the text; null when out of memory.
wchar_t* _pszDuplique(const wchar_t* psz)
{
    size_t n = wcslen(psz) + 1;
    wchar_t* pCopie = static_cast<wchar_t*>(XMALLOC_pNew_(n * sizeof(wchar_t)));
    if (pCopie != nullptr)
        wmemcpy(pCopie, psz, n);
    return pCopie;
}

// The text of a printf format in a block to free; null without a format or
// when formatting fails.
wchar_t* _pszFormatList(const wchar_t* pszFormat, va_list args)
{
    if (pszFormat == nullptr)
        return nullptr;
    wchar_t* psz = nullptr;
    if (vaswprintf(&psz, pszFormat, args) < 0) {
        XMALLOC_Del_(psz);
        return nullptr;
    }
    return psz;
}

// A message of this module that could not be had: its number stands in.
void _Remplacant(CTString& clOut, unsigned int nId)
{
    wchar_t sz[48];
    swprintf(sz, sizeof(sz) / sizeof(sz[0]), L"Message <%u>", nId);
    clOut = sz;
}

// A caption of this module's report, never empty.
void _AddCaption(CTString& clOut, unsigned int nId)
{
    CTString cl;
    if (!DLLRES_bLoadString(&gstMyModuleInfo32, nId, &cl) || cl.nTaille() == 0)
        _Remplacant(cl, nId);
    clOut.Add(cl.pszGet());
}

// A formatted line of this module's report, never empty.
void _AddMessage(CTString& clOut, unsigned int nId, ...)
{
    CTString cl;
    va_list args;
    va_start(args, nId);
    bool bOk = DLLRES_bFormatMessageList(&gstMyModuleInfo32, nId, &cl, args);
    va_end(args);
    if (!bOk || cl.nTaille() == 0)
        _Remplacant(cl, nId);
    clOut.Add(cl.pszGet());
}

// Description of a C library error number, from UTF-8.
void _Strerror(int nErrno, CTString& clOut)
{
    char sz[256];
    const char* psz = strerror_r(nErrno, sz, sizeof(sz));
    clOut.SetANSIEx(psz, -1, CP_UTF8);
}

} // namespace

// ---- Construction ------------------------------------------------------------

void CXError::_Init(unsigned int nModuleNumber)
{
    m_nRefCount = 0;
    m_eErrorLevel = EL_NOERROR;
    m_nUserErrorCode = 0;
    m_pszUserMessage = nullptr;
    m_pszDebugMessage = nullptr;
    m_pszFunctionName = nullptr;
    m_pszModName = nullptr;
    m_pszModVersion = nullptr;
    m_nFunctionSyntax = 0;
    m_nDetailId = 0;
    m_dwSystemErrorCode = 0;
    m_pszSystemErrorMessage = nullptr;
    m_pszTraitmentCaption = nullptr;
    m_wTraitmentLine = 0;
    m_wTraitmentThread = 0;
    m_ptabSubError = nullptr;
    m_pszObjectName = nullptr;
    m_nModuleNumber = nModuleNumber;
    m_nUserErrorCode55 = 0;
}

static unsigned int _nModuleNumber(const _stMyModuleInfo* pModule)
{
    return pModule != nullptr ? pModule->dwModule : 0;
}

CXError::CXError(const _stMyModuleInfo* pModule) : m_tabErrorId(1), m_tabInfo(1)
{
    _Init(_nModuleNumber(pModule));
}

CXError::CXError(const _stMyModuleInfo* pModule, unsigned int nCode, ...) : m_tabErrorId(1), m_tabInfo(1)
{
    _Init(_nModuleNumber(pModule));
    va_list args;
    va_start(args, nCode);
    SetUserErrorList(pModule, nCode, args);
    va_end(args);
}

CXError::CXError(const _stMyModuleInfo* pModule, unsigned int nCode, va_list args) : m_tabErrorId(1), m_tabInfo(1)
{
    _Init(_nModuleNumber(pModule));
    SetUserErrorList(pModule, nCode, args);
}

CXError::CXError(const _stMyModuleInfo* pModule, const wchar_t* pszDebug, unsigned int nCode, ...)
    : m_tabErrorId(1), m_tabInfo(1)
{
    _Init(_nModuleNumber(pModule));
    va_list args;
    va_start(args, nCode);
    SetUserErrorList(pModule, nCode, args);
    va_end(args);
    AddDebugMessageNoFormat(pszDebug);
}

CXError::CXError(const _stMyModuleInfo* pModule, const wchar_t* pszDebug, unsigned int nCode, va_list args)
    : m_tabErrorId(1), m_tabInfo(1)
{
    _Init(_nModuleNumber(pModule));
    SetUserErrorList(pModule, nCode, args);
    AddDebugMessageNoFormat(pszDebug);
}

CXError::CXError(const CXError& src) : CZTUnknown(), m_tabErrorId(1), m_tabInfo(1)
{
    _Init(0);
    Copy(src);
}

CXError::CXError(const _stMyModuleInfo* pModule, const CXError& src) : m_tabErrorId(1), m_tabInfo(1)
{
    _Init(_nModuleNumber(pModule));
    Copy(src);
}

CXError::CXError(const _stMyModuleInfo* pModule, CXError& src, int bLight)
    : CXError(_nModuleNumber(pModule), &src, bLight)
{
}

CXError::CXError(const _stMyModuleInfo* pModule, CXError* pSrc, int bLight)
    : CXError(_nModuleNumber(pModule), pSrc, bLight)
{
}

CXError::CXError(unsigned int nModuleNumber, CXError* pSrc, int bLight) : m_tabErrorId(1), m_tabInfo(1)
{
    _Init(nModuleNumber);
    if (bLight)
        LightCopy(pSrc);
    else
        Copy(pSrc);
}

CXError& CXError::operator=(const CXError& src)
{
    if (&src != this) {
        // Through a full copy, then moved in: the source may be one of our
        // own sub-errors, and a failed copy leaves this error as it was.
        CXError clCopie(src.m_nModuleNumber, const_cast<CXError*>(&src), 0);
        LightCopy(&clCopie);
    }
    return *this;
}

CXError::~CXError()
{
    RAZ();
    m_nModuleNumber = 0;
}

// ---- String fields --------------------------------------------------------------

wchar_t* CXError::__vpszAllocString(wchar_t** ppsz, const wchar_t* psz)
{
    wchar_t* pNouveau = psz != nullptr ? _pszDuplique(psz) : nullptr;
    // Without memory the field keeps its text.
    if (psz != nullptr && pNouveau == nullptr)
        return nullptr;
    XMALLOC_Del_(*ppsz);
    *ppsz = pNouveau;
    return pNouveau;
}

wchar_t* CXError::__vpszReallocString(wchar_t** ppsz, const wchar_t* psz)
{
    if (psz == nullptr) {
        __vDeleteString(ppsz);
        return nullptr;
    }
    // A fresh block: the text may lie in the old one.
    wchar_t* pNouveau = _pszDuplique(psz);
    if (pNouveau == nullptr)
        return nullptr;
    XMALLOC_Del_(*ppsz);
    *ppsz = pNouveau;
    return pNouveau;
}

wchar_t* CXError::__vpszReallocString(wchar_t** ppsz, unsigned int n)
{
    if (n == 0) {
        __vDeleteString(ppsz);
        return nullptr;
    }
    if (n > SIZE_MAX / sizeof(wchar_t))
        return nullptr;
    bool bNouveau = *ppsz == nullptr;
    wchar_t* p = static_cast<wchar_t*>(XMALLOC_pResize_(*ppsz, static_cast<size_t>(n) * sizeof(wchar_t)));
    if (p == nullptr)
        return nullptr;
    if (bNouveau)
        p[0] = 0;
    p[n - 1] = 0;
    *ppsz = p;
    return p;
}

wchar_t* CXError::__vpszConcatString(wchar_t** ppsz, const wchar_t* psz)
{
    if (psz == nullptr)
        return *ppsz;
    if (*ppsz == nullptr)
        return __vpszAllocString(ppsz, psz);
    size_t nAncien = wcslen(*ppsz), nAjout = wcslen(psz);
    if (nAjout > SIZE_MAX / sizeof(wchar_t) - nAncien - 1)
        return nullptr;
    // The text may lie in the field itself, which realloc may move.
    bool bDedans = _bDans(psz, *ppsz, nAncien);
    size_t nDecalage = bDedans ? static_cast<size_t>(psz - *ppsz) : 0;
    wchar_t* p = static_cast<wchar_t*>(XMALLOC_pResize_(*ppsz, (nAncien + nAjout + 1) * sizeof(wchar_t)));
    if (p == nullptr)
        return nullptr;
    wmemmove(p + nAncien, bDedans ? p + nDecalage : psz, nAjout);
    p[nAncien + nAjout] = 0;
    *ppsz = p;
    return p;
}

void CXError::__vDeleteString(wchar_t** ppsz)
{
    // Every call of the SQL interface resets its error: most fields are empty.
    if (*ppsz == nullptr)
        return;
    XMALLOC_Del_(*ppsz);
    *ppsz = nullptr;
}

void CXError::_Append(wchar_t** ppsz, const wchar_t* psz)
{
    psz = _pszOuVide(psz);
    if (*ppsz == nullptr) {
        __vpszAllocString(ppsz, psz);
        return;
    }
    // One reallocation for the line end and the text, so that a failure
    // leaves the field as it was. The text may lie in the field, which the
    // reallocation may move: its offset is kept.
    size_t nAncien = wcslen(*ppsz), nAjout = wcslen(psz);
    if (nAjout > SIZE_MAX / sizeof(wchar_t) - nAncien - 3)
        return;
    bool bDedans = _bDans(psz, *ppsz, nAncien);
    size_t nDecalage = bDedans ? static_cast<size_t>(psz - *ppsz) : 0;
    wchar_t* p = static_cast<wchar_t*>(XMALLOC_pResize_(*ppsz, (nAncien + 2 + nAjout + 1) * sizeof(wchar_t)));
    if (p == nullptr)
        return;
    wmemmove(p + nAncien + 2, bDedans ? p + nDecalage : psz, nAjout);
    p[nAncien] = L'\r';
    p[nAncien + 1] = L'\n';
    p[nAncien + 2 + nAjout] = 0;
    *ppsz = p;
}

void CXError::__AddFirst(wchar_t** ppsz, const wchar_t* psz)
{
    psz = _pszOuVide(psz);
    if (*ppsz == nullptr) {
        __vpszAllocString(ppsz, psz);
        return;
    }
    size_t nAncien = wcslen(*ppsz), nTexte = wcslen(psz);
    // The text may lie in the field itself, which is about to move.
    wchar_t* pCopie = nullptr;
    if (_bDans(psz, *ppsz, nAncien)) {
        pCopie = _pszDuplique(psz);
        if (pCopie == nullptr)
            return;
        psz = pCopie;
    }
    size_t nTotal = nTexte + 2 + nAncien + 1;
    if (nTotal <= 0xFFFFFFFFu && __vpszReallocString(ppsz, static_cast<unsigned int>(nTotal)) != nullptr) {
        wchar_t* p = *ppsz;
        wmemmove(p + nTexte + 2, p, nAncien + 1);
        wmemcpy(p, psz, nTexte);
        p[nTexte] = L'\r';
        p[nTexte + 1] = L'\n';
    }
    XMALLOC_Del_(pCopie);
}

// ---- Messages ---------------------------------------------------------------------

int CXError::_nFormatMessage(const _stMyModuleInfo* pModule, unsigned int nId, va_list args, CTString& clOut)
{
    wchar_t sz[96];
    CTString clTexte;
    if (pModule == nullptr || !DLLRES_bLoadString(pModule, nId, &clTexte)) {
        swprintf(sz, sizeof(sz) / sizeof(sz[0]), L"##(CXError)-Ressource <%u> non chargée##", nId);
        clOut = sz;
        return 0;
    }
    clOut.Vide();
    if (clTexte.nTaille() > 0) {
        va_list copie;
        va_copy(copie, args);
        DLLRES_dwFormatMessage(clTexte.pszGet(), &clOut, copie);
        va_end(copie);
    }
    if (clOut.nTaille() > 0)
        return 1;
    int nErrno = errno;
    swprintf(sz, sizeof(sz) / sizeof(sz[0]), L"##(CXError)-Ressource <%u> vide. LastError = <%u>##", nId,
             static_cast<unsigned int>(nErrno));
    clOut = sz;
    return 0;
}

void CXError::SetUserError(const _stMyModuleInfo* pModule, unsigned int nCode, ...)
{
    va_list args;
    va_start(args, nCode);
    SetUserErrorList(pModule, nCode, args);
    va_end(args);
}

void CXError::SetUserErrorList(const _stMyModuleInfo* pModule, unsigned int nCode, va_list args)
{
    RAZ();
    ChangeUserErrorList(pModule, nCode, args);
}

void CXError::ChangeUserError(const _stMyModuleInfo* pModule, unsigned int nCode, ...)
{
    va_list args;
    va_start(args, nCode);
    ChangeUserErrorList(pModule, nCode, args);
    va_end(args);
}

// An unknown user code: an error all the same, the reason in the debug message.
static void _PasDeDefinition(CXError& clErreur, unsigned int nCode)
{
    clErreur.SetErrorLevel(EL_ERROR);
    wchar_t sz[128];
    swprintf(sz, sizeof(sz) / sizeof(sz[0]),
             L"##(CXError)-Pas de definition d'erreur dans gstErrorDef pour l'identifiant <%u>##", nCode);
    clErreur.AddDebugMessageNoFormat(sz);
}

static const _stErrorDef* _pstChercheDefinition(const _stMyModuleInfo* pModule, unsigned int nCode)
{
    if (pModule == nullptr || pModule->pstErrorDef == nullptr)
        return nullptr;
    for (unsigned int i = 0; i < pModule->dwNbErrorDef; i++) {
        if (pModule->pstErrorDef[i].dwUserError == nCode)
            return &pModule->pstErrorDef[i];
    }
    return nullptr;
}

void CXError::ChangeUserErrorList(const _stMyModuleInfo* pModule, unsigned int nCode, va_list args)
{
    InitModInfo(pModule, 1);
    const _stErrorDef* pDef = _pstChercheDefinition(pModule, nCode);
    if (pDef == nullptr) {
        _PasDeDefinition(*this, nCode);
        return;
    }
    m_nUserErrorCode = nCode;
    _AddMessageId(pModule, pDef->dwRessource, args, true);
    m_nDetailId = pDef->dwDetail;
    SetErrorLevel(static_cast<eERRORLEVEL>(pDef->dwLevel));
}

void CXError::SetUserErrorMessage(const _stMyModuleInfo* pModule, unsigned int nCode, const wchar_t* pszText)
{
    RAZ();
    ChangeUserErrorMessage(pModule, nCode, pszText);
}

void CXError::ChangeUserErrorMessage(const _stMyModuleInfo* pModule, unsigned int nCode, const wchar_t* pszText)
{
    InitModInfo(pModule, 1);
    const _stErrorDef* pDef = _pstChercheDefinition(pModule, nCode);
    // The caller's text is kept even for an unknown code.
    __AddFirst(&m_pszUserMessage, pszText);
    if (pDef == nullptr) {
        _PasDeDefinition(*this, nCode);
        return;
    }
    m_nUserErrorCode = nCode;
    m_nDetailId = pDef->dwDetail;
    SetErrorLevel(static_cast<eERRORLEVEL>(pDef->dwLevel));
}

void CXError::_AddMessageId(const _stMyModuleInfo* pModule, unsigned int nId, va_list args, bool bFirst)
{
    // Without memory the message is missing, or only its number is kept:
    // an error report never throws.
    try {
        if (bFirst)
            m_tabErrorId.Insere(&nId, 0);
        else
            m_tabErrorId.Ajoute(&nId);
        CTString clTexte;
        if (!_nFormatMessage(pModule, nId, args, clTexte)) {
            AddDebugMessageNoFormat(clTexte.pszGet());
            _Remplacant(clTexte, nId);
        }
        if (bFirst)
            __AddFirst(&m_pszUserMessage, clTexte.pszGet());
        else
            _Append(&m_pszUserMessage, clTexte.pszGet());
    } catch (const std::bad_alloc&) {
    }
}

void CXError::_AddUserMessageList(const _stMyModuleInfo* pModule, unsigned int nId, va_list args, bool bFirst)
{
    InitModInfo(pModule, 0);
    _AddMessageId(pModule, nId, args, bFirst);
}

void CXError::AddUserMessage(const _stMyModuleInfo* pModule, unsigned int nId, ...)
{
    va_list args;
    va_start(args, nId);
    _AddUserMessageList(pModule, nId, args, false);
    va_end(args);
}

void CXError::AddUserMessageList(const _stMyModuleInfo* pModule, unsigned int nId, va_list args)
{
    _AddUserMessageList(pModule, nId, args, false);
}

void CXError::AddUserMessageFirst(const _stMyModuleInfo* pModule, unsigned int nId, ...)
{
    va_list args;
    va_start(args, nId);
    _AddUserMessageList(pModule, nId, args, true);
    va_end(args);
}

void CXError::AddUserMessageListFirst(const _stMyModuleInfo* pModule, unsigned int nId, va_list args)
{
    _AddUserMessageList(pModule, nId, args, true);
}

void CXError::AddUserMessage(const wchar_t* pszText)
{
    _Append(&m_pszUserMessage, pszText);
}

void CXError::AddUserMessageNoFormat(const wchar_t* pszText)
{
    if (!_bVide(pszText))
        _Append(&m_pszUserMessage, pszText);
}

void CXError::AddUserMessageFirst(const wchar_t* pszText)
{
    __AddFirst(&m_pszUserMessage, pszText);
}

void CXError::RAZUserMessage()
{
    __vDeleteString(&m_pszUserMessage);
}

const wchar_t* CXError::pszGetUserMessage() const
{
    return _pszOuVide(m_pszUserMessage);
}

void CXError::SetErrorLevel(eERRORLEVEL eLevel)
{
    if (eLevel == m_eErrorLevel)
        return;
    if (eLevel == EL_NOERROR)
        RAZ();
    else
        m_eErrorLevel = eLevel;
}

unsigned int CXError::nGetRessourceIdFromUserErrorCode(const _stMyModuleInfo* pModule, unsigned int nCode)
{
    const _stErrorDef* pDef = _pstChercheDefinition(pModule, nCode);
    return pDef != nullptr ? pDef->dwRessource : 0;
}

// Runs short of memory itself: every step that allocates may fail on its
// own, and the error stays an error whatever fails.
void CXError::SetErrorNoMemory() noexcept
{
    RAZ();
    m_eErrorLevel = EL_ERROR;
    m_dwSystemErrorCode = 12;
    InitModInfo(&gstMyModuleInfo32, 0);
    try {
        unsigned int nId = ZTMSG_NO_MEMORY;
        m_tabErrorId.Insere(&nId, 0);
    } catch (...) {
    }
    bool bTexte = false;
    try {
        CTString clTexte;
        if (DLLRES_bLoadString(&gstMyModuleInfo32, ZTMSG_NO_MEMORY, &clTexte) && clTexte.nTaille() > 0)
            bTexte = __vpszAllocString(&m_pszUserMessage, clTexte.pszGet()) != nullptr;
    } catch (...) {
    }
    if (!bTexte)
        __vpszAllocString(&m_pszUserMessage, s_szNoMemory);
    // The text of the code given, whatever errno holds by now.
    try {
        CTString clTexte;
        _Strerror(12, clTexte);
        __vpszAllocString(&m_pszSystemErrorMessage, clTexte.pszGet());
    } catch (...) {
    }
}

void CXError::SetAnyError(const _stMyModuleInfo* pModule, int nStatus, int nType1, int nType2)
{
    switch (nStatus) {
    case 0:
        RAZ();
        break;
    case 1:
        SetUserError(pModule, ZTERR_ANY_RANGE, nType1, nType2);
        break;
    case 100:
        SetErrorNoMemory();
        break;
    case 101:
        SetUserError(pModule, ZTERR_ANY_101);
        break;
    case 104:
        SetUserError(pModule, ZTERR_ANY_BINARY, nType1, nType2);
        break;
    case 105:
        SetUserError(pModule, ZTERR_ANY_NOT_HANDLED);
        break;
    case 106:
        SetUserError(pModule, ZTERR_ANY_106, nType1, nType2);
        break;
    case 107:
        SetUserError(pModule, ZTERR_ANY_107);
        break;
    default: {
        // Any other failed operation still leaves an error: the module's
        // failed conversion, naming the status.
        wchar_t sz[32];
        swprintf(sz, sizeof(sz) / sizeof(sz[0]), L"status %d", nStatus);
        SetUserError(pModule, ZTERR_CONVERSION, nType1, nType2, sz);
        break;
    }
    }
}

// ---- Debug message -------------------------------------------------------------

void CXError::AddDebugMessageNoFormat(const wchar_t* pszText)
{
    if (!_bVide(pszText))
        _Append(&m_pszDebugMessage, pszText);
}

void CXError::AddDebugMessagePrintf(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    wchar_t* psz = _pszFormatList(pszFormat, args);
    va_end(args);
    if (psz != nullptr)
        AddDebugMessageNoFormat(psz);
    XMALLOC_Del_(psz);
}

void CXError::AddDebugMessage(const _stMyModuleInfo* pModule, unsigned int nId, ...)
{
    va_list args;
    va_start(args, nId);
    AddDebugMessageList(pModule, nId, args);
    va_end(args);
}

void CXError::AddDebugMessageList(const _stMyModuleInfo* pModule, unsigned int nId, va_list args)
{
    if (nId == ID_NONE)
        return;
    CTString clTexte;
    _nFormatMessage(pModule, nId, args, clTexte);
    AddDebugMessageNoFormat(clTexte.pszGet());
}

void CXError::AddDebugMessageFirst(const wchar_t* pszText)
{
    if (!_bVide(pszText))
        __AddFirst(&m_pszDebugMessage, pszText);
}

const wchar_t* CXError::pszGetDebugMessage() const
{
    return _pszOuVide(m_pszDebugMessage);
}

// ---- System error ----------------------------------------------------------------

void CXError::SetSystemError(unsigned int nCode, const wchar_t* pszText)
{
    m_dwSystemErrorCode = nCode;
    __vpszAllocString(&m_pszSystemErrorMessage, pszText);
}

void CXError::SetSystemErrorMessage(unsigned int nCode, const wchar_t* pszText)
{
    SetSystemError(nCode, pszText);
}

void CXError::SetSystemErrorMessage(const wchar_t* pszText)
{
    SetSystemError(0, pszText);
}

void CXError::_SetFieldFromUTF8(wchar_t** ppsz, const char* psz)
{
    if (psz == nullptr || psz[0] == 0) {
        __vDeleteString(ppsz);
        return;
    }
    CTString cl;
    cl.SetANSIEx(psz, -1, CP_UTF8);
    __vpszAllocString(ppsz, cl.pszGet());
}

void CXError::SetSystemErrorMessageA(const char* pszText)
{
    m_dwSystemErrorCode = 0;
    _SetFieldFromUTF8(&m_pszSystemErrorMessage, pszText);
}

void CXError::SetSystemErrorParam(unsigned int nCode, ...)
{
    va_list args;
    va_start(args, nCode);
    __SetSystemError(nCode, args);
    va_end(args);
}

void CXError::__SetSystemError(unsigned int nCode, va_list)
{
    int nErrno = errno;
    m_dwSystemErrorCode = nCode;
    if (nCode == 0) {
        __vDeleteString(&m_pszSystemErrorMessage);
        return;
    }
    // The lock-conflict codes have no text of their own.
    if (static_cast<unsigned int>(nErrno) >= 0x80000000u && static_cast<unsigned int>(nErrno) <= 0x80000002u)
        nErrno = 11;
    CTString cl;
    _Strerror(nErrno, cl);
    __vpszAllocString(&m_pszSystemErrorMessage, cl.pszGet());
}

void CXError::SetSystemErrorForGetHostBy(unsigned int nCode)
{
    m_dwSystemErrorCode = nCode;
    _SetFieldFromUTF8(&m_pszSystemErrorMessage, hstrerror(h_errno));
}

void CXError::SetSystemErrorMessagePrintf(unsigned int nCode, const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    wchar_t* psz = _pszFormatList(pszFormat, args);
    va_end(args);
    SetSystemError(nCode, psz);
    XMALLOC_Del_(psz);
}

void CXError::SetSystemErrorMessagePrintf(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    wchar_t* psz = _pszFormatList(pszFormat, args);
    va_end(args);
    SetSystemError(0, psz);
    XMALLOC_Del_(psz);
}

void CXError::SetSystemErrorMessage(const _stMyModuleInfo* pModule, unsigned int nId, ...)
{
    CTString clTexte;
    va_list args;
    va_start(args, nId);
    _nFormatMessage(pModule, nId, args, clTexte);
    va_end(args);
    SetSystemError(0, clTexte.pszGet());
}

const wchar_t* CXError::pszGetSystemErrorMessage() const
{
    return _pszOuVide(m_pszSystemErrorMessage);
}

// ---- Context and identity --------------------------------------------------------

void CXError::SetVMContext(const wchar_t* pszCaption, const wchar_t* pszObjectName, unsigned short wLine,
                           unsigned short wThread)
{
    __vpszAllocString(&m_pszTraitmentCaption, pszCaption);
    __vpszAllocString(&m_pszObjectName, pszObjectName);
    m_wTraitmentLine = wLine;
    m_wTraitmentThread = wThread;
}

void CXError::SetVMContext(const wchar_t* pszCaption, unsigned short wLine, unsigned short wThread)
{
    __vpszAllocString(&m_pszTraitmentCaption, pszCaption);
    m_wTraitmentLine = wLine;
    m_wTraitmentThread = wThread;
}

void CXError::SetVMContext(const wchar_t* pszObjectName)
{
    __vpszAllocString(&m_pszObjectName, pszObjectName);
}

const wchar_t* CXError::pszGetTraitmentCaption() const
{
    return _pszOuVide(m_pszTraitmentCaption);
}

const wchar_t* CXError::pszGetObjectName() const
{
    return _pszOuVide(m_pszObjectName);
}

void CXError::SetFunctionName(const wchar_t* pszName, unsigned char nSyntax)
{
    __vpszAllocString(&m_pszFunctionName, pszName);
    m_nFunctionSyntax = nSyntax;
}

const wchar_t* CXError::pszGetFunctionName() const
{
    return _pszOuVide(m_pszFunctionName);
}

void CXError::InitModInfo(const _stMyModuleInfo* pModule, int bForce)
{
    if (pModule == nullptr)
        return;
    if (!bForce && m_pszModName != nullptr)
        return;
    __vpszAllocString(&m_pszModName, pModule->pszModuleName);
    __vpszAllocString(&m_pszModVersion, pModule->pszModuleVersion);
}

void CXError::InitModName(const wchar_t* pszName)
{
    __vpszAllocString(&m_pszModName, pszName);
}

void CXError::InitModVersion(const wchar_t* pszVersion)
{
    __vpszAllocString(&m_pszModVersion, pszVersion);
}

const wchar_t* CXError::pszGetModName() const
{
    return _pszOuVide(m_pszModName);
}

const wchar_t* CXError::pszGetModVersion() const
{
    return _pszOuVide(m_pszModVersion);
}

// ---- Infos ------------------------------------------------------------------------

int CXError::_nFindInfo(unsigned int nType) const
{
    for (int i = 0; i < m_tabInfo.nGetNbElement(); i++) {
        if (m_tabInfo[i].nType == nType)
            return i;
    }
    return -1;
}

void CXError::_FreeInfo(_stERRORINFO& stInfo)
{
    switch (_eKind(stInfo.nType)) {
    case K_TEXT:
        XMALLOC_Del_(stInfo.u.psz);
        break;
    case K_OBJECT:
        if (stInfo.u.p != nullptr)
            static_cast<CZTUnknown*>(stInfo.u.p)->dwRelease();
        break;
    case K_EXCEPT:
        if (stInfo.u.p != nullptr)
            static_cast<IXErrorException*>(stInfo.u.p)->Release();
        break;
    default:
        break;
    }
    stInfo.u.ll = 0;
}

void CXError::_RemoveAllInfo()
{
    for (int i = m_tabInfo.nGetNbElement() - 1; i >= 0; i--) {
        _stERRORINFO stInfo = m_tabInfo[i];
        m_tabInfo.Supprime(i, 1);
        _FreeInfo(stInfo);
    }
}

void CXError::AddInfo(eERRORINFOTYPE eType, const void* pValue)
{
    unsigned int nType = static_cast<unsigned int>(eType);
    eKIND eKind = _eKind(nType);
    if (pValue == nullptr || eKind == K_NONE)
        return;
    int i = _nFindInfo(nType);
    if (i < 0) {
        // Room first: nothing to undo afterwards. Without memory the info
        // is not kept: an error report never throws.
        try {
            m_tabInfo.AgranditMemoire(1);
        } catch (const std::bad_alloc&) {
            return;
        }
    } else if (eKind == K_OBJECT && m_tabInfo[i].u.p == pValue)
        return;

    _stERRORINFO stNouveau;
    stNouveau.nType = nType;
    stNouveau.u.ll = 0;
    switch (eKind) {
    case K_TEXT:
        stNouveau.u.psz = _pszDuplique(static_cast<const wchar_t*>(pValue));
        if (stNouveau.u.psz == nullptr)
            return;
        break;
    case K_INT:
        stNouveau.u.n = *static_cast<const int*>(pValue);
        break;
    case K_LL:
        memcpy(&stNouveau.u.ll, pValue, sizeof(long long));
        break;
    case K_OBJECT:
        stNouveau.u.p = const_cast<void*>(pValue);
        static_cast<CZTUnknown*>(stNouveau.u.p)->m_nRefCount++;
        break;
    case K_EXCEPT:
        stNouveau.u.p = const_cast<void*>(pValue);
        static_cast<IXErrorException*>(stNouveau.u.p)->AddRef();
        break;
    default:
        stNouveau.u.p = const_cast<void*>(pValue);
        break;
    }
    if (i < 0) {
        m_tabInfo.Ajoute(&stNouveau);
    } else {
        // The old value goes after the new one is taken: it may be the same.
        _stERRORINFO stAncien = m_tabInfo[i];
        m_tabInfo[i] = stNouveau;
        _FreeInfo(stAncien);
    }
}

void CXError::DeleteInfo(eERRORINFOTYPE eType)
{
    int i = _nFindInfo(static_cast<unsigned int>(eType));
    if (i < 0)
        return;
    _stERRORINFO stInfo = m_tabInfo[i];
    m_tabInfo.Supprime(i, 1);
    _FreeInfo(stInfo);
}

bool CXError::bHasInfo(eERRORINFOTYPE eType) const
{
    return _nFindInfo(static_cast<unsigned int>(eType)) >= 0;
}

static void _GetValue(const _stERRORINFO& stInfo, const void** ppValue)
{
    if (ppValue == nullptr)
        return;
    switch (_eKind(stInfo.nType)) {
    case K_LL:
        memcpy(ppValue, &stInfo.u.ll, sizeof(long long));
        break;
    case K_INT:
        *ppValue = nullptr;
        memcpy(ppValue, &stInfo.u.n, sizeof(int));
        break;
    default:
        *ppValue = stInfo.u.p;
        break;
    }
}

bool CXError::bGetInfo(eERRORINFOTYPE eType, const void** ppValue) const
{
    int i = _nFindInfo(static_cast<unsigned int>(eType));
    if (i < 0)
        return false;
    _GetValue(m_tabInfo[i], ppValue);
    return true;
}

void CXError::GetInfo(int nIndex, eERRORINFOTYPE* peType, const void** ppValue) const
{
    if (nIndex < 0 || nIndex >= m_tabInfo.nGetNbElement() || _eKind(m_tabInfo[nIndex].nType) == K_NONE) {
        if (peType != nullptr)
            *peType = static_cast<eERRORINFOTYPE>(0);
        if (ppValue != nullptr)
            *ppValue = nullptr;
        return;
    }
    if (peType != nullptr)
        *peType = static_cast<eERRORINFOTYPE>(m_tabInfo[nIndex].nType);
    _GetValue(m_tabInfo[nIndex], ppValue);
}

void CXError::DumpInfo(eERRORINFOTYPE eType, const void* pValue, CTString* pclOut)
{
    unsigned int nType = static_cast<unsigned int>(eType);
    if (pclOut == nullptr || nType >= NB_INFOTYPE || s_tabInfoType[nType].eLine == L_NONE)
        return;
    const STInfoType& st = s_tabInfoType[nType];
    wchar_t sz[64];
    const wchar_t* pszValeur = sz;
    switch (st.eKind) {
    case K_TEXT:
        pszValeur = _pszOuVide(static_cast<const wchar_t*>(pValue));
        break;
    case K_INT:
        swprintf(sz, sizeof(sz) / sizeof(sz[0]), L"%d", pValue != nullptr ? *static_cast<const int*>(pValue) : 0);
        break;
    case K_LL: {
        long long ll = 0;
        if (pValue != nullptr)
            memcpy(&ll, pValue, sizeof(ll));
        swprintf(sz, sizeof(sz) / sizeof(sz[0]), L"%lld", ll);
        break;
    }
    default:
        swprintf(sz, sizeof(sz) / sizeof(sz[0]), L"%p", pValue);
        break;
    }
    pclOut->Add(st.pszName);
    switch (st.eLine) {
    case L_BRACKET:
        pclOut->Add(L" : <");
        pclOut->Add(pszValeur);
        pclOut->Add(L">");
        break;
    case L_NEWLINE:
        pclOut->Add(L" :\r\n");
        pclOut->Add(pszValeur);
        break;
    case L_PLAIN:
        pclOut->Add(L" : ");
        pclOut->Add(pszValeur);
        break;
    default:
        break;
    }
}

bool CXError::__bGetXInfo(int nMask) const
{
    int i = _nFindInfo(EIT_XINFO);
    return i >= 0 && (m_tabInfo[i].u.n & nMask) != 0;
}

void CXError::__SetXInfo(int nMask, bool bSet)
{
    int i = _nFindInfo(EIT_XINFO);
    int n = i >= 0 ? m_tabInfo[i].u.n : 0;
    n = bSet ? (n | nMask) : (n & ~nMask);
    AddInfo(EIT_XINFO, &n);
}

// ---- Sub-errors -------------------------------------------------------------------

void CXError::__AddSubError(CXError* pSrc, int bLight, int bNoUserMessage)
{
    // An error cannot be moved into itself.
    if (pSrc == nullptr || (bLight && pSrc == this))
        return;
    // Without memory the sub-error is not filed and a moved source keeps
    // its content: an error report never throws.
    if (m_ptabSubError == nullptr) {
        m_ptabSubError = new (std::nothrow) CTTableau<CXError*>(10);
        if (m_ptabSubError == nullptr)
            return;
    }
    // Room first, so that a moved source is never lost.
    try {
        m_ptabSubError->AgranditMemoire(1);
    } catch (const std::bad_alloc&) {
        return;
    }
    CXError* pcl = new (std::nothrow) CXError(m_nModuleNumber, pSrc, bLight);
    if (pcl == nullptr)
        return;
    m_ptabSubError->Ajoute(&pcl);
    if (!bNoUserMessage && m_ptabSubError->nGetNbElement() == 1)
        AddUserMessageNoFormat(pcl->m_pszUserMessage);
}

void CXError::__DeleteAllSubError()
{
    CTTableau<CXError*>* ptab = m_ptabSubError;
    if (ptab == nullptr)
        return;
    m_ptabSubError = nullptr;
    for (int i = 0; i < ptab->nGetNbElement(); i++)
        delete (*ptab)[i];
    delete ptab;
}

int CXError::nGetNbSubError() const
{
    return m_ptabSubError != nullptr ? m_ptabSubError->nGetNbElement() : 0;
}

CXError* CXError::pclGetSubError(int i) const
{
    if (i < 0 || i >= nGetNbSubError())
        return nullptr;
    return (*m_ptabSubError)[i];
}

// ---- Whole object -----------------------------------------------------------------

wchar_t* CXError::* const CXError::ms_tabTextes[CXError::NB_TEXTES] = {
    &CXError::m_pszUserMessage, &CXError::m_pszDebugMessage,        &CXError::m_pszFunctionName,
    &CXError::m_pszModName,     &CXError::m_pszModVersion,          &CXError::m_pszSystemErrorMessage,
    &CXError::m_pszTraitmentCaption, &CXError::m_pszObjectName,
};

void CXError::_CopieNombres(const CXError& src)
{
    m_eErrorLevel = src.m_eErrorLevel;
    m_nUserErrorCode = src.m_nUserErrorCode;
    m_nUserErrorCode55 = src.m_nUserErrorCode55;
    m_nDetailId = src.m_nDetailId;
    m_nFunctionSyntax = src.m_nFunctionSyntax;
    m_wTraitmentLine = src.m_wTraitmentLine;
    m_wTraitmentThread = src.m_wTraitmentThread;
    m_dwSystemErrorCode = src.m_dwSystemErrorCode;
}

void CXError::_RazNombres()
{
    m_eErrorLevel = EL_NOERROR;
    m_nUserErrorCode = 0;
    m_nUserErrorCode55 = 0;
    m_nDetailId = 0;
    m_nFunctionSyntax = 0;
    m_dwSystemErrorCode = 0;
    m_wTraitmentLine = 0;
    m_wTraitmentThread = 0;
}

void CXError::RAZ()
{
    // Every call of the SQL interface resets its error, which is mostly
    // clear already.
    static_assert(NB_TEXTES == 8, "the test below names every text");
    if (m_pszUserMessage == nullptr && m_pszDebugMessage == nullptr && m_pszFunctionName == nullptr &&
        m_pszModName == nullptr && m_pszModVersion == nullptr && m_pszSystemErrorMessage == nullptr &&
        m_pszTraitmentCaption == nullptr && m_pszObjectName == nullptr && m_tabErrorId.nGetNbElement() == 0 &&
        m_tabInfo.nGetNbElement() == 0 && m_ptabSubError == nullptr) {
        _RazNombres();
        return;
    }
    for (wchar_t* CXError::*pmTexte : ms_tabTextes)
        __vDeleteString(&(this->*pmTexte));
    if (m_tabErrorId.nGetNbElement() > 0)
        m_tabErrorId.Supprime(0, m_tabErrorId.nGetNbElement());
    _RemoveAllInfo();
    __DeleteAllSubError();
    _RazNombres();
}

void CXError::vCopy(const CXError* pSrc)
{
    if (pSrc == nullptr || pSrc == this)
        return;
    _CopieNombres(*pSrc);
    for (wchar_t* CXError::*pmTexte : ms_tabTextes)
        __vpszAllocString(&(this->*pmTexte), pSrc->*pmTexte);
    // Without memory the copy goes without the message numbers.
    try {
        m_tabErrorId._Duplique(pSrc->m_tabErrorId);
    } catch (const std::bad_alloc&) {
        m_tabErrorId.Supprime(0, m_tabErrorId.nGetNbElement());
    }
    _RemoveAllInfo();
    for (int i = 0; i < pSrc->m_tabInfo.nGetNbElement(); i++) {
        const _stERRORINFO& st = pSrc->m_tabInfo[i];
        if (st.nType == EIT_DATAACCESS && pSrc->m_nModuleNumber != m_nModuleNumber)
            continue;
        switch (_eKind(st.nType)) {
        case K_INT:
            AddInfo(static_cast<eERRORINFOTYPE>(st.nType), &st.u.n);
            break;
        case K_LL:
            AddInfo(static_cast<eERRORINFOTYPE>(st.nType), &st.u.ll);
            break;
        default:
            AddInfo(static_cast<eERRORINFOTYPE>(st.nType), st.u.p);
            break;
        }
    }
    // The count is read each turn: the source may be an ancestor of ours.
    for (int i = 0; i < pSrc->nGetNbSubError(); i++)
        __AddSubError(pSrc->pclGetSubError(i), 0, 1);
}

void CXError::LightCopy(CXError* pSrc)
{
    if (pSrc == nullptr || pSrc == this)
        return;
    _CopieNombres(*pSrc);
    for (wchar_t* CXError::*pmTexte : ms_tabTextes) {
        __vDeleteString(&(this->*pmTexte));
        this->*pmTexte = pSrc->*pmTexte;
        pSrc->*pmTexte = nullptr;
    }
    m_tabErrorId._RecupereDonnees(&pSrc->m_tabErrorId);
    _RemoveAllInfo();
    m_tabInfo._RecupereDonnees(&pSrc->m_tabInfo);
    if (pSrc->m_nModuleNumber != m_nModuleNumber)
        DeleteInfo(EIT_DATAACCESS);
    // The source may be one of our own sub-errors: take its array before
    // ours (and the source with it) goes.
    CTTableau<CXError*>* ptab = pSrc->m_ptabSubError;
    pSrc->m_ptabSubError = nullptr;
    __DeleteAllSubError();
    m_ptabSubError = ptab;
    pSrc->_RazNombres();
}

// ---- Report -----------------------------------------------------------------------

CTString CXError::StringDump(eXERROR_INFO eMask) const
{
    CTString cl;
    StringDump(cl, eMask);
    return cl;
}

// Sections are gathered in groups whose lines stand together; an empty line
// separates a group from the previous one that wrote something.
void CXError::StringDump(CTString& clOut, eXERROR_INFO eMask) const
{
    const unsigned int nMask = eMask;
    const bool bTout = (nMask & XEI_SKIPEMPTY) == 0;
    bool bSeparateur = false;
    bool bEcrit = false;
    auto Debut = [&]() {
        if (bSeparateur)
            clOut.Add(s_szCRLF);
        bSeparateur = false;
        bEcrit = true;
    };
    auto FinGroupe = [&]() {
        if (bEcrit)
            bSeparateur = true;
        bEcrit = false;
    };
    // One line of the group, a caption or a formatted message.
    auto Caption = [&](unsigned int nId) {
        Debut();
        _AddCaption(clOut, nId);
        clOut.Add(s_szCRLF);
    };
    auto Message = [&](unsigned int nId, auto... args) {
        Debut();
        _AddMessage(clOut, nId, args...);
        clOut.Add(s_szCRLF);
    };

    // Host context and function.
    if ((nMask & XEI_CONTEXT) && (!_bVide(m_pszFunctionName) || !_bVide(m_pszTraitmentCaption))) {
        Caption(ZTMSG_REPORT_CONTEXT);
        if (!_bVide(m_pszTraitmentCaption)) {
            CTString clObjet;
            if (!_bVide(m_pszObjectName)) {
                clObjet.Set(L" (");
                clObjet.Add(m_pszObjectName);
                clObjet.Add(L")");
            }
            if (m_wTraitmentLine == LINE_UNKNOWN)
                Message(ZTMSG_REPORT_PROCESSING_NO_LINE, m_pszTraitmentCaption, clObjet.pszGet(),
                        static_cast<unsigned int>(m_wTraitmentThread));
            else
                Message(ZTMSG_REPORT_PROCESSING, m_pszTraitmentCaption, clObjet.pszGet(),
                        static_cast<unsigned int>(m_wTraitmentLine), static_cast<unsigned int>(m_wTraitmentThread));
        }
        if (!_bVide(m_pszFunctionName))
            Message(ZTMSG_REPORT_FUNCTION, m_pszFunctionName, static_cast<unsigned int>(m_nFunctionSyntax & 0xFF));
    }
    FinGroupe();

    // User message.
    if (nMask & XEI_USERMESSAGE) {
        if (!_bVide(m_pszUserMessage)) {
            Debut();
            if ((nMask & XEI_NOUSERCAPTION) == 0)
                Caption(ZTMSG_REPORT_USER_MESSAGE);
            clOut.Add(m_pszUserMessage);
            clOut.Add(s_szCRLF);
        } else if (bTout) {
            Caption(ZTMSG_REPORT_NO_USER_MESSAGE);
        }
    }
    FinGroupe();

    // User code and level, on adjacent lines.
    if (nMask & XEI_USERCODE)
        Message(ZTMSG_REPORT_USER_CODE, m_nUserErrorCode);
    if (nMask & XEI_LEVEL) {
        switch (static_cast<unsigned int>(m_eErrorLevel)) {
        case 1:
            Caption(ZTMSG_REPORT_LEVEL_NONE);
            break;
        case 2:
            Caption(ZTMSG_REPORT_LEVEL_WARNING);
            break;
        case 3:
        case 0x40000004:
        case 0x40000008:
            Caption(ZTMSG_REPORT_LEVEL_ERROR);
            break;
        case 0x10001:
        case 0x10002:
        case 0x10003:
        case 0x10004:
        case 0x20001:
            Caption(ZTMSG_REPORT_LEVEL_INTERNAL);
            break;
        default:
            Message(ZTMSG_REPORT_LEVEL, static_cast<int>(m_eErrorLevel));
            break;
        }
    }
    FinGroupe();

    // Second user code.
    if ((nMask & XEI_USERCODE55) && (m_nUserErrorCode55 != 0 || bTout))
        Message(ZTMSG_REPORT_USER_CODE2, m_nUserErrorCode55);
    FinGroupe();

    // System code and message.
    if (nMask & XEI_SYSTEMCODE) {
        if (m_dwSystemErrorCode != 0)
            Message(ZTMSG_REPORT_SYSTEM_CODE, m_dwSystemErrorCode);
        else if (bTout)
            Caption(ZTMSG_REPORT_NO_SYSTEM_CODE);
    }
    if (nMask & XEI_SYSTEMMESSAGE) {
        if (!_bVide(m_pszSystemErrorMessage)) {
            Caption(ZTMSG_REPORT_SYSTEM_MESSAGE);
            clOut.Add(m_pszSystemErrorMessage);
        } else if (bTout) {
            Caption(ZTMSG_REPORT_NO_SYSTEM_MESSAGE);
        }
    }
    FinGroupe();

    // Module, detail, debug message and infos.
    if (nMask & XEI_MODULE) {
        if (!_bVide(m_pszModName))
            Message(ZTMSG_REPORT_MODULE, m_pszModName, pszGetModVersion());
        else if (bTout)
            Caption(ZTMSG_REPORT_NO_MODULE);
    }
    if (nMask & XEI_DETAILID) {
        if (m_nDetailId != 0)
            Message(ZTMSG_REPORT_DETAIL, m_nDetailId);
        else if (bTout)
            Caption(ZTMSG_REPORT_NO_DETAIL);
    }
    if (nMask & XEI_DEBUGMESSAGE) {
        if (!_bVide(m_pszDebugMessage)) {
            Caption(ZTMSG_REPORT_DEBUG);
            clOut.Add(m_pszDebugMessage);
            clOut.Add(s_szCRLF);
        } else if (bTout) {
            Caption(ZTMSG_REPORT_NO_DEBUG);
        }
    }
    if (nMask & XEI_INFOS) {
        if (m_tabInfo.nGetNbElement() > 0) {
            Debut();
            _AddCaption(clOut, ZTMSG_REPORT_INFOS);
            for (int i = 0; i < m_tabInfo.nGetNbElement(); i++) {
                const _stERRORINFO& st = m_tabInfo[i];
                eKIND eKind = _eKind(st.nType);
                if (st.nType >= NB_INFOTYPE || s_tabInfoType[st.nType].eLine == L_NONE || (eKind == K_TEXT && _bVide(st.u.psz)))
                    continue;
                const void* pValeur = st.u.p;
                if (eKind == K_INT)
                    pValeur = &st.u.n;
                else if (eKind == K_LL)
                    pValeur = &st.u.ll;
                clOut.Add(s_szCRLF);
                DumpInfo(static_cast<eERRORINFOTYPE>(st.nType), pValeur, &clOut);
            }
        } else if (bTout) {
            Caption(ZTMSG_REPORT_NO_INFOS);
        }
    }
    FinGroupe();

    // Sub-errors, each with its own report.
    if ((nMask & XEI_SUBERRORS) && nGetNbSubError() > 0) {
        Debut();
        for (int i = 0; i < nGetNbSubError(); i++) {
            clOut.Add(L"\r\n----- ");
            _AddMessage(clOut, ZTMSG_REPORT_SUB_ERROR, i + 1);
            clOut.Add(L" -----\r\n\r\n");
            (*m_ptabSubError)[i]->StringDump(clOut, eMask);
            clOut.Add(s_szCRLF);
        }
    }
}

// ---- This module's error ------------------------------------------------------------

_CXErrorModule32::_CXErrorModule32() : CXError(&gstMyModuleInfo32) {}

_CXErrorModule32::_CXErrorModule32(const _CXErrorModule32& src) : CXError(&gstMyModuleInfo32, src) {}

_CXErrorModule32::~_CXErrorModule32() {}
