#include "common/values/TQMemoImage.h"

#include "common/text/STR.h"

CTQMemoImage::CTQMemoImage()
    : m_pszNomImage(nullptr), m_pszNomTable(nullptr), m_pszNomRubrique(nullptr), m_pChamp(nullptr),
      m_pCallback(nullptr), m_pContexteKX(nullptr), m_llNumEnr(-1), m_pszNomTableNumEnr(nullptr),
      m_pszNomRubriqueNumEnr(nullptr), m_dwFlags(0), m_pfnSauveTQBin(nullptr), m_pfnGetSourceImage(nullptr),
      m_piImage(nullptr)
{
}

CTQMemoImage::~CTQMemoImage()
{
    _SetText(&m_pszNomImage, nullptr);
    _SetText(&m_pszNomTable, nullptr);
    _SetText(&m_pszNomRubrique, nullptr);
    _SetText(&m_pszNomTableNumEnr, nullptr);
    _SetText(&m_pszNomRubriqueNumEnr, nullptr);
    if (m_piImage != nullptr)
        m_piImage->Release();
    m_piImage = nullptr;
}

void CTQMemoImage::_SetText(wchar_t** ppsz, const wchar_t* psz)
{
    wchar_t* pszNew = psz != nullptr ? STR_pszCreateW(psz) : nullptr;
    STR_DeleteW(*ppsz);
    *ppsz = pszNew;
}

void CTQMemoImage::SetNomImage(const wchar_t* psz) { _SetText(&m_pszNomImage, psz); }
void CTQMemoImage::SetNomTable(const wchar_t* psz) { _SetText(&m_pszNomTable, psz); }
void CTQMemoImage::SetNomRubrique(const wchar_t* psz) { _SetText(&m_pszNomRubrique, psz); }
void CTQMemoImage::SetNomTableNumEnr(const wchar_t* psz) { _SetText(&m_pszNomTableNumEnr, psz); }
void CTQMemoImage::SetNomRubriqueNumEnr(const wchar_t* psz) { _SetText(&m_pszNomRubriqueNumEnr, psz); }

void CTQMemoImage::SetBinData(const CTQBIN& cl)
{
    m_clBinData = cl;
    m_dwFlags |= FLAG_BINDATA;
}

void CTQMemoImage::SetCallbackSauveTQBin(void* pfn) { m_pfnSauveTQBin = reinterpret_cast<PFN_SAUVETQBIN>(pfn); }

void CTQMemoImage::SetCallbackGetSourceImage(void* pfn)
{
    m_pfnGetSourceImage = reinterpret_cast<PFN_GETSOURCEIMAGE>(pfn);
}

void CTQMemoImage::SetTQImage(IImageTQ* pImage)
{
    // The new reference is taken before the old one goes: the same image
    // set twice stays alive.
    if (pImage != nullptr)
        pImage->AddRef();
    if (m_piImage != nullptr)
        m_piImage->Release();
    m_piImage = pImage;
    if (pImage != nullptr)
        m_dwFlags |= FLAG_IMAGE;
    else
        m_dwFlags &= ~FLAG_IMAGE;
}

void CTQMemoImage::SetLoadType(eLOADTYPE eType)
{
    switch (eType) {
    case LOAD_SET:
        m_dwFlags |= FLAG_LOADMODE;
        break;
    case LOAD_CLEAR:
        m_dwFlags &= ~FLAG_LOADMODE;
        break;
    case LOAD_IMAGE:
        m_dwFlags &= ~FLAG_LOADMODE;
        m_dwFlags |= FLAG_IMAGE;
        break;
    default:
        break;
    }
}

CTQBIN* CTQMemoImage::pclGetBinDataEx()
{
    if ((m_dwFlags & FLAG_BINDATA) == 0) {
        if (m_pfnSauveTQBin != nullptr)
            m_pfnSauveTQBin(this);
        else if (m_piImage != nullptr && m_piImage->nGetLevel() > 7)
            m_piImage->bSaveToTQBIN(&m_clBinData);
    }
    return &m_clBinData;
}

void* CTQMemoImage::piGetSourceImage() { return m_pfnGetSourceImage != nullptr ? m_pfnGetSourceImage(this) : nullptr; }
