#include "AttachmentTable.hpp"
#include "DiskImage.hpp"
#include "FileTrailer.hpp"
#include "Files.hpp"
#include "Output.hpp"
#include "PropertyList.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"
#include "VolumeMounter.hpp"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* usageText = "Usage: hdiutil <verb> <options>\n"
                                  "<verb> is one of the following:\n"
                                  "attach\n"
                                  "convert\n"
                                  "create\n"
                                  "detach\n"
                                  "imageinfo\n"
                                  "info\n"
                                  "udifderez\n"
                                  "udifrez\n"
                                  "help\n"
                                  "Usage: hdiutil help <verb> for more information about each verb";

ToolFailure failed(const std::string& verb, const std::string& reason) {
  return ToolFailure("hdiutil: " + verb + " failed - " + reason);
}

bool isOption(const std::string& argument) {
  return argument.size() > 1 && argument[0] == '-';
}

std::string withDmgExtension(const std::string& path) {
  return fs::path(path).extension() == ".dmg" ? path : path + ".dmg";
}

std::optional<std::uint64_t> parseSize(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || number <= 0) return std::nullopt;
  const std::string unit = end;
  double bytes = number * 512; // sectors without a unit
  if (unit == "b")
    bytes = number * 512;
  else if (unit == "k" || unit == "K")
    bytes = number * 1024;
  else if (unit == "m" || unit == "M")
    bytes = number * 1024 * 1024;
  else if (unit == "g" || unit == "G")
    bytes = number * 1024 * 1024 * 1024;
  else if (unit == "t" || unit == "T")
    bytes = number * 1024 * 1024 * 1024 * 1024;
  else if (!unit.empty())
    return std::nullopt;
  return static_cast<std::uint64_t>(std::ceil(bytes));
}

PropertyList entityPlist(const DeviceEntity& entity) {
  auto dictionary = PropertyList::dictionary();
  dictionary.setString("content-hint", entity.contentHint);
  dictionary.setString("dev-entry", entity.device);
  if (entity.mountPoint) dictionary.setString("mount-point", *entity.mountPoint);
  dictionary.setBoolean("potentially-mountable", entity.mountPoint.has_value());
  dictionary.setString("unmapped-content-hint", entity.contentHint);
  if (!entity.volumeKind.empty()) dictionary.setString("volume-kind", entity.volumeKind);
  return dictionary;
}

PropertyList entitiesPlist(const Attachment& attachment) {
  auto array = PropertyList::array();
  for (const auto& entity : attachment.entities())
    array.append(entityPlist(entity));
  return array;
}

std::string entityLines(const Attachment& attachment) {
  std::string text;
  for (const auto& entity : attachment.entities()) {
    char line[512];
    std::snprintf(line, sizeof line, "%-20s\t%-32s\t%s\n", entity.device.c_str(),
                  entity.contentHint.c_str(), entity.mountPoint.value_or("").c_str());
    text += line;
  }
  return text;
}

int create(const std::vector<std::string>& arguments) {
  std::optional<std::uint64_t> size;
  std::string filesystem = "HFS+", volumeName, format;
  std::optional<std::string> source, output;
  bool overwrite = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto value = [&]() {
      if (i + 1 >= arguments.size())
        throw ToolFailure("hdiutil: create: " + argument + " needs a value", 1);
      return arguments[++i];
    };
    if (argument == "-size") {
      const std::string text = value();
      size = parseSize(text);
      if (!size) throw failed("create", "invalid size \"" + text + "\"");
    } else if (argument == "-fs") {
      filesystem = value();
    } else if (argument == "-volname") {
      volumeName = value();
    } else if (argument == "-format") {
      format = value();
    } else if (argument == "-srcfolder") {
      source = value();
    } else if (argument == "-ov") {
      overwrite = true;
    } else if (argument == "-type" || argument == "-layout" || argument == "-imagekey" ||
               argument == "-fsargs" || argument == "-uid" || argument == "-gid" ||
               argument == "-mode") {
      value();
    } else if (argument == "-quiet" || argument == "-puppetstrings" || argument == "-verbose" ||
               argument == "-nospotlight" || argument == "-anyowners") {
    } else if (isOption(argument)) {
      throw ToolFailure("hdiutil: create: unknown option \"" + argument + "\"", 1);
    } else if (!output) {
      output = argument;
    } else {
      throw ToolFailure(usageText, 1);
    }
  }
  if (!output)
    throw ToolFailure("hdiutil: create: no image path given\n" + std::string(usageText), 1);
  if (!size && !source) throw failed("create", "a size or a source folder is required");
  if (source && !fs::is_directory(*source)) throw failed("create", "No such file or directory");
  if (format.empty()) format = source ? "UDZO" : "UDRW";
  if (!DiskImage::isKnownFormat(format)) throw failed("create", "invalid argument");
  const std::string path = withDmgExtension(*output);
  if (fs::exists(path) && !overwrite) throw failed("create", "File exists");
  const fs::path parent = Files::absolute(path).parent_path();
  if (!fs::is_directory(parent)) throw failed("create", "No such file or directory");

  DiskImage::Properties properties;
  properties.format = format;
  properties.filesystem = filesystem.find("APFS") != std::string::npos ? "APFS" : "HFS+";
  properties.volumeName =
      !volumeName.empty() ? volumeName
                          : (source ? Files::absolute(*source).filename().string() : "untitled");
  properties.capacity =
      size ? *size
           : (Files::allocatedSize(*source) + (Files::allocatedSize(*source) / 10) + (1u << 20));
  try {
    DiskImage::create(path, properties, source ? std::optional<fs::path>(*source) : std::nullopt);
  } catch (const DiskImageError& error) {
    throw failed("create", error.what());
  }
  Output::outLine("created: " + Files::absolute(path).string());
  return 0;
}

// The agreement an image's license resources show before it mounts: the English "TEXT"
// resource, or the first language's; none for an image without one.
std::optional<std::string> agreementText(const fs::path& image) {
  if (!fs::is_regular_file(image) || !DiskImage::isImage(image)) return std::nullopt;
  const auto resources = PropertyList::parse(DiskImage::resources(image).value_or(""));
  if (!resources.isDictionary()) return std::nullopt;
  const auto texts = PropertyList::elements(PropertyList::item(resources.node(), "TEXT"));
  if (texts.empty()) return std::nullopt;
  plist_t chosen = texts.front();
  for (plist_t entry : texts)
    if (PropertyList::string(entry, "Name") == "English") {
      chosen = entry;
      break;
    }
  return PropertyList::data(chosen, "Data").value_or("");
}

// Like the real tool, an image with a license agreement is attached only after the user agrees:
// the text, then the question, then one line read from standard input.
void askForAgreement(const fs::path& image) {
  const auto text = agreementText(image);
  if (!text) return;
  Output::out(*text + (text->empty() || text->back() == '\n' ? "" : "\n") + "Agree Y/N? ");
  std::string answer;
  if (!std::getline(std::cin, answer)) answer.clear();
  if (!answer.empty() && answer.back() == '\r') answer.pop_back();
  if (answer != "Y" && answer != "y") throw ToolFailure("hdiutil: attach canceled", 1);
}

int attach(const ToolContext& context, const std::vector<std::string>& arguments) {
  VolumeMounter::Request request;
  bool plist = false;
  std::optional<std::string> image;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto value = [&]() {
      if (i + 1 >= arguments.size())
        throw ToolFailure("hdiutil: attach: " + argument + " needs a value", 1);
      return arguments[++i];
    };
    if (argument == "-readonly") {
      request.readOnly = true;
    } else if (argument == "-readwrite") {
      request.readOnly = false;
    } else if (argument == "-plist") {
      plist = true;
    } else if (argument == "-mountpoint") {
      request.mountPoint = value();
    } else if (argument == "-mountroot") {
      request.mountRoot = value();
    } else if (argument == "-nobrowse" || argument == "-browse" || argument == "-noverify" ||
               argument == "-verify" || argument == "-noautoopen" || argument == "-autoopen" ||
               argument == "-noautofsck" || argument == "-quiet" || argument == "-owners" ||
               argument == "-puppetstrings" || argument == "-noidme" || argument == "-nokernel") {
      if (argument == "-owners") value();
    } else if (isOption(argument)) {
      throw ToolFailure("hdiutil: attach: unknown option \"" + argument + "\"", 1);
    } else if (!image) {
      image = argument;
    } else {
      throw ToolFailure(usageText, 1);
    }
  }
  if (!image) throw ToolFailure("hdiutil: attach: no image given\n" + std::string(usageText), 1);
  askForAgreement(*image);
  Attachment attachment;
  try {
    request.image = *image;
    attachment = VolumeMounter::attach(context, request);
  } catch (const MountError& error) {
    throw failed("attach", error.what());
  }
  if (plist) {
    auto document = PropertyList::dictionary();
    document.set("system-entities", entitiesPlist(attachment));
    Output::out(document.xml());
  } else {
    Output::out(entityLines(attachment));
  }
  return 0;
}

int detach(const ToolContext& context, const std::vector<std::string>& arguments) {
  bool force = false, quiet = false;
  std::optional<std::string> target;
  for (const auto& argument : arguments) {
    if (argument == "-force")
      force = true;
    else if (argument == "-quiet")
      quiet = true;
    else if (argument == "-puppetstrings" || argument == "-verbose")
      continue;
    else if (isOption(argument))
      throw ToolFailure("hdiutil: detach: unknown option \"" + argument + "\"", 1);
    else if (!target)
      target = argument;
    else
      throw ToolFailure(usageText, 1);
  }
  if (!target) throw ToolFailure("hdiutil: detach: no device given\n" + std::string(usageText), 1);
  StateStore store(context.stateFolder());
  const auto attachment = AttachmentTable(store).find(*target);
  if (!attachment) throw failed("detach", "No such file or directory");
  const std::string name = "disk" + std::to_string(attachment->disk);
  try {
    VolumeMounter::eject(context, *attachment, force);
  } catch (const MountError& error) {
    if (error.busy)
      throw ToolFailure("hdiutil: couldn't unmount \"" + name + "\" - Resource busy", 16);
    throw failed("detach", error.what());
  }
  if (!quiet) Output::outLine("\"" + name + "\" ejected.");
  return 0;
}

int convert(const ToolContext& context, const std::vector<std::string>& arguments) {
  std::optional<std::string> source, output;
  std::string format;
  int level = -1;
  bool overwrite = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto value = [&]() {
      if (i + 1 >= arguments.size())
        throw ToolFailure("hdiutil: convert: " + argument + " needs a value", 1);
      return arguments[++i];
    };
    if (argument == "-format") {
      format = value();
    } else if (argument == "-o") {
      output = value();
    } else if (argument == "-ov") {
      overwrite = true;
    } else if (argument == "-imagekey") {
      const std::string key = value();
      if (key.rfind("zlib-level=", 0) == 0) level = std::atoi(key.c_str() + 11);
    } else if (argument == "-quiet" || argument == "-puppetstrings" || argument == "-verbose") {
    } else if (isOption(argument)) {
      throw ToolFailure("hdiutil: convert: unknown option \"" + argument + "\"", 1);
    } else if (!source) {
      source = argument;
    } else {
      throw ToolFailure(usageText, 1);
    }
  }
  if (!source || !output || format.empty())
    throw ToolFailure(
        "hdiutil: convert: a source, -format and -o are required\n" + std::string(usageText), 1);
  if (!DiskImage::isKnownFormat(format)) throw failed("convert", "invalid argument");
  if (!fs::exists(*source)) throw failed("convert", "No such file or directory");
  if (!DiskImage::isImage(*source)) throw failed("convert", "image not recognized");
  StateStore store(context.stateFolder());
  if (auto attached = AttachmentTable(store).findImage(*source); attached && !attached->readOnly)
    throw failed("convert", "Resource temporarily unavailable");
  const std::string destination = withDmgExtension(*output);
  if (fs::exists(destination) && !overwrite) throw failed("convert", "File exists");
  const auto started = std::chrono::steady_clock::now();
  try {
    DiskImage::convert(*source, destination, format, level);
  } catch (const std::exception& error) {
    throw failed("convert", error.what());
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const auto before = static_cast<double>(fs::file_size(*source));
  const auto after = static_cast<double>(fs::file_size(destination));
  char summary[160];
  std::snprintf(summary, sizeof summary,
                "Elapsed Time:  %.3fs\nFile size: %.0f bytes\nSavings: %.1f%%\n", seconds, after,
                before > 0 ? (1.0 - after / before) * 100.0 : 0.0);
  Output::out("Preparing imaging engine…\nReading whole disk (" +
              std::string(DiskImage::properties(destination).filesystem == "APFS" ? "Apple_APFS"
                                                                                  : "Apple_HFS") +
              " : 0)…\n" + summary + "created: " + Files::absolute(destination).string() + "\n");
  return 0;
}

int info(const ToolContext& context, const std::vector<std::string>& arguments) {
  const bool plist = !arguments.empty() && arguments.front() == "-plist";
  StateStore store(context.stateFolder());
  const auto attachments = AttachmentTable(store).list();
  if (plist) {
    auto document = PropertyList::dictionary();
    document.setString("framework", "671.100.2");
    auto images = PropertyList::array();
    for (const auto& attachment : attachments) {
      // The real listing names each image by its path with links resolved (/tmp is
      // /private/tmp on a Mac) and has no alias key.
      std::error_code error;
      fs::path resolved = fs::weakly_canonical(attachment.image, error);
      if (error) resolved = attachment.image;
      const auto bytes = fs::file_size(attachment.image, error);
      auto item = PropertyList::dictionary();
      item.setBoolean("autodiskmount", true);
      item.setInteger("blockcount", error ? 0 : (bytes + 511) / 512);
      item.setInteger("blocksize", 512);
      item.setBoolean("diskimages2", true);
      item.setInteger("hdid-pid", static_cast<std::uint64_t>(400 + attachment.disk));
      item.setString("icon-path",
                     "/System/Library/PrivateFrameworks/DiskImages2.framework/Resources/"
                     "CDiskImage.icns");
      item.setBoolean("image-encrypted", false);
      item.setString("image-path", resolved.string());
      item.setString("image-type", DiskImage::formatDescription(attachment.format));
      item.setInteger("owner-uid", 0);
      item.setBoolean("removable", true);
      item.set("system-entities", entitiesPlist(attachment));
      item.setBoolean("writeable", !attachment.readOnly);
      images.append(std::move(item));
    }
    document.set("images", std::move(images));
    document.setString("revision", "671.100.2");
    document.setString("vendor", "Apple");
    Output::out(document.xml());
    return 0;
  }
  std::string text = "framework       : 671.100.2\ndriver          : 671.100.2\n";
  for (const auto& attachment : attachments) {
    text += "================================================\n";
    text += "image-path      : " + attachment.image + "\n";
    text += "image-type      : " + DiskImage::formatDescription(attachment.format) + "\n";
    text += std::string("writeable       : ") + (attachment.readOnly ? "FALSE" : "TRUE") + "\n";
    text += entityLines(attachment);
  }
  Output::out(text);
  return 0;
}

bool isResourceList(const PropertyList& list) {
  if (!list.isDictionary()) return false;
  for (const auto& [key, value] : PropertyList::entries(list.node())) {
    if (!PropertyList::isArray(value)) return false;
    for (plist_t entry : PropertyList::elements(value)) {
      if (PropertyList::item(entry, "ID") == nullptr || !PropertyList::data(entry, "Data"))
        return false;
    }
  }
  return true;
}

int udifrez(const std::vector<std::string>& arguments) {
  std::optional<std::string> xml;
  std::vector<std::string> positional;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "-xml" && i + 1 < arguments.size())
      xml = arguments[++i];
    else if (arguments[i] == "-quiet")
      continue;
    else
      positional.push_back(arguments[i]);
  }
  if (!xml || positional.empty())
    throw ToolFailure("Usage: hdiutil udifrez -xml <plist> \"\" <image>", 1);
  const std::string image = positional.back();
  if (!fs::exists(image)) throw failed("udifrez", "No such file or directory");
  if (!DiskImage::isImage(image)) throw failed("udifrez", "image not recognized");
  const auto incoming = PropertyList::readFile(*xml);
  if (!isResourceList(incoming)) throw failed("udifrez", "invalid resource list in " + *xml);
  PropertyList merged = PropertyList::parse(DiskImage::resources(image).value_or(""));
  if (!merged.isDictionary()) merged = PropertyList::dictionary();
  for (const auto& [key, value] : PropertyList::entries(incoming.node()))
    merged.set(key.c_str(), plist_copy(value));
  DiskImage::setResources(image, merged.xml());
  return 0;
}

int udifderez(const std::vector<std::string>& arguments) {
  std::optional<std::string> image;
  for (const auto& argument : arguments)
    if (!isOption(argument)) image = argument;
  if (!image) throw ToolFailure("Usage: hdiutil udifderez -xml <image>", 1);
  if (!fs::exists(*image)) throw failed("udifderez", "No such file or directory");
  if (!DiskImage::isImage(*image)) throw failed("udifderez", "image not recognized");
  const auto resources = DiskImage::resources(*image);
  Output::out(resources ? *resources : PropertyList::dictionary().xml());
  return 0;
}

int imageinfo(const std::vector<std::string>& arguments) {
  bool plist = false;
  std::optional<std::string> image;
  for (const auto& argument : arguments) {
    if (argument == "-plist")
      plist = true;
    else if (!isOption(argument))
      image = argument;
  }
  if (!image) throw ToolFailure("Usage: hdiutil imageinfo [-plist] <image>", 1);
  if (!fs::exists(*image)) throw failed("imageinfo", "No such file or directory");
  DiskImage::Properties properties;
  try {
    properties = DiskImage::properties(*image);
  } catch (const DiskImageError&) {
    throw failed("imageinfo", "image not recognized");
  }
  const bool license = DiskImage::resources(*image).has_value();
  const bool compressed = DiskImage::isCompressedFormat(properties.format);
  const auto stored = FileTrailer::read(*image).contentLength;
  if (plist) {
    auto document = PropertyList::dictionary();
    document.setString("Checksum Type", "CRC32");
    document.setString("Class Name", "CUDIFDiskImage");
    document.setString("Format", properties.format);
    document.setString("Format Description", DiskImage::formatDescription(properties.format));
    auto flags = PropertyList::dictionary();
    flags.setBoolean("Checksummed", true);
    flags.setBoolean("Compressed", compressed);
    flags.setBoolean("Encrypted", false);
    flags.setBoolean("Kernel Compatible", true);
    flags.setBoolean("Partitioned", false);
    flags.setBoolean("Software License Agreement", license);
    document.set("Properties", std::move(flags));
    auto sizes = PropertyList::dictionary();
    sizes.setInteger("Compressed Bytes", stored);
    sizes.setInteger("Sector Count", properties.capacity / 512);
    sizes.setInteger("Total Bytes", properties.capacity);
    document.set("Size Information", std::move(sizes));
    Output::out(document.xml());
    return 0;
  }
  auto flag = [](bool value) { return value ? "true" : "false"; };
  Output::out("Format Description: " + DiskImage::formatDescription(properties.format) +
              "\nClass Name: CUDIFDiskImage\nChecksum Type: CRC32\nSize Information:\n"
              "\tTotal Bytes: " +
              std::to_string(properties.capacity) +
              "\n\tCompressed Bytes: " + std::to_string(stored) + "\n\tSector Count: " +
              std::to_string(properties.capacity / 512) + "\nFormat: " + properties.format +
              "\nProperties:\n\tEncrypted: false\n\tKernel Compatible: true\n\tChecksummed: "
              "true\n\tSoftware License Agreement: " +
              flag(license) + "\n\tPartitioned: false\n\tCompressed: " + flag(compressed) + "\n");
  return 0;
}

} // namespace

int runHdiutil(const ToolContext& context) {
  if (context.arguments.empty()) throw ToolFailure(usageText, 1);
  const std::string& verb = context.arguments.front();
  const std::vector<std::string> rest(context.arguments.begin() + 1, context.arguments.end());
  if (verb == "create") return create(rest);
  if (verb == "attach" || verb == "mount") return attach(context, rest);
  if (verb == "detach" || verb == "eject") return detach(context, rest);
  if (verb == "convert") return convert(context, rest);
  if (verb == "info") return info(context, rest);
  if (verb == "udifrez") return udifrez(rest);
  if (verb == "udifderez") return udifderez(rest);
  if (verb == "imageinfo") return imageinfo(rest);
  if (verb == "help") {
    Output::outLine(usageText);
    return 0;
  }
  throw ToolFailure("hdiutil: unknown verb \"" + verb + "\"\n" + usageText, 1);
}

} // namespace macsim
