// A comma-separated list of column names, for INSERT column lists and index
// creation: one wide buffer grown in steps of 1024 characters, always
// NUL-terminated, and the count of names added.
#pragma once

class CNAStatement;

class CColumnList {
public:
    CColumnList();
    ~CColumnList();
    CColumnList(const CColumnList&) = delete;
    CColumnList& operator=(const CColumnList&) = delete;

    // Length and count back to 0; the buffer stays.
    void Empty();
    // "," when a name was added before, then the name (null or empty adds
    // only the separator); one more name. 0 when the buffer cannot grow (the
    // list is then unchanged).
    int AddColumn(const wchar_t* pszName);
    // The formatted name of every column of the statement's record that the
    // define mode accepts; automatic identifiers only when bWithAutoId. 0
    // when the buffer cannot grow.
    int BuildColumnList(CNAStatement* pclStatement, int bWithAutoId);

    // The text ("" before any name).
    const wchar_t* pszGet() const { return m_pszText != nullptr ? m_pszText : L""; }
    unsigned int nGetLength() const { return m_nLength; }
    unsigned int nGetCapacity() const { return m_nCapacity; }
    int nGetCount() const { return m_nCount; }

private:
    int _bAppend(const wchar_t* pszText, unsigned int nLength);

    wchar_t* m_pszText;      // C heap
    unsigned int m_nLength;  // characters, terminator excluded
    unsigned int m_nCapacity;
    unsigned int m_nStep;
    int m_nCount;
};
