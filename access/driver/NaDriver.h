// The process's one driver object: the factories through which every class
// of the driver makes its companions (the back end substitutes its own),
// the driver's error object and the host services handed over to it.
#pragma once

class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class IKXForNA;

class CNADriver {
public:
    CNADriver();
    CNADriver(const CNADriver&) = delete;
    CNADriver& operator=(const CNADriver&) = delete;

    // ---- Virtual operations, in slot order ----------------------------------
    virtual ~CNADriver();
    // A new value cell on pError (the driver's own when null) and the
    // connection, or null with the out-of-memory error.
    virtual CNAConvertVariant* pclAllocVariant(CNAError* pError, CNAConnectionDescription* pConnection);
    // A new error object (count 0).
    virtual CNAError* pclAllocError();

    // Replaces the driver's error object by a new one from pclAllocError.
    void AllocError();

    // Host engine services; null until the host hands them over.
    int bSetKX(IKXForNA* piKX)
    {
        m_piKX = piKX;
        return 1;
    }
    IKXForNA* piGetKX() const { return m_piKX; }

    static CNADriver* s_pclDriver;

protected:
    CNAError* m_pclError; // one reference held
    IKXForNA* m_piKX;     // no reference
};
