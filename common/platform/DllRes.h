// Loading and formatting the module's numbered messages. A message is asked
// of the host runtime's message loader first when the runtime has handed
// one over, and otherwise read from the module's own resource block through
// the module record's lookup. Texts are Windows-rule printf formats; a text
// may hold several forms (singular, plural ...) separated by "\n§\n".
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cwchar>

class CTString;
struct _stMyModuleInfo;

typedef void* HINSTANCE;

// The host's message loader: the length of the text written into buffer,
// the length needed when it does not fit, 0 when the id is unknown.
typedef int (*PFN_LOADSTRINGZTM)(unsigned nId, wchar_t* pszBuffer, int nCapacite);
extern PFN_LOADSTRINGZTM gpfnLoadStringZTM;

// Block of the runtime's component command 3 (load a message).
struct STCommandeChargeChaine {
    uint32_t nTaille;       // 20
    uint32_t nId;
    wchar_t* pszBuffer;
    int32_t nCapacite;      // characters
    int32_t nResultat;      // written back
};
typedef int (*PFN_COMMANDECOMPOSANTE)(int nCommande, void* pArgument);

enum : unsigned {
    DLLRES_FORMAT_FLAGS = 0x500,   // allocate the result; the source is a text
};

// Separator of the forms of a text.
inline constexpr const wchar_t* DLLRES_SEPARATEUR_FORMES = L"\n\u00A7\n";

bool DLLRES_bInit(HINSTANCE hModule, int nOption);
void DLLRES_Term();
bool DLLRES_bUtiliseDLLRes();
HINSTANCE ghGetRessourceHandle();
void DLLRES_SetFichierZTM(const wchar_t* pszFichier);

extern "C" __attribute__((visibility("default"))) void* DLLRES_pLoadResourceModule(
    const _stMyModuleInfo* pModule, unsigned nId, const wchar_t* pszNom, unsigned* pnTaille);
// DLLRES_pLoadResourceModule of another loaded library; null when it has none.
void* DLLRES_pLoadResource(const _stMyModuleInfo* pModule, HINSTANCE hLibrairie, unsigned nId,
                           const wchar_t* pszNom, unsigned* pnTaille);
// Calls pfn(3, empty block); false for a null function.
bool DLLRES_bForceInitRessource(PFN_COMMANDECOMPOSANTE pfn);

// The host loader; 0 when none is set.
int ZTM_nLoadString(unsigned nId, wchar_t* pszBuffer, int nCapacite);
bool ZTM_bLoadString(unsigned nId, CTString* pclTexte);

// Into buffer (cch characters, always terminated): the length in
// characters, cch - 1 when the text was cut, 0 when missing or unreadable.
int DLLRES_nLoadString(const _stMyModuleInfo* pModule, unsigned nId, wchar_t* pszBuffer, int cch);
// False when the text is missing or cannot be unpacked.
bool DLLRES_bLoadString(const _stMyModuleInfo* pModule, unsigned nId, CTString* pclTexte);

// Formats text with the printf-style FormatMessageW into a malloc'ed block
// (*ppszOut; free it with free) or into a string; the length.
unsigned DLLRES_dwFormatMessage(const wchar_t* pszTexte, wchar_t** ppszOut, va_list args);
unsigned DLLRES_dwFormatMessage(const wchar_t* pszTexte, CTString* pclOut, va_list args);

// Load message nId and format it: true when it exists and formats to a
// text that is not empty.
bool DLLRES_bFormatMessageList(const _stMyModuleInfo* pModule, unsigned nId, CTString* pclOut,
                               va_list args);
bool DLLRES_bFormatMessage(const _stMyModuleInfo* pModule, unsigned nId, CTString* pclOut, ...);
// The same into a malloc'ed block: the length, 0 when missing.
int DLLRES_nFormatMessageList(const _stMyModuleInfo* pModule, unsigned nId, wchar_t** ppszOut,
                              va_list args);
int DLLRES_nFormatMessage(const _stMyModuleInfo* pModule, unsigned nId, wchar_t** ppszOut, ...);
// Form n (from 0) of message nId, formatted; false when the form is missing.
bool DLLRES_bFormatMessageSingulierPlurielList(const _stMyModuleInfo* pModule, int n, unsigned nId,
                                               CTString* pclOut, va_list args);
bool DLLRES_bFormatMessageSingulierPluriel(const _stMyModuleInfo* pModule, int n, unsigned nId,
                                           CTString* pclOut, ...);

// Usage bits of the record, -1 when the id does not exist (the host loader
// is not asked).
int DLLRES_nGetUtilisation(const _stMyModuleInfo* pModule, unsigned nId);
