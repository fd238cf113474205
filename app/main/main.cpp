// sonvault: the desktop application. It takes no arguments; the work folder is the directory it
// is started in.
#include "app/main/PlayerApp.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    sv::PlayerApp app;
    app.InitInstance();
    return 0;
}
