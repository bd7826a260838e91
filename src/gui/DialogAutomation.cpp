#include "gui/DialogAutomation.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

#include "platform/AsciiCase.h"

namespace zn::gui {

namespace {

constexpr DialogAnswer kAllAnswers[] = {
    DialogAnswer::Ok,    DialogAnswer::Cancel, DialogAnswer::Yes,   DialogAnswer::No,
    DialogAnswer::Retry, DialogAnswer::Abort,  DialogAnswer::Ignore};

std::string_view IconWord(DialogIcon icon) {
    switch (icon) {
        case DialogIcon::Information:
            return "information";
        case DialogIcon::Warning:
            return "warning";
        case DialogIcon::Error:
            return "error";
        case DialogIcon::Question:
            return "question";
        case DialogIcon::None:
            break;
    }
    return "none";
}

std::optional<DialogAnswer> AnswerFromWord(std::string_view word) {
    for (const DialogAnswer answer : kAllAnswers) {
        if (EqualsIgnoringCase(AnswerWord(answer), word)) {
            return answer;
        }
    }
    return std::nullopt;
}

// "ok:2:a:b" with two fields gives "ok", {"2", "a:b"}.
std::pair<std::string_view, std::vector<std::string>> SplitAnswer(std::string_view answer,
                                                                  std::size_t fieldCount) {
    const std::size_t colon = answer.find(':');
    const std::string_view word = answer.substr(0, colon);
    std::vector<std::string> fields;
    if (colon == std::string_view::npos) {
        return {word, fields};
    }
    std::string_view rest = answer.substr(colon + 1);
    while (fields.size() < fieldCount) {
        const std::size_t next = rest.find(':');
        if (next == std::string_view::npos || fields.size() + 1 == fieldCount) {
            fields.emplace_back(rest);
            break;
        }
        fields.emplace_back(rest.substr(0, next));
        rest = rest.substr(next + 1);
    }
    return {word, fields};
}

// A JSON string literal by Qt's writer: text that is not UTF-8 becomes U+FFFD, so a line is
// always valid JSON. The lines keep their keys in the log's documented order, which a
// QJsonObject would sort.
std::string JsonString(std::string_view text) {
    const QString value = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2).toStdString();  // without the array's brackets
}

std::string DialogLine(std::string_view caption, std::string_view text, DialogIcon icon,
                       const std::vector<DialogAnswer>& buttons, std::string_view answer) {
    std::string line = R"({"kind":"dialog","caption":)" + JsonString(caption) + R"(,"text":)" +
                       JsonString(text) + R"(,"icon":)" + JsonString(IconWord(icon)) +
                       R"(,"buttons":[)";
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        line += (i > 0 ? "," : "") + JsonString(AnswerWord(buttons[i]));
    }
    return line + R"(],"answer":)" + JsonString(answer) + "}\n";
}

}  // namespace

std::vector<DialogAnswer> AnswersOf(DialogButtons buttons) {
    using enum DialogAnswer;
    switch (buttons) {
        case DialogButtons::OkCancel:
            return {Ok, Cancel};
        case DialogButtons::YesNo:
            return {Yes, No};
        case DialogButtons::YesNoCancel:
            return {Yes, No, Cancel};
        case DialogButtons::RetryCancel:
            return {Retry, Cancel};
        case DialogButtons::AbortRetryIgnore:
            return {Abort, Retry, Ignore};
        case DialogButtons::Ok:
            break;
    }
    return {Ok};
}

std::string_view AnswerWord(DialogAnswer answer) {
    switch (answer) {
        case DialogAnswer::Cancel:
            return "cancel";
        case DialogAnswer::Yes:
            return "yes";
        case DialogAnswer::No:
            return "no";
        case DialogAnswer::Retry:
            return "retry";
        case DialogAnswer::Abort:
            return "abort";
        case DialogAnswer::Ignore:
            return "ignore";
        case DialogAnswer::Ok:
            break;
    }
    return "ok";
}

DialogAutomation& DialogAutomation::Process() {
    static DialogAutomation* const process = [] {
        auto* automation = new DialogAutomation;  // never destroyed: workers may log at exit
        const char* log = getenv("ZENTROVA_DIALOG_LOG");
        const char* answers = getenv("ZENTROVA_DIALOG_ANSWERS");
        if (log != nullptr && *log != '\0') {
            automation->Configure(std::filesystem::path(log), answers != nullptr ? answers : "");
        }
        return automation;
    }();
    return *process;
}

void DialogAutomation::Configure(std::optional<std::filesystem::path> logFile,
                                 std::string_view answers) {
    std::deque<std::string> queue;
    std::size_t start = 0;
    while (!answers.empty()) {
        const std::size_t comma = answers.find(',', start);
        queue.emplace_back(answers.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    const std::lock_guard lock(m_mutex);
    m_logFile = std::move(logFile);
    m_answers = std::move(queue);
}

bool DialogAutomation::IsActive() const {
    const std::lock_guard lock(m_mutex);
    return m_logFile.has_value();
}

std::optional<DialogAnswer> DialogAutomation::AnswerMessageBox(std::string_view caption,
                                                               std::string_view text,
                                                               DialogIcon icon,
                                                               DialogButtons buttons,
                                                               DialogAnswer defaultAnswer) {
    const std::lock_guard lock(m_mutex);
    if (!m_logFile) {
        return std::nullopt;
    }
    return AnswerMessageBoxLocked(caption, text, icon, buttons, defaultAnswer);
}

std::optional<PromptAnswer> DialogAutomation::AnswerModelessPrompt(std::string_view caption,
                                                                   std::string_view text,
                                                                   DialogButtons buttons,
                                                                   DialogAnswer defaultAnswer) {
    constexpr std::string_view kLeaveOpen = "open";
    const std::lock_guard lock(m_mutex);
    if (!m_logFile) {
        return std::nullopt;
    }
    if (!m_answers.empty() && m_answers.front() == kLeaveOpen) {
        m_answers.pop_front();
        AppendLineLocked(
            DialogLine(caption, text, DialogIcon::None, AnswersOf(buttons), kLeaveOpen));
        return PromptAnswer{.leftOpen = true};
    }
    return PromptAnswer{
        .answer = AnswerMessageBoxLocked(caption, text, DialogIcon::None, buttons, defaultAnswer)};
}

DialogAnswer DialogAutomation::AnswerMessageBoxLocked(std::string_view caption,
                                                      std::string_view text, DialogIcon icon,
                                                      DialogButtons buttons,
                                                      DialogAnswer defaultAnswer) {
    const std::vector<DialogAnswer> offered = AnswersOf(buttons);
    const auto offers = [&](DialogAnswer a) {
        return std::find(offered.begin(), offered.end(), a) != offered.end();
    };
    DialogAnswer answer = offers(defaultAnswer) ? defaultAnswer : offered.front();
    if (const auto queued = TakeAnswerLocked()) {
        const auto chosen = AnswerFromWord(SplitAnswer(*queued, 0).first);
        if (chosen && offers(*chosen)) {
            answer = *chosen;
        }
    }
    AppendLineLocked(DialogLine(caption, text, icon, offered, AnswerWord(answer)));
    return answer;
}

std::optional<FieldAnswer> DialogAutomation::AnswerFieldDialog(std::string_view caption,
                                                               std::string_view text,
                                                               std::size_t fieldCount,
                                                               const FieldAnswer& defaultAnswer) {
    const std::lock_guard lock(m_mutex);
    if (!m_logFile) {
        return std::nullopt;
    }
    FieldAnswer answer = defaultAnswer;
    answer.fields.resize(fieldCount);
    if (const auto queued = TakeAnswerLocked()) {
        auto [word, fields] = SplitAnswer(*queued, fieldCount);
        const auto chosen = AnswerFromWord(word);
        if (chosen == DialogAnswer::Ok || chosen == DialogAnswer::Cancel) {
            answer.button = *chosen;
            std::move(fields.begin(), fields.end(), answer.fields.begin());
        }
    }
    std::string logged(AnswerWord(answer.button));
    for (const std::string& field : answer.fields) {
        logged += ':';
        logged += field;
    }
    AppendLineLocked(DialogLine(caption, text, DialogIcon::None,
                                {DialogAnswer::Ok, DialogAnswer::Cancel}, logged));
    return answer;
}

void DialogAutomation::LogPopup(std::string_view text) {
    const std::lock_guard lock(m_mutex);
    if (!m_logFile) {
        return;
    }
    AppendLineLocked(R"({"kind":"popup","text":)" + JsonString(text) + "}\n");
}

void DialogAutomation::LogBalloon(std::string_view title, std::string_view text) {
    const std::lock_guard lock(m_mutex);
    if (!m_logFile) {
        return;
    }
    AppendLineLocked(R"({"kind":"balloon","title":)" + JsonString(title) + R"(,"text":)" +
                     JsonString(text) + "}\n");
}

void DialogAutomation::LogWindow(std::string_view caption, std::string_view text) {
    const std::lock_guard lock(m_mutex);
    if (!m_logFile) {
        return;
    }
    AppendLineLocked(R"({"kind":"window","caption":)" + JsonString(caption) + R"(,"text":)" +
                     JsonString(text) + "}\n");
}

std::optional<std::string> DialogAutomation::TakeAnswerLocked() {
    if (m_answers.empty()) {
        return std::nullopt;
    }
    std::string answer = std::move(m_answers.front());
    m_answers.pop_front();
    return answer;
}

// One write with O_APPEND per line, so lines of several processes sharing the log never mix.
void DialogAutomation::AppendLineLocked(std::string line) const {
    const int fd = open(m_logFile->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    std::string_view rest = line;
    while (!rest.empty()) {
        const ssize_t written = write(fd, rest.data(), rest.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            break;
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    close(fd);
}

}  // namespace zn::gui
