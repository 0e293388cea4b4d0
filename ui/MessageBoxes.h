#pragma once

#include <QString>
#include <functional>

#include "files/VastrelleError.h"

class QWidget;

// The program's message boxes; every box of the program is made here.

// Warning "警告" with OK, error "エラー" with the single button "中止(&A)", or error with OK.
void ShowMessage(QWidget* parent, MessageKind kind, const QString& text);
// Confirmation "確認" with "はい(&Y)" (default) and "いいえ(&N)" (Escape); true only for Yes.
bool AskYesNo(QWidget* parent, const QString& text);
// Every box is in the program font, with a fixed dialog frame, and wraps long paths.

// The program-wide failure report: titled with the application title, stop icon, one OK; the
// message gets "." appended unless it is empty or ends in "." or a character below it. A
// detail, when given, is offered as the box's detail text.
void ShowFailureReport(QWidget* parent, const QString& message, const QString& detail = {});
// Shows a core failure in the box its kind names; a file it left unchanged goes into the
// detail text with that hint.
void ShowError(QWidget* parent, const VastrelleError& error);

// The application title: the program's name, "Vastrelle".
QString ApplicationTitle();
QString FailureReportText(const QString& message);

// Runs one handler of a window: a failure it does not handle itself is shown in the box its kind
// names (the failure report for anything but a core failure) and the program goes on.
void RunGuarded(QWidget* parent, const std::function<void()>& handler);
