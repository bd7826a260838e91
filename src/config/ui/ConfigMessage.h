#pragma once

#include <QString>

class QWidget;

namespace zn::config {

// The caption of the tool's messages that name none of their own.
QString ProgramTitle();

// A message with the program's title and an OK button (logged and answered in automation mode).
void ShowMessage(QWidget* parent, const QString& text);

}  // namespace zn::config
