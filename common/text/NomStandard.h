// Names with their standard form (without case and accents), built on demand
// by the derived class. The static empty one serves where a name is needed
// before anything was built.
#pragma once

#include "common/text/XYString.h"

class CNomStandard {
public:
    constexpr CNomStandard(const wchar_t* pszNom, const wchar_t* pszNomStandard)
        : m_pszNom(pszNom), m_pszNomStandard(pszNomStandard)
    {
    }
    virtual void __vConstruitNomStandard() = 0;

    const wchar_t* m_pszNom;
    const wchar_t* m_pszNomStandard;

protected:
    ~CNomStandard() = default;
};

class CNomStandardStatique : public CNomStandard {
public:
    constexpr CNomStandardStatique()
        : CNomStandard(CXYString<wchar_t>::ChaineVide, CXYString<wchar_t>::ChaineVide)
    {
    }
    void __vConstruitNomStandard() override {}

    static CNomStandardStatique ChaineVide;
};
