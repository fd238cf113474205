// The platform's dialogs answered by the test, and what they were asked.
#pragma once

#include "controls/Dialogs.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace export_test {

struct DialogStub {
    DialogStub() {
        sv::Dialogs().saveFile = [this](QWidget*, const QString& proposed, const QString& suffix,
                                        const QString& filter) {
            saveAsked << proposed << suffix << filter;
            return savePath;
        };
        sv::Dialogs().showError = [this](QWidget*, const QString& text, const QString& caption) {
            errors << caption + ": " + text;
        };
    }
    ~DialogStub() { sv::Dialogs() = sv::QtDialogs(); }
    DialogStub(const DialogStub&) = delete;
    DialogStub& operator=(const DialogStub&) = delete;

    std::optional<QString> savePath; // the save dialog's answer; nothing is a cancel
    QStringList saveAsked;           // proposed name, suffix, filter
    QStringList errors;              // "caption: text"
};

} // namespace export_test
