#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

class QWidget;

namespace hl {

// Gives the keyboard back after a removal's sheet and result alert. The control that started the
// removal (a footer button, a row's menu in a list) turns itself off while the removal is
// prepared and runs, and a dialog covers the window: Qt would hand the keyboard to whatever
// comes next and, once the dialog is gone, leave it there. This remembers the control the user
// last put the keyboard on inside the page's areas, holds that memory while a flow is open, and
// when the flow's dialog closes puts the keyboard back on it, or, when it has turned off or
// gone, on the first of the page's fallbacks that can take it (the list the removal took rows
// from, whose current row is then the removed row's neighbour).
class KeyboardReturn : public QObject {
  Q_OBJECT

 public:
  // `isFlowOpen` tells whether a removal is being prepared, confirmed, run or reported: the
  // keyboard's moves meanwhile are the program's, not the user's.
  KeyboardReturn(std::vector<QWidget*> areas, std::function<bool()> isFlowOpen,
                 QObject* parent = nullptr);

  void addArea(QWidget* area);
  // Where the keyboard goes when the control it came from cannot take it, in this order.
  void setFallbacks(std::vector<QWidget*> fallbacks);

  // The control the keyboard came from; none before the user put it anywhere in the areas.
  QWidget* origin() const { return origin_; }

  // A dialog of the flow closed: the keyboard goes back to the origin, else to a fallback. The
  // window may not be active again yet (a window manager gives it back later): it then takes the
  // keyboard there when it is.
  void giveBack();
  // Runs `close`, which takes a dialog of the flow away, holding the memory meanwhile (the window
  // taking the keyboard back is no move of the user's), then gives the keyboard back.
  void closeAndGiveBack(const std::function<void()>& close);

 private:
  bool inAreas(const QWidget* widget) const;
  void follow(QWidget* now);

  std::vector<QPointer<QWidget>> areas_;
  std::vector<QPointer<QWidget>> fallbacks_;
  std::function<bool()> isFlowOpen_;
  QPointer<QWidget> origin_;
  bool closing_ = false;
};

}  // namespace hl
