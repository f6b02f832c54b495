// Text on a disk file: the separator-driven wide line reader and the whole
// text file loaded with its encoding told by its byte-order mark.
#include "common/platform/DiskFile.h"

#include "common/text/CodePage.h"
#include "common/text/STR.h"
#include "common/text/SysUtils.h"
#include "common/text/TextBasics.h"
#include "common/text/SimpleBuffer.h"
#include "common/text/Tstring.h"
#include "common/text/UnicodeCodec.h"
#include "common/text/XYString.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

// Characters of one refill of the read-ahead block.
const unsigned LINE_BLOCK = 65536 / sizeof(wchar_t);

}  // namespace

wchar_t* CDiskFile::pszReadLine(wchar_t* pszBuffer, unsigned nSize, CTString* pclOverflow,
                                const wchar_t* pszSeparator)
{
    if (pszBuffer == nullptr || nSize == 0)
        return nullptr;
    pszBuffer[0] = 0;
    if (pszSeparator != nullptr && pszSeparator[0] == 0)
        pszSeparator = nullptr;
    const size_t nSepLen = pszSeparator != nullptr ? std::wcslen(pszSeparator) : 0;
    if (nSepLen >= LINE_BLOCK / 2)
        return nullptr;
    // Refills the block behind the nCarry characters already at its front;
    // answers the characters read, -1 on failure.
    auto refill = [this](size_t nCarry) -> long {
        unsigned nBytes = 0;
        if (!bRead(m_pLineBuffer + nCarry, static_cast<unsigned>((LINE_BLOCK - nCarry) * sizeof(wchar_t)), &nBytes))
            return -1;
        size_t nChars = nBytes / sizeof(wchar_t);
        m_pLineBuffer[nCarry + nChars] = 0;
        m_pLineCursor = m_pLineBuffer;
        return static_cast<long>(nChars);
    };
    if (m_pLineBuffer == nullptr) {
        m_pLineBuffer = static_cast<wchar_t*>(XMALLOC_pNew_((LINE_BLOCK + 1) * sizeof(wchar_t)));
        if (m_pLineBuffer == nullptr)
            return nullptr;
        if (refill(0) <= 0) {
            m_pLineBuffer[0] = 0;
            m_pLineCursor = m_pLineBuffer;
            return nullptr;
        }
    } else if (m_pLineBuffer[0] == 0) {
        long long llSize = oGetSize();
        if (llSize < 0 || oGetOffset() >= llSize)
            return nullptr;
        if (refill(0) < 0)
            return nullptr;
    }

    bool bOverflow = false;
    bool bEOF = false;
    for (;;) {
        wchar_t* pRest = m_pLineCursor;
        wchar_t* pEnd = nullptr;
        size_t nEndLen = 0;
        if (pszSeparator != nullptr) {
            pEnd = std::wcsstr(pRest, pszSeparator);
            nEndLen = nSepLen;
        } else {
            wchar_t* pCR = std::wcschr(pRest, L'\r');
            wchar_t* pLF = std::wcschr(pRest, L'\n');
            // The earliest end of line.
            if (pCR != nullptr && (pLF == nullptr || pCR < pLF)) {
                pEnd = pCR;
                nEndLen = pCR[1] == L'\n' ? 2 : 1;
            } else if (pLF != nullptr) {
                pEnd = pLF;
                nEndLen = 1;
            }
            // A CR last in the block may be the first half of a CR LF.
            if (!bEOF && pEnd != nullptr && pEnd[0] == L'\r' && pEnd[1] == 0)
                pEnd = nullptr;
        }
        const size_t nAll = std::wcslen(pRest);
        size_t nPiece = pEnd != nullptr ? static_cast<size_t>(pEnd - pRest) : nAll;
        // An end split between two reads: its first part waits for the
        // next block.
        size_t nKeep = 0;
        if (pEnd == nullptr && !bEOF) {
            if (pszSeparator != nullptr)
                nKeep = nAll < nSepLen - 1 ? nAll : nSepLen - 1;
            else
                nKeep = nAll > 0 && pRest[nAll - 1] == L'\r' ? 1 : 0;
            nPiece -= nKeep;
        }
        if (!bOverflow && std::wcslen(pszBuffer) + nPiece < nSize) {
            STR_nCat(pszBuffer, nSize, pRest, static_cast<int>(nPiece));
        } else {
            if (pclOverflow == nullptr)
                return nullptr;
            if (!bOverflow) {
                pclOverflow->Set(pszBuffer);
                bOverflow = true;
            }
            pclOverflow->Add(pRest, static_cast<int>(nPiece));
        }
        wchar_t* pszResult = bOverflow ? const_cast<wchar_t*>(pclOverflow->pszGet()) : pszBuffer;
        if (pszResult == nullptr)
            pszResult = pszBuffer;
        if (pEnd != nullptr) {
            m_pLineCursor = pEnd + nEndLen;
            return pszResult;
        }
        if (bEOF) {
            m_pLineBuffer[0] = 0;
            m_pLineCursor = m_pLineBuffer;
            return pszResult;
        }
        std::wmemmove(m_pLineBuffer, pRest + nPiece, nKeep);
        long nRead = refill(nKeep);
        if (nRead < 0)
            return nullptr;
        if (nRead == 0) {
            bEOF = true;
            if (nKeep == 0) {
                m_pLineBuffer[0] = 0;
                m_pLineCursor = m_pLineBuffer;
                return pszResult;
            }
        }
    }
}

int CDiskFile::bChargeTexteBOM(CXYString<wchar_t>& clOut, const wchar_t* pszPath, unsigned nCodePage,
                               etxType* peType)
{
    clOut = CXYString<wchar_t>();
    if (peType != nullptr)
        *peType = TXT_CODEPAGE;
    CDiskFile clFile;
    if (!clFile.bOpen(pszPath, ACCESS_READ, SHARE_NONE, CREATE_EXISTING, 0, nullptr))
        return 0;
    long long llSize = clFile.oGetSize();
    if (llSize < 0 || llSize > 0x7FFFFFF0LL)
        return 0;
    if (llSize == 0)
        return 1;
    CSimpleBuffer clBuffer(static_cast<unsigned>(llSize));
    if (clBuffer.pGetData() == nullptr || !clFile.bRead(clBuffer.pGetData(), static_cast<unsigned>(llSize), nullptr))
        return 0;
    return bChargeTexteBOMFromBuffer(clOut, clBuffer.pGetData(), static_cast<unsigned>(llSize), nCodePage, peType);
}

int CDiskFile::bChargeTexteBOMFromBuffer(CXYString<wchar_t>& clOut, unsigned char* pData, unsigned nSize,
                                         unsigned nCodePage, etxType* peType)
{
    clOut = CXYString<wchar_t>();
    etxType eType = TXT_CODEPAGE;
    unsigned nMark = 0;
    if (pData == nullptr)
        nSize = 0;
    if (nSize >= 2 && pData[0] == 0xFF && pData[1] == 0xFE) {
        eType = TXT_UTF16;
        nMark = 2;
    } else if (nSize >= 2 && pData[0] == 0xFE && pData[1] == 0xFF) {
        for (unsigned i = 0; i + 1 < nSize; i += 2) {
            unsigned char c = pData[i];
            pData[i] = pData[i + 1];
            pData[i + 1] = c;
        }
        eType = TXT_UTF16;
        nMark = 2;
    } else if (nSize > 2 && pData[0] == 0xEF && pData[1] == 0xBB && pData[2] == 0xBF) {
        eType = TXT_UTF8;
        nMark = 3;
    } else if (UTF8Valide(reinterpret_cast<const char*>(pData), static_cast<int>(nSize))) {
        eType = TXT_UTF8;
    }
    if (peType != nullptr)
        *peType = eType;
    const unsigned char* pText = pData + nMark;
    const unsigned nText = nSize - nMark;
    if (nText == 0)
        return 1;
    if (eType == TXT_UTF16) {
        unsigned nUnits = nText / 2;
        if (nUnits == 0)
            return 1;
        // Units copied out: the data may lie at any address.
        unsigned short* pUnits = static_cast<unsigned short*>(XMALLOC_pNew_(nUnits * sizeof(unsigned short)));
        if (pUnits == nullptr)
            return 0;
        std::memcpy(pUnits, pText, nUnits * sizeof(unsigned short));
        int nChars = UTF16ToWideChar(pUnits, static_cast<int>(nUnits), nullptr, 0);
        int bOk = 0;
        if (nChars > 0 && clOut.nSetLength(nChars) == STRMEM_OK && clOut.pGetData() != nullptr) {
            UTF16ToWideChar(pUnits, static_cast<int>(nUnits), clOut.pGetData(), nChars);
            clOut.SetUtilLength(nChars, 0);
            clOut.pGetData()[nChars] = 0;
            bOk = 1;
        }
        XMALLOC_Del_(pUnits);
        return bOk;
    }
    const unsigned nPage = eType == TXT_UTF8 ? CP_UTF8 : nCodePage;
    const char* psz = reinterpret_cast<const char*>(pText);
    int nChars = MultiByteToWideChar(nPage, 0, psz, static_cast<int>(nText), nullptr, 0);
    if (nChars <= 0 || clOut.nSetLength(nChars) != STRMEM_OK || clOut.pGetData() == nullptr)
        return 0;
    MultiByteToWideChar(nPage, 0, psz, static_cast<int>(nText), clOut.pGetData(), nChars);
    clOut.SetUtilLength(nChars, 0);
    clOut.pGetData()[nChars] = 0;
    return 1;
}
