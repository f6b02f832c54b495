// The module's compiled-in message resources: a block of records sorted by
// id, built from the message catalogue at build time, and its lookup.
//
// Record layout, little-endian, no alignment: u16 record length (header
// included; 0 ends the block), u16 id, u8 flags (bits 0-1 usage, bit 6 the
// text is UTF-16 rather than UTF-8), u16 packed length, the packed text.
#pragma once

#include <cstdint>

// Lookup record: id and usage in, the packed text out.
struct STRessourceModule {
    uint32_t nId;            // in; compared on its low 16 bits
    uint32_t nReserve;       // 0
    const unsigned char* pbyTexte;   // out: packed text
    uint32_t nTaille;        // out: packed length in bytes
    uint32_t nClasse;        // out: RESCLASS_UTF8 or RESCLASS_UTF16
    int32_t nUtilisation;    // in -1; out: the record's usage bits
};

enum : uint32_t {
    RESCLASS_UTF8 = 1,
    RESCLASS_UTF16 = 2,
};

enum : unsigned {
    RESREC_HEADER = 7,        // bytes before the packed text
    RESFLAG_USAGE = 0x03,
    RESFLAG_UTF16 = 0x40,
};

// The block generated from the catalogue.
extern const unsigned char _pbyBufferRes32[];

class CResAnsi32 {
public:
    // Lookup state of one block: the index holds the offset of every record
    // and then the offset of the end mark.
    struct STRessource {
        const unsigned char* pbyBuffer;
        int (*pfnCompare)(const void* key, const void* entry);
        uint32_t* pnIndex;
        int bIndexFait;
        uint32_t nNbRessource;
    };
    static STRessource m_stRessource;

    // Low 16 bits of the key's id minus the id of the record whose offset
    // the entry holds (in m_stRessource's block).
    static int nCompareRes(const void* key, const void* entry);
};

// Builds the index on first use and finds the id; true when found.
int bGetResAnsi32(STRessourceModule& st);
// The module's end: frees the index (a later lookup builds it again).
void TermResAnsi32();
