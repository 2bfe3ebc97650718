// One QApplication for the whole test binary, on the offscreen platform unless told otherwise.
#pragma once

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

namespace terravox::testing {

inline QApplication& EnsureQApplication() {
  // Never destroyed: widgets of other tests' statics must not outlive it, and a leak at exit
  // is harmless.
  static QApplication* app = [] {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "terravox_ui_tests";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}

// A base to list first in a fixture's bases: the application then exists before the fixture's
// widget members are built.
struct QtAppReady {
  QtAppReady() { EnsureQApplication(); }
};

class QtTest : private QtAppReady, public ::testing::Test {};

}  // namespace terravox::testing
