// An image memo of the host: names an image and the table, item and record
// it belongs to, and delivers the image's bytes as a host binary, given
// directly, produced by a host callback, or taken from a host image object.
#pragma once

#include "common/platform/ZTUnknown.h"
#include "common/text/TQBIN.h"

class CTQMemoImage;

// The host's image object; only the operations named here are used, at
// these slots.
class IImageTQ {
public:
    virtual unsigned int AddRef() = 0;   // 0
    virtual unsigned int Release() = 0;  // 1
    virtual void vReserved2() {}
    virtual void vReserved3() {}
    virtual void vReserved4() {}
    virtual void vReserved5() {}
    virtual void vReserved6() {}
    virtual void vReserved7() {}
    virtual int nGetLevel() = 0;         // 8: above 7 the image can be saved
    virtual void vReserved9() {}
    virtual void vReserved10() {}
    virtual void vReserved11() {}
    virtual void vReserved12() {}
    virtual void vReserved13() {}
    virtual void vReserved14() {}
    virtual void vReserved15() {}
    virtual void vReserved16() {}
    virtual void vReserved17() {}
    virtual void vReserved18() {}
    virtual void vReserved19() {}
    virtual void vReserved20() {}
    virtual void vReserved21() {}
    virtual void vReserved22() {}
    virtual void vReserved23() {}
    virtual void vReserved24() {}
    virtual void vReserved25() {}
    virtual void vReserved26() {}
    virtual void vReserved27() {}
    virtual void vReserved28() {}
    virtual int bSaveToTQBIN(CTQBIN* pclOut) = 0; // 29

protected:
    ~IImageTQ() = default;
};

class CTQMemoImage : public CZTUnknown {
public:
    typedef void (*PFN_SAUVETQBIN)(CTQMemoImage* pclHolder);
    typedef void* (*PFN_GETSOURCEIMAGE)(CTQMemoImage* pclHolder);

    enum : unsigned int {
        FLAG_BINDATA = 0x1,
        FLAG_IMAGE = 0x10,
        FLAG_LOADMODE = 0x8000,
    };
    enum eLOADTYPE { LOAD_NOCHANGE = 0, LOAD_SET = 1, LOAD_CLEAR = 2, LOAD_IMAGE = 3 };

    CTQMemoImage();
    CTQMemoImage(const CTQMemoImage&) = delete;
    CTQMemoImage& operator=(const CTQMemoImage&) = delete;

    // ---- Virtual operations, in slot order (0 to 2 are CZTUnknown's) -------
    ~CTQMemoImage() override;
    virtual void SetNomImage(const wchar_t* psz);
    virtual void SetNomTable(const wchar_t* psz);
    virtual void SetNomRubrique(const wchar_t* psz);
    virtual void SetChamp(void* p) { m_pChamp = p; }
    virtual void SetCallback(void* p) { m_pCallback = p; }
    virtual void SetContexteKX(void* p) { m_pContexteKX = p; }
    virtual void SetNumEnr(long long ll) { m_llNumEnr = ll; }
    virtual void SetNomTableNumEnr(const wchar_t* psz);
    virtual void SetNomRubriqueNumEnr(const wchar_t* psz);
    virtual void SetBinData(const CTQBIN& cl);
    virtual void SetCallbackSauveTQBin(void* pfn);
    virtual void SetCallbackGetSourceImage(void* pfn);

    void SetTQImage(IImageTQ* pImage);
    void SetLoadType(eLOADTYPE eType);
    // The binary data, filled first when none was given.
    CTQBIN* pclGetBinDataEx();
    void* piGetSourceImage();

    const wchar_t* pszGetNomImage() const { return m_pszNomImage; }
    const wchar_t* pszGetNomTable() const { return m_pszNomTable; }
    const wchar_t* pszGetNomRubrique() const { return m_pszNomRubrique; }
    const wchar_t* pszGetNomTableNumEnr() const { return m_pszNomTableNumEnr; }
    const wchar_t* pszGetNomRubriqueNumEnr() const { return m_pszNomRubriqueNumEnr; }
    void* pGetChamp() const { return m_pChamp; }
    void* pGetCallback() const { return m_pCallback; }
    void* pGetContexteKX() const { return m_pContexteKX; }
    long long llGetNumEnr() const { return m_llNumEnr; }
    unsigned int dwGetFlags() const { return m_dwFlags; }
    IImageTQ* piGetTQImage() const { return m_piImage; }

private:
    static void _SetText(wchar_t** ppsz, const wchar_t* psz);

    wchar_t* m_pszNomImage;
    wchar_t* m_pszNomTable;
    wchar_t* m_pszNomRubrique;
    void* m_pChamp;
    void* m_pCallback;
    void* m_pContexteKX;
    long long m_llNumEnr;
    wchar_t* m_pszNomTableNumEnr;
    wchar_t* m_pszNomRubriqueNumEnr;
    unsigned int m_dwFlags;
    CTQBIN m_clBinData;
    PFN_SAUVETQBIN m_pfnSauveTQBin;
    PFN_GETSOURCEIMAGE m_pfnGetSourceImage;
    IImageTQ* m_piImage;
};
