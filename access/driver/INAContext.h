// A host context, as the driver reads it: the host runs several independent
// contexts over the same tables. The host runtime implements it; the driver
// calls only its eighth and ninth operations, and the places before them
// keep their slots.
#pragma once

class INAContext {
public:
    virtual void Reserved1() = 0;
    virtual void Reserved2() = 0;
    virtual void Reserved3() = 0;
    virtual void Reserved4() = 0;
    virtual void Reserved5() = 0;
    virtual void Reserved6() = 0;
    virtual void Reserved7() = 0;
    // Key of the context's data access for a table.
    virtual unsigned int dwGetDataAccessKey() = 0;
    // Number under which the driver files the context.
    virtual unsigned int dwGetContextNumber() = 0;

protected:
    ~INAContext() = default;
};
