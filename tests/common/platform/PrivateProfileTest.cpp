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

// UTF-16 little-endian with its mark.
std::string Utf16(const std::string& ascii)
{
    std::string s = "\xFF\xFE";
    for (char c : ascii) {
        s += c;
        s += '\0';
    }
    return s;
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
