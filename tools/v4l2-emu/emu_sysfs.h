// The card's sysfs view: the entries the kernel would make for it (the
// video4linux class links, the node's device with its PCI or USB ids, the
// radio node, the sound card that belongs to the card), written as real
// files and links under a temporary root. The preload library answers the
// listed /sys paths from there.
#pragma once

#include <string>
#include <vector>

#include "emu_model.h"

namespace emu {

struct TSysfsView
{
    std::string Root;                    // the temporary root
    std::vector<std::string> Redirected; // /sys paths answered from it
};

// Builds the view under `root` (an existing, empty folder); false with the
// reason in `error`.
bool BuildSysfsView(const TModel &model, bool radio, const std::string &root, TSysfsView &view,
                    std::string &error);

// Removes a folder tree (the view at exit).
void RemoveTree(const std::string &path);

} // namespace emu
