// Holders that convert one text as it crosses to or from the client
// library: wide text to 8-bit text in the connection's code page (IN), and
// 8-bit text from the library to wide text (OUT). A holder lives for one
// call; the converted copy goes with it. Code page -2: the library takes
// and gives wide text, nothing is converted.
#pragma once

#include "common/text/XYString.h"

class CNACodePageCnv {
public:
    enum : int { CODEPAGE_WIDE = -2 };

    explicit CNACodePageCnv(int nCodePage) : m_nCodePage(nCodePage) {}
    CNACodePageCnv(const CNACodePageCnv&) = delete;
    CNACodePageCnv& operator=(const CNACodePageCnv&) = delete;
    virtual ~CNACodePageCnv() {}

    int nGetCodePage() const { return m_nCodePage; }

protected:
    int m_nCodePage;
};

// Wide text for the library; the source must outlive the holder.
class CNACodePageCnvIN : public CNACodePageCnv {
public:
    CNACodePageCnvIN(int nCodePage, const wchar_t* pszSource);
    ~CNACodePageCnvIN() override;

    // Null for a null source; the source itself with code page -2; else the
    // converted text (empty when nothing was converted).
    const char* pszGet() const;
    // Characters of the source, not bytes of the converted text.
    int nGetLength() const { return m_nLength; }
    // Bytes of the text pszGet answers.
    int nGetByteLength() const;

private:
    const wchar_t* m_pszSource;
    int m_nLength;
    CXYString<char> m_clConverted;
};

// 8-bit text from the library, converted when first asked for.
class CNACodePageCnvOUT : public CNACodePageCnv {
public:
    CNACodePageCnvOUT(int nCodePage, const char* pszSource, int nByteLength)
        : CNACodePageCnv(nCodePage), m_pszSource(pszSource), m_nByteLength(nByteLength)
    {
    }
    ~CNACodePageCnvOUT() override;

    // Null for a null source, else the wide text (empty when nothing
    // results).
    const wchar_t* pszGet();
    int nGetByteLength() const { return m_nByteLength; }

protected:
    const char* m_pszSource;
    int m_nByteLength;
    CXYString<wchar_t> m_clConverted;
};

// The same for a terminated source; with code page -2 it holds wide
// characters and is measured with wcslen.
class CNACodePageCnvOUTPtr : public CNACodePageCnvOUT {
public:
    CNACodePageCnvOUTPtr(int nCodePage, const char* pszSource);
    ~CNACodePageCnvOUTPtr() override {}
};
