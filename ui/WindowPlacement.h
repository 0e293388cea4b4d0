#pragma once

#include <QRect>
#include <optional>

#include "cardtypes/Settings.h"

class QWidget;

// The rectangle moved and, where it is larger, shrunk so that it lies wholly inside `available`.
QRect FitIntoArea(const QRect& window, const QRect& available);

// Fits the window into the available area of the screen it is on (or the primary one), so
// that a window scaled up on a small screen keeps its title bar and edges reachable.
void FitIntoScreen(QWidget* window);

// Puts the window where the settings remember it, when that lies wholly within the available
// area of one screen; otherwise the window stays where it is. True when it was placed.
bool RestorePlacement(QWidget* window, const std::optional<TWindowPlacement>& placement);

// The window's size and position for the settings (its normal ones while maximised).
TWindowPlacement PlacementOf(const QWidget* window);
