#include "engine/remote/RemoteRetrieval.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "RemoteTestServer.h"
#include "engine/remote/RetrievalPhase.h"
#include "store/settings/Settings.h"
#include "support/TempDir.h"
#include "utility/Progress.h"

using logvane::test::ReadFile;
using logvane::test::TempDir;
using logvane::test::TestServer;
using logvane::test::UnusedPort;
using logvane::test::WriteFile;
namespace fs = std::filesystem;

namespace {

const std::string kScripts = std::string(LOGVANE_TEST_DATA_DIR) + "/remote/";
constexpr int kDir = 0, kFile = 1, kWildcard = 2;

int CountLines(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++n;
    return n;
}

ino_t Inode(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// A remote server over a temporary folder, a download folder and a clean progress record;
// every transfer is bounded by short time-outs.
class RemoteTest : public ::testing::Test {
protected:
    void SetUp() override {
        CProgress::Initialize();
        fs::create_directories(m_serverDir.path() / "root");
        m_options.downloadFolder = m_downloads.file("project");
        m_options.connectTimeoutSeconds = 5;
        m_options.stallSeconds = 10;
    }
    void TearDown() override { CProgress::Kill(); }

    std::string Root(const std::string& name) const { return m_serverDir.file("root/" + name); }
    void Put(const std::string& name, const std::string& bytes) const {
        fs::create_directories(fs::path(Root(name)).parent_path());
        WriteFile(Root(name), bytes);
    }
    std::string Local(const std::string& name) const {
        return m_options.downloadFolder + "/" + name;
    }
    std::string ServerLog() const { return ReadFile(m_serverDir.file("requests.log")); }
    std::vector<std::string> ServerArgs() const {
        return {Root(""), "logs", "secret", m_serverDir.file("requests.log")};
    }
    bool Run(std::vector<std::string>& files) {
        return RetrieveRemoteFiles(m_request, m_options, files);
    }

    TempDir m_serverDir;
    TempDir m_downloads;
    remote_request_t m_request;
    remote_options_t m_options;
};

class FtpRetrievalTest : public RemoteTest {
protected:
    void StartServer(bool withMlsd = true) {
        std::vector<std::string> args = ServerArgs();
        if (!withMlsd) args.push_back("nomlsd");
        m_server = std::make_unique<TestServer>(kScripts + "ftp_server.py", args);
        ASSERT_NE(m_server->port(), 0) << "pyftpdlib did not start";
        m_request.isFtp = true;
        m_request.serverName = "127.0.0.1";
        m_request.port = m_server->port();
        m_request.userName = "logs";
        m_request.password = "secret";
    }
    std::unique_ptr<TestServer> m_server;
};

TEST_F(FtpRetrievalTest, SecondRunOverUnchangedFolderListsButTransfersNothing) {
    Put("logs/a.log", "line a\n");
    Put("logs/b.log", "line b\n");
    Put("logs/notes.txt", "not a log\n");
    StartServer();
    m_request.paths = {{"/logs/*.log", kWildcard}};
    std::vector<std::string> first;
    ASSERT_TRUE(Run(first));
    std::sort(first.begin(), first.end());
    EXPECT_EQ(first, (std::vector<std::string>{Local("a.log"), Local("b.log")}));
    EXPECT_EQ(ReadFile(Local("a.log")), "line a\n");
    EXPECT_EQ(CountLines(ServerLog(), "RETR"), 2);

    std::vector<std::string> second;
    ASSERT_TRUE(Run(second));
    std::sort(second.begin(), second.end());
    EXPECT_EQ(second, first);
    EXPECT_EQ(CountLines(ServerLog(), "RETR"), 2);
    EXPECT_EQ(CountLines(CProgress::GetXML(), "HelpFile"), 0) << CProgress::GetXML();
}

TEST_F(FtpRetrievalTest, ServerWithoutMlsdIsListedByNamesSizesAndTimes) {
    Put("logs/a.log", "line a\n");
    fs::create_directories(Root("logs/archive.log"));  // a folder that matches the pattern
    StartServer(false);
    m_request.paths = {{"/logs/*.log", kWildcard}};
    std::vector<std::string> files;
    ASSERT_TRUE(Run(files));
    EXPECT_EQ(files, std::vector<std::string>{Local("a.log")});
    ASSERT_TRUE(Run(files));
    EXPECT_EQ(CountLines(ServerLog(), "RETR"), 1) << "the second run transferred again";
    Put("logs/a.log", "line a\nline b\n");
    ASSERT_TRUE(Run(files));
    EXPECT_EQ(ReadFile(Local("a.log")), "line a\nline b\n");
}

TEST_F(FtpRetrievalTest, GrownRemoteFileIsFetchedAgain) {
    Put("logs/a.log", "line 1\n");
    StartServer();
    m_request.paths = {{"/logs/a.log", kFile}};
    std::vector<std::string> files;
    ASSERT_TRUE(Run(files));
    Put("logs/a.log", "line 1\nline 2\n");
    files.clear();
    ASSERT_TRUE(Run(files));
    EXPECT_EQ(files, std::vector<std::string>{Local("a.log")});
    EXPECT_EQ(ReadFile(Local("a.log")), "line 1\nline 2\n");
    EXPECT_EQ(CountLines(ServerLog(), "RETR"), 2);
}

TEST_F(FtpRetrievalTest, ActiveModeAndDirectoryPathFetchEveryFile) {
    Put("logs/a.log", "a\n");
    Put("logs/b.txt", "b\n");
    StartServer();
    m_options.passiveFtp = false;
    m_request.paths = {{"logs", kDir}};
    std::vector<std::string> files;
    ASSERT_TRUE(Run(files));
    EXPECT_EQ(files.size(), 2u);
    EXPECT_EQ(ReadFile(Local("b.txt")), "b\n");
}

TEST_F(FtpRetrievalTest, WrongFolderReportsBadPathAndEndsRetrieval) {
    Put("logs/a.log", "a\n");
    StartServer();
    m_request.paths = {{"/nowhere/*.log", kWildcard}, {"/logs/a.log", kFile}};
    std::vector<std::string> files;
    EXPECT_FALSE(Run(files));
    EXPECT_TRUE(files.empty());
    const std::string xml = CProgress::GetXML();
    EXPECT_NE(xml.find("There was an error opening the following directory on your FTP site: "
                       "/nowhere/"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("Trouble/ErrorBadFTPPath.htm"), std::string::npos);
}

TEST_F(FtpRetrievalTest, RemoteNameWithBackslashesStaysInDownloadFolder) {
    Put("logs/..\\..\\escape.log", "x\n");
    StartServer();
    m_request.paths = {{"/logs/*", kWildcard}};
    std::vector<std::string> files;
    ASSERT_TRUE(Run(files));
    ASSERT_EQ(files, std::vector<std::string>{Local("escape.log")});
    EXPECT_EQ(ReadFile(Local("escape.log")), "x\n");
    EXPECT_FALSE(fs::exists(m_downloads.file("escape.log")));
}

TEST_F(FtpRetrievalTest, BlankUserNameIsReportedAndLoginFailureIsAnInternetError) {
    Put("logs/a.log", "a\n");
    StartServer();
    m_request.userName.clear();
    m_request.paths = {{"/logs/a.log", kFile}};
    std::vector<std::string> files;
    EXPECT_FALSE(Run(files));
    const std::string xml = CProgress::GetXML();
    EXPECT_NE(xml.find("Please specify a valid ftp username.  Username is blank."),
              std::string::npos);
    EXPECT_NE(xml.find("Trouble/ErrorUserNameBlank.htm"), std::string::npos);
    EXPECT_NE(xml.find("Internet Error: "), std::string::npos);
}

TEST_F(RemoteTest, FtpServerThatIsDownIsAnInternetError) {
    m_request.isFtp = true;
    m_request.serverName = "127.0.0.1";
    m_request.port = UnusedPort();
    m_request.userName = "logs";
    m_request.paths = {{"/logs/a.log", kFile}};
    std::vector<std::string> files;
    EXPECT_FALSE(Run(files));
    EXPECT_TRUE(files.empty());
    const std::string xml = CProgress::GetXML();
    EXPECT_NE(xml.find("Internet Error: "), std::string::npos) << xml;
    EXPECT_NE(xml.find("Trouble/ErrorNoInternet.htm"), std::string::npos);
}

class WebRetrievalTest : public RemoteTest {
protected:
    void StartServer() {
        m_server = std::make_unique<TestServer>(kScripts + "http_server.py", ServerArgs());
        ASSERT_NE(m_server->port(), 0) << "http.server did not start";
        m_base = "http://127.0.0.1:" + std::to_string(m_server->port());
    }
    void PutDirectoryPage() {
        Put("logs/index.html",
            "<html><body><a href=\"../\">Parent Directory</a>\n"
            "<A HREF=\"?C=N;O=D\">Name</A>\n"
            "<a href=\"a.log\">a.log</a> <a href='b.log'>b.log</a>\n"
            "<a href=\"/other/root.log\">root</a>\n"
            "<a href=\"missing.log\">gone</a>\n"
            "<a href=\"sub/\">sub</a>\n"
            "<a href=\"http://elsewhere.invalid/x.log\">x</a>\n"
            "<a href=\"mailto:webmaster@example.com\">mail</a>\n"
            "<a href=\"/../../etc/passwd\">sneaky</a>\n"
            "</body></html>\n");
        Put("logs/a.log", "a\n");
        Put("logs/b.log", "b\n");
        Put("other/root.log", "root\n");
        Put("etc/passwd", "served from the test root\n");
    }
    std::unique_ptr<TestServer> m_server;
    std::string m_base;
};

TEST_F(WebRetrievalTest, DirectoryPageFetchesFileLinksAndRootRelativeLinks) {
    PutDirectoryPage();
    StartServer();
    m_request.paths = {{m_base + "/logs/", kDir}};
    std::vector<std::string> files;
    ASSERT_TRUE(Run(files));
    EXPECT_EQ(files, (std::vector<std::string>{Local("logs/a.log"), Local("logs/b.log"),
                                               Local("other/root.log"), Local("etc/passwd")}));
    EXPECT_EQ(ReadFile(Local("other/root.log")), "root\n");
    const std::string log = ServerLog();
    EXPECT_EQ(CountLines(log, "GET /logs/missing.log 404"), 1);
    EXPECT_EQ(CountLines(log, "GET / "), 0) << "the parent-folder link was followed";
    EXPECT_EQ(CountLines(log, "sub"), 0);
    EXPECT_EQ(CountLines(CProgress::GetXML(), "HelpFile"), 0) << "a 404 must stay silent";
    EXPECT_FALSE(fs::exists(m_downloads.file("etc")));
}

TEST_F(WebRetrievalTest, WildcardPageFetchesOnlyMatchingLinks) {
    PutDirectoryPage();
    Put("logs/index.html",
        "<a href=\"a.log\">a</a><a href=\"b.txt\">b</a><a href=\"with space.log\">c</a>");
    Put("logs/b.txt", "b\n");
    Put("logs/with space.log", "c\n");
    StartServer();
    m_request.paths = {{m_base + "/logs/*.log", kWildcard}};
    std::vector<std::string> files;
    ASSERT_TRUE(Run(files));
    EXPECT_EQ(files, (std::vector<std::string>{Local("logs/a.log"), Local("logs/with space.log")}));
    EXPECT_EQ(ReadFile(Local("logs/with space.log")), "c\n");
}

TEST_F(WebRetrievalTest, UnchangedFileIsKeptAndChangedFileIsFetchedAgain) {
    Put("logs/a.log", "first\n");
    StartServer();
    m_request.paths = {{m_base + "/logs/a.log", kFile}};
    std::vector<std::string> files;
    ASSERT_TRUE(Run(files));
    ASSERT_EQ(files, std::vector<std::string>{Local("a.log")});
    const ino_t before = Inode(Local("a.log"));

    files.clear();
    ASSERT_TRUE(Run(files));
    EXPECT_EQ(files, std::vector<std::string>{Local("a.log")});
    EXPECT_EQ(Inode(Local("a.log")), before) << "an unchanged object was transferred again";

    Put("logs/a.log", "first\nsecond\n");
    files.clear();
    ASSERT_TRUE(Run(files));
    EXPECT_EQ(ReadFile(Local("a.log")), "first\nsecond\n");
}

TEST_F(WebRetrievalTest, MissingObjectAndDownServerYieldNothing) {
    StartServer();
    m_request.paths = {{m_base + "/logs/none.log", kFile}};
    std::vector<std::string> files;
    EXPECT_TRUE(Run(files));
    EXPECT_TRUE(files.empty());
    EXPECT_EQ(CountLines(CProgress::GetXML(), "HelpFile"), 0);

    m_request.paths = {{"http://127.0.0.1:" + std::to_string(UnusedPort()) + "/a.log", kFile}};
    EXPECT_TRUE(Run(files));
    EXPECT_TRUE(files.empty());
    EXPECT_NE(CProgress::GetXML().find("Internet Error: "), std::string::npos);
}

TEST_F(WebRetrievalTest, UnparsableUrlEndsRetrieval) {
    m_request.paths = {{"ftp://127.0.0.1/x.log", kFile}};
    std::vector<std::string> files;
    EXPECT_FALSE(Run(files));
    m_request.paths = {{"http://", kFile}};
    EXPECT_FALSE(Run(files));
}

TEST_F(WebRetrievalTest, PasswordIsSentOnlyForProtectedEntries) {
    Put("private/p.log", "secret log\n");
    StartServer();
    m_request.paths = {{m_base + "/private/p.log", kFile}};
    m_request.userName = "logs";
    m_request.password = "secret";
    std::vector<std::string> files;
    ASSERT_TRUE(Run(files));
    EXPECT_TRUE(files.empty()) << "credentials went to an unprotected entry";

    m_request.passwordProtected = true;
    ASSERT_TRUE(Run(files));
    EXPECT_EQ(files, std::vector<std::string>{Local("p.log")});
}

TEST_F(WebRetrievalTest, UnauthorizedAsksTheCredentialsCallback) {
    Put("private/p.log", "secret log\n");
    StartServer();
    m_request.paths = {{m_base + "/private/p.log", kFile}};
    int asked = 0;
    m_options.credentials = [&](const std::string& url, std::string& user, std::string& password) {
        EXPECT_NE(url.find("/private/p.log"), std::string::npos);
        user = "logs";
        password = ++asked == 1 ? "wrong" : "secret";
        return true;
    };
    std::vector<std::string> files;
    ASSERT_TRUE(Run(files));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(files, std::vector<std::string>{Local("p.log")});

    fs::remove(Local("p.log"));
    files.clear();
    m_options.credentials = [](const std::string&, std::string&, std::string&) { return false; };
    ASSERT_TRUE(Run(files));
    EXPECT_TRUE(files.empty());
    EXPECT_FALSE(fs::exists(Local("p.log")));
}

TEST_F(RemoteTest, HttpsUrlsWorkLikeHttp) {
    const std::string cert = m_serverDir.file("cert.pem"), key = m_serverDir.file("key.pem");
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -addext "
        "subjectAltName=IP:127.0.0.1 -keyout '" +
        key + "' -out '" + cert + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "openssl cannot make a certificate";
    Put("logs/s.log", "secure\n");
    std::vector<std::string> args = ServerArgs();
    args.insert(args.end(), {cert, key});
    TestServer server(kScripts + "http_server.py", args);
    ASSERT_NE(server.port(), 0);
    const std::string url = "https://127.0.0.1:" + std::to_string(server.port()) + "/logs/s.log";
    m_request.paths = {{url, kFile}};
    std::vector<std::string> files;
    m_options.caFile = cert;
    ASSERT_TRUE(Run(files));
    EXPECT_EQ(files, std::vector<std::string>{Local("s.log")});
    EXPECT_EQ(ReadFile(Local("s.log")), "secure\n");

    fs::remove(Local("s.log"));
    files.clear();
    m_options.caFile.clear();  // an unknown certificate is refused
    ASSERT_TRUE(Run(files));
    EXPECT_TRUE(files.empty());
    EXPECT_NE(CProgress::GetXML().find("Internet Error: "), std::string::npos);
}

TEST_F(FtpRetrievalTest, CancelStopsBeforeAnyTransfer) {
    Put("logs/a.log", "a\n");
    StartServer();
    m_request.paths = {{"/logs/a.log", kFile}};
    CProgress::SetCancel(true);
    std::vector<std::string> files;
    EXPECT_FALSE(Run(files));
    EXPECT_EQ(CountLines(ServerLog(), "RETR"), 0);
    EXPECT_FALSE(fs::exists(Local("a.log")));
}

TEST_F(FtpRetrievalTest, DriverRequestsLandInTheProjectsDownloadFolder) {
    logvane::test::ScopedHome home;
    Put("logs/a.log", "a\n");
    StartServer();
    retrieval_request_t request;
    request.serverName = "127.0.0.1";
    request.port = static_cast<std::uint16_t>(m_server->port());
    request.userName = "logs";
    request.password = "secret";
    request.projectName = "Shop: Main";
    request.isFtp = true;
    request.paths = {{"/logs/a.log", kFile}};
    CSettings settings;
    settings.SetPassiveFTP(false);
    std::vector<std::string> files;
    ASSERT_TRUE(RetrieveRequestedFiles(request, settings, files));
    const std::string expected =
        (home.path() / ".config/Zentrik Labs/Logvane4/Shop Main/a.log").string();
    EXPECT_EQ(files, std::vector<std::string>{expected});
    EXPECT_EQ(ReadFile(expected), "a\n");

    analysis_phases_t phases;
    InstallRemoteRetrieval(phases);
    files.clear();
    ASSERT_TRUE(phases.retrieveRemote(request, files));
    EXPECT_EQ(files, std::vector<std::string>{expected});
}

}  // namespace
