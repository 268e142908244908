// Randomised damage to real, fully populated files: every load must either fail and leave the
// object as it was, or succeed with an object that saves and reloads to itself. A fixed seed
// keeps failures reproducible; the case number is printed with each failure.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>

#include "ProjectSamples.h"
#include "store/filter/FilterInformation.h"
#include "store/ident/FileTypeIdentification.h"
#include "store/ident/GenericInformation.h"
#include "store/project/ProjectInformation.h"
#include "store/style/Styles.h"
#include "support/TempDir.h"
#include "utility/Markup.h"

using namespace logvane::test;

namespace {

const std::string kData = LOGVANE_TEST_DATA_DIR;

// xorshift64*: the same sequence on every platform, unlike the standard distributions.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next() {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 0x2545F4914F6CDD1DULL;
    }
    size_t Below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(Next() % n); }

private:
    std::uint64_t m_state;
};

// Markup that steers the readers into their other branches: known tags of every format,
// broken structure, entities, sections and unusual values.
const std::array<const char*, 30> kInsertions = {
    "<PROJECT>",
    "</PROJECT>",
    "<FILTERS>",
    "</FILTERS>",
    "<FILTER/>",
    "<LOGFILEENTRY>",
    "</LOGFILEENTRY>",
    "<SERVERINFO PASSWORD='TRUE'>",
    "<PATH Type='x'>",
    "<SCENARIO>",
    "<STEP Type='REGEXP'/>",
    "<TAG/>",
    "<EXPORT>",
    "<OUTPUT Method='FTP'>",
    "<STYLE type='advanced'>",
    "</STYLE>",
    "<COLORSTYLE ID='table2' size='-99999999999'/>",
    "<REPORT/>",
    "&amp;",
    "&#0;",
    "&bogus;",
    "<![CDATA[",
    "]]>",
    "<!--",
    "-->",
    "<?pi x?>",
    "\"",
    "'",
    "<INFORMATION>INFO_BAD</INFORMATION>",
    "<NUM1>-2147483649</NUM1>",
};

std::string Mutate(const std::string& original, Random& rnd) {
    std::string s = original;
    const int edits = 1 + static_cast<int>(rnd.Below(4));
    for (int e = 0; e < edits && !s.empty(); ++e) {
        const size_t at = rnd.Below(s.size());
        const size_t span = 1 + rnd.Below(std::min<size_t>(400, s.size() - at));
        switch (rnd.Below(6)) {
            case 0:
                s[at] = static_cast<char>(s[at] ^ (1 << rnd.Below(8)));
                break;
            case 1:
                s[at] = static_cast<char>(rnd.Below(256));
                break;
            case 2:
                s.resize(at);
                break;
            case 3:
                s.insert(at, s.substr(at, span));
                break;
            case 4:
                s.erase(at, span);
                break;
            default:
                s.insert(at, kInsertions[rnd.Below(kInsertions.size())]);
                break;
        }
    }
    return s;
}

const std::array<const char*, 24> kValues = {
    "",       "0",      "-1",   "2147483648", "99999999999999", "TRUE",      "true",
    "YES",    "no",     "FILE", "file",       "INFO_BAD",       "BAD",       "REGEXP",
    "ELFEND", "elfbeg", "FTP",  "CSV",        "x  y",           "&amp;&lt;", "NO",
    "basic",  "Table1", "DIR"};

const std::array<const char*, 36> kTags = {
    "PROJECT",    "LOGFILES",    "LOGFILEENTRY", "PATHS",       "PATH",      "SERVERINFO",
    "SERVERNAME", "PORTNUM",     "USERNAME",     "PASSWORD",    "TRACKING",  "TRACK",
    "TAGS",       "TAG",         "SCENARIOS",    "SCENARIO",    "STEP",      "FILTERS",
    "FILTER",     "INCLUDETYPE", "INFORMATION",  "QUICKFILTER", "STRING",    "NUM1",
    "BEGIN",      "REQUESTTYPE", "EXPORT",       "OUTPUT",      "LOCALPATH", "IMAGES",
    "STYLES",     "STYLE",       "BACKGROUND",   "COLORSTYLE",  "REPORT",    "FTPPATH"};

// The tag of a line holding one whole element ("<A x='1'>data</A>" or "<A/>"); empty otherwise.
std::string WholeElementTag(const std::string& line) {
    const size_t open = line.find('<');
    if (open == std::string::npos || open + 1 >= line.size()) return {};
    const char first = line[open + 1];
    if (first == '/' || first == '?' || first == '!') return {};
    size_t end = open + 1;
    while (end < line.size() && line[end] != ' ' && line[end] != '>' && line[end] != '/') ++end;
    const std::string tag = line.substr(open + 1, end - open - 1);
    const std::string close = "</" + tag + ">";
    const bool selfClosed = line.size() >= 2 && line.compare(line.size() - 2, 2, "/>") == 0;
    const bool closed = line.size() >= close.size() &&
                        line.compare(line.size() - close.size(), close.size(), close) == 0;
    return selfClosed || closed ? tag : std::string();
}

// Edits that keep the document well-formed, so the readers themselves see the damage:
// whole elements deleted, duplicated, moved or renamed, data and attribute values replaced.
std::string MutateStructure(const std::string& original, Random& rnd) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < original.size();) {
        size_t end = original.find('\n', start);
        if (end == std::string::npos) end = original.size();
        lines.push_back(original.substr(start, end - start));
        start = end + 1;
    }
    const int edits = 1 + static_cast<int>(rnd.Below(4));
    for (int e = 0; e < edits; ++e) {
        const size_t i = rnd.Below(lines.size());
        std::string& line = lines[i];
        const std::string tag = WholeElementTag(line);
        if (tag.empty()) continue;
        switch (rnd.Below(6)) {
            case 0:
                lines.erase(lines.begin() + static_cast<long>(i));
                break;
            case 1:
                lines.insert(lines.begin() + static_cast<long>(i), line);
                break;
            case 2: {
                const size_t j = rnd.Below(lines.size());
                if (!WholeElementTag(lines[j]).empty()) std::swap(lines[i], lines[j]);
                break;
            }
            case 3: {
                const std::string other = kTags[rnd.Below(kTags.size())];
                const size_t at = line.find('<' + tag);
                line.replace(at + 1, tag.size(), other);
                const size_t close = line.rfind("</" + tag + ">");
                if (close != std::string::npos && close > at)
                    line.replace(close + 2, tag.size(), other);
                break;
            }
            case 4: {
                const size_t gt = line.find('>'), lt = line.rfind("</");
                if (gt != std::string::npos && lt != std::string::npos && gt < lt)
                    line.replace(gt + 1, lt - gt - 1, kValues[rnd.Below(kValues.size())]);
                break;
            }
            default: {
                const size_t q1 = line.find('"');
                const size_t q2 = q1 == std::string::npos ? q1 : line.find('"', q1 + 1);
                if (q2 != std::string::npos)
                    line.replace(q1 + 1, q2 - q1 - 1, kValues[rnd.Below(kValues.size())]);
                break;
            }
        }
    }
    std::string joined;
    for (const std::string& line : lines) joined += line + '\n';
    return joined;
}

// Half the cases damage bytes, half damage structure.
std::string AnyMutation(const std::string& original, Random& rnd) {
    return rnd.Below(2) ? Mutate(original, rnd) : MutateStructure(original, rnd);
}

class DataLibraryMutation : public ::testing::Test {
protected:
    std::string Write(const std::string& bytes) {
        const std::string path = dir.file("case.xml");
        WriteFile(path, bytes);
        return path;
    }

    ScopedHome home;  // the export reader looks for the user's styles file
    TempDir dir;
};

// Saves p, reads the document back into a fresh project.
CProjectInformation Cycle(const CProjectInformation& p) {
    CMarkup doc;
    p.SaveXML(doc);
    CMarkup reread(doc.GetDoc().c_str());
    reread.FindElem("PROJECT");
    CProjectInformation q;
    q.LoadXML(reread);
    return q;
}

}  // namespace

TEST_F(DataLibraryMutation, DamagedProjectFilesFailCleanlyOrLoadConsistently) {
    const std::string original = ReadFile(kData + "/project/full.bvp");
    ASSERT_GT(original.size(), 1000u);
    const CProjectInformation sentinel = SampleProject();
    Random rnd(0x5EED0001);
    int loaded = 0;
    for (int i = 0; i < 4000; ++i) {
        const std::string path = Write(AnyMutation(original, rnd));
        CProjectInformation p = sentinel;
        if (!p.LoadXML(path.c_str())) {
            ASSERT_TRUE(p == sentinel) << "case " << i;
            continue;
        }
        ++loaded;
        // A zero date-range time and the FullDNS flag settle after one save; from then on a
        // save and a load give the same project.
        const CProjectInformation settled = Cycle(p);
        ASSERT_TRUE(Cycle(settled) == settled) << "case " << i;
    }
    RecordProperty("loaded", loaded);
    EXPECT_GT(loaded, 100);  // the mutations must not all be fatal, or the readers go untested
}

TEST_F(DataLibraryMutation, DamagedStylesFilesFailCleanlyOrLoadConsistently) {
    const std::string original = ReadFile(kData + "/style/styles.xml");
    ASSERT_GT(original.size(), 1000u);
    Random rnd(0x5EED0002);
    int loaded = 0;
    for (int i = 0; i < 2000; ++i) {
        const std::string path = Write(AnyMutation(original, rnd));
        CStyles styles;
        styles.Insert(new CStyle());
        if (!styles.LoadXML(path.c_str())) {
            ASSERT_EQ(styles.GetNumStyles(), 1) << "case " << i;
            continue;
        }
        ++loaded;
        for (int s = 0; s < styles.GetNumStyles(); ++s) {
            CMarkup doc(styles.GetStyle(s)->Save().GetDoc().c_str());
            doc.FindElem();
            ASSERT_EQ(CStyle(doc), *styles.GetStyle(s)) << "case " << i << " style " << s;
        }
    }
    EXPECT_GT(loaded, 100);
}

TEST_F(DataLibraryMutation, DamagedIdentificationFilesKeepTheirGuarantees) {
    const std::string browsers = ReadFile(kData + "/ident/browser.xml");
    const std::string types = ReadFile(kData + "/ident/filetypeidentification.xml");
    Random rnd(0x5EED0003);
    for (int i = 0; i < 800; ++i) {
        CGenericInformation list("BROWSER", "Browser");
        list.LoadXML(Write(AnyMutation(browsers, rnd)).c_str());
        ASSERT_GE(list.GetNumElems(), 1) << "case " << i;
        ASSERT_EQ(list.GetElemName(list.GetNumElems() - 1), "Other Browser") << "case " << i;
        ASSERT_EQ(list.GetNumKeywords(list.GetNumElems() - 1), 0) << "case " << i;

        CFileTypeIdentification table;
        if (!table.LoadXML(Write(AnyMutation(types, rnd)).c_str())) {
            ASSERT_EQ(table.GetNumEntries(), 0) << "case " << i;
        }
    }
}

TEST_F(DataLibraryMutation, DamagedGlobalFiltersFilesAppendOnlyValidFilters) {
    CFilterInformation all = SampleProject().GetFilters();
    const std::string path = dir.file("globalfilters.xml");
    ASSERT_TRUE(all.SaveXML(path.c_str()));
    const std::string original = ReadFile(path);
    Random rnd(0x5EED0004);
    for (int i = 0; i < 800; ++i) {
        CFilterInformation list;
        if (!list.LoadXML(Write(AnyMutation(original, rnd)).c_str())) {
            ASSERT_EQ(list.GetNumFilters(), 0) << "case " << i;
            continue;
        }
        for (int f = 0; f < list.GetNumFilters(); ++f) {
            const filter_t filter = list.GetFilterInfo(f);
            ASSERT_NE(InfoTypeToString(filter.infoType), nullptr) << "case " << i;
            ASSERT_NE(IncludeTypeToString(filter.includeType), nullptr) << "case " << i;
        }
    }
}

// Files no mutation produces: each reader refuses them quickly and untouched.
TEST_F(DataLibraryMutation, HostileFilesAreRefusedOrSurvived) {
    const std::string deep = dir.file("deep.bvp");
    {
        std::string nested = "<PROJECT><LOGFILES><LOGFILEENTRY><PATHS>";
        for (int i = 0; i < 100000; ++i) nested += "<PATH>";
        WriteFile(deep, nested);
        for (int i = 0; i < 100000; ++i) nested += "</PATH>";
        WriteFile(dir.file("deep-closed.bvp"),
                  nested + "</PATHS></LOGFILEENTRY></LOGFILES></PROJECT>");
    }
    const std::string huge = dir.file("huge.bvp");
    WriteFile(huge, "<PROJECT Name='x'/>");
    ASSERT_EQ(truncate(huge.c_str(), 200LL * 1024 * 1024), 0);  // sparse: no disk used
    const std::string fifo = dir.file("fifo.bvp");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);  // opening it would block for ever
    const std::string binary = dir.file("binary.bvp");
    std::string bytes;
    for (int i = 0; i < 65536; ++i) bytes += static_cast<char>(i * 7919 % 256);
    WriteFile(binary, bytes);
    const std::string wide = dir.file("utf16.bvp");
    WriteFile(wide, std::string("\xFF\xFE<\0P\0R\0O\0J\0E\0C\0T\0/\0>\0", 22));
    const std::string manyAttributes = dir.file("attributes.bvp");
    {
        std::string text = "<PROJECT";
        for (int i = 0; i < 20000; ++i) text += " a" + std::to_string(i) + "='v'";
        WriteFile(manyAttributes, text + " Name='kept'/>");
    }

    const CProjectInformation sentinel = SampleProject();
    for (const std::string& path : {deep, huge, fifo, binary, dir.path().string()}) {
        CProjectInformation p = sentinel;
        EXPECT_FALSE(p.LoadXML(path.c_str())) << path;
        EXPECT_TRUE(p == sentinel) << path;
        CStyles styles;
        EXPECT_FALSE(styles.LoadXML(path.c_str())) << path;
        CGenericInformation os("OS", "Os");
        EXPECT_FALSE(os.LoadXML(path.c_str())) << path;
        EXPECT_EQ(os.GetNumElems(), 1);
    }
    CProjectInformation p;
    ASSERT_TRUE(p.LoadXML(dir.file("deep-closed.bvp").c_str()));
    ASSERT_EQ(p.GetNumLogfileInformation(), 1);
    EXPECT_EQ(p.GetLogfileInformation(0).GetPath(0), "");
    if (p.LoadXML(wide.c_str())) {
        EXPECT_EQ(p.GetNumLogfileInformation(), 0);
    }
    ASSERT_TRUE(p.LoadXML(manyAttributes.c_str()));
    EXPECT_EQ(p.GetProjectName(), "kept");
}
