#include "app/main/PlayerApp.h"

#include "app/main/MainDialog.h"

#include <QCoreApplication>

namespace sv {

// The setting is kept under these names whatever the executable is called.
PlayerApp::PlayerApp() {
    QCoreApplication::setOrganizationName(QStringLiteral("Merrow Applications"));
    QCoreApplication::setApplicationName(QStringLiteral("Sonvault"));
}

bool PlayerApp::InitInstance() {
    MainDialog dialog;
    (void)dialog.exec();
    return false;
}

} // namespace sv
