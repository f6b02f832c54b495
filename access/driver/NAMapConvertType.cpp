#include "access/driver/NAMapConvertType.h"

#include "access/driver/NAItemDescription.h"

#include <new>

int CNAMapConvertType::Add(eNA_ITEMTYPE eType, const wchar_t* pszText, int bFormat)
{
    CNATypeInfo* pcl = new (std::nothrow) CNATypeInfo(pszText, bFormat);
    if (pcl == nullptr)
        return 0;
    pcl->AddRef();
    const bool bDone = bSetValue(eType, pcl);
    pcl->nRelease();
    return bDone;
}

int CNAMapConvertType::bFormat(const INAItemDescription* piItem, CTString* pclOut) const
{
    CNATypeInfo* pcl = nullptr;
    if (piItem == nullptr || !bGetValue(piItem->eNAGetItemType(), &pcl) || pcl == nullptr)
        return 0;
    pcl->Format(piItem, pclOut);
    pcl->nRelease();
    return 1;
}

void CNAMapConvertType::_Init()
{
    static const struct {
        eNA_ITEMTYPE eType;
        const wchar_t* pszText;
        int bFormat;
    } tab[] = {
        {NA_IT_IDAUTO, L"NUMERIC(19,0)", 0},    {NA_IT_TEXTE, L"VARCHAR(%d)", 1},
        {NA_IT_I2, L"SMALLINT", 0},             {NA_IT_I1, L"SMALLINT", 0},
        {NA_IT_UI2, L"SMALLINT", 0},            {NA_IT_UI1, L"SMALLINT", 0},
        {NA_IT_BOOLEEN, L"SMALLINT", 0},        {NA_IT_I4, L"INTEGER", 0},
        {NA_IT_UI4, L"INTEGER", 0},             {NA_IT_IDAUTO4, L"INTEGER", 0},
        {NA_IT_R4, L"REAL", 0},                 {NA_IT_R8, L"FLOAT", 0},
        {NA_IT_REELTURBO, L"FLOAT", 0},         {NA_IT_DATE6, L"DATE", 0},
        {NA_IT_DATE8, L"DATE", 0},              {NA_IT_HEURE, L"TIME", 0},
        {NA_IT_MEMOTEXTE, L"TEXT", 0},          {NA_IT_MONETAIRE, L"NUMERIC(24,6)", 0},
        {NA_IT_I8, L"NUMERIC(19,0)", 0},        {NA_IT_TIMELENGHT, L"NUMERIC(19,0)", 0},
        {NA_IT_UI8, L"NUMERIC(20,0)", 0},       {NA_IT_IMAGE, L"CHARACTER(%d)", 1},
        {NA_IT_BINAIRE, L"VARBINARY(%d)", 1},   {NA_IT_DATETIME, L"TIMESTAMP", 0},
        {NA_IT_CHAR, L"CHARACTER", 0},          {NA_IT_UNICODE, L"NVARCHAR(%d)", 1},
        {NA_IT_MEMOUNICODE, L"NTEXT", 0},       {NA_IT_DECIMAL, L"NUMERIC(%d,%d)", 1},
    };
    for (const auto& st : tab)
        Add(st.eType, st.pszText, st.bFormat);
}
