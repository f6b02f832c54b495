// Code tables of the packed message texts, shared by the build-time packer
// and the module's unpacker. A symbol s of 8 and above stands for entry
// s - 8 of the table of the charset in force. Each table is sorted by byte
// value so that the packer can search it; the fourth has 30 entries, its
// symbols 38 and 39 being the escapes to raw bytes.
#pragma once

// Charset 0: lower-case text and its punctuation.
inline constexpr unsigned char tabCharset1[32] = {
    0x20, 0x22, 0x25, 0x27, 0x2C, 0x2E, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j',
    'k', 'l', 'm', 'n', 'o', 'p', 'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z'};

// Charset 1: capitals, line ends and the rest of the usual punctuation.
inline constexpr unsigned char tabCharset2[32] = {
    0x0A, 0x0D, 0x28, 0x29, 0x2D, 0x3A, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J',
    'K', 'L', 'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z'};

// Charset 2: digits and symbols.
inline constexpr unsigned char tabCharset3[32] = {
    0x09, 0x21, 0x23, 0x24, 0x26, 0x2A, 0x2B, 0x2F, '0', '1', '2', '3', '4', '5', '6', '7',
    '8', '9', 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x5B, 0x5C, 0x5D, 0x5F, 0x7B, 0x7C, 0x7D, 0x7E};

// Charset 3: the remaining ASCII marks and the UTF-8 bytes of accented Latin
// letters, the section sign and typographic quotes. Two unused places.
inline constexpr unsigned char tabCharset4[32] = {
    0x5E, 0x60, 0x80, 0x87, 0x88, 0x89, 0x93, 0x94, 0x99, 0x9C, 0x9D, 0xA0, 0xA2, 0xA6, 0xA7, 0xA8,
    0xA9, 0xAA, 0xAB, 0xAE, 0xAF, 0xB0, 0xB4, 0xB9, 0xBB, 0xBC, 0xC2, 0xC3, 0xC5, 0xE2, 0xFF, 0xFF};

inline constexpr const unsigned char* tabCharsets[4] = {tabCharset1, tabCharset2, tabCharset3,
                                                        tabCharset4};
// Entries in use in each table.
inline constexpr int tabCharsetSize[4] = {32, 32, 32, 30};

// Symbols of the packed form.
enum : int {
    RESPACK_SHIFT_FIRST = 0,       // 0-3: one-shot shift to charset 0-3
    RESPACK_SET_FIRST = 4,         // 4-7: persistent charset 0-3
    RESPACK_CHAR_FIRST = 8,        // 8-39: table entry s - 8
    RESPACK_ESCAPE_BYTE = 38,      // in charset 3: one raw byte follows the pair
    RESPACK_ESCAPE_RUN = 39,       // in charset 3: a count byte and that many raw bytes
    RESPACK_SYMBOLS = 40,          // symbols are base-40 digits
    RESPACK_ESCAPE_CHARSET = 3,
};
