// Host-visible interfaces of the driver's error object. The order of the
// operations is the contract with the host: never insert, remove or move
// one. The interfaces are not deleted through: their destructor is
// protected and non-virtual, so an implementing class's own virtual
// operations follow theirs in its table.
#pragma once

class CXError;

// Kind of a recorded error, read by the host.
enum eNA_ERRORTYPE : int {
    NA_ERRORTYPE_NONE = -1,
    NA_ERRORTYPE_GENERAL = 0,
    // Kinds 1 and 4 are written by the data access; their meaning comes
    // from the connection's mapping of server errors.
    NA_ERRORTYPE_KIND1 = 1,
    NA_ERRORTYPE_LOCKTIMEOUT = 2,
    NA_ERRORTYPE_DUPLICATE = 3,
    NA_ERRORTYPE_KIND4 = 4,
    NA_ERRORTYPE_NOTOFFERED = 7,
    NA_ERRORTYPE_NULLREFUSED = 8,
    NA_ERRORTYPE_ROWGONE = 9,
};

// Level of the held error (the CXError levels).
enum eNAERRORLEVEL : int {
    NA_ERRORLEVEL_NOERROR = 1,
    NA_ERRORLEVEL_2 = 2,
    NA_ERRORLEVEL_ERROR = 3,
};

// Version exchange, the first five operations of every driver interface.
class INAVersion {
public:
    virtual int nGetVersion() const = 0;
    virtual int nGetCompatSince() const = 0;
    virtual int nGetNAVersion() const = 0;
    virtual int nGetNACompatSince() const = 0;
    virtual void NAVersion_EmptySlot_3() = 0;

protected:
    ~INAVersion() = default;
};

// The error object as the host reads it (17 operations).
class INAError : public INAVersion {
public:
    virtual const wchar_t* pszGetError() = 0;
    virtual unsigned int dwGetErrorId() const = 0;
    virtual eNA_ERRORTYPE eGetErrorType() const = 0;
    virtual const wchar_t* pszGetLogicalTableName() const = 0;
    virtual const wchar_t* pszGetItemName() const = 0;
    virtual CXError* pclGetXError() = 0;
    virtual eNAERRORLEVEL eGetErrorLevel() const = 0;
    virtual void EmptySlot52() = 0;
    virtual void EmptySlot53() = 0;
    virtual void EmptySlot54() = 0;
    virtual void EmptySlot55() = 0;
    virtual void EmptySlot56() = 0;

protected:
    ~INAError() = default;
};
