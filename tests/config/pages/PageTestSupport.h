#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QtWait.h"
#include "Sandbox.h"
#include "gui/DialogAutomation.h"

namespace zn::config::test {

// Automation mode for the test's lifetime: message boxes are answered (from `answers`, else by
// their default) and logged instead of shown.
class DialogLog {
public:
    DialogLog(const zn::test::Sandbox& sandbox, std::string_view answers = "")
        : m_file(sandbox.Path() / "dialogs.jsonl") {
        gui::DialogAutomation::Process().Configure(m_file, answers);
    }
    ~DialogLog() { gui::DialogAutomation::Process().Configure(std::nullopt, ""); }
    DialogLog(const DialogLog&) = delete;
    DialogLog& operator=(const DialogLog&) = delete;

    std::vector<QJsonObject> Lines() const {
        std::vector<QJsonObject> lines;
        const QByteArray log = QByteArray::fromStdString(zn::test::ReadFile(m_file).value_or(""));
        for (const QByteArray& line : log.split('\n')) {
            if (!line.isEmpty()) {
                lines.push_back(QJsonDocument::fromJson(line).object());
            }
        }
        return lines;
    }
    bool WaitForLines(std::size_t count) const {
        return zn::test::WaitWithEvents([&] { return Lines().size() >= count; });
    }

private:
    std::filesystem::path m_file;
};

// The result of a script in the view's page, once it came back; an invalid QVariant when it did
// not within the wait.
inline QVariant RunScript(QWebEngineView& view, const QString& script) {
    // Shared: a result that comes back after the wait must not write into a finished frame.
    auto result = std::make_shared<std::optional<QVariant>>();
    view.page()->runJavaScript(script, [result](const QVariant& value) { *result = value; });
    return zn::test::WaitWithEvents([&] { return result->has_value(); }) ? **result : QVariant();
}

}  // namespace zn::config::test
