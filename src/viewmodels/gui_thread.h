#pragma once

#include <QObject>
#include <QThread>
#include <QtGlobal>

namespace hl {

// Observable state is read and written on the thread its object lives on (the GUI thread);
// anything else is a programming error that would race with the views, so it stops the program
// in every build rather than corrupting state quietly.
inline void assertGuiThread(const QObject& object) {
  if (QThread::currentThread() != object.thread()) {
    qFatal("%s used off its own thread", object.metaObject()->className());
  }
}

}  // namespace hl
