#pragma once

#include <string>

#include "store/StoreApi.h"

// The short identity of a project that a report file carries.
class LOGVANE_STORE_API CProjectDescription {
public:
    CProjectDescription() = default;
    CProjectDescription(const CProjectDescription&) = default;
    CProjectDescription& operator=(const CProjectDescription&) = default;
    bool operator==(const CProjectDescription&) const = default;

    const std::string& GetSiteDomainName() const { return m_siteDomainName; }
    void SetSiteDomainName(const std::string& name) { m_siteDomainName = name; }
    const std::string& GetProjectName() const { return m_projectName; }
    void SetProjectName(const std::string& name) { m_projectName = name; }
    const std::string& GetCreationDate() const { return m_creationDate; }
    void SetCreationDate(const std::string& date) { m_creationDate = date; }

private:
    std::string m_siteDomainName;
    std::string m_projectName;
    std::string m_creationDate;
};
