#include "store/ident/FileTypeIdentification.h"

#include <new>

#include "store/filter/XmlValue.h"
#include "utility/Markup.h"

bool CFileTypeIdentification::LoadXML(const char* path) {
    Clear();
    CMarkup markup;
    if (!logvane::xml::LoadDocument(markup, path) || !markup.FindElem("FILETYPEIDENTIFICATION"))
        return false;
    try {
        while (markup.FindChildElem("FILE"))
            m_entries.emplace_back(markup.GetChildAttrib("EXTENSION"),
                                   markup.GetChildAttrib("TYPE"));
    } catch (const std::bad_alloc&) {
        Clear();
        return false;
    }
    return true;
}

bool CFileTypeIdentification::SaveXML(const char* path) const {
    CMarkup markup;
    markup.AddElem("FILETYPEIDENTIFICATION");
    markup.SetAttrib("version", "1");
    markup.SetAttrib("date", logvane::xml::TodayText());
    for (const auto& [extension, type] : m_entries) {
        markup.AddChildElem("FILE");
        markup.SetChildAttrib("EXTENSION", extension);
        markup.SetChildAttrib("TYPE", type);
    }
    return markup.Save(path);
}

std::string CFileTypeIdentification::GetExtension(int i) const {
    return Valid(i) ? m_entries[static_cast<size_t>(i)].first : std::string();
}

std::string CFileTypeIdentification::GetPageType(int i) const {
    return Valid(i) ? m_entries[static_cast<size_t>(i)].second : std::string();
}

void CFileTypeIdentification::Allocate(int n) {
    m_entries.resize(n > 0 ? static_cast<size_t>(n) : 0);
}

bool CFileTypeIdentification::SetData(int i, const std::string& extension,
                                      const std::string& type) {
    if (!Valid(i)) return false;
    m_entries[static_cast<size_t>(i)] = {extension, type};
    return true;
}
