#include "store/style/Styles.h"

#include <new>

#include "store/filter/XmlValue.h"

bool CStyles::LoadXML(const char* path) {
    CMarkup markup;
    if (!logvane::xml::LoadDocument(markup, path) || !markup.FindElem("STYLES")) return false;
    try {
        std::vector<std::unique_ptr<CStyle>> read;
        markup.IntoElem();
        while (markup.FindElem("STYLE")) read.push_back(std::make_unique<CStyle>(markup));
        for (auto& s : read) m_styles.push_back(std::move(s));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool CStyles::SaveXML(const char* path) const {
    CMarkup markup;
    markup.AddElem("STYLES");
    markup.SetAttrib("version", "1");
    markup.SetAttrib("date", logvane::xml::TodayText());
    markup.IntoElem();
    for (const auto& s : m_styles) s->SaveXML(markup);
    markup.OutOfElem();
    return markup.Save(path);
}

CStyle* CStyles::GetStyle(int i) const {
    return i >= 0 && i < GetNumStyles() ? m_styles[static_cast<size_t>(i)].get() : nullptr;
}

int CStyles::Insert(CStyle* s, int at) {
    if (!s || at < -1 || at > GetNumStyles()) return -1;
    std::unique_ptr<CStyle> owned(s);
    if (at == -1 || at == GetNumStyles()) {
        m_styles.push_back(std::move(owned));
        return GetNumStyles() - 1;
    }
    m_styles.insert(m_styles.begin() + at, std::move(owned));
    return at;
}

void CStyles::Remove(int i) {
    if (i >= 0 && i < GetNumStyles()) m_styles.erase(m_styles.begin() + i);
}

void CStyles::Allocate(int n) {
    const size_t count = n > 0 ? static_cast<size_t>(n) : 0;
    const size_t old = m_styles.size();
    m_styles.resize(count);
    for (size_t i = old; i < count; ++i) m_styles[i] = std::make_unique<CStyle>();
}
