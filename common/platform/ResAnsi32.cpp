#include "common/platform/ResAnsi32.h"
#include "common/text/SysUtils.h"

#include <cstdlib>

namespace {

inline unsigned nLe16(const unsigned char* p)
{
    return static_cast<unsigned>(p[0]) | (static_cast<unsigned>(p[1]) << 8);
}

// Walks the block once and keeps the offset of every record and of the end
// mark. A record shorter than its header ends the walk as the end mark
// does. Nothing is kept when the index cannot be allocated, so that a later
// lookup tries again.
bool bConstruitIndex(CResAnsi32::STRessource& st)
{
    const unsigned char* pby = st.pbyBuffer;
    if (pby == nullptr)
        return false;
    uint32_t nNb = 0;
    uint32_t nOffset = 0;
    for (unsigned n = nLe16(pby); n >= RESREC_HEADER; n = nLe16(pby + nOffset)) {
        ++nNb;
        nOffset += n;
    }
    uint32_t* pnIndex = static_cast<uint32_t*>(XMALLOC_pNew_((nNb + 1) * sizeof(uint32_t)));
    if (pnIndex == nullptr)
        return false;
    nOffset = 0;
    for (uint32_t i = 0; i < nNb; ++i) {
        pnIndex[i] = nOffset;
        nOffset += nLe16(pby + nOffset);
    }
    pnIndex[nNb] = nOffset;
    st.pnIndex = pnIndex;
    st.nNbRessource = nNb;
    st.bIndexFait = 1;
    return true;
}

}  // namespace

CResAnsi32::STRessource CResAnsi32::m_stRessource = {_pbyBufferRes32, &CResAnsi32::nCompareRes,
                                                     nullptr, 0, 0};

int CResAnsi32::nCompareRes(const void* key, const void* entry)
{
    const uint32_t nId = *static_cast<const uint32_t*>(key) & 0xFFFF;
    const uint32_t nOffset = *static_cast<const uint32_t*>(entry);
    return static_cast<int>(nId) - static_cast<int>(nLe16(m_stRessource.pbyBuffer + nOffset + 2));
}

void TermResAnsi32()
{
    CResAnsi32::STRessource& res = CResAnsi32::m_stRessource;
    XMALLOC_Del_(res.pnIndex);
    res.pnIndex = nullptr;
    res.bIndexFait = 0;
    res.nNbRessource = 0;
}

int bGetResAnsi32(STRessourceModule& st)
{
    CResAnsi32::STRessource& res = CResAnsi32::m_stRessource;
    if (!res.bIndexFait && !bConstruitIndex(res))
        return 0;
    // Binary search over the record offsets (the end mark excluded).
    uint32_t nBas = 0;
    uint32_t nHaut = res.nNbRessource;
    while (nBas < nHaut) {
        const uint32_t nMilieu = nBas + (nHaut - nBas) / 2;
        const int n = res.pfnCompare(&st.nId, &res.pnIndex[nMilieu]);
        if (n == 0) {
            const unsigned char* pbyRec = res.pbyBuffer + res.pnIndex[nMilieu];
            const unsigned char byFlags = pbyRec[4];
            st.pbyTexte = pbyRec + RESREC_HEADER;
            // The text never reaches past its own record.
            const unsigned nMax = nLe16(pbyRec) - RESREC_HEADER;
            const unsigned nTaille = nLe16(pbyRec + 5);
            st.nTaille = nTaille < nMax ? nTaille : nMax;
            st.nClasse = (byFlags & RESFLAG_UTF16) != 0 ? RESCLASS_UTF16 : RESCLASS_UTF8;
            st.nUtilisation = byFlags & RESFLAG_USAGE;
            return 1;
        }
        if (n < 0)
            nHaut = nMilieu;
        else
            nBas = nMilieu + 1;
    }
    return 0;
}
