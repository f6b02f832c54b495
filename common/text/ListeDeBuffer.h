// A doubly linked list of fixed-size element buffers with a current
// position, the insertion point of Ajoute.
#pragma once

class CListeDeBuffer {
public:
    struct CLinkedElement {
        CLinkedElement* pNext;
        CLinkedElement* pPrevious;
        // The element's bytes follow.
    };

    explicit CListeDeBuffer(int nElementSize);
    ~CListeDeBuffer()
    {
        if (m_bOwner)
            SupprimeTout();
    }
    // A copy is a view of the same nodes: it describes a position in the
    // list and never frees them.
    CListeDeBuffer(const CListeDeBuffer& cl);
    CListeDeBuffer& operator=(const CListeDeBuffer& cl);

    // A copy of the element before (bBefore) or after the current node;
    // the new node becomes current. False when no node can be allocated.
    bool Ajoute(const void* pElement, int bBefore);
    void* pCourant() const { return pGetElem(m_pCurrent); }
    static void* pGetElem(CLinkedElement* pNode)
    {
        return pNode != nullptr ? reinterpret_cast<unsigned char*>(pNode) + sizeof(CLinkedElement) : nullptr;
    }
    // Null, position unchanged, when there is no such node.
    void* pVaSuivant();
    void* pVaPrecedent();
    // Past the ends the current node becomes null.
    void VaSuivant();
    void VaPrecedent();
    // 0 <= n < count.
    void* pVaSurNumero(int n);
    void SupprimeCourant();
    void SupprimeTout();
    // Moves the run [from's current, to's current) of source into this
    // (empty) list; from and to are copies of the source's header.
    void ExtraitListe(CListeDeBuffer& clSource, CListeDeBuffer& clFrom, CListeDeBuffer& clTo);

    int nGetNbElement() const { return m_nCount; }
    int nGetIndex() const { return m_nIndex; }
    CLinkedElement* pGetFirst() const { return m_pFirst; }
    CLinkedElement* pGetLast() const { return m_pLast; }
    CLinkedElement* pGetCurrentNode() const { return m_pCurrent; }
    // Places the current position on a node of this list (null: none).
    void SetCurrent(CLinkedElement* pNode, int nIndex)
    {
        m_pCurrent = pNode;
        m_nIndex = nIndex;
    }

private:
    CLinkedElement* m_pFirst;
    CLinkedElement* m_pLast;
    CLinkedElement* m_pCurrent;
    int m_nElementSize;
    int m_nCount;
    int m_nIndex;
    bool m_bOwner;
};
