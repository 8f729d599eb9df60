#include "AttachmentTable.hpp"
#include "DiskImage.hpp"
#include "Files.hpp"
#include "Output.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"
#include "VolumeMounter.hpp"

#include <cmath>
#include <filesystem>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* usageText =
    "Disk Utility Tool\n"
    "Utility to manage local disks and volumes\n"
    "Usage:  diskutil [quiet] <verb> <options>, where <verb> is as follows:\n"
    "     eject                  (Eject a disk)\n"
    "     image                  (Create, attach and inspect disk images)\n"
    "diskutil image create blank --format <format> --fs <fs> --size <size> --volumeName <name> "
    "<path>\n"
    "diskutil image create from --format <format> <source> <destination>\n"
    "diskutil image attach [--readOnly] [--mountPoint <dir>] <path>\n"
    "diskutil image info <path>\n"
    "diskutil eject [force] <disk or mount point>";

std::optional<std::uint64_t> parseBytes(const std::string& text) {
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || number <= 0) return std::nullopt;
  std::string unit = end;
  for (auto& c : unit)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  double factor = 1;
  if (unit.empty() || unit == "b")
    factor = 1;
  else if (unit == "k" || unit == "kb" || unit == "kib")
    factor = 1024;
  else if (unit == "m" || unit == "mb" || unit == "mib")
    factor = 1024.0 * 1024;
  else if (unit == "g" || unit == "gb" || unit == "gib")
    factor = 1024.0 * 1024 * 1024;
  else if (unit == "t" || unit == "tb" || unit == "tib")
    factor = 1024.0 * 1024 * 1024 * 1024;
  else
    return std::nullopt;
  return static_cast<std::uint64_t>(std::ceil(number * factor));
}

struct Options {
  std::map<std::string, std::string> values;
  std::set<std::string> flags;
  std::vector<std::string> positional;
};

Options parse(const std::vector<std::string>& arguments, const std::set<std::string>& valued) {
  Options options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.rfind("--", 0) == 0 || (argument.size() > 1 && argument[0] == '-')) {
      const std::string name = argument.substr(argument.find_first_not_of('-'));
      if (valued.count(name) != 0) {
        if (i + 1 >= arguments.size()) throw ToolFailure("Error: " + argument + " needs a value");
        options.values[name] = arguments[++i];
      } else {
        options.flags.insert(name);
      }
    } else {
      options.positional.push_back(argument);
    }
  }
  return options;
}

std::string attachmentLines(const Attachment& attachment) {
  std::string text;
  for (const auto& entity : attachment.entities())
    text +=
        entity.device + "\t" + entity.contentHint + "\t" + entity.mountPoint.value_or("") + "\n";
  return text;
}

int createBlank(const std::vector<std::string>& arguments) {
  const auto options = parse(arguments, {"format", "fs", "size", "volumeName"});
  if (options.positional.size() != 1 || options.values.count("size") == 0)
    throw ToolFailure(usageText, 1);
  const fs::path path = options.positional.front();
  if (fs::exists(path)) throw ToolFailure("Error: " + path.string() + " already exists");
  if (!fs::is_directory(Files::absolute(path).parent_path()))
    throw ToolFailure("Error: " + path.parent_path().string() + ": No such file or directory");
  const auto size = parseBytes(options.values.at("size"));
  if (!size) throw ToolFailure("Error: invalid size \"" + options.values.at("size") + "\"");
  DiskImage::Properties properties;
  properties.format = options.values.count("format") ? options.values.at("format") : "RAW";
  if (properties.format == "ASIF") properties.format = "RAW";
  if (!DiskImage::isWritableFormat(properties.format))
    throw ToolFailure("Error: a blank image must be RAW or UDRW, not " + properties.format);
  properties.filesystem =
      options.values.count("fs") && options.values.at("fs").find("HFS") != std::string::npos
          ? "HFS+"
          : "APFS";
  properties.volumeName =
      options.values.count("volumeName") ? options.values.at("volumeName") : "Untitled";
  properties.capacity = *size;
  DiskImage::create(path, properties, std::nullopt);
  Output::outLine("Created disk image " + Files::absolute(path).string());
  return 0;
}

int createFrom(const ToolContext& context, const std::vector<std::string>& arguments) {
  const auto options = parse(arguments, {"format"});
  if (options.positional.size() != 2 || options.values.count("format") == 0)
    throw ToolFailure(usageText, 1);
  const std::string& source = options.positional[0];
  const std::string& destination = options.positional[1];
  const std::string format = options.values.at("format");
  if (!DiskImage::isKnownFormat(format))
    throw ToolFailure("Error: unknown image format \"" + format + "\"");
  if (!DiskImage::isImage(source)) throw ToolFailure("Error: " + source + " is not a disk image");
  StateStore store(context.stateFolder());
  if (auto attached = AttachmentTable(store).findImage(source); attached && !attached->readOnly)
    throw ToolFailure("Error: " + source + " is in use (attached read-write)", 16);
  if (fs::exists(destination)) throw ToolFailure("Error: " + destination + " already exists");
  DiskImage::convert(source, destination, format, -1);
  Output::outLine("Created disk image " + Files::absolute(destination).string());
  return 0;
}

int attach(const ToolContext& context, const std::vector<std::string>& arguments) {
  const auto options = parse(arguments, {"mountPoint"});
  if (options.positional.size() != 1) throw ToolFailure(usageText, 1);
  VolumeMounter::Request request;
  request.image = options.positional.front();
  request.readOnly = options.flags.count("readOnly") != 0;
  if (options.values.count("mountPoint")) request.mountPoint = options.values.at("mountPoint");
  try {
    Output::out(attachmentLines(VolumeMounter::attach(context, request)));
  } catch (const MountError& error) {
    throw ToolFailure("Error: could not attach " + request.image.string() + ": " + error.what());
  }
  return 0;
}

int info(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1) throw ToolFailure(usageText, 1);
  const std::string& path = arguments.front();
  if (!fs::exists(path)) throw ToolFailure("Error: " + path + ": No such file or directory");
  DiskImage::Properties properties;
  try {
    properties = DiskImage::properties(path);
  } catch (const DiskImageError&) {
    throw ToolFailure("Error: " + path + " is not a disk image");
  }
  Output::out(
      "Image Format: " + properties.format + "\nFormat Description: " +
      DiskImage::formatDescription(properties.format) + "\nVolume Name: " + properties.volumeName +
      "\nFile System: " + properties.filesystem + "\nSize: " + std::to_string(properties.capacity) +
      " bytes\nSoftware License Agreement: " + (DiskImage::resources(path) ? "true" : "false") +
      "\n");
  return 0;
}

int eject(const ToolContext& context, const std::vector<std::string>& arguments) {
  bool force = false;
  std::optional<std::string> target;
  for (const auto& argument : arguments) {
    if (argument == "force")
      force = true;
    else if (!target)
      target = argument;
    else
      throw ToolFailure(usageText, 1);
  }
  if (!target) throw ToolFailure(usageText, 1);
  StateStore store(context.stateFolder());
  const auto attachment = AttachmentTable(store).find(*target);
  if (!attachment) throw ToolFailure("Unable to find disk for " + *target);
  const std::string whole = "/dev/disk" + std::to_string(attachment->disk);
  try {
    VolumeMounter::eject(context, *attachment, force);
  } catch (const MountError& error) {
    if (error.busy)
      throw ToolFailure("Unmount of disk" + std::to_string(attachment->disk) +
                        " failed: at least one volume could not be unmounted\nUnmount was "
                        "dissented by PID 321 (/System/Library/Frameworks/CoreServices.framework/"
                        "Frameworks/Metadata.framework/Versions/A/Support/mds)");
    throw ToolFailure("Disk " + whole + " couldn't be ejected: " + error.what());
  }
  Output::outLine("Disk " + whole + " ejected");
  return 0;
}

} // namespace

int runDiskutil(const ToolContext& context) {
  std::vector<std::string> arguments = context.arguments;
  if (!arguments.empty() && arguments.front() == "quiet") arguments.erase(arguments.begin());
  if (arguments.empty()) throw ToolFailure(usageText, 1);
  const std::string verb = arguments.front();
  std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
  if (verb == "eject") return eject(context, rest);
  if (verb == "image" && !rest.empty()) {
    const std::string action = rest.front();
    std::vector<std::string> tail(rest.begin() + 1, rest.end());
    if (action == "create" && !tail.empty()) {
      const std::string kind = tail.front();
      std::vector<std::string> options(tail.begin() + 1, tail.end());
      if (kind == "blank") return createBlank(options);
      if (kind == "from") return createFrom(context, options);
    }
    if (action == "attach") return attach(context, tail);
    if (action == "info") return info(tail);
  }
  throw ToolFailure(usageText, 1);
}

} // namespace macsim
