// What `demo` and `init` share: the template of an installation tree (the dist/ files) and
// a target directory that is either finished or left as it was found.
#pragma once

#include <filesystem>
#include <string>

// The template: share/hortelix/dist under the prefix the program is installed in, dist/
// beside the program, or the source tree's dist/, the first that holds ddf/.
bool findDistTree(std::filesystem::path& dist, std::string& problem);

// Copies the template's files and folders into dir.
bool copyDistTree(const std::filesystem::path& dir, std::string& problem);

// dir must be a new or an empty directory; it is made when missing. `existed` tells
// removeUnfinishedTree whether to remove dir itself.
bool prepareTargetDirectory(const std::filesystem::path& dir, bool& existed, std::string& problem);

// Leaves nothing half made (scripts take an existing installation for a finished one):
// everything in dir goes, and dir too when it was made here.
void removeUnfinishedTree(const std::filesystem::path& dir, bool existed);
