// A real removal that stops at a point the test chooses and waits there to be killed: the
// removal is written down, its items go one after another through the real trash service, and
// at the chosen point the program says so on its output and waits on its input. STOP is N to
// stop once N items are done ("stopped after N"); rN to stop once the N-th Trash record is made
// and noted, before its item is moved ("reserved" and the record's path); mN to stop once the
// N-th record is made but only the note taken before it is written, as a kill while the record
// is being made leaves it ("making" and the record's path); or kMICROSECONDS to kill itself that
// long after the removal began, wherever it is ("finished MICROSECONDS" when it ended first).
//
//   hl_interrupted_removal HISTORY trash|delete STOP CATEGORY PATH SIZE [PATH SIZE]...
//
// The items must lie in the home folder of the environment it is given.

#include <QCoreApplication>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/user_folders.h"
#include "services/removal/trash_service.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/history_view_model.h"

int main(int argc, char** argv) {
  using namespace hl;
  if (argc < 7 || (argc - 5) % 2 != 0) {
    std::fprintf(stderr, "usage: %s HISTORY trash|delete [r]STOP CATEGORY (PATH SIZE)...\n",
                 argv[0]);
    return 2;
  }
  QCoreApplication app(argc, argv);
  const std::string history = argv[1];
  const RemovalMode mode =
      std::string(argv[2]) == "delete" ? RemovalMode::deletePermanently : RemovalMode::trash;
  const char stopKind = std::isdigit(static_cast<unsigned char>(argv[3][0])) ? 'n' : argv[3][0];
  const long long stopAfter = std::atoll(argv[3] + (stopKind == 'n' ? 0 : 1));
  const std::string category = argv[4];
  const std::string home = homeDirectory();

  std::vector<TrashItem> items;
  for (int i = 5; i + 1 < argc; i += 2) {
    TrashItem item;
    item.url = argv[i];
    item.size = std::atoll(argv[i + 1]);
    item.allowedRoot = home;
    items.push_back(item);
  }
  std::vector<std::string> paths;
  for (const TrashItem& item : items) paths.push_back(item.url);

  ActivityLog activity;
  HistoryViewModel model(std::make_shared<HistoryStore>(history), activity);
  TrashService service(home, DestructiveGate::open());
  auto stopHere = [](const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    char wait = 0;
    while (::read(0, &wait, 1) != 0) {
    }
    std::_Exit(3);
  };
  std::thread removal;
  std::thread killer;
  UUID operation;
  operation = model.beginRemoval({{category, paths}}, items, {}, TrashTrigger::confirmationSheet,
                                 mode, [&] {
    const auto began = std::chrono::steady_clock::now();
    if (stopKind == 'k') {
      killer = std::thread([stopAfter] {
        std::this_thread::sleep_for(std::chrono::microseconds(stopAfter));
        ::kill(::getpid(), SIGKILL);
      });
    }
    removal = std::thread([&, began, note = model.reservationNote(operation)] {
      long long made = 0;
      service.trash(
          items, mode,
          [&](int done, int) {
            if (stopKind == 'n' && done == stopAfter) {
              stopHere("stopped after " + std::to_string(done));
            }
          },
          [&](const FreedesktopTrash::Reservation& reservation) {
            const bool isMade = reservation.stage == FreedesktopTrash::Reservation::Stage::made;
            const std::string record =
                reservation.trash + "/info/" + reservation.name + ".trashinfo";
            if (isMade && stopKind == 'm' && ++made == stopAfter) stopHere("making " + record);
            note(reservation);
            if (isMade && stopKind == 'r' && ++made == stopAfter) stopHere("reserved " + record);
          });
      const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
          std::chrono::steady_clock::now() - began);
      std::printf("finished %lld\n", static_cast<long long>(took.count()));
      std::fflush(stdout);
    });
  });
  return app.exec();
}
