#include "store/project/LogfileInformation.h"

#include "store/filter/XmlValue.h"
#include "utility/Markup.h"

using logvane::xml::EqualNoCase;

namespace {

import_t ImportTypeOf(const std::string& text) {
    if (EqualNoCase(text, "FTP")) return import_t::FTP;
    if (EqualNoCase(text, "WEB")) return import_t::WEB;
    return import_t::LOCAL;
}

file_t PathTypeOf(const std::string& text) {
    if (EqualNoCase(text, "DIR")) return file_t::DIR;
    if (EqualNoCase(text, "WILDCARD")) return file_t::WILDCARD;
    return file_t::FILE;
}

}  // namespace

CLogfileInformation::CLogfileInformation() {
    Clear();
    m_port = 21;
}

void CLogfileInformation::Clear() {
    m_paths.clear();
    m_importType = import_t::LOCAL;
    m_serverName.clear();
    m_username.clear();
    m_password.clear();
    m_port = 0;
    m_passwordProtected = false;
    m_logfileType = logfiletype_t::AUTO;
}

std::string CLogfileInformation::GetPath(int i) const {
    return i >= 0 && i < GetNumPaths() ? m_paths[static_cast<size_t>(i)].second : std::string();
}

file_t CLogfileInformation::GetPathFileType(int i) const {
    return i >= 0 && i < GetNumPaths() ? m_paths[static_cast<size_t>(i)].first : file_t::DIR;
}

int CLogfileInformation::PathSlot(int i) {
    if (i >= 0 && i < GetNumPaths()) return i;
    m_paths.emplace_back(file_t::DIR, std::string());
    return GetNumPaths() - 1;
}

int CLogfileInformation::SetPath(int i, const std::string& path) {
    i = PathSlot(i);
    m_paths[static_cast<size_t>(i)].second = path;
    return i;
}

int CLogfileInformation::SetPathFileType(int i, file_t type) {
    i = PathSlot(i);
    m_paths[static_cast<size_t>(i)].first = type;
    return i;
}

std::string CLogfileInformation::ConvertLogfileTypeToString(logfiletype_t type) {
    return LogfileTypeToShortName(type);
}

logfiletype_t CLogfileInformation::ConvertStringToLogfileType(const std::string& text) {
    logfiletype_t type = logfiletype_t::AUTO;
    if (!text.empty()) ShortNameToLogfileType(text, type);
    return type;
}

void CLogfileInformation::ReadServerInfo(CMarkup& markup) {
    m_passwordProtected = EqualNoCase(markup.GetAttrib("PASSWORD"), "TRUE");
    // Scanned forward in the written order: a child that stands before one read earlier is
    // not found and leaves its field as it was.
    if (markup.FindChildElem("SERVERNAME")) m_serverName = markup.GetChildData();
    if (markup.FindChildElem("PORTNUM")) m_port = logvane::xml::ToInt(markup.GetChildData());
    if (markup.FindChildElem("USERNAME")) m_username = markup.GetChildData();
    if (markup.FindChildElem("PASSWORD")) m_password = markup.GetChildData();
}

bool CLogfileInformation::LoadXML(CMarkup& markup) {
    if (markup.GetTagName() != "LOGFILEENTRY") return true;
    m_importType = ImportTypeOf(markup.GetAttrib("Type"));
    m_logfileType = ConvertStringToLogfileType(markup.GetAttrib("Format"));
    markup.ResetChildPos();
    markup.IntoElem();
    if (markup.FindElem("PATHS")) {
        while (markup.FindChildElem("PATH"))
            m_paths.emplace_back(PathTypeOf(markup.GetChildAttrib("Type")), markup.GetChildData());
    }
    if (markup.FindElem("SERVERINFO")) ReadServerInfo(markup);
    markup.OutOfElem();
    return true;
}

bool CLogfileInformation::SaveXML(CMarkup& markup) const {
    markup.AddElem("LOGFILEENTRY");
    markup.SetAttrib("Type", ImportTypeToString(m_importType));
    markup.SetAttrib("Format", ConvertLogfileTypeToString(m_logfileType));
    markup.IntoElem();
    markup.AddElem("PATHS");
    for (const auto& [type, path] : m_paths) {
        markup.AddChildElem("PATH", path);
        markup.SetChildAttrib("Type", PathTypeToString(type));
    }
    markup.AddElem("SERVERINFO");
    markup.SetAttrib("PASSWORD", logvane::xml::BoolText(m_passwordProtected));
    markup.AddChildElem("SERVERNAME", m_serverName);
    markup.AddChildElem("PORTNUM", m_port);
    markup.AddChildElem("USERNAME", m_username);
    markup.AddChildElem("PASSWORD", m_password);
    markup.OutOfElem();
    return true;
}
