#include "access/driver/NAConnectionDescription.h"

#include "access/driver/INAConnectionDescription.h"
#include "common/text/CodePage.h"

unsigned int CNAConnectionDescription::m_gnCnxGenerator = 0;

CNAConnectionDescription::CNAConnectionDescription(const wchar_t* pszIdentification,
                                                   INAConnectionDescription* piHost)
    : m_nNumber(++m_gnCnxGenerator),
      m_piHost(piHost),
      m_csIdentification(pszIdentification),
      m_bAutoClose(1),
      m_nHostOpens(0),
      m_pclTransaction(nullptr),
      m_nHostCodePage(0),
      m_nCnxCodePage(-1),
      m_eDataSource(DS_GENERIC)
{
    if (m_piHost != nullptr)
        m_piHost->AddRef();
    _InitCodePageFromTQ();
}

CNAConnectionDescription::~CNAConnectionDescription()
{
    if (m_piHost != nullptr)
        m_piHost->Release();
}

const wchar_t* CNAConnectionDescription::pszGetConnectionName() const
{
    const wchar_t* psz = m_piHost != nullptr ? m_piHost->pszGetConnectionName() : nullptr;
    return psz != nullptr ? psz : L"";
}

int CNAConnectionDescription::bAutoCloseEnabled() const
{
    return m_bAutoClose != 0 && m_pclTransaction == nullptr;
}

void CNAConnectionDescription::AddInfoNativeXError(_CXErrorModule32*) {}

int CNAConnectionDescription::bDBTypeUnkwnownByDB(int)
{
    return 0;
}

void CNAConnectionDescription::_InitCodePageFromTQ()
{
    m_nHostCodePage = static_cast<int>(dwGetCodePageFromCharset(STR_nGetCurrentChangeCharset()));
}
