#include "engine/ident/GenericIdentification.h"

#include "engine/run/CaseTables.h"
#include "store/ident/GenericInformation.h"

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(logvane::casefold::kUpper[static_cast<unsigned char>(c)]);
    return text;
}

}  // namespace

CGenericIdentification::CGenericIdentification(const char* tag, const char* rootTag)
    : m_tag(Upper(tag ? tag : "")), m_rootTag(rootTag ? rootTag : "") {}

bool CGenericIdentification::LoadXML(const char* path) {
    Clear();
    CGenericInformation information(m_tag.c_str(), m_rootTag.c_str());
    if (!information.LoadXML(path)) return false;
    // The file's entries are followed by the catch-all that the reader adds.
    for (int i = 0; i < information.GetNumElems(); ++i) {
        std::vector<std::string> keywords;
        for (int k = 0; k < information.GetNumKeywords(i); ++k)
            keywords.push_back(information.GetKeyword(i, k));
        AddCategory(information.GetElemName(i), keywords);
    }
    return true;
}

void CGenericIdentification::AddCategory(const std::string& name,
                                         const std::vector<std::string>& keywords) {
    Category category;
    category.name = name;
    for (const std::string& keyword : keywords) {
        category.keywords.push_back(Upper(keyword));
        category.patterns.push_back(std::make_unique<CPatternSearch>(keyword, true));
    }
    m_categories.push_back(std::move(category));
}

int CGenericIdentification::FindCategory(const char* text, std::size_t length) const {
    const int last = GetNum() - 1;
    for (int i = 0; i < last; ++i)
        for (const auto& pattern : m_categories[static_cast<std::size_t>(i)].patterns)
            if (pattern->Find(text, length) >= 0) return i;
    return -1;
}

void CGenericIdentification::CountMatch(int index) {
    if (m_categories.empty()) return;
    Count(index >= 0 && index < GetNum() ? index : GetNum() - 1);
}

int CGenericIdentification::MatchString(const char* text, std::size_t length) {
    const int index = FindCategory(text, length);
    CountMatch(index);
    return index;
}

void CSpiderIdentification::CountMatch(int index) {
    if (index >= 0 && index < GetNum()) Count(index);
}

int CSpiderIdentification::MatchString(const char* text, std::size_t length) {
    const int index = FindCategory(text, length);
    CountMatch(index);
    return index;
}

std::string CGenericIdentification::GetName(int index) const {
    return Valid(index) ? m_categories[static_cast<std::size_t>(index)].name : std::string();
}

std::uint64_t CGenericIdentification::GetNumMatches(int index) const {
    return Valid(index) ? m_categories[static_cast<std::size_t>(index)].matches : 0;
}

int CGenericIdentification::GetNumKeywords(int index) const {
    return Valid(index)
               ? static_cast<int>(m_categories[static_cast<std::size_t>(index)].keywords.size())
               : 0;
}

std::string CGenericIdentification::GetFirstKeyword(int index) const {
    if (!Valid(index) || m_categories[static_cast<std::size_t>(index)].keywords.empty()) return {};
    return m_categories[static_cast<std::size_t>(index)].keywords.front();
}
