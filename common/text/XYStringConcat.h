// Append buffers: growable C-heap text of one width (bytes or 32-bit
// characters) for building long texts such as SQL statements, with appends
// of text in other widths and code pages and of numbers.
//
// The four fields are read and written directly by their owners (an owner
// empties a buffer by setting its length to 0) and stay in this order. A
// length of 0 is the empty text whatever the buffer holds; otherwise the unit
// at index length is the terminator after every change made here.
//
// Counts of -1 mean up to the terminator; other counts below 1 add nothing,
// as does a null source. A source that lies inside the buffer itself may be
// appended. Allocation failure, or a size that would not fit 32 bits, throws
// std::bad_alloc and leaves the text as it was.
#pragma once

#include <cstddef>
#include <cwchar>

template <class T>
class CXYStringConcat {
public:
    T* m_pBuffer = nullptr;    // C heap, capacity + 1 units; null until the first growth
    unsigned m_nLength = 0;    // units of text in use
    unsigned m_nCapacity = 0;  // units before the terminator
    unsigned m_nStep = 1024;   // growth step in units

    // An empty C string of the width, read in place of an empty buffer.
    static const T ChaineVide[1];

    CXYStringConcat() = default;
    CXYStringConcat(const CXYStringConcat&) = delete;
    CXYStringConcat& operator=(const CXYStringConcat&) = delete;
    ~CXYStringConcat();

    // The text; ChaineVide when the length is 0. Never null.
    const T* pszGet() const { return m_nLength == 0 ? ChaineVide : m_pBuffer; }

    // ---- Appends ------------------------------------------------------------
    // n units as they are.
    void Add(const T* s, int n);
    void Add(const T* s);
    // Wide text; the 8-bit buffer converts it to code page cp, the wide one
    // copies it.
    void AddWide(const wchar_t* s, int n, unsigned cp);
    // 8-bit text of code page cp; the 8-bit buffer copies the bytes, the wide
    // one converts them.
    void AddAnsi(const char* s, int n, unsigned cp);
    // 8-bit text of code page cp as UTF-8 (the wide buffer holds no UTF-8: it
    // converts as AddAnsi does).
    void AddAnsiToUTF8(const char* s, int n, unsigned cp);

    // Decimal; a positive value is left-padded with '0' to width characters
    // unless width is -1.
    void AddNumber(int v, int width);
    void AddNumber(long long v, int width);
    // Upper-case hexadecimal of the type's full width (2, 4, 8, 16 digits).
    void AddNumberHexa(unsigned char v);
    void AddNumberHexa(unsigned short v);
    void AddNumberHexa(unsigned int v);
    void AddNumberHexa(unsigned long long v);
    // Eight digits '0'/'1', bit 7 first when bMsbFirst is non-zero, else bit 0
    // first.
    void AddNumberBinary(unsigned char v, int bMsbFirst);

    // ---- Queries and in-place changes ---------------------------------------
    bool bEstEgal(const T* s) const;
    // Index of the first occurrence at or after start (0 .. length); -1 when
    // the buffer is empty, start is out of range or nothing is found.
    int nPos(const T* s, int start) const;
    int nPos(T c, int start) const;
    void Majuscule();
    // Replaces every occurrence of the fromLen units of from found at or
    // after start by the toLen units of to (null or no units: removal).
    // Replaced text is never searched again.
    void Remplace(const T* from, int fromLen, const T* to, int toLen, int start);

    // ---- Helpers --------------------------------------------------------------
    // Pads the terminated text in place with leading '0' up to width units;
    // text must have room for width units and a terminator.
    static void _AddPrefix0(T* text, int width);
    // Converts n bytes of UTF-8 into dest, which has room for n units and a
    // terminator; the 8-bit form converts to code page cp. Answers the units
    // produced (0 on failure).
    static int _nUTF8ToX(const char* s, int n, T* dest, int cp);

    // Makes room for nNeeded more units after the text, by the growth rule:
    // capacity becomes ((length + needed) / step + 1) x step. When
    // *ppSource points into the buffer it is moved with it.
    void _Reserve(unsigned long long nNeeded, const void** ppSource = nullptr);
    // Writes the terminator at the length (when there is a buffer).
    void _Termine()
    {
        if (m_pBuffer != nullptr)
            m_pBuffer[m_nLength] = 0;
    }
};

extern template class CXYStringConcat<char>;
extern template class CXYStringConcat<wchar_t>;
