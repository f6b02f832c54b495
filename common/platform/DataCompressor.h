// Unpacker of the module's packed message texts. Each pair of packed bytes
// is a base-255 number (digits 1..255) carrying three base-40 symbols:
// charset shifts, charset changes, table entries, and in charset 3 escapes
// to raw bytes. The code tables are in ResCharsets.h.
#pragma once

#include <cwchar>

struct STRessourceModule;

class CDataCompressor {
public:
    enum : int {
        DC_OK = 0,
        DC_TRONQUE = 2,        // output cut at its capacity
        DC_MEMOIRE = 3,        // no memory for the work buffer
        DC_CORROMPU = 4,       // unknown text class or corrupt input
        DC_ECHAPPEMENT = 5,    // input ends inside an escape
    };

    CDataCompressor();

    // A new wide text (free it with free), null when unpacking does not
    // finish with DC_OK.
    static wchar_t* s_pszDeCompress(STRessourceModule& st);
    // Unpacks into out, of *pcch characters; *pcch receives the unpacked
    // byte count. The text is cut at *pcch - 1 characters (DC_TRONQUE).
    static int s_nDeCompress(wchar_t* out, int* pcch, STRessourceModule& st);

    // Unpacks inLength packed bytes into out, of *pcb bytes, always
    // terminated when *pcb > 0; *pcb receives the full unpacked count.
    int nDeCompress(unsigned char* out, int* pcb, const unsigned char* in, int inLength);

    // Packing side.
    static int _nGetCharsetSwitch(int charset);
    static int _nGetValue(unsigned char by, int charset);
    static int _nGetCharset(int symbol);

private:
    // Applies one symbol (not an escape); DC_CORROMPU for a symbol beyond
    // the table of its charset.
    int _nAppliqueSymbole(int symbol);
    void _Ecrit(unsigned char by);
    int _nCharsetEnVigueur() const;

    const unsigned char* m_pbyIn;
    int m_nInLength;
    unsigned char* m_pbyOut;
    int m_nCapacite;
    int m_nProduit;
    int m_nCharset;
    int m_nDecalage;   // pending one-shot charset, -1 when none
};
