// The family's binary files: a 20-byte header naming the file's type,
// written when a file is created and checked when one is opened.
#pragma once

#include "common/platform/XFile.h"

#include <cstdint>

#pragma pack(push, 1)
struct _stENTETE_FICHIER_QUORVIX {
    uint32_t dwSignature; // "VMR" and a NUL
    uint32_t dwHeaderSize;
    uint32_t dwTypeId;
    uint16_t wSubVersion;
    uint8_t byFormatVersion;
    uint8_t byProductCode;
    uint16_t wFormat;
    uint16_t wReserved;
};
#pragma pack(pop)
static_assert(sizeof(_stENTETE_FICHIER_QUORVIX) == 20, "the file header is 20 bytes");

class CZTFile : public CXFile {
public:
    static const uint32_t SIGNATURE = 0x00524D56u;
    static const uint32_t HEADER_SIZE = 20;
    static const uint8_t FORMAT_VERSION = 19;
    // Opening with this type accepts a file of type 2, 8, 0x102 or 0x103.
    static const uint32_t TYPE_WILDCARD = 0x20001u;

    // Type 0 accepts any file.
    explicit CZTFile(uint32_t dwTypeId = 0);

    // ---- Own virtual operations, after those of the file object ------------
    virtual int bReadHeader(long long* pllPosition);
    virtual int bWriteHeader(long long* pllPosition);
    virtual int bWriteHeaderEx(long long* pllPosition, _stENTETE_FICHIER_QUORVIX* pstHeader);

    using CXFile::bOpen;
    using CXFile::bReopen;
    int bOpen(const wchar_t* pszName, IXStream::eFORMAT eFormat, IXStream::eACCESS eAccess,
              IXStream::eSHARE eShare, IXStream::eCREATE eCreate, IXStream::eFLAG eFlag);
    // The header is written when the file is new or emptied, or when forced;
    // else read and checked. A failed header step closes the file.
    int bOpenEx(const wchar_t* pszName, IXStream::eFORMAT eFormat, IXStream::eACCESS eAccess,
                IXStream::eSHARE eShare, IXStream::eCREATE eCreate, IXStream::eFLAG eFlag, int bForce);
    int bReopen(IXStream::eFORMAT eFormat, IXStream::eACCESS eAccess, IXStream::eSHARE eShare,
                IXStream::eCREATE eCreate, IXStream::eFLAG eFlag);

    static int bIdReconnu(uint32_t dwTypeId);
    static int s_bIsProjet(uint32_t dwTypeId);
    static const wchar_t* s_pszVerNomProduit(int nCode);
    static uint8_t byGetCodeProduit(const wchar_t* pszPath);
    // The type id of a stream's header, 0 without the signature.
    static uint32_t dwIdFichierInconnu(IXStream* piStream);
    // 0xFFFFFFFF when the file cannot be opened.
    static uint32_t dwIdFichierInconnu(const wchar_t* pszPath);

    uint32_t dwGetTypeId() const { return m_dwTypeId; }
    uint32_t dwGetHeaderSize() const { return m_dwHeaderSize; }
    uint16_t wGetFormat() const { return m_wFormat; }
    uint8_t byGetProductCode() const { return m_byProductCode; }

    // The product code written into new headers.
    static uint8_t ms_byCodeProduitCourant;

protected:
    // Writes or reads the header at the start; a failure closes the file.
    int _bHeaderStep(bool bWrite, IXStream::eFORMAT eFormat);
    // A header error into the stream's error object.
    void _HeaderError(unsigned nMessage, const wchar_t* pszDebugFormat, unsigned a, unsigned b, bool bVersionArg);

    uint32_t m_dwTypeId;
    uint8_t m_byProductCode;
    uint16_t m_wFormatVersion;
    uint16_t m_wSubVersion;
    uint32_t m_dwHeaderSize;
    uint16_t m_wFormat;
    uint16_t m_wReserved;
};
