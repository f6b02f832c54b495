// The buffer list with its current position, the bucket hash that files
// pairs in such lists, and the string hash functions.
#include "common/text/HashBase.h"
#include "common/text/ListeDeBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<int> Contents(CListeDeBuffer& l)
{
    std::vector<int> v;
    for (CListeDeBuffer::CLinkedElement* p = l.pGetFirst(); p != nullptr; p = p->pNext)
        v.push_back(*static_cast<int*>(CListeDeBuffer::pGetElem(p)));
    return v;
}

int Current(const CListeDeBuffer& l) { return *static_cast<int*>(l.pCourant()); }

void Add(CListeDeBuffer& l, int n, int bBefore) { ASSERT_TRUE(l.Ajoute(&n, bBefore)); }

// Keys are small integers; the hash is the key itself.
class CIntHash : public CHashBase {
public:
    explicit CIntHash(int n) : CHashBase(n) {}
    unsigned int dwHashKey(void* pKey) override { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(pKey)); }
    int bSameKey(void* a, void* b) override { return a == b; }
};

void* K(int n) { return reinterpret_cast<void*>(static_cast<uintptr_t>(n)); }

}  // namespace

TEST(ListeDeBuffer, InsertAfterAndBefore)
{
    CListeDeBuffer l(sizeof(int));
    EXPECT_EQ(l.nGetIndex(), -1);
    EXPECT_EQ(l.pCourant(), nullptr);
    Add(l, 1, 0);
    Add(l, 2, 0);
    Add(l, 3, 0);
    EXPECT_EQ(Contents(l), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(l.nGetIndex(), 2);
    l.pVaPrecedent();
    Add(l, 9, 0);
    EXPECT_EQ(Contents(l), (std::vector<int>{1, 2, 9, 3}));
    EXPECT_EQ(l.nGetIndex(), 2);
    Add(l, 8, 1);
    EXPECT_EQ(Contents(l), (std::vector<int>{1, 2, 8, 9, 3}));
    EXPECT_EQ(l.nGetIndex(), 2);
    EXPECT_EQ(Current(l), 8);
}

TEST(ListeDeBuffer, MovesAndRemovals)
{
    CListeDeBuffer l(sizeof(int));
    for (int i = 0; i < 10; i++)
        Add(l, i, 0);
    EXPECT_EQ(l.pVaSuivant(), nullptr);
    EXPECT_EQ(l.nGetIndex(), 9);
    l.VaSuivant();
    EXPECT_EQ(l.pCourant(), nullptr);
    l.VaPrecedent();
    l.VaPrecedent();
    EXPECT_EQ(l.pCourant(), nullptr);
    ASSERT_NE(l.pVaSurNumero(9), nullptr);
    EXPECT_EQ(*static_cast<int*>(l.pVaSurNumero(0)), 0);
    EXPECT_EQ(*static_cast<int*>(l.pVaSurNumero(2)), 2);
    EXPECT_EQ(*static_cast<int*>(l.pVaSurNumero(8)), 8);
    EXPECT_EQ(*static_cast<int*>(l.pVaSurNumero(5)), 5);
    EXPECT_EQ(l.nGetIndex(), 5);
    l.pVaSurNumero(0);
    l.SupprimeCourant();
    EXPECT_EQ(Current(l), 1);
    EXPECT_EQ(l.nGetIndex(), 0);
    l.pVaSurNumero(4);
    l.SupprimeCourant();
    EXPECT_EQ(Current(l), 4);
    EXPECT_EQ(l.nGetIndex(), 3);
    EXPECT_EQ(l.nGetNbElement(), 8);

    CListeDeBuffer one(sizeof(int));
    Add(one, 7, 0);
    one.SupprimeCourant();
    EXPECT_EQ(one.nGetNbElement(), 0);
    EXPECT_EQ(one.nGetIndex(), -1);
    EXPECT_EQ(one.pCourant(), nullptr);
}

TEST(ListeDeBuffer, ExtractRun)
{
    CListeDeBuffer source(sizeof(int));
    for (int i = 0; i < 6; i++)
        Add(source, i, 0);
    CListeDeBuffer from(source), to(source);
    from.pVaSurNumero(1);
    to.pVaSurNumero(4);
    CListeDeBuffer run(sizeof(int));
    run.ExtraitListe(source, from, to);
    EXPECT_EQ(Contents(run), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(run.nGetIndex(), 0);
    EXPECT_EQ(Contents(source), (std::vector<int>{0, 4, 5}));
    EXPECT_EQ(source.nGetNbElement(), 3);
    EXPECT_EQ(source.nGetIndex(), 2);
    EXPECT_EQ(Current(from), 4);
    EXPECT_EQ(from.nGetIndex(), 1);
}

TEST(HashBase, FilesFindsAndRemovesPairs)
{
    CIntHash h(3);
    for (int i = 1; i <= 9; i++)
        ASSERT_TRUE(h.AjouteDYN(K(i), K(100 + i)));
    EXPECT_EQ(h.nGetBucketCount(), 3);
    ASSERT_TRUE(h.AjouteDYN(K(10), K(110)));
    EXPECT_EQ(h.nGetBucketCount(), 7);
    EXPECT_EQ(h.nGetNbElement(), 10);
    for (int i = 1; i <= 10; i++) {
        void* v = nullptr;
        ASSERT_TRUE(h.bRechercheConst(K(i), &v, nullptr)) << i;
        EXPECT_EQ(v, K(100 + i));
    }
    EXPECT_FALSE(h.bRecherche(K(11), nullptr, nullptr));
    EXPECT_TRUE(h.bSupprime(K(3)));
    EXPECT_FALSE(h.bSupprime(K(3)));
    EXPECT_EQ(h.nGetNbElement(), 9);
    // Shrinking never goes below 43 buckets.
    for (int i = 4; i <= 10; i++)
        h.bSupprime(K(i));
    EXPECT_TRUE(h.bSupprimeDYN(K(1)));
    EXPECT_EQ(h.nGetBucketCount(), 43);
    void* v = nullptr;
    ASSERT_TRUE(h.bRecherche(K(2), &v, nullptr));
    EXPECT_EQ(v, K(102));
    int bucket = 0;
    void* key = nullptr;
    h.SupprimeCourant(&bucket, &v, &key);
    EXPECT_EQ(key, K(2));
    EXPECT_EQ(h.nGetNbElement(), 0);
    h.SupprimeCourant(&bucket, &v, &key);
    EXPECT_EQ(v, nullptr);
}

TEST(HashBase, StringHashes)
{
    EXPECT_EQ(dwHashValTA("\xE9"), 4294967296u - 23u);
    EXPECT_EQ(dwHashValT(L"abc"), 294u);
    EXPECT_EQ(dwHashValTA("abc"), 294u);
    EXPECT_EQ(dwHashValTi(L"abc"), 198u);
    EXPECT_EQ(dwHashValTiA("aBc"), 198u);
    EXPECT_EQ(dwHashValT(nullptr), 0u);
    EXPECT_EQ(dwHashValTiA(""), 0u);
}
