// A real removal that stops at a point the test chooses and waits there to be killed: the
// removal is written down, its items go one after another through the real trash service, and
// after the chosen number of items the program says so on its output and waits on its input.
//
//   hl_interrupted_removal HISTORY trash|delete STOP-AFTER CATEGORY PATH SIZE [PATH SIZE]...
//
// The items must lie in the home folder of the environment it is given.

#include <QCoreApplication>
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
    std::fprintf(stderr, "usage: %s HISTORY trash|delete STOP-AFTER CATEGORY (PATH SIZE)...\n",
                 argv[0]);
    return 2;
  }
  QCoreApplication app(argc, argv);
  const std::string history = argv[1];
  const RemovalMode mode =
      std::string(argv[2]) == "delete" ? RemovalMode::deletePermanently : RemovalMode::trash;
  const int stopAfter = std::atoi(argv[3]);
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
  std::thread removal;
  model.beginRemoval({{category, paths}}, items, {}, TrashTrigger::confirmationSheet, mode, [&] {
    removal = std::thread([&] {
      service.trash(items, mode, [&](int done, int) {
        if (done != stopAfter) return;
        std::printf("stopped after %d\n", done);
        std::fflush(stdout);
        char wait = 0;
        while (::read(0, &wait, 1) != 0) {
        }
        std::_Exit(3);
      });
      std::printf("finished\n");
      std::fflush(stdout);
    });
  });
  return app.exec();
}
