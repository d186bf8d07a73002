#include "gui/MessageBoxes.hpp"

#include "gui/Text.hpp"

#include <QMessageBox>

namespace zd::gui {

namespace {

QMessageBox::Icon IconOf(MessageDialog::Kind kind)
{
    switch (kind) {
    case MessageDialog::Kind::Information: return QMessageBox::Information;
    case MessageDialog::Kind::Warning: return QMessageBox::Warning;
    case MessageDialog::Kind::Confirmation: return QMessageBox::Question;
    case MessageDialog::Kind::Error: break;
    }
    return QMessageBox::Critical;
}

} // namespace

bool ExecMessageBox(const MessageDialog& dialog, QWidget* parent)
{
    QMessageBox box(parent);
    box.setObjectName("MessageDialog");
    box.setIcon(IconOf(dialog.Icon));
    box.setWindowTitle(FromAnsi(dialog.Title));
    box.setText(FromAnsi(dialog.Text));
    box.setInformativeText(FromAnsi(dialog.Detail));
    switch (dialog.Choice) {
    case MessageDialog::Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MessageDialog::Buttons::Cancel: box.setStandardButtons(QMessageBox::Cancel); break;
    case MessageDialog::Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MessageDialog::Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    }
    const int chosen = box.exec();
    return chosen == QMessageBox::Ok || chosen == QMessageBox::Yes;
}

} // namespace zd::gui
