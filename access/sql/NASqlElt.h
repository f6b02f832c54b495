// One clause element of a query rewriting walk: its kind, where it starts
// and stops in the host's query text (stop included) and a text.
#pragma once

#include "access/driver/Interf.h"
#include "common/text/Tstring.h"

class CNASqlElt : public CInterf {
public:
    enum eSQLELT : int {
        SQLELT_NONE = 0,
        SQLELT_SELECT = 1,  // output list
        SQLELT_FROM = 2,    // one FROM entry
        SQLELT_WHERE = 3,
        SQLELT_GROUPBY = 4,
        SQLELT_HAVING = 5,
        SQLELT_ORDERBY = 6,
        SQLELT_PARAMETER = 7, // host parameters and item references
        SQLELT_JOIN = 8,    // one JOIN entry
        SQLELT_UNUSED = 9,
        SQLELT_INSERTUPDATE = 10, // INSERT values or UPDATE assignments
    };

    CNASqlElt(eSQLELT eKind, unsigned int nStart, unsigned int nStop, const wchar_t* pszText = nullptr);
    ~CNASqlElt() override;

    eSQLELT eGetKind() const { return m_eKind; }
    unsigned int nGetStart() const { return m_nStart; }
    unsigned int nGetStop() const { return m_nStop; }
    const wchar_t* pszGetText() const { return m_csText.pszGet(); }

    // Sort order of a walk: by start.
    static int pfnCmpELT(CNASqlElt* const* ppA, CNASqlElt* const* ppB);

private:
    eSQLELT m_eKind;
    unsigned int m_nStart;
    unsigned int m_nStop;
    CTString m_csText;
};
