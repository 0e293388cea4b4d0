#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Files of a card type's image folder that no card names any more: left by deleted cards, they
// block their names for new pictures.

struct TOrphan {
    std::string Name;                          // CP932: the picture, or a lone thumbnail
    std::vector<std::filesystem::path> Files;  // the picture and the thumbnails it has there
};

// The orphans of the card type, sorted by name. A thumbnail of a named picture and the
// temporary files of a save are none; a thumbnail of an orphan belongs to it; a thumbnail
// without any picture is one of its own. Files whose names have no CP932 form are passed over.
// Throws VastrelleError when the card list does not read or the image folder cannot be listed.
std::vector<TOrphan> ListOrphans(const std::filesystem::path& cardTypeFolder);

// Moves the orphans of those names (as ListOrphans gives them) into the history, as one change
// that Undo takes back. Names that are no orphan (any more) are passed over. Returns how many
// orphans went. Throws VastrelleError, every file then being as before.
std::size_t RemoveOrphans(const std::filesystem::path& cardTypeFolder,
                          const std::vector<std::string>& names);
