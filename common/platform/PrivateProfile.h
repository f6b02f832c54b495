// The Windows profile-file interface over text files of "[section]" lines
// followed by "key = value" lines, 8-bit (code page 0) or UTF-16
// little-endian with a byte-order mark; and the per-user file
// "/.VMR.conf" in the home directory that stands for the user profile.
// Each call opens and closes the file itself; nothing is locked.
#pragma once

// Reads a value; with a null key the section's keys, with a null section
// the section names, each followed by CR LF. Result: the characters placed
// in out; the default is copied when the file or the key is missing.
unsigned GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key, const wchar_t* def, wchar_t* out,
                                  unsigned size, const wchar_t* file);
unsigned GetPrivateProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* def, wchar_t* out,
                                 unsigned size, const wchar_t* file);
// File names in 8 bits are UTF-8.
unsigned GetPrivateProfileStringA(const char* section, const char* key, const char* def, char* out,
                                  unsigned size, const char* file);
// Writes or replaces a key; a null value deletes the key, a null key the
// section. A new file is 8-bit.
int WritePrivateProfileStringW(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                               const wchar_t* file);
int WritePrivateProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                              const wchar_t* file);
int WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* file);
// The value read as a decimal number (0 when it holds none).
int GetPrivateProfileInt(const wchar_t* section, const wchar_t* key, int def, const wchar_t* file);

// The same on the per-user file.
unsigned GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* def, wchar_t* out,
                          unsigned size);
int GetProfileInt(const wchar_t* section, const wchar_t* key, int def);
int WriteProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* value);

// The home directory of the real user and "/.VMR.conf" (261 characters);
// false without a password entry or when it does not fit.
bool bGetVMRCONFPath(wchar_t* out);
// A bare name goes to the home directory; backslashes become slashes.
// False when the result does not fit 261 characters.
bool __PrivateProfilePatchName(const wchar_t* name, wchar_t* out);
bool __PrivateProfilePatchName(const char* name, char* out);
