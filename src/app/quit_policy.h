#pragma once

#include <QObject>
#include <functional>

namespace hl {

class AppModel;

// When the program ends on its own. With no tray icon shown (no tray on the desktop, or the
// tray icon switched off), closing the last window quits the program, so it never lingers with
// nothing on screen; with the icon shown, the program stays in the tray. Either way work that
// must not be cut off finishes first: a windowless program quits once the application model is
// no longer busy, and a Quit the user asked for waits only for a removal under way (with its
// history record and pruning); a scan is simply given up.
class QuitPolicy : public QObject {
  Q_OBJECT

 public:
  struct Facts {
    // The user asked to quit.
    bool quitRequested = false;
    // The last window was closed and none has been shown since.
    bool windowClosed = false;
    bool windowShown = false;
    bool trayIconShown = false;
    // Scanning or removing.
    bool busy = false;
    // Removing, recording or pruning.
    bool removing = false;
  };
  static bool shouldQuit(const Facts& facts);

  struct Inputs {
    std::function<bool()> anyWindowShown;
    std::function<bool()> trayIconShown;
    std::function<bool()> isBusy;
    std::function<bool()> isRemoving;
    // Ends the program (the application's quit).
    std::function<void()> quit;
  };
  explicit QuitPolicy(Inputs inputs, QObject* parent = nullptr);

  // The inputs taken from the application model: busy as the model says, removing while the
  // cleaner or the folder scanner removes (a removal's history record and pruning included).
  static Inputs inputs(AppModel& model, std::function<bool()> anyWindowShown,
                       std::function<bool()> trayIconShown, std::function<void()> quit);
  // Decides again whenever the model's busy or removing state changes.
  void watch(AppModel& model);

  // The application's last window was closed.
  void lastWindowClosed();
  // The user asked to quit.
  void requestQuit();
  // An input changed (the model became idle, the tray icon went): decides again.
  void reconsider();

  bool hasQuit() const { return quit_; }

 private:
  Facts facts() const;

  Inputs inputs_;
  bool quitRequested_ = false;
  bool windowClosed_ = false;
  bool quit_ = false;
};

}  // namespace hl
