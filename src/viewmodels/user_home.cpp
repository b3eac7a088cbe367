#include "viewmodels/user_home.h"

#include "platform/user_folders.h"

namespace hl {

std::string userHomeFolder() { return homeDirectory(); }

}  // namespace hl
