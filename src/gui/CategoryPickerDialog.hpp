#pragma once

#include <QDialog>

class QCheckBox;
class QListWidget;
class QRadioButton;

namespace zd {
class CategoryPicker;
}

namespace zd::gui {

// "Permitted Search Categories": the picker object's names with check
// boxes, "Select All", "Selected categories are" "Included"/"Excluded",
// "OK" and "Cancel". It shows the object and passes every change to it.
class CategoryPickerDialog : public QDialog {
public:
    explicit CategoryPickerDialog(QWidget* parent = nullptr);

    // Shows the picker modally; true for "OK".
    bool Pick(CategoryPicker& picker);

private:
    void Refresh();

    CategoryPicker* picker_ = nullptr;
    QListWidget* list_;
    QCheckBox* all_;
    QRadioButton* included_;
    QRadioButton* excluded_;
};

} // namespace zd::gui
