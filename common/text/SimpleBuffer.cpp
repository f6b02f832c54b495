#include "common/text/SimpleBuffer.h"
#include "common/text/SysUtils.h"

#include <cstdlib>
#include <cstring>
#include <new>

CSimpleConstBufferBase::~CSimpleConstBufferBase()
{
    XMALLOC_Del_(m_pData);
}

CSimpleBufferBase::~CSimpleBufferBase()
{
}

void CSimpleBufferBase::CopyBuffer(const void* src, unsigned size)
{
    SetSize(size);
    if (size != 0 && src != nullptr)
        memcpy(m_pData, src, size);
}

CSimpleBuffer::CSimpleBuffer(unsigned size)
{
    SetSize(size);
}

CSimpleBuffer::CSimpleBuffer(const void* src, unsigned size)
{
    CopyBuffer(src, size);
}

CSimpleBuffer::CSimpleBuffer(const CSimpleBuffer* other)
{
    if (other != nullptr)
        CopyBuffer(other->m_pData, other->m_nSize);
}

CSimpleBuffer::~CSimpleBuffer()
{
}

void CSimpleBuffer::SetSize(unsigned size)
{
    if (size == m_nSize)
        return;
    XMALLOC_Del_(m_pData);
    m_pData = nullptr;
    m_nSize = 0;
    if (size == 0)
        return;
    m_pData = static_cast<unsigned char*>(XMALLOC_pNew_(size));
    if (m_pData == nullptr)
        throw std::bad_alloc();
    m_nSize = size;
}
