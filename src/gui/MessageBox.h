#pragma once

#include <QString>

#include <cstddef>
#include <optional>

#include "gui/DialogAutomation.h"

class QWidget;

namespace zn::gui {

// A modal message box, or in automation mode the logged automatic answer. `parent` may be null
// (a box without an owner). Without `defaultButton` the first button is the default. UI thread.
DialogAnswer MessageBox(QWidget* parent, const QString& text, const QString& caption,
                        DialogIcon icon = DialogIcon::None,
                        DialogButtons buttons = DialogButtons::Ok,
                        std::optional<DialogAnswer> defaultButton = std::nullopt);

// A message box with an OK button that returns at once: it is not modal, so every window stays
// usable while it is open, and it closes itself when answered. In automation mode it is logged
// like a message box answered OK and not shown. UI thread.
void ShowNotice(QWidget* parent, const QString& text, const QString& caption,
                DialogIcon icon = DialogIcon::None);

// For dialogs with fields or choices: in automation mode their logged automatic answer (see
// DialogAutomation::AnswerFieldDialog); nullopt when the dialog must be shown. Any thread.
std::optional<FieldAnswer> AutomatedFieldAnswer(const QString& caption, const QString& text,
                                                std::size_t fieldCount,
                                                const FieldAnswer& defaultAnswer);

// A one-field modal prompt with OK and Cancel: the typed text on OK, nullopt on Cancel.
// `hidden` hides the typed characters. Answered by "ok:<text>" or "cancel" in automation mode,
// where the default is OK with an empty text. UI thread.
std::optional<QString> PromptText(QWidget* parent, const QString& caption, const QString& label,
                                  bool hidden);

// Announcements that are not dialogs, logged in automation mode; callers show them as usual.
// Any thread.
void LogPopup(const QString& text);
void LogBalloon(const QString& title, const QString& text);
void LogWindow(const QString& caption, const QString& text);

}  // namespace zn::gui
