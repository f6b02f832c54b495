#include "common/platform/DataCompressor.h"

#include "common/platform/ResAnsi32.h"
#include "common/platform/ResCharsets.h"
#include "common/text/CodePage.h"
#include "common/text/TextBasics.h"
#include "common/text/UnicodeCodec.h"
#include "common/text/SysUtils.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Room for any unpacking of n packed bytes: a pair gives at most three
// bytes and an escape at most one byte per packed byte.
int nCapaciteDepaquetage(uint32_t nTaille)
{
    return static_cast<int>(nTaille * 1.5 + 2);
}

}  // namespace

CDataCompressor::CDataCompressor()
    : m_pbyIn(nullptr), m_nInLength(0), m_pbyOut(nullptr), m_nCapacite(0), m_nProduit(0),
      m_nCharset(0), m_nDecalage(-1)
{
}

int CDataCompressor::_nGetCharsetSwitch(int charset)
{
    return charset >= 0 && charset <= 3 ? RESPACK_SET_FIRST + charset : 8;
}

int CDataCompressor::_nGetValue(unsigned char by, int charset)
{
    if (charset < 0 || charset > 3)
        return -1;
    const unsigned char* tab = tabCharsets[charset];
    const unsigned char* fin = tab + tabCharsetSize[charset];
    const unsigned char* p = std::lower_bound(tab, fin, by);
    return p != fin && *p == by ? static_cast<int>(p - tab) + RESPACK_CHAR_FIRST : -1;
}

int CDataCompressor::_nGetCharset(int symbol)
{
    return symbol >= 0 && symbol <= 7 ? symbol & 3 : -1;
}

int CDataCompressor::_nCharsetEnVigueur() const
{
    return m_nDecalage >= 0 ? m_nDecalage : m_nCharset;
}

void CDataCompressor::_Ecrit(unsigned char by)
{
    if (m_nProduit < m_nCapacite - 1)
        m_pbyOut[m_nProduit] = by;
    ++m_nProduit;
}

int CDataCompressor::_nAppliqueSymbole(int symbol)
{
    if (symbol < 0 || symbol >= RESPACK_SYMBOLS)
        return DC_CORROMPU;
    if (symbol < RESPACK_SET_FIRST) {
        m_nDecalage = symbol;
        return DC_OK;
    }
    if (symbol < RESPACK_CHAR_FIRST) {
        m_nCharset = symbol - RESPACK_SET_FIRST;
        m_nDecalage = -1;
        return DC_OK;
    }
    const int cs = _nCharsetEnVigueur();
    const int i = symbol - RESPACK_CHAR_FIRST;
    if (i >= tabCharsetSize[cs])
        return DC_CORROMPU;
    _Ecrit(tabCharsets[cs][i]);
    m_nDecalage = -1;
    return DC_OK;
}

int CDataCompressor::nDeCompress(unsigned char* out, int* pcb, const unsigned char* in, int inLength)
{
    m_pbyIn = in;
    m_nInLength = in != nullptr && inLength > 0 ? inLength : 0;
    m_pbyOut = out;
    m_nCapacite = out != nullptr && pcb != nullptr && *pcb > 0 ? *pcb : 0;
    m_nProduit = 0;
    m_nCharset = 0;
    m_nDecalage = -1;

    int nRes = DC_OK;
    int i = 0;
    while (nRes == DC_OK && m_nInLength - i >= 2) {
        const unsigned b0 = m_pbyIn[i];
        const unsigned b1 = m_pbyIn[i + 1];
        if (b0 == 0 || b1 == 0) {
            nRes = DC_CORROMPU;
            break;
        }
        i += 2;
        const int v = static_cast<int>((b0 - 1) * 255 + (b1 - 1));
        const int symboles[3] = {v / 1600, (v % 1600) / 40, v % 40};
        for (int s : symboles) {
            if (_nCharsetEnVigueur() == RESPACK_ESCAPE_CHARSET && s >= RESPACK_ESCAPE_BYTE) {
                // The rest of the pair is dropped; the raw bytes follow it.
                // The escape uses up a pending one-shot shift.
                m_nDecalage = -1;
                if (s == RESPACK_ESCAPE_BYTE) {
                    if (i >= m_nInLength) {
                        nRes = DC_ECHAPPEMENT;
                        break;
                    }
                    _Ecrit(m_pbyIn[i++]);
                } else if (s == RESPACK_ESCAPE_RUN) {
                    if (i >= m_nInLength) {
                        nRes = DC_ECHAPPEMENT;
                        break;
                    }
                    const int n = m_pbyIn[i++];
                    if (n > m_nInLength - i) {
                        nRes = DC_ECHAPPEMENT;
                        break;
                    }
                    for (int k = 0; k < n; ++k)
                        _Ecrit(m_pbyIn[i++]);
                } else {
                    nRes = DC_CORROMPU;
                }
                break;
            }
            nRes = _nAppliqueSymbole(s);
            if (nRes != DC_OK)
                break;
        }
    }
    if (nRes == DC_OK && m_nInLength - i == 1) {
        // A lone last byte carries one symbol; it cannot open an escape,
        // nothing being left to follow it.
        const int s = static_cast<int>(m_pbyIn[i]) - 1;
        if (s >= 0 && s < RESPACK_SYMBOLS && _nCharsetEnVigueur() == RESPACK_ESCAPE_CHARSET &&
            s >= RESPACK_ESCAPE_BYTE)
            nRes = DC_ECHAPPEMENT;
        else
            nRes = _nAppliqueSymbole(s);
    }

    if (pcb != nullptr)
        *pcb = m_nProduit;
    if (m_nCapacite > 0)
        m_pbyOut[std::min(m_nProduit, m_nCapacite - 1)] = 0;
    if (nRes == DC_OK && m_nProduit >= m_nCapacite)
        nRes = DC_TRONQUE;
    return nRes;
}

int CDataCompressor::s_nDeCompress(wchar_t* out, int* pcch, STRessourceModule& st)
{
    const int cch = out != nullptr && pcch != nullptr && *pcch > 0 ? *pcch : 0;
    if (cch > 0)
        out[0] = 0;
    if (pcch != nullptr)
        *pcch = 0;
    if (st.nClasse != RESCLASS_UTF8 && st.nClasse != RESCLASS_UTF16)
        return DC_CORROMPU;
    if (st.pbyTexte == nullptr && st.nTaille != 0)
        return DC_CORROMPU;

    // Unpacked aside in full (room for a 16-bit end mark), so that the cut
    // falls on a whole character of the caller's buffer.
    const int nCapacite = nCapaciteDepaquetage(st.nTaille);
    unsigned char* pbyOctets = static_cast<unsigned char*>(XMALLOC_pNew_(nCapacite + 2));
    if (pbyOctets == nullptr)
        return DC_MEMOIRE;
    int nOctets = nCapacite;
    CDataCompressor dc;
    int nRes = dc.nDeCompress(pbyOctets, &nOctets, st.pbyTexte, static_cast<int>(st.nTaille));
    if (pcch != nullptr)
        *pcch = nOctets;
    if (nRes != DC_OK) {
        XMALLOC_Del_(pbyOctets);
        return nRes == DC_TRONQUE ? DC_CORROMPU : nRes;
    }

    wchar_t* pszLarge = nullptr;
    int nCar = 0;   // characters, end mark included
    if (st.nClasse == RESCLASS_UTF8) {
        const char* psz = reinterpret_cast<const char*>(pbyOctets);
        nCar = MultiByteToWideChar(CP_UTF8, 0, psz, nOctets + 1, nullptr, 0);
        if (nCar > 0) {
            pszLarge = static_cast<wchar_t*>(XMALLOC_pNew_(nCar * sizeof(wchar_t)));
            if (pszLarge == nullptr) {
                XMALLOC_Del_(pbyOctets);
                return DC_MEMOIRE;
            }
            nCar = MultiByteToWideChar(CP_UTF8, 0, psz, nOctets + 1, pszLarge, nCar);
        }
    } else if (nOctets % 2 == 0) {
        pbyOctets[nOctets] = 0;
        pbyOctets[nOctets + 1] = 0;
        const unsigned short* pw = reinterpret_cast<const unsigned short*>(pbyOctets);
        nCar = UTF16ToWideChar(pw, -1, nullptr, 0);
        if (nCar > 0) {
            pszLarge = static_cast<wchar_t*>(XMALLOC_pNew_(nCar * sizeof(wchar_t)));
            if (pszLarge == nullptr) {
                XMALLOC_Del_(pbyOctets);
                return DC_MEMOIRE;
            }
            nCar = UTF16ToWideChar(pw, -1, pszLarge, nCar);
        }
    }
    XMALLOC_Del_(pbyOctets);
    if (nCar <= 0) {
        XMALLOC_Del_(pszLarge);
        return DC_CORROMPU;
    }

    const int nLongueur = static_cast<int>(wcsnlen(pszLarge, static_cast<size_t>(nCar)));
    if (cch > 0) {
        const int n = std::min(nLongueur, cch - 1);
        std::memcpy(out, pszLarge, n * sizeof(wchar_t));
        out[n] = 0;
    }
    XMALLOC_Del_(pszLarge);
    return nLongueur > cch - 1 ? DC_TRONQUE : DC_OK;
}

wchar_t* CDataCompressor::s_pszDeCompress(STRessourceModule& st)
{
    int cch = nCapaciteDepaquetage(st.nTaille);
    wchar_t* psz = static_cast<wchar_t*>(XMALLOC_pNew_(cch * sizeof(wchar_t)));
    if (psz == nullptr)
        return nullptr;
    if (s_nDeCompress(psz, &cch, st) != DC_OK) {
        XMALLOC_Del_(psz);
        return nullptr;
    }
    return psz;
}
