// Places of virtual operations in an object's table, read from member
// pointers: a member pointer's bits cannot be read in a constant expression,
// so a test reads each operation's place (i386 Itanium ABI: one plus the
// slot's byte offset in the table).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

struct SSlot {
    int nPlace;  // from 0; -1 for an operation that is not virtual
    const char* pszName;
};

template <class M>
SSlot Slot(M pm, const char* pszName)
{
    static_assert(sizeof(M) == 2 * sizeof(std::uintptr_t), "a member pointer is an address and an adjustment");
    std::uintptr_t au[2];
    std::memcpy(au, &pm, sizeof au);
    const int nPlace = (au[0] & 1) != 0 ? static_cast<int>((au[0] - 1) / sizeof(void*)) : -1;
    return {nPlace, pszName};
}

#define S(I, f) Slot(&I::f, #f)
// An overloaded operation, chosen by its parameters (SOC: a const one).
#define SO(I, f, R, ...) Slot(static_cast<R (I::*)(__VA_ARGS__)>(&I::f), #f "(" #__VA_ARGS__ ")")
#define SOC(I, f, R, ...) Slot(static_cast<R (I::*)(__VA_ARGS__) const>(&I::f), #f "(" #__VA_ARGS__ ") const")

// The operations hold consecutive places from nFirst.
inline void CheckOrder(const char* pszClass, const std::vector<SSlot>& aSlots, int nFirst = 0)
{
    for (size_t i = 0; i < aSlots.size(); i++)
        EXPECT_EQ(aSlots[i].nPlace, nFirst + static_cast<int>(i)) << pszClass << "::" << aSlots[i].pszName;
}
