#include "store/ident/GenericInformation.h"

#include <new>

#include "store/filter/XmlValue.h"
#include "utility/Markup.h"

CGenericInformation::CGenericInformation(const char* elementName, const char* otherLabel)
    : m_elementName(elementName ? elementName : ""), m_otherLabel(otherLabel ? otherLabel : "") {
    for (char& c : m_elementName)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

bool CGenericInformation::LoadXML(const char* path) {
    Clear();
    CMarkup markup;
    bool loaded = logvane::xml::LoadDocument(markup, path) &&
                  markup.FindElem(m_elementName + "IDENTIFICATION");
    if (loaded) {
        try {
            markup.IntoElem();
            while (markup.FindElem(m_elementName)) {
                Entry entry{markup.GetAttrib("Name"), {}};
                while (markup.FindChildElem("KEYWORD"))
                    entry.keywords.push_back(markup.GetChildData());
                m_entries.push_back(std::move(entry));
            }
        } catch (const std::bad_alloc&) {
            Clear();
            loaded = false;
        }
    }
    m_entries.push_back(Entry{"Other " + m_otherLabel, {}});
    return loaded;
}

std::string CGenericInformation::GetElemName(int i) const {
    return Valid(i) ? m_entries[static_cast<size_t>(i)].name : std::string();
}

int CGenericInformation::GetNumKeywords(int i) const {
    return Valid(i) ? static_cast<int>(m_entries[static_cast<size_t>(i)].keywords.size()) : -1;
}

std::string CGenericInformation::GetKeyword(int i, int k) const {
    if (!Valid(i) || k < 0 || k >= GetNumKeywords(i)) return {};
    return m_entries[static_cast<size_t>(i)].keywords[static_cast<size_t>(k)];
}
