#include "store/filter/FilterInformation.h"

#include <new>

#include "store/filter/XmlValue.h"
#include "utility/Markup.h"

namespace {

// Reads the children of the FILTER at the main position; false when a text form is unknown.
bool ReadFilter(CMarkup& markup, filter_t& f) {
    bool valid = true;
    while (markup.FindChildElem()) {
        const std::string tag = markup.GetChildTagName();
        if (tag == "INCLUDETYPE") {
            f.includeType = StringToIncludeType(markup.GetChildData());
            valid = valid && f.includeType >= 0;
        } else if (tag == "INFORMATION") {
            f.infoType = StringToInfoType(markup.GetChildData());
            valid = valid && f.infoType != filter_t::INFO_BAD;
        } else if (tag == "QUICKFILTER") {
            f.quickFilter = StringToQuickFilter(markup.GetChildData());
            valid = valid && f.quickFilter != filter_t::QUICK_BAD;
        } else if (tag == "REQUESTTYPE") {
            f.requestType = CFilterInformation::ConvertStringtoRequestType(markup.GetChildData());
            valid = valid && f.requestType != REQUEST_BAD;
        } else if (tag == "STRING") {
            f.string = markup.GetChildData();
        } else if (tag == "NUM1") {
            f.num1 = logvane::xml::ToInt(markup.GetChildData());
        } else if (tag == "NUM2") {
            f.num2 = logvane::xml::ToInt(markup.GetChildData());
        } else if (tag == "BEGIN") {
            f.begin = logvane::xml::ToInt(markup.GetChildData());
        } else if (tag == "END") {
            f.end = logvane::xml::ToInt(markup.GetChildData());
        }
    }
    return valid;
}

void WriteFilter(CMarkup& markup, const filter_t& f) {
    markup.AddChildElem("FILTER");
    markup.IntoElem();
    const char* include = IncludeTypeToString(f.includeType);
    markup.AddChildElem("INCLUDETYPE", include ? include : "");
    if (const char* info = InfoTypeToString(f.infoType)) markup.AddChildElem("INFORMATION", info);
    if (const char* quick = QuickFilterToString(f.quickFilter))
        markup.AddChildElem("QUICKFILTER", quick);
    if (!f.string.empty()) markup.AddChildElem("STRING", f.string);
    if (f.num1 != 0) markup.AddChildElem("NUM1", f.num1);
    if (f.num2 != 0) markup.AddChildElem("NUM2", f.num2);
    if (f.begin != 0) markup.AddChildElem("BEGIN", f.begin);
    if (f.end != 0) markup.AddChildElem("END", f.end);
    const std::string request = CFilterInformation::ConvertRequestTypeToString(f.requestType);
    if (!request.empty()) markup.AddChildElem("REQUESTTYPE", request);
    markup.OutOfElem();
}

}  // namespace

filter_t CFilterInformation::GetFilterInfo(int i) const {
    if (i < 0 || i >= GetNumFilters()) return filter_t();
    return m_filters[static_cast<size_t>(i)];
}

int CFilterInformation::AddFilterInfo(const filter_t& f, int at) {
    if (at >= 0 && at < GetNumFilters()) {
        m_filters.insert(m_filters.begin() + at, f);
        return at;
    }
    m_filters.push_back(f);
    return GetNumFilters() - 1;
}

void CFilterInformation::RemoveFilterInfo(int i) {
    if (i >= 0 && i < GetNumFilters()) m_filters.erase(m_filters.begin() + i);
}

bool CFilterInformation::LoadXML(CMarkup& markup) {
    if (markup.GetTagName() != "FILTERS") return false;
    markup.ResetChildPos();
    markup.IntoElem();
    while (markup.FindElem("FILTER")) {
        filter_t f;
        if (ReadFilter(markup, f)) m_filters.push_back(std::move(f));
    }
    markup.OutOfElem();
    return true;
}

int CFilterInformation::SaveXML(CMarkup& markup) const {
    markup.AddElem("FILTERS");
    for (const filter_t& f : m_filters) WriteFilter(markup, f);
    return 1;
}

int CFilterInformation::LoadXML(const char* path) {
    CMarkup markup;
    if (!logvane::xml::LoadDocument(markup, path) || !markup.FindElem("FILTERS")) return 0;
    try {
        CFilterInformation loaded;
        loaded.LoadXML(markup);
        m_filters.insert(m_filters.end(), loaded.m_filters.begin(), loaded.m_filters.end());
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

int CFilterInformation::SaveXML(const char* path) const {
    CMarkup markup;
    SaveXML(markup);
    return markup.Save(path) ? 1 : 0;
}

request_t CFilterInformation::ConvertStringtoRequestType(const std::string& text) {
    if (text == "GET") return REQUEST_GET;
    if (text == "HEAD") return REQUEST_HEAD;
    if (text == "POST") return REQUEST_POST;
    return REQUEST_BAD;
}

std::string CFilterInformation::ConvertRequestTypeToString(request_t type) {
    switch (type) {
        case REQUEST_GET:
            return "GET";
        case REQUEST_HEAD:
            return "HEAD";
        case REQUEST_POST:
            return "POST";
        default:
            return {};
    }
}
