#include "gui/TrayIcon.hpp"

#include "gui/Text.hpp"

#include <QPainter>
#include <QPixmap>

namespace zd::gui {

namespace {

// A microphone in a round badge: grey while idle, green while anyone is
// connected.
QIcon DrawImage(const QColor& badge)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(badge);
    painter.drawEllipse(1, 1, 30, 30);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(12, 6, 8, 14, 4, 4);
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(9, 10, 14, 14, 180 * 16, 180 * 16);
    painter.drawLine(16, 24, 16, 27);
    return QIcon(pixmap);
}

} // namespace

TrayIcon::TrayIcon(std::function<void()> restore, std::function<void()> exit)
    : images_{DrawImage(QColor(120, 120, 120)), DrawImage(QColor(30, 150, 60))}
{
    QAction* restoreAction = menu_.addAction(Ui("Restore"));
    restoreAction->setObjectName("miRestore");
    QObject::connect(restoreAction, &QAction::triggered, [restore] { restore(); });
    menu_.addSeparator();
    QAction* exitAction = menu_.addAction(Ui("Exit"));
    exitAction->setObjectName("miExit");
    QObject::connect(exitAction, &QAction::triggered, [exit] { exit(); });
    icon_.setContextMenu(&menu_);
    QObject::connect(&icon_, &QSystemTrayIcon::activated, [restore](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            restore();
    });
    icon_.setIcon(images_[0]);
}

void TrayIcon::Show(int image, const QString& tip)
{
    const QIcon& wanted = Image(image);
    if (icon_.icon().cacheKey() != wanted.cacheKey())
        icon_.setIcon(wanted);
    if (icon_.toolTip() != tip)
        icon_.setToolTip(tip);
    if (!icon_.isVisible() && QSystemTrayIcon::isSystemTrayAvailable())
        icon_.show();
}

} // namespace zd::gui
