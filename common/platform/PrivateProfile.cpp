#include "common/platform/PrivateProfile.h"

#include "common/platform/DiskFile.h"
#include "common/platform/UTF8Buffer.h"
#include "common/text/UnicodeCodec.h"
#include "common/text/CodePage.h"
#include "common/text/STR.h"
#include "common/text/SysUtils.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const unsigned PATH_SIZE = 261;

// ---- Characters -------------------------------------------------------------------

template <typename T>
bool _bIsSpace(T c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

wchar_t _cUpper(wchar_t c) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c))); }
char _cUpper(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return u < 0x80 ? static_cast<char>(std::toupper(u)) : c;
}

// s begins with prefix, without regard to case.
template <typename T>
bool _bStartsWithI(const std::basic_string<T>& s, size_t pos, const std::basic_string<T>& prefix)
{
    if (s.size() - pos < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); i++)
        if (_cUpper(s[pos + i]) != _cUpper(prefix[i]))
            return false;
    return true;
}

template <typename T>
size_t _nSkipSpaces(const std::basic_string<T>& s)
{
    size_t i = 0;
    while (i < s.size() && _bIsSpace(s[i]))
        i++;
    return i;
}

// Reading and writing find sections and keys by the same rules, so that a
// value written is the value read back: leading blanks do not count, nor
// does case.

// The header line "[name]".
template <typename T>
bool _bIsHeader(const std::basic_string<T>& line, const std::basic_string<T>& name)
{
    const size_t pos = _nSkipSpaces(line);
    return pos < line.size() && line[pos] == '[' && _bStartsWithI(line, pos + 1, name) &&
           pos + 1 + name.size() < line.size() && line[pos + 1 + name.size()] == ']';
}

// Any header line: it ends the section before it.
template <typename T>
bool _bIsAnyHeader(const std::basic_string<T>& line)
{
    const size_t pos = _nSkipSpaces(line);
    return pos < line.size() && line[pos] == '[' && line.find(static_cast<T>(']'), pos) != std::basic_string<T>::npos;
}

// The line of a key: the key, then '=', a blank or a tab; a line starting
// with a colon is no key's.
template <typename T>
bool _bIsKeyLine(const std::basic_string<T>& line, const std::basic_string<T>& key)
{
    const size_t pos = _nSkipSpaces(line);
    if (pos >= line.size() || line[pos] == ':' || !_bStartsWithI(line, pos, key) || pos + key.size() >= line.size())
        return false;
    const T c = line[pos + key.size()];
    return (c == '=' || c == ' ' || c == '\t') &&
           line.find(static_cast<T>('='), pos + key.size()) != std::basic_string<T>::npos;
}

// ---- The file as lines --------------------------------------------------------------

struct CProfileFile {
    bool bUnicode = false;
    std::vector<std::string> lines8;
    std::vector<std::wstring> linesW;
};

std::vector<std::string> _Split(const std::string& s)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < s.size()) {
        size_t end = s.find('\n', start);
        end = end == std::string::npos ? s.size() : end + 1;
        lines.push_back(s.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::vector<std::wstring> _Split(const std::wstring& s)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < s.size()) {
        size_t end = s.find(L'\n', start);
        end = end == std::wstring::npos ? s.size() : end + 1;
        lines.push_back(s.substr(start, end - start));
        start = end;
    }
    return lines;
}

bool _bReadAll(FILE* f, std::string& data)
{
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0)
        data.append(buf, n);
    return !std::ferror(f);
}

// A UTF-16 file begins with FF FE.
bool _bLoad(FILE* f, CProfileFile& file)
{
    std::string data;
    if (!_bReadAll(f, data))
        return false;
    file.bUnicode = data.size() >= 2 && static_cast<unsigned char>(data[0]) == 0xFF &&
                    static_cast<unsigned char>(data[1]) == 0xFE;
    if (!file.bUnicode) {
        file.lines8 = _Split(data);
        return true;
    }
    const unsigned nUnits = static_cast<unsigned>((data.size() - 2) / 2);
    std::wstring text(nUnits, L'\0');
    if (nUnits > 0)
        text.resize(UTF16LEToWide(reinterpret_cast<const unsigned char*>(data.data()) + 2, nUnits, &text[0]));
    file.linesW = _Split(text);
    return true;
}

bool _bSave(FILE* f, const CProfileFile& file)
{
    std::string data;
    if (!file.bUnicode) {
        for (const std::string& l : file.lines8)
            data += l;
    } else {
        data = "\xFF\xFE";
        std::wstring text;
        for (const std::wstring& l : file.linesW)
            text += l;
        // Two units at most for each character.
        const unsigned nMaxUnits = static_cast<unsigned>(2 * text.size());
        std::vector<unsigned char> units(2 * nMaxUnits + 2);
        const unsigned nUnits =
            WideToUTF16LE(text.data(), static_cast<unsigned>(text.size()), units.data(), nMaxUnits);
        data.append(reinterpret_cast<const char*>(units.data()), 2 * nUnits);
    }
    if (std::fseek(f, 0, SEEK_SET) != 0)
        return false;
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), f) != data.size())
        return false;
    if (std::fflush(f) != 0)
        return false;
    return ftruncate64(fileno(f), static_cast<off64_t>(data.size())) == 0;
}

// ---- Conversions --------------------------------------------------------------------

std::string _str8(const wchar_t* psz)
{
    if (psz == nullptr || psz[0] == 0)
        return std::string();
    int n = WideCharToMultiByte(0, 0, psz, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(0, 0, psz, -1, &s[0], n, nullptr, nullptr);
    s.resize(std::strlen(s.c_str()));
    return s;
}

std::wstring _strW(const char* psz, int len = -1)
{
    if (psz == nullptr || len == 0 || (len < 0 && psz[0] == 0))
        return std::wstring();
    int n = MultiByteToWideChar(0, 0, psz, len, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring s(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(0, 0, psz, len, &s[0], n);
    s.resize(std::wcslen(s.c_str()));
    return s;
}

// ---- The search engine ----------------------------------------------------------------

// Appends text to out (size characters, terminator included) as far as it
// fits.
template <typename T>
void _Cat(std::basic_string<T>& out, unsigned size, const std::basic_string<T>& text)
{
    if (size == 0 || out.size() + 1 >= size)
        return;
    out += text.substr(0, size - 1 - out.size());
}

template <typename T>
unsigned __GetPrivateProfileString(const std::vector<std::basic_string<T>>& lines, const std::basic_string<T>* section,
                                   const std::basic_string<T>* key, std::basic_string<T>& out, unsigned size,
                                   bool* pbFound)
{
    typedef std::basic_string<T> S;
    static const T CRLF[] = {'\r', '\n', 0};
    out.clear();
    *pbFound = false;
    size_t i = 0;
    if (section == nullptr || section->empty()) {
        for (const S& line : lines) {
            if (!_bIsAnyHeader(line))
                continue;
            const size_t p = _nSkipSpaces(line);
            const size_t close = line.find(static_cast<T>(']'), p);
            _Cat(out, size, line.substr(p + 1, close - p - 1) + S(CRLF));
        }
        return static_cast<unsigned>(out.size());
    }
    for (; i < lines.size(); i++)
        if (_bIsHeader(lines[i], *section))
            break;
    if (i == lines.size())
        return 0;
    for (i++; i < lines.size(); i++) {
        const S& line = lines[i];
        const size_t p = _nSkipSpaces(line);
        if (_bIsAnyHeader(line))
            break;
        if (p >= line.size() || line[p] == ':')
            continue;
        if (key != nullptr && !key->empty()) {
            if (!_bIsKeyLine(line, *key))
                continue;
            size_t v = line.find(static_cast<T>('='), p + key->size()) + 1;
            size_t end = line.find_first_of(CRLF, v);
            S value = line.substr(v, end == S::npos ? S::npos : end - v);
            size_t b = 0;
            while (b < value.size() && (value[b] == ' ' || value[b] == '\t'))
                b++;
            value.erase(0, b);
            if (size > 0)
                out = value.substr(0, size - 1);
            *pbFound = true;
            return static_cast<unsigned>(out.size());
        }
        const size_t eq = line.find(static_cast<T>('='), p);
        if (eq == S::npos)
            continue;
        if (size <= out.size() + 1)
            break;
        S name = line.substr(p, eq - p);
        while (!name.empty() && _bIsSpace(name.back()))
            name.pop_back();
        _Cat(out, size, name + S(CRLF));
    }
    return static_cast<unsigned>(out.size());
}

// ---- The edit engine ------------------------------------------------------------------

template <typename T>
std::basic_string<T> _KeyLine(const std::basic_string<T>& key, const std::basic_string<T>& value)
{
    static const T EQ[] = {' ', '=', ' ', 0};
    return key + std::basic_string<T>(EQ) + value + static_cast<T>('\n');
}

// Keys are matched without regard to case, as when reading, so that a
// written value is read back.
template <typename T>
void __WritePrivateProfileString(std::vector<std::basic_string<T>>& lines, const std::basic_string<T>& section,
                                 const std::basic_string<T>* key, const std::basic_string<T>* value)
{
    typedef std::basic_string<T> S;
    size_t h = 0;
    for (; h < lines.size(); h++)
        if (_bIsHeader(lines[h], section))
            break;
    if (h == lines.size()) {
        if (key == nullptr || value == nullptr)
            return;
        if (!lines.empty() && (lines.back().empty() || lines.back().back() != '\n'))
            lines.back() += static_cast<T>('\n');
        S header;
        header += static_cast<T>('[');
        header += section;
        header += static_cast<T>(']');
        header += static_cast<T>('\n');
        lines.push_back(header);
        lines.push_back(_KeyLine(*key, *value));
        return;
    }
    if (key == nullptr) {
        size_t e = h + 1;
        while (e < lines.size() && !_bIsAnyHeader(lines[e]))
            e++;
        lines.erase(lines.begin() + static_cast<long>(h), lines.begin() + static_cast<long>(e));
        return;
    }
    size_t i = h + 1;
    for (; i < lines.size(); i++) {
        const S& line = lines[i];
        if (_bIsKeyLine(line, *key)) {
            if (value == nullptr)
                lines.erase(lines.begin() + static_cast<long>(i));
            else
                lines[i] = _KeyLine(*key, *value);
            return;
        }
        if (_bIsAnyHeader(line) || (!line.empty() && (line[0] == '\n' || line[0] == '\r')))
            break;
    }
    if (value == nullptr)
        return;
    if (i == lines.size() && !lines.empty() && lines.back().back() != '\n')
        lines.back() += static_cast<T>('\n');
    lines.insert(lines.begin() + static_cast<long>(i), _KeyLine(*key, *value));
}

FILE* _OpenForRead(const wchar_t* name)
{
    wchar_t szPath[PATH_SIZE];
    if (!__PrivateProfilePatchName(name, szPath))
        return nullptr;
    return CDiskFile::Unix_fopen(szPath, "r");
}

FILE* _OpenForWrite(const wchar_t* name)
{
    wchar_t szPath[PATH_SIZE];
    if (!__PrivateProfilePatchName(name, szPath))
        return nullptr;
    return CDiskFile::Unix_access(szPath, F_OK) == 0 ? CDiskFile::Unix_fopen(szPath, "r+") : CDiskFile::Unix_fopen(szPath, "w+");
}

std::wstring _strFileW(const char* file)
{
    if (file == nullptr)
        return std::wstring();
    std::vector<wchar_t> buf(std::strlen(file) + 1);
    if (nUTF8ToWideBounded(file, -1, buf.data(), static_cast<unsigned>(buf.size())) < 0)
        return std::wstring();
    return std::wstring(buf.data());
}

bool _bGetHome(std::wstring& home)
{
    const passwd* pw = getpwuid(getuid());
    if (pw == nullptr || pw->pw_dir == nullptr)
        return false;
    home = _strFileW(pw->pw_dir);
    return true;
}

template <typename T>
std::basic_string<T> _strOr(const T* psz)
{
    return psz != nullptr ? std::basic_string<T>(psz) : std::basic_string<T>();
}

}  // namespace

// ---- File names -----------------------------------------------------------------------

bool __PrivateProfilePatchName(const wchar_t* name, wchar_t* out)
{
    if (name == nullptr || out == nullptr)
        return false;
    std::wstring str(name);
    if (str.find(L'\\') == std::wstring::npos && str.find(L'/') == std::wstring::npos) {
        std::wstring home;
        if (_bGetHome(home))
            str = home + L"/" + str;
    }
    for (wchar_t& c : str)
        if (c == L'\\')
            c = L'/';
    if (str.size() >= PATH_SIZE)
        return false;
    std::wmemcpy(out, str.c_str(), str.size() + 1);
    return true;
}

bool __PrivateProfilePatchName(const char* name, char* out)
{
    if (name == nullptr || out == nullptr)
        return false;
    std::string str(name);
    if (str.find('\\') == std::string::npos && str.find('/') == std::string::npos) {
        const passwd* pw = getpwuid(getuid());
        if (pw != nullptr && pw->pw_dir != nullptr)
            str = std::string(pw->pw_dir) + "/" + str;
    }
    for (char& c : str)
        if (c == '\\')
            c = '/';
    if (str.size() >= PATH_SIZE)
        return false;
    std::memcpy(out, str.c_str(), str.size() + 1);
    return true;
}

bool bGetVMRCONFPath(wchar_t* out)
{
    std::wstring home;
    if (out == nullptr || !_bGetHome(home))
        return false;
    home += L"/.VMR.conf";
    if (home.size() >= PATH_SIZE)
        return false;
    std::wmemcpy(out, home.c_str(), home.size() + 1);
    return true;
}

// ---- Reading --------------------------------------------------------------------------

namespace {

// The profile file's lines; false when it cannot be opened or read.
bool _bLoadProfile(const wchar_t* file, CProfileFile& pf)
{
    FILE* f = _OpenForRead(file);
    if (f == nullptr)
        return false;
    const bool bLoaded = _bLoad(f, pf);
    std::fclose(f);
    return bLoaded;
}

// The default cut to the buffer, or the empty text.
template <typename T>
unsigned _nDefault(T* out, unsigned size, const T* def)
{
    if (def == nullptr) {
        out[0] = 0;
        return 0;
    }
    return static_cast<unsigned>(STR_nCut(out, size, def));
}

}  // namespace

unsigned GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key, const wchar_t* def, wchar_t* out,
                                  unsigned size, const wchar_t* file)
{
    if (out == nullptr || size == 0)
        return 0;
    out[0] = 0;
    CProfileFile pf;
    if (_bLoadProfile(file, pf)) {
        bool bFound = false;
        unsigned n;
        const std::wstring strSection = _strOr(section), strKey = _strOr(key);
        if (pf.bUnicode) {
            std::wstring res;
            n = __GetPrivateProfileString(pf.linesW, section != nullptr ? &strSection : nullptr,
                                          key != nullptr ? &strKey : nullptr, res, size, &bFound);
            std::wmemcpy(out, res.c_str(), res.size() + 1);
        } else {
            const std::string s8 = _str8(section), k8 = _str8(key);
            std::string res;
            __GetPrivateProfileString(pf.lines8, section != nullptr ? &s8 : nullptr,
                                      key != nullptr ? &k8 : nullptr, res, size, &bFound);
            std::wstring w = _strW(res.c_str(), static_cast<int>(res.size()));
            if (w.size() >= size)
                w.resize(size - 1);
            std::wmemcpy(out, w.c_str(), w.size() + 1);
            n = static_cast<unsigned>(w.size());
        }
        if (n != 0 || bFound)
            return n;
    }
    return _nDefault(out, size, def);
}

unsigned GetPrivateProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* def, wchar_t* out,
                                 unsigned size, const wchar_t* file)
{
    return GetPrivateProfileStringW(section, key, def, out, size, file);
}

unsigned GetPrivateProfileStringA(const char* section, const char* key, const char* def, char* out,
                                  unsigned size, const char* file)
{
    if (out == nullptr || size == 0)
        return 0;
    out[0] = 0;
    CProfileFile pf;
    if (file != nullptr && _bLoadProfile(_strFileW(file).c_str(), pf)) {
        bool bFound = false;
        std::string res;
        if (pf.bUnicode) {
            const std::wstring sW = _strW(section), kW = _strW(key);
            std::wstring resW;
            __GetPrivateProfileString(pf.linesW, section != nullptr ? &sW : nullptr,
                                      key != nullptr ? &kW : nullptr, resW, size, &bFound);
            res = _str8(resW.c_str());
        } else {
            const std::string s8 = _strOr(section), k8 = _strOr(key);
            __GetPrivateProfileString(pf.lines8, section != nullptr ? &s8 : nullptr,
                                      key != nullptr ? &k8 : nullptr, res, size, &bFound);
        }
        if (res.size() >= size)
            res.resize(size - 1);
        std::memcpy(out, res.c_str(), res.size() + 1);
        if (!res.empty() || bFound)
            return static_cast<unsigned>(res.size());
    }
    return _nDefault(out, size, def);
}

int GetPrivateProfileInt(const wchar_t* section, const wchar_t* key, int def, const wchar_t* file)
{
    wchar_t szDefault[20];
    itow(def, szDefault, 10);
    wchar_t szValue[20];
    GetPrivateProfileStringW(section, key, szDefault, szValue, 20, file);
    return static_cast<int>(std::wcstol(szValue, nullptr, 10));
}

// ---- Writing --------------------------------------------------------------------------

namespace {

// Opens the profile file for update (creating an 8-bit one), hands its
// lines to edit, writes the result back.
template <class F>
int _nEditProfile(const wchar_t* file, F edit)
{
    FILE* f = _OpenForWrite(file);
    if (f == nullptr)
        return 0;
    CProfileFile pf;
    bool bOk = _bLoad(f, pf);
    if (bOk) {
        edit(pf);
        bOk = _bSave(f, pf);
    }
    if (std::fclose(f) != 0)
        bOk = false;
    return bOk ? 1 : 0;
}

}  // namespace

int WritePrivateProfileStringW(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                               const wchar_t* file)
{
    if (section == nullptr)
        return 0;
    return _nEditProfile(file, [&](CProfileFile& pf) {
        if (pf.bUnicode) {
            const std::wstring s(section), k = _strOr(key), v = _strOr(value);
            __WritePrivateProfileString(pf.linesW, s, key != nullptr ? &k : nullptr, value != nullptr ? &v : nullptr);
        } else {
            const std::string s = _str8(section), k = _str8(key), v = _str8(value);
            __WritePrivateProfileString(pf.lines8, s, key != nullptr ? &k : nullptr, value != nullptr ? &v : nullptr);
        }
    });
}

int WritePrivateProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                              const wchar_t* file)
{
    return WritePrivateProfileStringW(section, key, value, file);
}

int WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* file)
{
    if (section == nullptr || file == nullptr)
        return 0;
    return _nEditProfile(_strFileW(file).c_str(), [&](CProfileFile& pf) {
        if (pf.bUnicode) {
            const std::wstring s = _strW(section), k = _strW(key), v = _strW(value);
            __WritePrivateProfileString(pf.linesW, s, key != nullptr ? &k : nullptr, value != nullptr ? &v : nullptr);
        } else {
            const std::string s(section), k = _strOr(key), v = _strOr(value);
            __WritePrivateProfileString(pf.lines8, s, key != nullptr ? &k : nullptr, value != nullptr ? &v : nullptr);
        }
    });
}

// ---- The per-user file -------------------------------------------------------------------

unsigned GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* def, wchar_t* out,
                          unsigned size)
{
    wchar_t szPath[PATH_SIZE];
    if (!bGetVMRCONFPath(szPath)) {
        if (out == nullptr || size == 0)
            return 0;
        return _nDefault(out, size, def);
    }
    return GetPrivateProfileStringW(section, key, def, out, size, szPath);
}

int GetProfileInt(const wchar_t* section, const wchar_t* key, int def)
{
    wchar_t szPath[PATH_SIZE];
    if (!bGetVMRCONFPath(szPath))
        return def;
    return GetPrivateProfileInt(section, key, def, szPath);
}

int WriteProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* value)
{
    wchar_t szPath[PATH_SIZE];
    if (!bGetVMRCONFPath(szPath))
        return 0;
    return WritePrivateProfileStringW(section, key, value, szPath);
}
