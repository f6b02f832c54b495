// Fixed-size object pool: objects of one size handed out from heap chunks of
// about 4 KiB, so that tree nodes and buckets cost one heap allocation per
// chunk. Every object is preceded by a link word that holds its chunk's
// address while the object is out, so that it can be given back alone.
#pragma once

class CTObjAlloc {
public:
    // Chunk header and link word, in pointer words.
    static constexpr int mg_nSpaceCostPerChunk = 5 * static_cast<int>(sizeof(void*));
    static constexpr int mg_nSpaceCostPerObj = static_cast<int>(sizeof(void*));

    // One heap block: this header, then the slots (link word + object).
    // The free slots form a circular list through their link words.
    class CChunk {
    public:
        // A heap block set up with bInit; null without memory.
        static CChunk* pclCreateChunk(CTObjAlloc& clPool);
        static void DestroyChunk(CChunk* pclChunk);

        // Every slot free, linked to the next and the last to the first.
        bool bInit();
        // A free slot (its link word then holds the chunk); null when none.
        void* pAllocate();
        // Takes back the slot of an object; answers the chunk.
        CChunk* pclFree(void* pObject);
        // Links this chunk in front of pclHead (may be null); answers this.
        CChunk* pclInsertBefore(CChunk* pclHead);
        // Unlinks this chunk; answers the chunk that followed it.
        CChunk* pclRemove();

        int m_nFreeCount;
        void** m_ppFreeHead; // a free slot's link word, null when none
        CChunk* m_pclNext;
        CChunk* m_pclPrevious;
        CTObjAlloc* m_pclPool;

    private:
        unsigned char* _pbySlots() { return reinterpret_cast<unsigned char*>(this + 1); }
    };

    // nObjectSize is rounded up to whole pointer words so that link words
    // and objects stay aligned; at least one object per chunk.
    CTObjAlloc(int nObjectsPerChunk, unsigned int nObjectSize);
    CTObjAlloc(const CTObjAlloc&) = delete;
    CTObjAlloc& operator=(const CTObjAlloc&) = delete;
    // Frees every chunk, the full ones included.
    ~CTObjAlloc();

    // A slot whose first word is the link word; the object lies right after
    // it (mg_nSpaceCostPerObj bytes on). Null without memory.
    void* pAllocate();
    // Gives back an object (the address after its link word).
    void Free(void* pObject);

    int nGetChunkCount() const { return m_nChunkCount; }
    int nGetObjectCount() const { return m_nObjectCount; }
    unsigned int nGetObjectSize() const { return m_nObjectSize; }
    int nGetObjectsPerChunk() const { return m_nObjectsPerChunk; }

private:
    unsigned int _nSlotSize() const { return m_nObjectSize + mg_nSpaceCostPerObj; }

    int m_nObjectsPerChunk;
    CChunk* m_pclFullChunks;
    CChunk* m_pclOpenChunks;
    int m_nChunkCount;
    int m_nObjectCount;
    unsigned int m_nObjectSize;
};

#if defined(__i386__)
static_assert(sizeof(CTObjAlloc::CChunk) == 20, "CChunk: five 32-bit words");
static_assert(sizeof(CTObjAlloc) == 24, "CTObjAlloc: six 32-bit words");
#endif
static_assert(sizeof(CTObjAlloc::CChunk) == static_cast<unsigned int>(CTObjAlloc::mg_nSpaceCostPerChunk),
              "the chunk header is the chunk's cost");
