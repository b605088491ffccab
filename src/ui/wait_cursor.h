// The waiting cursor over the whole application for as long as a slow action runs on the UI
// thread.
#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace momiru::ui {

class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace momiru::ui
