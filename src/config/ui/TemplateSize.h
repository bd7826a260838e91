#pragma once

class QDialog;

namespace zn::config {

// Fixes a dialog at its template's size, the size its .ui file gives, instead of the smallest
// that its layout allows (which wraps the descriptions of a page into ragged lines). Content that
// needs more, under a larger font, widens it rather than being cut. After setupUi.
void KeepTemplateSize(QDialog& dialog);

}  // namespace zn::config
