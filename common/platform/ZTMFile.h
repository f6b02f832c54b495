// The message file: numbered texts behind a sorted index, loaded by number.
#pragma once

#include "common/platform/ZTFile.h"

class CTString;

#pragma pack(push, 4)
struct STOffsetRessource {
    uint32_t dwId;
    uint64_t qwOffset;
};
#pragma pack(pop)
static_assert(sizeof(STOffsetRessource) == 12, "an index entry is 12 bytes");

class CZTMFile : public CZTFile {
public:
    CZTMFile();
    ~CZTMFile() override;

    // The header, then the version and the skipped block.
    int bReadHeader(long long* pllPosition) override;

    // Loads the index once; a failed load is not tried again.
    int _bChargeIndex();
    // The file offset of a text record, 0 when the number is absent.
    long long __oGetOffsetRessource(uint32_t dwId);
    int bLoadString(uint32_t dwId, CTString* pclText);
    // The record's byte length (0 on failure); the text cut to size - 1
    // characters.
    int nLoadString(uint32_t dwId, wchar_t* pszBuffer, int nSize);
    int bVerifieFormat(const wchar_t* pszPath);
    void Purge();

    uint32_t dwGetVersion() const { return m_dwVersion; }
    unsigned dwGetCodePage() const { return m_nCodePage; }
    uint32_t dwGetIndexCount() const { return m_dwIndexCount; }

private:
    static int __nCompareRessource(const void* a, const void* b);
    // The bytes of a text record; false when any step fails.
    bool _bReadRecord(uint32_t dwId, char** ppData, uint32_t* pnLength);

    uint32_t m_dwBlockSize;
    uint64_t m_qwBaseOffset;
    uint32_t m_dwIndexCount;
    STOffsetRessource* m_pIndex;
    uint32_t m_dwVersion;
    unsigned m_nCodePage;
    int m_bIndexTried;
};
