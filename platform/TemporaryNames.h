#pragma once
// The names of the temporary files a save writes beside the file it replaces: "." name "." digits ".tmp", hidden
// where a leading dot hides, and recognisable afterwards, so that what an interrupted save left can be cleared.

#include <string>
#include <string_view>

// A fresh name in `folder` (empty, or ending in a separator) for a temporary copy of the file `name`; unlikely to be
// taken, and the caller still refuses it when it is.
std::string TemporaryNameBeside(const std::string& folder, const std::string& name);

// Whether `entry` is a name TemporaryNameBeside gives for a file called `name`.
bool IsTemporaryNameOf(std::string_view entry, const std::string& name);
