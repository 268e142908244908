#pragma once

#include <memory>
#include <vector>

#include "store/StoreApi.h"
#include "store/style/Style.h"

// The user's styles, owned by the list; stored in the styles file (root `STYLES`).
class LOGVANE_STORE_API CStyles {
public:
    CStyles() = default;
    CStyles(const CStyles&) = delete;
    CStyles& operator=(const CStyles&) = delete;
    virtual ~CStyles() = default;

    // Appends the file's styles; false (nothing added) when the file is missing, unreadable or
    // has no `STYLES` root.
    bool LoadXML(const char* path);
    // False when the file cannot be written; the old file is then untouched.
    bool SaveXML(const char* path) const;

    int GetNumStyles() const { return static_cast<int>(m_styles.size()); }
    // Owned by the list; null when i is out of range.
    CStyle* GetStyle(int i) const;
    // At -1 or the count: appends and returns the new index; below the count: inserts there and
    // returns `at`; the list then owns s. Above the count, or for a null style: nothing is
    // inserted, -1 is returned and the caller keeps s.
    int Insert(CStyle* s, int at = -1);
    // Destroys style i; ignored when out of range.
    void Remove(int i);
    void Clear() { m_styles.clear(); }
    // Sets the list length; new slots hold default styles, 0 or less empties it.
    void Allocate(int n);

private:
    std::vector<std::unique_ptr<CStyle>> m_styles;
};
