// Conversions between wide text and UTF-8 for calls into the system: the
// UTF-8 form lives on the stack when it needs at most 1,023 bytes and in
// one heap block otherwise.
#pragma once

class CUTF8Buffer {
public:
    // Converts a terminated wide text; a null text (or a failed conversion
    // or allocation, errno then set) leaves pszGet() null.
    explicit CUTF8Buffer(const wchar_t* wide);
    ~CUTF8Buffer();
    CUTF8Buffer(const CUTF8Buffer&) = delete;
    CUTF8Buffer& operator=(const CUTF8Buffer&) = delete;

    const char* pszGet() const { return m_psz; }

private:
    enum { LOCAL_SIZE = 1024 };
    char m_szLocal[LOCAL_SIZE];
    char* m_pHeap;
    const char* m_psz;
};

// Decodes len bytes of UTF-8 (-1: up to the terminator) into out, which
// holds n characters, and terminates it. Answers the characters written
// without the terminator, or -1 when the text does not fit (out is then
// the empty text when n > 0).
int nUTF8ToWideBounded(const char* utf8, int len, wchar_t* out, unsigned n);
