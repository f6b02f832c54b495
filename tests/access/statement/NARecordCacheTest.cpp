// The record cache: block sizing, placeholders, positions, fetch needs,
// notifications, position slots, the mended reads, removals and rewrites,
// and failed allocations that leave the cache as it was.
#include "access/statement/NARecordCache.h"

#include "tests/support/FailingHeap.h"
#include "tests/support/RecordValues.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

class RecordCache : public ::testing::Test {
protected:
    CDriverScope m_clDriver;
};

// A cache held by the test.
template <class T = CNARecordCache>
struct CCacheRef {
    T* p;
    template <class... A>
    explicit CCacheRef(A... a) : p(new T(a...)) { p->AddRef(); }
    ~CCacheRef() { p->nRelease(); }
    T* operator->() const { return p; }
};

// An image of nSize bytes: a flag byte, then the serial in its first four
// value bytes and a filler.
ByteVector Image(unsigned int nSerial, unsigned int nSize = 24, unsigned char byFill = 0x5A)
{
    ByteVector aby(nSize, byFill);
    aby[0] = 0xFF;
    for (unsigned int i = 0; i < 4 && 1 + i < nSize; i++)
        aby[1 + i] = static_cast<unsigned char>(nSerial >> (8 * i));
    return aby;
}

ByteVector RowId(unsigned int nSerial, unsigned int nSize = 4)
{
    ByteVector aby(nSize, 0x11);
    for (unsigned int i = 0; i < 4 && i < nSize; i++)
        aby[i] = static_cast<unsigned char>(nSerial >> (8 * i));
    return aby;
}

// Row i read back into a value of the given image size and identity kind.
struct CRead {
    bool bRead;
    ByteVector image;
    std::vector<ByteVector> memos;
    ByteVector rowId;
    const CXError* pFailure;
};

CRead Read(CNARecordCache* pCache, unsigned int i, unsigned int nSize, int nKind)
{
    CValue v(ByteVector(nSize, 0), nKind, ByteVector{0});
    CRead r;
    r.bRead = pCache->bGetAt(v.get(), i) != 0;
    r.image = v.Image();
    r.memos = v.Memos();
    r.pFailure = v->pclGetReadFailureNoRef();
    if (nKind == CNARecordId::RECORDID_ROWID)
        r.rowId = CellBytes(static_cast<CNARecordId_RowId*>(v->pclGetRecordIdNoRef())->pclGetValueNoRef());
    return r;
}

int Lookup(CNARecordCache* pCache, const ByteVector& abyImage, int nKind, const ByteVector& abyRowId = ByteVector())
{
    CValue probe(abyImage, nKind, abyRowId);
    return pCache->nGetRecordIndice(probe.get());
}

TEST_F(RecordCache, BlocksDoubleAtTheSixthAndAgainAfterEmptying)
{
    CCacheRef<> cache(1u);
    const CNABufferTable<CNAKXRecord>& images = cache->GetImageTable();
    for (int nFill = 0; nFill < 2; nFill++) {
        SCOPED_TRACE(testing::Message() << "fill " << nFill);
        const unsigned int nFirstPerBlock = nFill == 0 ? 500 : 1000;
        for (unsigned int n = 0; n < 2501; n++) {
            CValue row(Image(n, 4190), CNARecordId::RECORDID_RECORDVALUES);
            ASSERT_EQ(cache->nAjoute(row.get()), static_cast<int>(n));
            if (n == 0) {
                ASSERT_EQ(images.nGetBlockCount(), 1);
                EXPECT_EQ(images.pstGetBlock(0)->nCapacity, 4194u * nFirstPerBlock);
            }
            if (n == 2499) {
                EXPECT_EQ(images.nGetBlockCount(), nFill == 0 ? 5 : 3);
            }
        }
        if (nFill == 0) {
            ASSERT_EQ(images.nGetBlockCount(), 6);
            EXPECT_EQ(images.pstGetBlock(5)->nCapacity, 4194u * 1000);
            EXPECT_EQ(images.nGetEntriesPerBlock(), 1000u);
            EXPECT_EQ(images.nGetGrowStep(), 1000);
            EXPECT_EQ(images.nGetBlockCap(), 0x400000u);
            EXPECT_EQ(images.pstGetEntry(2500)->pclBuffer, images.pstGetBlock(5));
            EXPECT_EQ(images.pstGetEntry(2500)->nOffset, 0u);
            EXPECT_EQ(images.pstGetEntry(2499)->nOffset, 499u * 4194);
            // Identities of 16 + 4 bytes, 500 to a block.
            EXPECT_EQ(cache->GetIdTable().pstGetBlock(0)->nCapacity, 20u * 500);
        }
        // Every row reads back and is found by its image.
        for (unsigned int n : {0u, 499u, 500u, 2499u, 2500u}) {
            const CRead r = Read(cache.p, n, 4190, 1);
            EXPECT_TRUE(r.bRead) << n;
            EXPECT_EQ(r.image, Image(n, 4190)) << n;
            EXPECT_EQ(Lookup(cache.p, Image(n, 4190), 1), static_cast<int>(n));
        }
        cache->SupprimeTout();
        EXPECT_EQ(cache->nGetCount(), 0);
        EXPECT_EQ(images.nGetBlockCount(), 0);
        EXPECT_EQ(cache->nGetIndexCount(), 0u);
        EXPECT_EQ(Lookup(cache.p, Image(0, 4190), 1), -1);
    }
}

TEST_F(RecordCache, ImagesLargerThanTheCapGetTheirOwnBlock)
{
    CCacheRef<> cache(1u);
    cache->SetGrowStep(0, 1000);
    const CNABufferTable<CNAKXRecord>& images = cache->GetImageTable();
    const struct {
        unsigned int nSize;
        unsigned int nCapacity; // of the block made for it, 0: none made
    } cases[] = {{5000, 5004}, {100, 1000}, {100, 0}, {996, 996 + 4}, {800, 1000}};
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        const int nBlocks = images.nGetBlockCount();
        CValue row(Image(static_cast<unsigned int>(i), cases[i].nSize), 0);
        ASSERT_EQ(cache->nAjoute(row.get()), static_cast<int>(i));
        if (cases[i].nCapacity == 0) {
            EXPECT_EQ(images.nGetBlockCount(), nBlocks) << "case " << i;
        } else {
            ASSERT_EQ(images.nGetBlockCount(), nBlocks + 1) << "case " << i;
            EXPECT_EQ(images.pstGetBlock(nBlocks)->nCapacity, cases[i].nCapacity) << "case " << i;
        }
        EXPECT_EQ(Read(cache.p, static_cast<unsigned int>(i), cases[i].nSize, 0).image,
                  Image(static_cast<unsigned int>(i), cases[i].nSize));
    }
    // Grow steps: entries per block and the cap of both tables.
    EXPECT_EQ(images.nGetGrowStep(), 500);
    cache->SetGrowStep(7, 0);
    EXPECT_EQ(images.nGetEntriesPerBlock(), 7u);
    EXPECT_EQ(images.nGetGrowStep(), 7);
    EXPECT_EQ(cache->GetIdTable().nGetEntriesPerBlock(), 7u);
    EXPECT_EQ(cache->GetIdTable().nGetBlockCap(), 1000u);
    cache->SetGrowStep(0, 0);
    EXPECT_EQ(images.nGetEntriesPerBlock(), 7u);
    EXPECT_EQ(images.nGetBlockCap(), 1000u);
}

// Placeholders before a row inserted past the end hold no image nor memo;
// the model comparison covers the renumbering.
TEST_F(RecordCache, InsertPastTheEndAddsDeletedPlaceholders)
{
    CCacheRef<> cache(1u);
    CValue row(Image(1), CNARecordId::RECORDID_ROWID, RowId(1), {{4, 4}});
    ASSERT_EQ(cache->Insere(row.get(), 5), 5);
    for (int i = 0; i < 5; i++) {
        EXPECT_FALSE(cache->bRecordInCache(i)) << i;
        EXPECT_FALSE(cache->bMemoInCache(i)) << i;
    }
    EXPECT_TRUE(cache->bMemoInCache(5));
    EXPECT_EQ(cache->_Insere(row.get(), 100), -1);
    cache->Supprime(40);
    EXPECT_EQ(cache->nGetCount(), 6);
}

// Positions over rows 1 and 2 deleted (rows 0 to 5), and over none; the
// model comparison covers the rest.
TEST_F(RecordCache, PositionsSkipDeletedRows)
{
    CCacheRef<> cache(1u);
    for (unsigned int n = 0; n < 6; n++) {
        CValue row(Image(n), 0, {}, {}, n == 1 || n == 2 ? 128u : 0u);
        ASSERT_EQ(cache->nAjoute(row.get()), static_cast<int>(n));
    }
    ASSERT_EQ(cache->nGetDeletedCount(), 2);
    const long long llBig = (1LL << 32) + 3;
    const struct {
        long long llCurrent;
        eNA_PARSEDIRECTION e;
        long long llCount;
        int nDeleted, nNone; // with rows 1 and 2 deleted, with none
    } cases[] = {
        {0, NA_PARSE_NEXT, 3, 5, 3},
        {3, NA_PARSE_PREVIOUS, 1, 0, 2},
        {0, NA_PARSE_FIRST, 2, 3, 1},
        {0, NA_PARSE_LAST, 5, -1, 1},
        {9, NA_PARSE_PREVIOUS, 5, 4, 4},  // from beyond the rows, those count
        {3, NA_PARSE_PREVIOUS, -2, 3, 5},
        {0, static_cast<eNA_PARSEDIRECTION>(9), 2, 3, 1}, // taken as first
        {0, NA_PARSE_NEXT, llBig, INT_MAX, INT_MAX},
        {0, NA_PARSE_LAST, llBig, -1, -1},
    };
    for (int nPass = 0; nPass < 2; nPass++) {
        if (nPass == 1) {
            cache->SetRecordState(1, NA_RECORDSTATE_NORMAL);
            cache->SetRecordState(2, NA_RECORDSTATE_NORMAL);
            ASSERT_EQ(cache->nGetDeletedCount(), 0);
        }
        for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
            const int nExpected = nPass == 0 ? cases[i].nDeleted : cases[i].nNone;
            EXPECT_EQ(cache->nGetPosition(cases[i].llCurrent, cases[i].e, cases[i].llCount),
                      nExpected < 0 ? -1 : nExpected)
                << "case " << i << (nPass == 0 ? " with deleted rows" : " without");
        }
    }
}

TEST_F(RecordCache, FetchNeedsAndStates)
{
    CCacheRef<> cache(0u);
    CValue row(Image(1), CNARecordId::RECORDID_ROWID, RowId(1));
    ASSERT_EQ(cache->nAjoute(row.get()), 0);
    ASSERT_EQ(cache->nAjoute(nullptr), 1);
    // Switched off: always fetch; the end cannot be marked.
    EXPECT_EQ(cache->bMustFetch(0), 1);
    cache->SetFetchComplete();
    EXPECT_EQ(cache->nGetFlags(), 0u);
    cache->SetFlags(CNARecordCache::CACHE_ENABLED);
    const struct {
        int i;
        int bBefore, bAfter; // before and after the end was read
    } cases[] = {{0, 0, 0}, {1, 1, 1}, {2, 1, 0}, {7, 1, 0}, {-1, 0, 0}};
    for (int nPass = 0; nPass < 2; nPass++) {
        if (nPass == 1) {
            cache->SetFetchComplete();
            EXPECT_EQ(cache->nGetFlags(), 9u);
        }
        for (const auto& c : cases)
            EXPECT_EQ(cache->bMustFetch(c.i), nPass == 0 ? c.bBefore : c.bAfter) << "row " << c.i << " pass " << nPass;
    }
    EXPECT_EQ(cache->bEndehors(2), 1);
    EXPECT_EQ(cache->bEndehors(1), 0);
    EXPECT_EQ(cache->bEndehors(-1), 1);
    EXPECT_EQ(cache->bRecordInCache(0), 1);
    EXPECT_EQ(cache->bRecordInCache(2), 0);
    cache->SupprimeTout();
    EXPECT_EQ(cache->nGetFlags(), 1u);
    EXPECT_EQ(cache->bMustFetch(0), 1);

    // States by identity (notifications are compared with the model).
    ASSERT_EQ(cache->nAjoute(row.get()), 0);
    CValue other(Image(2), CNARecordId::RECORDID_ROWID, RowId(2));
    ASSERT_EQ(cache->nAjoute(other.get()), 1);
    EXPECT_EQ(cache->nSetRecordState(other->pclGetRecordIdNoRef(), NA_RECORDSTATE_DELETED), 1);
    EXPECT_EQ(cache->_bRecordDeleted(1), 1);
    CValue absent(Image(3), CNARecordId::RECORDID_ROWID, RowId(3));
    EXPECT_EQ(cache->nSetRecordState(absent->pclGetRecordIdNoRef(), NA_RECORDSTATE_DELETED), -1);
    cache->SetRecordState(1, NA_RECORDSTATE_NORMAL);
    cache->SetRecordState(1, NA_RECORDSTATE_NORMAL);
    cache->SetRecordState(9, NA_RECORDSTATE_DELETED);
    EXPECT_EQ(cache->nGetDeletedCount(), 0);
}

TEST_F(RecordCache, ReadsCheckTheImageSizeAndIdentity)
{
    CCacheRef<> cache(1u);
    CValue row(Image(1, 24), CNARecordId::RECORDID_ROWID, RowId(1), {{}, {3}});
    ASSERT_EQ(cache->nAjoute(row.get()), 0);
    // The stored image is of another size than the destination's buffer.
    for (unsigned int nSize : {23u, 25u, 200u})
        EXPECT_FALSE(Read(cache.p, 0, nSize, 3).bRead) << nSize;
    const CRead r = Read(cache.p, 0, 24, 3);
    EXPECT_TRUE(r.bRead);
    EXPECT_EQ(r.memos, (std::vector<ByteVector>{{}, {3}}));
    // Without a buffer: the prototype gives one, and the identity.
    CValue empty;
    ASSERT_EQ(cache->bGetAt(empty.get(), 0u), 1);
    EXPECT_EQ(empty.Image(), Image(1, 24));
    EXPECT_TRUE(empty->pclGetRecordIdNoRef()->bEqualRecordId(row->pclGetRecordIdNoRef()));
    EXPECT_EQ(cache->bGetAt(empty.get(), 1u), 0);
    EXPECT_EQ(cache->bGetAt(nullptr, 0u), 0);
    // By identity.
    CValue byId(ByteVector(24, 0), 3, ByteVector{0});
    EXPECT_EQ(cache->bGetAt(byId.get(), row->pclGetRecordIdNoRef()), 1);
    EXPECT_EQ(byId.Image(), Image(1, 24));
    CValue absent(Image(9), 3, RowId(9));
    EXPECT_EQ(cache->bGetAt(byId.get(), absent->pclGetRecordIdNoRef()), 0);
    // Another kind of identity is not looked up, nor stored.
    CValue values(Image(1, 24), 1);
    EXPECT_EQ(cache->nGetRecordIndice(values.get()), -1);
    EXPECT_EQ(cache->nAjoute(values.get()), 1);
    EXPECT_EQ(cache->GetIdTable().pbyGetAt(1), nullptr);
    EXPECT_EQ(cache->nGetIndexCount(), 1u);
    EXPECT_FALSE(Read(cache.p, 1, 24, 3).bRead);
    EXPECT_EQ(cache->nGetRecordIndice(static_cast<const CNARecordValue*>(nullptr)), -1);
    // An empty cache has no identity type.
    CCacheRef<> fresh(1u);
    EXPECT_EQ(fresh->nGetRecordIndice(row.get()), -1);
    EXPECT_EQ(fresh->bGetAt(empty.get(), 0u), 0);
    CValue noBuffer;
    ASSERT_EQ(fresh->nAjoute(nullptr), 0);
    EXPECT_EQ(fresh->bGetAt(noBuffer.get(), 0u), 0);
}

TEST_F(RecordCache, MemosRestoredAndCompared)
{
    CCacheRef<> cache(1u);
    CValue a(Image(1), 1, {}, {{1}, {2}});
    CValue b(Image(2), 1, {}, {{1}, {2}});
    CValue c(Image(1), 1, {}, {{1}, {9}});
    ASSERT_EQ(cache->nAjoute(a.get()), 0);
    ASSERT_EQ(cache->nAjoute(b.get()), 1);
    ASSERT_EQ(cache->nAjoute(c.get()), 2);
    ASSERT_EQ(cache->nAjoute(nullptr), 3);
    const struct {
        int i, j, nFlags, bEqual;
    } cases[] = {{0, 2, 0, 1}, {0, 2, 1, 0}, {0, 1, 0, 0}, {0, 0, 1, 1}, {3, 0, 0, 0}, {0, 3, 0, 0}, {-1, 0, 0, 0}};
    for (const auto& t : cases)
        EXPECT_EQ(cache->bEquals(t.i, t.j, t.nFlags), t.bEqual) << t.i << " " << t.j << " " << t.nFlags;
    EXPECT_EQ(cache->bEquals(0, a.get(), 1), 1);
    // The scratch value now holds row 0: a row that cannot be read is equal
    // to nothing.
    EXPECT_EQ(cache->bEquals(3, a.get(), 0), 0);
    EXPECT_EQ(cache->bEquals(-1, a.get(), 0), 0);
    EXPECT_EQ(cache->bEquals(0, c.get(), 1), 0);
    EXPECT_EQ(cache->bEquals(0, c.get(), 0), 1);
    // Restoring: only into memo values that hold a cell, from a slot that has some.
    const struct {
        int i;
        std::vector<ByteVector> dst, result;
    } restores[] = {
        {2, {{5}}, {{1}, {9}}},
        {2, {}, {}},
        {3, {{5}}, {{5}}},
        {9, {{5}}, {{5}}},
    };
    for (const auto& t : restores) {
        CValue v(Image(0), 0, {}, t.dst);
        cache->RestaureMemo(t.i, v->pclGetTabMemoNoRef());
        EXPECT_EQ(v.Memos(), t.result) << "slot " << t.i;
    }
    cache->RestaureMemo(0, nullptr);
    EXPECT_TRUE(cache->bMemoInCache(2));
    EXPECT_FALSE(cache->bMemoInCache(3));
    EXPECT_FALSE(cache->bMemoInCache(-1));
}

// Where a rewrite is stored; what it reads back is compared with the model.
TEST_F(RecordCache, UpdatesInPlaceOrAfresh)
{
    CCacheRef<> cache(1u);
    CValue row0(Image(0, 24), 3, RowId(0, 8));
    CValue row1(Image(1, 24), 3, RowId(1, 8), {{1}});
    ASSERT_EQ(cache->nAjoute(row0.get()), 0);
    ASSERT_EQ(cache->nAjoute(row1.get()), 1);
    const struct {
        unsigned int nImage, nRowId;
        bool bInPlace;
    } cases[] = {
        {24, 8, true},   // same sizes
        {20, 4, true},   // shorter: the length word follows
        {30, 12, false}, // longer: stored afresh
        {30, 12, true},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        const unsigned char* pbyImage = cache->GetImageTable().pbyGetAt(1);
        const unsigned char* pbyId = cache->GetIdTable().pbyGetAt(1);
        CValue next(Image(100 + i, cases[i].nImage), 3, RowId(100 + i, cases[i].nRowId));
        ASSERT_EQ(cache->Update(1, next.get()), 1) << "case " << i;
        EXPECT_EQ(cache->GetImageTable().pbyGetAt(1) == pbyImage, cases[i].bInPlace) << "case " << i;
        EXPECT_EQ(cache->GetIdTable().pbyGetAt(1) == pbyId, cases[i].bInPlace) << "case " << i;
        const CRead r = Read(cache.p, 1, cases[i].nImage, 3);
        EXPECT_EQ(r.image, Image(100 + i, cases[i].nImage)) << "case " << i;
        EXPECT_EQ(r.rowId, RowId(100 + i, cases[i].nRowId)) << "case " << i;
    }
    EXPECT_EQ(cache->Update(2, row0.get()), 0);
    // A row without buffer has no image.
    CValue bare;
    bare->bShareRecordID(new CNARecordId_RowId(NewCell(RowId(8, 8))));
    ASSERT_EQ(cache->Update(0, bare.get()), 1);
    EXPECT_FALSE(cache->bRecordInCache(0));
    EXPECT_EQ(Lookup(cache.p, {}, 3, RowId(8, 8)), 0);
    EXPECT_EQ(Lookup(cache.p, {}, 3, RowId(0, 8)), -1);
}

// Each row keeps its read failure through appends, inserts before it,
// placeholders, removals and rewrites, and gives it to every read; the
// cache frees what it held.
TEST_F(RecordCache, ReadFailuresFollowTheirRows)
{
    // A placeholder in the model: no row to read.
    const CXError* const pPlaceholder = reinterpret_cast<const CXError*>(1);
    {
        CCacheRef<> cache(1u);
        std::vector<std::unique_ptr<CValue>> tabRows;
        std::vector<const CXError*> tabModel;
        // Row n: image and identity n, a failure of its own when asked.
        const auto Row = [&](unsigned int n, bool bFailure) {
            tabRows.push_back(std::make_unique<CValue>(Image(n), 3, RowId(n)));
            if (bFailure)
                tabRows.back()->get()->SetReadFailure(new CCountedFailure);
            return tabRows.back()->get();
        };
        const auto Expect = [&](const char* pszStep) {
            SCOPED_TRACE(pszStep);
            ASSERT_EQ(cache->nGetCount(), static_cast<int>(tabModel.size()));
            for (size_t i = 0; i < tabModel.size(); i++) {
                if (tabModel[i] == pPlaceholder)
                    continue;
                // A value that held a failure of its own before the read.
                CValue v(Image(0), 3, RowId(0));
                v->SetReadFailure(new CCountedFailure);
                ASSERT_EQ(cache->bGetAt(v.get(), static_cast<unsigned int>(i)), 1) << "row " << i;
                EXPECT_EQ(v->pclGetReadFailureNoRef(), tabModel[i]) << "row " << i;
            }
        };
        const CNARecordValue* a = Row(1, true);
        ASSERT_EQ(cache->nAjoute(a), 0);
        ASSERT_EQ(cache->nAjoute(Row(2, false)), 1);
        const CNARecordValue* c = Row(3, true);
        ASSERT_EQ(cache->nAjoute(c), 2);
        tabModel = {a->pclGetReadFailureNoRef(), nullptr, c->pclGetReadFailureNoRef()};
        Expect("appended");

        const CNARecordValue* d = Row(4, true);
        ASSERT_EQ(cache->Insere(d, 1), 1);
        tabModel.insert(tabModel.begin() + 1, d->pclGetReadFailureNoRef());
        ASSERT_EQ(cache->Insere(Row(5, false), 0), 0);
        tabModel.insert(tabModel.begin(), nullptr);
        Expect("inserted");

        // Placeholders up to row 8, which holds a failure; a placeholder
        // put before failures moves them up.
        const CNARecordValue* f = Row(6, true);
        ASSERT_EQ(cache->Insere(f, 8), 8);
        tabModel.resize(8, pPlaceholder);
        tabModel.push_back(f->pclGetReadFailureNoRef());
        ASSERT_EQ(cache->Insere(nullptr, 2), 2);
        tabModel.insert(tabModel.begin() + 2, pPlaceholder);
        Expect("placeholders");

        cache->Supprime(3);
        tabModel.erase(tabModel.begin() + 3);
        Expect("removed");

        const CNARecordValue* x = Row(7, true);
        ASSERT_EQ(cache->Update(0, x), 1);
        tabModel[0] = x->pclGetReadFailureNoRef();
        ASSERT_EQ(cache->Update(1, Row(8, false)), 1);
        tabModel[1] = nullptr;
        const CNARecordValue* y = Row(9, true);
        ASSERT_EQ(cache->Update(5, y), 1);
        tabModel[5] = y->pclGetReadFailureNoRef();
        Expect("rewritten");
        // A row deleted and written again has no failure left.
        ASSERT_EQ(cache->Update(8, nullptr), 1);
        ASSERT_EQ(cache->Update(8, Row(10, false)), 1);
        tabModel[8] = nullptr;
        Expect("deleted and written again");

        // Only the cache holds failures now; emptied, it holds none.
        tabRows.clear();
        EXPECT_GT(CCountedFailure::s_nLive, 0) << "the cache let go of what it holds";
        cache->SupprimeTout();
        EXPECT_EQ(CCountedFailure::s_nLive, 0);
        tabModel.clear();
        ASSERT_EQ(cache->nAjoute(Row(11, false)), 0);
        ASSERT_EQ(cache->Insere(Row(12, false), 5), 5);
        tabModel = {nullptr, pPlaceholder, pPlaceholder, pPlaceholder, pPlaceholder, nullptr};
        Expect("emptied");
    }
    EXPECT_EQ(CCountedFailure::s_nLive, 0);
}

TEST_F(RecordCache, PositionSlotsAreReusedOnlyOnceReleased)
{
    CCacheRef<CNARecordCachePosition> cache;
    cache->SetGrowStep(50, 0);
    EXPECT_EQ(cache->nGetFlags(), 1u);
    CValue a(Image(1), 1), b(Image(2), 1), c(Image(3), 1), d(Image(4), 1);
    EXPECT_EQ(cache->nAjoute(a.get()), -1);
    EXPECT_EQ(cache->_Insere(a.get(), 0), -1);
    const int sa = cache->nKeepRecordSave(a.get());
    cache->AddRefRecordSave(sa);
    const int sb = cache->nKeepRecordSave(b.get());
    cache->AddRefRecordSave(sb);
    EXPECT_EQ(sa, 0);
    EXPECT_EQ(sb, 1);
    // The same record again: its slot, no reference taken.
    EXPECT_EQ(cache->nKeepRecordSave(a.get()), 0);
    EXPECT_EQ(cache->nGetRecordSaveRef(0), 1);
    cache->AddRefRecordSave(0);
    EXPECT_EQ(cache->nReleaseRecordSave(0), 1);
    // Still held: a new record gets a new slot.
    EXPECT_EQ(cache->nKeepRecordSave(c.get()), 2);
    cache->AddRefRecordSave(2);
    EXPECT_EQ(cache->nReleaseRecordSave(1), 0);
    EXPECT_EQ(cache->nReleaseRecordSave(1), 0);
    EXPECT_EQ(cache->nGetRecordIndice(b.get()), -1);
    EXPECT_EQ(cache->nReleaseRecordSave(0), 0);
    // The lowest released slot goes first, then the next one.
    EXPECT_EQ(cache->nKeepRecordSave(d.get()), 0);
    cache->AddRefRecordSave(0);
    EXPECT_EQ(Read(cache.p, 0, 24, 1).image, Image(4));
    EXPECT_EQ(cache->nGetRecordIndice(d.get()), 0);
    EXPECT_EQ(cache->nKeepRecordSave(a.get()), 1);
    cache->AddRefRecordSave(1);
    EXPECT_EQ(cache->nKeepRecordSave(b.get()), 3);
    EXPECT_EQ(cache->nGetCount(), 4);
    EXPECT_EQ(cache->nReleaseRecordSave(9), 0);
    cache->AddRefRecordSave(-1);
    cache->Supprime(0);
    EXPECT_EQ(cache->nGetCount(), 4);
    cache->SupprimeTout();
    EXPECT_EQ(cache->nGetCount(), 0);
    EXPECT_EQ(cache->nGetRecordSaveRef(0), 0);
    EXPECT_EQ(cache->nKeepRecordSave(c.get()), 0);
}

// Two rows of one identity: the later one is found; rewriting or removing
// the earlier one takes only its own index entry.
TEST_F(RecordCache, EqualIdentitiesKeepTheirOwnIndexEntries)
{
    for (int nKind : {1, 3}) {
        SCOPED_TRACE(testing::Message() << "kind " << nKind);
        CCacheRef<> cache(1u);
        CValue a(Image(1), nKind, RowId(1)), b(Image(1), nKind, RowId(1)), c(Image(2), nKind, RowId(2));
        ASSERT_EQ(cache->nAjoute(a.get()), 0);
        ASSERT_EQ(cache->nAjoute(b.get()), 1);
        EXPECT_EQ(Lookup(cache.p, Image(1), nKind, RowId(1)), 1);
        ASSERT_EQ(cache->Update(0, c.get()), 1);
        EXPECT_EQ(cache->nGetIndexCount(), 2u);
        EXPECT_EQ(Lookup(cache.p, Image(1), nKind, RowId(1)), 1);
        EXPECT_EQ(Lookup(cache.p, Image(2), nKind, RowId(2)), 0);
        cache->Supprime(1);
        EXPECT_EQ(Lookup(cache.p, Image(1), nKind, RowId(1)), -1);
        EXPECT_EQ(cache->nGetIndexCount(), 1u);
    }
}

// A record of image 1 with the item t refused with the server's text, or
// none (that item NULL).
std::unique_ptr<CValue> Refused(const wchar_t* pszText, unsigned int nImage = 1)
{
    auto p = std::make_unique<CValue>(Image(nImage), CNARecordId::RECORDID_RECORDVALUES);
    if (pszText != nullptr) {
        EXPECT_TRUE((*p)->bAddRefusal(L"t", pszText, new CCountedFailure));
    }
    return p;
}

// Rows of one image told apart by their refused values alone (a value the
// server held and NULL give the same image): each lookup, state, rewrite
// and read by record finds its own row, whichever the index meets first.
TEST_F(RecordCache, ARefusedRowIsToldFromItsNullTwin)
{
    const std::vector<const wchar_t*> tabTexts = {nullptr, L"-01:00:00", L"-02:00:00"};
    for (const bool bNullFirst : {true, false}) {
        SCOPED_TRACE(bNullFirst ? "NULL row first" : "NULL row last");
        CCacheRef<> cache(1u);
        std::vector<int> tabRow;
        for (size_t i = 0; i < tabTexts.size(); i++) {
            const wchar_t* pszText = tabTexts[bNullFirst ? i : tabTexts.size() - 1 - i];
            ASSERT_EQ(cache->nAjoute(Refused(pszText)->get()), static_cast<int>(i));
        }
        const auto RowOf = [&](size_t n) { return static_cast<int>(bNullFirst ? n : tabTexts.size() - 1 - n); };
        for (size_t n = 0; n < tabTexts.size(); n++)
            EXPECT_EQ(cache->nGetRecordIndice(Refused(tabTexts[n])->get()), RowOf(n)) << n;
        EXPECT_EQ(cache->nGetRecordIndice(Refused(L"-03:00:00")->get()), -1);

        // The identity alone finds one of them.
        const int nAny = cache->nGetRecordIndice(Refused(nullptr)->get()->pclGetRecordIdNoRef());
        EXPECT_TRUE(nAny >= 0 && nAny < 3) << nAny;
        CValue back(ByteVector(24, 0), 0);
        ASSERT_EQ(cache->bGetAt(back.get(), static_cast<unsigned int>(RowOf(2))), 1);
        EXPECT_EQ(RefusedText(back.get(), L"t"), L"-02:00:00");

        EXPECT_EQ(cache->nSetRecordState(Refused(L"-01:00:00")->get(), NA_RECORDSTATE_DELETED), RowOf(1));
        EXPECT_EQ(cache->nGetDeletedCount(), 1);
        EXPECT_EQ(cache->nOnNotifyOperation(CNARecordCache::NA_NOTIFY_UPDATE, Refused(L"-02:00:00", 5)->get(),
                                            Refused(L"-02:00:00")->get(), 0, 0),
                  RowOf(2));
        EXPECT_EQ(Read(cache.p, static_cast<unsigned int>(RowOf(2)), 24, 1).image, Image(5));
        EXPECT_EQ(Read(cache.p, static_cast<unsigned int>(RowOf(0)), 24, 1).image, Image(1));
        EXPECT_EQ(cache->nGetRecordIndice(Refused(L"-02:00:00")->get()), -1);
        EXPECT_EQ(cache->nGetRecordIndice(Refused(L"-02:00:00", 5)->get()), RowOf(2));
    }
    EXPECT_EQ(CCountedFailure::s_nLive, 0);
}

// However many rows share the image, each refused one is found wherever
// its index entry lies, a twin's entry filed in front of it: the slot of a
// released save is reused by a newer twin.
TEST_F(RecordCache, EveryTwinIsFoundWhereverItsEntryLies)
{
    for (int nRows = 2; nRows < 40; nRows++) {
        SCOPED_TRACE(nRows);
        CCacheRef<CNARecordCachePosition> cache;
        for (int i = 0; i < nRows; i++)
            cache->AddRefRecordSave(cache->nKeepRecordSave(Refused(std::to_wstring(i).c_str())->get()));
        ASSERT_EQ(cache->nReleaseRecordSave(0), 0);
        ASSERT_EQ(cache->nKeepRecordSave(Refused(L"newer")->get()), 0);
        for (int i = 1; i < nRows; i++)
            ASSERT_EQ(cache->nGetRecordIndice(Refused(std::to_wstring(i).c_str())->get()), i);
    }
}

// The saves of a refused record and of its NULL twin take slots of their
// own; a released slot is not found again through its twin's entry.
TEST_F(RecordCache, PositionSlotsOfARefusedRecordAndItsNullTwin)
{
    CCacheRef<CNARecordCachePosition> cache;
    const int nNull = cache->nKeepRecordSave(Refused(nullptr)->get());
    cache->AddRefRecordSave(nNull);
    const int nRefused = cache->nKeepRecordSave(Refused(L"-01:00:00")->get());
    cache->AddRefRecordSave(nRefused);
    EXPECT_NE(nNull, nRefused);
    EXPECT_EQ(cache->nKeepRecordSave(Refused(L"-01:00:00")->get()), nRefused);
    EXPECT_EQ(cache->nKeepRecordSave(Refused(nullptr)->get()), nNull);
    EXPECT_EQ(cache->nReleaseRecordSave(nRefused), 0);
    EXPECT_EQ(cache->nGetRecordIndice(Refused(L"-01:00:00")->get()), -1);
    EXPECT_EQ(cache->nGetRecordIndice(Refused(nullptr)->get()), nNull);
}

// With every allocation failing, a row that needs no new room is still
// added; one that needs room in a single table is refused whole.
TEST_F(RecordCache, RoomIsMadeBeforeAnythingChanges)
{
    CCacheRef<> cache(1u);
    for (unsigned int n = 0; n < 98; n++) {
        CValue row(Image(n), 3, RowId(n));
        ASSERT_EQ(cache->nAjoute(row.get()), static_cast<int>(n));
    }
    ASSERT_EQ(Lookup(cache.p, Image(0), 3, RowId(0)), 0); // the lookup buffer is made
    const struct {
        unsigned int nSerial;
        int nAt;     // -1: appended
        int nResult;
        int nCount;
    } cases[] = {
        {98, -1, 98, 99},
        {99, 0, 0, 100},    // no memo slot is needed
        {100, -1, -1, 100}, // the states grow by 100
    };
    for (const auto& c : cases) {
        CValue row(Image(c.nSerial), 3, RowId(c.nSerial));
        {
            CFailingHeap heap(0);
            EXPECT_EQ(c.nAt < 0 ? cache->nAjoute(row.get()) : cache->Insere(row.get(), static_cast<unsigned int>(c.nAt)),
                      c.nResult)
                << c.nSerial;
            EXPECT_EQ(cache->nGetRecordIndice(row.get()), c.nResult) << c.nSerial;
        }
        EXPECT_EQ(cache->nGetCount(), c.nCount) << c.nSerial;
    }
    // A rewrite in place without memo values needs no room either.
    CValue next(Image(500), 3, RowId(500));
    {
        CFailingHeap heap(0);
        EXPECT_EQ(cache->Update(1, next.get()), 1);
    }
    EXPECT_EQ(Lookup(cache.p, Image(500), 3, RowId(500)), 1);
    // Placeholders take no memo slot.
    ASSERT_EQ(cache->Insere(nullptr, 0), 0);
    ASSERT_EQ(cache->Insere(nullptr, 101), 101);
    EXPECT_EQ(cache->nGetMemoCount(), 0);
}

// Every allocation of an operation fails in turn: the cache stays as it was
// and nothing leaks (the sanitizer run sees leaks).
TEST_F(RecordCache, FailedAllocationsLeaveTheCacheAsItWas)
{
    for (int nKind : {1, 3}) {
        SCOPED_TRACE(testing::Message() << "kind " << nKind);
        CCacheRef<> cache(1u);
        cache->SetGrowStep(2, 0);
        auto Snapshot = [&]() {
            std::vector<std::string> v;
            for (int i = 0; i < cache->nGetCount(); i++) {
                const CRead r = Read(cache.p, i, 24, nKind);
                std::string s = std::to_string(r.bRead) + ":" + std::to_string(cache->eGetRecordState(i)) + ":";
                s.append(r.image.begin(), r.image.end());
                for (const ByteVector& m : r.memos)
                    s.append(m.begin(), m.end()).append("|");
                s.append(r.rowId.begin(), r.rowId.end());
                s += r.pFailure != nullptr ? "|failure " + std::to_string(reinterpret_cast<uintptr_t>(r.pFailure)) : "";
                v.push_back(s);
            }
            v.push_back(std::to_string(cache->nGetDeletedCount()) + "/" + std::to_string(cache->nGetIndexCount()) +
                        "/" + std::to_string(cache->GetImageTable().nGetBlockCount()));
            return v;
        };
        unsigned int nSerial = 0;
        // Every other row holds a read failure.
        const auto Row = [&](unsigned int n) {
            auto p = std::make_unique<CValue>(Image(n), nKind, RowId(n), std::vector<ByteVector>{{1, 2}, {}, {3}});
            if (n % 2 == 1)
                p->get()->SetReadFailure(new CCountedFailure);
            return p;
        };
        for (int nStep = 0; nStep < 12; nStep++) {
            const int nOperation = nStep % 4;
            const std::unique_ptr<CValue> row = Row(1000 + nSerial++);
            const std::unique_ptr<CValue> probe = Row(1000);
            nFailEachAllocation([&](int n) {
                const std::vector<std::string> before = Snapshot();
                int nResult;
                {
                    CFailingHeap heap(n);
                    if (nOperation == 0)
                        nResult = cache->nAjoute(row->get());
                    else if (nOperation == 1)
                        nResult = cache->Insere(row->get(), nStep % 3 == 0 ? cache->nGetCount() + 2 : 1);
                    else if (nOperation == 2)
                        nResult = cache->Update(1, row->get()) ? 1 : -1;
                    else
                        nResult = cache->nGetRecordIndice(probe->get());
                }
                if (nOperation == 3) {
                    EXPECT_TRUE(nResult == -1 || nResult == 0) << "lookup " << nResult;
                    return nResult == 0;
                }
                if (nResult < 0) {
                    EXPECT_EQ(Snapshot(), before) << "operation " << nOperation;
                    return false;
                }
                // What was stored is whole, memos included.
                const CRead r = Read(cache.p, nOperation == 2 ? 1u : static_cast<unsigned int>(nResult), 24, nKind);
                EXPECT_TRUE(r.bRead) << "operation " << nOperation;
                EXPECT_EQ(r.image, Image(1000 + nSerial - 1)) << "operation " << nOperation;
                EXPECT_EQ(r.memos, (std::vector<ByteVector>{{1, 2}, {}, {3}})) << "operation " << nOperation;
                EXPECT_EQ(r.pFailure, row->get()->pclGetReadFailureNoRef()) << "operation " << nOperation;
                return true;
            });
        }
        EXPECT_GE(cache->GetImageTable().nGetBlockCount(), 3);
        EXPECT_EQ(cache->nGetCount(), 8);
    }
}

// A row value whose identity is a wide text.
void ShareTextId(CValue& v, const wchar_t* pszId)
{
    CNAConvertVariant* pCell = CNADriver::s_pclDriver->pclAllocVariant(nullptr, nullptr);
    pCell->InitTypeVariantAny(TQTYPE_DSTRW, 0);
    pCell->bSetValue(pszId, static_cast<unsigned int>(std::wcslen(pszId)));
    v->bShareRecordID(new CNARecordId_RowId(pCell));
}

// A row read back is found again by its text identity, as integer ones
// are: notices reach it and a saved position keeps one slot.
TEST_F(RecordCache, TextIdentitiesAreFoundAgainAfterAReadBack)
{
    const wchar_t* const apszId[] = {L"K40", L"K41", L"K42"};
    CCacheRef<> cache(1u);
    std::vector<std::unique_ptr<CValue>> rows;
    for (unsigned int i = 0; i < 3; i++) {
        rows.emplace_back(new CValue(Image(i), 0));
        ShareTextId(*rows.back(), apszId[i]);
        ASSERT_EQ(cache->nAjoute(rows.back()->get()), static_cast<int>(i));
    }
    CValue back;
    ASSERT_EQ(cache->bGetAt(back.get(), 2u), 1);
    EXPECT_EQ(back.Image(), Image(2));
    EXPECT_EQ(cache->nGetRecordIndice(back.get()), 2);
    // Read back again from what was read back: the same row.
    CValue again;
    EXPECT_EQ(cache->bGetAt(again.get(), back->pclGetRecordIdNoRef()), 1);
    EXPECT_EQ(again.Image(), Image(2)) << "read by identity";

    CValue changed(Image(7), 0);
    ShareTextId(changed, L"K42");
    EXPECT_EQ(cache->nOnNotifyOperation(2, changed.get(), back.get(), 0, 0), 2);
    CValue afterUpdate;
    ASSERT_EQ(cache->bGetAt(afterUpdate.get(), 2u), 1);
    EXPECT_EQ(afterUpdate.Image(), Image(7));
    EXPECT_EQ(cache->nOnNotifyOperation(4, nullptr, afterUpdate.get(), 0, 0), 2);
    EXPECT_EQ(cache->eGetRecordState(2), 128);
    EXPECT_EQ(cache->nGetDeletedCount(), 1);

    CCacheRef<CNARecordCachePosition> saves;
    const int nSlot = saves->nKeepRecordSave(rows[1]->get());
    saves->AddRefRecordSave(nSlot);
    CValue saved;
    ASSERT_EQ(saves->bGetAt(saved.get(), static_cast<unsigned int>(nSlot)), 1);
    EXPECT_EQ(saves->nKeepRecordSave(saved.get()), nSlot);
    EXPECT_EQ(saves->nGetCount(), 1);
}

}  // namespace
