// The letters and digits of code page 1252 as published: ASCII letters and
// digits, the eight letters of 0x80-0x9F, the superscript digits and the
// accented letters but for the multiplication and division signs.
#pragma once

inline bool bIsAlphaNumeric1252(int c)
{
    switch (c) {
    case 0x83: case 0x8A: case 0x8C: case 0x8E: case 0x9A: case 0x9C: case 0x9E: case 0x9F:
    case 0xB2: case 0xB3: case 0xB9:
        return true;
    default:
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               (c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7);
    }
}
