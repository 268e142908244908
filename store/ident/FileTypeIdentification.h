#pragma once

#include <string>
#include <utility>
#include <vector>

#include "store/StoreApi.h"

// The file-type identification file: which extensions are pages ("PAGE"), images ("IMAGE")
// or other web documents ("MISCWEB"). Entries of any other type are kept but classify nothing.
class LOGVANE_STORE_API CFileTypeIdentification {
public:
    // Replaces the list by the file's entries; false (list empty) when the file is missing,
    // malformed or has no `FILETYPEIDENTIFICATION` root.
    bool LoadXML(const char* path);
    // False when the file cannot be written; the old file is then untouched.
    bool SaveXML(const char* path) const;

    int GetNumEntries() const { return static_cast<int>(m_entries.size()); }
    // Empty text when i is out of range.
    std::string GetExtension(int i) const;
    std::string GetPageType(int i) const;
    // Sets the number of entries: new ones empty, surplus ones dropped, 0 or less empties.
    void Allocate(int n);
    // Overwrites entry i; false (nothing changed) when i is out of range.
    bool SetData(int i, const std::string& extension, const std::string& type);
    void Clear() { m_entries.clear(); }

private:
    bool Valid(int i) const { return i >= 0 && i < GetNumEntries(); }

    std::vector<std::pair<std::string, std::string>> m_entries;  // extension, type
};
