// Sortable keys of host values: key bytes whose plain byte-wise comparison
// (memcmp) gives the order of the values, and the room such a key needs.
// CConvertKey prepares a host value (cast to the key's type, data address
// and size, descending order); CKXConvertKey holds the encodings of each
// item type of the host engine's indexes.
#pragma once

class CAny;

// Item types of the host engine's index keys.
enum eITEMTYPE : int {
    KXIT_STRA = 1,       // 8-bit text
    KXIT_I1 = 2,
    KXIT_I2 = 3,
    KXIT_I4 = 4,         // also every host type not listed
    KXIT_I8 = 5,
    KXIT_R4 = 6,
    KXIT_R8 = 7,
    KXIT_UI1 = 8,
    KXIT_UI2 = 9,
    KXIT_UI4 = 10,
    KXIT_UI8 = 11,
    KXIT_STRA2 = 12,     // 8-bit text, second kind
    KXIT_BUFFER = 13,    // no key
    KXIT_MONEY = 14,
    KXIT_DATETIME = 15,
    KXIT_DUREE = 16,
    KXIT_BIN = 17,
    KXIT_CARA = 18,
    KXIT_BOOL = 19,
    KXIT_PSTRW = 20,     // wide text by pointer
    KXIT_STRW = 21,      // wide text
    KXIT_DECIMAL = 22,
};

// Option word of a key.
enum : unsigned short {
    // Wide texts: the sort-weight table; big-endian units; a changed reading
    // of the two (with the engine's builder).
    KXOPT_WEIGHTS = 0x0001,
    KXOPT_BIG_ENDIAN = 0x0002,
    KXOPT_BUILDER_MODE = 0x0080,
    // 8-bit texts: mappings 2, 4 and 1 of the locale service; wide texts:
    // 0x20 and 0x40 ask for the engine's Unicode key builder.
    KXOPT_MAP_2 = 0x0020,
    KXOPT_MAP_4 = 0x0040,
    KXOPT_MAP_1 = 0x0080,
    // Every byte of the key inverted.
    KXOPT_DESCENDING = 0x0400,
};

// Flags of the encoders: wide text given as 32-bit characters.
enum : int {
    KXFLAG_UTF32 = 16,
};

// Sort weights of the UTF-16 units, a permutation, each stored with its
// bytes swapped so that the key bytes in memory are the weight most
// significant byte first.
extern unsigned short tabUCS2FastSort[65536];

class CConvertKey {
public:
    // Encodes the value, cast to nType (0: its own type), into the caller's
    // buffer of nKeySize bytes; nDigits and nDecimals are the integer and
    // decimal digits of a decimal key. Answers the key length. The value is
    // never changed: a NULL or empty value is keyed as an empty wide text.
    static unsigned int nConvertKeyAndGetSize(CAny* pclValue, unsigned char* pbyKey, unsigned int nKeySize,
                                              unsigned short nType, unsigned short nOption, int nDigits,
                                              int nDecimals);
    // The same into a buffer of the computed size from malloc, stored in
    // *ppbyKey (null first); the caller frees it. Out of memory: 0 and no
    // buffer.
    static unsigned int nConvertKeyAndGetSize(CAny* pclValue, unsigned char** ppbyKey, unsigned short nType,
                                              unsigned short nOption, int nDigits, int nDecimals);
    // Inverts every byte of the buffer.
    static void __InvertKey(unsigned char* pbyKey, unsigned int nSize);

private:
    static unsigned int _nConvertKeyAndGetSize(CAny* pclValue, unsigned char* pbyKey, unsigned int nKeySize,
                                               unsigned char** ppbyKey, unsigned short nType,
                                               unsigned short nOption, int nDigits, int nDecimals);
};

class CKXConvertKey {
public:
    // The item type of a host type code.
    static eITEMTYPE eGetItemType(unsigned short nHostType);
    // Key length for a data size (the value's data size for the fixed types).
    static unsigned int nCalculateKeySize(eITEMTYPE eType, unsigned int nSize);
    static unsigned int nCalculateKeySize(unsigned short nHostType, unsigned int nSize);

    // Writes the key of nDataSize bytes of data of the item type into the
    // key buffer; answers the key length (0 for no key). Nothing is written
    // beyond nKeySize bytes nor read beyond nDataSize bytes.
    static unsigned int __nConvertKey(void* pKey, unsigned int nKeySize, const void* pData,
                                      unsigned int nDataSize, eITEMTYPE eType, unsigned short nOption,
                                      int nPrecision, int nScale, unsigned int nCharset, int nFlags);

    // 8-bit text of nLength bytes into the key.
    static unsigned int _nSTR_to_Key(char* pKey, unsigned int nKeySize, const char* pText, unsigned int nLength,
                                     unsigned short nOption, unsigned int nCharset);
    // Wide text of nSize bytes (16-bit units, or 32-bit characters with
    // KXFLAG_UTF32) into a key of nKeySize bytes.
    static unsigned int _nUNICODE_to_Key(unsigned short* pKey, unsigned int nKeySize, const unsigned short* pText,
                                         unsigned int nSize, unsigned short nOption, int nFlags);
};
