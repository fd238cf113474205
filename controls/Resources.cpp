#include "controls/Resources.h"

// The resources live in a static library, so nothing would pull them into a program unless
// something names their initialiser.
static void InitSonvaultResources() {
    Q_INIT_RESOURCE(sonvault);
}

namespace sv {

void EnsureResources() {
    static const bool done = (InitSonvaultResources(), true);
    (void)done;
}

QIcon AppIcon() {
    EnsureResources();
    QIcon icon;
    for (const char* file : {":/icons/sonvault-16.png", ":/icons/sonvault-32.png",
                             ":/icons/sonvault-64.png", ":/icons/sonvault-128.png"})
        icon.addFile(QString::fromLatin1(file));
    return icon;
}

} // namespace sv
