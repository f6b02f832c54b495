// A connection of no back end: it never opens. Base of the test connections
// that need only the generic part.
#pragma once

#include "access/driver/NAConnectionDescription.h"

class CClosedConnection : public CNAConnectionDescription {
public:
    int bOpen(CNAError*) override { return 0; }
    int bIsOpen() override { return 0; }
    int bClose(CNAError*) override { return 1; }
    void _InitKX2NativeType() override {}
};

// A closed connection of the MySQL kind: its backquotes, text in code page
// 1252, NULL values sorted first unless the test says otherwise.
class CMySQLKindConnection : public CClosedConnection {
public:
    explicit CMySQLKindConnection(int bNullFirst = 1, int nCodePage = 1252) : m_bNullFirst(bNullFirst)
    {
        m_nHostCodePage = nCodePage;
        m_nCnxCodePage = nCodePage;
        m_eDataSource = DS_MYSQL;
        m_csOpeningQuote.Set(L"`");
        m_csClosingQuote.Set(L"`");
        m_nOpeningQuoteLength = 1;
        m_nClosingQuoteLength = 1;
    }
    int bNULLBeforeNotNULL() override { return m_bNullFirst; }
    void SetKind(int nKind) { m_eDataSource = static_cast<eDATASOURCE>(nKind); }
    void SetCodePage(int nCodePage) { m_nCnxCodePage = nCodePage; }
    int m_bNullFirst;
};
