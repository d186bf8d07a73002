#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace zd {
class MainForm;
}

namespace zd::gui {

// The Options page: shows the OptionsPage object, the connected-users list
// and the activity log, and passes every edit to them.
class OptionsTab : public QWidget {
public:
    explicit OptionsTab(MainForm& form, QWidget* parent = nullptr);

    // Puts the page's values, the connected users and the tray state on
    // the widgets.
    void Refresh();
    // Appends a log line (the form's echo) and keeps the configured number.
    void AppendLogLine(const QString& line);

private:
    void SaveLog();
    void ShowConnectedMenu(const QPoint& position);

    MainForm& form_;
    QCheckBox* enabled_;
    QCheckBox* visible_;
    QLineEdit* port_;
    QSpinBox* maxLog_;
    QComboBox* bitrate_;
    QCheckBox* upnp_;
    QCheckBox* autoLoad_;
    QLineEdit* masterPassword_;
    QListWidget* connected_;
    QPlainTextEdit* log_;
    QString lastLogFolder_;
};

} // namespace zd::gui
