// The value holder's files: a value's bytes written to a file, and a file's
// content loaded as 8-bit text or as a binary.
#include "common/values/NAVariant.h"

#include "access/driver/NAError.h" // failures are reported on the driver's error object
#include "common/platform/DiskFile.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"
#include "common/platform/XFile.h"
#include "common/text/SysUtils.h"
#include "common/text/TQBIN.h"

#include <cstdlib>
#include <new>

namespace {

const unsigned LOAD_CHUNK = 16384;
const unsigned int USER_ERROR_FILE = 15;
const unsigned int USER_ERROR_MEMORY = 12;
// Source number of this file in the module's debug lines.
const int DEBUG_FILE = 7;

// User error 15: the path and the stream's system message, built on the
// stream's own error.
void _RecordOpenError(CXFile& clFile, const wchar_t* pszPath, CNAError* pclError)
{
    if (pclError == nullptr)
        return;
    _CXErrorModule32 clError;
    const CXError* pclStreamError = clFile.pclGetXError();
    if (pclStreamError != nullptr)
        clError = *pclStreamError;
    const wchar_t* pszSystem = pclStreamError != nullptr ? pclStreamError->pszGetSystemErrorMessage() : L"";
    clError.SetUserError(&gstMyModuleInfo32, USER_ERROR_FILE, pszPath != nullptr ? pszPath : L"",
                         pszSystem != nullptr ? pszSystem : L"");
    CNAError::g_SetInfoNames(&clError, nullptr, nullptr);
    const int nCode = static_cast<int>(USER_ERROR_FILE);
    clError.AddInfo(EIT_NATIVECODE, &nCode);
    pclError->AddError(NA_ERRORTYPE_GENERAL, &clError, nullptr);
}

}  // namespace

int CNAVariant::bStoreFile(const wchar_t* pszPath, CNAError* pclError)
{
    return gbStoreFile(&m_clValue, pszPath, pclError);
}

int CNAVariant::bLoadFile(const wchar_t* pszPath, CNAError* pclError, int bBinary)
{
    return gbLoadFile(&m_clValue, pszPath, pclError, bBinary);
}

int CNAVariant::gbStoreFile(CAny* pclValue, const wchar_t* pszPath, CNAError* pclError)
{
    if (pclValue == nullptr)
        return 0;
    CXFile clFile;
    if (!clFile.bOpen(pszPath, IXStream::ACCESS_READWRITE, IXStream::SHARE_READ, IXStream::CREATE_TRUNCATE, 0,
                      nullptr)) {
        _RecordOpenError(clFile, pszPath, pclError);
        return 0;
    }
    void* p = nullptr;
    unsigned int nSize = 0;
    const CAny_Intern* pclTreatment = pclValue->pclGetTraitement();
    if (pclTreatment->nGetDataAdr(&p) != 0 || pclTreatment->nGetDataSize(&nSize) != 0)
        return 0;
    return clFile.bWrite(p, nSize, nullptr);
}

int CNAVariant::gbLoadFile(CAny* pclValue, const wchar_t* pszPath, CNAError* pclError, int bBinary)
{
    if (pclValue == nullptr)
        return 0;
    CXFile clFile;
    if (!clFile.bOpen(pszPath, IXStream::ACCESS_READ, IXStream::SHARE_NONE, IXStream::CREATE_EXISTING, 0,
                      nullptr)) {
        _RecordOpenError(clFile, pszPath, pclError);
        return 0;
    }
    const long long llSize = clFile.oGetSize();
    if (llSize < 0)
        return 0;
    CTQBIN clData;
    // An empty file is an empty value, not a memory failure.
    if (llSize > 0 && (llSize > 0x7FFFFFF0LL || clData.nSetMemorySize(static_cast<int>(llSize)) != STRMEM_OK ||
                       clData.pGetData() == nullptr)) {
        if (pclError != nullptr && pclError->pclGetXError() != nullptr)
            pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    unsigned char* pChunk = static_cast<unsigned char*>(XMALLOC_pNew_(LOAD_CHUNK));
    if (pChunk == nullptr) {
        if (pclError != nullptr)
            pclError->AddError(NA_ERRORTYPE_GENERAL, USER_ERROR_MEMORY, DEBUG_FILE, 0, nullptr);
        return 0;
    }
    long long llLeft = llSize;
    int bOk = 1;
    while (llLeft > 0) {
        unsigned nRead = 0;
        const unsigned nAsk = llLeft < LOAD_CHUNK ? static_cast<unsigned>(llLeft) : LOAD_CHUNK;
        if (!clFile.bRead(pChunk, nAsk, &nRead)) {
            bOk = 0;
            break;
        }
        if (nRead == 0)
            break;
        if (clData.nConcat(pChunk, static_cast<int>(nRead)) != STRMEM_OK) {
            bOk = 0;
            break;
        }
        llLeft -= nRead;
    }
    XMALLOC_Del_(pChunk);
    if (!bOk)
        return 0;
    // A short read keeps the bytes actually read.
    const unsigned nRead = static_cast<unsigned>(clData.nGetSize());
    if (!bBinary) {
        pclValue->__SetType(TQTYPE_DSTRA, 0);
        pclValue->pclGetTraitement()->SetValue(clData.pGetData(), nRead);
    } else {
        pclValue->__SetType(TQTYPE_BIN, 0);
        pclValue->pclGetTraitement()->SetValue(&clData);
    }
    pclValue->SetFlags(0);
    return 1;
}
