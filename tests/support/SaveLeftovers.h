#pragma once

#include <filesystem>

// Takes away what a save leaves behind when one of its removals fails unseen, as the next save
// would: the temporary files of the card type folder and its image folder, whatever their age,
// and the history's versions that its index does not name.
void RemoveSaveLeftovers(const std::filesystem::path& cardTypeFolder);
