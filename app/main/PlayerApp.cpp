#include "app/main/PlayerApp.h"

#include "app/main/MainDialog.h"

#include <QGuiApplication>

namespace sv {

// The setting is kept under these names whatever the executable is called.
PlayerApp::PlayerApp() {
    QCoreApplication::setOrganizationName(QStringLiteral("Merrow Applications"));
    QCoreApplication::setApplicationName(QStringLiteral("Sonvault"));
    // Lets a Wayland desktop match the window to its desktop entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.sonvault"));
}

bool PlayerApp::InitInstance(const QString& folder) {
    MainDialog dialog(nullptr, folder);
    (void)dialog.exec();
    return false;
}

} // namespace sv
