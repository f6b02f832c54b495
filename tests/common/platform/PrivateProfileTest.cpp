// Profile files: reading values, keys and sections; editing in both
// encodings; file names.
#include "common/platform/PrivateProfile.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace {

void Put(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }

std::string Get(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// UTF-16 little-endian with its mark; characters beyond U+FFFF as pairs.
std::string Utf16(const std::wstring& text)
{
    std::string s = "\xFF\xFE";
    auto unit = [&s](unsigned u) {
        s += static_cast<char>(u & 0xFF);
        s += static_cast<char>(u >> 8);
    };
    for (wchar_t c : text) {
        const unsigned u = static_cast<unsigned>(c);
        if (u < 0x10000) {
            unit(u);
        } else {
            unit(0xD800 + ((u - 0x10000) >> 10));
            unit(0xDC00 + ((u - 0x10000) & 0x3FF));
        }
    }
    return s;
}

std::string Utf16(const std::string& ascii)
{
    return Utf16(std::wstring(ascii.begin(), ascii.end()));
}

std::wstring Read(const wchar_t* section, const wchar_t* key, const std::wstring& file, const wchar_t* def = L"dflt",
                  unsigned size = 256)
{
    wchar_t out[256];
    unsigned n = GetPrivateProfileStringW(section, key, def, out, size, file.c_str());
    EXPECT_EQ(n, wcslen(out));
    return out;
}

const char kSample[] =
    "[Main]\n"
    "Width = 10\n"
    "  Height=  20 \n"
    ":Hidden=1\n"
    "Empty =\n"
    "\n"
    "[Other]\n"
    "k=v\n";

}  // namespace

TEST(PrivateProfile, ReadsValuesKeysAndSections)
{
    CTempDir tmp("zt_profile");
    const std::string p = tmp.Path() + "/a.ini";
    const std::wstring wp(p.begin(), p.end());
    Put(p, kSample);
    EXPECT_EQ(Read(L"main", L"WIDTH", wp), L"10");
    EXPECT_EQ(Read(L"Main", L"Height", wp), L"20 ");
    EXPECT_EQ(Read(L"Main", L"Hidden", wp), L"dflt");
    EXPECT_EQ(Read(L"Main", L"Empty", wp), L"");
    EXPECT_EQ(Read(L"Main", L"k", wp), L"dflt");
    EXPECT_EQ(Read(L"Main", nullptr, wp), L"Width\r\nHeight\r\nEmpty\r\n");
    EXPECT_EQ(Read(nullptr, nullptr, wp), L"Main\r\nOther\r\n");
    EXPECT_EQ(Read(L"None", L"x", wp, nullptr), L"");
    EXPECT_EQ(Read(L"Main", L"Width", wp + L".missing"), L"dflt");
    EXPECT_EQ(Read(L"Main", L"Width", wp, L"", 2), L"1");
    EXPECT_EQ(GetPrivateProfileInt(L"Main", L"Width", 7, wp.c_str()), 10);
    EXPECT_EQ(GetPrivateProfileInt(L"Main", L"Nope", -7, wp.c_str()), -7);
    char out[64];
    EXPECT_EQ(GetPrivateProfileStringA("Other", "K", "d", out, 64, p.c_str()), 1u);
    EXPECT_STREQ(out, "v");
}

TEST(PrivateProfile, EditsEightBitFiles)
{
    CTempDir tmp("zt_profile");
    const std::string p = tmp.Path() + "/e.ini";
    const std::wstring wp(p.begin(), p.end());
    Put(p, "[Main]\nwidth = 3\n\n[Last]\na = 1\n");
    // Keys match without regard to case: the line is replaced, not doubled.
    ASSERT_TRUE(WritePrivateProfileStringW(L"Main", L"Width", L"4", wp.c_str()));
    EXPECT_EQ(Get(p), "[Main]\nWidth = 4\n\n[Last]\na = 1\n");
    EXPECT_EQ(Read(L"Main", L"width", wp), L"4");
    ASSERT_TRUE(WritePrivateProfileStringW(L"Main", L"New", L"n", wp.c_str()));
    EXPECT_EQ(Get(p), "[Main]\nWidth = 4\nNew = n\n\n[Last]\na = 1\n");
    ASSERT_TRUE(WritePrivateProfileStringW(L"Last", L"b", L"", wp.c_str()));
    EXPECT_EQ(Get(p), "[Main]\nWidth = 4\nNew = n\n\n[Last]\na = 1\nb = \n");
    ASSERT_TRUE(WritePrivateProfileStringW(L"Main", L"Width", nullptr, wp.c_str()));
    EXPECT_EQ(Get(p), "[Main]\nNew = n\n\n[Last]\na = 1\nb = \n");
    ASSERT_TRUE(WritePrivateProfileStringW(L"Main", nullptr, nullptr, wp.c_str()));
    EXPECT_EQ(Get(p), "[Last]\na = 1\nb = \n");
    ASSERT_TRUE(WritePrivateProfileStringW(L"Fresh", L"x", L"caf\u00e9", wp.c_str()));
    EXPECT_EQ(Get(p), "[Last]\na = 1\nb = \n[Fresh]\nx = caf\xE9\n");
    EXPECT_EQ(Read(L"Fresh", L"x", wp), L"caf\u00e9");
    // A new file is 8-bit.
    const std::string n = tmp.Path() + "/new.ini";
    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "v", n.c_str()));
    EXPECT_EQ(Get(n), "[S]\nk = v\n");
}

TEST(PrivateProfile, EditsUtf16FilesInTheirEncoding)
{
    CTempDir tmp("zt_profile");
    const std::string p = tmp.Path() + "/u.ini";
    const std::wstring wp(p.begin(), p.end());
    Put(p, Utf16("[Main]\nWidth = 1\n"));
    EXPECT_EQ(Read(L"MAIN", L"width", wp), L"1");
    ASSERT_TRUE(WritePrivateProfileStringW(L"Main", L"Width", L"2", wp.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Main", "Other", "x", p.c_str()));
    EXPECT_EQ(Get(p), Utf16("[Main]\nWidth = 2\nOther = x\n"));
    char out[16];
    EXPECT_EQ(GetPrivateProfileStringA("Main", "Other", "", out, 16, p.c_str()), 1u);
    EXPECT_STREQ(out, "x");
}

TEST(PrivateProfile, AValueWrittenIsTheValueReadBack)
{
    struct {
        const char* pszName;
        const char* pszFile;
        const wchar_t* pszSection;
        const wchar_t* pszKey;
        const wchar_t* pszValue;
        bool bEightBit; // the value fits code page 0
    } tab[] = {
        {"header after blanks", " [S]\nk = old\n", L"S", L"k", L"new", true},
        {"key after blanks", "[S]\n  k = old\n", L"S", L"k", L"new", true},
        {"tabs and case", "\t[S]\n\tk=old\n[T]\nk = t\n", L"s", L"K", L"new", true},
        {"next header after blanks", "[S]\nj = 1\n  [T]\nk = old\n", L"T", L"k", L"new", true},
        {"beyond U+FFFF", "[S]\nk = old\n", L"S", L"k", L"\U0001F600 \U00010348!", false},
    };
    CTempDir tmp("zt_profile");
    const std::string p = tmp.Path() + "/rw.ini";
    const std::wstring wp(p.begin(), p.end());
    for (const auto& t : tab) {
        for (bool bUnicode : {false, true}) {
            if (!bUnicode && !t.bEightBit)
                continue;
            SCOPED_TRACE(std::string(t.pszName) + (bUnicode ? ", UTF-16" : ", 8-bit"));
            Put(p, bUnicode ? Utf16(std::string(t.pszFile)) : std::string(t.pszFile));
            const std::wstring strSections = Read(nullptr, nullptr, wp);
            ASSERT_TRUE(WritePrivateProfileStringW(t.pszSection, t.pszKey, t.pszValue, wp.c_str()));
            EXPECT_EQ(Read(t.pszSection, t.pszKey, wp), t.pszValue);
            // The section was found: no second header.
            EXPECT_EQ(Read(nullptr, nullptr, wp), strSections);
            EXPECT_EQ(Read(t.pszSection, nullptr, wp).find(L"k\r\nk"), std::wstring::npos);
            EXPECT_EQ(Get(p).find(bUnicode ? Utf16(std::string("old")).substr(2) : "old"), std::string::npos);
        }
    }
    // Beyond U+FFFF the file holds the pairs themselves.
    Put(p, Utf16(std::string("[S]\n")));
    ASSERT_TRUE(WritePrivateProfileStringW(L"S", L"k", L"\U0001F600", wp.c_str()));
    EXPECT_EQ(Get(p), Utf16(std::wstring(L"[S]\nk = \U0001F600\n")));
    EXPECT_NE(Get(p).find("\x3D\xD8\x00\xDE"), std::string::npos);
    // A header after blanks ends the section it follows when deleting too.
    Put(p, "[S]\nk = 1\n  [T]\nm = 2\n");
    ASSERT_TRUE(WritePrivateProfileStringW(L"S", nullptr, nullptr, wp.c_str()));
    EXPECT_EQ(Get(p), "  [T]\nm = 2\n");
}

TEST(PrivateProfile, FileNames)
{
    const passwd* pw = getpwuid(getuid());
    ASSERT_NE(pw, nullptr);
    const std::string home(pw->pw_dir);
    wchar_t out[261];
    ASSERT_TRUE(__PrivateProfilePatchName(L"bare.ini", out));
    EXPECT_EQ(std::wstring(out), std::wstring(home.begin(), home.end()) + L"/bare.ini");
    ASSERT_TRUE(__PrivateProfilePatchName(L"./here.ini", out));
    EXPECT_STREQ(out, L"./here.ini");
    ASSERT_TRUE(__PrivateProfilePatchName(L"C:\\dir\\x.ini", out));
    EXPECT_STREQ(out, L"C:/dir/x.ini");
    EXPECT_FALSE(__PrivateProfilePatchName(std::wstring(300, L'/').c_str(), out));
    char out8[261];
    ASSERT_TRUE(__PrivateProfilePatchName("a\\b", out8));
    EXPECT_STREQ(out8, "a/b");
    ASSERT_TRUE(bGetVMRCONFPath(out));
    EXPECT_EQ(std::wstring(out), std::wstring(home.begin(), home.end()) + L"/.VMR.conf");
}
