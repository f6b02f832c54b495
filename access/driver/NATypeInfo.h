// One SQL type text of a connection's type map: a plain text, or a printf
// format that takes the item's size.
#pragma once

#include "access/driver/Interf.h"
#include "common/text/Tstring.h"

class INAItemDescription;

class CNATypeInfo : public CInterf {
public:
    CNATypeInfo(const wchar_t* pszText, int bFormat) : m_csText(pszText), m_bFormat(bFormat) {}

    const wchar_t* pszGetText() const { return m_csText.pszGet(); }
    int bIsFormat() const { return m_bFormat; }
    // The SQL type text of the item: the text itself, or the format with the
    // fraction digits of a time (size - 7), the precision and scale of a
    // decimal, or the logical size of one element.
    void Format(const INAItemDescription* piItem, CTString* pclOut) const;

private:
    CTString m_csText;
    int m_bFormat;
};
