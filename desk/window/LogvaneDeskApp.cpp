#include "desk/window/LogvaneDeskApp.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "desk/cli/CommandLineInfo.h"
#include "desk/window/Icons.h"
#include "desk/window/MainFrame.h"
#include "store/settings/SettingsFolder.h"

std::string GetWorkingReportPath() {
    return (std::filesystem::path(GetSettingsDir()) / "load.xml").string();
}

int CLogvaneDeskApp::RunWindowMode(int& argc, char** argv,
                                   const CLogvaneDeskCommandLineInfo& info) {
    // Without any display Qt would abort; say why and end like the program without a window.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs(
            "logvane: no display to open the window on; name a project and a report file "
            "to analyse without one.\n",
            stderr);
        std::fputs(GetUsageText(), stdout);
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Zentrik Labs"));
    QApplication::setApplicationName(QStringLiteral("Logvane4"));
    QApplication::setApplicationDisplayName(QStringLiteral("Zentrik Logvane"));
    QApplication::setWindowIcon(icons::AppIcon());
    QApplication::setDesktopFileName(QStringLiteral("logvane"));

    CLogvaneDeskApp app;
    app.m_projectPath = info.projectPath;
    app.m_reportPath = info.reportPath;
    app.m_help = info.help;
    CMainFrame frame(app);
    frame.show();
    // Once the window is up: a project alone is analysed, a report alone is shown.
    QTimer::singleShot(0, &frame, &CMainFrame::OnProjectChooser);
    return QApplication::exec();
}
