#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/StoreApi.h"
#include "store/style/ColorStyle.h"
#include "utility/Markup.h"

// How exported pages look: in basic mode by seven colour styles, in advanced mode by a CSS file
// and HTML header and footer files; plus the IDs of the reports an export with it includes.
// Stored as a `STYLE` element.
class LOGVANE_STORE_API CStyle {
public:
    enum style_t : int { advanced = 0, basic = 1 };

    // Basic, named "default", white background, no files, default colour styles (report links
    // "Arial" 9 points in 0xC08874 on white), no reports.
    CStyle();
    // The defaults, then whatever the `STYLE` element at the main position holds.
    explicit CStyle(CMarkup& markup);
    CStyle(const CStyle&) = default;
    CStyle& operator=(const CStyle&) = default;
    virtual ~CStyle() = default;
    bool operator==(const CStyle&) const = default;

    const std::string& GetName() const { return m_name; }
    void SetName(const std::string& name) { m_name = name; }
    style_t GetStyleType() const { return m_type; }
    void SetStyleType(style_t type) { m_type = type; }
    std::uint32_t GetBackground() const { return m_background; }
    void SetBackground(std::uint32_t color) { m_background = color; }
    const std::string& GetStyleFile() const { return m_cssFile; }
    void SetStyleFile(const std::string& path) { m_cssFile = path; }
    const std::string& GetHeaderFile() const { return m_headerFile; }
    void SetHeaderFile(const std::string& path) { m_headerFile = path; }
    const std::string& GetFooterFile() const { return m_footerFile; }
    void SetFooterFile(const std::string& path) { m_footerFile = path; }

    CColorStyle GetStyleReportName() const { return m_colors[kReportName]; }
    void SetStyleReportName(const CColorStyle& s) { m_colors[kReportName] = s; }
    CColorStyle GetStyleReportList() const { return m_colors[kReportList]; }
    void SetStyleReportList(const CColorStyle& s) { m_colors[kReportList] = s; }
    CColorStyle GetStyleTable1() const { return m_colors[kTable1]; }
    void SetStyleTable1(const CColorStyle& s) { m_colors[kTable1] = s; }
    CColorStyle GetStyleTable2() const { return m_colors[kTable2]; }
    void SetStyleTable2(const CColorStyle& s) { m_colors[kTable2] = s; }
    CColorStyle GetStyleTableHeader() const { return m_colors[kTableHeader]; }
    void SetStyleTableHeader(const CColorStyle& s) { m_colors[kTableHeader] = s; }
    CColorStyle GetStyleDescription() const { return m_colors[kDescription]; }
    void SetStyleDescription(const CColorStyle& s) { m_colors[kDescription] = s; }
    CColorStyle GetStyleReportLinks() const { return m_colors[kReportLinks]; }
    void SetStyleReportLinks(const CColorStyle& s) { m_colors[kReportLinks] = s; }

    // Appends a report ID; an empty one is ignored.
    void AddReport(const std::string& reportID);
    // Index of the first equal ID (case-sensitive), -1 when there is none.
    int FindReport(const std::string& reportID) const;
    int IsReportInList(const std::string& reportID) const { return FindReport(reportID) >= 0; }
    // Empty text when i is out of range.
    std::string GetReport(int i) const;
    int GetNumReports() const { return static_cast<int>(m_reports.size()); }
    // Ignored when i is out of range.
    void RemoveReport(int i);
    bool ReportExists(int i) const { return i >= 0 && i < GetNumReports(); }
    // Sets the list length; new entries are empty, 0 or less empties it.
    void AllocateReports(int n);

    // A new document holding this style as its `STYLE` root element.
    CMarkup Save() const;
    // Adds this style as a `STYLE` element after the main position (main position left on it).
    void SaveXML(CMarkup& markup) const;
    // Main position on a `STYLE` element: reads it over the current fields.
    void Load(CMarkup& markup);

    static constexpr int kNumColorStyles = 7;
    // The identifiers of the colour styles in the element order of the file.
    static const char* const kColorStyleIDs[kNumColorStyles];

protected:
    void AddColorStyle(const std::string& id, const CColorStyle& style);
    // The colour style of that identifier (compared without regard to case); null when unknown.
    CColorStyle* GetColorStyle(const std::string& id);
    // "advanced" gives advanced; anything else (also "basic") gives basic.
    static style_t EnumStyleType(const std::string& text);
    static std::string StringifyType(style_t type);

private:
    enum { kReportName, kReportList, kTable1, kTable2, kTableHeader, kDescription, kReportLinks };

    style_t m_type = basic;
    std::string m_name = "default";
    std::uint32_t m_background = 0xFFFFFF;
    std::string m_cssFile;
    std::string m_headerFile;
    std::string m_footerFile;
    CColorStyle m_colors[kNumColorStyles];
    std::vector<std::string> m_reports;
};
