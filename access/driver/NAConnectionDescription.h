// One connection to one database as the driver sees it: it wraps the host's
// description, numbers the connection and keeps the identification under
// which the driver files it. The back end derives its own connection from
// it and supplies the opening and closing.
#pragma once

#include "access/driver/Interf.h"
#include "common/text/Tstring.h"

class _CXErrorModule32;
class CNAError;
class CNATransaction;
class INAConnectionDescription;

class CNAConnectionDescription : public CInterf {
public:
    // Database kind: selects the SQL dialect rules.
    enum eDATASOURCE : int {
        DS_GENERIC = 0,
        DS_MYSQL = 5,
    };

    // Numbers the connection and references the host description (which may
    // be null for a connection made without the host).
    explicit CNAConnectionDescription(const wchar_t* pszIdentification = nullptr,
                                      INAConnectionDescription* piHost = nullptr);
    ~CNAConnectionDescription() override;

    // ---- Virtual operations, in slot order ----------------------------------
    // Opening and closing belong to the back end; bOpen answers 1 at once
    // when the connection is already open.
    virtual int bOpen(CNAError* pError) = 0;
    virtual int bIsOpen() = 0;
    virtual int bClose(CNAError* pError) = 0;
    // Adds the connection's facts to an error; the base has none to add.
    virtual void AddInfoNativeXError(_CXErrorModule32* pError);
    // Whether the database does not know a server type number.
    virtual int bDBTypeUnkwnownByDB(int nDBType);

    // ---- Identity -----------------------------------------------------------
    // The driver's key for this connection.
    const wchar_t* pszGetIdentification() const { return m_csIdentification.pszGet(); }
    // 1 for the first connection of the process, then 2, ...
    unsigned int nGetNumber() const { return m_nNumber; }
    INAConnectionDescription* piGetHostDescription() const { return m_piHost; }
    // The text of the host's connection-name object (empty when none).
    const wchar_t* pszGetConnectionName() const;

    // ---- Automatic close ----------------------------------------------------
    void SetAutoClose(int bAutoClose) { m_bAutoClose = bAutoClose; }
    // The auto-close flag is set and no transaction is open.
    int bAutoCloseEnabled() const;
    // Opens the host holds: +1 on each successful host open, -1 on each host
    // close, so that a host close drops only a reference the host holds.
    int nGetHostOpens() const { return m_nHostOpens; }
    void AddHostOpen() { m_nHostOpens++; }
    void RemoveHostOpen() { m_nHostOpens--; }

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

    // Connections made in the process; the next one takes this + 1.
    static unsigned int m_gnCnxGenerator;

protected:
    unsigned int m_nNumber;
    INAConnectionDescription* m_piHost; // one reference held
    CTString m_csIdentification;
    int m_bAutoClose;
    int m_nHostOpens;
    CNATransaction* m_pclTransaction;   // current transaction; null while none is open
    CTString m_csDefaultDataBase;
    int m_nHostCodePage;
    int m_nCnxCodePage;
    eDATASOURCE m_eDataSource;
};
