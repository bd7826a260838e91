#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zn::gui {

enum class DialogIcon { None, Information, Warning, Error, Question };
enum class DialogButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class DialogAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

// The answers a box offers, in the order it shows them; the first is the usual default.
std::vector<DialogAnswer> AnswersOf(DialogButtons buttons);
// "ok", "cancel", "yes", "no", "retry", "abort", "ignore".
std::string_view AnswerWord(DialogAnswer answer);

// The outcome of a dialog with fields or choices: its button (ok or cancel) and its fields in
// order, written "ok:<field1>:<field2>" in the answer queue and the log.
struct FieldAnswer {
    DialogAnswer button = DialogAnswer::Ok;
    std::vector<std::string> fields;
};

// What automation did with a modeless prompt.
struct PromptAnswer {
    bool leftOpen = false;
    DialogAnswer answer = DialogAnswer::Ok;  // unless left open
};

// Automation mode for end-to-end runs. When a log file is set, every dialog appends one JSON
// line to it and is answered without being shown: by the next answer of the queue, else by its
// default. Popups and balloons are logged as well. One object serves the whole process; all
// functions may be called from any thread.
class DialogAutomation {
public:
    // Inactive until configured.
    DialogAutomation() = default;
    DialogAutomation(const DialogAutomation&) = delete;
    DialogAutomation& operator=(const DialogAutomation&) = delete;

    // The process's automation, configured from ZENTROVA_DIALOG_LOG and ZENTROVA_DIALOG_ANSWERS
    // at first use.
    static DialogAutomation& Process();

    // A log file switches automation on, nullopt switches it off. `answers` is the
    // comma-separated queue ("ok,cancel,ok:secret"); it replaces what was left of the last one.
    void Configure(std::optional<std::filesystem::path> logFile, std::string_view answers);
    bool IsActive() const;

    // Nullopt when inactive (show the box). Otherwise the answer, logged: the next queued one
    // when the box offers it, else `defaultAnswer` (else the box's first button).
    std::optional<DialogAnswer> AnswerMessageBox(std::string_view caption, std::string_view text,
                                                 DialogIcon icon, DialogButtons buttons,
                                                 DialogAnswer defaultAnswer);

    // A modeless prompt (the program goes on while it is open). Nullopt when inactive (show it).
    // Otherwise answered and logged like a message box, except that the queued word "open"
    // leaves it open and unanswered (logged as "open").
    std::optional<PromptAnswer> AnswerModelessPrompt(std::string_view caption,
                                                     std::string_view text, DialogButtons buttons,
                                                     DialogAnswer defaultAnswer);

    // Nullopt when inactive (show the dialog). Otherwise the logged answer of an OK/Cancel
    // dialog with `fieldCount` fields: the queued button with up to `fieldCount` fields (the last
    // takes the rest, colons included); fields that the answer leaves out, and every field of an
    // empty queue or an unknown button, come from `defaultAnswer`.
    std::optional<FieldAnswer> AnswerFieldDialog(std::string_view caption, std::string_view text,
                                                 std::size_t fieldCount,
                                                 const FieldAnswer& defaultAnswer);

    // Logged only when active; they never change how the announcement shows.
    void LogPopup(std::string_view text);
    void LogBalloon(std::string_view title, std::string_view text);
    // A window that asks nothing and stays open (a list), with what it shows.
    void LogWindow(std::string_view caption, std::string_view text);

private:
    DialogAnswer AnswerMessageBoxLocked(std::string_view caption, std::string_view text,
                                        DialogIcon icon, DialogButtons buttons,
                                        DialogAnswer defaultAnswer);
    std::optional<std::string> TakeAnswerLocked();
    void AppendLineLocked(std::string line) const;

    mutable std::mutex m_mutex;
    std::optional<std::filesystem::path> m_logFile;
    std::deque<std::string> m_answers;
};

}  // namespace zn::gui
