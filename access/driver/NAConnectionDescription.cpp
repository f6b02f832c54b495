#include "access/driver/NAConnectionDescription.h"

#include "common/text/CodePage.h"

CNAConnectionDescription::CNAConnectionDescription()
    : m_nHostCodePage(0), m_nCnxCodePage(-1), m_eDataSource(DS_GENERIC)
{
    _InitCodePageFromTQ();
}

CNAConnectionDescription::~CNAConnectionDescription() {}

void CNAConnectionDescription::AddInfoNativeXError(_CXErrorModule32*) {}

int CNAConnectionDescription::bDBTypeUnkwnownByDB(int)
{
    return 0;
}

void CNAConnectionDescription::_InitCodePageFromTQ()
{
    m_nHostCodePage = static_cast<int>(dwGetCodePageFromCharset(STR_nGetCurrentChangeCharset()));
}
