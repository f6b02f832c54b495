#include "host/KeyService.h"
#include "host/HostLifetime.h"

#include <mutex>

namespace {

// Base letters of U+00C0-U+00FF; '*' keeps the character.
const char kBaseLatin1[] = "AAAAAA*CEEEEIIII*NOOOOO*OUUUUY**aaaaaa*ceeeeiiii*nooooo*ouuuuy*y";

unsigned Map(unsigned c, int bLower, int bUnaccent)
{
    if (bUnaccent && c >= 0xC0 && c < 0x100 && kBaseLatin1[c - 0xC0] != '*')
        c = static_cast<unsigned char>(kBaseLatin1[c - 0xC0]);
    if (bLower && ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)))
        c += 0x20;
    return c;
}

class CHostUnicodeKey final : public IHostUnicodeKey {
public:
    void Reserved0() override {}
    void Reserved1() override {}
    void Reserved2() override {}
    void Reserved3() override {}
    void Reserved4() override {}
    void Reserved5() override {}
    void Reserved6() override {}
    void Reserved7() override {}
    void Reserved8() override {}
    void Reserved9() override {}
    void Reserved10() override {}
    void Reserved11() override {}
    void Reserved12() override {}
    void Reserved13() override {}
    void Reserved14() override {}
    void Reserved15() override {}
    void Reserved16() override {}

    int nKeyFromUTF16(unsigned short* pKey, unsigned int nUnits, const unsigned short* pText, unsigned int nChars,
                      int bOption40, int bOption20, int nMode) override
    {
        Log({17, nUnits, nChars, bOption40, bOption20, nMode});
        return nWrite(pKey, nUnits, pText, nChars, bOption40, bOption20, nMode);
    }

    int nKeyFromUTF32(unsigned short* pKey, unsigned int nUnits, const wchar_t* pText, unsigned int nChars,
                      int bOption40, int bOption20, int nMode) override
    {
        Log({18, nUnits, nChars, bOption40, bOption20, nMode});
        return nWrite(pKey, nUnits, pText, nChars, bOption40, bOption20, nMode);
    }

    int nCalls() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nCalls;
    }
    HostKeyCall LastCall() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stLast;
    }
    void ClearCalls() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nCalls = 0;
        m_stLast = HostKeyCall{};
    }

private:
    void Log(const HostKeyCall& st)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nCalls;
        m_stLast = st;
    }

    static unsigned short Unit(unsigned u, int nMode)
    {
        return static_cast<unsigned short>(nMode == 1 ? u : ((u >> 8) | (u << 8)));
    }

    template <class T>
    static int nWrite(unsigned short* pKey, unsigned nUnits, const T* pText, unsigned nChars, int bLower,
                      int bUnaccent, int nMode)
    {
        if (pKey == nullptr || nUnits == 0)
            return 0;
        unsigned n = 0;
        for (unsigned i = 0; pText != nullptr && i < nChars; ++i) {
            unsigned c = static_cast<unsigned>(pText[i]);
            if (sizeof(T) == 4 && c > 0x10FFFF)
                c = 0xFFFD;
            if (c == 0)
                break;
            c = Map(c, bLower, bUnaccent);
            if (c > 0xFFFF) {
                if (n + 2 > nUnits - 1)
                    break;
                c -= 0x10000;
                pKey[n++] = Unit(0xD800 + (c >> 10), nMode);
                pKey[n++] = Unit(0xDC00 + (c & 0x3FF), nMode);
            } else {
                if (n + 1 > nUnits - 1)
                    break;
                pKey[n++] = Unit(c, nMode);
            }
        }
        pKey[n] = 0;
        return static_cast<int>(n);
    }

    std::mutex m_mutex;
    int m_nCalls = 0;
    HostKeyCall m_stLast = {};
};

class CHostKeyService final : public IKXForNA {
public:
    void Reserved0() override {}
    void Reserved1() override {}
    void Reserved2() override {}
    void Reserved3() override {}
    void Reserved4() override {}
    void Reserved5() override {}
    void Reserved6() override {}
    IKXUnicodeKey* piGetUnicodeKey() override { return &m_builder; }

private:
    CHostUnicodeKey m_builder;
};

}  // namespace

IKXForNA* HostKeyService()
{
    static CHostKeyService* p = HostKeep(new CHostKeyService);
    return p;
}
