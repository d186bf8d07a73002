#pragma once

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include <array>
#include <functional>

namespace zd::gui {

// The tray icon: image 0 while nobody is connected, 1 otherwise, the tip,
// and the menu "Restore", a separator, "Exit"; a double-click restores.
class TrayIcon {
public:
    TrayIcon(std::function<void()> restore, std::function<void()> exit);

    void Show(int image, const QString& tip);
    QMenu& Menu() noexcept { return menu_; }
    QSystemTrayIcon& Icon() noexcept { return icon_; }
    const QIcon& Image(int image) const { return images_.at(image != 0 ? 1 : 0); }

private:
    std::array<QIcon, 2> images_;
    QMenu menu_;
    QSystemTrayIcon icon_;
};

} // namespace zd::gui
