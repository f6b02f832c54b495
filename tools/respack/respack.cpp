// respack: packs the module's message catalogue into the C++ source of its
// resource block.
//
//   respack Messages.tsv ResourceBlock.cpp
//
// The catalogue holds one message a line: number, argument kinds, text,
// separated by tabs ('#' starts a comment line). Kinds are one letter per
// argument of the text's format, in order: s wide string, S 8-bit string,
// d signed integer, u unsigned integer; "-" for none. Texts are UTF-8 with
// the escapes \n \r \t and \\. A text whose directives do not match its
// kinds stops the build, as does a text that is not UTF-8 or holds a NUL,
// a repeated or out-of-range number and a text too long for its record.
//
// Each text is stored as UTF-8 and packed three symbols to a pair of bytes
// with the code tables of ResCharsets.h; bytes outside the tables go raw
// after an escape in charset 3.

#include "common/platform/ResCharsets.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Message {
    unsigned nId;
    std::string kinds;
    std::string text;   // UTF-8, escapes resolved
    int nLine;
};

[[noreturn]] void Fail(const std::string& where, const std::string& why)
{
    std::cerr << where << ": " << why << "\n";
    std::exit(1);
}

bool Unescape(const std::string& in, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (++i == in.size())
            return false;
        switch (in[i]) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '\\': out += '\\'; break;
        default: return false;
        }
    }
    return true;
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF)
// without NUL: the module reads a text up to its first NUL and cannot read
// one that is not UTF-8, so such a message would be lost at run time.
bool bReadableText(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 0)
            return false;
        if (c < 0x80) {
            ++i;
            continue;
        }
        // Continuation bytes after the lead byte.
        const size_t n = c >= 0xC2 && c <= 0xDF ? 1
                         : c >= 0xE0 && c <= 0xEF ? 2
                         : c >= 0xF0 && c <= 0xF4 ? 3
                                                  : 0;
        if (n == 0 || text.size() - i <= n)
            return false;
        unsigned cp = c & (0x3F >> n);
        for (size_t k = 1; k <= n; ++k) {
            const unsigned char t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        const unsigned lowest[4] = {0, 0x80, 0x800, 0x10000};
        if (cp < lowest[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

// The argument kinds that the Windows-rule directives of a text consume,
// or false for a directive the catalogue does not allow.
bool KindsOfText(const std::string& text, std::string& kinds)
{
    kinds.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        if (++i == text.size())
            return false;
        if (text[i] == '%')
            continue;
        while (i < text.size() && std::string("-+ #0").find(text[i]) != std::string::npos)
            ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        if (i < text.size() && text[i] == '.') {
            ++i;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                ++i;
        }
        if (i == text.size())
            return false;
        bool bShort = false;
        if (text[i] == 'h') {
            bShort = true;
            if (++i == text.size())
                return false;
        }
        switch (text[i]) {
        case 's': kinds += bShort ? 'S' : 's'; break;
        case 'S': if (bShort) return false; kinds += 'S'; break;
        case 'd': case 'i': if (bShort) return false; kinds += 'd'; break;
        case 'u': case 'x': case 'X': case 'o': if (bShort) return false; kinds += 'u'; break;
        default: return false;
        }
    }
    return true;
}

std::vector<Message> ReadCatalogue(const char* pszPath)
{
    std::ifstream in(pszPath, std::ios::binary);
    if (!in)
        Fail(pszPath, "cannot be read");
    std::vector<Message> messages;
    std::map<unsigned, int> seen;
    std::string line;
    int nLine = 0;
    while (std::getline(in, line)) {
        ++nLine;
        const std::string where = std::string(pszPath) + ":" + std::to_string(nLine);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const size_t t1 = line.find('\t');
        const size_t t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
        if (t2 == std::string::npos)
            Fail(where, "three tab-separated columns expected");
        Message m;
        m.nLine = nLine;
        const std::string number = line.substr(0, t1);
        char* pEnd = nullptr;
        const unsigned long n = std::strtoul(number.c_str(), &pEnd, 10);
        if (number.empty() || *pEnd != 0 || n == 0 || n > 0xFFFF)
            Fail(where, "message number out of 1..65535: " + number);
        m.nId = static_cast<unsigned>(n);
        if (!seen.emplace(m.nId, nLine).second)
            Fail(where, "message " + number + " already stands on line " + std::to_string(seen[m.nId]));
        m.kinds = line.substr(t1 + 1, t2 - t1 - 1);
        if (m.kinds == "-")
            m.kinds.clear();
        else if (m.kinds.empty() || m.kinds.find_first_not_of("sSdu") != std::string::npos)
            Fail(where, "argument kinds must be letters of sSdu, or -");
        if (!Unescape(line.substr(t2 + 1), m.text))
            Fail(where, "unknown escape in the text");
        if (!bReadableText(m.text))
            Fail(where, "the text is not UTF-8 or holds a NUL character");
        std::string found;
        if (!KindsOfText(m.text, found))
            Fail(where, "a directive of the text is not allowed");
        if (found != m.kinds)
            Fail(where, "the text's directives take \"" + found + "\", the kinds say \"" + m.kinds + "\"");
        messages.push_back(std::move(m));
    }
    std::sort(messages.begin(), messages.end(),
              [](const Message& a, const Message& b) { return a.nId < b.nId; });
    return messages;
}

int IndexIn(int charset, unsigned char by)
{
    const unsigned char* tab = tabCharsets[charset];
    const unsigned char* end = tab + tabCharsetSize[charset];
    const unsigned char* p = std::lower_bound(tab, end, by);
    return p != end && *p == by ? static_cast<int>(p - tab) : -1;
}

class CPacker {
public:
    std::vector<unsigned char> Pack(const std::string& text)
    {
        m_out.clear();
        m_pending.clear();
        int charset = 0;
        const size_t n = text.size();
        for (size_t i = 0; i < n;) {
            const unsigned char by = static_cast<unsigned char>(text[i]);
            int index = IndexIn(charset, by);
            if (index >= 0) {
                Symbol(RESPACK_CHAR_FIRST + index);
                ++i;
                continue;
            }
            int other = -1;
            for (int c = 0; c < 4 && other < 0; ++c)
                if (c != charset && IndexIn(c, by) >= 0)
                    other = c;
            if (other >= 0) {
                // Switch for good when the next byte wants the same charset.
                const bool bStay = i + 1 < n &&
                                   IndexIn(other, static_cast<unsigned char>(text[i + 1])) >= 0 &&
                                   IndexIn(charset, static_cast<unsigned char>(text[i + 1])) < 0;
                if (bStay) {
                    Symbol(RESPACK_SET_FIRST + other);
                    charset = other;
                } else {
                    Symbol(RESPACK_SHIFT_FIRST + other);
                }
                Symbol(RESPACK_CHAR_FIRST + IndexIn(other, by));
                ++i;
                continue;
            }
            // Raw bytes: escapes are read in charset 3, set for good so that
            // no one-shot shift is pending across the raw bytes.
            if (charset != RESPACK_ESCAPE_CHARSET) {
                Symbol(RESPACK_SET_FIRST + RESPACK_ESCAPE_CHARSET);
                charset = RESPACK_ESCAPE_CHARSET;
            }
            size_t j = i;
            while (j < n && j - i < 255 && !bInAnyTable(static_cast<unsigned char>(text[j])))
                ++j;
            // The reader drops the rest of the escape's pair and takes the
            // raw bytes from the byte after it, so the escape ends its group.
            Symbol(j - i == 1 ? RESPACK_ESCAPE_BYTE : RESPACK_ESCAPE_RUN);
            EndGroup();
            if (j - i > 1)
                m_out.push_back(static_cast<unsigned char>(j - i));
            m_out.insert(m_out.end(), text.begin() + static_cast<long>(i),
                         text.begin() + static_cast<long>(j));
            i = j;
        }
        if (m_pending.size() == 1)
            m_out.push_back(static_cast<unsigned char>(m_pending[0] + 1));
        else
            EndGroup();
        return m_out;
    }

private:
    static bool bInAnyTable(unsigned char by)
    {
        for (int c = 0; c < 4; ++c)
            if (IndexIn(c, by) >= 0)
                return true;
        return false;
    }

    void Symbol(int s)
    {
        m_pending.push_back(s);
        if (m_pending.size() == 3)
            FlushPair();
    }

    // Writes the group begun, if any: a group that Symbol has just written
    // in full must not be followed by a pair of padding.
    void EndGroup()
    {
        if (!m_pending.empty())
            FlushPair();
    }

    // Writes the pending symbols as one pair; a short group is completed
    // with one-shot shifts, which change nothing when nothing follows them
    // and are dropped after an escape.
    void FlushPair()
    {
        while (m_pending.size() < 3)
            m_pending.push_back(RESPACK_SHIFT_FIRST);
        const int v = m_pending[0] * 1600 + m_pending[1] * 40 + m_pending[2];
        m_out.push_back(static_cast<unsigned char>(v / 255 + 1));
        m_out.push_back(static_cast<unsigned char>(v % 255 + 1));
        m_pending.clear();
    }

    std::vector<unsigned char> m_out;
    std::vector<int> m_pending;
};

void Le16(std::vector<unsigned char>& v, unsigned n)
{
    v.push_back(static_cast<unsigned char>(n & 0xFF));
    v.push_back(static_cast<unsigned char>((n >> 8) & 0xFF));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: respack Messages.tsv ResourceBlock.cpp\n";
        return 2;
    }
    const std::vector<Message> messages = ReadCatalogue(argv[1]);
    if (messages.empty())
        Fail(argv[1], "no message");

    std::vector<unsigned char> block;
    CPacker packer;
    for (const Message& m : messages) {
        const std::vector<unsigned char> packed = packer.Pack(m.text);
        const size_t nRecord = 7 + packed.size();
        if (nRecord > 0xFFFF)
            Fail(std::string(argv[1]) + ":" + std::to_string(m.nLine), "text too long");
        Le16(block, static_cast<unsigned>(nRecord));
        Le16(block, m.nId);
        block.push_back(0);   // flags: UTF-8, usage 0
        Le16(block, static_cast<unsigned>(packed.size()));
        block.insert(block.end(), packed.begin(), packed.end());
    }
    Le16(block, 0);

    std::ostringstream out;
    out << "// Generated by respack from the message catalogue; do not edit.\n"
        << "#include \"common/platform/ResAnsi32.h\"\n\n"
        << "// " << messages.size() << " records, " << block.size() << " bytes.\n"
        << "const unsigned char _pbyBufferRes32[" << block.size() << "] = {";
    for (size_t i = 0; i < block.size(); ++i) {
        if (i % 16 == 0)
            out << "\n   ";
        char sz[8];
        std::snprintf(sz, sizeof sz, " 0x%02X,", block[i]);
        out << sz;
    }
    out << "\n};\n";

    // Written through a temporary so that a failed run leaves no half file.
    const std::string tmp = std::string(argv[2]) + ".tmp";
    {
        std::ofstream file(tmp, std::ios::binary | std::ios::trunc);
        if (!(file << out.str()))
            Fail(tmp, "cannot be written");
    }
    if (std::rename(tmp.c_str(), argv[2]) != 0)
        Fail(argv[2], "cannot be written");
    return 0;
}
