// Opening a link with the desktop's handler, as the shell's "open" does with a text: the text may
// be a full URL ("https://...", "mailto:..."), a bare host ("www.example.org") or a local path.
// Tests replace the opener so that nothing reaches the desktop.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace sv {

// The URL that the desktop is asked to open for `target`: a text with a scheme stays as it is,
// anything else is read as a user would type it (a host gets "http://", a path becomes a file
// URL). An empty or blank target gives an invalid URL.
QUrl LinkUrl(const QString& target);

// Hands LinkUrl(target) to the current opener; false when the URL is invalid or the opener
// refused it. Callers that follow the shell's habit ignore the result.
bool OpenLink(const QString& target);

using LinkOpener = std::function<bool(const QUrl&)>;

// Replaces the opener (QDesktopServices::openUrl by default; an empty function restores it) and
// returns the previous one.
LinkOpener SetLinkOpener(LinkOpener opener);

} // namespace sv
