#include "access/sql/NAFilter.h"

#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/sql/ISQLParserInformation.h"
#include "access/sql/NAExpression.h"
#include "access/statement/NAColumn.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/TextCompare.h"
#include "common/values/AnyConvert.h"
#include "common/values/NACnvVariant.h"

#include <new>
#include <utility>

namespace {

const int kPointParsedFilter = 30;

bool _bNone(const CAny* p)
{
    return p == nullptr || p->bIsNull() || p->nGetTypeCode() == TQTYPE_VIDE;
}

// Whether two conditions compare the same columns with the same values in
// the same shape: a filter's bounds live in its condition alone.
bool _bSameCondition(const CNAExpression* a, const CNAExpression* b)
{
    if (a == b)
        return true;
    if (a == nullptr || b == nullptr || a->eGetOperator() != b->eGetOperator() || a->nGetFlags() != b->nGetFlags())
        return false;
    const CNAColumn* pclColumnA = a->pclGetColumnNoRef();
    const CNAColumn* pclColumnB = b->pclGetColumnNoRef();
    if ((pclColumnA == nullptr) != (pclColumnB == nullptr) ||
        (pclColumnA != nullptr && STR_nCompareW(pclColumnA->pszGetName(), pclColumnB->pszGetName(), 3) != 0))
        return false;
    return CNAVariant::g_bEqualsNAVariant(a->pclGetValueNoRef(), b->pclGetValueNoRef()) &&
           _bSameCondition(a->pclGetLeftNoRef(), b->pclGetLeftNoRef()) &&
           _bSameCondition(a->pclGetRightNoRef(), b->pclGetRightNoRef());
}

// Whether the host's parse holds a condition: a parse without WHERE keeps
// no row out, and an empty condition would write nothing between its
// parentheses.
bool _bHasCondition(ISQLParserInformation* piParser)
{
    IExpOpExpression* piWhere = piParser->piGetWhere();
    if (piWhere == nullptr)
        return false;
    piWhere->nRelease();
    return true;
}

} // namespace

CNAFilter::CNAFilter(CNAError* pclError, CNAConnectionDescription* pclConnection)
    : CNARecherche(pclError, pclConnection), m_pclOwn(nullptr)
{
}

CNAFilter::CNAFilter() : CNAFilter(nullptr, nullptr) {}

CNAFilter::~CNAFilter()
{
    _bResetFilter();
}

CNARecherche* CNAFilter::pclClone()
{
    return pclCloneFilter();
}

CNARecherche* CNAFilter::_pclAllocRecherche()
{
    return new (std::nothrow) CNAFilter();
}

CNAFilter* CNAFilter::pclCloneFilter()
{
    CNAFilter* pcl = static_cast<CNAFilter*>(CNARecherche::pclClone());
    if (pcl != nullptr && m_pclOwn != nullptr) {
        m_pclOwn->AddRef();
        pcl->m_pclOwn = m_pclOwn;
    }
    return pcl;
}

int CNAFilter::_bResetFilter()
{
    if (m_pclOwn != nullptr)
        m_pclOwn->nRelease();
    m_pclOwn = nullptr;
    return 1;
}

void CNAFilter::ActivateFilter(int bOn)
{
    if (bOn)
        Activate();
    else
        Desactivate();
}

int CNAFilter::bSetFilter(CNARecord* pclRecord, INAItemDescription* piItem, const CAny* pLower, int bLowerIncluded,
                          const CAny* pUpper, int bUpperIncluded, ISQLParserInformation* piParser, int nFlags)
{
    _SetCondition(&m_pclSearch, nullptr);
    _SetCondition(&m_pclCurrent, nullptr);
    _SetFetchItem(piItem);
    const unsigned int nBase = static_cast<unsigned int>(nFlags);
    if (pLower != nullptr && pUpper != nullptr && piItem != nullptr && piItem->bGetDescendant(-1)) {
        // In key order the larger value comes first: each bound keeps its
        // inclusion flag.
        std::swap(pLower, pUpper);
        std::swap(bLowerIncluded, bUpperIncluded);
    }
    int bEqual = 0;
    if (pLower != nullptr && pUpper != nullptr) {
        if (_bNone(pLower) || _bNone(pUpper)) {
            bEqual = _bNone(pLower) && _bNone(pUpper);
        } else {
            int n = 0;
            bEqual = nEgalite(pLower, pUpper, &n, 0) <= 99 && n != 0;
        }
    }
    int bFailed = 0;
    CNAExpression* pclLower = nullptr;
    CNAExpression* pclUpper = nullptr;
    const bool bFromRecord = (nBase & RECH_FROMRECORD) != 0;
    if (bFromRecord || pLower != nullptr) {
        eNAOperator e;
        if (bFromRecord)
            e = pUpper == nullptr ? NAOP_EQ : (bLowerIncluded ? NAOP_GE : NAOP_GT);
        else
            e = bEqual ? NAOP_EQ : (bLowerIncluded ? NAOP_GE : NAOP_GT);
        pclLower = _pclAddExpression(pclRecord, piItem, e, pLower, nBase | RECH_LOWER | RECH_BOUNDS, nullptr,
                                     &bFailed);
    }
    if (pUpper != nullptr && !bFailed && (bFromRecord || !bEqual))
        pclUpper = _pclAddExpression(pclRecord, piItem, bUpperIncluded ? NAOP_LE : NAOP_LT, pUpper,
                                     nBase | RECH_UPPER | RECH_BOUNDS, nullptr, &bFailed);
    CNAExpression* pclCondition = _pclJoin(NAOP_AND, pclLower, pclUpper, nBase, &bFailed);
    if (piParser != nullptr && !bFailed && _bHasCondition(piParser)) {
        // The host's own condition joins the bounds.
        CNAExpression* pclMaker = pclAllocExpression();
        CNAExpression* pclParsed = nullptr;
        if (pclMaker != nullptr) {
            pclMaker->AddRef();
            pclParsed = pclMaker->pclAllocExpression(piParser, nBase);
            pclMaker->nRelease();
        }
        if (pclParsed == nullptr)
            bFailed = _bNoMemory(kPointParsedFilter) + 1;
        pclCondition = _pclJoin(NAOP_AND, pclCondition, pclParsed, nBase, &bFailed);
    }
    if (bFailed) {
        if (pclCondition != nullptr) {
            pclCondition->AddRef();
            pclCondition->nRelease();
        }
        return 0;
    }
    if (pclCondition == nullptr)
        return 1;
    _SetCondition(&m_pclSearch, pclCondition);
    _SetCondition(&m_pclCurrent, pclCondition);
    return 1;
}

int CNAFilter::bEqualsFilter(const CNAFilter* pclOther) const
{
    return pclOther == this || (bEqualsSearch(pclOther) && _bSameCondition(m_pclSearch, pclOther->m_pclSearch));
}

int CNAFilter::g_bEqualsFilter(const CNAFilter* a, const CNAFilter* b)
{
    if (a == nullptr || b == nullptr)
        return (a == nullptr || !a->bIsFilterActive()) && (b == nullptr || !b->bIsFilterActive());
    return a->bEqualsFilter(b);
}
