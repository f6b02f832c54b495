// A filter kept with its active state, so that the data access can put it
// back and tell whether another is the same.
#pragma once

class CNAFilter;

class CNAFilterSave {
public:
    // The filter (one reference) and whether it is active.
    explicit CNAFilterSave(CNAFilter* pclFilter = nullptr);
    ~CNAFilterSave();
    CNAFilterSave(const CNAFilterSave&) = delete;
    CNAFilterSave& operator=(const CNAFilterSave&) = delete;

    // Another filter: the one held is released, the new one referenced and
    // its active state taken.
    void SetFilter(CNAFilter* pclFilter);
    // The other's filter, then its active flag.
    void Copy(CNAFilterSave& clOther);
    // Whether the filter is the one saved: both inactive (or absent), or
    // equal filters.
    int bFilterEquals(CNAFilter* pclFilter) const;

    CNAFilter* pclGetFilterNoRef() const { return m_pclFilter; }
    int bIsActive() const { return m_bActive; }

private:
    CNAFilter* m_pclFilter; // one reference, or null
    int m_bActive;
};
