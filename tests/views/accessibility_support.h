#pragma once

#include <QAccessible>
#include <QAccessibleInterface>
#include <QPointer>
#include <QRegularExpression>
#include <QWidget>
#include <functional>
#include <vector>

#include "views/shared/accessibility.h"

namespace hl::test {

// What assistive tools were told while an `AccessibilityOn` lived.
struct Announcement {
  QAccessible::Event type;
  // For a state change: the states that changed.
  QAccessible::State changed;
  QString name;
  QAccessible::Role role;
  QAccessible::State state;
  QPointer<QObject> object;
};

// Listens to what the program tells assistive tools, as the desktop's accessibility bridge
// would (the offscreen platform has no bridge, so Qt drops events there; the interfaces answer
// all the same). The listener goes with it.
class AccessibilityOn {
 public:
  AccessibilityOn() {
    Accessibility::setListener([this](QAccessibleEvent& event) { record(event); });
  }
  ~AccessibilityOn() { Accessibility::setListener({}); }
  AccessibilityOn(const AccessibilityOn&) = delete;
  AccessibilityOn& operator=(const AccessibilityOn&) = delete;

  const std::vector<Announcement>& announcements() const { return announcements_; }
  void clear() { announcements_.clear(); }

  // The state changes told about an element named `name`.
  std::vector<Announcement> stateChangesOf(const QString& name) const {
    std::vector<Announcement> found;
    for (const Announcement& a : announcements_) {
      if (a.type == QAccessible::StateChanged && a.name == name) found.push_back(a);
    }
    return found;
  }

 private:
  void record(QAccessibleEvent& event) {
    QAccessibleInterface* iface = event.accessibleInterface();
    if (!iface) return;
    Announcement a{event.type(), {}, iface->text(QAccessible::Name), iface->role(),
                   iface->state(), iface->object()};
    if (event.type() == QAccessible::StateChanged) {
      a.changed = static_cast<QAccessibleStateChangeEvent&>(event).changedStates();
    }
    announcements_.push_back(a);
  }

  std::vector<Announcement> announcements_;
};

inline QAccessibleInterface* accessible(QObject* object) {
  return QAccessible::queryAccessibleInterface(object);
}

// Text that would be read out as markup: a tag or an entity.
inline bool hasMarkup(const QString& text) {
  static const QRegularExpression markup(QStringLiteral("<[a-zA-Z/!]|&[a-z]+;|&#"));
  return text.contains(markup);
}

// Every element of the accessible tree under `root` that is on screen, cells of lists and
// tables included.
inline void forEachShown(QAccessibleInterface* root,
                         const std::function<void(QAccessibleInterface*)>& visit) {
  if (!root || root->state().invisible) return;
  visit(root);
  for (int i = 0; i < root->childCount(); ++i) forEachShown(root->child(i), visit);
}

}  // namespace hl::test
