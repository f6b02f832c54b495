// The block copy shared by the streams and the file object.
#pragma once

#include "common/text/SysUtils.h"

template <class TSource, class TDestination>
int XSTREAM_bCopyBlocks(TSource& clSource, TDestination& clDestination, long long n)
{
    const unsigned BLOCK = 65536;
    if (n < 0) {
        const long long llSize = clSource.oGetSize();
        const long long llHere = clSource.oGetOffset();
        if (llSize < 0 || llHere < 0)
            return 0;
        n = llSize - llHere;
    }
    if (n <= 0)
        return 1;
    unsigned char* pBuffer = static_cast<unsigned char*>(XMALLOC_pNew_(BLOCK));
    if (pBuffer == nullptr)
        return 0;
    int bOk = 1;
    while (n > 0) {
        unsigned nRead = 0;
        if (!clSource.bRead(pBuffer, BLOCK, &nRead)) {
            bOk = 0;
            break;
        }
        unsigned nKeep = nRead;
        if (static_cast<long long>(nRead) > n) {
            nKeep = static_cast<unsigned>(n);
            if (!clSource.bSeek(-static_cast<long long>(nRead - nKeep), 1)) {
                bOk = 0;
                break;
            }
        }
        if (nKeep > 0 && !clDestination.bWrite(pBuffer, nKeep, nullptr)) {
            bOk = 0;
            break;
        }
        n -= nKeep;
        if (nRead < BLOCK)
            break;
    }
    XMALLOC_Del_(pBuffer);
    return bOk;
}
