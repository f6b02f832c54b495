// Stand-in for the host's connection description: every text settable,
// null kept apart from empty, interface version 3 or 4, cache size and
// parameters. The owner keeps it alive: releases never delete it, and the
// count shows whether the driver gave back every reference it took.
#pragma once

#include "access/driver/INAConnectionDescription.h"

#include <string>
#include <vector>

class CHostConnectionDescription : public INAConnectionDescription {
public:
    // The texts of a description, each null or a text.
    enum eTEXT : int {
        TXT_USER,
        TXT_PASSWORD,
        TXT_DATASOURCE,
        TXT_DESCRIPTION,
        TXT_PROVIDER,
        TXT_EXTENDEDINFO,
        TXT_CONNECTIONNAME,
        TXT_DEFAULTDATABASE,
        TXT_LOGICALNAME,
        NB_TEXTS,
    };

    CHostConnectionDescription() : m_abSet(NB_TEXTS, false), m_astr(NB_TEXTS) {}

    // psz null: the host has no such text.
    void SetText(eTEXT e, const wchar_t* psz)
    {
        m_abSet[e] = psz != nullptr;
        m_astr[e] = psz != nullptr ? psz : L"";
    }
    void SetVersion(int nVersion) { m_nVersion = nVersion; }
    void SetAccess(eNA_ACCESSMODE eAccess) { m_eAccess = eAccess; }
    void SetCacheSize(long long ll) { m_llCacheSize = ll; }
    void SetTimeouts(int nConnection, int nCommand)
    {
        m_nConnectionTimeout = nConnection;
        m_nCommandTimeout = nCommand;
    }
    void SetCursorOptions(int n) { m_nCursorOptions = n; }
    void AddParam(void* p) { m_apParam.push_back(p); }
    // References taken and not given back.
    int nGetRefCount() const { return m_nRef; }
    // Calls of the cache size, asked only from version 4 on.
    int nGetCacheSizeCalls() const { return m_nCacheSizeCalls; }

    int nGetVersion() const override { return m_nVersion; }
    int nGetCompatSince() const override { return 3; }
    int nGetNAVersion() const override { return -1; }
    int nGetNACompatSince() const override { return -1; }
    void NAVersion_EmptySlot_3() override {}
    unsigned int AddRef() override { return static_cast<unsigned int>(++m_nRef); }
    unsigned int Release() override { return static_cast<unsigned int>(m_nRef > 0 ? --m_nRef : 0); }
    const wchar_t* pszGetUserName() override { return _psz(TXT_USER); }
    const wchar_t* pszGetPassword() override { return _psz(TXT_PASSWORD); }
    const wchar_t* pszGetDataSource() override { return _psz(TXT_DATASOURCE); }
    const wchar_t* pszGetDescription() override { return _psz(TXT_DESCRIPTION); }
    eNA_ACCESSMODE eGetAccess() override { return m_eAccess; }
    int nGetNbParam() override { return static_cast<int>(m_apParam.size()); }
    void* pclGetParam(int nIndex) override
    {
        return nIndex >= 0 && nIndex < nGetNbParam() ? m_apParam[static_cast<size_t>(nIndex)] : nullptr;
    }
    const wchar_t* pszGetProvider() override { return _psz(TXT_PROVIDER); }
    int nGetDefaultConnectionTimeout() override { return m_nConnectionTimeout; }
    int nGetDefaultCommandTimeout() override { return m_nCommandTimeout; }
    const wchar_t* pszGetExtendedInfo() override { return _psz(TXT_EXTENDEDINFO); }
    const wchar_t* pszGetConnectionName() override { return _psz(TXT_CONNECTIONNAME); }
    int lGetCursorOptions() override { return m_nCursorOptions; }
    void Reserved16() override {}
    const wchar_t* pszGetDefaultDataBase() override { return _psz(TXT_DEFAULTDATABASE); }
    long long llGetCacheSize() override
    {
        m_nCacheSizeCalls++;
        return m_llCacheSize;
    }
    void Reserved19() override {}
    void Reserved20() override {}
    const wchar_t* pszGetLogicalConnectionName() override { return _psz(TXT_LOGICALNAME); }

private:
    const wchar_t* _psz(eTEXT e) const { return m_abSet[e] ? m_astr[e].c_str() : nullptr; }

    std::vector<bool> m_abSet;
    std::vector<std::wstring> m_astr;
    std::vector<void*> m_apParam;
    int m_nVersion = 4;
    eNA_ACCESSMODE m_eAccess = static_cast<eNA_ACCESSMODE>(0);
    long long m_llCacheSize = -2;
    int m_nConnectionTimeout = 15;
    int m_nCommandTimeout = 30;
    int m_nCursorOptions = 0;
    int m_nRef = 0;
    int m_nCacheSizeCalls = 0;
};
