// The duplicate refusals both write tests make on the table w (id key, u1
// unique, txt, u2 nullable unique, a composite unique key kc over ca, cb),
// with row 1 (1, 10, 'one', 100, 5, 6) in it and row 2 added by the test.
#pragma once

#include <gtest/gtest.h>

#include <string>

struct SDuplicateCase {
    const char* pszName;
    bool bModify;        // a modify of row 2, else an add of row 3
    int nU1;
    int nU2;             // -1: NULL
    bool bComposite;     // ca, cb as row 1's
    const char* pszItem; // named in the error
};

// An add duplicating u2; a modify changing u1 to a taken value (u2 left
// as it was is not tested); a NULL u2 with u1 taken; the composite key.
inline const SDuplicateCase kDuplicateCases[] = {
    {"AddU2", false, 30, 100, false, "u2"},
    {"ModifyU1UnchangedU2", true, 10, 200, false, "u1"},
    {"NullU2", false, 10, -1, false, "u1"},
    {"Composite", false, 30, 300, true, "kc"},
};

inline std::string DuplicateCaseName(const testing::TestParamInfo<SDuplicateCase>& info)
{
    return info.param.pszName;
}
