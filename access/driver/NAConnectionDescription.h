// One connection to one database as the driver sees it. The back end
// derives its own connection from it.
#pragma once

#include "access/driver/Interf.h"
#include "common/text/Tstring.h"

class _CXErrorModule32;

class CNAConnectionDescription : public CInterf {
public:
    // Database kind: selects the SQL dialect rules.
    enum eDATASOURCE : int {
        DS_GENERIC = 0,
        DS_MYSQL = 5,
    };

    CNAConnectionDescription();
    ~CNAConnectionDescription() override;

    // ---- Virtual operations, in slot order ----------------------------------
    // Adds the connection's facts to an error; the base has none to add.
    virtual void AddInfoNativeXError(_CXErrorModule32* pError);
    // Whether the database does not know a server type number.
    virtual int bDBTypeUnkwnownByDB(int nDBType);

    // The database to use (empty when none is known).
    const wchar_t* pszGetDefaultDataBaseEx() const { return m_csDefaultDataBase.pszGet(); }
    // Code page of the host language's 8-bit texts.
    int nGetHostCodePage() const { return m_nHostCodePage; }
    // Code page of the 8-bit texts exchanged with the server; -1 until the
    // back end sets it.
    int nGetCnxCodePage() const { return m_nCnxCodePage; }
    eDATASOURCE eGetDataSource() const { return m_eDataSource; }

    // Host code page := code page of the host language's current charset.
    void _InitCodePageFromTQ();

protected:
    CTString m_csDefaultDataBase;
    int m_nHostCodePage;
    int m_nCnxCodePage;
    eDATASOURCE m_eDataSource;
};
