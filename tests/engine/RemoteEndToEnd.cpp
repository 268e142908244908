// Whole batch runs of the built program over logs fetched from the local FTP and web test
// servers and over gzip files, checked in the report files they write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "RemoteTestServer.h"
#include "engine/remote/LocalFiles.h"
#include "store/project/ProjectInformation.h"
#include "store/report/ReportTree.h"
#include "store/report/TableReport.h"
#include "store/settings/Settings.h"
#include "store/settings/SettingsFolder.h"
#include "support/TempDir.h"

using logvane::test::ReadFile;
using logvane::test::ScopedHome;
using logvane::test::TempDir;
using logvane::test::TestServer;
using logvane::test::WriteFile;
namespace fs = std::filesystem;

namespace {

const std::string kScripts = std::string(LOGVANE_TEST_DATA_DIR) + "/remote/";
const std::string kProgram = std::string(LOGVANE_BIN_DIR) + "/logvane";
constexpr const char* kProjectName = "Remote Site";

// `count` hits of `host`, one a minute from 10:00 on 7 Dec 2025, each to its own page.
std::string Hits(const std::string& host, int count) {
    std::string log;
    for (int i = 0; i < count; ++i) {
        char line[256];
        std::snprintf(line, sizeof line,
                      "%s - - [07/Dec/2025:10:%02d:00 +0000] \"GET /%s/%d.html HTTP/1.1\" 200 "
                      "100 \"-\" \"Mozilla/5.0 (X11; Linux x86_64; rv:120.0) Gecko/20100101 "
                      "Firefox/120.0\"\n",
                      host.c_str(), i % 60, host.c_str(), i);
        log += line;
    }
    return log;
}

void WriteGzip(const std::string& path, const std::string& bytes) {
    gzFile file = gzopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    EXPECT_EQ(gzwrite(file, bytes.data(), static_cast<unsigned>(bytes.size())),
              static_cast<int>(bytes.size()));
    EXPECT_EQ(gzclose(file), Z_OK);
}

int CountOf(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++n;
    return n;
}

// Modification time (ns) and inode of every file under `folder`, by path.
std::map<std::string, std::pair<long long, ino_t>> FileStamps(const std::string& folder) {
    std::map<std::string, std::pair<long long, ino_t>> stamps;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(folder, ec)) {
        struct stat st {};
        if (!e.is_regular_file() || stat(e.path().c_str(), &st) != 0) continue;
        stamps[e.path().string()] = {st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
                                     st.st_ino};
    }
    return stamps;
}

// The numbers of a report file that tell whether every line was counted once.
struct report_numbers_t {
    std::string hits;                          // General Statistics, first row
    std::map<std::string, std::string> hosts;  // Domain Name: host -> hits
    bool operator==(const report_numbers_t&) const = default;
};

void PrintTo(const report_numbers_t& n, std::ostream* os) {
    *os << "hits " << n.hits << ",";
    for (const auto& [host, hits] : n.hosts) *os << " " << host << "=" << hits;
}

// Each test gets its own home, so the program's settings and download folders are temporary.
class RemoteEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kProgram)) GTEST_SKIP() << "the program is not built";
        CSettings settings;
        settings.SetIp2Country(false);  // no database stage: the runs here are about files
        fs::create_directories(GetSettingsDir());
        ASSERT_TRUE(settings.SaveXML(GetSettingsFile("settings").c_str()));
        fs::create_directories(m_serverDir.path() / "root");
        m_entry.SetServerName("127.0.0.1");
        m_entry.SetUsername("logs");
        m_entry.SetPassword("secret");
    }

    void Put(const std::string& name, const std::string& bytes) const {
        const fs::path path = m_serverDir.path() / "root" / name;
        fs::create_directories(path.parent_path());
        WriteFile(path.string(), bytes);
    }
    void StartServer(const std::string& script) {
        m_server = std::make_unique<TestServer>(
            kScripts + script, std::vector<std::string>{m_serverDir.file("root"), "logs", "secret",
                                                        m_serverDir.file("server.log")});
        ASSERT_NE(m_server->port(), 0) << script << " did not start";
        m_entry.SetPortNum(m_server->port());
    }
    std::string ServerLog() const { return ReadFile(m_serverDir.file("server.log")); }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_server->port()) + path;
    }
    void AddPath(const std::string& path, file_t type) {
        m_entry.SetPathFileType(m_entry.SetPath(-1, path), type);
    }

    // Saves a project of the one entry, runs the program on it and reads the report back;
    // fails the test unless the program printed "Success!".
    report_numbers_t Analyse() {
        CProjectInformation project;
        project.AllocateLogInfo(0);
        project.SetProjectName(kProjectName);
        project.SetDisableDNS(true);
        project.AddLogfileInformation(m_entry);
        for (const CLogfileInformation& more : m_more) project.AddLogfileInformation(more);
        const std::string bvp = m_work.file("site.bvp"), bvr = m_work.file("site.bvr");
        EXPECT_TRUE(project.SaveXML(bvp.c_str()));
        fs::remove(bvr);

        std::string out;
        FILE* pipe = popen(("'" + kProgram + "' '" + bvp + "' '" + bvr + "' 2>&1").c_str(), "r");
        if (pipe) {
            char block[4096];
            for (size_t n; (n = std::fread(block, 1, sizeof block, pipe)) > 0;)
                out.append(block, n);
            const int status = pclose(pipe);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
        }
        EXPECT_NE(out.find("Success!"), std::string::npos) << out;
        report_numbers_t numbers;
        CReportTree tree;
        if (!tree.LoadXML(bvr.c_str())) {
            ADD_FAILURE() << "no report file: " << out;
            return numbers;
        }
        if (auto* general = dynamic_cast<CTableReport*>(tree.FindByReportID("GS")))
            numbers.hits = general->GetItem(0, 1);
        if (auto* hosts = dynamic_cast<CTableReport*>(tree.FindByReportID("DN")))
            for (size_t i = 0; i < hosts->GetNumRows(); ++i)
                numbers.hosts[hosts->GetItem(i, 0)] = hosts->GetItem(i, 1);
        return numbers;
    }

    ScopedHome m_home;
    TempDir m_work;
    TempDir m_serverDir;
    CLogfileInformation m_entry;
    std::vector<CLogfileInformation> m_more;  // further entries of the project
    std::unique_ptr<TestServer> m_server;
};

using Hosts = std::map<std::string, std::string>;

TEST_F(RemoteEndToEndTest, FtpWildcardIsAnalysedAndASecondRunTransfersNothing) {
    Put("logs/a.log", Hits("192.0.2.1", 4));
    Put("logs/b.log", Hits("192.0.2.2", 3));
    Put("logs/notes.txt", Hits("192.0.2.3", 5));  // outside the pattern
    StartServer("ftp_server.py");
    m_entry.SetImportType(import_t::FTP);
    AddPath("/logs/*.log", file_t::WILDCARD);

    const report_numbers_t first = Analyse();
    EXPECT_EQ(first.hits, "7");
    EXPECT_EQ(first.hosts, (Hosts{{"192.0.2.1", "4"}, {"192.0.2.2", "3"}}));
    EXPECT_EQ(CountOf(ServerLog(), "RETR"), 2) << ServerLog();
    const std::string downloads = GetDownloadFolder(kProjectName);
    const auto stamps = FileStamps(downloads);
    ASSERT_EQ(stamps.size(), 2u) << downloads;

    const report_numbers_t second = Analyse();
    EXPECT_EQ(second, first);
    EXPECT_EQ(CountOf(ServerLog(), "RETR"), 2) << "the unchanged folder was transferred again";
    EXPECT_EQ(FileStamps(downloads), stamps) << "downloaded files were rewritten";
}

TEST_F(RemoteEndToEndTest, FtpFileThatGrewIsFetchedAndCountedAgain) {
    Put("logs/a.log", Hits("192.0.2.1", 2));
    StartServer("ftp_server.py");
    m_entry.SetImportType(import_t::FTP);
    AddPath("/logs/a.log", file_t::FILE);
    EXPECT_EQ(Analyse().hits, "2");
    Put("logs/a.log", Hits("192.0.2.1", 2) + Hits("192.0.2.9", 3));
    EXPECT_EQ(Analyse().hosts, (Hosts{{"192.0.2.1", "2"}, {"192.0.2.9", "3"}}));
}

TEST_F(RemoteEndToEndTest, WebDirectoryPageWildcardPageAndProtectedFileAreAnalysed) {
    Put("logs/index.html",
        "<html><body><a href=\"../\">Parent Directory</a>\n"
        "<a href=\"a.log\">a.log</a> <a href=\"b.log\">b.log</a>\n</body></html>\n");
    Put("logs/a.log", Hits("192.0.2.1", 4));
    Put("logs/b.log", Hits("192.0.2.2", 2));
    Put("more/index.html", "<a href=\"c.log\">c</a><a href=\"skip.txt\">skip</a>");
    Put("more/c.log", Hits("192.0.2.3", 3));
    Put("more/skip.txt", Hits("192.0.2.4", 9));
    Put("private/p.log", Hits("192.0.2.5", 1));
    StartServer("http_server.py");
    m_entry.SetImportType(import_t::WEB);
    m_entry.SetPasswordProtected(true);
    AddPath(Url("/logs/"), file_t::DIR);
    AddPath(Url("/more/*.log"), file_t::WILDCARD);
    AddPath(Url("/private/p.log"), file_t::FILE);

    const report_numbers_t first = Analyse();
    EXPECT_EQ(first.hits, "10");
    EXPECT_EQ(
        first.hosts,
        (Hosts{{"192.0.2.1", "4"}, {"192.0.2.2", "2"}, {"192.0.2.3", "3"}, {"192.0.2.5", "1"}}));
    EXPECT_EQ(CountOf(ServerLog(), "skip.txt"), 0);
    EXPECT_EQ(CountOf(ServerLog(), "GET /private/p.log 200"), 1) << ServerLog();
    const auto stamps = FileStamps(GetDownloadFolder(kProjectName));
    EXPECT_EQ(stamps.size(), 4u);
    EXPECT_EQ(Analyse(), first) << "a second run over the unchanged site counts differently";
    EXPECT_EQ(FileStamps(GetDownloadFolder(kProjectName)), stamps)
        << "unchanged objects were written again";
}

TEST_F(RemoteEndToEndTest, LocalGzipFilesAreDecompressedAndCountedOnceEveryRun) {
    const fs::path logs = m_work.path() / "logs";
    fs::create_directories(logs);
    WriteGzip((logs / "a.log.gz").string(), Hits("192.0.2.1", 5));
    WriteGzip((logs / "b.log.GZ").string(), Hits("192.0.2.2", 2));
    WriteFile((logs / "c.log").string(), Hits("192.0.2.3", 1));
    m_entry.SetImportType(import_t::LOCAL);
    AddPath(logs.string(), file_t::DIR);

    const report_numbers_t first = Analyse();
    EXPECT_EQ(first.hits, "8");
    EXPECT_EQ(first.hosts, (Hosts{{"192.0.2.1", "5"}, {"192.0.2.2", "2"}, {"192.0.2.3", "1"}}));
    EXPECT_TRUE(fs::exists(logs / "a.log.gz")) << "the source was removed";
    // The folder now also holds the decompressed copies, which must not be counted twice.
    EXPECT_EQ(Analyse(), first);
}

TEST_F(RemoteEndToEndTest, LocalWildcardOverGzipFiles) {
    const fs::path logs = m_work.path() / "logs";
    fs::create_directories(logs);
    WriteGzip((logs / "access-1.log.gz").string(), Hits("192.0.2.1", 3));
    WriteGzip((logs / "access-2.log.gz").string(), Hits("192.0.2.1", 4));
    WriteGzip((logs / "error.gz").string(), "not a log at all\n");
    m_entry.SetImportType(import_t::LOCAL);
    AddPath((logs / "access-*.gz").string(), file_t::WILDCARD);
    EXPECT_EQ(Analyse().hosts, (Hosts{{"192.0.2.1", "7"}}));
}

// Logs of several folders or servers are often all called access.log; each must keep its own
// local copy, on the first run and on the incremental ones.
TEST_F(RemoteEndToEndTest, SameFileNameInTwoFtpFoldersIsAnalysedFromBoth) {
    Put("site1/access.log", Hits("192.0.2.1", 2));
    Put("site2/access.log", Hits("192.0.2.2", 3));
    StartServer("ftp_server.py");
    m_entry.SetImportType(import_t::FTP);
    AddPath("/site1/access.log", file_t::FILE);
    AddPath("/site2/*.log", file_t::WILDCARD);
    const report_numbers_t first = Analyse();
    EXPECT_EQ(first.hosts, (Hosts{{"192.0.2.1", "2"}, {"192.0.2.2", "3"}}));
    EXPECT_EQ(Analyse(), first);
    EXPECT_EQ(CountOf(ServerLog(), "RETR"), 2) << "unchanged files were fetched again";
}

TEST_F(RemoteEndToEndTest, SameFileNameOnTwoWebPathsIsAnalysedFromBoth) {
    Put("site1/access.log", Hits("192.0.2.1", 2));
    Put("site2/access.log", Hits("192.0.2.2", 3));
    Put("site3/index.html", "<a href=\"/site1/access.log\">root-relative, same file</a>");
    StartServer("http_server.py");
    m_entry.SetImportType(import_t::WEB);
    AddPath(Url("/site1/access.log"), file_t::FILE);
    AddPath(Url("/site2/access.log"), file_t::FILE);
    AddPath(Url("/site3/"), file_t::DIR);
    const report_numbers_t first = Analyse();
    EXPECT_EQ(first.hosts, (Hosts{{"192.0.2.1", "2"}, {"192.0.2.2", "3"}}));
    EXPECT_EQ(Analyse(), first);
}

TEST_F(RemoteEndToEndTest, SameFileNameOnTwoFtpServersIsAnalysedFromBoth) {
    Put("logs/access.log", Hits("192.0.2.1", 2));
    StartServer("ftp_server.py");
    m_entry.SetImportType(import_t::FTP);
    AddPath("/logs/access.log", file_t::FILE);

    TempDir otherRoot;
    WriteFile(otherRoot.file("access.log"), Hits("192.0.2.7", 4));
    TestServer other(kScripts + "ftp_server.py",
                     {otherRoot.path().string(), "logs", "secret", otherRoot.file("server.log")});
    ASSERT_NE(other.port(), 0);
    CLogfileInformation second = m_entry;
    second.SetPortNum(other.port());
    second.SetPathFileType(0, file_t::FILE);
    second.SetPath(0, "/access.log");
    m_more.push_back(second);

    const report_numbers_t first = Analyse();
    EXPECT_EQ(first.hosts, (Hosts{{"192.0.2.1", "2"}, {"192.0.2.7", "4"}}));
    EXPECT_EQ(Analyse(), first);
    EXPECT_EQ(CountOf(ReadFile(otherRoot.file("server.log")), "RETR"), 1);
}

// A folder holding access.log and access.log.gz: the compressed one's decompressed copy must
// not overwrite the plain one's download.
TEST_F(RemoteEndToEndTest, RotatedGzipBesideThePlainLogOfOneNameKeepsBoth) {
    Put("logs/access.log", Hits("192.0.2.1", 2));
    WriteGzip(m_serverDir.file("root/logs/access.log.gz"), Hits("192.0.2.2", 3));
    StartServer("ftp_server.py");
    m_entry.SetImportType(import_t::FTP);
    AddPath("/logs/", file_t::DIR);
    const report_numbers_t first = Analyse();
    EXPECT_EQ(first.hosts, (Hosts{{"192.0.2.1", "2"}, {"192.0.2.2", "3"}}));
    EXPECT_EQ(Analyse(), first);
    EXPECT_EQ(CountOf(ServerLog(), "RETR"), 2) << ServerLog();
}

// A log compressed while it was being copied ends inside its gzip stream: it is skipped,
// not counted in part, and the other files are analysed.
TEST_F(RemoteEndToEndTest, TruncatedGzipFileIsSkippedAndTheOthersCounted) {
    const fs::path logs = m_work.path() / "logs";
    fs::create_directories(logs);
    WriteGzip((logs / "good.log.gz").string(), Hits("192.0.2.1", 3));
    WriteGzip((logs / "whole.gz").string(), Hits("192.0.2.2", 400));
    const std::string whole = ReadFile((logs / "whole.gz").string());
    fs::remove(logs / "whole.gz");
    WriteFile((logs / "cut.log.gz").string(), whole.substr(0, whole.size() / 2));
    m_entry.SetImportType(import_t::LOCAL);
    AddPath((logs / "*.gz").string(), file_t::WILDCARD);
    EXPECT_EQ(Analyse().hosts, (Hosts{{"192.0.2.1", "3"}}));
}

}  // namespace
