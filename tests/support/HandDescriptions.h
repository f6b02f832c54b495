// Table descriptions made by hand and filed in a host catalogue, for the
// tests of query parses: items of a chosen description version, with the
// keys and NULL permission a test tells.
#pragma once

#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NaDriver.h"
#include "access/sql/NACommand.h"
#include "common/values/NACnvVariant.h"
#include "host/parse/HostSQLParse.h"

#include <initializer_list>
#include <string>

extern "C" int bInitLibrary(HINSTANCE hModule);

struct SHandItem {
    const wchar_t* pszName;
    eNA_ITEMTYPE eType;
    unsigned short nKeyFlags;  // CNAItemDescription::KF_*
    bool bNullable;
};

// A GROUP BY entry's fields in slot order, joined by "|".
inline std::wstring GroupFields(IInfoGroupe* pi)
{
    const tagRECT st = pi->stGetPosition();
    return std::wstring(pi->pszGetAlias()) + L"|" + std::to_wstring(pi->bIsAvecTable()) + L"|" + pi->pszGetNomTable() +
           L"|" + pi->pszGetNomRubrique() + L"|" + std::to_wstring(st.left) + L"-" + std::to_wstring(st.right) + L"|" +
           pi->pszGetNomFichier() + L"|" + pi->pszGetNomRubriqueAlias();
}

// Makes items that answer the version it is told and counts those alive,
// and the cells, parameters and commands it makes.
class CHandDriver : public CNADriver {
public:
    template <class T>
    class TCounted : public T {
    public:
        template <class... A>
        TCounted(int* pnLive, A... a) : T(a...), m_pnLive(pnLive)
        {
            (*m_pnLive)++;
        }
        ~TCounted() override { (*m_pnLive)--; }

    private:
        int* m_pnLive;
    };
    CNAConvertVariant* pclAllocVariant(CNAError* pError, CNAConnectionDescription* pCnx) override
    {
        return new TCounted<CNAConvertVariant>(&m_nLiveCells, pError, pCnx);
    }
    CNAParameter* pclAllocParameter(CNAConvertVariant* pCell, unsigned int nPosition, unsigned int nFlags,
                                    const wchar_t* pszName) override
    {
        return new TCounted<CNAParameter>(&m_nLiveParameters, pCell, nPosition, nFlags, pszName);
    }
    CNACommand* pclAllocCommand(CNAError* pError, CNAConnectionDescription* pCnx) override
    {
        return new TCounted<CNACommand>(&m_nLiveCommands, pError, pCnx);
    }
    int m_nLiveCells = 0;
    int m_nLiveParameters = 0;
    int m_nLiveCommands = 0;

    class CItem : public CNAItemDescription {
    public:
        explicit CItem(CHandDriver* pDriver) : m_pDriver(pDriver), m_nVersion(pDriver->m_nItemVersion)
        {
            m_pDriver->m_nLiveItems++;
        }
        ~CItem() override { m_pDriver->m_nLiveItems--; }
        int nGetVersion() const override { return m_nVersion; }

    private:
        CHandDriver* m_pDriver;
        int m_nVersion;
    };

    CNAItemDescription* pclAllocItemDescription() override { return new CItem(this); }

    int m_nItemVersion = 9;
    int m_nLiveItems = 0;
};

// The driver of the hand-made tables (the process's driver while it lives)
// and the catalogue they are filed in.
class CHandCatalogue {
public:
    CHandCatalogue()
    {
        bInitLibrary(nullptr);
        m_clHold.p = new CHandDriver;
        m_clHold.p->ExternalAddRef();
        m_clHold.p->bInitDriver();
        CNADriver::s_pclDriver = m_clHold.p;
    }

    // A table of these items filed under its two names; the catalogue holds
    // the only reference.
    CNADataSourceDescription* pclAdd(const wchar_t* pszLogical, const wchar_t* pszPhysical,
                                     std::initializer_list<SHandItem> tabItem, int nItemVersion = 9)
    {
        CHandDriver* pDriver = m_clHold.p;
        pDriver->m_nItemVersion = nItemVersion;
        CNADataSourceDescription* p = pDriver->pclAllocDataSourceDescription(nullptr, pDriver->pclGetError());
        p->AddRef();
        p->SetLogicalName(pszLogical);
        p->SetDBName(pszPhysical);
        for (const SHandItem& st : tabItem) {
            const bool bText = st.eType == NA_IT_TEXTE || st.eType == NA_IT_UNICODE;
            p->bAddItem(st.pszName, pszLogical, st.pszName, 1, bText ? 20 : 8, st.eType, -1,
                        st.nKeyFlags != 0 ? static_cast<int>(p->nGetNumKeys()) : -1, st.nKeyFlags, 0, 0);
            p->pclNAGetItemNoRef(static_cast<int>(p->nGetNumItems()) - 1)->SetNullable(st.bNullable);
        }
        p->UpdateRecordSize();
        m_clCatalogue.Add(pszLogical, pszPhysical, p);
        p->nRelease();
        return p;
    }
    CHandDriver* pDriver() const { return m_clHold.p; }

private:
    // Goes last: the catalogue's descriptions go before the driver.
    struct SHold {
        CHandDriver* p = nullptr;
        ~SHold()
        {
            CNADriver::s_pclDriver = nullptr;
            p->nExternalRelease();
        }
    } m_clHold;

public:
    CHostCatalogue m_clCatalogue;
};
