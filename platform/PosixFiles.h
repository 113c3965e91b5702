#pragma once
// For platform/'s POSIX files only: the small steps that every durable file operation there shares.

#include <string>
#include <string_view>

// Adds group read and write to the open file `fd` when this account owns it, so that the files the program creates
// in the results folder stay the folder's group's to save into whatever the umask of the session that made them.
// False when it owns the file and cannot.
bool GiveGroupReadWrite(int fd);
// Writes all of `bytes`, going on after interruptions; false with errno set when it cannot.
bool WriteAll(int fd, std::string_view bytes);
// The folder of `path`: "." for a bare name, "/" for a file at the root.
std::string FolderOf(const std::string& path);
// Makes a rename or a new name in `folder` durable. Some file systems cannot sync a folder; the rename has happened
// all the same, so a failure here is no failure of the caller.
void SyncFolder(const std::string& folder);
