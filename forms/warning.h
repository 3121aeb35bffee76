#pragma once

#include <QMessageBox>

namespace forms {

// Says what went wrong, window-modal and not waited for: the program goes on, and the box goes
// once it is closed.
inline void warn(QWidget *parent, const QString &title, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace forms
