// A direct SQL statement over a recording back end: the texts it is given
// to send, and a fixed result of text columns for every execution.
#pragma once

#include "access/driver/NAError.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NAStatementSQL.h"
#include "common/values/NACnvVariant.h"

#include <cwchar>
#include <new>
#include <string>
#include <vector>

class CRecordingStatementSQL : public CNAStatementSQL {
public:
    using CNAStatementSQL::CNAStatementSQL;

    std::vector<std::string> m_tabSent;            // the texts sent, as bytes
    std::vector<std::wstring> m_tabColumnName;     // the result's columns
    std::vector<std::vector<const wchar_t*>> m_tabRow; // null: a NULL value
    bool m_bFailExecution = false;
    bool m_bFailFetch = false;
    int m_nResets = 0;

    int bReset() override
    {
        m_nResets++;
        return CNAStatementSQL::bReset();
    }
    int _bExecuteDirect(const char* pszText, CTabValParser*, unsigned int) override
    {
        if (pszText == nullptr)
            return 0;
        m_tabSent.push_back(pszText);
        if (m_bFailExecution) {
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, 100, 1, nullptr, nullptr, nullptr, 38);
            _InitExecuteError(100, 1, pszText, static_cast<unsigned int>(m_tabSent.back().size()), 0);
            return 0;
        }
        m_bResultOpen = 1;
        m_llRowCount = static_cast<long long>(m_tabRow.size());
        m_nColumnCount = static_cast<unsigned int>(m_tabColumnName.size());
        return 1;
    }
    int bFetch(unsigned int) override
    {
        if (m_bFailFetch) {
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, 100, 2, nullptr, nullptr, nullptr, 38);
            return 0;
        }
        m_llCurrentRow++;
        m_bEndOfData = m_llCurrentRow >= m_llRowCount;
        return 1;
    }
    int bGetValue(CNAConvertVariant* pclCell, unsigned int nColumn, unsigned int nFlags) override
    {
        if (m_bEndOfData || nColumn >= m_nColumnCount)
            return 0;
        const wchar_t* psz = m_tabRow[static_cast<size_t>(m_llCurrentRow)][nColumn];
        if (psz == nullptr) {
            pclCell->SetNull();
            return 1;
        }
        return pclCell->bSetValue(psz, static_cast<unsigned int>(std::wcslen(psz)));
    }
    using CNAStatementSQL::bGetValue;
    int _bInitTabNAColumn() override
    {
        m_ptabColumn = new (std::nothrow) CNAColumnSQL[m_nColumnCount];
        if (m_ptabColumn == nullptr)
            return 0;
        for (unsigned int i = 0; i < m_nColumnCount; i++)
            m_ptabColumn[i].m_csName.Set(m_tabColumnName[i].c_str());
        return 1;
    }
};
