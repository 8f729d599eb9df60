#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/DiskImage/DiskImageListing.hpp"

namespace bosun {

// Finds and detaches the disk images this tool (or the DMG builder) left attached. An attached
// image counts as a leftover when it lies in a working folder ("Halyard_DMG_…" or "Bosun_…")
// directly in the temporary folder whose lock (FolderLock) is held by this process or by nobody
// (its run died); the images of runs still at work in other processes, and images anywhere else
// (the user's own, whatever their names), are left alone. Used on cancellation, after a failed
// DMG build and as a command ends. Nothing here reports an error.
namespace DiskImageCleanup {

// Detaches every image this process attached and has not detached yet (the clean-up registry's
// images; an inspected DMG has the user's name), then every leftover image through its
// whole-disk device (DiskImageAttachment::detachForCleanUp), in order. Blocks until done; returns
// what could not be detached, which stays in the clean-up registry for the sweep at the end of
// the command.
std::vector<std::string> detachLeftoversSynchronously();

// The sweep at the end of a command: detaches only the images the clean-up registry still holds
// (no tool runs when that is nothing) and returns what still could not be detached.
std::vector<std::string> detachRemembered();

// The whole-disk device of every leftover image, from "hdiutil info -plist"; empty when the tool
// fails or its output cannot be read.
std::vector<std::string> leftoverDevices();

// The same, among the attached `images`, for working folders in `temporary`.
std::vector<std::string>
leftoverDevices(const std::vector<halyard::DiskImageListing::Image>& images,
                const std::filesystem::path& temporary);

// Removes the working folders that runs killed before they could clean up left in the temporary
// folder (nobody holds their locks), after detaching the images attached from them. Returns the
// folders removed.
std::vector<std::filesystem::path> removeAbandonedWorkspaces();
// The same for the folders directly in `parent` whose names start with one of `prefixes`.
std::vector<std::filesystem::path>
removeAbandonedWorkspaces(const std::filesystem::path& parent,
                          const std::vector<std::string_view>& prefixes);

} // namespace DiskImageCleanup

} // namespace bosun
