// The image memo holder: owned names, the image object's references, the
// load-mode flags and the three ways the binary data is produced.
#include "common/values/TQMemoImage.h"

#include <gtest/gtest.h>

namespace {

class CFakeImage : public IImageTQ {
public:
    unsigned int AddRef() override { return ++m_nRefs; }
    unsigned int Release() override { return --m_nRefs; }
    int nGetLevel() override { return m_nLevel; }
    int bSaveToTQBIN(CTQBIN* pclOut) override
    {
        m_nSaves++;
        return pclOut->nAssign(reinterpret_cast<const unsigned char*>("img"), 3) == STRMEM_OK;
    }
    int m_nRefs = 0;
    int m_nLevel = 8;
    int m_nSaves = 0;
};

int g_nSaveCalls = 0;
void SaveCallback(CTQMemoImage* p)
{
    g_nSaveCalls++;
    p->SetBinData(CTQBIN(reinterpret_cast<const unsigned char*>("cb"), 2));
}

void* SourceCallback(CTQMemoImage* p) { return p; }

std::string Bytes(const CTQBIN* p) { return std::string(reinterpret_cast<const char*>(p->pGetData()), p->nGetSize()); }

}  // namespace

TEST(TQMemoImage, NamesAreOwnedCopies)
{
    CTQMemoImage m;
    EXPECT_EQ(m.llGetNumEnr(), -1);
    wchar_t name[] = L"photo";
    m.SetNomImage(name);
    name[0] = L'X';
    EXPECT_STREQ(m.pszGetNomImage(), L"photo");
    m.SetNomTable(L"T");
    m.SetNomTable(nullptr);
    EXPECT_EQ(m.pszGetNomTable(), nullptr);
    m.SetNomRubriqueNumEnr(L"id");
    EXPECT_STREQ(m.pszGetNomRubriqueNumEnr(), L"id");
}

TEST(TQMemoImage, ImageReferencesAndFlags)
{
    CFakeImage img;
    {
        CTQMemoImage m;
        m.SetTQImage(&img);
        EXPECT_EQ(img.m_nRefs, 1);
        EXPECT_EQ(m.dwGetFlags() & 0x10, 0x10u);
        m.SetTQImage(&img);
        EXPECT_EQ(img.m_nRefs, 1);
        m.SetLoadType(CTQMemoImage::LOAD_SET);
        EXPECT_EQ(m.dwGetFlags() & 0x8000, 0x8000u);
        m.SetLoadType(CTQMemoImage::LOAD_IMAGE);
        EXPECT_EQ(m.dwGetFlags(), 0x10u);
        m.SetTQImage(nullptr);
        EXPECT_EQ(img.m_nRefs, 0);
        EXPECT_EQ(m.dwGetFlags() & 0x10, 0u);
        m.SetTQImage(&img);
    }
    EXPECT_EQ(img.m_nRefs, 0);
}

TEST(TQMemoImage, BinaryDataComesFromTheFirstSourceThatHasIt)
{
    // Given directly: nothing else is asked.
    CFakeImage img;
    CTQMemoImage given;
    given.SetTQImage(&img);
    given.SetBinData(CTQBIN(reinterpret_cast<const unsigned char*>("raw"), 3));
    EXPECT_EQ(Bytes(given.pclGetBinDataEx()), "raw");
    EXPECT_EQ(img.m_nSaves, 0);

    // The save callback comes before the image object.
    CTQMemoImage cb;
    cb.SetTQImage(&img);
    cb.SetCallbackSauveTQBin(reinterpret_cast<void*>(&SaveCallback));
    EXPECT_EQ(Bytes(cb.pclGetBinDataEx()), "cb");
    EXPECT_EQ(g_nSaveCalls, 1);
    EXPECT_EQ(img.m_nSaves, 0);

    // The image object, only above level 7.
    CTQMemoImage fromImage;
    fromImage.SetTQImage(&img);
    img.m_nLevel = 7;
    EXPECT_EQ(fromImage.pclGetBinDataEx()->nGetSize(), 0);
    img.m_nLevel = 8;
    EXPECT_EQ(Bytes(fromImage.pclGetBinDataEx()), "img");

    EXPECT_EQ(fromImage.piGetSourceImage(), nullptr);
    fromImage.SetCallbackGetSourceImage(reinterpret_cast<void*>(&SourceCallback));
    EXPECT_EQ(fromImage.piGetSourceImage(), &fromImage);
}
