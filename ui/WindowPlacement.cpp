#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

QRect FitIntoArea(const QRect& window, const QRect& available) {
    QRect fitted(window.topLeft(), window.size().boundedTo(available.size()));
    fitted.moveLeft(std::clamp(fitted.left(), available.left(),
                               available.left() + available.width() - fitted.width()));
    fitted.moveTop(std::clamp(fitted.top(), available.top(),
                              available.top() + available.height() - fitted.height()));
    return fitted;
}

void FitIntoScreen(QWidget* window) {
    QScreen* screen = QGuiApplication::screenAt(window->geometry().center());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect fitted = FitIntoArea(window->geometry(), screen->availableGeometry());
    if (fitted != window->geometry()) window->setGeometry(fitted);
}

bool RestorePlacement(QWidget* window, const std::optional<TWindowPlacement>& placement) {
    if (!placement) return false;
    const QRect rect(placement->Left, placement->Top, placement->Width, placement->Height);
    // A screen that has gone, or got smaller, since the window was closed does not hold it.
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().contains(rect)) {
            window->setGeometry(rect);
            return true;
        }
    }
    return false;
}

TWindowPlacement PlacementOf(const QWidget* window) {
    const QRect rect = window->isMaximized() || window->isFullScreen() ? window->normalGeometry()
                                                                       : window->geometry();
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}
