// Appends records to a history file one at a time, as a second copy of the program would while
// the first appends too.
//
//   hl_history_appender HISTORY COUNT
//
// Prints "ready" and waits for a line on its input before it starts, so that a test can start
// two at once; prints "done" and the number of failed appends at the end.

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <variant>

#include "services/storage/history_store.h"
#include "utilities/time.h"

int main(int argc, char** argv) {
  using namespace hl;
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s HISTORY COUNT\n", argv[0]);
    return 2;
  }
  HistoryStore store(argv[1]);
  const int count = std::atoi(argv[2]);
  std::printf("ready\n");
  std::fflush(stdout);
  std::string go;
  std::getline(std::cin, go);
  int failed = 0;
  for (int i = 0; i < count; ++i) {
    const HistoryEntry entry = HistoryEntry::make(UUID::random(), systemWallClock()(), "Trash",
                                                  {"/x/" + std::to_string(i)}, 1, {},
                                                  std::nullopt, false);
    if (std::holds_alternative<HistoryStore::Error>(store.append({entry}))) ++failed;
  }
  std::printf("done %d\n", failed);
  std::fflush(stdout);
  return 0;
}
