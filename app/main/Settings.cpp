#include "app/main/Settings.h"

#include <QSettings>

namespace sv {
namespace {

const char* const kOrganization = "Merrow Applications";
const char* const kApplication = "Sonvault";
const char* const kKey = "StartupValues/PreviousArena2Path";

} // namespace

QString ReadPreviousArena2Path() {
    return QSettings(kOrganization, kApplication).value(kKey, QString()).toString();
}

void WritePreviousArena2Path(const QString& folder) {
    QSettings settings(kOrganization, kApplication);
    settings.setValue(kKey, folder);
    settings.sync(); // a later crash must not lose it
}

} // namespace sv
