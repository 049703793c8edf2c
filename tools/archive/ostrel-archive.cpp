// ostrel-archive: lists, extracts and packs the archives the system reads (.KRP programs, .KRV
// vector sets, .KRS skins), through the same file-system manager the plug-in uses.

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "base/CoreFnam.h"
#include "docstore/CoreFsys.h"

namespace fs = std::filesystem;

namespace {

const char* kUsage =
    "usage: ostrel-archive list ARCHIVE\n"
    "       ostrel-archive extract [--xml] ARCHIVE [DIR]\n"
    "       ostrel-archive pack [-C DIR] ARCHIVE PATH...\n"
    "\n"
    "list     prints the entries of ARCHIVE with their offsets (from the end of the 44-byte\n"
    "         header) and sizes, and checks that the index and the item data agree: every\n"
    "         entry complete and inside the data, entries back to back in index order, their\n"
    "         sizes adding up to the data size, no name twice.\n"
    "extract  writes every item of ARCHIVE below DIR (default: the current folder), byte for\n"
    "         byte. Item names use \"\\\" separators (TAPE\\H1.WAV becomes DIR/TAPE/H1.WAV);\n"
    "         folders that exist in another letter case are used as they are. Names that are\n"
    "         absolute or climb out with \"..\" are refused. With --xml, .XML items are parsed\n"
    "         and written again as documents, as the plug-in unpacks them.\n"
    "pack     makes ARCHIVE from files. Each PATH is a file or a folder (taken whole, in name\n"
    "         order) relative to DIR (default: the current folder) and may not leave it. An\n"
    "         item is named as the system names files: its path relative to DIR, upper-cased,\n"
    "         with \"\\\" separators (tape/h1.wav becomes TAPE\\H1.WAV). Names that differ only\n"
    "         in case, and names holding \"<\" or \">\", are refused. As the plug-in does, the\n"
    "         archive is created with its file name upper-cased (x.krv becomes X.KRV); its\n"
    "         folders are kept as written.\n"
    "\n"
    "Exit status: 0 on success, 1 when an archive is bad or a file cannot be read or written,\n"
    "2 on a usage error.\n";

int usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

int failure(const std::string& what) {
  std::fprintf(stderr, "ostrel-archive: %s\n", what.c_str());
  return 1;
}

int list(const std::string& path) {
  CoreFsys::ArchiveInfo info;
  if (!CoreFsys::inspectArchive(CoreStrg(std::string_view(path)), info))
    return failure(path + ": " + info.error.str());
  std::printf("archive %s: version %s, %lld bytes of item data, index at byte %lld\n",
              path.c_str(), info.version.text(), static_cast<long long>(info.dataSize),
              static_cast<long long>(CoreFsys::kHeaderSize + info.dataSize));
  std::printf("%6s %10s %10s  %s\n", "#", "offset", "size", "name");
  std::vector<std::string> problems;
  std::map<std::string, int> seen;
  int64_t expected = 0, total = 0;
  for (size_t i = 0; i < info.entries.size(); ++i) {
    const CoreFsys::ArchiveEntry& e = info.entries[i];
    std::printf("%6zu %10d %10d  %s\n", i, e.address, e.size, e.name.text());
    const std::string label = "entry " + std::to_string(i) + " '" + e.name.str() + "'";
    if (!e.complete) {
      problems.push_back(label + " lacks its name, ADDRESS or DIM");
      continue;
    }
    if (!e.inData) problems.push_back(label + " lies outside the item data");
    if (e.address != expected)
      problems.push_back(label + " starts at " + std::to_string(e.address) + ", not at " +
                         std::to_string(expected) + " after the entry before it");
    if (seen[e.name.key().str()]++) problems.push_back(label + " appears more than once");
    expected = int64_t{e.address} + e.size;
    total += e.size;
  }
  if (total != info.dataSize)
    problems.push_back("the entries hold " + std::to_string(total) + " bytes, the header says " +
                       std::to_string(info.dataSize));
  for (const std::string& p : problems) std::fprintf(stderr, "ostrel-archive: %s: %s\n", path.c_str(), p.c_str());
  if (!problems.empty()) return 1;
  std::printf("%zu entries; index and data agree\n", info.entries.size());
  return 0;
}

int extract(const std::vector<std::string>& args) {
  bool xml = false;
  std::vector<std::string> rest;
  for (const std::string& a : args) {
    if (a == "--xml")
      xml = true;
    else
      rest.push_back(a);
  }
  if (rest.empty() || rest.size() > 2) return usage();
  const std::string archive = rest[0];
  std::string folder = rest.size() == 2 ? rest[1] : ".";
  if (folder.back() != '/') folder += '/';

  CoreFsys files(nullptr);
  if (!files.loadArchive(CoreStrg(std::string_view(archive)), CoreStrg("0"), false))
    return failure(files.lastError().empty() ? archive + ": cannot be read" : files.lastError().str());
  if (!CoreFsys::makeFolders(CoreStrg(std::string_view(folder))))
    return failure(folder + ": cannot be created");
  files.setBaseFolder(CoreStrg(std::string_view(folder)));
  if (!files.unpack(xml)) return failure(files.lastError().str());
  std::printf("extracted %d items into %s\n", files.itemCount(), folder.c_str());
  return 0;
}

bool leavesFolder(const fs::path& p) {
  if (p.is_absolute()) return true;
  for (const fs::path& part : p)
    if (part == "..") return true;
  return false;
}

// The item name of a file: its path relative to the base, upper-cased, with "\" separators.
std::string itemName(const fs::path& relative) {
  std::string name;
  for (const fs::path& part : relative) {
    if (part == "." || part.empty()) continue;
    if (!name.empty()) name += '\\';
    name += part.string();
  }
  return CoreStrg(std::string_view(name)).upper().str();
}

bool readWhole(const fs::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

int pack(const std::vector<std::string>& args) {
  fs::path base = ".";
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-C") {
      if (i + 1 >= args.size()) return usage();
      base = args[++i];
    } else {
      rest.push_back(args[i]);
    }
  }
  if (rest.size() < 2) return usage();
  const std::string archive = rest[0];

  std::vector<std::pair<std::string, fs::path>> members;  // item name, file
  for (size_t i = 1; i < rest.size(); ++i) {
    const fs::path relative = fs::path(rest[i]).lexically_normal();
    if (leavesFolder(relative)) return failure(rest[i] + ": must lie inside " + base.string());
    const fs::path full = base / relative;
    std::error_code ec;
    if (fs::is_directory(full, ec)) {
      std::vector<fs::path> found;
      for (fs::recursive_directory_iterator it(full, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) found.push_back(it->path());
      if (ec) return failure(full.string() + ": " + ec.message());
      std::sort(found.begin(), found.end());
      for (const fs::path& f : found) members.emplace_back(itemName(f.lexically_relative(base)), f);
    } else if (fs::is_regular_file(full, ec)) {
      members.emplace_back(itemName(relative), full);
    } else {
      return failure(full.string() + ": no such file or folder");
    }
  }

  CoreFsys files(nullptr);
  std::map<std::string, std::string> names;
  for (const auto& [name, file] : members) {
    if (name.empty() || name.find_first_of("<>") != std::string::npos)
      return failure(file.string() + ": cannot be named in an archive");
    const auto [at, fresh] = names.emplace(name, file.string());
    if (!fresh)
      return failure(file.string() + " and " + at->second + " would both be item " + name);
    std::string bytes;
    if (!readWhole(file, bytes)) return failure(file.string() + ": cannot be read");
    if (bytes.size() > static_cast<size_t>(INT_MAX / 2))
      return failure(file.string() + ": too large for an archive");
    const int32_t id = files.registerExact(CoreStrg(std::string_view(name)));
    files.setData(id, bytes.data(), static_cast<int32_t>(bytes.size()), CoreStrg(""));
  }
  if (!files.saveArchive(CoreStrg(std::string_view(archive)))) return failure(files.lastError().str());
  std::printf("packed %zu items into %s\n", members.size(),
              CoreFsys::archiveFileName(CoreStrg(std::string_view(archive))).text());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usage();
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  try {
    if (command == "list") return args.size() == 1 ? list(args[0]) : usage();
    if (command == "extract") return extract(args);
    if (command == "pack") return pack(args);
  } catch (const std::exception& e) {
    return failure(std::string("failed: ") + e.what());
  }
  return usage();
}
