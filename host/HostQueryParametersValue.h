// Stand-in for the host's bind variables: named values and directions.
#pragma once

#include "access/sql/INAQueryParametersValue.h"
#include "common/values/Any.h"

#include <map>
#include <memory>
#include <string>

class CHostQueryParametersValue : public INAQueryParametersValue {
public:
    int nGetVersion() const override { return 1; }
    int nGetCompatSince() const override { return 1; }
    int nGetNAVersion() const override { return 0; }
    int nGetNACompatSince() const override { return 0; }
    void NAVersion_EmptySlot_3() override {}
    void ExternalAddRef() override { m_nRef++; }
    unsigned int nExternalRelease() override { return m_nRef > 0 ? --m_nRef : 0; }
    void Reserved8() override {}
    int bHPrepareRequeteCalled() override { return m_bPrepared; }
    const CAny* pclGetValue(const wchar_t* pszName) override
    {
        auto it = m_mapValue.find(pszName != nullptr ? pszName : L"");
        return it != m_mapValue.end() ? it->second.get() : nullptr;
    }
    int nGetParameterDirection(const wchar_t* pszName) override
    {
        auto it = m_mapDirection.find(pszName != nullptr ? pszName : L"");
        return it != m_mapDirection.end() ? it->second : 1;
    }

    // The host's copy of a value under a name.
    CAny& Value(const std::wstring& strName)
    {
        std::unique_ptr<CAny>& p = m_mapValue[strName];
        if (!p)
            p.reset(new CAny());
        return *p;
    }
    void SetDirection(const std::wstring& strName, int n) { m_mapDirection[strName] = n; }

    unsigned int m_nRef = 0;
    int m_bPrepared = 0;

private:
    std::map<std::wstring, std::unique_ptr<CAny>> m_mapValue;
    std::map<std::wstring, int> m_mapDirection;
};
