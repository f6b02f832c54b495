// Owned heap bytes from the C allocator.
#pragma once

class CSimpleConstBufferBase {
public:
    virtual ~CSimpleConstBufferBase();

    const unsigned char* pGetData() const { return m_pData; }
    unsigned nGetSize() const { return m_nSize; }

protected:
    CSimpleConstBufferBase() : m_pData(nullptr), m_nSize(0) {}

    unsigned char* m_pData;
    unsigned m_nSize;

private:
    CSimpleConstBufferBase(const CSimpleConstBufferBase&) = delete;
    CSimpleConstBufferBase& operator=(const CSimpleConstBufferBase&) = delete;
};

class CSimpleBufferBase : public CSimpleConstBufferBase {
public:
    ~CSimpleBufferBase() override;
    // A different size drops the content; the same size keeps it.
    virtual void SetSize(unsigned size) = 0;

    unsigned char* pGetData() { return m_pData; }
    const unsigned char* pGetData() const { return m_pData; }

    void CopyBuffer(const void* src, unsigned size);
};

class CSimpleBuffer : public CSimpleBufferBase {
public:
    CSimpleBuffer() {}
    explicit CSimpleBuffer(unsigned size);
    CSimpleBuffer(const void* src, unsigned size);
    explicit CSimpleBuffer(const CSimpleBuffer* other);
    ~CSimpleBuffer() override;

    // Throws std::bad_alloc when the bytes cannot be had (the buffer is then
    // empty).
    void SetSize(unsigned size) override;
};
