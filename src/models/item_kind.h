#pragma once

namespace hl {

// `path`: the item is a file-system object at its URL. `virtual_`: the item stands for
// something with no file of its own to trash (unavailable simulators, local snapshots); it is
// handled by a native command or only reported. (`virtual` is a C++ keyword.)
enum class ItemKind { path, virtual_ };

}  // namespace hl
