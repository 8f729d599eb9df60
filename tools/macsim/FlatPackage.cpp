#include "FlatPackage.hpp"

#include "ArchiveExtractor.hpp"
#include "ArchiveReader.hpp"
#include "ArchiveWriter.hpp"
#include "FileTrailer.hpp"
#include "Files.hpp"

#include <ctime>
#include <fstream>

namespace fs = std::filesystem;

namespace macsim {

namespace {

ArchiveMember fileMember(const std::string& name, std::string data, unsigned mode = 0644) {
  ArchiveMember member;
  member.name = name;
  member.data = std::move(data);
  member.mode = mode;
  member.modified = std::time(nullptr);
  return member;
}

ArchiveMember folderMember(const std::string& name) {
  ArchiveMember member;
  member.name = name;
  member.type = ArchiveMember::Type::directory;
  member.mode = 0755;
  member.modified = std::time(nullptr);
  return member;
}

std::string cpioOf(const fs::path& folder) {
  return ArchiveWriter::write(ArchiveWriter::membersOf(folder, "./", true),
                              ArchiveWriter::Format::cpio, ArchiveWriter::Filter::gzip);
}

bool isExpandable(const ArchiveMember& member) {
  if (member.type != ArchiveMember::Type::file) return false;
  const std::string base = fs::path(member.name).filename().string();
  return base == "Payload" || base == "Scripts";
}

} // namespace

bool FlatPackage::isPackage(const fs::path& path) {
  std::ifstream stream(path, std::ios::binary);
  char magic[4] = {};
  stream.read(magic, 4);
  return stream && std::string(magic, 4) == "xar!";
}

std::string FlatPackage::buildComponent(const Component& component) {
  std::vector<ArchiveMember> members;
  members.push_back(fileMember("PackageInfo", component.packageInfo));
  members.push_back(fileMember("Payload", cpioOf(component.root)));
  if (component.scripts) members.push_back(fileMember("Scripts", cpioOf(*component.scripts)));
  return ArchiveWriter::write(members, ArchiveWriter::Format::xar);
}

std::string
FlatPackage::buildProduct(const std::string& distribution, const std::optional<fs::path>& resources,
                          const std::vector<std::pair<std::string, std::string>>& components) {
  std::vector<ArchiveMember> members;
  members.push_back(fileMember("Distribution", distribution));
  if (resources && fs::is_directory(*resources)) {
    members.push_back(folderMember("Resources"));
    for (auto& member : ArchiveWriter::membersOf(*resources, "Resources/", false))
      members.push_back(std::move(member));
  }
  for (const auto& [name, bytes] : components) {
    members.push_back(folderMember(name));
    for (auto& member : membersOfBytes(bytes)) {
      member.name = name + "/" + member.name;
      members.push_back(std::move(member));
    }
  }
  return ArchiveWriter::write(members, ArchiveWriter::Format::xar);
}

std::vector<ArchiveMember> FlatPackage::membersOfBytes(const std::string& bytes) {
  if (bytes.rfind("xar!", 0) != 0) throw PackageError("not a flat package");
  try {
    return ArchiveReader::read(bytes);
  } catch (const ArchiveError& error) {
    throw PackageError(error.what());
  }
}

std::vector<ArchiveMember> FlatPackage::members(const fs::path& path) {
  return membersOfBytes(FileTrailer::content(path));
}

void FlatPackage::expand(const fs::path& package, const fs::path& folder, bool full) {
  const auto all = members(package);
  for (const auto& member : all) {
    std::string why = ArchiveExtractor::refusal(member.name, member.linkTarget, false);
    if (!why.empty()) throw PackageError(why);
  }
  fs::create_directories(folder);
  for (const auto& member : all) {
    const fs::path target = folder / member.name;
    if (member.type == ArchiveMember::Type::directory) {
      fs::create_directories(target);
      continue;
    }
    fs::create_directories(target.parent_path());
    if (full && isExpandable(member)) {
      try {
        ArchiveExtractor::extract(member.data, target, {});
      } catch (const ExtractionError& error) {
        throw PackageError(member.name + ": " + error.what());
      }
      continue;
    }
    if (member.type == ArchiveMember::Type::symlink) {
      fs::create_symlink(member.linkTarget, target);
      continue;
    }
    Files::writeAtomically(target, member.data);
    fs::permissions(target, static_cast<fs::perms>(member.mode & 0777));
  }
}

} // namespace macsim
