// Writes asked of a data access that was never opened: no current record,
// so each answers 0 with the no-record error and sends nothing.
#include "access/table/NADataAccess.h"

#include "access/driver/NAError.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/TableScope.h"
#include "tests/support/TestTable.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class WriteUnopened : public testing::Test, protected CTableScope {};

TEST_F(WriteUnopened, EveryWriteAnswersNoRecord)
{
    m_pTable->Add(L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    (*m_pTable)->UpdateRecordSize();
    CNADataAccess* p = new CNADataAccess(m_pTable->Get(), m_pCnx, m_pError);
    p->AddRef();
    const eNA_LOCKTYPE eNoLock = static_cast<eNA_LOCKTYPE>(0);
    const std::function<int()> afnWrite[] = {
        [&] { return p->bHAjoute(0, eNoLock); },
        [&] { return p->bHModifie(0, 0, eNoLock); },
        [&] { return p->bHEcrit(0, 0, eNoLock); },
        [&] { return p->bHSupprime(0, eNoLock); },
    };
    for (const auto& fn : afnWrite) {
        m_pError->Reset();
        EXPECT_EQ(fn(), 0);
        EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_CURRENT_RECORD));
    }
    EXPECT_EQ(p->nRelease(), 0u);
}

} // namespace
