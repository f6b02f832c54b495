// The value holder's files: values stored and loaded back, empty files,
// chunked loads and the errors of paths that cannot be opened.
#include "common/values/NAVariant.h"

#include "access/driver/NAError.h"
#include "common/text/TQBIN.h"
#include "common/values/NACnvVariant.h"
#include "tests/support/TempDir.h"
#include "tests/support/ValueCells.h"

#include <fstream>
#include <string>

namespace {

std::string Get(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(NAVariantFile, StoredBinaryLoadsBack)
{
    CTempDir tmp("zt_varfile");
    const std::wstring path = tmp.WPath() + L"/v.bin";
    std::string data;
    for (int i = 0; i < 40000; i++)
        data += static_cast<char>(i % 251);
    CNAVariant v;
    v.pclGetValue()->__SetType(TQTYPE_BIN, 0);
    v.pclGetValue()->pclGetTraitement()->SetValue(data.data(), static_cast<unsigned>(data.size()));
    CNAError err;
    ASSERT_TRUE(v.bStoreFile(path.c_str(), &err));
    EXPECT_EQ(Get(tmp.Path() + "/v.bin"), data);

    CNAVariant w;
    w.bSetValue(5);
    w.pclGetValue()->SetFlags(TQFLAG_NULL | TQFLAG_0400);
    ASSERT_TRUE(w.bLoadFile(path.c_str(), &err, 1));
    EXPECT_EQ(w.pclGetValue()->nGetType(), TQTYPE_BIN);
    unsigned nSize = 0;
    ASSERT_EQ(w.pclGetValue()->pclGetTraitement()->nGetDataSize(&nSize), 0);
    ASSERT_EQ(nSize, data.size());
    void* p = nullptr;
    w.pclGetValue()->pclGetTraitement()->nGetDataAdr(&p);
    EXPECT_EQ(std::string(static_cast<char*>(p), nSize), data);
    EXPECT_EQ(err.dwGetErrorId(), 0u);
}

TEST(NAVariantFile, TextLoadsAsEightBitText)
{
    CTempDir tmp("zt_varfile");
    std::ofstream(tmp.Path() + "/t.txt") << "hello file";
    CNAVariant v;
    ASSERT_TRUE(v.bLoadFile((tmp.WPath() + L"/t.txt").c_str(), nullptr, 0));
    EXPECT_EQ(v.pclGetValue()->nGetType(), TQTYPE_DSTRA);
    EXPECT_EQ(Text8(*v.pclGetValue()), "hello file");
}

TEST(NAVariantFile, EmptyFileLoadsAsEmptyValue)
{
    CTempDir tmp("zt_varfile");
    std::ofstream(tmp.Path() + "/e");
    CNAVariant v;
    ASSERT_TRUE(v.bLoadFile((tmp.WPath() + L"/e").c_str(), nullptr, 0));
    EXPECT_EQ(v.pclGetValue()->nGetType(), TQTYPE_DSTRA);
    EXPECT_EQ(Text8(*v.pclGetValue()), "");
    ASSERT_TRUE(v.bLoadFile((tmp.WPath() + L"/e").c_str(), nullptr, 1));
    EXPECT_EQ(v.pclGetValue()->nGetType(), TQTYPE_BIN);
    unsigned nSize = 99;
    v.pclGetValue()->pclGetTraitement()->nGetDataSize(&nSize);
    EXPECT_EQ(nSize, 0u);
}

TEST(NAVariantFile, UnopenablePathsRecordUserError15)
{
    CTempDir tmp("zt_varfile");
    const std::wstring path = tmp.WPath() + L"/no/such/file";
    CNAVariant v;
    v.bSetValue(77);
    CNAError err;
    EXPECT_FALSE(v.bLoadFile(path.c_str(), &err, 0));
    EXPECT_EQ(err.dwGetErrorId(), 15u);
    EXPECT_NE(std::wstring(err.pszGetError()).find(path), std::wstring::npos);
    // The value is unchanged.
    EXPECT_EQ(v.pclGetValue()->nGetType(), TQTYPE_I4);
    CNAError err2;
    EXPECT_FALSE(v.bStoreFile(path.c_str(), &err2));
    EXPECT_EQ(err2.dwGetErrorId(), 15u);
    // Without an error object nothing is recorded, nothing breaks.
    EXPECT_FALSE(v.bStoreFile(path.c_str(), nullptr));
}

TEST(NAVariantFile, NotReadCellBecomesItsOwnValue)
{
    CTempDir tmp("zt_varfile");
    std::ofstream(tmp.Path() + "/c") << "cell";
    CNAConvertVariant cell(nullptr, nullptr);
    cell.bInitTypeVariant(NA_VAR_UNREADYET, nullptr, 0, 0);
    ASSERT_EQ(cell.eGetVarType(), NA_VAR_UNREADYET);
    ASSERT_TRUE(cell.bLoadFile((tmp.WPath() + L"/c").c_str(), nullptr, 0));
    EXPECT_EQ(cell.eGetVarType(), NA_VAR_ANY);
}
