// The desktop's URL handler behind a replaceable opener.
#include "controls/ShellOpen.h"

#include <QDesktopServices>
#include <QRegularExpression>
#include <utility>

namespace sv {

namespace {

LinkOpener& CurrentOpener() {
    static LinkOpener opener;
    return opener;
}

// "mailto:", "https:" and the like; a drive letter ("C:\...") is not a scheme.
bool HasScheme(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(text).hasMatch();
}

} // namespace

QUrl LinkUrl(const QString& target) {
    const QString text = target.trimmed();
    if (text.isEmpty())
        return {};
    if (HasScheme(text))
        return QUrl(text, QUrl::TolerantMode);
    return QUrl::fromUserInput(text);
}

bool OpenLink(const QString& target) {
    const QUrl url = LinkUrl(target);
    if (!url.isValid())
        return false;
    const LinkOpener& opener = CurrentOpener();
    return opener ? opener(url) : QDesktopServices::openUrl(url);
}

LinkOpener SetLinkOpener(LinkOpener opener) {
    return std::exchange(CurrentOpener(), std::move(opener));
}

} // namespace sv
