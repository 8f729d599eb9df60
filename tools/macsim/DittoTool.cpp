#include "ArchiveExtractor.hpp"
#include "ArchiveWriter.hpp"
#include "Files.hpp"
#include "Output.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <filesystem>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* usageText =
    "Usage: ditto [ <options> ] src [ ... src ] dst\n\n"
    "    <options> are any of:\n"
    "    -h                         print full usage\n"
    "    -v                         print a line of status for each source copied\n"
    "    -V                         print a line of status for every file copied\n"
    "    -X                         do not descend into directories with a different device "
    "ID\n\n"
    "    -c                         create an archive at dst (by default CPIO format)\n"
    "    -x                         src(s) are archives\n"
    "    -z                         gzip compress CPIO archive\n"
    "    -j                         bzip2 compress CPIO archive\n"
    "    -k                         archives are PKZip\n"
    "    --keepParent               parent directory name src is embedded in dst_archive\n"
    "    --norsrc                   don't preserve resource forks and HFS meta-data\n"
    "    --sequesterRsrc            sequester resources in ZIP archives";

struct Options {
  bool create = false, extract = false, zip = false, keepParent = false;
  bool attributes = true;
  ArchiveWriter::Filter filter = ArchiveWriter::Filter::none;
  int level = -1;
  std::vector<std::string> paths;
};

Options parse(const std::vector<std::string>& arguments) {
  Options options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--keepParent") {
      options.keepParent = true;
    } else if (argument == "--norsrc" || argument == "--noextattr") {
      options.attributes = false;
    } else if (argument == "--rsrc" || argument == "--extattr" || argument == "--sequesterRsrc" ||
               argument == "--noqtn" || argument == "--qtn" || argument == "--noacl" ||
               argument == "--acl" || argument == "--nocache" || argument == "--persistRsrc" ||
               argument == "--clone" || argument == "--noclone") {
    } else if (argument == "--zlibCompressionLevel") {
      if (i + 1 >= arguments.size()) throw ToolFailure(usageText, 1);
      options.level = std::atoi(arguments[++i].c_str());
    } else if (argument.rfind("--", 0) == 0) {
      throw ToolFailure("ditto: unrecognized option `" + argument + "'\n" + usageText, 1);
    } else if (argument.size() > 1 && argument[0] == '-') {
      for (size_t k = 1; k < argument.size(); ++k) {
        switch (argument[k]) {
        case 'c':
          options.create = true;
          break;
        case 'x':
          options.extract = true;
          break;
        case 'k':
          options.zip = true;
          break;
        case 'z':
          options.filter = ArchiveWriter::Filter::gzip;
          break;
        case 'j':
          options.filter = ArchiveWriter::Filter::bzip2;
          break;
        case 'v':
        case 'V':
        case 'X':
        case 'H':
          break;
        default:
          throw ToolFailure(
              std::string("ditto: invalid option -- ") + argument[k] + "\n" + usageText, 1);
        }
      }
    } else {
      options.paths.push_back(argument);
    }
  }
  if (options.paths.size() < 2 || (options.create && options.extract))
    throw ToolFailure(usageText, 1);
  return options;
}

void requireSource(const std::string& source) {
  if (!Files::exists(source)) throw ToolFailure("ditto: " + source + ": No such file or directory");
}

int copy(const Options& options) {
  const fs::path destination = options.paths.back();
  const size_t count = options.paths.size() - 1;
  if (count > 1 && !fs::is_directory(destination))
    throw ToolFailure("ditto: " + destination.string() + ": Not a directory");
  for (size_t i = 0; i < count; ++i) {
    const fs::path source = options.paths[i];
    requireSource(source);
    fs::path target = destination;
    if (!fs::is_directory(fs::symlink_status(source)) && fs::is_directory(destination))
      target = destination / source.filename();
    if (Files::isInside(target, source) && fs::is_directory(source))
      throw ToolFailure("ditto: " + target.string() + ": Destination is inside the source");
    if (!target.parent_path().empty()) fs::create_directories(target.parent_path());
    Files::copyItem(source, target, options.attributes);
  }
  return 0;
}

int create(const Options& options) {
  if (options.paths.size() != 2) throw ToolFailure(usageText, 1);
  const fs::path source = options.paths[0];
  const fs::path archive = options.paths[1];
  requireSource(source);
  std::vector<ArchiveMember> members;
  const bool folder = fs::is_directory(fs::symlink_status(source));
  const std::string name = Files::absolute(source).filename().string();
  if (folder) {
    members = options.keepParent ? ArchiveWriter::membersOf(source, name + "/", true)
                                 : ArchiveWriter::membersOf(source, "", false);
  } else {
    members = ArchiveWriter::membersOf(source.parent_path().empty() ? "." : source.parent_path(),
                                       "", false);
    std::erase_if(members, [&](const ArchiveMember& member) { return member.name != name; });
  }
  const std::string bytes =
      options.zip ? ArchiveWriter::write(members, ArchiveWriter::Format::zip,
                                         ArchiveWriter::Filter::none, options.level)
                  : ArchiveWriter::write(members, ArchiveWriter::Format::cpio, options.filter);
  if (!archive.parent_path().empty() && !fs::is_directory(archive.parent_path()))
    throw ToolFailure("ditto: " + archive.string() + ": No such file or directory");
  Files::writeAtomically(archive, bytes);
  return 0;
}

int extract(const Options& options) {
  const fs::path destination = options.paths.back();
  for (size_t i = 0; i + 1 < options.paths.size(); ++i) {
    const std::string& archive = options.paths[i];
    requireSource(archive);
    std::string bytes;
    try {
      bytes = Files::read(archive);
    } catch (const std::exception&) {
      throw ToolFailure("ditto: " + archive + ": Permission denied");
    }
    if (options.zip && bytes.rfind("PK", 0) != 0)
      throw ToolFailure("ditto: Couldn't read PKZip signature");
    ArchiveExtractor::Options extraction;
    extraction.skip = [](const std::string& name) {
      return name == "__MACOSX" || name.rfind("__MACOSX/", 0) == 0;
    };
    try {
      ArchiveExtractor::extract(bytes, destination, extraction);
    } catch (const ExtractionError& error) {
      throw ToolFailure(std::string("ditto: ") + error.what());
    }
  }
  return 0;
}

} // namespace

int runDitto(const ToolContext& context) {
  const Options options = parse(context.arguments);
  if (options.create) return create(options);
  if (options.extract) return extract(options);
  return copy(options);
}

} // namespace macsim
