#pragma once

#include "server/UserControls.hpp"

#include <QWidget>

#include <array>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace zd {
class MainForm;
}

namespace zd::gui {

class CategoryPickerDialog;

// The Users page: shows the UsersPage object and passes every edit to its
// handlers; it redraws whenever the object says it changed.
class UsersTab : public QWidget {
public:
    explicit UsersTab(MainForm& form, QWidget* parent = nullptr);

    void Refresh();
    // Runs the category picker dialog for the page.
    CategoryPickerDialog& Picker() noexcept { return *picker_; }

private:
    QWidget* BuildDetails();
    QWidget* BuildGrid();

    MainForm& form_;
    QListWidget* userList_;
    QLineEdit* newUser_;
    QPushButton* add_;
    QPushButton* delete_;
    QGroupBox* details_;
    QCheckBox* userEnabled_;
    QLineEdit* login_;
    QLineEdit* password_;
    QLineEdit* userName_;
    QLineEdit* restrictIP_;
    std::array<QCheckBox*, kPermissionCount> permissions_{};
    QLineEdit* categories_;
    QPushButton* catSel_;
    QGroupBox* days_;
    std::array<QCheckBox*, 7> dayBoxes_{};
    QGroupBox* hours_;
    std::array<QCheckBox*, 168> hourBoxes_{};
    QPushButton* selectAll_;
    QPushButton* deselectAll_;
    QSpinBox* vtLimit_;
    CategoryPickerDialog* picker_;
    unsigned focusRequests_ = 0;
};

} // namespace zd::gui
