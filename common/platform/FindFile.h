// A directory search as an object: the search record and its operations,
// closed when the object goes.
#pragma once

#include "common/platform/DiskFile.h"

class CFindFile {
public:
    CFindFile();
    ~CFindFile();
    CFindFile(const CFindFile&) = delete;
    CFindFile& operator=(const CFindFile&) = delete;

    // Attribute masks: a match has every bit of nRequired and none of
    // nExcluded. The error object may be null.
    int bFindFirst(const wchar_t* pszPath, int nRequired, int nExcluded, CXError* pclError);
    int bFindNext(CXError* pclError);
    int bFindClose(CXError* pclError);
    // Hands the open search to the target, which closes its own first.
    void TransfertTo(CFindFile& clTarget);

    const _stXFINDDATA& stGetData() const { return m_stData; }
    const wchar_t* pszGetName() const { return m_stData.szName; }
    int nGetAttributes() const { return m_stData.nAttributes; }
    long long llGetSize() const { return m_stData.llSize; }

private:
    _stXFINDDATA m_stData;
};
