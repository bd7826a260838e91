#include "TemplateSize.h"

#include <QDialog>
#include <QLayout>

namespace zn::config {

void KeepTemplateSize(QDialog& dialog) {
    const QSize templateSize = dialog.size();
    dialog.layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    dialog.setFixedSize(templateSize.expandedTo(dialog.minimumSizeHint()));
}

}  // namespace zn::config
