#pragma once
// Qt widget tests need one QApplication per test program; every test that
// builds a widget calls this first.
class QApplication;
QApplication* EnsureQApplication();

// When FW_SCREENSHOT_DIR is set, saves a picture of the widget there as
// <name>.png and returns true; otherwise does nothing.
class QWidget;
bool SaveScreenshot(QWidget* widget, const char* name);
