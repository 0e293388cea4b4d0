#pragma once

#include <QTest>

#include "ChecklistImportDlg.h"

// Waits until the checklist import dialog has read its table and made its preview; false when it
// is still at it after the timeout.
inline bool WaitForPreview(const TChecklistImportForm& dialog, int timeoutMs = 30000) {
    return QTest::qWaitFor([&dialog] { return !dialog.IsReading(); }, timeoutMs);
}
