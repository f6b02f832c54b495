// A table or query description as the host reads it (version 6, compatible
// since 1). The order of the operations is the contract with the host.
#pragma once

#include "access/driver/INAVersion.h"

class INAItemDescription;

// Five version operations, then 35 (40 in all).
class INADataSourceDescription : public INAVersion {
public:
    virtual void ExternalAddRef() = 0;
    virtual unsigned int nExternalRelease() = 0;
    virtual const wchar_t* pszGetLogicalName() const = 0;
    virtual const wchar_t* pszGetPhysicalName() const = 0;
    virtual const wchar_t* pszGetDefaultDirectory() const = 0;
    virtual unsigned int nGetDiskRecordSize() const = 0;
    virtual unsigned int nGetMemoryRecordSize() const = 0;
    virtual unsigned int nGetNumItems() const = 0;
    virtual unsigned int nGetNumKeys() const = 0;
    virtual unsigned int nGetNumMemos() const = 0;
    virtual unsigned int nGetNumItemPhysicallyInFic() const = 0;
    // Items and keys come with a reference for the caller.
    virtual INAItemDescription* piNAGetItem(const wchar_t* pszName) = 0;
    virtual INAItemDescription* piNAGetItem(unsigned int nIndex) = 0;
    virtual INAItemDescription* piNAGetKey(unsigned int nIndex) = 0;
    virtual INAItemDescription* piNAGetMemo(unsigned int nIndex) = 0;
    virtual int eGetNASubDataType() const = 0;
    virtual const wchar_t* pszGetDBTableName() const = 0;
    virtual INAItemDescription* piGetBestParseItemDesc() = 0;
    virtual const wchar_t* pszGetExtendedInfo() const = 0;
    virtual const wchar_t* pszGetType() const = 0;
    virtual const wchar_t* pszGetOwner() const = 0;
    virtual const wchar_t* pszGetDefaultDatabase() const = 0;
    virtual const wchar_t* pszGetExtension() const = 0;
    virtual const wchar_t* pszGetCaption() const = 0;
    virtual int bGetNullSupported() const = 0;
    virtual void EmptySlot137() = 0;
    virtual void EmptySlot138() = 0;
    virtual void EmptySlot139() = 0;
    virtual void EmptySlot140() = 0;
    virtual void EmptySlot141() = 0;
    virtual void EmptySlot142() = 0;
    virtual void EmptySlot143() = 0;
    virtual void EmptySlot144() = 0;
    virtual void EmptySlot145() = 0;
    virtual void EmptySlot146() = 0;

protected:
    ~INADataSourceDescription() = default;
};
